#pragma once
// A loaded SCD: the parsed document and the lookups the CCD builder runs on it.
// Loaded once, then shared by every run on that file.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "scd/lookups.h"
#include "scd/parted_parse.h"
#include "scd/root_content.h"
#include "xml/load_problem.h"
#include "xml/source_text.h"
#include "xml/text_lines.h"

namespace ccdcrc {

// Content of the text that the document does not hold, though it loaded:
// what follows a zero byte (the parser ends the text there), elements after
// the document element, or text after the last markup (which the parser
// skips). White space, comments and processing instructions are no such
// content. An SCD read in part answers for no approval.
struct IgnoredContent {
  enum class Kind { after_zero_byte, after_document_element, text_after_document_element };
  Kind kind = Kind::after_zero_byte;
  TextPosition position;  // where it starts, when known
  std::size_t bytes = 0;  // after_zero_byte: the bytes from the zero byte on
};

// How the builder's lookups are answered: from indexes (the default), or by
// running each defining query on the document (the slow reference).
enum class LookupMode { indexed, queries };

// Parse options and lookups of a load. Every CRC is defined on parse_full.
// A large text whose lookups are indexed is parsed in parts on several
// threads, as `parting` says; the queries keep one document.
struct LoadOptions {
  LookupMode lookups = LookupMode::indexed;
  unsigned parse_options = pugi::parse_full;
  Parting parting;
};

class Scd {
 public:
  // Parses bytes that were read already (operations/scd_input.h reads them);
  // `name` stands for them in messages. Returns null and fills `problem`
  // (when given) if the text is no document that may be loaded.
  static std::unique_ptr<Scd> parse(SourceText text, const std::string& name, LoadProblem* problem = nullptr,
                                    const LoadOptions& options = {});

  // The memory of the text that `scd` was parsed from, the document gone:
  // for the next text read, whose pages are then in place already.
  static SourceText reclaim_text(std::unique_ptr<Scd> scd);

  Scd(const Scd&) = delete;
  Scd& operator=(const Scd&) = delete;
  ~Scd();

  // The path, or the name given for the bytes.
  const std::string& path() const { return path_; }
  // The root element, with its attributes. Its children are walked through
  // content(): a document parsed in parts holds them elsewhere.
  pugi::xml_node root() const { return parted_ ? parted_->head.document_element() : document_.document_element(); }
  const RootContent& content() const { return content_; }
  // The node above `node` in the SCD: for a child of the root, the root.
  pugi::xml_node parent(pugi::xml_node node) const;
  const ScdLookups& lookups() const { return *lookups_; }

  // The root's direct IED children, in document order.
  std::vector<pugi::xml_node> ieds() const;

  // Content that was ignored; nullopt when the document holds the whole text.
  const std::optional<IgnoredContent>& ignored_content() const { return ignored_content_; }

  // Where a node starts in the loaded text (an element at its "<"); unknown
  // when the text was not UTF-8, and below the root of a text whose parts
  // were joined (parted_parse.h).
  TextPosition position(pugi::xml_node node) const;

 private:
  Scd() = default;
  static std::unique_ptr<Scd> parse_whole(SourceText text, const std::string& name, LoadProblem& report,
                                          const LoadOptions& options);
  pugi::xml_parse_result parse_text(unsigned parse_options);
  void find_ignored_content(const pugi::xml_parse_result& result, std::size_t after_zero, TextPosition zero_position,
                            std::optional<TextPosition> skipped_text);

  std::string path_;
  SourceText text_;              // declared before the document, which may point into it
  TextLines lines_;              // of `text_` as it was read
  bool text_is_parsed_ = false;  // the document's offsets count bytes of `text_`
  pugi::xml_document document_;
  std::unique_ptr<PartedDocument> parted_;  // instead of the document, for a text parsed in parts
  RootContent content_;
  std::unique_ptr<ScdLookups> lookups_;
  std::optional<IgnoredContent> ignored_content_;
};

}  // namespace ccdcrc
