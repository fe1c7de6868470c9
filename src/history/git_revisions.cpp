#include "history/git_revisions.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include <git2.h>

#include "history/file_revisions.h"
#include "operations/scd_input.h"
#include "system/clock.h"
#include "system/files.h"
#include "xml/source_text.h"

namespace ccdcrc {

namespace {

// Frees a libgit2 object when it goes.
template <typename T, void (*Free)(T*)>
struct Owned {
  T* get = nullptr;
  Owned() = default;
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (get) Free(get);
  }
  T** out() { return &get; }
};
using Repository = Owned<git_repository, git_repository_free>;
using Commit = Owned<git_commit, git_commit_free>;
using Tree = Owned<git_tree, git_tree_free>;
using TreeEntry = Owned<git_tree_entry, git_tree_entry_free>;
using Walk = Owned<git_revwalk, git_revwalk_free>;
using Blob = Owned<git_blob, git_blob_free>;
using Diff = Owned<git_diff, git_diff_free>;
using Object = Owned<git_object, git_object_free>;
using Odb = Owned<git_odb, git_odb_free>;
using OdbStream = Owned<git_odb_stream, git_odb_stream_free>;

std::string last_error() {
  const git_error* error = git_error_last();
  return error && error->message ? error->message : "unknown failure";
}

// Inflates a loose object straight into `text`, so that the blob is never
// held beside it; false when the object database cannot stream it (a packed
// object) or the object is no blob.
bool stream_blob(git_repository* repository, const git_oid& id, SourceText& text) {
  Odb odb;
  OdbStream stream;
  std::size_t size = 0;
  git_object_t type = GIT_OBJECT_INVALID;
  if (git_repository_odb(odb.out(), repository) != 0 ||
      git_odb_open_rstream(stream.out(), &size, &type, odb.get, &id) != 0 || type != GIT_OBJECT_BLOB ||
      !text.resize(size)) {
    return false;
  }
  constexpr std::size_t chunk = std::size_t{1} << 20;
  for (std::size_t done = 0; done < size;) {
    const int count = git_odb_stream_read(stream.get, text.data() + done, std::min(chunk, size - done));
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// The content of a blob in `text`, checked against its id as a lookup checks
// it. A packed blob is looked up whole, copied and released at once.
bool read_blob(git_repository* repository, const git_oid& id, SourceText& text) {
  if (!stream_blob(repository, id, text)) {
    Blob blob;
    if (git_blob_lookup(blob.out(), repository, &id) != 0) return false;
    const std::string_view bytes(static_cast<const char*>(git_blob_rawcontent(blob.get)),
                                 static_cast<std::size_t>(git_blob_rawsize(blob.get)));
    if (!text.assign(bytes)) {
      git_error_set_str(GIT_ERROR_NOMEMORY, "out of memory");
      return false;
    }
    return true;
  }
  // libgit2's SHA-1 detects collision attacks: a blob crafted to share
  // another's id must not take that content's cached listing.
  git_oid read;
  if (git_odb_hash(&read, text.data(), text.size(), GIT_OBJECT_BLOB) != 0) return false;
  if (!git_oid_equal(&read, &id)) {
    git_error_set_str(GIT_ERROR_ODB, "the object's content does not match its id");
    return false;
  }
  return true;
}

// Reads the blob named `hex` through a repository object of this thread's
// own, so that documents read at once inflate side by side.
bool read_blob_apart(git_repository* walked, const std::string& hex, git_oid& id, SourceText& text) {
  Repository repository;
  return git_oid_fromstr(&id, hex.c_str()) == 0 &&
         git_repository_open_ext(repository.out(), git_repository_path(walked), GIT_REPOSITORY_OPEN_NO_SEARCH,
                                 nullptr) == 0 &&
         read_blob(repository.get, id, text);
}

std::string oid_text(const git_oid& oid) {
  char text[GIT_OID_HEXSZ + 1];
  git_oid_tostr(text, sizeof text, &oid);
  return text;
}

// The blob at `path` in a commit's tree; nullopt when there is none.
std::optional<git_oid> blob_at(git_commit* commit, const std::string& path) {
  Tree tree;
  if (git_commit_tree(tree.out(), commit) != 0) return std::nullopt;
  TreeEntry entry;
  if (git_tree_entry_bypath(entry.out(), tree.get, path.c_str()) != 0) return std::nullopt;
  if (git_tree_entry_type(entry.get) != GIT_OBJECT_BLOB) return std::nullopt;
  return *git_tree_entry_id(entry.get);
}

// The path a file had in `parent` when `commit` renamed it to `path`.
std::optional<std::string> renamed_from(git_repository* repository, git_commit* parent, git_commit* commit,
                                        const std::string& path) {
  Tree old_tree;
  Tree new_tree;
  if (git_commit_tree(old_tree.out(), parent) != 0 || git_commit_tree(new_tree.out(), commit) != 0) return {};
  Diff diff;
  if (git_diff_tree_to_tree(diff.out(), repository, old_tree.get, new_tree.get, nullptr) != 0) return {};
  git_diff_find_options options{};
  git_diff_find_options_init(&options, GIT_DIFF_FIND_OPTIONS_VERSION);
  options.flags = GIT_DIFF_FIND_RENAMES;
  if (git_diff_find_similar(diff.get, &options) != 0) return {};
  for (std::size_t i = 0; i < git_diff_num_deltas(diff.get); ++i) {
    const git_diff_delta* delta = git_diff_get_delta(diff.get, i);
    if (delta->status == GIT_DELTA_RENAMED && path == delta->new_file.path) return std::string(delta->old_file.path);
  }
  return {};
}

// "2024-05-01 14:03:12 +0200" of a signature's time.
std::string date_text(const git_time& when) {
  const std::time_t local = static_cast<std::time_t>(when.time + std::int64_t{when.offset} * 60);
  const std::tm parts = universal_time(local);
  char text[64];
  const int offset = when.offset < 0 ? -when.offset : when.offset;
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %c%02d%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, when.offset < 0 ? '-' : '+', offset / 60,
                offset % 60);
  return text;
}

RevisionLabel label_of(git_commit* commit, const std::string& path) {
  RevisionLabel label;
  label.commit = oid_text(*git_commit_id(commit));
  git_buf short_id = GIT_BUF_INIT;
  if (git_object_short_id(&short_id, reinterpret_cast<const git_object*>(commit)) == 0) {
    label.name.assign(short_id.ptr, short_id.size);
  } else {
    label.name = label.commit.substr(0, 7);
  }
  git_buf_dispose(&short_id);
  const git_signature* author = git_commit_author(commit);
  label.author = author->name ? author->name : "";
  label.date = date_text(author->when);
  const char* subject = git_commit_summary(commit);
  label.subject = subject ? subject : "";
  label.path = path;
  return label;
}

// "a/b/../c" as "a/c"; nullopt when it leaves the top.
std::optional<std::string> normal_path(const std::filesystem::path& path) {
  const std::filesystem::path normal = path.lexically_normal();
  std::string text = normal.generic_string();
  if (text.empty() || text == "." || text.starts_with("../") || text == ".." || normal.is_absolute()) return {};
  return text;
}

// The path as the command names it: from the current folder, absolute.
std::filesystem::path absolute_path(const std::string& path) {
  std::error_code error;
  return std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
}

// The path in the repository: from its top when the repository is given,
// else from the current folder; nullopt when it leaves the repository.
std::optional<std::string> path_in(git_repository* repository, const GitQuery& query) {
  std::filesystem::path path = query.path;
  const char* top = git_repository_workdir(repository);
  if (query.repository.empty() && top) {
    std::error_code error;
    path = absolute_path(query.path).lexically_relative(std::filesystem::weakly_canonical(top, error));
  }
  return normal_path(path);
}

// Starts the walk at the range's commits, newest first; 0 or libgit2's error.
int start_walk(git_repository* repository, git_revwalk* walk, const std::string& range) {
  git_revwalk_sorting(walk, GIT_SORT_TOPOLOGICAL | GIT_SORT_TIME);
  if (range.empty()) return git_revwalk_push_head(walk);
  if (range.find("..") != std::string::npos) return git_revwalk_push_range(walk, range.c_str());
  Object object;
  const int found = git_revparse_single(object.out(), repository, range.c_str());
  return found != 0 ? found : git_revwalk_push(walk, git_object_id(object.get));
}

// Whether a commit changes the file at `path` (which it holds as `blob`),
// and where the file was before when the commit renamed it.
bool changes_file(git_repository* repository, git_commit* commit, const std::string& path, const git_oid& blob,
                  std::optional<std::string>& renamed) {
  bool touched = git_commit_parentcount(commit) == 0;
  for (unsigned p = 0; p < git_commit_parentcount(commit); ++p) {
    Commit parent;
    if (git_commit_parent(parent.out(), commit, p) != 0) continue;
    const std::optional<git_oid> before = blob_at(parent.get, path);
    // A merge that takes the file of one of its parents does not change it.
    if (before && git_oid_equal(&*before, &blob)) return false;
    touched = true;
    if (!before && p == 0) renamed = renamed_from(repository, parent.get, commit, path);
  }
  return touched;
}

}  // namespace

struct GitRevisions::State {
  git_repository* repository = nullptr;  // walked on one thread; each read opens its own
  ~State() {
    if (repository) git_repository_free(repository);
    git_libgit2_shutdown();
  }
};

GitRevisions::GitRevisions(const GitQuery& query, std::optional<GitProblem>& problem)
    : state_(std::make_unique<State>()), member_(query.member) {
  git_libgit2_init();
  std::string start = query.repository;
  if (start.empty()) {
    // The repository that holds the path, which may be gone from the working tree.
    std::filesystem::path folder = absolute_path(query.path).parent_path();
    while (folder.has_relative_path() && path_status(folder.string()).kind != FileKind::directory) {
      folder = folder.parent_path();
    }
    start = folder.string();
  }
  if (git_repository_open_ext(&state_->repository, start.c_str(), 0, nullptr) != 0) {
    problem = GitProblem{start, "no git repository here: " + last_error()};
    return;
  }
  const std::optional<std::string> path = path_in(state_->repository, query);
  if (!path) {
    problem = GitProblem{query.path, "the path is not inside the repository"};
    return;
  }
  path_ = *path;
  Walk walk;
  if (git_revwalk_new(walk.out(), state_->repository) != 0 || start_walk(state_->repository, walk.get, query.range)) {
    problem = GitProblem{query.range.empty() ? "HEAD" : query.range, last_error()};
    return;
  }
  // Newest first, the path followed back through renames.
  std::string followed = path_;
  git_oid id;
  while (git_revwalk_next(&id, walk.get) == 0) {
    Commit commit;
    if (git_commit_lookup(commit.out(), state_->repository, &id) != 0) continue;
    const std::optional<git_oid> blob = blob_at(commit.get, followed);
    if (!blob) continue;
    std::optional<std::string> renamed;
    const bool touched = changes_file(state_->repository, commit.get, followed, *blob, renamed);
    const std::int64_t time = git_commit_time(commit.get);
    if (touched && (!query.since || time >= *query.since) && (!query.until || time <= *query.until)) {
      labels_.push_back(label_of(commit.get, followed));
      blobs_.push_back(oid_text(*blob));
    }
    if (renamed) followed = *renamed;
  }
  std::reverse(labels_.begin(), labels_.end());
  std::reverse(blobs_.begin(), blobs_.end());
}

GitRevisions::~GitRevisions() = default;

RevisionRead GitRevisions::read(std::size_t index, const std::function<bool(const std::string&)>& known,
                                SourceText room) const {
  RevisionRead read;
  read.key = "git-blob:" + blobs_[index] + (member_.empty() ? "" : ":" + member_);
  if (known(read.key)) {
    read.unused = std::move(room);
    return read;
  }
  const RevisionLabel& label = labels_[index];
  const std::string name = label.name + ":" + label.path;
  Input input;
  LoadProblem problem;
  git_oid id;
  SourceText text = std::move(room);
  if (!read_blob_apart(state_->repository, blobs_[index], id, text)) {
    read.problem = RevisionProblem{name, "cannot read the blob: " + last_error()};
    return read;
  }
  InputOptions options;
  options.member = member_;
  const bool was_read = read_input_text(std::move(text), options, input, problem);
  if (!was_read) {
    read.problem = RevisionProblem{name, input_problem_text(problem, member_)};
    return read;
  }
  read.name = name;
  read.input = std::move(input);
  return read;
}

std::optional<std::int64_t> parse_git_date(const std::string& text) {
  if (text.starts_with('@')) {
    std::int64_t seconds = 0;
    int used = 0;
    if (std::sscanf(text.c_str() + 1, "%ld%n", &seconds, &used) == 1 && used + 1 == static_cast<int>(text.size())) {
      return seconds;
    }
    return std::nullopt;
  }
  std::tm parts{};
  int used = 0;
  char separator = ' ';
  const int fields =
      std::sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &used,
                  &separator, &parts.tm_hour, &parts.tm_min, &used, &parts.tm_sec, &used);
  if ((fields != 3 && fields != 6 && fields != 7) || used != static_cast<int>(text.size())) return std::nullopt;
  if (fields > 3 && separator != ' ' && separator != 'T') return std::nullopt;
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  parts.tm_isdst = -1;
  const std::time_t time = std::mktime(&parts);
  if (time == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(time);
}

}  // namespace ccdcrc
