// The C entry points: thin, silent wrappers that load the SCD on every call
// and hand results out as arrays the caller owns.

#include "api/ccdcrc.h"

#include <cstring>
#include <string>

#include "crc/export.h"
#include "crc/runs.h"

namespace ccdcrc {
namespace {

char* copy_to_char_array(const std::string& text) {
  char* array = new char[text.size() + 1];
  std::memcpy(array, text.c_str(), text.size() + 1);
  return array;
}

std::string text_or_empty(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace
}  // namespace ccdcrc

using ccdcrc::copy_to_char_array;
using ccdcrc::text_or_empty;

extern "C" char* compute_all_ied_crcs(CrcPair*** pairs, const char* scd_path, int* count) {
  if (count) *count = 0;
  ccdcrc::IedCrcMap map;
  try {
    map = ccdcrc::run_all_ied_crcs(text_or_empty(scd_path));
  } catch (...) {
    map.clear();
  }
  // Results are allocated only after the work that could fail is done.
  try {
    CrcPair** array = new CrcPair*[map.size()];
    std::size_t i = 0;
    for (const auto& [name, crc] : map) {
      CrcPair* record = new CrcPair[1];
      record->name = copy_to_char_array(name);
      record->crc = copy_to_char_array(crc);
      array[i++] = record;
    }
    if (pairs) *pairs = array;
    else ccdcrc_free_pairs(array, static_cast<int>(map.size()));
    if (count) *count = static_cast<int>(map.size());
    return copy_to_char_array(ccdcrc::scd_crc(map));
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
    std::unique_ptr<ccdcrc::Scd> scd = ccdcrc::Scd::load(text_or_empty(scd_path));
    if (!scd) return;
    pugi::xml_node ied = scd->find_ied(text_or_empty(ied_name));
    if (!ied) return;
    ccdcrc::export_ied(*scd, ied, text_or_empty(export_dir));
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
