#pragma once
// How the program takes its memory. Loading an SCD builds its document from
// millions of small pieces, two to three times the file's size in all; the system
// would provide their pages one fault at a time as the parser first touches
// them, which costs more than handing them over in one go beforehand.

#include <cstddef>

namespace ccdcrc {

// Memory the program frees is kept for its later allocations instead of
// being returned to the system (the program ends soon anyway). Called once at
// the start, before anything is allocated in bulk.
void keep_freed_memory();

// Provides the memory that parsing a text of `text_size` bytes will take, as
// far as it can be told from its size beforehand: in large pages where the
// system has them, else put in place in one go.
void provide_memory_for_load(std::size_t text_size);

}  // namespace ccdcrc
