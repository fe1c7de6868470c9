// `ccdcrc ied SCD NAME...`: the CRCs of the named IEDs, in the order given.

#include <memory>

#include "console/command.h"
#include "console/crc_report.h"
#include "console/scd_input.h"
#include "operations/ccd_pipeline.h"
#include "operations/messages.h"

namespace ccdcrc {

namespace {

struct IedOptions {
  std::string scd;
  std::vector<std::string> names;
  Format format = Format::text;
};

int run_ied(const IedOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;
  const NamedIeds named(*scd);

  CrcReport report{scd->path(), {}, std::nullopt};
  int status = exit_ok;
  for (const std::string& name : distinct_names(options.names)) {
    const pugi::xml_node ied = named.find(name, "the CRC is that of the first one", diagnostics);
    const std::optional<std::string> crc = ied ? ied_crc(*scd, ied) : std::nullopt;
    if (ied && !crc) diagnostics.error(scd->path(), no_circuits_message(name));
    if (!crc) {
      status = exit_ied_problem;
      continue;
    }
    report.ieds.push_back({name, *crc});
  }
  write_crc_report(console.out, options.format, report);
  return status;
}

}  // namespace

void add_ied_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<IedOptions>();
  CLI::App* command = app.add_subcommand("ied", "Print the CRCs of the named IEDs");
  add_scd_argument(*command, options->scd);
  command->add_option("NAME", options->names, "IED names")->required()->option_text(" ");
  add_format_option(*command, options->format);
  add_examples(*command,
               "  ccdcrc ied station.scd P1\n"
               "  ccdcrc ied station.scd P1 P2 --format json");
  command->callback([options, &console] { console.status = run_ied(*options, console); });
}

}  // namespace ccdcrc
