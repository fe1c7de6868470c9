#include "console/crc_report.h"

namespace ccdcrc {

namespace {

constexpr const char* scd_crc_label = "SCD CRC";

void write_text(std::ostream& out, const CrcReport& report) {
  std::vector<std::string> names;
  for (const IedCrc& ied : report.ieds) names.push_back(ied.name);
  if (report.scd_crc) names.push_back(scd_crc_label);
  const NameColumn column(names);
  for (const IedCrc& ied : report.ieds) {
    column.write(out, ied.name);
    out << ied.crc << '\n';
  }
  if (report.scd_crc) {
    column.write(out, scd_crc_label);
    out << *report.scd_crc << '\n';
  }
}

// One IED per line, so that a diff of two results shows the IEDs that changed.
void write_json_report(std::ostream& out, const CrcReport& report) {
  nlohmann::ordered_json json{{"scd", report.scd_path}};
  if (report.scd_crc) json["scd_crc"] = *report.scd_crc;
  nlohmann::ordered_json& ieds = json["ieds"] = nlohmann::ordered_json::array();
  for (const IedCrc& ied : report.ieds) ieds.push_back({{"name", ied.name}, {"crc", ied.crc}});
  write_json(out, json);
}

void write_csv(std::ostream& out, const CrcReport& report) {
  out << "type,name,crc\n";
  for (const IedCrc& ied : report.ieds) out << "ied," << csv_field(ied.name) << ',' << ied.crc << '\n';
  if (report.scd_crc) out << "scd," << csv_field(report.scd_path) << ',' << *report.scd_crc << '\n';
}

}  // namespace

void write_crc_report(std::ostream& out, Format format, const CrcReport& report) {
  switch (format) {
    case Format::text: write_text(out, report); break;
    case Format::json: write_json_report(out, report); break;
    case Format::csv: write_csv(out, report); break;
  }
}

}  // namespace ccdcrc
