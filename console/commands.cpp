#include "console/commands.h"

#include <iostream>
#include <string>

#include "crc/runs.h"
#include "crc/scd.h"

namespace ccdcrc {

int run_commands(int argc, char** argv) {
  const std::string command = argv[1];
  if (command == "all" && argc == 3) {
    LoadProblem problem;
    std::unique_ptr<Scd> scd = Scd::load(argv[2], &problem);
    if (!scd) {
      std::cerr << "ccdcrc: " << argv[2] << ": " << problem.message << "\n";
      return 2;
    }
    const IedCrcMap crcs = all_ied_crcs(*scd);
    for (const auto& [name, crc] : crcs) std::cout << name << " " << crc << "\n";
    std::cout << "SCD " << scd_crc(crcs) << "\n";
    return 0;
  }
  std::cerr << "usage: ccdcrc [all SCD]\n";
  return 2;
}

}  // namespace ccdcrc
