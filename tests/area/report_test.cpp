// The account of a district that traklin-cli check prints, and the texts of both kinds of
// failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "area/area_report.h"
#include "area/district_check.h"
#include "district_text.h"

namespace traklin::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(AreaReportTest, HeaderValuesComeFirstThenEveryTableOnceWithItsCount) {
  TAreaData area;
  area.AreaNumber = 3;
  area.StationCount = 2;
  area.BaseYear = 2010;
  area.GraphBackColor = 0xC0C0C0;
  area.GraphFragms.resize(5);
  area.PassTrains[kOdd].resize(7);
  area.Semaphores.resize(12);
  const std::vector<std::string> lines = DescribeAreaTables(area);
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ((std::vector<std::string>{lines[0], lines[1], lines[5], lines[9], lines.back()}),
            (std::vector<std::string>{"AreaNumber 3", "StationCount 2", "GraphBackColor C0C0C0h",
                                      "BaseYear 2010", "Semaphores 12"}));
  for (const char* table :
       {"GraphFragms 5",    "GraphVids 0",     "GraphPeregons 0", "GraphLamps 0",
        "Sekzs 0",          "Stanzs 0",        "GorlStanzs 0",    "Puts 0",
        "Strels 0",         "GrStrels 0",      "SlSects 0",       "TrainRoutes 0",
        "SparGrStrels 0",   "Locos 0",         "OstLocos 0",      "Peregons 0",
        "PassTrains[0] 0",  "PassTrains[1] 7", "GruzTrains[0] 0", "GruzTrains[1] 0",
        "CreationInlets 0", "CreationPlans 0", "LPMnemNames 0",   "LPManipNames 0",
        "Stations 0",       "Semaphores 12"})
    EXPECT_EQ(std::count(lines.begin(), lines.end(), table), 1) << table;
  EXPECT_EQ(ToPlainLineBreaks("Error reading Data.dat\r\nAt Line 3\r\n'x'\r\n\r\nEnd"),
            "Error reading Data.dat\nAt Line 3\n'x'\n\nEnd");
  EXPECT_EQ(ToPlainLineBreaks("a\rb\nc"), "a\nb\nc");
}

TEST(DistrictCheckTest, UsableDistrictListsTablesRoutesAndSignalsAndFailuresTheirText) {
  const fs::path dir = fs::path(testing::TempDir()) / "traklin_district_check";
  fs::create_directories(dir);
  const auto check = [&](const DistrictText& district, std::ostringstream& out,
                         std::ostringstream& err) {
    std::ofstream(dir / "Data.dat", std::ios::binary) << district.Bytes();
    return RunDistrictCheck(dir, out, err);
  };
  std::ostringstream out, err;
  ASSERT_EQ(check(DistrictText(), out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "");
  const std::vector<std::string> lines = Lines(out.str());
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "AreaNumber 1");
  for (const char* table : {"SectCount 8", "Puts 2", "GraphLamps 21", "Semaphores 3"})
    EXPECT_EQ(std::count(lines.begin(), lines.end(), table), 1) << table;
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{
                "LP 0 (code 1) АЛК: 2 routes, 2 chains", "LP 1 (code 2) БРС: 1 routes, 1 chains",
                "Signals: 1 peregon end (kind 0), 2 to throat (kind 1), 0 block (kind 2), 0 other "
                "station (kind 3)"}));
  // A set-up failure and a reading failure print their text and no report.
  DistrictText setup, reading;
  setup.SetSection("Data_Sekz", "1,1\n2,2\n3,40\n4,4\n5,5\n6,6\n7,7\n65535");
  reading.SetSection("Data_Sekz", "1,1\n2,x\n65535");
  const std::string line = std::to_string(reading.BodyLine("Data_Sekz", 2));
  const std::pair<const DistrictText&, std::string> failures[] = {
      {setup, "Error initializing data+\n\nLamp 40 of section 3 out of bounds\n"},
      {reading, "Error reading Data.dat\nAt Line " + line + "\n'2,x'\n\nNot a decimal digit\n"}};
  for (const auto& [district, text] : failures) {
    std::ostringstream o, e;
    EXPECT_EQ(check(district, o, e), kCheckFailed);
    EXPECT_EQ(e.str(), text);
    EXPECT_EQ(o.str(), "");
  }
  fs::remove_all(dir);
  std::ostringstream o, e;
  EXPECT_EQ(RunDistrictCheck(dir / "none", o, e), kCheckFailed);
  EXPECT_EQ(e.str(), "No district directory " + (dir / "none").string() + "\n");
  EXPECT_EQ(o.str(), "");
}

}  // namespace
}  // namespace traklin::test
