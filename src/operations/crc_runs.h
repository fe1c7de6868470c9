#pragma once
// CRC runs: the CRCs of many IEDs of a loaded SCD, and the SCD CRC over them.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "scd/ied_selection.h"
#include "scd/scd.h"
#include "util/parallel.h"

namespace ccdcrc {

// IED name -> CRC text, names in byte-wise order, one entry per distinct name.
using IedCrcMap = std::map<std::string, std::string>;

// The CRC text of each of these IEDs, in their order (nullopt: no circuits).
// With jobs other than 1 the IEDs are built in parallel (0: one thread per
// core); the results are the same.
std::vector<std::optional<std::string>> ied_crcs(const Scd& scd, const std::vector<pugi::xml_node>& ieds,
                                                 unsigned jobs = 1, const ProgressCallback& progress = {});

// An IED name as the listing takes it, with its CRC (nullopt: no circuits)
// and the inputs its CCD binds to nothing (operations/bindings.h).
struct ListedCrc {
  ListedIed listed;
  std::optional<std::string> crc;
  NodeList unbound_inputs;
  const std::string& name() const { return listed.name; }
};

// Every IED name of the SCD in byte-wise order with the CRC of the IED the
// listing takes for it (jobs and progress as for ied_crcs).
std::vector<ListedCrc> listed_crcs(const Scd& scd, unsigned jobs = 1, const ProgressCallback& progress = {});

// An IED that shares its name with others and that the listing does not
// take: no CRC the listing reports covers it.
struct ShadowedCrc {
  std::string name;
  std::size_t position = 0;  // among the IEDs of the name, in document order, from 1
  std::size_t of = 0;        // how many IEDs carry the name
  std::optional<std::string> crc;
};

// Every shadowed IED with circuits, by name and position (jobs as for
// ied_crcs). Empty, at no cost, when every name is an IED's own.
std::vector<ShadowedCrc> shadowed_crcs(const Scd& scd, const std::vector<ListedCrc>& listed, unsigned jobs = 1);

// "the 2nd of 3 IEDs named 'DUP'", for messages.
std::string shadowed_text(const ShadowedCrc& shadowed);

// The CRCs of the names that have one.
IedCrcMap crc_map(const std::vector<ListedCrc>& listed);

// CRC text of the concatenated CRC texts in map order ("00000000" when empty).
std::string scd_crc(const IedCrcMap& map);

// The same, loading the SCD from a path, each IED taken by its rule (see
// ied_selection.h): an unloadable file or an unknown or circuit-less IED give
// the empty text and the empty map.
std::string run_ied_crc(const std::string& scd_path, const std::string& ied_name);
IedCrcMap run_all_ied_crcs(const std::string& scd_path);

}  // namespace ccdcrc
