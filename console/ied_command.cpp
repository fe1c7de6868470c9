// `ccdcrc ied SCD NAME...` or `ccdcrc ied SCD... --name NAME...`: the CRCs of
// the named IEDs, in the order given, for each SCD in turn.

#include <memory>

#include "console/command.h"
#include "console/scd_input.h"
#include "report/crc_report.h"
#include "workflows/crc_workflows.h"

namespace ccdcrc {

namespace {

struct IedOptions {
  std::string scd;
  std::vector<std::string> arguments;  // the IED names, or with --name more SCDs
  std::vector<std::string> names;      // --name
  Format format = Format::text;
  std::string member;
};

// The answer for each name given, in order (a name given twice is answered
// twice); failures are reported and kept with their reason. The status:
// exit_ok, or exit_ied_problem when a name has no CRC.
int answer_names(const Scd& scd, const std::vector<std::string>& names, Diagnostics& diagnostics, CrcReport& report) {
  IedOutcome outcome = named_crcs(scd, names);
  diagnostics.tell(outcome.notes);
  for (IedAnswer& answer : outcome.answers) {
    report.ieds.push_back({std::move(answer.name), std::move(answer.crc), std::move(answer.error)});
  }
  return outcome.all_answered ? exit_ok : exit_ied_problem;
}

int run_ied(IedOptions options, Console& console) {
  std::vector<std::string> scds{options.scd};
  if (options.names.empty()) {
    options.names = std::move(options.arguments);
  } else {
    scds.insert(scds.end(), options.arguments.begin(), options.arguments.end());
  }
  if (options.names.empty())
    return usage_error(console.diagnostics, "ied", "name the IEDs after the SCD, or with --name");
  if (const int status = check_standard_input_once(console.diagnostics, "ied", scds); status != exit_ok) return status;
  Diagnostics& diagnostics = console.diagnostics;
  CrcReportWriter writer(console.out, options.format, CrcCommand::ied, scds.size() > 1);
  int status = exit_ok;
  for (const std::string& path : scds) {
    const std::unique_ptr<Scd> scd = load_scd(path, diagnostics, {options.member, false});
    if (!scd) {
      status = exit_usage;
      continue;
    }
    CrcReport report{scd->path(), {}, std::nullopt, {}, {}};
    status = std::max(status, answer_names(*scd, options.names, diagnostics, report));
    writer.write(report);
    status = std::max(status, read_in_part_status(*scd, diagnostics));
    console.out.flush();
  }
  return status;
}

}  // namespace

void add_ied_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<IedOptions>();
  CLI::App* command = app.add_subcommand("ied", "Print the CRCs of the named IEDs");
  add_scd_argument(*command, options->scd);
  command->add_option("NAME", options->arguments, "IED names; with --name, more SCD files")->option_text(" ");
  command->add_option("-n,--name", options->names, "an IED name (may be repeated); every argument is then an SCD")
      ->allow_extra_args(false)
      ->option_text("NAME");
  add_format_option(*command, options->format);
  add_excel_option(*command, console);
  add_member_option(*command, options->member);
  add_examples(*command,
               "  ccdcrc ied station.scd P1\n"
               "  ccdcrc ied station.scd P1 P2 --format json\n"
               "  ccdcrc ied old.scd new.scd -n P1 -n P2");
  command->callback([options, &console] { console.status = run_ied(*options, console); });
}

}  // namespace ccdcrc
