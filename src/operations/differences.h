#pragma once
// What changed between two SCDs in the CCDs of the IEDs that are explained:
// which IEDs are explained, and their changes, collected or told as they are
// found.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "operations/comparison.h"
#include "util/parallel.h"

namespace ccdcrc {

// The IEDs whose circuits are shown in full: they have a CRC only in the new SCD.
bool newly_measured(CrcStatus status);

// The IEDs explained when none are named: the CRC changed, or was added or gained.
bool explained_by_default(CrcStatus status);

// The IEDs to explain, in the order of `ieds`: the named ones (`names` empty:
// every one explained by default). Names that neither SCD holds, and names of
// IEDs that are not explained, are given back apart.
struct ExplainedSelection {
  std::vector<const IedCrcChange*> ieds;
  std::vector<std::string> unknown;                // in neither SCD
  std::vector<const IedCrcChange*> unexplainable;  // unchanged, removed or lost
};
ExplainedSelection select_explained(const std::vector<IedCrcChange>& ieds, const std::vector<std::string>& names);

// The measured CCDs of an IED that is not unchanged, of the sides that have a CRC.
struct MeasuredPair {
  std::unique_ptr<MeasuredCcd> old_ccd;
  std::unique_ptr<MeasuredCcd> new_ccd;
};

// Where the measured CCDs of OLD come from: its document, or what was kept of
// it before it was released. Each IED is taken once; several threads may take
// different IEDs at once.
class OldCcds {
 public:
  virtual ~OldCcds() = default;
  // Null when the IED has no circuits.
  virtual std::unique_ptr<MeasuredCcd> take(const ListedCrc& ied) = 0;
};

// Built from OLD's document as they are taken.
class BuiltOldCcds final : public OldCcds {
 public:
  explicit BuiltOldCcds(const Scd& scd) : scd_(scd) {}
  std::unique_ptr<MeasuredCcd> take(const ListedCrc& ied) override;

 private:
  const Scd& scd_;
};

// Built before OLD's document is released, for the IEDs of the listing that
// have a CRC (`names` not empty: those of the names alone), on `jobs`
// threads; each is given up as it is taken.
class KeptOldCcds final : public OldCcds {
 public:
  KeptOldCcds(const Scd& scd, const std::vector<ListedCrc>& listed, const std::vector<std::string>& names,
              unsigned jobs);
  std::unique_ptr<MeasuredCcd> take(const ListedCrc& ied) override;

 private:
  std::map<std::string, std::unique_ptr<Ccd>> built_;
};

MeasuredPair measured_pair(const IedCrcChange& ied, OldCcds& old_ccds, const Scd& new_scd);

// Tells what differs: the comparison of both CCDs, or, of the one side that
// has a CRC, its circuits as references that appeared (or disappeared).
void tell_differences(const MeasuredPair& pair, ComparisonSink& sink);

// The changes of each IED, collected, by name (jobs: threads, 0 one per core).
std::map<std::string, CcdComparison> collect_explanations(const std::vector<const IedCrcChange*>& ieds,
                                                          OldCcds& old_ccds, const Scd& new_scd, unsigned jobs,
                                                          const ProgressCallback& progress = {});

// What changed in the CCDs of the IEDs that are explained, found while a
// report is written, so that no more than a window of IEDs' changes is ever
// held. A writer asks for each IED once, in the order of the comparison.
class ExplainedChanges {
 public:
  virtual ~ExplainedChanges() = default;
  virtual bool explains(const IedCrcChange& ied) const = 0;
  // Tells the changes of an IED that is explained to `sink` as they are found.
  virtual void tell(const IedCrcChange& ied, ComparisonSink& sink) = 0;
};

// The changes of --explain and the counts of --stat, found as they are
// written. The IEDs of a window are built and compared on several threads,
// their changes collected; then they are told in order and dropped. An IED
// with more changes than are collected keeps its CCDs instead, and is
// compared again as it is written. Memory is that of a window of CCDs and of
// collected changes, however many changes there are.
class WindowedExplanations final : public ExplainedChanges {
 public:
  // `progress` counts the IEDs built; `window_built` is called before the
  // changes of a window are told (a front end clears its progress line).
  WindowedExplanations(std::vector<const IedCrcChange*> ieds, OldCcds& old_ccds, const Scd& new_scd, unsigned jobs,
                       ProgressCallback progress = {}, std::function<void()> window_built = {});
  ~WindowedExplanations() override;
  WindowedExplanations(const WindowedExplanations&) = delete;
  WindowedExplanations& operator=(const WindowedExplanations&) = delete;

  bool explains(const IedCrcChange& ied) const override;
  void tell(const IedCrcChange& ied, ComparisonSink& sink) override;

 private:
  struct Slot;
  void build_window(std::size_t first);
  void fill(Slot& slot, const IedCrcChange& ied);

  std::vector<const IedCrcChange*> ieds_;
  OldCcds& old_ccds_;
  const Scd& new_scd_;
  ProgressCallback progress_;
  std::function<void()> window_built_;
  unsigned jobs_ = 1;
  std::size_t window_start_ = 0;
  std::size_t built_ = 0;  // IEDs built so far, for the progress
  std::vector<Slot> window_;
};

}  // namespace ccdcrc
