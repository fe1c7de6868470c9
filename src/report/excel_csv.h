#pragma once
// CSV as Excel opens it: Excel takes a file without a byte-order mark for a
// text of the system's code page (and garbles "Größe"), and a file with LF
// line ends as one whose records may run together. A stream buffer in front
// of another that writes a UTF-8 byte-order mark before the first byte and
// ends every record with CRLF; a line feed inside a quoted field belongs to
// the field and is passed as it is. Lists written so are read back by
// `read_approved_list`. Off, it passes every byte unchanged.

#include <streambuf>

namespace ccdcrc {

class ExcelCsv : public std::streambuf {
 public:
  explicit ExcelCsv(std::streambuf* target) : target_(target) {}
  ExcelCsv(const ExcelCsv&) = delete;
  ExcelCsv& operator=(const ExcelCsv&) = delete;

  // Off until switched on, before the first byte.
  void enable(bool on) { enabled_ = on; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override { return target_->pubsync(); }

 private:
  bool put(const char* text, std::streamsize count) { return target_->sputn(text, count) == count; }

  std::streambuf* target_;
  bool enabled_ = false;
  bool started_ = false;  // the byte-order mark is written
  bool quoted_ = false;   // inside a quoted field ("" inside it toggles twice)
};

}  // namespace ccdcrc
