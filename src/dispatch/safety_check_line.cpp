// The safety check's view of the line: derived once from the district, observed at each look.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "area/area_queries.h"
#include "dispatch/safety_check_impl.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

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
  Raw_.clear();
  Runners.clear();
  Verdicts.clear();
  Chains.clear();
  FoundWays.clear();
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

  Capacity.assign(Links.size(), 0);
  for (int l = 0; l < static_cast<int>(Links.size()); ++l)
    for (const int p : peregonsOf[l]) {
      const TGraphPeregonData& per = area.GraphPeregons[p];
      const int n = std::max(1, per.BlockLamps[1] - per.BlockLamps[0] + 1);
      Capacity[l] = Capacity[l] == 0 ? n : std::min(Capacity[l], n);
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

  // The single-line stretches: single links joined at their LPs. Each LP of a stretch keeps
  // two of its tracks for two trains to cross at, which may come to it from both sides at
  // once; the others are the stretch's room. The LP at an end of the stretch (an end of the
  // line, or where a double line goes on) is reached from the stretch by one side only, and
  // keeps one: for the train that comes in from the stretch while another waits there to go.
  StretchOf.assign(Links.size(), -1);
  StretchRoom.clear();
  StretchLinks.clear();
  const auto single = [&](int link) { return !Links[link].Double; };
  for (int l = 0; l < static_cast<int>(Links.size()); ++l) {
    if (Links[l].Double || StretchOf[l] >= 0) continue;
    const int id = static_cast<int>(StretchRoom.size());
    StretchOf[l] = id;
    std::vector<int> queue{l};
    std::vector<char> counted(lps, 0);
    int room = 0;
    for (std::size_t q = 0; q < queue.size(); ++q)
      for (const int at : Links[queue[q]].LP) {
        if (at < 0 || at >= lps || counted[at]) continue;
        counted[at] = 1;
        const int kept = std::count_if(LinksAt[at].begin(), LinksAt[at].end(), single) == 1 ? 1 : 2;
        room += std::max(std::popcount(AllTracks[at]) - kept, 0);
        for (const int next : LinksAt[at])
          if (!Links[next].Double && StretchOf[next] < 0) {
            StretchOf[next] = id;
            queue.push_back(next);
          }
      }
    // However few its tracks, a stretch has room for a train on each of its links.
    StretchRoom.push_back(std::max(room, static_cast<int>(queue.size())));
    StretchLinks.push_back(static_cast<int>(queue.size()));
  }
  Buffer.assign(static_cast<std::size_t>(lps), 0);
  for (int lp = 0; lp < lps; ++lp)
    Buffer[lp] =
        !LinksAt[lp].empty() && std::none_of(LinksAt[lp].begin(), LinksAt[lp].end(), single);

  // Where a look for a train approaching an entry section finds one on the section beyond, it
  // takes the train only with its head near enough: the answer changes as the head passes the
  // limit less the entry's length (either length of a section with a switch).
  ApproachSteps.assign(static_cast<std::size_t>(std::max(sections, 0)), {});
  for (int e = 1; e < sections; ++e)
    for (int a = 0; a < 2; ++a) {
      int half = 0;
      const int outer = ApproachOuterSection(area, e, a, half);
      if (outer <= 0 || outer >= sections) continue;
      std::vector<int>& steps = ApproachSteps[outer][half & 1];
      const auto add = [&steps](int length) {
        if (std::find(steps.begin(), steps.end(), kApproachLimit - length) == steps.end())
          steps.push_back(kApproachLimit - length);
      };
      const TSlSectData& d = area.SlSects[e];
      add(d.Length);
      if (d.SideLength != 0) add(d.SideLength);
    }
  // A head on a section as long as the limit at most, with no limit of its own, is near
  // enough wherever it is.
  ApproachRead.assign(ApproachSteps.size(), 0);
  for (int s = 1; s < sections; ++s)
    ApproachRead[s] = !ApproachSteps[s][0].empty() || !ApproachSteps[s][1].empty() ||
                      std::max(area.SlSects[s].Length, area.SlSects[s].SideLength) > kApproachLimit;
  InputsKept = false;
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
  const TTrainData& train = sim.State.Trains[t];
  Runner run;
  run.Train = t;
  run.Passenger = train.LOAD_TYPE >= 100;
  const WayKey key{.Number = train.NUMBER,
                   .LoadType = train.LOAD_TYPE,
                   .Creation = train.CREATION_LP_CODE,
                   .Arrival = train.ARRIVAL_LP_CODE,
                   .LP = lp,
                   .In = in,
                   .InEnd = in >= 0 ? inEnd : 0};
  auto at = FoundWays.find(key);
  if (at == FoundWays.end()) {
    at = FoundWays.emplace(key, FindWay(sim, t, lp, in, inEnd)).first;
  } else if (sim.Changes.Check) {
    const FoundWay now = FindWay(sim, t, lp, in, inEnd);
    const auto same = [](const Step& a, const Step& b) {
      return a.LP == b.LP && a.Mask == b.Mask &&
             std::equal(
                 a.Hops.begin(), a.Hops.end(), b.Hops.begin(), b.Hops.end(),
                 [](const Hop& x, const Hop& y) { return x.Link == y.Link && x.End == y.End; });
    };
    if (now.Finishes != at->second.Finishes ||
        !std::equal(now.Steps.begin(), now.Steps.end(), at->second.Steps.begin(),
                    at->second.Steps.end(), same))
      throw CheckMismatch("incremental check: the safety check's kept way of train " +
                          std::to_string(train.NUMBER) + " from LP " + std::to_string(lp) +
                          " differs from the way found now");
  }
  run.Steps = at->second.Steps;
  run.Finishes = at->second.Finishes;
  return run;
}

FoundWay SafetyCheck::Impl::FindWay(const SimulationData& sim, int t, int lp, int in,
                                    int inEnd) const {
  FoundWay way;
  const int lps = static_cast<int>(LinksAt.size());
  const int dest = FindLPIndex(sim.AreaData, sim.State.Trains[t].ARRIVAL_LP_CODE);
  const bool known = dest >= 0 && dest < lps;
  HopList hops;
  if (in >= 0) hops.push_back({in, inEnd});
  int at = lp;
  int prev = in;
  for (int guard = 0; guard <= lps; ++guard) {
    const int next = known && at != dest ? NextLink[dest][at] : -1;
    if (AllTracks[at] != 0 || next < 0) {
      way.Steps.push_back({at, hops, TrackMask(sim, t, at, prev, next)});
      hops.clear();
    }
    if (next < 0) break;
    const int end = Links[next].LP[0] == at ? 1 : 0;
    hops.push_back({next, end});
    prev = next;
    at = Links[next].LP[end];
  }
  way.Finishes = known && !way.Steps.empty() && way.Steps.back().LP == dest;
  return way;
}

/// The station lets train t, standing there, go on onto the link by itself, without asking
/// anyone: it sends without asking, or it acts by itself and the line ahead of the train needs
/// no leave. (A train running through asks unless the station sends without asking.) A
/// station the automatic dispatcher works lets nothing go without its leave.
bool SafetyCheck::Impl::PassesOn(const SimulationData& sim, int t, int lp, int link) const {
  if (lp < static_cast<int>(Worked.size()) && Worked[lp]) return false;
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
  // Let go onto a full double line towards a station that takes trains in by itself: once the
  // line ahead clears, the train sets out and is taken in there before any train that has not.
  if (x.Where != Place::Outside && x.LetGo >= 0 && x.LP >= 0) {
    const Link& l = Links[x.LetGo];
    const int far = l.LP[0] == x.LP ? l.LP[1] : l.LP[0];
    if (far >= 0 && far < lps && Chooses[far]) {
      x.Claim = x.LetGo;
      return;
    }
  }
  if (dest < 0 || dest >= lps || x.LP < 0 || x.LP == dest ||
      (x.Where != Place::Outside && !t.DEPARTURE_COMMISSION))
    return;
  const int next = NextLink[dest][x.LP];
  if (next >= 0 && next != x.Link && PassesOn(sim, x.Train, x.LP, next)) x.Claim = next;
}

/// The train on graph peregon p nearest to LP lp among those running towards it, or -1.
int SafetyCheck::Impl::FirstComing(const SimulationData& sim, int p, int lp) const {
  const TAreaData& area = sim.AreaData;
  if (p < 0 || p >= static_cast<int>(area.GraphPeregons.size())) return -1;
  int first = -1;
  double ahead = 0;
  for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i) {
    const TTrainData& t = sim.State.Trains[i];
    if (t.HEAD.SECT_IDX == 0 || t.HEAD.PEREGON_IDX != p ||
        area.GraphPeregons[p].LP[t.HEAD.DIR & 1] - 1 != lp)
      continue;
    const double at = Progress(t);
    if (first < 0 || at > ahead) {
      first = i;
      ahead = at;
    }
  }
  return first;
}

const std::vector<Seen>& SafetyCheck::Impl::Observe(SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const TTrainsData& trains = sim.State.Trains;
  const int lps = static_cast<int>(LinksAt.size());
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  const int sections = static_cast<int>(SectionLP.size());
  // The directions run on each peregon.
  std::vector<std::array<bool, 2>>& dirs = Lists.Dirs;
  dirs.assign(static_cast<std::size_t>(peregons), {false, false});
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
  std::vector<int>& onward = Lists.Onward;
  std::vector<int>& onwardFrom = Lists.OnwardFrom;
  onward.assign(trains.size(), -1);
  onwardFrom.assign(trains.size(), -1);
  // A train leaving one LP whose way through the next is set as well: the link it goes on by
  // from there.
  std::vector<int>& through = Lists.Through;
  std::vector<int>& throughFrom = Lists.ThroughFrom;
  through.assign(trains.size(), -1);
  throughFrom.assign(trains.size(), -1);
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
      if (at->second < 0 || !ChainPendingOrSet(sim, v.LP, at->second)) continue;
    }
    int t = TrainForTrack(sim, v.LP, s, v.Dir);
    // Still rolling in on the track, its way in already released behind it.
    if (t < 0) t = TrainOnHalf(sim, s, v.Dir & 1);
    // No train there yet: the one coming in to that track, however far out it still is (a
    // station that acts by itself sets its tasks for a train as soon as it is let go on).
    if (t < 0)
      for (const int g : Throats[v.LP]) {
        const TGorlTaskData& in = sim.State.Gorls[g];
        if (g >= throats || in.TASKED == 0 || in.SEND || in.TRACK != task.TRACK) continue;
        const ThroatView w = ThroatViewOf(sim, g);
        if (!w.Valid) continue;
        t = ApproachingTrain(sim, w.Entry, w.Arrival);
        if (t < 0) t = FirstComing(sim, w.Peregon, v.LP);
      }
    if (t < 0 || t >= static_cast<int>(trains.size()) || comes(LinkOfPeregon[v.Peregon], v.LP))
      continue;
    onward[t] = LinkOfPeregon[v.Peregon];
    onwardFrom[t] = v.LP;
  }
  // Trains for which a way out is pending or set: they leave by its link. The train on the way
  // out, or on the track it starts from, else the one coming in to go on through. Beyond the
  // track a train running the other way is one coming in through the same throat sections (on a
  // way in that shares them), not the one this way out is for.
  const auto onRoute = [&](int lp, int r) {
    const TTrainRouteData& route = area.TrainRoutes[lp].Routes[r];
    const int way = RouteDirection(route);
    for (int n = 0; n < kMaxRouteSections && route.Sections[n] != 0; ++n)
      for (const int d : {0, 1})
        if (const int t = TrainOnHalf(sim, route.Sections[n], d); t >= 0 && (n == 0 || d == way))
          return t;
    return -1;
  };
  const auto leaves = [&](int t, int lp, int link) {
    if (t < 0 || link < 0 || Comes(link, lp)) return;
    if (onward[t] < 0) {
      onward[t] = link;
      onwardFrom[t] = lp;
    } else if (onwardFrom[t] != lp && through[t] < 0) {
      through[t] = link;
      throughFrom[t] = lp;
      // Found first at the LP beyond: the way out of the LP it is at now comes first.
      if (FindLPIndex(area, trains[t].HEAD.LP_CODE) == lp) {
        std::swap(onward[t], through[t]);
        std::swap(onwardFrom[t], throughFrom[t]);
      }
    }
  };
  // Only the LPs with a route ordered or set have a train on a way in or out.
  const int routed = std::min(lps, static_cast<int>(sim.State.Routes.size()));
  // Only a filter, so a time of -0 may mark an LP (its routes are then looked at in vain): the
  // test of the bits needs no branch, and the look at every route of every LP is the cost.
  RoutesActive.assign(static_cast<std::size_t>(std::max(routed, 0)), 0);
  for (int lp = 0; lp < routed; ++lp) {
    std::uint64_t any = 0;
    for (const TRouteControlData& c : sim.State.Routes[lp])
      any |= std::bit_cast<std::uint64_t>(c.TASKED) | static_cast<std::uint64_t>(c.SCHUNTED);
    RoutesActive[lp] = any != 0;
  }
  for (int lp = 0; lp < routed; ++lp) {
    if (!RoutesActive[lp]) continue;
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
  std::vector<int>& bound = Lists.Bound;
  bound.assign(trains.size(), -1);
  for (int q = 0; q < throats; ++q) {
    const TGorlTaskData& task = sim.State.Gorls[q];
    if (task.TASKED == 0 || task.SEND) continue;
    const ThroatView v = ThroatViewOf(sim, q);
    if (!v.Valid || task.TRACK < 0 || task.TRACK >= static_cast<int>(In[v.LP].size())) continue;
    const int t = ApproachingTrain(sim, v.Entry, v.Arrival);
    if (t >= 0 && t < static_cast<int>(trains.size())) bound[t] = task.TRACK;
  }
  for (int lp = 0; lp < routed; ++lp) {
    if (!RoutesActive[lp]) continue;
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
  // The trains on each double link, by the end they run to: a train let go onto one that
  // holds as many as it has block sections stays where it is until the line ahead clears.
  // (On a single link every train let go has a track at the far end, so the line clears.)
  std::vector<std::array<int, 2>>& onLink = Lists.OnLink;
  onLink.assign(Links.size(), {0, 0});
  for (const TTrainData& t : trains) {
    const int hp = t.HEAD.PEREGON_IDX;
    if (t.HEAD.SECT_IDX == 0 || hp < 0 || hp >= peregons || LinkOfPeregon[hp] < 0) continue;
    const int link = LinkOfPeregon[hp];
    const int to = area.GraphPeregons[hp].LP[t.HEAD.DIR & 1] - 1;
    ++onLink[link][Links[link].LP[1] == to ? 1 : 0];
  }
  const auto room = [&](int link, int lp) {
    if (!Links[link].Double) return true;
    int& used = onLink[link][Links[link].LP[0] == lp ? 1 : 0];
    if (used >= Capacity[link]) return false;
    ++used;
    return true;
  };
  // Where the way through the LP x runs to is set too, x goes on through it while the link
  // beyond has room for it.
  const auto goOn = [&](Seen& x) {
    const int i = x.Train;
    if (throughFrom[i] == x.LP && through[i] != x.Link && room(through[i], x.LP))
      Leave(x, through[i], x.LP);
  };
  const auto leave = [&](Seen& x, int link, int lp) {
    Leave(x, link, lp);
    goOn(x);
  };
  // At most one entry per train, written in place: the list keeps its room from look to look.
  std::vector<Seen>& seen = Lists.Looked;
  seen.resize(trains.size());
  std::size_t looked = 0;
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
      seen[looked++] = x;
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
      const bool beyond = onward[i] >= 0 && onwardFrom[i] == x.LP && onward[i] != link;
      if (beyond && room(onward[i], x.LP)) {
        leave(x, onward[i], x.LP);
      } else {
        goOn(x);
        // Let go beyond onto a double line full its way: it sets out once the line ahead clears.
        if (beyond && x.Link == link && Links[onward[i]].Double) x.LetGo = onward[i];
      }
      seen[looked++] = x;
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
      int into = -1;  // the track they lead to
      const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
      for (int hop = 0; r >= 0 && r < static_cast<int>(routes.size()) && hop < kMaxChainRoutes;
           ++hop) {
        const int end = routes[r].LastSection;
        if (trackAt(end, lp) >= 0) {
          into = trackAt(end, lp);
          if (onward[i] < 0) x.Track = into;
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
        if (end > 0 && end < sections)
          for (const int q : Starting[end])
            if (q < static_cast<int>(sim.State.Routes[lp].size()) &&
                (sim.State.Routes[lp][q].TASKED != 0 || sim.State.Routes[lp][q].SCHUNTED))
              next = q;
        r = next;
      }
      // Let go beyond, it runs on only while the link ahead has room for it, as one that
      // stands on its track would; until then it comes in onto its track.
      const bool beyond = onward[i] >= 0 && onwardFrom[i] == lp;
      if (beyond && room(onward[i], lp)) {
        leave(x, onward[i], lp);
      } else {
        if (x.Track < 0) x.Track = into;
        if (beyond && Links[onward[i]].Double) x.LetGo = onward[i];
      }
      seen[looked++] = x;
      continue;
    }
    x.Where = Place::Track;
    x.Track = k;
    // Let go already: it counts as running on the link it leaves by.
    int leaving = onwardFrom[i] == lp ? onward[i] : -1;
    if (leaving >= 0 && Links[leaving].LP[0] != lp && Links[leaving].LP[1] != lp) leaving = -1;
    if (leaving >= 0) {
      if (room(leaving, lp))
        leave(x, leaving, lp);
      else
        x.LetGo = leaving;
    }
    seen[looked++] = x;
  }
  seen.resize(looked);
  // A train let go onto a single link counts as coming towards its far end, on the line or not.
  for (const Seen& x : seen)
    if (x.Where == Place::Line && x.Link >= 0 && !Links[x.Link].Double)
      Coming[x.Link][x.End] = true;
  Raw_ = seen;
  Refine(sim, seen);
  return seen;
}

bool SafetyCheck::Impl::SameInputs(const SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const TStateData& state = sim.State;
  // Written over what the last look read, noting on the way whether anything differs.
  bool same = InputsKept && state.Faults.empty() && TrainInputs.size() == state.Trains.size();
  TrainInputs.resize(state.Trains.size());
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  const int sections = static_cast<int>(ApproachSteps.size());
  // Per graph peregon and the LP its trains run to: the one nearest to that LP (FirstComing).
  std::vector<int>& first = Lists.First;
  first.assign(static_cast<std::size_t>(2 * peregons), -1);
  std::vector<double>& ahead = Lists.Ahead;
  ahead.assign(first.size(), 0);
  for (int i = 0; i < static_cast<int>(state.Trains.size()); ++i) {
    const TTrainData& t = state.Trains[i];
    const TTrainEndPosData& head = t.HEAD;
    TrainInput x{t.NUMBER,
                 head.SECT_IDX,
                 t.TAIL.SECT_IDX,
                 head.PEREGON_IDX,
                 t.TAIL.PEREGON_IDX,
                 head.LP_CODE,
                 head.ROUTE_IDX,
                 t.ARRIVAL_LP_CODE,
                 t.SCHEDULE_IDX,
                 t.SCHEDULE_NUMBER,
                 t.LOAD_TYPE,
                 head.DIR | t.TAIL.DIR << 8,
                 (t.SPEED > 0 ? 1u : 0u) | (t.PLACE_TIME != 0 ? 2u : 0u) |
                     (t.DEPARTURE_COMMISSION ? 4u : 0u) |
                     (t.CARS == 0 && t.LEN == 0 && t.WEIGHT == 0 ? 8u : 0u),
                 0};
    const int s = head.SECT_IDX;
    if (s > 0 && s < sections && ApproachRead[s]) {
      // The distances from the head to either end of its section, against the limits at
      // which a look for an approaching train takes it or not.
      const long h = RoundHalfEven(head.SECT_POS);
      const long rest = SectionLength(sim, s) - h;
      const std::vector<int>& up = ApproachSteps[s][1];
      const std::vector<int>& down = ApproachSteps[s][0];
      if (up.size() + down.size() > 26) {
        x.Position = static_cast<std::int32_t>(h);
      } else {
        std::uint32_t bit = 16;
        const auto add = [&](bool on) {
          if (on) x.Bits |= bit;
          bit <<= 1;
        };
        add(h <= kApproachLimit);
        add(rest <= kApproachLimit);
        for (const int limit : up) add(h <= limit);
        for (const int limit : down) add(rest <= limit);
      }
    }
    TrainInput& kept = TrainInputs[static_cast<std::size_t>(i)];
    same &= std::memcmp(&kept, &x, sizeof x) == 0;
    kept = x;
    const int p = head.PEREGON_IDX;
    if (s != 0 && p >= 0 && p < peregons) {
      const auto& ends = area.GraphPeregons[p].LP;
      const std::size_t k =
          2 * static_cast<std::size_t>(p) + (ends[0] == ends[1] ? 0 : head.DIR & 1);
      const double at = Progress(t);
      if (first[k] < 0 || at > ahead[k]) {
        first[k] = i;
        ahead[k] = at;
      }
    }
  }
  std::vector<std::int32_t>& in = Inputs;
  std::size_t n = 0;
  const std::size_t size = 3 + first.size() + 2 * state.Gorls.size() + state.DepartCommits.size();
  same = same && in.size() == size;
  in.resize(size);
  std::int32_t differs = 0;
  const auto put = [&](std::int32_t v) {
    differs |= in[n] ^ v;
    in[n++] = v;
  };
  const std::uint64_t changes = sim.Changes.Interlocking;
  put(static_cast<std::int32_t>(changes));
  put(static_cast<std::int32_t>(changes >> 32));
  put(static_cast<std::int32_t>(state.Gorls.size()));
  for (const int k : first) put(k);
  for (const TGorlTaskData& task : state.Gorls) {
    put((task.TASKED != 0 ? 1 : 0) | (task.SEND ? 2 : 0));
    put(task.TRACK);
  }
  for (const TDepartCommitData& c : state.DepartCommits)
    put((c.EVEN != 0 ? 1 : 0) | (c.ODD != 0 ? 2 : 0));
  InputsKept = true;
  return same && differs == 0;
}

/// What the stations will do by themselves, added to what was seen: trains running through a
/// station that sends without asking count as beyond it, and trains that will stand at a
/// station that lets them go on by themselves claim a track beyond.
void SafetyCheck::Impl::Refine(const SimulationData& sim, std::vector<Seen>& seen) const {
  for (Seen& x : seen) ClaimBeyond(sim, x);
}

}  // namespace traklin
