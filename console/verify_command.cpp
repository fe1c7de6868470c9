// `ccdcrc verify FILE... [--scd SCD]`: exported CCD files against their own
// content and, with an SCD, against the CRCs it gives today.

#include <map>
#include <memory>
#include <optional>

#include "console/command.h"
#include "console/scd_input.h"
#include "operations/ccd_pipeline.h"
#include "operations/verification.h"

namespace ccdcrc {

namespace {

struct VerifyOptions {
  std::vector<std::string> files;
  std::string scd;  // empty: check the files against their own content only
  Format format = Format::text;
  bool quiet = false;  // only the files that do not verify
  std::string member;  // of an SCD in a zip archive
};

enum class VerifyStatus { ok, modified, outdated, unreadable };

struct VerifiedFile {
  std::string path;
  VerifyStatus status = VerifyStatus::unreadable;
  CcdFileCheck check;
  std::optional<std::string> current_crc;  // the IED's CRC from the SCD
  std::string outdated_reason;             // when the SCD gives no CRC for the IED
};

const char* verify_status_name(VerifyStatus status) {
  switch (status) {
    case VerifyStatus::ok: return "ok";
    case VerifyStatus::modified: return "modified";
    case VerifyStatus::outdated: return "outdated";
    case VerifyStatus::unreadable: return "unreadable";
  }
  return "";
}

// The SCD that files are compared with: each file with the CRC that `all`
// lists for its IED's name, which is the IED that `export --all` writes.
class CurrentCrcs {
 public:
  explicit CurrentCrcs(const Scd& scd) : scd_(scd) {
    for (ListedIed& listed : listed_ieds(scd)) by_name_.emplace(listed.name, std::move(listed));
  }
  const Scd& scd() const { return scd_; }

  // Compares an unmodified file; warns when several IEDs share its name.
  void compare(VerifiedFile& file, Diagnostics& diagnostics) const {
    const std::string& name = file.check.ied_name;
    const auto listed = by_name_.find(name);
    if (listed == by_name_.end()) {
      file.status = VerifyStatus::outdated;
      file.outdated_reason = "the SCD has no IED named " + quoted(name);
      return;
    }
    if (listed->second.count > 1) {
      diagnostics.warning(scd_.path(), shared_name_warning(listed->second.count, name,
                                                           file.path + " is compared with the one 'all' lists"));
    }
    file.current_crc = ied_crc(scd_, listed->second.ied);
    if (!file.current_crc) file.outdated_reason = "the IED has no circuits in the SCD";
    file.status = file.current_crc == file.check.file_crc ? VerifyStatus::ok : VerifyStatus::outdated;
  }

 private:
  const Scd& scd_;
  std::map<std::string, ListedIed> by_name_;
};

VerifiedFile verify_file(const std::string& path, const CurrentCrcs* current, Diagnostics& diagnostics) {
  VerifiedFile file{path, VerifyStatus::unreadable, check_ccd_file(path), std::nullopt, {}};
  switch (file.check.status) {
    case CcdFileStatus::unreadable:
      diagnostics.error(location(path, file.check.position), printable(file.check.problem));
      break;
    case CcdFileStatus::modified: file.status = VerifyStatus::modified; break;
    case CcdFileStatus::ok:
      file.status = VerifyStatus::ok;
      if (current) current->compare(file, diagnostics);
      break;
  }
  return file;
}

void write_text(std::ostream& out, const std::vector<const VerifiedFile*>& files) {
  for (const VerifiedFile* file : files) {
    out << printable(file->path) << ": ";
    switch (file->status) {
      case VerifyStatus::ok: out << "ok"; break;
      case VerifyStatus::modified:
        out << "modified (the CRC element says " << file->check.file_crc << ", the content gives "
            << file->check.content_crc << ")";
        break;
      case VerifyStatus::outdated:
        out << "outdated (" << file->check.file_crc << " in the file, "
            << (file->current_crc ? *file->current_crc + " from the SCD" : file->outdated_reason) << ")";
        break;
      case VerifyStatus::unreadable: out << "unreadable"; break;
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

void write_verify_report(std::ostream& out, Format format, const std::optional<std::string>& scd_path,
                         const std::vector<const VerifiedFile*>& files) {
  if (format == Format::text) return write_text(out, files);
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

int run_verify(const VerifyOptions& options, Console& console) {
  Diagnostics& diagnostics = console.diagnostics;
  bool trouble = false;
  std::unique_ptr<Scd> scd;
  std::optional<CurrentCrcs> current;
  if (!options.scd.empty()) {
    scd = load_scd(options.scd, diagnostics, {options.member, false});
    if (scd) {
      current.emplace(*scd);
    } else {
      trouble = true;  // the files are still checked against their own content
    }
  }
  std::vector<VerifiedFile> files;
  for (const std::string& path : options.files) {
    files.push_back(verify_file(path, current ? &*current : nullptr, diagnostics));
    if (files.back().status == VerifyStatus::unreadable) trouble = true;
  }
  std::vector<const VerifiedFile*> shown;
  std::size_t failures = 0;
  for (const VerifiedFile& file : files) {
    if (file.status != VerifyStatus::ok) ++failures;
    if (!options.quiet || file.status != VerifyStatus::ok) shown.push_back(&file);
  }
  write_verify_report(console.out, options.format, scd ? std::optional(scd->path()) : std::nullopt, shown);
  if (failures > 0) {
    diagnostics.note(std::to_string(failures) + " of " + std::to_string(files.size()) + " CCD" +
                     (files.size() == 1 ? " file" : " files") + " did not verify");
  }
  if (trouble) return exit_usage;
  return failures > 0 ? exit_differences : exit_ok;
}

}  // namespace

void add_verify_command(CLI::App& app, Console& console) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* command = app.add_subcommand("verify", "Check that exported CCD files still match their CRC");
  command->add_option("FILE", options->files, "CCD files written by 'export'")->required()->option_text(" ");
  command->add_option("--scd", options->scd, "also compare with the CRCs that this SCD gives today")
      ->option_text("SCD");
  add_format_option(*command, options->format);
  add_quiet_option(*command, options->quiet, "list only the files that do not verify");
  add_member_option(*command, options->member);
  command->footer(
      "Status: ok, modified (the content no longer gives its CRC), outdated (the SCD gives\n"
      "another CRC), unreadable. Exit status: 0 all ok, 1 some are not, 2 trouble.\n"
      "Examples:\n"
      "  ccdcrc verify ccd/P1.ccd ccd/B2.ccd\n"
      "  ccdcrc verify ccd/*.ccd --scd station.scd");
  command->callback([options, &console] { console.status = run_verify(*options, console); });
}

}  // namespace ccdcrc
