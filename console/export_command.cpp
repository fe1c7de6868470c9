// `ccdcrc export SCD (NAME... | --all) -o DIR`: CCD files of a loaded SCD.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "console/command.h"
#include "console/scd_input.h"
#include "operations/export.h"
#include "operations/messages.h"
#include "system/files.h"

namespace ccdcrc {

// Checked before the SCD is loaded, so that a mistyped directory costs no
// time on a large SCD.
bool check_export_directory(const std::string& directory, Diagnostics& diagnostics) {
  const FileStatus info = path_status(directory);
  if (info.error != 0) {
    const int error = info.error;
    if (error == ENOENT || error == ENOTDIR) {
      diagnostics.error(directory, "the export directory does not exist");
    } else {
      diagnostics.error(directory, std::string("cannot use the export directory: ") + std::strerror(error));
    }
    return false;
  }
  if (info.kind != FileKind::directory) {
    diagnostics.error(directory, "the export directory is not a directory");
    return false;
  }
  if (const int error = directory_access(directory); error != 0) {
    diagnostics.error(directory, std::string("the export directory is not writable: ") + std::strerror(error));
    return false;
  }
  return true;
}

namespace {

// `export -o DIR` makes DIR and its missing parents, as `mkdir -p` would, and
// says so; then the directory is checked as any other.
bool prepare_export_directory(const std::string& directory, Diagnostics& diagnostics) {
  if (path_status(directory, false).error == ENOENT) {
    std::error_code error;
    if (std::filesystem::create_directories(native_path(directory), error)) {
      diagnostics.error(directory, "the export directory did not exist and was created");
    } else if (error) {
      diagnostics.error(directory, "cannot create the export directory: " + error.message());
      return false;
    }
  }
  return check_export_directory(directory, diagnostics);
}

struct ExportOptions {
  std::string scd;
  std::vector<std::string> names;  // empty with `every_ied`
  bool every_ied = false;
  std::string directory;
  bool quiet = false;
  unsigned jobs = 0;  // 0: one per core
  std::string member;
};

struct ExportRun {
  const Scd& scd;
  const Directory& directory;
  unsigned jobs;
  Diagnostics& diagnostics;
  std::vector<std::pair<std::string, ExportResult>> written;  // by IED name
  std::vector<std::string> failed_names;
  bool out_of_memory = false;  // then the run ends with trouble, not with a failed IED

  void report_failure(const std::string& name, const ExportResult& result) {
    const ExportFailure failure = export_failure(name, result);
    diagnostics.error(failure.concerns_file ? printable(result.path) : scd.path(), failure.reason);
    out_of_memory = out_of_memory || result.status == ExportStatus::out_of_memory;
    failed_names.push_back(name);
  }

  void record(const std::string& name, ExportResult result) {
    if (result.status != ExportStatus::written) {
      report_failure(name, result);
    } else {
      written.emplace_back(name, std::move(result));
    }
  }

  // Each name is exported by one thread; results are recorded in name order.
  void export_every_ied() {
    Progress progress(diagnostics, scd.ieds().size());
    std::vector<ListedExport> exports = export_listed_ieds(
        scd, directory, jobs, [&](std::size_t done, std::size_t total) { progress.update(done, total); });
    for (ListedExport& listed : exports) {
      if (listed.result) record(listed.name, std::move(*listed.result));
    }
  }

  void export_named(const std::vector<std::string>& names) {
    const NamedIeds named(scd);
    RunFiles files;
    for (const std::string& name : distinct_names(names)) {
      const pugi::xml_node ied = named.find(name, "the first one is exported", diagnostics);
      if (ied) {
        record(name, files.export_ied(scd, ied, directory));
      } else {
        failed_names.push_back(name);
      }
    }
  }

  int report(std::ostream& out) const {
    std::vector<std::string> names;
    for (const auto& [name, result] : written) names.push_back(name);
    const NameColumn column(names);
    for (const auto& [name, result] : written) {
      column.write(out, name);
      out << result.crc << "  " << printable(result.path) << '\n';
    }
    if (failed_names.empty()) return exit_ok;
    const std::size_t attempted = written.size() + failed_names.size();
    std::string summary =
        std::to_string(failed_names.size()) + " of " + std::to_string(attempted) + " IEDs not exported:";
    for (std::size_t i = 0; i < failed_names.size(); ++i) summary += (i ? ", " : " ") + quoted(failed_names[i]);
    diagnostics.note(summary);
    return out_of_memory ? exit_usage : exit_ied_problem;
  }
};

int run_export(const ExportOptions& options, Console& console) {
  if (options.every_ied == !options.names.empty()) {
    return usage_error(console.diagnostics, "export", "name the IEDs to export or give --all (one of the two)");
  }
  Diagnostics& diagnostics = console.diagnostics;
  diagnostics.allow_progress(!options.quiet);
  const std::string path = without_trailing_slashes(options.directory);
  if (!prepare_export_directory(path, diagnostics)) return exit_usage;
  // Opened before the SCD is loaded: every file goes into this directory, even
  // if its path is renamed or replaced while the run goes on.
  const Directory directory(path);
  if (directory.error() != 0) {
    diagnostics.error(path, std::string("cannot use the export directory: ") + std::strerror(directory.error()));
    return exit_usage;
  }
  remove_stale_temporary_files(directory);
  const std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics, {options.member, false});
  if (!scd) return exit_usage;

  ExportRun run{*scd, directory, options.jobs, diagnostics, {}, {}, false};
  if (options.every_ied) {
    run.export_every_ied();
    if (run.written.empty() && run.failed_names.empty()) {
      diagnostics.warning(scd->path(), "no IED has GOOSE or sampled-value circuits; no file was written");
    }
  } else {
    run.export_named(options.names);
  }
  return run.report(console.out);
}

}  // namespace

void add_export_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Write DIR/NAME.ccd for the named IEDs or for every IED with a CRC");
  add_scd_argument(*command, options->scd);
  command->add_option("NAME", options->names, "IED names (or --all)")->option_text(" ");
  command->add_flag("--all", options->every_ied, "export every IED that has a CRC");
  command->add_option("-o,--output", options->directory, "the export directory (made when missing)")
      ->required()
      ->option_text("DIR");
  add_quiet_option(*command, options->quiet, "show no progress on a terminal");
  add_jobs_option(*command, options->jobs);
  add_member_option(*command, options->member);
  add_examples(*command,
               "  ccdcrc export station.scd P1 P2 -o ccd\n"
               "  ccdcrc export station.scd --all -o ccd");
  command->callback([options, &console] { console.status = run_export(*options, console); });
}

}  // namespace ccdcrc
