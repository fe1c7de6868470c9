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

#include "operations/comparison.h"
#include "operations/loading.h"
#include "report/diff_report.h"
#include "scd/scd.h"

namespace ccdcrc {

// One of the two files: what identifies it.
struct ReportFile {
  std::string path;
  std::string header_id, header_version, header_revision;  // of its Header element
  std::optional<std::uintmax_t> size;                      // bytes
  std::string sha256;                                      // empty when unknown
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

// One IED whose CRC did not stay as it was.
struct ReportedIed {
  const IedCrcChange* change = nullptr;
  std::string bay;                             // "VOLTAGE LEVEL / BAY", empty when no bay holds it
  Phrase reason;                               // why it changed, in one line
  const CcdComparison* explanation = nullptr;  // for a changed IED
  std::vector<ReferenceChange> circuits;       // what an added or gained IED publishes and subscribes
};

struct ChangeReport {
  ReportFile old_file;
  ReportFile new_file;
  std::map<CrcStatus, std::size_t> counts;  // every status, also those no IED has
  std::vector<ReportedIed> retest;          // grouped by bay, those in no bay last
  std::vector<std::string> unchanged;       // names
};

// Gathers the report of a comparison whose explanations hold every changed
// IED: the files' facts, the bays from the new SCD (from the old one for an
// IED it alone has), and what added and gained IEDs publish and subscribe.
ChangeReport build_change_report(const DiffReport& diff, const Scd& old_scd, const ScdFile& old_file,
                                 const Scd& new_scd, const ScdFile& new_file);

// The label under which IEDs in no bay are listed.
inline constexpr const char* no_bay_label = "not assigned to a bay";

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
