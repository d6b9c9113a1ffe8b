// The simulation step at the highest time scale: one round is one timer tick of 32 steps,
// which must fit in the tick's 62 ms.
#include <benchmark/benchmark.h>

#include <chrono>

#include "allocation_count.h"
#include "bench_line.h"
#include "state/clock.h"

namespace traklin::bench {
namespace {

constexpr int kStepsPerTick = 32;      // time scale 9
constexpr double kTickBudget = 0.062;  // s, the timer interval at that scale
constexpr int kWarmUpTicks = 20;       // about 5 simulated minutes: the trains get going
constexpr int kTicksPerRun = 80;       // about 20 simulated minutes, then the run restarts

void Tick(RunningLine& line) {
  // The dispatcher orders between ticks, as the console does between steps.
  line.OrderThroughRoutes();
  for (int k = 0; k < kStepsPerTick; ++k) line.Sim.SimulationStep(kStepLength);
}

void SimulationTick(benchmark::State& state) {
  const int stations = static_cast<int>(state.range(0));
  const int trains = static_cast<int>(state.range(1));
  RunningLine line(stations, trains);
  for (int k = 0; k < kWarmUpTicks; ++k) Tick(line);
  if (trains > 0 && line.MovingTrains() == 0) {
    state.SkipWithError(
        ("no train is moving after the warm-up; last note: " + line.Console.LastNote).c_str());
    return;
  }
  // Trains reach the last station and leave the line; every so often the run starts again
  // from the state after the warm-up, so the rounds see the same traffic.
  const Simulation start = line.Sim;
  const int notesAtStart = line.Console.Notes;
  int ticks = 0;
  double moving = 0;
  std::uint64_t allocations = 0;
  std::chrono::steady_clock::duration busy{};
  for (auto _ : state) {
    if (ticks == kTicksPerRun) {
      state.PauseTiming();
      line.Sim = start;
      ticks = 0;
      state.ResumeTiming();
    }
    const std::uint64_t before = AllocationCount();
    const auto began = std::chrono::steady_clock::now();
    Tick(line);
    busy += std::chrono::steady_clock::now() - began;
    allocations += AllocationCount() - before;
    ++ticks;
    moving += line.MovingTrains();
  }
  const double rounds = static_cast<double>(state.iterations());
  state.counters["steps/s"] =
      benchmark::Counter(rounds * kStepsPerTick, benchmark::Counter::kIsRate);
  // Wall time of one tick of 32 steps, and its share of the 62 ms budget in per cent.
  const double tickSeconds = std::chrono::duration<double>(busy).count() / rounds;
  state.counters["tick_ms"] = tickSeconds * 1000;
  state.counters["budget%"] = tickSeconds / kTickBudget * 100;
  state.counters["allocs/step"] = static_cast<double>(allocations) / (rounds * kStepsPerTick);
  state.counters["moving"] = moving / rounds;
  state.counters["notes"] = line.Console.Notes - notesAtStart;
  state.counters["sections"] = line.Sim.AreaData.SectCount;
}
BENCHMARK(SimulationTick)
    ->ArgNames({"stations", "trains"})
    ->Args({30, 0})
    ->Args({30, 8})
    ->Args({30, 16})
    ->Args({30, 29})
    ->Args({10, 5})
    ->Args({60, 30})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace traklin::bench

BENCHMARK_MAIN();
