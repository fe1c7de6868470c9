#pragma once
// Export of an IED's CCD file: the CCD as built, with all descriptions, and a
// last CRC element carrying the CRC of its finished copy and the time.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "files/staged_file.h"
#include "operations/ccd_pipeline.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"
#include "util/parallel.h"

namespace ccdcrc {

enum class ExportStatus { written, no_circuits, unsafe_name, name_taken, too_deep, write_failed, out_of_memory };

struct ExportResult {
  ExportStatus status = ExportStatus::write_failed;
  std::string path;     // the file written, or the one that could not be
  std::string crc;      // the CRC text in the file
  std::string message;  // why it failed
};

// CCD files carry one tab per nesting level on every line, so their size grows
// with the square of the depth: CCDs nested deeper than this are not written
// (their CRCs are computed all the same). Real CCDs nest about ten levels.
inline constexpr std::size_t max_written_depth = 1000;

// The deepest nesting of elements under a node (the node itself is level 1).
std::size_t nesting_depth(pugi::xml_node node);

// The time an export stamps into its CRC element: the instant that
// SOURCE_DATE_EPOCH gives (seconds since 1970, shown in UTC), so that two
// exports of one SCD are the same bytes, or else the local time now. With
// `utc_offset` the time tells its offset from UTC (" +01:00"), as a printed
// record must.
std::string export_timestamp(bool utc_offset = false);

// Closes a built CCD with its CRC element: the CRC of its finished copy, and
// the time; declares on its root the namespace prefixes it uses, as the SCD
// declares them in scope at `scd_ied`. Returns the CRC text.
std::string add_crc_element(Ccd& built, const Scd& scd, pugi::xml_node scd_ied);

// The exported document of an IED (with its CRC element); null when the IED has
// no circuits. `crc` receives the CRC text.
std::unique_ptr<Ccd> export_document(const Scd& scd, pugi::xml_node ied, std::string* crc = nullptr);

// Why NAME.ccd cannot be the file of this IED name, on every platform, so
// that exported folders can be shared with Windows: names that would leave
// the directory (empty, ".", "..", "/", "\"), and names Windows cannot hold
// (device names such as CON, COM0 or LPT¹ with any extension, in any case;
// the characters <>:"|?* and control characters). Empty when it can.
std::string unusable_file_name(const std::string& ied_name);
bool is_safe_file_name(const std::string& ied_name);

// The files one run has written, told apart as a case-insensitive volume
// (NTFS, SMB shares, vfat, exFAT) tells them, in any script (case_folded):
// an export never replaces a file that the same run wrote.
class RunFiles {
 public:
  // The IED whose file the IED name's file would replace; null for none.
  const std::string* written_for(const std::string& ied_name) const;
  void add(const std::string& ied_name);
  // Exports the IED (as export_ied) unless the run wrote its file for
  // another IED: then the result is name_taken.
  ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const Directory& directory);

 private:
  std::map<std::string, std::string> written_;  // the folded file name -> the IED name
};

// The refusal of an IED whose file the run wrote for `earlier`.
ExportResult name_taken(const std::string& ied_name, const std::string& earlier, const Directory& directory);
// The same for a file in `folder` ("" or a path ending in a separator).
ExportResult name_taken(const std::string& ied_name, const std::string& earlier, const std::string& folder);

// The document that `export` writes for the IED (as export_document), or
// null with `result` saying why none is written: a name that cannot be a
// file's, no circuits, or a CCD nested too deep.
std::unique_ptr<Ccd> document_to_write(const Scd& scd, pugi::xml_node ied, ExportResult& result);

// An export whose file is written, but not yet durable and not yet in place.
struct StagedExport {
  ExportResult result;  // status `written` while the file waits for commit_export
  std::optional<StagedFile> file;
  std::string file_name;
};

// Builds the IED's export document and writes it as the directory's file
// IED NAME.ccd, not yet in place. Memory that runs out ends this IED's
// export with status out_of_memory, and leaves no file.
StagedExport stage_export(const Scd& scd, pugi::xml_node ied, const Directory& directory);

// Waits until the staged file is on disk, then renames it over its target: the
// target is replaced only by a complete file. A failure removes the file.
ExportResult commit_export(StagedExport& staged);

// Stages and commits one export.
ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const Directory& directory);

// The export of one IED name as the listing takes it.
struct ListedExport {
  std::string name;
  // nullopt when the IED has no circuits: the listing leaves it out, and so
  // does the export, whatever its name.
  std::optional<ExportResult> result;
};

// Exports every IED name of the SCD as the listing takes it, in byte-wise
// name order, each name on one of `jobs` threads (0: one per core). The files
// are written a batch at a time and made durable together. `progress` counts
// the names done.
std::vector<ListedExport> export_listed_ieds(const Scd& scd, const Directory& directory, unsigned jobs = 1,
                                             const ProgressCallback& progress = {});

}  // namespace ccdcrc
