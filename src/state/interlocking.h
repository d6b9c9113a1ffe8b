// Interlocking: state initialisation, route assembly and release, signals, lamps, commits.
#pragma once

#include <array>
#include <vector>

#include "area/date_time.h"
#include "state/simulation_data.h"

namespace traklin {

/// Builds the dynamic state from the loaded and prepared district (clock at midnight of the
/// start date; every signal closed; every route free). The start date takes the month and day
/// of the computer's local date. The random generator is reseeded from the clock unless it
/// was seeded explicitly.
void StateInit(SimulationData& sim);
/// The same with a given "today" (only its month and day are used).
void StateInit(SimulationData& sim, const DateParts& today);

// ---------------------------------------------------------------------------
// Route operations; "now" is the clock. lp = LP index, r = route index within the LP.

/// Orders a free route; false when the precondition does not hold.
bool OrderRoute(SimulationData& sim, int lp, int r);
/// Orders the release of a set route; false when the precondition does not hold.
bool CancelRoute(SimulationData& sim, int lp, int r);
/// Turns a pending assembly into a release of what was locked so far, and the other way round.
bool ReverseRoute(SimulationData& sim, int lp, int r);
/// Orders every route of chain `chain` of the LP.
void OrderChain(SimulationData& sim, int lp, int chain);
bool RouteIsPending(const SimulationData& sim, int lp, int r);
bool RouteIsSet(const SimulationData& sim, int lp, int r);
bool ChainIsPending(const SimulationData& sim, int lp, int chain);
bool ChainIsSet(const SimulationData& sim, int lp, int chain);
/// Both of the above in one pass over the chain's routes.
struct ChainStatus {
  bool Pending = false;  ///< ChainIsPending
  bool Set = false;      ///< ChainIsSet
};
ChainStatus ChainState(const SimulationData& sim, int lp, int chain);
/// Some route of the chain is pending, or all are set.
inline bool ChainPendingOrSet(const SimulationData& sim, int lp, int chain) {
  const ChainStatus status = ChainState(sim, lp, chain);
  return status.Pending || status.Set;
}
/// Some section of the route from position 1 on (from 0 when withFirst) is occupied.
bool RouteIsOccupied(SimulationData& sim, int lp, int r, bool withFirst);
bool ChainIsOccupied(SimulationData& sim, int lp, int chain, bool withFirst);

/// OccupyingTrain of a section in range whose occupancy is not plain (both halves taken, or
/// a train beyond the list): it reports what it finds.
int OccupyingTrainReported(SimulationData& sim, int s);

/// The train occupying section s, or -1; reports inconsistent occupancy to the dispatcher.
/// On inconsistent data the answer may be an index beyond the trains (reported): the section
/// then counts as occupied, and callers must check the index before using it.
inline int OccupyingTrain(SimulationData& sim, int s) {
  if (s < 1 || s >= static_cast<int>(sim.State.Sects.size())) return -1;
  const TSectionSchuntData& x = sim.State.Sects[s];
  const int trains = static_cast<int>(sim.State.Trains.size());
  // The common answers, free or one train on one half, need no report.
  if (x.TRN_EVEN < 0 && x.TRN_ODD < trains) return x.TRN_ODD;
  if (x.TRN_ODD < 0 && x.TRN_EVEN < trains) return x.TRN_EVEN;
  return OccupyingTrainReported(sim, s);
}
/// The train on half d of section s, or -1; the same caveat as OccupyingTrain.
int OccupyingTrainDir(SimulationData& sim, int s, int d);
/// Which directions graph peregon p (index) is occupied in: a train whose head is on it marks
/// its head direction, else one whose tail is on it its tail direction. No lamps, no messages.
std::array<bool, 2> PeregonOccupiedDirections(const SimulationData& sim, int p);
/// The route of that LP code whose first (atStart) or last section is s and that locks the
/// matching half; -1 when none.
int RouteAtSection(const SimulationData& sim, int lpCode, int s, int d, bool atStart);

/// Lamp modes: 0 yellow off, 1 yellow on and flashing off, 2 flashing off, 3 flashing on.
void SetRouteLamps(SimulationData& sim, int lp, int r, int mode);
/// Once per step: advances per LP at most one pending route by one section half. Throws
/// std::runtime_error("Неверный порядок секций маршрута " ...) when a route's section list
/// disagrees with its recorded first and last sections.
void UpdateRoutes(SimulationData& sim);
/// Change point: a route of LP lp was ordered (UpdateRoutes looks at that LP again; the
/// interlocking's count of changes goes up).
void MarkRouteOrdered(SimulationData& sim, int lp);
/// Whether a route is set towards signal g from the other side: some signal of another
/// direction (not a block signal) leads to g's section or into g's graph peregon. False for
/// g < 0.
bool OpposingRouteSet(const SimulationData& sim, int g);
/// The signals other than block signals whose route leads somewhere (SECT_NEXT above 0), in
/// index order: a pass that sets no route asks OpposingRouteSet many times over them.
std::vector<int> LeadingSignals(const SimulationData& sim);
/// The same list into `out`, whose storage is reused.
void LeadingSignals(const SimulationData& sim, std::vector<int>& out);
/// The list of signals that lead somewhere as the routes' pass keeps it, when it holds for the
/// state as it is: since that pass every signal given a route is in it (some in it may have
/// been released since, which OpposingRouteSet reads again). nullptr when the state was
/// replaced or changed by hand since (ForgetStepChanges), or the pass has not run on it. In
/// check mode a signal leading somewhere that the list lacks throws CheckMismatch.
const std::vector<int>* KeptLeadingSignals(const SimulationData& sim);
/// OpposingRouteSet over a list that LeadingSignals made since the signals last changed, or
/// the list KeptLeadingSignals gives.
bool OpposingRouteSet(const SimulationData& sim, int g, const std::vector<int>& leading);

// ---------------------------------------------------------------------------
// Signals and lamps

/// Once per step, after UpdateRoutes: stop and caution aspects of every signal.
void UpdateSignals(SimulationData& sim);
/// The same for the step: only the signals that read what was marked changed since the last
/// update (every signal after a new or loaded state, and while a fault is in force). In check
/// mode (sim.Changes.Check) it also recomputes every signal and throws
/// CheckMismatch naming the first signal where the two differ.
void UpdateSignalsIncremental(SimulationData& sim);
/// Change points: the occupancy of section s changed (its signals and the throats that read it
/// look again); the route of signal g changed.
void MarkSectionChanged(SimulationData& sim, int s);
void MarkSignalChanged(SimulationData& sim, int g);
/// The next step looks at everything again (a new state, or one changed by hand); the check
/// mode stays as it was.
void ForgetStepChanges(SimulationData& sim);
/// Sets the GREEN flag of the lamp of signal i.
void UpdateSignalLamp(SimulationData& sim, int i);

/// Up to five lamps that show a section (empty entries 0).
struct TLampSet {
  std::array<int, 5> Lamps{};
  bool OnTrack = false;  ///< the section is a station track
};
TLampSet SectionLampSet(const SimulationData& sim, int s);
/// Applies a lamp mode (see SetRouteLamps) to every lamp index > 0 of the set.
void ApplyLampMode(SimulationData& sim, const std::array<int, 5>& lamps, int mode);
/// The same for count lamp indices from first.
void ApplyLampMode(SimulationData& sim, const int* first, std::size_t count, int mode);

// ---------------------------------------------------------------------------
// Departure commits and LP lamps

void ToggleDepartCommit(SimulationData& sim, int lp, int dir);
bool ConsumeDepartCommit(SimulationData& sim, int lp, int dir);
/// LP lp holds a departure commit for direction dir (0 even, 1 odd); false for an LP
/// without a commit record.
bool DepartCommitGiven(const SimulationData& sim, int lp, int dir);
/// The name lamp of station lp (lamp lp + 1) gets YELLOW = on.
void SetLPLamp(SimulationData& sim, int lp, bool on);

}  // namespace traklin
