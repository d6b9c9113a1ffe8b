// What faults do to trains: breakdowns, speed restrictions and permissions to pass a closed
// signal held by a fault.
#include "trains/fault_trains.h"

#include <algorithm>

#include "area/area_queries.h"
#include "area/object_names.h"
#include "state/interlocking.h"
#include "trains/station_messages.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

bool ValidSignal(const SimulationData& sim, int g) {
  return g >= 0 && g < static_cast<int>(sim.AreaData.Semaphores.size()) &&
         g < static_cast<int>(sim.State.Semaphores.size());
}

int FindTrain(const SimulationData& sim, int number) {
  for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i)
    if (sim.State.Trains[i].NUMBER == number && sim.State.Trains[i].HEAD.SECT_IDX > 0) return i;
  return -1;
}

TPermitData* PermitOf(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return nullptr;
  for (TPermitData& p : sim.State.Permits)
    if (p.NUMBER == sim.State.Trains[i].NUMBER) return &p;
  return nullptr;
}

void DropPermit(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  const int number = sim.State.Trains[i].NUMBER;
  std::erase_if(sim.State.Permits, [&](const TPermitData& p) { return p.NUMBER == number; });
}

/// The station nearer to the head of train i: its own LP, or on a peregon the end it is nearer
/// to; -1 when none. *peregon gets the peregon the head is on (-1 at a station).
int NearestStation(const SimulationData& sim, int i, int* peregon) {
  const TAreaData& area = sim.AreaData;
  const TTrainData& t = sim.State.Trains[i];
  *peregon = -1;
  if (t.HEAD.LP_CODE > 0) return FindLPIndex(area, t.HEAD.LP_CODE);
  const int p = t.HEAD.PEREGON_IDX;
  if (p < 0 || p >= static_cast<int>(area.GraphPeregons.size())) return -1;
  *peregon = p;
  // Positions grow towards a section's even end; the peregon's even end is its first station.
  const std::vector<int> sections = PeregonSections(area, p);
  double toEven = 0, toOdd = 0;
  bool past = false;
  for (const int s : sections) {
    const int length = SectionLength(sim, s);
    if (s == t.HEAD.SECT_IDX) {
      toEven += length - t.HEAD.SECT_POS;
      toOdd += t.HEAD.SECT_POS;
      past = true;
    } else {
      (past ? toOdd : toEven) += length;
    }
  }
  const TGraphPeregonData& per = area.GraphPeregons[p];
  const int even = per.LP[0] - 1, odd = per.LP[1] - 1;
  if (odd < 0) return even;
  if (even < 0) return odd;
  return toEven <= toOdd ? even : odd;
}

/// A real train on section s.
bool TrainOn(const SimulationData& sim, int s) {
  return TrainOnHalf(sim, s, 0) >= 0 || TrainOnHalf(sim, s, 1) >= 0;
}

/// Some route of LP lp ending at section s is pending or set.
bool WayOutTo(const SimulationData& sim, int lp, int s) {
  if (lp < 0 || lp >= static_cast<int>(sim.AreaData.TrainRoutes.size()) ||
      lp >= static_cast<int>(sim.State.Routes.size()))
    return false;
  const std::vector<TTrainRouteData>& routes = sim.AreaData.TrainRoutes[lp].Routes;
  const TLPRoutesControlData& control = sim.State.Routes[lp];
  for (int r = 0; r < static_cast<int>(std::min(routes.size(), control.size())); ++r)
    if ((control[r].TASKED != 0 || control[r].SCHUNTED) && routes[r].LastSection == s) return true;
  return false;
}

/// The throat by which train i leaves station lp past its exit signal g: the one its way out
/// leads to, else the one its timetable names, else the only one of the direction; -1 none.
int ExitThroat(SimulationData& sim, int i, int lp, int g) {
  const TAreaData& area = sim.AreaData;
  const int code = area.Puts[lp].Code;
  const int dir = area.Semaphores[g].Direction & 1;
  std::vector<int> candidates;
  for (int q = 0; q < static_cast<int>(area.GorlStanzs.size()); ++q) {
    const TGorlStanzData& th = area.GorlStanzs[q];
    if (th.Code == code && (th.Parity & 1) == dir && th.Side >= 0) candidates.push_back(q);
  }
  for (const int q : candidates)
    if (WayOutTo(sim, lp, area.GorlStanzs[q].EntrySection)) return q;
  for (const int q : candidates) {
    int throat = q;
    int d = dir;
    if (ThroatOfNextStop(sim, throat, d, lp, i)) return q;
  }
  return candidates.size() == 1 ? candidates.front() : -1;
}

/// A station's exit onto a single line wants the line given: its departure commit, or a way
/// out ordered with it.
bool LineNotGiven(SimulationData& sim, int i, int g) {
  const TAreaData& area = sim.AreaData;
  const TSemaphoreData& sem = area.Semaphores[g];
  if (sem.Kind != 1 && sem.Kind != 3) return false;
  const int lp = SignalStation(area, g);
  if (lp < 0 || lp >= area.StationCount || lp >= static_cast<int>(area.GraphFragms.size()))
    return false;
  int holder = lp;
  if (FindTrackOfSection(area, holder, sem.Section, true) < 0) return false;
  const int q = ExitThroat(sim, i, lp, g);
  if (q < 0) return false;
  const TGorlStanzData& th = area.GorlStanzs[q];
  const int dir = th.Parity & 1;
  // Only a line used both ways needs a commit, and only where the station has a lamp for it.
  if (th.Side != 0 || area.GraphFragms[lp].DepartCommitLamp[dir] <= 0) return false;
  return !DepartCommitGiven(sim, lp, dir) && !WayOutTo(sim, lp, th.EntrySection);
}

std::string SignalPlace(const TAreaData& area, int g) {
  const int lp = SignalStation(area, g);
  if (lp >= 0) return "у светофора " + SignalName(area, g) + " станции " + StationTitle(area, lp);
  const int s = area.Semaphores[g].Section;
  const auto block = SectionPeregonBlock(area, s);
  return "у светофора " + SignalName(area, g) + " перегона " +
         PeregonTitle(area, block ? block->first : -1);
}

}  // namespace

bool TrainBrokenDown(const SimulationData& sim, int i) {
  return !sim.State.Faults.empty() && ValidTrain(sim, i) &&
         TrainFault(sim, sim.State.Trains[i].NUMBER) != nullptr;
}

void BreakdownStopped(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  for (TFaultData& f : sim.State.Faults) {
    if (f.KIND != static_cast<std::uint8_t>(FaultKind::Train) ||
        f.OBJECT != sim.State.Trains[i].NUMBER)
      continue;
    if (f.REPORTED) return;
    f.REPORTED = true;
    AppendPosLog(sim, i, true);
    int peregon = -1;
    const int lp = NearestStation(sim, i, &peregon);
    const std::string name = TrainName(sim, i, 1);
    const std::string text =
        peregon >= 0 ? "Поезд " + name + " остановился на перегоне " +
                           PeregonTitle(sim.AreaData, peregon) + ": неисправность локомотива"
                     : "Поезд " + name + " остановился: неисправность локомотива";
    if (sim.Console == nullptr) return;
    if (lp >= 0 && lp < static_cast<int>(sim.AreaData.Puts.size()))
      sim.Console->InformDispatcher(DSPName(sim.AreaData, lp), text, sim.AreaData.Puts[lp].Ring);
    else
      sim.Console->NotifyDispatcher(text);
    return;
  }
}

int FaultSpeedLimit(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i) || !AnyFaults(sim)) return -1;
  const TTrainData& t = sim.State.Trains[i];
  if (TrainFault(sim, t.NUMBER) != nullptr) return 0;
  int limit = -1;
  if (TrainPermit(sim, i) != nullptr) limit = kPermitSpeed;
  if (!sim.State.LimitBySection.empty()) {
    // The whole train keeps the restriction, not only its ends.
    int s = t.TAIL.SECT_IDX;
    int dir = t.TAIL.DIR & 1;
    for (int n = 0; n < 64 && ValidSection(sim.AreaData, s); ++n) {
      const int kmh = RestrictionAt(sim, s);
      if (kmh > 0) limit = limit < 0 ? kmh : std::min(limit, kmh);
      if (s == t.HEAD.SECT_IDX) break;
      s = NextSectionAhead(sim, dir, s);
    }
  }
  return limit;
}

const TPermitData* TrainPermit(const SimulationData& sim, int i) {
  if (sim.State.Permits.empty() || !ValidTrain(sim, i)) return nullptr;
  for (const TPermitData& p : sim.State.Permits)
    if (p.NUMBER == sim.State.Trains[i].NUMBER) return &p;
  return nullptr;
}

int PermittedSignal(const SimulationData& sim, int i) {
  const TPermitData* p = TrainPermit(sim, i);
  if (p == nullptr || p->PASSED) return -1;
  // A train that has come in beyond the signal since holds it closed again.
  for (const int s : SectionsBeyondSignal(sim, p->SIGNAL))
    if (TrainOn(sim, s)) return -1;
  return p->SIGNAL;
}

bool PassUnderPermit(SimulationData& sim, int i, int g, bool closed) {
  TPermitData* p = PermitOf(sim, i);
  if (p == nullptr) return false;
  if (!p->PASSED && p->SIGNAL == g && closed) {
    p->PASSED = true;
    return true;
  }
  DropPermit(sim, i);
  return false;
}

void EndPermitAtRest(SimulationData& sim, int i) {
  const TPermitData* p = TrainPermit(sim, i);
  if (p != nullptr && p->PASSED) DropPermit(sim, i);
}

int ClosedSignalAhead(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return -1;
  const TTrainData& t = sim.State.Trains[i];
  const int g = t.SEMAPH_NEXT_IDX;
  if (t.SPEED > 0 || t.HEAD.SECT_IDX <= 0 || t.PLACE_TIME != 0 || !ValidSignal(sim, g) ||
      sim.AreaData.Semaphores[g].Section != t.HEAD.SECT_IDX || !sim.State.Semaphores[g].CLOSED)
    return -1;
  return g;
}

TDateTime StandingFor(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return 0;
  const TTrainData& t = sim.State.Trains[i];
  if (t.SPEED > 0 || t.LOG.empty()) return 0;
  TDateTime since = sim.State.ClockTime;
  for (auto e = t.LOG.rbegin(); e != t.LOG.rend() && e->SPEED == 0; ++e) since = e->TS;
  return sim.State.ClockTime - since;
}

std::string PermitRefusal(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i) || sim.State.Trains[i].HEAD.SECT_IDX <= 0 ||
      sim.State.Trains[i].PLACE_TIME != 0)
    return "the train is not in the district";
  const int g = ClosedSignalAhead(sim, i);
  if (g < 0) return "the train does not stand before a closed signal";
  if (!SignalHeldByFault(sim, g)) return "the signal is not held by a fault";
  std::vector<int> beyond = SectionsBeyondSignal(sim, g);
  if (beyond.empty()) {
    // No route leads on: the section right beyond the signal still counts.
    const TSemaphoreData& sem = sim.AreaData.Semaphores[g];
    int dir = sem.Direction & 1;
    if (const int u = NextSectionAhead(sim, dir, sem.Section); u > 0) beyond.push_back(u);
  }
  for (const int s : beyond)
    if (TrainOn(sim, s)) return "a train stands beyond the signal";
  if (LineNotGiven(sim, i, g)) return "the departure commit is not given";
  if (sim.AreaData.Semaphores[g].Kind != 2 && sim.State.Semaphores[g].SECT_NEXT <= 0)
    return "no route is set beyond the signal";
  return {};
}

std::string PermitTrain(SimulationData& sim, int number) {
  const int i = FindTrain(sim, number);
  std::string reason =
      i < 0 ? "no train " + std::to_string(number) + " in the district" : PermitRefusal(sim, i);
  if (reason.empty()) {
    DropPermit(sim, i);
    TPermitData p;
    p.NUMBER = number;
    p.SIGNAL = ClosedSignalAhead(sim, i);
    p.SINCE = sim.State.ClockTime;
    sim.State.Permits.push_back(p);
  }
  if (sim.OnFaultEvent) {
    FaultEvent e;
    e.Event = "permit";
    e.Number = number;
    e.Signal = i >= 0 ? ClosedSignalAhead(sim, i) : -1;
    e.Result = reason.empty() ? "ok" : reason;
    sim.OnFaultEvent(e);
  }
  return reason;
}

std::vector<HeldTrain> TrainsBeforeClosedSignals(SimulationData& sim) {
  std::vector<HeldTrain> list;
  for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i) {
    const int g = ClosedSignalAhead(sim, i);
    if (g < 0) continue;
    HeldTrain h;
    h.Train = i;
    h.Signal = g;
    h.HeldByFault = SignalHeldByFault(sim, g);
    h.Place = "Поезд " + TrainName(sim, i, 1) + " " + SignalPlace(sim.AreaData, g);
    list.push_back(h);
  }
  return list;
}

}  // namespace traklin
