#pragma once
// Loading the SCD of a command and finding the IEDs it names, with the
// messages that tell the user what went wrong and where.

#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "console/diagnostics.h"
#include "operations/crc_runs.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"

namespace ccdcrc {

// Loads the SCD; on failure reports "PATH: reason" or "PATH:LINE:COLUMN: reason"
// and returns null. On a terminal the user sees that loading is under way.
std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics);

// Warns when the root element is not SCL (the IEDs are still taken from under it).
void warn_about_root(const Scd& scd, Diagnostics& diagnostics);

// Every IED name of the SCD with the CRC that the listing gives it (jobs:
// threads, 0 one per core), showing progress; warns about names that
// several IEDs with circuits share.
std::vector<ListedCrc> list_crcs(const Scd& scd, unsigned jobs, Diagnostics& diagnostics);

// The lookup by name, with the messages of a command that names IEDs.
class NamedIeds {
 public:
  explicit NamedIeds(const Scd& scd) : scd_(scd), lookup_(scd) {}

  // Finds a named IED or reports why there is none: the root is not SCL, or
  // no IED has the name (with close names as suggestions). When several IEDs
  // share the name, warns "...; CONSEQUENCE" of the one taken, the first.
  pugi::xml_node find(const std::string& name, const std::string& consequence, Diagnostics& diagnostics) const;

  // Up to five names of the SCD that look like `name`: equal but for case,
  // starting with it, or a few edits away; the closest first.
  std::vector<std::string> close_names(const std::string& name) const;

 private:
  const Scd& scd_;
  IedLookup lookup_;
};

}  // namespace ccdcrc
