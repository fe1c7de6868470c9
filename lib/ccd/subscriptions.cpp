// Subscription pass: the IED's inputs (ExtRef with an intAddr), indexed once,
// each one resolved to the publisher's data-set members it receives.

#include "ccd/builder.h"
#include "ccd/data_references.h"
#include "support/nodes.h"

namespace ccdcrc {

bool add_subscriptions(pugi::xml_node goosesub, pugi::xml_node svsub, const ScdLookups& scd, pugi::xml_node ied,
                       const NodeList& inputs, CcdPurpose purpose) {
  if (inputs.empty()) return true;

  // Complete before the first lookup: a data set maps every member to all inputs.
  std::vector<DataReference> references;
  std::vector<std::string> publisher_names;
  references.reserve(inputs.size());
  publisher_names.reserve(inputs.size());
  ExtRefIndex index;
  for (pugi::xml_node ext_ref : inputs) {
    const DataReference& reference = references.emplace_back(ext_ref);
    const std::string& publisher_name = publisher_names.emplace_back(attr(ext_ref, "iedName"));
    index[reference.key(publisher_name)].push_back(ext_ref);
  }

  SeenList goose_seen;
  SeenList sv_seen;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const DataReference& reference = references[i];
    pugi::xml_node publisher = scd.publisher_ldevice(publisher_names[i], reference.ld_inst);
    if (!publisher) continue;
    const NodeList members = scd.input_members(publisher, reference.ld_inst, reference.prefix, reference.ln_class,
                                               reference.ln_inst, reference.do_name, reference.da_name);
    add_subscribed_control_blocks(members, goosesub, ied, goose, publisher, goose_seen, index, scd, purpose);
    add_subscribed_control_blocks(members, svsub, ied, sampled_values, publisher, sv_seen, index, scd, purpose);
  }
  return false;
}

}  // namespace ccdcrc
