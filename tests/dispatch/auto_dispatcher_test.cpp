// The automatic dispatcher on the demo district: commits, receive tasks, controlled routes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "area/date_time.h"
#include "dispatch/auto_dispatcher.h"
#include "state/clock.h"
#include "trains/op_task.h"
#include "trains/shipped_district.h"

namespace traklin {
namespace {

using test::ShippedDistrict;

// The demo line, odd direction to the right:
//
//   Заречье ЗАР (asks) -- Берёзовка БЕР (acts itself) -- Сосновка СОС (no duty officer)
//   -- Озёрная ОЗЁ (asks) == Дубки ДУБ (asks; double line to ОЗЁ) -- Кедровая КЕД (asks)
//
// Passenger train 2001 is put out at Заречье at 05:10 and runs odd through all of them.

/// The stations switched to automatic, by name.
void Automate(ShippedDistrict& d, std::initializer_list<const char*> names) {
  d.Sim.State.AutoLPs.assign(d.Sim.AreaData.Puts.size(), false);
  for (const char* name : names) d.Sim.State.AutoLPs[d.LP(name)] = true;
}

int TrainNumbered(const ShippedDistrict& d, int number) {
  const auto& trains = d.Sim.State.Trains;
  for (int i = 0; i < static_cast<int>(trains.size()); ++i)
    if (trains[i].NUMBER == number) return i;
  return -1;
}

bool AnyRoutePendingOrSet(const ShippedDistrict& d, int lp) {
  for (int r = 0; r < static_cast<int>(d.Sim.AreaData.TrainRoutes[lp].Routes.size()); ++r)
    if (RouteIsPending(d.Sim, lp, r) || RouteIsSet(d.Sim, lp, r)) return true;
  return false;
}

bool InformedOf(const ShippedDistrict& d, const std::string& text) {
  return std::any_of(d.Console.Infos.begin(), d.Console.Infos.end(),
                     [&](const auto& box) { return box.Text.find(text) != std::string::npos; });
}

/// What the dispatcher did for train 2001 between 05:00 and 06:30, in the order it did it:
/// "commit ЗАР" (the commit Заречье asked for, seen as the dispatcher gives it), "route СОС" (a
/// route at Сосновка), "task ОЗЁ" (a receive task at Озёрная), each once, when first seen after a
/// step.
struct Run2001 {
  std::vector<std::string> Operations;
  bool ReachedOzyornaya = false;
};

/// With `later`, the stations in it are automatic instead from step `switchAt` on.
Run2001 RunTrain2001(std::initializer_list<const char*> automated,
                     std::initializer_list<const char*> later = {}, int switchAt = -1) {
  ShippedDistrict d(1, 1);
  Automate(d, automated);
  d.SetClock(500);
  const int zar = d.LP("Заречье"), sos = d.LP("Сосновка"), oz = d.LP("Озёрная");
  Run2001 run;
  const auto once = [&](const std::string& op, bool seen) {
    if (seen && std::find(run.Operations.begin(), run.Operations.end(), op) == run.Operations.end())
      run.Operations.push_back(op);
  };
  const TDepartCommitData& commit = d.Sim.State.DepartCommits[zar];
  for (int step = 0; step < 90 * 120; ++step) {
    if (step == switchAt) Automate(d, later);
    // The station spends a commit in the step it is given: it is looked for right after the
    // dispatcher's pass.
    for (const Simulation::StepPass& pass : Simulation::StepOrder()) {
      pass.Run(d.Sim, kStepLength);
      if (std::string_view(pass.Name) == "AutoDispatcher")
        once("commit ЗАР", commit.EVEN != 0 || commit.ODD != 0);
    }
    once("route СОС", AnyRoutePendingOrSet(d, sos));
    const TaskThroatSlots slots = ThroatSlotsOf(d.Sim.AreaData, oz);
    for (const int g : slots.Throats)
      once("task ОЗЁ", g >= 0 && d.Sim.State.Gorls[g].TASKED != 0 && !d.Sim.State.Gorls[g].SEND);
    const int t = TrainNumbered(d, 2001);
    if (t >= 0 && d.Sim.State.Trains[t].HEAD.LP_CODE == d.Sim.AreaData.Puts[oz].Code)
      run.ReachedOzyornaya = true;
  }
  EXPECT_TRUE(d.Faults().empty()) << d.Faults().front();
  return run;
}

TEST(AutoDispatcherTest, LooksEveryOtherStepOnTheWholeSeconds) {
  const TDateTime day = EncodeDate(2024, 3, 15);
  const struct {
    double Seconds;
    bool Looks;
  } cases[] = {{0, true},        {0.5, false},  {1, true},
               {36000.5, false}, {86399, true}, {86399.5, false}};
  for (const auto& c : cases)
    EXPECT_EQ(AutoDispatcherLooks(day + c.Seconds * kSecond), c.Looks) << c.Seconds;
  // A clock off the grid of half seconds (a save made elsewhere), and dates far on, still give
  // every other step.
  for (const TDateTime start : {day + 0.3 * kSecond, EncodeDate(2099, 12, 31) + 0.25 * kSecond}) {
    TDateTime t = start;
    int looks = 0;
    for (int n = 0; n < 100; ++n) {
      const bool before = AutoDispatcherLooks(t);
      t = AdvanceClock(t, kStepLength);
      EXPECT_NE(AutoDispatcherLooks(t), before) << FormatEventTime(t);
      looks += AutoDispatcherLooks(t) ? 1 : 0;
    }
    EXPECT_EQ(looks, 50);
  }
}

TEST(AutoDispatcherTest, TrainRunsThroughACommitAControlledStationAndAReceiveTask) {
  const Run2001 run = RunTrain2001({"Заречье", "Сосновка", "Озёрная"});
  EXPECT_EQ(run.Operations, (std::vector<std::string>{"commit ЗАР", "route СОС", "task ОЗЁ"}));
  EXPECT_TRUE(run.ReachedOzyornaya);
}

TEST(AutoDispatcherTest, StationsLeftToTheDispatcherGetNothing) {
  // Only Озёрная is automatic: the commit at Заречье never comes, so the train never gets
  // near the stations beyond it.
  const Run2001 run = RunTrain2001({"Озёрная"});
  EXPECT_TRUE(run.Operations.empty());
  EXPECT_FALSE(run.ReachedOzyornaya);
  // Without Сосновка the train is let out of Заречье but stops at its entry signal.
  const Run2001 stuck = RunTrain2001({"Заречье", "Озёрная"});
  EXPECT_EQ(stuck.Operations, std::vector<std::string>{"commit ЗАР"});
  EXPECT_FALSE(stuck.ReachedOzyornaya);
}

TEST(AutoDispatcherTest, EmptyOrAllOffSwitchesChangeNothing) {
  ShippedDistrict none(1, 3), off(1, 3);
  off.Sim.State.AutoLPs.assign(off.Sim.AreaData.Puts.size(), false);
  for (ShippedDistrict* d : {&none, &off}) {
    d->SetClock(500);
    d->Steps(3 * 3600 * 2);
  }
  EXPECT_EQ(none.Sim.State.Trains.size(), off.Sim.State.Trains.size());
  EXPECT_EQ(none.Console.Infos.size(), off.Console.Infos.size());
  EXPECT_EQ(none.Sim.State.Sects, off.Sim.State.Sects);
}

TEST(AutoDispatcherTest, CommitWaitsWhileATrainComesTheOtherWay) {
  // Train 2001 stands at Заречье asking for its commit; a train put on the peregon beyond,
  // heading for Заречье, holds the commit back until it has left the peregon.
  ShippedDistrict d(1, 1);
  Automate(d, {});
  d.SetClock(500);
  const int zar = d.LP("Заречье");
  const TDepartCommitData& commit = d.Sim.State.DepartCommits[zar];
  int asked = -1;
  for (int step = 0; step < 40 * 120 && asked < 0; ++step) {
    d.Steps(1);
    if (InformedOf(d, "Дайте разрешение на отправление поезду № 2001")) asked = step;
  }
  ASSERT_GE(asked, 0);
  ASSERT_EQ(commit.ODD + commit.EVEN, 0);
  // A train on the peregon beyond Заречье, heading for Заречье (the peregon is the first
  // one, Заречье at its even end); it stands still, as only the dispatcher's pass runs.
  ASSERT_EQ(d.Sim.AreaData.GraphPeregons[0].LP[0] - 1, zar);
  const int t = TrainNumbered(d, 2001);
  TTrainData opposing;
  opposing.NUMBER = 3002;
  opposing.HEAD.PEREGON_IDX = opposing.TAIL.PEREGON_IDX = 0;
  opposing.HEAD.DIR = opposing.TAIL.DIR = d.Sim.State.Trains[t].HEAD.DIR ^ 1;
  d.Sim.State.Trains.push_back(opposing);
  Automate(d, {"Заречье"});
  for (int step = 0; step < 120; ++step) {
    AutoDispatch(d.Sim, d.Sim.State.AutoLPs);
    EXPECT_EQ(commit.ODD + commit.EVEN, 0);
  }
  // Once it has gone, the commit is given in the direction of 2001.
  d.Sim.State.Trains.pop_back();
  AutoDispatch(d.Sim, d.Sim.State.AutoLPs);
  EXPECT_NE(d.Sim.State.Trains[t].HEAD.DIR ? commit.ODD : commit.EVEN, 0);
}

TEST(AutoDispatcherTest, StationsSwitchedToAutomaticMidRunAreWorkedFromThen) {
  // Only Озёрная is automatic for the first ten seconds; then the three stations are, and the
  // dispatcher brings 2001 through as when they were automatic from the start.
  const Run2001 run = RunTrain2001({"Озёрная"}, {"Заречье", "Сосновка", "Озёрная"}, 20);
  EXPECT_EQ(run.Operations, (std::vector<std::string>{"commit ЗАР", "route СОС", "task ОЗЁ"}));
  EXPECT_TRUE(run.ReachedOzyornaya);
}

TEST(AutoDispatcherTest, SendTaskWaitingForItsCommitGivesWayToAnArrivingTrain) {
  ShippedDistrict d(1, 1);
  Automate(d, {});
  d.SetClock(500);
  const int zar = d.LP("Заречье");
  for (int step = 0; step < 40 * 120; ++step) {
    d.Steps(1);
    if (InformedOf(d, "Дайте разрешение на отправление поезду № 2001")) break;
  }
  // Заречье's send task for 2001 stands, waiting for a commit.
  int g = -1;
  for (const int h : ThroatSlotsOf(d.Sim.AreaData, zar).Throats)
    if (h >= 0 && d.Sim.State.Gorls[h].TASKED != 0 && d.Sim.State.Gorls[h].SEND) g = h;
  ASSERT_GE(g, 0);
  // A train arrives at the throat's entry section from the peregon, running towards Заречье.
  const int entry = d.Sim.AreaData.GorlStanzs[g].EntrySection;
  const int in = d.Sim.State.Trains[TrainNumbered(d, 2001)].HEAD.DIR ^ 1;
  TTrainData arriving;
  arriving.NUMBER = 3002;
  arriving.LOAD_TYPE = 100;
  arriving.HEAD.PEREGON_IDX = arriving.TAIL.PEREGON_IDX = 0;
  arriving.HEAD.SECT_IDX = arriving.TAIL.SECT_IDX = entry;
  arriving.HEAD.DIR = arriving.TAIL.DIR = static_cast<std::uint8_t>(in);
  d.Sim.State.Trains.push_back(arriving);
  TSectionSchuntData& x = d.Sim.State.Sects[entry];
  (in ? x.TRN_ODD : x.TRN_EVEN) = static_cast<int>(d.Sim.State.Trains.size()) - 1;
  Automate(d, {"Заречье"});
  AutoDispatch(d.Sim, d.Sim.State.AutoLPs);
  EXPECT_FALSE(d.Sim.State.Gorls[g].TASKED != 0 && d.Sim.State.Gorls[g].SEND);
  EXPECT_EQ(d.Sim.State.DepartCommits[zar].ODD + d.Sim.State.DepartCommits[zar].EVEN, 0);
}

TEST(AutoDispatcherTest, AutomaticDaysOfTheDemoAreSafeAndFinishMostTrains) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    ShippedDistrict d(1, seed);
    d.Sim.State.AutoLPs.assign(d.Sim.AreaData.Puts.size(), true);
    int created = 0, removed = 0;
    d.Sim.OnTrainCreated = [&](int, TrainSource) { ++created; };
    d.Sim.OnTrainRemoving = [&](int) { ++removed; };
    d.SetClock(0);
    d.Steps(24 * 3600 * 2);
    EXPECT_TRUE(d.Faults().empty()) << "seed " << seed << ": " << d.Faults().front();
    EXPECT_GE(removed * 10, created * 9) << "seed " << seed << ": " << removed << " of " << created;
  }
}

}  // namespace
}  // namespace traklin
