#pragma once
// The change report of `diff --format html` and `--format markdown`: what
// two revisions of an SCD say about which devices must be loaded and tested
// again, for people who never run a command.

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "approvals/approval_check.h"
#include "approvals/baseline.h"
#include "operations/bindings.h"
#include "operations/comparison.h"
#include "operations/loading.h"
#include "report/diff_report.h"
#include "scd/bays.h"
#include "scd/scd.h"

namespace ccdcrc {

// One of the two files: what identifies it.
struct ReportFile {
  std::string path;
  std::optional<std::string> header_id, header_version, header_revision;  // of its Header element
  std::optional<std::uintmax_t> size;                                     // bytes
  std::string sha256;                                                     // empty when unknown
  std::string scd_crc;
};

// A line of text in which some parts are names or values (shown as code).
struct Phrase {
  struct Part {
    std::string text;
    bool code = false;
  };
  std::vector<Part> parts;

  Phrase& operator<<(const std::string& text);  // plain text
  Phrase& code(const std::string& text);        // a name or a value
  std::string plain() const;                    // with names in backticks
};

// What identifies a device: its IED element's attributes (of the new SCD, of
// the old one for an IED only it has); empty when missing.
struct IedIdentity {
  std::string desc, manufacturer, type, config_version;
  std::string old_config_version;  // when the old SCD gives another one
};

// An IED's CRC against a list of approved CRCs, with the statuses of `check`.
struct Approval {
  std::optional<std::string> approved_crc;
  CheckStatus status = CheckStatus::ok;
};

// A list of approved CRCs as the report uses it: the list, and the new SCD
// checked against it by check_approvals, as `check` checks it.
struct ApprovedCrcs {
  std::string path;
  std::string sha256;  // of the list as read
  Baseline list;
  std::vector<BaselineNote> notes;  // its lines that are no entry, or whose CRC cannot be read
  ApprovalCheck check;
};

// What the report records of the check against the list: `check`'s verdict,
// what it fails on (its own sentences), and every IED whose check fails, also
// approved IEDs that neither SCD has.
struct ApprovalRecord {
  std::string path;
  std::string sha256;
  CheckVerdict verdict = CheckVerdict::fails;
  std::vector<std::string> failures;
  std::vector<CheckedIed> failing;
  std::optional<CheckedScd> scd;
  std::vector<BaselineNote> notes;
};

// The verdict in one line: whether `ccdcrc check` passes on the new SCD.
Phrase verdict_phrase(const ApprovalRecord& approval, const std::string& new_path);

// One IED whose CRC did not stay as it was.
struct ReportedIed {
  const IedCrcChange* change = nullptr;
  IedIdentity identity;
  std::optional<Approval> approval;
  std::string bay;                             // "VOLTAGE LEVEL / BAY", empty when no bay holds it
  Phrase reason;                               // why it changed, in one line
  const CcdComparison* explanation = nullptr;  // for a changed IED
  std::vector<ReferenceChange> circuits;       // what an added or gained IED publishes and subscribes
};

// An input that resolves to nothing in the new SCD, or that did in the old one
// and no longer does.
struct ReportedBinding {
  enum class Kind { broken, still_broken, mended };
  BrokenBinding binding;
  Kind kind = Kind::broken;
  std::string bay;  // of the subscriber, as for ReportedIed
};
// "broken", "still broken", "mended".
const char* binding_kind_name(ReportedBinding::Kind kind);

// An IED whose element in the SCD changed while its CRC did not.
struct UncoveredChange {
  std::string name;
  ElementDifference difference;
};

// An unchanged IED, with its check against a list of approved CRCs.
struct UnchangedIed {
  std::string name;
  std::optional<Approval> approval;
};

// What the report is asked to hold beyond the comparison.
struct ReportOptions {
  std::string date;                      // when the report was made
  std::optional<ApprovedCrcs> approved;  // adds the approved CRC and the check's status
  bool signoff = true;                   // room to sign: prepared, checked, approved
  bool list_uncovered = false;           // name the IEDs changed outside their CRCs, not only count them
};

struct ChangeReport {
  ReportFile old_file;
  ReportFile new_file;
  std::string date;
  std::string tool_version;
  std::map<CrcStatus, std::size_t> counts;    // every status, also those no IED has
  std::vector<ReportedBinding> bindings;      // grouped by bay as `retest`
  std::vector<ReportedIed> retest;            // grouped by bay, those in no bay last
  std::vector<UnchangedIed> unchanged;        // IEDs that keep their CRC
  std::vector<std::string> without_circuits;  // IEDs without a CRC in either SCD
  std::vector<UncoveredChange> uncovered;     // changed outside their CRCs
  bool list_uncovered = false;
  std::optional<std::string> approved_path;  // the list checked against, when given
  std::optional<ApprovalRecord> approval;    // and what the check says
  bool signoff = true;
};

// How many inputs of the new SCD resolve to nothing.
std::size_t broken_count(const ChangeReport& report);

// Gathers the report of a comparison whose explanations hold every changed
// IED: the files' facts, the bays from the new SCD (from the old one for an
// IED it alone has), what added and gained IEDs publish and subscribe, the
// inputs that resolve to nothing (`diff.bindings`, as diff_report gives them)
// and the IEDs changed outside their CRCs.
ChangeReport build_change_report(const DiffReport& diff, const Scd& old_scd, const ScdFile& old_file,
                                 const Scd& new_scd, const ScdFile& new_file, const ReportOptions& options = {});

// What a change report reads of OLD besides the comparison, owned, so that
// its document may be released: the file and Header, the bays and
// identities of its IEDs, and its IED elements as kept (null: those of the
// listing).
struct ReportedOld {
  ReportFile file;  // without the SCD CRC, which the comparison gives
  std::map<std::string, BayPlace> bays;
  std::map<std::string, IedIdentity> identities;  // by listed name
  const KeptIedElements* elements = nullptr;
};
ReportedOld reported_old(const Scd& old_scd, const ScdFile& old_file, const std::vector<ListedCrc>& listed);
ChangeReport build_change_report(const DiffReport& diff, const ReportedOld& old_scd, const Scd& new_scd,
                                 const ScdFile& new_file, const ReportOptions& options = {});

// The IEDs whose element changed between two SCDs while their CRC did not
// (IEDs without a CRC are left out), by name; OLD's elements are those kept
// of it when given (its document released), else those of its listing.
std::vector<UncoveredChange> uncovered_changes(const std::vector<IedCrcChange>& ieds,
                                               const KeptIedElements* old_elements = nullptr);

// The label under which IEDs in no bay are listed.
inline constexpr const char* no_bay_label = "not assigned to a bay";

// The report's sentences, the same in every form it is written in (they hold
// no name from an SCD, and so no markup).
// Before the broken bindings: that there are none, or what they are.
std::string bindings_sentence(const ChangeReport& report);
// When no IED is to be tested again.
inline constexpr const char* nothing_to_retest = "No IED's CRC changed: no device needs to be loaded or tested again.";
// Before the circuits of an added or gained IED.
inline constexpr const char* circuits_heading = "It now publishes and subscribes:";
// How many IEDs changed outside their CRCs, and where.
std::string uncovered_sentence(const ChangeReport& report);
// How many IEDs keep their CRCs.
std::string unchanged_sentence(const ChangeReport& report);
// How many IEDs have no circuits, and what follows.
std::string without_circuits_sentence(const ChangeReport& report);
// Before the lines of the approved list that are no entry.
inline constexpr const char* notes_heading = "Lines of the list that are no entry:";

// Why an IED's CRC changed, in one line, e.g. "publishes GOCB `gcbTrip`:
// confRev 1 → 2" or "subscribes to `P1LD0/LLN0$GO$Trip`: changed by its
// publisher".
Phrase change_reason(const CcdComparison& comparison);

// A change as a row of a table: where, what, the old and the new value.
// `element` names the element that an empty path stands for.
struct ChangeRow {
  std::string where;
  std::string what;
  std::optional<std::string> old_value, new_value;
};
ChangeRow change_row(const CcdChange& change, const std::string& element);

// One self-contained HTML file: no request to anywhere, printable on A4.
void write_html_report(std::ostream& out, const ChangeReport& report);

// The same content for change tickets and merge requests (GitHub-flavoured).
void write_markdown_report(std::ostream& out, const ChangeReport& report);

// The part of two values that differs: the common beginning and end are
// kept whole characters of UTF-8.
struct ValueDifference {
  std::string prefix, old_middle, new_middle, suffix;
};
ValueDifference difference_of(const std::string& old_value, const std::string& new_value);

}  // namespace ccdcrc
