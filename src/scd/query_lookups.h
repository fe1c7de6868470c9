#pragma once
// The reference implementation of the lookups: each one is the XPath query
// that defines it (see queries.h), run on the document.

#include "scd/lookups.h"
#include "scd/root_content.h"

namespace ccdcrc {

// Answers every lookup by running its XPath query on the document.
class QueryLookups final : public ScdLookups {
 public:
  // `content`: the root's children (root_content.h).
  QueryLookups(pugi::xml_node root, RootContent content);

  pugi::xml_node root() const override { return root_; }
  const RootContent& content() const { return content_; }
  pugi::xml_node data_type_templates() const override { return templates_; }
  pugi::xml_node published_address(const std::string& ied_name, const std::string& ap_name, const std::string& cb_name,
                                   const std::string& ld_inst, ControlBlockKind kind) const override;
  pugi::xml_node data_set_in_ln0(pugi::xml_node ln0, const std::string& name) const override;
  pugi::xml_node data_set_in_ldevice(pugi::xml_node ldevice, const std::string& name) const override;
  pugi::xml_node instance_doi(pugi::xml_node ldevice, const std::string& prefix, const std::string& ln_inst,
                              const std::string& ln_class, const std::string& do_name) const override;
  pugi::xml_node instance_path(pugi::xml_node start, const std::vector<std::string>& sdi_names,
                               const std::string* dai_name) const override;
  pugi::xml_node logical_node(pugi::xml_node ldevice, const std::string& prefix, const std::string& ln_inst,
                              const std::string& ln_class) const override;
  pugi::xml_node type_child(TypeStep step, const std::string& type_id, const std::string& name) const override;
  CircuitSources circuit_sources(pugi::xml_node ied) const override;
  pugi::xml_node publisher_ldevice(const std::string& ied_name, const std::string& ld_inst) const override;
  NodeList input_members(pugi::xml_node ldevice, const std::string& ld_inst, const std::string& prefix,
                         const std::string& ln_class, const std::string& ln_inst, const std::string& do_name,
                         const std::string& da_name) const override;
  pugi::xml_node control_block_for_data_set(pugi::xml_node ldevice, ControlBlockKind kind,
                                            const std::string& data_set_name) const override;
  pugi::xml_node subscribed_address(const std::string& ied_name, const std::string& cb_name, const std::string& ld_inst,
                                    ControlBlockKind kind) const override;
  pugi::xml_node ied_ldevice(pugi::xml_node ied, const std::string& inst) const override;
  pugi::xml_node doi_by_name(pugi::xml_node logical_node, const std::string& name) const override;
  NodeList logical_nodes_named(pugi::xml_node ldevice, const std::string& name) const override;

 private:
  // The first node an absolute query selects.
  pugi::xml_node select_first_absolute(const std::string& query) const;

  pugi::xml_node root_;
  RootContent content_;
  pugi::xml_node templates_;
};

}  // namespace ccdcrc
