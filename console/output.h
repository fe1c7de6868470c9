#pragma once
// How results are written: aligned text for people, JSON and CSV for programs.
// The JSON and CSV layouts are documented in the README and read back by
// other tools (and by `check`): change them only compatibly.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "util/text.h"

namespace ccdcrc {

enum class Format { text, json, csv };

// A CSV field, quoted when it holds a comma, a quote, CR or LF (RFC 4180).
std::string csv_field(const std::string& text);

// Writes a report object: its members one per line; an array of objects with
// one element per line; everything else on the line where it starts. Bytes
// of texts that are not UTF-8 become U+FFFD.
void write_json(std::ostream& out, const nlohmann::ordered_json& report);

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
