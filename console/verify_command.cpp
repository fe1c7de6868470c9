// `ccdcrc verify FILE... [--scd SCD]`: exported CCD files against their own
// content and, with an SCD, against the CRCs it gives today.

#include <map>
#include <memory>
#include <optional>

#include "console/command.h"
#include "console/scd_input.h"
#include "operations/ccd_pipeline.h"
#include "operations/messages.h"
#include "operations/verification.h"
#include "report/verify_report.h"

namespace ccdcrc {

namespace {

struct VerifyOptions {
  std::vector<std::string> files;
  std::string scd;  // empty: check the files against their own content only
  Format format = Format::text;
  bool quiet = false;  // only the files that do not verify
  std::string member;  // of an SCD in a zip archive
};

VerifiedFile verify_file(const std::string& path, const CurrentCrcs* current, Diagnostics& diagnostics) {
  VerifiedFile file = verify_ccd_file(path, current);
  if (file.status == VerifyStatus::unreadable) {
    diagnostics.error(location(path, file.check.position), printable(file.check.problem));
  } else if (file.shared_name_count > 1) {
    diagnostics.warning(current->scd().path(),
                        shared_name_warning(file.shared_name_count, file.check.ied_name,
                                            file.path + " is compared with the one 'all' lists"));
  }
  return file;
}

int run_verify(const VerifyOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  bool trouble = false;
  std::unique_ptr<Scd> scd;
  std::optional<CurrentCrcs> current;
  if (!options.scd.empty()) {
    scd = load_scd(options.scd, diagnostics, {options.member, false});
    if (scd) {
      current.emplace(*scd);
      // An SCD read in part answers for no approval: the files are compared, and the run fails.
      if (read_in_part_status(*scd, diagnostics) != exit_ok) trouble = true;
    } else {
      trouble = true;  // the files are still checked against their own content
    }
  }
  std::vector<VerifiedFile> files;
  for (const std::string& path : options.files) {
    files.push_back(verify_file(path, current ? &*current : nullptr, diagnostics));
    if (files.back().status == VerifyStatus::unreadable) trouble = true;
  }
  std::vector<const VerifiedFile*> shown;
  std::size_t failures = 0;
  for (const VerifiedFile& file : files) {
    if (file.status != VerifyStatus::ok) ++failures;
    if (!options.quiet || file.status != VerifyStatus::ok) shown.push_back(&file);
  }
  write_verify_report(console.out, options.format, scd ? std::optional(scd->path()) : std::nullopt, shown,
                      console.style);
  if (failures > 0) {
    diagnostics.note(std::to_string(failures) + " of " + std::to_string(files.size()) + " CCD" +
                     (files.size() == 1 ? " file" : " files") + " did not verify");
  }
  if (trouble) return exit_usage;
  return failures > 0 ? exit_differences : exit_ok;
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
