// ccdcrc: without arguments the interactive menu, with arguments the command line.

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// CommandLineToArgvW
#include <shellapi.h>

#include "system/wide_paths.h"
#endif

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "console/colour.h"
#include "console/command_line.h"
#include "console/diagnostics.h"
#include "console/memory.h"
#include "console/menu.h"
#include "system/files.h"

namespace {

#ifdef _WIN32
// The arguments in UTF-8, whatever the code page; the console shows UTF-8,
// and the streams carry bytes as they are (`\n`, as on Linux).
std::vector<std::string> arguments(int, char**) {
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
  ::_setmode(1, _O_BINARY);
  ::_setmode(2, _O_BINARY);
  // Colours and the progress line are terminal sequences.
  for (const DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    DWORD mode = 0;
    const HANDLE handle = ::GetStdHandle(stream);
    if (::GetConsoleMode(handle, &mode)) ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> utf8;
  for (int i = 1; wide && i < count; ++i) utf8.push_back(ccdcrc::utf8_of(wide[i]));
  ::LocalFree(wide);
  return utf8;
}

// Started from Explorer, the console window would close with the answer.
void end_dialogue() {
  if (ccdcrc::is_terminal(0)) std::system("pause");
}
#else
std::vector<std::string> arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

void end_dialogue() {}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // Under a file-size limit a write that passes it fails with "File too
  // large", and that file alone is not written, instead of the process ending.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  try {
    ccdcrc::keep_freed_memory();
    std::vector<std::string> line = arguments(argc, argv);
    if (line.empty()) {
      // The menu reads its answers a byte at a time: from the stream's own
      // buffer rather than through C's standard input, a call per byte.
      std::ios::sync_with_stdio(false);
      const int status = ccdcrc::run_menu(std::cin, std::cout, std::cerr);
      end_dialogue();
      return status;
    }
    // A file dropped onto the program: its CRCs, in a window that stays
    // open as the menu's does.
    const std::optional<std::vector<std::string>> dropped = ccdcrc::dropped_file_command(line);
    const int status = ccdcrc::run_command_line(
        dropped ? *dropped : line, std::cout, std::cerr, ccdcrc::is_terminal(2),
        ccdcrc::colour_wanted(ccdcrc::ColourChoice::automatic, ccdcrc::is_terminal(1), std::getenv("NO_COLOR")));
    if (dropped) {
      std::cout.flush();
      end_dialogue();
    }
    return status;
  } catch (const std::bad_alloc&) {
    std::cerr << "ccdcrc: not enough memory\n";
  } catch (const std::exception& error) {
    std::cerr << "ccdcrc: " << error.what() << '\n';
  }
  return ccdcrc::exit_usage;
}
