#include "workflows/crc_workflows.h"

#include "operations/ccd_pipeline.h"
#include "operations/messages.h"
#include "util/text.h"
#include "workflows/named_ieds.h"

namespace ccdcrc {

std::vector<ListedCrc> listed_crcs_noted(const Scd& scd, unsigned jobs, const ProgressCallback& progress,
                                         Notes& notes) {
  std::vector<ListedCrc> listed = listed_crcs(scd, jobs, progress);
  for (const ListedCrc& entry : listed) {
    if (entry.listed.with_circuits > 1) {
      add_warning(notes, scd.path(), shared_circuits_warning(entry.listed.with_circuits, entry.name()));
    }
  }
  return listed;
}

void note_broken_bindings(const Scd& scd, const std::vector<BrokenBinding>& broken, Notes& notes) {
  constexpr std::size_t named_in_full = 3;
  if (broken.empty()) return;
  if (broken.size() <= named_in_full) {
    for (const BrokenBinding& binding : broken) {
      add_warning(notes, scd.path(),
                  "the input " + printable(binding.int_addr) + " of " + printable(binding.ied) +
                      " resolves to nothing (a broken binding): " + printable(binding.reason));
    }
    return;
  }
  std::vector<std::string> names;
  for (const BrokenBinding& binding : broken) {
    if (names.empty() || names.back() != binding.ied) names.push_back(binding.ied);
  }
  std::string listed;
  for (const std::string& name : names) listed += (listed.empty() ? "" : ", ") + printable(name);
  add_warning(notes, scd.path(),
              std::to_string(broken.size()) + " inputs resolve to nothing (broken bindings), of " + listed +
                  "; ccdcrc bindings names each");
}

AllOutcome all_crcs(const Scd& scd, unsigned jobs, const ProgressCallback& progress) {
  AllOutcome outcome;
  outcome.listed = listed_crcs_noted(scd, jobs, progress, outcome.notes);
  outcome.crcs = crc_map(outcome.listed);
  outcome.scd_crc = scd_crc(outcome.crcs);
  if (outcome.crcs.empty()) add_warning(outcome.notes, scd.path(), no_circuits_in_scd_message(scd));
  note_broken_bindings(scd, broken_bindings(scd, outcome.listed), outcome.notes);
  return outcome;
}

BindingsOutcome scd_broken_bindings(const Scd& scd, unsigned jobs, const ProgressCallback& progress) {
  BindingsOutcome outcome;
  const std::vector<ListedCrc> listed = listed_crcs_noted(scd, jobs, progress, outcome.notes);
  outcome.broken = broken_bindings(scd, listed);
  return outcome;
}

IedOutcome named_crcs(const Scd& scd, const std::vector<std::string>& names) {
  IedOutcome outcome;
  const NamedIeds named(scd);
  for (const std::string& name : names) {
    IedAnswer answer{name, std::nullopt, {}};
    const pugi::xml_node ied = named.find(name, "the CRC is that of the first one", outcome.notes, &answer.error);
    if (ied) answer.crc = ied_crc(scd, ied);
    if (ied && !answer.crc) {
      answer.error = no_circuits_message(name);
      add_error(outcome.notes, scd.path(), answer.error);
    }
    if (!answer.crc) outcome.all_answered = false;
    outcome.answers.push_back(std::move(answer));
  }
  return outcome;
}

CcdOutcome named_ccd(const Scd& scd, const std::string& name, CcdForm form) {
  CcdOutcome outcome;
  const pugi::xml_node ied =
      NamedIeds(scd).find(name, "the CCD of the first one is shown", outcome.notes, &outcome.error);
  if (!ied) {
    outcome.unknown = true;
    return outcome;
  }
  ShownCcd shown = show_ccd(scd, ied, form);
  if (shown.status != ShownCcd::Status::shown) {
    outcome.error = shown_ccd_message(name, shown);
    add_error(outcome.notes, scd.path(), outcome.error);
    return outcome;
  }
  outcome.shown = std::move(shown);
  return outcome;
}

}  // namespace ccdcrc
