#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "system/files.h"
#include "system/wide_paths.h"

namespace ccdcrc {

// Windows: the C runtime's descriptors, always in binary mode; pipes block,
// so nothing is ever set not to block; a path in UTF-8 becomes a wide one.

int errno_of_windows_error(unsigned long error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY: return EINVAL;
    default: return EIO;
  }
}

std::wstring wide_path(const std::string& path) {
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
  // Paths of MAX_PATH or more characters need the form without a limit,
  // which takes a full path with backslashes only.
  if (wide.size() < 240 || wide.starts_with(L"\\\\?\\")) return wide;
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  full.resize(::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string utf8_of(const wchar_t* text) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
  utf8.pop_back();
  return utf8;
}

namespace {

FileKind kind_of(unsigned short mode) {
  if ((mode & _S_IFMT) == _S_IFREG) return FileKind::regular;
  if ((mode & _S_IFMT) == _S_IFDIR) return FileKind::directory;
  if ((mode & _S_IFMT) == _S_IFIFO) return FileKind::fifo;
  if ((mode & _S_IFMT) == _S_IFCHR) return FileKind::device;
  return FileKind::other;
}

bool is_directory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The handle beneath a descriptor of the C runtime, which gives it as an integer.
HANDLE handle_of(int fd) { return std::bit_cast<HANDLE>(::_get_osfhandle(fd)); }

}  // namespace

int open_for_reading(const std::string& path) {
  // The wide path is the one allocation here: its failure is ENOMEM, as
  // callers that read files take no exceptions.
  try {
    const std::wstring wide = wide_path(path);
    const int fd = ::_wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0 && is_directory(wide)) errno = EISDIR;
    return fd;
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return -1;
  }
}

int standard_input_descriptor() {
  ::_setmode(0, _O_BINARY);
  return 0;
}

void close_descriptor(int fd) { ::_close(fd); }

FileStatus descriptor_status(int fd) {
  struct _stat64 info {};
  if (::_fstat64(fd, &info) != 0) return {errno, FileKind::missing, 0, 0, 0};
  FileStatus status{0, kind_of(info.st_mode), static_cast<std::uint64_t>(info.st_size), 0, 0};
  BY_HANDLE_FILE_INFORMATION file{};
  const HANDLE handle = handle_of(fd);
  if (status.kind == FileKind::regular && ::GetFileInformationByHandle(handle, &file)) {
    status.device = file.dwVolumeSerialNumber;
    status.inode = (std::uint64_t{file.nFileIndexHigh} << 32) | file.nFileIndexLow;
  }
  return status;
}

FileStatus path_status(const std::string& path, bool follow_link) {
  const std::wstring wide = wide_path(path);
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_link ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {errno_of_windows_error(::GetLastError()), FileKind::missing, 0, 0, 0};
  BY_HANDLE_FILE_INFORMATION file{};
  FileStatus status;
  if (!::GetFileInformationByHandle(handle, &file)) {
    status.error = errno_of_windows_error(::GetLastError());
  } else {
    const bool directory = (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool device = ::GetFileType(handle) == FILE_TYPE_CHAR;
    status.kind = directory ? FileKind::directory : device ? FileKind::device : FileKind::regular;
    status.size = (std::uint64_t{file.nFileSizeHigh} << 32) | file.nFileSizeLow;
    status.device = file.dwVolumeSerialNumber;
    status.inode = (std::uint64_t{file.nFileIndexHigh} << 32) | file.nFileIndexLow;
  }
  ::CloseHandle(handle);
  return status;
}

// A directory's read-only attribute does not stop files being made in it:
// what is refused shows when the file is made.
int directory_access(const std::string&) { return 0; }

void set_blocking(int) {}

long read_from(int fd, char* into, std::size_t most) {
  constexpr std::size_t largest_read = std::size_t{1} << 30;
  return ::_read(fd, into, static_cast<unsigned>(most < largest_read ? most : largest_read));
}

bool wait_readable(int) { return true; }

std::uint64_t read_position(int fd) {
  const long long position = ::_lseeki64(fd, 0, SEEK_CUR);
  return position > 0 ? static_cast<std::uint64_t>(position) : 0;
}

bool is_terminal(int fd) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle_of(fd), &mode) != 0;
}

std::filesystem::path native_path(const std::string& path) { return wide_path(path); }

std::size_t longest_path() { return 32767; }

// Handles have no limit near what the program opens.
std::size_t open_file_limit() { return SIZE_MAX; }

std::string cache_folder() {
  const char* local = std::getenv("LOCALAPPDATA");
  if (local && *local) return std::string(local) + "\\ccdcrc";
  return {};
}

char path_separator() { return '\\'; }

bool is_path_separator(char c) { return c == '/' || c == '\\'; }

}  // namespace ccdcrc
