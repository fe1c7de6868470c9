#include "crc/export.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ccd/builder.h"
#include "crc/canonical.h"
#include "crc/runs.h"
#include "support/nodes.h"

namespace ccdcrc {

namespace {

std::string local_timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[100];
  std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return std::string(buffer, length);
}

// Writes to a file descriptor in pieces of 64 KiB, not in the small chunks
// pugixml hands out, and remembers the first failure.
class FileWriter final : public pugi::xml_writer {
 public:
  explicit FileWriter(int fd) : fd_(fd) { pending_.reserve(capacity); }
  void write(const void* data, size_t size) override {
    pending_.append(static_cast<const char*>(data), size);
    if (pending_.size() >= capacity) flush();
  }
  // Writes what is pending; returns 0 or the errno of the first failure.
  int flush() {
    const char* bytes = pending_.data();
    std::size_t size = pending_.size();
    while (size > 0 && error_ == 0) {
      ssize_t written = ::write(fd_, bytes, size);
      if (written < 0) {
        if (errno != EINTR) error_ = errno;
        continue;
      }
      bytes += written;
      size -= static_cast<size_t>(written);
    }
    pending_.clear();
    return error_;
  }

 private:
  static constexpr std::size_t capacity = 64 * 1024;
  int fd_;
  int error_ = 0;
  std::string pending_;
};

}  // namespace

// A new file in the directory. Where the system allows it, the file has no
// name while it is written (O_TMPFILE), so that not even a process killed
// mid-write leaves a partial file behind; it gets a temporary name only when
// complete. Otherwise it is created under a temporary name at once. Unless
// kept, a named file is removed when the object goes, whatever happened.
class TemporaryFile {
 public:
  explicit TemporaryFile(int directory) : directory_(directory) {
    // Naming an unnamed file goes through /proc.
    if (::access("/proc/self/fd", X_OK) == 0) {
      fd_ = ::openat(directory_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = random_name();
      // O_EXCL with O_CREAT never follows a symbolic link of that name.
      fd_ = ::openat(directory_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) error_ = errno;
    named_ = fd_ >= 0;
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (named_ && !kept_) ::unlinkat(directory_, name_.c_str(), 0);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int descriptor() const { return fd_; }
  int error() const { return error_; }
  const std::string& name() const { return name_; }

  // Gives the complete file its temporary name and closes it; returns 0 or
  // the errno of the failure.
  int finish() {
    int error = 0;
    if (!named_) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      for (int attempt = 0; attempt < 100; ++attempt) {
        name_ = random_name();
        if (::linkat(AT_FDCWD, self.c_str(), directory_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
          named_ = true;
          break;
        }
        if (errno != EEXIST) break;
      }
      if (!named_) error = errno;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
  }
  // The file has been renamed: nothing to remove.
  void keep() { kept_ = true; }

 private:
  // Short and hidden, whatever the length of the target's name.
  static std::string random_name() {
    std::random_device random;
    return ".ccdcrc-" + std::to_string(::getpid()) + "-" + std::to_string(random()) + ".tmp";
  }

  int directory_;
  std::string name_;
  int fd_ = -1;
  int error_ = 0;
  bool named_ = false;
  bool kept_ = false;
};

namespace {

// Writes the document to a new temporary file in the directory and starts
// its way to the disk. Returns 0 or the errno of the first failure.
int write_temporary(const pugi::xml_document& document, TemporaryFile& temporary) {
  if (temporary.descriptor() < 0) return temporary.error();
  FileWriter writer(temporary.descriptor());
  save_ccd(document, writer);
  if (int error = writer.flush()) return error;
  // Only a head start for the fsync at commit, which reports any failure.
  ::sync_file_range(temporary.descriptor(), 0, 0, SYNC_FILE_RANGE_WRITE);
  return 0;
}

}  // namespace

pugi::xml_node copy_ccd(pugi::xml_document& target, pugi::xml_node ccd_root) {
  pugi::xml_node declaration = target.prepend_child(pugi::node_declaration);
  declaration.append_attribute("version").set_value("1.0");
  declaration.append_attribute("encoding").set_value("UTF-8");
  return target.append_copy(ccd_root);
}

std::size_t nesting_depth(pugi::xml_node node) {
  if (node.type() != pugi::node_element) return 0;
  std::size_t deepest = 1;
  std::size_t depth = 1;
  pugi::xml_node current = node;
  // Walks the tree in document order through the parent links, without a stack.
  while (true) {
    if (pugi::xml_node child = current.first_child()) {
      current = child;
      ++depth;
    } else {
      while (current != node && !current.next_sibling()) {
        current = current.parent();
        --depth;
      }
      if (current == node) return deepest;
      current = current.next_sibling();
    }
    if (current.type() == pugi::node_element) deepest = std::max(deepest, depth);
  }
}

std::unique_ptr<Ccd> export_document(const Scd& scd, pugi::xml_node ied, std::string* crc) {
  std::unique_ptr<Ccd> ccd = build_ied_ccd(scd, ied);
  if (ccd->nothing_found) return nullptr;

  // The CRC is measured on a finished copy; the exported document keeps everything.
  pugi::xml_document measured;
  finish_ccd(copy_ccd(measured, ccd->root));
  const std::string crc_text = ccd_crc_text(measured);

  pugi::xml_node crc_element = ccd->root.append_child("CRC");
  crc_element.append_attribute("id").set_value(crc_text.c_str());
  crc_element.append_attribute("timestamp").set_value(local_timestamp().c_str());
  if (crc) *crc = crc_text;
  return ccd;
}

bool is_safe_file_name(const std::string& ied_name) {
  return !ied_name.empty() && ied_name != "." && ied_name != ".." &&
         ied_name.find_first_of("/\\") == std::string::npos;
}

ExportDirectory::ExportDirectory(std::string path) : path_(std::move(path)) {
  // O_PATH: files can be made in a directory that may be written but not listed.
  fd_ = ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) error_ = errno;
}

ExportDirectory::~ExportDirectory() {
  if (fd_ >= 0) ::close(fd_);
}

StagedExport::StagedExport() = default;
StagedExport::StagedExport(StagedExport&&) noexcept = default;
StagedExport& StagedExport::operator=(StagedExport&&) noexcept = default;
StagedExport::~StagedExport() = default;

StagedExport stage_export(const Scd& scd, pugi::xml_node ied, const ExportDirectory& directory) {
  StagedExport staged;
  ExportResult& result = staged.result;
  const std::string name = attr(ied, "name");
  const std::string file_name = name + ".ccd";
  result.path = directory.path() + "/" + file_name;
  if (!is_safe_file_name(name)) {
    result.status = ExportStatus::unsafe_name;
    result.message = "the IED name cannot be used as a file name";
    return staged;
  }
  std::unique_ptr<Ccd> ccd = export_document(scd, ied, &result.crc);
  if (!ccd) {
    result.status = ExportStatus::no_circuits;
    result.message = "the IED has no GOOSE or sampled-value circuits";
    return staged;
  }
  if (const std::size_t depth = nesting_depth(ccd->root); depth > max_written_depth) {
    result.status = ExportStatus::too_deep;
    result.message = "its CCD nests elements " + std::to_string(depth) + " levels deep; files of at most " +
                     std::to_string(max_written_depth) + " levels are written";
    return staged;
  }
  if (directory.error() != 0) {
    result.status = ExportStatus::write_failed;
    result.message = std::strerror(directory.error());
    return staged;
  }
  auto temporary = std::make_unique<TemporaryFile>(directory.descriptor());
  if (int error = write_temporary(ccd->document, *temporary)) {
    result.status = ExportStatus::write_failed;
    result.message = std::strerror(error);
    return staged;
  }
  result.status = ExportStatus::written;
  staged.file_ = std::move(temporary);
  staged.directory_ = directory.descriptor();
  staged.file_name_ = file_name;
  return staged;
}

ExportResult commit_export(StagedExport& staged) {
  ExportResult result = std::exchange(staged.result, {ExportStatus::write_failed, {}, {}, "committed already"});
  std::unique_ptr<TemporaryFile> temporary = std::move(staged.file_);
  if (result.status != ExportStatus::written) return result;
  int error = 0;
  if (::fsync(temporary->descriptor()) != 0) {
    error = errno;
  } else if ((error = temporary->finish()) == 0) {
    // The rename replaces whatever has the target name, a symbolic link too,
    // without following it.
    if (::renameat(staged.directory_, temporary->name().c_str(), staged.directory_, staged.file_name_.c_str()) != 0) {
      error = errno;
    } else {
      temporary->keep();
    }
  }
  if (error != 0) {
    result.status = ExportStatus::write_failed;
    result.message = std::strerror(error);
  }
  return result;
}

ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const ExportDirectory& directory) {
  StagedExport staged = stage_export(scd, ied, directory);
  return commit_export(staged);
}

ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const std::string& directory) {
  const ExportDirectory opened(directory);
  return export_ied(scd, ied, opened);
}

}  // namespace ccdcrc
