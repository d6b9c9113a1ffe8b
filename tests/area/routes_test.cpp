// The route check of the start-up set-up: validation and expansion of file routes, generated
// routes and chains against golden lists, signal classification, and the same on districts
// read from text, with the exact failure texts.
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "area/area_reader.h"
#include "area/district_setup.h"
#include "area_builder.h"
#include "state/text_districts.h"

namespace traklin::test {
namespace {

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

TEST(RouteGenerationTest, TwoTracksWithAThroatOnEachSideGiveTheGoldenRoutes) {
  AreaBuilder b = TwoTrackStation();
  b.a.TrainRoutes[0].Routes.assign(5, FileRoute(2, 3, 3, 3));  // file routes are replaced
  b.a.TrainRoutes[0].RouteCount = 5;
  b.a.TrainRoutes[0].SwitchCount = 7;
  PrepareDistrict(b.a, SetupOptions{});
  const TLPRoutesData& lp = b.a.TrainRoutes[0];
  EXPECT_EQ(Golden(lp), (Lines{
                            "1/2>3/2 L20-0 [1 2 4] {12-} (22) f00",  // throat t0, side branch first
                            "1/2>3/1 L20-0 [1 2 3] {12+} (12) f00",
                            "4/1>2/2 L21-0 [6 5 4] {15-} (25) f00",  // throat t1
                            "4/1>2/1 L21-0 [6 5 3] {15+} (15) f00",
                            "3/1>1/0 L0-31 [3 2 1] {12+} (12) f00",  // track I even, then odd
                            "2/1>4/1 L0-31 [3 5 6] {15+} (15) f00",
                            "3/2>1/0 L0-33 [4 2 1] {12-} (22) f00",  // track II
                            "2/2>4/1 L0-33 [4 5 6] {15-} (25) f00",
                        }));
  EXPECT_EQ((std::vector<int>{lp.RouteCount, lp.SwitchCount, lp.Code}),
            (std::vector<int>{8, 1, 10}));
  for (const TTrainRouteData& r : lp.Routes) EXPECT_EQ(r.LastSection, r.Sections[2]);
  EXPECT_EQ(GoldenChains(lp.Chains),
            (Lines{"1>4 [0 -1 -1 -1 -1 -1]", "1>3 [1 -1 -1 -1 -1 -1]", "6>4 [2 -1 -1 -1 -1 -1]",
                   "6>3 [3 -1 -1 -1 -1 -1]", "3>1 [4 -1 -1 -1 -1 -1]", "3>6 [5 -1 -1 -1 -1 -1]",
                   "4>1 [6 -1 -1 -1 -1 -1]", "4>6 [7 -1 -1 -1 -1 -1]"}));
  EXPECT_EQ((std::vector<int>{b.a.GorlStanzs[0].EntrySection, b.a.GorlStanzs[1].EntrySection,
                              b.a.SlSects[1].Throat[kOdd], b.a.SlSects[6].Throat[kEven]}),
            (std::vector<int>{1, 6, 0, 1}));
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
  b.AddThroat(10, 5, b.AddPeregon(s, e, 6));  // odd, side +1, number 0
  b.AddThroat(10, 7, b.AddPeregon(s, f, 7));  // odd, side -1, number 0
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

}  // namespace
}  // namespace traklin::test
