// Subscription pass: the IED's inputs (ExtRef with an intAddr), indexed once,
// each one resolved to the publisher's data-set members it receives.

#include "ccd/builder.h"
#include "support/nodes.h"

namespace ccdcrc {

bool add_subscriptions(pugi::xml_node goosesub, pugi::xml_node svsub, const ScdLookups& scd, pugi::xml_node ied) {
  const NodeList inputs = scd.inputs(ied);
  if (inputs.empty()) return true;

  // Complete before the first lookup: a data set maps every member to all inputs.
  ExtRefIndex index;
  for (pugi::xml_node ext_ref : inputs) {
    std::string key = attr(ext_ref, "prefix") + attr(ext_ref, "ldInst") + attr(ext_ref, "iedName") +
                      attr(ext_ref, "lnClass") + attr(ext_ref, "lnInst") + attr(ext_ref, "doName") +
                      attr(ext_ref, "daName");
    index.emplace(std::move(key), ext_ref);  // goes after equal keys
  }

  SeenList goose_seen;
  SeenList sv_seen;
  for (pugi::xml_node ext_ref : inputs) {
    const std::string ied_name = attr(ext_ref, "iedName");
    const std::string ld_inst = attr(ext_ref, "ldInst");
    pugi::xml_node publisher = scd.publisher_ldevice(ied_name, ld_inst);
    if (!publisher) continue;
    const NodeList members = scd.input_members(publisher, ld_inst, attr(ext_ref, "prefix"), attr(ext_ref, "lnClass"),
                                               attr(ext_ref, "lnInst"), attr(ext_ref, "doName"),
                                               attr(ext_ref, "daName"));
    add_subscribed_control_blocks(members, goosesub, ied, goose, publisher, goose_seen, index, scd);
    add_subscribed_control_blocks(members, svsub, ied, sampled_values, publisher, sv_seen, index, scd);
  }
  return false;
}

}  // namespace ccdcrc
