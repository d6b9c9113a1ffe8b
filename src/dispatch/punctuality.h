// The punctuality report: each train's timetable stops, planned against what it did.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "state/simulation_data.h"

namespace traklin {

/// One stay of a train's head in a station (LP), as observed after each step.
struct StationVisit {
  int LPCode = 0;
  TDateTime Enter = 0;      ///< the head entered the station
  TDateTime Leave = 0;      ///< the head left it; 0 while still there
  TDateTime FirstStop = 0;  ///< the train first came to rest there; 0: it never stopped
  TDateTime LastStart = 0;  ///< it last started after a rest there; 0: it did not
  TDateTime LastRest = 0;   ///< the last step it was seen at rest there
};

/// What one train did on the district, in the order of the stations it visited.
struct TrainRun {
  int Number = 0;
  TDateTime Created = 0;  ///< CREATE_TIME: tells the runs of a daily number apart
  bool Finished = false;  ///< taken off the district during the run
  bool HasTimetable = false;
  /// A random freight: it borrows a timetable entry for its route, not for its times.
  bool Random = false;
  TStopsData Timetable;  ///< the stops of its timetable entry (copied when first seen)
  std::vector<StationVisit> Visits;
};

/// Keeps a TrainRun for every train the simulation places, through its creation and removal
/// hooks (chained to those already set) and Observe after each step. Must not outlive sim.
class PunctualityRecorder {
 public:
  explicit PunctualityRecorder(SimulationData& sim);
  ~PunctualityRecorder();
  PunctualityRecorder(const PunctualityRecorder&) = delete;
  PunctualityRecorder& operator=(const PunctualityRecorder&) = delete;

  /// Looks at every train in the district: where its head is and whether it moves.
  void Observe();
  /// Forgets every run (the console's reload abandons the timeline they belong to); the trains
  /// in the district are taken up again at the next Observe.
  void Reset();
  /// Every run seen, in the order first seen.
  const std::vector<TrainRun>& Runs() const { return runs_; }

 private:
  void ObserveTrain(int i);
  std::size_t RunOf(int i);

  SimulationData& sim_;
  std::function<void(int, TrainSource)> prevCreated_;
  std::function<void(int)> prevRemoving_;
  std::vector<TrainRun> runs_;
  /// Runs of the trains still in the district, by number and creation time.
  std::map<std::pair<int, double>, std::size_t> alive_;
};

/// One timetable stop of a train; a time that was not observed is empty.
struct StopPunctuality {
  int LPCode = 0;
  std::string Station;
  std::optional<TDateTime> PlannedArrival, ActualArrival;
  std::optional<TDateTime> PlannedDeparture, ActualDeparture;
  /// Minutes late (negative: early) at departure, or at arrival where it did not depart.
  std::optional<int> DelayMin;
};

struct TrainPunctuality {
  int Number = 0;
  TDateTime Created = 0;
  bool Finished = false;
  std::vector<StopPunctuality> Stops;
  std::optional<int> FinalDelayMin;  ///< the delay at its last observed stop
};

/// How much delay trains gained at a station (the rise since their previous stop).
struct StationDelayGrowth {
  int LPCode = 0;
  std::string Station;
  int Minutes = 0;  ///< sum of the rises
  int Trains = 0;   ///< trains whose delay rose there
};

struct PunctualitySummary {
  int ToleranceMin = 0;
  int Run = 0;       ///< timetable trains seen on the district
  int Finished = 0;  ///< of those, taken off the district
  int OnTime = 0;    ///< finished with a final delay within the tolerance
  /// Over finished trains with a known final delay; empty when there are none.
  std::optional<double> MeanDelayMin;
  std::optional<int> WorstDelayMin;
  int WorstTrain = 0;
  std::vector<StationDelayGrowth> Growth;  ///< at most five, the largest first
};

struct PunctualityReport {
  std::vector<TrainPunctuality> Trains;  ///< by creation time, then number
  PunctualitySummary Summary;
};

/// Matches each run's visits to its timetable stops in order (a stop without a visit after
/// the previous match stays unobserved). Planned times lie on the day nearest the train's
/// creation, later stops never before earlier ones. Trains without a timetable, and random
/// freights, are left out.
PunctualityReport BuildPunctualityReport(const TAreaData& area, const std::vector<TrainRun>& runs,
                                         int toleranceMin);

/// One CSV row per stop with a header row; times "YYYY-MM-DD HH:MM:SS", empty when unknown.
std::string FormatPunctualityCsv(const PunctualityReport& report);
/// The stops of each train as a table, then the summary.
std::string FormatPunctualityTable(const PunctualityReport& report);
/// The summary lines alone.
std::string FormatPunctualitySummary(const PunctualitySummary& summary);

}  // namespace traklin
