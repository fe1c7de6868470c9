// `ccdcrc verify FILE... [--scd SCD]`: exported CCD files against their own
// content and, with an SCD, against the CRCs it gives today.

#include <memory>
#include <optional>

#include "console/command.h"
#include "console/scd_input.h"
#include "report/verify_report.h"
#include "workflows/verify_workflow.h"

namespace ccdcrc {

namespace {

struct VerifyOptions {
  std::vector<std::string> files;
  std::string scd;  // empty: check the files against their own content only
  Format format = Format::text;
  bool quiet = false;  // only the files that do not verify
  std::string member;  // of an SCD in a zip archive
};

int run_verify(const VerifyOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  std::unique_ptr<Scd> scd;
  if (!options.scd.empty()) scd = load_scd(options.scd, diagnostics, {options.member, false});
  const VerifyOutcome outcome = verify_files(options.files, scd.get());
  diagnostics.tell(outcome.notes);
  std::vector<const VerifiedFile*> shown;
  for (const VerifiedFile& file : outcome.files) {
    if (!options.quiet || file.status != VerifyStatus::ok) shown.push_back(&file);
  }
  write_verify_report(console.out, options.format, scd ? std::optional(scd->path()) : std::nullopt, shown,
                      console.style);
  if (!outcome.summary.empty()) diagnostics.note(outcome.summary);
  // An SCD that cannot be loaded leaves the files checked against their own content alone.
  if (outcome.trouble || (!options.scd.empty() && !scd)) return exit_usage;
  return outcome.failures > 0 ? exit_differences : exit_ok;
}

}  // namespace

void add_verify_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* command = app.add_subcommand("verify", "Check that exported CCD files still match their CRC");
  command->add_option("FILE", options->files, "CCD files written by 'export'")->required()->option_text(" ");
  command->add_option("--scd", options->scd, "also compare with the CRCs that this SCD gives today")
      ->option_text("SCD");
  add_format_option(*command, options->format);
  add_excel_option(*command, console);
  add_quiet_option(*command, options->quiet, "list only the files that do not verify");
  add_member_option(*command, options->member);
  command->footer(
      "Status: ok, modified (the content no longer gives its CRC), outdated (the SCD gives\n"
      "another CRC), unreadable. Exit status: 0 all ok, 1 some are not, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc verify ccd/P1.ccd ccd/B2.ccd\n"
      "  ccdcrc verify ccd/*.ccd --scd station.scd");
  command->callback([options, &console] { console.status = run_verify(*options, console); });
}

}  // namespace ccdcrc
