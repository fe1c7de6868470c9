#include "workflows/export_workflow.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "operations/messages.h"
#include "system/files.h"
#include "util/text.h"
#include "workflows/named_ieds.h"

namespace ccdcrc {

namespace {

bool check_export_directory(const std::string& directory, Notes& notes) {
  const FileStatus info = path_status(directory);
  if (info.error != 0) {
    add_error(notes, directory, export_directory_problem(info.error));
    return false;
  }
  if (info.kind != FileKind::directory) {
    add_error(notes, directory, "the export directory is not a directory");
    return false;
  }
  if (const int error = directory_access(directory); error != 0) {
    add_error(notes, directory, std::string("the export directory is not writable: ") + std::strerror(error));
    return false;
  }
  return true;
}

}  // namespace

void record_export(const Scd& scd, const std::string& name, ExportResult result, ExportOutcome& outcome) {
  if (result.status == ExportStatus::written) {
    outcome.written.push_back({name, std::move(result)});
    return;
  }
  const ExportFailure failure = export_failure(name, result);
  std::optional<std::string> file;
  if (failure.concerns_file) file = result.path;
  add_error(outcome.notes, failure.concerns_file ? printable_path(result.path) : scd.path(), failure.reason);
  outcome.out_of_memory = outcome.out_of_memory || result.status == ExportStatus::out_of_memory;
  outcome.failed.push_back({name, std::move(file), failure.reason, result.status});
}

void end_every_export(const Scd& scd, ExportOutcome& outcome) {
  if (outcome.written.empty() && outcome.failed.empty()) {
    add_warning(outcome.notes, scd.path(), "no IED has GOOSE or sampled-value circuits; no file was written");
  }
}

void summarise_export(ExportOutcome& outcome) {
  if (outcome.failed.empty()) return;
  std::vector<std::string> names;
  for (const FailedExport& failed : outcome.failed) names.push_back(failed.name);
  add_info(outcome.notes, {}, export_summary(names, outcome.written.size() + outcome.failed.size()));
}

std::string export_directory_problem(int error) {
  if (error == ENOENT || error == ENOTDIR) return "the export directory does not exist";
  return std::string("cannot use the export directory: ") + std::strerror(error);
}

bool prepare_export_directory(const std::string& directory, bool create, Notes& notes) {
  if (create && path_status(directory, false).error == ENOENT) {
    std::error_code error;
    if (std::filesystem::create_directories(native_path(directory), error)) {
      add_error(notes, directory, "the export directory did not exist and was created");
    } else if (error) {
      add_error(notes, directory, "cannot create the export directory: " + error.message());
      return false;
    }
  }
  return check_export_directory(directory, notes);
}

std::string export_summary(const std::vector<std::string>& failed_names, std::size_t attempted) {
  std::string summary =
      std::to_string(failed_names.size()) + " of " + std::to_string(attempted) + " IEDs not exported:";
  for (std::size_t i = 0; i < failed_names.size(); ++i) summary += (i ? ", " : " ") + quoted(failed_names[i]);
  return summary;
}

ExportOutcome export_ieds(const Scd& scd, const Directory& directory, const ExportRequest& request,
                          const ProgressCallback& progress) {
  ExportOutcome outcome;
  if (request.every_ied) {
    // Each name is exported by one thread; results are recorded in name order.
    for (ListedExport& listed : export_listed_ieds(scd, directory, request.jobs, progress)) {
      if (listed.result) record_export(scd, listed.name, std::move(*listed.result), outcome);
    }
    end_every_export(scd, outcome);
  } else {
    const NamedIeds named(scd);
    RunFiles files;
    for (const std::string& name : distinct_names(request.names)) {
      std::string reason;
      if (const pugi::xml_node ied = named.find(name, "the first one is exported", outcome.notes, &reason)) {
        record_export(scd, name, files.export_ied(scd, ied, directory), outcome);
      } else {
        outcome.failed.push_back({name, std::nullopt, std::move(reason), std::nullopt});
      }
    }
  }
  summarise_export(outcome);
  return outcome;
}

}  // namespace ccdcrc
