// The history of revisions given as files, answered in the program's JSON.

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "api/scd_handle.h"
#include "history/file_revisions.h"
#include "history/history.h"
#include "report/history_report.h"

extern "C" ccdcrc_status ccdcrc_history_json(const char* const* paths, size_t count, unsigned jobs, char** json,
                                             size_t* size, ccdcrc_error* error) {
  if (json) *json = nullptr;
  if (size) *size = 0;
  return ccdcrc::guarded_call(error, nullptr, [&] {
    if (!json) return ccdcrc::fail(error, CCDCRC_INVALID_ARGUMENT, {}, "there is nowhere to store the JSON text");
    if (!paths || count == 0) return ccdcrc::fail(error, CCDCRC_INVALID_ARGUMENT, {}, "no revision was given");
    std::vector<std::string> files;
    for (size_t i = 0; i < count; ++i) {
      if (!paths[i]) return ccdcrc::fail(error, CCDCRC_INVALID_ARGUMENT, {}, "a path is null");
      files.emplace_back(paths[i]);
    }
    ccdcrc::HistoryOptions options;
    options.jobs = jobs;
    const ccdcrc::History history = ccdcrc::build_history(ccdcrc::FileRevisions(files), options);
    std::ostringstream out;
    ccdcrc::write_history(out, ccdcrc::Format::json, history);
    ccdcrc::hand_out(out.str(), json, size);
    return CCDCRC_OK;
  });
}
