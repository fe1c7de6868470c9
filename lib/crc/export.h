#pragma once
// Export of an IED's CCD file: the CCD as built, with all descriptions, and a
// last CRC element carrying the CRC of its finished copy and the local time.

#include <cstddef>
#include <memory>
#include <string>

#include <pugixml.hpp>

#include "crc/runs.h"
#include "crc/scd.h"

namespace ccdcrc {

enum class ExportStatus { written, no_circuits, unsafe_name, too_deep, write_failed };

struct ExportResult {
  ExportStatus status = ExportStatus::write_failed;
  std::string path;     // the file written, or the one that could not be
  std::string crc;      // the CRC text in the file
  std::string message;  // why it failed
};

// Makes `target` a CCD document of its own: the declaration, then a deep copy
// of the CCD's IED element, which it returns. A CRC is measured on such a copy
// once it is finished, so that the original keeps its full content.
pugi::xml_node copy_ccd(pugi::xml_document& target, pugi::xml_node ccd_root);

// CCD files carry one tab per nesting level on every line, so their size grows
// with the square of the depth: CCDs nested deeper than this are not written
// (their CRCs are computed all the same). Real CCDs nest about ten levels.
inline constexpr std::size_t max_written_depth = 1000;

// The deepest nesting of elements under a node (the node itself is level 1).
std::size_t nesting_depth(pugi::xml_node node);

// The exported document of an IED (with its CRC element); null when the IED has
// no circuits. `crc` receives the CRC text.
std::unique_ptr<Ccd> export_document(const Scd& scd, pugi::xml_node ied, std::string* crc = nullptr);

// False for names that would leave the directory: empty, ".", "..", or with "/" or "\".
bool is_safe_file_name(const std::string& ied_name);

// An export directory, opened once: every file of a run goes into the
// directory that was opened, even when its path is renamed or replaced
// meanwhile, and never through a symbolic link in it.
class ExportDirectory {
 public:
  explicit ExportDirectory(std::string path);
  ~ExportDirectory();
  ExportDirectory(const ExportDirectory&) = delete;
  ExportDirectory& operator=(const ExportDirectory&) = delete;

  const std::string& path() const { return path_; }
  // 0 when the directory is open, else the errno of opening it.
  int error() const { return error_; }
  int descriptor() const { return fd_; }

 private:
  std::string path_;
  int fd_ = -1;
  int error_ = 0;
};

class TemporaryFile;

// An export whose file is written under a temporary name in the directory, its
// way to the disk started, but not yet durable and not yet in place. Files
// staged one after another reach the disk together, instead of one by one.
class StagedExport {
 public:
  StagedExport();
  StagedExport(StagedExport&&) noexcept;
  StagedExport& operator=(StagedExport&&) noexcept;
  ~StagedExport();  // an uncommitted file is removed

  // Status `written` while the file waits for commit_export; otherwise final.
  ExportResult result;

 private:
  friend StagedExport stage_export(const Scd&, pugi::xml_node, const ExportDirectory&);
  friend ExportResult commit_export(StagedExport&);
  std::unique_ptr<TemporaryFile> file_;
  int directory_ = -1;
  std::string file_name_;
};

// Builds the IED's export document and writes it for directory + "/" + IED
// name + ".ccd" under a temporary name.
StagedExport stage_export(const Scd& scd, pugi::xml_node ied, const ExportDirectory& directory);

// Waits until the staged file is on disk, then renames it over its target: the
// target is replaced only by a complete file. A failure removes the file.
ExportResult commit_export(StagedExport& staged);

// Stages and commits one export.
ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const ExportDirectory& directory);
ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const std::string& directory);

}  // namespace ccdcrc
