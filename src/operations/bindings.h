#pragma once
// Inputs that resolve to nothing, and what changed in an IED outside the
// content its CRC covers: what an SCD says beside its CRCs. The builder tells
// which inputs its CCD binds to nothing, so that "resolves" means what it
// means to a CCD; the reasons are read with the builder's own lookups.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <pugixml.hpp>

#include "operations/crc_runs.h"
#include "scd/scd.h"

namespace ccdcrc {

// An input (ExtRef with an internal address) that the builder binds to no
// member of any data set a control block sends.
struct BrokenBinding {
  std::string ied;       // the subscriber
  std::string source;    // what it would receive: "PL1101PROT/PTRC1.Tr.general"
  std::string int_addr;  // where it would take it
  std::string reason;    // e.g. "PL1101PROT/LLN0.dsTrip has no member PTRC1.Tr.general"

  // What tells the input apart from others, also in another revision, where
  // the reason may differ.
  std::tuple<std::string_view, std::string_view, std::string_view> input() const { return {ied, source, int_addr}; }
};

// The broken bindings of every IED the listing takes, by IED name, each in the
// order of its inputs: what the CRC run that made `listed` found unbound.
std::vector<BrokenBinding> broken_bindings(const Scd& scd, const std::vector<ListedCrc>& listed);

// The bindings broken in NEW that were not in OLD (`broken`), those broken in
// both (`still_broken`), and those of OLD that NEW mends (`mended`); an IED
// that NEW no longer has mends nothing. Each in its revision's order.
struct BindingChanges {
  std::vector<BrokenBinding> broken;
  std::vector<BrokenBinding> still_broken;
  std::vector<BrokenBinding> mended;
};
BindingChanges compare_bindings(const std::vector<BrokenBinding>& old_bindings,
                                const std::vector<BrokenBinding>& new_bindings, const Scd& new_scd);
// The same where NEW is known by its IED names alone: `has_ied` says whether NEW has an IED of a name.
BindingChanges compare_bindings(const std::vector<BrokenBinding>& old_bindings,
                                const std::vector<BrokenBinding>& new_bindings,
                                const std::function<bool(const std::string&)>& has_ied);

// Where two revisions of an IED element differ, as a path of elements
// ("IED/AccessPoint[S1]/Server/LDevice[PROT]/LN0/Inputs/ExtRef[2] intAddr"), and
// how many elements differ; nullopt when they are the same.
struct ElementDifference {
  std::string first;
  std::size_t elements = 0;
};
std::optional<ElementDifference> element_difference(pugi::xml_node old_element, pugi::xml_node new_element);

// The IED elements of a listing's IEDs with a CRC, kept compressed (zlib) so
// that they outlive their document; compared with another revision's
// elements as element_difference compares them.
class KeptIedElements {
 public:
  KeptIedElements(const std::vector<ListedCrc>& listed, unsigned jobs);
  // Where the kept element of `name` differs from `element`; nullopt when it
  // does not, or when no element of the name was kept.
  std::optional<ElementDifference> difference(const std::string& name, pugi::xml_node element) const;

 private:
  struct Packed {
    std::string bytes;     // the element as pugixml writes it, compressed
    std::size_t size = 0;  // before compression
  };
  std::map<std::string, Packed> packed_;
};

}  // namespace ccdcrc
