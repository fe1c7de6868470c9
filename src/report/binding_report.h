#pragma once
// The inputs that came to resolve to nothing, and those mended, in JSON.

#include <ostream>
#include <string>
#include <vector>

#include "operations/bindings.h"
#include "report/output.h"

namespace ccdcrc {

// "bindings": {"broken": [...], "mended": [...]}, each {"ied", "int_addr",
// "source", "reason"}: the inputs that resolve to nothing in NEW alone, and
// those that did in OLD and do no longer.
void write_bindings(JsonStream& json, const BindingChanges& bindings);

// One SCD's broken bindings: in text a line each ("IED: input INTADDR
// (SOURCE) resolves to nothing: REASON"); in JSON {"scd", "broken_bindings":
// [...]} with the members above; in CSV a row each under a header.
void write_broken_bindings(std::ostream& out, Format format, const std::string& scd_path,
                           const std::vector<BrokenBinding>& broken);

}  // namespace ccdcrc
