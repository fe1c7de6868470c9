#pragma once
// Decompression of gzip data and of one member of a zip archive, through
// libarchive, into a SourceText.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "xml/input.h"

namespace ccdcrc {

class Sha256;

// Where the packed bytes come from: an open file (seekable when it is a
// regular file), after `prefix`, the bytes read from it already; or bytes in
// memory. The bytes that pass are added to `digest` when one is given; a
// seekable file is not digested here (its bytes may be read out of order).
struct PackedSource {
  int fd = -1;
  bool seekable = false;
  std::string_view prefix;
  std::string_view bytes;  // used when fd < 0
  Sha256* digest = nullptr;
};

// Unpacks the gzip data or the chosen zip member (options.member, or the
// archive's one SCL file) into input.text; false with `problem` filled.
bool unpack(const PackedSource& source, const InputOptions& options, Input& input, InputProblem& problem);

// Member names taken for SCL files by their extension (.scd, .cid, .icd,
// .iid, .ssd, .sed, .xml, in any case).
bool has_scl_extension(std::string_view name);

}  // namespace ccdcrc
