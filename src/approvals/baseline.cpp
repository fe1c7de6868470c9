#include "approvals/baseline.h"

#include "approvals/approved_list.h"
#include "util/text.h"
#include "xml/input.h"

namespace ccdcrc {

namespace {

// Lists far larger than any station's are refused rather than read without end.
constexpr std::size_t largest_list = std::size_t{1} << 30;

constexpr const char* unreadable_list = "cannot read the list of approved CRCs: ";

// Collects the entries of a list and notes the lines it rejects.
class BaselineBuilder : public ApprovedListReceiver {
 public:
  explicit BaselineBuilder(const BaselineNotes& notes) : notes_(notes) {}

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
    note(line, reason);
    baseline_.unreadable.emplace(*name, reason);
  }

  void unreadable_scd(std::size_t line, const std::string& reason) override {
    note(line, reason);
    if (!baseline_.scd_crc_unreadable) baseline_.scd_crc_unreadable = reason;
  }

  void incomplete(std::size_t line, const std::string& reason) override {
    if (notes_) notes_({line, reason, true});
    baseline_.incomplete = true;
  }

  Baseline take() { return std::move(baseline_); }

 private:
  void reject(std::size_t line, const std::string& reason) {
    ++baseline_.malformed_lines;
    note(line, reason);
  }

  void note(std::size_t line, const std::string& reason) {
    if (notes_) notes_({line, reason, false});
  }

  const BaselineNotes& notes_;
  Baseline baseline_;
  std::map<std::string, std::size_t> lines_;  // IED name -> line of its entry
  std::size_t scd_line_ = 0;
};

}  // namespace

std::optional<Baseline> read_baseline(std::string_view bytes, const BaselineNotes& notes, BaselineProblem& problem) {
  BaselineBuilder builder(notes);
  if (const std::optional<ApprovedListProblem> unusable = read_approved_list(bytes, builder)) {
    problem = {unusable->line, unusable->line == 0 ? unreadable_list + unusable->reason : printable(unusable->reason)};
    return std::nullopt;
  }
  Baseline baseline = builder.take();
  if (baseline.crcs.empty() && baseline.unreadable.empty() && !baseline.scd_crc && !baseline.scd_crc_unreadable &&
      !baseline.incomplete) {
    problem = {0, std::string("the list holds no CRC: ") + approved_list_layout};
    return std::nullopt;
  }
  return baseline;
}

std::optional<Baseline> read_baseline_file(const std::string& path, const BaselineNotes& notes,
                                           BaselineProblem& problem, std::string* sha256) {
  InputOptions options;
  options.pipes = false;
  options.unpack = false;
  options.limit = largest_list;
  options.sha256 = sha256 != nullptr;
  Input input;
  LoadProblem unread;
  if (!read_input(path, options, input, unread)) {
    problem = {0, unreadable_list + unread.message};
    return std::nullopt;
  }
  if (sha256) *sha256 = input.sha256;
  return read_baseline(input.text.view(), notes, problem);
}

}  // namespace ccdcrc
