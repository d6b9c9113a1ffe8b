// Train motion: speed limits, the braking curve, kinematics and the passage over sections.
#include "trains/train_motion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "area/area_queries.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/fault_trains.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// Kept as a literal: a std::string here would be built at every section the tail leaves.
constexpr char kDerailedUnderTrain[] = "(вероятно, из-за перевода стрелки под поездом)";

bool ValidSignal(const SimulationData& sim, int g) {
  return g >= 0 && g < static_cast<int>(sim.AreaData.Semaphores.size()) &&
         g < static_cast<int>(sim.State.Semaphores.size());
}

bool ValidSectState(const SimulationData& sim, int s) {
  return ValidSection(sim.AreaData, s) && s < static_cast<int>(sim.State.Sects.size());
}

int& TrainOfHalf(TSectionSchuntData& r, int dir) {
  return dir == 0 ? r.TRN_EVEN : r.TRN_ODD;
}

int OccupantOfHalf(const SimulationData& sim, int s, int dir) {
  if (!ValidSectState(sim, s)) return -1;
  const TSectionSchuntData& r = sim.State.Sects[s];
  return dir == 0 ? r.TRN_EVEN : r.TRN_ODD;
}

void SetLampFlags(SimulationData& sim, int s, bool red, bool blink) {
  const TLampSet set = SectionLampSet(sim, s);
  for (int lamp : set.Lamps) {
    if (lamp <= 0 || lamp >= static_cast<int>(sim.State.Lamps.size())) continue;
    sim.State.Lamps[lamp].RED = red;
    sim.State.Lamps[lamp].YELLOW_BLINK = blink;
  }
}

// The straight neighbour in dir, whatever the switch; 0 when none.
int StraightNext(const SimulationData& sim, int s, int dir) {
  if (!ValidSection(sim.AreaData, s)) return 0;
  int d = dir;
  try {
    const int n = NextSection(sim.AreaData, d, s, false);
    return ValidSection(sim.AreaData, n) ? n : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

const TTrainRouteData* RouteOf(const TAreaData& area, int lp, int r) {
  if (lp < 0 || lp >= static_cast<int>(area.TrainRoutes.size())) return nullptr;
  const auto& routes = area.TrainRoutes[lp].Routes;
  if (r < 0 || r >= static_cast<int>(routes.size())) return nullptr;
  return &routes[r];
}

bool RouteHasSection(const TTrainRouteData& route, int s) {
  for (int k = 0; k < kMaxRouteSections && route.Sections[k] != 0; ++k)
    if (route.Sections[k] == s) return true;
  return false;
}

// Route bookkeeping of an end about to leave its section: a route starting there is taken
// up; a route the end has run off is dropped.
void FollowRoute(const SimulationData& sim, const TTrainEndPosData& old, TTrainEndPosData& nw) {
  if (old.ROUTE_IDX < 0) {
    const int code = EndStationCode(sim, old);
    if (code > 0) {
      const int r = RouteAtSection(sim, code, old.SECT_IDX, old.DIR, true);
      if (r >= 0) nw.ROUTE_IDX = r;
    }
  } else if (old.LP_CODE > 0) {
    const TTrainRouteData* route =
        RouteOf(sim.AreaData, FindLPIndex(sim.AreaData, old.LP_CODE), old.ROUTE_IDX);
    if (!route || !RouteHasSection(*route, old.SECT_IDX)) nw.ROUTE_IDX = -1;
  }
}

// The end leaves the last section of a graph peregon: it enters the station at that end.
bool LeavePeregon(const SimulationData& sim, const TTrainEndPosData& old, TTrainEndPosData& nw) {
  const TAreaData& area = sim.AreaData;
  const int p = FindGraphPeregonByEnd(area, old.SECT_IDX, old.DIR & 1);
  if (p < 0 || p >= static_cast<int>(area.GraphPeregons.size())) return false;
  nw.LP_CODE = LPCode(area, area.GraphPeregons[p].LP[old.DIR & 1] - 1);
  nw.PEREGON_IDX = -1;
  return true;
}

// The graph peregon that section s begins for a train going in dir, or -1.
int PeregonBegunBy(const SimulationData& sim, int s, int dir) {
  const int p = FindGraphPeregonByEnd(sim.AreaData, s, (dir & 1) ^ 1);
  return p >= 0 && p < static_cast<int>(sim.AreaData.GraphPeregons.size()) ? p : -1;
}

bool OnStationTrack(const SimulationData& sim, int s) {
  if (!ValidSection(sim.AreaData, s)) return false;
  int lp = -1;
  return FindTrackOfSection(sim.AreaData, lp, s, false) >= 0;
}

void StopForGood(SimulationData& sim, int i, const std::string& text) {
  NotifyText(sim, text);
  TTrainData& t = sim.State.Trains[i];
  t.SPEED = 0;
  t.ARRIVAL_LP_CODE = t.HEAD.LP_CODE;
  // Without leave to move a crashed train never starts again.
  t.DEPARTURE_COMMISSION = false;
}

void ClearLock(SimulationData& sim, int s, int half, int lp, int r) {
  if (!ValidSectState(sim, s)) return;
  TSectionSchuntData& x = sim.State.Sects[s];
  if (half == 0 && x.ROUTE_EVEN == r && x.LP_EVEN == lp) x.ROUTE_EVEN = -1;
  if (half == 1 && x.ROUTE_ODD == r && x.LP_ODD == lp) x.ROUTE_ODD = -1;
  ++sim.Changes.Interlocking;
}

void RouteLampsOffWhenFree(SimulationData& sim, int s) {
  if (!ValidSectState(sim, s)) return;
  const TSectionSchuntData& x = sim.State.Sects[s];
  if (x.ROUTE_EVEN == -1 && x.ROUTE_ODD == -1) ApplyLampMode(sim, SectionLampSet(sim, s).Lamps, 0);
}

void CloseSignalRoute(SimulationData& sim, int s, int dir) {
  const int g = SectionSemaphore(sim.AreaData, s, dir);
  if (!ValidSignal(sim, g) || sim.AreaData.Semaphores[g].Kind == 2) return;
  TSemaphoreLightData& st = sim.State.Semaphores[g];
  if (st.SECT_NEXT == 0) return;
  st.PREV_SECT_NEXT = st.SECT_NEXT;
  st.SECT_NEXT = 0;
  MarkSignalChanged(sim, g);
}

// A key point where the head leaves or enters a peregon. The graph draws a train that runs
// through a station from these points, so they count at the peregon's end sections too,
// where no track holds the head (the LP's edge before its first or after its last track).
void LogPeregonEnd(SimulationData& sim, int i) {
  AppendPosLog(sim, i, true);
  TTrainPosLogEntry& e = sim.State.PosLog.back();
  if (e.KEY_POINT) return;
  e.KEY_POINT =
      LocateSectionPosition(sim.AreaData, e.SECT_IDX, static_cast<int>(RoundHalfEven(e.LOCO_POS)))
          .LP >= 0;
}

}  // namespace

int EndStationCode(const SimulationData& sim, const TTrainEndPosData& e) {
  if (e.LP_CODE > 0) return e.LP_CODE;
  const TAreaData& area = sim.AreaData;
  if (e.PEREGON_IDX >= 0 && e.PEREGON_IDX < static_cast<int>(area.GraphPeregons.size()))
    return LPCode(area, area.GraphPeregons[e.PEREGON_IDX].LP[e.DIR & 1] - 1);
  return 0;
}

// ---------------------------------------------------------------------------
// Physics

double Acceleration(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return 0;
  const TTrainData& t = sim.State.Trains[i];
  if (t.LOCO_IDX < 2 || t.LOCO_IDX >= static_cast<int>(sim.AreaData.Locos.size()) || t.WEIGHT <= 0)
    return 0;
  const TLocoData& loco = sim.AreaData.Locos[t.LOCO_IDX];
  const float w = static_cast<float>(t.WEIGHT);
  const float a = loco.AccelType < 1
                      ? static_cast<float>(loco.Traction) / w
                      : static_cast<float>(loco.Traction) * static_cast<float>(t.CARS) / 2.0f / w;
  return std::isfinite(a) && a > 0 ? static_cast<double>(a) : 0.0;
}

int RestrictedSpeed(int vt, double dt, double a) {
  const double ms = vt / 3.6;
  const double rest = dt - (RoundHalfEven(ms * 5) + 20);
  if (rest <= 0) return vt;
  return static_cast<int>(RoundHalfEven(std::sqrt(ms * ms + 2 * a * rest) * 3.6));
}

int SectionLimit(const SimulationData& sim, int i, int s) {
  if (!ValidSection(sim.AreaData, s)) return sim.MaxSpeedLimit;
  const TSlSectData& d = sim.AreaData.SlSects[s];
  if (SwitchIsSide(sim, SectionSwitch(sim.AreaData, s))) return d.SideSpeedLimit;
  const bool passenger = ValidTrain(sim, i) && sim.State.Trains[i].LOAD_TYPE >= 100;
  const int limit = passenger ? d.PassengerSpeedLimit : d.FreightSpeedLimit;
  const int restricted = RestrictionAt(sim, s);
  return restricted > 0 ? std::min(limit, restricted) : limit;
}

int SightSpeed(const SimulationData& sim, int i) {
  return ValidTrain(sim, i) && sim.State.Trains[i].LOAD_TYPE < 100 ? 50 : 60;
}

Kinematics StepKinematics(double v, double target, double dt, double up, double down) {
  double T = target;
  double a = 0;
  double t = 0;
  if (T < v) {
    a = -down;
    if (v + a * dt <= T) {
      t = (T - v) / a;
    } else {
      T = v + a * dt;
      t = dt;
      if (T < 0) {
        T = 0;
        t = -v / a;
      }
    }
  } else if (T > v) {
    a = up;
    if (a > 0 && v + a * dt >= T) {
      t = (T - v) / a;
    } else {
      T = v + a * dt;
      t = dt;
    }
  }
  Kinematics k;
  k.Speed = T;
  k.Distance = (dt - t) * T + t * (a * t / 2 + v);
  if (!std::isfinite(k.Speed) || !std::isfinite(k.Distance) || k.Speed < 0) return Kinematics{};
  if (k.Distance < 0) k.Distance = 0;
  return k;
}

int LookAhead(SimulationData& sim, int i, double v) {
  return LookAhead(sim, i, v, Deceleration(sim, i));
}

int LookAhead(SimulationData& sim, int i, double v, double a) {
  const TAreaData& area = sim.AreaData;
  TTrainData& t = sim.State.Trains[i];
  int R = t.SPEED_LIM;
  int d = t.HEAD.DIR & 1;  // the direction in s
  int s = t.HEAD.SECT_IDX;
  int n = t.SECT_NEXT_IDX;
  // The direction in n: it flips where the head section's exit flips the parity, and the
  // walk must go on beyond the flip instead of turning back behind the train.
  int dn = ValidSection(area, s) && area.SlSects[s].Flip[d] != 0 ? d ^ 1 : d;
  double x = RoomToSectionEnd(sim, s, t.HEAD.SECT_POS, d);
  const int sight = SightSpeed(sim, i);
  const int sig = t.SEMAPH_NEXT_IDX;
  const bool known = ValidSignal(sim, sig);
  const bool nextClosed = known && sim.State.Semaphores[sig].CLOSED;
  // A closed signal the train has leave to pass holds it no more.
  const int passing = PermittedSignal(sim, i);
  const double horizon =
      BrakingDistance(v, a) +
      ((t.PASSED_NEXT_WARNING || t.PASSED_CLOSED || !known || nextClosed) ? 700 : 100);

  auto restrict = [&](int vt, double dt) {
    if (R > vt) R = std::min(R, RestrictedSpeed(vt, dt, a));
  };

  const int maxSteps = static_cast<int>(area.SlSects.size()) + 1;
  for (int step = 0; step < maxSteps && ValidSection(area, s); ++step) {
    if (area.SlSects[s].Spare && x > 2000) break;
    bool endAfter = false;
    const int g = SectionSemaphore(area, s, d);
    if (ValidSignal(sim, g) && g != passing) {
      const TSemaphoreLightData& st = sim.State.Semaphores[g];
      if (st.CLOSED) {
        const int before = R;
        int cap = sim.MaxSpeedLimit;
        restrict(0, x);
        if (x < 200) {
          cap = 10;
        } else if (x < 400) {
          cap = 20;
          restrict(10, x - 200);
        } else if (x < 1000) {
          cap = sight;
          restrict(10, x - 200);
          restrict(20, x - 400);
        } else {
          restrict(10, x - 200);
          restrict(20, x - 400);
          restrict(sight, x - 1000);
        }
        t.SPEED_LIM = std::min(t.SPEED_LIM, cap);
        if (x < 200 && before > 0) endAfter = true;
      } else if (st.SIDE_WARNING) {
        restrict(40, x);
      } else if (st.NEXT_WARNING) {
        restrict(sight, x);
      } else {
        restrict(sim.MaxSpeedLimit, x);
      }
    }
    if (n > 0) restrict(SectionLimit(sim, i, n), x);
    int stopSect = 0;
    if (t.STOP_SECT_IDX >= 1)
      stopSect = t.STOP_SECT_IDX;
    else if (s != t.HEAD.SECT_IDX && StopQuery(sim, i, s, true) >= 0)
      stopSect = s;
    if (stopSect == s) {
      double point = x;
      const int len = SectionLength(sim, s);
      if (t.LEN < len) point -= (len - t.LEN) / 2;
      restrict(0, point);
      endAfter = true;
    }
    if (endAfter) break;
    s = n;
    d = dn;
    if (s <= 0) break;
    x += SectionLength(sim, s);
    if (x > horizon) break;
    n = NextSectionAhead(sim, dn, s);
  }
  return R;
}

// ---------------------------------------------------------------------------
// Motion

void MoveTrains(SimulationData& sim, TDateTime delta) {
  const TAreaData& area = sim.AreaData;
  const double dt = delta * kSecondsPerDay;
  const bool faults = AnyFaults(sim);
  for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i) {
    TTrainData& t = sim.State.Trains[i];
    if (t.PLACE_TIME != 0) continue;

    // What the driver sees of the next signal, for the speed log.
    const int sig = t.SEMAPH_NEXT_IDX;
    bool unseen = !ValidSignal(sim, sig);
    if (!unseen && ValidSection(area, t.HEAD.SECT_IDX)) {
      const TSemaphoreData& sd = area.Semaphores[sig];
      const int h = t.HEAD.SECT_IDX;
      const long p = RoundHalfEven(t.HEAD.SECT_POS);
      const long straightRoom = t.HEAD.DIR == 0 ? area.SlSects[h].Length - p : p;
      if (sd.Kind == 0 && sd.Section == h && area.SlSects[h].Spare && straightRoom > 2000)
        unseen = true;
    }
    bool closed = true;
    bool warning = true;
    if (!unseen) {
      const TSemaphoreLightData& st = sim.State.Semaphores[sig];
      if (st.CLOSED) {
        warning = false;
      } else {
        closed = false;
        warning = st.NEXT_WARNING || st.SIDE_WARNING;
        if (!st.NEXT_WARNING) t.PASSED_NEXT_WARNING = false;
      }
    }
    AppendTrainLog(sim, i);
    t.LOG.back().SEMAPH_CLOSED = closed;
    t.LOG.back().SEMAPH_WARNING = warning;

    if (faults && t.SPEED == 0 && t.HEAD.SECT_IDX != 0 && TrainBrokenDown(sim, i))
      BreakdownStopped(sim, i);
    if (t.HEAD.SECT_IDX == 0 || t.DEPARTURE_TIME != 0 || !t.DEPARTURE_COMMISSION) continue;

    t.HEAD.SPEED_LIM_SECT = SectionLimit(sim, i, t.HEAD.SECT_IDX);
    if (t.TAIL.SECT_IDX != 0) t.TAIL.SPEED_LIM_SECT = SectionLimit(sim, i, t.TAIL.SECT_IDX);

    const int sight = SightSpeed(sim, i);
    int base = sim.MaxSpeedLimit;
    if (t.PASSED_CLOSED) {
      base = 5;
    } else if (t.SIDE_SWITCHES >= 1) {
      base = 40;
    } else if (t.PASSED_SIDE_WARNING &&
               (SectionSwitch(area, t.HEAD.SECT_IDX) > 0 ||
                SectionSwitch(area, StraightNext(sim, t.HEAD.SECT_IDX, t.HEAD.DIR)) > 0 ||
                StraightNext(sim, t.HEAD.SECT_IDX, t.HEAD.DIR) == 0)) {
      base = 40;
    } else if (t.PASSED_NEXT_WARNING && (!ValidSignal(sim, t.SEMAPH_NEXT_IDX) ||
                                         sim.State.Semaphores[t.SEMAPH_NEXT_IDX].CLOSED)) {
      base = sight;
    }
    t.SPEED_LIM = std::min(base, t.HEAD.SPEED_LIM_SECT);
    if (t.TAIL.SPEED_LIM_SECT >= 0) t.SPEED_LIM = std::min(t.SPEED_LIM, t.TAIL.SPEED_LIM_SECT);
    if (faults) {
      // A broken locomotive brakes the train to a stop; a permission and a restriction cap it.
      const int capped = FaultSpeedLimit(sim, i);
      if (capped >= 0) t.SPEED_LIM = std::min(t.SPEED_LIM, capped);
    }

    const double down = Deceleration(sim, i);
    const int ahead = LookAhead(sim, i, t.SPEED * 3.6, down);
    const int maxSpeed = t.LOCO_IDX >= 0 && t.LOCO_IDX < static_cast<int>(area.Locos.size())
                             ? area.Locos[t.LOCO_IDX].MaxSpeed
                             : 0;
    const int permitted = std::max(0, std::min({ahead, t.SPEED_LIM, maxSpeed}));

    const Kinematics k =
        StepKinematics(t.SPEED, 0.9 * permitted / 3.6, dt, Acceleration(sim, i), down);
    t.SPEED = k.Speed;
    bool stopped = k.Speed == 0;

    // Push the distance through the sections, the head first at a common boundary.
    double rest = k.Distance;
    int guard = 4 * static_cast<int>(area.SlSects.size()) + 16;
    while (t.HEAD.SECT_IDX != 0 && rest > 0 && guard-- > 0) {
      const double headRoom = RoomToSectionEnd(sim, t.HEAD.SECT_IDX, t.HEAD.SECT_POS, t.HEAD.DIR);
      const double tailRoom =
          t.TAIL.SECT_IDX != 0 ? RoomToSectionEnd(sim, t.TAIL.SECT_IDX, t.TAIL.SECT_POS, t.TAIL.DIR)
                               : std::numeric_limits<double>::infinity();
      double step = std::min(headRoom, tailRoom);
      bool boundary = true;
      if (step >= rest) {
        step = rest;
        boundary = false;
      }
      t.HEAD.SECT_POS += t.HEAD.DIR == 0 ? step : -step;
      if (t.LOCO_POS > 0) t.LOCO_POS += t.HEAD.DIR == 0 ? -step : step;
      t.TAIL.SECT_POS += t.TAIL.DIR == 0 ? step : -step;
      rest -= step;
      if (boundary) {
        if (headRoom == step) HeadEntersSection(sim, i);
        if (tailRoom == step) TailLeavesSection(sim, i);
      }
      if (t.SPEED == 0) stopped = true;
    }
    if (!t.DEPARTURE_COMMISSION) {
      // A crash in the push stopped the train for good where the step leaves it; the graph
      // ends its run there.
      AppendPosLog(sim, i, true);
    } else if (stopped) {
      // A broken-down train only stands: its stop is no stop of its journey.
      if (faults && TrainBrokenDown(sim, i)) continue;
      if (faults) EndPermitAtRest(sim, i);
      TrainStopped(sim, i, true);
    }
  }
}

void HeadEntersSection(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  const TAreaData& area = sim.AreaData;
  TTrainData& t = sim.State.Trains[i];
  const TTrainEndPosData old = t.HEAD;
  TTrainEndPosData nw = old;

  FollowRoute(sim, old, nw);

  // A signal standing on the section being left is passed now.
  const int sig = t.SEMAPH_NEXT_IDX;
  const bool passed = ValidSignal(sim, sig) && area.Semaphores[sig].Section == old.SECT_IDX;
  const TSemaphoreLightData passedState =
      passed ? sim.State.Semaphores[sig] : TSemaphoreLightData{};

  if (LeavePeregon(sim, old, nw)) LogPeregonEnd(sim, i);

  int dir = old.DIR & 1;
  const int ns = NextSectionAhead(sim, dir, old.SECT_IDX);
  nw.SECT_IDX = ns;
  nw.DIR = static_cast<std::uint8_t>(dir);
  nw.SECT_POS = (dir == 0 || ns == 0) ? 0 : SectionLength(sim, ns);
  t.HEAD = nw;

  const int w = SectionSwitch(area, ns);
  if (w > 0) {
    ++t.SWITCHES;
    if (SwitchIsSide(sim, w)) ++t.SIDE_SWITCHES;
  }

  if (ns != 0) {
    const int code = EndStationCode(sim, t.HEAD);
    if (code > 0 && RouteAtSection(sim, code, ns, dir, false) >= 0) t.HEAD.ROUTE_IDX = -1;
    const int p = PeregonBegunBy(sim, ns, dir);
    if (p >= 0) {
      if (t.STOP_LP_CODE > 0 && t.STOP_LP_CODE == old.LP_CODE)
        NotifyText(sim, "Поезд " + TrainName(sim, i, 1) + " проехал остановку");
      if (old.LP_CODE > 0) {
        t.PASSED_SIDE_WARNING = false;
        LogPeregonEnd(sim, i);
      }
      t.HEAD.LP_CODE = 0;
      t.HEAD.PEREGON_IDX = p;
    }
  }

  if (t.HEAD.PEREGON_IDX != old.PEREGON_IDX)
    PeregonDirections(sim, t.HEAD.PEREGON_IDX >= 0 ? t.HEAD.PEREGON_IDX : old.PEREGON_IDX);

  t.DEPARTURE_SCHEDULED = false;

  if (t.HEAD.LP_CODE != old.LP_CODE) {
    const TTrainEndPosData entered = t.HEAD;
    if (old.LP_CODE != 0) {
      // The LP left is logged and reported with the head as it was; an LP reached straight
      // from another one, with no peregon between them, is not entered.
      t.HEAD = old;
      AppendPosLog(sim, i, false);
      PassingReport(sim, i);
      t.HEAD = entered;
      t.HEAD.LP_CODE = 0;
    }
    if (t.HEAD.LP_CODE != 0) EnterLP(sim, i, t.HEAD.LP_CODE);
  }

  if (t.LOCO_POS == 0 && ns != 0) {
    int lp = -1;
    if (FindTrackOfSection(area, lp, ns, false) >= 0) {
      const int km = StationCoordinate(area, lp);
      if (km > 0) t.LOCO_POS = LocoPosAt(sim, km, ns, t.HEAD.SECT_POS);
    }
  }

  if (ns != 0) {
    const int q = StopQuery(sim, i, ns, false);
    if (q >= 0) t.STOP_SECT_IDX = ns;
    if (q > 0) {
      t.STOP_ADVICE_LP_CODE = t.STOP_LP_CODE;
      t.STOP_ADVICE_SECT_IDX = t.STOP_SECT_IDX;
    }
  }

  CheckEntry(sim, i, old.SECT_IDX);

  if (passed) {
    // A permission lets the train pass its closed signal as an open one, at its own speed.
    const bool permitted =
        !sim.State.Permits.empty() && PassUnderPermit(sim, i, sig, passedState.CLOSED);
    t.PASSED_CLOSED = passedState.CLOSED && !permitted;
    t.PASSED_SIDE_WARNING = passedState.SIDE_WARNING;
    t.PASSED_NEXT_WARNING = passedState.NEXT_WARNING;
    if (t.PASSED_CLOSED)
      NotifyText(sim, "Поезд " + TrainName(sim, i, 1) + " проехал красный сигнал (перед секцией " +
                          FormatHexNumber(old.SECT_IDX) + ")!");
  } else if (OnStationTrack(sim, ns)) {
    t.PASSED_SIDE_WARNING = false;
  }

  int nd = t.HEAD.DIR;
  t.SECT_NEXT_IDX = NextSectionAhead(sim, nd, ns);
  if ((passed && passedState.SECT_NEXT != 0) || t.SEMAPH_NEXT_IDX < 0)
    t.SEMAPH_NEXT_IDX = SectionSemaphore(area, ns, t.HEAD.DIR);
}

bool CheckEntry(SimulationData& sim, int i, int prev) {
  if (!ValidTrain(sim, i)) return false;
  const TAreaData& area = sim.AreaData;
  TTrainData& t = sim.State.Trains[i];
  const int s = t.HEAD.SECT_IDX;
  if (!ValidSectState(sim, s)) {
    StopForGood(
        sim, i,
        "Поезд " + TrainName(sim, i, 1) + " выехал за участок с секции " + FormatHexNumber(prev));
    return false;
  }
  const TSectionSchuntData& lock = sim.State.Sects[s];
  const int other = ValidTrain(sim, lock.TRN_EVEN)  ? lock.TRN_EVEN
                    : ValidTrain(sim, lock.TRN_ODD) ? lock.TRN_ODD
                                                    : -1;
  if (other >= 0) {
    StopForGood(sim, i,
                "Поезд " + TrainName(sim, i, 1) + " столкнулся с поездом " +
                    TrainName(sim, other, 1) + " и сошел на секции " + FormatHexNumber(s) + "!");
    return false;
  }
  const TSlSectData& sect = area.SlSects[s];
  const int lp = t.HEAD.LP_CODE > 0 ? FindLPIndex(area, t.HEAD.LP_CODE) : -1;
  if (t.HEAD.ROUTE_IDX < 0) {
    const int side = (prev == sect.Straight[1] || prev == sect.Side[1]) ? 1 : 0;
    const bool joined = prev > 0 && (prev == sect.Straight[0] || prev == sect.Side[0] ||
                                     prev == sect.Straight[1] || prev == sect.Side[1]);
    if (!joined) {
      StopForGood(sim, i, "Поезд сошел на нестыкованной секции " + FormatHexNumber(s));
      return false;
    }
    const int w = sect.Switch[side];
    if (lp >= 0 && lp < area.StationCount && lp < static_cast<int>(area.Stanzs.size()) &&
        area.Stanzs[lp].Value2 == 0 && w > 0) {
      const bool reverse = SwitchIsSide(sim, w);
      if (reverse && prev == sect.Straight[side]) {
        StopForGood(sim, i, "Поезд сошел на стрелке набок на секции " + FormatHexNumber(s));
        return false;
      }
      if (!reverse && prev == sect.Side[side]) {
        StopForGood(sim, i, "Поезд сошел на стрелке прямо на секции " + FormatHexNumber(s));
        return false;
      }
    }
  } else {
    if (lp < 0) {
      StopForGood(sim, i, "Поезд на маршруте неизвестного ЛП на секции " + FormatHexNumber(s));
      return false;
    }
    if (!RouteIsSet(sim, lp, t.HEAD.ROUTE_IDX)) {
      StopForGood(sim, i, "Поезд на несобранном маршруте на секции " + FormatHexNumber(s));
      return false;
    }
  }
  MarkOccupied(sim, i);
  return true;
}

void MarkOccupied(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  const TTrainData& t = sim.State.Trains[i];
  const int s = t.HEAD.SECT_IDX;
  if (!ValidSectState(sim, s)) return;
  TrainOfHalf(sim.State.Sects[s], t.HEAD.DIR & 1) = i;
  MarkSectionChanged(sim, s);
  // A train being made up shows its track occupied (red), as a released one does: the track is
  // taken and a route into it would be refused. Flashing yellow would read as a route being set.
  SetLampFlags(sim, s, true, false);
}

void ReleaseSection(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  ReleaseSectionAt(sim, sim.State.Trains[i].TAIL.SECT_IDX);
}

void ReleaseSectionAt(SimulationData& sim, int s) {
  if (!ValidSectState(sim, s)) return;
  sim.State.Sects[s].TRN_EVEN = -1;
  sim.State.Sects[s].TRN_ODD = -1;
  MarkSectionChanged(sim, s);
  SetLampFlags(sim, s, false, false);
}

void TailLeavesSection(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  const TAreaData& area = sim.AreaData;
  TTrainData& t = sim.State.Trains[i];
  const TTrainEndPosData old = t.TAIL;
  const int left = old.SECT_IDX;
  const int oldDir = old.DIR & 1;

  if (OccupantOfHalf(sim, left, oldDir) == i)
    ReleaseSection(sim, i);
  else
    StopForGood(sim, i, "Поезд сошел на секции " + FormatHexNumber(left) + kDerailedUnderTrain);

  TTrainEndPosData nw = old;
  FollowRoute(sim, old, nw);
  LeavePeregon(sim, old, nw);

  const int w = SectionSwitch(area, left);
  if (w > 0) {
    t.SWITCHES = std::max(0, t.SWITCHES - 1);
    if (SwitchIsSide(sim, w)) t.SIDE_SWITCHES = std::max(0, t.SIDE_SWITCHES - 1);
  }

  int dir = oldDir;
  const int ns = NextSectionAhead(sim, dir, left);
  nw.SECT_IDX = ns;
  nw.DIR = static_cast<std::uint8_t>(dir);
  if (ns == t.HEAD.SECT_IDX && SectionSwitch(area, ns) == 0) {
    t.SWITCHES = 0;
    t.SIDE_SWITCHES = 0;
  }

  if (ns != 0) {
    if (nw.LP_CODE > 0 && nw.ROUTE_IDX >= 0) {
      const int lp = FindLPIndex(area, nw.LP_CODE);
      const int r = nw.ROUTE_IDX;
      if (lp >= 0) {
        // The route is released behind the tail, half by half.
        ClearLock(sim, left, oldDir, lp, r);
        CloseSignalRoute(sim, left, oldDir);
        // The rear half of the new section: across a parity flip the tail runs there in the
        // other direction, so the half is that of the new direction's opposite.
        ClearLock(sim, ns, dir ^ 1, lp, r);
        RouteLampsOffWhenFree(sim, left);
        RouteLampsOffWhenFree(sim, ns);
        const TTrainRouteData* route = RouteOf(area, lp, r);
        if (route && route->LastSection == ns) {
          for (int s : {route->FirstSection, route->LastSection}) {
            ClearLock(sim, s, 0, lp, r);
            ClearLock(sim, s, 1, lp, r);
            RouteLampsOffWhenFree(sim, s);
          }
          if (lp < static_cast<int>(sim.State.Routes.size()) &&
              r < static_cast<int>(sim.State.Routes[lp].size()))
            sim.State.Routes[lp][r] = TRouteControlData{};
          nw.ROUTE_IDX = -1;
        }
      }
    }
    const int p = PeregonBegunBy(sim, ns, dir);
    if (p >= 0) {
      nw.LP_CODE = 0;
      nw.PEREGON_IDX = p;
    }
  }
  nw.SECT_POS = (dir == 1) ? SectionLength(sim, ns) : 0;
  t.TAIL = nw;

  if (nw.PEREGON_IDX != old.PEREGON_IDX)
    PeregonDirections(sim, nw.PEREGON_IDX >= 0 ? nw.PEREGON_IDX : old.PEREGON_IDX);

  if (ns != 0 && OccupantOfHalf(sim, ns, dir) != i)
    StopForGood(sim, i, "Поезд сошел на секции " + FormatHexNumber(ns) + kDerailedUnderTrain);
}

std::array<bool, 2> PeregonDirections(SimulationData& sim, int p) {
  const TAreaData& area = sim.AreaData;
  const std::array<bool, 2> marked = PeregonOccupiedDirections(sim, p);
  if (p < 0 || p >= static_cast<int>(area.GraphPeregons.size())) return marked;
  if (marked[0] && marked[1]) NotifyText(sim, "Перегон занят поездами в обоих направлениях!");
  for (int d = 0; d < 2; ++d) {
    const int lamp = area.GraphPeregons[p].DirectionLamps[d];
    if (lamp <= 0) continue;
    // A direction lamp shows the way traffic runs on the line, in yellow like a set route; red
    // stays for the block sections, which show where the train actually is.
    for (int l = lamp; l <= lamp + 1; ++l)
      if (l < static_cast<int>(sim.State.Lamps.size())) sim.State.Lamps[l].YELLOW = marked[d];
  }
  return marked;
}

}  // namespace traklin
