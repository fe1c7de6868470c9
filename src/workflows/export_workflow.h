#pragma once
// The `export` workflow: CCD files of the named IEDs or of every IED with a
// CRC, into a directory opened once; and the export directory itself, checked
// (and made when missing) before an SCD is loaded.

#include <optional>
#include <string>
#include <vector>

#include "files/staged_file.h"
#include "operations/export.h"
#include "scd/scd.h"
#include "util/parallel.h"
#include "workflows/notes.h"

namespace ccdcrc {

// Checks that `directory` can take the files, after making it and its missing
// parents when `create` (told with a note); false after an error note.
bool prepare_export_directory(const std::string& directory, bool create, Notes& notes);

// Why an opened export directory cannot be used (Directory::error()).
std::string export_directory_problem(int error);

struct ExportRequest {
  std::vector<std::string> names;  // empty with `every_ied`
  bool every_ied = false;
  unsigned jobs = 0;  // 0: one per core
};

struct WrittenCcd {
  std::string name;
  ExportResult result;
};

struct FailedExport {
  std::string name;
  std::optional<std::string> file;  // the file that could not be written; none when the failure concerns the SCD
  std::string reason;
  std::optional<ExportStatus> status;  // none for a name that finds no IED
};

struct ExportOutcome {
  std::vector<WrittenCcd> written;  // in name order (every IED) or as named
  std::vector<FailedExport> failed;
  bool out_of_memory = false;  // then the run ends with trouble, not with a failed IED
  Notes notes;                 // each failure as it happened, then the summary
};

ExportOutcome export_ieds(const Scd& scd, const Directory& directory, const ExportRequest& request,
                          const ProgressCallback& progress = {});

// Records the export of an IED name: written, or failed with its note.
void record_export(const Scd& scd, const std::string& name, ExportResult result, ExportOutcome& outcome);
// The warning of an export of every IED that wrote nothing.
void end_every_export(const Scd& scd, ExportOutcome& outcome);
// The summary note of the names that were not exported, when there are any.
void summarise_export(ExportOutcome& outcome);

// "N of M IEDs not exported: 'A', 'B'".
std::string export_summary(const std::vector<std::string>& failed_names, std::size_t attempted);

}  // namespace ccdcrc
