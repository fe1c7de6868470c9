#include "ccd/builder.h"

namespace ccdcrc {

pugi::xml_node start_ccd_document(pugi::xml_document& ccd, pugi::xml_node ied) {
  pugi::xml_node declaration = ccd.prepend_child(pugi::node_declaration);
  declaration.append_attribute("version").set_value("1.0");
  declaration.append_attribute("encoding").set_value("UTF-8");
  pugi::xml_node root = ccd.append_child("IED");
  for (const char* name : {"configVersion", "desc", "manufacturer", "name", "type"}) {
    root.append_attribute(name).set_value(ied.attribute(name).as_string(""));
  }
  return root;
}

bool build_ccd(pugi::xml_node ccd_root, const ScdLookups& scd, pugi::xml_node ied, CcdPurpose purpose) {
  pugi::xml_node goosepub = ccd_root.append_child("GOOSEPUB");
  pugi::xml_node goosesub = ccd_root.append_child("GOOSESUB");
  pugi::xml_node svpub = ccd_root.append_child("SVPUB");
  pugi::xml_node svsub = ccd_root.append_child("SVSUB");
  const CircuitSources sources = scd.circuit_sources(ied);
  const bool publishes_nothing = add_publications(goosepub, svpub, scd, sources);
  const bool has_no_input = add_subscriptions(goosesub, svsub, scd, ied, sources.inputs, purpose);
  for (pugi::xml_node section : {goosepub, svpub, goosesub, svsub}) {
    if (!section.first_child()) ccd_root.remove_child(section);
  }
  return publishes_nothing && has_no_input;
}

std::string control_block_reference(const std::string& ied_name, const std::string& ld_inst, ControlBlockKind kind,
                                    const std::string& cb_name) {
  return ied_name + ld_inst + (kind == sampled_values ? "/LLN0$MS$" : "/LLN0$GO$") + cb_name;
}

}  // namespace ccdcrc
