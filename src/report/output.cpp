#include "report/output.h"

#include <algorithm>
#include <string_view>

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

std::size_t JsonStream::start_value() {
  if (levels_.empty()) return 0;
  Level& level = levels_.back();
  if (level.object) return level.members_on_lines ? level.indent + 2 : level.indent;
  // An item of an array: each on a line of its own.
  out_ << (level.count++ ? ",\n" : "\n") << std::string(level.indent + 2, ' ');
  return level.indent + 2;
}

void JsonStream::open_object() {
  const bool report = levels_.empty();
  const std::size_t indent = start_value();
  out_ << '{';
  levels_.push_back({true, report, indent, 0});
}

void JsonStream::open_array() {
  const std::size_t indent = start_value();
  out_ << '[';
  levels_.push_back({false, false, indent, 0});
}

void JsonStream::key(const std::string& name) {
  Level& level = levels_.back();
  if (level.members_on_lines) {
    out_ << (level.count ? ",\n" : "\n") << std::string(level.indent + 2, ' ');
  } else if (level.count) {
    out_ << ", ";
  }
  ++level.count;
  out_ << scalar(name) << ": ";
}

void JsonStream::value(const nlohmann::ordered_json& value) {
  const std::size_t indent = start_value();
  write_value(out_, value, indent, false);
}

void JsonStream::close() {
  const Level level = levels_.back();
  levels_.pop_back();
  if (level.count && (level.members_on_lines || !level.object)) out_ << '\n' << std::string(level.indent, ' ');
  out_ << (level.object ? '}' : ']');
  if (levels_.empty()) out_ << '\n';
}

std::string csv_field(const std::string& text) {
  // A spreadsheet runs a cell that starts with one of these as a formula
  // (=HYPERLINK(...) in an IED name): an apostrophe first makes it text.
  const bool formula = text.size() > 1 && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
  std::string cell = formula ? "'" + text : text;
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string field = "\"";
  for (char c : cell) {
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
