// Route assembly and release step by step on a small station.
#include <gtest/gtest.h>

#include <stdexcept>

#include "station_fixture.h"

namespace traklin::fixtures {
namespace {

using RouteAssemblyTest = StationTest;

TEST_F(RouteAssemblyTest, RouteOfFourHalvesIsSetAfterFiveStepsAndReleasedAfterFive) {
  EXPECT_EQ(SetRoute(R0), 5);
  EXPECT_EQ(LockedHalves(R0), 4);
  EXPECT_TRUE(Locked(2, kOdd, R0));
  EXPECT_FALSE(Locked(2, kEven, R0));
  EXPECT_TRUE(Locked(3, kEven, R0) && Locked(3, kOdd, R0));
  EXPECT_TRUE(Locked(4, kEven, R0));
  EXPECT_FALSE(Locked(4, kOdd, R0));
  EXPECT_EQ(ReleaseRoute(R0), 5);
  EXPECT_EQ(LockedHalves(R0), 0);
  EXPECT_FALSE(Ctl(R0).SCHUNTED);
  EXPECT_EQ(Ctl(R0).TASKED, 0);
  EXPECT_TRUE(console.notes.empty());
}

TEST_F(RouteAssemblyTest, OrderOperationsKeepTheirPreconditions) {
  EXPECT_FALSE(CancelRoute(sim, 0, R0));   // not set
  EXPECT_FALSE(ReverseRoute(sim, 0, R0));  // nothing pending
  EXPECT_TRUE(OrderRoute(sim, 0, R0));
  EXPECT_FALSE(OrderRoute(sim, 0, R0));  // already pending
  EXPECT_TRUE(RouteIsPending(sim, 0, R0));
  EXPECT_FALSE(OrderRoute(sim, 0, 99));
  EXPECT_FALSE(OrderRoute(sim, 5, R0));
  EXPECT_FALSE(RouteIsSet(sim, -1, 0));
}

TEST_F(RouteAssemblyTest, ReleaseOfTheLPIsServedBeforeItsAssemblies) {
  ASSERT_EQ(SetRoute(R0), 5);
  ASSERT_TRUE(OrderRoute(sim, 0, R2));  // ordered first
  sim.State.ClockTime += kSecond;
  ASSERT_TRUE(CancelRoute(sim, 0, R0));
  Steps(sim, 1);
  EXPECT_EQ(LockedHalves(R0), 3);
  EXPECT_EQ(LockedHalves(R2), 0);
  Steps(sim, 4);  // the release ends
  EXPECT_FALSE(RouteIsPending(sim, 0, R0));
  EXPECT_EQ(LockedHalves(R2), 0);
  Steps(sim, 1);
  EXPECT_EQ(LockedHalves(R2), 1);
}

TEST_F(RouteAssemblyTest, OfTwoAssembliesTheEarlierOrderGoesFirst) {
  struct Case {
    bool r2First;
    bool sameTime;
  };
  for (const Case c : {Case{true, false}, Case{false, false}, Case{false, true}}) {
    SCOPED_TRACE(c.r2First ? "R2 ordered first" : c.sameTime ? "same time" : "R0 ordered first");
    Init();
    ASSERT_TRUE(OrderRoute(sim, 0, c.r2First ? R2 : R0));
    if (!c.sameTime) sim.State.ClockTime += kSecond;
    ASSERT_TRUE(OrderRoute(sim, 0, c.r2First ? R0 : R2));
    Steps(sim, 1);
    // With equal order times the lower route index is kept.
    const int first = c.r2First ? R2 : R0;
    const int second = c.r2First ? R0 : R2;
    EXPECT_EQ(LockedHalves(first), 1);
    EXPECT_EQ(LockedHalves(second), 0);
  }
}

TEST_F(RouteAssemblyTest, ReversalMidAssemblyFreesExactlyTheLockedHalves) {
  ASSERT_TRUE(OrderRoute(sim, 0, R1));
  Steps(sim, 3);
  ASSERT_EQ(LockedHalves(R1), 3);
  ASSERT_TRUE(ReverseRoute(sim, 0, R1));
  EXPECT_TRUE(Ctl(R1).SCHUNTED);
  for (int left = 2; left >= 0; --left) {
    Steps(sim, 1);
    EXPECT_EQ(LockedHalves(R1), left);
    EXPECT_TRUE(RouteIsPending(sim, 0, R1));
  }
  Steps(sim, 1);
  EXPECT_FALSE(RouteIsPending(sim, 0, R1));
  EXPECT_FALSE(Ctl(R1).SCHUNTED);
  EXPECT_EQ(sim.State.Sects[7].ROUTE_EVEN, -1);
  EXPECT_EQ(sim.State.Sects[7].ROUTE_ODD, -1);
  EXPECT_FALSE(Lamp(32).YELLOW_BLINK);
  EXPECT_FALSE(Lamp(30).YELLOW);
}

TEST_F(RouteAssemblyTest, SwitchIsThrownWhenItsHalfIsLockedAndCountedOnce) {
  ASSERT_TRUE(OrderRoute(sim, 0, R1));
  Steps(sim, 2);
  EXPECT_EQ(sim.State.Switches[1], 0);
  Steps(sim, 1);  // the odd half of section 3, where sw1 stands, is locked now
  EXPECT_TRUE(Locked(3, kOdd, R1));
  EXPECT_EQ(sim.State.Switches[1], 1);
  EXPECT_EQ(Light(S0).SIDE_SWITCHES, 1);
  Steps(sim, 2);
  ASSERT_TRUE(RouteIsSet(sim, 0, R1));
  EXPECT_EQ(Light(S0).SIDE_SWITCHES, 1);
  EXPECT_EQ(Light(S0).SECT_NEXT, 7);

  ASSERT_EQ(ReleaseRoute(R1), 5);
  EXPECT_EQ(sim.State.Switches[1], 1);  // a release leaves the switch where it is
  EXPECT_EQ(SetRoute(R0), 5);
  EXPECT_EQ(sim.State.Switches[1], 0);
  EXPECT_EQ(Light(S0).SIDE_SWITCHES, 0);
}

TEST_F(RouteAssemblyTest, SwitchMissingFromTheRouteIsReportedAndTheHalfLockedAnyway) {
  sim.AreaData.TrainRoutes[0].Routes[R0].SwitchNumber[0] = 0;
  EXPECT_EQ(SetRoute(R0), 5);
  ASSERT_EQ(console.notes.size(), 1u);
  EXPECT_EQ(console.notes[0], "Стрелка 1 не в маршруте 0");
  EXPECT_TRUE(Locked(3, kOdd, R0));
}

TEST_F(RouteAssemblyTest, ConflictingRouteKeepsFlashingAndNeverLocks) {
  ASSERT_EQ(SetRoute(R0), 5);
  ASSERT_TRUE(OrderRoute(sim, 0, R1));
  for (int i = 0; i < 20; ++i) {
    Steps(sim, 1);
    EXPECT_EQ(LockedHalves(R1), 0);
    EXPECT_TRUE(Lamp(32).YELLOW_BLINK);  // sw1 minus lamp of R1
  }
  EXPECT_TRUE(RouteIsPending(sim, 0, R1));
  EXPECT_TRUE(RouteIsSet(sim, 0, R0));
  EXPECT_EQ(sim.State.Switches[1], 0);
}

TEST_F(RouteAssemblyTest, RouteLockedByAnotherLPConflicts) {
  sim.State.Sects[3].ROUTE_EVEN = R0;
  sim.State.Sects[3].LP_EVEN = 1;  // same route index, other LP
  ASSERT_TRUE(OrderRoute(sim, 0, R0));
  Steps(sim, 10);
  EXPECT_EQ(LockedHalves(R0), 0);
}

TEST_F(RouteAssemblyTest, OpposingRouteOfTheSameLPEndingOnTheSectionWaits) {
  ASSERT_EQ(SetRoute(R0), 5);           // odd route ending at track 0
  ASSERT_TRUE(OrderRoute(sim, 0, R4));  // even route ending at track 0
  Steps(sim, 10);
  EXPECT_EQ(LockedHalves(R4), 0);
  ASSERT_EQ(ReleaseRoute(R0), 5);
  Steps(sim, 1);
  EXPECT_EQ(LockedHalves(R4), 1);
}

TEST_F(RouteAssemblyTest, OccupiedRouteWaitsButItsOccupiedFirstSectionDoesNotHinderAssembly) {
  Occupy(2);  // a train waiting at S0
  EXPECT_EQ(SetRoute(R0), 5);
  EXPECT_TRUE(CancelRoute(sim, 0, R0));
  Steps(sim, 10);
  EXPECT_EQ(LockedHalves(R0), 4);
  Vacate(2);
  Steps(sim, 5);
  EXPECT_FALSE(RouteIsPending(sim, 0, R0));
  EXPECT_EQ(LockedHalves(R0), 0);

  Occupy(4);
  ASSERT_TRUE(OrderRoute(sim, 0, R0));
  Steps(sim, 10);
  EXPECT_EQ(LockedHalves(R0), 0);
}

struct OpposingCase {
  const char* name;
  int kindJ;
  int nextJ;
  int sectNext;
  int dirNext;
  bool blocks;
};

TEST_F(RouteAssemblyTest, OpposingSignalCheck) {
  // S2 (odd, section 6, peregon 1) is the signal at the end of R2. S6 plays the other side's
  // signal j; S7 is the peregon-end signal k of peregon 1.
  const OpposingCase cases[] = {
      {"j leads to g's section", 1, -1, 6, kEven, true},
      {"j in the same peregon", 3, 1, 5, kEven, true},
      {"j leads to a signal of the same peregon", 1, -1, 1, kEven, true},
      {"j in the same direction", 1, -1, 6, kOdd, false},
      {"j is a block signal", 2, -1, 6, kEven, false},
      {"j has no route", 1, -1, 0, kEven, false},
      {"j leads elsewhere", 1, -1, 5, kEven, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim.AreaData.Semaphores[S6].Kind = static_cast<std::uint8_t>(c.kindJ);
    sim.AreaData.Semaphores[S6].Next = c.nextJ;
    Init();
    sim.State.Semaphores[S6].SECT_NEXT = c.sectNext;
    sim.State.Semaphores[S6].DIR_NEXT = static_cast<std::uint8_t>(c.dirNext);
    EXPECT_EQ(OpposingRouteSet(sim, S2), c.blocks);
    ASSERT_TRUE(OrderRoute(sim, 0, R2));
    Steps(sim, 1);
    EXPECT_EQ(LockedHalves(R2), c.blocks ? 0 : 1);
  }
  EXPECT_FALSE(OpposingRouteSet(sim, -1));
  EXPECT_FALSE(OpposingRouteSet(sim, 1000));
}

TEST_F(RouteAssemblyTest, RouteEndingWithoutSignalChainsToTheSignalAhead) {
  EXPECT_EQ(SetRoute(R3), 3);  // halves: 4 odd, 5 even
  EXPECT_EQ(Light(S1).SECT_NEXT, 6);
  EXPECT_EQ(Light(S1).DIR_NEXT, kOdd);
}

TEST_F(RouteAssemblyTest, SingleSectionRouteNeedsNoHalfAndIsSetInOneStep) {
  TTrainRouteData single{};
  single.StartKind = 2;
  single.EndKind = 3;
  single.Sections[0] = single.FirstSection = single.LastSection = 4;
  sim.AreaData.TrainRoutes[0].Routes.push_back(single);
  Init();
  EXPECT_EQ(SetRoute(5), 1);
  EXPECT_EQ(LockedHalves(5), 0);
  EXPECT_EQ(ReleaseRoute(5), 1);
}

TEST_F(RouteAssemblyTest, SectionOrderErrorIsThrownOutOfTheStep) {
  TTrainRouteData bad = sim.AreaData.TrainRoutes[0].Routes[R0];
  bad.LastSection = 3;  // the list runs on to 4
  sim.AreaData.TrainRoutes[0].Routes.push_back(bad);
  Init();
  ASSERT_TRUE(OrderRoute(sim, 0, 5));
  try {
    sim.SimulationStep(kStepLength);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Неверный порядок секций маршрута 0-5");
  }
}

TEST_F(RouteAssemblyTest, RouteAtSectionFindsTheRouteByItsEnds) {
  ASSERT_EQ(SetRoute(R0), 5);
  EXPECT_EQ(RouteAtSection(sim, 1, 2, kOdd, true), R0);
  EXPECT_EQ(RouteAtSection(sim, 1, 4, kOdd, false), R0);
  EXPECT_EQ(RouteAtSection(sim, 1, 3, kOdd, true), -1);   // locked, but not R0's first section
  EXPECT_EQ(RouteAtSection(sim, 1, 4, kEven, true), -1);  // odd half of 4 is free
  EXPECT_EQ(RouteAtSection(sim, 9, 2, kOdd, true), -1);   // unknown LP code
}

TEST_F(RouteAssemblyTest, RouteLampsFlashWhilePendingAndBurnWhileSet) {
  ASSERT_TRUE(OrderRoute(sim, 0, R0));
  Steps(sim, 1);
  for (int lamp : {30, 31, 50, 51, 52}) {
    SCOPED_TRACE(lamp);
    EXPECT_TRUE(Lamp(lamp).YELLOW_BLINK);
    EXPECT_FALSE(Lamp(lamp).YELLOW);
  }
  EXPECT_FALSE(Lamp(40).YELLOW_BLINK);  // the first section is not shown
  EXPECT_FALSE(Lamp(32).YELLOW_BLINK);  // sw1 minus
  Steps(sim, 4);
  for (int lamp : {30, 31, 50, 51, 52}) {
    SCOPED_TRACE(lamp);
    EXPECT_FALSE(Lamp(lamp).YELLOW_BLINK);
    EXPECT_TRUE(Lamp(lamp).YELLOW);
  }
  ReleaseRoute(R0);
  for (int lamp : {30, 31, 50, 51, 52}) {
    SCOPED_TRACE(lamp);
    EXPECT_FALSE(Lamp(lamp).YELLOW_BLINK);
    EXPECT_FALSE(Lamp(lamp).YELLOW);
  }
}

TEST_F(RouteAssemblyTest, RouteEndingAtAThroatDoesNotShowItsLastSection) {
  EXPECT_EQ(SetRoute(R2), 5);
  EXPECT_TRUE(Lamp(42).YELLOW);   // section 5
  EXPECT_FALSE(Lamp(43).YELLOW);  // section 6, at the throat
}

}  // namespace
}  // namespace traklin::fixtures
