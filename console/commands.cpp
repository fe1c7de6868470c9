// The scriptable command line: parses `ccdcrc COMMAND ...` and runs the command.

#include "console/commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "console/command_runs.h"
#include "console/diagnostics.h"

namespace ccdcrc {

namespace {

constexpr const char* program_footer = R"(Examples:
  ccdcrc all station.scd                    every IED CRC, then the SCD CRC
  ccdcrc all station.scd --format json      the same as JSON (or --format csv)
  ccdcrc ied station.scd P1 P2              the CRCs of IEDs P1 and P2
  ccdcrc export station.scd P1 -o out       write out/P1.ccd
  ccdcrc export station.scd --all -o out    a CCD file for every IED with a CRC
  ccdcrc ccd station.scd P1 --measured      the CCD text that P1's CRC is computed over
  ccdcrc diff old.scd new.scd --explain     which CRCs changed between two SCDs, and why
  ccdcrc check approved.csv station.scd     the CRCs against a list written by 'all'
  ccdcrc verify out/*.ccd                   exported CCD files against their own CRCs

Without arguments, ccdcrc asks interactively for an action and its inputs.
Put "--" before IED names that begin with "-".

Exit status: 0 success; 1 a named IED was not found, has no CRC or could not
be exported, or (diff, check, verify) something changed or does not match;
2 usage error or unreadable input (SCD, export directory, list of CRCs, CCD file).
Results go to standard output, messages to standard error.)";

void add_format_option(CLI::App& command, Format& format) {
  command
      .add_option_function<std::string>(
          "-f,--format",
          [&format](const std::string& name) {
            format = name == "json" ? Format::json : name == "csv" ? Format::csv : Format::text;
          },
          "output format: text (default), json or csv")
      ->check(CLI::IsMember({"text", "json", "csv"}))
      ->option_text("text|json|csv");
}

void add_jobs_option(CLI::App& command, unsigned& jobs) {
  command.add_option("-j,--jobs", jobs, "IEDs built in parallel (default: one per core)")
      ->check(CLI::Range(1u, 1024u))
      ->option_text("N");
}

CLI::Option* add_file_argument(CLI::App& command, const std::string& name, std::string& path,
                               const std::string& description) {
  return command.add_option(name, path, description)->required()->option_text(" ");
}

CLI::Option* add_scd_argument(CLI::App& command, std::string& path) {
  return add_file_argument(command, "SCD", path, "the SCD file");
}

// What the commands that go through every IED of an SCD share.
void add_listing_options(CLI::App& command, Format& format, bool& quiet, const std::string& quiet_meaning,
                         unsigned& jobs) {
  add_format_option(command, format);
  command.add_flag("-q,--quiet", quiet, quiet_meaning);
  add_jobs_option(command, jobs);
}

int usage_error(const std::string& command, const std::string& message) {
  std::cerr << "ccdcrc: " << (command.empty() ? "" : command + ": ") << message << '\n'
            << "Run 'ccdcrc " << (command.empty() ? "" : command + " ") << "--help' for usage.\n";
  return exit_usage;
}

}  // namespace

int run_commands(int argc, char** argv) {
  AllOptions all_options;
  IedOptions ied_options;
  ExportOptions export_options;
  CcdOptions ccd_options;
  DiffOptions diff_options;
  CheckOptions check_options;
  VerifyOptions verify_options;

  CLI::App app{"ccdcrc: circuit CRCs of the IEDs of an IEC 61850 SCD file.", "ccdcrc"};
  app.set_version_flag("--version", std::string("ccdcrc ") + CCDCRC_VERSION);
  app.require_subcommand(1);
  app.footer(program_footer);

  CLI::App* all = app.add_subcommand("all", "Print the CRC of every IED with circuits, then the SCD CRC");
  add_scd_argument(*all, all_options.scd);
  add_listing_options(*all, all_options.format, all_options.quiet, "show no progress on a terminal", all_options.jobs);
  all->footer(
      "Examples:\n"
      "  ccdcrc all station.scd\n"
      "  ccdcrc all station.scd --format csv > station-crcs.csv");

  CLI::App* ied = app.add_subcommand("ied", "Print the CRCs of the named IEDs");
  add_scd_argument(*ied, ied_options.scd);
  ied->add_option("NAME", ied_options.names, "IED names")->required()->option_text(" ");
  add_format_option(*ied, ied_options.format);
  ied->footer(
      "Examples:\n"
      "  ccdcrc ied station.scd P1\n"
      "  ccdcrc ied station.scd P1 P2 --format json");

  CLI::App* export_command =
      app.add_subcommand("export", "Write DIR/NAME.ccd for the named IEDs or for every IED with a CRC");
  add_scd_argument(*export_command, export_options.scd);
  export_command->add_option("NAME", export_options.names, "IED names (or --all)")->option_text(" ");
  export_command->add_flag("--all", export_options.every_ied, "export every IED that has a CRC");
  export_command->add_option("-o,--output", export_options.directory, "the export directory (it must exist)")
      ->required()
      ->option_text("DIR");
  export_command->add_flag("-q,--quiet", export_options.quiet, "show no progress on a terminal");
  add_jobs_option(*export_command, export_options.jobs);
  export_command->footer(
      "Examples:\n"
      "  ccdcrc export station.scd P1 P2 -o ccd\n"
      "  ccdcrc export station.scd --all -o ccd");

  CLI::App* ccd = app.add_subcommand("ccd", "Print an IED's CCD, as exported or as measured for its CRC");
  add_scd_argument(*ccd, ccd_options.scd);
  ccd->add_option("NAME", ccd_options.name, "the IED name")->required()->option_text(" ");
  ccd->add_flag("--measured", ccd_options.measured, "print the finished CCD that the CRC is computed over");
  ccd->footer(
      "Examples:\n"
      "  ccdcrc ccd station.scd P1 > P1.ccd\n"
      "  ccdcrc ccd station.scd P1 --measured");

  CLI::App* diff = app.add_subcommand("diff", "Compare the IED CRCs of two SCDs and explain what changed");
  add_file_argument(*diff, "OLD", diff_options.old_scd, "the old SCD file");
  add_file_argument(*diff, "NEW", diff_options.new_scd, "the new SCD file");
  diff->add_option("--explain", diff_options.explain_names,
                   "say what changed in the CCDs of the named IEDs (default: of every IED whose CRC changed)")
      ->expected(0, -1)
      ->option_text("[NAME...]");
  add_listing_options(*diff, diff_options.format, diff_options.quiet,
                      "list only the IEDs that changed; show no progress", diff_options.jobs);
  diff->footer(
      "Status: unchanged, changed, added, removed, gained (a CRC), lost (its CRC).\n"
      "Exit status: 0 nothing changed, 1 something changed, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc diff old.scd new.scd\n"
      "  ccdcrc diff old.scd new.scd --explain\n"
      "  ccdcrc diff old.scd new.scd --explain P1 B2");

  CLI::App* check = app.add_subcommand("check", "Check the IED CRCs of an SCD against a list of approved CRCs");
  add_file_argument(*check, "BASELINE", check_options.baseline,
                    "the approved CRCs, as 'all --format csv' or 'json' writes them");
  add_scd_argument(*check, check_options.scd);
  add_listing_options(*check, check_options.format, check_options.quiet,
                      "list only the IEDs that do not match; show no progress", check_options.jobs);
  check->footer(
      "Status: ok, changed, missing (approved, but no CRC now), new (a CRC, but not approved).\n"
      "Exit status: 0 every IED matches, 1 some do not, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc check approved.csv station.scd\n"
      "  ccdcrc check approved.json station.scd --quiet\n"
      "The list is written by: ccdcrc all station.scd --format csv > approved.csv");

  CLI::App* verify = app.add_subcommand("verify", "Check that exported CCD files still match their CRC");
  verify->add_option("FILE", verify_options.files, "CCD files written by 'export'")->required()->option_text(" ");
  verify->add_option("--scd", verify_options.scd, "also compare with the CRCs that this SCD gives today")
      ->option_text("SCD");
  add_format_option(*verify, verify_options.format);
  verify->add_flag("-q,--quiet", verify_options.quiet, "list only the files that do not verify");
  verify->footer(
      "Status: ok, modified (the content no longer gives its CRC), outdated (the SCD gives\n"
      "another CRC), unreadable. Exit status: 0 all ok, 1 some are not, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc verify ccd/P1.ccd ccd/B2.ccd\n"
      "  ccdcrc verify ccd/*.ccd --scd station.scd");

  const std::vector<std::string> commands{"all", "ied", "export", "ccd", "diff", "check", "verify"};
  if (const std::string first = argv[1];
      !first.starts_with("-") && std::find(commands.begin(), commands.end(), first) == commands.end()) {
    return usage_error("", "unknown command '" + first +
                               "' (the commands are all, ied, export, ccd, diff, check and verify)");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
    const std::string command = app.get_subcommands().empty() ? "" : app.get_subcommands().front()->get_name();
    return usage_error(command, error.what());
  }

  Diagnostics diagnostics(std::cerr, ::isatty(STDERR_FILENO) == 1);
  int status = exit_usage;
  if (all->parsed()) {
    status = run_all(all_options, std::cout, diagnostics);
  } else if (ied->parsed()) {
    status = run_ied(ied_options, std::cout, diagnostics);
  } else if (export_command->parsed()) {
    if (export_options.every_ied == !export_options.names.empty()) {
      return usage_error("export", "name the IEDs to export or give --all (one of the two)");
    }
    status = run_export(export_options, std::cout, diagnostics);
  } else if (ccd->parsed()) {
    status = run_ccd(ccd_options, std::cout, diagnostics);
  } else if (diff->parsed()) {
    diff_options.explain = diff->count("--explain") > 0;
    // Given without names, the option holds one empty text.
    if (diff_options.explain_names == std::vector<std::string>{""}) diff_options.explain_names.clear();
    if (diff_options.explain && diff_options.format == Format::csv) {
      return usage_error("diff", "--explain is written as text or JSON, not as CSV");
    }
    status = run_diff(diff_options, std::cout, diagnostics);
  } else if (check->parsed()) {
    status = run_check(check_options, std::cout, diagnostics);
  } else if (verify->parsed()) {
    status = run_verify(verify_options, std::cout, diagnostics);
  }

  std::cout.flush();
  if (!std::cout) {
    diagnostics.note("cannot write to standard output");
    return exit_usage;
  }
  return status;
}

}  // namespace ccdcrc
