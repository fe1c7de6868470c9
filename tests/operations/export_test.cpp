// Export of an IED's CCD file: the CCD as built (header attributes and
// descriptions included), closed by a CRC element that carries the CRC of the
// finished copy and the local time of the export.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ccdcrc/ccdcrc.h"
#include "operations/export.h"
#include "support/test_support.h"

namespace ccdcrc {
namespace {

namespace fs = std::filesystem;
using testing::data_path;
using testing::EnvironmentVariable;
using testing::load_fixture;
using testing::read_file;
using testing::ScratchDir;

using testing::write_file;

// Every entry below a directory, relative to it, sorted.
std::vector<std::string> tree(const fs::path& dir) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    entries.push_back(fs::relative(entry.path(), dir).string());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

const std::regex timestamp_attribute(R"re(timestamp="([^"]*)")re");

// The timestamp of an exported file ("" when there is none).
std::string timestamp_of(const std::string& exported) {
  std::smatch match;
  return std::regex_search(exported, match, timestamp_attribute) ? match[1].str() : "";
}

std::string without_timestamp(const std::string& exported) {
  return std::regex_replace(exported, timestamp_attribute, R"(timestamp="")");
}

// The built CCD text with the CRC element inserted as the last child of IED.
std::string with_crc_element(std::string built, const std::string& crc) {
  const std::string end = "</IED>\n";
  const std::string crc_line = "\t<CRC id=\"" + crc + "\" timestamp=\"\" />\n";
  if (built.size() >= end.size() && built.compare(built.size() - end.size(), end.size(), end) == 0) {
    built.insert(built.size() - end.size(), crc_line);
  } else {
    // An IED without sections: "<IED ... />" becomes "<IED ...>", the CRC line, "</IED>".
    const std::string empty_end = " />\n";
    built.replace(built.size() - empty_end.size(), empty_end.size(), ">\n" + crc_line + end);
  }
  return built;
}

// ---------------------------------------------------------------------------

TEST(Export, FileIsTheBuiltCcdClosedByItsCrc) {
  const EnvironmentVariable zone("TZ", "XST-05:30");  // UTC+5:30, so that local time and UTC differ
  auto scd = load_fixture("sub_golden.scd");
  ASSERT_TRUE(scd);
  ScratchDir dir;
  const std::string crc = ied_crc(*scd, find_ied(*scd, "SUB")).value_or("");
  ASSERT_EQ(crc.size(), 8u);

  const auto before = std::chrono::system_clock::now();
  ExportResult result = export_ied(*scd, find_ied(*scd, "SUB"), dir.path().string());
  const auto after = std::chrono::system_clock::now();
  EXPECT_EQ(result.status, ExportStatus::written) << result.message;
  EXPECT_EQ(result.crc, crc);
  const fs::path file = dir.path() / "SUB.ccd";
  EXPECT_EQ(fs::path(result.path).lexically_normal(), file.lexically_normal());
  EXPECT_EQ(tree(dir.path()), std::vector<std::string>{"SUB.ccd"});

  // The whole file, byte for byte: the unfinished CCD (header attributes and
  // every desc kept) and the CRC element as the last child of IED.
  const std::string exported = read_file(file);
  EXPECT_EQ(without_timestamp(exported), with_crc_element(read_file(data_path("sub_golden_SUB.ccd")), crc));

  // Local time, "%Y-%m-%d %H:%M:%S".
  const std::string stamp = timestamp_of(exported);
  ASSERT_EQ(stamp.size(), 19u) << stamp;
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})"))) << stamp;
  std::tm parsed{};
  ASSERT_NE(strptime(stamp.c_str(), "%Y-%m-%d %H:%M:%S", &parsed), nullptr);
  parsed.tm_isdst = -1;
  const auto stamped = std::chrono::system_clock::from_time_t(std::mktime(&parsed));
  EXPECT_GE(stamped, std::chrono::time_point_cast<std::chrono::seconds>(before) - std::chrono::seconds(1));
  EXPECT_LE(stamped, after + std::chrono::seconds(1));
}

TEST(Export, CrcElementMatchesEveryWayOfComputingTheCrc) {
  const std::string scd_path = data_path("sub_golden.scd");
  auto scd = load_fixture("sub_golden.scd");
  ASSERT_TRUE(scd);
  ScratchDir dir;
  for (const char* name : {"SUB", "PUB"}) {
    export_ied_ccd(scd_path.c_str(), name, dir.path().c_str());
    const std::string exported = read_file(dir.path() / (std::string(name) + ".ccd"));
    char* crc = compute_ied_crc(scd_path.c_str(), name);
    ASSERT_EQ(std::string(crc).size(), 8u);
    EXPECT_NE(exported.find("\t<CRC id=\"" + std::string(crc) + "\" timestamp=\""), std::string::npos) << name;
    EXPECT_EQ(ied_crc(*scd, find_ied(*scd, name)), std::string(crc));
    // The CRC element is the last child of IED.
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(exported.c_str()));
    EXPECT_STREQ(document.document_element().last_child().name(), "CRC");
    ccdcrc_free_text(crc);
  }
}

// With SOURCE_DATE_EPOCH set, an export stamps that instant in UTC, whatever
// the time zone: exports of one SCD differ only where their instants do.
TEST(Export, EntryPointWritesTheSameFileAndSourceDateEpochFixesItsTime) {
  const std::string scd_path = data_path("sub_golden.scd");
  auto scd = load_fixture("sub_golden.scd");
  ASSERT_TRUE(scd);
  ScratchDir dir;
  ScratchDir other;
  const EnvironmentVariable zone("TZ", "XST-05:30");
  std::string first;
  {
    const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1000000000");
    // A trailing separator still gets "/" appended: the file lands in the directory.
    export_ied_ccd(scd_path.c_str(), "SUB", (dir.path().string() + "/").c_str());
    EXPECT_EQ(tree(dir.path()), std::vector<std::string>{"SUB.ccd"});
    first = read_file(dir.path() / "SUB.ccd");
    EXPECT_EQ(timestamp_of(first), "2001-09-09 01:46:40");
    ASSERT_EQ(export_ied(*scd, find_ied(*scd, "SUB"), other.path().string()).status, ExportStatus::written);
    EXPECT_EQ(read_file(other.path() / "SUB.ccd"), first) << "the library and the entry point write the same bytes";
  }
  {
    const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", "1000000061");
    // An existing file is replaced.
    export_ied_ccd(scd_path.c_str(), "SUB", dir.path().c_str());
    const std::string second = read_file(dir.path() / "SUB.ccd");
    EXPECT_EQ(timestamp_of(second), "2001-09-09 01:47:41");
    EXPECT_EQ(without_timestamp(first), without_timestamp(second));
  }
  // A value that is no count of seconds is ignored: the local time is stamped.
  for (const char* value : {"", "soon", "-1", "12x"}) {
    const EnvironmentVariable epoch("SOURCE_DATE_EPOCH", value);
    EXPECT_NE(export_timestamp().substr(0, 4), "1970") << value;
  }
}

TEST(Export, IedWithInputsThatLeadNowhereIsHeaderAndCrcOnly) {
  auto scd = load_fixture("sub_unresolved.scd");
  ASSERT_TRUE(scd);
  ScratchDir dir;
  ASSERT_EQ(export_ied(*scd, find_ied(*scd, "SUB6"), dir.path().string()).status, ExportStatus::written);
  const std::string crc = crc_text_of(R"(<?xmlversion="1.0"encoding="UTF-8"?><IEDname="SUB6"/>)");
  EXPECT_EQ(without_timestamp(read_file(dir.path() / "SUB6.ccd")),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<IED configVersion=\"\" desc=\"inputs that lead nowhere\" manufacturer=\"\" name=\"SUB6\" type=\"T\">\n"
            "\t<CRC id=\"" +
                crc +
                "\" timestamp=\"\" />\n"
                "</IED>\n");
}

// ---------------------------------------------------------------------------

TEST(Export, NothingIsWrittenForMissingIedsOrIedsWithoutCircuits) {
  ScratchDir dir;
  // Work on a copy so that anything left next to the SCD shows up too.
  const fs::path scd_copy = dir.path() / "station.scd";
  fs::copy_file(data_path("sub_unresolved.scd"), scd_copy);
  const fs::path out = dir.path() / "out";
  fs::create_directory(out);

  export_ied_ccd(scd_copy.c_str(), "NOPE", out.c_str());
  export_ied_ccd(scd_copy.c_str(), "SUB7", out.c_str());   // ExtRefs, but no input
  export_ied_ccd(scd_copy.c_str(), "SUB6'", out.c_str());  // a name that breaks the query
  export_ied_ccd((dir.path() / "missing.scd").c_str(), "SUB6", out.c_str());
  EXPECT_EQ(tree(dir.path()), (std::vector<std::string>{"out", "station.scd"}));

  auto scd = load_fixture("sub_unresolved.scd");
  ASSERT_TRUE(scd);
  EXPECT_EQ(export_ied(*scd, find_ied(*scd, "SUB7"), out.string()).status, ExportStatus::no_circuits);
  EXPECT_TRUE(fs::is_empty(out));
}

TEST(Export, UnsafeIedNamesWriteNothingAnywhere) {
  const std::string scd_path = data_path("sub_export_names.scd");
  auto scd = load_fixture("sub_export_names.scd");
  ASSERT_TRUE(scd);
  ScratchDir dir;
  const fs::path out = dir.path() / "out";
  fs::create_directories(out / "a");  // so that "a/b" would have somewhere to go
  for (const std::string name : {"../x", "a/b", "a\\b", "", ".", ".."}) {
    SCOPED_TRACE("IED name \"" + name + "\"");
    pugi::xml_node ied = find_ied(*scd, name);
    ASSERT_TRUE(ied);
    // The IED has a circuit: only its name keeps it from being exported.
    EXPECT_TRUE(ied_crc(*scd, ied).has_value());
    EXPECT_FALSE(is_safe_file_name(name));
    EXPECT_EQ(export_ied(*scd, ied, out.string()).status, ExportStatus::unsafe_name);
    export_ied_ccd(scd_path.c_str(), name.c_str(), out.c_str());
    EXPECT_EQ(tree(dir.path()), (std::vector<std::string>{"out", "out/a"}));
  }
  EXPECT_TRUE(is_safe_file_name("P1"));
  EXPECT_TRUE(is_safe_file_name("..P1"));
}

TEST(Export, NamesWindowsCannotHoldAreRefusedEverywhere) {
  struct Row {
    const char* name;
    const char* reason;  // a part of the reason; empty for a name that can be a file
  };
  const Row rows[] = {
      {"CON", "reserves CON.ccd for a device"},
      {"con", "reserves"},
      {"Nul.1", "reserves"},
      {"aux .x", "reserves"},
      {"COM1", "reserves"},
      {"lpt9", "reserves"},
      {"a<b", "holds '<'"},
      {"a>b", "holds '>'"},
      {"T:1", "holds ':'"},
      {"say \"hi\"", "holds '\"'"},
      {"a|b", "holds '|'"},
      {"a?", "holds '?'"},
      {"a*", "holds '*'"},
      {"line\nbreak", "control"},
      {"tab\there", "control"},
      {"COM0", "reserves"},
      {"LPT0", "reserves"},
      {"COM¹", "reserves COM¹.ccd"},
      {"lpt³.txt", "reserves"},
      {"CONOUT$", "reserves"},
      {"COM⁴", ""},
      {"COM10", ""},
      {"CONSOLE", ""},
      {"LPT", ""},
      {"a.", ""},
      {"a ", ""},
      {"PL1101", ""},
      {"林河线", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string reason = unusable_file_name(row.name);
    if (*row.reason == '\0') {
      EXPECT_EQ(reason, "");
    } else {
      EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
    }
  }
}

TEST(Export, FailedWriteLeavesTargetAndDirectoryAsTheyWere) {
  auto scd = load_fixture("sub_golden.scd");
  ASSERT_TRUE(scd);
  pugi::xml_node ied = find_ied(*scd, "SUB");
  ScratchDir dir;

  // A directory path that runs through a regular file cannot be created,
  // whatever the user's rights.
  const fs::path plain = dir.path() / "plain.txt";
  write_file(plain, "not a directory");
  ExportResult result = export_ied(*scd, ied, (plain / "sub").string());
  EXPECT_EQ(result.status, ExportStatus::write_failed);
  EXPECT_FALSE(result.message.empty());
  export_ied_ccd(data_path("sub_golden.scd").c_str(), "SUB", plain.c_str());
  EXPECT_EQ(tree(dir.path()), std::vector<std::string>{"plain.txt"});
  EXPECT_EQ(read_file(plain), "not a directory");

  // A missing directory is not created.
  EXPECT_EQ(export_ied(*scd, ied, (dir.path() / "missing").string()).status, ExportStatus::write_failed);
  export_ied_ccd(data_path("sub_golden.scd").c_str(), "SUB", (dir.path() / "missing").c_str());
  EXPECT_EQ(tree(dir.path()), std::vector<std::string>{"plain.txt"});

  // A target that is a directory cannot be replaced by the file.
  const fs::path blocked = dir.path() / "blocked";
  fs::create_directories(blocked / "SUB.ccd");
  write_file(blocked / "SUB.ccd" / "keep", "keep");
  EXPECT_EQ(export_ied(*scd, ied, blocked.string()).status, ExportStatus::write_failed);
  EXPECT_EQ(tree(blocked), (std::vector<std::string>{"SUB.ccd", "SUB.ccd/keep"}));
  EXPECT_EQ(read_file(blocked / "SUB.ccd" / "keep"), "keep");
}

// Makes a directory read-only for the life of the object. Permissions do not
// stop root; the immutable flag does, where the file system supports it.
class LockedDirectory {
 public:
  explicit LockedDirectory(const fs::path& path) : path_(path) {
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(path_.c_str(), W_OK) != 0) {
      locked_ = true;
    } else if (set_immutable(true)) {
      immutable_ = locked_ = true;
    }
  }
  ~LockedDirectory() {
    if (immutable_) set_immutable(false);
    fs::permissions(path_, fs::perms::owner_all);
  }
  bool locked() const { return locked_; }

 private:
  bool set_immutable(bool on) const {
    int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
  }

  fs::path path_;
  bool locked_ = false;
  bool immutable_ = false;
};

TEST(Export, ReadOnlyDirectoryKeepsItsExistingFile) {
  ScratchDir dir;
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  write_file(locked / "SUB.ccd", "old export");
  LockedDirectory lock(locked);
  if (!lock.locked()) GTEST_SKIP() << "cannot make a directory read-only for this user on this file system";

  auto scd = load_fixture("sub_golden.scd");
  ASSERT_TRUE(scd);
  EXPECT_EQ(export_ied(*scd, find_ied(*scd, "SUB"), locked.string()).status, ExportStatus::write_failed);
  export_ied_ccd(data_path("sub_golden.scd").c_str(), "SUB", locked.c_str());
  EXPECT_EQ(read_file(locked / "SUB.ccd"), "old export");
  EXPECT_EQ(tree(locked), std::vector<std::string>{"SUB.ccd"});
}

}  // namespace
}  // namespace ccdcrc
