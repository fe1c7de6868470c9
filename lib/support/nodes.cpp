#include "support/nodes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace ccdcrc {

std::string& AttributeMap::operator[](std::string_view name) {
  auto place = std::lower_bound(entries_.begin(), entries_.end(), name,
                                [](const Entry& entry, std::string_view key) { return entry.first < key; });
  if (place == entries_.end() || place->first != name) place = entries_.emplace(place, std::string(name), std::string());
  return place->second;
}

const std::string& AttributeMap::at(std::string_view name) const {
  auto place = std::lower_bound(entries_.begin(), entries_.end(), name,
                                [](const Entry& entry, std::string_view key) { return entry.first < key; });
  if (place == entries_.end() || place->first != name) throw std::out_of_range("no attribute " + std::string(name));
  return place->second;
}

std::vector<pugi::xml_node> child_elements(pugi::xml_node parent, std::string name) {
  std::vector<pugi::xml_node> elements;
  for (pugi::xml_node child : parent.children(name.c_str())) {
    if (child.type() == pugi::node_element) elements.push_back(child);
  }
  return elements;
}

AttributeMap attribute_map(pugi::xml_node element) {
  AttributeMap map;
  for (pugi::xml_attribute attribute : element.attributes()) {
    map[attribute.name()] = attribute.value();
  }
  return map;
}

std::string last_value(pugi::xml_node element, const char* name) {
  const char* value = "";
  for (pugi::xml_attribute attribute : element.attributes()) {
    if (std::strcmp(attribute.name(), name) == 0) value = attribute.value();
  }
  return value;
}

void copy_attributes(pugi::xml_node source, pugi::xml_node target) {
  // The attribute map's order and "last one wins", without copying any text:
  // the names and values stay in the source document while they are sorted.
  struct Entry {
    const char* name;
    const char* value;
  };
  std::vector<Entry> entries;
  for (pugi::xml_attribute attribute : source.attributes()) entries.push_back({attribute.name(), attribute.value()});
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return std::strcmp(a.name, b.name) < 0; });
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    if (i + 1 < entries.size() && std::strcmp(entry.name, entries[i + 1].name) == 0) continue;
    if (std::strcmp(entry.name, "desc") == 0 || std::strcmp(entry.name, "dU") == 0) continue;
    target.append_attribute(entry.name).set_value(entry.value);
  }
}

void append_attributes(pugi::xml_node target, const AttributeMap& attributes) {
  for (const auto& [name, value] : attributes) target.append_attribute(name.c_str()).set_value(value.c_str());
}

pugi::xml_node copy_element(pugi::xml_node target_parent, pugi::xml_node source) {
  if (std::strcmp(source.attribute("name").as_string(""), "dU") == 0) return {};
  pugi::xml_node copy = target_parent.append_child(source.name());
  copy_attributes(source, copy);
  const char* text = source.text().get();
  if (*text != '\0') copy.text().set(text);
  return copy;
}

void copy_element_tree(pugi::xml_node target_parent, pugi::xml_node source) {
  if (!target_parent || source.type() != pugi::node_element) return;
  pugi::xml_node top = copy_element(target_parent, source);
  if (!top) return;
  // Each frame: the next source child to look at, and the copy it goes under.
  std::vector<std::pair<pugi::xml_node, pugi::xml_node>> stack{{source.first_child(), top}};
  while (!stack.empty()) {
    auto& frame = stack.back();
    pugi::xml_node child = frame.first;
    if (!child) {
      stack.pop_back();
      continue;
    }
    frame.first = child.next_sibling();
    if (child.type() != pugi::node_element) continue;
    pugi::xml_node copy = copy_element(frame.second, child);
    if (copy) stack.emplace_back(child.first_child(), copy);
  }
}

void remove_tree(pugi::xml_node node) {
  pugi::xml_node parent = node.parent();
  if (!node || !parent) return;
  pugi::xml_node current = node;
  while (current != node || current.first_child()) {
    if (pugi::xml_node child = current.last_child()) {
      current = child;
      continue;
    }
    pugi::xml_node up = current.parent();
    up.remove_child(current);
    current = up;
  }
  parent.remove_child(node);
}

}  // namespace ccdcrc
