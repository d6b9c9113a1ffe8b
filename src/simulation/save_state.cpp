// SaveState and LoadState: the whole dynamic state in a save file, and last.sav with its copies.
#include "simulation/save_state.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <system_error>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/date_time.h"
#include "simulation/save_file.h"
#include "state/faults.h"
#include "state/interlocking.h"

namespace traklin {
namespace fs = std::filesystem;

namespace {

const std::string kState = "STATE";
const std::string kTrains = "TRAINS";
const std::string kLamps = "LAMPS";
const std::string kSwitches = "SWITCHES";
const std::string kSects = "SECTS";
const std::string kSemaphores = "SEMAPHORES";
const std::string kRoutes = "ROUTES";
const std::string kGorls = "GORLS";
const std::string kCommits = "LP_DEPART_COMMITS";
const std::string kPlans = "TRAINS_RANDOM_PLANS";
const std::string kPosLog = "TRAIN_POS_LOG";
// Written after the last group only when some station is automated, so that a plain save
// keeps the classic layout and a reader of that layout stops before it.
const std::string kAuto = "AUTO_DISPATCHER";
// Faults in force and permissions given: last, and only when there are some, for the same
// reason.
const std::string kFaults = "FAULTS";

/// The calendar of TDateTime: 1 January 1 to 31 December 9999.
constexpr double kFirstDay = -693593.0;
constexpr double kDayAfterLast = 2958466.0;
/// A save is read whole; nothing the program writes comes near this.
constexpr std::uintmax_t kMaxSaveBytes = 256u << 20;
/// Slack on positions within a section (rounding of the motion's arithmetic).
constexpr double kPositionSlack = 1.0;

std::string Key(const char* prefix, int i, const char* name) {
  return prefix + std::to_string(i) + "_" + name;
}

// ---------------------------------------------------------------------------
// Writing

void WriteEnd(TSaveFile& f, const std::string& p, const char* end, const TTrainEndPosData& e) {
  auto k = [&](const char* name) { return p + end + name; };
  f.WriteInteger(kTrains, k("SECT_IDX"), e.SECT_IDX);
  f.WriteReal(kTrains, k("SECT_POS"), e.SECT_POS);
  f.WriteInteger(kTrains, k("PEREGON_IDX"), e.PEREGON_IDX);
  f.WriteInteger(kTrains, k("ROUTE_IDX"), e.ROUTE_IDX);
  f.WriteInteger(kTrains, k("LP_CODE"), e.LP_CODE);
  f.WriteInteger(kTrains, k("SPEED_LIM_SECT"), e.SPEED_LIM_SECT);
  f.WriteByte(kTrains, k("DIR"), e.DIR);
}

void WriteTrain(TSaveFile& f, int i, const TTrainData& t) {
  const std::string p = "TRAIN_" + std::to_string(i) + "_";
  auto I = [&](const char* name, int v) { f.WriteInteger(kTrains, p + name, v); };
  auto R = [&](const char* name, double v) { f.WriteReal(kTrains, p + name, v); };
  auto B = [&](const char* name, bool v) { f.WriteBool(kTrains, p + name, v); };
  I("NUMBER", t.NUMBER);
  I("SCHEDULE_NUMBER", t.SCHEDULE_NUMBER);
  I("LOCO_IDX", t.LOCO_IDX);
  I("CARS", t.CARS);
  I("LEN", t.LEN);
  I("WEIGHT", t.WEIGHT);
  I("LOAD_TYPE", t.LOAD_TYPE);
  I("SECT_NEXT_IDX", t.SECT_NEXT_IDX);
  I("STOP_SECT_IDX", t.STOP_SECT_IDX);
  I("STOP_ADVICE_SECT_IDX", t.STOP_ADVICE_SECT_IDX);
  R("LOCO_POS", t.LOCO_POS);
  WriteEnd(f, p, "HEAD_", t.HEAD);
  WriteEnd(f, p, "TAIL_", t.TAIL);
  R("SPEED", t.SPEED);
  I("SPEED_LIM", t.SPEED_LIM);
  B("PASSED_CLOSED", t.PASSED_CLOSED);
  B("PASSED_SIDE_WARNING", t.PASSED_SIDE_WARNING);
  B("PASSED_NEXT_WARNING", t.PASSED_NEXT_WARNING);
  I("SWITCHES", t.SWITCHES);
  I("SIDE_SWITCHES", t.SIDE_SWITCHES);
  I("SEMAPH_NEXT_IDX", t.SEMAPH_NEXT_IDX);
  I("NEXT_LP_CODE", t.NEXT_LP_CODE);
  I("SCHEDULE_IDX", t.SCHEDULE_IDX);
  I("STOP_LP_CODE", t.STOP_LP_CODE);
  I("STOP_ADVICE_LP_CODE", t.STOP_ADVICE_LP_CODE);
  I("PLAN_CREATION_LP_CODE", t.PLAN_CREATION_LP_CODE);
  I("CREATION_LP_CODE", t.CREATION_LP_CODE);
  I("ARRIVAL_LP_CODE", t.ARRIVAL_LP_CODE);
  I("PLAN_ARRIVAL_LP_CODE", t.PLAN_ARRIVAL_LP_CODE);
  R("REQUEST_TIME", t.REQUEST_TIME);
  I("REQUEST_TYPE", t.REQUEST_TYPE);
  I("REQUEST_LP_CODE", t.REQUEST_LP_CODE);
  I("REQUEST_PERFORMABLE", t.REQUEST_PERFORMABLE);
  R("CREATE_TIME", t.CREATE_TIME);
  R("PLAN_CREATE_TIME", t.PLAN_CREATE_TIME);
  R("PLACE_TIME", t.PLACE_TIME);
  B("ARRIVAL_NOTIFIED", t.ARRIVAL_NOTIFIED);
  B("DEPARTURE_NOTIFIED", t.DEPARTURE_NOTIFIED);
  R("DEPARTURE_TIME", t.DEPARTURE_TIME);
  B("DEPARTURE_SCHEDULED", t.DEPARTURE_SCHEDULED);
  B("DEPARTURE_COMMISSION", t.DEPARTURE_COMMISSION);
  f.WriteString(kTrains, p + "INDEXED_NAME", t.INDEXED_NAME);
  I("LOG_LEN", static_cast<int>(t.LOG.size()));
  for (int j = 0; j < static_cast<int>(t.LOG.size()); ++j) {
    const TTrainLogEntry& e = t.LOG[j];
    const std::string q = p + "LOG_" + std::to_string(j) + "_";
    f.WriteReal(kTrains, q + "TS", e.TS);
    f.WriteReal(kTrains, q + "SPEED", e.SPEED);
    f.WriteInteger(kTrains, q + "SPEED_LIM", e.SPEED_LIM);
    f.WriteBool(kTrains, q + "SEMAPH_CLOSED", e.SEMAPH_CLOSED);
    f.WriteBool(kTrains, q + "SEMAPH_WARNING", e.SEMAPH_WARNING);
  }
}

int Size(std::size_t n) {
  return static_cast<int>(n);
}

}  // namespace

std::string WriteStateText(const SimulationData& sim) {
  const TStateData& st = sim.State;
  TSaveFile f;
  f.WriteInteger(kState, "VERSION", kSaveVersion);
  f.WriteInteger(kState, "AREA", sim.AreaData.AreaNumber);
  f.WriteReal(kState, "CLOCKTIME", st.ClockTime);
  f.WriteReal(kState, "NEXTRANDOMFREIGHTTIME", st.NextRandomFreightTime);

  f.WriteInteger(kTrains, "LEN", Size(st.Trains.size()));
  for (int i = 0; i < Size(st.Trains.size()); ++i) WriteTrain(f, i, st.Trains[i]);

  f.WriteInteger(kLamps, "LEN", Size(st.Lamps.size()));
  for (int i = 0; i < Size(st.Lamps.size()); ++i) {
    const TLampControlData& l = st.Lamps[i];
    f.WriteBool(kLamps, Key("LAMP_", i, "RED"), l.RED);
    f.WriteBool(kLamps, Key("LAMP_", i, "YELLOW"), l.YELLOW);
    f.WriteBool(kLamps, Key("LAMP_", i, "YELLOW_BLINK"), l.YELLOW_BLINK);
    f.WriteBool(kLamps, Key("LAMP_", i, "GREEN"), l.GREEN);
  }

  f.WriteInteger(kSwitches, "LEN", Size(st.Switches.size()));
  for (int i = 0; i < Size(st.Switches.size()); ++i)
    f.WriteBool(kSwitches, Key("SWITCH_", i, "SIDE"), st.Switches[i] != 0);

  f.WriteInteger(kSects, "LEN", Size(st.Sects.size()));
  for (int i = 0; i < Size(st.Sects.size()); ++i) {
    const TSectionSchuntData& s = st.Sects[i];
    f.WriteInteger(kSects, Key("SECT_", i, "SCHUNT_LP_EVEN"), s.LP_EVEN);
    f.WriteInteger(kSects, Key("SECT_", i, "SCHUNT_LP_ODD"), s.LP_ODD);
    f.WriteInteger(kSects, Key("SECT_", i, "SCHUNT_TRN_EVEN"), s.TRN_EVEN);
    f.WriteInteger(kSects, Key("SECT_", i, "SCHUNT_TRN_ODD"), s.TRN_ODD);
    f.WriteInteger(kSects, Key("SECT_", i, "SCHUNT_ROUTE_EVEN"), s.ROUTE_EVEN);
    f.WriteInteger(kSects, Key("SECT_", i, "SCHUNT_ROUTE_ODD"), s.ROUTE_ODD);
  }

  f.WriteInteger(kSemaphores, "LEN", Size(st.Semaphores.size()));
  for (int i = 0; i < Size(st.Semaphores.size()); ++i) {
    const TSemaphoreLightData& s = st.Semaphores[i];
    f.WriteInteger(kSemaphores, Key("SEMAPHORE_", i, "SECT_NEXT"), s.SECT_NEXT);
    f.WriteByte(kSemaphores, Key("SEMAPHORE_", i, "DIR_NEXT"), s.DIR_NEXT);
    f.WriteInteger(kSemaphores, Key("SEMAPHORE_", i, "PREV_SECT_NEXT"), s.PREV_SECT_NEXT);
    f.WriteInteger(kSemaphores, Key("SEMAPHORE_", i, "SIDE_SWITCHES"), s.SIDE_SWITCHES);
    f.WriteBool(kSemaphores, Key("SEMAPHORE_", i, "CLOSED"), s.CLOSED);
    f.WriteBool(kSemaphores, Key("SEMAPHORE_", i, "NEXT_WARNING"), s.NEXT_WARNING);
    f.WriteBool(kSemaphores, Key("SEMAPHORE_", i, "SIDE_WARNING"), s.SIDE_WARNING);
  }

  f.WriteInteger(kRoutes, "LEN", Size(st.Routes.size()));
  for (int l = 0; l < Size(st.Routes.size()); ++l) {
    const std::string p = "LP_" + std::to_string(l) + "_";
    f.WriteInteger(kRoutes, p + "LEN", Size(st.Routes[l].size()));
    for (int j = 0; j < Size(st.Routes[l].size()); ++j) {
      const std::string q = p + "ROUTE_" + std::to_string(j) + "_";
      f.WriteReal(kRoutes, q + "TASKED", st.Routes[l][j].TASKED);
      f.WriteBool(kRoutes, q + "SCHUNTED", st.Routes[l][j].SCHUNTED);
    }
  }

  f.WriteInteger(kGorls, "LEN", Size(st.Gorls.size()));
  for (int i = 0; i < Size(st.Gorls.size()); ++i) {
    const TGorlTaskData& g = st.Gorls[i];
    f.WriteReal(kGorls, Key("GORL_", i, "TASK_TASKED"), g.TASKED);
    f.WriteBool(kGorls, Key("GORL_", i, "TASK_SEND"), g.SEND);
    f.WriteBool(kGorls, Key("GORL_", i, "TASK_TRANSIT"), g.TRANSIT);
    f.WriteInteger(kGorls, Key("GORL_", i, "TASK_TRACK"), g.TRACK);
    f.WriteString(kGorls, Key("GORL_", i, "TASK_DIR"), g.DIR);
  }

  f.WriteInteger(kCommits, "LEN", Size(st.DepartCommits.size()));
  for (int l = 0; l < Size(st.DepartCommits.size()); ++l) {
    f.WriteReal(kCommits, Key("LP_", l, "DC_EVEN"), st.DepartCommits[l].EVEN);
    f.WriteReal(kCommits, Key("LP_", l, "DC_ODD"), st.DepartCommits[l].ODD);
  }

  f.WriteInteger(kPlans, "LEN", Size(st.RandomPlans.size()));
  for (int i = 0; i < Size(st.RandomPlans.size()); ++i) {
    const TCreationPlanData& p = st.RandomPlans[i];
    f.WriteInteger(kPlans, Key("PLAN_", i, "CREATION_AT"), p.Time);
    f.WriteInteger(kPlans, Key("PLAN_", i, "TRAIN_NUMBER"), p.Number);
    f.WriteString(kPlans, Key("PLAN_", i, "SCHEDULE_NUMBER"), p.Name);
    f.WriteInteger(kPlans, Key("PLAN_", i, "CREATION_LP_CODE"), p.CreationPoint);
    f.WriteInteger(kPlans, Key("PLAN_", i, "ARRIVAL_LP_CODE"), p.ArrivalPoint);
    f.WriteInteger(kPlans, Key("PLAN_", i, "FREIGHT_LOAD_TYPE"), p.LoadType);
  }

  f.WriteInteger(kPosLog, "LEN", Size(st.PosLog.size()));
  for (int i = 0; i < Size(st.PosLog.size()); ++i) {
    const TTrainPosLogEntry& e = st.PosLog[i];
    f.WriteReal(kPosLog, Key("TRAIN_POS_LOG_", i, "TS"), e.TS);
    f.WriteInteger(kPosLog, Key("TRAIN_POS_LOG_", i, "NUMBER"), e.NUMBER);
    f.WriteByte(kPosLog, Key("TRAIN_POS_LOG_", i, "DIR"), e.DIR);
    f.WriteReal(kPosLog, Key("TRAIN_POS_LOG_", i, "LOCO_POS"), e.LOCO_POS);
    f.WriteInteger(kPosLog, Key("TRAIN_POS_LOG_", i, "SECT_IDX"), e.SECT_IDX);
    f.WriteBool(kPosLog, Key("TRAIN_POS_LOG_", i, "KEY_POINT"), e.KEY_POINT);
  }

  if (std::find(st.AutoLPs.begin(), st.AutoLPs.end(), true) != st.AutoLPs.end()) {
    const int n = Size(sim.AreaData.Puts.size());
    f.WriteInteger(kAuto, "LEN", n);
    for (int l = 0; l < n; ++l)
      f.WriteBool(kAuto, Key("LP_", l, "AUTO"), l < Size(st.AutoLPs.size()) && st.AutoLPs[l]);
  }

  if (!st.Faults.empty() || !st.Permits.empty()) {
    f.WriteInteger(kFaults, "LEN", Size(st.Faults.size()));
    for (int i = 0; i < Size(st.Faults.size()); ++i) {
      const TFaultData& x = st.Faults[i];
      f.WriteByte(kFaults, Key("FAULT_", i, "KIND"), x.KIND);
      f.WriteInteger(kFaults, Key("FAULT_", i, "OBJECT"), x.OBJECT);
      f.WriteInteger(kFaults, Key("FAULT_", i, "LP"), x.LP);
      f.WriteInteger(kFaults, Key("FAULT_", i, "KMH"), x.KMH);
      f.WriteReal(kFaults, Key("FAULT_", i, "SINCE"), x.SINCE);
      f.WriteReal(kFaults, Key("FAULT_", i, "UNTIL"), x.UNTIL);
      f.WriteBool(kFaults, Key("FAULT_", i, "REPORTED"), x.REPORTED);
    }
    f.WriteInteger(kFaults, "PERMIT_LEN", Size(st.Permits.size()));
    for (int i = 0; i < Size(st.Permits.size()); ++i) {
      const TPermitData& p = st.Permits[i];
      f.WriteInteger(kFaults, Key("PERMIT_", i, "NUMBER"), p.NUMBER);
      f.WriteInteger(kFaults, Key("PERMIT_", i, "SIGNAL"), p.SIGNAL);
      f.WriteBool(kFaults, Key("PERMIT_", i, "PASSED"), p.PASSED);
      f.WriteReal(kFaults, Key("PERMIT_", i, "SINCE"), p.SINCE);
    }
  }
  return f.Text();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

/// Reads one save text group by group into a scratch state, checking every value against the
/// district before anything can use it.
class StateReader {
 public:
  StateReader(const TAreaData& area, std::string_view bytes, const TStateData& live,
              TStateData& out, SaveSummary& summary)
      : area_(area), f_(bytes), live_(live), st_(out), sum_(summary) {}

  void Read() {
    ReadStateGroup();
    ReadTrains();
    ReadLamps();
    ReadSwitches();
    ReadSects();
    ReadSemaphores();
    ReadRoutes();
    ReadGorls();
    ReadCommits();
    ReadPlans();
    ReadPosLog();
    ReadAuto();
    ReadFaults();
    st_.ClockTime = sum_.ClockTime;
    st_.NextRandomFreightTime = sum_.NextRandomFreightTime;
  }

 private:
  // Values -------------------------------------------------------------------

  [[noreturn]] void OutOfRange(const std::string& key, const std::string& value) {
    f_.Fail("Value out of range: " + key + "=" + value);
  }
  int Int(const std::string& g, const std::string& key) { return f_.ReadInteger(g, key); }
  bool Bool(const std::string& g, const std::string& key) { return f_.ReadBool(g, key); }
  double Real(const std::string& g, const std::string& key) { return f_.ReadReal(g, key); }
  /// An integer within lo..hi.
  int Ranged(const std::string& g, const std::string& key, int lo, int hi) {
    const int v = Int(g, key);
    if (v < lo || v > hi) OutOfRange(key, std::to_string(v));
    return v;
  }
  std::uint8_t Direction(const std::string& g, const std::string& key) {
    return static_cast<std::uint8_t>(Ranged(g, key, 0, 1));
  }
  /// A section number or 0 (none).
  int Section(const std::string& g, const std::string& key) {
    return Ranged(g, key, 0, Size(area_.SlSects.size()) - 1);
  }
  /// An index into a table of n entries, or -1.
  int IndexOrNone(const std::string& g, const std::string& key, std::size_t n) {
    return Ranged(g, key, -1, Size(n) - 1);
  }
  /// A length that must equal the district's.
  void SameLength(const std::string& g, const std::string& key, std::size_t expected) {
    const int n = Int(g, key);
    if (n != Size(expected))
      f_.Fail(g + ": " + key + " " + std::to_string(n) + " does not fit the district (" +
              std::to_string(expected) + ")");
  }
  bool Has(int fromVersion) const { return version_ >= fromVersion; }
  static std::uint8_t Parity(int number) { return static_cast<std::uint8_t>(number & 1); }

  // Groups -------------------------------------------------------------------

  void ReadStateGroup() {
    const std::string_view versionText = f_.ReadValue(kState, "VERSION");
    if (!ParseSaveInteger(versionText, version_))
      f_.Fail("'" + std::string(versionText) + "' is not a valid integer value");
    if (version_ < kMinSaveVersion || version_ > kSaveVersion)
      f_.Fail("Save file version " + std::to_string(version_) + " is not supported (" +
              std::to_string(kMinSaveVersion) + " to " + std::to_string(kSaveVersion) + ")");
    sum_.Version = version_;
    sum_.Area = Int(kState, "AREA");
    if (sum_.Area != area_.AreaNumber)
      f_.Fail("Save file of district " + std::to_string(sum_.Area) + ", not of district " +
              std::to_string(area_.AreaNumber));
    sum_.ClockTime = Time(kState, "CLOCKTIME");
    sum_.NextRandomFreightTime = Time(kState, "NEXTRANDOMFREIGHTTIME");
    clock_ = sum_.ClockTime;
  }
  /// A non-empty real inside the calendar.
  double Time(const std::string& g, const std::string& key) {
    const std::string_view text = f_.ReadValue(g, key);
    if (text.empty()) f_.Fail("Empty " + key);
    double t = 0;
    if (!ParseSaveReal(text, t))
      f_.Fail("'" + std::string(text) + "' is not a valid floating point value");
    if (t < kFirstDay || t >= kDayAfterLast) OutOfRange(key, std::string(text));
    return t;
  }

  void ReadEnd(const std::string& p, const char* end, TTrainEndPosData& e, int number) {
    auto k = [&](const char* name) { return p + end + name; };
    e.SECT_IDX = Section(kTrains, k("SECT_IDX"));
    e.SECT_POS = Real(kTrains, k("SECT_POS"));
    if (e.SECT_IDX > 0) {
      const TSlSectData& s = area_.SlSects[e.SECT_IDX];
      const double longest = std::max(s.Length, s.SideLength);
      if (e.SECT_POS < -kPositionSlack || e.SECT_POS > longest + kPositionSlack)
        OutOfRange(k("SECT_POS"), FormatSaveReal(e.SECT_POS));
    }
    e.PEREGON_IDX = IndexOrNone(kTrains, k("PEREGON_IDX"), area_.GraphPeregons.size());
    e.ROUTE_IDX = Int(kTrains, k("ROUTE_IDX"));
    e.LP_CODE = Int(kTrains, k("LP_CODE"));
    if (e.ROUTE_IDX != -1) {
      const int lp = FindLPIndex(area_, e.LP_CODE);
      if (e.ROUTE_IDX < 0 || lp < 0 || lp >= Size(area_.TrainRoutes.size()) ||
          e.ROUTE_IDX >= Size(area_.TrainRoutes[lp].Routes.size()))
        OutOfRange(k("ROUTE_IDX"), std::to_string(e.ROUTE_IDX));
    }
    if (Has(8)) e.SPEED_LIM_SECT = Int(kTrains, k("SPEED_LIM_SECT"));
    e.DIR = Has(12) ? Direction(kTrains, k("DIR")) : Parity(number);
  }

  void ReadTrain(int i, TTrainData& t) {
    const std::string p = "TRAIN_" + std::to_string(i) + "_";
    auto I = [&](const char* name) { return Int(kTrains, p + name); };
    auto R = [&](const char* name) { return Real(kTrains, p + name); };
    auto B = [&](const char* name) { return Bool(kTrains, p + name); };
    auto NotNegative = [&](const char* name) { return Ranged(kTrains, p + name, 0, INT32_MAX); };
    auto Sect = [&](const char* name) { return Section(kTrains, p + name); };

    t.NUMBER = I("NUMBER");
    t.SCHEDULE_NUMBER = Has(15) ? I("SCHEDULE_NUMBER") : t.NUMBER;
    t.LOCO_IDX = Ranged(kTrains, p + "LOCO_IDX", 0, Size(area_.Locos.size()) - 1);
    t.CARS = NotNegative("CARS");
    t.LEN = NotNegative("LEN");
    t.WEIGHT = NotNegative("WEIGHT");
    t.LOAD_TYPE = I("LOAD_TYPE");
    t.SECT_NEXT_IDX = Sect("SECT_NEXT_IDX");
    t.STOP_SECT_IDX = Sect("STOP_SECT_IDX");
    if (Has(11)) t.STOP_ADVICE_SECT_IDX = Sect("STOP_ADVICE_SECT_IDX");
    t.LOCO_POS = R("LOCO_POS");
    ReadEnd(p, "HEAD_", t.HEAD, t.NUMBER);
    ReadEnd(p, "TAIL_", t.TAIL, t.NUMBER);
    t.SPEED = std::fabs(R("SPEED"));
    if (!Has(8)) {
      // Older files knew one section limit, the head's.
      t.HEAD.SPEED_LIM_SECT = I("SPEED_LIM_SECT");
      t.TAIL.SPEED_LIM_SECT = 0;
    }
    t.SPEED_LIM = I("SPEED_LIM");
    t.PASSED_CLOSED = B("PASSED_CLOSED");
    t.PASSED_SIDE_WARNING = B("PASSED_SIDE_WARNING");
    t.PASSED_NEXT_WARNING = B("PASSED_NEXT_WARNING");
    if (Has(14)) {
      t.SWITCHES = NotNegative("SWITCHES");
      t.SIDE_SWITCHES = NotNegative("SIDE_SWITCHES");
    }
    t.SEMAPH_NEXT_IDX = IndexOrNone(kTrains, p + "SEMAPH_NEXT_IDX", area_.Semaphores.size());
    t.NEXT_LP_CODE = I("NEXT_LP_CODE");
    const TGraphTrainsData& list =
        GetScheduleTrains(area_, t.SCHEDULE_NUMBER & 1, t.LOAD_TYPE < 100);
    const int entry = FindScheduleTrain(list, t.SCHEDULE_NUMBER);
    const bool hasEntry = entry >= 0 && entry < Size(list.size());
    if (Has(16)) {
      // Past its last stop a train may point one beyond the list.
      const int last = hasEntry ? Size(list[entry].Stops.size()) : INT32_MAX;
      t.SCHEDULE_IDX = Ranged(kTrains, p + "SCHEDULE_IDX", -1, last);
    } else {
      t.SCHEDULE_IDX = hasEntry ? 0 : -1;
    }
    t.STOP_LP_CODE = I("STOP_LP_CODE");
    if (Has(11)) t.STOP_ADVICE_LP_CODE = I("STOP_ADVICE_LP_CODE");
    if (Has(6)) t.PLAN_CREATION_LP_CODE = I("PLAN_CREATION_LP_CODE");
    t.CREATION_LP_CODE = I("CREATION_LP_CODE");
    t.ARRIVAL_LP_CODE = I("ARRIVAL_LP_CODE");
    if (Has(6)) t.PLAN_ARRIVAL_LP_CODE = I("PLAN_ARRIVAL_LP_CODE");
    if (!Has(6) || (version_ == 6 && t.PLAN_CREATION_LP_CODE == 0))
      t.PLAN_CREATION_LP_CODE = t.CREATION_LP_CODE;
    if (!Has(6) || (version_ == 6 && t.PLAN_ARRIVAL_LP_CODE == 0))
      t.PLAN_ARRIVAL_LP_CODE = t.ARRIVAL_LP_CODE;
    t.REQUEST_TIME = R("REQUEST_TIME");
    if (Has(6)) {
      const int type = I("REQUEST_TYPE");
      if (type < rqPut || type > rqNone) f_.Fail("Bad engineer request value");
      t.REQUEST_TYPE = static_cast<std::uint8_t>(type);
    } else {
      t.REQUEST_TYPE = rqNone;
    }
    t.REQUEST_LP_CODE = Has(7) ? I("REQUEST_LP_CODE") : 0;
    t.REQUEST_PERFORMABLE = Has(18) ? I("REQUEST_PERFORMABLE") : 0;
    t.CREATE_TIME = Has(3) ? R("CREATE_TIME") : 0;
    t.PLAN_CREATE_TIME = Has(17) ? R("PLAN_CREATE_TIME") : 0;
    t.PLACE_TIME = Has(3) ? R("PLACE_TIME") : 0;
    t.ARRIVAL_NOTIFIED = Has(4) && B("ARRIVAL_NOTIFIED");
    t.DEPARTURE_NOTIFIED = Has(4) && B("DEPARTURE_NOTIFIED");
    t.DEPARTURE_TIME = R("DEPARTURE_TIME");
    t.DEPARTURE_SCHEDULED = B("DEPARTURE_SCHEDULED");
    t.DEPARTURE_COMMISSION = B("DEPARTURE_COMMISSION");
    if (Has(13)) t.INDEXED_NAME = f_.ReadString(kTrains, p + "INDEXED_NAME");

    // The log grows entry by entry: a length is never trusted to size anything.
    const int logLen = I("LOG_LEN");
    for (int j = 0; j < logLen; ++j) {
      const std::string q = p + "LOG_" + std::to_string(j) + "_";
      TTrainLogEntry e;
      e.TS = Real(kTrains, q + "TS");
      e.SPEED = Real(kTrains, q + "SPEED");
      e.SPEED_LIM = Int(kTrains, q + "SPEED_LIM");
      e.SEMAPH_CLOSED = Bool(kTrains, q + "SEMAPH_CLOSED");
      e.SEMAPH_WARNING = Bool(kTrains, q + "SEMAPH_WARNING");
      t.LOG.push_back(e);
    }
  }

  void ReadTrains() {
    const int n = Int(kTrains, "LEN");
    for (int i = 0; i < n; ++i) {
      TTrainData t;
      ReadTrain(i, t);
      st_.Trains.push_back(std::move(t));
    }
    sum_.Groups.emplace_back(kTrains, Size(st_.Trains.size()));
  }

  void ReadLamps() {
    SameLength(kLamps, "LEN", area_.GraphLamps.size());
    st_.Lamps.assign(area_.GraphLamps.size(), TLampControlData{});
    for (int i = 0; i < Size(st_.Lamps.size()); ++i) {
      TLampControlData& l = st_.Lamps[i];
      // The panel repaints every lamp after a load; the LP lamps show the selection, which a
      // load clears.
      l.DrawnColor = kLampRepaint;
      l.RED = Bool(kLamps, Key("LAMP_", i, "RED"));
      l.YELLOW = Bool(kLamps, Key("LAMP_", i, "YELLOW")) && i > area_.StationCount;
      l.YELLOW_BLINK = Bool(kLamps, Key("LAMP_", i, "YELLOW_BLINK"));
      l.GREEN = Bool(kLamps, Key("LAMP_", i, "GREEN"));
    }
    sum_.Groups.emplace_back(kLamps, Size(st_.Lamps.size()));
  }

  void ReadSwitches() {
    SameLength(kSwitches, "LEN", area_.Strels.size());
    st_.Switches.assign(area_.Strels.size(), 0);
    for (int i = 0; i < Size(st_.Switches.size()); ++i)
      st_.Switches[i] = Bool(kSwitches, Key("SWITCH_", i, "SIDE")) ? 1 : 0;
    sum_.Groups.emplace_back(kSwitches, Size(st_.Switches.size()));
  }

  /// A half's lock: the LP index -1 or valid; the route -1 or a route of that LP.
  void ReadLock(int i, const char* lpName, const char* routeName, int lp, int& route) {
    route = Int(kSects, Key("SECT_", i, routeName));
    if (route == -1) return;
    if (route < 0 || lp < 0 || route >= Size(area_.TrainRoutes[lp].Routes.size()))
      OutOfRange(Key("SECT_", i, routeName),
                 std::to_string(route) + " (" + lpName + " " + std::to_string(lp) + ")");
  }

  void ReadSects() {
    SameLength(kSects, "LEN", area_.SlSects.size());
    st_.Sects.assign(area_.SlSects.size(), TSectionSchuntData{});
    const std::size_t lps = area_.TrainRoutes.size();
    const std::size_t trains = st_.Trains.size();
    for (int i = 0; i < Size(st_.Sects.size()); ++i) {
      TSectionSchuntData& s = st_.Sects[i];
      s.LP_EVEN = IndexOrNone(kSects, Key("SECT_", i, "SCHUNT_LP_EVEN"), lps);
      s.LP_ODD = IndexOrNone(kSects, Key("SECT_", i, "SCHUNT_LP_ODD"), lps);
      if (Has(19)) {
        s.TRN_EVEN = IndexOrNone(kSects, Key("SECT_", i, "SCHUNT_TRN_EVEN"), trains);
        s.TRN_ODD = IndexOrNone(kSects, Key("SECT_", i, "SCHUNT_TRN_ODD"), trains);
      } else {
        // One train per section: it goes on the half its head runs on, when its head is here.
        const int t = IndexOrNone(kSects, Key("SECT_", i, "SCHUNT_TRN"), trains);
        s.TRN_EVEN = s.TRN_ODD = -1;
        if (t >= 0 && st_.Trains[t].HEAD.SECT_IDX == i)
          (st_.Trains[t].HEAD.DIR == 0 ? s.TRN_EVEN : s.TRN_ODD) = t;
      }
      ReadLock(i, "LP_EVEN", "SCHUNT_ROUTE_EVEN", s.LP_EVEN, s.ROUTE_EVEN);
      ReadLock(i, "LP_ODD", "SCHUNT_ROUTE_ODD", s.LP_ODD, s.ROUTE_ODD);
    }
    sum_.Groups.emplace_back(kSects, Size(st_.Sects.size()));
  }

  void ReadSemaphores() {
    SameLength(kSemaphores, "LEN", area_.Semaphores.size());
    st_.Semaphores.assign(area_.Semaphores.size(), TSemaphoreLightData{});
    for (int i = 0; i < Size(st_.Semaphores.size()); ++i) {
      TSemaphoreLightData& s = st_.Semaphores[i];
      s.SECT_NEXT = Section(kSemaphores, Key("SEMAPHORE_", i, "SECT_NEXT"));
      s.DIR_NEXT = Has(12) ? Direction(kSemaphores, Key("SEMAPHORE_", i, "DIR_NEXT"))
                           : static_cast<std::uint8_t>(area_.Semaphores[i].Direction & 1);
      s.PREV_SECT_NEXT = Has(5) ? Section(kSemaphores, Key("SEMAPHORE_", i, "PREV_SECT_NEXT")) : 0;
      s.SIDE_SWITCHES =
          Has(9) ? Ranged(kSemaphores, Key("SEMAPHORE_", i, "SIDE_SWITCHES"), 0, INT32_MAX) : 0;
      s.CLOSED = Bool(kSemaphores, Key("SEMAPHORE_", i, "CLOSED"));
      s.NEXT_WARNING = Bool(kSemaphores, Key("SEMAPHORE_", i, "NEXT_WARNING"));
      s.SIDE_WARNING = Bool(kSemaphores, Key("SEMAPHORE_", i, "SIDE_WARNING"));
    }
    sum_.Groups.emplace_back(kSemaphores, Size(st_.Semaphores.size()));
  }

  void ReadRoutes() {
    SameLength(kRoutes, "LEN", area_.TrainRoutes.size());
    st_.Routes.assign(area_.TrainRoutes.size(), TLPRoutesControlData{});
    int total = 0;
    for (int l = 0; l < Size(st_.Routes.size()); ++l) {
      const std::string p = "LP_" + std::to_string(l) + "_";
      const TLPRoutesData& table = area_.TrainRoutes[l];
      const int n = Int(kRoutes, p + "LEN");
      // A save of the layout without the ways out of receive-only tracks, which come last:
      // those routes are free.
      if (n != Size(table.Routes.size()) &&
          (table.ReceiveOnlyExits == 0 || n != Size(table.Routes.size()) - table.ReceiveOnlyExits))
        f_.Fail(kRoutes + ": " + p + "LEN " + std::to_string(n) + " does not fit the district (" +
                std::to_string(table.Routes.size()) + ")");
      st_.Routes[l].assign(table.Routes.size(), TRouteControlData{});
      for (int j = 0; j < n; ++j) {
        const std::string q = p + "ROUTE_" + std::to_string(j) + "_";
        st_.Routes[l][j].TASKED = Real(kRoutes, q + "TASKED");
        st_.Routes[l][j].SCHUNTED = Bool(kRoutes, q + "SCHUNTED");
        ++total;
      }
    }
    sum_.Groups.emplace_back(kRoutes, Size(st_.Routes.size()));
    sum_.Routes = total;
  }

  void ReadGorls() {
    SameLength(kGorls, "LEN", area_.GorlStanzs.size());
    st_.Gorls.assign(area_.GorlStanzs.size(), TGorlTaskData{});
    for (int i = 0; i < Size(st_.Gorls.size()); ++i) {
      TGorlTaskData& g = st_.Gorls[i];
      if (Has(20)) {
        g.TASKED = Real(kGorls, Key("GORL_", i, "TASK_TASKED"));
      } else {
        // Older files knew only whether a task was in force; it counts from the saved clock.
        g.TASKED = Int(kGorls, Key("GORL_", i, "TASK_TASKED")) != 0 ? clock_ : 0;
      }
      g.SEND = Bool(kGorls, Key("GORL_", i, "TASK_SEND"));
      g.TRANSIT = Bool(kGorls, Key("GORL_", i, "TASK_TRANSIT"));
      g.TRACK = Int(kGorls, Key("GORL_", i, "TASK_TRACK"));
      const int lp = FindLPIndex(area_, area_.GorlStanzs[i].Code);
      const int tracks = lp >= 0 ? Size(area_.Puts[lp].Tracks.size()) : 0;
      if (!(g.TRACK == 0 && g.TASKED == 0) && (g.TRACK < 0 || g.TRACK >= tracks))
        OutOfRange(Key("GORL_", i, "TASK_TRACK"), std::to_string(g.TRACK));
      g.DIR = f_.ReadString(kGorls, Key("GORL_", i, "TASK_DIR"));
    }
    sum_.Groups.emplace_back(kGorls, Size(st_.Gorls.size()));
  }

  void ReadCommits() {
    const std::size_t n = static_cast<std::size_t>(std::max(area_.LPCount, 0));
    SameLength(kCommits, "LEN", n);
    st_.DepartCommits.assign(n, TDepartCommitData{});
    for (int l = 0; l < Size(n); ++l) {
      st_.DepartCommits[l].EVEN = Real(kCommits, Key("LP_", l, "DC_EVEN"));
      st_.DepartCommits[l].ODD = Real(kCommits, Key("LP_", l, "DC_ODD"));
    }
    sum_.Groups.emplace_back(kCommits, Size(n));
  }

  void ReadPlans() {
    if (!Has(10)) {
      st_.RandomPlans = live_.RandomPlans;
      return;
    }
    const int n = Int(kPlans, "LEN");
    if (n < 0) f_.Fail(kPlans + ": negative LEN");
    const int points = Size(area_.Stations.size()) - 1;
    for (int i = 0; i < n; ++i) {
      TCreationPlanData p;
      p.Time = Ranged(kPlans, Key("PLAN_", i, "CREATION_AT"), 0, 2359);
      if (p.Time % 100 >= 60) OutOfRange(Key("PLAN_", i, "CREATION_AT"), std::to_string(p.Time));
      p.Number = Int(kPlans, Key("PLAN_", i, "TRAIN_NUMBER"));
      if (Has(15))
        p.Name = f_.ReadString(kPlans, Key("PLAN_", i, "SCHEDULE_NUMBER"));
      else if (Has(13))
        p.Name = f_.ReadString(kPlans, Key("PLAN_", i, "INDEXED_NAME"));
      p.CreationPoint = Ranged(kPlans, Key("PLAN_", i, "CREATION_LP_CODE"), 0, points);
      p.ArrivalPoint = Ranged(kPlans, Key("PLAN_", i, "ARRIVAL_LP_CODE"), 0, points);
      p.LoadType = Int(kPlans, Key("PLAN_", i, "FREIGHT_LOAD_TYPE"));
      st_.RandomPlans.push_back(std::move(p));
    }
    sum_.Groups.emplace_back(kPlans, Size(st_.RandomPlans.size()));
  }

  void ReadPosLog() {
    const int n = Int(kPosLog, "LEN");
    for (int i = 0; i < n; ++i) {
      TTrainPosLogEntry e;
      e.TS = Real(kPosLog, Key("TRAIN_POS_LOG_", i, "TS"));
      e.NUMBER = Int(kPosLog, Key("TRAIN_POS_LOG_", i, "NUMBER"));
      e.DIR = Has(12) ? Direction(kPosLog, Key("TRAIN_POS_LOG_", i, "DIR")) : Parity(e.NUMBER);
      e.LOCO_POS = Real(kPosLog, Key("TRAIN_POS_LOG_", i, "LOCO_POS"));
      e.SECT_IDX = Section(kPosLog, Key("TRAIN_POS_LOG_", i, "SECT_IDX"));
      e.KEY_POINT = Bool(kPosLog, Key("TRAIN_POS_LOG_", i, "KEY_POINT"));
      if (!Has(3) && e.KEY_POINT) {
        // The oldest files marked key points loosely: only station tracks count.
        int lp = -1;
        e.KEY_POINT = FindTrackOfSection(area_, lp, e.SECT_IDX, false) >= 0;
      }
      st_.PosLog.push_back(e);
    }
    sum_.Groups.emplace_back(kPosLog, Size(st_.PosLog.size()));
  }

  /// The stations switched to the automatic dispatcher; a file without the group has none.
  void ReadAuto() {
    if (f_.AtEnd() || f_.NextIsGroup(kFaults)) return;
    SameLength(kAuto, "LEN", area_.Puts.size());
    const int n = Size(area_.Puts.size());
    st_.AutoLPs.assign(n, false);
    int on = 0;
    for (int l = 0; l < n; ++l) {
      st_.AutoLPs[l] = Bool(kAuto, Key("LP_", l, "AUTO"));
      on += st_.AutoLPs[l] ? 1 : 0;
    }
    sum_.Groups.emplace_back(kAuto, on);
  }

  /// The faults in force and the permissions given; a file without the group has none. Each
  /// must name an object of the district.
  void ReadFaults() {
    if (f_.AtEnd()) return;
    // More than anyone could set by hand: a length beyond it is a damaged file.
    constexpr int kMostRecords = 100000;
    const int n = Ranged(kFaults, "LEN", 0, kMostRecords);
    for (int i = 0; i < n; ++i) {
      TFaultData x;
      x.KIND =
          static_cast<std::uint8_t>(Ranged(kFaults, Key("FAULT_", i, "KIND"), 0, kFaultKinds - 1));
      x.OBJECT = Int(kFaults, Key("FAULT_", i, "OBJECT"));
      x.LP = IndexOrNone(kFaults, Key("FAULT_", i, "LP"), area_.Puts.size());
      x.KMH = Ranged(kFaults, Key("FAULT_", i, "KMH"), 0, 1000);
      x.SINCE = Time(kFaults, Key("FAULT_", i, "SINCE"));
      x.UNTIL = Real(kFaults, Key("FAULT_", i, "UNTIL"));
      if (x.UNTIL != 0 && (x.UNTIL < kFirstDay || x.UNTIL >= kDayAfterLast))
        OutOfRange(Key("FAULT_", i, "UNTIL"), FormatSaveReal(x.UNTIL));
      x.REPORTED = Bool(kFaults, Key("FAULT_", i, "REPORTED"));
      if (!FaultFitsDistrict(area_, x) ||
          (x.KIND == static_cast<std::uint8_t>(FaultKind::Limit) && x.KMH <= 0))
        f_.Fail(kFaults + ": fault " + std::to_string(i) + " does not fit the district");
      st_.Faults.push_back(x);
    }
    const int m = Ranged(kFaults, "PERMIT_LEN", 0, kMostRecords);
    for (int i = 0; i < m; ++i) {
      TPermitData p;
      p.NUMBER = Int(kFaults, Key("PERMIT_", i, "NUMBER"));
      p.SIGNAL = Ranged(kFaults, Key("PERMIT_", i, "SIGNAL"), 0, Size(area_.Semaphores.size()) - 1);
      p.PASSED = Bool(kFaults, Key("PERMIT_", i, "PASSED"));
      p.SINCE = Time(kFaults, Key("PERMIT_", i, "SINCE"));
      st_.Permits.push_back(p);
    }
    IndexFaults(area_, st_);
    sum_.Groups.emplace_back(kFaults, n + m);
  }

  const TAreaData& area_;
  TSaveFile f_;
  const TStateData& live_;
  TStateData& st_;
  SaveSummary& sum_;
  int version_ = 0;
  double clock_ = 0;
};

}  // namespace

void ReadStateText(const TAreaData& area, std::string_view bytes, const TStateData& live,
                   TStateData& out, SaveSummary* summary) {
  SaveSummary local;
  SaveSummary& sum = summary != nullptr ? *summary : local;
  sum = SaveSummary{};
  out = TStateData{};
  StateReader(area, bytes, live, out, sum).Read();
}

std::string SaveOutcome::Describe() const {
  if (Ok || Line <= 0) return Reason;
  return Reason + " (line " + std::to_string(Line) + ")";
}

SaveOutcome LoadStateFromText(SimulationData& sim, std::string_view bytes, SaveSummary* summary) {
  SaveOutcome outcome;
  TStateData scratch;
  try {
    ReadStateText(sim.AreaData, bytes, sim.State, scratch, summary);
  } catch (const ReadError& e) {
    outcome.Reason = e.what();
    outcome.Line = e.line();
    return outcome;
  } catch (const std::bad_alloc&) {
    outcome.Reason = "Out of memory";
    return outcome;
  } catch (const std::exception& e) {
    outcome.Reason = e.what();
    return outcome;
  }
  sim.State = std::move(scratch);
  ForgetStepChanges(sim);
  outcome.Ok = true;
  return outcome;
}

namespace {

/// The whole file, or nullopt with the reason.
std::optional<std::string> ReadWholeFile(const fs::path& file, std::string& reason) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    reason = "No save file";
    return std::nullopt;
  }
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec || size > kMaxSaveBytes) {
    reason = ec ? "Cannot read " + file.string() + ": " + ec.message() : "Save file too large";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in && !in.eof()) {
    reason = "Cannot read " + file.string();
    return std::nullopt;
  }
  return bytes.str();
}

/// Writes the text, flushes it to the disk, closes the file and reads it back.
bool WriteChecked(const fs::path& file, const std::string& text, std::string& reason) {
  auto fail = [&](int err) {
    reason = "Cannot write " + file.string() + ": " + std::strerror(err);
    return false;
  };
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return fail(errno);
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  int err = ok ? 0 : errno;
  if (ok && std::fflush(out) != 0) ok = false, err = errno;
  // Some files (devices, some file systems) cannot be synced; the read-back still checks them.
  if (ok && ::fsync(fileno(out)) != 0 && errno != EINVAL && errno != EROFS) ok = false, err = errno;
  if (std::fclose(out) != 0 && ok) ok = false, err = errno;
  if (!ok) return fail(err);
  std::string back;
  const auto read = ReadWholeFile(file, back);
  if (!read || *read != text) {
    reason = "Cannot write " + file.string() + ": the file read back differs";
    return false;
  }
  return true;
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

}  // namespace

SaveOutcome LoadStateFromFile(SimulationData& sim, const fs::path& file, SaveSummary* summary) {
  SaveOutcome outcome;
  const auto bytes = ReadWholeFile(file, outcome.Reason);
  if (!bytes) return outcome;
  return LoadStateFromText(sim, *bytes, summary);
}

fs::path NextSaveCopy(const fs::path& saveDir) {
  long long largest = 0;
  std::error_code ec;
  for (fs::directory_iterator it(saveDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".sav") != 0) continue;
    const std::string_view digits(name.data(), name.size() - 4);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) continue;
    int n = 0;
    const auto [p, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (error != std::errc() || p != digits.data() + digits.size()) continue;
    largest = std::max<long long>(largest, n);
  }
  long long next = largest + 1;
  while (Exists(saveDir / (std::to_string(next) + ".sav"))) ++next;
  return saveDir / (std::to_string(next) + ".sav");
}

std::string SaveForScenario(const SimulationData& sim, const std::string& file) {
  const SaveOutcome saved = SaveStateToFile(sim, file);
  return saved.Ok ? std::string() : "not saved: " + saved.Reason;
}

SaveOutcome SaveStateToFile(const SimulationData& sim, const fs::path& file, bool keepPrevious) {
  SaveOutcome outcome;
  std::string text;
  try {
    text = WriteStateText(sim);
  } catch (const std::bad_alloc&) {
    outcome.Reason = "Out of memory";
    return outcome;
  }
  std::error_code ec;
  const fs::path dir = file.parent_path();
  if (!dir.empty() && !fs::is_directory(dir, ec)) {
    fs::create_directories(dir, ec);
    if (ec) {
      outcome.Reason = "Cannot create " + dir.string() + ": " + ec.message();
      return outcome;
    }
  }
  fs::path temporary = file;
  temporary += ".tmp";
  if (!WriteChecked(temporary, text, outcome.Reason)) {
    fs::remove(temporary, ec);
    return outcome;
  }
  // The previous file becomes a copy by a second name, so that the file itself is never
  // missing: the rename below replaces it in one step.
  fs::path copy;
  if (keepPrevious && fs::is_regular_file(file, ec)) {
    copy = NextSaveCopy(dir.empty() ? fs::path(".") : dir);
    fs::create_hard_link(file, copy, ec);
    if (ec) {
      ec.clear();
      fs::copy_file(file, copy, ec);
    }
    if (ec) {
      outcome.Reason =
          "Cannot keep " + file.string() + " as " + copy.string() + ": " + ec.message();
      fs::remove(temporary, ec);
      return outcome;
    }
  }
  fs::rename(temporary, file, ec);
  if (ec) {
    outcome.Reason = "Cannot replace " + file.string() + ": " + ec.message();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    if (!copy.empty()) fs::remove(copy, ignored);
    return outcome;
  }
  outcome.Ok = true;
  return outcome;
}

fs::path SaveDirectory(const fs::path& districtDir) {
  return districtDir / "saves";
}

fs::path LastSavePath(const fs::path& districtDir) {
  return SaveDirectory(districtDir) / "last.sav";
}

SaveOutcome SaveLastState(const SimulationData& sim, const fs::path& districtDir) {
  return SaveStateToFile(sim, LastSavePath(districtDir), true);
}

SaveOutcome LoadLastState(SimulationData& sim, const fs::path& districtDir) {
  return LoadStateFromFile(sim, LastSavePath(districtDir));
}

}  // namespace traklin
