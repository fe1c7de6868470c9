#pragma once
// The SCD's Header beside CRCs, as text and JSON.

#include <string>

#include "report/output.h"
#include "scd/header.h"

namespace ccdcrc {

// "version 3, revision B" ("-" for an attribute that is missing, "no version
// or revision" when both are).
std::string revision_text(const ScdRevision& revision);
// {"version": ..., "revision": ...}, null for a missing attribute.
void write_revision(JsonStream& json, const ScdRevision& revision);
// {"id": ..., "version": ..., "revision": ...}, null for a missing attribute.
void write_header(JsonStream& json, const ScdHeader& header);

}  // namespace ccdcrc
