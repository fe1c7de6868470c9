#pragma once
// Loading the SCD for a command and finding the IEDs it names, with the
// messages that tell the user what went wrong and where.

#include <cstddef>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "console/diagnostics.h"
#include "crc/compare.h"
#include "crc/scd.h"

namespace ccdcrc {

// Loads the SCD; on failure reports "PATH: reason" or "PATH:LINE:COLUMN: reason"
// and returns null. On a terminal the user sees that loading is under way.
std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics);

// Warns when the root element is not SCL (the IEDs are still taken from under it).
void warn_about_root(const Scd& scd, Diagnostics& diagnostics);

// Every IED name of the SCD with the CRC that the all-IED runs list for it
// (jobs: threads, 0 one per core), showing progress; warns about names that
// several IEDs with circuits share.
std::vector<NamedIed> list_named_ieds(const Scd& scd, unsigned jobs, Diagnostics& diagnostics);

// The IEDs of a loaded SCD by name, built once per command.
class IedIndex {
 public:
  explicit IedIndex(const Scd& scd);

  // The IED a lookup by name finds: the first of that name under an SCL root.
  pugi::xml_node find(const std::string& name) const;

  // How many IED elements carry the name.
  std::size_t count(const std::string& name) const;

  // Up to five names of the SCD that look like `name`: equal but for case,
  // starting with it, or a few edits away; the closest first.
  std::vector<std::string> close_names(const std::string& name) const;

  // Finds a named IED or reports why there is none: the root is not SCL, or
  // no IED has the name (with close names as suggestions).
  pugi::xml_node find_or_report(const std::string& name, Diagnostics& diagnostics) const;

 private:
  std::string path_;
  std::string root_name_;
  std::map<std::string, std::vector<pugi::xml_node>> by_name_;
};

// 'NAME' for messages.
std::string quoted(const std::string& name);

// The user-facing reason for an IED without circuits.
inline constexpr const char* no_circuits_reason = "has no GOOSE or sampled-value circuits, so it has no CRC";

}  // namespace ccdcrc
