// Stops, dwell and departure: where a train stops, how long it stands, when it starts.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

/// Whether track `track` of LP index lp admits train i (by its kind and its mode).
bool TrackSuits(const SimulationData& sim, int lp, int track, int i);
/// Whether the track is a second choice for taking train i in: it only receives (mode 3) and
/// a dependant train is to be formed from i, which would leave from that track. A station
/// takes such a train in there only when no other track will do.
bool ReceiveOnlyTrackForParent(const SimulationData& sim, int lp, int track, int i);
/// 0: the timetable names section s as a stop section; 1: s is a suitable track of a station
/// where the train stops (or its confirmed stop); -1 otherwise.
int StopQuery(const SimulationData& sim, int i, int s, bool useTimetable);
/// The train's stop is the one confirmed when the head reached the stopping section.
bool AtConfirmedStop(const SimulationData& sim, int i);
/// A timetable time of day (day fraction) shifted by the train's lateness.
TDateTime ScheduledTime(SimulationData& sim, int i, TDateTime timeOfDay);
/// When the train leaves LP index lp: its DEPARTURE_TIME while it dwells there, else its
/// timetable departure anchored to its creation date; 0 when none.
TDateTime PlannedDeparture(SimulationData& sim, int i, int lp);
/// The train has come to rest (report: tell the station's report to the dispatcher).
void TrainStopped(SimulationData& sim, int i, bool report);
/// Once per step: trains whose dwell is over start, are held at a closed signal, or are
/// disbanded at their destination.
void DepartTrains(SimulationData& sim);
/// Changes (or attaches) the locomotive, turning the train round when it must leave the way
/// it came.
void LocoChange(SimulationData& sim, int i, int newLoco);

/// Whether track `track` of LP index lp is long enough for a train of len metres (2 m spare).
bool TrackTakes(const SimulationData& sim, int lp, int track, int len);
/// Tells the dispatcher that train i does not fit on the track.
void TooShortTrackReport(SimulationData& sim, int i, int lp, int track);
/// Places a waiting train on track `track` of LP index lp, to be made up there; false (and a
/// message) when the track is too short.
bool PutOnTrack(SimulationData& sim, int i, int lp, int track);
/// A made-up train starts to occupy its track and works out its first dwell; nothing happens
/// to a train that is not on a section.
void ReleaseMadeUp(SimulationData& sim, int i);

}  // namespace traklin
