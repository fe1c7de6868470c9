// Text and node helpers: line and column of an offset, splitting, replacing, element lists, attribute maps and
// the filtered copies that decide how SCD content looks in a CCD.

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "support/test_support.h"
#include "util/nodes.h"
#include "util/text.h"
#include "xml/text_lines.h"

namespace ccdcrc {
namespace {

using Pieces = std::vector<std::string>;

// The reference the splitting must behave like: a getline loop over a string stream.
Pieces getline_pieces(const std::string& text, char delimiter) {
  Pieces pieces;
  std::istringstream stream(text);
  std::string piece;
  while (std::getline(stream, piece, delimiter)) pieces.push_back(piece);
  return pieces;
}

pugi::xml_node parse_into(pugi::xml_document& document, const char* xml) {
  pugi::xml_parse_result result = document.load_string(xml, pugi::parse_full);
  EXPECT_TRUE(result) << result.description();
  return document.document_element();
}

// Serialises one element subtree as the CCD is serialised.
std::string serialised(pugi::xml_node node) {
  std::ostringstream out;
  node.print(out, "\t", pugi::format_indent);
  return out.str();
}

std::vector<std::string> attribute_names(pugi::xml_node node) {
  std::vector<std::string> names;
  for (pugi::xml_attribute attribute : node.attributes()) names.emplace_back(attribute.name());
  return names;
}

TEST(Split, KeepsInnerAndLeadingEmptyPiecesButNoTrailingOne) {
  EXPECT_EQ(split("a.b.d", '.'), (Pieces{"a", "b", "d"}));
  EXPECT_EQ(split("a..b", '.'), (Pieces{"a", "", "b"}));
  EXPECT_EQ(split(".a", '.'), (Pieces{"", "a"}));
  EXPECT_EQ(split("a.", '.'), (Pieces{"a"}));
  EXPECT_EQ(split("a..", '.'), (Pieces{"a", ""}));
  EXPECT_EQ(split(".", '.'), (Pieces{""}));
  EXPECT_EQ(split("", '.'), Pieces{});
  EXPECT_EQ(split("stVal", '.'), (Pieces{"stVal"}));
  EXPECT_EQ(split("LD0/XCBR1.Pos", '/'), (Pieces{"LD0", "XCBR1.Pos"}));
  EXPECT_EQ(split("IED1:LD0/Q0XCBR1.Pos.stVal", ':'), (Pieces{"IED1", "LD0/Q0XCBR1.Pos.stVal"}));
}

TEST(Split, BehavesLikeAGetlineLoopOnEveryShortText) {
  // Every text of up to seven characters over {a, .}.
  for (int length = 0; length <= 7; ++length) {
    for (int bits = 0; bits < (1 << length); ++bits) {
      std::string text;
      for (int i = 0; i < length; ++i) text += (bits >> i) & 1 ? '.' : 'a';
      EXPECT_EQ(split(text, '.'), getline_pieces(text, '.')) << "text \"" << text << "\"";
    }
  }
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
  std::string query = "./LN0[@inst=''][@lnInst='']/x|./LN[@lnInst='']";
  EXPECT_EQ(replace_all(query, "[@lnInst='']", ""), "./LN0[@inst='']/x|./LN");

  std::string grows = "aa";
  EXPECT_EQ(replace_all(grows, "a", "aa"), "aaaa");

  std::string overlapping = "aaa";
  EXPECT_EQ(replace_all(overlapping, "aa", "b"), "ba");

  std::string prefix_rule = "./LN0[not(@prefix) or @prefix='P'][@inst='1']|./LN[not(@prefix) or @prefix='P']";
  EXPECT_EQ(replace_all(prefix_rule, "not(@prefix) or ", ""), "./LN0[@prefix='P'][@inst='1']|./LN[@prefix='P']");

  std::string untouched = "abc";
  EXPECT_EQ(replace_all(untouched, "x", "y"), "abc");
  EXPECT_EQ(replace_all(untouched, "", "y"), "abc");

  // The subject is changed in place and handed back.
  std::string subject = "x-x";
  EXPECT_EQ(&replace_all(subject, "x", "y"), &subject);
  EXPECT_EQ(subject, "y-y");
}

// Paths read as they were given: the directory's own separator, a backslash
// kept as it is, no separator doubled; on Windows the backslash is the
// platform's separator.
TEST(PathsAsGiven, JoinAndPrintWithTheSeparatorOfTheDirectory) {
  const bool windows = std::filesystem::path::preferred_separator == '\\';
  struct Row {
    std::string directory;
    std::string joined;          // with "PL1101.ccd"
    std::string windows_joined;  // where it differs on Windows
  };
  const std::vector<Row> rows{
      {"out", "out/PL1101.ccd", "out\\PL1101.ccd"},
      {"out/", "out/PL1101.ccd", "out\\PL1101.ccd"},
      {"/", "/PL1101.ccd", ""},
      {"a/b", "a/b/PL1101.ccd", ""},
      {"C:\\Daten\\Export", "C:\\Daten\\Export/PL1101.ccd", "C:\\Daten\\Export\\PL1101.ccd"},
      {"C:\\Daten\\Export\\", "C:\\Daten\\Export\\/PL1101.ccd", "C:\\Daten\\Export\\PL1101.ccd"},
      {"C:\\", "C:\\/PL1101.ccd", "C:\\PL1101.ccd"},
  };
  for (const Row& row : rows) {
    const std::string expected = windows && !row.windows_joined.empty() ? row.windows_joined : row.joined;
    EXPECT_EQ(file_in(without_trailing_slashes(row.directory), "PL1101.ccd"), expected) << row.directory;
  }
  EXPECT_EQ(printable_path("C:\\Daten\\Station\tÖlsen.scd"), "C:\\Daten\\Station\\tÖlsen.scd");
  EXPECT_EQ(printable("C:\\Daten"), "C:\\\\Daten");
}

TEST(ChildElements, TakesOnlyElementsOfExactlyThatName) {
  pugi::xml_document document;
  pugi::xml_node ied = parse_into(document,
                                  "<IED name='P1'>"
                                  "<AccessPoint name='A'/>"
                                  "<?AccessPoint name='pi'?>"
                                  "<!--AccessPoint-->"
                                  "<accesspoint name='lower'/>"
                                  "<AccessPoints name='longer'/>"
                                  "<Services><AccessPoint name='nested'/></Services>"
                                  "<AccessPoint name='B'/>"
                                  "</IED>");
  std::vector<pugi::xml_node> access_points = child_elements(ied, "AccessPoint");
  ASSERT_EQ(access_points.size(), 2u);
  EXPECT_STREQ(access_points[0].attribute("name").value(), "A");
  EXPECT_STREQ(access_points[1].attribute("name").value(), "B");

  EXPECT_TRUE(child_elements(ied, "LDevice").empty());
  EXPECT_TRUE(child_elements(pugi::xml_node(), "AccessPoint").empty());
}

TEST(AttributeMap, OrdersNamesByteWiseAndKeepsTheLastOfARepeatedName) {
  pugi::xml_document document;
  pugi::xml_node element = document.append_child("FCDA");
  for (const char* name : {"prefix", "lnInst", "lnClass", "doName", "daName", "Zeta", "\xC3\xA9t\xC3\xA9", "z"}) {
    element.append_attribute(name).set_value(name);
  }
  element.append_attribute("doName").set_value("second");

  const AttributeMap map = attribute_map(element);
  std::vector<std::string> names;
  for (const auto& [name, value] : map) names.push_back(name);
  // Upper case before lower case, and bytes above 0x7F after all ASCII.
  EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "daName", "doName", "lnClass", "lnInst", "prefix", "z",
                                             "\xC3\xA9t\xC3\xA9"}));
  EXPECT_EQ(std::find_if(map.begin(), map.end(), [](const auto& entry) { return entry.first == "doName"; })->second,
            "second");
  EXPECT_TRUE(attribute_map(pugi::xml_node()).empty());
}

// Few and many attributes are sorted in different ways; both give the order
// and the values of a map filled attribute by attribute.
TEST(AttributeMap, ManyAttributesWithRepeatsAsAMapFilledInOrder) {
  for (int count : {3, 16, 17, 300}) {
    pugi::xml_document document;
    pugi::xml_node element = document.append_child("E");
    std::map<std::string, std::string> expected;
    for (int i = 0; i < count; ++i) {
      std::string name = "a";
      name += std::to_string((i * 7919) % (count / 2 + 1));  // every name about twice
      const std::string value = std::to_string(i);
      element.append_attribute(name.c_str()).set_value(value.c_str());
      expected[name] = value;
    }
    const AttributeMap map = attribute_map(element);
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(Entries(map.begin(), map.end()), Entries(expected.begin(), expected.end())) << count;
    pugi::xml_node copy = document.append_child("C");
    copy_attributes(element, copy);
    std::map<std::string, std::string> copied;
    for (pugi::xml_attribute attribute : copy.attributes()) copied[attribute.name()] = attribute.value();
    EXPECT_EQ(copied, expected) << count << " attributes";
    EXPECT_EQ(attribute_names(copy).size(), expected.size());
  }
}

TEST(CopyAttributes, FiltersExactlyDescAndDuAndAppendsInByteOrder) {
  pugi::xml_document document;
  pugi::xml_node source = parse_into(
      document,
      "<FCDA ldInst='LD0' prefix='' desc='d' lnClass='XCBR' dU='u' lnInst='1' doName='Pos' Desc='D' daName='stVal' "
      "DU='U' du='u2' descr='r' dUx='x' fc='ST'/>");
  pugi::xml_node target = document.append_child("Target");
  target.append_attribute("name").set_value("kept first");
  copy_attributes(source, target);
  EXPECT_EQ(attribute_names(target), (std::vector<std::string>{"name", "DU", "Desc", "dUx", "daName", "descr", "doName",
                                                               "du", "fc", "ldInst", "lnClass", "lnInst", "prefix"}));
  EXPECT_STREQ(target.attribute("prefix").value(), "");
  EXPECT_STREQ(target.attribute("Desc").value(), "D");

  // Null handles copy nothing and do not fail.
  copy_attributes(pugi::xml_node(), target);
  copy_attributes(source, pugi::xml_node());
  EXPECT_EQ(attribute_names(target).size(), 13u);
}

TEST(CopyElementTree, LeavesOutDuElementsAndFiltersAttributesAtEveryLevel) {
  pugi::xml_document source_document;
  pugi::xml_node do_type = parse_into(source_document,
                                      "<DOType id='DPC' desc='type' cdc='DPC'>"
                                      "<DA name='stVal' fc='ST' bType='Dbpos' desc='value'/>"
                                      "<DA name='dU' fc='DC' bType='Unicode255'><Val>drop</Val></DA>"
                                      "<DA name='DU' fc='DC' bType='Unicode255'/>"
                                      "<DA name='q' dU='unit' fc='ST' bType='Quality'/>"
                                      "</DOType>");
  pugi::xml_document target;
  copy_element_tree(target, do_type);
  EXPECT_EQ(serialised(target.first_child()),
            "<DOType cdc=\"DPC\" id=\"DPC\">\n"
            "\t<DA bType=\"Dbpos\" fc=\"ST\" name=\"stVal\" />\n"
            "\t<DA bType=\"Unicode255\" fc=\"DC\" name=\"DU\" />\n"
            "\t<DA bType=\"Quality\" fc=\"ST\" name=\"q\" />\n"
            "</DOType>\n");

  // An element named dU is not copied at all, nor is a null or non-element source.
  pugi::xml_document nothing;
  copy_element_tree(nothing, do_type.find_child_by_attribute("DA", "name", "dU"));
  copy_element_tree(nothing, pugi::xml_node());
  pugi::xml_document text_source;
  copy_element_tree(nothing, text_source.append_child(pugi::node_pcdata));
  copy_element_tree(nothing, text_source.append_child(pugi::node_comment));
  EXPECT_FALSE(nothing.first_child());
  copy_element_tree(pugi::xml_node(), do_type);  // no target: nothing happens
}

TEST(CopyElementTree, KeepsOnlyTheFirstTextChunkBeforeTheChildren) {
  struct Case {
    const char* source;
    const char* copy;
  };
  const Case cases[] = {
      {"<Val>1</Val>", "<Val>1</Val>\n"},
      {"<P type='IP'>text<Child a='1'/>more text</P>", "<P type=\"IP\">text<Child a=\"1\" />\n</P>\n"},
      // The first text chunk moves in front of a child that came before it.
      {"<P><Child/>tail</P>", "<P>tail<Child />\n</P>\n"},
      // CDATA becomes plain, escaped text.
      {"<Private><![CDATA[<b>&</b>]]></Private>", "<Private>&lt;b&gt;&amp;&lt;/b&gt;</Private>\n"},
      {"<Private><![CDATA[first]]>second</Private>", "<Private>first</Private>\n"},
      {"<Private><!-- only a comment --></Private>", "<Private />\n"},
      {"<Private><?target data?></Private>", "<Private />\n"},
      {"<Private><!--c--><?pi?>after<Inner><!--c--></Inner></Private>", "<Private>after<Inner />\n</Private>\n"},
      {"<Val>  padded  </Val>", "<Val>  padded  </Val>\n"},
  };
  for (const Case& c : cases) {
    pugi::xml_document source;
    pugi::xml_document target;
    copy_element_tree(target, parse_into(source, c.source));
    EXPECT_EQ(serialised(target.first_child()), c.copy) << c.source;
  }
}

TEST(CopyElementTree, CopiesAHundredThousandLevelsWithoutRecursion) {
  constexpr int depth = 100000;
  pugi::xml_document source;
  pugi::xml_node node = source.append_child("SDI");
  pugi::xml_node top = node;
  for (int level = 1; level < depth; ++level) {
    node = node.append_child("SDI");
    node.append_attribute("desc").set_value("left out");
  }
  node.append_attribute("name").set_value("leaf");

  pugi::xml_document target;
  copy_element_tree(target, top);
  int copied = 0;
  pugi::xml_node last;
  for (pugi::xml_node level = target.first_child(); level; level = level.first_child()) {
    ++copied;
    last = level;
    ASSERT_FALSE(level.attribute("desc")) << "at level " << copied;
  }
  EXPECT_EQ(copied, depth);
  EXPECT_STREQ(last.attribute("name").value(), "leaf");
}

// The line ends found before a parse tell every offset's line and column as
// the text itself does: lines of every length, across blocks, where a block
// holds so many line ends that it keeps them as a bitmap, at the text's end
// and one past it.
TEST(TextLines, TellWhatTheTextTells) {
  std::string mixed;
  for (int i = 0; mixed.size() < 300000; ++i) mixed += std::string(static_cast<std::size_t>(i % 97), 'x') + "\n";
  mixed += std::string(70000, '\n') + std::string(70000, 'y') + "\nz\n\nend";
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"empty", ""},
      {"no line end", std::string(200000, 'a')},
      {"line ends only", std::string(140000, '\n')},
      {"every other byte",
       [] {
         std::string text;
         for (int i = 0; i < 100000; ++i) text += "a\n";
         return text;
       }()},
      {"lines of every length", mixed},
  };
  for (const auto& [what, text] : rows) {
    const TextLines lines(text, 3);
    std::vector<std::size_t> offsets{text.size(), text.size() + 1};
    for (std::size_t offset = 0; offset < text.size(); offset += 1 + offset % 1009) offsets.push_back(offset);
    for (std::size_t block = 65536; block < text.size(); block += 65536) {
      offsets.insert(offsets.end(), {block - 1, block, block + 1});
    }
    for (std::size_t offset : offsets) {
      const TextPosition expected = position_in(text, static_cast<std::ptrdiff_t>(offset));
      const TextPosition found = lines.position(static_cast<std::ptrdiff_t>(offset));
      ASSERT_EQ(found.line, expected.line) << what << " at " << offset;
      ASSERT_EQ(found.column, expected.column) << what << " at " << offset;
    }
    EXPECT_EQ(lines.position(-1).line, 0u) << what;
  }
}

}  // namespace
}  // namespace ccdcrc
