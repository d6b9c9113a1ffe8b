// The catalogue scan of installed districts and the choice of the district to run.
#include "area/district_catalogue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utility>

#include "area/cp1251.h"

namespace traklin {

void PrintTo(const DistrictEntry& e, std::ostream* os) {
  *os << e.Number << "=" << e.Name;
}

namespace {

namespace fs = std::filesystem;

// A district root in a fresh temporary directory.
class DistrictScanTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::path(testing::TempDir()) /
        ("districts_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  /// Writes the file of district n; the first line is written in Windows-1251.
  void Install(int n, const std::string& utf8, const std::string& fileName = "Data.dat") {
    fs::create_directories(root_ / std::to_string(n));
    std::ofstream(root_ / std::to_string(n) / fileName, std::ios::binary) << Utf8ToCp1251(utf8);
  }
  /// Installs districts 1.. with a bare header each.
  void InstallNumbers(std::initializer_list<int> numbers) {
    for (int n : numbers) Install(n, std::to_string(n) + "\r\n");
  }
  std::vector<int> Numbers() {
    std::vector<int> numbers;
    if (auto catalogue = ScanDistricts(root_))
      for (const DistrictEntry& e : *catalogue) numbers.push_back(e.Number);
    return numbers;
  }

  fs::path root_;
};

TEST_F(DistrictScanTest, EmptyOrMissingRootGivesNoCatalogue) {
  EXPECT_FALSE(ScanDistricts(root_).has_value());
  EXPECT_FALSE(ScanDistricts(root_ / "missing").has_value());
}

TEST_F(DistrictScanTest, TenMissesInTotalEndTheScan) {
  InstallNumbers({1, 2, 4, 13});  // 3 and 5..12 are nine misses: 13 is still reached
  EXPECT_EQ(Numbers(), (std::vector<int>{1, 2, 4, 13}));
  fs::remove_all(root_ / "13");
  InstallNumbers({14});  // 13 is the tenth miss: 14 is never looked at
  EXPECT_EQ(Numbers(), (std::vector<int>{1, 2, 4}));
}

TEST_F(DistrictScanTest, TheHeaderLineMustStartWithTheNumberText) {
  Install(1, "; district file\r\n\r\n   \r\n  ; another comment\r\n12 ;x Двенадцатый\r\n");
  Install(2, "12\r\n");  // does not start with "2"
  Install(3, "; only comments\r\n\r\n");
  Install(4, "");
  Install(5, "7 ;x Чужой\r\n");
  Install(6, "6\r\n", "data.dat");  // the file name in any letter case
  Install(7, "7\r\n", "DATA.DAT");
  Install(8, "8\r\n", "data.txt");
  const auto catalogue = ScanDistricts(root_);
  ASSERT_TRUE(catalogue.has_value());
  // The number test is on the text, so district 1 accepts "12".
  EXPECT_EQ(*catalogue,
            (DistrictCatalogue{{1, "Двенадцатый"}, {6, "неизвестный"}, {7, "неизвестный"}}));
}

TEST_F(DistrictScanTest, DisplayNameIsTheCommentWithoutItsFirstWord) {
  const std::pair<const char*, const char*> rows[] = {
      {"5 ;Участок Западный", "Западный"},
      {"5 ;Западный", "Западный"},  // one word is kept
      {"5", "неизвестный"},
      {"5 ;   ", "неизвестный"},
      {"5 ; Участок   ", "Участок"},
      {"5;  Участок   Северо Западный  ", "Северо Западный"},
      {"5 ;a b;c", "b;c"},         // later semicolons stay in the name
      {"5 ;a\tЮжный", "Южный"},    // a tab also ends the first word
      {"5 ;x Ёжик№1", "Ёжик№1"}};  // letters beyond А..я
  InstallNumbers({1, 2, 3, 4});
  for (const auto& [header, name] : rows) {
    Install(5, std::string(header) + "\r\n");
    const auto catalogue = ScanDistricts(root_);
    ASSERT_TRUE(catalogue.has_value());
    EXPECT_EQ(catalogue->back(), (DistrictEntry{5, name})) << header;
  }
}

TEST_F(DistrictScanTest, DataFileIsFoundInAnyLetterCaseDataDatFirst) {
  EXPECT_EQ(DistrictDataFile(root_), root_ / "Data.dat");
  std::ofstream(root_ / "data.dat") << "1";
  EXPECT_EQ(DistrictDataFile(root_), root_ / "data.dat");
  std::ofstream(root_ / "Data.dat") << "1";
  EXPECT_EQ(DistrictDataFile(root_), root_ / "Data.dat");
}

// Answers the district window from a script and counts how often it was shown.
class ScriptedChooser : public DistrictChooser {
 public:
  explicit ScriptedChooser(std::optional<int> answer) : answer_(answer) {}
  std::optional<int> Choose(const DistrictCatalogue& catalogue) override {
    ++shown;
    offered = catalogue;
    return answer_;
  }
  int shown = 0;
  DistrictCatalogue offered;

 private:
  std::optional<int> answer_;
};

TEST(DistrictSelectionTest, TheWindowIsShownOnlyAmongSeveralWithoutAnInstalledRequest) {
  const DistrictCatalogue three{{1, "Первый"}, {2, "Второй"}, {4, "Четвёртый"}};
  struct Row {
    const char* scenario;
    std::optional<DistrictCatalogue> catalogue;
    int requested;
    std::optional<int> answer;
    int number, shown;
    bool cancelled;
  };
  const Row rows[] = {
      {"no catalogue", std::nullopt, 1, 1, -1, 0, false},
      {"an empty catalogue", DistrictCatalogue{}, 1, 1, -1, 0, false},
      {"the only district, whatever was requested",
       DistrictCatalogue{{3, "Один"}},
       7,
       {},
       3,
       0,
       false},
      {"the only district, none requested", DistrictCatalogue{{3, "Один"}}, -1, {}, 3, 0, false},
      {"the requested district is installed", three, 4, {}, 4, 0, false},
      {"the requested district is not installed", three, 3, 2, 2, 1, false},
      {"the window is cancelled", three, -1, {}, -1, 1, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.scenario);
    ScriptedChooser chooser(r.answer);
    const DistrictSelection s = SelectDistrict(chooser, r.catalogue, r.requested, "root");
    EXPECT_EQ(s.Number, r.number);
    EXPECT_EQ(s.Cancelled, r.cancelled);
    EXPECT_EQ(s.DistrictDir,
              r.number < 0 ? fs::path() : fs::path("root") / std::to_string(r.number));
    EXPECT_EQ(chooser.shown, r.shown);
    EXPECT_EQ(chooser.offered, r.shown != 0 ? three : DistrictCatalogue{});
  }
  ScriptedChooser chooser(std::nullopt);  // by default beside the program
  EXPECT_EQ(SelectDistrict(chooser, three, 2).DistrictDir, fs::path("../district/2"));
}

TEST(DistrictArgumentTest, OnlyDecimalNumbersAreDistrictNumbers) {
  const std::pair<const char*, std::optional<int>> rows[] = {
      {"1", 1},           {"12", 12},  {" 3 ", 3}, {"+2", 2},   {"-1", -1},  {"0", 0},
      {"", std::nullopt}, {"abc", {}}, {"1a", {}}, {"+-1", {}}, {"1 2", {}}, {"99999999999", {}}};
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(ParseDistrictArgument(text), expected) << text;
}

}  // namespace
}  // namespace traklin
