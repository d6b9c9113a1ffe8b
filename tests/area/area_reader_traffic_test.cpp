// Loco types, stopping data, timetable, creation inlets and plans, and names.
#include <gtest/gtest.h>

#include "reader_cases.h"

namespace traklin::test {
namespace {

const char* const kTrainHead = "2002,0,0,0, 1, 0,0\n";

const SectionCase kTrafficRows[] = {
    {"LocoType1", "Data_Lok", "1,1,100,20,120,0,100\n65535",
     "Reserved loco types 0..1 can not be configured", 1},
    {"LocoType5001", "Data_Lok", "5001,1,100,20,120,0,100\n65535", "Too many loco types", 1},
    {"AccelType3", "Data_Lok", "2,3,100,20,120,0,100\n65535", "Acceleration type unknwon", 1},
    {"DecelType2", "Data_Lok", "2,1,100,20,120,\n2,100\n65535", "Decelration type unknown", 2},
    {"LocoCutShort", "Data_Lok", "2,1,100,20,120,0", "Too few lcoo type values", kAtNextHeader},
    {"LocoDataAfter", "Data_Lok", "65535\n1", "Data after loco type values", 2},
    {"OstMeters999", "Data_Ost_Lok", "1,999,1,200,0,0\n9,100,9,200,0,0", "Meters exceed km maximum",
     1},
    {"OstSecondMeters999", "Data_Ost_Lok", "1,100,1,200,0,0\n9,100,9,999,0,0",
     "Meters exceed km maximum", 2},
    {"OstCutShort", "Data_Ost_Lok", "1,100,1,200,0,0\n9,100,9", "Too few ost loks values",
     kAtNextHeader},
    {"OstDataAfter", "Data_Ost_Lok", "1,100,1,200,0,0\n9,100,9,200,0,0,1",
     "Data after end of ost loks values", 2},
    {"TrainNumberZero", "Data_Graf_Pass_Ch", "0,2002,0,0, 1, 0,0\n2,0,1000,2\n1,0,0,0\n65535",
     "At least one train number must be present", 1},
    {"LastLPZero", "Data_Graf_Pass_Ch", "2002,0,0,0, 0, 0,0\n65535",
     "Last LP code must not be zero", 1},
    {"StopCodeZero", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "0,0,1000,2\n65535",
     "Stop code must not be zero", 2},
    {"StopCodeUnknown", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "3,0,1000,2\n65535",
     "Stop code is unknown", 2},
    {"FirstStopAtSection", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "4100,0,1000,2\n65535",
     "Schedule should start with LP code", 2},
    {"StopSectionAboveS", "Data_Graf_Pass_Ch",
     std::string(kTrainHead) + "2,0,1000,2\n4105,0,1005,0\n65535", "Illegal stop section", 3},
    {"Arrival2360", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "2,2360,1000,2\n65535",
     "Illegal arrival time", 2},
    {"Arrival2400", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "2,2400,1000,2\n65535",
     "Illegal arrival time", 2},
    {"DepartureMissing", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "2,0,\n0,2\n65535",
     "Departure time must be present", 3},
    {"Departure1260", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "2,0,1260,2\n65535",
     "Illegal departure time", 2},
    {"FirstStopWithoutLoco", "Data_Graf_Pass_Ch", std::string(kTrainHead) + "2,0,1000,1\n65535",
     "Schedule should start with locomotive specified", 2},
    {"StopListNeverEnds", "Data_Graf_Gruz_N", std::string(kTrainHead) + "2,0,1000,2",
     "Too few graph trains schedule values", kAtNextHeader},
    {"TrainDataAfter", "Data_Graf_Pass_N", "65535,7", "Data after graph trains schedule values", 1},
    {"InletCreateType3", "Data_Podhod_Form", "1,3,0\n65535", "Illegal inlet create type", 1},
    {"InletCutShort", "Data_Podhod_Form", "1,0", "Too few creation inlets values", kAtNextHeader},
    {"InletDataAfter", "Data_Podhod_Form", "65535\n\n1", "Data after creation inlets values", 3},
    {"NumberingOneValue", "Data_Num_Poezd", "2001", "Too few freights numeration values",
     kAtNextHeader},
    {"NumberingReversed", "Data_Num_Poezd", "3000,\n2999", "Illegal freights numeration order", 2},
    {"NumberingThirdValue", "Data_Num_Poezd", "2001,2999\n5",
     "Data after freights numeration values", 2},
    {"PlanTime2460", "Data_Plan_Form", "2460,2001,-,1,0,1,2,3,0,0,0\n65535",
     "Illegal creation time", 1},
    {"PlanInletEqualsS", "Data_Plan_Form", "0900,2001,-,8,0,1,2,3,0,0,0\n65535",
     "Inlet index out of bounds", 1},
    {"FreightLoad13", "Data_Plan_Form", "0900,1200,-,1,0,1,2,13,0,0,0\n65535",
     "Illegal freight load type", 1},
    {"CruiseStartMonth13", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,1301,1231,0\n65535",
     "Illegal cruise start time", 1},
    {"CruiseEndDay32", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,0101,1232,0\n65535",
     "Illegal cruise end time", 1},
    {"CruiseEndMissing", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,0501,0,0\n65535",
     "Illegal cruise end time", 1},
    {"CruiseStartMissing", "Data_Plan_Form", "0800,6500,-,1,0,1,2,10,0,0501,0\n65535",
     "Illegal cruise end time", 1},
    {"Periodicity6", "Data_Plan_Form", "0800,999,-,1,0,1,2,10,0101,1231,6\n65535",
     "Illegal passenger periodity type", 1},
    {"PlanNameMissing", "Data_Plan_Form", "0800,6500", "Too few creation plans values",
     kAtNextHeader},
    {"PlanDataAfter", "Data_Plan_Form", "65535,1", "Data after creation plans values", 1},
    {"MnemTooFew", "DataS_RP_Name_Mnem", "АЛК", "Too few LP names", kAtNextHeader},
    {"ManipDataAfter", "DataS_RP_Name_Manip", "А,Б\nВ", "Data after LP names", 2},
    {"NameGroupWithOneSlash", "DataS_Stanz_Name",
     "Алексеевка,Борисово\nВязьма(Вяз/В),Гагарин,Дорохово,Ельня,Жуковка,Зубцов,Истра,Калуга,"
     "Лихославль,Москва",
     "Illegal separator sequence in station names", 2},
    {"NameGroupNotClosed", "DataS_Stanz_Name", "Алексеевка(А/Б/В/Г",
     "Illegal separator sequence in station names", 1},
    {"ElevenNames", "DataS_Stanz_Name", "А,Б,В,Г,Д,Е,Ж,З,И,К\nЛ", "Too few station names",
     kAtLastLine},
};
TRAKLIN_READER_MESSAGE_SUITE(AreaReaderTrafficMessages, kTrafficRows);

TEST(AreaReaderLokTest, TableStartsWithTwoReservedTypes) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.Locos.size(), 3u);
  EXPECT_EQ(out.Area.Locos[0].MaxSpeed, 0);
  EXPECT_EQ(out.Area.Locos[2].AccelType, 1);
  EXPECT_EQ(out.Area.Locos[2].Traction, 100);
  EXPECT_EQ(out.Area.Locos[2].MaxSpeed, 100);
}

TEST(AreaReaderLokTest, LowerTypeAfterHigherKeepsEveryRecord) {
  DistrictText district;
  district.SetSection("Data_Lok", "5,2,1,1,1,1,55\n2,1,1,1,1,0,22\n3,0,1,1,1,0,33\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.Locos.size(), 6u);
  EXPECT_EQ(out.Area.Locos[5].MaxSpeed, 55);
  EXPECT_EQ(out.Area.Locos[2].MaxSpeed, 22);
  EXPECT_EQ(out.Area.Locos[3].MaxSpeed, 33);
  EXPECT_EQ(out.Area.Locos[4].MaxSpeed, 0);
}

TEST(AreaReaderLokTest, HighestTypeIsAccepted) {
  DistrictText district;
  district.SetSection("Data_Lok", "5000,2,1,1,1,1,55\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Locos.size(), 5001u);
}

TEST(AreaReaderOstLokTest, MetresBelow999AreRegroupedAsKmAndMetres) {
  DistrictText district;
  district.SetSection("Data_Ost_Lok", "1,998,2,997,5,6\n9,100,9,200,0,0");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  const TOstLocoData& o = out.Area.OstLocos.at(0);
  EXPECT_EQ(o.Km[0], 1);
  EXPECT_EQ(o.Km[1], 2);
  EXPECT_EQ(o.Meters[0], 998);
  EXPECT_EQ(o.Meters[1], 997);
  EXPECT_EQ(o.E, 5);
  EXPECT_EQ(o.F, 6);
}

TEST(AreaReaderTimetableTest, StopsOfLPsAndSectionsUntilTheLastLP) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.PassTrains[kEven].size(), 1u);
  EXPECT_TRUE(out.Area.PassTrains[kOdd].empty());
  const TGraphTrainData& t = out.Area.PassTrains[kEven][0];
  EXPECT_EQ(t.Numbers[0], 2002);
  EXPECT_EQ(t.LastLP, 1);
  ASSERT_EQ(t.Stops.size(), 3u);
  EXPECT_EQ(t.Stops[0].LPCode, 2);
  EXPECT_EQ(t.Stops[0].Section, 0);
  EXPECT_EQ(t.Stops[0].Departure, 1000);
  EXPECT_EQ(t.Stops[0].LocoType, 2);
  EXPECT_EQ(t.Stops[1].Section, 5);
  EXPECT_EQ(t.Stops[1].LPCode, 0);
  EXPECT_EQ(t.Stops[2].Arrival, 1030);
}

TEST(AreaReaderTimetableTest, EachSectionFillsItsOwnList) {
  DistrictText district;
  district.SetSection("Data_Graf_Gruz_N", "3001,0,0,0, 2, 0,0\n1,0,2359,2\n2,2359,2359,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.GruzTrains[kOdd].size(), 1u);
  EXPECT_EQ(out.Area.GruzTrains[kOdd][0].Stops.size(), 2u);
  EXPECT_TRUE(out.Area.GruzTrains[kEven].empty());
}

TEST(AreaReaderPlanTest, PassengerAndFreightPlansByNumber) {
  const std::pair<int, bool> rows[] = {{6500, false}, {1200, true},  {7501, true}, {999, false},
                                       {6000, false}, {7500, false}, {5999, true}, {1000, true}};
  for (const auto& [number, freight] : rows) {
    DistrictText district;
    district.SetSection("Data_Plan_Form",
                        "0800," + std::to_string(number) + ",-,1,0,1,2,7,0,0,0\n65535");
    const LoadOutcome out = Load(district);
    ASSERT_TRUE(out.Ok) << out.Message;
    const TCreationPlanData& p = out.Area.CreationPlans.at(0);
    EXPECT_EQ(p.LoadType, freight ? 7 : 0) << number;
    EXPECT_EQ(p.Cars, freight ? 0 : 7) << number;
  }
}

TEST(AreaReaderPlanTest, DefaultPlansKeepNameDatesAndDays) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.CreationPlans.size(), 2u);
  const TCreationPlanData& p = out.Area.CreationPlans[0];
  EXPECT_EQ(p.Time, 800);
  EXPECT_EQ(p.Name, "Экспресс");
  EXPECT_EQ(p.StartDate, 101);
  EXPECT_EQ(p.EndDate, 1231);
  EXPECT_EQ(p.Periodicity, 1);
  EXPECT_EQ(p.DayCount, 2);
  EXPECT_EQ(p.Days, (std::vector<int>{1, 3}));
  const TCreationPlanData& f = out.Area.CreationPlans[1];
  EXPECT_EQ(f.Name, "");
  EXPECT_EQ(f.LoadType, 3);
  EXPECT_EQ(f.Periodicity, 0);
  EXPECT_TRUE(f.Days.empty());
}

TEST(AreaReaderPlanTest, NameZeroIsEmpty) {
  DistrictText district;
  district.SetSection("Data_Plan_Form", "0800,6500,0,1,0,1,2,7,0,0,0\n65535");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.CreationPlans.at(0).Name, "");
}

TEST(AreaReaderNamesTest, NamesAreDecodedAndIndexedByCode) {
  const LoadOutcome out = Load(DistrictText{});
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.LPMnemNames, (TLPNamesData{"АЛК", "БРС"}));
  EXPECT_EQ(out.Area.LPManipNames, (TLPNamesData{"Алексеевка", "Борисово"}));
  ASSERT_EQ(out.Area.Stations.size(), 14u);
  EXPECT_EQ(out.Area.Stations[0].Name, "");
  EXPECT_EQ(out.Area.Stations[0].LPCode, 0);
  EXPECT_EQ(out.Area.Stations[3].Name, "Вязьма(Вяз/В/Вязьма/3)");
  EXPECT_EQ(out.Area.Stations[13].Name, "Нара");
  EXPECT_EQ(out.Area.Stations[13].LPCode, 13);
}

TEST(AreaReaderNamesTest, TwelveNamesAreEnoughAndDashIsEmpty) {
  DistrictText district;
  district.SetSection("DataS_Stanz_Name", "А,-,В,Г,Д,Е,Ж,З,И,К\nЛ,М(1/2/3/4)(5/6/7/8)x");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  ASSERT_EQ(out.Area.Stations.size(), 13u);
  EXPECT_EQ(out.Area.Stations[2].Name, "");
  EXPECT_EQ(out.Area.Stations[2].LPCode, 2);
}

TEST(AreaReaderNamesTest, StationNamesEndAtAFurtherSectionHeader) {
  DistrictText district;
  district.SetSection("DataS_Stanz_Name", "А,Б,В,Г,Д,Е,Ж,З,И,К,Л,М\n[Extra]\nН,О");
  const LoadOutcome out = Load(district);
  ASSERT_TRUE(out.Ok) << out.Message;
  EXPECT_EQ(out.Area.Stations.size(), 13u);
}

}  // namespace
}  // namespace traklin::test
