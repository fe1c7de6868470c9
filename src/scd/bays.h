#pragma once
// Where the IEDs of an SCD stand in the substation: the Bay and VoltageLevel
// that hold the LNode elements naming them in the Substation section.

#include <map>
#include <string>

#include "scd/scd.h"

namespace ccdcrc {

struct BayPlace {
  std::string voltage_level;  // name
  std::string voltage_level_desc;
  std::string bay;  // name
  std::string bay_desc;
};

// IED name -> the place of the first LNode (in document order) that names the
// IED and stands inside a Bay. IEDs whose LNodes are in no Bay, or that no
// LNode names, are missing.
std::map<std::string, BayPlace> bays_of_ieds(const Scd& scd);

}  // namespace ccdcrc
