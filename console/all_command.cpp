// `ccdcrc all SCD`: the CRC of every IED with circuits, then the SCD CRC.

#include <memory>

#include "console/command.h"
#include "console/crc_report.h"
#include "console/scd_input.h"

namespace ccdcrc {

namespace {

struct AllOptions {
  std::string scd;
  Format format = Format::text;
  bool quiet = false;
  unsigned jobs = 0;  // 0: one per core
};

int run_all(const AllOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;
  warn_about_root(*scd, diagnostics);

  const IedCrcMap crcs = crc_map(list_crcs(*scd, options.jobs, diagnostics));
  CrcReport report{scd->path(), {}, scd_crc(crcs)};
  for (const auto& [name, crc] : crcs) report.ieds.push_back({name, crc});
  write_crc_report(console.out, options.format, report);
  return exit_ok;
}

}  // namespace

void add_all_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<AllOptions>();
  CLI::App* command = app.add_subcommand("all", "Print the CRC of every IED with circuits, then the SCD CRC");
  add_scd_argument(*command, options->scd);
  add_format_option(*command, options->format);
  add_quiet_option(*command, options->quiet, "show no progress on a terminal");
  add_jobs_option(*command, options->jobs);
  add_examples(*command,
               "  ccdcrc all station.scd\n"
               "  ccdcrc all station.scd --format csv > station-crcs.csv");
  command->callback([options, &console] { console.status = run_all(*options, console); });
}

}  // namespace ccdcrc
