#pragma once
// The program's command line, apart from the process: the program runs it on
// its standard streams, the Python module on strings.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ccdcrc {

// Runs `ccdcrc ARGUMENTS...` (without the program's name): results on `out`,
// messages on `err` (progress only where `terminal`). Statuses are coloured
// under --color=always, or by default where `colour_by_default` (standard
// output is a terminal and NO_COLOR is not set). Returns the exit status.
// "/?" (before "--") asks for help, as on Windows.
int run_command_line(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, bool terminal,
                     bool colour_by_default = false);

// A file given alone, when it is no command's name: what Windows' Explorer
// starts a program with when a file is dropped onto it. The command line that
// runs `all` on it, or nullopt for any other arguments.
std::optional<std::vector<std::string>> dropped_file_command(const std::vector<std::string>& arguments);

}  // namespace ccdcrc
