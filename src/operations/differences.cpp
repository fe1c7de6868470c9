#include "operations/differences.h"

#include <algorithm>
#include <thread>

namespace ccdcrc {

namespace {

// Thrown by CappedSink when a comparison tells more than it keeps.
struct TooManyChanges {};

// Collects what a comparison tells up to a number of changes, and throws
// TooManyChanges beyond: the comparison is then cut short.
class CappedSink final : public ComparisonSink {
 public:
  CappedSink(CcdComparison& result, std::size_t most) : collecting_(result), left_(most) {}
  void reference(const ReferenceChange& reference) override {
    count();
    collecting_.reference(reference);
  }
  void change(const CcdChange& change) override {
    count();
    collecting_.change(change);
  }
  void other(const CcdChange& change) override {
    count();
    collecting_.other(change);
  }

 private:
  void count() {
    if (left_ == 0) throw TooManyChanges{};
    --left_;
  }

  CollectingSink collecting_;
  std::size_t left_;
};

// Tells a collected comparison again, in the order it was found.
void retell(CcdComparison& comparison, ComparisonSink& sink) {
  for (ReferenceChange& reference : comparison.references) {
    const std::vector<CcdChange> changes = std::move(reference.changes);
    reference.changes.clear();
    sink.reference(reference);
    for (const CcdChange& change : changes) sink.change(change);
  }
  for (const CcdChange& change : comparison.other) sink.other(change);
}

// Changes of one IED collected on a worker thread; a few megabytes.
constexpr std::size_t collected_changes = 10000;
// IEDs per thread in a window: small and large ones even out.
constexpr std::size_t ieds_per_job = 4;

}  // namespace

bool newly_measured(CrcStatus status) { return status == CrcStatus::added || status == CrcStatus::gained; }

bool explained_by_default(CrcStatus status) { return status == CrcStatus::changed || newly_measured(status); }

ExplainedSelection select_explained(const std::vector<IedCrcChange>& ieds, const std::vector<std::string>& names) {
  ExplainedSelection selection;
  if (names.empty()) {
    for (const IedCrcChange& ied : ieds) {
      if (explained_by_default(ied.status)) selection.ieds.push_back(&ied);
    }
    return selection;
  }
  for (const std::string& name : names) {
    auto found = std::lower_bound(ieds.begin(), ieds.end(), name,
                                  [](const IedCrcChange& ied, const std::string& wanted) { return ied.name < wanted; });
    if (found == ieds.end() || found->name != name) {
      selection.unknown.push_back(name);
    } else if (!explained_by_default(found->status)) {
      selection.unexplainable.push_back(&*found);
    } else {
      selection.ieds.push_back(&*found);
    }
  }
  return selection;
}

std::unique_ptr<MeasuredCcd> BuiltOldCcds::take(const ListedCrc& ied) {
  return MeasuredCcd::build(scd_, ied.listed.ied);
}

KeptOldCcds::KeptOldCcds(const Scd& scd, const std::vector<ListedCrc>& listed, const std::vector<std::string>& names,
                         unsigned jobs) {
  std::vector<const ListedCrc*> kept;
  for (const ListedCrc& ied : listed) {
    if (ied.crc && (names.empty() || std::find(names.begin(), names.end(), ied.name()) != names.end())) {
      kept.push_back(&ied);
    }
  }
  std::vector<std::unique_ptr<Ccd>> built(kept.size());
  parallel_for(kept.size(), jobs, [&](std::size_t i) { built[i] = build_ied_ccd(scd, kept[i]->listed.ied); });
  for (std::size_t i = 0; i < kept.size(); ++i) built_.emplace(kept[i]->name(), std::move(built[i]));
}

std::unique_ptr<MeasuredCcd> KeptOldCcds::take(const ListedCrc& ied) {
  const auto found = built_.find(ied.name());
  // The map is not changed while CCDs are taken: only the entry taken.
  return found == built_.end() ? nullptr : MeasuredCcd::finish(std::move(found->second));
}

MeasuredPair measured_pair(const IedCrcChange& ied, OldCcds& old_ccds, const Scd& new_scd) {
  MeasuredPair pair;
  if (ied.old_ied && ied.old_ied->crc) pair.old_ccd = old_ccds.take(*ied.old_ied);
  if (ied.new_ied && ied.new_ied->crc) pair.new_ccd = MeasuredCcd::build(new_scd, ied.new_ied->listed.ied);
  return pair;
}

void tell_differences(const MeasuredPair& pair, ComparisonSink& sink) {
  if (pair.old_ccd && pair.new_ccd) return compare_ccds(*pair.old_ccd, *pair.new_ccd, sink);
  const MeasuredCcd* ccd = pair.new_ccd ? pair.new_ccd.get() : pair.old_ccd.get();
  if (!ccd) return;
  tell_circuits(ccd->root(), pair.new_ccd ? ReferenceChange::Kind::appeared : ReferenceChange::Kind::disappeared, sink);
}

std::map<std::string, CcdComparison> collect_explanations(const std::vector<const IedCrcChange*>& ieds,
                                                          OldCcds& old_ccds, const Scd& new_scd, unsigned jobs,
                                                          const ProgressCallback& progress) {
  std::vector<CcdComparison> comparisons(ieds.size());
  parallel_for(
      ieds.size(), jobs,
      [&](std::size_t i) {
        CollectingSink sink(comparisons[i]);
        tell_differences(measured_pair(*ieds[i], old_ccds, new_scd), sink);
      },
      progress);
  std::map<std::string, CcdComparison> by_name;
  for (std::size_t i = 0; i < ieds.size(); ++i) by_name.emplace(ieds[i]->name, std::move(comparisons[i]));
  return by_name;
}

struct WindowedExplanations::Slot {
  std::optional<CcdComparison> collected;
  MeasuredPair pair;  // kept when the changes were too many to collect
};

WindowedExplanations::WindowedExplanations(std::vector<const IedCrcChange*> ieds, OldCcds& old_ccds, const Scd& new_scd,
                                           unsigned jobs, ProgressCallback progress, std::function<void()> window_built)
    : ieds_(std::move(ieds)),
      old_ccds_(old_ccds),
      new_scd_(new_scd),
      progress_(std::move(progress)),
      window_built_(std::move(window_built)) {
  // In the order of the report, which is the order of the entries the pointers point to.
  std::sort(ieds_.begin(), ieds_.end(), std::less<>());
  jobs_ = jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
}

WindowedExplanations::~WindowedExplanations() = default;

bool WindowedExplanations::explains(const IedCrcChange& ied) const {
  return std::binary_search(ieds_.begin(), ieds_.end(), &ied, std::less<>());
}

void WindowedExplanations::tell(const IedCrcChange& ied, ComparisonSink& sink) {
  if (!explains(ied)) return;
  const std::size_t index =
      static_cast<std::size_t>(std::lower_bound(ieds_.begin(), ieds_.end(), &ied, std::less<>()) - ieds_.begin());
  if (index < window_start_ || index >= window_start_ + window_.size()) build_window(index);
  Slot& slot = window_[index - window_start_];
  if (slot.collected) {
    retell(*slot.collected, sink);
  } else {
    tell_differences(slot.pair, sink);
  }
  slot = {};
}

void WindowedExplanations::build_window(std::size_t first) {
  window_.clear();
  window_start_ = first;
  window_.resize(std::min(ieds_per_job * jobs_, ieds_.size() - first));
  parallel_for(
      window_.size(), jobs_, [&](std::size_t i) { fill(window_[i], *ieds_[first + i]); },
      [&](std::size_t, std::size_t) {
        ++built_;
        if (progress_) progress_(built_, ieds_.size());
      });
  if (window_built_) window_built_();
}

void WindowedExplanations::fill(Slot& slot, const IedCrcChange& ied) {
  slot.pair = measured_pair(ied, old_ccds_, new_scd_);
  CcdComparison comparison;
  CappedSink sink(comparison, collected_changes);
  try {
    tell_differences(slot.pair, sink);
  } catch (const TooManyChanges&) {
    return;
  }
  slot.collected = std::move(comparison);
  slot.pair = {};
}

}  // namespace ccdcrc
