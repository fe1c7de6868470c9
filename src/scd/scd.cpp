#include "scd/scd.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "scd/indexed_lookups.h"
#include "scd/query_lookups.h"
#include "system/files.h"
#include "util/nodes.h"
#include "xml/packing.h"

namespace ccdcrc {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Smaller texts are copied by pugixml: for them parsing in place gains
// nothing, and only past the bytes pugixml looks at to tell the encoding can
// the zero byte after the text not change what it tells.
constexpr std::size_t smallest_parsed_in_place = std::size_t{64} * 1024;

// UTF-16 and UTF-32 texts, told as the parser tells them: by a byte order
// mark, or a zero byte among the first two bytes.
bool is_wide_text(std::string_view text) {
  return text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE") || text.substr(0, 2).find('\0') != npos;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where text starts that follows the last markup (the parser skips such text
// outside the root element); npos when nothing but white space follows it. A
// last byte 0x1A, the end-of-file mark of old DOS tools, is no text.
std::size_t text_after_markup(std::string_view text) {
  std::size_t end = text.size();
  if (end > 0 && text[end - 1] == '\x1A') --end;
  while (end > 0 && is_space(text[end - 1])) --end;
  if (end == 0 || text[end - 1] == '>') return npos;
  const std::size_t last = text.rfind('>', end - 1);
  std::size_t start = last == npos ? 0 : last + 1;
  while (is_space(text[start])) ++start;
  return start;
}

// What the parser leaves out of a text that ends at `end` (a zero byte, or
// its size): text after the last markup, and where gzip data lie among it.
struct LeftOut {
  std::optional<TextPosition> skipped_text;
  std::size_t gzip = npos;
};

// Where the first zero byte is, or the text's size when it has none.
std::size_t zero_byte_offset(std::string_view text) {
  const void* zero = std::memchr(text.data(), 0, text.size());
  return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()) : text.size();
}

LeftOut left_out(std::string_view text, std::size_t end) {
  LeftOut found;
  if (is_wide_text(text)) return found;
  const std::string_view read = text.substr(0, end);
  const std::size_t skipped = text_after_markup(read);
  if (skipped != npos) found.skipped_text = position_in(read, static_cast<std::ptrdiff_t>(skipped));
  if (end < text.size() || skipped != npos) found.gzip = gzip_header_at(text);
  return found;
}

// A document that parses is refused when its file also holds an archive: zip
// readers find one by its end record, whatever comes before it; gzip data
// are looked for among what the document leaves out.
bool refused_archive(std::size_t zip, std::size_t gzip, LoadProblem& report) {
  if (zip == npos && gzip == npos) return false;
  const std::string archive = zip != npos ? "a zip archive's end record" : "gzip data";
  report = {LoadProblem::Kind::ambiguous,
            "the file holds both an XML document and " + archive + " (at byte offset " +
                std::to_string(zip != npos ? zip : gzip) +
                "), which other programs read instead: which of them is meant cannot be told",
            {}};
  return true;
}

}  // namespace

namespace {

// The loaded SCD, or null with `report` filled; memory that runs out is
// reported as such, whether pugixml or the indexes ran out of it.
template <typename Load>
std::unique_ptr<Scd> loaded_or_reported(LoadProblem& report, Load load) {
  try {
    return load();
  } catch (const std::bad_alloc&) {
    report.kind = LoadProblem::Kind::out_of_memory;
    report.message = "not enough memory to load the file";
    report.position = {};
    return nullptr;
  }
}

}  // namespace

Scd::~Scd() = default;

SourceText Scd::reclaim_text(std::unique_ptr<Scd> scd) {
  if (!scd) return {};
  // The document that points into the text is freed without reading it.
  SourceText text = std::move(scd->text_);
  scd.reset();
  return text;
}

std::unique_ptr<Scd> Scd::parse(SourceText text, const std::string& name, LoadProblem* problem,
                                const LoadOptions& options) {
  LoadProblem ignored;
  LoadProblem& report = problem ? *problem : ignored;
  return loaded_or_reported(report, [&] { return parse_whole(std::move(text), name, report, options); });
}

std::unique_ptr<Scd> Scd::parse_whole(SourceText text, const std::string& name, LoadProblem& report,
                                      const LoadOptions& options) {
  using Kind = LoadProblem::Kind;
  if (text.size() == 0) {
    report = {Kind::empty, "the file is empty", {}};
    return nullptr;
  }
  // Looked for before an in-place parse changes the text (refused_archive).
  const std::size_t zip = zip_end_record_at(text.view());
  LeftOut left;
  std::unique_ptr<Scd> scd(new Scd());
  scd->path_ = name;
  scd->text_ = std::move(text);
  // Lines are counted before a parse in place changes the text, on every core for a text parsed in parts.
  scd->lines_ = TextLines(scd->text_.view(), scd->text_.size() >= options.parting.smallest_part ? 0 : 1);
  // Parted are only texts that are parsed in place and to their end, and
  // whose lookups are indexed: the queries of the reference keep one document.
  // The parts are searched for a zero byte each on its own thread: on the
  // first touch of a page a thread pays for it, so the text is not read in
  // one pass before.
  pugi::xml_parse_result result;
  result.status = pugi::status_ok;
  if (options.lookups == LookupMode::indexed && options.parse_options == pugi::parse_full &&
      scd->text_.size() >= smallest_parsed_in_place) {
    scd->parted_ = parse_in_parts(scd->text_.data(), scd->text_.size(), options.parse_options, options.parting, result);
  }
  if (scd->parted_) {
    scd->text_is_parsed_ = true;
    scd->content_ = scd->parted_->content();
  } else {
    // The parser ends the text at a zero byte; where it is must be known before
    // an in-place parse writes zero bytes of its own.
    const std::size_t zero_offset = result ? zero_byte_offset(scd->text_.view()) : scd->text_.size();
    const std::size_t after_zero = scd->text_.size() - zero_offset;
    const TextPosition zero_position =
        after_zero != 0 ? scd->lines_.position(static_cast<std::ptrdiff_t>(zero_offset)) : TextPosition{};
    if (result) left = left_out(scd->text_.view(), zero_offset);
    // A text parted and parsed in place failed as it would whole; any other is parsed whole.
    if (result) result = scd->parse_text(options.parse_options);
    if (result.status == pugi::status_out_of_memory) {
      report = {Kind::out_of_memory, "not enough memory to load the file", {}};
      return nullptr;
    }
    if (result.status != pugi::status_ok) {
      report = {Kind::malformed, std::string("not well-formed XML: ") + result.description(), {}};
      // The offset counts bytes after decoding to UTF-8: bytes of the text only when it is UTF-8.
      if (result.encoding == pugi::encoding_utf8) report.position = scd->lines_.position(result.offset);
      return nullptr;
    }
    scd->find_ignored_content(result, after_zero, zero_position, left.skipped_text);
    scd->content_ = RootContent(scd->root());
  }
  if (refused_archive(zip, left.gzip, report)) return nullptr;
  if (options.lookups == LookupMode::indexed) {
    scd->lookups_ = std::make_unique<IndexedLookups>(scd->root(), scd->content_);
  } else {
    scd->lookups_ = std::make_unique<QueryLookups>(scd->root(), scd->content_);
  }
  return scd;
}

pugi::xml_parse_result Scd::parse_text(unsigned parse_options) {
  // Most SCDs are UTF-8: such a text is parsed where it lies, followed by a
  // zero byte, exactly as pugixml parses a file it reads itself.
  if (text_.size() >= smallest_parsed_in_place) {
    pugi::xml_parse_result result =
        document_.load_buffer_inplace(text_.data(), text_.size() + 1, parse_options, pugi::encoding_auto);
    if (result.encoding == pugi::encoding_utf8) {
      text_is_parsed_ = true;
      return result;
    }
    document_.reset();
  }
  // Anything else pugixml copies, decoding other encodings to UTF-8 on the way.
  pugi::xml_parse_result result = document_.load_buffer(text_.data(), text_.size(), parse_options, pugi::encoding_auto);
  text_is_parsed_ = result.encoding == pugi::encoding_utf8;
  // Offsets into decoded text tell nothing about the file's bytes.
  if (!text_is_parsed_ && result.status == pugi::status_ok) text_.release();
  return result;
}

void Scd::find_ignored_content(const pugi::xml_parse_result& result, std::size_t after_zero, TextPosition zero_position,
                               std::optional<TextPosition> skipped_text) {
  using Kind = IgnoredContent::Kind;
  // In UTF-16 and UTF-32 zero bytes belong to the characters.
  const bool byte_text = result.encoding == pugi::encoding_utf8 || result.encoding == pugi::encoding_latin1;
  if (byte_text && after_zero > 0) {
    ignored_content_ =
        IgnoredContent{Kind::after_zero_byte, text_is_parsed_ ? zero_position : TextPosition{}, after_zero};
    return;
  }
  for (pugi::xml_node node = root().next_sibling(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_comment && node.type() != pugi::node_pi) {
      ignored_content_ = IgnoredContent{Kind::after_document_element, position(node), 0};
      return;
    }
  }
  if (byte_text && skipped_text) {
    ignored_content_ =
        IgnoredContent{Kind::text_after_document_element, text_is_parsed_ ? *skipped_text : TextPosition{}, 0};
  }
}

TextPosition Scd::position(pugi::xml_node node) const {
  if (!text_is_parsed_) return {};
  std::ptrdiff_t offset = parted_ ? parted_->offset(node) : node.offset_debug();
  if (offset > 0 && node.type() == pugi::node_element) --offset;  // the "<" before the name
  return lines_.position(offset);
}

std::vector<pugi::xml_node> Scd::ieds() const {
  std::vector<pugi::xml_node> ieds;
  content_.for_each_element("IED", [&](pugi::xml_node ied) { ieds.push_back(ied); });
  return ieds;
}

pugi::xml_node Scd::parent(pugi::xml_node node) const {
  const pugi::xml_node above = node.parent();
  const bool in_fragment = parted_ && above.type() == pugi::node_document && above != parted_->head;
  return in_fragment ? root() : above;
}

}  // namespace ccdcrc
