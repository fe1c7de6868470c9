#pragma once
// Allocations that fail on purpose: the test program replaces the global
// operator new and gives pugixml an allocator of its own, and a thread may ask
// that its N-th allocation from now on fails (operator new throws
// std::bad_alloc, pugixml gets no memory).

#include <cstddef>

namespace ccdcrc::testing {

// From now on, on this thread, the allocation after `count` more succeeds
// fails (0: the next one); every allocation is counted.
void fail_allocation_after(std::size_t count);
// No more failures on this thread.
void stop_failing_allocations();
// Allocations on this thread since the last call of either.
std::size_t allocations_counted();

// Fails the allocation after `count` more for the life of the object.
class AllocationFailure {
 public:
  explicit AllocationFailure(std::size_t count) { fail_allocation_after(count); }
  ~AllocationFailure() { stop_failing_allocations(); }
  AllocationFailure(const AllocationFailure&) = delete;
  AllocationFailure& operator=(const AllocationFailure&) = delete;
};

}  // namespace ccdcrc::testing
