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
        "| IED | Device | Old CRC | New CRC | Approved CRC | Status | Why |", "- MU1001 (new)"}},
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

// The report's sentences read the same in HTML and in Markdown: here the one
// on the IEDs that changed where no CRC looks.
TEST(Report, HtmlAndMarkdownSayTheSameSentences) {
  const std::string sentence =
      "2 IEDs keep their CRCs, but their elements in the SCD changed: in what no CRC covers (descriptions, inputs "
      "that bind to nothing, settings).";
  for (const char* format : {"html", "markdown"}) {
    const ProcessResult run =
        run_ccdcrc({"diff", data_path("cmp_base.scd"), data_path("cmp_desc.scd"), "--format", format, "--no-signoff"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(sentence), std::string::npos) << format << '\n' << run.out;
  }
}

// The SCD CRC that `all` prints.
std::string scd_crc_of(const std::string& scd) {
  const std::string out = run_ccdcrc({"all", scd}).out;
  const std::size_t at = out.rfind("SCD CRC  ");
  return at == std::string::npos ? "" : out.substr(at + 9, 8);
}

// With a list of approved CRCs the report shows all that `check` fails on,
// and whether it passes, in HTML as in Markdown; printed, every page is
// numbered and names the report, and the sign-off names what is signed.
TEST(Report, AnApprovalShowsAllThatCheckFailsOnAndPrintsWhatIsSigned) {
  ScratchDir dir;
  const std::string old_scd = example_path("substation.scd");
  const std::string new_scd = example_path("substation_rev2.scd");
  // XX9999 is approved, but the new SCD lacks it.
  const std::string list = write_file(dir.path() / "approved.csv", read_file(approved_list(dir)) + "XX9999,12345678\n");
  EXPECT_EQ(run_ccdcrc({"check", list, new_scd, "--status"}).status, 1);
  const std::string markdown = read_file(report_of(dir, old_scd, new_scd, "markdown", {"--approved", list}));
  const fs::path html = report_of(dir, old_scd, new_scd, "html", {"--approved", list});
  const std::string verdict = " fails: the new SCD is not the approved configuration";
  EXPECT_NE(markdown.find("`ccdcrc check " + list + " " + new_scd + "`" + verdict), std::string::npos) << markdown;
  EXPECT_NE(markdown.find("\n| XX9999 | 12345678 | – | missing |\n"), std::string::npos) << markdown;
  const std::string page = read_file(html);
  EXPECT_NE(page.find("<code>ccdcrc check " + list + " " + new_scd + "</code>" + verdict), std::string::npos);
  EXPECT_NE(page.find("<tr><td>XX9999</td><td class=\"mono\">12345678</td><td class=\"mono\">&ndash;</td><td><span "
                      "class=\"status s-missing\">missing</span>"),
            std::string::npos);
  EXPECT_EQ(page.find("s-ok\">ok<"), std::string::npos) << "no IED is shown ok when check fails";

  if (!fs::exists(chromium) || !fs::exists("/usr/bin/pdftotext")) GTEST_SKIP() << "no Chromium or pdftotext";
  const fs::path pdf = dir.path() / "report.pdf";
  const ProcessResult print =
      run_chromium(dir, {"--no-pdf-header-footer", "--print-to-pdf=" + pdf.string(), "file://" + html.string()});
  ASSERT_TRUE(fs::exists(pdf)) << print.err;
  const ProcessResult text = run_process("/usr/bin/pdftotext", {"-layout", pdf.string(), "-"});
  ASSERT_EQ(text.status, 0) << text.err;
  std::vector<std::string> pages;
  std::istringstream sheets(text.out);
  for (std::string sheet; std::getline(sheets, sheet, '\f');) {
    if (sheet.find_first_not_of(" \n") != std::string::npos) pages.push_back(sheet);
  }
  ASSERT_GT(pages.size(), 1u);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_NE(pages[i].find("page " + std::to_string(i + 1) + " of " + std::to_string(pages.size())), std::string::npos)
        << pages[i];
    EXPECT_NE(pages[i].find("SCD change report: substation.scd ("), std::string::npos) << pages[i];
  }
  const std::string& signoff = pages.back();
  EXPECT_NE(signoff.find("Sign-off"), std::string::npos) << signoff;
  for (const std::string& scd : {old_scd, new_scd}) {
    const std::string crc = scd_crc_of(scd);
    ASSERT_EQ(crc.size(), 8u);
    EXPECT_NE(signoff.find("SCD CRC " + crc), std::string::npos) << crc << "\n" << signoff;
  }
}

}  // namespace
}  // namespace ccdcrc::testing
