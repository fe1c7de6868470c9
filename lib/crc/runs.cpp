#include "crc/runs.h"

#include "ccd/builder.h"
#include "crc/canonical.h"
#include "support/nodes.h"

namespace ccdcrc {

std::unique_ptr<Ccd> build_ied_ccd(const Scd& scd, pugi::xml_node ied, CcdPurpose purpose) {
  auto ccd = std::make_unique<Ccd>();
  ccd->root = start_ccd_document(ccd->document, ied);
  ccd->nothing_found = build_ccd(ccd->root, scd.lookups(), ied, purpose);
  return ccd;
}

std::optional<std::string> ied_crc(const Scd& scd, pugi::xml_node ied) {
  std::unique_ptr<Ccd> ccd = build_ied_ccd(scd, ied, CcdPurpose::measured);
  if (ccd->nothing_found) return std::nullopt;
  finish_ccd(ccd->root);
  return ccd_crc_text(ccd->document);
}

std::vector<std::optional<std::string>> ied_crcs(const Scd& scd, const std::vector<pugi::xml_node>& ieds,
                                                 unsigned jobs, const ProgressCallback& progress) {
  std::vector<std::optional<std::string>> crcs(ieds.size());
  parallel_for(ieds.size(), jobs, [&](std::size_t i) { crcs[i] = ied_crc(scd, ieds[i]); }, progress);
  return crcs;
}

IedCrcMap all_ied_crcs(const Scd& scd, unsigned jobs, const ProgressCallback& progress) {
  const std::vector<pugi::xml_node> ieds = scd.ieds();
  std::vector<std::optional<std::string>> crcs = ied_crcs(scd, ieds, jobs, progress);
  IedCrcMap map;
  for (std::size_t i = 0; i < ieds.size(); ++i) {
    if (crcs[i]) map[attr(ieds[i], "name")] = std::move(*crcs[i]);
  }
  return map;
}

std::string scd_crc(IedCrcMap map) {
  std::string joined;
  for (const auto& [name, crc] : map) joined += crc;
  return crc_text_of(joined);
}

std::string run_ied_crc(const std::string& scd_path, const std::string& ied_name) {
  std::unique_ptr<Scd> scd = Scd::load(scd_path);
  if (!scd) return {};
  pugi::xml_node ied = scd->find_ied(ied_name);
  if (!ied) return {};
  return ied_crc(*scd, ied).value_or("");
}

IedCrcMap run_all_ied_crcs(const std::string& scd_path) {
  std::unique_ptr<Scd> scd = Scd::load(scd_path);
  if (!scd) return {};
  return all_ied_crcs(*scd);
}

}  // namespace ccdcrc
