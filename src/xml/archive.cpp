#include "xml/archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "xml/digest.h"

namespace ccdcrc {

namespace {

constexpr std::size_t block_size = std::size_t{64} * 1024;

using ArchivePointer = std::unique_ptr<archive, int (*)(archive*)>;

// What the callbacks read from: the prefix first, then the file.
struct Feed {
  const PackedSource& source;
  bool prefix_given = false;
  std::vector<char> buffer = std::vector<char>(block_size);
};

la_ssize_t feed_read(archive* reader, void* data, const void** block) {
  Feed& feed = *static_cast<Feed*>(data);
  if (!feed.prefix_given) {
    feed.prefix_given = true;
    if (!feed.source.prefix.empty()) {
      if (feed.source.digest) feed.source.digest->update(feed.source.prefix);
      *block = feed.source.prefix.data();
      return static_cast<la_ssize_t>(feed.source.prefix.size());
    }
  }
  ssize_t got = 0;
  do {
    got = ::read(feed.source.fd, feed.buffer.data(), feed.buffer.size());
    if (got < 0 && errno == EAGAIN) {
      pollfd ready{feed.source.fd, POLLIN, 0};
      ::poll(&ready, 1, -1);
    }
  } while (got < 0 && (errno == EINTR || errno == EAGAIN));
  if (got < 0) {
    archive_set_error(reader, errno, "%s", std::strerror(errno));
    return ARCHIVE_FATAL;
  }
  if (feed.source.digest) feed.source.digest->update({feed.buffer.data(), static_cast<std::size_t>(got)});
  *block = feed.buffer.data();
  return got;
}

la_int64_t feed_seek(archive*, void* data, la_int64_t offset, int whence) {
  const off_t position = ::lseek(static_cast<Feed*>(data)->source.fd, static_cast<off_t>(offset), whence);
  return position < 0 ? ARCHIVE_FATAL : position;
}

la_int64_t feed_skip(archive*, void* data, la_int64_t request) {
  const int fd = static_cast<Feed*>(data)->source.fd;
  const off_t before = ::lseek(fd, 0, SEEK_CUR);
  if (before < 0 || ::lseek(fd, static_cast<off_t>(request), SEEK_CUR) < 0) return 0;
  return request;
}

// The reader, opened when `opened` is true (else it holds the reason).
ArchivePointer open_archive(const PackedSource& source, Feed& feed, bool& opened) {
  ArchivePointer reader(archive_read_new(), archive_read_free);
  if (!reader) throw std::bad_alloc();
  archive_read_support_filter_gzip(reader.get());
  archive_read_support_format_zip(reader.get());
  archive_read_support_format_raw(reader.get());
  int status = ARCHIVE_FATAL;
  if (source.fd < 0) {
    status = archive_read_open_memory(reader.get(), source.bytes.data(), source.bytes.size());
  } else {
    archive_read_set_callback_data(reader.get(), &feed);
    archive_read_set_read_callback(reader.get(), feed_read);
    if (source.seekable) {
      archive_read_set_seek_callback(reader.get(), feed_seek);
      archive_read_set_skip_callback(reader.get(), feed_skip);
    }
    status = archive_read_open1(reader.get());
  }
  opened = status == ARCHIVE_OK;
  return reader;
}

// A header was read (perhaps with a warning, such as a name in another encoding).
bool is_header(int status) { return status == ARCHIVE_OK || status == ARCHIVE_WARN; }

bool damaged(archive* reader, InputProblem& problem) {
  const char* reason = archive_error_string(reader);
  problem = {InputProblem::Kind::damaged_archive,
             std::string("the compressed data cannot be read: ") + (reason ? reason : "unknown format"),
             {}};
  return false;
}

// Reads the current entry's data into `text`, in place of what it held.
bool read_entry(archive* reader, archive_entry* entry, const InputOptions& options, SourceText& text,
                InputProblem& problem) {
  text.release();
  if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0 &&
      static_cast<std::size_t>(archive_entry_size(entry)) <= options.limit) {
    text.reserve(static_cast<std::size_t>(archive_entry_size(entry)));  // a hint only
  }
  for (;;) {
    const void* block = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    const int read = archive_read_data_block(reader, &block, &size, &offset);
    if (read == ARCHIVE_EOF) return true;
    if (read < ARCHIVE_WARN) return damaged(reader, problem);
    if (size > options.limit - std::min(options.limit, text.size())) {
      problem = {InputProblem::Kind::too_large, "it holds more than " + std::to_string(options.limit) + " bytes", {}};
      return false;
    }
    if (!text.append({static_cast<const char*>(block), size})) {
      problem = {InputProblem::Kind::out_of_memory, "not enough memory to load the file", {}};
      return false;
    }
  }
}

// Files a zip tool adds beside the real ones: macOS resource forks.
bool is_resource_fork(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  return name.starts_with("__MACOSX/") || name.compare(slash == std::string::npos ? 0 : slash + 1, 2, "._") == 0;
}

// Chooses the member to read while the entries pass, reading each better
// one: with a name given, that member; otherwise an SCL file before any other
// file, and of several of the same rank none (the user must choose).
class MemberChoice {
 public:
  MemberChoice(const InputOptions& options, Input& input, InputProblem& problem)
      : options_(options), input_(input), problem_(problem) {}

  // False when reading the entry failed.
  bool consider(archive* reader, archive_entry* entry) {
    if (archive_entry_filetype(entry) != AE_IFREG) return true;
    const char* pathname = archive_entry_pathname(entry);
    const std::string name = pathname ? pathname : "";
    all_files_.push_back(name);
    if (!options_.member.empty()) return name != options_.member || found_ || take(reader, entry, name);
    if (is_resource_fork(name)) return true;
    const int rank = has_scl_extension(name) ? 1 : 0;
    if (rank < rank_) return true;
    if (rank == rank_) {
      tied_.push_back(name);
      return true;
    }
    rank_ = rank;
    tied_ = {name};
    return take(reader, entry, name);
  }

  // False (and the text released) when no single member was chosen.
  bool finish() {
    using Kind = InputProblem::Kind;
    if (!options_.member.empty() && !found_) {
      problem_ = {Kind::member_choice, "the archive has no member of that name", all_files_};
    } else if (options_.member.empty() && tied_.empty()) {
      problem_ = {Kind::member_choice, "the archive holds no file", {}};
    } else if (options_.member.empty() && tied_.size() > 1) {
      problem_ = {Kind::member_choice,
                  "the archive holds " + std::to_string(tied_.size()) +
                      (rank_ == 1 ? " SCL files" : " files and none is an SCL file by its name"),
                  tied_};
    } else {
      return true;
    }
    input_.text.release();
    input_.member.clear();
    return false;
  }

 private:
  bool take(archive* reader, archive_entry* entry, const std::string& name) {
    found_ = true;
    input_.member = name;
    return read_entry(reader, entry, options_, input_.text, problem_);
  }

  const InputOptions& options_;
  Input& input_;
  InputProblem& problem_;
  bool found_ = false;
  int rank_ = -1;
  std::vector<std::string> tied_;       // the members of the best rank
  std::vector<std::string> all_files_;  // every file of the archive
};

}  // namespace

bool has_scl_extension(std::string_view name) {
  static constexpr std::array<std::string_view, 7> extensions{".scd", ".cid", ".icd", ".iid", ".ssd", ".sed", ".xml"};
  if (name.size() < 4) return false;
  std::string ending(name.substr(name.size() - 4));
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return std::find(extensions.begin(), extensions.end(), ending) != extensions.end();
}

bool unpack(const PackedSource& source, const InputOptions& options, Input& input, InputProblem& problem) {
  Feed feed{source};
  bool opened = false;
  const ArchivePointer reader = open_archive(source, feed, opened);
  if (!opened) return damaged(reader.get(), problem);
  archive_entry* entry = nullptr;
  // The format is known once the first header is read: a zip archive, or
  // the one stream of gzip data (libarchive's "raw" format).
  int next = archive_read_next_header(reader.get(), &entry);
  if (next != ARCHIVE_EOF && !is_header(next)) return damaged(reader.get(), problem);
  if ((archive_format(reader.get()) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP) {
    input.packing = Packing::gzip;
    if (next == ARCHIVE_EOF) return true;  // no data at all
    return read_entry(reader.get(), entry, options, input.text, problem);
  }
  input.packing = Packing::zip;
  MemberChoice choice(options, input, problem);
  for (; is_header(next); next = archive_read_next_header(reader.get(), &entry)) {
    if (!choice.consider(reader.get(), entry)) return false;
  }
  if (next != ARCHIVE_EOF) return damaged(reader.get(), problem);
  return choice.finish();
}

}  // namespace ccdcrc
