// A run's data together with what the automatic dispatcher keeps between steps.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dispatch/auto_dispatcher.h"
#include "state/simulation_data.h"

namespace traklin {

/// What one run owns (the district, the state, the settings, the generator) with what drives
/// it besides the human: the instructor's holds and the automatic dispatcher's memo. Scenarios
/// play on it; the simulation object (one layer up) adds the step, the tick and the saves.
struct DispatchData : SimulationData {
  /// Trains the automatic dispatcher holds back (an instructor's scenario); not saved.
  std::vector<AutoHold> AutoHolds;
  /// What the automatic dispatcher derived in earlier steps (a cache; copies start empty).
  AutoDispatchMemo AutoMemo;
  /// Told of every operation of the dispatcher once it was done or refused (see
  /// dispatch/operations.h): its line as a scenario writes it, without the time, and a note
  /// (why it was refused, the question a reply answers; empty when there is none). A shift's
  /// recorder listens here; unset, nothing is told.
  std::function<void(const std::string& line, const std::string& note)> OnOperation;
};

}  // namespace traklin
