// DOI/SDI nesting far beyond real SCDs: CRCs are computed at any depth, in
// constant stack space; CCD files, whose every line carries one tab per level,
// are written up to max_written_depth levels.

#include <gtest/gtest.h>
#include <pthread.h>

#include <filesystem>
#include <functional>
#include <string>

#include "ccdcrc/ccdcrc.h"
#include "operations/comparison.h"
#include "operations/export.h"
#include "support/generated_station.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

// Runs `work` on a thread with a 256 KiB stack: a walk that recursed once per
// nesting level would overflow it long before 100,000 levels.
void on_small_stack(const std::function<void()>& work) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, std::size_t{256} * 1024);
  pthread_t thread;
  auto call = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, call, const_cast<std::function<void()>*>(&work)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

std::string crc_of(const std::string& path, const char* name) {
  char* crc = compute_ied_crc(path.c_str(), name);
  std::string text = crc ? crc : "<null>";
  ccdcrc_free_text(crc);
  return text;
}

TEST(DeepNesting, HundredThousandLevelsOnASmallStack) {
  ScratchDir dir;
  StationShape shape;
  shape.sdi_levels = 100000;
  shape.other_gse_levels = 100000;  // copied with the ConnectedAP, then removed again
  const std::string path = (dir.path() / "deep.scd").string();
  write_station(path, shape);
  const fs::path exports = dir.path() / "out";
  fs::create_directory(exports);

  on_small_stack([&] {
    CrcPair** pairs = nullptr;
    int count = 0;
    char* scd_crc = compute_all_ied_crcs(&pairs, path.c_str(), &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::string(pairs[0]->name) + pairs[0]->crc, "P121F01565");
    EXPECT_EQ(std::string(pairs[1]->name) + pairs[1]->crc, "S1361E7628");
    EXPECT_EQ(crc_of(path, "P1"), pairs[0]->crc);
    EXPECT_EQ(crc_of(path, "S1"), pairs[1]->crc);
    ccdcrc_free_pairs(pairs, count);
    ccdcrc_free_text(scd_crc);
    export_ied_ccd(path.c_str(), "P1", exports.c_str());
    export_ied_ccd(path.c_str(), "S1", exports.c_str());
  });
  EXPECT_TRUE(fs::is_empty(exports));
}

TEST(DeepNesting, TwoRevisionsOfHundredThousandLevelsCompareOnASmallStack) {
  ScratchDir dir;
  std::unique_ptr<Scd> revisions[2];
  for (std::size_t revision = 0; revision < 2; ++revision) {
    StationShape shape;
    shape.sdi_levels = 100000;
    shape.app_id_length = 7 + revision;
    const std::string path = (dir.path() / ("deep" + std::to_string(revision) + ".scd")).string();
    write_station(path, shape);
    revisions[revision] = load_path(path);
    ASSERT_TRUE(revisions[revision]);
  }
  on_small_stack([&] {
    const auto old_ccd = MeasuredCcd::build(*revisions[0], find_ied(*revisions[0], "P1"));
    const auto new_ccd = MeasuredCcd::build(*revisions[1], find_ied(*revisions[1], "P1"));
    ASSERT_TRUE(old_ccd && new_ccd);
    const CcdComparison comparison = compare_ccds(*old_ccd, *new_ccd);
    ASSERT_EQ(comparison.references.size(), 1u);
    ASSERT_EQ(comparison.references[0].changes.size(), 1u);
    EXPECT_EQ(comparison.references[0].changes[0].subject, "appID");
    EXPECT_TRUE(comparison.other.empty());
  });
}

TEST(DeepNesting, FilesAreWrittenUpToTheDepthLimit) {
  ScratchDir dir;
  for (std::size_t sdi_levels : {max_written_depth - 8, max_written_depth - 7}) {
    StationShape shape;
    shape.sdi_levels = sdi_levels;  // the CCDs nest 8 levels more
    const std::string path = (dir.path() / ("deep" + std::to_string(sdi_levels) + ".scd")).string();
    write_station(path, shape);
    std::unique_ptr<Scd> scd = load_path(path);
    ASSERT_TRUE(scd);
    const bool fits = sdi_levels + 8 <= max_written_depth;
    for (const char* name : {"P1", "S1"}) {
      pugi::xml_node ied = find_ied(*scd, name);
      EXPECT_EQ(nesting_depth(build_ied_ccd(*scd, ied)->root), sdi_levels + 8) << name;
      const ExportResult result = export_ied(*scd, ied, dir.path().string());
      const fs::path file = dir.path() / (std::string(name) + ".ccd");
      if (fits) {
        EXPECT_EQ(result.status, ExportStatus::written) << name;
        EXPECT_EQ(result.crc, crc_of(path, name));
        EXPECT_TRUE(fs::exists(file));
        fs::remove(file);
      } else {
        EXPECT_EQ(result.status, ExportStatus::too_deep) << name;
        EXPECT_EQ(result.message, "its CCD nests elements 1001 levels deep; files of at most 1000 levels are written");
        EXPECT_FALSE(fs::exists(file));
      }
    }
  }
}

}  // namespace
}  // namespace ccdcrc::testing
