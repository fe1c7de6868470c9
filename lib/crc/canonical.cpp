#include "crc/canonical.h"

#include <zlib.h>

#include <cstdio>

namespace ccdcrc {

namespace {

constexpr std::string_view line_blanks = " \n\r\t";
constexpr std::size_t flush_size = 64 * 1024;

constexpr bool is_special(char c) {
  return c == '\n' || c == ' ' || c == '\r' || c == '\t' || c == '"' || c == '<' || c == '>';
}

}  // namespace

void append_canonical_line(std::string_view line, std::string& out) {
  std::size_t first = line.find_first_not_of(line_blanks);
  if (first == std::string_view::npos) return;
  std::size_t last = line.find_last_not_of(line_blanks);
  line = line.substr(first, last - first + 1);
  bool in_quotes = false;
  bool in_tag = false;
  for (char c : line) {
    switch (c) {
      case '"': in_quotes = !in_quotes; break;
      case '<': in_tag = true; break;
      case '>': in_tag = false; break;
      case ' ':
        if (in_tag && !in_quotes) continue;
        break;
      default: break;
    }
    out.push_back(c);
  }
}

CanonicalWriter::CanonicalWriter(Sink sink) : sink_(std::move(sink)) { out_.reserve(flush_size + 256); }

void CanonicalWriter::write(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  const char* end = bytes + size;
  while (bytes != end) {
    // Most bytes neither end a line, nor are blanks, nor change the state.
    const char* run = bytes;
    while (run != end && !is_special(*run)) ++run;
    if (run != bytes) {
      keep(bytes, run);
      bytes = run;
      continue;
    }
    const char c = *bytes++;
    switch (c) {
      case '\n':
        blanks_.clear();
        line_start_ = true;
        in_quotes_ = false;
        in_tag_ = false;
        continue;
      case ' ':
        // Inside a tag and outside a value a blank is dropped wherever it stands.
        if (line_start_ || (in_tag_ && !in_quotes_)) continue;
        blanks_.push_back(c);
        continue;
      case '\r':
      case '\t':
        if (!line_start_) blanks_.push_back(c);
        continue;
      case '"': in_quotes_ = !in_quotes_; break;
      case '<': in_tag_ = true; break;
      case '>': in_tag_ = false; break;
      default: break;
    }
    keep(bytes - 1, bytes);
  }
}

void CanonicalWriter::keep(const char* begin, const char* end) {
  line_start_ = false;
  if (!blanks_.empty()) {
    out_.append(blanks_);
    blanks_.clear();
  }
  out_.append(begin, end);
  if (out_.size() >= flush_size) flush();
}

void CanonicalWriter::finish() {
  blanks_.clear();
  flush();
}

void CanonicalWriter::flush() {
  if (out_.empty()) return;
  sink_(out_);
  out_.clear();
}

void save_ccd(const pugi::xml_document& ccd, pugi::xml_writer& writer) {
  ccd.save(writer, "\t", pugi::format_indent, pugi::encoding_auto);
}

namespace {

// Serialises a CCD for measuring: the lines of save_ccd without their leading
// tabs. Every line is trimmed before it counts, so the canonical text is the
// same, while the indentation, which grows with the square of the nesting
// depth, is never produced.
void save_for_measuring(const pugi::xml_document& ccd, pugi::xml_writer& writer) {
  ccd.save(writer, "", pugi::format_indent, pugi::encoding_auto);
}

}  // namespace

std::string canonical_ccd_text(const pugi::xml_document& ccd) {
  std::string text;
  CanonicalWriter writer([&text](std::string_view piece) { text.append(piece); });
  save_for_measuring(ccd, writer);
  writer.finish();
  return text;
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
  CanonicalWriter writer([&](std::string_view piece) {
    // Chaining: the complemented result of one piece is the register for the next.
    register_value = ~crc32_of_text(register_value, piece);
  });
  save_for_measuring(ccd, writer);
  writer.finish();
  return padded(~register_value);
}

}  // namespace ccdcrc
