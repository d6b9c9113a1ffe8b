// Station resolution, ring assignment, the reference checks and the set-up summary.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <stdexcept>
#include <string>

#include "area/district_setup.h"
#include "setup_district.h"

namespace traklin {
namespace {

using testing_setup::AreaBuilder;
using testing_setup::TwoTrackStation;

// X (code 1) ==P1== Y (code 2) ==P2== Z (code 3); the line goes on beyond Z towards codes
// that the district does not hold. Throats of X: t0 odd to P1 serving codes 3..50; t1 even,
// side +1, without a peregon, serving 30..45; t2 odd, side -1, serving 40..40 (never chosen).
AreaBuilder ResolutionLine() {
  AreaBuilder b(2, 4);
  const int x = b.AddStation(1, "X");
  const int y = b.AddStation(2, "Y");
  const int z = b.AddStation(3, "Z");
  const int p1 = b.AddPeregon(x, y, 1);
  b.AddPeregon(y, z, 1);
  b.AddThroat(1, 1, p1, 3, 50);
  b.AddThroat(1, 4, 0, 30, 45);
  b.AddThroat(1, 7, p1, 40, 40);
  for (int code : {20, 40, 60}) b.Name(code, "Outside " + std::to_string(code));
  return b;
}

TEST(StationResolutionTest, CodesResolveThroughTheNarrowestRange) {
  AreaBuilder b = ResolutionLine();
  b.Name(25, "");  // an unnamed entry is left alone
  b.a.Stations[25].LPCode = 77;
  ResolveStations(b.a);
  const struct {
    int code, lpCode;
  } rows[] = {
      {2, 2},    // an LP of the district
      {20, 3},   // only t0: walked out over P1 and P2 to Z
      {40, 1},   // t1 is narrower; it has no peregon, so its own code
      {60, -1},  // no range holds it
      {25, 77},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.code);
    EXPECT_EQ(b.a.Stations[r.code].LPCode, r.lpCode);
  }
}

TEST(StationResolutionTest, OfTwoEqualRangesTheFirstThroatIsTaken) {
  AreaBuilder b = ResolutionLine();
  b.a.GorlStanzs[1].CodeLow = 3;
  b.a.GorlStanzs[1].CodeHigh = 50;  // as wide as t0, but later
  ResolveStations(b.a);
  EXPECT_EQ(b.a.Stations[40].LPCode, 3);
}

TEST(StationResolutionTest, AWalkRoundARingOfPeregonsEnds) {
  // X ==P1== Y ==P2== X: the walk comes back to P1 and stops there.
  AreaBuilder b(2, 4);
  const int x = b.AddStation(1, "X");
  const int y = b.AddStation(2, "Y");
  const int p1 = b.AddPeregon(x, y, 1);
  b.AddPeregon(y, x, 1);
  b.AddThroat(1, 1, p1, 3, 50);
  b.Name(20, "Outside");
  ResolveStations(b.a);
  EXPECT_EQ(b.a.Stations[20].LPCode, 1);
}

TEST(RingTest, HashFollowsTheRecurrence) {
  const struct {
    int k, n, h;
  } rows[] = {
      {-1, 7, 29 % 7},   {-5, 4, 1},         {0, 1000, 396},     {0, 7, 396 % 7},
      {1, 100000, 4433}, {2, 100000, 48840}, {3, 100000, 13029}, {3, 10, 9},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.k);
    EXPECT_EQ(RingHash(r.k, r.n), r.h);
  }
}

std::function<bool(int)> RingFiles(std::set<int> files) {
  return [files](int n) { return files.count(n) > 0; };
}

// Two stations and two further LPs.
AreaBuilder FourLPs() {
  AreaBuilder b(2, 4);
  b.AddStation(1, "A");
  b.AddStation(2, "B");
  b.AddLP(3, "C");
  b.AddLP(4, "D");
  return b;
}

TEST(RingTest, RingZeroIsTheDefault) {
  AreaBuilder b = FourLPs();
  EXPECT_EQ(AssignRings(b.a, RingFiles({0, 2})), 0);
  // A: H(0, 1) = 0 -> ring 2; B keeps its own ring 2; C, D: the default.
  EXPECT_EQ(b.a.Puts[0].Ring, 2);
  EXPECT_EQ(b.a.Puts[1].Ring, 2);
  EXPECT_EQ(b.a.Puts[2].Ring, 0);
  EXPECT_EQ(b.a.Puts[3].Ring, 0);
}

TEST(RingTest, WithoutRingZeroTheDefaultIsDrawnFromTheOwnRings) {
  AreaBuilder b = FourLPs();
  // Own rings: B (2) and D (4): list {2, 4}. Default: H(2, 2) = 48840 mod 2 = 0 -> 2.
  EXPECT_EQ(AssignRings(b.a, RingFiles({2, 4})), 2);
  EXPECT_EQ(b.a.Puts[0].Ring, 2);  // H(0, 2) = 396 mod 2 = 0
  EXPECT_EQ(b.a.Puts[1].Ring, 2);
  EXPECT_EQ(b.a.Puts[2].Ring, 2);  // beyond the stations: the default
  EXPECT_EQ(b.a.Puts[3].Ring, 4);
}

TEST(RingTest, WithoutRingFilesNoLPHasARing) {
  AreaBuilder b = FourLPs();
  EXPECT_EQ(AssignRings(b.a, RingFiles({})), -1);
  EXPECT_EQ(AssignRings(b.a, nullptr), -1);
  for (const TPutData& put : b.a.Puts) EXPECT_EQ(put.Ring, -1);
}

struct ReferenceCase {
  const char* scenario;
  std::function<void(TAreaData&)> spoil;
  const char* message;
};

TEST(ReferenceCheckTest, EachBrokenReferenceIsNamed) {
  const ReferenceCase cases[] = {
      {"section lamp", [](TAreaData& a) { a.Sekzs[3] = 40; }, "Lamp 40 of section 3 out of bounds"},
      {"departure commit lamp", [](TAreaData& a) { a.GraphFragms[1].DepartCommitLamp[1] = 99; },
       "Departure commit lamp 99 of station 1 out of bounds"},
      {"peregon LP", [](TAreaData& a) { a.GraphPeregons[1].LP[1] = 9; },
       "Graph peregon 2 refers to unknown LP 9"},
      {"peregon end section", [](TAreaData& a) { a.GraphPeregons[0].EndSection[0] = 0; },
       "Graph peregon 1 end section 0 out of bounds"},
      {"drawn peregon leaving the district",
       [](TAreaData& a) {
         a.GraphPeregons[0].Drawn = 1;
         a.GraphPeregons[0].LP[0] = 0;
       },
       "Graph peregon 1 is drawn but has no station at end 0"},
      {"block lamps", [](TAreaData& a) { a.GraphPeregons[0].BlockLamps[1] = 45; },
       "Block lamps 0..45 of graph peregon 1 out of bounds"},
      {"direction lamp", [](TAreaData& a) { a.GraphPeregons[0].DirectionLamps[1] = -2; },
       "Direction lamp -2 of graph peregon 1 out of bounds"},
      {"LP code beyond the station names", [](TAreaData& a) { a.Puts[2].Code = 13; },
       "LP code 13 of LP 2 has no entry among the station names"},
  };
  for (const ReferenceCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    AreaBuilder b = TwoTrackStation();
    c.spoil(b.a);
    try {
      PrepareDistrict(b.a, SetupOptions{});
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(ReferenceCheckTest, ASecondSignalLampBeyondTheTableIsRefused) {
  // Throat t1 numbered 1, so the exit signal on track I may light lamp 40.
  AreaBuilder b = TwoTrackStation();
  b.a.GorlStanzs[1].Number = 1;
  b.AddSignal(3, kOdd, 39);
  try {
    PrepareDistrict(b.a, SetupOptions{});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Second lamp 40 of semaphore at section 03h out of bounds");
  }
}

TEST(DescribeSetupTest, ListsRoutesChainsAndSignalKinds) {
  AreaBuilder b = TwoTrackStation();
  b.AddSignal(3, kOdd, 34);
  b.AddSignal(1, kEven, 35);
  PrepareDistrict(b.a, SetupOptions{});
  const std::vector<std::string> expected = {
      "LP 0 (code 10) S: 8 routes, 8 chains",
      "LP 1 (code 11) W: 0 routes, 0 chains",
      "LP 2 (code 12) E: 0 routes, 0 chains",
      "Signals: 1 peregon end (kind 0), 1 to throat (kind 1), 0 block (kind 2), 0 other "
      "station (kind 3)",
  };
  EXPECT_EQ(DescribeSetup(b.a), expected);
}

}  // namespace
}  // namespace traklin
