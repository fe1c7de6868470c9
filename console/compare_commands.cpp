// `diff`, `check` and `verify`: CRCs compared between two SCDs, with a list of
// approved CRCs, and with exported CCD files.

#include <algorithm>
#include <optional>

#include "console/baseline.h"
#include "console/command_runs.h"
#include "console/scd_input.h"
#include "crc/compare.h"
#include "crc/parallel.h"
#include "crc/runs.h"
#include "crc/verify.h"

namespace ccdcrc {

namespace {

// The IEDs to explain: the named ones, or every one whose CRC changed. Names
// that are in neither SCD are reported and make `trouble` true.
std::vector<const IedCrcChange*> ieds_to_explain(const DiffOptions& options, const std::vector<IedCrcChange>& ieds,
                                                 Diagnostics& diagnostics, bool& trouble) {
  std::vector<const IedCrcChange*> selected;
  if (options.explain_names.empty()) {
    for (const IedCrcChange& ied : ieds) {
      if (ied.status == CrcStatus::changed) selected.push_back(&ied);
    }
    return selected;
  }
  for (const std::string& name : distinct_names(options.explain_names)) {
    auto found = std::lower_bound(ieds.begin(), ieds.end(), name,
                                  [](const IedCrcChange& ied, const std::string& wanted) { return ied.name < wanted; });
    if (found == ieds.end() || found->name != name) {
      diagnostics.note("no IED named " + quoted(name) + " in " + options.old_scd + " or " + options.new_scd);
      trouble = true;
    } else if (found->status != CrcStatus::changed) {
      diagnostics.note("IED " + quoted(name) + " is " + crc_status_name(found->status) +
                       "; only IEDs whose CRC changed are explained");
    } else {
      selected.push_back(&*found);
    }
  }
  return selected;
}

std::map<std::string, CcdComparison> explanations(const std::vector<const IedCrcChange*>& ieds, const Scd& old_scd,
                                                  const Scd& new_scd, unsigned jobs, Diagnostics& diagnostics) {
  std::vector<CcdComparison> comparisons(ieds.size());
  {
    Progress progress(diagnostics, ieds.size());
    parallel_for(
        ieds.size(), jobs,
        [&](std::size_t i) {
          // Both have circuits: their CRCs differ.
          const std::unique_ptr<MeasuredCcd> old_ccd = MeasuredCcd::build(old_scd, ieds[i]->old_ied->ied);
          const std::unique_ptr<MeasuredCcd> new_ccd = MeasuredCcd::build(new_scd, ieds[i]->new_ied->ied);
          if (old_ccd && new_ccd) comparisons[i] = compare_ccds(*old_ccd, *new_ccd);
        },
        [&](std::size_t, std::size_t) { progress.advance(); });
  }
  std::map<std::string, CcdComparison> by_name;
  for (std::size_t i = 0; i < ieds.size(); ++i) by_name.emplace(ieds[i]->name, std::move(comparisons[i]));
  return by_name;
}

const char* files_word(std::size_t count) { return count == 1 ? " file" : " files"; }

}  // namespace

int run_diff(const DiffOptions& options, std::ostream& out, Diagnostics& diagnostics) {
  diagnostics.allow_progress(!options.quiet);
  // Both are loaded even when the first fails, so that every problem is told at once.
  std::unique_ptr<Scd> old_scd = load_scd(options.old_scd, diagnostics);
  std::unique_ptr<Scd> new_scd = load_scd(options.new_scd, diagnostics);
  if (!old_scd || !new_scd) return exit_usage;
  warn_about_root(*old_scd, diagnostics);
  warn_about_root(*new_scd, diagnostics);

  const std::vector<NamedIed> old_ieds = list_named_ieds(*old_scd, options.jobs, diagnostics);
  const std::vector<NamedIed> new_ieds = list_named_ieds(*new_scd, options.jobs, diagnostics);
  DiffReport report{old_scd->path(),
                    new_scd->path(),
                    compare_ied_crcs(old_ieds, new_ieds),
                    scd_crc(crc_map(old_ieds)),
                    scd_crc(crc_map(new_ieds)),
                    {},
                    options.quiet};
  bool trouble = false;
  if (options.explain) {
    const std::vector<const IedCrcChange*> explained = ieds_to_explain(options, report.ieds, diagnostics, trouble);
    report.explanations = explanations(explained, *old_scd, *new_scd, options.jobs, diagnostics);
  }
  write_diff_report(out, options.format, report);

  if (trouble) return exit_usage;
  const bool changed = std::any_of(report.ieds.begin(), report.ieds.end(),
                                   [](const IedCrcChange& ied) { return ied.status != CrcStatus::unchanged; });
  return changed ? exit_differences : exit_ok;
}

int run_check(const CheckOptions& options, std::ostream& out, Diagnostics& diagnostics) {
  diagnostics.allow_progress(!options.quiet);
  // The list is read first: a mistyped path costs no time on a large SCD.
  const std::optional<Baseline> baseline = read_baseline(options.baseline, diagnostics);
  if (!baseline) return exit_usage;
  std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;
  warn_about_root(*scd, diagnostics);

  CheckReport report{options.baseline, scd->path(), {}, options.quiet};
  std::map<std::string, CheckedIed> checked;
  for (const auto& [name, crc] : baseline->crcs) checked[name] = {name, CheckStatus::missing, crc, std::nullopt, false};
  for (const NamedIed& ied : list_named_ieds(*scd, options.jobs, diagnostics)) {
    if (baseline->rejected.count(ied.name)) continue;  // its entry was reported as unusable
    CheckedIed& entry = checked[ied.name];
    entry.name = ied.name;
    entry.in_scd = true;
    entry.crc = ied.crc;
    if (!entry.approved_crc) {
      entry.status = CheckStatus::added;
    } else if (ied.crc) {
      entry.status = *ied.crc == *entry.approved_crc ? CheckStatus::ok : CheckStatus::changed;
    }
  }
  std::size_t failures = 0;
  for (auto& [name, ied] : checked) {
    if (!ied.approved_crc && !ied.crc) continue;  // neither approved nor with a CRC: nothing to check
    if (ied.status != CheckStatus::ok) ++failures;
    report.ieds.push_back(std::move(ied));
  }
  write_check_report(out, options.format, report);

  if (failures > 0) {
    diagnostics.note(std::to_string(failures) + " of " + std::to_string(report.ieds.size()) +
                     " IEDs do not match the approved CRCs");
  }
  if (!baseline->complete) return exit_usage;
  return failures > 0 ? exit_differences : exit_ok;
}

int run_verify(const VerifyOptions& options, std::ostream& out, Diagnostics& diagnostics) {
  bool trouble = false;
  std::unique_ptr<Scd> scd;
  std::optional<IedIndex> index;
  if (!options.scd.empty()) {
    scd = load_scd(options.scd, diagnostics);
    if (scd) {
      index.emplace(*scd);
    } else {
      trouble = true;  // the files are still checked against their own content
    }
  }

  VerifyReport report{scd ? std::optional<std::string>(scd->path()) : std::nullopt, {}, options.quiet};
  std::size_t failures = 0;
  for (const std::string& path : options.files) {
    VerifiedFile file{path, VerifyStatus::unreadable, check_ccd_file(path), std::nullopt, {}};
    const CcdFileCheck& check = file.check;
    if (check.status == CcdFileStatus::unreadable) {
      std::string where = path;
      if (check.position.line > 0)
        where += ":" + std::to_string(check.position.line) + ":" + std::to_string(check.position.column);
      diagnostics.error(where, printable(check.problem));
      trouble = true;
    } else if (check.status == CcdFileStatus::modified) {
      file.status = VerifyStatus::modified;
    } else if (!index) {
      file.status = VerifyStatus::ok;
    } else if (pugi::xml_node ied = index->find(check.ied_name); !ied) {
      file.status = VerifyStatus::outdated;
      file.outdated_reason = "the SCD has no IED named " + quoted(check.ied_name);
    } else {
      if (std::size_t count = index->count(check.ied_name); count > 1) {
        diagnostics.warning(scd->path(), std::to_string(count) + " IEDs are named " + quoted(check.ied_name) + "; " +
                                             path + " is compared with the first one");
      }
      file.current_crc = ied_crc(*scd, ied);
      if (!file.current_crc) file.outdated_reason = "the IED has no circuits in the SCD";
      file.status = file.current_crc == check.file_crc ? VerifyStatus::ok : VerifyStatus::outdated;
    }
    if (file.status != VerifyStatus::ok) ++failures;
    report.files.push_back(std::move(file));
  }
  write_verify_report(out, options.format, report);

  if (failures > 0) {
    diagnostics.note(std::to_string(failures) + " of " + std::to_string(report.files.size()) + " CCD" +
                     files_word(report.files.size()) + " did not verify");
  }
  if (trouble) return exit_usage;
  return failures > 0 ? exit_differences : exit_ok;
}

}  // namespace ccdcrc
