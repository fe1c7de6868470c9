// The data set of a published control block: its members with basic type,
// description and the instance data (DOI or DAI) they point to.

#include "ccd/builder.h"
#include "ccd/data_references.h"
#include "util/nodes.h"
#include "util/text.h"

namespace ccdcrc {

void add_published_data_set(const ScdLookups& scd, pugi::xml_node ln0, pugi::xml_node reference_element,
                            const std::string& data_set_name) {
  pugi::xml_node source = scd.data_set_in_ln0(ln0, data_set_name);
  if (!source) return;
  pugi::xml_node ldevice = ln0.parent();
  pugi::xml_node data_set = add_element(reference_element, "DataSet");
  copy_attributes(source, data_set);

  for (pugi::xml_node member : child_elements(source, "FCDA")) {
    const DataReference reference(member);
    pugi::xml_node fcda = add_element(data_set, "FCDA");
    const std::vector<std::string> do_pieces = split(reference.do_name, '.');
    if (do_pieces.empty()) continue;

    AttributeMap attributes = member_attributes(scd, member, reference, ldevice);
    pugi::xml_node doi =
        scd.instance_doi(ldevice, reference.prefix, reference.ln_inst, reference.ln_class, do_pieces.front());
    if (doi) {
      attributes["desc"] = attr(doi, "desc");
      if (reference.da_name.empty()) {
        copy_element_tree(fcda, doi);
      } else {
        // A member of a data attribute shows the DAI, and its description when it has one.
        const InstancePath path = instance_path_below_doi(do_pieces, reference.da_name);
        if (pugi::xml_node dai = scd.instance_path(doi, path.sdi_names, &*path.dai_name)) {
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
