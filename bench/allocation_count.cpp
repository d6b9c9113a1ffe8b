// The benchmark program's global operator new, counting every call.
#include "allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::uint64_t> allocations{0};
}  // namespace

namespace traklin::bench {

std::uint64_t AllocationCount() {
  return allocations.load(std::memory_order_relaxed);
}

}  // namespace traklin::bench

// The array forms and the nothrow forms of the library call these two.
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
