// Braking of a train: its deceleration and its braking distance, shared by train motion and by
// the interlocking's approach locking.
#pragma once

#include <cmath>

#include "state/simulation_data.h"

namespace traklin {

/// a⁻ (positive, m/s²): 10 without a real locomotive or weight, else (CARS + 1) × 30 ÷ WEIGHT.
/// Inline: asked for every train at every step.
inline double Deceleration(const SimulationData& sim, int i) {
  if (i < 0 || i >= static_cast<int>(sim.State.Trains.size())) return 10.0;
  const TTrainData& t = sim.State.Trains[i];
  if (t.LOCO_IDX < 2 || t.WEIGHT <= 0) return 10.0;
  const double a = (t.CARS + 1) * 30.0 / t.WEIGHT;
  return std::isfinite(a) && a > 0 ? a : 10.0;
}
/// Braking distance in metres from v km/h with deceleration a: 5 s of reaction plus 20 m.
inline int BrakingDistance(double v, double a) {
  const double ms = v / 3.6;
  const double d = ms * ms / (2 * a) + ms * 5;
  // Rounded half to even, as all of motion's distances.
  return static_cast<int>(std::isfinite(d) ? std::lrint(d) : 0) + 20;
}

}  // namespace traklin
