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
  std::uint64_t x = engine_();
  // The limit lies above UINT64_MAX - range, so a draw below that is always kept and the
  // limit's division is spared on all but the rarest draws.
  if (x > UINT64_MAX - range) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % range;
    while (x >= limit) x = engine_();
  }
  // The common ranges by constant, which the compiler turns into a multiplication.
  switch (n) {
    case 100:
      return static_cast<int>(x % 100);
    case 10:
      return static_cast<int>(x % 10);
    case 2:
      return static_cast<int>(x % 2);
    default:
      return static_cast<int>(x % range);
  }
}

}  // namespace traklin
