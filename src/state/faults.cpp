// Faults an instructor sets: what each does to the interlocking, when it ends, what shows it.
#include "state/faults.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "area/area_queries.h"
#include "area/object_names.h"
#include "state/interlocking.h"
#include "state/interlocking_detail.h"

namespace traklin {

using detail::SwitchReverse;
using detail::ValidRoute;
using detail::ValidSection;

namespace {

// The clock is a sum of half seconds: a fault due at a step's clock ends in that step.
constexpr TDateTime kSlack = 0.0005 / 86400.0;

void Tell(SimulationData& sim, const char* event, const TFaultData& fault) {
  if (!sim.OnFaultEvent) return;
  FaultEvent e;
  e.Event = event;
  e.Fault = fault;
  sim.OnFaultEvent(e);
}

int LPCodeOf(const TAreaData& area, int lp) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size()) ? area.Puts[lp].Code : 0;
}

bool ValidTrack(const TAreaData& area, int lp, int track) {
  return lp >= 0 && lp < static_cast<int>(area.Puts.size()) && track >= 0 &&
         track < static_cast<int>(area.Puts[lp].Tracks.size());
}

/// A real train on section s (either half).
bool TrainOn(const SimulationData& sim, int s) {
  if (s < 1 || s >= static_cast<int>(sim.State.Sects.size())) return false;
  const TSectionSchuntData& x = sim.State.Sects[s];
  const int trains = static_cast<int>(sim.State.Trains.size());
  return (x.TRN_EVEN >= 0 && x.TRN_EVEN < trains) || (x.TRN_ODD >= 0 && x.TRN_ODD < trains);
}

/// The RED flag of the lamps that show section s.
void ShowSectionRed(SimulationData& sim, int s, bool red) {
  for (const int lamp : SectionLampSet(sim, s).Lamps)
    if (lamp > 0 && lamp < static_cast<int>(sim.State.Lamps.size()))
      sim.State.Lamps[lamp].RED = red;
}

/// What an ended fault leaves behind: a section shows its real occupancy again.
void Restore(SimulationData& sim, const TFaultData& f) {
  if (f.KIND == static_cast<std::uint8_t>(FaultKind::Section) && ValidSection(sim, f.OBJECT))
    ShowSectionRed(sim, f.OBJECT, TrainOn(sim, f.OBJECT));
}

/// The section after s in direction dir along its switch as it lies; 0 at the end of track.
int NextAsLies(const SimulationData& sim, int& dir, int s) {
  if (!ValidSection(sim, s)) return 0;
  const TSlSectData& d = sim.AreaData.SlSects[s];
  try {
    return NextSection(sim.AreaData, dir, s,
                       d.Switch[dir] > 0 && SwitchReverse(sim, d.Switch[dir]));
  } catch (const std::runtime_error&) {
    return 0;
  }
}

void AddLamps(std::vector<int>& list, const std::array<int, 5>& lamps) {
  for (const int lamp : lamps)
    if (lamp > 0 && std::find(list.begin(), list.end(), lamp) == list.end()) list.push_back(lamp);
}

}  // namespace

const char* FaultKindWord(FaultKind kind) {
  switch (kind) {
    case FaultKind::Train:
      return "train";
    case FaultKind::Switch:
      return "switch";
    case FaultKind::Section:
      return "section";
    case FaultKind::Signal:
      return "signal";
    case FaultKind::Limit:
      return "limit";
  }
  return "?";
}

std::optional<FaultKind> FaultKindOfWord(const std::string& word) {
  for (int k = 0; k < kFaultKinds; ++k)
    if (word == FaultKindWord(static_cast<FaultKind>(k))) return static_cast<FaultKind>(k);
  return std::nullopt;
}

bool FaultFitsDistrict(const TAreaData& area, const TFaultData& f) {
  const bool station = f.LP >= 0 && f.LP < static_cast<int>(area.Puts.size());
  switch (static_cast<FaultKind>(f.KIND)) {
    case FaultKind::Train:
      return f.OBJECT > 0;
    case FaultKind::Switch:
      return station && f.OBJECT > 0 && f.OBJECT < static_cast<int>(area.Strels.size()) &&
             area.Strels[f.OBJECT].Section > 0;
    case FaultKind::Section:
      return (station || f.LP == -1) && f.OBJECT > 0 &&
             f.OBJECT < static_cast<int>(area.SlSects.size());
    case FaultKind::Signal:
      return station && f.OBJECT >= 0 && f.OBJECT < static_cast<int>(area.Semaphores.size());
    case FaultKind::Limit:
      if (f.LP == -1)
        return f.OBJECT >= 0 && f.OBJECT < static_cast<int>(area.GraphPeregons.size());
      return ValidTrack(area, f.LP, f.OBJECT);
  }
  return false;
}

bool SameFaultObject(const TFaultData& a, const TFaultData& b) {
  if (a.KIND != b.KIND || a.OBJECT != b.OBJECT) return false;
  const auto kind = static_cast<FaultKind>(a.KIND);
  // A section, a signal or a switch is one whatever station the line named it at.
  return kind != FaultKind::Limit || a.LP == b.LP;
}

std::string FaultObjectText(const TAreaData& area, const TFaultData& f) {
  if (!FaultFitsDistrict(area, f)) return "?";
  const std::string code = std::to_string(LPCodeOf(area, f.LP));
  switch (static_cast<FaultKind>(f.KIND)) {
    case FaultKind::Train:
      return std::to_string(f.OBJECT);
    case FaultKind::Switch:
      return code + " " + std::to_string(f.OBJECT);
    case FaultKind::Section:
      return f.LP < 0 ? SectionName(area, f.OBJECT) : code + " " + SectionName(area, f.OBJECT);
    case FaultKind::Signal:
      return code + " " + SignalName(area, f.OBJECT);
    case FaultKind::Limit:
      if (f.LP < 0) return std::to_string(f.OBJECT + 1);
      return code + ":" + FormatTrackName(area.Puts[f.LP].Tracks[f.OBJECT].Number);
  }
  return "?";
}

std::string FaultDescription(const TAreaData& area, const TFaultData& f) {
  if (!FaultFitsDistrict(area, f)) return "?";
  const std::string station = StationTitle(area, f.LP);
  switch (static_cast<FaultKind>(f.KIND)) {
    case FaultKind::Train:
      return "Поезд № " + std::to_string(f.OBJECT) + ": неисправность локомотива";
    case FaultKind::Switch:
      return "Стрелка № " + std::to_string(f.OBJECT) + " станции " + station + " не переводится";
    case FaultKind::Section:
      if (f.LP < 0) {
        const auto block = SectionPeregonBlock(area, f.OBJECT);
        return "Ложная занятость блок-участка " + SectionName(area, f.OBJECT) + " перегона " +
               PeregonTitle(area, block ? block->first : -1);
      }
      return "Ложная занятость секции " + SectionName(area, f.OBJECT) + " станции " + station;
    case FaultKind::Signal:
      return "Светофор " + SignalName(area, f.OBJECT) + " станции " + station + " не открывается";
    case FaultKind::Limit:
      if (f.LP < 0)
        return "Ограничение скорости " + std::to_string(f.KMH) + " км/ч на перегоне " +
               PeregonTitle(area, f.OBJECT);
      return "Ограничение скорости " + std::to_string(f.KMH) + " км/ч на " +
             FormatTrackName(area.Puts[f.LP].Tracks[f.OBJECT].Number) + " пути станции " + station;
  }
  return "?";
}

// ---------------------------------------------------------------------------
// Setting and ending

std::string SetFault(SimulationData& sim, TFaultData fault) {
  if (fault.KIND >= kFaultKinds || !FaultFitsDistrict(sim.AreaData, fault))
    return "no such object in the district";
  if (fault.KIND == static_cast<std::uint8_t>(FaultKind::Limit) && fault.KMH <= 0)
    return "a restriction needs its speed";
  if (fault.KIND == static_cast<std::uint8_t>(FaultKind::Train)) {
    const bool present = std::any_of(
        sim.State.Trains.begin(), sim.State.Trains.end(),
        [&](const TTrainData& t) { return t.NUMBER == fault.OBJECT && t.HEAD.SECT_IDX > 0; });
    if (!present) return "no train " + std::to_string(fault.OBJECT) + " in the district";
  }
  fault.SINCE = sim.State.ClockTime;
  fault.REPORTED = false;
  TFaultsData& faults = sim.State.Faults;
  const auto same = std::find_if(faults.begin(), faults.end(),
                                 [&](const TFaultData& f) { return SameFaultObject(f, fault); });
  if (same != faults.end())
    *same = fault;
  else
    faults.push_back(fault);
  IndexFaults(sim.AreaData, sim.State);
  if (fault.KIND == static_cast<std::uint8_t>(FaultKind::Section))
    ShowSectionRed(sim, fault.OBJECT, true);
  Tell(sim, "fault", fault);
  return {};
}

std::string ClearFault(SimulationData& sim, const TFaultData& object) {
  TFaultsData& faults = sim.State.Faults;
  const auto at = std::find_if(faults.begin(), faults.end(),
                               [&](const TFaultData& f) { return SameFaultObject(f, object); });
  if (at == faults.end()) return "no such fault is in force";
  const TFaultData ended = *at;
  faults.erase(at);
  IndexFaults(sim.AreaData, sim.State);
  Restore(sim, ended);
  Tell(sim, "cleared", ended);
  return {};
}

void UpdateFaults(SimulationData& sim) {
  if (!AnyFaults(sim)) return;
  TStateData& st = sim.State;
  std::vector<TFaultData> ended;
  for (std::size_t k = 0; k < st.Faults.size();) {
    const TFaultData& f = st.Faults[k];
    if (f.UNTIL != 0 && f.UNTIL <= st.ClockTime + kSlack) {
      ended.push_back(f);
      st.Faults.erase(st.Faults.begin() + static_cast<std::ptrdiff_t>(k));
    } else {
      ++k;
    }
  }
  if (!ended.empty()) IndexFaults(sim.AreaData, st);
  for (const TFaultData& f : ended) {
    Restore(sim, f);
    Tell(sim, "cleared", f);
  }
  // Motion frees a section's lamps when a train leaves it; a false occupancy stays red.
  for (const TFaultData& f : st.Faults)
    if (f.KIND == static_cast<std::uint8_t>(FaultKind::Section) && ValidSection(sim, f.OBJECT))
      ShowSectionRed(sim, f.OBJECT, true);
  std::erase_if(st.Permits, [&](const TPermitData& p) {
    return std::none_of(st.Trains.begin(), st.Trains.end(), [&](const TTrainData& t) {
      return t.NUMBER == p.NUMBER && t.HEAD.SECT_IDX > 0;
    });
  });
}

void IndexFaults(const TAreaData& area, TStateData& state) {
  std::vector<int>& limits = state.LimitBySection;
  limits.clear();
  for (const TFaultData& f : state.Faults) {
    if (f.KIND != static_cast<std::uint8_t>(FaultKind::Limit) || !FaultFitsDistrict(area, f))
      continue;
    if (limits.empty()) limits.assign(area.SlSects.size(), 0);
    std::vector<int> sections;
    if (f.LP < 0)
      sections = PeregonSections(area, f.OBJECT);
    else
      sections.push_back(area.Puts[f.LP].Tracks[f.OBJECT].Section);
    for (const int s : sections)
      if (s > 0 && s < static_cast<int>(limits.size()))
        limits[s] = limits[s] == 0 ? f.KMH : std::min(limits[s], f.KMH);
  }
}

// ---------------------------------------------------------------------------
// Queries

bool SectionFalselyOccupied(const SimulationData& sim, int s) {
  for (const TFaultData& f : sim.State.Faults)
    if (f.KIND == static_cast<std::uint8_t>(FaultKind::Section) && f.OBJECT == s) return true;
  return false;
}

bool SwitchFailed(const SimulationData& sim, int w) {
  for (const TFaultData& f : sim.State.Faults)
    if (f.KIND == static_cast<std::uint8_t>(FaultKind::Switch) && f.OBJECT == w) return true;
  return false;
}

bool SignalFailed(const SimulationData& sim, int g) {
  for (const TFaultData& f : sim.State.Faults)
    if (f.KIND == static_cast<std::uint8_t>(FaultKind::Signal) && f.OBJECT == g) return true;
  return false;
}

const TFaultData* TrainFault(const SimulationData& sim, int number) {
  for (const TFaultData& f : sim.State.Faults)
    if (f.KIND == static_cast<std::uint8_t>(FaultKind::Train) && f.OBJECT == number) return &f;
  return nullptr;
}

std::vector<int> SectionsBeyondSignal(const SimulationData& sim, int g) {
  std::vector<int> list;
  const TAreaData& area = sim.AreaData;
  if (g < 0 || g >= static_cast<int>(area.Semaphores.size()) ||
      g >= static_cast<int>(sim.State.Semaphores.size()))
    return list;
  const int t = sim.State.Semaphores[g].SECT_NEXT;
  if (!ValidSection(sim, t)) return list;
  int dir = area.Semaphores[g].Direction & 1;
  int s = area.Semaphores[g].Section;
  // A route runs over a few dozen sections at most.
  for (int n = 0; n < 64; ++n) {
    s = NextAsLies(sim, dir, s);
    if (s <= 0) break;
    list.push_back(s);
    if (s == t) break;
  }
  return list;
}

bool FalseOccupancyBeyond(const SimulationData& sim, int g) {
  if (std::none_of(sim.State.Faults.begin(), sim.State.Faults.end(), [](const TFaultData& f) {
        return f.KIND == static_cast<std::uint8_t>(FaultKind::Section);
      }))
    return false;
  for (const int s : SectionsBeyondSignal(sim, g))
    if (SectionFalselyOccupied(sim, s)) return true;
  return false;
}

bool SignalHeldByFault(const SimulationData& sim, int g) {
  if (g < 0 || g >= static_cast<int>(sim.AreaData.Semaphores.size()) ||
      g >= static_cast<int>(sim.State.Semaphores.size()) || !sim.State.Semaphores[g].CLOSED)
    return false;
  return SignalFailed(sim, g) || FalseOccupancyBeyond(sim, g);
}

bool RouteBlockedByFault(const SimulationData& sim, int lp, int r, int* failedSwitch) {
  if (failedSwitch != nullptr) *failedSwitch = 0;
  if (sim.State.Faults.empty() || !ValidRoute(sim, lp, r)) return false;
  const TLPRoutesData& table = sim.AreaData.TrainRoutes[lp];
  const TTrainRouteData& rt = table.Routes[r];
  const int entries = std::min(table.SwitchCount, kMaxRouteSwitches);
  for (int k = 0; k < entries; ++k) {
    const int w = rt.SwitchNumber[k];
    if (w <= 0 || !SwitchFailed(sim, w)) continue;
    if (SwitchReverse(sim, w) != (rt.SwitchMinus[k] != 0)) {
      if (failedSwitch != nullptr) *failedSwitch = w;
      return true;
    }
  }
  // The route runs through its middle sections; it leads onto its last (a track, a line).
  for (int i = 1; i + 1 < kMaxRouteSections && rt.Sections[i] != 0 && rt.Sections[i + 1] != 0; ++i)
    if (SectionFalselyOccupied(sim, rt.Sections[i])) return true;
  return false;
}

bool ChainBlockedByFault(const SimulationData& sim, int lp, int chain) {
  if (sim.State.Faults.empty() || lp < 0 || lp >= static_cast<int>(sim.AreaData.TrainRoutes.size()))
    return false;
  const auto& chains = sim.AreaData.TrainRoutes[lp].Chains;
  if (chain < 0 || chain >= static_cast<int>(chains.size())) return false;
  for (int k = 0; k < kMaxChainRoutes && chains[chain].Routes[k] >= 0; ++k)
    if (RouteBlockedByFault(sim, lp, chains[chain].Routes[k])) return true;
  return false;
}

int FindBestRouteNow(const SimulationData& sim, int lp, int from, int to) {
  return FindBestRouteNow(sim, lp, from, to, FindBestRoute(sim.AreaData, lp, from, to));
}

int FindBestRouteNow(const SimulationData& sim, int lp, int from, int to, int best) {
  const TAreaData& area = sim.AreaData;
  if (sim.State.Faults.empty() || best < 0 || !ChainBlockedByFault(sim, lp, best)) return best;
  RouteQuality quality = InitRouteQuality();
  int chosen = -1;
  const std::vector<TChainData>& chains = area.TrainRoutes[lp].Chains;
  for (int i = 0; i < static_cast<int>(chains.size()); ++i) {
    if (chains[i].StartSection != from || chains[i].EndSection != to) continue;
    RouteQuality q;
    if (!RateChain(area, lp, chains[i], q) || ChainBlockedByFault(sim, lp, i)) continue;
    if (CompareRouteQuality(quality, q) < 0) {
      quality = q;
      chosen = i;
    }
  }
  return chosen >= 0 ? chosen : best;
}

void ReportFailedSwitch(SimulationData& sim, int lp, int w) {
  for (TFaultData& f : sim.State.Faults) {
    if (f.KIND != static_cast<std::uint8_t>(FaultKind::Switch) || f.OBJECT != w) continue;
    if (f.REPORTED) return;
    f.REPORTED = true;
    const int station = f.LP >= 0 ? f.LP : lp;
    if (sim.Console != nullptr && station >= 0 &&
        station < static_cast<int>(sim.AreaData.Puts.size()))
      sim.Console->InformDispatcher(DSPName(sim.AreaData, station),
                                    "Стрелка № " + std::to_string(w) + " станции " +
                                        StationTitle(sim.AreaData, station) + " не переводится",
                                    sim.AreaData.Puts[station].Ring);
    return;
  }
}

FaultLamps FaultLampsOf(const SimulationData& sim) {
  FaultLamps lamps;
  const TAreaData& area = sim.AreaData;
  for (const TFaultData& f : sim.State.Faults) {
    if (!FaultFitsDistrict(area, f)) continue;
    switch (static_cast<FaultKind>(f.KIND)) {
      case FaultKind::Section:
        AddLamps(lamps.FalseOccupancy, SectionLampSet(sim, f.OBJECT).Lamps);
        break;
      case FaultKind::Switch:
        AddLamps(lamps.FailedSwitches, SectionLampSet(sim, area.Strels[f.OBJECT].Section).Lamps);
        break;
      case FaultKind::Signal:
        AddLamps(lamps.FailedSignals, {area.Semaphores[f.OBJECT].Lamp, 0, 0, 0, 0});
        break;
      case FaultKind::Limit:
      case FaultKind::Train:
        break;
    }
  }
  for (int s = 1; s < static_cast<int>(sim.State.LimitBySection.size()); ++s)
    if (sim.State.LimitBySection[s] > 0) AddLamps(lamps.Restricted, SectionLampSet(sim, s).Lamps);
  for (std::vector<int>* list :
       {&lamps.FalseOccupancy, &lamps.FailedSwitches, &lamps.FailedSignals, &lamps.Restricted})
    std::sort(list->begin(), list->end());
  return lamps;
}

}  // namespace traklin
