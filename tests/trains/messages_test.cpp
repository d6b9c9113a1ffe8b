// Station reports and their filters, requests, the repeat rule and entering an LP.
#include <gtest/gtest.h>

#include "trains/harness.h"
#include "trains/station_messages.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

constexpr double kMin = 1.0 / 1440;

// Four LPs, one track each: a station with a duty officer, a controlled passing loop, a
// post (single-sided) and a plain LP. No track links are needed here.
//
//   Beta (2)   Loop (5, controlled)   Post (6)   Plain (7)
const char* kLPs = R"(
station 2 Beta 1 12
station 5 Loop 0 11
lp 6 Post
lp 7 Plain
sections 1000 1 2 3 4
track 2 1 1 3 0
track 5 2 205 3 0
track 6 3 1012 3 0
track 7 4 3 3 0
pass 2 9
stop 0 2 1000 1005 0
stop 0 6 0 0 0
stop 0 7 1100 1101 0
)";

struct FilterCase {
  const char* What;
  int LPCode;
  bool FromControlled;
  bool FromPosts;
  bool UnplannedStops;
  bool Report;
  bool Planned;
  bool Arrival;  // an arrival report is shown
  bool Passing;  // a passing report is shown (for a train that neither stopped nor left)
};

class ReportFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ReportFilterTest, ShowsReportsOnlyWhereTheSettingsAllow) {
  const FilterCase& c = GetParam();
  TestLine line(kLPs);
  line.Sim.AreaData.Puts[line.LPIndex(6)].SingleSided = 1;
  line.Sim.Settings.NotifiesFromControlled = c.FromControlled;
  line.Sim.Settings.NotifiesFromPosts = c.FromPosts;
  line.Sim.Settings.NotifiesOfUnplannedStops = c.UnplannedStops;
  const int i = line.Add({.Number = 2, .LP = c.LPCode, .Arrival = 9});
  const int lp = line.LPIndex(c.LPCode);
  ArrivalReport(line.Sim, i, lp, c.Report, c.Planned);
  EXPECT_EQ(line.Console.Infos.size(), c.Arrival ? 1u : 0u) << c.What;
  EXPECT_TRUE(line.Train(i).ARRIVAL_NOTIFIED) << c.What;
  ArrivalReport(line.Sim, i, lp, true, true);  // reported at most once per visit
  EXPECT_EQ(line.Console.Infos.size(), c.Arrival ? 1u : 0u) << c.What;

  line.Console.Infos.clear();
  line.Train(i).ARRIVAL_NOTIFIED = false;
  line.Train(i).SCHEDULE_IDX = 5;
  PassingReport(line.Sim, i);
  EXPECT_EQ(line.Console.Infos.size(), c.Passing ? 1u : 0u) << c.What;
  EXPECT_EQ(line.Train(i).HEAD.LP_CODE, 0) << c.What;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Settings, ReportFilterTest,
    ::testing::Values(
        FilterCase{"station, planned stop, controlled off", 2, false, false, true, true, true, true, false},
        FilterCase{"station, passing with controlled on", 2, true, false, true, true, true, true, true},
        FilterCase{"station, unplanned stop, unplanned off", 2, false, false, false, true, false, false, false},
        FilterCase{"station, unplanned stop, unplanned on", 2, false, false, true, true, false, true, false},
        FilterCase{"station, no report wanted", 2, false, false, true, false, true, false, false},
        FilterCase{"controlled loop, off", 5, false, false, true, true, true, false, false},
        FilterCase{"controlled loop, on", 5, true, false, true, true, true, true, true},
        FilterCase{"post, off", 6, false, false, true, true, true, false, false},
        FilterCase{"post, on", 6, false, true, true, true, true, true, true},
        FilterCase{"plain LP", 7, false, false, true, true, true, true, true}));
// clang-format on

TEST(PassingReport, NotAfterAnArrivalAndMovesTheTimetableOn) {
  TestLine line(kLPs);
  line.Sim.Settings.NotifiesFromControlled = true;
  const int i = line.Add({.Number = 2, .LP = 2, .Arrival = 9});
  line.Train(i).SCHEDULE_IDX = 0;
  line.Train(i).ARRIVAL_NOTIFIED = true;
  PassingReport(line.Sim, i);
  EXPECT_TRUE(line.Console.Infos.empty());
  EXPECT_EQ(line.Train(i).SCHEDULE_IDX, 1);
  EXPECT_FALSE(line.Train(i).ARRIVAL_NOTIFIED);
  EXPECT_FALSE(line.Train(i).DEPARTURE_NOTIFIED);
}

TEST(StationReport, TextsCaptionRingAndMinutes) {
  TestLine line(kLPs);
  line.Sim.AreaData.Puts[0].Ring = 4;
  const int i = line.Add({.Number = 2001, .Dir = 1, .LP = 2, .Arrival = 9});
  line.Sim.State.ClockTime = 45000.0 + (10 * 60 + 7) * kMin;
  for (int kind = 0; kind <= 4; ++kind) StationReport(line.Sim, 0, i, kind);
  line.Sim.State.ClockTime = 45000.0 + (10 * 60 + 35) * kMin;
  StationReport(line.Sim, 0, i, srArrived);
  const auto& b = line.Console.Infos;
  ASSERT_EQ(b.size(), 6u);
  EXPECT_EQ(b[0].Caption, "ДСП Beta");
  EXPECT_EQ(b[0].Ring, 4);
  EXPECT_EQ(b[0].Text, "Поезд № 2001 отправился в  7 мин.");
  EXPECT_EQ(b[1].Text, "Поезд № 2001 прибыл в  7 мин.");
  EXPECT_EQ(b[2].Text, "Поезд № 2001 проследовал в  7 мин.");
  EXPECT_EQ(b[3].Text, "Выставляется поезд № 2001");
  EXPECT_EQ(b[4].Text, "Принимается поезд № 2001");
  EXPECT_EQ(b[5].Text, "Поезд № 2001 прибыл в 35 мин.");
}

struct RequestCase {
  int Kind;
  bool Performable;
  const char* Text;
};

class PostRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(PostRequestTest, AsksOrInformsWithTheKindsText) {
  const RequestCase& c = GetParam();
  TestLine line(kLPs);
  line.Console.DefaultAnswer = true;
  const int i = line.Add({.Number = 2, .LP = 5, .Arrival = 9});
  const int lp = line.LPIndex(5);
  const bool answer = PostRequest(line.Sim, lp, i, 0, c.Performable, c.Kind);
  EXPECT_EQ(answer, c.Performable);
  const auto& boxes = c.Performable ? line.Console.Questions : line.Console.Infos;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "ДСП Loop");
  EXPECT_EQ(boxes[0].Text, c.Text);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(t.REQUEST_TYPE, c.Kind);
  EXPECT_EQ(t.REQUEST_LP_CODE, 5);
  EXPECT_EQ(t.REQUEST_PERFORMABLE, c.Performable ? 1 : -1);
  EXPECT_DOUBLE_EQ(t.REQUEST_TIME, line.Sim.State.ClockTime);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PostRequestTest,
    ::testing::Values(
        RequestCase{rqPut, true, "Выставляю поезд № 2 на 5Б путь?"},
        RequestCase{rqPut, false, "Жду освобождения пути,\r\nчтобы выставить поезд № 2"},
        RequestCase{rqDepartReady, true, "Поезд № 2 к отправлению готов. \r\nОтправить с 5Б пути?"},
        RequestCase{rqDepartReady, false, "Поезд № 2 к отправлению готов. "},
        RequestCase{rqDepartPermit, true, "Разрешается отправление поезда № 2?"},
        RequestCase{rqDepartPermit, false, "Дайте разрешение на отправление поезду № 2"},
        RequestCase{rqReceive, true, "Принять поезд № 2 на 5Б путь?"},
        RequestCase{rqReceive, false, "Жду освобождения пути,\r\nчтобы принять поезд № 2"},
        RequestCase{rqUnsuitableTrack, true,
                    "Путь 5Б не подходит для поезда № 2. Все равно принять поезд?"},
        RequestCase{rqUnsuitableTrack, false, "Путь 5Б не подходит для поезда № 2."}));

TEST(PostRequest, LocoChangeAlwaysInformsAndNoneShowsNothing) {
  TestLine line(kLPs);
  const int i = line.Add({.Number = 2, .LP = 5, .Arrival = 9});
  EXPECT_FALSE(PostRequest(line.Sim, 1, i, 0, true, rqLocoChange));
  ASSERT_EQ(line.Console.Infos.size(), 1u);
  EXPECT_TRUE(line.Console.Questions.empty());
  EXPECT_EQ(line.Console.Infos[0].Text,
            "Поезд № 2 должен быть принят для смены локомотива, а затем отправлен.");
  const double before = line.Train(i).REQUEST_TIME;
  line.Sim.State.ClockTime += kMin;
  EXPECT_FALSE(PostRequest(line.Sim, 1, i, 0, true, rqNone));
  EXPECT_EQ(line.Console.Infos.size(), 1u);
  EXPECT_DOUBLE_EQ(line.Train(i).REQUEST_TIME, before);
}

// Fraction of 400 calls, each one step later, in which the request is no longer fresh.
double StaleShare(TestLine& line, int i, int kind, int lpCode) {
  int stale = 0;
  for (int k = 0; k < 400; ++k)
    if (!RequestIsFresh(line.Sim, i, kind, lpCode, 0)) ++stale;
  (void)i;
  return stale / 400.0;
}

TEST(RequestIsFresh, SameRequestWaitsItsPauseThenReturnsOneStepInFour) {
  TestLine line(kLPs, 3);
  const int i = line.Add({.Number = 2, .LP = 2, .Arrival = 9});
  EXPECT_FALSE(RequestIsFresh(line.Sim, i, rqPut, 2, 1));  // created a day ago: never held
  line.Console.DefaultAnswer = false;
  PostRequest(line.Sim, 0, i, 0, true, rqPut);
  const double t0 = line.Sim.State.ClockTime;
  line.Sim.State.ClockTime = t0 + 5.9 * kMin;
  EXPECT_EQ(StaleShare(line, i, rqPut, 2), 0.0);
  line.Sim.State.ClockTime = t0 + 6.1 * kMin;
  const double share = StaleShare(line, i, rqPut, 2);
  EXPECT_GT(share, 0.15);
  EXPECT_LT(share, 0.35);
  // A request of another kind waits one minute, then comes with the same one-in-four chance.
  line.Sim.State.ClockTime = t0 + 0.9 * kMin;
  EXPECT_EQ(StaleShare(line, i, rqReceive, 2), 0.0);
  // From another LP it comes at once after one minute.
  line.Sim.State.ClockTime = t0 + 1.1 * kMin;
  EXPECT_EQ(StaleShare(line, i, rqPut, 5), 1.0);
  // The put-out pause and the other pause are separate settings.
  line.Sim.Settings.ReapplyPutRequestPauseMin = 0;
  line.Sim.State.ClockTime = t0 + 0.5 * kMin;
  EXPECT_GT(StaleShare(line, i, rqPut, 2), 0.15);
}

TEST(HeldTrainRequest, RingsAtAControlledStationOnly) {
  TestLine line(kLPs);
  const int at = line.Add({.Number = 2, .LP = 5, .Arrival = 9});
  HeldTrainRequest(line.Sim, at);
  ASSERT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_EQ(line.Console.Notes[0], "");
  EXPECT_EQ(line.Train(at).REQUEST_TYPE, rqNone);
  EXPECT_DOUBLE_EQ(line.Train(at).REQUEST_TIME, line.Sim.State.ClockTime);
  const int other = line.Add({.Number = 4, .LP = 2, .Arrival = 9});
  HeldTrainRequest(line.Sim, other);
  EXPECT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_TRUE(line.Console.Infos.empty());
}

TEST(EnterLP, NextStopAndTimetableMismatches) {
  TestLine line(kLPs);
  const int i = line.Add({.Number = 2, .LP = 2, .Arrival = 9});
  line.Train(i).SCHEDULE_IDX = 0;
  EnterLP(line.Sim, i, 2);
  EXPECT_EQ(line.Train(i).HEAD.LP_CODE, 2);
  EXPECT_EQ(line.Train(i).STOP_LP_CODE, 2);
  EXPECT_EQ(line.Train(i).NEXT_LP_CODE, 6);
  EnterLP(line.Sim, i, 7);
  ASSERT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_EQ(line.Console.Notes[0],
            "Поезд № 2 прибывает на пункт № 7, отличный от пункта № 6 в расписании.");

  const int lost = line.Add({.Number = 102, .LP = 2, .Arrival = 9});
  EnterLP(line.Sim, lost, 7);
  ASSERT_EQ(line.Console.Notes.size(), 2u);
  EXPECT_EQ(line.Console.Notes[1], "Пассажирский поезд № 102 не имеет расписания.");

  const int freight = line.Add({.Number = 1001, .Dir = 1, .LP = 7, .Arrival = 9, .Load = 5});
  EnterLP(line.Sim, freight, 7);
  EXPECT_EQ(line.Train(freight).STOP_LP_CODE, 7);
  EXPECT_EQ(line.Console.Notes.size(), 2u);

  EnterLP(line.Sim, freight, 9);
  EXPECT_EQ(line.Train(freight).HEAD.LP_CODE, 9);  // no LP of the district: nothing more
}

}  // namespace
}  // namespace traklin::test
