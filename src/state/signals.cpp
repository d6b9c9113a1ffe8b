// Signal aspects, the lamps of signals, and the lamps that show a section on the panel.
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

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

/// The caution aspects of signal i, from its route and the aspect of the signal it leads to.
void UpdateSignalWarnings(SimulationData& sim, int i, int signals) {
  const TSemaphoreData& sem = sim.AreaData.Semaphores[i];
  TSemaphoreLightData& light = sim.State.Semaphores[i];
  const int t = light.SECT_NEXT;
  if (t == 0) {
    light.NEXT_WARNING = true;
    light.SIDE_WARNING = false;
    return;
  }
  const bool stationSignal = sem.Kind == 1 || sem.Kind == 3;
  if (stationSignal && ValidSection(sim, t) && sim.AreaData.SlSects[t].Spare != 0) {
    // A long single-block peregon: the next signal is too far to be announced.
    light.NEXT_WARNING = false;
    light.SIDE_WARNING = false;
    return;
  }
  const int n = SignalOfSection(sim.AreaData, t, light.DIR_NEXT);
  light.NEXT_WARNING = n >= 0 && n < signals ? sim.State.Semaphores[n].CLOSED : true;
  light.SIDE_WARNING = light.SIDE_SWITCHES > 0;
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
  for (int i = 0; i < signals; ++i) UpdateSignalWarnings(sim, i, signals);
}

namespace {

void Link(std::vector<int>& head, std::vector<int>& link, int key, int i) {
  link[i] = head[key];
  head[key] = i;
}

void Unlink(std::vector<int>& head, std::vector<int>& link, int key, int i) {
  for (int* p = &head[key]; *p >= 0; p = &link[*p]) {
    if (*p == i) {
      *p = link[i];
      link[i] = -1;
      return;
    }
  }
}

template <typename F>
void ForEachListed(const std::vector<int>& head, const std::vector<int>& link, int key, F f) {
  for (int i = head[key]; i >= 0; i = link[i]) f(i);
}

int SectionSlots(const SimulationData& sim) {
  return std::min(static_cast<int>(sim.AreaData.SlSects.size()),
                  static_cast<int>(sim.State.Sects.size()));
}

/// Builds the lists for the state as it is and forgets the marks.
void RebuildSignalLists(SimulationData& sim) {
  TSignalChanges& c = sim.Changes.Signals;
  const TAreaData& area = sim.AreaData;
  const int sects = SectionSlots(sim);
  const int signals = SignalCount(sim);
  c.SectionMarked.assign(static_cast<std::size_t>(sects), 0);
  c.Sections.clear();
  c.Sections.reserve(static_cast<std::size_t>(sects));
  c.SignalMarked.assign(static_cast<std::size_t>(signals), 0);
  c.Signals.clear();
  c.Signals.reserve(static_cast<std::size_t>(signals));
  c.BeyondHead.assign(static_cast<std::size_t>(sects), -1);
  c.BeyondLink.assign(static_cast<std::size_t>(signals), -1);
  c.NextHead.assign(static_cast<std::size_t>(sects), -1);
  c.NextLink.assign(static_cast<std::size_t>(signals), -1);
  c.LinkedAt.assign(static_cast<std::size_t>(signals), 0);
  c.OnHead.assign(static_cast<std::size_t>(signals), -1);
  c.OnLink.clear();
  c.OnSection.clear();
  for (int i = 0; i < signals; ++i) {
    const int s = area.Semaphores[i].Section;
    if (s >= 1 && s < sects) {
      const int u = area.SlSects[s].Straight[area.Semaphores[i].Direction & 1];
      if (u >= 1 && u < sects) Link(c.BeyondHead, c.BeyondLink, u, i);
    }
    const int t = sim.State.Semaphores[i].SECT_NEXT;
    if (t >= 1 && t < sects) {
      Link(c.NextHead, c.NextLink, t, i);
      c.LinkedAt[i] = t;
    }
  }
  // The sections whose end signal a signal is (what a signal leading there announces).
  for (int x = 1; x < sects; ++x) {
    for (int d = 0; d < 2; ++d) {
      const int n = SignalOfSection(area, x, d);
      if (n < 0 || n >= signals) continue;
      c.OnSection.push_back(x);
      c.OnLink.push_back(c.OnHead[n]);
      c.OnHead[n] = static_cast<int>(c.OnSection.size()) - 1;
    }
  }
  c.SectsData = sim.State.Sects.data();
  c.SignalsData = sim.State.Semaphores.data();
  c.All = false;
}

/// Notes index k once in `list`; one out of range asks for a pass over every signal.
void Mark(TSignalChanges& c, std::vector<std::uint8_t>& marked, std::vector<int>& list, int k) {
  if (c.All) return;
  if (k < 0 || k >= static_cast<int>(marked.size())) {
    c.All = true;
    return;
  }
  if (marked[k]) return;
  marked[k] = 1;
  list.push_back(k);
}

void AddSignal(TSignalChanges& c, int i) {
  Mark(c, c.SignalMarked, c.Signals, i);
}

bool ListsFit(const SimulationData& sim) {
  const TSignalChanges& c = sim.Changes.Signals;
  return !c.All && c.SectsData == sim.State.Sects.data() &&
         c.SignalsData == sim.State.Semaphores.data() &&
         static_cast<int>(c.SectionMarked.size()) == SectionSlots(sim) &&
         static_cast<int>(c.SignalMarked.size()) == SignalCount(sim);
}

/// Recomputes the signals that read what was marked, in the order of a full pass.
void UpdateMarkedSignals(SimulationData& sim) {
  TSignalChanges& c = sim.Changes.Signals;
  const int signals = SignalCount(sim);
  for (int g : c.Signals) {
    const int t = sim.State.Semaphores[g].SECT_NEXT;
    const int now = t >= 1 && t < static_cast<int>(c.NextHead.size()) ? t : 0;
    if (c.LinkedAt[g] == now) continue;
    if (c.LinkedAt[g] > 0) Unlink(c.NextHead, c.NextLink, c.LinkedAt[g], g);
    if (now > 0) Link(c.NextHead, c.NextLink, now, g);
    c.LinkedAt[g] = now;
  }
  for (int x : c.Sections) {
    ForEachListed(c.BeyondHead, c.BeyondLink, x, [&](int i) { AddSignal(c, i); });
    ForEachListed(c.NextHead, c.NextLink, x, [&](int i) { AddSignal(c, i); });
  }
  // Signals sharing a lamp: the lamp follows the signals in index order, as in a full pass.
  std::sort(c.Signals.begin(), c.Signals.end());
  const std::size_t recomputed = c.Signals.size();
  for (std::size_t k = 0; k < recomputed; ++k) {
    const int i = c.Signals[k];
    const bool closed = SignalMustClose(sim, i);
    if (closed == sim.State.Semaphores[i].CLOSED) continue;
    sim.State.Semaphores[i].CLOSED = closed;
    UpdateSignalLamp(sim, i);
    for (int e = c.OnHead[i]; e >= 0; e = c.OnLink[static_cast<std::size_t>(e)])
      ForEachListed(c.NextHead, c.NextLink, c.OnSection[static_cast<std::size_t>(e)],
                    [&](int j) { AddSignal(c, j); });
  }
  for (int i : c.Signals) {
    UpdateSignalWarnings(sim, i, signals);
    c.SignalMarked[i] = 0;
  }
  c.Signals.clear();
  for (int x : c.Sections) c.SectionMarked[x] = 0;
  c.Sections.clear();
}

std::string SignalName(const SimulationData& sim, int i) {
  const TSemaphoreData& sem = sim.AreaData.Semaphores[i];
  return std::to_string(i) + " (on section " + FormatHexNumber(sem.Section) + ")";
}

/// Check mode: the marked update beside a full pass over the same state.
void CheckedUpdate(SimulationData& sim) {
  const std::vector<TSemaphoreLightData> before = sim.State.Semaphores;
  const std::vector<TLampControlData> lampsBefore = sim.State.Lamps;
  UpdateMarkedSignals(sim);
  const std::vector<TSemaphoreLightData> marked = sim.State.Semaphores;
  const std::vector<TLampControlData> lampsMarked = sim.State.Lamps;
  sim.State.Semaphores = before;
  sim.State.Lamps = lampsBefore;
  UpdateSignals(sim);
  // The full pass wrote into the same buffers, so the lists still fit.
  for (std::size_t i = 0; i < marked.size(); ++i) {
    const TSemaphoreLightData& a = marked[i];
    const TSemaphoreLightData& b = sim.State.Semaphores[i];
    const char* field = a.CLOSED != b.CLOSED                   ? "CLOSED"
                        : a.NEXT_WARNING != b.NEXT_WARNING     ? "NEXT_WARNING"
                        : a.SIDE_WARNING != b.SIDE_WARNING     ? "SIDE_WARNING"
                        : a.PREV_SECT_NEXT != b.PREV_SECT_NEXT ? "PREV_SECT_NEXT"
                                                               : nullptr;
    if (field != nullptr)
      throw CheckMismatch("incremental check: signal " + SignalName(sim, static_cast<int>(i)) +
                          " " + field + " is " + std::to_string(a.CLOSED) + "/" +
                          std::to_string(a.NEXT_WARNING) + "/" + std::to_string(a.SIDE_WARNING) +
                          ", a full pass gives " + std::to_string(b.CLOSED) + "/" +
                          std::to_string(b.NEXT_WARNING) + "/" + std::to_string(b.SIDE_WARNING));
  }
  for (std::size_t l = 0; l < lampsMarked.size(); ++l)
    if (lampsMarked[l].GREEN != sim.State.Lamps[l].GREEN)
      throw CheckMismatch("incremental check: lamp " + std::to_string(l) + " GREEN is " +
                          std::to_string(lampsMarked[l].GREEN) + ", a full pass gives " +
                          std::to_string(sim.State.Lamps[l].GREEN));
}

}  // namespace

void UpdateSignalsIncremental(SimulationData& sim) {
  TSignalChanges& c = sim.Changes.Signals;
  const bool faults = !sim.State.Faults.empty();
  // A fault reads more than the lists know of; the pass after it ends sees everything again.
  if (faults || c.FaultsSeen || !ListsFit(sim)) {
    UpdateSignals(sim);
    RebuildSignalLists(sim);
    c.FaultsSeen = faults;
    return;
  }
  if (sim.Changes.Check)
    CheckedUpdate(sim);
  else
    UpdateMarkedSignals(sim);
}

void MarkSectionChanged(SimulationData& sim, int s) {
  ++sim.Changes.Interlocking;
  TSignalChanges& c = sim.Changes.Signals;
  Mark(c, c.SectionMarked, c.Sections, s);
  TThroatChanges& throats = sim.Changes.Throats;
  if (s >= 0 && static_cast<std::size_t>(s) + 1 < throats.Start.size())
    for (int k = throats.Start[s]; k < throats.Start[s + 1]; ++k)
      throats.Quiet[static_cast<std::size_t>(throats.Readers[k])] = 0;
}

void MarkSignalChanged(SimulationData& sim, int g) {
  TSignalChanges& c = sim.Changes.Signals;
  Mark(c, c.SignalMarked, c.Signals, g);
}

void ForgetStepChanges(SimulationData& sim) {
  const bool check = sim.Changes.Check;
  const std::uint64_t count = sim.Changes.Interlocking;
  sim.Changes = TStepChanges{};
  sim.Changes.Check = check;
  sim.Changes.Interlocking = count + 1;
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
  ApplyLampMode(sim, lamps.data(), lamps.size(), mode);
}

void ApplyLampMode(SimulationData& sim, const int* first, std::size_t count, int mode) {
  for (std::size_t k = 0; k < count; ++k) {
    const int lamp = first[k];
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
