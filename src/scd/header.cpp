#include "scd/header.h"

#include <string_view>

namespace ccdcrc {

ScdHeader scd_header(const Scd& scd) {
  for (pugi::xml_node child : scd.root().children()) {
    const std::string_view name = child.name();
    // The Header, also under a namespace prefix.
    if (child.type() != pugi::node_element || (name != "Header" && !name.ends_with(":Header"))) continue;
    const auto value = [&child](const char* attribute_name) -> std::optional<std::string> {
      const pugi::xml_attribute attribute = child.attribute(attribute_name);
      return attribute ? std::optional<std::string>(attribute.value()) : std::nullopt;
    };
    return {value("id"), value("version"), value("revision")};
  }
  return {};
}

ScdRevision scd_revision(const Scd& scd) {
  ScdHeader header = scd_header(scd);
  return {std::move(header.version), std::move(header.revision)};
}

}  // namespace ccdcrc
