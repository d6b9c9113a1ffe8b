// The automatic dispatcher's answers to the stations' questions, and its memo between steps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulation/auto_dispatcher.h"
#include "trains/shipped_district.h"

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

TEST(AutoAnswerTest, AutomatedStationsAskTheAutomaticDispatcherNotTheConsole) {
  ShippedDistrict manual(1, 1), automated(1, 1);
  AutomateAll(automated);
  automated.Sim.State.AutoLPs[automated.LP("Кедровая")] = false;
  for (ShippedDistrict* d : {&manual, &automated}) {
    d->SetClock(500);
    d->Steps(5 * 3600 * 2);
  }
  EXPECT_GT(CountQuestions(manual, "ДСП ЗАР"), 0);
  EXPECT_EQ(CountQuestions(automated, "ДСП ЗАР"), 0);
  // Кедровая is left to the dispatcher and still asks the console.
  EXPECT_GT(CountQuestions(automated, "ДСП КЕД"), 0);
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

TEST(AutoAnswerTest, PutOutKeepsTheTracksThatTrainsOnTheirWayNeed) {
  ShippedDistrict d(1, 1);
  AutomateAll(d);
  const int zar = d.LP("Заречье");
  const int tracks = static_cast<int>(d.Sim.AreaData.Puts[zar].Tracks.size());
  ASSERT_GE(tracks, 1);
  ASSERT_EQ(d.Sim.AreaData.GraphPeregons[0].LP[0] - 1, zar);
  d.Sim.State.Trains.push_back(TrainHeadingFor(-1, 0, 801));
  const int train = 0;
  AutoDispatchMemo memo;
  const auto ask = [&](int kind) {
    return AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, train, 0, kind);
  };
  // The other tracks are free: one fewer train on its way than they number is let in.
  for (int k = 0; k < tracks - 1; ++k)
    d.Sim.State.Trains.push_back(TrainHeadingFor(0, 0, 3000 + k));
  EXPECT_EQ(ask(rqPut), std::optional<bool>(true));
  EXPECT_EQ(ask(rqReceive), std::optional<bool>(true));
  // One more, and the track asked for is one of theirs.
  d.Sim.State.Trains.push_back(TrainHeadingFor(0, 0, 3999));
  EXPECT_EQ(ask(rqPut), std::optional<bool>(false));
  EXPECT_EQ(ask(rqReceive), std::optional<bool>(false));
  // A train running away from Заречье needs nothing there.
  d.Sim.State.Trains.back() = TrainHeadingFor(0, 1, 3999);
  EXPECT_EQ(ask(rqPut), std::optional<bool>(true));
}

TEST(AutoAnswerTest, QuestionsItDoesNotJudgeAreLeftToTheConsole) {
  ShippedDistrict d(1, 1);
  d.Sim.State.Trains.push_back(TTrainData{});
  const int zar = d.LP("Заречье");
  AutoDispatchMemo memo;
  // Not automated.
  d.Sim.State.AutoLPs.assign(d.Sim.AreaData.Puts.size(), false);
  for (const int kind : {rqPut, rqReceive, rqDepartReady, rqDepartPermit})
    EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, 0, 0, kind), std::nullopt)
        << kind;
  // Automated, but a kind it leaves alone, or a train that does not exist.
  AutomateAll(d);
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, 0, 0, rqUnsuitableTrack),
            std::nullopt);
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, 5, 0, rqPut), std::nullopt);
  EXPECT_EQ(AutoAnswer(d.Sim, d.Sim.State.AutoLPs, {}, memo, zar, -1, 0, rqPut), std::nullopt);
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
