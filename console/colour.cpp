#include "console/colour.h"

#include <array>
#include <regex>
#include <utility>

namespace ccdcrc {
namespace {

// SGR colours: green what matches, yellow what changed, cyan what is new,
// red what is gone or unreadable.
std::string_view colour_of(std::string_view status) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> colours{{
      {"ok", "32"},
      {"unchanged", "32"},
      {"changed", "33"},
      {"modified", "33"},
      {"outdated", "33"},
      {"new", "36"},
      {"added", "36"},
      {"gained", "36"},
      {"missing", "31"},
      {"removed", "31"},
      {"lost", "31"},
      {"unreadable", "31"},
  }};
  for (const auto& [name, colour] : colours) {
    if (name == status) return colour;
  }
  return {};
}

}  // namespace

bool colour_wanted(ColourChoice choice, bool out_is_terminal, const char* no_color) {
  if (choice != ColourChoice::automatic) return choice == ColourChoice::always;
  return out_is_terminal && (no_color == nullptr || *no_color == '\0');
}

std::string coloured_line(std::string_view line) {
  static const std::regex patterns[] = {
      std::regex(R"(^(.+: )([a-z]+)( \(.*\))?$)"),  // check, verify
      std::regex(R"(^(.*\S  +)([a-z]+)$)"),         // diff
      std::regex(R"(^(\S.* \| )([a-z]+)(:.*)?$)"),  // diff --stat
  };
  std::match_results<std::string_view::const_iterator> match;
  for (const std::regex& pattern : patterns) {
    if (!std::regex_match(line.begin(), line.end(), match, pattern)) continue;
    const std::string status = match[2].str();
    const std::string_view colour = colour_of(status);
    if (colour.empty()) continue;
    std::string result = match[1].str();
    result.append("\033[").append(colour).append("m").append(status).append("\033[0m");
    return result.append(match[3].str());
  }
  return std::string(line);
}

StatusColouring::int_type StatusColouring::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize StatusColouring::xsputn(const char* text, std::streamsize count) {
  if (!enabled_ && held_.empty()) return target_->sputn(text, count);
  held_.append(text, static_cast<std::size_t>(count));
  return write_lines() ? count : 0;
}

bool StatusColouring::write_lines() {
  std::size_t start = 0;
  for (std::size_t end = held_.find('\n'); end != std::string::npos; end = held_.find('\n', start)) {
    const std::string line = coloured_line(std::string_view(held_).substr(start, end - start)) + '\n';
    if (target_->sputn(line.data(), static_cast<std::streamsize>(line.size())) !=
        static_cast<std::streamsize>(line.size())) {
      return false;
    }
    start = end + 1;
  }
  held_.erase(0, start);
  return true;
}

int StatusColouring::sync() {
  // A line without its end yet is written as it is.
  if (!held_.empty() && target_->sputn(held_.data(), static_cast<std::streamsize>(held_.size())) !=
                            static_cast<std::streamsize>(held_.size())) {
    return -1;
  }
  held_.clear();
  return target_->pubsync();
}

}  // namespace ccdcrc
