// The CCD document, its header, and the order of its passes and sections.

#include "ccd/builder.h"
#include "util/nodes.h"

namespace ccdcrc {

ControlBlock::ControlBlock(pugi::xml_node element, ControlBlockKind kind)
    : element(element),
      kind(kind),
      ln0(element.parent()),
      ldevice(ln0.parent()),
      access_point(ldevice.parent().parent()),
      ied(access_point.parent()),
      name(attr(element, "name")),
      data_set(attr(element, "datSet")),
      ld_inst(attr(ldevice, "inst")),
      ied_name(attr(ied, "name")) {}

std::string ControlBlock::reference() const { return ied_name + ld_inst + names_of(kind).reference_infix + name; }

pugi::xml_node start_ccd_document(pugi::xml_document& ccd, pugi::xml_node ied) {
  add_ccd_declaration(ccd);
  pugi::xml_node root = add_element(ccd, "IED");
  for (const char* name : {"configVersion", "desc", "manufacturer", "name", "type"}) {
    add_attribute(root, name, ied.attribute(name).as_string(""));
  }
  return root;
}

bool build_ccd(pugi::xml_node ccd_root, const ScdLookups& scd, pugi::xml_node ied, CcdPurpose purpose,
               NodeList* unbound_inputs) {
  // The sections stand in this order: GOOSEPUB, GOOSESUB, SVPUB, SVSUB.
  PerKind<pugi::xml_node> published;
  PerKind<pugi::xml_node> subscribed;
  for (ControlBlockKind kind : control_block_kinds) {
    published[kind] = add_element(ccd_root, names_of(kind).published);
    subscribed[kind] = add_element(ccd_root, names_of(kind).subscribed);
  }
  const CircuitSources sources = scd.circuit_sources(ied);
  BuildContext context{scd, purpose, ied, {}, {}, unbound_inputs};
  add_publications(published, context, sources);
  add_subscriptions(subscribed, context, sources.inputs);
  for (const PerKind<pugi::xml_node>* sections : {&published, &subscribed}) {
    for (pugi::xml_node section : sections->values) {
      if (!section.first_child()) ccd_root.remove_child(section);
    }
  }
  return sources.empty();
}

}  // namespace ccdcrc
