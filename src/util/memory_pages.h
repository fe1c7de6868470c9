#pragma once
// How large blocks of fresh memory get their pages. A page a process first
// touches costs a fault, and on a virtual machine more than the work done on
// it; a 2 MiB page takes one fault where 4 KiB pages take 512.

#include <cstddef>

#ifndef _WIN32
#include <sys/mman.h>
#endif

namespace ccdcrc {

// Whether the system's headers know the advice prepare_pages gives; without
// it, memory is best put in place as it is mapped.
#if defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
inline constexpr bool pages_can_be_prepared = true;
#else
inline constexpr bool pages_can_be_prepared = false;
#endif

// Asks for large pages over the page-aligned block [start, start + size),
// which the system then puts in place as they are first touched. Where it
// gives none, the first `populate` bytes are put in place at once instead of
// page by page. Does nothing where the system has no such advice.
void prepare_pages(void* start, std::size_t size, std::size_t populate);

}  // namespace ccdcrc
