// diff, check and verify, run as a user runs them: on fixture pairs that differ
// in one aspect each, on lists of approved CRCs written by `all`, and on CCD
// files written by `export`.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "operations/crc_runs.h"
#include "support/generated_station.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

const std::string base = data_path("cmp_base.scd");

std::string fixture(const std::string& aspect) { return data_path("cmp_" + aspect + ".scd"); }

// The table line of `diff`: name, old and new CRC ("-" for none), status.
std::string row(const std::string& name, const std::string& old_crc, const std::string& new_crc,
                const std::string& status) {
  const auto cell = [](std::string text) {
    text.resize(8, ' ');
    return text;
  };
  std::string line = name;
  line.resize(std::max<std::size_t>(name.size(), 7), ' ');
  return line + "  " + cell(old_crc.empty() ? "-" : old_crc) + "  " + cell(new_crc.empty() ? "-" : new_crc) + "  " +
         status + "\n";
}

std::string crc_of(const IedCrcMap& crcs, const std::string& name) {
  auto found = crcs.find(name);
  return found == crcs.end() ? "" : found->second;
}

// The Header line of fixtures that record no version or revision.
const std::string no_revisions = "Header: no version or revision -> no version or revision\n";

// The explanation of IED `name` between cmp_base and the fixture of `aspect`: its heading and lines.
std::string explanation(const std::string& aspect, const std::string& name, const std::string& lines) {
  const auto shown = [](const std::string& crc) { return crc.empty() ? std::string("-") : crc; };
  return "\n" + name + ": " + shown(crc_of(run_all_ied_crcs(base), name)) + " -> " +
         shown(crc_of(run_all_ied_crcs(fixture(aspect)), name)) + "\n" + lines;
}

TEST(CliDiff, ListsEveryIedOfEitherFileWithItsStatusThenTheScdCrcs) {
  const IedCrcMap old_crcs = run_all_ied_crcs(base);
  const IedCrcMap new_crcs = run_all_ied_crcs(fixture("ieds"));
  const ProcessResult ieds = run_ccdcrc({"diff", base, fixture("ieds"), "--all"});
  EXPECT_EQ(ieds.status, 1);
  EXPECT_EQ(ieds.err, "");
  EXPECT_EQ(ieds.out, row("B2", old_crcs.at("B2"), new_crcs.at("B2"), "unchanged") +
                          row("Gateway", "", "", "unchanged") +
                          row("M1", old_crcs.at("M1"), new_crcs.at("M1"), "unchanged") +
                          row("P1", old_crcs.at("P1"), new_crcs.at("P1"), "unchanged") +
                          row("P2", old_crcs.at("P2"), "", "removed") + row("P3", "", new_crcs.at("P3"), "added") +
                          row("SCD CRC", scd_crc(old_crcs), scd_crc(new_crcs), "changed") + no_revisions);

  // By default only what changed.
  const IedCrcMap circuit_crcs = run_all_ied_crcs(fixture("circuits"));
  const ProcessResult circuits = run_ccdcrc({"diff", base, fixture("circuits")});
  EXPECT_EQ(circuits.status, 1);
  EXPECT_EQ(circuits.out, row("Gateway", "", circuit_crcs.at("Gateway"), "gained") +
                              row("P2", old_crcs.at("P2"), "", "lost") +
                              row("SCD CRC", scd_crc(old_crcs), scd_crc(circuit_crcs), "changed") + no_revisions);

  // Descriptions are not measured: nothing changed.
  const ProcessResult descriptions = run_ccdcrc({"diff", base, fixture("desc"), "--explain"});
  EXPECT_EQ(descriptions.status, 0) << descriptions.err;
  EXPECT_EQ(descriptions.err, "");
  EXPECT_EQ(descriptions.out.find("  changed"), std::string::npos) << descriptions.out;
  EXPECT_EQ(run_ccdcrc({"diff", base, fixture("desc")}).out,
            row("SCD CRC", scd_crc(old_crcs), scd_crc(old_crcs), "unchanged") + no_revisions);
}

TEST(CliDiff, ExplainsEveryChangedIedInTheCcdsOwnTerms) {
  const auto explained = [](const std::string& aspect) {
    const ProcessResult result = run_ccdcrc({"diff", base, fixture(aspect), "--explain", "--jobs", "2"});
    EXPECT_EQ(result.status, 1) << aspect;
    EXPECT_EQ(result.err, "") << aspect;
    return result.out.substr(result.out.find("\n\n") + 1);
  };
  const std::string goosesub = "  GOOSESUB GOCBref P1LD0/LLN0$GO$Trip changed:\n";
  const std::string goosepub = "  GOOSEPUB GOCBref P1LD0/LLN0$GO$Trip changed:\n";

  const std::string conf_rev = "    GSEControl confRev: \"1\" -> \"2\"\n";
  EXPECT_EQ(explained("attribute"),
            explanation("attribute", "B2", goosesub + conf_rev) + explanation("attribute", "P1", goosepub + conf_rev));

  const std::string app_id = "    ConnectedAP/GSE/Address/P[type=APPID] text: \"0001\" -> \"0011\"\n";
  EXPECT_EQ(explained("address"),
            explanation("address", "B2", goosesub + app_id) + explanation("address", "P1", goosepub + app_id));

  EXPECT_EQ(explained("member"),
            explanation("member", "B2",
                        goosesub + "    DataSet/FCDA[3] (LD0/PTRC1.Tr.q [ST]) added: "
                                   "<FCDA bType=\"Quality\"><intAddr name=\"NULL\"/></FCDA>\n") +
                explanation("member", "P1",
                            goosepub + "    DataSet/FCDA[3] (LD0/PTRC1.Tr.q [ST]) added: <FCDA bType=\"Quality\" "
                                       "daName=\"q\" doName=\"Tr\" fc=\"ST\" ldInst=\"LD0\" lnClass=\"PTRC\" "
                                       "lnInst=\"1\" prefix=\"\"/>\n"));

  EXPECT_EQ(explained("intaddr"),
            explanation("intaddr", "B2",
                        goosesub + "    DataSet/FCDA[2] (LD0/PTRC1.Op.general [ST])/intAddr[1] name: "
                                   "\"CTRL/GGIO1.Ind2.stVal\" -> \"CTRL/GGIO1.Ind3.stVal\"\n"));

  const std::string btypes =
      "    DataSet/FCDA[1] (LD0/PTRC1.Tr.general [ST]) bType: \"BOOLEAN\" -> \"INT32\"\n"
      "    DataSet/FCDA[2] (LD0/PTRC1.Op.general [ST]) bType: \"BOOLEAN\" -> \"INT32\"\n";
  EXPECT_EQ(explained("btype"),
            explanation("btype", "B2", goosesub + btypes) + explanation("btype", "P1", goosepub + btypes) +
                explanation("btype", "P2",
                            "  GOOSEPUB GOCBref P2LD0/LLN0$GO$Status changed:\n"
                            "    DataSet/FCDA[1] (LD0/PTRC1.Op.general [ST]) bType: \"BOOLEAN\" -> \"INT32\"\n"));

  // IEDs added or gaining a CRC are shown with the circuits they now have;
  // those removed or losing their CRC are not explained.
  EXPECT_EQ(explained("ieds"), explanation("ieds", "P3", "  GOOSEPUB GOCBref P3LD0/LLN0$GO$Status appeared\n"));
  EXPECT_EQ(explained("circuits"),
            explanation("circuits", "Gateway", "  GOOSESUB GOCBref P1LD0/LLN0$GO$Trip appeared\n"));
}

TEST(CliDiff, ExplainsOnlyTheNamedIeds) {
  const ProcessResult named = run_ccdcrc({"diff", base, fixture("btype"), "--explain", "P2", "M1"});
  EXPECT_EQ(named.status, 1);
  EXPECT_EQ(named.err,
            "ccdcrc: IED 'M1' is unchanged; only IEDs whose CRC changed, that were added or that gained a CRC are "
            "explained\n");
  EXPECT_EQ(named.out.substr(named.out.find("\n\n") + 1),
            explanation("btype", "P2",
                        "  GOOSEPUB GOCBref P2LD0/LLN0$GO$Status changed:\n"
                        "    DataSet/FCDA[1] (LD0/PTRC1.Op.general [ST]) bType: \"BOOLEAN\" -> \"INT32\"\n"));

  const ProcessResult unknown = run_ccdcrc({"diff", base, fixture("btype"), "--explain", "P9"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "ccdcrc: no IED named 'P9' in " + base + " or " + fixture("btype") + "\n");
  EXPECT_NE(unknown.out.find("SCD CRC"), std::string::npos) << "the comparison is still shown";
}

TEST(CliDiff, JsonAndCsvCarryTheStatusesAndJsonTheExplanation) {
  const IedCrcMap old_crcs = run_all_ied_crcs(base);
  const IedCrcMap new_crcs = run_all_ied_crcs(fixture("attribute"));
  const ProcessResult json =
      run_ccdcrc({"diff", base, fixture("attribute"), "--format", "json", "--explain", "P1", "--all"});
  EXPECT_EQ(json.status, 1);
  const auto document = nlohmann::json::parse(json.out);
  EXPECT_EQ(document["old"], base);
  EXPECT_EQ(document["new"], fixture("attribute"));
  EXPECT_EQ(document["scd_crc"],
            (nlohmann::json{{"old", scd_crc(old_crcs)}, {"new", scd_crc(new_crcs)}, {"status", "changed"}}));
  ASSERT_EQ(document["ieds"].size(), 5u);
  EXPECT_EQ(document["ieds"][1],
            (nlohmann::json{{"name", "Gateway"}, {"old_crc", nullptr}, {"new_crc", nullptr}, {"status", "unchanged"}}));
  EXPECT_EQ(document["ieds"][0]["status"], "changed");
  EXPECT_FALSE(document["ieds"][0].contains("changes")) << "B2 was not named";
  EXPECT_EQ(document["ieds"][3], (nlohmann::json{{"name", "P1"},
                                                 {"old_crc", old_crcs.at("P1")},
                                                 {"new_crc", new_crcs.at("P1")},
                                                 {"status", "changed"},
                                                 {"changes",
                                                  {{{"section", "GOOSEPUB"},
                                                    {"element", "GOCBref"},
                                                    {"reference", "P1LD0/LLN0$GO$Trip"},
                                                    {"change", "changed"},
                                                    {"path", "GSEControl"},
                                                    {"kind", "attribute"},
                                                    {"subject", "confRev"},
                                                    {"old", "1"},
                                                    {"new", "2"}}}}}));

  const ProcessResult csv = run_ccdcrc({"diff", base, fixture("ieds"), "--format", "csv"});
  EXPECT_EQ(csv.status, 1);
  EXPECT_EQ(csv.out, "type,name,old_crc,new_crc,status\nied,P2," + old_crcs.at("P2") + ",,removed\nied,P3,," +
                         run_all_ied_crcs(fixture("ieds")).at("P3") + ",added\nscd,," + scd_crc(old_crcs) + "," +
                         scd_crc(run_all_ied_crcs(fixture("ieds"))) +
                         ",changed\nheader,version,,,unchanged\nheader,revision,,,unchanged\n");

  const ProcessResult csv_explain = run_ccdcrc({"diff", base, base, "--format", "csv", "--explain"});
  EXPECT_EQ(csv_explain.status, 2);
  EXPECT_EQ(csv_explain.err,
            "ccdcrc: diff: --explain is written as text or JSON, not as CSV\n"
            "Run 'ccdcrc diff --help' for usage.\n");
}

// The IEDs whose explanation headings ("NAME: OLD -> NEW") the text output
// holds, in their order, and how many changes it tells: the lines of a
// reference that appeared or disappeared, of a change inside a reference and
// of a change outside the references.
std::pair<std::vector<std::string>, std::size_t> explained_in(const std::string& text) {
  std::vector<std::string> headings;
  std::size_t changes = 0;
  std::istringstream lines(text.substr(text.find("\nHeader: ") + 1));
  std::string line;
  std::getline(lines, line);  // the Header line
  while (std::getline(lines, line)) {
    if (line.starts_with("    ") || (line.starts_with("  ") && !line.ends_with(":"))) {
      ++changes;
    } else if (!line.empty() && line[0] != ' ') {
      headings.push_back(line.substr(0, line.find(": ")));
    }
  }
  return {headings, changes};
}

// The changes are written as they are found, a window of IEDs built and
// compared at a time (an IED with very many changes is compared again as it
// is written): the output is the same on any number of threads, each IED
// explained once in the order of the table, and the JSON is one document that
// tells the same changes as the text.
TEST(CliDiff, ExplanationsAreTheSameOnAnyNumberOfThreads) {
  ScratchDir scratch;
  const auto station = [&scratch](const std::string& name, const StationShape& shape) {
    std::string path = (scratch.path() / name).string();
    write_station(path, shape);
    return path;
  };
  // Fourteen IEDs that differ: windows of every size end between them.
  StationShape many_ieds;
  many_ieds.publishers = 12;
  const std::string many_old = station("many_old.scd", many_ieds);
  many_ieds.app_id_length = 8;
  const std::string many_new = station("many_new.scd", many_ieds);
  // Two IEDs with 10,000 added data-set members each: more changes than are collected.
  StationShape wide;
  const std::string narrow_scd = station("narrow.scd", wide);
  wide.members = 10001;
  const std::string wide_scd = station("wide.scd", wide);

  struct Row {
    std::string old_scd, new_scd;
    std::vector<std::string> options;
    std::vector<std::string> explained;                // in the order they are told
    std::size_t changes;                               // lines that tell a change
    std::vector<std::string> jobs = {"2", "3", "16"};  // compared with --jobs 1
  };
  const std::vector<Row> rows{
      {base, fixture("btype"), {"--explain"}, {"B2", "P1", "P2"}, 5},
      {base, fixture("btype"), {"--explain", "P2", "B2", "P2"}, {"B2", "P2"}, 3},
      {base, fixture("member"), {"--explain", "--all"}, {"B2", "P1"}, 2},
      {base, fixture("ieds"), {"--explain", "--all"}, {"P3"}, 1},
      {fixture("circuits"), base, {"--explain"}, {"P2"}, 1},
      {example_path("substation.scd"), example_path("substation_rev2.scd"), {"--explain"}, {"CL1101", "PL1101"}, 3},
      {many_old,
       many_new,
       {"--explain"},
       {"P1", "Q0", "Q1", "Q10", "Q11", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "Q8", "Q9", "S1"},
       14},
      {narrow_scd, wide_scd, {"--explain"}, {"P1", "S1"}, 20000, {}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> arguments{"diff", row.old_scd, row.new_scd};
    arguments.insert(arguments.end(), row.options.begin(), row.options.end());
    const std::string what = row.new_scd + " " + row.options.back();
    std::vector<std::string> text_arguments = arguments;
    text_arguments.insert(text_arguments.end(), {"--jobs", "1"});
    const ProcessResult text = run_ccdcrc(text_arguments);
    ASSERT_EQ(text.status, 1) << what << text.err;
    const auto [headings, changes] = explained_in(text.out);
    EXPECT_EQ(headings, row.explained) << what;
    EXPECT_EQ(changes, row.changes) << what;

    std::vector<std::string> json_arguments = arguments;
    json_arguments.insert(json_arguments.end(), {"--format", "json", "--jobs", "1"});
    const ProcessResult json = run_ccdcrc(json_arguments);
    ASSERT_EQ(json.status, 1) << what << json.err;
    const nlohmann::json document = nlohmann::json::parse(json.out);
    std::vector<std::string> with_changes;
    std::size_t json_changes = 0;
    for (const nlohmann::json& ied : document["ieds"]) {
      if (!ied.contains("changes")) continue;
      with_changes.push_back(ied["name"]);
      json_changes += ied["changes"].size();
    }
    EXPECT_EQ(with_changes, row.explained) << what;
    EXPECT_EQ(json_changes, row.changes) << what;

    for (const std::string& jobs : row.jobs) {
      text_arguments.back() = jobs;
      json_arguments.back() = jobs;
      EXPECT_EQ(run_ccdcrc(text_arguments).out, text.out) << what << " --jobs " << jobs;
      EXPECT_EQ(run_ccdcrc(json_arguments).out, json.out) << what << " --jobs " << jobs;
    }
  }
}

// As with git diff: the changes by default, the whole list with --all, only
// the status with --quiet, the names, or how many control blocks differ.
TEST(CliDiff, LayoutsAsGitDiffHasThem) {
  const std::string ieds = fixture("ieds");
  const std::string old_scd = scd_crc(run_all_ied_crcs(base));
  const std::string new_scd = scd_crc(run_all_ied_crcs(ieds));
  const std::string revision_1a = data_path("cli_revision_1A.scd");
  const std::string changed_1a = data_path("cli_revision_1A_changed.scd");
  const std::string changed_1b = data_path("cli_revision_1B_changed.scd");
  const std::string usage = "Run 'ccdcrc diff --help' for usage.\n";
  struct Row {
    std::vector<std::string> arguments;  // after "diff"
    std::string out;
    std::string err;
    int status;
  };
  const std::vector<Row> rows{
      {{base, ieds, "--quiet"}, "", "", 1},
      {{base, fixture("desc"), "-q"}, "", "", 0},
      {{base, ieds, "--name-only"}, "P2\nP3\n", "", 1},
      {{base, ieds, "--stat"},
       "P2  | removed: 1 control block\nP3  | added: 1 control block\n2 of 6 IEDs differ (1 added, 1 removed); SCD "
       "CRC " +
           old_scd + " -> " + new_scd + "\n",
       "",
       1},
      {{base, fixture("btype"), "--stat"},
       "B2  | changed: 1 control block\nP1  | changed: 1 control block\nP2  | changed: 1 control block\n"
       "3 of 5 IEDs differ (3 changed); SCD CRC " +
           old_scd + " -> " + scd_crc(run_all_ied_crcs(fixture("btype"))) + "\n",
       "",
       1},
      {{base, ieds, "--stat", "--name-only"},
       "",
       "ccdcrc: diff: --explain, --name-only and --stat are one of each "
       "other's alternatives\n" +
           usage,
       2},
      {{base, ieds, "--stat", "-f", "json"}, "", "ccdcrc: diff: --stat is written as text only\n" + usage, 2},
      // The Header of both sides; a warning when CRCs changed and it did not.
      {{revision_1a, changed_1a, "--name-only"},
       "B2\nP1\n",
       "ccdcrc: " + changed_1a +
           ": warning: CRCs changed, but the Header's version and revision did not (version 1, revision A)\n",
       1},
      {{revision_1a, changed_1b, "-f", "csv"},
       "type,name,old_crc,new_crc,status\nied,B2,6D9E341B,18F2F29C,changed\nied,P1,6F9C679D,F2FF56F2,changed\n"
       "scd,,A9B8997B,85B8049B,changed\nheader,version,1,1,unchanged\nheader,revision,A,B,changed\n",
       "",
       1},
      {{revision_1a, revision_1a},
       "SCD CRC  A9B8997B  A9B8997B  unchanged\nHeader: version 1, revision A -> version 1, revision A\n",
       "",
       0},
  };
  for (const Row& row : rows) {
    std::vector<std::string> arguments{"diff"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    const ProcessResult result = run_ccdcrc(arguments);
    std::string what;
    for (const std::string& word : arguments) what += word + " ";
    EXPECT_EQ(result.status, row.status) << what;
    EXPECT_EQ(result.out, row.out) << what;
    EXPECT_EQ(result.err, row.err) << what;
  }
}

TEST(CliDiff, EveryScdThatCannotBeReadIsReported) {
  ScratchDir dir;
  const std::string broken = write_file(dir.path() / "broken.scd", "<SCL>\n<IED name=\"P1\">\n</SCL>\n");
  const std::string missing = (dir.path() / "missing.scd").string();
  const ProcessResult both = run_ccdcrc({"diff", missing, broken});
  EXPECT_EQ(both.status, 2);
  EXPECT_EQ(both.out, "");
  EXPECT_EQ(both.err, "ccdcrc: " + missing + ": no such file\nccdcrc: " + broken +
                          ":3:3: not well-formed XML: Start-end tags mismatch\n");
  EXPECT_EQ(run_ccdcrc({"diff", base, broken}).status, 2);
}

// A list of approved CRCs as `all` writes it.
std::string baseline(const ScratchDir& dir, const std::string& scd, const std::string& format) {
  std::string path = (dir.path() / ("approved." + format)).string();
  ProcessOptions options;
  options.stdout_file = path;
  EXPECT_EQ(run_ccdcrc({"all", scd, "--format", format}, options).status, 0);
  return path;
}

TEST(CliCheck, ReportsEachIedAgainstTheApprovedCrcsLikeAChecksumList) {
  ScratchDir dir;
  const IedCrcMap approved = run_all_ied_crcs(base);
  for (const std::string format : {"csv", "json"}) {
    const std::string list = baseline(dir, base, format);
    const ProcessResult same = run_ccdcrc({"check", list, base});
    EXPECT_EQ(same.status, 0) << format;
    EXPECT_EQ(same.err, "");
    EXPECT_EQ(same.out, "B2: ok\nM1: ok\nP1: ok\nP2: ok\nSCD CRC: ok\n" + no_revisions);
    EXPECT_EQ(run_ccdcrc({"check", list, base, "--quiet"}).out, "");

    const IedCrcMap now = run_all_ied_crcs(fixture("attribute"));
    const ProcessResult changed = run_ccdcrc({"check", list, fixture("attribute"), "-q"});
    EXPECT_EQ(changed.status, 1);
    EXPECT_EQ(changed.out, "B2: changed (approved " + approved.at("B2") + ", now " + now.at("B2") + ")\n" +
                               "P1: changed (approved " + approved.at("P1") + ", now " + now.at("P1") + ")\n" +
                               "SCD CRC: changed (approved " + scd_crc(approved) + ", now " + scd_crc(now) + ")\n");
    EXPECT_EQ(changed.err,
              "ccdcrc: 2 of 4 IEDs do not match the approved CRCs\n"
              "ccdcrc: the SCD CRC does not match the approved one\n");
  }

  const std::string list = baseline(dir, base, "csv");
  const ProcessResult ieds = run_ccdcrc({"check", list, fixture("ieds"), "--quiet"});
  EXPECT_EQ(ieds.status, 1);
  EXPECT_EQ(ieds.out, "P2: missing (approved " + approved.at("P2") + "; the SCD has no IED of this name)\n" +
                          "P3: new (now " + run_all_ied_crcs(fixture("ieds")).at("P3") +
                          "; not in the list of approved CRCs)\n" + "SCD CRC: changed (approved " + scd_crc(approved) +
                          ", now " + scd_crc(run_all_ied_crcs(fixture("ieds"))) + ")\n");
  const ProcessResult circuits = run_ccdcrc({"check", list, fixture("circuits"), "--quiet", "--format", "csv"});
  EXPECT_EQ(circuits.out, "name,status,approved_crc,crc,type\nGateway,new,," +
                              run_all_ied_crcs(fixture("circuits")).at("Gateway") + ",ied\nP2,missing," +
                              approved.at("P2") + ",,ied\n,changed," + scd_crc(approved) + "," +
                              scd_crc(run_all_ied_crcs(fixture("circuits"))) + ",scd\n");
  const auto json = nlohmann::json::parse(run_ccdcrc({"check", list, fixture("circuits"), "-f", "json"}).out);
  EXPECT_EQ(json["baseline"], list);
  EXPECT_EQ(json["ieds"][0],
            (nlohmann::json{
                {"name", "B2"}, {"status", "ok"}, {"approved_crc", approved.at("B2")}, {"crc", approved.at("B2")}}));

  // Names with commas, quotes and line feeds survive both formats. The first
  // of two IEDs named DUP is behind the listed one: no list can approve it.
  const std::string hostile = data_path("cli_hostile.scd");
  for (const std::string format : {"csv", "json"}) {
    const ProcessResult result = run_ccdcrc({"check", baseline(dir, hostile, format), hostile, "--quiet"});
    EXPECT_EQ(result.status, 1) << format << result.err;
    EXPECT_EQ(result.out, "") << format;
    EXPECT_NE(result.err.find(hostile + ": the 1st of 2 IEDs named 'DUP', with CRC "), std::string::npos) << result.err;
  }
}

// A change behind a shared name changes no listed CRC, but it is a change.
TEST(CliDiff, AChangedIedBehindASharedNameIsAChange) {
  const std::string hostile = data_path("cli_hostile.scd");
  const std::string changed = data_path("cli_hostile_shadowed_changed.scd");
  const ProcessResult result = run_ccdcrc({"diff", hostile, changed});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, run_ccdcrc({"diff", hostile, hostile}).out);
  EXPECT_NE(result.err.find(changed + ": the 1st of 2 IEDs named 'DUP' changed: "), std::string::npos) << result.err;
  EXPECT_EQ(run_ccdcrc({"diff", hostile, hostile, "-q"}).status, 0);
}

TEST(CliCheck, RejectedLinesAreNamedAndTheOtherIedsStillChecked) {
  ScratchDir dir;
  const IedCrcMap crcs = run_all_ied_crcs(base);
  const std::string csv = write_file(dir.path() / "approved.csv",
                                     "type,name,crc\r\n"
                                     "ied,B2," +
                                         crcs.at("B2") +
                                         "\r\n"
                                         "ied,M1\n"
                                         "ied,P1,57f51564\n"
                                         "bay,P2," +
                                         crcs.at("P2") +
                                         "\n"
                                         "ied,B2," +
                                         crcs.at("B2") +
                                         "\n"
                                         "ied,P2," +
                                         crcs.at("P2") + "\n");
  // Lines that are no entry fail the check unless --skip-malformed; --warn
  // names them. An entry whose CRC cannot be read fails for its IED. A CRC in
  // lower case is fine.
  const std::string m1_unreadable =
      "M1: unreadable (expected 3 fields (type,name,crc), found 2; now " + crcs.at("M1") + ")\n";
  const std::string checked =
      "B2: ok\n" + m1_unreadable + "P1: ok\nP2: ok\nHeader: not in the list -> no version or revision\n";
  const std::string summary =
      "ccdcrc: 1 of 4 IEDs do not match the approved CRCs (1 with an approved CRC that cannot be read)\n";
  const ProcessResult from_csv = run_ccdcrc({"check", csv, base, "--warn", "--strict"});
  EXPECT_EQ(from_csv.status, 2);
  EXPECT_EQ(from_csv.out, checked);
  EXPECT_EQ(from_csv.err, "ccdcrc: " + csv + ":3: expected 3 fields (type,name,crc), found 2\n" + "ccdcrc: " + csv +
                              ":5: unknown record type 'bay' ('ied' or 'scd' expected)\n" + "ccdcrc: " + csv +
                              ":6: IED 'B2' is listed again (first on line 2); the first entry is used\n" + summary);
  const ProcessResult by_default = run_ccdcrc({"check", csv, base});
  EXPECT_EQ(by_default.status, 2);
  EXPECT_EQ(by_default.out, checked);
  EXPECT_EQ(by_default.err, "ccdcrc: " + csv +
                                ": 2 lines are improperly formatted, so the check fails (--warn names them; "
                                "--skip-malformed checks without them)\n" +
                                summary);
  const ProcessResult lenient = run_ccdcrc({"check", csv, base, "--skip-malformed"});
  EXPECT_EQ(lenient.status, 1);
  EXPECT_EQ(lenient.out, checked);
  EXPECT_EQ(
      lenient.err,
      "ccdcrc: " + csv + ": warning: 2 lines are improperly formatted and not checked (--warn names them)\n" + summary);

  const std::string json = write_file(dir.path() / "approved.json",
                                      "{\n  \"ieds\": [\n"
                                      "    {\"name\": \"B2\", \"crc\": \"" +
                                          crcs.at("B2") +
                                          "\"},\n"
                                          "    {\"name\": \"M1\"},\n"
                                          "    \"P1\",\n"
                                          "    {\"name\": \"B2\",\n     \"crc\": \"" +
                                          crcs.at("B2") + "\"}\n  ]\n}\n");
  const ProcessResult from_json = run_ccdcrc({"check", json, base, "--quiet", "--warn", "--strict"});
  EXPECT_EQ(from_json.status, 2);
  EXPECT_EQ(from_json.out,
            "M1: unreadable (entry 2 of \"ieds\" is not an object with the strings \"name\" and "
            "\"crc\"; now " +
                crcs.at("M1") + ")\nP1: new (now " + crcs.at("P1") + "; not in the list of approved CRCs)\n" +
                "P2: new (now " + crcs.at("P2") + "; not in the list of approved CRCs)\n");
  const std::string not_an_entry = "is not an object with the strings \"name\" and \"crc\"\n";
  EXPECT_EQ(from_json.err, "ccdcrc: " + json + ":4: entry 2 of \"ieds\" " + not_an_entry + "ccdcrc: " + json +
                               ":5: entry 3 of \"ieds\" " + not_an_entry + "ccdcrc: " + json +
                               ":6: IED 'B2' is listed again (first on line 3); the first entry is used\n" +
                               "ccdcrc: 3 of 4 IEDs do not match the approved CRCs (1 with an approved CRC that "
                               "cannot be read)\n");

  // A file that is no such list at all stops the check before the SCD is loaded.
  const std::vector<std::pair<std::string, std::string>> unusable{
      {"type;name;crc\n",
       ": the list holds no CRC: expected a list of CRCs as 'ccdcrc all' writes it (as text, CSV or JSON), or CSV "
       "with 'name' and 'crc' columns"},
      {"{\n  \"ieds\": [\n    {\"name\": \"B2\" \"crc\": \"x\"}\n]}\n",
       ":3: not valid JSON: syntax error while parsing object - unexpected string literal; expected '}'"},
      {"{\"crcs\": []}", ":1: no \"ieds\" array: expected the JSON that 'ccdcrc all --format json' writes"},
      {"\n", ": cannot read the list of approved CRCs: the file is empty"},
  };
  for (const auto& [text, message] : unusable) {
    const std::string path = write_file(dir.path() / "list", text);
    const ProcessResult result = run_ccdcrc({"check", path, "no-such.scd"});
    EXPECT_EQ(result.status, 2) << text;
    EXPECT_EQ(result.out, "") << text;
    EXPECT_EQ(result.err, "ccdcrc: " + path + message + "\n") << text;
  }
  const std::string open_quote =
      write_file(dir.path() / "open.csv", "type,name,crc\nied,B2," + crcs.at("B2") + "\nied,\"P1,12345678\n");
  const ProcessResult quote = run_ccdcrc({"check", open_quote, base, "-q", "-f", "csv"});
  EXPECT_EQ(quote.status, 2);
  EXPECT_EQ(quote.out, "name,status,approved_crc,crc,type\nM1,new,," + crcs.at("M1") + ",ied\nP1,new,," +
                           crcs.at("P1") + ",ied\nP2,new,," + crcs.at("P2") + ",ied\n");
  EXPECT_EQ(quote.err, "ccdcrc: " + open_quote +
                           ":3: a quoted field is not closed; the rest of the file is not read\n" +
                           "ccdcrc: 3 of 4 IEDs do not match the approved CRCs\n");
  EXPECT_EQ(
      run_ccdcrc({"check", (dir.path() / "none.csv").string(), base}).err,
      "ccdcrc: " + (dir.path() / "none.csv").string() + ": cannot read the list of approved CRCs: no such file\n");
}

TEST(CliVerify, ExportedFilesAreOkUntilTheirContentOrTheScdChanges) {
  ScratchDir dir;
  const std::string out = dir.path().string();
  ASSERT_EQ(run_ccdcrc({"export", base, "--all", "-o", out}).status, 0);
  const std::vector<std::string> files{out + "/B2.ccd", out + "/M1.ccd", out + "/P1.ccd", out + "/P2.ccd"};
  std::vector<std::string> arguments{"verify"};
  arguments.insert(arguments.end(), files.begin(), files.end());

  const ProcessResult own = run_ccdcrc(arguments);
  EXPECT_EQ(own.status, 0) << own.err;
  EXPECT_EQ(own.err, "");
  EXPECT_EQ(own.out, files[0] + ": ok\n" + files[1] + ": ok\n" + files[2] + ": ok\n" + files[3] + ": ok\n");
  arguments.insert(arguments.end(), {"--scd", base});
  EXPECT_EQ(run_ccdcrc(arguments).out, own.out);

  // Against a revision in which P1's control block changed, P1 and its subscriber B2 are outdated.
  arguments.back() = fixture("attribute");
  const IedCrcMap old_crcs = run_all_ied_crcs(base);
  const IedCrcMap new_crcs = run_all_ied_crcs(fixture("attribute"));
  const ProcessResult outdated = run_ccdcrc(arguments);
  EXPECT_EQ(outdated.status, 1);
  EXPECT_EQ(outdated.out, files[0] + ": outdated (" + old_crcs.at("B2") + " in the file, " + new_crcs.at("B2") +
                              " from the SCD)\n" + files[1] + ": ok\n" + files[2] + ": outdated (" + old_crcs.at("P1") +
                              " in the file, " + new_crcs.at("P1") + " from the SCD)\n" + files[3] + ": ok\n");
  EXPECT_EQ(outdated.err, "ccdcrc: 2 of 4 CCD files did not verify\n");
  arguments.back() = fixture("ieds");
  EXPECT_NE(run_ccdcrc(arguments).out.find(files[3] + ": outdated (" + old_crcs.at("P2") +
                                           " in the file, the SCD has no IED named 'P2')\n"),
            std::string::npos);

  // A description may be edited; a measured value may not.
  std::string p1 = read_file(files[2]);
  p1.replace(p1.find("desc=\"Line protection\""), 22, "desc=\"Main protection\"");
  write_file(files[2], p1);
  EXPECT_EQ(run_ccdcrc({"verify", files[2]}).out, files[2] + ": ok\n");
  p1.replace(p1.find("<P type=\"APPID\">0001</P>"), 24, "<P type=\"APPID\">0002</P>");
  write_file(files[2], p1);
  const ProcessResult modified = run_ccdcrc({"verify", files[2], "--format", "json"});
  EXPECT_EQ(modified.status, 1);
  const auto json = nlohmann::json::parse(modified.out);
  EXPECT_FALSE(json.contains("scd"));
  ASSERT_EQ(json["files"].size(), 1u);
  EXPECT_EQ(json["files"][0]["status"], "modified");
  EXPECT_EQ(json["files"][0]["ied"], "P1");
  EXPECT_EQ(json["files"][0]["file_crc"], old_crcs.at("P1"));
  EXPECT_NE(json["files"][0]["content_crc"], old_crcs.at("P1"));
  EXPECT_EQ(json["files"][0]["current_crc"], nullptr);
  const ProcessResult quiet = run_ccdcrc({"verify", files[0], files[2], "--quiet"});
  EXPECT_EQ(quiet.out, files[2] + ": modified (the CRC element says " + old_crcs.at("P1") + ", the content gives " +
                           json["files"][0]["content_crc"].get<std::string>() + ")\n");
}

// `export --all` writes, of IEDs sharing a name, the one that `all` lists;
// `verify --scd` compares with that one too.
TEST(CliVerify, EveryFileOfAnExportOfAllVerifiesAgainstItsScdSharedNamesIncluded) {
  ScratchDir dir;
  const std::string hostile = data_path("cli_hostile.scd");
  ASSERT_EQ(run_ccdcrc({"export", hostile, "--all", "-o", dir.path().string()}).status, 1);  // ../evil fails
  std::vector<std::string> arguments{"verify", "--scd", hostile};
  for (const std::string& name : directory_entries(dir.path())) arguments.push_back((dir.path() / name).string());
  ASSERT_GT(arguments.size(), 4u);
  const ProcessResult verified = run_ccdcrc(arguments);
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
  EXPECT_NE(verified.out.find("DUP.ccd: ok\n"), std::string::npos) << verified.out;
  EXPECT_NE(verified.err.find("2 IEDs are named 'DUP'; " + (dir.path() / "DUP.ccd").string() +
                              " is compared with the one 'all' lists"),
            std::string::npos)
      << verified.err;
}

TEST(CliVerify, UnreadableFilesAreNamedWithTheLineAndTheOthersStillChecked) {
  ScratchDir dir;
  ASSERT_EQ(run_ccdcrc({"export", base, "P1", "-o", dir.path().string()}).status, 0);
  const std::string good = (dir.path() / "P1.ccd").string();
  std::string text = read_file(good);
  const std::size_t crc_line = static_cast<std::size_t>(std::count(
                                   text.begin(), text.begin() + static_cast<std::ptrdiff_t>(text.find("<CRC")), '\n')) +
                               1;
  const std::string no_crc = write_file(dir.path() / "no-crc.ccd", text.substr(0, text.find("\t<CRC")) + "</IED>\n");
  std::string bad_id_text = text;
  bad_id_text.replace(bad_id_text.find("id=\"") + 4, 8, "12345");
  const std::string bad_id = write_file(dir.path() / "bad-id.ccd", bad_id_text);
  const std::string missing = (dir.path() / "missing.ccd").string();

  const ProcessResult result = run_ccdcrc({"verify", no_crc, good, bad_id, missing, "-f", "csv"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "file,ied,status,file_crc,content_crc,current_crc\n" + no_crc + ",,unreadable,,,\n" + good +
                            ",P1,ok," + run_ied_crc(base, "P1") + "," + run_ied_crc(base, "P1") + ",\n" + bad_id +
                            ",,unreadable,,,\n" + missing + ",,unreadable,,,\n");
  EXPECT_EQ(result.err, "ccdcrc: " + no_crc +
                            ":2:1: the IED element has no CRC element, so there is no CRC to check\n" +
                            "ccdcrc: " + bad_id + ":" + std::to_string(crc_line) +
                            ":2: the CRC id '12345' is not eight upper-case hexadecimal digits\n" +
                            "ccdcrc: " + missing + ": no such file\n" + "ccdcrc: 3 of 4 CCD files did not verify\n");

  // An SCD that cannot be read is trouble, but the files are still checked against their content.
  const ProcessResult no_scd = run_ccdcrc({"verify", good, "--scd", missing});
  EXPECT_EQ(no_scd.status, 2);
  EXPECT_EQ(no_scd.out, good + ": ok\n");
  EXPECT_EQ(no_scd.err, "ccdcrc: " + missing + ": no such file\n");
}

TEST(CliCompareUsage, HelpShowsTheNewCommandsWithExamples) {
  const ProcessResult help = run_ccdcrc({"--help"});
  for (const std::string command : {"diff", "check", "verify"}) {
    EXPECT_NE(help.out.find("\n  " + command + " "), std::string::npos) << command;
    const ProcessResult command_help = run_ccdcrc({command, "--help"});
    EXPECT_EQ(command_help.status, 0);
    EXPECT_NE(command_help.out.find("Examples:\n  ccdcrc " + command + " "), std::string::npos) << command_help.out;
  }
  for (const std::vector<std::string>& mistake :
       {std::vector<std::string>{"diff", base}, {"check", base}, {"verify"}, {"diff", base, base, "--jobs", "0"}}) {
    const ProcessResult result = run_ccdcrc(mistake);
    EXPECT_EQ(result.status, 2) << mistake[0];
    EXPECT_NE(result.err.find("--help' for usage.\n"), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace ccdcrc::testing
