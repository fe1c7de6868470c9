#include "console/formats.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace ccdcrc {

namespace {

constexpr const char* scd_crc_label = "SCD CRC";

// Characters on screen: UTF-8 continuation bytes take no column.
std::size_t display_width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

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

// Indented, with one IED per line, so that a diff of two results shows the IEDs that changed.
void write_json(std::ostream& out, const CrcReport& report) {
  out << "{\n  \"scd\": " << json_string(report.scd_path) << ",\n";
  if (report.scd_crc) out << "  \"scd_crc\": " << json_string(*report.scd_crc) << ",\n";
  out << "  \"ieds\": [";
  for (std::size_t i = 0; i < report.ieds.size(); ++i) {
    out << (i ? ",\n" : "\n") << "    {\"name\": " << json_string(report.ieds[i].name)
        << ", \"crc\": " << json_string(report.ieds[i].crc) << "}";
  }
  out << (report.ieds.empty() ? "]" : "\n  ]") << "\n}\n";
}

void write_csv(std::ostream& out, const CrcReport& report) {
  out << "type,name,crc\n";
  for (const IedCrc& ied : report.ieds) out << "ied," << csv_field(ied.name) << ',' << ied.crc << '\n';
  if (report.scd_crc) out << "scd," << csv_field(report.scd_path) << ',' << *report.scd_crc << '\n';
}

}  // namespace

void write_report(std::ostream& out, Format format, const CrcReport& report) {
  switch (format) {
    case Format::text:
      write_text(out, report);
      break;
    case Format::json:
      write_json(out, report);
      break;
    case Format::csv:
      write_csv(out, report);
      break;
  }
}

std::string json_string(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string printable(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      result += "\\n";
    } else if (c == '\t') {
      result += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char digits[] = "0123456789ABCDEF";
      result += "\\x";
      result += digits[byte >> 4];
      result += digits[byte & 0x0F];
    } else {
      result += c;
    }
  }
  return result;
}

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

NameColumn::NameColumn(const std::vector<std::string>& names) {
  for (const std::string& name : names) width_ = std::max(width_, display_width(printable(name)));
}

void NameColumn::write(std::ostream& out, const std::string& name) const {
  const std::string shown = printable(name);
  out << shown << std::string(width_ - std::min(width_, display_width(shown)) + 2, ' ');
}

}  // namespace ccdcrc
