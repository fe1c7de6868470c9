#include "history/history.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "operations/crc_runs.h"

namespace ccdcrc {

namespace {

// The threads that parse and list the revision parsed.
unsigned threads(const HistoryOptions& options) {
  return options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
}

// The listings of a run: those read in it, then those of the store. A
// content that several revisions hold is read once.
class RunListings {
 public:
  explicit RunListings(ListingStore* store) : store_(store) {}

  std::optional<RevisionListing> find(const std::string& key) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (const auto found = read_.find(key); found != read_.end()) return found->second;
    }
    return store_ ? store_->find(key) : std::nullopt;
  }
  void put(const std::string& key, const RevisionListing& listing) {
    if (key.empty()) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      read_.emplace(key, listing);
    }
    if (store_) store_->put(key, listing);
  }

 private:
  ListingStore* store_;
  std::mutex mutex_;
  std::map<std::string, RevisionListing> read_;
};

// The texts of revisions listed, kept for the next ones read: their pages
// are in place, where a new text's would each be faulted in and cleared. One
// is in use or kept for each revision read at once.
class SpareTexts {
 public:
  SourceText take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (texts_.empty()) return {};
    SourceText text = std::move(texts_.back());
    texts_.pop_back();
    return text;
  }
  void give(SourceText text) {
    if (text.data() == nullptr) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    texts_.push_back(std::move(text));
  }

 private:
  std::mutex mutex_;
  std::vector<SourceText> texts_;
};

// The document of a revision's text, or null with the problem that kept it
// from being parsed.
std::unique_ptr<Scd> parsed(Input input, const std::string& name, const BeforeParse& before_parse,
                            std::optional<RevisionProblem>& problem) {
  LoadProblem load_problem;
  std::unique_ptr<Scd> scd = parse_scd_input(std::move(input), name, nullptr, load_problem, before_parse);
  if (!scd) {
    problem = RevisionProblem{load_problem.where(), load_problem.message};
    return nullptr;
  }
  // A revision read in part has no CRCs that stand for it: it is unreadable.
  if (const std::optional<LoadProblem> partial = read_in_part(*scd, name)) {
    problem = RevisionProblem{partial->where(), partial->message};
    return nullptr;
  }
  return scd;
}

// Reads one revision into its place: from the listings known when its key is
// there. Revisions are read side by side, but parsed and listed one at a
// time (`parsing`) on every thread: one document is held at once, and the
// heap that the last one freed serves the next.
void read_revision(const RevisionReader& reader, std::size_t index, RunListings& listings, SpareTexts& texts,
                   std::mutex& parsing, unsigned jobs, HistoryRevision& revision) {
  std::optional<RevisionListing> known_listing;
  const auto known = [&](const std::string& key) {
    known_listing = listings.find(key);
    return known_listing.has_value();
  };
  RevisionRead read = reader.read(index, known, texts.take());
  texts.give(std::move(read.unused));
  revision.key = read.key;
  if (read.problem) {
    revision.problem = std::move(read.problem);
    return;
  }
  if (known_listing) {
    revision.listing = std::move(known_listing);
    revision.cached = true;
    return;
  }
  const std::lock_guard<std::mutex> lock(parsing);
  // The same content, read beside this one, may have been listed meanwhile:
  // it is read once, whichever revisions are read at once.
  if (std::optional<RevisionListing> listed = read.key.empty() ? std::nullopt : listings.find(read.key)) {
    revision.listing = std::move(listed);
    revision.cached = true;
    texts.give(std::move(read.input.text));
    return;
  }
  if (read.scd) {
    revision.listing = list_revision(*read.scd, jobs);
  } else {
    std::unique_ptr<Scd> scd = parsed(std::move(read.input), read.name, reader.before_parse, revision.problem);
    if (!scd) return;
    revision.listing = list_revision(*scd, jobs);
    texts.give(Scd::reclaim_text(std::move(scd)));
  }
  listings.put(read.key, *revision.listing);
}

// A run of digits or of other bytes, from `at` on.
std::string_view next_run(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  const bool digits = std::isdigit(static_cast<unsigned char>(text[at])) != 0;
  while (at < text.size() && (std::isdigit(static_cast<unsigned char>(text[at])) != 0) == digits) ++at;
  return text.substr(start, at - start);
}

// -1, 0 or 1 as `a` comes before, with or after `b`: "9" before "10".
int compare_numbered(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    std::string_view x = next_run(a, i);
    std::string_view y = next_run(b, j);
    const bool numbers =
        std::isdigit(static_cast<unsigned char>(x[0])) && std::isdigit(static_cast<unsigned char>(y[0]));
    if (numbers) {
      x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
      y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    }
    if (const int order = x.compare(y); order != 0) return order < 0 ? -1 : 1;
  }
  if (i < a.size()) return 1;
  return j < b.size() ? -1 : 0;
}

int compare_field(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  if (!a || !b) return a ? 1 : b ? -1 : 0;
  return compare_numbered(*a, *b);
}

CrcStatus status_of(const RevisionIed* old_ied, const RevisionIed* new_ied) {
  if (!old_ied) return CrcStatus::added;
  if (!new_ied) return CrcStatus::removed;
  if (old_ied->crc == new_ied->crc) return CrcStatus::unchanged;
  if (!old_ied->crc) return CrcStatus::gained;
  return new_ied->crc ? CrcStatus::changed : CrcStatus::lost;
}

// The IEDs of two listings whose CRC differs, in name order; an IED without
// circuits in both is no change.
std::vector<HistoryChange> crc_changes(const std::vector<RevisionIed>* before, const std::vector<RevisionIed>& now) {
  static const std::vector<RevisionIed> none;
  const std::vector<RevisionIed>& old_ieds = before ? *before : none;
  std::vector<HistoryChange> changes;
  auto a = old_ieds.begin();
  auto b = now.begin();
  while (a != old_ieds.end() || b != now.end()) {
    const RevisionIed* x = nullptr;
    const RevisionIed* y = nullptr;
    if (b == now.end() || (a != old_ieds.end() && a->name < b->name)) {
      x = &*a++;
    } else if (a == old_ieds.end() || b->name < a->name) {
      y = &*b++;
    } else {
      x = &*a++;
      y = &*b++;
    }
    const std::optional<std::string> old_crc = x ? x->crc : std::nullopt;
    const std::optional<std::string> new_crc = y ? y->crc : std::nullopt;
    if (old_crc == new_crc) continue;
    changes.push_back({(x ? x : y)->name, old_crc, new_crc, status_of(x, y)});
  }
  return changes;
}

bool has_ied(const RevisionListing& listing, const std::string& name) {
  const auto at = std::lower_bound(listing.ieds.begin(), listing.ieds.end(), name,
                                   [](const RevisionIed& ied, const std::string& key) { return ied.name < key; });
  return at != listing.ieds.end() && at->name == name;
}

// Every change of each revision against the one before that could be read.
void compare_revisions(std::vector<HistoryRevision>& revisions) {
  const RevisionListing* before = nullptr;
  for (HistoryRevision& revision : revisions) {
    if (!revision.listing) continue;
    const RevisionListing& now = *revision.listing;
    revision.first = before == nullptr;
    revision.changes = crc_changes(before ? &before->ieds : nullptr, now.ieds);
    if (before) {
      revision.old_scd_crc = before->scd_crc;
      revision.bindings = compare_bindings(before->bindings, now.bindings,
                                           [&now](const std::string& name) { return has_ied(now, name); });
    } else {
      revision.bindings.broken = now.bindings;
    }
    before = &now;
  }
}

// Keeps the changes and bindings of the IEDs asked for.
void keep_asked(std::vector<HistoryRevision>& revisions, const std::set<std::string>& asked) {
  const auto unasked = [&asked](const std::string& name) { return asked.count(name) == 0; };
  for (HistoryRevision& revision : revisions) {
    std::erase_if(revision.changes, [&](const HistoryChange& change) { return unasked(change.name); });
    for (std::vector<BrokenBinding>* list :
         {&revision.bindings.broken, &revision.bindings.still_broken, &revision.bindings.mended}) {
      std::erase_if(*list, [&](const BrokenBinding& binding) { return unasked(binding.ied); });
    }
  }
}

std::vector<IedTimeline> timelines(const std::vector<HistoryRevision>& revisions) {
  std::map<std::string, IedTimeline> by_name;
  for (const HistoryRevision& revision : revisions) {
    for (const HistoryChange& change : revision.changes) {
      IedTimeline& ied = by_name[change.name];
      ied.name = change.name;
      ied.events.push_back({revision.number, change});
    }
  }
  // The place of an IED in the last revision that gives one.
  for (auto revision = revisions.rbegin(); revision != revisions.rend(); ++revision) {
    if (!revision->listing) continue;
    for (const auto& [name, place] : revision->listing->bays) {
      auto ied = by_name.find(name);
      if (ied != by_name.end() && !ied->second.bay) ied->second.bay = place;
    }
  }
  std::vector<IedTimeline> list;
  list.reserve(by_name.size());
  for (auto& [name, ied] : by_name) list.push_back(std::move(ied));
  return list;
}

}  // namespace

std::size_t HistoryRevision::crcs() const {
  if (!listing) return 0;
  return std::count_if(listing->ieds.begin(), listing->ieds.end(), [](const RevisionIed& ied) { return ied.crc; });
}

RevisionListing list_revision(const Scd& scd, unsigned jobs) {
  RevisionListing listing;
  const std::vector<ListedCrc> listed = listed_crcs(scd, jobs);
  for (const ListedCrc& entry : listed) listing.ieds.push_back({entry.name(), entry.crc});
  listing.scd_crc = scd_crc(crc_map(listed));
  listing.header = scd_header(scd);
  listing.bindings = broken_bindings(scd, listed);
  listing.bays = bays_of_ieds(scd);
  return listing;
}

bool header_before(const ScdHeader& a, const ScdHeader& b) {
  if (const int order = compare_field(a.version, b.version); order != 0) return order < 0;
  return compare_field(a.revision, b.revision) < 0;
}

History build_history(const RevisionReader& reader, const HistoryOptions& options, const ProgressCallback& progress) {
  History history;
  std::vector<HistoryRevision> revisions(reader.size());
  const unsigned jobs = threads(options);
  RunListings listings(options.store);
  SpareTexts texts;
  std::mutex parsing;
  parallel_for(
      revisions.size(), std::max(1u, options.documents),
      [&](std::size_t i) {
        revisions[i].label = reader.label(i);
        read_revision(reader, i, listings, texts, parsing, jobs, revisions[i]);
      },
      progress);
  if (options.by_header) {
    // Revisions that could not be read keep their place after those that could.
    std::stable_sort(revisions.begin(), revisions.end(), [](const HistoryRevision& a, const HistoryRevision& b) {
      if (!a.listing || !b.listing) return a.listing && !b.listing;
      return header_before(a.listing->header, b.listing->header);
    });
  }
  for (std::size_t i = 0; i < revisions.size(); ++i) {
    HistoryRevision& revision = revisions[i];
    revision.number = i + 1;
    if (revision.problem) ++history.unreadable;
    if (revision.listing && !revision.cached) ++history.read;
  }
  compare_revisions(revisions);
  if (!options.ieds.empty()) {
    const std::set<std::string> asked(options.ieds.begin(), options.ieds.end());
    for (const std::string& name : asked) {
      const bool seen = std::any_of(revisions.begin(), revisions.end(), [&name](const HistoryRevision& revision) {
        return revision.listing && has_ied(*revision.listing, name);
      });
      if (!seen) history.unknown_ieds.push_back(name);
    }
    keep_asked(revisions, asked);
  }
  history.total = revisions.size();
  if (options.changed_only) {
    std::erase_if(revisions, [](const HistoryRevision& revision) {
      return revision.listing && revision.changes.empty() && revision.bindings.broken.empty() &&
             revision.bindings.mended.empty();
    });
  }
  history.ieds = timelines(revisions);
  history.revisions = std::move(revisions);
  return history;
}

}  // namespace ccdcrc
