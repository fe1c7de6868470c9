#include "crc/export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

#include <fcntl.h>
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

// Writes straight to a file descriptor and remembers the first failure.
class FileWriter final : public pugi::xml_writer {
 public:
  explicit FileWriter(int fd) : fd_(fd) {}
  void write(const void* data, size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && error_ == 0) {
      ssize_t written = ::write(fd_, bytes, size);
      if (written < 0) {
        if (errno != EINTR) error_ = errno;
        continue;
      }
      bytes += written;
      size -= static_cast<size_t>(written);
    }
  }
  int error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
};

// Creates a new file next to the target under a name no other writer picks.
int create_temporary(const std::string& target, std::string& temporary) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(random());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Saves the document to `target` through a temporary file and a rename.
// Returns 0 or the errno of the first failure.
int save_atomically(const pugi::xml_document& document, const std::string& target) {
  std::string temporary;
  int fd = create_temporary(target, temporary);
  if (fd < 0) return errno;
  FileWriter writer(fd);
  save_ccd(document, writer);
  int error = writer.error();
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

}  // namespace

pugi::xml_node copy_ccd(pugi::xml_document& target, pugi::xml_node ccd_root) {
  pugi::xml_node declaration = target.prepend_child(pugi::node_declaration);
  declaration.append_attribute("version").set_value("1.0");
  declaration.append_attribute("encoding").set_value("UTF-8");
  return target.append_copy(ccd_root);
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

ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const std::string& directory) {
  ExportResult result;
  const std::string name = attr(ied, "name");
  result.path = directory + "/" + name + ".ccd";
  if (!is_safe_file_name(name)) {
    result.status = ExportStatus::unsafe_name;
    result.message = "the IED name cannot be used as a file name";
    return result;
  }
  std::unique_ptr<Ccd> ccd = export_document(scd, ied, &result.crc);
  if (!ccd) {
    result.status = ExportStatus::no_circuits;
    result.message = "the IED has no GOOSE or sampled-value circuits";
    return result;
  }
  if (int error = save_atomically(ccd->document, result.path)) {
    result.status = ExportStatus::write_failed;
    result.message = std::strerror(error);
    return result;
  }
  result.status = ExportStatus::written;
  return result;
}

}  // namespace ccdcrc
