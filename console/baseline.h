#pragma once
// Lists of approved CRCs for `check`: the CSV or JSON that `all --format csv`
// or `all --format json` writes.

#include <map>
#include <optional>
#include <set>
#include <string>

#include "console/diagnostics.h"

namespace ccdcrc {

struct Baseline {
  std::map<std::string, std::string> crcs;  // IED name -> approved CRC
  std::set<std::string> rejected;           // names of rejected entries that have no other one
  bool complete = true;                     // false when entries were rejected
};

// Reads a baseline, telling which format by its first character. Reports each
// entry it rejects as "PATH:LINE: reason" (malformed, duplicate name; the
// first entry of a name is kept) and goes on; returns nullopt when the file
// cannot be read or is no such list at all.
std::optional<Baseline> read_baseline(const std::string& path, Diagnostics& diagnostics);

}  // namespace ccdcrc
