#pragma once
// Lookups answered from indexes built once per loaded SCD, instead of running
// queries that scan the document for every control block, input and member.
// Each index is keyed by exactly the attributes its query tests, with XPath's
// semantics (a missing attribute differs from an empty one, first match in
// document order), so every answer is the node the query would select.

#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "scd/query_lookups.h"

namespace ccdcrc {

class IndexedLookups final : public ScdLookups {
 public:
  // `content`: the root's children (root_content.h).
  IndexedLookups(pugi::xml_node root, const RootContent& content);
  ~IndexedLookups() override;

  pugi::xml_node root() const override { return reference_.root(); }
  pugi::xml_node data_type_templates() const override { return reference_.data_type_templates(); }
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
  SharedContentPtr shared(pugi::xml_node node, const std::string& detail,
                          const std::function<void(SharedContent&)>& build) const override;
  void drop_built() const override;

  // Up to six attribute values, and the node they are looked up under.
  struct Key {
    const void* scope = nullptr;
    std::string_view parts[6];
    bool operator==(const Key& other) const;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };
  using FirstMatch = std::unordered_map<Key, pugi::xml_node, KeyHash>;
  using AllMatches = std::unordered_map<Key, NodeList, KeyHash>;

  // The data-set members of a server by the whole reference an input
  // names: by its data object, for an input without daName, and by its
  // attribute, for one with a daName. Either lookup costs what it returns.
  struct MemberMatches {
    AllMatches by_object;
    AllMatches by_attribute;
  };

  // An index built on first use; not usable when the document defeats it.
  template <typename Index>
  struct Built {
    Index index;
    bool usable = true;
  };
  template <typename Index>
  using BuiltTable = std::unordered_map<const void*, std::unique_ptr<Built<Index>>>;

 private:
  void index_communication();
  void index_ieds();
  void index_templates();
  const Built<AllMatches>& logical_nodes_of(pugi::xml_node ldevice) const;
  const Built<MemberMatches>& members_of_server(pugi::xml_node server) const;
  const Built<FirstMatch>& control_blocks_of_server(pugi::xml_node server) const;

  QueryLookups reference_;  // answers whatever the indexes cannot answer exactly
  bool exact_ = true;       // false when the document defeats the indexes
  bool scl_root_ = false;   // absolute queries need a root named SCL
  PerKind<FirstMatch> published_addresses_;
  PerKind<FirstMatch> subscribed_addresses_;
  FirstMatch publisher_ldevices_;
  FirstMatch ied_ldevices_;
  FirstMatch type_children_[4];

  // Built on first use, per logical device and per server; shared by threads.
  mutable std::mutex lazy_mutex_;
  mutable BuiltTable<AllMatches> logical_nodes_;
  mutable BuiltTable<MemberMatches> server_members_;
  mutable BuiltTable<FirstMatch> server_control_blocks_;
  mutable BuiltTable<FirstMatch> dois_;
  mutable BuiltTable<std::unordered_map<std::string, NodeList>> ln_names_;

  // Built content shared by all CCDs, by node and detail, and the document
  // that holds the nodes of all of it.
  mutable std::mutex shared_mutex_;
  mutable std::unordered_map<std::string, SharedContentPtr> shared_;
  mutable std::shared_ptr<pugi::xml_document> shared_nodes_;  // kept by every content too
};

}  // namespace ccdcrc
