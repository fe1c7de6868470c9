#include "operations/crc_runs.h"

#include "crc/canonical.h"
#include "operations/ccd_pipeline.h"

namespace ccdcrc {

std::vector<std::optional<std::string>> ied_crcs(const Scd& scd, const std::vector<pugi::xml_node>& ieds, unsigned jobs,
                                                 const ProgressCallback& progress) {
  std::vector<std::optional<std::string>> crcs(ieds.size());
  parallel_for(
      ieds.size(), jobs, [&](std::size_t i) { crcs[i] = ied_crc(scd, ieds[i]); }, progress);
  return crcs;
}

std::vector<ListedCrc> listed_crcs(const Scd& scd, unsigned jobs, const ProgressCallback& progress) {
  std::vector<ListedIed> listed = listed_ieds(scd);
  std::vector<pugi::xml_node> ieds;
  ieds.reserve(listed.size());
  for (const ListedIed& entry : listed) ieds.push_back(entry.ied);
  std::vector<std::optional<std::string>> crcs = ied_crcs(scd, ieds, jobs, progress);
  std::vector<ListedCrc> result;
  result.reserve(listed.size());
  for (std::size_t i = 0; i < listed.size(); ++i) result.push_back({std::move(listed[i]), std::move(crcs[i])});
  return result;
}

IedCrcMap crc_map(const std::vector<ListedCrc>& listed) {
  IedCrcMap map;
  for (const ListedCrc& entry : listed) {
    if (entry.crc) map.emplace_hint(map.end(), entry.name(), *entry.crc);
  }
  return map;
}

std::string scd_crc(const IedCrcMap& map) {
  std::string joined;
  for (const auto& [name, crc] : map) joined += crc;
  return crc_text_of(joined);
}

std::string run_ied_crc(const std::string& scd_path, const std::string& ied_name) {
  const std::unique_ptr<Scd> scd = Scd::load(scd_path);
  if (!scd) return {};
  const pugi::xml_node ied = find_ied(*scd, ied_name);
  return ied ? ied_crc(*scd, ied).value_or("") : std::string();
}

IedCrcMap run_all_ied_crcs(const std::string& scd_path) {
  const std::unique_ptr<Scd> scd = Scd::load(scd_path);
  return scd ? crc_map(listed_crcs(*scd)) : IedCrcMap();
}

}  // namespace ccdcrc
