#include "scd/indexed_lookups.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <unordered_set>

#include "scd/scl_root.h"
#include "util/nodes.h"

namespace ccdcrc {

namespace {

using Key = IndexedLookups::Key;

bool is_element(pugi::xml_node node, const char* name) {
  return std::strcmp(node.name(), name) == 0 && node.type() == pugi::node_element;
}

// @name='value' as pugixml's XPath tests it: an element that (against XML's
// rules) repeats an attribute is tested on the first one of that name only.
bool attribute_equals(pugi::xml_node node, const char* name, std::string_view value) {
  pugi::xml_attribute attribute = node.attribute(name);
  return attribute && value == attribute.value();
}

// Calls `visit` for each element child with this name, in document order.
// The name is matched inside pugixml; only matches pay for the type test.
template <typename Visit>
void for_each_child(pugi::xml_node parent, const char* name, Visit visit) {
  for (pugi::xml_node child : parent.children(name)) {
    if (child.type() == pugi::node_element) visit(child);
  }
}

// The first element child with this name whose attribute `key` equals `value`.
pugi::xml_node first_child_with(pugi::xml_node parent, const char* name, const char* key, std::string_view value) {
  for (pugi::xml_node child : parent.children(name)) {
    if (child.type() == pugi::node_element && attribute_equals(child, key, value)) return child;
  }
  return {};
}

// Reads attributes for an index key. Missing ones are remembered, and a name
// that occurs twice makes the element unindexable: such documents, not
// well-formed XML, are answered by the queries themselves.
class AttributeReader {
 public:
  explicit AttributeReader(bool& exact) : exact_(exact) {}

  // The value, or nullopt when the attribute is missing.
  std::optional<std::string_view> operator()(pugi::xml_node node, const char* name) {
    std::optional<std::string_view> found;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      if (std::strcmp(a.name(), name) != 0) continue;
      if (found) exact_ = false;
      found = a.value();
    }
    return found;
  }

  // The value with a missing attribute read as empty, for tests of the form
  // "not(@x) or @x=''" as much as "@x='v'" with v not empty.
  std::string_view or_empty(pugi::xml_node node, const char* name) { return (*this)(node, name).value_or(""); }

 private:
  bool& exact_;
};

// Values that would change the query text itself rather than fill its literals.
bool needs_query(std::initializer_list<std::string_view> values) {
  for (std::string_view value : values) {
    if (value.find('\'') != std::string_view::npos || value.find("not(@prefix") != std::string_view::npos) return true;
  }
  return false;
}

pugi::xml_node find(const IndexedLookups::FirstMatch& index, const Key& key) {
  auto found = index.find(key);
  return found == index.end() ? pugi::xml_node() : found->second;
}

const NodeList* find_all(const IndexedLookups::AllMatches& index, const Key& key) {
  auto found = index.find(key);
  return found == index.end() ? nullptr : &found->second;
}

const char* control_tag(ControlBlockKind kind) { return names_of(kind).control; }
const char* address_tag(ControlBlockKind kind) { return names_of(kind).address; }

// Scope of an index that holds no per-node scope.
constexpr const void* global = nullptr;

// Returns the index of `scope` in `table`, built by `build(index, exact)` on
// first use. Built under the lock; once built, an index is only read. An index
// that `build` found inexact is marked unusable: its lookups go to the queries.
// An index is kept only when built whole: when building throws (memory ran
// out), the next lookup builds it again instead of reading half of it.
template <typename Index, typename Build>
const IndexedLookups::Built<Index>& lazily(std::mutex& mutex, IndexedLookups::BuiltTable<Index>& table,
                                           pugi::xml_node scope, Build build) {
  std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<IndexedLookups::Built<Index>>& kept = table[scope.internal_object()];
  if (!kept) {
    auto built = std::make_unique<IndexedLookups::Built<Index>>();
    bool exact = true;
    build(built->index, exact);
    built->usable = exact;
    kept = std::move(built);
  }
  return *kept;
}

}  // namespace

bool IndexedLookups::Key::operator==(const Key& other) const {
  return scope == other.scope && std::equal(std::begin(parts), std::end(parts), std::begin(other.parts));
}

std::size_t IndexedLookups::KeyHash::operator()(const Key& key) const {
  // FNV-1a over the parts, each ended by a byte no name holds: keys are a
  // few short names, asked for once or more per member and input.
  std::uint64_t hash = 14695981039346656037u ^ reinterpret_cast<std::uintptr_t>(key.scope);
  constexpr std::uint64_t prime = 1099511628211u;
  for (std::string_view part : key.parts) {
    for (char c : part) hash = (hash ^ static_cast<unsigned char>(c)) * prime;
    hash = (hash ^ 0xFFu) * prime;
  }
  return static_cast<std::size_t>(hash ^ (hash >> 29));
}

IndexedLookups::IndexedLookups(pugi::xml_node root, const RootContent& content) : reference_(root, content) {
  scl_root_ = queries_reach_root(root);
  index_communication();
  index_ieds();
  index_templates();
}

IndexedLookups::~IndexedLookups() = default;

void IndexedLookups::index_communication() {
  if (!scl_root_) return;
  AttributeReader read(exact_);
  reference_.content().for_each_element("Communication", [&](pugi::xml_node communication) {
    for_each_child(communication, "SubNetwork", [&](pugi::xml_node subnetwork) {
      for_each_child(subnetwork, "ConnectedAP", [&](pugi::xml_node connected_ap) {
        auto ied_name = read(connected_ap, "iedName");
        auto ap_name = read(connected_ap, "apName");
        if (!ied_name) return;
        for (ControlBlockKind kind : control_block_kinds) {
          for_each_child(connected_ap, address_tag(kind), [&](pugi::xml_node entry) {
            auto cb_name = read(entry, "cbName");
            auto ld_inst = read(entry, "ldInst");
            if (!cb_name || !ld_inst) return;
            subscribed_addresses_[kind].try_emplace(Key{global, {*ied_name, *cb_name, *ld_inst}}, entry);
            if (ap_name) {
              published_addresses_[kind].try_emplace(Key{global, {*ied_name, *ap_name, *cb_name, *ld_inst}}, entry);
            }
          });
        }
      });
    });
  });
}

void IndexedLookups::index_ieds() {
  AttributeReader read(exact_);
  reference_.content().for_each_element("IED", [&](pugi::xml_node ied) {
    auto ied_name = read(ied, "name");
    for_each_child(ied, "AccessPoint", [&](pugi::xml_node access_point) {
      for_each_child(access_point, "Server", [&](pugi::xml_node server) {
        for_each_child(server, "LDevice", [&](pugi::xml_node ldevice) {
          auto inst = read(ldevice, "inst");
          if (!inst) return;
          ied_ldevices_.try_emplace(Key{ied.internal_object(), {*inst}}, ldevice);
          if (scl_root_ && ied_name) publisher_ldevices_.try_emplace(Key{global, {*ied_name, *inst}}, ldevice);
        });
      });
    });
  });
}

void IndexedLookups::index_templates() {
  AttributeReader read(exact_);
  struct Step {
    TypeStep step;
    const char* type_tag;
    const char* child_tag;
  };
  const Step steps[] = {{TypeStep::do_of_lnode_type, "LNodeType", "DO"},
                        {TypeStep::sdo_of_do_type, "DOType", "SDO"},
                        {TypeStep::da_of_do_type, "DOType", "DA"},
                        {TypeStep::bda_of_da_type, "DAType", "BDA"}};
  for (const Step& step : steps) {
    FirstMatch& index = type_children_[static_cast<std::size_t>(step.step)];
    for_each_child(data_type_templates(), step.type_tag, [&](pugi::xml_node type) {
      auto id = read(type, "id");
      if (!id) return;
      for_each_child(type, step.child_tag, [&](pugi::xml_node child) {
        if (auto name = read(child, "name")) index.try_emplace(Key{global, {*id, *name}}, child);
      });
    });
  }
}

const IndexedLookups::Built<IndexedLookups::AllMatches>& IndexedLookups::logical_nodes_of(
    pugi::xml_node ldevice) const {
  return lazily(lazy_mutex_, logical_nodes_, ldevice, [&](AllMatches& index, bool& exact) {
    AttributeReader read(exact);
    // Scope null holds the LN0 branch of the union, scope &index its LN branch.
    for (pugi::xml_node child = ldevice.first_child(); child; child = child.next_sibling()) {
      const bool ln0 = is_element(child, "LN0");
      if (!ln0 && !is_element(child, "LN")) continue;
      auto inst = read(child, "inst");
      auto ln_class = read(child, "lnClass");
      std::string_view prefix = read.or_empty(child, "prefix");
      if (!inst || !ln_class) continue;
      index[Key{ln0 ? nullptr : &index, {prefix, *inst, *ln_class}}].push_back(child);
    }
  });
}

const IndexedLookups::Built<IndexedLookups::MemberMatches>& IndexedLookups::members_of_server(
    pugi::xml_node server) const {
  return lazily(lazy_mutex_, server_members_, server, [&](MemberMatches& index, bool& exact) {
    // A member counts only through a control block that sends its data set, so
    // members of data sets that no control block of the server names (reports,
    // logs) are left out. A name with an apostrophe changes the query that looks
    // for the control block, so such data sets stay in.
    std::unordered_set<std::string_view> sent;
    NodeList data_sets;
    for_each_child(server, "LDevice", [&](pugi::xml_node ldevice) {
      for_each_child(ldevice, "LN0", [&](pugi::xml_node ln0) {
        for (pugi::xml_node child = ln0.first_child(); child; child = child.next_sibling()) {
          if (is_element(child, "DataSet")) {
            data_sets.push_back(child);
          } else if (child.type() == pugi::node_element && is_control_block(child.name())) {
            for (pugi::xml_attribute a = child.first_attribute(); a; a = a.next_attribute()) {
              if (std::strcmp(a.name(), "datSet") == 0) sent.insert(a.value());
            }
          }
        }
      });
    });
    for (pugi::xml_node data_set : data_sets) {
      const std::string_view name = data_set.attribute("name").value();
      if (!sent.count(name) && name.find('\'') == std::string_view::npos) continue;
      for_each_child(data_set, "FCDA", [&](pugi::xml_node member) {
        // One pass over the member's attributes; a repeated one defeats the index.
        static constexpr const char* tested[6] = {"ldInst", "lnClass", "doName", "prefix", "lnInst", "daName"};
        const char* values[6] = {};
        for (pugi::xml_attribute a = member.first_attribute(); a; a = a.next_attribute()) {
          for (int slot = 0; slot < 6; ++slot) {
            if (std::strcmp(a.name(), tested[slot]) != 0) continue;
            if (values[slot]) exact = false;
            values[slot] = a.value();
            break;
          }
        }
        // A missing prefix or lnInst is found as an empty one (the queries test
        // "not(@x) or @x=''"); a member without daName only by an input without
        // one, whose query does not test it.
        if (!values[0] || !values[1] || !values[2]) return;
        const Key object{global,
                         {values[0], values[3] ? values[3] : "", values[1], values[4] ? values[4] : "", values[2]}};
        index.by_object[object].push_back(member);
        if (values[5]) {
          Key attribute = object;
          attribute.parts[5] = values[5];
          index.by_attribute[attribute].push_back(member);
        }
      });
    }
  });
}

const IndexedLookups::Built<IndexedLookups::FirstMatch>& IndexedLookups::control_blocks_of_server(
    pugi::xml_node server) const {
  return lazily(lazy_mutex_, server_control_blocks_, server, [&](FirstMatch& index, bool& exact) {
    AttributeReader read(exact);
    for_each_child(server, "LDevice", [&](pugi::xml_node ldevice) {
      for_each_child(ldevice, "LN0", [&](pugi::xml_node ln0) {
        for (ControlBlockKind kind : control_block_kinds) {
          for_each_child(ln0, control_tag(kind), [&](pugi::xml_node block) {
            auto data_set = read(block, "datSet");
            if (!data_set) return;
            index.try_emplace(Key{ldevice.internal_object(), {control_tag(kind), *data_set}}, block);
            index.try_emplace(Key{global, {control_tag(kind), *data_set}}, block);
          });
        }
      });
    });
  });
}

pugi::xml_node IndexedLookups::published_address(const std::string& ied_name, const std::string& ap_name,
                                                 const std::string& cb_name, const std::string& ld_inst,
                                                 ControlBlockKind kind) const {
  if (!exact_ || needs_query({ied_name, ap_name, cb_name, ld_inst})) {
    return reference_.published_address(ied_name, ap_name, cb_name, ld_inst, kind);
  }
  return find(published_addresses_[kind], Key{global, {ied_name, ap_name, cb_name, ld_inst}});
}

pugi::xml_node IndexedLookups::data_set_in_ln0(pugi::xml_node ln0, const std::string& name) const {
  if (needs_query({name})) return reference_.data_set_in_ln0(ln0, name);
  return first_child_with(ln0, "DataSet", "name", name);
}

pugi::xml_node IndexedLookups::data_set_in_ldevice(pugi::xml_node ldevice, const std::string& name) const {
  if (needs_query({name})) return reference_.data_set_in_ldevice(ldevice, name);
  for (pugi::xml_node ln0 : ldevice.children("LN0")) {
    if (ln0.type() != pugi::node_element) continue;
    if (pugi::xml_node data_set = data_set_in_ln0(ln0, name)) return data_set;
  }
  return {};
}

pugi::xml_node IndexedLookups::instance_doi(pugi::xml_node ldevice, const std::string& prefix,
                                            const std::string& ln_inst, const std::string& ln_class,
                                            const std::string& do_name) const {
  if (needs_query({prefix, ln_inst, ln_class, do_name})) {
    return reference_.instance_doi(ldevice, prefix, ln_inst, ln_class, do_name);
  }
  const Built<AllMatches>& built = logical_nodes_of(ldevice);
  if (!built.usable) return reference_.instance_doi(ldevice, prefix, ln_inst, ln_class, do_name);
  const AllMatches& index = built.index;
  for (const void* branch : {static_cast<const void*>(nullptr), static_cast<const void*>(&index)}) {
    if (const NodeList* nodes = find_all(index, Key{branch, {prefix, ln_inst, ln_class}})) {
      for (pugi::xml_node logical_node : *nodes) {
        if (pugi::xml_node doi = doi_by_name(logical_node, do_name)) return doi;
      }
    }
  }
  return {};
}

pugi::xml_node IndexedLookups::logical_node(pugi::xml_node ldevice, const std::string& prefix,
                                            const std::string& ln_inst, const std::string& ln_class) const {
  if (needs_query({prefix, ln_inst, ln_class})) return reference_.logical_node(ldevice, prefix, ln_inst, ln_class);
  const Built<AllMatches>& built = logical_nodes_of(ldevice);
  if (!built.usable) return reference_.logical_node(ldevice, prefix, ln_inst, ln_class);
  const AllMatches& index = built.index;
  for (const void* branch : {static_cast<const void*>(nullptr), static_cast<const void*>(&index)}) {
    if (const NodeList* nodes = find_all(index, Key{branch, {prefix, ln_inst, ln_class}})) return nodes->front();
  }
  return {};
}

pugi::xml_node IndexedLookups::instance_path(pugi::xml_node start, const std::vector<std::string>& sdi_names,
                                             const std::string* dai_name) const {
  if (!start) return {};
  const bool quoted =
      std::any_of(sdi_names.begin(), sdi_names.end(), [](const std::string& name) { return needs_query({name}); });
  if (quoted || (dai_name && needs_query({*dai_name}))) return reference_.instance_path(start, sdi_names, dai_name);
  const std::size_t steps = sdi_names.size() + (dai_name ? 1 : 0);
  if (steps == 0) return start;
  // Depth-first in document order: the first node the path selects.
  struct Frame {
    pugi::xml_node next;
    std::size_t depth;
  };
  std::vector<Frame> stack{{start.first_child(), 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    pugi::xml_node child = frame.next;
    if (!child) {
      stack.pop_back();
      continue;
    }
    frame.next = child.next_sibling();
    const std::size_t depth = frame.depth;
    const bool last = depth + 1 == steps;
    const bool dai_step = last && dai_name;
    const std::string& name = dai_step ? *dai_name : sdi_names[depth];
    if (!is_element(child, dai_step ? "DAI" : "SDI") || !attribute_equals(child, "name", name)) continue;
    if (last) return child;
    stack.push_back({child.first_child(), depth + 1});
  }
  return {};
}

pugi::xml_node IndexedLookups::type_child(TypeStep step, const std::string& type_id, const std::string& name) const {
  if (!exact_ || needs_query({type_id, name})) return reference_.type_child(step, type_id, name);
  return find(type_children_[static_cast<std::size_t>(step)], Key{global, {type_id, name}});
}

CircuitSources IndexedLookups::circuit_sources(pugi::xml_node ied) const {
  // One pass over the children of every logical node: the control blocks
  // under LN0, the inputs under LN0 and LN.
  CircuitSources sources;
  auto add_inputs = [&](pugi::xml_node inputs) {
    for_each_child(inputs, "ExtRef", [&](pugi::xml_node ext_ref) {
      // @intAddr!='': the (first) intAddr attribute is there and not empty.
      if (*ext_ref.attribute("intAddr").value() != '\0') sources.inputs.push_back(ext_ref);
    });
  };
  for_each_child(ied, "AccessPoint", [&](pugi::xml_node access_point) {
    ControlBlocksByKind& blocks = sources.access_points.emplace_back(access_point, ControlBlocksByKind{}).second;
    for_each_child(access_point, "Server", [&](pugi::xml_node server) {
      for_each_child(server, "LDevice", [&](pugi::xml_node ldevice) {
        for (pugi::xml_node ln = ldevice.first_child(); ln; ln = ln.next_sibling()) {
          if (ln.type() != pugi::node_element) continue;
          const char* ln_name = ln.name();
          const bool ln0 = std::strcmp(ln_name, "LN0") == 0;
          if (!ln0 && std::strcmp(ln_name, "LN") != 0) continue;
          // Most children are DOIs: they are told apart by the first letter
          // of their name, and only a name that may match is compared.
          for (pugi::xml_node child = ln.first_child(); child; child = child.next_sibling()) {
            switch (child.name()[0]) {
              case 'I':
                if (is_element(child, "Inputs")) add_inputs(child);
                break;
              case 'G':
                if (ln0 && is_element(child, names_of(ControlBlockKind::goose).control)) {
                  blocks[ControlBlockKind::goose].push_back(child);
                }
                break;
              case 'S':
                if (ln0 && is_element(child, names_of(ControlBlockKind::sampled_values).control)) {
                  blocks[ControlBlockKind::sampled_values].push_back(child);
                }
                break;
              default: break;
            }
          }
        }
      });
    });
  });
  return sources;
}

pugi::xml_node IndexedLookups::publisher_ldevice(const std::string& ied_name, const std::string& ld_inst) const {
  if (!exact_ || needs_query({ied_name, ld_inst})) return reference_.publisher_ldevice(ied_name, ld_inst);
  return find(publisher_ldevices_, Key{global, {ied_name, ld_inst}});
}

NodeList IndexedLookups::input_members(pugi::xml_node ldevice, const std::string& ld_inst, const std::string& prefix,
                                       const std::string& ln_class, const std::string& ln_inst,
                                       const std::string& do_name, const std::string& da_name) const {
  if (needs_query({ld_inst, prefix, ln_class, ln_inst, do_name, da_name})) {
    return reference_.input_members(ldevice, ld_inst, prefix, ln_class, ln_inst, do_name, da_name);
  }
  const Built<MemberMatches>& built = members_of_server(ldevice.parent());
  if (!built.usable) return reference_.input_members(ldevice, ld_inst, prefix, ln_class, ln_inst, do_name, da_name);
  Key key{global, {ld_inst, prefix, ln_class, ln_inst, do_name}};
  // An empty daName matches any.
  if (!da_name.empty()) key.parts[5] = da_name;
  const NodeList* members = find_all(da_name.empty() ? built.index.by_object : built.index.by_attribute, key);
  return members ? *members : NodeList();
}

pugi::xml_node IndexedLookups::control_block_for_data_set(pugi::xml_node ldevice, ControlBlockKind kind,
                                                          const std::string& data_set_name) const {
  if (needs_query({data_set_name})) return reference_.control_block_for_data_set(ldevice, kind, data_set_name);
  const Built<FirstMatch>& built = control_blocks_of_server(ldevice.parent());
  if (!built.usable) return reference_.control_block_for_data_set(ldevice, kind, data_set_name);
  const FirstMatch& index = built.index;
  // First in the logical device's own LN0, else in any LN0 of the server.
  pugi::xml_node block = find(index, Key{ldevice.internal_object(), {control_tag(kind), data_set_name}});
  return block ? block : find(index, Key{global, {control_tag(kind), data_set_name}});
}

pugi::xml_node IndexedLookups::subscribed_address(const std::string& ied_name, const std::string& cb_name,
                                                  const std::string& ld_inst, ControlBlockKind kind) const {
  if (!exact_ || needs_query({ied_name, cb_name, ld_inst})) {
    return reference_.subscribed_address(ied_name, cb_name, ld_inst, kind);
  }
  return find(subscribed_addresses_[kind], Key{global, {ied_name, cb_name, ld_inst}});
}

pugi::xml_node IndexedLookups::ied_ldevice(pugi::xml_node ied, const std::string& inst) const {
  if (!exact_ || needs_query({inst})) return reference_.ied_ldevice(ied, inst);
  return find(ied_ldevices_, Key{ied.internal_object(), {inst}});
}

pugi::xml_node IndexedLookups::doi_by_name(pugi::xml_node logical_node, const std::string& name) const {
  if (needs_query({name})) return reference_.doi_by_name(logical_node, name);
  // Logical nodes with many DOIs are asked for many of them, one per input
  // or member: one pass over the DOIs instead of one per question.
  const FirstMatch& index = lazily(lazy_mutex_, dois_, logical_node, [&](FirstMatch& dois, bool&) {
                              for_each_child(logical_node, "DOI", [&](pugi::xml_node doi) {
                                // The first attribute of the name is the one tested.
                                pugi::xml_attribute doi_name = doi.attribute("name");
                                if (doi_name) dois.try_emplace(Key{global, {doi_name.value()}}, doi);
                              });
                            }).index;
  return find(index, Key{global, {name}});
}

SharedContentPtr IndexedLookups::shared(pugi::xml_node node, const std::string& detail,
                                        const std::function<void(SharedContent&)>& build) const {
  const void* identity = node.internal_object();
  std::string key(reinterpret_cast<const char*>(&identity), sizeof identity);
  key += detail;
  // Built under the lock, into one document for all: a document of its own
  // would take a page of memory for a few nodes. Readers copy from other
  // entries meanwhile; appending an entry changes none of their nodes.
  std::lock_guard<std::mutex> lock(shared_mutex_);
  auto found = shared_.find(key);
  if (found != shared_.end()) return found->second;
  if (!shared_nodes_) shared_nodes_ = std::make_shared<pugi::xml_document>();
  auto content = std::make_shared<SharedContent>();
  content->document = shared_nodes_;
  content->nodes = add_element(*shared_nodes_, "shared");
  try {
    build(*content);
  } catch (...) {
    shared_nodes_->remove_child(content->nodes);
    throw;
  }
  return shared_.try_emplace(std::move(key), std::move(content)).first->second;
}

void IndexedLookups::drop_built() const {
  {
    std::lock_guard<std::mutex> lock(lazy_mutex_);
    logical_nodes_.clear();
    server_members_.clear();
    server_control_blocks_.clear();
    dois_.clear();
    ln_names_.clear();
  }
  std::lock_guard<std::mutex> lock(shared_mutex_);
  shared_.clear();
  // Content still held elsewhere keeps the document alive.
  shared_nodes_.reset();
}

NodeList IndexedLookups::logical_nodes_named(pugi::xml_node ldevice, const std::string& name) const {
  using Names = std::unordered_map<std::string, NodeList>;
  const Names& names = lazily(lazy_mutex_, ln_names_, ldevice, [&](Names& index, bool&) {
                         auto add = [&](pugi::xml_node ln) {
                           std::string ln_name = ln.attribute("prefix").as_string("");
                           ln_name += ln.attribute("lnClass").as_string("");
                           ln_name += ln.attribute("inst").as_string("");
                           index[std::move(ln_name)].push_back(ln);
                         };
                         for_each_child(ldevice, "LN", add);
                         // Only an element can hold the DOI sought; a processing instruction of that name holds none.
                         pugi::xml_node ln0 = ldevice.child("LN0");
                         if (ln0.type() == pugi::node_element) add(ln0);
                       }).index;
  auto found = names.find(name);
  return found == names.end() ? NodeList() : found->second;
}

}  // namespace ccdcrc
