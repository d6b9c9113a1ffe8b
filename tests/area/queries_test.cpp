// Walks over the track graph, section lamps, positions, throats, lookups, the timetable and
// route searches, and the display formats.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "area_builder.h"

namespace traklin::test {
namespace {
using V = std::vector<int>;

/// The query applied to each row of inputs.
template <typename Row, typename Query>
auto Each(std::initializer_list<Row> rows, Query query) {
  std::vector<decltype(query(*rows.begin()))> out;
  for (const Row& r : rows) out.push_back(query(r));
  return out;
}
using P = std::pair<int, int>;
using T3 = std::array<int, 3>;

// even <-                                  -> odd
//   [1]----[2]----[3]=sw1=[4]----[5]
//   E sig           \               O sig
//                    +-----[6]
// Switch 1 stands at the odd end of section 3 (facing for odd moves).
TAreaData FacingSwitchDistrict() {
  AreaBuilder b(7);
  b.Line({1, 2, 3, 4, 5});
  b.Switch(3, kOdd, 1, 6);
  b.AddSignal(5, kOdd);   // 0
  b.AddSignal(1, kEven);  // 1
  return b.a;
}

// even <-                   -> odd
//   [1]----[2]>< [3]----[4]
// Sections 2 and 3 meet with their odd ends: moving odd from 2 continues even from 3.
AreaBuilder FlipDistrict() {
  AreaBuilder b(5);
  b.Line({1, 2});
  b.Flip(2, 3);
  b.a.SlSects[3].Straight[kEven] = 4;
  b.a.SlSects[4].Straight[kOdd] = 3;
  return b;
}

TEST(TrackWalkTest, FindSemaphoreAheadStopsAtFacingSwitchesAndEveryEnd) {
  const TAreaData area = FacingSwitchDistrict();
  // A facing switch stops the search, signal beyond or not; a trailing one is passed, also
  // coming in from its side branch.
  EXPECT_EQ(Each<P>({{kOdd, 1},
                     {kOdd, 3},
                     {kOdd, 4},
                     {kOdd, 5},
                     {kEven, 5},
                     {kEven, 6},
                     {kOdd, 0},
                     {kOdd, 99}},
                    [&](P r) { return FindSemaphoreAhead(area, r.first, r.second); }),
            (V{-1, -1, 0, 0, 1, 1, -1, -1}));
  AreaBuilder ends(5);  // [1]--[2]--[3] and nothing beyond; a neighbour beyond the table
  ends.Line({1, 2, 3});
  ends.a.SlSects[4].Straight[kOdd] = 77;
  ends.a.SlSects[2].Semaphore[kEven] = 5;  // a signal beyond the table
  EXPECT_EQ(Each<P>({{kOdd, 1}, {kOdd, 4}, {kEven, 3}},
                    [&](P r) { return FindSemaphoreAhead(ends.a, r.first, r.second); }),
            (V{-1, -1, -1}));
  AreaBuilder ring(5);  // [1]--[2]--[3]--[4]--[1]: a ring without signals
  ring.Line({1, 2, 3, 4, 1});
  EXPECT_EQ(FindSemaphoreAhead(ring.a, kOdd, 1), -1);
  EXPECT_EQ(FindSemaphoreAhead(ring.a, kEven, 3), -1);
  AreaBuilder flip = FlipDistrict();
  EXPECT_EQ(FindSemaphoreAhead(flip.a, kOdd, 1), flip.AddSignal(4, kEven));
}

TEST(TrackWalkTest, NextSectionFollowsLinksFlipsAndSwitchBranches) {
  AreaBuilder flip = FlipDistrict();
  flip.a.SlSects[4].Straight[kEven] = 1000;
  const TAreaData facing = FacingSwitchDistrict();
  // district (0 flip, 1 facing), direction, section, side, next section, direction after
  // clang-format off
  const std::array<int, 6> rows[] = {
      {0, kOdd, 2, 0, 3, kEven},  // over the flip the direction turns
      {0, kEven, 3, 0, 4, kEven},
      {0, kOdd, 1, 0, 2, kOdd},
      {1, kOdd, 3, 1, 6, kOdd},  // the side branch of a switch
      {1, kOdd, 3, 0, 4, kOdd},
      {1, kOdd, 2, 1, 0, kOdd},  // no switch, no side branch
      {0, kOdd, 0, 0, 0, kOdd},
      {0, kOdd, 50, 0, 0, kOdd},
      {0, kEven, 4, 0, 0, kEven},  // a neighbour beyond the table
      {0, kEven, 1, 0, 0, kEven}};
  // clang-format on
  for (auto [area, dir, section, side, next, dirAfter] : rows) {
    EXPECT_EQ(NextSection(area == 0 ? flip.a : facing, dir, section, side != 0), next) << section;
    EXPECT_EQ(dir, dirAfter) << section;
  }
  int dir = kOdd;
  EXPECT_EQ(ErrorOf([&] { NextSection(flip.a, dir, 2, true); }),
            "Unexpected switch at parity flip");
}

TEST(TrackWalkTest, GraphPeregonLengthAddsBothEndsAndFollowsFlips) {
  // [1]100--[2]200--[3]300--[4]400, end 0 at 1, end 1 at 4 and then at 1
  AreaBuilder b(5);
  b.Line({1, 2, 3, 4});
  for (int s = 1; s <= 4; ++s) b.a.SlSects[s].Length = 100 * s;
  b.AddPeregon(-1, -1, 1);
  b.a.GraphPeregons[0].EndSection[1] = 4;
  EXPECT_EQ(GraphPeregonLength(b.a, 0), 1000);
  b.a.GraphPeregons[0].EndSection[1] = 1;
  EXPECT_EQ(GraphPeregonLength(b.a, 0), 100);
  // [1]10--[2]20 >< [3]30--[4]40: 2 and 3 meet with their even ends
  AreaBuilder f(5);
  f.Line({3, 4});
  f.Flip(2, 3, kEven);
  f.a.SlSects[2].Straight[kOdd] = 1;
  f.a.SlSects[1].Straight[kEven] = 2;
  for (int s = 1; s <= 4; ++s) f.a.SlSects[s].Length = 10 * s;
  f.AddPeregon(-1, -1, 1);
  f.a.GraphPeregons[0].EndSection[1] = 4;
  EXPECT_EQ(GraphPeregonLength(f.a, 0), 100);
  // A ring that never reaches end 0, a peregon without ends, no such peregon.
  AreaBuilder r(6);
  r.Line({1, 2, 3, 4, 1});
  r.AddPeregon(-1, -1, 5);
  r.a.GraphPeregons[0].EndSection[1] = 4;
  r.a.GraphPeregons.emplace_back();
  EXPECT_EQ(Each<int>({0, 1, 2, -1}, [&](int p) { return GraphPeregonLength(r.a, p); }),
            (V{0, 0, 0, 0}));
}

// even <-                                       -> odd
//   [3]----sw2=[4]----[5 track, lamps 10..14]----[6]
//   [7]----/   (switch 2 at the even end of 4: straight 3, side 7)
// LP code 40 has tracks on sections 2 and 5.
AreaBuilder TrackLampDistrict() {
  AreaBuilder b(8);
  b.Line({3, 4, 5, 6});
  b.Switch(4, kEven, 2, 7);
  const int lp = b.AddLP(40);
  b.AddTrack(lp, 2, 1);
  b.AddTrack(lp, 5, 1, 1, 10, 5);
  return b;
}

TEST(SectionLampTest, TrackLampsByEntrySide) {
  AreaBuilder b = TrackLampDistrict();  // entered from 4 or 6: the end lamps, else the middle
  EXPECT_EQ(Each<int>({4, 6, 0, 7}, [&](int prev) { return SectionLamp(b.a, 5, prev); }),
            (V{10, 14, 12, 12}));
  b.a.SlSects[6].Straight[kEven] = b.a.SlSects[5].Straight[kOdd] = 0;  // a dead end
  EXPECT_EQ(SectionLamp(b.a, 5, 0), 12);
  AreaBuilder noCount = TrackLampDistrict();  // no lamp count: the first lamp
  noCount.a.Puts[0].Tracks[1].LampCount = 0;
  EXPECT_EQ(Each<int>({0, 4, 6}, [&](int prev) { return SectionLamp(noCount.a, 5, prev); }),
            (V{10, 10, 10}));
  AreaBuilder later = TrackLampDistrict();  // the first holder has no lamp: a later track's
  later.a.Puts[0].Tracks[1].FirstLamp = 0;
  later.AddTrack(later.AddLP(41), 5, 1, 1, 20, 3);
  EXPECT_EQ(SectionLamp(later.a, 5, 0), 21);
  later.a.Sekzs[5] = 99;  // the section's own lamp comes first
  EXPECT_EQ(SectionLamp(later.a, 5, 4), 99);
}

TEST(SectionLampTest, SwitchSectionLamps) {
  struct Row {
    const char* name;
    std::array<int, 3> plus, minus;
    int prev, lamp;
  };
  // clang-format off
  const Row rows[] = {
      {"straight entry: last non-zero plus", {20, 21, 0}, {30, 31, 0}, 3, 21},
      {"side entry: last non-zero minus", {20, 21, 0}, {30, 31, 32}, 7, 32},
      {"no previous: plus", {20, 0, 22}, {30, 0, 0}, 0, 22},
      {"no previous, no plus lamps: minus", {0, 0, 0}, {30, 0, 0}, 0, 30},
      {"entry from the far end: A lamp", {20, 0, 0}, {30, 0, 0}, 5, 40},
      {"straight entry without plus lamps: A lamp", {0, 0, 0}, {30, 0, 0}, 3, 40}};
  // clang-format on
  for (const Row& r : rows) {
    AreaBuilder b = TrackLampDistrict();
    b.a.Strels[2] = {
        4, 0, {40, 41}, {r.plus[0], r.plus[1], r.plus[2]}, {r.minus[0], r.minus[1], r.minus[2]}, 0};
    EXPECT_EQ(SectionLamp(b.a, 4, r.prev), r.lamp) << r.name;
  }
  AreaBuilder b = TrackLampDistrict();
  b.a.SlSects[4].Switch[kEven] = 9;  // no such switch
  EXPECT_EQ(Each<int>({4, 6, 0, 500}, [&](int s) { return SectionLamp(b.a, s, 0); }),
            (V{0, 0, 0, 0}));
}

// LPs 0 .. 3 with codes 7, 3, 7, 12: the last LP of a code is found, with the set-up's index
// or without it, and after the LPs change the lookup searches them again.
TEST(SectionLookupTest, LPOfACodeIsTheLastWithItIndexedOrSearched) {
  AreaBuilder b(2);
  for (const int code : {7, 3, 7, 12}) b.AddLP(code);
  const std::initializer_list<int> codes = {7, 3, 12, 0, 5, 13, -1, 70000};
  const V expected = {2, 1, 3, -1, -1, -1, -1, -1};
  const auto lookup = [&](int code) { return FindLPIndex(b.a, code); };
  EXPECT_EQ(Each<int>(codes, lookup), expected) << "searched";
  BuildAreaIndex(b.a);
  ASSERT_EQ(b.a.Index.LPOfCode.size(), 13u);
  EXPECT_EQ(Each<int>(codes, lookup), expected) << "indexed";
  // Built again after a code changed, the throats' LPs are found by the new codes.
  const int g = b.AddThroat(4, 0, 0);
  b.a.Puts[1].Code = 4;
  BuildAreaIndex(b.a);
  EXPECT_EQ(b.a.Index.ThroatLP[static_cast<std::size_t>(g)], 1);
  EXPECT_EQ(Each<int>({3, 4}, lookup), (V{-1, 1})) << "code changed";
  b.a.Puts[1].Code = 3;
  BuildAreaIndex(b.a);
  // A new LP is not in the index: the LPs are searched.
  b.AddLP(5);
  EXPECT_EQ(Each<int>({5, 7, 13}, lookup), (V{4, 2, -1})) << "LP added";
  // A code beyond the indexed range leaves the district unindexed.
  b.a.Puts[4].Code = 90000;
  BuildAreaIndex(b.a);
  EXPECT_TRUE(b.a.Index.LPOfCode.empty());
  EXPECT_EQ(Each<int>({90000, 7, 5}, lookup), (V{4, 2, -1})) << "large code";
}

TEST(SectionLookupTest, TracksAndSignalsOfSections) {
  AreaBuilder b = TrackLampDistrict();
  const int lp2 = b.AddLP(41);
  b.AddTrack(lp2, 6, 1);
  b.AddTrack(lp2, 5, 2);
  // section, within one LP, LP in, track, LP out
  // clang-format off
  const std::array<int, 5> rows[] = {{5, 0, 7, 1, 0}, {6, 0, 7, 0, 1}, {3, 0, 7, -1, -1}, {5, 1, 1, 1, 1},
                                     {6, 1, 0, -1, 0}, {6, 1, 5, -1, 5}, {6, 1, -1, -1, -1}};
  // clang-format on
  for (auto [section, within, lp, track, lpOut] : rows) {
    EXPECT_EQ(FindTrackOfSection(b.a, lp, section, within != 0), track) << section << within;
    EXPECT_EQ(lp, lpOut) << section << within;
  }
  TAreaData area = FacingSwitchDistrict();
  area.SlSects[2].Semaphore[kOdd] = 8;  // beyond the signal table
  EXPECT_EQ(Each<P>({{5, kOdd}, {5, kEven}, {0, kOdd}, {70, kOdd}, {5, 2}, {2, kOdd}},
                    [&](P r) { return SectionSemaphore(area, r.first, r.second); }),
            (V{0, -1, -1, -1, -1, -1}));
}

// even <-                                                   -> odd
//   LP 0 "A" (code 10)     peregon 1          LP 1 "B" (code 20)
//   [1 track]-----[2 end 0]----[3 end 1]-----[4 track]      (A's second track: 5)
// Throats: 0 = A's odd throat to peregon 1 (entry 2, codes 15..25); 1 = A's even throat
// without peregon (every code); 2 = an odd throat of code 30 to peregon 1 over a flip.
AreaBuilder PeregonDistrict() {
  AreaBuilder b(6);
  b.Line({1, 2, 3, 4});
  b.a.SlSects[2].Length = 700;
  b.a.SlSects[3].Length = 800;
  const int a = b.AddLP(10);
  b.AddTrack(a, 1, 1);
  b.AddTrack(a, 5, 2);
  b.AddTrack(b.AddLP(20), 4, 1);
  b.AddPeregon(0, 1, 2);
  b.a.GraphPeregons[0].EndSection[1] = 3;
  b.AddSignal(3, kOdd);
  for (const auto& [code, value2, peregon, low, high] :
       {std::array{10, 1, 1, 15, 25}, {10, 0, 0, 0, 0}, {30, 1, 1, 0, 0}})
    b.a.GorlStanzs[b.AddThroat(code, value2, peregon, low, high)].EntrySection = 2;
  b.a.GorlStanzs[2].Flip = 1;
  return b;
}

TEST(PositionTest, LocateSectionPositionOnTracksAndPeregonEnds) {
  AreaBuilder b = PeregonDistrict();
  // section, offset, track, LP, edge track: a track section gives its track and LP; the end-1
  // section at offset 0 the LP at end 1 before its first track; the end-0 section at its
  // length the LP at end 0 and its last track
  // clang-format off
  const std::array<int, 5> rows[] = {{4, 123, 0, 1, 0}, {3, 0, -2, 1, -1}, {2, 700, -2, 0, 1}, {3, 800, -2, -1, -2},
                                     {2, 0, -2, -1, -2}, {2, 5, -2, -1, -2}, {99, 0, -2, -1, -2}};
  // clang-format on
  for (const auto& [section, offset, track, lp, edge] : rows) {
    const SectionPosition pos = LocateSectionPosition(b.a, section, offset);
    EXPECT_EQ((T3{pos.Track, pos.LP, pos.EdgeTrack}), (T3{track, lp, edge})) << section << offset;
  }
  b.a.GraphPeregons[0].LP[1] = 9;  // beyond the LP table
  const SectionPosition pos = LocateSectionPosition(b.a, 3, 0);
  EXPECT_EQ((P{pos.LP, pos.EdgeTrack}), (P{-1, -2}));
  b.a.GraphPeregons.push_back(b.a.GraphPeregons[0]);  // the last of two matches
  EXPECT_EQ(Each<P>({{2, 0}, {2, 1}, {3, 1}, {0, 1}, {2, 2}},
                    [&](P r) { return FindGraphPeregonByEnd(b.a, r.first, r.second); }),
            (V{1, -1, 1, -1, -1}));
}

TEST(ThroatTest, ThroatsOfLPsNeighboursSignalsAndServedCodes) {
  AreaBuilder b = PeregonDistrict();
  EXPECT_EQ(Each<P>({{0, 0}, {0, 1}, {1, 0}, {-1, 0}, {0, -1}, {8, 0}},
                    [&](P r) { return FindThroatOfLP(b.a, r.first, r.second); }),
            (V{0, -1, -1, -1, -1, -1}));
  // The neighbour is at the peregon end parity XOR flip: B for 0, none for 1, A for the flip.
  EXPECT_EQ(Each<int>({0, 1, 2, -1, 3}, [&](int t) { return ThroatNeighbourLP(b.a, t); }),
            (V{20, -1, 10, -1, -1}));
  // Odd from 2 meets the odd signal on 3; the flipped throat walks even from 2.
  EXPECT_EQ(Each<P>({{10, 0}, {30, 0}, {10, -1}, {99, 0}},
                    [&](P r) { return FindThroatBySignal(b.a, r.first, r.second); }),
            (V{0, -1, -1, -1}));
  // throat, code 1, code 2: either code in the range 15..25, not the throat's own code
  // clang-format off
  const T3 serves[] = {{0, 20, 0}, {0, 0, 20}, {0, 15, 0}, {0, 25, 0}, {1, 99, 0}};
  const T3 doesNot[] = {{0, 30, 20}, {0, 14, 0}, {0, 10, 0}, {1, 10, 0}, {1, -5, 10}, {-1, 20, 0}, {9, 20, 0}};
  // clang-format on
  for (auto [throat, code1, code2] : serves) EXPECT_TRUE(ThroatServes(b.a, throat, code1, code2));
  for (auto [throat, code1, code2] : doesNot)
    EXPECT_FALSE(ThroatServes(b.a, throat, code1, code2)) << throat << " " << code1;
  for (int lp : {0, 12}) {
    b.a.GraphPeregons[0].LP[1] = lp;  // missing or beyond the table
    EXPECT_EQ(ThroatNeighbourLP(b.a, 0), -1) << lp;
  }
  b.a.GorlStanzs[0].Peregon = 4;
  EXPECT_EQ(ThroatNeighbourLP(b.a, 0), -1);
}

// --- Lookups and the timetable ----------------------------------------------------------------

TGraphTrainData Train(std::array<int, 4> numbers, int lastLP, TStopsData stops = {}) {
  TGraphTrainData t;
  std::copy(numbers.begin(), numbers.end(), t.Numbers);
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

TEST(TimetableTest, TrainsByNumberAndTheirEnds) {
  TAreaData area;
  area.PassTrains[1] = {Train({101, 0, 0, 0}, 30, {LPStop(10, 7), LPStop(30)}),
                        Train({103, 0, 0, 0}, 30)};
  area.GruzTrains[0] = {Train({2002, 0, 0, 0}, 10, {SectionStop(4), LPStop(10)})};
  area.GruzTrains[1] = {Train({2003, 0, 0, 0}, 40, {LPStop(20, 9), LPStop(40)})};
  // loco type, first and last LP; nothing without stops, starting at a section, of the other
  // kind, or unknown
  using BP = std::pair<bool, int>;
  const auto ends = [&](BP r) {
    const ScheduleTrainEnds e = GetScheduleTrainEnds(area, r.first, r.second);
    return T3{e.LocoType, e.FirstLPCode, e.LastLPCode};
  };
  EXPECT_EQ(
      Each<BP>({{false, 101}, {true, 2003}, {false, 103}, {true, 2002}, {false, 2003}, {true, 5}},
               ends),
      (std::vector<T3>{{7, 10, 30}, {9, 20, 40}, {}, {}, {}, {}}));
  const TGraphTrainsData trains = {Train({101, 103, 0, 0}, 0), Train({105, 0, 0, 0}, 0),
                                   Train({107, 109, 111, 103}, 0)};
  EXPECT_EQ(Each<int>({101, 103, 111, 999, 0}, [&](int n) { return FindScheduleTrain(trains, n); }),
            (V{0, 2, 2, -1, -1}));  // any of four numbers, the last train; 0 is no number
}

TEST(TimetableTest, StopSearchesFromTheStartOrOnlyTheFirstStopOfTheirKind) {
  // Stops: 0 LP 10, 1 section 5, 2 LP 20, 3 section 6, 4 LP 30. From start 0 the whole list
  // is searched, from k only the first stop of the kind; LP code 0 is any LP stop.
  const TGraphTrainsData trains = {Train(
      {1, 0, 0, 0}, 30, {LPStop(10), SectionStop(5), LPStop(20), SectionStop(6), LPStop(30)})};
  // clang-format off
  EXPECT_EQ(Each<P>({{30, 0}, {10, 0}, {20, 0}, {99, 0}, {30, 2}, {20, 2}, {20, 1}, {30, 3}, {0, 1}, {0, 0}, {30, 5}, {30, -1}},
                    [&](P r) { return FindTrainStopByLP(trains, 0, r.first, r.second); }),
            (V{4, 0, 2, -1, -1, 2, 2, 4, 2, 0, -1, -1}));
  EXPECT_EQ(Each<P>({{6, 0}, {5, 0}, {7, 0}, {6, 1}, {5, 1}, {6, 2}, {7, 2}, {5, 4}, {6, 5}},
                    [&](P r) { return FindTrainStopBySection(trains, 0, r.first, r.second); }),
            (V{3, 1, -1, -1, 1, 3, -1, -1, -1}));
  // clang-format on
  EXPECT_EQ((V{FindTrainStopByLP(trains, 1, 30, 0), FindTrainStopByLP(trains, -1, 30, 0),
               FindTrainStopBySection(trains, 3, 6, 0)}),
            (V{-1, -1, -1}));
}

// --- Routes -----------------------------------------------------------------------------------

TEST(RouteQueryTest, SwitchEntriesDecodeWithTheDistrictBase) {
  TAreaData area;
  area.SwitchCount = 25;
  // base, entry, switch, minus: the 3 / 13 / 115 example with base 100, then base 10 and 0
  // clang-format off
  const std::array<int, 4> rows[] = {{100, 3, 3, 0}, {100, 13, 13, 0}, {100, 115, 15, 1}, {100, 203, 3, 0},
                                     {100, 0, 0, 0}, {10, 13, 3, 1}, {10, 3, 3, 0}, {0, 13, 0, 0}};
  // clang-format on
  for (const auto& [base, entry, sw, minus] : rows) {
    area.SwitchPosBase = base;
    EXPECT_EQ((P{RouteEntrySwitch(area, entry), RouteEntryIsMinus(area, entry)}), (P{sw, minus}))
        << base << "/" << entry;
  }
}

TEST(RouteQueryTest, FindRouteTakesTheLastMatch) {
  AreaBuilder b(2);
  b.AddLP(10);
  auto& routes = b.a.TrainRoutes[0].Routes;
  routes = {Route(1, 3, 0, 0), Route(1, 3, 0, 0), Route(1, 3, 0, 0)};
  routes[1].EndPosition = 5;
  // lp, start kind and position, end kind and position; start and end are not exchanged
  EXPECT_EQ((V{FindRoute(b.a, 0, 1, 1, 3, 1), FindRoute(b.a, 0, 1, 1, 3, 5),
               FindRoute(b.a, 0, 3, 1, 1, 1), FindRoute(b.a, 1, 1, 1, 3, 1),
               FindRoute(b.a, -1, 1, 1, 3, 1)}),
            (V{2, 1, -1, -1, -1}));
}

std::array<int, 4> Q(const RouteQuality& q) {
  return {q.Suitable, q.Minus, q.Routes, q.Switches};
}

TEST(RouteQueryTest, RouteQualityComparesSuitableThenMinusThenRoutesThenSwitches) {
  EXPECT_EQ(Q(InitRouteQuality()), (std::array<int, 4>{0, 255, 255, 255}));
  // more suitable tracks beat everything, then fewer minus switches, routes and switches
  const std::array<RouteQuality, 2> better[] = {{{{1, 5, 5, 5}, {0, 0, 1, 1}}},
                                                {{{1, 1, 5, 5}, {1, 2, 1, 1}}},
                                                {{{1, 1, 2, 9}, {1, 1, 3, 1}}},
                                                {{{1, 1, 2, 4}, {1, 1, 2, 5}}}};
  for (const auto& [first, second] : better) {
    EXPECT_EQ((P{CompareRouteQuality(first, second), CompareRouteQuality(second, first)}),
              (P{1, -1}))
        << first.Minus << first.Routes;
  }
  EXPECT_EQ(CompareRouteQuality({1, 0, 1, 1}, {1, 0, 1, 1}), 0);
}

// One LP (code 10) with chains from section 1 to section 9 over its tracks:
//            +--[4 track "2", kind 5]--+
//   [1]--sw1-+--[5 track "3", kind 0]--+-sw2--[9]
//            +--[6 track "1", kind 5]--+
// Routes: 0 1->4 (sw 1 minus); 1 4->9 (sw 2 plus); 2 1->5 (sw 1 plus); 3 5->9 (sw 2 plus);
// 4 1->9 direct (sw 1 plus, sw 2 minus); 5 1->6 (sw 1 plus); 6 6->9 (no switch); then extras.
struct BestRouteRow {
  const char* scenario;
  std::vector<TTrainRouteData> extra;
  std::vector<TChainData> chains;
  int best;
  std::array<int, 4> quality;  ///< suitable, minus, routes, switches
};

TEST(RouteQueryTest, FindBestRouteRatesEveryChainAndKeepsTheEarlierOnATie) {
  // clang-format off
  const BestRouteRow rows[] = {
      {"equal ratings keep the earlier chain", {}, {Chain(1, 9, {2, 3}), Chain(1, 9, {2, 3})}, 0, {0, 0, 2, 2}},
      {"without a minus switch wins", {}, {Chain(1, 9, {4}), Chain(1, 9, {2, 3})}, 1, {0, 0, 2, 2}},
      {"more suitable tracks win over minus switches", {Route(1, 4, 4, 6)}, {Chain(1, 9, {2, 3}), Chain(1, 9, {0, 7, 6})}, 1, {1, 1, 3, 1}},
      {"the first route ending on a track is not counted", {Route(1, 4, 1, 9, {{1, false}})}, {Chain(1, 9, {5, 6}), Chain(1, 9, {7})}, 1, {0, 0, 1, 1}},
      {"a kind-5 track of the other parity does not suit", {Route(1, 4, 5, 4), Route(1, 4, 5, 6)}, {Chain(1, 9, {2, 7, 1}), Chain(1, 9, {2, 8, 6})}, 1, {1, 0, 3, 1}},
      {"fewer routes, then fewer switches", {Route(1, 4, 1, 9, {{1, false}, {2, false}}), Route(1, 4, 1, 9, {{1, false}})}, {Chain(1, 9, {2, 3}), Chain(1, 9, {7}), Chain(1, 9, {8})}, 2, {0, 0, 1, 1}},
      {"no chain to 9, or a broken one", {}, {Chain(1, 8, {2, 3}), Chain(1, 9, {2, 42})}, -1, {0, 255, 255, 255}}};
  // clang-format on
  for (const BestRouteRow& r : rows) {
    AreaBuilder b(10);
    const int lp = b.AddLP(10);
    b.AddTrack(lp, 4, 2, 1, 0, 0, 5);
    b.AddTrack(lp, 5, 3);
    b.AddTrack(lp, 6, 1, 1, 0, 0, 5);
    TLPRoutesData& routes = b.a.TrainRoutes[0];
    routes.Routes = {Route(1, 4, 1, 4, {{1, true}}),
                     Route(1, 4, 4, 9, {{2, false}}),
                     Route(1, 4, 1, 5, {{1, false}}),
                     Route(1, 4, 5, 9, {{2, false}}),
                     Route(1, 4, 1, 9, {{1, false}, {2, true}}),
                     Route(1, 4, 1, 6, {{1, false}}),
                     Route(1, 4, 6, 9)};
    routes.Routes.insert(routes.Routes.end(), r.extra.begin(), r.extra.end());
    routes.Chains = r.chains;
    RouteQuality q;
    EXPECT_EQ(FindBestRoute(b.a, 0, 1, 9, &q), r.best) << r.scenario;
    EXPECT_EQ(Q(q), r.quality) << r.scenario;
    if (r.best == -1) {
      EXPECT_EQ((V{FindBestRoute(b.a, 0, 1, 8), FindBestRoute(b.a, 3, 1, 8),
                   FindBestRoute(b.a, -1, 1, 8)}),
                (V{0, -1, -1}));
    }
    // The set-up's table gives the same answers, and none for sections no chain joins.
    BuildAreaIndex(b.a);
    EXPECT_EQ(
        (V{FindBestRoute(b.a, 0, 1, 9), FindBestRoute(b.a, 0, 9, 1), FindBestRoute(b.a, 1, 1, 9)}),
        (V{r.best, -1, -1}))
        << r.scenario;
    if (r.best == -1) {
      EXPECT_EQ(FindBestRoute(b.a, 0, 1, 8), 0);
      // A chain added after the set-up: the table is no longer believed.
      routes.Chains.push_back(Chain(1, 9, {2, 3}));
      EXPECT_EQ(FindBestRoute(b.a, 0, 1, 9), 2);
    }
  }
  // Without a kind-5 track of the chain's own parity any kind-5 track suits.
  AreaBuilder b(10);
  const int lp = b.AddLP(10);
  b.AddTrack(lp, 4, 2, 1, 0, 0, 5);  // even number
  TLPRoutesData& routes = b.a.TrainRoutes[0];
  routes.Routes = {Route(1, 4, 1, 2), Route(1, 4, 2, 4), Route(1, 4, 4, 9)};
  routes.Chains = {Chain(1, 9, {0, 1, 2})};
  RouteQuality q;
  EXPECT_EQ(FindBestRoute(b.a, 0, 1, 9, &q), 0);
  EXPECT_EQ(q.Suitable, 1);
  b.AddTrack(lp, 6, 1, 1, 0, 0, 5);  // now an odd kind-5 track exists
  EXPECT_EQ(FindBestRoute(b.a, 0, 1, 9, &q), 0);
  EXPECT_EQ(q.Suitable, 0);
}

TDateTime At(int h, int m, int s = 0, int ms = 0) {
  return EncodeDate(2024, 3, 5) + (h * 3600000.0 + m * 60000.0 + s * 1000.0 + ms) / 86400000.0;
}

TEST(FormatTest, TrackNamesAreDecimalOrRomanWithLetters) {
  const std::pair<int, const char*> rows[] = {
      {5, "5"},       {205, "5Б"},    {1012, "XII"}, {1312, "XIIВ"}, {1014, "XIV"}, {1019, "XIX"},
      {1040, "XXXX"}, {0, "0"},       {1001, "I"},   {1004, "IV"},   {1005, "V"},   {1009, "IX"},
      {1010, "X"},    {1008, "VIII"}, {1020, "XX"},  {14, "14"},     {112, "12А"},  {912, "12К"},
      {1912, "XIIК"}, {2012, "XII"},  {1000, ""},    {701, "1П"},    {99, "99"}};
  for (const auto& [code, text] : rows) EXPECT_EQ(FormatTrackName(code), text) << code;
}

TEST(FormatTest, HexNumbersAreUpperCaseWithLeadingZeroAndSuffix) {
  const std::pair<int, const char*> rows[] = {{255, "0FFh"}, {0, "0h"},  {16, "010h"},
                                              {1, "01h"},    {-7, "0h"}, {0xABC, "0ABCh"}};
  for (const auto& [n, text] : rows) EXPECT_EQ(FormatHexNumber(n), text) << n;
}

TEST(FormatTest, StationNamePartsAndLPNames) {
  // Names: 1 plain, 2 one group, 3 two groups, 4 a group followed by a tail.
  AreaBuilder b(2);
  b.a.Stations = {{"", 0},
                  {"Озёрная", 1},
                  {"Узел(Ч/Н/Пасс/Груз)", 2},
                  {"Узел(а/б/в/г)(д/е/ж/з)", 3},
                  {"Пост(1/2/3/4)хвост", 4}};
  struct Row {
    int code, part;
    const char* text;
  };
  const Row rows[] = {{1, 1, "Озёрная"}, {1, 2, "Озёрная"}, {1, 5, "Озёрная"},  {2, 1, "Узел"},
                      {2, 2, "УзелЧ"},   {2, 3, "УзелН"},   {2, 4, "УзелПасс"}, {2, 5, "УзелГруз"},
                      {3, 1, "Узел"},    {3, 2, "Узелад"},  {3, 3, "Узелбе"},   {3, 5, "Узелгз"},
                      {4, 1, "Пост"},    {4, 4, "Пост3"},   {0, 2, ""},         {9, 2, ""},
                      {-1, 2, ""},       {2, 0, "Узел"}};
  for (const Row& r : rows)
    EXPECT_EQ(StationNamePart(b.a, r.code, r.part), r.text) << r.code << "/" << r.part;
  // Stations go by their mnemonic name, other LPs by part 2 of their station name.
  b.a.StationCount = 1;
  b.a.LPMnemNames = {"ОЗР"};
  for (int code : {1, 2}) b.AddLP(code);
  for (const auto& [lp, name] : {std::pair{0, "ОЗР"}, {1, "УзелЧ"}, {2, ""}, {-1, ""}})
    EXPECT_EQ(LPName(b.a, lp), name) << lp;
  EXPECT_EQ(DSPName(b.a, 0), "ДСП ОЗР");
  EXPECT_EQ(DSPName(b.a, 1), "ДСП УзелЧ");
  b.a.LPMnemNames.clear();
  EXPECT_EQ(LPName(b.a, 0), "");
}

TEST(FormatTest, TimesAndDatesFromTheirFileForms) {
  EXPECT_DOUBLE_EQ(TimeFromHHMM(1330), 13.5 / 24);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(0), 0.0);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(2359), 23.0 / 24 + 59.0 / 1440);
  EXPECT_DOUBLE_EQ(TimeFromHHMM(5), 5.0 / 1440);
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 305), EncodeDate(2024, 3, 5));
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 1231), EncodeDate(2024, 12, 31));
  EXPECT_DOUBLE_EQ(DateFromYearMMDD(2024, 229), EncodeDate(2024, 2, 29));
  for (int mmdd : {230, 1301, 0, 1232, 100}) {
    EXPECT_THROW(DateFromYearMMDD(2023, mmdd), std::invalid_argument) << mmdd;
    EXPECT_FALSE(TryDateFromYearMMDD(2023, mmdd).has_value()) << mmdd;
  }
  EXPECT_FALSE(TryDateFromYearMMDD(2023, 229).has_value());
  EXPECT_TRUE(TryDateFromYearMMDD(2024, 229).has_value());
}

TEST(FormatTest, ClockFaces) {
  const std::pair<TDateTime, const char*> clock[] = {
      {At(9, 5), " 9:05"},
      {At(12, 30), "12:30"},
      {At(0, 0), " 0:00"},
      {At(23, 59, 59), "23:59"},
      {At(10, 0), "10:00"},
      {At(12, 29, 59, 999) + 0.6 / 86400000.0, "12:30"}};  // milliseconds round to a minute
  for (const auto& [t, text] : clock) EXPECT_EQ(FormatClock(false, t), text) << text;
  const std::pair<TDateTime, const char*> minutes[] = {
      {At(0, 7), " 7 мин."}, {At(0, 45), "45 мин."}, {At(2, 3), " 3 мин."}};
  for (const auto& [t, text] : minutes) EXPECT_EQ(FormatClock(true, t), text) << text;
  // The colon shows in the first half of a second, a blank in the second.
  const std::pair<TDateTime, const char*> blink[] = {
      {At(12, 30, 0, 400), "12:30"}, {At(12, 30, 0, 600), "12 30"}, {At(12, 30, 0, 499), "12:30"},
      {At(12, 30, 0, 500), "12 30"}, {At(9, 5, 10, 0), " 9:05"},    {At(9, 5, 10, 750), " 9 05"}};
  for (const auto& [t, text] : blink) EXPECT_EQ(FormatBlinkClock(t), text) << text;
  for (const auto& [ms, second] : {std::pair{0, false}, {499, false}, {500, true}, {999, true}})
    EXPECT_EQ(IsSecondHalf(At(1, 0, 0, ms)), second) << ms;
  // The half-second simulation step lands on .500 within rounding.
  EXPECT_TRUE(IsSecondHalf(At(1, 0, 0) + 0.5 / 86400.0));
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 3, 5)), " 5.03");
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 12, 31) + 0.99), "31.12");
  EXPECT_EQ(FormatDayMonth(EncodeDate(2024, 10, 10)), "10.10");
}

}  // namespace
}  // namespace traklin::test
