// Walks over the track graph, section lamps, positions, throats, lookups, the timetable stop
// searches and the route searches.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area_builder.h"

namespace traklin::test {
namespace {

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
  const std::array<int, 3> rows[] = {
      {kOdd, 1, -1}, {kOdd, 3, -1},  // a facing switch stops the search, signal beyond or not
      {kOdd, 4, 0},  {kOdd, 5, 0},  {kEven, 5, 1}, {kEven, 6, 1},  // trailing, also from the side
      {kOdd, 0, -1}, {kOdd, 99, -1}};
  for (const auto& [dir, section, signal] : rows)
    EXPECT_EQ(FindSemaphoreAhead(area, dir, section), signal) << dir << "/" << section;
  AreaBuilder line(4);  // [1]--[2]--[3] and nothing beyond
  line.Line({1, 2, 3});
  EXPECT_EQ(FindSemaphoreAhead(line.a, kOdd, 1), -1);
  AreaBuilder ring(5);  // [1]--[2]--[3]--[4]--[1]: a ring without signals
  ring.Line({1, 2, 3, 4, 1});
  EXPECT_EQ(FindSemaphoreAhead(ring.a, kOdd, 1), -1);
  EXPECT_EQ(FindSemaphoreAhead(ring.a, kEven, 3), -1);
  AreaBuilder broken(3);  // a neighbour beyond the table, a signal index beyond the table
  broken.a.SlSects[1].Straight[kOdd] = 77;
  broken.a.SlSects[2].Semaphore[kOdd] = 5;
  EXPECT_EQ(FindSemaphoreAhead(broken.a, kOdd, 1), -1);
  EXPECT_EQ(FindSemaphoreAhead(broken.a, kOdd, 2), -1);
  AreaBuilder flip = FlipDistrict();
  const int even = flip.AddSignal(4, kEven);
  EXPECT_EQ(FindSemaphoreAhead(flip.a, kOdd, 1), even);
}

TEST(TrackWalkTest, NextSectionFollowsLinksFlipsAndSwitchBranches) {
  AreaBuilder flip = FlipDistrict();
  flip.a.SlSects[4].Straight[kEven] = 1000;
  const TAreaData facing = FacingSwitchDistrict();
  struct Row {
    const TAreaData& area;
    int dir, section;
    bool side;
    int next, dirAfter;
  };
  const Row rows[] = {
      {flip.a, kOdd, 2, false, 3, kEven},  // over the flip the direction turns
      {flip.a, kEven, 3, false, 4, kEven}, {flip.a, kOdd, 1, false, 2, kOdd},
      {facing, kOdd, 3, true, 6, kOdd},    {facing, kOdd, 3, false, 4, kOdd},
      {facing, kOdd, 2, true, 0, kOdd},    {flip.a, kOdd, 0, false, 0, kOdd},
      {flip.a, kOdd, 50, false, 0, kOdd},  {flip.a, kEven, 4, false, 0, kEven},  // beyond the table
      {flip.a, kEven, 1, false, 0, kEven}};
  for (const Row& r : rows) {
    int dir = r.dir;
    EXPECT_EQ(NextSection(r.area, dir, r.section, r.side), r.next) << r.section;
    EXPECT_EQ(dir, r.dirAfter) << r.section;
  }
  int dir = kOdd;
  try {
    NextSection(flip.a, dir, 2, true);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unexpected switch at parity flip");
  }
}

TEST(TrackWalkTest, GraphPeregonLengthAddsBothEndsAndFollowsFlips) {
  // [1]100--[2]200--[3]300--[4]400, end 0 at 1 and end 1 at 4
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
  for (int p : {0, 1, 2, -1}) EXPECT_EQ(GraphPeregonLength(r.a, p), 0) << p;
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
  const AreaBuilder b = TrackLampDistrict();
  for (const auto& [prev, lamp] : {std::pair{4, 10}, {6, 14}, {0, 12}, {7, 12}})
    EXPECT_EQ(SectionLamp(b.a, 5, prev), lamp) << "entered from " << prev;
  AreaBuilder deadEnd = TrackLampDistrict();  // no previous section: the middle lamp
  deadEnd.a.SlSects[6].Straight[kEven] = deadEnd.a.SlSects[5].Straight[kOdd] = 0;
  EXPECT_EQ(SectionLamp(deadEnd.a, 5, 0), 12);
  AreaBuilder noCount = TrackLampDistrict();  // no lamp count: the first lamp
  noCount.a.Puts[0].Tracks[1].LampCount = 0;
  for (int prev : {0, 4, 6}) EXPECT_EQ(SectionLamp(noCount.a, 5, prev), 10) << prev;
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
  const Row rows[] = {{"straight entry: last non-zero plus", {20, 21, 0}, {30, 31, 0}, 3, 21},
                      {"side entry: last non-zero minus", {20, 21, 0}, {30, 31, 32}, 7, 32},
                      {"no previous: plus", {20, 0, 22}, {30, 0, 0}, 0, 22},
                      {"no previous, no plus lamps: minus", {0, 0, 0}, {30, 0, 0}, 0, 30},
                      {"entry from the far end: A lamp", {20, 0, 0}, {30, 0, 0}, 5, 40},
                      {"straight entry without plus lamps: A lamp", {0, 0, 0}, {30, 0, 0}, 3, 40}};
  for (const Row& r : rows) {
    AreaBuilder b = TrackLampDistrict();
    TStrelData& sw = b.a.Strels[2];
    sw.LampsA[0] = 40;
    sw.LampsA[1] = 41;
    std::copy(r.plus.begin(), r.plus.end(), sw.PlusLamps);
    std::copy(r.minus.begin(), r.minus.end(), sw.MinusLamps);
    EXPECT_EQ(SectionLamp(b.a, 4, r.prev), r.lamp) << r.name;
  }
  AreaBuilder b = TrackLampDistrict();
  b.a.SlSects[4].Switch[kEven] = 9;  // no such switch
  for (int section : {4, 6, 0, 500}) EXPECT_EQ(SectionLamp(b.a, section, 0), 0) << section;
}

TEST(SectionLampTest, GetSwitchLampsGivesALampsThenPositionLamps) {
  AreaBuilder b(3);
  b.Switch(1, kOdd, 1, 2);
  b.a.Strels[1] = {1, 0, {1, 2}, {3, 4, 5}, {6, 7, 8}, 1};
  std::array<int, 5> lamps{};
  GetSwitchLamps(b.a, 1, false, lamps);
  EXPECT_EQ(lamps, (std::array<int, 5>{1, 2, 3, 4, 5}));
  GetSwitchLamps(b.a, 1, true, lamps);
  EXPECT_EQ(lamps, (std::array<int, 5>{1, 2, 6, 7, 8}));
  for (int none : {0, 2, -1}) {
    lamps = {9, 9, 9, 9, 9};
    GetSwitchLamps(b.a, none, true, lamps);
    EXPECT_EQ(lamps, (std::array<int, 5>{9, 9, 9, 9, 9})) << none;
  }
}

TEST(SectionLookupTest, FindTrackOfSectionInAllLPsOrInOne) {
  AreaBuilder b = TrackLampDistrict();
  const int lp2 = b.AddLP(41);
  b.AddTrack(lp2, 6, 1);
  b.AddTrack(lp2, 5, 2);
  // section, within LP, LP in, track, LP out
  const std::array<int, 5> rows[] = {{5, 0, 7, 1, 0},   {6, 0, 7, 0, 1},  {3, 0, 7, -1, -1},
                                     {5, 1, 1, 1, 1},   {6, 1, 0, -1, 0}, {6, 1, 5, -1, 5},
                                     {6, 1, -1, -1, -1}};
  for (const auto& [section, within, lpIn, track, lpOut] : rows) {
    int lp = lpIn;
    EXPECT_EQ(FindTrackOfSection(b.a, lp, section, within != 0), track) << section << within;
    EXPECT_EQ(lp, lpOut) << section << within;
  }
  const TAreaData facing = FacingSwitchDistrict();
  EXPECT_EQ(SectionSemaphore(facing, 5, kOdd), 0);
  for (const auto& [section, dir] : {std::pair{5, kEven}, {0, kOdd}, {70, kOdd}, {5, 2}})
    EXPECT_EQ(SectionSemaphore(facing, section, dir), -1) << section << "/" << dir;
  TAreaData broken = facing;
  broken.SlSects[2].Semaphore[kOdd] = 8;
  EXPECT_EQ(SectionSemaphore(broken, 2, kOdd), -1);
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
  b.AddThroat(10, 1, 1, 15, 25);
  b.AddThroat(10, 0, 0);
  b.AddThroat(30, 1, 1);
  b.a.GorlStanzs[0].EntrySection = b.a.GorlStanzs[1].EntrySection = 2;
  b.a.GorlStanzs[2].EntrySection = 2;
  b.a.GorlStanzs[2].Flip = 1;
  return b;
}

TEST(PositionTest, LocateSectionPositionOnTracksAndPeregonEnds) {
  AreaBuilder b = PeregonDistrict();
  // section, offset, track, LP, edge track
  const std::array<int, 5> rows[] = {
      {4, 123, 0, 1, 0},   // a track section gives its track and LP
      {3, 0, -2, 1, -1},   // end-1 section at offset 0: LP at end 1, before its first track
      {2, 700, -2, 0, 1},  // end-0 section at its length: LP at end 0, its last track
      {3, 800, -2, -1, -2}, {2, 0, -2, -1, -2}, {2, 5, -2, -1, -2}, {99, 0, -2, -1, -2}};
  for (const auto& [section, offset, track, lp, edge] : rows) {
    const SectionPosition pos = LocateSectionPosition(b.a, section, offset);
    EXPECT_EQ((std::array<int, 3>{pos.Track, pos.LP, pos.EdgeTrack}),
              (std::array<int, 3>{track, lp, edge}))
        << section << "/" << offset;
  }
  b.a.GraphPeregons[0].LP[1] = 9;  // beyond the LP table
  const SectionPosition pos = LocateSectionPosition(b.a, 3, 0);
  EXPECT_EQ(pos.LP, -1);
  EXPECT_EQ(pos.EdgeTrack, -2);
  b.a.GraphPeregons.push_back(b.a.GraphPeregons[0]);
  const std::array<int, 3> ends[] = {{2, 0, 1}, {2, 1, -1}, {3, 1, 1}, {0, 1, -1}, {2, 2, -1}};
  for (const auto& [section, end, peregon] : ends)
    EXPECT_EQ(FindGraphPeregonByEnd(b.a, section, end), peregon) << section << "/" << end;
}

TEST(ThroatTest, ThroatsOfLPsNeighboursAndSignals) {
  AreaBuilder b = PeregonDistrict();
  for (const auto& [lp, n, throat] :
       {std::array{0, 0, 0}, {0, 1, -1}, {1, 0, -1}, {-1, 0, -1}, {0, -1, -1}, {8, 0, -1}})
    EXPECT_EQ(FindThroatOfLP(b.a, lp, n), throat) << lp << "/" << n;
  // The neighbour is at the peregon end parity XOR flip: B for 0, none for 1, A for the flip.
  for (const auto& [throat, code] : {std::pair{0, 20}, {1, -1}, {2, 10}, {-1, -1}, {3, -1}})
    EXPECT_EQ(ThroatNeighbourLP(b.a, throat), code) << throat;
  EXPECT_EQ(FindThroatBySignal(b.a, 10, 0), 0);   // odd from 2 meets the odd signal on 3
  EXPECT_EQ(FindThroatBySignal(b.a, 30, 0), -1);  // flipped: walks even from 2
  EXPECT_EQ(FindThroatBySignal(b.a, 10, -1), -1);
  EXPECT_EQ(FindThroatBySignal(b.a, 99, 0), -1);
  for (int lp : {0, 12}) {
    b.a.GraphPeregons[0].LP[1] = lp;  // missing or beyond the table
    EXPECT_EQ(ThroatNeighbourLP(b.a, 0), -1) << lp;
  }
  b.a.GorlStanzs[0].Peregon = 4;
  EXPECT_EQ(ThroatNeighbourLP(b.a, 0), -1);
}

TEST(ThroatTest, ThroatServesCodesInItsRange) {
  const AreaBuilder b = PeregonDistrict();
  struct Row {
    int throat, code1, code2;
    bool serves;
  };
  const Row rows[] = {{0, 20, 0, true},  {0, 0, 20, true},   {0, 30, 20, false}, {0, 15, 0, true},
                      {0, 25, 0, true},  {0, 14, 0, false},  {0, 10, 0, false},  {1, 99, 0, true},
                      {1, 10, 0, false}, {1, -5, 10, false}, {-1, 20, 0, false}, {9, 20, 0, false}};
  for (const Row& r : rows)
    EXPECT_EQ(ThroatServes(b.a, r.throat, r.code1, r.code2), r.serves)
        << r.throat << " " << r.code1 << " " << r.code2;
}

// --- Lookups and the timetable ----------------------------------------------------------------

TEST(LookupTest, SearchesTakeTheLastMatch) {
  AreaBuilder b(2);
  for (int code : {10, 20, 10}) b.AddLP(code);
  for (int code : {5, 6, 5}) b.a.Stanzs.emplace_back().Code = code;
  b.a.CreationPlans.resize(3);
  for (int i : {0, 1, 2}) b.a.CreationPlans[i].Number = i == 1 ? 2002 : 2001;
  EXPECT_EQ((std::vector<int>{FindLPIndex(b.a, 10), FindLPIndex(b.a, 20), FindLPIndex(b.a, 30)}),
            (std::vector<int>{2, 1, -1}));
  EXPECT_EQ((std::vector<int>{FindStationIndex(b.a, 5), FindStationIndex(b.a, 6),
                              FindStationIndex(b.a, 7)}),
            (std::vector<int>{2, 1, -1}));
  EXPECT_EQ((std::vector<int>{FindCreationPlan(b.a, 2001), FindCreationPlan(b.a, 2002),
                              FindCreationPlan(b.a, 1)}),
            (std::vector<int>{2, 1, -1}));
  b.a.StationCount = 2;
  b.a.GraphFragms.resize(1);
  b.a.GraphFragms[0].Coordinate = 1234;
  for (const auto& [station, km] : {std::pair{0, 1234}, {1, 0}, {2, 0}, {-1, 0}})
    EXPECT_EQ(StationCoordinate(b.a, station), km) << station;  // 1 has no fragment record
}

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

TEST(TimetableTest, ListsTrainsAndTheirEnds) {
  TAreaData area;
  area.PassTrains[1] = {Train({101, 0, 0, 0}, 30, {LPStop(10, 7), LPStop(30)}),
                        Train({103, 0, 0, 0}, 30)};
  area.GruzTrains[0] = {Train({2002, 0, 0, 0}, 10, {SectionStop(4), LPStop(10)})};
  area.GruzTrains[1] = {Train({2003, 0, 0, 0}, 40, {LPStop(20, 9), LPStop(40)})};
  EXPECT_EQ(&GetScheduleTrains(area, 0, false), &area.PassTrains[0]);
  EXPECT_EQ(&GetScheduleTrains(area, 1, true), &area.GruzTrains[1]);
  const auto ends = [&](bool freight, int number) {
    const ScheduleTrainEnds e = GetScheduleTrainEnds(area, freight, number);
    return std::array<int, 3>{e.LocoType, e.FirstLPCode, e.LastLPCode};
  };
  EXPECT_EQ(ends(false, 101), (std::array<int, 3>{7, 10, 30}));
  EXPECT_EQ(ends(true, 2003), (std::array<int, 3>{9, 20, 40}));
  // Without stops, starting at a section, of the other kind, or unknown: nothing.
  for (const auto& [freight, number] :
       {std::pair{false, 103}, {true, 2002}, {false, 2003}, {true, 5}})
    EXPECT_EQ(ends(freight, number), (std::array<int, 3>{0, 0, 0})) << number;
  const TGraphTrainsData trains = {Train({101, 103, 0, 0}, 0), Train({105, 0, 0, 0}, 0),
                                   Train({107, 109, 111, 103}, 0)};
  for (const auto& [number, train] : {std::pair{101, 0}, {103, 2}, {111, 2}, {999, -1}, {0, -1}})
    EXPECT_EQ(FindScheduleTrain(trains, number), train) << number;  // 0 is no train number
}

TEST(TimetableTest, StopSearchesFromTheStartOrOnlyTheFirstStopOfTheirKind) {
  // Stops: 0 LP 10, 1 section 5, 2 LP 20, 3 section 6, 4 LP 30.
  const TGraphTrainsData trains = {Train(
      {1, 0, 0, 0}, 30, {LPStop(10), SectionStop(5), LPStop(20), SectionStop(6), LPStop(30)})};
  // code, start, stop: from start 0 the whole list; from k only the first LP stop counts;
  // code 0 is any LP stop
  const std::array<int, 3> byLP[] = {{30, 0, 4},  {10, 0, 0}, {20, 0, 2},  {99, 0, -1},
                                     {30, 2, -1}, {20, 2, 2}, {20, 1, 2},  {30, 3, 4},
                                     {0, 1, 2},   {0, 0, 0},  {30, 5, -1}, {30, -1, -1}};
  for (const auto& [code, start, stop] : byLP)
    EXPECT_EQ(FindTrainStopByLP(trains, 0, code, start), stop) << code << "@" << start;
  const std::array<int, 3> bySection[] = {{6, 0, 3}, {5, 0, 1},  {7, 0, -1}, {6, 1, -1}, {5, 1, 1},
                                          {6, 2, 3}, {7, 2, -1}, {5, 4, -1}, {6, 5, -1}};
  for (const auto& [section, start, stop] : bySection)
    EXPECT_EQ(FindTrainStopBySection(trains, 0, section, start), stop) << section << "@" << start;
  EXPECT_EQ(FindTrainStopByLP(trains, 1, 30, 0), -1);
  EXPECT_EQ(FindTrainStopByLP(trains, -1, 30, 0), -1);
  EXPECT_EQ(FindTrainStopBySection(trains, 3, 6, 0), -1);
}

// --- Routes -----------------------------------------------------------------------------------

TEST(RouteQueryTest, SwitchEntriesDecodeWithTheDistrictBase) {
  TAreaData area;
  area.SwitchCount = 25;
  // base, entry, switch, minus: the 3 / 13 / 115 example with base 100, then base 10 and 0
  const std::array<int, 4> rows[] = {{100, 3, 3, 0},   {100, 13, 13, 0}, {100, 115, 15, 1},
                                     {100, 203, 3, 0}, {100, 0, 0, 0},   {10, 13, 3, 1},
                                     {10, 3, 3, 0},    {0, 13, 0, 0}};  // never divides by zero
  for (const auto& [base, entry, sw, minus] : rows) {
    area.SwitchPosBase = base;
    EXPECT_EQ(RouteEntrySwitch(area, entry), sw) << base << "/" << entry;
    EXPECT_EQ(RouteEntryIsMinus(area, entry), minus != 0) << base << "/" << entry;
  }
}

TEST(RouteQueryTest, DirectionAndFindRouteTakingTheLastMatch) {
  EXPECT_EQ(RouteDirection(Route(1, 3, 0, 0)), kOdd);
  EXPECT_EQ(RouteDirection(Route(3, 1, 0, 0)), kEven);
  EXPECT_EQ(RouteDirection(Route(2, 2, 0, 0)), kEven);
  AreaBuilder b(2);
  b.AddLP(10);
  auto& routes = b.a.TrainRoutes[0].Routes;
  routes = {Route(1, 3, 0, 0), Route(1, 3, 0, 0), Route(1, 3, 0, 0)};
  routes[1].EndPosition = 5;
  EXPECT_EQ(FindRoute(b.a, 0, 1, 1, 3, 1), 2);
  EXPECT_EQ(FindRoute(b.a, 0, 1, 1, 3, 5), 1);
  EXPECT_EQ(FindRoute(b.a, 0, 3, 1, 1, 1), -1);  // start and end not exchanged
  EXPECT_EQ(FindRoute(b.a, 1, 1, 1, 3, 1), -1);
  EXPECT_EQ(FindRoute(b.a, -1, 1, 1, 3, 1), -1);
}

std::array<int, 4> Q(const RouteQuality& q) {
  return {q.Suitable, q.Minus, q.Routes, q.Switches};
}

TEST(RouteQueryTest, RouteQualityComparesSuitableThenMinusThenRoutesThenSwitches) {
  EXPECT_EQ(Q(InitRouteQuality()), (std::array<int, 4>{0, 255, 255, 255}));
  const std::array<RouteQuality, 2> better[] = {
      {{{1, 5, 5, 5}, {0, 0, 1, 1}}},   // more suitable tracks beat everything
      {{{1, 1, 5, 5}, {1, 2, 1, 1}}},   // then fewer minus switches
      {{{1, 1, 2, 9}, {1, 1, 3, 1}}},   // then fewer routes
      {{{1, 1, 2, 4}, {1, 1, 2, 5}}}};  // then fewer switches
  for (const auto& [first, second] : better) {
    EXPECT_EQ(CompareRouteQuality(first, second), 1) << first.Minus << first.Routes;
    EXPECT_EQ(CompareRouteQuality(second, first), -1) << first.Minus << first.Routes;
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
  const BestRouteRow rows[] = {
      {"equal ratings keep the earlier chain",
       {},
       {Chain(1, 9, {2, 3}), Chain(1, 9, {2, 3})},
       0,
       {0, 0, 2, 2}},
      {"without a minus switch wins on equal suitable counts",
       {},
       {Chain(1, 9, {4}), Chain(1, 9, {2, 3})},
       1,
       {0, 0, 2, 2}},
      {"more suitable tracks win over minus switches",
       {Route(1, 4, 4, 6)},
       {Chain(1, 9, {2, 3}), Chain(1, 9, {0, 7, 6})},
       1,
       {1, 1, 3, 1}},
      {"the first route ending on a track is not counted",
       {Route(1, 4, 1, 9, {{1, false}})},
       {Chain(1, 9, {5, 6}), Chain(1, 9, {7})},
       1,
       {0, 0, 1, 1}},
      {"a kind-5 track of the other parity does not suit",
       {Route(1, 4, 5, 4), Route(1, 4, 5, 6)},
       {Chain(1, 9, {2, 7, 1}), Chain(1, 9, {2, 8, 6})},
       1,
       {1, 0, 3, 1}},
      {"fewer routes, then fewer switches",
       {Route(1, 4, 1, 9, {{1, false}, {2, false}}), Route(1, 4, 1, 9, {{1, false}})},
       {Chain(1, 9, {2, 3}), Chain(1, 9, {7}), Chain(1, 9, {8})},
       2,
       {0, 0, 1, 1}},
      {"no chain to 9, or a broken one",
       {},
       {Chain(1, 8, {2, 3}), Chain(1, 9, {2, 42})},
       -1,
       {0, 255, 255, 255}},
  };
  for (const BestRouteRow& r : rows) {
    SCOPED_TRACE(r.scenario);
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
    EXPECT_EQ(FindBestRoute(b.a, 0, 1, 9, &q), r.best);
    EXPECT_EQ(Q(q), r.quality);
    if (r.best == -1) {
      EXPECT_EQ(FindBestRoute(b.a, 0, 1, 8), 0);
      EXPECT_EQ(FindBestRoute(b.a, 3, 1, 8), -1);
      EXPECT_EQ(FindBestRoute(b.a, -1, 1, 8), -1);
    }
  }
}

TEST(RouteQueryTest, AnyKindFiveTrackSuitsWhenTheLPHasNoneOfTheOwnParity) {
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

}  // namespace
}  // namespace traklin::test
