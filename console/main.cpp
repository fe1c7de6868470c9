// ccdcrc: without arguments the interactive menu, with arguments the command line.

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "console/colour.h"
#include "console/command_line.h"
#include "console/diagnostics.h"
#include "console/memory.h"
#include "console/menu.h"

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
    return ccdcrc::run_command_line(
        std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1,
        ccdcrc::colour_wanted(ccdcrc::ColourChoice::automatic, ::isatty(STDOUT_FILENO) == 1, std::getenv("NO_COLOR")));
  } catch (const std::bad_alloc&) {
    std::cerr << "ccdcrc: not enough memory\n";
  } catch (const std::exception& error) {
    std::cerr << "ccdcrc: " << error.what() << '\n';
  }
  return ccdcrc::exit_usage;
}
