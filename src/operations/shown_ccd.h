#pragma once
// An IED's CCD as it is shown to a reader (the `ccd` command, the C
// interface's CCD text): as exported, with its CRC element and time, or as
// measured, the finished copy its CRC is computed over.

#include <cstddef>
#include <memory>

#include <pugixml.hpp>

#include "operations/ccd_pipeline.h"
#include "scd/scd.h"

namespace ccdcrc {

enum class CcdForm { exported, measured };

struct ShownCcd {
  enum class Status { shown, no_circuits, too_deep };
  Status status = Status::no_circuits;
  std::size_t depth = 0;  // the nesting depth, when too deep to be shown
  std::unique_ptr<Ccd> built;
  std::unique_ptr<FinishedCcd> finished;  // with CcdForm::measured

  // The document to serialise with save_ccd; only when shown.
  const pugi::xml_document& document() const { return finished ? finished->document : built->document; }
};

// Builds the CCD of an IED in the form asked for. Like CCD files, a CCD that
// nests more than max_written_depth levels is not shown.
ShownCcd show_ccd(const Scd& scd, pugi::xml_node ied, CcdForm form);

}  // namespace ccdcrc
