#pragma once
// The children of an SCD's root element. A document parsed in one piece
// holds them under the root; one parsed in parts (parted_parse.h) holds them
// as the top-level nodes of several fragment documents, in document order.
// Whatever walks the root's children walks them here.

#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace ccdcrc {

class RootContent {
 public:
  RootContent() = default;
  // The children of `root` itself.
  explicit RootContent(pugi::xml_node root) : holders_{root} {}
  // The top-level nodes of fragment documents, in this order.
  static RootContent of_fragments(std::vector<pugi::xml_node> documents) {
    RootContent content;
    content.holders_ = std::move(documents);
    content.fragments_ = true;
    return content;
  }

  // Calls visit(node) for every child, in document order.
  template <typename Visit>
  void for_each(Visit visit) const {
    for (pugi::xml_node holder : holders_) {
      for (pugi::xml_node child : holder.children()) visit(child);
    }
  }

  // Calls visit(element) for every element child of this name, in document order.
  template <typename Visit>
  void for_each_element(const char* name, Visit visit) const {
    for (pugi::xml_node holder : holders_) {
      for (pugi::xml_node child : holder.children(name)) {
        if (child.type() == pugi::node_element) visit(child);
      }
    }
  }

  // The first child of this name, of any type (as xml_node::child finds it).
  pugi::xml_node first(const char* name) const {
    for (pugi::xml_node holder : holders_) {
      if (pugi::xml_node found = holder.child(name)) return found;
    }
    return {};
  }

  // The nodes whose children these are: the root, or the fragment documents.
  const std::vector<pugi::xml_node>& holders() const { return holders_; }
  // Whether they are fragment documents, whose children have no root above them.
  bool in_fragments() const { return fragments_; }

 private:
  std::vector<pugi::xml_node> holders_;
  bool fragments_ = false;
};

}  // namespace ccdcrc
