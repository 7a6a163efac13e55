#pragma once
// The global allocation functions of this one test program, replaced: while armed they count
// allocations and make the Nth fail (std::bad_alloc, or null for the nothrow forms); at all times
// they count live blocks, so that a leak shows as a balance that does not return.
#include <cstddef>
#include <cstdint>

namespace torvo::oom {

// Counts allocations from now on and fails the `failAt`-th (1 is the next one).
void Arm(std::size_t failAt);
// Stops counting; true when the failure was injected.
bool Disarm();
// Allocations counted while the allocator was last armed.
std::size_t AllocationsSeen();
// Blocks allocated and not yet freed, since the program started.
std::int64_t LiveBlocks();

}  // namespace torvo::oom
