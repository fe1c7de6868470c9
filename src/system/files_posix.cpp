// POSIX descriptors.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "system/files.h"

namespace ccdcrc {

namespace {

FileKind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::regular;
  if (S_ISDIR(mode)) return FileKind::directory;
  if (S_ISFIFO(mode)) return FileKind::fifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::device;
  return FileKind::other;
}

FileStatus status_of(int result, const struct stat& info) {
  if (result != 0) return {errno, FileKind::missing, 0, 0, 0};
  return {0, kind_of(info.st_mode), static_cast<std::uint64_t>(info.st_size), static_cast<std::uint64_t>(info.st_dev),
          static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

int open_for_reading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

int standard_input_descriptor() { return STDIN_FILENO; }

void close_descriptor(int fd) { ::close(fd); }

FileStatus descriptor_status(int fd) {
  struct stat info {};
  const int result = ::fstat(fd, &info);
  return status_of(result, info);
}

FileStatus path_status(const std::string& path, bool follow_link) {
  struct stat info {};
  const int result = follow_link ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  return status_of(result, info);
}

int directory_access(const std::string& path) { return ::access(path.c_str(), W_OK | X_OK) == 0 ? 0 : errno; }

void set_blocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

long read_from(int fd, char* into, std::size_t most) {
  ssize_t got = 0;
  do {
    got = ::read(fd, into, most);
  } while (got < 0 && errno == EINTR);
  return got;
}

bool wait_readable(int fd) {
  pollfd ready{fd, POLLIN, 0};
  while (::poll(&ready, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

std::uint64_t read_position(int fd) {
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  return position > 0 ? static_cast<std::uint64_t>(position) : 0;
}

bool is_terminal(int fd) { return ::isatty(fd) == 1; }

std::filesystem::path native_path(const std::string& path) { return path; }

std::size_t longest_path() { return PATH_MAX - 1; }

std::size_t open_file_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  return static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur, SIZE_MAX));
}

std::string cache_folder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  // A relative folder is ignored, as the XDG base directories are.
  if (cache && *cache == '/') return std::string(cache) + "/ccdcrc";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.cache/ccdcrc";
  return {};
}

char path_separator() { return '/'; }

bool is_path_separator(char c) { return c == '/'; }

}  // namespace ccdcrc
