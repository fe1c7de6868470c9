// POSIX; Windows has staged_file_windows.cpp.
#ifndef _WIN32
#include "files/staged_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <random>
#include <string_view>
#include <utility>

namespace ccdcrc {

Directory::Directory(std::string path) : path_(std::move(path)) {
  // O_PATH: files can be made in a directory that may be written but not listed.
  fd_ = ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) error_ = errno;
}

Directory::~Directory() {
  if (fd_ >= 0) ::close(fd_);
}

namespace {

constexpr std::string_view temporary_prefix = ".ccdcrc-";
constexpr std::string_view temporary_suffix = ".tmp";

// The host's name as it may stand in a file name, so that runs on hosts
// that share the directory tell their own temporary files from the others'.
std::string host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "host";
  std::string shown;
  for (const char* c = name; *c; ++c) {
    const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '.';
    shown += plain ? *c : '_';
  }
  return shown.empty() ? "host" : shown;
}

// ".ccdcrc-HOST-PID-N.tmp": short and hidden, whatever the length of the target's name.
std::string temporary_name() {
  std::random_device random;
  std::string name(temporary_prefix);
  name += host_name();
  name += '-';
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(random());
  name += temporary_suffix;
  return name;
}

// Whether the name is that of a temporary file made on this host.
bool is_temporary_name(std::string_view name, const std::string& host) {
  const std::string prefix = std::string(temporary_prefix) + host + '-';
  if (!name.starts_with(prefix) || !name.ends_with(temporary_suffix)) return false;
  const std::string_view rest = name.substr(prefix.size(), name.size() - prefix.size() - temporary_suffix.size());
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
  return error == std::errc() && end != rest.data() && end != rest.data() + rest.size() && *end == '-' && pid > 0;
}

// Whether `name` in the directory is still the file open as `fd`.
bool names_the_file(int directory, const char* name, int fd) {
  struct stat named = {};
  struct stat open = {};
  return ::fstatat(directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

int write_all(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace

// A file in the directory under a temporary name, or without a name yet;
// unless kept, a named file is removed when the object goes, whatever
// happened. Its writer holds an exclusive lock on it from its creation until
// it is renamed, so that a clean-up in any process can tell it from the file
// of a dead run (PIDs say nothing across PID namespaces).
class TemporaryFile {
 public:
  explicit TemporaryFile(int directory) : directory_(directory) {}
  ~TemporaryFile() {
    if (!name_.empty() && !kept_) ::unlinkat(directory_, name_.c_str(), 0);
    if (fd_ >= 0) ::close(fd_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int descriptor() const { return fd_; }
  const std::string& name() const { return name_; }

  // A file without a name; false where the system cannot make one. Naming it
  // later goes through /proc.
  bool create_unnamed() {
    if (::access("/proc/self/fd", X_OK) != 0) return false;
    fd_ = ::openat(directory_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) lock();  // no other process can have it
    return fd_ >= 0;
  }

  // A file under a new temporary name; 0 or the errno of the failure.
  int create_named() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = temporary_name();
      // O_EXCL with O_CREAT never follows a symbolic link of that name.
      // A name in use (another run, maybe with this PID in another PID
      // namespace) only means another name.
      fd_ = ::openat(directory_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd_ < 0) {
        if (errno != EEXIST) break;
        continue;
      }
      // A clean-up may hold the new file for a moment, or have removed it
      // before it was locked: the file is left to it.
      if (lock() && names_the_file(directory_, name.c_str(), fd_)) {
        name_ = std::move(name);
        return 0;
      }
      ::close(std::exchange(fd_, -1));
      errno = EEXIST;
    }
    return errno;
  }

  // Syncs the complete file, gives it a temporary name if it has none,
  // closes it and renames it to `target`: 0 or the errno of the failure.
  int commit(const std::string& target) {
    if (::fsync(fd_) != 0) return errno;
    if (name_.empty()) {
      if (const int error = link_unnamed(); error != 0) return error;
    }
    // The rename replaces whatever has the target name, a symbolic link too,
    // without following it. The file stays open, and locked, until then.
    if (::renameat(directory_, name_.c_str(), directory_, target.c_str()) != 0) return errno;
    kept_ = true;
    // The content is on the disk since the fsync: closing can lose nothing.
    ::close(std::exchange(fd_, -1));
    return 0;
  }

 private:
  // False only where another process holds the file. Where the file system
  // has no locks, a clean-up cannot take one either and never removes it.
  bool lock() const { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

  int link_unnamed() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = temporary_name();
      if (::linkat(AT_FDCWD, self.c_str(), directory_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        name_ = std::move(name);
        return 0;
      }
      if (errno != EEXIST) break;
    }
    return errno;
  }

  int directory_;
  std::string name_;  // empty while the file has no name
  int fd_ = -1;
  bool kept_ = false;
};

// Collects pugixml's output and writes it to a file in pieces of 64 KiB, or
// holds all of it until there is a file; remembers the first failure.
class StagedFile::Writer final : public pugi::xml_writer {
 public:
  Writer(int fd, int error) : fd_(fd), error_(error) { pending_.reserve(capacity); }
  int error() const { return error_; }
  void write(const void* data, size_t size) override {
    pending_.append(static_cast<const char*>(data), size);
    if (fd_ >= 0 && pending_.size() >= capacity) flush();
  }
  // Writes what is pending to the file, which may be given only now.
  void flush(int fd = -1) {
    if (fd >= 0) fd_ = fd;
    if (error_ == 0 && fd_ >= 0) error_ = write_all(fd_, pending_.data(), pending_.size());
    if (fd_ >= 0) pending_.clear();
  }

 private:
  static constexpr std::size_t capacity = std::size_t{64} * 1024;
  int fd_;
  int error_;
  std::string pending_;
};

StagedFile::StagedFile(const Directory& directory, Naming naming)
    : file_(std::make_unique<TemporaryFile>(directory.descriptor())) {
  int error = directory.error();
  // Without an unnamed file, the file is made only at the commit.
  if (error == 0 && naming == Naming::unnamed_where_possible) file_->create_unnamed();
  writer_ = std::make_unique<Writer>(file_->descriptor(), error);
}

StagedFile::StagedFile(StagedFile&&) noexcept = default;
StagedFile& StagedFile::operator=(StagedFile&&) noexcept = default;
StagedFile::~StagedFile() = default;

int StagedFile::error() const { return writer_->error(); }

pugi::xml_writer& StagedFile::writer() { return *writer_; }

int StagedFile::finish_writing() {
  if (file_->descriptor() < 0) return error();
  writer_->flush();
  // Only a head start for the fsync at commit, which reports any failure.
  if (error() == 0) ::sync_file_range(file_->descriptor(), 0, 0, SYNC_FILE_RANGE_WRITE);
  return error();
}

int StagedFile::commit(const std::string& name) {
  // The file goes with this call, renamed or removed.
  const std::unique_ptr<TemporaryFile> file = std::move(file_);
  if (!file) return EBADF;
  if (error() != 0) return error();
  if (file->descriptor() < 0) {
    if (const int error = file->create_named(); error != 0) return error;
    writer_->flush(file->descriptor());
    if (error() != 0) return error();
  }
  return file->commit(name);
}

int replace_file(const std::string& path, std::string_view content) {
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return EISDIR;
  const Directory directory(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash));
  StagedFile file(directory);
  file.writer().write(content.data(), content.size());
  if (const int error = file.finish_writing(); error != 0) return error;
  return file.commit(name);
}

void remove_stale_temporary_files(const Directory& directory) {
  const int fd = ::openat(directory.descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // a directory that may be written but not listed
  DIR* listing = ::fdopendir(fd);
  if (!listing) {
    ::close(fd);
    return;
  }
  const std::string host = host_name();
  while (const dirent* entry = ::readdir(listing)) {
    if (!is_temporary_name(entry->d_name, host)) continue;
    // A file whose lock can be taken has no writer left; it is removed while
    // the lock is held, and only if the name is still that file.
    const int file = ::openat(directory.descriptor(), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) continue;
    struct stat status = {};
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode) && ::flock(file, LOCK_EX | LOCK_NB) == 0 &&
        names_the_file(directory.descriptor(), entry->d_name, file)) {
      ::unlinkat(directory.descriptor(), entry->d_name, 0);
    }
    ::close(file);
  }
  ::closedir(listing);
}

}  // namespace ccdcrc

#endif
