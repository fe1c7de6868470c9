#pragma once
// Comparing two SCDs: the IED CRCs of each, and, for an IED whose CRC changed,
// what changed in the content that the CRC covers.
//
// The content is compared on the measured (finished) CCDs, element by element:
// control block references by their name, address entries by their type,
// copied instance data by name, and data-set members and their intAddr
// children by position, because their order is what identifies them.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "operations/ccd_pipeline.h"
#include "operations/crc_runs.h"
#include "scd/scd.h"

namespace ccdcrc {

enum class CrcStatus {
  unchanged,  // same CRC, or no CRC in either
  changed,    // another CRC
  added,      // only in the new SCD
  removed,    // only in the old SCD
  gained,     // in both, with a CRC only in the new SCD
  lost,       // in both, with a CRC only in the old SCD
};

// "unchanged", "changed", "added", "removed", "gained", "lost".
const char* crc_status_name(CrcStatus status);

struct IedCrcChange {
  std::string name;
  const ListedCrc* old_ied = nullptr;  // null when the old SCD has no IED of the name
  const ListedCrc* new_ied = nullptr;
  CrcStatus status = CrcStatus::unchanged;
};

// Every name of either listing, in byte-wise order. The entries point into the lists.
std::vector<IedCrcChange> compare_ied_crcs(const std::vector<ListedCrc>& old_ieds,
                                           const std::vector<ListedCrc>& new_ieds);

// The IEDs that no listed CRC covers (see shadowed_crcs) and that differ
// between two SCDs, matched by name and position: one sentence each.
std::vector<std::string> shadowed_changes(const std::vector<ShadowedCrc>& old_ieds,
                                          const std::vector<ShadowedCrc>& new_ieds);

// A CCD as it is measured, together with the built CCD it was finished from,
// which still carries the member references that name data-set members.
class MeasuredCcd {
 public:
  // Null when the IED has no circuits.
  static std::unique_ptr<MeasuredCcd> build(const Scd& scd, pugi::xml_node ied);
  // The same from a CCD built already (build_ied_ccd), which no longer needs its SCD.
  static std::unique_ptr<MeasuredCcd> finish(std::unique_ptr<Ccd> built);

  pugi::xml_node root() const { return root_; }
  const pugi::xml_document& document() const { return measured_->document; }
  // The built element that a measured element was finished from (null when none).
  pugi::xml_node built(pugi::xml_node measured) const;

 private:
  MeasuredCcd() = default;
  std::unique_ptr<Ccd> built_;
  std::unique_ptr<FinishedCcd> measured_;
  pugi::xml_node root_;
  std::unordered_map<pugi::xml_node_struct*, pugi::xml_node> origins_;
};

// One difference in the measured content.
struct CcdChange {
  enum class Kind {
    attribute,  // `subject` is the attribute name; a missing attribute has no value
    text,       // the element's text
    added,      // `subject` is the child that only the new CCD has; values: its start tag and text
    removed,    // `subject` is the child that only the old CCD has
    order,      // the same children (`subject` "children") or attributes ("attributes") in another
                // order; values: their keys or names, in the old and in the new order
  };
  Kind kind = Kind::attribute;
  // The element concerned, as steps from the control block reference element
  // down ("" for the reference element itself), e.g.
  // "ConnectedAP/GSE[cbName=Trip ldInst=LD0]/Address/P[type=APPID]" or
  // "DataSet/FCDA[2] (LD0/PTRC1.Tr.general [ST])/intAddr[1]". A data-set member
  // is named by its position and, in brackets, its reference from the built
  // CCD ("old -> new" when that differs).
  std::string path;
  std::string subject;
  std::optional<std::string> old_value;
  std::optional<std::string> new_value;

  bool operator==(const CcdChange&) const = default;
};

// A control block reference (GOCBref or SMVCBref) of one section that differs.
struct ReferenceChange {
  enum class Kind { appeared, disappeared, changed };
  Kind kind = Kind::changed;
  std::string section;             // GOOSEPUB, GOOSESUB, SVPUB or SVSUB
  std::string element;             // GOCBref or SMVCBref
  std::string name;                // the control block reference text
  std::vector<CcdChange> changes;  // for `changed`
};

struct CcdComparison {
  // In section order; within a section, in the old order, then those that appeared.
  std::vector<ReferenceChange> references;
  // Differences outside the references: their order within a section, the
  // root. Paths here start at the root ("" is the IED element, "GOOSEPUB" a section).
  std::vector<CcdChange> other;

  bool empty() const { return references.empty() && other.empty(); }
};

// Receives the differences of two CCDs as they are found: section by section
// (GOOSEPUB, GOOSESUB, SVPUB, SVSUB), each reference that differs, for a
// changed one followed by its changes; then the differences outside the
// references. Nothing is held that has been told.
class ComparisonSink {
 public:
  virtual ~ComparisonSink() = default;
  // A reference that appeared, disappeared or changed; its `changes` are
  // empty, those of a changed one follow through change().
  virtual void reference(const ReferenceChange& reference) = 0;
  // A change inside the reference told last.
  virtual void change(const CcdChange& change) = 0;
  // A difference outside the references.
  virtual void other(const CcdChange& change) = 0;
};

// Collects what a comparison tells.
class CollectingSink final : public ComparisonSink {
 public:
  explicit CollectingSink(CcdComparison& result) : result_(result) {}
  void reference(const ReferenceChange& reference) override { result_.references.push_back(reference); }
  void change(const CcdChange& change) override { result_.references.back().changes.push_back(change); }
  void other(const CcdChange& change) override { result_.other.push_back(change); }

 private:
  CcdComparison& result_;
};

// What differs between two measured CCDs, told as it is found.
void compare_ccds(const MeasuredCcd& old_ccd, const MeasuredCcd& new_ccd, ComparisonSink& sink);

// The same, collected.
CcdComparison compare_ccds(const MeasuredCcd& old_ccd, const MeasuredCcd& new_ccd);

// Tells every control block reference of a CCD (built or measured), section
// by section, as one of `kind`: the circuits an IED publishes and subscribes.
void tell_circuits(pugi::xml_node ccd_root, ReferenceChange::Kind kind, ComparisonSink& sink);

// What an IED publishes and subscribes: every reference of its CCD, as one
// that appeared, section by section.
std::vector<ReferenceChange> circuits_of(const Scd& scd, pugi::xml_node ied);

// "appeared", "disappeared", "changed".
const char* reference_change_name(ReferenceChange::Kind kind);
// "attribute", "text", "added", "removed", "order".
const char* ccd_change_name(CcdChange::Kind kind);

}  // namespace ccdcrc
