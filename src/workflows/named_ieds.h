#pragma once
// The lookup by name of a command that names IEDs, with what it has to say:
// why a name finds no IED, and which one is taken when several share it.

#include <string>

#include <pugixml.hpp>

#include "scd/ied_selection.h"
#include "scd/scd.h"
#include "workflows/notes.h"

namespace ccdcrc {

class NamedIeds {
 public:
  explicit NamedIeds(const Scd& scd) : scd_(scd), lookup_(scd) {}
  NamedIeds(const NamedIeds&) = delete;
  NamedIeds& operator=(const NamedIeds&) = delete;

  // The IED of that name, or null with an error note saying why there is
  // none (unknown_ied_message). When several IEDs share the name, the first
  // is taken, with the warning "...; CONSEQUENCE". The reason is also stored
  // in `reason` when given.
  pugi::xml_node find(const std::string& name, const std::string& consequence, Notes& notes,
                      std::string* reason = nullptr) const;

  const IedLookup& lookup() const { return lookup_; }

 private:
  const Scd& scd_;
  IedLookup lookup_;
};

}  // namespace ccdcrc
