// Train creation: timetable trains, creation plans, random freights, waiting trains.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

/// Whether the plan's calendar admits the date (its integer part counts). Dates of service
/// and listed dates are compared as month × 100 + day, so an impossible date in the plan
/// (31 February) never raises. A range whose first date is after its last (1230 .. 0102) runs
/// over the New Year; a range with only one date set is open at the other end.
bool PlanRunsOn(const TCreationPlanData& plan, TDateTime date);

/// Freight trains of the fixed and random creation plans whose minute has come, and the
/// daily generation of the random freight plans at each midnight. Each plan is tried once in
/// its minute.
void CreateFreightTrains(SimulationData& sim);
/// Timetable trains whose creation minute has come (plans with cars), each tried once in its
/// minute.
void CreatePlannedTrains(SimulationData& sim);
/// One random-composition freight train for the plan, following the freight timetable of
/// scheduleNumber when it has one. Returns the new train's index, or -1 when it was removed.
int CreateFreight(SimulationData& sim, const TCreationPlanData& plan, int scheduleNumber);
/// Made-up trains whose make-up time is over start to occupy their tracks; waiting trains are
/// put out or received (asking the dispatcher where the LP wants it); dependant trains are
/// formed from their arrived parents.
void ServeWaitingTrains(SimulationData& sim);
/// Whether the station at LP index lp would find a track now for train i, waiting outside to
/// be put out or taken in there: a free track that suits it, takes it and leads to the throat
/// it leaves by (as when the train is served). False for a train formed from another's cars.
bool CanPutOutOrReceive(SimulationData& sim, int i, int lp);

}  // namespace traklin
