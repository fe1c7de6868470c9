#include "report/excel_csv.h"

namespace ccdcrc {

ExcelCsv::int_type ExcelCsv::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize ExcelCsv::xsputn(const char* text, std::streamsize count) {
  if (!enabled_) return target_->sputn(text, count);
  if (!started_ && count > 0) {
    if (!put("\xEF\xBB\xBF", 3)) return 0;
    started_ = true;
  }
  std::streamsize start = 0;
  for (std::streamsize i = 0; i < count; ++i) {
    if (text[i] == '"') {
      quoted_ = !quoted_;
    } else if (text[i] == '\n' && !quoted_) {
      if (!put(text + start, i - start) || !put("\r\n", 2)) return 0;
      start = i + 1;
    }
  }
  return put(text + start, count - start) ? count : 0;
}

}  // namespace ccdcrc
