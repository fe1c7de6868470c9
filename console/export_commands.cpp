// `export` and `ccd`: the CCD documents of a loaded SCD, as files or on standard output.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "ccd/builder.h"
#include "console/command_runs.h"
#include "console/scd_input.h"
#include "crc/canonical.h"
#include "crc/export.h"
#include "crc/parallel.h"
#include "crc/runs.h"

namespace ccdcrc {

namespace {

// The export directory must exist and take new files; checked before the SCD
// is loaded, so that a mistyped directory costs no time on a large SCD.
bool check_export_directory(const std::string& directory, Diagnostics& diagnostics) {
  struct stat info {};
  if (::stat(directory.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      diagnostics.error(directory, "the export directory does not exist");
    } else {
      diagnostics.error(directory, std::string("cannot use the export directory: ") + std::strerror(error));
    }
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    diagnostics.error(directory, "the export directory is not a directory");
    return false;
  }
  if (::access(directory.c_str(), W_OK | X_OK) != 0) {
    diagnostics.error(directory, std::string("the export directory is not writable: ") + std::strerror(errno));
    return false;
  }
  return true;
}

std::string without_trailing_slashes(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

// Files written before they are made durable together. Each holds a
// descriptor open until then: a quarter of the process's limit at most.
std::size_t files_per_batch() {
  constexpr std::size_t most = 64;
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return most;
  return std::clamp<std::size_t>(static_cast<std::size_t>(limit.rlim_cur / 4), 1, most);
}

struct ExportRun {
  const Scd& scd;
  const ExportDirectory& directory;
  unsigned jobs;
  Diagnostics& diagnostics;
  std::vector<ExportResult> written;
  std::vector<std::string> written_names;
  std::vector<std::string> failed_names;

  void report_failure(const std::string& name, const ExportResult& result) {
    switch (result.status) {
      case ExportStatus::unsafe_name:
        diagnostics.error(scd.path(), "IED " + quoted(name) +
                                          " cannot be exported: its name is not a plain file name"
                                          " (it is empty, '.' or '..', or holds '/' or '\\')");
        break;
      case ExportStatus::no_circuits:
        diagnostics.error(scd.path(), "IED " + quoted(name) + " " + no_circuits_reason);
        break;
      case ExportStatus::too_deep:
        diagnostics.error(scd.path(), "IED " + quoted(name) + " cannot be exported: " + result.message);
        break;
      case ExportStatus::write_failed:
        diagnostics.error(printable(result.path), "cannot write the CCD file: " + result.message);
        break;
      case ExportStatus::written:
        return;
    }
    failed_names.push_back(name);
  }

  void record(const std::string& name, ExportResult result) {
    if (result.status != ExportStatus::written) {
      report_failure(name, result);
      return;
    }
    written_names.push_back(name);
    written.push_back(std::move(result));
  }

  // Of the IEDs sharing a name, the one that all-IED runs list: the last with
  // circuits. An unsafe name counts as a failure only when that IED has a CRC.
  std::optional<StagedExport> stage_listed_ied(const std::vector<pugi::xml_node>& same_name) const {
    for (auto ied = same_name.rbegin(); ied != same_name.rend(); ++ied) {
      StagedExport staged = stage_export(scd, *ied, directory);
      const ExportStatus status = staged.result.status;
      if (status == ExportStatus::no_circuits) continue;
      if (status == ExportStatus::unsafe_name && !ied_crc(scd, *ied)) continue;
      return staged;
    }
    return std::nullopt;
  }

  void export_every_ied() {
    std::map<std::string, std::vector<pugi::xml_node>> by_name;
    const std::vector<pugi::xml_node> ieds = scd.ieds();
    for (pugi::xml_node ied : ieds) by_name[ied.attribute("name").as_string("")].push_back(ied);
    const std::vector<std::pair<const std::string, std::vector<pugi::xml_node>>*> groups = [&] {
      std::vector<std::pair<const std::string, std::vector<pugi::xml_node>>*> list;
      for (auto& group : by_name) list.push_back(&group);
      return list;
    }();
    // Each name is exported by one thread; results are recorded in name order.
    // The files of a batch are written first and made durable together.
    std::vector<std::optional<ExportResult>> results(groups.size());
    Progress progress(diagnostics, groups.size());
    const std::size_t batch = files_per_batch();
    for (std::size_t begin = 0; begin < groups.size(); begin += batch) {
      const std::size_t count = std::min(batch, groups.size() - begin);
      std::vector<std::optional<StagedExport>> staged(count);
      parallel_for(
          count, jobs, [&](std::size_t k) { staged[k] = stage_listed_ied(groups[begin + k]->second); },
          [&](std::size_t, std::size_t) { progress.advance(); });
      for (std::size_t k = 0; k < count; ++k) {
        if (staged[k]) results[begin + k] = commit_export(*staged[k]);
      }
    }
    for (std::size_t i = 0; i < groups.size(); ++i) {
      if (results[i]) record(groups[i]->first, std::move(*results[i]));
    }
  }

  void export_named(const std::vector<std::string>& names) {
    const IedIndex index(scd);
    for (const std::string& name : distinct_names(names)) {
      pugi::xml_node ied = index.find_or_report(name, diagnostics);
      if (!ied) {
        failed_names.push_back(name);
        continue;
      }
      if (std::size_t count = index.count(name); count > 1) {
        diagnostics.warning(scd.path(),
                            std::to_string(count) + " IEDs are named " + quoted(name) + "; the first one is exported");
      }
      record(name, export_ied(scd, ied, directory));
    }
  }
};

}  // namespace

int run_export(const ExportOptions& options, std::ostream& out, Diagnostics& diagnostics) {
  diagnostics.allow_progress(!options.quiet);
  const std::string directory = without_trailing_slashes(options.directory);
  if (!check_export_directory(directory, diagnostics)) return exit_usage;
  // Opened before the SCD is loaded: every file goes into this directory, even
  // if its path is renamed or replaced while the run goes on.
  const ExportDirectory opened(directory);
  if (opened.error() != 0) {
    diagnostics.error(directory, std::string("cannot use the export directory: ") + std::strerror(opened.error()));
    return exit_usage;
  }
  std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;

  ExportRun run{*scd, opened, options.jobs, diagnostics, {}, {}, {}};
  if (options.every_ied) {
    warn_about_root(*scd, diagnostics);
    run.export_every_ied();
    if (run.written.empty() && run.failed_names.empty()) {
      diagnostics.warning(scd->path(), "no IED has GOOSE or sampled-value circuits; no file was written");
    }
  } else {
    run.export_named(options.names);
  }

  const NameColumn column(run.written_names);
  for (std::size_t i = 0; i < run.written.size(); ++i) {
    column.write(out, run.written_names[i]);
    out << run.written[i].crc << "  " << printable(run.written[i].path) << '\n';
  }
  if (run.failed_names.empty()) return exit_ok;

  const std::size_t attempted = run.written.size() + run.failed_names.size();
  std::string summary =
      std::to_string(run.failed_names.size()) + " of " + std::to_string(attempted) + " IEDs not exported:";
  for (std::size_t i = 0; i < run.failed_names.size(); ++i) summary += (i ? ", " : " ") + quoted(run.failed_names[i]);
  diagnostics.note(summary);
  return exit_ied_problem;
}

int run_ccd(const CcdOptions& options, std::ostream& out, Diagnostics& diagnostics) {
  std::unique_ptr<Scd> scd = load_scd(options.scd, diagnostics);
  if (!scd) return exit_usage;
  const IedIndex index(*scd);
  pugi::xml_node ied = index.find_or_report(options.name, diagnostics);
  if (!ied) return exit_ied_problem;
  if (std::size_t count = index.count(options.name); count > 1) {
    diagnostics.warning(scd->path(), std::to_string(count) + " IEDs are named " + quoted(options.name) +
                                         "; the CCD of the first one is shown");
  }

  std::unique_ptr<Ccd> ccd;
  if (options.measured) {
    ccd = build_ied_ccd(*scd, ied);
    if (ccd->nothing_found)
      ccd.reset();
    else
      finish_ccd(ccd->root);
  } else {
    ccd = export_document(*scd, ied);
  }
  if (!ccd) {
    diagnostics.error(scd->path(), "IED " + quoted(options.name) + " " + no_circuits_reason);
    return exit_ied_problem;
  }
  if (const std::size_t depth = nesting_depth(ccd->root); depth > max_written_depth) {
    diagnostics.error(scd->path(), "the CCD of IED " + quoted(options.name) + " nests elements " +
                                       std::to_string(depth) + " levels deep; it is printed only up to " +
                                       std::to_string(max_written_depth) + " levels (its CRC is computed all the same)");
    return exit_ied_problem;
  }
  pugi::xml_writer_stream writer(out);
  save_ccd(ccd->document, writer);
  return exit_ok;
}

}  // namespace ccdcrc
