// `ccdcrc ccd SCD NAME [--measured]`: an IED's CCD on standard output.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "crc/canonical.h"
#include "workflows/crc_workflows.h"

namespace ccdcrc {

namespace {

struct CcdOptions {
  std::string scd;
  std::string name;
  bool measured = false;
  std::string member;
};

int run_ccd(const CcdOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics, {options.member, false});
  if (!scd) return exit_usage;
  const CcdOutcome outcome = named_ccd(*scd, options.name, options.measured ? CcdForm::measured : CcdForm::exported);
  diagnostics.tell(outcome.notes);
  if (!outcome.shown) return exit_ied_problem;
  pugi::xml_writer_stream writer(console.out);
  save_ccd(outcome.shown->document(), writer);
  return exit_ok;
}

}  // namespace

void add_ccd_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<CcdOptions>();
  CLI::App* command = app.add_subcommand("ccd", "Print an IED's CCD, as exported or as measured for its CRC");
  add_scd_argument(*command, options->scd);
  command->add_option("NAME", options->name, "the IED name")->required()->option_text(" ");
  command->add_flag("--measured", options->measured, "print the finished CCD that the CRC is computed over");
  add_member_option(*command, options->member);
  add_examples(*command,
               "  ccdcrc ccd station.scd P1 > P1.ccd\n"
               "  ccdcrc ccd station.scd P1 --measured");
  command->callback([options, &console] { console.status = run_ccd(*options, console); });
}

}  // namespace ccdcrc
