// POSIX: a file is written without a name (O_TMPFILE) where the file system
// allows it, else only at the commit; its writer holds an exclusive lock on
// it from its creation until it is renamed, so that a clean-up in any process
// can tell it from the file of a dead run (PIDs say nothing across PID
// namespaces).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "files/staged_file.h"
#include "system/temporary_file.h"

namespace ccdcrc {

Directory::Directory(std::string path) : path_(std::move(path)) {
  // O_PATH: files can be made in a directory that may be written but not listed.
  native_ = ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (native_ < 0) error_ = errno;
}

Directory::~Directory() {
  if (native_ >= 0) ::close(static_cast<int>(native_));
}

std::string system_host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

unsigned long process_id() { return static_cast<unsigned long>(::getpid()); }

namespace {

int descriptor_of(const Directory& directory) { return static_cast<int>(directory.native()); }

// Whether `name` in the directory is still the file open as `fd`.
bool names_the_file(int directory, const char* name, int fd) {
  struct stat named = {};
  struct stat open = {};
  return ::fstatat(directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

}  // namespace

struct TemporaryFile::Native {
  int directory;
  std::string name;  // empty while the file has no name
  int fd = -1;
  bool kept = false;

  // False only where another process holds the file. Where the file system
  // has no locks, a clean-up cannot take one either and never removes it.
  bool lock() const { return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

  int link_unnamed() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string temporary = temporary_name();
      if (::linkat(AT_FDCWD, self.c_str(), directory, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        name = std::move(temporary);
        return 0;
      }
      if (errno != EEXIST) break;
    }
    return errno;
  }
};

TemporaryFile::TemporaryFile(const Directory& directory)
    : native_(std::make_unique<Native>(Native{descriptor_of(directory), {}, -1, false})) {}

TemporaryFile::~TemporaryFile() {
  if (!native_->name.empty() && !native_->kept) ::unlinkat(native_->directory, native_->name.c_str(), 0);
  if (native_->fd >= 0) ::close(native_->fd);
}

bool TemporaryFile::open() const { return native_->fd >= 0; }

// A file without a name; naming it later goes through /proc.
int TemporaryFile::create_early() {
  if (::access("/proc/self/fd", X_OK) != 0) return 0;
  native_->fd = ::openat(native_->directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (native_->fd >= 0) native_->lock();  // no other process can have it
  return 0;
}

int TemporaryFile::create_named() {
  Native& file = *native_;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = temporary_name();
    // O_EXCL with O_CREAT never follows a symbolic link of that name.
    // A name in use (another run, maybe with this PID in another PID
    // namespace) only means another name.
    file.fd = ::openat(file.directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file.fd < 0) {
      if (errno != EEXIST) break;
      continue;
    }
    // A clean-up may hold the new file for a moment, or have removed it
    // before it was locked: the file is left to it.
    if (file.lock() && names_the_file(file.directory, name.c_str(), file.fd)) {
      file.name = std::move(name);
      return 0;
    }
    ::close(std::exchange(file.fd, -1));
    errno = EEXIST;
  }
  return errno;
}

int TemporaryFile::write(const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(native_->fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Only a head start for the fsync at commit, which reports any failure.
// WebAssembly's C library has no such call (and the page has no disk).
void TemporaryFile::start_sync() {
#ifndef __EMSCRIPTEN__
  ::sync_file_range(native_->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

int TemporaryFile::commit(const std::string& target) {
  Native& file = *native_;
  if (::fsync(file.fd) != 0) return errno;
  if (file.name.empty()) {
    if (const int error = file.link_unnamed(); error != 0) return error;
  }
  // The rename replaces whatever has the target name, a symbolic link too,
  // without following it. The file stays open, and locked, until then.
  if (::renameat(file.directory, file.name.c_str(), file.directory, target.c_str()) != 0) return errno;
  file.kept = true;
  // The content is on the disk since the fsync: closing can lose nothing.
  ::close(std::exchange(file.fd, -1));
  return 0;
}

std::vector<std::string> names_starting_with(const Directory& directory, std::string_view prefix) {
  std::vector<std::string> names;
  const int fd = ::openat(descriptor_of(directory), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return names;  // a directory that may be written but not listed
  DIR* listing = ::fdopendir(fd);
  if (!listing) {
    ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(listing)) {
    if (std::string_view(entry->d_name).starts_with(prefix)) names.emplace_back(entry->d_name);
  }
  ::closedir(listing);
  return names;
}

// A file whose lock can be taken has no writer left; it is removed while the
// lock is held, and only if the name is still that file.
void remove_if_abandoned(const Directory& directory, const std::string& name, unsigned long) {
  const int folder = descriptor_of(directory);
  const int file = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return;
  struct stat status = {};
  if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode) && ::flock(file, LOCK_EX | LOCK_NB) == 0 &&
      names_the_file(folder, name.c_str(), file)) {
    ::unlinkat(folder, name.c_str(), 0);
  }
  ::close(file);
}

}  // namespace ccdcrc
