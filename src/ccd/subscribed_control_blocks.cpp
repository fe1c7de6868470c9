// The control blocks that send the members an input receives: one reference
// per control block and section, with its address and its mapped data set.

#include <algorithm>

#include "ccd/builder.h"
#include "util/nodes.h"

namespace ccdcrc {

namespace {

template <typename T>
bool contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// A control block that sends a data set, and the data set's name as the
// member's data set gives it.
struct SendingControlBlock {
  pugi::xml_node element;
  std::string data_set_name;
};

// The control blocks of this kind that send the data sets of these members,
// each once, in the order the members lead to them.
std::vector<SendingControlBlock> sending_control_blocks(const ScdLookups& scd, const NodeList& members,
                                                        pugi::xml_node publisher_ldevice, ControlBlockKind kind) {
  std::vector<std::string> examined_names;
  NodeList found;
  std::vector<SendingControlBlock> blocks;
  for (pugi::xml_node member : members) {
    std::string data_set_name = attr(member.parent(), "name");
    if (contains(examined_names, data_set_name)) continue;
    examined_names.push_back(data_set_name);
    pugi::xml_node control_block = scd.control_block_for_data_set(publisher_ldevice, kind, data_set_name);
    if (!control_block || contains(found, control_block)) continue;
    found.push_back(control_block);
    blocks.push_back({control_block, std::move(data_set_name)});
  }
  return blocks;
}

void add_subscribed_address(const ScdLookups& scd, pugi::xml_node reference, const ControlBlock& block) {
  pugi::xml_node address = scd.subscribed_address(block.ied_name, block.name, block.ld_inst, block.kind);
  if (!address) return;
  pugi::xml_node connected_ap = add_element(reference, "ConnectedAP");
  copy_attributes(address.parent(), connected_ap);
  copy_element_tree(connected_ap, address);
}

}  // namespace

void add_subscribed_control_blocks(pugi::xml_node section, ControlBlockKind kind, const NodeList& members,
                                   pugi::xml_node publisher_ldevice, BuildContext& context) {
  if (members.empty()) return;
  const ScdLookups& scd = context.scd;
  SeenList& seen = context.seen[kind];
  for (const SendingControlBlock& sending : sending_control_blocks(scd, members, publisher_ldevice, kind)) {
    const pugi::xml_node element = sending.element;
    const std::string& data_set_name = sending.data_set_name;
    const ControlBlock block(element, kind);
    std::string reference_text = block.reference();
    // Deliberately ends the whole call, not just this control block: the
    // remaining ones are added only when a later input leads to them.
    if (contains(seen, reference_text)) return;
    seen.push_back(reference_text);

    pugi::xml_node reference = add_element(section, names_of(kind).reference);
    add_attribute(reference, "name", reference_text.c_str());
    // Everything but the intAddr children is the same for every subscriber.
    const CcdPurpose purpose = context.purpose;
    const std::string detail = (purpose == CcdPurpose::measured ? "measured:" : "exported:") + data_set_name;
    const SharedContentPtr shared = scd.shared(element, detail, [&](SharedContent& content) {
      copy_element_tree(content.nodes, element);
      add_subscribed_address(scd, content.nodes, block);
      content.texts = add_publisher_data_set(scd, block.ldevice, content.nodes, data_set_name, purpose);
    });
    for (pugi::xml_node child : shared->nodes.children()) add_copy(reference, child);
    bind_subscriber_inputs(context, reference, shared->texts);
  }
}

}  // namespace ccdcrc
