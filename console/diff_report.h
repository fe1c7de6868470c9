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

// What changed in the CCDs of the IEDs that are explained, found while the
// report is written, so that no more than one IED's changes are ever held.
// The writers ask for each IED once, in the order of DiffReport::ieds.
class ExplainedChanges {
 public:
  virtual ~ExplainedChanges() = default;
  virtual bool explains(const IedCrcChange& ied) const = 0;
  // Tells the changes of an IED that is explained to `sink` as they are found.
  virtual void tell(const IedCrcChange& ied, ComparisonSink& sink) = 0;
};

struct DiffReport {
  std::string old_path;
  std::string new_path;
  std::vector<IedCrcChange> ieds;
  std::string old_scd_crc;
  std::string new_scd_crc;
  ScdRevision old_revision;
  ScdRevision new_revision;
  std::map<std::string, CcdComparison> explanations;  // by IED name, collected for a change report
  bool changes_only = true;                           // leave out the unchanged IEDs
  DiffLayout layout = DiffLayout::table;
};

// Writes the report; the changes of --explain and the counts of --stat come
// from `explained` (none when null) as they are written.
void write_diff_report(std::ostream& out, Format format, const DiffReport& report, ExplainedChanges* explained);

}  // namespace ccdcrc
