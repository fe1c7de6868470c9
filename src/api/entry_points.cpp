// The C entry points: thin, silent wrappers that load the SCD on every call
// and hand results out as arrays the caller owns.

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "ccdcrc/ccdcrc.h"
#include "ccdcrc/legacy.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "operations/scd_input.h"
#include "scd/ied_selection.h"

namespace ccdcrc {
namespace {

char* copy_to_char_array(const std::string& text) {
  char* array = new char[text.size() + 1];
  std::memcpy(array, text.c_str(), text.size() + 1);
  return array;
}

std::string text_or_empty(const char* text) { return text ? std::string(text) : std::string(); }

// The pair array of a map, built whole or not at all: what was allocated
// before an allocation failed is released again.
CrcPair** pair_array(const IedCrcMap& map) {
  auto array = std::make_unique<CrcPair*[]>(map.size());  // value-initialised: every pointer null
  std::size_t filled = 0;
  try {
    for (const auto& [name, crc] : map) {
      std::unique_ptr<CrcPair[]> record(new CrcPair[1]{{nullptr, nullptr}});
      std::unique_ptr<char[]> name_text(copy_to_char_array(name));
      record[0].crc = copy_to_char_array(crc);
      record[0].name = name_text.release();
      array[filled++] = record.release();
    }
  } catch (...) {
    ccdcrc_free_pairs(array.release(), static_cast<int>(filled));
    throw;
  }
  return array.release();
}

}  // namespace
}  // namespace ccdcrc

using ccdcrc::copy_to_char_array;
using ccdcrc::text_or_empty;

extern "C" char* compute_all_ied_crcs(CrcPair*** pairs, const char* scd_path, int* count) {
  if (count) *count = 0;
  if (pairs) *pairs = nullptr;
  ccdcrc::IedCrcMap map;
  try {
    map = ccdcrc::run_all_ied_crcs(text_or_empty(scd_path));
  } catch (...) {
    map.clear();
  }
  // Results are allocated only after the work that could fail is done; when
  // memory runs out now, nothing is handed out and nothing is kept.
  try {
    std::unique_ptr<char[]> scd_crc(copy_to_char_array(ccdcrc::scd_crc(map)));
    CrcPair** array = ccdcrc::pair_array(map);
    if (pairs) {
      *pairs = array;
    } else {
      ccdcrc_free_pairs(array, static_cast<int>(map.size()));
    }
    if (count) *count = static_cast<int>(map.size());
    return scd_crc.release();
  } catch (...) {
    return nullptr;
  }
}

extern "C" char* compute_ied_crc(const char* scd_path, const char* ied_name) {
  std::string crc;
  try {
    crc = ccdcrc::run_ied_crc(text_or_empty(scd_path), text_or_empty(ied_name));
  } catch (...) {
    crc.clear();
  }
  try {
    return copy_to_char_array(crc);
  } catch (...) {
    return nullptr;
  }
}

extern "C" void export_ied_ccd(const char* scd_path, const char* ied_name, const char* export_dir) {
  try {
    ccdcrc::LoadProblem problem;
    const std::unique_ptr<ccdcrc::Scd> scd =
        ccdcrc::load_scd_input(text_or_empty(scd_path), ccdcrc::file_as_given(), nullptr, problem);
    if (!scd) return;
    const pugi::xml_node ied = ccdcrc::find_ied(*scd, text_or_empty(ied_name));
    if (!ied) return;
    const ccdcrc::Directory directory(text_or_empty(export_dir));
    ccdcrc::export_ied(*scd, ied, directory);
  } catch (...) {
    // Silent by contract: the caller sees only whether the file exists.
  }
}

extern "C" void ccdcrc_free_pairs(CrcPair** pairs, int count) {
  if (!pairs) return;
  for (int i = 0; i < count; ++i) {
    if (!pairs[i]) continue;
    delete[] pairs[i]->name;
    delete[] pairs[i]->crc;
    delete[] pairs[i];
  }
  delete[] pairs;
}

extern "C" void ccdcrc_free_text(char* text) { delete[] text; }
