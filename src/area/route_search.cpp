// Switch entries of routes, route lookup by buttons and the best chain between two sections.
#include "area/area_queries.h"

#include <algorithm>

namespace traklin {

int RouteEntrySwitch(const TAreaData& area, int entry) {
  if (entry <= 0 || area.SwitchPosBase <= 0) return 0;
  return entry % area.SwitchPosBase;
}

bool RouteEntryIsMinus(const TAreaData& area, int entry) {
  if (entry <= 0 || area.SwitchPosBase <= 0) return false;
  return (entry / area.SwitchPosBase) % 2 == 1;
}

void GetSwitchLamps(const TAreaData& area, int sw, bool minus, std::array<int, 5>& lamps) {
  if (sw < 1 || sw >= static_cast<int>(area.Strels.size())) return;
  const TStrelData& s = area.Strels[sw];
  lamps[0] = s.LampsA[0];
  lamps[1] = s.LampsA[1];
  const int(&position)[3] = minus ? s.MinusLamps : s.PlusLamps;
  for (int i = 0; i < 3; ++i) lamps[2 + i] = position[i];
}

int RouteDirection(const TTrainRouteData& route) {
  return route.StartKind < route.EndKind ? kOdd : kEven;
}

int FindRoute(const TAreaData& area, int lp, int startKind, int startPosition, int endKind,
              int endPosition) {
  if (lp < 0 || lp >= static_cast<int>(area.TrainRoutes.size())) return -1;
  const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
  for (int i = static_cast<int>(routes.size()) - 1; i >= 0; --i) {
    const TTrainRouteData& r = routes[i];
    if (r.StartKind == startKind && r.StartPosition == startPosition && r.EndKind == endKind &&
        r.EndPosition == endPosition) {
      return i;
    }
  }
  return -1;
}

RouteQuality InitRouteQuality() {
  return RouteQuality{0, 255, 255, 255};
}

int CompareRouteQuality(const RouteQuality& first, const RouteQuality& second) {
  if (second.Suitable != first.Suitable) return second.Suitable > first.Suitable ? -1 : 1;
  if (second.Minus != first.Minus) return second.Minus < first.Minus ? -1 : 1;
  if (second.Routes != first.Routes) return second.Routes < first.Routes ? -1 : 1;
  if (second.Switches != first.Switches) return second.Switches < first.Switches ? -1 : 1;
  return 0;
}

namespace {

// A route ending on a kind-5 track suits the chain unless the LP has a kind-5 track of the
// route's own parity and this one is of the other parity.
bool EndsOnSuitableTrack(const TAreaData& area, int lp, const TTrainRouteData& route) {
  int holder = lp;
  const int track = FindTrackOfSection(area, holder, route.LastSection, true);
  if (track < 0) return false;
  const TPutData& put = area.Puts[lp];
  const TTrackData& t = put.Tracks[track];
  if (t.Kind != 5) return false;
  const int dir = RouteDirection(route);
  return !(put.Kind5[dir] != 0 && (t.Number & 1) != dir);
}

}  // namespace

bool RateChain(const TAreaData& area, int lp, const TChainData& chain, RouteQuality& q) {
  const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
  q = RouteQuality{0, 0, 0, 0};
  for (int k = 0; k < kMaxChainRoutes && chain.Routes[k] >= 0; ++k) {
    if (chain.Routes[k] >= static_cast<int>(routes.size())) return false;
    const TTrainRouteData& route = routes[chain.Routes[k]];
    ++q.Routes;
    if (k > 0 && EndsOnSuitableTrack(area, lp, route)) ++q.Suitable;
    for (int s = 0; s < kMaxRouteSwitches; ++s) {
      if (route.SwitchNumber[s] <= 0) continue;
      ++q.Switches;
      if (route.SwitchMinus[s] != 0) ++q.Minus;
    }
  }
  return q.Routes > 0;
}

int FindBestRoute(const TAreaData& area, int lp, int from, int to, RouteQuality* rating) {
  // The set-up's table answers while it was made for these LPs and chains.
  const TAreaIndex& index = area.Index;
  if (rating == nullptr && lp >= 0 && index.BestChains.size() == area.TrainRoutes.size() &&
      lp < static_cast<int>(index.BestChains.size()) &&
      index.ChainRatings.size() == area.TrainRoutes.size() &&
      index.ChainRatings[lp].size() == area.TrainRoutes[lp].Chains.size()) {
    const std::vector<TBestChainData>& table = index.BestChains[lp];
    const TBestChainData key{from, to, -1};
    const auto it = std::lower_bound(table.begin(), table.end(), key);
    return it != table.end() && !(key < *it) ? it->Chain : -1;
  }
  RouteQuality best = InitRouteQuality();
  int bestChain = -1;
  if (lp >= 0 && lp < static_cast<int>(area.TrainRoutes.size())) {
    const std::vector<TChainData>& chains = area.TrainRoutes[lp].Chains;
    // The ratings are static: the set-up's index has them unless the district changed since.
    const auto& ratings = area.Index.ChainRatings;
    const TChainRatingData* rated =
        ratings.size() == area.TrainRoutes.size() && ratings[lp].size() == chains.size()
            ? ratings[lp].data()
            : nullptr;
    for (int i = 0; i < static_cast<int>(chains.size()); ++i) {
      if (chains[i].StartSection != from || chains[i].EndSection != to) continue;
      RouteQuality q;
      if (rated != nullptr) {
        if (!rated[i].Valid) continue;
        q = RouteQuality{rated[i].Suitable, rated[i].Minus, rated[i].Routes, rated[i].Switches};
      } else if (!RateChain(area, lp, chains[i], q)) {
        continue;
      }
      if (CompareRouteQuality(best, q) < 0) {
        best = q;
        bestChain = i;
      }
    }
  }
  if (rating != nullptr) *rating = best;
  return bestChain;
}

}  // namespace traklin
