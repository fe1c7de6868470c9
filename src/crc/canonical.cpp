#include "crc/canonical.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace ccdcrc {

namespace {

constexpr std::size_t buffer_size = std::size_t{64} * 1024;

constexpr std::array<bool, 256> special_bytes() {
  std::array<bool, 256> table{};
  for (unsigned char c : {'\n', ' ', '\r', '\t', '"', '<', '>'}) table[c] = true;
  return table;
}
constexpr std::array<bool, 256> is_special = special_bytes();

}  // namespace

CanonicalWriter::CanonicalWriter(Sink sink) : sink_(std::move(sink)), buffer_(buffer_size, '\0') {}

void CanonicalWriter::write(const void* data, std::size_t size) {
  const unsigned char* in = static_cast<const unsigned char*>(data);
  const unsigned char* const end = in + size;
  while (in != end) {
    // Most bytes neither end a line, nor are blanks, nor change the state.
    if (!is_special[*in]) {
      const unsigned char* run = in + 1;
      while (run != end && !is_special[*run]) ++run;
      put_run(reinterpret_cast<const char*>(in), static_cast<std::size_t>(run - in));
      in = run;
      continue;
    }
    const char c = static_cast<char>(*in++);
    switch (c) {
      case '\n':
        drop_trailing_blanks();
        line_start_ = true;
        in_quotes_ = false;
        in_tag_ = false;
        continue;
      case ' ':
        // Inside a tag and outside a value a blank is dropped wherever it stands.
        if (line_start_ || (in_tag_ && !in_quotes_)) continue;
        put_blank(c);
        continue;
      case '\r':
      case '\t':
        if (!line_start_) put_blank(c);
        continue;
      case '"': in_quotes_ = !in_quotes_; break;
      case '<': in_tag_ = true; break;
      case '>': in_tag_ = false; break;
      default: break;
    }
    line_start_ = false;
    blanks_from_ = no_blanks;  // the blanks before it are inside the line: kept
    put(c);
  }
}

void CanonicalWriter::finish() {
  drop_trailing_blanks();
  if (used_ > 0) sink_(std::string_view(buffer_.data(), used_));
  used_ = 0;
}

void CanonicalWriter::put_run(const char* bytes, std::size_t size) {
  line_start_ = false;
  blanks_from_ = no_blanks;
  while (size > 0) {
    if (used_ == buffer_.size()) make_room();
    const std::size_t step = std::min(size, buffer_.size() - used_);
    std::copy(bytes, bytes + step, buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
    used_ += step;
    bytes += step;
    size -= step;
  }
}

void CanonicalWriter::put_blank(char c) {
  if (blanks_from_ == no_blanks) blanks_from_ = used_;
  put(c);
}

void CanonicalWriter::drop_trailing_blanks() {
  if (blanks_from_ != no_blanks) used_ = blanks_from_;
  blanks_from_ = no_blanks;
}

void CanonicalWriter::make_room() {
  // Blanks at the end may still be dropped: they stay, everything before goes.
  const std::size_t kept_from = blanks_from_ == no_blanks ? used_ : blanks_from_;
  if (kept_from > 0) {
    sink_(std::string_view(buffer_.data(), kept_from));
    std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(kept_from),
              buffer_.begin() + static_cast<std::ptrdiff_t>(used_), buffer_.begin());
    used_ -= kept_from;
    if (blanks_from_ != no_blanks) blanks_from_ = 0;
  }
  if (used_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
}

void save_ccd(const pugi::xml_document& ccd, pugi::xml_writer& writer) {
  ccd.save(writer, "\t", pugi::format_indent, pugi::encoding_auto);
}

void write_canonical_text(const pugi::xml_document& ccd, const CanonicalWriter::Sink& sink) {
  CanonicalWriter writer(sink);
  // The lines of save_ccd without their leading tabs. Every line is trimmed
  // before it counts, so the canonical text is the same, while the
  // indentation, which grows with the square of the nesting depth, is never
  // produced.
  ccd.save(writer, "", pugi::format_indent, pugi::encoding_auto);
  writer.finish();
}

std::uint32_t crc32_of_text(std::uint32_t initial, std::string_view text) {
  // zlib complements on entry and on exit; this register is complemented on exit only.
  uLong crc = ~initial & 0xFFFFFFFFu;
  const auto* bytes = reinterpret_cast<const Bytef*>(text.data());
  std::size_t left = text.size();
  while (left > 0) {
    const uInt step = left > 0x40000000u ? 0x40000000u : static_cast<uInt>(left);
    crc = ::crc32(crc, bytes, step);
    bytes += step;
    left -= step;
  }
  return static_cast<std::uint32_t>(crc);
}

std::string crc_hex_text(std::uint32_t value) {
  char buffer[9];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
  return buffer;
}

namespace {
std::string padded(std::uint32_t crc) {
  std::string text = crc_hex_text(crc);
  text.insert(0, 8 - text.size(), '0');
  return text;
}
}  // namespace

std::string crc_text_of(std::string_view text) { return padded(crc32_of_text(0xFFFFFFFFu, text)); }

std::string ccd_crc_text(const pugi::xml_document& ccd) {
  std::uint32_t register_value = 0xFFFFFFFFu;
  write_canonical_text(ccd, [&](std::string_view piece) {
    // Chaining: the complemented result of one piece is the register for the next.
    register_value = ~crc32_of_text(register_value, piece);
  });
  return padded(~register_value);
}

}  // namespace ccdcrc
