#pragma once
// The `history` workflow as every front end runs it: the revisions from
// files or from a repository, their listings kept in the cache file, and the
// history of them.

#include <optional>
#include <string>
#include <vector>

#include "history/history.h"

namespace ccdcrc {

// Which commits of a repository, as git_revisions.h takes them (there when
// the library is built with git).
struct GitSource {
  std::string repository;  // empty: the one that holds the current folder
  std::string path;
  std::string range;
  std::string since, until;  // dates as parse_git_date reads them; empty: none
};

struct HistoryRequest {
  std::vector<std::string> files;  // revisions as files (or their names), or
  std::vector<const Scd*> loaded;  // for each file, an SCD the caller has loaded, or null
  std::optional<GitSource> git;    // the commits that change a file
  HistoryOptions options;          // the store is the cache file's, when one is used
  std::string member;              // the SCD of zip archives (empty: their one SCL file)
  bool cache = true;               // keep listings in the cache file
  std::string cache_path;          // empty: default_cache_path()
  BeforeParse before_parse;        // told each text's size before it is parsed
};

struct HistoryOutcome {
  History history;
  // What kept the history from being made at all: no repository, a range or
  // date that is not one, a path that no commit changes.
  std::optional<RevisionProblem> failure;
  std::string cache_path;  // the cache file used; empty: none
  int cache_error = 0;     // the errno of a cache file that could not be written
};

// Whether the library reads repositories.
bool reads_git();

HistoryOutcome run_history(const HistoryRequest& request, const ProgressCallback& progress = {});

}  // namespace ccdcrc
