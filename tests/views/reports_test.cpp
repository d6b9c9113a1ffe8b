// The reference reports: column padding, the approach window, and golden texts of the demo
// district.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "simulation/demo_run.h"
#include "simulation/headless_run.h"
#include "views/reports.h"

namespace traklin {
namespace {

TEST(ReportColumnsTest, WidthsCountCharactersNotBytes) {
  const struct {
    const char* text;
    int width;
    const char* right;
    const char* left;
  } cases[] = {
      {"Ясная", 7, "  Ясная", "Ясная  "},
      {"ab", 4, "  ab", "ab  "},
      {"№ 2002", 4, "№ 2002", "№ 2002"},  // wider than the column: kept whole
      {"", 3, "   ", "   "},
      {"Ёж", 2, "Ёж", "Ёж"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AlignRight(c.text, c.width), c.right) << c.text;
    EXPECT_EQ(PadRight(c.text, c.width), c.left) << c.text;
  }
}

TEST(TrainReportTest, ADistrictWithoutTrainsGivesHeadersSeparatorsAndZero) {
  SimulationData sim;
  EXPECT_EQ(JoinReport(TrainReport(sim)),
            " НОМЕР   ВЕС   ДЛИНА   СТ. ФОРМИРОВАНИЯ         СТ. НАЗНАЧЕНИЯ\n"
            " " +
                std::string(65, '-') + "\n" + " " + std::string(34, '-') + "\n" + " " +
                std::string(34, '-') +
                "\n"
                "\n"
                " ======================\n"
                " Всего на участке: 0\n");
}

TEST(TrainReportTest, TrainsAreListedByDirectionThenNumberWithCyrillicColumnsAligned) {
  SimulationData sim;
  sim.AreaData.Stations = {{"-", 0}, {"Ясная", 1}, {"Kalna", 2}};
  auto add = [&](int number, int dir, int section) {
    TTrainData t;
    t.NUMBER = number;
    t.HEAD.DIR = static_cast<std::uint8_t>(dir);
    t.HEAD.SECT_IDX = section;
    t.WEIGHT = 3600;
    t.LEN = 700;
    t.PLAN_CREATION_LP_CODE = number % 2 ? 1 : 2;
    t.PLAN_ARRIVAL_LP_CODE = number % 2 ? 2 : 1;
    sim.State.Trains.push_back(t);
  };
  add(2003, 1, 5);
  add(2001, 1, 7);
  add(2002, 0, 9);
  add(2004, 0, 0);  // waiting outside: not listed
  const ReportLines lines = TrainReport(sim);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[2], " № 2002   3600     700   Kalna                    Ясная");
  EXPECT_EQ(lines[6], " № 2001   3600     700   Ясная                    Kalna");
  EXPECT_EQ(lines[7], " № 2003   3600     700   Ясная                    Kalna");
  EXPECT_EQ(lines[9], " Всего на участке: 3");
}

TEST(ApproachesReportTest, TheHourFromNowIsListedAndTheRestOfTheDayCounted) {
  SimulationData sim;
  sim.AreaData.Stations = {{"-", 0}, {"Ясная", 1}, {"Kalna", 2}};
  auto plan = [](int time, int number) {
    TCreationPlanData p;
    p.Time = time;
    p.Number = number;
    p.CreationPoint = 1;
    p.ArrivalPoint = 2;
    return p;
  };
  sim.AreaData.CreationPlans = {plan(1100, 2001), plan(1000, 2003), plan(959, 2005),
                                plan(1059, 2007)};
  sim.AreaData.CreationPlans[3].Periodicity = 1;  // odd days only: not on the 16th
  sim.State.RandomPlans = {plan(1030, 3001)};
  sim.State.ClockTime = EncodeDate(2024, 3, 16) + TimeFromHHMM(1000) + 20 * kSecond;
  const ReportLines lines = ApproachesReport(sim);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "   СПРАВКА О ПОДХОДАХ НА 16.03 10:00");
  EXPECT_EQ(lines[3], " 2003    Ясная                    Kalna                     16.03  10:00");
  EXPECT_EQ(lines[4], " 3001    Ясная                    Kalna                     16.03  10:30");
  // 11:00 is counted but not listed; 9:59 is past; 10:59 does not run today.
  EXPECT_EQ(lines[6], " Всего на сегодня: 3");
}

TEST(TracksReportTest, PurposeAndRestrictionFollowKindAndMode) {
  TAreaData area;
  area.StationCount = 1;
  area.Stations = {{"-", 0}, {"Ясная", 1}};
  area.Stanzs.resize(1);
  area.Stanzs[0].Code = 1;
  area.Puts.resize(1);
  TTrackData main;
  main.Number = 1001;
  main.Kind = 5;
  TTrackData side;
  side.Number = 203;
  side.Kind = 9;
  side.Mode = 3;
  area.Puts[0].Tracks = {main, side};
  EXPECT_EQ(JoinReport(TracksReport(area)),
            " Ясная\n ====================\n \n   НОМЕР     НАЗНАЧЕНИЕ\n"
            " --------------------------------\n"
            "         I   главный\n"
            "        3Б   неспециф., только прием\n \n \n \n");
}

// The four reports of the demo district 125 simulated minutes after a fixed start. When
// the district or a report changes on purpose, rebuild, run
//   TRAKLIN_UPDATE_GOLDEN=1 build/tests/test_views --gtest_filter='ReportGoldenTest.*'
// and review the diff of tests/views/golden/.
TEST(ReportGoldenTest, DemoDistrictReportsMatchTheirGoldenTexts) {
  Simulation sim;
  if (!test::PrepareDemoRun(sim, 7)) GTEST_SKIP() << "no demo district";
  EventLog log(sim, nullptr, true);
  RunSimulation(sim, log, 125.0 / 1440);

  const struct {
    ReportKind kind;
    const char* file;
    bool withLog;
  } reports[] = {{ReportKind::Trains, "report_train.txt", false},
                 {ReportKind::Trains, "report_train_log.txt", true},
                 {ReportKind::Approaches, "report_approaches.txt", false},
                 {ReportKind::Timetable, "report_timetable.txt", false},
                 {ReportKind::Tracks, "report_tracks.txt", false}};
  for (const auto& r : reports) {
    sim.Settings.TrainRefWithLog = r.withLog;
    test::ExpectGolden(JoinReport(BuildReport(sim, r.kind)), std::string("views/golden/") + r.file);
  }
}

}  // namespace
}  // namespace traklin
