// Small lines for the automatic dispatcher, and a run that writes down every operation it issues.
#pragma once

#include <fmt/format.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/auto_dispatcher.h"
#include "simulation/headless_run.h"
#include "state/interlocking.h"
#include "trains/shipped_district.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {

/// A line generated from its description with every station automated, run a step at a time.
/// Around the dispatcher's pass of each step the run compares the route orders, the departure
/// commits and the throat tasks, so that Operations holds exactly what the dispatcher did, in
/// order, one line each, the clock and the station's short name first:
///   "10:04:30.0 РАЗ route ЛЕС -> 3 (802)"    a route ordered at a station without duty
///                                           officer: from the line to ЛЕС onto track 3,
///                                           for train 802
///   "10:09:00.5 РАЗ route 3 -> ЛЕС (802)"    the way out of track 3 onto the line to ЛЕС
///   "10:00:30.5 ЛЕС commit odd (801)"        a departure commit, for the train it lets go
///   "10:02:00.0 ЛЕС commit odd taken"        a commit taken back
///   "10:06:00.0 ГОР receive БЕР -> 2 (801)"  a receive task through the throat towards БЕР
///   "10:06:00.0 ГОР send I -> БЕР (802)"     a send task
///   "10:06:00.0 БЕР transit ЛЕС -> I -> ГОР (801)"  a receive and send pair
///   "10:07:00.0 ГОР cancel send I -> БЕР"    a task cancelled
struct AutoLine {
  ShippedDistrict Line;
  Simulation& Sim = Line.Sim;
  std::vector<std::string> Operations;
  /// The operations that let a train out towards one coming the other way on the line ahead.
  std::vector<std::string> Against;
  /// Each entry of a train into an LP, in order ("801 РАЗ").
  std::vector<std::string> Visits;
  /// The trains removed, in order, each with the short name of the LP it stood at ("801 ГОР").
  std::vector<std::string> Removed;

  AutoLine(std::string_view description, int hhmm, unsigned seed = 1) : Line(description, seed) {
    Sim.State.AutoLPs.assign(Sim.AreaData.Puts.size(), true);
    Sim.OnTrainRemoving = [this](int i) {
      const TTrainData& t = Sim.State.Trains[i];
      const int lp = FindLPIndex(Sim.AreaData, t.HEAD.LP_CODE);
      Removed.push_back(std::to_string(t.NUMBER) + " " + Name(lp));
    };
    Line.SetClock(hhmm);
  }
  AutoLine(const AutoLine&) = delete;
  AutoLine& operator=(const AutoLine&) = delete;

  /// Today at hhmm.
  TDateTime At(int hhmm) const { return std::floor(Sim.State.ClockTime) + TimeFromHHMM(hhmm); }

  /// The LP index of a station by its short name.
  int LP(std::string_view mnem) const {
    for (int lp = 0; lp < static_cast<int>(Sim.AreaData.Puts.size()); ++lp)
      if (LPName(Sim.AreaData, lp) == mnem) return lp;
    throw std::runtime_error("no station " + std::string(mnem));
  }
  /// The index of the train of that number, -1 when there is none.
  int Train(int number) const {
    const TTrainsData& trains = Sim.State.Trains;
    for (int i = 0; i < static_cast<int>(trains.size()); ++i)
      if (trains[i].NUMBER == number) return i;
    return -1;
  }
  /// The short name of the LP where the train's head is, empty on a peregon or outside.
  std::string Where(int number) const {
    const int i = Train(number);
    if (i < 0 || Sim.State.Trains[i].HEAD.SECT_IDX == 0) return "";
    const int lp = FindLPIndex(Sim.AreaData, Sim.State.Trains[i].HEAD.LP_CODE);
    return lp >= 0 ? LPName(Sim.AreaData, lp) : "";
  }

  /// Creates the timetable train of that number, as its creation plan would, and puts it out
  /// on track `track` of the station, released at once.
  int PutOut(int number, std::string_view mnem, int track) {
    const int i = CreateTimetableTrain(Sim, number);
    if (!PutOnTrack(Sim, i, LP(mnem), track)) throw std::runtime_error("the train did not fit");
    ReleaseMadeUp(Sim, i);
    return i;
  }

  /// One step, its passes in their fixed order, noting the dispatcher's operations and the
  /// trains' entries into LPs.
  void Step() {
    const Simulation::AutoHooks hooks(Sim);
    for (const Simulation::StepPass& pass : Simulation::StepOrder()) {
      if (std::string_view(pass.Name) != "AutoDispatcher") {
        pass.Run(Sim, kStepLength);
        continue;
      }
      const TRoutesControlData routes = Sim.State.Routes;
      const TDepartCommitsData commits = Sim.State.DepartCommits;
      const TGorlTasksData tasks = Sim.State.Gorls;
      pass.Run(Sim, kStepLength);
      Compare(routes, commits, tasks);
    }
    for (const TTrainData& t : Sim.State.Trains) {
      int& was = lpOf_[t.NUMBER];
      if (t.HEAD.SECT_IDX != 0 && t.HEAD.LP_CODE != 0 && t.HEAD.LP_CODE != was)
        Visits.push_back(std::to_string(t.NUMBER) + " " +
                         Name(FindLPIndex(Sim.AreaData, t.HEAD.LP_CODE)));
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
  void RunFor(int minutes) {
    RunUntil(minutes, [] { return false; });
  }

 private:
  std::map<int, int> lpOf_;  ///< the LP code each train's head was last seen at

  std::string Now() const { return FormatEventTime(Sim.State.ClockTime).substr(11, 10); }
  std::string Name(int lp) const { return lp >= 0 ? LPName(Sim.AreaData, lp) : "?"; }
  std::string Number(int t) const {
    return t >= 0 ? std::to_string(Sim.State.Trains[t].NUMBER) : "?";
  }
  std::string TrackName(int lp, int k) const {
    const auto& tracks = Sim.AreaData.Puts[lp].Tracks;
    return k >= 0 && k < static_cast<int>(tracks.size()) ? FormatTrackName(tracks[k].Number) : "?";
  }
  int TrackOfSection(int lp, int s) const {
    const auto& tracks = Sim.AreaData.Puts[lp].Tracks;
    for (int k = 0; k < static_cast<int>(tracks.size()); ++k)
      if (tracks[k].Section == s) return k;
    return -1;
  }
  /// The LP at the other end of graph peregon p from LP lp.
  int Beyond(int p, int lp) const {
    if (p < 0 || p >= static_cast<int>(Sim.AreaData.GraphPeregons.size())) return -1;
    const TGraphPeregonData& per = Sim.AreaData.GraphPeregons[p];
    return (per.LP[0] - 1 == lp ? per.LP[1] : per.LP[0]) - 1;
  }
  /// A route's end at LP lp: its track, or the LP beyond the peregon that ends at section s
  /// (with the direction a train coming in there runs in).
  std::string End(int lp, int s, int* arrival = nullptr) const {
    const int k = TrackOfSection(lp, s);
    if (k >= 0) return TrackName(lp, k);
    const TGraphPeregonsData& peregons = Sim.AreaData.GraphPeregons;
    for (int p = 0; p < static_cast<int>(peregons.size()); ++p)
      for (int e = 0; e < 2; ++e)
        if (peregons[p].LP[e] - 1 == lp && peregons[p].EndSection[e] == s) {
          if (arrival != nullptr) *arrival = e;
          return Name(Beyond(p, lp));
        }
    return "s" + std::to_string(s);
  }
  /// The train a route is for: the one that leaves its track, else the one coming in from the
  /// peregon.
  int RouteTrain(int lp, const TTrainRouteData& route) const {
    int arrival = -1;
    if (TrackOfSection(lp, route.FirstSection) >= 0) {
      End(lp, route.LastSection, &arrival);
      return arrival >= 0 ? TrainForTrack(Sim, lp, route.FirstSection, arrival ^ 1) : -1;
    }
    End(lp, route.FirstSection, &arrival);
    return arrival >= 0 ? ApproachingTrain(Sim, route.FirstSection, arrival) : -1;
  }
  /// A train on the peregon that ends at section s of LP lp comes towards the LP.
  bool TrainComesIn(int lp, int s) const {
    const TGraphPeregonsData& peregons = Sim.AreaData.GraphPeregons;
    for (int p = 0; p < static_cast<int>(peregons.size()); ++p)
      for (int e = 0; e < 2; ++e)
        if (peregons[p].LP[e] - 1 == lp && peregons[p].EndSection[e] == s &&
            PeregonOccupiedDirections(Sim, p)[e])
          return true;
    return false;
  }
  std::string Task(int g, const TGorlTaskData& task, int* train) const {
    const TGorlStanzData& throat = Sim.AreaData.GorlStanzs[g];
    const int lp = FindLPIndex(Sim.AreaData, throat.Code);
    const std::string far = Name(Beyond(throat.Peregon - 1, lp));
    const std::string track = TrackName(lp, task.TRACK);
    const int s = TrackSection(Sim.AreaData, lp, task.TRACK);
    if (task.SEND) {
      *train = s != 0 ? TrainForTrack(Sim, lp, s, throat.Parity) : -1;
      return "send " + track + " -> " + far;
    }
    const int arrival = ThroatViewOf(Sim, g).Arrival;
    *train = ApproachingTrain(Sim, throat.EntrySection, arrival);
    return "receive " + far + " -> " + track;
  }

  void Compare(const TRoutesControlData& routes, const TDepartCommitsData& commits,
               const TGorlTasksData& tasks) {
    const TAreaData& area = Sim.AreaData;
    for (int lp = 0; lp < static_cast<int>(routes.size()); ++lp)
      for (int r = 0; r < static_cast<int>(routes[lp].size()); ++r) {
        const TRouteControlData &was = routes[lp][r], &is = Sim.State.Routes[lp][r];
        if (was.TASKED != 0 || is.TASKED == 0) continue;
        const TTrainRouteData& route = area.TrainRoutes[lp].Routes[r];
        Operations.push_back(fmt::format("{} {} {} {} -> {} ({})", Now(), Name(lp),
                                         is.SCHUNTED ? "cancel route" : "route",
                                         End(lp, route.FirstSection), End(lp, route.LastSection),
                                         Number(RouteTrain(lp, route))));
        if (!is.SCHUNTED && TrainComesIn(lp, route.LastSection))
          Against.push_back(Operations.back());
      }
    for (int lp = 0; lp < static_cast<int>(commits.size()); ++lp)
      for (const int dir : {0, 1}) {
        const bool was = (dir ? commits[lp].ODD : commits[lp].EVEN) != 0;
        const TDepartCommitData& c = Sim.State.DepartCommits[lp];
        const bool is = (dir ? c.ODD : c.EVEN) != 0;
        if (was == is) continue;
        std::string text = fmt::format("{} {} commit {}", Now(), Name(lp), dir ? "odd" : "even");
        if (!is) {
          Operations.push_back(text + " taken");
          continue;
        }
        // The train it lets go: the one of the send task through a throat of that direction.
        int t = -1;
        bool against = false;
        for (int g = 0; g < static_cast<int>(Sim.State.Gorls.size()); ++g) {
          const TGorlTaskData& task = Sim.State.Gorls[g];
          if (area.GorlStanzs[g].Parity != dir || FindLPIndex(area, area.GorlStanzs[g].Code) != lp)
            continue;
          const ThroatView v = ThroatViewOf(Sim, g);
          against = against || (v.Valid && PeregonOccupiedDirections(Sim, v.Peregon)[v.Arrival]);
          if (task.TASKED != 0 && task.SEND) Task(g, task, &t);
        }
        Operations.push_back(text + " (" + Number(t) + ")");
        if (against) Against.push_back(Operations.back());
      }
    for (int g = 0; g < static_cast<int>(tasks.size()); ++g) {
      const TGorlTaskData &was = tasks[g], &is = Sim.State.Gorls[g];
      const std::string station = Name(FindLPIndex(area, area.GorlStanzs[g].Code));
      int t = -1;
      if (was.TASKED != 0 && is.TASKED == 0) {
        Operations.push_back(Now() + " " + station + " cancel " + Task(g, was, &t));
        continue;
      }
      // The send half of a transit is told with its receive half.
      if (was.TASKED != 0 || is.TASKED == 0 || (is.TRANSIT && is.SEND)) continue;
      std::string text = Task(g, is, &t);
      if (is.TRANSIT) {
        std::string out = "?";
        for (int h = 0; h < static_cast<int>(tasks.size()); ++h) {
          const TGorlTaskData& other = Sim.State.Gorls[h];
          if (tasks[h].TASKED == 0 && other.TASKED != 0 && other.SEND && other.TRANSIT &&
              other.TRACK == is.TRACK && area.GorlStanzs[h].Code == area.GorlStanzs[g].Code)
            out = Name(
                Beyond(area.GorlStanzs[h].Peregon - 1, FindLPIndex(area, area.GorlStanzs[h].Code)));
        }
        text = "transit " + text.substr(8) + " -> " + out;  // "receive " gives way
      }
      Operations.push_back(Now() + " " + station + " " + text + " (" + Number(t) + ")");
    }
  }
};

}  // namespace traklin::test
