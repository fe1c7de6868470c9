// `all` and `ied`: CRCs of a loaded SCD.

#include <map>
#include <optional>
#include <set>

#include "console/command_runs.h"
#include "console/scd_input.h"
#include "crc/runs.h"

namespace ccdcrc {

std::vector<std::string> distinct_names(const std::vector<std::string>& names) {
  std::vector<std::string> result;
  std::set<std::string> seen;
  for (const std::string& name : names) {
    if (seen.insert(name).second) result.push_back(name);
  }
  return result;
}

int run_all(const AllOptions& options, std::ostream& out, Diagnostics& diagnostics) {
  diagnostics.allow_progress(!options.quiet);
  std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;
  warn_about_root(*scd, diagnostics);

  // The same rule as every all-IED run: IEDs without circuits are left out,
  // and of IEDs sharing a name the last one with circuits is kept.
  const IedCrcMap crcs = crc_map(list_named_ieds(*scd, options.jobs, diagnostics));

  CrcReport report{scd->path(), {}, scd_crc(crcs)};
  for (const auto& [name, crc] : crcs) report.ieds.push_back({name, crc});
  write_report(out, options.format, report);
  return exit_ok;
}

int run_ied(const IedOptions& options, std::ostream& out, Diagnostics& diagnostics) {
  std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;
  const IedIndex index(*scd);

  CrcReport report{scd->path(), {}, std::nullopt};
  int status = exit_ok;
  for (const std::string& name : distinct_names(options.names)) {
    pugi::xml_node ied = index.find_or_report(name, diagnostics);
    if (!ied) {
      status = exit_ied_problem;
      continue;
    }
    if (std::size_t count = index.count(name); count > 1) {
      diagnostics.warning(scd->path(), std::to_string(count) + " IEDs are named " + quoted(name) +
                                           "; the CRC is that of the first one");
    }
    std::optional<std::string> crc = ied_crc(*scd, ied);
    if (!crc) {
      diagnostics.error(scd->path(), "IED " + quoted(name) + " " + no_circuits_reason);
      status = exit_ied_problem;
      continue;
    }
    report.ieds.push_back({name, *crc});
  }
  write_report(out, options.format, report);
  return status;
}

}  // namespace ccdcrc
