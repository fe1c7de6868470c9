#include "report/scd_revision.h"

#include <string_view>

#include "report/output.h"

namespace ccdcrc {

namespace {}  // namespace

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

std::string revision_text(const ScdRevision& revision) {
  if (!revision.version && !revision.revision) return "no version or revision";
  return "version " + printable(revision.version.value_or("-")) + ", revision " +
         printable(revision.revision.value_or("-"));
}

void write_revision(JsonStream& json, const ScdRevision& revision) {
  json.open_object();
  json.member("version", json_text(revision.version));
  json.member("revision", json_text(revision.revision));
  json.close();
}

}  // namespace ccdcrc
