#include "workflows/verify_workflow.h"

#include <optional>

#include "operations/messages.h"
#include "operations/scd_input.h"
#include "util/text.h"
#include "xml/source_text.h"

namespace ccdcrc {

namespace {

void note_file(const VerifiedFile& file, const CurrentCrcs* current, Notes& notes) {
  if (file.status == VerifyStatus::unreadable) {
    add_error(notes, location(file.path, file.check.position), printable(file.check.problem));
  } else if (file.shared_name_count > 1) {
    add_warning(notes, current->scd().path(),
                shared_name_warning(file.shared_name_count, file.check.ied_name,
                                    file.path + " is compared with the one 'all' lists"));
  }
}

void summarise(VerifyOutcome& outcome) {
  if (outcome.failures == 0) return;
  const std::size_t count = outcome.files.size();
  outcome.summary = std::to_string(outcome.failures) + " of " + std::to_string(count) + " CCD" +
                    (count == 1 ? " file" : " files") + " did not verify";
}

}  // namespace

VerifyOutcome verify_files(const std::vector<std::string>& paths, const Scd* scd) {
  VerifyOutcome outcome;
  std::optional<CurrentCrcs> current;
  if (scd) {
    current.emplace(*scd);
    // An SCD read in part answers for no approval: the files are compared, and the run fails.
    if (const std::optional<LoadProblem> partial = read_in_part(*scd, scd->path())) {
      add_error(outcome.notes, scd->path(), partial->message);
      outcome.trouble = true;
    }
  }
  for (const std::string& path : paths) {
    const CurrentCrcs* compared = current ? &*current : nullptr;
    VerifiedFile& file = outcome.files.emplace_back(verify_ccd_file(path, compared));
    note_file(file, compared, outcome.notes);
    if (file.status == VerifyStatus::unreadable) outcome.trouble = true;
    if (file.status != VerifyStatus::ok) ++outcome.failures;
  }
  summarise(outcome);
  return outcome;
}

VerifyOutcome verify_bytes(std::string_view bytes, const std::string& name, const Scd* scd) {
  VerifyOutcome outcome;
  std::optional<CurrentCrcs> current;
  if (scd) current.emplace(*scd);
  const CurrentCrcs* compared = current ? &*current : nullptr;
  VerifiedFile& file = outcome.files.emplace_back(verify_ccd_bytes(bytes, name, compared));
  note_file(file, compared, outcome.notes);
  outcome.trouble = file.status == VerifyStatus::unreadable;
  outcome.failures = file.status == VerifyStatus::ok ? 0 : 1;
  summarise(outcome);
  return outcome;
}

}  // namespace ccdcrc
