#include "console/output.h"

#include <algorithm>

namespace ccdcrc {

namespace {

// Characters on screen: UTF-8 continuation bytes take no column.
std::size_t display_width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string scalar(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool holds_structures(const nlohmann::ordered_json& array) {
  return std::any_of(array.begin(), array.end(), [](const auto& item) { return item.is_structured(); });
}

// `indent`: the blanks before the line on which the value starts.
void write_value(std::ostream& out, const nlohmann::ordered_json& value, std::size_t indent, bool members_on_lines) {
  if (value.is_object() && !value.empty()) {
    const std::string inner(indent + 2, ' ');
    out << (members_on_lines ? "{\n" : "{");
    bool first = true;
    for (const auto& [key, member] : value.items()) {
      if (!first) out << (members_on_lines ? ",\n" : ", ");
      first = false;
      if (members_on_lines) out << inner;
      out << scalar(key) << ": ";
      write_value(out, member, members_on_lines ? indent + 2 : indent, false);
    }
    if (members_on_lines) out << '\n' << std::string(indent, ' ');
    out << '}';
  } else if (value.is_array() && holds_structures(value)) {
    const std::string inner(indent + 2, ' ');
    out << "[";
    for (std::size_t i = 0; i < value.size(); ++i) {
      out << (i ? ",\n" : "\n") << inner;
      write_value(out, value[i], indent + 2, false);
    }
    out << "\n" << std::string(indent, ' ') << "]";
  } else if (value.is_array()) {
    out << "[";
    for (std::size_t i = 0; i < value.size(); ++i) out << (i ? ", " : "") << scalar(value[i]);
    out << "]";
  } else {
    out << scalar(value);
  }
}

}  // namespace

void write_json(std::ostream& out, const nlohmann::ordered_json& report) {
  write_value(out, report, 0, true);
  out << '\n';
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
