// The simulation object: the district, the state, the settings and the clock of one run.
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "simulation/auto_dispatcher.h"
#include "state/clock.h"
#include "state/simulation_data.h"

namespace traklin {

/// Everything a run owns, with the step that drives it. The application makes one and passes
/// it by reference; tests may make as many as they like.
class Simulation : public SimulationData {
 public:
  /// One pass of the step, named for tests and profiles.
  struct StepPass {
    const char* Name;
    void (*Run)(Simulation& sim, TDateTime delta);
  };
  /// The passes of one step in their fixed order.
  static std::span<const StepPass> StepOrder();

  TDateTime LastSaveTime = 0;  ///< simulated time of the last successful save
  int TimeScaleLevel = 1;
  int StepsPerTick = 1;
  /// Trains the automatic dispatcher holds back (an instructor's scenario); not saved.
  std::vector<AutoHold> AutoHolds;
  /// What the automatic dispatcher derived in earlier steps (a cache; copies start empty).
  AutoDispatchMemo AutoMemo;

  /// Sets the level and StepsPerTick; returns what the timer and the label must show.
  TimeScale SetTimeScale(int level);

  /// One step: the clock advances by delta, then every pass runs in its fixed order, and
  /// finally the autosave check.
  void SimulationStep(TDateTime delta);

  /// StepsPerTick steps of half a second, calling afterStep after each (the console redraws
  /// the clock and processes pending events there).
  void RunTick(const std::function<void()>& afterStep);

  /// The manual save: on success the last-save time becomes the clock, otherwise the next
  /// autosave attempt is postponed by 2.5 minutes. Returns the success.
  bool ManualSave();

 private:
  void AutosaveCheck();
  /// Saves through the console; success sets the last-save time, failure postpones the next
  /// attempt by 2.5 minutes.
  bool SaveAndReschedule(bool reportFailure);
};

}  // namespace traklin
