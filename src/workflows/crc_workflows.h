#pragma once
// The `all`, `ied` and `ccd` workflows on a loaded SCD: results, and notes in
// the library's words.

#include <optional>
#include <string>
#include <vector>

#include "operations/bindings.h"
#include "operations/crc_runs.h"
#include "operations/shown_ccd.h"
#include "scd/scd.h"
#include "util/parallel.h"
#include "workflows/notes.h"

namespace ccdcrc {

// Every IED name of the SCD with the CRC that the listing gives it (jobs:
// threads, 0 one per core); a warning for each name that several IEDs with
// circuits share.
std::vector<ListedCrc> listed_crcs_noted(const Scd& scd, unsigned jobs, const ProgressCallback& progress, Notes& notes);

// `all`: the listing, its CRCs and the SCD CRC; notes on shared names, on an
// SCD where no IED has circuits, and on inputs bound to nothing.
struct AllOutcome {
  std::vector<ListedCrc> listed;
  IedCrcMap crcs;
  std::string scd_crc;
  Notes notes;
};
AllOutcome all_crcs(const Scd& scd, unsigned jobs, const ProgressCallback& progress = {});

// Warnings about inputs that resolve to nothing: each in full when there are few.
void note_broken_bindings(const Scd& scd, const std::vector<BrokenBinding>& broken, Notes& notes);

// `bindings`: every input of the SCD that resolves to nothing, by IED name,
// each in the order of its IED's inputs.
struct BindingsOutcome {
  std::vector<BrokenBinding> broken;
  Notes notes;
};
BindingsOutcome scd_broken_bindings(const Scd& scd, unsigned jobs, const ProgressCallback& progress = {});

// `ied`: the answer for each name, in the order given (a name given twice is
// answered twice).
struct IedAnswer {
  std::string name;
  std::optional<std::string> crc;
  std::string error;  // why there is no CRC
};
struct IedOutcome {
  std::vector<IedAnswer> answers;
  bool all_answered = true;
  Notes notes;
};
IedOutcome named_crcs(const Scd& scd, const std::vector<std::string>& names);

// `ccd`: the CCD of the IED of that name, as exported or as measured; null
// `shown` with an error note when it is not shown.
struct CcdOutcome {
  std::optional<ShownCcd> shown;
  bool unknown = false;  // no IED of that name
  std::string error;     // why it is not shown
  Notes notes;
};
CcdOutcome named_ccd(const Scd& scd, const std::string& name, CcdForm form);

}  // namespace ccdcrc
