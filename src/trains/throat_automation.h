// Station automation and throat tasks: what duty officers do on their own and on order.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

/// The stations' own decisions: take approaching trains in, send trains that are due, ask.
void ThroatAutomation(SimulationData& sim);
/// Carries out the active throat tasks by ordering their routes.
void ExecuteThroatTasks(SimulationData& sim);

}  // namespace traklin
