// The district generator: every shipped district and many synthetic lines keep the invariants
// of the file and the picture and pass the reader and the start-up set-up; regeneration gives
// the same bytes; descriptions, texts and assets.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <QPainter>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include "area/area_reader.h"
#include "area/cp1251.h"
#include "area/district_setup.h"
#include "districtgen/pictures.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

namespace traklin::districtgen {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

LineSpec ShippedLine(int number) {
  return ParseLineSpec(ReadFile(fs::path(TRAKLIN_SOURCE_DIR) / "data/districts" /
                                std::to_string(number) / "line.json"));
}

// Reads the generated Data.dat and runs the whole start-up set-up with every block section shown
// in the given view; returns the error with the last line read, or "".
std::string LoadAndPrepare(const District& d, TAreaData& area, int view) {
  int maxSpeedLimit = 10;
  TReadDataError error;
  try {
    LoadAreaDataFromBytes(DataDatText(d), area, maxSpeedLimit, error);
    PrepareDistrict(area, SetupOptions{true, view, {}, {}});
  } catch (const std::exception& e) {
    return fmt::format("{} (line {} '{}')", e.what(), error.LineNo, error.LineText);
  }
  return "";
}

// The message of the std::runtime_error that f throws, or "accepted".
std::string Refusal(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "accepted";
}

bool IsPeregonSection(const District& d, int s) {
  return d.Sections[s].OwnLamp != 0;
}

int StationOfSection(const District& d, int s) {
  for (std::size_t i = 0; i < d.Tracks.size(); ++i)
    for (const auto& t : d.Tracks[i])
      if (t.Section == s) return static_cast<int>(i);
  for (std::size_t k = 1; k < d.Switches.size(); ++k)  // by the fragment holding its lamp
    if (d.Switches[k].Section == s) return d.LampAt(d.Switches[k].LampA).Station;
  return -1;
}

// Links point back (or flip at a peregon end), each switch lies on the one section naming it,
// and every section has a length. (The reader refuses the other section faults, such as a
// switch without its side link, a signal on a switch or a length without limits.)
void ExpectSections(const District& d) {
  const int S = static_cast<int>(d.Sections.size()), W = static_cast<int>(d.Switches.size());
  std::vector<int> switchSeen(W, 0);
  for (int i = 1; i < S; ++i) {
    SCOPED_TRACE("section " + std::to_string(i));
    const Section& s = d.Sections[i];
    for (int e = 0; e < 2; ++e) {
      const int n = s.Straight[e], m = s.Side[e], w = s.Switch[e];
      ASSERT_TRUE(n >= 0 && n < S && m >= 0 && m < S && w >= 0 && w < W);
      const Section& o = d.Sections[n];  // section 0 links nowhere
      const bool flip = o.Straight[e] == i && o.Side[e] == 0 && s.Side[e] == 0;
      EXPECT_TRUE(n == 0 || o.Straight[1 - e] == i || o.Side[1 - e] == i || flip) << "-> " << n;
      EXPECT_FALSE(flip && !IsPeregonSection(d, i) && !IsPeregonSection(d, n)) << "-> " << n;
      EXPECT_TRUE(m == 0 || d.Sections[m].Straight[1 - e] == i || d.Sections[m].Side[1 - e] == i);
      EXPECT_TRUE(w == 0 || d.Switches[w].Section == i) << "switch " << w;
      ++switchSeen[w];
    }
    EXPECT_TRUE(s.Length > 0 && s.Length <= 65535);
  }
  for (int k = 1; k < W; ++k) EXPECT_EQ(switchSeen[k], 1) << "switch " << k;
}

// End section [0] lies next to A and Straight[1] walks to B without a switch; a throat's parity
// faces its peregon and its code range holds the codes beyond it.
void ExpectPeregonsAndThroats(const District& d) {
  for (std::size_t p = 0; p < d.Peregons.size(); ++p) {
    const GraphPeregon& g = d.Peregons[p];
    int s = g.EndSection, switches = 0;
    const int a = StationOfSection(d, d.Sections[s].Straight[0]);
    for (int k = g.BlockLamps[0]; k < g.BlockLamps[1] && IsPeregonSection(d, s); ++k) {
      switches += d.Sections[s].Switch[0] + d.Sections[s].Switch[1];
      s = d.Sections[s].Straight[1];
    }
    // A, B, a section for every block lamp, no switch.
    const int b = StationOfSection(d, d.Sections[s].Straight[1]);
    EXPECT_EQ(std::tuple(a, b, IsPeregonSection(d, s), switches),
              std::tuple(g.LP[0] - 1, g.LP[1] - 1, true, 0))
        << "peregon " << p + 1;
  }
  for (const Throat& t : d.Throats) {
    const int station = t.Code - d.Line.StationCode(0);
    const GraphPeregon& g = d.Peregons.at(t.Peregon - 1);
    const int flip = d.Line.Stations.at(station).Flip && g.LP[1] - 1 == station ? 1 : 0;
    EXPECT_EQ(g.LP[t.Parity ^ flip ^ 1] - 1, station) << "throat of " << t.Code;
    EXPECT_EQ(std::pair(t.Low, t.High), g.LP[0] - 1 == station
                                            ? std::pair(t.Code + 1, d.Line.NameCount())
                                            : std::pair(1, t.Code - 1))
        << "throat of " << t.Code;
  }
}

// Set-up lamps are distinct and below FirstLamp; file lamps lie inside their station's
// fragment and the picture; a track's lamps (1..5) belong to its station.
void ExpectLamps(const District& d) {
  const int n = static_cast<int>(d.Fragments.size());
  std::multiset<int> setup;  // name lamps 1..n, commit lamps (even "РОЧ", odd "РОН"), peregons'
  for (int i = 1; i <= n; ++i) setup.insert(i);
  for (const auto& fr : d.Fragments) {
    EXPECT_TRUE(fr.Commit[0] % 2 == 0 && (fr.Commit[1] == 0 || fr.Commit[1] % 2 == 1));
    setup.insert({fr.Commit[0], fr.Commit[1]});
  }
  setup.erase(0);
  for (const auto& g : d.Peregons) {
    for (int l : g.DirectionLamps) setup.insert({l, l + 1});
    for (int l = g.BlockLamps[0]; l <= g.BlockLamps[1]; ++l) setup.insert(l);
  }
  EXPECT_EQ(std::set<int>(setup.begin(), setup.end()).size(), setup.size()) << "set-up lamp twice";
  EXPECT_LT(*setup.rbegin(), d.FirstLamp);
  for (std::size_t k = 0; k < d.Lamps.size(); ++k) {
    const Fragment& fr = d.Fragments.at(d.Lamps[k].Station);
    const QRect box = QRect(fr.Left, fr.Top, fr.Right - fr.Left, fr.Bottom - fr.Top) &
                      QRect(0, 0, d.PultWidth, d.PultHeight);
    const LampLine e = LampEnds(d.Lamps[k]);
    EXPECT_TRUE(box.contains(e.X1, e.Y1) && box.contains(e.X2, e.Y2)) << "lamp " << d.LampNumber(k);
  }
  for (std::size_t i = 0; i < d.Tracks.size(); ++i)
    for (const auto& t : d.Tracks[i]) {
      EXPECT_TRUE(t.LampCount >= 1 && t.LampCount <= 5);
      for (int l = t.FirstLamp; l < t.FirstLamp + t.LampCount; ++l)
        EXPECT_EQ(d.LampAt(l).Station, static_cast<int>(i)) << "lamp " << l;
    }
}

// The file lamps' lines, drawn over Pult.bmp in track colour as the panel draws them with a
// 1-pixel pen, change no pixel: every lamp pixel lies on a drawn track line.
void ExpectLampsOnTrack(const District& d) {
  const QImage image = PaintPult(d);
  ASSERT_EQ(image.size(), QSize(d.PultWidth, d.PultHeight));
  EXPECT_EQ(image.pixel(0, image.height() - 1), kPultBackground);
  QImage lamps = image.copy();
  QPainter painter(&lamps);
  painter.setPen(QPen(QColor::fromRgb(kPultTrack), 1));
  for (const Lamp& l : d.Lamps) {
    const LampLine e = LampEnds(l);
    painter.drawLine(e.X1, e.Y1, e.X2, e.Y2);
  }
  painter.end();
  EXPECT_TRUE(lamps == image) << "a lamp pixel lies off the drawn track";
}

// Trains run in the list of their parity, stop at every LP in order up to their last LP, and
// every plan has a timetable entry of its kind.
void ExpectTimetables(const District& d) {
  std::set<int> pass, gruz;
  for (int dir = 0; dir < 2; ++dir)
    for (const auto* list : {&d.Pass[dir], &d.Gruz[dir]})
      for (const auto& t : *list) {
        SCOPED_TRACE("train " + std::to_string(t.Number));
        (list == &d.Pass[dir] ? pass : gruz).insert(t.Number);
        EXPECT_EQ(t.Number % 2, dir);
        EXPECT_GE(t.Stops.size(), 2u);  // the reader ends the stops at the last LP
        for (std::size_t k = 1; k < t.Stops.size(); ++k)
          EXPECT_EQ(std::abs(t.Stops[k].Code - t.Stops[k - 1].Code), 1) << "skips an LP";
      }
  for (const Plan& p : d.Plans) {
    const bool freight = p.Number > 999 && !(p.Number >= 6000 && p.Number <= 7500);
    EXPECT_TRUE((freight ? gruz : pass).count(p.Number)) << "plan " << p.Number;
    EXPECT_TRUE(std::min(p.From, p.To) >= 1 && std::max(p.From, p.To) <= d.Line.NameCount());
  }
}

// The file routes of a controlled station, as the reader decodes them, name exactly the
// switches they pass. (The set-up checks that each switch passed is named once, in its position.)
void ExpectFileRoutes(const District& d, const TAreaData& area) {
  for (const RouteGroup& g : d.RouteGroups) {
    const int lp = g.Code - d.Line.StationCode(0);
    if (!d.Line.Stations.at(lp).Controlled) continue;  // throats: routes generated at start-up
    const auto& routes = area.TrainRoutes.at(lp).Routes;
    ASSERT_EQ(routes.size(), g.Routes.size());
    for (std::size_t r = 0; r < routes.size(); ++r) {
      std::set<int> named(std::begin(routes[r].SwitchNumber), std::end(routes[r].SwitchNumber));
      std::set<int> passed = {0};
      const int* s = routes[r].Sections;
      for (int k = 0; k + 1 < kMaxRouteSections && s[k + 1] != 0; ++k)
        for (auto [a, b] : {std::pair{s[k], s[k + 1]}, std::pair{s[k + 1], s[k]}})
          for (const Section& sec = d.Sections[a]; int e : {0, 1})
            if (sec.Switch[e] && (sec.Straight[e] == b || sec.Side[e] == b))
              passed.insert(sec.Switch[e]);
      EXPECT_EQ(named, passed) << "route " << r << " of LP " << lp;
    }
  }
}

// The file and picture invariants, then the reader and the set-up in every view.
void ExpectSound(const District& d) {
  for (auto check : {ExpectSections, ExpectPeregonsAndThroats, ExpectLamps, ExpectLampsOnTrack,
                     ExpectTimetables})
    check(d);
  for (int view = 0; view < static_cast<int>(d.Views.size()); ++view) {
    TAreaData area;
    ASSERT_EQ(LoadAndPrepare(d, area, view), "") << "view " << view;
    for (const auto& g : area.GraphPeregons)  // all block lamps laid out in every view
      for (int l = g.BlockLamps[0]; l <= g.BlockLamps[1]; ++l)
        EXPECT_GT(area.GraphLamps[l].Width, 0) << "view " << view << " block lamp " << l;
    if (view > 0) continue;
    // What the generator meant and what the reader and the set-up made of it agree.
    // (Wrong counts in the header make the reader fail; these two would pass silently.)
    const int flips = std::ranges::count_if(d.Line.Stations, &StationSpec::Flip);
    EXPECT_EQ(std::pair(area.SwitchPosBase, area.ParityFlipCount),
              std::pair(d.SwitchPosBase, flips));
    for (const auto& lp : area.TrainRoutes)
      EXPECT_TRUE(lp.RouteCount > 0 && lp.RouteCount == std::ssize(lp.Routes)) << "LP " << lp.Code;
    for (int l = area.FirstLamp; l < static_cast<int>(area.GraphLamps.size()); ++l)
      EXPECT_EQ(area.GraphLamps[l].Station, d.LampAt(l).Station) << "lamp " << l;
    ExpectFileRoutes(d, area);
  }
}

// Among the random lines are lines with 10 or more switches, whose switch-entry base the reader
// must end with (it raises the base only on a large minus entry).
TEST(GeneratedDistricts, ShippedAndHundredRandomOnesKeepEveryInvariantAndPassTheStartUp) {
  int raisedBase = 0;
  for (unsigned k = 0; k <= 101; ++k) {
    SCOPED_TRACE(k < 2 ? "district " + std::to_string(k + 1) : "seed " + std::to_string(k));
    const District d =
        BuildDistrict(k < 2 ? ShippedLine(k + 1) : SyntheticLine(2 + k * 7 % 39, k * 13 % 151, k));
    raisedBase += d.SwitchCount >= 10 && d.SwitchPosBase > d.SwitchCount;
    ExpectSound(d);
  }
  EXPECT_GT(raisedBase, 10);
}

TEST(ShippedDistricts, DemoExercisesEveryFeatureAndTheLongLineHasScale) {
  const LineSpec line = ShippedLine(1), longLine = ShippedLine(2);
  const District d = BuildDistrict(line);
  EXPECT_TRUE(line.Stations.size() >= 5 && line.NameCount() >= 13 && d.Peregons.size() >= 4);
  EXPECT_TRUE(longLine.Stations.size() >= 15 && longLine.Trains.size() >= 100);
  EXPECT_EQ(d.Views.size(), 2u);
  EXPECT_EQ(std::ranges::count_if(line.Stations, &StationSpec::Flip), 1);
  std::set<std::string> found;  // the features present, and "" for none
  for (const auto& s : line.Stations) {
    found.insert(s.SelfActing ? "self-acting" : "");
    for (const auto& t : s.Tracks)
      found.insert({fmt::format("kind{}", t.Kind), fmt::format("mode{}", t.Mode)});
  }
  for (const auto& p : line.Peregons)
    found.insert(p.Blocks == 1 && p.Length >= 4000 ? "long-block" : "");
  for (const auto& t : line.Trains)
    found.insert(
        {t.Freight ? fmt::format("freight{}", t.Number % 2) : fmt::format("cal{}", t.Calendar),
         t.Number >= 6001 && t.Number <= 6998 ? "reversing" : "", t.Parent ? "dependant" : "",
         t.LocoChange.empty() ? "" : "loco-change",
         t.Freight && !t.PlanFrom ? "formed-inside" : ""});
  ASSERT_FALSE(d.RouteGroups.empty());  // the controlled station's routes come first
  for (const auto& r : d.RouteGroups[0].Routes) {
    const int buttons = r.StartButton * 100 + r.EndButton;  // through rows 1 -> 4
    found.insert(buttons == 1121 ? "through-in" : buttons == 3141 ? "through-out" : "");
    for (const auto& sw : r.Switches) found.insert(sw.second ? "minus-route" : "");
  }
  std::map<std::pair<int, int>, int> sided;  // throats on one side: sides +1 and -1
  for (const auto& t : d.Throats) sided[{t.Code, t.Parity}] += t.Side != 0;
  for (const auto& [key, count] : sided)
    found.insert(count == 2 ? "two-throats" : count ? "lone" : "");
  std::string all;
  for (const std::string& f : found) all += f + " ";
  EXPECT_EQ(all,
            " cal0 cal1 cal2 cal3 cal4 cal5 dependant formed-inside freight0 freight1 kind1 kind2 "
            "kind3 kind4 kind5 loco-change long-block minus-route mode1 mode2 mode3 reversing "
            "self-acting through-in through-out two-throats ");
}

TEST(Regeneration, GivesByteIdenticalFiles) {
  const fs::path root = fs::path(::testing::TempDir()) / "districtgen-regeneration";
  const LineSpec lines[] = {ShippedLine(1), ShippedLine(2), SyntheticLine(12, 40, 7)};
  fs::remove_all(root);
  for (int k = 0; k < 6; ++k) WriteDistrict(BuildDistrict(lines[k % 3]), root / std::to_string(k));
  for (int k = 0; k < 3; ++k)
    for (const char* name : {"Data.dat", "Pult.bmp"})
      EXPECT_EQ(ReadFile(root / std::to_string(k) / name),
                ReadFile(root / std::to_string(k + 3) / name))
          << k << name;
  fs::remove_all(root);
}

TEST(DataDatText, IsWindows1251WithCrLfAndNamedFirstLine) {
  const std::string text = DataDatText(BuildDistrict(ShippedLine(1)));
  EXPECT_EQ(text.substr(0, text.find("\r\n")), Utf8ToCp1251("1 ; Участок Демо"));
  for (auto k = text.find('\n'); k != std::string::npos; k = text.find('\n', k + 1))
    ASSERT_TRUE(k > 0 && text[k - 1] == '\r') << "bare LF at byte " << k;
  EXPECT_EQ(text.find('?'), std::string::npos) << "a character missing from the code page";
  EXPECT_NE(text.find(Utf8ToCp1251("Озёрная,")), std::string::npos);
}

TEST(LineSpec, DescriptionsItCannotReadOrLayOutAreRefusedWithTheReason) {
  const std::pair<std::function<void(LineSpec&)>, const char*> spoiled[] = {
      // clang-format off
      {[](LineSpec& l) { l.Stations.resize(1), l.Peregons.clear(); }, "a line needs at least two stations"},
      {[](LineSpec& l) { l.Peregons.pop_back(); }, "6 stations need 5 peregons"},
      {[](LineSpec& l) { l.OutsideRight.resize(1); }, "the station-name catalogue needs at least 12 names"},
      {[](LineSpec& l) { l.Stations[2].Flip = true; }, "only the last station may have a parity flip"},
      {[](LineSpec& l) { l.Stations[1].Tracks.resize(7, {3, 3, 1, 1000}); }, "station \"Берёзовка\" needs 1..6 tracks"},
      {[](LineSpec& l) { l.Stations[0].Name = "За,речье"; }, "station name \"За,речье\" is empty or holds , ; [ ]"},
      {[](LineSpec& l) { std::swap(l.Trains[0].From, l.Trains[0].To); }, "train 801: odd numbers run to the right, even ones to the left"},
      {[](LineSpec& l) { l.Trains[0].Number = 1801; }, "train 1801: the number does not match the train kind"},
      {[](LineSpec& l) { l.Trains[0].Loco = 1; }, "train 801: the first locomotive must be 2 or more"},
      {[](LineSpec& l) { l.Peregons[0].Blocks = 0; }, "a peregon has 1..12 block sections"},
      {[](LineSpec& l) { l.Trains[0].To = 9; }, "train 801: unknown station"},
      // clang-format on
  };
  for (const auto& [spoil, message] : spoiled) {
    LineSpec line = ShippedLine(1);
    spoil(line);
    EXPECT_EQ(Refusal([&] { ValidateLineSpec(line); }), message);
  }
  const std::string head =
      R"({"number":3,"outside_left":["a","b","c","d","e"],"outside_right":["f","g","h","i","j"],)"
      R"("stations":[{"name":"S","tracks":[[1,3,1]]},{"name":"T","tracks":[[1,3,1]]}],)"
      R"("peregons":[{"length":5000}],"trains":[)";
  const std::pair<const char*, const char*> unreadable[] = {
      // clang-format off
      {"", "accepted"},
      {R"({"number":1,"from":"S","to":"X","depart":"05:00"})", "unknown district station \"X\""},
      {R"({"number":1,"from":"S","to":"T","depart":"25:00"})", "bad time \"25:00\", expected HH:MM"},
      {R"({"number":1,"from":"S","to":"T","depart":"05:00","plan":{"from":"Z"}})", "unknown station \"Z\""},
      // clang-format on
  };
  for (const auto& [train, message] : unreadable)
    EXPECT_EQ(Refusal([&] { ParseLineSpec(head + train + "]}"); }), message);
}

TEST(LineSpec, TrainsThatCouldNeverBePutOutAreNotedAndTheLineIsStillBuilt) {
  EXPECT_TRUE(FormingNotes(ShippedLine(1)).empty());
  EXPECT_TRUE(FormingNotes(ShippedLine(2)).empty());
  EXPECT_TRUE(FormingNotes(SyntheticLine(20, 80, 3)).empty());
  // District 1: 801, 803 and 805 start at Заречье, whose only track of mode 2 is its main
  // track (kind 3); 2001 and 2005 (freight) start there too, 6001 and 6003 (reversing) as well.
  const std::string freight = "\"Заречье\" has no track it may be formed on (mode 2, kind 3 or 1)";
  const std::string passenger =
      "\"Заречье\" has no track it may be formed on (mode 2, kind 3 or 2)";
  const std::pair<std::function<void(LineSpec&)>, std::vector<std::string>> cases[] = {
      {[](LineSpec& l) { l.Stations[0].Tracks[0].Mode = 1; },
       {"801: " + passenger, "803: " + passenger, "805: " + passenger, "6001: " + passenger,
        "6003: " + passenger, "2001: " + freight, "2005: " + freight}},
      // A freight track takes the freight trains; a reversing train also takes a track of kind 4.
      {[](LineSpec& l) { l.Stations[0].Tracks[0].Kind = 1; },
       {"801: " + passenger, "803: " + passenger, "805: " + passenger, "6001: " + passenger,
        "6003: " + passenger}},
      {[](LineSpec& l) { l.Stations[0].Tracks[0].Kind = 4; },
       {"801: " + passenger, "803: " + passenger, "805: " + passenger, "2001: " + freight,
        "2005: " + freight}},
      // A train without a plan is never made, and a dependant one takes its parent's track.
      {[](LineSpec& l) {
         l.Stations[0].Tracks[0].Mode = 1;
         for (TrainSpec& t : l.Trains) t.Plan = t.Plan && t.Number != 801 && !t.Freight;
         l.Trains[6].Parent = 5001;
       },
       {"803: " + passenger, "805: " + passenger, "6003: " + passenger}},
      {[](LineSpec& l) { l.Stations[4].Controlled = true; },
       {"804: \"Дубки\" is controlled, and has no duty officer to put it out",
        "2004: \"Дубки\" is controlled, and has no duty officer to put it out"}},
  };
  for (const auto& [spoil, expected] : cases) {
    LineSpec line = ShippedLine(1);
    spoil(line);
    std::vector<std::string> wanted;
    for (const std::string& e : expected)
      wanted.push_back("note: train " + e + "; it will wait there");
    EXPECT_EQ(FormingNotes(line), wanted);
  }
}

TEST(Assets, RingsDifferPicturesAreCompleteAndTheConfigurationIsNeverOverwritten) {
  std::set<std::string> rings;
  for (int k = 0; k < 8; ++k) rings.insert(RingWav(k));
  EXPECT_EQ(rings.size(), 8u) << "two rings sound alike";
  for (const std::string& wav : rings)
    EXPECT_TRUE(wav.size() > 44 && wav.starts_with("RIFF") && wav.substr(8, 8) == "WAVEfmt ");
  const fs::path dir = fs::path(::testing::TempDir()) / "districtgen-images";
  fs::remove_all(dir);
  WriteImages(dir);
  int count = 0;
  for (const auto& f : fs::directory_iterator(dir)) count += !QImage(f.path().c_str()).isNull();
  EXPECT_EQ(count, 19);
  const QImage car((dir / "300.bmp").c_str());  // rolling stock: transparent by its corner pixel
  EXPECT_EQ(car.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_NE(car.pixel(car.width() / 2, car.height() / 2), car.pixel(0, 0));
  EXPECT_EQ(QImage((dir / "CtrlBack.bmp").c_str()).size(), QSize(642, 456));
  // The starting configuration turns the graph and block sections on, and never overwrites.
  const std::string text = StartingConfig(BuildDistrict(ShippedLine(1)));
  EXPECT_NE(text.find("[GID]\r\nGIDENABLED=1"), std::string::npos);
  EXPECT_NE(text.find("[VIEW]\r\nSHOWALLBLOCKSECT=1"), std::string::npos);
  EXPECT_TRUE(WriteIfMissing(dir / "Traklin.ini", "mine") &&
              !WriteIfMissing(dir / "Traklin.ini", text));
  EXPECT_EQ(ReadFile(dir / "Traklin.ini"), "mine");
  fs::remove_all(dir);
}

TEST(Assets, TheStartingConfigurationKeepsTheTimeScaleAfterAStationsQuestion) {
  TSettings started;
  ReadGeneralSettings(IniFile::Parse(StartingConfig(BuildDistrict(ShippedLine(1)))), started,
                      TSettingsReadMode::Strict);
  EXPECT_TRUE(started.RestoreTimeScaleAtMsg);
  EXPECT_FALSE(started.RestoreTimeScaleAtRings);
  // A file without the key keeps the setting's own default.
  TSettings without;
  without.RestoreTimeScaleAtMsg = true;
  ReadGeneralSettings(IniFile::Parse("[GID]\r\nGIDENABLED=1\r\n"), without,
                      TSettingsReadMode::Strict);
  EXPECT_FALSE(without.RestoreTimeScaleAtMsg);
}

}  // namespace
}  // namespace traklin::districtgen
