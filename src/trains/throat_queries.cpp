// Throat queries: the throat towards the next stop, approaching trains, routes and tasks.
#include "trains/throat_queries.h"

#include <algorithm>
#include <array>
#include <string>

#include "area/area_queries.h"
#include "state/interlocking.h"
#include "trains/stops.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

bool ValidLP(const TAreaData& area, int lp) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size());
}

int ThroatCount(const SimulationData& sim) {
  return static_cast<int>(std::min(sim.AreaData.GorlStanzs.size(), sim.State.Gorls.size()));
}

const std::vector<TTrainRouteData>* RoutesOf(const TAreaData& area, int lp) {
  if (lp < 0 || lp >= static_cast<int>(area.TrainRoutes.size())) return nullptr;
  return &area.TrainRoutes[lp].Routes;
}

const TTrainRouteData* RouteOf(const TAreaData& area, int lp, int r) {
  const auto* routes = RoutesOf(area, lp);
  if (routes == nullptr || r < 0 || r >= static_cast<int>(routes->size())) return nullptr;
  return &(*routes)[r];
}

int HalfRoute(const TSectionSchuntData& x, int half) {
  return half ? x.ROUTE_ODD : x.ROUTE_EVEN;
}
int HalfLP(const TSectionSchuntData& x, int half) {
  return half ? x.LP_ODD : x.LP_EVEN;
}

// The timetable stop of train i at LP code: searched from SCHEDULE_IDX on, one further when
// the stop there exists, is not the first and names another LP. -1 when there is none or
// the train has no timetable; entry receives the timetable train.
int StopAtLP(const SimulationData& sim, int i, int code, const TGraphTrainData** entry) {
  *entry = nullptr;
  if (!ValidTrain(sim, i) || sim.State.Trains[i].SCHEDULE_IDX < 0) return -1;
  const TGraphTrainsData* list = nullptr;
  int index = -1;
  const TGraphTrainData* e = ScheduleEntry(sim, i, &list, &index);
  if (e == nullptr) return -1;
  *entry = e;
  const int count = static_cast<int>(e->Stops.size());
  int start = sim.State.Trains[i].SCHEDULE_IDX;
  if (start > 0 && start < count && e->Stops[start].LPCode != code) ++start;
  const int stop = FindTrainStopByLP(*list, index, code, start);
  return stop >= 0 && stop < count ? stop : -1;
}

/// Forgets what was found in the timetable when its lists are not those it was found in.
void KeepTimetable(SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  TThroatChanges& c = sim.Changes.Throats;
  const std::array<const void*, 4> timetable{area.PassTrains[0].data(), area.PassTrains[1].data(),
                                             area.GruzTrains[0].data(), area.GruzTrains[1].data()};
  // Four compares, not the library's memcmp call: this runs for every waiting train.
  if (c.Timetable[0] != timetable[0] || c.Timetable[1] != timetable[1] ||
      c.Timetable[2] != timetable[2] || c.Timetable[3] != timetable[3]) {
    c.Stops.clear();
    c.Leaves.clear();
    c.Timetable = timetable;
  }
}

/// StopAtLP, remembered per train until the LP code or the train's timetable fields change.
int StopAtLPRemembered(SimulationData& sim, int i, int code, const TGraphTrainData** entry) {
  const TAreaData& area = sim.AreaData;
  TThroatChanges& c = sim.Changes.Throats;
  KeepTimetable(sim);
  const TTrainData& t = sim.State.Trains[i];
  const TGraphTrainsData& list = GetScheduleTrains(area, t.SCHEDULE_NUMBER & 1, t.LOAD_TYPE < 100);
  if (c.Stops.size() < sim.State.Trains.size()) c.Stops.resize(sim.State.Trains.size());
  TThroatChanges::TStopMemo& m = c.Stops[static_cast<std::size_t>(i)];
  if (!m.Valid || m.Code != code || m.ScheduleIdx != t.SCHEDULE_IDX ||
      m.ScheduleNumber != t.SCHEDULE_NUMBER || m.LoadType != t.LOAD_TYPE) {
    const TGraphTrainData* e = nullptr;
    m.Stop = StopAtLP(sim, i, code, &e);
    m.Entry = e != nullptr ? static_cast<int>(e - list.data()) : -1;
    m.Code = code;
    m.ScheduleIdx = t.SCHEDULE_IDX;
    m.ScheduleNumber = t.SCHEDULE_NUMBER;
    m.LoadType = t.LOAD_TYPE;
    m.Valid = true;
  }
  *entry = m.Entry < 0 ? nullptr : &list[static_cast<std::size_t>(m.Entry)];
  if (sim.Changes.Check) {
    const TGraphTrainData* fresh = nullptr;
    const int stop = StopAtLP(sim, i, code, &fresh);
    if (stop != m.Stop || fresh != *entry)
      throw CheckMismatch("incremental check: the stop of train " + std::to_string(i) + " at LP " +
                          std::to_string(code) + " remembered as " + std::to_string(m.Stop) +
                          ", found " + std::to_string(stop));
  }
  return m.Stop;
}

}  // namespace

bool ThroatOfNextStop(SimulationData& sim, int& throat, int& dir, int lp, int i) {
  const TAreaData& area = sim.AreaData;
  const int throatCount = static_cast<int>(area.GorlStanzs.size());
  if (!ValidTrain(sim, i) || !ValidLP(area, lp)) return false;
  const TTrainData& t = sim.State.Trains[i];
  const int code = area.Puts[lp].Code;

  const TGraphTrainData* entry = nullptr;
  const int stop = StopAtLPRemembered(sim, i, code, &entry);
  int nextLP = 0;
  bool eitherDir = false;
  if (stop < 0) {
    nextLP = t.ARRIVAL_LP_CODE;
  } else {
    for (int k = stop + 1; k < static_cast<int>(entry->Stops.size()); ++k)
      if (entry->Stops[k].LPCode > 0) {
        nextLP = entry->Stops[k].LPCode;
        break;
      }
    if (nextLP <= 0) return false;
    eitherDir = entry->Stops[stop].LocoType > 1;
  }

  auto qualifies = [&](int g) {
    const TGorlStanzData& th = area.GorlStanzs[g];
    return th.Code == code && (th.Parity == dir || eitherDir) && th.Side >= 0 &&
           ThroatServes(area, g, 0, nextLP) && (stop < 0 || ThroatNeighbourLP(area, g) == nextLP);
  };

  bool found = false;
  if (throat >= 0) {
    found = throat < throatCount && qualifies(throat);
  } else if (throatCount > 0) {
    const int first = sim.Random.Draw(throatCount);
    for (int n = 0; n < throatCount; ++n) {
      const int g = (first - n + throatCount) % throatCount;
      if (qualifies(g)) {
        throat = g;
        found = true;
        break;
      }
    }
  }
  if (throat >= 0 && throat < throatCount) dir = area.GorlStanzs[throat].Parity;
  return found;
}

bool LeavesThroughThroat(SimulationData& sim, int g, int lp, int dir, int i) {
  const auto fresh = [&] {
    int throat = g;
    int d = dir;
    return ThroatOfNextStop(sim, throat, d, lp, i) && d == dir;
  };
  const TAreaData& area = sim.AreaData;
  if (!ValidTrain(sim, i) || g < 0 || g >= static_cast<int>(area.GorlStanzs.size())) return fresh();
  KeepTimetable(sim);
  TThroatChanges& c = sim.Changes.Throats;
  if (c.LeavesOf != area.GorlStanzs.data() || c.Leaves.size() != area.GorlStanzs.size()) {
    c.Leaves.assign(area.GorlStanzs.size(), {});
    c.LeavesOf = area.GorlStanzs.data();
  }
  const TTrainData& t = sim.State.Trains[i];
  const TThroatChanges::TLeaveMemo& m = c.Leaves[static_cast<std::size_t>(g)];
  if (!m.Valid || m.LP != lp || m.Dir != dir || m.ScheduleIdx != t.SCHEDULE_IDX ||
      m.ScheduleNumber != t.SCHEDULE_NUMBER || m.LoadType != t.LOAD_TYPE ||
      m.Arrival != t.ARRIVAL_LP_CODE) {
    const bool leaves = fresh();
    c.Leaves[static_cast<std::size_t>(g)] = {
        lp, dir, t.SCHEDULE_IDX, t.SCHEDULE_NUMBER, t.LOAD_TYPE, t.ARRIVAL_LP_CODE, leaves, true};
    return leaves;
  }
  if (sim.Changes.Check && fresh() != m.Leaves) {
    throw CheckMismatch("incremental check: whether train " + std::to_string(t.NUMBER) +
                        " leaves through throat " + std::to_string(g) + " remembered as " +
                        (m.Leaves ? "yes" : "no") + ", found the other");
  }
  return m.Leaves;
}

int ReceiveTaskOfTrack(const SimulationData& sim, int lp, int track) {
  const TAreaData& area = sim.AreaData;
  if (!ValidLP(area, lp)) return -1;
  const int code = area.Puts[lp].Code;
  for (int g = ThroatCount(sim) - 1; g >= 0; --g) {
    const TGorlTaskData& task = sim.State.Gorls[g];
    if (area.GorlStanzs[g].Code == code && task.TASKED != 0 && !task.SEND && task.TRACK == track)
      return g;
  }
  return -1;
}

bool ThroatTaskCoversTrain(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return false;
  const TAreaData& area = sim.AreaData;
  const TTrainData& t = sim.State.Trains[i];
  const int s = t.HEAD.SECT_IDX;
  const int code = EndStationCode(sim, t.HEAD);
  if (!ValidSection(area, s) || code <= 0) return false;
  const int lp = FindLPIndex(area, code);
  for (int g = 0; g < ThroatCount(sim); ++g) {
    const TGorlTaskData& task = sim.State.Gorls[g];
    const TGorlStanzData& th = area.GorlStanzs[g];
    if (task.TASKED == 0 || th.Code != code) continue;
    if (th.EntrySection == s) return true;
    if (ValidLP(area, lp) && task.TRACK >= 0 &&
        task.TRACK < static_cast<int>(area.Puts[lp].Tracks.size()) &&
        area.Puts[lp].Tracks[task.TRACK].Section == s)
      return true;
  }
  return false;
}

bool LPAsksDispatcher(const TAreaData& area, int lp) {
  return ValidLP(area, lp) && area.Puts[lp].CodeFromStation == 1;
}

bool ThroatRouteBusy(const SimulationData& sim, int lp, int s) {
  const auto* routes = RoutesOf(sim.AreaData, lp);
  if (routes == nullptr || lp >= static_cast<int>(sim.State.Routes.size())) return false;
  // Asked for every throat on every step: the small control records are read first, the
  // large route records only for the few routes that are pending or set.
  const TLPRoutesControlData& control = sim.State.Routes[lp];
  const int n = static_cast<int>(std::min(routes->size(), control.size()));
  for (int r = 0; r < n; ++r) {
    const bool pendingOrSet = control[r].TASKED != 0 || control[r].SCHUNTED;
    if (pendingOrSet && ((*routes)[r].FirstSection == s || (*routes)[r].LastSection == s))
      return true;
  }
  return false;
}

bool RouteConflicts(const SimulationData& sim, int lp, int r) {
  const TAreaData& area = sim.AreaData;
  const TTrainRouteData* rt = RouteOf(area, lp, r);
  if (rt == nullptr) return false;
  const int D = RouteDirection(*rt);
  int n = 0;
  while (n < kMaxRouteSections && rt->Sections[n] != 0) ++n;
  const auto heldByOther = [&](const TSectionSchuntData& x, int half) {
    const int route = HalfRoute(x, half);
    return route >= 0 && route != r;
  };
  const auto heldOpposite = [&](const TSectionSchuntData& x, int half) {
    const TTrainRouteData* other = RouteOf(area, HalfLP(x, half), HalfRoute(x, half));
    return other != nullptr && RouteDirection(*other) != D;
  };
  for (int k = 0; k < n; ++k) {
    const int s = rt->Sections[k];
    if (s < 1 || s >= static_cast<int>(sim.State.Sects.size())) continue;
    const TSectionSchuntData& x = sim.State.Sects[s];
    if (k == 0) {
      if (heldByOther(x, D) || heldOpposite(x, 1 - D)) return true;
    } else if (k == n - 1) {
      if (heldByOther(x, 1 - D) || heldOpposite(x, D)) return true;
    } else if (heldByOther(x, 0) || heldByOther(x, 1)) {
      return true;
    }
  }
  return false;
}

bool ChainConflicts(const SimulationData& sim, int lp, int chain) {
  if (lp < 0 || lp >= static_cast<int>(sim.AreaData.TrainRoutes.size())) return false;
  const auto& chains = sim.AreaData.TrainRoutes[lp].Chains;
  if (chain < 0 || chain >= static_cast<int>(chains.size())) return false;
  const TChainData& c = chains[chain];
  for (int k = 0; k < kMaxChainRoutes && c.Routes[k] >= 0; ++k)
    if (RouteConflicts(sim, lp, c.Routes[k])) return true;
  return false;
}

int ApproachOuterSection(const TAreaData& area, int e, int a, int& half) {
  if (!ValidSection(area, e) || area.SlSects[e].Side[(a & 1) ^ 1] != 0) return 0;
  // Walking away from the station; the direction may flip there.
  int walk = (a & 1) ^ 1;
  const int n = NextSection(area, walk, e, false);
  if (n > 0) half = walk ^ 1;
  return n;
}

int ApproachingTrain(const SimulationData& sim, int e, int a) {
  if (!ValidSection(sim.AreaData, e)) return -1;
  // The walk outwards is the dearer part: it waits until no train is found on e itself.
  if (TrainOnHalf(sim, e, a & 1) >= 0) return ApproachingTrainVia(sim, e, a, 0, 0);
  int outerHalf = 0;
  const int outer = ApproachOuterSection(sim.AreaData, e, a & 1, outerHalf);
  return ApproachingTrainVia(sim, e, a, outer, outerHalf);
}

int ApproachingTrainVia(const SimulationData& sim, int e, int a, int outer, int outerHalf) {
  int half = a & 1;
  int x = 0;
  int found = TrainOnHalf(sim, e, half);
  if (found < 0 && outer > 0) {
    half = outerHalf;
    found = TrainOnHalf(sim, outer, half);
    // Asked for every throat on every step: the length is read only when a train is there.
    if (found >= 0) x = SectionLength(sim, e);
  }
  if (found < 0) return -1;
  const TTrainData& t = sim.State.Trains[found];
  const long h = RoundHalfEven(t.HEAD.SECT_POS);
  const long distance = half == 1 ? x + h : x + (SectionLength(sim, t.HEAD.SECT_IDX) - h);
  return distance <= kApproachLimit ? found : -1;
}

int ThroatApproachingTrainVia(const SimulationData& sim, int g, int e, int a, int outer,
                              int outerHalf) {
  const int t = ApproachingTrainVia(sim, e, a, outer, outerHalf);
  if (sim.Changes.Check && t != ApproachingTrain(sim, e, a))
    throw CheckMismatch("incremental check: the train approaching throat " + std::to_string(g) +
                        " differs from a fresh look");
  return t;
}

int TrainForTrack(const SimulationData& sim, int lp, int s, int d, bool* standing) {
  if (standing != nullptr) *standing = false;
  const TAreaData& area = sim.AreaData;
  if (!ValidLP(area, lp) || !ValidSection(area, s)) return -1;
  const int here = TrainOnHalf(sim, s, d & 1);
  if (here >= 0 && !IsMoving(sim, here)) {
    if (standing != nullptr) *standing = true;
    return here;
  }
  const auto* routes = RoutesOf(area, lp);
  if (routes == nullptr) return -1;
  // Back along the set routes that lead into the track: each ends where the next begins.
  int section = s;
  int dir = d & 1;
  int walked = 0;
  for (; walked < static_cast<int>(routes->size()); ++walked) {
    if (section < 1 || section >= static_cast<int>(sim.State.Sects.size())) break;
    const TSectionSchuntData& x = sim.State.Sects[section];
    const int r = HalfRoute(x, dir ^ 1);
    if (HalfLP(x, dir ^ 1) != lp) break;
    const TTrainRouteData* rt = RouteOf(area, lp, r);
    if (rt == nullptr || rt->LastSection != section || !RouteIsSet(sim, lp, r)) break;
    const int firstDir = dir ^ (rt->Flags[0] & 1);
    for (int k = 0; k < kMaxRouteSections && rt->Sections[k] != 0; ++k) {
      const int t = TrainOnHalf(sim, rt->Sections[k], k == 0 ? firstDir : dir);
      if (t >= 0) return t;
    }
    section = rt->FirstSection;
    dir = firstDir;
  }
  return walked > 0 ? ApproachingTrain(sim, section, dir) : -1;
}

bool TrainStopsAt(const SimulationData& sim, int lpCode, int i) {
  if (!ValidTrain(sim, i)) return false;
  if (lpCode == sim.State.Trains[i].ARRIVAL_LP_CODE) return true;
  const TGraphTrainData* entry = nullptr;
  const int stop = StopAtLP(sim, i, lpCode, &entry);
  return stop >= 0 && entry->Stops[stop].Arrival != 0;
}

void CancelTask(SimulationData& sim, int g) {
  if (g < 0 || g >= ThroatCount(sim)) return;
  TGorlTaskData& task = sim.State.Gorls[g];
  if (task.TRANSIT) {
    const int code = sim.AreaData.GorlStanzs[g].Code;
    for (int q = ThroatCount(sim) - 1; q >= 0; --q) {
      TGorlTaskData& other = sim.State.Gorls[q];
      if (sim.AreaData.GorlStanzs[q].Code == code && other.TRANSIT && other.SEND != task.SEND &&
          other.TRACK == task.TRACK) {
        other.TASKED = 0;
        break;
      }
    }
  }
  task.TASKED = 0;
  if (sim.OnTasksChanged) sim.OnTasksChanged();
}

bool LineAheadFree(const SimulationData& sim, int g, int i) {
  const TAreaData& area = sim.AreaData;
  if (!ValidTrain(sim, i) || g < 0 || g >= static_cast<int>(area.GorlStanzs.size())) return false;
  const TTrainData& t = sim.State.Trains[i];
  if (t.ARRIVAL_LP_CODE > 0 && LPAsksDispatcher(area, FindLPIndex(area, t.ARRIVAL_LP_CODE)))
    return false;
  const TGorlStanzData& th = area.GorlStanzs[g];
  if (th.CodeLow != 0 || th.CodeHigh != 0) {
    for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp)
      if (area.Puts[lp].Code >= th.CodeLow && area.Puts[lp].Code <= th.CodeHigh &&
          LPAsksDispatcher(area, lp))
        return false;
    return true;
  }
  const TGraphTrainData* entry = t.SCHEDULE_IDX >= 0 ? ScheduleEntry(sim, i) : nullptr;
  if (entry == nullptr) return true;
  for (int k = t.SCHEDULE_IDX; k < static_cast<int>(entry->Stops.size()); ++k) {
    const int code = entry->Stops[k].LPCode;
    if (code > 0 && LPAsksDispatcher(area, FindLPIndex(area, code))) return false;
  }
  return true;
}

int ChooseReceptionTrack(const SimulationData& sim, int lp, int g, int i) {
  const TAreaData& area = sim.AreaData;
  if (!ValidLP(area, lp) || g < 0 || g >= static_cast<int>(area.GorlStanzs.size())) return -1;
  const int e = area.GorlStanzs[g].EntrySection;
  int best = -1;
  // While a fault is in force, a track it keeps (falsely occupied, or reached only through a
  // fault) is chosen only when no other suits.
  for (int pass = sim.State.Faults.empty() ? 1 : 0; pass < 2 && best < 0; ++pass) {
    bool bestSecond = false;
    RouteQuality bestRating = InitRouteQuality();
    for (int k = static_cast<int>(area.Puts[lp].Tracks.size()) - 1; k >= 0; --k) {
      if (!TrackSuits(sim, lp, k, i)) continue;
      const int s = area.Puts[lp].Tracks[k].Section;
      RouteQuality rating;
      if (FindBestRoute(area, lp, e, s, &rating) < 0) continue;
      if (pass == 0 && (SectionFalselyOccupied(sim, s) ||
                        ChainBlockedByFault(sim, lp, FindBestRouteNow(sim, lp, e, s))))
        continue;
      // A track the train's dependant could not leave comes after every other. Only a strictly
      // better track replaces the best, so on a tie the higher track stays.
      const bool second = ReceiveOnlyTrackForParent(sim, lp, k, i);
      if (best < 0 || (bestSecond && !second) ||
          (bestSecond == second && CompareRouteQuality(bestRating, rating) < 0)) {
        best = k;
        bestSecond = second;
        bestRating = rating;
      }
    }
  }
  return best;
}

bool RoutesHoldTrain(const SimulationData& sim, int lp, const int* routes, int count) {
  const TLPRoutesData& table = sim.AreaData.TrainRoutes[lp];
  for (int k = 0; k < count && routes[k] >= 0; ++k) {
    if (routes[k] >= static_cast<int>(table.Routes.size())) continue;
    const TTrainRouteData& rt = table.Routes[routes[k]];
    for (int n = k == 0 ? 1 : 0; n < kMaxRouteSections && rt.Sections[n] != 0; ++n)
      if (!SectionFree(sim, rt.Sections[n])) return true;
  }
  return false;
}

}  // namespace traklin
