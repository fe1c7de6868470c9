// The indexed lookups must build exactly the CCDs that the defining queries
// build, for every IED of every SCD we have.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "util/nodes.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

using testing::scl_files_in;

std::ptrdiff_t position(pugi::xml_node node, const std::vector<pugi::xml_node>& nodes) {
  return std::find(nodes.begin(), nodes.end(), node) - nodes.begin();
}

// Compares every IED's CCD, as built and as measured, between both lookup modes,
// and the CRC of the CCDs built for measuring with the reference's.
// Returns the number of IEDs compared.
// The indexed side is parsed in as many parts as the text allows.
int expect_same_ccds(const fs::path& file, int* parted = nullptr) {
  LoadOptions parted_finely;
  parted_finely.parting = {.most_parts = 7, .smallest_part = 1};
  LoadOptions queries;
  queries.lookups = LookupMode::queries;
  std::unique_ptr<Scd> fast = load_path(file.string(), nullptr, parted_finely);
  std::unique_ptr<Scd> reference = load_path(file.string(), nullptr, queries);
  if (parted && fast) *parted += fast->content().in_fragments() ? 1 : 0;
  EXPECT_EQ(!fast, !reference) << file;
  if (!fast || !reference) return 0;
  const std::vector<pugi::xml_node> fast_ieds = fast->ieds();
  const std::vector<pugi::xml_node> reference_ieds = reference->ieds();
  EXPECT_EQ(fast_ieds.size(), reference_ieds.size());
  for (std::size_t i = 0; i < fast_ieds.size() && i < reference_ieds.size(); ++i) {
    std::unique_ptr<Ccd> expected = build_ied_ccd(*reference, reference_ieds[i]);
    std::unique_ptr<Ccd> actual = build_ied_ccd(*fast, fast_ieds[i]);
    EXPECT_EQ(actual->nothing_found, expected->nothing_found) << file << " IED #" << i;
    EXPECT_EQ(serialise(actual->document), serialise(expected->document)) << file << " IED #" << i;
    finish_ccd(expected->root);
    finish_ccd(actual->root);
    EXPECT_EQ(ccd_crc_text(actual->document), ccd_crc_text(expected->document)) << file << " IED #" << i;
    // A CCD built for measuring, shared parts and all, measures the same.
    const std::optional<std::string> crc =
        expected->nothing_found ? std::nullopt : std::optional<std::string>(ccd_crc_text(expected->document));
    EXPECT_EQ(ied_crc(*fast, fast_ieds[i]), crc) << file << " IED #" << i;
    EXPECT_EQ(ied_crc(*reference, reference_ieds[i]), crc) << file << " IED #" << i;
    const std::string name = attr(fast_ieds[i], "name");
    EXPECT_EQ(position(find_ied(*fast, name), fast_ieds), position(find_ied(*reference, name), reference_ieds))
        << file << " IED " << name;
  }
  return static_cast<int>(fast_ieds.size());
}

TEST(IndexedLookups, BuildTheSameCcdsAsTheQueriesOnFixtures) {
  int compared = 0;
  int parted = 0;
  for (const fs::path& file : scl_files_in(CCDCRC_TEST_DATA)) compared += expect_same_ccds(file, &parted);
  for (const fs::path& file : scl_files_in(CCDCRC_EXAMPLES)) compared += expect_same_ccds(file, &parted);
  EXPECT_GT(compared, 0);
  EXPECT_GE(parted, 4);
}

TEST(IndexedLookups, BuildTheSameCcdsAsTheQueriesOnPublicFiles) {
  if (!fs::is_directory(corpus_dir())) GTEST_SKIP() << "no public SCL files at " << corpus_dir();
  int compared = 0;
  int parted = 0;
  for (const fs::path& file : scl_files_in(corpus_dir())) compared += expect_same_ccds(file, &parted);
  EXPECT_GT(compared, 0);
  std::cout << "parsed in parts: " << parted << " files\n";
}

// Generated stations with every unusual construct the generator knows, in
// several random arrangements.
TEST(IndexedLookups, BuildTheSameCcdsAsTheQueriesOnGeneratedStations) {
  const fs::path generator = fs::path(CCDCRC_BENCH) / "gen_scd.py";
  if (std::system("python3 --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is needed to generate stations";
  ScratchDir scratch;
  int compared = 0;
  int parted = 0;
  for (int seed = 1; seed <= 6; ++seed) {
    const fs::path file = scratch.path() / ("odd" + std::to_string(seed) + ".scd");
    const std::string command = "python3 '" + generator.string() + "' --quiet --odd --ieds 10 --lns-per-ld 12 --seed " +
                                std::to_string(seed) + " '" + file.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    compared += expect_same_ccds(file, &parted);
  }
  EXPECT_GE(compared, 60);
  EXPECT_EQ(parted, 6);
}

// Character references of every form pugixml decodes, standing for the
// apostrophes of a value that turns the query it is looked up by into another
// ("NOPE'] | /SCL/IED[@name='P"): numbers of every width, past 32 and 64 bits,
// code points that are no characters, forms that are no references. However
// finely the text is parted, the CCDs are those of one parse.
TEST(IndexedLookups, BuildTheSameCcdsAsTheQueriesWithReferencesOfEveryForm) {
  const std::string references =
      "&#39; &#x27; &#0000039; &#4294967335; &#x100000027; &#8589934631; &#18446744073709551655; "
      "&#x10000000000000027; &#4294967295; &#x110000; &#xD800; &#0; &#X27; &#39 &apos; &APOS; &amp;#39;";
  std::string text = read_file(data_path("sub_query_in_a_value.scd"));
  // Large enough to be parsed in place, and so in parts.
  text.insert(text.find("\t<IED name=\"S\""), std::size_t{65536}, ' ');
  ScratchDir scratch;
  const fs::path file = scratch.path() / "references.scd";
  int parted = 0;
  std::istringstream forms(references);
  for (std::string reference; forms >> reference;) {
    std::string edited = text;
    for (const std::string& written : {std::string("&#4294967335;"), std::string("&#x100000027;")}) {
      for (std::size_t at = edited.find(written); at != std::string::npos; at = edited.find(written, at)) {
        edited.replace(at, written.size(), reference);
        at += reference.size();
      }
    }
    write_file(file, edited);
    SCOPED_TRACE(reference);
    EXPECT_EQ(expect_same_ccds(file, &parted), 2);
  }
  EXPECT_GT(parted, 0);
}

}  // namespace
}  // namespace ccdcrc::testing
