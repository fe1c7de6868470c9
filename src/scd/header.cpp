#include "scd/header.h"

#include <string_view>

namespace ccdcrc {

ScdHeader scd_header(const Scd& scd) {
  // The first Header, also under a namespace prefix.
  pugi::xml_node header;
  scd.content().for_each([&header](pugi::xml_node child) {
    const std::string_view name = child.name();
    if (!header && child.type() == pugi::node_element && (name == "Header" || name.ends_with(":Header"))) {
      header = child;
    }
  });
  if (!header) return {};
  const auto value = [&header](const char* attribute_name) -> std::optional<std::string> {
    const pugi::xml_attribute attribute = header.attribute(attribute_name);
    return attribute ? std::optional<std::string>(attribute.value()) : std::nullopt;
  };
  return {value("id"), value("version"), value("revision")};
}

ScdRevision scd_revision(const Scd& scd) {
  ScdHeader header = scd_header(scd);
  return {std::move(header.version), std::move(header.revision)};
}

}  // namespace ccdcrc
