// Train records: names, directions, number groups, the two logs and removal of a train.
#include "trains/train_records.h"

#include <cmath>
#include <stdexcept>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "trains/station_messages.h"
#include "trains/train_motion.h"

namespace traklin {

namespace {
constexpr TDateTime kSpeedLogSpan = 12 * kMinute;
constexpr TDateTime kSpeedLogKeep = 6 * kMinute;
constexpr TDateTime kPosLogSpan = 2.0;
}  // namespace

std::string FormatTrainNumber(int number, const std::string& indexedName, int dir, int mode) {
  // The directed number is even in direction 0 and odd in direction 1: 2001 and 2002 both
  // give 2002 going even and 2001 going odd.
  const int directed = ((number + 1) & ~1) - (dir & 1);
  const std::string plain = std::to_string(number);
  const bool named = !indexedName.empty() && indexedName != plain;
  switch (mode) {
    case 1:
      return "№ " + std::to_string(directed);
    case 2:
      return "№ " + (named ? indexedName : plain);
    case 3:
      return "№ " + std::to_string(directed) + (named ? " (" + indexedName + ")" : "");
    default:
      return "№ " + plain;
  }
}

std::string TrainName(const SimulationData& sim, int i, int mode) {
  if (!ValidTrain(sim, i)) return "№ ?";
  const TTrainData& t = sim.State.Trains[i];
  return FormatTrainNumber(t.NUMBER, t.INDEXED_NAME, t.HEAD.DIR, mode);
}

namespace {
int DirOf(const SimulationData& sim, int i, int kind, bool tail) {
  if (kind != 0 && kind != 1) throw std::logic_error("General train direction is deprecated");
  if (!ValidTrain(sim, i)) return 0;
  const TTrainData& t = sim.State.Trains[i];
  if (kind == 0) return t.NUMBER & 1;
  return tail ? t.TAIL.DIR : t.HEAD.DIR;
}
}  // namespace

int TrainDir(const SimulationData& sim, int i, int kind) {
  return DirOf(sim, i, kind, false);
}
int TrainTailDir(const SimulationData& sim, int i, int kind) {
  return DirOf(sim, i, kind, true);
}

bool IsGroup4000Number(int n) {
  return n >= 4001 && n <= 4998;
}

bool IsReversingNumber(int n) {
  return (n >= 6001 && n <= 6998) || (n >= 7001 && n <= 7628);
}

bool IsFreightNumber(const TAreaData& area, int n) {
  return (n >= 1001 && n <= 1998) || (n >= 2001 && n <= 3998) ||
         (n >= area.FreightNumbering[0] && n <= area.FreightNumbering[1]);
}

void AppendTrainLog(SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return;
  TTrainData& t = sim.State.Trains[i];
  TTrainLogData& log = t.LOG;
  if (!log.empty() && log.back().TS - log.front().TS > kSpeedLogSpan)
    log.DropOlderThan(kSpeedLogKeep);
  TTrainLogEntry e;
  e.TS = sim.State.ClockTime;
  e.SPEED = std::fabs(t.SPEED);
  e.SPEED_LIM = t.SPEED_LIM;
  log.push_back(e);
}

void AppendPosLog(SimulationData& sim, int i, bool keyPointWanted) {
  if (!ValidTrain(sim, i)) return;
  TTrainData& t = sim.State.Trains[i];
  TTrainPosLogData& log = sim.State.PosLog;
  // Beyond two days the log keeps its length: the oldest entry makes room for the new one.
  if (!log.empty() && log.back().TS - log.front().TS > kPosLogSpan) log.erase(log.begin());
  t.POS_LOG_TIME = sim.State.ClockTime;
  TTrainPosLogEntry e;
  e.TS = sim.State.ClockTime;
  e.NUMBER = t.NUMBER;
  e.DIR = t.HEAD.DIR;
  e.SECT_IDX = t.HEAD.SECT_IDX;
  e.LOCO_POS = t.HEAD.SECT_POS;
  if (keyPointWanted && ValidSection(sim.AreaData, t.HEAD.SECT_IDX)) {
    const SectionPosition p = LocateSectionPosition(
        sim.AreaData, t.HEAD.SECT_IDX, static_cast<int>(RoundHalfEven(t.HEAD.SECT_POS)));
    e.KEY_POINT = p.Track >= 0 && p.LP >= 0;
  }
  log.push_back(e);
}

void RemoveTrain(SimulationData& sim, int i, bool del) {
  if (!ValidTrain(sim, i)) return;
  if (sim.OnTrainRemoving) sim.OnTrainRemoving(i);
  AppendPosLog(sim, i, true);
  // Daily numbers recur: the graph must not join this run to the next train of the number.
  sim.State.PosLog.back().RunEnd = true;
  TTrainData& t = sim.State.Trains[i];
  if (t.HEAD.SECT_IDX != t.TAIL.SECT_IDX)
    NotifyText(sim,
               "Поезд не поместился на секции расформирования " + FormatHexNumber(t.HEAD.SECT_IDX));
  ReleaseSection(sim, i);
  t.LOG.clear();
  for (std::size_t s = 0; s < sim.State.Sects.size(); ++s) {
    TSectionSchuntData& r = sim.State.Sects[s];
    if (r.TRN_EVEN == i || r.TRN_ODD == i) ReleaseSectionAt(sim, static_cast<int>(s));
    if (del) {
      if (r.TRN_EVEN > i) --r.TRN_EVEN;
      if (r.TRN_ODD > i) --r.TRN_ODD;
    }
  }
  t.HEAD.SECT_IDX = 0;
  t.TAIL.SECT_IDX = 0;
  if (del) sim.State.Trains.erase(sim.State.Trains.begin() + i);
  TrainListChanged(sim);
}

void TrainListChanged(SimulationData& sim) {
  if (sim.OnTrainListChanged) sim.OnTrainListChanged();
}

// ---------------------------------------------------------------------------

int NextSectionAhead(const SimulationData& sim, int& dir, int s) {
  if (!ValidSection(sim.AreaData, s) || (dir != 0 && dir != 1)) return 0;
  const TSlSectData& d = sim.AreaData.SlSects[s];
  const bool side = d.Switch[dir] > 0 && SwitchIsSide(sim, d.Switch[dir]);
  int n = 0;
  try {
    n = NextSection(sim.AreaData, dir, s, side);
  } catch (const std::exception&) {
    return 0;
  }
  return ValidSection(sim.AreaData, n) ? n : 0;
}

int LPCode(const TAreaData& area, int lp) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size()) ? area.Puts[lp].Code : 0;
}

double LocoPosAt(const SimulationData& sim, int k, int s, double pos) {
  return k * 1000.0 + SectionLength(sim, s) / 2 - pos;
}

const TGraphTrainData* ScheduleEntry(const SimulationData& sim, int i,
                                     const TGraphTrainsData** list, int* index) {
  if (!ValidTrain(sim, i)) return nullptr;
  const TTrainData& t = sim.State.Trains[i];
  const TGraphTrainsData& l =
      GetScheduleTrains(sim.AreaData, t.SCHEDULE_NUMBER & 1, t.LOAD_TYPE < 100);
  const int k =
      FindScheduleTrain(sim.AreaData, t.SCHEDULE_NUMBER & 1, t.LOAD_TYPE < 100, t.SCHEDULE_NUMBER);
  if (list) *list = &l;
  if (index) *index = k;
  if (k < 0 || k >= static_cast<int>(l.size())) return nullptr;
  return &l[k];
}

const TStopData* CurrentStop(const SimulationData& sim, int i) {
  const TGraphTrainData* e = ScheduleEntry(sim, i);
  if (!e) return nullptr;
  const int k = sim.State.Trains[i].SCHEDULE_IDX;
  if (k < 0 || k >= static_cast<int>(e->Stops.size())) return nullptr;
  return &e->Stops[k];
}

TDateTime DayFraction(int hhmm) {
  return ((hhmm / 100) * 60 + hhmm % 100) / 1440.0;
}

}  // namespace traklin
