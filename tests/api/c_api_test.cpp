// The C entry points as a C or C++ caller uses them: results it owns and
// releases, silent failures, and agreement between the two CRC functions.
// Run under AddressSanitizer, a result the library leaks or frees twice fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "ccdcrc/ccdcrc.h"
#include "operations/crc_runs.h"
#include "support/failing_allocation.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

struct AllResult {
  std::map<std::string, std::string> crcs;
  std::vector<std::string> names;  // in array order
  std::string scd_crc;
  int count = -1;
};

// Calls compute_all_ied_crcs and releases the results with the release functions.
AllResult all_crcs(const std::string& path) {
  AllResult result;
  CrcPair** pairs = nullptr;
  char* scd = compute_all_ied_crcs(&pairs, path.c_str(), &result.count);
  EXPECT_NE(scd, nullptr);
  EXPECT_NE(pairs, nullptr) << "even no IED gives an array the caller releases";
  for (int i = 0; i < result.count; ++i) {
    result.names.push_back(pairs[i]->name);
    result.crcs[pairs[i]->name] = pairs[i]->crc;
  }
  result.scd_crc = scd ? scd : "";
  ccdcrc_free_pairs(pairs, result.count);
  ccdcrc_free_text(scd);
  return result;
}

std::string ied_crc_text(const std::string& path, const std::string& name) {
  char* crc = compute_ied_crc(path.c_str(), name.c_str());
  EXPECT_NE(crc, nullptr);
  std::string text = crc ? crc : "<null>";
  delete[] crc;
  return text;
}

TEST(CEntryPoints, ResultsBelongToTheCallerAndAreReleasedWithDeleteArray) {
  const std::string path = data_path("cli_station.scd");
  CrcPair** pairs = nullptr;
  int count = -1;
  char* scd = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  ASSERT_EQ(count, 3);
  const IedCrcMap expected = run_all_ied_crcs(path);
  auto entry = expected.begin();
  for (int i = 0; i < count; ++i, ++entry) {
    EXPECT_EQ(pairs[i]->name, entry->first);
    EXPECT_EQ(pairs[i]->crc, entry->second);
    delete[] pairs[i]->name;
    delete[] pairs[i]->crc;
    delete[] pairs[i];
  }
  delete[] pairs;
  EXPECT_EQ(scd, scd_crc(expected));
  delete[] scd;

  char* one = compute_ied_crc(path.c_str(), "P1");
  EXPECT_EQ(one, expected.at("P1"));
  delete[] one;
  char* none = compute_ied_crc(path.c_str(), "Gateway");
  EXPECT_STREQ(none, "");
  ccdcrc_free_text(none);

  // The release functions take what the library hands out, also nothing at all.
  ccdcrc_free_pairs(nullptr, 0);
  ccdcrc_free_text(nullptr);
}

// Whichever allocation fails, the caller gets all the results or the empty
// ones (no pairs, the SCD CRC of nothing), and the library keeps nothing
// (which the sanitised build's leak check sees).
TEST(CEntryPoints, AFailedAllocationHandsOutEverythingOrNothing) {
  const std::string path = data_path("cli_station.scd");
  const IedCrcMap expected = run_all_ied_crcs(path);
  stop_failing_allocations();
  ccdcrc_free_text(compute_all_ied_crcs(nullptr, path.c_str(), nullptr));
  const std::size_t whole_call = allocations_counted();
  ASSERT_GT(whole_call, 20u);
  for (std::size_t failing = 0; failing < whole_call; ++failing) {
    CrcPair** pairs = nullptr;
    int count = -1;
    char* scd = nullptr;
    {
      const AllocationFailure failure(failing);
      scd = compute_all_ied_crcs(&pairs, path.c_str(), &count);
    }
    if (count > 0) {
      ASSERT_EQ(count, static_cast<int>(expected.size())) << failing;
      for (int i = 0; i < count; ++i) EXPECT_EQ(expected.at(pairs[i]->name), pairs[i]->crc) << failing;
      EXPECT_EQ(std::string(scd), scd_crc(expected)) << failing;
    } else {
      EXPECT_EQ(count, 0) << failing;
      EXPECT_TRUE(!scd || std::string(scd) == "00000000") << failing;
    }
    ccdcrc_free_pairs(pairs, count);
    ccdcrc_free_text(scd);
  }
}

TEST(CEntryPoints, UnloadableFilesGiveNoPairsAndTheEmptyScdCrc) {
  ScratchDir dir;
  const std::filesystem::path empty = dir.path() / "empty.scd";
  const std::filesystem::path malformed = dir.path() / "malformed.scd";
  const std::filesystem::path binary = dir.path() / "binary.scd";
  write_file(empty, "");
  std::ofstream(malformed) << "<SCL><IED name=\"P1\"></SCL>";
  std::ofstream(binary) << "\x80\x81\xfe\xff\xc3\x28 not XML and not UTF-8";

  for (const std::string& path : {(dir.path() / "missing.scd").string(), empty.string(), malformed.string(),
                                  binary.string(), dir.path().string(), std::string()}) {
    const AllResult all = all_crcs(path);
    EXPECT_EQ(all.count, 0) << path;
    EXPECT_EQ(all.scd_crc, "00000000") << path;
    EXPECT_EQ(ied_crc_text(path, "P1"), "") << path;
    export_ied_ccd(path.c_str(), "P1", dir.path().string().c_str());
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "P1.ccd"));
}

TEST(CEntryPoints, UnknownIedsGiveTheEmptyTextAndNamesAreComparedNotQueried) {
  const std::string path = data_path("cli_hostile.scd");
  EXPECT_EQ(ied_crc_text(path, "Nobody"), "");
  EXPECT_EQ(ied_crc_text(path, ""), "");
  // A name is compared whole: an apostrophe in it is a character like any other,
  // and a name cannot smuggle a query of its own past quotes to reach another IED.
  EXPECT_EQ(ied_crc_text(path, "O'Brien"), all_crcs(path).crcs.at("O'Brien"));
  EXPECT_EQ(ied_crc_text(path, "x'] | /SCL/IED[@name='DUP"), "");

  ScratchDir out;
  export_ied_ccd(path.c_str(), "Nobody", out.path().string().c_str());
  export_ied_ccd(path.c_str(), "../evil", out.path().string().c_str());
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));
  EXPECT_FALSE(std::filesystem::exists(out.path().parent_path() / "evil.ccd"));
}

TEST(CEntryPoints, NullOutputPointersAreTolerated) {
  const std::string path = data_path("cli_station.scd");
  char* scd = compute_all_ied_crcs(nullptr, path.c_str(), nullptr);
  EXPECT_EQ(scd, all_crcs(path).scd_crc);
  ccdcrc_free_text(scd);
  char* crc = compute_ied_crc(nullptr, nullptr);
  EXPECT_STREQ(crc, "");
  ccdcrc_free_text(crc);
}

// The SCD files the project ships: fixtures and examples.
std::vector<std::filesystem::path> shipped_scds() {
  std::vector<std::filesystem::path> files;
  for (const std::string& dir : {std::string(CCDCRC_TEST_DATA), std::string(CCDCRC_EXAMPLES)}) {
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() == ".scd") files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(CEntryPoints, OneIedGivesTheSameCrcAsTheAllIedRun) {
  std::size_t compared = 0;
  for (const std::filesystem::path& file : shipped_scds()) {
    const AllResult all = all_crcs(file.string());
    EXPECT_TRUE(std::is_sorted(all.names.begin(), all.names.end())) << file;

    // Where the two functions may rightly differ: the one-IED lookup needs an
    // SCL root and finds the first of several IEDs of a name (the all-IED run
    // keeps the last with circuits).
    pugi::xml_document document;
    document.load_file(file.c_str(), pugi::parse_full);
    const bool scl_root = std::string(document.document_element().name()) == "SCL";
    std::map<std::string, int> occurrences;
    for (pugi::xml_node ied : document.document_element().children("IED")) ++occurrences[ied.attribute("name").value()];

    for (const auto& [name, crc] : all.crcs) {
      const std::string one = ied_crc_text(file.string(), name);
      if (!scl_root) {
        EXPECT_EQ(one, "") << file << " IED " << name;
      } else if (occurrences[name] == 1) {
        EXPECT_EQ(one, crc) << file << " IED " << name;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 5u);
}

}  // namespace
}  // namespace ccdcrc::testing
