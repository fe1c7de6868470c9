#include "ccd/data_references.h"

#include <cstring>

#include "ccd/builder.h"
#include "util/text.h"

namespace ccdcrc {

DataReference::DataReference(pugi::xml_node element) {
  // One pass over the attributes; the first of a name counts, as in attr().
  struct Field {
    const char* name;
    std::string* value;
    bool seen;
  };
  Field fields[] = {{"prefix", &prefix, false},  {"ldInst", &ld_inst, false}, {"lnClass", &ln_class, false},
                    {"lnInst", &ln_inst, false}, {"doName", &do_name, false}, {"daName", &da_name, false}};
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    const char* name = attribute.name();
    for (Field& field : fields) {
      if (field.seen || std::strcmp(name, field.name) != 0) continue;
      field.seen = true;
      *field.value = attribute.value();
      break;
    }
  }
}

AttributeMap member_attributes(const ScdLookups& scd, pugi::xml_node member, const DataReference& reference,
                               pugi::xml_node ldevice) {
  AttributeMap attributes = attribute_map(member);
  if (!reference.da_name.empty()) {
    attributes["bType"] = resolve_btype(scd, reference, ldevice);
  }
  return attributes;
}

InstancePath instance_path_below_doi(const std::vector<std::string>& do_pieces, const std::string& da_name) {
  InstancePath path;
  if (do_pieces.size() > 1) path.sdi_names.assign(do_pieces.begin() + 1, do_pieces.end());
  std::vector<std::string> da_pieces = split(da_name, '.');
  if (!da_pieces.empty()) {
    path.dai_name = std::move(da_pieces.back());
    da_pieces.pop_back();
    path.sdi_names.insert(path.sdi_names.end(), da_pieces.begin(), da_pieces.end());
  }
  return path;
}

}  // namespace ccdcrc
