#include "workflows/diff_workflow.h"

#include <algorithm>
#include <sstream>

#include "operations/differences.h"
#include "operations/export.h"
#include "report/change_report.h"
#include "util/text.h"
#include "workflows/check_workflow.h"
#include "workflows/crc_workflows.h"

namespace ccdcrc {

std::vector<ListedCrc> listed_for_comparison(const Scd& scd, unsigned jobs, const ProgressCallback& progress,
                                             Notes& notes) {
  std::vector<ListedCrc> listed = listed_crcs_noted(scd, jobs, progress, notes);
  scd.lookups().drop_built();
  return listed;
}

KeptOld kept_old(const Scd& old_scd, std::vector<ListedCrc> listed, unsigned jobs) {
  KeptOld kept;
  kept.compared = compared_old(old_scd, listed);
  // IEDs behind a shared name are no part of the listing, but a change in
  // one is a change all the same.
  kept.shadowed = shadowed_crcs(old_scd, listed, jobs);
  kept.listed = std::move(listed);
  return kept;
}

OldReading old_reading(bool explain, const std::vector<std::string>& explained_names, bool stat, bool uncovered) {
  OldReading reading;
  reading.elements = uncovered;
  reading.ccds = explain || stat;
  // --stat compares every IED that differs.
  if (explain && !stat) reading.explained = distinct_names(explained_names);
  return reading;
}

KeptOld detached_old(const Scd& old_scd, std::vector<ListedCrc> listed, unsigned jobs, const OldReading& reading) {
  KeptOld kept = kept_old(old_scd, std::move(listed), jobs);
  // A report explains every IED explained by default and names those changed outside their CRCs.
  if (reading.report) kept.reported = reported_old(old_scd, *reading.report, kept.listed);
  if (reading.ccds || reading.report) {
    kept.ccds = std::make_unique<KeptOldCcds>(old_scd, kept.listed,
                                              reading.report ? std::vector<std::string>{} : reading.explained, jobs);
  }
  if (reading.elements || reading.report) kept.elements = std::make_unique<KeptIedElements>(kept.listed, jobs);
  for (ListedCrc& ied : kept.listed) {
    ied.listed.ied = {};
    ied.unbound_inputs = {};
  }
  return kept;
}

KeptOld listed_old(const Scd& old_scd, unsigned jobs, const OldReading& reading, Notes& notes,
                   const ProgressCallback& progress) {
  return detached_old(old_scd, listed_for_comparison(old_scd, jobs, progress, notes), jobs, reading);
}

DiffOutcome diff_with_kept(KeptOld old_scd, const Scd& new_scd, unsigned jobs, bool drop_built, Notes notes,
                           const ProgressCallback& progress) {
  std::vector<ListedCrc> new_listed = drop_built ? listed_for_comparison(new_scd, jobs, progress, notes)
                                                 : listed_crcs_noted(new_scd, jobs, progress, notes);
  DiffOutcome outcome = diff_listed(std::move(old_scd), new_scd, std::move(new_listed), jobs);
  outcome.notes = std::move(notes);
  return outcome;
}

DiffOutcome diff_listed(KeptOld old_scd, const Scd& new_scd, std::vector<ListedCrc> new_listed, unsigned jobs) {
  DiffOutcome outcome;
  outcome.old_listed = std::move(old_scd.listed);
  outcome.old_ccds = std::move(old_scd.ccds);
  outcome.old_elements = std::move(old_scd.elements);
  outcome.old_reported = std::move(old_scd.reported);
  if (outcome.old_reported) outcome.old_reported->elements = outcome.old_elements.get();
  outcome.new_listed = std::move(new_listed);
  outcome.report = diff_report(old_scd.compared, outcome.old_listed, new_scd, outcome.new_listed);
  outcome.new_shadowed = shadowed_crcs(new_scd, outcome.new_listed, jobs);
  outcome.shadowed_changes = shadowed_changes(old_scd.shadowed, outcome.new_shadowed);
  const std::vector<IedCrcChange>& ieds = outcome.report.ieds;
  outcome.changed =
      !outcome.shadowed_changes.empty() ||
      std::any_of(ieds.begin(), ieds.end(), [](const IedCrcChange& ied) { return ied.status != CrcStatus::unchanged; });
  for (const std::string& change : outcome.shadowed_changes) add_info(outcome.closing_notes, new_scd.path(), change);
  if (outcome.changed) note_unraised_revision(outcome.report.old_revision, new_scd, outcome.closing_notes);
  return outcome;
}

DiffOutcome diff_listed(const Scd& old_scd, std::vector<ListedCrc> old_listed, const Scd& new_scd,
                        std::vector<ListedCrc> new_listed, unsigned jobs) {
  return diff_listed(kept_old(old_scd, std::move(old_listed), jobs), new_scd, std::move(new_listed), jobs);
}

DiffOutcome diff_scds(const Scd& old_scd, const Scd& new_scd, unsigned jobs, bool drop_built,
                      const ProgressCallback& progress) {
  const std::size_t total = old_scd.ieds().size() + new_scd.ieds().size();
  Notes notes;
  const auto listed = [&](const Scd& scd, std::size_t before) {
    ProgressCallback counted;
    if (progress)
      counted = [&progress, before, total](std::size_t done, std::size_t) { progress(before + done, total); };
    return drop_built ? listed_for_comparison(scd, jobs, counted, notes) : listed_crcs_noted(scd, jobs, counted, notes);
  };
  std::vector<ListedCrc> old_listed = listed(old_scd, 0);
  std::vector<ListedCrc> new_listed = listed(new_scd, old_scd.ieds().size());
  DiffOutcome outcome = diff_listed(old_scd, std::move(old_listed), new_scd, std::move(new_listed), jobs);
  outcome.notes = std::move(notes);
  return outcome;
}

ExplainChoice explained_ieds(const DiffReport& report, const std::vector<std::string>& names) {
  ExplainChoice choice;
  ExplainedSelection selection = select_explained(report.ieds, distinct_names(names));
  for (const std::string& name : selection.unknown) {
    add_error(choice.notes, {}, "no IED named " + quoted(name) + " in " + report.old_path + " or " + report.new_path);
    choice.unknown_names = true;
  }
  for (const IedCrcChange* ied : selection.unexplainable) {
    add_info(choice.notes, {},
             "IED " + quoted(ied->name) + " is " + crc_status_name(ied->status) +
                 "; only IEDs whose CRC changed, that were added or that gained a CRC are explained");
  }
  choice.ieds = std::move(selection.ieds);
  return choice;
}

namespace {

std::string binding_text(const BrokenBinding& binding) {
  return "the input " + printable(binding.int_addr) + " of " + printable(binding.ied) + " (" +
         printable(binding.source) + ")";
}

std::string counted(std::size_t count, const char* one, const char* several) {
  return std::to_string(count) + (count == 1 ? one : several);
}

}  // namespace

Notes binding_change_notes(const std::string& new_path, const BindingChanges& changes, bool in_full) {
  Notes notes;
  if (in_full) {
    for (const BrokenBinding& binding : changes.broken) {
      add_warning(notes, new_path, binding_text(binding) + " now resolves to nothing: " + printable(binding.reason));
    }
    for (const BrokenBinding& binding : changes.mended)
      add_info(notes, new_path, binding_text(binding) + " resolves again");
    return notes;
  }
  if (!changes.broken.empty()) {
    add_warning(notes, new_path,
                counted(changes.broken.size(), " input now resolves", " inputs now resolve") +
                    " to nothing (broken bindings); --explain names them");
  }
  if (!changes.mended.empty()) {
    add_info(notes, new_path,
             counted(changes.mended.size(), " input that resolved to nothing resolves",
                     " inputs that resolved to nothing resolve") +
                 " again (mended bindings)");
  }
  return notes;
}

std::vector<std::string> uncovered_lines(const DiffReport& report, const KeptIedElements* old_elements) {
  std::vector<std::string> lines;
  for (const UncoveredChange& change : uncovered_changes(report.ieds, old_elements)) {
    lines.push_back(printable(change.name) + ": changed outside its CRC (" +
                    std::to_string(change.difference.elements) +
                    (change.difference.elements == 1 ? " element" : " elements") + ", first " +
                    printable(change.difference.first) + ")");
  }
  return lines;
}

namespace {

// The new SCD checked against the list as `check` checks it; false after an
// error note.
bool check_approved(const ChangeReportRequest& request, const Scd& new_scd, const DiffOutcome& diff,
                    ReportOptions& asked, Notes& notes) {
  const std::string& path = *request.approved;
  ApprovedCrcs& approved = asked.approved.emplace();
  approved.path = path;
  BaselineProblem problem;
  const auto note = [&](const BaselineNote& line) { approved.notes.push_back(line); };
  std::optional<Baseline> baseline;
  if (request.approved_content) {
    approved.sha256 = request.approved_sha256;
    baseline = read_baseline(*request.approved_content, note, problem);
  } else {
    baseline = read_baseline_file(path, note, problem, &approved.sha256);
  }
  if (!baseline) {
    add_error(notes, problem.where(path), problem.message);
    return false;
  }
  approved.check = check_approvals(*baseline, new_scd, diff.new_listed, diff.new_shadowed, false);
  approved.list = std::move(*baseline);
  return true;
}

}  // namespace

namespace {

ChangeReportOutcome report_of(DiffOutcome& diff, OldCcds& old_ccds, const ReportedOld& old_scd, const Scd& new_scd,
                              const ScdFile& new_file, const ChangeReportRequest& request,
                              const ProgressCallback& progress) {
  ChangeReportOutcome outcome;
  // A report is a document of bounded interest: its explanations are collected.
  const std::vector<const IedCrcChange*> explained = select_explained(diff.report.ieds, {}).ieds;
  if (!explained.empty()) {
    diff.report.explanations = collect_explanations(explained, old_ccds, new_scd, request.jobs, progress);
  }
  ReportOptions asked;
  asked.date = request.date.empty() ? export_timestamp(true) : request.date;
  asked.signoff = request.signoff;
  asked.list_uncovered = request.list_uncovered;
  if (request.approved && !check_approved(request, new_scd, diff, asked, outcome.notes)) return outcome;
  const ChangeReport report = build_change_report(diff.report, old_scd, new_scd, new_file, asked);
  std::ostringstream text;
  if (request.kind == ReportKind::html) {
    write_html_report(text, report);
  } else {
    write_markdown_report(text, report);
  }
  outcome.text = text.str();
  outcome.counts = report.counts;
  return outcome;
}

}  // namespace

ChangeReportOutcome change_report(DiffOutcome& diff, const Scd& old_scd, const ScdFile& old_file, const Scd& new_scd,
                                  const ScdFile& new_file, const ChangeReportRequest& request,
                                  const ProgressCallback& progress) {
  BuiltOldCcds old_ccds(old_scd);
  return report_of(diff, old_ccds, reported_old(old_scd, old_file, diff.old_listed), new_scd, new_file, request,
                   progress);
}

ChangeReportOutcome change_report(DiffOutcome& diff, const Scd& new_scd, const ScdFile& new_file,
                                  const ChangeReportRequest& request, const ProgressCallback& progress) {
  return report_of(diff, *diff.old_ccds, *diff.old_reported, new_scd, new_file, request, progress);
}

}  // namespace ccdcrc
