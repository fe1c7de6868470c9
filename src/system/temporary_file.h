#pragma once
// The system's half of a staged file (files/staged_file.h): a file made in an
// opened directory under a hidden temporary name ".ccdcrc-HOST-PID-N.tmp", or
// without a name where the system allows it, and moved over its target once
// it is on the disk; which temporary files of this host no writer holds any
// more. temporary_file_posix.cpp: unnamed (O_TMPFILE) where possible, locked
// (flock) by its writer, synced, renamed. temporary_file_windows.cpp: named
// at once, opened by its writer alone (that is its lock), flushed, moved with
// replace and write-through; stale when its writer's process has ended.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ccdcrc {

class Directory;

// A file in the directory under a temporary name, or without a name yet;
// unless committed, a named file is removed when the object goes, whatever
// happened.
class TemporaryFile {
 public:
  explicit TemporaryFile(const Directory& directory);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool open() const;
  // Makes the file before anything is written to it, where writing can
  // then stream to the disk: unnamed, or named at once. 0, or the errno of a
  // failure that ends the file; where the system cannot, the file stays
  // unmade and the content waits for create_named.
  int create_early();
  // Makes the file under a new temporary name: 0 or the errno of the failure.
  int create_named();
  // Writes every byte: 0 or the errno of the failure.
  int write(const char* bytes, std::size_t size);
  // Starts the written bytes' way to the disk, a head start for the commit.
  void start_sync();
  // Puts the complete file on the disk, gives it a temporary name if it has
  // none, closes it and moves it over `target` in its directory, replacing
  // whatever has that name (a symbolic link too, never followed): 0 or the
  // errno of the failure.
  int commit(const std::string& target);

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

inline constexpr std::string_view temporary_file_prefix = ".ccdcrc-";
inline constexpr std::string_view temporary_file_suffix = ".tmp";

// This host's name as it may stand in a file name.
std::string this_host();
// A new temporary name of this host and process.
std::string temporary_name();
// The process that made a temporary file of `host`, from its name; 0 when
// the name is no such file's.
unsigned long temporary_file_writer(std::string_view name, const std::string& host);

// The names in the directory that start with `prefix`; none when it cannot
// be listed.
std::vector<std::string> names_starting_with(const Directory& directory, std::string_view prefix);
// Removes the temporary file `name`, made by process `writer` of this host,
// when no writer holds it any more.
void remove_if_abandoned(const Directory& directory, const std::string& name, unsigned long writer);

// The system's own name of this host, and this process's id.
std::string system_host_name();
unsigned long process_id();

}  // namespace ccdcrc
