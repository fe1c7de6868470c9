#pragma once
// Every CCD file that `export --all` writes, as the members of one zip
// archive made in memory: for a front end that cannot write a folder.

#include <string>

#include "scd/scd.h"
#include "util/parallel.h"
#include "workflows/export_workflow.h"

namespace ccdcrc {

struct ZippedExport {
  std::string zip;        // the archive; empty when no file was written
  ExportOutcome outcome;  // written and failed as `export --all` tells them, each path a member's name
};

// The files of `export --all`, byte for byte, each NAME.ccd a member of the
// archive (the time of the archive's entries aside); the IEDs it refuses
// are refused in its words. `progress` counts the names done.
ZippedExport export_zip(const Scd& scd, const ProgressCallback& progress = {});

}  // namespace ccdcrc
