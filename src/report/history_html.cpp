// The history as one self-contained HTML page in the change report's style:
// a timeline chart (IEDs down, grouped by bay; revisions across; a mark
// where a CRC changed), then the revisions and their bindings. No script,
// nothing fetched; printable on A4 across. Every name and value from an SCD
// goes through html_text().

#include <map>
#include <string>
#include <vector>

#include "ccdcrc/version.h"
#include "report/change_report.h"
#include "report/history_report.h"
#include "report/markup.h"
#include "report/scd_revision.h"

namespace ccdcrc {

namespace {

constexpr const char* style = R"css(
:root { --ink: #1f2933; --muted: #52606d; --line: #d9e2ec; --head: #f0f4f8; --accent: #0b4f8a; }
* { box-sizing: border-box; }
body { font: 14px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "Noto Sans", "Noto Sans CJK SC", sans-serif;
       color: var(--ink); margin: 2rem auto; padding: 0 1.5rem; max-width: 1400px; }
h1 { font-size: 1.65rem; margin: 0 0 .2rem; color: var(--accent); }
h2 { font-size: 1.2rem; margin: 2rem 0 .6rem; padding-bottom: .25rem; border-bottom: 2px solid var(--accent); }
.subtitle, .muted, footer { color: var(--muted); }
table { border-collapse: collapse; margin: .3rem 0 1rem; }
th, td { border-bottom: 1px solid var(--line); padding: .32rem .55rem; text-align: left; vertical-align: top; }
th { background: var(--head); font-weight: 600; }
code, .mono { font-family: ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, monospace; font-size: .9em; }
.chart { overflow-x: auto; }
table.timeline th, table.timeline td { border: 1px solid var(--line); padding: .15rem .3rem; }
table.timeline thead th.rev { writing-mode: vertical-rl; transform: rotate(180deg); font-weight: 500;
                              white-space: nowrap; max-height: 11rem; overflow: hidden; text-overflow: ellipsis; }
table.timeline td.mark { width: 1.6rem; min-width: 1.6rem; text-align: center; font-weight: 700; }
table.timeline tr.bay th { background: #e4ecf5; color: var(--accent); }
table.timeline th.ied { white-space: nowrap; background: none; font-weight: 500; }
.m-changed { background: #fde68a; } .m-added, .m-gained { background: #bbf7d0; }
.m-removed, .m-lost { background: #fecaca; }
td.unreadable, th.unreadable { background: repeating-linear-gradient(45deg, #fff, #fff 3px, #fecaca 3px, #fecaca 5px); }
table.revisions { width: 100%; }
.status { display: inline-block; padding: 0 .45rem; border-radius: 4px; font-size: .85em; font-weight: 600; }
.s-unreadable, .s-broken { background: #fecaca; } .s-mended { background: #bbf7d0; }
.legend span { display: inline-block; min-width: 1.6rem; text-align: center; font-weight: 700; margin-right: .3rem; }
footer { margin-top: 2.5rem; font-size: .85em; }
@page { size: A4 landscape; margin: 10mm; }
@media print {
  body { max-width: none; margin: 0; padding: 0; font-size: 8pt; }
  .chart { overflow: visible; }
  h2 { break-after: avoid; }
  tr { break-inside: avoid; }
  thead { display: table-header-group; }
  .m-changed, .m-added, .m-gained, .m-removed, .m-lost, td.unreadable, th.unreadable {
    -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)css";

std::string status_name_css(CrcStatus status) { return crc_status_name(status); }

// "VL1 / Bay 1", or the words for an IED in no bay.
std::string bay_heading(const IedTimeline& ied) {
  if (!ied.bay) return no_bay_label;
  std::string text = ied.bay->voltage_level.empty() ? "" : ied.bay->voltage_level + " / ";
  return text + ied.bay->bay;
}

void write_chart(std::ostream& out, const History& history) {
  out << "<section id=\"timeline\">\n<h2>Timeline</h2>\n<p class=\"legend muted\"><span class=\"m-changed\">*</span>"
         "CRC changed <span class=\"m-added\">+</span>added or gained a CRC <span class=\"m-removed\">-</span>removed "
         "or lost its CRC <span class=\"unreadable\">&nbsp;</span>revision unreadable</p>\n";
  if (history.ieds.empty()) {
    out << "<p>No IED's CRC changed in these revisions.</p>\n</section>\n";
    return;
  }
  out << "<div class=\"chart\">\n<table class=\"timeline\">\n<thead><tr><th>IED</th>";
  for (const HistoryRevision& revision : history.revisions) {
    out << "<th class=\"rev" << (revision.problem ? " unreadable" : "") << "\" title=\""
        << html_text(revision_title(revision.label)) << "\">" << revision.number << " "
        << html_text(revision.label.name) << "</th>";
  }
  out << "</tr></thead>\n<tbody>\n";
  // IEDs by bay, in name order within each; those in no bay last.
  std::map<std::pair<bool, std::string>, std::vector<const IedTimeline*>> groups;
  for (const IedTimeline& ied : history.ieds) groups[{!ied.bay, bay_heading(ied)}].push_back(&ied);
  for (const auto& [group, ieds] : groups) {
    out << "<tr class=\"bay\"><th colspan=\"" << history.revisions.size() + 1 << "\">" << html_text(group.second)
        << "</th></tr>\n";
    for (const IedTimeline* ied : ieds) {
      out << "<tr><th class=\"ied\">" << html_text(ied->name) << "</th>";
      auto event = ied->events.begin();
      for (const HistoryRevision& revision : history.revisions) {
        while (event != ied->events.end() && event->revision < revision.number) ++event;
        if (event != ied->events.end() && event->revision == revision.number) {
          const HistoryChange& change = event->change;
          out << "<td class=\"mark m-" << status_name_css(change.status) << "\" title=\"" << revision.number << ": "
              << crc_status_name(change.status) << " " << change.old_crc.value_or("-") << " &rarr; "
              << change.new_crc.value_or("-") << "\">" << change_mark(change.status) << "</td>";
        } else {
          out << "<td class=\"mark" << (revision.problem ? " unreadable" : "") << "\"></td>";
        }
      }
      out << "</tr>\n";
    }
  }
  out << "</tbody>\n</table>\n</div>\n</section>\n";
}

void write_revisions(std::ostream& out, const History& history) {
  out << "<section id=\"revisions\">\n<h2>Revisions</h2>\n<table class=\"revisions\">\n<tr><th>#</th><th>Revision</th>"
         "<th>Header</th><th>SCD CRC</th><th>Changes</th><th>Bindings</th></tr>\n";
  for (const HistoryRevision& revision : history.revisions) {
    out << "<tr id=\"revision-" << revision.number << "\"><td>" << revision.number << "</td><td>"
        << html_text(revision_title(revision.label)) << "</td>";
    if (revision.problem) {
      out << "<td colspan=\"4\"><span class=\"status s-unreadable\">unreadable</span> <span class=\"mono\">"
          << html_text(revision.problem->where) << "</span>: " << html_text(revision.problem->reason) << "</td></tr>\n";
      continue;
    }
    const RevisionListing& listing = *revision.listing;
    out << "<td>" << html_text(revision_text({listing.header.version, listing.header.revision}))
        << "</td><td class=\"mono\">" << html_text(listing.scd_crc) << "</td><td>"
        << html_text(changes_summary(revision)) << "</td><td>";
    const std::size_t broken = revision.bindings.broken.size();
    const std::size_t mended = revision.bindings.mended.size();
    if (broken) out << "<span class=\"status s-broken\">" << broken << " broken</span> ";
    if (mended) out << "<span class=\"status s-mended\">" << mended << " mended</span>";
    out << "</td></tr>\n";
  }
  out << "</table>\n</section>\n";
}

void write_bindings(std::ostream& out, const History& history) {
  out << "<section id=\"bindings\">\n<h2>Bindings broken and mended</h2>\n";
  bool any = false;
  for (const HistoryRevision& revision : history.revisions) {
    for (const auto& [word, list] :
         {std::pair{"broken", &revision.bindings.broken}, std::pair{"mended", &revision.bindings.mended}}) {
      for (const BrokenBinding& binding : *list) {
        if (!any) {
          out << "<table class=\"revisions\">\n<tr><th>#</th><th>Subscriber</th><th>Input</th><th>Receives</th>"
                 "<th>Status</th><th>Why it resolves to nothing</th></tr>\n";
          any = true;
        }
        out << "<tr><td>" << revision.number << "</td><td>" << html_text(binding.ied) << "</td><td class=\"mono\">"
            << html_text(binding.int_addr) << "</td><td class=\"mono\">" << html_text(binding.source)
            << "</td><td><span class=\"status s-" << word << "\">" << word << "</span></td><td>"
            << html_text(binding.reason) << "</td></tr>\n";
      }
    }
  }
  out << (any ? "</table>\n" : "<p>No input came to resolve to nothing, and none was mended.</p>\n") << "</section>\n";
}

}  // namespace

void write_history_html(std::ostream& out, const History& history) {
  const std::string first = history.revisions.empty() ? "" : history.revisions.front().label.path;
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Circuit history: "
      << html_text(first) << "</title>\n<style>" << style << "</style>\n</head>\n<body>\n"
      << "<header>\n<h1>Circuit history</h1>\n<p class=\"subtitle\">" << html_text(first) << ", "
      << history.revisions.size() << (history.revisions.size() == 1 ? " revision" : " revisions") << ", "
      << history.ieds.size() << (history.ieds.size() == 1 ? " IED whose CRC changed" : " IEDs whose CRCs changed")
      << "</p>\n</header>\n";
  write_chart(out, history);
  write_revisions(out, history);
  write_bindings(out, history);
  out << "<footer>Made by ccdcrc " << CCDCRC_VERSION
      << ". A CRC covers what an IED publishes and subscribes; descriptions are not measured.</footer>\n"
      << "</body>\n</html>\n";
}

}  // namespace ccdcrc
