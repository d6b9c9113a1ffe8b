// Train records: names, directions, number groups, the two logs and removal of a train.
#pragma once

#include <cmath>
#include <string>

#include "state/simulation_data.h"

namespace traklin {

/// "№ " and the number in one of four display modes: 0 plain, 1 directed (even upwards, then
/// lowered by one for direction 1), 2 the indexed name when it differs from the number,
/// 3 directed with the indexed name in brackets. Unknown modes act as mode 0.
std::string FormatTrainNumber(int number, const std::string& indexedName, int dir, int mode);
/// FormatTrainNumber of train i with its head direction; "№ ?" for a bad index.
std::string TrainName(const SimulationData& sim, int i, int mode);

/// Kind 0: the parity of NUMBER; kind 1: HEAD_DIR (TAIL_DIR). Any other kind throws
/// std::logic_error("General train direction is deprecated").
int TrainDir(const SimulationData& sim, int i, int kind);
int TrainTailDir(const SimulationData& sim, int i, int kind);

bool IsGroup4000Number(int n);
/// Trains that turn back at their terminus instead of changing locomotive.
bool IsReversingNumber(int n);
bool IsFreightNumber(const TAreaData& area, int n);

inline bool ValidTrain(const SimulationData& sim, int i) {
  return i >= 0 && i < static_cast<int>(sim.State.Trains.size());
}
inline bool IsMoving(const SimulationData& sim, int i) {
  return ValidTrain(sim, i) && sim.State.Trains[i].SPEED > 0;
}

/// Adds a speed-log entry (time, |SPEED|, SPEED_LIM); keeps about the last 6..12 minutes.
void AppendTrainLog(SimulationData& sim, int i);
/// Adds a position-log entry for the head; the log keeps at most two days.
void AppendPosLog(SimulationData& sim, int i, bool keyPointWanted);

/// Takes the train out of the district (its occupancy released) and, with del, out of the
/// array; later trains move down by one and the occupancy records follow them.
void RemoveTrain(SimulationData& sim, int i, bool del);

/// Tells the console that trains were placed or removed.
void TrainListChanged(SimulationData& sim);

// ---------------------------------------------------------------------------
// Small shared helpers of the train passes

// The helpers below run for every train and section of every step: inline.

/// Rounds to the nearest integer, halves to even.
inline long RoundHalfEven(double x) {
  if (!std::isfinite(x)) return 0;
  return std::lrint(x);
}
/// Whether s is a section number of the district (1 .. size - 1 of SlSects).
inline bool ValidSection(const TAreaData& area, int s) {
  return s >= 1 && s < static_cast<int>(area.SlSects.size());
}
/// The switch lying on the section (at either end), 0 for none.
inline int SectionSwitch(const TAreaData& area, int s) {
  if (!ValidSection(area, s)) return 0;
  const TSlSectData& d = area.SlSects[s];
  return d.Switch[1] > 0 ? d.Switch[1] : (d.Switch[0] > 0 ? d.Switch[0] : 0);
}
/// Whether switch w lies reverse (diverging).
inline bool SwitchIsSide(const SimulationData& sim, int w) {
  return w > 0 && w < static_cast<int>(sim.State.Switches.size()) && sim.State.Switches[w] == 1;
}
/// Length in force: the side length when the section's switch lies reverse; 0 for bad s.
inline int SectionLength(const SimulationData& sim, int s) {
  if (!ValidSection(sim.AreaData, s)) return 0;
  const TSlSectData& d = sim.AreaData.SlSects[s];
  return SwitchIsSide(sim, SectionSwitch(sim.AreaData, s)) ? d.SideLength : d.Length;
}
/// The section after s in direction dir along the set switch; dir flips at parity flips.
/// 0 at the end of track or on bad data.
int NextSectionAhead(const SimulationData& sim, int& dir, int s);
/// Distance from an end position to the end of its section in its direction (never negative).
inline int RoomToSectionEnd(const SimulationData& sim, int s, double pos, int dir) {
  const long p = RoundHalfEven(pos);
  const long room = dir == 0 ? SectionLength(sim, s) - p : p;
  return room > 0 ? static_cast<int>(room) : 0;
}
/// The LP code of LP index lp, 0 for a bad index.
int LPCode(const TAreaData& area, int lp);
/// Line coordinate of the head standing at position pos of section s at a station with
/// kilometre mark k: k * 1000 + L / 2 - pos.
double LocoPosAt(const SimulationData& sim, int k, int s, double pos);

/// The timetable entry the train follows (freight or passenger list by LOAD_TYPE, parity of
/// SCHEDULE_NUMBER); nullptr when there is none. list/index receive the list and position.
const TGraphTrainData* ScheduleEntry(const SimulationData& sim, int i,
                                     const TGraphTrainsData** list = nullptr, int* index = nullptr);
/// The stop at SCHEDULE_IDX of the train's entry, or nullptr.
const TStopData* CurrentStop(const SimulationData& sim, int i);
/// Time of day of an hhmm value as a day fraction.
TDateTime DayFraction(int hhmm);

}  // namespace traklin
