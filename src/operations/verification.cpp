#include "operations/verification.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "operations/ccd_pipeline.h"
#include "operations/messages.h"
#include "operations/scd_input.h"
#include "util/nodes.h"
#include "util/text.h"

namespace ccdcrc {

bool is_crc_text(std::string_view text) {
  return text.size() == 8 &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

namespace {

bool is_crc_element(pugi::xml_node node) {
  return node.type() == pugi::node_element && std::strcmp(node.name(), "CRC") == 0;
}

// Blank text that holds a line feed is indentation, unless it is all its
// element holds (the CRC element aside): a CCD's own text comes first in its
// element, and blanks with a line break before a child or the end tag count
// for the CRC as nothing but that line break. Removed, such text leaves an
// element that held only a CRC element empty, as it was built.
bool is_indentation(pugi::xml_node node) {
  if (node.type() != pugi::node_pcdata) return false;
  const std::string_view text = node.value();
  if (text.find('\n') == std::string_view::npos || text.find_first_not_of(" \t\r\n") != std::string_view::npos) {
    return false;
  }
  for (pugi::xml_node sibling : node.parent().children()) {
    if (sibling != node && !is_crc_element(sibling)) return true;
  }
  return false;
}

// Removes the indentation of the whole tree, walked without recursion.
void remove_indentation(pugi::xml_node root) {
  std::vector<pugi::xml_node> pending{root};
  while (!pending.empty()) {
    pugi::xml_node element = pending.back();
    pending.pop_back();
    std::vector<pugi::xml_node> indentation;
    for (pugi::xml_node child : element.children()) {
      if (is_indentation(child)) indentation.push_back(child);
      if (child.type() == pugi::node_element) pending.push_back(child);
    }
    for (pugi::xml_node text : indentation) element.remove_child(text);
  }
}

// A CCD file is read as an SCD is, except that the text is taken exactly as
// the export wrote it: a carriage return in an element's text stays one (the
// export writes it unescaped, and the CRC covers it), and so does text of
// blanks only, which a CCD keeps before an element's children. The
// indentation between elements comes along as text too, but it only ever
// stands where a line starts or ends, and the canonical text trims it away.
ScdReading ccd_reading() {
  const unsigned options = (pugi::parse_full & ~pugi::parse_eol) | pugi::parse_ws_pcdata;
  ScdReading reading = file_as_given();
  reading.load = {.lookups = LookupMode::queries, .parse_options = options, .parting = {}};
  return reading;
}

// Checks the CRC of a CCD file as loaded (null: not loaded, for `problem`).
CcdFileCheck check_loaded(const std::unique_ptr<Scd>& file, const LoadProblem& problem) {
  CcdFileCheck check;
  if (!file) {
    check.problem = problem.message;
    check.position = problem.position;
    return check;
  }
  // Content the document leaves out could be what another reader takes.
  if (const std::optional<IgnoredContent>& ignored = file->ignored_content()) {
    check.problem = read_in_part_message(*ignored);
    check.position = ignored->position;
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
  remove_indentation(root);
  check.content_crc = finish_copy(root)->crc;
  check.status = check.content_crc == check.file_crc ? CcdFileStatus::ok : CcdFileStatus::modified;
  return check;
}

}  // namespace

CcdFileCheck check_ccd_file(const std::string& path) {
  LoadProblem problem;
  const std::unique_ptr<Scd> file = load_scd_input(path, ccd_reading(), nullptr, problem);
  return check_loaded(file, problem);
}

CcdFileCheck check_ccd_bytes(std::string_view bytes, const std::string& name) {
  LoadProblem problem;
  const std::unique_ptr<Scd> file = load_scd_input_bytes(bytes, name, ccd_reading(), nullptr, problem);
  return check_loaded(file, problem);
}

const char* verify_status_name(VerifyStatus status) {
  switch (status) {
    case VerifyStatus::ok: return "ok";
    case VerifyStatus::modified: return "modified";
    case VerifyStatus::outdated: return "outdated";
    case VerifyStatus::unreadable: return "unreadable";
  }
  return "";
}

CurrentCrcs::CurrentCrcs(const Scd& scd) : scd_(scd) {
  for (ListedIed& listed : listed_ieds(scd)) by_name_.emplace(listed.name, std::move(listed));
}

void CurrentCrcs::compare(VerifiedFile& file) const {
  const std::string& name = file.check.ied_name;
  const auto listed = by_name_.find(name);
  if (listed == by_name_.end()) {
    file.status = VerifyStatus::outdated;
    file.outdated_reason = "the SCD has no IED named " + quoted(name);
    return;
  }
  file.shared_name_count = listed->second.count;
  file.current_crc = ied_crc(scd_, listed->second.ied);
  if (!file.current_crc) file.outdated_reason = "the IED has no circuits in the SCD";
  file.status = file.current_crc == file.check.file_crc ? VerifyStatus::ok : VerifyStatus::outdated;
}

namespace {

VerifiedFile verified(const std::string& path, CcdFileCheck check, const CurrentCrcs* current) {
  VerifiedFile file{path, VerifyStatus::unreadable, std::move(check), std::nullopt, {}, 0};
  switch (file.check.status) {
    case CcdFileStatus::unreadable: break;
    case CcdFileStatus::modified: file.status = VerifyStatus::modified; break;
    case CcdFileStatus::ok:
      file.status = VerifyStatus::ok;
      if (current) current->compare(file);
      break;
  }
  return file;
}

}  // namespace

VerifiedFile verify_ccd_file(const std::string& path, const CurrentCrcs* current) {
  return verified(path, check_ccd_file(path), current);
}

VerifiedFile verify_ccd_bytes(std::string_view bytes, const std::string& name, const CurrentCrcs* current) {
  return verified(name, check_ccd_bytes(bytes, name), current);
}

}  // namespace ccdcrc
