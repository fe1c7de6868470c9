#pragma once
// Lists of approved CRCs for `check`: read through approvals/approved_list.h
// from a file or standard input, with the messages `check` gives about them.

#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "console/diagnostics.h"

namespace ccdcrc {

struct Baseline {
  std::map<std::string, std::string> crcs;  // IED name -> approved CRC
  // IED name -> why its approved CRC cannot be read: such an IED fails the
  // check, whatever else the list says of it.
  std::map<std::string, std::string> unreadable;
  std::optional<std::string> scd_crc;             // the approved SCD CRC, when listed
  std::optional<std::string> scd_crc_unreadable;  // why the SCD record's CRC cannot be read
  bool header_recorded = false;                   // the list records the SCD's Header
  std::optional<std::string> header_version;
  std::optional<std::string> header_revision;
  std::size_t malformed_lines = 0;  // lines that are no entry of a name, or repeat one
  bool incomplete = false;          // the rest of the list could not be read
};

// Reads a list ("-": standard input). Lines that are no entry are counted
// and, with `warn`, named as "PATH:LINE: reason" (so are entries whose CRC
// cannot be read); the first entry of a name is kept. Returns nullopt (after saying why) when the list cannot be read
// or has no entry at all.
std::optional<Baseline> read_baseline(const std::string& path, bool warn, Diagnostics& diagnostics);

}  // namespace ccdcrc
