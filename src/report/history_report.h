#pragma once
// The results of `history`: a compact timeline as text, JSON and CSV for
// programs, a timeline chart as HTML, and Markdown for a merge request.

#include <ostream>
#include <string>

#include "history/history.h"
#include "report/output.h"

namespace ccdcrc {

void write_history(std::ostream& out, Format format, const History& history);
// One self-contained page: IEDs down, grouped by bay, revisions across.
void write_history_html(std::ostream& out, const History& history);
void write_history_markdown(std::ostream& out, const History& history);

// "abc1234 2024-05-01 14:03:12 +0200 Alice: subject", or the file's path.
std::string revision_title(const RevisionLabel& label);
// "2 changed, 1 added" of a revision's changes; "N IEDs with CRCs" of the first.
std::string changes_summary(const HistoryRevision& revision);
// The short mark of a change in a timeline: "*" changed, "+" added or
// gained, "-" removed or lost.
const char* change_mark(CrcStatus status);

}  // namespace ccdcrc
