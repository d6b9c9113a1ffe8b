// TStateData: the whole changing state of a run, and the train records it holds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "area/area_data.h"

namespace traklin {

// ---------------------------------------------------------------------------
// Trains

/// Kinds of a train's pending request to the dispatcher.
enum TRequestType : std::uint8_t {
  rqPut = 0,              ///< a station offers to put a train out onto a track
  rqDepartReady = 1,      ///< a train at a station is ready to depart
  rqDepartPermit = 2,     ///< a station asks leave for a departure
  rqReceive = 3,          ///< a station offers to receive an arriving train onto a track
  rqUnsuitableTrack = 4,  ///< the track does not suit the train; receive anyway?
  rqLocoChange = 5,       ///< the train must be received for a locomotive change
  rqNone = 6,             ///< no request pending
};

/// Position of one end (head or tail) of a train. Distances in metres.
struct TTrainEndPosData {
  int PEREGON_IDX = -1;    ///< graph peregon index; -1 inside a station
  int ROUTE_IDX = -1;      ///< route of LP LP_CODE being followed; -1 none
  int LP_CODE = 0;         ///< LP the end is in or last entered; 0 on a peregon
  int SECT_IDX = 0;        ///< section; 0 = not in the district
  double SECT_POS = 0;     ///< 0 .. section length
  int SPEED_LIM_SECT = 0;  ///< km/h
  std::uint8_t DIR = 0;    ///< direction of travel of this end in its section

  bool operator==(const TTrainEndPosData&) const = default;
};

/// One entry of a train's speed log.
struct TTrainLogEntry {
  TDateTime TS = 0;
  double SPEED = 0;   ///< m/s, absolute
  int SPEED_LIM = 0;  ///< km/h
  bool SEMAPH_CLOSED = false;
  bool SEMAPH_WARNING = false;

  bool operator==(const TTrainLogEntry&) const = default;
};

/// A train's speed log, oldest entry first. Entries are added and dropped only through the
/// members below; a caller may change an entry's flags and speeds through back(), never its
/// time. The log knows whether its times never decrease: then the step's trim finds its cut
/// by halving instead of walking the entries.
class TTrainLogData {
 public:
  using value_type = TTrainLogEntry;
  using const_iterator = std::vector<TTrainLogEntry>::const_iterator;
  using const_reverse_iterator = std::vector<TTrainLogEntry>::const_reverse_iterator;

  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }
  const TTrainLogEntry& operator[](std::size_t k) const { return entries_[k]; }
  const TTrainLogEntry& front() const { return entries_.front(); }
  const TTrainLogEntry& back() const { return entries_.back(); }
  TTrainLogEntry& back() { return entries_.back(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  const_reverse_iterator rbegin() const { return entries_.rbegin(); }
  const_reverse_iterator rend() const { return entries_.rend(); }

  void push_back(const TTrainLogEntry& e) {
    // A time not at or after the last one (a clock set back, a NaN from a file) ends the
    // ordering until the log is emptied.
    if (!entries_.empty() && !(e.TS >= entries_.back().TS)) ordered_ = false;
    entries_.push_back(e);
  }
  void clear() {
    entries_.clear();
    ordered_ = true;
  }
  /// Drops the entries from the front up to the first one whose time lies within keep of the
  /// last entry's; the rest are kept even if older.
  void DropOlderThan(TDateTime keep) {
    if (entries_.empty()) return;
    const TDateTime last = entries_.back().TS;
    const auto older = [&](const TTrainLogEntry& e) { return last - e.TS > keep; };
    auto first = entries_.begin();
    if (ordered_)
      first = std::partition_point(entries_.begin(), entries_.end(), older);
    else
      while (first != entries_.end() && older(*first)) ++first;
    entries_.erase(entries_.begin(), first);
  }

  bool operator==(const TTrainLogData& o) const { return entries_ == o.entries_; }

 private:
  std::vector<TTrainLogEntry> entries_;
  bool ordered_ = true;
};

/// One train. Field names are the save-file keys.
struct TTrainData {
  int NUMBER = 0;
  int SCHEDULE_NUMBER = 0;
  int LOCO_IDX = 0;
  int CARS = 0;
  int LEN = 0;        ///< m
  int WEIGHT = 0;     ///< t
  int LOAD_TYPE = 0;  ///< below 100 freight, 100 and above passenger
  int SECT_NEXT_IDX = 0;
  int STOP_SECT_IDX = 0;
  int STOP_ADVICE_SECT_IDX = 0;
  double LOCO_POS = 0;  ///< line coordinate in metres; 0 = not known
  TTrainEndPosData HEAD;
  TTrainEndPosData TAIL;
  double SPEED = 0;   ///< m/s, >= 0
  int SPEED_LIM = 0;  ///< km/h
  bool PASSED_CLOSED = false;
  bool PASSED_SIDE_WARNING = false;
  bool PASSED_NEXT_WARNING = false;
  int SWITCHES = 0;
  int SIDE_SWITCHES = 0;
  int SEMAPH_NEXT_IDX = -1;
  int NEXT_LP_CODE = 0;
  int SCHEDULE_IDX = -1;
  int STOP_LP_CODE = 0;
  int STOP_ADVICE_LP_CODE = 0;
  int PLAN_CREATION_LP_CODE = 0;
  int CREATION_LP_CODE = 0;
  int ARRIVAL_LP_CODE = 0;
  int PLAN_ARRIVAL_LP_CODE = 0;
  TDateTime REQUEST_TIME = 0;
  std::uint8_t REQUEST_TYPE = rqNone;
  int REQUEST_LP_CODE = 0;
  int REQUEST_PERFORMABLE = 0;
  TDateTime CREATE_TIME = 0;
  TDateTime PLAN_CREATE_TIME = 0;
  TDateTime PLACE_TIME = 0;
  bool ARRIVAL_NOTIFIED = false;
  bool DEPARTURE_NOTIFIED = false;
  TDateTime DEPARTURE_TIME = 0;
  bool DEPARTURE_SCHEDULED = false;
  bool DEPARTURE_COMMISSION = false;
  TDateTime POS_LOG_TIME = 0;  ///< not saved
  std::string INDEXED_NAME;    ///< UTF-8
  TTrainLogData LOG;

  bool operator==(const TTrainData&) const = default;
};
using TTrainsData = std::vector<TTrainData>;

/// One entry of the shared position log.
struct TTrainPosLogEntry {
  TDateTime TS = 0;
  int NUMBER = 0;
  std::uint8_t DIR = 0;
  int SECT_IDX = 0;
  double LOCO_POS = 0;  ///< the head's position within its section
  bool KEY_POINT = false;
  bool Flag1 = false;  ///< working flags of the graph window, not saved: read by the graph,
  bool Flag2 = false;  ///< and drawn as the end of a segment
  /// The train was taken off the district here: the next entry of its number starts another
  /// run. Not saved.
  bool RunEnd = false;

  bool operator==(const TTrainPosLogEntry&) const = default;
};
using TTrainPosLogData = std::vector<TTrainPosLogEntry>;

// ---------------------------------------------------------------------------
// Interlocking

/// Colours a lamp refresh computes (red in the low byte).
inline constexpr TColor kLampRed = 0x0000FF;
inline constexpr TColor kLampYellow = 0x00FFFF;
inline constexpr TColor kLampGreen = 0x00FF00;
inline constexpr TColor kLampGrey = 0x505050;
/// Drawn colour after a load: no computed colour takes it, so every lamp is repainted.
inline constexpr TColor kLampRepaint = 0x508050;

struct TLampControlData {
  TColor DrawnColor = kLampGrey;
  bool RED = false;
  bool YELLOW = false;
  bool YELLOW_BLINK = false;
  bool GREEN = false;

  bool operator==(const TLampControlData&) const = default;
};
using TLampControlsData = std::vector<TLampControlData>;

/// Switch position: 0 normal (straight), 1 reverse (side). Save key SIDE.
using TSwitchesData = std::vector<std::uint8_t>;

/// Locks and occupancy of one section's two halves (0 even, 1 odd); -1 = none.
struct TSectionSchuntData {
  int LP_EVEN = -1;
  int LP_ODD = -1;
  int TRN_EVEN = -1;
  int TRN_ODD = -1;
  int ROUTE_EVEN = -1;
  int ROUTE_ODD = -1;

  bool operator==(const TSectionSchuntData&) const = default;
};
using TSectionSchuntsData = std::vector<TSectionSchuntData>;

struct TSemaphoreLightData {
  int SECT_NEXT = 0;  ///< section of the next signal of the set route; 0 = none
  std::uint8_t DIR_NEXT = 0;
  int PREV_SECT_NEXT = 0;
  int SIDE_SWITCHES = 0;
  bool CLOSED = true;
  bool NEXT_WARNING = true;
  bool SIDE_WARNING = false;

  bool operator==(const TSemaphoreLightData&) const = default;
};
using TSemaphoreLightsData = std::vector<TSemaphoreLightData>;

/// (TASKED, SCHUNTED): (0,false) free, (>0,false) assembling, (0,true) set, (>0,true) releasing.
struct TRouteControlData {
  TDateTime TASKED = 0;
  bool SCHUNTED = false;

  bool operator==(const TRouteControlData&) const = default;
};
using TLPRoutesControlData = std::vector<TRouteControlData>;
using TRoutesControlData = std::vector<TLPRoutesControlData>;

struct TGorlTaskData {
  TDateTime TASKED = 0;  ///< 0 = no task
  bool SEND = false;
  bool TRANSIT = false;
  int TRACK = 0;
  std::string DIR;  ///< UTF-8

  bool operator==(const TGorlTaskData&) const = default;
};
using TGorlTasksData = std::vector<TGorlTaskData>;

struct TDepartCommitData {
  TDateTime EVEN = 0;
  TDateTime ODD = 0;

  bool operator==(const TDepartCommitData&) const = default;
};
using TDepartCommitsData = std::vector<TDepartCommitData>;

// ---------------------------------------------------------------------------
// Faults an instructor sets, and the dispatcher's permissions to pass a closed signal

/// What has failed. The values are those of the save.
enum class FaultKind : std::uint8_t {
  Train = 0,    ///< a locomotive: the train stops and stands
  Switch = 1,   ///< a switch will not throw
  Section = 2,  ///< a track circuit shows a train that is not there
  Signal = 3,   ///< a signal will not open
  Limit = 4,    ///< a speed restriction on a stretch
};
inline constexpr int kFaultKinds = 5;

/// One fault in force. Field names are the save-file keys.
struct TFaultData {
  std::uint8_t KIND = 0;  ///< a FaultKind
  /// train: its number; switch: its number; section: the section; signal: the signal index;
  /// limit: the graph peregon index, or with LP the track index of that LP
  int OBJECT = 0;
  /// switch, section, signal: the station (LP index) the fault was set at, -1 for a block
  /// section; limit: the LP of the track, -1 for a peregon; train: -1
  int LP = -1;
  int KMH = 0;            ///< limit: the speed allowed, km/h
  TDateTime SINCE = 0;    ///< when it was set
  TDateTime UNTIL = 0;    ///< when it ends by itself; 0 = when cleared
  bool REPORTED = false;  ///< train: its stop reported; switch: the station reported it

  bool operator==(const TFaultData&) const = default;
};
using TFaultsData = std::vector<TFaultData>;

/// A train let past a closed signal held by a fault: at no more than 20 km/h until its head
/// reaches the next signal or its stop.
struct TPermitData {
  int NUMBER = 0;       ///< the train's number
  int SIGNAL = -1;      ///< the signal it may pass
  bool PASSED = false;  ///< its head is past the signal
  TDateTime SINCE = 0;  ///< when it was given

  bool operator==(const TPermitData&) const = default;
};
using TPermitsData = std::vector<TPermitData>;

// ---------------------------------------------------------------------------

/// The dynamic state. Its arrays run parallel to those of TAreaData and are indexed alike.
struct TStateData {
  TDateTime ClockTime = 0;              ///< simulated date and time
  TDateTime NextRandomFreightTime = 0;  ///< time of the next random freight generation
  TTrainsData Trains;
  TLampControlsData Lamps;          ///< parallel to GraphLamps
  TSwitchesData Switches;           ///< parallel to Strels
  TSectionSchuntsData Sects;        ///< parallel to SlSects
  TSemaphoreLightsData Semaphores;  ///< parallel to Semaphores
  TRoutesControlData Routes;        ///< parallel to TrainRoutes[lp].Routes
  TGorlTasksData Gorls;             ///< parallel to GorlStanzs
  TCreationPlansData RandomPlans;   ///< random freights planned for the day
  /// Minute (day number × 1440 + minute of the day) in which each creation plan was last
  /// tried, parallel to CreationPlans and to RandomPlans; -1 = never. A plan is tried once in
  /// its minute. Not saved.
  std::vector<std::int64_t> PlanAttempts;
  std::vector<std::int64_t> RandomPlanAttempts;
  TTrainPosLogData PosLog;
  TDepartCommitsData DepartCommits;  ///< parallel to Puts
  /// Stations (by LP index) switched to the automatic dispatcher; shorter or empty: the
  /// rest are worked by the dispatcher.
  std::vector<bool> AutoLPs;
  /// Faults in force and permissions given, in the order they were set (saved in a group of
  /// their own, only when there are some).
  TFaultsData Faults;
  TPermitsData Permits;
  /// Per section: the lowest speed a restriction allows there, 0 where none; empty while no
  /// restriction is in force. Derived from Faults (IndexFaults), not saved.
  std::vector<int> LimitBySection;

  bool operator==(const TStateData&) const = default;
};

}  // namespace traklin
