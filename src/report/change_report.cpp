#include "report/change_report.h"

#include <algorithm>
#include <array>
#include <memory>

#include "approvals/approval_check.h"
#include "ccdcrc/version.h"
#include "report/check_report.h"

#include "report/output.h"
#include "report/scd_revision.h"
#include "scd/bays.h"
#include "scd/control_block_kind.h"
#include "util/nodes.h"

namespace ccdcrc {

namespace {

// The control block's own name, from its reference text ("P1LD0/LLN0$GO$Trip" -> "Trip").
std::string block_name(const std::string& reference) {
  const std::size_t dollar = reference.rfind('$');
  return dollar == std::string::npos ? reference : reference.substr(dollar + 1);
}

bool is_publication(const ReferenceChange& reference) { return is_published_section(reference.section); }

// "GOCB" or "SVCB".
const char* block_kind(const ReferenceChange& reference) {
  return names_of(kind_of_reference(reference.element)).block;
}

// The first change of a published block in a few words: "confRev 1 → 2".
void describe(Phrase& phrase, const CcdChange& change) {
  if (!change.path.empty() && change.kind != CcdChange::Kind::attribute) phrase.code(change.path) << " ";
  switch (change.kind) {
    case CcdChange::Kind::attribute:
      phrase << change.subject + " " + change.old_value.value_or("(none)") + " → " +
                    change.new_value.value_or("(none)");
      return;
    case CcdChange::Kind::text:
      phrase << "text ";
      phrase.code(change.old_value.value_or("")) << " → ";
      phrase.code(change.new_value.value_or(""));
      return;
    case CcdChange::Kind::added: phrase.code(change.subject) << " added"; return;
    case CcdChange::Kind::removed: phrase.code(change.subject) << " removed"; return;
    case CcdChange::Kind::order: phrase << "order of " + change.subject; return;
  }
}

// The member of a data set that a path names: "CTRL/CILO1.EnaCls.stVal [ST]"
// from "DataSet/FCDA[3] (CTRL/CILO1.EnaCls.stVal [ST])/intAddr[1]".
std::string member_of(const std::string& path) {
  const std::size_t open = path.find(" (");
  const std::size_t close = path.find(")/intAddr");
  return open == std::string::npos || close == std::string::npos || close < open
             ? path
             : path.substr(open + 2, close - open - 2);
}

// A subscribed block changed by its publisher, or in what the subscriber
// binds to it (its intAddr children).
void describe_subscription(Phrase& phrase, const ReferenceChange& reference) {
  const auto rebinding = std::find_if(reference.changes.begin(), reference.changes.end(), [](const CcdChange& change) {
    return change.path.find("/intAddr") != std::string::npos;
  });
  if (rebinding == reference.changes.end()) {
    phrase << "changed by its publisher";
  } else if (rebinding->kind == CcdChange::Kind::attribute && rebinding->subject == "name") {
    phrase << "input ";
    phrase.code(member_of(rebinding->path)) << " bound to ";
    phrase.code(rebinding->new_value.value_or("")) << " (was ";
    phrase.code(rebinding->old_value.value_or("")) << ")";
  } else {
    phrase << "inputs bound anew: ";
    describe(phrase, *rebinding);
  }
}

void describe_reference(Phrase& phrase, const ReferenceChange& reference) {
  const bool published = is_publication(reference);
  const auto block = [&] {
    phrase << std::string(block_kind(reference)) + " ";
    phrase.code(block_name(reference.name));
  };
  switch (reference.kind) {
    case ReferenceChange::Kind::appeared:
      if (published) {
        phrase << "publishes new ";
        block();
      } else {
        phrase << "now subscribes to ";
        phrase.code(reference.name);
      }
      return;
    case ReferenceChange::Kind::disappeared:
      if (published) {
        phrase << "no longer publishes ";
        block();
      } else {
        phrase << "no longer subscribes to ";
        phrase.code(reference.name);
      }
      return;
    case ReferenceChange::Kind::changed:
      if (published) {
        phrase << "publishes ";
        block();
        if (!reference.changes.empty()) {
          phrase << ": ";
          describe(phrase, reference.changes.front());
        }
      } else {
        phrase << "subscribes to ";
        phrase.code(reference.name) << ": ";
        describe_subscription(phrase, reference);
      }
      return;
  }
}

// Where a value may be cut: not inside a UTF-8 character.
bool starts_character(const std::string& text, std::size_t at) {
  return at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

ReportFile file_of(const Scd& scd, const ScdFile& read, const std::string& scd_crc) {
  const ScdHeader header = scd_header(scd);
  ReportFile file;
  file.path = scd.path();
  file.header_id = header.id;
  file.header_version = header.version;
  file.header_revision = header.revision;
  if (!read.sha256.empty()) {
    file.size = read.size;
    file.sha256 = read.sha256;
  }
  file.scd_crc = scd_crc;
  return file;
}

std::string bay_label(const BayPlace& place) {
  const auto named = [](const std::string& name, const std::string& desc) {
    return desc.empty() ? name : name + " " + desc;
  };
  return named(place.voltage_level, place.voltage_level_desc) + " / " + named(place.bay, place.bay_desc);
}

// What an IED whose CRC changed without an explanation says in one line.
Phrase status_reason(const IedCrcChange& change, std::size_t circuits) {
  Phrase reason;
  const std::string counted = std::to_string(circuits) + (circuits == 1 ? " circuit" : " circuits");
  switch (change.status) {
    case CrcStatus::added: reason << "new in the SCD, with " + counted; break;
    case CrcStatus::gained: reason << "has circuits now: " + counted; break;
    case CrcStatus::removed: reason << "no longer in the SCD"; break;
    case CrcStatus::lost: reason << "has no GOOSE or sampled-value circuits any more"; break;
    case CrcStatus::changed: reason << crc_status_name(CrcStatus::changed); break;
    case CrcStatus::unchanged: break;
  }
  return reason;
}

IedIdentity identity_in(pugi::xml_node ied) {
  return {attr(ied, "desc"), attr(ied, "manufacturer"), attr(ied, "type"), attr(ied, "configVersion"), {}};
}

// As NEW gives it, else as OLD gave it; OLD's version beside NEW's when it differs.
IedIdentity identity_of(const IedCrcChange& change, const std::map<std::string, IedIdentity>& old_identities) {
  const auto old = change.old_ied ? old_identities.find(change.name) : old_identities.end();
  const IedIdentity none;
  const IedIdentity& old_identity = old == old_identities.end() ? none : old->second;
  IedIdentity identity = change.new_ied ? identity_in(change.new_ied->listed.ied) : old_identity;
  if (change.old_ied && change.new_ied && old_identity.config_version != identity.config_version) {
    identity.old_config_version = old_identity.config_version;
  }
  return identity;
}

// By bay, in the order of their labels, those in no bay last.
template <typename Item>
void sort_by_bay(std::vector<Item>& items) {
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    if (a.bay.empty() != b.bay.empty()) return b.bay.empty();
    return a.bay < b.bay;
  });
}

std::string bay_of(const std::string& name, const std::map<std::string, BayPlace>& bays) {
  const auto bay = bays.find(name);
  return bay == bays.end() ? std::string() : bay_label(bay->second);
}

std::vector<ReportedBinding> reported_bindings(const BindingChanges& changes,
                                               const std::map<std::string, BayPlace>& old_bays,
                                               const std::map<std::string, BayPlace>& new_bays) {
  std::vector<ReportedBinding> bindings;
  for (const auto& [list, kind] : {std::pair{&changes.broken, ReportedBinding::Kind::broken},
                                   std::pair{&changes.still_broken, ReportedBinding::Kind::still_broken}}) {
    for (const BrokenBinding& binding : *list) bindings.push_back({binding, kind, bay_of(binding.ied, new_bays)});
  }
  for (const BrokenBinding& binding : changes.mended) {
    const std::string bay =
        new_bays.count(binding.ied) > 0 ? bay_of(binding.ied, new_bays) : bay_of(binding.ied, old_bays);
    bindings.push_back({binding, ReportedBinding::Kind::mended, bay});
  }
  // The newly broken first within a bay: they are what a reviewer must act on.
  std::stable_sort(bindings.begin(), bindings.end(),
                   [](const ReportedBinding& a, const ReportedBinding& b) { return a.kind < b.kind; });
  sort_by_bay(bindings);
  return bindings;
}

}  // namespace

const char* binding_kind_name(ReportedBinding::Kind kind) {
  switch (kind) {
    case ReportedBinding::Kind::broken: return "broken";
    case ReportedBinding::Kind::still_broken: return "still broken";
    case ReportedBinding::Kind::mended: return "mended";
  }
  return "";
}

std::string bindings_sentence(const ChangeReport& report) {
  if (report.bindings.empty()) {
    return "Every input of either SCD resolves to a member of a data set that a control block sends.";
  }
  return "Inputs that resolve to nothing: the publisher, its logical device, the data set member or a control block "
         "that sends it is not found. These are no intended removals.";
}

std::string uncovered_sentence(const ChangeReport& report) {
  const std::size_t count = report.uncovered.size();
  if (count == 0) return "No IED that keeps its CRC changed in the SCD.";
  return std::to_string(count) + (count == 1 ? " IED keeps its CRC, but its" : " IEDs keep their CRCs, but their") +
         " elements in the SCD changed: in what no CRC covers (descriptions, inputs that bind to nothing, settings).";
}

std::string unchanged_sentence(const ChangeReport& report) {
  const std::size_t count = report.unchanged.size();
  return std::to_string(count) + (count == 1 ? " IED keeps its CRC" : " IEDs keep their CRCs");
}

std::string without_circuits_sentence(const ChangeReport& report) {
  const std::size_t count = report.without_circuits.size();
  return std::to_string(count) + (count == 1 ? " IED has" : " IEDs have") +
         " no GOOSE or sampled-value circuits in either SCD, and so no CRC to keep or to retest.";
}

Phrase verdict_phrase(const ApprovalRecord& approval, const std::string& new_path) {
  Phrase phrase;
  phrase.code("ccdcrc check " + approval.path + " " + new_path);
  switch (approval.verdict) {
    case CheckVerdict::passes: phrase << " passes: the new SCD is the approved configuration."; return phrase;
    case CheckVerdict::fails:
      phrase << " fails: the new SCD is not the approved configuration (" + std::to_string(approval.failures.size()) +
                    (approval.failures.size() == 1 ? " failure)." : " failures).");
      return phrase;
    case CheckVerdict::list_fails: phrase << " fails: the list cannot be taken as it is."; return phrase;
  }
  return phrase;
}

std::size_t broken_count(const ChangeReport& report) {
  return static_cast<std::size_t>(
      std::count_if(report.bindings.begin(), report.bindings.end(),
                    [](const ReportedBinding& item) { return item.kind != ReportedBinding::Kind::mended; }));
}

std::vector<UncoveredChange> uncovered_changes(const std::vector<IedCrcChange>& ieds,
                                               const KeptIedElements* old_elements) {
  std::vector<UncoveredChange> uncovered;
  for (const IedCrcChange& change : ieds) {
    if (change.status != CrcStatus::unchanged || !change.old_ied || !change.new_ied || !change.new_ied->crc) continue;
    const pugi::xml_node element = change.new_ied->listed.ied;
    if (std::optional<ElementDifference> difference = old_elements
                                                          ? old_elements->difference(change.name, element)
                                                          : element_difference(change.old_ied->listed.ied, element)) {
      uncovered.push_back({change.name, std::move(*difference)});
    }
  }
  return uncovered;
}

namespace {

// What the report records of the new SCD checked against the list: as `check`
// decides and words it, also the failures of the list itself (its malformed
// lines fail, as they do by default).
ApprovalRecord approval_record(const ApprovedCrcs& approved, const std::string& new_path) {
  ApprovalRecord record;
  record.path = approved.path;
  record.sha256 = approved.sha256;
  record.verdict = check_verdict(approved.list, approved.check, false);
  record.failures = check_failures(approved.check, new_path);
  for (std::string& failure : list_failures(approved.list, approved.path, false)) {
    record.failures.push_back(std::move(failure));
  }
  for (const CheckedIed& ied : approved.check.ieds) {
    if (ied.status != CheckStatus::ok) record.failing.push_back(ied);
  }
  record.scd = approved.check.scd;
  record.notes = approved.notes;
  return record;
}

}  // namespace

ReportedOld reported_old(const Scd& old_scd, const ScdFile& old_file, const std::vector<ListedCrc>& listed) {
  ReportedOld old{file_of(old_scd, old_file, {}), bays_of_ieds(old_scd), {}, nullptr};
  for (const ListedCrc& ied : listed) old.identities.emplace(ied.name(), identity_in(ied.listed.ied));
  return old;
}

ChangeReport build_change_report(const DiffReport& diff, const Scd& old_scd, const ScdFile& old_file,
                                 const Scd& new_scd, const ScdFile& new_file, const ReportOptions& options) {
  ReportedOld old{file_of(old_scd, old_file, {}), bays_of_ieds(old_scd), {}, nullptr};
  for (const IedCrcChange& change : diff.ieds) {
    if (change.old_ied) old.identities.emplace(change.name, identity_in(change.old_ied->listed.ied));
  }
  return build_change_report(diff, old, new_scd, new_file, options);
}

ChangeReport build_change_report(const DiffReport& diff, const ReportedOld& old_scd, const Scd& new_scd,
                                 const ScdFile& new_file, const ReportOptions& options) {
  ChangeReport report;
  report.old_file = old_scd.file;
  report.old_file.scd_crc = diff.old_scd_crc;
  report.new_file = file_of(new_scd, new_file, diff.new_scd_crc);
  report.date = options.date;
  report.tool_version = CCDCRC_VERSION;
  report.signoff = options.signoff;
  report.list_uncovered = options.list_uncovered;
  std::map<std::string, const CheckedIed*> checked;
  if (options.approved) {
    report.approved_path = options.approved->path;
    report.approval = approval_record(*options.approved, new_scd.path());
    for (const CheckedIed& ied : options.approved->check.ieds) checked.emplace(ied.name, &ied);
  }
  report.uncovered = uncovered_changes(diff.ieds, old_scd.elements);
  for (CrcStatus status : {CrcStatus::unchanged, CrcStatus::changed, CrcStatus::added, CrcStatus::removed,
                           CrcStatus::gained, CrcStatus::lost}) {
    report.counts[status] = 0;
  }
  const std::map<std::string, BayPlace> new_bays = bays_of_ieds(new_scd);
  if (diff.bindings) report.bindings = reported_bindings(*diff.bindings, old_scd.bays, new_bays);
  for (const IedCrcChange& change : diff.ieds) {
    const std::optional<std::string> crc = change.new_ied ? change.new_ied->crc : std::nullopt;
    const bool has_crc = crc || (change.old_ied && change.old_ied->crc);
    if (!has_crc) {
      // No CRC in either SCD: nothing is kept, nothing to retest.
      report.without_circuits.push_back(change.name);
      continue;
    }
    ++report.counts[change.status];
    std::optional<Approval> approval;
    if (const auto found = checked.find(change.name); found != checked.end()) {
      approval = Approval{found->second->approved_crc, found->second->status};
    }
    if (change.status == CrcStatus::unchanged) {
      report.unchanged.push_back({change.name, std::move(approval)});
      continue;
    }
    ReportedIed ied;
    ied.change = &change;
    ied.identity = identity_of(change, old_scd.identities);
    ied.approval = std::move(approval);
    ied.bay = bay_of(change.name, change.new_ied ? new_bays : old_scd.bays);
    if (auto explanation = diff.explanations.find(change.name); explanation != diff.explanations.end()) {
      ied.explanation = &explanation->second;
      ied.reason = change_reason(explanation->second);
    } else {
      if (change.status == CrcStatus::added || change.status == CrcStatus::gained) {
        ied.circuits = circuits_of(new_scd, change.new_ied->listed.ied);
      }
      ied.reason = status_reason(change, ied.circuits.size());
    }
    report.retest.push_back(std::move(ied));
  }
  // By name within a bay, as the comparison lists them.
  sort_by_bay(report.retest);
  return report;
}

ChangeRow change_row(const CcdChange& change, const std::string& element) {
  const std::string where = change.path.empty() ? element : change.path;
  switch (change.kind) {
    case CcdChange::Kind::attribute: return {where, change.subject, change.old_value, change.new_value};
    case CcdChange::Kind::text: return {where, "text", change.old_value, change.new_value};
    case CcdChange::Kind::added:
      return {where + "/" + change.subject, ccd_change_name(change.kind), std::nullopt, change.new_value};
    case CcdChange::Kind::removed:
      return {where + "/" + change.subject, ccd_change_name(change.kind), change.old_value, std::nullopt};
    case CcdChange::Kind::order: return {where, "order of " + change.subject, change.old_value, change.new_value};
  }
  return {where, "", std::nullopt, std::nullopt};
}

Phrase& Phrase::operator<<(const std::string& text) {
  parts.push_back({text, false});
  return *this;
}

Phrase& Phrase::code(const std::string& text) {
  parts.push_back({text, true});
  return *this;
}

std::string Phrase::plain() const {
  std::string text;
  for (const Part& part : parts) text += part.code ? "`" + part.text + "`" : part.text;
  return text;
}

Phrase change_reason(const CcdComparison& comparison) {
  constexpr std::size_t most = 2;
  Phrase reason;
  if (comparison.references.empty()) {
    reason << (comparison.other.empty() ? "the measured texts differ in their serialisation only"
                                        : "the order of its circuits changed");
    return reason;
  }
  for (std::size_t i = 0; i < comparison.references.size() && i < most; ++i) {
    if (i > 0) reason << "; ";
    describe_reference(reason, comparison.references[i]);
  }
  if (comparison.references.size() > most) {
    reason << "; and " + std::to_string(comparison.references.size() - most) + " more";
  }
  return reason;
}

ValueDifference difference_of(const std::string& old_value, const std::string& new_value) {
  std::size_t prefix = 0;
  const std::size_t shorter = std::min(old_value.size(), new_value.size());
  while (prefix < shorter && old_value[prefix] == new_value[prefix]) ++prefix;
  while (prefix > 0 && !(starts_character(old_value, prefix) && starts_character(new_value, prefix))) --prefix;
  std::size_t suffix = 0;
  while (suffix < shorter - prefix &&
         old_value[old_value.size() - 1 - suffix] == new_value[new_value.size() - 1 - suffix]) {
    ++suffix;
  }
  while (suffix > 0 && !(starts_character(old_value, old_value.size() - suffix) &&
                         starts_character(new_value, new_value.size() - suffix))) {
    --suffix;
  }
  return {old_value.substr(0, prefix), old_value.substr(prefix, old_value.size() - prefix - suffix),
          new_value.substr(prefix, new_value.size() - prefix - suffix), old_value.substr(old_value.size() - suffix)};
}

}  // namespace ccdcrc
