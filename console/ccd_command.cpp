// `ccdcrc ccd SCD NAME [--measured]`: an IED's CCD on standard output.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "crc/canonical.h"
#include "operations/export.h"

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

  const std::unique_ptr<Ccd> built = build_ied_ccd(*scd, ied);
  if (built->nothing_found) {
    diagnostics.error(scd->path(), "IED " + quoted(options.name) + " " + no_circuits_reason);
    return exit_ied_problem;
  }
  // As exported, or the finished copy that the CRC is measured on.
  std::unique_ptr<FinishedCcd> finished;
  if (options.measured) {
    finished = finish_copy(built->root);
  } else {
    add_crc_element(*built);
  }
  const pugi::xml_document& shown = finished ? finished->document : built->document;
  if (const std::size_t depth = nesting_depth(shown.document_element()); depth > max_written_depth) {
    diagnostics.error(scd->path(), "the CCD of IED " + quoted(options.name) + " nests elements " +
                                       std::to_string(depth) + " levels deep; it is printed only up to " +
                                       std::to_string(max_written_depth) +
                                       " levels (its CRC is computed all the same)");
    return exit_ied_problem;
  }
  pugi::xml_writer_stream writer(console.out);
  save_ccd(shown, writer);
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
