#include "operations/verification.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "operations/ccd_pipeline.h"
#include "util/nodes.h"

namespace ccdcrc {

bool is_crc_text(std::string_view text) {
  return text.size() == 8 &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

CcdFileCheck check_ccd_file(const std::string& path) {
  CcdFileCheck check;
  LoadProblem problem;
  // A CCD file is read as an SCD is, except that the text is taken exactly as
  // the export wrote it: a carriage return in an element's text stays one
  // (the export writes it unescaped, and the CRC covers it), and a text of
  // blanks only that is an element's only content stays too.
  const unsigned options = (pugi::parse_full & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single;
  const std::unique_ptr<Scd> file = Scd::load(path, &problem, {LookupMode::queries, options});
  if (!file) {
    check.problem = problem.message;
    check.position = problem.position;
    return check;
  }
  const pugi::xml_node root = file->root();
  const auto unreadable = [&](pugi::xml_node where, std::string reason) {
    check.problem = std::move(reason);
    check.position = file->position(where);
    return check;
  };
  if (std::string(root.name()) != "IED") {
    return unreadable(root, "the root element is '" + std::string(root.name()) + "', not 'IED': not a CCD file");
  }
  check.ied_name = attr(root, "name");
  const std::vector<pugi::xml_node> crcs = child_elements(root, "CRC");
  if (crcs.empty()) return unreadable(root, "the IED element has no CRC element, so there is no CRC to check");
  if (crcs.size() > 1) return unreadable(crcs[1], "the IED element has more than one CRC element");
  const pugi::xml_attribute id = crcs[0].attribute("id");
  if (!id) return unreadable(crcs[0], "the CRC element has no id attribute");
  check.file_crc = id.value();
  if (!is_crc_text(check.file_crc)) {
    return unreadable(crcs[0], "the CRC id '" + check.file_crc + "' is not eight upper-case hexadecimal digits");
  }
  check.content_crc = finish_copy(root)->crc;
  check.status = check.content_crc == check.file_crc ? CcdFileStatus::ok : CcdFileStatus::modified;
  return check;
}

}  // namespace ccdcrc
