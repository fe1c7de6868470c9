#pragma once
// The words in which the program and the C interface tell what went wrong
// with an IED, so that both say the same.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "operations/export.h"
#include "operations/shown_ccd.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"

namespace ccdcrc {

// "IED 'NAME' has no GOOSE or sampled-value circuits, so it has no CRC"
std::string no_circuits_message(const std::string& ied_name);

// "not an SCD file: a CCD file; use verify" or what else the root element
// tells; nullopt for an SCL root (a namespace prefix allowed).
std::optional<std::string> not_an_scd_message(const std::string& root_name);

// "N IEDs named 'NAME' have circuits; the CRC of the last one is listed"
std::string shared_circuits_warning(std::size_t with_circuits, const std::string& ied_name);

// The warning about content that a loaded document leaves out.
std::string ignored_content_message(const IgnoredContent& ignored);

// Why an SCD with ignored content answers for no approval: every command and
// front end that answers for one fails with it.
std::string read_in_part_message(const IgnoredContent& ignored);

// Why an IED cannot be looked up by name under a root that is not SCL.
std::string not_scl_root_message(const std::string& ied_name, const std::string& root_name);

// Why the lookup by name found no IED of that name: the root is not SCL
// (not_scl_root_message), or no IED has it (with close names as suggestions,
// or that the file has no IED at all).
std::string unknown_ied_message(const Scd& scd, const IedLookup& lookup, const std::string& ied_name);

// Why no IED of an SCD has a CRC: it holds none, or none has circuits.
std::string no_circuits_in_scd_message(const Scd& scd);

// The warning for a name that `count` IEDs share, and what was done about it:
// "COUNT IEDs are named 'NAME'; CONSEQUENCE".
std::string shared_name_warning(std::size_t count, const std::string& name, std::string_view consequence);

// Why a CCD is not shown (no circuits, too deep); empty for one shown.
std::string shown_ccd_message(const std::string& ied_name, const ShownCcd& shown);

// Why an IED's CCD is not shown: it nests deeper than a file may.
std::string too_deep_to_show_message(const std::string& ied_name, std::size_t depth);

// What a failed export concerns and why: the SCD (an IED that cannot be
// exported) or the file that could not be written.
struct ExportFailure {
  bool concerns_file = false;
  std::string reason;
};
ExportFailure export_failure(const std::string& ied_name, const ExportResult& result);

}  // namespace ccdcrc
