// What the command line says when something is wrong, and where it says it:
// messages on standard error, nothing on standard output, a telling exit
// status; and the progress display, which only a terminal gets.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "operations/crc_runs.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

const std::string station = data_path("cli_station.scd");

// One command of each kind on an SCD path; export also needs a directory.
std::vector<std::vector<std::string>> every_command(const std::string& scd, const std::string& directory) {
  return {{"all", scd},
          {"ied", scd, "P1"},
          {"export", scd, "P1", "-o", directory},
          {"export", scd, "--all", "-o", directory},
          {"ccd", scd, "P1"},
          {"ccd", scd, "P1", "--measured"}};
}

void expect_failure(const ProcessResult& result, int status, const std::string& err, const std::string& what) {
  EXPECT_EQ(result.status, status) << what;
  EXPECT_EQ(result.out, "") << what;
  EXPECT_EQ(result.err, err) << what;
}

TEST(CliErrors, AnScdThatCannotBeLoadedIsNamedWithTheReasonAndStatusTwo) {
  ScratchDir dir;
  const std::string missing = (dir.path() / "missing.scd").string();
  const std::string empty = (dir.path() / "empty.scd").string();
  const std::string malformed = (dir.path() / "malformed.scd").string();
  const std::string binary = (dir.path() / "binary.scd").string();
  write_file(empty, "");
  std::ofstream(malformed) << "<?xml version=\"1.0\"?>\n<SCL>\n\t<IED name=\"P1\">\n\t</IDE>\n</SCL>\n";
  std::ofstream(binary) << "\x80\x81\xfe\xc3\x28";
  // Large files are read differently from small ones; the reports are the same.
  const std::string large_malformed = (dir.path() / "large-malformed.scd").string();
  const std::string large_binary = (dir.path() / "large-binary.scd").string();
  std::ofstream(large_malformed) << "<?xml version=\"1.0\"?>\n<SCL>\n"
                                 << std::string(100000, '\n') << "\t<IED name=\"P1\">\n\t</IDE>\n</SCL>\n";
  std::ofstream(large_binary) << std::string(100000, '\x80') << "\x81\xfe\xc3\x28";
  const std::string out = (dir.path() / "out").string();
  std::filesystem::create_directory(out);

  const std::vector<std::pair<std::string, std::string>> cases{
      {missing, "ccdcrc: " + missing + ": no such file\n"},
      {missing + "/x.scd", "ccdcrc: " + missing + "/x.scd: no such file\n"},
      {dir.path().string(), "ccdcrc: " + dir.path().string() + ": is a directory, not a file\n"},
      {empty, "ccdcrc: " + empty + ": the file is empty\n"},
      {malformed, "ccdcrc: " + malformed + ":4:4: not well-formed XML: Start-end tags mismatch\n"},
      {binary, "ccdcrc: " + binary + ":1:6: not well-formed XML: No document element found\n"},
      {large_malformed, "ccdcrc: " + large_malformed + ":100004:4: not well-formed XML: Start-end tags mismatch\n"},
      {large_binary, "ccdcrc: " + large_binary + ":1:100005: not well-formed XML: No document element found\n"},
  };
  for (const auto& [path, err] : cases) {
    for (const std::vector<std::string>& command : every_command(path, out)) {
      expect_failure(run_ccdcrc(command), 2, err, command[0] + " " + path);
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

// Runs as an ordinary user when the tests run as root, so that permissions bite.
ProcessResult run_unprivileged(const std::vector<std::string>& arguments) {
  ProcessOptions options;
  options.unprivileged = true;
  return run_ccdcrc(arguments, options);
}

bool program_runs_unprivileged() {
  const ProcessResult probe = run_unprivileged({"--version"});
  return probe.status == 0 && !probe.exec_failed;
}

// Threads that cannot start (a process limit, no memory) leave the work to
// fewer threads, the calling one at least: the same answer, never an abort.
TEST(CliErrors, ThreadsThatCannotStartLeaveTheWorkToFewer) {
#ifndef CCDCRC_NO_THREADS
  GTEST_SKIP() << "the library that refuses threads is built without sanitizers only";
#else
  const std::string station = example_path("substation.scd");
  const std::string rev2 = example_path("substation_rev2.scd");
  // Runs the program in a directory of its own, with the given preload.
  const auto run = [](const std::vector<std::string>& arguments, const std::string& preload) {
    ScratchDir dir;
    std::string command = "cd '" + dir.path().string() + "' && LD_PRELOAD='" + preload + "' '" CCDCRC_PROGRAM "'";
    for (const std::string& word : arguments) command += " '" + word + "'";
    return run_process("/bin/bash", {"-c", command});
  };
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"all", station, "--jobs", "4"},
                                                    {"export", station, "--all", "-o", "."},
                                                    {"diff", station, rev2, "--explain", "--jobs", "4"}}) {
    const ProcessResult expected = run(arguments, "");
    const ProcessResult refused = run(arguments, CCDCRC_NO_THREADS);
    EXPECT_EQ(refused.status, expected.status) << arguments.front() << "\n" << refused.err;
    EXPECT_EQ(refused.out, expected.out) << arguments.front();
  }
#endif
}

TEST(CliErrors, PermissionDeniedOnTheScdOrTheExportDirectory) {
  if (!program_runs_unprivileged()) GTEST_SKIP() << "the test program cannot be run as an ordinary user here";
  ScratchDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const std::string locked = (dir.path() / "locked.scd").string();
  std::filesystem::copy_file(station, locked);
  ::chmod(locked.c_str(), 0);
  const std::string out = (dir.path() / "out").string();
  std::filesystem::create_directory(out);
  ::chmod(out.c_str(), 0777);
  for (const std::vector<std::string>& command : every_command(locked, out)) {
    expect_failure(run_unprivileged(command), 2, "ccdcrc: " + locked + ": permission denied\n", command[0]);
  }

  const std::string read_only = (dir.path() / "read-only").string();
  std::filesystem::create_directory(read_only);
  ::chmod(read_only.c_str(), 0555);
  for (const std::string selection : {"P1", "--all"}) {
    expect_failure(run_unprivileged({"export", station, selection, "-o", read_only}), 2,
                   "ccdcrc: " + read_only + ": the export directory is not writable: Permission denied\n", selection);
  }
  EXPECT_TRUE(std::filesystem::is_empty(read_only));
}

TEST(CliErrors, AMissingExportDirectoryIsMadeAndAFileInItsPlaceIsRefused) {
  ScratchDir dir;
  const std::string missing = (dir.path() / "missing/ccd").string();
  const std::string made = "ccdcrc: " + missing + ": the export directory did not exist and was created\n";
  const ProcessResult exported = run_ccdcrc({"export", station, "P1", "-o", missing});
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.err, made);
  EXPECT_TRUE(std::filesystem::is_regular_file(missing + "/P1.ccd"));
  EXPECT_EQ(run_ccdcrc({"export", station, "P1", "-o", missing}).err, "") << "made only once";

  const std::string other = (dir.path() / "other").string();
  const std::string beneath_a_file = station + "/ccd";
  struct Case {
    std::vector<std::string> command;
    std::string err;
  };
  const Case cases[] = {
      {{"export", station, "--all", "-o", station},
       "ccdcrc: " + station + ": the export directory is not a directory\n"},
      {{"export", station, "P1", "-o", beneath_a_file},
       "ccdcrc: " + beneath_a_file + ": the export directory does not exist\n"},
      // The directory comes first: a large SCD is not loaded in vain.
      {{"export", "no-such.scd", "P1", "-o", other},
       "ccdcrc: " + other +
           ": the export directory did not exist and was created\nccdcrc: no-such.scd: no such file\n"},
  };
  for (const Case& row : cases) expect_failure(run_ccdcrc(row.command), 2, row.err, row.command.back());
}

TEST(CliErrors, ARootOtherThanSclIsRefusedSayingWhatTheFileIs) {
  // The C functions take the IEDs under any root; the command line refuses such a file.
  const std::string path = data_path("cli_not_scl.scd");
  const std::string refusal =
      "ccdcrc: " + path + ": not an SCD file: an XML file whose root element is 'Substation', not 'SCL'\n";
  ASSERT_EQ(run_all_ied_crcs(path).size(), 1u);
  ScratchDir out;
  std::vector<std::vector<std::string>> commands = every_command(path, out.path().string());
  commands.push_back({"diff", path, station});
  for (const std::vector<std::string>& command : commands) {
    const ProcessResult result = run_ccdcrc(command);
    EXPECT_EQ(result.status, 2) << command[0];
    EXPECT_EQ(result.err, refusal) << command[0];
  }
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

TEST(CliErrors, AnUnknownIedNameGetsCloseNamesSuggested) {
  const auto err_for = [](const std::string& path, const std::string& name) {
    const ProcessResult result = run_ccdcrc({"ied", path, name});
    EXPECT_EQ(result.status, 1) << name;
    return result.err;
  };
  const std::string prefix = "ccdcrc: " + station + ": no IED named ";
  EXPECT_EQ(err_for(station, "P10"), prefix + "'P10'; did you mean 'P1'?\n");
  EXPECT_EQ(err_for(station, "gateway"), prefix + "'gateway'; did you mean 'Gateway'?\n");
  EXPECT_EQ(err_for(station, "Gate"), prefix + "'Gate'; did you mean 'Gateway'?\n");
  EXPECT_EQ(err_for(station, "Zebra"), prefix + "'Zebra'\n");
  const std::string hostile = data_path("cli_hostile.scd");
  EXPECT_EQ(err_for(hostile, "bay"), "ccdcrc: " + hostile + ": no IED named 'bay'; did you mean 'Bay1', 'Bay2'?\n");

  ScratchDir dir;
  const std::string no_ieds = (dir.path() / "no-ieds.scd").string();
  std::ofstream(no_ieds) << "<SCL><Header id=\"x\"/></SCL>\n";
  EXPECT_EQ(err_for(no_ieds, "P1"), "ccdcrc: " + no_ieds + ": no IED named 'P1' (the file has no IED at all)\n");

  const ProcessResult ccd = run_ccdcrc({"ccd", station, "Gateway"});
  expect_failure(ccd, 1,
                 "ccdcrc: " + station + ": IED 'Gateway' has no GOOSE or sampled-value circuits, so it has no CRC\n",
                 "ccd");
}

// As Windows' Explorer starts a program for a file dropped onto it, and as
// Windows asks for help.
TEST(CliUsage, AFileAloneRunsAllAndSlashQuestionMarkAsksForHelp) {
  EXPECT_EQ(run_ccdcrc({station}).out, run_ccdcrc({"all", station}).out);
  EXPECT_EQ(run_ccdcrc({"/?"}).out, run_ccdcrc({"--help"}).out);
  EXPECT_EQ(run_ccdcrc({"all", "/?"}).out, run_ccdcrc({"all", "--help"}).out);
}

TEST(CliUsage, UsageErrorsGiveStatusTwoAndPointToTheHelp) {
  const std::vector<std::vector<std::string>> mistakes{
      {"bogus"},
      {"all"},
      {"all", station, "--member"},
      {"all", station, "--format", "xml"},
      {"all", station, "--no-such-option"},
      {"ied", station},
      {"ccd", station},
      {"ccd", station, "P1", "P2"},
      {"export", station, "P1"},
      {"export", station, "-o", "."},
      {"export", station, "P1", "--all", "-o", "."},
      {"ied", station, "P1", "--format", "xml"},
      {"all", station, "--excel"},
      {"check", station, station, "--format", "json", "--excel"},
  };
  for (const std::vector<std::string>& arguments : mistakes) {
    const ProcessResult result = run_ccdcrc(arguments);
    std::string what;
    for (const std::string& word : arguments) what += word + " ";
    EXPECT_EQ(result.status, 2) << what;
    EXPECT_EQ(result.out, "") << what;
    EXPECT_TRUE(result.err.starts_with("ccdcrc: ")) << what << result.err;
    EXPECT_NE(result.err.find("--help' for usage.\n"), std::string::npos) << what << result.err;
  }
  EXPECT_EQ(run_ccdcrc({"bogus", station}).err,
            "ccdcrc: unknown command 'bogus' (the commands are all, ied, export, ccd, diff, check, verify, history and "
            "bindings)\n"
            "Run 'ccdcrc --help' for usage.\n");
  EXPECT_EQ(run_ccdcrc({"--frobnicate"}).err,
            "ccdcrc: unknown option '--frobnicate'\nRun 'ccdcrc --help' for usage.\n");
  EXPECT_EQ(run_ccdcrc({"all", station, "--format", "xml"}).err,
            "ccdcrc: all: --format: xml not in {text,json,csv}\nRun 'ccdcrc all --help' for usage.\n");
  EXPECT_EQ(run_ccdcrc({"export", station, "-o", "."}).err,
            "ccdcrc: export: name the IEDs to export or give --all (one of the two)\n"
            "Run 'ccdcrc export --help' for usage.\n");
}

TEST(CliUsage, HelpShowsAnExampleOfEveryCommandAndVersionTheVersion) {
  const ProcessResult help = run_ccdcrc({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  for (const std::string command : {"all", "ied", "export", "ccd"}) {
    EXPECT_NE(help.out.find("\n  " + command + " "), std::string::npos) << command;
    EXPECT_NE(help.out.find("  ccdcrc " + command + " station.scd"), std::string::npos) << command;

    const ProcessResult command_help = run_ccdcrc({command, "--help"});
    EXPECT_EQ(command_help.status, 0) << command;
    EXPECT_NE(command_help.out.find("Usage: ccdcrc " + command + " "), std::string::npos) << command_help.out;
    EXPECT_NE(command_help.out.find("Examples:\n  ccdcrc " + command + " station.scd"), std::string::npos)
        << command_help.out;
  }
  EXPECT_NE(run_ccdcrc({"all", "--help"}).out.find("-f,--format text|json|csv"), std::string::npos);
  EXPECT_NE(run_ccdcrc({"export", "--help"}).out.find("--all"), std::string::npos);
  EXPECT_NE(run_ccdcrc({"ccd", "--help"}).out.find("--measured"), std::string::npos);

  const ProcessResult version = run_ccdcrc({"--version"});
  EXPECT_EQ(version.status, 0);
  // The version, what it was built with, what it reads.
  EXPECT_TRUE(
      std::regex_match(version.out, std::regex("ccdcrc [0-9]+\\.[0-9]+\\.[0-9]+\n"
                                               "built with pugixml [0-9]+\\.[0-9]+, libzip [0-9.]+ and zlib [0-9.]+\n"
                                               "reads SCL files .* gzip-compressed or in zip archives.*\n")))
      << version.out;
}

TEST(CliOutput, ProgressIsShownOnATerminalOnlyAndCleared) {
  ProcessOptions terminal;
  terminal.stderr_on_terminal = true;
  ScratchDir out;
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"all", station}, {"export", station, "--all", "-o", out.path().string()}}) {
    const ProcessResult shown = run_ccdcrc(command, terminal);
    EXPECT_EQ(shown.status, 0) << command[0];
    EXPECT_NE(shown.err.find("\r\033[K0/4 IEDs, "), std::string::npos) << command[0] << shown.err;
    EXPECT_NE(shown.err.find("\r\033[K4/4 IEDs, "), std::string::npos) << command[0] << shown.err;
    EXPECT_TRUE(shown.err.ends_with("\r\033[K")) << "the line is cleared at the end";
    EXPECT_EQ(shown.err.find('\n'), std::string::npos) << "no line is left behind";
    EXPECT_EQ(shown.out, run_ccdcrc(command).out) << "standard output carries only results";

    std::vector<std::string> quiet = command;
    quiet.push_back("--quiet");
    EXPECT_EQ(run_ccdcrc(quiet, terminal).err, "") << command[0];
    EXPECT_EQ(run_ccdcrc(command).err, "") << "standard error is no terminal";
  }

  // A message on a terminal replaces the progress line and keeps its own.
  const ProcessResult failed = run_ccdcrc({"all", "no-such.scd"}, terminal);
  EXPECT_EQ(failed.status, 2);
  EXPECT_NE(failed.err.find("ccdcrc: no-such.scd: no such file\r\n"), std::string::npos) << failed.err;
}

TEST(CliOutput, AFailedWriteToStandardOutputIsAnError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ProcessOptions full;
  full.stdout_file = "/dev/full";
  const ProcessResult result = run_ccdcrc({"all", station}, full);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "ccdcrc: cannot write to standard output\n");
}

}  // namespace
}  // namespace ccdcrc::testing
