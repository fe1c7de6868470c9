#include "xml/text_lines.h"

#include <algorithm>
#include <bit>
#include <iterator>

#ifdef __SSE2__
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

#include "util/parallel.h"

namespace ccdcrc {

namespace {

constexpr unsigned block_bits = 16;
constexpr std::size_t block_size = std::size_t{1} << block_bits;
constexpr std::size_t word_bits = 16;
// A block with more line ends than this keeps them as a bitmap, of the same
// size: no block takes more than an eighth of its bytes.
constexpr std::size_t most_listed = block_size / word_bits;

// The line ends of a block: as a bitmap, a word for each `word_bits` bytes,
// and as far as there is room, as a list of their offsets. Returns how many
// there are. Where the processor compares sixteen bytes at once (SSE2, or
// WebAssembly's SIMD), it does.
std::size_t line_ends(std::string_view bytes, std::uint16_t* words, std::uint16_t* listed) {
  std::size_t count = 0;
  const auto add = [&](std::size_t word, unsigned bits) {
    words[word] = static_cast<std::uint16_t>(bits);
    for (; bits != 0; bits &= bits - 1) {
      if (count < most_listed) listed[count] = static_cast<std::uint16_t>(word * word_bits + std::countr_zero(bits));
      ++count;
    }
  };
  std::size_t at = 0;
#ifdef __SSE2__
  const __m128i line_end = _mm_set1_epi8('\n');
  for (; at + word_bits <= bytes.size(); at += word_bits) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, line_end)));
    if (bits != 0) add(at / word_bits, bits);
  }
#elif defined(__wasm_simd128__)
  const v128_t line_end = wasm_i8x16_splat('\n');
  for (; at + word_bits <= bytes.size(); at += word_bits) {
    const unsigned bits = wasm_i8x16_bitmask(wasm_i8x16_eq(wasm_v128_load(bytes.data() + at), line_end));
    if (bits != 0) add(at / word_bits, bits);
  }
#endif
  for (; at < bytes.size(); at += word_bits) {
    unsigned bits = 0;
    const std::string_view chunk = bytes.substr(at, word_bits);
    for (std::size_t i = 0; i < chunk.size(); ++i) bits |= (chunk[i] == '\n' ? 1u : 0u) << i;
    if (bits != 0) add(at / word_bits, bits);
  }
  return count;
}

}  // namespace

TextLines::TextLines(std::string_view text, unsigned jobs) : size_(text.size()) {
  blocks_.resize((text.size() + block_size - 1) / block_size);
  parallel_for(blocks_.size(), jobs, [&](std::size_t i) {
    Block& block = blocks_[i];
    std::uint16_t words[most_listed] = {};
    std::uint16_t listed[most_listed];
    block.count = line_ends(text.substr(i * block_size, block_size), words, listed);
    block.dense = block.count > most_listed;
    if (block.dense) {
      block.ends.assign(std::begin(words), std::end(words));
    } else {
      block.ends.assign(listed, listed + block.count);
    }
  });
  std::size_t lines = 0;
  for (Block& block : blocks_) {
    block.lines_before = lines;
    lines += block.count;
  }
}

std::size_t TextLines::ends_before(std::size_t offset) const {
  const std::size_t index = offset / block_size;
  if (index >= blocks_.size()) return blocks_.empty() ? 0 : blocks_.back().lines_before + blocks_.back().count;
  const Block& block = blocks_[index];
  const std::size_t within = offset % block_size;
  if (!block.dense) {
    return block.lines_before +
           static_cast<std::size_t>(std::lower_bound(block.ends.begin(), block.ends.end(), within) -
                                    block.ends.begin());
  }
  std::size_t count = block.lines_before;
  for (std::size_t word = 0; word < within / word_bits; ++word) count += std::popcount(block.ends[word]);
  const unsigned below = (1u << (within % word_bits)) - 1;
  return count + std::popcount(static_cast<std::uint16_t>(block.ends[within / word_bits] & below));
}

std::size_t TextLines::end_number(std::size_t number) const {
  // The last block that starts before that line end.
  const auto after = std::upper_bound(blocks_.begin(), blocks_.end(), number - 1,
                                      [](std::size_t lines, const Block& block) { return lines < block.lines_before; });
  const Block& block = *(after - 1);
  const std::size_t start = static_cast<std::size_t>(after - 1 - blocks_.begin()) * block_size;
  std::size_t left = number - block.lines_before;  // from 1
  if (!block.dense) return start + block.ends[left - 1];
  for (std::size_t word = 0;; ++word) {
    unsigned bits = block.ends[word];
    const auto here = static_cast<std::size_t>(std::popcount(bits));
    if (left > here) {
      left -= here;
      continue;
    }
    while (--left > 0) bits &= bits - 1;  // drops the lowest line end
    return start + word * word_bits + static_cast<std::size_t>(std::countr_zero(bits));
  }
}

TextPosition TextLines::position(std::ptrdiff_t offset) const {
  if (offset < 0) return {};
  // pugixml places an error at the end of a text one byte past it.
  const std::size_t at = std::min(static_cast<std::size_t>(offset), size_);
  const std::size_t ends = ends_before(at);
  return {ends + 1, ends == 0 ? at + 1 : at - end_number(ends)};
}

}  // namespace ccdcrc
