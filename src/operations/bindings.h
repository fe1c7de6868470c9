#pragma once
// Inputs that resolve to nothing, and what changed in an IED outside the
// content its CRC covers: what an SCD says beside its CRCs, read with the
// builder's own lookups so that "resolves" means what it means to a CCD.

#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "scd/scd.h"

namespace ccdcrc {

// An input (ExtRef with an internal address) that the builder binds to no
// member of any data set a control block sends.
struct BrokenBinding {
  std::string ied;       // the subscriber
  std::string source;    // what it would receive: "PL1101PROT/PTRC1.Tr.general"
  std::string int_addr;  // where it would take it
  std::string reason;    // e.g. "PL1101PROT/LLN0.dsTrip has no member PTRC1.Tr.general"

  // The same input in two revisions: the reason may differ.
  bool same_input(const BrokenBinding& other) const {
    return ied == other.ied && source == other.source && int_addr == other.int_addr;
  }
};

// The broken bindings of one IED, in the order of its inputs.
std::vector<BrokenBinding> broken_bindings(const Scd& scd, pugi::xml_node ied);

// Those of every IED the listing takes (scd/ied_selection.h), by IED name,
// found on up to `jobs` threads (0: one per core).
std::vector<BrokenBinding> broken_bindings(const Scd& scd, unsigned jobs = 1);

// The bindings broken in NEW that were not in OLD (`broken`), and those of OLD
// that NEW mends (`mended`); an IED that NEW no longer has mends nothing.
struct BindingChanges {
  std::vector<BrokenBinding> broken;
  std::vector<BrokenBinding> mended;
};
BindingChanges compare_bindings(const std::vector<BrokenBinding>& old_bindings,
                                const std::vector<BrokenBinding>& new_bindings, const Scd& new_scd);

// Where two revisions of an IED element differ, as a path of elements
// ("IED/AccessPoint[S1]/Server/LDevice[PROT]/LN0/Inputs/ExtRef[2] intAddr"), and
// how many elements differ; nullopt when they are the same.
struct ElementDifference {
  std::string first;
  std::size_t elements = 0;
};
std::optional<ElementDifference> element_difference(pugi::xml_node old_element, pugi::xml_node new_element);

}  // namespace ccdcrc
