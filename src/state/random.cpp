// The simulation's one uniform random generator.
#include "state/random.h"

#include <chrono>

namespace traklin {

void RandomGenerator::SeedFromClock() {
  engine_.Seed(static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

void RandomGenerator::Engine::Seed(std::uint64_t s) {
  state_[0] = s;
  for (int k = 1; k < kN; ++k)
    state_[k] = 6364136223846793005ULL * (state_[k - 1] ^ (state_[k - 1] >> 62)) +
                static_cast<std::uint64_t>(k);
  next_ = kN;
}

void RandomGenerator::Engine::Regenerate() {
  constexpr int kM = 156;
  constexpr std::uint64_t kUpper = 0xFFFFFFFF80000000ULL, kLower = 0x7FFFFFFFULL;
  constexpr std::uint64_t kMatrix = 0xB5026F5AA96619E9ULL;
  std::uint64_t* mt = state_.data();
  // Three runs without a branch in their bodies: each word reads only words the run has not
  // yet written, or words an earlier run has.
  for (int k = 0; k < kN - kM; ++k) {
    const std::uint64_t y = (mt[k] & kUpper) | (mt[k + 1] & kLower);
    mt[k] = mt[k + kM] ^ (y >> 1) ^ ((0 - (y & 1)) & kMatrix);
  }
  for (int k = kN - kM; k < kN - 1; ++k) {
    const std::uint64_t y = (mt[k] & kUpper) | (mt[k + 1] & kLower);
    mt[k] = mt[k + kM - kN] ^ (y >> 1) ^ ((0 - (y & 1)) & kMatrix);
  }
  const std::uint64_t y = (mt[kN - 1] & kUpper) | (mt[0] & kLower);
  mt[kN - 1] = mt[kM - 1] ^ (y >> 1) ^ ((0 - (y & 1)) & kMatrix);
  next_ = 0;
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
