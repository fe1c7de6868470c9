#pragma once
// The result formats of `all` and `ied`: aligned text for people, JSON and CSV
// for programs. The JSON and CSV layouts are documented in the README and are
// read back by other tools: change them only compatibly.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

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
