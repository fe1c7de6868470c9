#pragma once
// The CCD builder: turns one IED of a loaded SCD into its CCD document.
//
// A CCD is an XML declaration and an IED root element holding up to four
// sections, GOOSEPUB, GOOSESUB, SVPUB and SVSUB. Every element and attribute,
// its value and its place in the order are part of the CRC, so the order in
// which these operations create nodes is binding.

#include <string>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "ccd/data_references.h"
#include "scd/lookups.h"

namespace ccdcrc {

// The inputs (ExtRef) that share one key, in document order, and whether a
// member of a data set in the CCD carries that key.
struct KeyedInputs {
  NodeList ext_refs;
  bool bound = false;
};
// ExtRef key (prefix+ldInst+iedName+lnClass+lnInst+doName+daName, no separators)
// -> the inputs with that key.
using ExtRefIndex = std::unordered_map<std::string, KeyedInputs>;

// Control block reference texts already added to one subscription section.
using SeenList = std::vector<std::string>;

// What a CCD is built for. A measured CCD is finished and measured at once:
// where the finishing pass keeps only part of what is built, it may be built
// in that part only. Its CRC is the same as that of an exported CCD.
enum class CcdPurpose { exported, measured };

// What the passes share while they build the CCD of one IED.
struct BuildContext {
  const ScdLookups& scd;
  CcdPurpose purpose;
  pugi::xml_node ied;      // the IED whose CCD is built: the subscriber of its inputs
  ExtRefIndex inputs;      // its inputs by key
  PerKind<SeenList> seen;  // per subscription section
  NodeList* unbound;       // when set, receives the inputs no member binds
};

// A control block of the SCD and the names that place it.
struct ControlBlock {
  ControlBlock(pugi::xml_node element, ControlBlockKind kind);

  pugi::xml_node element;  // GSEControl or SampledValueControl, under an LN0
  ControlBlockKind kind;
  pugi::xml_node ln0, ldevice, access_point, ied;
  std::string name, data_set, ld_inst, ied_name;

  // The "GOCBref"/"SMVCBref" name: IED name + LDevice inst + "/LLN0$GO$" or
  // "/LLN0$MS$" + control block name, without other separators.
  std::string reference() const;
};

// Declaration and IED root with the header attributes; returns the root.
pugi::xml_node start_ccd_document(pugi::xml_document& ccd, pugi::xml_node ied);

// Fills the sections and removes the empty ones. Returns true when the IED
// neither publishes a control block nor has an input: it then has no CRC.
// `unbound_inputs`, when given, receives the inputs that the CCD binds to no
// member of a data set it holds (broken bindings), in document order.
bool build_ccd(pugi::xml_node ccd_root, const ScdLookups& scd, pugi::xml_node ied,
               CcdPurpose purpose = CcdPurpose::exported, NodeList* unbound_inputs = nullptr);

// Publication pass: one reference per control block the IED sends, with the
// control block, its ConnectedAP entry and its data set.
void add_publications(const PerKind<pugi::xml_node>& sections, const BuildContext& context,
                      const CircuitSources& sources);
// Appends a copy of the ConnectedAP with only the entry of this control block
// and the entries of the other kind: other entries of this kind and Address
// are left out.
void copy_connected_ap(pugi::xml_node reference, pugi::xml_node connected_ap, ControlBlockKind kind,
                       const std::string& cb_name, const std::string& ld_inst);
void add_published_data_set(const ScdLookups& scd, pugi::xml_node ln0, pugi::xml_node reference,
                            const std::string& data_set_name);

// Basic type of the data attribute a reference names, through the type
// templates, with the logical node sought in `ldevice`; "BOOLEAN" when the
// chain breaks.
std::string resolve_btype(const ScdLookups& scd, const DataReference& reference, pugi::xml_node ldevice);

// Subscription pass: every input resolved to the control blocks that send
// what it receives.
void add_subscriptions(const PerKind<pugi::xml_node>& sections, BuildContext& context, const NodeList& inputs);
void add_subscribed_control_blocks(pugi::xml_node section, ControlBlockKind kind, const NodeList& members,
                                   pugi::xml_node publisher_ldevice, BuildContext& context);
// The two halves of a subscribed data set. The publisher's data set with its
// members' attributes is the same for every subscriber; returns the members'
// keys (DataReference::key with the publishing IED's name) in member order.
std::vector<std::string> add_publisher_data_set(const ScdLookups& scd, pugi::xml_node publisher_ldevice,
                                                pugi::xml_node reference, const std::string& data_set_name,
                                                CcdPurpose purpose);
// Then the intAddr children of the members, for the subscriber's inputs.
void bind_subscriber_inputs(BuildContext& context, pugi::xml_node reference,
                            const std::vector<std::string>& member_keys);

// Reduces a built CCD to what its CRC covers.
void finish_ccd(pugi::xml_node ccd_root);

}  // namespace ccdcrc
