#pragma once
// How bytes are packed, told by their first bytes: the one place that knows
// the signatures of gzip and zip data.

#include <cstddef>
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

// Where a zip archive's end record starts among the last 65,557 bytes (the
// record and a comment of up to 65,535 bytes), where zip readers look for it
// whatever comes before; npos for none.
inline std::size_t zip_end_record_at(std::string_view bytes) {
  constexpr std::size_t searched = 22 + 65535;
  const std::size_t from = bytes.size() > searched ? bytes.size() - searched : 0;
  const std::size_t at = bytes.substr(from).rfind("PK\x05\x06");
  return at == std::string_view::npos ? at : from + at;
}

// Where the first gzip member header (its magic number and the deflate
// method) starts; npos for none.
inline std::size_t gzip_header_at(std::string_view bytes) { return bytes.find("\x1f\x8b\x08"); }

}  // namespace ccdcrc
