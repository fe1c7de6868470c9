#pragma once
// Checking exported CCD files: does the CRC written into a file still match
// the file's own content?

#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "scd/scd.h"

namespace ccdcrc {

// True for a CRC text: eight upper-case hexadecimal digits.
bool is_crc_text(std::string_view text);

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
