// Sections, switches, section links, signals and file routes.
#include <gtest/gtest.h>

#include "reader_cases.h"

namespace traklin::test {
namespace {

// Data_Sl_Sekz: line 1 is a comment, the record of section i is on line i + 1.
std::string Sl(int section, const std::string& record) {
  return WithLine("Data_Sl_Sekz", section + 1, record);
}

// The default records of sections 1..4, after the comment line.
const std::string kSlFirstFour =
    "; sections 1..4\n"
    "1,2,3, 0,0,0, 100,80, 0,0, 60,40, 25\n"
    "0,4,0, 0,1,0, 800,0, 14,0, 80,60, 0\n"
    "0,4,0, 0,1,0, 700,0, 0,0, 80,60, 0\n"
    "0,5,0, 2,2,3, 100,80, 0,0, 60,40, 25\n";

const SectionCase kSekzRows[] = {
    {"SectionAboveS", "Data_Sekz", "1,1\n9,2\n65535", "Section index out of bounds", 2},
    {"SectionTwice", "Data_Sekz", "1,1\n2,2\n1,3\n65535", "Double section index", 3},
    {"RecordCutShort", "Data_Sekz", "1,1\n2", "Too few section values", kAtNextHeader},
    {"NoTerminator", "Data_Sekz", "1,1", "Too few section values", kAtNextHeader},
    {"DataAfter", "Data_Sekz", "65535\n; c\n1", "Data after end of sections values", 3},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderSekzMessages, kSekzRows);

const SectionCase kStrRows[] = {
    {"CountsMissing", "Data_Str", "1,1", "No switch data lamp counts", kAtNextHeader},
    {"CountZero", "Data_Str", "1,0,1\n65535", "Illegal switch data lamp counts", 1},
    {"ThreeALamps", "Data_Str", "3,1,1\n65535", "Unsupported switch data lamp counts", 1},
    {"FourMinusLamps", "Data_Str", "1,1,4\n65535", "Unsupported switch data lamp counts", 1},
    {"SectionAboveS", "Data_Str", "1,1,1\n9,1,0,8,9,10\n65535", "Section index out of bounds", 2},
    {"LampBeyondTable", "Data_Str", "1,1,1\n1,1,0,8,9,\n21\n65535", "Lamp index out of bounds", 3},
    {"RecordCutShort", "Data_Str", "1,1,1\n1,1,0,8,9", "Too few switch values", kAtNextHeader},
    {"DataAfter", "Data_Str", "1,1,1\n65535,0", "Data after end of switch values", 2},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderStrMessages, kStrRows);

const SectionCase kGrStrRows[] = {
    {"FirstSectionZero", "Data_Gr_Str", "1,0,2,0\n65535", "Section index out of bounds", 1},
    {"ThirdSectionAboveS", "Data_Gr_Str", "1,1,2,9\n65535", "Section index out of bounds", 1},
    {"CutShort", "Data_Gr_Str", "1,1,2", "Too few switch group values", kAtNextHeader},
    {"DataAfter", "Data_Gr_Str", "65535\n5", "Data after end of switch group values", 2},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderGrStrMessages, kGrStrRows);

const SectionCase kSlSekzRows[] = {
    {"SwitchAboveSwitchCount", "Data_Sl_Sekz", Sl(1, "3,2,3, 0,0,0, 100,80, 0,0, 60,40, 25"),
     "Switch groups unsupported yet", 2},
    {"EvenSwitchAboveSwitchCount", "Data_Sl_Sekz", Sl(4, "0,5,0, 3,2,3, 100,80, 0,0, 60,40, 25"),
     "Switch groups unsupported yet", 5},
    {"LinkToItself", "Data_Sl_Sekz", Sl(2, "0,2,0, 0,1,0, 800,0, 14,0, 80,60, 0"),
     "Section cannot link to itself", 3},
    {"EvenLinkToItself", "Data_Sl_Sekz", Sl(2, "0,4,0, 0,2,0, 800,0, 14,0, 80,60, 0"),
     "Section cannot link to itself", 3},
    {"NeighbourAboveS", "Data_Sl_Sekz", Sl(7, "0,9,0, 0,6,0, 300,0, 0,0, 60,60, 0"),
     "Section index out of bounds", 8},
    {"OddStraightNotLinkedBack", "Data_Sl_Sekz", Sl(7, "0,5,0, 0,6,0, 300,0, 0,0, 60,60, 0"),
     "Mislinking section (odd direction straight)", 8},
    {"EvenStraightNotLinkedBack", "Data_Sl_Sekz", Sl(7, "0,0,0, 0,5,0, 300,0, 0,0, 60,60, 0"),
     "Mislinking section (even direction straight)", 8},
    {"OddSideNotLinkedBack", "Data_Sl_Sekz", Sl(7, "2,0,3, 0,6,0, 300,0, 0,0, 60,60, 0"),
     "Mislinking section (odd direction to the side)", 8},
    {"EvenSideNotLinkedBack", "Data_Sl_Sekz", Sl(7, "0,0,0, 2,6,3, 300,0, 0,0, 60,60, 0"),
     "Mislinking section (even direction to the side)", 8},
    {"OddSwitchWithoutSide", "Data_Sl_Sekz", Sl(1, "1,2,0, 0,0,0, 100,80, 0,0, 60,40, 25"),
     "Section with switch data incomplete", 2},
    {"OddSideWithoutSwitch", "Data_Sl_Sekz", Sl(1, "0,2,3, 0,0,0, 100,80, 0,0, 60,40, 25"),
     "Section with switch data incomplete", 2},
    {"EvenSwitchWithoutSide", "Data_Sl_Sekz", Sl(4, "0,5,0, 2,2,0, 100,80, 0,0, 60,40, 25"),
     "Section with switch data incomplete", 5},
    {"SwitchWithoutSideLength", "Data_Sl_Sekz", Sl(1, "1,2,3, 0,0,0, 100,0, 0,0, 60,40, 25"),
     "Section with switch data incomplete", 2},
    {"SideLengthWithoutSwitch", "Data_Sl_Sekz", Sl(2, "0,4,0, 0,1,0, 800,5, 14,0, 80,60, 0"),
     "Section with switch data incomplete", 3},
    {"SwitchWithoutSideSpeed", "Data_Sl_Sekz", Sl(1, "1,2,3, 0,0,0, 100,80, 0,0, 60,40, 0"),
     "Section with switch data incomplete", 2},
    {"SideSpeedWithoutSwitch", "Data_Sl_Sekz", Sl(2, "0,4,0, 0,1,0, 800,0, 14,0, 80,60, 5"),
     "Section with switch data incomplete", 3},
    {"SwitchesAtBothEnds", "Data_Sl_Sekz", Sl(4, "1,5,6, 2,2,3, 100,80, 0,0, 60,40, 25"),
     "Section may have either even or odd switch", 5},
    {"SignalAtSwitch", "Data_Sl_Sekz", Sl(1, "1,2,3, 0,0,0, 100,80, 14,0, 60,40, 25"),
     "Semaphore should be before the switch, not at it", 2},
    {"EvenSignalAtSwitch", "Data_Sl_Sekz", Sl(4, "0,5,0, 2,2,3, 100,80, 0,\n11, 60,40, 25"),
     "Semaphore should be before the switch, not at it", 6},
    {"SignalLampBeyondTable", "Data_Sl_Sekz", Sl(2, "0,4,0, 0,1,0, 800,0, 21,0, 80,60, 0"),
     "Lamp index out of bounds", 3},
    {"LengthWithoutPassengerLimit", "Data_Sl_Sekz", Sl(2, "0,4,0, 0,1,0, 800,0, 14,0, 0,60, 0"),
     "Section len without section speed limit (or vice versa)", 3},
    {"FreightLimitWithoutLength", "Data_Sl_Sekz", Sl(7, "0,0,0, 0,6,0, 0,0, 0,0, 0,60, 0"),
     "Section len without section speed limit (or vice versa)", 8},
    {"RecordMissing", "Data_Sl_Sekz", Sl(7, "; gone"), "Too few sl sekz values", kAtNextHeader},
    {"DataAfter", "Data_Sl_Sekz", DistrictText().Section("Data_Sl_Sekz") + "\n1",
     "Data after end of sl sekz values", 9},
    {"ReverseAfterEvenFlip", "Data_Sl_Sekz",
     kSlFirstFour + "0,0,0, 0,6,0, 5000,0, 0,0, 120,90, 0\n" +
         "0,0,0, 2,5,7, 900,80, 0,0, 100,80, 25\n0,6,0, 0,0,0, 300,0, 0,0, 60,60, 0",
     "Indefinite parity reverse", 8},
    {"FlipAfterOddFlip", "Data_Sl_Sekz",
     kSlFirstFour + "0,6,0, 0,4,0, 5000,0, 0,0, 120,90, 0\n" +
         "2,5,7, 0,0,0, 900,80, 0,0, 100,80, 25\n0,0,0, 0,6,0, 300,0, 0,0, 60,60, 0",
     "Indefinite parity flip", 8},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderSlSekzMessages, kSlSekzRows);

const SectionCase kRouteRows[] = {
    {"UnknownLPCode", "Data_Marsh_P", "3,1,1\n11,21,1,2,1,2,1\n65535", "Unknown LP code", 1},
    {"TwentyOneSwitches", "Data_Marsh_P", "1,1,\n21", "Unsupported train routes switch count", 2},
    {"ButtonPosition7", "Data_Marsh_P", "1,1,1\n47,21,1,2,1,2,1\n65535", "Unsupported route button",
     2},
    {"EndButtonKind5", "Data_Marsh_P", "1,1,1\n11,\n51,1,2,1,2,1\n65535",
     "Unsupported route button", 3},
    {"LampBeyondTable", "Data_Marsh_P", "1,1,1\n11,21,1,21,1,2,1\n65535",
     "Lamp index out of bounds", 2},
    {"FirstSectionZero", "Data_Marsh_P", "1,1,1\n11,21,1,2,0,2,1\n65535",
     "Section index out of bounds", 2},
    {"LastSectionAboveS", "Data_Marsh_P", "1,1,1\n11,21,1,2,1,9,1\n65535",
     "Section index out of bounds", 2},
    {"RouteCutShort", "Data_Marsh_P", "1,2,1\n11,21,1,2,1,2,1\n11,21",
     "Too few train routes group values", kAtNextHeader},
    {"DataAfter", "Data_Marsh_P", "65535\n1", "Data after end of train routes values", 2},
    {"ManeuvresEmpty", "Data_Marsh_M", "", "Maneuvres routes unsupported.", kAtNextHeader},
    {"ManeuvresGiven", "Data_Marsh_M", "\n1,2,3", "Maneuvres routes unsupported.", 2},
    {"ManeuvresDataAfter", "Data_Marsh_M", "65535,1", "Data after end of maneuvres routes", 1},
    {"SparSectionZero", "Data_Spar_Gr_Str", "1,0,2,1,2,0\n65535", "Section index out of bounds", 1},
    {"SparLampBeyondTable", "Data_Spar_Gr_Str", "1,1,2,1,21,0\n65535", "Lamp index out of bounds",
     1},
    {"SparPairsCutShort", "Data_Spar_Gr_Str", "1,1,2,1,2,2\n5,6\n7",
     "Too few linked switches groups values", kAtNextHeader},
    {"SparDataAfter", "Data_Spar_Gr_Str", "65535\n2", "Data after linked switches groups values",
     2},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderRouteMessages, kRouteRows);

TEST(AreaReaderSekzTest, EveryEntryZeroUntilGiven) {
  DistrictText district;
  district.SetSection("Data_Sekz", "3,7\n8,9\n0,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Sekzs, (TSekzsData{0, 0, 0, 7, 0, 0, 0, 0, 9}));
}

TEST(AreaReaderStrTest, RecordsAreIndexedBySwitchNumberAndGapsStayZero) {
  DistrictText district;
  district.SetSection("Data_Str",
                      "2,3,3\n1,7,4, 8,0, 9,0,0, 10,0,0\n1,1,0, 8,0, 9,0,0, 10,0,0\n"
                      "4,2,0, 11,0, 12,0,0, 13,0,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.SwitchLampsA, 2);
  EXPECT_EQ(out.Area.SwitchLampsPlus, 3);
  EXPECT_EQ(out.Area.SwitchLampsMinus, 3);
  ASSERT_EQ(out.Area.Strels.size(), 8u);
  EXPECT_EQ(out.Area.Strels[7].Section, 1);
  EXPECT_EQ(out.Area.Strels[7].Value3, 4);
  EXPECT_EQ(out.Area.Strels[7].MinusLamps[0], 10);
  for (int k = 3; k <= 6; ++k) {
    EXPECT_EQ(out.Area.Strels[k].Section, 0) << k;
    EXPECT_EQ(out.Area.Strels[k].LampsA[0], 0) << k;
  }
}

TEST(AreaReaderStrTest, TableCoversEverySwitchNumber) {
  DistrictText district;
  district.SetSection("Data_Str", "1,1,1\n65535");
  district.SetHeader(3, "9");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Strels.size(), 10u);
  EXPECT_EQ(out.Area.Strels[1].OddEnd, 1);  // set by the section links
}

TEST(AreaReaderStrTest, MinusLampDiagonalsPointAwayFromTheReference) {
  // Reference lamp 8 at (40, 50). Minus lamp 10 is moved around it; shape 1 becomes 3 when
  // exactly one of "right of" and "below" holds, shape 3 becomes 1 when both or neither hold.
  struct Row {
    const char* Lamp;
    int Shape;
  };
  const Row rows[] = {{"45,55,105", 1}, {"45,45,105", 3}, {"35,55,105", 3}, {"35,45,105", 1},
                      {"45,55,305", 1}, {"45,45,305", 3}, {"35,45,305", 1}, {"45,45,205", 2}};
  for (const Row& r : rows) {
    DistrictText district;
    district.SetSection("Data_Graph_Lamp", WithLine("Data_Graph_Lamp", 11, r.Lamp));
    const LoadOutcome out = Load(district);
    ASSERT_TRUE(out.Ok) << out.Message;
    EXPECT_EQ(out.Area.GraphLamps[10].Shape, r.Shape) << r.Lamp;
  }
}

TEST(AreaReaderStrTest, WithoutLampAReferenceIsTheFirstMinusLampOfTypeZero) {
  DistrictText district;
  // Switch 1 has no lamp A; minus lamps 19 (type 10) and 20 (type 0, at 100,50) and 10.
  district.SetSection("Data_Graph_Lamp", WithLine("Data_Graph_Lamp", 21, "100,50,0"));
  district.SetSection("Data_Str", "1,1,3\n1,1,0, 0,9, 19,20,10\n4,2,0, 11,12, 13,0,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  // Lamp 10 at (45, 55) against (100, 50): left and below, so shape 1 turns to 3.
  EXPECT_EQ(out.Area.GraphLamps[10].Shape, 3);
}

TEST(AreaReaderSlSekzTest, LinksSignalsAndSwitchEndsOfTheDefaultDistrict) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message;
  const TAreaData& a = out.Area;
  ASSERT_EQ(a.SlSects.size(), 9u);
  EXPECT_EQ(a.SlSects[1].Switch[kOdd], 1);
  EXPECT_EQ(a.SlSects[1].Side[kOdd], 3);
  EXPECT_EQ(a.SlSects[4].Side[kEven], 3);
  EXPECT_EQ(a.SlSects[5].Length, 5000);
  EXPECT_EQ(a.SlSects[1].SideSpeedLimit, 25);
  EXPECT_EQ(a.Strels[1].OddEnd, 1);
  EXPECT_EQ(a.Strels[2].OddEnd, 0);
  EXPECT_EQ(a.ParityFlipCount, 0);
  EXPECT_EQ(out.MaxSpeedLimit, 120);
  EXPECT_EQ(a.SlSects[3].Throat[0], -1);
  ASSERT_EQ(a.Semaphores.size(), 3u);
  const struct {
    int Kind, Direction, Lamp, Section, LP;
  } expected[] = {{1, kOdd, 14, 2, 0}, {3, kOdd, 16, 5, -1}, {1, kEven, 15, 6, 1}};
  for (int k = 0; k < 3; ++k) {
    const TSemaphoreData& s = a.Semaphores[k];
    EXPECT_EQ(s.Kind, expected[k].Kind) << k;
    EXPECT_EQ(s.Direction, expected[k].Direction) << k;
    EXPECT_EQ(s.Lamp, expected[k].Lamp) << k;
    EXPECT_EQ(s.Section, expected[k].Section) << k;
    EXPECT_EQ(s.LP, expected[k].LP) << k;
    EXPECT_EQ(s.Next, -1) << k;
  }
  EXPECT_EQ(a.SlSects[2].Semaphore[kOdd], 0);
  EXPECT_EQ(a.SlSects[2].Semaphore[kEven], -1);
  EXPECT_EQ(a.SlSects[6].Semaphore[kEven], 2);
  EXPECT_EQ(a.SlSects[2].TrackLP, 0);
  EXPECT_EQ(a.SlSects[2].Track, 0);
  EXPECT_EQ(a.SlSects[6].TrackLP, 1);
  EXPECT_EQ(a.SlSects[3].TrackLP, -1);  // a track, but no signal asked for it
}

TEST(AreaReaderSlSekzTest, OddSignalIsAppendedBeforeEvenSignal) {
  DistrictText district;
  district.SetSection("Data_Sl_Sekz", Sl(3, "0,4,0, 0,1,0, 700,0, 19,20, 80,60, 0"));
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.Semaphores.size(), 5u);
  EXPECT_EQ(out.Area.Semaphores[1].Lamp, 19);
  EXPECT_EQ(out.Area.Semaphores[1].Direction, kOdd);
  EXPECT_EQ(out.Area.Semaphores[2].Lamp, 20);
  EXPECT_EQ(out.Area.Semaphores[2].Direction, kEven);
  EXPECT_EQ(out.Area.SlSects[3].Semaphore[kOdd], 1);
  EXPECT_EQ(out.Area.SlSects[3].Semaphore[kEven], 2);
}

TEST(AreaReaderSlSekzTest, SameDirectionLinksAreAParityFlip) {
  DistrictText district;
  district.SetSection("Data_Sl_Sekz", Sl(7, "0,6,0, 0,0,0, 300,0, 0,0, 60,60, 0"));
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.ParityFlipCount, 1);
  EXPECT_EQ(out.Area.SlSects[6].Flip[kOdd], 1);
  EXPECT_EQ(out.Area.SlSects[7].Flip[kOdd], 1);
  EXPECT_EQ(out.Area.SlSects[6].Flip[kEven], 0);
  EXPECT_EQ(out.Area.SlSects[5].Flip[kOdd], 0);
}

TEST(AreaReaderSlSekzTest, TwoTracksOnASignalSectionAreRefused) {
  DistrictText district;
  district.SetSection("Data_Put",
                      "1,0,2,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n2,0,2,0\n6,6,1,1,2,0,0\n"
                      "2,2,1,3,2,0,0\n65535");
  const LoadOutcome out = Load(district);
  EXPECT_EQ(out.Message, "Double track section (0002h) usage (1-1 <> 0-0)");
  EXPECT_EQ(out.Line, district.BodyLine("Data_Sl_Sekz", 3));
}

TEST(AreaReaderSlSekzTest, EvenSignalTakesTheFirstOfTwoTracks) {
  DistrictText district;
  district.SetSection("Data_Put",
                      "1,0,3,0\n2,2,1,1001,2,5,0\n3,3,1,2,2,0,0\n6,6,1,5,2,0,0\n2,0,1,0\n"
                      "6,6,1,1,2,0,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Semaphores[2].LP, 0);
  EXPECT_EQ(out.Area.SlSects[6].TrackLP, 0);
  EXPECT_EQ(out.Area.SlSects[6].Track, 2);
}

TEST(AreaReaderRouteTest, RoutesAreKeptPerLPWithButtonsSplit) {
  DistrictText district;
  district.SetSection("Data_Marsh_P", "2,1,0\n12,31,6,0,6,6\n1,1,1\n46,21,1,2,1,2,11\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.TrainRoutes.size(), 2u);
  const TLPRoutesData& a = out.Area.TrainRoutes[0];
  EXPECT_EQ(a.Code, 1);
  EXPECT_EQ(a.RouteCount, 1);
  EXPECT_EQ(a.SwitchCount, 1);
  ASSERT_EQ(a.Routes.size(), 1u);
  EXPECT_EQ(a.Routes[0].StartKind, 4);
  EXPECT_EQ(a.Routes[0].StartPosition, 6);
  EXPECT_EQ(a.Routes[0].EndKind, 2);
  EXPECT_EQ(a.Routes[0].EndPosition, 1);
  EXPECT_EQ(a.Routes[0].StartLamp, 1);
  EXPECT_EQ(a.Routes[0].LastSection, 2);
  EXPECT_EQ(a.Routes[0].Switches[0], 11);
  EXPECT_EQ(a.Routes[0].Switches[1], 0);
  EXPECT_EQ(out.Area.TrainRoutes[1].Code, 2);
  EXPECT_EQ(out.Area.TrainRoutes[1].Routes.at(0).FirstSection, 6);
}

TEST(AreaReaderRouteTest, LaterGroupOfTheSameLPReplacesTheEarlier) {
  DistrictText district;
  district.SetSection("Data_Marsh_P",
                      "1,1,1\n11,21,1,2,1,2,1\n1,2,0\n11,21,0,0,1,2\n"
                      "21,11,0,0,2,1\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.TrainRoutes[0].RouteCount, 2);
  EXPECT_EQ(out.Area.TrainRoutes[0].SwitchCount, 0);
  EXPECT_EQ(out.Area.TrainRoutes[0].Routes.size(), 2u);
  EXPECT_TRUE(out.Area.TrainRoutes[1].Routes.empty());
}

TEST(AreaReaderRouteTest, SwitchPosBaseRisesToFitTheLargestEntry) {
  const std::pair<const char*, int> rows[] = {{"3,13,115", 100}, {"3,13,35", 10}, {"3,13,13", 10}};
  for (const auto& [entries, base] : rows) {
    DistrictText district;
    district.SetHeader(3, "25");
    district.SetSection("Data_Marsh_P", std::string("1,1,3\n11,21,1,2,1,2,") + entries + "\n65535");
    const LoadOutcome out = Load(district);
    ASSERT_TRUE(out.Ok) << out.Message;
    EXPECT_EQ(out.Area.SwitchPosBase, base) << entries;
  }
}

TEST(AreaReaderRouteTest, SwitchPosBaseGrowsOnlyAsFarAsNeeded) {
  DistrictText district;
  district.SetSection("Data_Marsh_P", "1,1,2\n11,21,1,2,1,2,65535,5\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.SwitchPosBase, 100000);
}

TEST(AreaReaderRouteTest, ConcurrentRoutePairsAreKept) {
  DistrictText district;
  district.SetSection("Data_Spar_Gr_Str", "9,1,7,1,20,2\n3,4\n5,6\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.SparGrStrels.size(), 1u);
  const TSparGrStrel& g = out.Area.SparGrStrels[0];
  EXPECT_EQ(g.Value1, 9);
  EXPECT_EQ(g.Lamp2, 20);
  EXPECT_EQ(g.Count, 2);
  EXPECT_EQ(g.ConcurRoutes, (TConcurRoutes{{3, 4}, {5, 6}}));
}

}  // namespace
}  // namespace traklin::test
