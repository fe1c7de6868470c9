#include "util/memory_pages.h"

#include <algorithm>
#include <fstream>
#include <string>

namespace ccdcrc {

namespace {

// Whether madvise's large pages are given at all: Linux tells it as the
// selected word of "always [madvise] never".
[[maybe_unused]] bool large_pages_given() {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string line;
  return std::getline(setting, line) && line.find("[never]") == std::string::npos;
}

}  // namespace

void prepare_pages([[maybe_unused]] void* start, [[maybe_unused]] std::size_t size,
                   [[maybe_unused]] std::size_t populate) {
#if defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
  // Large pages are faulted in as they are used, on whichever thread uses
  // them: put in place beforehand, they would be cleared on this one.
  const bool advised = ::madvise(start, size, MADV_HUGEPAGE) == 0;
  if (populate == 0 || (advised && large_pages_given())) return;
  // Refused by an older kernel too: the pages are then faulted in as they are first written.
  ::madvise(start, std::min(size, populate), MADV_POPULATE_WRITE);
#endif
}

}  // namespace ccdcrc
