// The gridlock detector: waits between trains from the state, and the cycles among them.
#include "dispatch/gridlock.h"

#include <algorithm>
#include <utility>

#include "area/area_queries.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

// A peregon walk never takes more sections than this (bad data must not hang a look).
constexpr int kWalkLimit = 400;
// A look is due half a step early: the clock adds up half seconds with rounding.
constexpr TDateTime kEarly = 0.25 * kSecond;

/// The trains that occupy one peregon, each with the direction it runs in there.
using PeregonTrains = std::vector<std::vector<std::pair<int, int>>>;

void FindTrainsOnPeregons(const SimulationData& sim, PeregonTrains& on) {
  on.resize(sim.AreaData.GraphPeregons.size());
  for (auto& list : on) list.clear();
  const int count = static_cast<int>(on.size());
  for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i) {
    const TTrainData& t = sim.State.Trains[i];
    if (t.HEAD.SECT_IDX == 0) continue;
    const int head = t.HEAD.PEREGON_IDX, tail = t.TAIL.PEREGON_IDX;
    if (head >= 0 && head < count) on[head].emplace_back(i, t.HEAD.DIR & 1);
    if (tail >= 0 && tail < count && tail != head) on[tail].emplace_back(i, t.TAIL.DIR & 1);
  }
}

/// The train on either half of section s other than `self`, or -1.
int OtherOn(const SimulationData& sim, int s, int self) {
  for (const int half : {0, 1}) {
    const int t = TrainOnHalf(sim, s, half);
    if (t >= 0 && t != self) return t;
  }
  return -1;
}

void AddUnique(std::vector<int>& list, int t) {
  if (std::find(list.begin(), list.end(), t) == list.end()) list.push_back(t);
}

/// What holds train t from entering LP lp, added to `holders`: false when a track that suits it
/// is free there (or the LP has none), else the trains on those tracks.
bool StationHolders(const SimulationData& sim, int lp, int t, std::vector<int>& holders) {
  const TAreaData& area = sim.AreaData;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size()) || area.Puts[lp].Tracks.empty())
    return false;
  const int tracks = static_cast<int>(area.Puts[lp].Tracks.size());
  bool anySuits = false;
  for (int k = 0; k < tracks && !anySuits; ++k) anySuits = TrackSuits(sim, lp, k, t);
  const std::size_t before = holders.size();
  bool held = false;
  for (int k = 0; k < tracks; ++k) {
    if (anySuits && !TrackSuits(sim, lp, k, t)) continue;
    const int s = area.Puts[lp].Tracks[k].Section;
    if (!ValidSection(area, s)) continue;
    const int other = OtherOn(sim, s, t);
    if (other < 0) {
      holders.resize(before);
      return false;
    }
    AddUnique(holders, other);
    held = true;
  }
  return held;
}

/// Whether train t is held from taking peregon p from its end `from` (the LP it stands at)
/// towards the other end, and by whom (added to `holders`).
bool WayHolders(const SimulationData& sim, const PeregonTrains& on, int p, int from, int t,
                std::vector<int>& holders) {
  const TGraphPeregonData& per = sim.AreaData.GraphPeregons[p];
  // A train running towards end e runs in direction e: against t are those running to `from`.
  bool against = false;
  for (const auto& [other, dir] : on[p])
    if (other != t && dir == from) {
      AddUnique(holders, other);
      against = true;
    }
  if (against) return true;
  const int next =
      ValidSection(sim.AreaData, per.EndSection[from]) ? OtherOn(sim, per.EndSection[from], t) : -1;
  if (next >= 0) {
    AddUnique(holders, next);
    return true;
  }
  return StationHolders(sim, per.LP[from ^ 1] - 1, t, holders);
}

/// Whether train t, standing on peregon p running in direction d, is held from going on, and
/// by whom (added to `holders`): the trains against it on the line, else the first train
/// ahead of it on the peregon, else the tracks of the station it runs into.
bool AheadHolders(const SimulationData& sim, const PeregonTrains& on, int p, int d, int t,
                  std::vector<int>& holders) {
  const TAreaData& area = sim.AreaData;
  const TGraphPeregonData& per = area.GraphPeregons[p];
  bool against = false;
  for (const auto& [other, dir] : on[p])
    if (other != t && dir != d) {
      AddUnique(holders, other);
      against = true;
    }
  if (against) return true;
  const int end = per.EndSection[d];
  int s = sim.State.Trains[t].HEAD.SECT_IDX;
  int dir = d;
  for (int n = 0; n < kWalkLimit && s != end; ++n) {
    s = NextSection(area, dir, s, false);
    if (!ValidSection(area, s)) break;
    const int other = OtherOn(sim, s, t);
    if (other >= 0) {
      AddUnique(holders, other);
      return true;
    }
  }
  return StationHolders(sim, per.LP[d] - 1, t, holders);
}

/// Whether train t is due to leave where it is: released, not where it ends, and with no
/// departure time still ahead.
bool DueToLeave(const SimulationData& sim, int t) {
  const TTrainData& train = sim.State.Trains[t];
  if (train.HEAD.SECT_IDX == 0 || train.PLACE_TIME != 0 || train.ARRIVAL_LP_CODE <= 0) return false;
  if (train.HEAD.PEREGON_IDX >= 0) return true;
  return train.HEAD.LP_CODE != train.ARRIVAL_LP_CODE &&
         (train.DEPARTURE_TIME == 0 || train.DEPARTURE_TIME <= sim.State.ClockTime);
}

/// The trains that hold train t where it stands, into `holders`; false when its way on is not
/// held (or cannot be told). A train at a station may take any of its ways out: it is held
/// only when every one is.
bool Holders(const SimulationData& sim, const PeregonTrains& on, int t, std::vector<int>& holders) {
  const TAreaData& area = sim.AreaData;
  const TTrainData& train = sim.State.Trains[t];
  const int peregons = static_cast<int>(area.GraphPeregons.size());
  if (train.HEAD.PEREGON_IDX >= 0) {
    if (train.HEAD.PEREGON_IDX >= peregons) return false;
    return AheadHolders(sim, on, train.HEAD.PEREGON_IDX, train.HEAD.DIR & 1, t, holders);
  }
  const int lp = FindLPIndex(area, train.HEAD.LP_CODE);
  if (lp < 0) return false;
  // The ways out: towards the next LP when a peregon leads there, else the side faced.
  std::vector<std::pair<int, int>> ways;  // peregon, end at this LP
  for (const bool byNext : {true, false}) {
    for (int p = 0; p < peregons; ++p)
      for (const int e : {0, 1}) {
        const TGraphPeregonData& per = area.GraphPeregons[p];
        if (per.LP[e] != lp + 1) continue;
        const bool fits =
            byNext ? train.NEXT_LP_CODE > 0 && LPCode(area, per.LP[e ^ 1] - 1) == train.NEXT_LP_CODE
                   : (e ^ 1) == (train.HEAD.DIR & 1);
        if (fits) ways.emplace_back(p, e);
      }
    if (!ways.empty()) break;
  }
  if (ways.empty()) return false;
  for (const auto& [p, e] : ways)
    if (!WayHolders(sim, on, p, e, t, holders)) return false;
  return true;
}

/// The LP code where train t stands, or on a peregon the one it runs into.
int StationOf(const SimulationData& sim, int t) {
  const TAreaData& area = sim.AreaData;
  const TTrainEndPosData& head = sim.State.Trains[t].HEAD;
  if (head.PEREGON_IDX < 0) return head.LP_CODE;
  if (head.PEREGON_IDX >= static_cast<int>(area.GraphPeregons.size())) return 0;
  return LPCode(area, area.GraphPeregons[head.PEREGON_IDX].LP[head.DIR & 1] - 1);
}

}  // namespace

GridlockDetector::GridlockDetector(TDateTime interval, TDateTime standing)
    : interval_(interval), standing_(standing) {}

void GridlockDetector::Reset() {
  spots_.clear();
  reported_.clear();
  looked_ = false;
  next_ = 0;
}

std::vector<Gridlock> GridlockDetector::Check(const SimulationData& sim) {
  const TDateTime now = sim.State.ClockTime;
  if (looked_ && now < next_) return {};
  looked_ = true;
  next_ = now + interval_ - kEarly;
  std::vector<std::pair<Gridlock, std::set<TrainKey>>> found = Find(sim);
  const auto overlap = [](const std::set<TrainKey>& a, const std::set<TrainKey>& b) {
    return std::any_of(a.begin(), a.end(), [&](const TrainKey& k) { return b.count(k) != 0; });
  };
  std::vector<Gridlock> fresh;
  std::vector<std::pair<std::set<TrainKey>, TDateTime>> lasting;
  for (auto& [gridlock, keys] : found) {
    const bool known = std::any_of(reported_.begin(), reported_.end(),
                                   [&](const auto& seen) { return overlap(keys, seen.first); });
    if (!known) fresh.push_back(gridlock);
    lasting.emplace_back(std::move(keys), now);
  }
  // A gridlock not found this time lasts while none of its trains has moved since it was.
  for (auto& [keys, foundAt] : reported_) {
    const bool merged = std::any_of(lasting.begin(), lasting.end(),
                                    [&](const auto& kept) { return overlap(keys, kept.first); });
    const bool still = std::all_of(keys.begin(), keys.end(), [&](const TrainKey& k) {
      const auto spot = spots_.find(k);
      return spot != spots_.end() && spot->second.Since <= foundAt;
    });
    if (!merged && still) lasting.emplace_back(std::move(keys), foundAt);
  }
  reported_ = std::move(lasting);
  return fresh;
}

std::vector<Gridlock> GridlockDetector::Look(const SimulationData& sim) {
  std::vector<Gridlock> out;
  for (auto& found : Find(sim)) out.push_back(std::move(found.first));
  return out;
}

std::vector<std::pair<Gridlock, std::set<GridlockDetector::TrainKey>>> GridlockDetector::Find(
    const SimulationData& sim) {
  const TDateTime now = sim.State.ClockTime;
  const TTrainsData& trains = sim.State.Trains;
  const int count = static_cast<int>(trains.size());

  // Where each train stands, and since when; trains gone since the last look are forgotten.
  ++looks_;
  std::vector<char> standing(count, 0);
  bool anyStanding = false;
  for (int i = 0; i < count; ++i) {
    const TTrainData& t = trains[i];
    if (t.HEAD.SECT_IDX == 0) continue;
    Spot& spot = spots_[{t.NUMBER, t.CREATE_TIME}];
    if (t.SPEED != 0 || spot.Look == 0 || spot.Section != t.HEAD.SECT_IDX ||
        spot.Pos != t.HEAD.SECT_POS) {
      spot.Section = t.HEAD.SECT_IDX;
      spot.Pos = t.HEAD.SECT_POS;
      spot.Since = now;
    }
    spot.Look = looks_;
    standing[i] = t.SPEED == 0 && now - spot.Since >= standing_ - kEarly;
    anyStanding = anyStanding || standing[i];
  }
  std::erase_if(spots_, [&](const auto& entry) { return entry.second.Look != looks_; });
  if (!anyStanding) return {};

  // Who waits for whom.
  FindTrainsOnPeregons(sim, onPeregon_);
  holders_.resize(count);
  waiters_.resize(count);
  for (int i = 0; i < count; ++i) {
    holders_[i].clear();
    waiters_[i].clear();
  }
  std::vector<char> waits(count, 0);
  bool anyWaits = false;
  for (int i = 0; i < count; ++i) {
    if (!standing[i] || !DueToLeave(sim, i)) continue;
    if (!Holders(sim, onPeregon_, i, holders_[i])) {
      holders_[i].clear();
      continue;
    }
    waits[i] = 1;
    anyWaits = true;
  }
  if (!anyWaits) return {};
  const std::vector<std::vector<int>>& holders = holders_;
  std::vector<std::vector<int>>& waiters = waiters_;

  // A train that does not wait can move; so can one that waits for a train that can.
  for (int i = 0; i < count; ++i)
    if (waits[i])
      for (const int h : holders[i]) waiters[h].push_back(i);
  std::vector<char> moves(count, 0);
  std::vector<int> queue;
  for (int i = 0; i < count; ++i)
    if (!waits[i]) {
      moves[i] = 1;
      queue.push_back(i);
    }
  while (!queue.empty()) {
    const int h = queue.back();
    queue.pop_back();
    for (const int w : waiters[h])
      if (!moves[w]) {
        moves[w] = 1;
        queue.push_back(w);
      }
  }

  // The locked trains lying on a cycle: strongly connected components with more than one
  // train (Tarjan's algorithm; every locked train waits only for locked trains).
  std::vector<int> index(count, -1), low(count, 0), stack, component(count, -1), size;
  std::vector<char> onStack(count, 0);
  int next = 0;
  const auto connect = [&](const auto& self, int v) -> void {
    index[v] = low[v] = next++;
    stack.push_back(v);
    onStack[v] = 1;
    for (const int w : holders[v]) {
      if (index[w] < 0) {
        self(self, w);
        low[v] = std::min(low[v], low[w]);
      } else if (onStack[w]) {
        low[v] = std::min(low[v], index[w]);
      }
    }
    if (low[v] != index[v]) return;
    int members = 0;
    for (int w = -1; w != v;) {
      w = stack.back();
      stack.pop_back();
      onStack[w] = 0;
      component[w] = static_cast<int>(size.size());
      ++members;
    }
    size.push_back(members);
  };
  for (int i = 0; i < count; ++i)
    if (!moves[i] && index[i] < 0) connect(connect, i);

  // One gridlock per group of locked trains joined by their waits.
  std::vector<int> group(count, -1);
  int groups = 0;
  for (int i = 0; i < count; ++i) {
    if (moves[i] || group[i] >= 0) continue;
    std::vector<int> todo{i};
    group[i] = groups;
    while (!todo.empty()) {
      const int v = todo.back();
      todo.pop_back();
      for (const std::vector<int>* list : {&holders[v], &std::as_const(waiters[v])})
        for (const int w : *list)
          if (!moves[w] && group[w] < 0) {
            group[w] = groups;
            todo.push_back(w);
          }
    }
    ++groups;
  }
  std::vector<std::pair<Gridlock, std::set<TrainKey>>> found(groups);
  for (int i = 0; i < count; ++i) {
    if (moves[i] || size[component[i]] < 2) continue;
    auto& [gridlock, keys] = found[group[i]];
    gridlock.Trains.push_back(trains[i].NUMBER);
    gridlock.Stations.push_back(StationOf(sim, i));
    keys.emplace(trains[i].NUMBER, trains[i].CREATE_TIME);
  }
  std::vector<std::pair<Gridlock, std::set<TrainKey>>> out;
  for (auto& entry : found) {
    if (entry.second.empty()) continue;
    for (std::vector<int>* list : {&entry.first.Trains, &entry.first.Stations}) {
      std::sort(list->begin(), list->end());
      list->erase(std::unique(list->begin(), list->end()), list->end());
    }
    entry.first.Stations.erase(
        std::remove(entry.first.Stations.begin(), entry.first.Stations.end(), 0),
        entry.first.Stations.end());
    out.push_back(std::move(entry));
  }
  return out;
}

}  // namespace traklin
