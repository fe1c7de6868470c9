#pragma once
// The results of `all` and `ied`: CRCs of some IEDs of each SCD given, and
// for `all` the SCD CRC with what identifies the file (its Header and SHA-256).

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "report/output.h"
#include "report/scd_revision.h"

namespace ccdcrc {

struct IedCrc {
  std::string name;
  std::optional<std::string> crc;  // nullopt: the IED failed, for `error`
  std::string error;               // why there is no CRC
};

struct CrcReport {
  std::string scd_path;
  std::vector<IedCrc> ieds;
  // From `all` only:
  std::optional<std::string> scd_crc;
  ScdHeader header;
  std::string sha256;
};

enum class CrcCommand { all, ied };

// Writes the report of each SCD in turn: alone as it always was, or with
// several SCDs one block per file in text (headed "PATH:"), one object per
// file in JSON, and in CSV records that carry the file under one header line.
class CrcReportWriter {
 public:
  CrcReportWriter(std::ostream& out, Format format, CrcCommand command, bool several)
      : out_(out), format_(format), command_(command), several_(several) {}

  void write(const CrcReport& report);

 private:
  void write_text(const CrcReport& report);
  void write_csv(const CrcReport& report);

  std::ostream& out_;
  Format format_;
  CrcCommand command_;
  bool several_;
  std::size_t written_ = 0;
};

}  // namespace ccdcrc
