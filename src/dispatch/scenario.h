// Instructor scenarios: timed dispatcher operations read from a text file and played in a run.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dispatch/dispatch_data.h"
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
  Invert,
  Through,   ///< a through passage in a desk mode (Mode)
  Reply,     ///< the answer to the next question of the step
  Set,       ///< one key of the settings
  SaveLast,  ///< the dispatcher's own save (last.sav)
};

/// One timed line, its arguments resolved against the district when read.
struct ScenarioStep {
  int Line = 0;
  int SecondOfDay = 0;  ///< 0 .. 86399
  /// Stamped to the tenth (HH:MM:SS.s): done after the step whose clock that is. Otherwise
  /// (HH:MM[:SS]) done at the start of the step whose clock reaches the time.
  bool Stamped = false;
  int TenthOfDay = 0;      ///< the time of day in tenths of a second (0 .. 863999)
  std::optional<int> Day;  ///< the date written before the time, as a TDateTime day
  std::string Text;        ///< the action and its arguments as written, single-spaced
  ScenarioAction Action = ScenarioAction::Route;
  int Lp = -1;           ///< LP index (route, cancel, commit, task, canceltask, put; auto: -1 all)
  int Route = -1;        ///< route index within the LP (route, cancel, invert; through: first)
  int Route2 = -1;       ///< through: the second route
  int Mode = 0;          ///< through: 0 order, 1 cancel, 2 invert
  int Dir = 0;           ///< commit: 0 even, 1 odd; task, canceltask: throat side
  int Give = -1;         ///< commit: 1 give, 0 take, -1 toggle
  bool Send = false;     ///< task: send (else receive)
  int ThroatNumber = 0;  ///< task, canceltask: which throat of the side (0 or 1); transit: inlet
  bool Transit = false;  ///< task: a transit (Dir the side it leaves by)
  bool Dialog = false;   ///< task: given in the task dialog (the station tells a refusal)
  int Track = -1;        ///< track index of the LP (task, put)
  int Number = 0;        ///< put, hold: the train number
  bool Answer = true;    ///< answer, reply: yes; auto: on
  TDateTime For = 0;     ///< answer, hold: how long, in days; 0 for the rest of the run
  int Level = 1;         ///< scale: the time-scale level 0..9
  std::string File;      ///< save; hold: the span as written; set: SECTION/KEY
  std::string Value;     ///< set: the value
};

/// Reads the scenario text. A line is "TIME action arguments"; blank lines and text after '#'
/// or ';' are ignored. TIME is "HH:MM[:SS]", done at the start of the step whose clock reaches
/// it, or "HH:MM:SS.s" (as a shift records it), done after the step whose clock it is, before
/// the next one: "06:10" and "06:09:59.5" are the same moment. A date may come first
/// ("YYYY-MM-DD HH:MM:SS.s"); an undated line follows the line before it (a time before it
/// falls on the next day). Actions (LP is the station's code, TRACK a track's name as the panel
/// shows it, THROAT "even" or "odd" with ":1" for the side's second throat):
///   route LP C R C R | cancel LP C R C R   the desk's start and end buttons (column, row)
///   invert LP C R C R                      the same in the desk's invert mode
///   through LP C R C R                     a through passage (column 1 to 4 or 4 to 1 on a
///   cancelthrough LP C R C R               row of the throat layout), ordered, released or
///   invertthrough LP C R C R               inverted as its two routes
///   commit LP even|odd [give|take]         gives or takes the departure commit (toggles
///                                          without the third word)
///   task LP receive|send THROAT TRACK      a throat task
///   task LP transit even|odd[:N] TRACK     a transit leaving by that side (N: the task
///                                          dialog's inlet button, 0 to 3, where it shows them)
///                                          (either with "dialog" after TRACK: given in the
///                                          task dialog, the station tells a refusal)
///   canceltask LP [THROAT]                 cancels the throat's tasks (every task of the
///                                          station without THROAT, as the dialog's button)
///   put NUMBER LP TRACK                    puts a waiting train out on a track
///   answer yes|no [SPAN]                   the answer to the stations' questions (SPAN as
///                                          for --for; none: for the rest of the run)
///   reply yes|no                           the answer to the next question asked in the step
///                                          whose clock is the line's time (a shift's record
///                                          of the dispatcher's answer)
///   save FILE                              saves the state
///   savelast                               the dispatcher's own save (last.sav)
///   auto LP|all on|off                     switches the automatic dispatcher for a station
///                                          (or every station)
///   hold NUMBER SPAN                       the automatic dispatcher sends train NUMBER on
///                                          no earlier than SPAN from now
///   set SECTION/KEY=VALUE                  sets one key of the settings
///   scale LEVEL                            the console's time-scale level 0..9 (0 pauses);
///                                          a headless run has no time scale and skips it
/// Lines of a shift's header (district, seed, setting, start, end: see shift_file.h) are
/// checked and otherwise ignored, so a shift's file plays as a scenario.
/// As at the desk, routes are ordered only at stations without a duty officer, commits only
/// where the station has a commit lamp for the direction, and tasks only to stations that take
/// them. Throws ScenarioError for the first bad line, naming it and the reason.
std::vector<ScenarioStep> ParseScenario(const std::string& text, const TAreaData& area);
/// ParseScenario of a file's text (UTF-8); an unreadable file throws with line 0.
std::vector<ScenarioStep> ReadScenarioFile(const std::filesystem::path& file,
                                           const TAreaData& area);

/// Plays the steps in a run through the dispatcher's operations (dispatch/operations.h). A
/// step's time of day is placed at or after the previous step's (the first at or after the
/// start), so a scenario may run past midnight. A line played is told to the run's
/// OnOperation as written (a refusal as its note), the operations it does are not.
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
  /// The dispatcher's own save for a savelast step (the simulation's manual save). Unset,
  /// savelast steps are refused.
  std::function<void()> SaveLast;
  /// Told of every step that could not be done: its line and the reason.
  std::function<void(int line, const std::string& reason)> Refused;

  /// Plays every step due by `until` (the clock the coming step reaches), in order. The
  /// replies due then wait for the questions of that step; those of an earlier step that no
  /// question took are refused.
  void PlayDue(DispatchData& sim, TDateTime until);
  /// The reply for a question asked now, in the order the replies were written; nullopt when
  /// no reply waits (the console then answers as it would).
  std::optional<bool> TakeReply();
  /// Steps not yet played.
  std::size_t Pending() const { return steps_.size() - next_; }

 private:
  /// The reason the step could not be done, empty when it was.
  std::string Play(DispatchData& sim, const ScenarioStep& step, TDateTime due);

  std::vector<ScenarioStep> steps_;
  std::vector<TDateTime> due_;
  std::size_t next_ = 0;
  TDateTime answerUntil_ = 0;
  std::deque<std::pair<int, bool>> replies_;  ///< line and answer, for the coming step
};

}  // namespace traklin
