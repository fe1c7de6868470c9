#include "report/crc_report.h"

namespace ccdcrc {

namespace {

constexpr const char* scd_crc_label = "SCD CRC";

// One IED per line, so that a diff of two results shows the IEDs that changed.
// Written a value at a time: no JSON tree is destroyed when memory runs out.
void write_json_report(std::ostream& out, CrcCommand command, const CrcReport& report) {
  JsonStream json(out);
  json.open_object();
  json.member("scd", report.scd_path);
  if (command == CrcCommand::all) {
    json.member("scd_crc", json_text(report.scd_crc));
    json.key("header");
    write_header(json, report.header);
    json.member("sha256", report.sha256);
  }
  json.key("ieds");
  json.open_array();
  for (const IedCrc& ied : report.ieds) {
    json.open_object();
    json.member("name", ied.name);
    json.member("crc", json_text(ied.crc));
    if (!ied.crc) json.member("error", ied.error);
    json.close();
  }
  json.close();
  json.close();
}

std::string csv_value(const std::optional<std::string>& text) { return text ? csv_field(*text) : ""; }

}  // namespace

void CrcReportWriter::write(const CrcReport& report) {
  switch (format_) {
    case Format::text: write_text(report); break;
    case Format::json: write_json_report(out_, command_, report); break;
    case Format::csv: write_csv(report); break;
  }
  ++written_;
}

void CrcReportWriter::write_text(const CrcReport& report) {
  if (several_) out_ << (written_ ? "\n" : "") << printable_path(report.scd_path) << ":\n";
  std::vector<std::string> names;
  for (const IedCrc& ied : report.ieds) {
    if (ied.crc) names.push_back(ied.name);
  }
  if (report.scd_crc) names.push_back(scd_crc_label);
  const NameColumn column(names);
  for (const IedCrc& ied : report.ieds) {
    if (!ied.crc) continue;  // its reason is on standard error
    column.write(out_, ied.name);
    out_ << *ied.crc << '\n';
  }
  if (report.scd_crc) {
    column.write(out_, scd_crc_label);
    out_ << *report.scd_crc << '\n';
  }
}

// The file on every record, so that the records of several SCDs stay apart;
// what identifies the file on its `scd` record.
void CrcReportWriter::write_csv(const CrcReport& report) {
  const bool all = command_ == CrcCommand::all;
  if (written_ == 0) {
    out_ << (all ? "type,name,crc,file,header_id,header_version,header_revision,sha256\n"
                 : "type,name,crc,file,error\n");
  }
  const std::string file = csv_field(report.scd_path);
  for (const IedCrc& ied : report.ieds) {
    out_ << "ied," << csv_field(ied.name) << ',' << csv_value(ied.crc) << ',' << file;
    if (all) {
      out_ << ",,,,\n";
    } else {
      out_ << ',' << (ied.crc ? std::string() : csv_field(ied.error)) << '\n';
    }
  }
  if (all && report.scd_crc) {
    out_ << "scd," << file << ',' << *report.scd_crc << ',' << file << ',' << csv_value(report.header.id) << ','
         << csv_value(report.header.version) << ',' << csv_value(report.header.revision) << ',' << report.sha256
         << '\n';
  }
}

}  // namespace ccdcrc
