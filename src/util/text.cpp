#include "util/text.h"

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

std::string printable(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      result += "\\n";
    } else if (c == '\t') {
      result += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char digits[] = "0123456789ABCDEF";
      result += "\\x";
      result += digits[byte >> 4];
      result += digits[byte & 0x0F];
    } else {
      result += c;
    }
  }
  return result;
}

std::string quoted(const std::string& name) {
  // Built by appending: GCC 12 warns wrongly about "literal" + string.
  std::string text(1, '\'');
  text += printable(name);
  text += '\'';
  return text;
}

}  // namespace ccdcrc
