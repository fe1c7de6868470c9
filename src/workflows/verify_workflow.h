#pragma once
// The `verify` workflow: exported CCD files against their own content and,
// with an SCD, against the CRCs it gives today.

#include <string>
#include <string_view>
#include <vector>

#include "operations/verification.h"
#include "scd/scd.h"
#include "workflows/notes.h"

namespace ccdcrc {

struct VerifyOutcome {
  std::vector<VerifiedFile> files;  // in the order given
  std::size_t failures = 0;         // files that are not ok
  // A file that could not be read, or an SCD read only in part: the run
  // answers for no approval.
  bool trouble = false;
  Notes notes;          // an SCD read in part, then each file's problem in turn
  std::string summary;  // "N of M CCD files did not verify"; empty when all did
};

// Verifies the files, comparing them with `scd` when given.
VerifyOutcome verify_files(const std::vector<std::string>& paths, const Scd* scd);

// The same of one file's content read already (an upload), named `name`.
VerifyOutcome verify_bytes(std::string_view bytes, const std::string& name, const Scd* scd);

}  // namespace ccdcrc
