// `ccdcrc check BASELINE SCD`: the IED CRCs of an SCD against a list of
// approved CRCs, like `sha256sum --check`.

#include <map>
#include <memory>
#include <optional>

#include "console/baseline.h"
#include "console/command.h"
#include "console/scd_input.h"

namespace ccdcrc {

namespace {

struct CheckOptions {
  std::string baseline;
  std::string scd;
  Format format = Format::text;
  bool quiet = false;  // only the IEDs that do not match, no progress
  unsigned jobs = 0;   // 0: one per core
};

enum class CheckStatus { ok, changed, missing, added };

struct CheckedIed {
  std::string name;
  CheckStatus status = CheckStatus::ok;
  std::optional<std::string> approved_crc;
  std::optional<std::string> crc;
  bool in_scd = false;  // the SCD has an IED of the name (with or without a CRC)
};

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

nlohmann::ordered_json json_value(const std::optional<std::string>& text) {
  return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

void write_check_report(std::ostream& out, const CheckOptions& options, const std::vector<const CheckedIed*>& shown) {
  switch (options.format) {
    case Format::text:
      for (const CheckedIed* ied : shown) {
        out << printable(ied->name) << ": " << check_status_name(ied->status) << check_detail(*ied) << '\n';
      }
      break;
    case Format::json: {
      nlohmann::ordered_json json{{"baseline", options.baseline}, {"scd", options.scd}};
      nlohmann::ordered_json& ieds = json["ieds"] = nlohmann::ordered_json::array();
      for (const CheckedIed* ied : shown) {
        ieds.push_back({{"name", ied->name},
                        {"status", check_status_name(ied->status)},
                        {"approved_crc", json_value(ied->approved_crc)},
                        {"crc", json_value(ied->crc)}});
      }
      write_json(out, json);
      break;
    }
    case Format::csv:
      out << "name,status,approved_crc,crc\n";
      for (const CheckedIed* ied : shown) {
        out << csv_field(ied->name) << ',' << check_status_name(ied->status) << ','
            << (ied->approved_crc ? *ied->approved_crc : "") << ',' << (ied->crc ? *ied->crc : "") << '\n';
      }
      break;
  }
}

// Every IED that is approved or has a CRC now, by name.
std::vector<CheckedIed> checked_ieds(const Baseline& baseline, const std::vector<ListedCrc>& listed) {
  std::map<std::string, CheckedIed> checked;
  for (const auto& [name, crc] : baseline.crcs) checked[name] = {name, CheckStatus::missing, crc, std::nullopt, false};
  for (const ListedCrc& ied : listed) {
    if (baseline.rejected.count(ied.name())) continue;  // its entry was reported as unusable
    CheckedIed& entry = checked[ied.name()];
    entry.name = ied.name();
    entry.in_scd = true;
    entry.crc = ied.crc;
    if (!entry.approved_crc) {
      entry.status = CheckStatus::added;
    } else if (ied.crc) {
      entry.status = *ied.crc == *entry.approved_crc ? CheckStatus::ok : CheckStatus::changed;
    }
  }
  std::vector<CheckedIed> result;
  for (auto& [name, ied] : checked) {
    if (ied.approved_crc || ied.crc) result.push_back(std::move(ied));  // else nothing to check
  }
  return result;
}

int run_check(const CheckOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  // The list is read first: a mistyped path costs no time on a large SCD.
  const std::optional<Baseline> baseline = read_baseline(options.baseline, diagnostics);
  if (!baseline) return exit_usage;
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;
  warn_about_root(*scd, diagnostics);

  const std::vector<CheckedIed> checked = checked_ieds(*baseline, list_crcs(*scd, options.jobs, diagnostics));
  std::vector<const CheckedIed*> shown;
  std::size_t failures = 0;
  for (const CheckedIed& ied : checked) {
    if (ied.status != CheckStatus::ok) ++failures;
    if (!options.quiet || ied.status != CheckStatus::ok) shown.push_back(&ied);
  }
  write_check_report(console.out, options, shown);
  if (failures > 0) {
    diagnostics.note(std::to_string(failures) + " of " + std::to_string(checked.size()) +
                     " IEDs do not match the approved CRCs");
  }
  if (!baseline->complete) return exit_usage;
  return failures > 0 ? exit_differences : exit_ok;
}

}  // namespace

void add_check_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand("check", "Check the IED CRCs of an SCD against a list of approved CRCs");
  add_file_argument(*command, "BASELINE", options->baseline,
                    "the approved CRCs, as 'all --format csv' or 'json' writes them");
  add_scd_argument(*command, options->scd);
  add_format_option(*command, options->format);
  add_quiet_option(*command, options->quiet, "list only the IEDs that do not match; show no progress");
  add_jobs_option(*command, options->jobs);
  command->footer(
      "Status: ok, changed, missing (approved, but no CRC now), new (a CRC, but not approved).\n"
      "Exit status: 0 every IED matches, 1 some do not, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc check approved.csv station.scd\n"
      "  ccdcrc check approved.json station.scd --quiet\n"
      "The list is written by: ccdcrc all station.scd --format csv > approved.csv");
  command->callback([options, &console] { console.status = run_check(*options, console); });
}

}  // namespace ccdcrc
