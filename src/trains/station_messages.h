// What stations and trains tell the dispatcher: reports, requests and the repeat rule.
#pragma once

#include <string>

#include "area/date_time.h"
#include "state/simulation_data.h"
#include "trains/train_records.h"

namespace traklin {

/// NotifyDispatcher when a console is attached.
void NotifyText(SimulationData& sim, const std::string& text);

/// Kinds of StationReport.
enum StationReportKind : int {
  srDeparted = 0,
  srArrived = 1,
  srPassed = 2,
  srPutOut = 3,
  srReceived = 4,
};

/// A duty officer's report (InformDispatcher) about train i at LP index lp.
void StationReport(SimulationData& sim, int lp, int i, int kind);
/// Arrival report of a train that came to rest, under the report filters; marks the arrival
/// as reported in any case.
void ArrivalReport(SimulationData& sim, int i, int lp, bool report, bool planned);
/// Departure report of a train starting from a station track, under the report filters.
void DepartureReport(SimulationData& sim, int i, int lp);
/// The head leaves its LP: HEAD_LP_CODE becomes 0, the timetable moves on, and a passing is
/// reported when neither an arrival nor a departure was.
void PassingReport(SimulationData& sim, int i);

/// A station controlled by the dispatcher without a duty officer.
bool LPIsControlled(const TAreaData& area, int lp);
/// A single-sided LP (a post).
bool LPIsPost(const TAreaData& area, int lp);

/// Records the request in the train and asks (performable) or informs the dispatcher.
/// Returns the answer to a question, false otherwise. track is a track index of lp. A question
/// that sim.AnswerStation answers is not asked: the console is told it with that answer
/// (StationAnswered).
bool PostRequest(SimulationData& sim, int lp, int i, int track, bool performable, int kind);
/// The minutes a station waits before it puts the same request of this kind again.
inline int SameRequestPauseMin(const SimulationData& sim, int kind) {
  return kind == rqPut ? sim.Settings.ReapplyPutRequestPauseMin
                       : sim.Settings.ReapplySameRequestPauseMin;
}
/// Whether the train's last request still holds back a new one of this kind from this LP.
/// performable: +1, -1 or 0 for any. A request on record costs a draw at each look. Once its
/// pause is over (a minute unless it is the same request) it lapses with probability 1/4, and
/// surely when it came from another LP.
inline bool RequestIsFresh(SimulationData& sim, int i, int kind, int lpCode, int performable) {
  if (!ValidTrain(sim, i)) return false;
  const TTrainData& t = sim.State.Trains[i];
  if (t.REQUEST_TIME == 0) return false;
  const bool same =
      t.REQUEST_TYPE == kind &&
      (performable == 0 || t.REQUEST_PERFORMABLE == 0 || performable == t.REQUEST_PERFORMABLE) &&
      t.REQUEST_LP_CODE == lpCode;
  const int pauseMin = same ? SameRequestPauseMin(sim, kind) : 1;
  const bool paused = t.REQUEST_TIME + pauseMin * kMinute < sim.State.ClockTime;
  const bool otherLP = t.REQUEST_LP_CODE != lpCode;
  // Waiting trains look every step and the draw goes either way at random: the outcome is
  // combined without a branch on it.
  const bool lapses = sim.Random.Draw(100) < 25;
  return !((lapses | otherLP) & paused);
}
/// A train held at a closed signal calls for attention.
void HeldTrainRequest(SimulationData& sim, int i);
/// The head enters LP lpCode (or the train is created there): timetable check, next stop.
void EnterLP(SimulationData& sim, int i, int lpCode);

}  // namespace traklin
