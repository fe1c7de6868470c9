// The change report as GitHub-flavoured Markdown, for change tickets and
// merge requests. Every name and value from an SCD goes through escaped(),
// so that it shows as text and never breaks a table.

#include <algorithm>
#include <string>
#include <utility>

#include "report/change_report.h"
#include "report/markup.h"
#include "report/output.h"

namespace ccdcrc {

namespace {

std::string escaped(const std::string& text) { return markdown_text(text); }

std::string code_span(const std::string& text) { return markdown_code(text); }

std::string phrase(const Phrase& line) {
  std::string markdown;
  for (const Phrase::Part& part : line.parts) markdown += part.code ? code_span(part.text) : escaped(part.text);
  return markdown;
}

std::string crc_or_dash(const std::optional<std::string>& crc) { return crc ? escaped(*crc) : "–"; }

// A Header field, or a dash when the file has none.
std::string field(const std::optional<std::string>& value) { return value ? escaped(*value) : "—"; }

// A cell's text never ends a row: line ends become blanks.
std::string cell(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text.empty() ? "—" : text;
}

std::string identity(const IedIdentity& ied) {
  std::vector<std::string> parts;
  if (!ied.desc.empty()) parts.push_back(escaped(ied.desc));
  const std::string device = ied.manufacturer.empty() ? ied.type : ied.manufacturer + " " + ied.type;
  if (!device.empty()) parts.push_back(escaped(device));
  if (!ied.config_version.empty() || !ied.old_config_version.empty()) {
    parts.push_back("configVersion " + (ied.old_config_version.empty() ? "" : escaped(ied.old_config_version) + " → ") +
                    (ied.config_version.empty() ? "—" : escaped(ied.config_version)));
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return cell(text);
}

void write_files(std::ostream& out, const ChangeReport& report) {
  const ReportFile& a = report.old_file;
  const ReportFile& b = report.new_file;
  const auto size = [](const ReportFile& file) { return file.size ? std::to_string(*file.size) + " bytes" : "–"; };
  const auto hash = [](const ReportFile& file) { return file.sha256.empty() ? "–" : escaped(file.sha256); };
  out << "## Files\n\n| | Old | New |\n|---|---|---|\n"
      << "| Path | " << escaped(a.path) << " | " << escaped(b.path) << " |\n"
      << "| Header id | " << field(a.header_id) << " | " << field(b.header_id) << " |\n"
      << "| Header version | " << field(a.header_version) << " | " << field(b.header_version) << " |\n"
      << "| Header revision | " << field(a.header_revision) << " | " << field(b.header_revision) << " |\n"
      << "| Size | " << size(a) << " | " << size(b) << " |\n"
      << "| SHA-256 | " << hash(a) << " | " << hash(b) << " |\n"
      << "| SCD CRC | " << escaped(a.scd_crc) << " | " << escaped(b.scd_crc) << " ("
      << crc_status_name(a.scd_crc == b.scd_crc ? CrcStatus::unchanged : CrcStatus::changed) << ") |\n\n";
}

void write_summary(std::ostream& out, const ChangeReport& report) {
  out << "## Summary\n\n|";
  for (const auto& [status, count] : report.counts) out << ' ' << crc_status_name(status) << " |";
  out << " without circuits | broken bindings | changed outside CRCs |\n|";
  for (std::size_t i = 0; i < report.counts.size() + 3; ++i) out << "---|";
  out << "\n|";
  for (const auto& [status, count] : report.counts) out << ' ' << count << " |";
  out << ' ' << report.without_circuits.size() << " | " << broken_count(report) << " | " << report.uncovered.size()
      << " |\n\n";
}

// Opens a table under the heading of a bay when the bay differs from the last one.
void open_bay(std::ostream& out, const std::string& bay, std::optional<std::string>& current,
              const std::vector<std::string>& columns) {
  const std::string label = bay.empty() ? no_bay_label : bay;
  if (current == label) return;
  if (current) out << '\n';
  current = label;
  out << "### " << escaped(label) << "\n\n|";
  for (const std::string& column : columns) out << ' ' << column << " |";
  out << "\n|";
  for (std::size_t i = 0; i < columns.size(); ++i) out << "---|";
  out << '\n';
}

void write_bindings(std::ostream& out, const ChangeReport& report) {
  out << "## Broken bindings\n\n";
  out << bindings_sentence(report) << "\n\n";
  if (report.bindings.empty()) return;
  std::optional<std::string> bay;
  for (const ReportedBinding& item : report.bindings) {
    open_bay(out, item.bay, bay, {"Subscriber", "Input", "Receives", "Status", "Why it resolves to nothing"});
    const BrokenBinding& binding = item.binding;
    out << "| " << cell(escaped(binding.ied)) << " | " << cell(code_span(binding.int_addr)) << " | "
        << cell(code_span(binding.source)) << " | " << binding_kind_name(item.kind) << " | "
        << cell(escaped(binding.reason)) << " |\n";
  }
  out << '\n';
}

void write_retest(std::ostream& out, const ChangeReport& report) {
  out << "## Retest\n\n";
  if (report.retest.empty()) out << nothing_to_retest << "\n\n";
  std::vector<std::string> columns{"IED", "Device", "Old CRC", "New CRC"};
  if (report.approved_path) columns.emplace_back("Approved CRC");
  columns.insert(columns.end(), {"Status", "Why"});
  std::optional<std::string> bay;
  for (const ReportedIed& ied : report.retest) {
    open_bay(out, ied.bay, bay, columns);
    const IedCrcChange& change = *ied.change;
    out << "| " << cell(escaped(change.name)) << " | " << identity(ied.identity) << " | "
        << crc_or_dash(change.old_ied ? change.old_ied->crc : std::nullopt) << " | "
        << crc_or_dash(change.new_ied ? change.new_ied->crc : std::nullopt) << " | ";
    if (report.approved_path) out << crc_or_dash(ied.approval ? ied.approval->approved_crc : std::nullopt) << " | ";
    out << crc_status_name(change.status);
    // The check's status beside the change's: "approved" for one that matches its approved CRC.
    if (ied.approval) {
      out << (ied.approval->status == CheckStatus::ok
                  ? std::string(", approved")
                  : std::string(", check: ") + check_status_name(ied.approval->status));
    }
    out << " | " << cell(phrase(ied.reason)) << " |\n";
  }
  if (bay) out << '\n';
}

void write_change_rows(std::ostream& out, const std::vector<CcdChange>& changes, const std::string& element) {
  out << "| Where | What | Old | New |\n|---|---|---|---|\n";
  for (const CcdChange& change : changes) {
    const ChangeRow row = change_row(change, element);
    out << "| " << escaped(row.where) << " | " << escaped(row.what) << " | "
        << (row.old_value ? escaped(*row.old_value) : "–") << " | " << (row.new_value ? escaped(*row.new_value) : "–")
        << " |\n";
  }
  out << '\n';
}

void write_reference(std::ostream& out, const ReferenceChange& reference) {
  out << "#### " << escaped(reference.section) << ' ' << escaped(reference.element) << ' ' << escaped(reference.name)
      << " (" << reference_change_name(reference.kind) << ")\n\n";
  if (!reference.changes.empty()) write_change_rows(out, reference.changes, reference.element);
}

void write_ied_details(std::ostream& out, const ReportedIed& ied) {
  const IedCrcChange& change = *ied.change;
  out << "### " << escaped(change.name) << ": " << crc_or_dash(change.old_ied ? change.old_ied->crc : std::nullopt)
      << " → " << crc_or_dash(change.new_ied ? change.new_ied->crc : std::nullopt) << " ("
      << crc_status_name(change.status) << ")\n\n";
  if (ied.explanation) {
    for (const ReferenceChange& reference : ied.explanation->references) write_reference(out, reference);
    if (!ied.explanation->other.empty()) write_change_rows(out, ied.explanation->other, "IED");
  } else if (!ied.circuits.empty()) {
    out << circuits_heading << "\n\n";
    for (const ReferenceChange& reference : ied.circuits) write_reference(out, reference);
  } else {
    out << phrase(ied.reason) << "\n\n";
  }
}

void write_uncovered(std::ostream& out, const ChangeReport& report) {
  out << "## Changed outside the CRCs\n\n" << uncovered_sentence(report) << "\n\n";
  if (!report.list_uncovered || report.uncovered.empty()) return;
  out << "| IED | Elements changed | First change |\n|---|---|---|\n";
  for (const UncoveredChange& change : report.uncovered) {
    out << "| " << cell(escaped(change.name)) << " | " << change.difference.elements << " | "
        << cell(code_span(change.difference.first)) << " |\n";
  }
  out << '\n';
}

void write_unchanged(std::ostream& out, const ChangeReport& report) {
  out << "## Unchanged IEDs\n\n<details>\n<summary>" << unchanged_sentence(report) << "</summary>\n\n";
  for (const UnchangedIed& ied : report.unchanged) {
    out << "- " << escaped(ied.name);
    if (ied.approval && ied.approval->status != CheckStatus::ok) {
      out << " (" << check_status_name(ied.approval->status) << ")";
    }
    out << '\n';
  }
  out << "\n</details>\n\n## IEDs without circuits\n\n" << without_circuits_sentence(report) << "\n\n";
  for (const std::string& name : report.without_circuits) out << "- " << escaped(name) << '\n';
  if (!report.without_circuits.empty()) out << '\n';
}

// Everything the check against the list fails on, and its verdict.
void write_approval(std::ostream& out, const ApprovalRecord& approval, const ChangeReport& report) {
  out << "## Approval check\n\n**" << phrase(verdict_phrase(approval, report.new_file.path)) << "**\n\n";
  for (const std::string& failure : approval.failures) out << "- " << escaped(failure) << '\n';
  if (!approval.failures.empty()) out << '\n';
  if (approval.scd) {
    out << "SCD CRC: approved " << crc_or_dash(approval.scd->approved_crc) << ", new " << escaped(approval.scd->crc)
        << " (" << approval.scd->status() << ")\n\n";
  }
  if (!approval.failing.empty()) {
    out << "| IED | Approved CRC | New CRC | Check |\n|---|---|---|---|\n";
    for (const CheckedIed& ied : approval.failing) {
      out << "| " << cell(escaped(ied.name)) << " | " << crc_or_dash(ied.approved_crc) << " | " << crc_or_dash(ied.crc)
          << " | " << check_status_name(ied.status);
      if (!ied.unreadable.empty()) out << ": " << cell(escaped(ied.unreadable));
      out << " |\n";
    }
    out << '\n';
  }
  if (!approval.notes.empty()) {
    out << notes_heading << "\n\n| Line | Why |\n|---|---|\n";
    for (const BaselineNote& note : approval.notes)
      out << "| " << note.line << " | " << cell(escaped(note.reason)) << " |\n";
    out << '\n';
  }
}

// What is signed, restated where the signatures stand.
void write_signoff(std::ostream& out, const ChangeReport& report) {
  out << "## Sign-off\n\n";
  for (const auto& [label, scd] : {std::pair{"Old SCD", &report.old_file}, std::pair{"New SCD", &report.new_file}}) {
    out << label << ": " << escaped(scd->path) << ", SCD CRC " << escaped(scd->scd_crc) << ", SHA-256 "
        << (scd->sha256.empty() ? "–" : escaped(scd->sha256)) << "  \n";
  }
  if (report.approval) {
    out << "Approved CRCs: " << escaped(report.approval->path) << ", SHA-256 "
        << (report.approval->sha256.empty() ? "–" : escaped(report.approval->sha256))
        << "  \nCheck: " << phrase(verdict_phrase(*report.approval, report.new_file.path)) << "  \n";
  }
  out << "Report made: " << escaped(report.date) << " by ccdcrc " << escaped(report.tool_version) << "\n\n";
  out << "| | Name | Date | Signature |\n|---|---|---|---|\n";
  for (const char* role : {"Prepared", "Checked", "Approved"}) out << "| " << role << " | | | |\n";
  out << '\n';
}

}  // namespace

void write_markdown_report(std::ostream& out, const ChangeReport& report) {
  out << "# SCD change report\n\n"
      << escaped(report.old_file.path) << " → " << escaped(report.new_file.path) << "\n\n"
      << "Date: " << escaped(report.date) << "  \nMade by: ccdcrc " << escaped(report.tool_version) << "  \n";
  if (report.approved_path) out << "Approved CRCs: " << escaped(*report.approved_path) << "  \n";
  out << '\n';
  write_files(out, report);
  write_summary(out, report);
  if (report.approval) write_approval(out, *report.approval, report);
  write_bindings(out, report);
  write_retest(out, report);
  out << "## Changes\n\n";
  for (const ReportedIed& ied : report.retest) write_ied_details(out, ied);
  write_uncovered(out, report);
  write_unchanged(out, report);
  if (report.signoff) write_signoff(out, report);
}

}  // namespace ccdcrc
