// Colour on statuses: asked for, it adds escape sequences around status words
// only, so that the text without them is the plain output byte for byte; JSON
// and CSV are never coloured, and a pipe gets no colour unless asked.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

std::string without_escapes(const std::string& text) {
  return std::regex_replace(text, std::regex("\033\\[[0-9;]*m"), "");
}

TEST(CliColour, StatusesAreColouredOnlyWhenAskedAndOnlyInText) {
  ScratchDir dir;
  const std::string old_scd = example_path("substation.scd");
  const std::string new_scd = example_path("substation_rev2.scd");
  const std::string approved = (dir.path() / "approved.csv").string();
  write_file(approved, run_ccdcrc({"all", old_scd, "--format", "csv"}).out);
  struct Case {
    std::vector<std::string> command;
    std::string coloured;  // a coloured status the output must hold; empty: no colour at all
  };
  const Case cases[] = {
      {{"diff", old_scd, new_scd}, "  \033[33mchanged\033[0m\n"},
      {{"diff", old_scd, new_scd, "--stat"}, "| \033[33mchanged\033[0m: "},
      {{"check", approved, new_scd}, "MU1001: \033[32mok\033[0m\n"},
      {{"check", approved, new_scd, "--format", "json"}, ""},
      {{"diff", old_scd, new_scd, "--format", "csv"}, ""},
      {{"all", old_scd}, ""},
  };
  for (const Case& row : cases) {
    const std::string what = row.command[0] + " " + row.command.back();
    const ProcessResult plain = run_ccdcrc(row.command);
    std::vector<std::string> never = row.command;
    never.insert(never.begin(), "--color=never");
    EXPECT_EQ(run_ccdcrc(never).out, plain.out) << what;
    std::vector<std::string> always = row.command;
    always.insert(always.end(), {"--color", "always"});
    const ProcessResult coloured = run_ccdcrc(always);
    EXPECT_EQ(coloured.status, plain.status) << what;
    EXPECT_EQ(without_escapes(coloured.out), plain.out) << what;
    EXPECT_EQ(plain.out.find('\033'), std::string::npos) << what << ": coloured in a pipe";
    if (row.coloured.empty()) {
      EXPECT_EQ(coloured.out, plain.out) << what;
    } else {
      EXPECT_NE(coloured.out.find(row.coloured), std::string::npos) << what << coloured.out;
    }
  }
  EXPECT_EQ(run_ccdcrc({"all", old_scd, "--color", "red"}).status, 2);
}

}  // namespace
}  // namespace ccdcrc::testing
