// `ccdcrc bindings SCD`: every input of the SCD that resolves to nothing, with
// the reason.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "report/binding_report.h"
#include "workflows/crc_workflows.h"

namespace ccdcrc {

namespace {

struct BindingsOptions {
  std::string scd;
  Format format = Format::text;
  bool quiet = false;
  unsigned jobs = 0;  // 0: one per core
  std::string member;
};

int run_bindings(const BindingsOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics, {options.member, false});
  if (!scd) return exit_usage;
  diagnostics.working_on(scd->path());
  BindingsOutcome outcome;
  {
    Progress progress(diagnostics, scd->ieds().size());
    outcome = scd_broken_bindings(*scd, options.jobs, progress.callback());
  }
  diagnostics.tell(outcome.notes);
  write_broken_bindings(console.out, options.format, scd->path(), outcome.broken);
  if (outcome.broken.empty() && options.format == Format::text) diagnostics.note("no input resolves to nothing");
  return read_in_part_status(*scd, diagnostics);
}

}  // namespace

void add_bindings_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<BindingsOptions>();
  CLI::App* command = app.add_subcommand("bindings", "List the inputs of an SCD that resolve to nothing, and why");
  command->add_option("SCD", options->scd, "the SCD file ('-' for standard input; gzip and zip are read)")
      ->required()
      ->option_text(" ");
  add_format_option(*command, options->format);
  add_excel_option(*command, console);
  add_quiet_option(*command, options->quiet, "show no progress on a terminal");
  add_jobs_option(*command, options->jobs);
  add_member_option(*command, options->member);
  add_examples(*command,
               "  ccdcrc bindings station.scd\n"
               "  ccdcrc bindings station.scd --format csv > broken-bindings.csv");
  command->callback([options, &console] { console.status = run_bindings(*options, console); });
}

}  // namespace ccdcrc
