// The save file: round trip on the demo district, continuation of a run, every older version,
// hostile files, and saving that never loses the previous last.sav.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area/area_reader.h"
#include "area/district_setup.h"
#include "area/object_names.h"
#include "districtgen/district.h"
#include "settings/settings.h"
#include "simulation/save_file.h"
#include "simulation/save_state.h"
#include "state/clock.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/harness.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

namespace fs = std::filesystem;

/// The demo district (data/districts/1), generated and prepared as the console prepares it,
/// with a fresh state on 15 March 2024.
struct Demo {
  Simulation Sim;
  RecordingConsole Console;

  Demo() {
    static const std::string bytes = [] {
      std::ifstream in(std::string(TRAKLIN_SOURCE_DIR) + "/data/districts/1/line.json");
      std::ostringstream json;
      json << in.rdbuf();
      return districtgen::DataDatText(
          districtgen::BuildDistrict(districtgen::ParseLineSpec(json.str())));
    }();
    LoadAreaDataFromBytes(bytes, Sim.AreaData, Sim.MaxSpeedLimit, Sim.ReadDataError);
    PrepareDistrict(Sim.AreaData, SetupOptions{});
    Sim.Random.Seed(1);
    StateInit(Sim, DateParts{2024, 3, 15});
    Sim.Console = &Console;
  }
  const TAreaData& Area() const { return Sim.AreaData; }
};

int Size(std::size_t n) {
  return static_cast<int>(n);
}

/// A timetable train number with at least two stops, and its stop count.
std::pair<int, int> TimetableTrain(const TAreaData& area) {
  for (const TGraphTrainData& t : area.PassTrains[0])
    if (t.Numbers[0] > 0 && t.Stops.size() >= 2) return {t.Numbers[0], Size(t.Stops.size())};
  throw std::runtime_error("no timetable train");
}

/// A state with something in every group, each value away from what an older file would
/// give: a route set and one pending, trains on a track (made up), on a peregon and waiting
/// outside, throat tasks, commits, random plans and both logs. The LP lamps carry no flag
/// (they show the station selection, which a load clears).
void Populate(Demo& d) {
  Simulation& sim = d.Sim;
  const TAreaData& area = d.Area();
  TStateData& st = sim.State;
  st.ClockTime = EncodeDate(2024, 3, 15) + 0.3456789012345678;

  // A route assembled by the step, then a second one ordered and left pending.
  int lp = 0;
  while (area.TrainRoutes[lp].Routes.size() < 2) ++lp;
  ASSERT_TRUE(OrderRoute(sim, lp, 0));
  for (int k = 0; k < 200 && !RouteIsSet(sim, lp, 0); ++k) {
    st.ClockTime += kStepLength;
    UpdateRoutes(sim);
    UpdateSignals(sim);
  }
  ASSERT_TRUE(RouteIsSet(sim, lp, 0));
  bool pending = false;
  for (int l = 0; l < Size(area.TrainRoutes.size()) && !pending; ++l)
    for (int r = 0; r < Size(area.TrainRoutes[l].Routes.size()) && !pending; ++r)
      if (l != lp) pending = OrderRoute(sim, l, r);
  ASSERT_TRUE(pending);

  const auto [number, stops] = TimetableTrain(area);
  const TTrackData& track = area.Puts[0].Tracks[0];
  const int trackSection = track.Section;
  const int trackLength = area.SlSects[trackSection].Length;
  const TGraphPeregonData& peregon = area.GraphPeregons[0];
  const int lineSection = peregon.EndSection[0];

  // 0: made up on a track of LP 0, following its timetable.
  TTrainData& a = st.Trains.emplace_back();
  a.NUMBER = number;
  a.SCHEDULE_NUMBER = number;
  a.LOCO_IDX = 2, a.CARS = 12, a.LEN = std::min(300, trackLength), a.WEIGHT = 812;
  a.LOAD_TYPE = 100;
  a.HEAD = {-1, -1, area.Puts[0].Code, trackSection, double(trackLength), 60, 1};
  a.TAIL = {-1, -1, area.Puts[0].Code, trackSection, double(trackLength - a.LEN), 40, 1};
  a.SCHEDULE_IDX = stops - 1;
  a.SEMAPH_NEXT_IDX = 0;
  a.PLACE_TIME = st.ClockTime + 5 * kMinute;
  a.CREATE_TIME = st.ClockTime - kMinute;
  a.PLAN_CREATE_TIME = st.ClockTime - 2 * kMinute;
  a.INDEXED_NAME = "Экспресс «Утро»";
  a.REQUEST_TYPE = rqPut, a.REQUEST_LP_CODE = area.Puts[0].Code, a.REQUEST_PERFORMABLE = 1;
  a.REQUEST_TIME = st.ClockTime - 1.0 / 3;
  a.CREATION_LP_CODE = a.PLAN_ARRIVAL_LP_CODE = area.Puts[0].Code;
  a.ARRIVAL_LP_CODE = area.Puts[1].Code, a.PLAN_CREATION_LP_CODE = 1;
  a.STOP_ADVICE_SECT_IDX = trackSection, a.STOP_ADVICE_LP_CODE = area.Puts[0].Code;
  a.ARRIVAL_NOTIFIED = a.DEPARTURE_SCHEDULED = true;
  a.DEPARTURE_TIME = st.ClockTime + 0.01;

  // 1: a freight on the peregon running on another train's timetable number.
  TTrainData& b = st.Trains.emplace_back();
  b.NUMBER = 2003, b.SCHEDULE_NUMBER = 2001, b.LOCO_IDX = 2, b.LEN = 650, b.WEIGHT = 3600;
  b.CARS = 52, b.LOAD_TYPE = 7;
  b.HEAD = {0, -1, 0, lineSection, 120.25, 80, 0};
  b.TAIL = {0, -1, 0, lineSection, 0.1, 70, 0};
  b.SPEED = 16.666666666666668, b.SPEED_LIM = 80, b.SWITCHES = 2, b.SIDE_SWITCHES = 1;
  b.PASSED_NEXT_WARNING = true, b.DEPARTURE_COMMISSION = true, b.DEPARTURE_NOTIFIED = true;
  b.LOCO_POS = 12345.678, b.SECT_NEXT_IDX = lineSection, b.REQUEST_TYPE = rqNone;
  st.Sects[lineSection].TRN_EVEN = 1;

  // 2: waiting outside its LP, not yet on the district.
  TTrainData& c = st.Trains.emplace_back();
  c.NUMBER = 3002, c.SCHEDULE_NUMBER = 3002, c.LOCO_IDX = 2, c.HEAD.DIR = c.TAIL.DIR = 0;
  c.REQUEST_TYPE = rqReceive, c.INDEXED_NAME = "3002";

  for (int i = 0; i < 3; ++i) {
    AppendTrainLog(sim, i);
    st.ClockTime += kStepLength;
    AppendTrainLog(sim, i);
    AppendPosLog(sim, i, true);
  }
  st.Trains[1].LOG.back().SEMAPH_WARNING = true;
  st.PosLog.back().DIR = 1;  // train 3002 logged against its parity

  // Throat tasks: a send and a transit pair with texts from the task dialog.
  for (int g = 0, n = 0; g < Size(area.GorlStanzs.size()) && n < 2; ++g) {
    const int p = FindLPIndex(area, area.GorlStanzs[g].Code);
    if (p < 0 || area.Puts[p].Tracks.empty()) continue;
    st.Gorls[g] = {st.ClockTime - 3 * kMinute, n == 0, n == 1, Size(area.Puts[p].Tracks.size()) - 1,
                   n == 0 ? "на перегон" : ""};
    ++n;
  }
  ToggleDepartCommit(sim, 0, 1);
  st.DepartCommits.back().EVEN = st.ClockTime - kMinute;

  st.RandomPlans.push_back({});
  st.RandomPlans.back().Time = 1435, st.RandomPlans.back().Number = 2011;
  st.RandomPlans.back().Name = "2001", st.RandomPlans.back().CreationPoint = 1;
  st.RandomPlans.back().ArrivalPoint = 2, st.RandomPlans.back().LoadType = 5;
  st.RandomPlans.push_back({});
  st.RandomPlans.back().Time = 5, st.RandomPlans.back().Number = 2012;
  st.RandomPlans.back().CreationPoint = 2, st.RandomPlans.back().ArrivalPoint = 1;
  st.NextRandomFreightTime = std::floor(st.ClockTime) + 1;

  for (int i = 1; i <= area.StationCount && i < Size(st.Lamps.size()); ++i)
    st.Lamps[i].YELLOW = false;
}

/// What a load gives back of a saved state: every lamp to be repainted, the working fields that
/// are not saved (the graph's flags, the creation's memory of plans tried) at their start values.
TStateData AsLoaded(TStateData st) {
  for (TLampControlData& l : st.Lamps) l.DrawnColor = kLampRepaint;
  for (TTrainData& t : st.Trains) t.POS_LOG_TIME = 0;
  for (TTrainPosLogEntry& e : st.PosLog) e.Flag1 = e.Flag2 = e.RunEnd = false;
  st.PlanAttempts.clear();
  st.RandomPlanAttempts.clear();
  return st;
}

// ---------------------------------------------------------------------------
// Round trip and continuation

TEST(SaveRoundTripTest, DemoDistrictStateReloadsFieldByFieldAndSavesByteIdentical) {
  Demo a;
  Populate(a);
  const std::string first = WriteStateText(a.Sim);
  Demo b;
  const SaveOutcome loaded = LoadStateFromText(b.Sim, first);
  ASSERT_TRUE(loaded.Ok) << loaded.Describe();
  const TStateData expected = AsLoaded(a.Sim.State);
  EXPECT_EQ(b.Sim.State.Trains, expected.Trains);
  EXPECT_EQ(b.Sim.State.Sects, expected.Sects);
  EXPECT_EQ(b.Sim.State.Routes, expected.Routes);
  EXPECT_EQ(b.Sim.State.Gorls, expected.Gorls);
  EXPECT_EQ(b.Sim.State.RandomPlans, expected.RandomPlans);
  EXPECT_TRUE(b.Sim.State == expected);
  EXPECT_EQ(WriteStateText(b.Sim), first);
  // The text itself: CR LF lines, the groups in order, Windows-1251 strings, '.' in reals.
  EXPECT_EQ(first.substr(0, 17), "[STATE]\r\nVERSION=");
  std::vector<std::string> groups;
  std::istringstream lines(first);
  for (std::string line; std::getline(lines, line);)
    if (line.front() == '[') groups.push_back(line.substr(0, line.size() - 1));
  EXPECT_EQ(groups,
            (std::vector<std::string>{"[STATE]", "[TRAINS]", "[LAMPS]", "[SWITCHES]", "[SECTS]",
                                      "[SEMAPHORES]", "[ROUTES]", "[GORLS]", "[LP_DEPART_COMMITS]",
                                      "[TRAINS_RANDOM_PLANS]", "[TRAIN_POS_LOG]"}));
  EXPECT_NE(
      first.find(
          "TRAIN_0_INDEXED_NAME=\xDD\xEA\xF1\xEF\xF0\xE5\xF1\xF1 \xAB\xD3\xF2\xF0\xEE\xBB\r\n"),
      std::string::npos);
  EXPECT_NE(first.find("TRAIN_1_SPEED=16.666666666666668\r\n"), std::string::npos);

  // The LP lamps (1 .. StationCount) show the station selection: a load leaves them dark.
  const int stations = a.Area().StationCount;
  a.Sim.State.Lamps[1].YELLOW = a.Sim.State.Lamps[stations + 1].YELLOW = true;
  Demo c;
  ASSERT_TRUE(LoadStateFromText(c.Sim, WriteStateText(a.Sim)).Ok);
  EXPECT_EQ(std::pair(c.Sim.State.Lamps[1].YELLOW, c.Sim.State.Lamps[stations + 1].YELLOW),
            std::pair(false, true));
  EXPECT_EQ(c.Sim.State.Lamps[1].DrawnColor, kLampRepaint);
}

/// Run a goes on for two hours; run b for one, its save is loaded into c (made and started as b)
/// which goes on for one more. The generator is seeded again at the half in a and c. Both end
/// alike; returns a for further checks.
template <class Line>
std::unique_ptr<Line> ExpectContinuation(const std::function<void(Line&)>& start) {
  auto run = [](Line& line, int minutes) {
    for (int k = 0; k < minutes * 120; ++k) line.Sim.SimulationStep(kStepLength);
  };
  auto a = std::make_unique<Line>(), b = std::make_unique<Line>(), c = std::make_unique<Line>();
  start(*a);
  run(*a, 60);
  a->Sim.Random.Seed(7);
  run(*a, 60);
  start(*b);
  run(*b, 60);
  start(*c);
  const SaveOutcome loaded = LoadStateFromText(c->Sim, WriteStateText(b->Sim));
  EXPECT_TRUE(loaded.Ok) << loaded.Describe();
  c->Sim.LastSaveTime = c->Sim.State.ClockTime;
  c->Sim.Random.Seed(7);
  run(*c, 60);
  EXPECT_EQ(AsLoaded(c->Sim.State).Trains, AsLoaded(a->Sim.State).Trains);
  EXPECT_EQ(WriteStateText(c->Sim), WriteStateText(a->Sim));
  return a;
}

TEST(SaveRoundTripTest, LoadedRunContinuesExactlyAsTheUninterruptedOne) {
  // Train 2 runs from the peregon into B over a route being assembled, stops there by its
  // timetable and goes on.
  const auto a = ExpectContinuation<TestLine>([](TestLine& line) {
    const int i = line.Add(NewTrain{});
    line.Drive(i, 4, 1500, 15, 0);
    ASSERT_TRUE(OrderRoute(line.Sim, line.LPIndex(2), 0));
    line.Sim.LastSaveTime = line.Sim.State.ClockTime;
  });
  ASSERT_EQ(a->Sim.State.Trains.size(), 1u);
  EXPECT_NE(a->Sim.State.Trains[0].HEAD.SECT_IDX, 4);  // it did move on
}

TEST(SaveRoundTripTest, DemoDistrictDayContinuesFromItsSaveAsItRanOn) {
  // The stations make and put out trains (timetable, plans and random freights) and ask the
  // dispatcher, who says yes.
  const fs::path ini = fs::path(testing::TempDir()) / "save_continuation.ini";
  std::ofstream(ini) << "[LEVEL]\r\nRANDOMFREIGHTSFROM1TO13=2\r\nRANDOMFREIGHTSFROM2TO11=2\r\n"
                        "RANDOMFREIGHTSFROM5TO8=2\r\nRANDOMFREIGHTSNUMBERDEVIATION=20\r\n";
  const auto a = ExpectContinuation<Demo>([&ini](Demo& d) {
    ReadGeneralSettings(ini, d.Sim.Settings);
    ReadDistrictSettings(ini, d.Sim.AreaData, d.Sim.Settings);
    d.Sim.State.ClockTime = EncodeDate(2024, 3, 15) + TimeFromHHMM(600);
    d.Sim.LastSaveTime = d.Sim.State.ClockTime;
  });
  EXPECT_FALSE(a->Sim.State.RandomPlans.empty());
  EXPECT_TRUE(std::any_of(a->Sim.State.Trains.begin(), a->Sim.State.Trains.end(),
                          [](const TTrainData& t) { return t.HEAD.SECT_IDX > 0; }));
}

// ---------------------------------------------------------------------------
// Older versions: each file is the version-20 text rewritten as that version wrote it.

/// Keys of a train that a version below `from` does not carry.
const std::map<std::string, int> kTrainKeyFrom = {{"SCHEDULE_NUMBER", 15},
                                                  {"STOP_ADVICE_SECT_IDX", 11},
                                                  {"STOP_ADVICE_LP_CODE", 11},
                                                  {"HEAD_SPEED_LIM_SECT", 8},
                                                  {"TAIL_SPEED_LIM_SECT", 8},
                                                  {"HEAD_DIR", 12},
                                                  {"TAIL_DIR", 12},
                                                  {"SWITCHES", 14},
                                                  {"SIDE_SWITCHES", 14},
                                                  {"SCHEDULE_IDX", 16},
                                                  {"PLAN_CREATION_LP_CODE", 6},
                                                  {"PLAN_ARRIVAL_LP_CODE", 6},
                                                  {"REQUEST_TYPE", 6},
                                                  {"REQUEST_LP_CODE", 7},
                                                  {"REQUEST_PERFORMABLE", 18},
                                                  {"CREATE_TIME", 3},
                                                  {"PLACE_TIME", 3},
                                                  {"PLAN_CREATE_TIME", 17},
                                                  {"ARRIVAL_NOTIFIED", 4},
                                                  {"DEPARTURE_NOTIFIED", 4},
                                                  {"INDEXED_NAME", 13}};

std::string AsVersion(const std::string& text, int v) {
  static const std::regex train("^TRAIN_(\\d+)_([A-Z_]+)=(.*)$");
  static const std::regex trn("^SECT_(\\d+)_SCHUNT_TRN_(EVEN|ODD)=(.*)$");
  static const std::regex semaphore("^SEMAPHORE_\\d+_(DIR_NEXT|PREV_SECT_NEXT|SIDE_SWITCHES)=");
  static const std::regex tasked("^(GORL_\\d+_TASK_TASKED)=(.*)$");
  static const std::regex planName("^(PLAN_\\d+_)SCHEDULE_NUMBER=(.*)$");
  static const std::regex logDir("^TRAIN_POS_LOG_\\d+_DIR=");
  std::istringstream in(text);
  std::string out, group, headLimit, trnEven;
  for (std::string line; std::getline(in, line);) {
    line.pop_back();  // CR
    std::smatch m;
    if (line.front() == '[') group = line;
    if (line == "VERSION=20") line = "VERSION=" + std::to_string(v);
    if (group == "[TRAINS]" && std::regex_match(line, m, train)) {
      const auto from = kTrainKeyFrom.find(m[2]);
      if (m[2] == "HEAD_SPEED_LIM_SECT") headLimit = m[3];
      if (from != kTrainKeyFrom.end() && v < from->second) continue;
      if (m[2] == "SPEED" && v < 8)
        line += "\r\nTRAIN_" + std::string(m[1]) + "_SPEED_LIM_SECT=" + headLimit;
    }
    if (v < 19 && std::regex_match(line, m, trn)) {
      if (m[2] == "EVEN") {
        trnEven = m[3];
        continue;
      }
      line = "SECT_" + std::string(m[1]) + "_SCHUNT_TRN=" + (trnEven != "-1" ? trnEven : m[3]);
    }
    if (std::regex_search(line, m, semaphore) &&
        v < std::map<std::string, int>{
                {"DIR_NEXT", 12}, {"PREV_SECT_NEXT", 5}, {"SIDE_SWITCHES", 9}}[m[1]])
      continue;
    if (v < 20 && std::regex_match(line, m, tasked))
      line = std::string(m[1]) + "=" + (m[2] == "0" ? "0" : "1");
    if (group == "[TRAINS_RANDOM_PLANS]") {
      if (v < 10) continue;
      if (std::regex_match(line, m, planName)) {
        if (v < 13) continue;
        if (v < 15) line = std::string(m[1]) + "INDEXED_NAME=" + std::string(m[2]);
      }
    }
    if (v < 12 && std::regex_search(line, logDir)) continue;
    out += line + "\r\n";
  }
  return out;
}

/// The state a file of version v gives, from the state saved in version 20.
TStateData ExpectedFrom(const Demo& d, TStateData st, int v, const TCreationPlansData& livePlans) {
  const TAreaData& area = d.Area();
  for (TTrainData& t : st.Trains) {
    if (v < 15) t.SCHEDULE_NUMBER = t.NUMBER;
    if (v < 11) t.STOP_ADVICE_SECT_IDX = t.STOP_ADVICE_LP_CODE = 0;
    if (v < 8) t.TAIL.SPEED_LIM_SECT = 0;
    if (v < 12) t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(t.NUMBER & 1);
    if (v < 14) t.SWITCHES = t.SIDE_SWITCHES = 0;
    if (v < 16) {
      const auto& list = GetScheduleTrains(area, t.SCHEDULE_NUMBER & 1, t.LOAD_TYPE < 100);
      t.SCHEDULE_IDX = FindScheduleTrain(list, t.SCHEDULE_NUMBER) >= 0 ? 0 : -1;
    }
    if (v < 6) t.PLAN_CREATION_LP_CODE = t.CREATION_LP_CODE;
    if (v < 6) t.PLAN_ARRIVAL_LP_CODE = t.ARRIVAL_LP_CODE;
    if (v < 6) t.REQUEST_TYPE = rqNone;
    if (v < 7) t.REQUEST_LP_CODE = 0;
    if (v < 18) t.REQUEST_PERFORMABLE = 0;
    if (v < 3) t.CREATE_TIME = t.PLACE_TIME = 0;
    if (v < 17) t.PLAN_CREATE_TIME = 0;
    if (v < 4) t.ARRIVAL_NOTIFIED = t.DEPARTURE_NOTIFIED = false;
    if (v < 13) t.INDEXED_NAME.clear();
  }
  if (v < 19) {
    for (int s = 0; s < Size(st.Sects.size()); ++s) {
      TSectionSchuntData& x = st.Sects[s];
      const int t = x.TRN_EVEN != -1 ? x.TRN_EVEN : x.TRN_ODD;
      x.TRN_EVEN = x.TRN_ODD = -1;
      if (t >= 0 && st.Trains[t].HEAD.SECT_IDX == s)
        (st.Trains[t].HEAD.DIR == 0 ? x.TRN_EVEN : x.TRN_ODD) = t;
    }
  }
  for (int i = 0; i < Size(st.Semaphores.size()); ++i) {
    if (v < 12) st.Semaphores[i].DIR_NEXT = area.Semaphores[i].Direction & 1;
    if (v < 5) st.Semaphores[i].PREV_SECT_NEXT = 0;
    if (v < 9) st.Semaphores[i].SIDE_SWITCHES = 0;
  }
  for (TGorlTaskData& g : st.Gorls)
    if (v < 20 && g.TASKED != 0) g.TASKED = st.ClockTime;
  if (v < 10) st.RandomPlans = livePlans;
  for (TCreationPlanData& p : st.RandomPlans)
    if (v < 13 && v >= 10) p.Name.clear();
  for (TTrainPosLogEntry& e : st.PosLog) {
    if (v < 12) e.DIR = static_cast<std::uint8_t>(e.NUMBER & 1);
    int lp = -1;
    if (v < 3 && e.KEY_POINT) e.KEY_POINT = FindTrackOfSection(area, lp, e.SECT_IDX, false) >= 0;
  }
  return st;
}

TEST(SaveVersionsTest, EveryOlderVersionLoadsWithTheValuesItLacks) {
  Demo a;
  Populate(a);
  // Values the older rules must visibly change.
  TStateData& st = a.Sim.State;
  st.Semaphores[0].DIR_NEXT = static_cast<std::uint8_t>(a.Area().Semaphores[0].Direction & 1) ^ 1;
  st.Semaphores[0].PREV_SECT_NEXT = 3, st.Semaphores[0].SIDE_SWITCHES = 2;
  st.Sects[st.Trains[0].HEAD.SECT_IDX].TRN_ODD = 0;  // head section, head direction 1
  st.PosLog.push_back({st.ClockTime, 2003, 0, st.Trains[1].HEAD.SECT_IDX, 5.5, true});
  const std::string text = WriteStateText(a.Sim);

  for (int v = kMinSaveVersion; v <= kSaveVersion; ++v) {
    SCOPED_TRACE("version " + std::to_string(v));
    Demo b;
    b.Sim.State.RandomPlans.push_back({});  // the plans a file before version 10 leaves alone
    b.Sim.State.RandomPlans.back().Number = 2999;
    const TCreationPlansData livePlans = b.Sim.State.RandomPlans;
    const SaveOutcome loaded = LoadStateFromText(b.Sim, AsVersion(text, v));
    ASSERT_TRUE(loaded.Ok) << loaded.Describe();
    const TStateData expected = ExpectedFrom(a, AsLoaded(st), v, livePlans);
    EXPECT_EQ(b.Sim.State.Trains, expected.Trains);
    EXPECT_EQ(b.Sim.State.Sects, expected.Sects);
    EXPECT_EQ(b.Sim.State.Semaphores, expected.Semaphores);
    EXPECT_EQ(b.Sim.State.Gorls, expected.Gorls);
    EXPECT_EQ(b.Sim.State.RandomPlans, expected.RandomPlans);
    EXPECT_EQ(b.Sim.State.PosLog, expected.PosLog);
    EXPECT_TRUE(b.Sim.State == expected);
  }
  // Version 6 wrote the plan points but could leave them 0: the train's own points stand in.
  std::string v6 = AsVersion(text, 6);
  v6 = std::regex_replace(v6, std::regex("TRAIN_0_PLAN_CREATION_LP_CODE=\\d+"),
                          "TRAIN_0_PLAN_CREATION_LP_CODE=0");
  Demo c;
  ASSERT_TRUE(LoadStateFromText(c.Sim, v6).Ok);
  EXPECT_EQ(c.Sim.State.Trains[0].PLAN_CREATION_LP_CODE, st.Trains[0].CREATION_LP_CODE);
}

// ---------------------------------------------------------------------------
// Hostile files

/// The text with the first line matching `pattern` replaced (the whole line).
std::string Replace(const std::string& text, const std::string& pattern, const std::string& by) {
  return std::regex_replace(text, std::regex(pattern), by, std::regex_constants::format_first_only);
}

TEST(SaveRoundTripTest, ASaveWithoutTheWaysOutOfReceiveOnlyTracksLoadsWithThemFree) {
  // Заречье (LP 0) has a track that only receives; the routes out of it, which come last,
  // are not in a save of the layout without them.
  Demo a;
  Populate(a);
  const TLPRoutesData& routes = a.Area().TrainRoutes[0];
  ASSERT_GT(routes.ReceiveOnlyExits, 0);
  const int older = routes.RouteCount - routes.ReceiveOnlyExits;
  const std::string now = WriteStateText(a.Sim);
  std::string text = Replace(now, "LP_0_LEN=\\d+", "LP_0_LEN=" + std::to_string(older));
  for (int j = older; j < routes.RouteCount; ++j) {
    const std::string key = "LP_0_ROUTE_" + std::to_string(j);
    text = Replace(text, key + "_TASKED=[^\r]*\r\n" + key + "_SCHUNTED=\\d\r\n", "");
  }
  ASSERT_LT(text.size(), now.size());
  Demo b;
  const SaveOutcome loaded = LoadStateFromText(b.Sim, text);
  ASSERT_TRUE(loaded.Ok) << loaded.Describe();
  EXPECT_EQ(WriteStateText(b.Sim), now);  // Populate left the ways out free
  // Any other length is still refused.
  const SaveOutcome shorter = LoadStateFromText(
      b.Sim, Replace(text, "LP_0_LEN=\\d+", "LP_0_LEN=" + std::to_string(older - 1)));
  EXPECT_EQ(shorter.Reason, "ROUTES: LP_0_LEN " + std::to_string(older - 1) +
                                " does not fit the district (" + std::to_string(routes.RouteCount) +
                                ")");
}

TEST(SaveRoundTripTest, AutomatedStationsTravelInATrailingGroupOnlyWhenThereAreAny) {
  Demo a;
  Populate(a);
  const std::string plain = WriteStateText(a.Sim);
  EXPECT_EQ(plain.find("[AUTO_DISPATCHER]"), std::string::npos);
  const int lps = static_cast<int>(a.Area().Puts.size());
  a.Sim.State.AutoLPs.assign(lps, false);
  a.Sim.State.AutoLPs[2] = true;
  const std::string automated = WriteStateText(a.Sim);
  // The classic groups come first, unchanged; a reader of that layout stops before the rest.
  ASSERT_EQ(automated.substr(0, plain.size()), plain);
  const std::string head =
      "[AUTO_DISPATCHER]\r\nLEN=" + std::to_string(lps) + "\r\nLP_0_AUTO=0\r\n";
  EXPECT_EQ(automated.substr(plain.size(), head.size()), head);
  EXPECT_NE(automated.find("LP_2_AUTO=1\r\n"), std::string::npos);
  Demo b;
  b.Sim.State.AutoLPs.assign(lps, true);
  ASSERT_TRUE(LoadStateFromText(b.Sim, automated).Ok);
  EXPECT_EQ(b.Sim.State.AutoLPs, a.Sim.State.AutoLPs);
  EXPECT_EQ(WriteStateText(b.Sim), automated);
  // A save without the group switches every station back to the dispatcher.
  ASSERT_TRUE(LoadStateFromText(b.Sim, plain).Ok);
  EXPECT_TRUE(b.Sim.State.AutoLPs.empty());
  // A group that does not fit the district is refused like any other, and nothing changes.
  b.Sim.State.AutoLPs.assign(lps, true);
  const SaveOutcome bad = LoadStateFromText(
      b.Sim, Replace(automated, "AUTO_DISPATCHER\\]\r\nLEN=\\d+", "AUTO_DISPATCHER]\r\nLEN=999"));
  EXPECT_FALSE(bad.Ok);
  EXPECT_EQ(bad.Reason,
            "AUTO_DISPATCHER: LEN 999 does not fit the district (" + std::to_string(lps) + ")");
  EXPECT_EQ(b.Sim.State.AutoLPs, std::vector<bool>(lps, true));
  const SaveOutcome cut = LoadStateFromText(b.Sim, automated.substr(0, automated.size() - 12));
  EXPECT_FALSE(cut.Ok);
}

TEST(SaveRoundTripTest, FaultsAndPermissionsTravelInTheLastGroupOnlyWhenThereAreAny) {
  Demo a;
  Populate(a);
  const TAreaData& area = a.Area();
  const std::string plain = WriteStateText(a.Sim);
  EXPECT_EQ(plain.find("[FAULTS]"), std::string::npos);
  // One fault of every kind, each on an object of its own station.
  int lp = 0;
  while (StationSwitches(area, lp).empty()) ++lp;
  const auto set = [&](FaultKind kind, int object, int at, int kmh, TDateTime until) {
    TFaultData f;
    f.KIND = static_cast<std::uint8_t>(kind);
    f.OBJECT = object;
    f.LP = at;
    f.KMH = kmh;
    f.UNTIL = until;
    ASSERT_EQ(SetFault(a.Sim, f), "") << FaultKindWord(kind);
  };
  const TDateTime now = a.Sim.State.ClockTime;
  set(FaultKind::Switch, StationSwitches(area, lp)[0], lp, 0, now + 0.25);
  set(FaultKind::Section, StationSections(area, lp)[0], lp, 0, 0);
  set(FaultKind::Section, PeregonSections(area, 0)[0], -1, 0, now + 1.0 / 3);
  set(FaultKind::Signal, StationSignals(area, lp)[0], lp, 0, 0);
  set(FaultKind::Limit, 0, -1, 40, now + 0.1);
  set(FaultKind::Limit, 0, lp, 25, 0);
  set(FaultKind::Train, a.Sim.State.Trains[1].NUMBER, -1, 0, now + 0.01);
  a.Sim.State.Permits.push_back(
      {a.Sim.State.Trains[1].NUMBER, StationSignals(area, lp)[1], true, now - 0.001});
  ASSERT_FALSE(a.Sim.State.LimitBySection.empty());
  const std::string faulty = WriteStateText(a.Sim);
  // Last, after the classic groups (whose lamps show the false occupancies red).
  const std::size_t group = faulty.find("[FAULTS]\r\nLEN=7\r\nFAULT_0_KIND=1\r\n");
  ASSERT_NE(group, std::string::npos);
  EXPECT_EQ(faulty.find('[', group + 1), std::string::npos);
  EXPECT_GT(group, faulty.find("[TRAIN_POS_LOG]"));
  EXPECT_NE(faulty.find("PERMIT_LEN=1\r\n"), std::string::npos);
  // Read back alone, and after the automatic dispatcher's group.
  Demo b;
  ASSERT_TRUE(LoadStateFromText(b.Sim, faulty).Ok);
  EXPECT_EQ(b.Sim.State.Faults, a.Sim.State.Faults);
  EXPECT_EQ(b.Sim.State.Permits, a.Sim.State.Permits);
  EXPECT_EQ(b.Sim.State.LimitBySection, a.Sim.State.LimitBySection);
  EXPECT_EQ(WriteStateText(b.Sim), faulty);
  a.Sim.State.AutoLPs.assign(area.Puts.size(), true);
  const std::string both = WriteStateText(a.Sim);
  ASSERT_TRUE(both.find("[AUTO_DISPATCHER]") < both.find("[FAULTS]"));
  ASSERT_TRUE(LoadStateFromText(b.Sim, both).Ok);
  EXPECT_EQ(WriteStateText(b.Sim), both);
  // A save without the group ends every fault.
  ASSERT_TRUE(LoadStateFromText(b.Sim, plain).Ok);
  EXPECT_TRUE(b.Sim.State.Faults.empty());
  EXPECT_TRUE(b.Sim.State.LimitBySection.empty());
  // A fault on no object of the district is refused like any other bad group, and the live
  // state stays as it was.
  ASSERT_TRUE(LoadStateFromText(b.Sim, faulty).Ok);
  const TStateData before = b.Sim.State;
  const std::pair<std::string, std::string> cases[] = {
      {Replace(faulty, "FAULT_0_OBJECT=\\d+", "FAULT_0_OBJECT=99999"),
       "FAULTS: fault 0 does not fit the district"},
      {Replace(faulty, "FAULT_4_KMH=\\d+", "FAULT_4_KMH=0"),
       "FAULTS: fault 4 does not fit the district"},
      {Replace(faulty, "FAULT_1_KIND=\\d+", "FAULT_1_KIND=9"),
       "Value out of range: FAULT_1_KIND=9"},
      {Replace(faulty, "PERMIT_0_SIGNAL=\\d+", "PERMIT_0_SIGNAL=-2"),
       "Value out of range: PERMIT_0_SIGNAL=-2"},
      {faulty.substr(0, faulty.rfind("PERMIT_0_SINCE")), "Unexpected end of file"},
  };
  for (const auto& [text, reason] : cases) {
    const SaveOutcome bad = LoadStateFromText(b.Sim, text);
    EXPECT_FALSE(bad.Ok) << reason;
    EXPECT_NE(bad.Reason.find(reason), std::string::npos) << bad.Reason;
    EXPECT_TRUE(b.Sim.State == before) << reason;
  }
}

TEST(SaveHostileTest, EachBadFileIsRefusedWithItsReasonAndTheStateStaysAsItWas) {
  Demo a;
  Populate(a);
  const std::string good = WriteStateText(a.Sim);
  const std::size_t lamps = good.find("[LAMPS]");
  const std::string trainsLen = "[TRAINS]\r\nLEN=3\r\n";
  const std::size_t afterLen = good.find(trainsLen) + trainsLen.size();
  const std::pair<std::string, std::string> cases[] = {
      {"", "Unexpected end of file"},
      {good.substr(0, afterLen - 3) + "2147483647\r\n", "Unexpected end of file"},
      {Replace(good, "\\[TRAINS\\]\r\nLEN=3", "[TRAINS]\r\nLEN=2147483647"), "Unexpected group"},
      {Replace(good, "TRAINS\\]\r\nLEN=3", "TRAINS]\r\nLEN=2147483648"),
       "'2147483648' is not a valid integer value"},
      {Replace(good, "TRAIN_1_HEAD_SECT_IDX=\\d+", "TRAIN_1_HEAD_SECT_IDX=999999"),
       "Value out of range: TRAIN_1_HEAD_SECT_IDX=999999"},
      {Replace(good, "TRAIN_1_HEAD_SECT_POS=[^\r]+", "TRAIN_1_HEAD_SECT_POS=1e9"),
       "Value out of range: TRAIN_1_HEAD_SECT_POS=1e+09"},
      {Replace(good, "CLOCKTIME=[^\r]+", "CLOCKTIME=nan"),
       "'nan' is not a valid floating point value"},
      {Replace(good, "CLOCKTIME=[^\r]+", "CLOCKTIME=inf"),
       "'inf' is not a valid floating point value"},
      {Replace(good, "CLOCKTIME=[^\r]+", "CLOCKTIME=3000000"),
       "Value out of range: CLOCKTIME=3000000"},
      {Replace(good, "CLOCKTIME=[^\r]+", "CLOCKTIME="), "Empty CLOCKTIME"},
      {Replace(good, "AREA=1", "AREA=2"), "Save file of district 2, not of district 1"},
      {Replace(good, "VERSION=20", "VERSION=1"), "Save file version 1 is not supported (2 to 20)"},
      {Replace(good, "VERSION=20", "VERSION=21"),
       "Save file version 21 is not supported (2 to 20)"},
      {Replace(good, "VERSION=20", "VERSION=x"), "'x' is not a valid integer value"},
      {Replace(good, "TRAIN_0_REQUEST_TYPE=0", "TRAIN_0_REQUEST_TYPE=7"),
       "Bad engineer request value"},
      {Replace(good, "TRAIN_0_HEAD_DIR=1", "TRAIN_0_HEAD_DIR=2"),
       "Value out of range: TRAIN_0_HEAD_DIR=2"},
      {Replace(good, "TRAIN_0_LOCO_IDX=2", "TRAIN_0_LOCO_IDX=99"),
       "Value out of range: TRAIN_0_LOCO_IDX=99"},
      {Replace(good, "TRAIN_1_WEIGHT=3600", "TRAIN_1_WEIGHT=-1"),
       "Value out of range: TRAIN_1_WEIGHT=-1"},
      {Replace(good, "TRAIN_1_LEN=650", "TRAIN_1_LEN=-650"),
       "Value out of range: TRAIN_1_LEN=-650"},
      {Replace(good, "TRAIN_1_HEAD_PEREGON_IDX=0", "TRAIN_1_HEAD_PEREGON_IDX=500"),
       "Value out of range: TRAIN_1_HEAD_PEREGON_IDX=500"},
      {Replace(good, "TRAIN_1_HEAD_ROUTE_IDX=-1", "TRAIN_1_HEAD_ROUTE_IDX=0"),
       "Value out of range: TRAIN_1_HEAD_ROUTE_IDX=0"},  // on the peregon: no LP
      {Replace(good, "TRAIN_0_SEMAPH_NEXT_IDX=0", "TRAIN_0_SEMAPH_NEXT_IDX=100000"),
       "Value out of range: TRAIN_0_SEMAPH_NEXT_IDX=100000"},
      {Replace(good, "TRAIN_0_SCHEDULE_IDX=\\d+", "TRAIN_0_SCHEDULE_IDX=400"),
       "Value out of range: TRAIN_0_SCHEDULE_IDX=400"},
      {Replace(good, "SECT_(\\d+)_SCHUNT_TRN_EVEN=1", "SECT_$1_SCHUNT_TRN_EVEN=3"),
       "Value out of range: SECT_"},
      {Replace(good, "SECT_(\\d+)_SCHUNT_ROUTE_ODD=-1", "SECT_$1_SCHUNT_ROUTE_ODD=0"),
       "Value out of range: SECT_"},  // a lock without an LP
      {Replace(good, "SEMAPHORE_0_DIR_NEXT=\\d", "SEMAPHORE_0_DIR_NEXT=255"),
       "Value out of range: SEMAPHORE_0_DIR_NEXT=255"},
      {Replace(good, "GORL_(\\d+)_TASK_TRACK=\\d+", "GORL_$1_TASK_TRACK=77"),
       "Value out of range: GORL_"},
      {Replace(good, "PLAN_0_CREATION_LP_CODE=1", "PLAN_0_CREATION_LP_CODE=9999"),
       "Value out of range: PLAN_0_CREATION_LP_CODE=9999"},
      {Replace(good, "\\[TRAINS_RANDOM_PLANS\\]\r\nLEN=2", "[TRAINS_RANDOM_PLANS]\r\nLEN=-1"),
       "TRAINS_RANDOM_PLANS: negative LEN"},
      {Replace(good, "\\[LAMPS\\]\r\nLEN=\\d+", "[LAMPS]\r\nLEN=5"),
       "LAMPS: LEN 5 does not fit the district"},
      {Replace(good, "\\[ROUTES\\]\r\nLEN=\\d+", "[ROUTES]\r\nLEN=0"),
       "ROUTES: LEN 0 does not fit"},
      {Replace(good, "LP_0_LEN=\\d+", "LP_0_LEN=100000"), "ROUTES: LP_0_LEN 100000 does not fit"},
      {Replace(good, "TRAIN_0_CARS=12\r\n", ""), "Unexpected key"},
      {Replace(good, "\\[SWITCHES\\]", "[SWITCHEZ]"), "Unexpected group"},
      {Replace(good, "\\[SWITCHES\\]\r\n", ""), "Expected group"},
      {Replace(good, "\\[STATE\\]\r\n", ""), "Expected group"},
      {Replace(good, "TRAIN_0_CARS=12", "TRAIN_0_CARS 12"), "No key=value pair format"},
      {good.substr(0, lamps), "Unexpected end of file"},
  };
  const std::string before = WriteStateText(a.Sim);
  for (const auto& [text, reason] : cases) {
    const SaveOutcome outcome = LoadStateFromText(a.Sim, text);
    EXPECT_FALSE(outcome.Ok) << reason;
    EXPECT_EQ(outcome.Reason.substr(0, reason.size()), reason);
    EXPECT_EQ(WriteStateText(a.Sim), before) << reason;
  }
  // Cut in the middle of every group.
  std::vector<std::size_t> starts{0}, headers;
  for (std::size_t p = good.find('\n'); p != std::string::npos; p = good.find('\n', p + 1))
    starts.push_back(p + 1);
  for (std::size_t k = 0; k + 1 < starts.size(); ++k)
    if (good[starts[k]] == '[') headers.push_back(k);
  headers.push_back(starts.size() - 1);
  for (std::size_t h = 0; h + 1 < headers.size(); ++h) {
    const std::size_t middle = std::max(headers[h] + 1, (headers[h] + headers[h + 1]) / 2);
    const SaveOutcome outcome = LoadStateFromText(a.Sim, good.substr(0, starts[middle]));
    EXPECT_EQ(outcome.Reason, "Unexpected end of file") << "group " << h;
    EXPECT_EQ(WriteStateText(a.Sim), before);
  }
}

TEST(SaveHostileTest, APositionBeyondItsSectionIsRefusedWhileItsEndsAndRoundingLoad) {
  // Train 2 stands on section 3 of the test line (300 m), head at 290 m, tail at 90 m. A
  // position lies within 0 .. the section's length, give or take the motion's rounding.
  TestLine line;
  NewTrain n;
  n.Len = 200;
  line.Drive(line.Add(n), 3, 290, 0);
  const std::string good = WriteStateText(line.Sim);
  ASSERT_NE(good.find("TRAIN_0_HEAD_SECT_IDX=3\r\nTRAIN_0_HEAD_SECT_POS=290\r\n"),
            std::string::npos);
  struct Case {
    const char* End;
    const char* Position;
    const char* Refusal;  // empty: loads
  };
  const Case cases[] = {
      {"HEAD", "850.5", "Value out of range: TRAIN_0_HEAD_SECT_POS=850.5"},
      {"TAIL", "850.5", "Value out of range: TRAIN_0_TAIL_SECT_POS=850.5"},
      {"HEAD", "301.5", "Value out of range: TRAIN_0_HEAD_SECT_POS=301.5"},
      {"TAIL", "-1.5", "Value out of range: TRAIN_0_TAIL_SECT_POS=-1.5"},
      {"HEAD", "300", ""},
      {"HEAD", "300.00000000000006", ""},
      {"TAIL", "0", ""},
      {"TAIL", "-0.4", ""},
  };
  for (const Case& c : cases) {
    const std::string key = std::string("TRAIN_0_") + c.End + "_SECT_POS=";
    const std::string text = Replace(good, key + "[^\r]+", key + c.Position);
    TestLine other;
    const std::string fresh = WriteStateText(other.Sim);
    const SaveOutcome outcome = LoadStateFromText(other.Sim, text);
    EXPECT_EQ(outcome.Ok, std::string(c.Refusal).empty()) << c.End << " " << c.Position;
    EXPECT_EQ(outcome.Reason, c.Refusal) << c.End << " " << c.Position;
    if (!outcome.Ok) {
      EXPECT_EQ(WriteStateText(other.Sim), fresh);  // the live state untouched
    }
  }
}

TEST(SaveHostileTest, DecimalCommaCommentsAndBareLineFeedsAreAccepted) {
  Demo a;
  Populate(a);
  const std::string text = WriteStateText(a.Sim);
  std::string comma = std::regex_replace(text, std::regex("(=-?\\d+)\\.(\\d)"), "$1,$2");
  comma = std::regex_replace(comma, std::regex("\r\n"), "\n");
  comma = Replace(comma, "\\[LAMPS\\]\n", "; the panel\n\n[LAMPS]\n");
  ASSERT_NE(comma.find("TRAIN_1_SPEED=16,666666666666668\n"), std::string::npos);
  Demo b;
  const SaveOutcome loaded = LoadStateFromText(b.Sim, comma);
  ASSERT_TRUE(loaded.Ok) << loaded.Describe();
  EXPECT_EQ(WriteStateText(b.Sim), text);
}

TEST(SaveFileTest, ValuesReadAsWrittenAndRealsKeepEveryBit) {
  for (const double x : {0.0, -0.0, 1.0 / 3, 45366.123456789012, 1e-300, -2.5e15, 0.1}) {
    const std::string text = FormatSaveReal(x);
    double back = 1;
    ASSERT_TRUE(ParseSaveReal(text, back)) << text;
    EXPECT_EQ(std::signbit(back), std::signbit(x));
    EXPECT_EQ(back, x) << text;
    EXPECT_EQ(text.find(','), std::string::npos);
  }
  int n = 0;
  const std::pair<const char*, bool> integers[] = {
      {"0", true},           {"-2147483648", true}, {"2147483647", true}, {"+7", true},
      {"2147483648", false}, {"", false},           {"-", false},         {"1.0", false},
      {" 1", false},         {"0x10", false},       {"++1", false}};
  for (const auto& [text, ok] : integers) EXPECT_EQ(ParseSaveInteger(text, n), ok) << text;
  double r = 0;
  for (const char* bad : {"nan", "inf", "-inf", "1e400", "", "1,2,3", "x"})
    EXPECT_FALSE(ParseSaveReal(bad, r)) << bad;
  EXPECT_TRUE(ParseSaveReal("1E-5", r) && r == 1e-5);
}

// ---------------------------------------------------------------------------
// Saving: the temporary file, the copies, and failures that leave last.sav alone

class SaveFolderTest : public testing::Test {
 protected:
  SaveFolderTest() { fs::remove_all(dir); }
  ~SaveFolderTest() override { fs::remove_all(dir); }
  static std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(saves)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  const fs::path dir =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  const fs::path saves = SaveDirectory(dir);
  const fs::path last = LastSavePath(dir);
  Demo d;
};

TEST_F(SaveFolderTest, EachSaveKeepsThePreviousAsTheNextNumberedCopy) {
  fs::create_directories(saves);
  std::ofstream(saves / "1.sav") << "old";
  std::vector<std::string> texts;
  for (int k = 0; k < 3; ++k) {
    d.Sim.State.ClockTime += kMinute;
    ASSERT_TRUE(SaveLastState(d.Sim, dir).Ok);
    texts.push_back(WriteStateText(d.Sim));
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"1.sav", "2.sav", "3.sav", "last.sav"}));
  EXPECT_EQ(Bytes(saves / "2.sav"), texts[0]);
  EXPECT_EQ(Bytes(saves / "3.sav"), texts[1]);
  EXPECT_EQ(Bytes(last), texts[2]);
  Demo e;
  ASSERT_TRUE(LoadLastState(e.Sim, dir).Ok);
  EXPECT_EQ(e.Sim.State.ClockTime, d.Sim.State.ClockTime);
}

TEST_F(SaveFolderTest, StrayNamesHugeNumbersAndAFolderNamedLikeTheNextCopyDoNotStopSaving) {
  fs::create_directories(saves / "5.sav");  // a folder, not a copy
  for (const char* name : {"x.sav", ".sav", "4.sav", "99999999999999.sav", "7.SAV.bak", "3a.sav"})
    std::ofstream(saves / name) << "stray";
  EXPECT_EQ(NextSaveCopy(saves).filename(), "6.sav");  // 4 is the largest; 5 is taken
  ASSERT_TRUE(SaveLastState(d.Sim, dir).Ok);
  ASSERT_TRUE(SaveLastState(d.Sim, dir).Ok);
  EXPECT_TRUE(fs::is_regular_file(saves / "6.sav"));
  std::ofstream(saves / "2147483647.sav") << "largest";
  EXPECT_EQ(NextSaveCopy(saves).filename(), "2147483648.sav");
}

TEST_F(SaveFolderTest, FailedWriteLeavesLastSavByteForByteAndNoTemporaryFile) {
  ASSERT_TRUE(SaveLastState(d.Sim, dir).Ok);
  const std::string before = Bytes(last);
  d.Sim.State.ClockTime += 1;
  // A full disk: the temporary file is a link to /dev/full, where every write fails.
  fs::create_symlink("/dev/full", saves / "last.sav.tmp");
  const SaveOutcome full = SaveLastState(d.Sim, dir);
  EXPECT_FALSE(full.Ok);
  EXPECT_NE(full.Reason.find("Cannot write"), std::string::npos) << full.Reason;
  EXPECT_EQ(Bytes(last), before);
  EXPECT_EQ(Names(), std::vector<std::string>{"last.sav"});
  // last.sav that cannot be replaced (a folder in its way) keeps no copy either.
  const fs::path other = dir / "other";
  fs::create_directories(other / "a.sav");
  EXPECT_FALSE(SaveStateToFile(d.Sim, other / "a.sav", true).Ok);
  EXPECT_EQ(std::distance(fs::directory_iterator(other), fs::directory_iterator()), 1);
  // A save folder that cannot be made.
  std::ofstream(dir / "blocked") << "a file";
  const SaveOutcome blocked = SaveLastState(d.Sim, dir / "blocked");
  EXPECT_FALSE(blocked.Ok);
  EXPECT_NE(blocked.Reason.find("Cannot create"), std::string::npos) << blocked.Reason;
}

TEST_F(SaveFolderTest, MissingOrDirectoryLastSavIsNoSaveFile) {
  EXPECT_EQ(LoadLastState(d.Sim, dir).Reason, "No save file");
  fs::create_directories(last);
  EXPECT_EQ(LoadLastState(d.Sim, dir).Reason, "No save file");
}

}  // namespace
}  // namespace traklin::test
