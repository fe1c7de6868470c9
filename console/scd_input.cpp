#include "console/scd_input.h"

#include <algorithm>
#include <string_view>
#include <tuple>

#include "console/memory.h"
#include "console/output.h"
#include "operations/messages.h"

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

std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics) {
  diagnostics.working_on(path);
  diagnostics.show_status("loading " + path + " ...");
  LoadProblem problem;
  provide_memory_for_load(path);
  std::unique_ptr<Scd> scd = Scd::load(path, &problem);
  diagnostics.clear_status();
  if (!scd) diagnostics.error(location(path, problem.position), problem.message);
  return scd;
}

void warn_about_root(const Scd& scd, Diagnostics& diagnostics) {
  const std::string root = scd.root().name();
  if (root != "SCL") {
    diagnostics.warning(
        scd.path(), "the root element is " + quoted(root) + ", not 'SCL'; the IEDs under it are taken all the same");
  }
}

std::vector<ListedCrc> list_crcs(const Scd& scd, unsigned jobs, Diagnostics& diagnostics) {
  diagnostics.working_on(scd.path());
  std::vector<ListedCrc> listed;
  {
    Progress progress(diagnostics, scd.ieds().size());
    listed = listed_crcs(scd, jobs, [&](std::size_t done, std::size_t total) { progress.update(done, total); });
  }
  for (const ListedCrc& entry : listed) {
    if (entry.listed.with_circuits > 1) {
      diagnostics.warning(scd.path(), std::to_string(entry.listed.with_circuits) + " IEDs named " +
                                          quoted(entry.name()) + " have circuits; the CRC of the last one is listed");
    }
  }
  return listed;
}

pugi::xml_node NamedIeds::find(const std::string& name, const std::string& consequence,
                               Diagnostics& diagnostics) const {
  if (pugi::xml_node ied = lookup_.find(name)) {
    if (const std::size_t count = lookup_.count(name); count > 1) {
      diagnostics.warning(scd_.path(), shared_name_warning(count, name, consequence));
    }
    return ied;
  }
  if (!lookup_.root_is_scl()) {
    diagnostics.error(scd_.path(), not_scl_root_message(name, scd_.root().name()));
    return {};
  }
  std::string reason = "no IED named " + quoted(name);
  if (lookup_.empty()) {
    reason += " (the file has no IED at all)";
  } else if (const std::vector<std::string> close = close_names(name); !close.empty()) {
    reason += "; did you mean ";
    for (std::size_t i = 0; i < close.size(); ++i) reason += (i ? ", " : "") + quoted(close[i]);
    reason += "?";
  }
  diagnostics.error(scd_.path(), reason);
  return {};
}

std::vector<std::string> NamedIeds::close_names(const std::string& name) const {
  const std::string wanted = lower(name);
  // Short names get only case and prefix matches: one edit turns any into another.
  const std::size_t limit = wanted.size() < 3 ? 0 : std::max<std::size_t>(1, wanted.size() / 3);
  std::vector<std::tuple<std::size_t, std::string>> scored;  // (score, name)
  for (const std::string& candidate : lookup_.names()) {
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

}  // namespace ccdcrc
