#include "operations/crc_runs.h"

#include "crc/canonical.h"
#include "operations/ccd_pipeline.h"
#include "operations/scd_input.h"
#include "util/nodes.h"
#include "util/text.h"

namespace ccdcrc {

std::vector<std::optional<std::string>> ied_crcs(const Scd& scd, const std::vector<pugi::xml_node>& ieds, unsigned jobs,
                                                 const ProgressCallback& progress) {
  std::vector<std::optional<std::string>> crcs(ieds.size());
  parallel_for(
      ieds.size(), jobs, [&](std::size_t i) { crcs[i] = ied_crc(scd, ieds[i]); }, progress);
  return crcs;
}

std::vector<ListedCrc> listed_crcs(const Scd& scd, unsigned jobs, const ProgressCallback& progress) {
  std::vector<ListedCrc> result;
  std::vector<ListedIed> listed = listed_ieds(scd);
  result.reserve(listed.size());
  for (ListedIed& entry : listed) result.push_back({std::move(entry), std::nullopt, {}});
  parallel_for(
      result.size(), jobs,
      [&](std::size_t i) { result[i].crc = ied_crc(scd, result[i].listed.ied, &result[i].unbound_inputs); }, progress);
  return result;
}

std::vector<ShadowedCrc> shadowed_crcs(const Scd& scd, const std::vector<ListedCrc>& listed, unsigned jobs) {
  std::vector<ShadowedCrc> shadowed;
  std::vector<pugi::xml_node> ieds;
  for (const ListedCrc& entry : listed) {
    if (entry.listed.count < 2) continue;
    std::size_t position = 0;
    for (pugi::xml_node ied : scd.ieds()) {
      if (attr(ied, "name") != entry.name()) continue;
      ++position;
      if (ied == entry.listed.ied) continue;
      shadowed.push_back({entry.name(), position, entry.listed.count, std::nullopt});
      ieds.push_back(ied);
    }
  }
  if (ieds.empty()) return shadowed;
  std::vector<std::optional<std::string>> crcs = ied_crcs(scd, ieds, jobs);
  std::vector<ShadowedCrc> with_circuits;
  for (std::size_t i = 0; i < shadowed.size(); ++i) {
    if (!crcs[i]) continue;
    shadowed[i].crc = std::move(crcs[i]);
    with_circuits.push_back(std::move(shadowed[i]));
  }
  return with_circuits;
}

std::string shadowed_text(const ShadowedCrc& shadowed) {
  const std::size_t n = shadowed.position;
  const char* suffix = (n % 100 >= 11 && n % 100 <= 13) ? "th"
                       : n % 10 == 1                    ? "st"
                       : n % 10 == 2                    ? "nd"
                       : n % 10 == 3                    ? "rd"
                                                        : "th";
  return "the " + std::to_string(n) + suffix + " of " + std::to_string(shadowed.of) + " IEDs named " +
         quoted(shadowed.name);
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
  LoadProblem problem;
  const std::unique_ptr<Scd> scd = load_scd_input(scd_path, file_as_given(), nullptr, problem);
  if (!scd) return {};
  const pugi::xml_node ied = find_ied(*scd, ied_name);
  return ied ? ied_crc(*scd, ied).value_or("") : std::string();
}

IedCrcMap run_all_ied_crcs(const std::string& scd_path) {
  LoadProblem problem;
  const std::unique_ptr<Scd> scd = load_scd_input(scd_path, file_as_given(), nullptr, problem);
  return scd ? crc_map(listed_crcs(*scd)) : IedCrcMap();
}

}  // namespace ccdcrc
