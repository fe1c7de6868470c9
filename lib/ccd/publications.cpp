// Publication pass: one GOCBref/SMVCBref per control block that the IED sends,
// with the control block, its reduced ConnectedAP entry and its data set.

#include <cstring>

#include "ccd/builder.h"
#include "support/nodes.h"

namespace ccdcrc {

bool add_publications(pugi::xml_node goosepub, pugi::xml_node svpub, const ScdLookups& scd,
                      const CircuitSources& sources) {
  bool publishes_nothing = true;
  for (const auto& [access_point, blocks] : sources.access_points) {
    if (!blocks[goose].empty() || !blocks[sampled_values].empty()) publishes_nothing = false;
    add_control_block_refs(goosepub, blocks[goose], goose, scd);
    add_control_block_refs(svpub, blocks[sampled_values], sampled_values, scd);
  }
  return publishes_nothing;
}

void add_control_block_refs(pugi::xml_node section, const NodeList& control_blocks, ControlBlockKind kind,
                            const ScdLookups& scd) {
  for (pugi::xml_node control_block : control_blocks) {
    pugi::xml_node ln0 = control_block.parent();
    pugi::xml_node ldevice = ln0.parent();
    pugi::xml_node access_point = ldevice.parent().parent();
    pugi::xml_node ied = access_point.parent();
    const std::string cb_name = attr(control_block, "name");
    const std::string data_set_name = attr(control_block, "datSet");
    const std::string ld_inst = attr(ldevice, "inst");
    const std::string ap_name = attr(access_point, "name");
    const std::string ied_name = attr(ied, "name");

    pugi::xml_node reference = section.append_child(reference_element(kind));
    reference.append_attribute("name").set_value(control_block_reference(ied_name, ld_inst, kind, cb_name).c_str());
    copy_element_tree(reference, control_block);
    add_connected_ap(scd, reference, ied_name, ap_name, cb_name, ld_inst, kind);
    add_published_data_set(scd, ln0, reference, data_set_name);
  }
}

void add_connected_ap(const ScdLookups& scd, pugi::xml_node reference, const std::string& ied_name,
                      const std::string& ap_name, const std::string& cb_name, const std::string& ld_inst,
                      ControlBlockKind kind) {
  pugi::xml_node address = scd.published_address(ied_name, ap_name, cb_name, ld_inst, kind);
  if (address) copy_connected_ap(reference, address.parent(), kind, cb_name, ld_inst);
}

void copy_connected_ap(pugi::xml_node reference, pugi::xml_node connected_ap, ControlBlockKind kind,
                       const std::string& cb_name, const std::string& ld_inst) {
  pugi::xml_node copy = copy_element(reference, connected_ap);
  if (!copy) return;
  // Left out: what query::other_gse / query::other_smv and query::own_address
  // would select in a whole copy. There an entry holds a repeated attribute
  // once, with its last value, and "@a!='v'" holds when a is there and differs.
  const char* entry_tag = kind == goose ? "GSE" : "SMV";
  auto differs = [](pugi::xml_node entry, const char* name, const std::string& value) {
    const char* last = nullptr;
    for (pugi::xml_attribute a = entry.first_attribute(); a; a = a.next_attribute()) {
      if (std::strcmp(a.name(), name) == 0) last = a.value();
    }
    return last && value != last;
  };
  for (pugi::xml_node child = connected_ap.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || std::strcmp(child.name(), "Address") == 0) continue;
    if (std::strcmp(child.name(), entry_tag) == 0 &&
        (differs(child, "cbName", cb_name) || differs(child, "ldInst", ld_inst))) {
      continue;
    }
    copy_element_tree(copy, child);
  }
}

}  // namespace ccdcrc
