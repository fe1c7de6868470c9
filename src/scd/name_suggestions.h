#pragma once
// Names to suggest for an IED name that an SCD does not hold: "did you mean".

#include <string>
#include <utility>
#include <vector>

#include "scd/ied_selection.h"

namespace ccdcrc {

class NameSuggestions {
 public:
  explicit NameSuggestions(const IedLookup& lookup) : lookup_(lookup) {}

  // Up to five names of the SCD that look like `name`: equal but for case,
  // starting with it, or a few edits away; the closest first. Each call looks
  // at every name once, at a cost bounded per name.
  std::vector<std::string> close_to(const std::string& name) const;

 private:
  const IedLookup& lookup_;
  // The names folded to lower case, made at the first unknown name.
  mutable std::vector<std::pair<std::string, std::string>> folded_names_;  // (folded, name)
};

}  // namespace ccdcrc
