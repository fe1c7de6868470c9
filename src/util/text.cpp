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

}  // namespace ccdcrc
