// Train creation: timetable trains, creation plans, random freights, waiting trains.
#include "trains/train_creation.h"

namespace traklin {

void CreateFreightTrains(SimulationData&) {}
void CreatePlannedTrains(SimulationData&) {}
void ServeWaitingTrains(SimulationData&) {}

}  // namespace traklin
