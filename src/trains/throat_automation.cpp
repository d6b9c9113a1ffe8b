// Station automation and throat tasks: what duty officers do on their own and on order.
#include "trains/throat_automation.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

/// The view of throat g as the district gives it.
ThroatView MakeThroatView(const TAreaData& area, int g);

// A train is sent when it is due within this time; a transit when within the longer one.
constexpr TDateTime kSendLead = 5 * kMinute;
constexpr TDateTime kTransitLead = 9 * kMinute;

int ThroatCount(const SimulationData& sim) {
  return static_cast<int>(std::min(sim.AreaData.GorlStanzs.size(), sim.State.Gorls.size()));
}

/// The station at the far end of the throat's peregon has ordered a way out onto it that is
/// not set yet. The line is then taken: a train sent this way meanwhile would keep that way
/// out from ever being set, and the way out, waiting, would keep its station from taking the
/// train in.
bool FarWayOutOrdered(const SimulationData& sim, const ThroatView& v) {
  const TAreaData& area = sim.AreaData;
  for (int g = 0; g < ThroatCount(sim); ++g) {
    const TGorlStanzData& th = area.GorlStanzs[g];
    if (th.Peregon - 1 != v.Peregon) continue;
    const int lp = ThroatLPIndex(area, g);
    if (lp < 0 || lp == v.LP || lp >= static_cast<int>(area.TrainRoutes.size()) ||
        lp >= static_cast<int>(sim.State.Routes.size()))
      continue;
    const std::vector<TTrainRouteData>& routes = area.TrainRoutes[lp].Routes;
    const TLPRoutesControlData& control = sim.State.Routes[lp];
    const int n = static_cast<int>(std::min(routes.size(), control.size()));
    for (int r = 0; r < n; ++r)
      if (control[r].TASKED != 0 && !control[r].SCHUNTED &&
          routes[r].LastSection == th.EntrySection)
        return true;
  }
  return false;
}

/// The line beyond the throat is clear for a departure: no train on the peregon comes this
/// way, no route is set towards the throat's exit signal from the other side, and the station
/// there has ordered no way out onto it.
bool WayOutClear(const SimulationData& sim, const ThroatView& v) {
  return !PeregonOccupiedDirections(sim, v.Peregon)[v.Arrival] &&
         !OpposingRouteSet(sim, SectionSemaphore(sim.AreaData, v.Entry, v.Arrival ^ 1)) &&
         !FarWayOutOrdered(sim, v);
}

/// What the stations' decisions ask over and over within one pass, found when first asked
/// for: the pass sets no route and moves no train, so both hold for the whole pass.
class PassLookups {
 public:
  PassLookups(const SimulationData& sim, TThroatChanges& scratch)
      : sim_(sim), leading_(scratch.Leading), dirs_(scratch.Dirs) {}
  /// LeadingSignals.
  const std::vector<int>& Leading() {
    if (!leadingMade_) {
      // The routes' pass of this step keeps the list; a fresh one only when it does not hold.
      const std::vector<int>* kept = KeptLeadingSignals(sim_);
      if (kept == nullptr) LeadingSignals(sim_, leading_);
      list_ = kept != nullptr ? kept : &leading_;
      leadingMade_ = true;
    }
    return *list_;
  }
  /// PeregonOccupiedDirections(p)[dir] for a valid graph peregon p.
  bool Runs(int p, int dir) {
    if (!dirsMade_) {
      const int count = static_cast<int>(sim_.AreaData.GraphPeregons.size());
      dirs_.assign(count, {false, false});
      for (const TTrainData& t : sim_.State.Trains) {
        // A peregon shows the direction of the head of a train on it, else that of its tail.
        const int head = t.HEAD.PEREGON_IDX, tail = t.TAIL.PEREGON_IDX;
        if (head >= 0 && head < count) dirs_[head][t.HEAD.DIR & 1] = true;
        if (tail >= 0 && tail < count && tail != head) dirs_[tail][t.TAIL.DIR & 1] = true;
      }
      dirsMade_ = true;
    }
    return p >= 0 && p < static_cast<int>(dirs_.size()) && dirs_[p][dir & 1];
  }

 private:
  const SimulationData& sim_;
  std::vector<int>& leading_;
  const std::vector<int>* list_ = nullptr;
  bool leadingMade_ = false;
  std::vector<std::array<bool, 2>>& dirs_;
  bool dirsMade_ = false;
};

/// WayOutClear with the pass's lookups.
bool WayOutClear(const SimulationData& sim, const ThroatView& v, PassLookups& pass) {
  return !pass.Runs(v.Peregon, v.Arrival) &&
         !OpposingRouteSet(sim, SectionSemaphore(sim.AreaData, v.Entry, v.Arrival ^ 1),
                           pass.Leading()) &&
         !FarWayOutOrdered(sim, v);
}

/// Some route of the chain holds a train: from its second section on for the first route,
/// anywhere for the later ones.
bool ChainHoldsTrain(const SimulationData& sim, int lp, int chain) {
  return RoutesHoldTrain(sim, lp, sim.AreaData.TrainRoutes[lp].Chains[chain].Routes,
                         kMaxChainRoutes);
}

/// Some route of the chain is set (a longer chain may be set in part).
bool ChainHasSetRoute(const SimulationData& sim, int lp, int chain) {
  const TChainData& c = sim.AreaData.TrainRoutes[lp].Chains[chain];
  for (int k = 0; k < kMaxChainRoutes && c.Routes[k] >= 0; ++k)
    if (RouteIsSet(sim, lp, c.Routes[k])) return true;
  return false;
}

void SetTask(SimulationData& sim, int g, bool send, bool transit, int track) {
  TGorlTaskData& task = sim.State.Gorls[g];
  task.TASKED = sim.State.ClockTime;
  task.SEND = send;
  task.TRANSIT = transit;
  task.TRACK = track;
  task.DIR.clear();
}

void FinishTask(SimulationData& sim, int g) {
  sim.State.Gorls[g].TASKED = 0;
  if (sim.OnTasksChanged) sim.OnTasksChanged();
}

/// FindBestRouteNow for the task of throat g: the district's best chain between the two
/// sections is kept per throat, the faults are looked at afresh.
int TaskChain(SimulationData& sim, int g, int lp, int from, int to) {
  const TAreaData& area = sim.AreaData;
  TThroatChanges& c = sim.Changes.Throats;
  if (c.ChainsOf != area.TrainRoutes.data() || c.ChainsLPs != area.TrainRoutes.size() ||
      c.TaskChains.size() != area.GorlStanzs.size()) {
    c.TaskChains.assign(area.GorlStanzs.size(), {-1, 0, 0, -1});
    c.ChainsOf = area.TrainRoutes.data();
    c.ChainsLPs = area.TrainRoutes.size();
  }
  std::array<int, 4>& kept = c.TaskChains[static_cast<std::size_t>(g)];
  if (kept[0] != lp || kept[1] != from || kept[2] != to)
    kept = {lp, from, to, FindBestRoute(area, lp, from, to)};
  if (sim.Changes.Check && kept[3] != FindBestRoute(area, lp, from, to))
    throw CheckMismatch("incremental check: the best chain of throat " + std::to_string(g) +
                        "'s task kept as " + std::to_string(kept[3]) + " differs from a search");
  return FindBestRouteNow(sim, lp, from, to, kept[3]);
}

/// Whether the train may leave the LP through throat g in the throat's own direction.
bool LeavesThrough(SimulationData& sim, int g, const ThroatView& v, int t) {
  return LeavesThroughThroat(sim, g, v.LP, v.Dir, t);
}

/// A permission to send train t from track k: a value 2 above 0 lets a self-acting LP go
/// ahead, as does a free line ahead, unless sim.MaySend holds the train; otherwise it asks,
/// unless the same question is still fresh (then no go-ahead).
bool DepartPermitted(SimulationData& sim, const ThroatView& v, int t, int k, bool lineFree) {
  if (lineFree || sim.AreaData.Puts[v.LP].Value2 > 0) return !sim.MaySend || sim.MaySend(v.LP, t);
  if (RequestIsFresh(sim, t, rqDepartPermit, v.Code, 0)) return false;
  return PostRequest(sim, v.LP, t, k, true, rqDepartPermit);
}

// ---------------------------------------------------------------------------
// The stations' own decisions

/// A train on one of the LP's tracks that may leave through throat g: the first found from
/// the last track down; a later passenger train displaces a freight one with
/// probability 9/10, a train of the same kind the current one with probability 3/10.
int ChooseTrainToSend(SimulationData& sim, int g, const ThroatView& v, int& track) {
  const TPutData& put = sim.AreaData.Puts[v.LP];
  const TDateTime now = sim.State.ClockTime;
  int chosen = -1;
  for (int k = static_cast<int>(put.Tracks.size()) - 1; k >= 0; --k) {
    const int t = TrainOnHalf(sim, put.Tracks[k].Section, v.Dir);
    if (t < 0 || !LeavesThrough(sim, g, v, t)) continue;
    if (!v.SelfActing && !(sim.State.Trains[t].REQUEST_TIME + kMinute <= now)) continue;
    bool take = chosen < 0;
    if (!take) {
      const bool passenger = sim.State.Trains[t].LOAD_TYPE >= 100;
      const bool chosenPassenger = sim.State.Trains[chosen].LOAD_TYPE >= 100;
      if (passenger && !chosenPassenger)
        take = sim.Random.Draw(10) < 9;
      else if (passenger == chosenPassenger)
        take = sim.Random.Draw(10) < 3;
    }
    if (take) {
      chosen = t;
      track = k;
    }
  }
  return chosen;
}

/// Whether train t stands ready to be sent within kSendLead.
bool DueToLeave(const SimulationData& sim, const ThroatView& v, int t) {
  const TTrainData& train = sim.State.Trains[t];
  return !IsMoving(sim, t) && (train.DEPARTURE_SCHEDULED || v.SelfActing) &&
         train.DEPARTURE_TIME != 0 && train.DEPARTURE_TIME < sim.State.ClockTime + kSendLead;
}

/// Some train on the LP's tracks, on the half of the throat's direction, is due to leave.
/// Some track of LP lp has a train on its half d.
bool AnyTrainOnTracks(const SimulationData& sim, int lp, int d) {
  if (lp < 0 || lp >= static_cast<int>(sim.AreaData.Puts.size())) return false;
  for (const TTrackData& track : sim.AreaData.Puts[lp].Tracks)
    if (TrainOnHalf(sim, track.Section, d) >= 0) return true;
  return false;
}

bool AnyTrainDue(const SimulationData& sim, const ThroatView& v) {
  for (const TTrackData& track : sim.AreaData.Puts[v.LP].Tracks) {
    const int t = TrainOnHalf(sim, track.Section, v.Dir);
    if (t >= 0 && DueToLeave(sim, v, t)) return true;
  }
  return false;
}

/// No train on any section the untasked throat g reads.
bool ThroatQuiet(const SimulationData& sim, const TThroatChanges& w, int g) {
  if (TrainOnHalf(sim, w.Entry[g], w.EntryHalf[g]) >= 0) return false;
  if (w.Outer[g] > 0 && TrainOnHalf(sim, w.Outer[g], w.OuterHalf[g]) >= 0) return false;
  const TGorlStanzData& th = sim.AreaData.GorlStanzs[g];
  return th.Side < 0 || !AnyTrainOnTracks(sim, w.LP[g], th.Parity & 1);
}

/// The tables of TThroatChanges were made for this district and state.
bool WatchCurrent(const SimulationData& sim, const TThroatChanges& w) {
  const TAreaData& area = sim.AreaData;
  return w.ThroatsData == area.GorlStanzs.data() && w.ThroatCount == area.GorlStanzs.size() &&
         w.Start.size() == area.SlSects.size() + 1 && w.SectsData == sim.State.Sects.data();
}

/// Makes the tables of what untasked throats read, when the district or the state is not the
/// one they were made for; every throat then looks once.
void WatchThroats(const SimulationData& sim, TThroatChanges& w) {
  const TAreaData& area = sim.AreaData;
  const std::size_t sections = area.SlSects.size();
  if (WatchCurrent(sim, w)) return;
  const int count = static_cast<int>(area.GorlStanzs.size());
  w.Quiet.assign(static_cast<std::size_t>(count), 0);
  w.Entry.assign(static_cast<std::size_t>(count), 0);
  w.EntryHalf.assign(static_cast<std::size_t>(count), 0);
  w.Outer.assign(static_cast<std::size_t>(count), 0);
  w.OuterHalf.assign(static_cast<std::size_t>(count), 0);
  w.LP.assign(static_cast<std::size_t>(count), -1);
  w.Views.resize(static_cast<std::size_t>(count));
  std::vector<std::pair<int, int>> reads;  // (section, throat)
  for (int g = 0; g < count; ++g) {
    const TGorlStanzData& th = area.GorlStanzs[g];
    const int lp = ThroatLPIndex(area, g);
    w.LP[g] = lp;
    w.Views[g] = MakeThroatView(area, g);
    // As ApproachingTrain looks: the entry, and the section further out.
    const int e = th.EntrySection;
    const int half = (th.Flip & 1) ^ (th.Parity & 1) ^ 1;
    if (ValidSection(area, e)) {
      w.Entry[g] = e;
      w.EntryHalf[g] = half;
      reads.emplace_back(e, g);
      w.Outer[g] = ApproachOuterSection(area, e, half, w.OuterHalf[g]);
      if (w.Outer[g] > 0) reads.emplace_back(w.Outer[g], g);
    }
    if (th.Side >= 0 && lp >= 0 && lp < static_cast<int>(area.Puts.size()))
      for (const TTrackData& track : area.Puts[lp].Tracks) reads.emplace_back(track.Section, g);
  }
  w.Start.assign(sections + 1, 0);
  for (const auto& [s, g] : reads)
    if (s >= 0 && static_cast<std::size_t>(s) < sections)
      ++w.Start[static_cast<std::size_t>(s) + 1];
  for (std::size_t s = 0; s < sections; ++s) w.Start[s + 1] += w.Start[s];
  w.Readers.assign(static_cast<std::size_t>(w.Start[sections]), 0);
  std::vector<int> next(w.Start.begin(), w.Start.end() - 1);
  for (const auto& [s, g] : reads)
    if (s >= 0 && static_cast<std::size_t>(s) < sections)
      w.Readers[static_cast<std::size_t>(next[static_cast<std::size_t>(s)]++)] = g;
  w.ThroatsData = area.GorlStanzs.data();
  w.ThroatCount = area.GorlStanzs.size();
  w.SectsData = sim.State.Sects.data();
}

/// The throat has a side value of at least 0 and some train is due to leave through it
/// (AnyTrainDue): the caller has found so.
void ConsiderDeparture(SimulationData& sim, int g, const ThroatView& v, PassLookups& pass) {
  // Whichever train is chosen below, only one that is due can be sent: without one nothing
  // would come of the choice, and the cheap test spares the walks on most steps.
  if (!WayOutClear(sim, v, pass)) return;
  int k = -1;
  const int t = ChooseTrainToSend(sim, g, v, k);
  if (t < 0) return;
  const TAreaData& area = sim.AreaData;
  int chain = FindBestRouteNow(sim, v.LP, TrackSection(area, v.LP, k), v.Entry);
  // A conflicting way out gives no task, but the station still asks.
  if (chain >= 0 && ChainConflicts(sim, v.LP, chain)) chain = -1;
  const TTrainData& train = sim.State.Trains[t];
  if (chain >= 0 &&
      (ChainPendingOrSet(sim, v.LP, chain) || train.PLACE_TIME != 0 || !train.DEPARTURE_COMMISSION))
    return;
  if (!DueToLeave(sim, v, t)) return;
  bool go = false;
  if (!v.SelfActing) {
    if (!RequestIsFresh(sim, t, rqDepartReady, v.Code, 0))
      go = PostRequest(sim, v.LP, t, k, chain >= 0, rqDepartReady);
  } else {
    go = DepartPermitted(sim, v, t, k, LineAheadFree(sim, g, t));
  }
  if (chain >= 0 && go) SetTask(sim, g, true, false, k);
}

/// A transit: the train received on track k through g goes on through throat q in the same
/// direction, so q gets a send task that waits for the reception.
void ConsiderTransit(SimulationData& sim, int g, const ThroatView& v, int t, int k, int q,
                     PassLookups& pass) {
  if (q >= ThroatCount(sim) || sim.State.Gorls[q].TASKED != 0) return;
  const TDateTime planned = PlannedDeparture(sim, t, v.LP);
  if (planned != 0 && !(planned < sim.State.ClockTime + kTransitLead)) return;
  const ThroatView onward = ThroatViewOf(sim, q);
  if (!onward.Valid || ThroatRouteBusy(sim, v.LP, onward.Entry) || !WayOutClear(sim, onward, pass))
    return;
  const int out = FindBestRouteNow(sim, v.LP, TrackSection(sim.AreaData, v.LP, k), onward.Entry);
  if (out < 0 || ChainConflicts(sim, v.LP, out) || ChainPendingOrSet(sim, v.LP, out)) return;
  // Asked under the same freshness rule as a departure, so a declined or unanswered
  // question is not repeated on every step.
  if (!DepartPermitted(sim, v, t, k, false)) return;
  sim.State.Gorls[g].TRANSIT = true;
  SetTask(sim, q, true, true, k);
}

void ConsiderReception(SimulationData& sim, int g, const ThroatView& v, int t, PassLookups& pass) {
  const TAreaData& area = sim.AreaData;
  const int count = static_cast<int>(area.Puts[v.LP].Tracks.size());
  if (count == 0) return;
  const bool endsHere = sim.State.Trains[t].ARRIVAL_LP_CODE == v.Code;
  const int first = endsHere || sim.Random.Draw(100) < 5 ? sim.Random.Draw(count)
                                                         : ChooseReceptionTrack(sim, v.LP, g, t);
  if (first < 0) return;
  int q = -1;
  int dir = v.Dir ^ 1;
  if (!endsHere) ThroatOfNextStop(sim, q, dir, v.LP, t);
  const int onwardEntry =
      q >= 0 && q < static_cast<int>(area.GorlStanzs.size()) ? area.GorlStanzs[q].EntrySection : 0;
  int k = -1;
  int chain = -1;
  // While a fault is in force a way through it is taken only when no other goes. A train with
  // a dependant goes to a track that train can leave from when one will do; the receive-only
  // tracks are tried after all the others, each track once.
  for (int sweep = sim.State.Faults.empty() ? 1 : 0; sweep < 2 && k < 0; ++sweep)
    for (int round = 0; round < 2 && k < 0; ++round)
      for (int n = 0; n < count && k < 0; ++n) {
        const int track = (first + n) % count;
        if (ReceiveOnlyTrackForParent(sim, v.LP, track, t) != (round == 1)) continue;
        const int s = TrackSection(area, v.LP, track);
        if (s == 0 || !SectionFree(sim, s) || !TrackSuits(sim, v.LP, track, t)) continue;
        const int c = FindBestRouteNow(sim, v.LP, v.Entry, s);
        if (c < 0 || (q >= 0 && FindBestRouteNow(sim, v.LP, s, onwardEntry) < 0)) continue;
        if (sweep == 0 && ChainBlockedByFault(sim, v.LP, c)) continue;
        k = track;
        chain = c;
      }
  if (k < 0 || ChainConflicts(sim, v.LP, chain) || ReceiveTaskOfTrack(sim, v.LP, k) >= 0 ||
      ChainPendingOrSet(sim, v.LP, chain))
    return;
  SetTask(sim, g, false, false, k);
  if (q >= 0 && dir == (v.Dir ^ 1)) ConsiderTransit(sim, g, v, t, k, q, pass);
}

/// A send task through a throat that needs a departure commit: a self-acting LP gives itself
/// the commit once the train is due; an asking LP asks the dispatcher for it.
void ConsiderCommit(SimulationData& sim, int g, const ThroatView& v) {
  const TGorlTaskData& task = sim.State.Gorls[g];
  if (task.TASKED == 0 || !task.SEND || v.Side >= 1 || DepartCommitGiven(sim, v.LP, v.Dir)) return;
  const int track = task.TRACK;
  const int s = TrackSection(sim.AreaData, v.LP, track);
  if (s == 0) return;
  // The tests are pure up to the request; the cheap ones about the way out come first.
  const int chain = TaskChain(sim, g, v.LP, s, v.Entry);
  if (chain < 0 || ChainPendingOrSet(sim, v.LP, chain) || ChainHoldsTrain(sim, v.LP, chain)) return;
  bool standing = false;
  const int t = TrainForTrack(sim, v.LP, s, v.Dir, &standing);
  if (t < 0) return;
  const TDateTime departs =
      standing ? sim.State.Trains[t].DEPARTURE_TIME : PlannedDeparture(sim, t, v.LP);
  if (departs != 0 && !(departs < sim.State.ClockTime + kSendLead)) return;
  if (!LeavesThrough(sim, g, v, t)) return;
  if (v.SelfActing)
    ToggleDepartCommit(sim, v.LP, v.Dir);
  else if (!RequestIsFresh(sim, t, rqDepartPermit, v.Code, 0))
    PostRequest(sim, v.LP, t, track, false, rqDepartPermit);
}

// ---------------------------------------------------------------------------
// Tasks

void ExecuteReceive(SimulationData& sim, int g, const ThroatView& v, int s) {
  const TAreaData& area = sim.AreaData;
  const int track = sim.State.Gorls[g].TRACK;
  // The track still holds a train that will leave through this throat.
  const int standing = TrainOnHalf(sim, s, v.Dir);
  if (standing >= 0 && LeavesThrough(sim, g, v, standing) &&
      sim.State.Trains[standing].ARRIVAL_LP_CODE != sim.State.Trains[standing].HEAD.LP_CODE)
    return;

  const int chain = TaskChain(sim, g, v.LP, v.Entry, s);
  const ChainStatus state = ChainState(sim, v.LP, chain);
  if (chain < 0 || state.Pending) return;
  if (state.Set) return FinishTask(sim, g);
  if (ChainHoldsTrain(sim, v.LP, chain) || ChainConflicts(sim, v.LP, chain)) return;

  const int t = ApproachingTrain(sim, v.Entry, v.Arrival);
  if (t < 0) return;
  int q = -1;
  int dir = v.Dir ^ 1;
  if (sim.State.Trains[t].ARRIVAL_LP_CODE != v.Code) ThroatOfNextStop(sim, q, dir, v.LP, t);
  if (q >= 0 && FindBestRouteNow(sim, v.LP, s, area.GorlStanzs[q].EntrySection) < 0) return;

  if (!TrackSuits(sim, v.LP, track, t)) {
    if (q < 0) {
      PostRequest(sim, v.LP, t, track, false, rqUnsuitableTrack);
      return CancelTask(sim, g);
    }
    if (TrainStopsAt(sim, v.Code, t) && !PostRequest(sim, v.LP, t, track, true, rqUnsuitableTrack))
      return CancelTask(sim, g);
  }

  if (sim.State.Gorls[g].TRANSIT) {
    if (dir == v.Dir) {
      // The train would have to leave the way it came.
      PostRequest(sim, v.LP, t, track, false, rqLocoChange);
      return CancelTask(sim, g);
    }
    // From now on the send half of the transit is an ordinary send task.
    for (int p = ThroatCount(sim) - 1; p >= 0; --p) {
      TGorlTaskData& partner = sim.State.Gorls[p];
      if (area.GorlStanzs[p].Code == v.Code && partner.TASKED != 0 && partner.TRANSIT &&
          partner.SEND && partner.TRACK == track) {
        partner.TRANSIT = false;
        break;
      }
    }
  }

  TTrainData& train = sim.State.Trains[t];
  train.STOP_ADVICE_SECT_IDX = s;
  train.STOP_ADVICE_LP_CODE = v.Code;
  OrderChain(sim, v.LP, chain);
  StationReport(sim, v.LP, t, srReceived);
}

void ExecuteSend(SimulationData& sim, int g, const ThroatView& v, int s) {
  if (sim.State.Gorls[g].TRANSIT || v.Side < 0) return;
  // Every test before the commit is consumed is pure, so the cheap ones about the route come
  // first: a task that waits for a commit costs little on each step.
  const int chain = TaskChain(sim, g, v.LP, s, v.Entry);
  const ChainStatus state = ChainState(sim, v.LP, chain);
  if (chain < 0 || state.Pending) return;
  // A set chain finishes the task even when its train is no longer found standing: a train
  // may start once the first route of a longer chain is set, and the task must not stay
  // behind it for good, holding the throat.
  if (state.Set) return FinishTask(sim, g);
  // A station that acts by itself gives the throat back to a train coming in the other way:
  // it takes a train in only through a throat without a task, and it could not send before
  // that train is in. Its automation sends the train again once the line is clear.
  if (v.SelfActing && PeregonOccupiedDirections(sim, v.Peregon)[v.Arrival] &&
      !ChainHasSetRoute(sim, v.LP, chain))
    return CancelTask(sim, g);
  if (v.Side < 1 && !DepartCommitGiven(sim, v.LP, v.Dir)) return;
  if (!WayOutClear(sim, v)) return;
  bool standing = false;
  const int t = TrainForTrack(sim, v.LP, s, v.Dir, &standing);
  if (t < 0 || !LeavesThrough(sim, g, v, t)) return;
  if (ChainHoldsTrain(sim, v.LP, chain) || ChainConflicts(sim, v.LP, chain)) return;

  const TDateTime limit = sim.State.ClockTime + kSendLead;
  if (standing) {
    // Only a scheduled departure holds a standing train back, at a self-acting station too:
    // a train without one (just made up, say) gets its way out at once.
    const TTrainData& train = sim.State.Trains[t];
    if (train.DEPARTURE_SCHEDULED && train.DEPARTURE_TIME != 0 && !(train.DEPARTURE_TIME < limit))
      return;
  } else {
    const TDateTime planned = PlannedDeparture(sim, t, v.LP);
    if (planned != 0 && !(planned < limit)) return;
  }
  // The send reports nothing itself: the train's departure report follows when it starts.
  if (v.Side >= 1 || ConsumeDepartCommit(sim, v.LP, v.Dir)) OrderChain(sim, v.LP, chain);
}

}  // namespace

namespace {

ThroatView MakeThroatView(const TAreaData& area, int g) {
  ThroatView v;
  const TGorlStanzData& th = area.GorlStanzs[g];
  v.LP = ThroatLPIndex(area, g);
  if (v.LP < 0 || th.Peregon < 1 || th.Peregon > static_cast<int>(area.GraphPeregons.size()) ||
      !ValidSection(area, th.EntrySection))
    return v;
  v.Valid = true;
  v.Code = th.Code;
  v.Dir = th.Parity & 1;
  v.Arrival = (th.Flip & 1) ^ v.Dir ^ 1;
  v.Peregon = th.Peregon - 1;
  v.Entry = th.EntrySection;
  v.Side = th.Side;
  v.SelfActing = !LPAsksDispatcher(area, v.LP);
  return v;
}

/// A view of throat g kept in the watch tables; in check mode one that differs from the
/// district's throws CheckMismatch.
const ThroatView& KeptView(const SimulationData& sim, int g, const ThroatView& v) {
  if (sim.Changes.Check && !(v == MakeThroatView(sim.AreaData, g)))
    throw CheckMismatch("incremental check: the kept view of throat " + std::to_string(g) +
                        " differs from the district's");
  return v;
}

}  // namespace

ThroatView ThroatViewOf(const SimulationData& sim, int g) {
  const TThroatChanges& w = sim.Changes.Throats;
  if (WatchCurrent(sim, w) && g >= 0 && g < static_cast<int>(w.Views.size()))
    return KeptView(sim, g, w.Views[static_cast<std::size_t>(g)]);
  return MakeThroatView(sim.AreaData, g);
}

bool ThroatWatchCurrent(const SimulationData& sim) {
  return WatchCurrent(sim, sim.Changes.Throats);
}

bool ThroatQuietChecked(const SimulationData& sim, int g) {
  if (!ThroatQuiet(sim, sim.Changes.Throats, g))
    throw CheckMismatch("incremental check: throat " + std::to_string(g) +
                        " has a train on a section it reads but was skipped as quiet");
  return true;
}

void ThroatAutomation(SimulationData& sim) {
  TThroatChanges& watch = sim.Changes.Throats;
  PassLookups pass(sim, watch);
  // Without a train no untasked throat has one approaching or due to leave.
  const bool noTrains = sim.State.Trains.empty();
  WatchThroats(sim, watch);
  // Most throats of a line are quiet and untasked on most steps: the loop reads no more of
  // them than these two arrays (the pass changes no array's size).
  const int count = ThroatCount(sim);
  const TGorlTaskData* const tasks = sim.State.Gorls.data();
  const std::uint8_t* const quiet =
      watch.Quiet.size() >= static_cast<std::size_t>(count) && !sim.Changes.Check
          ? watch.Quiet.data()
          : nullptr;
  for (int g = 0; g < count; ++g) {
    // The train approaching an untasked throat, looked for once per pass (-2: not yet).
    int approaching = -2;
    if (tasks[g].TASKED == 0) {
      if (noTrains) continue;
      if (quiet != nullptr ? quiet[g] != 0 : ThroatKnownQuiet(sim, g)) continue;
      // An untasked throat has work only when a train approaches it, or when it may send and
      // a train stands on a track of its LP: read from its record before the view is made.
      // The tables know where it looks for a train coming in.
      const TGorlStanzData& th = sim.AreaData.GorlStanzs[g];
      const int arrival = (th.Flip & 1) ^ (th.Parity & 1) ^ 1;
      approaching = watch.Entry[g] > 0
                        ? ThroatApproachingTrainVia(sim, g, watch.Entry[g], arrival, watch.Outer[g],
                                                    watch.OuterHalf[g])
                        : -1;
      if (approaching < 0 && (th.Side < 0 || !AnyTrainOnTracks(sim, watch.LP[g], th.Parity & 1))) {
        watch.Quiet[g] = ThroatQuiet(sim, watch, g);
        continue;
      }
    }
    // The watch tables were made for this district at the top of the pass.
    const ThroatView v = KeptView(sim, g, watch.Views[static_cast<std::size_t>(g)]);
    if (!v.Valid) continue;
    // Most throats have nothing to do on a step. The pure tests that tell so come before the
    // route search: an untasked throat without an approaching train and without a train due
    // to leave sets no task (and then has no commit to consider), nor does one whose train
    // approaches an asking LP; a tasked one only considers its commit.
    const TGorlTaskData& task = sim.State.Gorls[g];
    int t = -1;
    bool busy = false;
    if (task.TASKED == 0) {
      // Nothing between the two looks changes the sections or the view's entry and arrival.
      t = approaching >= -1 ? approaching : ApproachingTrain(sim, v.Entry, v.Arrival);
      busy = t < 0 ? v.Side >= 0 && AnyTrainDue(sim, v) : v.SelfActing;
    } else {
      busy = task.SEND && v.Side < 1 && !DepartCommitGiven(sim, v.LP, v.Dir);
    }
    if (!busy || ThroatRouteBusy(sim, v.LP, v.Entry)) continue;
    if (task.TASKED == 0) {
      if (t < 0)
        ConsiderDeparture(sim, g, v, pass);
      else
        ConsiderReception(sim, g, v, t, pass);
    }
    ConsiderCommit(sim, g, v);
  }
}

void ExecuteThroatTasks(SimulationData& sim) {
  const int count = ThroatCount(sim);
  const TGorlTaskData* const tasks = sim.State.Gorls.data();
  for (int g = 0; g < count; ++g) {
    if (tasks[g].TASKED == 0) continue;
    const ThroatView v = ThroatViewOf(sim, g);
    if (!v.Valid) continue;
    const int s = TrackSection(sim.AreaData, v.LP, sim.State.Gorls[g].TRACK);
    if (s == 0) continue;
    if (sim.State.Gorls[g].SEND)
      ExecuteSend(sim, g, v, s);
    else
      ExecuteReceive(sim, g, v, s);
  }
}

}  // namespace traklin
