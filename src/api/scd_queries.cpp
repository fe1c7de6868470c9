// The handle interface: opening an SCD once and asking it for IED names,
// CRCs and CCD texts.

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "api/scd_handle.h"
#include "operations/crc_runs.h"
#include "operations/export.h"
#include "operations/messages.h"
#include "operations/shown_ccd.h"
#include "system/files.h"
#include "workflows/open_scd.h"
#include "xml/packing.h"

namespace ccdcrc {
namespace {

ccdcrc_status status_of(LoadProblem::Kind kind) {
  using Kind = LoadProblem::Kind;
  switch (kind) {
    case Kind::not_found: return CCDCRC_FILE_NOT_FOUND;
    case Kind::permission_denied:
    case Kind::read_error:
    case Kind::too_large:
    case Kind::damaged_archive:
    case Kind::member_choice: return CCDCRC_FILE_UNREADABLE;
    case Kind::not_a_file: return CCDCRC_NOT_A_FILE;
    case Kind::empty:
    case Kind::malformed: return CCDCRC_MALFORMED_XML;
    case Kind::not_scl: return CCDCRC_NOT_AN_SCD;
    case Kind::ambiguous:
    case Kind::read_in_part: return CCDCRC_PARTLY_READ;
    case Kind::out_of_memory: return CCDCRC_OUT_OF_MEMORY;
  }
  return CCDCRC_INTERNAL_ERROR;
}

// Hands out an opened SCD, or describes why it could not be opened.
ccdcrc_status opened(OpenedScd opened, ccdcrc_scd** scd, ccdcrc_error* error) {
  if (const std::optional<LoadProblem>& problem = opened.problem) {
    return fail(error, status_of(problem->kind), problem->name, problem->message, problem->position);
  }
  *scd = new ccdcrc_scd(std::move(opened.scd), std::move(opened.file));
  return CCDCRC_OK;
}

struct NameList : ccdcrc_names {
  std::vector<std::string> storage;
  std::vector<const char*> pointers;
};

struct CrcList : ccdcrc_crcs {
  std::vector<std::string> names;
  std::vector<ccdcrc_ied_crc> entries;
};

ccdcrc_status shown_ccd_failure(const ccdcrc_scd& scd, const std::string& name, const ShownCcd& shown,
                                ccdcrc_error* error) {
  if (shown.status == ShownCcd::Status::no_circuits) return no_circuits(scd, name, error);
  return fail(error, CCDCRC_TOO_DEEP, scd.scd->path(), too_deep_to_show_message(name, shown.depth));
}

}  // namespace

pugi::xml_node named_ied(const ccdcrc_scd& scd, const std::string& name, ccdcrc_error* error) {
  if (pugi::xml_node ied = scd.lookup.find(name)) return ied;
  fail(error, CCDCRC_UNKNOWN_IED, scd.scd->path(), unknown_ied_message(*scd.scd, scd.lookup, name));
  return {};
}

ccdcrc_status no_circuits(const ccdcrc_scd& scd, const std::string& name, ccdcrc_error* error) {
  return fail(error, CCDCRC_NO_CIRCUITS, scd.scd->path(), no_circuits_message(name));
}

void hand_out(const std::string& text, char** out, size_t* size) {
  *out = new char[text.size() + 1];
  std::memcpy(*out, text.c_str(), text.size() + 1);
  if (size) *size = text.size();
}

void copy_crc(const std::string& crc, char* buffer) {
  if (!buffer) return;
  const std::size_t length = std::min<std::size_t>(crc.size(), CCDCRC_CRC_SIZE - 1);
  std::memcpy(buffer, crc.data(), length);
  buffer[length] = '\0';
}

}  // namespace ccdcrc

using ccdcrc::fail;
using ccdcrc::guarded_call;

namespace {
// The change report gives the size and SHA-256 of each file as given.
const ccdcrc::ScdReading with_sha256{"", true};
}  // namespace

extern "C" ccdcrc_status ccdcrc_scd_open(const char* path, ccdcrc_scd** scd, ccdcrc_error* error) {
  if (scd) *scd = nullptr;
  return guarded_call(error, path, [&] {
    if (!path) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the path is null");
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, path, "there is nowhere to store the open SCD");
    return ccdcrc::opened(ccdcrc::open_scd(path, with_sha256, true), scd, error);
  });
}

extern "C" ccdcrc_status ccdcrc_scd_open_memory(const void* data, size_t size, const char* name, ccdcrc_scd** scd,
                                                ccdcrc_error* error) {
  if (scd) *scd = nullptr;
  const char* subject = name ? name : "<memory>";
  return guarded_call(error, subject, [&] {
    if (!data && size > 0) return fail(error, CCDCRC_INVALID_ARGUMENT, subject, "the data are null");
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, subject, "there is nowhere to store the open SCD");
    const std::string_view bytes(static_cast<const char*>(data), size);
    return ccdcrc::opened(ccdcrc::open_scd_bytes(bytes, subject, with_sha256, true), scd, error);
  });
}

extern "C" void ccdcrc_scd_close(ccdcrc_scd* scd) { delete scd; }

extern "C" ccdcrc_status ccdcrc_scd_ieds(const ccdcrc_scd* scd, ccdcrc_names** names, ccdcrc_error* error) {
  if (names) *names = nullptr;
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the SCD is null");
    if (!names) return fail(error, CCDCRC_INVALID_ARGUMENT, scd->scd->path(), "there is nowhere to store the names");
    auto list = std::make_unique<ccdcrc::NameList>();
    list->storage = scd->lookup.names();
    list->pointers.reserve(list->storage.size());
    for (const std::string& name : list->storage) list->pointers.push_back(name.c_str());
    list->count = list->pointers.size();
    list->names = list->pointers.data();
    *names = list.release();
    return CCDCRC_OK;
  });
}

extern "C" void ccdcrc_free_names(ccdcrc_names* names) { delete static_cast<ccdcrc::NameList*>(names); }

extern "C" ccdcrc_status ccdcrc_scd_ied_crc(const ccdcrc_scd* scd, const char* ied_name, char crc[CCDCRC_CRC_SIZE],
                                            ccdcrc_error* error) {
  if (crc) crc[0] = '\0';
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the SCD is null");
    if (!ied_name) return fail(error, CCDCRC_INVALID_ARGUMENT, scd->scd->path(), "the IED name is null");
    const pugi::xml_node ied = ccdcrc::named_ied(*scd, ied_name, error);
    if (!ied) return CCDCRC_UNKNOWN_IED;
    const std::optional<std::string> text = ccdcrc::ied_crc(*scd->scd, ied);
    if (!text) return ccdcrc::no_circuits(*scd, ied_name, error);
    ccdcrc::copy_crc(*text, crc);
    return CCDCRC_OK;
  });
}

extern "C" ccdcrc_status ccdcrc_scd_all_crcs(const ccdcrc_scd* scd, unsigned jobs, ccdcrc_crcs** crcs,
                                             ccdcrc_error* error) {
  if (crcs) *crcs = nullptr;
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the SCD is null");
    if (!crcs) return fail(error, CCDCRC_INVALID_ARGUMENT, scd->scd->path(), "there is nowhere to store the CRCs");
    const ccdcrc::IedCrcMap map = ccdcrc::crc_map(ccdcrc::listed_crcs(*scd->scd, jobs));
    auto list = std::make_unique<ccdcrc::CrcList>();
    list->names.reserve(map.size());
    list->entries.reserve(map.size());
    for (const auto& [name, crc] : map) list->names.push_back(name);
    for (const auto& [name, crc] : map) {
      ccdcrc_ied_crc& entry = list->entries.emplace_back();
      entry.name = list->names[list->entries.size() - 1].c_str();
      ccdcrc::copy_crc(crc, entry.crc);
    }
    list->count = list->entries.size();
    list->ieds = list->entries.data();
    ccdcrc::copy_crc(ccdcrc::scd_crc(map), list->scd_crc);
    *crcs = list.release();
    return CCDCRC_OK;
  });
}

extern "C" void ccdcrc_free_crcs(ccdcrc_crcs* crcs) { delete static_cast<ccdcrc::CrcList*>(crcs); }

extern "C" ccdcrc_status ccdcrc_scd_ccd_text(const ccdcrc_scd* scd, const char* ied_name, ccdcrc_ccd_form form,
                                             char** text, size_t* size, ccdcrc_error* error) {
  if (text) *text = nullptr;
  if (size) *size = 0;
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the SCD is null");
    const std::string& path = scd->scd->path();
    if (!ied_name) return fail(error, CCDCRC_INVALID_ARGUMENT, path, "the IED name is null");
    if (!text) return fail(error, CCDCRC_INVALID_ARGUMENT, path, "there is nowhere to store the text");
    if (form != CCDCRC_CCD_EXPORTED && form != CCDCRC_CCD_MEASURED) {
      return fail(error, CCDCRC_INVALID_ARGUMENT, path, "the CCD form is neither exported nor measured");
    }
    const pugi::xml_node ied = ccdcrc::named_ied(*scd, ied_name, error);
    if (!ied) return CCDCRC_UNKNOWN_IED;
    const ccdcrc::ShownCcd shown = ccdcrc::show_ccd(
        *scd->scd, ied, form == CCDCRC_CCD_MEASURED ? ccdcrc::CcdForm::measured : ccdcrc::CcdForm::exported);
    if (shown.status != ccdcrc::ShownCcd::Status::shown) return ccdcrc::shown_ccd_failure(*scd, ied_name, shown, error);
    ccdcrc::hand_out(ccdcrc::shown_text(shown), text, size);
    return CCDCRC_OK;
  });
}
