#pragma once
// Revisions of an SCD in a git repository: the commits that change a path,
// oldest first, each read from its blob without a checkout and known by its
// blob id.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history.h"

namespace ccdcrc {

// Which commits: those of `range` ("A..B", a single revision; empty: HEAD)
// that change `path`, followed through renames, committed within the dates.
struct GitQuery {
  std::string repository;  // a folder in the repository; empty: the current one
  std::string path;        // relative to the repository's top when it is given, else to the current folder
  std::string range;
  std::optional<std::int64_t> since, until;  // seconds since 1970
  std::string member;                        // the SCD of zip archives (empty: their one SCL file)
};

// Why a repository could not be walked.
struct GitProblem {
  std::string where;  // the repository, or the range
  std::string reason;
};

class GitRevisions final : public RevisionReader {
 public:
  // Walks the commits; a problem (no repository, an unknown revision) makes
  // a reader with no revisions and fills `problem`.
  GitRevisions(const GitQuery& query, std::optional<GitProblem>& problem);
  ~GitRevisions() override;
  GitRevisions(const GitRevisions&) = delete;
  GitRevisions& operator=(const GitRevisions&) = delete;

  std::size_t size() const override { return labels_.size(); }
  const RevisionLabel& label(std::size_t index) const override { return labels_[index]; }
  RevisionRead read(std::size_t index, const std::function<bool(const std::string&)>& known,
                    SourceText room) const override;

  // The path as it is in the repository, from its top.
  const std::string& path() const { return path_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::vector<RevisionLabel> labels_;
  std::vector<std::string> blobs_;  // each revision's blob id
  std::string path_;
  std::string member_;
};

// Seconds since 1970 of "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (also with a
// "T") in local time, or "@SECONDS"; nullopt for anything else.
std::optional<std::int64_t> parse_git_date(const std::string& text);

}  // namespace ccdcrc
