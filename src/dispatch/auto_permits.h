// The automatic dispatcher's permissions to pass a closed signal held by a fault.
#pragma once

#include <vector>

#include "state/simulation_data.h"

namespace traklin {

/// Once per step, beside AutoDispatch: at the stations switched to automatic (autoLPs[lp]),
/// a train that has stood for kAutoPermitWait before a closed signal held by a fault is let
/// past it when PermitRefusal allows. A station's signal belongs to its station; a block
/// signal to the station the train runs towards. Does nothing while no fault is in force.
void AutoPermits(SimulationData& sim, const std::vector<bool>& autoLPs);

}  // namespace traklin
