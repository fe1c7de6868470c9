#include "report/verify_report.h"

#include <utility>

namespace ccdcrc {

namespace {

StatusTone tone_of(VerifyStatus status) {
  switch (status) {
    case VerifyStatus::ok: return StatusTone::same;
    case VerifyStatus::modified:
    case VerifyStatus::outdated: return StatusTone::changed;
    case VerifyStatus::unreadable: return StatusTone::gone;
  }
  return StatusTone::gone;
}

void write_text(std::ostream& out, const std::vector<const VerifiedFile*>& files, const TextStyle& style) {
  for (const VerifiedFile* file : files) {
    out << printable_path(file->path) << ": " << style.status(verify_status_name(file->status), tone_of(file->status));
    switch (file->status) {
      case VerifyStatus::ok:
      case VerifyStatus::unreadable: break;
      case VerifyStatus::modified:
        out << " (the CRC element says " << file->check.file_crc << ", the content gives " << file->check.content_crc
            << ")";
        break;
      case VerifyStatus::outdated:
        out << " (" << file->check.file_crc << " in the file, "
            << (file->current_crc ? *file->current_crc + " from the SCD" : file->outdated_reason) << ")";
        break;
    }
    out << '\n';
  }
}

// The fields of a file as JSON and CSV write them; the CRCs of a file that
// could not be read are unknown.
std::vector<std::pair<const char*, std::optional<std::string>>> fields(const VerifiedFile& file) {
  const auto known = [&file](const std::string& text) {
    return file.status == VerifyStatus::unreadable ? std::nullopt : std::optional<std::string>(text);
  };
  return {{"file", file.path},
          {"ied", known(file.check.ied_name)},
          {"status", verify_status_name(file.status)},
          {"file_crc", known(file.check.file_crc)},
          {"content_crc", known(file.check.content_crc)},
          {"current_crc", file.current_crc}};
}

}  // namespace

void write_verify_report(std::ostream& out, Format format, const std::optional<std::string>& scd_path,
                         const std::vector<const VerifiedFile*>& files, const TextStyle& style) {
  if (format == Format::text) return write_text(out, files, style);
  if (format == Format::csv) {
    out << "file,ied,status,file_crc,content_crc,current_crc\n";
    for (const VerifiedFile* file : files) {
      const char* separator = "";
      for (const auto& [key, value] : fields(*file)) {
        out << separator << (value ? csv_field(*value) : "");
        separator = ",";
      }
      out << '\n';
    }
    return;
  }
  // A value at a time: no JSON tree is destroyed when memory runs out.
  JsonStream json(out);
  json.open_object();
  if (scd_path) json.member("scd", *scd_path);
  json.key("files");
  json.open_array();
  for (const VerifiedFile* file : files) {
    json.open_object();
    for (const auto& [key, value] : fields(*file)) json.member(key, json_text(value));
    json.close();
  }
  json.close();
  json.close();
}

}  // namespace ccdcrc
