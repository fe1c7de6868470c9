#pragma once
// What a front end learns of an SCD's file as it is read.

#include <cstdint>
#include <string>

namespace ccdcrc {

// How an SCD is read.
struct ScdReading {
  std::string member;   // the zip member to read; empty: the archive's one SCL file
  bool sha256 = false;  // compute the SHA-256 of the file as given
};

// What was learnt of an SCD's file while it was read.
struct ScdFile {
  std::string sha256;       // when asked for
  std::uintmax_t size = 0;  // bytes as given, with the SHA-256
  std::string member;       // the zip member read
};

}  // namespace ccdcrc
