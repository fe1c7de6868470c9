#pragma once
// The results of `all` and `ied`: CRCs of some IEDs of one SCD, and for `all`
// the SCD CRC.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console/output.h"

namespace ccdcrc {

struct IedCrc {
  std::string name;
  std::string crc;
};

struct CrcReport {
  std::string scd_path;
  std::vector<IedCrc> ieds;
  std::optional<std::string> scd_crc;
};

void write_crc_report(std::ostream& out, Format format, const CrcReport& report);

}  // namespace ccdcrc
