#pragma once
// The line ends of a text, found before the text is parsed in place: such a
// parse turns line ends into zero bytes and blanks where names and values
// end, so that the lines can no longer be counted on the text itself. Every
// position in a text that was parsed in place is counted here, on the text
// as it was read.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "xml/source_text.h"

namespace ccdcrc {

class TextLines {
 public:
  TextLines() = default;
  // Finds the line ends of `text`, on up to `jobs` threads (0: one per core).
  TextLines(std::string_view text, unsigned jobs);

  // The line and column of a byte offset, as position_in tells them of the
  // text as it was read.
  TextPosition position(std::ptrdiff_t offset) const;

 private:
  // A block of the text: how many line ends come before it, and its own,
  // as offsets into the block or, where there are many, as a bitmap.
  struct Block {
    std::size_t lines_before = 0;
    std::size_t count = 0;
    std::vector<std::uint16_t> ends;
    bool dense = false;
  };

  // How many line ends come before `offset`.
  std::size_t ends_before(std::size_t offset) const;
  // The offset of the line end with this number (from 1).
  std::size_t end_number(std::size_t number) const;

  std::vector<Block> blocks_;
  std::size_t size_ = 0;
};

}  // namespace ccdcrc
