// Signal aspects, the lamps of signals, and the lamps that show a section on the panel.
#include <algorithm>
#include <string>

#include "area/area_queries.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "state/interlocking_detail.h"

namespace traklin {

using detail::Notify;
using detail::ValidSection;

namespace {

constexpr int kLampSetSize = 5;

bool ValidLamp(const SimulationData& sim, int lamp) {
  return lamp > 0 && lamp < static_cast<int>(sim.State.Lamps.size());
}

int SignalCount(const SimulationData& sim) {
  return std::min(static_cast<int>(sim.AreaData.Semaphores.size()),
                  static_cast<int>(sim.State.Semaphores.size()));
}

/// Whether a train occupies section s. Asked twice for every signal on every step: a section
/// with both halves free is answered here, only an occupied one goes to the query that
/// reports odd occupancies.
inline bool SectionOccupied(SimulationData& sim, int s) {
  const std::vector<TSectionSchuntData>& sects = sim.State.Sects;
  if (s >= 1 && s < static_cast<int>(sects.size()) && sects[s].TRN_EVEN < 0 && sects[s].TRN_ODD < 0)
    return false;
  return OccupyingTrain(sim, s) >= 0;
}

/// The signal at the end of section s in direction dir, -1 when none (SectionSemaphore, read
/// in place for the per-step pass).
inline int SignalOfSection(const TAreaData& area, int s, int dir) {
  if (s < 1 || s >= static_cast<int>(area.SlSects.size()) || (dir != 0 && dir != 1)) return -1;
  const int signal = area.SlSects[s].Semaphore[dir];
  return signal >= 0 && signal < static_cast<int>(area.Semaphores.size()) ? signal : -1;
}

/// Stop aspect: a route is set beyond the signal, the next signal's section and the section
/// right beyond the signal are free.
bool SignalMustClose(SimulationData& sim, int i) {
  if (!sim.State.Faults.empty() && (SignalFailed(sim, i) || FalseOccupancyBeyond(sim, i)))
    return true;
  const TSemaphoreData& sem = sim.AreaData.Semaphores[i];
  const int t = sim.State.Semaphores[i].SECT_NEXT;
  if (t == 0 || SectionOccupied(sim, t)) return true;
  const int s = sem.Section;
  if (!ValidSection(sim, s)) return true;
  const int d = sem.Direction & 1;
  const TSlSectData& sect = sim.AreaData.SlSects[s];
  if (sect.Switch[d] > 0) Notify(sim, "Светофор на секции со стрелкой " + FormatHexNumber(s));
  const int u = sect.Straight[d];
  return u == 0 || SectionOccupied(sim, u);
}

}  // namespace

void UpdateSignals(SimulationData& sim) {
  const int signals = SignalCount(sim);
  for (int i = 0; i < signals; ++i) {
    const bool closed = SignalMustClose(sim, i);
    if (closed != sim.State.Semaphores[i].CLOSED) {
      sim.State.Semaphores[i].CLOSED = closed;
      UpdateSignalLamp(sim, i);
    }
  }

  for (int i = 0; i < signals; ++i) {
    const TSemaphoreData& sem = sim.AreaData.Semaphores[i];
    TSemaphoreLightData& light = sim.State.Semaphores[i];
    const int t = light.SECT_NEXT;
    if (t == 0) {
      light.NEXT_WARNING = true;
      light.SIDE_WARNING = false;
      continue;
    }
    const bool stationSignal = sem.Kind == 1 || sem.Kind == 3;
    if (stationSignal && ValidSection(sim, t) && sim.AreaData.SlSects[t].Spare != 0) {
      // A long single-block peregon: the next signal is too far to be announced.
      light.NEXT_WARNING = false;
      light.SIDE_WARNING = false;
      continue;
    }
    const int n = SignalOfSection(sim.AreaData, t, light.DIR_NEXT);
    light.NEXT_WARNING = n >= 0 && n < signals ? sim.State.Semaphores[n].CLOSED : true;
    light.SIDE_WARNING = light.SIDE_SWITCHES > 0;
  }
}

void UpdateSignalLamp(SimulationData& sim, int i) {
  const int signals = SignalCount(sim);
  if (i < 0 || i >= signals) return;
  const TAreaData& area = sim.AreaData;
  const TSemaphoreData& sem = area.Semaphores[i];
  TSemaphoreLightData& light = sim.State.Semaphores[i];

  int lamp = sem.Lamp;
  bool closed = light.CLOSED;
  int t = light.SECT_NEXT;
  if (t <= 0) {
    // The first update after a release switches off the lamp the route had lit.
    t = light.PREV_SECT_NEXT;
    if (t > 0) light.PREV_SECT_NEXT = 0;
  }
  if (t > 0 && (sem.Kind == 1 || sem.Kind == 3) && sem.LP >= 0 &&
      sem.LP < static_cast<int>(area.Puts.size())) {
    const int n = SectionSemaphore(area, t, light.DIR_NEXT);
    if (n >= 0) {
      const int g = FindThroatBySignal(area, area.Puts[sem.LP].Code, n);
      // A route towards a numbered throat shows on the signal's second lamp.
      if (g >= 0 && g < static_cast<int>(area.GorlStanzs.size()) && area.GorlStanzs[g].Number > 0 &&
          ValidLamp(sim, lamp + 1))
        lamp += 1;
    }
  }
  if (!ValidLamp(sim, lamp)) return;
  if (closed) {
    // A lamp shared by several signals stays lit while one of them is open.
    for (int j = 0; j < signals && closed; ++j)
      if (area.Semaphores[j].Lamp == lamp && !sim.State.Semaphores[j].CLOSED) closed = false;
  }
  sim.State.Lamps[lamp].GREEN = !closed;
}

TLampSet SectionLampSet(const SimulationData& sim, int s) {
  const TAreaData& area = sim.AreaData;
  TLampSet set;
  if (s >= 0 && s < static_cast<int>(area.Sekzs.size()) && area.Sekzs[s] > 0) {
    set.Lamps[0] = area.Sekzs[s];
    return set;
  }
  if (s >= 0 && s < static_cast<int>(area.SlSects.size())) {
    const TSlSectData& sect = area.SlSects[s];
    const int w = sect.Switch[1] > 0 ? sect.Switch[1] : sect.Switch[0];
    if (w > 0) {
      GetSwitchLamps(area, w, detail::SwitchReverse(sim, w), set.Lamps);
      return set;
    }
  }
  if (s <= 0) return set;
  for (const TPutData& lp : area.Puts) {
    for (const TTrackData& track : lp.Tracks) {
      if (track.Section != s) continue;
      // Only five lamps fit in a set: a longer track shows on its first five.
      const int count = std::clamp(track.LampCount, 0, kLampSetSize);
      if (track.FirstLamp > 0)
        for (int k = 0; k < count; ++k) set.Lamps[k] = track.FirstLamp + k;
      set.OnTrack = true;
      return set;
    }
  }
  const int sectCount = static_cast<int>(area.SlSects.size());
  for (const TGraphPeregonData& per : area.GraphPeregons) {
    int sect = per.EndSection[0];
    for (int lamp = per.BlockLamps[0], steps = 0;
         lamp <= per.BlockLamps[1] && sect > 0 && sect < sectCount && steps < sectCount;
         ++lamp, ++steps) {
      if (sect == s) {
        set.Lamps[0] = lamp;
        return set;
      }
      sect = area.SlSects[sect].Straight[1];
    }
  }
  return set;
}

void ApplyLampMode(SimulationData& sim, const std::array<int, 5>& lamps, int mode) {
  for (int lamp : lamps) {
    if (!ValidLamp(sim, lamp)) continue;
    TLampControlData& l = sim.State.Lamps[lamp];
    switch (mode) {
      case 0:
        l.YELLOW = false;
        break;
      case 1:
        l.YELLOW = true;
        l.YELLOW_BLINK = false;
        break;
      case 2:
        l.YELLOW_BLINK = false;
        break;
      case 3:
        l.YELLOW_BLINK = true;
        break;
      default:
        break;
    }
  }
}

}  // namespace traklin
