// The change report as one self-contained HTML file: styles inline, nothing
// fetched from anywhere, a print style for A4. Every name and value from an
// SCD goes through escaped(), so that a name is only ever text.

#include <string>

#include "ccdcrc/version.h"
#include "report/change_report.h"
#include "report/output.h"

namespace ccdcrc {

namespace {

constexpr const char* style = R"css(
:root { --ink: #1f2933; --muted: #52606d; --line: #d9e2ec; --head: #f0f4f8; --accent: #0b4f8a; }
* { box-sizing: border-box; }
body { font: 14px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "Noto Sans", "Noto Sans CJK SC", sans-serif;
       color: var(--ink); max-width: 1120px; margin: 2rem auto; padding: 0 1.5rem; }
h1 { font-size: 1.65rem; margin: 0 0 .2rem; color: var(--accent); }
h2 { font-size: 1.2rem; margin: 2rem 0 .6rem; padding-bottom: .25rem; border-bottom: 2px solid var(--accent); }
h3 { font-size: 1.05rem; margin: 1.4rem 0 .4rem; }
h4 { font-size: .95rem; margin: 1rem 0 .3rem; font-weight: 600; }
.subtitle, .muted, footer { color: var(--muted); }
table { border-collapse: collapse; width: 100%; margin: .3rem 0 1rem; }
th, td { border-bottom: 1px solid var(--line); padding: .32rem .55rem; text-align: left; vertical-align: top; }
th { background: var(--head); font-weight: 600; white-space: nowrap; }
table.facts th { width: 9rem; }
code, .mono { font-family: ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, monospace; font-size: .9em; }
.mono, td.value { overflow-wrap: anywhere; }
.summary { display: flex; flex-wrap: wrap; gap: .6rem; margin: .4rem 0; }
.count { border: 1px solid var(--line); border-radius: 8px; padding: .45rem .9rem; min-width: 7rem; }
.count b { display: block; font-size: 1.45rem; line-height: 1.2; }
.status { display: inline-block; padding: 0 .45rem; border-radius: 4px; font-size: .85em; font-weight: 600; }
.s-unchanged { background: #e4e7eb; } .s-changed { background: #fde68a; } .s-added, .s-gained { background: #bbf7d0; }
.s-removed, .s-lost { background: #fecaca; } .s-appeared { background: #bbf7d0; } .s-disappeared { background: #fecaca; }
del { background: #fecaca; text-decoration: line-through; } ins { background: #bbf7d0; text-decoration: none; }
td.value del, td.value ins { padding: 0 1px; border-radius: 2px; }
article { border-left: 3px solid var(--line); padding-left: 1rem; margin: 1rem 0 1.6rem; }
details > summary { cursor: pointer; color: var(--accent); }
ul.names { columns: 4 11rem; padding-left: 1.2rem; }
footer { margin-top: 2.5rem; font-size: .85em; }
@page { size: A4; margin: 14mm 12mm; }
@media print {
  body { max-width: none; margin: 0; padding: 0; font-size: 9.5pt; }
  h2, h3, h4 { break-after: avoid; }
  tr, .count { break-inside: avoid; }
  details > summary { display: none; }
}
)css";

// Opens every folded part before the page is printed; the page reads fully without it.
constexpr const char* print_script =
    R"js(addEventListener("beforeprint", function () { document.querySelectorAll("details").forEach(function (d) { d.open = true; }); });)js";

// Text from an SCD as HTML text: control characters shown, markup escaped.
std::string escaped(const std::string& text) {
  std::string html;
  for (char c : printable(text)) {
    switch (c) {
      case '&': html += "&amp;"; break;
      case '<': html += "&lt;"; break;
      case '>': html += "&gt;"; break;
      case '"': html += "&quot;"; break;
      case '\'': html += "&#39;"; break;
      default: html += c;
    }
  }
  return html;
}

std::string phrase(const Phrase& line) {
  std::string html;
  for (const Phrase::Part& part : line.parts) {
    html += part.code ? "<code>" + escaped(part.text) + "</code>" : escaped(part.text);
  }
  return html;
}

std::string crc_or_dash(const std::optional<std::string>& crc) { return crc ? escaped(*crc) : "&ndash;"; }

std::string status_badge(const char* name) {
  return std::string("<span class=\"status s-") + name + "\">" + name + "</span>";
}

void write_files(std::ostream& out, const ChangeReport& report) {
  const ReportFile& a = report.old_file;
  const ReportFile& b = report.new_file;
  const auto row = [&out](const char* label, const std::string& old_value, const std::string& new_value) {
    out << "<tr><th>" << label << "</th><td class=\"mono\">" << old_value << "</td><td class=\"mono\">" << new_value
        << "</td></tr>\n";
  };
  const auto header = [](const ReportFile& file) {
    if (file.header_id.empty() && file.header_version.empty() && file.header_revision.empty())
      return std::string("&ndash;");
    return escaped(file.header_id) + " &middot; version " + escaped(file.header_version) + " &middot; revision " +
           escaped(file.header_revision);
  };
  const auto size = [](const ReportFile& file) {
    return file.size ? std::to_string(*file.size) + " bytes" : std::string("&ndash;");
  };
  out << "<section id=\"files\">\n<h2>Files</h2>\n<table class=\"facts\">\n"
      << "<tr><th></th><th>Old</th><th>New</th></tr>\n";
  row("Path", escaped(a.path), escaped(b.path));
  row("Header", header(a), header(b));
  row("Size", size(a), size(b));
  row("SHA-256", a.sha256.empty() ? "&ndash;" : escaped(a.sha256), b.sha256.empty() ? "&ndash;" : escaped(b.sha256));
  row("SCD CRC", escaped(a.scd_crc),
      escaped(b.scd_crc) + " " + status_badge(a.scd_crc == b.scd_crc ? "unchanged" : "changed"));
  out << "</table>\n</section>\n";
}

void write_summary(std::ostream& out, const ChangeReport& report) {
  out << "<section id=\"summary\">\n<h2>Summary</h2>\n<div class=\"summary\">\n";
  for (const auto& [status, count] : report.counts) {
    out << "<div class=\"count\"><b>" << count << "</b>" << status_badge(crc_status_name(status)) << "</div>\n";
  }
  out << "</div>\n</section>\n";
}

void write_retest(std::ostream& out, const ChangeReport& report) {
  out << "<section id=\"retest\">\n<h2>Retest</h2>\n";
  if (report.retest.empty()) out << "<p>No IED's CRC changed: no device needs to be loaded or tested again.</p>\n";
  std::string bay;
  bool open = false;
  for (std::size_t i = 0; i < report.retest.size(); ++i) {
    const ReportedIed& ied = report.retest[i];
    const std::string label = ied.bay.empty() ? no_bay_label : ied.bay;
    if (!open || label != bay) {
      if (open) out << "</table>\n";
      bay = label;
      open = true;
      out << "<h3>" << escaped(label) << "</h3>\n<table>\n"
          << "<tr><th>IED</th><th>Old CRC</th><th>New CRC</th><th>Status</th><th>Why</th></tr>\n";
    }
    const IedCrcChange& change = *ied.change;
    out << "<tr><td><a href=\"#ied-" << i << "\">" << escaped(change.name) << "</a></td><td class=\"mono\">"
        << crc_or_dash(change.old_ied ? change.old_ied->crc : std::nullopt) << "</td><td class=\"mono\">"
        << crc_or_dash(change.new_ied ? change.new_ied->crc : std::nullopt) << "</td><td>"
        << status_badge(crc_status_name(change.status)) << "</td><td>" << phrase(ied.reason) << "</td></tr>\n";
  }
  if (open) out << "</table>\n";
  out << "</section>\n";
}

// An old and a new value side by side, the part that differs marked.
void write_values(std::ostream& out, const std::optional<std::string>& old_value,
                  const std::optional<std::string>& new_value) {
  if (old_value && new_value) {
    const ValueDifference part = difference_of(*old_value, *new_value);
    out << "<td class=\"value mono\">" << escaped(part.prefix) << "<del>" << escaped(part.old_middle) << "</del>"
        << escaped(part.suffix) << "</td><td class=\"value mono\">" << escaped(part.prefix) << "<ins>"
        << escaped(part.new_middle) << "</ins>" << escaped(part.suffix) << "</td>";
    return;
  }
  out << "<td class=\"value mono\">" << (old_value ? "<del>" + escaped(*old_value) + "</del>" : "&ndash;")
      << "</td><td class=\"value mono\">" << (new_value ? "<ins>" + escaped(*new_value) + "</ins>" : "&ndash;")
      << "</td>";
}

void write_change_rows(std::ostream& out, const std::vector<CcdChange>& changes, const std::string& element) {
  out << "<table>\n<tr><th>Where</th><th>What</th><th>Old</th><th>New</th></tr>\n";
  for (const CcdChange& change : changes) {
    const ChangeRow row = change_row(change, element);
    out << "<tr><td class=\"mono\">" << escaped(row.where) << "</td><td>" << escaped(row.what) << "</td>";
    write_values(out, row.old_value, row.new_value);
    out << "</tr>\n";
  }
  out << "</table>\n";
}

void write_reference(std::ostream& out, const ReferenceChange& reference) {
  out << "<h4>" << escaped(reference.section) << " " << escaped(reference.element) << " <code>"
      << escaped(reference.name) << "</code> " << status_badge(reference_change_name(reference.kind)) << "</h4>\n";
  if (!reference.changes.empty()) write_change_rows(out, reference.changes, reference.element);
}

void write_ied_details(std::ostream& out, const ReportedIed& ied, std::size_t index) {
  const IedCrcChange& change = *ied.change;
  out << "<article id=\"ied-" << index << "\">\n<h3>" << escaped(change.name) << " <span class=\"mono\">"
      << crc_or_dash(change.old_ied ? change.old_ied->crc : std::nullopt) << " &rarr; "
      << crc_or_dash(change.new_ied ? change.new_ied->crc : std::nullopt) << "</span> "
      << status_badge(crc_status_name(change.status)) << "</h3>\n";
  if (ied.explanation) {
    for (const ReferenceChange& reference : ied.explanation->references) write_reference(out, reference);
    if (!ied.explanation->other.empty()) write_change_rows(out, ied.explanation->other, "IED");
  } else if (!ied.circuits.empty()) {
    out << "<p>It now publishes and subscribes:</p>\n";
    for (const ReferenceChange& reference : ied.circuits) write_reference(out, reference);
  } else {
    out << "<p class=\"muted\">" << phrase(ied.reason) << "</p>\n";
  }
  out << "</article>\n";
}

void write_unchanged(std::ostream& out, const ChangeReport& report) {
  out << "<section id=\"unchanged\">\n<h2>Unchanged IEDs</h2>\n<details>\n<summary>" << report.unchanged.size()
      << (report.unchanged.size() == 1 ? " IED keeps its CRC" : " IEDs keep their CRCs") << "</summary>\n"
      << "<ul class=\"names\">\n";
  for (const std::string& name : report.unchanged) out << "<li>" << escaped(name) << "</li>\n";
  out << "</ul>\n</details>\n</section>\n";
}

}  // namespace

void write_html_report(std::ostream& out, const ChangeReport& report) {
  const std::string title =
      "SCD change report: " + escaped(report.old_file.path) + " &rarr; " + escaped(report.new_file.path);
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" << title << "</title>\n"
      << "<style>" << style << "</style>\n</head>\n<body>\n"
      << "<header>\n<h1>SCD change report</h1>\n<p class=\"subtitle\">" << escaped(report.old_file.path) << " &rarr; "
      << escaped(report.new_file.path) << "</p>\n</header>\n";
  write_files(out, report);
  write_summary(out, report);
  write_retest(out, report);
  out << "<section id=\"changes\">\n<h2>Changes</h2>\n";
  for (std::size_t i = 0; i < report.retest.size(); ++i) write_ied_details(out, report.retest[i], i);
  out << "</section>\n";
  write_unchanged(out, report);
  out << "<footer>Made by ccdcrc " << CCDCRC_VERSION
      << ". A CRC covers what an IED publishes and subscribes; descriptions are not measured.</footer>\n"
      << "<script>" << print_script << "</script>\n</body>\n</html>\n";
}

}  // namespace ccdcrc
