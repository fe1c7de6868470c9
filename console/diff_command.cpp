// `ccdcrc diff OLD NEW [--explain [NAME...]]`: the IED CRCs of two SCDs
// compared, and what changed in the CCDs of the IEDs whose CRC changed.

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "console/command.h"
#include "console/scd_input.h"
#include "files/staged_file.h"
#include "operations/scd_input.h"
#include "report/diff_report.h"
#include "workflows/diff_workflow.h"

namespace ccdcrc {

namespace {

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

// NEW, which the output still reads (OLD is released once listed), and what
// was learnt of both files.
struct LoadedPair {
  std::unique_ptr<Scd> new_scd;
  ScdFile old_file;
  ScdFile new_file;
};

// The IEDs to explain (workflows/diff_workflow.h), telling the names that
// cannot be; an unknown name makes `trouble` true.
std::vector<const IedCrcChange*> ieds_to_explain(const std::vector<std::string>& names, const DiffReport& report,
                                                 Diagnostics& diagnostics, bool& trouble) {
  ExplainChoice choice = explained_ieds(report, names);
  diagnostics.tell(choice.notes);
  if (choice.unknown_names) trouble = true;
  return std::move(choice.ieds);
}

// Writes the change report to its file, which is replaced whole, or to
// standard output.
bool write_report_file(const DiffOptions& options, DiffOutcome& diff, const LoadedPair& scds, Console& console) {
  ChangeReportRequest request;
  request.kind = *options.report;
  request.signoff = !options.no_signoff;
  request.list_uncovered = options.uncovered;
  if (!options.approved.empty()) request.approved = options.approved;
  request.jobs = options.jobs;
  ChangeReportOutcome outcome;
  {
    std::optional<Progress> progress;
    outcome = change_report(diff, *scds.new_scd, scds.new_file, request, [&](std::size_t done, std::size_t total) {
      if (!progress) progress.emplace(console.diagnostics, total);
      progress->update(done, total);
    });
  }
  console.diagnostics.tell(outcome.notes);
  if (!outcome.text) return false;
  if (options.output.empty()) {
    console.out << *outcome.text;
    return true;
  }
  if (const int error = replace_file(options.output, *outcome.text); error != 0) {
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

// The IEDs whose CCDs are compared: those explained, or for --stat every
// one that differs.
std::vector<const IedCrcChange*> compared_ieds(const DiffOptions& options, const DiffReport& report,
                                               Diagnostics& diagnostics, bool& trouble) {
  if (options.explain) return ieds_to_explain(options.explain_names, report, diagnostics, trouble);
  std::vector<const IedCrcChange*> compared;
  if (!options.stat) return compared;
  for (const IedCrcChange& ied : report.ieds) {
    if (ied.status != CrcStatus::unchanged) compared.push_back(&ied);
  }
  return compared;
}

// The text or JSON output with its explanations (or --stat's counts), told as they are written.
void write_explained(const DiffOptions& options, const DiffReport& report, std::vector<const IedCrcChange*> compared,
                     OldCcds& old_ccds, const Scd& new_scd, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  std::optional<Progress> progress;
  ExplainedIeds explained{std::move(compared), options.jobs,
                          [&](std::size_t done, std::size_t total) {
                            if (!progress) progress.emplace(diagnostics, total);
                            progress->update(done, total);
                          },
                          // The output follows on standard output, which may be the same terminal.
                          [&] { diagnostics.clear_status(); }};
  write_diff_report(console.out, options.format, report, std::move(explained), old_ccds, new_scd);
}

// The text, JSON or CSV output, its explanations told as they are written.
void write_diff_output(const DiffOptions& options, DiffOutcome& diff, std::vector<const IedCrcChange*> compared,
                       const LoadedPair& scds, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  DiffReport& report = diff.report;
  diagnostics.tell(binding_change_notes(options.new_scd, *report.bindings, options.explain));
  // JSON carries them; text only tells them on the error stream.
  if (options.format != Format::json) report.bindings.reset();
  // OLD's document is gone: its CCDs were kept if they are read.
  OldCcds* old_ccds = diff.old_ccds.get();
  if (!old_ccds) {
    write_diff_report(console.out, options.format, report, nullptr);
  } else {
    write_explained(options, report, std::move(compared), *old_ccds, *scds.new_scd, console);
  }
  if (options.uncovered) {
    for (const std::string& line : uncovered_lines(report, diff.old_elements.get())) console.out << line << '\n';
  }
}

// The SCDs listed and compared, and whether either was read only in part.
struct Compared {
  std::optional<DiffOutcome> diff;
  int read_in_part = exit_ok;
};

// What the output reads of OLD after its listing.
OldReading what_is_read(const DiffOptions& options, const ScdFile& old_file) {
  OldReading reading = old_reading(options.explain, options.explain_names, options.stat, options.uncovered);
  if (options.report) reading.report = &old_file;
  return reading;
}

// OLD listed and released before NEW is loaded, so that one document is held
// at a time; what OLD tells is held back to its place after NEW's loading.
Compared compare_in_turn(const DiffOptions& options, LoadedPair& scds, Diagnostics& diagnostics) {
  Compared compared;
  // A report gives the size and SHA-256 of each file as given.
  const ScdReading reading{options.member, options.report.has_value()};
  std::unique_ptr<Scd> old_scd = load_scd(options.old_scd, diagnostics, reading, &scds.old_file);
  std::optional<LoadProblem> old_partial;
  std::optional<KeptOld> kept;
  Notes old_notes;
  if (old_scd) {
    old_partial = read_in_part(*old_scd, old_scd->path());
    diagnostics.working_on(old_scd->path());
    {
      Progress progress(diagnostics, old_scd->ieds().size());
      kept = listed_old(*old_scd, options.jobs, what_is_read(options, scds.old_file), old_notes, progress.callback());
    }
    old_scd.reset();
  }
  scds.new_scd = load_scd(options.new_scd, diagnostics, reading, &scds.new_file);
  const Scd* new_scd = scds.new_scd.get();
  if (!kept || !new_scd) return compared;
  if (old_partial) diagnostics.error(kept->compared.path, old_partial->message);
  compared.read_in_part = std::max<int>(old_partial ? exit_usage : exit_ok, read_in_part_status(*new_scd, diagnostics));
  diagnostics.tell(old_notes);
  diagnostics.working_on(new_scd->path());
  {
    Progress progress(diagnostics, new_scd->ieds().size());
    compared.diff = diff_with_kept(std::move(*kept), *new_scd, options.jobs, true, {}, progress.callback());
  }
  diagnostics.tell(compared.diff->notes);
  return compared;
}

int run_diff(const DiffOptions& options, Console& console) {
  if (const int status = check_layout(options, console.diagnostics); status != exit_ok) return status;
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  LoadedPair scds;
  Compared compared = compare_in_turn(options, scds, diagnostics);
  if (!compared.diff) return exit_usage;
  const int read_in_part = compared.read_in_part;
  DiffOutcome& diff = *compared.diff;
  DiffReport& report = diff.report;
  report.changes_only = !options.every_ied;
  report.style = console.style;
  report.layout = options.name_only ? DiffLayout::name_only : options.stat ? DiffLayout::stat : DiffLayout::table;
  // --quiet prints nothing, but a report file asked for is still written.
  if (options.quiet && options.output.empty())
    return read_in_part != exit_ok ? read_in_part : diff.changed ? exit_differences : exit_ok;

  bool trouble = false;
  if (options.report) {
    if (!write_report_file(options, diff, scds, console)) return exit_usage;
  } else {
    write_diff_output(options, diff, compared_ieds(options, report, diagnostics, trouble), scds, console);
  }
  diagnostics.tell(diff.closing_notes);

  if (trouble || read_in_part != exit_ok) return exit_usage;
  return diff.changed ? exit_differences : exit_ok;
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
