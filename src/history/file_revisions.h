#pragma once
// Revisions of an SCD given as files (plain, gzip or a zip's one SCL file),
// each known by the SHA-256 of its bytes, or as SCDs the caller has loaded.

#include <string>
#include <vector>

#include "history/history.h"
#include "xml/input.h"

namespace ccdcrc {

class FileRevisions final : public RevisionReader {
 public:
  // `loaded`, when not empty, holds for each path an SCD loaded already
  // (taken as it is, and never kept in a store) or null.
  // `member` names the SCD of zip archives (empty: their one SCL file).
  explicit FileRevisions(const std::vector<std::string>& paths, std::vector<const Scd*> loaded = {},
                         std::string member = {});

  // Without a store, a file's SHA-256 serves only to find the same bytes
  // given twice, which only files of one size can be: the others are read
  // without it, and without a key.
  void key_only_files_of_one_size();

  std::size_t size() const override { return labels_.size(); }
  const RevisionLabel& label(std::size_t index) const override { return labels_[index]; }
  RevisionRead read(std::size_t index, const std::function<bool(const std::string&)>& known,
                    SourceText room) const override;

 private:
  std::vector<RevisionLabel> labels_;
  std::vector<const Scd*> loaded_;
  std::string member_;
  std::vector<bool> unkeyed_;  // by path: read without a SHA-256
};

// The key of content whose SHA-256 is `sha256`, read as `member` of an archive.
std::string content_key(const std::string& sha256, const std::string& member);

}  // namespace ccdcrc
