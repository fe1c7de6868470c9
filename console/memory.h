#pragma once
// How the program takes its memory. Loading an SCD builds its document from
// millions of small pieces, two to three times the file's size in all; the system
// would provide their pages one fault at a time as the parser first touches
// them, which costs more than handing them over in one go beforehand.

#include <string>

namespace ccdcrc {

// Memory the program frees is kept for its later allocations instead of
// being returned to the system (the program ends soon anyway). Called once at
// the start, before anything is allocated in bulk.
void keep_freed_memory();

// Provides, in one go, the memory that loading the file at `path` will take,
// as far as it can be told from the file's size beforehand.
void provide_memory_for_load(const std::string& path);

}  // namespace ccdcrc
