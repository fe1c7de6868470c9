#pragma once
// Checking exported CCD files: does the CRC written into a file still match
// the file's own content?

#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "crc/scd.h"

namespace ccdcrc {

// True for a CRC text: eight upper-case hexadecimal digits.
bool is_crc_text(std::string_view text);

// The CRC of an exported CCD's content: its IED element without the CRC
// element, finished and measured like a CCD built from the SCD.
std::string ccd_content_crc(pugi::xml_node ccd_root);

enum class CcdFileStatus {
  ok,          // the content gives the CRC written in the file
  modified,    // the content no longer gives it
  unreadable,  // not a CCD file with a CRC: see `problem`
};

struct CcdFileCheck {
  CcdFileStatus status = CcdFileStatus::unreadable;
  std::string ied_name;     // the name attribute of the IED element
  std::string file_crc;     // the id of the CRC element
  std::string content_crc;  // the CRC of the content
  std::string problem;      // why the file is unreadable, in words for the user
  TextPosition position;    // where the problem is, when known
};

// Reads a CCD file with the parse options of an SCD and checks its CRC.
CcdFileCheck check_ccd_file(const std::string& path);

}  // namespace ccdcrc
