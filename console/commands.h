#pragma once
namespace ccdcrc {
// The scriptable command line: `ccdcrc COMMAND ...`. Returns the exit status.
int run_commands(int argc, char** argv);
}  // namespace ccdcrc
