#pragma once
// The bodies of the subcommands. Each loads the SCD once, writes its results
// to `out` and everything else through `diagnostics`, and returns the exit status.

#include <ostream>
#include <string>
#include <vector>

#include "console/diagnostics.h"
#include "console/formats.h"

namespace ccdcrc {

struct AllOptions {
  std::string scd;
  Format format = Format::text;
  bool quiet = false;
  unsigned jobs = 0;  // 0: one per core
};

struct IedOptions {
  std::string scd;
  std::vector<std::string> names;
  Format format = Format::text;
};

struct ExportOptions {
  std::string scd;
  std::vector<std::string> names;  // empty with `every_ied`
  bool every_ied = false;
  std::string directory;
  bool quiet = false;
  unsigned jobs = 0;  // 0: one per core
};

struct CcdOptions {
  std::string scd;
  std::string name;
  bool measured = false;
};

struct DiffOptions {
  std::string old_scd;
  std::string new_scd;
  Format format = Format::text;
  bool explain = false;
  std::vector<std::string> explain_names;  // empty: every IED whose CRC changed
  bool quiet = false;                      // only the IEDs that changed, no progress
  unsigned jobs = 0;                       // 0: one per core
};

struct CheckOptions {
  std::string baseline;
  std::string scd;
  Format format = Format::text;
  bool quiet = false;  // only the IEDs that do not match, no progress
  unsigned jobs = 0;   // 0: one per core
};

struct VerifyOptions {
  std::vector<std::string> files;
  std::string scd;  // empty: check the files against their own content only
  Format format = Format::text;
  bool quiet = false;  // only the files that do not verify
};

int run_all(const AllOptions& options, std::ostream& out, Diagnostics& diagnostics);
int run_ied(const IedOptions& options, std::ostream& out, Diagnostics& diagnostics);
int run_export(const ExportOptions& options, std::ostream& out, Diagnostics& diagnostics);
int run_ccd(const CcdOptions& options, std::ostream& out, Diagnostics& diagnostics);
int run_diff(const DiffOptions& options, std::ostream& out, Diagnostics& diagnostics);
int run_check(const CheckOptions& options, std::ostream& out, Diagnostics& diagnostics);
int run_verify(const VerifyOptions& options, std::ostream& out, Diagnostics& diagnostics);

// Names in the order given, each once.
std::vector<std::string> distinct_names(const std::vector<std::string>& names);

}  // namespace ccdcrc
