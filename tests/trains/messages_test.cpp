// Station reports and their filters, requests, the repeat rule and entering an LP.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "trains/harness.h"
#include "trains/station_messages.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

constexpr double kMin = 1.0 / 1440;
using Texts = std::vector<std::string>;

// Reports of a station with a duty officer (Beta, 2), a controlled station (Delta, 4), a post
// (6, single-sided) and a plain LP (7).
TEST(StationReports, ShownOnlyWhereTheSettingsAllowAndOncePerVisit) {
  struct Case {
    const char* What;
    int LPCode;
    bool FromControlled, FromPosts, UnplannedStops, Report, Planned;
    bool Arrival, Passing;  ///< an arrival report / a passing report is shown
  };
  const Case cases[] = {
      {"station, planned stop, controlled off", 2, false, false, true, true, true, true, false},
      {"station, passing with controlled on", 2, true, false, true, true, true, true, true},
      {"station, unplanned stop, unplanned off", 2, false, false, false, true, false, false, false},
      {"station, unplanned stop, unplanned on", 2, false, false, true, true, false, true, false},
      {"station, no report wanted", 2, false, false, true, false, true, false, false},
      {"controlled, off", 4, false, false, true, true, true, false, false},
      {"controlled, on", 4, true, false, true, true, true, true, true},
      {"post, off", 6, false, false, true, true, true, false, false},
      {"post, on", 6, false, true, true, true, true, true, true},
      {"plain LP", 7, false, false, true, true, true, true, true}};
  for (const Case& c : cases) {
    TestLine line;
    line.Sim.AreaData.Puts[line.LPIndex(6)].SingleSided = 1;
    line.Sim.Settings.NotifiesFromControlled = c.FromControlled;
    line.Sim.Settings.NotifiesFromPosts = c.FromPosts;
    line.Sim.Settings.NotifiesOfUnplannedStops = c.UnplannedStops;
    const int i = line.Add({.LP = c.LPCode, .Arrival = 9});
    const int lp = line.LPIndex(c.LPCode);
    ArrivalReport(line.Sim, i, lp, c.Report, c.Planned);
    EXPECT_TRUE(line.Train(i).ARRIVAL_NOTIFIED) << c.What;
    ArrivalReport(line.Sim, i, lp, true, true);  // reported at most once per visit
    EXPECT_EQ(line.Console.Infos.size(), c.Arrival ? 1u : 0u) << c.What;
    line.Console.Infos.clear();
    line.Train(i).ARRIVAL_NOTIFIED = false;
    line.Train(i).SCHEDULE_IDX = 5;  // neither stopped nor left
    PassingReport(line.Sim, i);
    EXPECT_EQ(line.Console.Infos.size(), c.Passing ? 1u : 0u) << c.What;
    EXPECT_EQ(line.Train(i).HEAD.LP_CODE, 0) << c.What;
  }
}

TEST(StationReports, NoPassingReportAfterAnArrivalButTheTimetableMovesOn) {
  TestLine line;
  line.Sim.Settings.NotifiesFromControlled = true;
  const int i = line.Add({.LP = 2, .Arrival = 9});
  line.Train(i).SCHEDULE_IDX = 1;  // its stop at Beta
  line.Train(i).ARRIVAL_NOTIFIED = true;
  PassingReport(line.Sim, i);
  EXPECT_TRUE(line.Console.Infos.empty());
  EXPECT_EQ(line.Train(i).SCHEDULE_IDX, 2);
  EXPECT_FALSE(line.Train(i).ARRIVAL_NOTIFIED || line.Train(i).DEPARTURE_NOTIFIED);
}

TEST(StationReports, TextsCaptionRingAndMinutes) {
  TestLine line;
  line.Sim.AreaData.Puts[0].Ring = 4;
  const int i = line.Add({.Number = 2001, .Dir = 1});
  line.Sim.State.ClockTime = 45000.0 + (10 * 60 + 7) * kMin;
  for (int kind = 0; kind <= 4; ++kind) StationReport(line.Sim, 0, i, kind);
  line.Sim.State.ClockTime = 45000.0 + (10 * 60 + 35) * kMin;
  StationReport(line.Sim, 0, i, srArrived);
  Texts texts;
  for (const auto& box : line.Console.Infos) {
    EXPECT_EQ(box.Caption, "ДСП Alfa");
    EXPECT_EQ(box.Ring, 4);
    texts.push_back(box.Text);
  }
  EXPECT_EQ(texts, (Texts{"Поезд № 2001 отправился в  7 мин.", "Поезд № 2001 прибыл в  7 мин.",
                          "Поезд № 2001 проследовал в  7 мин.", "Выставляется поезд № 2001",
                          "Принимается поезд № 2001", "Поезд № 2001 прибыл в 35 мин."}));
}

TEST(PostRequest, AsksOrInformsWithTheTextOfItsKind) {
  struct Case {
    int Kind;
    bool Performable;
    const char* Text;
  };
  const Case cases[] = {
      {rqPut, true, "Выставляю поезд № 2 на 5Б путь?"},
      {rqPut, false, "Жду освобождения пути,\r\nчтобы выставить поезд № 2"},
      {rqDepartReady, true, "Поезд № 2 к отправлению готов. \r\nОтправить с 5Б пути?"},
      {rqDepartReady, false, "Поезд № 2 к отправлению готов. "},
      {rqDepartPermit, true, "Разрешается отправление поезда № 2?"},
      {rqDepartPermit, false, "Дайте разрешение на отправление поезду № 2"},
      {rqReceive, true, "Принять поезд № 2 на 5Б путь?"},
      {rqReceive, false, "Жду освобождения пути,\r\nчтобы принять поезд № 2"},
      {rqUnsuitableTrack, true, "Путь 5Б не подходит для поезда № 2. Все равно принять поезд?"},
      {rqUnsuitableTrack, false, "Путь 5Б не подходит для поезда № 2."}};
  for (const Case& c : cases) {
    TestLine line;
    const int i = line.Add({.LP = 4, .Arrival = 9});
    EXPECT_EQ(PostRequest(line.Sim, line.LPIndex(4), i, 0, c.Performable, c.Kind), c.Performable);
    const auto& boxes = c.Performable ? line.Console.Questions : line.Console.Infos;
    ASSERT_EQ(boxes.size(), 1u) << c.Text;
    EXPECT_EQ(boxes[0].Caption, "ДСП Delta");
    EXPECT_EQ(boxes[0].Text, c.Text);
    const TTrainData& t = line.Train(i);
    EXPECT_EQ(std::tuple(t.REQUEST_TYPE, t.REQUEST_LP_CODE, t.REQUEST_PERFORMABLE, t.REQUEST_TIME),
              std::tuple(c.Kind, 4, c.Performable ? 1 : -1, line.Sim.State.ClockTime));
  }
}

TEST(PostRequest, LocoChangeAlwaysInformsAndNoneShowsNothing) {
  TestLine line;
  const int i = line.Add({.LP = 4, .Arrival = 9});
  EXPECT_FALSE(PostRequest(line.Sim, line.LPIndex(4), i, 0, true, rqLocoChange));
  EXPECT_TRUE(line.Console.Questions.empty());
  const double before = line.Train(i).REQUEST_TIME;
  line.Sim.State.ClockTime += kMin;
  EXPECT_FALSE(PostRequest(line.Sim, line.LPIndex(4), i, 0, true, rqNone));
  ASSERT_EQ(line.Console.Infos.size(), 1u);
  EXPECT_EQ(line.Console.Infos[0].Text,
            "Поезд № 2 должен быть принят для смены локомотива, а затем отправлен.");
  EXPECT_DOUBLE_EQ(line.Train(i).REQUEST_TIME, before);
}

// The automatic dispatcher's hook answers for the dispatcher: no box, the console is only told;
// when it leaves the question (nullopt) the dispatcher is asked. Reports never reach the hook.
TEST(PostRequest, AQuestionTheHookAnswersIsToldNotAsked) {
  struct Case {
    const char* What;
    std::optional<bool> Hook;
    bool Performable;
    bool Result;
    std::size_t Asked, Told, Informed;
  };
  const Case cases[] = {
      {"hook says yes", true, true, true, 0, 1, 0},
      {"hook says no", false, true, false, 0, 1, 0},
      {"hook leaves it", std::nullopt, true, true, 1, 0, 0},
      {"a report", true, false, false, 0, 0, 1},
  };
  for (const Case& c : cases) {
    TestLine line;
    line.Sim.AreaData.Puts[line.LPIndex(4)].Ring = 5;
    const int i = line.Add({.LP = 4, .Arrival = 9});
    std::vector<std::tuple<int, int, int, int>> hookCalls;
    line.Sim.AnswerStation = [&](int lp, int train, int track, int kind) {
      hookCalls.emplace_back(lp, train, track, kind);
      return c.Hook;
    };
    EXPECT_EQ(PostRequest(line.Sim, line.LPIndex(4), i, 0, c.Performable, rqReceive), c.Result)
        << c.What;
    EXPECT_EQ(line.Console.Questions.size(), c.Asked) << c.What;
    EXPECT_EQ(line.Console.Answers.size(), c.Told) << c.What;
    EXPECT_EQ(line.Console.Infos.size(), c.Informed) << c.What;
    EXPECT_EQ(hookCalls.size(), c.Performable ? 1u : 0u) << c.What;
    if (c.Performable) {
      EXPECT_EQ(hookCalls[0], std::tuple(line.LPIndex(4), i, 0, int{rqReceive})) << c.What;
    }
    if (c.Told != 0) {
      const auto& told = line.Console.Answers[0];
      EXPECT_EQ(std::tuple(told.Caption, told.Text, told.Ring, told.Answer),
                std::tuple(std::string("ДСП Delta"), std::string("Принять поезд № 2 на 5Б путь?"),
                           5, *c.Hook))
          << c.What;
    }
    // The request is on record in the train whoever answers.
    EXPECT_EQ(line.Train(i).REQUEST_TYPE, rqReceive) << c.What;
  }
  // Without a console the hook's answer still stands.
  TestLine line;
  const int i = line.Add({.LP = 4, .Arrival = 9});
  line.Sim.Console = nullptr;
  line.Sim.AnswerStation = [](int, int, int, int) { return std::optional<bool>(true); };
  EXPECT_TRUE(PostRequest(line.Sim, line.LPIndex(4), i, 0, true, rqPut));
}

// Fraction of 400 calls in which the request is no longer fresh.
double StaleShare(TestLine& line, int i, int kind, int lpCode) {
  int stale = 0;
  for (int k = 0; k < 400; ++k) stale += RequestIsFresh(line.Sim, i, kind, lpCode, 0) ? 0 : 1;
  return stale / 400.0;
}

TEST(RequestIsFresh, SameRequestWaitsItsPauseThenReturnsOneStepInFour) {
  TestLine line(kLine, 3);
  const int i = line.Add({.LP = 2, .Arrival = 9});
  EXPECT_FALSE(RequestIsFresh(line.Sim, i, rqPut, 2, 1));  // created a day ago: never held
  line.Console.DefaultAnswer = false;
  PostRequest(line.Sim, line.LPIndex(2), i, 0, true, rqPut);
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
  EXPECT_EQ(StaleShare(line, i, rqPut, 4), 1.0);
  // The put-out pause and the other pause are separate settings.
  line.Sim.Settings.ReapplyPutRequestPauseMin = 0;
  line.Sim.State.ClockTime = t0 + 0.5 * kMin;
  EXPECT_GT(StaleShare(line, i, rqPut, 2), 0.15);
}

TEST(HeldTrainRequest, RingsAtAControlledStationOnly) {
  TestLine line;
  const int at = line.Add({.LP = 4, .Arrival = 9});
  HeldTrainRequest(line.Sim, at);
  EXPECT_EQ(line.Console.Notes, Texts{""});
  EXPECT_EQ(line.Train(at).REQUEST_TYPE, rqNone);
  EXPECT_DOUBLE_EQ(line.Train(at).REQUEST_TIME, line.Sim.State.ClockTime);
  HeldTrainRequest(line.Sim, line.Add({.Number = 4, .LP = 2, .Arrival = 9}));
  EXPECT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_TRUE(line.Console.Infos.empty());
}

TEST(EnterLP, NextStopAndTimetableMismatches) {
  TestLine line;
  const int i = line.Add({.LP = 2, .Arrival = 9});
  line.Train(i).SCHEDULE_IDX = 1;
  EnterLP(line.Sim, i, 2);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(std::tuple(t.HEAD.LP_CODE, t.STOP_LP_CODE, t.NEXT_LP_CODE), std::tuple(2, 2, 3));
  EnterLP(line.Sim, i, 7);
  EnterLP(line.Sim, line.Add({.Number = 102, .LP = 2, .Arrival = 9}), 7);
  EXPECT_EQ(line.Console.Notes,
            (Texts{"Поезд № 2 прибывает на пункт № 7, отличный от пункта № 3 в расписании.",
                   "Пассажирский поезд № 102 не имеет расписания."}));
  const int freight = line.Add({.Number = 1001, .Dir = 1, .LP = 7, .Arrival = 9, .Load = 5});
  EnterLP(line.Sim, freight, 7);
  EXPECT_EQ(line.Train(freight).STOP_LP_CODE, 7);
  EnterLP(line.Sim, freight, 9);
  EXPECT_EQ(line.Train(freight).HEAD.LP_CODE, 9);  // no LP of the district: nothing more
  EXPECT_EQ(line.Console.Notes.size(), 2u);
}

}  // namespace
}  // namespace traklin::test
