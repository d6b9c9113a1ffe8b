// The simulation's one uniform random generator.
#include "state/random.h"

#include <chrono>

namespace traklin {

void RandomGenerator::SeedFromClock() {
  engine_.seed(static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

int RandomGenerator::Draw(int n) {
  if (n < 1) return 0;
  // Rejection sampling keeps the draw uniform and identical across standard libraries.
  const std::uint64_t range = static_cast<std::uint64_t>(n);
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % range;
  std::uint64_t x;
  do {
    x = engine_();
  } while (x >= limit);
  return static_cast<int>(x % range);
}

}  // namespace traklin
