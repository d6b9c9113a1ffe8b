// A simulated day of the shipped districts through the headless runner's own code path.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>

#include "bench_line.h"
#include "simulation/headless_run.h"
#include "simulation/shift_recorder.h"

namespace traklin {
namespace {

// One day of district `districtNumber` from 2024-03-15 00:00 with seed 1, all questions
// answered yes, every station automated or none; the preparation of the district is not timed.
// Recorded, the shift begins in a scratch folder (not timed) and its event log is written there,
// as `run --record` does.
void RunDay(benchmark::State& state, bool automated, bool recorded = false) {
  long steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Simulation sim;
    try {
      bench::PrepareShippedDay(sim, static_cast<int>(state.range(0)), automated);
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
    ShiftRecorder recorder;
    if (recorded) {
      try {
        recorder.Begin(sim, std::filesystem::temp_directory_path() / "traklin_bench_shift", "1", 1);
      } catch (const ShiftError& e) {
        state.SkipWithError(e.what());
        return;
      }
    }
    EventLog log(sim, recorded ? &recorder.Events() : nullptr, true);
    std::optional<ShiftConsole> console;
    if (recorded) console.emplace(sim, log);
    state.ResumeTiming();
    steps += RunSimulation(sim, log, 1.0).Steps;
    if (recorded) recorder.End();
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

// The plain day recorded as a shift (traklin-cli run --record): the cost of recording.
void SimulatedDayRecorded(benchmark::State& state) {
  RunDay(state, false, true);
}
BENCHMARK(SimulatedDayRecorded)->ArgName("district")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace traklin
