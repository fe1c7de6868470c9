// The control blocks that send the members an input receives: one reference
// per control block and section, with its address and its mapped data set.

#include <algorithm>

#include "ccd/builder.h"
#include "support/nodes.h"

namespace ccdcrc {

namespace {

template <typename T>
bool contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

void add_subscribed_control_blocks(const NodeList& members, pugi::xml_node section, pugi::xml_node subscriber_ied,
                                   ControlBlockKind kind, pugi::xml_node publisher_ldevice, SeenList& seen,
                                   const ExtRefIndex& inputs, const ScdLookups& scd, CcdPurpose purpose) {
  if (members.empty()) return;

  // Which control blocks send the data sets of these members.
  std::vector<std::string> examined_names;
  NodeList found;
  std::vector<std::string> found_data_sets;
  for (pugi::xml_node member : members) {
    std::string data_set_name = attr(member.parent(), "name");
    if (contains(examined_names, data_set_name)) continue;
    examined_names.push_back(data_set_name);
    pugi::xml_node control_block = scd.control_block_for_data_set(publisher_ldevice, kind, data_set_name);
    if (!control_block || contains(found, control_block)) continue;
    found.push_back(control_block);
    found_data_sets.push_back(std::move(data_set_name));
  }

  for (std::size_t i = 0; i < found.size(); ++i) {
    pugi::xml_node control_block = found[i];
    pugi::xml_node ldevice = control_block.parent().parent();
    pugi::xml_node ied = ldevice.parent().parent().parent();
    const std::string cb_name = attr(control_block, "name");
    const std::string ld_inst = attr(ldevice, "inst");
    const std::string ied_name = attr(ied, "name");
    std::string reference_text = control_block_reference(ied_name, ld_inst, kind, cb_name);
    // Deliberately ends the whole call, not just this control block: the
    // remaining ones are added only when a later input leads to them.
    if (contains(seen, reference_text)) return;
    seen.push_back(reference_text);

    pugi::xml_node reference = section.append_child(reference_element(kind));
    reference.append_attribute("name").set_value(reference_text.c_str());
    // Everything but the intAddr children is the same for every subscriber.
    const std::string& data_set_name = found_data_sets[i];
    const std::string detail = (purpose == CcdPurpose::measured ? "measured:" : "exported:") + data_set_name;
    const SharedContentPtr shared = scd.shared(control_block, detail, [&](SharedContent& content) {
      copy_element_tree(content.nodes, control_block);
      add_subscribed_address(scd, content.nodes, ied_name, cb_name, ld_inst, kind);
      content.texts = add_publisher_data_set(scd, ldevice, content.nodes, data_set_name, purpose);
    });
    for (pugi::xml_node child : shared->nodes.children()) reference.append_copy(child);
    bind_subscriber_inputs(scd, subscriber_ied, reference, shared->texts, inputs);
  }
}

void add_subscribed_address(const ScdLookups& scd, pugi::xml_node reference, const std::string& ied_name,
                            const std::string& cb_name, const std::string& ld_inst, ControlBlockKind kind) {
  pugi::xml_node address = scd.subscribed_address(ied_name, cb_name, ld_inst, kind);
  if (!address) return;
  pugi::xml_node connected_ap = reference.append_child("ConnectedAP");
  copy_attributes(address.parent(), connected_ap);
  copy_element_tree(connected_ap, address);
}

}  // namespace ccdcrc
