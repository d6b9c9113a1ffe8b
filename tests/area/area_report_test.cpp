// The account of a district that traklin-cli check prints.
#include "area/area_report.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace traklin {
namespace {

TEST(AreaReportTest, HeaderValuesComeFirstThenEveryTableWithItsCount) {
  TAreaData area;
  area.AreaNumber = 3;
  area.StationCount = 2;
  area.BaseYear = 2010;
  area.GraphBackColor = 0xC0C0C0;
  area.GraphFragms.resize(5);
  area.Sekzs.resize(41);
  area.PassTrains[kOdd].resize(7);
  area.Semaphores.resize(12);
  const std::vector<std::string> lines = DescribeAreaTables(area);
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], "AreaNumber 3");
  EXPECT_EQ(lines[1], "StationCount 2");
  EXPECT_EQ(lines[5], "GraphBackColor C0C0C0h");
  EXPECT_EQ(lines[9], "BaseYear 2010");
  for (const char* expected : {"GraphFragms 5", "Sekzs 41", "PassTrains[0] 0", "PassTrains[1] 7",
                               "Semaphores 12", "Stations 0", "TrainRoutes 0"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
  EXPECT_EQ(lines.back(), "Semaphores 12");
}

TEST(AreaReportTest, EveryTableOfTheDistrictIsListedOnce) {
  const std::vector<std::string> lines = DescribeAreaTables(TAreaData{});
  const char* tables[] = {"GraphFragms",    "GraphVids",     "GraphPeregons", "GraphLamps",
                          "Sekzs",          "Stanzs",        "GorlStanzs",    "Puts",
                          "Strels",         "GrStrels",      "SlSects",       "TrainRoutes",
                          "SparGrStrels",   "Locos",         "OstLocos",      "Peregons",
                          "PassTrains[0]",  "PassTrains[1]", "GruzTrains[0]", "GruzTrains[1]",
                          "CreationInlets", "CreationPlans", "LPMnemNames",   "LPManipNames",
                          "Stations",       "Semaphores"};
  for (const char* table : tables) {
    const std::string line = std::string(table) + " 0";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << table;
  }
}

TEST(PlainLineBreaksTest, WindowsLineEndsBecomeNewlines) {
  EXPECT_EQ(ToPlainLineBreaks("Error reading Data.dat\r\nAt Line 3\r\n'x'\r\n\r\nEnd"),
            "Error reading Data.dat\nAt Line 3\n'x'\n\nEnd");
  EXPECT_EQ(ToPlainLineBreaks("a\rb\nc"), "a\nb\nc");
  EXPECT_EQ(ToPlainLineBreaks("Неизвестен участок симулятора\r\n"),
            "Неизвестен участок симулятора\n");
}

}  // namespace
}  // namespace traklin
