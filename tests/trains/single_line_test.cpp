// Two trains towards each other on one single line: whoever sends them, at stations of any
// kind and in whatever order, only one direction holds the line and the other train follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "state/braking.h"
#include "state/interlocking.h"
#include "trains/shipped_district.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/throat_queries.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

/// How a station works: its duty officer asks the dispatcher; no duty officer, the dispatcher
/// sets its routes; it acts by itself (asking before it sends towards a station that asks);
/// it acts by itself and sends without asking.
enum class Kind { Asks, Controlled, Acts, SendsUnasked };

const char* KindName(Kind k) {
  switch (k) {
    case Kind::Asks:
      return "Asks";
    case Kind::Controlled:
      return "Controlled";
    case Kind::Acts:
      return "Acts";
    case Kind::SendsUnasked:
      return "SendsUnasked";
  }
  return "";
}

/// The train from Алая through Бор, and the one that stands at Сады.
int FirstNumber(bool mirrored) {
  return mirrored ? 6312 : 6311;
}
int SecondNumber(bool mirrored) {
  return mirrored ? 6311 : 6312;
}

std::string StationJson(const std::string& name, const std::string& mnem, int km, Kind kind,
                        const std::string& tracks) {
  std::string flags;
  if (kind == Kind::Controlled) flags = R"("controlled": true, )";
  if (kind == Kind::Acts) flags = R"("self_acting": true, )";
  if (kind == Kind::SendsUnasked) flags = R"("self_acting": true, "send_without_asking": 1, )";
  return R"({"name": ")" + name + R"(", "mnem": ")" + mnem + R"(", "km": )" + std::to_string(km) +
         ", " + flags + R"("tracks": )" + tracks + "}";
}

// clang-format off
/// Four stations on single lines of 3 km with two block sections each, odd trains to the
/// right. Алая asks, Дол acts by itself; Бор and Сады are of the kinds given:
///
///   Алая (asks)         Бор (b)               Сады (c)              Дол (acts)
///   I ---.           .--- I ---.            .--- I ---.            .--- I
///   3 ---+---3 km----+         +----3 km----+         +----3 km----+
///   2 ---'  2 blocks `--- 3 ---'  2 blocks  `--- 3 ---'  2 blocks  `--- 2
///
/// Train 6311 runs from Алая to Дол without a stop; 6312 comes from Дол and stops at Сады on
/// its way to Алая, so both need the line between Бор and Сады. `mirrored` writes the line
/// right to left (the two trains then swap numbers): Сады comes before Бор in the district,
/// and its routes are assembled first within a step.
// clang-format on
std::string LineText(Kind b, Kind c, bool mirrored, int borMainTrack = 1050) {
  std::vector<std::string> stations = {
      StationJson("Алая", "АЛА", 0, Kind::Asks, "[[1001, 3, 2], [3, 3, 2], [2, 3, 3]]"),
      StationJson("Бор", "БОР", 3, b,
                  "[[1001, 3, 1, " + std::to_string(borMainTrack) + "], [3, 3, 1]]"),
      StationJson("Сады", "САД", 6, c, "[[1001, 3, 1], [3, 3, 1]]"),
      StationJson("Дол", "ДОЛ", 9, Kind::Acts, "[[1001, 3, 1], [2, 3, 3]]")};
  if (mirrored) std::reverse(stations.begin(), stations.end());
  std::string list;
  for (const std::string& s : stations) list += (list.empty() ? "" : ", ") + s;
  const std::string peregon = R"({"length": 3000, "blocks": 2})";
  return R"({"number": 43, "outside_left": ["З1", "З2", "З3", "З4"],
    "outside_right": ["В1", "В2", "В3", "В4"], "stations": [)" +
         list + R"(], "peregons": [)" + peregon + ", " + peregon + ", " + peregon + R"(],
    "trains": [
      {"number": )" +
         std::to_string(FirstNumber(mirrored)) + R"(, "from": "Алая", "to": "Дол",
       "depart": "10:00"},
      {"number": )" +
         std::to_string(SecondNumber(mirrored)) + R"(, "from": "Дол", "to": "Алая",
       "depart": "09:30", "stops": {"Сады": 30}}]})";
}

/// The LP's peregon ends: (graph peregon, end) pairs.
std::vector<std::pair<int, int>> EndsOf(const TAreaData& area, int lp) {
  std::vector<std::pair<int, int>> ends;
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p)
    for (int e = 0; e < 2; ++e)
      if (area.GraphPeregons[p].LP[e] == lp + 1) ends.emplace_back(p, e);
  return ends;
}

/// The first route of the LP from section `from` to section `to`, -1 when none.
int RouteBetween(const TAreaData& area, int lp, int from, int to) {
  const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
  for (int r = 0; r < static_cast<int>(routes.size()); ++r)
    if (routes[r].FirstSection == from && routes[r].LastSection == to) return r;
  return -1;
}

/// A free track of the LP, no route to or from it ordered, that suits train t and that
/// section `from` reaches.
int FreeTrack(Simulation& sim, int lp, int t, int from) {
  const TAreaData& area = sim.AreaData;
  for (int k = 0; k < static_cast<int>(area.Puts[lp].Tracks.size()); ++k) {
    const int s = area.Puts[lp].Tracks[k].Section;
    if (SectionFree(sim, s) && !ThroatRouteBusy(sim, lp, s) && TrackSuits(sim, lp, k, t) &&
        ReceiveTaskOfTrack(sim, lp, k) < 0 &&
        (RouteBetween(area, lp, from, s) >= 0 || FindBestRoute(area, lp, from, s) >= 0))
      return k;
  }
  return -1;
}

/// A send task through throat g for a train that stands at the station without a stop of its
/// own there: the station sends only its timetable stops by itself.
void SendOn(Simulation& sim, int g, const ThroatView& v) {
  const TAreaData& area = sim.AreaData;
  for (int k = 0; k < static_cast<int>(area.Puts[v.LP].Tracks.size()); ++k) {
    const int t = TrainOnHalf(sim, area.Puts[v.LP].Tracks[k].Section, v.Dir);
    if (t < 0 || IsMoving(sim, t) || TrainStopsAt(sim, v.Code, t)) continue;
    int throat = g, dir = v.Dir;
    if (!ThroatOfNextStop(sim, throat, dir, v.LP, t) || dir != v.Dir) continue;
    sim.State.Gorls[g] = TGorlTaskData{sim.State.ClockTime, true, false, k, ""};
    return;
  }
}

/// The commit for every send task of a station that asks, given as soon as the task waits.
void GiveCommits(Simulation& sim) {
  for (int g = 0; g < static_cast<int>(sim.AreaData.GorlStanzs.size()); ++g) {
    const ThroatView v = ThroatViewOf(sim, g);
    const TGorlTaskData& task = sim.State.Gorls[g];
    if (v.Valid && !v.SelfActing && task.TASKED != 0 && task.SEND && v.Side < 1 &&
        !DepartCommitGiven(sim, v.LP, v.Dir))
      ToggleDepartCommit(sim, v.LP, v.Dir);
  }
}

/// A dispatcher at the desk who does whatever the stations ask and sets routes without
/// looking at the line: only the interlocking keeps the trains apart. He gives every commit
/// asked for; at a station that takes orders he gives a train coming in a receive task (a
/// transit when it does not stop there), taking back a send task that cannot go meanwhile,
/// and a send task to a train standing there without a stop of its own;
/// at a station without a duty officer he sets the way in for a train coming in and, when it
/// goes on without a stop, its way out at once, and the way out for a train that stands due,
/// ordering a refused route again on every step.
void Desk(Simulation& sim) {
  const TAreaData& area = sim.AreaData;
  const TDateTime now = sim.State.ClockTime;
  GiveCommits(sim);
  for (int g = 0; g < static_cast<int>(area.GorlStanzs.size()); ++g) {
    const ThroatView v = ThroatViewOf(sim, g);
    if (!v.Valid || v.SelfActing) continue;
    TGorlTaskData& task = sim.State.Gorls[g];
    const int t = ApproachingTrain(sim, v.Entry, v.Arrival);
    if (ThroatRouteBusy(sim, v.LP, v.Entry)) continue;
    if (t < 0) {
      if (task.TASKED == 0 && v.Side >= 0) SendOn(sim, g, v);
      continue;
    }
    if (task.TASKED != 0) {
      if (!task.SEND || task.TRANSIT) continue;
      CancelTask(sim, g);
    }
    const int k = FreeTrack(sim, v.LP, t, v.Entry);
    if (k < 0) continue;
    int q = -1, dir = v.Dir ^ 1;
    const bool through = !TrainStopsAt(sim, v.Code, t) && ThroatOfNextStop(sim, q, dir, v.LP, t) &&
                         dir == (v.Dir ^ 1) && sim.State.Gorls[q].TASKED == 0;
    // As the task dialog writes them.
    task = TGorlTaskData{now, false, through, k, ""};
    if (through) sim.State.Gorls[q] = TGorlTaskData{now, true, true, k, ""};
  }
  for (int lp = 0; lp < area.StationCount; ++lp) {
    if (area.Stanzs[lp].Value2 >= 1) continue;  // a station with a duty officer
    const std::vector<std::pair<int, int>> ends = EndsOf(area, lp);
    for (const auto& [p, e] : ends) {
      const int entry = area.GraphPeregons[p].EndSection[e];
      const int t = ApproachingTrain(sim, entry, e);
      if (t >= 0 && !ThroatRouteBusy(sim, lp, entry)) {
        const int k = FreeTrack(sim, lp, t, entry);
        if (k >= 0) {
          const int s = area.Puts[lp].Tracks[k].Section;
          OrderRoute(sim, lp, RouteBetween(area, lp, entry, s));
          if (!TrainStopsAt(sim, area.Puts[lp].Code, t))
            for (const auto& [p2, e2] : ends)
              if (p2 != p && e2 != e)
                OrderRoute(sim, lp,
                           RouteBetween(area, lp, s, area.GraphPeregons[p2].EndSection[e2]));
        }
      }
      for (const TTrackData& track : area.Puts[lp].Tracks) {
        const int w = TrainOnHalf(sim, track.Section, e ^ 1);
        if (w < 0 || IsMoving(sim, w) ||
            sim.State.Trains[w].ARRIVAL_LP_CODE == area.Puts[lp].Code ||
            sim.State.Trains[w].DEPARTURE_TIME > now + 5 * kMinute)
          continue;
        const int out = RouteBetween(area, lp, track.Section, entry);
        if (!RouteIsPending(sim, lp, out) && !RouteIsSet(sim, lp, out)) OrderRoute(sim, lp, out);
      }
    }
  }
}

/// Who dispatches: the desk above, the automatic dispatcher at every station, or the test
/// itself (it gives the commits asked for and orders the routes it means to).
enum class Dispatcher { Desk, Auto, Test };

/// A run of the line from 09:50: the first train stands at Алая, due at 10:00.
struct LineRun {
  ShippedDistrict Line;
  Simulation& Sim = Line.Sim;
  Dispatcher By;
  int Alaya, Bor, Sady;
  /// Each entry of a train into an LP, in order ("6311 БОР").
  std::vector<std::string> Visits;
  int StepsDone = 0;

  LineRun(Kind b, Kind c, bool mirrored, Dispatcher by, int borMainTrack = 1050)
      : Line(LineText(b, c, mirrored, borMainTrack), 1),
        By(by),
        Alaya(Line.LP("Алая")),
        Bor(Line.LP("Бор")),
        Sady(Line.LP("Сады")) {
    if (By == Dispatcher::Auto) Sim.State.AutoLPs.assign(Sim.AreaData.Puts.size(), true);
    Line.SetClock(950);
    PutOut(FirstNumber(mirrored), Alaya, 0);
  }

  /// Puts the timetable train out on the track of the LP, its timetable taken from its stop
  /// there, released at once.
  int PutOut(int number, int lp, int track) {
    const int i = CreateTimetableTrain(Sim, number);
    const int code = Sim.AreaData.Puts[lp].Code;
    if (Sim.State.Trains[i].CREATION_LP_CODE != code) {
      TTrainData& t = Sim.State.Trains[i];
      const TGraphTrainData* entry = ScheduleEntry(Sim, i);
      for (int k = 0; k < static_cast<int>(entry->Stops.size()); ++k)
        if (entry->Stops[k].LPCode == code) t.SCHEDULE_IDX = k;
      t.NEXT_LP_CODE = t.STOP_LP_CODE = 0;
      EnterLP(Sim, i, code);
      Sim.State.Trains[i].TAIL.LP_CODE = code;
    }
    if (!PutOnTrack(Sim, i, lp, track)) throw std::runtime_error("the train did not fit");
    ReleaseMadeUp(Sim, i);
    return i;
  }
  /// The second train put out at Сады, due at once, on a track no route leads to (one may be
  /// set for the first train).
  int PutOutSecond(int number) {
    const int s = Sim.AreaData.Puts[Sady].Tracks[1].Section;
    const int i = PutOut(number, Sady, ThroatRouteBusy(Sim, Sady, s) ? 0 : 1);
    Sim.State.Trains[i].DEPARTURE_TIME = Sim.State.ClockTime;
    return i;
  }

  void Step() {
    // The test's trains are the only ones: the district's plans sit out the step.
    TCreationPlansData plans;
    std::swap(plans, Sim.AreaData.CreationPlans);
    Line.Steps(1);
    std::swap(plans, Sim.AreaData.CreationPlans);
    if (By == Dispatcher::Desk) Desk(Sim);
    if (By == Dispatcher::Test) GiveCommits(Sim);
    ++StepsDone;
    for (const TTrainData& t : Sim.State.Trains) {
      int& was = lpOf_[t.NUMBER];
      if (t.HEAD.SECT_IDX != 0 && t.HEAD.LP_CODE != 0 && t.HEAD.LP_CODE != was)
        Visits.push_back(std::to_string(t.NUMBER) + " " +
                         Sim.AreaData.LPMnemNames[FindLPIndex(Sim.AreaData, t.HEAD.LP_CODE)]);
      was = t.HEAD.SECT_IDX != 0 ? t.HEAD.LP_CODE : was;
    }
  }
  /// Steps until done() holds; false when `minutes` pass first.
  template <class Done>
  bool RunUntil(int minutes, Done done) {
    for (int n = 0; n < minutes * 120; ++n)
      if (Step(), done()) return true;
    return false;
  }
  bool Visited(const std::string& visit) const {
    return std::find(Visits.begin(), Visits.end(), visit) != Visits.end();
  }
  /// The end section of the peregon between LP lp and LP `towards`, at lp's end.
  int EndTowards(int lp, int towards) const {
    for (const auto& [p, e] : EndsOf(Sim.AreaData, lp))
      if (Sim.AreaData.GraphPeregons[p].LP[e ^ 1] == towards + 1)
        return Sim.AreaData.GraphPeregons[p].EndSection[e];
    return 0;
  }
  /// The routes of LP lp out onto the line towards LP `towards`.
  std::vector<int> ExitsTowards(int lp, int towards) const {
    std::vector<int> exits;
    const int end = EndTowards(lp, towards);
    const std::vector<TTrainRouteData>& routes = Sim.AreaData.TrainRoutes[lp].Routes;
    for (int r = 0; r < static_cast<int>(routes.size()); ++r)
      if (routes[r].LastSection == end) exits.push_back(r);
    return exits;
  }
  /// Some route of Бор out onto the line to Сады is pending or set.
  bool BorExitOrdered() const {
    for (const int r : ExitsTowards(Bor, Sady))
      if (RouteIsPending(Sim, Bor, r) || RouteIsSet(Sim, Bor, r)) return true;
    return false;
  }

 private:
  std::map<int, int> lpOf_;
};

// The collision as it happened, on a line of an asking, a controlled and a self-acting station
// that sends without asking, worked by the automatic dispatcher. 6311 comes from Алая; the
// dispatcher sets its way in at Бор and, 6311 not stopping there, its way out towards Сады.
// A step and a half later 6312 is put out at Сады, due at once, and Сады orders its way out
// towards Бор. Бор's route holds the line, so Сады's waits. But once 6311 had left Бор, its
// route was released behind it and nothing kept Сады's from being set: 6312 set out towards
// 6311, the block signal before 6311 closed as 6312 ran into the block beyond, too late for
// 6311 to stop ("Поезд № 6311 проехал красный сигнал (перед секцией 013h)!", "Перегон занят
// поездами в обоих направлениях!", "Поезд № 6311 столкнулся с поездом № 6312 и сошел на секции
// 014h!"). Now the order is taken back the moment 6311 is on the line towards Сады; Сады
// gives its throat back and takes 6311 in, and 6312 follows once 6311 has cleared the line.
// Сады is left to itself here: a station the dispatcher works asks its leave first (below).
TEST(SingleLineCollision, AWayOutOrderedWhileATrainComesTheOtherWayIsTakenBackAndTheTrainFollows) {
  LineRun run(Kind::Controlled, Kind::SendsUnasked, false, Dispatcher::Auto);
  run.Sim.State.AutoLPs[run.Sady] = false;
  ASSERT_TRUE(run.RunUntil(20, [&] { return run.BorExitOrdered(); }));
  for (int k = 0; k < 3; ++k) run.Step();
  run.PutOutSecond(6312);
  const std::vector<int> exits = run.ExitsTowards(run.Sady, run.Bor);
  const auto sadyExit = [&](bool set) {
    for (const int r : exits)
      if (set ? RouteIsSet(run.Sim, run.Sady, r) : RouteIsPending(run.Sim, run.Sady, r))
        return true;
    return false;
  };
  run.Step();
  EXPECT_TRUE(sadyExit(false)) << "Сады orders its way out for 6312 at once";
  // Сады's order waits while Бор's way out holds the line, and is taken back, never set, once
  // 6311 is on it.
  ASSERT_TRUE(run.RunUntil(10, [&] {
    EXPECT_FALSE(sadyExit(true));
    return run.Sim.State.Trains[0].HEAD.PEREGON_IDX == 1;
  }));
  run.Step();
  EXPECT_FALSE(sadyExit(false) || sadyExit(true));
  run.RunUntil(30, [&] { return run.Visited("6312 БОР"); });
  EXPECT_EQ(run.Visits,
            (Texts{"6311 АЛА", "6312 САД", "6311 БОР", "6311 САД", "6311 ДОЛ", "6312 БОР"}));
  EXPECT_EQ(run.Line.Faults(), Texts{});
}

// The same moment with Сады worked by the automatic dispatcher too: Сады sends without asking
// anyone, but not without the dispatcher's leave, and it gets none while Бор's way out holds
// the line. It orders nothing until 6311 is in, and 6312 follows.
TEST(SingleLineCollision, AStationWorkedByTheDispatcherOrdersNoWayOutWhileTheLineIsHeldForAnother) {
  LineRun run(Kind::Controlled, Kind::SendsUnasked, false, Dispatcher::Auto);
  ASSERT_TRUE(run.RunUntil(20, [&] { return run.BorExitOrdered(); }));
  for (int k = 0; k < 3; ++k) run.Step();
  run.PutOutSecond(6312);
  const std::vector<int> exits = run.ExitsTowards(run.Sady, run.Bor);
  const auto sadyExitOrdered = [&] {
    for (const int r : exits)
      if (RouteIsSet(run.Sim, run.Sady, r) || RouteIsPending(run.Sim, run.Sady, r)) return true;
    return false;
  };
  ASSERT_TRUE(run.RunUntil(10, [&] {
    EXPECT_FALSE(sadyExitOrdered()) << run.StepsDone;
    return run.Visited("6311 САД");
  }));
  run.RunUntil(30, [&] { return run.Visited("6312 БОР"); });
  EXPECT_EQ(run.Visits,
            (Texts{"6311 АЛА", "6312 САД", "6311 БОР", "6311 САД", "6311 ДОЛ", "6312 БОР"}));
  EXPECT_EQ(run.Line.Faults(), Texts{});
}

struct Case {
  Kind B, C;
  bool Mirrored;
  Dispatcher By;
};

/// "ControlledToSendsUnaskedMirroredAuto": Бор's kind, Сады's, the order, the dispatcher.
std::string CaseName(const Case& c) {
  return std::string(KindName(c.B)) + "To" + KindName(c.C) + (c.Mirrored ? "Mirrored" : "") +
         (c.By == Dispatcher::Auto ? "Auto" : "Desk");
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << CaseName(c);
}

class SingleLine : public ::testing::TestWithParam<Case> {};

// The step on which Бор first has a way out towards Сады ordered, the second train not yet
// there.
int TriggerStep(const Case& c) {
  LineRun run(c.B, c.C, c.Mirrored, c.By);
  run.RunUntil(40, [&] { return run.BorExitOrdered(); });
  return run.StepsDone;
}

// The second train is put out at Сады some steps before the step on which Бор orders the
// first one's way out towards Сады, in that step, in each of the steps after, and then every
// few seconds while the first train comes on: in every run one of them takes the line and
// the other follows once it is clear, with no signal passed at danger, no collision, no
// derailment and the line never held both ways.
TEST_P(SingleLine, OneDirectionHoldsTheLineAndTheOtherTrainFollows) {
  const Case c = GetParam();
  const int trigger = TriggerStep(c);
  ASSERT_LT(trigger, 40 * 120) << "Бор never sent the first train on";
  const int first = FirstNumber(c.Mirrored), second = SecondNumber(c.Mirrored);
  std::vector<int> offsets;
  for (int k = -8; k <= 16; ++k) offsets.push_back(k);
  for (int k = 24; k <= 360; k += 24) offsets.push_back(k);
  for (const int k : offsets) {
    SCOPED_TRACE(CaseName(c) + ", the second train put out " + std::to_string(k) +
                 " steps after Бор's order");
    LineRun run(c.B, c.C, c.Mirrored, c.By);
    const bool crossed = run.RunUntil(60, [&] {
      if (run.StepsDone == trigger + k) run.PutOutSecond(second);
      return run.Visited(std::to_string(first) + " САД") &&
             run.Visited(std::to_string(second) + " БОР");
    });
    EXPECT_EQ(run.Line.Faults(), Texts{});
    EXPECT_TRUE(crossed) << ::testing::PrintToString(run.Visits);
    if (HasFailure()) break;
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Kind b : {Kind::Controlled, Kind::Asks, Kind::Acts, Kind::SendsUnasked})
    for (const Kind c : {Kind::SendsUnasked, Kind::Controlled, Kind::Asks, Kind::Acts})
      for (const bool mirrored : {false, true})
        for (const Dispatcher by : {Dispatcher::Desk, Dispatcher::Auto})
          cases.push_back({b, c, mirrored, by});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(StationKinds, SingleLine, ::testing::ValuesIn(AllCases()),
                         [](const auto& param) { return CaseName(param.param); });

// Бор and Сады both send without asking. In the step before Бор would order the first train's
// way out towards Сады, Сады orders one towards Бор for the second train, not set yet (a
// station works one route at a time). Бор sends nothing onto the line meanwhile: a train of
// its there would keep Сады's way out from ever being set, and that way out, waiting, would
// keep Сады from taking the train in. The two trains cross.
TEST(SingleLineOrder, StationSendsNothingOntoALineTheFarEndHasOrderedAWayOutOnto) {
  for (const bool mirrored : {false, true}) {
    SCOPED_TRACE(mirrored ? "mirrored" : "as written");
    const Case c{Kind::SendsUnasked, Kind::SendsUnasked, mirrored, Dispatcher::Desk};
    const int trigger = TriggerStep(c);
    ASSERT_LT(trigger, 40 * 120) << "Бор never sent the first train on";
    LineRun run(c.B, c.C, c.Mirrored, c.By);
    ASSERT_TRUE(run.RunUntil(40, [&] { return run.StepsDone == trigger - 1; }));
    const int second = run.PutOutSecond(SecondNumber(mirrored));
    const int out =
        RouteBetween(run.Sim.AreaData, run.Sady, run.Sim.State.Trains[second].HEAD.SECT_IDX,
                     run.EndTowards(run.Sady, run.Bor));
    ASSERT_GE(out, 0);
    ASSERT_TRUE(OrderRoute(run.Sim, run.Sady, out));
    run.Step();
    EXPECT_FALSE(run.BorExitOrdered());
    const bool crossed = run.RunUntil(60, [&] {
      return run.Visited(std::to_string(FirstNumber(mirrored)) + " САД") &&
             run.Visited(std::to_string(SecondNumber(mirrored)) + " БОР");
    });
    EXPECT_TRUE(crossed) << ::testing::PrintToString(run.Visits);
    EXPECT_EQ(run.Line.Faults(), Texts{});
  }
}

// Approach locking. Both stations without a duty officer; the test is the dispatcher. Бор's
// track I is short (400 m), so that 6311 can come within its braking distance of the
// starting signal at its end before it is on the track. The dispatcher sets the way through
// Бор for 6311 while 6312 stands at Сады, due; then he cancels Бор's way out and orders
// Сады's.
struct ApproachRun {
  LineRun Run{Kind::Controlled, Kind::Controlled, false, Dispatcher::Test, 400};
  Simulation& Sim = Run.Sim;
  int Track = 0, BorExit = -1, SadyExit = -1;
  int Signal = -1;  ///< Бор's starting signal for 6311

  ApproachRun() {
    const TAreaData& area = Sim.AreaData;
    const int entry = Run.EndTowards(Run.Bor, Run.Alaya);
    Run.RunUntil(20, [&] { return ApproachingTrain(Sim, entry, 1) == 0; });
    Track = area.Puts[Run.Bor].Tracks[0].Section;
    OrderRoute(Sim, Run.Bor, RouteBetween(area, Run.Bor, entry, Track));
    BorExit = RouteBetween(area, Run.Bor, Track, Run.EndTowards(Run.Bor, Run.Sady));
    OrderRoute(Sim, Run.Bor, BorExit);
    const int second = Run.PutOutSecond(6312);
    SadyExit = RouteBetween(area, Run.Sady, Sim.State.Trains[second].HEAD.SECT_IDX,
                            Run.EndTowards(Run.Sady, Run.Bor));
    Signal = SectionSemaphore(area, Track, 1);
  }
  /// The metres 6311's head has still to run to the starting signal.
  int ToSignal() {
    const TTrainData& t = Sim.State.Trains[0];
    // 6311 runs odd: its head counts down to the end of its section.
    int metres = static_cast<int>(t.HEAD.SECT_POS);
    for (int s = t.HEAD.SECT_IDX, dir = 1; s != Track;) {
      s = NextSectionAhead(Sim, dir, s);
      if (s == 0) return 1 << 20;
      metres += SectionLength(Sim, s);
    }
    return metres;
  }
  int BrakingNow() {
    return BrakingDistance(Sim.State.Trains[0].SPEED * 3.6, Deceleration(Sim, 0));
  }
};

/// Where 6311 is when the dispatcher cancels Бор's way out, running at full speed.
struct ApproachCase {
  const char* Where;
  /// 6311 has `metres` to run to the signal and needs `braking` to stop; its head is on
  /// Бор's track I (the route's first section) or not.
  bool (*Now)(int metres, int braking, bool onTrack);
  bool Locked;  ///< the cancel is refused
};

constexpr ApproachCase kApproachCases[] = {
    {"within its braking distance, not yet on the track",
     [](int metres, int braking, bool onTrack) { return !onTrack && metres < braking - 100; },
     true},
    {"within its braking distance, on the track",
     [](int metres, int braking, bool onTrack) { return onTrack && metres < braking - 100; }, true},
    {"farther than its braking distance",
     [](int metres, int braking, bool) { return metres > braking + 100; }, false},
};

// A way out that a train can no longer stop before is not released: the cancel is refused,
// the signal stays open, the train runs through and the route is released behind it;
// Сады's way out waits and is taken back as the train comes onto the line. Farther away the
// cancel is carried out: the signal closes, the train stops before it, and Сады's way out is
// set. Before approach locking the release went ahead (or waited, with the train on the
// track, until it ran onto the route: "Поезд на несобранном маршруте").
TEST(ApproachLocking, AWayOutIsNotReleasedUnderATrainThatCanNoLongerStop) {
  for (const ApproachCase& c : kApproachCases) {
    SCOPED_TRACE(c.Where);
    ApproachRun a;
    ASSERT_TRUE(a.Run.RunUntil(10, [&] {
      return RouteIsSet(a.Sim, a.Run.Bor, a.BorExit) &&
             c.Now(a.ToSignal(), a.BrakingNow(), a.Sim.State.Trains[0].HEAD.SECT_IDX == a.Track);
    }));
    ASSERT_FALSE(a.Sim.State.Semaphores[a.Signal].CLOSED);
    ASSERT_TRUE(CancelRoute(a.Sim, a.Run.Bor, a.BorExit));
    ASSERT_TRUE(OrderRoute(a.Sim, a.Run.Sady, a.SadyExit));
    a.Run.Step();
    EXPECT_EQ(RouteIsSet(a.Sim, a.Run.Bor, a.BorExit), c.Locked);
    if (c.Locked) {
      // 6311 runs through; Сады's way out waits, and is taken back as 6311 comes onto the
      // line; Бор's way out is released behind the train.
      ASSERT_TRUE(a.Run.RunUntil(5, [&] {
        EXPECT_FALSE(RouteIsSet(a.Sim, a.Run.Sady, a.SadyExit));
        return a.Sim.State.Trains[0].HEAD.PEREGON_IDX == 1;
      }));
      a.Run.Step();
      EXPECT_FALSE(RouteIsPending(a.Sim, a.Run.Sady, a.SadyExit));
      ASSERT_TRUE(a.Run.RunUntil(5, [&] { return !RouteIsSet(a.Sim, a.Run.Bor, a.BorExit); }));
      EXPECT_FALSE(RouteIsPending(a.Sim, a.Run.Bor, a.BorExit));
    } else {
      // 6311 stops on the track before the closed signal; 6312 sets out towards Бор.
      ASSERT_TRUE(a.Run.RunUntil(10, [&] {
        return a.Sim.State.Trains[1].HEAD.PEREGON_IDX == 1 && a.Sim.State.Trains[0].SPEED == 0;
      }));
      EXPECT_TRUE(a.Sim.State.Semaphores[a.Signal].CLOSED);
      EXPECT_EQ(a.Sim.State.Trains[0].HEAD.SECT_IDX, a.Track);
    }
    EXPECT_EQ(a.Run.Line.Faults(), Texts{});
  }
}

}  // namespace
}  // namespace traklin::test
