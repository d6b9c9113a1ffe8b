// The automatic dispatcher's permissions to pass a closed signal held by a fault.
#include "dispatch/auto_permits.h"

#include <algorithm>

#include "area/area_queries.h"
#include "area/object_names.h"
#include "state/faults.h"
#include "trains/fault_trains.h"
#include "trains/train_motion.h"

namespace traklin {

void AutoPermits(SimulationData& sim, const std::vector<bool>& autoLPs) {
  if (sim.State.Faults.empty() || std::find(autoLPs.begin(), autoLPs.end(), true) == autoLPs.end())
    return;
  // The clock is a sum of half seconds: a train that came to rest two minutes ago counts.
  constexpr TDateTime kSlack = 0.0005 / 86400.0;
  for (int i = 0; i < static_cast<int>(sim.State.Trains.size()); ++i) {
    const int g = ClosedSignalAhead(sim, i);
    if (g < 0 || TrainPermit(sim, i) != nullptr) continue;
    int lp = SignalStation(sim.AreaData, g);
    if (lp < 0) lp = FindLPIndex(sim.AreaData, EndStationCode(sim, sim.State.Trains[i].HEAD));
    if (lp < 0 || lp >= static_cast<int>(autoLPs.size()) || !autoLPs[lp]) continue;
    if (StandingFor(sim, i) + kSlack < kAutoPermitWait || !SignalHeldByFault(sim, g) ||
        !PermitRefusal(sim, i).empty())
      continue;
    PermitTrain(sim, sim.State.Trains[i].NUMBER);
  }
}

}  // namespace traklin
