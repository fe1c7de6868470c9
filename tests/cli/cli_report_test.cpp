// The change report of `diff --format html|markdown`: rendered by a real
// browser (Debian's headless Chromium), what people read is there, and
// names from an SCD are text that injects nothing; Markdown tables keep their
// columns.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* chromium = "/usr/bin/chromium";

// Chromium, headless and cut off from the network, on a profile of its own.
ProcessResult run_chromium(const ScratchDir& dir, const std::vector<std::string>& arguments) {
  std::vector<std::string> words{"--headless",
                                 "--no-sandbox",
                                 "--disable-gpu",
                                 "--disable-quic",
                                 "--no-first-run",
                                 "--disable-background-networking",
                                 "--disable-sync",
                                 "--hide-scrollbars",
                                 "--disable-component-update",
                                 "--user-data-dir=" + (dir.path() / "profile").string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return run_process(chromium, words);
}

// The report of two revisions as a file.
fs::path report_of(const ScratchDir& dir, const std::string& old_scd, const std::string& new_scd, const char* format,
                   const std::vector<std::string>& options = {}) {
  fs::path report = dir.path() / (std::string("report.") + (format == std::string("html") ? "html" : "md"));
  std::vector<std::string> words{"diff", old_scd, new_scd, "--format", format, "-o", report.string()};
  words.insert(words.end(), options.begin(), options.end());
  const ProcessResult run = run_ccdcrc(words);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "");
  return report;
}

// The hostile fixture and a revision of it in which every control block changed.
std::string hostile_revision(const ScratchDir& dir) {
  return write_file(dir.path() / "hostile2.scd", std::regex_replace(read_file(data_path("report_hostile.scd")),
                                                                    std::regex("confRev=\"1\""), "confRev=\"2\""));
}

TEST(Report, ExampleRevisionInABrowser) {
  if (!fs::exists(chromium)) GTEST_SKIP() << "no Chromium";
  ScratchDir dir;
  const fs::path report = report_of(dir, example_path("substation.scd"), example_path("substation_rev2.scd"), "html");
  const ProcessResult dom = run_chromium(dir, {"--dump-dom", "file://" + report.string()});
  ASSERT_EQ(dom.status, 0) << dom.err;
  for (const std::string& expected :
       {std::string("<b>3</b><span class=\"status s-unchanged\">unchanged</span>"),
        std::string("<b>2</b><span class=\"status s-changed\">changed</span>"), std::string("<b>1</b>without circuits"),
        std::string("<h3>E1 110kV / Q01 110kV 林河线</h3>"),
        std::string("<tr><th>Header revision</th><td class=\"mono\">B</td><td class=\"mono\">C</td></tr>"),
        std::string("Kestrel LPR-931<br>configVersion V2.11 2024-05-21"),
        std::string("publishes GOCB <code>gcbTrip</code>: confRev 1 → 2"),
        std::string("1-A:PIGO/GOINGGIO1.SPCSO<ins>3</ins>.stVal"), std::string("3 IEDs keep their CRCs"),
        std::string("<section id=\"broken-bindings\">"), std::string("<li>GW01</li>"),
        std::string("<section id=\"signoff\">"), std::string("<tr><th>Approved</th><td></td>")}) {
    EXPECT_NE(dom.out.find(expected), std::string::npos) << expected;
  }
  // For people to look at; that it is not blank is all a test can say.
  const fs::path screenshot = fs::path(CCDCRC_TEST_OUTPUT) / "report.png";
  const ProcessResult shot = run_chromium(
      dir, {"--window-size=1200,1900", "--screenshot=" + screenshot.string(), "file://" + report.string()});
  EXPECT_EQ(shot.status, 0) << shot.err;
  ASSERT_TRUE(fs::exists(screenshot));
  EXPECT_GT(fs::file_size(screenshot), 30000u);
}

TEST(Report, NamesFromTheScdAreTextThatInjectsNothing) {
  if (!fs::exists(chromium)) GTEST_SKIP() << "no Chromium";
  ScratchDir dir;
  const fs::path report = report_of(dir, data_path("report_hostile.scd"), hostile_revision(dir), "html");
  const ProcessResult dom = run_chromium(dir, {"--dump-dom", "file://" + report.string()});
  ASSERT_EQ(dom.status, 0) << dom.err;
  const auto count = [&dom](const std::string& text) {
    std::size_t found = 0;
    for (std::size_t at = dom.out.find(text); at != std::string::npos; at = dom.out.find(text, at + 1)) ++found;
    return found;
  };
  EXPECT_EQ(count("<script"), 1u) << "the report's own script only";
  EXPECT_EQ(count("<img"), 0u);
  EXPECT_EQ(count("<b>E1"), 0u);
  EXPECT_GT(count("&lt;script&gt;alert(1)&lt;/script&gt;"), 1u);
  EXPECT_GT(count("a\"b'c&amp;d|e`f"), 1u);
  EXPECT_GT(count("tab\\tand\\nline"), 1u);
}

TEST(Report, BrokenBindingsAreToldOnTheErrorStream) {
  const std::string intact = example_path("substation.scd");
  const std::string renamed = data_path("report_renamed_member.scd");
  const std::string reason = "CL1101CTRL/LLN0.dsIntlk has no member CILO1.EnaCls.stVal";
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string told;
  };
  for (const Case& test : std::vector<Case>{
           {{"all", renamed}, 0, "the input 1-A:PIGO/GOINGGIO1.SPCSO2.stVal of PL1101 resolves to nothing"},
           {{"diff", intact, renamed}, 1, "warning: 1 input now resolves to nothing (broken bindings)"},
           {{"diff", intact, renamed, "--explain"}, 1, "now resolves to nothing: " + reason},
           {{"diff", renamed, intact}, 1, "1 input that resolved to nothing resolves again"},
           {{"all", intact}, 0, ""},
       }) {
    const ProcessResult run = run_ccdcrc(test.arguments);
    EXPECT_EQ(run.status, test.status) << run.err;
    if (test.told.empty()) {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_NE(run.err.find(test.told), std::string::npos) << run.err;
    }
  }
}

// The cells of a Markdown table row: split at pipes that no backslash escapes.
std::size_t cells_of(const std::string& row) {
  std::size_t pipes = 0;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (row[i] == '\\') {
      ++i;
    } else if (row[i] == '|') {
      ++pipes;
    }
  }
  return pipes - 1;
}

// A list of approved CRCs: those of the new revision, but for PL1101.
std::string approved_list(const ScratchDir& dir) {
  return write_file(dir.path() / "approved.csv", "name,crc\nCL1101,51E8C237\nPL1101,3B04FA6D\nMU1101,277E1027\n");
}

TEST(Report, MarkdownTablesKeepTheirColumns) {
  ScratchDir dir;
  const std::string renamed = data_path("report_renamed_member.scd");
  struct Case {
    std::string old_scd, new_scd;
    std::vector<std::string> options;
    std::size_t retest_rows, binding_rows;
    std::vector<std::string> expected;  // lines of the report
    bool signoff = true;
  };
  const std::vector<Case> cases{
      {example_path("substation.scd"), example_path("substation_rev2.scd"), {}, 2, 0, {"- GW01"}},
      {data_path("report_hostile.scd"), hostile_revision(dir), {"--no-signoff"}, 3, 0, {}, false},
      // A publisher renames a member: its subscriber's input resolves to nothing.
      {example_path("substation.scd"),
       renamed,
       {"--approved", approved_list(dir)},
       2,
       1,
       {"| PL1101 | `1-A:PIGO/GOINGGIO1.SPCSO2.stVal` | `CL1101CTRL/CILO1.EnaCls.stVal` | broken | "
        "CL1101CTRL/LLN0.dsIntlk has no member CILO1.EnaCls.stVal |",
        "| IED | Device | Old CRC | New CRC | Approved CRC | Check | Status | Why |", "- MU1001 (new)"}},
      {renamed, example_path("substation.scd"), {}, 2, 1, {}},  // mended
  };
  for (const Case& test : cases) {
    const std::string text = read_file(report_of(dir, test.old_scd, test.new_scd, "markdown", test.options));
    std::istringstream lines(text);
    std::size_t columns = 0;
    std::map<std::string, std::size_t> rows;  // by section
    std::string section;
    for (std::string line, previous; std::getline(lines, line); previous = line) {
      if (line.starts_with("## ")) section = line;
      if (!line.starts_with("|")) {
        columns = 0;
        continue;
      }
      if (columns == 0) {
        columns = cells_of(line);
        continue;
      }
      EXPECT_EQ(cells_of(line), columns) << line << "\nunder\n" << previous;
      if (!line.starts_with("|---")) ++rows[section];
    }
    EXPECT_EQ(rows["## Retest"], test.retest_rows) << test.new_scd;
    EXPECT_EQ(rows["## Broken bindings"], test.binding_rows) << test.new_scd;
    EXPECT_EQ(rows["## Sign-off"], test.signoff ? 3u : 0u) << test.new_scd;
    for (const std::string& expected : test.expected) {
      EXPECT_NE(text.find("\n" + expected + "\n"), std::string::npos) << expected << "\nin\n" << text;
    }
  }
}

}  // namespace
}  // namespace ccdcrc::testing
