#pragma once
// Export of an IED's CCD file: the CCD as built, with all descriptions, and a
// last CRC element carrying the CRC of its finished copy and the local time.

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "crc/runs.h"
#include "crc/scd.h"

namespace ccdcrc {

enum class ExportStatus { written, no_circuits, unsafe_name, write_failed };

struct ExportResult {
  ExportStatus status = ExportStatus::write_failed;
  std::string path;     // the file written, or the one that could not be
  std::string crc;      // the CRC text in the file
  std::string message;  // why it failed
};

// Makes `target` a CCD document of its own: the declaration, then a deep copy
// of the CCD's IED element, which it returns. A CRC is measured on such a copy
// once it is finished, so that the original keeps its full content.
pugi::xml_node copy_ccd(pugi::xml_document& target, pugi::xml_node ccd_root);

// The exported document of an IED (with its CRC element); null when the IED has
// no circuits. `crc` receives the CRC text.
std::unique_ptr<Ccd> export_document(const Scd& scd, pugi::xml_node ied, std::string* crc = nullptr);

// False for names that would leave the directory: empty, ".", "..", or with "/" or "\".
bool is_safe_file_name(const std::string& ied_name);

// Writes directory + "/" + IED name + ".ccd". The file is written next to its
// target and renamed over it only when complete.
ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const std::string& directory);

}  // namespace ccdcrc
