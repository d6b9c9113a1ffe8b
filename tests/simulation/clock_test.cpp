// The clock: time-scale table, steps per tick, autosave timing, the start date; and StateInit.
#include <cmath>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "area/date_time.h"

#include "state/interlocking_fixture.h"

namespace traklin::fixtures {
namespace {

TEST(StepOrderTest, PassesRunInTheirFixedOrder) {
  std::vector<std::string> names;
  for (const Simulation::StepPass& pass : Simulation::StepOrder()) names.emplace_back(pass.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Clock", "Faults", "UpdateRoutes", "UpdateSignals",
                                             "AutoDispatcher", "ThroatAutomation",
                                             "ExecuteThroatTasks", "CreateFreightTrains",
                                             "CreatePlannedTrains", "ServeWaitingTrains",
                                             "DepartTrains", "MoveTrains", "Autosave"}));
}

TEST(TimeScaleTest, EveryLevelMatchesTheTable) {
  // level: timer on, interval in ms, steps per tick, label
  const std::tuple<int, bool, int, int, std::string> rows[] = {
      {0, false, 500, 1, "Пауза"}, {1, true, 500, 1, ""},   {2, true, 250, 1, "x2"},
      {3, true, 125, 1, "x4"},     {4, true, 62, 1, "x8"},  {5, true, 62, 2, "x16"},
      {6, true, 62, 4, "x32"},     {7, true, 62, 8, "x64"}, {8, true, 62, 16, "x128"},
      {9, true, 62, 32, "x256"}};
  for (const auto& row : rows) {
    const TimeScale s = TimeScaleFor(std::get<0>(row));
    EXPECT_EQ(std::tie(std::get<0>(row), s.TimerEnabled, s.IntervalMs, s.StepsPerTick, s.Label),
              row);
  }
}

class SimulationClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.Console = &console;
    sim.State.ClockTime = sim.LastSaveTime = 40000.0;
  }
  Simulation sim;
  RecordingConsole console;
};

TEST_F(SimulationClockTest, TickRunsStepsPerTickHalfSecondSteps) {
  sim.SetTimeScale(9);
  int afterStep = 0;
  sim.RunTick([&] { ++afterStep; });
  EXPECT_EQ(afterStep, 32);
  EXPECT_NEAR(sim.State.ClockTime, 40000.0 + 16.0 / 86400.0, 1e-9);
}

TEST_F(SimulationClockTest, BeforeStepSeesTheClockOfTheStepToComeAndALevelChangeCutsTheTick) {
  sim.SetTimeScale(6);  // 4 steps a tick
  std::vector<double> seen;
  sim.RunTick({}, [&] {
    seen.push_back((sim.State.ClockTime - 40000.0) * 86400.0);
    if (seen.size() == 2) sim.SetTimeScale(1);  // as a scenario's scale line does
  });
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_NEAR(seen[0], 0.0, 1e-4);
  EXPECT_NEAR(seen[1], 0.5, 1e-4);
  EXPECT_NEAR(sim.State.ClockTime, 40000.0 + 1.0 / 86400.0, 1e-9);
}

TEST_F(SimulationClockTest, AutosaveComesAfterMoreThanTenMinutesAndAFailureIsRetried) {
  Steps(sim, 1200);  // exactly 10 minutes
  EXPECT_EQ(console.saves, 0);
  Steps(sim, 1);
  EXPECT_EQ(console.saves, 1);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);
  console.saveSucceeds = false;
  Steps(sim, 1201);
  EXPECT_EQ(console.saves, 2);
  Steps(sim, 299);  // a failed save is tried again 2.5 minutes later
  EXPECT_EQ(console.saves, 2);
  Steps(sim, 1);
  EXPECT_EQ(console.saves, 3);
}

TEST_F(SimulationClockTest, EmptyDistrictGivesAnEmptyStateAndStepsRunOverIt) {
  sim.AreaData.BaseYear = 2010;  // year 0 has no calendar date
  StateInit(sim, DateParts{2026, 8, 1});
  EXPECT_TRUE(sim.State.Lamps.empty() && sim.State.Routes.empty());
  Steps(sim, 10);
  EXPECT_TRUE(console.notes.empty());
}

TEST(AdvanceClockTest, ADayOfHalfSecondStepsEndsExactlyAtMidnightAndEveryHourReadsWhole) {
  const TDateTime start = EncodeDate(2024, 3, 15);
  TDateTime clock = start;
  for (int step = 1; step <= 172800; ++step) {
    clock = AdvanceClock(clock, kStepLength);
    if (step % 7200 == 0) {
      const TimeParts t = DecodeTime(clock);
      ASSERT_EQ(std::make_tuple(t.Hour, t.Minute, t.Second, t.Millisecond),
                std::make_tuple(step / 7200 % 24, 0, 0, 0))
          << step;
    }
  }
  EXPECT_EQ(clock, EncodeDate(2024, 3, 16));
  // A plain sum drifts by milliseconds over such a day.
  TDateTime sum = start;
  for (int step = 0; step < 172800; ++step) sum += kStepLength;
  EXPECT_GT(std::abs(sum - EncodeDate(2024, 3, 16)) * 86400.0, 0.001);
}

TEST(StartClockTimeTest, YearFollowsTheBaseYearAndTheMonthAndTheLeapDayFallsBack) {
  const std::tuple<const char*, int, int, int, TDateTime> cases[] = {
      {"before June: the next year", 2010, 3, 15, EncodeDate(2011, 3, 15)},
      {"May is still before June", 2010, 5, 31, EncodeDate(2011, 5, 31)},
      {"June: the base year", 2010, 6, 15, EncodeDate(2010, 6, 15)},
      {"29 February in a leap year stays", 2011, 2, 29, EncodeDate(2012, 2, 29)},
      {"29 February without a leap day becomes 28 February", 2010, 2, 29, EncodeDate(2011, 2, 28)},
      {"century year without a leap day", 2099, 2, 29, EncodeDate(2100, 2, 28)},
  };
  for (const auto& [scenario, baseYear, month, day, midnight] : cases)
    EXPECT_EQ(StartClockTime(baseYear, month, day), midnight) << scenario;
  EXPECT_THROW(StartClockTime(9999, 3, 1), std::invalid_argument);  // year 10000
  EXPECT_THROW(StartClockTime(0, 7, 1), std::invalid_argument);
}

using StateInitTest = InterlockingTest;

TEST_F(StateInitTest, ArraysRunParallelToTheDistrictAndStartEmptyAtMidnight) {
  TStateData& st = sim.State;
  st.Trains.resize(2);
  st.PosLog.resize(4);
  st.RandomPlans.resize(1);
  st.NextRandomFreightTime = 5;
  st.Lamps[3].YELLOW = true;
  Occupy(4);
  sim.AreaData.GorlStanzs.resize(3);
  sim.Settings.ColorLampLPOff = 0x123456;
  Restart();
  EXPECT_DOUBLE_EQ(st.ClockTime, EncodeDate(2025, 3, 15));  // base year 2024, 15 March
  // lamps, switches, sections, signals, LPs with routes, routes of LP 0, throats, commits
  EXPECT_EQ((std::vector<std::size_t>{st.Lamps.size(), st.Switches.size(), st.Sects.size(),
                                      st.Semaphores.size(), st.Routes.size(), st.Routes[0].size(),
                                      st.Gorls.size(), st.DepartCommits.size()}),
            (std::vector<std::size_t>{22, 3, 11, 12, 1, 8, 3, 1}));
  EXPECT_TRUE(st.Trains.empty() && st.PosLog.empty() && st.RandomPlans.empty() &&
              st.NextRandomFreightTime == 0 && !st.Lamps[3].YELLOW);
  // The station's name lamp is drawn in the unlit LP colour, every other lamp grey.
  EXPECT_EQ(std::tie(st.Lamps[0].DrawnColor, st.Lamps[1].DrawnColor, st.Lamps[2].DrawnColor),
            std::tuple(kLampGrey, 0x123456u, kLampGrey));
  for (const TSectionSchuntData& x : st.Sects)
    EXPECT_TRUE(x.ROUTE_EVEN == -1 && x.ROUTE_ODD == -1 && x.TRN_EVEN == -1 && x.TRN_ODD == -1 &&
                x.LP_EVEN == -1 && x.LP_ODD == -1);
  for (int i = 0; i < static_cast<int>(st.Semaphores.size()); ++i) {
    const TSemaphoreLightData& light = st.Semaphores[i];
    EXPECT_TRUE(light.CLOSED && light.NEXT_WARNING) << i;
    EXPECT_EQ(light.DIR_NEXT, sim.AreaData.Semaphores[i].Direction) << i;
    // Only block signals watch their block from the start.
    EXPECT_EQ(light.SECT_NEXT > 0, sim.AreaData.Semaphores[i].Kind == 2) << i;
  }
  // A block signal before a plain section without a signal watches up to the next signal.
  sim.AreaData.SlSects[2].Semaphore[kOdd] = -1;
  Restart();
  EXPECT_EQ(Light(Signal(1, kOdd)).SECT_NEXT, 3);
}

TEST_F(StateInitTest, ExplicitSeedIsKept) {
  sim.Random.Seed(42);
  Restart();
  RandomGenerator reference(42);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sim.Random.Draw(1000), reference.Draw(1000));
}

}  // namespace
}  // namespace traklin::fixtures
