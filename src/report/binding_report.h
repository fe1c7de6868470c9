#pragma once
// The inputs that came to resolve to nothing, and those mended, in JSON.

#include "operations/bindings.h"
#include "report/output.h"

namespace ccdcrc {

// "bindings": {"broken": [...], "mended": [...]}, each {"ied", "int_addr",
// "source", "reason"}: the inputs that resolve to nothing in NEW alone, and
// those that did in OLD and do no longer.
void write_bindings(JsonStream& json, const BindingChanges& bindings);

// {"scd": PATH, "broken": [...]}: the inputs of one SCD that resolve to nothing.
void write_broken_bindings(std::ostream& out, const std::string& scd_path, const std::vector<BrokenBinding>& broken);

}  // namespace ccdcrc
