// ccdcrc: without arguments the interactive menu, with arguments the command line.

#include <unistd.h>

#include <csignal>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include <CLI/CLI.hpp>

#include "ccdcrc/version.h"
#include "console/command.h"
#include "console/memory.h"
#include "console/menu.h"

namespace {

constexpr const char* program_footer = R"(Examples:
  ccdcrc all station.scd                    every IED CRC, then the SCD CRC
  ccdcrc all station.scd --format json      the same as JSON (or --format csv)
  ccdcrc all a.scd b.scd.gz c.zip           each SCD in turn (gzip and zip are read)
  ccdcrc all - < station.scd.gz             an SCD from standard input
  ccdcrc ied station.scd P1 P2              the CRCs of IEDs P1 and P2
  ccdcrc export station.scd P1 -o out       write out/P1.ccd
  ccdcrc export station.scd --all -o out    a CCD file for every IED with a CRC
  ccdcrc ccd station.scd P1 --measured      the CCD text that P1's CRC is computed over
  ccdcrc diff old.scd new.scd --explain     which CRCs changed between two SCDs, and why
  ccdcrc check approved.csv station.scd     the CRCs against a list of approved CRCs
  ccdcrc verify out/*.ccd                   exported CCD files against their own CRCs

Without arguments, ccdcrc asks interactively for an action and its inputs.
Put "--" before IED names that begin with "-".

Exit status: 0 success; 1 a named IED was not found, has no CRC or could not
be exported, or (diff, check, verify) something changed or does not match;
2 usage error or unreadable input (SCD, export directory, list of CRCs, CCD file).
Results go to standard output, messages to standard error.)";

// "all, ied, ... and verify"
std::string command_names(const CLI::App& app) {
  const std::vector<const CLI::App*> commands = app.get_subcommands([](const CLI::App*) { return true; });
  std::string names;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    names += (i == 0 ? "" : i + 1 == commands.size() ? " and " : ", ") + commands[i]->get_name();
  }
  return names;
}

int run_command_line(int argc, char** argv) {
  using namespace ccdcrc;
  Diagnostics diagnostics(std::cerr, ::isatty(STDERR_FILENO) == 1);
  Console console{std::cout, diagnostics};

  CLI::App app{"ccdcrc: circuit CRCs of the IEDs of an IEC 61850 SCD file.", "ccdcrc"};
  app.set_version_flag("--version", std::string("ccdcrc ") + CCDCRC_VERSION);
  app.require_subcommand(1);
  app.footer(program_footer);
  for (auto add : {add_all_command, add_ied_command, add_export_command, add_ccd_command, add_diff_command,
                   add_check_command, add_verify_command}) {
    add(app, console);
  }

  const std::string first = argv[1];
  const auto named_first = [&first](const CLI::App* command) { return command->get_name() == first; };
  if (!first.starts_with("-") && app.get_subcommands(named_first).empty()) {
    return usage_error("", "unknown command '" + first + "' (the commands are " + command_names(app) + ")");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
    const std::string command = app.get_subcommands().empty() ? "" : app.get_subcommands().front()->get_name();
    return usage_error(command, error.what());
  } catch (const std::bad_alloc&) {
    // Nothing half done is reported: a result is printed only once it is
    // whole; only the changes of diff --explain, too many to hold, are
    // written as they are found.
    if (diagnostics.working_file().empty()) {
      diagnostics.note("not enough memory");
    } else {
      diagnostics.error(diagnostics.working_file(), "not enough memory");
    }
    return exit_usage;
  }
  std::cout.flush();
  if (!std::cout) {
    diagnostics.note("cannot write to standard output");
    return exit_usage;
  }
  return console.status;
}

}  // namespace

int main(int argc, char** argv) {
  // Under a file-size limit a write that passes it fails with "File too
  // large", and that file alone is not written, instead of the process ending.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    ccdcrc::keep_freed_memory();
    if (argc <= 1) {
      // The menu reads its answers a byte at a time: from the stream's own
      // buffer rather than through C's standard input, a call per byte.
      std::ios::sync_with_stdio(false);
      return ccdcrc::run_menu(std::cin, std::cout, std::cerr);
    }
    return run_command_line(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "ccdcrc: not enough memory\n";
  } catch (const std::exception& error) {
    std::cerr << "ccdcrc: " << error.what() << '\n';
  }
  return ccdcrc::exit_usage;
}
