#pragma once
// Files that appear under their name only when complete and on the disk.
//
// Where the file system allows it, a file is written without a name
// (O_TMPFILE); when complete it is synced, given a hidden temporary name
// ".ccdcrc-HOST-PID-N.tmp" and renamed over its target, which is replaced
// whole (a symbolic link of that name too, which is never followed). Files
// staged one after another reach the disk together when they are committed
// together. Where unnamed files are not possible (NFS, SMB, vfat, FUSE), the
// content waits in memory until the commit, which creates the hidden file,
// writes, syncs and renames it at once: only a process killed in that moment
// leaves a temporary file, which a later run removes.
//
// How each system makes, locks, syncs and renames the file is the system's
// half (system/temporary_file.h); on Windows the hidden file is made at once,
// flushed, and moved over its target with replace and write-through.

#include <cstdint>
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
  // The system's descriptor or handle of the open directory; -1 for none.
  std::intptr_t native() const { return native_; }

 private:
  std::string path_;
  std::intptr_t native_ = -1;
  int error_ = 0;
};

class TemporaryFile;

class StagedFile {
 public:
  // How the file is held until its commit. `named` is what file systems
  // without unnamed files get.
  enum class Naming { unnamed_where_possible, named };

  explicit StagedFile(const Directory& directory, Naming naming = Naming::unnamed_where_possible);
  StagedFile(StagedFile&&) noexcept;
  StagedFile& operator=(StagedFile&&) noexcept;
  ~StagedFile();  // a file not committed is removed

  // 0, or the errno of the first failure to create or write the file.
  int error() const;

  // Takes pugixml's output: written to the unnamed file in pieces of 64 KiB,
  // or held in memory.
  pugi::xml_writer& writer();
  // Writes what is pending and starts the file's way to the disk; returns error().
  int finish_writing();

  // Makes the file complete on the disk, then renames it to `name` in its
  // directory. Returns 0 or the errno of the failure, which removes the file.
  int commit(const std::string& name);

 private:
  class Writer;
  std::unique_ptr<TemporaryFile> file_;
  std::unique_ptr<Writer> writer_;
};

// Writes a whole file at `path`, which replaces the file there only once it
// is complete and on the disk. Returns 0 or the errno of the failure.
int replace_file(const std::string& path, std::string_view content);

// Removes the temporary files that runs on this host left in the directory
// when they were killed: those that no writer holds locked any more.
void remove_stale_temporary_files(const Directory& directory);

}  // namespace ccdcrc
