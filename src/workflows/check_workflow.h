#pragma once
// The `check` workflow: a list of approved CRCs read with what it says of its
// lines, and an SCD checked against it, with what fails and whether the check
// passes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "approvals/approval_check.h"
#include "approvals/baseline.h"
#include "operations/crc_runs.h"
#include "scd/scd.h"
#include "util/parallel.h"
#include "workflows/notes.h"

namespace ccdcrc {

// A list of approved CRCs as read: null `baseline` after an error note that
// says why it cannot be used. A line that stops the reading is always told;
// the lines that are no entry only with `name_malformed`.
struct CheckList {
  std::string path;  // the list's path, or the name that stands for its bytes
  std::optional<Baseline> baseline;
  Notes notes;
};
// From a path ("-": standard input), or from `bytes` named `path`.
CheckList read_check_list(const std::string& path, bool name_malformed);
CheckList read_check_list_bytes(std::string_view bytes, const std::string& name, bool name_malformed);

// How a front end tells its user to name the list's malformed lines one by
// one and to check without them ("--warn names them"); an empty hint adds
// nothing.
struct MalformedLinesHints {
  std::string name_them;
  std::string skip_them;
};
// When the list's malformed lines are not named one by one, what is said of
// them at the list's path: "N lines are improperly formatted, so the check
// fails (HINTS)" as an error, or "... and not checked (HINT)" as a warning
// when they are skipped. Nothing for a list without any.
Notes malformed_lines_notes(const CheckList& list, bool skip_malformed, const MalformedLinesHints& hints);

struct CheckRequest {
  bool ignore_missing = false;  // check only the IEDs the list names
  bool skip_malformed = false;  // lines that are no entry do not fail the check
  unsigned jobs = 0;            // 0: one per core
};

struct CheckOutcome {
  ApprovalCheck check;
  CheckVerdict verdict = CheckVerdict::fails;
  std::vector<std::string> failures;       // what fails in the SCD, one sentence each
  std::vector<std::string> list_failures;  // what fails in the list ("LIST: ...")
  // The failures of the SCD as notes, then the Header that should have
  // moved on; after the listing's notes when the workflow listed the SCD.
  Notes notes;
  bool passed() const { return verdict == CheckVerdict::passes; }
};

// Checks the SCD, whose listing is given, against the list.
CheckOutcome check_listed(const CheckList& list, const Scd& scd, const std::vector<ListedCrc>& listed,
                          const CheckRequest& request);
// The same, listing the SCD first.
CheckOutcome check_scd(const CheckList& list, const Scd& scd, const CheckRequest& request,
                       const ProgressCallback& progress = {});

// For CRCs that changed: a warning when the SCD's Header still gives the
// version and revision `before` (the approved or old one), which a new
// revision of the SCD should have raised. Nothing for SCDs that record neither.
void note_unraised_revision(const ScdRevision& before, const Scd& now, Notes& notes);

}  // namespace ccdcrc
