// Signal aspects and signal lamps on the districts of text_districts.h: station signals under
// routes, block signals under occupancy, shared and second lamps; and the chains of a duty
// officer's station across a parity flip.
#include "interlocking_fixture.h"

namespace traklin::fixtures {
namespace {

using SignalTest = InterlockingTest;

TEST_F(SignalTest, SignalStaysClosedWhileTheNextSignalsSectionOrTheOneBeyondIsOccupied) {
  const int entry = Signal(3, kOdd);  // route 0 leads it to the exit on section 5
  ASSERT_EQ(SetRoute(0), 5);
  for (int occupied : {5, 4}) {
    SCOPED_TRACE(occupied);
    Occupy(occupied);
    Steps(sim, 1);
    EXPECT_TRUE(Light(entry).CLOSED && !Lamp(16).GREEN);
    Vacate(occupied);
    Steps(sim, 1);
    EXPECT_TRUE(!Light(entry).CLOSED && Lamp(16).GREEN);
  }
}

TEST_F(SignalTest, StationSignalBeforeALongSingleBlockPeregonAnnouncesNoStop) {
  const int exit = Signal(5, kEven);
  for (bool spare : {false, true}) {
    Restart();
    sim.AreaData.SlSects[3].Spare = spare;
    ASSERT_EQ(SetRoute(6), 5);  // from track I to the block signal on 3,
    Occupy(2);                  // which closes
    Steps(sim, 1);
    EXPECT_FALSE(Light(exit).CLOSED);
    EXPECT_EQ(Light(exit).NEXT_WARNING, !spare);
  }
}

TEST_F(SignalTest, RouteTowardsANumberedThroatLightsTheSecondLampIfThereIsOne) {
  // Exit 18 (route 2) leads to the throat entered at section 8; exit 21, the last lamp of
  // the table (route 7), to the throat entered at section 3.
  // route, throat number, the lamp lit, the lamp left dark
  for (const auto [route, number, lit, dark] :
       {std::array{2, 1, 19, 18}, std::array{2, 0, 18, 19}, std::array{7, 1, 21, 0}}) {
    SCOPED_TRACE(route * 10 + number);
    sim.AreaData.GorlStanzs.resize(2);
    sim.AreaData.GorlStanzs[0] = TGorlStanzData{1, kEven, number, 0, 0, 0, 0, 3, 0};
    sim.AreaData.GorlStanzs[1] = TGorlStanzData{1, kOdd, number, 0, 0, 0, 0, 8, 0};
    Restart();
    ASSERT_EQ(SetRoute(route), 5);
    EXPECT_TRUE(Lamp(lit).GREEN && !Lamp(dark).GREEN);
    ASSERT_EQ(ReleaseRoute(route), 5);
    EXPECT_FALSE(Lamp(lit).GREEN);
  }
}

TEST_F(SignalTest, SignalOnASwitchSectionIsReportedWhenItWouldOpen) {
  const int entry = Signal(3, kOdd);
  sim.AreaData.Semaphores[entry].Section = 4;  // moved onto the end of switch 1
  Light(entry).SECT_NEXT = 5;
  Steps(sim, 1);
  EXPECT_EQ(console.notes, std::vector<std::string>{"Светофор на секции со стрелкой 04h"});
  EXPECT_FALSE(Light(entry).CLOSED);
}

TEST_F(SignalTest, BlockSignalsFollowOccupancyWithoutAnyRouteAndShareALamp) {
  const int odd1 = Signal(1, kOdd), odd2 = Signal(2, kOdd), even3 = Signal(3, kEven);
  // The block signals have no lamps here: the first two odd ones share block lamp 2.
  sim.AreaData.Semaphores[odd1].Lamp = sim.AreaData.Semaphores[odd2].Lamp = 2;
  Steps(sim, 1);  // free blocks: open, and no stop announced
  EXPECT_FALSE(Light(odd1).CLOSED || Light(odd2).CLOSED || Light(even3).CLOSED);
  EXPECT_TRUE(Lamp(2).GREEN && !Light(odd1).NEXT_WARNING);
  // A train on 3 closes the odd signal on 2, and the one before announces the stop; the
  // lamp they share stays lit while the first is open.
  Occupy(3);
  Steps(sim, 1);
  EXPECT_TRUE(Light(odd2).CLOSED && Light(odd1).NEXT_WARNING && Lamp(2).GREEN);
  // A train on 2 closes the two signals leading into it, and the shared lamp goes dark.
  Occupy(2);
  Steps(sim, 1);
  EXPECT_TRUE(Light(odd1).CLOSED && Light(even3).CLOSED);
  EXPECT_FALSE(Lamp(2).GREEN || Light(Signal(2, kEven)).CLOSED);
  Vacate(2);
  Vacate(3);
  Steps(sim, 1);
  EXPECT_FALSE(Light(odd1).CLOSED || Light(even3).CLOSED || Light(odd2).CLOSED);
  EXPECT_TRUE(Lamp(2).GREEN);
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

TEST_F(SignalTest, EveryChainOfTheDutyStationIsSetOpensItsSignalAndIsReleased) {
  Start(text_districts::DutyStationWithFlip());
  const std::vector<TChainData>& chains = sim.AreaData.TrainRoutes[0].Chains;
  ASSERT_EQ(chains.size(), 8u);
  for (int c = 0; c < 8; ++c) {
    SCOPED_TRACE(c);
    const int r = chains[c].Routes[0];
    const int g = StartSignal(r);
    ASSERT_GE(g, 0);
    OrderChain(sim, 0, c);
    EXPECT_TRUE(ChainIsPending(sim, 0, c));
    EXPECT_EQ(StepsUntil([&] { return ChainIsSet(sim, 0, c); }), 5);
    EXPECT_TRUE(!Light(g).CLOSED && Lamp(sim.AreaData.Semaphores[g].Lamp).GREEN);
    EXPECT_EQ(ReleaseRoute(r), 5);
    EXPECT_TRUE(Light(g).CLOSED && LockedHalves() == 0);
  }
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

TEST_F(SignalTest, EntryOverTheFlipLocksThePeregonHalfThatADepartureNeeds) {
  Start(text_districts::DutyStationWithFlip());
  // Route 2: from the odd throat (7, 6, 5) onto track 2; route 5: track I (4, 6, 7) out.
  ASSERT_EQ(SetRoute(2), 5);
  const TSectionSchuntData& x = sim.State.Sects[7];
  EXPECT_EQ(std::tie(x.ROUTE_ODD, x.ROUTE_EVEN, sim.State.Switches[2]), std::tuple(2, -1, 1));
  const TSemaphoreLightData& entry = Light(Signal(7, kOdd));
  EXPECT_EQ(std::tuple(entry.SECT_NEXT, entry.DIR_NEXT, entry.SIDE_WARNING),
            std::tuple(5, kEven, true));

  ASSERT_TRUE(OrderRoute(sim, 0, 5));
  Steps(sim, 20);
  EXPECT_TRUE(RouteIsPending(sim, 0, 5) && Light(Signal(4, kOdd)).CLOSED);
  EXPECT_EQ(sim.State.Switches[2], 1);  // the waiting route never throws it back
  EXPECT_EQ(console.notes, std::vector<std::string>{});
}

}  // namespace
}  // namespace traklin::fixtures
