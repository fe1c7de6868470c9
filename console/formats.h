#pragma once
// The result formats of the commands: aligned text for people, JSON and CSV
// for programs. The JSON and CSV layouts are documented in the README and are
// read back by other tools (and by `check`): change them only compatibly.

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "crc/compare.h"
#include "crc/verify.h"

namespace ccdcrc {

enum class Format { text, json, csv };

struct IedCrc {
  std::string name;
  std::string crc;
};

// The CRCs of some IEDs of one SCD, and, for `all`, the SCD CRC.
struct CrcReport {
  std::string scd_path;
  std::vector<IedCrc> ieds;
  std::optional<std::string> scd_crc;
};

void write_report(std::ostream& out, Format format, const CrcReport& report);

// `diff`: every IED name of two SCDs, the two SCD CRCs, and what changed in
// the explained IEDs.
struct DiffReport {
  std::string old_path;
  std::string new_path;
  std::vector<IedCrcChange> ieds;
  std::string old_scd_crc;
  std::string new_scd_crc;
  std::map<std::string, CcdComparison> explanations;  // by IED name
  bool changes_only = false;                           // leave out the unchanged IEDs
};

void write_diff_report(std::ostream& out, Format format, const DiffReport& report);

// `check`: IEDs against a list of approved CRCs.
enum class CheckStatus { ok, changed, missing, added };

struct CheckedIed {
  std::string name;
  CheckStatus status = CheckStatus::ok;
  std::optional<std::string> approved_crc;
  std::optional<std::string> crc;
  bool in_scd = false;  // the SCD has an IED of the name (with or without a CRC)
};

struct CheckReport {
  std::string baseline_path;
  std::string scd_path;
  std::vector<CheckedIed> ieds;
  bool failures_only = false;
};

void write_check_report(std::ostream& out, Format format, const CheckReport& report);

// `verify`: exported CCD files against their own content and, optionally, the SCD.
enum class VerifyStatus { ok, modified, outdated, unreadable };

struct VerifiedFile {
  std::string path;
  VerifyStatus status = VerifyStatus::unreadable;
  CcdFileCheck check;
  std::optional<std::string> current_crc;  // the IED's CRC from the SCD
  std::string outdated_reason;             // when the SCD gives no CRC for the IED
};

struct VerifyReport {
  std::optional<std::string> scd_path;
  std::vector<VerifiedFile> files;
  bool failures_only = false;
};

void write_verify_report(std::ostream& out, Format format, const VerifyReport& report);

// A JSON string. Bytes that are not UTF-8 cannot be carried by JSON; they become U+FFFD.
std::string json_string(const std::string& text);

// A name as people read it: control characters become \n, \t or \xHH so that
// one result stays on one line.
std::string printable(const std::string& text);

// A CSV field, quoted when it holds a comma, a quote, CR or LF (RFC 4180).
std::string csv_field(const std::string& text);

// Aligned lines "NAME  VALUE..." for a column of names.
class NameColumn {
 public:
  explicit NameColumn(const std::vector<std::string>& names);
  // Writes the printable name padded to the column width plus two blanks.
  void write(std::ostream& out, const std::string& name) const;

 private:
  std::size_t width_ = 0;
};

}  // namespace ccdcrc
