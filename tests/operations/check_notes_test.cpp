// What the check workflow says of a list's malformed lines to a front end
// that gives its own hints, or none.

#include <gtest/gtest.h>

#include "workflows/check_workflow.h"

namespace ccdcrc {
namespace {

TEST(MalformedLinesNotes, EachFrontEndAddsItsOwnHints) {
  const CheckList list =
      read_check_list_bytes("type,name,crc\nied,B2,6D9E341B\nbay,X,1\nied,B2,6D9E341B\n", "list.csv", false);
  ASSERT_TRUE(list.baseline);
  const struct {
    bool skip;
    MalformedLinesHints hints;
    Note::Severity severity;
    std::string text;
  } cases[] = {
      {false, {"A", "B"}, Note::Severity::error, "2 lines are improperly formatted, so the check fails (A; B)"},
      {false, {}, Note::Severity::error, "2 lines are improperly formatted, so the check fails"},
      {true, {"A", "B"}, Note::Severity::warning, "2 lines are improperly formatted and not checked (A)"},
      {true, {}, Note::Severity::warning, "2 lines are improperly formatted and not checked"},
  };
  for (const auto& row : cases) {
    const Notes notes = malformed_lines_notes(list, row.skip, row.hints);
    ASSERT_EQ(notes.size(), 1u) << row.text;
    EXPECT_EQ(notes[0].severity, row.severity) << row.text;
    EXPECT_EQ(notes[0].where, list.path);
    EXPECT_EQ(notes[0].text, row.text);
  }
  EXPECT_TRUE(
      malformed_lines_notes(read_check_list_bytes("name,crc\nB2,6D9E341B\n", "ok.csv", false), false, {}).empty());
}

}  // namespace
}  // namespace ccdcrc
