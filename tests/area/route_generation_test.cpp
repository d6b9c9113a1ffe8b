// Generated routes and chains of stations with throats, checked against golden lists.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "area/district_setup.h"
#include "setup_district.h"

namespace traklin {
namespace {

using testing_setup::AreaBuilder;
using testing_setup::TwoTrackStation;

// One line per route: start kind/position > end kind/position, start and end lamp, sections,
// decoded switches (number + or -), encoded entries, the two flag bytes.
std::vector<std::string> Golden(const TLPRoutesData& lp) {
  std::vector<std::string> lines;
  for (const TTrainRouteData& r : lp.Routes) {
    std::string sections;
    for (int s : r.Sections) {
      if (s == 0) break;
      sections += (sections.empty() ? "" : " ") + std::to_string(s);
    }
    std::string decoded;
    std::string encoded;
    for (int i = 0; i < kMaxRouteSwitches && r.Switches[i] != 0; ++i) {
      decoded += fmt::format("{}{}{}", decoded.empty() ? "" : " ", r.SwitchNumber[i],
                             r.SwitchMinus[i] ? '-' : '+');
      encoded += fmt::format("{}{}", encoded.empty() ? "" : " ", r.Switches[i]);
    }
    lines.push_back(fmt::format("{}/{}>{}/{} L{}-{} [{}] {{{}}} ({}) f{}{}", r.StartKind,
                                r.StartPosition, r.EndKind, r.EndPosition, r.StartLamp, r.EndLamp,
                                sections, decoded, encoded, r.Flags[0], r.Flags[1]));
  }
  return lines;
}

std::vector<std::string> GoldenChains(const TLPRoutesData& lp) {
  std::vector<std::string> lines;
  for (const TChainData& c : lp.Chains) {
    std::string routes;
    for (int r : c.Routes) routes += (routes.empty() ? "" : " ") + std::to_string(r);
    lines.push_back(fmt::format("{}>{} [{}]", c.StartSection, c.EndSection, routes));
  }
  return lines;
}

TEST(RouteGenerationTest, TwoTracksWithAThroatOnEachSideGiveTheGoldenRoutes) {
  AreaBuilder b = TwoTrackStation();
  PrepareDistrict(b.a, SetupOptions{});
  const TLPRoutesData& lp = b.a.TrainRoutes[0];
  const std::vector<std::string> expected = {
      "1/2>3/2 L20-0 [1 2 4] {12-} (22) f00",  // throat t0, side branch first
      "1/2>3/1 L20-0 [1 2 3] {12+} (12) f00",
      "4/1>2/2 L21-0 [6 5 4] {15-} (25) f00",  // throat t1
      "4/1>2/1 L21-0 [6 5 3] {15+} (15) f00",
      "3/1>1/0 L0-31 [3 2 1] {12+} (12) f00",  // track I even, then odd
      "2/1>4/1 L0-31 [3 5 6] {15+} (15) f00",
      "3/2>1/0 L0-33 [4 2 1] {12-} (22) f00",  // track II
      "2/2>4/1 L0-33 [4 5 6] {15-} (25) f00",
  };
  EXPECT_EQ(Golden(lp), expected);
  EXPECT_EQ(lp.RouteCount, 8);
  EXPECT_EQ(lp.SwitchCount, 1);
  EXPECT_EQ(lp.Code, 10);
  for (const TTrainRouteData& r : lp.Routes) EXPECT_EQ(r.LastSection, r.Sections[2]);

  const std::vector<std::string> chains = {
      "1>4 [0 -1 -1 -1 -1 -1]", "1>3 [1 -1 -1 -1 -1 -1]", "6>4 [2 -1 -1 -1 -1 -1]",
      "6>3 [3 -1 -1 -1 -1 -1]", "3>1 [4 -1 -1 -1 -1 -1]", "3>6 [5 -1 -1 -1 -1 -1]",
      "4>1 [6 -1 -1 -1 -1 -1]", "4>6 [7 -1 -1 -1 -1 -1]",
  };
  EXPECT_EQ(GoldenChains(lp), chains);
  EXPECT_EQ(b.a.GorlStanzs[0].EntrySection, 1);
  EXPECT_EQ(b.a.GorlStanzs[1].EntrySection, 6);
  EXPECT_EQ(b.a.SlSects[1].Throat[kOdd], 0);
  EXPECT_EQ(b.a.SlSects[6].Throat[kEven], 1);
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
  b.Odd(1, 2);
  b.OddSwitch(2, 12, 3, 4);
  b.EvenSwitch(5, 15, 3, 4);
  b.Odd(5, 8);
  b.OddSwitch(8, 16, 6, 7);
  b.a.Sekzs[1] = 20;
  b.a.Sekzs[6] = 21;
  b.a.Sekzs[7] = 24;
  b.AddTrack(s, 3, 1, 1, 30, 3);
  b.AddTrack(s, 4, 2, 1, 33, 1);
  const int p1 = b.AddPeregon(w, s, 1);
  const int p2 = b.AddPeregon(s, e, 6);
  const int p3 = b.AddPeregon(s, f, 7);
  b.AddThroat(10, 0, p1);
  b.AddThroat(10, 5, p2);  // odd, side +1, number 0
  b.AddThroat(10, 7, p3);  // odd, side -1, number 0
  PrepareDistrict(b.a, SetupOptions{});

  const TLPRoutesData& lp = b.a.TrainRoutes[0];
  const std::vector<std::string> expected = {
      "1/2>3/2 L20-0 [1 2 4] {12-} (22) f00",
      "1/2>3/1 L20-0 [1 2 3] {12+} (12) f00",
      "4/1>2/2 L24-0 [7 8 5 4] {16- 15-} (26 25) f00",  // from t2 (side -1)
      "4/1>2/1 L24-0 [7 8 5 3] {16- 15+} (26 15) f00",
      "3/1>1/0 L0-31 [3 2 1] {12+} (12) f00",
      "2/1>4/1 L0-31 [3 5 8 6] {15+ 16+} (15 16) f00",  // to t1; the branch to t2 is dropped
      "3/2>1/0 L0-33 [4 2 1] {12-} (22) f00",
      "2/2>4/1 L0-33 [4 5 8 6] {15- 16+} (25 16) f00",
  };
  EXPECT_EQ(Golden(lp), expected);
  EXPECT_EQ(lp.SwitchCount, 2);
}

TEST(RouteGenerationTest, FileRoutesOfAnLPWithThroatsAreReplaced) {
  AreaBuilder b = TwoTrackStation();
  TTrainRouteData fileRoute;
  fileRoute.StartKind = 2;
  fileRoute.EndKind = 3;
  fileRoute.FirstSection = 3;
  fileRoute.LastSection = 3;
  b.a.TrainRoutes[0].Routes.assign(5, fileRoute);
  b.a.TrainRoutes[0].RouteCount = 5;
  b.a.TrainRoutes[0].SwitchCount = 7;
  PrepareDistrict(b.a, SetupOptions{});
  EXPECT_EQ(b.a.TrainRoutes[0].Routes.size(), 8u);
  EXPECT_EQ(b.a.TrainRoutes[0].SwitchCount, 1);
}

// Tracks on sections 1 and 8 of an LP, and section-by-section routes 1>2, 2>3, ... between
// them (odd direction: start kind 2, end kind 3):
//
//   [1] track -- [2] -- [3] -- ... -- [8] track
TAreaData RouteLadder(int routes) {
  AreaBuilder b(10, 4);
  const int lp = b.AddStation(10, "S");
  for (int s = 1; s < 9; ++s) b.Odd(s, s + 1);
  b.AddTrack(lp, 1, 1);
  b.AddTrack(lp, routes + 1, 2);
  for (int i = 0; i < routes; ++i) {
    TTrainRouteData r;
    r.StartKind = 2;
    r.EndKind = 3;
    r.FirstSection = i + 1;
    r.LastSection = i + 2;
    b.a.TrainRoutes[lp].Routes.push_back(r);
  }
  return b.a;
}

TEST(ChainTest, ASixRouteChainIsKept) {
  const TAreaData area = RouteLadder(6);
  const std::vector<TChainData> chains = BuildChains(area, 0);
  ASSERT_EQ(chains.size(), 1u);
  EXPECT_EQ(chains[0].StartSection, 1);
  EXPECT_EQ(chains[0].EndSection, 7);
  for (int i = 0; i < kMaxChainRoutes; ++i) EXPECT_EQ(chains[0].Routes[i], i);
}

TEST(ChainTest, AChainThatWouldNeedASeventhRouteIsNotRecorded) {
  const TAreaData area = RouteLadder(7);
  EXPECT_TRUE(BuildChains(area, 0).empty());
}

TEST(ChainTest, ASearchRunningInACircleEnds) {
  // Routes 1>2, 2>3 and 3>2 of the same direction; only section 1 is a track, so the search
  // goes round 2 and 3 until the chain is full.
  AreaBuilder b(5, 4);
  const int lp = b.AddStation(10, "S");
  b.AddTrack(lp, 1, 1);
  const int ends[3][2] = {{1, 2}, {2, 3}, {3, 2}};
  for (const auto& e : ends) {
    TTrainRouteData r;
    r.StartKind = 2;
    r.EndKind = 3;
    r.FirstSection = e[0];
    r.LastSection = e[1];
    b.a.TrainRoutes[lp].Routes.push_back(r);
  }
  EXPECT_TRUE(BuildChains(b.a, lp).empty());
}

}  // namespace
}  // namespace traklin
