// The catalogue scan of installed districts and the choice of the district to run.
#include "area/district_catalogue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace traklin {

void PrintTo(const DistrictEntry& e, std::ostream* os) {
  *os << e.Number << "=" << e.Name;
}

namespace {

namespace fs = std::filesystem;

// The Windows-1251 bytes of a UTF-8 text of ASCII, Russian letters and "№".
std::string Cp1251(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      continue;
    }
    unsigned u;
    if ((b & 0xE0) == 0xC0) {
      u = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      i += 1;
    } else {
      u = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
          (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      i += 2;
    }
    const std::map<unsigned, unsigned char> special{{0x401, 0xA8}, {0x451, 0xB8}, {0x2116, 0xB9}};
    if (u >= 0x410 && u <= 0x44F)
      out += static_cast<char>(0xC0 + (u - 0x410));
    else
      out += static_cast<char>(special.at(u));
  }
  return out;
}

// A district root in a fresh temporary directory.
class DistrictRootTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::path(testing::TempDir()) /
        ("districts_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  // Writes the district file of district n; the text is Windows-1251 bytes.
  void Install(int n, const std::string& bytes, const std::string& fileName = "Data.dat") {
    const fs::path dir = root_ / std::to_string(n);
    fs::create_directories(dir);
    std::ofstream(dir / fileName, std::ios::binary) << bytes;
  }

  std::vector<int> Numbers() {
    std::vector<int> numbers;
    if (auto catalogue = ScanDistricts(root_))
      for (const DistrictEntry& e : *catalogue) numbers.push_back(e.Number);
    return numbers;
  }

  fs::path root_;
};

using DistrictScanTest = DistrictRootTest;

TEST_F(DistrictScanTest, EmptyRootGivesNoCatalogue) {
  EXPECT_FALSE(ScanDistricts(root_).has_value());
  EXPECT_FALSE(ScanDistricts(root_ / "missing").has_value());
}

TEST_F(DistrictScanTest, MissesAreCountedInTotalSoTheScanStopsAtThirteen) {
  // 3 and 5..13 are the ten misses; 14 is never looked at.
  for (int n : {1, 2, 4, 14}) Install(n, std::to_string(n) + "\r\n");
  EXPECT_EQ(Numbers(), (std::vector<int>{1, 2, 4}));
}

TEST_F(DistrictScanTest, DistrictThirteenIsStillReachedAfterNineMisses) {
  for (int n : {1, 2, 4, 13}) Install(n, std::to_string(n) + "\r\n");
  EXPECT_EQ(Numbers(), (std::vector<int>{1, 2, 4, 13}));
}

TEST_F(DistrictScanTest, HeaderIsTheFirstLineThatIsNeitherEmptyNorComment) {
  Install(1, "; district file\r\n\r\n   \r\n  ; another comment\r\n1 ;x Первый\r\n");
  Install(2, "; only comments\r\n\r\n");
  Install(3, "");
  EXPECT_EQ(Numbers(), (std::vector<int>{1}));
}

TEST_F(DistrictScanTest, HeaderMustStartWithTheDirectoryNumber) {
  Install(1, "7 ;x Чужой\r\n");
  Install(2, "2 ;x Свой\r\n");
  EXPECT_EQ(Numbers(), (std::vector<int>{2}));
}

TEST_F(DistrictScanTest, NumberTestIsOnTheTextSoDistrictOneAcceptsTwelve) {
  Install(1, Cp1251("12 ;x Двенадцатый\r\n"));
  Install(2, "12\r\n");  // does not start with "2"
  const auto catalogue = ScanDistricts(root_);
  ASSERT_TRUE(catalogue.has_value());
  ASSERT_EQ(catalogue->size(), 1u);
  EXPECT_EQ(catalogue->front(), (DistrictEntry{1, "Двенадцатый"}));
}

TEST_F(DistrictScanTest, FileNameIsMatchedInAnyLetterCase) {
  Install(1, "1\r\n", "data.dat");
  Install(2, "2\r\n", "DATA.DAT");
  Install(3, "3\r\n", "Data.dat");
  Install(4, "4\r\n", "data.txt");
  EXPECT_EQ(Numbers(), (std::vector<int>{1, 2, 3}));
}

TEST(DistrictDataFileTest, PrefersDataDatAndFallsBackToItsName) {
  const fs::path dir = fs::path(testing::TempDir()) / "district_data_file";
  fs::remove_all(dir);
  fs::create_directories(dir);
  EXPECT_EQ(DistrictDataFile(dir), dir / "Data.dat");
  std::ofstream(dir / "data.dat") << "1";
  EXPECT_EQ(DistrictDataFile(dir), dir / "data.dat");
  std::ofstream(dir / "Data.dat") << "1";
  EXPECT_EQ(DistrictDataFile(dir), dir / "Data.dat");
  fs::remove_all(dir);
}

struct NameCase {
  const char* scenario;
  const char* header;  // UTF-8, written to the file in Windows-1251
  const char* name;
};

TEST_F(DistrictScanTest, DisplayNameIsTheCommentWithoutItsFirstWord) {
  const NameCase cases[] = {
      {"word, blank and name", "5 ;Участок Западный", "Западный"},
      {"one word is kept", "5 ;Западный", "Западный"},
      {"no comment", "5", "неизвестный"},
      {"empty comment", "5 ;   ", "неизвестный"},
      {"one word between blanks", "5 ; Участок   ", "Участок"},
      {"name of several words is trimmed", "5;  Участок   Северо Западный  ", "Северо Западный"},
      {"later semicolons stay in the name", "5 ;a b;c", "b;c"},
      {"a tab also ends the first word", "5 ;a\tЮжный", "Южный"},
      {"letters beyond А..я", "5 ;x Ёжик№1", "Ёжик№1"},
  };
  for (int n = 1; n <= 4; ++n) Install(n, std::to_string(n) + "\r\n");
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    Install(5, Cp1251(c.header) + "\r\n");
    const auto catalogue = ScanDistricts(root_);
    ASSERT_TRUE(catalogue.has_value());
    ASSERT_EQ(catalogue->size(), 5u);
    EXPECT_EQ(catalogue->back(), (DistrictEntry{5, c.name}));
  }
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

const DistrictCatalogue kThree{{1, "Первый"}, {2, "Второй"}, {4, "Четвёртый"}};

TEST(DistrictSelectionTest, NoCatalogueSelectsNothingWithoutTheWindow) {
  ScriptedChooser chooser(1);
  for (const auto& catalogue :
       {std::optional<DistrictCatalogue>{}, std::optional(DistrictCatalogue{})}) {
    const DistrictSelection s = SelectDistrict(chooser, catalogue, 1, "root");
    EXPECT_EQ(s.Number, -1);
    EXPECT_FALSE(s.Cancelled);
    EXPECT_TRUE(s.DistrictDir.empty());
  }
  EXPECT_EQ(chooser.shown, 0);
}

TEST(DistrictSelectionTest, SingleDistrictIsTakenWhateverWasRequested) {
  for (int requested : {-1, 3, 7}) {
    SCOPED_TRACE(requested);
    ScriptedChooser chooser(std::nullopt);
    const DistrictSelection s =
        SelectDistrict(chooser, DistrictCatalogue{{3, "Один"}}, requested, "root");
    EXPECT_EQ(s.Number, 3);
    EXPECT_EQ(s.DistrictDir, fs::path("root") / "3");
    EXPECT_EQ(chooser.shown, 0);
  }
}

TEST(DistrictSelectionTest, RequestedInstalledDistrictIsTakenWithoutTheWindow) {
  ScriptedChooser chooser(std::nullopt);
  const DistrictSelection s = SelectDistrict(chooser, kThree, 4, "root");
  EXPECT_EQ(s.Number, 4);
  EXPECT_FALSE(s.Cancelled);
  EXPECT_EQ(s.DistrictDir, fs::path("root") / "4");
  EXPECT_EQ(chooser.shown, 0);
}

TEST(DistrictSelectionTest, DefaultRootIsTheDistrictDirectoryBesideTheProgram) {
  ScriptedChooser chooser(std::nullopt);
  EXPECT_EQ(SelectDistrict(chooser, kThree, 2).DistrictDir, fs::path("../district/2"));
}

TEST(DistrictSelectionTest, UninstalledRequestAmongSeveralShowsTheWindow) {
  ScriptedChooser chooser(2);
  const DistrictSelection s = SelectDistrict(chooser, kThree, 3, "root");
  EXPECT_EQ(chooser.shown, 1);
  EXPECT_EQ(chooser.offered, kThree);
  EXPECT_EQ(s.Number, 2);
  EXPECT_FALSE(s.Cancelled);
  EXPECT_EQ(s.DistrictDir, fs::path("root") / "2");
}

TEST(DistrictSelectionTest, CancelledWindowSelectsNothingAndSaysSo) {
  ScriptedChooser chooser(std::nullopt);
  const DistrictSelection s = SelectDistrict(chooser, kThree, -1, "root");
  EXPECT_EQ(chooser.shown, 1);
  EXPECT_EQ(s.Number, -1);
  EXPECT_TRUE(s.Cancelled);
  EXPECT_TRUE(s.DistrictDir.empty());
}

TEST(DistrictArgumentTest, OnlyDecimalNumbersAreDistrictNumbers) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"1", 1},
      {"12", 12},
      {" 3 ", 3},
      {"+2", 2},
      {"-1", -1},
      {"0", 0},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"1a", std::nullopt},
      {"+-1", std::nullopt},
      {"1 2", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseDistrictArgument(text), expected);
  }
}

}  // namespace
}  // namespace traklin
