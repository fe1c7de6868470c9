// `ccdcrc export SCD (NAME... | --all) -o DIR`: CCD files of a loaded SCD.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "operations/export.h"
#include "operations/messages.h"
#include "system/files.h"
#include "workflows/export_workflow.h"

namespace ccdcrc {

namespace {

struct ExportOptions {
  std::string scd;
  std::vector<std::string> names;  // empty with `every_ied`
  bool every_ied = false;
  std::string directory;
  bool quiet = false;
  unsigned jobs = 0;  // 0: one per core
  std::string member;
};

void write_listing(std::ostream& out, const ExportOutcome& outcome) {
  std::vector<std::string> names;
  for (const WrittenCcd& written : outcome.written) names.push_back(written.name);
  const NameColumn column(names);
  for (const WrittenCcd& written : outcome.written) {
    column.write(out, written.name);
    out << written.result.crc << "  " << printable_path(written.result.path) << '\n';
  }
}

int run_export(const ExportOptions& options, Console& console) {
  if (options.every_ied == !options.names.empty()) {
    return usage_error(console.diagnostics, "export", "name the IEDs to export or give --all (one of the two)");
  }
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  const std::string path = without_trailing_slashes(options.directory);
  // Checked before the SCD is loaded, so that a mistyped directory costs no
  // time on a large SCD; made when missing, as `mkdir -p` would.
  Notes notes;
  const bool usable = prepare_export_directory(path, true, notes);
  diagnostics.tell(notes);
  if (!usable) return exit_usage;
  // Opened before the SCD is loaded: every file goes into this directory, even
  // if its path is renamed or replaced while the run goes on.
  const Directory directory(path);
  if (directory.error() != 0) {
    diagnostics.error(path, export_directory_problem(directory.error()));
    return exit_usage;
  }
  remove_stale_temporary_files(directory);
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics, {options.member, false});
  if (!scd) return exit_usage;

  ExportOutcome outcome;
  {
    std::optional<Progress> progress;
    if (options.every_ied) progress.emplace(diagnostics, scd->ieds().size());
    outcome = export_ieds(*scd, directory, {options.names, options.every_ied, options.jobs},
                          progress ? progress->callback() : ProgressCallback());
  }
  // The summary, the last note, follows the listing.
  const bool summary = !outcome.failed.empty();
  diagnostics.tell(Notes(outcome.notes.begin(), outcome.notes.end() - (summary ? 1 : 0)));
  write_listing(console.out, outcome);
  if (!summary) return exit_ok;
  diagnostics.tell({outcome.notes.back()});
  return outcome.out_of_memory ? exit_usage : exit_ied_problem;
}

}  // namespace

void add_export_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Write DIR/NAME.ccd for the named IEDs or for every IED with a CRC");
  add_scd_argument(*command, options->scd);
  command->add_option("NAME", options->names, "IED names (or --all)")->option_text(" ");
  command->add_flag("--all", options->every_ied, "export every IED that has a CRC");
  command->add_option("-o,--output", options->directory, "the export directory (made when missing)")
      ->required()
      ->option_text("DIR");
  add_quiet_option(*command, options->quiet, "show no progress on a terminal");
  add_jobs_option(*command, options->jobs);
  add_member_option(*command, options->member);
  add_examples(*command,
               "  ccdcrc export station.scd P1 P2 -o ccd\n"
               "  ccdcrc export station.scd --all -o ccd");
  command->callback([options, &console] { console.status = run_export(*options, console); });
}

}  // namespace ccdcrc
