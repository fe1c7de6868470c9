#pragma once
// The `load` workflow: an SCD opened from a path or from bytes, as every front
// end opens one, with what it learnt and what it has to say.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "operations/scd_input.h"
#include "workflows/notes.h"

namespace ccdcrc {

struct OpenedScd {
  std::unique_ptr<Scd> scd;            // null when it could not be opened
  ScdFile file;                        // what was learnt of its file
  std::optional<LoadProblem> problem;  // why it could not be opened
  // The SCD is read only in part (it answers for no approval): set for an SCD
  // that was taken all the same.
  std::optional<LoadProblem> read_in_part;
  Notes notes;  // content the document leaves out, told as a warning
};

// `whole`: an SCD read only in part is refused (a front end that shows CRCs
// refuses it; the program takes it and fails what answers for an approval).
OpenedScd open_scd(const std::string& path, const ScdReading& reading, bool whole,
                   const BeforeParse& before_parse = {});
OpenedScd open_scd_bytes(std::string_view bytes, const std::string& name, const ScdReading& reading, bool whole);
// Bytes read by the caller into a text of their own (the page), parsed where they lie.
OpenedScd open_scd_text(SourceText text, const std::string& name, const ScdReading& reading, bool whole);

}  // namespace ccdcrc
