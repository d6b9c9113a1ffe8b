// The automatic dispatcher's safety check: the line's occupancy, and trains moved one at a time.
#include "dispatch/safety_check.h"

#include <algorithm>
#include <array>
#include <bit>
#include <tuple>
#include <unordered_map>

#include "area/area_queries.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

/// Tracks of an LP beyond this many are left out of the check.
constexpr int kMaxTracks = 64;

/// A link passed towards its end `End` (0 or 1).
struct Hop {
  int Link = -1;
  int End = 0;
};

/// An LP on a train's way: the links that lead there and the tracks that take the train
/// (suit it, are reached from the link it comes by and lead on to the link it leaves by).
struct Step {
  int LP = -1;
  std::vector<Hop> Hops;
  std::uint64_t Mask = 0;
};

/// Where the check found a train.
enum class Place : std::uint8_t { Track, Line, Outside };

struct Seen {
  int Train = -1;
  Place Where = Place::Track;
  int LP = -1;            ///< the LP it stands at, runs to, or waits outside of
  int Track = -1;         ///< on Place::Track; on Place::Line the track it was given to come in on
  int Link = -1;          ///< on Place::Line: the link, -1 when inside the station already
  int End = 0;            ///< on Place::Line: the end of the link it runs to
  bool Entering = false;  ///< on Place::Line: its head is in the station already
  int Claim = -1;         ///< the link a station will let it go on by itself, without asking
};

/// A train as the check moves it: its way, fixed for one check.
struct Runner {
  int Train = -1;
  std::vector<Step> Steps;
  bool Finishes = false;  ///< its way ends where the train ends
  bool OnLine = false;    ///< it started on a link (it waits there until it has a track)
  bool Passenger = false;
  bool Bound = false;  ///< its track at its first step was given to it: it keeps that one
  /// A train that a station will let go on by itself holds a track at the next LP as well:
  /// its claim, a runner of its own that never moves and is dropped when the train moves on.
  int Claim = -1;
  int Owner = -1;  ///< of a claim: the runner it is for
};

/// Where a runner is: standing at Steps[At] on Track, or (At -1) before its first step.
struct Pos {
  std::int16_t At = -1;
  std::int8_t Track = -1;
  bool Gone = false;
};

struct State {
  std::vector<std::uint64_t> Free;                   ///< per LP: tracks free
  std::vector<std::array<std::int16_t, 2>> Waiting;  ///< per link: trains waiting towards an end
  std::vector<Pos> At;                               ///< per runner
  int Left = 0;
};

std::uint64_t Bit(int k) {
  return std::uint64_t{1} << k;
}

}  // namespace

struct SafetyCheck::Impl {
  // The district, derived once.
  std::array<const void*, 4> Source{};
  std::array<std::size_t, 4> SourceSizes{};
  bool Built = false;
  struct Link {
    std::array<int, 2> LP{-1, -1};
    bool Double = false;
  };
  std::vector<Link> Links;
  std::vector<int> LinkOfPeregon;            ///< per graph peregon
  std::vector<std::vector<int>> PeregonsOf;  ///< per link: its graph peregons
  /// Per single link, per end: a train runs on it towards that end (as last observed).
  std::vector<std::array<bool, 2>> Coming;
  std::vector<std::vector<int>> LinksAt;  ///< per LP: its links (local index = position)
  std::vector<std::vector<std::uint32_t>>
      In;  ///< per LP, per track: local links it is reached from
  std::vector<std::vector<std::uint32_t>> Out;  ///< per LP, per track: local links it leads to
  std::vector<std::uint64_t> AllTracks;         ///< per LP
  std::vector<std::vector<int>> NextLink;       ///< [to][from]: first link of a shortest way
  std::vector<int> SectionLP, SectionTrack;     ///< per section: the LP and track it is, or -1
  std::vector<std::vector<int>> RoutesFrom;     ///< per section: routes of its LP starting there
  std::vector<std::vector<int>> RoutesTo;       ///< per section: routes of its LP ending there
  std::vector<std::vector<int>> Starting;       ///< per section: routes of any LP starting there
  std::vector<int> ExitLink;                    ///< per section: the link it begins at its LP
  /// Per LP: the ways out onto a link (routes ending where a link begins), with the link.
  std::vector<std::vector<std::pair<int, int>>> ExitRoutes;
  std::vector<std::vector<int>> Throats;  ///< per LP: its throats
  /// Per LP: it has no duty officer; it asks the dispatcher; it acts by itself (and chooses
  /// the train it sends itself); it sends without asking.
  std::vector<char> Controlled, Asks, Chooses, SendsFreely;
  /// The way out of a track through a throat, by throat and track section, as found so far.
  std::unordered_map<std::uint64_t, int> Chains;

  // The line as last seen (Raw_: before what the stations will do by themselves), and what the
  // check found for it.
  std::vector<Seen> Seen_, Raw_;
  std::vector<Runner> Runners;
  std::vector<int> RunnerOf;  ///< per train index: its runner, or -1
  State Base;
  int BaseLeft = 0;
  bool BaseMade = false;
  bool Stale = true;  ///< the line must be observed again before the next answer
  std::unordered_map<std::uint64_t, bool> Verdicts;

  void Derive(const SimulationData& sim);
  int LocalLink(int lp, int link) const {
    const std::vector<int>& at = LinksAt[lp];
    for (int j = 0; j < static_cast<int>(at.size()); ++j)
      if (at[j] == link) return j;
    return -1;
  }
  std::vector<struct Seen> Observe(SimulationData& sim);
  bool Comes(int link, int lp) const;
  void Leave(struct Seen& x, int link, int lp) const;
  void ClaimBeyond(const SimulationData& sim, struct Seen& x) const;
  void Build(const SimulationData& sim, std::vector<struct Seen> seen);
  std::vector<struct Seen> Refine(const SimulationData& sim, std::vector<struct Seen> seen) const;
  bool PassesOn(const SimulationData& sim, int t, int lp, int link) const;
  void Make(SimulationData& sim, std::vector<struct Seen> seen);
  std::uint64_t TrackMask(const SimulationData& sim, int t, int lp, int in, int out) const;
  Runner Way(const SimulationData& sim, int t, int lp, int in, int inEnd) const;
  bool Place(State& s, int r) const;
  bool Seat(State& s, int r, int lp, std::array<int, kMaxTracks>& holder,
            std::uint64_t& tried) const;

  // The moves of the check.
  bool Blocked(const State& s, const Step& st) const;
  bool Judge(SimulationData& sim, const SafetyMove& move);
  bool Behind(const State& s, int r) const;
  void Release(State& s, int r) const;
  bool Finish(State& s, int r) const;
  void FinishAll(State& s) const;
  void Drop(State& s, int r) const;
  void AddClaim(State& s, int r, int link, bool seat = true);
  bool Moves(State& s, int r) const;
  int Solve(const State& s) const;
};

namespace {

template <class T>
const void* DataOf(const std::vector<T>& v) {
  return v.data();
}

/// The first route of the LP from section `from` to section `to`; -1 when none.
int RouteBetween(const TAreaData& area, int lp, int from, int to) {
  const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
  for (int r = 0; r < static_cast<int>(routes.size()); ++r)
    if (routes[r].FirstSection == from && routes[r].LastSection == to) return r;
  return -1;
}

}  // namespace

void SafetyCheck::Impl::Derive(const SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const std::array<const void*, 4> source{DataOf(area.GraphPeregons), DataOf(area.Puts),
                                          DataOf(area.TrainRoutes), DataOf(area.GorlStanzs)};
  const std::array<std::size_t, 4> sizes{area.GraphPeregons.size(), area.Puts.size(),
                                         area.TrainRoutes.size(), area.GorlStanzs.size()};
  if (Built && source == Source && sizes == SourceSizes) return;
  Source = source;
  SourceSizes = sizes;
  Built = true;
  BaseMade = false;
  Seen_.clear();
  Verdicts.clear();
  Chains.clear();
  const int lps = static_cast<int>(area.Puts.size());
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  const auto validLP = [&](int lp) { return lp >= 0 && lp < lps; };

  // Links: the graph peregons between two LPs, those joining the same two LPs as one.
  Links.clear();
  LinkOfPeregon.assign(peregons, -1);
  LinksAt.assign(lps, {});
  std::vector<std::vector<int>>& peregonsOf = PeregonsOf;
  peregonsOf.clear();
  for (int p = 0; p < peregons; ++p) {
    const TGraphPeregonData& per = area.GraphPeregons[p];
    const int a = per.LP[0] - 1, b = per.LP[1] - 1;
    if (!validLP(a) || !validLP(b) || a == b) continue;
    int found = -1;
    for (int l = 0; l < static_cast<int>(Links.size()) && found < 0; ++l)
      if ((Links[l].LP[0] == a && Links[l].LP[1] == b) ||
          (Links[l].LP[0] == b && Links[l].LP[1] == a))
        found = l;
    if (found >= 0) {
      Links[found].Double = true;
    } else {
      found = static_cast<int>(Links.size());
      Links.push_back({{a, b}, false});
      LinksAt[a].push_back(found);
      LinksAt[b].push_back(found);
      peregonsOf.emplace_back();
    }
    LinkOfPeregon[p] = found;
    peregonsOf[found].push_back(p);
  }

  // Tracks, the sections they are, and the links each is reached from and leads to.
  Controlled.assign(lps, 0);
  Asks.assign(lps, 0);
  Chooses.assign(lps, 0);
  SendsFreely.assign(lps, 0);
  AllTracks.assign(lps, 0);
  In.assign(lps, {});
  Out.assign(lps, {});
  Throats.assign(lps, {});
  const int sections = static_cast<int>(area.SlSects.size());
  SectionLP.assign(sections, -1);
  SectionTrack.assign(sections, -1);
  RoutesFrom.assign(sections, {});
  RoutesTo.assign(sections, {});
  Starting.assign(sections, {});
  ExitLink.assign(sections, -1);
  ExitRoutes.assign(lps, {});
  for (int g = 0; g < static_cast<int>(area.GorlStanzs.size()); ++g) {
    const int lp = ThroatLPIndex(area, g);
    if (validLP(lp)) Throats[lp].push_back(g);
  }
  for (int lp = 0; lp < lps; ++lp) {
    Controlled[lp] = LPIsControlled(area, lp);
    Asks[lp] = LPAsksDispatcher(area, lp);
    Chooses[lp] = !Asks[lp] && !Controlled[lp];
    SendsFreely[lp] = Chooses[lp] && area.Puts[lp].Value2 > 0;
    const int tracks = std::min<int>(static_cast<int>(area.Puts[lp].Tracks.size()), kMaxTracks);
    In[lp].assign(tracks, 0);
    Out[lp].assign(tracks, 0);
    // The entry sections of each link at this LP: its peregons' ends, and the throats opening
    // to them.
    std::vector<std::vector<int>> entries(LinksAt[lp].size());
    for (int j = 0; j < static_cast<int>(LinksAt[lp].size()); ++j)
      for (const int p : peregonsOf[LinksAt[lp][j]]) {
        const TGraphPeregonData& per = area.GraphPeregons[p];
        for (int e = 0; e < 2; ++e)
          if (per.LP[e] - 1 == lp && ValidSection(area, per.EndSection[e]))
            entries[j].push_back(per.EndSection[e]);
        for (const int g : Throats[lp])
          if (area.GorlStanzs[g].Peregon - 1 == p &&
              ValidSection(area, area.GorlStanzs[g].EntrySection))
            entries[j].push_back(area.GorlStanzs[g].EntrySection);
      }
    for (int j = 0; j < static_cast<int>(entries.size()); ++j)
      for (const int e : entries[j])
        if (e > 0 && e < sections) ExitLink[e] = LinksAt[lp][j];
    for (int k = 0; k < tracks; ++k) {
      const int s = TrackSection(area, lp, k);
      if (s == 0) continue;
      AllTracks[lp] |= Bit(k);
      SectionLP[s] = lp;
      SectionTrack[s] = k;
      const auto way = [&](int from, int to) {
        return Controlled[lp] ? RouteBetween(area, lp, from, to) >= 0
                              : FindBestRoute(area, lp, from, to) >= 0;
      };
      for (int j = 0; j < static_cast<int>(entries.size()) && j < 32; ++j)
        for (const int e : entries[j]) {
          if (way(e, s)) In[lp][k] |= 1u << j;
          if (way(s, e)) Out[lp][k] |= 1u << j;
        }
    }
    if (lp < static_cast<int>(area.TrainRoutes.size())) {
      const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
      for (int r = 0; r < static_cast<int>(routes.size()); ++r) {
        if (routes[r].FirstSection > 0 && routes[r].FirstSection < sections)
          Starting[routes[r].FirstSection].push_back(r);
        for (int j = 0; j < static_cast<int>(entries.size()); ++j) {
          const std::vector<int>& at = entries[j];
          if (std::find(at.begin(), at.end(), routes[r].LastSection) != at.end() &&
              std::find(at.begin(), at.end(), routes[r].FirstSection) == at.end())
            ExitRoutes[lp].emplace_back(r, LinksAt[lp][j]);
        }
        const int s = routes[r].FirstSection;
        if (s > 0 && s < sections && SectionLP[s] == lp) RoutesFrom[s].push_back(r);
        const int e = routes[r].LastSection;
        if (e > 0 && e < sections && SectionLP[e] == lp) RoutesTo[e].push_back(r);
      }
    }
  }

  // The first link of a shortest way between any two LPs (the lower link on a tie).
  NextLink.assign(lps, std::vector<int>(lps, -1));
  for (int to = 0; to < lps; ++to) {
    std::vector<int> dist(lps, -1);
    std::vector<int> queue{to};
    dist[to] = 0;
    for (std::size_t q = 0; q < queue.size(); ++q) {
      const int at = queue[q];
      for (const int l : LinksAt[at]) {
        const int other = Links[l].LP[0] == at ? Links[l].LP[1] : Links[l].LP[0];
        if (dist[other] >= 0) continue;
        dist[other] = dist[at] + 1;
        queue.push_back(other);
      }
    }
    for (int from = 0; from < lps; ++from) {
      if (from == to || dist[from] < 0) continue;
      for (const int l : LinksAt[from]) {
        const int other = Links[l].LP[0] == from ? Links[l].LP[1] : Links[l].LP[0];
        if (dist[other] == dist[from] - 1 && (NextLink[to][from] < 0 || l < NextLink[to][from]))
          NextLink[to][from] = l;
      }
    }
  }
}

std::uint64_t SafetyCheck::Impl::TrackMask(const SimulationData& sim, int t, int lp, int in,
                                           int out) const {
  const int jIn = in >= 0 ? LocalLink(lp, in) : -1;
  const int jOut = out >= 0 ? LocalLink(lp, out) : -1;
  std::uint64_t mask = 0;
  for (int k = 0; k < static_cast<int>(In[lp].size()); ++k) {
    if (!(AllTracks[lp] & Bit(k))) continue;
    if (in >= 0 && (jIn < 0 || !(In[lp][k] & (1u << jIn)))) continue;
    if (out >= 0 && (jOut < 0 || !(Out[lp][k] & (1u << jOut)))) continue;
    if (TrackSuits(sim, lp, k, t)) mask |= Bit(k);
  }
  return mask;
}

/// The way of train t from LP lp, come by link `in` (-1: it starts there) towards end inEnd:
/// a step at every LP with tracks, and at the last.
Runner SafetyCheck::Impl::Way(const SimulationData& sim, int t, int lp, int in, int inEnd) const {
  Runner run;
  run.Train = t;
  run.Passenger = sim.State.Trains[t].LOAD_TYPE >= 100;
  const int lps = static_cast<int>(LinksAt.size());
  const int dest = FindLPIndex(sim.AreaData, sim.State.Trains[t].ARRIVAL_LP_CODE);
  const bool known = dest >= 0 && dest < lps;
  std::vector<Hop> hops;
  if (in >= 0) hops.push_back({in, inEnd});
  int at = lp;
  int prev = in;
  for (int guard = 0; guard <= lps; ++guard) {
    const int next = known && at != dest ? NextLink[dest][at] : -1;
    if (AllTracks[at] != 0 || next < 0) {
      run.Steps.push_back({at, hops, TrackMask(sim, t, at, prev, next)});
      hops.clear();
    }
    if (next < 0) break;
    const int end = Links[next].LP[0] == at ? 1 : 0;
    hops.push_back({next, end});
    prev = next;
    at = Links[next].LP[end];
  }
  run.Finishes = known && !run.Steps.empty() && run.Steps.back().LP == dest;
  return run;
}

/// The station lets train t, standing there, go on onto the link by itself, without asking
/// anyone: it sends without asking, or it acts by itself and the line ahead of the train needs
/// no leave. (A train running through asks unless the station sends without asking.)
bool SafetyCheck::Impl::PassesOn(const SimulationData& sim, int t, int lp, int link) const {
  if (SendsFreely[lp]) return true;
  if (!Chooses[lp]) return false;
  for (const int g : Throats[lp]) {
    const int p = sim.AreaData.GorlStanzs[g].Peregon - 1;
    if (p >= 0 && p < static_cast<int>(LinkOfPeregon.size()) && LinkOfPeregon[p] == link &&
        LineAheadFree(sim, g, t))
      return true;
  }
  return false;
}

bool SafetyCheck::Impl::Comes(int link, int lp) const {
  return Coming[link][Links[link].LP[1] == lp ? 1 : 0];
}

/// x leaves LP lp by the link: it runs on it to the other end.
void SafetyCheck::Impl::Leave(Seen& x, int link, int lp) const {
  x.Where = Place::Line;
  x.Link = link;
  x.End = Links[link].LP[0] == lp ? 1 : 0;
  x.LP = Links[link].LP[x.End];
  x.Track = -1;
  x.Entering = false;
}

/// A train at or on its way to a station that lets it go on by itself (or will, once it has
/// stopped there) holds a track at the next LP too.
void SafetyCheck::Impl::ClaimBeyond(const SimulationData& sim, Seen& x) const {
  const int lps = static_cast<int>(LinksAt.size());
  const TTrainData& t = sim.State.Trains[x.Train];
  const int dest = FindLPIndex(sim.AreaData, t.ARRIVAL_LP_CODE);
  x.Claim = -1;
  if (dest < 0 || dest >= lps || x.LP < 0 || x.LP == dest ||
      (x.Where != Place::Outside && !t.DEPARTURE_COMMISSION))
    return;
  const int next = NextLink[dest][x.LP];
  if (next >= 0 && next != x.Link && PassesOn(sim, x.Train, x.LP, next)) x.Claim = next;
}

std::vector<Seen> SafetyCheck::Impl::Observe(SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const TTrainsData& trains = sim.State.Trains;
  const int lps = static_cast<int>(LinksAt.size());
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  const int sections = static_cast<int>(SectionLP.size());
  // The directions run on each peregon.
  std::vector<std::array<bool, 2>> dirs(peregons, {false, false});
  for (const TTrainData& t : trains) {
    const int head = t.HEAD.PEREGON_IDX, tail = t.TAIL.PEREGON_IDX;
    if (head >= 0 && head < peregons) dirs[head][t.HEAD.DIR & 1] = true;
    if (tail >= 0 && tail < peregons && tail != head) dirs[tail][t.TAIL.DIR & 1] = true;
  }
  const auto trackAt = [&](int s, int lp) {
    return s > 0 && s < sections && SectionLP[s] == lp ? SectionTrack[s] : -1;
  };
  // Trains let go by a send task (one that needs no commit or has it, including the second half
  // of a transit): the link each leaves by, per train.
  // A train on a single link runs towards the LP: nothing leaves that LP onto the link before
  // it has arrived.
  Coming.assign(Links.size(), {false, false});
  for (int l = 0; l < static_cast<int>(Links.size()); ++l)
    for (const int p : PeregonsOf[l])
      for (int e = 0; e < 2; ++e) {
        const int end = Links[l].LP[1] == area.GraphPeregons[p].LP[e] - 1 ? 1 : 0;
        if (dirs[p][e] && !Links[l].Double) Coming[l][end] = true;
      }
  const auto comes = [&](int link, int lp) { return Comes(link, lp); };
  std::vector<int> onward(trains.size(), -1);
  std::vector<int> onwardFrom(trains.size(), -1);
  const int throats = static_cast<int>(std::min(area.GorlStanzs.size(), sim.State.Gorls.size()));
  for (int q = 0; q < throats; ++q) {
    const TGorlTaskData& task = sim.State.Gorls[q];
    if (task.TASKED == 0 || !task.SEND) continue;
    const ThroatView v = ThroatViewOf(sim, q);
    // A station acting by itself gives itself the commit; one that asks waits for it (or has
    // spent it on the way out, which stands), and until then its task may still be taken back.
    if (!v.Valid || v.Side < 0 || LinkOfPeregon[v.Peregon] < 0) continue;
    const int s = TrackSection(area, v.LP, task.TRACK);
    if (s == 0) continue;
    if (!Chooses[v.LP] && v.Side < 1 && !DepartCommitGiven(sim, v.LP, v.Dir)) {
      const auto [at, fresh] = Chains.try_emplace(
          (static_cast<std::uint64_t>(q) << 32) | static_cast<std::uint32_t>(s), -1);
      if (fresh) at->second = FindBestRoute(area, v.LP, s, v.Entry);
      if (at->second < 0 ||
          !(ChainIsPending(sim, v.LP, at->second) || ChainIsSet(sim, v.LP, at->second)))
        continue;
    }
    int t = TrainForTrack(sim, v.LP, s, v.Dir);
    if (t < 0 && task.TRANSIT)
      for (const int g : Throats[v.LP]) {
        const TGorlTaskData& in = sim.State.Gorls[g];
        if (g >= throats || in.TASKED == 0 || in.SEND || !in.TRANSIT || in.TRACK != task.TRACK)
          continue;
        const ThroatView w = ThroatViewOf(sim, g);
        if (w.Valid) t = ApproachingTrain(sim, w.Entry, w.Arrival);
      }
    if (t < 0 || t >= static_cast<int>(trains.size()) || comes(LinkOfPeregon[v.Peregon], v.LP))
      continue;
    onward[t] = LinkOfPeregon[v.Peregon];
    onwardFrom[t] = v.LP;
  }
  // Trains for which a way out is pending or set: they leave by its link. The train on the way
  // out, or on the track it starts from, else the one coming in to go on through.
  const auto onRoute = [&](int lp, int r) {
    const TTrainRouteData& route = area.TrainRoutes[lp].Routes[r];
    for (int n = 0; n < kMaxRouteSections && route.Sections[n] != 0; ++n)
      for (const int d : {0, 1})
        if (const int t = TrainOnHalf(sim, route.Sections[n], d); t >= 0) return t;
    return -1;
  };
  const auto leaves = [&](int t, int lp, int link) {
    if (t < 0 || onward[t] >= 0 || link < 0 || Comes(link, lp)) return;
    onward[t] = link;
    onwardFrom[t] = lp;
  };
  for (int lp = 0; lp < lps && lp < static_cast<int>(sim.State.Routes.size()); ++lp) {
    const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
    const TLPRoutesControlData& control = sim.State.Routes[lp];
    const auto active = [&](int r) {
      return r < static_cast<int>(control.size()) &&
             (control[r].TASKED != 0 || control[r].SCHUNTED);
    };
    for (const auto& [r, link] : ExitRoutes[lp])
      if (active(r)) leaves(onRoute(lp, r), lp, link);
    for (int k = 0; k < static_cast<int>(In[lp].size()); ++k) {
      const int s = TrackSection(area, lp, k);
      if (s == 0) continue;
      for (const int r : RoutesFrom[s]) {
        if (!active(r)) continue;
        int t = onRoute(lp, r);
        if (t < 0) t = TrainForTrack(sim, lp, s, RouteDirection(routes[r]));
        const int dest = t >= 0 ? FindLPIndex(area, trains[t].ARRIVAL_LP_CODE) : -1;
        if (dest >= 0 && dest < lps && dest != lp) leaves(t, lp, NextLink[dest][lp]);
      }
    }
  }
  // Trains given a track to come in on (a receive task, or a way in pending or set).
  std::vector<int> bound(trains.size(), -1);
  for (int q = 0; q < throats; ++q) {
    const TGorlTaskData& task = sim.State.Gorls[q];
    if (task.TASKED == 0 || task.SEND) continue;
    const ThroatView v = ThroatViewOf(sim, q);
    if (!v.Valid || task.TRACK < 0 || task.TRACK >= static_cast<int>(In[v.LP].size())) continue;
    const int t = ApproachingTrain(sim, v.Entry, v.Arrival);
    if (t >= 0 && t < static_cast<int>(trains.size())) bound[t] = task.TRACK;
  }
  for (int lp = 0; lp < lps && lp < static_cast<int>(sim.State.Routes.size()); ++lp) {
    const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
    const TLPRoutesControlData& control = sim.State.Routes[lp];
    for (int k = 0; k < static_cast<int>(In[lp].size()); ++k) {
      const int s = TrackSection(area, lp, k);
      if (s == 0 || !SectionFree(sim, s)) continue;
      for (const int r : RoutesTo[s]) {
        if (r >= static_cast<int>(control.size()) ||
            (control[r].TASKED == 0 && !control[r].SCHUNTED))
          continue;
        const int t = TrainForTrack(sim, lp, s, RouteDirection(routes[r]));
        if (t >= 0 && t < static_cast<int>(trains.size())) bound[t] = k;
      }
    }
  }
  const auto leave = [&](Seen& x, int link, int lp) { Leave(x, link, lp); };
  std::vector<Seen> seen;
  for (int i = 0; i < static_cast<int>(trains.size()); ++i) {
    const TTrainData& t = trains[i];
    Seen x;
    x.Train = i;
    if (t.HEAD.SECT_IDX == 0) {
      // Waiting outside: a station that puts trains out or takes them in without asking will
      // do so as soon as it has a track.
      const int lp = FindLPIndex(area, t.HEAD.LP_CODE);
      if (t.PLACE_TIME != 0 || lp < 0 || lp >= lps || Asks[lp] || Controlled[lp] ||
          t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE || (t.CARS == 0 && t.LEN == 0 && t.WEIGHT == 0))
        continue;
      x.Where = Place::Outside;
      x.LP = lp;
      seen.push_back(x);
      continue;
    }
    const int hp = t.HEAD.PEREGON_IDX;
    if (hp >= 0 && hp < peregons) {
      const int link = LinkOfPeregon[hp];
      if (link < 0) continue;
      const int to = area.GraphPeregons[hp].LP[t.HEAD.DIR & 1] - 1;
      x.Where = Place::Line;
      x.Link = link;
      x.End = Links[link].LP[1] == to ? 1 : 0;
      x.LP = Links[link].LP[x.End];
      // Let through the station it runs to: it counts as on the line beyond.
      x.Track = bound[i];
      if (onward[i] >= 0 && onwardFrom[i] == x.LP && onward[i] != link) leave(x, onward[i], x.LP);
      seen.push_back(x);
      continue;
    }
    int lp = FindLPIndex(area, t.HEAD.LP_CODE);
    if (lp < 0 || lp >= lps) {
      const int s = t.HEAD.SECT_IDX;
      lp = s > 0 && s < sections ? SectionLP[s] : -1;
      if (lp < 0) continue;
    }
    x.LP = lp;
    int k = trackAt(t.HEAD.SECT_IDX, lp);
    if (k < 0) k = trackAt(t.TAIL.SECT_IDX, lp);
    if (k < 0) {
      // In the station's throat: coming in (its tail still on the peregon, or a short train
      // between the entry and the track), or going out from a track it has left.
      x.Where = Place::Line;
      x.Entering = true;
      const int tp = t.TAIL.PEREGON_IDX;
      if (tp >= 0 && tp < peregons && LinkOfPeregon[tp] >= 0) {
        x.Link = LinkOfPeregon[tp];
        x.End = Links[x.Link].LP[1] == lp ? 1 : 0;
      }
      x.Track = bound[i];
      // The routes the head follows lead to a track it comes in on, or out onto a link.
      int r = t.HEAD.ROUTE_IDX;
      const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
      for (int hop = 0; r >= 0 && r < static_cast<int>(routes.size()) && hop < kMaxChainRoutes;
           ++hop) {
        const int end = routes[r].LastSection;
        if (trackAt(end, lp) >= 0) {
          if (onward[i] < 0) x.Track = trackAt(end, lp);
          break;
        }
        if (end > 0 && end < sections && ExitLink[end] >= 0) {
          if (onward[i] < 0 && !Comes(ExitLink[end], lp)) {
            onward[i] = ExitLink[end];
            onwardFrom[i] = lp;
          }
          break;
        }
        int next = -1;
        for (const int q : end > 0 && end < sections ? Starting[end] : std::vector<int>{})
          if (q < static_cast<int>(sim.State.Routes[lp].size()) &&
              (sim.State.Routes[lp][q].TASKED != 0 || sim.State.Routes[lp][q].SCHUNTED))
            next = q;
        r = next;
      }
      if (onward[i] >= 0 && onwardFrom[i] == lp) leave(x, onward[i], lp);
      seen.push_back(x);
      continue;
    }
    x.Where = Place::Track;
    x.Track = k;
    // Let go already: it counts as running on the link it leaves by.
    int leaving = onwardFrom[i] == lp ? onward[i] : -1;
    if (leaving >= 0 && Links[leaving].LP[0] != lp && Links[leaving].LP[1] != lp) leaving = -1;
    if (leaving >= 0) leave(x, leaving, lp);
    seen.push_back(x);
  }
  // A train let go onto a single link counts as coming towards its far end, on the line or not.
  for (const Seen& x : seen)
    if (x.Where == Place::Line && x.Link >= 0 && !Links[x.Link].Double)
      Coming[x.Link][x.End] = true;
  Raw_ = seen;
  return Refine(sim, std::move(seen));
}

/// What the stations will do by themselves, added to what was seen: trains running through a
/// station that sends without asking count as beyond it, and trains that will stand at a
/// station that lets them go on by themselves claim a track beyond.
std::vector<Seen> SafetyCheck::Impl::Refine(const SimulationData& sim,
                                            std::vector<Seen> seen) const {
  for (Seen& x : seen) ClaimBeyond(sim, x);
  return seen;
}

/// Gives runner r (before its first step) a track there, moving the trains that hold a track
/// there only on their way in to other tracks that suit them where that helps; false when
/// there is none to be had.
bool SafetyCheck::Impl::Place(State& s, int r) const {
  const int lp = Runners[r].Steps.front().LP;
  std::array<int, kMaxTracks> holder;
  holder.fill(-1);
  for (int q = 0; q < static_cast<int>(Runners.size()); ++q) {
    const Pos& p = s.At[q];
    if (!p.Gone && p.At == 0 && Runners[q].Steps.front().LP == lp && p.Track >= 0)
      holder[p.Track] = q;
  }
  std::uint64_t tried = 0;
  return Seat(s, r, lp, holder, tried);
}

/// An augmenting path for runner r at the LP: a free track, or one whose holder (on its way in)
/// can be seated elsewhere.
bool SafetyCheck::Impl::Seat(State& s, int r, int lp, std::array<int, kMaxTracks>& holder,
                             std::uint64_t& tried) const {
  const std::uint64_t mask = Runners[r].Steps.front().Mask & ~tried;
  for (std::uint64_t left = mask; left != 0; left &= left - 1) {
    const int k = std::countr_zero(left);
    tried |= Bit(k);
    const int h = holder[k];
    if (s.Free[lp] & Bit(k)) {
      s.Free[lp] &= ~Bit(k);
    } else if (h < 0 || !Runners[h].OnLine || Runners[h].Bound || !Seat(s, h, lp, holder, tried)) {
      continue;
    }
    holder[k] = r;
    s.At[r].At = 0;
    s.At[r].Track = static_cast<std::int8_t>(k);
    return true;
  }
  return false;
}

void SafetyCheck::Impl::Make(SimulationData& sim, std::vector<Seen> seen) {
  Build(sim, std::move(seen));
  BaseMade = true;
  Verdicts.clear();
}

/// The line as the check sees it from these trains: the runners, their tracks and
/// reservations, and how many of them the check leaves (BaseLeft).
void SafetyCheck::Impl::Build(const SimulationData& sim, std::vector<Seen> seen) {
  Seen_ = std::move(seen);
  Runners.clear();
  RunnerOf.assign(sim.State.Trains.size(), -1);
  const int lps = static_cast<int>(LinksAt.size());
  State& s = Base;
  s.Free = AllTracks;
  // A track that reads occupied falsely takes no train in while the fault lasts.
  if (!sim.State.Faults.empty()) {
    for (int lp = 0; lp < lps && lp < static_cast<int>(sim.AreaData.Puts.size()); ++lp) {
      const int tracks = static_cast<int>(sim.AreaData.Puts[lp].Tracks.size());
      for (int k = 0; k < tracks && k < kMaxTracks; ++k) {
        const int section = TrackSection(sim.AreaData, lp, k);
        if ((s.Free[lp] & Bit(k)) && section != 0 && SectionFalselyOccupied(sim, section))
          s.Free[lp] &= ~Bit(k);
      }
    }
  }
  s.Waiting.assign(Links.size(), {0, 0});
  s.At.clear();
  // Every train first: those on tracks hold them; the others are given tracks below.
  std::vector<int> of(Seen_.size(), -1);
  for (int n = 0; n < static_cast<int>(Seen_.size()); ++n) {
    const Seen& x = Seen_[n];
    if (x.LP < 0 || x.LP >= lps) continue;
    Runner run = x.Where == Place::Track ? Way(sim, x.Train, x.LP, -1, 0)
                                         : Way(sim, x.Train, x.LP, x.Link, x.End);
    run.OnLine = x.Where == Place::Line;
    of[n] = static_cast<int>(Runners.size());
    RunnerOf[x.Train] = of[n];
    Runners.push_back(std::move(run));
    s.At.emplace_back();
    if (x.Where == Place::Track) {
      s.At.back() = Pos{0, static_cast<std::int8_t>(x.Track), false};
      s.Free[x.LP] &= ~Bit(x.Track);
    }
  }
  for (int n = 0; n < static_cast<int>(Seen_.size()); ++n)
    if (of[n] >= 0 && Seen_[n].Claim >= 0) AddClaim(s, of[n], Seen_[n].Claim, false);
  // Reservations, in this order: trains given a track to come in on, while it is free; trains
  // entering a station; those on single links (on one link, the train ahead first: it comes in
  // first); the claims of trains that a station will let go onto a single link; trains on
  // double links and their claims (they may wait there); trains waiting outside.
  const auto ahead = [&](int r) {
    const Seen* x = nullptr;
    for (const Seen& y : Seen_)
      if (y.Train == Runners[r].Train) x = &y;
    if (x == nullptr || x->Where != Place::Line || x->Entering) return 0.0;
    const TTrainData& t = sim.State.Trains[x->Train];
    // The position along the line grows in the odd direction.
    return t.HEAD.DIR & 1 ? t.LOCO_POS : -t.LOCO_POS;
  };
  std::vector<std::tuple<int, int, int, double, int>> order;
  for (int r = 0; r < static_cast<int>(Runners.size()); ++r) {
    if (s.At[r].At >= 0) continue;
    const Runner& run = Runners[r];
    const std::vector<Hop>& hops = run.Steps.front().Hops;
    const bool single = !hops.empty() && !Links[hops.back().Link].Double;
    const int link = hops.empty() ? -1 : hops.back().Link;
    int rank = 6;
    if (run.Owner >= 0) {
      rank = single ? 3 : 5;
    } else if (run.OnLine) {
      const Seen* x = nullptr;
      for (const Seen& y : Seen_)
        if (y.Train == run.Train) x = &y;
      const int k = x != nullptr ? x->Track : -1;
      if (k >= 0 && k < kMaxTracks && (s.Free[run.Steps.front().LP] & Bit(k))) {
        // The track it was given to come in on.
        s.Free[run.Steps.front().LP] &= ~Bit(k);
        s.At[r] = Pos{0, static_cast<std::int8_t>(k), false};
        Runners[r].Bound = true;
        continue;
      }
      rank = x != nullptr && x->Entering ? 1 : (single ? 2 : 4);
      // Let go by a station that sends it on by itself: it comes after the trains the
      // dispatcher let go, as its claim did.
      if (rank == 2 && link >= 0) {
        const int from = Links[link].LP[hops.back().End ^ 1];
        if (PassesOn(sim, run.Train, from, link)) rank = 3;
      }
    }
    order.emplace_back(rank, link, hops.empty() ? 0 : hops.back().End, -ahead(r), r);
  }
  std::stable_sort(order.begin(), order.end());
  for (const auto& entry : order) {
    const int r = std::get<4>(entry);
    // A train on a double link waits there until it is taken in, where the dispatcher decides
    // that (a station that takes trains in by itself does so as soon as it has a track).
    const int rank = std::get<0>(entry);
    const bool waits = (rank == 4 || rank == 5) && !Chooses[Runners[r].Steps.front().LP];
    if ((!waits && Place(s, r)) || !Runners[r].OnLine) continue;
    for (const Hop& h : Runners[r].Steps.front().Hops) ++s.Waiting[h.Link][h.End];
  }
  s.Left = 0;
  for (const Runner& run : Runners) s.Left += run.Owner < 0 ? 1 : 0;
  BaseLeft = Solve(s);
}

bool SafetyCheck::Impl::Blocked(const State& s, const Step& st) const {
  for (const Hop& h : st.Hops)
    if (!Links[h.Link].Double && s.Waiting[h.Link][h.End ^ 1] > 0) return true;
  return false;
}

/// Runner r leaves where it is: its track is free again, or it no longer waits on its link.
void SafetyCheck::Impl::Release(State& s, int r) const {
  Pos& p = s.At[r];
  const Runner& run = Runners[r];
  if (p.At >= 0) {
    s.Free[run.Steps[p.At].LP] |= Bit(p.Track);
  } else if (run.OnLine) {
    for (const Hop& h : run.Steps.front().Hops) --s.Waiting[h.Link][h.End];
  }
}

/// Runner r stands at a station that chooses the train it sends by itself, and that station
/// would choose a passenger train that leaves the same way before it, a freight train.
bool SafetyCheck::Impl::Behind(const State& s, int r) const {
  const Runner& run = Runners[r];
  const Pos& p = s.At[r];
  if (run.Passenger || p.At < 0 || p.At + 1 >= static_cast<int>(run.Steps.size())) return false;
  const int lp = run.Steps[p.At].LP;
  if (!Chooses[lp] || run.Steps[p.At + 1].Hops.empty()) return false;
  const int link = run.Steps[p.At + 1].Hops.front().Link;
  for (int q = 0; q < static_cast<int>(Runners.size()); ++q) {
    const Runner& other = Runners[q];
    const Pos& o = s.At[q];
    if (q == r || o.Gone || other.Owner >= 0 || !other.Passenger || o.At < 0 ||
        other.Steps[o.At].LP != lp || o.At + 1 >= static_cast<int>(other.Steps.size()) ||
        other.Steps[o.At + 1].Hops.empty())
      continue;
    if (other.Steps[o.At + 1].Hops.front().Link == link) return true;
  }
  return false;
}

/// Runner r (standing at its first step) gets a claim at its second, which it reaches by
/// `link`; with `seat`, a track there (or it waits on the link).
void SafetyCheck::Impl::AddClaim(State& s, int r, int link, bool seat) {
  const Runner& owner = Runners[r];
  if (owner.Steps.size() < 2 || owner.Steps[1].Hops.empty() ||
      owner.Steps[1].Hops.front().Link != link)
    return;
  Runner c;
  c.Train = owner.Train;
  c.Steps.push_back(owner.Steps[1]);
  c.OnLine = true;
  c.Owner = r;
  Runners[r].Claim = static_cast<int>(Runners.size());
  Runners.push_back(std::move(c));
  s.At.emplace_back();
  const int q = static_cast<int>(Runners.size()) - 1;
  if (seat && !Place(s, q))
    for (const Hop& h : Runners[q].Steps.front().Hops) ++s.Waiting[h.Link][h.End];
}

/// The claim of runner r is dropped: its track is free again, or it no longer waits.
void SafetyCheck::Impl::Drop(State& s, int r) const {
  const int c = Runners[r].Claim;
  if (c < 0 || s.At[c].Gone) return;
  Release(s, c);
  s.At[c].Gone = true;
}

/// Runner r finishes: one that holds a claim may use its track.
bool SafetyCheck::Impl::Moves(State& s, int r) const {
  const Runner& run = Runners[r];
  if (run.Owner >= 0 || s.At[r].Gone) return false;
  if (run.Claim < 0 || s.At[run.Claim].Gone) return Finish(s, r);
  State trial = s;
  Drop(trial, r);
  if (!Finish(trial, r)) return false;
  s = std::move(trial);
  return true;
}

/// Runner r runs to its end in one go, if it can.
bool SafetyCheck::Impl::Finish(State& s, int r) const {
  const Runner& run = Runners[r];
  Pos& p = s.At[r];
  if (p.Gone || !run.Finishes) return false;
  const int last = static_cast<int>(run.Steps.size()) - 1;
  if (p.At == last) {
    // Standing where it ends: it is disbanded on a track that suits it.
    if (!(run.Steps[last].Mask & Bit(p.Track))) return false;
  } else {
    if (Behind(s, r)) return false;
    for (int j = p.At + 1; j <= last; ++j) {
      const Step& st = run.Steps[j];
      if (Blocked(s, st) || !(s.Free[st.LP] & st.Mask)) return false;
    }
  }
  Release(s, r);
  p.Gone = true;
  --s.Left;
  return true;
}

void SafetyCheck::Impl::FinishAll(State& s) const {
  for (bool again = true; again && s.Left > 0;) {
    again = false;
    for (int r = 0; r < static_cast<int>(Runners.size()); ++r)
      if (Moves(s, r)) again = true;
  }
}

int SafetyCheck::Impl::Solve(const State& s) const {
  State left = s;
  FinishAll(left);
  return left.Left;
}

SafetyCheck::SafetyCheck() : impl_(std::make_unique<Impl>()) {}
SafetyCheck::~SafetyCheck() = default;

void SafetyCheck::Refresh() {
  impl_->Stale = true;
}

void SafetyCheck::Derive(const SimulationData& sim) {
  impl_->Derive(sim);
}

int SafetyCheck::TrainsLeft(SimulationData& sim) {
  Impl& m = *impl_;
  m.Derive(sim);
  std::vector<Seen> seen = m.Observe(sim);
  m.Make(sim, std::move(seen));
  return m.BaseLeft;
}

namespace {

bool SameSeen(const std::vector<Seen>& a, const std::vector<Seen>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t n = 0; n < a.size(); ++n)
    if (std::tie(a[n].Train, a[n].Where, a[n].LP, a[n].Track, a[n].Link, a[n].End, a[n].Entering,
                 a[n].Claim) != std::tie(b[n].Train, b[n].Where, b[n].LP, b[n].Track, b[n].Link,
                                         b[n].End, b[n].Entering, b[n].Claim))
      return false;
  return true;
}

}  // namespace

bool SafetyCheck::Allows(SimulationData& sim, const SafetyMove& move) {
  Impl& m = *impl_;
  m.Derive(sim);
  const int lps = static_cast<int>(m.LinksAt.size());
  if (move.Train < 0 || move.Train >= static_cast<int>(sim.State.Trains.size()) || move.LP < 0 ||
      move.LP >= lps)
    return true;
  if (m.Stale || !m.BaseMade) {
    std::vector<Seen> seen = m.Observe(sim);
    if (!m.BaseMade || !SameSeen(seen, m.Seen_) || m.RunnerOf.size() != sim.State.Trains.size())
      m.Make(sim, std::move(seen));
    m.Stale = false;
  }
  const std::uint64_t key = (static_cast<std::uint64_t>(move.What) << 62) ^
                            (static_cast<std::uint64_t>(move.Train & 0xFFFF) << 40) ^
                            (static_cast<std::uint64_t>(move.LP & 0xFFF) << 28) ^
                            (static_cast<std::uint64_t>(move.Peregon & 0x3FFF) << 14) ^
                            static_cast<std::uint64_t>(move.Track & 0x3FFF);
  if (const auto found = m.Verdicts.find(key); found != m.Verdicts.end()) return found->second;
  const bool pass = m.Judge(sim, move);
  m.Verdicts.emplace(key, pass);
  return pass;
}

/// The line as it would be seen after the move, built as an observation of it would be:
/// the move passes when it leaves no more trains than now, no train or claim loses the track
/// it holds at the end of a single link, and a train let go onto a single link gets one.
bool SafetyCheck::Impl::Judge(SimulationData& sim, const SafetyMove& move) {
  std::vector<Seen> after = Raw_;
  int moved = -1;
  for (int n = 0; n < static_cast<int>(after.size()); ++n)
    if (after[n].Train == move.Train) moved = n;
  switch (move.What) {
    case SafetyMove::Depart: {
      const int p = move.Peregon;
      const int link = p >= 0 && p < static_cast<int>(LinkOfPeregon.size()) ? LinkOfPeregon[p] : -1;
      if (link < 0 || moved < 0 || (Links[link].LP[0] != move.LP && Links[link].LP[1] != move.LP))
        return true;
      Seen& x = after[moved];
      // Not at the LP nor on its way there: let go already, or no say.
      if (x.Where == Place::Outside || x.LP != move.LP) return true;
      // A train comes the other way on the line: the two would meet.
      if (Comes(link, move.LP)) return false;
      Leave(x, link, move.LP);
      break;
    }
    case SafetyMove::Receive:
      if (moved < 0 || after[moved].Where != Place::Line || after[moved].LP != move.LP ||
          move.Track < 0 || move.Track >= kMaxTracks)
        return true;
      after[moved].Track = move.Track;
      break;
    case SafetyMove::Admit: {
      if (moved >= 0 || LinksAt[move.LP].empty()) return true;
      Seen x;
      x.Train = move.Train;
      x.Where = Place::Track;
      x.LP = move.LP;
      x.Track = move.Track;
      if (x.Track < 0 || x.Track >= kMaxTracks) {
        const std::uint64_t open =
            Base.Free[move.LP] & Way(sim, move.Train, move.LP, -1, 0).Steps.front().Mask;
        if (open == 0) return false;
        x.Track = std::countr_zero(open);
      }
      // A track a train stands on is no track to put another on.
      for (const Seen& y : after)
        if (y.Where == Place::Track && y.LP == x.LP && y.Track == x.Track) return false;
      after.push_back(x);
      moved = static_cast<int>(after.size()) - 1;
      break;
    }
  }
  // The train let go comes towards the far end of its link: nothing is let through onto that
  // link from there meanwhile.
  const std::vector<std::array<bool, 2>> coming = Coming;
  if (move.What == SafetyMove::Depart && after[moved].Link >= 0 && !Links[after[moved].Link].Double)
    Coming[after[moved].Link][after[moved].End] = true;
  after = Refine(sim, std::move(after));
  // Trains and claims that wait on a single link for a track at its end, by train and claim.
  const auto waiting = [&](const std::vector<Runner>& runners, const State& s) {
    std::vector<std::pair<int, bool>> out;
    for (int r = 0; r < static_cast<int>(runners.size()); ++r) {
      const Runner& run = runners[r];
      const std::vector<Hop>& hops = run.Steps.front().Hops;
      if (run.OnLine && s.At[r].At < 0 && !s.At[r].Gone && !hops.empty() &&
          !Links[hops.back().Link].Double)
        out.emplace_back(run.Train, run.Owner >= 0);
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const std::vector<std::pair<int, bool>> before = waiting(Runners, Base);
  const int left = BaseLeft;
  std::vector<Seen> savedSeen = std::move(Seen_);
  std::vector<Runner> savedRunners = std::move(Runners);
  std::vector<int> savedOf = std::move(RunnerOf);
  State savedBase = std::move(Base);
  Build(sim, std::move(after));
  Coming = coming;
  bool pass = BaseLeft <= left;
  // Nobody more waits on a single line: a train let go there, or its claim beyond a station that
  // lets it go on by itself, has a track at the end, and no train or claim loses one.
  for (const auto& w : waiting(Runners, Base))
    if (!std::binary_search(before.begin(), before.end(), w)) pass = false;
  Seen_ = std::move(savedSeen);
  Runners = std::move(savedRunners);
  RunnerOf = std::move(savedOf);
  Base = std::move(savedBase);
  BaseLeft = left;
  return pass;
}

}  // namespace traklin
