// The score of a dispatcher's shift: punctuality, the delay made in the district, standing at
// closed signals, safety, the dispatcher's operations and the instructor's faults.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dispatch/punctuality.h"
#include "state/simulation_data.h"

namespace traklin {

/// A train's lateness on entering the district and on leaving it, in whole minutes; being
/// early counts as being on time (0), so a train that runs ahead of its timetable makes none.
struct TrainDelayMade {
  int Number = 0;
  TDateTime Created = 0;
  /// The lateness of its arrival at its first stop, when it came in from outside; 0 for a
  /// train made up or placed in the district (what it leaves with was made here).
  int EnteredMin = 0;
  /// The lateness at its last observed stop, or as late as it is at the end of the run when
  /// that is more (a train held in the district).
  int LeftMin = 0;
  int MadeMin() const { return LeftMin - EnteredMin; }
};

/// The lateness trains gained at a station: over their run from the previous stop and their
/// stay there (from the lateness at the previous stop to that at this one, or from entering
/// at the first stop), as the punctuality report's "delay grew most at" reckons it.
struct StationDelayMade {
  int LPCode = 0;
  std::string Station;
  int Minutes = 0;  ///< the sum of the rises
  int Trains = 0;   ///< the trains whose lateness rose there
};

/// The delay made in the district, worked out from a punctuality report.
struct DelayMade {
  int TotalMin = 0;   ///< the sum over trains of their MadeMin (made up time subtracts)
  int GainedMin = 0;  ///< the sum over trains that left later than they entered
  /// At most five trains that made delay, the most first (ties: by creation, then number).
  std::vector<TrainDelayMade> Trains;
  /// At most five stations where lateness rose, the most first (ties: by LP code).
  std::vector<StationDelayMade> Stations;
};

/// The delay made by the timetable trains of the report. With `now` (the end of the run), a
/// train still in the district whose next timetable time (its departure from the stop it
/// stands at, or its arrival at the next) has passed is at least as late as that time is past,
/// the rise falling to that stop's station; a train with no delay observed and none such makes
/// none.
DelayMade BuildDelayMade(const PunctualityReport& report,
                         std::optional<TDateTime> now = std::nullopt);

/// What went wrong on the line, counted from the core's own messages.
struct SafetyCounts {
  /// "… сошел …" without a collision, and a train stopped on a route that is not set or of
  /// an unknown station.
  int Derailments = 0;
  int Collisions = 0;  ///< "… столкнулся с поездом …"
  int PassedStop = 0;  ///< "… проехал остановку"
  int PassedRed = 0;   ///< "… проехал красный сигнал …"
  int RanOff = 0;  ///< "… выехал за участок …": off the district the wrong way
  int Gridlocks = 0;  ///< "gridlock" events
};

/// The dispatcher's operations (lines of a shift, the scenario's format) and the answers to
/// the stations' questions ("ask" events).
struct OperationCounts {
  int RoutesOrdered = 0;    ///< route and through (a through passage counts once)
  int RoutesCancelled = 0;  ///< cancel and cancelthrough
  int RoutesInverted = 0;   ///< invert and invertthrough
  int Commits = 0;          ///< departure commits given, taken or toggled
  int TasksGiven = 0;       ///< throat tasks done (receive, send, transit)
  int TasksRefused = 0;     ///< throat tasks the station refused
  int TasksCancelled = 0;
  int PutOuts = 0;
  int Holds = 0;
  int NotDone = 0;  ///< every operation refused, tasks included
  int AnsweredYes = 0;
  int AnsweredNo = 0;
  int AnsweredByAuto = 0;  ///< of the answers, those the automatic dispatcher gave
};

/// The instructor's faults and what they cost: counted from the "fault" and "permit" events,
/// and from a look at the trains after each step.
struct FaultCounts {
  int Met = 0;             ///< faults set ("fault" events)
  int PermitsGiven = 0;    ///< permissions to pass a closed signal given ("permit", ok)
  int PermitsRefused = 0;  ///< permissions asked and refused ("permit" with a reason)
  /// The delay that followed the faults: train-minutes at rest of trains broken down, or
  /// standing before a closed signal that a fault holds (a failed signal, a false occupancy
  /// up to the next signal). A restriction's slower running is left to the punctuality figures.
  double StoppedMin = 0;
  bool Any() const { return Met > 0 || PermitsGiven > 0 || PermitsRefused > 0; }
};

/// The figures of one shift.
struct ShiftScore {
  PunctualitySummary Punctuality;
  DelayMade Delay;
  /// Train-minutes spent at rest on a peregon before a closed signal.
  double StandingMin = 0;
  int TrainsStanding = 0;  ///< the trains that stood so at least once
  SafetyCounts Safety;
  OperationCounts Operations;
  FaultCounts Faults;
};

/// Scores a run as it goes: a punctuality recorder (whose hooks it chains, so it is made after
/// the run's event log), a look at every train after each step, and what the run's console
/// and its recorder tell it (Count…). Must not outlive sim.
class ShiftScorer {
 public:
  explicit ShiftScorer(SimulationData& sim);
  ShiftScorer(const ShiftScorer&) = delete;
  ShiftScorer& operator=(const ShiftScorer&) = delete;

  /// After each step: the punctuality recorder's look, and every train standing before a
  /// closed signal on a peregon adds one step.
  void Observe();
  /// Forgets everything (the console's reload ends the shift).
  void Reset();

  /// A message to the dispatcher (a "notify" event's text).
  void CountNotice(std::string_view text);
  /// A station's question answered; byAuto when the automatic dispatcher answered it.
  void CountAnswer(bool yes, bool byAuto);
  /// A gridlock the detector found.
  void CountGridlock();
  /// One operation as a shift records it: its line without the time ("route 2 1 1 4 1") and
  /// its note ("not done: …" when it was refused; a reply's question). Header directives,
  /// replies, standing answers, saves, scale and settings lines are not counted.
  void CountOperation(std::string_view line, std::string_view note);
  /// One line of an event log (JSON): notify, ask, gridlock, fault and permit events are
  /// counted, the others ignored. False for a line that is not a JSON object with an "event".
  bool CountEventLine(std::string_view line);
  /// Every line of an event log; the number of lines that were not events.
  int CountEventLog(std::string_view text);
  /// Every operation line of a shift's text (stamps and header directives skipped, the text
  /// after '#' or ';' taken as the note).
  void CountShiftText(std::string_view text);

  /// The figures so far (the punctuality summary with the tolerance of the settings).
  ShiftScore Score() const;
  const PunctualityRecorder& Recorder() const { return recorder_; }

 private:
  SimulationData& sim_;
  PunctualityRecorder recorder_;
  long standingSteps_ = 0;
  std::set<std::pair<int, double>> stood_;  ///< by number and creation time
  SafetyCounts safety_;
  OperationCounts operations_;
  FaultCounts faults_;
  long faultSteps_ = 0;
};

/// Whether train i stands on a peregon before the closed signal of its head's section (a
/// train stopped for good, or not yet placed, does not).
bool StandsAtClosedSignal(const SimulationData& sim, int i);

/// One shift's column of a score table: its title (a folder's name) and its figures.
struct ScoredShift {
  std::string Title;
  ShiftScore Score;
};

/// The figures as a table (the rows of faults only when a shift met some): one column per shift
/// and, for two, a third with the second minus the first; then the five trains and five stations of
/// each. Captions in Russian, as the console's "Итоги смены" shows them.
std::string FormatShiftScoreTable(const std::vector<ScoredShift>& shifts);
/// A header row and one row per shift (the title first; the columns of faults only when a
/// shift met some); the five trains and stations as
/// "number:minutes" and "station:minutes" joined with ';'.
std::string FormatShiftScoreCsv(const std::vector<ScoredShift>& shifts);

}  // namespace traklin
