// The change report as one self-contained HTML file: styles inline, nothing
// fetched from anywhere, a print style for A4. Every name and value from an
// SCD goes through escaped(), so that a name is only ever text.

#include <algorithm>
#include <string>

#include "report/change_report.h"
#include "report/markup.h"
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
.summary { display: grid; grid-template-columns: repeat(var(--cards), minmax(0, 1fr)); gap: .5rem; margin: .4rem 0; }
@media screen and (max-width: 760px) { .summary { grid-template-columns: repeat(3, minmax(0, 1fr)); } }
.count { border: 1px solid var(--line); border-radius: 8px; padding: .45rem .6rem; font-size: .9em; }
.count.alert { border-color: #dc2626; background: #fef2f2; }
.count b { display: block; font-size: 1.45rem; line-height: 1.2; }
.status { display: inline-block; padding: 0 .45rem; border-radius: 4px; font-size: .85em; font-weight: 600; }
.s-unchanged { background: #e4e7eb; } .s-changed { background: #fde68a; } .s-added, .s-gained { background: #bbf7d0; }
.s-removed, .s-lost { background: #fecaca; } .s-appeared { background: #bbf7d0; } .s-disappeared { background: #fecaca; }
.s-broken, .s-missing, .s-unreadable { background: #fecaca; } .s-still-broken { background: #fde68a; }
.s-mended, .s-ok { background: #bbf7d0; } .s-new { background: #fde68a; }
.identity { display: block; color: var(--muted); font-size: .85em; }
section#broken-bindings h2 { border-bottom-color: #dc2626; }
table.signoff td { height: 2.6rem; width: 30%; } table.signoff th { width: 10%; }
#signoff { break-inside: avoid; }
.verdict { font-weight: 600; padding: .4rem .6rem; border-radius: 6px; }
.verdict.passes { background: #dcfce7; } .verdict.fails { background: #fee2e2; }
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
  .summary { gap: .3rem; }
  .count { padding: .3rem .4rem; }
  details > summary { display: none; }
}
)css";

// Opens every folded part before the page is printed; the page reads fully without it.
constexpr const char* print_script =
    R"js(addEventListener("beforeprint", function () { document.querySelectorAll("details").forEach(function (d) { d.open = true; }); });)js";

std::string escaped(const std::string& text) { return html_text(text); }

std::string phrase(const Phrase& line) {
  std::string html;
  for (const Phrase::Part& part : line.parts) {
    html += part.code ? "<code>" + escaped(part.text) + "</code>" : escaped(part.text);
  }
  return html;
}

std::string crc_or_dash(const std::optional<std::string>& crc) { return crc ? escaped(*crc) : "&ndash;"; }

// A status as a coloured word; `label` shown instead of the name when given.
std::string status_badge(const std::string& name, const std::string& label = {}) {
  std::string css = name;
  std::replace(css.begin(), css.end(), ' ', '-');
  return "<span class=\"status s-" + css + "\">" + (label.empty() ? name : label) + "</span>";
}

// A Header field, or a dash when the file has none.
std::string field(const std::optional<std::string>& value) { return value ? escaped(*value) : "&mdash;"; }

void write_files(std::ostream& out, const ChangeReport& report) {
  const ReportFile& a = report.old_file;
  const ReportFile& b = report.new_file;
  const auto row = [&out](const char* label, const std::string& old_value, const std::string& new_value) {
    out << "<tr><th>" << label << "</th><td class=\"mono\">" << old_value << "</td><td class=\"mono\">" << new_value
        << "</td></tr>\n";
  };
  const auto size = [](const ReportFile& file) {
    return file.size ? std::to_string(*file.size) + " bytes" : std::string("&ndash;");
  };
  out << "<section id=\"files\">\n<h2>Files</h2>\n<table class=\"facts\">\n"
      << "<tr><th></th><th>Old</th><th>New</th></tr>\n";
  row("Path", escaped(a.path), escaped(b.path));
  row("Header id", field(a.header_id), field(b.header_id));
  row("Header version", field(a.header_version), field(b.header_version));
  row("Header revision", field(a.header_revision), field(b.header_revision));
  row("Size", size(a), size(b));
  row("SHA-256", a.sha256.empty() ? "&ndash;" : escaped(a.sha256), b.sha256.empty() ? "&ndash;" : escaped(b.sha256));
  row("SCD CRC", escaped(a.scd_crc),
      escaped(b.scd_crc) + " " +
          status_badge(crc_status_name(a.scd_crc == b.scd_crc ? CrcStatus::unchanged : CrcStatus::changed)));
  out << "</table>\n</section>\n";
}

void write_summary(std::ostream& out, const ChangeReport& report) {
  const std::size_t broken = broken_count(report);
  // Every card stands in one row (three rows of three on a narrow screen): none is left alone on a row.
  out << "<section id=\"summary\">\n<h2>Summary</h2>\n<div class=\"summary\" style=\"--cards: "
      << report.counts.size() + 3 << "\">\n";
  for (const auto& [status, count] : report.counts) {
    out << "<div class=\"count\"><b>" << count << "</b>" << status_badge(crc_status_name(status)) << "</div>\n";
  }
  out << "<div class=\"count\"><b>" << report.without_circuits.size() << "</b>without circuits</div>\n"
      << "<div class=\"count" << (broken > 0 ? " alert" : "") << "\"><b>" << broken
      << "</b>broken bindings</div>\n<div class=\"count\"><b>" << report.uncovered.size()
      << "</b>changed outside CRCs</div>\n</div>\n</section>\n";
}

// A table whose header row repeats on every printed page it runs over.
std::string table_start(const std::string& columns, const char* css_class = nullptr) {
  return std::string("<table") + (css_class ? std::string(" class=\"") + css_class + "\"" : "") + ">\n<thead><tr>" +
         columns + "</tr></thead>\n<tbody>\n";
}
constexpr const char* table_end = "</tbody>\n</table>\n";

// Opens a table under the heading of a bay when the bay differs from the last one.
void open_bay(std::ostream& out, const std::string& bay, std::optional<std::string>& current,
              const std::string& columns) {
  const std::string label = bay.empty() ? no_bay_label : bay;
  if (current == label) return;
  if (current) out << table_end;
  current = label;
  out << "<h3>" << escaped(label) << "</h3>\n" << table_start(columns);
}

void write_bindings(std::ostream& out, const ChangeReport& report) {
  out << "<section id=\"broken-bindings\">\n<h2>Broken bindings</h2>\n";
  out << "<p>" << bindings_sentence(report) << "</p>\n";
  std::optional<std::string> bay;
  for (const ReportedBinding& item : report.bindings) {
    open_bay(out, item.bay, bay,
             "<th>Subscriber</th><th>Input</th><th>Receives</th><th>Status</th><th>Why it resolves to nothing</th>");
    const BrokenBinding& binding = item.binding;
    out << "<tr><td>" << escaped(binding.ied) << "</td><td class=\"mono\">" << escaped(binding.int_addr)
        << "</td><td class=\"mono\">" << escaped(binding.source) << "</td><td>"
        << status_badge(binding_kind_name(item.kind)) << "</td><td>" << escaped(binding.reason) << "</td></tr>\n";
  }
  if (bay) out << table_end;
  out << "</section>\n";
}

std::string identity(const IedIdentity& ied) {
  std::string text = escaped(ied.desc);
  std::string device = ied.manufacturer.empty() ? ied.type : ied.manufacturer + " " + ied.type;
  if (!device.empty()) text += (text.empty() ? "" : "<br>") + escaped(device);
  if (!ied.config_version.empty() || !ied.old_config_version.empty()) {
    text += (text.empty() ? "" : "<br>") + std::string("configVersion ");
    if (!ied.old_config_version.empty()) text += escaped(ied.old_config_version) + " &rarr; ";
    text += ied.config_version.empty() ? "&mdash;" : escaped(ied.config_version);
  }
  return text.empty() ? "&mdash;" : text;
}

// The check's status of an IED beside the status of its change: "approved"
// for one that matches its approved CRC.
std::string check_badge(const std::optional<Approval>& approval) {
  if (!approval) return "";
  std::string badge = " ";
  const std::string status = check_status_name(approval->status);
  badge +=
      approval->status == CheckStatus::ok ? status_badge(status, "approved") : status_badge(status, "check: " + status);
  return badge;
}

void write_retest(std::ostream& out, const ChangeReport& report) {
  out << "<section id=\"retest\">\n<h2>Retest</h2>\n";
  if (report.retest.empty()) out << "<p>" << nothing_to_retest << "</p>\n";
  const std::string columns = std::string("<th>IED</th><th>Device</th><th>Old CRC</th><th>New CRC</th>") +
                              (report.approved_path ? "<th>Approved CRC</th>" : "") + "<th>Status</th><th>Why</th>";
  std::optional<std::string> bay;
  for (std::size_t i = 0; i < report.retest.size(); ++i) {
    const ReportedIed& ied = report.retest[i];
    open_bay(out, ied.bay, bay, columns.c_str());
    const IedCrcChange& change = *ied.change;
    out << "<tr><td><a href=\"#ied-" << i << "\">" << escaped(change.name) << "</a></td><td><span class=\"identity\">"
        << identity(ied.identity) << "</span></td><td class=\"mono\">"
        << crc_or_dash(change.old_ied ? change.old_ied->crc : std::nullopt) << "</td><td class=\"mono\">"
        << crc_or_dash(change.new_ied ? change.new_ied->crc : std::nullopt) << "</td>";
    if (report.approved_path) {
      out << "<td class=\"mono\">" << crc_or_dash(ied.approval ? ied.approval->approved_crc : std::nullopt) << "</td>";
    }
    out << "<td>" << status_badge(crc_status_name(change.status)) << check_badge(ied.approval) << "</td><td>"
        << phrase(ied.reason) << "</td></tr>\n";
  }
  if (bay) out << table_end;
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
  out << table_start("<th>Where</th><th>What</th><th>Old</th><th>New</th>");
  for (const CcdChange& change : changes) {
    const ChangeRow row = change_row(change, element);
    out << "<tr><td class=\"mono\">" << escaped(row.where) << "</td><td>" << escaped(row.what) << "</td>";
    write_values(out, row.old_value, row.new_value);
    out << "</tr>\n";
  }
  out << table_end;
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
    out << "<p>" << circuits_heading << "</p>\n";
    for (const ReferenceChange& reference : ied.circuits) write_reference(out, reference);
  } else {
    out << "<p class=\"muted\">" << phrase(ied.reason) << "</p>\n";
  }
  out << "</article>\n";
}

void write_uncovered(std::ostream& out, const ChangeReport& report) {
  out << "<section id=\"uncovered\">\n<h2>Changed outside the CRCs</h2>\n<p>" << uncovered_sentence(report) << "</p>\n";
  if (report.list_uncovered && !report.uncovered.empty()) {
    out << table_start("<th>IED</th><th>Elements changed</th><th>First change</th>");
    for (const UncoveredChange& change : report.uncovered) {
      out << "<tr><td>" << escaped(change.name) << "</td><td>" << change.difference.elements
          << "</td><td class=\"mono\">" << escaped(change.difference.first) << "</td></tr>\n";
    }
    out << table_end;
  }
  out << "</section>\n";
}

void write_unchanged(std::ostream& out, const ChangeReport& report) {
  out << "<section id=\"unchanged\">\n<h2>Unchanged IEDs</h2>\n<details>\n<summary>" << unchanged_sentence(report)
      << "</summary>\n"
      << "<ul class=\"names\">\n";
  for (const UnchangedIed& ied : report.unchanged) {
    out << "<li>" << escaped(ied.name);
    if (ied.approval && ied.approval->status != CheckStatus::ok) {
      out << " " << status_badge(check_status_name(ied.approval->status));
    }
    out << "</li>\n";
  }
  out << "</ul>\n</details>\n</section>\n";
  out << "<section id=\"without-circuits\">\n<h2>IEDs without circuits</h2>\n<p>" << without_circuits_sentence(report)
      << "</p>\n";
  if (!report.without_circuits.empty()) {
    out << "<ul class=\"names\">\n";
    for (const std::string& name : report.without_circuits) out << "<li>" << escaped(name) << "</li>\n";
    out << "</ul>\n";
  }
  out << "</section>\n";
}

// What is signed, restated where the signatures stand: a sign-off page
// printed alone still names both SCDs, the list and the moment.
void write_signoff(std::ostream& out, const ChangeReport& report) {
  const auto file = [&out](const char* label, const ReportFile& scd) {
    out << "<tr><th>" << label << "</th><td class=\"mono\">" << escaped(scd.path) << "<br>SCD CRC "
        << escaped(scd.scd_crc) << "<br>SHA-256 " << (scd.sha256.empty() ? "&ndash;" : escaped(scd.sha256))
        << "</td></tr>\n";
  };
  out << "<section id=\"signoff\">\n<h2>Sign-off</h2>\n<table class=\"facts signed\">\n";
  file("Old SCD", report.old_file);
  file("New SCD", report.new_file);
  if (report.approval) {
    out << "<tr><th>Approved CRCs</th><td class=\"mono\">" << escaped(report.approval->path) << "<br>SHA-256 "
        << (report.approval->sha256.empty() ? "&ndash;" : escaped(report.approval->sha256)) << "</td></tr>\n"
        << "<tr><th>Check</th><td>" << phrase(verdict_phrase(*report.approval, report.new_file.path)) << "</td></tr>\n";
  }
  out << "<tr><th>Report made</th><td>" << escaped(report.date) << " by ccdcrc " << escaped(report.tool_version)
      << "</td></tr>\n</table>\n<table class=\"signoff\">\n"
      << "<tr><th></th><th>Name</th><th>Date</th><th>Signature</th></tr>\n";
  for (const char* role : {"Prepared", "Checked", "Approved"}) {
    out << "<tr><th>" << role << "</th><td></td><td></td><td></td></tr>\n";
  }
  out << "</table>\n</section>\n";
}

// Everything the check against the list fails on, and its verdict.
void write_approval(std::ostream& out, const ApprovalRecord& approval, const ChangeReport& report) {
  const bool passes = approval.verdict == CheckVerdict::passes;
  out << "<section id=\"approval\">\n<h2>Approval check</h2>\n<p class=\"verdict " << (passes ? "passes" : "fails")
      << "\">" << phrase(verdict_phrase(approval, report.new_file.path)) << "</p>\n";
  if (!approval.failures.empty()) {
    out << "<ul>\n";
    for (const std::string& failure : approval.failures) out << "<li>" << escaped(failure) << "</li>\n";
    out << "</ul>\n";
  }
  if (approval.scd) {
    out << "<p>SCD CRC: approved " << crc_or_dash(approval.scd->approved_crc) << ", new " << escaped(approval.scd->crc)
        << " " << status_badge(approval.scd->status()) << "</p>\n";
  }
  if (!approval.failing.empty()) {
    out << table_start("<th>IED</th><th>Approved CRC</th><th>New CRC</th><th>Check</th>");
    for (const CheckedIed& ied : approval.failing) {
      out << "<tr><td>" << escaped(ied.name) << "</td><td class=\"mono\">" << crc_or_dash(ied.approved_crc)
          << "</td><td class=\"mono\">" << crc_or_dash(ied.crc) << "</td><td>"
          << status_badge(check_status_name(ied.status));
      if (!ied.unreadable.empty()) out << ' ' << escaped(ied.unreadable);
      out << "</td></tr>\n";
    }
    out << table_end;
  }
  if (!approval.notes.empty()) {
    out << "<p>" << notes_heading << "</p>\n" << table_start("<th>Line</th><th>Why</th>");
    for (const BaselineNote& note : approval.notes) {
      out << "<tr><td>" << note.line << "</td><td>" << escaped(note.reason) << "</td></tr>\n";
    }
    out << table_end;
  }
  out << "</section>\n";
}

// CSS text as a quoted string: the characters that would end it, or the
// style element, escaped.
std::string css_string(const std::string& text) {
  std::string css = "\"";
  for (char c : printable(text)) {
    if (c == '"' || c == '\\' || c == '<' || c == '>' || c == '&') {
      static constexpr char hex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      css += '\\';
      css += hex[byte >> 4];
      css += hex[byte & 0xF];
      css += ' ';
    } else {
      css += c;
    }
  }
  return css + "\"";
}

// Every printed page tells what it belongs to, and where it stands.
std::string page_style(const ChangeReport& report) {
  const auto name = [](const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); };
  const std::string identity = "SCD change report: " + name(report.old_file.path) + " (" + report.old_file.scd_crc +
                               ") → " + name(report.new_file.path) + " (" + report.new_file.scd_crc + "), " +
                               report.date;
  return "@page { @bottom-left { content: " + css_string(identity) +
         "; font: 7.5pt sans-serif; color: #52606d; } @bottom-right { content: \"page \" counter(page) \" of \" "
         "counter(pages); font: 7.5pt sans-serif; color: #52606d; } }";
}

void write_record(std::ostream& out, const ChangeReport& report) {
  out << "<table class=\"facts\">\n<tr><th>Date</th><td>" << escaped(report.date) << "</td></tr>\n"
      << "<tr><th>Made by</th><td>ccdcrc " << escaped(report.tool_version) << "</td></tr>\n";
  if (report.approved_path) {
    out << "<tr><th>Approved CRCs</th><td class=\"mono\">" << escaped(*report.approved_path) << "</td></tr>\n";
  }
  out << "</table>\n";
}

}  // namespace

void write_html_report(std::ostream& out, const ChangeReport& report) {
  const std::string title =
      "SCD change report: " + escaped(report.old_file.path) + " &rarr; " + escaped(report.new_file.path);
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" << title << "</title>\n"
      << "<style>" << style << page_style(report) << "</style>\n</head>\n<body>\n"
      << "<header>\n<h1>SCD change report</h1>\n<p class=\"subtitle\">" << escaped(report.old_file.path) << " &rarr; "
      << escaped(report.new_file.path) << "</p>\n";
  write_record(out, report);
  out << "</header>\n";
  write_files(out, report);
  write_summary(out, report);
  if (report.approval) write_approval(out, *report.approval, report);
  write_bindings(out, report);
  write_retest(out, report);
  out << "<section id=\"changes\">\n<h2>Changes</h2>\n";
  for (std::size_t i = 0; i < report.retest.size(); ++i) write_ied_details(out, report.retest[i], i);
  out << "</section>\n";
  write_uncovered(out, report);
  write_unchanged(out, report);
  if (report.signoff) write_signoff(out, report);
  out << "<footer>Made by ccdcrc " << escaped(report.tool_version)
      << ". A CRC covers what an IED publishes and subscribes; descriptions are not measured.</footer>\n"
      << "<script>" << print_script << "</script>\n</body>\n</html>\n";
}

}  // namespace ccdcrc
