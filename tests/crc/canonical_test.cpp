// The canonical text of a CCD: every serialised line trimmed, blanks inside tags
// dropped, lines joined. The CRC of an IED is computed while its CCD is serialised
// in memory; these tests also show that this gives the same text and CRC as saving
// the CCD to a file and reading it back line by line.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "ccd/builder.h"
#include "crc/canonical.h"
#include "operations/crc_runs.h"
#include "support/test_support.h"

namespace ccdcrc {
namespace {

namespace fs = std::filesystem;
using testing::append_canonical_line;
using testing::canonical_ccd_text;
using testing::ScratchDir;

std::string canonical_line(std::string_view line) {
  std::string out;
  append_canonical_line(line, out);
  return out;
}

// Line processing over a serialised text, lines ending at a line feed.
std::string canonical_of_text(const std::string& text) { return testing::canonical_lines(text); }

std::string saved(const pugi::xml_document& document, const char* indent = "\t",
                  unsigned int flags = pugi::format_indent) {
  std::ostringstream out;
  document.save(out, indent, flags, pugi::encoding_auto);
  return out.str();
}

// The canonical text made through a file: saved with the CCD's serialisation
// settings, read back with getline from a text stream.
std::string canonical_through_file(const pugi::xml_document& ccd, const fs::path& file) {
  ccd.save_file(file.c_str(), "\t", pugi::format_indent, pugi::encoding_auto);
  std::string canonical;
  {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) append_canonical_line(line, canonical);
  }
  fs::remove(file);
  return canonical;
}

// Compares the in-memory canonical text and CRC of a finished CCD with the file-based
// ones; returns false (after reporting) when they differ.
bool same_as_through_file(const pugi::xml_document& ccd, const fs::path& file, const std::string& what) {
  const std::string from_file = canonical_through_file(ccd, file);
  const std::string in_memory = canonical_ccd_text(ccd);
  EXPECT_FALSE(from_file.empty()) << what;
  EXPECT_EQ(in_memory, from_file) << what;
  EXPECT_EQ(ccd_crc_text(ccd), crc_text_of(from_file)) << what;
  return in_memory == from_file && ccd_crc_text(ccd) == crc_text_of(from_file);
}

using testing::load_path;
using testing::scl_files_in;

// Every IED with circuits in these files, finished as measured; counts the IEDs.
int check_equivalence_over(const std::vector<fs::path>& files, const fs::path& scratch) {
  int checked = 0;
  for (const fs::path& path : files) {
    std::unique_ptr<Scd> scd = load_path(path.string());
    if (!scd) continue;  // not loadable: no CRC either way
    for (pugi::xml_node ied : scd->ieds()) {
      std::unique_ptr<Ccd> ccd = build_ied_ccd(*scd, ied);
      if (ccd->nothing_found) continue;
      finish_ccd(ccd->root);
      const std::string what = path.filename().string() + " IED " + ied.attribute("name").value();
      same_as_through_file(ccd->document, scratch / (path.filename().string() + ".ccdtmp.txt"), what);
      ++checked;
    }
  }
  return checked;
}

TEST(CanonicalLine, TheFiveLinesOfTheExample) {
  EXPECT_EQ(canonical_line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), "<?xmlversion=\"1.0\"encoding=\"UTF-8\"?>");
  EXPECT_EQ(canonical_line("<IED name=\"P1\">"), "<IEDname=\"P1\">");
  EXPECT_EQ(canonical_line("\t<GOOSEPUB>"), "<GOOSEPUB>");
  EXPECT_EQ(canonical_line("\t\t<P type=\"IP\">10.0.0.1 / 24</P>"), "<Ptype=\"IP\">10.0.0.1 / 24</P>");
  EXPECT_EQ(canonical_line("\t\t\t<DataSet name=\"Bay 1 data\" />"), "<DataSetname=\"Bay 1 data\"/>");
}

TEST(CanonicalLine, TrimsOnlyTheEndsAndKeepsEveryOtherCharacter) {
  EXPECT_EQ(canonical_line(""), "");
  EXPECT_EQ(canonical_line(" \t\r\n \t"), "");
  EXPECT_EQ(canonical_line(" \t<X a=\"1\" />\r"), "<Xa=\"1\"/>");
  EXPECT_EQ(canonical_line("\t\t<Val>  padded  </Val>"), "<Val>  padded  </Val>");
  // Tabs and carriage returns inside the line are kept, inside tags too.
  EXPECT_EQ(canonical_line("\t<P>a\tb\rc</P>\t"), "<P>a\tb\rc</P>");
  EXPECT_EQ(canonical_line("<A\tb=\"1\"\r/>"), "<A\tb=\"1\"\r/>");
  // Text of a continued multi-line element: no tag, so blanks stay.
  EXPECT_EQ(canonical_line("second line of text  "), "second line of text");
}

TEST(CanonicalLine, QuoteAndTagFlagsFollowTheCharactersOfOneLine) {
  // A lone quote in element text keeps the following tag's blanks.
  EXPECT_EQ(canonical_line("\t<A>say \"hi<B c=\"2\" />"), "<A>say \"hi<B c=\"2\" />");
  EXPECT_EQ(canonical_line("\t<A>say hi<B c=\"2\" />"), "<A>say hi<Bc=\"2\"/>");
  // Both flags start afresh on the next line.
  EXPECT_EQ(canonical_of_text("<A>say \"hi<B c=\"2\" />\n\t<C d=\"3\" />\n</A>\n"),
            "<A>say \"hi<B c=\"2\" /><Cd=\"3\"/></A>");
  // A ">" in an attribute value (serialised unescaped) ends the tag for the blanks.
  EXPECT_EQ(canonical_line("<X v=\"a > b\" w=\"1\" />"), "<Xv=\"a > b\" w=\"1\" />");
  // Text outside any tag keeps its blanks whatever the quote flag.
  EXPECT_EQ(canonical_line("<T>\"a b\" c d</T>"), "<T>\"a b\" c d</T>");
}

TEST(CanonicalText, OfADocumentIsItsLinesJoined) {
  pugi::xml_document ccd;
  pugi::xml_node declaration = ccd.prepend_child(pugi::node_declaration);
  declaration.append_attribute("version").set_value("1.0");
  declaration.append_attribute("encoding").set_value("UTF-8");
  pugi::xml_node ied = ccd.append_child("IED");
  ied.append_attribute("name").set_value("P1");
  pugi::xml_node goosepub = ied.append_child("GOOSEPUB");
  pugi::xml_node p = goosepub.append_child("P");
  p.append_attribute("type").set_value("IP");
  p.text().set("10.0.0.1 / 24");
  goosepub.append_child("GOCBref").append_child("DataSet").append_attribute("name").set_value("Bay 1 data");

  ASSERT_EQ(saved(ccd),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<IED name=\"P1\">\n"
            "\t<GOOSEPUB>\n"
            "\t\t<P type=\"IP\">10.0.0.1 / 24</P>\n"
            "\t\t<GOCBref>\n"
            "\t\t\t<DataSet name=\"Bay 1 data\" />\n"
            "\t\t</GOCBref>\n"
            "\t</GOOSEPUB>\n"
            "</IED>\n");
  const std::string expected =
      "<?xmlversion=\"1.0\"encoding=\"UTF-8\"?><IEDname=\"P1\"><GOOSEPUB><Ptype=\"IP\">10.0.0.1 / 24</P>"
      "<GOCBref><DataSetname=\"Bay 1 data\"/></GOCBref></GOOSEPUB></IED>";
  EXPECT_EQ(canonical_ccd_text(ccd), expected);
  EXPECT_EQ(ccd_crc_text(ccd), crc_text_of(expected));
}

TEST(CanonicalText, IndependentOfLayoutButNotOfContent) {
  auto scd = testing::load_fixture("pub_golden.scd");
  ASSERT_TRUE(scd);
  std::unique_ptr<Ccd> ccd = build_ied_ccd(*scd, find_ied(*scd, "PROT1"));
  finish_ccd(ccd->root);
  const std::string reference = canonical_of_text(saved(ccd->document));
  ASSERT_EQ(reference, canonical_ccd_text(ccd->document));

  // Other indentation, no indentation, one line, CRLF line ends, more blanks in tags.
  EXPECT_EQ(canonical_of_text(saved(ccd->document, "  ")), reference);
  EXPECT_EQ(canonical_of_text(saved(ccd->document, "")), reference);
  EXPECT_EQ(canonical_of_text(saved(ccd->document, "\t", pugi::format_raw)), reference);
  std::string crlf;
  for (char c : saved(ccd->document)) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  EXPECT_EQ(canonical_of_text(crlf), reference);
  std::string spaced = saved(ccd->document);
  for (std::size_t at = spaced.find("\" "); at != std::string::npos; at = spaced.find("\" ", at + 4)) {
    spaced.replace(at, 2, "\"   ");
  }
  EXPECT_EQ(canonical_of_text(spaced), reference);

  // Attribute order, an attribute value and an element text all count.
  pugi::xml_node fcda = ccd->root.select_node("GOOSEPUB/GOCBref/DataSet/FCDA").node();
  pugi::xml_document reordered;
  reordered.reset(ccd->document);
  pugi::xml_node moved = reordered.document_element().select_node("GOOSEPUB/GOCBref/DataSet/FCDA").node();
  moved.remove_attribute("bType");
  moved.append_attribute("bType").set_value(fcda.attribute("bType").value());
  EXPECT_NE(canonical_ccd_text(reordered), reference);

  pugi::xml_document revalued;
  revalued.reset(ccd->document);
  revalued.document_element().select_node("GOOSEPUB/GOCBref/DataSet/FCDA").node().attribute("fc").set_value("MX");
  EXPECT_NE(canonical_ccd_text(revalued), reference);

  pugi::xml_document retexted;
  retexted.reset(ccd->document);
  retexted.document_element().select_node("//P").node().text().set("01-0C-CD-01-00-1F");
  EXPECT_NE(canonical_ccd_text(retexted), reference);
}

TEST(CanonicalEquivalence, InMemoryEqualsThroughAFileForEveryFixture) {
  ScratchDir scratch;
  std::vector<fs::path> files = scl_files_in(CCDCRC_TEST_DATA);
  const std::vector<fs::path> examples = scl_files_in(CCDCRC_EXAMPLES);
  files.insert(files.end(), examples.begin(), examples.end());
  const int checked = check_equivalence_over(files, scratch.path());
  // The publication fixtures alone have eight IEDs with circuits.
  EXPECT_GE(checked, 8);
}

// Lines that straddle the chunks in which the serialiser hands out its text,
// and one line longer than several chunks.
TEST(CanonicalEquivalence, LinesAcrossSerialiserChunks) {
  ScratchDir scratch;
  pugi::xml_document ccd;
  pugi::xml_node root = ccd.append_child("IED");
  root.append_attribute("name").set_value("P1");
  pugi::xml_node section = root.append_child("GOOSEPUB");
  for (int i = 0; i < 700; ++i) {
    pugi::xml_node element = section.append_child("P");
    element.append_attribute("type").set_value(std::string(static_cast<std::size_t>(i % 97), 'v').c_str());
    element.append_attribute("spaced").set_value(" a \" b ");
    if (i % 3 == 0) element.text().set((std::string(static_cast<std::size_t>(i), 'x') + " \"lone").c_str());
    if (i % 5 == 0) element.append_child("Q").append_attribute("w").set_value("1 2");
  }
  section.append_child("Long").text().set(std::string(50000, 'y').c_str());
  EXPECT_TRUE(same_as_through_file(ccd, scratch.path() / "chunks.ccdtmp.txt", "synthetic"));
}

// The streaming writer against the line-by-line definition, on texts made of
// the bytes that matter (line ends, blanks, quotes, angle brackets) cut into
// chunks of every size from one byte up: no state may leak between lines or
// get lost between chunks.
std::string streamed_in_chunks(const std::string& text, std::size_t chunk) {
  std::string streamed;
  CanonicalWriter writer([&streamed](std::string_view piece) { streamed.append(piece); });
  for (std::size_t at = 0; at < text.size(); at += chunk)
    writer.write(text.data() + at, std::min(chunk, text.size() - at));
  writer.finish();
  return streamed;
}

TEST(CanonicalEquivalence, StreamingWriterEqualsLineByLineForAnyChunking) {
  const std::string alphabet = "\n \t\r\"<>a=/";
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFFu; };
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const std::size_t length = next() % 200;
    for (std::size_t i = 0; i < length; ++i) text.push_back(alphabet[next() % alphabet.size()]);
    const std::string expected = canonical_of_text(text);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{64}}) {
      ASSERT_EQ(streamed_in_chunks(text, chunk), expected) << "chunks of " << chunk << " over \"" << text << "\"";
    }
  }
  // Texts longer than the writer's buffer, with runs of blanks longer than it
  // that are kept (inside a value) or dropped (at a line's end).
  std::string long_text = "<a x=\"" + std::string(150000, ' ') + "\" />\nt" + std::string(70000, '\t') + "\n";
  for (int i = 0; i < 300000; ++i) long_text.push_back(alphabet[next() % alphabet.size()]);
  long_text += std::string(100000, ' ');
  for (std::size_t chunk : {std::size_t{1000}, std::size_t{65536}, long_text.size()}) {
    EXPECT_TRUE(streamed_in_chunks(long_text, chunk) == canonical_of_text(long_text)) << "chunks of " << chunk;
  }
}

// Nesting far deeper than any real CCD, mixed content, and text with line
// ends and leading blanks of its own: the indentation the serialiser would
// write never changes the canonical text.
TEST(CanonicalEquivalence, DeepNestingAndMixedContent) {
  ScratchDir scratch;
  pugi::xml_document ccd;
  pugi::xml_node declaration = ccd.append_child(pugi::node_declaration);
  declaration.append_attribute("version").set_value("1.0");
  pugi::xml_node node = ccd.append_child("IED");
  node.append_attribute("name").set_value("P1");
  for (int level = 0; level < 3000; ++level) {
    node = node.append_child(level % 2 ? "SDI" : "DOI");
    node.append_attribute("name").set_value(level % 7 ? "s" : " spaced  name ");
    if (level % 5 == 0) node.append_child(pugi::node_pcdata).set_value(level % 10 ? "text" : "\t two\n  \tlines \"");
    if (level % 11 == 0) node.append_child("Leaf").text().set(" leaf ");
  }
  node.append_child("DAI").text().set("\n\n end \n");
  EXPECT_TRUE(same_as_through_file(ccd, scratch.path() / "deep.ccdtmp.txt", "3000 levels"));
}

TEST(CanonicalEquivalence, CorpusFiles) {
  const fs::path corpus = testing::corpus_dir();
  std::error_code error;
  if (!fs::is_directory(corpus, error)) GTEST_SKIP() << "no corpus at " << corpus;
  ScratchDir scratch;
  const int checked = check_equivalence_over(scl_files_in(corpus), scratch.path());
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace ccdcrc
