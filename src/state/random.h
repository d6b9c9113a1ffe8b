// The simulation's one uniform random generator.
#pragma once

#include <cstdint>
#include <random>

namespace traklin {

/// Uniform integer draws. Seeded from the clock by default; tests and the headless runner
/// seed it explicitly so that a run can be repeated.
class RandomGenerator {
 public:
  RandomGenerator() { SeedFromClock(); }
  explicit RandomGenerator(std::uint64_t seed) { Seed(seed); }

  void Seed(std::uint64_t seed) { engine_.seed(seed); }
  void SeedFromClock();

  /// A uniform integer 0 .. n - 1; 0 when n < 1.
  int Draw(int n);

 private:
  std::mt19937_64 engine_;
};

}  // namespace traklin
