#include "operations/export.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <new>
#include <set>
#include <string_view>
#include <utility>

#include "crc/canonical.h"
#include "system/clock.h"
#include "system/files.h"
#include "util/case_folding.h"
#include "util/nodes.h"
#include "util/text.h"

namespace ccdcrc {

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

namespace {

// The offset of local time `local` from UTC `utc` (the same instant): " +HH:MM".
std::string utc_offset_text(const std::tm& local, const std::tm& utc) {
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  const int minutes = ((days * 24 + local.tm_hour - utc.tm_hour) * 60) + local.tm_min - utc.tm_min;
  const int magnitude = minutes < 0 ? -minutes : minutes;
  char text[16];
  std::snprintf(text, sizeof text, " %c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60 % 100, magnitude % 60);
  return text;
}

}  // namespace

std::string export_timestamp(bool utc_offset) {
  std::time_t when = std::time(nullptr);
  bool universal = false;
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
    long long seconds = 0;
    const char* end = epoch + std::strlen(epoch);
    const auto [stop, error] = std::from_chars(epoch, end, seconds);
    if (error == std::errc() && stop == end && seconds >= 0) {
      when = static_cast<std::time_t>(seconds);
      universal = true;
    }
  }
  const std::tm parts = universal ? universal_time(when) : local_time(when);
  char buffer[100];
  const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &parts);
  std::string text(buffer, length);
  if (utc_offset) text += utc_offset_text(parts, universal_time(when));
  return text;
}

namespace {

// The prefix of a qualified name; empty for none.
std::string_view prefix_of(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

// The prefixes that the elements and attributes under `root` use, "xml" and
// the declarations themselves aside.
std::set<std::string, std::less<>> used_prefixes(pugi::xml_node root) {
  std::set<std::string, std::less<>> prefixes;
  const auto use = [&](std::string_view name) {
    const std::string_view prefix = prefix_of(name);
    if (!prefix.empty() && prefix != "xml" && prefix != "xmlns") prefixes.emplace(prefix);
  };
  pugi::xml_node current = root;
  // Document order through the parent links, without a stack.
  while (current) {
    if (current.type() == pugi::node_element) {
      use(current.name());
      for (const pugi::xml_attribute attribute : current.attributes()) use(attribute.name());
    }
    if (pugi::xml_node child = current.first_child()) {
      current = child;
      continue;
    }
    while (current != root && !current.next_sibling()) current = current.parent();
    current = current == root ? pugi::xml_node() : current.next_sibling();
  }
  return prefixes;
}

// Declares on the root of an exported CCD the prefixes it uses (copied
// xsi:type attributes, vendor extensions), with the URIs the SCD gives them
// where the IED stands, so that namespace-aware readers accept the file.
// The finishing drops the root's attributes, so no CRC sees them.
void declare_prefixes(pugi::xml_node root, const Scd& scd, pugi::xml_node scd_ied) {
  for (const std::string& prefix : used_prefixes(root)) {
    const std::string declaration = "xmlns:" + prefix;
    if (root.attribute(declaration.c_str())) continue;
    std::string uri;
    for (pugi::xml_node scope = scd_ied; scope && uri.empty(); scope = scd.parent(scope)) {
      uri = scope.attribute(declaration.c_str()).value();
    }
    if (uri.empty() && prefix == "xsi") uri = "http://www.w3.org/2001/XMLSchema-instance";
    if (!uri.empty()) add_attribute(root, declaration.c_str(), uri.c_str());
  }
}

}  // namespace

std::string add_crc_element(Ccd& built, const Scd& scd, pugi::xml_node scd_ied) {
  // The CRC is measured on a finished copy; the exported document keeps everything.
  std::string crc = finish_copy(built.root)->crc;
  declare_prefixes(built.root, scd, scd_ied);
  pugi::xml_node crc_element = add_element(built.root, "CRC");
  add_attribute(crc_element, "id", crc.c_str());
  add_attribute(crc_element, "timestamp", export_timestamp().c_str());
  return crc;
}

std::unique_ptr<Ccd> export_document(const Scd& scd, pugi::xml_node ied, std::string* crc) {
  std::unique_ptr<Ccd> ccd = build_ied_ccd(scd, ied);
  if (ccd->nothing_found) return nullptr;
  std::string crc_text = add_crc_element(*ccd, scd, ied);
  if (crc) *crc = std::move(crc_text);
  return ccd;
}

namespace {

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with a
// superscript 1, 2 or 3): devices wherever they stand, also with an extension
// and with spaces before it.
bool is_device_name(std::string_view name) {
  std::string base(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = ascii_upper(c);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (base == device) return true;
  }
  if (!base.starts_with("COM") && !base.starts_with("LPT")) return false;
  const std::string_view number = std::string_view(base).substr(3);
  // The superscripts in UTF-8: U+00B9, U+00B2, U+00B3.
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" || number == "\xC2\xB2" ||
         number == "\xC2\xB3";
}
}  // namespace

std::string unusable_file_name(const std::string& ied_name) {
  if (ied_name.empty() || ied_name == "." || ied_name == ".." || ied_name.find_first_of("/\\") != std::string::npos) {
    return "it is empty, '.' or '..', or holds '/' or '\\'";
  }
  if (is_device_name(ied_name)) return "Windows reserves " + ied_name + ".ccd for a device";
  if (const std::size_t at = ied_name.find_first_of("<>:\"|?*"); at != std::string::npos) {
    return std::string("it holds '") + ied_name[at] + "', which Windows does not allow in file names";
  }
  const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  if (std::any_of(ied_name.begin(), ied_name.end(), control)) return "it holds a control character";
  return {};
}

bool is_safe_file_name(const std::string& ied_name) { return unusable_file_name(ied_name).empty(); }

const std::string* RunFiles::written_for(const std::string& ied_name) const {
  const auto found = written_.find(case_folded(ied_name));
  return found == written_.end() ? nullptr : &found->second;
}

void RunFiles::add(const std::string& ied_name) { written_.emplace(case_folded(ied_name), ied_name); }

ExportResult name_taken(const std::string& ied_name, const std::string& earlier, const Directory& directory) {
  return name_taken(ied_name, earlier, file_in(directory.path(), ""));
}

ExportResult name_taken(const std::string& ied_name, const std::string& earlier, const std::string& folder) {
  ExportResult result;
  result.status = ExportStatus::name_taken;
  result.path = folder + ied_name + ".ccd";
  result.message = "its file would replace " + earlier + ".ccd, written for IED " + quoted(earlier) +
                   " in this run (names that differ only in case name one file on Windows)";
  return result;
}

std::unique_ptr<Ccd> document_to_write(const Scd& scd, pugi::xml_node ied, ExportResult& result) {
  const auto fail = [&](ExportStatus status, std::string message) {
    result.status = status;
    result.message = std::move(message);
    return nullptr;
  };
  if (!is_safe_file_name(attr(ied, "name"))) {
    return fail(ExportStatus::unsafe_name, "the IED name cannot be used as a file name");
  }
  std::unique_ptr<Ccd> ccd = export_document(scd, ied, &result.crc);
  if (!ccd) return fail(ExportStatus::no_circuits, "the IED has no GOOSE or sampled-value circuits");
  if (const std::size_t depth = nesting_depth(ccd->root); depth > max_written_depth) {
    return fail(ExportStatus::too_deep, "its CCD nests elements " + std::to_string(depth) +
                                            " levels deep; files of at most " + std::to_string(max_written_depth) +
                                            " levels are written");
  }
  return ccd;
}

namespace {

StagedExport stage(const Scd& scd, pugi::xml_node ied, const Directory& directory) {
  StagedExport staged;
  ExportResult& result = staged.result;
  staged.file_name = attr(ied, "name") + ".ccd";
  result.path = file_in(directory.path(), staged.file_name);
  const std::unique_ptr<Ccd> ccd = document_to_write(scd, ied, result);
  if (!ccd) return staged;
  const auto fail = [&](ExportStatus status, std::string message) {
    result.status = status;
    result.message = std::move(message);
    return std::move(staged);
  };
  StagedFile& file = staged.file.emplace(directory);
  if (file.error() == 0) save_ccd(ccd->document, file.writer());
  if (const int error = file.finish_writing(); error != 0) {
    staged.file.reset();
    return fail(ExportStatus::write_failed, std::strerror(error));
  }
  result.status = ExportStatus::written;
  return staged;
}

}  // namespace

StagedExport stage_export(const Scd& scd, pugi::xml_node ied, const Directory& directory) {
  try {
    return stage(scd, ied, directory);
  } catch (const std::bad_alloc&) {
    StagedExport failed;
    failed.result.status = ExportStatus::out_of_memory;
    failed.result.message = "not enough memory";
    failed.result.path = file_in(directory.path(), attr(ied, "name") + ".ccd");
    return failed;
  }
}

ExportResult commit_export(StagedExport& staged) {
  ExportResult result = std::move(staged.result);
  staged.result.status = ExportStatus::write_failed;  // a second commit has nothing left to do
  std::optional<StagedFile> file = std::move(staged.file);
  staged.file.reset();
  if (result.status != ExportStatus::written) return result;
  try {
    if (const int error = file->commit(staged.file_name); error != 0) {
      result.status = ExportStatus::write_failed;
      result.message = std::strerror(error);
    }
  } catch (const std::bad_alloc&) {
    file.reset();  // removes what is not in place yet
    result.status = ExportStatus::out_of_memory;
    result.message = "not enough memory";
  }
  return result;
}

ExportResult export_ied(const Scd& scd, pugi::xml_node ied, const Directory& directory) {
  StagedExport staged = stage_export(scd, ied, directory);
  return commit_export(staged);
}

ExportResult RunFiles::export_ied(const Scd& scd, pugi::xml_node ied, const Directory& directory) {
  const std::string name = attr(ied, "name");
  if (const std::string* earlier = written_for(name)) return name_taken(name, *earlier, directory);
  ExportResult result = ccdcrc::export_ied(scd, ied, directory);
  if (result.status == ExportStatus::written) add(name);
  return result;
}

namespace {

// Files written before they are made durable together. Each holds a
// descriptor open until then: a quarter of the process's limit at most.
std::size_t files_per_batch() {
  constexpr std::size_t most = 64;
  return std::clamp<std::size_t>(open_file_limit() / 4, 1, most);
}

std::optional<StagedExport> stage_listed(const Scd& scd, const ListedIed& listed, const Directory& directory) {
  if (!is_safe_file_name(listed.name) && !has_circuits(scd, listed.ied)) return std::nullopt;
  StagedExport staged = stage_export(scd, listed.ied, directory);
  if (staged.result.status == ExportStatus::no_circuits) return std::nullopt;
  return staged;
}

}  // namespace

namespace {

// For each name, the IED earlier in the listing, and exported, whose file
// takes its file's place; empty for none. Only names that differ in nothing
// but case are looked at closer.
std::vector<std::string> taken_names(const Scd& scd, const std::vector<ListedIed>& listed) {
  std::map<std::string, std::size_t> count;
  for (const ListedIed& ied : listed) ++count[case_folded(ied.name)];
  std::vector<std::string> taken(listed.size());
  RunFiles files;
  for (std::size_t k = 0; k < listed.size(); ++k) {
    if (count[case_folded(listed[k].name)] < 2 || !is_safe_file_name(listed[k].name) ||
        !has_circuits(scd, listed[k].ied)) {
      continue;
    }
    if (const std::string* earlier = files.written_for(listed[k].name)) {
      taken[k] = *earlier;
    } else {
      files.add(listed[k].name);
    }
  }
  return taken;
}

}  // namespace

std::vector<ListedExport> export_listed_ieds(const Scd& scd, const Directory& directory, unsigned jobs,
                                             const ProgressCallback& progress) {
  const std::vector<ListedIed> listed = listed_ieds(scd);
  const std::vector<std::string> taken = taken_names(scd, listed);
  std::vector<ListedExport> exports(listed.size());
  const std::size_t batch = files_per_batch();
  for (std::size_t begin = 0; begin < listed.size(); begin += batch) {
    const std::size_t count = std::min(batch, listed.size() - begin);
    std::vector<std::optional<StagedExport>> staged(count);
    parallel_for(
        count, jobs,
        [&](std::size_t k) {
          if (taken[begin + k].empty()) staged[k] = stage_listed(scd, listed[begin + k], directory);
        },
        [&](std::size_t done, std::size_t) {
          if (progress) progress(begin + done, listed.size());
        });
    for (std::size_t k = 0; k < count; ++k) {
      exports[begin + k].name = listed[begin + k].name;
      if (!taken[begin + k].empty()) {
        exports[begin + k].result = name_taken(listed[begin + k].name, taken[begin + k], directory);
      } else if (staged[k]) {
        exports[begin + k].result = commit_export(*staged[k]);
      }
    }
  }
  return exports;
}

}  // namespace ccdcrc
