#include "history/file_revisions.h"

#include <utility>

#include "operations/scd_input.h"

namespace ccdcrc {

FileRevisions::FileRevisions(const std::vector<std::string>& paths, std::vector<const Scd*> loaded, std::string member)
    : loaded_(std::move(loaded)), member_(std::move(member)) {
  loaded_.resize(paths.size());
  for (const std::string& path : paths) labels_.push_back({path, {}, {}, {}, {}, path});
}

std::string content_key(const std::string& sha256, const std::string& member) {
  return "sha256:" + sha256 + (member.empty() ? "" : ":" + member);
}

RevisionRead parsed_revision(Input input, const std::string& name, std::string key, const BeforeParse& before_parse) {
  RevisionRead read;
  read.key = std::move(key);
  LoadProblem problem;
  read.owned = parse_scd_input(std::move(input), name, nullptr, problem, before_parse);
  if (!read.owned) {
    read.problem = RevisionProblem{problem.where(), problem.message};
    return read;
  }
  // A revision read in part has no CRCs that stand for it: it is unreadable.
  if (const std::optional<LoadProblem> partial = read_in_part(*read.owned, name)) {
    read.owned.reset();
    read.problem = RevisionProblem{partial->where(), partial->message};
    return read;
  }
  read.scd = read.owned.get();
  return read;
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
  options.sha256 = true;
  options.member = member_;
  if (!read_input(path, options, input, problem)) {
    read.problem = RevisionProblem{path, input_problem_text(problem, member_)};
    return read;
  }
  read.key = content_key(input.sha256, member_);
  if (known(read.key)) {
    read.unused = std::move(input.text);
    return read;
  }
  return parsed_revision(std::move(input), path, std::move(read.key), before_parse);
}

}  // namespace ccdcrc
