#include "report/history_report.h"

#include <algorithm>
#include <map>
#include <vector>

#include "report/binding_report.h"
#include "report/markup.h"
#include "report/scd_revision.h"

namespace ccdcrc {

namespace {

std::string crc_text(const std::optional<std::string>& crc) { return crc.value_or("-"); }

// A CRC in an aligned column: "-" when there is none.
std::string crc_cell(const std::optional<std::string>& crc) {
  std::string text = crc_text(crc);
  text.resize(std::max<std::size_t>(text.size(), 8), ' ');
  return text;
}

std::string problem_text(const RevisionProblem& problem) { return problem.where + ": " + problem.reason; }

ScdRevision revision_of(const ScdHeader& header) { return {header.version, header.revision}; }

// "CTRL/GGIO1.Ind1.stVal <- P1LD0/PTRC1.Tr.general: reason"
std::string binding_text(const BrokenBinding& binding) {
  return printable(binding.int_addr) + " <- " + printable(binding.source) + ": " + printable(binding.reason);
}

// Each revision's number right-aligned in `width` columns, its lines below
// indented past it.
void write_text_revision(std::ostream& out, const HistoryRevision& revision, std::size_t width) {
  const std::string number = std::to_string(revision.number);
  const std::string indent(width + 2, ' ');
  out << std::string(width - std::min(width, number.size()), ' ') << number << "  "
      << printable(revision_title(revision.label)) << '\n';
  if (revision.problem) {
    out << indent << "unreadable: " << printable(problem_text(*revision.problem)) << '\n';
    return;
  }
  const RevisionListing& listing = *revision.listing;
  out << indent << revision_text(revision_of(listing.header)) << "; SCD CRC " << listing.scd_crc;
  if (revision.old_scd_crc && *revision.old_scd_crc != listing.scd_crc) out << " (was " << *revision.old_scd_crc << ")";
  out << "; " << changes_summary(revision) << '\n';
  // The first revision's changes are all its IEDs: the timeline shows them.
  const std::vector<HistoryChange> none;
  const std::vector<HistoryChange>& changes = revision.first ? none : revision.changes;
  std::vector<std::string> names;
  names.reserve(changes.size());
  for (const HistoryChange& change : changes) names.push_back(change.name);
  for (const auto* list : {&revision.bindings.broken, &revision.bindings.mended}) {
    for (const BrokenBinding& binding : *list) names.push_back(binding.ied);
  }
  const NameColumn column(names);
  for (const HistoryChange& change : changes) {
    std::string status = crc_status_name(change.status);
    status.resize(8, ' ');
    out << indent << status;
    column.write(out, change.name);
    out << crc_cell(change.old_crc) << " -> " << crc_text(change.new_crc) << '\n';
  }
  for (const auto& [word, list] :
       {std::pair{"broken  ", &revision.bindings.broken}, std::pair{"mended  ", &revision.bindings.mended}}) {
    for (const BrokenBinding& binding : *list) {
      out << indent << word;
      column.write(out, binding.ied);
      out << binding_text(binding) << '\n';
    }
  }
}

// "2 changed, 5 added, 4 removed": each kind of change of a timeline.
std::string events_text(const IedTimeline& ied) {
  std::string text;
  for (const IedTimeline::Event& event : ied.events) {
    if (!text.empty()) text += ", ";
    text += std::to_string(event.revision) + " " + crc_status_name(event.change.status);
  }
  return text;
}

void write_text(std::ostream& out, const History& history) {
  const std::size_t width = std::to_string(history.revisions.empty() ? 0 : history.revisions.back().number).size();
  for (const HistoryRevision& revision : history.revisions) write_text_revision(out, revision, width);
  if (history.ieds.empty()) return;
  std::vector<std::string> names{"IED"};
  for (const IedTimeline& ied : history.ieds) names.push_back(ied.name);
  const NameColumn column(names);
  out << '\n';
  column.write(out, "IED");
  out << "revisions in which its CRC changed\n";
  for (const IedTimeline& ied : history.ieds) {
    column.write(out, ied.name);
    out << events_text(ied) << '\n';
  }
}

void write_json_change(JsonStream& json, const HistoryChange& change) {
  json.member("name", change.name);
  json.member("old_crc", json_text(change.old_crc));
  json.member("new_crc", json_text(change.new_crc));
  json.member("status", crc_status_name(change.status));
}

std::optional<std::string> present(const std::string& text) {
  return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

void write_json_revision(JsonStream& json, const HistoryRevision& revision) {
  const RevisionLabel& label = revision.label;
  json.open_object();
  json.member("number", revision.number);
  json.member("name", label.name);
  json.member("path", label.path);
  json.member("commit", json_text(present(label.commit)));
  json.member("date", json_text(present(label.date)));
  json.member("author", json_text(present(label.author)));
  json.member("subject", json_text(present(label.subject)));
  json.member("error",
              json_text(revision.problem ? std::optional<std::string>(problem_text(*revision.problem)) : std::nullopt));
  if (revision.listing) {
    const RevisionListing& listing = *revision.listing;
    json.member("scd_crc", listing.scd_crc);
    json.member("old_scd_crc", json_text(revision.old_scd_crc));
    json.key("header");
    write_header(json, listing.header);
    json.member("crcs", revision.crcs());
    json.member("first", revision.first);
    json.key("changes");
    json.open_array();
    for (const HistoryChange& change : revision.changes) {
      json.open_object();
      write_json_change(json, change);
      json.close();
    }
    json.close();
    write_bindings(json, revision.bindings);
  }
  json.close();
}

void write_json(std::ostream& out, const History& history) {
  JsonStream json(out);
  json.open_object();
  json.key("revisions");
  json.open_array();
  for (const HistoryRevision& revision : history.revisions) write_json_revision(json, revision);
  json.close();
  json.key("ieds");
  json.open_array();
  for (const IedTimeline& ied : history.ieds) {
    json.open_object();
    json.member("name", ied.name);
    json.member("bay", json_text(ied.bay ? std::optional<std::string>(ied.bay->bay) : std::nullopt));
    json.member("voltage_level",
                json_text(ied.bay ? std::optional<std::string>(ied.bay->voltage_level) : std::nullopt));
    json.key("changes");
    json.open_array();
    for (const IedTimeline::Event& event : ied.events) {
      json.open_object();
      json.member("revision", event.revision);
      json.member("old_crc", json_text(event.change.old_crc));
      json.member("new_crc", json_text(event.change.new_crc));
      json.member("status", crc_status_name(event.change.status));
      json.close();
    }
    json.close();
    json.close();
  }
  json.close();
  json.close();
}

std::string csv_value(const std::optional<std::string>& text) { return text ? csv_field(*text) : ""; }

void write_csv(std::ostream& out, const History& history) {
  out << "revision,name,commit,date,type,ied,old_crc,new_crc,status,detail\n";
  for (const HistoryRevision& revision : history.revisions) {
    const std::string head = std::to_string(revision.number) + "," + csv_field(revision.label.name) + "," +
                             csv_field(revision.label.commit) + "," + csv_field(revision.label.date) + ",";
    if (revision.problem) {
      out << head << "unreadable,,,,," << csv_field(problem_text(*revision.problem)) << '\n';
      continue;
    }
    const RevisionListing& listing = *revision.listing;
    const bool changed = revision.old_scd_crc && *revision.old_scd_crc != listing.scd_crc;
    out << head << "scd,," << csv_value(revision.old_scd_crc) << ',' << listing.scd_crc << ','
        << (revision.first ? "first" : crc_status_name(changed ? CrcStatus::changed : CrcStatus::unchanged)) << ','
        << csv_field(revision_text(revision_of(listing.header))) << '\n';
    for (const HistoryChange& change : revision.changes) {
      out << head << "ied," << csv_field(change.name) << ',' << csv_value(change.old_crc) << ','
          << csv_value(change.new_crc) << ',' << crc_status_name(change.status) << ",\n";
    }
    for (const auto& [status, list] :
         {std::pair{"broken", &revision.bindings.broken}, std::pair{"mended", &revision.bindings.mended}}) {
      for (const BrokenBinding& binding : *list) {
        out << head << "binding," << csv_field(binding.ied) << ",,," << status << ','
            << csv_field(binding.int_addr + " <- " + binding.source + ": " + binding.reason) << '\n';
      }
    }
  }
}

// A cell's text never ends a row: line ends become blanks.
std::string markdown_cell(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text.empty() ? "—" : text;
}

}  // namespace

std::string revision_title(const RevisionLabel& label) {
  if (label.commit.empty()) return label.name;
  return label.name + " " + label.date + " " + label.author + ": " + label.subject;
}

std::string changes_summary(const HistoryRevision& revision) {
  if (revision.first) {
    const std::size_t crcs = revision.crcs();
    return std::to_string(crcs) + (crcs == 1 ? " IED with a CRC" : " IEDs with CRCs");
  }
  std::map<CrcStatus, std::size_t> counts;
  for (const HistoryChange& change : revision.changes) ++counts[change.status];
  std::string text;
  for (const auto& [status, count] : counts) {
    text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + crc_status_name(status);
  }
  return text.empty() ? "no CRC changed" : text;
}

const char* change_mark(CrcStatus status) {
  switch (status) {
    case CrcStatus::added:
    case CrcStatus::gained: return "+";
    case CrcStatus::removed:
    case CrcStatus::lost: return "-";
    default: return "*";
  }
}

void write_history(std::ostream& out, Format format, const History& history) {
  switch (format) {
    case Format::text: write_text(out, history); break;
    case Format::json: write_json(out, history); break;
    case Format::csv: write_csv(out, history); break;
  }
}

void write_history_markdown(std::ostream& out, const History& history) {
  out << "## Circuit history\n\n"
      << "| # | Revision | Header | SCD CRC | Changes | Bindings |\n|---:|---|---|---|---|---|\n";
  for (const HistoryRevision& revision : history.revisions) {
    out << "| " << revision.number << " | " << markdown_cell(markdown_text(revision_title(revision.label))) << " | ";
    if (revision.problem) {
      out << "— | — | **unreadable**: " << markdown_cell(markdown_text(problem_text(*revision.problem))) << " | — |\n";
      continue;
    }
    const RevisionListing& listing = *revision.listing;
    std::string changes = markdown_text(changes_summary(revision));
    if (!revision.first) {
      for (const HistoryChange& change : revision.changes) {
        changes += (&change == &revision.changes.front() ? ": " : ", ") + markdown_code(change.name) + " " +
                   change_mark(change.status);
      }
    }
    out << markdown_cell(markdown_text(revision_text(revision_of(listing.header)))) << " | `" << listing.scd_crc
        << "` | " << markdown_cell(changes) << " | " << revision.bindings.broken.size() << " broken, "
        << revision.bindings.mended.size() << " mended |\n";
  }
  if (!history.ieds.empty()) {
    out << "\n| IED | Bay | Revisions in which its CRC changed |\n|---|---|---|\n";
    for (const IedTimeline& ied : history.ieds) {
      out << "| " << markdown_code(ied.name) << " | "
          << markdown_cell(ied.bay ? markdown_text(ied.bay->voltage_level + " " + ied.bay->bay) : "") << " | "
          << markdown_text(events_text(ied)) << " |\n";
    }
  }
  out << "\nMarks: + added or gained a CRC, - removed or lost it, * changed.\n";
}

}  // namespace ccdcrc
