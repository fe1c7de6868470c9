#pragma once
// The history of a station's circuits: the CRC listing of each revision of an
// SCD, and what changed from one revision to the next. Revisions come from a
// RevisionReader (files, commits of a repository, SCDs already loaded); each
// listing may be kept in a ListingStore, so that a revision read once is
// never read again.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "operations/bindings.h"
#include "operations/comparison.h"
#include "operations/scd_input.h"
#include "scd/bays.h"
#include "scd/header.h"
#include "scd/scd.h"
#include "util/parallel.h"
#include "xml/source_text.h"

namespace ccdcrc {

// What a revision is called: a file's path, or a commit.
struct RevisionLabel {
  std::string name;     // the path given, or the commit's short id
  std::string commit;   // the commit's full id; empty for a file
  std::string date;     // the commit's date, "YYYY-MM-DD HH:MM:SS +HHMM"
  std::string author;   // the commit's author
  std::string subject;  // the first line of the commit's message
  std::string path;     // the file's path in the commit
};

// An IED name of a revision with its CRC (nullopt: no circuits).
struct RevisionIed {
  std::string name;
  std::optional<std::string> crc;
  bool operator==(const RevisionIed&) const = default;
};

// What a revision says of its circuits: everything the history needs of it,
// small enough to be kept without the document.
struct RevisionListing {
  std::vector<RevisionIed> ieds;  // every IED name, byte-wise ordered
  std::string scd_crc;
  ScdHeader header;
  std::vector<BrokenBinding> bindings;  // inputs that resolve to nothing
  std::map<std::string, BayPlace> bays;
};

// The listing of a loaded SCD, its IEDs built on `jobs` threads (0: one per core).
RevisionListing list_revision(const Scd& scd, unsigned jobs);

// Why a revision could not be read.
struct RevisionProblem {
  std::string where;  // "PATH", "PATH:LINE:COLUMN" or "COMMIT:PATH"
  std::string reason;
};

// A revision as a reader gives it: its text to parse, a document the caller
// holds, nothing when its key is known already (`known`), or the problem
// that kept it from being read.
struct RevisionRead {
  std::string key;           // names the content, or empty when nothing does
  std::string name;          // stands for the text in messages: "PATH" or "COMMIT:PATH"
  Input input;               // the text read, when it is to be parsed
  const Scd* scd = nullptr;  // a document the caller holds, listed as it is
  std::optional<RevisionProblem> problem;
  SourceText unused;  // the room given, when no text took it: kept for the next revision
};

// Where the revisions come from. read() may be called from several threads at once.
class RevisionReader {
 public:
  virtual ~RevisionReader() = default;
  virtual std::size_t size() const = 0;
  virtual const RevisionLabel& label(std::size_t index) const = 0;
  // Reads revision `index` into the memory of `room` where it is large
  // enough (a text given back from a revision listed before); when its key
  // makes `known` true, the text is not returned, and the room comes back
  // as `unused`. The history parses what was read.
  virtual RevisionRead read(std::size_t index, const std::function<bool(const std::string&)>& known,
                            SourceText room) const = 0;

  // Told the size of each text before it is parsed, so that a front end can
  // provide the memory its document takes; one text is parsed at a time.
  BeforeParse before_parse;
};

// Listings kept by key between runs. Called from several threads at once.
class ListingStore {
 public:
  virtual ~ListingStore() = default;
  virtual std::optional<RevisionListing> find(const std::string& key) = 0;
  virtual void put(const std::string& key, const RevisionListing& listing) = 0;
};

// One IED's CRC from one revision to the next that could be read.
struct HistoryChange {
  std::string name;
  std::optional<std::string> old_crc;
  std::optional<std::string> new_crc;
  CrcStatus status = CrcStatus::changed;  // added in the first revision for every IED with a CRC
};

// A revision in the history.
struct HistoryRevision {
  std::size_t number = 0;  // from 1, in the order the history shows
  RevisionLabel label;
  std::string key;
  std::optional<RevisionProblem> problem;  // set when it could not be read
  std::optional<RevisionListing> listing;  // set when it could
  bool cached = false;                     // the listing came from the store
  bool first = false;                      // the first revision that could be read
  std::vector<HistoryChange> changes;      // against the revision before that could be read
  std::optional<std::string> old_scd_crc;  // of that revision
  BindingChanges bindings;                 // broken: appeared; mended
  std::size_t crcs() const;                // IEDs with a CRC
};

// One IED across the history: the revisions in which its CRC changed.
struct IedTimeline {
  std::string name;
  std::optional<BayPlace> bay;  // of the last revision that places it in a bay
  struct Event {
    std::size_t revision = 0;  // the revision's number
    HistoryChange change;
  };
  std::vector<Event> events;
};

struct HistoryOptions {
  unsigned documents = 2;         // revisions read at once (texts held); one is parsed at a time
  unsigned jobs = 0;              // IED threads in all (0: one per core)
  bool by_header = false;         // order by the Header's version and revision
  std::vector<std::string> ieds;  // only these IEDs (empty: all)
  bool changed_only = false;      // leave out revisions in which nothing shown changed
  ListingStore* store = nullptr;  // keeps listings between runs; null: none
};

struct History {
  std::vector<HistoryRevision> revisions;  // in the order shown
  std::vector<IedTimeline> ieds;           // every IED that had a CRC, byte-wise ordered (only those asked for)
  std::vector<std::string> unknown_ieds;   // asked for, in no revision
  std::size_t read = 0;                    // revisions read (not found in the store)
  std::size_t unreadable = 0;
  std::size_t total = 0;  // revisions before --changed-only
};

// Reads every revision (`options.documents` at a time), parses and lists
// them one at a time on every thread (or takes a listing from the store),
// and compares each with the one before. Progress counts revisions; a
// callback that throws ends the run.
History build_history(const RevisionReader& reader, const HistoryOptions& options,
                      const ProgressCallback& progress = {});

// Version and revision compared as people number them: runs of digits by
// their value, the rest byte by byte; a Header without either comes first.
bool header_before(const ScdHeader& a, const ScdHeader& b);

}  // namespace ccdcrc
