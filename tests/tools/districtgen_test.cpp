// The district generator: shipped districts, synthetic lines, file format and assets.
#include <gtest/gtest.h>

#include <QBuffer>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "districtgen/pictures.h"
#include "tools/district_checks.h"

namespace dg = traklin::districtgen;
namespace fs = std::filesystem;

namespace {

dg::LineSpec ShippedLine(int number) {
  const fs::path file =
      fs::path(TRAKLIN_SOURCE_DIR) / "data/districts" / std::to_string(number) / "line.json";
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return dg::ParseLineSpec(text.str());
}

std::string Join(const dg::testing::Faults& faults) {
  std::string all;
  for (std::size_t k = 0; k < faults.size() && k < 12; ++k) all += faults[k] + "\n";
  return all;
}

std::string BmpBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "BMP");
  return bytes.toStdString();
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(ShippedDistricts, BothKeepEveryInvariant) {
  for (int number : {1, 2}) {
    const dg::District d = dg::BuildDistrict(ShippedLine(number));
    EXPECT_EQ(Join(dg::testing::CheckAll(d)), "") << "district " << number;
  }
}

TEST(ShippedDistricts, DemoExercisesEveryFeature) {
  const dg::LineSpec line = ShippedLine(1);
  const dg::District d = dg::BuildDistrict(line);
  EXPECT_GE(line.Stations.size(), 5u);
  EXPECT_GE(line.NameCount(), 13);
  EXPECT_EQ(d.Views.size(), 2u);
  // A controlled station with routes over minus switches and a through row 1 -> 4.
  ASSERT_FALSE(d.RouteGroups.empty());
  bool minus = false, throughIn = false, throughOut = false;
  for (const auto& r : d.RouteGroups[0].Routes) {
    for (const auto& sw : r.Switches) minus = minus || sw.second;
    throughIn = throughIn || (r.StartButton == 11 && r.EndButton == 21);
    throughOut = throughOut || (r.StartButton == 31 && r.EndButton == 41);
  }
  EXPECT_TRUE(minus && throughIn && throughOut);
  // Two throats on one side of a station, one with a side of +1 and one of -1.
  std::map<std::pair<int, int>, int> sided;
  for (const auto& t : d.Throats)
    if (t.Side != 0) ++sided[{t.Code, t.Parity}];
  EXPECT_FALSE(sided.empty());
  for (const auto& [key, count] : sided) EXPECT_EQ(count, 2);
  // One parity flip, a single block section of 4000 m or more, at least four peregons.
  int flips = 0;
  for (const auto& s : line.Stations) flips += s.Flip;
  EXPECT_EQ(flips, 1);
  bool longSingle = false;
  for (const auto& p : line.Peregons)
    longSingle = longSingle || (p.Blocks == 1 && p.Length >= 4000);
  EXPECT_TRUE(longSingle);
  EXPECT_GE(d.Peregons.size(), 4u);
  // Track kinds 1..5 and modes 1..3; a self-acting LP.
  std::set<int> kinds, modes;
  bool selfActing = false;
  for (const auto& s : line.Stations) {
    selfActing = selfActing || s.SelfActing;
    for (const auto& t : s.Tracks) kinds.insert(t.Kind), modes.insert(t.Mode);
  }
  EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(modes, (std::set<int>{1, 2, 3}));
  EXPECT_TRUE(selfActing);
  // Traffic: calendars, reversing suburban pair with a dependant, a locomotive change,
  // freights both ways, one formed inside the district.
  std::set<int> calendars;
  bool reversing = false, dependant = false, change = false, formedInside = false;
  int freightDirections = 0;
  for (const auto& t : line.Trains) {
    if (!t.Freight) calendars.insert(t.Calendar);
    reversing = reversing || (t.Number >= 6001 && t.Number <= 6998);
    dependant = dependant || t.Parent != 0;
    change = change || !t.LocoChange.empty();
    if (t.Freight) freightDirections |= 1 << (t.Number % 2);
    formedInside = formedInside || (t.Freight && t.PlanFrom == 0);
  }
  EXPECT_EQ(calendars, (std::set<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(reversing && dependant && change && formedInside);
  EXPECT_EQ(freightDirections, 3);
}

TEST(ShippedDistricts, LongLineHasScale) {
  const dg::LineSpec line = ShippedLine(2);
  EXPECT_GE(line.Stations.size(), 15u);
  EXPECT_GE(line.Trains.size(), 100u);
}

TEST(SyntheticLines, FiftyRandomLinesKeepEveryInvariant) {
  for (unsigned seed = 1; seed <= 50; ++seed) {
    const int stations = 2 + static_cast<int>(seed * 7 % 29);
    const int trains = static_cast<int>(seed * 13 % 121);
    const dg::District d = dg::BuildDistrict(dg::SyntheticLine(stations, trains, seed));
    EXPECT_EQ(Join(dg::testing::CheckAll(d)), "") << "seed " << seed;
  }
}

TEST(SyntheticLines, ManySwitchesGetAnUnambiguousEntryBase) {
  const dg::District d = dg::BuildDistrict(dg::SyntheticLine(30, 10, 3));
  ASSERT_GE(d.SwitchCount, 10);
  EXPECT_GT(d.SwitchPosBase, d.SwitchCount);
  bool minus = false;
  for (const auto& g : d.RouteGroups)
    for (const auto& r : g.Routes)
      for (const auto& sw : r.Switches) minus = minus || sw.second;
  EXPECT_TRUE(minus) << "without a minus entry the reader keeps base 10";
}

TEST(Regeneration, GivesByteIdenticalFiles) {
  const fs::path root = fs::temp_directory_path() / "traklin-districtgen-test";
  fs::remove_all(root);
  for (int k = 0; k < 2; ++k)
    dg::WriteDistrict(dg::BuildDistrict(ShippedLine(1)), root / std::to_string(k));
  for (const char* name : {"Data.dat", "Pult.bmp"})
    EXPECT_EQ(ReadFile(root / "0" / name), ReadFile(root / "1" / name)) << name;
  const dg::District a = dg::BuildDistrict(dg::SyntheticLine(12, 40, 7));
  const dg::District b = dg::BuildDistrict(dg::SyntheticLine(12, 40, 7));
  EXPECT_EQ(dg::DataDatText(a), dg::DataDatText(b));
  EXPECT_EQ(BmpBytes(dg::PaintPult(a)), BmpBytes(dg::PaintPult(b)));
  fs::remove_all(root);
}

TEST(DataDatText, IsWindows1251WithCrLfAndNamedFirstLine) {
  const std::string text = dg::DataDatText(dg::BuildDistrict(ShippedLine(1)));
  EXPECT_EQ(text.substr(0, text.find("\r\n")), dg::Utf8ToCp1251("1 ; Участок Демо"));
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\n') {
      ASSERT_TRUE(k > 0 && text[k - 1] == '\r') << "bare LF at byte " << k;
    }
  }
  EXPECT_EQ(text.find('?'), std::string::npos) << "a character missing from the code page";
  EXPECT_NE(text.find(dg::Utf8ToCp1251("Озёрная,")), std::string::npos);
}

TEST(Utf8ToCp1251, MapsCyrillicAndKeepsAscii) {
  EXPECT_EQ(dg::Utf8ToCp1251("Ab 1;"), "Ab 1;");
  EXPECT_EQ(dg::Utf8ToCp1251("Ая"), std::string("\xC0\xFF"));
  EXPECT_EQ(dg::Utf8ToCp1251("Ёё№"), std::string("\xA8\xB8\xB9"));
  EXPECT_EQ(dg::Utf8ToCp1251("€"), "?");
}

struct BadLine {
  const char* what;
  std::function<void(dg::LineSpec&)> spoil;
  const char* message;
};

TEST(ValidateLineSpec, RefusesLinesItCannotLayOut) {
  const std::vector<BadLine> cases = {
      {"one station", [](dg::LineSpec& l) { l.Stations.resize(1), l.Peregons.clear(); },
       "a line needs at least two stations"},
      {"peregon missing", [](dg::LineSpec& l) { l.Peregons.pop_back(); },
       "6 stations need 5 peregons"},
      {"few names", [](dg::LineSpec& l) { l.OutsideRight.resize(1); },
       "the station-name catalogue needs at least 12 names"},
      {"flip in the middle", [](dg::LineSpec& l) { l.Stations[2].Flip = true; },
       "only the last station may have a parity flip"},
      {"seven tracks",
       [](dg::LineSpec& l) {
         l.Stations[1].Tracks.resize(7, {3, 3, 1, 1000});
       },
       "station \"Берёзовка\" needs 1..6 tracks"},
      {"comma in a name", [](dg::LineSpec& l) { l.Stations[0].Name = "За,речье"; },
       "station name \"За,речье\" is empty or holds , ; [ ]"},
      {"odd train to the left",
       [](dg::LineSpec& l) { std::swap(l.Trains[0].From, l.Trains[0].To); },
       "train 801: odd numbers run to the right, even ones to the left"},
      {"freight number as passenger", [](dg::LineSpec& l) { l.Trains[0].Number = 1801; },
       "train 1801: the number does not match the train kind"},
      {"no locomotive", [](dg::LineSpec& l) { l.Trains[0].Loco = 1; },
       "train 801: the first locomotive must be 2 or more"},
      {"zero blocks", [](dg::LineSpec& l) { l.Peregons[0].Blocks = 0; },
       "a peregon has 1..12 block sections"},
  };
  for (const auto& c : cases) {
    dg::LineSpec line = ShippedLine(1);
    c.spoil(line);
    try {
      dg::ValidateLineSpec(line);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.what;
    }
  }
}

TEST(ParseLineSpec, NamesUnknownStationsAndBadTimes) {
  const std::string head =
      R"({"number":3,"outside_left":["a","b","c","d","e"],"outside_right":["f","g","h","i","j"],)"
      R"("stations":[{"name":"S","tracks":[[1,3,1]]},{"name":"T","tracks":[[1,3,1]]}],)"
      R"("peregons":[{"length":5000}],"trains":[)";
  EXPECT_NO_THROW(dg::ParseLineSpec(head + "]}"));
  auto message = [&](const std::string& train) {
    try {
      dg::ParseLineSpec(head + train + "]}");
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message(R"({"number":1,"from":"S","to":"X","depart":"05:00"})"),
            "unknown district station \"X\"");
  EXPECT_EQ(message(R"({"number":1,"from":"S","to":"T","depart":"25:00"})"),
            "bad time \"25:00\", expected HH:MM");
  EXPECT_EQ(message(R"({"number":1,"from":"S","to":"T","depart":"05:00","plan":{"from":"Z"}})"),
            "unknown station \"Z\"");
}

TEST(Rings, AreDistinctPcmWaves) {
  std::set<std::string> seen;
  for (int k = 0; k < 8; ++k) {
    const std::string wav = dg::RingWav(k);
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_TRUE(seen.insert(wav).second) << "ring " << k << " sounds like another";
  }
}

TEST(StartingConfig, TurnsTheGraphAndBlockSectionsOnAndIsNeverOverwritten) {
  const std::string text = dg::StartingConfig(dg::BuildDistrict(ShippedLine(1)));
  EXPECT_NE(text.find("[GID]\r\nGIDENABLED=1"), std::string::npos);
  EXPECT_NE(text.find("[VIEW]\r\nSHOWALLBLOCKSECT=1"), std::string::npos);
  const fs::path file = fs::temp_directory_path() / "traklin-districtgen-test.ini";
  fs::remove(file);
  EXPECT_TRUE(dg::WriteIfMissing(file, "mine"));
  EXPECT_FALSE(dg::WriteIfMissing(file, text));
  EXPECT_EQ(ReadFile(file), "mine");
  fs::remove(file);
}

TEST(Images, RollingStockIsTransparentByItsCornerPixel) {
  const fs::path dir = fs::temp_directory_path() / "traklin-districtgen-images";
  fs::remove_all(dir);
  dg::WriteImages(dir);
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const QImage image(QString::fromStdString(entry.path().string()));
    ASSERT_FALSE(image.isNull()) << entry.path();
    ++count;
  }
  EXPECT_EQ(count, 19);
  const QImage car(QString::fromStdString((dir / "300.bmp").string()));
  EXPECT_EQ(car.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_NE(car.pixel(car.width() / 2, car.height() / 2), car.pixel(0, 0));
  EXPECT_EQ(QImage(QString::fromStdString((dir / "CtrlBack.bmp").string())).size(),
            QSize(642, 456));
  fs::remove_all(dir);
}
