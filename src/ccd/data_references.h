#pragma once
// The reference to a data object or attribute that data-set members (FCDA) and
// inputs (ExtRef) carry in the same attributes, and what the builder derives
// from it.

#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "scd/lookups.h"
#include "util/nodes.h"

namespace ccdcrc {

struct DataReference {
  std::string prefix, ld_inst, ln_class, ln_inst, do_name, da_name;  // empty when missing

  DataReference() = default;
  explicit DataReference(pugi::xml_node element);

  // What binds an input to a member: the values and the publishing IED's name
  // joined without separators (so different splits of one text collide).
  std::string key(const std::string& ied_name) const {
    return prefix + ld_inst + ied_name + ln_class + ln_inst + do_name + da_name;
  }
};

// A member's own attributes, plus its basic type when it names a data attribute.
AttributeMap member_attributes(const ScdLookups& scd, pugi::xml_node member, const DataReference& reference,
                               pugi::xml_node ldevice);

// The way from a DOI down to what a member names: an SDI per further doName
// piece and per daName piece but the last, and the last daName piece as DAI.
struct InstancePath {
  std::vector<std::string> sdi_names;
  std::optional<std::string> dai_name;
};
InstancePath instance_path_below_doi(const std::vector<std::string>& do_pieces, const std::string& da_name);

}  // namespace ccdcrc
