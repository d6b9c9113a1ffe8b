// Tasks to duty officers: throat slots, deeds, track and inlet layout on a small district;
// every refusal and the written tasks on the demo district.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "area/area_queries.h"
#include "state/interlocking.h"
#include "trains/op_task.h"
#include "trains/shipped_district.h"
#include "trains/stops.h"
#include "trains/throat_queries.h"

namespace traklin::test {
namespace {

/// A station with throats built by hand: LP 0 "Узловая" (code 1) with graph peregons to the
/// LPs 1 "Левая" (code 2) and 2 "Правая" (code 3), and 2 "Дальняя" (code 4) on the odd side.
///
///   Левая ==p1== [Узловая: tracks 1..n] ==p2== Правая
///                                       \==p3== Дальняя
TAreaData Junction(int trackCount) {
  TAreaData area;
  area.StationCount = 1;
  area.Stations = {{"-", 0}, {"Узловая", 1}, {"Левая", 2}, {"Правая", 3}, {"Дальняя", 4}};
  area.Puts.resize(4);
  for (int k = 0; k < 4; ++k) area.Puts[k].Code = k + 1;
  for (int k = 0; k < trackCount; ++k) {
    TTrackData t;
    t.Number = k == 1 ? 1002 : k == 3 ? 1001 : k + 1;  // tracks II and I among plain ones
    t.Section = 10 + k;
    t.SignA = k == 4 ? -1 : 1;
    t.SignB = k == 5 ? -1 : 1;
    area.Puts[0].Tracks.push_back(t);
  }
  area.Puts[0].TrackCount = trackCount;
  area.GraphPeregons.resize(3);
  area.GraphPeregons[0].LP[0] = 1;  // Узловая at its even end, Левая at the odd end
  area.GraphPeregons[0].LP[1] = 2;
  area.GraphPeregons[1].LP[0] = 3;
  area.GraphPeregons[1].LP[1] = 1;
  area.GraphPeregons[2].LP[0] = 4;
  area.GraphPeregons[2].LP[1] = 1;
  const auto throat = [&](int parity, int number, int side, int peregon) {
    TGorlStanzData g;
    g.Code = 1;
    g.Parity = static_cast<std::uint8_t>(parity);
    g.Number = number;
    g.Side = side;
    g.Peregon = peregon;
    g.EntrySection = 40 + static_cast<int>(area.GorlStanzs.size());
    area.GorlStanzs.push_back(g);
  };
  throat(1, 0, 0, 1);  // 0: towards Левая, both kinds
  throat(0, 0, 0, 2);  // 1: towards Правая, both kinds
  throat(0, 0, 0, 3);  // 2: towards Дальняя, same number: moves to number 1
  throat(0, 2, 0, 3);  // 3: number 2 has no slot
  throat(2, 0, 0, 3);  // 4: nor has parity 2
  return area;
}

TEST(TaskLayoutTest, ThroatsFillTheirSlotsAndThoseBeyondTheSlotsAreLeftOut) {
  const TAreaData area = Junction(4);
  const TaskThroatSlots slots = ThroatSlotsOf(area, 0);
  EXPECT_EQ(slots.Throats, (std::array<int, 8>{1, 2, 1, 2, 0, -1, 0, -1}));
  const int transitEven = TaskDeedIndex("rbTransitEven");
  const int transitOdd = TaskDeedIndex("rbTransitOdd");
  for (const TaskDeed& deed : kTaskDeeds) EXPECT_TRUE(TaskDeedEnabled(slots, deed)) << deed.Name;
  // A receive-only throat on the even side: no even send, no transit sending there.
  TAreaData oneWay = area;
  for (TGorlStanzData& g : oneWay.GorlStanzs)
    if (g.Parity == 0) g.Side = -1;
  const TaskThroatSlots receiveOnly = ThroatSlotsOf(oneWay, 0);
  EXPECT_FALSE(TaskDeedEnabled(receiveOnly, kTaskDeeds[transitEven]));
  EXPECT_TRUE(TaskDeedEnabled(receiveOnly, kTaskDeeds[transitOdd]));
  EXPECT_FALSE(TaskDeedEnabled(receiveOnly, kTaskDeeds[TaskDeedIndex("rbSendEven")]));
  EXPECT_TRUE(TaskDeedEnabled(receiveOnly, kTaskDeeds[TaskDeedIndex("rbReceiveEven")]));
}

TEST(TaskLayoutTest, TracksRunDownOneColumnUpToTenAndAcrossBothBeyond) {
  const struct {
    int count;
    std::vector<int> firstSlots;  // what slots 0, 1, 12, 13, 14 and 25 show
  } cases[] = {
      {10, {0, 1, -1, -1, -1, -1}},
      {11, {0, 2, -1, 1, 3, -1}},
      {26, {0, 2, 24, 1, 3, 25}},
  };
  for (const auto& c : cases) {
    std::vector<int> shown;
    for (int slot : {0, 1, 12, 13, 14, 25}) shown.push_back(TaskTrackOfSlot(slot, c.count));
    EXPECT_EQ(shown, c.firstSlots) << c.count;
  }
  EXPECT_EQ(TaskTrackOfSlot(9, 10), 9);
}

TEST(TaskLayoutTest, DeedsKeepTheirTracksAndChooseAMainTrackFirst) {
  const TAreaData area = Junction(8);
  const auto deed = [](const char* name) { return kTaskDeeds[TaskDeedIndex(name)]; };
  // Track 4 (index 4) cannot receive, track 5 cannot send; a transit needs both.
  EXPECT_EQ(TaskDeedTracks(area, 0, deed("rbReceiveEven")),
            (std::vector<int>{0, 1, 2, 3, 5, 6, 7}));
  EXPECT_EQ(TaskDeedTracks(area, 0, deed("rbSendOdd")), (std::vector<int>{0, 1, 2, 3, 4, 6, 7}));
  EXPECT_EQ(TaskDeedTracks(area, 0, deed("rbTransitOdd")), (std::vector<int>{0, 1, 2, 3, 6, 7}));
  const std::vector<int> all = {0, 1, 2, 3};
  // The lowest roman track (I, index 3) for a send to the odd side or an even receive; else
  // the first one listed (II, index 1).
  EXPECT_EQ(PreselectedTaskTrack(area, 0, deed("rbSendOdd"), all), 3);
  EXPECT_EQ(PreselectedTaskTrack(area, 0, deed("rbReceiveEven"), all), 3);
  EXPECT_EQ(PreselectedTaskTrack(area, 0, deed("rbSendEven"), all), 1);
  EXPECT_EQ(PreselectedTaskTrack(area, 0, deed("rbTransitEven"), all), 1);
  EXPECT_EQ(PreselectedTaskTrack(area, 0, deed("rbSendEven"), {0, 2}), -1);
}

TEST(TaskLayoutTest, TwoThroatsOnASideGiveOneInletPerThroat) {
  const TAreaData area = Junction(4);
  const TaskThroatSlots slots = ThroatSlotsOf(area, 0);
  const auto inlets = [&](const char* name) {
    return TaskDeedInlets(area, slots, kTaskDeeds[TaskDeedIndex(name)]);
  };
  const std::string right4 = "на " + StationNamePart(area, 3, 4);
  const std::string far4 = "на " + StationNamePart(area, 4, 4);
  EXPECT_EQ(inlets("rbSendEven"), (std::vector<std::string>{right4, far4}));
  EXPECT_EQ(inlets("rbReceiveEven"),
            (std::vector<std::string>{"с " + StationNamePart(area, 3, 5),
                                      "с " + StationNamePart(area, 4, 5)}));
  // One throat on the odd side: no choice there.
  EXPECT_TRUE(inlets("rbSendOdd").empty());
  EXPECT_TRUE(inlets("rbReceiveOdd").empty());
  // A transit to the even side receives from the single odd throat and sends through two.
  EXPECT_EQ(inlets("rbTransitEven"), (std::vector<std::string>{right4, far4}));
}

// The demo line: Заречье (LP 0; throat 0 to the odd side), Берёзовка (LP 1; throats 1 even and
// 2 odd), Озёрная (LP 3; throat 3 even both kinds, 4 odd send only, 5 odd receive only).
constexpr int kZarechye = 0, kBerezovka = 1, kOzernaya = 3;
constexpr int kZarechyeOdd = 0, kBerezovkaEven = 1, kBerezovkaOdd = 2, kOzernayaEven = 3,
              kOzernayaOddSend = 4, kOzernayaOddReceive = 5;

/// Puts a train standing on half `half` of section s, heading `dir`, without a timetable,
/// bound for LP code `arrival`.
int Stand(Simulation& sim, int number, int s, int half, int dir, int arrival = 0) {
  TTrainData t;
  t.NUMBER = number;
  t.ARRIVAL_LP_CODE = arrival;
  t.HEAD.SECT_IDX = t.TAIL.SECT_IDX = s;
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(dir);
  sim.State.Trains.push_back(t);
  const int i = static_cast<int>(sim.State.Trains.size()) - 1;
  (half ? sim.State.Sects[s].TRN_ODD : sim.State.Sects[s].TRN_EVEN) = i;
  return i;
}

int TrackSection(const Simulation& sim, int lp, int track) {
  return sim.AreaData.Puts[lp].Tracks[track].Section;
}

/// Sets the control records of every route of the chain from `from` to `to` at the LP.
void SetChainState(Simulation& sim, int lp, int from, int to, TDateTime tasked, bool schunted) {
  const int chain = FindBestRoute(sim.AreaData, lp, from, to);
  ASSERT_GE(chain, 0);
  for (int r : sim.AreaData.TrainRoutes[lp].Chains[chain].Routes)
    if (r >= 0) sim.State.Routes[lp][r] = {tasked, schunted};
}

TEST(TaskCheckTest, EveryRefusalHasItsReason) {
  const struct {
    const char* name;
    int throat;
    bool send;
    int track;
    bool transit;
    std::function<void(Simulation&)> prepare;
    std::string reason;
  } cases[] = {
      {"no throat", -1, true, 0, false, {}, "Ошибка: несвязанные данные участка"},
      {"no such track", kZarechyeOdd, true, 9, false, {}, "Ошибка: несвязанные данные участка"},
      {"throat with a task", kZarechyeOdd, true, 0, false,
       [](Simulation& sim) { sim.State.Gorls[kZarechyeOdd].TASKED = sim.State.ClockTime; },
       "Горловина занята"},
      {"throat without peregon", kZarechyeOdd, true, 0, false,
       [](Simulation& sim) { sim.AreaData.GorlStanzs[kZarechyeOdd].Peregon = 0; },
       "Ошибка: нет примыкающих к горловине перегонов"},
      {"throat without entry", kZarechyeOdd, true, 0, false,
       [](Simulation& sim) { sim.AreaData.GorlStanzs[kZarechyeOdd].EntrySection = -1; },
       "Ошибка: нет секции примыкающего к горловине перегона"},
      {"send through a receive-only throat",
       kOzernayaOddReceive,
       true,
       0,
       false,
       {},
       "Ошибка: горловина на неправильный путь"},
      {"train coming in on the peregon", kZarechyeOdd, true, 0, false,
       [](Simulation& sim) {
         TTrainData t;
         t.NUMBER = 2002;
         t.HEAD.PEREGON_IDX = 0;
         t.HEAD.DIR = 0;
         sim.State.Trains.push_back(t);
       },
       "Перегон занят прибывающим поездом"},
      {"train that cannot leave this way", kZarechyeOdd, true, 0, false,
       [](Simulation& sim) {
         // Bound beyond the throat, but heading the other way.
         Stand(sim, 2003, TrackSection(sim, kZarechye, 0), 1, 0,
               ThroatNeighbourLP(sim.AreaData, kZarechyeOdd));
       },
       "Неверное направление для поезда 2003"},
      {"train heading the other way", kZarechyeOdd, true, 0, false,
       [](Simulation& sim) { Stand(sim, 2004, TrackSection(sim, kZarechye, 0), 0, 0); },
       "Неверное направление для поезда 2004"},
      {"empty track", kZarechyeOdd, true, 0, false, {}, "Нет поезда на пути I"},
      {"track without a way out", kZarechyeOdd, true, 0, true,
       [](Simulation& sim) { sim.AreaData.TrainRoutes[kZarechye].Chains.clear(); },
       "Нет маршрута до горловины от пути I"},
      {"occupied track", kOzernayaEven, false, 1, false,
       [](Simulation& sim) { Stand(sim, 2005, TrackSection(sim, kOzernaya, 1), 1, 1); },
       "Путь занят"},
      {"track without a way in", kOzernayaEven, false, 1, false,
       [](Simulation& sim) { sim.AreaData.TrainRoutes[kOzernaya].Chains.clear(); },
       "Нет маршрута от горловины до пути II"},
      {"track claimed from the other throat", kOzernayaEven, false, 1, false,
       [](Simulation& sim) {
         sim.State.Gorls[kOzernayaOddReceive] = {sim.State.ClockTime, false, false, 1, ""};
       },
       "Путь занят заданием на прибытие с другой горловины"},
      {"route being set", kOzernayaEven, false, 1, false,
       [](Simulation& sim) {
         const TGorlStanzData& g = sim.AreaData.GorlStanzs[kOzernayaEven];
         SetChainState(sim, kOzernaya, g.EntrySection, TrackSection(sim, kOzernaya, 1),
                       sim.State.ClockTime, false);
       },
       "Маршрут для задания уже собирается"},
      {"route being released", kOzernayaEven, false, 1, false,
       [](Simulation& sim) {
         const TGorlStanzData& g = sim.AreaData.GorlStanzs[kOzernayaEven];
         SetChainState(sim, kOzernaya, g.EntrySection, TrackSection(sim, kOzernaya, 1),
                       sim.State.ClockTime, true);
       },
       "Маршрут для задания сейчас разбирается"},
      {"route already set", kOzernayaEven, false, 1, false,
       [](Simulation& sim) {
         const TGorlStanzData& g = sim.AreaData.GorlStanzs[kOzernayaEven];
         SetChainState(sim, kOzernaya, g.EntrySection, TrackSection(sim, kOzernaya, 1), 0, true);
       },
       "Маршрут для задания уже готов"},
      {"accepted reception", kOzernayaEven, false, 1, false, {}, ""},
      {"accepted transit send", kOzernayaOddSend, true, 1, true, {}, ""},
  };
  for (const auto& c : cases) {
    ShippedDistrict demo(1);
    if (c.prepare) c.prepare(demo.Sim);
    EXPECT_EQ(CheckThroatTask(demo.Sim, c.throat, c.send, c.track, c.transit), c.reason) << c.name;
  }
}

TEST(TaskCheckTest, AnOpenExitSignalTowardsThePeregonRefusesASend) {
  ShippedDistrict demo(1);
  Simulation& sim = demo.Sim;
  const TGorlStanzData& g = sim.AreaData.GorlStanzs[kZarechyeOdd];
  const int own = SectionSemaphore(sim.AreaData, g.EntrySection, g.Flip ^ g.Parity);
  ASSERT_GE(own, 0);
  const TSemaphoreData& mine = sim.AreaData.Semaphores[own];
  int opposing = -1;
  for (int j = 0; j < static_cast<int>(sim.AreaData.Semaphores.size()); ++j) {
    const TSemaphoreData& s = sim.AreaData.Semaphores[j];
    if (s.Kind != 2 && s.Next > 0 && s.Next == mine.Next && s.Direction != mine.Direction)
      opposing = j;
  }
  ASSERT_GE(opposing, 0);
  sim.State.Semaphores[opposing].SECT_NEXT = 1;
  EXPECT_EQ(CheckThroatTask(sim, kZarechyeOdd, true, 0, false),
            "Перегон занят встречным открытым выходным");
  EXPECT_EQ(TaskRefusalText("Путь занят"), "Задание невыполнимо:\r\nПуть занят");
}

TaskChoice Choose(const char* deed, int track) {
  TaskChoice choice;
  choice.Deed = TaskDeedIndex(deed);
  choice.Track = track;
  return choice;
}

TEST(TaskOrderTest, ATransitIsWrittenAsTwoTasksAnHourAheadAndListedOnce) {
  ShippedDistrict demo(1);
  Simulation& sim = demo.Sim;
  const TaskThroatSlots slots = ThroatSlotsOf(sim.AreaData, kBerezovka);
  bool written = false;
  EXPECT_EQ(OrderThroatTask(sim, slots, Choose("rbTransitOdd", 0), &written), "");
  ASSERT_TRUE(written);
  const TGorlTaskData& send = sim.State.Gorls[kBerezovkaOdd];
  const TGorlTaskData& receive = sim.State.Gorls[kBerezovkaEven];
  EXPECT_TRUE(send.SEND && send.TRANSIT && !receive.SEND && receive.TRANSIT);
  EXPECT_EQ(send.TRACK, 0);
  EXPECT_EQ(receive.TRACK, 0);
  EXPECT_NEAR(send.TASKED - sim.State.ClockTime, 1.0 / 24, 1e-9);
  EXPECT_EQ(TaskListText(sim, slots),
            "На проход нечётный на " + StationNamePart(sim.AreaData, 6, 4) + " по пути I");
  // A second order through the same throats is refused.
  EXPECT_EQ(OrderThroatTask(sim, slots, Choose("rbTransitOdd", 1), &written), "Горловина занята");
  EXPECT_FALSE(written);
  CancelStationTasks(sim, slots);
  EXPECT_EQ(sim.State.Gorls[kBerezovkaOdd].TASKED, 0);
  EXPECT_EQ(sim.State.Gorls[kBerezovkaEven].TASKED, 0);
  EXPECT_EQ(TaskListText(sim, slots), "");
}

TEST(TaskOrderTest, ARefusedTransitLeavesTheTrainUnmarkedAndASendMarksIt) {
  ShippedDistrict demo(1);
  Simulation& sim = demo.Sim;
  const TaskThroatSlots slots = ThroatSlotsOf(sim.AreaData, kBerezovka);
  const int i = Stand(sim, 2007, TrackSection(sim, kBerezovka, 0), 1, 1,
                      ThroatNeighbourLP(sim.AreaData, kBerezovkaOdd));
  // The send half accepts the train standing there; the receive half finds the track taken.
  EXPECT_EQ(OrderThroatTask(sim, slots, Choose("rbTransitOdd", 0)), "Путь занят");
  EXPECT_EQ(sim.State.Trains[i].REQUEST_TYPE, rqNone);
  EXPECT_EQ(sim.State.Gorls[kBerezovkaOdd].TASKED, 0);

  bool written = false;
  EXPECT_EQ(OrderThroatTask(sim, slots, Choose("rbSendOdd", 0), &written), "");
  EXPECT_TRUE(written);
  const TTrainData& t = sim.State.Trains[i];
  EXPECT_EQ(t.REQUEST_TYPE, 3);
  EXPECT_EQ(t.REQUEST_LP_CODE, sim.AreaData.Puts[kBerezovka].Code);
  EXPECT_EQ(t.REQUEST_PERFORMABLE, 1);
  EXPECT_EQ(t.REQUEST_TIME, sim.State.ClockTime);
  EXPECT_EQ(TaskListText(sim, slots),
            "Отправить нечётный на " + StationNamePart(sim.AreaData, 6, 4) + " с пути I");
}

// Train 803 stands on track I of Заречье. The dispatcher orders its departure in the dialog
// and gives the commit; when the train is due the station sets the route: the task is done.
TEST(TaskOrderTest, AnOrderedDepartureIsCarriedOutByTheStation) {
  ShippedDistrict demo(1);
  Simulation& sim = demo.Sim;
  demo.SetClock(1211);
  const int i = CreateTimetableTrain(sim, 803);
  TTrainData& t = sim.State.Trains[i];
  int throat = -1, dir = t.HEAD.DIR;
  ASSERT_TRUE(ThroatOfNextStop(sim, throat, dir, kZarechye, i));
  ASSERT_EQ(throat, kZarechyeOdd);
  t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(dir);
  ASSERT_TRUE(PutOnTrack(sim, i, kZarechye, 0));
  ReleaseMadeUp(sim, i);

  const TaskThroatSlots slots = ThroatSlotsOf(sim.AreaData, kZarechye);
  bool written = false;
  EXPECT_EQ(OrderThroatTask(sim, slots, Choose("rbSendOdd", 0), &written), "");
  ASSERT_TRUE(written);
  EXPECT_EQ(sim.State.Trains[i].REQUEST_TYPE, 3);
  const int chain = FindBestRoute(sim.AreaData, kZarechye, TrackSection(sim, kZarechye, 0),
                                  sim.AreaData.GorlStanzs[kZarechyeOdd].EntrySection);
  // The district's own plans sit out the steps: train 803 is the only one. The dispatcher
  // keeps the departure commit given (it lapses after 3 minutes).
  sim.AreaData.CreationPlans.clear();
  for (int n = 0; n < 20 * 120 && sim.State.Gorls[kZarechyeOdd].TASKED != 0; ++n) {
    if (sim.State.DepartCommits[kZarechye].ODD == 0) ToggleDepartCommit(sim, kZarechye, 1);
    demo.Steps(1);
  }
  EXPECT_EQ(sim.State.Gorls[kZarechyeOdd].TASKED, 0);
  EXPECT_TRUE(ChainIsPending(sim, kZarechye, chain) || ChainIsSet(sim, kZarechye, chain));
  EXPECT_EQ(TaskListText(sim, slots), "");
}

TEST(TaskOrderTest, NothingIsOrderedWithoutDeedOrTrack) {
  ShippedDistrict demo(1);
  const TaskThroatSlots slots = ThroatSlotsOf(demo.Sim.AreaData, kBerezovka);
  bool written = true;
  EXPECT_EQ(OrderThroatTask(demo.Sim, slots, Choose("rbSendOdd", -1), &written), "");
  EXPECT_FALSE(written);
  EXPECT_EQ(OrderThroatTask(demo.Sim, slots, TaskChoice{}, &written), "");
  EXPECT_FALSE(written);
}

}  // namespace
}  // namespace traklin::test
