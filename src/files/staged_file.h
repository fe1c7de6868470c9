#pragma once
// Files that appear under their name only when complete and on the disk.
//
// A file is written without a name where the system allows it (O_TMPFILE),
// otherwise under a hidden temporary name ".ccdcrc-PID-N.tmp"; once complete
// it is synced and then renamed over its target, which is replaced whole (a
// symbolic link of that name too, which is never followed). Files staged one
// after another reach the disk together when they are committed together.

#include <memory>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace ccdcrc {

// A directory opened once: every file made through it goes into the
// directory that was opened, even when its path is renamed or replaced
// meanwhile.
class Directory {
 public:
  explicit Directory(std::string path);
  ~Directory();
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  const std::string& path() const { return path_; }
  // 0 when the directory is open, else the errno of opening it.
  int error() const { return error_; }
  int descriptor() const { return fd_; }

 private:
  std::string path_;
  int fd_ = -1;
  int error_ = 0;
};

class TemporaryFile;

class StagedFile {
 public:
  // Creates the file in the directory; see error().
  explicit StagedFile(const Directory& directory);
  StagedFile(StagedFile&&) noexcept;
  StagedFile& operator=(StagedFile&&) noexcept;
  ~StagedFile();  // a file not committed is removed

  // 0, or the errno of the first failure to create or write the file.
  int error() const;

  // Writes pugixml's output in pieces of 64 KiB.
  pugi::xml_writer& writer();
  // Writes what is pending and starts the file's way to the disk; returns error().
  int finish_writing();

  // Waits until the file is on the disk, then renames it to `name` in its
  // directory. Returns 0 or the errno of the failure, which removes the file.
  int commit(const std::string& name);

 private:
  class Writer;
  std::unique_ptr<TemporaryFile> file_;
  std::unique_ptr<Writer> writer_;
  int directory_ = -1;
};

}  // namespace ccdcrc
