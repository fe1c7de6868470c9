#pragma once
// How the text printers mark what a terminal may show in colour. A printer
// hands each status word it writes to the style, with the tone of that
// status; the style writes the word between the marks it has for the tone.
// The plain style (a TextStyle as made) has no marks: the bytes are the
// words alone. The program's colours are console/colour.cpp's style.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace ccdcrc {

// What a status says of its subject.
enum class StatusTone {
  same,     // matches, or did not change
  changed,  // differs from what it was or should be
  added,    // is there now, and was not before
  gone,     // was there and is not, or cannot be read
};

struct TextStyle {
  struct Marks {
    std::string_view before;
    std::string_view after;
  };
  std::array<Marks, 4> tones{};  // by StatusTone

  // The status word as the printer writes it.
  std::string status(std::string_view word, StatusTone tone) const {
    const Marks& marks = tones[static_cast<std::size_t>(tone)];
    std::string text;
    text.reserve(marks.before.size() + word.size() + marks.after.size());
    return text.append(marks.before).append(word).append(marks.after);
  }
};

}  // namespace ccdcrc
