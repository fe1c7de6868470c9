#pragma once
// How bytes are packed, told by their first bytes: the one place that knows
// the signatures of gzip and zip data.

#include <string_view>

namespace ccdcrc {

enum class Packing { none, gzip, zip };

inline Packing packing_of(std::string_view first_bytes) {
  if (first_bytes.starts_with("\x1f\x8b")) return Packing::gzip;
  // A local file header, the end of an archive without files, or a split archive.
  for (std::string_view signature :
       {std::string_view("PK\x03\x04"), std::string_view("PK\x05\x06"), std::string_view("PK\x07\x08")}) {
    if (first_bytes.starts_with(signature)) return Packing::zip;
  }
  return Packing::none;
}

}  // namespace ccdcrc
