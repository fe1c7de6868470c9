// The export writes only into its directory and never leaves a partial CCD
// file: not through a symbolic link that has the target's name, not when the
// directory is replaced while a run goes on, not when a write fails and not
// when the program is killed in the middle of it.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <pugixml.hpp>

#include "ccdcrc/ccdcrc.h"
#include "operations/export.h"
#include "support/generated_station.h"
#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

const auto& entries = testing::directory_entries;

// A complete CCD file: well-formed, its last element the CRC.
using testing::complete_ccd;

TEST(ExportSafety, TargetThatIsASymbolicLinkIsReplacedNotFollowed) {
  ScratchDir dir;
  const fs::path outside = dir.path() / "outside";
  const fs::path exports = dir.path() / "exports";
  fs::create_directories(outside);
  fs::create_directories(exports);
  write_file(outside / "victim.txt", "keep me");
  const std::string scd = data_path("cli_station.scd");

  // Through the library, the C entry point and the command line.
  fs::create_symlink(outside / "victim.txt", exports / "P1.ccd");
  fs::create_symlink(outside / "created.txt", exports / "M1.ccd");  // dangling
  fs::create_symlink(outside, exports / "B2.ccd");                  // a directory
  auto loaded = load_path(scd);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(export_ied(*loaded, find_ied(*loaded, "P1"), exports.string()).status, ExportStatus::written);
  export_ied_ccd(scd.c_str(), "M1", exports.c_str());
  const ProcessResult run = run_ccdcrc({"export", scd, "B2", "-o", exports.string()});
  EXPECT_EQ(run.status, 0) << run.err;

  EXPECT_EQ(read_file(outside / "victim.txt"), "keep me");
  EXPECT_EQ(entries(outside), std::vector<std::string>{"victim.txt"});
  for (const char* name : {"P1.ccd", "M1.ccd", "B2.ccd"}) {
    EXPECT_FALSE(fs::is_symlink(exports / name)) << name;
    EXPECT_TRUE(complete_ccd(exports / name)) << name;
  }
  EXPECT_EQ(entries(exports), (std::vector<std::string>{"B2.ccd", "M1.ccd", "P1.ccd"}));
}

// The directory is renamed and a symbolic link to another directory takes its
// name while `export --all` runs: all files go into one directory, the one
// the path named when the run began.
TEST(ExportSafety, DirectoryReplacedDuringTheRun) {
  ScratchDir dir;
  StationShape shape;
  shape.publishers = 300;
  const std::string scd = (dir.path() / "station.scd").string();
  write_station(scd, shape);
  const fs::path exports = dir.path() / "exports";
  const fs::path moved = dir.path() / "moved";
  const fs::path elsewhere = dir.path() / "elsewhere";
  fs::create_directories(elsewhere);

  for (int delay_ms : {0, 5, 20, 60}) {
    fs::create_directories(exports);
    std::thread replacer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      fs::rename(exports, moved);
      fs::create_directory_symlink(elsewhere, exports);
    });
    const ProcessResult run = run_ccdcrc({"export", scd, "--all", "-o", exports.string(), "-j", "2"});
    replacer.join();
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> first = entries(moved);
    const std::vector<std::string> second = entries(elsewhere);
    // 300 publishers, P1 and S1, in exactly one of the two.
    EXPECT_TRUE((first.size() == 302 && second.empty()) || (first.empty() && second.size() == 302))
        << "delay " << delay_ms << " ms: " << first.size() << " files in the original directory, " << second.size()
        << " in the other";
    for (const fs::path& folder : {moved, elsewhere}) {
      for (const std::string& name : entries(folder)) EXPECT_TRUE(complete_ccd(folder / name)) << name;
    }
    fs::remove(exports);
    fs::remove_all(moved);
    for (const auto& entry : fs::directory_iterator(elsewhere)) fs::remove(entry.path());
  }
}

// The temporary file's name does not grow with the IED's: every name the file
// system takes for NAME.ccd can be exported.
TEST(ExportSafety, LongestFileNameIsExported) {
  ScratchDir dir;
  std::string station = read_file(data_path("cli_station.scd"));
  const std::string name(251, 'P');  // 251 + ".ccd": the longest file name
  for (std::size_t at = station.find("\"P1\""); at != std::string::npos; at = station.find("\"P1\"", at)) {
    station.replace(at + 1, 2, name);
  }
  const fs::path scd = dir.path() / "long.scd";
  write_file(scd, station);
  const fs::path exports = dir.path() / "out";
  fs::create_directory(exports);
  const ProcessResult run = run_ccdcrc({"export", scd.string(), name, "-o", exports.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(complete_ccd(exports / (name + ".ccd")));
  EXPECT_EQ(entries(exports), std::vector<std::string>{name + ".ccd"});
}

// An empty directory text names no directory: the file does not go to "/NAME.ccd".
TEST(ExportSafety, EmptyDirectoryTextWritesNothing) {
  const fs::path in_root = "/P1.ccd";
  if (fs::exists(in_root)) GTEST_SKIP() << in_root << " exists already";
  export_ied_ccd(data_path("cli_station.scd").c_str(), "P1", "");
  auto scd = load_path(data_path("cli_station.scd"));
  ASSERT_TRUE(scd);
  EXPECT_EQ(export_ied(*scd, find_ied(*scd, "P1"), std::string()).status, ExportStatus::write_failed);
  EXPECT_FALSE(fs::exists(in_root));
  std::error_code ignored;
  fs::remove(in_root, ignored);
}

TEST(ExportSafety, FailedWriteLeavesNoPartialFile) {
  ScratchDir dir;
  const std::string scd = data_path("sub_golden.scd");
  write_file(dir.path() / "SUB.ccd", "the previous export");
  // Files of at most 100 bytes: the write of every CCD fails half-way.
  ProcessOptions options;
  options.file_size_limit = 100;
  const ProcessResult run = run_ccdcrc({"export", scd, "SUB", "-o", dir.path().string()}, options);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot write the CCD file: File too large"), std::string::npos) << run.err;
  EXPECT_EQ(read_file(dir.path() / "SUB.ccd"), "the previous export");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"SUB.ccd"});
}

// A file-size limit fails the files that pass it, not the process: the
// others of the run are written.
TEST(ExportSafety, FileSizeLimitFailsTheLargerFilesOnly) {
  ScratchDir dir;
  ProcessOptions options;
  options.file_size_limit = 10000;  // the merging units' files are smaller, the others larger
  const ProcessResult run =
      run_ccdcrc({"export", example_path("substation.scd"), "--all", "-o", dir.path().string()}, options);
  EXPECT_EQ(run.status, 1) << run.err;
  for (const char* name : {"CL1101", "PL1101", "PT1001"}) {
    EXPECT_NE(run.err.find(name + std::string(".ccd: cannot write the CCD file: File too large")), std::string::npos)
        << run.err;
  }
  EXPECT_NE(run.err.find("3 of 5 IEDs not exported"), std::string::npos) << run.err;
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"MU1001.ccd", "MU1101.ccd"}));
  for (const std::string& name : entries(dir.path())) EXPECT_TRUE(complete_ccd(dir.path() / name)) << name;
}

// A staged file takes the target's place only at its commit, and one that is
// never committed leaves nothing behind.
TEST(ExportSafety, StagedFileAppearsOnlyWhenCommitted) {
  ScratchDir dir;
  auto scd = load_path(data_path("cli_station.scd"));
  ASSERT_TRUE(scd);
  const Directory exports(dir.path().string());
  write_file(dir.path() / "P1.ccd", "the previous export");
  {
    StagedExport dropped = stage_export(*scd, find_ied(*scd, "P1"), exports);
    EXPECT_EQ(dropped.result.status, ExportStatus::written);
  }
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"P1.ccd"});
  EXPECT_EQ(read_file(dir.path() / "P1.ccd"), "the previous export");

  StagedExport staged = stage_export(*scd, find_ied(*scd, "P1"), exports);
  EXPECT_EQ(read_file(dir.path() / "P1.ccd"), "the previous export");
  const ExportResult result = commit_export(staged);
  EXPECT_EQ(result.status, ExportStatus::written) << result.message;
  EXPECT_EQ(result.path, (dir.path() / "P1.ccd").string());
  EXPECT_TRUE(complete_ccd(dir.path() / "P1.ccd"));
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"P1.ccd"});
  // A second commit has nothing left to do.
  EXPECT_EQ(commit_export(staged).status, ExportStatus::write_failed);
}

// Files wait for their sync with a descriptor open each: a process allowed few
// descriptors writes them in smaller batches, not fewer of them.
TEST(ExportSafety, FewDescriptorsStillExportEveryIed) {
  ScratchDir dir;
  StationShape shape;
  shape.publishers = 40;
  const std::string scd = (dir.path() / "station.scd").string();
  write_station(scd, shape);
  const fs::path exports = dir.path() / "exports";
  fs::create_directories(exports);
  ProcessOptions options;
  options.open_files_limit = 16;
  const ProcessResult run = run_ccdcrc({"export", scd, "--all", "-o", exports.string(), "-j", "2"}, options);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> files = entries(exports);
  EXPECT_EQ(files.size(), 42u);  // the publishers, P1 and S1
  for (const std::string& name : files) EXPECT_TRUE(complete_ccd(exports / name)) << name;
}

// Where a file cannot be unnamed while it is written, it is made only at its
// commit, and every failure removes it again.
TEST(ExportSafety, NamedTemporaryFilesExistOnlyWhileCommitted) {
  ScratchDir dir;
  const Directory directory(dir.path().string());
  const std::unique_ptr<Scd> scd = load_fixture("cli_station.scd");
  const std::unique_ptr<Ccd> ccd = export_document(*scd, find_ied(*scd, "P1"));
  for (const bool target_is_a_directory : {false, true}) {
    if (target_is_a_directory) {
      fs::remove(dir.path() / "P1.ccd");
      fs::create_directories(dir.path() / "P1.ccd" / "inside");
    }
    StagedFile file(directory, StagedFile::Naming::named);
    save_ccd(ccd->document, file.writer());
    EXPECT_EQ(file.finish_writing(), 0);
    EXPECT_EQ(entries(dir.path()),
              target_is_a_directory ? std::vector<std::string>{"P1.ccd"} : std::vector<std::string>{});
    EXPECT_EQ(file.commit("P1.ccd") != 0, target_is_a_directory);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"P1.ccd"});
  }
}

// An export run removes what runs on this host left behind when they were
// killed: temporary files that no process holds locked, whatever PID their
// name gives (a live writer in another PID namespace may have a PID that does
// not exist here), and nothing else. As root, the run is repeated from a PID
// namespace of its own.
TEST(ExportSafety, StaleTemporaryFilesOfThisHostAreRemoved) {
  char name[256] = {};
  ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
  std::string host;
  for (const char* c = name; *c; ++c) host += std::isalnum(static_cast<unsigned char>(*c)) || *c == '.' ? *c : '_';
  const pid_t gone_pid = ::fork();
  if (gone_pid == 0) ::_exit(0);
  ASSERT_GT(gone_pid, 0);
  ::waitpid(gone_pid, nullptr, 0);
  const std::string gone = std::to_string(gone_pid);
  const std::string self = std::to_string(::getpid());

  struct Row {
    std::string file;
    bool held;  // a live process holds the writer's lock
    bool kept;
  };
  const std::vector<Row> rows{
      {".ccdcrc-" + host + "-" + gone + "-1.tmp", false, false},
      {".ccdcrc-" + host + "-" + gone + "-2.tmp", true, true},
      {".ccdcrc-" + host + "-" + self + "-3.tmp", false, false},
      {".ccdcrc-" + host + "-" + self + "-4.tmp", true, true},
      {".ccdcrc-otherhost-" + gone + "-5.tmp", false, true},
      {"notes.tmp", false, true},
  };
  std::vector<std::vector<std::string>> runners{{}};
  if (::geteuid() == 0 && run_process("/usr/bin/unshare", {"--pid", "--fork", "true"}).status == 0) {
    runners.push_back({"/usr/bin/unshare", "--pid", "--fork"});
  }
  for (const std::vector<std::string>& runner : runners) {
    ScratchDir dir;
    std::vector<std::string> kept{"P1.ccd"};
    std::vector<std::string> held;
    for (const Row& row : rows) {
      write_file(dir.path() / row.file, "x");
      if (row.held) held.push_back((dir.path() / row.file).string());
      if (row.kept) kept.push_back(row.file);
    }
    // The writers: a child that locks the files, says so and waits to be killed.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
      for (const std::string& file : held) {
        const int fd = ::open(file.c_str(), O_RDONLY);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
      }
      (void)!::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);

    std::vector<std::string> command = runner;
    command.insert(command.end(),
                   {CCDCRC_PROGRAM, "export", data_path("cli_station.scd"), "P1", "-o", dir.path().string()});
    const ProcessResult run = run_process(command.front(), {command.begin() + 1, command.end()});
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    EXPECT_EQ(run.status, 0) << run.err;
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(entries(dir.path()), kept) << (runner.empty() ? "plain run" : "in a PID namespace of its own");
  }
}

}  // namespace
}  // namespace ccdcrc::testing
