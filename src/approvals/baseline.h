#pragma once
// A list of approved CRCs as the check uses it: one approved CRC per name
// (the first entry of a name; a repeated one is a malformed line), the IEDs
// whose approved CRC cannot be read, the SCD CRC and the Header it records.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ccdcrc {

struct Baseline {
  std::map<std::string, std::string> crcs;  // IED name -> approved CRC
  // IED name -> why its approved CRC cannot be read: such an IED fails the
  // check, whatever else the list says of it.
  std::map<std::string, std::string> unreadable;
  std::optional<std::string> scd_crc;             // the approved SCD CRC, when listed
  std::optional<std::string> scd_crc_unreadable;  // why the SCD record's CRC cannot be read
  bool header_recorded = false;                   // the list records the SCD's Header
  std::optional<std::string> header_version;
  std::optional<std::string> header_revision;
  std::size_t malformed_lines = 0;  // lines that are no entry of a name, or repeat one
  bool incomplete = false;          // the rest of the list could not be read
};

// A line the reader has something to say about: a line that is no entry (or
// repeats one), an entry whose CRC cannot be read, or where reading stopped
// (`stops`: what follows is lost, which is always told).
struct BaselineNote {
  std::size_t line = 0;
  std::string reason;
  bool stops = false;
};
using BaselineNotes = std::function<void(const BaselineNote&)>;

// A list with lines that are no entry may have lost entries: the check
// fails unless its user asked to check without them.
inline bool malformed_lines_fail(const Baseline& baseline, bool skip_malformed) {
  return baseline.malformed_lines > 0 && !skip_malformed;
}

// Why a list cannot be used at all, as a message (its names printable).
struct BaselineProblem {
  std::size_t line = 0;  // 0: the list as a whole
  std::string message;
  // "PATH" or "PATH:LINE", where the message points.
  std::string where(const std::string& path) const { return line == 0 ? path : path + ":" + std::to_string(line); }
};

// Reads a list from its bytes, handing each note to `notes` as it is found;
// nullopt (with `problem`) when it is no list or holds no CRC at all.
std::optional<Baseline> read_baseline(std::string_view bytes, const BaselineNotes& notes, BaselineProblem& problem);

// The same from a path ("-": standard input). A FIFO given by its path is
// refused (a pipe is read as standard input), archives are not unpacked, and
// lists far larger than any station's are refused rather than read. The
// SHA-256 of the list's bytes goes to `sha256` when given.
std::optional<Baseline> read_baseline_file(const std::string& path, const BaselineNotes& notes,
                                           BaselineProblem& problem, std::string* sha256 = nullptr);

}  // namespace ccdcrc
