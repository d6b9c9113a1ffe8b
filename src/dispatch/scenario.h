// Instructor scenarios: timed dispatcher operations read from a text file and played in a run.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dispatch/dispatch_data.h"
#include "dispatch/fault_operations.h"
#include "state/clock.h"

namespace traklin {

/// A scenario line that cannot be played; what() is "line N: reason" (line 0: the file).
class ScenarioError : public std::runtime_error {
 public:
  ScenarioError(int line, const std::string& reason);
  int Line;
  std::string Reason;
};

enum class ScenarioAction {
  Route,
  Cancel,
  Commit,
  Task,
  CancelTask,
  Put,
  Answer,
  Save,
  Auto,
  Hold,
  Scale,
  Fault  ///< a fault set or cleared, or a permission (Fault)
};

/// One timed line, its arguments resolved against the district when read.
struct ScenarioStep {
  int Line = 0;
  int SecondOfDay = 0;  ///< 0 .. 86399
  ScenarioAction Action = ScenarioAction::Route;
  int Lp = -1;           ///< LP index (route, cancel, commit, task, canceltask, put; auto: -1 all)
  int Route = -1;        ///< route index within the LP (route, cancel)
  int Dir = 0;           ///< commit: 0 even, 1 odd; task, canceltask: throat side
  int Give = -1;         ///< commit: 1 give, 0 take, -1 toggle
  bool Send = false;     ///< task: send (else receive)
  int ThroatNumber = 0;  ///< task, canceltask: which throat of the side (0 or 1)
  int Track = -1;        ///< track index of the LP (task, put)
  int Number = 0;        ///< put, hold: the train number
  bool Answer = true;    ///< answer; auto: on
  TDateTime For = 0;     ///< answer, hold: how long, in days; 0 for the rest of the run
  int Level = 1;         ///< scale: the time-scale level 0..9
  std::string File;      ///< save
  FaultOrder Fault;      ///< fault, limit, clear, permit
};

/// Reads the scenario text. A line is "HH:MM[:SS] action arguments"; blank lines and text
/// after '#' or ';' are ignored. Actions (LP is the station's code, TRACK a track's name as
/// the panel shows it, THROAT "even" or "odd" with ":1" for the side's second throat):
///   route LP C R C R | cancel LP C R C R   the desk's start and end buttons (column, row)
///   commit LP even|odd [give|take]         gives or takes the departure commit (toggles
///                                          without the third word)
///   task LP receive|send THROAT TRACK      a throat task
///   canceltask LP THROAT                   cancels the throat's tasks
///   put NUMBER LP TRACK                    puts a waiting train out on a track
///   answer yes|no [SPAN]                   the answer to the stations' questions (SPAN as
///                                          for --for; none: for the rest of the run)
///   save FILE                              saves the state
///   auto LP|all on|off                     switches the automatic dispatcher for a station
///                                          (or every station)
///   hold NUMBER SPAN                       the automatic dispatcher sends train NUMBER on
///                                          no earlier than SPAN from now
///   scale LEVEL                            the console's time-scale level 0..9 (0 pauses);
///                                          a headless run has no time scale and skips it
///   fault … | limit … | clear … | permit NUMBER   an instructor's fault, its end, and the
///                                          dispatcher's permission to pass a closed signal
///                                          (dispatch/fault_operations.h)
/// As at the desk, routes are ordered only at stations without a duty officer, commits only
/// where the station has a commit lamp for the direction, and tasks only to stations that take
/// them. Throws ScenarioError for the first bad line, naming it and the reason.
std::vector<ScenarioStep> ParseScenario(const std::string& text, const TAreaData& area);
/// ParseScenario of a file's text (UTF-8); an unreadable file throws with line 0.
std::vector<ScenarioStep> ReadScenarioFile(const std::filesystem::path& file,
                                           const TAreaData& area);

/// Plays the steps in a run. A step's time of day is placed at or after the previous step's
/// (the first at or after the start), so a scenario may run past midnight.
class ScenarioPlayer {
 public:
  ScenarioPlayer(std::vector<ScenarioStep> steps, TDateTime start);

  /// Sets the answer to the stations' questions.
  std::function<void(bool answer)> SetAnswer;
  /// Sets the console's time-scale level; unset, scale steps are skipped.
  std::function<void(int level)> SetScale;
  /// Told when a step switched the automatic dispatcher (the panel's name lamps show it).
  std::function<void()> AutoChanged;
  /// The answer given again when an answer's span is over.
  bool DefaultAnswer = true;
  /// Told when an answer's span is over, instead of SetAnswer(DefaultAnswer): the console then
  /// asks the dispatcher again.
  std::function<void()> AnswerEnded;
  /// Writes the state to a file for a save step: the reason it failed, empty when it was
  /// saved. Unset, save steps are refused.
  std::function<std::string(const std::string& file)> Save;
  /// Told of every step that could not be done: its line and the reason.
  std::function<void(int line, const std::string& reason)> Refused;

  /// Plays every step due by `until` (the clock the coming step reaches), in order.
  void PlayDue(DispatchData& sim, TDateTime until);
  /// Steps not yet played.
  std::size_t Pending() const { return steps_.size() - next_; }

 private:
  /// The reason the step could not be done, empty when it was.
  std::string Play(DispatchData& sim, const ScenarioStep& step, TDateTime due);

  std::vector<ScenarioStep> steps_;
  std::vector<TDateTime> due_;
  std::size_t next_ = 0;
  TDateTime answerUntil_ = 0;
};

}  // namespace traklin
