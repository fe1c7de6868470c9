#include "operations/comparison.h"

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "util/nodes.h"

namespace ccdcrc {

const char* crc_status_name(CrcStatus status) {
  switch (status) {
    case CrcStatus::unchanged: return "unchanged";
    case CrcStatus::changed: return "changed";
    case CrcStatus::added: return "added";
    case CrcStatus::removed: return "removed";
    case CrcStatus::gained: return "gained";
    case CrcStatus::lost: return "lost";
  }
  return "";
}

namespace {

CrcStatus crc_status(const ListedCrc* old_ied, const ListedCrc* new_ied) {
  if (!old_ied) return CrcStatus::added;
  if (!new_ied) return CrcStatus::removed;
  if (!old_ied->crc && new_ied->crc) return CrcStatus::gained;
  if (old_ied->crc && !new_ied->crc) return CrcStatus::lost;
  return old_ied->crc == new_ied->crc ? CrcStatus::unchanged : CrcStatus::changed;
}

}  // namespace

std::vector<IedCrcChange> compare_ied_crcs(const std::vector<ListedCrc>& old_ieds,
                                           const std::vector<ListedCrc>& new_ieds) {
  std::vector<IedCrcChange> changes;
  auto old_entry = old_ieds.begin();
  auto new_entry = new_ieds.begin();
  while (old_entry != old_ieds.end() || new_entry != new_ieds.end()) {
    IedCrcChange change;
    if (new_entry == new_ieds.end() || (old_entry != old_ieds.end() && old_entry->name() < new_entry->name())) {
      change.old_ied = &*old_entry++;
    } else if (old_entry == old_ieds.end() || new_entry->name() < old_entry->name()) {
      change.new_ied = &*new_entry++;
    } else {
      change.old_ied = &*old_entry++;
      change.new_ied = &*new_entry++;
    }
    change.name = (change.old_ied ? change.old_ied : change.new_ied)->name();
    change.status = crc_status(change.old_ied, change.new_ied);
    changes.push_back(std::move(change));
  }
  return changes;
}

std::unique_ptr<MeasuredCcd> MeasuredCcd::build(const Scd& scd, pugi::xml_node ied) {
  return finish(build_ied_ccd(scd, ied));
}

std::unique_ptr<MeasuredCcd> MeasuredCcd::finish(std::unique_ptr<Ccd> built) {
  if (!built || built->nothing_found) return nullptr;
  std::unique_ptr<MeasuredCcd> ccd(new MeasuredCcd());
  ccd->built_ = std::move(built);
  ccd->measured_ = finish_copy(ccd->built_->root);
  ccd->root_ = ccd->measured_->root;
  // The copy has the built tree's shape, and finishing removes attributes only,
  // so the two trees can be walked side by side.
  std::vector<std::pair<pugi::xml_node, pugi::xml_node>> pending{{ccd->root_, ccd->built_->root}};
  while (!pending.empty()) {
    auto [measured, built] = pending.back();
    pending.pop_back();
    ccd->origins_.emplace(measured.internal_object(), built);
    for (pugi::xml_node m = measured.first_child(), b = built.first_child(); m && b;
         m = m.next_sibling(), b = b.next_sibling()) {
      if (m.type() == pugi::node_element) pending.emplace_back(m, b);
    }
  }
  return ccd;
}

pugi::xml_node MeasuredCcd::built(pugi::xml_node measured) const {
  auto found = origins_.find(measured.internal_object());
  return found == origins_.end() ? pugi::xml_node() : found->second;
}

const char* reference_change_name(ReferenceChange::Kind kind) {
  switch (kind) {
    case ReferenceChange::Kind::appeared: return "appeared";
    case ReferenceChange::Kind::disappeared: return "disappeared";
    case ReferenceChange::Kind::changed: return "changed";
  }
  return "";
}

const char* ccd_change_name(CcdChange::Kind kind) {
  switch (kind) {
    case CcdChange::Kind::attribute: return "attribute";
    case CcdChange::Kind::text: return "text";
    case CcdChange::Kind::added: return "added";
    case CcdChange::Kind::removed: return "removed";
    case CcdChange::Kind::order: return "order";
  }
  return "";
}

namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

std::vector<pugi::xml_node> element_children(pugi::xml_node parent) {
  std::vector<pugi::xml_node> children;
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element) children.push_back(child);
  }
  return children;
}

// Members and their intAddr children are what they are by their place.
bool identified_by_position(const std::string& element) { return element == "FCDA" || element == "intAddr"; }

// "[type=APPID]" for an address entry, "[cbName=Trip ldInst=LD0]" for a GSE
// or SMV entry, "[name=stVal]" for anything named; "" when there is no such name.
std::string key_attributes(pugi::xml_node element) {
  const std::string name = element.name();
  std::vector<const char*> keys{"name"};
  if (name == "P") keys = {"type"};
  if (is_control_block_address(name)) keys = {"cbName", "ldInst"};
  std::string text;
  for (const char* key : keys) {
    if (pugi::xml_attribute attribute = element.attribute(key)) {
      text += (text.empty() ? "" : " ") + std::string(key) + "=" + attribute.value();
    }
  }
  return text.empty() ? text : "[" + text + "]";
}

using Keyed = std::vector<std::pair<std::string, pugi::xml_node>>;

// The elements with their keys; a key that comes again gets its occurrence: "DAI[name=x][2]".
template <typename KeyOf>
Keyed keyed(const std::vector<pugi::xml_node>& elements, KeyOf key_of) {
  Keyed result;
  std::map<std::string, std::size_t> occurrences;
  for (pugi::xml_node element : elements) {
    std::string key = key_of(element);
    if (const std::size_t occurrence = ++occurrences[key]; occurrence > 1)
      key += "[" + std::to_string(occurrence) + "]";
    result.emplace_back(std::move(key), element);
  }
  return result;
}

// The element children of both sides, each with the key that pairs it with
// its counterpart. An element name that stands once on each side pairs those
// two whatever their names say; FCDA and intAddr pair by position; others by
// their key attributes, or by position when they have none.
std::pair<Keyed, Keyed> keyed_children(pugi::xml_node old_parent, pugi::xml_node new_parent) {
  const std::vector<pugi::xml_node> old_elements = element_children(old_parent);
  const std::vector<pugi::xml_node> new_elements = element_children(new_parent);
  std::map<std::string, std::pair<std::size_t, std::size_t>> counts;  // element name -> (old, new)
  for (pugi::xml_node child : old_elements) ++counts[child.name()].first;
  for (pugi::xml_node child : new_elements) ++counts[child.name()].second;
  const auto keys_of = [&counts](const std::vector<pugi::xml_node>& elements) {
    std::map<std::string, std::size_t> positions;  // element name -> children so far
    return keyed(elements, [&](pugi::xml_node child) {
      std::string name = child.name();
      const std::string position = "[" + std::to_string(++positions[name]) + "]";
      if (identified_by_position(name)) return name + position;
      const auto [old_count, new_count] = counts[name];
      if (old_count <= 1 && new_count <= 1) return name;
      const std::string attributes = key_attributes(child);
      return name + (attributes.empty() ? position : attributes);
    });
  };
  return {keys_of(old_elements), keys_of(new_elements)};
}

// Pairs the keyed elements of both sides: `paired` in the old order, `removed`
// for those only the old side has, then `added` in the new order. Returns the
// change of order of the paired ones, if any.
template <typename Paired, typename Removed, typename Added>
std::optional<CcdChange> match(const Keyed& old_elements, const Keyed& new_elements, const std::string& path,
                               Paired paired, Removed removed, Added added) {
  const std::map<std::string, pugi::xml_node> old_by_key(old_elements.begin(), old_elements.end());
  const std::map<std::string, pugi::xml_node> new_by_key(new_elements.begin(), new_elements.end());
  std::vector<std::string> old_order, new_order;
  for (const auto& [key, old_element] : old_elements) {
    auto counterpart = new_by_key.find(key);
    if (counterpart == new_by_key.end()) {
      removed(key, old_element);
    } else {
      old_order.push_back(key);
      paired(key, old_element, counterpart->second);
    }
  }
  for (const auto& [key, new_element] : new_elements) {
    if (old_by_key.count(key)) {
      new_order.push_back(key);
    } else {
      added(key, new_element);
    }
  }
  if (old_order == new_order) return std::nullopt;
  return CcdChange{CcdChange::Kind::order, path, "children", joined(old_order), joined(new_order)};
}

// An element as it stands in the CCD, on one line; only its start tag, text
// and "..." when the whole would be long.
// Keeps what pugixml writes up to a limit, and how much it wrote in all.
class ShortWriter final : public pugi::xml_writer {
 public:
  explicit ShortWriter(std::size_t limit) : limit_(limit) {}
  void write(const void* data, std::size_t size) override {
    written_ += size;
    if (text_.size() < limit_) text_.append(static_cast<const char*>(data), std::min(size, limit_ - text_.size()));
  }
  // The whole text, when it stayed within the limit.
  std::optional<std::string> whole() const { return written_ <= limit_ ? std::optional(text_) : std::nullopt; }

 private:
  std::size_t limit_;
  std::size_t written_ = 0;
  std::string text_;
};

std::string summary(pugi::xml_node element) {
  ShortWriter writer(160);
  element.print(writer, "", pugi::format_raw);
  if (std::optional<std::string> whole = writer.whole()) return *whole;
  std::string text = "<" + std::string(element.name());
  for (pugi::xml_attribute attribute : element.attributes()) {
    text += " " + std::string(attribute.name()) + "=\"" + attribute.value() + "\"";
  }
  return text + ">" + element.text().get() + "...</" + element.name() + ">";
}

// The reference of a data-set member: "LD0/PTRC1.Tr.general [ST]".
std::string member_reference(pugi::xml_node member) {
  const std::string logical_node = attr(member, "prefix") + attr(member, "lnClass") + attr(member, "lnInst");
  std::string text = attr(member, "ldInst") + "/" + logical_node;
  for (const char* part : {"doName", "daName"}) {
    if (const std::string name = attr(member, part); !name.empty()) text += "." + name;
  }
  if (const std::string fc = attr(member, "fc"); !fc.empty()) text += " [" + fc + "]";
  return text == "/" ? "" : text;
}

pugi::xml_node first_element(pugi::xml_node parent, const char* name) {
  for (pugi::xml_node child : parent.children(name)) {
    if (child.type() == pugi::node_element) return child;
  }
  return {};
}

// Where a change is told.
using ChangeOut = std::function<void(CcdChange&&)>;

class Comparer {
 public:
  Comparer(const MeasuredCcd& old_ccd, const MeasuredCcd& new_ccd) : old_ccd_(old_ccd), new_ccd_(new_ccd) {}

  // The differences of two elements that stand for each other, and of
  // everything below them, depth first in document order, each told as it is
  // found. Walked with a stack of its own, and one path that grows and
  // shrinks with the walk, so that nesting of any depth takes no room on the
  // call stack, and memory in proportion to the CCDs, not to their changes.
  void compare(pugi::xml_node old_element, pugi::xml_node new_element, const std::string& start_path,
               const ChangeOut& out) const {
    std::string path = start_path;
    std::vector<Frame> stack;
    stack.push_back(open(old_element, new_element, path, out));
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next == frame.steps.size()) {
        if (frame.order) out(std::move(*frame.order));
        stack.pop_back();
        continue;
      }
      const Step& step = frame.steps[frame.next++];
      path.resize(frame.path_length);
      if (step.old_child && step.new_child) {
        if (!path.empty()) path += '/';
        path += step.segment;
        Frame child = open(step.old_child, step.new_child, path, out);
        stack.push_back(std::move(child));
      } else if (step.old_child) {
        out({CcdChange::Kind::removed, path, step.segment, summary(step.old_child), std::nullopt});
      } else {
        out({CcdChange::Kind::added, path, step.segment, std::nullopt, summary(step.new_child)});
      }
    }
  }

  // The differences of the attributes and the text of two elements.
  static void compare_own(pugi::xml_node old_element, pugi::xml_node new_element, const std::string& path,
                          const ChangeOut& out) {
    std::vector<std::string> old_names, new_names;
    bool values_differ = false;
    for (pugi::xml_attribute old_attribute : old_element.attributes()) {
      old_names.emplace_back(old_attribute.name());
      pugi::xml_attribute new_attribute = new_element.attribute(old_attribute.name());
      std::optional<std::string> new_value;
      if (new_attribute) new_value = new_attribute.value();
      if (new_value == old_attribute.value()) continue;
      values_differ = true;
      out({CcdChange::Kind::attribute, path, old_attribute.name(), old_attribute.value(), new_value});
    }
    for (pugi::xml_attribute new_attribute : new_element.attributes()) {
      new_names.emplace_back(new_attribute.name());
      if (old_element.attribute(new_attribute.name())) continue;
      values_differ = true;
      out({CcdChange::Kind::attribute, path, new_attribute.name(), std::nullopt, new_attribute.value()});
    }
    if (!values_differ && old_names != new_names) {
      out({CcdChange::Kind::order, path, "attributes", joined(old_names), joined(new_names)});
    }
    const std::string old_text = old_element.text().get();
    const std::string new_text = new_element.text().get();
    if (old_text != new_text) out({CcdChange::Kind::text, path, "text", old_text, new_text});
  }

 private:
  // What remains to be told of an element once its own differences are out,
  // in this order: its children, paired (both set), only old (removed) or
  // only new (added), then a change of their order.
  struct Step {
    pugi::xml_node old_child, new_child;
    std::string segment;  // the child's step in the path
  };
  struct Frame {
    std::vector<Step> steps;
    std::size_t next = 0;
    std::size_t path_length = 0;  // of the element's own path
    std::optional<CcdChange> order;
  };

  Frame open(pugi::xml_node old_element, pugi::xml_node new_element, const std::string& path,
             const ChangeOut& out) const {
    compare_own(old_element, new_element, path, out);
    Frame frame;
    frame.path_length = path.size();
    const auto [old_children, new_children] = keyed_children(old_element, new_element);
    frame.order = match(
        old_children, new_children, path,
        [&](const std::string& key, pugi::xml_node old_child, pugi::xml_node new_child) {
          frame.steps.push_back({old_child, new_child, step(key, old_child, new_child)});
        },
        [&](const std::string& key, pugi::xml_node old_child) {
          frame.steps.push_back({old_child, {}, step(key, old_child, {})});
        },
        [&](const std::string& key, pugi::xml_node new_child) {
          frame.steps.push_back({{}, new_child, step(key, {}, new_child)});
        });
    return frame;
  }

  // The path step of a child: its key, and for a data-set member its reference.
  std::string step(const std::string& key, pugi::xml_node old_child, pugi::xml_node new_child) const {
    const pugi::xml_node child = old_child ? old_child : new_child;
    if (std::string(child.name()) != "FCDA") return key;
    const std::string old_reference = old_child ? member_reference(old_ccd_.built(old_child)) : "";
    const std::string new_reference = new_child ? member_reference(new_ccd_.built(new_child)) : "";
    if (old_reference == new_reference || !old_child || !new_child) {
      const std::string& reference = old_child ? old_reference : new_reference;
      return reference.empty() ? key : key + " (" + reference + ")";
    }
    return key + " (" + old_reference + " -> " + new_reference + ")";
  }

  const MeasuredCcd& old_ccd_;
  const MeasuredCcd& new_ccd_;
};

// The references (GOCBref, SMVCBref) of one section of either CCD, paired by
// name; returns a change of their order, which is told after all references.
std::optional<CcdChange> compare_section(const Comparer& comparer, pugi::xml_node old_section,
                                         pugi::xml_node new_section, ComparisonSink& sink) {
  const std::string section = (old_section ? old_section : new_section).name();
  const auto references = [](pugi::xml_node parent) {
    return keyed(element_children(parent), [](pugi::xml_node reference) {
      return std::string(reference.name()) + " " + attr(reference, "name");
    });
  };
  const auto change_of = [&section](ReferenceChange::Kind kind, pugi::xml_node reference) {
    return ReferenceChange{kind, section, reference.name(), attr(reference, "name"), {}};
  };
  return match(
      references(old_section), references(new_section), section,
      [&](const std::string&, pugi::xml_node old_reference, pugi::xml_node new_reference) {
        // Told only when something in it differs, just before the first difference.
        bool told = false;
        comparer.compare(old_reference, new_reference, "", [&](CcdChange&& change) {
          if (!told) sink.reference(change_of(ReferenceChange::Kind::changed, old_reference));
          told = true;
          sink.change(change);
        });
      },
      [&](const std::string&, pugi::xml_node old_reference) {
        sink.reference(change_of(ReferenceChange::Kind::disappeared, old_reference));
      },
      [&](const std::string&, pugi::xml_node new_reference) {
        sink.reference(change_of(ReferenceChange::Kind::appeared, new_reference));
      });
}

}  // namespace

void compare_ccds(const MeasuredCcd& old_ccd, const MeasuredCcd& new_ccd, ComparisonSink& sink) {
  const Comparer comparer(old_ccd, new_ccd);
  // Differences outside the references are few: they wait until the end.
  std::vector<CcdChange> other;
  Comparer::compare_own(old_ccd.root(), new_ccd.root(), "", [&](CcdChange&& change) { other.push_back(change); });
  // The sections, each paired with its namesake, in the order a CCD has them.
  for (ControlBlockKind kind : control_block_kinds) {
    for (const char* name : {names_of(kind).published, names_of(kind).subscribed}) {
      const pugi::xml_node old_section = first_element(old_ccd.root(), name);
      const pugi::xml_node new_section = first_element(new_ccd.root(), name);
      if (!old_section && !new_section) continue;
      if (std::optional<CcdChange> order = compare_section(comparer, old_section, new_section, sink)) {
        other.push_back(std::move(*order));
      }
    }
  }
  for (const CcdChange& change : other) sink.other(change);
}

void tell_circuits(pugi::xml_node ccd_root, ReferenceChange::Kind kind, ComparisonSink& sink) {
  for (ControlBlockKind block_kind : control_block_kinds) {
    for (const char* section : {names_of(block_kind).published, names_of(block_kind).subscribed}) {
      for (pugi::xml_node reference : first_element(ccd_root, section).children(names_of(block_kind).reference)) {
        sink.reference({kind, section, reference.name(), attr(reference, "name"), {}});
      }
    }
  }
}

std::vector<ReferenceChange> circuits_of(const Scd& scd, pugi::xml_node ied) {
  CcdComparison circuits;
  const std::unique_ptr<Ccd> ccd = build_ied_ccd(scd, ied, CcdPurpose::measured);
  if (ccd->nothing_found) return {};
  CollectingSink sink(circuits);
  tell_circuits(ccd->root, ReferenceChange::Kind::appeared, sink);
  return std::move(circuits.references);
}

CcdComparison compare_ccds(const MeasuredCcd& old_ccd, const MeasuredCcd& new_ccd) {
  CcdComparison result;
  CollectingSink sink(result);
  compare_ccds(old_ccd, new_ccd, sink);
  return result;
}

std::vector<std::string> shadowed_changes(const std::vector<ShadowedCrc>& old_ieds,
                                          const std::vector<ShadowedCrc>& new_ieds) {
  const auto key = [](const ShadowedCrc& ied) { return std::pair(ied.name, ied.position); };
  std::map<std::pair<std::string, std::size_t>, const ShadowedCrc*> old_by_key;
  for (const ShadowedCrc& ied : old_ieds) old_by_key.emplace(key(ied), &ied);
  std::vector<std::string> changes;
  for (const ShadowedCrc& ied : new_ieds) {
    const auto old = old_by_key.find(key(ied));
    if (old == old_by_key.end()) {
      changes.push_back(shadowed_text(ied) + " is new, with CRC " + ied.crc.value_or("-") +
                        " (the listing shows another IED of the name)");
    } else {
      if (old->second->crc != ied.crc) {
        changes.push_back(shadowed_text(ied) + " changed: " + old->second->crc.value_or("-") + " -> " +
                          ied.crc.value_or("-") + " (the listing shows another IED of the name)");
      }
      old_by_key.erase(old);
    }
  }
  for (const auto& [position, ied] : old_by_key) {
    changes.push_back(shadowed_text(*ied) + " of the old SCD, with CRC " + ied->crc.value_or("-") +
                      ", is gone (the listing shows another IED of the name)");
  }
  return changes;
}

}  // namespace ccdcrc
