// What faults do to trains: breakdowns, speed restrictions and permissions to pass a closed
// signal held by a fault.
#pragma once

#include <string>
#include <vector>

#include "state/faults.h"
#include "state/simulation_data.h"

namespace traklin {

/// The speed a train under a permission keeps until its head reaches the next signal or its
/// stop, km/h.
inline constexpr int kPermitSpeed = 20;
/// How long a train stands before a closed signal before the automatic dispatcher lets it past.
inline constexpr TDateTime kAutoPermitWait = 2.0 / 1440.0;

/// Train i has broken down and not yet been mended.
bool TrainBrokenDown(const SimulationData& sim, int i);
/// Train i, broken down, stands: the nearest station reports it once ("Поезд № …
/// остановился: неисправность локомотива", on a peregon "… остановился на перегоне A – B:
/// неисправность локомотива") and the graph marks the stop.
void BreakdownStopped(SimulationData& sim, int i);
/// The lowest speed (km/h) faults allow train i now: 0 while it is broken down, kPermitSpeed
/// under a permission, the restriction of a section it occupies; -1 when none applies.
int FaultSpeedLimit(const SimulationData& sim, int i);

/// The permission train i holds, or nullptr.
const TPermitData* TrainPermit(const SimulationData& sim, int i);
/// The closed signal train i may pass under its permission; -1 when none, or while a train
/// stands in the sections up to the next signal.
int PermittedSignal(const SimulationData& sim, int i);
/// The head of train i passes signal g (closed: `closed`). Returns whether a permission lets
/// it pass closed; a permission ends when the head passes the next signal, or is moot when the
/// signal opened meanwhile.
bool PassUnderPermit(SimulationData& sim, int i, int g, bool closed);
/// Train i has come to rest: a permission whose signal it has passed ends (its stop, or the
/// next signal).
void EndPermitAtRest(SimulationData& sim, int i);

/// The closed signal train i stands before (at rest, on the signal's section); -1 when none.
int ClosedSignalAhead(const SimulationData& sim, int i);
/// How long train i has stood, from its speed log (days); 0 while it moves.
TDateTime StandingFor(const SimulationData& sim, int i);
/// Why train i may not be let past the closed signal it stands before (English); empty when it
/// may: the signal must be held by a fault, no train may stand in the sections up to the next
/// signal, a single line must be given to the station (its departure commit, or a way out set
/// with it), and a route must be set beyond a station's signal.
std::string PermitRefusal(SimulationData& sim, int i);
/// Lets train `number` past the closed signal it stands before when PermitRefusal allows;
/// returns the reason it was refused, empty when given. Tells OnFaultEvent ("permit").
std::string PermitTrain(SimulationData& sim, int number);

/// A train standing before a closed signal, as the dispatcher's list shows it.
struct HeldTrain {
  int Train = -1;
  int Signal = -1;
  bool HeldByFault = false;  ///< a fault holds the signal closed: a permission may be asked
  std::string Place;  ///< "Поезд № 2001 у светофора Н3 станции Сосновка"
};
/// The trains standing before closed signals, in train order.
std::vector<HeldTrain> TrainsBeforeClosedSignals(SimulationData& sim);

}  // namespace traklin
