// Time-scale table and the step/autosave timing of the simulation clock.
#include <gtest/gtest.h>

#include "state/clock.h"
#include "state/simulation.h"

namespace traklin {
namespace {

struct ScaleRow {
  int level;
  bool enabled;
  int interval;
  int steps;
  const char* label;
};

TEST(TimeScaleTest, EveryLevelMatchesTheTable) {
  const ScaleRow rows[] = {
      {0, false, 500, 1, "Пауза"}, {1, true, 500, 1, ""},     {2, true, 250, 1, "x2"},
      {3, true, 125, 1, "x4"},     {4, true, 62, 1, "x8"},    {5, true, 62, 2, "x16"},
      {6, true, 62, 4, "x32"},     {7, true, 62, 8, "x64"},   {8, true, 62, 16, "x128"},
      {9, true, 62, 32, "x256"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.level);
    const TimeScale s = TimeScaleFor(r.level);
    EXPECT_EQ(s.TimerEnabled, r.enabled);
    EXPECT_EQ(s.IntervalMs, r.interval);
    EXPECT_EQ(s.StepsPerTick, r.steps);
    EXPECT_EQ(s.Label, r.label);
  }
}

class CountingConsole : public ConsoleServices {
 public:
  void NotifyDispatcher(const std::string&) override {}
  void InformDispatcher(const std::string&, const std::string&, int) override {}
  bool AskDispatcher(const std::string&, const std::string&, int) override { return true; }
  bool SaveLastState(bool) override {
    ++saves;
    return succeed;
  }
  int saves = 0;
  bool succeed = true;
};

TEST(SimulationClockTest, TickRunsStepsPerTickHalfSecondSteps) {
  Simulation sim;
  CountingConsole console;
  sim.Console = &console;
  sim.State.ClockTime = 40000.0;
  sim.LastSaveTime = sim.State.ClockTime;
  sim.SetTimeScale(9);
  int afterStep = 0;
  sim.RunTick([&] { ++afterStep; });
  EXPECT_EQ(afterStep, 32);
  EXPECT_NEAR(sim.State.ClockTime, 40000.0 + 16.0 / 86400.0, 1e-9);
}

TEST(SimulationClockTest, AutosaveComesOnlyAfterMoreThanTenMinutes) {
  Simulation sim;
  CountingConsole console;
  sim.Console = &console;
  sim.State.ClockTime = 40000.0;
  sim.LastSaveTime = sim.State.ClockTime;
  for (int i = 0; i < 1200; ++i) sim.SimulationStep(kStepLength);  // exactly 10 minutes
  EXPECT_EQ(console.saves, 0);
  sim.SimulationStep(kStepLength);
  EXPECT_EQ(console.saves, 1);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);
}

TEST(SimulationClockTest, FailedAutosaveIsRetriedTwoAndAHalfMinutesLater) {
  Simulation sim;
  CountingConsole console;
  console.succeed = false;
  sim.Console = &console;
  sim.State.ClockTime = 40000.0;
  sim.LastSaveTime = sim.State.ClockTime;
  for (int i = 0; i < 1201; ++i) sim.SimulationStep(kStepLength);
  EXPECT_EQ(console.saves, 1);
  for (int i = 0; i < 299; ++i) sim.SimulationStep(kStepLength);
  EXPECT_EQ(console.saves, 1);
  sim.SimulationStep(kStepLength);
  EXPECT_EQ(console.saves, 2);
}

}  // namespace
}  // namespace traklin
