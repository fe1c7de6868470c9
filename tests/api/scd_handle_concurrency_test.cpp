// One SCD opened once and asked by many threads at once, as a server that
// embeds the library asks it: every thread gets exactly what the same calls
// give one after another. The build under ThreadSanitizer runs these tests.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/scd_handle.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

constexpr int thread_count = 8;

// Runs `work(t)` on thread_count threads that start together.
template <typename Work>
void on_threads(Work work) {
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < thread_count; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready < thread_count) std::this_thread::yield();
      work(t);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

std::vector<std::string> scd_files() {
  return {data_path("cli_station.scd"), data_path("sub_golden.scd"), data_path("cli_hostile.scd"),
          example_path("substation.scd")};
}

TEST(ScdHandleConcurrency, EightThreadsGetTheAnswersOfSequentialCalls) {
  const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1700000000");
  for (const std::string& path : scd_files()) {
    const auto [sequential, opened] = open_path(path);
    ASSERT_TRUE(sequential) << opened.message;
    const Answers expected = answers_of(sequential.get());
    // A fresh SCD for the threads, so that its lazy indexes are built under contention.
    const OpenScd shared = open_path(path).first;
    ASSERT_TRUE(shared);
    std::vector<Answers> answers(thread_count);
    // Odd threads also build on threads of their own.
    on_threads([&](int t) { answers[t] = answers_of(shared.get(), t % 2 == 0 ? 1 : 2); });
    for (int t = 0; t < thread_count; ++t) EXPECT_TRUE(answers[t] == expected) << path << " thread " << t;
  }
}

TEST(ScdHandleConcurrency, EightThreadsExportFromOneOpenScd) {
  const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1700000000");
  const std::string path = example_path("substation.scd");
  ScratchDir scratch;
  const OpenScd scd = open_path(path).first;
  ASSERT_TRUE(scd);
  const Answers expected = answers_of(scd.get());
  std::vector<Answer<std::vector<ExportEntry>>> every(thread_count);
  std::vector<std::vector<std::string>> wrong(thread_count);
  on_threads([&](int t) {
    // Half the threads write every file into one directory, the others one IED at a time into one directory.
    if (t % 2 == 0) {
      every[t] = export_all(scd.get(), scratch.path().string(), 1);
      return;
    }
    for (const auto& [name, crc] : expected.ied_crcs) {
      if (export_ied(scd.get(), name, (scratch.path()).string()).value != crc.value) wrong[t].push_back(name);
    }
  });
  for (int t = 0; t < thread_count; ++t) {
    EXPECT_EQ(wrong[t], std::vector<std::string>{}) << "thread " << t;
    if (t % 2 != 0) continue;
    EXPECT_EQ(every[t].outcome.status, CCDCRC_OK) << every[t].outcome.message;
    EXPECT_EQ(every[t].value.size(), expected.crcs.value.size() - 1);
  }
  // Each file replaced whole: it is the export's text, whichever thread wrote it last.
  for (const std::string& file : directory_entries(scratch.path())) {
    const std::string name = fs::path(file).stem().string();
    EXPECT_EQ(read_file(scratch.path() / file), expected.exported.at(name).value) << file;
  }
}

}  // namespace
}  // namespace ccdcrc::testing
