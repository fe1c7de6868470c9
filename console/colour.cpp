#include "console/colour.h"

namespace ccdcrc {

bool colour_wanted(ColourChoice choice, bool out_is_terminal, const char* no_color) {
  if (choice != ColourChoice::automatic) return choice == ColourChoice::always;
  return out_is_terminal && (no_color == nullptr || *no_color == '\0');
}

TextStyle colour_style() {
  constexpr std::string_view reset = "\033[0m";
  TextStyle style;
  style.tones[static_cast<std::size_t>(StatusTone::same)] = {"\033[32m", reset};
  style.tones[static_cast<std::size_t>(StatusTone::changed)] = {"\033[33m", reset};
  style.tones[static_cast<std::size_t>(StatusTone::added)] = {"\033[36m", reset};
  style.tones[static_cast<std::size_t>(StatusTone::gone)] = {"\033[31m", reset};
  return style;
}

}  // namespace ccdcrc
