// Faults an instructor sets: what each does to the interlocking, when it ends, what shows it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "state/simulation_data.h"

namespace traklin {

// A fault is a record of State.Faults (TFaultData). While none is set (and no permission is
// in force) every query below answers at once and the step runs as before.

/// "train", "switch", "section", "signal", "limit".
const char* FaultKindWord(FaultKind kind);
std::optional<FaultKind> FaultKindOfWord(const std::string& word);

/// The fault's object as a scenario line writes it after the kind (see area/object_names.h):
/// "2001", "6 5", "6 3", "2:1", "6 Н3", and for a restriction "2" or "7:I".
std::string FaultObjectText(const TAreaData& area, const TFaultData& fault);
/// What has failed, as the instructor's list shows it ("Стрелка № 5 станции Сосновка не
/// переводится").
std::string FaultDescription(const TAreaData& area, const TFaultData& fault);
/// The fault's object exists in the district (a restriction's speed is not checked).
bool FaultFitsDistrict(const TAreaData& area, const TFaultData& fault);
/// Both name the same object (a restriction: the same stretch).
bool SameFaultObject(const TFaultData& a, const TFaultData& b);

// ---------------------------------------------------------------------------
// Setting and ending

/// Sets a fault from now (SINCE becomes the clock), in place of one on the same object; the
/// reason it cannot be set (English), empty when it was. Tells OnFaultEvent ("fault").
std::string SetFault(SimulationData& sim, TFaultData fault);
/// Ends the fault on the object of `object` early; the reason when there is none. Tells
/// OnFaultEvent ("cleared").
std::string ClearFault(SimulationData& sim, const TFaultData& object);
/// Once per step, before the routes: ends the faults whose time is over (each told as
/// "cleared"), keeps the lamps of falsely occupied sections red, and drops the permissions of
/// trains no longer in the district. Does nothing while there are none.
void UpdateFaults(SimulationData& sim);
/// Derives State.LimitBySection from the faults (a load does it; setting and ending do it).
void IndexFaults(const TAreaData& area, TStateData& state);

// ---------------------------------------------------------------------------
// Queries

inline bool AnyFaults(const SimulationData& sim) {
  return !sim.State.Faults.empty() || !sim.State.Permits.empty();
}
/// Section s reads as occupied without a train on it.
bool SectionFalselyOccupied(const SimulationData& sim, int s);
/// Switch w will not throw.
bool SwitchFailed(const SimulationData& sim, int w);
/// Signal g will not open.
bool SignalFailed(const SimulationData& sim, int g);
/// The speed (km/h) a restriction allows on section s; 0 where none.
inline int RestrictionAt(const SimulationData& sim, int s) {
  const std::vector<int>& limits = sim.State.LimitBySection;
  return s > 0 && s < static_cast<int>(limits.size()) ? limits[s] : 0;
}
/// The breakdown of train `number` in force, or nullptr.
const TFaultData* TrainFault(const SimulationData& sim, int number);

/// The sections beyond signal g up to the section of the next signal its route or block leads
/// to (SECT_NEXT), along the switches as they lie; empty when it leads nowhere.
std::vector<int> SectionsBeyondSignal(const SimulationData& sim, int g);
/// A false occupancy beyond signal g, up to the next signal: it holds the signal closed.
bool FalseOccupancyBeyond(const SimulationData& sim, int g);
/// Signal g is closed and a fault holds it so: it will not open, or a section up to the next
/// signal reads occupied falsely (a real train there may hold it too).
bool SignalHeldByFault(const SimulationData& sim, int g);

/// Route r of LP lp cannot be set for a fault: a section it runs through (not its first or
/// last) reads occupied falsely, or it needs a switch thrown that will not throw (its number
/// in *failedSwitch, else 0).
bool RouteBlockedByFault(const SimulationData& sim, int lp, int r, int* failedSwitch = nullptr);
/// Some route of the chain is blocked by a fault.
bool ChainBlockedByFault(const SimulationData& sim, int lp, int chain);
/// FindBestRoute that passes over the chains a fault blocks while another chain between the
/// sections is not blocked.
int FindBestRouteNow(const SimulationData& sim, int lp, int from, int to);
/// The same, with best the district's best chain between the sections (FindBestRoute).
int FindBestRouteNow(const SimulationData& sim, int lp, int from, int to, int best);
/// The station tells the dispatcher, once per fault, that switch w will not throw for a route
/// of LP lp.
void ReportFailedSwitch(SimulationData& sim, int lp, int w);

/// The panel's lamps that faults concern, each list in lamp order without repeats.
struct FaultLamps {
  std::vector<int> FalseOccupancy;  ///< lamps of falsely occupied sections
  std::vector<int> FailedSwitches;  ///< lamps of the sections of switches that will not throw
  std::vector<int> FailedSignals;   ///< lamps of signals that will not open
  std::vector<int> Restricted;      ///< lamps of the sections under a speed restriction
};
FaultLamps FaultLampsOf(const SimulationData& sim);

}  // namespace traklin
