// Braking of a train: its deceleration and its braking distance, shared by train motion and by
// the interlocking's approach locking.
#pragma once

#include "state/simulation_data.h"

namespace traklin {

/// a⁻ (positive, m/s²): 10 without a real locomotive or weight, else (CARS + 1) × 30 ÷ WEIGHT.
double Deceleration(const SimulationData& sim, int i);
/// Braking distance in metres from v km/h with deceleration a: 5 s of reaction plus 20 m.
int BrakingDistance(double v, double a);

}  // namespace traklin
