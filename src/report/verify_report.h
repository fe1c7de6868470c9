#pragma once
// The results of `verify`: each CCD file with its status and CRCs.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "operations/verification.h"
#include "report/output.h"
#include "report/style.h"

namespace ccdcrc {

// Writes the files as text (its statuses in `style`), JSON or CSV;
// `scd_path` is the SCD they were compared with, when one was given.
void write_verify_report(std::ostream& out, Format format, const std::optional<std::string>& scd_path,
                         const std::vector<const VerifiedFile*>& files, const TextStyle& style = {});

}  // namespace ccdcrc
