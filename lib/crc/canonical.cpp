#include "crc/canonical.h"

#include <zlib.h>

#include <cstdio>

namespace ccdcrc {

namespace {

constexpr std::string_view line_blanks = " \n\r\t";

// Receives pugixml's output in chunks and hands complete lines, without their
// line feed, to `on_line`; the last line may lack its line feed.
template <typename OnLine>
class LineWriter final : public pugi::xml_writer {
 public:
  explicit LineWriter(OnLine on_line) : on_line_(std::move(on_line)) {}

  void write(const void* data, size_t size) override {
    std::string_view chunk(static_cast<const char*>(data), size);
    while (!chunk.empty()) {
      std::size_t end = chunk.find('\n');
      if (end == std::string_view::npos) {
        pending_.append(chunk);
        return;
      }
      if (pending_.empty()) {
        on_line_(chunk.substr(0, end));
      } else {
        pending_.append(chunk.substr(0, end));
        on_line_(std::string_view(pending_));
        pending_.clear();
      }
      chunk.remove_prefix(end + 1);
    }
  }

  void finish() {
    if (!pending_.empty()) on_line_(std::string_view(pending_));
    pending_.clear();
  }

 private:
  OnLine on_line_;
  std::string pending_;
};

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
  LineWriter writer([&text](std::string_view line) { append_canonical_line(line, text); });
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
  std::string line_text;
  LineWriter writer([&](std::string_view line) {
    line_text.clear();
    append_canonical_line(line, line_text);
    // Chaining: the complemented result of one piece is the register for the next.
    register_value = ~crc32_of_text(register_value, line_text);
  });
  save_for_measuring(ccd, writer);
  writer.finish();
  return padded(~register_value);
}

}  // namespace ccdcrc
