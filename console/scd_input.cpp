#include "console/scd_input.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <tuple>

#include "console/command.h"
#include "console/memory.h"
#include "console/output.h"
#include "operations/messages.h"
#include "xml/input.h"

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

// The Levenshtein distance of texts to one text of at most 64 bytes, a machine
// word per column (Myers' bit-parallel algorithm, as Hyyrö gives it for whole
// texts): the work for each text is one step per byte.
class EditDistance {
 public:
  explicit EditDistance(std::string_view pattern) : length_(pattern.size()) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      matches_[static_cast<unsigned char>(pattern[i])] |= std::uint64_t{1} << i;
    }
  }

  std::size_t to(std::string_view text) const {
    if (length_ == 0) return text.size();
    const std::uint64_t last = std::uint64_t{1} << (length_ - 1);
    std::uint64_t positive = ~std::uint64_t{0};
    std::uint64_t negative = 0;
    std::size_t distance = length_;
    for (const char c : text) {
      const std::uint64_t equal = matches_[static_cast<unsigned char>(c)];
      const std::uint64_t vertical = equal | negative;
      const std::uint64_t horizontal = (((equal & positive) + positive) ^ positive) | equal;
      std::uint64_t horizontal_positive = negative | ~(horizontal | positive);
      std::uint64_t horizontal_negative = positive & horizontal;
      if (horizontal_positive & last) ++distance;
      if (horizontal_negative & last) --distance;
      horizontal_positive = (horizontal_positive << 1) | 1;
      horizontal_negative <<= 1;
      positive = horizontal_negative | ~(vertical | horizontal_positive);
      negative = horizontal_positive & vertical;
    }
    return distance;
  }

 private:
  std::size_t length_;
  std::array<std::uint64_t, 256> matches_{};
};

// "PATH" or, for a zip member, "PATH(MEMBER)": what a place in the text names.
std::string text_name(const std::string& path, const ScdFile& file) {
  return file.member.empty() ? path : path + "(" + file.member + ")";
}

// The members to choose from, a few of them: an archive may hold thousands.
std::string input_problem_text(const InputProblem& problem, const std::string& member) {
  constexpr std::size_t named_members = 5;
  std::string text = problem.message;
  if (problem.kind != InputProblem::Kind::member_choice || problem.members.empty()) return text;
  text += member.empty() ? "; name one with --member: " : "; its files: ";
  const std::size_t shown = std::min(problem.members.size(), named_members);
  for (std::size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + quoted(problem.members[i]);
  if (shown < problem.members.size()) {
    text += ", and " + std::to_string(problem.members.size() - shown) + " more";
  }
  return text;
}

void warn_about_ignored_content(const Scd& scd, const std::string& name, Diagnostics& diagnostics) {
  const std::optional<IgnoredContent>& ignored = scd.ignored_content();
  if (!ignored) return;
  if (ignored->kind == IgnoredContent::Kind::after_zero_byte) {
    diagnostics.warning(
        location(name, ignored->position),
        "a zero byte ends the XML text here; the " + std::to_string(ignored->bytes) + " bytes from it on are ignored");
  } else {
    diagnostics.warning(location(name, ignored->position),
                        "content after the document element is ignored (an SCD has one root element)");
  }
}

}  // namespace

std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics, const ScdReading& reading,
                              ScdFile* file) {
  diagnostics.working_on(path);
  diagnostics.show_status("loading " + path + " ...");
  InputOptions options;
  options.member = reading.member;
  options.sha256 = reading.sha256;
  Input input;
  InputProblem input_problem;
  if (!read_input(path, options, input, input_problem)) {
    diagnostics.error(path, input_problem_text(input_problem, reading.member));
    return nullptr;
  }
  ScdFile read{input.sha256, input.size, input.member};
  provide_memory_for_load(input.text.size());
  LoadProblem problem;
  std::unique_ptr<Scd> scd = Scd::parse(std::move(input.text), path, &problem);
  diagnostics.clear_status();
  const std::string name = text_name(path, read);
  if (!scd) {
    diagnostics.error(location(name, problem.position), problem.message);
    return nullptr;
  }
  if (const std::optional<std::string> refusal = not_an_scd_message(scd->root().name())) {
    diagnostics.error(name, *refusal);
    return nullptr;
  }
  warn_about_ignored_content(*scd, name, diagnostics);
  if (file) *file = std::move(read);
  return scd;
}

void add_member_option(CLI::App& command, std::string& member) {
  command.add_option("--member", member, "the SCD's file in a zip archive that holds several")->option_text("NAME");
}

int check_standard_input_once(const std::string& command, const std::vector<std::string>& paths) {
  if (std::count_if(paths.begin(), paths.end(), is_standard_input) > 1) {
    return usage_error(command, "'-' (standard input) is given more than once; it can be read only once");
  }
  return exit_ok;
}

void note_no_circuits(const Scd& scd, Diagnostics& diagnostics) {
  const std::size_t count = scd.ieds().size();
  const std::string reason = count == 0 ? "the file holds no IED"
                             : count == 1
                                 ? "its one IED has no GOOSE or sampled-value circuits"
                                 : "none of its " + std::to_string(count) + " IEDs has GOOSE or sampled-value circuits";
  diagnostics.warning(scd.path(), reason + ", so no IED has a CRC");
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

pugi::xml_node NamedIeds::find(const std::string& name, const std::string& consequence, Diagnostics& diagnostics,
                               std::string* reason) const {
  if (pugi::xml_node ied = lookup_.find(name)) {
    if (const std::size_t count = lookup_.count(name); count > 1) {
      diagnostics.warning(scd_.path(), shared_name_warning(count, name, consequence));
    }
    return ied;
  }
  std::string why;
  if (!lookup_.root_is_scl()) {
    why = not_scl_root_message(name, scd_.root().name());
  } else {
    why = "no IED named " + quoted(name);
    if (lookup_.empty()) {
      why += " (the file has no IED at all)";
    } else if (const std::vector<std::string> close = close_names(name); !close.empty()) {
      why += "; did you mean ";
      for (std::size_t i = 0; i < close.size(); ++i) why += (i ? ", " : "") + quoted(close[i]);
      why += "?";
    }
  }
  diagnostics.error(scd_.path(), why);
  if (reason) *reason = std::move(why);
  return {};
}

std::vector<std::string> NamedIeds::close_names(const std::string& name) const {
  if (folded_names_.empty()) {
    for (std::string& candidate : lookup_.names()) folded_names_.emplace_back(lower(candidate), std::move(candidate));
  }
  const std::string wanted = lower(name);
  // Short names get only case and prefix matches: one edit turns any into another.
  const std::size_t limit = wanted.size() < 3 ? 0 : std::max<std::size_t>(1, wanted.size() / 3);
  const bool edited = wanted.size() <= max_edited_length;
  const EditDistance distance(edited ? std::string_view(wanted) : std::string_view());
  std::vector<std::pair<std::size_t, const std::string*>> scored;  // (score, name)
  for (const auto& [folded, candidate] : folded_names_) {
    if (candidate == name) continue;
    // Long names get only the case and prefix comparisons; names whose
    // lengths differ by more than the limit are further away than it.
    std::size_t score = limit + 1;
    if (folded == wanted) {
      score = 0;
    } else if (edited && folded.size() <= max_edited_length &&
               std::max(folded.size(), wanted.size()) - std::min(folded.size(), wanted.size()) <= limit) {
      score = distance.to(folded);
    }
    if (score > limit && wanted.size() >= 2 && folded.starts_with(wanted)) score = limit;
    if (score <= limit) scored.emplace_back(score, &candidate);
  }
  const auto closer = [](const auto& a, const auto& b) {
    return std::tie(a.first, *a.second) < std::tie(b.first, *b.second);
  };
  const std::size_t shown = std::min<std::size_t>(5, scored.size());
  std::partial_sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(shown), scored.end(), closer);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < shown; ++i) names.push_back(*scored[i].second);
  return names;
}

}  // namespace ccdcrc
