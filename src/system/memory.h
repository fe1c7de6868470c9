#pragma once
// Memory straight from the system: blocks mapped for one use, how their pages
// are put in place, and how the heap keeps what is freed. A page a process
// first touches costs a fault, and on a virtual machine more than the work
// done on it; a 2 MiB page takes one fault where 4 KiB pages take 512.
// memory_posix.cpp maps pages; memory_heap.cpp takes the heap (Windows,
// WebAssembly).

#include <cstddef>

namespace ccdcrc {

// A block of `size` bytes of its own, its pages put in place at once when
// `populate`; nullptr when there is no memory.
char* map_memory(std::size_t size, bool populate);
// The block grown to `new_size`, moved where it must be (its bytes with it);
// nullptr, and the block left as it was, when there is no memory.
char* remap_memory(char* memory, std::size_t size, std::size_t new_size);
void unmap_memory(char* memory, std::size_t size);

// Whether the system can be asked for large pages and for pages put in place
// at once (prepare_pages); without it, memory is best put in place as it is mapped.
bool pages_can_be_prepared();

// Asks for large pages over the page-aligned block [start, start + size),
// which the system then puts in place as they are first touched. Where it
// gives none, the first `populate` bytes are put in place at once instead of
// page by page. Does nothing where the system has no such advice.
void prepare_pages(void* start, std::size_t size, std::size_t populate);

// Memory the process frees is kept for its later allocations instead of being
// returned to the system, in one heap for all threads; blocks below
// `largest_heap_block` come from that heap.
void keep_freed_in_heap(std::size_t largest_heap_block);

}  // namespace ccdcrc
