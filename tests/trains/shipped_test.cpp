// The shipped districts under the whole simulation step: every route of the demo district set
// and released, timetable trains run alone and for hours, and every timetable train has tracks
// to start and end on.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "state/interlocking.h"
#include "trains/harness.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

using Texts = std::vector<std::string>;
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
  for (int n = 1; n <= limit; ++n) {
    d.Steps(1);
    if (done()) return n;
  }
  return -1;
}

bool SignalLampGreen(const Simulation& sim, int g) {
  const int lamp = sim.AreaData.Semaphores[g].Lamp;
  // A route towards a numbered throat shows on the signal's second lamp.
  for (int l : {lamp, lamp + 1})
    if (l > 0 && l < static_cast<int>(sim.State.Lamps.size()) && sim.State.Lamps[l].GREEN)
      return true;
  return false;
}

// Every controlled-station route, and every chain of the stations with duty officers, is set
// one route of the LP per step and one half at a time, opens its start signal, and is released
// again in as many steps, leaving every lamp as it was and nothing to report.
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
      if (desk) routes.push_back(c);
      for (int k = 0; !desk && k < kMaxChainRoutes && table.Chains[c].Routes[k] >= 0; ++k)
        routes.push_back(table.Chains[c].Routes[k]);
      int halves = 0, steps = 0;
      for (int r : routes)
        halves += NeededHalves(sim, lp, r), steps += NeededHalves(sim, lp, r) + 1;
      const auto all = [&](bool (*query)(const Simulation&, int, int), bool value) {
        for (int r : routes)
          if (query(sim, lp, r) != value) return false;
        return true;
      };
      const LampFlags before = Flags(sim);
      const TTrainRouteData& first = table.Routes[routes[0]];
      if (desk) {
        // The dispatcher reaches the route through its start and end buttons.
        EXPECT_EQ(FindRoute(area, lp, first.StartKind, first.StartPosition, first.EndKind,
                            first.EndPosition),
                  c);
        ASSERT_TRUE(OrderRoute(sim, lp, c));
        ++controlledRoutes;
      } else {
        OrderChain(sim, lp, c);
        ++chains;
      }
      EXPECT_EQ(StepsUntil(demo, 500, [&] { return all(RouteIsSet, true); }), steps);
      EXPECT_EQ(LockedHalves(sim), halves);
      for (int r : routes) {
        const TTrainRouteData& route = table.Routes[r];
        for (int k = 0; k < kMaxRouteSwitches && route.SwitchNumber[k] > 0; ++k) {
          const int w = route.SwitchNumber[k];
          EXPECT_EQ(sim.State.Switches[w], route.SwitchMinus[k]) << "switch " << w;
          std::array<int, 5> lamps{};
          GetSwitchLamps(area, w, route.SwitchMinus[k] != 0, lamps);
          for (int l : lamps)
            EXPECT_TRUE(l <= 0 || (sim.State.Lamps[l].YELLOW && !sim.State.Lamps[l].YELLOW_BLINK))
                << "switch " << w << " lamp " << l;
        }
      }
      const int g =
          SectionSemaphore(area, first.FirstSection, RouteDirection(first) ^ (first.Flags[0] & 1));
      if (desk) {
        ASSERT_GE(g, 0) << "no start signal";
        // An entry signal stands at the peregon end; an exit signal is a station signal.
        const int kind = area.Semaphores[g].Kind;
        if (FindGraphPeregonByEnd(area, first.FirstSection, 0) >= 0 ||
            FindGraphPeregonByEnd(area, first.FirstSection, 1) >= 0)
          EXPECT_EQ(kind, 0);
        else
          EXPECT_TRUE(kind == 1 || kind == 3) << kind;
      }
      demo.Steps(1);  // the signal update of the step that set the route ran before it
      if (g >= 0) {
        EXPECT_GT(sim.State.Semaphores[g].SECT_NEXT, 0);
        EXPECT_FALSE(sim.State.Semaphores[g].CLOSED);
        EXPECT_TRUE(SignalLampGreen(sim, g));
      }
      for (int r : routes) EXPECT_TRUE(CancelRoute(sim, lp, r));
      EXPECT_EQ(StepsUntil(demo, 500, [&] { return all(RouteIsPending, false); }), steps);
      EXPECT_TRUE(all(RouteIsSet, false));
      EXPECT_EQ(LockedHalves(sim), 0);
      demo.Steps(1);
      if (g >= 0) {
        EXPECT_TRUE(sim.State.Semaphores[g].CLOSED);
        EXPECT_EQ(sim.State.Semaphores[g].SECT_NEXT, 0);
        EXPECT_FALSE(SignalLampGreen(sim, g));
      }
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
    const auto& lps = peregons[p].LP;
    const int g = ThroatOnPeregon(d.Sim, at, p + 1);
    if (g >= 0 &&
        ((lps[0] == at + 1 && lps[1] == other + 1) || (lps[1] == at + 1 && lps[0] == other + 1)))
      return g;
  }
  return -1;
}

/// Orders the chain between the first track of LP lp that has one and the throat towards LP
/// `other` (leaving or arriving), and runs until it is set or 200 steps pass; -1 when none.
int OrderTrackChain(ShippedDistrict& d, int lp, int other, bool leaving) {
  const int g = ThroatTowards(d, lp, other);
  if (g < 0) return -1;
  const int entry = d.Sim.AreaData.GorlStanzs[g].EntrySection;
  for (const TTrackData& track : d.Sim.AreaData.Puts[lp].Tracks) {
    const int chain = leaving ? OrderBestChain(d.Sim, lp, track.Section, entry)
                              : OrderBestChain(d.Sim, lp, entry, track.Section);
    if (chain < 0) continue;
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
    const char* First;
    const char* Second;
    bool FirstLeaves;
  };
  for (const Case c : {Case{"Заречье", "Берёзовка", true}, Case{"Берёзовка", "Заречье", true},
                       Case{"Дубки", "Кедровая", true}, Case{"Кедровая", "Дубки", true},
                       Case{"Кедровая", "Дубки", false}}) {
    SCOPED_TRACE(std::string(c.First) + " then " + c.Second);
    ShippedDistrict demo(1);
    const int a = demo.LP(c.First), b = demo.LP(c.Second);
    const int first = OrderTrackChain(demo, a, b, c.FirstLeaves);
    ASSERT_GE(first, 0);
    ASSERT_TRUE(ChainIsSet(demo.Sim, a, first));
    const int second = OrderTrackChain(demo, b, a, true);
    ASSERT_GE(second, 0);
    EXPECT_EQ(ChainIsSet(demo.Sim, b, second), !c.FirstLeaves);
    EXPECT_EQ(ChainIsPending(demo.Sim, b, second), c.FirstLeaves);
    EXPECT_EQ(demo.Console.Notes, Texts{});
  }
  ShippedDistrict demo(1);
  const int flipThroat = ThroatTowards(demo, demo.LP("Кедровая"), demo.LP("Дубки"));
  ASSERT_GE(flipThroat, 0);
  EXPECT_EQ(demo.Sim.AreaData.GorlStanzs[flipThroat].Flip, 1);
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
  for (int n = 0; n < 20000; ++n) {
    dispatcher.Step();
    if (sim.State.Trains.empty()) break;
    const TTrainData& t = sim.State.Trains[0];
    int lp = -1;
    const int s = t.HEAD.SECT_IDX;
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
  for (std::size_t x = 1; x < sim.State.Sects.size(); ++x) {
    const TSectionSchuntData& h = sim.State.Sects[x];
    EXPECT_TRUE(h.TRN_EVEN == -1 && h.TRN_ODD == -1) << "section " << x;
    EXPECT_TRUE(h.ROUTE_EVEN == -1 && h.ROUTE_ODD == -1) << "section " << x;
  }
  for (const auto& routes : sim.State.Routes)
    for (const TRouteControlData& ctl : routes) EXPECT_TRUE(!ctl.SCHUNTED && ctl.TASKED == 0);
  return stops;
}

/// The report time as the station gives it: the minute, a space before one digit, " мин.".
std::string Minutes(TDateTime t) {
  const int m = DecodeTime(t).Minute;
  return (m < 10 ? " " : "") + std::to_string(m) + " мин.";
}

TEST(DemoTrip, PassengerTrainRunsStopsCentredDwellsAndIsDisbandedAtItsDestination) {
  ShippedDistrict demo(1, 5);
  demo.Sim.Settings.NotifiesFromControlled = demo.Sim.Settings.NotifiesFromPosts = true;
  // Train 803 is formed at Заречье at 11:55, made up by 12:00, and leaves at 12:15.
  const std::vector<Stop> stops = RunAlone(demo, 803, 1155);
  const Texts names = {"Заречье", "Берёзовка", "Сосновка", "Озёрная", "Дубки"};
  const std::vector<int> departures = {1215, 1222, 1228, 1237};
  ASSERT_EQ(stops.size(), names.size());
  Texts expected;
  for (std::size_t k = 0; k < names.size(); ++k) {
    SCOPED_TRACE(names[k]);
    EXPECT_EQ(stops[k].LP, demo.LP(names[k]));
    const std::string from = "ДСП " + demo.Sim.AreaData.LPMnemNames[stops[k].LP] + ": ";
    if (k > 0) {
      // Centred, less the 20 m margin every stopping restriction of the braking curve keeps.
      EXPECT_NEAR(stops[k].Short, 20.0, 3.0) << "not centred";
      expected.push_back(from + "Поезд № 803 прибыл в " + Minutes(stops[k].Arrived));
    }
    if (k < departures.size()) {
      const TDateTime planned = std::floor(stops[k].Arrived) + TimeFromHHMM(departures[k]);
      EXPECT_GE(stops[k].Departed, planned);
      EXPECT_GE(stops[k].Departed - stops[k].Arrived, 1.0 / 1440) << "dwelt less than a minute";
      EXPECT_LT(stops[k].Departed - planned, 2.0 / 1440) << "left more than 2 minutes late";
      expected.push_back(from + "Поезд № 803 отправился в " + Minutes(stops[k].Departed));
    }
  }
  Texts shown;
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
  for (const Stop& stop : stops) {
    int keyPoints = 0;
    for (const TTrainPosLogEntry* e : log) keyPoints += e->KEY_POINT && e->SECT_IDX == stop.Section;
    EXPECT_GE(keyPoints, 2) << "LP " << stop.LP;
  }
  EXPECT_EQ(log.back()->SECT_IDX, stops.back().Section);
  EXPECT_TRUE(log.back()->KEY_POINT);
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
    EXPECT_GE(dispatcher.Gone, c.MinGone);
    // No train is left standing for good away from its destination.
    for (const TTrainData& t : district.Sim.State.Trains)
      EXPECT_TRUE(t.HEAD.SECT_IDX <= 0 || t.PLACE_TIME != 0 || t.DEPARTURE_COMMISSION ||
                  t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE)
          << "train " << t.NUMBER;
  }
}

/// Track k of LP lp joins a throat of the LP by a chain of routes, leaving from it or arriving
/// on it. An LP without throats is run from the desk and needs none.
bool JoinedToAThroat(const TAreaData& area, int lp, int k, bool leaving) {
  const int s = area.Puts[lp].Tracks[k].Section;
  bool throats = false;
  for (const TGorlStanzData& g : area.GorlStanzs) {
    if (g.Code != area.Puts[lp].Code || g.EntrySection <= 0) continue;
    throats = true;
    if ((leaving ? FindBestRoute(area, lp, s, g.EntrySection)
                 : FindBestRoute(area, lp, g.EntrySection, s)) >= 0)
      return true;
  }
  return !throats;
}

TEST(ShippedTimetables, EveryTrainHasATrackToBeFormedOnAndOneToEndOn) {
  for (int number : {1, 2}) {
    ShippedDistrict district(number);
    Simulation& sim = district.Sim;
    const TAreaData& area = sim.AreaData;
    Texts faults;
    int checked = 0;
    for (const TCreationPlanData& plan : area.CreationPlans) {
      if (plan.Parent != 0) continue;  // formed from its parent, on the parent's track
      const int i = CreateTimetableTrain(sim, plan.Number);
      const TTrainData& t = sim.State.Trains[i];
      const int first = FindLPIndex(area, t.CREATION_LP_CODE);
      const int last = FindLPIndex(area, t.ARRIVAL_LP_CODE);
      bool formed = false, ends = false;
      for (int k = 0; first >= 0 && k < area.Puts[first].TrackCount; ++k)
        formed |= TrackSuits(sim, first, k, i) && JoinedToAThroat(area, first, k, true) &&
                  area.SlSects[area.Puts[first].Tracks[k].Section].Length >= t.LEN + 2;
      for (int k = 0; last >= 0 && k < area.Puts[last].TrackCount; ++k)
        ends |= TrackSuits(sim, last, k, i) && JoinedToAThroat(area, last, k, false);
      if (!formed)
        faults.push_back("train " + std::to_string(t.NUMBER) + ": no track to be formed on");
      if (!ends) faults.push_back("train " + std::to_string(t.NUMBER) + ": no track to end on");
      sim.State.Trains.pop_back();
      ++checked;
    }
    EXPECT_GT(checked, 10) << "district " << number;
    EXPECT_EQ(faults, Texts{}) << "district " << number;
  }
}

}  // namespace
}  // namespace traklin::test
