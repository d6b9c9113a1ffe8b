// StateInit: start date, sizes of the parallel arrays and the initial records.
#include <gtest/gtest.h>

#include "station_fixture.h"

namespace traklin::fixtures {
namespace {

struct DateCase {
  int baseYear, month, day;
  int year, expectMonth, expectDay;
};

TEST(StartClockTimeLeapDayTest, YearFollowsTheMonthAndTheLeapDayFallsBack) {
  const DateCase cases[] = {
      {2010, 3, 15, 2011, 3, 15},  // before June: the year after the base year
      {2010, 6, 15, 2010, 6, 15},  // from June on: the base year
      {2010, 5, 31, 2011, 5, 31}, {2010, 12, 31, 2010, 12, 31},
      {2011, 2, 29, 2012, 2, 29},  // 2012 has a 29 February
      {2012, 2, 29, 2013, 2, 28},  // 2013 has none
      {2011, 1, 1, 2012, 1, 1},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.baseYear) + "-" + std::to_string(c.month) + "-" +
                 std::to_string(c.day));
    EXPECT_DOUBLE_EQ(StartClockTime(c.baseYear, c.month, c.day),
                     EncodeDate(c.year, c.expectMonth, c.expectDay));
  }
}

using StateInitTest = StationTest;

TEST_F(StateInitTest, ClockStartsAtMidnightOfTheStartDate) {
  StateInit(sim, DateParts{2026, 3, 15});
  EXPECT_DOUBLE_EQ(sim.State.ClockTime, EncodeDate(2011, 3, 15));
  StateInit(sim, DateParts{2026, 6, 15});
  EXPECT_DOUBLE_EQ(sim.State.ClockTime, EncodeDate(2010, 6, 15));
  StateInit(sim, DateParts{2025, 2, 29});  // a leap day that the district's year lacks
  EXPECT_DOUBLE_EQ(sim.State.ClockTime, EncodeDate(2011, 2, 28));
}

TEST_F(StateInitTest, ArraysRunParallelToTheDistrict) {
  sim.AreaData.GorlStanzs.resize(3);
  sim.State.Trains.resize(2);
  sim.State.PosLog.resize(4);
  sim.State.RandomPlans.resize(1);
  sim.State.NextRandomFreightTime = 5;
  Init();
  const TStateData& st = sim.State;
  EXPECT_EQ(st.Lamps.size(), 64u);
  EXPECT_EQ(st.Switches.size(), sim.AreaData.Strels.size());
  EXPECT_EQ(st.Sects.size(), sim.AreaData.SlSects.size());
  EXPECT_EQ(st.Semaphores.size(), sim.AreaData.Semaphores.size());
  ASSERT_EQ(st.Routes.size(), 1u);
  EXPECT_EQ(st.Routes[0].size(), 5u);
  EXPECT_EQ(st.Gorls.size(), 3u);
  EXPECT_EQ(st.DepartCommits.size(), 1u);
  EXPECT_TRUE(st.Trains.empty());
  EXPECT_TRUE(st.PosLog.empty());
  EXPECT_TRUE(st.RandomPlans.empty());
  EXPECT_EQ(st.NextRandomFreightTime, 0);
  for (const auto& x : st.Sects) {
    EXPECT_EQ(x.ROUTE_EVEN, -1);
    EXPECT_EQ(x.TRN_ODD, -1);
    EXPECT_EQ(x.LP_EVEN, -1);
  }
  for (const auto& light : st.Semaphores) {
    EXPECT_TRUE(light.CLOSED);
    EXPECT_TRUE(light.NEXT_WARNING);
    EXPECT_EQ(light.SECT_NEXT, 0);  // no block signals here
  }
  EXPECT_EQ(st.Semaphores[S6].DIR_NEXT, kEven);
  EXPECT_EQ(st.Semaphores[S0].DIR_NEXT, kOdd);
}

TEST_F(StateInitTest, StationNameLampTakesTheUnlitLPColour) {
  sim.Settings.ColorLampLPOff = 0x123456;
  sim.AreaData.GraphLamps[5].Station = 0;  // inside the fragment, not the name lamp
  sim.State.Lamps[3].YELLOW = true;
  Init();
  EXPECT_EQ(Lamp(1).DrawnColor, 0x123456u);
  EXPECT_EQ(Lamp(5).DrawnColor, kLampGrey);
  EXPECT_EQ(Lamp(0).DrawnColor, kLampGrey);
  EXPECT_FALSE(Lamp(3).YELLOW);
}

TEST_F(StateInitTest, ExplicitSeedIsKept) {
  sim.Random.Seed(42);
  Init();
  RandomGenerator reference(42);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sim.Random.Draw(1000), reference.Draw(1000));
}

TEST(StateInitEmptyTest, EmptyDistrictGivesEmptyArraysAndStepsRunOverThem) {
  Simulation sim;
  RecordingConsole console;
  sim.Console = &console;
  sim.Random.Seed(3);
  sim.AreaData.BaseYear = 2010;  // year 0 has no calendar date
  StateInit(sim, DateParts{2026, 8, 1});
  sim.LastSaveTime = sim.State.ClockTime;
  EXPECT_TRUE(sim.State.Lamps.empty());
  EXPECT_TRUE(sim.State.Routes.empty());
  Steps(sim, 10);
  EXPECT_TRUE(console.notes.empty());
}

}  // namespace
}  // namespace traklin::fixtures
