#pragma once
// The calls that reach the operating system's files for reading and for
// questions about paths: POSIX descriptors (files_posix.cpp), or on Windows
// the C runtime's descriptors in binary mode, with paths in UTF-8 turned into
// wide ones (files_windows.cpp). Everything else that reads files goes
// through here; CMake builds the one file for the system.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace ccdcrc {

enum class FileKind { missing, regular, directory, fifo, device, other };

struct FileStatus {
  int error = 0;  // 0, or the errno of the failure (kind is then `missing`)
  FileKind kind = FileKind::missing;
  std::uint64_t size = 0;
  // Tells one file from another: a new file at a path is another file.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// Opens a path for reading without waiting for a FIFO's writer and without
// making it the process's terminal: the descriptor, or -1 with errno set
// (EISDIR where a directory cannot be opened).
int open_for_reading(const std::string& path);
// Standard input's descriptor, set to read bytes as they are.
int standard_input_descriptor();
void close_descriptor(int fd);
FileStatus descriptor_status(int fd);
// What the path names; a final symbolic link is not followed.
FileStatus path_status(const std::string& path, bool follow_link = true);
// 0 when files may be made in the directory, else the errno that says why not.
int directory_access(const std::string& path);
// Lets reads of a descriptor opened not to block wait again.
void set_blocking(int fd);
// Reads once: the count read, 0 at the end, -1 with errno set (EAGAIN: a
// descriptor set not to block has nothing yet). Interrupted reads are retried.
long read_from(int fd, char* into, std::size_t most);
// Waits until a descriptor set not to block has something to read.
bool wait_readable(int fd);
// Where the next read of the descriptor starts.
std::uint64_t read_position(int fd);
// Whether the descriptor is an interactive terminal (a console on Windows).
bool is_terminal(int fd);
// The path of a UTF-8 name, for std::filesystem.
std::filesystem::path native_path(const std::string& path);

// The longest path the system takes, in bytes (on Windows in its long form).
std::size_t longest_path();
// How many descriptors the process may hold open at once; SIZE_MAX when
// the system sets no limit near what the program opens.
std::size_t open_file_limit();
// The folder of this program's cache files ("$XDG_CACHE_HOME/ccdcrc",
// "~/.cache/ccdcrc", on Windows "%LOCALAPPDATA%\\ccdcrc"); empty when the
// environment names none.
std::string cache_folder();
// What separates a folder from a name in the paths the system makes, and
// whether a character does in the paths it takes.
char path_separator();
bool is_path_separator(char c);

}  // namespace ccdcrc
