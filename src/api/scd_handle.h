#pragma once
// The open SCD behind a ccdcrc_scd handle, and what the calls on it share:
// finding the IED a name stands for, and handing out results the library
// releases again.

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "api/errors.h"
#include "ccdcrc/ccdcrc.h"
#include "operations/loading.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"

struct ccdcrc_scd {
  ccdcrc_scd(std::unique_ptr<ccdcrc::Scd> loaded, ccdcrc::ScdFile read)
      : scd(std::move(loaded)), file(std::move(read)), lookup(*scd) {}

  std::unique_ptr<ccdcrc::Scd> scd;
  ccdcrc::ScdFile file;      // its size and SHA-256, for the change report
  ccdcrc::IedLookup lookup;  // the lookup by name, made once: queries only read it
};

namespace ccdcrc {

// The path or name of an open SCD for messages; null for no SCD.
inline const char* subject_of(const ccdcrc_scd* scd) { return scd ? scd->scd->path().c_str() : nullptr; }

// The IED that the lookup by name takes (the first of the name), or null
// with CCDCRC_UNKNOWN_IED described in `error`.
pugi::xml_node named_ied(const ccdcrc_scd& scd, const std::string& name, ccdcrc_error* error);

// CCDCRC_NO_CIRCUITS described in `error`.
ccdcrc_status no_circuits(const ccdcrc_scd& scd, const std::string& name, ccdcrc_error* error);

// Hands out a copy of `text` in `*out` (released with ccdcrc_free_text), its
// length in `*size` when given.
void hand_out(const std::string& text, char** out, size_t* size);

// Copies a CRC text into a caller's buffer of CCDCRC_CRC_SIZE bytes (when given).
void copy_crc(const std::string& crc, char* buffer);

}  // namespace ccdcrc
