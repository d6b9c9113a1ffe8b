// The simulation object: the district, the state, the settings and the clock of one run.
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "dispatch/dispatch_data.h"
#include "state/clock.h"

namespace traklin {

/// Everything a run owns, with the step that drives it. The application makes one and passes
/// it by reference; tests may make as many as they like.
class Simulation : public DispatchData {
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

  /// Sets the level and StepsPerTick; returns what the timer and the label must show.
  TimeScale SetTimeScale(int level);

  /// One step: the clock advances by delta, then every pass runs in its fixed order, and
  /// finally the autosave check.
  void SimulationStep(TDateTime delta);

  /// While it lives, and the automatic dispatcher works some station, the dispatcher answers
  /// the questions of the stations it works and judges the departures they would make without
  /// asking (AnswerStation, MaySend). The step holds one; a test that runs the passes by
  /// itself holds one around them.
  class AutoHooks {
   public:
    explicit AutoHooks(Simulation& sim);
    ~AutoHooks();
    AutoHooks(const AutoHooks&) = delete;
    AutoHooks& operator=(const AutoHooks&) = delete;

   private:
    Simulation& sim_;
    bool set_ = false;
  };

  /// StepsPerTick steps of half a second, calling beforeStep before each (the console plays
  /// a scenario's due lines there) and afterStep after each (it redraws the clock and processes
  /// pending events there). Either may be empty. StepsPerTick is read anew before each step,
  /// so a hook that changes the level changes the rest of the tick.
  void RunTick(const std::function<void()>& afterStep,
               const std::function<void()>& beforeStep = {});

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
