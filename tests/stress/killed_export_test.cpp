// Runs of `export --all` killed at growing moments: what they leave behind is
// complete files only. How far a run gets before its kill depends on the
// machine's speed, so the test stays with the stress tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/generated_station.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

TEST(ExportSafety, KilledRunLeavesOnlyCompleteFiles) {
  ScratchDir dir;
  StationShape shape;
  shape.publishers = 200;
  shape.members = 1000;  // a run of about a second, files of 150 KB: the kill mostly comes mid-write
  const std::string scd = (dir.path() / "station.scd").string();
  write_station(scd, shape);
  const fs::path exports = dir.path() / "exports";
  fs::create_directories(exports);
  std::size_t files = 0;
  // Files are made durable a batch at a time: where the first batch takes
  // longer (sanitised builds), later kills until some file is complete.
  for (int kill_after_ms : {50, 150, 250, 350, 450, 550, 650, 1000, 2000, 4000, 8000, 16000}) {
    if (kill_after_ms > 650 && files > 0) break;
    ProcessOptions options;
    options.kill_after_ms = kill_after_ms;
    run_ccdcrc({"export", scd, "--all", "-o", exports.string(), "-j", "2"}, options);
    for (const std::string& name : directory_entries(exports)) {
      // A file gets its hidden name only once it is complete, and is renamed
      // right after; a kill in between leaves that complete file behind.
      const bool hidden = name.starts_with(".ccdcrc-") && fs::path(name).extension() == ".tmp";
      EXPECT_TRUE(hidden || fs::path(name).extension() == ".ccd") << "left behind: " << name;
      EXPECT_TRUE(complete_ccd(exports / name)) << name;
      ++files;
    }
  }
  EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace ccdcrc::testing
