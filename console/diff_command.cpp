// `ccdcrc diff OLD NEW [--explain [NAME...]]`: the IED CRCs of two SCDs
// compared, and what changed in the CCDs of the IEDs whose CRC changed.

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "approvals/approval_check.h"
#include "approvals/baseline.h"
#include "console/command.h"
#include "console/scd_input.h"
#include "files/staged_file.h"
#include "operations/bindings.h"
#include "operations/differences.h"
#include "operations/export.h"
#include "report/change_report.h"
#include "report/diff_report.h"
#include "util/parallel.h"

namespace ccdcrc {

namespace {

enum class ReportKind { html, markdown };

struct DiffOptions {
  std::string old_scd;
  std::string new_scd;
  Format format = Format::text;
  std::optional<ReportKind> report;  // a change report instead of `format`
  std::string output;                // where the report goes; empty: standard output
  bool explain = false;
  std::vector<std::string> explain_names;  // empty: every IED whose CRC changed, was added or gained one
  bool quiet = false;                      // no output and no progress: the exit status tells
  bool every_ied = false;                  // --all: unchanged IEDs too
  bool name_only = false;
  bool stat = false;
  unsigned jobs = 0;  // 0: one per core
  std::string member;
  bool uncovered = false;   // name the IEDs changed outside their CRCs
  std::string approved;     // a list of approved CRCs for the report; empty: none
  bool no_signoff = false;  // leave the report's sign-off block out
};

// The IEDs to explain: the named ones, or every one whose CRC changed, was
// added or gained one. Names that are in neither SCD are reported and make
// `trouble` true.
std::vector<const IedCrcChange*> ieds_to_explain(const DiffOptions& options, const std::vector<IedCrcChange>& ieds,
                                                 Diagnostics& diagnostics, bool& trouble) {
  ExplainedSelection selection = select_explained(ieds, distinct_names(options.explain_names));
  for (const std::string& name : selection.unknown) {
    diagnostics.note("no IED named " + quoted(name) + " in " + options.old_scd + " or " + options.new_scd);
    trouble = true;
  }
  for (const IedCrcChange* ied : selection.unexplainable) {
    diagnostics.note("IED " + quoted(ied->name) + " is " + crc_status_name(ied->status) +
                     "; only IEDs whose CRC changed, that were added or that gained a CRC are explained");
  }
  return std::move(selection.ieds);
}

// The explanations of a change report, collected.
std::map<std::string, CcdComparison> explanations(const std::vector<const IedCrcChange*>& ieds, const Scd& old_scd,
                                                  const Scd& new_scd, unsigned jobs, Diagnostics& diagnostics) {
  Progress progress(diagnostics, ieds.size());
  return collect_explanations(ieds, old_scd, new_scd, jobs, [&](std::size_t, std::size_t) { progress.advance(); });
}

// Writes the report to its file, which is replaced whole, or to standard output.
bool write_report_file(const DiffOptions& options, const DiffReport& diff, const Scd& old_scd, const ScdFile& old_file,
                       const Scd& new_scd, const ScdFile& new_file, const std::vector<ListedCrc>& new_listed,
                       const std::vector<ShadowedCrc>& new_shadowed, Console& console) {
  ReportOptions asked;
  asked.date = export_timestamp(true);
  asked.signoff = !options.no_signoff;
  asked.list_uncovered = options.uncovered;
  if (!options.approved.empty()) {
    // The new SCD checked against the list as `check` checks it.
    ApprovedCrcs& approved = asked.approved.emplace();
    approved.path = options.approved;
    BaselineProblem problem;
    std::optional<Baseline> baseline = read_baseline_file(
        options.approved, [&](const BaselineNote& note) { approved.notes.push_back(note); }, problem, &approved.sha256);
    if (!baseline) {
      console.diagnostics.error(problem.where(options.approved), problem.message);
      return false;
    }
    approved.check = check_approvals(*baseline, new_scd, new_listed, new_shadowed, false);
    approved.list = std::move(*baseline);
  }
  const ChangeReport report = build_change_report(diff, old_scd, old_file, new_scd, new_file, asked);
  std::ostringstream text;
  if (*options.report == ReportKind::html) {
    write_html_report(text, report);
  } else {
    write_markdown_report(text, report);
  }
  if (options.output.empty()) {
    console.out << text.str();
    return true;
  }
  if (const int error = replace_file(options.output, text.str()); error != 0) {
    console.diagnostics.error(options.output, std::string("cannot write the report: ") + std::strerror(error));
    return false;
  }
  return true;
}

int check_layout(const DiffOptions& options, Diagnostics& diagnostics) {
  if (options.explain + options.name_only + options.stat > 1) {
    return usage_error(diagnostics, "diff", "--explain, --name-only and --stat are one of each other's alternatives");
  }
  if (options.report && (options.name_only || options.stat)) {
    return usage_error(diagnostics, "diff",
                       "a change report has a layout of its own: leave out --name-only and --stat");
  }
  if (options.uncovered && options.format != Format::text && !options.report) {
    return usage_error(diagnostics, "diff", "--uncovered is written as text or in a change report");
  }
  if (options.explain && options.format == Format::csv && !options.report) {
    return usage_error(diagnostics, "diff", "--explain is written as text or JSON, not as CSV");
  }
  if ((options.name_only || options.stat) && options.format != Format::text) {
    return usage_error(diagnostics, "diff",
                       std::string(options.stat ? "--stat" : "--name-only") + " is written as text only");
  }
  if (!options.output.empty() && !options.report) {
    return usage_error(diagnostics, "diff", "-o writes a report: give --format html or --format markdown");
  }
  if ((!options.approved.empty() || options.no_signoff) && !options.report) {
    return usage_error(diagnostics, "diff",
                       std::string(options.no_signoff ? "--no-signoff" : "--approved") +
                           " belongs to a change report: give --format html or --format markdown");
  }
  return check_standard_input_once(diagnostics, "diff", {options.old_scd, options.new_scd});
}

// The IEDs whose CCDs are compared: those explained (a report explains every
// IED that differs), or for --stat every one that differs.
std::vector<const IedCrcChange*> compared_ieds(const DiffOptions& options, const DiffReport& report,
                                               Diagnostics& diagnostics, bool& trouble) {
  if (options.report) {
    DiffOptions every_change = options;
    every_change.explain_names.clear();
    return ieds_to_explain(every_change, report.ieds, diagnostics, trouble);
  }
  if (options.explain) return ieds_to_explain(options, report.ieds, diagnostics, trouble);
  std::vector<const IedCrcChange*> compared;
  if (!options.stat) return compared;
  for (const IedCrcChange& ied : report.ieds) {
    if (ied.status != CrcStatus::unchanged) compared.push_back(&ied);
  }
  return compared;
}

// The CRCs of an SCD's IEDs. Both documents stay for the explanations; what
// the listing built on the way is given back, so that the two are held with
// little more.
std::vector<ListedCrc> listed_and_dropped(const Scd& scd, unsigned jobs, Diagnostics& diagnostics) {
  std::vector<ListedCrc> listed = list_crcs(scd, jobs, diagnostics);
  scd.lookups().drop_built();
  return listed;
}

// Tells the inputs that NEW breaks and those it mends: each in full with
// --explain, else how many.
void note_bindings(const DiffOptions& options, const BindingChanges& changes, Diagnostics& diagnostics) {
  if (options.explain) {
    for (const BrokenBinding& binding : changes.broken) {
      diagnostics.warning(options.new_scd, "the input " + printable(binding.int_addr) + " of " +
                                               printable(binding.ied) + " (" + printable(binding.source) +
                                               ") now resolves to nothing: " + printable(binding.reason));
    }
    for (const BrokenBinding& binding : changes.mended) {
      diagnostics.note(options.new_scd + ": the input " + printable(binding.int_addr) + " of " +
                       printable(binding.ied) + " (" + printable(binding.source) + ") resolves again");
    }
    return;
  }
  const auto counted = [](std::size_t count, const char* one, const char* several) {
    return std::to_string(count) + (count == 1 ? one : several);
  };
  if (!changes.broken.empty()) {
    diagnostics.warning(options.new_scd, counted(changes.broken.size(), " input now resolves", " inputs now resolve") +
                                             " to nothing (broken bindings); --explain names them");
  }
  if (!changes.mended.empty()) {
    diagnostics.note(options.new_scd + ": " +
                     counted(changes.mended.size(), " input that resolved to nothing resolves",
                             " inputs that resolved to nothing resolve") +
                     " again (mended bindings)");
  }
}

// One line per IED whose element changed while its CRC did not.
void write_uncovered(std::ostream& out, const DiffReport& report) {
  for (const UncoveredChange& change : uncovered_changes(report.ieds)) {
    out << printable(change.name) << ": changed outside its CRC (" << change.difference.elements
        << (change.difference.elements == 1 ? " element" : " elements") << ", first "
        << printable(change.difference.first) << ")\n";
  }
}

// The text, JSON or CSV output, its explanations told as they are written.
void write_diff_output(const DiffOptions& options, DiffReport& report, std::vector<const IedCrcChange*> compared,
                       const Scd& old_scd, const Scd& new_scd, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  note_bindings(options, *report.bindings, diagnostics);
  // JSON carries them; text only tells them on the error stream.
  if (options.format != Format::json) report.bindings.reset();
  std::optional<Progress> progress;
  ExplainedIeds explained{std::move(compared), options.jobs,
                          [&](std::size_t done, std::size_t total) {
                            if (!progress) progress.emplace(diagnostics, total);
                            progress->update(done, total);
                          },
                          // The output follows on standard output, which may be the same terminal.
                          [&] { diagnostics.clear_status(); }};
  write_diff_report(console.out, options.format, report, std::move(explained), old_scd, new_scd);
  if (options.uncovered) write_uncovered(console.out, report);
}

int run_diff(const DiffOptions& options, Console& console) {
  if (const int status = check_layout(options, console.diagnostics); status != exit_ok) return status;
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  // Both are loaded even when the first fails, so that every problem is told at once.
  // A report gives the size and SHA-256 of each file as given.
  const ScdReading reading{options.member, options.report.has_value()};
  ScdFile old_file;
  ScdFile new_file;
  const std::unique_ptr<Scd> old_scd = load_scd(options.old_scd, diagnostics, reading, &old_file);
  const std::unique_ptr<Scd> new_scd = load_scd(options.new_scd, diagnostics, reading, &new_file);
  if (!old_scd || !new_scd) return exit_usage;
  // An SCD read in part answers for no approval: nothing that diff says of it may pass.
  const int read_in_part =
      std::max(read_in_part_status(*old_scd, diagnostics), read_in_part_status(*new_scd, diagnostics));

  const std::vector<ListedCrc> old_ieds = listed_and_dropped(*old_scd, options.jobs, diagnostics);
  const std::vector<ListedCrc> new_ieds = listed_and_dropped(*new_scd, options.jobs, diagnostics);
  DiffReport report = diff_report(*old_scd, old_ieds, *new_scd, new_ieds);
  report.changes_only = !options.every_ied;
  report.style = console.style;
  report.layout = options.name_only ? DiffLayout::name_only : options.stat ? DiffLayout::stat : DiffLayout::table;
  // IEDs behind a shared name are no part of the listing, but a change in
  // one is a change all the same.
  const std::vector<ShadowedCrc> new_shadowed = shadowed_crcs(*new_scd, new_ieds, options.jobs);
  const std::vector<std::string> hidden_changes =
      shadowed_changes(shadowed_crcs(*old_scd, old_ieds, options.jobs), new_shadowed);
  const bool changed = !hidden_changes.empty() ||
                       std::any_of(report.ieds.begin(), report.ieds.end(),
                                   [](const IedCrcChange& ied) { return ied.status != CrcStatus::unchanged; });
  // --quiet prints nothing, but a report file asked for is still written.
  if (options.quiet && options.output.empty())
    return read_in_part != exit_ok ? read_in_part : changed ? exit_differences : exit_ok;

  bool trouble = false;
  std::vector<const IedCrcChange*> compared = compared_ieds(options, report, diagnostics, trouble);
  if (options.report) {
    // A report is a document of bounded interest: its explanations are collected.
    if (!compared.empty()) report.explanations = explanations(compared, *old_scd, *new_scd, options.jobs, diagnostics);
    if (!write_report_file(options, report, *old_scd, old_file, *new_scd, new_file, new_ieds, new_shadowed, console))
      return exit_usage;
  } else {
    write_diff_output(options, report, std::move(compared), *old_scd, *new_scd, console);
  }
  for (const std::string& change : hidden_changes) diagnostics.note(options.new_scd + ": " + change);
  if (changed) warn_about_revision(report.old_revision, *new_scd, diagnostics);

  if (trouble || read_in_part != exit_ok) return exit_usage;
  return changed ? exit_differences : exit_ok;
}

}  // namespace

void add_diff_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<DiffOptions>();
  CLI::App* command = app.add_subcommand("diff", "Compare the IED CRCs of two SCDs and explain what changed");
  add_file_argument(*command, "OLD", options->old_scd, "the old SCD file ('-' for standard input)");
  add_file_argument(*command, "NEW", options->new_scd, "the new SCD file");
  CLI::Option* explain =
      command
          ->add_option("--explain", options->explain_names,
                       "say what changed in the CCDs of the named IEDs (default: of every IED whose CRC changed, "
                       "and the circuits of those added or that gained a CRC)")
          ->expected(0, -1)
          ->option_text("[NAME...]");
  command
      ->add_option_function<std::string>(
          "-f,--format",
          [options](const std::string& name) {
            options->report.reset();
            if (name == "html") options->report = ReportKind::html;
            if (name == "markdown") options->report = ReportKind::markdown;
            options->format = name == "json" ? Format::json : name == "csv" ? Format::csv : Format::text;
          },
          "output format: text (default), json, csv, or a change report: html or markdown")
      ->check(CLI::IsMember({"text", "json", "csv", "html", "markdown"}))
      ->option_text("FORMAT");
  add_excel_option(*command, console);
  command->add_option("-o,--output", options->output, "write the html or markdown report to FILE")->option_text("FILE");
  command->add_flag("-a,--all", options->every_ied, "list the unchanged IEDs too");
  command->add_flag("--name-only", options->name_only, "print only the names of the IEDs that differ");
  command->add_flag("--stat", options->stat, "print how many control blocks of each IED differ");
  command->add_flag("--uncovered", options->uncovered,
                    "name each IED whose elements changed while its CRC did not (a report counts them alone)");
  command
      ->add_option("--approved", options->approved,
                   "a list of approved CRCs: the report checks NEW against it as check does")
      ->option_text("LIST");
  command->add_flag("--no-signoff", options->no_signoff, "leave the sign-off block out of the report");
  add_quiet_option(*command, options->quiet, "print nothing: the exit status tells whether anything changed");
  add_jobs_option(*command, options->jobs);
  add_member_option(*command, options->member);
  command->footer(
      "Status: unchanged, changed, added, removed, gained (a CRC), lost (its CRC).\n"
      "Exit status: 0 nothing changed, 1 something changed, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc diff old.scd new.scd\n"
      "  ccdcrc diff old.scd new.scd --explain\n"
      "  ccdcrc diff old.scd new.scd --explain P1 B2\n"
      "  git show HEAD~1:station.scd | ccdcrc diff - station.scd --stat\n"
      "  ccdcrc diff old.scd new.scd --format html -o report.html\n"
      "  ccdcrc diff old.scd new.scd --format html --approved approved.csv -o report.html");
  command->callback([options, explain, &console] {
    DiffOptions given = *options;
    given.explain = explain->count() > 0;
    // Given without names, the option holds one empty text.
    if (given.explain_names == std::vector<std::string>{""}) given.explain_names.clear();
    console.status = run_diff(given, console);
  });
}

}  // namespace ccdcrc
