#include "scd/ied_selection.h"

#include <cstring>

#include "scd/scl_root.h"
#include "util/nodes.h"

namespace ccdcrc {

namespace {

bool has_scl_root(const Scd& scd) { return is_scl_root(scd.root()); }

}  // namespace

bool has_circuits(const Scd& scd, pugi::xml_node ied) { return !scd.lookups().circuit_sources(ied).empty(); }

std::vector<ListedIed> listed_ieds(const Scd& scd) {
  std::map<std::string, std::vector<pugi::xml_node>> by_name;
  for (pugi::xml_node ied : scd.ieds()) by_name[attr(ied, "name")].push_back(ied);
  std::vector<ListedIed> listed;
  listed.reserve(by_name.size());
  for (auto& [name, ieds] : by_name) {
    ListedIed& entry = listed.emplace_back(ListedIed{name, ieds.back(), ieds.size(), 0});
    if (ieds.size() == 1) continue;
    bool found = false;
    for (auto ied = ieds.rbegin(); ied != ieds.rend(); ++ied) {
      if (!has_circuits(scd, *ied)) continue;
      ++entry.with_circuits;
      if (!found) entry.ied = *ied;
      found = true;
    }
  }
  return listed;
}

IedLookup::IedLookup(const Scd& scd) : root_is_scl_(has_scl_root(scd)) {
  for (pugi::xml_node ied : scd.ieds()) by_name_[attr(ied, "name")].push_back(ied);
}

pugi::xml_node IedLookup::find(const std::string& name) const {
  if (!root_is_scl_) return {};
  auto found = by_name_.find(name);
  return found == by_name_.end() ? pugi::xml_node() : found->second.front();
}

std::size_t IedLookup::count(const std::string& name) const {
  auto found = by_name_.find(name);
  return found == by_name_.end() ? 0 : found->second.size();
}

std::vector<std::string> IedLookup::names() const {
  std::vector<std::string> names;
  names.reserve(by_name_.size());
  for (const auto& [name, ieds] : by_name_) names.push_back(name);
  return names;
}

pugi::xml_node find_ied(const Scd& scd, const std::string& name) {
  if (!has_scl_root(scd)) return {};
  for (pugi::xml_node ied : scd.ieds()) {
    if (attr(ied, "name") == name) return ied;
  }
  return {};
}

}  // namespace ccdcrc
