#include "workflows/zipped_export.h"

#include <zip.h>

#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "crc/canonical.h"
#include "operations/export.h"
#include "scd/ied_selection.h"

namespace ccdcrc {

namespace {

using ZipSource = std::unique_ptr<zip_source_t, void (*)(zip_source_t*)>;

[[noreturn]] void zip_failure(zip_error_t* error) {
  if (zip_error_code_zip(error) == ZIP_ER_MEMORY) throw std::bad_alloc();
  throw std::runtime_error(std::string("cannot make the zip archive: ") + zip_error_strerror(error));
}

// An archive written into memory: the members are kept until it is closed.
class MemoryZip {
 public:
  MemoryZip() : source_(nullptr, zip_source_free) {
    zip_error_t error;
    zip_error_init(&error);
    source_.reset(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!source_) zip_failure(&error);
    archive_ = zip_open_from_source(source_.get(), ZIP_TRUNCATE, &error);
    if (!archive_) zip_failure(&error);
    zip_source_keep(source_.get());  // the archive's bytes outlive its closing
  }
  ~MemoryZip() {
    if (archive_) zip_discard(archive_);
  }
  MemoryZip(const MemoryZip&) = delete;
  MemoryZip& operator=(const MemoryZip&) = delete;

  void add(const std::string& name, std::string text) {
    const std::string& kept = members_.emplace_back(std::move(text));
    zip_source_t* member = zip_source_buffer(archive_, kept.data(), kept.size(), 0);
    if (!member) zip_failure(zip_get_error(archive_));
    if (zip_file_add(archive_, name.c_str(), member, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(member);
      zip_failure(zip_get_error(archive_));
    }
  }

  // The archive's bytes; the archive is closed.
  std::string close() {
    if (zip_close(archive_) != 0) zip_failure(zip_get_error(archive_));
    archive_ = nullptr;
    members_.clear();
    zip_stat_t stat;
    zip_stat_init(&stat);
    std::string bytes;
    if (zip_source_stat(source_.get(), &stat) != 0 || zip_source_open(source_.get()) != 0) {
      zip_failure(zip_source_error(source_.get()));
    }
    bytes.resize(stat.size);
    const zip_int64_t read = zip_source_read(source_.get(), bytes.data(), bytes.size());
    zip_source_close(source_.get());
    if (read < 0 || static_cast<std::size_t>(read) != bytes.size()) zip_failure(zip_source_error(source_.get()));
    return bytes;
  }

 private:
  ZipSource source_;
  zip_t* archive_ = nullptr;
  std::vector<std::string> members_;
};

// The file `export` writes for the IED, or why it writes none.
ExportResult export_member(const Scd& scd, const ListedIed& listed, MemoryZip& zip) {
  ExportResult result;
  result.path = listed.name + ".ccd";
  const std::unique_ptr<Ccd> ccd = document_to_write(scd, listed.ied, result);
  if (!ccd) return result;
  std::ostringstream text;
  pugi::xml_writer_stream writer(text);
  save_ccd(ccd->document, writer);
  zip.add(result.path, std::move(text).str());
  result.status = ExportStatus::written;
  return result;
}

}  // namespace

ZippedExport export_zip(const Scd& scd, const ProgressCallback& progress) {
  ZippedExport zipped;
  MemoryZip zip;
  RunFiles files;
  const std::vector<ListedIed> listed = listed_ieds(scd);
  for (std::size_t k = 0; k < listed.size(); ++k) {
    const ListedIed& ied = listed[k];
    // The listing leaves out an IED without circuits, and so does the export.
    if (has_circuits(scd, ied.ied)) {
      const std::string* earlier = files.written_for(ied.name);
      ExportResult result = earlier ? name_taken(ied.name, *earlier, std::string()) : export_member(scd, ied, zip);
      if (!earlier && is_safe_file_name(ied.name)) files.add(ied.name);
      record_export(scd, ied.name, std::move(result), zipped.outcome);
    }
    if (progress) progress(k + 1, listed.size());
  }
  end_every_export(scd, zipped.outcome);
  summarise_export(zipped.outcome);
  if (!zipped.outcome.written.empty()) zipped.zip = zip.close();
  return zipped;
}

}  // namespace ccdcrc
