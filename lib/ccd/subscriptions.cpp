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
  ExtRefIndex index;
  for (pugi::xml_node ext_ref : inputs) {
    index.emplace(DataReference(ext_ref).key(attr(ext_ref, "iedName")), ext_ref);  // goes after equal keys
  }

  SeenList goose_seen;
  SeenList sv_seen;
  for (pugi::xml_node ext_ref : inputs) {
    const DataReference reference(ext_ref);
    pugi::xml_node publisher = scd.publisher_ldevice(attr(ext_ref, "iedName"), reference.ld_inst);
    if (!publisher) continue;
    const NodeList members = scd.input_members(publisher, reference.ld_inst, reference.prefix, reference.ln_class,
                                               reference.ln_inst, reference.do_name, reference.da_name);
    add_subscribed_control_blocks(members, goosesub, ied, goose, publisher, goose_seen, index, scd, purpose);
    add_subscribed_control_blocks(members, svsub, ied, sampled_values, publisher, sv_seen, index, scd, purpose);
  }
  return false;
}

}  // namespace ccdcrc
