// A text parsed in parts on several threads gives what one parse of it gives:
// the same CRCs, CCDs, Header, bays and positions, or the same error at the
// same place. Texts that cannot be parted so are parsed whole.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "operations/crc_runs.h"
#include "operations/shown_ccd.h"
#include "scd/bays.h"
#include "scd/header.h"
#include "scd/scd.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

std::string example_text() {
  std::ifstream file(example_path("substation.scd"), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The example with `from` replaced by `to` (once).
std::string edited(const std::string& from, const std::string& to) {
  std::string text = example_text();
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::unique_ptr<Scd> loaded(const std::string& text, std::size_t most_parts, LoadProblem& problem) {
  SourceText source;
  EXPECT_TRUE(source.assign(text));
  LoadOptions options;
  options.parting = {.most_parts = most_parts, .smallest_part = 1};
  return Scd::parse(std::move(source), "station.scd", &problem, options);
}

std::vector<std::string> listing(const Scd& scd) {
  std::vector<std::string> lines;
  for (const ListedCrc& listed : listed_crcs(scd)) lines.push_back(listed.name() + " " + listed.crc.value_or("-"));
  return lines;
}

struct Row {
  std::string what;
  std::string text;
  std::optional<bool> parted;  // nullopt: where the cuts fall decides
  bool joined = false;         // parsed in parts and joined: the nodes' positions are unknown
};

// A fixture padded with blanks before its IED S, so that it is parsed in place and may be parted.
std::string padded(const std::string& name) {
  std::string text = read_file(data_path(name));
  text.insert(text.find("\t<IED name=\"S\""), std::size_t{65536}, ' ');
  return text;
}

TEST(PartedParse, GivesWhatOneParseGives) {
  const std::string ied = "\t<IED name=\"CL1101\"";
  const std::vector<Row> rows = {
      {"the example", example_text(), true},
      {"a byte order mark", "\xEF\xBB\xBF" + example_text(), true},
      {"a processing instruction among the IEDs", edited(ied, "\t<?vendor data?>\n" + ied), true},
      {"an apostrophe", edited("desc=\"110kV 林河线 线路保护\"", "desc=\"it's\""), false},
      {"&apos;", edited("desc=\"110kV 林河线 线路保护\"", "desc=\"a&apos;b\""), false},
      {"&#39;", edited("desc=\"110kV 林河线 线路保护\"", "desc=\"a&#39;b\""), false},
      {"&#x27;", edited("desc=\"110kV 林河线 线路保护\"", "desc=\"a&#x27;b\""), false},
      {"references past 32 bits that stand for apostrophes", padded("sub_query_in_a_value.scd"), false, true},
      {"IEDs in a comment", edited(ied, "\t<!-- </IED>\n\t<IED name=\"X\"> -->\n" + ied), std::nullopt},
      {"IEDs in CDATA", edited(ied, "\t<Private><![CDATA[</IED>\n\t<IED name=\"X\">]]></Private>\n" + ied),
       std::nullopt},
      {"'>' in a value", edited("desc=\"110kV 林河线 线路保护\"", "desc=\"a > b\""), true},
      {"a document type inside the root", edited(ied, "\t<!DOCTYPE x>\n" + ied), false},
      {"a declaration inside the root", edited(ied, "\t<?xml version=\"1.0\"?>\n" + ied), false},
      {"an end tag that does not match", edited(ied, "\t<Private></Privat>\n" + ied), false},
      {"an element left open", edited(ied, "\t<Private>\n" + ied), false},
      {"the root closed early", edited(ied, "</SCL>\n" + ied), false},
      {"text before the root's end", edited("</SCL>", "tail</SCL>"), false},
      {"content after the root", example_text() + "<!-- end -->\n", false},
      {"Latin-1", edited("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\""), false},
      {"a zero byte among the IEDs", edited(ied, std::string("\t\0", 2) + ied), false},
      {"a zero byte before the root", edited("<SCL", std::string("\0<SCL", 5)), false},
      {"a zero byte after the root", example_text() + std::string("\0<x>", 4), false},
  };
  const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1700000000");
  for (const Row& row : rows) {
    LoadProblem in_parts_problem;
    LoadProblem whole_problem;
    const std::unique_ptr<Scd> in_parts = loaded(row.text, 8, in_parts_problem);
    const std::unique_ptr<Scd> whole = loaded(row.text, 1, whole_problem);
    ASSERT_EQ(!in_parts, !whole) << row.what << ": " << whole_problem.message << in_parts_problem.message;
    if (!whole) {
      EXPECT_EQ(in_parts_problem.message, whole_problem.message) << row.what;
      EXPECT_EQ(in_parts_problem.position.line, whole_problem.position.line) << row.what;
      EXPECT_EQ(in_parts_problem.position.column, whole_problem.position.column) << row.what;
      continue;
    }
    if (row.parted) {
      EXPECT_EQ(in_parts->content().in_fragments(), *row.parted) << row.what;
    }
    EXPECT_FALSE(whole->content().in_fragments()) << row.what;
    EXPECT_EQ(listing(*in_parts), listing(*whole)) << row.what;
    EXPECT_EQ(scd_header(*in_parts).id, scd_header(*whole).id) << row.what;
    EXPECT_EQ(bays_of_ieds(*in_parts).size(), bays_of_ieds(*whole).size()) << row.what;
    EXPECT_EQ(in_parts->ignored_content().has_value(), whole->ignored_content().has_value()) << row.what;
    const std::vector<pugi::xml_node> ieds = in_parts->ieds();
    const std::vector<pugi::xml_node> whole_ieds = whole->ieds();
    ASSERT_EQ(ieds.size(), whole_ieds.size()) << row.what;
    for (std::size_t i = 0; i < ieds.size(); ++i) {
      if (!row.joined) {
        EXPECT_EQ(in_parts->position(ieds[i]).line, whole->position(whole_ieds[i]).line) << row.what;
        EXPECT_EQ(in_parts->position(ieds[i]).column, whole->position(whole_ieds[i]).column) << row.what;
      }
      // Exported, with the namespaces the root declares.
      EXPECT_EQ(shown_text(show_ccd(*in_parts, ieds[i], CcdForm::exported)),
                shown_text(show_ccd(*whole, whole_ieds[i], CcdForm::exported)))
          << row.what;
    }
  }
}

// The place of an error is counted on the text as it was read, which a parse
// in place changes: line ends where names end, and in values, become zero
// bytes and blanks. A text of a megabyte, parsed in place whole or in parts,
// names the place that the same fault has in a short text.
TEST(PartedParse, NamesAnErrorWhereTheTextHasIt) {
  struct Fault {
    std::string what;
    std::string text;
    TextPosition position;
  };
  const std::vector<Fault> faults = {
      {"an end tag that does not match", "\t</IDE>\n", {6, 4}},
      {"an attribute without a value", "\t</IED>\n\t<IED name=\"P2\" desc></IED>\n", {7, 22}},
  };
  // Elements on the root's line, so that the line numbers stay as they are.
  std::string filler;
  while (filler.size() < (std::size_t{1} << 20)) filler += " <IED name=\"F\" desc=\"" + std::string(60, 'x') + "\"/>";
  for (const Fault& fault : faults) {
    const std::string end = "\n\t<IED\n\t\tname=\"P1\" desc=\"two\nlines\">\n" + fault.text + "</SCL>\n";
    const std::string start = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SCL>";
    for (const auto& [text, parts] :
         {std::pair{start + end, 1}, {start + filler + end, 1}, {start + filler + end, 8}}) {
      LoadProblem problem;
      EXPECT_FALSE(loaded(text, static_cast<std::size_t>(parts), problem)) << fault.what;
      EXPECT_EQ(problem.position.line, fault.position.line)
          << fault.what << ", " << text.size() << " bytes in " << parts;
      EXPECT_EQ(problem.position.column, fault.position.column)
          << fault.what << ", " << text.size() << " bytes in " << parts;
    }
  }
}

}  // namespace
}  // namespace ccdcrc::testing
