// Lookups by code and number, the timetable stop searches and the route searches.
#include <gtest/gtest.h>

#include <array>

#include "area/area_queries.h"
#include "query_districts.h"

namespace traklin {
namespace {

using test::AddLP;
using test::Chain;
using test::MakeArea;
using test::Route;
using test::Track;

TEST(Lookups, FindLPIndexSearchesFromTheLast) {
  TAreaData area;
  AddLP(area, 10);
  AddLP(area, 20);
  AddLP(area, 10);
  EXPECT_EQ(FindLPIndex(area, 10), 2);
  EXPECT_EQ(FindLPIndex(area, 20), 1);
  EXPECT_EQ(FindLPIndex(area, 30), -1);
}

TEST(Lookups, FindStationIndexSearchesFromTheLast) {
  TAreaData area;
  area.Stanzs.resize(3);
  area.Stanzs[0].Code = 5;
  area.Stanzs[1].Code = 6;
  area.Stanzs[2].Code = 5;
  EXPECT_EQ(FindStationIndex(area, 5), 2);
  EXPECT_EQ(FindStationIndex(area, 6), 1);
  EXPECT_EQ(FindStationIndex(area, 7), -1);
}

TEST(Lookups, StationCoordinateZeroOutsideStations) {
  TAreaData area;
  area.StationCount = 2;
  area.GraphFragms.resize(1);
  area.GraphFragms[0].Coordinate = 1234;
  EXPECT_EQ(StationCoordinate(area, 0), 1234);
  EXPECT_EQ(StationCoordinate(area, 1), 0);  // no fragment record
  EXPECT_EQ(StationCoordinate(area, 2), 0);
  EXPECT_EQ(StationCoordinate(area, -1), 0);
}

TEST(Lookups, FindCreationPlanTakesTheLast) {
  TAreaData area;
  area.CreationPlans.resize(3);
  area.CreationPlans[0].Number = 2001;
  area.CreationPlans[1].Number = 2002;
  area.CreationPlans[2].Number = 2001;
  EXPECT_EQ(FindCreationPlan(area, 2001), 2);
  EXPECT_EQ(FindCreationPlan(area, 2002), 1);
  EXPECT_EQ(FindCreationPlan(area, 1), -1);
}

TGraphTrainData Train(std::array<int, 4> numbers, int lastLP, TStopsData stops) {
  TGraphTrainData t;
  for (int i = 0; i < 4; ++i) t.Numbers[i] = numbers[i];
  t.LastLP = lastLP;
  t.Stops = std::move(stops);
  return t;
}

TStopData LPStop(int code, int loco = 0) {
  return TStopData{0, code, 0, 1000, loco};
}
TStopData SectionStop(int section) {
  return TStopData{section, 0, 0, 1000, 0};
}

TEST(Timetable, ListByParityAndKind) {
  TAreaData area;
  area.PassTrains[1].push_back(Train({1, 0, 0, 0}, 0, {}));
  area.GruzTrains[0].resize(2);
  EXPECT_EQ(GetScheduleTrains(area, 1, false).size(), 1u);
  EXPECT_EQ(GetScheduleTrains(area, 0, true).size(), 2u);
  EXPECT_EQ(&GetScheduleTrains(area, 0, false), &area.PassTrains[0]);
  EXPECT_EQ(&GetScheduleTrains(area, 1, true), &area.GruzTrains[1]);
}

TEST(Timetable, FindScheduleTrainAnyOfFourNumbersLastWins) {
  const TGraphTrainsData trains = {Train({101, 103, 0, 0}, 0, {}), Train({105, 0, 0, 0}, 0, {}),
                                   Train({107, 109, 111, 103}, 0, {})};
  EXPECT_EQ(FindScheduleTrain(trains, 101), 0);
  EXPECT_EQ(FindScheduleTrain(trains, 103), 2);
  EXPECT_EQ(FindScheduleTrain(trains, 111), 2);
  EXPECT_EQ(FindScheduleTrain(trains, 999), -1);
  // Unused number slots are 0; 0 is no train number.
  EXPECT_EQ(FindScheduleTrain(trains, 0), -1);
}

TEST(Timetable, ScheduleTrainEnds) {
  TAreaData area;
  area.PassTrains[1].push_back(Train({101, 0, 0, 0}, 30, {LPStop(10, 7), LPStop(30)}));
  area.PassTrains[1].push_back(Train({103, 0, 0, 0}, 30, {}));
  area.GruzTrains[0].push_back(Train({2002, 0, 0, 0}, 10, {SectionStop(4), LPStop(10)}));
  area.GruzTrains[1].push_back(Train({2003, 0, 0, 0}, 40, {LPStop(20, 9), LPStop(40)}));

  const ScheduleTrainEnds pass = GetScheduleTrainEnds(area, false, 101);
  EXPECT_EQ(pass.LocoType, 7);
  EXPECT_EQ(pass.FirstLPCode, 10);
  EXPECT_EQ(pass.LastLPCode, 30);

  const ScheduleTrainEnds freight = GetScheduleTrainEnds(area, true, 2003);
  EXPECT_EQ(freight.LocoType, 9);
  EXPECT_EQ(freight.FirstLPCode, 20);
  EXPECT_EQ(freight.LastLPCode, 40);

  for (const ScheduleTrainEnds& none :
       {GetScheduleTrainEnds(area, false, 103), GetScheduleTrainEnds(area, true, 2002),
        GetScheduleTrainEnds(area, false, 2003), GetScheduleTrainEnds(area, true, 5)}) {
    EXPECT_EQ(none.LocoType, 0);
    EXPECT_EQ(none.FirstLPCode, 0);
    EXPECT_EQ(none.LastLPCode, 0);
  }
}

// Stops: 0 LP 10, 1 section 5, 2 LP 20, 3 section 6, 4 LP 30.
TGraphTrainsData StopTrains() {
  return {Train({1, 0, 0, 0}, 30,
                {LPStop(10), SectionStop(5), LPStop(20), SectionStop(6), LPStop(30)})};
}

struct StopCase {
  int key, start, stop;
};

TEST(FindTrainStopByLP, FromStartOrOnlyTheFirstLPStop) {
  const TGraphTrainsData trains = StopTrains();
  const StopCase cases[] = {
      {30, 0, 4},  // start 0 skips section stops and other LP stops
      {10, 0, 0}, {20, 0, 2},  {99, 0, -1},  {30, 2, -1},  // from 2 the first LP stop is 20
      {20, 2, 2}, {20, 1, 2},  {30, 3, 4},   {0, 1, 2},    // code 0: any LP stop
      {0, 0, 0},  {30, 5, -1}, {30, -1, -1},
  };
  for (const StopCase& c : cases) {
    EXPECT_EQ(FindTrainStopByLP(trains, 0, c.key, c.start), c.stop) << c.key << "@" << c.start;
  }
  EXPECT_EQ(FindTrainStopByLP(trains, 1, 30, 0), -1);
  EXPECT_EQ(FindTrainStopByLP(trains, -1, 30, 0), -1);
}

TEST(FindTrainStopBySection, FromStartOrOnlyTheFirstSectionStop) {
  const TGraphTrainsData trains = StopTrains();
  const StopCase cases[] = {
      {6, 0, 3}, {5, 0, 1},  {7, 0, -1}, {6, 1, -1}, {5, 1, 1},
      {6, 2, 3}, {7, 2, -1}, {5, 4, -1}, {6, 5, -1},
  };
  for (const StopCase& c : cases) {
    EXPECT_EQ(FindTrainStopBySection(trains, 0, c.key, c.start), c.stop) << c.key << "@" << c.start;
  }
  EXPECT_EQ(FindTrainStopBySection(trains, 3, 6, 0), -1);
}

// ---------------------------------------------------------------------------
// Switch entries and routes

TEST(RouteEntries, DecodedWithTheDistrictBase) {
  TAreaData area;
  area.SwitchCount = 25;
  area.SwitchPosBase = 100;
  struct Case {
    int entry, sw;
    bool minus;
  };
  for (const Case c : {Case{3, 3, false}, Case{13, 13, false}, Case{115, 15, true},
                       Case{203, 3, false}, Case{0, 0, false}}) {
    EXPECT_EQ(RouteEntrySwitch(area, c.entry), c.sw) << c.entry;
    EXPECT_EQ(RouteEntryIsMinus(area, c.entry), c.minus) << c.entry;
  }
  area.SwitchPosBase = 10;
  EXPECT_EQ(RouteEntrySwitch(area, 13), 3);
  EXPECT_TRUE(RouteEntryIsMinus(area, 13));
  EXPECT_EQ(RouteEntrySwitch(area, 3), 3);
  EXPECT_FALSE(RouteEntryIsMinus(area, 3));
  area.SwitchPosBase = 0;  // never divides by zero
  EXPECT_EQ(RouteEntrySwitch(area, 13), 0);
  EXPECT_FALSE(RouteEntryIsMinus(area, 13));
}

TEST(GetSwitchLamps, ALampsThenPositionLamps) {
  TAreaData area = MakeArea(2);
  test::AddSwitch(area, 1, 1, kOdd, 2);
  TStrelData& sw = area.Strels[1];
  sw.LampsA[0] = 1;
  sw.LampsA[1] = 2;
  sw.PlusLamps[0] = 3;
  sw.PlusLamps[1] = 4;
  sw.PlusLamps[2] = 5;
  sw.MinusLamps[0] = 6;
  sw.MinusLamps[1] = 7;
  sw.MinusLamps[2] = 8;
  std::array<int, 5> lamps{};
  GetSwitchLamps(area, 1, false, lamps);
  EXPECT_EQ(lamps, (std::array<int, 5>{1, 2, 3, 4, 5}));
  GetSwitchLamps(area, 1, true, lamps);
  EXPECT_EQ(lamps, (std::array<int, 5>{1, 2, 6, 7, 8}));
  for (int none : {0, 2, -1}) {
    lamps = {9, 9, 9, 9, 9};
    GetSwitchLamps(area, none, true, lamps);
    EXPECT_EQ(lamps, (std::array<int, 5>{9, 9, 9, 9, 9})) << none;
  }
}

TEST(Routes, DirectionByKinds) {
  EXPECT_EQ(RouteDirection(Route(1, 3, 0)), kOdd);
  EXPECT_EQ(RouteDirection(Route(3, 1, 0)), kEven);
  EXPECT_EQ(RouteDirection(Route(2, 2, 0)), kEven);
}

TEST(Routes, FindRouteTakesTheLastMatch) {
  TAreaData area;
  AddLP(area, 10);
  auto button = [](int sk, int sp, int ek, int ep) {
    TTrainRouteData r;
    r.StartKind = sk;
    r.StartPosition = sp;
    r.EndKind = ek;
    r.EndPosition = ep;
    return r;
  };
  area.TrainRoutes[0].Routes = {button(1, 2, 3, 4), button(1, 2, 3, 5), button(1, 2, 3, 4)};
  EXPECT_EQ(FindRoute(area, 0, 1, 2, 3, 4), 2);
  EXPECT_EQ(FindRoute(area, 0, 1, 2, 3, 5), 1);
  EXPECT_EQ(FindRoute(area, 0, 3, 4, 1, 2), -1);  // start and end not exchanged
  EXPECT_EQ(FindRoute(area, 1, 1, 2, 3, 4), -1);
  EXPECT_EQ(FindRoute(area, -1, 1, 2, 3, 4), -1);
}

TEST(RouteQuality, InitialRating) {
  const RouteQuality q = InitRouteQuality();
  EXPECT_EQ(q.Suitable, 0);
  EXPECT_EQ(q.Minus, 255);
  EXPECT_EQ(q.Routes, 255);
  EXPECT_EQ(q.Switches, 255);
}

TEST(RouteQuality, CompareOrderSuitableMinusRoutesSwitches) {
  struct Case {
    RouteQuality first, second;
    int result;
  };
  const Case cases[] = {
      {{1, 0, 1, 1}, {1, 0, 1, 1}, 0},
      {{0, 0, 1, 1}, {1, 5, 5, 5}, -1},  // more suitable tracks beat everything
      {{1, 5, 5, 5}, {0, 0, 1, 1}, 1},
      {{1, 2, 1, 1}, {1, 1, 5, 5}, -1},  // then fewer minus switches
      {{1, 1, 5, 5}, {1, 2, 1, 1}, 1},
      {{1, 1, 3, 1}, {1, 1, 2, 9}, -1},  // then fewer routes
      {{1, 1, 2, 9}, {1, 1, 3, 1}, 1},
      {{1, 1, 2, 5}, {1, 1, 2, 4}, -1},  // then fewer switches
      {{1, 1, 2, 4}, {1, 1, 2, 5}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareRouteQuality(c.first, c.second), c.result)
        << c.second.Suitable << c.second.Minus << c.second.Routes << c.second.Switches;
  }
}

// One LP (code 10) with chains from section 1 to section 9 over its tracks:
//            +--[4 track "2", kind 5]--+
//   [1]--sw--+--[5 track "3", kind 0]--+--sw--[9]
//            +--[6 track "1", kind 5]--+
// Routes: 0 1->4 (sw 1 minus); 1 4->9 (sw 2 plus); 2 1->5 (sw 1 plus); 3 5->9 (sw 2 plus);
// 4 1->9 direct (sw 1 plus, sw 2 minus); 5 1->6 (sw 1 plus); 6 6->9 (no switch).
TAreaData ChainDistrict() {
  TAreaData area = MakeArea(9);
  AddLP(area, 10, {Track(4, 0, 0, 2, 5), Track(5, 0, 0, 3, 0), Track(6, 0, 0, 1, 5)});
  area.TrainRoutes[0].Routes = {
      Route(1, 4, 4, {{1, true}}),
      Route(1, 4, 9, {{2, false}}),
      Route(1, 4, 5, {{1, false}}),
      Route(1, 4, 9, {{2, false}}),
      Route(1, 4, 9, {{1, false}, {2, true}}),
      Route(1, 4, 6, {{1, false}}),
      Route(1, 4, 9),
  };
  return area;
}

TEST(FindBestRoute, EqualRatingsKeepTheEarlierChain) {
  TAreaData area = ChainDistrict();
  area.TrainRoutes[0].Chains = {Chain(1, 9, {2, 3}), Chain(1, 9, {2, 3})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 0);
  EXPECT_EQ(q.Suitable, 0);
  EXPECT_EQ(q.Minus, 0);
  EXPECT_EQ(q.Routes, 2);
  EXPECT_EQ(q.Switches, 2);
}

TEST(FindBestRoute, WithoutMinusSwitchWinsOnEqualSuitableCount) {
  TAreaData area = ChainDistrict();
  area.TrainRoutes[0].Routes[2].LastSection = 7;  // not over a kind-5 track here
  // chain 0: direct with a minus switch; chain 1: two routes over track 5, no minus switch.
  area.TrainRoutes[0].Chains = {Chain(1, 9, {4}), Chain(1, 9, {2, 3})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 1);
  EXPECT_EQ(q.Minus, 0);
  EXPECT_EQ(q.Routes, 2);
}

TEST(FindBestRoute, MoreSuitableTracksWinOverMinusSwitches) {
  TAreaData area = ChainDistrict();
  area.TrainRoutes[0].Routes.push_back(Route(1, 4, 6));  // 7: ... -> track 6
  // chain 0: over track 5 (kind 0), no minus; chain 1: its second route ends on kind-5
  // track 6, with a minus switch in its first route.
  area.TrainRoutes[0].Chains = {Chain(1, 9, {2, 3}), Chain(1, 9, {0, 7, 6})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 1);
  EXPECT_EQ(q.Suitable, 1);
  EXPECT_EQ(q.Minus, 1);
  EXPECT_EQ(q.Routes, 3);
  EXPECT_EQ(q.Switches, 1);
}

TEST(FindBestRoute, FirstRouteEndingOnATrackIsNotCounted) {
  TAreaData area = ChainDistrict();
  area.TrainRoutes[0].Routes.push_back(Route(1, 4, 9, {{1, false}}));  // 7: direct
  // chain 0 reaches kind-5 track 6 with its first route only; chain 1 is one route.
  area.TrainRoutes[0].Chains = {Chain(1, 9, {5, 6}), Chain(1, 9, {7})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 1);
  EXPECT_EQ(q.Suitable, 0);
  EXPECT_EQ(q.Routes, 1);
}

TEST(FindBestRoute, KindFiveTrackOfOtherParityIsNotSuitableWhenOwnParityExists) {
  TAreaData area = ChainDistrict();
  // Odd routes (kinds 1 -> 4). Track 4 has number 2 (even), track 6 number 1 (odd); the LP has
  // kind-5 tracks of both parities, so only track 6 suits an odd chain.
  area.TrainRoutes[0].Routes.push_back(Route(1, 4, 4));  // 7: ... -> 4
  area.TrainRoutes[0].Routes.push_back(Route(1, 4, 6));  // 8: ... -> 6
  area.TrainRoutes[0].Chains = {Chain(1, 9, {2, 7, 1}), Chain(1, 9, {2, 8, 6})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 1);
  EXPECT_EQ(q.Suitable, 1);

  area.TrainRoutes[0].Chains = {Chain(1, 9, {2, 7, 1})};
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 0);
  EXPECT_EQ(q.Suitable, 0);
  // Without an odd kind-5 track any kind-5 track suits.
  area.Puts[0].Kind5[1] = 0;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 0);
  EXPECT_EQ(q.Suitable, 1);
}

TEST(FindBestRoute, FewerRoutesThenFewerSwitches) {
  TAreaData area = ChainDistrict();
  area.TrainRoutes[0].Routes[2].LastSection = 7;
  area.TrainRoutes[0].Routes.push_back(Route(1, 4, 9, {{1, false}, {2, false}}));  // 7
  area.TrainRoutes[0].Routes.push_back(Route(1, 4, 9, {{1, false}}));              // 8
  area.TrainRoutes[0].Chains = {Chain(1, 9, {2, 3}), Chain(1, 9, {7}), Chain(1, 9, {8})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), 2);
  EXPECT_EQ(q.Routes, 1);
  EXPECT_EQ(q.Switches, 1);
}

TEST(FindBestRoute, NoChainOrBrokenChain) {
  TAreaData area = ChainDistrict();
  area.TrainRoutes[0].Chains = {Chain(1, 8, {2, 3}), Chain(1, 9, {2, 42})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(area, 0, 1, 9, &q), -1);
  EXPECT_EQ(q.Suitable, 0);
  EXPECT_EQ(q.Minus, 255);
  EXPECT_EQ(FindBestRoute(area, 0, 1, 8), 0);
  EXPECT_EQ(FindBestRoute(area, 3, 1, 8), -1);
  EXPECT_EQ(FindBestRoute(area, -1, 1, 8), -1);
}

}  // namespace
}  // namespace traklin
