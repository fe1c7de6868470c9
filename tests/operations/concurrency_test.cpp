// Programs that embed the library call its C entry points from many threads at
// once. Every call must give exactly what the same call gives alone: the same
// CRCs, the same exported files (but for their time stamps), on the same SCD
// and on different ones. The CCDs of one loaded SCD built on many threads must
// also match those built on one, and a history whose revisions are read side
// by side the history read one at a time. The build under ThreadSanitizer
// runs these tests.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ccdcrc/ccdcrc.h"
#include "history/file_revisions.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

constexpr int thread_count = 8;
constexpr int calls_per_thread = 100;

std::string without_timestamp(const std::string& exported) {
  static const std::regex timestamp(R"re(timestamp="[^"]*")re");
  return std::regex_replace(exported, timestamp, R"(timestamp="")");
}

// What the three entry points give for one SCD when called one at a time.
struct Expected {
  std::string path;
  std::vector<std::pair<std::string, std::string>> pairs;  // in array order
  std::string scd_crc;
  std::map<std::string, std::string> ied_crcs;  // the one-IED entry point, for every IED name
  std::map<std::string, std::string> exports;   // file name -> content without time stamp
};

std::vector<std::pair<std::string, std::string>> all_pairs(const std::string& path, std::string& scd_crc) {
  CrcPair** pairs = nullptr;
  int count = 0;
  char* scd = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  std::vector<std::pair<std::string, std::string>> result;
  for (int i = 0; i < count; ++i) result.emplace_back(pairs[i]->name, pairs[i]->crc);
  scd_crc = scd ? scd : "<null>";
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd);
  return result;
}

std::string one_crc(const std::string& path, const std::string& name) {
  char* crc = compute_ied_crc(path.c_str(), name.c_str());
  std::string text = crc ? crc : "<null>";
  ccdcrc_free_text(crc);
  return text;
}

Expected expect_alone(const std::string& path, const fs::path& scratch) {
  Expected expected;
  expected.path = path;
  expected.pairs = all_pairs(path, expected.scd_crc);
  std::unique_ptr<Scd> scd = load_path(path);
  EXPECT_TRUE(scd) << path;
  if (!scd) return expected;
  for (pugi::xml_node ied : scd->ieds()) {
    const std::string name = ied.attribute("name").as_string("");
    expected.ied_crcs[name] = one_crc(path, name);
    const fs::path dir = scratch / ("alone-" + std::to_string(std::hash<std::string>()(path)));
    fs::create_directories(dir);
    export_ied_ccd(path.c_str(), name.c_str(), dir.string().c_str());
    if (fs::exists(dir / (name + ".ccd"))) expected.exports[name] = without_timestamp(read_file(dir / (name + ".ccd")));
  }
  return expected;
}

// The SCDs the threads work on: the fixtures with circuits and the example.
std::vector<std::string> scd_files() {
  return {data_path("cli_station.scd"), data_path("pub_golden.scd"), data_path("sub_golden.scd"),
          data_path("sub_search.scd"), example_path("substation.scd")};
}

// Runs `calls_per_thread` rounds of the three entry points on each thread;
// thread t works on expected[t % size] and exports into exports/(t % size).
// Returns the number of wrong results.
int run_threads(const std::vector<Expected>& expected, const fs::path& exports_base) {
  for (std::size_t i = 0; i < expected.size(); ++i) fs::create_directories(exports_base / std::to_string(i));
  std::atomic<int> wrong{0};
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < thread_count; ++t) {
    threads.emplace_back([&, t] {
      const std::size_t scd = static_cast<std::size_t>(t) % expected.size();
      const Expected& mine = expected[scd];
      const fs::path exports = exports_base / std::to_string(scd);
      std::vector<std::string> names;
      for (const auto& [name, crc] : mine.ied_crcs) names.push_back(name);
      // Start together, so that the calls overlap.
      ++ready;
      while (ready < thread_count) std::this_thread::yield();
      for (int call = 0; call < calls_per_thread; ++call) {
        std::string scd_crc;
        if (all_pairs(mine.path, scd_crc) != mine.pairs || scd_crc != mine.scd_crc) ++wrong;
        const std::string& name = names[static_cast<std::size_t>(call + t) % names.size()];
        if (one_crc(mine.path, name) != mine.ied_crcs.at(name)) ++wrong;
        // All threads of an SCD export into one directory: each file is
        // replaced whole, so a reader never sees a mix of two exports.
        export_ied_ccd(mine.path.c_str(), name.c_str(), exports.string().c_str());
        auto file = mine.exports.find(name);
        if (file != mine.exports.end() && without_timestamp(read_file(exports / (name + ".ccd"))) != file->second) {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  return wrong;
}

// Files other than CCD files below a directory: temporary files left behind.
std::vector<std::string> leftovers(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().extension() != ".ccd") names.push_back(entry.path().string());
  }
  return names;
}

TEST(Concurrency, EntryPointsOnTheSameScdFromEightThreads) {
#ifdef _WIN32
  GTEST_SKIP() << "on Windows a file cannot be opened by name while another thread moves a new one over it: "
                  "the readers here fail for a moment, not the exports";
#endif
  ScratchDir scratch;
  const Expected expected = expect_alone(data_path("sub_golden.scd"), scratch.path());
  ASSERT_FALSE(expected.pairs.empty());
  ASSERT_FALSE(expected.exports.empty());
  const fs::path exports = scratch.path() / "shared";
  EXPECT_EQ(run_threads({expected}, exports), 0);
  EXPECT_EQ(leftovers(exports), std::vector<std::string>{});
}

TEST(Concurrency, EntryPointsOnDifferentScdsFromEightThreads) {
#ifdef _WIN32
  GTEST_SKIP() << "on Windows a file cannot be opened by name while another thread moves a new one over it: "
                  "the readers here fail for a moment, not the exports";
#endif
  ScratchDir scratch;
  std::vector<Expected> expected;
  for (const std::string& path : scd_files()) {
    expected.push_back(expect_alone(path, scratch.path()));
    ASSERT_FALSE(expected.back().pairs.empty()) << path;
  }
  const fs::path exports = scratch.path() / "shared";
  EXPECT_EQ(run_threads(expected, exports), 0);
  EXPECT_EQ(leftovers(exports), std::vector<std::string>{});
}

// One loaded SCD shared by the threads of a parallel run: the lookups build
// their indexes lazily and share built content between CCDs.
TEST(Concurrency, ParallelRunsOnOneLoadedScdMatchTheSequentialRun) {
  ScratchDir scratch;
  for (const std::string& path : scd_files()) {
    for (int round = 0; round < 3; ++round) {
      // A fresh load each round, so that the lazy indexes are built under contention.
      std::unique_ptr<Scd> sequential = load_path(path);
      std::unique_ptr<Scd> parallel = load_path(path);
      ASSERT_TRUE(sequential && parallel) << path;
      EXPECT_EQ(ied_crcs(*parallel, parallel->ieds(), thread_count), ied_crcs(*sequential, sequential->ieds(), 1))
          << path;

      std::unique_ptr<Scd> exporting = load_path(path);
      const std::vector<pugi::xml_node> ieds = exporting->ieds();
      const Directory directory((scratch.path()).string());
      std::vector<ExportResult> results(ieds.size());
      parallel_for(ieds.size(), thread_count,
                   [&](std::size_t i) { results[i] = export_ied(*exporting, ieds[i], directory); });
      const std::vector<std::optional<std::string>> crcs = ied_crcs(*sequential, sequential->ieds(), 1);
      for (std::size_t i = 0; i < ieds.size(); ++i) {
        if (results[i].status == ExportStatus::written) {
          EXPECT_EQ(results[i].crc, crcs[i].value_or("")) << path << " IED #" << i;
        }
      }
    }
  }
}

// Revisions read side by side are parsed one at a time, and their texts'
// memory passed from one to the next: each must still be listed as alone,
// and a content given twice read once.
TEST(Concurrency, RevisionsReadSideBySideGiveTheHistoryReadOneAtATime) {
  std::vector<std::string> paths;
  for (int round = 0; round < 3; ++round) {
    for (const char* name : {"cli_revision_1A.scd", "cli_revision_1A_changed.scd", "cli_revision_1B_changed.scd"}) {
      paths.push_back(data_path(name));
    }
  }
  const FileRevisions revisions(paths);
  HistoryOptions alone;
  alone.documents = 1;
  alone.jobs = 1;
  HistoryOptions side_by_side;
  side_by_side.documents = 4;
  side_by_side.jobs = 4;
  const History expected = build_history(revisions, alone);
  const History history = build_history(revisions, side_by_side);
  ASSERT_EQ(history.revisions.size(), expected.revisions.size());
  EXPECT_EQ(history.read, 3u);
  for (std::size_t i = 0; i < history.revisions.size(); ++i) {
    const HistoryRevision& revision = history.revisions[i];
    ASSERT_TRUE(revision.listing) << i;
    EXPECT_EQ(revision.listing->ieds, expected.revisions[i].listing->ieds) << i;
    EXPECT_EQ(revision.listing->scd_crc, expected.revisions[i].listing->scd_crc) << i;
    ASSERT_EQ(revision.changes.size(), expected.revisions[i].changes.size()) << i;
    for (std::size_t j = 0; j < revision.changes.size(); ++j) {
      EXPECT_EQ(revision.changes[j].name, expected.revisions[i].changes[j].name) << i;
      EXPECT_EQ(revision.changes[j].new_crc, expected.revisions[i].changes[j].new_crc) << i;
    }
  }
}

}  // namespace
}  // namespace ccdcrc::testing
