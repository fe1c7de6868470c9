#pragma once
// Windows only: paths and text in UTF-8 as its wide calls take them, and
// its error codes as errno values.

#include <string>

namespace ccdcrc {

// The wide path Windows' calls take; a long one in its `\\?\` form, which
// has no length limit.
std::wstring wide_path(const std::string& path);
std::string utf8_of(const wchar_t* text);
// The errno that stands for a Windows error code.
int errno_of_windows_error(unsigned long error);

}  // namespace ccdcrc
