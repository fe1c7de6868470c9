// Verifying exported CCD files: the CRC of a file's content, computed again
// from the file alone, against the CRC element written into it.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/export.h"
#include "operations/verification.h"
#include "support/test_support.h"
#include "util/nodes.h"

namespace ccdcrc {
namespace {

namespace fs = std::filesystem;
using testing::data_path;
using testing::load_path;
using testing::ScratchDir;

std::string write_file(const ScratchDir& dir, const std::string& name, const std::string& text) {
  return testing::write_file(dir.path() / name, text);
}

using testing::shipped_scds;

TEST(VerifyCcdFile, EveryExportedFileVerifies) {
  ScratchDir dir;
  std::size_t verified = 0;
  for (const std::string& path : shipped_scds()) {
    std::unique_ptr<Scd> scd = load_path(path);
    ASSERT_TRUE(scd) << path;
    for (pugi::xml_node ied : scd->ieds()) {
      std::string crc;
      const std::unique_ptr<Ccd> exported = export_document(*scd, ied, &crc);
      if (!exported) continue;
      const std::string file = write_file(dir, "exported.ccd", testing::serialise(exported->document));
      const CcdFileCheck check = check_ccd_file(file);
      EXPECT_EQ(check.status, CcdFileStatus::ok) << path << " " << attr(ied, "name") << ": " << check.problem;
      EXPECT_EQ(check.file_crc, crc);
      EXPECT_EQ(check.content_crc, crc);
      EXPECT_EQ(check.ied_name, attr(ied, "name"));
      ++verified;
    }
  }
  EXPECT_GT(verified, 40u);
}

TEST(VerifyCcdFile, TextsKeepTheirCarriageReturnsAndBlanksAndLineEndsDoNotMatter) {
  ScratchDir dir;
  const std::string scd_path = write_file(
      dir, "texts.scd",
      "<SCL><IED name=\"T\"><AccessPoint name=\"AP\"><Server><LDevice inst=\"LD\"><LN0 lnClass=\"LLN0\" inst=\"\">"
      "<GSEControl name=\"G\"><Private type=\"blank\">&#32;</Private><Private type=\"cr\">a&#13;b</Private>"
      "<Private type=\"lines\">one\ntwo</Private></GSEControl></LN0></LDevice></Server></AccessPoint></IED></SCL>");
  std::unique_ptr<Scd> scd = load_path(scd_path);
  std::string crc;
  const std::unique_ptr<Ccd> exported = export_document(*scd, find_ied(*scd, "T"), &crc);
  ASSERT_TRUE(exported);
  const std::string text = testing::serialise(exported->document);
  ASSERT_NE(text.find("a\rb"), std::string::npos) << "the export writes the carriage return as it is";
  ASSERT_NE(text.find("> </Private>"), std::string::npos);

  EXPECT_EQ(check_ccd_file(write_file(dir, "T.ccd", text)).status, CcdFileStatus::ok);
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(check_ccd_file(write_file(dir, "crlf.ccd", crlf)).content_crc, crc);
  std::string blank_gone = text;
  blank_gone.replace(blank_gone.find("> </Private>"), 12, "></Private>");
  EXPECT_EQ(check_ccd_file(write_file(dir, "blank.ccd", blank_gone)).status, CcdFileStatus::modified);
}

// Whether the CRC covers an attribute of an exported CCD: the root keeps only
// its name, published members lose their descriptions, subscribed members keep
// only their basic type, and their internal addresses lose their descriptions.
bool measured(pugi::xml_node element, const std::string& attribute) {
  const std::string name = element.name();
  if (name == "IED") return attribute == "name";
  const std::string section = element.select_node("ancestor::*[parent::IED]").node().name();
  const bool subscribed = section == "GOOSESUB" || section == "SVSUB";
  const bool member = name == "FCDA" && std::string(element.parent().name()) == "DataSet";
  if (member && subscribed) return attribute == "bType";
  if (member || (name == "intAddr" && subscribed)) return attribute != "desc";
  return true;
}

TEST(VerifyCcdFile, AnyChangeOfMeasuredContentIsCaughtAndDescriptionsMayChange) {
  std::unique_ptr<Scd> scd = testing::load_fixture("cmp_base.scd");
  std::size_t caught = 0, allowed = 0;
  for (const char* name : {"P1", "B2", "M1"}) {
    std::string crc;
    const std::unique_ptr<Ccd> exported = export_document(*scd, find_ied(*scd, name), &crc);
    ASSERT_TRUE(exported);
    EXPECT_EQ(finish_copy(exported->root)->crc, crc);
    for (pugi::xpath_node selected : exported->root.select_nodes("descendant-or-self::*[not(self::CRC)]")) {
      pugi::xml_node element = selected.node();
      for (pugi::xml_attribute attribute : element.attributes()) {
        const std::string before = attribute.value();
        attribute.set_value((before + "x").c_str());
        const bool unchanged = finish_copy(exported->root)->crc == crc;
        EXPECT_EQ(unchanged, !measured(element, attribute.name()))
            << name << " " << element.path() << " @" << attribute.name();
        (unchanged ? allowed : caught) += 1;
        attribute.set_value(before.c_str());
      }
      if (pugi::xml_text text = element.text()) {
        const std::string before = text.get();
        text.set((before + "x").c_str());
        EXPECT_NE(finish_copy(exported->root)->crc, crc) << name << " " << element.path() << " text";
        text.set(before.c_str());
      }
    }
  }
  EXPECT_GT(caught, 50u);
  EXPECT_GT(allowed, 20u);
}

TEST(VerifyCcdFile, AFileThatIsNoCcdWithACrcSaysWhyAndWhere) {
  ScratchDir dir;
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<IED name=\"P1\">\n\t<GOOSEPUB />\n";
  const auto check_of = [&](const std::string& text) { return check_ccd_file(write_file(dir, "f.ccd", text)); };
  const auto expect_unreadable = [&](const std::string& text, const std::string& problem, std::size_t line,
                                     std::size_t column) {
    const CcdFileCheck check = check_of(text);
    EXPECT_EQ(check.status, CcdFileStatus::unreadable) << problem;
    EXPECT_EQ(check.problem, problem);
    EXPECT_EQ(check.position.line, line) << problem;
    EXPECT_EQ(check.position.column, column) << problem;
  };
  expect_unreadable(head + "</IED>\n", "the IED element has no CRC element, so there is no CRC to check", 2, 1);
  expect_unreadable(head + "\t<CRC timestamp=\"2024-01-01 00:00:00\" />\n</IED>\n",
                    "the CRC element has no id attribute", 4, 2);
  expect_unreadable(head + "\t<CRC id=\"1a2b3c4d\" />\n</IED>\n",
                    "the CRC id '1a2b3c4d' is not eight upper-case hexadecimal digits", 4, 2);
  expect_unreadable(head + "\t<CRC id=\"1A2B3C4\" />\n</IED>\n",
                    "the CRC id '1A2B3C4' is not eight upper-case hexadecimal digits", 4, 2);
  expect_unreadable(head + "\t<CRC id=\"1A2B3C4D\" />\n\t<CRC id=\"1A2B3C4D\" />\n</IED>\n",
                    "the IED element has more than one CRC element", 5, 2);
  expect_unreadable("<SCL>\n</SCL>\n", "the root element is 'SCL', not 'IED': not a CCD file", 1, 1);
  expect_unreadable(head + "\t<CRC id=\"1A2B3C4D\">\n</IED>\n", "not well-formed XML: Start-end tags mismatch", 5, 3);
  const CcdFileCheck missing = check_ccd_file((dir.path() / "missing.ccd").string());
  EXPECT_EQ(missing.status, CcdFileStatus::unreadable);
  EXPECT_EQ(missing.problem, "no such file");

  const CcdFileCheck modified = check_of(head + "\t<CRC id=\"1A2B3C4D\" />\n</IED>\n");
  EXPECT_EQ(modified.status, CcdFileStatus::modified);
  EXPECT_EQ(modified.file_crc, "1A2B3C4D");
  EXPECT_TRUE(is_crc_text(modified.content_crc));
  EXPECT_EQ(check_of(head + "\t<CRC id=\"" + modified.content_crc + "\" />\n</IED>\n").status, CcdFileStatus::ok);
}

}  // namespace
}  // namespace ccdcrc
