// The publisher's data set under a subscribed control block, with every member
// mapped to the subscriber's inputs (intAddr) or to "NULL".

#include <optional>

#include "ccd/builder.h"
#include "ccd/data_references.h"
#include "util/nodes.h"
#include "util/text.h"

namespace ccdcrc {

namespace {

void set_address(pugi::xml_node int_addr, const std::string& desc, const std::string& name) {
  add_attribute(int_addr, "desc", desc.c_str());
  add_attribute(int_addr, "name", name.c_str());
}

// The address "[x:]LD/LN.DO[.SDI...][.DA]" -> LDevice inst and logical node name.
struct AddressReference {
  std::string ld_inst;
  std::string ln_name;
};

std::optional<AddressReference> reference_part(const std::string& first_piece) {
  std::string part = first_piece;
  if (part.find(':') != std::string::npos) {
    std::vector<std::string> around_colons = split(part, ':');
    if (around_colons.size() < 2) return std::nullopt;
    part = around_colons[1];
  }
  std::vector<std::string> ld_and_ln = split(part, '/');
  if (ld_and_ln.size() < 2) return std::nullopt;
  return AddressReference{ld_and_ln[0], ld_and_ln[1]};
}

// Binds one input to the member: the subscriber's own DOI, SDI or DAI that its
// internal address names.
void map_input(const ScdLookups& scd, pugi::xml_node member, pugi::xml_node subscriber_ied, pugi::xml_node ext_ref) {
  const std::string address = attr(ext_ref, "intAddr");
  const std::vector<std::string> pieces = split(address, '.');
  if (pieces.size() < 2) {
    if (member.child("intAddr")) set_address(add_element(member, "intAddr"), "", "");
    return;
  }
  pugi::xml_node int_addr = add_element(member, "intAddr");
  const std::optional<AddressReference> reference = reference_part(pieces[0]);
  if (!reference) return;
  pugi::xml_node ldevice = scd.ied_ldevice(subscriber_ied, reference->ld_inst);
  if (!ldevice) return;

  const std::string& doi_name = pieces[1];
  std::vector<std::string> sdi_names(pieces.begin() + 2, pieces.end());
  std::string dai_name;
  if (!sdi_names.empty()) {
    dai_name = std::move(sdi_names.back());
    sdi_names.pop_back();
  }
  const bool names_doi = pieces.size() == 2;

  // Every logical node of that name, not just the first.
  for (pugi::xml_node candidate : scd.logical_nodes_named(ldevice, reference->ln_name)) {
    pugi::xml_node doi = scd.doi_by_name(candidate, doi_name);
    if (!doi) continue;
    if (names_doi) {
      set_address(int_addr, attr(doi, "desc"), address);
      copy_element_tree(int_addr, doi);
      continue;
    }
    pugi::xml_node target = scd.instance_path(doi, sdi_names, &dai_name);
    std::string desc = target ? attr(target, "desc") : std::string();
    set_address(int_addr, desc.empty() ? attr(doi, "desc") : desc, address);
    if (target) copy_element_tree(int_addr, target);
  }
}

}  // namespace

std::vector<std::string> add_publisher_data_set(const ScdLookups& scd, pugi::xml_node publisher_ldevice,
                                                pugi::xml_node reference, const std::string& data_set_name,
                                                CcdPurpose purpose) {
  std::vector<std::string> member_keys;
  pugi::xml_node source = scd.data_set_in_ldevice(publisher_ldevice, data_set_name);
  if (!source) return member_keys;
  const std::string publisher_name = attr(publisher_ldevice.parent().parent().parent(), "name");
  pugi::xml_node data_set = add_element(reference, "DataSet");
  copy_attributes(source, data_set);

  for (pugi::xml_node member : child_elements(source, "FCDA")) {
    const DataReference reference(member);
    member_keys.push_back(reference.key(publisher_name));
    pugi::xml_node fcda = add_element(data_set, "FCDA");
    if (purpose == CcdPurpose::measured) {
      // The finishing pass keeps a subscribed member's basic type alone.
      const std::string btype =
          reference.da_name.empty() ? last_value(member, "bType") : resolve_btype(scd, reference, publisher_ldevice);
      if (!btype.empty()) add_attribute(fcda, "bType", btype.c_str());
      continue;
    }
    AttributeMap attributes = member_attributes(scd, member, reference, publisher_ldevice);
    // The description follows the whole path, whether or not daName is set.
    const std::vector<std::string> do_pieces = split(reference.do_name, '.');
    if (!do_pieces.empty()) {
      if (pugi::xml_node doi = scd.instance_doi(publisher_ldevice, reference.prefix, reference.ln_inst,
                                                reference.ln_class, do_pieces.front())) {
        attributes["desc"] = attr(doi, "desc");
        const InstancePath path = instance_path_below_doi(do_pieces, reference.da_name);
        pugi::xml_node described = scd.instance_path(doi, path.sdi_names, path.dai_name ? &*path.dai_name : nullptr);
        std::string desc = attr(described, "desc");
        if (!desc.empty()) attributes["desc"] = std::move(desc);
      }
    }
    append_attributes(fcda, attributes);
  }
  return member_keys;
}

void bind_subscriber_inputs(BuildContext& context, pugi::xml_node reference,
                            const std::vector<std::string>& member_keys) {
  if (member_keys.empty()) return;
  // The data set is the reference's last child, its FCDA elements in member order.
  pugi::xml_node fcda = reference.last_child().child("FCDA");
  for (const std::string& key : member_keys) {
    const auto keyed = context.inputs.find(key);
    if (keyed == context.inputs.end()) {
      set_address(add_element(fcda, "intAddr"), "", "NULL");
    } else {
      keyed->second.bound = true;
      for (pugi::xml_node input : keyed->second.ext_refs) map_input(context.scd, fcda, context.ied, input);
    }
    fcda = fcda.next_sibling("FCDA");
  }
}

}  // namespace ccdcrc
