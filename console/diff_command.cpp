// `ccdcrc diff OLD NEW [--explain [NAME...]]`: the IED CRCs of two SCDs
// compared, and what changed in the CCDs of the IEDs whose CRC changed.

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>

#include "console/change_report.h"
#include "console/command.h"
#include "console/diff_report.h"
#include "console/scd_input.h"
#include "files/staged_file.h"
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
  std::vector<std::string> explain_names;  // empty: every IED whose CRC changed
  bool quiet = false;                      // only the IEDs that changed, no progress
  unsigned jobs = 0;                       // 0: one per core
};

// The IEDs to explain: the named ones, or every one whose CRC changed. Names
// that are in neither SCD are reported and make `trouble` true.
std::vector<const IedCrcChange*> ieds_to_explain(const DiffOptions& options, const std::vector<IedCrcChange>& ieds,
                                                 Diagnostics& diagnostics, bool& trouble) {
  std::vector<const IedCrcChange*> selected;
  if (options.explain_names.empty()) {
    for (const IedCrcChange& ied : ieds) {
      if (ied.status == CrcStatus::changed) selected.push_back(&ied);
    }
    return selected;
  }
  for (const std::string& name : distinct_names(options.explain_names)) {
    auto found = std::lower_bound(ieds.begin(), ieds.end(), name,
                                  [](const IedCrcChange& ied, const std::string& wanted) { return ied.name < wanted; });
    if (found == ieds.end() || found->name != name) {
      diagnostics.note("no IED named " + quoted(name) + " in " + options.old_scd + " or " + options.new_scd);
      trouble = true;
    } else if (found->status != CrcStatus::changed) {
      diagnostics.note("IED " + quoted(name) + " is " + crc_status_name(found->status) +
                       "; only IEDs whose CRC changed are explained");
    } else {
      selected.push_back(&*found);
    }
  }
  return selected;
}

std::map<std::string, CcdComparison> explanations(const std::vector<const IedCrcChange*>& ieds, const Scd& old_scd,
                                                  const Scd& new_scd, unsigned jobs, Diagnostics& diagnostics) {
  std::vector<CcdComparison> comparisons(ieds.size());
  {
    Progress progress(diagnostics, ieds.size());
    parallel_for(
        ieds.size(), jobs,
        [&](std::size_t i) {
          // Both have circuits: their CRCs differ.
          const std::unique_ptr<MeasuredCcd> old_ccd = MeasuredCcd::build(old_scd, ieds[i]->old_ied->listed.ied);
          const std::unique_ptr<MeasuredCcd> new_ccd = MeasuredCcd::build(new_scd, ieds[i]->new_ied->listed.ied);
          if (old_ccd && new_ccd) comparisons[i] = compare_ccds(*old_ccd, *new_ccd);
        },
        [&](std::size_t, std::size_t) { progress.advance(); });
  }
  std::map<std::string, CcdComparison> by_name;
  for (std::size_t i = 0; i < ieds.size(); ++i) by_name.emplace(ieds[i]->name, std::move(comparisons[i]));
  return by_name;
}

// Writes the report to its file, which is replaced whole, or to standard output.
bool write_report_file(const DiffOptions& options, const DiffReport& diff, const Scd& old_scd, const Scd& new_scd,
                       Console& console) {
  const ChangeReport report = build_change_report(diff, old_scd, new_scd);
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

int run_diff(const DiffOptions& options, Console& console) {
  if (options.explain && options.format == Format::csv && !options.report) {
    return usage_error("diff", "--explain is written as text or JSON, not as CSV");
  }
  if (!options.output.empty() && !options.report) {
    return usage_error("diff", "-o writes a report: give --format html or --format markdown");
  }
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  // Both are loaded even when the first fails, so that every problem is told at once.
  const std::unique_ptr<Scd> old_scd = load_scd(options.old_scd, diagnostics);
  const std::unique_ptr<Scd> new_scd = load_scd(options.new_scd, diagnostics);
  if (!old_scd || !new_scd) return exit_usage;
  warn_about_root(*old_scd, diagnostics);
  warn_about_root(*new_scd, diagnostics);

  const std::vector<ListedCrc> old_ieds = list_crcs(*old_scd, options.jobs, diagnostics);
  const std::vector<ListedCrc> new_ieds = list_crcs(*new_scd, options.jobs, diagnostics);
  DiffReport report{old_scd->path(),
                    new_scd->path(),
                    compare_ied_crcs(old_ieds, new_ieds),
                    scd_crc(crc_map(old_ieds)),
                    scd_crc(crc_map(new_ieds)),
                    {},
                    options.quiet};
  bool trouble = false;
  if (options.explain || options.report) {
    // A report explains every IED whose CRC changed.
    DiffOptions every_change = options;
    if (options.report) every_change.explain_names.clear();
    const std::vector<const IedCrcChange*> explained = ieds_to_explain(every_change, report.ieds, diagnostics, trouble);
    report.explanations = explanations(explained, *old_scd, *new_scd, options.jobs, diagnostics);
  }
  if (options.report) {
    if (!write_report_file(options, report, *old_scd, *new_scd, console)) return exit_usage;
  } else {
    write_diff_report(console.out, options.format, report);
  }

  if (trouble) return exit_usage;
  const bool changed = std::any_of(report.ieds.begin(), report.ieds.end(),
                                   [](const IedCrcChange& ied) { return ied.status != CrcStatus::unchanged; });
  return changed ? exit_differences : exit_ok;
}

}  // namespace

void add_diff_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<DiffOptions>();
  CLI::App* command = app.add_subcommand("diff", "Compare the IED CRCs of two SCDs and explain what changed");
  add_file_argument(*command, "OLD", options->old_scd, "the old SCD file");
  add_file_argument(*command, "NEW", options->new_scd, "the new SCD file");
  CLI::Option* explain =
      command
          ->add_option("--explain", options->explain_names,
                       "say what changed in the CCDs of the named IEDs (default: of every IED whose CRC changed)")
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
  command->add_option("-o,--output", options->output, "write the html or markdown report to FILE")->option_text("FILE");
  add_quiet_option(*command, options->quiet, "list only the IEDs that changed; show no progress");
  add_jobs_option(*command, options->jobs);
  command->footer(
      "Status: unchanged, changed, added, removed, gained (a CRC), lost (its CRC).\n"
      "Exit status: 0 nothing changed, 1 something changed, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc diff old.scd new.scd\n"
      "  ccdcrc diff old.scd new.scd --explain\n"
      "  ccdcrc diff old.scd new.scd --explain P1 B2\n"
      "  ccdcrc diff old.scd new.scd --format html -o report.html");
  command->callback([options, explain, &console] {
    DiffOptions given = *options;
    given.explain = explain->count() > 0;
    // Given without names, the option holds one empty text.
    if (given.explain_names == std::vector<std::string>{""}) given.explain_names.clear();
    console.status = run_diff(given, console);
  });
}

}  // namespace ccdcrc
