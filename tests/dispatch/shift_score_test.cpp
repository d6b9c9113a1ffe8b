// The shift's score: the delay made in the district, standing at closed signals on a small line,
// safety, operations and faults counted from messages, events and shift lines, a fault's
// stopped trains on a small line, and seeded demo runs.
#include <gtest/gtest.h>

#include <sstream>

#include "area/cp1251.h"
#include "area/date_time.h"
#include "area/object_names.h"
#include "dispatch/fault_operations.h"
#include "dispatch/scenario.h"
#include "dispatch/shift_score.h"
#include "simulation/demo_run.h"
#include "simulation/event_lines.h"
#include "simulation/headless_run.h"
#include "trains/fault_line.h"
#include "trains/harness.h"
#include "trains/shipped_district.h"

namespace traklin {
namespace {

const TDateTime kDay = EncodeDate(2024, 3, 15);

TDateTime At(int hour, int minute) {
  return kDay + (hour * 60 + minute) * kMinute;
}

StopPunctuality Stop(int code, std::optional<int> delay) {
  StopPunctuality p;
  p.LPCode = code;
  p.Station = std::string(1, static_cast<char>('A' + code / 10 - 1));
  p.DelayMin = delay;
  return p;
}

StopPunctuality Arrived(int code, TDateTime planned, TDateTime actual, int delay) {
  StopPunctuality p = Stop(code, delay);
  p.PlannedArrival = planned;
  p.ActualArrival = actual;
  return p;
}

TrainPunctuality Train(int number, std::vector<StopPunctuality> stops) {
  TrainPunctuality t;
  t.Number = number;
  t.Created = At(9, 0);
  t.Stops = std::move(stops);
  return t;
}

// Stations A (10), B (20), C (30).
TEST(DelayMadeTest, EnteringAndLeavingLatenessStationRisesAndTheSums) {
  PunctualityReport report;
  report.Trains = {
      // Made up at A: whatever it leaves with was made here.
      Train(2, {Stop(10, 0), Stop(20, 5), Stop(30, 12)}),
      // Came in 3 minutes late and made up two of them.
      Train(4, {Arrived(10, At(10, 0), At(10, 3), 3), Stop(20, 2), Stop(30, 1)}),
      // Ran early, then one minute late at the end: early counts as on time.
      Train(6, {Stop(10, -4), Stop(20, -2), Stop(30, 1)}),
      // Arrived early at A, left it on time: no delay made there.
      Train(8, {Arrived(10, At(10, 0), At(9, 55), 0), Stop(20, 0)}),
      // Nothing observed.
      Train(10, {Stop(10, std::nullopt), Stop(20, std::nullopt)}),
  };
  const DelayMade d = BuildDelayMade(report);
  EXPECT_EQ(d.TotalMin, 12 - 2 + 1);
  EXPECT_EQ(d.GainedMin, 13);
  ASSERT_EQ(d.Trains.size(), 2u);
  EXPECT_EQ(std::tuple(d.Trains[0].Number, d.Trains[0].EnteredMin, d.Trains[0].LeftMin),
            std::tuple(2, 0, 12));
  EXPECT_EQ(std::tuple(d.Trains[1].Number, d.Trains[1].MadeMin()), std::tuple(6, 1));
  // C: +7 (№ 2) and +1 (№ 6); B: +5 (№ 2). № 4's lateness never rose.
  ASSERT_EQ(d.Stations.size(), 2u);
  EXPECT_EQ(std::tie(d.Stations[0].Station, d.Stations[0].Minutes, d.Stations[0].Trains),
            std::tuple(std::string("C"), 8, 2));
  EXPECT_EQ(std::tie(d.Stations[1].Station, d.Stations[1].Minutes, d.Stations[1].Trains),
            std::tuple(std::string("B"), 5, 1));
}

TEST(DelayMadeTest, ATrainStillInTheDistrictIsAsLateAsTheTimeItWaitsForIsPast) {
  const auto planned = [](StopPunctuality p, std::optional<TDateTime> arrival,
                          TDateTime departure) {
    p.PlannedArrival = arrival;
    p.PlannedDeparture = departure;
    return p;
  };
  StopPunctuality leftA = planned(Stop(10, 0), std::nullopt, At(10, 0));
  leftA.ActualDeparture = At(10, 0);
  const StopPunctuality atB =
      planned(Arrived(20, At(10, 20), At(10, 21), 1), At(10, 20), At(10, 22));
  const StopPunctuality toC = planned(Stop(30, std::nullopt), At(10, 40), At(10, 40));
  StopPunctuality atC = planned(Arrived(30, At(10, 40), At(10, 45), 5), At(10, 40), At(10, 40));
  PunctualityReport report;
  report.Trains = {
      // Stands at B, due out at 10:22.
      Train(12, {leftA, atB, toC}),
      // Made up at A, due out at 10:00, never left.
      Train(14, {planned(Stop(10, std::nullopt), At(9, 50), At(10, 0)), toC}),
      // Waits at its last stop to be taken off.
      Train(16, {leftA, atC}),
      // On its way to C, due there at 10:40: not late yet.
      Train(18, {leftA, planned(Stop(20, 0), std::nullopt, At(10, 30)), toC}),
  };
  report.Trains[2].Stops[1].DelayMin = 5;
  report.Trains[3].Stops[1].ActualDeparture = At(10, 30);
  const DelayMade d = BuildDelayMade(report, At(10, 40));
  ASSERT_EQ(d.Trains.size(), 3u);
  EXPECT_EQ(std::tuple(d.Trains[0].Number, d.Trains[0].LeftMin), std::tuple(14, 40));
  EXPECT_EQ(std::tuple(d.Trains[1].Number, d.Trains[1].LeftMin), std::tuple(12, 18));
  EXPECT_EQ(std::tuple(d.Trains[2].Number, d.Trains[2].LeftMin), std::tuple(16, 5));
  ASSERT_EQ(d.Stations.size(), 3u);
  EXPECT_EQ(std::tuple(d.Stations[0].Station, d.Stations[0].Minutes), std::tuple("A", 40));
  EXPECT_EQ(std::tuple(d.Stations[1].Station, d.Stations[1].Minutes), std::tuple("B", 18));
  // A finished train, or a run without its end, is taken as observed.
  report.Trains[0].Finished = true;
  EXPECT_EQ(BuildDelayMade(report, At(10, 40)).TotalMin, 40 + 1 + 5);
  EXPECT_EQ(BuildDelayMade(report).TotalMin, 1 + 5);
}

TEST(DelayMadeTest, FiveTrainsAndFiveStationsAreListedTheMostFirstEqualsInReportOrder) {
  PunctualityReport report;
  for (int k = 0; k < 7; ++k)
    report.Trains.push_back(
        Train(100 + k, {Stop(10 * (k + 1), 0), Stop(10 * (k + 2), k < 2 ? 9 : 3 + k % 2)}));
  const DelayMade d = BuildDelayMade(report);
  std::vector<int> numbers;
  for (const TrainDelayMade& t : d.Trains) numbers.push_back(t.Number);
  EXPECT_EQ(numbers, (std::vector<int>{100, 101, 103, 105, 102}));
  ASSERT_EQ(d.Stations.size(), 5u);
  EXPECT_EQ(std::tuple(d.Stations[0].LPCode, d.Stations[1].LPCode), std::tuple(20, 30));
  EXPECT_EQ(d.TotalMin, 9 + 9 + 3 + 4 + 3 + 4 + 3);
}

TEST(ShiftScorerTest, SafetyIsCountedFromTheMotionsMessages) {
  const struct {
    const char* Text;
    int SafetyCounts::*Count;
  } cases[] = {
      {"Поезд № 2 столкнулся с поездом № 4 и сошел на секции 05h!", &SafetyCounts::Collisions},
      {"Поезд сошел на нестыкованной секции 05h", &SafetyCounts::Derailments},
      {"Поезд сошел на стрелке набок на секции 01Ah", &SafetyCounts::Derailments},
      {"Поезд сошел на стрелке прямо на секции 01Ah", &SafetyCounts::Derailments},
      {"Поезд сошел на секции 018h(вероятно, из-за перевода стрелки под поездом)",
       &SafetyCounts::Derailments},
      {"Поезд на несобранном маршруте на секции 07h", &SafetyCounts::Derailments},
      {"Поезд на маршруте неизвестного ЛП на секции 04h", &SafetyCounts::Derailments},
      {"Поезд № 2 проехал остановку", &SafetyCounts::PassedStop},
      {"Поезд № 2 проехал красный сигнал (перед секцией 06h)!", &SafetyCounts::PassedRed},
      {"Поезд № 2 выехал за участок с секции 01Dh", &SafetyCounts::RanOff},
      {"Перегон занят поездами в обоих направлениях!", nullptr},
      {"Поезд № 2 не поместился на секции 08h", nullptr},
  };
  for (const auto& c : cases) {
    SimulationData sim;
    ShiftScorer scorer(sim);
    scorer.CountNotice(c.Text);
    const SafetyCounts s = scorer.Score().Safety;
    const int total =
        s.Derailments + s.Collisions + s.PassedStop + s.PassedRed + s.RanOff + s.Gridlocks;
    EXPECT_EQ(total, c.Count ? 1 : 0) << c.Text;
    if (c.Count) {
      EXPECT_EQ(s.*c.Count, 1) << c.Text;
    }
  }
}

TEST(ShiftScorerTest, ACollisionOnTheTestLineIsCountedFromTheConsolesNotes) {
  test::TestLine line;
  const int a = line.Add({.LP = 4});
  const int b = line.Add({.Number = 4});
  line.Drive(b, 5, 800, 0, 0);
  line.Train(b).DEPARTURE_TIME = line.Sim.State.ClockTime + 1;
  line.Drive(a, 4, 1495, 10, 0);
  line.Steps(30);
  ShiftScorer scorer(line.Sim);
  for (const std::string& note : line.Console.Notes) scorer.CountNotice(note);
  EXPECT_EQ(scorer.Score().Safety.Collisions, 1);
  EXPECT_EQ(scorer.Score().Safety.Derailments, 0);
}

TEST(ShiftScorerTest, EventLinesCountNoticesAnswersAndGridlocks) {
  SimulationData sim;
  ShiftScorer scorer(sim);
  const std::string log =
      R"({"time":"2024-03-15 06:00:00.5","event":"notify","text":"Поезд № 2 проехал остановку"})"
      "\n"
      R"({"time":"2024-03-15 06:01:00.0","event":"ask","caption":"СОС","text":"Разрешается?","ring":1,"answer":true})"
      "\n"
      R"({"time":"2024-03-15 06:02:00.0","event":"ask","caption":"СОС","text":"Разрешается?","ring":1,"answer":false,"by":"auto"})"
      "\n"
      R"({"time":"2024-03-15 06:02:30.0","event":"ask","caption":"СОС","text":"?","ring":1,"answer":true,"by":"dispatcher"})"
      "\n\n"
      R"({"time":"2024-03-15 06:03:00.0","event":"gridlock","trains":[2001,2002],"stations":["СОС"]})"
      "\n"
      R"({"time":"2024-03-15 06:04:00.0","event":"created","number":2,"name":"№ 2","lp":1,"source":"timetable"})"
      "\n"
      "not json\n[1,2]\n{\"event\":3}\n{\"time\":\"x\"}";
  EXPECT_EQ(scorer.CountEventLog(log), 4);
  const ShiftScore s = scorer.Score();
  EXPECT_EQ(s.Safety.PassedStop, 1);
  EXPECT_EQ(s.Safety.Gridlocks, 1);
  EXPECT_EQ(
      std::tuple(s.Operations.AnsweredYes, s.Operations.AnsweredNo, s.Operations.AnsweredByAuto),
      std::tuple(2, 1, 1));
}

TEST(ShiftScorerTest, ShiftLinesCountTheOperationsAndTheirRefusals) {
  SimulationData sim;
  ShiftScorer scorer(sim);
  scorer.CountShiftText(
      "# a shift of district 1\n"
      "district 1\n"
      "seed 7\n"
      "setting LEVEL/PUNCTUALITYTOLERANCEMIN=5\n"
      "start 2024-03-15 06:00:00.0\n"
      "2024-03-15 06:00:12.5 route 2 1 1 4 1\n"
      "06:01:00.0 cancel 2 1 1 4 1\n"
      "06:02:00.0 through 2 1 1 4 1\n"
      "06:02:10.0 cancelthrough 2 1 1 4 1\n"
      "06:02:30.0 invert 2 1 1 4 1\n"
      "06:03:00.0 commit 3 even give\n"
      "06:04:00.0 task 3 receive even 2\n"
      "06:05:00.0 task 3 send odd 9  # not done: Задание невыполнимо:  Путь занят\n"
      "06:05:30.0 route 2 1 2 4 2  # not done: the route is already set\n"
      "06:06:00.0 canceltask 3\n"
      "06:07:00.0 put 6001 3 2\n"
      "06:08:00.0 hold 6001 20m  ; instructor\n"
      "06:09:00.0 reply yes  # Разрешается отправление поезда № 2001?\n"
      "06:10:00.0 answer no 30m\n"
      "06:11:00.0 auto all on\n"
      "06:12:00.0 set LEVEL/PUNCTUALITYTOLERANCEMIN=3\n"
      "06:13:00.0 savelast\n"
      "\n"
      "2024-03-16 00:00:05.0 commit 3 odd\n"
      "08:10 hold 6002 5m\n"
      "end 2024-03-16 00:10:00.0\n");
  const OperationCounts o = scorer.Score().Operations;
  EXPECT_EQ(std::tuple(o.RoutesOrdered, o.RoutesCancelled, o.RoutesInverted), std::tuple(2, 2, 1));
  EXPECT_EQ(std::tuple(o.Commits, o.TasksGiven, o.TasksRefused, o.TasksCancelled),
            std::tuple(2, 1, 1, 1));
  EXPECT_EQ(std::tuple(o.PutOuts, o.Holds, o.NotDone), std::tuple(1, 2, 2));
  // Answers come from the questions asked ("ask" events), not from reply lines.
  EXPECT_EQ(o.AnsweredYes + o.AnsweredNo, 0);
}

// The test line's peregon 0 runs from A over sections 3 to 6 into B; B's entry signal stands
// on 6 in the even direction and is closed.
//   A [2]>|-[3]-[4]--[5]--[6]>|-[7]-[8 B]
TEST(ShiftScorerTest, StandingBeforeAClosedSignalOnAPeregonCountsEveryHalfSecond) {
  test::TestLine line;
  const int i = line.Add({});
  line.Drive(i, 5, 700, 10, 0);
  ShiftScorer scorer(line.Sim);
  int steps = 0;
  while (line.Train(i).SPEED > 0 && steps < 2000) {
    line.Steps(1);
    scorer.Observe();
    ++steps;
  }
  ASSERT_EQ(line.Train(i).SPEED, 0);
  ASSERT_EQ(line.Train(i).HEAD.SECT_IDX, 6);
  EXPECT_DOUBLE_EQ(scorer.Score().StandingMin, 0.5 / 60);  // the step it came to rest in
  EXPECT_TRUE(StandsAtClosedSignal(line.Sim, i));
  for (int k = 0; k < 119; ++k) {
    line.Steps(1);
    scorer.Observe();
  }
  EXPECT_DOUBLE_EQ(scorer.Score().StandingMin, 1.0);
  EXPECT_EQ(scorer.Score().TrainsStanding, 1);

  // Stopped for good, it stands for another reason.
  line.Train(i).DEPARTURE_COMMISSION = false;
  EXPECT_FALSE(StandsAtClosedSignal(line.Sim, i));
  line.Train(i).DEPARTURE_COMMISSION = true;
  // The signal cleared: it no longer waits for it.
  line.OpenSignal(6, 0);
  EXPECT_FALSE(StandsAtClosedSignal(line.Sim, i));

  // At rest at a station's closed signal is not on a peregon.
  test::TestLine station;
  const int j = station.Add({});
  station.Drive(j, 8, 600, 0);
  station.Train(j).HEAD.LP_CODE = 2;
  EXPECT_FALSE(StandsAtClosedSignal(station.Sim, j));
  // Not yet placed on the district.
  station.Drive(j, 6, 600, 0, 0);
  EXPECT_TRUE(StandsAtClosedSignal(station.Sim, j));
  station.Train(j).PLACE_TIME = station.Sim.State.ClockTime;
  EXPECT_FALSE(StandsAtClosedSignal(station.Sim, j));
}

TEST(ShiftScorerTest, TablesShowTheFiguresSideBySideWithTheDifferenceAndCsvRows) {
  ShiftScore a, b;
  a.Punctuality.Run = b.Punctuality.Run = 6;
  a.Punctuality.ToleranceMin = b.Punctuality.ToleranceMin = 5;
  b.Punctuality.MeanDelayMin = 3.75;
  a.Delay.TotalMin = 8;
  b.Delay.TotalMin = 22;
  b.Delay.Trains = {{6001, At(7, 45), 0, 15}};
  b.Delay.Stations = {{30, "СОС", 23, 2}};
  b.StandingMin = 1.5;
  b.Operations.Holds = 1;
  const std::string table = FormatShiftScoreTable({{"first", a}, {"second, held", b}});
  std::istringstream lines(table);
  std::vector<std::string> rows;
  for (std::string l; std::getline(lines, l) && !l.empty();) rows.push_back(l);
  // A title row, then every figure in columns of one width.
  ASSERT_EQ(rows.size(), 29u);
  for (const std::string& r : rows) EXPECT_EQ(Utf8Length(r), Utf8Length(rows[0])) << r;
  EXPECT_EQ(rows[0].substr(rows[0].find_first_not_of(' ')), "first  second, held       разница");
  const auto row = [&](const std::string& caption) {
    for (const std::string& r : rows)
      if (r.starts_with(caption)) return r.substr(r.find("  ", caption.size()));
    return std::string("no row ") + caption;
  };
  const auto words = [](const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
  };
  using W = std::vector<std::string>;
  EXPECT_EQ(words(row("Поездов по расписанию")), (W{"6", "6", "0"}));
  EXPECT_EQ(words(row("Среднее опоздание")), (W{"-", "3.8", "-"}));
  EXPECT_EQ(words(row("Опоздание, набранное")), (W{"8", "22", "+14"}));
  EXPECT_EQ(words(row("Стоянка у закрытых")), (W{"0.0", "1.5", "+1.5"}));
  EXPECT_EQ(words(row("Задержек поездов")), (W{"0", "1", "+1"}));
  EXPECT_EQ(words(row("  прибыли вовремя (до 5 мин)")), (W{"0", "0", "0"}));
  EXPECT_NE(table.find("Больше всего опоздания набрали (first): -\n"), std::string::npos);
  EXPECT_NE(table.find("Больше всего опоздания набрали (second, held):\n"
                       "  № 6001    +15 мин (при входе 0, в конце 15)\n"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("  СОС                   +23 мин (2 поезда)\n"), std::string::npos);

  const std::string csv = FormatShiftScoreCsv({{"first", a}, {"second, held", b}});
  std::istringstream csvRows(csv);
  std::string header, first, second;
  std::getline(csvRows, header);
  std::getline(csvRows, first);
  std::getline(csvRows, second);
  EXPECT_EQ(header.substr(0, 40), "shift,trains_run,trains_finished,trains_");
  EXPECT_EQ(first.substr(0, 16), "first,6,0,0,,,8,");
  EXPECT_EQ(second.substr(0, 30), "\"second, held\",6,0,0,3.8,,22,0");
  EXPECT_TRUE(second.ends_with(",0,,6001:15,СОС:23")) << second;
}

/// The faults' line (sketched in fault_line.h), РАЗ the dispatcher's; passenger 801 leaves
/// ЛЕС at 10:00.
const std::string kFaultLine = test::FaultLineDescription(test::kPassenger801);

/// The line from 09:30 under the automatic dispatcher but at РАЗ, scored after every step, its
/// fault events counted as the shift's log writes them.
struct FaultScoreLine {
  FaultScoreLine() {
    Line.SetClock(930);
    Sim.State.AutoLPs.assign(Sim.AreaData.Puts.size(), true);
    Sim.State.AutoLPs[static_cast<std::size_t>(Line.LP("Разъезд"))] = false;
    Sim.OnFaultEvent = [this](const FaultEvent& e) {
      Scorer.CountEventLine(FaultEventLine(Sim, e));
    };
  }
  void RunTo(int hhmm) {
    const TDateTime end = std::floor(Sim.State.ClockTime) + TimeFromHHMM(hhmm);
    while (Sim.State.ClockTime < end - 0.1 / 86400) {
      Line.Steps(1);
      Scorer.Observe();
    }
  }
  test::ShippedDistrict Line{kFaultLine, 1};
  Simulation& Sim = Line.Sim;
  ShiftScorer Scorer{Sim};
};

TEST(ShiftScorerTest, FaultsAndPermissionsAddTheirRowsOnlyToAShiftThatMetThem) {
  SimulationData sim;
  ShiftScorer scorer(sim);
  const std::string log =
      R"({"time":"2024-03-15 08:00:00.5","event":"fault","kind":"section","object":"3:2","until":"-"})"
      "\n"
      R"({"time":"2024-03-15 08:10:00.0","event":"permit","number":6001,"signal":"3:1 Н","result":"a train stands beyond the signal"})"
      "\n"
      R"({"time":"2024-03-15 08:12:00.0","event":"permit","number":6001,"signal":"3:1 Н","result":"ok"})"
      "\n"
      R"({"time":"2024-03-15 08:20:00.0","event":"cleared","kind":"section","object":"3:2","until":"-"})"
      "\n"
      R"({"time":"2024-03-15 09:00:00.0","event":"fault","kind":"limit","object":"4","kmh":40,"until":"2024-03-15 12:00:00.0"})"
      "\n"
      R"({"time":"2024-03-15 09:01:00.0","event":"permit","number":2002,"signal":"-","result"})";
  EXPECT_EQ(scorer.CountEventLog(log), 1);  // the last line is not JSON
  ShiftScore faults = scorer.Score();
  EXPECT_EQ(std::tuple(faults.Faults.Met, faults.Faults.PermitsGiven, faults.Faults.PermitsRefused),
            std::tuple(2, 1, 1));
  faults.Faults.StoppedMin = 12.5;
  const ShiftScore none;

  const auto rows = [](const std::string& table) {
    std::istringstream lines(table);
    std::vector<std::string> out;
    for (std::string l; std::getline(lines, l) && !l.empty();) out.push_back(l);
    return out;
  };
  EXPECT_EQ(rows(FormatShiftScoreTable({{"free", none}})).size(), 29u);
  const std::vector<std::string> both =
      rows(FormatShiftScoreTable({{"free", none}, {"faults", faults}}));
  ASSERT_EQ(both.size(), 33u);
  for (const std::string& r : both) EXPECT_EQ(Utf8Length(r), Utf8Length(both[0])) << r;
  const auto tail = [](const std::string& r) { return r.substr(r.find_last_not_of(' ') - 30); };
  const std::vector<std::string> expected = {"Неисправностей",
                                             "  стоянка поездов из-за них, поездо-мин",
                                             "Разрешений на проследование дано", "  отказано"};
  for (std::size_t k = 0; k < expected.size(); ++k)
    EXPECT_TRUE(both[29 + k].starts_with(expected[k])) << both[29 + k];
  EXPECT_TRUE(both[29].ends_with("0          2         +2")) << tail(both[29]);
  EXPECT_TRUE(both[30].ends_with("0.0       12.5      +12.5")) << tail(both[30]);
  EXPECT_TRUE(both[31].ends_with("0          1         +1")) << tail(both[31]);

  const std::string csv = FormatShiftScoreCsv({{"faults", faults}});
  EXPECT_NE(csv.find(",faults_met,fault_stopped_min,permits_given,permits_refused,worst_train,"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find(",2,12.5,1,1,,,\n"), std::string::npos) << csv;
  EXPECT_EQ(FormatShiftScoreCsv({{"free", none}}).find("faults_met"), std::string::npos);
}

TEST(ShiftScorerTest, TrainsStoppedByAFaultCountTheirStandingAsItsDelay) {
  FaultScoreLine f;
  ASSERT_EQ(OperateFault(f.Sim, {2, FindBlockSection(f.Sim.AreaData, "1:2"), -1}, "-"), "");
  f.RunTo(1030);
  const ShiftScore s = f.Scorer.Score();
  EXPECT_EQ(s.Faults.Met, 1);
  // 801 stands before the block signal from about 10:06 until the end.
  EXPECT_GT(s.Faults.StoppedMin, 15);
  EXPECT_LT(s.Faults.StoppedMin, 30);
  EXPECT_DOUBLE_EQ(s.Faults.StoppedMin, s.StandingMin) << "it stood on a peregon";
}

// A seeded morning of the demo district worked by the automatic dispatcher, scored as the
// score command scores a replayed shift; `hold` adds the scenario line that holds freight
// № 6001 at Сосновка for twenty minutes.
ShiftScore ScoreDemoMorning(bool hold, std::string* table = nullptr) {
  Simulation sim;
  if (!test::PrepareDemoRun(sim, 1)) return {};
  sim.State.AutoLPs.assign(sim.AreaData.Puts.size(), true);
  std::ostringstream events;
  EventLog log(sim, &events, true);
  ShiftScorer scorer(sim);
  const std::string lines = hold ? "08:10 hold 6001 20m\n" : "";
  ScenarioPlayer player(ParseScenario(lines, sim.AreaData), sim.State.ClockTime);
  scorer.Observe();
  RunSimulation(sim, log, 6.0 / 24, {},
                {[&] { player.PlayDue(sim, sim.State.ClockTime + kStepLength); },
                 [&scorer] { scorer.Observe(); }});
  EXPECT_EQ(scorer.CountEventLog(events.str()), 0);
  scorer.CountShiftText(lines);
  const ShiftScore score = scorer.Score();
  if (table) *table = FormatShiftScoreTable({{"demo", score}});
  return score;
}

// When the district, the dispatcher or the score changes on purpose, rebuild, run (in
// build/bin)
//   TRAKLIN_UPDATE_GOLDEN=1 ../tests/test_dispatch --gtest_filter='ShiftScoreGolden*'
// and review the diff of tests/dispatch/golden/shift_score.txt.
TEST(ShiftScoreGoldenTest, DemoMorningWithAHeldTrainMatchesItsGoldenTable) {
  if (!std::filesystem::exists("../district/1/Data.dat"))
    GTEST_SKIP() << "no demo district (run in build/bin)";
  std::string table;
  const ShiftScore s = ScoreDemoMorning(true, &table);
  EXPECT_EQ(s.Operations.Holds, 1);
  test::ExpectGolden(table, "dispatch/golden/shift_score.txt");
}

TEST(ShiftScoreGoldenTest, HoldingATrainTwentyMinutesShowsAsDelayMadeByItAtItsStation) {
  if (!std::filesystem::exists("../district/1/Data.dat"))
    GTEST_SKIP() << "no demo district (run in build/bin)";
  const ShiftScore free = ScoreDemoMorning(false);
  const ShiftScore held = ScoreDemoMorning(true);
  // The same trains run; the hold costs its train most of the twenty minutes.
  EXPECT_EQ(held.Punctuality.Run, free.Punctuality.Run);
  EXPECT_GE(held.Delay.TotalMin - free.Delay.TotalMin, 10);
  EXPECT_GT(held.Delay.GainedMin, free.Delay.GainedMin);
  ASSERT_FALSE(held.Delay.Trains.empty());
  EXPECT_EQ(held.Delay.Trains[0].Number, 6001);
  EXPECT_GE(held.Delay.Trains[0].MadeMin(), 15);
  for (const TrainDelayMade& t : free.Delay.Trains) EXPECT_NE(t.Number, 6001);
  const auto at = [](const ShiftScore& s, const std::string& station) {
    for (const StationDelayMade& d : s.Delay.Stations)
      if (d.Station == station) return d.Minutes;
    return 0;
  };
  ASSERT_FALSE(held.Delay.Stations.empty());
  EXPECT_EQ(held.Delay.Stations[0].Station, "СОС");
  // Other trains' minutes there come and go with the run; the hold's stay.
  EXPECT_GE(at(held, "СОС"), 15);
  EXPECT_GE(at(held, "СОС") - at(free, "СОС"), 10);
  EXPECT_EQ(std::tuple(free.Operations.Holds, held.Operations.Holds), std::tuple(0, 1));
  // Safety and the answers are untouched by the hold.
  EXPECT_EQ(held.Safety.Derailments + held.Safety.Collisions + held.Safety.RanOff, 0);
  EXPECT_EQ(held.Operations.AnsweredNo, free.Operations.AnsweredNo);
}

}  // namespace
}  // namespace traklin
