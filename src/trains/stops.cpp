// Stops, dwell and departure: where a train stops, how long it stands, when it starts.
#include "trains/stops.h"

#include <algorithm>
#include <cmath>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "state/interlocking.h"
#include "trains/fault_trains.h"
#include "trains/station_messages.h"
#include "trains/throat_queries.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin {

namespace {
constexpr TDateTime kHour = 1.0 / 24.0;

bool ValidTrack(const TAreaData& area, int lp, int track) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size()) && track >= 0 &&
         track < static_cast<int>(area.Puts[lp].Tracks.size());
}

// The track of LP index lp that holds section s, or -1.
int TrackOfLP(const TAreaData& area, int lp, int s) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size()) || !ValidSection(area, s)) return -1;
  int l = lp;
  return FindTrackOfSection(area, l, s, true);
}

TDateTime TimeOfDay(TDateTime t) {
  return t - std::floor(t);
}

// A time of day after the creation time of day falls on the creation date, an earlier one
// on the next day.
TDateTime AnchorToCreation(TDateTime s, TDateTime created) {
  if (!(s > TimeOfDay(created))) s += 1;
  return s + std::floor(created);
}
}  // namespace

bool TrackSuits(const SimulationData& sim, int lp, int track, int i) {
  const TAreaData& area = sim.AreaData;
  if (!ValidTrack(area, lp, track) || !ValidTrain(sim, i)) return false;
  const TTrackData& k = area.Puts[lp].Tracks[track];
  const TTrainData& t = sim.State.Trains[i];
  const int code = area.Puts[lp].Code;
  bool kind = false;
  switch (k.Kind) {
    case 1:
      kind = t.LOAD_TYPE < 100;
      break;
    case 2:
      kind = t.LOAD_TYPE >= 100;
      break;
    case 3:
      kind = true;
      break;
    case 4:
      kind = IsReversingNumber(t.NUMBER) || IsGroup4000Number(t.NUMBER);
      break;
    case 5:
      kind = t.ARRIVAL_LP_CODE != code && t.CREATION_LP_CODE != code;
      break;
    default:
      kind = false;
  }
  bool mode = false;
  switch (k.Mode) {
    case 0:
      mode = true;
      break;
    case 1:
      mode = t.CREATION_LP_CODE != code;
      break;
    case 2:
      mode = t.CREATION_LP_CODE == code;
      break;
    case 3:
      mode = t.ARRIVAL_LP_CODE == code;
      break;
    default:
      mode = false;
  }
  return kind && mode;
}

bool ReceiveOnlyTrackForParent(const SimulationData& sim, int lp, int track, int i) {
  const TAreaData& area = sim.AreaData;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size()) || track < 0 ||
      track >= static_cast<int>(area.Puts[lp].Tracks.size()) || !ValidTrain(sim, i))
    return false;
  const int number = sim.State.Trains[i].NUMBER;
  if (area.Puts[lp].Tracks[track].SignB >= 0 || number == 0) return false;
  return std::any_of(area.CreationPlans.begin(), area.CreationPlans.end(),
                     [number](const TCreationPlanData& p) { return p.Parent == number; });
}

int StopQuery(const SimulationData& sim, int i, int s, bool useTimetable) {
  const TAreaData& area = sim.AreaData;
  if (!ValidTrain(sim, i) || !ValidSection(area, s)) return -1;
  const TTrainData& t = sim.State.Trains[i];
  const TGraphTrainsData* list = nullptr;
  int index = -1;
  const TGraphTrainData* entry =
      t.SCHEDULE_IDX >= 0 ? ScheduleEntry(sim, i, &list, &index) : nullptr;
  if (entry && FindTrainStopBySection(*list, index, s, t.SCHEDULE_IDX) >= 0) return 0;

  int lp = -1;
  const int track = FindTrackOfSection(area, lp, s, false);
  if (track < 0 || lp < 0) return -1;
  const int code = LPCode(area, lp);
  bool counts = false;
  if (useTimetable) {
    if (entry) {
      const int k = FindTrainStopByLP(*list, index, code, t.SCHEDULE_IDX);
      // Deliberately stricter than a bare stop at the station: the stop must have an arrival
      // time, and a freight train stops only where its stop names a locomotive field (a
      // service stop or a change). This is the rule by which entering the LP sets the train's
      // stop, so the braking curve never brakes for a stop the train will not make.
      if (k >= 0 && k < static_cast<int>(entry->Stops.size())) {
        const TStopData& st = entry->Stops[k];
        counts = st.Arrival != 0 && (st.LocoType > 0 || t.LOAD_TYPE >= 100);
      }
    }
  } else {
    counts = t.STOP_LP_CODE > 0 && t.STOP_LP_CODE == code;
  }
  if (!counts) return -1;
  if (t.STOP_ADVICE_LP_CODE == code && t.STOP_ADVICE_SECT_IDX > 0)
    return t.STOP_ADVICE_SECT_IDX == s ? 1 : -1;
  return TrackSuits(sim, lp, track, i) ? 1 : -1;
}

bool AtConfirmedStop(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return false;
  const TTrainData& t = sim.State.Trains[i];
  return t.STOP_LP_CODE > 0 && t.STOP_LP_CODE == t.STOP_ADVICE_LP_CODE &&
         t.STOP_SECT_IDX == t.STOP_ADVICE_SECT_IDX;
}

TDateTime ScheduledTime(SimulationData& sim, int i, TDateTime timeOfDay) {
  if (!ValidTrain(sim, i)) return timeOfDay;
  TTrainData& t = sim.State.Trains[i];
  if (t.PLAN_CREATE_TIME == 0) {
    const int plan = FindCreationPlan(sim.AreaData, t.NUMBER);
    if (plan >= 0 && plan < static_cast<int>(sim.AreaData.CreationPlans.size()))
      t.PLAN_CREATE_TIME =
          std::floor(t.CREATE_TIME) + DayFraction(sim.AreaData.CreationPlans[plan].Time);
  }
  if (t.PLAN_CREATE_TIME != 0 && t.PLAN_CREATE_TIME != t.CREATE_TIME)
    return timeOfDay + (t.CREATE_TIME - t.PLAN_CREATE_TIME);
  return timeOfDay;
}

TDateTime PlannedDeparture(SimulationData& sim, int i, int lp) {
  const TAreaData& area = sim.AreaData;
  if (!ValidTrain(sim, i) || lp < 0 || lp >= static_cast<int>(area.Puts.size())) return 0;
  const int code = area.Puts[lp].Code;
  {
    const TTrainData& t = sim.State.Trains[i];
    if (t.HEAD.LP_CODE == code && t.DEPARTURE_TIME != 0) return t.DEPARTURE_TIME;
    if (t.SCHEDULE_IDX < 0) return 0;
  }
  const TGraphTrainsData* list = nullptr;
  int index = -1;
  const TGraphTrainData* entry = ScheduleEntry(sim, i, &list, &index);
  if (!entry) return 0;
  const TTrainData& t = sim.State.Trains[i];
  int start = t.SCHEDULE_IDX;
  if (start < static_cast<int>(entry->Stops.size()) && entry->Stops[start].LPCode != code) ++start;
  const int k = FindTrainStopByLP(*list, index, code, start);
  if (k < 0 || k >= static_cast<int>(entry->Stops.size())) return 0;
  const TStopData stop = entry->Stops[k];
  const bool passenger = t.LOAD_TYPE >= 100;
  if (stop.Arrival == 0 || !(stop.LocoType > 0 || passenger)) return 0;
  const TDateTime created = t.CREATE_TIME;
  return AnchorToCreation(ScheduledTime(sim, i, DayFraction(stop.Departure)), created);
}

void TrainStopped(SimulationData& sim, int i, bool report) {
  if (!ValidTrain(sim, i) || IsMoving(sim, i)) return;
  const TAreaData& area = sim.AreaData;
  AppendPosLog(sim, i, true);
  TTrainData& t = sim.State.Trains[i];
  const TDateTime now = sim.State.ClockTime;

  const int lp = t.HEAD.LP_CODE > 0 ? FindLPIndex(area, t.HEAD.LP_CODE) : -1;
  const bool onTrack = TrackOfLP(area, lp, t.HEAD.SECT_IDX) >= 0;
  const bool planned = onTrack && AtConfirmedStop(sim, i);
  const bool atDestination = planned && t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE;
  const bool atStart = onTrack && !t.ARRIVAL_NOTIFIED && t.HEAD.LP_CODE == t.CREATION_LP_CODE;
  const bool unplanned = onTrack && !planned && !atStart;

  if (planned && t.LOCO_IDX == 0) LocoChange(sim, i, IsReversingNumber(t.NUMBER) ? 3 : 2);

  t.DEPARTURE_TIME = now + 30 * kSecond;
  t.DEPARTURE_COMMISSION = !atDestination;

  if (onTrack) ArrivalReport(sim, i, lp, report, !unplanned);

  if (t.DEPARTURE_SCHEDULED) return;

  TDateTime W = 0;
  const bool freight = t.LOAD_TYPE < 100;
  const TStopData* current = CurrentStop(sim, i);
  const bool stopHere = current && ((current->Section > 0 && current->Section == t.HEAD.SECT_IDX) ||
                                    (current->LPCode > 0 && current->LPCode == t.HEAD.LP_CODE));
  if (stopHere) {
    const TStopData stop = *current;
    const bool service = stop.LocoType > 0;
    if (stop.Arrival != 0 && !(freight && !service)) {
      t.DEPARTURE_TIME = std::max(t.DEPARTURE_TIME, now + 60 * kSecond);
      TDateTime S = 0;
      if (freight && !atDestination && !atStart) {
        S = t.DEPARTURE_TIME;
        W = S - now;
      } else {
        S = ScheduledTime(sim, i, DayFraction(stop.Departure));
        W = S - ScheduledTime(sim, i, DayFraction(stop.Arrival));
        if (W < 0) W += 1;
        S = AnchorToCreation(S, t.CREATE_TIME);
      }
      if (now + W > S + 10 * kSecond) {
        // A late train keeps only the minimum dwell, but never leaves before its time.
        if (service)
          W = (stop.LocoType >= 2 ? 12 : 10) * kMinute;
        else
          W = (W < 300 * kSecond ? 1 : 2) * kMinute;
        if (now + W < S) W = S - now;
      }
      if (stop.LPCode > 0 && t.DEPARTURE_TIME < S) t.DEPARTURE_TIME = S;
      if (stop.LocoType > 1) LocoChange(sim, i, stop.LocoType);
      TTrainData& u = sim.State.Trains[i];
      u.DEPARTURE_SCHEDULED = true;
      const int km = StationCoordinate(area, lp);
      if (km > 0) u.LOCO_POS = LocoPosAt(sim, km, u.HEAD.SECT_IDX, u.HEAD.SECT_POS);
    }
  }
  TTrainData& u = sim.State.Trains[i];
  if (freight && W <= 0 && (atStart || atDestination)) {
    W = kHour;
    u.DEPARTURE_SCHEDULED = true;
  }
  u.DEPARTURE_TIME = std::max(u.DEPARTURE_TIME, now + W);
}

void DepartTrains(SimulationData& sim) {
  const TAreaData& area = sim.AreaData;
  for (int i = static_cast<int>(sim.State.Trains.size()) - 1; i >= 0; --i) {
    // A train held at its signal is examined again at once; each round repeats the draw,
    // so the rounds end quickly.
    for (int round = 0; round < 1000; ++round) {
      if (!ValidTrain(sim, i) || IsMoving(sim, i)) break;
      if (sim.Random.Draw(100) >= 5) break;
      TTrainData& t = sim.State.Trains[i];
      const TDateTime now = sim.State.ClockTime;
      if (t.DEPARTURE_TIME == 0 || !(t.DEPARTURE_TIME < now) || t.HEAD.SECT_IDX <= 0) break;
      if (AnyFaults(sim) && TrainBrokenDown(sim, i)) break;

      const int lp = t.HEAD.LP_CODE > 0 ? FindLPIndex(area, t.HEAD.LP_CODE) : -1;
      const int track = TrackOfLP(area, lp, t.HEAD.SECT_IDX);
      if (t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE && track >= 0 && TrackSuits(sim, lp, track, i)) {
        RemoveTrain(sim, i, true);
        break;
      }

      const int sig = t.SEMAPH_NEXT_IDX;
      const bool signalHere = sig >= 0 && sig < static_cast<int>(area.Semaphores.size()) &&
                              sig < static_cast<int>(sim.State.Semaphores.size()) &&
                              area.Semaphores[sig].Section == t.HEAD.SECT_IDX;
      // A train let past its closed signal is no longer held by it.
      const bool held = signalHere && sim.State.Semaphores[sig].CLOSED &&
                        !(AnyFaults(sim) && PermittedSignal(sim, i) == sig);
      if (held) {
        const bool atSignal =
            RoomToSectionEnd(sim, t.HEAD.SECT_IDX, t.HEAD.SECT_POS, t.HEAD.DIR) < 21;
        if (area.Semaphores[sig].Kind == 0 && atSignal) {
          if (!ThroatTaskCoversTrain(sim, i) && !RequestIsFresh(sim, i, rqNone, t.NEXT_LP_CODE, 0))
            HeldTrainRequest(sim, i);
          continue;
        }
        if (atSignal) continue;
        if (t.HEAD.SECT_IDX == t.TAIL.SECT_IDX && track >= 0 && t.DEPARTURE_SCHEDULED) continue;
        break;
      }
      if (!t.DEPARTURE_COMMISSION) break;

      AppendPosLog(sim, i, true);
      TTrainData& u = sim.State.Trains[i];
      u.DEPARTURE_TIME = 0;
      if (AtConfirmedStop(sim, i) && u.STOP_LP_CODE > 0) {
        const TStopData* stop = CurrentStop(sim, i);
        if (stop && stop->LPCode == u.STOP_LP_CODE) ++u.SCHEDULE_IDX;
        u.STOP_LP_CODE = 0;
      }
      if (u.STOP_SECT_IDX > 0) {
        const TStopData* stop = CurrentStop(sim, i);
        if (stop && stop->Section == u.STOP_SECT_IDX) ++u.SCHEDULE_IDX;
        u.STOP_SECT_IDX = 0;
      }
      if (track >= 0) DepartureReport(sim, i, lp);
      break;
    }
  }
}

void LocoChange(SimulationData& sim, int i, int newLoco) {
  if (!ValidTrain(sim, i)) return;
  const TAreaData& area = sim.AreaData;
  TTrainData& t = sim.State.Trains[i];
  const std::string name = TrainName(sim, i, 1);
  if (t.HEAD.SECT_IDX != t.TAIL.SECT_IDX) {
    NotifyText(sim, "Поезд " + name + " не поместился на секции " +
                        FormatHexNumber(t.HEAD.SECT_IDX) + " пути для смены локомотива.");
    return;
  }
  if (t.HEAD.LP_CODE < 1) {
    NotifyText(sim, "Поезд " + name + " должен быть принят на путь для смены локомотива.");
    return;
  }
  bool reversal = false;
  int newDir = t.HEAD.DIR;
  const int lp = FindLPIndex(area, t.HEAD.LP_CODE);
  if (lp >= 0) {
    int throat = -1;
    int dir = t.HEAD.DIR;
    if (ThroatOfNextStop(sim, throat, dir, lp, i) && dir != t.HEAD.DIR) {
      reversal = true;
      newDir = dir & 1;
    }
  }
  TTrainData& u = sim.State.Trains[i];
  if (u.LOCO_IDX == newLoco && !reversal) return;
  if (reversal) {
    const int s = u.HEAD.SECT_IDX;
    const int sig = SectionSemaphore(area, s, newDir);
    if (sig < 0) {
      // Checked before turning, so the train is left as it was.
      NotifyText(sim, "Поезд " + name +
                          " должен быть принят на путь со светофором в обратном направлении.");
      return;
    }
    std::swap(u.HEAD.SECT_POS, u.TAIL.SECT_POS);
    u.HEAD.DIR = static_cast<std::uint8_t>(newDir);
    u.TAIL.DIR = static_cast<std::uint8_t>(newDir);
    if (s >= 1 && s < static_cast<int>(sim.State.Sects.size())) {
      TSectionSchuntData& x = sim.State.Sects[s];
      (newDir == 0 ? x.TRN_EVEN : x.TRN_ODD) = i;
      (newDir == 0 ? x.TRN_ODD : x.TRN_EVEN) = -1;
      MarkSectionChanged(sim, s);
    }
    u.SEMAPH_NEXT_IDX = sig;
    int d = newDir;
    u.SECT_NEXT_IDX = NextSectionAhead(sim, d, s);
  }
  const int locoCount = static_cast<int>(area.Locos.size());
  if (u.LOCO_IDX >= 0 && u.LOCO_IDX < locoCount) u.WEIGHT -= area.Locos[u.LOCO_IDX].Weight;
  if (newLoco >= 0 && newLoco < locoCount) u.WEIGHT += area.Locos[newLoco].Weight;
  u.LOCO_IDX = newLoco;
}

bool TrackTakes(const SimulationData& sim, int lp, int track, int len) {
  const TAreaData& area = sim.AreaData;
  if (!ValidTrack(area, lp, track)) return false;
  const int s = area.Puts[lp].Tracks[track].Section;
  return ValidSection(area, s) && SectionLength(sim, s) >= len + 2;
}

void TooShortTrackReport(SimulationData& sim, int i, int lp, int track) {
  const TAreaData& area = sim.AreaData;
  if (!ValidTrack(area, lp, track)) return;
  NotifyText(sim, "Поезд " + TrainName(sim, i, 1) + " не поместится" + " на " +
                      FormatTrackName(area.Puts[lp].Tracks[track].Number) + " пути " +
                      StationNamePart(area, area.Puts[lp].Code, 5) + ".");
}

bool PutOnTrack(SimulationData& sim, int i, int lp, int track) {
  const TAreaData& area = sim.AreaData;
  if (!ValidTrain(sim, i) || !ValidTrack(area, lp, track)) return false;
  TTrainData& t = sim.State.Trains[i];
  const int s = area.Puts[lp].Tracks[track].Section;
  const int lt = SectionLength(sim, s);
  if (!TrackTakes(sim, lp, track, t.LEN)) {
    TooShortTrackReport(sim, i, lp, track);
    return false;
  }
  const int m = std::min((lt - t.LEN) / 2, 20);
  t.HEAD.SECT_IDX = s;
  t.TAIL.SECT_IDX = s;
  const int dir = t.HEAD.DIR & 1;
  t.TAIL.DIR = static_cast<std::uint8_t>(dir);
  int d = dir;
  t.SECT_NEXT_IDX = NextSectionAhead(sim, d, s);
  t.SEMAPH_NEXT_IDX = SectionSemaphore(area, s, dir);
  t.STOP_SECT_IDX = s;
  t.STOP_ADVICE_SECT_IDX = s;
  t.STOP_ADVICE_LP_CODE = t.STOP_LP_CODE;
  if (dir == 0) {
    t.HEAD.SECT_POS = lt - m;
    t.TAIL.SECT_POS = t.HEAD.SECT_POS - t.LEN;
  } else {
    t.HEAD.SECT_POS = m;
    t.TAIL.SECT_POS = t.LEN + m;
  }
  // Each direction's coordinate from the track's half length (whole metres) and the margin: on
  // a track of odd length the two are not mirror images of each other.
  const int km = StationCoordinate(area, lp);
  if (km <= 0)
    t.LOCO_POS = 0;
  else
    t.LOCO_POS = dir == 0 ? km * 1000 - lt / 2 + m : km * 1000 + lt / 2 - m;
  t.PLACE_TIME = sim.State.ClockTime + (t.LOAD_TYPE < 100 ? 10 : 5) * kMinute;
  MarkOccupied(sim, i);
  TrainListChanged(sim);
  return true;
}

void ReleaseMadeUp(SimulationData& sim, int i) {
  // A train that was never placed would occupy section 0.
  if (!ValidTrain(sim, i) || !ValidSection(sim.AreaData, sim.State.Trains[i].HEAD.SECT_IDX)) return;
  sim.State.Trains[i].PLACE_TIME = 0;
  MarkOccupied(sim, i);
  TrainListChanged(sim);
  TrainStopped(sim, i, false);
}

}  // namespace traklin
