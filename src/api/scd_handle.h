#pragma once
// The open SCD behind a ccdcrc_scd handle, and what the calls on it share:
// finding the IED a name stands for, and handing out results the library
// releases again.

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "api/errors.h"
#include "ccdcrc/ccdcrc.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"

struct ccdcrc_scd {
  explicit ccdcrc_scd(std::unique_ptr<ccdcrc::Scd> loaded) : scd(std::move(loaded)), lookup(*scd) {}

  std::unique_ptr<ccdcrc::Scd> scd;
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

// Copies a CRC text into a caller's buffer of CCDCRC_CRC_SIZE bytes (when given).
void copy_crc(const std::string& crc, char* buffer);

}  // namespace ccdcrc
