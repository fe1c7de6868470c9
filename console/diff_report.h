#pragma once
// The results of `diff`: every IED name of two SCDs, the two SCD CRCs, and
// what changed in the explained IEDs.

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "console/output.h"
#include "operations/comparison.h"

namespace ccdcrc {

struct DiffReport {
  std::string old_path;
  std::string new_path;
  std::vector<IedCrcChange> ieds;
  std::string old_scd_crc;
  std::string new_scd_crc;
  std::map<std::string, CcdComparison> explanations;  // by IED name
  bool changes_only = false;                          // leave out the unchanged IEDs
};

void write_diff_report(std::ostream& out, Format format, const DiffReport& report);

}  // namespace ccdcrc
