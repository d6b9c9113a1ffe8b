// Train creation: timetable trains, creation plans, random freights, waiting trains.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

/// Freight trains of the fixed and random creation plans whose minute has come.
void CreateFreightTrains(SimulationData& sim);
/// Timetable trains whose creation minute has come.
void CreatePlannedTrains(SimulationData& sim);
/// Made-up trains waiting to be put out, and reception requests of waiting trains.
void ServeWaitingTrains(SimulationData& sim);

}  // namespace traklin
