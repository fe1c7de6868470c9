#pragma once
// Shared by the test suites: fixture paths and CCD serialisation.

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "ccd/builder.h"
#include "crc/canonical.h"
#include "operations/ccd_pipeline.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "operations/scd_input.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"

namespace ccdcrc {

// An export into a directory given by its path, opened for this one file.
inline ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const std::string& directory) {
  const Directory opened(directory);
  return export_ied(scd, ied, opened);
}

}  // namespace ccdcrc

namespace ccdcrc::testing {

inline std::string data_path(const std::string& name) { return std::string(CCDCRC_TEST_DATA) + "/" + name; }
inline std::string example_path(const std::string& name) { return std::string(CCDCRC_EXAMPLES) + "/" + name; }
inline std::filesystem::path corpus_dir() { return CCDCRC_CORPUS; }

// The names in a directory, sorted.
inline std::vector<std::string> directory_entries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The SCL files (by their extension) in a directory, sorted; none when it is missing.
inline std::vector<std::filesystem::path> scl_files_in(const std::filesystem::path& directory) {
  static const std::vector<std::string> extensions{".scd", ".xml", ".cid", ".icd", ".iid", ".ssd", ".sed"};
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The SCD files shipped with the project: the fixtures and the examples.
inline std::vector<std::string> shipped_scds() {
  std::vector<std::string> files;
  for (const char* directory : {CCDCRC_TEST_DATA, CCDCRC_EXAMPLES}) {
    for (const auto& path : scl_files_in(directory)) files.push_back(path.string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

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

// A file loaded as the entry points load it: a regular file as given, whatever its root.
inline std::unique_ptr<Scd> load_path(const std::string& path, LoadProblem* problem = nullptr,
                                      const LoadOptions& options = {}) {
  ScdReading reading = file_as_given();
  reading.load = options;
  LoadProblem ignored;
  return load_scd_input(path, reading, nullptr, problem ? *problem : ignored);
}

inline std::unique_ptr<Scd> load_fixture(const std::string& name, const LoadOptions& options = {}) {
  LoadProblem problem;
  std::unique_ptr<Scd> scd = load_path(data_path(name), &problem, options);
  EXPECT_TRUE(scd) << name << ": " << problem.message;
  return scd;
}

// The CCD of the first IED of that name, as built (unfinished) or as measured.
inline std::string built_ccd(const Scd& scd, const std::string& ied_name, bool finished = false) {
  pugi::xml_node ied = find_ied(scd, ied_name);
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

// Sets an environment variable for the life of the object (TZ takes effect at
// once), then restores it.
class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    set(name, value);
  }
  ~EnvironmentVariable() { set(name_, saved_ ? saved_->c_str() : nullptr); }
  EnvironmentVariable(const EnvironmentVariable&) = delete;
  EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

 private:
  static void set(const char* name, const char* value) {
#ifdef _WIN32
    ::_putenv_s(name, value ? value : "");
    ::_tzset();
#else
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
    ::tzset();
#endif
  }

  const char* name_;
  std::optional<std::string> saved_;
};

// A scratch directory removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
#ifdef _WIN32
    // No mkdtemp: a new name until one is free.
    for (unsigned attempt = static_cast<unsigned>(std::clock());; ++attempt) {
      path_ = std::filesystem::temp_directory_path() / ("ccdcrc-test-" + std::to_string(attempt));
      if (std::filesystem::create_directory(path_)) break;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "ccdcrc-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
#endif
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A CCD file as export writes it: well-formed and closed by its CRC element.
inline bool complete_ccd(const std::filesystem::path& file) {
  pugi::xml_document document;
  if (!document.load_file(file.c_str(), pugi::parse_full)) return false;
  pugi::xml_node last = document.document_element().last_child();
  return std::string(last.name()) == "CRC" && std::string(last.attribute("id").value()).size() == 8;
}

// The canonical text as defined line by line: every serialised line trimmed
// of " \n\r\t", blanks inside tags (outside attribute values) dropped.
inline void append_canonical_line(std::string_view line, std::string& out) {
  const std::size_t first = line.find_first_not_of(" \n\r\t");
  if (first == std::string_view::npos) return;
  line = line.substr(first, line.find_last_not_of(" \n\r\t") - first + 1);
  bool in_quotes = false;
  bool in_tag = false;
  for (char c : line) {
    if (c == '"') in_quotes = !in_quotes;
    if (c == '<') in_tag = true;
    if (c == '>') in_tag = false;
    if (c == ' ' && in_tag && !in_quotes) continue;
    out.push_back(c);
  }
}

// The canonical text of a serialisation, line by line.
inline std::string canonical_lines(const std::string& serialised) {
  std::string canonical;
  std::istringstream lines(serialised);
  for (std::string line; std::getline(lines, line);) append_canonical_line(line, canonical);
  return canonical;
}

// The CRC of a serialised CCD, its lines taken one by one as the definition says.
inline std::string crc_of_serialised(const std::string& serialised) { return crc_text_of(canonical_lines(serialised)); }

// The canonical text the library measures, made in memory.
inline std::string canonical_ccd_text(const pugi::xml_document& ccd) {
  std::string text;
  write_canonical_text(ccd, [&text](std::string_view piece) { text.append(piece); });
  return text;
}

}  // namespace ccdcrc::testing
