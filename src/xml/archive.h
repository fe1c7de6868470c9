#pragma once
// Decompression of gzip data (zlib) and of one member of a zip archive
// (libzip), from bytes held in memory, into a SourceText.
//
// An archive is either intact or refused: every gzip member's trailer
// (CRC-32 and length) and every zip member's CRC-32 are checked, a zip
// archive is read through its central directory, whose entries must agree
// with their local headers, and a member name given twice is never chosen
// between. The answer depends on the bytes alone, never on how they arrived.

#include <cstddef>
#include <string>
#include <string_view>

#include "xml/input.h"

namespace ccdcrc {

// Unpacks the gzip data or the chosen zip member (options.member, or the
// archive's one SCL file) of `packed` into input.text; false with `problem`
// filled.
bool unpack(std::string_view packed, Packing packing, const InputOptions& options, Input& input, LoadProblem& problem);

// Member names taken for SCL files by their extension (.scd, .cid, .icd,
// .iid, .ssd, .sed, .xml, in any case).
bool has_scl_extension(std::string_view name);

}  // namespace ccdcrc
