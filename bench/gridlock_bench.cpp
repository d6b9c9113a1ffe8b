// The gridlock detector's look at a locked line, against the steps it is made once in.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_line.h"
#include "dispatch/gridlock.h"
#include "simulation/headless_run.h"

namespace traklin {
namespace {

// District 2 after a day from 2024-03-15 00:00, seed 1, every station automated: the line has
// locked up and many trains stand. The day is run once, untimed; each round is one look that
// counts every train at rest as waiting (the worst case: the runner only looks at trains that
// have stood ten minutes, once a simulated minute, that is once in 120 steps).
void GridlockLook(benchmark::State& state) {
  Simulation sim;
  try {
    bench::PrepareShippedDay(sim, 2, true);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  EventLog log(sim, nullptr, true);
  RunSimulation(sim, log, 1.0);
  GridlockDetector detector(kMinute, 0);
  std::size_t locked = 0;
  for (auto _ : state) {
    const std::vector<Gridlock> found = detector.Look(sim);
    locked = found.empty() ? 0 : found.front().Trains.size();
    benchmark::DoNotOptimize(found.data());
  }
  long inDistrict = 0;
  for (const TTrainData& t : sim.State.Trains) inDistrict += t.HEAD.SECT_IDX != 0 ? 1 : 0;
  state.counters["trains"] = static_cast<double>(inDistrict);
  state.counters["on_cycle"] = static_cast<double>(locked);
}
// A fixed count of rounds: the untimed day is run once.
BENCHMARK(GridlockLook)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace traklin
