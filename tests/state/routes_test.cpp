// Route orders, assembly and release step by step, route lamps, occupancy queries and
// departure commits, on the controlled station of text_districts.h.
#include <gmock/gmock.h>

#include <stdexcept>

#include "interlocking_fixture.h"

namespace traklin::fixtures {
namespace {

// Every route of the controlled station has three sections, so it needs four halves (the
// entry half of the first section, both of the middle one, the end half of the last) and is
// set after five steps of its LP's turn:
//   0  3,4,5  sw1 plus   left entry onto track I     4  8,7,5  sw2 plus   right entry onto I
//   1  3,4,6  sw1 minus  left entry onto track 2     5  8,7,6  sw2 minus  right entry onto 2
//   2  5,7,8  sw2 plus   exit from I to the right    6  5,4,3  sw1 plus   exit from I to the left
//   3  6,7,8  sw2 minus  exit from 2 to the right    7  6,4,3  sw1 minus  exit from 2 to the left
// Lamps: 7..9 switch 1 (own, plus, minus), 10..12 switch 2, 13..14 track I, 15 track 2.
using RouteTest = InterlockingTest;

TEST_F(RouteTest, EveryRouteIsSetAfterFiveStepsOpensItsSignalAndIsReleasedAfterFive) {
  // route, its signal's lamp, the switch it throws, minus, the next signal shows stop
  for (const auto [r, lamp, sw, minus, nextStop] :
       {std::array{0, 16, 1, 0, 1}, std::array{1, 16, 1, 1, 1}, std::array{2, 18, 2, 0, 0},
        std::array{3, 19, 2, 1, 0}, std::array{4, 17, 2, 0, 1}, std::array{5, 17, 2, 1, 1},
        std::array{6, 20, 1, 0, 0}, std::array{7, 21, 1, 1, 0}}) {
    SCOPED_TRACE(r);
    const int g = StartSignal(r);
    ASSERT_EQ(sim.AreaData.Semaphores[g].Lamp, lamp);
    ASSERT_TRUE(OrderRoute(sim, 0, r));
    Steps(sim, 4);
    EXPECT_FALSE(RouteIsSet(sim, 0, r) || !Light(g).CLOSED);
    Steps(sim, 1);
    EXPECT_TRUE(RouteIsSet(sim, 0, r) && !Light(g).CLOSED && Lamp(lamp).GREEN);
    // Entries lead to a closed exit; a minus switch shows as the side warning.
    EXPECT_EQ(std::tuple(LockedHalves(), sim.State.Switches[sw], Light(g).NEXT_WARNING,
                         Light(g).SIDE_WARNING),
              std::tuple(4, minus, nextStop == 1, minus == 1));

    ASSERT_TRUE(CancelRoute(sim, 0, r));
    Steps(sim, 1);  // the signal closes and its lamp goes dark through PREV_SECT_NEXT
    EXPECT_TRUE(Light(g).CLOSED && Light(g).SECT_NEXT == 0 && Light(g).PREV_SECT_NEXT == 0);
    EXPECT_FALSE(Lamp(lamp).GREEN);
    Steps(sim, 3);
    EXPECT_TRUE(RouteIsPending(sim, 0, r));
    Steps(sim, 1);
    EXPECT_FALSE(RouteIsPending(sim, 0, r) || RouteIsSet(sim, 0, r));
    EXPECT_EQ(LockedHalves(), 0);
  }
  for (const TLampControlData& l : sim.State.Lamps) EXPECT_FALSE(l.YELLOW || l.YELLOW_BLINK);
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

TEST_F(RouteTest, ReleasesComeBeforeAssembliesAndEarlierOrdersBeforeLaterOnes) {
  ASSERT_EQ(SetRoute(0), 5);
  ASSERT_TRUE(OrderRoute(sim, 0, 2));
  sim.State.ClockTime += kSecond;
  ASSERT_TRUE(CancelRoute(sim, 0, 0));
  Steps(sim, 5);
  EXPECT_FALSE(RouteIsPending(sim, 0, 0) || LockedHalves(2) > 0);
  Steps(sim, 1);
  EXPECT_EQ(LockedHalves(2), 1);
  // Of two assemblies the earlier order goes first, and on a tie the lower route.
  // first ordered, second ordered, at the same time, the route that locks its first half
  for (const auto [first, second, sameTime, winner] :
       {std::array{2, 0, 0, 2}, std::array{0, 2, 0, 0}, std::array{2, 0, 1, 0}}) {
    Restart();
    ASSERT_TRUE(OrderRoute(sim, 0, first));
    if (!sameTime) sim.State.ClockTime += kSecond;
    ASSERT_TRUE(OrderRoute(sim, 0, second));
    Steps(sim, 1);
    EXPECT_EQ(LockedHalves(winner), 1) << first << sameTime;
    EXPECT_EQ(LockedHalves(), 1);
  }
}

TEST_F(RouteTest, OrdersKeepTheirPreconditionsAndAReversalFreesExactlyTheHalvesLocked) {
  // Not set, nothing pending, then ordered but already pending, and no such route or LP.
  EXPECT_FALSE(CancelRoute(sim, 0, 1) || ReverseRoute(sim, 0, 1));
  ASSERT_TRUE(OrderRoute(sim, 0, 1));
  EXPECT_FALSE(OrderRoute(sim, 0, 1) || OrderRoute(sim, 0, 99) || OrderRoute(sim, 5, 0));
  EXPECT_FALSE(RouteIsSet(sim, -1, 0));
  Steps(sim, 3);
  ASSERT_EQ(LockedHalves(1), 3);
  ASSERT_TRUE(ReverseRoute(sim, 0, 1));
  for (int left = 2; left >= 0; --left) {
    Steps(sim, 1);
    EXPECT_EQ(LockedHalves(1), left);
    EXPECT_TRUE(RouteIsPending(sim, 0, 1));
  }
  Steps(sim, 1);
  EXPECT_FALSE(RouteIsPending(sim, 0, 1) || RouteIsSet(sim, 0, 1));
  EXPECT_FALSE(Lamp(9).YELLOW_BLINK || Lamp(7).YELLOW);
}

TEST_F(RouteTest, SwitchIsThrownWhenTheHalfHoldingItIsLockedAndCountsOnceForTheSignal) {
  const int entry = Signal(3, kOdd);
  ASSERT_TRUE(OrderRoute(sim, 0, 1));  // switch 1 stands at the odd end of section 4
  Steps(sim, 2);
  EXPECT_EQ(sim.State.Switches[1], 0);
  Steps(sim, 1);
  EXPECT_EQ(std::tie(sim.State.Sects[4].ROUTE_ODD, sim.State.Switches[1]), std::tuple(1, 1));
  EXPECT_EQ(Light(entry).SIDE_SWITCHES, 1);
  Steps(sim, 2);
  ASSERT_TRUE(RouteIsSet(sim, 0, 1));
  EXPECT_EQ(std::tie(Light(entry).SIDE_SWITCHES, Light(entry).SECT_NEXT), std::tuple(1, 6));
  // Only the entry half of the first section and the end half of the last are locked.
  EXPECT_TRUE(sim.State.Sects[3].ROUTE_EVEN == -1 && sim.State.Sects[6].ROUTE_ODD == -1);

  ASSERT_EQ(ReleaseRoute(1), 5);
  EXPECT_EQ(sim.State.Switches[1], 1);  // a release leaves the switch where it is
  ASSERT_EQ(SetRoute(0), 5);
  EXPECT_TRUE(sim.State.Switches[1] == 0 && Light(entry).SIDE_SWITCHES == 0);
}

TEST_F(RouteTest, SwitchMissingFromTheRouteIsReportedAndItsHalfLockedAnyway) {
  Route(0).SwitchNumber[0] = 0;
  EXPECT_EQ(SetRoute(0), 5);
  EXPECT_EQ(console.notes, std::vector<std::string>{"Стрелка 1 не в маршруте 0"});
  EXPECT_EQ(sim.State.Sects[4].ROUTE_ODD, 0);
}

TEST_F(RouteTest, ConflictingRouteKeepsFlashingAndNeverLocks) {
  ASSERT_EQ(SetRoute(0), 5);
  ASSERT_TRUE(OrderRoute(sim, 0, 1));
  for (int i = 0; i < 20; ++i) {
    Steps(sim, 1);
    EXPECT_TRUE(LockedHalves(1) == 0 && Lamp(9).YELLOW_BLINK) << i;  // switch 1 minus
  }
  EXPECT_TRUE(RouteIsSet(sim, 0, 0) && sim.State.Switches[1] == 0);
  // A half locked by the same route number of another LP conflicts too.
  Restart();
  sim.State.Sects[4].ROUTE_EVEN = 0;
  sim.State.Sects[4].LP_EVEN = 1;
  ASSERT_TRUE(OrderRoute(sim, 0, 0));
  Steps(sim, 10);
  EXPECT_EQ(LockedHalves(0), 0);
}

TEST_F(RouteTest, OpposingEntryToTheSameTrackWaitsUntilTheFirstIsReleased) {
  // Without the even exit on track I the opposing-signal check has nothing to see: only the
  // route of the same LP ending there holds the entry.
  sim.AreaData.SlSects[5].Semaphore[kEven] = -1;
  ASSERT_EQ(SetRoute(0), 5);           // from the left onto track I
  ASSERT_TRUE(OrderRoute(sim, 0, 4));  // from the right onto track I
  Steps(sim, 20);
  EXPECT_EQ(LockedHalves(4), 0);
  EXPECT_TRUE(Lamp(11).YELLOW_BLINK && Light(Signal(8, kEven)).CLOSED);  // switch 2 plus
  ASSERT_TRUE(CancelRoute(sim, 0, 0));
  // The release goes first (5 steps), then the waiting entry is assembled (5 steps).
  EXPECT_EQ(StepsUntil([&] { return RouteIsSet(sim, 0, 4); }), 10);
  EXPECT_FALSE(Light(Signal(8, kEven)).CLOSED);
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

TEST_F(RouteTest, TrainOnTheRouteHoldsItsAssemblyButOnItsFirstSectionOnlyItsRelease) {
  Occupy(3);  // a train waiting at the entry signal
  EXPECT_EQ(SetRoute(0), 5);
  ASSERT_TRUE(CancelRoute(sim, 0, 0));
  Steps(sim, 10);
  EXPECT_EQ(LockedHalves(0), 4);
  Vacate(3);
  Steps(sim, 5);
  EXPECT_EQ(LockedHalves(0), 0);
  Occupy(5);
  ASSERT_TRUE(OrderRoute(sim, 0, 0));
  Steps(sim, 10);
  EXPECT_EQ(LockedHalves(0), 0);
}

TEST_F(RouteTest, OpposingSignalCheck) {
  // Route 6 ends at the even block signal g on section 3, in peregon 1. Signal j, a route of
  // the opposite direction (set by hand), blocks it when it leads to g's section, stands in
  // g's peregon or leads to a signal of g's peregon.
  // what j is, its section and direction, the section and direction its route leads to
  const std::tuple<const char*, int, int, int, int, bool> cases[] = {
      {"peregon-end signal of the same peregon", 3, kOdd, 5, kOdd, true},
      {"leads to g's section", 6, kOdd, 3, kOdd, true},
      {"leads to a block signal of the same peregon", 6, kOdd, 2, kOdd, true},
      {"same direction as g", 6, kOdd, 3, kEven, false},
      {"leads into the other peregon", 6, kOdd, 8, kOdd, false},
      {"block signals are no routes", 1, kOdd, 2, kOdd, false},
      {"no route", 3, kOdd, 0, kOdd, false},
  };
  const int g = Signal(3, kEven);
  for (const auto& [name, jSection, jDir, sectNext, dirNext, blocks] : cases) {
    SCOPED_TRACE(name);
    Restart();
    Light(Signal(jSection, jDir)).SECT_NEXT = sectNext;
    Light(Signal(jSection, jDir)).DIR_NEXT = static_cast<std::uint8_t>(dirNext);
    EXPECT_EQ(OpposingRouteSet(sim, g), blocks);
    ASSERT_TRUE(OrderRoute(sim, 0, 6));
    Steps(sim, 1);
    EXPECT_EQ(LockedHalves(6), blocks ? 0 : 1);
  }
  EXPECT_FALSE(OpposingRouteSet(sim, -1));
  EXPECT_FALSE(OpposingRouteSet(sim, 1000));
}

TEST_F(RouteTest, RouteEndingWithoutASignalLinksToTheSignalAhead) {
  Route(2).Sections[2] = 0;  // 5,7: ends short of the block signal on 8
  Route(2).LastSection = 7;
  EXPECT_EQ(SetRoute(2), 3);
  EXPECT_EQ(Light(Signal(5, kOdd)).SECT_NEXT, 8);
}

TEST_F(RouteTest, SingleSectionRouteNeedsNoHalfAndIsSetAndReleasedInOneStep) {
  TTrainRouteData& rt = Route(0);
  rt.Sections[1] = rt.Sections[2] = 0;
  rt.FirstSection = rt.LastSection = 3;
  EXPECT_EQ(SetRoute(0), 1);
  EXPECT_EQ(LockedHalves(), 0);
  EXPECT_EQ(ReleaseRoute(0), 1);
}

TEST_F(RouteTest, SectionOrderErrorIsThrownOutOfTheStep) {
  Route(6).LastSection = 4;  // the list runs on to 3
  ASSERT_TRUE(OrderRoute(sim, 0, 6));
  EXPECT_THAT([&] { sim.SimulationStep(kStepLength); },
              ::testing::ThrowsMessage<std::runtime_error>("Неверный порядок секций маршрута 0-6"));
}

TEST_F(RouteTest, RouteAtSectionFindsTheRouteByItsEnds) {
  ASSERT_EQ(SetRoute(0), 5);
  // LP code, section, direction, at the start, the answer
  for (const auto [code, s, d, atStart, route] :
       {std::array{1, 3, kOdd, 1, 0}, std::array{1, 5, kOdd, 0, 0},
        std::array{1, 4, kOdd, 1, -1},   // locked, but not the first section
        std::array{1, 5, kEven, 1, -1},  // the last section, not the first
        std::array{9, 3, kOdd, 1, -1}})  // unknown LP code
    EXPECT_EQ(RouteAtSection(sim, code, s, d, atStart != 0), route) << s;
}

TEST_F(RouteTest, RouteLampsFlashWhilePendingBurnWhileSetAndGoOutOnRelease) {
  const int shown[] = {7, 8, 13, 14};  // switch 1 and its plus lamp, track I
  ASSERT_TRUE(OrderRoute(sim, 0, 0));
  Steps(sim, 1);
  for (int lamp : shown) EXPECT_TRUE(Lamp(lamp).YELLOW_BLINK && !Lamp(lamp).YELLOW) << lamp;
  EXPECT_FALSE(Lamp(4).YELLOW_BLINK || Lamp(9).YELLOW_BLINK);  // first section, switch minus
  Steps(sim, 4);
  for (int lamp : shown) EXPECT_TRUE(!Lamp(lamp).YELLOW_BLINK && Lamp(lamp).YELLOW) << lamp;
  ASSERT_EQ(ReleaseRoute(0), 5);
  for (int lamp : shown) EXPECT_FALSE(Lamp(lamp).YELLOW_BLINK || Lamp(lamp).YELLOW) << lamp;
  // A route ending at the throat does not show its last section (block lamp 5 of section 8).
  ASSERT_EQ(SetRoute(2), 5);
  EXPECT_TRUE(Lamp(11).YELLOW && !Lamp(5).YELLOW);
}

TEST_F(RouteTest, SectionLampSetFollowsTheFirstRuleThatApplies) {
  sim.AreaData.Sekzs[9] = 1;                     // an own lamp comes before the block lamp
  sim.AreaData.Puts[0].Tracks[1].LampCount = 7;  // track 2 of seven lamps shows on five
  // own lamp, switch 1 plus, track I, track 2 on its first five, block lamps, nothing
  const std::pair<int, std::array<int, 5>> rows[] = {{9, {1, 0, 0, 0, 0}},
                                                     {4, {7, 0, 8, 0, 0}},
                                                     {5, {13, 14, 0, 0, 0}},
                                                     {6, {15, 16, 17, 18, 19}},
                                                     {1, {2, 0, 0, 0, 0}},
                                                     {3, {4, 0, 0, 0, 0}},
                                                     {8, {5, 0, 0, 0, 0}},
                                                     {0, {}},
                                                     {99, {}}};
  for (const auto& [s, lamps] : rows) {
    EXPECT_EQ(SectionLampSet(sim, s).Lamps, lamps) << s;
    EXPECT_EQ(SectionLampSet(sim, s).OnTrack, s == 5 || s == 6) << s;
  }
  sim.State.Switches[1] = 1;
  EXPECT_EQ(SectionLampSet(sim, 4).Lamps, (std::array<int, 5>{7, 0, 9, 0, 0}));
}

TEST_F(RouteTest, OccupancyQueriesReportInconsistentOccupancy) {
  sim.State.Trains.resize(2);
  // train on the even half, on the odd half, the answer
  for (const auto [even, odd, answer] :
       {std::array{-1, -1, -1}, std::array{1, -1, 1}, std::array{-1, 0, 0}, std::array{1, 1, 1},
        std::array{0, 1, 0}, std::array{-1, 5, 5}}) {
    sim.State.Sects[4].TRN_EVEN = even;
    sim.State.Sects[4].TRN_ODD = odd;
    EXPECT_EQ(OccupyingTrain(sim, 4), answer) << even << odd;
  }
  EXPECT_EQ(OccupyingTrain(sim, 0) + OccupyingTrain(sim, 1000), -2);
  EXPECT_EQ(OccupyingTrainDir(sim, 4, kEven) + OccupyingTrainDir(sim, 0, kOdd), -2);
  EXPECT_EQ(OccupyingTrainDir(sim, 4, kOdd), 5);
  EXPECT_EQ(console.notes, (std::vector<std::string>{
                               "Секция 04h занята двумя поездами сразу, 0 и 1",
                               "Секция 04h занята несуществующим поездом, номер в списке был 5",
                               "Секция 04h занята несуществующим поездом № 5"}));
}

TEST_F(RouteTest, DepartureCommitLightsItsLampAndExpiresAfterThreeMinutes) {
  sim.AreaData.GraphFragms[0].DepartCommitLamp[0] = 2;  // the district has none: borrow
  sim.AreaData.GraphFragms[0].DepartCommitLamp[1] = 3;  // two block lamps
  ToggleDepartCommit(sim, 0, kOdd);
  EXPECT_DOUBLE_EQ(sim.State.DepartCommits[0].ODD, sim.State.ClockTime);
  EXPECT_TRUE(Lamp(3).YELLOW && !Lamp(2).YELLOW);
  Steps(sim, 359);
  EXPECT_TRUE(Lamp(3).YELLOW);
  Steps(sim, 2);
  EXPECT_FALSE(sim.State.DepartCommits[0].ODD != 0 || Lamp(3).YELLOW);

  EXPECT_FALSE(ConsumeDepartCommit(sim, 0, kEven));
  ToggleDepartCommit(sim, 0, kEven);
  EXPECT_TRUE(Lamp(2).YELLOW);
  EXPECT_TRUE(ConsumeDepartCommit(sim, 0, kEven) && !Lamp(2).YELLOW);
  EXPECT_FALSE(ConsumeDepartCommit(sim, 0, kEven));  // consumed once
  ToggleDepartCommit(sim, 0, kEven);
  ToggleDepartCommit(sim, 0, kEven);  // toggled off again
  EXPECT_FALSE(sim.State.DepartCommits[0].EVEN != 0 || Lamp(2).YELLOW);
  ToggleDepartCommit(sim, 7, kEven);  // no such LP: nothing happens
  EXPECT_FALSE(ConsumeDepartCommit(sim, -1, kOdd));
}

}  // namespace
}  // namespace traklin::fixtures
