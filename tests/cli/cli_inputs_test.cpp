// Where an SCD comes from and what it is: standard input, pipes, FIFOs,
// gzip and zip archives, several SCDs in one run, and files that are no SCD
// or hold more than their document. Each case is a row: the arguments (or a
// shell command line), standard input, and what the program must answer.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "operations/crc_runs.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

const std::string station = data_path("cli_station.scd");

// What `all` prints for an SCD, from the library.
std::string listing(const std::string& scd) {
  const IedCrcMap crcs = run_all_ied_crcs(scd);
  std::size_t width = 7;  // "SCD CRC"
  for (const auto& [name, crc] : crcs) width = std::max(width, name.size());
  std::string text;
  for (const auto& [name, crc] : crcs) text += name + std::string(width + 2 - name.size(), ' ') + crc + "\n";
  return text + "SCD CRC" + std::string(width - 5, ' ') + scd_crc(crcs) + "\n";
}

struct Row {
  std::string what;
  std::vector<std::string> arguments;
  std::string input;  // standard input
  std::string out;
  std::string err;
  int status;
};

void expect_rows(const std::vector<Row>& rows) {
  for (const Row& row : rows) expect_run(row.arguments, row.input, row.out, row.err, row.status, row.what);
}

TEST(CliInputs, AnScdIsAFileStandardInputOrAnArchiveToldByItsBytes) {
  ScratchDir dir;
  const std::string fifo = (dir.path() / "station.fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string two = data_path("cli_two_stations.zip");
  const std::string file = listing(station);
  const std::vector<Row> rows{
      {"standard input", {"all", "-"}, read_file(station), file, "", 0},
      {"gzip on standard input", {"all", "-"}, read_file(data_path("cli_station.scd.gz")), file, "", 0},
      {"zip on standard input", {"all", "-"}, read_file(data_path("cli_station.zip")), file, "", 0},
      {"gzip", {"all", data_path("cli_station.scd.gz")}, "", file, "", 0},
      {"gzip without a telling name", {"all", data_path("cli_station_gzipped")}, "", file, "", 0},
      {"zip of one SCL file, a text and a resource fork", {"all", data_path("cli_station.zip")}, "", file, "", 0},
      {"zip of two SCL files",
       {"all", two},
       "",
       "",
       "ccdcrc: " + two +
           ": the archive holds 2 SCL files; name one with --member: 'a/cli_station.scd', "
           "'b/cmp_base.scd'\n",
       2},
      {"zip member named", {"all", two, "--member", "b/cmp_base.scd"}, "", listing(data_path("cmp_base.scd")), "", 0},
      {"zip member named, on standard input",
       {"ied", "-", "P1", "--member", "a/cli_station.scd"},
       read_file(two),
       "P1  " + run_ied_crc(station, "P1") + "\n",
       "",
       0},
      {"zip member that is not there",
       {"all", two, "--member", "c.scd"},
       "",
       "",
       "ccdcrc: " + two +
           ": the archive has no member 'c.scd'; its files: 'notes.txt', 'a/cli_station.scd', "
           "'b/cmp_base.scd'\n",
       2},
      {"zip without files",
       {"all", data_path("cli_no_files.zip")},
       "",
       "",
       "ccdcrc: " + data_path("cli_no_files.zip") + ": the archive holds no file\n",
       2},
      {"gzip cut short",
       {"all", data_path("cli_damaged.scd.gz")},
       "",
       "",
       "ccdcrc: " + data_path("cli_damaged.scd.gz") + ": the compressed data cannot be read: truncated gzip input\n",
       2},
      // An archive is intact or refused, never read around its damage.
      {"gzip whose trailer's CRC-32 is wrong",
       {"all", data_path("cli_bad_trailer.scd.gz")},
       "",
       "",
       "ccdcrc: " + data_path("cli_bad_trailer.scd.gz") +
           ": the compressed data cannot be read: the gzip trailer's CRC-32 does not match the data\n",
       2},
      {"zip member whose CRC-32 is wrong",
       {"all", data_path("cli_bad_member_crc.zip")},
       "",
       "",
       "ccdcrc: " + data_path("cli_bad_member_crc.zip") +
           ": the compressed data cannot be read: the CRC-32 of a member does not match its data\n",
       2},
      {"zip whose local header names another file",
       {"all", data_path("cli_inconsistent.zip")},
       "",
       "",
       "ccdcrc: " + data_path("cli_inconsistent.zip") +
           ": the compressed data cannot be read: the archive's central directory and its local headers disagree\n",
       2},
      {"zip with two members of one name",
       {"all", data_path("cli_same_name_twice.zip"), "--member", "station.scd"},
       "",
       "",
       "ccdcrc: " + data_path("cli_same_name_twice.zip") +
           ": the archive holds two members of one name, and which one is meant cannot be told\n",
       2},
      {"member of a plain SCD",
       {"all", station, "--member", "station.scd"},
       "",
       "",
       "ccdcrc: " + station + ": it is no zip archive, so it has no member 'station.scd'\n",
       2},
      {"member of a gzip SCD",
       {"all", data_path("cli_station.scd.gz"), "--member", "station.scd"},
       "",
       "",
       "ccdcrc: " + data_path("cli_station.scd.gz") + ": it is no zip archive, so it has no member 'station.scd'\n",
       2},
      {"zip member that is no well-formed XML",
       {"all", data_path("cli_broken.zip")},
       "",
       "",
       "ccdcrc: " + data_path("cli_broken.zip") + "(broken.scd):98:3: not well-formed XML: Start-end tags mismatch\n",
       2},
      {"empty standard input", {"all", "-"}, "", "", "ccdcrc: -: the input is empty\n", 2},
      {"standard input twice",
       {"diff", "-", "-"},
       read_file(station),
       "",
       "ccdcrc: diff: '-' (standard input) is given more than once; it can be read only once\n"
       "Run 'ccdcrc diff --help' for usage.\n",
       2},
      {"a FIFO that no program writes to",
       {"all", fifo},
       "",
       "",
       "ccdcrc: " + fifo + ": the FIFO is empty (no program writes to it)\n",
       2},
      {"a device", {"all", "/dev/zero"}, "", "", "ccdcrc: /dev/zero: is a device, not a file or a pipe\n", 2},
  };
  expect_rows(rows);
}

TEST(CliInputs, PipesAndProcessSubstitutionAsAShellGivesThem) {
  const std::string program = CCDCRC_PROGRAM;
  const std::string file = listing(station);
  const std::vector<std::pair<std::string, std::string>> rows{
      {"cat '" + station + "' | '" + program + "' all -", file},
      {"cat '" + station + "' | '" + program + "' all /dev/stdin", file},
      {"'" + program + "' all <(cat '" + station + "')", file},
      {"'" + program + "' all <(cat '" + data_path("cli_station.scd.gz") + "')", file},
      {"'" + program + "' all - < '" + data_path("cli_station.zip") + "'", file},
  };
  for (const auto& [command, out] : rows) {
    const ProcessResult result = run_process("/bin/bash", {"-c", command});
    EXPECT_EQ(result.status, 0) << command << "\n" << result.err;
    EXPECT_EQ(result.out, out) << command;
  }
}

TEST(CliInputs, SeveralScdsAreAnsweredInTurnWithTheWorstStatus) {
  const std::string base = data_path("cmp_base.scd");
  const std::string missing = data_path("no-such.scd");
  const IedCrcMap crcs = run_all_ied_crcs(station);
  const std::vector<Row> rows{
      {"text blocks",
       {"all", station, base},
       "",
       station + ":\n" + listing(station) + "\n" + base + ":\n" + listing(base),
       "",
       0},
      {"a file that cannot be read is told, the others answered",
       {"all", missing, station},
       "",
       station + ":\n" + listing(station),
       "ccdcrc: " + missing + ": no such file\n",
       2},
      {"ied with --name",
       {"ied", station, data_path("cli_station.zip"), "-n", "P1", "--name", "B2"},
       "",
       station + ":\nP1  " + crcs.at("P1") + "\nB2  " + crcs.at("B2") + "\n\n" + data_path("cli_station.zip") +
           ":\nP1  " + crcs.at("P1") + "\nB2  " + crcs.at("B2") + "\n",
       "",
       0},
      {"csv records carry their file",
       {"ied", station, base, "-n", "B2", "-f", "csv"},
       "",
       "type,name,crc,file,error\nied,B2," + crcs.at("B2") + "," + station + ",\nied,B2," +
           run_all_ied_crcs(base).at("B2") + "," + base + ",\n",
       "",
       0},
      {"an object per file",
       {"ied", station, base, "--name", "M1", "-f", "json"},
       "",
       "{\n  \"scd\": \"" + station + "\",\n  \"ieds\": [\n    {\"name\": \"M1\", \"crc\": \"" + crcs.at("M1") +
           "\"}\n  ]\n}\n{\n  \"scd\": \"" + base + "\",\n  \"ieds\": [\n    {\"name\": \"M1\", \"crc\": \"" +
           run_all_ied_crcs(base).at("M1") + "\"}\n  ]\n}\n",
       "",
       0},
  };
  expect_rows(rows);
}

TEST(CliInputs, WhatIsNoScdIsRefusedSayingWhatItIs) {
  ScratchDir dir;
  const std::string ccd = (dir.path() / "P1.ccd").string();
  ASSERT_EQ(run_ccdcrc({"export", station, "P1", "-o", dir.path().string()}).status, 0);
  const std::string not_scl = data_path("cli_not_scl.scd");
  const std::string prefixed = write_file(dir.path() / "prefixed.scd",
                                          "<scl:SCL xmlns:scl=\"http://www.iec.ch/61850/2003/SCL\">"
                                          "<scl:Header id=\"p\"/></scl:SCL>\n");
  const std::string silent =
      write_file(dir.path() / "silent.scd", "<SCL><IED name=\"A\"/><IED name=\"B\"/><IED name=\"C\"/></SCL>\n");
  const std::string one = write_file(dir.path() / "one.scd", "<SCL><IED name=\"A\"/></SCL>\n");
  const std::vector<Row> rows{
      {"a CCD file", {"all", ccd}, "", "", "ccdcrc: " + ccd + ": not an SCD file: a CCD file; use verify\n", 2},
      {"another root element",
       {"ied", not_scl, "P1"},
       "",
       "",
       "ccdcrc: " + not_scl + ": not an SCD file: an XML file whose root element is 'Substation', not 'SCL'\n",
       2},
      {"a root under a namespace prefix",
       {"all", prefixed},
       "",
       "SCD CRC  00000000\n",
       "ccdcrc: " + prefixed + ": warning: the file holds no IED, so no IED has a CRC\n",
       0},
      {"IEDs without circuits",
       {"all", silent},
       "",
       "SCD CRC  00000000\n",
       "ccdcrc: " + silent + ": warning: none of its 3 IEDs has GOOSE or sampled-value circuits, so no IED has a CRC\n",
       0},
      {"one IED without circuits",
       {"all", one},
       "",
       "SCD CRC  00000000\n",
       "ccdcrc: " + one + ": warning: its one IED has no GOOSE or sampled-value circuits, so no IED has a CRC\n",
       0},
  };
  expect_rows(rows);
}

// An SCL root under a namespace prefix is an SCD to every way in: `ied` and
// the lookup by name take the IEDs whose CRCs `all` lists.
TEST(CliInputs, APrefixedRootAnswersByNameAsItLists) {
  ScratchDir dir;
  std::string text = read_file(station);
  text.replace(text.find("<SCL "), 5, "<s:SCL xmlns:s=\"http://www.iec.ch/61850/2003/SCL\" ");
  text.replace(text.rfind("</SCL>"), 6, "</s:SCL>");
  const std::string prefixed = write_file(dir.path() / "prefixed.scd", text);
  const IedCrcMap listed = run_all_ied_crcs(prefixed);
  ASSERT_FALSE(listed.empty());
  for (const auto& [name, crc] : listed) {
    SCOPED_TRACE(name);
    EXPECT_EQ(run_ied_crc(prefixed, name), crc);
    const ProcessResult result = run_ccdcrc({"ied", prefixed, name});
    EXPECT_EQ(result.out, name + "  " + crc + "\n");
    EXPECT_EQ(result.status, 0);
  }
}

// Content the document leaves out is told, and the CRCs are those of the
// document; but an SCD read in part answers for no approval, and a file that
// also holds an archive is refused: other programs read the archive.
TEST(CliInputs, AFileReadInPartPassesNoCheckAndOneWithAnArchiveIsRefused) {
  ScratchDir dir;
  const std::string text = read_file(station);
  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  const std::string at_end = std::to_string(lines + 1) + ":1";
  const std::string approved = write_file(dir.path() / "approved.txt", listing(station));
  const std::string junk_after_zero = data_path("cli_junk_after_zero.scd");
  const std::string fails = ": the file is read only in part, so its CRCs cannot stand for an approved configuration: ";
  struct Row {
    std::string path;
    std::string warning;  // empty: read whole
  };
  const Row rows[] = {
      {junk_after_zero,
       ":" + at_end + ": warning: a zero byte ends the XML text here; the 28 bytes from it on are ignored"},
      {write_file(dir.path() / "zeros.scd", text + std::string(3, '\0')),
       ":" + at_end + ": warning: a zero byte ends the XML text here; the 3 bytes from it on are ignored"},
      {write_file(dir.path() / "second-root.scd", text + "<SCL><IED name=\"X\"/></SCL>\n"),
       ":" + at_end + ": warning: content after the document element is ignored (an SCD has one root element)"},
      {write_file(dir.path() / "text.scd", text + "  trailing words\n"),
       ":" + std::to_string(lines + 1) + ":3: warning: text after the document element is ignored"},
      {write_file(dir.path() / "large-zero.scd", text + std::string(1, '\0') + std::string(100000, 'x')),
       ":" + at_end + ": warning: a zero byte ends the XML text here; the 100001 bytes from it on are ignored"},
      {write_file(dir.path() / "comment.scd", text + "<!-- signed -->\n<?pi?>\n\x1a"), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    const ProcessResult all = run_ccdcrc({"all", row.path});
    EXPECT_EQ(all.out, listing(station));
    const ProcessResult check = run_ccdcrc({"check", approved, row.path});
    if (row.warning.empty()) {
      EXPECT_EQ(all.status, 0) << all.err;
      EXPECT_EQ(check.status, 0) << check.err;
      continue;
    }
    EXPECT_EQ(all.status, 2);
    EXPECT_EQ(all.err.find("ccdcrc: " + row.path + row.warning), 0u) << all.err;
    EXPECT_NE(all.err.find("ccdcrc: " + row.path + fails), std::string::npos) << all.err;
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.err.find(fails), std::string::npos) << check.err;
  }
  // The file of an SCD with a zip archive appended (as `zip -A` leaves it),
  // and one with gzip data after the document: refused by every command.
  const std::string gzip_appended = write_file(dir.path() / "gzip.scd", text + read_file(station + ".gz"));
  for (const std::string& path : {data_path("cli_scd_and_zip.bin"), gzip_appended}) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"all", path}, {"check", approved, path}, {"diff", station, path}}) {
      SCOPED_TRACE(command.front() + " " + path);
      const ProcessResult result = run_ccdcrc(command);
      EXPECT_EQ(result.status, 2);
      EXPECT_EQ(result.out, "");
      EXPECT_NE(result.err.find("ccdcrc: " + path + ": the file holds both an XML document and "), std::string::npos)
          << result.err;
    }
  }
  // diff and verify answer for approvals too.
  EXPECT_EQ(run_ccdcrc({"diff", station, junk_after_zero, "--quiet"}).status, 2);
  EXPECT_EQ(run_ccdcrc({"diff", station, junk_after_zero}).status, 2);
  ScratchDir out;
  ASSERT_EQ(run_ccdcrc({"export", station, "--all", "-o", out.path().string()}).status, 0);
  const std::string exported = (out.path() / "P1.ccd").string();
  EXPECT_EQ(run_ccdcrc({"verify", exported, "--scd", junk_after_zero}).status, 2);
  EXPECT_EQ(
      run_ccdcrc({"verify", write_file(dir.path() / "P1.ccd", read_file(exported) + std::string(1, '\0'))}).status, 2);
}

}  // namespace
}  // namespace ccdcrc::testing
