#pragma once
// The CCD builder: turns one IED of a loaded SCD into its CCD document.
//
// A CCD is an XML declaration and an IED root element holding up to four
// sections, GOOSEPUB, GOOSESUB, SVPUB and SVSUB. Every element and attribute,
// its value and its place in the order are part of the CRC, so the order in
// which these operations create nodes is binding.

#include <unordered_map>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "ccd/lookups.h"

namespace ccdcrc {

// ExtRef key (prefix+ldInst+iedName+lnClass+lnInst+doName+daName, no separators)
// -> ExtRefs in document order.
using ExtRefIndex = std::unordered_map<std::string, NodeList>;

// Control block reference texts already added to one subscription section.
using SeenList = std::vector<std::string>;

// What a CCD is built for. A measured CCD is finished and measured at once:
// where the finishing pass keeps only part of what is built, it may be built
// in that part only. Its CRC is the same as that of an exported CCD.
enum class CcdPurpose { exported, measured };

// Declaration and IED root with the header attributes; returns the root.
pugi::xml_node start_ccd_document(pugi::xml_document& ccd, pugi::xml_node ied);

// Fills the sections and removes the empty ones. Returns true when the IED
// neither publishes a control block nor has an input: it then has no CRC.
bool build_ccd(pugi::xml_node ccd_root, const ScdLookups& scd, pugi::xml_node ied,
               CcdPurpose purpose = CcdPurpose::exported);

// Publication pass; true when no access point has a control block.
bool add_publications(pugi::xml_node goosepub, pugi::xml_node svpub, const ScdLookups& scd,
                      const CircuitSources& sources);
void add_control_block_refs(pugi::xml_node section, const NodeList& control_blocks, ControlBlockKind kind,
                            const ScdLookups& scd);
void add_connected_ap(const ScdLookups& scd, pugi::xml_node reference, const std::string& ied_name,
                      const std::string& ap_name, const std::string& cb_name, const std::string& ld_inst,
                      ControlBlockKind kind);
// Appends a copy of the ConnectedAP with only the entry of this control block
// and the entries of the other kind: other entries of this kind and Address
// are left out.
void copy_connected_ap(pugi::xml_node reference, pugi::xml_node connected_ap, ControlBlockKind kind,
                       const std::string& cb_name, const std::string& ld_inst);
void add_published_data_set(const ScdLookups& scd, pugi::xml_node ln0, pugi::xml_node reference,
                            const std::string& data_set_name);

// Basic type of a data attribute through the type templates; "BOOLEAN" when
// the chain breaks.
std::string resolve_btype(const std::string& da_name, const std::string& do_name, const std::string& prefix,
                          const std::string& ln_inst, const std::string& ln_class, pugi::xml_node ldevice,
                          const ScdLookups& scd);

// Subscription pass; true when the IED has no input at all.
bool add_subscriptions(pugi::xml_node goosesub, pugi::xml_node svsub, const ScdLookups& scd, pugi::xml_node ied,
                       const NodeList& inputs, CcdPurpose purpose);
void add_subscribed_control_blocks(const NodeList& members, pugi::xml_node section, pugi::xml_node subscriber_ied,
                                   ControlBlockKind kind, pugi::xml_node publisher_ldevice, SeenList& seen,
                                   const ExtRefIndex& inputs, const ScdLookups& scd, CcdPurpose purpose);
void add_subscribed_address(const ScdLookups& scd, pugi::xml_node reference, const std::string& ied_name,
                            const std::string& cb_name, const std::string& ld_inst, ControlBlockKind kind);
// The two halves of a subscribed data set. The publisher's data set with its
// members' attributes is the same for every subscriber; returns the members'
// keys (DataReference::key with the publishing IED's name) in member order.
std::vector<std::string> add_publisher_data_set(const ScdLookups& scd, pugi::xml_node publisher_ldevice,
                                                pugi::xml_node reference, const std::string& data_set_name,
                                                CcdPurpose purpose);
// Then the intAddr children of the members, for the subscriber's inputs.
void bind_subscriber_inputs(const ScdLookups& scd, pugi::xml_node subscriber_ied, pugi::xml_node reference,
                            const std::vector<std::string>& member_keys, const ExtRefIndex& inputs);

// Reduces a built CCD to what its CRC covers.
void finish_ccd(pugi::xml_node ccd_root);

// "GOCBref"/"SMVCBref" name: IED name + LDevice inst + "/LLN0$GO$" or "/LLN0$MS$" + control block name.
std::string control_block_reference(const std::string& ied_name, const std::string& ld_inst, ControlBlockKind kind,
                                    const std::string& cb_name);

// Element names that depend on the control block kind.
inline const char* reference_element(ControlBlockKind kind) { return kind == goose ? "GOCBref" : "SMVCBref"; }

}  // namespace ccdcrc
