// Fuzz target: bytes of an SCD file through loading, the CRCs of every IED
// (indexed lookups, the defining queries and the C entry points must agree)
// and the export of every IED into a scratch directory, each file verified.
//
// Any disagreement, a file left behind or written elsewhere, or a CRC element
// that differs from the IED's CRC aborts, and libFuzzer keeps the input.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "ccdcrc/ccdcrc.h"
#include "fuzz/fuzz_support.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "operations/scd_input.h"
#include "operations/verification.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"
#include "util/nodes.h"

namespace {

namespace fs = std::filesystem;
using namespace ccdcrc;
using fuzzing::broken;
using fuzzing::require;

// A private folder for the input file and the exports.
class Scratch {
 public:
  Scratch() {
    std::string pattern = fuzzing::scratch_folder() + "/ccdcrc-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) broken("cannot create a scratch directory");
    dir_ = pattern;
    exports_ = dir_ / "out";
    fs::create_directory(exports_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path input() const { return dir_ / "input.scd"; }
  const fs::path& exports() const { return exports_; }

 private:
  fs::path dir_;
  fs::path exports_;
};

// An export into a directory opened for this one file.
ExportResult export_into(const Scd& scd, pugi::xml_node ied, const fs::path& directory) {
  const Directory opened(directory.string());
  return export_ied(scd, ied, opened);
}

std::vector<std::string> entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  return names;
}

// The C entry points on the file: the same map and SCD CRC as the library.
void check_entry_points(const std::string& path, const IedCrcMap& expected) {
  CrcPair** pairs = nullptr;
  int count = -1;
  char* scd = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  require(scd != nullptr && pairs != nullptr, "compute_all_ied_crcs returned null");
  require(count == static_cast<int>(expected.size()), "compute_all_ied_crcs: another number of IEDs");
  int i = 0;
  for (const auto& [name, crc] : expected) {
    require(name == pairs[i]->name && crc == pairs[i]->crc, "compute_all_ied_crcs: another pair");
    ++i;
  }
  require(scd_crc(expected) == scd, "compute_all_ied_crcs: another SCD CRC");
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd);
}

// Exports one IED and checks the file against its CRC; the directory is left empty.
void check_export(const Scd& scd, pugi::xml_node ied, const fs::path& exports) {
  const std::string name = attr(ied, "name");
  const std::optional<std::string> crc = ied_crc(scd, ied);
  const ExportResult result = export_into(scd, ied, exports);
  switch (result.status) {
    case ExportStatus::unsafe_name: require(!is_safe_file_name(name), "a safe name was refused"); break;
    case ExportStatus::no_circuits: require(!crc, "an IED with a CRC was not exported"); break;
    case ExportStatus::too_deep:
      require(nesting_depth(build_ied_ccd(scd, ied)->root) > max_written_depth, "a CCD of allowed depth was refused");
      break;
    case ExportStatus::out_of_memory: broken("export ran out of memory under the fuzzer's limit");
    case ExportStatus::name_taken: broken("one IED's export was refused as taken by a file of its run");
    case ExportStatus::write_failed:
      // The only failure a writable directory allows: a name too long for the file system.
      require(name.size() + 4 > 255, "export failed: " + result.message);
      break;
    case ExportStatus::written: {
      require(crc && result.crc == *crc, "the exported CRC differs from the IED's CRC");
      const fs::path file = exports / (name + ".ccd");
      require(result.path == exports.string() + "/" + name + ".ccd", "the export names another path");
      require(entries(exports) == std::vector<std::string>{file.filename().string()},
              "the export left other files than its own");
      pugi::xml_document exported;
      require(exported.load_file(file.c_str(), pugi::parse_full).status == pugi::status_ok,
              "the exported file is not well-formed");
      pugi::xml_node last = exported.document_element().last_child();
      require(std::string(last.name()) == "CRC" && last.attribute("id").value() == *crc,
              "the exported file does not end with its CRC");
      // What export writes, verify reads back to the same CRC.
      const CcdFileCheck check = check_ccd_file(file.string());
      require(check.status == CcdFileStatus::ok, "the exported file does not verify: " + check.problem);
      fs::remove(file);
      break;
    }
  }
  require(entries(exports).empty(), "the export left a file behind");
}

// The file loaded as the entry points load it.
std::unique_ptr<Scd> loaded(const std::string& path, LoadProblem* problem = nullptr, const LoadOptions& options = {}) {
  ScdReading reading = file_as_given();
  reading.load = options;
  LoadProblem ignored;
  return load_scd_input(path, reading, nullptr, problem ? *problem : ignored);
}

// Parsed in as many parts as the text allows, the input loads, fails or
// lists as parsed whole. Only a text parsed in place is parted: white space
// after the input makes it large enough.
void check_parts(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const std::string padded_path = path + ".padded";
  fuzzing::write_input(padded_path, data, size);
  if (size < 65536) std::ofstream(padded_path, std::ios::app) << std::string(65536 - size, '\n');
  LoadOptions finely;
  finely.parting = {.most_parts = 5, .smallest_part = 1};
  LoadProblem padded_problem;
  LoadProblem parted_problem;
  const std::unique_ptr<Scd> padded = loaded(padded_path, &padded_problem);
  const std::unique_ptr<Scd> parted = loaded(padded_path, &parted_problem, finely);
  require(!parted == !padded, "parsed in parts, the file loads otherwise");
  require(parted_problem.message == padded_problem.message &&
              parted_problem.position.line == padded_problem.position.line &&
              parted_problem.position.column == padded_problem.position.column,
          "parsed in parts, the file fails otherwise");
  if (parted) {
    require(crc_map(listed_crcs(*parted)) == crc_map(listed_crcs(*padded)),
            "parsed in parts, the file gives other CRCs");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  const std::string path = scratch.input().string();
  fuzzing::write_input(path, data, size);

  LoadProblem problem;
  std::unique_ptr<Scd> scd = loaded(path, &problem);
  check_parts(path, data, size);
  if (!scd) {
    require(!problem.message.empty(), "a failed load without a reason");
    check_entry_points(path, {});
    char* crc = compute_ied_crc(path.c_str(), "P1");
    require(crc && *crc == '\0', "compute_ied_crc on an unloadable file");
    ccdcrc_free_text(crc);
    return 0;
  }

  const IedCrcMap crcs = crc_map(listed_crcs(*scd));
  check_entry_points(path, crcs);

  // The indexes must answer exactly as the queries that define the lookups.
  // One difference is known: pugixml refuses queries of more than 1024 steps,
  // so a member whose name leads down more than about 1024 SDI levels that
  // really exist is found only by the indexes. Mutations are most unlikely to
  // build such a chain; should one, this check reports it.
  LoadOptions queries;
  queries.lookups = LookupMode::queries;
  std::unique_ptr<Scd> reference = loaded(path, nullptr, queries);
  require(reference != nullptr, "the file loads only once");
  require(crc_map(listed_crcs(*reference)) == crcs, "indexed lookups and queries give other CRCs");

  for (pugi::xml_node ied : scd->ieds()) {
    const std::string name = attr(ied, "name");
    // The one-IED entry point finds the first IED of the name.
    if (pugi::xml_node found = find_ied(*scd, name); found == ied) {
      char* crc = compute_ied_crc(path.c_str(), name.c_str());
      require(crc != nullptr && ied_crc(*scd, ied).value_or("") == crc, "compute_ied_crc differs");
      ccdcrc_free_text(crc);
    }
    check_export(*scd, ied, scratch.exports());
  }
  return 0;
}
