// The data set of a published control block: its members with basic type,
// description and the instance data (DOI or DAI) they point to.

#include "ccd/builder.h"
#include "support/nodes.h"
#include "support/text.h"

namespace ccdcrc {

void add_published_data_set(const ScdLookups& scd, pugi::xml_node ln0, pugi::xml_node reference,
                            const std::string& data_set_name) {
  pugi::xml_node source = scd.data_set_in_ln0(ln0, data_set_name);
  if (!source) return;
  pugi::xml_node ldevice = ln0.parent();
  pugi::xml_node data_set = reference.append_child("DataSet");
  copy_attributes(source, data_set);

  for (pugi::xml_node member : child_elements(source, "FCDA")) {
    const std::string prefix = attr(member, "prefix");
    const std::string ln_inst = attr(member, "lnInst");
    const std::string ln_class = attr(member, "lnClass");
    const std::string do_name = attr(member, "doName");
    const std::string da_name = attr(member, "daName");
    pugi::xml_node fcda = data_set.append_child("FCDA");
    const std::vector<std::string> do_pieces = split(do_name, '.');
    if (do_pieces.empty()) continue;

    AttributeMap attributes = attribute_map(member);
    if (!da_name.empty()) {
      attributes["bType"] = resolve_btype(da_name, do_name, prefix, ln_inst, ln_class, ldevice, scd);
    }
    pugi::xml_node doi = scd.instance_doi(ldevice, prefix, ln_inst, ln_class, do_pieces.front());
    if (doi) {
      attributes["desc"] = attr(doi, "desc");
      if (da_name.empty()) {
        copy_element_tree(fcda, doi);
      } else {
        std::vector<std::string> steps(do_pieces.begin() + 1, do_pieces.end());
        std::vector<std::string> da_pieces = split(da_name, '.');
        const std::string dai_name = da_pieces.back();
        steps.insert(steps.end(), da_pieces.begin(), da_pieces.end() - 1);
        pugi::xml_node dai = scd.instance_path(doi, steps, &dai_name);
        if (dai) {
          std::string dai_desc = attr(dai, "desc");
          if (!dai_desc.empty()) attributes["desc"] = std::move(dai_desc);
          copy_element_tree(fcda, dai);
        }
      }
    }
    append_attributes(fcda, attributes);
  }
}

}  // namespace ccdcrc
