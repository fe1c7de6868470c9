// `ccdcrc all SCD...`: the CRC of every IED with circuits, then the SCD CRC,
// for each SCD in turn.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "report/crc_report.h"
#include "report/scd_revision.h"
#include "workflows/crc_workflows.h"

namespace ccdcrc {

namespace {

struct AllOptions {
  std::vector<std::string> scds;
  Format format = Format::text;
  bool quiet = false;
  unsigned jobs = 0;  // 0: one per core
  std::string member;
};

// False when the SCD cannot be loaded, or is read only in part (and then reported).
bool report_scd(const std::string& path, const AllOptions& options, Console& console, CrcReportWriter& writer) {
  Diagnostics& diagnostics = console.diagnostics;
  ScdFile file;
  // The SHA-256 is recorded only where a program reads it back.
  const std::unique_ptr<Scd> scd = load_scd(path, diagnostics, {options.member, options.format != Format::text}, &file);
  if (!scd) return false;
  diagnostics.working_on(scd->path());
  AllOutcome outcome;
  {
    Progress progress(diagnostics, scd->ieds().size());
    outcome = all_crcs(*scd, options.jobs, progress.callback());
  }
  diagnostics.tell(outcome.notes);
  CrcReport report{scd->path(), {}, outcome.scd_crc, scd_header(*scd), file.sha256};
  for (const auto& [name, crc] : outcome.crcs) report.ieds.push_back({name, crc, {}});
  writer.write(report);
  return read_in_part_status(*scd, diagnostics) == exit_ok;
}

int run_all(const AllOptions& options, Console& console) {
  if (const int status = check_standard_input_once(console.diagnostics, "all", options.scds); status != exit_ok)
    return status;
  console.diagnostics.allow_progress(!options.quiet);
  CrcReportWriter writer(console.out, options.format, CrcCommand::all, options.scds.size() > 1);
  int status = exit_ok;
  // One SCD at a time: each is released before the next is loaded.
  for (const std::string& path : options.scds) {
    if (!report_scd(path, options, console, writer)) status = exit_usage;
    console.out.flush();
  }
  return status;
}

}  // namespace

void add_all_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<AllOptions>();
  CLI::App* command = app.add_subcommand("all", "Print the CRC of every IED with circuits, then the SCD CRC");
  command->add_option("SCD", options->scds, "SCD files ('-' for standard input; gzip and zip are read)")
      ->required()
      ->option_text(" ");
  add_format_option(*command, options->format);
  add_excel_option(*command, console);
  add_quiet_option(*command, options->quiet, "show no progress on a terminal");
  add_jobs_option(*command, options->jobs);
  add_member_option(*command, options->member);
  add_examples(*command,
               "  ccdcrc all station.scd\n"
               "  ccdcrc all station.scd --format csv > station-crcs.csv\n"
               "  ccdcrc all bay1.scd bay2.scd.gz delivery.zip\n"
               "  git show HEAD~1:station.scd | ccdcrc all -");
  command->callback([options, &console] { console.status = run_all(*options, console); });
}

}  // namespace ccdcrc
