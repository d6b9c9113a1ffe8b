// Station automation and throat tasks: what duty officers do on their own and on order.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

/// What the station passes need to know of one throat. Throats of an unknown LP, without a graph
/// peregon or without an entry section are not Valid and are skipped.
struct ThroatView {
  bool Valid = false;
  int LP = -1;  ///< LP index
  int Code = 0;
  int Dir = 0;      ///< d: its parity, the direction trains leave in
  int Arrival = 0;  ///< a: the direction of a train coming in at the entry section
  int Peregon = -1;
  int Entry = 0;  ///< entry section
  int Side = 0;
  bool SelfActing = false;
};

/// The view of throat g (a valid index into GorlStanzs).
ThroatView ThroatViewOf(const SimulationData& sim, int g);

/// The section of track `track` of LP index lp, 0 when there is none.
int TrackSection(const TAreaData& area, int lp, int track);

/// Whether the stations' pass made the throats' watch (TThroatChanges) for this district and
/// state; ThroatKnownQuiet may be asked only then.
bool ThroatWatchCurrent(const SimulationData& sim);
/// Whether throat g is known to have no train on its entry section, on the section beyond it
/// where an approaching train is looked for, or (when it may send) on a track of its LP: a
/// look found none there and none of those sections has changed occupancy since. In check
/// mode a throat known quiet with a train there throws CheckMismatch.
bool ThroatKnownQuiet(const SimulationData& sim, int g);

/// The stations' own decisions: take approaching trains in, send trains that are due, ask.
void ThroatAutomation(SimulationData& sim);
/// Carries out the active throat tasks by ordering their routes.
void ExecuteThroatTasks(SimulationData& sim);

}  // namespace traklin
