// The start-up set-up of a district: peregon completion and its checks, the lamps laid out at
// start-up, station resolution, rings, the reference checks and the set-up summary.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "area/district_setup.h"
#include "area_builder.h"

namespace traklin::test {
namespace {

std::string Completion(TAreaData& area, const SetupOptions& options = {}) {
  return ErrorOf([&] { CompletePeregons(area, options); });
}

// Stations A and B joined by a three-section peregon; the parity flips between the peregon's
// last section and B's track:
//
//   A: [1] track ==P1== [2]--[3]--[4] >-< [5] track :B
//
// File signals: 2 even (entering A), 3 odd (a block signal with a lamp), 4 odd (entering B).
AreaBuilder FlipLine(bool withThroat) {
  AreaBuilder b(6, 30);
  const int a = b.AddStation(1, "A");
  const int bb = b.AddStation(2, "B");
  b.Line({1, 2, 3, 4});
  b.Flip(4, 5);
  b.AddTrack(a, 1, 1);
  b.AddTrack(bb, 5, 1);
  const int p = b.AddPeregon(a, bb, 2, 10, 12);
  b.AddThroat(1, 1, p);
  if (withThroat) b.AddThroat(2, 1, p);
  b.AddSignal(2, kEven, 20);
  b.AddSignal(3, kOdd, 21);
  b.AddSignal(4, kOdd, 22);
  return b;
}

TEST(PeregonCompletionTest, SignalsOfALineWithAParityFlip) {
  AreaBuilder b = FlipLine(true);
  ASSERT_EQ(Completion(b.a), "no error");
  // Entries become kind 0 with the peregon number (not its index); the file's block signal
  // keeps kind 3; block signals are added in walk order, turning at the flip.
  EXPECT_EQ(SignalList(b.a),
            (std::vector<std::string>{"k0 d0 s2 lamp20 lp0 next1", "k3 d1 s3 lamp21 lp-1 next-1",
                                      "k0 d1 s4 lamp22 lp1 next1", "k2 d1 s2 lamp0 lp-1 next1",
                                      "k2 d0 s3 lamp0 lp-1 next1", "k2 d0 s4 lamp0 lp-1 next1"}));
  for (int i = 3; i < 6; ++i) {
    const TSemaphoreData& s = b.a.Semaphores[i];
    EXPECT_EQ(b.a.SlSects[s.Section].Semaphore[s.Direction], i);
  }
  const TGorlStanzData& throatB = b.a.GorlStanzs[1];
  EXPECT_EQ(
      (std::vector<int>{b.a.GraphPeregons[0].EndSection[1], throatB.Flip, throatB.EntrySection,
                        b.a.SlSects[4].Throat[kOdd], b.a.GorlStanzs[0].Flip}),
      (std::vector<int>{4, 1, 4, 1, 0}));
}

TEST(PeregonCompletionTest, BrokenPeregonsAndFlipsWithoutThroatsAreRefused) {
  const std::pair<std::function<AreaBuilder()>, const char*> rows[] = {
      {[] { return FlipLine(false); }, "Inlet expected at parity flip0004h"},
      {[] {  // [1] >-< [2], no peregon
         AreaBuilder b(3, 4);
         b.AddStation(1, "A");
         b.Flip(1, 2);
         return b;
       },
       "Inlet expected at parity flip at0001h"},
      {[] {  // A: [1] ==P1 (4 block lamps)== [2]--[3] and then nothing
         AreaBuilder b(4, 20);
         b.Line({1, 2, 3});
         b.AddPeregon(b.AddStation(1, "A"), -1, 2, 10, 13);
         return b;
       },
       "Graph peregon 1 breaks off after section 0003h with 2 of its 4 block sections left"},
      {[] {  // [1]--[2]--[1]... with 100 block lamps
         AreaBuilder b(3, 120);
         b.Line({1, 2, 1});
         b.AddPeregon(b.AddStation(1, "A"), -1, 1, 10, 109);
         return b;
       },
       "Graph peregon 1 has more block sections than the district has sections"},
  };
  for (const auto& [build, message] : rows) {
    AreaBuilder b = build();
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
  const std::pair<std::function<void(AreaBuilder&)>, const char*> rows[] = {
      {[](AreaBuilder& b) { b.a.Sekzs[3] = 40; }, "Lamp 40 of section 3 out of bounds"},
      {[](AreaBuilder& b) { b.a.GraphFragms[1].DepartCommitLamp[1] = 99; },
       "Departure commit lamp 99 of station 1 out of bounds"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[1].LP[1] = 9; },
       "Graph peregon 2 refers to unknown LP 9"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[0].EndSection[0] = 0; },
       "Graph peregon 1 end section 0 out of bounds"},
      {[](AreaBuilder& b) {
         b.a.GraphPeregons[0].Drawn = 1;
         b.a.GraphPeregons[0].LP[0] = 0;
       },
       "Graph peregon 1 is drawn but has no station at end 0"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[0].BlockLamps[1] = 45; },
       "Block lamps 0..45 of graph peregon 1 out of bounds"},
      {[](AreaBuilder& b) { b.a.GraphPeregons[0].DirectionLamps[1] = -2; },
       "Direction lamp -2 of graph peregon 1 out of bounds"},
      {[](AreaBuilder& b) { b.a.Puts[2].Code = 13; },
       "LP code 13 of LP 2 has no entry among the station names"},
      // throat t1 numbered 1, so the exit signal on track I may light lamp 40
      {[](AreaBuilder& b) {
         b.a.GorlStanzs[1].Number = 1;
         b.AddSignal(3, kOdd, 39);
       },
       "Second lamp 40 of semaphore at section 03h out of bounds"},
      // a third peregon from W ends at section 1 too, with a throat of S of its own
      {[](AreaBuilder& b) { b.AddThroat(10, 0, b.AddPeregon(1, 0, 1)); },
       "Double peregon (3) usage (2<>0)"},
  };
  for (const auto& [spoil, message] : rows) {
    AreaBuilder b = TwoTrackStation();
    spoil(b);
    EXPECT_EQ(ErrorOf([&] { PrepareDistrict(b.a, SetupOptions{}); }), message);
  }
}

TEST(SetupSummaryTest, ListsRoutesChainsAndSignalKinds) {
  AreaBuilder b = TwoTrackStation();
  b.AddSignal(3, kOdd, 34);
  b.AddSignal(1, kEven, 35);
  PrepareDistrict(b.a, SetupOptions{});
  EXPECT_EQ(DescribeSetup(b.a),
            (std::vector<std::string>{"LP 0 (code 10) S: 8 routes, 8 chains",
                                      "LP 1 (code 11) W: 0 routes, 0 chains",
                                      "LP 2 (code 12) E: 0 routes, 0 chains",
                                      "Signals: 1 peregon end (kind 0), 1 to throat (kind 1), 0 "
                                      "block (kind 2), 0 other station (kind 3)"}));
}

}  // namespace
}  // namespace traklin::test
