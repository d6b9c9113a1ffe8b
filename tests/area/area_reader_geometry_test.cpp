// Panel fragments, views, graph peregons and lamps.
#include <gtest/gtest.h>

#include "reader_cases.h"

namespace traklin::test {
namespace {

const SectionCase kGeometryRows[] = {
    {"FragmExtraValue", "Data_Graph_Fragm",
     "0,0,200,100, 0,0, 1,1000, 0,19, 0\n300,0,500,100, 300,0, 2,9000, 0,0, 0\n7",
     "Too many graph fragms values", 3},
    {"FragmRecordCutShort", "Data_Graph_Fragm", "0,0,200,100, 0,0, 1,1000, 0,19, 0\n300,0,500",
     "Too few graph fragms values", kAtNextHeader},
    {"VidCountMissing", "Data_Graph_Vid", "", "Expected count", kAtNextHeader},
    {"VidCount101", "Data_Graph_Vid", "\n101", "Unsupported big count", 2},
    {"VidMissingStationGroup", "Data_Graph_Vid", "1\n800,600,10\n0,0,0,0", "Too few graph vids",
     kAtNextHeader},
    {"VidViewRecordCutShort", "Data_Graph_Vid", "1\n800,600", "Too few graph vids", kAtNextHeader},
    {"VidExtraValue", "Data_Graph_Vid", "1\n800,600,10\n0,0,0,0\n300,0,0,1,5",
     "Too many graph vids values", 4},
    {"PeregonCutShort", "Data_Graph_Peregon", "1,2, 10,0,1005,0, 1, 17,18, 16,16",
     "Too few graph peregon values", kAtNextHeader},
    {"PeregonNoTerminator", "Data_Graph_Peregon", "1,2, 10,0,1005,0, 1, 17,18, 16,16, 5",
     "Too few graph peregon values", kAtNextHeader},
    {"PeregonDataAfter", "Data_Graph_Peregon", "1,2, 10,0,1005,0, 1, 17,18, 16,16, 5\n65535\n0",
     "Data after end of graph peregon values", 3},
    {"LampNoFirst", "Data_Graph_Lamp", "; nothing", "No first lamp index", kAtNextHeader},
    {"LampNoCount", "Data_Graph_Lamp", "1", "No lamps count", kAtNextHeader},
    {"LampCutShort", "Data_Graph_Lamp", "1,2\n20,50,10\n60,40", "Too few graph lamp values",
     kAtNextHeader},
    {"LampDataAfter", "Data_Graph_Lamp", "1,1\n20,50,10\n9", "Data after end of graph lamp values",
     3},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderGeometryMessages, kGeometryRows);

TEST(AreaReaderGeometryTest, FragmentsKeepTheirElevenFields) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.GraphFragms.size(), 2u);
  const TGraphFragmData& a = out.Area.GraphFragms[0];
  EXPECT_EQ(a.Right, 200);
  EXPECT_EQ(a.Bottom, 100);
  EXPECT_EQ(a.ShownCode, 1);
  EXPECT_EQ(a.Coordinate, 1000);
  EXPECT_EQ(a.DepartCommitLamp[1], 19);
  EXPECT_EQ(out.Area.GraphFragms[1].AnchorX, 300);
}

TEST(AreaReaderGeometryTest, ViewsHoldOnePlacementPerStation) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_EQ(out.Area.GraphVids.size(), 1u);
  const TGraphVidData& v = out.Area.GraphVids[0];
  EXPECT_EQ(v.Values[0], 800);
  EXPECT_EQ(v.Values[2], 10);
  ASSERT_EQ(v.Fragms.size(), 2u);
  EXPECT_EQ(v.Fragms[0].Shown, 0);
  EXPECT_EQ(v.Fragms[1].X, 300);
  EXPECT_EQ(v.Fragms[1].Shown, 1);
}

TEST(AreaReaderGeometryTest, HundredViewsAreAccepted) {
  std::string body = "100\n";
  for (int v = 0; v < 100; ++v) body += std::to_string(v) + ",1,2\n";
  for (int s = 0; s < 2; ++s) {
    for (int v = 0; v < 100; ++v) body += std::to_string(s) + "," + std::to_string(v) + ",0,7\n";
  }
  DistrictText district;
  district.SetSection("Data_Graph_Vid", body);
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.GraphVids.size(), 100u);
  EXPECT_EQ(out.Area.GraphVids[99].Values[0], 99);
  EXPECT_EQ(out.Area.GraphVids[42].Fragms[1].X, 1);
  EXPECT_EQ(out.Area.GraphVids[42].Fragms[1].Y, 42);
  EXPECT_EQ(out.Area.GraphVids[42].Fragms[1].Shown, 1);
}

TEST(AreaReaderGeometryTest, PeregonOffsetsOfThousandAndMoreAreNegative) {
  DistrictText district;
  district.SetSection("Data_Graph_Peregon", "1,2, 999,1000,1010,5, 1, 17,18, 16,16, 5\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.GraphPeregons.size(), 1u);
  const TGraphPeregonData& p = out.Area.GraphPeregons[0];
  EXPECT_EQ(p.Offsets[0], 999);
  EXPECT_EQ(p.Offsets[1], 0);
  EXPECT_EQ(p.Offsets[2], -10);
  EXPECT_EQ(p.Offsets[3], 5);
  EXPECT_EQ(p.LP[1], 2);
  EXPECT_EQ(p.BlockLamps[1], 16);
  EXPECT_EQ(p.EndSection[0], 5);
  EXPECT_EQ(p.EndSection[1], 0);
}

TEST(AreaReaderGeometryTest, LampTableHasPlaceholdersBeforeFirstLamp) {
  DistrictText district;
  district.SetSection("Data_Graph_Lamp", "1,3\n10,10,205\n210,10,10\n600,10,0");
  // The later sections name lamps up to 20 and fail; the lamp table is already in place.
  const LoadOutcome out = Load(district);
  EXPECT_EQ(out.Message, "Lamp index out of bounds");
  EXPECT_EQ(out.Area.FirstLamp, 1);
  ASSERT_EQ(out.Area.GraphLamps.size(), 4u);
  EXPECT_EQ(out.Area.GraphLamps[0].Width, 0);
  EXPECT_EQ(out.Area.GraphLamps[0].Thickness, 0);
  const TGraphLampData& l = out.Area.GraphLamps[1];
  EXPECT_EQ(l.Width, 5);
  EXPECT_EQ(l.Shape, 2);
  EXPECT_EQ(l.Thickness, 3);
  EXPECT_EQ(l.Station, 0);
  EXPECT_EQ(out.Area.GraphLamps[2].Station, -1);  // between the two rectangles
  EXPECT_EQ(out.Area.GraphLamps[3].Station, -1);  // right of every rectangle
}

TEST(AreaReaderGeometryTest, LampStationUsesHalfOpenRectanglesSearchedFromTheLast) {
  DistrictText district;
  // Station B's rectangle overlaps A's from x = 150 on.
  district.SetSection("Data_Graph_Fragm",
                      "0,0,200,100, 0,0, 1,1000, 0,19, 0\n150,0,500,100, 300,0, 2,9000, 0,0, 0");
  std::string lamps = "1,20\n";
  const char* points[] = {"199,99", "200,50", "149,50", "150,50", "500,50", "10,100"};
  for (const char* p : points) lamps += std::string(p) + ",10\n";
  for (int k = 6; k < 20; ++k) lamps += "0,0,10\n";
  district.SetSection("Data_Graph_Lamp", lamps);
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  const int expected[] = {1, 1, 0, 1, -1, -1};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(out.Area.GraphLamps[k + 1].Station, expected[k]) << k;
}

}  // namespace
}  // namespace traklin::test
