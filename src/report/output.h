#pragma once
// How results are written: aligned text for people, JSON and CSV for programs.
// The JSON and CSV layouts are documented in the README and read back by
// other tools (and by `check`): change them only compatibly.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "util/text.h"

namespace ccdcrc {

enum class Format { text, json, csv };

// A CSV field, quoted when it holds a comma, a quote, CR or LF (RFC 4180);
// one that a spreadsheet would run as a formula (=, +, -, @, tab or CR first,
// and more after it) begins with an apostrophe, which lists read back without.
std::string csv_field(const std::string& text);

// A text, or null.
inline nlohmann::ordered_json json_text(const std::optional<std::string>& text) {
  return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

// Writes a report a piece at a time: its members one per line; an array of
// objects with one element per line; everything else on the line where it
// starts. Bytes of texts that are not UTF-8 become U+FFFD. Objects and arrays
// are opened and closed around members and items given whole (scalars, in
// practice); an array opened here holds objects or arrays only, each on a
// line of its own. No report is held whole as a JSON tree: a large one would
// not fit, and a tree allocates to destroy itself, which ends the process
// when memory has run out.
class JsonStream {
 public:
  explicit JsonStream(std::ostream& out) : out_(out) {}

  void open_object();
  void open_array();
  // The name of the next member of the object opened last.
  void key(const std::string& name);
  // A member's value or an array's item, whole.
  void value(const nlohmann::ordered_json& value);
  void member(const std::string& name, const nlohmann::ordered_json& value) {
    key(name);
    this->value(value);
  }
  // Closes what was opened last; the report ends with a line feed.
  void close();

 private:
  struct Level {
    bool object = false;
    bool members_on_lines = false;  // the report itself: one member per line
    std::size_t indent = 0;         // blanks before the line on which it starts
    std::size_t count = 0;          // members or items so far
  };
  // Where the next value starts, after the separator it needs.
  std::size_t start_value();

  std::ostream& out_;
  std::vector<Level> levels_;
};

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
