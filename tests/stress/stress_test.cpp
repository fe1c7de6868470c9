// Inputs far beyond real substations, generated at run time: nesting 100,000
// levels deep, a data set of 1,000,000 members, 40,000 members told apart by
// lnInst alone, an attribute value of 50 MB, 100,000 IEDs, 700,000 changes to
// explain. Each works within bounded time
// and memory or fails with a clear message. The time and peak memory of
// every program run are printed as "[figures]" lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ccd/builder.h"
#include "crc/canonical.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "support/generated_station.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "ccdcrc-stress-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Runs the program and prints its figures. A run that takes longer than
// `limit_seconds` is taken to be stuck (say, in work that grows with the
// square of the input): it is killed and so fails on its exit status.
ProcessResult run_measured(const std::string& what, const std::vector<std::string>& arguments, int limit_seconds = 300,
                           const std::string& program = CCDCRC_PROGRAM, ProcessOptions options = {}) {
  options.timeout_seconds = limit_seconds;
  ProcessResult result = run_process(program, arguments, options);
  std::printf("[figures] %-44s %7.2f s  %6ld MiB peak  exit %d\n", what.c_str(), result.seconds,
              result.max_rss_kb / 1024, result.status);
  std::fflush(stdout);
  return result;
}

// "NAME  CRC" lines of `all` or `ied`, as a map.
std::map<std::string, std::string> crc_lines(const std::string& out) {
  std::map<std::string, std::string> crcs;
  std::istringstream lines(out);
  std::string name, crc;
  while (lines >> name >> crc) {
    if (name == "SCD") lines >> crc;  // "SCD CRC  XXXXXXXX"
    crcs[name] = crc;
  }
  return crcs;
}

std::string canonical_text_of(const std::string& path, const std::string& ied_name) {
  std::unique_ptr<Scd> scd = load_path(path);
  EXPECT_TRUE(scd) << path;
  if (!scd) return {};
  std::unique_ptr<Ccd> ccd = build_ied_ccd(*scd, find_ied(*scd, ied_name));
  finish_ccd(ccd->root);
  return testing::canonical_ccd_text(ccd->document);
}

// The CRC an IED must have when one dimension of the station is n, worked out
// without building it: from the canonical texts at sizes 1, 2 and 3, which
// differ by one repeated piece, the text at size n is the text at size 1 with
// that piece repeated n - 1 times more.
std::string extrapolated_crc(const std::function<StationShape(std::size_t)>& shape_of, const std::string& ied_name,
                             std::size_t n, const fs::path& dir) {
  std::string texts[3];
  for (std::size_t size = 1; size <= 3; ++size) {
    const std::string path = (dir / ("small" + std::to_string(size) + ".scd")).string();
    write_station(path, shape_of(size));
    texts[size - 1] = canonical_text_of(path, ied_name);
  }
  std::size_t common = 0;
  while (common < texts[0].size() && texts[0][common] == texts[1][common]) ++common;
  const std::string head = texts[0].substr(0, common);
  const std::string tail = texts[0].substr(common);
  const std::string piece = texts[1].substr(common, texts[1].size() - texts[0].size());
  EXPECT_EQ(texts[1], head + piece + tail);
  EXPECT_EQ(texts[2], head + piece + piece + tail);

  std::uint32_t crc = crc32_of_text(0xFFFFFFFFu, head);
  for (std::size_t i = 1; i < n; ++i) crc = crc32_of_text(~crc, piece);
  crc = crc32_of_text(~crc, tail);
  std::string text = crc_hex_text(crc);
  text.insert(0, 8 - text.size(), '0');
  return text;
}

TEST(Stress, NestingOneHundredThousandLevelsDeep) {
  Scratch scratch;
  const std::string scd = (scratch.path() / "deep.scd").string();
  StationShape shape;
  shape.sdi_levels = 100000;
  shape.other_gse_levels = 100000;
  write_station(scd, shape);

  const ProcessResult all = run_measured("all, nesting 100,000 deep", {"all", scd}, 30);
  ASSERT_EQ(all.status, 0) << all.err;
  const std::map<std::string, std::string> crcs = crc_lines(all.out);
  ASSERT_EQ(crcs.size(), 3u) << all.out;  // P1, S1, SCD
  // Pinned: any change in how deep content is copied or measured shows here.
  EXPECT_EQ(crcs.at("P1"), "21F01565");
  EXPECT_EQ(crcs.at("S1"), "361E7628");
  EXPECT_LT(all.max_rss_kb, 1024 * 1024);

  const ProcessResult ied = run_measured("ied P1 S1, nesting 100,000 deep", {"ied", scd, "P1", "S1"});
  EXPECT_EQ(ied.status, 0) << ied.err;
  EXPECT_EQ(crc_lines(ied.out).at("P1"), crcs.at("P1"));
  EXPECT_EQ(crc_lines(ied.out).at("S1"), crcs.at("S1"));

  // A file with one tab per level on every line would take gigabytes: refused, with the reason.
  const fs::path out = scratch.path() / "out";
  fs::create_directory(out);
  const ProcessResult exported =
      run_measured("export --all, nesting 100,000 deep", {"export", scd, "--all", "-o", out});
  EXPECT_EQ(exported.status, 1);
  EXPECT_NE(exported.err.find("IED 'P1' cannot be exported: its CCD nests elements 100"), std::string::npos)
      << exported.err;
  EXPECT_NE(exported.err.find("files of at most 1000 levels are written"), std::string::npos) << exported.err;
  EXPECT_EQ(testing::directory_entries(out), std::vector<std::string>{});

  const ProcessResult printed = run_measured("ccd --measured, nesting 100,000 deep", {"ccd", scd, "P1", "--measured"});
  EXPECT_EQ(printed.status, 1);
  EXPECT_EQ(printed.out, "");
  EXPECT_NE(printed.err.find("levels deep"), std::string::npos) << printed.err;
}

TEST(Stress, DataSetOfOneMillionMembers) {
  Scratch scratch;
  const std::size_t members = 1000000;
  const auto shape_of = [](std::size_t n) {
    StationShape shape;
    shape.members = n;
    return shape;
  };
  const std::string expected_p1 = extrapolated_crc(shape_of, "P1", members, scratch.path());
  const std::string scd = (scratch.path() / "wide.scd").string();
  write_station(scd, shape_of(members));
  std::printf("[figures] data set of 1,000,000 members: SCD of %ju MB\n",
              static_cast<std::uintmax_t>(fs::file_size(scd) / 1000000));

  const ProcessResult all = run_measured("all, 1,000,000 members", {"all", scd}, 120);
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(crc_lines(all.out).at("P1"), expected_p1);
  EXPECT_LT(all.max_rss_kb, 4 * 1024 * 1024);

  const fs::path out = scratch.path() / "out";
  fs::create_directory(out);
  const ProcessResult exported = run_measured("export P1, 1,000,000 members", {"export", scd, "P1", "-o", out});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.out.find(expected_p1), std::string::npos) << exported.out;
  EXPECT_EQ(testing::directory_entries(out), std::vector<std::string>{"P1.ccd"});
  EXPECT_LT(exported.max_rss_kb, 4 * 1024 * 1024);
}

TEST(Stress, AttributeValueOfFiftyMegabytes) {
  Scratch scratch;
  const std::size_t length = std::size_t{50} * 1000 * 1000;
  const auto shape_of = [](std::size_t n) {
    StationShape shape;
    shape.app_id_length = n;
    return shape;
  };
  const std::string expected_p1 = extrapolated_crc(shape_of, "P1", length, scratch.path());
  const std::string scd = (scratch.path() / "long.scd").string();
  write_station(scd, shape_of(length));

  const ProcessResult all = run_measured("all, 50 MB attribute value", {"all", scd}, 60);
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(crc_lines(all.out).at("P1"), expected_p1);
  EXPECT_LT(all.max_rss_kb, 2 * 1024 * 1024);

  const fs::path out = scratch.path() / "out";
  fs::create_directory(out);
  const ProcessResult exported = run_measured("export P1, 50 MB attribute value", {"export", scd, "P1", "-o", out});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.out.find(expected_p1), std::string::npos);
  EXPECT_GT(fs::file_size(out / "P1.ccd"), length);
}

// Memory that runs out at any point gives the right CRCs or a clean failure,
// never other CRCs: the 50 MB value is copied into the CCD and measured, and
// whichever copy the limit leaves no room for fails the run.
TEST(Stress, FiftyMegabyteAttributeUnderMemoryLimits) {
  Scratch scratch;
  const std::size_t length = std::size_t{50} * 1000 * 1000;
  StationShape shape;
  shape.app_id_length = length;
  const std::string scd = (scratch.path() / "long.scd").string();
  write_station(scd, shape);
  shape.app_id_length = length - 1;
  const std::string other = (scratch.path() / "other.scd").string();
  write_station(other, shape);
  const ProcessResult expected = run_ccdcrc({"all", scd});
  ASSERT_EQ(expected.status, 0) << expected.err;

  std::size_t failed = 0;
  for (long long megabytes : {60, 120, 150, 200, 250, 300, 400, 600}) {
    ProcessOptions options;
    options.address_space_limit = megabytes << 20;
    const ProcessResult all = run_ccdcrc({"all", scd, "-j1"}, options);
    const ProcessResult diff = run_ccdcrc({"diff", scd, other, "-j1"}, options);
    for (const ProcessResult* run : {&all, &diff}) {
      if (run->status == 2) {
        EXPECT_NE(run->err.find(": not enough memory"), std::string::npos) << megabytes << " MiB: " << run->err;
        EXPECT_EQ(run->out, "") << megabytes << " MiB";
        ++failed;
      }
    }
    if (all.status != 2) {
      EXPECT_EQ(all.out, expected.out) << megabytes << " MiB: " << all.status << all.err;
    }
    if (diff.status != 2) {
      EXPECT_EQ(diff.status, 1) << megabytes << " MiB: the two SCDs differ";
    }
  }
  EXPECT_GT(failed, 0u) << "the smallest limit leaves too little memory";
}

TEST(Stress, OneHundredThousandIedsWithoutCircuits) {
  Scratch scratch;
  const std::string small = (scratch.path() / "small.scd").string();
  write_station(small, StationShape{});
  const ProcessResult reference = run_ccdcrc({"all", small});
  ASSERT_EQ(reference.status, 0) << reference.err;

  StationShape shape;
  shape.silent_ieds = 100000;
  const std::string scd = (scratch.path() / "many.scd").string();
  write_station(scd, shape);

  // The silent IEDs change no CRC.
  const ProcessResult all = run_measured("all, 100,000 IEDs without circuits", {"all", scd}, 60);
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, reference.out);

  // A mistyped name is compared with every IED name for suggestions.
  const ProcessResult missing = run_measured("ied (missing name), 100,000 IEDs", {"ied", scd, "Silent12345x"}, 60);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("did you mean 'Silent12345'"), std::string::npos) << missing.err;
  // Each one at a cost bounded per IED name: a thousand of them in one run.
  std::vector<std::string> mistyped{"ied", scd};
  for (int i = 0; i < 1000; ++i) mistyped.push_back("Silent" + std::to_string(i * 97) + "x");
  const ProcessResult many_missing = run_measured("ied (1,000 missing names), 100,000 IEDs", mistyped, 60);
  EXPECT_EQ(many_missing.status, 1);
  EXPECT_EQ(std::count(many_missing.err.begin(), many_missing.err.end(), '\n'), 1000);
  EXPECT_NE(many_missing.err.find("no IED named 'Silent97x'; did you mean 'Silent97', "), std::string::npos);

  const fs::path out = scratch.path() / "out";
  fs::create_directory(out);
  const ProcessResult exported = run_measured("export --all, 100,000 IEDs", {"export", scd, "--all", "-o", out});
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(testing::directory_entries(out), (std::vector<std::string>{"P1.ccd", "S1.ccd"}));
}

// 40,000 members that differ only in lnInst, each named by an input: each
// input is looked up by its whole reference, whether a member binds it or
// none does (the input asks for an attribute none has). Looked up by a part
// of it, and each candidate tested, they took 29 s.
TEST(Stress, FortyThousandMembersToldApartByTheirInstance) {
  Scratch scratch;
  const struct {
    bool bound;
    const char* s1;
    const char* broken;
  } rows[] = {{true, "E2404C2C", ""}, {false, "EA7FE5D4", "40000 inputs resolve to nothing (broken bindings), of S1"}};
  for (const auto& row : rows) {
    StationShape shape;
    shape.instances = 40000;
    shape.instances_bound = row.bound;
    const std::string scd = (scratch.path() / "instances.scd").string();
    write_station(scd, shape);
    const ProcessResult all =
        run_measured(row.bound ? "all, 40,000 inputs bound by lnInst" : "all, 40,000 inputs broken", {"all", scd}, 120);
    ASSERT_EQ(all.status, 0) << all.err;
    // Pinned, as the lookups by a part of the reference gave them.
    EXPECT_EQ(crc_lines(all.out).at("P1"), "FDCD58AA");
    EXPECT_EQ(crc_lines(all.out).at("S1"), row.s1);
    EXPECT_EQ(all.err.find(row.bound ? "broken" : row.broken) != std::string::npos, !row.bound) << all.err;
  }
}

// The change report names the first element changed outside an IED's CRC by
// its path, with each element's place among its siblings of the same name:
// among 40,000 unnamed members they are counted once per parent. Counted
// back from each member, they took 25 s.
TEST(Stress, ChangeReportPlacesFortyThousandUnnamedMembers) {
  Scratch scratch;
  StationShape shape;
  shape.instances = 40000;
  const std::string old_scd = (scratch.path() / "old.scd").string();
  const std::string new_scd = (scratch.path() / "new.scd").string();
  write_station(old_scd, shape);
  // A description, which no CRC covers, on the last member.
  std::string text = read_file(old_scd);
  text.insert(text.find("/>", text.find("lnInst=\"40001\"")), " desc=\"moved\"");
  write_file(new_scd, text);
  const std::string report = (scratch.path() / "report.html").string();
  const ProcessResult diff =
      run_measured("diff --format html, 40,000 unnamed members",
                   {"diff", "--format", "html", "--uncovered", "-o", report, old_scd, new_scd}, 120);
  ASSERT_EQ(diff.status, 0) << diff.err;
  EXPECT_NE(
      read_file(report).find("IED/AccessPoint[AP1]/Server[1]/LDevice[LD0]/LN0[]/DataSet[TripSet]/FCDA[40001] desc"),
      std::string::npos);
}

// A station of one publisher whose data set has `members` members, each
// naming LD0/PTRC1.Tr.general [ST], or with `renamed` another reference in
// each of the seven attributes that make it: seven changes per member.
void write_member_station(const std::string& path, std::size_t members, bool renamed) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<SCL xmlns=\"http://www.iec.ch/61850/2003/SCL\" version=\"2007\" revision=\"B\">\n"
      << "<Header id=\"members\"/>\n"
      << "<Communication><SubNetwork name=\"Station\"><ConnectedAP iedName=\"P1\" apName=\"AP1\">"
      << "<GSE ldInst=\"LD0\" cbName=\"Trip\"><Address><P type=\"APPID\">0001</P></Address></GSE>"
      << "</ConnectedAP></SubNetwork></Communication>\n"
      << "<IED name=\"P1\"><AccessPoint name=\"AP1\"><Server><LDevice inst=\"LD0\">\n"
      << "<LN0 lnClass=\"LLN0\" inst=\"\" lnType=\"LLN0_T\"><DataSet name=\"TripSet\">\n";
  const std::string member =
      renamed
          ? "<FCDA ldInst=\"LD9\" prefix=\"x\" lnClass=\"XXXX\" lnInst=\"9\" doName=\"Zz\" daName=\"zz\" fc=\"MX\"/>\n"
          : "<FCDA ldInst=\"LD0\" prefix=\"\" lnClass=\"PTRC\" lnInst=\"1\" doName=\"Tr\" daName=\"general\" "
            "fc=\"ST\"/>\n";
  for (std::size_t i = 0; i < members; ++i) out << member;
  out << "</DataSet><GSEControl name=\"Trip\" datSet=\"TripSet\" confRev=\"1\" appID=\"Trip\"/></LN0>\n"
      << "<LN lnClass=\"PTRC\" inst=\"1\" lnType=\"PTRC_T\"/>\n"
      << "</LDevice></Server></AccessPoint></IED>\n"
      << "<DataTypeTemplates><LNodeType id=\"LLN0_T\" lnClass=\"LLN0\"/>"
      << "<LNodeType id=\"PTRC_T\" lnClass=\"PTRC\"><DO name=\"Tr\" type=\"ACT_T\"/></LNodeType>"
      << "<DOType id=\"ACT_T\" cdc=\"ACT\"><DA name=\"general\" bType=\"BOOLEAN\" fc=\"ST\"/></DOType>"
      << "</DataTypeTemplates>\n</SCL>\n";
}

// The lines of a file that start with `prefix`, and its last line.
std::pair<std::size_t, std::string> lines_starting(const fs::path& path, const std::string& prefix) {
  std::ifstream in(path, std::ios::binary);
  std::size_t count = 0;
  std::string line, last;
  while (std::getline(in, line)) {
    if (line.starts_with(prefix)) ++count;
    last = std::move(line);
  }
  return {count, last};
}

// `diff --explain` writes each change as it finds it: 700,000 changes of one
// IED take the memory of its two CCDs, not of its changes. Held until
// written, they took some 800 MiB of address space as text and more than
// 1.3 GiB as JSON; the limit leaves room for the CCDs alone.
TEST(Stress, SevenHundredThousandChangesExplainedUnderAMemoryLimit) {
  Scratch scratch;
  const std::size_t members = 100000;
  const std::string old_scd = (scratch.path() / "old.scd").string();
  const std::string new_scd = (scratch.path() / "new.scd").string();
  write_member_station(old_scd, members, false);
  write_member_station(new_scd, members, true);
  ProcessOptions limited;
  limited.address_space_limit = 640ll << 20;
  limited.stdout_file = (scratch.path() / "explained").string();
  struct Row {
    std::string format;
    std::string change_prefix;  // how each change line begins
    std::string last_line;
  };
  const std::vector<Row> rows{
      {"text", "    DataSet/FCDA[",
       "    DataSet/FCDA[100000] (LD0/PTRC1.Tr.general [ST] -> LD9/xXXXX9.Zz.zz [MX]) "
       "prefix: \"\" -> \"x\""},
      {"json",
       "      {\"section\": \"GOOSEPUB\", \"element\": \"GOCBref\", \"reference\": \"P1LD0/LLN0$GO$Trip\", "
       "\"change\": \"changed\", \"path\": \"DataSet/FCDA[",
       "}"},
  };
  for (const Row& row : rows) {
    const ProcessResult diff =
        run_measured("diff --explain, 700,000 changes (" + row.format + ")",
                     {"diff", old_scd, new_scd, "--explain", "-f", row.format}, 60, CCDCRC_PROGRAM, limited);
    EXPECT_EQ(diff.status, 1) << row.format << ": " << diff.err;
    EXPECT_EQ(diff.err, "") << row.format;
    const auto [changes, last] = lines_starting(limited.stdout_file, row.change_prefix);
    EXPECT_EQ(changes, 7 * members) << row.format;
    EXPECT_EQ(last, row.last_line) << row.format;
  }
}

// The lists of hostile_lists, one at a time: each is written to a file and
// dropped before the program runs, whose peak memory would otherwise count
// this process's pages too.
std::string hostile_list(int which, const std::string& p1) {
  std::string list;
  switch (which) {
    case 0: return "name,crc\n" + std::string(10 << 20, '\n') + "P1," + p1 + "\n";
    case 1: return std::string(5 << 20, '\r') + "\n";
    case 2:
      list = "{\"ieds\": [\n";
      for (int i = 0; i < 200000; ++i) {
        if (i) list += ",\n";
        list += "{\"name\": \"Q";
        list += std::to_string(i) + "\", \"crc\": \"0000ABCD\"}";
      }
      return list + "\n]}\n";
    case 3:
      list = "name,crc\n";
      for (int i = 0; i < 200000; ++i) {
        list += 'Q';
        list += std::to_string(i) + ",0000abcd\n";
      }
      return list;
    default: return "name,crc\n" + std::string(10 << 20, 'n') + ",0000ABCD\nP1," + p1 + "\n";
  }
}

// Lists of approved CRCs that are huge or odd: each is read in time linear in
// its size and in memory for the entries kept, not for every line.
TEST(Stress, HostileListsOfApprovedCrcs) {
  Scratch scratch;
  const std::string scd = (scratch.path() / "small.scd").string();
  write_station(scd, StationShape{});
  const std::string p1 = crc_lines(run_ccdcrc({"all", scd}).out).at("P1");
  struct Row {
    std::string what;
    int status;     // with --ignore-missing
    long most_mib;  // peak memory of the run
  };
  const std::vector<Row> rows{
      {"10 MB of blank lines", 0, 40}, {"5 MB of carriage returns", 2, 40}, {"200,000 JSON entries", 1, 400},
      {"200,000 CSV entries", 1, 400}, {"a name of 10 MB", 1, 80},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string list = (scratch.path() / "list").string();
    write_file(list, hostile_list(static_cast<int>(i), p1));
    const ProcessResult result =
        run_measured("check, " + rows[i].what, {"check", list, scd, "--quiet", "--ignore-missing"}, 60);
    EXPECT_EQ(result.status, rows[i].status) << rows[i].what << ": " << result.err.substr(0, 300);
    EXPECT_LT(result.max_rss_kb / 1024, rows[i].most_mib) << rows[i].what;
  }
}

// The menu keeps no answer longer than a path or a name, however long the word typed.
TEST(Stress, MenuAnswersOfSixtyFourMegabytes) {
  Scratch scratch;
  const std::string scd = (scratch.path() / "small.scd").string();
  write_station(scd, StationShape{});
  const std::string answers = (scratch.path() / "answers").string();
  for (const std::string action : {"1", "2", "3"}) {
    {
      std::ofstream out(answers, std::ios::binary);
      out << action << ' ' << (action == "2" ? scd + " " : "") << std::string(64 << 20, 'w') << " P1 .\n";
    }
    // Through a shell, so that this process holds none of the answers.
    const ProcessResult result =
        run_measured("menu, action " + action + ", a word of 64 MB",
                     {"-c", "exec '" + std::string(CCDCRC_PROGRAM) + "' < '" + answers + "'"}, 60, "/bin/sh");
    EXPECT_EQ(result.status, 2) << action;
    EXPECT_LT(result.max_rss_kb / 1024, 48) << action;
  }
}

}  // namespace
}  // namespace ccdcrc::testing
