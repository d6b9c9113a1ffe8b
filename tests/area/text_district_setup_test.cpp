// The start-up set-up run on districts read from text: generated routes and chains, signal
// kinds after the peregon completion (across a parity flip), and the set-up's failures.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "area/area_reader.h"
#include "area/district_setup.h"
#include "state/text_districts.h"

namespace traklin {
namespace {

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

/// Reads and prepares the district as the start-up does.
TAreaData Prepare(const TextDistrict& district) {
  TAreaData area = Read(district);
  PrepareDistrict(area, SetupOptions{});
  return area;
}

/// The set-up's failure message, empty when the set-up succeeds.
std::string SetupFailure(const TextDistrict& district) {
  TAreaData area = Read(district);
  try {
    PrepareDistrict(area, SetupOptions{});
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return {};
}

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

/// kind/direction/section/LP/next of every signal, in table order.
std::vector<std::string> SignalList(const TAreaData& area) {
  std::vector<std::string> lines;
  for (const TSemaphoreData& s : area.Semaphores)
    lines.push_back(fmt::format("k{} d{} s{} lamp{} lp{} next{}", s.Kind, s.Direction, s.Section,
                                s.Lamp, s.LP, s.Next));
  return lines;
}

// ---------------------------------------------------------------------------
// The duty officer's station: generated routes and chains

TEST(TextDistrictRoutesTest, DutyStationRoutesFollowTheDrawingThroughTheFlip) {
  const TAreaData area = Prepare(DutyStationWithFlip());
  ASSERT_EQ(area.TrainRoutes.size(), 3u);
  const std::vector<std::string> expected = {
      // from the even throat (entry section 2), side branch first
      "1/2>3/2 L0-0 [2 3 5] {1-} (11) f00",
      "1/2>3/1 L0-0 [2 3 4] {1+} (1) f00",
      // from the odd throat (entry section 7, beyond the flip): even in the station's numbering
      "4/1>2/2 L0-0 [7 6 5] {2-} (12) f10",
      "4/1>2/1 L0-0 [7 6 4] {2+} (2) f10",
      // from track I (section 4): even, then odd over the flip into the odd throat
      "3/1>1/0 L0-13 [4 3 2] {1+} (1) f00",
      "2/1>4/1 L0-13 [4 6 7] {2+} (2) f01",
      // from track 2 (section 5)
      "3/2>1/0 L0-20 [5 3 2] {1-} (11) f00",
      "2/2>4/1 L0-20 [5 6 7] {2-} (12) f01",
  };
  EXPECT_EQ(Golden(area.TrainRoutes[0]), expected);
  EXPECT_EQ(area.TrainRoutes[0].SwitchCount, 1);
  EXPECT_EQ(area.TrainRoutes[0].RouteCount, 8);

  const std::vector<std::string> chains = {
      "2>5 [0 -1 -1 -1 -1 -1]", "2>4 [1 -1 -1 -1 -1 -1]", "7>5 [2 -1 -1 -1 -1 -1]",
      "7>4 [3 -1 -1 -1 -1 -1]", "4>2 [4 -1 -1 -1 -1 -1]", "4>7 [5 -1 -1 -1 -1 -1]",
      "5>2 [6 -1 -1 -1 -1 -1]", "5>7 [7 -1 -1 -1 -1 -1]",
  };
  EXPECT_EQ(GoldenChains(area.TrainRoutes[0]), chains);

  // The block posts have neither throats nor file routes.
  EXPECT_TRUE(area.TrainRoutes[1].Routes.empty());
  EXPECT_TRUE(area.TrainRoutes[2].Routes.empty());
}

TEST(TextDistrictRoutesTest, ThroatsGetTheirEntrySectionsAndTheFlipThroatItsFlag) {
  const TAreaData area = Prepare(DutyStationWithFlip());
  ASSERT_EQ(area.GorlStanzs.size(), 2u);
  EXPECT_EQ(area.GorlStanzs[0].EntrySection, 2);
  EXPECT_EQ(area.GorlStanzs[0].Flip, 0);
  EXPECT_EQ(area.GorlStanzs[1].EntrySection, 7);
  EXPECT_EQ(area.GorlStanzs[1].Flip, 1);
  EXPECT_EQ(area.SlSects[2].Throat[kOdd], 0);
  EXPECT_EQ(area.SlSects[7].Throat[kOdd], 1);
  EXPECT_EQ(area.SlSects[6].Throat[kOdd], -1);
  EXPECT_EQ(area.SlSects[6].Flip[kOdd], 1);
  EXPECT_EQ(area.SlSects[7].Flip[kOdd], 1);
  EXPECT_EQ(area.GraphPeregons[0].EndSection[1], 2);
  EXPECT_EQ(area.GraphPeregons[1].EndSection[1], 7);
}

TEST(TextDistrictRoutesTest, ControlledStationKeepsItsFileRoutesWithDecodedSwitches) {
  const TAreaData area = Prepare(ControlledStation());
  const std::vector<std::string> expected = {
      "1/1>2/1 L0-0 [3 4 5] {1+} (1) f00", "1/1>2/2 L0-0 [3 4 6] {1-} (11) f00",
      "3/1>4/1 L0-0 [5 7 8] {2+} (2) f00", "3/2>4/1 L0-0 [6 7 8] {2-} (12) f00",
      "4/1>3/1 L0-0 [8 7 5] {2+} (2) f00", "4/1>3/2 L0-0 [8 7 6] {2-} (12) f00",
      "2/1>1/1 L0-0 [5 4 3] {1+} (1) f00", "2/2>1/1 L0-0 [6 4 3] {1-} (11) f00",
  };
  EXPECT_EQ(Golden(area.TrainRoutes[0]), expected);
  EXPECT_TRUE(area.TrainRoutes[0].Chains.empty());
}

// ---------------------------------------------------------------------------
// Signal kinds after the peregon completion and the classification

TEST(TextDistrictSignalsTest, ControlledStationHasPeregonEndBlockAndStationSignals) {
  const TAreaData area = Prepare(ControlledStation());
  const std::vector<std::string> expected = {
      "k0 d1 s3 lamp16 lp0 next1",  // odd entry at the end of peregon 1
      "k3 d1 s5 lamp18 lp0 next-1",
      "k3 d0 s5 lamp20 lp0 next-1",
      "k3 d1 s6 lamp19 lp0 next-1",
      "k3 d0 s6 lamp21 lp0 next-1",
      "k0 d0 s8 lamp17 lp0 next2",  // even entry at the end of peregon 2
      // block signals of peregon 1 (sections 1..3), then of peregon 2 (sections 8..9)
      "k2 d1 s1 lamp0 lp-1 next1",
      "k2 d0 s2 lamp0 lp-1 next1",
      "k2 d1 s2 lamp0 lp-1 next1",
      "k2 d0 s3 lamp0 lp-1 next1",
      "k2 d1 s8 lamp0 lp-1 next2",
      "k2 d0 s9 lamp0 lp-1 next2",
  };
  EXPECT_EQ(SignalList(area), expected);
  const std::vector<std::string> summary = DescribeSetup(area);
  EXPECT_EQ(summary.back(),
            "Signals: 2 peregon end (kind 0), 0 to throat (kind 1), 6 block (kind 2), 4 other "
            "station (kind 3)");
}

TEST(TextDistrictSignalsTest, FlippedPeregonGetsItsSignalsInItsOwnNumbering) {
  const TAreaData area = Prepare(DutyStationWithFlip());
  const std::vector<std::string> expected = {
      "k0 d1 s2 lamp14 lp0 next1",  // entry from Запад
      "k1 d1 s4 lamp16 lp0 next-1", "k1 d0 s4 lamp18 lp0 next-1", "k1 d1 s5 lamp17 lp0 next-1",
      "k1 d0 s5 lamp19 lp0 next-1",
      "k0 d1 s7 lamp15 lp0 next2",  // entry from Восток: odd in the peregon's numbering
      "k2 d1 s1 lamp0 lp-1 next1",  "k2 d0 s2 lamp0 lp-1 next1",  "k2 d1 s9 lamp0 lp-1 next2",
      "k2 d0 s8 lamp0 lp-1 next2",  "k2 d1 s8 lamp0 lp-1 next2",  "k2 d0 s7 lamp0 lp-1 next2",
  };
  EXPECT_EQ(SignalList(area), expected);
  EXPECT_EQ(DescribeSetup(area).back(),
            "Signals: 2 peregon end (kind 0), 4 to throat (kind 1), 6 block (kind 2), 0 other "
            "station (kind 3)");
  // Nothing stands on the station's side of the flip.
  EXPECT_EQ(area.SlSects[6].Semaphore[kEven], -1);
  EXPECT_EQ(area.SlSects[6].Semaphore[kOdd], -1);
}

// ---------------------------------------------------------------------------
// Failures of the set-up on districts made to fail

TEST(TextDistrictSetupFailureTest, FlipWithoutAThroatStopsTheStart) {
  TextDistrict d = DutyStationWithFlip();
  d.Replace("Data_Gorl_Stanz", "1,1,2,0,0\n", "");
  EXPECT_EQ(SetupFailure(d), "Inlet expected at parity flip0007h");
}

TEST(TextDistrictSetupFailureTest, FileRouteLackingTheForwardSwitchNamesLPRouteAndSwitch) {
  TextDistrict d = ControlledStation();
  d.Replace("Data_Marsh_P", "11,21, 0,0, 3,5, 1\n", "11,21, 0,0, 3,5, 2\n");
  EXPECT_EQ(SetupFailure(d),
            "Error testing routes of LP  0\r\n\r\nError at route 0\r\n\r\n"
            "Route lacks the forward switch 1");
}

TEST(TextDistrictSetupFailureTest, FileRouteComingOffTheSideBranchWithAPlusEntryIsRefused) {
  TextDistrict d = ControlledStation();
  d.Replace("Data_Marsh_P", "22,11, 0,0, 6,3, 11\n", "22,11, 0,0, 6,3, 1\n");
  EXPECT_EQ(SetupFailure(d),
            "Error testing routes of LP  0\r\n\r\nError at route 7\r\n\r\n"
            "Switch should be side but it is straight");
}

TEST(TextDistrictSetupFailureTest, TwoThroatsOnOnePeregonEndAreADoublePeregon) {
  TextDistrict d = DutyStationWithFlip();
  d.Replace("Data_Gorl_Stanz", "1,1,2,0,0\n", "1,1,2,0,0\n1,0,1,0,0\n");
  EXPECT_EQ(SetupFailure(d), "Double peregon (1) usage (2<>0)");
}

TEST(TextDistrictSetupFailureTest, UnchangedTextDistrictsPassTheSetUp) {
  EXPECT_EQ(SetupFailure(ControlledStation()), "");
  EXPECT_EQ(SetupFailure(DutyStationWithFlip()), "");
}

}  // namespace
}  // namespace traklin
