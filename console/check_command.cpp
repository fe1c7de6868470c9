// `ccdcrc check BASELINE SCD`: the IED CRCs of an SCD against a list of
// approved CRCs, like `sha256sum --check`.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "report/check_report.h"
#include "workflows/check_workflow.h"

namespace ccdcrc {

namespace {

struct CheckOptions {
  std::string baseline;
  std::string scd;
  Format format = Format::text;
  bool quiet = false;           // only the IEDs that do not match, no progress
  bool status_only = false;     // no output: the exit status tells
  bool ignore_missing = false;  // IEDs that the list leaves out are not checked
  bool skip_malformed = false;  // lines that are no entry only warn
  bool strict = false;          // overrides skip_malformed (failing is the default)
  bool warn = false;            // malformed lines are named
  unsigned jobs = 0;            // 0: one per core
  std::string member;
};

int run_check(const CheckOptions& options, Console& console) {
  if (const int status = check_standard_input_once(console.diagnostics, "check", {options.baseline, options.scd});
      status != exit_ok) {
    return status;
  }
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet && !options.status_only);
  // The list is read first: a mistyped path costs no time on a large SCD.
  const CheckList list = read_check_list(options.baseline, options.warn);
  diagnostics.tell(list.notes);
  if (!list.baseline) return exit_usage;
  const bool skip_malformed = options.skip_malformed && !options.strict;
  if (!options.warn && !options.status_only) {
    diagnostics.tell(
        malformed_lines_notes(list, skip_malformed, {"--warn names them", "--skip-malformed checks without them"}));
  }
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics, {options.member, false});
  if (!scd) return exit_usage;

  const std::vector<ListedCrc> listed = list_crcs(*scd, options.jobs, diagnostics);
  const CheckOutcome outcome = check_listed(list, *scd, listed, {options.ignore_missing, skip_malformed, options.jobs});
  if (!options.status_only) {
    write_check_report(console.out, {options.format, options.quiet, options.baseline, options.scd, console.style},
                       outcome.check);
    diagnostics.tell(outcome.notes);
  }
  switch (outcome.verdict) {
    case CheckVerdict::passes: return exit_ok;
    case CheckVerdict::fails: return exit_differences;
    case CheckVerdict::list_fails: return exit_usage;
  }
  return exit_usage;
}

}  // namespace

void add_check_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand("check", "Check the IED CRCs of an SCD against a list of approved CRCs");
  add_file_argument(*command, "BASELINE", options->baseline,
                    "the approved CRCs ('-' for standard input): the output of 'all', or CSV with name and crc");
  add_scd_argument(*command, options->scd);
  add_format_option(*command, options->format);
  add_excel_option(*command, console);
  add_quiet_option(*command, options->quiet, "list only the IEDs that do not match; show no progress");
  command->add_flag("--status", options->status_only, "print nothing: the exit status tells");
  command->add_flag("--ignore-missing", options->ignore_missing,
                    "check only the IEDs of the list (one bay's list passes when they match)");
  command->add_flag("--skip-malformed", options->skip_malformed,
                    "only warn about lines of the list that are no entry (by default they fail the check, status 2)");
  command->add_flag("--strict", options->strict,
                    "fail (exit status 2) when a line of the list is malformed (the default)");
  command->add_flag("-w,--warn", options->warn, "name each malformed line of the list");
  add_jobs_option(*command, options->jobs);
  add_member_option(*command, options->member);
  command->footer(
      "Status: ok, changed, missing (approved, but no CRC now), new (a CRC, but not approved),\n"
      "unreadable (the list names the IED, but its approved CRC cannot be read).\n"
      "Exit status: 0 every IED matches, 1 some do not, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc check approved.csv station.scd\n"
      "  ccdcrc check bay1.csv station.scd --ignore-missing\n"
      "  ccdcrc all old.scd | ccdcrc check - new.scd --quiet\n"
      "The list is written by: ccdcrc all station.scd --format csv > approved.csv");
  command->callback([options, &console] { console.status = run_check(*options, console); });
}

}  // namespace ccdcrc
