#include "scd/query_lookups.h"

#include <string_view>
#include <utility>

#include "scd/queries.h"
#include "util/nodes.h"
#include "util/text.h"

namespace ccdcrc {

namespace {

NodeList to_list(const pugi::xpath_node_set& nodes) {
  NodeList list;
  list.reserve(nodes.size());
  for (const pugi::xpath_node& node : nodes) list.push_back(node.node());
  return list;
}

// A non-empty prefix must match exactly; an empty one also matches none at all.
std::string with_prefix_rule(std::string query, const std::string& prefix) {
  if (!prefix.empty()) replace_all(query, query::any_prefix, "");
  return query;
}

}  // namespace

QueryLookups::QueryLookups(pugi::xml_node root, RootContent content)
    : root_(root), content_(std::move(content)), templates_(content_.first("DataTypeTemplates")) {}

pugi::xml_node QueryLookups::select_first_absolute(const std::string& query) const {
  if (!content_.in_fragments()) return select_first(root_, query);
  // The root's children are the top of fragment documents, where "/SCL/X"
  // is "/X"; a text is parted only when its root is SCL and its values
  // cannot change a query's text. The first fragment with a match holds the
  // first match in document order.
  const std::string in_fragment = query.substr(query::root_step.size());
  for (pugi::xml_node fragment : content_.holders()) {
    if (pugi::xml_node found = select_first(fragment, in_fragment)) return found;
  }
  return {};
}

CircuitSources QueryLookups::circuit_sources(pugi::xml_node ied) const {
  CircuitSources sources;
  for (pugi::xml_node access_point : child_elements(ied, "AccessPoint")) {
    ControlBlocksByKind blocks;
    for (ControlBlockKind kind : control_block_kinds) {
      blocks[kind] = to_list(select(access_point, format_query(query::published_controls, {names_of(kind).control})));
    }
    sources.access_points.emplace_back(access_point, std::move(blocks));
  }
  sources.inputs = to_list(select(ied, query::inputs));
  return sources;
}

pugi::xml_node QueryLookups::published_address(const std::string& ied_name, const std::string& ap_name,
                                               const std::string& cb_name, const std::string& ld_inst,
                                               ControlBlockKind kind) const {
  return select_first_absolute(
      format_query(query::published_address, {ied_name, ap_name, cb_name, ld_inst, names_of(kind).address}));
}

pugi::xml_node QueryLookups::data_set_in_ln0(pugi::xml_node ln0, const std::string& name) const {
  return select_first(ln0, format_query(query::data_set_by_name, {name}));
}

pugi::xml_node QueryLookups::data_set_in_ldevice(pugi::xml_node ldevice, const std::string& name) const {
  return select_first(ldevice, format_query(query::ln0_data_set_by_name, {name}));
}

pugi::xml_node QueryLookups::instance_doi(pugi::xml_node ldevice, const std::string& prefix, const std::string& ln_inst,
                                          const std::string& ln_class, const std::string& do_name) const {
  std::string text = format_query(query::instance_doi, {prefix, ln_inst, ln_class, do_name});
  return select_first(ldevice, with_prefix_rule(std::move(text), prefix));
}

pugi::xml_node QueryLookups::instance_path(pugi::xml_node start, const std::vector<std::string>& sdi_names,
                                           const std::string* dai_name) const {
  std::string path = ".";
  for (const std::string& name : sdi_names) path += format_query(query::sdi_step, {name});
  if (dai_name) path += format_query(query::dai_step, {*dai_name});
  return select_first(start, path);
}

pugi::xml_node QueryLookups::logical_node(pugi::xml_node ldevice, const std::string& prefix, const std::string& ln_inst,
                                          const std::string& ln_class) const {
  std::string text = format_query(query::logical_node, {prefix, ln_inst, ln_class});
  return select_first(ldevice, with_prefix_rule(std::move(text), prefix));
}

pugi::xml_node QueryLookups::type_child(TypeStep step, const std::string& type_id, const std::string& name) const {
  const char* query_template = nullptr;
  switch (step) {
    case TypeStep::do_of_lnode_type: query_template = query::do_of_lnode_type; break;
    case TypeStep::sdo_of_do_type: query_template = query::sdo_of_do_type; break;
    case TypeStep::da_of_do_type: query_template = query::da_of_do_type; break;
    case TypeStep::bda_of_da_type: query_template = query::bda_of_da_type; break;
  }
  return select_first(templates_, format_query(query_template, {type_id, name}));
}

pugi::xml_node QueryLookups::publisher_ldevice(const std::string& ied_name, const std::string& ld_inst) const {
  return select_first_absolute(format_query(query::publisher_ldevice, {ied_name, ld_inst}));
}

NodeList QueryLookups::input_members(pugi::xml_node ldevice, const std::string& ld_inst, const std::string& prefix,
                                     const std::string& ln_class, const std::string& ln_inst,
                                     const std::string& do_name, const std::string& da_name) const {
  std::string text = format_query(query::input_members, {ld_inst, prefix, ln_class, ln_inst, do_name, da_name});
  if (prefix.empty()) replace_all(text, "[@prefix='']", "[not(@prefix) or @prefix='']");
  if (ln_inst.empty()) replace_all(text, "[@lnInst='']", "[not(@lnInst) or @lnInst='']");
  if (da_name.empty()) replace_all(text, "[@daName='']", "");
  return to_list(select(ldevice, text));
}

pugi::xml_node QueryLookups::control_block_for_data_set(pugi::xml_node ldevice, ControlBlockKind kind,
                                                        const std::string& data_set_name) const {
  std::string in_device = format_query(query::control_block_by_data_set, {names_of(kind).control, data_set_name});
  pugi::xml_node found = select_first(ldevice, in_device);
  if (found) return found;
  return select_first(ldevice, format_query(query::control_block_in_server, {in_device}));
}

pugi::xml_node QueryLookups::subscribed_address(const std::string& ied_name, const std::string& cb_name,
                                                const std::string& ld_inst, ControlBlockKind kind) const {
  return select_first_absolute(
      format_query(query::subscribed_address, {ied_name, names_of(kind).address, cb_name, ld_inst}));
}

pugi::xml_node QueryLookups::ied_ldevice(pugi::xml_node ied, const std::string& inst) const {
  return select_first(ied, format_query(query::subscriber_ldevice, {inst}));
}

pugi::xml_node QueryLookups::doi_by_name(pugi::xml_node logical_node, const std::string& name) const {
  return select_first(logical_node, format_query(query::doi_by_name, {name}));
}

NodeList QueryLookups::logical_nodes_named(pugi::xml_node ldevice, const std::string& name) const {
  NodeList candidates = child_elements(ldevice, "LN");
  candidates.push_back(ldevice.child("LN0"));
  NodeList named;
  for (pugi::xml_node candidate : candidates) {
    if (attr(candidate, "prefix") + attr(candidate, "lnClass") + attr(candidate, "inst") == name) {
      named.push_back(candidate);
    }
  }
  return named;
}

}  // namespace ccdcrc
