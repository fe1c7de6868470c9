#pragma once
// What a workflow tells beside its results, in the library's words: an error,
// a warning or a plain note, and the place it concerns. A front end prints
// them as they are (the program as "ccdcrc: WHERE: [warning: ]TEXT").

#include <string>
#include <vector>

namespace ccdcrc {

struct Note {
  enum class Severity { error, warning, info };
  Severity severity = Severity::info;
  std::string where;  // "PATH" or "PATH:LINE:COLUMN"; empty when it concerns no file
  std::string text;
};

using Notes = std::vector<Note>;

inline void add_error(Notes& notes, std::string where, std::string text) {
  notes.push_back({Note::Severity::error, std::move(where), std::move(text)});
}
inline void add_warning(Notes& notes, std::string where, std::string text) {
  notes.push_back({Note::Severity::warning, std::move(where), std::move(text)});
}
inline void add_info(Notes& notes, std::string where, std::string text) {
  notes.push_back({Note::Severity::info, std::move(where), std::move(text)});
}

// "WHERE: [warning: ]TEXT", or "TEXT" for a note that concerns no file.
inline std::string note_text(const Note& note) {
  const std::string severity = note.severity == Note::Severity::warning ? "warning: " : "";
  return note.where.empty() ? severity + note.text : note.where + ": " + severity + note.text;
}

}  // namespace ccdcrc
