#include "util/case_folding.h"

#include <algorithm>
#include <cstdint>

#include "util/case_folding_table.h"

namespace ccdcrc {

namespace {

char32_t folded(char32_t code) {
  const auto after = std::upper_bound(case_folding_runs.begin(), case_folding_runs.end(), code,
                                      [](char32_t value, const CaseFoldingRun& run) { return value < run.first; });
  if (after == case_folding_runs.begin()) return code;
  const CaseFoldingRun& run = *(after - 1);
  const char32_t step = code - run.first;
  if (step % run.stride != 0 || step / run.stride >= run.count) return code;
  return static_cast<char32_t>(static_cast<std::int64_t>(code) + run.delta);
}

// The code point of the UTF-8 sequence at `at`, and its length; length 0
// when no well-formed sequence starts there.
std::size_t decode(std::string_view text, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char first = byte(0);
  std::size_t length = 0;
  if (first < 0x80) {
    code = first;
    return 1;
  }
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
    code = first & 0x1Fu;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    code = first & 0x0Fu;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    code = first & 0x07u;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0u) != 0x80) return 0;
    code = (code << 6) | (byte(k) & 0x3Fu);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are no characters.
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

void encode(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string case_folded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const std::size_t length = decode(text, at, code);
    if (length == 0) {
      out += text[at++];
      continue;
    }
    encode(folded(code), out);
    at += length;
  }
  return out;
}

}  // namespace ccdcrc
