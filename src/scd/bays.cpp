#include "scd/bays.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "util/nodes.h"

namespace ccdcrc {

namespace {

bool is_element(pugi::xml_node node, const char* name) {
  return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

// The place of an LNode: its nearest Bay and that Bay's VoltageLevel.
BayPlace place_of(pugi::xml_node bay) {
  BayPlace place{{}, {}, attr(bay, "name"), attr(bay, "desc")};
  for (pugi::xml_node up = bay.parent(); up; up = up.parent()) {
    if (is_element(up, "VoltageLevel")) {
      place.voltage_level = attr(up, "name");
      place.voltage_level_desc = attr(up, "desc");
      break;
    }
  }
  return place;
}

}  // namespace

std::map<std::string, BayPlace> bays_of_ieds(const Scd& scd) {
  std::map<std::string, BayPlace> bays;
  // Walked in document order with the nearest Bay above each element.
  struct Frame {
    pugi::xml_node node;
    pugi::xml_node bay;
  };
  std::vector<Frame> pending;
  scd.content().for_each_element("Substation", [&](pugi::xml_node substation) { pending.push_back({substation, {}}); });
  std::reverse(pending.begin(), pending.end());
  while (!pending.empty()) {
    const Frame frame = pending.back();
    pending.pop_back();
    if (is_element(frame.node, "LNode")) {
      const std::string ied = attr(frame.node, "iedName");
      if (frame.bay && !ied.empty() && ied != "None") bays.try_emplace(ied, place_of(frame.bay));
      continue;
    }
    const pugi::xml_node bay = is_element(frame.node, "Bay") ? frame.node : frame.bay;
    std::vector<Frame> children;
    for (pugi::xml_node child : frame.node.children()) {
      if (child.type() == pugi::node_element) children.push_back({child, bay});
    }
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return bays;
}

}  // namespace ccdcrc
