// The simulation's one uniform random generator.
#pragma once

#include <array>
#include <cstdint>

namespace traklin {

/// Uniform integer draws. Seeded from the clock by default; tests and the headless runner
/// seed it explicitly so that a run can be repeated.
class RandomGenerator {
 public:
  RandomGenerator() { SeedFromClock(); }
  explicit RandomGenerator(std::uint64_t seed) { Seed(seed); }

  /// An explicit seed; StateInit then keeps the sequence instead of reseeding from the clock.
  void Seed(std::uint64_t seed) {
    engine_.Seed(seed);
    explicitlySeeded_ = true;
  }
  void SeedFromClock();
  /// Whether Seed was called (a test or the headless runner wants a repeatable run).
  bool ExplicitlySeeded() const { return explicitlySeeded_; }

  /// A uniform integer 0 .. n - 1; 0 when n < 1.
  int Draw(int n);

 private:
  /// The 64-bit Mersenne Twister, number for number std::mt19937_64, with its state
  /// regenerated in loops the compiler can vectorize (a run draws hundreds of numbers a step).
  class Engine {
   public:
    void Seed(std::uint64_t s);
    std::uint64_t operator()() {
      if (next_ >= kN) Regenerate();
      std::uint64_t y = state_[next_++];
      y ^= (y >> 29) & 0x5555555555555555ULL;
      y ^= (y << 17) & 0x71D67FFFEDA60000ULL;
      y ^= (y << 37) & 0xFFF7EEE000000000ULL;
      return y ^ (y >> 43);
    }

   private:
    static constexpr int kN = 312;
    void Regenerate();
    std::array<std::uint64_t, kN> state_{};
    int next_ = kN;
  };

  Engine engine_;
  bool explicitlySeeded_ = false;
};

}  // namespace traklin
