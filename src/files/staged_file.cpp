#include "files/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
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

// A new file in the directory. Where the system allows it, the file has no
// name while it is written (O_TMPFILE), so that not even a process killed
// mid-write leaves a partial file behind; it gets a temporary name only when
// complete. Otherwise it is created under a temporary name at once. Unless
// kept, a named file is removed when the object goes, whatever happened.
class TemporaryFile {
 public:
  explicit TemporaryFile(int directory) : directory_(directory) {
    // Naming an unnamed file goes through /proc.
    if (::access("/proc/self/fd", X_OK) == 0) {
      fd_ = ::openat(directory_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = random_name();
      // O_EXCL with O_CREAT never follows a symbolic link of that name.
      fd_ = ::openat(directory_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) error_ = errno;
    named_ = fd_ >= 0;
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (named_ && !kept_) ::unlinkat(directory_, name_.c_str(), 0);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int descriptor() const { return fd_; }
  int error() const { return error_; }
  const std::string& name() const { return name_; }

  // Gives the complete file its temporary name and closes it; returns 0 or
  // the errno of the failure.
  int finish() {
    int error = 0;
    if (!named_) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      for (int attempt = 0; attempt < 100; ++attempt) {
        name_ = random_name();
        if (::linkat(AT_FDCWD, self.c_str(), directory_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
          named_ = true;
          break;
        }
        if (errno != EEXIST) break;
      }
      if (!named_) error = errno;
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
  }
  // The file has been renamed: nothing to remove.
  void keep() { kept_ = true; }

 private:
  // Short and hidden, whatever the length of the target's name.
  static std::string random_name() {
    std::random_device random;
    return ".ccdcrc-" + std::to_string(::getpid()) + "-" + std::to_string(random()) + ".tmp";
  }

  int directory_;
  std::string name_;
  int fd_ = -1;
  int error_ = 0;
  bool named_ = false;
  bool kept_ = false;
};

// Writes to a file descriptor in pieces of 64 KiB, not in the small chunks
// pugixml hands out, and remembers the first failure.
class StagedFile::Writer final : public pugi::xml_writer {
 public:
  Writer(int fd, int error) : fd_(fd), error_(error) { pending_.reserve(capacity); }
  int error() const { return error_; }
  void write(const void* data, size_t size) override {
    pending_.append(static_cast<const char*>(data), size);
    if (pending_.size() >= capacity) flush();
  }
  void flush() {
    const char* bytes = pending_.data();
    std::size_t size = pending_.size();
    while (size > 0 && error_ == 0) {
      const ssize_t written = ::write(fd_, bytes, size);
      if (written < 0) {
        if (errno != EINTR) error_ = errno;
        continue;
      }
      bytes += written;
      size -= static_cast<size_t>(written);
    }
    pending_.clear();
  }

 private:
  static constexpr std::size_t capacity = std::size_t{64} * 1024;
  int fd_;
  int error_;
  std::string pending_;
};

StagedFile::StagedFile(const Directory& directory)
    : file_(std::make_unique<TemporaryFile>(directory.descriptor())), directory_(directory.descriptor()) {
  writer_ = std::make_unique<Writer>(file_->descriptor(), directory.error() != 0 ? directory.error() : file_->error());
}

StagedFile::StagedFile(StagedFile&&) noexcept = default;
StagedFile& StagedFile::operator=(StagedFile&&) noexcept = default;
StagedFile::~StagedFile() = default;

pugi::xml_writer& StagedFile::writer() { return *writer_; }

int StagedFile::error() const { return writer_->error(); }

int StagedFile::finish_writing() {
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
  if (::fsync(file->descriptor()) != 0) return errno;
  if (const int error = file->finish(); error != 0) return error;
  // The rename replaces whatever has the target name, a symbolic link too,
  // without following it.
  if (::renameat(directory_, file->name().c_str(), directory_, name.c_str()) != 0) return errno;
  file->keep();
  return 0;
}

}  // namespace ccdcrc
