// Mapped pages, with madvise's advice where the system's headers know it.
#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "system/memory.h"

namespace ccdcrc {

namespace {

#if defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
constexpr bool advice_known = true;
#else
constexpr bool advice_known = false;
#endif

// From this size on, a block's pages are asked to be large.
constexpr std::size_t smallest_large_paged = std::size_t{4} << 20;

// Whether madvise's large pages are given at all: Linux tells it as the
// selected word of "always [madvise] never".
[[maybe_unused]] bool large_pages_given() {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string line;
  return std::getline(setting, line) && line.find("[never]") == std::string::npos;
}

}  // namespace

bool pages_can_be_prepared() { return advice_known; }

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

char* map_memory(std::size_t size, bool populate) {
  const bool large = advice_known && size >= smallest_large_paged;
  const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (populate && !large ? MAP_POPULATE : 0);
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  if (large) prepare_pages(memory, size, populate ? size : 0);
  return static_cast<char*>(memory);
}

void unmap_memory(char* memory, std::size_t size) { ::munmap(memory, size); }

char* remap_memory(char* memory, std::size_t size, std::size_t new_size) {
  void* moved = ::mremap(memory, size, new_size, MREMAP_MAYMOVE);
  if (moved == MAP_FAILED) {
    // Where pages cannot be moved, the bytes are copied into new memory.
    char* const copy = map_memory(new_size, false);
    if (!copy) return nullptr;
    std::memcpy(copy, memory, size);
    unmap_memory(memory, size);
    return copy;
  }
  // A block that grows as it is filled (a pipe, an unpacked archive) gets large pages too.
  if (new_size >= smallest_large_paged) prepare_pages(moved, new_size, 0);
  return static_cast<char*>(moved);
}

void keep_freed_in_heap(std::size_t largest_heap_block) {
#ifdef M_ARENA_MAX
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(largest_heap_block));
  ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(largest_heap_block));
  // One heap for all threads: the memory provided for a load serves the
  // threads that parse its parts too.
  ::mallopt(M_ARENA_MAX, 1);
#else
  (void)largest_heap_block;
#endif
}

}  // namespace ccdcrc
