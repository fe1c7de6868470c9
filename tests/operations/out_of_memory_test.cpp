// Memory that runs out at any allocation, while an SCD is loaded, its CCDs
// are built and measured or written, a command runs or an archive is
// unpacked: every run either gives the right CRCs, files and report, or fails
// as a whole. A CCD that lost a node must never be measured as if it were
// complete.
//
// Only C++ allocations and pugixml's fail here: zlib and libzip allocate with
// malloc, which these sweeps leave alone.

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/diagnostics.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "support/failing_allocation.h"
#include "support/test_support.h"
#include "xml/input.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

// The CRCs of every IED, or nothing when memory ran out (load or run).
std::optional<IedCrcMap> all_crcs(const std::string& path) {
  LoadProblem problem;
  const std::unique_ptr<Scd> scd = load_path(path, &problem);
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
  const std::unique_ptr<Scd> scd = load_path(example_path("substation.scd"));
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

// An output stream into memory taken beforehand: writing to it allocates
// nothing, as writing to a file descriptor does not.
class FixedStream : private std::streambuf {
 public:
  FixedStream() : memory_(std::size_t{1} << 20) { rewind(); }
  std::ostream& stream() { return stream_; }
  std::string text() const { return {pbase(), static_cast<std::size_t>(pptr() - pbase())}; }
  void rewind() {
    setp(memory_.data(), memory_.data() + memory_.size());  // more than any report here needs
    stream_.clear();
  }

 private:
  std::vector<char> memory_;
  std::ostream stream_{this};
};

struct CommandRun {
  int status = 0;
  std::string out;
  std::string err;
};

// Runs a command line in this process as the program does, its bad_alloc
// handled as main handles it.
class CommandRunner {
 public:
  void run(const std::vector<std::string>& arguments) {
    out_.rewind();
    err_.rewind();
    try {
      status_ = run_command_line(arguments, out_.stream(), err_.stream(), false);
    } catch (const std::bad_alloc&) {
      err_.stream() << "ccdcrc: not enough memory\n";
      status_ = exit_usage;
    }
  }
  CommandRun result() const { return {status_, out_.text(), err_.text()}; }

 private:
  FixedStream out_;
  FixedStream err_;
  int status_ = 0;
};

struct SweepCounts {
  std::size_t right = 0;
  std::size_t clean_failures = 0;
  std::size_t other = 0;
};

// Fails each allocation of a command in turn. Every run must give the
// unfailed run's report and status, or fail cleanly: status 2, a message
// that memory ran out, and on standard output at most the start of the report
// (never anything else).
SweepCounts sweep_command(const std::vector<std::string>& arguments) {
  CommandRunner runner;
  runner.run(arguments);
  const CommandRun expected = runner.result();
  EXPECT_FALSE(expected.out.empty());
  EXPECT_NE(expected.status, exit_usage) << expected.err;
  const std::size_t allocations = allocations_of([&] { runner.run(arguments); });
  SweepCounts counts;
  for (std::size_t failing = 0; failing <= allocations; ++failing) {
    {
      const AllocationFailure failure(failing);
      runner.run(arguments);
    }
    const CommandRun run = runner.result();
    if (run.status == expected.status && run.out == expected.out) {
      ++counts.right;
    } else if (run.status == exit_usage && run.err.find("not enough memory") != std::string::npos &&
               expected.out.starts_with(run.out)) {
      ++counts.clean_failures;
    } else {
      ++counts.other;
      ADD_FAILURE() << "allocation " << failing << ": status " << run.status << "\n" << run.out << run.err;
    }
  }
  return counts;
}

void report_counts(const std::string& name, const SweepCounts& counts) {
  std::cout << name << ": " << counts.right << " right, " << counts.clean_failures << " clean failures, "
            << counts.other << " other\n";
  ::testing::Test::RecordProperty(name + "_right", static_cast<int>(counts.right));
  ::testing::Test::RecordProperty(name + "_clean_failures", static_cast<int>(counts.clean_failures));
  ::testing::Test::RecordProperty(name + "_other", static_cast<int>(counts.other));
}

TEST(OutOfMemory, EveryFailedAllocationOfAJsonCommandGivesTheReportOrFails) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
  };
  const std::string station = data_path("cli_station.scd");
  const std::vector<Case> cases{
      {"all_json", {"all", station, "--format", "json", "--jobs", "1"}},
      {"check_json", {"check", data_path("approved/bay1.csv"), station, "--format", "json", "--jobs", "1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SweepCounts counts = sweep_command(c.arguments);
    report_counts(c.name, counts);
    EXPECT_EQ(counts.other, 0U);
    EXPECT_GT(counts.clean_failures, 0U);
  }
}

// An input unpacked under each failing allocation: its text, or the refusal
// that memory ran out.
TEST(OutOfMemory, EveryFailedAllocationOfAnArchiveGivesItsTextOrRunsOutOfMemory) {
  const std::string text = read_file(data_path("cli_station.scd"));
  for (const char* name : {"cli_station.zip", "cli_station.scd.gz"}) {
    SCOPED_TRACE(name);
    const std::string path = data_path(name);
    InputOptions options;
    options.sha256 = true;
    const auto read = [&path, &options](Input& input, LoadProblem& problem) {
      try {
        return read_input(path, options, input, problem);
      } catch (const std::bad_alloc&) {
        problem = {LoadProblem::Kind::read_error, "bad_alloc escaped", {}};
        return false;
      }
    };
    Input input;
    LoadProblem problem;
    ASSERT_TRUE(read(input, problem)) << problem.message;
    ASSERT_EQ(input.text.view(), text);
    const std::size_t allocations = allocations_of([&] { read(input, problem); });
    SweepCounts counts;
    for (std::size_t failing = 0; failing <= allocations; ++failing) {
      bool done = false;
      {
        const AllocationFailure failure(failing);
        done = read(input, problem);
      }
      if (done && input.text.view() == text) {
        ++counts.right;
      } else if (!done && problem.kind == LoadProblem::Kind::out_of_memory) {
        ++counts.clean_failures;
      } else {
        ++counts.other;
        ADD_FAILURE() << "allocation " << failing << ": " << (done ? "other text" : problem.message);
      }
    }
    report_counts(name, counts);
    EXPECT_EQ(counts.other, 0U);
    EXPECT_GT(counts.clean_failures, 0U);
  }
}

}  // namespace
}  // namespace ccdcrc::testing
