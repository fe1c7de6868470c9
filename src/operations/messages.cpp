#include "operations/messages.h"

#include <string_view>

#include "scd/name_suggestions.h"
#include "scd/scl_root.h"
#include "util/text.h"

namespace ccdcrc {

std::string no_circuits_message(const std::string& ied_name) {
  return "IED " + quoted(ied_name) + " has no GOOSE or sampled-value circuits, so it has no CRC";
}

std::optional<std::string> not_an_scd_message(const std::string& root_name) {
  if (is_scl_root_name(root_name)) return std::nullopt;
  if (root_name == "IED") return "not an SCD file: a CCD file; use verify";
  if (root_name.empty()) return "not an SCD file: an XML file without a root element";
  return "not an SCD file: an XML file whose root element is " + quoted(root_name) + ", not 'SCL'";
}

std::string shared_circuits_warning(std::size_t with_circuits, const std::string& ied_name) {
  return std::to_string(with_circuits) + " IEDs named " + quoted(ied_name) +
         " have circuits; the CRC of the last one is listed";
}

std::string ignored_content_message(const IgnoredContent& ignored) {
  if (ignored.kind == IgnoredContent::Kind::after_zero_byte) {
    return "a zero byte ends the XML text here; the " + std::to_string(ignored.bytes) + " bytes from it on are ignored";
  }
  if (ignored.kind == IgnoredContent::Kind::text_after_document_element) {
    return "text after the document element is ignored (an SCD ends with its root element)";
  }
  return "content after the document element is ignored (an SCD has one root element)";
}

std::string read_in_part_message(const IgnoredContent& ignored) {
  return "the file is read only in part, so its CRCs cannot stand for an approved configuration: " +
         ignored_content_message(ignored);
}

std::string not_scl_root_message(const std::string& ied_name, const std::string& root_name) {
  return "no IED " + quoted(ied_name) + ": the root element is " + quoted(root_name) +
         ", not 'SCL', so no IED can be looked up by name";
}

std::string unknown_ied_message(const Scd& scd, const IedLookup& lookup, const std::string& ied_name) {
  if (!lookup.root_is_scl()) return not_scl_root_message(ied_name, scd.root().name());
  std::string why = "no IED named " + quoted(ied_name);
  if (lookup.empty()) return why + " (the file has no IED at all)";
  const std::vector<std::string> close = NameSuggestions(lookup).close_to(ied_name);
  if (close.empty()) return why;
  why += "; did you mean ";
  for (std::size_t i = 0; i < close.size(); ++i) why += (i ? ", " : "") + quoted(close[i]);
  return why + "?";
}

std::string no_circuits_in_scd_message(const Scd& scd) {
  const std::size_t count = scd.ieds().size();
  const std::string reason = count == 0 ? "the file holds no IED"
                             : count == 1
                                 ? "its one IED has no GOOSE or sampled-value circuits"
                                 : "none of its " + std::to_string(count) + " IEDs has GOOSE or sampled-value circuits";
  return reason + ", so no IED has a CRC";
}

std::string shared_name_warning(std::size_t count, const std::string& name, std::string_view consequence) {
  return std::to_string(count) + " IEDs are named " + quoted(name) + "; " + std::string(consequence);
}

std::string shown_ccd_message(const std::string& ied_name, const ShownCcd& shown) {
  if (shown.status == ShownCcd::Status::no_circuits) return no_circuits_message(ied_name);
  if (shown.status == ShownCcd::Status::too_deep) return too_deep_to_show_message(ied_name, shown.depth);
  return {};
}

std::string too_deep_to_show_message(const std::string& ied_name, std::size_t depth) {
  return "the CCD of IED " + quoted(ied_name) + " nests elements " + std::to_string(depth) +
         " levels deep; its text is made only up to " + std::to_string(max_written_depth) +
         " levels (its CRC is computed all the same)";
}

ExportFailure export_failure(const std::string& ied_name, const ExportResult& result) {
  switch (result.status) {
    case ExportStatus::written: return {};
    case ExportStatus::no_circuits: return {false, no_circuits_message(ied_name)};
    case ExportStatus::unsafe_name:
      return {false, "IED " + quoted(ied_name) + " cannot be exported: its name is not a plain file name (" +
                         unusable_file_name(ied_name) + ")"};
    case ExportStatus::name_taken:
    case ExportStatus::too_deep:
    case ExportStatus::out_of_memory:
      return {false, "IED " + quoted(ied_name) + " cannot be exported: " + result.message};
    case ExportStatus::write_failed: return {true, "cannot write the CCD file: " + result.message};
  }
  return {};
}

}  // namespace ccdcrc
