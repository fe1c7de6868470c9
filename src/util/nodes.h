#pragma once
// Reading SCD elements and copying SCD content into a CCD document.
// The copies decide how SCD content looks in the CCD, and so part of every CRC:
// attribute order, the attributes and elements left out, and the text kept.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace ccdcrc {

// pugixml tells of memory that ran out only by a null node or a false
// result, and its own copies of trees and attributes leave out what they
// could not allocate without telling at all. A CCD that lost a node or a
// value would be measured as if it were whole, so every node and value a CCD
// is built of is added through these, which throw std::bad_alloc instead. A
// null parent gives a null node, as in pugixml.
pugi::xml_node add_element(pugi::xml_node parent, const char* name);
void add_attribute(pugi::xml_node element, const char* name, const char* value);
void set_text(pugi::xml_node element, const char* text);
// A deep copy of any node, as pugixml's append_copy makes it: names, values,
// attributes and children of every kind. Walks the tree without recursion.
pugi::xml_node add_copy(pugi::xml_node parent, pugi::xml_node source);

// The declaration every CCD document starts with: version 1.0, UTF-8.
void add_ccd_declaration(pugi::xml_document& ccd);

// Attribute name -> value, in byte-wise name order (upper case before lower
// case). A handful of entries: a sorted vector beats a tree here.
class AttributeMap {
 public:
  using Entry = std::pair<std::string, std::string>;

  // The value of `name`, inserted empty in its place when missing.
  std::string& operator[](std::string_view name);

  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }
  bool empty() const { return entries_.empty(); }
  // Appends an entry whose name comes after every name already held.
  void append_in_order(std::string_view name, std::string_view value);
  void reserve(std::size_t size) { entries_.reserve(size); }
  std::size_t size() const { return entries_.size(); }

 private:
  std::vector<Entry> entries_;
};

// Direct element children with exactly this name, in document order.
std::vector<pugi::xml_node> child_elements(pugi::xml_node parent, const std::string& name);

// All attributes of an element; a repeated name keeps the last value.
AttributeMap attribute_map(pugi::xml_node element);

// The value of the last attribute of that name, as attribute_map keeps it;
// the empty text when there is none.
std::string last_value(pugi::xml_node element, const char* name);

// Appends the source's attributes to the target in byte-wise name order,
// leaving out "desc" and "dU".
void copy_attributes(pugi::xml_node source, pugi::xml_node target);

// Appends every entry of the map as an attribute, in map order, without filter.
void append_attributes(pugi::xml_node target, const AttributeMap& attributes);

// Appends a copy of one element without its children: attributes as
// copy_attributes and the first text chunk. Returns the copy, or null when the
// element is left out (its name attribute is "dU").
pugi::xml_node copy_element(pugi::xml_node target_parent, pugi::xml_node source);

// Appends a filtered deep copy of `source` to `target_parent`: attributes as
// copy_attributes, the first text chunk only, element children only, and no
// element whose name attribute is "dU". Walks the tree without recursion.
void copy_element_tree(pugi::xml_node target_parent, pugi::xml_node source);

// The attribute's value, or the empty text when it is missing.
inline std::string attr(pugi::xml_node node, const char* name) { return node.attribute(name).as_string(""); }

}  // namespace ccdcrc
