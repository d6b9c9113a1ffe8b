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

  /// An explicit seed; StateInit then keeps the sequence instead of reseeding from the clock.
  void Seed(std::uint64_t seed) {
    engine_.seed(seed);
    explicitlySeeded_ = true;
  }
  void SeedFromClock();
  /// Whether Seed was called (a test or the headless runner wants a repeatable run).
  bool ExplicitlySeeded() const { return explicitlySeeded_; }

  /// A uniform integer 0 .. n - 1; 0 when n < 1.
  int Draw(int n);

 private:
  std::mt19937_64 engine_;
  bool explicitlySeeded_ = false;
};

}  // namespace traklin
