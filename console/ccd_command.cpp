// `ccdcrc ccd SCD NAME [--measured]`: an IED's CCD on standard output.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "crc/canonical.h"
#include "operations/export.h"
#include "operations/messages.h"
#include "operations/shown_ccd.h"

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
  const pugi::xml_node ied = NamedIeds(*scd).find(options.name, "the CCD of the first one is shown", diagnostics);
  if (!ied) return exit_ied_problem;

  const ShownCcd shown = show_ccd(*scd, ied, options.measured ? CcdForm::measured : CcdForm::exported);
  if (shown.status == ShownCcd::Status::no_circuits) {
    diagnostics.error(scd->path(), no_circuits_message(options.name));
    return exit_ied_problem;
  }
  if (shown.status == ShownCcd::Status::too_deep) {
    diagnostics.error(scd->path(), too_deep_to_show_message(options.name, shown.depth));
    return exit_ied_problem;
  }
  pugi::xml_writer_stream writer(console.out);
  save_ccd(shown.document(), writer);
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
