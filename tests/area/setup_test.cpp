// The start-up set-up of a district: peregon completion, the lamps laid out at start-up,
// station resolution, rings, the reference checks, the route check with golden lists on built
// and text districts, and the report of traklin-cli check.
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "area/area_reader.h"
#include "area/area_report.h"
#include "area/district_check.h"
#include "area/district_setup.h"
#include "area_builder.h"
#include "district_text.h"
#include "state/text_districts.h"

namespace traklin::test {
namespace {
std::string Completion(TAreaData& area, const SetupOptions& options = {}) {
  return ErrorOf([&] { CompletePeregons(area, options); });
}

TEST(PeregonCompletionTest, BrokenPeregonsAndFlipsWithoutThroatsAreRefused) {
  // clang-format off
  const std::pair<std::function<void(AreaBuilder&)>, const char*> rows[] = {
      // [1] >-< [2], no peregon
      {[](AreaBuilder& b) { b.Flip(1, 2); }, "Inlet expected at parity flip at0001h"},
      // A: [1] ==P1 (4 block lamps)== [2]--[3] and then nothing
      {[](AreaBuilder& b) { b.Line({1, 2, 3}), b.AddPeregon(0, -1, 2, 10, 13); }, "Graph peregon 1 breaks off after section 0003h with 2 of its 4 block sections left"},
      // [1]--[2]--[1]... with 100 block lamps
      {[](AreaBuilder& b) { b.Line({1, 2, 1}), b.AddPeregon(0, -1, 1, 10, 109); }, "Graph peregon 1 has more block sections than the district has sections"}};
  // clang-format on
  for (const auto& [spoil, message] : rows) {
    AreaBuilder b(4, 120);
    b.AddStation(1, "A");
    spoil(b);
    EXPECT_EQ(Completion(b.a), message);
  }
}

TEST(PeregonCompletionTest, ASingleBlockSectionOf4000mIsSpare) {
  for (int length : {3999, 4000}) {
    AreaBuilder b(3, 20);
    b.Line({1, 2});
    b.a.SlSects[2].Length = length;
    b.AddPeregon(b.AddStation(1, "A"), -1, 2, 10, 10);
    ASSERT_EQ(Completion(b.a), "no error");
    EXPECT_EQ(b.a.GraphPeregons[0].Flag, length >= 4000 ? 1 : 0) << length;
    EXPECT_EQ(b.a.SlSects[2].Spare, length >= 4000 ? 1 : 0) << length;
  }
}

// Stations A (anchor 100,50) and B (anchor 500,50; placed at 600,50 by the view) in one row,
// joined by a drawn peregon of seven sections and block lamps 10..16, direction lamps 17 and
// 18, departure-commit lamps 19 (B, even side) and 20 (A, odd side):
//
//   A: [1] track ==P1== [2]--[3]--[4]--[5]--[6]--[7]--[8] ==  [9] track :B
AreaBuilder LaidOutLine() {
  AreaBuilder b(10, 40);
  const int a = b.AddStation(1, "A", 100, 50);
  const int bb = b.AddStation(2, "B", 500, 50);
  b.Line({1, 2, 3, 4, 5, 6, 7, 8, 9});
  b.AddTrack(a, 1, 1, 1, 30, 1);
  b.AddTrack(bb, 9, 1, 1, 31, 1);
  b.a.GraphLamps[30] = {90, 49, 12, 3, 0, 0};
  b.a.GraphLamps[31] = {500, 49, 14, 3, 0, 1};
  const int p = b.AddPeregon(a, bb, 2, 10, 16, 1);
  TGraphPeregonData& gp = b.a.GraphPeregons[0];
  gp.Offsets[0] = 20;
  gp.Offsets[2] = -20;
  gp.DirectionLamps[0] = 17;
  gp.DirectionLamps[1] = 18;
  b.AddThroat(1, 1, p);
  b.AddThroat(2, 0, p);
  b.a.GraphFragms[0].DepartCommitLamp[1] = 20;
  b.a.GraphFragms[1].DepartCommitLamp[0] = 19;
  TGraphVidData& view = b.a.GraphVids.emplace_back();
  view.Values[0] = 800;
  view.Fragms = {{100, 50, 0, 0}, {600, 50, 0, 0}};
  return b;
}

/// lamp: x y width station (station only when laid out)
std::vector<std::string> Lamps(const TAreaData& area, int first, int last) {
  std::vector<std::string> lines;
  for (int k = first; k <= last; ++k) {
    const TGraphLampData& l = area.GraphLamps[k];
    lines.push_back(l.Width == 0 ? fmt::format("{}: {} {} -", k, l.X, l.Y)
                                 : fmt::format("{}: {} {} {} {}", k, l.X, l.Y, l.Width, l.Station));
  }
  return lines;
}

TEST(SetupLampTest, WithShowAllOffTwoBlockLampsAreLaidOutAtEachEnd) {
  AreaBuilder b = LaidOutLine();
  SetupOptions options;
  options.ShowAllBlockSect = false;
  ASSERT_EQ(Completion(b.a, options), "no error");
  EXPECT_EQ(Lamps(b.a, 10, 16), (std::vector<std::string>{"10: 116 49 12 0", "11: 136 49 12 0",
                                                          "12: 0 0 -", "13: 0 0 -", "14: 0 0 -",
                                                          "15: 440 49 12 1", "16: 460 49 12 1"}));
  EXPECT_EQ(b.a.GraphLamps[10].Thickness, 3);
}

TEST(SetupLampTest, WithShowAllOnEveryBlockLampIsLaidOutWhenThereIsRoom) {
  AreaBuilder b = LaidOutLine();
  ASSERT_EQ(Completion(b.a), "no error");
  // XA = 120, XB = 580: length 460, half 230 - 8; room1 246, room2 222; shifts 166 and 158.
  // Direction lamps at the midpoint (120 + 580) / 2 - 5 = 345 on the screen; B is shifted by
  // 100 there.
  EXPECT_EQ(Lamps(b.a, 10, 20),
            (std::vector<std::string>{"10: 282 49 12 0", "11: 302 49 12 0", "12: 322 49 12 0",
                                      "13: 342 49 12 0", "14: 262 49 12 1", "15: 282 49 12 1",
                                      "16: 302 49 12 1", "17: 245 35 10 1", "18: 345 63 10 0",
                                      "19: 269 35 10 1", "20: 321 63 10 0"}));
  // Rows differ, so lamp L1 + 1 is used; L1 is the last lamp of the table.
  AreaBuilder rows = LaidOutLine();
  rows.a.GraphVids[0].Fragms[1].Y = 200;
  rows.a.GraphPeregons[0].DirectionLamps[0] = 39;
  EXPECT_EQ(Completion(rows.a), "Direction lamp 40 of graph peregon 1 out of bounds");
}

TEST(SetupLampTest, NameLampsAreCentredOnTheAnchorAndTheTableGrows) {
  AreaBuilder b(2, 2);
  b.AddStation(1, "Abc", 100, 50);
  b.AddStation(2, "Яд", 300, 60);
  b.AddStation(3, "", 500, 70);
  TGraphVidData& view = b.a.GraphVids.emplace_back();
  view.Fragms = {{0, 0, 1012, 0}, {0, 0, 8, 0}};  // the third station is not placed
  SetupOptions options;
  options.TextWidth = [](const std::string& s) { return 7 * static_cast<int>(s.size()); };
  SetNameLamps(b.a, options);
  ASSERT_EQ(b.a.GraphLamps.size(), 4u);
  // "Яд" is four bytes in UTF-8: width 28 + 16.
  EXPECT_EQ(Lamps(b.a, 1, 3),
            (std::vector<std::string>{"1: 82 38 37 0", "2: 278 68 44 1", "3: 492 70 16 2"}));
  EXPECT_EQ(b.a.GraphLamps[1].Thickness, 16);
  EXPECT_EQ(b.a.GraphLamps[1].Shape, 0);
  SetNameLamps(b.a, SetupOptions{});  // six pixels per character by default
  EXPECT_EQ(b.a.GraphLamps[2].Width, 12 + 16);
}

// X (code 1) ==P1== Y (code 2) ==P2== Z (code 3); the line goes on beyond Z towards codes
// the district does not hold. Throats of X: t0 odd to P1 serving codes 3..50; t1 even,
// side +1, without a peregon, serving 30..45; t2 odd, side -1, serving 40..40 (never chosen).
AreaBuilder ResolutionLine() {
  AreaBuilder b(2, 4);
  const int x = b.AddStation(1, "X");
  const int y = b.AddStation(2, "Y");
  const int p1 = b.AddPeregon(x, y, 1);
  b.AddPeregon(y, b.AddStation(3, "Z"), 1);
  b.AddThroat(1, 1, p1, 3, 50);
  b.AddThroat(1, 4, 0, 30, 45);
  b.AddThroat(1, 7, p1, 40, 40);
  for (int code : {20, 40, 60}) b.Name(code, "Outside " + std::to_string(code));
  return b;
}

TEST(StationResolutionTest, CodesResolveThroughTheNarrowestRangeAndTheFirstOfEqualOnes) {
  AreaBuilder b = ResolutionLine();
  b.Name(25, "");  // an unnamed entry is left alone
  b.a.Stations[25].LPCode = 77;
  ResolveStations(b.a);
  // an LP of the district; only t0: walked out over P1 and P2 to Z; t1 is narrower and has no
  // peregon, so X's own code; no range holds 60; unnamed
  for (const auto& [code, lpCode] : {std::pair{2, 2}, {20, 3}, {40, 1}, {60, -1}, {25, 77}})
    EXPECT_EQ(b.a.Stations[code].LPCode, lpCode) << code;
  AreaBuilder equal = ResolutionLine();
  equal.a.GorlStanzs[1].CodeLow = 3;
  equal.a.GorlStanzs[1].CodeHigh = 50;  // as wide as t0, but later
  ResolveStations(equal.a);
  EXPECT_EQ(equal.a.Stations[40].LPCode, 3);
  // X ==P1== Y ==P2== X: a walk round the ring comes back to P1 and stops there.
  AreaBuilder ring(2, 4);
  const int x = ring.AddStation(1, "X");
  const int y = ring.AddStation(2, "Y");
  ring.AddThroat(1, 1, ring.AddPeregon(x, y, 1), 3, 50);
  ring.AddPeregon(y, x, 1);
  ring.Name(20, "Outside");
  ResolveStations(ring.a);
  EXPECT_EQ(ring.a.Stations[20].LPCode, 1);
}

TEST(RingTest, HashFollowsTheRecurrenceAndRingsGoToLPs) {
  const std::array<int, 3> hashes[] = {{-1, 7, 29 % 7},    {-5, 4, 1},        {0, 1000, 396},
                                       {0, 7, 396 % 7},    {1, 100000, 4433}, {2, 100000, 48840},
                                       {3, 100000, 13029}, {3, 10, 9}};
  for (const auto& [k, n, h] : hashes) EXPECT_EQ(RingHash(k, n), h) << k << "/" << n;
  // Stations A (1) and B (2), further LPs C (3) and D (4). With ring 0: A draws H(0, 1) = 0 ->
  // ring 2, B has its own, C and D the default. Without ring 0 the own rings {2, 4} make the
  // list: the default is H(2, 2) = 0 -> 2, A draws H(0, 2) = 0 -> 2. Without files: none.
  struct Row {
    std::set<int> files;
    int defaultRing;
    std::array<int, 4> rings;
  };
  const Row rows[] = {
      {{0, 2}, 0, {2, 2, 0, 0}}, {{2, 4}, 2, {2, 2, 2, 4}}, {{}, -1, {-1, -1, -1, -1}}};
  for (const Row& r : rows) {
    AreaBuilder b(2, 4);
    b.AddStation(1, "A");
    b.AddStation(2, "B");
    b.AddLP(3, "C");
    b.AddLP(4, "D");
    EXPECT_EQ(AssignRings(b.a, [&](int n) { return r.files.count(n) > 0; }), r.defaultRing);
    EXPECT_EQ((std::array<int, 4>{b.a.Puts[0].Ring, b.a.Puts[1].Ring, b.a.Puts[2].Ring,
                                  b.a.Puts[3].Ring}),
              r.rings);
  }
  AreaBuilder b(2, 4);
  b.AddStation(1, "A");
  EXPECT_EQ(AssignRings(b.a, nullptr), -1);
  EXPECT_EQ(b.a.Puts[0].Ring, -1);
}

TEST(ReferenceCheckTest, EachBrokenReferenceIsNamed) {
  // clang-format off
  const std::pair<std::function<void(AreaBuilder&)>, const char*> rows[] = {
      {[](AreaBuilder& b) { b.a.Sekzs[3] = 40; }, "Lamp 40 of section 3 out of bounds"},
      {[](AreaBuilder& b) { b.a.GraphFragms[1].DepartCommitLamp[1] = 99; }, "Departure commit lamp 99 of station 1 out of bounds"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[1].LP[1] = 9; }, "Graph peregon 2 refers to unknown LP 9"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[0].EndSection[0] = 0; }, "Graph peregon 1 end section 0 out of bounds"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[0].Drawn = 1, b.a.GraphPeregons[0].LP[0] = 0; }, "Graph peregon 1 is drawn but has no station at end 0"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[0].BlockLamps[1] = 45; }, "Block lamps 0..45 of graph peregon 1 out of bounds"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[0].DirectionLamps[1] = -2; }, "Direction lamp -2 of graph peregon 1 out of bounds"},
      {[](AreaBuilder& b) { b.a.Puts[2].Code = 13; }, "LP code 13 of LP 2 has no entry among the station names"},
      // throat t1 numbered 1, so the exit signal on track I may light lamp 40
      {[](AreaBuilder& b) { b.a.GorlStanzs[1].Number = 1, b.AddSignal(3, kOdd, 39); }, "Second lamp 40 of semaphore at section 03h out of bounds"},
      // a third peregon from W ends at section 1 too, with a throat of S of its own
      {[](AreaBuilder& b) { b.AddThroat(10, 0, b.AddPeregon(1, 0, 1)); }, "Double peregon (3) usage (2<>0)"}};
  // clang-format on
  for (const auto& [spoil, message] : rows) {
    AreaBuilder b = TwoTrackStation();
    spoil(b);
    EXPECT_EQ(ErrorOf([&] { PrepareDistrict(b.a, SetupOptions{}); }), message);
  }
}

using Lines = std::vector<std::string>;

// One line per route: start kind/position > end kind/position, start and end lamp, sections,
// decoded switches (number + or -), encoded entries, the two flag bytes.
Lines Golden(const TLPRoutesData& lp) {
  Lines lines;
  for (const TTrainRouteData& r : lp.Routes) {
    std::string sections, decoded, encoded;
    for (int section : r.Sections) {
      if (section == 0) break;
      sections += fmt::format("{}{}", sections.empty() ? "" : " ", section);
    }
    for (int i = 0; i < kMaxRouteSwitches && r.Switches[i] != 0; ++i) {
      decoded +=
          fmt::format("{}{}{}", i == 0 ? "" : " ", r.SwitchNumber[i], r.SwitchMinus[i] ? '-' : '+');
      encoded += fmt::format("{}{}", i == 0 ? "" : " ", r.Switches[i]);
    }
    lines.push_back(fmt::format("{}/{}>{}/{} L{}-{} [{}] {{{}}} ({}) f{}{}", r.StartKind,
                                r.StartPosition, r.EndKind, r.EndPosition, r.StartLamp, r.EndLamp,
                                sections, decoded, encoded, r.Flags[0], r.Flags[1]));
  }
  return lines;
}

Lines GoldenChains(const std::vector<TChainData>& chains) {
  Lines lines;
  for (const TChainData& c : chains)
    lines.push_back(
        fmt::format("{}>{} [{}]", c.StartSection, c.EndSection, fmt::join(c.Routes, " ")));
  return lines;
}

std::string Failure(TAreaData& area) {
  return ErrorOf([&] { CheckRoutes(area); });
}

/// A route as Data_Marsh_P gives it: raw switch entries, nothing decoded yet.
TTrainRouteData FileRoute(int startKind, int endKind, int first, int last,
                          const std::vector<int>& entries = {}) {
  TTrainRouteData r = Route(startKind, endKind, first, last);
  int i = 0;
  for (int e : entries) r.Switches[i++] = e;
  return r;
}

// LP P (code 20) without throats, whose routes come from the file:
//
//   [1]--[2]=sw1=+--[3]--[4]        [6]>-<[7]  (parity flip between 6 and 7)
//                 \--[5]
AreaBuilder FileRouteStation(std::vector<TTrainRouteData> routes = {}, int switchCount = 1) {
  AreaBuilder b(9, 10);
  b.AddStation(20, "P");
  b.Line({1, 2});
  b.Switch(2, kOdd, 1, 5, 3);
  b.Line({3, 4});
  b.Flip(6, 7);
  b.a.TrainRoutes[0].Routes = std::move(routes);
  b.a.TrainRoutes[0].RouteCount = static_cast<int>(b.a.TrainRoutes[0].Routes.size());
  b.a.TrainRoutes[0].SwitchCount = switchCount;
  return b;
}

TEST(FileRouteCheckTest, EachFaultyRouteGivesItsReason) {
  const std::tuple<TTrainRouteData, int, const char*> rows[] = {
      {FileRoute(1, 3, 1, 3), 1, "Route lacks the forward switch 1"},
      {FileRoute(1, 3, 1, 3, {1, 1}), 2, "Double forward switch 1 in route"},
      {FileRoute(3, 1, 3, 1), 1, "Route lacks the reverse switch 1"},
      {FileRoute(3, 1, 3, 1, {1, 1}), 2, "Double reverse switch 1 in route"},
      {FileRoute(3, 1, 3, 1, {11}), 1, "Switch 1should be straight but it is sideways"},
      {FileRoute(3, 1, 5, 1, {1}), 1, "Switch should be side but it is straight"},
      {FileRoute(1, 3, 1, 6, {1}), 1, "Unexpected route interruption after sect 4"},
      {FileRoute(1, 3, 6, 7), 1, "Inlet expected at parity flip."}};
  for (const auto& [route, z, reason] : rows) {
    AreaBuilder b = FileRouteStation({FileRoute(1, 3, 1, 4, {1}), route}, z);  // a good one first
    EXPECT_EQ(
        Failure(b.a),
        std::string("Error testing routes of LP  0\r\n\r\nError at route 1\r\n\r\n") + reason);
  }
  // A straight line [1]--[2]--...--[49]: 42 sections are the longest route.
  for (int last : {42, 43}) {
    AreaBuilder b(50, 4);
    b.AddStation(20, "P");
    for (int s = 1; s < 49; ++s) b.Line({s, s + 1});
    b.a.TrainRoutes[0].Routes.push_back(FileRoute(1, 3, 1, last));
    EXPECT_EQ(Failure(b.a), last == 42 ? "no error"
                                       : "Error testing routes of LP  0\r\n\r\nError at route "
                                         "0\r\n\r\nToo many sections in route, max 42");
  }
}

TEST(FileRouteCheckTest, GoodRoutesAreExpandedAndDecodedWithTheFinalBase) {
  AreaBuilder b = FileRouteStation(
      {FileRoute(1, 3, 1, 5, {11}), FileRoute(3, 1, 4, 1, {1}), FileRoute(1, 3, 6, 6, {0})});
  ASSERT_EQ(Failure(b.a), "no error");
  EXPECT_EQ(Golden(b.a.TrainRoutes[0]),
            (Lines{"1/1>3/1 L0-0 [1 2 5] {1-} (11) f00", "3/1>1/1 L0-0 [4 3 2 1] {1+} (1) f00",
                   "1/1>3/1 L0-0 [6] {} () f00"}));
  EXPECT_EQ(b.a.TrainRoutes[0].RouteCount, 3);
  // With 25 switches the entry 115 has raised the base to 100, and then 13 is switch 13 plus;
  // with base 10, 13 is switch 3 minus.
  const std::tuple<int, std::vector<int>, const char*> rows[] = {
      {100, {3, 13, 115}, "2/1>3/1 L0-0 [4] {3+ 13+ 15-} (3 13 115) f00"},
      {10, {3, 13}, "2/1>3/1 L0-0 [4] {3+ 3-} (3 13) f00"}};
  for (const auto& [base, entries, golden] : rows) {
    AreaBuilder d =
        FileRouteStation({FileRoute(2, 3, 4, 4, entries)}, static_cast<int>(entries.size()));
    d.a.SwitchCount = 25;
    d.a.SwitchPosBase = base;
    ASSERT_EQ(Failure(d.a), "no error");
    EXPECT_EQ(Golden(d.a.TrainRoutes[0]), Lines{golden});
  }
}

// The same station with two throats on its odd side, beyond switch 16:
//
//   W ==P1== [1]--[2]=sw12=+--[3] I --+=sw15=[5]--[8]=sw16=+--[6] ==P2== E   t1: side +1
//                          \--[4] II -/                    \--[7] ==P3== F   t2: side -1
//
// A side +1 throat starts no route; routes ending at a side -1 throat are dropped.
TEST(RouteGenerationTest, TwoThroatsOnOneSideGiveTheGoldenRoutes) {
  AreaBuilder b(9, 40);
  const int s = b.AddStation(10, "S");
  const int w = b.AddStation(11, "W");
  const int e = b.AddStation(12, "E");
  const int f = b.AddStation(13, "F");
  b.Line({1, 2});
  b.Switch(2, kOdd, 12, 4, 3);
  b.Switch(5, kEven, 15, 4, 3);
  b.Line({5, 8});
  b.Switch(8, kOdd, 16, 7, 6);
  b.a.Sekzs[1] = 20;
  b.a.Sekzs[6] = 21;
  b.a.Sekzs[7] = 24;
  b.AddTrack(s, 3, 1, 1, 30, 3);
  b.AddTrack(s, 4, 2, 1, 33, 1);
  b.AddThroat(10, 0, b.AddPeregon(w, s, 1));
  b.AddThroat(10, 5, b.AddPeregon(s, e, 6));                   // odd, side +1, number 0
  b.AddThroat(10, 7, b.AddPeregon(s, f, 7));                   // odd, side -1, number 0
  b.a.TrainRoutes[0].Routes.assign(5, FileRoute(2, 3, 3, 3));  // file routes are replaced
  b.a.TrainRoutes[0].RouteCount = 5;
  PrepareDistrict(b.a, SetupOptions{});
  EXPECT_EQ(Golden(b.a.TrainRoutes[0]),
            (Lines{
                "1/2>3/2 L20-0 [1 2 4] {12-} (22) f00",
                "1/2>3/1 L20-0 [1 2 3] {12+} (12) f00",
                "4/1>2/2 L24-0 [7 8 5 4] {16- 15-} (26 25) f00",  // from t2 (side -1)
                "4/1>2/1 L24-0 [7 8 5 3] {16- 15+} (26 15) f00",
                "3/1>1/0 L0-31 [3 2 1] {12+} (12) f00",
                "2/1>4/1 L0-31 [3 5 8 6] {15+ 16+} (15 16) f00",  // to t1; not to t2
                "3/2>1/0 L0-33 [4 2 1] {12-} (22) f00",
                "2/2>4/1 L0-33 [4 5 8 6] {15- 16+} (25 16) f00",
            }));
  EXPECT_EQ(b.a.TrainRoutes[0].SwitchCount, 2);
  EXPECT_EQ(b.a.TrainRoutes[0].RouteCount, 8);
}

// The same station without the third throat, track I receiving only (mode 3):
//
//   W ==P1== [1]--[2]=sw12=+--[3] I --+=sw15=[5]--[8]=sw16=+--[6] ==P2== E
//                          \--[4] II -/                    \--[7]
//
// A train formed on track I from the one that came in still needs a way out: the routes out
// of I come after all the others, which keep the indices they have without them.
TEST(RouteGenerationTest, RoutesOutOfATrackThatOnlyReceivesComeLast) {
  AreaBuilder b(9, 40);
  const int s = b.AddStation(10, "S");
  const int w = b.AddStation(11, "W");
  const int e = b.AddStation(12, "E");
  b.Line({1, 2});
  b.Switch(2, kOdd, 12, 4, 3);
  b.Switch(5, kEven, 15, 4, 3);
  b.Line({5, 8});
  b.Switch(8, kOdd, 16, 7, 6);
  b.a.Sekzs[1] = 20;
  b.a.Sekzs[6] = 21;
  b.AddTrack(s, 3, 1, 3, 30, 3);
  b.AddTrack(s, 4, 2, 1, 33, 1);
  b.AddThroat(10, 0, b.AddPeregon(w, s, 1));
  b.AddThroat(10, 5, b.AddPeregon(s, e, 6));
  PrepareDistrict(b.a, SetupOptions{});
  const TLPRoutesData& routes = b.a.TrainRoutes[0];
  EXPECT_EQ(Golden(routes), (Lines{
                                "1/2>3/2 L20-0 [1 2 4] {12-} (22) f00",
                                "1/2>3/1 L20-0 [1 2 3] {12+} (12) f00",
                                "3/2>1/0 L0-33 [4 2 1] {12-} (22) f00",
                                "2/2>4/1 L0-33 [4 5 8 6] {15- 16+} (25 16) f00",
                                "3/1>1/0 L0-31 [3 2 1] {12+} (12) f00",  // out of track I
                                "2/1>4/1 L0-31 [3 5 8 6] {15+ 16+} (15 16) f00",
                            }));
  EXPECT_EQ(routes.ReceiveOnlyExits, 2);
  EXPECT_EQ(routes.RouteCount, 6);
  EXPECT_EQ(GoldenChains(routes.Chains),
            (Lines{"1>4 [0 -1 -1 -1 -1 -1]", "1>3 [1 -1 -1 -1 -1 -1]", "4>1 [2 -1 -1 -1 -1 -1]",
                   "4>6 [3 -1 -1 -1 -1 -1]", "3>1 [4 -1 -1 -1 -1 -1]", "3>6 [5 -1 -1 -1 -1 -1]"}));
}

// Tracks at both ends of section-by-section routes 1>2, 2>3, ... of the odd direction:
//   [1] track -- [2] -- [3] -- ... -- [k+1] track
TEST(ChainTest, ChainsKeepAtMostSixRoutesAndASearchInACircleEnds) {
  for (int routes : {6, 7}) {
    AreaBuilder b(10, 4);
    const int lp = b.AddStation(10, "S");
    b.Line({1, 2, 3, 4, 5, 6, 7, 8, 9});
    b.AddTrack(lp, 1, 1);
    b.AddTrack(lp, routes + 1, 2);
    for (int i = 0; i < routes; ++i)
      b.a.TrainRoutes[lp].Routes.push_back(Route(2, 3, i + 1, i + 2));
    EXPECT_EQ(GoldenChains(BuildChains(b.a, lp)),
              routes == 6 ? Lines{"1>7 [0 1 2 3 4 5]"} : Lines{});
  }
  // Routes 1>2, 2>3 and 3>2 of one direction; only section 1 is a track, so the search goes
  // round 2 and 3 until the chain is full.
  AreaBuilder b(5, 4);
  const int lp = b.AddStation(10, "S");
  b.AddTrack(lp, 1, 1);
  b.a.TrainRoutes[lp].Routes = {Route(2, 3, 1, 2), Route(2, 3, 2, 3), Route(2, 3, 3, 2)};
  EXPECT_TRUE(BuildChains(b.a, lp).empty());
}

TEST(SignalClassificationTest, KindsFollowTheRoutesFromTheSignal) {
  AreaBuilder b = FileRouteStation({FileRoute(1, 3, 1, 4, {1})});
  b.AddTrack(0, 4, 1);
  b.AddSignal(1, kOdd, 1);   // a route starts here, towards no throat: kind 3
  b.AddSignal(4, kEven, 2);  // routes only end here: kind 1
  b.AddSignal(3, kOdd, 3);   // routes only pass: kind 1
  ASSERT_EQ(Failure(b.a), "no error");
  const auto& s = b.a.Semaphores;
  EXPECT_EQ((std::vector<int>{s[0].Kind, s[0].LP, s[1].Kind, s[2].Kind, s[2].LP}),
            (std::vector<int>{3, 0, 1, 1, 0}));
  AreaBuilder off = FileRouteStation({}, 0);
  off.AddSignal(8, kOdd, 1);
  EXPECT_EQ(Failure(off.a), "Unknown LP for semaphore at section 08h");
  // A station signal towards a throat is kind 1; S has switch routes on both sides and so is
  // not single-sided, W has no routes at all.
  AreaBuilder station = TwoTrackStation();
  const int exit = station.AddSignal(3, kOdd, 34);
  PrepareDistrict(station.a, SetupOptions{});
  EXPECT_EQ(station.a.Semaphores[exit].Kind, 1);
  EXPECT_EQ(station.a.Semaphores[exit].LP, 0);
  EXPECT_EQ(station.a.Puts[0].SingleSided, 0);
  EXPECT_EQ(station.a.Puts[1].SingleSided, 1);
}

// --- Districts read from text (see tests/state/text_districts.h for their sketches) ----------

using text_districts::ControlledStation;
using text_districts::DutyStationWithFlip;
using text_districts::TextDistrict;

TAreaData Read(const TextDistrict& district) {
  TAreaData area;
  int maxSpeed = 10;
  TReadDataError error;
  LoadAreaDataFromBytes(district.Bytes(), area, maxSpeed, error);
  return area;
}

std::string SetupFailure(const TextDistrict& district, TAreaData& area) {
  area = Read(district);
  return ErrorOf([&] { PrepareDistrict(area, SetupOptions{}); });
}

TEST(TextDistrictSetupTest, DutyStationRoutesAndSignalsFollowTheDrawingThroughTheFlip) {
  TAreaData area;
  ASSERT_EQ(SetupFailure(DutyStationWithFlip(), area), "no error");
  ASSERT_EQ(area.TrainRoutes.size(), 3u);
  EXPECT_EQ(Golden(area.TrainRoutes[0]),
            (Lines{
                // from the even throat (entry section 2), side branch first
                "1/2>3/2 L0-0 [2 3 5] {1-} (11) f00",
                "1/2>3/1 L0-0 [2 3 4] {1+} (1) f00",
                // from the odd throat (entry 7, beyond the flip): even in the station's numbering
                "4/1>2/2 L0-0 [7 6 5] {2-} (12) f10",
                "4/1>2/1 L0-0 [7 6 4] {2+} (2) f10",
                // from track I (section 4): even, then odd over the flip into the odd throat
                "3/1>1/0 L0-13 [4 3 2] {1+} (1) f00",
                "2/1>4/1 L0-13 [4 6 7] {2+} (2) f01",
                // from track 2 (section 5)
                "3/2>1/0 L0-20 [5 3 2] {1-} (11) f00",
                "2/2>4/1 L0-20 [5 6 7] {2-} (12) f01",
            }));
  EXPECT_EQ(area.TrainRoutes[0].SwitchCount, 1);
  EXPECT_EQ(GoldenChains(area.TrainRoutes[0].Chains),
            (Lines{"2>5 [0 -1 -1 -1 -1 -1]", "2>4 [1 -1 -1 -1 -1 -1]", "7>5 [2 -1 -1 -1 -1 -1]",
                   "7>4 [3 -1 -1 -1 -1 -1]", "4>2 [4 -1 -1 -1 -1 -1]", "4>7 [5 -1 -1 -1 -1 -1]",
                   "5>2 [6 -1 -1 -1 -1 -1]", "5>7 [7 -1 -1 -1 -1 -1]"}));
  // The block posts have neither throats nor file routes.
  EXPECT_TRUE(area.TrainRoutes[1].Routes.empty());
  EXPECT_TRUE(area.TrainRoutes[2].Routes.empty());
  // Throat entry sections and the flip throat's flag; the peregons' end sections.
  EXPECT_EQ((std::vector<int>{area.GorlStanzs.at(0).EntrySection, area.GorlStanzs[0].Flip,
                              area.GorlStanzs.at(1).EntrySection, area.GorlStanzs[1].Flip,
                              area.SlSects[2].Throat[kOdd], area.SlSects[7].Throat[kOdd],
                              area.SlSects[6].Throat[kOdd], area.GraphPeregons[0].EndSection[1],
                              area.GraphPeregons[1].EndSection[1]}),
            (std::vector<int>{2, 0, 7, 1, 0, 1, -1, 2, 7}));
  EXPECT_EQ(SignalList(area),
            (Lines{"k0 d1 s2 lamp14 lp0 next1",  // entry from Запад
                   "k1 d1 s4 lamp16 lp0 next-1", "k1 d0 s4 lamp18 lp0 next-1",
                   "k1 d1 s5 lamp17 lp0 next-1", "k1 d0 s5 lamp19 lp0 next-1",
                   "k0 d1 s7 lamp15 lp0 next2",  // from Восток: odd in the peregon's numbering
                   "k2 d1 s1 lamp0 lp-1 next1", "k2 d0 s2 lamp0 lp-1 next1",
                   "k2 d1 s9 lamp0 lp-1 next2", "k2 d0 s8 lamp0 lp-1 next2",
                   "k2 d1 s8 lamp0 lp-1 next2", "k2 d0 s7 lamp0 lp-1 next2"}));
  EXPECT_EQ(DescribeSetup(area).back(),
            "Signals: 2 peregon end (kind 0), 4 to throat (kind 1), 6 block (kind 2), 0 other "
            "station (kind 3)");
  for (int i = 0; i < static_cast<int>(area.Semaphores.size()); ++i)
    EXPECT_EQ(area.SlSects[area.Semaphores[i].Section].Semaphore[area.Semaphores[i].Direction], i);
  // Nothing stands on the station's side of the flip.
  EXPECT_EQ(area.SlSects[6].Semaphore[kEven], -1);
  EXPECT_EQ(area.SlSects[6].Semaphore[kOdd], -1);
}

TEST(TextDistrictSetupTest, ControlledStationKeepsItsFileRoutesAndClassifiesItsSignals) {
  TAreaData area;
  ASSERT_EQ(SetupFailure(ControlledStation(), area), "no error");
  EXPECT_EQ(Golden(area.TrainRoutes[0]),
            (Lines{"1/1>2/1 L0-0 [3 4 5] {1+} (1) f00", "1/1>2/2 L0-0 [3 4 6] {1-} (11) f00",
                   "3/1>4/1 L0-0 [5 7 8] {2+} (2) f00", "3/2>4/1 L0-0 [6 7 8] {2-} (12) f00",
                   "4/1>3/1 L0-0 [8 7 5] {2+} (2) f00", "4/1>3/2 L0-0 [8 7 6] {2-} (12) f00",
                   "2/1>1/1 L0-0 [5 4 3] {1+} (1) f00", "2/2>1/1 L0-0 [6 4 3] {1-} (11) f00"}));
  EXPECT_TRUE(area.TrainRoutes[0].Chains.empty());
  // Entries at the peregon ends, the station's own signals, then the block signals of
  // peregon 1 (sections 1..3) and of peregon 2 (sections 8..9).
  EXPECT_EQ(SignalList(area), (Lines{"k0 d1 s3 lamp16 lp0 next1", "k3 d1 s5 lamp18 lp0 next-1",
                                     "k3 d0 s5 lamp20 lp0 next-1", "k3 d1 s6 lamp19 lp0 next-1",
                                     "k3 d0 s6 lamp21 lp0 next-1", "k0 d0 s8 lamp17 lp0 next2",
                                     "k2 d1 s1 lamp0 lp-1 next1", "k2 d0 s2 lamp0 lp-1 next1",
                                     "k2 d1 s2 lamp0 lp-1 next1", "k2 d0 s3 lamp0 lp-1 next1",
                                     "k2 d1 s8 lamp0 lp-1 next2", "k2 d0 s9 lamp0 lp-1 next2"}));
  EXPECT_EQ(DescribeSetup(area).back(),
            "Signals: 2 peregon end (kind 0), 0 to throat (kind 1), 6 block (kind 2), 4 other "
            "station (kind 3)");
}

TEST(TextDistrictSetupTest, DistrictsMadeToFailStopTheStartWithTheirMessage) {
  const std::pair<TextDistrict, const char*> rows[] = {
      {DutyStationWithFlip().Replace("Data_Gorl_Stanz", "1,1,2,0,0\n", ""),
       "Inlet expected at parity flip0007h"},
      {ControlledStation().Replace("Data_Marsh_P", "11,21, 0,0, 3,5, 1\n", "11,21, 0,0, 3,5, 2\n"),
       "Error testing routes of LP  0\r\n\r\nError at route 0\r\n\r\nRoute lacks the forward "
       "switch 1"},
      {ControlledStation().Replace("Data_Marsh_P", "22,11, 0,0, 6,3, 11\n", "22,11, 0,0, 6,3, 1\n"),
       "Error testing routes of LP  0\r\n\r\nError at route 7\r\n\r\nSwitch should be side but it "
       "is straight"},
      {DutyStationWithFlip().Replace("Data_Gorl_Stanz", "1,1,2,0,0\n", "1,1,2,0,0\n1,0,1,0,0\n"),
       "Double peregon (1) usage (2<>0)"},
  };
  TAreaData area;
  for (const auto& [district, message] : rows) EXPECT_EQ(SetupFailure(district, area), message);
}

namespace fs = std::filesystem;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(DistrictCheckTest, UsableDistrictListsTablesRoutesAndSignalsAndFailuresTheirText) {
  const fs::path dir = fs::path(testing::TempDir()) / "traklin_district_check";
  fs::create_directories(dir);
  const auto check = [&](const DistrictText& district, std::ostringstream& out,
                         std::ostringstream& err) {
    std::ofstream(dir / "Data.dat", std::ios::binary) << district.Bytes();
    return RunDistrictCheck(dir, out, err);
  };
  std::ostringstream out, err;
  ASSERT_EQ(check(DistrictText(), out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "");
  const std::vector<std::string> lines = SplitLines(out.str());
  ASSERT_GE(lines.size(), 4u);
  // Header values first, then every table once with its count.
  EXPECT_EQ((std::vector<std::string>{lines[0], lines[1], lines[4], lines[5], lines[9]}),
            (std::vector<std::string>{"AreaNumber 1", "StationCount 2", "SectCount 8",
                                      "GraphBackColor FFFFFFh", "BaseYear 2024"}));
  for (const char* table :
       {"GraphFragms 2",    "GraphVids 1",     "GraphPeregons 1", "GraphLamps 21",
        "Sekzs 9",          "Stanzs 2",        "GorlStanzs 2",    "Puts 2",
        "Strels 3",         "GrStrels 0",      "SlSects 9",       "TrainRoutes 2",
        "SparGrStrels 0",   "Locos 3",         "OstLocos 2",      "Peregons 1",
        "PassTrains[0] 1",  "PassTrains[1] 0", "GruzTrains[0] 0", "GruzTrains[1] 0",
        "CreationInlets 1", "CreationPlans 2", "LPMnemNames 2",   "LPManipNames 2",
        "Stations 14",      "Semaphores 3"})
    EXPECT_EQ(std::count(lines.begin(), lines.end(), table), 1) << table;
  EXPECT_EQ(ToPlainLineBreaks("a\rb\r\nc"), "a\nb\nc");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{
                "LP 0 (code 1) АЛК: 2 routes, 2 chains", "LP 1 (code 2) БРС: 1 routes, 1 chains",
                "Signals: 1 peregon end (kind 0), 2 to throat (kind 1), 0 block (kind 2), 0 other "
                "station (kind 3)"}));
  // A set-up failure and a reading failure print their text and no report.
  DistrictText setup, reading;
  setup.SetSection("Data_Sekz", "1,1\n2,2\n3,40\n4,4\n5,5\n6,6\n7,7\n65535");
  reading.SetSection("Data_Sekz", "1,1\n2,x\n65535");
  const std::string line = std::to_string(reading.BodyLine("Data_Sekz", 2));
  const std::pair<const DistrictText&, std::string> failures[] = {
      {setup, "Error initializing data+\n\nLamp 40 of section 3 out of bounds\n"},
      {reading, "Error reading Data.dat\nAt Line " + line + "\n'2,x'\n\nNot a decimal digit\n"}};
  for (const auto& [district, text] : failures) {
    std::ostringstream o, e;
    EXPECT_EQ(check(district, o, e), kCheckFailed);
    EXPECT_EQ(e.str(), text);
    EXPECT_EQ(o.str(), "");
  }
  fs::remove_all(dir);
  std::ostringstream o, e;
  EXPECT_EQ(RunDistrictCheck(dir / "none", o, e), kCheckFailed);
  EXPECT_EQ(e.str(), "No district directory " + (dir / "none").string() + "\n");
  EXPECT_EQ(o.str(), "");
}

}  // namespace
}  // namespace traklin::test
