#include "approvals/approval_check.h"

#include <algorithm>
#include <map>

namespace ccdcrc {

namespace {

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

std::size_t ApprovalCheck::failed_ieds() const {
  return static_cast<std::size_t>(
      std::count_if(ieds.begin(), ieds.end(), [](const CheckedIed& ied) { return ied.status != CheckStatus::ok; }));
}

std::size_t ApprovalCheck::unreadable_ieds() const {
  return static_cast<std::size_t>(std::count_if(
      ieds.begin(), ieds.end(), [](const CheckedIed& ied) { return ied.status == CheckStatus::unreadable; }));
}

ApprovalCheck check_approvals(const Baseline& baseline, const Scd& scd, const std::vector<ListedCrc>& listed,
                              const std::vector<ShadowedCrc>& shadowed, bool ignore_missing) {
  ApprovalCheck check{
      checked_ieds(baseline, listed, ignore_missing), std::nullopt, std::nullopt, scd_revision(scd), {}};
  if (baseline.scd_crc_unreadable) {
    check.scd = CheckedScd{std::nullopt, scd_crc(crc_map(listed)), *baseline.scd_crc_unreadable};
  } else if (baseline.scd_crc) {
    check.scd = CheckedScd{*baseline.scd_crc, scd_crc(crc_map(listed)), {}};
  }
  if (baseline.header_recorded)
    check.approved_revision = ScdRevision{baseline.header_version, baseline.header_revision};
  for (const ShadowedCrc& hidden : shadowed) {
    if (ignore_missing && !baseline.crcs.count(hidden.name) && !baseline.unreadable.count(hidden.name)) continue;
    check.unchecked.push_back(hidden);
  }
  return check;
}

}  // namespace ccdcrc
