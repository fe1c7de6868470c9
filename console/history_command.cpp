// `ccdcrc history REV... [-- IED...]` and `ccdcrc history --git [REPO] PATH
// [REV-RANGE]`: which revision changed which IED's CRC, over every revision.

#include <cstring>
#include <memory>
#include <optional>

#include "console/command.h"
#include "console/memory.h"
#include "console/scd_input.h"
#include "history/history_run.h"
#include "report/history_report.h"
#include "system/files.h"
#include "util/text.h"

namespace ccdcrc {

namespace {

enum class HistoryFormat { text, json, csv, html, markdown };

struct HistoryCommandOptions {
  std::vector<std::string> revisions;  // files, or with --git [REPO] PATH [REV-RANGE]
  bool git = false;
  std::string since, until;
  bool by_header = false;
  bool changed_only = false;
  HistoryFormat format = HistoryFormat::text;
  unsigned documents = 2;
  bool no_cache = false;
  bool quiet = false;
  bool verbose = false;
  std::string member;
};

// The commits asked for: PATH, REPO PATH, PATH REV-RANGE or REPO PATH
// REV-RANGE; a first word that names a folder is the repository.
std::optional<GitSource> git_source(const HistoryCommandOptions& options, Diagnostics& diagnostics) {
  const std::vector<std::string>& words = options.revisions;
  GitSource source;
  source.since = options.since;
  source.until = options.until;
  std::size_t next = 0;
  if (words.size() == 3 || (words.size() == 2 && path_status(words[0]).kind == FileKind::directory)) {
    source.repository = words[next++];
  } else if (words.size() > 3) {
    usage_error(diagnostics, "history", "--git takes [REPO] PATH [REV-RANGE]");
    return std::nullopt;
  }
  source.path = words[next++];
  if (next < words.size()) source.range = words[next];
  return source;
}

void write_result(std::ostream& out, HistoryFormat format, const History& history) {
  switch (format) {
    case HistoryFormat::text: return write_history(out, Format::text, history);
    case HistoryFormat::json: return write_history(out, Format::json, history);
    case HistoryFormat::csv: return write_history(out, Format::csv, history);
    case HistoryFormat::html: return write_history_html(out, history);
    case HistoryFormat::markdown: return write_history_markdown(out, history);
  }
}

int run_history_command(const HistoryCommandOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  if (!options.git && (!options.since.empty() || !options.until.empty())) {
    return usage_error(diagnostics, "history", "--since and --until choose commits: give them with --git");
  }
  HistoryRequest request;
  if (options.git) {
    request.git = git_source(options, diagnostics);
    if (!request.git) return exit_usage;
  } else {
    if (const int status = check_standard_input_once(diagnostics, "history", options.revisions); status != exit_ok) {
      return status;
    }
    request.files = options.revisions;
  }
  request.options.documents = options.documents;
  request.options.by_header = options.by_header;
  request.options.changed_only = options.changed_only;
  request.options.ieds = distinct_names(console.names_after_separator);
  request.cache = !options.no_cache;
  request.member = options.member;
  request.before_parse = provide_memory_for_load;
  diagnostics.allow_progress(!options.quiet);
  std::optional<Progress> progress;
  const HistoryOutcome outcome = run_history(request, [&](std::size_t done, std::size_t total) {
    if (!progress) progress.emplace(diagnostics, total, "revisions");
    progress->update(done, total);
  });
  progress.reset();
  if (outcome.failure) {
    diagnostics.error(outcome.failure->where, outcome.failure->reason);
    return exit_usage;
  }
  if (outcome.cache_error != 0) {
    diagnostics.warning(outcome.cache_path,
                        std::string("cannot keep the listings: ") + std::strerror(outcome.cache_error));
  }
  const History& history = outcome.history;
  write_result(console.out, options.format, history);
  if (options.verbose) {
    diagnostics.note(std::to_string(history.total) + " revisions: " + std::to_string(history.read) + " read, " +
                     std::to_string(history.total - history.read - history.unreadable) + " known already, " +
                     std::to_string(history.unreadable) + " unreadable");
  }
  for (const std::string& name : history.unknown_ieds) {
    diagnostics.note("no IED named " + quoted(name) + " in any revision");
  }
  for (const HistoryRevision& revision : history.revisions) {
    if (revision.problem) diagnostics.error(revision.problem->where, revision.problem->reason);
  }
  if (history.unreadable != 0) return exit_usage;
  return history.unknown_ieds.empty() ? exit_ok : exit_ied_problem;
}

}  // namespace

void add_history_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<HistoryCommandOptions>();
  CLI::App* command = app.add_subcommand(
      "history", "Which revision of an SCD changed which IED's CRC, over revisions given as files or in git");
  command
      ->add_option("REV", options->revisions,
                   "the revisions, oldest first (gzip and zip are read); with --git: [REPO] PATH [REV-RANGE]")
      ->required()
      ->option_text(" ");
  command->add_flag("--git", options->git,
                    reads_git() ? "the commits that change PATH (followed through renames), read from the repository"
                                : "not in this program: it takes revisions as files");
  command->add_option("--since", options->since, "with --git: commits made on or after DATE")->option_text("DATE");
  command->add_option("--until", options->until, "with --git: commits made on or before DATE")->option_text("DATE");
  command->add_flag("--by-header", options->by_header, "order the revisions by the Header's version and revision");
  command->add_flag("--changed-only", options->changed_only, "leave out revisions in which no CRC or binding changed");
  command
      ->add_option_function<std::string>(
          "-f,--format",
          [options](const std::string& name) {
            options->format = name == "json"       ? HistoryFormat::json
                              : name == "csv"      ? HistoryFormat::csv
                              : name == "html"     ? HistoryFormat::html
                              : name == "markdown" ? HistoryFormat::markdown
                                                   : HistoryFormat::text;
          },
          "output format: text (default), json, csv, html (a timeline chart) or markdown")
      ->check(CLI::IsMember({"text", "json", "csv", "html", "markdown"}))
      ->option_text("FORMAT");
  command
      ->add_option("-j,--jobs", options->documents,
                   "revisions read at once, each a text in memory; one at a time is parsed (default 2)")
      ->check(CLI::Range(1u, 64u))
      ->option_text("N");
  command->add_flag("--no-cache", options->no_cache,
                    "read every revision, and keep no listing in the cache file (~/.cache/ccdcrc/history.cache)");
  add_excel_option(*command, console);
  add_quiet_option(*command, options->quiet, "show no progress on a terminal");
  add_member_option(*command, options->member);
  command->add_flag("-v,--verbose", options->verbose, "say how many revisions were read and how many were known");
  add_examples(*command,
               "  ccdcrc history station-v1.scd station-v2.scd station-v3.scd.gz\n"
               "  ccdcrc history --by-header deliveries/*.zip -- PL1101 PL1102\n"
               "  ccdcrc history --git station.scd --since 2024-01-01 --format html > history.html\n"
               "  ccdcrc history --git ~/stations/north scd/north.scd v1.0..main --changed-only");
  command->callback([options, &console] { console.status = run_history_command(*options, console); });
}

}  // namespace ccdcrc
