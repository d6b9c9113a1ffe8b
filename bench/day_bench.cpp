// A simulated day of the shipped districts through the headless runner's own code path.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "simulation/headless_run.h"

namespace traklin {
namespace {

// One day of district `districtNumber` from 2024-03-15 00:00 with seed 1, all questions
// answered yes, every station automated or none; the preparation of the district is not timed.
void RunDay(benchmark::State& state, bool automated) {
  const auto district =
      std::filesystem::path(TRAKLIN_RUNTIME_DIR) / "district" / std::to_string(state.range(0));
  long steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Simulation sim;
    sim.Random.Seed(1);
    RunOptions options;
    options.District = district;
    options.SettingsFile = std::filesystem::path(TRAKLIN_RUNTIME_DIR) / "config" / "Traklin.ini";
    options.Start = ParseStartTime("2024-03-15 00:00");
    try {
      PrepareRun(sim, options, nullptr);
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
    if (automated) sim.State.AutoLPs.assign(sim.AreaData.Puts.size(), true);
    EventLog log(sim, nullptr, true);
    state.ResumeTiming();
    steps += RunSimulation(sim, log, 1.0).Steps;
  }
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

void SimulatedDay(benchmark::State& state) {
  RunDay(state, false);
}
BENCHMARK(SimulatedDay)->ArgName("district")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The same day with the automatic dispatcher working every station (traklin-cli run --auto).
void SimulatedDayAuto(benchmark::State& state) {
  RunDay(state, true);
}
BENCHMARK(SimulatedDayAuto)->ArgName("district")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace traklin
