// Stations, throats, LPs with tracks, and peregon data.
#include <gtest/gtest.h>

#include "reader_cases.h"

namespace traklin::test {
namespace {

const SectionCase kStationRows[] = {
    {"StanzPeregonAboveCount", "Data_Stanz", "1,1,1, 1,0\n2,0,2, 1,0, 2,0",
     "Peregon index out of bounds", 2},
    {"StanzPairsCutShort", "Data_Stanz", "1,1,1, 1,0\n2,0,2, 1,0", "Too few stanz values",
     kAtNextHeader},
    {"StanzDataAfter", "Data_Stanz", "1,1,1, 1,0\n2,0,1, 1,0\n3", "Data after end of stanz values",
     3},
    {"GorlPeregonAboveCount", "Data_Gorl_Stanz", "1,1,2,0,0\n65535", "Peregon index out of bounds",
     1},
    {"GorlCutShort", "Data_Gorl_Stanz", "1,1,1,0", "Too few gorl stanz values", kAtNextHeader},
    {"GorlDataAfter", "Data_Gorl_Stanz", "65535\n1", "Data after end of gorl stanz values", 2},
    {"PutSectionZero", "Data_Put", "1,0,1,0\n0,2,1,1001,2,5,0\n65535",
     "Section index out of bounds", 2},
    {"PutSectionAboveS", "Data_Put", "1,0,1,0\n9,2,1,1001,2,5,0\n65535",
     "Section index out of bounds", 2},
    {"PutFirstLampBeyondTable", "Data_Put", "1,0,1,0\n2,21,0,1001,2,5,0\n65535",
     "Lamp index out of bounds", 2},
    {"PutLastLampBeyondTable", "Data_Put", "1,0,1,0\n2,\n19,3,1001,2,5,0\n65535",
     "Lamp index out of bounds", 3},
    {"PutTrackCutShort", "Data_Put", "1,0,1,0\n2,2,1,1001,2", "Too few put values", kAtNextHeader},
    {"PutFewerLPsThanStations", "Data_Put", "1,0,0,0\n65535", "Too few LPs", 2},
    {"PutDataAfter", "Data_Put", "1,0,0,0\n2,0,0,0\n65535,1", "Data after end of put values", 3},
    {"PutCodeZeroBeyondStations", "Data_Put", "1,0,0,0\n2,0,0,0\n0,0,0,0\n65535",
     "LP code 0 is only allowed for stations", 3},
    {"PeregonAccel30", "Data_Peregon", "1,30,10, 1,10,10, 0, 1,5, 9,5", "Accelerate time too long",
     1},
    {"PeregonAccelB30", "Data_Peregon", "1,10,10, 1,\n30,10, 0, 1,5, 9,5",
     "Accelerate time too long", 2},
    {"PeregonBrake30", "Data_Peregon", "1,10,10, 1,10,30, 0, 1,5, 9,5", "Brake time too long", 1},
    {"PeregonPicket11", "Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9,11",
     "Piquette exceeds maximum of 10", 1},
    {"PeregonCutShort", "Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9", "Too few peregons values",
     kAtNextHeader},
    {"PeregonDataAfter", "Data_Peregon", "1,10,10, 1,10,10, 0, 1,5, 9,5\n\n0",
     "Data after end of peregons values", 3},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderStationMessages, kStationRows);

TEST(AreaReaderStationTest, StationsKeepTheirPeregonItems) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_EQ(out.Area.Stanzs.size(), 2u);
  EXPECT_EQ(out.Area.Stanzs[1].Code, 2);
  EXPECT_EQ(out.Area.Stanzs[1].Value2, 0);
  ASSERT_EQ(out.Area.Stanzs[1].Items.size(), 1u);
  EXPECT_EQ(out.Area.Stanzs[1].Items[0][0], 1);
}

TEST(AreaReaderStationTest, ThroatValueTwoDecodesParitySideAndNumber) {
  struct Row {
    int Value, Parity, Side, Number;
  };
  const Row rows[] = {{5, 1, 1, 0}, {7, 1, -1, 0}, {13, 1, 1, 1}, {3, 1, 0, 1},
                      {0, 0, 0, 0}, {2, 0, 0, 1},  {4, 0, 1, 0},  {30, 0, -1, 3}};
  for (const Row& r : rows) {
    DistrictText district;
    district.SetSection("Data_Gorl_Stanz", "1," + std::to_string(r.Value) + ",1,3,9\n65535");
    const LoadOutcome out = Load(district);
    ASSERT_TRUE(out.Ok) << out.Message;
    ASSERT_EQ(out.Area.GorlStanzs.size(), 1u);
    const TGorlStanzData& g = out.Area.GorlStanzs[0];
    EXPECT_EQ(g.Parity, r.Parity) << r.Value;
    EXPECT_EQ(g.Side, r.Side) << r.Value;
    EXPECT_EQ(g.Number, r.Number) << r.Value;
    EXPECT_EQ(g.Peregon, 1);
    EXPECT_EQ(g.CodeLow, 3);
    EXPECT_EQ(g.CodeHigh, 9);
  }
}

TEST(AreaReaderStationTest, ThroatLayoutCountsOnlyStationThroats) {
  const std::pair<const char*, int> rows[] = {
      {"1,1,1,0,0\n1,5,1,0,0\n2,7,1,0,0\n65535", 2},             // sides 0, +1, -1: 2*2 > 3
      {"1,1,1,0,0\n1,3,1,0,0\n1,5,1,0,0\n2,7,1,0,0\n65535", 1},  // 0, 0, +1, -1: 4 = 4
      {"1,1,1,0,0\n9,5,1,0,0\n9,7,1,0,0\n65535", 1},             // code 9 is no station
      {"65535", 1},
  };
  for (const auto& [body, layout] : rows) {
    DistrictText district;
    district.SetSection("Data_Gorl_Stanz", body);
    const LoadOutcome out = Load(district);
    ASSERT_TRUE(out.Ok) << out.Message;
    EXPECT_EQ(out.Area.ThroatLayout, layout) << body;
  }
}

TEST(AreaReaderStationTest, TracksDeriveSignsAndKindFiveFlags) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.Puts.size(), 2u);
  const TPutData& a = out.Area.Puts[0];
  EXPECT_EQ(a.Code, 1);
  EXPECT_EQ(a.Ring, -1);
  EXPECT_EQ(a.CodeFromStation, 0);
  ASSERT_EQ(a.Tracks.size(), 2u);
  EXPECT_EQ(a.Tracks[0].Number, 1001);
  EXPECT_EQ(a.Kind5[1], 1);  // track I is odd and of kind 5
  EXPECT_EQ(a.Kind5[0], 0);
  const std::tuple<int, int, int> modes[] = {{1, 1, 0}, {2, -1, 1}, {3, 1, -1}, {0, 1, 1}};
  for (const auto& [mode, signA, signB] : modes) {
    DistrictText district;
    district.SetSection("Data_Put", "1,0,2,0\n2,2,1,1001," + std::to_string(mode) +
                                        ",5,0\n3,3,1,2,2,0,0\n2,0,1,0\n6,6,1,1,2,0,0\n65535");
    const LoadOutcome o = Load(district);
    ASSERT_TRUE(o.Ok) << o.Message;
    EXPECT_EQ(o.Area.Puts[0].Tracks[0].SignA, signA) << mode;
    EXPECT_EQ(o.Area.Puts[0].Tracks[0].SignB, signB) << mode;
  }
}

TEST(AreaReaderStationTest, CodeZeroTakesTheStationCode) {
  DistrictText district;
  district.SetSection("Data_Put",
                      "0,0,2,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n0,0,1,0\n"
                      "6,6,1,1,2,0,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Puts[0].Code, 1);
  EXPECT_EQ(out.Area.Puts[0].CodeFromStation, 1);
  EXPECT_EQ(out.Area.Puts[1].Code, 2);
  EXPECT_EQ(out.Area.Puts[1].CodeFromStation, 1);
}

TEST(AreaReaderStationTest, MoreLPsThanStationsExtendPuts) {
  DistrictText district;
  district.SetSection("Data_Put",
                      "1,0,2,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n2,0,1,0\n"
                      "6,6,1,1,2,0,0\n5,1,1,0\n7,20,0,1,1,0,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.LPCount, 3);
  EXPECT_EQ(out.Area.StationCount, 2);
  EXPECT_EQ(out.Area.Puts[2].Code, 5);
  EXPECT_EQ(out.Area.Puts[2].Value2, 1);
  // A track with no lamps needs only its first lamp in range (20 is the last lamp).
  EXPECT_EQ(out.Area.Puts[2].Tracks[0].FirstLamp, 20);
  EXPECT_EQ(out.Area.TrainRoutes.size(), 3u);
}

TEST(AreaReaderStationTest, PeregonDataRegroupedInPairsAtLimits) {
  DistrictText district;
  district.SetSection("Data_Peregon", "1,29,28, 2,27,29, 3, 4,10, 5,0");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  const TPeregonData& p = out.Area.Peregons.at(0);
  EXPECT_EQ(p.AB[0], 1);
  EXPECT_EQ(p.AB[1], 2);
  EXPECT_EQ(p.Accel[0], 29);
  EXPECT_EQ(p.Accel[1], 27);
  EXPECT_EQ(p.Brake[0], 28);
  EXPECT_EQ(p.Brake[1], 29);
  EXPECT_EQ(p.C, 3);
  EXPECT_EQ(p.Km[0], 4);
  EXPECT_EQ(p.Picket[0], 10);
  EXPECT_EQ(p.Km[1], 5);
}

}  // namespace
}  // namespace traklin::test
