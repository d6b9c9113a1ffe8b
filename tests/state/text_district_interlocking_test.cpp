// The whole chain on districts read from text: reader, start-up set-up, StateInit, then routes
// ordered through the route operations, assembled and released by the simulation step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "area/area_queries.h"
#include "text_district_fixture.h"

namespace traklin::fixtures {
namespace {

using text_districts::ControlledStation;
using text_districts::DutyStationWithFlip;
using text_districts::StationsFacingOverOnePeregon;

/// The signal at the start of a route: on its first section, for the direction of its first
/// half.
int StartSignal(const TAreaData& area, const TTrainRouteData& rt) {
  const int e = RouteDirection(rt) ^ (rt.Flags[0] & 1);
  return area.SlSects[rt.FirstSection].Semaphore[e];
}

int LockedHalves(const Simulation& sim) {
  int n = 0;
  for (const TSectionSchuntData& x : sim.State.Sects)
    n += (x.ROUTE_EVEN != -1) + (x.ROUTE_ODD != -1);
  return n;
}

// ---------------------------------------------------------------------------
// Controlled station: every file route in turn

struct FileRouteCase {
  int route;
  int startLamp;     ///< lamp of the signal that opens
  int sw;            ///< the switch the route throws
  int position;      ///< 0 plus, 1 minus
  bool nextWarning;  ///< the next signal shows stop (an exit), not a free block signal
};

class ControlledStationTest : public TextDistrictTest,
                              public ::testing::WithParamInterface<FileRouteCase> {
 protected:
  void SetUp() override { Start(ControlledStation()); }
};

TEST_P(ControlledStationTest, RouteSetsOpensItsSignalAndReleasesWithoutComplaint) {
  const FileRouteCase c = GetParam();
  const TTrainRouteData& rt = Route(0, c.route);
  const int k = HalvesNeeded(0, c.route);
  const int g = StartSignal(sim.AreaData, rt);
  ASSERT_GE(g, 0);
  ASSERT_EQ(sim.AreaData.Semaphores[g].Lamp, c.startLamp);

  ASSERT_TRUE(OrderRoute(sim, 0, c.route));
  EXPECT_EQ(StepsUntil([&] { return RouteIsSet(sim, 0, c.route); }), k + 1);
  EXPECT_EQ(LockedHalves(sim), k);
  EXPECT_EQ(sim.State.Switches[c.sw], c.position);
  EXPECT_FALSE(Light(g).CLOSED);
  EXPECT_TRUE(sim.State.Lamps[c.startLamp].GREEN);
  // A minus switch shows as a side warning.
  EXPECT_EQ(Light(g).NEXT_WARNING, c.nextWarning);
  EXPECT_EQ(Light(g).SIDE_WARNING, c.position == 1);

  ASSERT_TRUE(CancelRoute(sim, 0, c.route));
  EXPECT_EQ(StepsUntil([&] { return !RouteIsPending(sim, 0, c.route); }), k + 1);
  EXPECT_FALSE(RouteIsSet(sim, 0, c.route));
  EXPECT_EQ(LockedHalves(sim), 0);
  Steps(sim, 1);
  EXPECT_TRUE(Light(g).CLOSED);
  EXPECT_FALSE(sim.State.Lamps[c.startLamp].GREEN);
  EXPECT_FALSE(sim.State.Lamps[c.startLamp].YELLOW_BLINK);

  EXPECT_EQ(InconsistencyNotes(), std::vector<std::string>{});
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    EveryFileRoute, ControlledStationTest,
    ::testing::Values(FileRouteCase{0, 16, 1, 0, true}, FileRouteCase{1, 16, 1, 1, true},
                      FileRouteCase{2, 18, 2, 0, false}, FileRouteCase{3, 19, 2, 1, false},
                      FileRouteCase{4, 17, 2, 0, true}, FileRouteCase{5, 17, 2, 1, true},
                      FileRouteCase{6, 20, 1, 0, false}, FileRouteCase{7, 21, 1, 1, false}));

TEST_F(TextDistrictTest, ControlledStationRoutesOneAfterAnotherLeaveNothingBehind) {
  Start(ControlledStation());
  for (int r = 0; r < RouteCount(0); ++r) {
    ASSERT_TRUE(OrderRoute(sim, 0, r)) << r;
    ASSERT_GT(StepsUntil([&] { return RouteIsSet(sim, 0, r); }), 0) << r;
    ASSERT_TRUE(CancelRoute(sim, 0, r)) << r;
    ASSERT_GT(StepsUntil([&] { return !RouteIsPending(sim, 0, r); }), 0) << r;
  }
  Steps(sim, 1);
  EXPECT_EQ(LockedHalves(sim), 0);
  for (int i = 0; i < static_cast<int>(sim.AreaData.Semaphores.size()); ++i) {
    const TSemaphoreData& s = sim.AreaData.Semaphores[i];
    if (s.Kind == 2) continue;
    EXPECT_TRUE(Light(i).CLOSED) << i;
    EXPECT_EQ(Light(i).SECT_NEXT, 0) << i;
    EXPECT_FALSE(sim.State.Lamps[s.Lamp].GREEN) << i;
  }
  for (const TLampControlData& l : sim.State.Lamps) {
    EXPECT_FALSE(l.YELLOW);
    EXPECT_FALSE(l.YELLOW_BLINK);
  }
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

TEST_F(TextDistrictTest, OpposingEntryToTheSameTrackWaitsUntilTheFirstIsReleased) {
  Start(ControlledStation());
  ASSERT_TRUE(OrderRoute(sim, 0, 0));  // from the left onto track I
  ASSERT_EQ(StepsUntil([&] { return RouteIsSet(sim, 0, 0); }), 5);
  ASSERT_TRUE(OrderRoute(sim, 0, 4));  // from the right onto track I
  Steps(sim, 20);
  EXPECT_TRUE(RouteIsPending(sim, 0, 4));
  EXPECT_TRUE(sim.State.Lamps[11].YELLOW_BLINK);  // switch 2 plus lamp flashes
  EXPECT_TRUE(Light(Signal(8, kEven)).CLOSED);

  ASSERT_TRUE(CancelRoute(sim, 0, 0));
  // The release goes first (5 steps), then the waiting entry is assembled (5 steps).
  EXPECT_EQ(StepsUntil([&] { return RouteIsSet(sim, 0, 4); }), 10);
  EXPECT_FALSE(RouteIsPending(sim, 0, 0));
  EXPECT_FALSE(Light(Signal(8, kEven)).CLOSED);
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

TEST_F(TextDistrictTest, BlockSignalsOpenWithFreeBlocksAndCloseBehindATrain) {
  Start(ControlledStation());
  Steps(sim, 1);
  std::vector<int> blocks;
  for (int i = 0; i < static_cast<int>(sim.AreaData.Semaphores.size()); ++i)
    if (sim.AreaData.Semaphores[i].Kind == 2) blocks.push_back(i);
  ASSERT_EQ(blocks.size(), 6u);
  for (int i : blocks) {
    EXPECT_GT(Light(i).SECT_NEXT, 0) << i;
    EXPECT_FALSE(Light(i).CLOSED) << i;
  }

  // A train on section 2 of peregon 1: the odd signal on 1 and the even signal on 3, which
  // both lead into it, close; the others stay open.
  Occupy(2);
  Steps(sim, 1);
  EXPECT_TRUE(Light(Signal(1, kOdd)).CLOSED);
  EXPECT_TRUE(Light(Signal(3, kEven)).CLOSED);
  EXPECT_FALSE(Light(Signal(8, kOdd)).CLOSED);
  EXPECT_FALSE(Light(Signal(9, kEven)).CLOSED);
  Vacate(2);
  Steps(sim, 1);
  EXPECT_FALSE(Light(Signal(1, kOdd)).CLOSED);
  EXPECT_FALSE(Light(Signal(3, kEven)).CLOSED);
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

// ---------------------------------------------------------------------------
// Station with a duty officer: generated routes ordered as chains

TEST_F(TextDistrictTest, EveryChainOfTheDutyStationCanBeOrderedAndIsSet) {
  Start(DutyStationWithFlip());
  const std::vector<TChainData>& chains = sim.AreaData.TrainRoutes[0].Chains;
  ASSERT_EQ(chains.size(), 8u);
  for (int c = 0; c < static_cast<int>(chains.size()); ++c) {
    SCOPED_TRACE("chain " + std::to_string(c));
    const int r = chains[c].Routes[0];
    const int k = HalvesNeeded(0, r);
    OrderChain(sim, 0, c);
    EXPECT_TRUE(ChainIsPending(sim, 0, c));
    EXPECT_EQ(StepsUntil([&] { return ChainIsSet(sim, 0, c); }), k + 1);
    const int g = StartSignal(sim.AreaData, Route(0, r));
    ASSERT_GE(g, 0);
    EXPECT_FALSE(Light(g).CLOSED);
    EXPECT_TRUE(sim.State.Lamps[sim.AreaData.Semaphores[g].Lamp].GREEN);

    ASSERT_TRUE(CancelRoute(sim, 0, r));
    EXPECT_EQ(StepsUntil([&] { return !RouteIsPending(sim, 0, r); }), k + 1);
    Steps(sim, 1);
    EXPECT_TRUE(Light(g).CLOSED);
    EXPECT_EQ(LockedHalves(sim), 0);
  }
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

TEST_F(TextDistrictTest, EntryOverTheFlipLocksThePeregonHalfThatADepartureNeeds) {
  Start(DutyStationWithFlip());
  // Route 2: from the odd throat (7, 6, 5) onto track 2; route 5: track I (4, 6, 7) out.
  ASSERT_TRUE(OrderRoute(sim, 0, 2));
  ASSERT_EQ(StepsUntil([&] { return RouteIsSet(sim, 0, 2); }), 5);
  EXPECT_EQ(sim.State.Sects[7].ROUTE_ODD, 2);
  EXPECT_EQ(sim.State.Sects[7].ROUTE_EVEN, -1);
  EXPECT_EQ(sim.State.Switches[2], 1);
  const int entry = Signal(7, kOdd);
  EXPECT_EQ(Light(entry).SECT_NEXT, 5);
  EXPECT_EQ(Light(entry).DIR_NEXT, kEven);
  EXPECT_TRUE(Light(entry).SIDE_WARNING);

  ASSERT_TRUE(OrderRoute(sim, 0, 5));
  Steps(sim, 20);
  EXPECT_TRUE(RouteIsPending(sim, 0, 5));
  EXPECT_TRUE(Light(Signal(4, kOdd)).CLOSED);
  EXPECT_EQ(sim.State.Switches[2], 1);  // the waiting route never throws it back
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

// ---------------------------------------------------------------------------
// Two stations on one peregon

TEST_F(TextDistrictTest, DeparturesOntoTheFirstPeregonFromBothEndsExcludeEachOther) {
  Start(StationsFacingOverOnePeregon());
  ASSERT_TRUE(OrderRoute(sim, 0, 0));  // Ам sends a train towards Бор
  ASSERT_EQ(StepsUntil([&] { return RouteIsSet(sim, 0, 0); }), 3);
  EXPECT_FALSE(Light(Signal(1, kOdd)).CLOSED);

  ASSERT_TRUE(OrderRoute(sim, 1, 0));  // Бор towards Ам on the same peregon
  Steps(sim, 20);
  EXPECT_TRUE(RouteIsPending(sim, 1, 0));
  EXPECT_TRUE(Light(Signal(4, kEven)).CLOSED);

  // Once Ам has given up its departure, Бор's goes ahead.
  ASSERT_TRUE(CancelRoute(sim, 0, 0));
  EXPECT_GT(StepsUntil([&] { return RouteIsSet(sim, 1, 0); }), 0);
  EXPECT_FALSE(Light(Signal(4, kEven)).CLOSED);
  EXPECT_TRUE(Light(Signal(1, kOdd)).CLOSED);
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

}  // namespace
}  // namespace traklin::fixtures
