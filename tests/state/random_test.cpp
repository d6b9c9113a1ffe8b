// The simulation's random generator: the same numbers as the standard 64-bit Mersenne Twister.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>

#include "state/random.h"

namespace traklin {
namespace {

/// Draw's rule applied to the standard engine.
int StandardDraw(std::mt19937_64& engine, int n) {
  const std::uint64_t range = static_cast<std::uint64_t>(n);
  std::uint64_t x = engine();
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % range;
  while (x >= limit) x = engine();
  return static_cast<int>(x % range);
}

TEST(RandomGeneratorTest, DrawsTheStandardEnginesNumbersAcrossManyRegenerations) {
  // Seeds as runs use them, and ones with the high bits set; ranges of the constant paths, odd
  // ones, and the largest, where most draws keep nearly all of their bits.
  for (const std::uint64_t seed : {0ULL, 1ULL, 42ULL, 5489ULL, 0xFFFFFFFFFFFFFFFFULL,
                                   0x8000000000000001ULL, 1765123456789012345ULL}) {
    SCOPED_TRACE(seed);
    RandomGenerator ours(seed);
    std::mt19937_64 standard(seed);
    for (int k = 0; k < 5000; ++k) {
      const int n = (k % 5 == 0)   ? 100
                    : (k % 5 == 1) ? 2
                    : (k % 5 == 2) ? 7
                    : (k % 5 == 3) ? 1440
                                   : INT_MAX;
      ASSERT_EQ(ours.Draw(n), StandardDraw(standard, n)) << "draw " << k;
    }
  }
}

TEST(RandomGeneratorTest, ReseedingStartsAgainACopyGoesOnAlikeAndNoRangeGivesZero) {
  RandomGenerator a(7);
  const int first = a.Draw(1000000);
  a.Draw(10);
  a.Seed(7);
  EXPECT_EQ(a.Draw(1000000), first);
  EXPECT_EQ(a.Draw(0), 0);
  EXPECT_EQ(a.Draw(-3), 0);
  RandomGenerator copy = a;
  EXPECT_EQ(copy.Draw(1000), a.Draw(1000));
}

}  // namespace
}  // namespace traklin
