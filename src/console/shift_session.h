// The console's shift: recorded into the district's shifts/ folder or replayed from one, its
// event log and its score as it goes.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "dispatch/gridlock.h"
#include "dispatch/scenario.h"
#include "dispatch/shift_score.h"
#include "simulation/shift_recorder.h"
#include "simulation/shift_replay.h"

namespace traklin {

/// The console services of the console's shift, in front of the main window (`window`, which
/// shows the boxes and saves). Every event is written to the shift's event log with the lines
/// of event_lines.h, as a headless run writes them (a box's answer "by" "dispatcher", a
/// scenario's standing answer "scenario"), counted by the shift's scorer and then passed to
/// the window; every answer is recorded as a reply. While a shift is replayed nothing is shown
/// or saved: the questions take the replies recorded for them and the saves the outcome the
/// recorded log shows. One shift at a time: a new one ends the one before.
class ShiftSession : public ConsoleServices {
 public:
  /// Chains the simulation's train hooks (for the log's created and removed lines) and makes
  /// the scorer; both are given back in the destructor, so the session is made after the
  /// window's own recorders and goes before them.
  ShiftSession(Simulation& sim, ConsoleServices& window);
  ~ShiftSession() override;
  ShiftSession(const ShiftSession&) = delete;
  ShiftSession& operator=(const ShiftSession&) = delete;

  /// Whether the window answers the stations' questions from a scenario (its answers are then
  /// the scenario's); unset: never.
  std::function<bool()> ScenarioAnswers;
  /// Told when a replayed line switched the automatic dispatcher.
  std::function<void()> AutoChanged;

  /// Records a shift from the state as it is into a new folder under `root`, named by the real
  /// start `now` ("YYYY-MM-DD_HH-MM-SS", with "-2", "-3", … when that folder exists), with the
  /// generator seeded with `seed`. Returns the folder. Throws ShiftError when it cannot be
  /// written; the shift then goes on unrecorded (logged nowhere, still scored).
  std::filesystem::path BeginRecording(const std::filesystem::path& root,
                                       const std::string& district, std::uint64_t seed,
                                       std::time_t now);
  /// Replays the shift `replay` has prepared the simulation for, step by step from its start.
  void BeginReplay(std::unique_ptr<ShiftReplay> replay);
  /// Ends the shift: a recording writes its end line (ShiftError when its files could not be
  /// written completely), a replay stops where it is.
  void End();

  bool Recording() const { return recorder_.Recording(); }
  bool Replaying() const { return replay_ != nullptr; }
  /// The folder of the shift being recorded (empty when none).
  std::filesystem::path Folder() const;
  /// A replay has reached the end of its shift: it must not step on.
  bool ReplayOver() const;
  /// The replay's event log so far, and where it parts from the recorded one (nullopt while
  /// it is the same); for a replay only.
  std::optional<LogDifference> ReplayDifference() const;

  /// Before every step: the replayed lines due by the clock it reaches.
  void BeforeStep();
  /// After every step: the scorer's look and the gridlock detector (each gridlock logged).
  void AfterStep();
  /// An error escaped a step: logged.
  void StepFailed(const std::string& text);

  /// Told of each gridlock the detector finds, once, after it is logged.
  std::function<void(const Gridlock&)> GridlockFound;

  /// The figures of the shift so far.
  ShiftScore Score() const { return scorer_->Score(); }

  void NotifyDispatcher(const std::string& text) override;
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool AskDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool SaveLastState(bool reportFailure) override;
  void StationAnswered(const std::string& caption, const std::string& text, int ring,
                       bool answer) override;

 private:
  void Emit(const std::string& line);
  /// The scorer starts the shift afresh; operations are counted from now.
  void StartScore();

  Simulation& sim_;
  ConsoleServices& window_;
  std::function<void(int, TrainSource)> prevCreated_;
  std::function<void(int)> prevRemoving_;
  /// The trains logged as created, by number and creation time (as the runner's log).
  std::set<std::pair<int, double>> alive_;
  ShiftRecorder recorder_;
  std::unique_ptr<ShiftReplay> replay_;
  std::unique_ptr<ScenarioPlayer> player_;
  bool standingAnswer_ = true;  ///< a replayed scenario's answer line
  std::ostringstream replayed_;
  GridlockDetector gridlocks_;
  std::optional<ShiftScorer> scorer_;
};

}  // namespace traklin
