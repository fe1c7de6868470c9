// The interactive menu, word for word, as a user at a terminal (or a script
// feeding standard input) sees it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "operations/crc_runs.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

const std::string menu =
    "Please select the action you want to take:\n"
    "1. Calculate the CRC of all IEDs and the CRC of SCDs\n"
    "2. Calculate the CRC of the specified IED\n"
    "3. Export the CCD of the specified IED\n"
    "Please enter the action number(1-3):\n";
const std::string path_prompt = "Please input the path of SCD file:\n";
const std::string name_prompt = "Please input the name of IED:\n";
const std::string directory_prompt = "Please input the path of export directory:\n";

// The dialogue with this input; it must end with `status` and say `err` on
// standard error (what failed, in the program's usual words).
ProcessResult dialogue(const std::string& input, int status = 0, const std::string& err = "") {
  ProcessOptions options;
  options.input = input;
  ProcessResult result = run_ccdcrc({}, options);
  EXPECT_EQ(result.status, status) << "input: " << input;
  EXPECT_EQ(result.err, err) << "input: " << input;
  return result;
}

TEST(Dialogue, AnythingButOneTwoOrThreeOnlyAsksForTheCorrectNumber) {
  // 99999999999 does not fit 32 bits; the empty input has no number at all.
  for (const std::string input : {"0\n", "4\n", "-1\n", "99999999999\n", "x\n", "one\n", ""}) {
    EXPECT_EQ(dialogue(input).out, menu + "Please input the correct number!\n") << "input: " << input;
  }
}

TEST(Dialogue, AllIedsOnOneLineListsNamesInByteOrderBetweenTheScdCrcTwice) {
  const std::string path = data_path("cli_name_order.scd");
  const IedCrcMap crcs = run_all_ied_crcs(path);
  ASSERT_EQ(crcs.size(), 3u);
  const std::string scd = scd_crc(crcs);
  // Upper-case letters sort before lower-case ones: B, a, A is listed A, B, a.
  EXPECT_EQ(dialogue("1 " + path + "\n").out, menu + path_prompt + "Please wait..\n" + "SCD CRC:" + scd + "\n" +
                                                  "A:" + crcs.at("A") + "\n" + "B:" + crcs.at("B") + "\n" +
                                                  "a:" + crcs.at("a") + "\n" + "The CRC of SCD is:" + scd + "\n");
}

TEST(Dialogue, AllIedsOfAnUnloadableFilePrintNoCrc) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {data_path("no-such-file.scd"), "ccdcrc: " + data_path("no-such-file.scd") + ": no such file\n"},
      {data_path(""), "ccdcrc: " + data_path("") + ": is a directory, not a file\n"},
  };
  for (const auto& [path, err] : cases) {
    EXPECT_EQ(dialogue("1\n" + path + "\n", 2, err).out, menu + path_prompt + "Please wait..\n");
  }
}

TEST(Dialogue, OneIedCrcOrNothingAfterTheColon) {
  const std::string path = data_path("cli_station.scd");
  const std::string crc = run_ied_crc(path, "P1");
  ASSERT_EQ(crc.size(), 8u);
  const std::string asked = menu + path_prompt + name_prompt;
  EXPECT_EQ(dialogue("2\n" + path + "\nP1\n").out, asked + "The CRC of IED is:" + crc + "\n");
  const std::string missing = data_path("no-such-file.scd");
  EXPECT_EQ(dialogue("2 " + missing + " P1\n", 2, "ccdcrc: " + missing + ": no such file\n").out,
            asked + "The CRC of IED is:\n");
  EXPECT_EQ(dialogue("2 " + path + " Nobody\n", 1, "ccdcrc: " + path + ": no IED named 'Nobody'\n").out,
            asked + "The CRC of IED is:\n");
  EXPECT_EQ(dialogue("2 " + path + " Gateway\n", 1,
                     "ccdcrc: " + path + ": IED 'Gateway' has no GOOSE or sampled-value circuits, so it has no CRC\n")
                .out,
            asked + "The CRC of IED is:\n");  // no circuits
  EXPECT_EQ(dialogue("2 " + path + "\n", 1, "ccdcrc: " + path + ": no IED named ''\n").out,
            asked + "The CRC of IED is:\n");  // input ends
}

TEST(Dialogue, ExportPrintsNothingAfterTheDirectoryPromptAndNamesItsFileOnStandardError) {
  ScratchDir out;
  const std::string path = data_path("cli_station.scd");
  const std::string asked = menu + path_prompt + name_prompt + directory_prompt;
  EXPECT_EQ(dialogue("3 " + path + " Nobody " + out.path().string() + "\n", 1,
                     "ccdcrc: " + path + ": no IED named 'Nobody'\n")
                .out,
            asked);
  const std::string missing = data_path("no-such-file.scd");
  EXPECT_EQ(
      dialogue("3 " + missing + " P1 " + out.path().string() + "\n", 2, "ccdcrc: " + missing + ": no such file\n").out,
      asked);
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));

  const std::string written = (out.path() / "P1.ccd").string();
  EXPECT_EQ(dialogue("3 " + path + " P1 " + out.path().string() + "\n", 0,
                     "ccdcrc: the CCD of IED 'P1' was written to " + written + "\n")
                .out,
            asked);
  EXPECT_TRUE(std::filesystem::exists(out.path() / "P1.ccd"));
}

// Standard output stays as it always was; what failed is said on standard
// error, and the status tells it. Answers longer than any path or name are
// not kept.
TEST(Dialogue, FailuresAreToldOnStandardErrorWithTheirStatus) {
  ScratchDir out;
  const std::string path = data_path("cli_station.scd");
  const std::string missing_dir = (out.path() / "missing").string();
  const std::string long_word(5000, 'x');
  const std::string silent = write_file(out.path() / "silent.scd", "<SCL><IED name=\"A\"/><IED name=\"B\"/></SCL>\n");
  const std::string all_asked = menu + path_prompt + "Please wait..\n";
  const std::string export_asked = menu + path_prompt + name_prompt + directory_prompt;
  struct Row {
    std::string input;
    std::string out;
    std::string err;
    int status;
  };
  const std::vector<Row> rows{
      {"1 " + long_word + "\n", all_asked, "ccdcrc: the path of the SCD file is too long\n", 2},
      {"1 " + silent + "\n", all_asked + "SCD CRC:00000000\nThe CRC of SCD is:00000000\n",
       "ccdcrc: " + silent + ": warning: none of its 2 IEDs has GOOSE or sampled-value circuits, so no IED has a CRC\n",
       0},
      {"1\n", all_asked, "ccdcrc: no SCD file was given\n", 2},
      {"2 " + path + " " + long_word + "\n", menu + path_prompt + name_prompt + "The CRC of IED is:\n",
       "ccdcrc: the IED name is too long\n", 2},
      {"2 " + path + " P10\n", menu + path_prompt + name_prompt + "The CRC of IED is:\n",
       "ccdcrc: " + path + ": no IED named 'P10'; did you mean 'P1'?\n", 1},
      // A missing directory is made, as export -o makes it.
      {"3 " + path + " P1 " + missing_dir + "\n", export_asked,
       "ccdcrc: " + missing_dir + ": the export directory did not exist and was created\nccdcrc: the CCD of IED 'P1' " +
           "was written to " + missing_dir + "/P1.ccd\n",
       0},
      {"3 " + path + " Gateway " + out.path().string() + "\n", export_asked,
       "ccdcrc: " + path + ": IED 'Gateway' has no GOOSE or sampled-value circuits, so it has no CRC\n", 1},
      {"3 " + path + " P1 " + long_word + "\n", export_asked, "ccdcrc: a path is too long\n", 2},
      // A zero byte would cut the answer short where the C functions read it.
      {"2 " + path + std::string(1, '\0') + "-rev2.scd P1\n", menu + path_prompt + name_prompt,
       "ccdcrc: an answer holds a zero byte, which no path or IED name holds\n", 2},
  };
  for (const Row& row : rows) EXPECT_EQ(dialogue(row.input, row.status, row.err).out, row.out) << row.input;
  EXPECT_EQ(directory_entries(out.path()), (std::vector<std::string>{"missing", "silent.scd"}));
  EXPECT_EQ(directory_entries(missing_dir), std::vector<std::string>{"P1.ccd"});
}

// Explorer's "Copy as path" puts a path in double quotes: it is one answer,
// blanks and all.
TEST(Dialogue, APathInDoubleQuotesIsOneAnswer) {
  ScratchDir out;
  const std::string path = (out.path() / "Station Linden.scd").string();
  std::filesystem::copy_file(data_path("cli_station.scd"), path);
  EXPECT_EQ(dialogue("2 \"" + path + "\" P1\n").out, menu + path_prompt + name_prompt + "The CRC of IED is:6F9C679D\n");
  EXPECT_EQ(dialogue("1\n\"" + path + "\"\n").out, dialogue("1 " + data_path("cli_station.scd") + "\n").out);
}

TEST(Dialogue, AnAnswerThatCannotBeWrittenIsAnError) {
  ProcessOptions options;
  options.input = "2 " + data_path("cli_station.scd") + " P1\n";
  options.stdout_file = "/dev/full";
  const ProcessResult result = run_ccdcrc({}, options);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "ccdcrc: cannot write to standard output\n");
}

TEST(Dialogue, APathIsReadUpToTheBlankAndItsRestBecomesTheIedName) {
  // The user means the file "my station.scd"; the menu reads the path "my" and
  // the IED name "station.scd". A file "my" with an IED of that name shows it.
  ScratchDir dir;
  const std::filesystem::path my = dir.path() / "my";
  std::ofstream(my) << "<SCL><IED name=\"station.scd\"><AccessPoint name=\"AP1\"><Server><LDevice inst=\"LD0\">"
                       "<LN0 lnClass=\"LLN0\" inst=\"\"><GSEControl name=\"G1\"/></LN0></LDevice></Server>"
                       "</AccessPoint></IED></SCL>\n";
  const std::string crc = run_ied_crc(my.string(), "station.scd");
  ASSERT_EQ(crc.size(), 8u);
  EXPECT_EQ(dialogue("2 " + my.string() + " station.scd\n").out,
            menu + path_prompt + name_prompt + "The CRC of IED is:" + crc + "\n");
}

}  // namespace
}  // namespace ccdcrc::testing
