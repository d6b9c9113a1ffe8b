// Route generation for LPs with throats: walks from every throat and track to the next
// throat or track of the LP, forking at every facing switch; then the route chains.
#include <algorithm>

#include "area/area_queries.h"
#include "area/district_setup.h"
#include "area/setup_internal.h"

namespace traklin {

using namespace setup_detail;

namespace {

/// Slot limits of the walk: a route under construction takes sections while the next slot
/// is below 42 and switch entries while the next slot is below 19.
constexpr int kSectionSlotLimit = kMaxRouteSections;
constexpr int kSwitchSlotLimit = 19;

class RouteGenerator {
 public:
  RouteGenerator(const TAreaData& area, int lp) : area_(area), lp_(lp) {}

  void FromThroat(int throat) {
    const TGorlStanzData& th = area_.GorlStanzs[throat];
    const int e = th.EntrySection;
    a_ = (th.Parity ^ 1) & 1;
    const int d = (th.Flip ^ a_) & 1;
    Start(e);
    work_.Flags[0] = th.Flip;
    work_.StartLamp = SectionLamp(area_, e, 0);
    int position = a_ == 1 ? 2 : 1;
    if (th.Side == 0 && th.Number > 0) position = 2 - position;
    work_.StartPosition = position;
    work_.StartKind = a_ == 1 ? 1 : 4;
    Step(e, e, d, 1, 1);
  }

  void FromTrack(int track, int a) {
    const int e = area_.Puts[lp_].Tracks[track].Section;
    a_ = a;
    Start(e);
    work_.StartLamp = 0;
    work_.StartPosition = track + 1;
    work_.StartKind = a == 1 ? 2 : 3;
    Step(e, e, a, 1, 1);
  }

  std::vector<TTrainRouteData> routes;
  int switchCount = 0;

 private:
  void Start(int e) {
    work_ = TTrainRouteData{};
    first_ = e;
    work_.FirstSection = e;
  }

  void SetSwitch(int m, int sw, bool minus) {
    work_.Switches[m - 1] = sw + (minus ? area_.SwitchPosBase : 0);
    work_.SwitchNumber[m - 1] = sw;
    work_.SwitchMinus[m - 1] = minus ? 1 : 0;
  }

  // k and m are the 1-based slots of the next section and the next switch entry.
  void Step(int s, int prev, int d, int k, int m) {
    if (k >= kSectionSlotLimit || m >= kSwitchSlotLimit || !IsSection(area_, s)) return;
    const TSlSectData& sec = area_.SlSects[s];
    work_.Sections[k - 1] = s;

    const int trailing = sec.Switch[d ^ 1];
    if (trailing > 0) {
      SetSwitch(m, trailing, sec.Side[d ^ 1] == prev);
      ++m;
    }

    if (k > 1) {
      const int throat = sec.Throat[d ^ 1];
      if (ThroatOfLP(area_, throat, lp_)) {
        EndAtThroat(throat, s, k, m);
        return;
      }
      int lp = lp_;
      const int track = FindTrackOfSection(area_, lp, s, true);
      if (track >= 0) {
        EndAtTrack(track, s, k, m);
        return;
      }
    }

    const int facing = sec.Switch[d];
    if (facing > 0) {
      int sideDir = d;
      const int sideNext = NextSection(area_, sideDir, s, true);
      SetSwitch(m, facing, true);
      Step(sideNext, s, sideDir, k + 1, m + 1);
      int straightDir = d;
      const int straightNext = NextSection(area_, straightDir, s, false);
      SetSwitch(m, facing, false);
      Step(straightNext, s, straightDir, k + 1, m + 1);
    } else {
      int nextDir = d;
      const int next = NextSection(area_, nextDir, s, false);
      Step(next, s, nextDir, k + 1, m);
    }
  }

  void EndAtThroat(int throat, int s, int k, int m) {
    const TGorlStanzData& th = area_.GorlStanzs[throat];
    if (th.Side == -1) return;
    work_.EndLamp = SectionLamp(area_, first_, 0);
    int position = a_ == 1 ? 1 : 2;
    if (th.Side == 0 && th.Number == 0) position = 2 - position;
    work_.EndPosition = position;
    work_.EndKind = a_ == 1 ? 4 : 1;
    work_.LastSection = s;
    work_.Flags[1] = th.Flip;
    Append(k, m);
  }

  void EndAtTrack(int track, int s, int k, int m) {
    if (area_.Puts[lp_].Tracks[track].SignA == -1) return;
    work_.EndLamp = 0;
    work_.EndPosition = track + 1;
    work_.EndKind = a_ == 1 ? 3 : 2;
    work_.LastSection = s;
    work_.Flags[1] = 0;
    Append(k, m);
  }

  void Append(int k, int m) {
    TTrainRouteData route = work_;
    for (int i = m - 1; i < kMaxRouteSwitches; ++i) {
      route.Switches[i] = 0;
      route.SwitchNumber[i] = 0;
      route.SwitchMinus[i] = 0;
    }
    for (int i = k; i < kMaxRouteSections; ++i) route.Sections[i] = 0;
    routes.push_back(route);
    switchCount = std::max(switchCount, m - 1);
  }

  const TAreaData& area_;
  int lp_;
  int a_ = 0;
  int first_ = 0;
  TTrainRouteData work_;
};

class ChainBuilder {
 public:
  ChainBuilder(const TAreaData& area, int lp)
      : area_(area), lp_(lp), routes_(area.TrainRoutes[lp].Routes) {}

  void Search(int start, int dir) {
    dir_ = dir;
    for (int& r : chain_.Routes) r = -1;
    chain_.StartSection = start;
    Continue(start, 1);
  }

  std::vector<TChainData> chains;

 private:
  // Every route from `section` in the search direction becomes route n of the chain.
  void Continue(int section, int n) {
    for (int r = 0; r < static_cast<int>(routes_.size()); ++r) {
      if (routes_[r].FirstSection != section || RouteDirection(routes_[r]) != dir_) continue;
      Reach(r, n);
    }
  }

  void Reach(int r, int n) {
    chain_.Routes[n - 1] = r;
    for (int i = n; i < kMaxChainRoutes; ++i) chain_.Routes[i] = -1;
    const int t = routes_[r].LastSection;
    if (EndsChain(t)) {
      chain_.EndSection = t;
      chains.push_back(chain_);
      return;
    }
    // A chain holds at most six routes: a branch that would need a seventh ends here.
    if (n < kMaxChainRoutes) Continue(t, n + 1);
  }

  bool EndsChain(int t) const {
    if (!IsSection(area_, t)) return false;
    const TSlSectData& sec = area_.SlSects[t];
    const int behind = sec.Throat[dir_ ^ 1];
    if (ThroatOfLP(area_, behind, lp_) && area_.GorlStanzs[behind].Flip == 0) return true;
    const int ahead = sec.Throat[dir_];
    if (ThroatOfLP(area_, ahead, lp_) && area_.GorlStanzs[ahead].Flip == 1) return true;
    int lp = lp_;
    return FindTrackOfSection(area_, lp, t, true) >= 0;
  }

  const TAreaData& area_;
  int lp_;
  const std::vector<TTrainRouteData>& routes_;
  int dir_ = 0;
  TChainData chain_;
};

}  // namespace

std::vector<TChainData> BuildChains(const TAreaData& area, int lp) {
  ChainBuilder builder(area, lp);
  const int code = area.Puts[lp].Code;
  for (const TGorlStanzData& th : area.GorlStanzs) {
    if (th.Code != code || !IsSection(area, th.EntrySection)) continue;
    builder.Search(th.EntrySection, (th.Parity ^ 1) & 1);
  }
  // The chains out of the tracks that only receive come last, as their routes do.
  for (const bool receiveOnly : {false, true})
    for (const TTrackData& track : area.Puts[lp].Tracks) {
      if (!IsSection(area, track.Section) || (track.SignB < 0) != receiveOnly) continue;
      for (int dir = 0; dir < 2; ++dir) builder.Search(track.Section, dir);
    }
  return std::move(builder.chains);
}

void GenerateLPRoutes(TAreaData& area, int lp) {
  RouteGenerator gen(area, lp);
  const TPutData& put = area.Puts[lp];
  for (int t = 0; t < static_cast<int>(area.GorlStanzs.size()); ++t) {
    const TGorlStanzData& th = area.GorlStanzs[t];
    if (th.Code != put.Code || !IsSection(area, th.EntrySection)) continue;
    if (th.Side != 0 && th.Side != -1) continue;
    gen.FromThroat(t);
  }
  for (int i = 0; i < static_cast<int>(put.Tracks.size()); ++i) {
    const TTrackData& track = put.Tracks[i];
    if (track.SignB < 0 || !IsSection(area, track.Section)) continue;
    for (int a = 0; a < 2; ++a) gen.FromTrack(i, a);
  }
  // A track that only receives still needs a way out for the train formed on it from the one
  // that came in (a dependant train). Those routes come after all the others, so that every
  // other route keeps its index (and a save of the layout without them still fits).
  const int regular = static_cast<int>(gen.routes.size());
  for (int i = 0; i < static_cast<int>(put.Tracks.size()); ++i) {
    const TTrackData& track = put.Tracks[i];
    if (track.SignB >= 0 || !IsSection(area, track.Section)) continue;
    for (int a = 0; a < 2; ++a) gen.FromTrack(i, a);
  }

  TLPRoutesData entry;
  entry.Code = put.Code;
  entry.RouteCount = static_cast<int>(gen.routes.size());
  entry.SwitchCount = gen.switchCount;
  entry.ReceiveOnlyExits = entry.RouteCount - regular;
  entry.Routes = std::move(gen.routes);
  area.TrainRoutes[lp] = std::move(entry);
  area.TrainRoutes[lp].Chains = BuildChains(area, lp);
}

}  // namespace traklin
