// Memory that runs out at any allocation, while an SCD is loaded, its CCDs
// are built and measured or written: every run either gives the right CRCs
// and files, or fails as a whole. A CCD that lost a node must never be
// measured as if it were complete.

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <optional>
#include <string>

#include "operations/crc_runs.h"
#include "operations/export.h"
#include "support/failing_allocation.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

// The CRCs of every IED, or nothing when memory ran out (load or run).
std::optional<IedCrcMap> all_crcs(const std::string& path) {
  LoadProblem problem;
  const std::unique_ptr<Scd> scd = Scd::load(path, &problem);
  if (!scd) {
    EXPECT_EQ(problem.kind, LoadProblem::Kind::out_of_memory) << problem.message;
    return std::nullopt;
  }
  try {
    return crc_map(listed_crcs(*scd));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

// How many allocations `run` makes when none fails.
template <typename Run>
std::size_t allocations_of(Run run) {
  stop_failing_allocations();
  run();
  return allocations_counted();
}

TEST(OutOfMemory, EveryFailedAllocationOfACrcRunFailsTheRun) {
  const std::string path = example_path("substation.scd");
  const std::optional<IedCrcMap> expected = all_crcs(path);
  ASSERT_TRUE(expected && !expected->empty());
  const std::size_t allocations = allocations_of([&] { all_crcs(path); });
  std::size_t failed_runs = 0;
  for (std::size_t failing = 0; failing <= allocations; ++failing) {
    std::optional<IedCrcMap> crcs;
    {
      const AllocationFailure failure(failing);
      crcs = all_crcs(path);
    }
    if (crcs) {
      EXPECT_EQ(*crcs, *expected) << "allocation " << failing << " failed, and the run gave other CRCs";
    } else {
      ++failed_runs;
    }
  }
  EXPECT_GE(failed_runs, allocations) << "every allocation but none at all fails the run";
}

TEST(OutOfMemory, EveryFailedAllocationOfAnExportWritesTheWholeFileOrNone) {
  const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "0");
  ScratchDir dir;
  const std::unique_ptr<Scd> scd = Scd::load(example_path("substation.scd"));
  ASSERT_TRUE(scd);
  const pugi::xml_node ied = find_ied(*scd, "PL1101");  // publishes and subscribes
  const fs::path file = dir.path() / "PL1101.ccd";
  ASSERT_EQ(export_ied(*scd, ied, dir.path().string()).status, ExportStatus::written);
  const std::string expected = read_file(file);
  fs::remove(file);

  const Directory directory(dir.path().string());
  const std::size_t allocations = allocations_of([&] { export_ied(*scd, ied, directory); });
  fs::remove(file);
  for (std::size_t failing = 0; failing <= allocations; ++failing) {
    ExportResult result;
    {
      const AllocationFailure failure(failing);
      result = export_ied(*scd, ied, directory);
    }
    if (result.status == ExportStatus::written) {
      EXPECT_EQ(read_file(file), expected) << "allocation " << failing;
      fs::remove(file);
    } else {
      EXPECT_EQ(result.status, ExportStatus::out_of_memory) << "allocation " << failing << ": " << result.message;
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << "allocation " << failing;
  }
}

}  // namespace
}  // namespace ccdcrc::testing
