#include "approvals/approval_check.h"

#include <algorithm>
#include <map>
#include <set>

namespace ccdcrc {

namespace {

// Every IED that is approved or has a CRC now, by name; with `ignore_missing`
// only the approved ones.
std::vector<CheckedIed> checked_ieds(const Baseline& baseline, const std::vector<ListedCrc>& listed,
                                     bool ignore_missing) {
  std::map<std::string, const ListedCrc*> in_scd;
  for (const ListedCrc& ied : listed) in_scd.emplace(ied.name(), &ied);
  std::set<std::string> names;
  for (const auto& [name, crc] : baseline.crcs) names.insert(name);
  for (const auto& [name, reason] : baseline.unreadable) names.insert(name);
  if (!ignore_missing) {
    for (const ListedCrc& ied : listed) names.insert(ied.name());
  }
  std::vector<CheckedIed> result;
  for (const std::string& name : names) {
    const auto found = in_scd.find(name);
    const bool listed_now = found != in_scd.end();
    if (std::optional<CheckedIed> ied =
            check_ied(baseline, name, listed_now ? found->second->crc : std::nullopt, listed_now)) {
      result.push_back(std::move(*ied));
    }
  }
  return result;
}

}  // namespace

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

std::optional<CheckedIed> check_ied(const Baseline& baseline, const std::string& name,
                                    const std::optional<std::string>& crc, bool in_scd) {
  CheckedIed ied{name, CheckStatus::ok, std::nullopt, crc, in_scd, {}};
  if (const auto damaged = baseline.unreadable.find(name); damaged != baseline.unreadable.end()) {
    ied.status = CheckStatus::unreadable;
    ied.unreadable = damaged->second;
    return ied;
  }
  const auto entry = baseline.crcs.find(name);
  if (entry == baseline.crcs.end()) {
    if (!crc) return std::nullopt;
    ied.status = CheckStatus::added;
    return ied;
  }
  ied.approved_crc = entry->second;
  ied.status = !crc ? CheckStatus::missing : *crc == entry->second ? CheckStatus::ok : CheckStatus::changed;
  return ied;
}

std::size_t ApprovalCheck::failed_ieds() const {
  return static_cast<std::size_t>(
      std::count_if(ieds.begin(), ieds.end(), [](const CheckedIed& ied) { return ied.status != CheckStatus::ok; }));
}

std::size_t ApprovalCheck::unreadable_ieds() const {
  return static_cast<std::size_t>(std::count_if(
      ieds.begin(), ieds.end(), [](const CheckedIed& ied) { return ied.status == CheckStatus::unreadable; }));
}

CheckVerdict check_verdict(const Baseline& baseline, const ApprovalCheck& check, bool skip_malformed) {
  if (baseline.incomplete || malformed_lines_fail(baseline, skip_malformed)) return CheckVerdict::list_fails;
  return check.failures() > 0 ? CheckVerdict::fails : CheckVerdict::passes;
}

ApprovalCheck check_approvals(const Baseline& baseline, const Scd& scd, const std::vector<ListedCrc>& listed,
                              const std::vector<ShadowedCrc>& shadowed, bool ignore_missing) {
  ApprovalCheck check{
      checked_ieds(baseline, listed, ignore_missing), std::nullopt, std::nullopt, scd_revision(scd), {}, {}};
  if (baseline.scd_crc_unreadable) {
    check.scd = CheckedScd{std::nullopt, scd_crc(crc_map(listed)), *baseline.scd_crc_unreadable};
  } else if (baseline.scd_crc) {
    check.scd = CheckedScd{*baseline.scd_crc, scd_crc(crc_map(listed)), {}};
  }
  if (baseline.header_recorded)
    check.approved_revision = ScdRevision{baseline.header_version, baseline.header_revision};
  check.ignored = scd.ignored_content();
  for (const ShadowedCrc& hidden : shadowed) {
    if (ignore_missing && !baseline.crcs.count(hidden.name) && !baseline.unreadable.count(hidden.name)) continue;
    check.unchecked.push_back(hidden);
  }
  return check;
}

}  // namespace ccdcrc
