#pragma once
// A large SCD parsed on several threads. The text up to the root's start tag
// is parsed alone, and the root's content in parts cut before top-level
// elements, each part in place as a fragment document of its own.
//
// A text is parted only where the nodes come out exactly as one parse of the
// whole text makes them. Before anything is parsed, each part is scanned, on
// its thread, for the markup that pugixml recognises: a part must close every
// element it opens and end outside markup, so that, from the first part on,
// every cut lies between two children of the root. Up to its first error
// pugixml reads the text as the scan does, so a part that still fails to
// parse fails where one parse of the whole text would, with the same error.
// Anything else (another encoding, a document type, content after the root,
// markup the scan does not know) leaves the text untouched for one parse.
//
// Lookups with a value that holds an apostrophe need the whole document
// (the value changes the text of the query). Whether a part holds one is
// told by what pugixml made of it, after its parse: the parts that may are
// joined into one document, which one parse of the whole text would have
// made. The scan before the parse only spares such texts the parts.

#include <cstddef>
#include <memory>
#include <vector>

#include <pugixml.hpp>

#include "scd/root_content.h"

namespace ccdcrc {

// The parts of a text. Parts that may hold a value with an apostrophe are
// joined after their parse: the head then holds the whole document, and only
// its own nodes have offsets.
struct PartedDocument {
  pugi::xml_document head;  // what precedes the root, and the root without its children (unless joined)
  std::vector<std::unique_ptr<pugi::xml_document>> fragments;  // the root's children, in document order
  std::vector<std::size_t> starts;                             // where each fragment's text starts in the whole text

  // Whether the fragments were joined under the head's root.
  bool joined() const { return fragments.empty(); }
  RootContent content() const;
  // The offset in the whole text of a node's start (as offset_debug counts); -1 when unknown.
  std::ptrdiff_t offset(pugi::xml_node node) const;
};

// How a text is parted: into at most `most_parts` parts (0: one per core),
// each at least `smallest_part` bytes.
struct Parting {
  std::size_t most_parts = 0;
  std::size_t smallest_part = std::size_t{4} << 20;
};

// Parses `text` (`size` bytes) in parts. Returns the document, perhaps
// joined; or null with `failure` ok when the text is not to be parted (it is
// untouched: a zero byte, which ends a parse, keeps it whole); or null with
// `failure` the error of the whole text, its offset counted in the whole text
// (the text was parsed in place).
std::unique_ptr<PartedDocument> parse_in_parts(char* text, std::size_t size, unsigned parse_options,
                                               const Parting& parting, pugi::xml_parse_result& failure);

}  // namespace ccdcrc
