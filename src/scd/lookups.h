#pragma once
// Every lookup that the CCD builder makes in an SCD goes through this interface.
// QueryLookups answers each one with the XPath query that defines it; a faster
// implementation must return the very same nodes in the very same order.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "scd/control_block_kind.h"

namespace ccdcrc {

using NodeList = std::vector<pugi::xml_node>;
using ControlBlocksByKind = PerKind<NodeList>;

// Where an IED's circuits start: the control blocks each of its access points
// publishes, and its inputs.
struct CircuitSources {
  std::vector<std::pair<pugi::xml_node, ControlBlocksByKind>> access_points;  // in document order
  NodeList inputs;

  // True when the IED neither publishes a control block nor has an input:
  // it has no circuits, and so no CRC.
  bool empty() const {
    for (const auto& [access_point, blocks] : access_points) {
      for (ControlBlockKind kind : control_block_kinds) {
        if (!blocks[kind].empty()) return false;
      }
    }
    return inputs.empty();
  }
};

// Built content that many CCDs share: the children of `nodes`, which they
// append copies of, and texts that go with them. `nodes` lies in `document`,
// or in a document that the lookups keep for all their shared content.
struct SharedContent {
  pugi::xml_node nodes;
  std::vector<std::string> texts;
  std::shared_ptr<pugi::xml_document> document;
};
using SharedContentPtr = std::shared_ptr<const SharedContent>;

class ScdLookups {
 public:
  virtual ~ScdLookups() = default;

  // The SCD root element (whatever its name) and its DataTypeTemplates child.
  virtual pugi::xml_node root() const = 0;
  virtual pugi::xml_node data_type_templates() const = 0;

  // The first GSE/SMV entry of a control block under the ConnectedAP of this
  // IED and access point.
  virtual pugi::xml_node published_address(const std::string& ied_name, const std::string& ap_name,
                                           const std::string& cb_name, const std::string& ld_inst,
                                           ControlBlockKind kind) const = 0;

  // The first DataSet of this name directly under an LN0.
  virtual pugi::xml_node data_set_in_ln0(pugi::xml_node ln0, const std::string& name) const = 0;

  // The first DataSet of this name under any LN0 of a logical device.
  virtual pugi::xml_node data_set_in_ldevice(pugi::xml_node ldevice, const std::string& name) const = 0;

  // The first DOI of that name in an LN0 or LN of the logical device with this
  // prefix, inst and lnClass (an empty prefix also matches a missing one);
  // matches in LN0 come before those in LN.
  virtual pugi::xml_node instance_doi(pugi::xml_node ldevice, const std::string& prefix, const std::string& ln_inst,
                                      const std::string& ln_class, const std::string& do_name) const = 0;

  // The first node reached from `start` through SDI children of the given
  // names and, when `dai_name` is given, a final DAI child. No steps: `start`.
  virtual pugi::xml_node instance_path(pugi::xml_node start, const std::vector<std::string>& sdi_names,
                                       const std::string* dai_name) const = 0;

  // The first LN0 or LN of the logical device that matches as in instance_doi.
  virtual pugi::xml_node logical_node(pugi::xml_node ldevice, const std::string& prefix, const std::string& ln_inst,
                                      const std::string& ln_class) const = 0;

  // Type chain steps in DataTypeTemplates: the first child `child_tag` named
  // `name` of a `type_tag` element with this id.
  enum class TypeStep { do_of_lnode_type, sdo_of_do_type, da_of_do_type, bda_of_da_type };
  virtual pugi::xml_node type_child(TypeStep step, const std::string& type_id, const std::string& name) const = 0;

  // Where the IED's circuits start. Per AccessPoint element child, in document
  // order, the GSEControl and the SampledValueControl elements directly under
  // LN0 of its logical devices, each in document order; and the IED's ExtRef
  // elements with a non-empty intAddr, in document order. Asked together, so
  // that both may be found in one pass.
  virtual CircuitSources circuit_sources(pugi::xml_node ied) const = 0;

  // The first LDevice of that inst in the named IED's access points.
  virtual pugi::xml_node publisher_ldevice(const std::string& ied_name, const std::string& ld_inst) const = 0;

  // The FCDA members in the LN0 data sets of the server that holds `ldevice`
  // that match an input's reference, with missing prefix/lnInst matching empty
  // ones and an empty daName matching any.
  virtual NodeList input_members(pugi::xml_node ldevice, const std::string& ld_inst, const std::string& prefix,
                                 const std::string& ln_class, const std::string& ln_inst, const std::string& do_name,
                                 const std::string& da_name) const = 0;

  // The control block of this kind that sends the named data set: first in the
  // logical device's LN0, else in any LN0 of the same server.
  virtual pugi::xml_node control_block_for_data_set(pugi::xml_node ldevice, ControlBlockKind kind,
                                                    const std::string& data_set_name) const = 0;

  // The first GSE/SMV entry of a control block in any ConnectedAP of the IED.
  virtual pugi::xml_node subscribed_address(const std::string& ied_name, const std::string& cb_name,
                                            const std::string& ld_inst, ControlBlockKind kind) const = 0;

  // The first LDevice of that inst in the IED's access points.
  virtual pugi::xml_node ied_ldevice(pugi::xml_node ied, const std::string& inst) const = 0;

  // The first DOI child of a logical node with this name.
  virtual pugi::xml_node doi_by_name(pugi::xml_node logical_node, const std::string& name) const = 0;

  // What `build` makes of fresh content. The content must depend on the SCD
  // and on (`node`, `detail`) alone, so that an implementation may build it
  // once and hand it out again.
  virtual SharedContentPtr shared(pugi::xml_node node, const std::string& detail,
                                  const std::function<void(SharedContent&)>& build) const {
    (void)node;
    (void)detail;
    auto content = std::make_shared<SharedContent>();
    content->document = std::make_shared<pugi::xml_document>();
    content->nodes = *content->document;
    build(*content);
    return content;
  }

  // Gives back the memory of what lookups built on the way (indexes built on
  // first use, shared content), to be built again when asked for. Only
  // between runs: not while another thread asks, nor while a run holds what
  // a lookup returned but shared content.
  virtual void drop_built() const {}

  // The logical nodes of a device whose prefix + lnClass + inst is `name`:
  // its LN elements in document order, then its first child named LN0.
  virtual NodeList logical_nodes_named(pugi::xml_node ldevice, const std::string& name) const = 0;
};

}  // namespace ccdcrc
