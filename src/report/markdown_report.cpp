// The change report as GitHub-flavoured Markdown, for change tickets and
// merge requests. Every name and value from an SCD goes through escaped(),
// so that it shows as text and never breaks a table.

#include <algorithm>
#include <string>

#include "report/change_report.h"
#include "report/output.h"

namespace ccdcrc {

namespace {

// Text from an SCD as Markdown text: control characters shown, punctuation
// that Markdown or HTML would act on escaped.
std::string escaped(const std::string& text) {
  std::string markdown;
  for (char c : printable(text)) {
    switch (c) {
      case '&': markdown += "&amp;"; break;
      case '\\':
      case '`':
      case '*':
      case '_':
      case '{':
      case '}':
      case '[':
      case ']':
      case '<':
      case '>':
      case '|':
      case '~':
      case '$':
        markdown += '\\';
        markdown += c;
        break;
      default: markdown += c;
    }
  }
  return markdown;
}

// A name or value as a code span: the fence longer than any run of
// backticks in it, and a pipe escaped, which a table cell needs even there.
std::string code_span(const std::string& text) {
  std::string content;
  std::size_t run = 0, longest = 0;
  for (char c : printable(text)) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
    if (c == '|') content += '\\';
    content += c;
  }
  const std::string fence(longest + 1, '`');
  const bool padded = content.empty() || content.front() == '`' || content.back() == '`' || content.front() == ' ';
  return padded ? fence + " " + content + " " + fence : fence + content + fence;
}

std::string phrase(const Phrase& line) {
  std::string markdown;
  for (const Phrase::Part& part : line.parts) markdown += part.code ? code_span(part.text) : escaped(part.text);
  return markdown;
}

std::string crc_or_dash(const std::optional<std::string>& crc) { return crc ? escaped(*crc) : "–"; }

void write_files(std::ostream& out, const ChangeReport& report) {
  const ReportFile& a = report.old_file;
  const ReportFile& b = report.new_file;
  const auto header = [](const ReportFile& file) {
    if (file.header_id.empty() && file.header_version.empty() && file.header_revision.empty()) return std::string("–");
    return escaped(file.header_id) + " · version " + escaped(file.header_version) + " · revision " +
           escaped(file.header_revision);
  };
  const auto size = [](const ReportFile& file) { return file.size ? std::to_string(*file.size) + " bytes" : "–"; };
  const auto hash = [](const ReportFile& file) { return file.sha256.empty() ? "–" : escaped(file.sha256); };
  out << "## Files\n\n| | Old | New |\n|---|---|---|\n"
      << "| Path | " << escaped(a.path) << " | " << escaped(b.path) << " |\n"
      << "| Header | " << header(a) << " | " << header(b) << " |\n"
      << "| Size | " << size(a) << " | " << size(b) << " |\n"
      << "| SHA-256 | " << hash(a) << " | " << hash(b) << " |\n"
      << "| SCD CRC | " << escaped(a.scd_crc) << " | " << escaped(b.scd_crc) << " ("
      << (a.scd_crc == b.scd_crc ? "unchanged" : "changed") << ") |\n\n";
}

void write_summary(std::ostream& out, const ChangeReport& report) {
  out << "## Summary\n\n|";
  for (const auto& [status, count] : report.counts) out << ' ' << crc_status_name(status) << " |";
  out << "\n|";
  for (std::size_t i = 0; i < report.counts.size(); ++i) out << "---|";
  out << "\n|";
  for (const auto& [status, count] : report.counts) out << ' ' << count << " |";
  out << "\n\n";
}

void write_retest(std::ostream& out, const ChangeReport& report) {
  out << "## Retest\n\n";
  if (report.retest.empty()) out << "No IED's CRC changed: no device needs to be loaded or tested again.\n\n";
  std::string bay;
  bool open = false;
  for (const ReportedIed& ied : report.retest) {
    const std::string label = ied.bay.empty() ? no_bay_label : ied.bay;
    if (!open || label != bay) {
      if (open) out << '\n';
      bay = label;
      open = true;
      out << "### " << escaped(label) << "\n\n| IED | Old CRC | New CRC | Status | Why |\n|---|---|---|---|---|\n";
    }
    const IedCrcChange& change = *ied.change;
    out << "| " << escaped(change.name) << " | " << crc_or_dash(change.old_ied ? change.old_ied->crc : std::nullopt)
        << " | " << crc_or_dash(change.new_ied ? change.new_ied->crc : std::nullopt) << " | "
        << crc_status_name(change.status) << " | " << phrase(ied.reason) << " |\n";
  }
  if (open) out << '\n';
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
    out << "It now publishes and subscribes:\n\n";
    for (const ReferenceChange& reference : ied.circuits) write_reference(out, reference);
  } else {
    out << phrase(ied.reason) << "\n\n";
  }
}

}  // namespace

void write_markdown_report(std::ostream& out, const ChangeReport& report) {
  out << "# SCD change report\n\n" << escaped(report.old_file.path) << " → " << escaped(report.new_file.path) << "\n\n";
  write_files(out, report);
  write_summary(out, report);
  write_retest(out, report);
  out << "## Changes\n\n";
  for (const ReportedIed& ied : report.retest) write_ied_details(out, ied);
  out << "## Unchanged IEDs\n\n<details>\n<summary>" << report.unchanged.size()
      << (report.unchanged.size() == 1 ? " IED keeps its CRC" : " IEDs keep their CRCs") << "</summary>\n\n";
  for (const std::string& name : report.unchanged) out << "- " << escaped(name) << '\n';
  out << "\n</details>\n";
}

}  // namespace ccdcrc
