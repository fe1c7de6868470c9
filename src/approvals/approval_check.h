#pragma once
// The check of an SCD against a list of approved CRCs: a status per IED and
// for the SCD CRC. Exit 0 of a check may only mean that every IED the SCD
// lists matches its approved CRC: an entry that cannot be read, an IED that
// appears or disappears, and an IED that no CRC of a name covers all fail.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "approvals/baseline.h"
#include "operations/crc_runs.h"
#include "scd/header.h"
#include "scd/scd.h"

namespace ccdcrc {

enum class CheckStatus { ok, changed, missing, added, unreadable };

// "ok", "changed", "missing", "new", "unreadable".
const char* check_status_name(CheckStatus status);

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

struct ApprovalCheck {
  std::vector<CheckedIed> ieds;  // by name
  std::optional<CheckedScd> scd;
  std::optional<ScdRevision> approved_revision;  // nullopt: the list records none
  ScdRevision revision;
  // IEDs behind a shared name, which no listed CRC covers: they cannot be
  // proved approved and fail the check.
  std::vector<ShadowedCrc> unchecked;
  // Content of the SCD's file that its document leaves out: an SCD read in
  // part answers for no approval, and fails.
  std::optional<IgnoredContent> ignored;

  std::size_t failed_ieds() const;
  std::size_t unreadable_ieds() const;
  bool scd_failed() const { return scd && !scd->ok(); }
  // Every failure: IEDs, the SCD CRC, the IEDs that cannot be checked and an
  // SCD read in part.
  std::size_t failures() const { return failed_ieds() + (scd_failed() ? 1 : 0) + unchecked.size() + (ignored ? 1 : 0); }
  // Something differs from the approval, so the Header should have moved on.
  bool changed() const { return failed_ieds() > 0 || scd_failed(); }
};

// One IED's CRC (nullopt: none) against the list; nullopt when neither the
// list nor the SCD gives it a CRC. `in_scd`: the SCD has an IED of the name.
std::optional<CheckedIed> check_ied(const Baseline& baseline, const std::string& name,
                                    const std::optional<std::string>& crc, bool in_scd);

// What a check answers: the SCD is the approved configuration; or something
// fails; or the list fails (read only in part, or with lines that are no
// entry and not skipped), which is trouble with the list rather than a
// difference.
enum class CheckVerdict { passes, fails, list_fails };
CheckVerdict check_verdict(const Baseline& baseline, const ApprovalCheck& check, bool skip_malformed);

// Checks the SCD's listed CRCs (and its shadowed IEDs) against the list.
// With `ignore_missing` only the IEDs the list names are checked.
ApprovalCheck check_approvals(const Baseline& baseline, const Scd& scd, const std::vector<ListedCrc>& listed,
                              const std::vector<ShadowedCrc>& shadowed, bool ignore_missing);

}  // namespace ccdcrc
