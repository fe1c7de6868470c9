// Fuzz target: bytes of a list of approved CRCs through `check`'s reader.
// Whatever the bytes, the reader ends; hands over only CRCs of eight
// upper-case hexadecimal digits, lines in the order they come, the Header at
// most once and nothing after a list was told incomplete; and reads the same
// list the same way again, behind a UTF-8 byte-order mark, and as UTF-16.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "approvals/approved_list.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace ccdcrc;
using fuzzing::require;

bool is_crc_text(const std::string& crc) {
  if (crc.size() != 8) return false;
  for (char c : crc) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// Everything the reader hands over, as lines of text, checked as it comes.
class Transcript final : public ApprovedListReceiver {
 public:
  explicit Transcript(std::size_t lines) : lines_(lines) {}

  void ied(std::size_t line, const std::string& name, const std::string& crc) override {
    at(line);
    require(is_crc_text(crc), "an IED CRC that is not eight upper-case hexadecimal digits");
    require(approved_crc_text(crc) == crc, "an IED CRC that does not read back as itself");
    text += "ied " + std::to_string(line) + " " + name + " " + crc + "\n";
  }
  void scd(std::size_t line, const std::string& crc) override {
    at(line);
    require(is_crc_text(crc), "an SCD CRC that is not eight upper-case hexadecimal digits");
    text += "scd " + std::to_string(line) + " " + crc + "\n";
  }
  void header(const std::optional<std::string>& version, const std::optional<std::string>& revision) override {
    require(!incomplete_, "the Header told after the list was incomplete");
    require(!header_told_, "the Header told twice");
    header_told_ = true;
    text += "header " + version.value_or("(none)") + " " + revision.value_or("(none)") + "\n";
  }
  void malformed(std::size_t line, const std::string& reason, const std::optional<std::string>& name) override {
    at(line);
    require(!reason.empty(), "a malformed line without a reason");
    text += "malformed " + std::to_string(line) + " " + reason + " " + name.value_or("(none)") + "\n";
  }
  void incomplete(std::size_t line, const std::string& reason) override {
    at(line);
    require(!reason.empty(), "an incomplete list without a reason");
    incomplete_ = true;
    text += "incomplete " + std::to_string(line) + " " + reason + "\n";
  }

  std::string text;

 private:
  // Lines are counted from 1 and told in the order they stand in the list.
  void at(std::size_t line) {
    require(!incomplete_, "an entry told after the list was incomplete");
    require(line >= 1 && line <= lines_, "an entry on a line the list does not have");
    require(line >= last_line_, "an entry told after one of a later line");
    last_line_ = line;
  }

  std::size_t lines_;
  std::size_t last_line_ = 0;
  bool header_told_ = false;
  bool incomplete_ = false;
};

// A reading of a list: what was handed over, the problem ("LINE REASON") and the format.
struct Reading {
  std::string told;
  std::optional<std::string> problem;
  ApprovedListFormat format = ApprovedListFormat::text;

  bool operator==(const Reading&) const = default;
};

// `lines`: how many lines the list has at most.
Reading reading(std::string_view bytes, std::size_t lines) {
  Transcript transcript(lines);
  Reading result;
  if (const std::optional<ApprovedListProblem> problem = read_approved_list(bytes, transcript, &result.format)) {
    require(!problem->reason.empty(), "an unusable list without a reason");
    require(problem->line <= lines, "an unusable list told on a line it does not have");
    result.problem = std::to_string(problem->line) + " " + problem->reason;
  }
  result.told = std::move(transcript.text);
  return result;
}

// The length of the UTF-8 sequence that a byte starts; 0 when it starts none.
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

// The code points of valid UTF-8 text; nullopt when it is not.
std::optional<std::vector<char32_t>> code_points(std::string_view text) {
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = sequence_length(byte);
    if (length == 0 || i + length > text.size()) return std::nullopt;
    char32_t point = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      point = point << 6 | (next & 0x3F);
    }
    constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) return std::nullopt;
    points.push_back(point);
    i += length;
  }
  return points;
}

// The same text as UTF-16 behind its byte-order mark.
std::string utf16(const std::vector<char32_t>& points, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  const auto unit = [&](char32_t value) {
    const char high = static_cast<char>(value >> 8);
    const char low = static_cast<char>(value & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  };
  for (char32_t point : points) {
    if (point < 0x10000) {
      unit(point);
    } else {
      unit(0xD800 + ((point - 0x10000) >> 10));
      unit(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

bool starts_with_mark(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // UTF-16 holds fewer characters than bytes, and so fewer line feeds.
  const std::size_t lines =
      starts_with_mark(bytes) ? size + 1 : static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
  const Reading first = reading(bytes, lines);
  require(reading(bytes, lines) == first, "the same list read twice gives another reading");
  if (starts_with_mark(bytes)) return 0;

  // Without a byte-order mark, the first character that is not blank tells JSON.
  const std::size_t start = bytes.find_first_not_of(" \t\r\n");
  const bool json = start != std::string_view::npos && bytes[start] == '{';
  require((first.format == ApprovedListFormat::json) == json, "a list read as JSON but for its first character");
  if (start == std::string_view::npos) {
    require(first.problem && first.problem->starts_with("0 ") && first.told.empty(), "a blank list read");
  }

  // A byte-order mark changes nothing but the bytes.
  require(reading("\xEF\xBB\xBF" + std::string(bytes), lines) == first, "a UTF-8 byte-order mark changes the reading");
  if (const std::optional<std::vector<char32_t>> points = code_points(bytes)) {
    require(reading(utf16(*points, false), lines) == first, "the list as UTF-16LE is read otherwise");
    require(reading(utf16(*points, true), lines) == first, "the list as UTF-16BE is read otherwise");
  }
  return 0;
}
