// traklin-cli check: the report of a usable district and the texts of both kinds of failure.
#include "area/district_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "district_text.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using test::DistrictText;

// The district of DistrictText (two stations A and B joined by one peregon) written to a
// fresh directory.
class DistrictCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("check_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Check(const DistrictText& district) {
    std::ofstream(dir_ / "Data.dat", std::ios::binary) << district.Bytes();
    return RunDistrictCheck(dir_, out_, err_);
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(DistrictCheckTest, UsableDistrictListsTablesThenRoutesAndSignals) {
  ASSERT_EQ(Check(DistrictText()), 0) << err_.str();
  EXPECT_EQ(err_.str(), "");
  const std::vector<std::string> lines = Lines(out_.str());
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "AreaNumber 1");
  for (const char* table : {"SectCount 8", "Puts 2", "GraphLamps 21", "Semaphores 3"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), table), lines.end()) << table;
  const std::vector<std::string> setup(lines.end() - 3, lines.end());
  EXPECT_EQ(setup, (std::vector<std::string>{
                       "LP 0 (code 1) АЛК: 2 routes, 2 chains",
                       "LP 1 (code 2) БРС: 1 routes, 1 chains",
                       "Signals: 1 peregon end (kind 0), 2 to throat (kind 1), 0 block (kind 2), "
                       "0 other station (kind 3)",
                   }));
}

TEST_F(DistrictCheckTest, FailedSetUpPrintsTheInitializingErrorAndNoReport) {
  DistrictText district;
  district.SetSection("Data_Sekz", "1,1\n2,2\n3,40\n4,4\n5,5\n6,6\n7,7\n65535");
  EXPECT_EQ(Check(district), kCheckFailed);
  EXPECT_EQ(err_.str(), "Error initializing data+\n\nLamp 40 of section 3 out of bounds\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(DistrictCheckTest, ReadingErrorPrintsTheLineAndNoReport) {
  DistrictText district;
  district.SetSection("Data_Sekz", "1,1\n2,x\n65535");
  EXPECT_EQ(Check(district), kCheckFailed);
  const std::string line = std::to_string(district.BodyLine("Data_Sekz", 2));
  EXPECT_EQ(err_.str().rfind("Error reading Data.dat\nAt Line " + line + "\n'2,x'\n\n", 0), 0u)
      << err_.str();
  EXPECT_EQ(out_.str(), "");
}

TEST_F(DistrictCheckTest, MissingDirectoryFails) {
  EXPECT_EQ(RunDistrictCheck(dir_ / "none", out_, err_), kCheckFailed);
  EXPECT_EQ(err_.str(), "No district directory " + (dir_ / "none").string() + "\n");
  EXPECT_EQ(out_.str(), "");
}

}  // namespace
}  // namespace traklin
