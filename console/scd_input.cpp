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
#include "workflows/crc_workflows.h"
#include "workflows/open_scd.h"

namespace ccdcrc {

std::unique_ptr<Scd> load_scd(const std::string& path, Diagnostics& diagnostics, const ScdReading& reading,
                              ScdFile* file) {
  diagnostics.working_on(path);
  diagnostics.show_status("loading " + path + " ...");
  OpenedScd opened = open_scd(path, reading, false, provide_memory_for_load);
  diagnostics.clear_status();
  if (opened.problem) {
    diagnostics.error(opened.problem->where(), opened.problem->message);
    return nullptr;
  }
  diagnostics.tell(opened.notes);
  if (file) *file = std::move(opened.file);
  return std::move(opened.scd);
}

int read_in_part_status(const Scd& scd, Diagnostics& diagnostics) {
  const std::optional<LoadProblem> partial = read_in_part(scd, scd.path());
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

std::vector<ListedCrc> list_crcs(const Scd& scd, unsigned jobs, Diagnostics& diagnostics) {
  diagnostics.working_on(scd.path());
  std::vector<ListedCrc> listed;
  Notes notes;
  {
    Progress progress(diagnostics, scd.ieds().size());
    listed = listed_crcs_noted(scd, jobs, progress.callback(), notes);
  }
  diagnostics.tell(notes);
  return listed;
}

}  // namespace ccdcrc
