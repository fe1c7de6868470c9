// Files that are not SCDs, or not there: truncated at every kilobyte, binary
// garbage, empty, a directory, special files, a path too long for the system,
// and a file that is replaced, removed or emptied while it is being loaded.
// The command line names the file and the reason and ends with status 2; the C
// entry points give their empty results. Nothing crashes or waits forever.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ccdcrc/ccdcrc.h"
#include "scd/scd.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

// The C entry points give their empty results for the path, and export nothing.
void expect_empty_results(const std::string& path, const fs::path& exports, const std::string& what) {
  CrcPair** pairs = nullptr;
  int count = -1;
  char* scd = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  EXPECT_EQ(count, 0) << what;
  EXPECT_NE(pairs, nullptr) << what;
  EXPECT_STREQ(scd, "00000000") << what;
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd);
  char* crc = compute_ied_crc(path.c_str(), "PL1101");
  EXPECT_STREQ(crc, "") << what;
  ccdcrc_free_text(crc);
  export_ied_ccd(path.c_str(), "PL1101", exports.c_str());
  EXPECT_TRUE(fs::is_empty(exports)) << what;
}

// Every command fails on the SCD with exactly this message and status 2.
void expect_refused(const std::string& path, const std::string& message, const fs::path& exports,
                    const std::string& what) {
  ProcessOptions options;
  options.timeout_seconds = 30;
  for (const std::vector<std::string>& command : {std::vector<std::string>{"all", path},
                                                  {"ied", path, "PL1101"},
                                                  {"export", path, "--all", "-o", exports},
                                                  {"ccd", path, "PL1101"}}) {
    const ProcessResult result = run_ccdcrc(command, options);
    EXPECT_EQ(result.status, 2) << what << ": " << command[0];
    EXPECT_EQ(result.out, "") << what << ": " << command[0];
    EXPECT_EQ(result.err, "ccdcrc: " + path + ": " + message + "\n") << what << ": " << command[0];
  }
  EXPECT_TRUE(fs::is_empty(exports)) << what;
}

TEST(MalformedInput, RealFileTruncatedAtEveryKilobyte) {
  ScratchDir dir;
  const std::string whole = read_file(example_path("substation.scd"));
  ASSERT_GT(whole.size(), 50000u);
  const fs::path exports = dir.path() / "out";
  fs::create_directory(exports);
  const fs::path file = dir.path() / "truncated.scd";
  const std::regex message("ccdcrc: " + file.string() + R"(:[0-9]+:[0-9]+: not well-formed XML: [^\n]+\n)");
  std::size_t checked = 0;
  for (std::size_t size = 1024; size < whole.size(); size += 1024, ++checked) {
    write_file(file, whole.substr(0, size));
    const std::string what = "truncated to " + std::to_string(size) + " bytes";
    const ProcessResult all = run_ccdcrc({"all", file.string()});
    EXPECT_EQ(all.status, 2) << what;
    EXPECT_EQ(all.out, "") << what;
    EXPECT_TRUE(std::regex_match(all.err, message)) << what << ": " << all.err;
    expect_empty_results(file.string(), exports, what);
  }
  EXPECT_EQ(checked, whole.size() / 1024);
  write_file(file, whole);
  EXPECT_EQ(run_ccdcrc({"all", file.string()}).status, 0);
}

TEST(MalformedInput, GarbageEmptyFilesDirectoriesAndSpecialFiles) {
  ScratchDir dir;
  const fs::path exports = dir.path() / "out";
  fs::create_directory(exports);
  std::mt19937 random(61850);
  auto garbage = [&](std::size_t size) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
  };
  const fs::path small = dir.path() / "garbage-4k.scd";
  const fs::path large = dir.path() / "garbage-4m.scd";
  const fs::path zeros = dir.path() / "zeros.scd";
  const fs::path utf16 = dir.path() / "utf16-garbage.scd";
  const fs::path empty = dir.path() / "empty.scd";
  const fs::path blank = dir.path() / "blank.scd";
  write_file(small, garbage(4096));
  write_file(large, "<SCL>" + garbage(4 << 20));
  write_file(zeros, std::string(1024, '\0'));
  write_file(utf16, "\xFF\xFE" + garbage(1001));
  write_file(empty, "");
  write_file(blank, " \n\t\r\n");
  const fs::path fifo = dir.path() / "fifo.scd";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const fs::path loop = dir.path() / "loop.scd";
  fs::create_symlink(loop, loop);
  const fs::path dangling = dir.path() / "dangling.scd";
  fs::create_symlink(dir.path() / "nowhere.scd", dangling);

  // XML that is not well-formed is reported with its place, when the file is UTF-8.
  for (const fs::path& path : {small, large, zeros, utf16, blank}) {
    const ProcessResult result = run_ccdcrc({"all", path.string()});
    EXPECT_EQ(result.status, 2) << path;
    EXPECT_EQ(result.out, "") << path;
    const std::regex message("ccdcrc: " + path.string() + R"((:\d+:\d+)?: not well-formed XML: [^\n]+\n)");
    EXPECT_TRUE(std::regex_match(result.err, message)) << result.err;
    expect_empty_results(path.string(), exports, path.string());
  }
  expect_refused(empty.string(), "the file is empty", exports, "empty");
  expect_refused(dir.path().string(), "is a directory, not a file", exports, "directory");
  expect_refused(fifo.string(), "the FIFO is empty (no program writes to it)", exports, "FIFO");
  expect_refused("/dev/null", "is a device, not a file or a pipe", exports, "device");
  expect_refused(loop.string(), "too many levels of symbolic links", exports, "symbolic link loop");
  expect_refused(dangling.string(), "no such file", exports, "dangling symbolic link");
  for (const fs::path& path : {empty, dir.path(), fifo, fs::path("/dev/null"), loop, dangling}) {
    expect_empty_results(path.string(), exports, path.string());
  }
}

// The errno behind a failed load, for interfaces that raise the system's own errors.
TEST(MalformedInput, LoadProblemsKeepTheSystemError) {
  using Kind = LoadProblem::Kind;
  ScratchDir dir;
  const fs::path empty = dir.path() / "empty.scd";
  write_file(empty, "");
  const fs::path fifo = dir.path() / "fifo.scd";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const fs::path loop = dir.path() / "loop.scd";
  fs::create_symlink(loop, loop);
  const struct {
    fs::path path;
    Kind kind;
    int system_error;
  } rows[] = {
      {dir.path() / "missing.scd", Kind::not_found, ENOENT},
      {empty / "below.scd", Kind::not_found, ENOTDIR},
      {loop, Kind::not_found, ELOOP},
      {dir.path(), Kind::not_a_file, EISDIR},
      {fifo, Kind::not_a_file, 0},
      {empty, Kind::empty, 0},
  };
  for (const auto& row : rows) {
    LoadProblem problem;
    EXPECT_EQ(load_path(row.path.string(), &problem), nullptr) << row.path;
    EXPECT_EQ(problem.kind, row.kind) << row.path;
    EXPECT_EQ(problem.system_error, row.system_error) << row.path;
  }
}

TEST(MalformedInput, PathsOfFiveThousandCharacters) {
  ScratchDir dir;
  const fs::path exports = dir.path() / "out";
  fs::create_directory(exports);
  // One name longer than any file system allows.
  const std::string long_name = (dir.path() / std::string(5000, 'n')).string();
  expect_refused(long_name, "the path is too long", exports, "5000-character name");
  expect_empty_results(long_name, exports, "5000-character name");

  // A real file at the end of 25 directories of 200 characters: the path is
  // longer than the system takes, although every name in it is allowed.
  int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  std::string deep_path = dir.path().string();
  for (int level = 0; level < 25; ++level) {
    const std::string name(200, static_cast<char>('a' + level));
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    deep_path += "/" + name;
  }
  const std::string station = read_file(data_path("cli_station.scd"));
  const int file = ::openat(fd, "station.scd", O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(::write(file, station.data(), station.size()), static_cast<ssize_t>(station.size()));
  ::close(file);
  ::close(fd);
  deep_path += "/station.scd";
  ASSERT_GT(deep_path.size(), 5000u);
  expect_refused(deep_path, "the path is too long", exports, "path of 25 long directories");
  expect_empty_results(deep_path, exports, "path of 25 long directories");
}

// While a second thread keeps replacing the SCD by other things (nothing, a
// directory, a FIFO, an empty or a cut-off file, an unreadable copy), every
// load sees one of them whole: the right CRCs or a clear refusal.
TEST(MalformedInput, FileReplacedWhileItIsLoaded) {
  ScratchDir dir;
  const std::string station = read_file(data_path("cli_station.scd"));
  const fs::path path = dir.path() / "station.scd";
  const fs::path staging = dir.path() / "staging.scd";
  const fs::path exports = dir.path() / "out";
  fs::create_directory(exports);
  write_file(path, station);
  const ProcessResult expected = run_ccdcrc({"all", path.string()});
  ASSERT_EQ(expected.status, 0);

  std::atomic<bool> stop{false};
  std::thread replacer([&] {
    std::error_code ignored;
    for (unsigned round = 0; !stop; ++round) {
      fs::remove_all(path, ignored);
      switch (round % 7) {
        case 0: break;  // gone
        case 1: fs::create_directory(path, ignored); break;
        case 2: ::mkfifo(path.c_str(), 0644); break;
        case 3:
          write_file(staging, "");
          fs::rename(staging, path, ignored);
          break;
        case 4:
          write_file(staging, station.substr(0, station.size() / 2));
          fs::rename(staging, path, ignored);
          break;
        case 5:
          write_file(staging, station);
          fs::permissions(staging, fs::perms::none, ignored);
          fs::rename(staging, path, ignored);
          break;
        default:
          write_file(staging, station);
          fs::rename(staging, path, ignored);
          break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(300));
      write_file(staging, station);
      fs::rename(staging, path, ignored);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });

  const std::regex refusal(
      "ccdcrc: " + path.string() +
      R"(:( no such file| is a directory, not a file| the FIFO is empty \(no program writes to it\)|)"
      R"( the file is empty|)"
      R"( permission denied|\d+:\d+: not well-formed XML: [^\n]+)\n)");
  int loaded = 0, refused = 0, wrong = 0;
  for (int i = 0; i < 300; ++i) {
    CrcPair** pairs = nullptr;
    int count = 0;
    char* scd = compute_all_ied_crcs(&pairs, path.c_str(), &count);
    const std::string scd_crc = scd ? scd : "";
    ccdcrc_free_pairs(pairs, count);
    ccdcrc_free_text(scd);
    if (count == 3 && expected.out.find(scd_crc) != std::string::npos) {
      ++loaded;
    } else if (count == 0 && scd_crc == "00000000") {
      ++refused;
    } else {
      ++wrong;
    }
  }
  ProcessOptions options;
  options.timeout_seconds = 30;
  for (int i = 0; i < 40; ++i) {
    const ProcessResult result = run_ccdcrc({"all", path.string()}, options);
    if (result.status == 0) {
      EXPECT_EQ(result.out, expected.out);
    } else {
      EXPECT_EQ(result.status, 2);
      EXPECT_EQ(result.out, "");
      EXPECT_TRUE(std::regex_match(result.err, refusal)) << result.err;
    }
  }
  stop = true;
  replacer.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(loaded + refused, 0);
}

}  // namespace
}  // namespace ccdcrc::testing
