#include "console/scd_input.h"

#include <algorithm>
#include <string_view>
#include <tuple>

#include "console/formats.h"
#include "console/memory.h"

namespace ccdcrc {

namespace {

// Names up to this length are compared by edit distance.
constexpr std::size_t max_edited_length = 64;

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), ascii_lower);
  return result;
}

// Levenshtein distance, giving up (returning limit + 1) once it must exceed `limit`.
std::size_t edit_distance(std::string_view a, std::string_view b, std::size_t limit) {
  if (a.size() > b.size()) std::swap(a, b);
  if (b.size() - a.size() > limit) return limit + 1;
  std::vector<std::size_t> row(a.size() + 1);
  for (std::size_t i = 0; i <= a.size(); ++i) row[i] = i;
  for (std::size_t j = 1; j <= b.size(); ++j) {
    std::size_t diagonal = row[0];
    row[0] = j;
    std::size_t row_minimum = row[0];
    for (std::size_t i = 1; i <= a.size(); ++i) {
      const std::size_t above = row[i];
      row[i] = std::min({row[i] + 1, row[i - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
      row_minimum = std::min(row_minimum, row[i]);
    }
    if (row_minimum > limit) return limit + 1;
  }
  return row[a.size()];
}

}  // namespace

std::string quoted(const std::string& name) {
  std::string text(1, '\'');
  text += printable(name);
  text += '\'';
  return text;
}

std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics) {
  diagnostics.show_status("loading " + path + " ...");
  LoadProblem problem;
  provide_memory_for_load(path);
  std::unique_ptr<Scd> scd = Scd::load(path, &problem);
  diagnostics.clear_status();
  if (scd) return scd;
  if (problem.line > 0) {
    diagnostics.error(path + ":" + std::to_string(problem.line) + ":" + std::to_string(problem.column),
                      problem.message);
  } else {
    diagnostics.error(path, problem.message);
  }
  return nullptr;
}

void warn_about_root(const Scd& scd, Diagnostics& diagnostics) {
  const std::string root = scd.root().name();
  if (root != "SCL") {
    diagnostics.warning(
        scd.path(), "the root element is " + quoted(root) + ", not 'SCL'; the IEDs under it are taken all the same");
  }
}

std::vector<NamedIed> list_named_ieds(const Scd& scd, unsigned jobs, Diagnostics& diagnostics) {
  std::vector<NamedIed> ieds;
  {
    Progress progress(diagnostics, scd.ieds().size());
    ieds = named_ieds(scd, jobs, [&](std::size_t, std::size_t) { progress.advance(); });
  }
  for (const NamedIed& ied : ieds) {
    if (ied.with_circuits > 1) {
      diagnostics.warning(scd.path(), std::to_string(ied.with_circuits) + " IEDs named " + quoted(ied.name) +
                                          " have circuits; the CRC of the last one is listed");
    }
  }
  return ieds;
}

IedIndex::IedIndex(const Scd& scd) : path_(scd.path()), root_name_(scd.root().name()) {
  for (pugi::xml_node ied : scd.ieds()) by_name_[ied.attribute("name").as_string("")].push_back(ied);
}

pugi::xml_node IedIndex::find(const std::string& name) const {
  if (root_name_ != "SCL") return {};
  auto found = by_name_.find(name);
  return found == by_name_.end() ? pugi::xml_node() : found->second.front();
}

std::size_t IedIndex::count(const std::string& name) const {
  auto found = by_name_.find(name);
  return found == by_name_.end() ? 0 : found->second.size();
}

std::vector<std::string> IedIndex::close_names(const std::string& name) const {
  const std::string wanted = lower(name);
  // Short names get only case and prefix matches: one edit turns any into another.
  const std::size_t limit = wanted.size() < 3 ? 0 : std::max<std::size_t>(1, wanted.size() / 3);
  std::vector<std::tuple<std::size_t, std::string>> scored;  // (score, name)
  for (const auto& [candidate, nodes] : by_name_) {
    if (candidate == name) continue;
    const std::string folded = lower(candidate);
    // The edit distance costs the product of the lengths: long names get only
    // the case and prefix comparisons.
    std::size_t score = wanted.size() <= max_edited_length && folded.size() <= max_edited_length
                            ? edit_distance(wanted, folded, limit)
                            : (wanted == folded ? 0 : limit + 1);
    if (score > limit && wanted.size() >= 2 && folded.starts_with(wanted)) score = limit;
    if (score <= limit) scored.emplace_back(score, candidate);
  }
  std::sort(scored.begin(), scored.end());
  std::vector<std::string> names;
  for (const auto& [score, candidate] : scored) {
    if (names.size() == 5) break;
    names.push_back(candidate);
  }
  return names;
}

pugi::xml_node IedIndex::find_or_report(const std::string& name, Diagnostics& diagnostics) const {
  if (pugi::xml_node ied = find(name)) return ied;
  if (root_name_ != "SCL") {
    diagnostics.error(path_, "no IED " + quoted(name) + ": the root element is " + quoted(root_name_) +
                                 ", not 'SCL', so no IED can be looked up by name");
    return {};
  }
  std::string reason = "no IED named " + quoted(name);
  if (by_name_.empty()) {
    reason += " (the file has no IED at all)";
  } else if (std::vector<std::string> close = close_names(name); !close.empty()) {
    reason += "; did you mean ";
    for (std::size_t i = 0; i < close.size(); ++i) reason += (i ? ", " : "") + quoted(close[i]);
    reason += "?";
  }
  diagnostics.error(path_, reason);
  return {};
}

}  // namespace ccdcrc
