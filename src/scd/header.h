#pragma once
// What an SCD says of its own revision: the Header's id, version and
// revision, shown beside CRCs so that an approval carries its context.

#include <optional>
#include <string>

#include "scd/scd.h"

namespace ccdcrc {

// The attributes of the SCD's Header (nullopt: no such attribute).
struct ScdHeader {
  std::optional<std::string> id;
  std::optional<std::string> version;
  std::optional<std::string> revision;
};
ScdHeader scd_header(const Scd& scd);

// The two attributes that say which revision of a station an SCD is.
struct ScdRevision {
  std::optional<std::string> version;
  std::optional<std::string> revision;
  bool operator==(const ScdRevision&) const = default;
};
ScdRevision scd_revision(const Scd& scd);

}  // namespace ccdcrc
