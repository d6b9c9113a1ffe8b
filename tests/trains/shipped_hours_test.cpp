// Hours of the whole simulation step on the shipped districts: the timetable trains are formed
// at their plan times, and a careful dispatcher sets their routes station by station, never
// sending two trains at each other on a peregon. No crash, collision or derailment may occur.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "area/area_queries.h"
#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/shipped_district.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

constexpr TDateTime kMinute = 1.0 / 1440;

class CarefulDispatcher {
 public:
  explicit CarefulDispatcher(ShippedDistrict& d) : d_(d), sim_(d.Sim), area_(d.Sim.AreaData) {}

  /// Runs `hours` from hh:mm, forming the trains whose plans fall within that time.
  void Run(int fromHHMM, int hours) {
    d_.SetClock(fromHHMM);
    const TDateTime end = sim_.State.ClockTime + hours / 24.0;
    const TDateTime day = std::floor(sim_.State.ClockTime);
    for (const TCreationPlanData& plan : area_.CreationPlans) {
      const TDateTime at = day + TimeFromHHMM(plan.Time);
      if (plan.Parent == 0 && at >= sim_.State.ClockTime && at < end)
        plans_.push_back({at, plan.Number});
    }
    while (sim_.State.ClockTime < end) {
      FormDueTrains();
      UpdateReservations();
      for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i) Serve(i);
      d_.Steps(1);
      for (auto it = alive_.begin(); it != alive_.end();) {
        if (Find(*it) < 0) {
          ++Gone;
          it = alive_.erase(it);
        } else {
          ++it;
        }
      }
    }
  }

  int Planned() const { return static_cast<int>(plans_.size()); }
  int Formed = 0;
  int Gone = 0;  ///< disbanded at their destinations

 private:
  struct PeregonUse {
    int Number;
    bool TowardsB;
    bool Entered;
  };
  struct TrackUse {
    int Number;
    bool Reached;
  };

  int Find(int number) const {
    for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i)
      if (sim_.State.Trains[i].NUMBER == number) return i;
    return -1;
  }

  bool TrackTaken(int lp, int k) const {
    return tracks_.count({lp, k}) > 0 ||
           OccupyingTrain(sim_, area_.Puts[lp].Tracks[k].Section) >= 0;
  }

  bool RouteFree(int lp, int r) const {
    return !RouteIsPending(sim_, lp, r) && !RouteIsSet(sim_, lp, r) &&
           !RouteIsOccupied(sim_, lp, r, false);
  }

  bool ChainFree(int lp, int c) const {
    const TChainData& chain = area_.TrainRoutes[lp].Chains[c];
    for (int k = 0; k < kMaxChainRoutes && chain.Routes[k] >= 0; ++k)
      if (!RouteFree(lp, chain.Routes[k])) return false;
    return true;
  }

  void FormDueTrains() {
    for (auto& [at, number] : plans_) {
      if (number == 0 || at > sim_.State.ClockTime) continue;
      int i = Find(number);
      if (i < 0) {
        i = CreateTimetableTrain(sim_, number);
        alive_.insert(number);
        ++Formed;
      }
      // Put out on a free formation track from which it can leave.
      const TTrainData& t = sim_.State.Trains[i];
      const int lp = FindLPIndex(area_, t.CREATION_LP_CODE);
      const int throat = DepartureThroat(sim_, i, lp);
      for (int k = 0; k < area_.Puts[lp].TrackCount; ++k) {
        const int s = area_.Puts[lp].Tracks[k].Section;
        if (TrackTaken(lp, k) || !TrackSuits(sim_, lp, k, i) || area_.SlSects[s].Length < t.LEN + 2)
          continue;
        if (throat >= 0 && FindBestRoute(area_, lp, s, area_.GorlStanzs[throat].EntrySection) < 0)
          continue;
        ASSERT_TRUE(PutOnTrack(sim_, i, lp, k));
        tracks_[{lp, k}] = {number, false};
        number = 0;
        break;
      }
    }
    for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i)
      if (sim_.State.Trains[i].PLACE_TIME != 0 &&
          sim_.State.Trains[i].PLACE_TIME < sim_.State.ClockTime)
        ReleaseMadeUp(sim_, i);
  }

  void UpdateReservations() {
    for (auto it = peregons_.begin(); it != peregons_.end();) {
      const int i = Find(it->second.Number);
      const bool on = i >= 0 && (sim_.State.Trains[i].HEAD.PEREGON_IDX == it->first ||
                                 sim_.State.Trains[i].TAIL.PEREGON_IDX == it->first);
      if (on) it->second.Entered = true;
      if (i < 0 || (it->second.Entered && !on))
        it = peregons_.erase(it);
      else
        ++it;
    }
    for (auto it = tracks_.begin(); it != tracks_.end();) {
      const int i = Find(it->second.Number);
      const int s = area_.Puts[it->first.first].Tracks[it->first.second].Section;
      const bool on = i >= 0 && (sim_.State.Trains[i].HEAD.SECT_IDX == s ||
                                 sim_.State.Trains[i].TAIL.SECT_IDX == s);
      if (on) it->second.Reached = true;
      if (i < 0 || (it->second.Reached && !on))
        it = tracks_.erase(it);
      else
        ++it;
    }
  }

  bool PeregonFree(int p, bool towardsB) const {
    auto [from, to] = peregons_.equal_range(p);
    for (auto it = from; it != to; ++it)
      if (it->second.TowardsB != towardsB) return false;
    return true;
  }

  /// The way out of lp for train i: the exit chain or route and the peregon it leads onto.
  struct Way {
    int Chain = -1, Route = -1, Peregon = -1;
  };

  Way Departure(int i, int lp) {
    const TTrainData& t = sim_.State.Trains[i];
    Way w;
    if (LPIsControlled(area_, lp)) {
      const auto& routes = area_.TrainRoutes[lp].Routes;
      for (int r = 0; r < static_cast<int>(routes.size()) && w.Route < 0; ++r) {
        if (routes[r].FirstSection != t.HEAD.SECT_IDX || RouteDirection(routes[r]) != t.HEAD.DIR)
          continue;
        const int p = FindGraphPeregonByEnd(area_, routes[r].LastSection, t.HEAD.DIR ^ 1);
        if (p >= 0 && RouteFree(lp, r)) w = {-1, r, p};
      }
      return w;
    }
    const int throat = DepartureThroat(sim_, i, lp);
    if (throat < 0) return w;
    const int c = FindBestRoute(area_, lp, t.HEAD.SECT_IDX, area_.GorlStanzs[throat].EntrySection);
    if (c >= 0 && ChainFree(lp, c)) w = {c, -1, area_.GorlStanzs[throat].Peregon - 1};
    return w;
  }

  /// The way into LP next from graph peregon p onto a free track that suits train i.
  Way Arrival(int i, int next, int p, int dir, int* track) {
    Way w;
    const int throat = ThroatOnPeregon(sim_, next, p + 1);
    const int entry = throat >= 0 ? area_.GorlStanzs[throat].EntrySection
                                  : area_.GraphPeregons[p].EndSection[dir];
    RouteQuality best = InitRouteQuality();
    for (int k = 0; k < area_.Puts[next].TrackCount; ++k) {
      const int s = area_.Puts[next].Tracks[k].Section;
      if (TrackTaken(next, k) || !TrackSuits(sim_, next, k, i)) continue;
      if (LPIsControlled(area_, next)) {
        const auto& routes = area_.TrainRoutes[next].Routes;
        for (int r = 0; r < static_cast<int>(routes.size()) && w.Route < 0; ++r)
          if (routes[r].FirstSection == entry && routes[r].LastSection == s && RouteFree(next, r)) {
            w = {-1, r, p};
            *track = k;
          }
        continue;
      }
      RouteQuality rating;
      const int c = FindBestRoute(area_, next, entry, s, &rating);
      if (c < 0 || !ChainFree(next, c)) continue;
      if (w.Chain < 0 || CompareRouteQuality(best, rating) < 0) {
        w = {c, -1, p};
        best = rating;
        *track = k;
      }
    }
    return w;
  }

  void Order(int lp, const Way& w) {
    if (w.Chain >= 0)
      OrderChain(sim_, lp, w.Chain);
    else
      OrderRoute(sim_, lp, w.Route);
  }

  /// A train on a track of a station that is not its destination gets its way on to the next
  /// station once the peregon is clear of trains coming the other way and a track is free.
  void Serve(int i) {
    const TTrainData& t = sim_.State.Trains[i];
    if (t.PLACE_TIME != 0 || t.HEAD.SECT_IDX <= 0 || t.NEXT_LP_CODE == 0) return;
    if (t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE) return;
    int lp = -1;
    if (FindTrackOfSection(area_, lp, t.HEAD.SECT_IDX, false) < 0) return;
    if (served_.count({t.NUMBER, lp})) return;
    const int next = FindLPIndex(area_, t.NEXT_LP_CODE);
    if (next < 0) return;
    const Way out = Departure(i, lp);
    if (out.Peregon < 0) return;
    const bool towardsB = area_.GraphPeregons[out.Peregon].LP[0] - 1 == lp;
    if (!PeregonFree(out.Peregon, towardsB)) return;
    int track = -1;
    const Way in = Arrival(i, next, out.Peregon, t.HEAD.DIR, &track);
    if (in.Peregon < 0) return;
    Order(lp, out);
    Order(next, in);
    peregons_.insert({out.Peregon, {t.NUMBER, towardsB, false}});
    tracks_[{next, track}] = {t.NUMBER, false};
    served_.insert({t.NUMBER, lp});
  }

  ShippedDistrict& d_;
  Simulation& sim_;
  const TAreaData& area_;
  std::vector<std::pair<TDateTime, int>> plans_;  ///< time, number (0 once put out)
  std::set<int> alive_;
  std::multimap<int, PeregonUse> peregons_;
  std::map<std::pair<int, int>, TrackUse> tracks_;
  std::set<std::pair<int, int>> served_;  ///< (train number, LP) whose way on was set
};

struct HoursCase {
  int District;
  int From;  ///< hhmm
  int Hours;
  int MinGone;
};

class ShippedHours : public ::testing::TestWithParam<HoursCase> {};

TEST_P(ShippedHours, TimetableTrainsRunWithoutCrashCollisionOrDerailment) {
  const HoursCase c = GetParam();
  ShippedDistrict district(c.District, 11);
  CarefulDispatcher dispatcher(district);
  dispatcher.Run(c.From, c.Hours);
  EXPECT_EQ(district.Faults(), std::vector<std::string>{});
  EXPECT_EQ(dispatcher.Formed, dispatcher.Planned());
  EXPECT_GE(dispatcher.Gone, c.MinGone);
  // No train is left standing for good away from its destination.
  for (const TTrainData& t : district.Sim.State.Trains) {
    if (t.HEAD.SECT_IDX > 0 && t.PLACE_TIME == 0) {
      EXPECT_TRUE(t.DEPARTURE_COMMISSION || t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE)
          << "train " << t.NUMBER;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Districts, ShippedHours,
                         ::testing::Values(HoursCase{1, 500, 6, 4}, HoursCase{1, 1500, 6, 4},
                                           HoursCase{2, 500, 4, 5}));

}  // namespace
}  // namespace traklin::test
