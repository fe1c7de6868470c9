#pragma once
// What every subcommand of the command line shares: where its results and
// messages go, the options that several commands take, and its exit status.
// Each command sets itself up on the CLI11 app in a file of its own.

#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "console/diagnostics.h"
#include "report/output.h"
#include "report/style.h"

namespace ccdcrc {

// Where a command writes, and the status it ends with.
struct Console {
  std::ostream& out;
  Diagnostics& diagnostics;
  int status = exit_usage;
  // `history`: the IED names given after "--", apart from its revisions.
  std::vector<std::string> names_after_separator{};
  bool excel = false;  // --excel: CSV as Excel opens it (report/excel_csv.h)
  TextStyle style{};   // of the statuses in text: coloured (console/colour.h) or plain
};

// Each adds its subcommand to the app; its callback runs the command and
// sets console.status.
void add_all_command(CLI::App& app, Console& console);
void add_ied_command(CLI::App& app, Console& console);
void add_export_command(CLI::App& app, Console& console);
void add_ccd_command(CLI::App& app, Console& console);
void add_diff_command(CLI::App& app, Console& console);
void add_check_command(CLI::App& app, Console& console);
void add_verify_command(CLI::App& app, Console& console);
void add_history_command(CLI::App& app, Console& console);
void add_bindings_command(CLI::App& app, Console& console);

// Options that several commands take.
void add_format_option(CLI::App& command, Format& format);
// --excel, for the commands that write CSV.
void add_excel_option(CLI::App& command, Console& console);
void add_jobs_option(CLI::App& command, unsigned& jobs);
void add_quiet_option(CLI::App& command, bool& quiet, const std::string& meaning);
CLI::Option* add_file_argument(CLI::App& command, const std::string& name, std::string& path,
                               const std::string& description);
CLI::Option* add_scd_argument(CLI::App& command, std::string& path);
void add_examples(CLI::App& command, const std::string& examples);

// Reports a usage error ("ccdcrc: COMMAND: MESSAGE" and where to find help)
// on the command line's error stream and returns exit_usage.
int usage_error(Diagnostics& diagnostics, const std::string& command, const std::string& message);

}  // namespace ccdcrc
