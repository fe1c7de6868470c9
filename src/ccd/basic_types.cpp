// Basic type of a data attribute, followed through the SCD's type templates:
// logical node -> LNodeType/DO -> DOType/SDO... -> DOType/DA -> DAType/BDA...

#include "ccd/builder.h"
#include "ccd/data_references.h"
#include "util/nodes.h"
#include "util/text.h"

namespace ccdcrc {

namespace {
constexpr const char* default_btype = "BOOLEAN";
using TypeStep = ScdLookups::TypeStep;
}  // namespace

std::string resolve_btype(const ScdLookups& scd, const DataReference& reference, pugi::xml_node ldevice) {
  const std::string& da_name = reference.da_name;
  const std::string& do_name = reference.do_name;
  std::string result = default_btype;
  if (do_name.empty()) return result;
  pugi::xml_node logical_node = scd.logical_node(ldevice, reference.prefix, reference.ln_inst, reference.ln_class);
  if (!logical_node) return result;
  const std::string ln_type = attr(logical_node, "lnType");

  // The data object and its sub data objects; an unknown SDO stops the walk
  // at the type reached so far.
  std::string current_type;
  const std::vector<std::string> do_pieces = split(do_name, '.');
  if (pugi::xml_node data_object = scd.type_child(TypeStep::do_of_lnode_type, ln_type, do_pieces.front())) {
    current_type = attr(data_object, "type");
    for (std::size_t i = 1; i < do_pieces.size(); ++i) {
      pugi::xml_node sub = scd.type_child(TypeStep::sdo_of_do_type, current_type, do_pieces[i]);
      if (!sub) break;
      current_type = attr(sub, "type");
    }
  }

  if (da_name.find('.') == std::string::npos) {
    pugi::xml_node data_attribute = scd.type_child(TypeStep::da_of_do_type, current_type, da_name);
    if (data_attribute) result = attr(data_attribute, "bType");
    return result;
  }
  const std::vector<std::string> da_pieces = split(da_name, '.');
  pugi::xml_node data_attribute = scd.type_child(TypeStep::da_of_do_type, current_type, da_pieces.front());
  if (!data_attribute || da_pieces.size() == 1) return default_btype;
  current_type = attr(data_attribute, "type");
  for (std::size_t i = 1; i < da_pieces.size(); ++i) {
    pugi::xml_node level = scd.type_child(TypeStep::bda_of_da_type, current_type, da_pieces[i]);
    if (!level) return default_btype;
    if (i + 1 == da_pieces.size()) {
      result = attr(level, "bType");
    } else {
      current_type = attr(level, "type");
    }
  }
  return result;
}

}  // namespace ccdcrc
