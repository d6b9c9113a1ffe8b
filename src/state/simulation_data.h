// What one run owns: the district, the dynamic state, the settings and the generator.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "area/area_data.h"
#include "area/area_reader.h"
#include "settings/settings.h"
#include "state/console_services.h"
#include "state/random.h"
#include "state/state_data.h"
#include "state/step_changes.h"

namespace traklin {

/// Where a train made by a creation pass comes from.
enum class TrainSource { Timetable, Plan, Random, Dependant };

/// What a fault or a permission did, for the event log: "fault" (set), "cleared" (ended,
/// early or in time), "permit" (asked for: given or refused).
struct FaultEvent {
  std::string Event;
  TFaultData Fault;    ///< fault, cleared
  int Number = 0;      ///< permit: the train's number
  int Signal = -1;     ///< permit: the signal the train stands before (-1: none)
  std::string Result;  ///< permit: "ok" or why not
};

/// The records every pass of the step works on. The simulation object (one layer up) adds
/// the step, the tick and the saves; the passes below it take this part only, so that the
/// interlocking and the trains never depend on the layer that drives them.
struct SimulationData {
  TAreaData AreaData;
  TReadDataError ReadDataError;
  int MaxSpeedLimit = 10;  ///< largest section speed limit of the district, km/h
  TStateData State;
  TSettings Settings;
  RandomGenerator Random;
  /// What the passes of the step must look at again in the next step.
  TStepChanges Changes;
  /// The user's side; must be set before the first step.
  ConsoleServices* Console = nullptr;
  /// Called when trains were placed on or removed from the district (the train views refresh).
  std::function<void()> OnTrainListChanged;
  /// Called by the creation passes once a train is complete and stays (index valid).
  std::function<void(int train, TrainSource source)> OnTrainCreated;
  /// Called when a train is about to be taken off the district (index still valid).
  std::function<void(int train)> OnTrainRemoving;
  /// Called when a throat task was cancelled or finished (the task dialog refreshes).
  std::function<void()> OnTasksChanged;
  /// Asked before the console when a station puts a question of kind `kind` (a request kind)
  /// about train `train` at LP index `lp` (`track` the track it names, -1 none): an answer is
  /// taken as the dispatcher's (the console is only told of it: StationAnswered), nullopt
  /// leaves the question to the console. The automatic dispatcher answers here for the
  /// stations it works.
  std::function<std::optional<bool>(int lp, int train, int track, int kind)> AnswerStation;
  /// Asked when a station that acts by itself is about to give train `train` at LP index `lp`
  /// a send task without a question to the dispatcher (its line ahead is free, or it sends
  /// without asking): false holds the train this step. The automatic dispatcher answers here
  /// for the stations it works; unset, every such departure goes ahead.
  std::function<bool(int lp, int train)> MaySend;
  /// Told of every fault set or ended and every permission asked for (the event log listens).
  std::function<void(const FaultEvent& event)> OnFaultEvent;
};

}  // namespace traklin
