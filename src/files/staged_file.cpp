#include "files/staged_file.h"

#include <cerrno>
#include <string_view>
#include <utility>

#include "system/files.h"
#include "system/temporary_file.h"

namespace ccdcrc {

// Collects pugixml's output and writes it to the file in pieces of 64 KiB,
// or holds all of it until there is a file; remembers the first failure.
class StagedFile::Writer final : public pugi::xml_writer {
 public:
  Writer(TemporaryFile& file, int error) : file_(file), error_(error) { pending_.reserve(capacity); }
  int error() const { return error_; }
  void write(const void* data, size_t size) override {
    pending_.append(static_cast<const char*>(data), size);
    if (file_.open() && pending_.size() >= capacity) flush();
  }
  // Writes what is pending to the file, once there is one.
  void flush() {
    if (!file_.open()) return;
    if (error_ == 0) error_ = file_.write(pending_.data(), pending_.size());
    pending_.clear();
  }

 private:
  static constexpr std::size_t capacity = std::size_t{64} * 1024;
  TemporaryFile& file_;
  int error_;
  std::string pending_;
};

StagedFile::StagedFile(const Directory& directory, Naming naming) : file_(std::make_unique<TemporaryFile>(directory)) {
  int error = directory.error();
  // Otherwise the file is made only at the commit.
  if (error == 0 && naming == Naming::unnamed_where_possible) error = file_->create_early();
  writer_ = std::make_unique<Writer>(*file_, error);
}

StagedFile::StagedFile(StagedFile&&) noexcept = default;
StagedFile& StagedFile::operator=(StagedFile&&) noexcept = default;
StagedFile::~StagedFile() {
  // The writer refers to the file: it goes first.
  writer_.reset();
}

int StagedFile::error() const { return writer_->error(); }

pugi::xml_writer& StagedFile::writer() { return *writer_; }

int StagedFile::finish_writing() {
  if (!file_->open()) return error();
  writer_->flush();
  if (error() == 0) file_->start_sync();
  return error();
}

int StagedFile::commit(const std::string& name) {
  // The file goes with this call, renamed or removed; the writer still
  // refers to it, through `file`.
  const std::unique_ptr<TemporaryFile> file = std::move(file_);
  if (!file) return EBADF;
  if (error() != 0) return error();
  if (!file->open()) {
    if (const int error = file->create_named(); error != 0) return error;
  }
  writer_->flush();
  if (error() != 0) return error();
  return file->commit(name);
}

int replace_file(const std::string& path, std::string_view content) {
  std::size_t slash = path.size();
  while (slash > 0 && !is_path_separator(path[slash - 1])) --slash;
  const std::string name = path.substr(slash);
  if (name.empty() || name == "." || name == "..") return EISDIR;
  // The folder keeps its separator: "/" and "C:\" stay what they are.
  const Directory directory(slash == 0 ? "." : path.substr(0, slash));
  StagedFile file(directory);
  file.writer().write(content.data(), content.size());
  if (const int error = file.finish_writing(); error != 0) return error;
  return file.commit(name);
}

void remove_stale_temporary_files(const Directory& directory) {
  const std::string host = this_host();
  const std::string prefix = std::string(temporary_file_prefix) + host + '-';
  for (const std::string& name : names_starting_with(directory, prefix)) {
    if (const unsigned long writer = temporary_file_writer(name, host); writer != 0) {
      remove_if_abandoned(directory, name, writer);
    }
  }
}

}  // namespace ccdcrc
