// Braking of a train: its deceleration and its braking distance.
#include "state/braking.h"

#include <cmath>

namespace traklin {

double Deceleration(const SimulationData& sim, int i) {
  if (i < 0 || i >= static_cast<int>(sim.State.Trains.size())) return 10.0;
  const TTrainData& t = sim.State.Trains[i];
  if (t.LOCO_IDX < 2 || t.WEIGHT <= 0) return 10.0;
  const double a = (t.CARS + 1) * 30.0 / t.WEIGHT;
  return std::isfinite(a) && a > 0 ? a : 10.0;
}

int BrakingDistance(double v, double a) {
  const double ms = v / 3.6;
  const double d = ms * ms / (2 * a) + ms * 5;
  // Rounded half to even, as all of motion's distances.
  return static_cast<int>(std::isfinite(d) ? std::lrint(d) : 0) + 20;
}

}  // namespace traklin
