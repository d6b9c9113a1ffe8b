// The route check: validation of file routes, switch-entry decoding, throat entries and
// signal classification, with the exact failure texts.
#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "area/district_setup.h"
#include "setup_district.h"

namespace traklin {
namespace {

using testing_setup::AreaBuilder;
using testing_setup::TwoTrackStation;

TTrainRouteData FileRoute(int startKind, int endKind, int first, int last,
                          std::initializer_list<int> entries = {}) {
  TTrainRouteData r;
  r.StartKind = startKind;
  r.StartPosition = 1;
  r.EndKind = endKind;
  r.EndPosition = 1;
  r.FirstSection = first;
  r.LastSection = last;
  int i = 0;
  for (int e : entries) r.Switches[i++] = e;
  return r;
}

std::string ErrorOf(TAreaData& area) {
  try {
    CheckRoutes(area);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no error";
}

// LP P (code 20) without throats, whose routes come from the file:
//
//   [1]--[2]=sw1=+--[3]--[4]        [6]>-<[7]  (parity flip between 6 and 7)
//                 \--[5]
AreaBuilder FileRouteStation() {
  AreaBuilder b(9, 10);
  b.AddStation(20, "P");
  b.Odd(1, 2);
  b.OddSwitch(2, 1, 3, 5);
  b.Odd(3, 4);
  b.OddFlip(6, 7);
  return b;
}

struct FileRouteCase {
  const char* scenario;
  TTrainRouteData route;
  int z;
  const char* reason;
};

TEST(FileRouteCheckTest, EachFaultyRouteGivesItsReason) {
  const FileRouteCase cases[] = {
      {"facing switch not named", FileRoute(1, 3, 1, 3), 1, "Route lacks the forward switch 1"},
      {"facing switch named twice", FileRoute(1, 3, 1, 3, {1, 1}), 2,
       "Double forward switch 1 in route"},
      {"trailing switch not named", FileRoute(3, 1, 3, 1), 1, "Route lacks the reverse switch 1"},
      {"trailing switch named twice", FileRoute(3, 1, 3, 1, {1, 1}), 2,
       "Double reverse switch 1 in route"},
      {"trailing switch minus on the straight", FileRoute(3, 1, 3, 1, {11}), 1,
       "Switch 1should be straight but it is sideways"},
      {"trailing switch plus on the side", FileRoute(3, 1, 5, 1, {1}), 1,
       "Switch should be side but it is straight"},
      {"last section not reached", FileRoute(1, 3, 1, 6, {1}), 1,
       "Unexpected route interruption after sect 4"},
      {"parity flip inside the route", FileRoute(1, 3, 6, 7), 1, "Inlet expected at parity flip."},
  };
  for (const FileRouteCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    AreaBuilder b = FileRouteStation();
    TLPRoutesData& routes = b.a.TrainRoutes[0];
    routes.SwitchCount = c.z;
    routes.Routes.push_back(FileRoute(1, 3, 1, 4, {1}));  // a good route first
    routes.Routes.push_back(c.route);
    routes.RouteCount = 2;
    EXPECT_EQ(ErrorOf(b.a), std::string("Error testing routes of LP  0\r\n\r\nError at route 1") +
                                "\r\n\r\n" + c.reason);
  }
}

TEST(FileRouteCheckTest, GoodRoutesAreExpandedWithTheirSections) {
  AreaBuilder b = FileRouteStation();
  TLPRoutesData& routes = b.a.TrainRoutes[0];
  routes.SwitchCount = 1;
  routes.Routes = {FileRoute(1, 3, 1, 5, {11}), FileRoute(3, 1, 4, 1, {1}),
                   FileRoute(1, 3, 6, 6, {0})};
  ASSERT_EQ(ErrorOf(b.a), "no error");
  const int side[] = {1, 2, 5, 0};
  const int back[] = {4, 3, 2, 1, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(routes.Routes[0].Sections[i], side[i]);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(routes.Routes[1].Sections[i], back[i]);
  EXPECT_EQ(routes.Routes[0].SwitchNumber[0], 1);
  EXPECT_EQ(routes.Routes[0].SwitchMinus[0], 1);
  EXPECT_EQ(routes.Routes[1].SwitchMinus[0], 0);
  EXPECT_EQ(routes.RouteCount, 3);
}

// A straight line of 49 sections: [1]--[2]--...--[49]
TEST(FileRouteCheckTest, FortyTwoSectionsAreTheLongestRoute) {
  for (int last : {42, 43}) {
    SCOPED_TRACE(last);
    AreaBuilder b(50, 4);
    b.AddStation(20, "P");
    for (int s = 1; s < 49; ++s) b.Odd(s, s + 1);
    b.a.TrainRoutes[0].Routes.push_back(FileRoute(1, 3, 1, last));
    const std::string expected =
        last == 42 ? "no error"
                   : "Error testing routes of LP  0\r\n\r\nError at route 0\r\n\r\nToo many "
                     "sections in route, max 42";
    EXPECT_EQ(ErrorOf(b.a), expected);
  }
}

// Entries are decoded with the final base: with 25 switches the entry 115 has raised the base
// to 100, and then 13 is switch 13 plus; with base 10, 13 is switch 3 minus.
TEST(FileRouteCheckTest, SwitchEntriesAreDecodedWithTheFinalBase) {
  struct Row {
    int base;
    std::initializer_list<int> entries;
    std::initializer_list<std::pair<int, int>> decoded;
  };
  const Row rows[] = {
      {100, {3, 13, 115}, {{3, 0}, {13, 0}, {15, 1}}},
      {10, {3, 13}, {{3, 0}, {3, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.base);
    AreaBuilder b = FileRouteStation();
    b.a.SwitchCount = 25;
    b.a.SwitchPosBase = row.base;
    TLPRoutesData& routes = b.a.TrainRoutes[0];
    routes.SwitchCount = static_cast<int>(row.entries.size());
    routes.Routes.push_back(FileRoute(2, 3, 4, 4, row.entries));
    ASSERT_EQ(ErrorOf(b.a), "no error");
    int i = 0;
    for (auto [sw, minus] : row.decoded) {
      EXPECT_EQ(routes.Routes[0].SwitchNumber[i], sw);
      EXPECT_EQ(routes.Routes[0].SwitchMinus[i], minus);
      ++i;
    }
    EXPECT_EQ(routes.Routes[0].SwitchNumber[i], 0);
  }
}

TEST(ThroatEntryTest, TwoThroatsOnTheSameEntrySectionAreRefused) {
  // A third peregon from W ends at section 1 too, with a throat of S of its own.
  AreaBuilder b = TwoTrackStation();
  const int p3 = b.AddPeregon(1, 0, 1);
  b.AddThroat(10, 0, p3);
  try {
    PrepareDistrict(b.a, SetupOptions{});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Double peregon (3) usage (2<>0)");
  }
}

TEST(SignalClassificationTest, KindsFollowTheRoutesFromTheSignal) {
  AreaBuilder b = FileRouteStation();
  b.AddTrack(0, 4, 1);
  const int fromStart = b.AddSignal(1, kOdd, 1);  // a route starts here, towards no throat
  const int atEnd = b.AddSignal(4, kEven, 2);     // routes only end here
  const int passed = b.AddSignal(3, kOdd, 3);     // routes only pass
  TLPRoutesData& routes = b.a.TrainRoutes[0];
  routes.SwitchCount = 1;
  routes.Routes.push_back(FileRoute(1, 3, 1, 4, {1}));
  ASSERT_EQ(ErrorOf(b.a), "no error");
  EXPECT_EQ(b.a.Semaphores[fromStart].Kind, 3);
  EXPECT_EQ(b.a.Semaphores[fromStart].LP, 0);
  EXPECT_EQ(b.a.Semaphores[atEnd].Kind, 1);
  EXPECT_EQ(b.a.Semaphores[passed].Kind, 1);
  EXPECT_EQ(b.a.Semaphores[passed].LP, 0);
}

TEST(SignalClassificationTest, ASignalOffEveryRouteHasNoLP) {
  AreaBuilder b = FileRouteStation();
  b.AddSignal(8, kOdd, 1);
  EXPECT_EQ(ErrorOf(b.a), "Unknown LP for semaphore at section 08h");
}

TEST(SignalClassificationTest, AStationSignalTowardsAThroatIsKindOne) {
  AreaBuilder b = TwoTrackStation();
  const int exit = b.AddSignal(3, kOdd, 34);
  PrepareDistrict(b.a, SetupOptions{});
  EXPECT_EQ(b.a.Semaphores[exit].Kind, 1);
  EXPECT_EQ(b.a.Semaphores[exit].LP, 0);
}

TEST(SingleSidedTest, AStationWithSwitchRoutesOnBothSidesIsNotSingleSided) {
  AreaBuilder b = TwoTrackStation();
  PrepareDistrict(b.a, SetupOptions{});
  EXPECT_EQ(b.a.Puts[0].SingleSided, 0);
  EXPECT_EQ(b.a.Puts[1].SingleSided, 1);  // W: no routes at all
}

}  // namespace
}  // namespace traklin
