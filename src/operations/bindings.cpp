#include "operations/bindings.h"

#include <cstring>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ccd/builder.h"
#include "ccd/data_references.h"
#include "operations/comparison.h"
#include "scd/control_block_kind.h"
#include "scd/ied_selection.h"
#include "util/nodes.h"
#include "util/parallel.h"
#include "util/text.h"

#include <zlib.h>

namespace ccdcrc {

namespace {

// "PTRC1.Tr.general": the logical node, data object and attribute a reference names.
std::string member_text(const DataReference& reference) {
  std::string text = reference.prefix + reference.ln_class + reference.ln_inst + "." + reference.do_name;
  if (!reference.da_name.empty()) text += "." + reference.da_name;
  return text;
}

// The data set that the input's control block (srcCBName) sends, when the
// input names one that exists: only for the wording of the reason.
std::string named_data_set(pugi::xml_node publisher_ied, pugi::xml_node ext_ref, const std::string& ld_inst) {
  const std::string cb_name = attr(ext_ref, "srcCBName");
  if (cb_name.empty()) return {};
  std::string cb_ld_inst = attr(ext_ref, "srcLDInst");
  if (cb_ld_inst.empty()) cb_ld_inst = ld_inst;
  for (pugi::xml_node access_point : publisher_ied.children("AccessPoint")) {
    for (pugi::xml_node ldevice : access_point.child("Server").children("LDevice")) {
      if (attr(ldevice, "inst") != cb_ld_inst) continue;
      for (pugi::xml_node block : ldevice.child("LN0").children()) {
        if (is_control_block(block.name()) && attr(block, "name") == cb_name) return attr(block, "datSet");
      }
    }
  }
  return {};
}

// Why members found for an input bind it to nothing; empty when one binds it.
std::string unbound_reason(const ScdLookups& scd, pugi::xml_node publisher, const NodeList& members,
                           const std::string& input_key, const std::string& publisher_name) {
  std::string unsent;  // "PL1101PROT/LLN0.dsTrip"
  bool exact = false;
  for (pugi::xml_node member : members) {
    if (DataReference(member).key(publisher_name) != input_key) continue;
    exact = true;
    const std::string data_set = attr(member.parent(), "name");
    for (ControlBlockKind kind : control_block_kinds) {
      const pugi::xml_node block = scd.control_block_for_data_set(publisher, kind, data_set);
      if (!block) continue;
      // The builder takes the members from the data set of the block's own logical device.
      const pugi::xml_node block_ldevice = block.parent().parent();
      if (scd.data_set_in_ldevice(block_ldevice, data_set)) return {};
    }
    if (unsent.empty()) {
      unsent = publisher_name;
      unsent += attr(member.parent().parent().parent(), "inst");
      unsent += "/LLN0.";
      unsent += data_set;
    }
  }
  if (!exact) return "the data sets of " + publisher_name + attr(publisher, "inst") + " hold only parts of it";
  return "no control block sends " + unsent;
}

// Why an input that no member binds resolves to nothing: the first lookup that fails.
BrokenBinding check_input(const Scd& scd, const IedLookup& ieds, pugi::xml_node ext_ref) {
  const ScdLookups& lookups = scd.lookups();
  const DataReference reference(ext_ref);
  const std::string publisher_name = attr(ext_ref, "iedName");
  BrokenBinding broken{
      {}, publisher_name + reference.ld_inst + "/" + member_text(reference), attr(ext_ref, "intAddr"), {}};
  const pugi::xml_node publisher = lookups.publisher_ldevice(publisher_name, reference.ld_inst);
  if (!publisher) {
    broken.reason = ieds.find(publisher_name) ? publisher_name + " has no logical device " + quoted(reference.ld_inst)
                                              : "there is no IED " + quoted(publisher_name);
    return broken;
  }
  const NodeList members = lookups.input_members(publisher, reference.ld_inst, reference.prefix, reference.ln_class,
                                                 reference.ln_inst, reference.do_name, reference.da_name);
  if (members.empty()) {
    const std::string device = publisher_name + reference.ld_inst;
    const std::string data_set = named_data_set(ieds.find(publisher_name), ext_ref, reference.ld_inst);
    broken.reason = data_set.empty() ? "no data set of " + device + " has a member " + member_text(reference)
                                     : device + "/LLN0." + data_set + " has no member " + member_text(reference);
    return broken;
  }
  broken.reason = unbound_reason(lookups, publisher, members, reference.key(publisher_name), publisher_name);
  if (broken.reason.empty())
    broken.reason = "its control block is passed over: another block of " + publisher_name + " was met first";
  return broken;
}

// The broken bindings of one IED: each input its CCD binds to nothing, with
// the first lookup that fails for it.
void add_broken(const Scd& scd, const IedLookup& ieds, pugi::xml_node ied, const NodeList& unbound_inputs,
                std::vector<BrokenBinding>& broken) {
  for (pugi::xml_node ext_ref : unbound_inputs) {
    BrokenBinding binding = check_input(scd, ieds, ext_ref);
    binding.ied = attr(ied, "name");
    broken.push_back(std::move(binding));
  }
}

// The inputs of a list: looked up once per binding of the other revision,
// where a station may have thousands.
using InputSet = std::set<decltype(std::declval<BrokenBinding>().input())>;

InputSet inputs_of(const std::vector<BrokenBinding>& list) {
  InputSet inputs;
  for (const BrokenBinding& binding : list) inputs.insert(binding.input());
  return inputs;
}

bool holds(const InputSet& inputs, const BrokenBinding& binding) { return inputs.count(binding.input()) > 0; }

// Where elements stand among their siblings of the same name, counted in one
// walk over the siblings, however many of them are asked for.
class SiblingPositions {
 public:
  explicit SiblingPositions(pugi::xml_node parent) : next_(parent.first_child()) {}

  // The position of `child`, which follows every child asked for before.
  std::size_t of(pugi::xml_node child) {
    for (; next_ && next_ != child; next_ = next_.next_sibling()) ++seen_[next_.name()];
    next_ = child.next_sibling();
    return ++seen_[child.name()];
  }

 private:
  pugi::xml_node next_;
  std::unordered_map<std::string_view, std::size_t> seen_;
};

// A path step: the element's name, and its name or inst attribute when it
// has one, else its position among its siblings of that name.
std::string step(pugi::xml_node element, SiblingPositions& positions) {
  for (const char* key : {"name", "inst"}) {
    if (pugi::xml_attribute attribute = element.attribute(key)) {
      return std::string(element.name()) + "[" + attribute.value() + "]";
    }
  }
  return std::string(element.name()) + "[" + std::to_string(positions.of(element)) + "]";
}

// What differs in the element itself, not its children: an attribute's name or
// "text"; empty when nothing does.
std::string own_difference(pugi::xml_node a, pugi::xml_node b) {
  pugi::xml_attribute x = a.first_attribute();
  pugi::xml_attribute y = b.first_attribute();
  for (; x && y; x = x.next_attribute(), y = y.next_attribute()) {
    if (std::strcmp(x.name(), y.name()) != 0 || std::strcmp(x.value(), y.value()) != 0) return x.name();
  }
  if (x || y) return x ? x.name() : y.name();
  if (std::strcmp(a.text().get(), b.text().get()) != 0) return "text";
  return {};
}

pugi::xml_node next_element(pugi::xml_node node) {
  while (node && node.type() != pugi::node_element) node = node.next_sibling();
  return node;
}

}  // namespace

std::vector<BrokenBinding> broken_bindings(const Scd& scd, const std::vector<ListedCrc>& listed) {
  std::vector<BrokenBinding> broken;
  std::optional<IedLookup> ieds;  // made only for the reasons of an input that is broken
  for (const ListedCrc& entry : listed) {
    if (entry.unbound_inputs.empty()) continue;
    if (!ieds) ieds.emplace(scd);
    add_broken(scd, *ieds, entry.listed.ied, entry.unbound_inputs, broken);
  }
  return broken;
}

BindingChanges compare_bindings(const std::vector<BrokenBinding>& old_bindings,
                                const std::vector<BrokenBinding>& new_bindings, const Scd& new_scd) {
  const IedLookup ieds(new_scd);
  return compare_bindings(old_bindings, new_bindings,
                          [&ieds](const std::string& name) { return bool(ieds.find(name)); });
}

BindingChanges compare_bindings(const std::vector<BrokenBinding>& old_bindings,
                                const std::vector<BrokenBinding>& new_bindings,
                                const std::function<bool(const std::string&)>& has_ied) {
  BindingChanges changes;
  const InputSet old_inputs = inputs_of(old_bindings);
  const InputSet new_inputs = inputs_of(new_bindings);
  for (const BrokenBinding& binding : new_bindings) {
    (holds(old_inputs, binding) ? changes.still_broken : changes.broken).push_back(binding);
  }
  for (const BrokenBinding& binding : old_bindings) {
    if (!holds(new_inputs, binding) && has_ied(binding.ied)) changes.mended.push_back(binding);
  }
  return changes;
}

std::optional<ElementDifference> element_difference(pugi::xml_node old_element, pugi::xml_node new_element) {
  ElementDifference found;
  struct Pair {
    pugi::xml_node a, b;
    std::string path;
  };
  // Depth first, without recursion: an SCD may nest deeply.
  std::vector<Pair> pending{{old_element, new_element, old_element.name()}};
  while (!pending.empty()) {
    const Pair pair = std::move(pending.back());
    pending.pop_back();
    std::string difference;
    if (!pair.a || !pair.b) {
      difference = ccd_change_name(pair.a ? CcdChange::Kind::removed : CcdChange::Kind::added);
    } else if (std::strcmp(pair.a.name(), pair.b.name()) != 0) {
      difference = "element";
    } else {
      difference = own_difference(pair.a, pair.b);
    }
    if (!difference.empty()) {
      if (found.elements++ == 0) found.first = pair.path + " " + difference;
      if (!pair.a || !pair.b) continue;
    }
    std::vector<Pair> children;
    SiblingPositions old_positions(pair.a);
    SiblingPositions new_positions(pair.b);
    pugi::xml_node x = next_element(pair.a.first_child());
    pugi::xml_node y = next_element(pair.b.first_child());
    while (x || y) {
      const std::string here = x ? step(x, old_positions) : step(y, new_positions);
      children.push_back({x, y, pair.path + "/" + here});
      if (x) x = next_element(x.next_sibling());
      if (y) y = next_element(y.next_sibling());
    }
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  if (found.elements == 0) return std::nullopt;
  return found;
}

namespace {

// An element as pugixml writes it, byte for byte what a parse without
// normalisation reads back: attribute values and texts as they were.
std::string written(pugi::xml_node element) {
  std::ostringstream text;
  element.print(text, "", pugi::format_raw, pugi::encoding_utf8);
  return std::move(text).str();
}

constexpr unsigned unnormalised =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_ws_pcdata | pugi::parse_comments | pugi::parse_pi;

std::string compressed(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string bytes(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(bytes.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                static_cast<uLong>(text.size()), Z_BEST_SPEED) != Z_OK) {
    throw std::bad_alloc();
  }
  bytes.resize(size);
  // The buffer was sized for text that does not compress: kept, it would hold
  // as much as the element itself.
  bytes.shrink_to_fit();
  return bytes;
}

std::string uncompressed(const std::string& bytes, std::size_t size) {
  std::string text(size, '\0');
  uLongf length = static_cast<uLongf>(size);
  if (uncompress(reinterpret_cast<Bytef*>(text.data()), &length, reinterpret_cast<const Bytef*>(bytes.data()),
                 static_cast<uLong>(bytes.size())) != Z_OK ||
      length != size) {
    throw std::runtime_error("a kept IED element cannot be read back");
  }
  return text;
}

}  // namespace

KeptIedElements::KeptIedElements(const std::vector<ListedCrc>& listed, unsigned jobs) {
  std::vector<const ListedCrc*> kept;
  for (const ListedCrc& ied : listed) {
    if (ied.crc) kept.push_back(&ied);
  }
  std::vector<Packed> packed(kept.size());
  parallel_for(kept.size(), jobs, [&](std::size_t i) {
    const std::string text = written(kept[i]->listed.ied);
    packed[i] = {compressed(text), text.size()};
  });
  for (std::size_t i = 0; i < kept.size(); ++i) packed_.emplace(kept[i]->name(), std::move(packed[i]));
}

std::optional<ElementDifference> KeptIedElements::difference(const std::string& name, pugi::xml_node element) const {
  const auto found = packed_.find(name);
  if (found == packed_.end()) return std::nullopt;
  std::string text = uncompressed(found->second.bytes, found->second.size);
  // The same text is the same element.
  if (text == written(element)) return std::nullopt;
  pugi::xml_document document;
  if (!document.load_buffer_inplace(text.data(), text.size(), unnormalised, pugi::encoding_utf8)) {
    throw std::runtime_error("a kept IED element cannot be read back");
  }
  return element_difference(document.document_element(), element);
}

}  // namespace ccdcrc
