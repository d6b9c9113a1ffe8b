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
  int Draw(int n) {
    if (n < 1) return 0;
    const std::uint64_t x = engine_();
    // Rejection sampling keeps the draw uniform and identical across standard libraries; a
    // number below UINT64_MAX - n + 1 is always kept, so the limit is worked out only for the
    // rarest draws.
    if (x > UINT64_MAX - static_cast<std::uint64_t>(n)) [[unlikely]]
      return DrawBeyond(x, n);
    // The common ranges by constant, which the compiler turns into a multiplication.
    switch (n) {
      case 100:
        return static_cast<int>(x % 100);
      case 10:
        return static_cast<int>(x % 10);
      case 2:
        return static_cast<int>(x % 2);
      default:
        return static_cast<int>(x % static_cast<std::uint64_t>(n));
    }
  }

 private:
  /// Draw for a first number near the top of the range, where it may be rejected.
  int DrawBeyond(std::uint64_t x, int n);

  /// The 64-bit Mersenne Twister, number for number std::mt19937_64. Its state is regenerated,
  /// and the whole block tempered, in loops the compiler can vectorize: a run draws hundreds
  /// of numbers a step, so a draw is one load.
  class Engine {
   public:
    void Seed(std::uint64_t s);
    std::uint64_t operator()() {
      if (next_ >= kN) [[unlikely]]
        Regenerate();
      return out_[next_++];
    }

   private:
    static constexpr int kN = 312;
    void Regenerate();
    std::array<std::uint64_t, kN> state_{};
    std::array<std::uint64_t, kN> out_{};  ///< the block of state_, tempered
    int next_ = kN;
  };

  Engine engine_;
  bool explicitlySeeded_ = false;
};

}  // namespace traklin
