// Signal aspects and signal lamps: routes, occupancy, block signals, shared lamps.
#include <gtest/gtest.h>

#include "station_fixture.h"

namespace traklin::fixtures {
namespace {

using SignalsTest = StationTest;

TEST_F(SignalsTest, SignalOpensWhenItsRouteIsSetAndTurnsItsLampGreen) {
  ASSERT_TRUE(OrderRoute(sim, 0, R0));
  Steps(sim, 4);
  EXPECT_TRUE(Light(S0).CLOSED);
  EXPECT_FALSE(Lamp(10).GREEN);
  Steps(sim, 1);  // set
  EXPECT_EQ(Light(S0).SECT_NEXT, 4);
  EXPECT_FALSE(Light(S0).CLOSED);
  EXPECT_TRUE(Lamp(10).GREEN);
  EXPECT_TRUE(Light(S0).NEXT_WARNING);  // S1 has no route beyond it
  EXPECT_FALSE(Light(S0).SIDE_WARNING);
}

TEST_F(SignalsTest, SignalStaysClosedWhileTheNextSignalsSectionOrTheSectionBeyondIsOccupied) {
  for (int occupied : {4, 3}) {
    SCOPED_TRACE(occupied);
    Init();
    ASSERT_EQ(SetRoute(R0), 5);
    Occupy(occupied);
    Steps(sim, 1);
    EXPECT_TRUE(Light(S0).CLOSED);
    EXPECT_FALSE(Lamp(10).GREEN);
    Vacate(occupied);
    Steps(sim, 1);
    EXPECT_FALSE(Light(S0).CLOSED);
    EXPECT_TRUE(Lamp(10).GREEN);
  }
}

TEST_F(SignalsTest, ReleaseDarkensTheLampThroughPrevSectNext) {
  ASSERT_EQ(SetRoute(R0), 5);
  ASSERT_TRUE(CancelRoute(sim, 0, R0));
  Steps(sim, 1);
  EXPECT_EQ(Light(S0).SECT_NEXT, 0);
  EXPECT_TRUE(Light(S0).CLOSED);
  EXPECT_FALSE(Lamp(10).GREEN);
  EXPECT_EQ(Light(S0).PREV_SECT_NEXT, 0);  // consumed by the lamp update
}

TEST_F(SignalsTest, RouteOverAReverseSwitchGivesTheSideWarning) {
  ASSERT_EQ(SetRoute(R1), 5);
  EXPECT_FALSE(Light(S0).CLOSED);
  EXPECT_TRUE(Light(S0).SIDE_WARNING);
  EXPECT_TRUE(Light(S0).NEXT_WARNING);
}

TEST_F(SignalsTest, OpenNextSignalLiftsTheNextWarning) {
  ASSERT_EQ(SetRoute(R0), 5);
  ASSERT_EQ(SetRoute(R2), 5);
  EXPECT_FALSE(Light(S1).CLOSED);
  EXPECT_FALSE(Light(S0).NEXT_WARNING);
  Occupy(6);
  Steps(sim, 1);
  EXPECT_TRUE(Light(S1).CLOSED);
  EXPECT_TRUE(Light(S0).NEXT_WARNING);
}

TEST_F(SignalsTest, StationSignalBeforeALongSingleBlockPeregonShowsNoWarning) {
  sim.AreaData.SlSects[4].Spare = 1;
  ASSERT_EQ(SetRoute(R0), 5);
  EXPECT_FALSE(Light(S0).NEXT_WARNING);
  EXPECT_FALSE(Light(S0).SIDE_WARNING);
}

TEST_F(SignalsTest, RouteTowardsANumberedThroatLightsTheSecondLamp) {
  // Throat of station 1 whose first signal ahead from its entry section 6 is S2.
  for (int number : {1, 0}) {
    SCOPED_TRACE(number);
    sim.AreaData.GorlStanzs.assign(1, TGorlStanzData{});
    TGorlStanzData& g = sim.AreaData.GorlStanzs[0];
    g.Code = 1;
    g.Parity = kOdd;
    g.Number = number;
    g.EntrySection = 6;
    Init();
    const int lit = number > 0 ? 21 : 20;
    const int dark = number > 0 ? 20 : 21;
    ASSERT_EQ(SetRoute(R2), 5);
    EXPECT_TRUE(Lamp(lit).GREEN);
    EXPECT_FALSE(Lamp(dark).GREEN);
    ASSERT_EQ(ReleaseRoute(R2), 5);
    EXPECT_FALSE(Lamp(lit).GREEN);
  }
}

TEST_F(SignalsTest, SecondLampBeyondTheLampTableFallsBackToTheFirst) {
  sim.AreaData.GorlStanzs.assign(1, TGorlStanzData{});
  sim.AreaData.GorlStanzs[0].Code = 1;
  sim.AreaData.GorlStanzs[0].Parity = kOdd;
  sim.AreaData.GorlStanzs[0].Number = 1;
  sim.AreaData.GorlStanzs[0].EntrySection = 6;
  sim.AreaData.Semaphores[S1].Lamp = 63;  // the last lamp of the table
  Init();
  ASSERT_EQ(SetRoute(R2), 5);
  EXPECT_TRUE(Lamp(63).GREEN);
}

TEST_F(SignalsTest, SignalOnASwitchSectionIsReportedWhenItWouldOpen) {
  TSemaphoreData sem;
  sem.Kind = 3;
  sem.Direction = kOdd;
  sem.Lamp = 17;
  sem.Section = 3;
  sem.LP = 0;
  sim.AreaData.Semaphores.push_back(sem);
  Init();
  const int i = static_cast<int>(sim.AreaData.Semaphores.size()) - 1;
  sim.State.Semaphores[i].SECT_NEXT = 4;
  sim.State.Semaphores[i].DIR_NEXT = kOdd;
  Steps(sim, 2);
  ASSERT_EQ(console.notes.size(), 2u);
  EXPECT_EQ(console.notes[0], "Светофор на секции со стрелкой 03h");
  EXPECT_FALSE(sim.State.Semaphores[i].CLOSED);
}

// A peregon of four sections with two block signals.
//
//     B0>         B1>
//  [1]----[2]----[3]----[4]
class BlockSignalsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DistrictBuilder b(sim.AreaData, 5, 32);
    b.Line({1, 2, 3, 4});
    B0 = b.Signal(1, kOdd, 20, 2, -1);
    B1 = b.Signal(3, kOdd, 21, 2, -1);
    sim.Console = &console;
    sim.Random.Seed(1);
  }
  void Init() {
    StateInit(sim, DateParts{2026, 7, 1});
    sim.LastSaveTime = sim.State.ClockTime;
    sim.State.Trains.resize(1);
  }
  void Put(int s, int train) { sim.State.Sects[s].TRN_ODD = train; }

  Simulation sim;
  RecordingConsole console;
  int B0 = -1, B1 = -1;
};

TEST_F(BlockSignalsTest, BlockSignalWatchesUpToTheNextSignal) {
  Init();
  EXPECT_EQ(sim.State.Semaphores[B0].SECT_NEXT, 3);  // section 2 has no signal of its own
  EXPECT_EQ(sim.State.Semaphores[B1].SECT_NEXT, 4);  // nothing beyond 4
  EXPECT_TRUE(sim.State.Semaphores[B0].CLOSED);
}

TEST_F(BlockSignalsTest, BlockSignalFollowsOccupancyWithoutAnyRoute) {
  Init();
  Steps(sim, 1);
  EXPECT_FALSE(sim.State.Semaphores[B0].CLOSED);
  EXPECT_TRUE(sim.State.Lamps[20].GREEN);
  for (int s : {2, 3}) {
    SCOPED_TRACE(s);
    Put(s, 0);
    Steps(sim, 1);
    EXPECT_TRUE(sim.State.Semaphores[B0].CLOSED);
    EXPECT_FALSE(sim.State.Lamps[20].GREEN);
    Put(s, -1);
    Steps(sim, 1);
    EXPECT_FALSE(sim.State.Semaphores[B0].CLOSED);
    EXPECT_TRUE(sim.State.Lamps[20].GREEN);
  }
  EXPECT_FALSE(sim.State.Semaphores[B0].NEXT_WARNING);  // B1 is open
  Put(4, 0);
  Steps(sim, 1);
  EXPECT_TRUE(sim.State.Semaphores[B1].CLOSED);
  EXPECT_TRUE(sim.State.Semaphores[B0].NEXT_WARNING);
}

TEST_F(BlockSignalsTest, LampSharedByTwoSignalsStaysLitWhileEitherIsOpen) {
  sim.AreaData.Semaphores[B1].Lamp = 20;
  Init();
  Steps(sim, 1);
  ASSERT_TRUE(sim.State.Lamps[20].GREEN);
  Put(2, 0);  // closes B0 only
  Steps(sim, 1);
  EXPECT_TRUE(sim.State.Semaphores[B0].CLOSED);
  EXPECT_FALSE(sim.State.Semaphores[B1].CLOSED);
  EXPECT_TRUE(sim.State.Lamps[20].GREEN);
  Put(4, 0);  // closes B1 too
  Steps(sim, 1);
  EXPECT_FALSE(sim.State.Lamps[20].GREEN);
}

TEST_F(BlockSignalsTest, NonexistentTrainKeepsTheSignalClosedAndIsReported) {
  Init();
  Put(3, 7);
  Steps(sim, 1);
  EXPECT_TRUE(sim.State.Semaphores[B0].CLOSED);
  ASSERT_FALSE(console.notes.empty());
  EXPECT_EQ(console.notes[0], "Секция 03h занята несуществующим поездом, номер в списке был 7");
}

}  // namespace
}  // namespace traklin::fixtures
