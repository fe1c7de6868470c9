#include "util/text.h"

#include <filesystem>
#include <set>

namespace ccdcrc {

std::vector<std::string> split(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(delimiter, start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

std::string& replace_all(std::string& subject, const std::string& find, const std::string& replacement) {
  if (find.empty()) return subject;
  std::size_t position = 0;
  while ((position = subject.find(find, position)) != std::string::npos) {
    subject.replace(position, find.size(), replacement);
    position += replacement.size();
  }
  return subject;
}

namespace {

constexpr char hex_digits[] = "0123456789ABCDEF";

// The length of the UTF-8 sequence at `at` of a character that would
// mislead on a terminal (a C1 control, or a bidirectional control that
// reorders what follows), else 0; its code point in `code`.
std::size_t misleading_character(const std::string& text, std::size_t at, unsigned& code) {
  const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0U; };
  if (byte(at) == 0xC2 && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9F) {
    code = byte(at + 1);
    return 2;
  }
  if (byte(at) == 0xD8 && byte(at + 1) == 0x9C) {
    code = 0x061C;
    return 2;
  }
  if (byte(at) == 0xE2 && (byte(at + 1) == 0x80 || byte(at + 1) == 0x81) && (byte(at + 2) & 0xC0) == 0x80) {
    code = 0x2000 | (byte(at + 1) & 0x3F) << 6 | (byte(at + 2) & 0x3F);
    const bool bidi =
        code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
    return bidi ? 3 : 0;
  }
  return 0;
}

std::string shown(const std::string& text, bool escape_backslash) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    unsigned code = 0;
    if (c == '\\' && escape_backslash) {
      result += "\\\\";
    } else if (c == '\n') {
      result += "\\n";
    } else if (c == '\t') {
      result += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      result += "\\x";
      result += hex_digits[byte >> 4];
      result += hex_digits[byte & 0x0F];
    } else if (const std::size_t length = misleading_character(text, i, code); length > 0) {
      result += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) result += hex_digits[(code >> shift) & 0x0F];
      i += length - 1;
    } else {
      result += c;
    }
  }
  return result;
}

constexpr char preferred_separator = static_cast<char>(std::filesystem::path::preferred_separator);

bool is_separator(char c) { return c == '/' || c == preferred_separator; }

}  // namespace

std::string printable(const std::string& text) { return shown(text, true); }

std::string printable_path(const std::string& path) { return shown(path, false); }

std::string file_in(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (is_separator(directory.back())) return directory + name;
  const bool uses_preferred = directory.find(preferred_separator) != std::string::npos;
  const char separator = !uses_preferred && directory.find('/') != std::string::npos ? '/' : preferred_separator;
  return directory + separator + name;
}

std::string quoted(const std::string& name) {
  // Built by appending: GCC 12 warns wrongly about "literal" + string.
  std::string text(1, '\'');
  text += printable(name);
  text += '\'';
  return text;
}

std::vector<std::string> distinct_names(const std::vector<std::string>& names) {
  std::vector<std::string> result;
  std::set<std::string> seen;
  for (const std::string& name : names) {
    if (seen.insert(name).second) result.push_back(name);
  }
  return result;
}

std::string without_trailing_slashes(std::string directory) {
  // "C:\\" names a drive's root; "C:" would name its current directory.
  while (directory.size() > 1 && is_separator(directory.back()) && directory[directory.size() - 2] != ':') {
    directory.pop_back();
  }
  return directory;
}

std::string lower_hex(const unsigned char* bytes, std::size_t size) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * size);
  for (std::size_t i = 0; i < size; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace ccdcrc
