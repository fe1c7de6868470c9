#include "scd/parted_parse.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "scd/scl_root.h"
#include "util/nodes.h"
#include "util/parallel.h"

namespace ccdcrc {

namespace {

constexpr std::size_t none = std::string_view::npos;
constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr std::array<bool, 256> tag_scan_stops() {
  std::array<bool, 256> stops{};
  for (unsigned char c : {'"', '\'', '<', '>'}) stops[c] = true;
  return stops;
}
constexpr std::array<bool, 256> stops_tag_scan = tag_scan_stops();

// The '>' that ends a start tag whose name starts before `from`: the first
// one outside quoted values; none when the tag does not end or holds a '<'.
std::size_t end_of_start_tag(std::string_view part, std::size_t from) {
  for (std::size_t at = from; at < part.size(); ++at) {
    // Most bytes of a tag are names and values: only these four matter.
    while (at < part.size() && !stops_tag_scan[static_cast<unsigned char>(part[at])]) ++at;
    if (at == part.size()) return none;
    const char c = part[at];
    if (c == '>') return at;
    if (c == '<') return none;
    // A quoted value, mostly a few bytes: to its closing quote.
    do {
      ++at;
    } while (at < part.size() && part[at] != c);
    if (at == part.size()) return none;
  }
  return none;
}

// One past the '>' of the root's start tag, when the root is named SCL and
// only white space, processing instructions and comments come before it;
// 0 otherwise. The head parse checks what this finds.
std::size_t end_of_root_start(std::string_view text) {
  std::size_t at = text.substr(0, utf8_bom.size()) == utf8_bom ? utf8_bom.size() : 0;
  while (at < text.size()) {
    if (is_space(text[at])) {
      ++at;
      continue;
    }
    const std::string_view rest = text.substr(at);
    std::size_t end = none;
    if (rest.substr(0, 2) == "<?") {
      end = text.find("?>", at + 2);
      if (end == none) return 0;
      at = end + 2;
    } else if (rest.substr(0, 4) == "<!--") {
      end = text.find("-->", at + 4);
      if (end == none) return 0;
      at = end + 3;
    } else {
      break;
    }
  }
  if (text.substr(at, scl_root_start.size()) != scl_root_start || at + scl_root_start.size() >= text.size()) return 0;
  at += scl_root_start.size();
  if (!is_space(text[at]) && text[at] != '>') return 0;
  const std::size_t end = end_of_start_tag(text, at);
  return end == none || text[end - 1] == '/' ? 0 : end + 1;
}

// Where the root's end tag starts, when only white space follows it; 0 otherwise.
std::size_t start_of_root_end(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && is_space(text[end - 1])) --end;
  if (end == 0 || text[end - 1] != '>') return 0;
  --end;
  while (end > 0 && is_space(text[end - 1])) --end;
  if (end < scl_root_end.size() || text.substr(end - scl_root_end.size(), scl_root_end.size()) != scl_root_end)
    return 0;
  return end - scl_root_end.size();
}

// Whether a character reference at `at` (after "&#") stands for an
// apostrophe, read as a number of any size: what the parts hold is checked
// after their parse (holds_apostrophe); this only spares parting a text that
// would not stay parted.
bool references_apostrophe(std::string_view text, std::size_t at) {
  const bool hex = at < text.size() && (text[at] == 'x' || text[at] == 'X');
  unsigned long value = 0;
  for (at += hex ? 1 : 0; at < text.size() && value <= 0x27; ++at) {
    const char c = text[at];
    if (c >= '0' && c <= '9') {
      value = value * (hex ? 16 : 10) + static_cast<unsigned long>(c - '0');
    } else if (hex && (c | ' ') >= 'a' && (c | ' ') <= 'f') {
      value = value * 16 + static_cast<unsigned long>((c | ' ') - 'a' + 10);
    } else {
      break;
    }
  }
  return value == 0x27;
}

// Whether a part parses as a fragment into exactly the nodes it has in the
// whole text. At the top of a fragment pugixml accepts an XML declaration and
// a document type, which it refuses inside an element, and it drops a byte
// order mark. A zero byte ends the parse of the whole text, but not that of a
// later part. An apostrophe would most likely end up in a value, and the
// parts be joined after their parse: such a part is not parted at all.
bool parses_alike(std::string_view part) {
  if (part.substr(0, utf8_bom.size()) == utf8_bom || part.find('\'') != none) return false;
  if (part.find('\0') != none) return false;
  for (std::size_t at = part.find('&'); at != none; at = part.find('&', at + 1)) {
    if (part.substr(at + 1, 5) == "apos;") return false;
    if (part.substr(at + 1, 1) == "#" && references_apostrophe(part, at + 2)) return false;
  }
  return true;
}

bool is_name_start(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z') || byte == '_' || byte == ':' || byte >= 0x80;
}

bool is_name_char(char c) { return is_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// One past the end of the markup that starts with "<" + `opening` at `at`
// and ends with `closing`; none when it does not end.
std::size_t past(std::string_view part, std::size_t at, std::string_view opening, std::string_view closing) {
  const std::size_t end = part.find(closing, at + 1 + opening.size());
  return end == none ? none : end + closing.size();
}

// The next '<' at or after `from`. Between tags there is mostly a little
// white space, looked through before memchr is called.
std::size_t next_open(std::string_view part, std::size_t from) {
  const std::size_t near = std::min(part.size(), from + 16);
  for (; from < near; ++from) {
    if (part[from] == '<') return from;
  }
  return part.find('<', from);
}

// Whether a part is whole markup as pugixml reads it: read from outside
// markup at the level of the root's children, it ends outside markup, closes
// every element it opens and no other. A comment ends at the first "-->", a
// CDATA section at "]]>", a processing instruction at "?>", a tag at the
// first ">" outside quoted values. Markup that pugixml would take otherwise
// (a document type, an XML declaration, a stray "<") fails the scan.
bool balanced(std::string_view part) {
  std::size_t depth = 0;
  std::size_t at = 0;
  while ((at = next_open(part, at)) != none) {
    const std::string_view rest = part.substr(at + 1);
    if (rest.substr(0, 3) == "!--") {
      at = past(part, at, "!--", "-->");
    } else if (rest.substr(0, 8) == "![CDATA[") {
      at = past(part, at, "![CDATA[", "]]>");
    } else if (rest.size() >= 2 && rest[0] == '?' && is_name_start(rest[1])) {
      std::size_t target = 1;
      while (target < rest.size() && is_name_char(rest[target])) ++target;
      if (target == 4 && (rest[1] | 0x20) == 'x' && (rest[2] | 0x20) == 'm' && (rest[3] | 0x20) == 'l') return false;
      at = past(part, at, "?", "?>");
    } else if (!rest.empty() && rest[0] == '/') {
      if (depth-- == 0) return false;
      at = past(part, at, "/", ">");
    } else if (!rest.empty() && is_name_start(rest[0])) {
      const std::size_t end = end_of_start_tag(part, at + 2);
      if (end == none) return false;
      if (part[end - 1] != '/') ++depth;
      at = end + 1;
    } else {
      return false;
    }
    if (at == none) return false;
  }
  return depth == 0;
}

// The first place at or after `from` and before `to` to cut before: the '<'
// of a top-level element's start tag (IED, Communication, ...) that follows
// the end of a tag and white space. A place that is not at the top level
// makes a part fail, and the text is parsed whole.
std::size_t cut_from(std::string_view text, std::size_t from, std::size_t to) {
  static constexpr std::string_view top_level[] = {"IED", "Communication", "DataTypeTemplates", "Substation"};
  for (std::size_t at = text.find('<', from); at != none && at < to; at = text.find('<', at + 1)) {
    std::size_t before = at;
    while (before > from && is_space(text[before - 1])) --before;
    if (before == at || before == from || text[before - 1] != '>') continue;
    const std::string_view name = text.substr(at + 1);
    for (std::string_view top : top_level) {
      if (name.substr(0, top.size()) != top || name.size() <= top.size()) continue;
      const char after = name[top.size()];
      if (is_space(after) || after == '>' || after == '/') return at;
    }
  }
  return none;
}

}  // namespace

RootContent PartedDocument::content() const {
  if (joined()) return RootContent(head.document_element());
  std::vector<pugi::xml_node> documents;
  documents.reserve(fragments.size());
  for (const auto& fragment : fragments) documents.emplace_back(*fragment);
  return RootContent::of_fragments(std::move(documents));
}

std::ptrdiff_t PartedDocument::offset(pugi::xml_node node) const {
  const std::ptrdiff_t in_document = node.offset_debug();
  if (in_document < 0) return in_document;
  const pugi::xml_node document = node.root();
  for (std::size_t i = 0; i < fragments.size(); ++i) {
    if (document == *fragments[i]) return static_cast<std::ptrdiff_t>(starts[i]) + in_document;
  }
  return in_document;  // the head, parsed from a copy of the text's start
}

namespace {

// Whether a part, parsed in place, may hold a value with an apostrophe. Such
// a value changes the text of a query it is looked up by, which may then ask
// for anything in the whole document: parts cannot answer it. The check is
// made on what pugixml made of the part, whatever its text looked like: a
// parse in place leaves every name and value, decoded, among the bytes of its
// part, so a part without an apostrophe byte holds no such value.
bool holds_apostrophe(std::string_view part) { return part.find('\'') != none; }

// Joins the fragments under the head's root, in order: one document, node for
// node what one parse of the whole text makes. Only the head's nodes keep
// their offsets.
void join(PartedDocument& parted) {
  const pugi::xml_node root = parted.head.document_element();
  for (auto& fragment : parted.fragments) {
    for (pugi::xml_node node : fragment->children()) add_copy(root, node);
    fragment.reset();
  }
  parted.fragments.clear();
  parted.starts.clear();
}

// The root's content cut into parts: where each starts (the first right after
// the root's start tag), and where the last ends; empty when it is not to be cut.
struct Cuts {
  std::vector<std::size_t> starts;
  std::size_t end = 0;

  std::string_view part(std::string_view text, std::size_t i) const {
    return text.substr(starts[i], (i + 1 < starts.size() ? starts[i + 1] : end) - starts[i]);
  }
};

Cuts cuts_of(std::string_view text, std::size_t most_parts, std::size_t smallest_part) {
  Cuts cuts;
  const std::size_t body_start = end_of_root_start(text);
  const std::size_t body_end = start_of_root_end(text);
  if (body_start == 0 || body_end <= body_start) return {};
  // Each part is parsed in place without a zero byte after it: pugixml puts
  // one in place of its last byte, which must belong to no node.
  const char last = text[body_end - 1];
  if (!is_space(last) && last != '>') return {};
  const std::size_t body = body_end - body_start;
  const std::size_t parts = std::min(most_parts, body / std::max<std::size_t>(smallest_part, 1));
  cuts.starts.push_back(body_start);
  cuts.end = body_end;
  for (std::size_t k = 1; k < parts; ++k) {
    const std::size_t cut = cut_from(text, std::max(body_start + body / parts * k, cuts.starts.back() + 1), body_end);
    if (cut == none) break;
    cuts.starts.push_back(cut);
  }
  if (cuts.starts.size() < 2) return {};
  return cuts;
}

// Parses what precedes the root's content, closed after the root's start tag;
// false unless that is an SCL root in UTF-8 alone. It decides the encoding,
// as it does for the whole text.
bool parse_head(pugi::xml_document& head, std::string_view text, std::size_t body_start, unsigned parse_options) {
  if (text.substr(0, body_start).find('\0') != none) return false;
  std::string copy(text.substr(0, body_start));
  copy += scl_root_end;
  copy += '>';
  const pugi::xml_parse_result result = head.load_buffer(copy.data(), copy.size(), parse_options, pugi::encoding_auto);
  const pugi::xml_node root = head.document_element();
  if (!result || result.encoding != pugi::encoding_utf8 || !queries_reach_root(root) || root.first_child() ||
      root.next_sibling()) {
    return false;
  }
  for (pugi::xml_attribute attribute : root.attributes()) {
    if (std::strchr(attribute.value(), '\'')) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<PartedDocument> parse_in_parts(char* text_data, std::size_t size, unsigned parse_options,
                                               const Parting& parting, pugi::xml_parse_result& failure) {
  failure = pugi::xml_parse_result();
  failure.status = pugi::status_ok;
  const std::string_view text(text_data, size);
  // White space between elements must leave no node, as it does with parse_full.
  if ((parse_options & (pugi::parse_ws_pcdata | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata)) != 0) {
    return nullptr;
  }
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const Cuts cuts = cuts_of(text, parting.most_parts == 0 ? cores : parting.most_parts, parting.smallest_part);
  const std::size_t count = cuts.starts.size();
  auto parted = std::make_unique<PartedDocument>();
  if (count == 0 || !parse_head(parted->head, text, cuts.starts.front(), parse_options)) return nullptr;

  const unsigned jobs = static_cast<unsigned>(std::min(count, cores));
  std::atomic<bool> whole{true};
  parallel_for(count, jobs, [&](std::size_t i) {
    if (whole && !(parses_alike(cuts.part(text, i)) && balanced(cuts.part(text, i)))) whole = false;
  });
  if (!whole) return nullptr;

  // From here on the text is parsed in place: what fails is the text's error.
  parted->starts = cuts.starts;
  parted->fragments.resize(count);
  for (auto& fragment : parted->fragments) fragment = std::make_unique<pugi::xml_document>();
  std::vector<pugi::xml_parse_result> results(count);
  std::vector<char> apostrophes(count, 0);
  parallel_for(count, jobs, [&](std::size_t i) {
    const std::size_t length = cuts.part(text, i).size();
    char* start = text_data + cuts.starts[i];
    const char ending = start[length - 1];
    results[i] = parted->fragments[i]->load_buffer_inplace(start, length, parse_options | pugi::parse_fragment,
                                                           pugi::encoding_utf8);
    // The text is left as one parse leaves it; that byte is in no node.
    start[length - 1] = ending;
    apostrophes[i] = holds_apostrophe({start, length}) ? 1 : 0;
  });
  for (std::size_t i = 0; i < count; ++i) {
    if (results[i]) continue;
    failure = results[i];
    failure.offset += static_cast<std::ptrdiff_t>(cuts.starts[i]);
    return nullptr;
  }
  if (std::find(apostrophes.begin(), apostrophes.end(), 1) != apostrophes.end()) join(*parted);
  return parted;
}

}  // namespace ccdcrc
