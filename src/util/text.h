#pragma once
// Small text utilities shared by the CCD builder and the CRC engine.

#include <cstddef>
#include <string>
#include <vector>

namespace ccdcrc {

// Splits like a getline loop over a string stream with `delimiter` as line end:
// inner and leading empty pieces are kept, a trailing delimiter gives no empty
// last piece, and the empty text gives no piece at all.
std::vector<std::string> split(const std::string& text, char delimiter);

// Replaces every occurrence of `find` left to right; replaced text is not searched
// again. An empty `find` leaves the subject unchanged.
std::string& replace_all(std::string& subject, const std::string& find, const std::string& replacement);

// A name as people read it: control characters become \n, \t or \xHH so that
// one result stays on one line; C1 controls and the bidirectional controls
// that would reorder what a terminal shows become \uHHHH, and a backslash
// \\, so that the text reads back as it was.
std::string printable(const std::string& text);

// A path as printable shows a name, but with its backslashes as they are:
// on Windows they separate its folders.
std::string printable_path(const std::string& path);

// The file NAME in DIRECTORY, joined with the separator the directory's path
// already uses (else the platform's), so that the path reads as it was given.
std::string file_in(const std::string& directory, const std::string& name);

// 'NAME' for messages, printable.
std::string quoted(const std::string& name);

// Names in the order given, each once.
std::vector<std::string> distinct_names(const std::vector<std::string>& names);

// The bytes as lower-case hexadecimal digits, two a byte.
std::string lower_hex(const unsigned char* bytes, std::size_t size);

// A directory path without the separators that end it ("/" and "C:\\" stay
// as they are), so that the paths of files in it have one.
std::string without_trailing_slashes(std::string directory);

}  // namespace ccdcrc
