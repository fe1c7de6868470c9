// The handle interface as an embedding program uses it: each failure has its
// own status and a message naming the file; an SCD opened once answers as the
// three entry points and the program do; bytes in memory answer as the file
// they came from; running out of memory is a status, never a wrong answer.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ccdcrc/ccdcrc.h"
#include "support/failing_allocation.h"
#include "support/generated_station.h"
#include "support/process.h"
#include "support/scd_handle.h"
#include "support/test_support.h"
#include "util/text.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

// Files the failure cases work on.
struct Places {
  fs::path scratch;
  std::string example = example_path("substation.scd");
};

Outcome ied_crc_outcome(const std::string& path, const std::string& name) {
  const auto [scd, opened] = open_path(path);
  return scd ? ied_crc(scd.get(), name).outcome : opened;
}

Outcome export_outcome(const std::string& path, const std::string& name, const std::string& directory) {
  const auto [scd, opened] = open_path(path);
  return scd ? export_ied(scd.get(), name, directory).outcome : opened;
}

Outcome trouble(const std::string& what) { return {CCDCRC_INTERNAL_ERROR, what, "", 0, 0}; }

// Runs a call in a child process (limits and identities stay there) and
// brings back its outcome.
Outcome in_child(const std::function<Outcome()>& call) {
  int channel[2];
  if (::pipe(channel) != 0) return trouble("no pipe");
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const Outcome result = call();
    const std::string report =
        std::to_string(static_cast<int>(result.status)) + "\n" + result.file + "\n" + result.message;
    [[maybe_unused]] const ssize_t written = ::write(channel[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, got);
  ::close(channel[0]);
  int wait_status = 0;
  ::waitpid(child, &wait_status, 0);
  const std::size_t status_end = report.find('\n');
  const std::size_t file_end = report.find('\n', status_end + 1);
  if (file_end == std::string::npos) return trouble("the child reported nothing");
  return {static_cast<ccdcrc_status>(std::stoi(report.substr(0, status_end))), report.substr(file_end + 1),
          report.substr(status_end + 1, file_end - status_end - 1), 0, 0};
}

// Opening a file that exists but may not be read (as root: after giving up root).
Outcome open_unreadable(const Places& places) {
  const std::string path = write_file(places.scratch / "locked.scd", read_file(places.example));
  ::chmod(path.c_str(), 0);
  ::chmod(places.scratch.c_str(), 0755);
  return in_child([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return trouble("cannot give up root");
    return open_path(path).second;
  });
}

// An export whose file cannot be written whole: files are limited to 100 bytes.
Outcome export_too_large(const Places& places) {
  return in_child([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return export_outcome(places.example, "PL1101", places.scratch.string());
  });
}

Outcome too_deep(const Places& places, bool exporting) {
  StationShape shape;
  shape.sdi_levels = max_written_depth - 7;  // the CCDs nest 8 levels more
  const std::string path = (places.scratch / "deep.scd").string();
  write_station(path, shape);
  if (exporting) return export_outcome(path, "P1", places.scratch.string());
  const auto [scd, opened] = open_path(path);
  return ccd_text(scd.get(), "P1", CCDCRC_CCD_EXPORTED).outcome;
}

struct FailureCase {
  const char* what;
  std::function<Outcome(const Places&)> call;
  ccdcrc_status status;
  std::string message;  // {file}: the file the case names, {scratch}: the scratch directory
  std::string file;
  std::size_t line = 0;
  std::size_t column = 0;
};

// Files of which part would be left out.
std::vector<FailureCase> partly_read_cases() {
  return {
      {"zip archive appended", [](const Places&) { return open_path(data_path("cli_scd_and_zip.bin")).second; },
       CCDCRC_PARTLY_READ,
       data_path("cli_scd_and_zip.bin") +
           ": the file holds both an XML document and a zip archive's end record (at byte offset 4272), which other "
           "programs read instead: which of them is meant cannot be told",
       data_path("cli_scd_and_zip.bin")},
      {"junk after a zero byte",
       [](const Places&) { return open_bytes(read_file(data_path("cli_junk_after_zero.scd")), "up").second; },
       CCDCRC_PARTLY_READ,
       "up:99:1: the file is read only in part, so its CRCs cannot stand for an approved configuration: a zero byte "
       "ends the XML text here; the 28 bytes from it on are ignored",
       "up", 99, 1},
  };
}

std::vector<FailureCase> failure_cases() {
  const std::string malformed = data_path("malformed/end_tag.scd");
  const std::string hostile = data_path("cli_hostile.scd");
  const std::string example = example_path("substation.scd");
  return {
      {"missing file", [](const Places& p) { return open_path((p.scratch / "none.scd").string()).second; },
       CCDCRC_FILE_NOT_FOUND, "{scratch}/none.scd: no such file", "{scratch}/none.scd"},
      {"unreadable file", open_unreadable, CCDCRC_FILE_UNREADABLE, "{scratch}/locked.scd: permission denied",
       "{scratch}/locked.scd"},
      {"directory", [](const Places& p) { return open_path(p.scratch.string()).second; }, CCDCRC_NOT_A_FILE,
       "{scratch}: is a directory, not a file", "{scratch}"},
      {"FIFO",
       [](const Places& p) {
         ::mkfifo((p.scratch / "fifo.scd").c_str(), 0600);
         return open_path((p.scratch / "fifo.scd").string()).second;
       },
       CCDCRC_MALFORMED_XML, "{scratch}/fifo.scd: the FIFO is empty (no program writes to it)", "{scratch}/fifo.scd"},
      {"empty file", [](const Places& p) { return open_path(write_file(p.scratch / "empty.scd", "")).second; },
       CCDCRC_MALFORMED_XML, "{scratch}/empty.scd: the file is empty", "{scratch}/empty.scd"},
      {"malformed XML", [=](const Places&) { return open_path(malformed).second; }, CCDCRC_MALFORMED_XML,
       malformed + ":5:4: not well-formed XML: Start-end tags mismatch", malformed, 5, 4},
      {"malformed XML in memory", [=](const Places&) { return open_bytes(read_file(malformed), "upload").second; },
       CCDCRC_MALFORMED_XML, "upload:5:4: not well-formed XML: Start-end tags mismatch", "upload", 5, 4},
      {"damaged gzip file", [](const Places&) { return open_path(data_path("cli_damaged.scd.gz")).second; },
       CCDCRC_FILE_UNREADABLE,
       data_path("cli_damaged.scd.gz") + ": the compressed data cannot be read: truncated gzip input",
       data_path("cli_damaged.scd.gz")},
      {"zip in memory without a file",
       [](const Places&) { return open_bytes(read_file(data_path("cli_no_files.zip")), "up").second; },
       CCDCRC_FILE_UNREADABLE, "up: the archive holds no file", "up"},
      {"unknown IED", [=](const Places&) { return ied_crc_outcome(example, "PL1110"); }, CCDCRC_UNKNOWN_IED,
       example + ": no IED named 'PL1110'; did you mean 'PL1101'?", example},
      {"root not SCL", [](const Places&) { return open_path(data_path("cli_not_scl.scd")).second; }, CCDCRC_NOT_AN_SCD,
       data_path("cli_not_scl.scd") + ": not an SCD file: an XML file whose root element is 'Substation', not 'SCL'",
       data_path("cli_not_scl.scd")},
      {"IED without circuits", [=](const Places&) { return ied_crc_outcome(example, "GW01"); }, CCDCRC_NO_CIRCUITS,
       example + ": IED 'GW01' has no GOOSE or sampled-value circuits, so it has no CRC", example},
      {"export without circuits", [=](const Places& p) { return export_outcome(example, "GW01", p.scratch.string()); },
       CCDCRC_NO_CIRCUITS, example + ": IED 'GW01' has no GOOSE or sampled-value circuits, so it has no CRC", example},
      {"unsafe file name", [=](const Places& p) { return export_outcome(hostile, "../evil", p.scratch.string()); },
       CCDCRC_UNSAFE_NAME,
       hostile + ": IED '../evil' cannot be exported: its name is not a plain file name (it is empty, '.' or '..', "
                 "or holds '/' or '\\')",
       hostile},
      {"CCD text too deep", [](const Places& p) { return too_deep(p, false); }, CCDCRC_TOO_DEEP,
       "{scratch}/deep.scd: the CCD of IED 'P1' nests elements 1001 levels deep; its text is made only up to 1000 "
       "levels (its CRC is computed all the same)",
       "{scratch}/deep.scd"},
      {"export too deep", [](const Places& p) { return too_deep(p, true); }, CCDCRC_TOO_DEEP,
       "{scratch}/deep.scd: IED 'P1' cannot be exported: its CCD nests elements 1001 levels deep; files of at most "
       "1000 levels are written",
       "{scratch}/deep.scd"},
      {"missing export directory",
       [=](const Places& p) { return export_outcome(example, "PL1101", (p.scratch / "none").string()); },
       CCDCRC_WRITE_FAILED, "{scratch}/none: the export directory does not exist", "{scratch}/none"},
      {"file too large", export_too_large, CCDCRC_WRITE_FAILED,
       "{scratch}/PL1101.ccd: cannot write the CCD file: File too large", "{scratch}/PL1101.ccd"},
  };
}

std::string placed(std::string text, const Places& places) {
  return replace_all(text, "{scratch}", places.scratch.string());
}

TEST(ScdHandle, EachFailureHasItsOwnStatusAndAMessageNamingTheFile) {
  std::vector<FailureCase> rows = failure_cases();
  for (FailureCase& row : partly_read_cases()) rows.push_back(std::move(row));
  for (const FailureCase& row : rows) {
    ScratchDir scratch;
    const Places places{scratch.path()};
    const Outcome got = row.call(places);
    EXPECT_EQ(got.status, row.status) << row.what << ": " << got.message;
    EXPECT_EQ(got.message, placed(row.message, places)) << row.what;
    EXPECT_EQ(got.file, placed(row.file, places)) << row.what;
    EXPECT_EQ(got.line, row.line) << row.what;
    EXPECT_EQ(got.column, row.column) << row.what;
    EXPECT_STRNE(ccdcrc_status_text(row.status), ccdcrc_status_text(CCDCRC_INTERNAL_ERROR)) << row.what;
  }
}

// Null pointers and values the calls do not take, one call at a time.
// gzip data and the SCL file of a zip archive are opened as the program opens
// them: the same SCD, the same CRCs.
TEST(ScdHandle, OpensGzipAndZipAsThePlainFile) {
  const std::string plain = ied_crc(open_path(data_path("cli_station.scd")).first.get(), "P1").value;
  ASSERT_FALSE(plain.empty());
  for (const char* packed : {"cli_station.scd.gz", "cli_station.zip"}) {
    const auto [scd, opened] = open_path(data_path(packed));
    ASSERT_TRUE(scd) << packed << ": " << opened.message;
    EXPECT_EQ(ied_crc(scd.get(), "P1").value, plain) << packed;
  }
}

// Every file the program refuses (tests/data/refused.txt, which the Python
// tests read too), the handle refuses with the program's words.
TEST(ScdHandle, RefusesWhatTheProgramRefusesInItsWords) {
  std::ifstream list(data_path("refused.txt"));
  std::string name;
  int rows = 0;
  while (std::getline(list, name)) {
    const std::string path = data_path(name);
    const Outcome opened = open_path(path).second;
    const ProcessResult program = run_ccdcrc({"all", path});
    EXPECT_EQ(program.status, 2) << name;
    EXPECT_NE(opened.status, CCDCRC_OK) << name;
    EXPECT_EQ("ccdcrc: " + opened.message + "\n", program.err) << name;
    ++rows;
  }
  EXPECT_GT(rows, 10);
}

TEST(ScdHandle, InvalidArgumentsAreReportedAndNothingIsHandedOut) {
  const OpenScd scd = open_path(example_path("substation.scd")).first;
  ASSERT_TRUE(scd);
  const ErrorObject error(ccdcrc_error_new());
  ccdcrc_scd* no_scd = reinterpret_cast<ccdcrc_scd*>(1);
  char* text = reinterpret_cast<char*>(1);
  char crc[CCDCRC_CRC_SIZE];
  const struct {
    const char* what;
    std::function<ccdcrc_status()> call;
    std::string message;
  } rows[] = {
      {"null path", [&] { return ccdcrc_scd_open(nullptr, &no_scd, error.get()); }, "the path is null"},
      {"nowhere to store", [&] { return ccdcrc_scd_open("x.scd", nullptr, error.get()); },
       "x.scd: there is nowhere to store the open SCD"},
      {"null bytes", [&] { return ccdcrc_scd_open_memory(nullptr, 4, "up", &no_scd, error.get()); },
       "up: the data are null"},
      {"null SCD", [&] { return ccdcrc_scd_ied_crc(nullptr, "PL1101", crc, error.get()); }, "the SCD is null"},
      {"null name", [&] { return ccdcrc_scd_ied_crc(scd.get(), nullptr, crc, error.get()); },
       example_path("substation.scd") + ": the IED name is null"},
      {"null names", [&] { return ccdcrc_scd_ieds(scd.get(), nullptr, error.get()); },
       example_path("substation.scd") + ": there is nowhere to store the names"},
      {"null CRCs", [&] { return ccdcrc_scd_all_crcs(scd.get(), 1, nullptr, error.get()); },
       example_path("substation.scd") + ": there is nowhere to store the CRCs"},
      {"unknown form",
       [&] {
         return ccdcrc_scd_ccd_text(scd.get(), "PL1101", static_cast<ccdcrc_ccd_form>(7), &text, nullptr, error.get());
       },
       example_path("substation.scd") + ": the CCD form is neither exported nor measured"},
      {"null directory", [&] { return ccdcrc_scd_export(scd.get(), "PL1101", nullptr, crc, error.get()); },
       example_path("substation.scd") + ": the export directory is null"},
      {"null SCD for every IED", [&] { return ccdcrc_scd_export_all(nullptr, "out", 1, nullptr, error.get()); },
       "the SCD is null"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.call(), CCDCRC_INVALID_ARGUMENT) << row.what;
    EXPECT_EQ(ccdcrc_error_status(error.get()), CCDCRC_INVALID_ARGUMENT) << row.what;
    EXPECT_EQ(ccdcrc_error_message(error.get()), row.message) << row.what;
  }
  EXPECT_EQ(no_scd, nullptr);
  EXPECT_EQ(text, nullptr);
  // Nothing to release is released quietly, and a call without an error object reports its status alone.
  ccdcrc_scd_close(nullptr);
  ccdcrc_free_names(nullptr);
  ccdcrc_free_crcs(nullptr);
  ccdcrc_free_exports(nullptr);
  ccdcrc_error_free(nullptr);
  EXPECT_EQ(ccdcrc_scd_ied_crc(scd.get(), "GW01", crc, nullptr), CCDCRC_NO_CIRCUITS);
  EXPECT_STREQ(crc, "");
  EXPECT_STREQ(ccdcrc_error_message(nullptr), "");
}

TEST(ScdHandle, AnErrorObjectDescribesTheLastCallItWasGiven) {
  const auto [scd, opened] = open_path(example_path("substation.scd"));
  ASSERT_TRUE(scd) << opened.message;
  const ErrorObject error(ccdcrc_error_new());
  char crc[CCDCRC_CRC_SIZE];
  EXPECT_EQ(ccdcrc_scd_ied_crc(scd.get(), "NOBODY", crc, error.get()), CCDCRC_UNKNOWN_IED);
  EXPECT_NE(std::string(ccdcrc_error_file(error.get())), "");
  EXPECT_EQ(ccdcrc_scd_ied_crc(scd.get(), "PL1101", crc, error.get()), CCDCRC_OK);
  EXPECT_STREQ(crc, "3B04FA6D");
  EXPECT_EQ(ccdcrc_error_status(error.get()), CCDCRC_OK);
  EXPECT_STREQ(ccdcrc_error_message(error.get()), "");
  EXPECT_STREQ(ccdcrc_error_file(error.get()), "");
  EXPECT_STREQ(ccdcrc_version(), CCDCRC_VERSION);
}

// The seed entry points' results for one SCD, in the handle interface's shape.
std::vector<std::pair<std::string, std::string>> seed_all_crcs(const std::string& path) {
  CrcPair** pairs = nullptr;
  int count = 0;
  char* scd_crc = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  std::vector<std::pair<std::string, std::string>> result;
  for (int i = 0; i < count; ++i) result.emplace_back(pairs[i]->name, pairs[i]->crc);
  result.emplace_back("SCD CRC", scd_crc);
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd_crc);
  return result;
}

std::string seed_ied_crc(const std::string& path, const std::string& name) {
  char* crc = compute_ied_crc(path.c_str(), name.c_str());
  std::string text = crc;
  ccdcrc_free_text(crc);
  return text;
}

TEST(ScdHandle, AnOpenScdAnswersAsTheEntryPointsDo) {
  for (const std::string& path : shipped_scds()) {
    const auto [scd, opened] = open_path(path);
    if (!scd) continue;  // the malformed fixture
    const Answers answers = answers_of(scd.get());
    EXPECT_EQ(answers.crcs.value, seed_all_crcs(path)) << path;
    for (const auto& [name, answer] : answers.ied_crcs) {
      EXPECT_EQ(answer.value, seed_ied_crc(path, name)) << path << " " << name;
      EXPECT_EQ(answer.outcome.status == CCDCRC_OK, !answer.value.empty()) << path << " " << name;
    }
  }
}

TEST(ScdHandle, CcdTextsAreWhatTheProgramPrints) {
  const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1700000000");
  const std::string path = example_path("substation.scd");
  const auto [scd, opened] = open_path(path);
  ASSERT_TRUE(scd);
  for (const char* name : {"PL1101", "MU1101"}) {
    EXPECT_EQ(ccd_text(scd.get(), name, CCDCRC_CCD_MEASURED).value, run_ccdcrc({"ccd", path, name, "--measured"}).out);
    EXPECT_EQ(ccd_text(scd.get(), name, CCDCRC_CCD_EXPORTED).value, run_ccdcrc({"ccd", path, name}).out);
  }
}

TEST(ScdHandle, TheHistoryIsWhatTheProgramPrints) {
  // Read as the program reads them: gzip too, and a file read only in part is no revision to list.
  const std::vector<std::string> paths{example_path("substation.scd"), data_path("report_renamed_member.scd"),
                                       data_path("no_such.scd"), data_path("cli_junk_after_zero.scd"),
                                       data_path("cli_station.scd.gz")};
  std::vector<const char*> pointers;
  for (const std::string& path : paths) pointers.push_back(path.c_str());
  char* json = nullptr;
  size_t size = 0;
  ASSERT_EQ(ccdcrc_history_json(pointers.data(), pointers.size(), 0, &json, &size, nullptr), CCDCRC_OK);
  std::vector<std::string> arguments{"history", "--no-cache", "--format", "json"};
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  EXPECT_EQ(std::string(json, size), run_ccdcrc(arguments).out);
  ccdcrc_free_text(json);
  EXPECT_EQ(ccdcrc_history_json(pointers.data(), 0, 0, &json, &size, nullptr), CCDCRC_INVALID_ARGUMENT);
  EXPECT_EQ(json, nullptr);
}

TEST(ScdHandle, ExportsWriteTheCcdTextAndListWhatAllLists) {
  const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1700000000");
  for (const std::string& path : {example_path("substation.scd"), data_path("cli_hostile.scd")}) {
    ScratchDir one;
    ScratchDir every;
    const auto [scd, opened] = open_path(path);
    ASSERT_TRUE(scd);
    const Answers answers = answers_of(scd.get());
    // Of IEDs that share a name, the export of all takes another than the lookup by name.
    const std::unique_ptr<Scd> loaded = load_path(path);
    const IedLookup lookup(*loaded);
    const Answer<std::vector<ExportEntry>> all = export_all(scd.get(), every.path().string(), 2);
    std::size_t written = 0;
    for (const ExportEntry& entry : all.value) {
      if (entry.status != CCDCRC_OK) continue;
      ++written;
      if (lookup.count(entry.name) > 1) continue;
      EXPECT_EQ(read_file(entry.path), answers.exported.at(entry.name).value) << entry.name;
      const Answer<std::string> single = export_ied(scd.get(), entry.name, one.path().string());
      EXPECT_EQ(single.value, entry.crc) << entry.name;
    }
    // Every IED with a CRC is listed, written or not; the files are all there is.
    std::vector<std::string> listed;
    for (const ExportEntry& entry : all.value) listed.push_back(entry.name);
    std::vector<std::string> with_crc;
    for (std::size_t i = 0; i + 1 < answers.crcs.value.size(); ++i) with_crc.push_back(answers.crcs.value[i].first);
    EXPECT_EQ(listed, with_crc) << path;
    EXPECT_EQ(directory_entries(every.path()).size(), written) << path;
  }
}

TEST(ScdHandle, ExportOfEveryIedReportsEachOneThatFailed) {
  ScratchDir out;
  const auto [scd, opened] = open_path(data_path("cli_hostile.scd"));
  ASSERT_TRUE(scd);
  const Answer<std::vector<ExportEntry>> all = export_all(scd.get(), out.path().string(), 1);
  EXPECT_EQ(all.outcome.status, CCDCRC_UNSAFE_NAME);
  // Two names Windows cannot hold besides: a quotation mark, a line break.
  EXPECT_EQ(all.outcome.message,
            out.path().string() + ": 3 of 8 IEDs not exported: '../evil', 'line\\nbreak', 'say \"hi\"'");
  EXPECT_EQ(all.outcome.file, out.path().string());
  const auto evil = std::find_if(all.value.begin(), all.value.end(), [](const auto& e) { return e.name == "../evil"; });
  ASSERT_NE(evil, all.value.end());
  EXPECT_EQ(evil->status, CCDCRC_UNSAFE_NAME);
  EXPECT_EQ(evil->crc, "");
  EXPECT_NE(evil->message.find("not a plain file name"), std::string::npos);
  EXPECT_FALSE(fs::exists(out.path().parent_path() / "evil.ccd"));
}

TEST(ScdHandle, OpeningFromMemoryAnswersAsOpeningTheFile) {
  const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1700000000");
  std::size_t compared = 0;
  for (const std::string& path : shipped_scds()) {
    const auto [from_file, file_outcome] = open_path(path);
    const auto [from_memory, memory_outcome] = open_bytes(read_file(path), path);
    EXPECT_EQ(file_outcome.status, memory_outcome.status) << path;
    EXPECT_EQ(file_outcome.message, memory_outcome.message) << path;
    if (!from_file || !from_memory) continue;
    EXPECT_TRUE(answers_of(from_file.get()) == answers_of(from_memory.get())) << path;
    ++compared;
  }
  EXPECT_GT(compared, 20u);
}

// Whichever allocation fails, each call gives its right answer or
// CCDCRC_OUT_OF_MEMORY, and keeps nothing (the sanitised build's leak check).
TEST(ScdHandle, AFailedAllocationIsOutOfMemoryNeverAWrongAnswer) {
  const std::string path = data_path("cli_station.scd");
  const auto [reference, opened] = open_path(path);
  ASSERT_TRUE(reference);
  const Answers expected = answers_of(reference.get());
  const auto session = [&](std::size_t& wrong) {
    const auto [scd, outcome] = open_path(path);
    if (!scd) {
      if (outcome.status != CCDCRC_OUT_OF_MEMORY) ++wrong;
      return;
    }
    const Answers got = answers_of(scd.get());
    // Out of memory while the message of another failure is made, the message is the status's text.
    const auto check = [&](const auto& answer, const auto& right) {
      const Outcome& got = answer.outcome;
      const bool plain = got.message == ccdcrc_status_text(got.status) && got.status == right.outcome.status;
      if (!(answer == right) && got.status != CCDCRC_OUT_OF_MEMORY && !plain) ++wrong;
    };
    check(got.names, expected.names);
    check(got.crcs, expected.crcs);
    // Without the names (out of memory), no IED was asked about.
    if (got.names.outcome.status != CCDCRC_OK) return;
    for (const auto& [name, answer] : expected.ied_crcs) check(got.ied_crcs.at(name), answer);
    for (const auto& [name, answer] : expected.measured) check(got.measured.at(name), answer);
  };
  std::size_t wrong = 0;
  stop_failing_allocations();
  session(wrong);
  const std::size_t whole_session = allocations_counted();
  ASSERT_EQ(wrong, 0u);
  ASSERT_GT(whole_session, 100u);
  for (std::size_t failing = 0; failing < whole_session; failing += 1 + failing / 64) {
    const AllocationFailure failure(failing);
    try {
      session(wrong);
    } catch (const std::bad_alloc&) {
      // The allocation that failed was the test's own, not the library's.
    }
    ASSERT_EQ(wrong, 0u) << "allocation " << failing;
  }
}

}  // namespace
}  // namespace ccdcrc::testing
