// The shipped districts under the whole simulation step: every route of the demo district set
// and released, timetable trains run alone and for hours by a careful dispatcher, and every
// timetable train has tracks to start and end on.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/date_time.h"
#include "area/district_setup.h"
#include "districtgen/district.h"
#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/harness.h"
#include "trains/shipped_district.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

/// The throat of LP lp on graph peregon number p (1-based), or -1.
int ThroatOnPeregon(const Simulation& sim, int lp, int p) {
  const auto& throats = sim.AreaData.GorlStanzs;
  for (int g = 0; g < static_cast<int>(throats.size()); ++g)
    if (throats[g].Code == sim.AreaData.Puts[lp].Code && throats[g].Peregon == p) return g;
  return -1;
}

/// Section halves a route needs: both halves of every inner section, one at each end.
int NeededHalves(const Simulation& sim, int lp, int r) {
  const TTrainRouteData& route = sim.AreaData.TrainRoutes[lp].Routes[r];
  int n = 0;
  while (n < kMaxRouteSections && route.Sections[n] != 0) ++n;
  return n < 2 ? 0 : 2 * n - 2;
}

/// Forms timetable trains at their plan times on free tracks, and sets a train's way on from
/// each station (exit and entry routes or chains) once the peregon is clear of trains coming
/// the other way and a suitable track at the next station is free.
class Dispatcher {
 public:
  /// The dispatcher sets every route himself, so the stations' duty officers stay out of it.
  explicit Dispatcher(ShippedDistrict& d) : d_(d), sim_(d.Sim), area_(d.Sim.AreaData) {
    d.DutyOfficers = false;
  }
  /// Forms the train of plan `number` once the clock reaches `at`.
  void Plan(TDateTime at, int number) { plans_.push_back({at, number}); }
  /// Plans every train whose plan time lies within `hours` from now.
  void PlanHours(int hours) {
    const TDateTime now = sim_.State.ClockTime;
    for (const TCreationPlanData& plan : area_.CreationPlans) {
      const TDateTime at = std::floor(now) + TimeFromHHMM(plan.Time);
      if (plan.Parent == 0 && at >= now && at < now + hours / 24.0) Plan(at, plan.Number);
    }
  }
  /// One simulation step with the dispatcher's work before it.
  void Step() {
    FormDueTrains();
    std::erase_if(holds_, [&](Hold& h) {
      const int i = Find(h.Number);
      if (i < 0) return true;
      const TTrainEndPosData &head = sim_.State.Trains[i].HEAD, &tail = sim_.State.Trains[i].TAIL;
      const bool on = h.Section > 0
                          ? head.SECT_IDX == h.Section || tail.SECT_IDX == h.Section
                          : head.PEREGON_IDX == h.Peregon || tail.PEREGON_IDX == h.Peregon;
      h.Reached |= on;
      return h.Reached && !on;
    });
    for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i) Serve(i);
    // The dispatcher's trains are the only ones: the district's own plans sit out the step.
    TCreationPlansData plans;
    std::swap(plans, sim_.AreaData.CreationPlans);
    d_.Steps(1);
    std::swap(plans, sim_.AreaData.CreationPlans);
  }
  int Planned() const { return static_cast<int>(plans_.size()); }
  /// Trains disbanded so far (the dispatcher's trains are the only ones).
  int Gone() const { return Formed - static_cast<int>(sim_.State.Trains.size()); }
  int Formed = 0;

 private:
  /// A peregon (Section 0) or a track (Peregon -1) held for a train until it has passed.
  struct Hold {
    int Number, Peregon;
    bool TowardsB;
    int Section;
    bool Reached;
  };
  /// A chain of a station with throats or a route of a controlled one.
  struct Way {
    int Chain = -1, Route = -1;
    int Last = 0;  ///< the section it ends on
  };

  int Find(int number) const {
    for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i)
      if (sim_.State.Trains[i].NUMBER == number) return i;
    return -1;
  }
  bool TrackTaken(int s) const {
    return OccupyingTrain(sim_, s) >= 0 ||
           std::any_of(holds_.begin(), holds_.end(), [&](const Hold& h) { return h.Section == s; });
  }
  int DepartureThroat(int i, int lp) const {
    int throat = -1, dir = sim_.State.Trains[i].HEAD.DIR;
    return ThroatOfNextStop(sim_, throat, dir, lp, i) ? throat : -1;
  }
  /// The free way of LP lp from section `from` to `to` (at a controlled station with to 0: to
  /// any peregon end in direction dir); Route and Chain stay -1 when there is none.
  Way Between(int lp, int from, int to, int dir, RouteQuality* rating = nullptr) const {
    const auto free = [&](int r) {
      return !RouteIsPending(sim_, lp, r) && !RouteIsSet(sim_, lp, r) &&
             !RouteIsOccupied(sim_, lp, r, false);
    };
    const auto& table = area_.TrainRoutes[lp];
    if (LPIsControlled(area_, lp)) {
      for (int r = 0; r < table.RouteCount; ++r) {
        const TTrainRouteData& route = table.Routes[r];
        if (route.FirstSection == from && free(r) &&
            (to > 0 ? route.LastSection == to
                    : RouteDirection(route) == dir &&
                          FindGraphPeregonByEnd(area_, route.LastSection, dir ^ 1) >= 0))
          return {-1, r, route.LastSection};
      }
      return {};
    }
    const int c = FindBestRoute(area_, lp, from, to, rating);
    for (int k = 0; c >= 0 && k < kMaxChainRoutes && table.Chains[c].Routes[k] >= 0; ++k)
      if (!free(table.Chains[c].Routes[k])) return {};
    return c >= 0 ? Way{c, -1, to} : Way{};
  }
  void Order(int lp, const Way& w) {
    if (w.Chain >= 0) OrderChain(sim_, lp, w.Chain);
    if (w.Route >= 0) OrderRoute(sim_, lp, w.Route);
  }

  void FormDueTrains() {
    for (Due& due : plans_) {
      if (due.Number == 0 || due.At > sim_.State.ClockTime) continue;
      int i = Find(due.Number);
      if (i < 0) i = CreateTimetableTrain(sim_, due.Number), ++Formed;
      const TTrainData& t = sim_.State.Trains[i];
      if (t.HEAD.SECT_IDX > 0) {  // its station has put it out meanwhile
        holds_.push_back({due.Number, -1, false, t.HEAD.SECT_IDX, false});
        due.Number = 0;
        continue;
      }
      // Put out on a free formation track from which it can leave.
      const int lp = FindLPIndex(area_, t.CREATION_LP_CODE), throat = DepartureThroat(i, lp);
      for (int k = 0; k < area_.Puts[lp].TrackCount && due.Number != 0; ++k) {
        const int s = area_.Puts[lp].Tracks[k].Section;
        if (TrackTaken(s) || !TrackSuits(sim_, lp, k, i) || area_.SlSects[s].Length < t.LEN + 2 ||
            (throat >= 0 && FindBestRoute(area_, lp, s, area_.GorlStanzs[throat].EntrySection) < 0))
          continue;
        if (!PutOnTrack(sim_, i, lp, k)) throw std::runtime_error("the train does not fit");
        holds_.push_back({due.Number, -1, false, s, false});
        due.Number = 0;
      }
    }
    for (int i = 0; i < static_cast<int>(sim_.State.Trains.size()); ++i)
      if (sim_.State.Trains[i].PLACE_TIME != 0 &&
          sim_.State.Trains[i].PLACE_TIME < sim_.State.ClockTime)
        ReleaseMadeUp(sim_, i);
  }

  /// A train on a track of a station that is not its destination gets its way out onto the
  /// peregon and its way in onto the best free track of the next station, once.
  void Serve(int i) {
    const TTrainData& t = sim_.State.Trains[i];
    const int dir = t.HEAD.DIR, next = FindLPIndex(area_, t.NEXT_LP_CODE);
    int lp = -1;
    if (t.PLACE_TIME != 0 || t.HEAD.SECT_IDX <= 0 || next < 0 ||
        t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE ||
        FindTrackOfSection(area_, lp, t.HEAD.SECT_IDX, false) < 0 ||
        std::count(served_.begin(), served_.end(), std::pair{t.NUMBER, lp}) > 0)
      return;
    const int throat = LPIsControlled(area_, lp) ? -1 : DepartureThroat(i, lp);
    if (throat < 0 && !LPIsControlled(area_, lp)) return;
    const Way out =
        Between(lp, t.HEAD.SECT_IDX, throat < 0 ? 0 : area_.GorlStanzs[throat].EntrySection, dir);
    const int p = throat >= 0 ? area_.GorlStanzs[throat].Peregon - 1
                              : FindGraphPeregonByEnd(area_, out.Last, dir ^ 1);
    if ((out.Chain < 0 && out.Route < 0) || p < 0) return;
    const bool towardsB = area_.GraphPeregons[p].LP[0] - 1 == lp;
    for (const Hold& h : holds_)
      if (h.Section == 0 && h.Peregon == p && h.TowardsB != towardsB) return;
    const int g = ThroatOnPeregon(sim_, next, p + 1);
    const int entry =
        g >= 0 ? area_.GorlStanzs[g].EntrySection : area_.GraphPeregons[p].EndSection[dir];
    Way in;
    RouteQuality best = InitRouteQuality(), rating;
    for (int k = 0; k < area_.Puts[next].TrackCount; ++k) {
      const int s = area_.Puts[next].Tracks[k].Section;
      if (TrackTaken(s) || !TrackSuits(sim_, next, k, i) || in.Route >= 0) continue;
      const Way w = Between(next, entry, s, dir, &rating);
      if (w.Route >= 0 || (w.Chain >= 0 && (in.Chain < 0 || CompareRouteQuality(best, rating) < 0)))
        in = w, best = rating;
    }
    if (in.Chain < 0 && in.Route < 0) return;
    Order(lp, out);
    Order(next, in);
    holds_.push_back({t.NUMBER, p, towardsB, 0, false});
    holds_.push_back({t.NUMBER, -1, false, in.Last, false});
    served_.push_back({t.NUMBER, lp});
  }

  struct Due {
    TDateTime At;
    int Number;  ///< 0 once put out
  };
  ShippedDistrict& d_;
  Simulation& sim_;
  const TAreaData& area_;
  std::vector<Due> plans_;
  std::vector<Hold> holds_;
  std::vector<std::pair<int, int>> served_;  ///< (train number, LP) whose way on was set
};

using LampFlags = std::vector<std::array<bool, 4>>;

LampFlags Flags(const Simulation& sim) {
  LampFlags flags;
  for (const TLampControlData& l : sim.State.Lamps)
    flags.push_back({l.RED, l.YELLOW, l.YELLOW_BLINK, l.GREEN});
  return flags;
}

int LockedHalves(const Simulation& sim) {
  int n = 0;
  for (const TSectionSchuntData& x : sim.State.Sects)
    n += (x.ROUTE_EVEN != -1) + (x.ROUTE_ODD != -1);
  return n;
}

/// Steps until done() holds; the number of steps, or -1 after `limit`.
template <class Done>
int StepsUntil(ShippedDistrict& d, int limit, Done done) {
  for (int n = 1; n <= limit; ++n)
    if (d.Steps(1), done()) return n;
  return -1;
}

/// Whether the signal shows green; a route towards a numbered throat shows on its second lamp.
bool SignalLampGreen(const Simulation& sim, int g) {
  const int lamp = sim.AreaData.Semaphores[g].Lamp, n = static_cast<int>(sim.State.Lamps.size());
  for (int l : {lamp, lamp + 1})
    if (l > 0 && l < n && sim.State.Lamps[l].GREEN) return true;
  return false;
}

// Every controlled-station route, and every chain of the stations with duty officers, is set
// one route of the LP per step and one half at a time, throws its switches, opens its start
// signal, and is released again in as many steps, leaving every lamp as it was.
TEST(DemoInterlocking, EveryRouteAndChainIsSetOpensItsSignalAndIsReleased) {
  ShippedDistrict demo(1);
  Simulation& sim = demo.Sim;
  const TAreaData& area = sim.AreaData;
  demo.Steps(2);  // block signals settle on the empty line
  int controlledRoutes = 0, chains = 0;
  for (int lp = 0; lp < area.LPCount; ++lp) {
    const bool desk = LPIsControlled(area, lp);
    const auto& table = area.TrainRoutes[lp];
    const int count = desk ? table.RouteCount : static_cast<int>(table.Chains.size());
    for (int c = 0; c < count; ++c) {
      SCOPED_TRACE("LP " + std::to_string(lp) + (desk ? " route " : " chain ") + std::to_string(c));
      std::vector<int> routes;
      for (int k = 0; k < kMaxChainRoutes && (desk ? k == 0 : table.Chains[c].Routes[k] >= 0); ++k)
        routes.push_back(desk ? c : table.Chains[c].Routes[k]);
      int halves = 0;
      for (int r : routes) halves += NeededHalves(sim, lp, r);
      const int steps = halves + static_cast<int>(routes.size());
      const auto all = [&](bool (*query)(const SimulationData&, int, int), bool value) {
        return std::all_of(routes.begin(), routes.end(),
                           [&](int r) { return query(sim, lp, r) == value; });
      };
      const LampFlags before = Flags(sim);
      const TTrainRouteData& first = table.Routes[routes[0]];
      // The dispatcher reaches a route through its start and end buttons.
      if (desk) {
        EXPECT_EQ(FindRoute(area, lp, first.StartKind, first.StartPosition, first.EndKind,
                            first.EndPosition),
                  c);
        ASSERT_TRUE(OrderRoute(sim, lp, c));
      } else {
        OrderChain(sim, lp, c);
      }
      (desk ? controlledRoutes : chains)++;
      EXPECT_EQ(StepsUntil(demo, 500, [&] { return all(RouteIsSet, true); }), steps);
      EXPECT_EQ(LockedHalves(sim), halves);
      for (int r : routes)
        for (int k = 0; k < kMaxRouteSwitches && table.Routes[r].SwitchNumber[k] > 0; ++k) {
          const int w = table.Routes[r].SwitchNumber[k];
          const bool minus = table.Routes[r].SwitchMinus[k] != 0;
          EXPECT_EQ(sim.State.Switches[w], minus) << "switch " << w;
          std::array<int, 5> lamps{};
          GetSwitchLamps(area, w, minus, lamps);
          for (int l : lamps)
            EXPECT_TRUE(l <= 0 || (sim.State.Lamps[l].YELLOW && !sim.State.Lamps[l].YELLOW_BLINK))
                << "switch " << w << " lamp " << l;
        }
      const int g =
          SectionSemaphore(area, first.FirstSection, RouteDirection(first) ^ (first.Flags[0] & 1));
      // An entry signal stands at the peregon end; an exit signal is a station signal.
      const bool entry = FindGraphPeregonByEnd(area, first.FirstSection, 0) >= 0 ||
                         FindGraphPeregonByEnd(area, first.FirstSection, 1) >= 0;
      const int kind = g >= 0 ? area.Semaphores[g].Kind : -1;
      ASSERT_TRUE(!desk || (entry ? kind == 0 : kind == 1 || kind == 3)) << "start signal " << g;
      demo.Steps(1);  // the signal update of the step that set the route ran before it
      EXPECT_TRUE(g < 0 || (sim.State.Semaphores[g].SECT_NEXT > 0 &&
                            !sim.State.Semaphores[g].CLOSED && SignalLampGreen(sim, g)));
      for (int r : routes) EXPECT_TRUE(CancelRoute(sim, lp, r));
      EXPECT_EQ(StepsUntil(demo, 500, [&] { return all(RouteIsPending, false); }), steps);
      EXPECT_TRUE(all(RouteIsSet, false));
      EXPECT_EQ(LockedHalves(sim), 0);
      demo.Steps(1);
      EXPECT_TRUE(g < 0 || (sim.State.Semaphores[g].SECT_NEXT == 0 &&
                            sim.State.Semaphores[g].CLOSED && !SignalLampGreen(sim, g)));
      const LampFlags after = Flags(sim);
      for (std::size_t l = 0; l < before.size(); ++l)
        EXPECT_EQ(before[l], after[l]) << "lamp " << l;
    }
  }
  EXPECT_EQ(controlledRoutes, 12);
  EXPECT_GT(chains, 20);
  EXPECT_EQ(demo.Console.Notes, Texts{});
}

/// The throat of LP `at` on the graph peregon that joins it to LP `other`, or -1.
int ThroatTowards(const ShippedDistrict& d, int at, int other) {
  const auto& peregons = d.Sim.AreaData.GraphPeregons;
  for (int p = 0; p < static_cast<int>(peregons.size()); ++p) {
    const int g = ThroatOnPeregon(d.Sim, at, p + 1), a = peregons[p].LP[0] - 1,
              b = peregons[p].LP[1] - 1;
    if (g >= 0 && ((a == at && b == other) || (b == at && a == other))) return g;
  }
  return -1;
}

/// Orders the chain between the first track of LP lp that has one and the throat towards LP
/// `other` (leaving or arriving), and runs until it is set or 200 steps pass; -1 when none.
int OrderTrackChain(ShippedDistrict& d, int lp, int other, bool leaving) {
  const int g = ThroatTowards(d, lp, other);
  for (const TTrackData& track : d.Sim.AreaData.Puts[lp].Tracks) {
    const int entry = g < 0 ? 0 : d.Sim.AreaData.GorlStanzs[g].EntrySection;
    const int chain = leaving ? FindBestRoute(d.Sim.AreaData, lp, track.Section, entry)
                              : FindBestRoute(d.Sim.AreaData, lp, entry, track.Section);
    if (g < 0 || chain < 0) continue;
    OrderChain(d.Sim, lp, chain);
    StepsUntil(d, 200, [&] { return ChainIsSet(d.Sim, lp, chain); });
    return chain;
  }
  return -1;
}

// A departure onto a peregon waits while a departure from its other end is set, on the first
// peregon of the district and on the one that ends in the parity flip; a departure towards
// the flip station is set beside an arrival there, since both lead the same way and the flip
// only renumbers the direction.
TEST(DemoInterlocking, DepartureOntoAPeregonWaitsOnlyForATrainComingTheOtherWay) {
  struct Case {
    const char *First, *Second;
    bool FirstLeaves;
  };
  for (const Case c : {Case{"Заречье", "Берёзовка", true}, Case{"Берёзовка", "Заречье", true},
                       Case{"Дубки", "Кедровая", true}, Case{"Кедровая", "Дубки", true},
                       Case{"Кедровая", "Дубки", false}}) {
    SCOPED_TRACE(std::string(c.First) + " then " + c.Second);
    ShippedDistrict demo(1);
    const int a = demo.LP(c.First), b = demo.LP(c.Second);
    const int first = OrderTrackChain(demo, a, b, c.FirstLeaves);
    ASSERT_TRUE(first >= 0 && ChainIsSet(demo.Sim, a, first));
    const int second = OrderTrackChain(demo, b, a, true);
    ASSERT_GE(second, 0);
    EXPECT_EQ(ChainIsSet(demo.Sim, b, second), !c.FirstLeaves);
    EXPECT_EQ(ChainIsPending(demo.Sim, b, second), c.FirstLeaves);
    EXPECT_EQ(demo.Console.Notes, Texts{});
    EXPECT_TRUE(c.FirstLeaves || demo.Sim.AreaData.GorlStanzs[ThroatTowards(demo, a, b)].Flip == 1);
  }
}

// ---------------------------------------------------------------------------
// Timetable trains run by the careful dispatcher

struct Stop {
  int LP, Section;
  TDateTime Arrived, Departed;
  double Short;  ///< metres the head stopped short of the centred position
};

/// Runs timetable train `number` alone from hh:mm, when its plan forms it, until it is
/// disbanded. Checks that nothing was reported as a fault and that nothing stays occupied or
/// locked behind it; returns the stops it made on station tracks.
std::vector<Stop> RunAlone(ShippedDistrict& demo, int number, int hhmm) {
  Simulation& sim = demo.Sim;
  const TAreaData& area = sim.AreaData;
  demo.SetClock(hhmm);
  Dispatcher dispatcher(demo);
  dispatcher.Plan(sim.State.ClockTime, number);
  std::vector<Stop> stops;
  for (int n = 0; n < 20000 && (dispatcher.Step(), !sim.State.Trains.empty()); ++n) {
    const TTrainData& t = sim.State.Trains[0];
    const int s = t.HEAD.SECT_IDX;
    int lp = -1;
    if (t.SPEED == 0 && t.DEPARTURE_TIME != 0 && FindTrackOfSection(area, lp, s, false) >= 0 &&
        (stops.empty() || stops.back().LP != lp)) {
      const int room = RoomToSectionEnd(sim, s, t.HEAD.SECT_POS, t.HEAD.DIR);
      stops.push_back(
          {lp, s, sim.State.ClockTime, 0, room - (area.SlSects[s].Length - t.LEN) / 2.0});
    }
    if (!stops.empty() && stops.back().Departed == 0 && t.SPEED > 0)
      stops.back().Departed = sim.State.ClockTime;
  }
  EXPECT_TRUE(sim.State.Trains.empty()) << "the train is still in the district";
  EXPECT_EQ(demo.Faults(), Texts{});
  for (const TSectionSchuntData& h : sim.State.Sects)
    EXPECT_TRUE(h.TRN_EVEN == -1 && h.TRN_ODD == -1 && h.ROUTE_EVEN == -1 && h.ROUTE_ODD == -1);
  for (const auto& routes : sim.State.Routes)
    for (const TRouteControlData& ctl : routes) EXPECT_TRUE(!ctl.SCHUNTED && ctl.TASKED == 0);
  return stops;
}

TEST(DemoTrip, PassengerTrainRunsStopsCentredDwellsAndIsDisbandedAtItsDestination) {
  ShippedDistrict demo(1, 5);
  demo.Sim.Settings.NotifiesFromControlled = demo.Sim.Settings.NotifiesFromPosts = true;
  // Train 803 is formed at Заречье at 11:55, made up by 12:00, and leaves at 12:15.
  const std::vector<Stop> stops = RunAlone(demo, 803, 1155);
  const Texts names = {"Заречье", "Берёзовка", "Сосновка", "Озёрная", "Дубки"};
  const int departures[] = {1215, 1222, 1228, 1237};
  ASSERT_EQ(stops.size(), names.size());
  Texts expected, shown;
  // The report time as the station gives it: the minute, a space before one digit, " мин.".
  const auto report = [&](std::size_t k, const char* what, TDateTime t) {
    const int m = DecodeTime(t).Minute;
    expected.push_back("ДСП " + demo.Sim.AreaData.LPMnemNames[stops[k].LP] + ": Поезд № 803 " +
                       what + (m < 10 ? " " : "") + std::to_string(m) + " мин.");
  };
  for (std::size_t k = 0; k < names.size(); ++k) {
    SCOPED_TRACE(names[k]);
    EXPECT_EQ(stops[k].LP, demo.LP(names[k]));
    if (k > 0) {
      // Centred, less the 20 m margin every stopping restriction of the braking curve keeps.
      EXPECT_NEAR(stops[k].Short, 20.0, 3.0) << "not centred";
      report(k, "прибыл в ", stops[k].Arrived);
    }
    if (k < names.size() - 1) {
      const TDateTime planned = std::floor(stops[k].Arrived) + TimeFromHHMM(departures[k]);
      EXPECT_GE(stops[k].Departed, planned);
      EXPECT_GE(stops[k].Departed - stops[k].Arrived, 1.0 / 1440) << "dwelt less than a minute";
      EXPECT_LT(stops[k].Departed - planned, 2.0 / 1440) << "left more than 2 minutes late";
      report(k, "отправился в ", stops[k].Departed);
    }
  }
  for (const auto& box : demo.Console.Infos) shown.push_back(box.Caption + ": " + box.Text);
  EXPECT_EQ(shown, expected);
  EXPECT_TRUE(demo.Console.Questions.empty());
  EXPECT_EQ(demo.Console.Notes, Texts{});
  // The position log marks the train's arrival and departure (or disbanding) at every
  // station, in time order, and ends where it was disbanded.
  std::vector<const TTrainPosLogEntry*> log;
  for (const TTrainPosLogEntry& e : demo.Sim.State.PosLog)
    if (e.NUMBER == 803) log.push_back(&e);
  ASSERT_FALSE(log.empty());
  for (std::size_t k = 1; k < log.size(); ++k) EXPECT_LE(log[k - 1]->TS, log[k]->TS);
  for (const Stop& stop : stops)
    EXPECT_GE(std::count_if(log.begin(), log.end(),
                            [&](auto* e) { return e->KEY_POINT && e->SECT_IDX == stop.Section; }),
              2)
        << "LP " << stop.LP;
  EXPECT_TRUE(log.back()->SECT_IDX == stops.back().Section && log.back()->KEY_POINT);
}

TEST(DemoTrip, FreightTrainWithLocoChangeIntoTheFlipStationFreesEveryHalfOfItsRoutes) {
  // Train 2001 runs the whole line, changes its locomotive at Озёрная and ends at Кедровая,
  // whose entry crosses the parity flip.
  ShippedDistrict demo(1, 5);
  const std::vector<Stop> stops = RunAlone(demo, 2001, 510);
  ASSERT_FALSE(stops.empty());
  EXPECT_EQ(stops.back().LP, demo.LP("Кедровая"));
}

TEST(ShippedHours, TimetableTrainsRunWithoutCrashCollisionOrDerailment) {
  struct Case {
    int District, From, Hours, MinGone;
  };
  for (const Case c : {Case{1, 500, 6, 4}, Case{1, 1500, 6, 4}, Case{2, 500, 4, 5}}) {
    SCOPED_TRACE("district " + std::to_string(c.District) + " from " + std::to_string(c.From));
    ShippedDistrict district(c.District, 11);
    district.SetClock(c.From);
    Dispatcher dispatcher(district);
    dispatcher.PlanHours(c.Hours);
    const TDateTime end = district.Sim.State.ClockTime + c.Hours / 24.0;
    while (district.Sim.State.ClockTime < end) dispatcher.Step();
    EXPECT_EQ(district.Faults(), Texts{});
    EXPECT_EQ(dispatcher.Formed, dispatcher.Planned());
    EXPECT_GE(dispatcher.Gone(), c.MinGone);
    // No train is left standing for good away from its destination.
    for (const TTrainData& t : district.Sim.State.Trains)
      EXPECT_TRUE(t.HEAD.SECT_IDX <= 0 || t.PLACE_TIME != 0 || t.DEPARTURE_COMMISSION ||
                  t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE)
          << "train " << t.NUMBER;
  }
}

TEST(ShippedTimetables, EveryTrainHasATrackToBeFormedOnAndOneToEndOn) {
  for (int number : {1, 2}) {
    ShippedDistrict district(number);
    Simulation& sim = district.Sim;
    const TAreaData& area = sim.AreaData;
    // Track k of LP lp suits the train and joins a throat of the LP by a chain of routes,
    // leaving from it or arriving on it; an LP without throats is run from the desk.
    const auto usable = [&](int lp, int k, int i, bool leaving) {
      const int s = area.Puts[lp].Tracks[k].Section;
      bool throats = false, joined = false;
      for (const TGorlStanzData& g : area.GorlStanzs)
        if (g.Code == area.Puts[lp].Code && g.EntrySection > 0)
          throats = true, joined |= (leaving ? FindBestRoute(area, lp, s, g.EntrySection)
                                             : FindBestRoute(area, lp, g.EntrySection, s)) >= 0;
      return TrackSuits(sim, lp, k, i) && (joined || !throats) &&
             (!leaving || area.SlSects[s].Length >= sim.State.Trains[i].LEN + 2);
    };
    Texts faults;
    int checked = 0;
    for (const TCreationPlanData& plan : area.CreationPlans) {
      if (plan.Parent != 0) continue;  // formed from its parent, on the parent's track
      const int i = CreateTimetableTrain(sim, plan.Number);
      for (const bool leaving : {true, false}) {
        const int lp = FindLPIndex(area, leaving ? sim.State.Trains[i].CREATION_LP_CODE
                                                 : sim.State.Trains[i].ARRIVAL_LP_CODE);
        bool found = false;
        for (int k = 0; lp >= 0 && k < area.Puts[lp].TrackCount; ++k)
          found |= usable(lp, k, i, leaving);
        if (!found)
          faults.push_back("train " + std::to_string(plan.Number) +
                           (leaving ? " starts" : " ends") + " on no track");
      }
      sim.State.Trains.pop_back();
      ++checked;
    }
    EXPECT_GT(checked, 10) << "district " << number;
    EXPECT_EQ(faults, Texts{}) << "district " << number;
  }
}

}  // namespace
}  // namespace traklin::test

namespace traklin::test {
namespace {

// The set-up's index answers exactly as the searches do, and a district changed after its
// set-up is searched again instead of read from a stale index.
TEST(AreaIndex, AnswersAsTheSearchesOnTheShippedDistricts) {
  for (int number : {1, 2}) {
    SCOPED_TRACE(number);
    ShippedDistrict d(number);
    const TAreaData& area = d.Sim.AreaData;
    TAreaData plain = area;
    plain.Index = TAreaIndex{};
    for (int g = 0; g < static_cast<int>(area.GorlStanzs.size()); ++g)
      EXPECT_EQ(ThroatLPIndex(area, g), FindLPIndex(area, area.GorlStanzs[g].Code)) << g;
    for (bool freight : {false, true})
      for (int dir = 0; dir < 2; ++dir)
        for (int n = -1; n < 8000; ++n)
          ASSERT_EQ(FindScheduleTrain(area, dir, freight, n),
                    FindScheduleTrain(GetScheduleTrains(area, dir, freight), n))
              << freight << dir << " " << n;
    for (int lp = 0; lp < static_cast<int>(area.TrainRoutes.size()); ++lp)
      for (const TChainData& chain : area.TrainRoutes[lp].Chains) {
        RouteQuality indexed, searched;
        EXPECT_EQ(FindBestRoute(area, lp, chain.StartSection, chain.EndSection, &indexed),
                  FindBestRoute(plain, lp, chain.StartSection, chain.EndSection, &searched));
        EXPECT_EQ(CompareRouteQuality(indexed, searched), 0);
      }
  }
}

TEST(AreaIndex, ADistrictChangedAfterItsSetUpIsSearchedAgain) {
  ShippedDistrict d(2);
  TAreaData& area = d.Sim.AreaData;
  // A later timetable entry with a number of an earlier one: the last entry is the one.
  TGraphTrainsData& trains = area.PassTrains[1];
  ASSERT_FALSE(trains.empty());
  const int number = trains.front().Numbers[0];
  ASSERT_NE(number, 0);
  trains.push_back(trains.front());
  EXPECT_EQ(FindScheduleTrain(area, 1, false, number), static_cast<int>(trains.size()) - 1);
  // A throat moved to another LP's code.
  ASSERT_GE(area.Puts.size(), 2u);
  area.GorlStanzs[0].Code = area.Puts[1].Code;
  EXPECT_EQ(ThroatLPIndex(area, 0), 1);
  // A chain added after the set-up is rated when searched.
  TLPRoutesData& table = area.TrainRoutes[0];
  ASSERT_FALSE(table.Chains.empty());
  TChainData chain = table.Chains.front();
  chain.StartSection = chain.EndSection = -7;
  table.Chains.push_back(chain);
  EXPECT_EQ(FindBestRoute(area, 0, -7, -7), static_cast<int>(table.Chains.size()) - 1);
}

}  // namespace
}  // namespace traklin::test
