// Departure commits per LP and direction, and the LP name lamps.
#include "state/interlocking.h"

namespace traklin {

namespace {

TDateTime* Commit(SimulationData& sim, int lp, int dir) {
  if (lp < 0 || lp >= static_cast<int>(sim.State.DepartCommits.size())) return nullptr;
  TDepartCommitData& c = sim.State.DepartCommits[lp];
  return (dir & 1) ? &c.ODD : &c.EVEN;
}

/// The station's departure-commit lamp for the direction, or 0.
int CommitLamp(const SimulationData& sim, int lp, int dir) {
  const TAreaData& area = sim.AreaData;
  if (lp < 0 || lp >= area.StationCount || lp >= static_cast<int>(area.GraphFragms.size()))
    return 0;
  const int lamp = area.GraphFragms[lp].DepartCommitLamp[dir & 1];
  return lamp > 0 && lamp < static_cast<int>(sim.State.Lamps.size()) ? lamp : 0;
}

}  // namespace

bool DepartCommitGiven(const SimulationData& sim, int lp, int dir) {
  if (lp < 0 || lp >= static_cast<int>(sim.State.DepartCommits.size())) return false;
  const TDepartCommitData& c = sim.State.DepartCommits[lp];
  return ((dir & 1) ? c.ODD : c.EVEN) != 0;
}

void ToggleDepartCommit(SimulationData& sim, int lp, int dir) {
  TDateTime* c = Commit(sim, lp, dir);
  if (c == nullptr) return;
  *c = *c == 0 ? sim.State.ClockTime : 0;
  if (const int lamp = CommitLamp(sim, lp, dir)) sim.State.Lamps[lamp].YELLOW = *c != 0;
}

bool ConsumeDepartCommit(SimulationData& sim, int lp, int dir) {
  TDateTime* c = Commit(sim, lp, dir);
  if (c == nullptr || *c == 0) return false;
  *c = 0;
  if (const int lamp = CommitLamp(sim, lp, dir)) sim.State.Lamps[lamp].YELLOW = false;
  return true;
}

void SetLPLamp(SimulationData& sim, int lp, bool on) {
  if (lp < 0 || lp >= sim.AreaData.StationCount) return;
  const int lamp = lp + 1;
  if (lamp < static_cast<int>(sim.State.Lamps.size())) sim.State.Lamps[lamp].YELLOW = on;
}

}  // namespace traklin
