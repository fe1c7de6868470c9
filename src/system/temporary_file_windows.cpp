// Windows: a file is written under a hidden temporary name in the target's
// directory, opened by this process alone (no other can open it: that is
// its lock), flushed to the disk, closed and moved over its target with
// replace and write-through. A directory is held open without sharing its
// deletion, so it cannot be renamed or removed while files are made in it.
#include <windows.h>

#include <bit>
#include <cerrno>
#include <utility>

#include "files/staged_file.h"
#include "system/temporary_file.h"
#include "system/wide_paths.h"

namespace ccdcrc {

namespace {

int last_error() { return errno_of_windows_error(::GetLastError()); }

std::string joined(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  return last == '/' || last == '\\' || last == ':' ? directory + name : directory + '\\' + name;
}

bool process_runs(DWORD pid) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
  const bool runs = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return runs;
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
  native_ = std::bit_cast<std::intptr_t>(handle);
}

Directory::~Directory() {
  if (native_ != -1) ::CloseHandle(std::bit_cast<HANDLE>(native_));
}

std::string system_host_name() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &size)) return {};
  return utf8_of(name);
}

unsigned long process_id() { return ::GetCurrentProcessId(); }

struct TemporaryFile::Native {
  std::string directory;
  std::wstring path;
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool kept = false;
};

TemporaryFile::TemporaryFile(const Directory& directory) : native_(std::make_unique<Native>()) {
  native_->directory = directory.path();
}

TemporaryFile::~TemporaryFile() {
  if (native_->handle != INVALID_HANDLE_VALUE) ::CloseHandle(native_->handle);
  if (!native_->path.empty() && !native_->kept) ::DeleteFileW(native_->path.c_str());
}

bool TemporaryFile::open() const { return native_->handle != INVALID_HANDLE_VALUE; }

// Made at once, so that writing streams to the disk.
int TemporaryFile::create_early() { return create_named(); }

int TemporaryFile::create_named() {
  Native& file = *native_;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring path = wide_path(joined(file.directory, temporary_name()));
    // CREATE_NEW never opens what is there, a link neither.
    file.handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file.handle != INVALID_HANDLE_VALUE) {
      file.path = std::move(path);
      return 0;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return errno_of_windows_error(error);
  }
  return EEXIST;
}

int TemporaryFile::write(const char* bytes, std::size_t size) {
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(size < (std::size_t{1} << 30) ? size : std::size_t{1} << 30);
    DWORD written = 0;
    if (!::WriteFile(native_->handle, bytes, piece, &written, nullptr)) return last_error();
    bytes += written;
    size -= written;
  }
  return 0;
}

void TemporaryFile::start_sync() {}

int TemporaryFile::commit(const std::string& target) {
  Native& file = *native_;
  if (!::FlushFileBuffers(file.handle)) return last_error();
  ::CloseHandle(std::exchange(file.handle, INVALID_HANDLE_VALUE));
  const std::wstring destination = wide_path(joined(file.directory, target));
  // A reader, a virus scanner or another export may hold the target for a
  // moment: the move is tried again for up to a second.
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExW(file.path.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      break;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 100) {
      return errno_of_windows_error(error);
    }
    ::Sleep(10);
  }
  file.kept = true;
  return 0;
}

std::vector<std::string> names_starting_with(const Directory& directory, std::string_view prefix) {
  std::vector<std::string> names;
  if (directory.error() != 0) return names;
  const std::wstring pattern = wide_path(joined(directory.path(), std::string(prefix) + "*"));
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // The pattern matches without case.
    std::string name = utf8_of(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.starts_with(prefix)) {
      names.push_back(std::move(name));
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

// A file whose writer is gone; it is open nowhere else when it can be opened
// for deletion without sharing.
void remove_if_abandoned(const Directory& directory, const std::string& name, unsigned long writer) {
  if (process_runs(static_cast<DWORD>(writer))) return;
  const std::wstring path = wide_path(joined(directory.path(), name));
  HANDLE file = ::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

}  // namespace ccdcrc
