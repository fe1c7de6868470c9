// Reduces a built CCD to the content its CRC covers: the root keeps its name,
// published members lose their descriptions, subscribed members keep only
// their basic type and their intAddr children lose their descriptions.

#include "ccd/builder.h"
#include "ccd/queries.h"
#include "support/nodes.h"

namespace ccdcrc {

void finish_ccd(pugi::xml_node ccd_root) {
  if (!ccd_root) return;
  const std::string name = attr(ccd_root, "name");
  ccd_root.remove_attributes();
  ccd_root.append_attribute("name").set_value(name.c_str());

  const pugi::xpath_node_set published = select(ccd_root, query::published_members);
  const pugi::xpath_node_set subscribed = select(ccd_root, query::subscribed_members);
  for (const pugi::xpath_node& member : published) member.node().remove_attribute("desc");
  for (const pugi::xpath_node& selected : subscribed) {
    pugi::xml_node member = selected.node();
    const std::string btype = attr(member, "bType");
    member.remove_attributes();
    if (!btype.empty()) member.append_attribute("bType").set_value(btype.c_str());
    for (pugi::xml_node int_addr : member.children("intAddr")) {
      if (int_addr.type() == pugi::node_element) int_addr.remove_attribute("desc");
    }
  }
}

}  // namespace ccdcrc
