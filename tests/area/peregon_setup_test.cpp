// Peregon completion, the flip checks and the lamps laid out at start-up.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "area/district_setup.h"
#include "setup_district.h"

namespace traklin {
namespace {

using testing_setup::AreaBuilder;

std::string CompletionError(TAreaData& area, const SetupOptions& options = {}) {
  try {
    CompletePeregons(area, options);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no error";
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
  b.Odd(1, 2);
  b.Odd(2, 3);
  b.Odd(3, 4);
  b.OddFlip(4, 5);
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
  ASSERT_EQ(CompletionError(b.a), "no error");
  const TSemaphoresData& sem = b.a.Semaphores;
  ASSERT_EQ(sem.size(), 6u);
  int kinds[4] = {0, 0, 0, 0};
  for (const TSemaphoreData& s : sem) ++kinds[s.Kind];
  EXPECT_EQ(kinds[0], 2);
  EXPECT_EQ(kinds[2], 3);
  EXPECT_EQ(kinds[3], 1);  // the file's block signal keeps its kind

  EXPECT_EQ(sem[0].Kind, 0);  // entering A
  EXPECT_EQ(sem[0].Next, 1);  // peregon number 1, not index 0
  EXPECT_EQ(sem[0].LP, 0);
  EXPECT_EQ(sem[2].Kind, 0);  // entering B
  EXPECT_EQ(sem[2].LP, 1);
  // Block signals in walk order: (section, direction).
  const int added[3][2] = {{2, kOdd}, {3, kEven}, {4, kEven}};
  for (int i = 0; i < 3; ++i) {
    const TSemaphoreData& s = sem[3 + i];
    EXPECT_EQ(s.Section, added[i][0]);
    EXPECT_EQ(s.Direction, added[i][1]);
    EXPECT_EQ(s.Kind, 2);
    EXPECT_EQ(s.Lamp, 0);
    EXPECT_EQ(s.Next, 1);
    EXPECT_EQ(s.LP, -1);
    EXPECT_EQ(b.a.SlSects[s.Section].Semaphore[s.Direction], 3 + i);
  }
  EXPECT_EQ(b.a.GraphPeregons[0].EndSection[1], 4);
  const TGorlStanzData& throatB = b.a.GorlStanzs[1];
  EXPECT_EQ(throatB.Flip, 1);
  EXPECT_EQ(throatB.EntrySection, 4);
  EXPECT_EQ(b.a.SlSects[4].Throat[kOdd], 1);
  EXPECT_EQ(b.a.GorlStanzs[0].Flip, 0);
}

TEST(PeregonCompletionTest, AFlipAtAPeregonEndNeedsAThroat) {
  AreaBuilder b = FlipLine(false);
  EXPECT_EQ(CompletionError(b.a), "Inlet expected at parity flip0004h");
}

TEST(PeregonCompletionTest, AFlipAwayFromPeregonsNeedsAThroat) {
  // [1] >-< [2], no peregon
  AreaBuilder b(3, 4);
  b.AddStation(1, "A");
  b.OddFlip(1, 2);
  EXPECT_EQ(CompletionError(b.a), "Inlet expected at parity flip at0001h");
}

TEST(PeregonCompletionTest, APeregonShorterThanItsBlockCountIsRefused) {
  // A: [1] ==P1 (4 block lamps)== [2]--[3] and then nothing
  AreaBuilder b(4, 20);
  const int a = b.AddStation(1, "A");
  b.Odd(1, 2);
  b.Odd(2, 3);
  b.AddPeregon(a, -1, 2, 10, 13);
  EXPECT_EQ(CompletionError(b.a),
            "Graph peregon 1 breaks off after section 0003h with 2 of its 4 block sections left");
}

TEST(PeregonCompletionTest, ACircularPeregonEndsAfterAsManyStepsAsSections) {
  // [1]--[2]--[1]... with 100 block lamps
  AreaBuilder b(3, 120);
  const int a = b.AddStation(1, "A");
  b.Odd(1, 2);
  b.Odd(2, 1);
  b.AddPeregon(a, -1, 1, 10, 109);
  EXPECT_EQ(CompletionError(b.a),
            "Graph peregon 1 has more block sections than the district has sections");
}

TEST(PeregonCompletionTest, ALongSingleBlockSectionIsSpare) {
  for (int length : {3999, 4000}) {
    SCOPED_TRACE(length);
    AreaBuilder b(3, 20);
    const int a = b.AddStation(1, "A");
    b.Odd(1, 2);
    b.a.SlSects[2].Length = length;
    b.AddPeregon(a, -1, 2, 10, 10);
    ASSERT_EQ(CompletionError(b.a), "no error");
    const int expected = length >= 4000 ? 1 : 0;
    EXPECT_EQ(b.a.GraphPeregons[0].Flag, expected);
    EXPECT_EQ(b.a.SlSects[2].Spare, expected);
  }
}

// Stations A (anchor 100,50) and B (anchor 500,50; placed at 600,50 by the view) in one row,
// joined by a drawn peregon of seven sections and seven block lamps 10..16, direction lamps 17
// and 18, departure-commit lamps 19 (B, even side) and 20 (A, odd side):
//
//   A: [1] track ==P1== [2]--[3]--[4]--[5]--[6]--[7]--[8] ==  [9] track :B
struct LaidOutLine {
  AreaBuilder b{10, 40};
  LaidOutLine() {
    const int a = b.AddStation(1, "A", 100, 50);
    const int bb = b.AddStation(2, "B", 500, 50);
    for (int s = 1; s < 9; ++s) b.Odd(s, s + 1);
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
    TGraphVidData view;
    view.Values[0] = 800;
    view.Fragms = {{100, 50, 0, 0}, {600, 50, 0, 0}};
    b.a.GraphVids.push_back(view);
  }
};

struct LampRow {
  int lamp, x, y, width, station;
};

void ExpectLamps(const TAreaData& area, std::initializer_list<LampRow> rows) {
  for (const LampRow& r : rows) {
    SCOPED_TRACE(r.lamp);
    const TGraphLampData& l = area.GraphLamps[r.lamp];
    EXPECT_EQ(l.X, r.x);
    EXPECT_EQ(l.Y, r.y);
    EXPECT_EQ(l.Width, r.width);
    if (r.width != 0) {
      EXPECT_EQ(l.Station, r.station);
    }
  }
}

TEST(BlockLampTest, WithShowAllOffTwoLampsAreLaidOutAtEachEnd) {
  LaidOutLine line;
  SetupOptions options;
  options.ShowAllBlockSect = false;
  ASSERT_EQ(CompletionError(line.b.a, options), "no error");
  ExpectLamps(line.b.a, {{10, 116, 49, 12, 0},
                         {11, 136, 49, 12, 0},
                         {12, 0, 0, 0, 0},
                         {13, 0, 0, 0, 0},
                         {14, 0, 0, 0, 0},
                         {15, 440, 49, 12, 1},
                         {16, 460, 49, 12, 1}});
  EXPECT_EQ(line.b.a.GraphLamps[10].Thickness, 3);
}

TEST(BlockLampTest, WithShowAllOnEveryLampIsLaidOutWhenThereIsRoom) {
  LaidOutLine line;
  ASSERT_EQ(CompletionError(line.b.a), "no error");
  // XA = 120, XB = 580: length 460, half 230 - 8; room1 246, room2 222; shifts 166 and 158.
  ExpectLamps(line.b.a, {{10, 282, 49, 12, 0},
                         {11, 302, 49, 12, 0},
                         {12, 322, 49, 12, 0},
                         {13, 342, 49, 12, 0},
                         {14, 262, 49, 12, 1},
                         {15, 282, 49, 12, 1},
                         {16, 302, 49, 12, 1}});
}

TEST(BlockLampTest, DirectionAndDepartureCommitLampsOfOneRow) {
  LaidOutLine line;
  ASSERT_EQ(CompletionError(line.b.a), "no error");
  // Midpoint (120 + 580) / 2 - 5 = 345 on the screen; B is shifted by 100 there.
  ExpectLamps(
      line.b.a,
      {{17, 245, 35, 10, 1}, {18, 345, 63, 10, 0}, {19, 269, 35, 10, 1}, {20, 321, 63, 10, 0}});
}

TEST(BlockLampTest, ADirectionLampPairBeyondTheTableIsRefused) {
  // Rows differ, so lamp L1 + 1 is used; L1 is the last lamp of the table.
  LaidOutLine line;
  line.b.a.GraphVids[0].Fragms[1].Y = 200;
  line.b.a.GraphPeregons[0].DirectionLamps[0] = 39;
  EXPECT_EQ(CompletionError(line.b.a), "Direction lamp 40 of graph peregon 1 out of bounds");
}

TEST(NameLampTest, NameLampsAreCentredOnTheAnchorAndTheTableGrows) {
  AreaBuilder b(2, 2);
  b.AddStation(1, "Abc", 100, 50);
  b.AddStation(2, "Яд", 300, 60);
  b.AddStation(3, "", 500, 70);
  TGraphVidData view;
  view.Fragms = {{0, 0, 1012, 0}, {0, 0, 8, 0}};  // the third station is not placed
  b.a.GraphVids.push_back(view);
  SetupOptions options;
  options.TextWidth = [](const std::string& s) { return 7 * static_cast<int>(s.size()); };
  SetNameLamps(b.a, options);
  ASSERT_EQ(b.a.GraphLamps.size(), 4u);
  // "Яд" is four bytes in UTF-8: width 28 + 16.
  ExpectLamps(b.a, {{1, 100 - 37 / 2, 50 - 12, 21 + 16, 0},
                    {2, 300 - 44 / 2, 68, 28 + 16, 1},
                    {3, 500 - 8, 70, 16, 2}});
  EXPECT_EQ(b.a.GraphLamps[1].Thickness, 16);
  EXPECT_EQ(b.a.GraphLamps[1].Shape, 0);

  SetNameLamps(b.a, SetupOptions{});  // six pixels per character by default
  EXPECT_EQ(b.a.GraphLamps[2].Width, 12 + 16);
}

}  // namespace
}  // namespace traklin
