#include "operations/ccd_pipeline.h"

#include <cstring>

#include "crc/canonical.h"
#include "util/nodes.h"

namespace ccdcrc {

std::unique_ptr<Ccd> build_ied_ccd(const Scd& scd, pugi::xml_node ied, CcdPurpose purpose, NodeList* unbound_inputs) {
  auto ccd = std::make_unique<Ccd>();
  ccd->root = start_ccd_document(ccd->document, ied);
  ccd->nothing_found = build_ccd(ccd->root, scd.lookups(), ied, purpose, unbound_inputs);
  return ccd;
}

std::unique_ptr<FinishedCcd> finish_copy(pugi::xml_node ccd_root) {
  auto finished = std::make_unique<FinishedCcd>();
  pugi::xml_document& document = finished->document;
  add_ccd_declaration(document);
  // The root's own content, child by child: a CRC element is never copied, so
  // that it need not be removed (which pugixml does level by level on the
  // stack, whatever its depth).
  pugi::xml_node root = add_element(document, ccd_root.name());
  for (pugi::xml_attribute attribute : ccd_root.attributes()) add_attribute(root, attribute.name(), attribute.value());
  for (pugi::xml_node child : ccd_root.children()) {
    if (child.type() == pugi::node_element && std::strcmp(child.name(), "CRC") == 0) continue;
    add_copy(root, child);
  }
  finish_ccd(root);
  finished->root = root;
  finished->crc = ccd_crc_text(document);
  return finished;
}

std::optional<std::string> ied_crc(const Scd& scd, pugi::xml_node ied, NodeList* unbound_inputs) {
  std::unique_ptr<Ccd> ccd = build_ied_ccd(scd, ied, CcdPurpose::measured, unbound_inputs);
  if (ccd->nothing_found) return std::nullopt;
  finish_ccd(ccd->root);
  return ccd_crc_text(ccd->document);
}

}  // namespace ccdcrc
