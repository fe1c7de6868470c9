#pragma once
// The results of `diff`: every IED name of two SCDs, the two SCD CRCs, and
// what changed in the explained IEDs.

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "operations/bindings.h"
#include "operations/comparison.h"
#include "operations/differences.h"
#include "report/output.h"
#include "report/scd_revision.h"
#include "report/style.h"

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
  std::map<std::string, CcdComparison> explanations;  // by IED name, collected for a change report
  bool changes_only = true;                           // leave out the unchanged IEDs
  DiffLayout layout = DiffLayout::table;
  TextStyle style{};                       // of the statuses in text
  std::optional<BindingChanges> bindings;  // inputs NEW breaks and mends; JSON writes them when given
};

// What the report needs of the old SCD besides its listing, owned: the
// document may be released before the new one is loaded.
struct ComparedOld {
  std::string path;
  ScdRevision revision;
  std::vector<BrokenBinding> broken;  // as broken_bindings gives them
};
ComparedOld compared_old(const Scd& old_scd, const std::vector<ListedCrc>& old_ieds);

// The report of two SCDs from their listings (operations/crc_runs.h): the
// CRCs of every name, the SCD CRCs and Headers, and the inputs NEW breaks and
// mends; every IED that changed, in the table layout.
DiffReport diff_report(const ComparedOld& old_scd, const std::vector<ListedCrc>& old_ieds, const Scd& new_scd,
                       const std::vector<ListedCrc>& new_ieds);

// Writes the report; the changes of --explain and the counts of --stat come
// from `explained` (none when null) as they are written.
void write_diff_report(std::ostream& out, Format format, const DiffReport& report, ExplainedChanges* explained);

// The IEDs whose changes are told while the report is written: their CCDs
// are built and compared a window at a time, on `jobs` threads.
struct ExplainedIeds {
  std::vector<const IedCrcChange*> ieds;
  unsigned jobs = 0;
  ProgressCallback progress;           // counts the IEDs built
  std::function<void()> window_built;  // before a window's changes are told
};

// Writes the report, explaining `explained` as it goes.
void write_diff_report(std::ostream& out, Format format, const DiffReport& report, ExplainedIeds explained,
                       const Scd& old_scd, const Scd& new_scd);
// The same with OLD's CCDs as they were kept (or built as they are taken).
void write_diff_report(std::ostream& out, Format format, const DiffReport& report, ExplainedIeds explained,
                       OldCcds& old_ccds, const Scd& new_scd);

}  // namespace ccdcrc
