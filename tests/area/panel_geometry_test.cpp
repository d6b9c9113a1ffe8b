// Panel geometry: lamp end points per kind, hit depth, lamp and fragment hits, the window-size
// rule, peregon bands in one and over two rows, arrows and joint marks.
#include "area/panel_geometry.h"

#include <gtest/gtest.h>

#include <tuple>

#include "area/panel_records.h"

namespace traklin {
namespace {

using test::Fragment;
using test::Lamp;
using test::View;

TEST(PanelGeometry, LampEndPointsFollowTheKindAndTheTranslation) {
  // P1 = (x + 1, y + 1); P2 = (x, y + 1) + the kind's end offset; both moved by (5, 7).
  struct Case {
    int Shape;
    PanelPoint P2;
  };
  for (const Case& c : {Case{0, {10 + 34 + 5, 28}},      // horizontal: (width - 1, 0)
                        Case{1, {10 + 7 + 5, 28 + 34}},  // leaning right: (6w/35 + 1, w - 1)
                        Case{3, {10 - 5 + 5, 28 + 34}},  // leaning left: (1 - 6w/35, w - 1)
                        Case{2, {10 + 1 + 5, 28 + 34}},  // any other kind: vertical
                        Case{7, {10 + 1 + 5, 28 + 34}}}) {
    const LampEnds e = LampEndPoints(Lamp(10, 20, 35, 3, c.Shape), {5, 7});
    EXPECT_EQ(e.P1, (PanelPoint{16, 28})) << "kind " << c.Shape;
    EXPECT_EQ(e.P2, c.P2) << "kind " << c.Shape;
  }
}

TEST(PanelGeometry, HitDepthIsTheDistanceToTheNearestSideOfTheWidenedBox) {
  // P1 (11, 21), P2 (44, 21), widened by thickness + 1 = 4: x 7..48, y 17..25.
  const TGraphLampData bar = Lamp(10, 20, 35, 3);
  for (const auto& [x, y, depth] :
       {std::tuple{20, 21, 4}, {7, 21, 0}, {48, 21, 0}, {9, 21, 2}, {20, 17, 0}, {27, 22, 3}}) {
    const auto d = LampHitDepth(bar, {}, {x, y});
    ASSERT_TRUE(d.has_value()) << x << "," << y;
    EXPECT_EQ(*d, depth) << x << "," << y;
  }
  for (const auto& [x, y] : {std::pair{6, 21}, {49, 21}, {20, 16}, {20, 26}})
    EXPECT_FALSE(LampHitDepth(bar, {}, {x, y})) << x << "," << y;
  // A bar leaning left ends left of its start; its box is still the one around both ends.
  const TGraphLampData left = Lamp(50, 20, 35, 3, 3);
  EXPECT_TRUE(LampHitDepth(left, {}, {48, 40}));
}

TAreaData TwoStations() {
  TAreaData area;
  area.StationCount = 2;
  area.GraphFragms = {Fragment(0, 0, 100, 80, 50, 40), Fragment(100, 0, 200, 80, 150, 40)};
  // A moves 100 to the right; B goes down to the second row, at the left.
  area.GraphVids = {View(800, 400, 10, {{150, 40, 0, 0}, {60, 240, 0, 0}})};
  return area;
}

TEST(PanelGeometry, FragmentsAreHitInTheirViewPlaceFromTheLastToTheFirst) {
  TAreaData area = TwoStations();
  const TGraphVidData* view = ChoosePanelView(area, 5);  // unknown index: the first view
  ASSERT_EQ(view, &area.GraphVids[0]);
  // A covers x 100..199, y 0..79 on the screen; B x 10..109, y 200..279.
  for (const auto& [x, y, f] : {std::tuple{100, 0, 0},
                                {199, 79, 0},
                                {200, 40, -1},
                                {99, 40, -1},
                                {10, 200, 1},
                                {109, 279, 1},
                                {110, 279, -1},
                                {50, 40, -1}})
    EXPECT_EQ(FindFragmentAt(area, view, {x, y}), f) << x << "," << y;
  // Overlapping pictures: the later fragment wins.
  area.GraphVids[0].Fragms[1] = {160, 40, 0, 0};
  EXPECT_EQ(FindFragmentAt(area, view, {150, 40}), 1);
  EXPECT_EQ(FindFragmentAt(area, view, {105, 40}), 0);
}

TEST(PanelGeometry, TheDeepestLampWinsATieGoesToTheLaterAndEmptyLampsAreNeverHit) {
  TAreaData area = TwoStations();
  const TGraphVidData* view = &area.GraphVids[0];
  area.GraphLamps = {Lamp(0, 0, 0, 0),              // 0: not laid out
                     Lamp(60, 40, 30, 3, 0, 0),     // 1: in fragment A, drawn at (160.., 40)
                     Lamp(150, 35, 30, 3, 0, -1),   // 2: untranslated, crosses lamp 1's box
                     Lamp(150, 35, 30, 3, 0, -1),   // 3: the same as 2
                     Lamp(300, 300, 0, 3, 0, -1)};  // 4: width 0
  // (165, 41): lamp 1's box y 37..45 -> depth 4; lamps 2/3 y 32..40 -> outside.
  EXPECT_EQ(FindLampAt(area, view, {165, 41}), 1);
  // (165, 37): lamp 1 depth 0, lamps 2 and 3 depth 3: the later of the two.
  EXPECT_EQ(FindLampAt(area, view, {165, 37}), 3);
  EXPECT_EQ(FindLampAt(area, view, {300, 300}), -1);
  EXPECT_EQ(FindLampAt(area, view, {600, 10}), -1);
}

TEST(PanelGeometry, WindowSizeRuleForWideAndTallPanels) {
  // Screen 1920 x 1080.
  struct Case {
    int W, H;
    PanelWindowSize Size;
  };
  for (const Case& c :
       {Case{800, 600, {800, 616, 800, 840, 200, 716}},          // fits
        Case{3000, 600, {1880, 636, 0, 3040, 200, 716}},         // wide: scrolls sideways
        Case{800, 1200, {820, 980, 840, 840, 200, 1316}},        // tall: room for a bar
        Case{3000, 1200, {1880, 980, 0, 3040, 200, 1316}},       // both
        Case{1880, 980, {1880, 996, 1880, 1920, 200, 1096}}}) {  // exactly on the edges
    EXPECT_EQ(PanelWindowSizeFor(c.W, c.H, 1920, 1080), c.Size) << c.W << "x" << c.H;
  }
}

TEST(PanelGeometry, APeregonOverTwoRowsIsTwoBandsToThePanelEdgesWithArrowsAtBothEnds) {
  TAreaData area = TwoStations();
  TGraphPeregonData p;
  p.LP[0] = 1, p.LP[1] = 2;
  p.Offsets[0] = 30, p.Offsets[1] = 2, p.Offsets[2] = -20, p.Offsets[3] = 0;
  p.Drawn = 1;
  p.DirectionLamps[0] = 17, p.DirectionLamps[1] = 19;
  p.BlockLamps[0] = 21, p.BlockLamps[1] = 25;
  area.GraphPeregons = {p};
  const auto d = DescribePeregon(area, &area.GraphVids[0], 0);
  ASSERT_TRUE(d);
  EXPECT_EQ(std::tie(d->XA, d->YA, d->XB, d->YB), std::make_tuple(180, 42, 40, 240));
  using Band = PeregonDrawing::Band;
  using Mark = PeregonDrawing::Mark;
  EXPECT_EQ(d->Bands, (std::vector<Band>{{42, 180, 800}, {240, 0, 40}}));
  EXPECT_EQ(d->Arrows, (std::vector<Mark>{{17, 0}, {18, 0}, {19, 1}, {20, 1}}));
  // Five block lamps: marks after the first three, before the last two.
  EXPECT_EQ(d->Joints, (std::vector<Mark>{{21, 1}, {22, 1}, {23, 1}, {25, 0}, {24, 0}}));

  // In one row: one band between the ends, one arrow per direction lamp, no marks for one lamp.
  area.GraphVids[0].Fragms[1] = {400, 42, 0, 0};
  area.GraphPeregons[0].BlockLamps[1] = 21;
  area.GraphPeregons[0].DirectionLamps[1] = 0;
  const auto one = DescribePeregon(area, &area.GraphVids[0], 0);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->Bands, (std::vector<Band>{{42, 180, 380}}));
  EXPECT_EQ(one->Arrows, (std::vector<Mark>{{17, 0}}));
  EXPECT_TRUE(one->Joints.empty());

  area.GraphPeregons[0].Drawn = 0;
  EXPECT_FALSE(DescribePeregon(area, &area.GraphVids[0], 0));
  area.GraphPeregons[0].Drawn = 1;
  area.GraphPeregons[0].LP[1] = 9;  // no such fragment
  EXPECT_FALSE(DescribePeregon(area, &area.GraphVids[0], 0));
}

TEST(PanelGeometry, ArrowsPointAwayFromTheirLampAndJointMarksSitBesideIt) {
  const TGraphLampData direction = Lamp(100, 40, 10, 3);
  const auto left = ArrowOutline(direction, {5, 0}, 0);
  ASSERT_EQ(left.size(), 10u);
  EXPECT_EQ(left.front(), (PanelPoint{118, 38}));  // x + width + 3, y - 2, translated
  EXPECT_EQ(left[4], (PanelPoint{98, 41}));        // the tip, 20 to the left
  EXPECT_EQ(left.back(), left.front());
  const auto right = ArrowOutline(direction, {}, 1);
  EXPECT_EQ(right.front(), (PanelPoint{97, 38}));
  EXPECT_EQ(right[4], (PanelPoint{117, 41}));
  EXPECT_TRUE(ArrowOutline(Lamp(100, 40, 12, 3), {}, 0).empty());
  EXPECT_TRUE(ArrowOutline(Lamp(100, 40, 10, 3, 2), {}, 0).empty());

  const TGraphLampData block = Lamp(200, 50, 12, 3);
  EXPECT_EQ(JointMarkCentre(block, {1, 2}, true), (PanelPoint{200 - 4 + 20 + 1, 53}));
  EXPECT_EQ(JointMarkCentre(block, {}, false), (PanelPoint{196, 51}));
  EXPECT_FALSE(JointMarkCentre(Lamp(200, 50, 0, 3), {}, true));
}

TEST(PanelGeometry, OffsetsOfAThousandAndMoreAreNegative) {
  EXPECT_EQ(DecodeOffset(0), 0);
  EXPECT_EQ(DecodeOffset(999), 999);
  EXPECT_EQ(DecodeOffset(1000), 0);
  EXPECT_EQ(DecodeOffset(1005), -5);
}

}  // namespace
}  // namespace traklin
