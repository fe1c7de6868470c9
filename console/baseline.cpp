#include "console/baseline.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "console/output.h"
#include "console/scd_input.h"
#include "operations/verification.h"

namespace ccdcrc {

namespace {

constexpr const char* expected_layout = "a list of CRCs as 'ccdcrc all --format csv' or '--format json' writes it";

// Collects the entries of a baseline and reports the ones it rejects.
class BaselineBuilder {
 public:
  BaselineBuilder(const std::string& path, Diagnostics& diagnostics) : path_(path), diagnostics_(diagnostics) {}

  void reject(std::size_t line, const std::string& reason) {
    diagnostics_.error(path_ + ":" + std::to_string(line), reason);
    baseline_.complete = false;
  }

  // False when the CRC text is malformed (and then reported).
  bool check_crc(std::size_t line, const std::string& crc) {
    if (is_crc_text(crc)) return true;
    reject(line, "the CRC " + quoted(crc) + " is not eight upper-case hexadecimal digits");
    return false;
  }

  // An entry of this IED that cannot be used.
  void reject_ied(std::size_t line, const std::string& name, const std::string& reason) {
    reject(line, reason);
    rejected_.insert(name);
  }

  void add(std::size_t line, const std::string& name, const std::string& crc) {
    if (!check_crc(line, crc)) {
      rejected_.insert(name);
      return;
    }
    auto [entry, added] = lines_.emplace(name, line);
    if (!added) {
      reject(line, "IED " + quoted(name) + " is listed again (first on line " + std::to_string(entry->second) +
                       "); the first entry is used");
      return;
    }
    baseline_.crcs[name] = crc;
  }

  Baseline take() {
    for (const std::string& name : rejected_) {
      if (!baseline_.crcs.count(name)) baseline_.rejected.insert(name);
    }
    return std::move(baseline_);
  }

 private:
  const std::string& path_;
  Diagnostics& diagnostics_;
  Baseline baseline_;
  std::map<std::string, std::size_t> lines_;  // IED name -> line of its entry
  std::set<std::string> rejected_;
};

struct CsvRecord {
  std::size_t line = 0;  // where the record starts
  std::vector<std::string> fields;
};

// Splits RFC 4180 text into records; a quoted field may span lines, and CR
// before LF is dropped. Returns the line of a malformed record in `bad_line`.
std::vector<CsvRecord> csv_records(const std::string& text, std::size_t& bad_line, std::string& problem) {
  std::vector<CsvRecord> records;
  CsvRecord record{1, {""}};
  std::size_t line = 1;
  enum { plain, quoted_field, after_quote } state = plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (state == quoted_field) {
      if (c == '"') {
        state = after_quote;
      } else {
        if (c == '\n') ++line;
        record.fields.back() += c;
      }
      continue;
    }
    if (c == '"' && state == after_quote) {  // a doubled quote inside a quoted field
      record.fields.back() += '"';
      state = quoted_field;
    } else if (c == '"' && record.fields.back().empty()) {
      state = quoted_field;
    } else if (c == ',') {
      record.fields.emplace_back();
      state = plain;
    } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      records.push_back(std::move(record));
      record = {++line, {""}};
      state = plain;
    } else if (state == after_quote) {
      bad_line = record.line;
      problem = "text after the closing quote of a field";
      return records;
    } else {
      record.fields.back() += c;
    }
  }
  if (state == quoted_field) {
    bad_line = record.line;
    problem = "a quoted field is not closed";
    return records;
  }
  if (record.fields.size() > 1 || !record.fields.front().empty()) records.push_back(std::move(record));
  return records;
}

std::optional<Baseline> read_csv(const std::string& path, const std::string& text, Diagnostics& diagnostics) {
  std::size_t bad_line = 0;
  std::string problem;
  const std::vector<CsvRecord> records = csv_records(text, bad_line, problem);
  BaselineBuilder builder(path, diagnostics);
  if (records.empty() || records.front().fields != std::vector<std::string>{"type", "name", "crc"}) {
    builder.reject(1, std::string("the first line is not 'type,name,crc': expected ") + expected_layout);
    return std::nullopt;
  }
  for (auto record = records.begin() + 1; record != records.end(); ++record) {
    const std::vector<std::string>& fields = record->fields;
    if (fields == std::vector<std::string>{""}) continue;  // a blank line
    if (fields.size() != 3) {
      const std::string reason = "expected 3 fields (type,name,crc), found " + std::to_string(fields.size());
      if (fields[0] == "ied" && fields.size() > 1) {
        builder.reject_ied(record->line, fields[1], reason);
      } else {
        builder.reject(record->line, reason);
      }
    } else if (fields[0] == "ied") {
      builder.add(record->line, fields[1], fields[2]);
    } else if (fields[0] == "scd") {
      builder.check_crc(record->line, fields[2]);
    } else {
      builder.reject(record->line, "unknown record type " + quoted(fields[0]) + " ('ied' or 'scd' expected)");
    }
  }
  if (bad_line) builder.reject(bad_line, problem + "; the rest of the file is not read");
  return builder.take();
}

// Hands the JSON parser the characters of a text and keeps the furthest
// position it has read, so that the lines of the values it reports are known.
class TrackedChars {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackedChars(const char* position, const char** furthest) : position_(position), furthest_(furthest) {}
  reference operator*() const { return *position_; }
  TrackedChars& operator++() {
    if (++position_ > *furthest_) *furthest_ = position_;
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
  const char** furthest_;
};

std::size_t line_at(const std::string& text, std::size_t offset) {
  offset = std::min(offset, text.size());
  return 1 +
         static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

std::optional<Baseline> read_json(const std::string& path, const std::string& text, Diagnostics& diagnostics) {
  BaselineBuilder builder(path, diagnostics);
  // The line of each object in the "ieds" array, in order.
  std::vector<std::size_t> entry_lines;
  const char* furthest = text.data();
  std::string top_key;
  const auto note_entries = [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
    if (event == nlohmann::json::parse_event_t::key && depth == 1) top_key = parsed.get<std::string>();
    const bool entry_starts = event == nlohmann::json::parse_event_t::object_start ||
                              event == nlohmann::json::parse_event_t::array_start ||
                              event == nlohmann::json::parse_event_t::value;
    if (entry_starts && depth == 2 && top_key == "ieds") {
      entry_lines.push_back(line_at(text, static_cast<std::size_t>(furthest - text.data())));
    }
    return true;
  };
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(TrackedChars(text.data(), &furthest),
                                     TrackedChars(text.data() + text.size(), &furthest), note_entries);
  } catch (const nlohmann::json::parse_error& error) {
    const std::string message = error.what();
    const std::size_t reason = message.find("syntax error");
    builder.reject(line_at(text, error.byte == 0 ? 0 : error.byte - 1),
                   "not valid JSON: " + printable(reason == std::string::npos ? message : message.substr(reason)));
    return std::nullopt;
  }
  if (!document.is_object() || !document.contains("ieds") || !document["ieds"].is_array()) {
    builder.reject(1, std::string("no \"ieds\" array: expected ") + expected_layout);
    return std::nullopt;
  }
  const nlohmann::json& ieds = document["ieds"];
  for (std::size_t i = 0; i < ieds.size(); ++i) {
    const nlohmann::json& entry = ieds[i];
    const std::size_t line = i < entry_lines.size() ? entry_lines[i] : 1;
    const bool named = entry.is_object() && entry.contains("name") && entry["name"].is_string();
    if (!named || !entry.contains("crc") || !entry["crc"].is_string()) {
      const std::string reason =
          "entry " + std::to_string(i + 1) + " of \"ieds\" is not an object with the strings \"name\" and \"crc\"";
      if (named) {
        builder.reject_ied(line, entry["name"].get<std::string>(), reason);
      } else {
        builder.reject(line, reason);
      }
      continue;
    }
    builder.add(line, entry["name"].get<std::string>(), entry["crc"].get<std::string>());
  }
  return builder.take();
}

}  // namespace

std::optional<Baseline> read_baseline(const std::string& path, Diagnostics& diagnostics) {
  const auto cannot_read = [&](const std::string& reason) {
    diagnostics.error(path, "cannot read the list of approved CRCs: " + reason);
    return std::nullopt;
  };
  if (struct stat info{}; ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return cannot_read("it is a directory");
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return cannot_read(std::strerror(errno));
  std::string text(std::istreambuf_iterator<char>(file), {});
  if (file.bad()) return cannot_read(std::strerror(errno));
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return cannot_read("the file is empty");
  if (text[first] == '{') return read_json(path, text, diagnostics);
  return read_csv(path, text, diagnostics);
}

}  // namespace ccdcrc
