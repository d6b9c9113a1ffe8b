// Start-up costs: reading Data.dat, the district set-up and the state initialisation.
#include <benchmark/benchmark.h>

#include "area/area_reader.h"
#include "area/district_setup.h"
#include "bench_line.h"
#include "state/interlocking.h"

namespace traklin::bench {
namespace {

void ReadDataDat(benchmark::State& state) {
  const std::string& bytes = SyntheticDataDat(static_cast<int>(state.range(0)));
  int sections = 0;
  for (auto _ : state) {
    TAreaData area;
    int maxSpeedLimit = 10;
    TReadDataError error;
    LoadAreaDataFromBytes(bytes, area, maxSpeedLimit, error);
    sections = area.SectCount;
    benchmark::DoNotOptimize(area);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
  state.counters["sections"] = sections;
}
BENCHMARK(ReadDataDat)->Arg(10)->Arg(30)->Arg(60)->Unit(benchmark::kMicrosecond);

void PrepareDistrictSetUp(benchmark::State& state) {
  TAreaData read;
  int maxSpeedLimit = 10;
  TReadDataError error;
  LoadAreaDataFromBytes(SyntheticDataDat(static_cast<int>(state.range(0))), read, maxSpeedLimit,
                        error);
  SetupOptions options;
  options.ShowAllBlockSect = true;
  int routes = 0;
  for (auto _ : state) {
    // The set-up completes the district in place, so each round starts from a fresh copy.
    state.PauseTiming();
    TAreaData area = read;
    state.ResumeTiming();
    PrepareDistrict(area, options);
    benchmark::DoNotOptimize(area);
    state.PauseTiming();
    routes = 0;
    for (const TLPRoutesData& lp : area.TrainRoutes) routes += lp.RouteCount;
    area = TAreaData{};
    state.ResumeTiming();
  }
  state.counters["routes"] = routes;
}
BENCHMARK(PrepareDistrictSetUp)->Arg(10)->Arg(30)->Arg(60)->Unit(benchmark::kMicrosecond);

void StateInitOfLine(benchmark::State& state) {
  Simulation sim;
  QuietConsole console;
  LoadPreparedLine(sim, static_cast<int>(state.range(0)), console);
  for (auto _ : state) {
    StateInit(sim, DateParts{2024, 3, 1});
    benchmark::DoNotOptimize(sim.State);
  }
}
BENCHMARK(StateInitOfLine)->Arg(30)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace traklin::bench
