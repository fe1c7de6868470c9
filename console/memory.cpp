#include "console/memory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "system/memory.h"

namespace ccdcrc {

namespace {

// Below this size a block comes from the heap that is kept, not from a mapping
// of its own that is returned when freed.
constexpr std::size_t largest_heap_block = std::size_t{1} << 30;

// The documents of the SCL files we know take 1.6 to 2.8 times their file's
// size besides the text itself. Four times is kept in the heap for them, in
// large pages that are put in place only where they are used; where the
// system has no large pages, twice is put in place at once, so that a file
// with little markup does not make the program hold much more than it needs.
constexpr double provided_per_file_byte = 2.0;
constexpr double reserved_per_file_byte = 4.0;

constexpr std::uintptr_t page_size = 4096;

}  // namespace

// One heap for all threads: the memory provided for a load serves the
// threads that parse its parts too.
void keep_freed_memory() { keep_freed_in_heap(largest_heap_block); }

void provide_memory_for_load(std::size_t text_size) {
  if (!pages_can_be_prepared()) return;
  const double populated = static_cast<double>(text_size) * provided_per_file_byte;
  if (populated < 16.0 * page_size) return;
  const double reserved = std::min(static_cast<double>(text_size) * reserved_per_file_byte,
                                   static_cast<double>(largest_heap_block - page_size));
  if (populated >= reserved) return;
  const std::size_t size = static_cast<std::size_t>(reserved);
  // Freed at once, the block stays with the heap, and the parser's
  // allocations are carved from it.
  void* block = std::malloc(size);
  if (!block) return;
  // The whole pages inside the block.
  char* const bytes = static_cast<char*>(block);
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(block);
  char* const start = bytes + ((page_size - address % page_size) % page_size);
  char* const end = bytes + size - (address + size) % page_size;
  if (end > start) prepare_pages(start, static_cast<std::size_t>(end - start), static_cast<std::size_t>(populated));
  std::free(block);
}

}  // namespace ccdcrc
