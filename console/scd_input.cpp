#include "console/scd_input.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <tuple>

#include "console/command.h"
#include "console/memory.h"
#include "operations/messages.h"
#include "operations/scd_input.h"
#include "report/output.h"

namespace ccdcrc {

namespace {

void warn_about_ignored_content(const Scd& scd, const std::string& name, Diagnostics& diagnostics) {
  if (const std::optional<IgnoredContent>& ignored = scd.ignored_content()) {
    diagnostics.warning(location(name, ignored->position), ignored_content_message(*ignored));
  }
}

}  // namespace

std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics, const ScdReading& reading,
                              ScdFile* file) {
  diagnostics.working_on(path);
  diagnostics.show_status("loading " + path + " ...");
  ScdInputFailure failure;
  ScdFile read;
  std::unique_ptr<Scd> scd = load_scd_input(path, reading, &read, failure, provide_memory_for_load);
  diagnostics.clear_status();
  if (!scd) {
    diagnostics.error(failure.where(), failure.message);
    return nullptr;
  }
  warn_about_ignored_content(*scd, text_name(path, read), diagnostics);
  if (file) *file = std::move(read);
  return scd;
}

int read_in_part_status(const Scd& scd, Diagnostics& diagnostics) {
  const std::optional<ScdInputFailure> partial = read_in_part(scd, scd.path());
  if (!partial) return exit_ok;
  diagnostics.error(scd.path(), partial->message);
  return exit_usage;
}

void add_member_option(CLI::App& command, std::string& member) {
  command.add_option("--member", member, "the SCD's file in a zip archive that holds several")->option_text("NAME");
}

int check_standard_input_once(Diagnostics& diagnostics, const std::string& command,
                              const std::vector<std::string>& paths) {
  if (std::count_if(paths.begin(), paths.end(), is_standard_input) > 1) {
    return usage_error(diagnostics, command, "'-' (standard input) is given more than once; it can be read only once");
  }
  return exit_ok;
}

void note_no_circuits(const Scd& scd, Diagnostics& diagnostics) {
  const std::size_t count = scd.ieds().size();
  const std::string reason = count == 0 ? "the file holds no IED"
                             : count == 1
                                 ? "its one IED has no GOOSE or sampled-value circuits"
                                 : "none of its " + std::to_string(count) + " IEDs has GOOSE or sampled-value circuits";
  diagnostics.warning(scd.path(), reason + ", so no IED has a CRC");
}

void note_broken_bindings(const Scd& scd, const std::vector<BrokenBinding>& broken, Diagnostics& diagnostics) {
  constexpr std::size_t named_in_full = 3;
  if (broken.empty()) return;
  if (broken.size() <= named_in_full) {
    for (const BrokenBinding& binding : broken) {
      diagnostics.warning(scd.path(), "the input " + printable(binding.int_addr) + " of " + printable(binding.ied) +
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
  diagnostics.warning(scd.path(), std::to_string(broken.size()) + " inputs resolve to nothing (broken bindings), of " +
                                      listed + "; the change report of diff names each");
}

std::vector<ListedCrc> list_crcs(const Scd& scd, unsigned jobs, Diagnostics& diagnostics) {
  diagnostics.working_on(scd.path());
  std::vector<ListedCrc> listed;
  {
    Progress progress(diagnostics, scd.ieds().size());
    listed = listed_crcs(scd, jobs, [&](std::size_t done, std::size_t total) { progress.update(done, total); });
  }
  for (const ListedCrc& entry : listed) {
    if (entry.listed.with_circuits > 1) {
      diagnostics.warning(scd.path(), shared_circuits_warning(entry.listed.with_circuits, entry.name()));
    }
  }
  return listed;
}

pugi::xml_node NamedIeds::find(const std::string& name, const std::string& consequence, Diagnostics& diagnostics,
                               std::string* reason) const {
  if (pugi::xml_node ied = lookup_.find(name)) {
    if (const std::size_t count = lookup_.count(name); count > 1) {
      diagnostics.warning(scd_.path(), shared_name_warning(count, name, consequence));
    }
    return ied;
  }
  std::string why;
  if (!lookup_.root_is_scl()) {
    why = not_scl_root_message(name, scd_.root().name());
  } else {
    why = "no IED named " + quoted(name);
    if (lookup_.empty()) {
      why += " (the file has no IED at all)";
    } else if (const std::vector<std::string> close = suggestions_.close_to(name); !close.empty()) {
      why += "; did you mean ";
      for (std::size_t i = 0; i < close.size(); ++i) why += (i ? ", " : "") + quoted(close[i]);
      why += "?";
    }
  }
  diagnostics.error(scd_.path(), why);
  if (reason) *reason = std::move(why);
  return {};
}

void warn_about_revision(const ScdRevision& before, const Scd& now, Diagnostics& diagnostics) {
  // An SCD that records no revision at all has none to raise.
  if (scd_revision(now) != before || (!before.version && !before.revision)) return;
  diagnostics.warning(now.path(),
                      "CRCs changed, but the Header's version and revision did not (" + revision_text(before) + ")");
}

}  // namespace ccdcrc
