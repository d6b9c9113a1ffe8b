// The punctuality report: matching runs to the timetable, the summary, and a golden seeded run
// of the demo district.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "area/date_time.h"
#include "dispatch/punctuality.h"
#include "dispatch/scenario.h"
#include "simulation/demo_run.h"
#include "simulation/headless_run.h"

namespace traklin {
namespace {

// Three stations in a row: A (code 10), B (20), C (30).
TAreaData ThreeStations() {
  TAreaData area;
  area.Puts.resize(3);
  area.StationCount = 3;
  area.Puts[0].Code = 10;
  area.Puts[1].Code = 20;
  area.Puts[2].Code = 30;
  area.LPMnemNames = {"A", "B", "C"};
  return area;
}

const TDateTime kDay = EncodeDate(2024, 3, 15);

TDateTime At(int hour, int minute) {
  return kDay + (hour * 60 + minute) * kMinute;
}

// Leaves A at 10:00, stops at B 10:20-10:22, ends at C 10:40.
TrainRun SampleRun(int number, int delayAtB, int delayAtC, bool finished) {
  TrainRun run;
  run.Number = number;
  run.Created = At(9, 58);
  run.Finished = finished;
  run.HasTimetable = true;
  run.Timetable = {{0, 10, 0, 1000, 0}, {0, 20, 1020, 1022, 0}, {0, 30, 1040, 1040, 0}};
  // Fields: station, entered, left, first at rest, last start, last seen at rest.
  run.Visits = {{10, At(9, 58), At(10, 1), 0, 0, 0},
                {20, At(10, 19 + delayAtB), At(10, 23 + delayAtB), At(10, 20 + delayAtB),
                 At(10, 22 + delayAtB), At(10, 21 + delayAtB)}};
  if (finished)
    run.Visits.push_back({30, At(10, 39 + delayAtC), At(10, 41 + delayAtC), At(10, 40 + delayAtC),
                          0, At(10, 41 + delayAtC)});
  return run;
}

TEST(PunctualityTest, StopsGetPlannedAndActualTimesAndTheDelay) {
  const PunctualityReport r =
      BuildPunctualityReport(ThreeStations(), {SampleRun(2, 3, 7, true)}, 5);
  ASSERT_EQ(r.Trains.size(), 1u);
  const TrainPunctuality& t = r.Trains[0];
  ASSERT_EQ(t.Stops.size(), 3u);
  // A: a pass at departure (it never stood there): departs when the head left.
  EXPECT_FALSE(t.Stops[0].PlannedArrival);
  EXPECT_EQ(t.Stops[0].ActualDeparture, At(10, 1));
  EXPECT_EQ(t.Stops[0].DelayMin, 1);
  // B: stood from 10:23 and started at 10:25, planned 10:20-10:22.
  EXPECT_EQ(t.Stops[1].Station, "B");
  EXPECT_EQ(t.Stops[1].PlannedArrival, At(10, 20));
  EXPECT_EQ(t.Stops[1].ActualArrival, At(10, 23));
  EXPECT_EQ(t.Stops[1].ActualDeparture, At(10, 25));
  EXPECT_EQ(t.Stops[1].DelayMin, 3);
  // C: the terminus, arrived and taken off: delay at arrival.
  EXPECT_FALSE(t.Stops[2].ActualDeparture);
  EXPECT_EQ(t.Stops[2].DelayMin, 7);
  EXPECT_EQ(t.FinalDelayMin, 7);
}

TEST(PunctualityTest, SummaryCountsOnTimeMeanWorstAndWhereDelayGrew) {
  const PunctualityReport r = BuildPunctualityReport(
      ThreeStations(),
      {SampleRun(2, 0, 2, true), SampleRun(4, 3, 11, true), SampleRun(6, 9, 0, false)}, 5);
  const PunctualitySummary& s = r.Summary;
  EXPECT_EQ(s.Run, 3);
  EXPECT_EQ(s.Finished, 2);
  EXPECT_EQ(s.OnTime, 1);  // № 2 two minutes late; № 4 eleven
  ASSERT_TRUE(s.MeanDelayMin);
  EXPECT_DOUBLE_EQ(*s.MeanDelayMin, 6.5);
  EXPECT_EQ(s.WorstDelayMin, 11);
  EXPECT_EQ(s.WorstTrain, 4);
  // B: +2 (№ 4, 1 -> 3) and +8 (№ 6, 1 -> 9); C: +2 (№ 2) and +8 (№ 4).
  ASSERT_EQ(s.Growth.size(), 2u);
  EXPECT_EQ(std::tie(s.Growth[0].Station, s.Growth[0].Minutes, s.Growth[0].Trains),
            std::tuple(std::string("B"), 10, 2));
  EXPECT_EQ(std::tie(s.Growth[1].Station, s.Growth[1].Minutes), std::tuple(std::string("C"), 10));
}

TEST(PunctualityTest, StopsWithoutAVisitStayUnobservedAndTimesCrossMidnight) {
  TrainRun run = SampleRun(8, 0, 0, false);
  // Created at 23:50 for a timetable that leaves A at 23:55 and reaches B at 00:10.
  run.Created = At(23, 50);
  run.Timetable = {{0, 10, 0, 2355, 0}, {0, 20, 10, 12, 0}, {0, 30, 30, 30, 0}};
  run.Visits = {{20, At(24, 9), At(24, 15), At(24, 12), At(24, 14), At(24, 13)}};
  const PunctualityReport r = BuildPunctualityReport(ThreeStations(), {run}, 5);
  const TrainPunctuality& t = r.Trains[0];
  EXPECT_FALSE(t.Stops[0].ActualArrival);  // created past A
  EXPECT_EQ(t.Stops[1].PlannedArrival, At(24, 10));
  EXPECT_EQ(t.Stops[1].DelayMin, 2);
  EXPECT_EQ(t.Stops[2].PlannedDeparture, At(24, 30));
  EXPECT_FALSE(t.Stops[2].DelayMin);
  // Trains without a timetable, and random freights, are left out.
  run.Random = true;
  EXPECT_TRUE(BuildPunctualityReport(ThreeStations(), {run}, 5).Trains.empty());
  run.Random = false;
  run.HasTimetable = false;
  EXPECT_TRUE(BuildPunctualityReport(ThreeStations(), {run}, 5).Trains.empty());
}

TEST(PunctualityTest, CsvQuotesNamesWithCommasAndLeavesUnknownTimesEmpty) {
  TAreaData area = ThreeStations();
  area.LPMnemNames[1] = "B, \"north\"";
  const std::string csv =
      FormatPunctualityCsv(BuildPunctualityReport(area, {SampleRun(2, 0, 0, false)}, 5));
  EXPECT_NE(csv.find("2,2024-03-15 09:58:00,0,20,\"B, \"\"north\"\"\",2024-03-15 10:20:00,"
                     "2024-03-15 10:20:00,2024-03-15 10:22:00,2024-03-15 10:22:00,0\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find("2,2024-03-15 09:58:00,0,30,C,2024-03-15 10:40:00,,2024-03-15 10:40:00,,\n"),
            std::string::npos)
      << csv;
}

// A seeded morning of the demo district worked by the automatic dispatcher, in which a scenario
// holds freight № 6001 at Сосновка for twenty minutes; № 6002, formed at Озёрная from 6001's
// arrival, leaves late too. When the district, the dispatcher or the report changes on purpose,
// rebuild, run (in build/bin)
//   TRAKLIN_UPDATE_GOLDEN=1 ../tests/test_dispatch --gtest_filter='PunctualityGolden*'
// and review the diff of tests/dispatch/golden/punctuality.txt.
TEST(PunctualityTest, ResetForgetsTheRunsAndTakesUpTheTrainsStillThere) {
  SimulationData sim;
  sim.AreaData = ThreeStations();
  PunctualityRecorder recorder(sim);
  TTrainData t;
  t.NUMBER = 2001;
  t.CREATE_TIME = At(9, 0);
  t.HEAD.SECT_IDX = 3;
  t.HEAD.LP_CODE = 20;
  sim.State.Trains = {t};
  sim.State.ClockTime = At(9, 5);
  recorder.Observe();
  ASSERT_EQ(recorder.Runs().size(), 1u);
  recorder.Reset();
  EXPECT_TRUE(recorder.Runs().empty());
  sim.State.ClockTime = At(9, 6);
  recorder.Observe();
  ASSERT_EQ(recorder.Runs().size(), 1u);
  ASSERT_EQ(recorder.Runs()[0].Visits.size(), 1u);
  EXPECT_EQ(recorder.Runs()[0].Visits[0].Enter, At(9, 6));  // seen anew from the reset on
}

TEST(PunctualityGoldenTest, DemoDistrictRunWithAHeldTrainMatchesItsGoldenTable) {
  Simulation sim;
  if (!test::PrepareDemoRun(sim, 1)) GTEST_SKIP() << "no demo district (run in build/bin)";
  sim.State.AutoLPs.assign(sim.AreaData.Puts.size(), true);
  EventLog log(sim, nullptr, true);
  PunctualityRecorder recorder(sim);
  ScenarioPlayer player(ParseScenario("08:10 hold 6001 20m\n", sim.AreaData), sim.State.ClockTime);
  RunSimulation(sim, log, 6.0 / 24, {},
                {[&] { player.PlayDue(sim, sim.State.ClockTime + kStepLength); },
                 [&recorder] { recorder.Observe(); }});
  const PunctualityReport report =
      BuildPunctualityReport(sim.AreaData, recorder.Runs(), sim.Settings.PunctualityToleranceMin);
  const auto delayAt = [&](int number, const char* station) {
    for (const auto& train : report.Trains)
      for (const auto& stop : train.Stops)
        if (train.Number == number && stop.Station == station) return stop.DelayMin.value_or(0);
    ADD_FAILURE() << number << " at " << station;
    return 0;
  };
  EXPECT_GE(delayAt(6001, "СОС"), 15);
  EXPECT_GT(delayAt(6002, "ОЗЁ"), 0);
  test::ExpectGolden(FormatPunctualityTable(report), "dispatch/golden/punctuality.txt");
}

}  // namespace
}  // namespace traklin
