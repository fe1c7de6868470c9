#pragma once
// What makes an XML document an SCD: its root element is SCL. Asked here and
// nowhere else (`./dev lint` checks).

#include <string_view>

#include <pugixml.hpp>

namespace ccdcrc {

// The root element's name without a prefix, and the root's tags in a text
// without one (where a text is parsed in parts).
inline constexpr std::string_view scl_root_name = "SCL";
inline constexpr std::string_view scl_root_start = "<SCL";
inline constexpr std::string_view scl_root_end = "</SCL";

// The root of an SCD: named SCL, with or without a namespace prefix
// (`scl:SCL`). Such a document is loaded, listed and looked up by name.
inline bool is_scl_root_name(std::string_view name) {
  const std::size_t colon = name.find(':');
  return name.substr(colon == std::string_view::npos ? 0 : colon + 1) == scl_root_name;
}

inline bool is_scl_root(pugi::xml_node root) { return root && is_scl_root_name(root.name()); }

// Whether the defining queries, whose paths start at "/SCL", reach below the
// root: XPath names match letter for letter, so a prefixed root is not
// reached and its IEDs' lookups find nothing of the SCD.
inline bool queries_reach_root(pugi::xml_node root) {
  return root.name() == scl_root_name && root.parent().type() == pugi::node_document;
}

}  // namespace ccdcrc
