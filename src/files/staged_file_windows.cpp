// Windows: a file is written under a hidden temporary name in the target's
// directory, opened by this process alone (no other can open it: that is
// its lock), flushed to the disk, closed and moved over its target with
// replace and write-through. A directory is held open without sharing its
// deletion, so it cannot be renamed or removed while files are made in it.

#ifdef _WIN32
#include <windows.h>

#include <cerrno>
#include <random>
#include <string_view>
#include <utility>

#include "files/staged_file.h"
#include "files/system_files.h"

namespace ccdcrc {

namespace {

constexpr std::string_view temporary_prefix = ".ccdcrc-";
constexpr std::string_view temporary_suffix = ".tmp";

std::string host_name() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &size)) return "host";
  std::string shown;
  for (const char c : utf8_of(name)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
    shown += plain ? c : '_';
  }
  return shown.empty() ? "host" : shown;
}

std::string temporary_name() {
  std::random_device random;
  return std::string(temporary_prefix) + host_name() + '-' + std::to_string(::GetCurrentProcessId()) + '-' +
         std::to_string(random()) + std::string(temporary_suffix);
}

// The process that wrote a temporary file of this host, from its name; 0 for none.
DWORD writer_of(std::string_view name, const std::string& host) {
  const std::string prefix = std::string(temporary_prefix) + host + '-';
  if (!name.starts_with(prefix) || !name.ends_with(temporary_suffix)) return 0;
  const std::string_view rest = name.substr(prefix.size());
  DWORD pid = 0;
  std::size_t digits = 0;
  for (; digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9'; ++digits) {
    pid = pid * 10 + static_cast<DWORD>(rest[digits] - '0');
  }
  return digits > 0 && digits < rest.size() && rest[digits] == '-' ? pid : 0;
}

bool process_runs(DWORD pid) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
  const bool runs = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return runs;
}

int last_error() { return errno_of_windows_error(::GetLastError()); }

std::string joined(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  return last == '/' || last == '\\' || last == ':' ? directory + name : directory + '\\' + name;
}

}  // namespace

Directory::Directory(std::string path) : path_(std::move(path)) {
  const std::wstring wide = wide_path(path_);
  HANDLE handle = ::CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error_ = last_error();
    return;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(handle, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handle);
    error_ = ENOTDIR;
    return;
  }
  handle_ = handle;
}

Directory::~Directory() {
  if (handle_) ::CloseHandle(handle_);
}

// A file under a temporary name, removed when the object goes unless it
// was moved over its target.
class TemporaryFile {
 public:
  explicit TemporaryFile(const Directory& directory) : directory_(directory.path()) {}
  ~TemporaryFile() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    if (!path_.empty() && !kept_) ::DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool open() const { return handle_ != INVALID_HANDLE_VALUE; }

  int create() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::wstring path = wide_path(joined(directory_, temporary_name()));
      // CREATE_NEW never opens what is there, a link neither.
      handle_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle_ != INVALID_HANDLE_VALUE) {
        path_ = std::move(path);
        return 0;
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return errno_of_windows_error(error);
    }
    return EEXIST;
  }

  int write(const char* bytes, std::size_t size) {
    while (size > 0) {
      const DWORD piece = static_cast<DWORD>(size < (std::size_t{1} << 30) ? size : std::size_t{1} << 30);
      DWORD written = 0;
      if (!::WriteFile(handle_, bytes, piece, &written, nullptr)) return last_error();
      bytes += written;
      size -= written;
    }
    return 0;
  }

  // Flushes the complete file, closes it and moves it over `target`.
  int commit(const std::string& target) {
    if (!::FlushFileBuffers(handle_)) return last_error();
    ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    const std::wstring destination = wide_path(joined(directory_, target));
    // A reader, a virus scanner or another export may hold the target for a
    // moment: the move is tried again for up to a second.
    for (int attempt = 0;; ++attempt) {
      if (::MoveFileExW(path_.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
      const DWORD error = ::GetLastError();
      if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 100) {
        return errno_of_windows_error(error);
      }
      ::Sleep(10);
    }
    kept_ = true;
    return 0;
  }

 private:
  std::string directory_;
  std::wstring path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool kept_ = false;
};

// Holds pugixml's output until the file is made at the commit, then writes
// it in pieces of 64 KiB as it comes; remembers the first failure.
class StagedFile::Writer final : public pugi::xml_writer {
 public:
  Writer(TemporaryFile& file, int error) : file_(file), error_(error) {}
  int error() const { return error_; }
  void write(const void* data, size_t size) override {
    pending_.append(static_cast<const char*>(data), size);
    if (file_.open() && pending_.size() >= capacity) flush();
  }
  void flush() {
    if (error_ == 0 && file_.open()) error_ = file_.write(pending_.data(), pending_.size());
    if (file_.open()) pending_.clear();
  }

 private:
  static constexpr std::size_t capacity = std::size_t{64} * 1024;
  TemporaryFile& file_;
  int error_;
  std::string pending_;
};

StagedFile::StagedFile(const Directory& directory, Naming naming) : file_(std::make_unique<TemporaryFile>(directory)) {
  int error = directory.error();
  // Made at once where asked, so that writing streams to the disk.
  if (error == 0 && naming == Naming::unnamed_where_possible) error = file_->create();
  writer_ = std::make_unique<Writer>(*file_, error);
}

StagedFile::StagedFile(StagedFile&&) noexcept = default;
StagedFile& StagedFile::operator=(StagedFile&&) noexcept = default;
StagedFile::~StagedFile() {
  // The writer refers to the file: it goes first.
  writer_.reset();
}

int StagedFile::error() const { return writer_->error(); }

pugi::xml_writer& StagedFile::writer() { return *writer_; }

int StagedFile::finish_writing() {
  writer_->flush();
  return error();
}

int StagedFile::commit(const std::string& name) {
  const std::unique_ptr<TemporaryFile> file = std::move(file_);
  if (!file) return EBADF;
  if (error() != 0) return error();
  if (!file->open()) {
    if (const int error = file->create(); error != 0) return error;
  }
  // The writer takes the file it refers to through `file`, still alive.
  writer_->flush();
  if (error() != 0) return error();
  return file->commit(name);
}

int replace_file(const std::string& path, std::string_view content) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return EISDIR;
  const Directory directory(slash == std::string::npos ? "." : path.substr(0, slash + 1));
  StagedFile file(directory);
  file.writer().write(content.data(), content.size());
  if (const int error = file.finish_writing(); error != 0) return error;
  return file.commit(name);
}

void remove_stale_temporary_files(const Directory& directory) {
  if (directory.error() != 0) return;
  const std::string host = host_name();
  const std::wstring pattern = wide_path(joined(directory.path(), std::string(temporary_prefix) + host + "-*"));
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = utf8_of(found.cFileName);
    const DWORD writer = writer_of(name, host);
    // A file whose writer is gone; it is open nowhere else when it can be
    // opened for deletion without sharing.
    if (writer == 0 || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || process_runs(writer)) continue;
    const std::wstring path = wide_path(joined(directory.path(), name));
    HANDLE file = ::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

}  // namespace ccdcrc

#endif
