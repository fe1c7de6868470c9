// `check` with lists of approved CRCs as people keep them (tests/data/approved):
// the output of `all`, spreadsheets saved as CSV or Unicode text, per-bay
// lists, lists with a wrong SCD CRC, lists of several SCDs, malformed lines,
// and lists that are hostile or no list at all. Each case is a row.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "operations/crc_runs.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

const std::string station = data_path("cli_station.scd");

std::string list(const std::string& name) { return data_path("approved/" + name); }

struct Row {
  std::vector<std::string> arguments;  // after "check"
  std::string input;                   // standard input
  std::string out;
  std::string err;
  int status;
};

void expect_rows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    std::vector<std::string> arguments{"check"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    std::string what;
    for (const std::string& word : arguments) what += word + " ";
    expect_run(arguments, row.input, row.out, row.err, row.status, what);
  }
}

const std::string no_header = "Header: not in the list -> no version or revision\n";

TEST(CliApprovals, ListsAsPeopleKeepThemAreRead) {
  const std::string all_ok = "B2: ok\nM1: ok\nP1: ok\n";
  const std::vector<Row> rows{
      {{list("station.txt"), station}, "", all_ok + "SCD CRC: ok\n" + no_header, "", 0},
      {{"-", station}, read_file(list("station.txt")), all_ok + "SCD CRC: ok\n" + no_header, "", 0},
      // A byte-order mark, semicolons, CRLF, columns in another order, lower case.
      {{list("excel.csv"), station}, "", all_ok + no_header, "", 0},
      // UTF-16 with tabs, as a spreadsheet saves "Unicode text".
      {{list("unicode.txt"), station}, "", all_ok + no_header, "", 0},
      {{list("station.json"), station},
       "",
       all_ok + "SCD CRC: ok\nHeader: no version or revision -> no version or revision\n",
       "",
       0},
      {{list("revision-1A.csv"), data_path("cli_revision_1A.scd"), "--format", "csv"},
       "",
       "name,status,approved_crc,crc,type\nB2,ok,6D9E341B,6D9E341B,ied\nM1,ok,929A6525,929A6525,ied\n"
       "P1,ok,6F9C679D,6F9C679D,ied\n,ok,A9B8997B,A9B8997B,scd\nversion,unchanged,1,1,header\n"
       "revision,unchanged,A,A,header\n",
       "",
       0},
  };
  expect_rows(rows);
}

TEST(CliApprovals, PartialListsTheScdCrcAndTheRevision) {
  const std::string changed = data_path("cli_revision_1A_changed.scd");
  const IedCrcMap now = run_all_ied_crcs(changed);
  const std::string changed_lines = "B2: changed (approved 6D9E341B, now " + now.at("B2") +
                                    ")\nP1: changed (approved 6F9C679D, now " + now.at("P1") + ")\n";
  const std::string scd_line = "SCD CRC: changed (approved A9B8997B, now " + scd_crc(now) + ")\n";
  const std::string summary =
      "ccdcrc: 2 of 3 IEDs do not match the approved CRCs\n"
      "ccdcrc: the SCD CRC does not match the approved one\n";
  const std::vector<Row> rows{
      // One bay's list fails on every other IED, unless only listed IEDs are checked.
      {{list("bay1.csv"), station},
       "",
       "B2: ok\nM1: new (now 929A6525; not in the list of approved CRCs)\nP1: ok\n" + no_header,
       "ccdcrc: 1 of 3 IEDs do not match the approved CRCs\n",
       1},
      {{list("bay1.csv"), station, "--ignore-missing"}, "", "B2: ok\nP1: ok\n" + no_header, "", 0},
      {{list("bay1.csv"), changed, "--ignore-missing", "-q"},
       "",
       changed_lines,
       "ccdcrc: 2 of 2 IEDs do not match the approved CRCs\n",
       1},
      // Every IED matches, the approved SCD CRC does not.
      {{list("wrong-scd-crc.csv"), station, "-q"},
       "",
       "SCD CRC: changed (approved DEADBEEF, now A9B8997B)\n",
       "ccdcrc: the SCD CRC does not match the approved one\n",
       1},
      {{list("wrong-scd-crc.csv"), station, "--status"}, "", "", "", 1},
      {{list("station.txt"), station, "--status"}, "", "", "", 0},
      // CRCs changed, the Header's revision did not: a warning; raised: none.
      {{list("revision-1A.csv"), changed, "-q"},
       "",
       changed_lines + scd_line,
       summary + "ccdcrc: " + changed +
           ": warning: CRCs changed, but the Header's version and revision did not (version 1, revision A)\n",
       1},
      {{list("revision-1A.csv"), data_path("cli_revision_1B_changed.scd"), "-q"},
       "",
       changed_lines + scd_line,
       summary,
       1},
  };
  expect_rows(rows);
}

// A damaged entry fails like a missing one, whatever the options: it must
// never take its IED, or the SCD CRC, out of the check.
TEST(CliApprovals, EntriesWhoseCrcCannotBeReadFailTheCheck) {
  const std::string malformed = list("malformed.csv");
  const std::string damaged = list("damaged-scd.txt");
  const std::string m1 = "M1: unreadable (the approved CRC '929A65' is not eight hexadecimal digits; now 929A6525)\n";
  const std::string q9 = "Q9: unreadable (expected 2 fields (name,crc), found 1; the SCD has no IED of this name)\n";
  const std::string checked = "B2: ok\n" + m1 + "P1: ok\n" + q9;
  const std::string lines = "ccdcrc: " + malformed + ":3: the approved CRC '929A65' is not eight hexadecimal digits\n" +
                            "ccdcrc: " + malformed + ":7: expected 2 fields (name,crc), found 1\n";
  const std::string summary =
      "ccdcrc: 2 of 4 IEDs do not match the approved CRCs (2 with an approved CRC that cannot be read)\n";
  const std::vector<Row> rows{
      {{malformed, station}, "", checked + no_header, summary, 1},
      {{malformed, station, "--warn"}, "", checked + no_header, lines + summary, 1},
      {{malformed, station, "--ignore-missing", "--skip-malformed", "-q"}, "", m1 + q9, summary, 1},
      {{malformed, station, "--status"}, "", "", "", 1},
      {{damaged, station, "-q"},
       "",
       "SCD CRC: unreadable (the approved CRC 'A9B8997' is not eight hexadecimal digits; now A9B8997B)\n",
       "ccdcrc: the approved SCD CRC cannot be read\n",
       1},
      // Lists pasted as the menu prints them, or without their CSV header.
      {{"-", station},
       "B2:6D9E341B\nM1: 929a6525\nSCD CRC:A9B8997B\nP1,6F9C679D\n",
       "B2: ok\nM1: ok\nP1: ok\nSCD CRC: ok\n" + no_header,
       "",
       0},
  };
  expect_rows(rows);
}

// Names that a spreadsheet would run as a formula, or that would reorder or
// break a terminal's line, are written so that they do not, and read back.
TEST(CliApprovals, NamesThatSpreadsheetsOrTerminalsWouldRunReadBack) {
  const std::string scd = data_path("cli_spreadsheet_names.scd");
  const std::string csv = run_ccdcrc({"all", scd, "--format", "csv"}).out;
  for (const std::string cell : {"\nied,\"'=HYPERLINK(\"\"http://x\"\")\",", "\nied,'+1,", "\nied,'@SUM(A1),"}) {
    EXPECT_NE(csv.find(cell), std::string::npos) << cell << " in\n" << csv;
  }
  const std::string text = run_ccdcrc({"all", scd}).out;
  for (const std::string name : {"back\\\\slash ", "evil\\u202Etxt.exe ", "next\\u0085line "}) {
    EXPECT_NE(text.find(name), std::string::npos) << name << " in\n" << text;
  }
  for (const std::string& list : {csv, text}) {
    ProcessOptions options;
    options.input = list;
    const ProcessResult checked = run_ccdcrc({"check", "-", scd, "--quiet"}, options);
    EXPECT_EQ(checked.status, 0) << list << checked.out << checked.err;
  }
}

// --excel: a byte-order mark first and CRLF after each record, in the CSV
// of every command; a line feed inside a quoted name stays one, and `check`
// reads such a list back.
TEST(CliApprovals, CsvWrittenForExcelReadsBack) {
  const std::string ccd = data_path("pub_golden_PROT1.ccd");
  for (const std::vector<std::string>& command :
       std::vector<std::vector<std::string>>{{"all", station},
                                             {"ied", station, "P1"},
                                             {"diff", station, station, "--all"},
                                             {"check", list("station.txt"), station},
                                             {"verify", ccd}}) {
    std::vector<std::string> arguments = command;
    arguments.insert(arguments.end(), {"--format", "csv"});
    std::string expected = "\xEF\xBB\xBF";
    for (const char c : run_ccdcrc(arguments).out) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    arguments.push_back("--excel");
    EXPECT_EQ(run_ccdcrc(arguments).out, expected) << command[0];
  }
  // The list is read as the same list without --excel.
  const std::string hostile = data_path("cli_hostile.scd");
  ProcessOptions plain, excel;
  plain.input = run_ccdcrc({"all", hostile, "--format", "csv"}).out;
  excel.input = run_ccdcrc({"all", hostile, "--format", "csv", "--excel"}).out;
  EXPECT_NE(excel.input.find(",\"line\nbreak\","), std::string::npos) << excel.input;
  const ProcessResult expected = run_ccdcrc({"check", "-", hostile}, plain);
  const ProcessResult checked = run_ccdcrc({"check", "-", hostile}, excel);
  EXPECT_NE(expected.out.find("line\\nbreak: ok\n"), std::string::npos) << expected.out;
  EXPECT_EQ(checked.out, expected.out);
  EXPECT_EQ(checked.status, expected.status);
}

TEST(CliApprovals, ListsThatCannotBeUsedStopTheCheck) {
  ScratchDir dir;
  const std::string fifo = (dir.path() / "list.fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string cannot = ": cannot read the list of approved CRCs: ";
  const std::vector<Row> rows{
      {{list("several.txt"), station},
       "",
       "",
       "ccdcrc: " + list("several.txt") + ":5: the list holds the CRCs of several SCDs; a list checks one\n",
       2},
      {{list("several.json"), station},
       "",
       "",
       "ccdcrc: " + list("several.json") + ":2: the list holds the CRCs of several SCDs; a list checks one\n",
       2},
      {{list("several.csv"), station},
       "",
       "",
       "ccdcrc: " + list("several.csv") + ":3: the list holds the CRCs of several SCDs; a list checks one\n",
       2},
      {{list("overflow.json"), station},
       "",
       "",
       "ccdcrc: " + list("overflow.json") + ":3: not valid JSON: number overflow parsing '1e309'\n",
       2},
      {{list("no-crc-column.csv"), station},
       "",
       "",
       "ccdcrc: " + list("no-crc-column.csv") +
           ":1: a header without a 'crc' column: expected a list of CRCs as 'ccdcrc all' writes it (as text, CSV or "
           "JSON), or CSV "
           "with 'name' and 'crc' columns\n",
       2},
      {{fifo, station}, "", "", "ccdcrc: " + fifo + cannot + "is not a regular file\n", 2},
      {{"/dev/zero", station}, "", "", "ccdcrc: /dev/zero" + cannot + "is not a regular file\n", 2},
      {{dir.path().string(), station},
       "",
       "",
       "ccdcrc: " + dir.path().string() + cannot + "is a directory, not a file\n",
       2},
      {{"-", station}, "", "", "ccdcrc: -" + cannot + "the input is empty\n", 2},
      {{"-", "-"},
       "",
       "",
       "ccdcrc: check: '-' (standard input) is given more than once; it can be read only once\n"
       "Run 'ccdcrc check --help' for usage.\n",
       2},
  };
  expect_rows(rows);
}

}  // namespace
}  // namespace ccdcrc::testing
