#pragma once
// The listings of revisions kept between runs of `history`, in one small file
// of the user's cache folder. Each is found by a key that names the
// revision's content (its SHA-256, or its blob id in a repository), so that a
// listing is never taken for another content. The file records what made
// its listings (the program's version and the CRCs it computes for a small
// station of its own): a file made otherwise, or damaged, is as none.

#include <cstddef>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "history/history.h"

namespace ccdcrc {

class ListingCache final : public ListingStore {
 public:
  // The listings kept in `path`, if any are; at most `capacity` are kept,
  // those used last.
  explicit ListingCache(std::string path, std::size_t capacity = 20000);

  std::optional<RevisionListing> find(const std::string& key) override;
  void put(const std::string& key, const RevisionListing& listing) override;

  // Writes the file whole (its folder made when missing) when a listing was
  // added; 0 or the errno of the failure.
  int save();

  const std::string& path() const { return path_; }
  std::size_t size() const { return entries_.size(); }

 private:
  using Entries = std::list<std::pair<std::string, RevisionListing>>;
  void use(Entries::iterator entry);

  std::string path_;
  std::size_t capacity_;
  std::string identity_;
  std::mutex mutex_;
  Entries entries_;  // used last at the end
  std::map<std::string, Entries::iterator> by_key_;
  bool changed_ = false;
};

// Where the listings are kept: $XDG_CACHE_HOME/ccdcrc/history.cache, else
// ~/.cache/ccdcrc/history.cache (on Windows %LOCALAPPDATA%\ccdcrc\); empty
// when no such folder is known.
std::string default_cache_path();

// What a listing depends on besides the content: the program's version and
// the CRCs of a small station computed as this program computes them.
std::string listing_identity();

// The cache file's text for these listings, and the listings of a text (none
// when it is damaged or was made with another identity).
std::string cache_text(const std::list<std::pair<std::string, RevisionListing>>& entries, const std::string& identity);
std::list<std::pair<std::string, RevisionListing>> cache_entries(std::string_view text, const std::string& identity);

}  // namespace ccdcrc
