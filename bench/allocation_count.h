// Counts the allocations of the benchmark program, so that a benchmark can report them.
#pragma once

#include <cstdint>

namespace traklin::bench {

/// Calls of the global operator new (and new[]) since the program started.
std::uint64_t AllocationCount();

}  // namespace traklin::bench
