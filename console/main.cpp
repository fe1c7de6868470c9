// ccdcrc: without arguments the interactive menu, with arguments the command line.

#include <iostream>

#include "console/commands.h"
#include "console/dialogue.h"
#include "console/memory.h"

int main(int argc, char** argv) {
  ccdcrc::keep_freed_memory();
  if (argc <= 1) return ccdcrc::run_dialogue(std::cin, std::cout);
  return ccdcrc::run_commands(argc, argv);
}
