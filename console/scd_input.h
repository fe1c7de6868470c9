#pragma once
// Loading the SCD of a command and finding the IEDs it names, with the
// messages that tell the user what went wrong and where.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <pugixml.hpp>

#include "console/diagnostics.h"
#include "operations/crc_runs.h"
#include "operations/loading.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"
#include "workflows/named_ieds.h"

namespace ccdcrc {

// Reads and loads an SCD: a path, or "-" for standard input; plain, gzip or
// zip. On failure reports "PATH: reason" or "PATH:LINE:COLUMN: reason"
// ("ARCHIVE(MEMBER):LINE:COLUMN" in a zip member) and returns null; an XML
// file whose root element is not SCL is refused, saying what it is. Warns
// about content the document leaves out. On a terminal the user sees that
// loading is under way.
std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics, const ScdReading& reading = {},
                              ScdFile* file = nullptr);

// An SCD read only in part answers for no approval: says so, and gives
// exit_usage for the command's status; exit_ok for an SCD read whole.
int read_in_part_status(const Scd& scd, Diagnostics& diagnostics);

// Adds --member, for SCDs read from zip archives.
void add_member_option(CLI::App& command, std::string& member);

// A usage error when "-" (standard input) is given more than once: it can be
// read only once. Returns exit_ok when it is not.
int check_standard_input_once(Diagnostics& diagnostics, const std::string& command,
                              const std::vector<std::string>& paths);

// Every IED name of the SCD with the CRC that the listing gives it (jobs:
// threads, 0 one per core), showing progress; warns about names that
// several IEDs with circuits share.
std::vector<ListedCrc> list_crcs(const Scd& scd, unsigned jobs, Diagnostics& diagnostics);

}  // namespace ccdcrc
