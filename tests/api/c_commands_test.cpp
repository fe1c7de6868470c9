// The C functions of diff, check, verify, broken bindings and the change
// report answer what the program prints for the same command.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ccdcrc/ccdcrc.h"
#include "support/process.h"
#include "support/scd_handle.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

struct Scds {
  OpenScd old_scd;
  OpenScd new_scd;
};

// A text the library handed out, as a string; empty after a failure.
using Call = std::function<ccdcrc_status(const Scds&, char** text, size_t* size)>;

struct CommandCase {
  const char* name;
  Call call;
  std::vector<std::string> arguments;  // of the program
};

const std::string approved = data_path("approved/station.txt");
const std::string ccd_file = data_path("pub_golden_PROT1.ccd");

const CommandCase cases[] = {
    {"diff",
     [](const Scds& s, char** text, size_t* size) {
       return ccdcrc_diff_json(s.old_scd.get(), s.new_scd.get(), 0, 1, 0, text, size, nullptr);
     },
     {"diff", example_path("substation.scd"), example_path("substation_rev2.scd"), "--explain", "--format", "json"}},
    {"check",
     [](const Scds& s, char** text, size_t* size) {
       int passed = 1;
       const ccdcrc_status status =
           ccdcrc_check_json(s.new_scd.get(), approved.c_str(), 0, 0, &passed, text, size, nullptr);
       return passed == 0 ? status : CCDCRC_INTERNAL_ERROR;  // the program's status is 1
     },
     {"check", approved, example_path("substation_rev2.scd"), "--format", "json"}},
    {"verify",
     [](const Scds& s, char** text, size_t* size) {
       const char* paths[] = {ccd_file.c_str()};
       return ccdcrc_verify_json(paths, 1, s.old_scd.get(), text, size, nullptr);
     },
     {"verify", ccd_file, "--scd", example_path("substation.scd"), "--format", "json"}},
    {"broken bindings",
     [](const Scds&, char** text, size_t* size) {
       const auto [renamed, opened] = open_path(data_path("report_renamed_member.scd"));
       return ccdcrc_bindings_json(renamed.get(), 0, text, size, nullptr);
     },
     {"bindings", data_path("report_renamed_member.scd"), "--format", "json"}},
    {"report",
     [](const Scds& s, char** text, size_t* size) {
       return ccdcrc_change_report(s.old_scd.get(), s.new_scd.get(), CCDCRC_REPORT_HTML, approved.c_str(), 1, 0, text,
                                   size, nullptr);
     },
     {"diff", example_path("substation.scd"), example_path("substation_rev2.scd"), "--format", "html", "--approved",
      approved}},
};

void PrintTo(const CommandCase& row, std::ostream* out) { *out << row.name; }

class CommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTest, AnswersAsTheProgram) {
  const CommandCase& row = GetParam();
  const EnvironmentVariable fixed_date("SOURCE_DATE_EPOCH", "1700000000");
  const Scds scds{open_path(example_path("substation.scd")).first,
                  open_path(example_path("substation_rev2.scd")).first};
  Released<char, ccdcrc_free_text> text;
  size_t size = 0;
  ASSERT_EQ(row.call(scds, &text.result, &size), CCDCRC_OK);
  const std::string answer(text.result, size);
  const ProcessResult program = run_ccdcrc(row.arguments);
  EXPECT_EQ(answer, program.out);
}

INSTANTIATE_TEST_SUITE_P(EachCommand, CommandTest, ::testing::ValuesIn(cases), [](const auto& info) {
  std::string name = info.param.name;
  for (char& c : name) c = c == ' ' ? '_' : c;
  return name;
});

}  // namespace
}  // namespace ccdcrc::testing
