#pragma once
// How an SCD is read, and what a front end learns of its file as it is read.

#include <cstdint>
#include <string>
#include <utility>

#include "scd/scd.h"

namespace ccdcrc {

// How an SCD is read.
struct ScdReading {
  ScdReading() = default;
  ScdReading(std::string member_, bool sha256_ = false) : member(std::move(member_)), sha256(sha256_) {}

  std::string member;          // the zip member to read; empty: the archive's one SCL file
  bool sha256 = false;         // compute the SHA-256 of the file as given
  bool pipes = true;           // pipes and FIFOs given as a path are read; else regular files only
  bool standard_input = true;  // "-" stands for standard input; else it names a file
  bool unpack = true;          // gzip and zip are read; else their bytes are taken for the text
  bool scl_root = true;        // a root other than SCL is refused
  LoadOptions load;            // the parse and the lookups
};

// The reading of the three entry points that load on every call: a regular
// file as given, whatever its root; the ones that always could be read.
inline ScdReading file_as_given() {
  ScdReading reading;
  reading.pipes = false;
  reading.standard_input = false;
  reading.unpack = false;
  reading.scl_root = false;
  return reading;
}

// What was learnt of an SCD's file while it was read.
struct ScdFile {
  std::string sha256;       // when asked for
  std::uintmax_t size = 0;  // bytes as given, with the SHA-256
  std::string member;       // the zip member read
};

}  // namespace ccdcrc
