// The handle interface: CCD files of an open SCD, one IED or every IED.

#include <cerrno>
#include <cstring>
#include <vector>

#include "api/scd_handle.h"
#include "files/staged_file.h"
#include "operations/export.h"
#include "operations/messages.h"
#include "util/text.h"
#include "workflows/export_workflow.h"

namespace ccdcrc {
namespace {

// A failed export as the interface reports it.
// The status of a failed export in the C interface's terms.
ccdcrc_status status_of(ExportStatus status) {
  switch (status) {
    case ExportStatus::written: return CCDCRC_OK;
    case ExportStatus::no_circuits: return CCDCRC_NO_CIRCUITS;
    case ExportStatus::unsafe_name:
    case ExportStatus::name_taken: return CCDCRC_UNSAFE_NAME;
    case ExportStatus::too_deep: return CCDCRC_TOO_DEEP;
    case ExportStatus::write_failed: return CCDCRC_WRITE_FAILED;
    case ExportStatus::out_of_memory: return CCDCRC_OUT_OF_MEMORY;
  }
  return CCDCRC_INTERNAL_ERROR;
}

// The export directory, opened once; CCDCRC_WRITE_FAILED when it cannot be used.
ccdcrc_status open_directory(const Directory& directory, ccdcrc_error* error) {
  const int code = directory.error();
  if (code == 0) return CCDCRC_OK;
  if (code == ENOENT || code == ENOTDIR) {
    return fail(error, CCDCRC_WRITE_FAILED, directory.path(), "the export directory does not exist");
  }
  return fail(error, CCDCRC_WRITE_FAILED, directory.path(),
              std::string("cannot use the export directory: ") + std::strerror(code));
}

struct ExportList : ccdcrc_exports {
  struct Texts {
    std::string name;
    std::string path;
    std::string message;
  };
  std::vector<Texts> texts;
  std::vector<ccdcrc_export> entries;
};

// The results of the IEDs that were exported or failed, in name order.
std::unique_ptr<ExportList> export_list(const std::vector<ListedExport>& exports) {
  auto list = std::make_unique<ExportList>();
  for (const ListedExport& listed : exports) {
    if (!listed.result) continue;
    const ccdcrc_status status = status_of(listed.result->status);
    list->texts.push_back({listed.name, listed.result->path, export_failure(listed.name, *listed.result).reason});
    ccdcrc_export& entry = list->entries.emplace_back();
    entry.status = status;
    copy_crc(status == CCDCRC_OK ? listed.result->crc : std::string(), entry.crc);
    if (status != CCDCRC_OK) ++list->failed;
  }
  for (std::size_t i = 0; i < list->entries.size(); ++i) {
    list->entries[i].name = list->texts[i].name.c_str();
    list->entries[i].path = list->texts[i].path.c_str();
    list->entries[i].message = list->texts[i].message.c_str();
  }
  list->count = list->entries.size();
  list->ieds = list->entries.data();
  return list;
}

// The status of the first IED not written, and which ones were not.
ccdcrc_status summary(const ExportList& list, const std::string& directory, ccdcrc_error* error) {
  if (list.failed == 0) return CCDCRC_OK;
  ccdcrc_status first = CCDCRC_OK;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < list.count; ++i) {
    if (list.ieds[i].status == CCDCRC_OK) continue;
    if (first == CCDCRC_OK) first = list.ieds[i].status;
    names.emplace_back(list.ieds[i].name);
  }
  return fail(error, first, directory, export_summary(names, list.count));
}

}  // namespace
}  // namespace ccdcrc

using ccdcrc::fail;
using ccdcrc::guarded_call;

extern "C" ccdcrc_status ccdcrc_scd_export(const ccdcrc_scd* scd, const char* ied_name, const char* directory,
                                           char crc[CCDCRC_CRC_SIZE], ccdcrc_error* error) {
  if (crc) crc[0] = '\0';
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the SCD is null");
    const std::string& path = scd->scd->path();
    if (!ied_name) return fail(error, CCDCRC_INVALID_ARGUMENT, path, "the IED name is null");
    if (!directory) return fail(error, CCDCRC_INVALID_ARGUMENT, path, "the export directory is null");
    const pugi::xml_node ied = ccdcrc::named_ied(*scd, ied_name, error);
    if (!ied) return CCDCRC_UNKNOWN_IED;
    const ccdcrc::Directory opened(directory);
    if (const ccdcrc_status status = ccdcrc::open_directory(opened, error); status != CCDCRC_OK) return status;
    const ccdcrc::ExportResult result = ccdcrc::export_ied(*scd->scd, ied, opened);
    if (const ccdcrc_status status = ccdcrc::status_of(result.status); status != CCDCRC_OK) {
      const ccdcrc::ExportFailure failure = ccdcrc::export_failure(ied_name, result);
      return fail(error, status, failure.concerns_file ? result.path : path, failure.reason);
    }
    ccdcrc::copy_crc(result.crc, crc);
    return CCDCRC_OK;
  });
}

extern "C" ccdcrc_status ccdcrc_scd_export_all(const ccdcrc_scd* scd, const char* directory, unsigned jobs,
                                               ccdcrc_exports** exports, ccdcrc_error* error) {
  if (exports) *exports = nullptr;
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (!scd) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the SCD is null");
    if (!directory) return fail(error, CCDCRC_INVALID_ARGUMENT, scd->scd->path(), "the export directory is null");
    const ccdcrc::Directory opened(directory);
    if (const ccdcrc_status status = ccdcrc::open_directory(opened, error); status != CCDCRC_OK) return status;
    std::unique_ptr<ccdcrc::ExportList> list = ccdcrc::export_list(ccdcrc::export_listed_ieds(*scd->scd, opened, jobs));
    const ccdcrc_status status = ccdcrc::summary(*list, directory, error);
    if (exports) *exports = list.release();
    return status;
  });
}

extern "C" void ccdcrc_free_exports(ccdcrc_exports* exports) { delete static_cast<ccdcrc::ExportList*>(exports); }
