// The history's own rules: the order of Headers, and the cache file that
// must never answer for another content or another program.

#include <gtest/gtest.h>

#include <string>

#include "history/file_revisions.h"
#include "history/history.h"
#include "history/listing_cache.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

TEST(HistoryOrder, NumbersInHeadersCompareByValue) {
  struct Case {
    ScdHeader a, b;
    bool before;
  };
  const Case cases[] = {
      {{{}, "9", "A"}, {{}, "10", "A"}, true},    {{{}, "10", "A"}, {{}, "9", "A"}, false},
      {{{}, "1", "A"}, {{}, "1", "B"}, true},     {{{}, {}, {}}, {{}, "1", "A"}, true},
      {{{}, "2.10", {}}, {{}, "2.9", {}}, false}, {{{}, "007", "A"}, {{}, "7", "A"}, false},
      {{{}, "1", "A"}, {{}, "1", "A1"}, true},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(header_before(test.a, test.b), test.before)
        << test.a.version.value_or("-") << test.a.revision.value_or("-") << " / " << test.b.version.value_or("-")
        << test.b.revision.value_or("-");
  }
}

// A revision read into the memory of a longer text listed before must be
// its own bytes only, not followed by what is left of the other; one whose
// listing is known hands the memory back for the next.
TEST(FileRevisionsRead, ReusesTheMemoryOfATextListedBeforeAndGivesItBackWhenKnown) {
  const std::string path = data_path("cli_revision_1A.scd");
  const FileRevisions revisions({path});
  SourceText longer;
  ASSERT_TRUE(longer.assign(std::string(std::size_t{1} << 20, '<')));
  const char* const memory = longer.data();
  const RevisionRead reused = revisions.read(
      0, [](const std::string&) { return false; }, std::move(longer));
  ASSERT_FALSE(reused.problem) << reused.problem->reason;
  EXPECT_EQ(reused.input.text.data(), memory);
  EXPECT_EQ(reused.input.text.view(), read_file(path));
  EXPECT_EQ(reused.name, path);

  // A content whose listing is known takes no memory: the room comes back.
  SourceText room;
  ASSERT_TRUE(room.assign(std::string(std::size_t{1} << 20, '<')));
  const char* const room_memory = room.data();
  const RevisionRead known = revisions.read(
      0, [](const std::string&) { return true; }, std::move(room));
  EXPECT_EQ(known.input.text.data(), nullptr);
  EXPECT_EQ(known.unused.data(), room_memory);
}

// Without a store, only files that could hold the same bytes (one size) are
// hashed: the others are read without a key, and never taken for another.
TEST(FileRevisionsRead, WithoutAStoreKeysOnlyFilesOfOneSize) {
  const ScratchDir dir;
  const std::string text = read_file(data_path("cli_revision_1A.scd"));
  const std::vector<std::string> paths = {write_file(dir.path() / "a.scd", text),
                                          write_file(dir.path() / "b.scd", text),
                                          write_file(dir.path() / "c.scd", text + "\n")};
  FileRevisions revisions(paths);
  revisions.key_only_files_of_one_size();
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const RevisionRead read = revisions.read(i, [](const std::string&) { return false; }, {});
    ASSERT_FALSE(read.problem) << read.problem->reason;
    EXPECT_EQ(read.input.text.view().size(), text.size() + (i == 2 ? 1 : 0));
    keys.push_back(read.key);
  }
  EXPECT_FALSE(keys[0].empty());
  EXPECT_EQ(keys[0], keys[1]);
  EXPECT_EQ(keys[2], "");
}

TEST(ListingCacheFile, ReadsBackWhatItWroteAndNothingOfADamagedOrForeignFile) {
  RevisionListing listing;
  listing.ieds = {{"P1\t%\n\xC3\xA9", std::string("0A1B2C3D")}, {"Gateway", std::nullopt}};
  listing.scd_crc = "89ABCDEF";
  listing.header = {std::string(""), std::string("1"), std::nullopt};
  listing.bindings = {{"B2", "P1LD0/PTRC1.Tr.general", "CTRL/x y", "no data set"}};
  listing.bays = {{"P1", {"VL1", "110 kV", "Bay 1", ""}}};
  const std::string text = cache_text({{"sha256:ab", listing}}, "identity 1");

  const auto entries = cache_entries(text, "identity 1");
  ASSERT_EQ(entries.size(), 1u);
  const RevisionListing& read = entries.front().second;
  EXPECT_EQ(entries.front().first, "sha256:ab");
  EXPECT_EQ(read.ieds, listing.ieds);
  EXPECT_EQ(read.scd_crc, listing.scd_crc);
  EXPECT_EQ(read.header.id, listing.header.id);
  EXPECT_EQ(read.header.revision, std::nullopt);
  ASSERT_EQ(read.bindings.size(), 1u);
  EXPECT_EQ(read.bindings[0].int_addr, "CTRL/x y");
  EXPECT_EQ(read.bays.at("P1").voltage_level_desc, "110 kV");

  EXPECT_TRUE(cache_entries(text, "identity 2").empty());
  for (std::size_t at : {std::size_t{30}, text.size() / 2, text.size() - 3}) {
    std::string damaged = text;
    damaged[at] ^= 0x01;
    EXPECT_TRUE(cache_entries(damaged, "identity 1").empty()) << at;
  }
  EXPECT_TRUE(cache_entries(text.substr(0, text.size() - 1), "identity 1").empty());
}

}  // namespace
}  // namespace ccdcrc::testing
