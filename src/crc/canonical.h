#pragma once
// The canonical text of a CCD and its CRC-32.
//
// A CCD is serialised by pugixml (indent "\t", format_indent, encoding_auto);
// every line of that text is trimmed of " \n\r\t", blanks inside tags (outside
// attribute values) are dropped, and the lines are joined without separator.
// The CRC is the standard CRC-32 (zlib, ISO-HDLC) of the joined text.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace ccdcrc {

// Serialised text in, canonical text out: takes pugixml's output in chunks cut
// anywhere and gives, in pieces of about 64 KiB, the bytes that trimming and
// reducing each line would give, so that lines are never held or measured
// one by one.
class CanonicalWriter final : public pugi::xml_writer {
 public:
  using Sink = std::function<void(std::string_view)>;
  explicit CanonicalWriter(Sink sink);
  void write(const void* data, std::size_t size) override;
  // Hands over what is left; call once after the last write.
  void finish();

 private:
  static constexpr std::size_t no_blanks = static_cast<std::size_t>(-1);

  void put(char c) {
    if (used_ == buffer_.size()) make_room();
    buffer_[used_++] = c;
  }
  void put_run(const char* bytes, std::size_t size);
  void put_blank(char c);
  void drop_trailing_blanks();
  void make_room();

  Sink sink_;
  std::string buffer_;
  std::size_t used_ = 0;
  std::size_t blanks_from_ = no_blanks;  // where blanks that may end the line start
  bool line_start_ = true;
  bool in_quotes_ = false;
  bool in_tag_ = false;
};

// Hands the canonical text of a CCD document to `sink` in pieces, made from
// its serialisation in memory.
void write_canonical_text(const pugi::xml_document& ccd, const CanonicalWriter::Sink& sink);

// CRC register over the text from `initial`, complemented at the end; with
// 0xFFFFFFFF this is the standard CRC-32.
std::uint32_t crc32_of_text(std::uint32_t initial, std::string_view text);

// Upper-case hexadecimal without leading zeros ("0" for 0).
std::string crc_hex_text(std::uint32_t value);

// The eight-digit CRC text of a text: crc_hex_text of its CRC-32, left-padded with "0".
std::string crc_text_of(std::string_view text);

// The CRC text of a CCD document, computed while it is serialised.
std::string ccd_crc_text(const pugi::xml_document& ccd);

// Serialises a CCD exactly as it is measured and exported.
void save_ccd(const pugi::xml_document& ccd, pugi::xml_writer& writer);

}  // namespace ccdcrc
