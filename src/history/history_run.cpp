#include "history/history_run.h"

#include <memory>

#include "history/file_revisions.h"
#include "history/listing_cache.h"
#include "util/text.h"
#ifdef CCDCRC_GIT
#include "history/git_revisions.h"
#endif

namespace ccdcrc {

namespace {

#ifdef CCDCRC_GIT
// The commits of the request; null with the failure when there are none.
std::unique_ptr<RevisionReader> git_reader(const GitSource& source, const std::string& member,
                                           std::optional<RevisionProblem>& failure) {
  GitQuery query{source.repository, source.path, source.range, {}, {}, member};
  for (const auto& [text, date, option] :
       {std::tuple{&source.since, &query.since, "--since"}, std::tuple{&source.until, &query.until, "--until"}}) {
    if (text->empty()) continue;
    *date = parse_git_date(*text);
    if (!*date) {
      failure = RevisionProblem{option, quoted(*text) + " is no date (YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS] or @SECONDS)"};
      return nullptr;
    }
  }
  std::optional<GitProblem> problem;
  auto reader = std::make_unique<GitRevisions>(query, problem);
  if (problem) {
    failure = RevisionProblem{problem->where, problem->reason};
    return nullptr;
  }
  if (reader->size() == 0) {
    failure = RevisionProblem{source.path, "no commit of " + (source.range.empty() ? "HEAD" : source.range) +
                                               (source.since.empty() && source.until.empty() ? "" : " in those dates") +
                                               " changes " + quoted(reader->path())};
    return nullptr;
  }
  return reader;
}
#endif

}  // namespace

bool reads_git() {
#ifdef CCDCRC_GIT
  return true;
#else
  return false;
#endif
}

HistoryOutcome run_history(const HistoryRequest& request, const ProgressCallback& progress) {
  HistoryOutcome outcome;
  std::unique_ptr<RevisionReader> reader;
  if (request.git) {
#ifdef CCDCRC_GIT
    reader = git_reader(*request.git, request.member, outcome.failure);
#else
    outcome.failure =
        RevisionProblem{request.git->path, "this program reads no git repository; give the revisions as files"};
#endif
    if (!reader) return outcome;
  } else {
    auto files = std::make_unique<FileRevisions>(request.files, request.loaded, request.member);
    if (!request.cache) files->key_only_files_of_one_size();
    reader = std::move(files);
  }
  reader->before_parse = request.before_parse;
  HistoryOptions options = request.options;
  std::unique_ptr<ListingCache> cache;
  if (request.cache) {
    outcome.cache_path = request.cache_path.empty() ? default_cache_path() : request.cache_path;
    if (!outcome.cache_path.empty()) {
      cache = std::make_unique<ListingCache>(outcome.cache_path);
      options.store = cache.get();
    }
  }
  outcome.history = build_history(*reader, options, progress);
  if (cache) outcome.cache_error = cache->save();
  return outcome;
}

}  // namespace ccdcrc
