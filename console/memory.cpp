#include "console/memory.h"

#ifndef _WIN32
#include <malloc.h>
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace ccdcrc {

namespace {

// Below this size a block comes from the heap that is kept, not from a mapping
// of its own that is returned when freed.
constexpr std::size_t largest_heap_block = std::size_t{1} << 30;

// The documents of the SCL files we know take 1.6 to 2.8 times their file's
// size besides the text itself: twice is put in place, so that a file with
// little markup does not make the program hold much more than it needs, and
// four times is reserved (in large pages, see provide_memory_for_load).
constexpr double provided_per_file_byte = 2.0;
constexpr double reserved_per_file_byte = 4.0;

constexpr std::uintptr_t page_size = 4096;

}  // namespace

void keep_freed_memory() {
#ifndef _WIN32
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(largest_heap_block));
  ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(largest_heap_block));
  // One heap for all threads: the memory provided for a load serves the
  // threads that parse its parts too.
  ::mallopt(M_ARENA_MAX, 1);
#endif
}

void provide_memory_for_load(std::size_t text_size) {
#ifdef MADV_POPULATE_WRITE
  const double populated = static_cast<double>(text_size) * provided_per_file_byte;
  if (populated < 16.0 * page_size) return;
  // Room for the documents that take more: large pages too, faulted in only
  // where they are used, so they cost nothing unless they are.
  const double reserved = std::min(static_cast<double>(text_size) * reserved_per_file_byte,
                                   static_cast<double>(largest_heap_block - page_size));
  if (populated >= reserved) return;
  const std::size_t size = static_cast<std::size_t>(reserved);
  // Freed at once, the block stays with the heap, its pages in place, and the
  // parser's allocations are carved from it.
  void* block = std::malloc(size);
  if (!block) return;
  // The whole pages inside the block.
  char* const bytes = static_cast<char*>(block);
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(block);
  char* const start = bytes + ((page_size - address % page_size) % page_size);
  char* const end = bytes + size - (address + size) % page_size;
  if (end > start) {
    // Large pages where the kernel has them: see SourceText's memory.
    const std::size_t whole = static_cast<std::size_t>(end - start);
    ::madvise(start, whole, MADV_HUGEPAGE);
    ::madvise(start, std::min(whole, static_cast<std::size_t>(populated)), MADV_POPULATE_WRITE);
  }
  std::free(block);
#else
  (void)text_size;
#endif
}

}  // namespace ccdcrc
