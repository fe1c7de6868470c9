#pragma once
// Colour for the statuses of the text reports on a terminal: a stream buffer
// in front of standard output that colours the status word of each line
// (ok, changed, new, modified, ...) and passes every other byte unchanged.
// When colour is off, it passes every byte unchanged.

#include <streambuf>
#include <string>
#include <string_view>

namespace ccdcrc {

enum class ColourChoice { automatic, always, never };

// Whether statuses are coloured: `always`, `never`, or (automatic) when
// standard output is a terminal and NO_COLOR is unset or empty.
bool colour_wanted(ColourChoice choice, bool out_is_terminal, const char* no_color);

// The line with its status word coloured, or the line unchanged when it holds
// no status: "NAME: STATUS ..." (check, verify), "NAME  CRC  CRC  STATUS"
// (diff), "NAME  | STATUS: ..." (diff --stat).
std::string coloured_line(std::string_view line);

class StatusColouring : public std::streambuf {
 public:
  explicit StatusColouring(std::streambuf* target) : target_(target) {}
  StatusColouring(const StatusColouring&) = delete;
  StatusColouring& operator=(const StatusColouring&) = delete;
  ~StatusColouring() override { sync(); }

  // Off until switched on; whole lines are coloured from then on.
  void enable(bool on) { enabled_ = on; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  bool write_lines();  // every complete line held, coloured

  std::streambuf* target_;
  bool enabled_ = false;
  std::string held_;  // the line being written, while enabled
};

}  // namespace ccdcrc
