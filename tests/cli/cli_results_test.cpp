// The command line's results, run as a script would run it: arguments, standard
// output in each format, exported files, exit status.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "crc/canonical.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "scd/scd.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

const std::string station = data_path("cli_station.scd");
const std::string hostile = data_path("cli_hostile.scd");

ProcessResult succeeds(const std::vector<std::string>& arguments) {
  ProcessResult result = run_ccdcrc(arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  return result;
}

std::vector<std::string> files_in(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Records of RFC 4180 CSV text (quoted fields may hold commas, quotes and line feeds).
std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
        records.back().back() += text[++i];
      else if (c == '"')
        quoted = false;
      else
        records.back().back() += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().emplace_back();
    } else if (c == '\n') {
      records.emplace_back(1);
    } else {
      records.back().back() += c;
    }
  }
  if (records.back() == std::vector<std::string>(1)) records.pop_back();
  return records;
}

using testing::crc_of_serialised;

// What `sha256sum` prints for a file.
std::string sha256_of(const std::string& path) {
  const ProcessResult result = run_process("/usr/bin/sha256sum", {path});
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out.substr(0, 64);
}

// The CRC element's id in an exported CCD text.
std::string exported_crc(const std::string& text) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(text.c_str(), pugi::parse_full));
  pugi::xml_node root = document.child("IED");
  EXPECT_EQ(std::string(root.last_child().name()), "CRC");
  return root.child("CRC").attribute("id").value();
}

TEST(CliAll, TextListsEveryIedWithACrcInNameOrderThenTheScdCrc) {
  const IedCrcMap crcs = run_all_ied_crcs(station);
  ASSERT_EQ(crcs.size(), 3u);  // Gateway has no circuits
  EXPECT_EQ(succeeds({"all", station}).out, "B2       " + crcs.at("B2") + "\n" + "M1       " + crcs.at("M1") + "\n" +
                                                "P1       " + crcs.at("P1") + "\n" + "SCD CRC  " + scd_crc(crcs) +
                                                "\n");

  const IedCrcMap ordered = run_all_ied_crcs(data_path("cli_name_order.scd"));
  EXPECT_EQ(succeeds({"all", data_path("cli_name_order.scd")}).out,
            "A        " + ordered.at("A") + "\nB        " + ordered.at("B") + "\na        " + ordered.at("a") +
                "\nSCD CRC  " + scd_crc(ordered) + "\n");
}

// Threads change how fast, never what: same lines, same order, same files.
TEST(CliJobs, OneThreadAndSeveralGiveTheSameResults) {
  const std::string example = example_path("substation.scd");
  const std::string one = succeeds({"all", example, "--jobs", "1"}).out;
  EXPECT_EQ(succeeds({"all", example, "--jobs", "4"}).out, one);
  EXPECT_EQ(succeeds({"all", example}).out, one);

  ScratchDir single, several;
  const std::string listed = succeeds({"export", example, "--all", "-o", single.path().string(), "--jobs", "1"}).out;
  succeeds({"export", example, "--all", "-o", several.path().string(), "--jobs", "3"});
  EXPECT_EQ(files_in(single.path()), files_in(several.path()));
  for (const std::string& file : files_in(single.path())) {
    EXPECT_EQ(exported_crc(read_file(single.path() / file)), exported_crc(read_file(several.path() / file))) << file;
  }
  EXPECT_NE(listed.find("PL1101"), std::string::npos);
}

TEST(CliAll, JsonAndCsvCarryTheScdItsCrcAndEveryIed) {
  const IedCrcMap crcs = run_all_ied_crcs(station);
  const std::string scd = scd_crc(crcs);
  for (const std::vector<std::string>& format :
       {std::vector<std::string>{"--format", "json"}, {"-f", "json"}, {"--format=json"}}) {
    std::vector<std::string> arguments{"all", station};
    arguments.insert(arguments.end(), format.begin(), format.end());
    const std::string out = succeeds(arguments).out;
    const auto json = nlohmann::ordered_json::parse(out);
    std::vector<std::string> keys;
    for (const auto& item : json.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"scd", "scd_crc", "header", "sha256", "ieds"}));
    EXPECT_EQ(json["scd"], station);
    EXPECT_EQ(json["scd_crc"], scd);
    EXPECT_EQ(json["header"],
              (nlohmann::ordered_json{{"id", "cli_station"}, {"version", nullptr}, {"revision", nullptr}}));
    ASSERT_EQ(json["ieds"].size(), crcs.size());
    auto entry = crcs.begin();
    for (const auto& ied : json["ieds"]) {
      EXPECT_EQ(ied, (nlohmann::ordered_json{{"name", entry->first}, {"crc", entry->second}}));
      ++entry;
    }
  }
  // The layout itself is stable: one IED per line, so that diffs of two results show the IEDs that changed.
  const std::string sha256 = sha256_of(station);
  EXPECT_EQ(succeeds({"all", station, "-f", "json"}).out,
            "{\n  \"scd\": \"" + station + "\",\n  \"scd_crc\": \"" + scd +
                "\",\n  \"header\": {\"id\": \"cli_station\", \"version\": null, \"revision\": null},\n" +
                "  \"sha256\": \"" + sha256 + "\",\n  \"ieds\": [\n" + "    {\"name\": \"B2\", \"crc\": \"" +
                crcs.at("B2") + "\"},\n" + "    {\"name\": \"M1\", \"crc\": \"" + crcs.at("M1") + "\"},\n" +
                "    {\"name\": \"P1\", \"crc\": \"" + crcs.at("P1") + "\"}\n  ]\n}\n");
  EXPECT_EQ(succeeds({"all", "--format", "csv", station}).out,
            "type,name,crc,file,header_id,header_version,header_revision,sha256\n"
            "ied,B2," +
                crcs.at("B2") + "," + station + ",,,,\n" + "ied,M1," + crcs.at("M1") + "," + station + ",,,,\n" +
                "ied,P1," + crcs.at("P1") + "," + station + ",,,,\n" + "scd," + station + "," + scd + "," + station +
                ",cli_station,,," + sha256 + "\n");
}

TEST(CliAll, HostileNamesSurviveEveryFormat) {
  const IedCrcMap crcs = run_all_ied_crcs(hostile);
  ASSERT_EQ(crcs.count("a,b") + crcs.count("say \"hi\"") + crcs.count("line\nbreak") + crcs.count("O'Brien"), 4u);
  const std::string duplicate_warning =
      "ccdcrc: " + hostile + ": warning: 2 IEDs named 'DUP' have circuits; the CRC of the last one is listed\n";

  ProcessResult csv = run_ccdcrc({"all", hostile, "--format", "csv"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.err, duplicate_warning);
  std::vector<std::vector<std::string>> expected{
      {"type", "name", "crc", "file", "header_id", "header_version", "header_revision", "sha256"}};
  for (const auto& [name, crc] : crcs) expected.push_back({"ied", name, crc, hostile, "", "", "", ""});
  expected.push_back({"scd", hostile, scd_crc(crcs), hostile, "", "", "", sha256_of(hostile)});
  EXPECT_EQ(parse_csv(csv.out), expected);
  EXPECT_NE(csv.out.find("\nied,\"a,b\","), std::string::npos);
  EXPECT_NE(csv.out.find("\nied,\"say \"\"hi\"\"\","), std::string::npos);

  const auto json = nlohmann::json::parse(run_ccdcrc({"all", hostile, "--format", "json"}).out);
  IedCrcMap from_json;
  for (const auto& ied : json["ieds"]) from_json[ied["name"]] = ied["crc"];
  EXPECT_EQ(from_json, crcs);

  // Text is for people: a line feed in a name is shown, not obeyed.
  const ProcessResult text = run_ccdcrc({"all", hostile});
  EXPECT_NE(text.out.find("\nline\\nbreak  " + crcs.at("line\nbreak") + "\n"), std::string::npos) << text.out;
  EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), static_cast<long>(crcs.size() + 1));
}

TEST(CliAll, BytesThatAreNotUtf8AreReplacedInJsonOnly) {
  ScratchDir dir;
  const std::string path = (dir.path() / "latin1.scd").string();
  std::ofstream(path) << "<SCL><IED name=\"Caf\xE9\"><AccessPoint name=\"AP1\"><Server><LDevice inst=\"LD0\">"
                         "<LN0 lnClass=\"LLN0\" inst=\"\"><GSEControl name=\"G1\"/></LN0></LDevice></Server>"
                         "</AccessPoint></IED></SCL>\n";
  const IedCrcMap crcs = run_all_ied_crcs(path);
  ASSERT_EQ(crcs.count("Caf\xE9"), 1u);
  const auto json = nlohmann::json::parse(succeeds({"all", path, "-f", "json"}).out);
  EXPECT_EQ(json["ieds"][0]["name"], "Caf\xEF\xBF\xBD");  // U+FFFD
  EXPECT_EQ(parse_csv(succeeds({"all", path, "-f", "csv"}).out)[1][1], "Caf\xE9");
}

TEST(CliIed, PrintsTheNamedIedsInTheOrderGivenInEachFormat) {
  const IedCrcMap crcs = run_all_ied_crcs(station);
  // A name given twice is answered twice.
  EXPECT_EQ(succeeds({"ied", station, "P1", "B2", "P1"}).out,
            "P1  " + crcs.at("P1") + "\nB2  " + crcs.at("B2") + "\nP1  " + crcs.at("P1") + "\n");
  EXPECT_EQ(succeeds({"ied", station, "--", "M1"}).out, "M1  " + crcs.at("M1") + "\n");
  EXPECT_EQ(succeeds({"ied", station, "M1", "P1", "-f", "csv"}).out, "type,name,crc,file,error\nied,M1," +
                                                                         crcs.at("M1") + "," + station + ",\nied,P1," +
                                                                         crcs.at("P1") + "," + station + ",\n");
  EXPECT_EQ(nlohmann::ordered_json::parse(succeeds({"ied", "--format", "json", station, "M1"}).out),
            (nlohmann::ordered_json{{"scd", station}, {"ieds", {{{"name", "M1"}, {"crc", crcs.at("M1")}}}}}));
}

TEST(CliIed, FindsNamesWithAnApostropheAndTheFirstOfSeveralIedsOfAName) {
  std::unique_ptr<Scd> scd = load_fixture("cli_hostile.scd");
  std::vector<pugi::xml_node> duplicates;
  for (pugi::xml_node ied : scd->ieds()) {
    if (std::string(ied.attribute("name").value()) == "DUP") duplicates.push_back(ied);
  }
  ASSERT_EQ(duplicates.size(), 2u);
  const std::string first = ied_crc(*scd, duplicates[0]).value();
  ASSERT_NE(first, ied_crc(*scd, duplicates[1]).value());

  const ProcessResult result = run_ccdcrc({"ied", hostile, "O'Brien", "DUP"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "O'Brien  " + run_all_ied_crcs(hostile).at("O'Brien") + "\nDUP      " + first + "\n");
  EXPECT_EQ(result.err, "ccdcrc: " + hostile + ": warning: 2 IEDs are named 'DUP'; the CRC is that of the first one\n");
}

TEST(CliIed, MissingOrCircuitlessIedsFailWithStatusOneAndTheOthersArePrinted) {
  const ProcessResult result = run_ccdcrc({"ied", station, "P1", "p1", "Gateway", "Nobody"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "P1  " + run_ied_crc(station, "P1") + "\n");
  EXPECT_EQ(result.err, "ccdcrc: " + station + ": no IED named 'p1'; did you mean 'P1'?\n" + "ccdcrc: " + station +
                            ": IED 'Gateway' has no GOOSE or sampled-value circuits, so it has no CRC\n" +
                            "ccdcrc: " + station + ": no IED named 'Nobody'\n");
  // A script learns which of its names failed, and why.
  EXPECT_EQ(run_ccdcrc({"ied", station, "Nobody", "-f", "json"}).out,
            "{\n  \"scd\": \"" + station +
                "\",\n  \"ieds\": [\n    {\"name\": \"Nobody\", \"crc\": null, \"error\": \"no IED named 'Nobody'\"}\n "
                " ]\n}\n");
}

TEST(CliBindings, ListsEveryBrokenInputWithItsReasonInEachFormat) {
  const std::string renamed = data_path("report_renamed_member.scd");
  const std::string input = "1-A:PIGO/GOINGGIO1.SPCSO2.stVal";
  const std::string source = "CL1101CTRL/CILO1.EnaCls.stVal";
  const std::string reason = "CL1101CTRL/LLN0.dsIntlk has no member CILO1.EnaCls.stVal";
  struct Row {
    std::vector<std::string> arguments;
    std::string out;
    std::string err;
  };
  const std::vector<Row> rows{
      {{"bindings", renamed}, "PL1101: input " + input + " (" + source + ") resolves to nothing: " + reason + "\n", ""},
      {{"bindings", renamed, "-f", "csv"},
       "ied,int_addr,source,reason\nPL1101," + input + "," + source + "," + reason + "\n",
       ""},
      {{"bindings", renamed, "-f", "json"},
       "{\n  \"scd\": \"" + renamed + "\",\n  \"broken_bindings\": [\n    {\"ied\": \"PL1101\", \"int_addr\": \"" +
           input + "\", \"source\": \"" + source + "\", \"reason\": \"" + reason + "\"}\n  ]\n}\n",
       ""},
      {{"bindings", station}, "", "ccdcrc: no input resolves to nothing\n"},
  };
  for (const Row& row : rows) {
    const ProcessResult result = run_ccdcrc(row.arguments);
    EXPECT_EQ(result.status, 0) << row.arguments.back();
    EXPECT_EQ(result.out, row.out) << row.arguments.back();
    EXPECT_EQ(result.err, row.err) << row.arguments.back();
  }
}

TEST(CliExport, WritesTheCcdFilesOfTheNamedIeds) {
  ScratchDir out;
  const IedCrcMap crcs = run_all_ied_crcs(station);
  const std::string dir = out.path().string();
  EXPECT_EQ(succeeds({"export", station, "P1", "B2", "-o", dir + "/"}).out,
            "P1  " + crcs.at("P1") + "  " + dir + "/P1.ccd\n" + "B2  " + crcs.at("B2") + "  " + dir + "/B2.ccd\n");
  EXPECT_EQ(files_in(out.path()), (std::vector<std::string>{"B2.ccd", "P1.ccd"}));
  EXPECT_EQ(exported_crc(read_file(out.path() / "P1.ccd")), crcs.at("P1"));
  EXPECT_EQ(exported_crc(read_file(out.path() / "B2.ccd")), crcs.at("B2"));
}

TEST(CliExport, AllWritesEveryIedThatHasACrc) {
  ScratchDir out;
  const IedCrcMap crcs = run_all_ied_crcs(station);
  const std::string dir = out.path().string();
  EXPECT_EQ(succeeds({"export", station, "--all", "--output", dir}).out,
            "B2  " + crcs.at("B2") + "  " + dir + "/B2.ccd\n" + "M1  " + crcs.at("M1") + "  " + dir + "/M1.ccd\n" +
                "P1  " + crcs.at("P1") + "  " + dir + "/P1.ccd\n");
  EXPECT_EQ(files_in(out.path()), (std::vector<std::string>{"B2.ccd", "M1.ccd", "P1.ccd"}));
  for (const auto& [name, crc] : crcs) EXPECT_EQ(exported_crc(read_file(out.path() / (name + ".ccd"))), crc);
}

TEST(CliExport, AFailedIedDoesNotStopTheOthers) {
  ScratchDir parent;
  const std::filesystem::path out = parent.path() / "out";
  std::filesystem::create_directory(out);
  const IedCrcMap crcs = run_all_ied_crcs(hostile);

  // Every IED of the all-IED run, under its name; of the two DUP IEDs the last.
  // "../evil" has circuits but no safe file name; "../quiet" has no circuits and is skipped.
  const ProcessResult all = run_ccdcrc({"export", hostile, "--all", "-o", out.string()});
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(all.err, "ccdcrc: " + hostile +
                         ": IED '../evil' cannot be exported: its name is not a plain file name"
                         " (it is empty, '.' or '..', or holds '/' or '\\')\n"
                         "ccdcrc: " +
                         hostile +
                         ": IED 'line\\nbreak' cannot be exported: its name is not a plain file name"
                         " (it holds a control character)\n"
                         "ccdcrc: " +
                         hostile +
                         ": IED 'say \"hi\"' cannot be exported: its name is not a plain file name"
                         " (it holds '\"', which Windows does not allow in file names)\n"
                         "ccdcrc: 3 of " +
                         std::to_string(crcs.size()) + " IEDs not exported: '../evil', 'line\\nbreak', 'say \"hi\"'\n");
  std::vector<std::string> expected_files;
  for (const auto& [name, crc] : crcs) {
    if (!is_safe_file_name(name)) continue;
    expected_files.push_back(name + ".ccd");
    EXPECT_EQ(exported_crc(read_file(out / (name + ".ccd"))), crc) << name;
  }
  std::sort(expected_files.begin(), expected_files.end());
  EXPECT_EQ(files_in(out), expected_files);
  EXPECT_EQ(files_in(parent.path()), std::vector<std::string>{"out"});

  ScratchDir named;
  const ProcessResult some = run_ccdcrc({"export", station, "P1", "Gateway", "Nobody", "-o", named.path().string()});
  EXPECT_EQ(some.status, 1);
  EXPECT_EQ(some.out, "P1  " + run_ied_crc(station, "P1") + "  " + named.path().string() + "/P1.ccd\n");
  EXPECT_EQ(some.err, "ccdcrc: " + station +
                          ": IED 'Gateway' has no GOOSE or sampled-value circuits, so it has no CRC\n" +
                          "ccdcrc: " + station + ": no IED named 'Nobody'\n" +
                          "ccdcrc: 2 of 3 IEDs not exported: 'Gateway', 'Nobody'\n");
  EXPECT_EQ(files_in(named.path()), std::vector<std::string>{"P1.ccd"});
}

TEST(CliExport, AFileThatCannotBeWrittenLeavesNothingBehind) {
  ScratchDir out;
  std::filesystem::create_directory(out.path() / "P1.ccd");  // a directory where the file should go
  const ProcessResult result = run_ccdcrc({"export", station, "--all", "-o", out.path().string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("ccdcrc: " + out.path().string() + "/P1.ccd: cannot write the CCD file: "),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(result.err.ends_with("ccdcrc: 1 of 3 IEDs not exported: 'P1'\n")) << result.err;
  EXPECT_EQ(files_in(out.path()), (std::vector<std::string>{"B2.ccd", "M1.ccd", "P1.ccd"}));
  EXPECT_TRUE(std::filesystem::is_empty(out.path() / "P1.ccd"));
}

TEST(CliExport, NeverReplacesAFileOfTheSameRunNorWritesNamesWindowsCannotHold) {
  struct Row {
    const char* scd;
    std::vector<std::string> names;  // empty: --all
    std::vector<std::string> files;
    std::vector<std::string> messages;
  };
  const Row rows[] = {
      {"windows_names.scd",
       {},
       {"AB.ccd", "MU1001.ccd"},
       {"IED 'CON' cannot be exported: its name is not a plain file name (Windows reserves CON.ccd for a device)",
        "IED 'T:1' cannot be exported: its name is not a plain file name (it holds ':'",
        "IED 'ab' cannot be exported: its file would replace AB.ccd, written for IED 'AB' in this run",
        "3 of 5 IEDs not exported: 'CON', 'T:1', 'ab'"}},
      {"windows_names.scd",
       {"ab", "AB", "ab"},
       {"ab.ccd"},
       {"IED 'AB' cannot be exported: its file would replace ab.ccd, written for IED 'ab'"}},
      {"folded_names.scd",
       {},
       {"É.ccd", "Σ.ccd"},
       {"IED 'é' cannot be exported: its file would replace É.ccd, written for IED 'É'",
        "IED 'σ' cannot be exported: its file would replace Σ.ccd, written for IED 'Σ'",
        "(Windows reserves COM¹.ccd for a device)", "(Windows reserves COM0.ccd for a device)",
        "(Windows reserves LPT0.ccd for a device)", "5 of 7 IEDs not exported"}},
      {"folded_names.scd",
       {"σ", "Σ"},
       {"σ.ccd"},
       {"IED 'Σ' cannot be exported: its file would replace σ.ccd, written for IED 'σ'"}},
  };
  for (const Row& row : rows) {
    ScratchDir out;
    std::vector<std::string> arguments{"export", data_path(row.scd), "-o", out.path().string()};
    if (row.names.empty()) arguments.emplace_back("--all");
    arguments.insert(arguments.end(), row.names.begin(), row.names.end());
    const ProcessResult result = run_ccdcrc(arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(files_in(out.path()), row.files);
    for (const std::string& message : row.messages)
      EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
  }
}

TEST(CliCcd, PrintsTheCcdAsExportedOrAsMeasured) {
  const std::string crc = run_ied_crc(station, "B2");

  const std::string exported = succeeds({"ccd", station, "B2"}).out;
  EXPECT_EQ(exported_crc(exported), crc);
  ScratchDir out;
  succeeds({"export", station, "B2", "-o", out.path().string()});
  const std::regex timestamp("timestamp=\"[^\"]*\"");
  EXPECT_EQ(std::regex_replace(exported, timestamp, ""),
            std::regex_replace(read_file(out.path() / "B2.ccd"), timestamp, ""));

  const std::string measured = succeeds({"ccd", station, "B2", "--measured"}).out;
  std::unique_ptr<Scd> scd = load_fixture("cli_station.scd");
  EXPECT_EQ(measured, built_ccd(*scd, "B2", true));
  EXPECT_EQ(crc_of_serialised(measured), crc);
  EXPECT_NE(measured.find("<IED name=\"B2\">"), std::string::npos) << "the header is reduced to the name";
}

}  // namespace
}  // namespace ccdcrc::testing
