// Route orders, occupancy queries, route lamps and the per-step assembly and release of routes.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "area/area_queries.h"
#include "state/braking.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "state/interlocking_detail.h"

namespace traklin {

using detail::Notify;
using detail::SwitchReverse;
using detail::ValidRoute;
using detail::ValidSection;

namespace {

constexpr TDateTime kCommitLifetime = 1.0 / 480.0;  // 3 minutes

int& HalfRoute(TSectionSchuntData& x, int half) {
  return half ? x.ROUTE_ODD : x.ROUTE_EVEN;
}
int& HalfLP(TSectionSchuntData& x, int half) {
  return half ? x.LP_ODD : x.LP_EVEN;
}
int HalfRoute(const TSectionSchuntData& x, int half) {
  return half ? x.ROUTE_ODD : x.ROUTE_EVEN;
}
int HalfLP(const TSectionSchuntData& x, int half) {
  return half ? x.LP_ODD : x.LP_EVEN;
}

bool LockedByOther(const TSectionSchuntData& x, int half, int lp, int r) {
  const int route = HalfRoute(x, half);
  return route != -1 && (route != r || HalfLP(x, half) != lp);
}

int RouteLength(const TTrainRouteData& rt) {
  int n = 0;
  while (n < kMaxRouteSections && rt.Sections[n] != 0) ++n;
  return n;
}

/// The derived values of one route: its section list, direction and half selector.
class RouteView {
 public:
  RouteView(const TTrainRouteData& rt, int lp, int r)
      : rt_(rt), lp_(lp), r_(r), n_(RouteLength(rt)), dir_(RouteDirection(rt)) {}

  int Count() const { return n_; }
  int Last() const { return n_ - 1; }
  int Dir() const { return dir_; }
  int Section(int i) const { return rt_.Sections[i]; }

  /// e(s) of the section at position i; the recorded first and last sections must stand at
  /// the first and last positions.
  int Half(int i) const {
    const int s = rt_.Sections[i];
    const bool atLast = i == Last();
    const bool atFirst = i == 0;
    if ((s == rt_.LastSection) != atLast || (s == rt_.FirstSection) != atFirst)
      throw std::runtime_error("Неверный порядок секций маршрута " + std::to_string(lp_) + "-" +
                               std::to_string(r_));
    if (s == rt_.LastSection) return dir_ ^ (rt_.Flags[1] & 1);
    if (s == rt_.FirstSection) return dir_ ^ (rt_.Flags[0] & 1);
    return dir_;
  }

  /// Bit h set when half h of position i must be locked by the route.
  int Needed(int i) const {
    int mask = 3;
    if (i == 0) mask &= 1 << Half(0);
    if (i == Last()) mask &= 1 << (1 - Half(i));
    return mask;
  }

 private:
  const TTrainRouteData& rt_;
  int lp_, r_, n_, dir_;
};

/// A needed half of the route locked by another route.
bool RouteConflictsAtHalves(const SimulationData& sim, const RouteView& v, int lp, int r) {
  for (int i = v.Last(); i >= 0; --i) {
    const int s = v.Section(i);
    if (!ValidSection(sim, s) || s >= static_cast<int>(sim.State.Sects.size())) continue;
    const int mask = v.Needed(i);
    const TSectionSchuntData& x = sim.State.Sects[s];
    for (int h = 0; h < 2; ++h)
      if ((mask & (1 << h)) && LockedByOther(x, h, lp, r)) return true;
  }
  return false;
}

/// An opposing route of the same LP already ends on the route's last section.
bool OpposingRouteOfLPEndsHere(const SimulationData& sim, const RouteView& v, int lp) {
  const int s = v.Section(v.Last());
  if (!ValidSection(sim, s) || s >= static_cast<int>(sim.State.Sects.size())) return false;
  const TSectionSchuntData& x = sim.State.Sects[s];
  const int half = v.Half(v.Last());
  const int r2 = HalfRoute(x, half);
  if (r2 == -1 || HalfLP(x, half) != lp || !ValidRoute(sim, lp, r2)) return false;
  return RouteDirection(sim.AreaData.TrainRoutes[lp].Routes[r2]) != v.Dir();
}

/// Some half of route r of LP lp is locked by it.
bool LocksAnyHalf(const SimulationData& sim, const RouteView& v, int lp, int r) {
  for (int i = 0; i <= v.Last(); ++i) {
    const int s = v.Section(i);
    if (!ValidSection(sim, s) || s >= static_cast<int>(sim.State.Sects.size())) continue;
    const TSectionSchuntData& x = sim.State.Sects[s];
    for (int h = 0; h < 2; ++h)
      if (HalfRoute(x, h) == r && HalfLP(x, h) == lp) return true;
  }
  return false;
}

/// Every half route r of LP lp needs is locked by it.
bool LocksAllHalves(const SimulationData& sim, const RouteView& v, int lp, int r) {
  for (int i = 0; i <= v.Last(); ++i) {
    const int s = v.Section(i);
    if (!ValidSection(sim, s) || s >= static_cast<int>(sim.State.Sects.size())) continue;
    const TSectionSchuntData& x = sim.State.Sects[s];
    const int mask = v.Needed(i);
    for (int h = 0; h < 2; ++h)
      if ((mask & (1 << h)) && (HalfRoute(x, h) != r || HalfLP(x, h) != lp)) return false;
  }
  return true;
}

/// The signal at the end of the route, -1 for none (or for a broken route: its own turn
/// reports it).
int ExitSignal(const TAreaData& area, const RouteView& v) {
  if (v.Count() == 0) return -1;
  int g = -1;
  try {
    g = SectionSemaphore(area, v.Section(v.Last()), v.Half(v.Last()));
  } catch (const std::runtime_error&) {
    return -1;
  }
  return g >= 0 && g < static_cast<int>(area.Semaphores.size()) ? g : -1;
}

/// A route towards the peregon of exit signal g from its other end holds a half already (being
/// assembled, set or released). The opposing-signal check sees a route only once its signals
/// lead somewhere, so two stations ordering exits onto one line within the few steps an
/// assembly takes would both get them; the first to lock a half keeps the line. Walks every
/// route of the district: the check mode's reference for the indexed search below.
bool OpposingExitAssemblingFull(const SimulationData& sim, int lp, int r, int g) {
  const TAreaData& area = sim.AreaData;
  if (g < 0 || g >= static_cast<int>(area.Semaphores.size())) return false;
  const TSemaphoreData& sg = area.Semaphores[g];
  if (sg.Next <= 0) return false;
  const int lps = static_cast<int>(std::min(area.TrainRoutes.size(), sim.State.Routes.size()));
  for (int l = 0; l < lps; ++l) {
    const std::vector<TTrainRouteData>& routes = area.TrainRoutes[l].Routes;
    const TLPRoutesControlData& control = sim.State.Routes[l];
    const int count = static_cast<int>(std::min(routes.size(), control.size()));
    for (int r2 = 0; r2 < count; ++r2) {
      if ((control[r2].TASKED == 0 && !control[r2].SCHUNTED) || (l == lp && r2 == r)) continue;
      const RouteView v(routes[r2], l, r2);
      const int g2 = ExitSignal(area, v);
      if (g2 < 0) continue;
      const TSemaphoreData& s2 = area.Semaphores[g2];
      if (s2.Next == sg.Next && s2.Direction != sg.Direction && LocksAnyHalf(sim, v, l, r2))
        return true;
    }
  }
  return false;
}

/// Makes the index of routes by the graph peregon their exit signal leads onto, once per
/// district: the opposing-exit search then reads only the routes onto one peregon.
void MakeExitIndex(const SimulationData& sim, TRouteChanges& c) {
  const TAreaData& area = sim.AreaData;
  if (c.ExitsData == area.TrainRoutes.data() && c.ExitsLPs == area.TrainRoutes.size() &&
      c.ExitsSignals == area.Semaphores.size() && !c.ExitStart.empty())
    return;
  struct Exit {
    int Next, LP, Route, Direction;
  };
  std::vector<Exit> exits;
  int top = 0;
  for (int l = 0; l < static_cast<int>(area.TrainRoutes.size()); ++l) {
    const std::vector<TTrainRouteData>& routes = area.TrainRoutes[l].Routes;
    for (int r2 = 0; r2 < static_cast<int>(routes.size()); ++r2) {
      const int g2 = ExitSignal(area, RouteView(routes[r2], l, r2));
      if (g2 < 0) continue;
      const TSemaphoreData& s2 = area.Semaphores[g2];
      if (s2.Next <= 0) continue;
      exits.push_back({s2.Next, l, r2, s2.Direction});
      top = std::max(top, s2.Next);
    }
  }
  std::stable_sort(exits.begin(), exits.end(),
                   [](const Exit& a, const Exit& b) { return a.Next < b.Next; });
  c.ExitStart.assign(static_cast<std::size_t>(top) + 2, 0);
  for (const Exit& e : exits) ++c.ExitStart[static_cast<std::size_t>(e.Next) + 1];
  for (std::size_t n = 1; n < c.ExitStart.size(); ++n) c.ExitStart[n] += c.ExitStart[n - 1];
  c.ExitLP.clear();
  c.ExitRoute.clear();
  c.ExitDirection.clear();
  for (const Exit& e : exits) {
    c.ExitLP.push_back(e.LP);
    c.ExitRoute.push_back(e.Route);
    c.ExitDirection.push_back(e.Direction);
  }
  c.ExitsData = area.TrainRoutes.data();
  c.ExitsLPs = area.TrainRoutes.size();
  c.ExitsSignals = area.Semaphores.size();
}

/// OpposingExitAssemblingFull over the routes onto g's peregon alone.
bool OpposingExitAssembling(SimulationData& sim, int lp, int r, int g) {
  const TAreaData& area = sim.AreaData;
  if (g < 0 || g >= static_cast<int>(area.Semaphores.size())) return false;
  const TSemaphoreData& sg = area.Semaphores[g];
  if (sg.Next <= 0) return false;
  TRouteChanges& c = sim.Changes.Routes;
  MakeExitIndex(sim, c);
  bool found = false;
  if (static_cast<std::size_t>(sg.Next) + 1 < c.ExitStart.size()) {
    const std::size_t lps = std::min(area.TrainRoutes.size(), sim.State.Routes.size());
    for (int k = c.ExitStart[sg.Next]; k < c.ExitStart[sg.Next + 1] && !found; ++k) {
      const int l = c.ExitLP[k];
      const int r2 = c.ExitRoute[k];
      if (static_cast<std::size_t>(l) >= lps || c.ExitDirection[k] == sg.Direction ||
          (l == lp && r2 == r))
        continue;
      const TLPRoutesControlData& control = sim.State.Routes[l];
      if (static_cast<std::size_t>(r2) >= control.size() ||
          (control[r2].TASKED == 0 && !control[r2].SCHUNTED))
        continue;
      found = LocksAnyHalf(sim, RouteView(area.TrainRoutes[l].Routes[r2], l, r2), l, r2);
    }
  }
  if (sim.Changes.Check && found != OpposingExitAssemblingFull(sim, lp, r, g))
    throw CheckMismatch("incremental check: the opposing exit of route " + std::to_string(r) +
                        " of LP " + std::to_string(lp) + " found " + (found ? "set" : "none") +
                        ", the full search the other");
  return found;
}

/// A train on the graph peregon that exit signal g leads onto runs towards g's station: the
/// line is held from its other end. Once a train has set out, nothing else shows it: the route
/// that sent it is released as its tail enters the line.
bool TrainComesTowards(const SimulationData& sim, int g) {
  if (g < 0 || g >= static_cast<int>(sim.AreaData.Semaphores.size())) return false;
  const TSemaphoreData& sg = sim.AreaData.Semaphores[g];
  return sg.Next > 0 && PeregonOccupiedDirections(sim, sg.Next - 1)[(sg.Direction & 1) ^ 1];
}

/// The order of a route that has locked nothing is taken back: the route is free again, its
/// lamps stop flashing, and whoever ordered it may order it anew.
void Withdraw(SimulationData& sim, int lp, int r) {
  TRouteControlData& ctl = sim.State.Routes[lp][r];
  ctl.TASKED = 0;
  ++sim.Changes.Interlocking;
  SetRouteLamps(sim, lp, r, 2);
}

/// The length a train runs over section s now: the side length while its switch lies reverse.
int LengthNow(const SimulationData& sim, int s) {
  const TSlSectData& d = sim.AreaData.SlSects[s];
  const int w = d.Switch[1] > 0 ? d.Switch[1] : d.Switch[0];
  return SwitchReverse(sim, w) ? d.SideLength : d.Length;
}

/// Approach locking: the signal at the start of the route shows proceed and a train runs
/// towards it that could no longer stop before it. Released now, the route would close the
/// signal under the train's nose.
bool ApproachLocked(const SimulationData& sim, const RouteView& v) {
  const TAreaData& area = sim.AreaData;
  const TStateData& st = sim.State;
  const int first = v.Section(0);
  const int g = SectionSemaphore(area, first, v.Half(0));
  if (g < 0 || g >= static_cast<int>(st.Semaphores.size()) || st.Semaphores[g].CLOSED ||
      !ValidSection(sim, first))
    return false;
  // No train needs more room than this to stop.
  int horizon = 0;
  for (int i = 0; i < static_cast<int>(st.Trains.size()); ++i)
    horizon = std::max(horizon, BrakingDistance(st.Trains[i].SPEED * 3.6, Deceleration(sim, i)));
  // Back from the signal against its direction, over the switches as they lie, from the
  // route's first section on: a train standing there can still stop, one running there may not.
  int walk = (area.Semaphores[g].Direction & 1) ^ 1;
  int s = first;
  int room = 0;  // from the end of section s to the signal
  for (int n = 0; n < area.SectCount && room <= horizon; ++n) {
    if (!ValidSection(sim, s) || s >= static_cast<int>(st.Sects.size())) return false;
    const int towards = walk ^ 1;  // the direction of a train coming to the signal
    const TSectionSchuntData& lock = st.Sects[s];
    const int t = towards ? lock.TRN_ODD : lock.TRN_EVEN;
    if (t >= 0 && t < static_cast<int>(st.Trains.size())) {
      const TTrainData& train = st.Trains[t];
      int distance = room;
      if (train.HEAD.SECT_IDX == s) {
        const double pos = std::isfinite(train.HEAD.SECT_POS) ? train.HEAD.SECT_POS : 0;
        distance +=
            static_cast<int>(towards == 0 ? LengthNow(sim, s) - std::lrint(pos) : std::lrint(pos));
      }
      return train.SPEED > 0 && distance < BrakingDistance(train.SPEED * 3.6, Deceleration(sim, t));
    }
    // A train between them going the other way: nothing comes to the signal past it.
    if ((towards ? lock.TRN_EVEN : lock.TRN_ODD) >= 0) return false;
    room += LengthNow(sim, s);
    const TSlSectData& d = area.SlSects[s];
    try {
      s = NextSection(area, walk, s, d.Switch[walk] > 0 && SwitchReverse(sim, d.Switch[walk]));
    } catch (const std::runtime_error&) {
      return false;
    }
  }
  return false;
}

/// OpposingRouteSet over the pass's list of signals that lead somewhere.
bool OpposingRouteSetInPass(SimulationData& sim, int g) {
  const bool found = OpposingRouteSet(sim, g, sim.Changes.Routes.Leading);
  if (sim.Changes.Check && found != OpposingRouteSet(sim, g))
    throw CheckMismatch("incremental check: an opposing route towards signal " + std::to_string(g) +
                        " found " + (found ? "set" : "none") + ", the full search the other");
  return found;
}

void ThrowSwitch(SimulationData& sim, int lp, int r, int w) {
  const TLPRoutesData& table = sim.AreaData.TrainRoutes[lp];
  const TTrainRouteData& rt = table.Routes[r];
  const int entries = std::min(table.SwitchCount, kMaxRouteSwitches);
  for (int k = 0; k < entries; ++k) {
    if (rt.SwitchNumber[k] != w) continue;
    if (w < static_cast<int>(sim.State.Switches.size())) {
      sim.State.Switches[w] = rt.SwitchMinus[k] ? 1 : 0;
      ++sim.Changes.Interlocking;
    }
    return;
  }
  Notify(sim, "Стрелка " + std::to_string(w) + " не в маршруте " + std::to_string(r));
}

void Assemble(SimulationData& sim, int lp, int r, const RouteView& v) {
  if (RouteIsOccupied(sim, lp, r, false)) return;
  if (!sim.State.Faults.empty()) {
    // The route waits until the fault is over; the station tells of a switch that will not
    // throw once.
    int w = 0;
    if (RouteBlockedByFault(sim, lp, r, &w)) {
      if (w > 0) ReportFailedSwitch(sim, lp, w);
      return;
    }
  }
  if (RouteConflictsAtHalves(sim, v, lp, r)) return;
  if (v.Count() > 0) {
    if (OpposingRouteOfLPEndsHere(sim, v, lp)) return;
    const int h = v.Last();
    const int exit = SectionSemaphore(sim.AreaData, v.Section(h), v.Half(h));
    // An exit onto a line that a train is already on, coming the other way, is refused
    // rather than left waiting: the pending order would hold the station's other routes and
    // the throat that train has to come in by. One that has begun to lock waits.
    if (TrainComesTowards(sim, exit)) {
      if (!LocksAnyHalf(sim, v, lp, r)) Withdraw(sim, lp, r);
      return;
    }
    if (OpposingRouteSetInPass(sim, exit)) return;
    if (OpposingExitAssembling(sim, lp, r, exit)) return;
  }

  TStateData& st = sim.State;
  int prev = -1;  // the last signal met along the route
  for (int i = 0; i <= v.Last(); ++i) {
    const int s = v.Section(i);
    if (!ValidSection(sim, s) || s >= static_cast<int>(st.Sects.size())) continue;
    const int mask = v.Needed(i);
    TSectionSchuntData& x = st.Sects[s];
    for (int h = 0; h < 2; ++h) {
      if (!(mask & (1 << h)) || HalfRoute(x, h) != -1) continue;
      const int w = sim.AreaData.SlSects[s].Switch[h];
      if (w > 0) {
        ThrowSwitch(sim, lp, r, w);
        if (SwitchReverse(sim, w) && prev >= 0) {
          st.Semaphores[prev].SIDE_SWITCHES += 1;
          MarkSignalChanged(sim, prev);
        }
      }
      HalfRoute(x, h) = r;
      HalfLP(x, h) = lp;
      ++sim.Changes.Interlocking;
      return;
    }
    // Every needed half of s is locked: link the signals met so far.
    const int e = v.Half(i);
    int g = SectionSemaphore(sim.AreaData, s, e);
    if (g < 0 && i == v.Last()) g = FindSemaphoreAhead(sim.AreaData, e, s);
    if (g >= 0 && g < static_cast<int>(st.Semaphores.size())) {
      if (prev >= 0 && st.Semaphores[prev].SECT_NEXT == 0) {
        TRouteChanges& c = sim.Changes.Routes;
        if (sim.AreaData.Semaphores[prev].Kind != 2 &&
            static_cast<std::size_t>(prev) < c.Listed.size() && !c.Listed[prev]) {
          c.Listed[prev] = 1;
          c.Leading.push_back(prev);
        }
        st.Semaphores[prev].SECT_NEXT = sim.AreaData.Semaphores[g].Section;
        st.Semaphores[prev].DIR_NEXT = sim.AreaData.Semaphores[g].Direction;
        MarkSignalChanged(sim, prev);
      }
      prev = g;
    }
  }
  TRouteControlData& ctl = st.Routes[lp][r];
  ctl.SCHUNTED = true;
  SetRouteLamps(sim, lp, r, 1);
  ctl.TASKED = 0;
  ++sim.Changes.Interlocking;
}

void Release(SimulationData& sim, int lp, int r, const RouteView& v) {
  if (v.Count() > 0 && ApproachLocked(sim, v)) {
    // Refused rather than left waiting: a train that runs onto a route whose release is
    // pending has run onto a route not set. A route set stays set; one whose assembly was
    // turned round goes on being assembled.
    TRouteControlData& ctl = sim.State.Routes[lp][r];
    if (LocksAllHalves(sim, v, lp, r)) {
      ctl.TASKED = 0;
      SetRouteLamps(sim, lp, r, 1);
    } else {
      ctl.SCHUNTED = false;
    }
    ++sim.Changes.Interlocking;
    return;
  }
  if (RouteIsOccupied(sim, lp, r, true)) return;
  if (RouteConflictsAtHalves(sim, v, lp, r)) return;
  SetRouteLamps(sim, lp, r, 0);

  TStateData& st = sim.State;
  for (int i = 0; i <= v.Last(); ++i) {
    const int s = v.Section(i);
    const int g = SectionSemaphore(sim.AreaData, s, v.Half(i));
    if (g >= 0 && g < static_cast<int>(st.Semaphores.size()) && i < v.Last() &&
        st.Semaphores[g].SECT_NEXT > 0) {
      TSemaphoreLightData& light = st.Semaphores[g];
      light.PREV_SECT_NEXT = light.SECT_NEXT;
      light.SECT_NEXT = 0;
      light.SIDE_SWITCHES = 0;
      MarkSignalChanged(sim, g);
    }
    if (!ValidSection(sim, s) || s >= static_cast<int>(st.Sects.size())) continue;
    TSectionSchuntData& x = st.Sects[s];
    for (int h = 0; h < 2; ++h) {
      if (HalfRoute(x, h) == r && HalfLP(x, h) == lp) {
        HalfRoute(x, h) = -1;
        ++sim.Changes.Interlocking;
        return;
      }
    }
  }
  TRouteControlData& ctl = st.Routes[lp][r];
  ctl.SCHUNTED = false;
  SetRouteLamps(sim, lp, r, 2);
  ctl.TASKED = 0;
  ++sim.Changes.Interlocking;
}

void ExpireCommits(SimulationData& sim, int lp) {
  if (lp >= sim.AreaData.StationCount || lp >= static_cast<int>(sim.State.DepartCommits.size()))
    return;
  for (int dir = 0; dir < 2; ++dir) {
    const TDepartCommitData& c = sim.State.DepartCommits[lp];
    const TDateTime given = dir ? c.ODD : c.EVEN;
    if (given != 0 && sim.State.ClockTime - given > kCommitLifetime)
      ToggleDepartCommit(sim, lp, dir);
  }
}

/// Check mode: an LP skipped as having no route ordered has none.
void CheckNoRouteOrdered(const SimulationData& sim, int lp) {
  const std::vector<TRouteControlData>& routes = sim.State.Routes[lp];
  for (std::size_t r = 0; r < routes.size(); ++r)
    if (routes[r].TASKED > 0)
      throw CheckMismatch("incremental check: route " + std::to_string(r) + " of LP " +
                          std::to_string(lp) + " is ordered but its LP was skipped");
}

/// The route the LP works on in this step: releases first, then the earliest order.
int ChooseActiveRoute(SimulationData& sim, int lp) {
  const int count = std::min(static_cast<int>(sim.AreaData.TrainRoutes[lp].Routes.size()),
                             static_cast<int>(sim.State.Routes[lp].size()));
  int active = -1;
  for (int r = 0; r < count; ++r) {
    const TRouteControlData& ctl = sim.State.Routes[lp][r];
    if (!(ctl.TASKED > 0)) continue;
    SetRouteLamps(sim, lp, r, 3);
    if (active < 0) {
      active = r;
      continue;
    }
    const TRouteControlData& cur = sim.State.Routes[lp][active];
    if (ctl.SCHUNTED != cur.SCHUNTED) {
      if (ctl.SCHUNTED) active = r;
    } else if (ctl.TASKED < cur.TASKED) {
      active = r;
    }
  }
  return active;
}

}  // namespace

// ---------------------------------------------------------------------------
// Route operations

bool OrderRoute(SimulationData& sim, int lp, int r) {
  if (!ValidRoute(sim, lp, r)) return false;
  TRouteControlData& ctl = sim.State.Routes[lp][r];
  if (ctl.TASKED != 0 || ctl.SCHUNTED) return false;
  ctl.TASKED = sim.State.ClockTime;
  MarkRouteOrdered(sim, lp);
  return true;
}

bool CancelRoute(SimulationData& sim, int lp, int r) {
  if (!ValidRoute(sim, lp, r)) return false;
  TRouteControlData& ctl = sim.State.Routes[lp][r];
  if (ctl.TASKED != 0 || !ctl.SCHUNTED) return false;
  ctl.TASKED = sim.State.ClockTime;
  MarkRouteOrdered(sim, lp);
  return true;
}

bool ReverseRoute(SimulationData& sim, int lp, int r) {
  if (!ValidRoute(sim, lp, r)) return false;
  TRouteControlData& ctl = sim.State.Routes[lp][r];
  if (ctl.TASKED == 0) return false;
  ctl.TASKED = sim.State.ClockTime;
  MarkRouteOrdered(sim, lp);
  ctl.SCHUNTED = !ctl.SCHUNTED;
  return true;
}

namespace {

const TChainData* FindChain(const SimulationData& sim, int lp, int chain) {
  if (lp < 0 || lp >= static_cast<int>(sim.AreaData.TrainRoutes.size()) || chain < 0)
    return nullptr;
  const auto& chains = sim.AreaData.TrainRoutes[lp].Chains;
  return chain < static_cast<int>(chains.size()) ? &chains[chain] : nullptr;
}

}  // namespace

void OrderChain(SimulationData& sim, int lp, int chain) {
  const TChainData* c = FindChain(sim, lp, chain);
  if (c == nullptr) return;
  for (int k = 0; k < kMaxChainRoutes && c->Routes[k] >= 0; ++k) OrderRoute(sim, lp, c->Routes[k]);
}

bool RouteIsPending(const SimulationData& sim, int lp, int r) {
  return ValidRoute(sim, lp, r) && sim.State.Routes[lp][r].TASKED != 0;
}

bool RouteIsSet(const SimulationData& sim, int lp, int r) {
  if (!ValidRoute(sim, lp, r)) return false;
  const TRouteControlData& ctl = sim.State.Routes[lp][r];
  return ctl.TASKED == 0 && ctl.SCHUNTED;
}

bool ChainIsPending(const SimulationData& sim, int lp, int chain) {
  return ChainState(sim, lp, chain).Pending;
}

bool ChainIsSet(const SimulationData& sim, int lp, int chain) {
  return ChainState(sim, lp, chain).Set;
}

ChainStatus ChainState(const SimulationData& sim, int lp, int chain) {
  ChainStatus status;
  const TChainData* c = FindChain(sim, lp, chain);
  if (c == nullptr) return status;
  status.Set = true;
  // A route the tables or the state lack is neither pending nor set.
  const int count = lp < static_cast<int>(sim.State.Routes.size())
                        ? static_cast<int>(std::min(sim.AreaData.TrainRoutes[lp].Routes.size(),
                                                    sim.State.Routes[lp].size()))
                        : 0;
  for (int k = 0; k < kMaxChainRoutes && c->Routes[k] >= 0; ++k) {
    const int r = c->Routes[k];
    if (r >= count) {
      status.Set = false;
      continue;
    }
    const TRouteControlData& ctl = sim.State.Routes[lp][r];
    status.Pending |= ctl.TASKED != 0;
    status.Set &= ctl.TASKED == 0 && ctl.SCHUNTED;
  }
  return status;
}

bool RouteIsOccupied(SimulationData& sim, int lp, int r, bool withFirst) {
  if (!ValidRoute(sim, lp, r)) return false;
  const TTrainRouteData& rt = sim.AreaData.TrainRoutes[lp].Routes[r];
  const int n = RouteLength(rt);
  for (int i = withFirst ? 0 : 1; i < n; ++i)
    if (OccupyingTrain(sim, rt.Sections[i]) >= 0) return true;
  return false;
}

bool ChainIsOccupied(SimulationData& sim, int lp, int chain, bool withFirst) {
  const TChainData* c = FindChain(sim, lp, chain);
  if (c == nullptr) return false;
  for (int k = 0; k < kMaxChainRoutes && c->Routes[k] >= 0; ++k)
    if (RouteIsOccupied(sim, lp, c->Routes[k], k == 0 ? withFirst : true)) return true;
  return false;
}

// ---------------------------------------------------------------------------
// Occupancy

int OccupyingTrainReported(SimulationData& sim, int s) {
  const TSectionSchuntData& x = sim.State.Sects[s];
  int a = x.TRN_EVEN;
  const int b = x.TRN_ODD;
  if (a >= 0 && b >= 0 && b != a)
    Notify(sim, "Секция " + FormatHexNumber(s) + " занята двумя поездами сразу, " +
                    std::to_string(a) + " и " + std::to_string(b));
  if (a < 0) a = b;
  if (a >= static_cast<int>(sim.State.Trains.size()))
    Notify(sim, "Секция " + FormatHexNumber(s) +
                    " занята несуществующим поездом, номер в списке был " + std::to_string(a));
  return a;
}

int OccupyingTrainDir(SimulationData& sim, int s, int d) {
  if (s < 1 || s >= static_cast<int>(sim.State.Sects.size())) return -1;
  const TSectionSchuntData& x = sim.State.Sects[s];
  const int a = (d & 1) ? x.TRN_ODD : x.TRN_EVEN;
  if (a >= static_cast<int>(sim.State.Trains.size()))
    Notify(sim, "Секция " + FormatHexNumber(s) + " занята несуществующим поездом № " +
                    std::to_string(a));
  return a;
}

std::array<bool, 2> PeregonOccupiedDirections(const SimulationData& sim, int p) {
  std::array<bool, 2> marked{false, false};
  if (p < 0 || p >= static_cast<int>(sim.AreaData.GraphPeregons.size())) return marked;
  for (const TTrainData& t : sim.State.Trains) {
    if (t.HEAD.PEREGON_IDX == p)
      marked[t.HEAD.DIR & 1] = true;
    else if (t.TAIL.PEREGON_IDX == p)
      marked[t.TAIL.DIR & 1] = true;
  }
  return marked;
}

int RouteAtSection(const SimulationData& sim, int lpCode, int s, int d, bool atStart) {
  const int p = FindLPIndex(sim.AreaData, lpCode);
  if (p < 0 || s < 0 || s >= static_cast<int>(sim.State.Sects.size())) return -1;
  const int half = atStart ? (d & 1) : ((d & 1) ^ 1);
  const int r = HalfRoute(sim.State.Sects[s], half);
  if (r < 0) return r;
  if (p >= static_cast<int>(sim.AreaData.TrainRoutes.size()) ||
      r >= static_cast<int>(sim.AreaData.TrainRoutes[p].Routes.size()))
    return -1;
  const TTrainRouteData& rt = sim.AreaData.TrainRoutes[p].Routes[r];
  return (atStart ? rt.FirstSection : rt.LastSection) == s ? r : -1;
}

// ---------------------------------------------------------------------------
// Route lamps and the route update

namespace {

// The lamps of route r of LP lp in the order they are lit. Switches are skipped in mode 0
// where another route through them keeps their lamps lit; out is given the lamps of the
// switches and sections taken.
template <typename Out>
void WalkRouteLamps(const SimulationData& sim, int lp, int r, int mode, Out&& out) {
  const TAreaData& area = sim.AreaData;
  const TLPRoutesData& table = area.TrainRoutes[lp];
  const TTrainRouteData& rt = table.Routes[r];

  const int entries = std::min(table.SwitchCount, kMaxRouteSwitches);
  for (int k = 0; k < entries; ++k) {
    const int w = rt.SwitchNumber[k];
    if (w <= 0 || w >= static_cast<int>(area.Strels.size())) continue;
    if (mode == 0) {
      // Another route through the switch keeps its lamps lit.
      const int s = area.Strels[w].Section;
      if (s > 0 && s < static_cast<int>(sim.State.Sects.size())) {
        const TSectionSchuntData& x = sim.State.Sects[s];
        if ((x.ROUTE_EVEN != -1 && x.ROUTE_EVEN != r) || (x.ROUTE_ODD != -1 && x.ROUTE_ODD != r))
          continue;
      }
    }
    std::array<int, 5> lamps{};
    GetSwitchLamps(area, w, rt.SwitchMinus[k] != 0, lamps);
    out(lamps);
  }

  const bool endsAtTrack = rt.EndKind != 1 && rt.EndKind != 4;
  const int n = RouteLength(rt);
  for (int i = 0; i < n; ++i) {
    const int s = rt.Sections[i];
    if (!ValidSection(sim, s)) continue;
    const TSlSectData& sect = area.SlSects[s];
    // A section without a switch: its lamps do not depend on the state.
    if (sect.Switch[0] > 0 || sect.Switch[1] > 0) continue;
    if (s == rt.FirstSection) continue;
    if (s == rt.LastSection && !endsAtTrack) continue;
    out(SectionLampSet(sim, s).Lamps);
  }
}

void MakeLampIndex(const SimulationData& sim, TRouteChanges& c) {
  const TAreaData& area = sim.AreaData;
  if (c.LampsData == area.TrainRoutes.data() && c.LampsLPs == area.TrainRoutes.size() &&
      !c.LampRouteBase.empty())
    return;
  c.LampRouteBase.clear();
  c.LampStart.clear();
  c.RouteLamps.clear();
  for (int l = 0; l < static_cast<int>(area.TrainRoutes.size()); ++l) {
    c.LampRouteBase.push_back(static_cast<int>(c.LampStart.size()));
    for (int r = 0; r < static_cast<int>(area.TrainRoutes[l].Routes.size()); ++r) {
      c.LampStart.push_back(static_cast<int>(c.RouteLamps.size()));
      WalkRouteLamps(sim, l, r, 1, [&](const std::array<int, 5>& lamps) {
        c.RouteLamps.insert(c.RouteLamps.end(), lamps.begin(), lamps.end());
      });
    }
  }
  c.LampRouteBase.push_back(static_cast<int>(c.LampStart.size()));
  c.LampStart.push_back(static_cast<int>(c.RouteLamps.size()));
  c.LampsData = area.TrainRoutes.data();
  c.LampsLPs = area.TrainRoutes.size();
}

}  // namespace

void SetRouteLamps(SimulationData& sim, int lp, int r, int mode) {
  if (!ValidRoute(sim, lp, r)) return;
  if (mode == 0) {
    WalkRouteLamps(sim, lp, r, mode,
                   [&](const std::array<int, 5>& lamps) { ApplyLampMode(sim, lamps, mode); });
    return;
  }
  // Lighting and blinking read nothing of the state: the route's lamps are listed once.
  TRouteChanges& c = sim.Changes.Routes;
  MakeLampIndex(sim, c);
  const int k = c.LampRouteBase[static_cast<std::size_t>(lp)] + r;
  const int first = c.LampStart[static_cast<std::size_t>(k)];
  ApplyLampMode(sim, c.RouteLamps.data() + first,
                static_cast<std::size_t>(c.LampStart[static_cast<std::size_t>(k) + 1] - first),
                mode);
}

void MarkRouteOrdered(SimulationData& sim, int lp) {
  ++sim.Changes.Interlocking;
  std::vector<std::uint8_t>& maybe = sim.Changes.Routes.MaybeTasked;
  if (lp >= 0 && lp < static_cast<int>(maybe.size())) maybe[lp] = 1;
}

namespace {

int SignalCount(const SimulationData& sim) {
  return std::min(static_cast<int>(sim.AreaData.Semaphores.size()),
                  static_cast<int>(sim.State.Semaphores.size()));
}

/// The kept list of signals that lead somewhere was made for this state, and no change by
/// hand has been announced since.
bool LeadingKept(const SimulationData& sim) {
  const TRouteChanges& c = sim.Changes.Routes;
  const TSignalChanges& marks = sim.Changes.Signals;
  return c.LeadingOf == sim.State.Semaphores.data() &&
         c.Listed.size() == static_cast<std::size_t>(SignalCount(sim)) && !marks.All &&
         marks.SignalsData == sim.State.Semaphores.data();
}

/// Brings the kept list of signals that lead somewhere up to the state, for the pass.
void RefreshLeading(SimulationData& sim) {
  TRouteChanges& c = sim.Changes.Routes;
  const TSignalChanges& marks = sim.Changes.Signals;
  const int signals = SignalCount(sim);
  if (!LeadingKept(sim)) {
    LeadingSignals(sim, c.Leading);
    c.Listed.assign(static_cast<std::size_t>(signals), 0);
    for (const int j : c.Leading) c.Listed[static_cast<std::size_t>(j)] = 1;
    c.LeadingOf = sim.State.Semaphores.data();
    return;
  }
  std::size_t kept = 0;
  for (const int j : c.Leading) {
    if (sim.State.Semaphores[j].SECT_NEXT > 0)
      c.Leading[kept++] = j;
    else
      c.Listed[static_cast<std::size_t>(j)] = 0;
  }
  c.Leading.resize(kept);
  for (const int j : marks.Signals)
    if (j >= 0 && j < signals && !c.Listed[static_cast<std::size_t>(j)] &&
        sim.State.Semaphores[j].SECT_NEXT > 0 && sim.AreaData.Semaphores[j].Kind != 2) {
      c.Listed[static_cast<std::size_t>(j)] = 1;
      c.Leading.push_back(j);
    }
}

}  // namespace

void UpdateRoutes(SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  const int lpCount = std::max(area.LPCount, static_cast<int>(area.TrainRoutes.size()));
  TRouteChanges& changes = sim.Changes.Routes;
  if (changes.RoutesData != sim.State.Routes.data() ||
      changes.MaybeTasked.size() != static_cast<std::size_t>(lpCount)) {
    // A new or replaced state: every LP is looked at once.
    changes.MaybeTasked.assign(static_cast<std::size_t>(lpCount), 1);
    changes.RoutesData = sim.State.Routes.data();
  }
  RefreshLeading(sim);
  // The pass changes the size of none of these: the bounds and flags are read once.
  const int commitLPs =
      std::min(area.StationCount, static_cast<int>(sim.State.DepartCommits.size()));
  const TDepartCommitData* const commits = sim.State.DepartCommits.data();
  const int routeLPs = static_cast<int>(std::min(area.TrainRoutes.size(), sim.State.Routes.size()));
  const std::uint8_t* const maybe = changes.MaybeTasked.data();
  for (int lp = 0; lp < lpCount; ++lp) {
    if (lp < commitLPs && (commits[lp].EVEN != 0 || commits[lp].ODD != 0)) ExpireCommits(sim, lp);
    if (lp >= routeLPs) continue;
    if (!maybe[lp]) {
      if (sim.Changes.Check) CheckNoRouteOrdered(sim, lp);
      continue;
    }
    const int r = ChooseActiveRoute(sim, lp);
    if (r < 0) {
      changes.MaybeTasked[lp] = 0;
      continue;
    }
    const RouteView v(area.TrainRoutes[lp].Routes[r], lp, r);
    if (!sim.State.Routes[lp][r].SCHUNTED)
      Assemble(sim, lp, r, v);
    else
      Release(sim, lp, r, v);
  }
}

namespace {

// Signal j (whose route leads somewhere) sets a route towards signal sg from the other side.
inline bool Opposes(const SimulationData& sim, const TSemaphoreData& sg, int j, int signals) {
  const TAreaData& area = sim.AreaData;
  const TSemaphoreLightData& lj = sim.State.Semaphores[j];
  const TSemaphoreData& sj = area.Semaphores[j];
  if (sj.Kind == 2) return false;
  // Next is the graph peregon number of a peregon signal (index + 1), -1 for a station
  // signal. When j stands on g's peregon both directions count in the peregon's
  // numbering, whereas DIR_NEXT counts where j's route ends, beyond a parity flip.
  if (sj.Next > 0 && sj.Next == sg.Next) return sj.Direction != sg.Direction;
  if (lj.DIR_NEXT == sg.Direction) return false;
  if (lj.SECT_NEXT == sg.Section) return true;
  const int k = SectionSemaphore(area, lj.SECT_NEXT, lj.DIR_NEXT);
  return k >= 0 && k < signals && area.Semaphores[k].Next > 0 && area.Semaphores[k].Next == sg.Next;
}

}  // namespace

bool OpposingRouteSet(const SimulationData& sim, int g) {
  const int signals = SignalCount(sim);
  if (g < 0 || g >= signals) return false;
  const TSemaphoreData& sg = sim.AreaData.Semaphores[g];
  for (int j = 0; j < signals; ++j) {
    // Most signals lead nowhere: their state is read before the district's record.
    if (sim.State.Semaphores[j].SECT_NEXT <= 0) continue;
    if (Opposes(sim, sg, j, signals)) return true;
  }
  return false;
}

std::vector<int> LeadingSignals(const SimulationData& sim) {
  std::vector<int> leading;
  LeadingSignals(sim, leading);
  return leading;
}

void LeadingSignals(const SimulationData& sim, std::vector<int>& out) {
  out.clear();
  const int signals = SignalCount(sim);
  for (int j = 0; j < signals; ++j)
    if (sim.State.Semaphores[j].SECT_NEXT > 0 && sim.AreaData.Semaphores[j].Kind != 2)
      out.push_back(j);
}

const std::vector<int>* KeptLeadingSignals(const SimulationData& sim) {
  if (!LeadingKept(sim)) return nullptr;
  const TRouteChanges& c = sim.Changes.Routes;
  if (sim.Changes.Check)
    for (const int j : LeadingSignals(sim))
      if (!c.Listed[static_cast<std::size_t>(j)])
        throw CheckMismatch("incremental check: signal " + std::to_string(j) +
                            " leads somewhere but is not in the kept list");
  return &c.Leading;
}

bool OpposingRouteSet(const SimulationData& sim, int g, const std::vector<int>& leading) {
  const int signals = SignalCount(sim);
  if (g < 0 || g >= signals) return false;
  const TSemaphoreData& sg = sim.AreaData.Semaphores[g];
  for (const int j : leading)
    if (j < signals && sim.State.Semaphores[j].SECT_NEXT > 0 && Opposes(sim, sg, j, signals))
      return true;
  return false;
}

}  // namespace traklin
