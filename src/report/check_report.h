#pragma once
// The results of `check`: each IED with its status, the SCD CRC and the
// Header, as text, JSON or CSV; and what a front end says of the failures.

#include <ostream>
#include <string>
#include <vector>

#include "approvals/approval_check.h"
#include "report/output.h"
#include "report/style.h"

namespace ccdcrc {

struct CheckReportOptions {
  Format format = Format::text;
  bool quiet = false;    // only what does not match
  std::string baseline;  // the list's path, as JSON names it
  std::string scd;       // the SCD's path
  TextStyle style{};     // of the statuses in text
};

// Writes the check; with `quiet` only the IEDs (and SCD CRC) that fail.
void write_check_report(std::ostream& out, const CheckReportOptions& options, const ApprovalCheck& check);

// What fails, one sentence each, for the error stream: the IEDs that do not
// match, the SCD CRC, each IED that cannot be checked (`scd_path` names its
// SCD). Empty when everything matches.
std::vector<std::string> check_failures(const ApprovalCheck& check, const std::string& scd_path);

// "1 line is improperly formatted, so the check fails", "3 lines are ...":
// the list's lines that are no entry, which `fail` the check or are skipped
// ("... and not checked").
std::string malformed_lines_text(std::size_t count, bool fail);

// What fails in the list itself, one sentence each ("LIST: ..."): the rest of
// it that could not be read, and lines that are no entry unless skipped.
std::vector<std::string> list_failures(const Baseline& baseline, const std::string& list_path, bool skip_malformed);

}  // namespace ccdcrc
