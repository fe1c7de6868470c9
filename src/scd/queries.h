#pragma once
// XPath query templates and their filling. Values are inserted byte for byte,
// between apostrophes, without quoting: the texts of the queries are part of
// what decides which SCD nodes a CCD describes.

#include <initializer_list>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace ccdcrc {

// Replaces each "{N}" by the N-th argument. A "{" that does not open a valid
// placeholder, or a placeholder without argument, is kept as it stands.
std::string format_query(std::string_view query_template, std::initializer_list<std::string_view> arguments);

// Runs a query; a query text that XPath cannot compile finds nothing.
pugi::xpath_node_set select(pugi::xml_node context, const std::string& query);

// The node at index 0 of the result, or a null node.
pugi::xml_node select_first(pugi::xml_node context, const std::string& query);

namespace query {
// Absolute queries, run on the SCD root element. Each starts with this step.
inline constexpr std::string_view root_step = "/SCL";
// {4}: the address element of the control block kind (GSE, SMV).
inline constexpr const char* published_address =
    "/SCL/Communication/SubNetwork/ConnectedAP[@iedName='{0}' and @apName='{1}']/{4}[@cbName='{2}' and @ldInst='{3}']";
inline constexpr const char* publisher_ldevice = "/SCL/IED[@name='{0}']/AccessPoint/Server/LDevice[@inst='{1}']";
inline constexpr const char* subscribed_address =
    "/SCL/Communication/SubNetwork/ConnectedAP[@iedName='{0}']/{1}[@cbName='{2}' and @ldInst='{3}']";

// Run on a copied ConnectedAP in a CCD: the entries ({2}: GSE or SMV) of other control blocks.
inline constexpr const char* other_addresses = "{2}[@cbName!='{0}' or @ldInst!='{1}']";

// Relative to an LN0 or an LDevice.
inline constexpr const char* data_set_by_name = "./DataSet[@name='{0}']";
inline constexpr const char* ln0_data_set_by_name = "./LN0/DataSet[@name='{0}']";
inline constexpr const char* instance_doi =
    "./LN0[not(@prefix) or @prefix='{0}'][@inst='{1}'][@lnClass='{2}']/DOI[@name='{3}']"
    "|./LN[not(@prefix) or @prefix='{0}'][@inst='{1}'][@lnClass='{2}']/DOI[@name='{3}']";
inline constexpr const char* logical_node =
    "./LN0[not(@prefix) or @prefix='{0}'][@inst='{1}'][@lnClass='{2}']"
    "|./LN[not(@prefix) or @prefix='{0}'][@inst='{1}'][@lnClass='{2}']";
inline constexpr const char* any_prefix = "not(@prefix) or ";
inline constexpr const char* sdi_step = "/SDI[@name='{0}']";
inline constexpr const char* dai_step = "/DAI[@name='{0}']";
inline constexpr const char* input_members =
    "../LDevice/LN0/DataSet/"
    "FCDA[@ldInst='{0}'][@prefix='{1}'][@lnClass='{2}'][@lnInst='{3}'][@doName='{4}'][@daName='{5}']";
inline constexpr const char* control_block_by_data_set = "./LN0/{0}[@datSet='{1}']";
inline constexpr const char* control_block_in_server = "../LDevice/{0}";

// Relative to an IED or a logical node.
inline constexpr const char* subscriber_ldevice = "./AccessPoint/Server/LDevice[@inst='{0}']";
inline constexpr const char* doi_by_name = "./DOI[@name='{0}']";

// Relative to the DataTypeTemplates element.
inline constexpr const char* do_of_lnode_type = "./LNodeType[@id='{0}']/DO[@name='{1}']";
inline constexpr const char* sdo_of_do_type = "./DOType[@id='{0}']/SDO[@name='{1}']";
inline constexpr const char* da_of_do_type = "./DOType[@id='{0}']/DA[@name='{1}']";
inline constexpr const char* bda_of_da_type = "./DAType[@id='{0}']/BDA[@name='{1}']";

// Fixed queries.
// {0}: the control element of the kind (GSEControl, SampledValueControl).
inline constexpr const char* published_controls = "./Server/LDevice/LN0/{0}";
inline constexpr const char* inputs =
    "./AccessPoint/Server/LDevice/*[self::LN0 or self::LN]/Inputs/ExtRef[@intAddr!='']";
inline constexpr const char* own_address = "./Address";
inline constexpr const char* published_members = "./GOOSEPUB/GOCBref/DataSet/FCDA|./SVPUB/SMVCBref/DataSet/FCDA";
inline constexpr const char* subscribed_members = "./GOOSESUB/GOCBref/DataSet/FCDA|./SVSUB/SMVCBref/DataSet/FCDA";
}  // namespace query

}  // namespace ccdcrc
