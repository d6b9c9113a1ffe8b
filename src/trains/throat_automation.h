// Station automation and throat tasks: what duty officers do on their own and on order.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

// ThroatView, what the station passes need to know of one throat, lives with the throats'
// watch tables (state/step_changes.h), which keep one per throat.

/// The view of throat g (a valid index into GorlStanzs).
ThroatView ThroatViewOf(const SimulationData& sim, int g);

/// The section of track `track` of LP index lp, 0 when there is none. Inline: the passes ask
/// it for every track of a station many times a step.
inline int TrackSection(const TAreaData& area, int lp, int track) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size()) || track < 0 ||
      track >= static_cast<int>(area.Puts[lp].Tracks.size()))
    return 0;
  const int s = area.Puts[lp].Tracks[track].Section;
  return s >= 1 && s < static_cast<int>(area.SlSects.size()) ? s : 0;
}

/// Whether the stations' pass made the throats' watch (TThroatChanges) for this district and
/// state; ThroatKnownQuiet may be asked only then.
bool ThroatWatchCurrent(const SimulationData& sim);
/// Check mode's half of ThroatKnownQuiet for a throat flagged quiet: throws CheckMismatch when
/// a look finds a train there, else true.
bool ThroatQuietChecked(const SimulationData& sim, int g);
/// Whether throat g is known to have no train on its entry section, on the section beyond it
/// where an approaching train is looked for, or (when it may send) on a track of its LP: a
/// look found none there and none of those sections has changed occupancy since. In check
/// mode a throat known quiet with a train there throws CheckMismatch.
/// Inline: the automatic dispatcher asks it for every throat it works on every step.
inline bool ThroatKnownQuiet(const SimulationData& sim, int g) {
  const TThroatChanges& w = sim.Changes.Throats;
  if (g < 0 || g >= static_cast<int>(w.Quiet.size()) || !w.Quiet[static_cast<std::size_t>(g)])
    return false;
  return !sim.Changes.Check || ThroatQuietChecked(sim, g);
}

/// The stations' own decisions: take approaching trains in, send trains that are due, ask.
void ThroatAutomation(SimulationData& sim);
/// Carries out the active throat tasks by ordering their routes.
void ExecuteThroatTasks(SimulationData& sim);

}  // namespace traklin
