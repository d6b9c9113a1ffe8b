// The dispatcher's operations on the demo district: each one done, the line it tells a shift's
// recorder (and its refusal as the note), and that line read back as a scenario line.
#include "dispatch/operations.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "dispatch/scenario.h"
#include "trains/op_task.h"
#include "trains/shipped_district.h"

namespace traklin {
namespace {

using test::ShippedDistrict;

struct OperationsTest : ::testing::Test {
  ShippedDistrict d{1};
  std::vector<std::pair<std::string, std::string>> told;
  int sos = d.LP("Сосновка");  // worked from the desk
  int oz = d.LP("Озёрная");    // takes tasks
  int ked = d.LP("Кедровая");  // a commit lamp for odd departures
  int zar = d.LP("Заречье");
  std::string S = std::to_string(Code(sos)), O = std::to_string(Code(oz)),
              K = std::to_string(Code(ked)), Z = std::to_string(Code(zar));

  OperationsTest() {
    d.SetClock(600);
    d.Sim.OnOperation = [this](const std::string& line, const std::string& note) {
      told.emplace_back(line, note);
    };
  }
  int Code(int lp) const { return d.Sim.AreaData.Puts[lp].Code; }
  std::string Track(int lp, int k) const {
    return FormatTrackName(d.Sim.AreaData.Puts[lp].Tracks[k].Number);
  }
  int Route(int lp, int c1, int r1, int c2, int r2) const {
    return FindRoute(d.Sim.AreaData, lp, c1, r1, c2, r2);
  }
  /// The index of the task dialog's deed.
  int Deed(bool transit, bool sends, int side) const {
    for (int k = 0; k < static_cast<int>(kTaskDeeds.size()); ++k)
      if (kTaskDeeds[k].Transit() == transit && kTaskDeeds[k].Sends == sends &&
          kTaskDeeds[k].Side == side)
        return k;
    return -1;
  }
};

TEST_F(OperationsTest, EveryOperationTellsItsScenarioLineAndItsRefusal) {
  const auto first = ThroughRoutes(d.Sim.AreaData, sos, 1, 1, 4, 1);
  ASSERT_TRUE(first) << "the demo's controlled station has a through passage on row 1";
  const int route = first->first;
  const TTrainRouteData& r = d.Sim.AreaData.TrainRoutes[sos].Routes[route];
  const std::string buttons =
      fmt::format("{} {} {} {}", r.StartKind, r.StartPosition, r.EndKind, r.EndPosition);
  test::CreateTimetableTrain(d.Sim, 801);
  const bool posts = !d.Sim.Settings.NotifiesFromPosts;
  // What the settings dialog hands back: the record with two keys changed.
  const auto dialog = [&] {
    TSettings changed = d.Sim.Settings;
    changed.PunctualityToleranceMin = 7;
    changed.NotifiesFromPosts = posts;
    OperateSettings(d.Sim, changed);
  };

  const struct {
    std::function<void()> Do;
    std::string Line;
    std::string Note;
  } cases[] = {
      {[&] { OperateRoute(d.Sim, sos, route, RouteMode::Order); }, "route " + S + " " + buttons,
       ""},
      {[&] { OperateRoute(d.Sim, sos, route, RouteMode::Order); }, "route " + S + " " + buttons,
       "not done: the route is not in a state to do that"},
      // The order has locked nothing yet: inverting withdraws it.
      {[&] { OperateRoute(d.Sim, sos, route, RouteMode::Invert); }, "invert " + S + " " + buttons,
       ""},
      {[&] { OperateRoute(d.Sim, sos, route, RouteMode::Cancel); }, "cancel " + S + " " + buttons,
       "not done: the route is not in a state to do that"},
      {[&] { OperateThrough(d.Sim, sos, first->first, first->second, RouteMode::Order); },
       "through " + S + " 1 1 4 1", ""},
      {[&] { OperateThrough(d.Sim, sos, first->first, first->second, RouteMode::Invert); },
       "invertthrough " + S + " 1 1 4 1", ""},
      {[&] { OperateThrough(d.Sim, sos, first->first, first->second, RouteMode::Cancel); },
       "cancelthrough " + S + " 1 1 4 1", "not done: the route is not in a state to do that"},
      {[&] { OperateCommit(d.Sim, ked, 1, -1); }, "commit " + K + " odd give", ""},
      {[&] { OperateCommit(d.Sim, ked, 1, 1); }, "commit " + K + " odd give",
       "not done: the commit is already given"},
      {[&] { OperateCommit(d.Sim, ked, 1, -1); }, "commit " + K + " odd take", ""},
      {[&] { OperateTask(d.Sim, oz, Deed(false, false, 0), 0, -1, true); },
       "task " + O + " receive even " + Track(oz, 0) + " dialog", ""},
      // A scenario's task is refused without a word from the station, the dialog's is told.
      {[&] { OperateTask(d.Sim, oz, Deed(false, false, 0), 0, -1, false); },
       "task " + O + " receive even " + Track(oz, 0), "not done: Горловина занята"},
      {[&] { OperateTask(d.Sim, oz, Deed(false, false, 0), 0, -1, true); },
       "task " + O + " receive even " + Track(oz, 0) + " dialog", "not done: Горловина занята"},
      {[&] { OperateCancelTask(d.Sim, oz, 0, 0); }, "canceltask " + O + " even", ""},
      {[&] { OperateTask(d.Sim, oz, Deed(true, true, 1), 1, -1, false); },
       "task " + O + " transit odd " + Track(oz, 1), ""},
      {[&] { OperateCancelTask(d.Sim, oz, -1, 0); }, "canceltask " + O, ""},
      {[&] { OperateCancelTask(d.Sim, oz, -1, 0); }, "canceltask " + O,
       "not done: the station has no task"},
      {[&] { OperatePut(d.Sim, 801, zar, 0); }, "put 801 " + Z + " " + Track(zar, 0), ""},
      {[&] { OperatePut(d.Sim, 801, zar, 1); }, "put 801 " + Z + " " + Track(zar, 1),
       "not done: no train 801 is waiting"},
      {[&] { OperateAuto(d.Sim, -1, true); }, "auto all on", ""},
      {[&] { OperateAuto(d.Sim, sos, false); }, "auto " + S + " off", ""},
      {[&] { OperateHold(d.Sim, 6001, "20m"); }, "hold 6001 20m", ""},
      {[&] { OperateSetting(d.Sim, "GID/GIDENABLED", "1"); }, "set GID/GIDENABLED=1", ""},
      {dialog, "set LEVEL/PUNCTUALITYTOLERANCEMIN=7", ""},
      {[&] { NoteReply(d.Sim, false, "Принять поезд № 2001 на I путь?"); }, "reply no",
       "Принять поезд № 2001 на I путь?"},
      {[&] { d.Sim.ManualSave(); }, "savelast", ""},
  };
  for (const auto& c : cases) {
    const std::size_t before = told.size();
    c.Do();
    ASSERT_GT(told.size(), before) << c.Line;
    EXPECT_EQ(told[before].first, c.Line);
    EXPECT_EQ(told[before].second, c.Note) << c.Line;
    // Every line plays again as a scenario line of the district.
    EXPECT_NO_THROW(ParseScenario("06:00:00.0 " + c.Line + "\n", d.Sim.AreaData)) << c.Line;
  }
  // The settings record took both changed keys, each as its own line.
  EXPECT_EQ(d.Sim.Settings.PunctualityToleranceMin, 7);
  EXPECT_EQ(d.Sim.Settings.NotifiesFromPosts, posts);
  EXPECT_EQ(std::count_if(told.begin(), told.end(),
                          [](const auto& t) { return t.first.starts_with("set "); }),
            3);
  // The refused task of the dialog was told by the station, as the task dialog tells it.
  ASSERT_EQ(d.Console.Infos.size(), 1u);
  EXPECT_EQ(d.Console.Infos.back().Caption, TaskDialogCaption(d.Sim.AreaData, oz));
  EXPECT_EQ(d.Console.Infos.back().Text, "Задание невыполнимо:\r\nГорловина занята");
}

TEST_F(OperationsTest, AHoldCountsFromTheNextStepAndReplacesTheTrainsEarlierHold) {
  OperateHold(d.Sim, 6001, "10m");
  OperateHold(d.Sim, 6001, "20m");
  ASSERT_EQ(d.Sim.AutoHolds.size(), 1u);
  // Given at 06:00:00.0, in force from 06:00:00.5: the hold ends twenty minutes later.
  EXPECT_EQ(FormatEventTime(d.Sim.AutoHolds[0].Until).substr(11), "06:20:00.5");
  EXPECT_EQ(OperateHold(d.Sim, 6001, "soon"), "no such hold");
}

TEST_F(OperationsTest, ASettingOutsideTheRecordIsRefusedAndNotTold) {
  EXPECT_EQ(OperateSetting(d.Sim, "LEVEL/NOSUCHKEY", "1"), "no such setting: LEVEL/NOSUCHKEY");
  EXPECT_EQ(OperateSetting(d.Sim, "GID/GIDENABLED", "yes"), "not an integer: GID/GIDENABLED=yes");
  EXPECT_TRUE(told.empty());
}

}  // namespace
}  // namespace traklin
