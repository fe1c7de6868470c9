// Windows and WebAssembly: blocks from the heap, which keeps what is freed
// as it is. WebAssembly maps memory by clearing it on the heap, and moves no
// pages.
#include <cstdlib>

#include "system/memory.h"

namespace ccdcrc {

char* map_memory(std::size_t size, bool) { return static_cast<char*>(std::malloc(size)); }

char* remap_memory(char* memory, std::size_t, std::size_t new_size) {
  return static_cast<char*>(std::realloc(memory, new_size));
}

void unmap_memory(char* memory, std::size_t) { std::free(memory); }

bool pages_can_be_prepared() { return false; }

void prepare_pages(void*, std::size_t, std::size_t) {}

void keep_freed_in_heap(std::size_t) {}

}  // namespace ccdcrc
