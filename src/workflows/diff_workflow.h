#pragma once
// The `diff` workflow and the change report: two SCDs listed and compared,
// the changes hidden behind shared names, the IEDs to explain, the bindings
// the new SCD breaks and mends, and the report of it all as HTML or Markdown.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "operations/crc_runs.h"
#include "operations/loading.h"
#include "report/change_report.h"
#include "report/diff_report.h"
#include "scd/scd.h"
#include "util/parallel.h"
#include "workflows/notes.h"

namespace ccdcrc {

// Every IED name of an SCD with its CRC (as listed_crcs_noted), then what the
// listing built on the way is given back: a comparison holds both documents
// and little more.
std::vector<ListedCrc> listed_for_comparison(const Scd& scd, unsigned jobs, const ProgressCallback& progress,
                                             Notes& notes);

struct DiffOutcome {
  std::vector<ListedCrc> old_listed;
  std::vector<ListedCrc> new_listed;
  DiffReport report;                      // every IED, the unchanged ones too (changes_only is the front end's choice)
  std::vector<ShadowedCrc> new_shadowed;  // IEDs of NEW behind a shared name
  std::unique_ptr<OldCcds> old_ccds;      // what was kept of OLD's CCDs, when its document is gone
  std::unique_ptr<KeptIedElements> old_elements;  // and of its IED elements
  std::optional<ReportedOld> old_reported;        // and what a change report reads of it
  // Changes of IEDs behind a shared name, which no listed CRC shows: a change all the same.
  std::vector<std::string> shadowed_changes;
  bool changed = false;  // a CRC or a shadowed IED changed
  Notes notes;           // of the listings, when the workflow listed the SCDs
  // What is told after the output: the shadowed changes, and a Header that
  // should have moved on.
  Notes closing_notes;
};

// What a comparison keeps of OLD besides its listing: the Header, the inputs
// it leaves unbound and the CRCs of the IEDs behind shared names.
struct KeptOld {
  std::vector<ListedCrc> listed;
  ComparedOld compared;
  std::vector<ShadowedCrc> shadowed;
  std::unique_ptr<KeptOldCcds> ccds;          // for explanations, when asked
  std::unique_ptr<KeptIedElements> elements;  // for --uncovered, when asked
  std::optional<ReportedOld> reported;        // for a change report, when asked
};
KeptOld kept_old(const Scd& old_scd, std::vector<ListedCrc> listed, unsigned jobs);

// What an output reads of OLD beyond its listing: the CCDs that --explain
// and --stat compare, the IED elements that --uncovered compares.
struct OldReading {
  bool ccds = false;
  std::vector<std::string> explained;  // the IEDs whose CCDs are kept; empty: every one with a CRC
  bool elements = false;
  const ScdFile* report = nullptr;  // for a change report: OLD's file as read, and everything else a report reads
};
OldReading old_reading(bool explain, const std::vector<std::string>& explained_names, bool stat, bool uncovered);

// The same with no node of OLD's document left in it, which may then be
// released before NEW is loaded: what is kept serves the table, its CSV and
// JSON, the exit status and what `reading` asks for.
KeptOld detached_old(const Scd& old_scd, std::vector<ListedCrc> listed, unsigned jobs, const OldReading& reading = {});

// One document at a time: OLD listed (what the listing built given back) and
// kept as `reading` asks, to be released before NEW is loaded; then NEW
// listed (as listed_for_comparison with `drop_built`, else as it is kept)
// and compared with it. The notes of both listings go to `notes`.
KeptOld listed_old(const Scd& old_scd, unsigned jobs, const OldReading& reading, Notes& notes,
                   const ProgressCallback& progress = {});
DiffOutcome diff_with_kept(KeptOld old_scd, const Scd& new_scd, unsigned jobs, bool drop_built, Notes notes,
                           const ProgressCallback& progress = {});

// Compares two SCDs whose listings are given.
DiffOutcome diff_listed(KeptOld old_scd, const Scd& new_scd, std::vector<ListedCrc> new_listed, unsigned jobs);
DiffOutcome diff_listed(const Scd& old_scd, std::vector<ListedCrc> old_listed, const Scd& new_scd,
                        std::vector<ListedCrc> new_listed, unsigned jobs);
// The same, listing both first (progress over the IEDs of both). With
// `drop_built` as listed_for_comparison, for SCDs that no other thread asks
// meanwhile (an open handle keeps what its lookups built).
DiffOutcome diff_scds(const Scd& old_scd, const Scd& new_scd, unsigned jobs, bool drop_built,
                      const ProgressCallback& progress = {});

// The IEDs to explain: the named ones, or with no names every one whose CRC
// changed, was added or gained one. A name in neither SCD is told and sets
// `unknown_names`; a named IED that cannot be explained is told.
struct ExplainChoice {
  std::vector<const IedCrcChange*> ieds;
  bool unknown_names = false;
  Notes notes;
};
ExplainChoice explained_ieds(const DiffReport& report, const std::vector<std::string>& names);

// The inputs that NEW breaks and those it mends: each in full, or how many.
Notes binding_change_notes(const std::string& new_path, const BindingChanges& changes, bool in_full);

// One line per IED whose element changed while its CRC did not (no line
// feed); OLD's elements as `old_elements` kept them, when given.
std::vector<std::string> uncovered_lines(const DiffReport& report, const KeptIedElements* old_elements = nullptr);

enum class ReportKind { html, markdown };

struct ChangeReportRequest {
  ReportKind kind = ReportKind::html;
  std::string date;                     // when the report was made; empty: now
  bool signoff = true;                  // room to sign
  bool list_uncovered = false;          // name the IEDs changed outside their CRCs
  std::optional<std::string> approved;  // a list of approved CRCs that NEW is checked against, as check does
  // The list's content, where it was read already (a browser's upload):
  // `approved` then names it, and this is its SHA-256.
  std::optional<std::string_view> approved_content;
  std::string approved_sha256;
  unsigned jobs = 0;  // 0: one per core
};

struct ChangeReportOutcome {
  std::optional<std::string> text;          // null after an error note
  std::map<CrcStatus, std::size_t> counts;  // every status, also those no IED has
  Notes notes;
};

// The change report of a comparison: every IED that differs explained
// (progress over them), in the words both writers print.
ChangeReportOutcome change_report(DiffOutcome& diff, const Scd& old_scd, const ScdFile& old_file, const Scd& new_scd,
                                  const ScdFile& new_file, const ChangeReportRequest& request,
                                  const ProgressCallback& progress = {});
// The same of a comparison that kept what a report reads of OLD (OldReading's
// `report`), whose document is gone.
ChangeReportOutcome change_report(DiffOutcome& diff, const Scd& new_scd, const ScdFile& new_file,
                                  const ChangeReportRequest& request, const ProgressCallback& progress = {});

}  // namespace ccdcrc
