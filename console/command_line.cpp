// The command line: the commands assembled into one parser and run, with
// their output and messages on the streams given.

#include "console/command_line.h"

#include <algorithm>
#include <map>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <zip.h>
#include <zlib.h>
#include <CLI/CLI.hpp>
#include <pugixml.hpp>

#include "ccdcrc/version.h"
#include "console/colour.h"
#include "console/command.h"
#include "report/excel_csv.h"
#include "system/files.h"

namespace ccdcrc {
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
  ccdcrc history --git station.scd          which commit changed which IED's CRC

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

std::string version_text() {
  return std::string("ccdcrc ") + CCDCRC_VERSION + "\nbuilt with pugixml " + std::to_string(PUGIXML_VERSION / 1000) +
         "." + std::to_string(PUGIXML_VERSION % 1000 / 10) + ", libzip " + LIBZIP_VERSION + " and zlib " +
         ZLIB_VERSION +
         "\nreads SCL files (.scd, .cid, .icd, .iid, .ssd, .sed, .xml) plain, gzip-compressed or in zip "
         "archives, from paths, pipes and standard input";
}

// The first argument before the command that the program does not take, if
// any: the parser would only say that a command is missing.
std::string unknown_top_level_option(const CLI::App& app, const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (!argument.starts_with("-")) return {};
    const std::string name = argument.substr(0, argument.find('='));
    if (app.get_option_no_throw(name) == nullptr && name != "-h" && name != "--help") return argument;
  }
  return {};
}

// --color, before the command or among its options.
void add_colour_option(CLI::App& app, ColourChoice& choice) {
  const std::map<std::string, ColourChoice> choices{
      {"auto", ColourChoice::automatic}, {"always", ColourChoice::always}, {"never", ColourChoice::never}};
  const auto add = [&](CLI::App& command) {
    command.add_option("--color", choice, "colour the statuses: auto (on a terminal, without NO_COLOR), always, never")
        ->transform(CLI::CheckedTransformer(choices))
        ->option_text("auto|always|never");
  };
  add(app);
  for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) add(*command);
}

// The format the command writes, read from the arguments as given ("text"
// when none is): the parser's own look-up cannot fail without ending the
// process (it is noexcept, and allocates), and this runs after every parse.
std::string format_given(const std::vector<std::string>& arguments) {
  std::string format = "text";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--") break;
    if ((word == "--format" || word == "-f") && i + 1 < arguments.size()) {
      format = arguments[i + 1];
    } else if (word.starts_with("--format=")) {
      format = word.substr(9);
    } else if (word.starts_with("-f") && word.size() > 2 && word[2] != '-') {
      format = word.substr(word[2] == '=' ? 3 : 2);
    }
  }
  return format;
}

// `history REV... -- IED...` takes two lists: the names after "--" are taken
// out of the arguments before they are parsed.
std::vector<std::string> without_history_names(const std::vector<std::string>& arguments, Console& console) {
  std::size_t i = 0;
  while (i < arguments.size() && arguments[i].starts_with("-")) i += arguments[i] == "--color" ? 2 : 1;
  if (i >= arguments.size() || arguments[i] != "history") return arguments;
  const auto separator = std::find(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end(), "--");
  if (separator == arguments.end()) return arguments;
  console.names_after_separator.assign(separator + 1, arguments.end());
  return {arguments.begin(), separator};
}

// The program's parser: every command, writing to `console`.
void set_up(CLI::App& app, Console& console) {
  app.set_version_flag("--version", version_text());
  app.require_subcommand(1);
  // Options are written as on Linux everywhere: on Windows "/x" is a path.
  app.allow_windows_style_options(false);
  app.footer(program_footer);
  for (auto add : {add_all_command, add_ied_command, add_export_command, add_ccd_command, add_diff_command,
                   add_check_command, add_verify_command, add_history_command, add_bindings_command}) {
    add(app, console);
  }
}

// Windows' way of asking for help: "/?" stands for --help (before "--").
std::vector<std::string> with_help_asked_as_on_windows(std::vector<std::string> arguments) {
  for (std::string& word : arguments) {
    if (word == "--") break;
    if (word == "/?") word = "--help";
  }
  return arguments;
}

}  // namespace

std::optional<std::vector<std::string>> dropped_file_command(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1 || arguments.front().starts_with("-") ||
      path_status(arguments.front()).kind != FileKind::regular) {
    return std::nullopt;
  }
  std::ostringstream nowhere;
  Diagnostics diagnostics(nowhere, false);
  Console console{nowhere, diagnostics};
  CLI::App app;
  set_up(app, console);
  const auto named = [&arguments](const CLI::App* command) { return command->get_name() == arguments.front(); };
  if (!app.get_subcommands(named).empty()) return std::nullopt;
  return std::vector<std::string>{"all", arguments.front()};
}

int run_command_line(const std::vector<std::string>& given, std::ostream& out, std::ostream& err, bool terminal,
                     bool colour_by_default) {
  const std::vector<std::string> arguments = with_help_asked_as_on_windows(given);
  Diagnostics diagnostics(err, terminal);
  ExcelCsv excel(out.rdbuf());
  std::ostream results(&excel);
  Console console{results, diagnostics};

  CLI::App app{"ccdcrc: circuit CRCs of the IEDs of an IEC 61850 SCD file.", "ccdcrc"};
  set_up(app, console);
  ColourChoice colour = ColourChoice::automatic;
  add_colour_option(app, colour);
  app.parse_complete_callback([&] {
    // Colour only for text: JSON, CSV and the reports stay as they are.
    const std::string format = format_given(arguments);
    if (console.excel && format != "csv") throw CLI::ValidationError("--excel is for CSV: give it with --format csv");
    excel.enable(console.excel);
    if (format == "text" && (colour == ColourChoice::automatic ? colour_by_default : colour == ColourChoice::always)) {
      console.style = colour_style();
    }
  });

  if (arguments.empty()) return usage_error(diagnostics, "", "no command was given");
  const std::string& first = arguments.front();
  const auto named_first = [&first](const CLI::App* command) { return command->get_name() == first; };
  if (!first.starts_with("-") && app.get_subcommands(named_first).empty()) {
    return usage_error(diagnostics, "",
                       "unknown command '" + first + "' (the commands are " + command_names(app) + ")");
  }
  if (const std::string unknown = unknown_top_level_option(app, arguments); !unknown.empty()) {
    return usage_error(diagnostics, "", "unknown option '" + unknown + "'");
  }
  try {
    // The parser takes the arguments last first.
    const std::vector<std::string> parsed = without_history_names(arguments, console);
    std::vector<std::string> reversed(parsed.rbegin(), parsed.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error, out, err);  // --help, --version
    const std::string command = app.get_subcommands().empty() ? "" : app.get_subcommands().front()->get_name();
    return usage_error(diagnostics, command, error.what());
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
  results.flush();
  if (!results || !out) {
    diagnostics.note("cannot write to standard output");
    return exit_usage;
  }
  return console.status;
}

}  // namespace ccdcrc
