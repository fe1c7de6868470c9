#pragma once
// The program's command line, apart from the process: the program runs it on
// its standard streams, the Python module on strings.

#include <ostream>
#include <string>
#include <vector>

namespace ccdcrc {

// Runs `ccdcrc ARGUMENTS...` (without the program's name): results on `out`,
// messages on `err` (progress only where `terminal`). Returns the exit status.
int run_command_line(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace ccdcrc
