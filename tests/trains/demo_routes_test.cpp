// The interlocking on the shipped demo district: every route of the controlled stations and
// every chain of the stations with duty officers is set, opens its signal and is released.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "state/interlocking.h"
#include "trains/shipped_district.h"
#include "trains/station_messages.h"

namespace traklin::test {
namespace {

using LampFlags = std::vector<std::array<bool, 4>>;

LampFlags Flags(const Simulation& sim) {
  LampFlags flags;
  for (const TLampControlData& l : sim.State.Lamps)
    flags.push_back({l.RED, l.YELLOW, l.YELLOW_BLINK, l.GREEN});
  return flags;
}

/// Lamps whose flags differ, as "lamp N" texts.
std::vector<std::string> ChangedLamps(const LampFlags& before, const LampFlags& after) {
  std::vector<std::string> changed;
  for (std::size_t l = 0; l < before.size() && l < after.size(); ++l)
    if (before[l] != after[l]) changed.push_back("lamp " + std::to_string(l));
  return changed;
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

/// The start signal of route r of LP lp: on its first section, facing the route.
int StartSignal(const TAreaData& area, int lp, int r) {
  const TTrainRouteData& route = area.TrainRoutes[lp].Routes[r];
  return SectionSemaphore(area, route.FirstSection, RouteDirection(route) ^ (route.Flags[0] & 1));
}

bool SignalLampGreen(const Simulation& sim, int g) {
  const int lamp = sim.AreaData.Semaphores[g].Lamp;
  // A route towards a numbered throat shows on the signal's second lamp.
  for (int l : {lamp, lamp + 1})
    if (l > 0 && l < static_cast<int>(sim.State.Lamps.size()) && sim.State.Lamps[l].GREEN)
      return true;
  return false;
}

TEST(DemoInterlocking, DistrictHasControlledStationRoutesAndDutyOfficerChains) {
  ShippedDistrict demo(1);
  const TAreaData& area = demo.Sim.AreaData;
  int controlledRoutes = 0;
  int chains = 0;
  for (int lp = 0; lp < area.StationCount; ++lp) {
    if (LPIsControlled(area, lp))
      controlledRoutes += area.TrainRoutes[lp].RouteCount;
    else
      chains += static_cast<int>(area.TrainRoutes[lp].Chains.size());
  }
  EXPECT_EQ(controlledRoutes, 12);
  EXPECT_GT(chains, 20);
}

TEST(DemoInterlocking, EveryControlledStationRouteIsSetOpensItsSignalAndIsReleased) {
  ShippedDistrict demo(1);
  Simulation& sim = demo.Sim;
  const TAreaData& area = sim.AreaData;
  demo.Steps(2);  // block signals settle on the empty line
  for (int lp = 0; lp < area.StationCount; ++lp) {
    if (!LPIsControlled(area, lp)) continue;
    for (int r = 0; r < area.TrainRoutes[lp].RouteCount; ++r) {
      SCOPED_TRACE("LP " + std::to_string(lp) + " route " + std::to_string(r));
      const TTrainRouteData& route = area.TrainRoutes[lp].Routes[r];
      // The dispatcher reaches the route through its start and end buttons.
      EXPECT_EQ(FindRoute(area, lp, route.StartKind, route.StartPosition, route.EndKind,
                          route.EndPosition),
                r);
      const LampFlags before = Flags(sim);
      const int halves = NeededHalves(sim, lp, r);
      ASSERT_GT(halves, 0);

      ASSERT_TRUE(OrderRoute(sim, lp, r));
      EXPECT_EQ(StepsUntil(demo, 200, [&] { return RouteIsSet(sim, lp, r); }), halves + 1);
      EXPECT_EQ(LockedHalves(sim), halves);
      for (int k = 0; k < kMaxRouteSwitches && route.SwitchNumber[k] > 0; ++k) {
        const int w = route.SwitchNumber[k];
        EXPECT_EQ(sim.State.Switches[w], route.SwitchMinus[k]) << "switch " << w;
        std::array<int, 5> lamps{};
        GetSwitchLamps(area, w, route.SwitchMinus[k] != 0, lamps);
        for (int l : lamps) {
          if (l <= 0) continue;
          EXPECT_TRUE(sim.State.Lamps[l].YELLOW) << "switch " << w << " lamp " << l;
          EXPECT_FALSE(sim.State.Lamps[l].YELLOW_BLINK) << "switch " << w << " lamp " << l;
        }
      }

      const int g = StartSignal(area, lp, r);
      ASSERT_GE(g, 0) << "no start signal";
      // An entry signal stands at the peregon end; an exit signal is a station signal.
      const bool atPeregonEnd = FindGraphPeregonByEnd(area, route.FirstSection, 0) >= 0 ||
                                FindGraphPeregonByEnd(area, route.FirstSection, 1) >= 0;
      if (atPeregonEnd)
        EXPECT_EQ(area.Semaphores[g].Kind, 0);
      else
        EXPECT_TRUE(area.Semaphores[g].Kind == 1 || area.Semaphores[g].Kind == 3);
      demo.Steps(1);  // the signal update of the step that set the route ran before it
      EXPECT_GT(sim.State.Semaphores[g].SECT_NEXT, 0);
      EXPECT_FALSE(sim.State.Semaphores[g].CLOSED);
      EXPECT_TRUE(SignalLampGreen(sim, g));

      ASSERT_TRUE(CancelRoute(sim, lp, r));
      EXPECT_EQ(StepsUntil(demo, 200, [&] { return !RouteIsPending(sim, lp, r); }), halves + 1);
      EXPECT_FALSE(RouteIsSet(sim, lp, r));
      EXPECT_EQ(LockedHalves(sim), 0);
      demo.Steps(1);
      EXPECT_TRUE(sim.State.Semaphores[g].CLOSED);
      EXPECT_EQ(sim.State.Semaphores[g].SECT_NEXT, 0);
      EXPECT_FALSE(SignalLampGreen(sim, g));
      EXPECT_EQ(ChangedLamps(before, Flags(sim)), std::vector<std::string>{});
    }
  }
  EXPECT_EQ(demo.Console.Notes, std::vector<std::string>{});
}

TEST(DemoInterlocking, EveryDutyOfficerChainIsSetOpensItsSignalAndIsReleased) {
  ShippedDistrict demo(1);
  Simulation& sim = demo.Sim;
  const TAreaData& area = sim.AreaData;
  demo.Steps(2);
  int tried = 0;
  for (int lp = 0; lp < area.LPCount; ++lp) {
    if (LPIsControlled(area, lp)) continue;
    const auto& chains = area.TrainRoutes[lp].Chains;
    for (int c = 0; c < static_cast<int>(chains.size()); ++c) {
      SCOPED_TRACE("LP " + std::to_string(lp) + " chain " + std::to_string(c));
      int steps = 0;
      int halves = 0;
      for (int k = 0; k < kMaxChainRoutes && chains[c].Routes[k] >= 0; ++k) {
        const int h = NeededHalves(sim, lp, chains[c].Routes[k]);
        halves += h;
        steps += h + 1;
      }
      const LampFlags before = Flags(sim);
      OrderChain(sim, lp, c);
      ASSERT_TRUE(ChainIsPending(sim, lp, c));
      // One route of the LP advances per step, one half at a time.
      EXPECT_EQ(StepsUntil(demo, 500, [&] { return ChainIsSet(sim, lp, c); }), steps);
      EXPECT_EQ(LockedHalves(sim), halves);

      const int first = chains[c].Routes[0];
      const int g = StartSignal(area, lp, first);
      demo.Steps(1);
      if (g >= 0) {
        EXPECT_FALSE(sim.State.Semaphores[g].CLOSED)
            << "signal " << g << " kind " << int(area.Semaphores[g].Kind) << " sect "
            << area.Semaphores[g].Section << " dir " << int(area.Semaphores[g].Direction)
            << " next " << sim.State.Semaphores[g].SECT_NEXT << " chain " << chains[c].StartSection
            << "->" << chains[c].EndSection << " routes " << chains[c].Routes[0] << ","
            << chains[c].Routes[1];
        EXPECT_TRUE(SignalLampGreen(sim, g)) << "signal " << g;
      }

      for (int k = 0; k < kMaxChainRoutes && chains[c].Routes[k] >= 0; ++k)
        EXPECT_TRUE(CancelRoute(sim, lp, chains[c].Routes[k]));
      EXPECT_EQ(StepsUntil(demo, 500, [&] { return !ChainIsPending(sim, lp, c); }), steps);
      EXPECT_EQ(LockedHalves(sim), 0);
      demo.Steps(1);
      if (g >= 0) {
        EXPECT_TRUE(sim.State.Semaphores[g].CLOSED);
      }
      EXPECT_EQ(ChangedLamps(before, Flags(sim)), std::vector<std::string>{});
      ++tried;
    }
  }
  EXPECT_GT(tried, 0);
  EXPECT_EQ(demo.Console.Notes, std::vector<std::string>{});
}

/// The chain of LP lp from its first track that has one to `to`, or from `from` to its first
/// track that has one (to < 0); ordered and run until set or 200 steps. Returns the chain.
int OrderTrackChain(ShippedDistrict& d, int lp, int entry, bool leaving) {
  const TAreaData& area = d.Sim.AreaData;
  for (const TTrackData& track : area.Puts[lp].Tracks) {
    const int chain = leaving ? OrderBestChain(d.Sim, lp, track.Section, entry)
                              : OrderBestChain(d.Sim, lp, entry, track.Section);
    if (chain < 0) continue;
    StepsUntil(d, 200, [&] { return ChainIsSet(d.Sim, lp, chain); });
    return chain;
  }
  return -1;
}

/// The throat of LP `to` on the graph peregon that joins it to LP `from`.
int ThroatTowards(const ShippedDistrict& d, int at, int other) {
  const TAreaData& area = d.Sim.AreaData;
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p) {
    const TGraphPeregonData& gp = area.GraphPeregons[p];
    if ((gp.LP[0] == at + 1 && gp.LP[1] == other + 1) ||
        (gp.LP[1] == at + 1 && gp.LP[0] == other + 1)) {
      const int g = ThroatOnPeregon(d.Sim, at, p + 1);
      if (g >= 0) return g;
    }
  }
  return -1;
}

TEST(DemoInterlocking, DepartureTowardsTheFlipStationIsSetWhileItsEntryRouteIsSet) {
  ShippedDistrict demo(1);
  const int dub = demo.LP("Дубки");
  const int ked = demo.LP("Кедровая");
  const TAreaData& area = demo.Sim.AreaData;
  const int in = ThroatTowards(demo, ked, dub);
  const int out = ThroatTowards(demo, dub, ked);
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  ASSERT_EQ(area.GorlStanzs[in].Flip, 1);
  const int arrival = OrderTrackChain(demo, ked, area.GorlStanzs[in].EntrySection, false);
  ASSERT_GE(arrival, 0);
  ASSERT_TRUE(ChainIsSet(demo.Sim, ked, arrival));
  // Both routes lead the same way, towards Кедровая; the flip only renumbers the direction.
  const int departure = OrderTrackChain(demo, dub, area.GorlStanzs[out].EntrySection, true);
  ASSERT_GE(departure, 0);
  EXPECT_TRUE(ChainIsSet(demo.Sim, dub, departure));
  EXPECT_EQ(demo.Console.Notes, std::vector<std::string>{});
}

struct OpposedPair {
  const char* First;
  const char* Second;
};

class DemoOpposedDepartures : public ::testing::TestWithParam<OpposedPair> {};

TEST_P(DemoOpposedDepartures, SecondDepartureOntoTheSamePeregonStaysPending) {
  ShippedDistrict demo(1);
  const TAreaData& area = demo.Sim.AreaData;
  const int a = demo.LP(GetParam().First);
  const int b = demo.LP(GetParam().Second);
  const int outA = ThroatTowards(demo, a, b);
  const int outB = ThroatTowards(demo, b, a);
  ASSERT_GE(outA, 0);
  ASSERT_GE(outB, 0);
  const int first = OrderTrackChain(demo, a, area.GorlStanzs[outA].EntrySection, true);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(ChainIsSet(demo.Sim, a, first));
  const int second = OrderTrackChain(demo, b, area.GorlStanzs[outB].EntrySection, true);
  ASSERT_GE(second, 0);
  EXPECT_FALSE(ChainIsSet(demo.Sim, b, second));
  EXPECT_TRUE(ChainIsPending(demo.Sim, b, second));
}

// The first peregon of the district (index 0) and the one ending in the parity flip.
INSTANTIATE_TEST_SUITE_P(Peregons, DemoOpposedDepartures,
                         ::testing::Values(OpposedPair{"Заречье", "Берёзовка"},
                                           OpposedPair{"Берёзовка", "Заречье"},
                                           OpposedPair{"Дубки", "Кедровая"},
                                           OpposedPair{"Кедровая", "Дубки"}));

}  // namespace
}  // namespace traklin::test
