// Throat queries the train passes need: the throat towards the next stop and task cover.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

/// The throat of LP index lp through which train i leaves towards the next LP of its
/// timetable. With throat >= 0 only that throat is tried; otherwise every throat once, from a
/// random one backwards. A found throat is returned in throat; whenever the throat is valid,
/// dir becomes its parity. Returns whether a throat qualified.
bool ThroatOfNextStop(SimulationData& sim, int& throat, int& dir, int lp, int i);
/// The last throat of the LP whose active receive task names the track; -1 when none.
int ReceiveTaskOfTrack(const SimulationData& sim, int lp, int track);
/// Whether an active throat task already deals with train i standing at its next signal: a
/// send task for the track it stands on, or a receive task of the throat it is about to enter.
bool ThroatTaskCoversTrain(const SimulationData& sim, int i);

}  // namespace traklin
