// The automatic dispatcher: commits, receive tasks and routes for the automated stations.
#include "dispatch/auto_dispatcher.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <unordered_map>

#include "area/area_queries.h"
#include "dispatch/safety_check.h"
#include "state/clock.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/op_task.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/throat_queries.h"
#include "trains/train_creation.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

// A departure route is ordered when the train is due within this time.
constexpr TDateTime kDepartLead = 5 * kMinute;
// How long a train let go onto a line may still take to be on it.
constexpr TDateTime kSetOutMargin = 10 * kMinute;

/// One throat as the dispatcher sees it, or one end of a peregon at a station without
/// throats (G -1).
struct Throat : ThroatView {
  int G = -1;
  bool SingleRoutes = false;  ///< ways are single routes rather than chains
  /// Where an approaching train is looked for beyond the entry section (0: nowhere), and on
  /// which half.
  int OutSection = 0;
  int OutHalf = 0;
};

/// Finds where beyond its entry section a train approaching v would be looked for.
void WatchApproach(const TAreaData& area, Throat& v) {
  v.OutSection = v.Valid ? ApproachOuterSection(area, v.Entry, v.Arrival, v.OutHalf) : 0;
}

/// The train approaching v (ApproachingTrain), asked only when a train stands where the
/// search would find one: most throats have none on most steps.
int Approaching(const SimulationData& sim, const Throat& v) {
  if (TrainOnHalf(sim, v.Entry, v.Arrival & 1) < 0 &&
      (v.OutSection <= 0 || TrainOnHalf(sim, v.OutSection, v.OutHalf) < 0))
    return -1;
  // The section beyond the entry was found when the district was walked.
  return ThroatApproachingTrainVia(sim, v.G, v.Entry, v.Arrival, v.OutSection, v.OutHalf);
}

Throat ThroatAt(const SimulationData& sim, int g) {
  Throat v;
  static_cast<ThroatView&>(v) = ThroatViewOf(sim, g);
  v.G = g;
  return v;
}

int ThroatCount(const SimulationData& sim) {
  return static_cast<int>(std::min(sim.AreaData.GorlStanzs.size(), sim.State.Gorls.size()));
}

std::vector<Throat> PeregonEnds(const SimulationData& sim, int lp);

}  // namespace

/// The district as the dispatcher walks it, and the tables of the current step.
struct AutoDispatchMemo::Tables {
  // What the district tables were when this was derived: a district read anew into the same
  // simulation lives in other storage.
  std::array<const void*, 7> Source{};
  std::array<std::size_t, 7> SourceSizes{};
  bool Built = false;

  std::vector<Throat> Throats;                   ///< per throat: its view (Valid false: skipped)
  std::vector<std::vector<int>> PeregonThroats;  ///< per graph peregon: its throats, in order
  std::vector<std::vector<Throat>> Ends;         ///< per controlled LP: its peregon ends
  /// Per LP: the ways out of other LPs onto a peregon ending at it (throats, and the peregon
  /// ends of stations without a duty officer).
  std::vector<std::vector<Throat>> Feeders;
  std::vector<char> Controlled, Asks, TakesTasks;  ///< per LP
  std::vector<std::vector<int>> Tracks;            ///< per LP: the section of each track
  std::vector<std::vector<int>> CodeThroats;       ///< per LP: the throats of its code, in order
  /// Ways between two sections of an LP (a chain, or a single route), as found so far.
  std::unordered_map<std::uint64_t, int> Ways;

  // Of the current step: the dispatcher's orders move no train, so these hold for the pass.
  std::vector<std::array<bool, 2>> PeregonDirs;  ///< per graph peregon: directions run on it
  /// The signals that lead somewhere, made when first asked for in a step (the dispatcher's
  /// orders set no route within its pass).
  std::vector<int> Leading;
  bool LeadingMade = false;
  const std::vector<int>& LeadingList(const SimulationData& sim) {
    if (!LeadingMade) {
      LeadingSignals(sim, Leading);
      LeadingMade = true;
    }
    return Leading;
  }
  /// Trains that might be sent from a throat: service order, track, train.
  std::vector<std::tuple<std::tuple<bool, TDateTime, int>, int, int>> Candidates;
  /// Whether a commitment keeps every train able to finish.
  SafetyCheck Safety;
  /// Per LP: the dispatcher works it, as the step was given it (the flags read once).
  std::vector<char> Automated;
  bool AutomatedTold = false;  ///< Safety was told of Automated
  void ReadAutomated(const std::vector<bool>& autoLPs) {
    // Read bit by bit, and told to the check only when changed: the flags are the same on
    // almost every step.
    bool same = AutomatedTold && Automated.size() == autoLPs.size();
    Automated.resize(autoLPs.size());
    auto bit = autoLPs.begin();
    for (char& flag : Automated) {
      const char now = *bit++ ? 1 : 0;
      same = same && flag == now;
      flag = now;
    }
    if (same) return;
    Safety.Works(Automated);
    AutomatedTold = true;
    WorkedMade = false;
  }
  /// The throats the dispatcher looks at: valid ones of the LPs it works that have
  /// a duty officer, made again when the district or those LPs change.
  std::vector<int> Worked;
  bool WorkedMade = false;

  void Derive(const SimulationData& sim);
  void TakeStep(const SimulationData& sim);
};

namespace {

using Memo = AutoDispatchMemo::Tables;

template <class T>
const void* DataOf(const std::vector<T>& v) {
  return v.data();
}

/// A key of the way memo: the LP, both sections and whether a single route is meant.
std::uint64_t WayKey(int lp, int from, int to, bool single) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(lp)) << 42) ^
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from) & 0x1FFFFF) << 21) ^
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(to) & 0xFFFFF) << 1) ^
         (single ? 1 : 0);
}

}  // namespace

void AutoDispatchMemo::Tables::Derive(const SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const std::array<const void*, 7> source{DataOf(area.GorlStanzs),    DataOf(area.Puts),
                                          DataOf(area.GraphPeregons), DataOf(area.TrainRoutes),
                                          DataOf(area.Stanzs),        DataOf(area.Sekzs),
                                          DataOf(area.SlSects)};
  const std::array<std::size_t, 7> sizes{
      area.GorlStanzs.size(), area.Puts.size(),  area.GraphPeregons.size(), area.TrainRoutes.size(),
      area.Stanzs.size(),     area.Sekzs.size(), area.SlSects.size()};
  Safety.Derive(sim);
  if (Built && source == Source && sizes == SourceSizes) return;
  Source = source;
  SourceSizes = sizes;
  Built = true;
  WorkedMade = false;
  const int throats = static_cast<int>(area.GorlStanzs.size());
  const int lps = static_cast<int>(area.Puts.size());
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  Throats.assign(throats, Throat{});
  PeregonThroats.assign(peregons, {});
  for (int g = 0; g < throats; ++g) {
    Throats[g] = ThroatAt(sim, g);
    WatchApproach(area, Throats[g]);
    const int p = area.GorlStanzs[g].Peregon - 1;
    if (p >= 0 && p < peregons) PeregonThroats[p].push_back(g);
  }
  Controlled.assign(lps, 0);
  Asks.assign(lps, 0);
  TakesTasks.assign(lps, 0);
  Ends.assign(lps, {});
  Tracks.assign(lps, {});
  CodeThroats.assign(lps, {});
  for (int lp = 0; lp < lps; ++lp) {
    Controlled[lp] = LPIsControlled(area, lp);
    Asks[lp] = LPAsksDispatcher(area, lp);
    TakesTasks[lp] = StationTakesTasks(area, lp);
    if (Controlled[lp]) Ends[lp] = PeregonEnds(sim, lp);
    for (Throat& v : Ends[lp]) WatchApproach(area, v);
    for (int k = 0; k < static_cast<int>(area.Puts[lp].Tracks.size()); ++k)
      Tracks[lp].push_back(TrackSection(area, lp, k));
    for (int g = 0; g < throats; ++g)
      if (area.GorlStanzs[g].Code == area.Puts[lp].Code) CodeThroats[lp].push_back(g);
  }
  Feeders.assign(lps, {});
  const auto feed = [&](const Throat& v) {
    const TGraphPeregonData& per = area.GraphPeregons[v.Peregon];
    for (int e = 0; e < 2; ++e) {
      const int lp = per.LP[e] - 1;
      if (lp >= 0 && lp < lps && lp != v.LP) Feeders[lp].push_back(v);
    }
  };
  for (const Throat& v : Throats)
    if (v.Valid && v.Side >= 0) feed(v);
  for (int lp = 0; lp < lps; ++lp)
    for (const Throat& v : Ends[lp]) feed(v);
  Ways.clear();
  PeregonDirs.assign(peregons, {false, false});
}

void AutoDispatchMemo::Tables::TakeStep(const SimulationData& sim) {
  const TGraphPeregonsData& peregons = sim.AreaData.GraphPeregons;
  const int count = static_cast<int>(peregons.size());
  Safety.Refresh();
  std::fill(PeregonDirs.begin(), PeregonDirs.end(), std::array<bool, 2>{false, false});
  LeadingMade = false;
  for (const TTrainData& t : sim.State.Trains) {
    // A peregon shows the direction of the head of a train on it, else that of its tail.
    const int head = t.HEAD.PEREGON_IDX;
    const int tail = t.TAIL.PEREGON_IDX;
    if (head >= 0 && head < count) PeregonDirs[head][t.HEAD.DIR & 1] = true;
    if (tail >= 0 && tail < count && tail != head) PeregonDirs[tail][t.TAIL.DIR & 1] = true;
  }
}

AutoDispatchMemo::AutoDispatchMemo() = default;
AutoDispatchMemo::~AutoDispatchMemo() = default;
AutoDispatchMemo::AutoDispatchMemo(const AutoDispatchMemo&) {}
AutoDispatchMemo& AutoDispatchMemo::operator=(const AutoDispatchMemo& other) {
  if (this != &other) tables_.reset();
  return *this;
}
AutoDispatchMemo::AutoDispatchMemo(AutoDispatchMemo&&) noexcept = default;
AutoDispatchMemo& AutoDispatchMemo::operator=(AutoDispatchMemo&&) noexcept = default;

AutoDispatchMemo::Tables& AutoDispatchMemo::Get() {
  if (!tables_) tables_ = std::make_unique<Tables>();
  return *tables_;
}

namespace {

/// The first route of the LP from section `from` to section `to`; -1 when none.
int RouteBetween(const TAreaData& area, int lp, int from, int to) {
  const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
  for (int r = 0; r < static_cast<int>(routes.size()); ++r)
    if (routes[r].FirstSection == from && routes[r].LastSection == to) return r;
  return -1;
}

/// A way through a station: a chain, or at a station without a duty officer (whose routes
/// form no chains) a single route.
int WayBetween(const SimulationData& sim, Memo& m, const Throat& v, int from, int to) {
  // While a fault is in force the best way may be another: not kept.
  if (!sim.State.Faults.empty() && !v.SingleRoutes) return FindBestRouteNow(sim, v.LP, from, to);
  const auto [at, fresh] = m.Ways.try_emplace(WayKey(v.LP, from, to, v.SingleRoutes), -1);
  if (fresh)
    at->second = v.SingleRoutes ? RouteBetween(sim.AreaData, v.LP, from, to)
                                : FindBestRoute(sim.AreaData, v.LP, from, to);
  return at->second;
}

/// The way can be ordered now: not ordered yet, no conflict, no train in its way.
/// The way runs through a switch that will not throw or a falsely occupied section.
bool WayBlocked(const SimulationData& sim, const Throat& v, int way) {
  return v.SingleRoutes ? RouteBlockedByFault(sim, v.LP, way) : ChainBlockedByFault(sim, v.LP, way);
}

bool WayFree(const SimulationData& sim, const Throat& v, int way) {
  if (way < 0 || WayBlocked(sim, v, way)) return false;
  if (v.SingleRoutes)
    return !RouteIsPending(sim, v.LP, way) && !RouteIsSet(sim, v.LP, way) &&
           !RouteConflicts(sim, v.LP, way) && !RoutesHoldTrain(sim, v.LP, &way, 1);
  return !ChainPendingOrSet(sim, v.LP, way) && !ChainConflicts(sim, v.LP, way) &&
         !RoutesHoldTrain(sim, v.LP, sim.AreaData.TrainRoutes[v.LP].Chains[way].Routes,
                          kMaxChainRoutes);
}

bool AnyRoutePending(const SimulationData& sim, int lp) {
  const int count = static_cast<int>(
      std::min(sim.AreaData.TrainRoutes[lp].Routes.size(), sim.State.Routes[lp].size()));
  for (int r = 0; r < count; ++r)
    if (RouteIsPending(sim, lp, r)) return true;
  return false;
}

/// Train t leaves the LP through throat v in the throat's own direction.
bool LeavesThrough(SimulationData& sim, const Throat& v, int t) {
  return LeavesThroughThroat(sim, v.G, v.LP, v.Dir, t);
}

/// Some throat of the LP's code holds a receive task for the track (ReceiveTaskOfTrack >= 0).
bool ReceiveTaskOn(const SimulationData& sim, const Memo& m, int lp, int track) {
  for (const int g : m.CodeThroats[lp]) {
    if (g >= ThroatCount(sim)) break;
    const TGorlTaskData& task = sim.State.Gorls[g];
    if (task.TASKED != 0 && !task.SEND && task.TRACK == track) return true;
  }
  return false;
}

/// Train t stands at the LP of throat v, placed, does not end there, and is due before `limit`
/// (or has no departure time).
bool StandsDue(const SimulationData& sim, const Throat& v, int t, TDateTime limit) {
  if (IsMoving(sim, t)) return false;
  const TTrainData& train = sim.State.Trains[t];
  return train.ARRIVAL_LP_CODE != v.Code && train.PLACE_TIME == 0 &&
         (train.DEPARTURE_TIME == 0 || train.DEPARTURE_TIME < limit);
}

/// A train stands at the LP of throat v, due to leave through v soon: within the time a
/// station looks ahead when it sends a train by itself, and the time a train let go now may
/// still take to set out (until it is on the line, only its route shows it, and a route set
/// towards the far end does not keep that station from setting its own).
bool TrainDueToLeave(SimulationData& sim, const Memo& m, const Throat& v) {
  const TDateTime limit = sim.State.ClockTime + kDepartLead + kSetOutMargin;
  for (const int s : m.Tracks[v.LP]) {
    const int t = s != 0 ? TrainOnHalf(sim, s, v.Dir) : -1;
    if (t >= 0 && sim.State.Trains[t].DEPARTURE_TIME != 0 && StandsDue(sim, v, t, limit) &&
        LeavesThrough(sim, v, t))
      return true;
  }
  return false;
}

/// Some route of the LP that ends at section s (a way out through it) is pending or set.
bool DepartureRouteTo(const SimulationData& sim, int lp, int s) {
  if (lp < 0 || lp >= static_cast<int>(sim.AreaData.TrainRoutes.size()) ||
      lp >= static_cast<int>(sim.State.Routes.size()))
    return false;
  const std::vector<TTrainRouteData>& routes = sim.AreaData.TrainRoutes[lp].Routes;
  const TLPRoutesControlData& control = sim.State.Routes[lp];
  const int n = static_cast<int>(std::min(routes.size(), control.size()));
  for (int r = 0; r < n; ++r)
    if ((control[r].TASKED != 0 || control[r].SCHUNTED) && routes[r].LastSection == s) return true;
  return false;
}

/// A train may be sent out through v: nobody on the peregon comes this way, no route is set
/// towards the throat from the other side, and the far end of the peregon neither holds a
/// commit for its way out nor has a way out onto the peregon ordered (a train it is about to
/// send; a way in there is for a train running this way), nor is about to send one by itself:
/// a send task at a throat that needs no commit or at a station that acts by itself (it gives
/// itself the commit), or, at a station that acts by itself without asking, a train due to
/// leave that way (both would set out onto the single line at once).
bool LineSafe(SimulationData& sim, Memo& m, const Throat& v) {
  if (m.PeregonDirs[v.Peregon][v.Arrival]) return false;
  for (const int h : m.PeregonThroats[v.Peregon]) {
    if (h >= ThroatCount(sim)) break;
    const Throat& far = m.Throats[h];
    if (!far.Valid || far.Peregon != v.Peregon || far.LP == v.LP) continue;
    if (far.Side < 1 && DepartCommitGiven(sim, far.LP, far.Dir)) return false;
    if (DepartureRouteTo(sim, far.LP, far.Entry)) return false;
    const TGorlTaskData& task = sim.State.Gorls[h];
    if ((far.Side >= 1 || far.SelfActing) && task.TASKED != 0 && task.SEND) return false;
    // A station it works sends nothing without its leave: the first to get it holds the line.
    if (far.SelfActing && far.Side >= 0 && sim.AreaData.Puts[far.LP].Value2 > 0 &&
        !m.Safety.Worked(far.LP) && TrainDueToLeave(sim, m, far))
      return false;
  }
  // A station without throats sets its routes at the peregon's end section.
  const TGraphPeregonData& per = sim.AreaData.GraphPeregons[v.Peregon];
  for (int e = 0; e < 2; ++e)
    if (per.LP[e] - 1 != v.LP && per.LP[e] > 0 &&
        DepartureRouteTo(sim, per.LP[e] - 1, per.EndSection[e]))
      return false;
  // The search over every signal comes last.
  return !OpposingRouteSet(sim, SectionSemaphore(sim.AreaData, v.Entry, v.Arrival ^ 1),
                           m.LeadingList(sim));
}

/// Train t may be let go from the LP of v onto v's peregon: afterwards every train in the
/// district can still finish (as far as the safety check sees), and on a single line the far end
/// keeps a track for it.
bool SafeToSend(SimulationData& sim, Memo& m, const Throat& v, int t) {
  SafetyMove move;
  move.What = SafetyMove::Depart;
  move.Train = t;
  move.LP = v.LP;
  move.Peregon = v.Peregon;
  return m.Safety.Allows(sim, move);
}

/// The order in which trains are served: passenger before freight, then the earlier
/// timetable time at LP lp (now for a train without one), then the lower number.
std::tuple<bool, TDateTime, int> Priority(SimulationData& sim, int t, int lp) {
  const TTrainData& train = sim.State.Trains[t];
  const TDateTime planned = PlannedDeparture(sim, t, lp);
  return {train.LOAD_TYPE < 100, planned != 0 ? planned : sim.State.ClockTime, train.NUMBER};
}

/// Throat h of v's peregon, at its far end, when it holds a send task onto it; null otherwise.
const Throat* FarSendTask(const SimulationData& sim, const Memo& m, const Throat& v, int h) {
  const TGorlTaskData& task = sim.State.Gorls[h];
  const Throat& far = m.Throats[h];
  if (task.TASKED == 0 || !task.SEND || !far.Valid || far.Peregon != v.Peregon || far.LP == v.LP)
    return nullptr;
  return &far;
}

/// A send task at the far end of v's peregon holds the line against train t: one for a train
/// that comes before t in the order of service and that may go.
bool LineHeldFor(SimulationData& sim, Memo& m, const Throat& v, int t) {
  for (const int h : m.PeregonThroats[v.Peregon]) {
    if (h >= ThroatCount(sim)) break;
    const Throat* found = FarSendTask(sim, m, v, h);
    if (found == nullptr) continue;
    const Throat& far = *found;
    const TGorlTaskData& task = sim.State.Gorls[h];
    const int s = TrackSection(sim.AreaData, far.LP, task.TRACK);
    const int other = s != 0 ? TrainForTrack(sim, far.LP, s, far.Dir) : -1;
    // A train that this station could not take in holds nothing.
    if (other >= 0 && Priority(sim, other, far.LP) < Priority(sim, t, v.LP) &&
        SafeToSend(sim, m, far, other))
      return true;
  }
  return false;
}

/// Whether train t may take the line beyond v against the send tasks at the far end: a task
/// for a train that comes first holds it; the tasks of the others are cancelled, since a
/// throat that holds a send task cannot take the arriving train in.
bool ClaimLine(SimulationData& sim, Memo& m, const Throat& v, int t) {
  if (LineHeldFor(sim, m, v, t)) return false;
  bool yielded = false;
  for (const int h : m.PeregonThroats[v.Peregon]) {
    if (h >= ThroatCount(sim)) break;
    if (FarSendTask(sim, m, v, h) == nullptr) continue;
    CancelTask(sim, h);
    yielded = true;
  }
  if (yielded) m.Safety.Refresh();
  return true;
}

// ---------------------------------------------------------------------------
// Stations with a duty officer

/// The far end of v's peregon holds a send task that is not let go yet: its throat needs a
/// commit that is not given, or needs none (the task then goes by itself).
bool FarEndWaits(SimulationData& sim, Memo& m, const Throat& v) {
  for (const int h : m.PeregonThroats[v.Peregon]) {
    if (h >= ThroatCount(sim)) break;
    const Throat& far = m.Throats[h];
    const TGorlTaskData& task = sim.State.Gorls[h];
    if (far.Valid && far.Peregon == v.Peregon && far.LP != v.LP && task.TASKED != 0 && task.SEND &&
        !(far.Side < 1 && DepartCommitGiven(sim, far.LP, far.Dir)))
      return true;
  }
  return false;
}

/// Some train at the LP of v other than t is due to leave through v and may go now.
bool OtherCanGo(SimulationData& sim, Memo& m, const Throat& v, int t,
                const std::vector<AutoHold>& holds) {
  const TDateTime limit = sim.State.ClockTime + kDepartLead;
  for (const int s : m.Tracks[v.LP]) {
    const int u = s != 0 ? TrainOnHalf(sim, s, v.Dir) : -1;
    if (u < 0 || u == t || !StandsDue(sim, v, u, limit) ||
        IsHeld(holds, sim.State.Trains[u].NUMBER, sim.State.ClockTime))
      continue;
    if (LeavesThrough(sim, v, u) && SafeToSend(sim, m, v, u)) return true;
  }
  return false;
}

/// The commit a station asked for while a send task stands for its train.
void GiveCommit(SimulationData& sim, Memo& m, const Throat& v, const std::vector<AutoHold>& holds) {
  const TGorlTaskData& task = sim.State.Gorls[v.G];
  // Once the station has spent the commit on ordering the way out, the task stands until
  // that way is set: a second commit would outlive the departure it was meant for.
  if (task.TASKED == 0 || !task.SEND || task.TRANSIT || v.Side >= 1 ||
      DepartCommitGiven(sim, v.LP, v.Dir) || ThroatRouteBusy(sim, v.LP, v.Entry))
    return;
  const int s = TrackSection(sim.AreaData, v.LP, task.TRACK);
  if (s == 0) return;
  const int t = TrainForTrack(sim, v.LP, s, v.Dir);
  if (t < 0 || IsHeld(holds, sim.State.Trains[t].NUMBER, sim.State.ClockTime)) return;
  const TTrainData& train = sim.State.Trains[t];
  // While the line is blocked a train asks on every step: the question that fails most
  // often and costs least comes first.
  if (train.REQUEST_TIME == 0 || train.REQUEST_TYPE != rqDepartPermit ||
      train.REQUEST_LP_CODE != v.Code || !LeavesThrough(sim, v, t))
    return;
  // A train on the line coming this way will arrive: the task waits for it. Held back only
  // by what the far end means to do, a task for a train the check would not let go either is
  // taken back, or the two ends would wait for each other for good.
  const bool lineSafe = LineSafe(sim, m, v);
  if (!lineSafe && m.PeregonDirs[v.Peregon][v.Arrival]) return;
  const bool safe = SafeToSend(sim, m, v, t);
  if (!lineSafe && safe) return;
  // The train the station chose cannot go for now: it keeps its task, and so its place in
  // the turn, while no other train here could go instead and either the line is its own or
  // the far end holds no task that waits for a commit too (the two would wait for each other).
  if (!safe && (lineSafe || !FarEndWaits(sim, m, v)) && !OtherCanGo(sim, m, v, t, holds)) return;
  if (!safe) {
    // Another train could go in its stead, or both ends would wait: the task, which keeps the
    // throat from any other, is taken back, and the station chooses again.
    CancelTask(sim, v.G);
    m.Safety.Refresh();
    return;
  }
  if (!ClaimLine(sim, m, v, t)) return;
  ToggleDepartCommit(sim, v.LP, v.Dir);
  m.Safety.Refresh();
}

/// A free track of the LP for train t coming in through throat v: the district's choice
/// first, else the highest free suitable track a way reaches (for a train with a dependant, a
/// receive-only track last), of those the safety check lets it take; -1 when none. With an
/// onward entry section (above 0) the track must also lead on to it.
int ReceptionTrack(SimulationData& sim, Memo& m, const Throat& v, int t, int onward, int* way) {
  const std::vector<int>& tracks = m.Tracks[v.LP];
  const auto usable = [&](int k) {
    const int s = tracks[k];
    if (s == 0 || !SectionFree(sim, s) || !TrackSuits(sim, v.LP, k, t) ||
        ReceiveTaskOn(sim, m, v.LP, k) || (onward > 0 && WayBetween(sim, m, v, s, onward) < 0))
      return false;
    *way = WayBetween(sim, m, v, v.Entry, s);
    if (*way < 0 || WayBlocked(sim, v, *way)) return false;
    // A track kept for another train on its way here stays its own.
    SafetyMove move;
    move.What = SafetyMove::Receive;
    move.Train = t;
    move.LP = v.LP;
    move.Track = k;
    return m.Safety.Allows(sim, move);
  };
  const int best = v.G >= 0 ? ChooseReceptionTrack(sim, v.LP, v.G, t) : -1;
  if (best >= 0 && usable(best)) return best;
  // A receive-only track only when no other will do for a train with a dependant.
  for (const bool second : {false, true})
    for (int k = static_cast<int>(tracks.size()) - 1; k >= 0; --k)
      if (ReceiveOnlyTrackForParent(sim, v.LP, k, t) == second && usable(k)) return k;
  return -1;
}

/// The send throat of the station's slots through which train t, not stopping here, goes on
/// in the direction it came (slot side and number in *side, *number); -1 when none.
int OnwardThroat(SimulationData& sim, const Memo& m, const Throat& v, const TaskThroatSlots& slots,
                 int t, int* side, int* number) {
  if (TrainStopsAt(sim, v.Code, t)) return -1;
  for (int sd = 0; sd < 2; ++sd)
    for (int n = 0; n < 2; ++n) {
      const int q = slots.At(sd, 1, n);
      if (q < 0 || q >= ThroatCount(sim)) continue;
      const Throat& onward = m.Throats[q];
      // A train that would leave the way it came needs a locomotive change: no transit.
      if (!onward.Valid || onward.Dir != v.Arrival || !LeavesThrough(sim, onward, t)) continue;
      *side = sd;
      *number = n;
      return q;
    }
  return -1;
}

/// At a station that acts by itself, a send task that cannot be carried out while a train
/// comes in the other way on its line, and that keeps the station from taking that train in
/// through the same throat: it is cancelled (the station sends its train again once the line
/// is clear).
void FreeThroat(SimulationData& sim, Memo& m, const Throat& v) {
  const TGorlTaskData& task = sim.State.Gorls[v.G];
  if (task.TASKED == 0 || !task.SEND || task.TRANSIT || !m.PeregonDirs[v.Peregon][v.Arrival] ||
      ThroatRouteBusy(sim, v.LP, v.Entry) || Approaching(sim, v) < 0)
    return;
  CancelTask(sim, v.G);
  m.Safety.Refresh();
}

/// A receive task for a train approaching a station that waits for the dispatcher's orders;
/// a transit when the train does not stop there and goes on through a send throat.
void GiveReceiveTask(SimulationData& sim, Memo& m, const Throat& v) {
  if (v.Side >= 1) return;
  const int t = Approaching(sim, v);
  if (t < 0 || ThroatRouteBusy(sim, v.LP, v.Entry)) return;
  const TGorlTaskData& task = sim.State.Gorls[v.G];
  if (task.TASKED != 0) {
    // A send task still waiting for its commit can never be carried out while a train comes
    // in the other way; it gives the throat back to the arriving train.
    if (!task.SEND || task.TRANSIT || DepartCommitGiven(sim, v.LP, v.Dir) ||
        !m.PeregonDirs[v.Peregon][v.Arrival])
      return;
    CancelTask(sim, v.G);
    m.Safety.Refresh();
  }
  const TaskThroatSlots slots = ThroatSlotsOf(sim.AreaData, v.LP);
  int side = -1, number = -1;
  for (int sd = 0; sd < 2; ++sd)
    for (int n = 0; n < 2; ++n)
      if (slots.At(sd, 0, n) == v.G) {
        side = sd;
        number = n;
      }
  if (side < 0) return;
  int sendSide = -1, sendNumber = -1;
  const int q = OnwardThroat(sim, m, v, slots, t, &sendSide, &sendNumber);
  // A transit sends the train on without a stop; towards a station that cannot take it the
  // train is taken in instead and waits here for the line.
  const bool transit = q >= 0 && sendSide == 1 - side && sim.State.Gorls[q].TASKED == 0 &&
                       SafeToSend(sim, m, m.Throats[q], t);
  int way = -1;
  const int onward = transit ? sim.AreaData.GorlStanzs[q].EntrySection : 0;
  const int track = ReceptionTrack(sim, m, v, t, onward, &way);
  if (track < 0 || !WayFree(sim, v, way)) return;

  TaskChoice choice;
  choice.Track = track;
  for (int d = 0; d < static_cast<int>(kTaskDeeds.size()); ++d) {
    const TaskDeed& deed = kTaskDeeds[d];
    if (deed.Transit() == transit && deed.Receives && deed.ReceiveSide() == side) choice.Deed = d;
  }
  // The inlet names the throats where a side has two: receive and send throat in pairs
  // when both sides have two, else the one of the side that has.
  const bool twoIn = slots.Count(side, 0) == 2;
  const bool twoOut = transit && slots.Count(sendSide, 1) == 2;
  choice.FourInlets = twoIn && twoOut;
  if (twoIn || twoOut)
    choice.Inlet = choice.FourInlets ? number * 2 + sendNumber : (twoIn ? number : sendNumber);
  if (choice.Inlet >= 0) {
    const std::vector<std::string> inlets =
        TaskDeedInlets(sim.AreaData, slots, kTaskDeeds[choice.Deed]);
    if (choice.Inlet < static_cast<int>(inlets.size())) choice.InletCaption = inlets[choice.Inlet];
  }
  bool written = false;
  OrderThroatTask(sim, slots, choice, &written);
  m.Safety.Refresh();
  if (written || !transit) return;
  // A refused transit still takes the train in; it is sent on from the track.
  for (int d = 0; d < static_cast<int>(kTaskDeeds.size()); ++d) {
    const TaskDeed& deed = kTaskDeeds[d];
    if (!deed.Sends && deed.ReceiveSide() == side) choice.Deed = d;
  }
  choice.FourInlets = false;
  choice.Inlet = twoIn ? number : -1;
  choice.InletCaption.clear();
  if (choice.Inlet >= 0) {
    const std::vector<std::string> inlets =
        TaskDeedInlets(sim.AreaData, slots, kTaskDeeds[choice.Deed]);
    if (choice.Inlet < static_cast<int>(inlets.size())) choice.InletCaption = inlets[choice.Inlet];
  }
  OrderThroatTask(sim, slots, choice);
  m.Safety.Refresh();
}

/// A send task for a train that stands at a station which waits for orders to send it: one
/// received there without a stop of its own (a station sends only its timetable stops by
/// itself). The line must be free of trains coming this way and of the far end's commit,
/// so that the far end keeps its throat for the arriving train.
void GiveSendTask(SimulationData& sim, Memo& m, const Throat& v,
                  const std::vector<AutoHold>& holds) {
  if (v.Side < 0 || sim.State.Gorls[v.G].TASKED != 0 || m.PeregonDirs[v.Peregon][v.Arrival]) return;
  const TAreaData& area = sim.AreaData;
  const TDateTime limit = sim.State.ClockTime + kDepartLead;
  // The candidates in the order of service (on a tie the lower track); the costly question
  // whether a train leaves through this throat is asked in that order until one does.
  std::vector<std::tuple<std::tuple<bool, TDateTime, int>, int, int>>& candidates = m.Candidates;
  candidates.clear();
  const std::vector<int>& tracks = m.Tracks[v.LP];
  for (int k = 0; k < static_cast<int>(tracks.size()); ++k) {
    const int t = TrainOnHalf(sim, tracks[k], v.Dir);
    if (t < 0 || IsMoving(sim, t)) continue;
    const TTrainData& train = sim.State.Trains[t];
    if (IsHeld(holds, train.NUMBER, sim.State.ClockTime)) continue;
    if (train.DEPARTURE_SCHEDULED || train.ARRIVAL_LP_CODE == v.Code || train.PLACE_TIME != 0 ||
        (train.DEPARTURE_TIME != 0 && !(train.DEPARTURE_TIME < limit)))
      continue;
    candidates.emplace_back(std::tuple<bool, TDateTime, int>{}, k, t);
  }
  // Most throats have no train to send on most steps: the walk over the LP's routes comes
  // after the look at its tracks.
  if (candidates.empty() || ThroatRouteBusy(sim, v.LP, v.Entry)) return;
  for (auto& [priority, k, t] : candidates) priority = Priority(sim, t, v.LP);
  std::sort(candidates.begin(), candidates.end());
  // The first in the order of service that leaves here and that the safety check lets go.
  int best = -1, track = -1;
  for (const auto& [priority, k, t] : candidates)
    if (LeavesThrough(sim, v, t) && SafeToSend(sim, m, v, t)) {
      best = t;
      track = k;
      break;
    }
  if (best < 0) return;
  const TaskThroatSlots slots = ThroatSlotsOf(area, v.LP);
  for (int side = 0; side < 2; ++side)
    for (int n = 0; n < 2; ++n) {
      if (slots.At(side, 1, n) != v.G) continue;
      TaskChoice choice;
      choice.Track = track;
      for (int d = 0; d < static_cast<int>(kTaskDeeds.size()); ++d)
        if (kTaskDeeds[d].Sends && !kTaskDeeds[d].Receives && kTaskDeeds[d].Side == side)
          choice.Deed = d;
      if (slots.Count(side, 1) == 2) {
        choice.Inlet = n;
        const std::vector<std::string> inlets =
            TaskDeedInlets(area, slots, kTaskDeeds[choice.Deed]);
        if (n < static_cast<int>(inlets.size())) choice.InletCaption = inlets[n];
      }
      OrderThroatTask(sim, slots, choice);
      m.Safety.Refresh();
      return;
    }
}

// ---------------------------------------------------------------------------
// Controlled stations

struct Candidate {
  int Train = -1;
  int Route = -1;  ///< the route to order
  int Peregon = -1;
  Throat Way;  ///< the way out, for a departure
  bool Departure = false;
  bool Passenger = false;
  TDateTime Time = 0;
  int Number = 0;
};

Candidate MakeCandidate(SimulationData& sim, const Throat& v, int t, int chain) {
  Candidate c;
  c.Train = t;
  c.Route = chain;
  c.Peregon = v.Peregon;
  const TTrainData& train = sim.State.Trains[t];
  c.Passenger = train.LOAD_TYPE >= 100;
  const TDateTime planned = PlannedDeparture(sim, t, v.LP);
  c.Time = planned != 0 ? planned : sim.State.ClockTime;
  c.Number = train.NUMBER;
  return c;
}

void AddReception(SimulationData& sim, Memo& m, const Throat& v, std::vector<Candidate>& out) {
  if (v.Side >= 1) return;
  const int t = Approaching(sim, v);
  if (t < 0 || ThroatRouteBusy(sim, v.LP, v.Entry)) return;
  int chain = -1;
  if (ReceptionTrack(sim, m, v, t, 0, &chain) < 0 || !WayFree(sim, v, chain)) return;
  out.push_back(MakeCandidate(sim, v, t, chain));
}

void AddDepartures(SimulationData& sim, Memo& m, const Throat& v,
                   const std::vector<AutoHold>& holds, std::vector<Candidate>& out) {
  if (v.Side < 0 || ThroatRouteBusy(sim, v.LP, v.Entry)) return;
  const TDateTime limit = sim.State.ClockTime + kDepartLead;
  const std::size_t first = out.size();
  const std::vector<int>& tracks = m.Tracks[v.LP];
  for (int k = 0; k < static_cast<int>(tracks.size()); ++k) {
    const int s = tracks[k];
    if (s == 0) continue;
    bool standing = false;
    const int t = TrainForTrack(sim, v.LP, s, v.Dir, &standing);
    if (t < 0 || (standing && IsMoving(sim, t)) ||
        IsHeld(holds, sim.State.Trains[t].NUMBER, sim.State.ClockTime))
      continue;
    const TDateTime due =
        standing ? sim.State.Trains[t].DEPARTURE_TIME : PlannedDeparture(sim, t, v.LP);
    if (due != 0 && !(due < limit)) continue;
    // Without throats the train leaves the way it faces.
    if (sim.State.Trains[t].ARRIVAL_LP_CODE == v.Code) continue;
    const int chain = WayBetween(sim, m, v, s, v.Entry);
    if (!WayFree(sim, v, chain)) continue;
    out.push_back(MakeCandidate(sim, v, t, chain));
    out.back().Way = v;
    out.back().Departure = true;
  }
  // The line is the same for every train of this end: asked once, and only when some train
  // could go.
  if (out.size() > first && !LineSafe(sim, m, v)) out.resize(first);
}

/// The ways in and out of a station without a duty officer, one per graph peregon that ends
/// at it: a train arriving at end e of a peregon runs in direction e.
std::vector<Throat> PeregonEnds(const SimulationData& sim, int lp) {
  const TAreaData& area = sim.AreaData;
  std::vector<Throat> ends;
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p) {
    for (int e = 0; e < 2; ++e) {
      const TGraphPeregonData& per = area.GraphPeregons[p];
      if (per.LP[e] != lp + 1 || !ValidSection(area, per.EndSection[e])) continue;
      Throat v;
      v.Valid = true;
      v.LP = lp;
      v.Code = area.Puts[lp].Code;
      v.Arrival = e;
      v.Dir = e ^ 1;
      v.Peregon = p;
      v.Entry = per.EndSection[e];
      v.SingleRoutes = true;
      ends.push_back(v);
    }
  }
  return ends;
}

void DispatchControlled(SimulationData& sim, Memo& m, int lp, const std::vector<AutoHold>& holds) {
  if (lp >= static_cast<int>(sim.State.Routes.size()) || AnyRoutePending(sim, lp)) return;
  std::vector<Candidate> candidates;
  for (const Throat& v : m.Ends[lp]) {
    AddReception(sim, m, v, candidates);
    AddDepartures(sim, m, v, holds, candidates);
  }
  if (candidates.empty()) return;
  const auto key = [](const Candidate& c) {
    return std::make_tuple(!c.Passenger, c.Time, c.Number, c.Peregon);
  };
  std::stable_sort(candidates.begin(), candidates.end(),
                   [&](const Candidate& a, const Candidate& b) { return key(a) < key(b); });
  // The first that passes the safety check; a departure that the far end's own send task
  // holds back ends the turn.
  for (const Candidate& c : candidates) {
    if (c.Departure && !SafeToSend(sim, m, c.Way, c.Train)) continue;
    if (c.Departure && !ClaimLine(sim, m, c.Way, c.Train)) return;
    OrderRoute(sim, lp, c.Route);
    m.Safety.Refresh();
    return;
  }
}

// ---------------------------------------------------------------------------
// Questions refused

/// The throat through which train t would leave LP lp (the first of the LP's that it leaves
/// through); null when none.
const Throat* WayOut(SimulationData& sim, const Memo& m, int lp, int t) {
  for (int g = 0; g < ThroatCount(sim); ++g) {
    const Throat& v = m.Throats[g];
    if (v.Valid && v.LP == lp && v.Side >= 0 && LeavesThrough(sim, v, t)) return &v;
  }
  return nullptr;
}

/// Train t may be put out or taken in at LP lp onto `track` (-1: none named): a track that a
/// train on its way here was given stays its own, and the move must pass the safety check.
bool AdmitTo(SimulationData& sim, Memo& m, int lp, int t, int track) {
  const int s = TrackSection(sim.AreaData, lp, track);
  if (track >= 0 && (s == 0 || ReceiveTaskOn(sim, m, lp, track) || ThroatRouteBusy(sim, lp, s)))
    return false;
  SafetyMove move;
  move.What = SafetyMove::Admit;
  move.Train = t;
  move.LP = lp;
  move.Track = track;
  return m.Safety.Allows(sim, move);
}

/// Train t, waiting outside the district at LP lp, would be put out or taken in whichever track
/// the station offers: every free track there that suits it may be given to it.
bool AdmitWouldPass(SimulationData& sim, Memo& m, int lp, int t) {
  bool any = false;
  const std::vector<int>& tracks = m.Tracks[lp];
  for (int k = 0; k < static_cast<int>(tracks.size()); ++k) {
    const int s = tracks[k];
    if (s == 0 || TrainOnHalf(sim, s, 0) >= 0 || TrainOnHalf(sim, s, 1) >= 0 ||
        !TrackSuits(sim, lp, k, t))
      continue;
    if (!AdmitTo(sim, m, lp, t, k)) return false;
    any = true;
  }
  return any;
}

/// A question about train t that a station the dispatcher works put and had refused, still on
/// record in the train: the station asks it again only once its pause is over. When the move
/// it asked for would now pass as the answer judges it (on a departure, short of the far end's
/// tasks it would cancel), the record's time is cleared, so that the station asks again on
/// its next look rather than at the pause's end. So too for a train the station could not put
/// out or take in for want of a track ("Жду освобождения пути …"), once it would find one. A record
/// that would not pass is judged again at every look in its pause (the safety check keeps its
/// verdicts while the line is as it was).
void ReopenRefused(SimulationData& sim, Memo& m, int t, const std::vector<AutoHold>& holds) {
  TTrainData& train = sim.State.Trains[t];
  const int kind = train.REQUEST_TYPE;
  // Past its pause the record lapses by itself within a few steps.
  if (train.REQUEST_TIME + SameRequestPauseMin(sim, kind) * kMinute < sim.State.ClockTime) return;
  const int lp = FindLPIndex(sim.AreaData, train.REQUEST_LP_CODE);
  if (lp < 0 || lp >= static_cast<int>(m.Automated.size()) || !m.Automated[lp] ||
      train.HEAD.LP_CODE != train.REQUEST_LP_CODE)
    return;
  bool passes = false;
  if (kind == rqPut || kind == rqReceive) {
    // A train put on its track has had its yes.
    if (train.HEAD.SECT_IDX != 0 || train.PLACE_TIME != 0) return;
    // A station that found no track tries again only after its pause, though one is free now.
    if (train.REQUEST_PERFORMABLE != 1 && !CanPutOutOrReceive(sim, t, lp)) return;
    passes = AdmitWouldPass(sim, m, lp, t);
  } else {
    if (IsMoving(sim, t) || IsHeld(holds, train.NUMBER, sim.State.ClockTime)) return;
    const Throat* v = WayOut(sim, m, lp, t);
    // A task through the throat is the station's answer already taken.
    if (v == nullptr || sim.State.Gorls[v->G].TASKED != 0) return;
    passes = LineSafe(sim, m, *v) && SafeToSend(sim, m, *v, t) && !LineHeldFor(sim, m, *v, t);
  }
  if (passes) train.REQUEST_TIME = 0;
}

/// ReopenRefused for every train whose last request is a question the dispatcher judges.
void ReopenRefused(SimulationData& sim, Memo& m, const std::vector<AutoHold>& holds) {
  for (int t = 0; t < static_cast<int>(sim.State.Trains.size()); ++t) {
    const TTrainData& train = sim.State.Trains[t];
    if (train.REQUEST_TIME == 0) continue;
    const int kind = train.REQUEST_TYPE;
    // Only a question (performable) is answered; of the reports, only a station's waiting for
    // a track to put out or take in a train is followed, since a free track ends it.
    if (train.REQUEST_PERFORMABLE != 1 && kind != rqPut && kind != rqReceive) continue;
    if (kind == rqPut || kind == rqReceive || kind == rqDepartPermit)
      ReopenRefused(sim, m, t, holds);
  }
}

}  // namespace

std::optional<bool> AutoAnswer(SimulationData& sim, const std::vector<bool>& autoLPs,
                               const std::vector<AutoHold>& holds, AutoDispatchMemo& memo, int lp,
                               int train, int track, int kind) {
  if ((kind != rqDepartPermit && kind != rqDepartReady && kind != rqPut && kind != rqReceive &&
       kind != rqUnsuitableTrack) ||
      lp < 0 || lp >= static_cast<int>(autoLPs.size()) || !autoLPs[lp] || train < 0 ||
      train >= static_cast<int>(sim.State.Trains.size()))
    return std::nullopt;
  // It takes trains only onto tracks that suit them: the task is cancelled and the train is
  // given a track that does.
  if (kind == rqUnsuitableTrack) return false;
  Memo& m = memo.Get();
  m.Derive(sim);
  m.TakeStep(sim);
  m.ReadAutomated(autoLPs);
  if (kind == rqPut || kind == rqReceive) return AdmitTo(sim, m, lp, train, track);
  if (IsHeld(holds, sim.State.Trains[train].NUMBER, sim.State.ClockTime)) return false;
  const Throat* v = WayOut(sim, m, lp, train);
  // No way out that the train could take.
  if (v == nullptr) return false;
  // Where the throat needs a commit, the commit is judged in full at every look once the
  // send task stands: the train takes its task at once rather than asking again later.
  if (kind == rqDepartReady && v->Side < 1) return true;
  return LineSafe(sim, m, *v) && SafeToSend(sim, m, *v, train) && ClaimLine(sim, m, *v, train);
}

bool AutoDispatcherLooks(TDateTime now) {
  // A clock off the grid of steps still alternates.
  return std::llround(now / kStepLength) % 2 == 0;
}

bool IsHeld(const std::vector<AutoHold>& holds, int number, TDateTime now) {
  for (const AutoHold& h : holds)
    if (h.Number == number && now < h.Until) return true;
  return false;
}

void AutoDispatch(SimulationData& sim, const std::vector<bool>& autoLPs,
                  const std::vector<AutoHold>& holds) {
  AutoDispatchMemo memo;
  AutoDispatch(sim, autoLPs, holds, memo);
}

void AutoDispatch(SimulationData& sim, const std::vector<bool>& autoLPs,
                  const std::vector<AutoHold>& holds, AutoDispatchMemo& memo) {
  if (std::find(autoLPs.begin(), autoLPs.end(), true) == autoLPs.end()) return;
  Memo& m = memo.Get();
  m.Derive(sim);
  m.TakeStep(sim);
  m.ReadAutomated(autoLPs);
  const std::vector<char>& automatedLPs = m.Automated;
  const auto automated = [&](int lp) {
    return lp >= 0 && lp < static_cast<int>(automatedLPs.size()) && automatedLPs[lp];
  };
  for (int lp = 0; lp < static_cast<int>(m.Controlled.size()); ++lp)
    if (automated(lp) && m.Controlled[lp]) DispatchControlled(sim, m, lp, holds);
  const bool watched = ThroatWatchCurrent(sim);
  if (!m.WorkedMade) {
    m.Worked.clear();
    for (int g = 0; g < static_cast<int>(m.Throats.size()); ++g) {
      const Throat& v = m.Throats[g];
      if (v.Valid && automated(v.LP) && !m.Controlled[v.LP]) m.Worked.push_back(g);
    }
    m.WorkedMade = true;
  }
  // The dispatcher's orders add and remove no throat.
  const int throats = ThroatCount(sim);
  for (const int g : m.Worked) {
    if (g >= throats) break;
    const Throat& v = m.Throats[g];
    if (!m.Asks[v.LP]) {
      FreeThroat(sim, m, v);
      continue;
    }
    GiveCommit(sim, m, v, holds);
    // With no train approaching and none on its tracks there is no task to give.
    if (!m.TakesTasks[v.LP] || (watched && ThroatKnownQuiet(sim, g))) continue;
    GiveReceiveTask(sim, m, v);
    GiveSendTask(sim, m, v, holds);
  }
  ReopenRefused(sim, m, holds);
}

}  // namespace traklin
