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

// On x86-64 the loader picks a copy built for AVX2 where the processor has it: four words at a
// time instead of two. The numbers are the same.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void RandomGenerator::Engine::Regenerate() {
  constexpr int kM = 156;
  constexpr std::uint64_t kUpper = 0xFFFFFFFF80000000ULL, kLower = 0x7FFFFFFFULL;
  constexpr std::uint64_t kMatrix = 0xB5026F5AA96619E9ULL;
  std::uint64_t* mt = state_.data();
  const auto twist = [&](int k, int next, int far) {
    const std::uint64_t y = (mt[k] & kUpper) | (mt[next] & kLower);
    mt[k] = mt[far] ^ (y >> 1) ^ ((0 - (y & 1)) & kMatrix);
  };
  // Runs without a branch in their bodies: each word reads only words the run has not yet
  // written, or words an earlier run has. The runs have even lengths, so the compiler
  // vectorizes them without a scalar tail.
  for (int k = 0; k < kN - kM; ++k) twist(k, k + 1, k + kM);
  for (int k = kN - kM; k < kN - 2; ++k) twist(k, k + 1, k + kM - kN);
  twist(kN - 2, kN - 1, kM - 2);
  twist(kN - 1, 0, kM - 1);
  for (int k = 0; k < kN; ++k) {
    std::uint64_t z = mt[k];
    z ^= (z >> 29) & 0x5555555555555555ULL;
    z ^= (z << 17) & 0x71D67FFFEDA60000ULL;
    z ^= (z << 37) & 0xFFF7EEE000000000ULL;
    out_[k] = z ^ (z >> 43);
  }
  next_ = 0;
}

int RandomGenerator::DrawBeyond(std::uint64_t x, int n) {
  const std::uint64_t range = static_cast<std::uint64_t>(n);
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % range;
  while (x >= limit) x = engine_();
  return static_cast<int>(x % range);
}

}  // namespace traklin
