#pragma once
// Which IED a name stands for. An SCD may give one name to several IEDs; two
// rules choose among them, and every command and entry point uses one:
//
// - the listing (what `all` lists; `diff`, `check`, `export --all`, `verify
//   --scd` and compute_all_ied_crcs pair with it): per distinct name, the last
//   IED of that name with circuits, else the last IED of that name;
// - the lookup by name (`ied`, `ccd`, a named export, compute_ied_crc and
//   export_ied_ccd): the first IED of that name, under a root named SCL (a
//   namespace prefix allowed, as for the listing: scd/scl_root.h).

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "scd/scd.h"

namespace ccdcrc {

// One IED name of an SCD as the listing takes it.
struct ListedIed {
  std::string name;
  pugi::xml_node ied;     // the IED the listing takes for the name
  std::size_t count = 0;  // how many IEDs carry the name
  // For a name that several IEDs share: how many of them have circuits. The
  // circuits of an IED whose name is its own are not looked at here.
  std::size_t with_circuits = 0;
};

// Every IED name of the SCD, in byte-wise order, with the IED the listing takes.
std::vector<ListedIed> listed_ieds(const Scd& scd);

// True when the IED publishes a control block or has an input: it has a CRC.
bool has_circuits(const Scd& scd, pugi::xml_node ied);

// The lookup by name, over an index of the SCD's IEDs made once.
class IedLookup {
 public:
  explicit IedLookup(const Scd& scd);

  // The first IED of the name; null when there is none or the root is not SCL.
  pugi::xml_node find(const std::string& name) const;
  // How many IEDs carry the name, whatever the root.
  std::size_t count(const std::string& name) const;
  bool root_is_scl() const { return root_is_scl_; }
  bool empty() const { return by_name_.empty(); }
  // Every name, in byte-wise order.
  std::vector<std::string> names() const;

 private:
  bool root_is_scl_ = false;
  std::map<std::string, std::vector<pugi::xml_node>> by_name_;
};

// The lookup by name without an index, for a single question.
pugi::xml_node find_ied(const Scd& scd, const std::string& name);

}  // namespace ccdcrc
