// The instructor's faults and the dispatcher's permission to pass a closed signal, played as
// scenario lines on a small line: what each fault does to the trains and the interlocking,
// what the stations say, and the lines refused before a run.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "area/object_names.h"
#include "dispatch/auto_permits.h"
#include "dispatch/fault_operations.h"
#include "dispatch/scenario.h"
#include "simulation/headless_run.h"
#include "state/braking.h"
#include "state/faults.h"
#include "trains/fault_line.h"
#include "trains/fault_trains.h"
#include "trains/shipped_district.h"
#include "trains/stops.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

/// The faults' line (sketched in fault_line.h): passenger 801 leaves ЛЕС for ГОР at 10:00
/// without stopping at РАЗ, freight 2001 follows at 10:20.
const std::string kLine = test::FaultLineDescription(std::string(R"([
    {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
    {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:20"}])"));

/// The line with a scenario played on it, every fault event written down as
/// "HH:MM:SS.s event what" ("10:05:00.0 fault train 801 until 10:15:00.0",
/// "10:12:00.0 permit 801 at 1:1 Н: ok").
struct FaultLine {
  ShippedDistrict Line{kLine, 1};
  Simulation& Sim = Line.Sim;
  std::vector<std::string> Events;
  std::vector<std::string> Refused;  ///< "line N: reason" of the lines not done
  std::unique_ptr<ScenarioPlayer> Player;

  /// From hhmm, with every station worked by the automatic dispatcher when `automated`.
  FaultLine(int hhmm, bool automated) {
    Line.SetClock(hhmm);
    if (automated) Sim.State.AutoLPs.assign(Sim.AreaData.Puts.size(), true);
    Sim.OnFaultEvent = [this](const FaultEvent& e) {
      std::string text = Now() + " " + e.Event + " ";
      if (e.Event == "permit")
        text +=
            fmt::format("{} at {}: {}", e.Number,
                        e.Signal >= 0 ? SignalDesignation(Sim.AreaData, e.Signal) : "-", e.Result);
      else
        text += std::string(FaultKindWord(static_cast<FaultKind>(e.Fault.KIND))) + " " +
                FaultObjectText(Sim.AreaData, e.Fault) + " until " +
                (e.Fault.UNTIL != 0 ? FormatEventTime(e.Fault.UNTIL).substr(11) : "-");
      Events.push_back(text);
    };
  }
  std::string Now() const { return FormatEventTime(Sim.State.ClockTime).substr(11); }

  /// Plays the scenario from now on, a line when the step whose clock reaches it comes.
  void Script(const std::string& text) {
    Player =
        std::make_unique<ScenarioPlayer>(ParseScenario(text, Sim.AreaData), Sim.State.ClockTime);
    Player->Refused = [this](int line, const std::string& reason) {
      Refused.push_back(fmt::format("line {}: {}", line, reason));
    };
  }
  void Step() {
    if (Player) Player->PlayDue(Sim, Sim.State.ClockTime + kStepLength);
    Sim.SimulationStep(kStepLength);
  }
  template <class Done>
  bool RunUntil(int minutes, Done done) {
    for (int n = 0; n < minutes * 120; ++n)
      if (Step(), done()) return true;
    return false;
  }
  void RunFor(int minutes) {
    RunUntil(minutes, [] { return false; });
  }
  /// Runs until the clock reads hh:mm.
  void RunTo(int hhmm) {
    const TDateTime end = std::floor(Sim.State.ClockTime) + TimeFromHHMM(hhmm);
    while (Sim.State.ClockTime < end - 0.1 / 86400) Step();
  }

  int Train(int number) const {
    for (int i = 0; i < static_cast<int>(Sim.State.Trains.size()); ++i)
      if (Sim.State.Trains[i].NUMBER == number && Sim.State.Trains[i].HEAD.SECT_IDX > 0) return i;
    return -1;
  }
  TTrainData& Of(int number) { return Sim.State.Trains.at(Train(number)); }
  double Kmh(int number) { return Of(number).SPEED * 3.6; }
  /// The name of the section the train's head is on ("1:1", "I").
  std::string HeadAt(int number) { return SectionName(Sim.AreaData, Of(number).HEAD.SECT_IDX); }
  int LP(const std::string& mnem) const {
    for (int lp = 0; lp < static_cast<int>(Sim.AreaData.Puts.size()); ++lp)
      if (LPName(Sim.AreaData, lp) == mnem) return lp;
    return -1;
  }
  /// The duty officers' reports so far, "caption: text".
  Texts Reports() const {
    Texts texts;
    for (const RecordingConsole::Box& box : Line.Console.Infos)
      texts.push_back(box.Caption + ": " + box.Text);
    return texts;
  }
  /// The reports that contain `part`.
  Texts ReportsWith(const std::string& part) const {
    Texts all = Reports(), some;
    std::copy_if(all.begin(), all.end(), std::back_inserter(some),
                 [&](const std::string& t) { return t.find(part) != std::string::npos; });
    return some;
  }
  int Signal(const std::string& mnem, const std::string& name) const {
    return FindStationSignal(Sim.AreaData, LP(mnem), name);
  }
  int BlockSignal(const std::string& block, int dir) const {
    const int s = FindBlockSection(Sim.AreaData, block);
    return s > 0 ? Sim.AreaData.SlSects[s].Semaphore[dir] : -1;
  }
  bool Red(int s) const {
    for (const int lamp : SectionLampSet(Sim, s).Lamps)
      if (lamp > 0 && !Sim.State.Lamps[lamp].RED) return false;
    return true;
  }
};

// ---------------------------------------------------------------------------

TEST(FaultNamesTest, ObjectsAreNamedAsThePanelShowsThem) {
  FaultLine f(930, false);
  const TAreaData& area = f.Sim.AreaData;
  const auto names = [&](const std::vector<int>& list, auto name) {
    std::vector<std::string> out;
    for (const int x : list) out.push_back(name(x));
    return out;
  };
  const auto section = [&](int s) { return SectionName(area, s); };
  const auto signal = [&](int g) { return SignalName(area, g); };
  EXPECT_EQ(StationSwitches(area, f.LP("РАЗ")), (std::vector<int>{4, 5}));
  EXPECT_EQ(names(StationSections(area, f.LP("РАЗ")), section), (Texts{"I", "3", "4СП", "5СП"}));
  EXPECT_EQ(names(StationSignals(area, f.LP("РАЗ")), signal),
            (Texts{"НI", "ЧI", "Н3", "Ч3", "Н", "Ч"}));
  EXPECT_EQ(names(StationSignals(area, f.LP("ГОР")), signal),
            (Texts{"НI", "ЧI", "Н2", "Ч2", "Н4", "Ч4", "Н6", "Ч6", "Н"}));
  EXPECT_EQ(names(PeregonSections(area, 0), section), (Texts{"1:1", "1:2"}));
  EXPECT_EQ(SignalDesignation(area, f.BlockSignal("1:1", 1)), "1:1 Н");
  EXPECT_EQ(SignalDesignation(area, f.Signal("ЛЕС", "НI")), "6 НI");
  EXPECT_EQ(PeregonTitle(area, 1), "Разъезд – Горная");
  // A section is found by its name or its number; a block section only in its own form.
  const int track3 = FindStationSection(area, f.LP("РАЗ"), "3");
  EXPECT_GT(track3, 0);
  EXPECT_EQ(FindStationSection(area, f.LP("РАЗ"), FormatHexNumber(track3)), track3);
  EXPECT_EQ(FindStationSection(area, f.LP("ЛЕС"), "3СП"), area.Strels[3].Section);
  EXPECT_EQ(FindStationSection(area, f.LP("РАЗ"), "1:2"), 0);
  EXPECT_EQ(FindBlockSection(area, "2:3"), 0);
}

TEST(FaultLinesTest, LinesAreReadAndWrittenBackAsTheyWere) {
  FaultLine f(930, false);
  const char* const lines[] = {
      "fault train 801 10m",  "fault switch 7 4 -",    "fault section 7 3 1h",
      "fault section 1:2 5m", "fault signal 6 НI 2h",  "limit 2 40 -",
      "limit 8:I 25 30m",     "clear fault train 801", "clear fault section 1:2",
      "clear limit 8:I",      "permit 2001",
  };
  for (const std::string line : lines) {
    const std::vector<ScenarioStep> steps = ParseScenario("10:00 " + line, f.Sim.AreaData);
    ASSERT_EQ(steps.size(), 1u) << line;
    EXPECT_EQ(steps[0].Action, ScenarioAction::Fault) << line;
    EXPECT_EQ(FaultOrderLine(f.Sim.AreaData, steps[0].Fault), line);
  }
}

TEST(FaultLinesTest, BadLinesAreRefusedWithTheirNumberAndReason) {
  FaultLine f(930, false);
  const struct {
    std::string text, reason;
  } cases[] = {
      {"fault", "fault: expected train, switch, section or signal"},
      {"fault engine 801 10m", "fault: expected train, switch, section or signal: engine"},
      {"fault train 801", "fault train: expected NUMBER SPAN"},
      {"fault train 0 10m", "train number must be positive: 0"},
      {"fault train 801 soon", "not a span (a number with s, m, h or d, or -): soon"},
      {"fault switch 7 10m", "fault switch: expected LP NUMBER SPAN"},
      {"fault switch 7 1 10m", "no switch 1 at LP 7"},
      {"fault switch 99 4 10m", "no LP with code 99"},
      {"fault section 7 9 10m", "no section 9 at LP 7"},
      {"fault section 3:1 10m", "no block section 3:1"},
      {"fault section 7 3 1:2 10m", "fault section: expected LP NAME or PEREGON:K SPAN"},
      {"fault signal 7 Н5 10m", "no signal Н5 at LP 7"},
      {"fault signal x НI 10m", "LP code is not a number: x"},
      {"limit 3 40 10m", "no peregon 3"},
      {"limit 7:5 40 10m", "no track 5 at LP 7"},
      {"limit 2 0 10m", "speed must be 1 to 500 km/h: 0"},
      {"limit 2 40", "limit: expected PEREGON|LP:TRACK KMH SPAN"},
      {"clear fault train", "clear train: expected NUMBER"},
      {"clear train 801", "clear: expected fault KIND OBJECT or limit PEREGON|LP:TRACK"},
      {"clear limit 2 40", "clear limit: expected PEREGON or LP:TRACK"},
      {"permit", "permit: expected NUMBER"},
      {"permit x", "train number must be positive: x"},
  };
  for (const auto& k : cases) {
    const std::string text = "; faults\n10:00 fault train 801 5m\n\n10:05 " + k.text + "\n";
    try {
      ParseScenario(text, f.Sim.AreaData);
      ADD_FAILURE() << "accepted: " << k.text;
    } catch (const ScenarioError& e) {
      EXPECT_EQ(e.Line, 4) << k.text;
      EXPECT_EQ(e.Reason, k.reason) << k.text;
    }
  }
}

TEST(FaultLinesTest, EventLogAndInstructorsListShowEachFaultAsWritten) {
  FaultLine f(930, false);
  std::ostringstream out;
  std::vector<ActiveFault> active;
  {
    EventLog log(f.Sim, &out, true);
    f.Script(
        "09:30 fault switch 7 4 40m\n09:31 limit 2 40 -\n09:32 limit 8:I 25 1h\n"
        "09:33 clear limit 2\n09:34 permit 801\n09:35 fault section 1:2 -\n"
        "09:36 fault section 7 3 -\n09:37 fault signal 6 Н3 40m\n10:01 fault train 801 1h\n");
    f.RunTo(1002);
    active = ActiveFaults(f.Sim);
    f.RunTo(1020);
  }
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);)
    if (line.find("\"event\":\"fault\"") != std::string::npos ||
        line.find("\"event\":\"cleared\"") != std::string::npos ||
        line.find("\"event\":\"permit\"") != std::string::npos)
      lines.push_back(line);
  const std::string day = "{\"time\":\"2025-03-15 ";
  EXPECT_EQ(lines,
            (Texts{
                day + "09:30:00.0\",\"event\":\"fault\",\"kind\":\"switch\",\"object\":\"7 "
                      "4\",\"until\":\"2025-03-15 10:10:00.0\"}",
                day + "09:30:59.5\",\"event\":\"fault\",\"kind\":\"limit\",\"object\":\"2\","
                      "\"kmh\":40,\"until\":\"-\"}",
                day + "09:31:59.5\",\"event\":\"fault\",\"kind\":\"limit\",\"object\":\"8:I\","
                      "\"kmh\":25,\"until\":\"2025-03-15 10:32:00.0\"}",
                day + "09:32:59.5\",\"event\":\"cleared\",\"kind\":\"limit\",\"object\":\"2\","
                      "\"kmh\":40,\"until\":\"-\"}",
                day + "09:33:59.5\",\"event\":\"permit\",\"number\":801,\"signal\":\"-\","
                      "\"result\":\"no train 801 in the district\"}",
                day + "09:34:59.5\",\"event\":\"fault\",\"kind\":\"section\",\"object\":\"1:"
                      "2\",\"until\":\"-\"}",
                day + "09:35:59.5\",\"event\":\"fault\",\"kind\":\"section\",\"object\":\"7 "
                      "3\",\"until\":\"-\"}",
                day + "09:36:59.5\",\"event\":\"fault\",\"kind\":\"signal\",\"object\":\"6 "
                      "Н3\",\"until\":\"2025-03-15 10:17:00.0\"}",
                day + "10:00:59.5\",\"event\":\"fault\",\"kind\":\"train\",\"object\":\"801\","
                      "\"until\":\"2025-03-15 11:01:00.0\"}",
                day + "10:10:00.0\",\"event\":\"cleared\",\"kind\":\"switch\",\"object\":\"7 "
                      "4\",\"until\":\"2025-03-15 10:10:00.0\"}",
                day + "10:17:00.0\",\"event\":\"cleared\",\"kind\":\"signal\",\"object\":\"6 "
                      "Н3\",\"until\":\"2025-03-15 10:17:00.0\"}",
            }));
  // What the instructor's list shows of each fault in force, and the line that ends it.
  std::vector<std::string> shown;
  for (const ActiveFault& a : active) shown.push_back(a.Description + " | " + a.Line);
  EXPECT_EQ(shown, (Texts{
                       "Стрелка № 4 станции Разъезд не переводится | clear fault switch 7 4",
                       "Ограничение скорости 25 км/ч на I пути станции Горная | clear limit 8:I",
                       "Ложная занятость блок-участка 1:2 перегона Лесная – Разъезд | clear "
                       "fault section 1:2",
                       "Ложная занятость секции 3 станции Разъезд | clear fault section 7 3",
                       "Светофор Н3 станции Лесная не открывается | clear fault signal 6 Н3",
                       "Поезд № 801: неисправность локомотива | clear fault train 801",
                   }));
  // The panel's lamps: the false occupancies and the restricted track.
  const FaultLamps lamps = FaultLampsOf(f.Sim);
  EXPECT_EQ(lamps.FailedSwitches.size(), 0u);
  EXPECT_EQ(lamps.FailedSignals.size(), 0u);
  EXPECT_FALSE(lamps.FalseOccupancy.empty());
  EXPECT_FALSE(lamps.Restricted.empty());
  EXPECT_TRUE(f.Red(FindBlockSection(f.Sim.AreaData, "1:2")));
  EXPECT_TRUE(f.Red(FindStationSection(f.Sim.AreaData, f.LP("РАЗ"), "3")));
}

// ---------------------------------------------------------------------------

TEST(BreakdownTest, TrainBrakesToAStopStandsForItsSpanAndGoesOn) {
  FaultLine f(930, true);
  f.Script("10:04 fault train 801 10m\n");
  f.RunTo(1004);
  ASSERT_GE(f.Train(801), 0);
  ASSERT_EQ(f.Of(801).HEAD.LP_CODE, 0) << "801 should be on the line by 10:04";
  const double before = f.Kmh(801);
  EXPECT_GT(before, 60);
  // It brakes as it would for a stop: no faster than its braking allows.
  double last = before;
  int braking = 0;
  ASSERT_TRUE(f.RunUntil(5, [&] {
    EXPECT_LE(f.Kmh(801), last + 1e-9);
    last = f.Kmh(801);
    ++braking;
    return f.Kmh(801) == 0;
  }));
  const double a = Deceleration(f.Sim, f.Train(801));
  EXPECT_NEAR(braking * 0.5, before / 3.6 / a, 1.0);
  f.RunTo(1013);
  EXPECT_EQ(f.Kmh(801), 0);
  // It stopped about 5 km out of ЛЕС: РАЗ, the nearer station, reports it.
  EXPECT_EQ(f.HeadAt(801), "1:2");
  EXPECT_EQ(f.ReportsWith("неисправность"),
            Texts{"ДСП РАЗ: Поезд № 801 остановился на перегоне Лесная – Разъезд: неисправность "
                  "локомотива"});
  f.RunTo(1015);
  EXPECT_GT(f.Kmh(801), 0);
  EXPECT_TRUE(f.RunUntil(30, [&] { return f.Train(801) < 0; })) << "801 never reached ГОР";
  EXPECT_EQ(f.Events, (Texts{"10:03:59.5 fault train 801 until 10:14:00.0",
                             "10:14:00.0 cleared train 801 until 10:14:00.0"}));
  EXPECT_EQ(f.Line.Faults(), Texts{});
}

TEST(BreakdownTest, TrainStandingAtAStationIsReportedThereAndKeptUntilMended) {
  FaultLine f(930, true);
  f.Script("09:58 fault train 801 5m\n10:01 clear fault train 801\n");
  f.RunTo(1001);
  ASSERT_GE(f.Train(801), 0);
  // Due at 10:00 it stayed on its track at ЛЕС.
  EXPECT_EQ(f.Of(801).HEAD.LP_CODE, f.Sim.AreaData.Puts[f.LP("ЛЕС")].Code);
  EXPECT_EQ(f.Kmh(801), 0);
  EXPECT_EQ(f.ReportsWith("неисправность"),
            Texts{"ДСП ЛЕС: Поезд № 801 остановился: неисправность локомотива"});
  EXPECT_TRUE(f.RunUntil(10, [&] { return f.Kmh(801) > 0; }));
  EXPECT_EQ(f.Events, (Texts{"09:57:59.5 fault train 801 until 10:03:00.0",
                             "10:00:59.5 cleared train 801 until 10:03:00.0"}));
}

// ---------------------------------------------------------------------------

TEST(SwitchFaultTest, RouteNeedingTheOtherPositionWaitsReportsOnceAndIsSetWhenCleared) {
  FaultLine f(930, false);
  const int lp = f.LP("РАЗ");
  const TAreaData& area = f.Sim.AreaData;
  // The entries from ЛЕС onto loop 3 (switch 4 reverse) and onto I (switch 4 normal).
  const int loop = FindStationSection(area, lp, "3");
  const int main = FindStationSection(area, lp, "I");
  int toLoop = -1, toMain = -1;
  for (int r = 0; r < static_cast<int>(area.TrainRoutes[lp].Routes.size()); ++r) {
    const TTrainRouteData& route = area.TrainRoutes[lp].Routes[r];
    if (route.FirstSection != FindBlockSection(area, "1:2")) continue;
    if (route.LastSection == loop) toLoop = r;
    if (route.LastSection == main) toMain = r;
  }
  ASSERT_GE(toLoop, 0);
  ASSERT_GE(toMain, 0);
  f.Script("09:30 fault switch 7 4 -\n09:40 clear fault switch 7 4\n");
  f.Step();
  ASSERT_TRUE(SwitchFailed(f.Sim, 4));
  ASSERT_TRUE(OrderRoute(f.Sim, lp, toLoop));
  f.RunFor(5);
  EXPECT_TRUE(RouteIsPending(f.Sim, lp, toLoop));
  EXPECT_EQ(f.Sim.State.Switches[4], 0);
  EXPECT_EQ(f.Reports(), Texts{"ДСП РАЗ: Стрелка № 4 станции Разъезд не переводится"});
  // The way that needs the switch as it lies is set meanwhile.
  ASSERT_TRUE(ReverseRoute(f.Sim, lp, toLoop));
  f.RunFor(1);
  ASSERT_TRUE(OrderRoute(f.Sim, lp, toMain));
  f.RunFor(1);
  EXPECT_TRUE(RouteIsSet(f.Sim, lp, toMain));
  ASSERT_TRUE(CancelRoute(f.Sim, lp, toMain));
  f.RunFor(1);
  ASSERT_TRUE(OrderRoute(f.Sim, lp, toLoop));
  f.RunTo(939);
  EXPECT_TRUE(RouteIsPending(f.Sim, lp, toLoop));
  EXPECT_EQ(f.Reports().size(), 1u) << "the station reports a fault once";
  f.RunTo(941);
  EXPECT_TRUE(RouteIsSet(f.Sim, lp, toLoop));
  EXPECT_EQ(f.Sim.State.Switches[4], 1);
  EXPECT_EQ(f.Events, (Texts{"09:30:00.0 fault switch 7 4 until -",
                             "09:39:59.5 cleared switch 7 4 until -"}));
}

TEST(AutoDispatcherFaultTest, TrainGoesThroughTheStationAnotherWayWhileOneIsFailed) {
  // 801 runs through РАЗ on its loop 3; a false occupancy of 3, or switch 4 lying normal and
  // failed, sends it over I instead, without a report: the way through the fault is never
  // asked for.
  const struct {
    std::string script;
    Texts sections;
    Texts reports;
  } cases[] = {
      {"", {"4СП", "3", "5СП"}, {}},
      {"09:30 fault section 7 3 1h\n", {"4СП", "I", "5СП"}, {}},
      {"09:30 fault switch 7 4 1h\n", {"4СП", "I", "5СП"}, {}},
  };
  for (const auto& k : cases) {
    FaultLine f(930, true);
    f.Script(k.script);
    Texts sections;
    const int code = f.Sim.AreaData.Puts[f.LP("РАЗ")].Code;
    ASSERT_TRUE(f.RunUntil(60, [&] {
      if (f.Train(801) < 0) return false;
      if (f.Of(801).HEAD.LP_CODE == code) {
        if (sections.empty() || sections.back() != f.HeadAt(801)) sections.push_back(f.HeadAt(801));
        return false;
      }
      return !sections.empty();
    })) << k.script;
    EXPECT_EQ(sections, k.sections) << k.script;
    EXPECT_EQ(f.ReportsWith("Стрелка"), k.reports) << k.script;
    EXPECT_EQ(f.Line.Faults(), Texts{}) << k.script;
  }
}

// ---------------------------------------------------------------------------

struct FalseOccupancy : ::testing::Test {
  FaultLine f{930, true};
  int block = FindBlockSection(f.Sim.AreaData, "1:2");
  int guard = f.BlockSignal("1:1", 1);  // the odd block signal before 1:2
};

TEST_F(FalseOccupancy, SignalClosesTrainStopsBeforeItAndAPermissionTakesItPastAt20) {
  // No automatic permission: РАЗ, the station 801 runs towards, is the dispatcher's.
  f.Sim.State.AutoLPs[f.LP("РАЗ")] = false;
  f.Script("09:59 fault section 1:2 -\n10:20 permit 801\n");
  f.RunTo(1000);
  EXPECT_TRUE(f.Red(block));
  EXPECT_TRUE(f.Sim.State.Semaphores[guard].CLOSED);
  EXPECT_TRUE(SignalHeldByFault(f.Sim, guard));
  ASSERT_TRUE(f.RunUntil(
      15, [&] { return f.Train(801) >= 0 && ClosedSignalAhead(f.Sim, f.Train(801)) == guard; }));
  const std::vector<HeldTrain> held = TrainsBeforeClosedSignals(f.Sim);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_TRUE(held[0].HeldByFault);
  EXPECT_EQ(held[0].Place, "Поезд № 801 у светофора 1:1 Н перегона Лесная – Разъезд");
  f.RunTo(1020);
  ASSERT_EQ(f.HeadAt(801), "1:1");
  EXPECT_EQ(f.Kmh(801), 0);
  // Past the signal it keeps 20 km/h until it stands before РАЗ's entrance signal.
  double fastest = 0;
  ASSERT_TRUE(f.RunUntil(20, [&] {
    fastest = std::max(fastest, f.Kmh(801));
    return f.HeadAt(801) == "1:2" && f.Kmh(801) == 0;
  }));
  EXPECT_GT(fastest, 15);
  EXPECT_LE(fastest, 20);
  EXPECT_EQ(ClosedSignalAhead(f.Sim, f.Train(801)), f.Signal("РАЗ", "Н"));
  EXPECT_EQ(f.Sim.State.Permits.size(), 0u) << "the permission ends at the next signal";
  EXPECT_EQ(f.Line.Faults(), Texts{}) << "no red signal passed";
  EXPECT_EQ(f.Events,
            (Texts{"09:58:59.5 fault section 1:2 until -", "10:19:59.5 permit 801 at 1:1 Н: ok"}));
}

TEST_F(FalseOccupancy, PermissionIsRefusedWhileARealTrainStandsBeyondTheSignal) {
  // 801 is let past and breaks down on the block that reads occupied; 2001 comes up behind it.
  // ЛЕС and РАЗ are the dispatcher's (the automatic one keeps a second train off the line).
  f.Sim.State.AutoLPs[f.LP("РАЗ")] = false;
  f.Sim.State.AutoLPs[f.LP("ЛЕС")] = false;
  f.Script(
      "09:59 fault section 1:2 -\n09:59 answer yes\n09:59 commit 6 odd give\n"
      "10:10 permit 801\n10:12 fault train 801 -\n10:19 commit 6 odd give\n");
  f.RunTo(1000);
  EXPECT_EQ(PermitTrain(f.Sim, 801), "the train does not stand before a closed signal");
  f.RunTo(1015);
  ASSERT_EQ(f.HeadAt(801), "1:2");
  ASSERT_TRUE(f.RunUntil(
      30, [&] { return f.Train(2001) >= 0 && ClosedSignalAhead(f.Sim, f.Train(2001)) == guard; }));
  EXPECT_EQ(PermitTrain(f.Sim, 2001), "a train stands beyond the signal");
  EXPECT_EQ(PermitTrain(f.Sim, 9999), "no train 9999 in the district");
  EXPECT_EQ(f.Events.back(), f.Now() + " permit 9999 at -: no train 9999 in the district");
  EXPECT_EQ(f.Line.Faults(), Texts{});
}

TEST_F(FalseOccupancy, AutomaticDispatcherGivesThePermissionAfterTwoMinutes) {
  f.Script("09:59 fault section 1:2 -\n");
  ASSERT_TRUE(f.RunUntil(
      40, [&] { return f.Train(801) >= 0 && ClosedSignalAhead(f.Sim, f.Train(801)) == guard; }));
  // It came to rest a step or so before the first step that sees it at the signal.
  const TDateTime stopped = f.Sim.State.ClockTime - StandingFor(f.Sim, f.Train(801));
  ASSERT_TRUE(f.RunUntil(5, [&] { return !f.Sim.State.Permits.empty(); }));
  EXPECT_NEAR((f.Sim.State.ClockTime - stopped) * 86400, 120, 0.6);
  ASSERT_EQ(f.Events.size(), 2u);
  EXPECT_EQ(f.Events[1].substr(10), " permit 801 at 1:1 Н: ok");
  EXPECT_TRUE(f.RunUntil(30, [&] { return f.Train(801) < 0; })) << "801 never reached ГОР";
  EXPECT_EQ(f.Line.Faults(), Texts{});
}

// ---------------------------------------------------------------------------

TEST(SignalFaultTest, FailedExitSignalWantsTheCommitAndTheRouteBeforeAPermission) {
  // ЛЕС asks for its commits; the dispatcher is the scenario.
  FaultLine f(930, false);
  const int lp = f.LP("ЛЕС");
  f.Script("09:31 fault signal 6 Н3 -\n");
  f.RunTo(1000);
  const int exit = f.Signal("ЛЕС", "Н3");
  ASSERT_GE(f.Train(801), 0);
  ASSERT_EQ(f.HeadAt(801), "3");
  ASSERT_EQ(ClosedSignalAhead(f.Sim, f.Train(801)), exit);
  EXPECT_EQ(f.ReportsWith("Дайте разрешение"),
            Texts{"ДСП ЛЕС: Дайте разрешение на отправление поезду № 801"});
  EXPECT_EQ(PermitTrain(f.Sim, 801), "the departure commit is not given");
  ToggleDepartCommit(f.Sim, lp, 1);
  EXPECT_EQ(PermitTrain(f.Sim, 801), "no route is set beyond the signal");
  // The station spends the commit on its way out; the signal stays closed on the set route.
  f.RunFor(1);
  EXPECT_FALSE(DepartCommitGiven(f.Sim, lp, 1));
  EXPECT_GT(f.Sim.State.Semaphores[exit].SECT_NEXT, 0);
  EXPECT_TRUE(f.Sim.State.Semaphores[exit].CLOSED);
  EXPECT_EQ(f.Kmh(801), 0);
  EXPECT_EQ(PermitTrain(f.Sim, 801), "");
  double fastest = 0;
  ASSERT_TRUE(f.RunUntil(20, [&] {
    fastest = std::max(fastest, f.Kmh(801));
    return f.HeadAt(801) == "1:2";
  }));
  EXPECT_LE(fastest, 20);
  EXPECT_TRUE(f.RunUntil(5, [&] { return f.Kmh(801) > 40; })) << "free again past 1:1 Н";
  EXPECT_EQ(f.Line.Faults(), Texts{});
  EXPECT_EQ(f.Events, (Texts{"09:30:59.5 fault signal 6 Н3 until -",
                             "10:00:00.0 permit 801 at 6 Н3: the departure commit is not given",
                             "10:00:00.0 permit 801 at 6 Н3: no route is set beyond the signal",
                             "10:01:00.0 permit 801 at 6 Н3: ok"}));
}

// ---------------------------------------------------------------------------

TEST(RestrictionTest, TrainAtLineSpeedKeepsTheLimitOverTheWholeStretchAndShowsIt) {
  FaultLine f(930, true);
  f.Script("09:30 limit 2 40 -\n");
  double before = 0, within = 0;
  int shown = 0;  // the highest limit the trains window's band shows on the stretch
  const auto onPeregon2 = [&](int s) {
    const auto block = SectionPeregonBlock(f.Sim.AreaData, s);
    return block && block->first == 1;
  };
  ASSERT_TRUE(f.RunUntil(60, [&] {
    const int i = f.Train(801);
    if (i < 0) return false;
    const TTrainData& t = f.Sim.State.Trains[i];
    if (onPeregon2(t.HEAD.SECT_IDX) || onPeregon2(t.TAIL.SECT_IDX)) {
      within = std::max(within, f.Kmh(801));
      shown = std::max(shown, t.LOG.back().SPEED_LIM);
    } else if (within == 0 && t.HEAD.LP_CODE == 0) {
      before = std::max(before, f.Kmh(801));
    }
    return t.HEAD.LP_CODE == f.Sim.AreaData.Puts[f.LP("ГОР")].Code;
  }));
  EXPECT_GT(before, 60) << "at line speed on the first peregon";
  EXPECT_GT(within, 30);
  EXPECT_LE(within, 40);
  EXPECT_EQ(shown, 40);
  EXPECT_EQ(f.Events, Texts{"09:30:00.0 fault limit 2 until -"});
}

TEST(FaultCheckModeTest, FaultsOfEveryKindInCheckModeGiveWhatAFullStepGives) {
  // The step skips the signals and routes nothing has changed for; while a fault is in force
  // and in the step after it ends, it looks at everything, and the check mode proves it.
  for (const bool automated : {false, true}) {
    SCOPED_TRACE(automated);
    FaultLine f(930, automated);
    f.Sim.Changes.Check = true;
    f.Script(
        "09:40 fault section 7 3 20m\n09:45 fault signal 6 НI 15m\n09:58 fault switch 7 4 10m\n"
        "10:02 fault train 801 6m\n10:05 limit 2 40 20m\n10:15 clear fault section 7 3\n"
        "10:30 permit 2001\n");
    try {
      f.RunTo(1130);
    } catch (const CheckMismatch& e) {
      FAIL() << f.Now() << ": " << e.what();
    }
    EXPECT_GE(f.Events.size(), 6u);
    EXPECT_EQ(f.Line.Faults(), Texts{});
  }
}

}  // namespace
}  // namespace traklin::test
