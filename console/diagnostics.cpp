#include "console/diagnostics.h"

#include <algorithm>
#include <cstdio>

#include "report/output.h"

namespace ccdcrc {

void Diagnostics::error(std::string_view where, std::string_view reason) {
  clear_status();
  err_ << "ccdcrc: " << where << ": " << reason << '\n' << std::flush;
}

void Diagnostics::warning(std::string_view where, std::string_view reason) {
  clear_status();
  err_ << "ccdcrc: " << where << ": warning: " << reason << '\n' << std::flush;
}

void Diagnostics::note(std::string_view reason) {
  clear_status();
  err_ << "ccdcrc: " << reason << '\n' << std::flush;
}

void Diagnostics::tell(const Notes& notes) {
  for (const Note& told : notes) {
    if (told.severity == Note::Severity::warning) {
      warning(told.where, told.text);
    } else if (told.where.empty()) {
      note(told.text);
    } else {
      error(told.where, told.text);
    }
  }
}

void Diagnostics::usage(std::string_view command, std::string_view message) {
  clear_status();
  const std::string named = command.empty() ? std::string() : std::string(command) + " ";
  err_ << "ccdcrc: " << (command.empty() ? "" : std::string(command) + ": ") << message << '\n'
       << "Run 'ccdcrc " << named << "--help' for usage.\n";
}

void Diagnostics::show_status(std::string_view text) {
  if (!progress_allowed_) return;
  // Carriage return and "erase to end of line": the next text overwrites this one.
  err_ << "\r\033[K" << text << std::flush;
  status_shown_ = true;
}

void Diagnostics::clear_status() {
  if (!status_shown_) return;
  err_ << "\r\033[K" << std::flush;
  status_shown_ = false;
}

Progress::Progress(Diagnostics& diagnostics, std::size_t total, const char* unit)
    : diagnostics_(diagnostics),
      total_(total),
      unit_(unit),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {
  draw();
}

Progress::~Progress() { diagnostics_.clear_status(); }

void Progress::advance(std::size_t count) {
  done_ += count;
  if (!diagnostics_.progress_allowed()) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_draw_ < std::chrono::milliseconds(100) && done_ < total_) return;
  last_draw_ = now;
  draw();
}

void Progress::update(std::size_t done, std::size_t total) {
  total_ = total;
  advance(done - std::min(done, done_));
}

void Progress::draw() {
  if (!diagnostics_.progress_allowed()) return;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  char text[96];
  std::snprintf(text, sizeof text, "%zu/%zu %s, %.1f s", done_, total_, unit_, elapsed.count());
  diagnostics_.show_status(text);
}

}  // namespace ccdcrc
