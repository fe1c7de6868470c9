// history, run as a user runs it: revisions given as files, in the order
// given or by their Header, filtered, with a revision that cannot be read.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

const std::string rev_1a = data_path("cli_revision_1A.scd");
const std::string rev_1a_changed = data_path("cli_revision_1A_changed.scd");
const std::string rev_1b_changed = data_path("cli_revision_1B_changed.scd");

TEST(CliHistory, PrintsEachRevisionsChangesThenEachIedsTimeline) {
  const ProcessResult result =
      run_ccdcrc({"history", "--no-cache", rev_1a, data_path("cli_not_scl.scd"), rev_1a_changed, rev_1b_changed});
  EXPECT_EQ(result.status, 2);  // a revision could not be read
  EXPECT_EQ(result.out, "1  " + rev_1a +
                            "\n   version 1, revision A; SCD CRC A9B8997B; 3 IEDs with CRCs\n"
                            "2  " +
                            data_path("cli_not_scl.scd") + "\n   unreadable: " + data_path("cli_not_scl.scd") +
                            ": not an SCD file: an XML file whose root element is 'Substation', not 'SCL'\n"
                            "3  " +
                            rev_1a_changed +
                            "\n   version 1, revision A; SCD CRC 85B8049B (was A9B8997B); 2 changed\n"
                            "   changed B2  6D9E341B -> 18F2F29C\n"
                            "   changed P1  6F9C679D -> F2FF56F2\n"
                            "4  " +
                            rev_1b_changed +
                            "\n   version 1, revision B; SCD CRC 85B8049B; no CRC changed\n\n"
                            "IED  revisions in which its CRC changed\n"
                            "B2   1 added, 3 changed\n"
                            "M1   1 added\n"
                            "P1   1 added, 3 changed\n");
  EXPECT_NE(result.err.find("cli_not_scl.scd: not an SCD file"), std::string::npos) << result.err;
}

struct HistoryCase {
  std::vector<std::string> arguments;
  int status;
  std::vector<std::string> revisions;  // the names of the revisions shown, in order
  std::vector<std::string> ieds;       // the IEDs of the timeline
  std::string message;                 // on standard error
};

TEST(CliHistory, OrdersAndFiltersAsAsked) {
  const std::vector<HistoryCase> cases = {
      {{rev_1a, rev_1a_changed, rev_1b_changed, "--changed-only"}, 0, {rev_1a, rev_1a_changed}, {"B2", "M1", "P1"}, ""},
      {{rev_1b_changed, rev_1a, "--by-header"}, 0, {rev_1a, rev_1b_changed}, {"B2", "M1", "P1"}, ""},
      {{rev_1a, rev_1a_changed, "--", "P1", "P1"}, 0, {rev_1a, rev_1a_changed}, {"P1"}, ""},
      {{rev_1a, rev_1a_changed, "--", "P1", "NOPE"}, 1, {rev_1a, rev_1a_changed}, {"P1"}, "no IED named 'NOPE'"},
      {{rev_1a, "--since", "2024-01-01"}, 2, {}, {}, "give them with --git"},
      // A revision read in part has no CRCs that could stand for it.
      {{rev_1a, data_path("cli_junk_after_zero.scd")},
       2,
       {},
       {},
       "cli_junk_after_zero.scd:99:1: the file is read only in part"},
  };
  for (const HistoryCase& test : cases) {
    std::vector<std::string> arguments{"history", "--no-cache", "-f", "json"};
    arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
    const ProcessResult result = run_ccdcrc(arguments);
    SCOPED_TRACE(::testing::PrintToString(test.arguments));
    EXPECT_EQ(result.status, test.status) << result.err;
    EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
    if (test.status == 2) continue;
    const nlohmann::json history = nlohmann::json::parse(result.out);
    std::vector<std::string> revisions, ieds;
    for (const auto& revision : history["revisions"]) revisions.push_back(revision["name"]);
    for (const auto& ied : history["ieds"]) ieds.push_back(ied["name"]);
    EXPECT_EQ(revisions, test.revisions);
    EXPECT_EQ(ieds, test.ieds);
  }
}

TEST(CliHistory, TellsTheBindingsARevisionBreaksAndNoneThatOnlyGoWithTheirIed) {
  const std::string renamed = data_path("report_renamed_member.scd");
  const ProcessResult result =
      run_ccdcrc({"history", "--no-cache", "-f", "csv", data_path("cmp_base.scd"), renamed, data_path("cmp_base.scd")});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string row = "2," + renamed + ",,,binding,PL1101,,,broken,";
  EXPECT_NE(result.out.find(row), std::string::npos) << result.out;
  // Revision 3 has no IED PL1101: its input is gone, not mended.
  EXPECT_EQ(result.out.find(",mended,"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace ccdcrc::testing
