#include "report/diff_report.h"

#include "report/binding_report.h"

#include <algorithm>
#include <tuple>

namespace ccdcrc {

namespace {

constexpr const char* scd_crc_label = "SCD CRC";
constexpr const char* no_crc = "-";

// A CRC in an aligned text column: "-" when there is none.
std::string crc_cell(const std::optional<std::string>& crc) {
  std::string text = crc.value_or(no_crc);
  text.resize(std::max<std::size_t>(text.size(), 8), ' ');
  return text;
}

std::string csv_value(const std::optional<std::string>& text) { return text ? csv_field(*text) : ""; }

// A value in an explanation: quoted, with control characters shown; "(none)" when absent.
std::string shown_value(const std::optional<std::string>& value) {
  if (!value) return "(none)";
  return '"' + printable(*value) + '"';
}

std::optional<std::string> old_crc(const IedCrcChange& change) {
  return change.old_ied ? change.old_ied->crc : std::nullopt;
}

std::optional<std::string> new_crc(const IedCrcChange& change) {
  return change.new_ied ? change.new_ied->crc : std::nullopt;
}

CrcStatus scd_status(const DiffReport& report) {
  return report.old_scd_crc == report.new_scd_crc ? CrcStatus::unchanged : CrcStatus::changed;
}

// A status in text, marked as the report's style says.
std::string styled(const DiffReport& report, CrcStatus status) {
  switch (status) {
    case CrcStatus::unchanged: return report.style.status(crc_status_name(status), StatusTone::same);
    case CrcStatus::changed: return report.style.status(crc_status_name(status), StatusTone::changed);
    case CrcStatus::added:
    case CrcStatus::gained: return report.style.status(crc_status_name(status), StatusTone::added);
    case CrcStatus::removed:
    case CrcStatus::lost: return report.style.status(crc_status_name(status), StatusTone::gone);
  }
  return crc_status_name(status);
}

bool shown(const DiffReport& report, const IedCrcChange& ied) {
  return !report.changes_only || ied.status != CrcStatus::unchanged;
}

// "GSEControl confRev: "1" -> "2"", "DataSet/FCDA[3] (LD0/PTRC1.Tr.q [ST]) added: <FCDA .../>".
// `element` names the element that an empty path stands for.
std::string explained(const CcdChange& change, const std::string& element) {
  std::string path = printable(change.path.empty() ? element : change.path);
  switch (change.kind) {
    case CcdChange::Kind::attribute:
      return path + " " + printable(change.subject) + ": " + shown_value(change.old_value) + " -> " +
             shown_value(change.new_value);
    case CcdChange::Kind::text:
      return path + " text: " + shown_value(change.old_value) + " -> " + shown_value(change.new_value);
    case CcdChange::Kind::added:
      return path + "/" + printable(change.subject) + " added: " + printable(change.new_value.value_or(""));
    case CcdChange::Kind::removed:
      return path + "/" + printable(change.subject) + " removed: " + printable(change.old_value.value_or(""));
    case CcdChange::Kind::order:
      return path + " order of " + change.subject + ": " + printable(change.old_value.value_or("")) + " -> " +
             printable(change.new_value.value_or(""));
  }
  return path;
}

// Writes the changes of one IED as lines below its heading, as they are told.
class TextExplanation final : public ComparisonSink {
 public:
  explicit TextExplanation(std::ostream& out) : out_(out) {}

  void reference(const ReferenceChange& reference) override {
    told_ = true;
    element_ = reference.element;
    // Only a changed reference has changes, told next.
    out_ << "  " << reference.section << ' ' << reference.element << ' ' << printable(reference.name) << ' '
         << reference_change_name(reference.kind) << (reference.kind == ReferenceChange::Kind::changed ? ":" : "")
         << '\n';
  }
  void change(const CcdChange& change) override { out_ << "    " << explained(change, element_) << '\n'; }
  void other(const CcdChange& change) override {
    told_ = true;
    out_ << "  " << explained(change, "IED") << '\n';
  }
  bool told() const { return told_; }

 private:
  std::ostream& out_;
  std::string element_;  // of the reference told last
  bool told_ = false;
};

void write_explanation(std::ostream& out, const IedCrcChange& ied, ExplainedChanges& explained) {
  out << '\n'
      << printable(ied.name) << ": " << old_crc(ied).value_or(no_crc) << " -> " << new_crc(ied).value_or(no_crc)
      << '\n';
  TextExplanation lines(out);
  explained.tell(ied, lines);
  if (!lines.told()) {
    out << "  no element, attribute or text differs; the measured texts differ in their serialisation only\n";
  }
}

// Counts what a comparison tells.
class ChangeCount final : public ComparisonSink {
 public:
  void reference(const ReferenceChange&) override { ++references; }
  void change(const CcdChange&) override {}
  void other(const CcdChange&) override { ++others; }

  std::size_t references = 0;
  std::size_t others = 0;
};

// "1 control block", "3 control blocks".
std::string control_blocks(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " control block" : " control blocks");
}

// Like `git diff --stat`: per IED that differs, how many control blocks
// differ (for one added or removed, how many it has); then the counts.
void write_stat(std::ostream& out, const DiffReport& report, ExplainedChanges* explained) {
  std::vector<std::string> names;
  std::map<CrcStatus, std::size_t> counts;
  for (const IedCrcChange& ied : report.ieds) {
    if (ied.status != CrcStatus::unchanged) names.push_back(ied.name);
  }
  const NameColumn column(names);
  for (const IedCrcChange& ied : report.ieds) {
    if (ied.status == CrcStatus::unchanged) continue;
    ++counts[ied.status];
    column.write(out, ied.name);
    out << "| " << styled(report, ied.status);
    if (explained && explained->explains(ied)) {
      ChangeCount count;
      explained->tell(ied, count);
      out << ": " << control_blocks(count.references);
      if (count.others != 0) out << ", " << count.others << " other";
    }
    out << '\n';
  }
  out << names.size() << " of " << report.ieds.size() << " IEDs differ";
  std::string separator = " (";
  for (const auto& [status, count] : counts) {
    out << separator << count << ' ' << crc_status_name(status);
    separator = ", ";
  }
  out << (counts.empty() ? "" : ")") << "; SCD CRC " << report.old_scd_crc << " -> " << report.new_scd_crc << '\n';
}

void write_text(std::ostream& out, const DiffReport& report, ExplainedChanges* explained) {
  if (report.layout == DiffLayout::stat) return write_stat(out, report, explained);
  if (report.layout == DiffLayout::name_only) {
    for (const IedCrcChange& ied : report.ieds) {
      if (ied.status != CrcStatus::unchanged) out << printable(ied.name) << '\n';
    }
    return;
  }
  std::vector<std::string> names{scd_crc_label};
  for (const IedCrcChange& ied : report.ieds) {
    if (shown(report, ied)) names.push_back(ied.name);
  }
  const NameColumn column(names);
  for (const IedCrcChange& ied : report.ieds) {
    if (!shown(report, ied)) continue;
    column.write(out, ied.name);
    out << crc_cell(old_crc(ied)) << "  " << crc_cell(new_crc(ied)) << "  " << styled(report, ied.status) << '\n';
  }
  column.write(out, scd_crc_label);
  out << report.old_scd_crc << "  " << report.new_scd_crc << "  " << styled(report, scd_status(report)) << '\n';
  out << "Header: " << revision_text(report.old_revision) << " -> " << revision_text(report.new_revision) << '\n';
  if (!explained) return;
  for (const IedCrcChange& ied : report.ieds) {
    // Output that cannot be written ends the work: the failure is told at the end.
    if (!out) return;
    if (explained->explains(ied)) write_explanation(out, ied, *explained);
  }
}

void write_change_members(JsonStream& json, const CcdChange& change) {
  json.member("path", change.path);
  json.member("kind", ccd_change_name(change.kind));
  json.member("subject", change.subject);
  json.member("old", json_text(change.old_value));
  json.member("new", json_text(change.new_value));
}

// Writes the changes of one IED as flat objects, items of its "changes", as
// they are told; a value at a time, so that no JSON tree is destroyed when
// memory runs out.
class JsonExplanation final : public ComparisonSink {
 public:
  explicit JsonExplanation(JsonStream& json) : json_(json) {}

  void reference(const ReferenceChange& reference) override {
    head_ = {reference.section, reference.element, reference.name, reference.kind};
    // A changed reference is told with each of its changes, which follow.
    if (reference.kind != ReferenceChange::Kind::changed) {
      json_.open_object();
      write_head();
      json_.close();
    }
  }
  void change(const CcdChange& change) override {
    json_.open_object();
    write_head();
    write_change_members(json_, change);
    json_.close();
  }
  void other(const CcdChange& change) override {
    json_.open_object();
    write_change_members(json_, change);
    json_.close();
  }

 private:
  void write_head() {
    json_.member("section", head_.section);
    json_.member("element", head_.element);
    json_.member("reference", head_.name);
    json_.member("change", reference_change_name(head_.kind));
  }

  struct Head {
    std::string section;
    std::string element;
    std::string name;
    ReferenceChange::Kind kind = ReferenceChange::Kind::changed;
  };

  JsonStream& json_;
  Head head_;
};

void write_json_report(std::ostream& out, const DiffReport& report, ExplainedChanges* explained) {
  JsonStream json(out);
  json.open_object();
  json.member("old", report.old_path);
  json.member("new", report.new_path);
  json.key("scd_crc");
  json.open_object();
  json.member("old", report.old_scd_crc);
  json.member("new", report.new_scd_crc);
  json.member("status", crc_status_name(scd_status(report)));
  json.close();
  json.key("header");
  json.open_object();
  json.key("old");
  write_revision(json, report.old_revision);
  json.key("new");
  write_revision(json, report.new_revision);
  json.close();
  json.key("ieds");
  json.open_array();
  for (const IedCrcChange& ied : report.ieds) {
    if (!shown(report, ied)) continue;
    json.open_object();
    json.member("name", ied.name);
    json.member("old_crc", json_text(old_crc(ied)));
    json.member("new_crc", json_text(new_crc(ied)));
    json.member("status", crc_status_name(ied.status));
    // Output that cannot be written ends the work: the failure is told at the end.
    if (explained && explained->explains(ied) && out) {
      json.key("changes");
      json.open_array();
      JsonExplanation changes(json);
      explained->tell(ied, changes);
      json.close();
    }
    json.close();
  }
  json.close();
  if (report.bindings) write_bindings(json, *report.bindings);
  json.close();
}

void write_csv(std::ostream& out, const DiffReport& report) {
  out << "type,name,old_crc,new_crc,status\n";
  for (const IedCrcChange& ied : report.ieds) {
    if (!shown(report, ied)) continue;
    out << "ied," << csv_field(ied.name) << ',' << csv_value(old_crc(ied)) << ',' << csv_value(new_crc(ied)) << ','
        << crc_status_name(ied.status) << '\n';
  }
  out << "scd,," << report.old_scd_crc << ',' << report.new_scd_crc << ',' << crc_status_name(scd_status(report))
      << '\n';
  // The Header's attributes in the CRC columns.
  for (const auto& [attribute, old_value, new_value] :
       {std::tuple{"version", report.old_revision.version, report.new_revision.version},
        std::tuple{"revision", report.old_revision.revision, report.new_revision.revision}}) {
    out << "header," << attribute << ',' << csv_value(old_value) << ',' << csv_value(new_value) << ','
        << crc_status_name(old_value == new_value ? CrcStatus::unchanged : CrcStatus::changed) << '\n';
  }
}

}  // namespace

ComparedOld compared_old(const Scd& old_scd, const std::vector<ListedCrc>& old_ieds) {
  return {old_scd.path(), scd_revision(old_scd), broken_bindings(old_scd, old_ieds)};
}

DiffReport diff_report(const ComparedOld& old_scd, const std::vector<ListedCrc>& old_ieds, const Scd& new_scd,
                       const std::vector<ListedCrc>& new_ieds) {
  DiffReport report;
  report.old_path = old_scd.path;
  report.new_path = new_scd.path();
  report.ieds = compare_ied_crcs(old_ieds, new_ieds);
  report.old_scd_crc = scd_crc(crc_map(old_ieds));
  report.new_scd_crc = scd_crc(crc_map(new_ieds));
  report.old_revision = old_scd.revision;
  report.new_revision = scd_revision(new_scd);
  report.bindings = compare_bindings(old_scd.broken, broken_bindings(new_scd, new_ieds), new_scd);
  return report;
}

void write_diff_report(std::ostream& out, Format format, const DiffReport& report, ExplainedChanges* explained) {
  switch (format) {
    case Format::text: write_text(out, report, explained); break;
    case Format::json: write_json_report(out, report, explained); break;
    case Format::csv: write_csv(out, report); break;
  }
}

void write_diff_report(std::ostream& out, Format format, const DiffReport& report, ExplainedIeds explained,
                       const Scd& old_scd, const Scd& new_scd) {
  BuiltOldCcds old_ccds(old_scd);
  write_diff_report(out, format, report, std::move(explained), old_ccds, new_scd);
}

void write_diff_report(std::ostream& out, Format format, const DiffReport& report, ExplainedIeds explained,
                       OldCcds& old_ccds, const Scd& new_scd) {
  WindowedExplanations windows(std::move(explained.ieds), old_ccds, new_scd, explained.jobs,
                               std::move(explained.progress), std::move(explained.window_built));
  write_diff_report(out, format, report, &windows);
}

}  // namespace ccdcrc
