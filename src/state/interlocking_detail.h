// Small helpers shared by the interlocking passes (not part of the public interface).
#pragma once

#include <string>

#include "state/simulation_data.h"

namespace traklin::detail {

inline void Notify(SimulationData& sim, const std::string& text) {
  if (sim.Console != nullptr) sim.Console->NotifyDispatcher(text);
}

inline bool ValidSection(const SimulationData& sim, int s) {
  return s > 0 && s < static_cast<int>(sim.AreaData.SlSects.size());
}

/// Whether switch w lies reverse (minus).
inline bool SwitchReverse(const SimulationData& sim, int w) {
  return w > 0 && w < static_cast<int>(sim.State.Switches.size()) && sim.State.Switches[w] == 1;
}

/// Whether route r of LP lp exists both in the district and in the state.
inline bool ValidRoute(const SimulationData& sim, int lp, int r) {
  if (lp < 0 || r < 0) return false;
  if (lp >= static_cast<int>(sim.AreaData.TrainRoutes.size())) return false;
  if (lp >= static_cast<int>(sim.State.Routes.size())) return false;
  return r < static_cast<int>(sim.AreaData.TrainRoutes[lp].Routes.size()) &&
         r < static_cast<int>(sim.State.Routes[lp].size());
}

}  // namespace traklin::detail
