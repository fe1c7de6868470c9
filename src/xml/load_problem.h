#pragma once
// Why an input could not be loaded, whatever stopped it: the file (opening,
// reading), an archive (damaged, which member), the XML (not well-formed, an
// archive beside it), or what the document is (not an SCD, read only in
// part). Every loader and every front end tells a failed load with this one
// account.

#include <string>
#include <utility>
#include <vector>

#include "xml/source_text.h"

namespace ccdcrc {

struct LoadProblem {
  enum class Kind {
    not_found,
    permission_denied,
    not_a_file,
    empty,
    too_large,
    read_error,
    out_of_memory,
    damaged_archive,
    member_choice,  // the archive has no such member, several SCL files, or none
    malformed,      // not well-formed XML
    ambiguous,      // the file holds an archive beside the XML document, which other readers take instead
    not_scl,        // well-formed, but its root element is not SCL
    read_in_part,   // loaded, but content of the text is left out (Scd::ignored_content)
  };
  LoadProblem() = default;
  LoadProblem(Kind kind_, std::string message_, TextPosition position_ = {}, int system_error_ = 0)
      : kind(kind_), message(std::move(message_)), position(position_), system_error(system_error_) {}

  Kind kind = Kind::read_error;
  std::string message;               // in words, without the name
  TextPosition position;             // in the text, when known
  int system_error = 0;              // the errno of a failed open or read (EISDIR for a directory); 0 for none
  std::vector<std::string> members;  // member_choice: the members to choose from
  std::string name;                  // the path, or "PATH(MEMBER)" for a zip member
  std::string member;                // the zip member read or asked for

  // "NAME" or "NAME:LINE:COLUMN", where the message points.
  std::string where() const { return location(name, position); }
  // "WHERE: MESSAGE", as every front end tells it.
  std::string text() const { return where() + ": " + message; }
};

}  // namespace ccdcrc
