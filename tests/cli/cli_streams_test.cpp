// The command line run in process, as the Python module and other front ends
// run it: everything it says goes to the streams it is given, nothing to the
// process's own standard streams.

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

// Replaces a standard stream's buffer while it lives.
class Captured {
 public:
  explicit Captured(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf(text_.rdbuf())) {}
  ~Captured() { stream_.rdbuf(saved_); }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  std::string text() const { return text_.str(); }

 private:
  std::ostream& stream_;
  std::ostringstream text_;
  std::streambuf* saved_;
};

TEST(CommandLineStreams, EveryMessageGoesToTheStreamsGiven) {
  const std::string station = data_path("cli_station.scd");
  struct Row {
    std::vector<std::string> arguments;
    std::string err_start;  // what the error stream begins with
    int status;
  };
  const std::vector<Row> rows{
      {{}, "ccdcrc: no command was given\n", 2},
      {{"frobnicate"}, "ccdcrc: unknown command 'frobnicate'", 2},
      {{"verify"}, "ccdcrc: verify: FILE is required\n", 2},
      {{"ied", station}, "ccdcrc: ied: name the IEDs after the SCD, or with --name\n", 2},
      {{"all", "-", "-"}, "ccdcrc: all: '-' (standard input) is given more than once", 2},
      {{"diff", station, station, "--stat", "-f", "json"}, "ccdcrc: diff: --stat is written as text only\n", 2},
      {{"export", station, "-o", "."}, "ccdcrc: export: name the IEDs to export or give --all", 2},
      {{"ied", station, "NOSUCH"}, "ccdcrc: " + station + ": no IED named 'NOSUCH'", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments.empty() ? "(none)" : row.arguments.front());
    std::ostringstream out;
    std::ostringstream err;
    int status = 0;
    std::string process_out;
    std::string process_err;
    {
      const Captured standard_out(std::cout);
      const Captured standard_err(std::cerr);
      status = run_command_line(row.arguments, out, err, false);
      process_out = standard_out.text();
      process_err = standard_err.text();
    }
    EXPECT_EQ(status, row.status);
    EXPECT_EQ(err.str().substr(0, row.err_start.size()), row.err_start);
    EXPECT_EQ(process_out, "");
    EXPECT_EQ(process_err, "");
  }
}

}  // namespace
}  // namespace ccdcrc::testing
