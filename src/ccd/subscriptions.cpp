// Subscription pass: the IED's inputs (ExtRef with an intAddr), indexed once,
// each one resolved to the publisher's data-set members it receives.

#include "ccd/builder.h"
#include "ccd/data_references.h"
#include "util/nodes.h"

namespace ccdcrc {

void add_subscriptions(const PerKind<pugi::xml_node>& sections, BuildContext& context, const NodeList& inputs) {
  if (inputs.empty()) return;

  // Complete before the first lookup: a data set maps every member to all inputs.
  std::vector<DataReference> references;
  std::vector<std::string> publisher_names;
  std::vector<const KeyedInputs*> keyed;  // of each input; the map's entries stay in place
  references.reserve(inputs.size());
  publisher_names.reserve(inputs.size());
  keyed.reserve(inputs.size());
  for (pugi::xml_node ext_ref : inputs) {
    const DataReference& reference = references.emplace_back(ext_ref);
    const std::string& publisher_name = publisher_names.emplace_back(attr(ext_ref, "iedName"));
    KeyedInputs& entry = context.inputs[reference.key(publisher_name)];
    entry.ext_refs.push_back(ext_ref);
    keyed.push_back(&entry);
  }

  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const DataReference& reference = references[i];
    pugi::xml_node publisher = context.scd.publisher_ldevice(publisher_names[i], reference.ld_inst);
    if (!publisher) continue;
    const NodeList members =
        context.scd.input_members(publisher, reference.ld_inst, reference.prefix, reference.ln_class, reference.ln_inst,
                                  reference.do_name, reference.da_name);
    for (ControlBlockKind kind : control_block_kinds) {
      add_subscribed_control_blocks(sections[kind], kind, members, publisher, context);
    }
  }
  if (!context.unbound) return;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (!keyed[i]->bound) context.unbound->push_back(inputs[i]);
  }
}

}  // namespace ccdcrc
