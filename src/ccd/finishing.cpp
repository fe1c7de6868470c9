// Reduces a built CCD to the content its CRC covers: the root keeps its name,
// published members lose their descriptions, subscribed members keep only
// their basic type and their intAddr children lose their descriptions.

#include <cstring>

#include "ccd/builder.h"
#include "util/nodes.h"

namespace ccdcrc {

namespace {

bool is_element(pugi::xml_node node) { return node.type() == pugi::node_element; }

// The members that query::published_members or query::subscribed_members
// select, walked directly: element children by name, section by section.
template <typename Visit>
void for_each_member(pugi::xml_node ccd_root, const char* ControlBlockNames::*section_name, Visit visit) {
  for (ControlBlockKind kind : control_block_kinds) {
    const char* reference_name = names_of(kind).reference;
    for (pugi::xml_node section : ccd_root.children(names_of(kind).*section_name)) {
      if (!is_element(section)) continue;
      for (pugi::xml_node reference : section.children(reference_name)) {
        if (!is_element(reference)) continue;
        for (pugi::xml_node data_set : reference.children("DataSet")) {
          if (!is_element(data_set)) continue;
          for (pugi::xml_node member : data_set.children("FCDA")) {
            if (is_element(member)) visit(member);
          }
        }
      }
    }
  }
}

}  // namespace

void finish_ccd(pugi::xml_node ccd_root) {
  if (!ccd_root) return;
  const std::string name = attr(ccd_root, "name");
  ccd_root.remove_attributes();
  add_attribute(ccd_root, "name", name.c_str());

  for_each_member(ccd_root, &ControlBlockNames::published,
                  [](pugi::xml_node member) { member.remove_attribute("desc"); });
  for_each_member(ccd_root, &ControlBlockNames::subscribed, [](pugi::xml_node member) {
    const std::string btype = attr(member, "bType");
    member.remove_attributes();
    if (!btype.empty()) add_attribute(member, "bType", btype.c_str());
    for (pugi::xml_node int_addr : member.children("intAddr")) {
      if (is_element(int_addr)) int_addr.remove_attribute("desc");
    }
  });
}

}  // namespace ccdcrc
