#include "report/check_report.h"

#include <tuple>

#include "operations/comparison.h"
#include "operations/messages.h"
#include "report/scd_revision.h"

namespace ccdcrc {

namespace {

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

StatusTone tone_of(CheckStatus status) {
  switch (status) {
    case CheckStatus::ok: return StatusTone::same;
    case CheckStatus::changed: return StatusTone::changed;
    case CheckStatus::added: return StatusTone::added;
    case CheckStatus::missing:
    case CheckStatus::unreadable: return StatusTone::gone;
  }
  return StatusTone::gone;
}

StatusTone tone_of(const CheckedScd& scd) {
  return scd.ok() ? StatusTone::same : scd.approved_crc ? StatusTone::changed : StatusTone::gone;
}

std::vector<const CheckedIed*> shown_ieds(const CheckReportOptions& options, const ApprovalCheck& check) {
  std::vector<const CheckedIed*> shown;
  for (const CheckedIed& ied : check.ieds) {
    if (!options.quiet || ied.status != CheckStatus::ok) shown.push_back(&ied);
  }
  return shown;
}

void write_text(std::ostream& out, const CheckReportOptions& options, const ApprovalCheck& check) {
  for (const CheckedIed* ied : shown_ieds(options, check)) {
    out << printable(ied->name) << ": " << options.style.status(check_status_name(ied->status), tone_of(ied->status))
        << check_detail(*ied) << '\n';
  }
  if (check.scd && (!options.quiet || !check.scd->ok())) {
    out << "SCD CRC: " << options.style.status(check.scd->status(), tone_of(*check.scd)) << scd_detail(*check.scd)
        << '\n';
  }
  if (!options.quiet) {
    out << "Header: " << (check.approved_revision ? revision_text(*check.approved_revision) : "not in the list")
        << " -> " << revision_text(check.revision) << '\n';
  }
}

// Written a value at a time: no JSON tree is destroyed when memory runs out.
void write_json(std::ostream& out, const CheckReportOptions& options, const ApprovalCheck& check) {
  JsonStream json(out);
  json.open_object();
  json.member("baseline", options.baseline);
  json.member("scd", options.scd);
  if (check.scd) {
    json.key("scd_crc");
    json.open_object();
    json.member("status", check.scd->status());
    json.member("approved_crc", json_text(check.scd->approved_crc));
    json.member("crc", check.scd->crc);
    json.close();
  }
  json.key("header");
  json.open_object();
  json.key("approved");
  if (check.approved_revision) {
    write_revision(json, *check.approved_revision);
  } else {
    json.value(nullptr);
  }
  json.key("now");
  write_revision(json, check.revision);
  json.close();
  json.key("ieds");
  json.open_array();
  for (const CheckedIed* ied : shown_ieds(options, check)) {
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
void write_csv(std::ostream& out, const CheckReportOptions& options, const ApprovalCheck& check) {
  out << "name,status,approved_crc,crc,type\n";
  for (const CheckedIed* ied : shown_ieds(options, check)) {
    out << csv_field(ied->name) << ',' << check_status_name(ied->status) << ','
        << (ied->approved_crc ? *ied->approved_crc : "") << ',' << (ied->crc ? *ied->crc : "") << ",ied\n";
  }
  if (check.scd && (!options.quiet || !check.scd->ok())) {
    out << ',' << check.scd->status() << ',' << check.scd->approved_crc.value_or("") << ',' << check.scd->crc
        << ",scd\n";
  }
  if (options.quiet) return;
  const ScdRevision approved = check.approved_revision.value_or(ScdRevision{});
  for (const auto& [attribute, old_value, new_value] :
       {std::tuple{"version", approved.version, check.revision.version},
        std::tuple{"revision", approved.revision, check.revision.revision}}) {
    out << attribute << ',' << crc_status_name(old_value == new_value ? CrcStatus::unchanged : CrcStatus::changed)
        << ',' << csv_field(old_value.value_or("")) << ',' << csv_field(new_value.value_or("")) << ",header\n";
  }
}

}  // namespace

void write_check_report(std::ostream& out, const CheckReportOptions& options, const ApprovalCheck& check) {
  switch (options.format) {
    case Format::text: write_text(out, options, check); break;
    case Format::json: write_json(out, options, check); break;
    case Format::csv: write_csv(out, options, check); break;
  }
}

std::vector<std::string> check_failures(const ApprovalCheck& check, const std::string& scd_path) {
  std::vector<std::string> failures;
  if (const std::size_t failed = check.failed_ieds(); failed > 0) {
    const std::size_t unreadable = check.unreadable_ieds();
    failures.push_back(
        std::to_string(failed) + " of " + std::to_string(check.ieds.size()) + " IEDs do not match the approved CRCs" +
        (unreadable == 0 ? "" : " (" + std::to_string(unreadable) + " with an approved CRC that cannot be read)"));
  }
  if (check.scd_failed()) {
    failures.emplace_back(check.scd->approved_crc ? "the SCD CRC does not match the approved one"
                                                  : "the approved SCD CRC cannot be read");
  }
  for (const ShadowedCrc& hidden : check.unchecked) {
    failures.push_back(scd_path + ": " + shadowed_text(hidden) + ", with CRC " + *hidden.crc +
                       ", is not checked: a list approves one IED of a name");
  }
  if (check.ignored)
    failures.push_back(location(scd_path, check.ignored->position) + ": " + read_in_part_message(*check.ignored));
  return failures;
}

std::string malformed_lines_text(std::size_t count, bool fail) {
  return std::to_string(count) + (count == 1 ? " line is" : " lines are") + " improperly formatted" +
         (fail ? ", so the check fails" : " and not checked");
}

std::vector<std::string> list_failures(const Baseline& baseline, const std::string& list_path, bool skip_malformed) {
  std::vector<std::string> failures;
  if (baseline.incomplete) failures.push_back(list_path + ": the rest of the list cannot be read");
  if (malformed_lines_fail(baseline, skip_malformed)) {
    failures.push_back(list_path + ": " + malformed_lines_text(baseline.malformed_lines, true));
  }
  return failures;
}

}  // namespace ccdcrc
