#include "approvals/approved_list.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <nlohmann/json.hpp>
#include <vector>

#include "util/text.h"

namespace ccdcrc {

namespace {

constexpr const char* scd_crc_label = "SCD CRC";
constexpr const char* several_scds = "the list holds the CRCs of several SCDs; a list checks one";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string lower(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return result;
}

std::string bad_crc(std::string_view crc) {
  return "the approved CRC " + quoted(std::string(crc)) + " is not eight hexadecimal digits";
}

void append_utf8(std::string& text, char32_t c);

// UTF-16 text (after its byte-order mark) as UTF-8; unpaired surrogates become U+FFFD.
std::string utf8_of_utf16(std::string_view bytes, bool big_endian) {
  std::string text;
  text.reserve(bytes.size());
  const auto unit = [&](std::size_t i) {
    const auto high = static_cast<unsigned char>(bytes[big_endian ? i : i + 1]);
    const auto low = static_cast<unsigned char>(bytes[big_endian ? i + 1 : i]);
    return static_cast<char32_t>(high << 8 | low);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    append_utf8(text, c);
  }
  return text;
}

void append_utf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text += static_cast<char>(c);
  } else if (c < 0x800) {
    text += static_cast<char>(0xC0 | c >> 6);
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    text += static_cast<char>(0xE0 | c >> 12);
    text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | c >> 18);
    text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Undoes how the text format shows names (see printable): \\, \n, \t, \xHH
// and \uHHHH.
std::string unescaped(std::string_view name) {
  std::string result;
  const auto hex = [&](std::size_t from, std::size_t count) {
    if (from + count > name.size()) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(from),
                       name.begin() + static_cast<std::ptrdiff_t>(from + count),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
  };
  const auto number = [&](std::size_t from, std::size_t count) {
    return static_cast<char32_t>(std::stoul(std::string(name.substr(from, count)), nullptr, 16));
  };
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char next = i + 1 < name.size() ? name[i + 1] : '\0';
    const bool escape = name[i] == '\\';
    if (escape && (next == 'n' || next == 't' || next == '\\')) {
      result += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
      ++i;
    } else if (escape && next == 'x' && hex(i + 2, 2)) {
      result += static_cast<char>(number(i + 2, 2));
      i += 3;
    } else if (escape && next == 'u' && hex(i + 2, 4)) {
      append_utf8(result, number(i + 2, 4));
      i += 5;
    } else {
      result += name[i];
    }
  }
  return result;
}

// Lines of a text, with their numbers; a CR before the LF is dropped.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool next(std::string_view& line) {
    if (position_ >= text_.size()) return false;
    const std::size_t end = std::min(text_.find('\n', position_), text_.size());
    line = text_.substr(position_, end - position_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    position_ = end + 1;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t number_ = 0;
};

// Splits "NAME  CRC", "NAME:CRC", "NAME: CRC" (as the menu prints them) or
// "NAME,CRC" (a list pasted without its header) after the last blank, ':',
// ',' or ';'. An IED name holds no ':', so one that ends a name is dropped.
std::optional<std::pair<std::string_view, std::string_view>> name_and_crc(std::string_view line) {
  const std::size_t split = line.find_last_of(" \t:,;");
  if (split == std::string_view::npos) return std::nullopt;
  std::string_view name = trimmed(line.substr(0, split));
  if (name.ends_with(':')) name = trimmed(name.substr(0, name.size() - 1));
  return std::pair{name, line.substr(split + 1)};
}

// The text that `all` prints: "NAME  CRC" lines, "SCD CRC  CRC", and with
// several SCDs a "PATH:" line before each one's block.
std::optional<ApprovedListProblem> read_text(std::string_view text, ApprovedListReceiver& receiver) {
  Lines lines(text);
  std::string_view line;
  bool headed = false;
  std::size_t entries = 0;
  while (lines.next(line)) {
    line = trimmed(line);
    if (line.empty()) continue;
    if (line.back() == ':') {
      if (headed) return ApprovedListProblem{lines.number(), several_scds};
      headed = true;  // the block of one SCD, as `all` heads it among several
      continue;
    }
    const auto fields = name_and_crc(line);
    const bool first = !entries++;
    if (first && fields && !approved_crc_text(fields->second) && line.find_first_of(",;\t") != std::string_view::npos) {
      // A header, but not one of a CSV list: what its columns hold is a guess.
      return ApprovedListProblem{lines.number(),
                                 std::string("a header without a 'crc' column: ") + approved_list_layout};
    }
    if (!fields || fields->first.empty()) {
      receiver.malformed(lines.number(), "expected an IED name and its CRC", std::nullopt);
      continue;
    }
    const std::string name = unescaped(fields->first);
    const std::string_view crc_field = fields->second;
    const std::optional<std::string> crc = approved_crc_text(crc_field);
    if (!crc && name == scd_crc_label) {
      receiver.unreadable_scd(lines.number(), bad_crc(crc_field));
    } else if (!crc) {
      receiver.malformed(lines.number(), bad_crc(crc_field), name);
    } else if (name == scd_crc_label) {
      receiver.scd(lines.number(), *crc);
    } else {
      receiver.ied(lines.number(), name, *crc);
    }
  }
  return std::nullopt;
}

// One record of CSV text with a given separator; quoted fields may hold
// separators, doubled quotes and line ends (RFC 4180).
class CsvRecords {
 public:
  CsvRecords(std::string_view text, char separator) : text_(text), separator_(separator) {}

  // False at the end of the text. A malformed record leaves `problem` set;
  // `lost` is then true when the rest of the text cannot be read either.
  bool next(std::vector<std::string>& fields, std::string& problem, bool& lost) {
    if (position_ >= text_.size()) return false;
    fields.assign(1, std::string());
    problem.clear();
    lost = false;
    start_line_ = line_;
    bool quoted = false;
    bool after_quote = false;
    while (position_ < text_.size()) {
      const char c = text_[position_++];
      if (quoted) {
        if (c == '"') {
          quoted = false;
          after_quote = true;
        } else {
          if (c == '\n') ++line_;
          fields.back() += c;
        }
      } else if (c == '\n' || (c == '\r' && position_ < text_.size() && text_[position_] == '\n')) {
        if (c == '\r') ++position_;
        ++line_;
        return true;
      } else if (c == '"' && after_quote) {  // a doubled quote inside a quoted field
        fields.back() += '"';
        quoted = true;
        after_quote = false;
      } else if (c == '"' && fields.back().empty()) {
        quoted = true;
      } else if (c == separator_) {
        fields.emplace_back();
        after_quote = false;
      } else if (after_quote) {
        problem = "text after the closing quote of a field";
        skip_line();
        return true;
      } else {
        fields.back() += c;
      }
    }
    if (quoted) {
      problem = "a quoted field is not closed";
      lost = true;
    }
    return true;
  }

  std::size_t line() const { return start_line_; }

 private:
  void skip_line() {
    const std::size_t end = text_.find('\n', position_);
    position_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++line_;
  }

  std::string_view text_;
  char separator_;
  std::size_t position_ = 0;
  std::size_t line_ = 1;
  std::size_t start_line_ = 1;
};

// The columns a CSV list uses, by their header; npos when absent.
struct CsvColumns {
  static constexpr std::size_t none = std::string::npos;
  char separator = ',';
  std::vector<std::string> header;
  std::size_t name = none, crc = none, type = none, file = none, version = none, revision = none;

  std::size_t needed() const { return std::max({name, crc, type == none ? 0 : type}) + 1; }
};

// The header of a CSV list: the first line that is not blank, split at the
// separator that gives both `name` and `crc` columns.
std::optional<CsvColumns> csv_columns(std::string_view text) {
  Lines lines(text);
  std::string_view line;
  while (lines.next(line) && trimmed(line).empty()) {
  }
  for (const char separator : {',', ';', '\t'}) {
    CsvRecords record(line, separator);
    std::vector<std::string> fields;
    std::string problem;
    bool lost = false;
    if (!record.next(fields, problem, lost) || !problem.empty()) continue;
    CsvColumns columns;
    columns.separator = separator;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::string key = lower(trimmed(fields[i]));
      for (auto [column, wanted] :
           std::array<std::pair<std::size_t*, const char*>, 6>{{{&columns.name, "name"},
                                                                {&columns.crc, "crc"},
                                                                {&columns.type, "type"},
                                                                {&columns.file, "file"},
                                                                {&columns.version, "header_version"},
                                                                {&columns.revision, "header_revision"}}}) {
        if (key == wanted && *column == CsvColumns::none) *column = i;
      }
    }
    columns.header = std::move(fields);
    if (columns.name != CsvColumns::none && columns.crc != CsvColumns::none) return columns;
  }
  return std::nullopt;
}

// A field as the program wrote it, without the apostrophe that keeps a
// spreadsheet from running it as a formula.
std::string unguarded(const std::string& field) {
  const bool guarded =
      field.size() > 2 && field[0] == '\'' && std::string_view("=+-@\t\r").find(field[1]) != std::string_view::npos;
  return guarded ? field.substr(1) : field;
}

// Reads the records of a CSV list after its header.
class CsvList {
 public:
  CsvList(const CsvColumns& columns, ApprovedListReceiver& receiver) : columns_(columns), receiver_(receiver) {}

  std::optional<ApprovedListProblem> read(std::string_view text) {
    CsvRecords records(text, columns_.separator);
    std::vector<std::string> fields;
    std::string problem;
    bool lost = false;
    bool header_passed = false;
    while (records.next(fields, problem, lost)) {
      if (lost) {
        receiver_.incomplete(records.line(), problem + "; the rest of the file is not read");
        break;
      }
      if (!problem.empty()) {
        receiver_.malformed(records.line(), problem, std::nullopt);
        continue;
      }
      if (std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return trimmed(f).empty(); })) continue;
      if (!header_passed) {
        header_passed = true;  // the header line itself
        continue;
      }
      if (auto several = record(records.line(), fields)) return several;
    }
    return std::nullopt;
  }

 private:
  std::string field(const std::vector<std::string>& fields, std::size_t column) const {
    return column < fields.size() ? unguarded(fields[column]) : std::string();
  }

  // An empty field records nothing.
  std::optional<std::string> recorded(const std::vector<std::string>& fields, std::size_t column) const {
    if (column == CsvColumns::none || column >= fields.size() || fields[column].empty()) return std::nullopt;
    return unguarded(fields[column]);
  }

  // Each record of one SCD: the file and the scd record, at most one.
  std::optional<ApprovedListProblem> same_scd(std::size_t line, const std::vector<std::string>& fields) {
    if (columns_.file == CsvColumns::none) return std::nullopt;
    const std::string file = field(fields, columns_.file);
    if (!file_) file_ = file;
    if (*file_ != file) return ApprovedListProblem{line, several_scds};
    return std::nullopt;
  }

  std::optional<ApprovedListProblem> record(std::size_t line, const std::vector<std::string>& fields) {
    if (fields.size() < columns_.needed()) {
      std::string layout;
      for (std::size_t i = 0; i < columns_.needed() && i < columns_.header.size(); ++i) {
        layout += (i ? std::string(1, columns_.separator == '\t' ? ',' : columns_.separator) : "") +
                  std::string(trimmed(columns_.header[i]));
      }
      const std::optional<std::string> name =
          columns_.name < fields.size() ? std::optional(field(fields, columns_.name)) : std::nullopt;
      receiver_.malformed(line,
                          "expected " + std::to_string(columns_.needed()) + " fields (" + layout + "), found " +
                              std::to_string(fields.size()),
                          name);
      return std::nullopt;
    }
    std::string type = columns_.type == CsvColumns::none ? "ied" : lower(trimmed(fields[columns_.type]));
    if (type.empty()) type = "ied";
    if (type != "ied" && type != "scd") {
      receiver_.malformed(
          line, "unknown record type " + quoted(std::string(fields[columns_.type])) + " ('ied' or 'scd' expected)",
          std::nullopt);
      return std::nullopt;
    }
    if (auto several = same_scd(line, fields)) return several;
    const std::string& crc_field = fields[columns_.crc];
    const std::optional<std::string> crc = approved_crc_text(crc_field);
    if (type == "scd") {
      if (scd_line_) return ApprovedListProblem{line, several_scds};
      scd_line_ = line;
      if (crc) receiver_.scd(line, *crc);
      if (!crc) receiver_.unreadable_scd(line, bad_crc(crc_field));
      if (columns_.version != CsvColumns::none || columns_.revision != CsvColumns::none) {
        receiver_.header(recorded(fields, columns_.version), recorded(fields, columns_.revision));
      }
    } else if (crc) {
      receiver_.ied(line, field(fields, columns_.name), *crc);
    } else {
      receiver_.malformed(line, bad_crc(crc_field), field(fields, columns_.name));
    }
    return std::nullopt;
  }

  const CsvColumns& columns_;
  ApprovedListReceiver& receiver_;
  std::optional<std::string> file_;
  std::optional<std::size_t> scd_line_;
};

// Hands the JSON parser the characters of a text and counts the lines it has
// passed, so that each value's line is known as it is parsed.
struct JsonPlace {
  const char* furthest = nullptr;
  std::size_t line = 1;
};

class TrackedChars {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackedChars(const char* position, JsonPlace* place) : position_(position), place_(place) {}
  reference operator*() const { return *position_; }
  TrackedChars& operator++() {
    if (position_ == place_->furthest) {
      if (*position_ == '\n') ++place_->line;
      ++place_->furthest;
    }
    ++position_;
    return *this;
  }
  TrackedChars operator++(int) {
    TrackedChars before = *this;
    ++*this;
    return before;
  }
  bool operator==(const TrackedChars& other) const { return position_ == other.position_; }
  bool operator!=(const TrackedChars& other) const { return position_ != other.position_; }

 private:
  const char* position_;
  JsonPlace* place_;
};

// The JSON that `all --format json` writes: "ieds" (objects with the strings
// "name" and "crc"), and "scd_crc" and "header" when present. Each entry is
// handed over and dropped as soon as it is parsed.
class JsonList {
 public:
  JsonList(std::string_view text, ApprovedListReceiver& receiver) : text_(text), receiver_(receiver) {}

  std::optional<ApprovedListProblem> read() {
    JsonPlace place{text_.data(), 1};
    nlohmann::json document;
    try {
      document =
          nlohmann::json::parse(TrackedChars(text_.data(), &place), TrackedChars(text_.data() + text_.size(), &place),
                                [this, &place](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
                                  return keep(depth, event, parsed, place.line);
                                });
    } catch (const nlohmann::json::parse_error& error) {
      const std::size_t at = error.byte == 0 ? 0 : error.byte - 1;
      if (at < text_.size() && text_[at] == '{' &&
          std::string(error.what()).find("end of input") != std::string::npos) {
        return ApprovedListProblem{place.line, several_scds};
      }
      return ApprovedListProblem{place.line, "not valid JSON: " + reason(error)};
    } catch (const nlohmann::json::exception& error) {
      return ApprovedListProblem{place.line, "not valid JSON: " + reason(error)};
    }
    if (!document.is_object() || !document.contains("ieds") || !document["ieds"].is_array()) {
      return ApprovedListProblem{1, "no \"ieds\" array: expected the JSON that 'ccdcrc all --format json' writes"};
    }
    if (const auto header = document.find("header"); header != document.end() && header->is_object()) {
      receiver_.header(text_member(*header, "version"), text_member(*header, "revision"));
    }
    return std::nullopt;
  }

 private:
  static std::string reason(const nlohmann::json::exception& error) {
    std::string message = error.what();
    const std::size_t syntax = message.find("syntax error");
    if (syntax != std::string::npos) return message.substr(syntax);
    const std::size_t bracket = message.find("] ");
    return bracket == std::string::npos ? message : message.substr(bracket + 2);
  }

  static std::optional<std::string> text_member(const nlohmann::json& object, const char* key) {
    const auto member = object.find(key);
    if (member == object.end() || !member->is_string()) return std::nullopt;
    return member->get<std::string>();
  }

  // The parser's callback: true keeps a value in the document.
  bool keep(int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed, std::size_t line) {
    using Event = nlohmann::json::parse_event_t;
    if (depth == 1 && event == Event::key) {
      top_key_ = parsed.is_string() ? parsed.get<std::string>() : std::string();
      return true;
    }
    const bool starts = event == Event::object_start || event == Event::array_start || event == Event::value;
    if (depth == 1 && starts) {
      if (top_key_ == "ieds") return event == Event::array_start;
      if (top_key_ == "scd_crc" && event == Event::value) return scd_crc(parsed, line);
      return top_key_ == "header";
    }
    if (depth != 2 || top_key_ != "ieds") return true;
    if (event == Event::object_start) {
      entry_line_ = line;
      return true;
    }
    if (event == Event::object_end) {
      entry(parsed);
      return false;
    }
    if (starts) entry(parsed, line);
    return false;
  }

  bool scd_crc(const nlohmann::json& value, std::size_t line) {
    if (value.is_null()) return false;
    const std::optional<std::string> crc =
        value.is_string() ? approved_crc_text(value.get<std::string>()) : std::nullopt;
    if (crc) {
      receiver_.scd(line, *crc);
    } else {
      receiver_.unreadable_scd(line, "\"scd_crc\" is not a CRC of eight hexadecimal digits");
    }
    return false;
  }

  void entry(const nlohmann::json& object, std::size_t line = 0) {
    ++entries_;
    if (line == 0) line = entry_line_;
    const std::optional<std::string> name = object.is_object() ? text_member(object, "name") : std::nullopt;
    const std::optional<std::string> crc_field = object.is_object() ? text_member(object, "crc") : std::nullopt;
    if (!name || !crc_field) {
      receiver_.malformed(
          line,
          "entry " + std::to_string(entries_) + " of \"ieds\" is not an object with the strings \"name\" and \"crc\"",
          name);
    } else if (const std::optional<std::string> crc = approved_crc_text(*crc_field)) {
      receiver_.ied(line, *name, *crc);
    } else {
      receiver_.malformed(line, bad_crc(*crc_field), name);
    }
  }

  std::string_view text_;
  ApprovedListReceiver& receiver_;
  std::string top_key_;
  std::size_t entry_line_ = 0;
  std::size_t entries_ = 0;
};

}  // namespace

std::optional<std::string> approved_crc_text(std::string_view text) {
  text = trimmed(text);
  if (text.size() != 8) return std::nullopt;
  std::string crc(text);
  for (char& c : crc) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return crc;
}

std::optional<ApprovedListProblem> read_approved_list(std::string_view bytes, ApprovedListReceiver& receiver,
                                                      ApprovedListFormat* format) {
  std::string decoded;
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    decoded = utf8_of_utf16(bytes.substr(2), bytes[0] == '\xFE');
    bytes = decoded;
  } else if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
  }
  ApprovedListFormat found = ApprovedListFormat::text;
  std::optional<ApprovedListProblem> problem;
  const std::size_t first = std::find_if_not(bytes.begin(), bytes.end(), is_blank) - bytes.begin();
  if (first == bytes.size()) {
    problem = ApprovedListProblem{0, "the file is empty"};
  } else if (bytes[first] == '{') {
    found = ApprovedListFormat::json;
    problem = JsonList(bytes, receiver).read();
  } else if (const std::optional<CsvColumns> columns = csv_columns(bytes)) {
    found = ApprovedListFormat::csv;
    problem = CsvList(*columns, receiver).read(bytes);
  } else {
    problem = read_text(bytes, receiver);
  }
  if (format) *format = found;
  return problem;
}

}  // namespace ccdcrc
