#pragma once
// CRC runs: one IED or every IED of an SCD, and the SCD CRC over all of them.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "ccd/builder.h"
#include "crc/parallel.h"
#include "crc/scd.h"

namespace ccdcrc {

// IED name -> CRC text, names in byte-wise order, one entry per distinct name.
using IedCrcMap = std::map<std::string, std::string>;

// A built CCD. `nothing_found` is set when the IED has no circuits and so no CRC.
struct Ccd {
  pugi::xml_document document;
  pugi::xml_node root;
  bool nothing_found = true;
};

// Builds the CCD of one IED as it is exported (not finished), or as it is
// measured (to be finished: see CcdPurpose).
std::unique_ptr<Ccd> build_ied_ccd(const Scd& scd, pugi::xml_node ied, CcdPurpose purpose = CcdPurpose::exported);

// The CRC text of one IED of a loaded SCD; nullopt when it has no circuits.
std::optional<std::string> ied_crc(const Scd& scd, pugi::xml_node ied);

// The CRC text of each of these IEDs, in their order (nullopt: no circuits).
// With jobs other than 1 the IEDs are built in parallel (0: one thread per
// core); the results are the same.
std::vector<std::optional<std::string>> ied_crcs(const Scd& scd, const std::vector<pugi::xml_node>& ieds,
                                                 unsigned jobs = 1, const ProgressCallback& progress = {});

// Every IED with a CRC; for IEDs sharing a name the last one wins.
IedCrcMap all_ied_crcs(const Scd& scd, unsigned jobs = 1, const ProgressCallback& progress = {});

// CRC text of the concatenated CRC texts in map order ("00000000" when empty).
std::string scd_crc(IedCrcMap map);

// The same, loading the SCD from a path; unloadable files and unknown or
// circuit-less IEDs give the empty text and the empty map.
std::string run_ied_crc(const std::string& scd_path, const std::string& ied_name);
IedCrcMap run_all_ied_crcs(const std::string& scd_path);

}  // namespace ccdcrc
