#include "report/markup.h"

#include <algorithm>

#include "util/text.h"

namespace ccdcrc {

std::string html_text(const std::string& text) {
  std::string html;
  for (char c : printable(text)) {
    switch (c) {
      case '&': html += "&amp;"; break;
      case '<': html += "&lt;"; break;
      case '>': html += "&gt;"; break;
      case '"': html += "&quot;"; break;
      case '\'': html += "&#39;"; break;
      default: html += c;
    }
  }
  return html;
}

std::string markdown_text(const std::string& text) {
  std::string markdown;
  for (char c : printable(text)) {
    switch (c) {
      case '&': markdown += "&amp;"; break;
      case '\\':
      case '`':
      case '*':
      case '_':
      case '{':
      case '}':
      case '[':
      case ']':
      case '<':
      case '>':
      case '|':
      case '~':
      case '$':
        markdown += '\\';
        markdown += c;
        break;
      default: markdown += c;
    }
  }
  return markdown;
}

std::string markdown_code(const std::string& text) {
  std::string content;
  std::size_t run = 0, longest = 0;
  for (char c : printable(text)) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
    if (c == '|') content += '\\';
    content += c;
  }
  const std::string fence(longest + 1, '`');
  const bool padded = content.empty() || content.front() == '`' || content.back() == '`' || content.front() == ' ';
  return padded ? fence + " " + content + " " + fence : fence + content + fence;
}

}  // namespace ccdcrc
