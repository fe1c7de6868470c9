// `ccdcrc check BASELINE SCD`: the IED CRCs of an SCD against a list of
// approved CRCs, like `sha256sum --check`.

#include <map>
#include <memory>
#include <optional>

#include "console/baseline.h"
#include "console/command.h"
#include "console/scd_input.h"
#include "report/scd_revision.h"

namespace ccdcrc {

namespace {

struct CheckOptions {
  std::string baseline;
  std::string scd;
  Format format = Format::text;
  bool quiet = false;           // only the IEDs that do not match, no progress
  bool status_only = false;     // no output: the exit status tells
  bool ignore_missing = false;  // IEDs that the list leaves out are not checked
  bool skip_malformed = false;  // lines that are no entry only warn
  bool strict = false;          // overrides skip_malformed (failing is the default)
  bool warn = false;            // malformed lines are named
  unsigned jobs = 0;            // 0: one per core
  std::string member;
};

enum class CheckStatus { ok, changed, missing, added, unreadable };

struct CheckedIed {
  std::string name;
  CheckStatus status = CheckStatus::ok;
  std::optional<std::string> approved_crc;
  std::optional<std::string> crc;
  bool in_scd = false;     // the SCD has an IED of the name (with or without a CRC)
  std::string unreadable;  // why the approved CRC cannot be read
};

// The SCD CRC against the approved one, when the list has one.
struct CheckedScd {
  std::optional<std::string> approved_crc;  // nullopt: its record cannot be read
  std::string crc;
  std::string unreadable;
  bool ok() const { return approved_crc == crc; }
  const char* status() const { return ok() ? "ok" : approved_crc ? "changed" : "unreadable"; }
};

struct CheckReport {
  std::vector<CheckedIed> ieds;
  std::optional<CheckedScd> scd;
  std::optional<ScdRevision> approved_revision;  // nullopt: the list records none
  ScdRevision revision;
};

const char* check_status_name(CheckStatus status) {
  switch (status) {
    case CheckStatus::ok: return "ok";
    case CheckStatus::changed: return "changed";
    case CheckStatus::missing: return "missing";
    case CheckStatus::added: return "new";
    case CheckStatus::unreadable: return "unreadable";
  }
  return "";
}

std::string scd_detail(const CheckedScd& scd) {
  if (scd.ok()) return "";
  if (!scd.approved_crc) return " (" + scd.unreadable + "; now " + scd.crc + ")";
  return " (approved " + *scd.approved_crc + ", now " + scd.crc + ")";
}

std::string check_detail(const CheckedIed& ied) {
  switch (ied.status) {
    case CheckStatus::ok: return "";
    case CheckStatus::changed: return " (approved " + *ied.approved_crc + ", now " + *ied.crc + ")";
    case CheckStatus::missing:
      return " (approved " + *ied.approved_crc + "; " +
             (ied.in_scd ? "the IED has no circuits now" : "the SCD has no IED of this name") + ")";
    case CheckStatus::added: return " (now " + *ied.crc + "; not in the list of approved CRCs)";
    case CheckStatus::unreadable:
      return " (" + printable(ied.unreadable) + "; " +
             (ied.crc      ? "now " + *ied.crc
              : ied.in_scd ? std::string("the IED has no circuits now")
                           : std::string("the SCD has no IED of this name")) +
             ")";
  }
  return "";
}

void write_text(std::ostream& out, const CheckOptions& options, const CheckReport& report,
                const std::vector<const CheckedIed*>& shown) {
  for (const CheckedIed* ied : shown) {
    out << printable(ied->name) << ": " << check_status_name(ied->status) << check_detail(*ied) << '\n';
  }
  if (report.scd && (!options.quiet || !report.scd->ok())) {
    out << "SCD CRC: " << report.scd->status() << scd_detail(*report.scd) << '\n';
  }
  if (!options.quiet) {
    out << "Header: " << (report.approved_revision ? revision_text(*report.approved_revision) : "not in the list")
        << " -> " << revision_text(report.revision) << '\n';
  }
}

// Written a value at a time: no JSON tree is destroyed when memory runs out.
void write_json_report(std::ostream& out, const CheckOptions& options, const CheckReport& report,
                       const std::vector<const CheckedIed*>& shown) {
  JsonStream json(out);
  json.open_object();
  json.member("baseline", options.baseline);
  json.member("scd", options.scd);
  if (report.scd) {
    json.key("scd_crc");
    json.open_object();
    json.member("status", report.scd->status());
    json.member("approved_crc", json_text(report.scd->approved_crc));
    json.member("crc", report.scd->crc);
    json.close();
  }
  json.key("header");
  json.open_object();
  json.key("approved");
  if (report.approved_revision) {
    write_revision(json, *report.approved_revision);
  } else {
    json.value(nullptr);
  }
  json.key("now");
  write_revision(json, report.revision);
  json.close();
  json.key("ieds");
  json.open_array();
  for (const CheckedIed* ied : shown) {
    json.open_object();
    json.member("name", ied->name);
    json.member("status", check_status_name(ied->status));
    json.member("approved_crc", json_text(ied->approved_crc));
    json.member("crc", json_text(ied->crc));
    json.close();
  }
  json.close();
  json.close();
}

// The IEDs as before, then a record of type `scd` (empty name) and one of
// type `header` per attribute, its old and new value in the CRC columns.
void write_csv(std::ostream& out, const CheckOptions& options, const CheckReport& report,
               const std::vector<const CheckedIed*>& shown) {
  out << "name,status,approved_crc,crc,type\n";
  for (const CheckedIed* ied : shown) {
    out << csv_field(ied->name) << ',' << check_status_name(ied->status) << ','
        << (ied->approved_crc ? *ied->approved_crc : "") << ',' << (ied->crc ? *ied->crc : "") << ",ied\n";
  }
  if (report.scd && (!options.quiet || !report.scd->ok())) {
    out << ',' << report.scd->status() << ',' << report.scd->approved_crc.value_or("") << ',' << report.scd->crc
        << ",scd\n";
  }
  if (options.quiet) return;
  const ScdRevision approved = report.approved_revision.value_or(ScdRevision{});
  for (const auto& [attribute, old_value, new_value] :
       {std::tuple{"version", approved.version, report.revision.version},
        std::tuple{"revision", approved.revision, report.revision.revision}}) {
    out << attribute << ',' << (old_value == new_value ? "unchanged" : "changed") << ','
        << csv_field(old_value.value_or("")) << ',' << csv_field(new_value.value_or("")) << ",header\n";
  }
}

// Every IED that is approved or has a CRC now, by name; with `ignore_missing`
// only the approved ones.
std::vector<CheckedIed> checked_ieds(const Baseline& baseline, const std::vector<ListedCrc>& listed,
                                     bool ignore_missing) {
  std::map<std::string, CheckedIed> checked;
  for (const auto& [name, crc] : baseline.crcs)
    checked[name] = {name, CheckStatus::missing, crc, std::nullopt, false, {}};
  for (const auto& [name, reason] : baseline.unreadable) {
    checked[name] = {name, CheckStatus::unreadable, std::nullopt, std::nullopt, false, reason};
  }
  for (const ListedCrc& ied : listed) {
    if (ignore_missing && !checked.count(ied.name())) continue;
    CheckedIed& entry = checked[ied.name()];
    entry.name = ied.name();
    entry.in_scd = true;
    entry.crc = ied.crc;
    if (entry.status == CheckStatus::unreadable) continue;
    if (!entry.approved_crc) {
      entry.status = CheckStatus::added;
    } else if (ied.crc) {
      entry.status = *ied.crc == *entry.approved_crc ? CheckStatus::ok : CheckStatus::changed;
    }
  }
  std::vector<CheckedIed> result;
  for (auto& [name, ied] : checked) {
    if (ied.approved_crc || ied.crc || ied.status == CheckStatus::unreadable) result.push_back(std::move(ied));
  }
  return result;
}

CheckReport check_report(const Baseline& baseline, const Scd& scd, const std::vector<ListedCrc>& listed,
                         bool ignore_missing) {
  CheckReport report{checked_ieds(baseline, listed, ignore_missing), std::nullopt, std::nullopt, scd_revision(scd)};
  if (baseline.scd_crc_unreadable) {
    report.scd = CheckedScd{std::nullopt, scd_crc(crc_map(listed)), *baseline.scd_crc_unreadable};
  } else if (baseline.scd_crc) {
    report.scd = CheckedScd{*baseline.scd_crc, scd_crc(crc_map(listed)), {}};
  }
  if (baseline.header_recorded)
    report.approved_revision = ScdRevision{baseline.header_version, baseline.header_revision};
  return report;
}

// Writes the report and says what does not match; the number of failures.
std::size_t tell(const CheckOptions& options, const CheckReport& report, const Scd& scd, Console& console) {
  std::vector<const CheckedIed*> shown;
  std::size_t failures = 0;
  std::size_t unreadable = 0;
  bool changed = report.scd && !report.scd->ok();
  for (const CheckedIed& ied : report.ieds) {
    if (ied.status != CheckStatus::ok) ++failures;
    if (ied.status == CheckStatus::unreadable) ++unreadable;
    if (ied.status != CheckStatus::ok) changed = true;
    if (!options.quiet || ied.status != CheckStatus::ok) shown.push_back(&ied);
  }
  if (options.status_only) return failures + (report.scd && !report.scd->ok() ? 1 : 0);
  switch (options.format) {
    case Format::text: write_text(console.out, options, report, shown); break;
    case Format::json: write_json_report(console.out, options, report, shown); break;
    case Format::csv: write_csv(console.out, options, report, shown); break;
  }
  Diagnostics& diagnostics = console.diagnostics;
  if (failures > 0) {
    diagnostics.note(
        std::to_string(failures) + " of " + std::to_string(report.ieds.size()) +
        " IEDs do not match the approved CRCs" +
        (unreadable == 0 ? "" : " (" + std::to_string(unreadable) + " with an approved CRC that cannot be read)"));
  }
  if (report.scd && !report.scd->ok()) {
    diagnostics.note(report.scd->approved_crc ? "the SCD CRC does not match the approved one"
                                              : "the approved SCD CRC cannot be read");
  }
  if (changed && report.approved_revision) warn_about_revision(*report.approved_revision, scd, diagnostics);
  return failures + (report.scd && !report.scd->ok() ? 1 : 0);
}

int run_check(const CheckOptions& options, Console& console) {
  if (const int status = check_standard_input_once(console.diagnostics, "check", {options.baseline, options.scd});
      status != exit_ok) {
    return status;
  }
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet && !options.status_only);
  // The list is read first: a mistyped path costs no time on a large SCD.
  const std::optional<Baseline> baseline = read_baseline(options.baseline, options.warn, diagnostics);
  if (!baseline) return exit_usage;
  // A list with lines that are no entry may have lost entries: the check
  // fails unless the user asked to check without them.
  const bool malformed_fail = baseline->malformed_lines > 0 && (options.strict || !options.skip_malformed);
  if (baseline->malformed_lines > 0 && !options.warn && !options.status_only) {
    const std::string lines = std::to_string(baseline->malformed_lines) +
                              (baseline->malformed_lines == 1 ? " line is" : " lines are") + " improperly formatted";
    if (malformed_fail) {
      diagnostics.error(options.baseline,
                        lines + ", so the check fails (--warn names them; --skip-malformed checks without them)");
    } else {
      diagnostics.warning(options.baseline, lines + " and not checked (--warn names them)");
    }
  }
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics, {options.member, false});
  if (!scd) return exit_usage;

  const std::vector<ListedCrc> listed = list_crcs(*scd, options.jobs, diagnostics);
  const CheckReport report = check_report(*baseline, *scd, listed, options.ignore_missing);
  std::size_t failures = tell(options, report, *scd, console);
  // A list approves one CRC per name: an IED behind a shared name, which no
  // listed CRC covers, cannot be proved approved.
  for (const ShadowedCrc& hidden : shadowed_crcs(*scd, listed, options.jobs)) {
    if (options.ignore_missing && !baseline->crcs.count(hidden.name) && !baseline->unreadable.count(hidden.name)) {
      continue;
    }
    ++failures;
    if (!options.status_only) {
      diagnostics.note(options.scd + ": " + shadowed_text(hidden) + ", with CRC " + *hidden.crc +
                       ", is not checked: a list approves one IED of a name");
    }
  }
  if (baseline->incomplete || malformed_fail) return exit_usage;
  return failures > 0 ? exit_differences : exit_ok;
}

}  // namespace

void add_check_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand("check", "Check the IED CRCs of an SCD against a list of approved CRCs");
  add_file_argument(*command, "BASELINE", options->baseline,
                    "the approved CRCs ('-' for standard input): the output of 'all', or CSV with name and crc");
  add_scd_argument(*command, options->scd);
  add_format_option(*command, options->format);
  add_quiet_option(*command, options->quiet, "list only the IEDs that do not match; show no progress");
  command->add_flag("--status", options->status_only, "print nothing: the exit status tells");
  command->add_flag("--ignore-missing", options->ignore_missing,
                    "check only the IEDs of the list (one bay's list passes when they match)");
  command->add_flag("--skip-malformed", options->skip_malformed,
                    "only warn about lines of the list that are no entry (by default they fail the check, status 2)");
  command->add_flag("--strict", options->strict,
                    "fail (exit status 2) when a line of the list is malformed (the default)");
  command->add_flag("-w,--warn", options->warn, "name each malformed line of the list");
  add_jobs_option(*command, options->jobs);
  add_member_option(*command, options->member);
  command->footer(
      "Status: ok, changed, missing (approved, but no CRC now), new (a CRC, but not approved),\n"
      "unreadable (the list names the IED, but its approved CRC cannot be read).\n"
      "Exit status: 0 every IED matches, 1 some do not, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc check approved.csv station.scd\n"
      "  ccdcrc check bay1.csv station.scd --ignore-missing\n"
      "  ccdcrc all old.scd | ccdcrc check - new.scd --quiet\n"
      "The list is written by: ccdcrc all station.scd --format csv > approved.csv");
  command->callback([options, &console] { console.status = run_check(*options, console); });
}

}  // namespace ccdcrc
