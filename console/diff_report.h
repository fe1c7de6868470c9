#pragma once
// The results of `diff`: every IED name of two SCDs, the two SCD CRCs, and
// what changed in the explained IEDs.

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "console/output.h"
#include "console/scd_revision.h"
#include "operations/comparison.h"

namespace ccdcrc {

// What the text output shows: the table of IEDs, their names only, or for
// each IED that differs how many control blocks do.
enum class DiffLayout { table, name_only, stat };

struct DiffReport {
  std::string old_path;
  std::string new_path;
  std::vector<IedCrcChange> ieds;
  std::string old_scd_crc;
  std::string new_scd_crc;
  ScdRevision old_revision;
  ScdRevision new_revision;
  std::map<std::string, CcdComparison> explanations;  // by IED name
  bool changes_only = true;                           // leave out the unchanged IEDs
  DiffLayout layout = DiffLayout::table;
};

void write_diff_report(std::ostream& out, Format format, const DiffReport& report);

}  // namespace ccdcrc
