#pragma once
// What the command line says on standard error: error and warning lines, and
// the progress line of long runs, which is shown only on a terminal.

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "util/parallel.h"
#include "workflows/notes.h"
#include "xml/source_text.h"

namespace ccdcrc {

// Exit statuses of the command line.
enum ExitStatus : int {
  exit_ok = 0,
  exit_ied_problem = 1,  // a named IED was not found, has no CRC, or could not be exported
  exit_differences = 1,  // diff, check, verify: something changed, does not match, or does not verify
  exit_usage = 2,        // usage error or unreadable input
};

class Diagnostics {
 public:
  // `terminal`: standard error is a terminal and progress may be shown on it.
  Diagnostics(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

  // "ccdcrc: WHERE: REASON" (WHERE may be "PATH" or "PATH:LINE:COLUMN").
  void error(std::string_view where, std::string_view reason);
  void warning(std::string_view where, std::string_view reason);
  // "ccdcrc: REASON", for messages that concern no single file.
  void note(std::string_view reason);
  // Each note of a workflow: an error or an info as error() or note() tell
  // them, a warning as warning().
  void tell(const Notes& notes);
  // "ccdcrc: COMMAND: MESSAGE" and where to find help.
  void usage(std::string_view command, std::string_view message);

  // Progress is drawn only when standard error is a terminal and it is wanted.
  void allow_progress(bool allowed) { progress_allowed_ = allowed && terminal_; }
  bool progress_allowed() const { return progress_allowed_; }

  // The input a command works on now, for failures that know no file of
  // their own (memory running out).
  void working_on(std::string path) { working_file_ = std::move(path); }
  const std::string& working_file() const { return working_file_; }

  // Replaces the progress line by `text` (no line feed), or removes it.
  void show_status(std::string_view text);
  void clear_status();

 private:
  std::ostream& err_;
  bool terminal_;
  bool progress_allowed_ = false;
  bool status_shown_ = false;
  std::string working_file_;
};

// "DONE/TOTAL IEDs, ELAPSED s" on the status line, at most ten times a second
// (or another unit than "IEDs").
class Progress {
 public:
  Progress(Diagnostics& diagnostics, std::size_t total, const char* unit = "IEDs");
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void advance(std::size_t count = 1);
  // A callback that updates this progress line, for a workflow.
  ProgressCallback callback() {
    return [this](std::size_t done, std::size_t total) { update(done, total); };
  }
  // Sets what is done of a total that may have changed.
  void update(std::size_t done, std::size_t total);

 private:
  void draw();

  Diagnostics& diagnostics_;
  std::size_t total_;
  const char* unit_;
  std::size_t done_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace ccdcrc
