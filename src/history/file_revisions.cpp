#include "history/file_revisions.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "operations/scd_input.h"
#include "system/files.h"

namespace ccdcrc {

FileRevisions::FileRevisions(const std::vector<std::string>& paths, std::vector<const Scd*> loaded, std::string member)
    : loaded_(std::move(loaded)), member_(std::move(member)) {
  loaded_.resize(paths.size());
  for (const std::string& path : paths) labels_.push_back({path, {}, {}, {}, {}, path});
}

void FileRevisions::key_only_files_of_one_size() {
  std::map<std::uint64_t, std::size_t> sizes;
  std::vector<std::optional<std::uint64_t>> size_of;
  for (const RevisionLabel& label : labels_) {
    const FileStatus status = path_status(label.path);
    size_of.push_back(status.kind == FileKind::regular ? std::optional(status.size) : std::nullopt);
    if (size_of.back()) ++sizes[*size_of.back()];
  }
  unkeyed_.clear();
  for (const auto& size : size_of) unkeyed_.push_back(size && sizes[*size] == 1);
}

std::string content_key(const std::string& sha256, const std::string& member) {
  return "sha256:" + sha256 + (member.empty() ? "" : ":" + member);
}

RevisionRead FileRevisions::read(std::size_t index, const std::function<bool(const std::string&)>& known,
                                 SourceText room) const {
  const std::string& path = labels_[index].path;
  RevisionRead read;
  if (loaded_[index]) {
    read.scd = loaded_[index];
    read.unused = std::move(room);
    return read;
  }
  Input input;
  input.text = std::move(room);
  LoadProblem problem;
  InputOptions options;
  options.sha256 = unkeyed_.empty() || !unkeyed_[index];
  options.member = member_;
  if (!read_input(path, options, input, problem)) {
    read.problem = RevisionProblem{path, input_problem_text(problem, member_)};
    return read;
  }
  if (options.sha256) read.key = content_key(input.sha256, member_);
  if (!read.key.empty() && known(read.key)) {
    read.unused = std::move(input.text);
    return read;
  }
  read.name = path;
  read.input = std::move(input);
  return read;
}

}  // namespace ccdcrc
