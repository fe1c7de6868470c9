#pragma once
// The one way from an IED of a loaded SCD to its CCD and its CRC:
//
//   build    the CCD, as exported (with every description) or as measured
//            (only what the finishing pass keeps, see CcdPurpose);
//   copy     a built CCD into a document of its own, so that the original
//            keeps its content;
//   finish   reduce the copy to what the CRC covers (finish_ccd);
//   measure  the CRC of its canonical text (ccd_crc_text).
//
// Every CRC, CCD file, comparison and verification goes through these steps.

#include <memory>
#include <optional>
#include <string>

#include <pugixml.hpp>

#include "ccd/builder.h"
#include "scd/scd.h"

namespace ccdcrc {

// A built CCD. `nothing_found` is set when the IED has no circuits and so no CRC.
struct Ccd {
  pugi::xml_document document;
  pugi::xml_node root;
  bool nothing_found = true;
};

// `unbound_inputs`: as for build_ccd.
std::unique_ptr<Ccd> build_ied_ccd(const Scd& scd, pugi::xml_node ied, CcdPurpose purpose = CcdPurpose::exported,
                                   NodeList* unbound_inputs = nullptr);

// A finished copy of a CCD, with its CRC.
struct FinishedCcd {
  pugi::xml_document document;
  pugi::xml_node root;
  std::string crc;
};

// Copies a CCD's IED element into a document of its own, leaving out CRC
// elements (an exported file carries one, and its CRC does not cover it),
// then finishes and measures the copy.
std::unique_ptr<FinishedCcd> finish_copy(pugi::xml_node ccd_root);

// The CRC text of one IED; nullopt when it has no circuits. Built as
// measured and finished in place: the quickest way to the same CRC.
// `unbound_inputs`: as for build_ccd.
std::optional<std::string> ied_crc(const Scd& scd, pugi::xml_node ied, NodeList* unbound_inputs = nullptr);

}  // namespace ccdcrc
