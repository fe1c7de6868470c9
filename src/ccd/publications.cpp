// Publication pass: one GOCBref/SMVCBref per control block that the IED sends,
// with the control block, its reduced ConnectedAP entry and its data set.

#include <cstring>

#include "ccd/builder.h"
#include "util/nodes.h"

namespace ccdcrc {

namespace {

void add_connected_ap(const ScdLookups& scd, pugi::xml_node reference, const ControlBlock& block) {
  const std::string ap_name = attr(block.access_point, "name");
  pugi::xml_node address = scd.published_address(block.ied_name, ap_name, block.name, block.ld_inst, block.kind);
  if (address) copy_connected_ap(reference, address.parent(), block.kind, block.name, block.ld_inst);
}

void add_control_block_refs(pugi::xml_node section, const NodeList& control_blocks, ControlBlockKind kind,
                            const ScdLookups& scd) {
  for (pugi::xml_node element : control_blocks) {
    const ControlBlock block(element, kind);
    pugi::xml_node reference = add_element(section, names_of(kind).reference);
    add_attribute(reference, "name", block.reference().c_str());
    copy_element_tree(reference, element);
    add_connected_ap(scd, reference, block);
    add_published_data_set(scd, block.ln0, reference, block.data_set);
  }
}

}  // namespace

void add_publications(const PerKind<pugi::xml_node>& sections, const BuildContext& context,
                      const CircuitSources& sources) {
  for (const auto& [access_point, blocks] : sources.access_points) {
    for (ControlBlockKind kind : control_block_kinds) {
      add_control_block_refs(sections[kind], blocks[kind], kind, context.scd);
    }
  }
}

void copy_connected_ap(pugi::xml_node reference, pugi::xml_node connected_ap, ControlBlockKind kind,
                       const std::string& cb_name, const std::string& ld_inst) {
  pugi::xml_node copy = copy_element(reference, connected_ap);
  if (!copy) return;
  // Left out: what query::other_addresses and query::own_address would select
  // in a whole copy. There an entry holds a repeated attribute once, with its
  // last value, and "@a!='v'" holds when a is there and differs.
  const char* entry_tag = names_of(kind).address;
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
