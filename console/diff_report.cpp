#include "console/diff_report.h"

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

nlohmann::ordered_json json_value(const std::optional<std::string>& text) {
  return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
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

const char* scd_status(const DiffReport& report) {
  return report.old_scd_crc == report.new_scd_crc ? "unchanged" : "changed";
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

void write_explanation(std::ostream& out, const IedCrcChange& ied, const CcdComparison& comparison) {
  out << '\n'
      << printable(ied.name) << ": " << old_crc(ied).value_or(no_crc) << " -> " << new_crc(ied).value_or(no_crc)
      << '\n';
  for (const ReferenceChange& reference : comparison.references) {
    out << "  " << reference.section << ' ' << reference.element << ' ' << printable(reference.name) << ' '
        << reference_change_name(reference.kind) << (reference.changes.empty() ? "" : ":") << '\n';
    for (const CcdChange& change : reference.changes) out << "    " << explained(change, reference.element) << '\n';
  }
  for (const CcdChange& change : comparison.other) out << "  " << explained(change, "IED") << '\n';
  if (comparison.empty()) {
    out << "  no element, attribute or text differs; the measured texts differ in their serialisation only\n";
  }
}

// "1 control block", "3 control blocks".
std::string control_blocks(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " control block" : " control blocks");
}

// Like `git diff --stat`: per IED that differs, how many control blocks
// differ (for one added or removed, how many it has); then the counts.
void write_stat(std::ostream& out, const DiffReport& report) {
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
    out << "| " << crc_status_name(ied.status);
    if (auto explanation = report.explanations.find(ied.name); explanation != report.explanations.end()) {
      out << ": " << control_blocks(explanation->second.references.size());
      if (!explanation->second.other.empty()) out << ", " << explanation->second.other.size() << " other";
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

void write_text(std::ostream& out, const DiffReport& report) {
  if (report.layout == DiffLayout::stat) return write_stat(out, report);
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
    out << crc_cell(old_crc(ied)) << "  " << crc_cell(new_crc(ied)) << "  " << crc_status_name(ied.status) << '\n';
  }
  column.write(out, scd_crc_label);
  out << report.old_scd_crc << "  " << report.new_scd_crc << "  " << scd_status(report) << '\n';
  out << "Header: " << revision_text(report.old_revision) << " -> " << revision_text(report.new_revision) << '\n';
  for (const IedCrcChange& ied : report.ieds) {
    if (auto explanation = report.explanations.find(ied.name); explanation != report.explanations.end()) {
      write_explanation(out, ied, explanation->second);
    }
  }
}

nlohmann::ordered_json json_change(const CcdChange& change) {
  return {{"path", change.path},
          {"kind", ccd_change_name(change.kind)},
          {"subject", change.subject},
          {"old", json_value(change.old_value)},
          {"new", json_value(change.new_value)}};
}

// The changes of one IED as flat objects.
nlohmann::ordered_json json_changes(const CcdComparison& comparison) {
  nlohmann::ordered_json changes = nlohmann::ordered_json::array();
  for (const ReferenceChange& reference : comparison.references) {
    const nlohmann::ordered_json head{{"section", reference.section},
                                      {"element", reference.element},
                                      {"reference", reference.name},
                                      {"change", reference_change_name(reference.kind)}};
    if (reference.changes.empty()) changes.push_back(head);
    for (const CcdChange& change : reference.changes) {
      nlohmann::ordered_json object = head;
      object.update(json_change(change));
      changes.push_back(std::move(object));
    }
  }
  for (const CcdChange& change : comparison.other) changes.push_back(json_change(change));
  return changes;
}

void write_json_report(std::ostream& out, const DiffReport& report) {
  nlohmann::ordered_json json{
      {"old", report.old_path},
      {"new", report.new_path},
      {"scd_crc", {{"old", report.old_scd_crc}, {"new", report.new_scd_crc}, {"status", scd_status(report)}}},
      {"header", {{"old", revision_json(report.old_revision)}, {"new", revision_json(report.new_revision)}}}};
  nlohmann::ordered_json& ieds = json["ieds"] = nlohmann::ordered_json::array();
  for (const IedCrcChange& ied : report.ieds) {
    if (!shown(report, ied)) continue;
    nlohmann::ordered_json entry{{"name", ied.name},
                                 {"old_crc", json_value(old_crc(ied))},
                                 {"new_crc", json_value(new_crc(ied))},
                                 {"status", crc_status_name(ied.status)}};
    if (auto explanation = report.explanations.find(ied.name); explanation != report.explanations.end()) {
      entry["changes"] = json_changes(explanation->second);
    }
    ieds.push_back(std::move(entry));
  }
  write_json(out, json);
}

void write_csv(std::ostream& out, const DiffReport& report) {
  out << "type,name,old_crc,new_crc,status\n";
  for (const IedCrcChange& ied : report.ieds) {
    if (!shown(report, ied)) continue;
    out << "ied," << csv_field(ied.name) << ',' << csv_value(old_crc(ied)) << ',' << csv_value(new_crc(ied)) << ','
        << crc_status_name(ied.status) << '\n';
  }
  out << "scd,," << report.old_scd_crc << ',' << report.new_scd_crc << ',' << scd_status(report) << '\n';
  // The Header's attributes in the CRC columns.
  for (const auto& [attribute, old_value, new_value] :
       {std::tuple{"version", report.old_revision.version, report.new_revision.version},
        std::tuple{"revision", report.old_revision.revision, report.new_revision.revision}}) {
    out << "header," << attribute << ',' << csv_value(old_value) << ',' << csv_value(new_value) << ','
        << (old_value == new_value ? "unchanged" : "changed") << '\n';
  }
}

}  // namespace

void write_diff_report(std::ostream& out, Format format, const DiffReport& report) {
  switch (format) {
    case Format::text: write_text(out, report); break;
    case Format::json: write_json_report(out, report); break;
    case Format::csv: write_csv(out, report); break;
  }
}

}  // namespace ccdcrc
