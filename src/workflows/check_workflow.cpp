#include "workflows/check_workflow.h"

#include "report/check_report.h"
#include "report/scd_revision.h"
#include "util/text.h"
#include "workflows/crc_workflows.h"

namespace ccdcrc {

namespace {

template <typename Read>
CheckList read_list(const std::string& path, bool name_malformed, Read read) {
  CheckList list{path, std::nullopt, {}};
  const BaselineNotes notes = [&](const BaselineNote& note) {
    const std::string where = path + ":" + std::to_string(note.line);
    if (note.stops) {
      add_error(list.notes, where, note.reason);
    } else if (name_malformed) {
      add_error(list.notes, where, printable(note.reason));
    }
  };
  BaselineProblem problem;
  list.baseline = read(notes, problem);
  if (!list.baseline) add_error(list.notes, problem.where(path), problem.message);
  return list;
}

// " (A; B)", " (A)" or nothing.
std::string in_brackets(const std::vector<std::string>& hints) {
  std::string joined;
  for (const std::string& hint : hints) {
    if (hint.empty()) continue;
    joined += (joined.empty() ? " (" : "; ") + hint;
  }
  return joined.empty() ? joined : joined + ")";
}

}  // namespace

Notes malformed_lines_notes(const CheckList& list, bool skip_malformed, const MalformedLinesHints& hints) {
  Notes notes;
  if (!list.baseline || list.baseline->malformed_lines == 0) return notes;
  const std::size_t count = list.baseline->malformed_lines;
  if (malformed_lines_fail(*list.baseline, skip_malformed)) {
    add_error(notes, list.path, malformed_lines_text(count, true) + in_brackets({hints.name_them, hints.skip_them}));
  } else {
    add_warning(notes, list.path, malformed_lines_text(count, false) + in_brackets({hints.name_them}));
  }
  return notes;
}

CheckList read_check_list(const std::string& path, bool name_malformed) {
  return read_list(path, name_malformed, [&](const BaselineNotes& notes, BaselineProblem& problem) {
    return read_baseline_file(path, notes, problem);
  });
}

CheckList read_check_list_bytes(std::string_view bytes, const std::string& name, bool name_malformed) {
  return read_list(name, name_malformed, [&](const BaselineNotes& notes, BaselineProblem& problem) {
    return read_baseline(bytes, notes, problem);
  });
}

CheckOutcome check_listed(const CheckList& list, const Scd& scd, const std::vector<ListedCrc>& listed,
                          const CheckRequest& request) {
  CheckOutcome outcome;
  const Baseline& baseline = *list.baseline;
  outcome.check =
      check_approvals(baseline, scd, listed, shadowed_crcs(scd, listed, request.jobs), request.ignore_missing);
  outcome.verdict = check_verdict(baseline, outcome.check, request.skip_malformed);
  outcome.failures = check_failures(outcome.check, scd.path());
  outcome.list_failures = list_failures(baseline, list.path, request.skip_malformed);
  for (const std::string& failure : outcome.failures) add_error(outcome.notes, {}, failure);
  if (outcome.check.changed() && outcome.check.approved_revision) {
    note_unraised_revision(*outcome.check.approved_revision, scd, outcome.notes);
  }
  return outcome;
}

CheckOutcome check_scd(const CheckList& list, const Scd& scd, const CheckRequest& request,
                       const ProgressCallback& progress) {
  Notes notes;
  const std::vector<ListedCrc> listed = listed_crcs_noted(scd, request.jobs, progress, notes);
  CheckOutcome outcome = check_listed(list, scd, listed, request);
  notes.insert(notes.end(), outcome.notes.begin(), outcome.notes.end());
  outcome.notes = std::move(notes);
  return outcome;
}

void note_unraised_revision(const ScdRevision& before, const Scd& now, Notes& notes) {
  // An SCD that records no revision at all has none to raise.
  if (scd_revision(now) != before || (!before.version && !before.revision)) return;
  add_warning(notes, now.path(),
              "CRCs changed, but the Header's version and revision did not (" + revision_text(before) + ")");
}

}  // namespace ccdcrc
