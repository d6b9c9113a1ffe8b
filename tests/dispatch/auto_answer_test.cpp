// The automatic dispatcher's answers to the stations' questions, and its memo between steps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dispatch/auto_dispatcher.h"
#include "trains/shipped_district.h"
#include "trains/stops.h"

namespace traklin {
namespace {

using test::ShippedDistrict;

// The demo line, odd direction to the right:
//
//   Заречье ЗАР (asks) -- Берёзовка БЕР (acts itself) -- Сосновка СОС (no duty officer)
//   -- Озёрная ОЗЁ (asks) == Дубки ДУБ (asks) -- Кедровая КЕД (asks)
//
// Заречье puts out and takes in trains from beyond the district; it asks "Принять поезд …",
// "Выставляю поезд …" and "Поезд … к отправлению готов" before it acts.

void AutomateAll(ShippedDistrict& d) {
  d.Sim.State.AutoLPs.assign(d.Sim.AreaData.Puts.size(), true);
}

int CountQuestions(const ShippedDistrict& d, const std::string& caption) {
  int n = 0;
  for (const auto& box : d.Console.Questions) n += box.Caption == caption ? 1 : 0;
  return n;
}

TEST(AutoAnswerTest, AutomatedStationsAnswerForThemselvesAndHumanStationsStillAsk) {
  // The console says no to everything (an instructor's standing answer): a station the
  // automatic dispatcher works opens no box, and its trains are put out all the same; the
  // same station left to the human asks, and puts nothing out.
  ShippedDistrict manual(1, 1), automated(1, 1);
  AutomateAll(automated);
  int created[2] = {0, 0};
  ShippedDistrict* runs[2] = {&manual, &automated};
  for (int r = 0; r < 2; ++r) {
    runs[r]->Console.DefaultAnswer = false;
    runs[r]->Sim.OnTrainCreated = [&created, r](int, TrainSource) { ++created[r]; };
    runs[r]->SetClock(500);
    runs[r]->Steps(3 * 3600 * 2);
  }
  EXPECT_GT(CountQuestions(manual, "ДСП ЗАР"), 0);
  EXPECT_EQ(CountQuestions(automated, "ДСП ЗАР"), 0);
  EXPECT_TRUE(automated.Console.Questions.empty());
  EXPECT_GE(created[1], created[0]);
  EXPECT_TRUE(automated.Faults().empty());
}

/// A train standing still on peregon p, heading for its end `end` (it runs in direction end).
TTrainData TrainHeadingFor(int p, int end, int number) {
  TTrainData t;
  t.NUMBER = number;
  t.HEAD.PEREGON_IDX = t.TAIL.PEREGON_IDX = p;
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(end);
  return t;
}

TEST(AutoAnswerTest, TrainIsLetInOnlyWithAnEndItCanReach) {
  ShippedDistrict d(1, 1);
  AutomateAll(d);
  const int zar = d.LP("Заречье");
  ASSERT_GE(d.Sim.AreaData.Puts[zar].Tracks.size(), 1u);
  d.Sim.State.Trains.push_back(TrainHeadingFor(-1, 0, 801));
  const int train = 0;
  AutoDispatchMemo memo;
  const auto ask = [&](int kind) {
    return AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, train, 0, kind);
  };
  // Bound nowhere in the district: it would stand on its track for good.
  EXPECT_EQ(ask(rqPut), std::optional<bool>(false));
  EXPECT_EQ(ask(rqReceive), std::optional<bool>(false));
  // Bound for Кедровая across an empty line.
  d.Sim.State.Trains[train].ARRIVAL_LP_CODE = d.Sim.AreaData.Puts[d.LP("Кедровая")].Code;
  AutoDispatchMemo fresh;
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, fresh, zar, train, 0, rqPut),
            std::optional<bool>(true));
}

TEST(AutoAnswerTest, RefusedPutOutIsAskedAgainOnlyOnceTheTrainCouldBeLetIn) {
  // 801 waits outside at Заречье; its "Выставляю поезд …" was refused a minute ago, or the
  // station found no track for it ("Жду освобождения пути …"). Each case sets what the record
  // and the line say, runs the dispatcher's pass, and tells whether the station may ask again
  // at once (the record's time cleared) or waits out its pause.
  struct Case {
    const char* Name;
    bool BoundForKedrovaya;  ///< else bound nowhere: it could never finish
    int Performable;  ///< 1 a question, -1 a report ("Жду освобождения пути …")
    bool Automated;   ///< Заречье worked by the dispatcher
    int PausedMin;    ///< minutes since the refusal
    int Length;       ///< the train's length in metres; 0 for a train not made up yet
    bool AsksAgain;
  };
  const Case cases[] = {
      {"could finish now", true, 1, true, 1, 0, true},
      {"still could not finish", false, 1, true, 1, 0, false},
      {"station left to the human", true, 1, false, 1, 0, false},
      {"pause over, lapses by itself", true, 1, true, 7, 0, false},
      {"waited for a track, one takes it now", true, -1, true, 1, 600, true},
      {"waited for a track, none is long enough", true, -1, true, 1, 90000, false},
      {"waited for a track, could not finish", false, -1, true, 1, 600, false},
      {"waited for a track, not made up yet", true, -1, true, 1, 0, false},
      {"waited for a track, station left to the human", true, -1, false, 1, 600, false},
  };
  for (const Case& c : cases) {
    ShippedDistrict d(1, 1);
    d.SetClock(500);
    const int zar = d.LP("Заречье");
    d.Sim.State.AutoLPs.assign(d.Sim.AreaData.Puts.size(), true);
    d.Sim.State.AutoLPs[zar] = c.Automated;
    TTrainData t = TrainHeadingFor(-1, 0, 801);
    t.HEAD.LP_CODE = d.Sim.AreaData.Puts[zar].Code;
    if (c.BoundForKedrovaya) t.ARRIVAL_LP_CODE = d.Sim.AreaData.Puts[d.LP("Кедровая")].Code;
    if (c.Length > 0) {
      // Made up, it leaves Заречье towards Кедровая, in the odd direction.
      t.HEAD.DIR = t.TAIL.DIR = 1;
      t.LEN = c.Length;
      t.CARS = c.Length / 15;
      t.WEIGHT = 3000;
    }
    const TDateTime refused = d.Sim.State.ClockTime - c.PausedMin * kMinute;
    t.REQUEST_TIME = refused;
    t.REQUEST_TYPE = rqPut;
    t.REQUEST_LP_CODE = t.HEAD.LP_CODE;
    t.REQUEST_PERFORMABLE = c.Performable;
    d.Sim.State.Trains.push_back(t);
    AutoDispatch(d.Sim, d.Sim.State.AutoLPs);
    EXPECT_EQ(d.Sim.State.Trains[0].REQUEST_TIME, c.AsksAgain ? 0 : refused) << c.Name;
  }
}

TEST(AutoAnswerTest, QuestionsItDoesNotJudgeAreLeftToTheConsole) {
  ShippedDistrict d(1, 1);
  d.Sim.State.Trains.push_back(TTrainData{});
  const int zar = d.LP("Заречье");
  AutoDispatchMemo memo;
  // Not automated.
  d.Sim.State.AutoLPs.assign(d.Sim.AreaData.Puts.size(), false);
  for (const int kind : {rqPut, rqReceive, rqDepartReady, rqDepartPermit, rqUnsuitableTrack})
    EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, 0, 0, kind), std::nullopt)
        << kind;
  // Automated, but a kind it leaves alone, or a train that does not exist.
  AutomateAll(d);
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, 0, 0, rqLocoChange),
            std::nullopt);
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, 5, 0, rqPut), std::nullopt);
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, -1, 0, rqPut), std::nullopt);
  // A track that does not suit the train is refused: it is given one that does.
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, 0, 0, rqUnsuitableTrack),
            std::optional<bool>(false));
}

TEST(AutoAnswerTest, HeldTrainIsNotSent) {
  ShippedDistrict d(1, 1);
  AutomateAll(d);
  d.SetClock(500);
  TTrainData t;
  t.NUMBER = 2001;
  d.Sim.State.Trains.push_back(t);
  const std::vector<AutoHold> holds{{2001, d.Sim.State.ClockTime + kMinute}};
  AutoDispatchMemo memo;
  for (const int kind : {rqDepartReady, rqDepartPermit})
    EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, holds, memo, d.LP("Заречье"), 0, 0, kind),
              std::optional<bool>(false))
        << kind;
}

int TrainNumbered(const ShippedDistrict& d, int number) {
  const auto& trains = d.Sim.State.Trains;
  for (int i = 0; i < static_cast<int>(trains.size()); ++i)
    if (trains[i].NUMBER == number) return i;
  return -1;
}

/// Runs the demo from 05:00, by hand, until 2001 at Заречье asks for its departure commit.
bool RunUntil2001AsksForItsCommit(ShippedDistrict& d) {
  d.SetClock(500);
  for (int step = 0; step < 40 * 120; ++step) {
    d.Steps(1);
    for (const auto& box : d.Console.Infos)
      if (box.Text.find("Дайте разрешение на отправление поезду № 2001") != std::string::npos)
        return true;
  }
  return false;
}

/// Freight 3002 for Заречье, put on Берёзовка's first track facing Заречье, where 2001 asks
/// for its commit towards Берёзовка; its index.
int PutWaitingTrainAtBerezovka(ShippedDistrict& d) {
  const int zar = d.LP("Заречье"), ber = d.LP("Берёзовка");
  const int even = (d.Sim.State.Trains[TrainNumbered(d, 2001)].HEAD.DIR & 1) ^ 1;
  TTrainData waiting;
  waiting.NUMBER = 3002;
  waiting.LOAD_TYPE = 1;
  waiting.ARRIVAL_LP_CODE = d.Sim.AreaData.Puts[zar].Code;
  waiting.DEPARTURE_COMMISSION = true;
  d.Sim.State.Trains.push_back(waiting);
  const int w = static_cast<int>(d.Sim.State.Trains.size()) - 1;
  TSectionSchuntData& x = d.Sim.State.Sects[d.Sim.AreaData.Puts[ber].Tracks[0].Section];
  (even ? x.TRN_ODD : x.TRN_EVEN) = w;
  return w;
}

TEST(AutoAnswerTest, CommitWaitsWhileTheFarEndIsAboutToSendATrainByItself) {
  // 2001 at Заречье asks for its commit towards Берёзовка, which sends its trains without
  // asking anyone and is not worked by the automatic dispatcher: a train there due to leave
  // towards Заречье soon holds the commit back.
  ShippedDistrict d(1, 1);
  ASSERT_TRUE(RunUntil2001AsksForItsCommit(d));
  const int zar = d.LP("Заречье"), ber = d.LP("Берёзовка");
  ASSERT_GT(d.Sim.AreaData.Puts[ber].Value2, 0);
  const int w = PutWaitingTrainAtBerezovka(d);
  const TDepartCommitData& commit = d.Sim.State.DepartCommits[zar];
  AutomateAll(d);
  d.Sim.State.AutoLPs[ber] = false;
  for (const double minutes : {3.0, 12.0}) {
    d.Sim.State.Trains[w].DEPARTURE_TIME = d.Sim.State.ClockTime + minutes * kMinute;
    AutoDispatch(d.Sim, d.Sim.State.AutoLPs);
    EXPECT_EQ(commit.ODD + commit.EVEN, 0) << minutes;
  }
  // Due only later: 2001 goes first.
  d.Sim.State.Trains[w].DEPARTURE_TIME = d.Sim.State.ClockTime + 30 * kMinute;
  AutoDispatch(d.Sim, d.Sim.State.AutoLPs);
  EXPECT_NE(commit.ODD + commit.EVEN, 0);
}

TEST(AutoAnswerTest, CommitGoesFirstWhereTheFarEndSendsByItselfOnlyWithTheDispatchersLeave) {
  // The same line with Берёзовка worked too: it sends nothing without the dispatcher's leave,
  // so 2001, which asked first, gets its commit, and Берёзовка's train due in three minutes
  // is refused its leave while 2001 holds the line.
  ShippedDistrict d(1, 1);
  ASSERT_TRUE(RunUntil2001AsksForItsCommit(d));
  const int zar = d.LP("Заречье"), ber = d.LP("Берёзовка");
  const int w = PutWaitingTrainAtBerezovka(d);
  d.Sim.State.Trains[w].DEPARTURE_TIME = d.Sim.State.ClockTime + 3 * kMinute;
  AutomateAll(d);
  AutoDispatchMemo memo;
  AutoDispatch(d.Sim, d.Sim.State.AutoLPs, {}, memo);
  const TDepartCommitData& commit = d.Sim.State.DepartCommits[zar];
  EXPECT_NE(commit.ODD + commit.EVEN, 0);
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, ber, w, -1, rqDepartPermit),
            std::optional<bool>(false));
}

/// What a run leaves behind that the dispatcher's orders decide.
struct Outcome {
  std::vector<std::string> Texts;
  std::vector<int> Numbers;
  std::vector<TSectionSchuntData> Sects;
  std::vector<TGorlTaskData> Gorls;
};

Outcome RunDistrict2(bool keepMemo) {
  ShippedDistrict d(2, 3);
  AutomateAll(d);
  d.SetClock(600);
  for (int step = 0; step < 3 * 3600 * 2; ++step) {
    // Assigning a copy empties the memo: every step derives the district again.
    if (!keepMemo) d.Sim.AutoMemo = AutoDispatchMemo();
    d.Steps(1);
  }
  Outcome o;
  for (const auto& box : d.Console.Infos) o.Texts.push_back(box.Caption + box.Text);
  for (const auto& box : d.Console.Questions) o.Texts.push_back(box.Caption + box.Text);
  for (const TTrainData& t : d.Sim.State.Trains) o.Numbers.push_back(t.NUMBER);
  o.Sects = d.Sim.State.Sects;
  o.Gorls = d.Sim.State.Gorls;
  return o;
}

TEST(AutoDispatchMemoTest, KeptMemoGivesTheOrdersOfAFreshOneEachStep) {
  const Outcome kept = RunDistrict2(true), fresh = RunDistrict2(false);
  EXPECT_FALSE(kept.Numbers.empty());
  EXPECT_EQ(kept.Texts, fresh.Texts);
  EXPECT_EQ(kept.Numbers, fresh.Numbers);
  EXPECT_EQ(kept.Sects, fresh.Sects);
  EXPECT_EQ(kept.Gorls, fresh.Gorls);
}

}  // namespace
}  // namespace traklin
