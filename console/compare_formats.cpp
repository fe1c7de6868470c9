// The result formats of `diff`, `check` and `verify`.

#include <algorithm>

#include "console/formats.h"

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

std::string json_value(const std::optional<std::string>& text) { return text ? json_string(*text) : "null"; }

std::string csv_value(const std::optional<std::string>& text) { return text ? csv_field(*text) : ""; }

// A value in an explanation: quoted, with control characters shown; "(none)" when absent.
std::string shown_value(const std::optional<std::string>& value) {
  if (!value) return "(none)";
  std::string text(1, '"');
  text += printable(*value);
  text += '"';
  return text;
}

const std::optional<std::string>& old_crc(const IedCrcChange& change) {
  static const std::optional<std::string> none;
  return change.old_ied ? change.old_ied->crc : none;
}

const std::optional<std::string>& new_crc(const IedCrcChange& change) {
  static const std::optional<std::string> none;
  return change.new_ied ? change.new_ied->crc : none;
}

// "GSEControl confRev: "1" -> "2"", "DataSet/FCDA[3] (LD0/PTRC1.Tr.q [ST]) added: <FCDA .../>".
// `element` names the element that an empty path stands for.
std::string explained(const CcdChange& change, const std::string& element) {
  const std::string path = printable(change.path.empty() ? element : change.path);
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

void write_diff_text(std::ostream& out, const DiffReport& report) {
  std::vector<std::string> names{scd_crc_label};
  for (const IedCrcChange& ied : report.ieds) names.push_back(ied.name);
  const NameColumn column(names);
  for (const IedCrcChange& ied : report.ieds) {
    if (report.changes_only && ied.status == CrcStatus::unchanged) continue;
    column.write(out, ied.name);
    out << crc_cell(old_crc(ied)) << "  " << crc_cell(new_crc(ied)) << "  " << crc_status_name(ied.status) << '\n';
  }
  column.write(out, scd_crc_label);
  out << report.old_scd_crc << "  " << report.new_scd_crc << "  "
      << (report.old_scd_crc == report.new_scd_crc ? "unchanged" : "changed") << '\n';
  for (const IedCrcChange& ied : report.ieds) {
    if (auto explanation = report.explanations.find(ied.name); explanation != report.explanations.end()) {
      write_explanation(out, ied, explanation->second);
    }
  }
}

// The changes of one IED as flat JSON objects, one per line.
std::vector<std::string> json_changes(const CcdComparison& comparison) {
  const auto fields = [](const CcdChange& change) {
    return "\"path\": " + json_string(change.path) + ", \"kind\": " + json_string(ccd_change_name(change.kind)) +
           ", \"subject\": " + json_string(change.subject) + ", \"old\": " + json_value(change.old_value) +
           ", \"new\": " + json_value(change.new_value);
  };
  std::vector<std::string> objects;
  for (const ReferenceChange& reference : comparison.references) {
    const std::string head = "{\"section\": " + json_string(reference.section) +
                             ", \"element\": " + json_string(reference.element) +
                             ", \"reference\": " + json_string(reference.name) +
                             ", \"change\": " + json_string(reference_change_name(reference.kind));
    if (reference.changes.empty()) objects.push_back(head + "}");
    for (const CcdChange& change : reference.changes) objects.push_back(head + ", " + fields(change) + "}");
  }
  for (const CcdChange& change : comparison.other) objects.push_back(std::string(1, '{') + fields(change) + "}");
  return objects;
}

void write_diff_json(std::ostream& out, const DiffReport& report) {
  out << "{\n  \"old\": " << json_string(report.old_path) << ",\n  \"new\": " << json_string(report.new_path)
      << ",\n  \"scd_crc\": {\"old\": " << json_string(report.old_scd_crc)
      << ", \"new\": " << json_string(report.new_scd_crc)
      << ", \"status\": " << json_string(report.old_scd_crc == report.new_scd_crc ? "unchanged" : "changed")
      << "},\n  \"ieds\": [";
  bool first = true;
  for (const IedCrcChange& ied : report.ieds) {
    if (report.changes_only && ied.status == CrcStatus::unchanged) continue;
    out << (first ? "\n" : ",\n") << "    {\"name\": " << json_string(ied.name)
        << ", \"old_crc\": " << json_value(old_crc(ied)) << ", \"new_crc\": " << json_value(new_crc(ied))
        << ", \"status\": " << json_string(crc_status_name(ied.status));
    first = false;
    if (auto explanation = report.explanations.find(ied.name); explanation != report.explanations.end()) {
      const std::vector<std::string> changes = json_changes(explanation->second);
      out << ", \"changes\": [";
      for (std::size_t i = 0; i < changes.size(); ++i) out << (i ? ",\n" : "\n") << "      " << changes[i];
      out << (changes.empty() ? "]" : "\n    ]");
    }
    out << "}";
  }
  out << (first ? "]" : "\n  ]") << "\n}\n";
}

void write_diff_csv(std::ostream& out, const DiffReport& report) {
  out << "type,name,old_crc,new_crc,status\n";
  for (const IedCrcChange& ied : report.ieds) {
    if (report.changes_only && ied.status == CrcStatus::unchanged) continue;
    out << "ied," << csv_field(ied.name) << ',' << csv_value(old_crc(ied)) << ',' << csv_value(new_crc(ied)) << ','
        << crc_status_name(ied.status) << '\n';
  }
  out << "scd,," << report.old_scd_crc << ',' << report.new_scd_crc << ','
      << (report.old_scd_crc == report.new_scd_crc ? "unchanged" : "changed") << '\n';
}

const char* check_status_name(CheckStatus status) {
  switch (status) {
    case CheckStatus::ok: return "ok";
    case CheckStatus::changed: return "changed";
    case CheckStatus::missing: return "missing";
    case CheckStatus::added: return "new";
  }
  return "";
}

std::string check_detail(const CheckedIed& ied) {
  switch (ied.status) {
    case CheckStatus::ok: return "";
    case CheckStatus::changed: return " (approved " + *ied.approved_crc + ", now " + *ied.crc + ")";
    case CheckStatus::missing:
      return " (approved " + *ied.approved_crc + "; " +
             (ied.in_scd ? "the IED has no circuits now" : "the SCD has no IED of this name") + ")";
    case CheckStatus::added: return " (now " + *ied.crc + "; not in the list of approved CRCs)";
  }
  return "";
}

const char* verify_status_name(VerifyStatus status) {
  switch (status) {
    case VerifyStatus::ok: return "ok";
    case VerifyStatus::modified: return "modified";
    case VerifyStatus::outdated: return "outdated";
    case VerifyStatus::unreadable: return "unreadable";
  }
  return "";
}

void write_verify_text(std::ostream& out, const VerifyReport& report) {
  for (const VerifiedFile& file : report.files) {
    if (report.failures_only && file.status == VerifyStatus::ok) continue;
    out << printable(file.path) << ": ";
    switch (file.status) {
      case VerifyStatus::ok: out << "ok"; break;
      case VerifyStatus::modified:
        out << "modified (the CRC element says " << file.check.file_crc << ", the content gives "
            << file.check.content_crc << ")";
        break;
      case VerifyStatus::outdated:
        out << "outdated (" << file.check.file_crc << " in the file, "
            << (file.current_crc ? *file.current_crc + " from the SCD" : file.outdated_reason) << ")";
        break;
      case VerifyStatus::unreadable: out << "unreadable"; break;
    }
    out << '\n';
  }
}

}  // namespace

void write_diff_report(std::ostream& out, Format format, const DiffReport& report) {
  switch (format) {
    case Format::text: write_diff_text(out, report); break;
    case Format::json: write_diff_json(out, report); break;
    case Format::csv: write_diff_csv(out, report); break;
  }
}

void write_check_report(std::ostream& out, Format format, const CheckReport& report) {
  std::vector<const CheckedIed*> shown;
  for (const CheckedIed& ied : report.ieds) {
    if (!report.failures_only || ied.status != CheckStatus::ok) shown.push_back(&ied);
  }
  switch (format) {
    case Format::text:
      for (const CheckedIed* ied : shown) {
        out << printable(ied->name) << ": " << check_status_name(ied->status) << check_detail(*ied) << '\n';
      }
      break;
    case Format::json:
      out << "{\n  \"baseline\": " << json_string(report.baseline_path)
          << ",\n  \"scd\": " << json_string(report.scd_path) << ",\n  \"ieds\": [";
      for (std::size_t i = 0; i < shown.size(); ++i) {
        out << (i ? ",\n" : "\n") << "    {\"name\": " << json_string(shown[i]->name)
            << ", \"status\": " << json_string(check_status_name(shown[i]->status))
            << ", \"approved_crc\": " << json_value(shown[i]->approved_crc)
            << ", \"crc\": " << json_value(shown[i]->crc) << "}";
      }
      out << (shown.empty() ? "]" : "\n  ]") << "\n}\n";
      break;
    case Format::csv:
      out << "name,status,approved_crc,crc\n";
      for (const CheckedIed* ied : shown) {
        out << csv_field(ied->name) << ',' << check_status_name(ied->status) << ',' << csv_value(ied->approved_crc)
            << ',' << csv_value(ied->crc) << '\n';
      }
      break;
  }
}

void write_verify_report(std::ostream& out, Format format, const VerifyReport& report) {
  if (format == Format::text) return write_verify_text(out, report);
  // The CRCs of a file that could not be read are unknown.
  const auto known = [](const VerifiedFile& file, const std::string& text) {
    return file.status == VerifyStatus::unreadable ? std::nullopt : std::optional<std::string>(text);
  };
  std::vector<const VerifiedFile*> shown;
  for (const VerifiedFile& file : report.files) {
    if (!report.failures_only || file.status != VerifyStatus::ok) shown.push_back(&file);
  }
  if (format == Format::csv) {
    out << "file,ied,status,file_crc,content_crc,current_crc\n";
    for (const VerifiedFile* file : shown) {
      out << csv_field(file->path) << ',' << csv_value(known(*file, file->check.ied_name)) << ','
          << verify_status_name(file->status) << ',' << csv_value(known(*file, file->check.file_crc)) << ','
          << csv_value(known(*file, file->check.content_crc)) << ',' << csv_value(file->current_crc) << '\n';
    }
    return;
  }
  out << "{\n";
  if (report.scd_path) out << "  \"scd\": " << json_string(*report.scd_path) << ",\n";
  out << "  \"files\": [";
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const VerifiedFile& file = *shown[i];
    out << (i ? ",\n" : "\n") << "    {\"file\": " << json_string(file.path)
        << ", \"ied\": " << json_value(known(file, file.check.ied_name))
        << ", \"status\": " << json_string(verify_status_name(file.status))
        << ", \"file_crc\": " << json_value(known(file, file.check.file_crc))
        << ", \"content_crc\": " << json_value(known(file, file.check.content_crc))
        << ", \"current_crc\": " << json_value(file.current_crc) << "}";
  }
  out << (shown.empty() ? "]" : "\n  ]") << "\n}\n";
}

}  // namespace ccdcrc
