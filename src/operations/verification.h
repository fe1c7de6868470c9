#pragma once
// Checking exported CCD files: does the CRC written into a file still match
// the file's own content?

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "scd/ied_selection.h"
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
// The same for the bytes of a file held in memory; `name` stands for them.
CcdFileCheck check_ccd_bytes(std::string_view bytes, const std::string& name);

// A file checked against its own content and, with an SCD, against the CRC
// the SCD gives its IED today.
enum class VerifyStatus {
  ok,
  modified,    // the content no longer gives the file's CRC
  outdated,    // the SCD gives another CRC, or none
  unreadable,  // see check.problem
};

// "ok", "modified", "outdated", "unreadable".
const char* verify_status_name(VerifyStatus status);

struct VerifiedFile {
  std::string path;
  VerifyStatus status = VerifyStatus::unreadable;
  CcdFileCheck check;
  std::optional<std::string> current_crc;  // the IED's CRC from the SCD
  std::string outdated_reason;             // when the SCD gives no CRC for the IED
  std::size_t shared_name_count = 0;       // IEDs of the SCD that carry the file's IED name
};

// The SCD that files are compared with: each file with the CRC that `all`
// lists for its IED's name, which is the IED that `export --all` writes.
class CurrentCrcs {
 public:
  explicit CurrentCrcs(const Scd& scd);
  const Scd& scd() const { return scd_; }

  // Compares a file whose content gives its CRC.
  void compare(VerifiedFile& file) const;

 private:
  const Scd& scd_;
  std::map<std::string, ListedIed> by_name_;
};

// Checks a CCD file, and compares it with `current` when given.
VerifiedFile verify_ccd_file(const std::string& path, const CurrentCrcs* current = nullptr);
// The same for the bytes of a file held in memory; `name` stands for them.
VerifiedFile verify_ccd_bytes(std::string_view bytes, const std::string& name, const CurrentCrcs* current = nullptr);

}  // namespace ccdcrc
