#include "support/failing_allocation.h"

#include <cstdlib>
#include <new>

#include <pugixml.hpp>

namespace ccdcrc::testing {

namespace {

constexpr std::size_t never = static_cast<std::size_t>(-1);
thread_local std::size_t left_before_failure = never;
thread_local std::size_t counted = 0;

// Null when the allocation is the one to fail.
void* counted_malloc(std::size_t size) {
  ++counted;
  if (left_before_failure != never && left_before_failure-- == 0) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* allocate(std::size_t size) {
  if (void* memory = counted_malloc(size)) return memory;
  throw std::bad_alloc();
}

// Installed before main, and so before pugixml allocates anything.
const bool pugixml_allocator_installed = [] {
  pugi::set_memory_management_functions(counted_malloc, std::free);
  return true;
}();

}  // namespace

void fail_allocation_after(std::size_t count) {
  left_before_failure = count;
  counted = 0;
}

void stop_failing_allocations() {
  left_before_failure = never;
  counted = 0;
}

std::size_t allocations_counted() { return counted; }

}  // namespace ccdcrc::testing

void* operator new(std::size_t size) { return ccdcrc::testing::allocate(size); }
void* operator new[](std::size_t size) { return ccdcrc::testing::allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ccdcrc::testing::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
