#include "scd/name_suggestions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <tuple>

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

}  // namespace

std::vector<std::string> NameSuggestions::close_to(const std::string& name) const {
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
