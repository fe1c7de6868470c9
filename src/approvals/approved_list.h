#pragma once
// Lists of approved CRCs as people keep them: the text that `ccdcrc all`
// prints (or `NAME:CRC` lines as the menu prints them, or `NAME,CRC` lines
// without a header), CSV as a spreadsheet saves it (separated by commas, semicolons or
// tabs, under a header that names at least the columns `name` and `crc`, in
// any order), or the JSON that `ccdcrc all --format json` writes. A
// byte-order mark (UTF-8 or UTF-16), CRLF line ends and hexadecimal digits in
// either case are taken.
//
// The entries are handed over one by one, with their line, as the text is
// read: a list costs the memory of what its receiver keeps, in time linear in
// its size.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ccdcrc {

enum class ApprovedListFormat { text, csv, json };

// What a list should look like, for messages about one that is not.
inline constexpr const char* approved_list_layout =
    "expected a list of CRCs as 'ccdcrc all' writes it (as text, CSV or JSON), or CSV with 'name' and 'crc' "
    "columns";

// What a list holds, as it is read.
class ApprovedListReceiver {
 public:
  virtual ~ApprovedListReceiver() = default;
  // An IED's approved CRC: eight upper-case hexadecimal digits.
  virtual void ied(std::size_t line, const std::string& name, const std::string& crc) = 0;
  // The approved SCD CRC.
  virtual void scd(std::size_t line, const std::string& crc) = 0;
  // The SCD's Header as the list records it.
  virtual void header(const std::optional<std::string>& version, const std::optional<std::string>& revision) = 0;
  // A line that is no entry; `name` when it names an IED all the same (its
  // approved CRC cannot be read).
  virtual void malformed(std::size_t line, const std::string& reason, const std::optional<std::string>& name) = 0;
  // The SCD's record, whose approved CRC cannot be read.
  virtual void unreadable_scd(std::size_t line, const std::string& reason) { malformed(line, reason, std::nullopt); }
  // The list cannot be read on from this line: what follows is lost.
  virtual void incomplete(std::size_t line, const std::string& reason) = 0;
};

// Why a list cannot be used at all.
struct ApprovedListProblem {
  std::size_t line = 0;  // 0: the list as a whole
  std::string reason;
};

// Reads a list, handing its entries to `receiver`; nullopt when it was read
// through, else why it is no such list. `format` receives the format found.
std::optional<ApprovedListProblem> read_approved_list(std::string_view bytes, ApprovedListReceiver& receiver,
                                                      ApprovedListFormat* format = nullptr);

// The CRC text of eight hexadecimal digits in either case (blanks around are
// dropped), in upper case; nullopt for anything else.
std::optional<std::string> approved_crc_text(std::string_view text);

}  // namespace ccdcrc
