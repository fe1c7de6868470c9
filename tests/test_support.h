#pragma once
// Shared by the test suites: fixture paths and CCD serialisation.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "ccd/builder.h"
#include "crc/canonical.h"
#include "crc/runs.h"
#include "crc/scd.h"

namespace ccdcrc::testing {

inline std::string data_path(const std::string& name) { return std::string(CCDCRC_TEST_DATA) + "/" + name; }
inline std::string example_path(const std::string& name) { return std::string(CCDCRC_EXAMPLES) + "/" + name; }
inline std::filesystem::path corpus_dir() { return CCDCRC_CORPUS; }

// The bytes of a file; a file that cannot be read fails the test.
inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the bytes to a file, replacing it; returns its path.
inline std::string write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

// The serialised form every CRC is measured on.
inline std::string serialise(const pugi::xml_document& document) {
  std::ostringstream out;
  document.save(out, "\t", pugi::format_indent, pugi::encoding_auto);
  return out.str();
}

inline std::unique_ptr<Scd> load_fixture(const std::string& name) {
  LoadProblem problem;
  std::unique_ptr<Scd> scd = Scd::load(data_path(name), &problem);
  EXPECT_TRUE(scd) << name << ": " << problem.message;
  return scd;
}

// The CCD of the first IED of that name, as built (unfinished) or as measured.
inline std::string built_ccd(const Scd& scd, const std::string& ied_name, bool finished = false) {
  pugi::xml_node ied = scd.find_ied(ied_name);
  EXPECT_TRUE(ied) << "no IED " << ied_name;
  std::unique_ptr<Ccd> ccd = build_ied_ccd(scd, ied);
  if (finished) finish_ccd(ccd->root);
  return serialise(ccd->document);
}

// The CCD of an IED of a fixture, and an expected CCD held beside the fixtures.
inline std::string fixture_ccd(const std::string& fixture, const std::string& ied_name, bool finished = false) {
  std::unique_ptr<Scd> scd = load_fixture(fixture);
  return scd ? built_ccd(*scd, ied_name, finished) : std::string();
}
inline std::string expected_ccd(const std::string& name) { return read_file(data_path("expected/" + name)); }

// A scratch directory removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ccdcrc-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace ccdcrc::testing
