#include "console/baseline.h"

#include "approvals/approved_list.h"
#include "report/output.h"
#include "xml/input.h"

namespace ccdcrc {

namespace {

// Lists far larger than any station's are refused rather than read without end.
constexpr std::size_t largest_list = std::size_t{1} << 30;

// Collects the entries of a list and reports the lines it rejects.
class BaselineBuilder : public ApprovedListReceiver {
 public:
  BaselineBuilder(const std::string& path, bool warn, Diagnostics& diagnostics)
      : path_(path), warn_(warn), diagnostics_(diagnostics) {}

  void ied(std::size_t line, const std::string& name, const std::string& crc) override {
    auto [entry, added] = lines_.emplace(name, line);
    if (!added) {
      reject(line, "IED " + quoted(name) + " is listed again (first on line " + std::to_string(entry->second) +
                       "); the first entry is used");
      return;
    }
    baseline_.crcs[name] = crc;
  }

  void scd(std::size_t line, const std::string& crc) override {
    if (scd_line_) {
      reject(line,
             "the SCD CRC is listed again (first on line " + std::to_string(scd_line_) + "); the first entry is used");
      return;
    }
    scd_line_ = line;
    baseline_.scd_crc = crc;
  }

  void header(const std::optional<std::string>& version, const std::optional<std::string>& revision) override {
    baseline_.header_recorded = true;
    baseline_.header_version = version;
    baseline_.header_revision = revision;
  }

  void malformed(std::size_t line, const std::string& reason, const std::optional<std::string>& name) override {
    if (!name) {
      reject(line, reason);
      return;
    }
    // Told for its IED, which fails the check: a damaged entry must never
    // take its IED out of the check.
    name_line(line, reason);
    baseline_.unreadable.emplace(*name, reason);
  }

  void unreadable_scd(std::size_t line, const std::string& reason) override {
    name_line(line, reason);
    if (!baseline_.scd_crc_unreadable) baseline_.scd_crc_unreadable = reason;
  }

  void incomplete(std::size_t line, const std::string& reason) override {
    diagnostics_.error(path_ + ":" + std::to_string(line), reason);
    baseline_.incomplete = true;
  }

  Baseline take() { return std::move(baseline_); }

 private:
  void reject(std::size_t line, const std::string& reason) {
    ++baseline_.malformed_lines;
    name_line(line, reason);
  }

  void name_line(std::size_t line, const std::string& reason) {
    if (warn_) diagnostics_.error(path_ + ":" + std::to_string(line), printable(reason));
  }

  const std::string& path_;
  bool warn_;
  Diagnostics& diagnostics_;
  Baseline baseline_;
  std::map<std::string, std::size_t> lines_;  // IED name -> line of its entry
  std::size_t scd_line_ = 0;
};

}  // namespace

std::optional<Baseline> read_baseline(const std::string& path, bool warn, Diagnostics& diagnostics) {
  InputOptions options;
  options.pipes = false;  // a FIFO given by its path is refused; a pipe is read as standard input
  options.unpack = false;
  options.limit = largest_list;
  Input input;
  InputProblem problem;
  if (!read_input(path, options, input, problem)) {
    diagnostics.error(path, "cannot read the list of approved CRCs: " + problem.message);
    return std::nullopt;
  }
  BaselineBuilder builder(path, warn, diagnostics);
  if (const std::optional<ApprovedListProblem> unusable = read_approved_list(input.text.view(), builder)) {
    if (unusable->line == 0) {
      diagnostics.error(path, "cannot read the list of approved CRCs: " + unusable->reason);
    } else {
      diagnostics.error(path + ":" + std::to_string(unusable->line), printable(unusable->reason));
    }
    return std::nullopt;
  }
  Baseline baseline = builder.take();
  if (baseline.crcs.empty() && baseline.unreadable.empty() && !baseline.scd_crc && !baseline.scd_crc_unreadable &&
      !baseline.incomplete) {
    diagnostics.error(path, std::string("the list holds no CRC: ") + approved_list_layout);
    return std::nullopt;
  }
  return baseline;
}

}  // namespace ccdcrc
