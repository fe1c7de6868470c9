#include "util/nodes.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace ccdcrc {

std::string& AttributeMap::operator[](std::string_view name) {
  auto place = std::lower_bound(entries_.begin(), entries_.end(), name,
                                [](const Entry& entry, std::string_view key) { return entry.first < key; });
  if (place == entries_.end() || place->first != name)
    place = entries_.emplace(place, std::string(name), std::string());
  return place->second;
}

namespace {

[[noreturn]] void out_of_memory() { throw std::bad_alloc(); }

}  // namespace

// pugixml names a new element or attribute after it has made it, and drops
// the result of naming: a name that could not be stored leaves it nameless.
pugi::xml_node add_element(pugi::xml_node parent, const char* name) {
  if (!parent) return {};
  pugi::xml_node element = parent.append_child(pugi::node_element);
  if (!element || !element.set_name(name)) out_of_memory();
  return element;
}

void add_attribute(pugi::xml_node element, const char* name, const char* value) {
  if (!element) return;
  pugi::xml_attribute attribute = element.append_attribute(name);
  // A name that could not be stored leaves the attribute's name empty.
  if (!attribute || (*name != '\0' && *attribute.name() == '\0') || !attribute.set_value(value)) out_of_memory();
}

void set_text(pugi::xml_node element, const char* text) {
  if (element && !element.text().set(text)) out_of_memory();
}

namespace {

// A copy of one node without its children: its name, its value, its attributes.
pugi::xml_node copy_node(pugi::xml_node parent, pugi::xml_node source) {
  const pugi::xml_node_type type = source.type();
  pugi::xml_node copy = parent.append_child(type);
  if (!copy) out_of_memory();
  const bool named = type == pugi::node_element || type == pugi::node_pi || type == pugi::node_declaration;
  if (named && !copy.set_name(source.name())) out_of_memory();
  if (!named || type == pugi::node_pi) {
    if (!copy.set_value(source.value())) out_of_memory();
  }
  for (pugi::xml_attribute attribute : source.attributes()) add_attribute(copy, attribute.name(), attribute.value());
  return copy;
}

}  // namespace

pugi::xml_node add_copy(pugi::xml_node parent, pugi::xml_node source) {
  if (!parent || !source) return {};
  const pugi::xml_node top = copy_node(parent, source);
  // Each frame: the next source child to copy, and the copy it goes under.
  std::vector<std::pair<pugi::xml_node, pugi::xml_node>> stack{{source.first_child(), top}};
  while (!stack.empty()) {
    auto& frame = stack.back();
    const pugi::xml_node child = frame.first;
    if (!child) {
      stack.pop_back();
      continue;
    }
    frame.first = child.next_sibling();
    const pugi::xml_node copy = copy_node(frame.second, child);
    if (child.first_child()) stack.emplace_back(child.first_child(), copy);
  }
  return top;
}

void add_ccd_declaration(pugi::xml_document& ccd) {
  pugi::xml_node declaration = ccd.prepend_child(pugi::node_declaration);
  if (!declaration || !declaration.set_name("xml")) out_of_memory();
  add_attribute(declaration, "version", "1.0");
  add_attribute(declaration, "encoding", "UTF-8");
}

std::vector<pugi::xml_node> child_elements(pugi::xml_node parent, const std::string& name) {
  std::vector<pugi::xml_node> elements;
  for (pugi::xml_node child : parent.children(name.c_str())) {
    if (child.type() == pugi::node_element) elements.push_back(child);
  }
  return elements;
}

namespace {

// Calls `visit(name, value)` for each attribute of the element in byte-wise
// name order, a repeated name once with its last value (as a map filled in
// document order keeps it). Names and values stay in the document while they
// are sorted; a handful of them is sorted on the stack.
template <typename Visit>
void for_each_sorted_attribute(pugi::xml_node element, Visit visit) {
  struct Entry {
    const char* name;
    const char* value;
  };
  constexpr std::size_t inline_capacity = 16;
  Entry inline_entries[inline_capacity];
  std::vector<Entry> spilled;
  std::size_t count = 0;
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    const Entry entry{attribute.name(), attribute.value()};
    if (count < inline_capacity) {
      inline_entries[count] = entry;
    } else {
      if (spilled.empty()) spilled.assign(inline_entries, inline_entries + inline_capacity);
      spilled.push_back(entry);
    }
    ++count;
  }
  Entry* entries = spilled.empty() ? inline_entries : spilled.data();
  auto before = [](const Entry& a, const Entry& b) { return std::strcmp(a.name, b.name) < 0; };
  if (spilled.empty()) {
    // Stable insertion sort: equal names keep their document order.
    for (std::size_t i = 1; i < count; ++i) {
      const Entry entry = entries[i];
      std::size_t j = i;
      for (; j > 0 && before(entry, entries[j - 1]); --j) entries[j] = entries[j - 1];
      entries[j] = entry;
    }
  } else {
    std::stable_sort(spilled.begin(), spilled.end(), before);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 1 < count && std::strcmp(entries[i].name, entries[i + 1].name) == 0) continue;
    visit(entries[i].name, entries[i].value);
  }
}

}  // namespace

void AttributeMap::append_in_order(std::string_view name, std::string_view value) {
  entries_.emplace_back(std::string(name), std::string(value));
}

AttributeMap attribute_map(pugi::xml_node element) {
  AttributeMap map;
  // Room for the attributes and the two that members gain (bType, desc).
  std::size_t count = 2;
  for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) ++count;
  map.reserve(count);
  for_each_sorted_attribute(element, [&map](const char* name, const char* value) { map.append_in_order(name, value); });
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
  for_each_sorted_attribute(source, [&target](const char* name, const char* value) {
    if (std::strcmp(name, "desc") == 0 || std::strcmp(name, "dU") == 0) return;
    add_attribute(target, name, value);
  });
}

void append_attributes(pugi::xml_node target, const AttributeMap& attributes) {
  for (const auto& [name, value] : attributes) add_attribute(target, name.c_str(), value.c_str());
}

pugi::xml_node copy_element(pugi::xml_node target_parent, pugi::xml_node source) {
  if (std::strcmp(source.attribute("name").as_string(""), "dU") == 0) return {};
  pugi::xml_node copy = add_element(target_parent, source.name());
  copy_attributes(source, copy);
  const char* text = source.text().get();
  if (*text != '\0') set_text(copy, text);
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

}  // namespace ccdcrc
