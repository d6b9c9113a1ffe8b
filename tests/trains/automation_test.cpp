// Station automation and throat tasks on the demo district, and the throat queries on small
// lines: approaching trains, route conflicts.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "state/interlocking.h"
#include "trains/harness.h"
#include "trains/shipped_district.h"
#include "trains/stops.h"
#include "trains/throat_automation.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

// The demo line (district 1), left to right: Заречье (asks) - Берёзовка (acts by itself and
// sends without asking) - Сосновка (controlled) - Озёрная - Дубки - Кедровая (the direction
// parity flips where the line enters it). Throats: 0 Заречье right; 1 and 2 Берёзовка left
// and right; 9 Кедровая left. Every single-line throat needs a departure commit (side 0).
constexpr int kZarechyeRight = 0, kBerezovkaLeft = 1, kBerezovkaRight = 2, kKedrovaya = 9;

/// A task as it was written, or as it ended.
struct TaskEvent {
  int Throat;
  bool Send, Transit, Active;
  bool operator==(const TaskEvent&) const = default;
};

/// Drives the demo district step by step and records what happened to the throat tasks. As
/// a dispatcher it gives a station that asks for it the departure commit its send task waits
/// for, when Commits is on.
struct DemoRun {
  ShippedDistrict Demo;
  Simulation& Sim = Demo.Sim;
  std::vector<TaskEvent> Tasks;
  bool Commits = true;

  explicit DemoRun(unsigned seed = 3) : Demo(1, seed) {
    Sim.Settings.NotifiesFromControlled = Sim.Settings.NotifiesFromPosts = true;
  }

  /// Puts the timetable train of plan `number` out at LP `at` (its first LP when empty), its
  /// timetable taken from that LP's stop, on the first track that suits and holds it and
  /// leads to the throat it leaves through; released at once.
  int PutOut(int number, const std::string& at = "") {
    const TAreaData& area = Sim.AreaData;
    const int i = CreateTimetableTrain(Sim, number);
    if (!at.empty()) {
      const int code = area.Puts[Demo.LP(at)].Code;
      TTrainData& t = Sim.State.Trains[i];
      const TGraphTrainData* entry = ScheduleEntry(Sim, i);
      for (int k = 0; k < static_cast<int>(entry->Stops.size()); ++k)
        if (entry->Stops[k].LPCode == code) t.SCHEDULE_IDX = k;
      t.NEXT_LP_CODE = t.STOP_LP_CODE = 0;
      EnterLP(Sim, i, code);
      Sim.State.Trains[i].TAIL.LP_CODE = code;
    }
    TTrainData& t = Sim.State.Trains[i];
    const int lp = FindLPIndex(area, t.HEAD.LP_CODE);
    int throat = -1, dir = t.HEAD.DIR;
    if (!ThroatOfNextStop(Sim, throat, dir, lp, i)) throw std::runtime_error("no way out");
    t.HEAD.DIR = t.TAIL.DIR = static_cast<std::uint8_t>(dir);
    for (int k = 0; k < area.Puts[lp].TrackCount; ++k) {
      const int s = area.Puts[lp].Tracks[k].Section;
      if (TrackSuits(Sim, lp, k, i) && area.SlSects[s].Length >= t.LEN + 2 &&
          FindBestRoute(area, lp, s, area.GorlStanzs[throat].EntrySection) >= 0) {
        EXPECT_TRUE(PutOnTrack(Sim, i, lp, k));
        ReleaseMadeUp(Sim, i);
        return i;
      }
    }
    throw std::runtime_error("no track to put the train out on");
  }

  void Step() {
    const TGorlTasksData before = Sim.State.Gorls;
    // The test's trains are the only ones: the district's own plans sit out the step.
    TCreationPlansData plans;
    std::swap(plans, Sim.AreaData.CreationPlans);
    Demo.Steps(1);
    std::swap(plans, Sim.AreaData.CreationPlans);
    for (int g = 0; g < static_cast<int>(before.size()); ++g) {
      const TGorlTaskData &was = before[g], &is = Sim.State.Gorls[g];
      if ((was.TASKED != 0) != (is.TASKED != 0))
        Tasks.push_back({g, is.SEND, is.TRANSIT, is.TASKED != 0});
    }
    if (!Commits) return;
    for (int g = 0; g < static_cast<int>(Sim.State.Gorls.size()); ++g) {
      const TGorlStanzData& throat = Sim.AreaData.GorlStanzs[g];
      const int lp = FindLPIndex(Sim.AreaData, throat.Code);
      const TDepartCommitData& c = Sim.State.DepartCommits[lp];
      if (Sim.State.Gorls[g].TASKED != 0 && Sim.State.Gorls[g].SEND &&
          LPAsksDispatcher(Sim.AreaData, lp) && (throat.Parity ? c.ODD : c.EVEN) == 0)
        ToggleDepartCommit(Sim, lp, throat.Parity);
    }
  }
  /// Steps until done() holds; false after `minutes`.
  template <class Done>
  bool RunUntil(int minutes, Done done) {
    for (int n = 0; n < minutes * 120; ++n)
      if (Step(), done()) return true;
    return false;
  }
  void SetClock(int hhmm) { Demo.SetClock(hhmm); }
  TTrainData& Train(int i) { return Sim.State.Trains[i]; }
  /// The texts of the duty officer of that station, in order.
  Texts Told(const std::string& station) const {
    Texts texts;
    const std::string caption = "ДСП " + Sim.AreaData.LPMnemNames[Demo.LP(station)];
    for (const RecordingConsole::Box& box : Demo.Console.Infos)
      if (box.Caption == caption) texts.push_back(box.Text);
    return texts;
  }
  Texts Asked() const {
    Texts texts;
    for (const RecordingConsole::Box& box : Demo.Console.Questions)
      texts.push_back(box.Caption + ": " + box.Text);
    return texts;
  }
  bool AnyTaskActive() const {
    for (const TGorlTaskData& task : Sim.State.Gorls)
      if (task.TASKED != 0) return true;
    return false;
  }
};

/// The texts without the minutes a report ends with (" 7 мин.").
Texts WithoutTimes(Texts texts) {
  for (std::string& text : texts)
    if (const auto at = text.rfind(" в "); at != std::string::npos) text.erase(at);
  return texts;
}

// Train 803 leaves Заречье, which asks before it sends; Берёзовка acts by itself: it takes the
// train in as soon as it approaches, orders its way on at once (a transit, since the train
// stops only a minute), gives itself the departure commit and never asks.
TEST(StationAutomation, SelfActingStationTakesAnApproachingTrainInAndSendsItOn) {
  DemoRun run;
  run.SetClock(1155);
  const int i = run.PutOut(803);
  ASSERT_TRUE(run.RunUntil(40, [&] { return run.Train(i).HEAD.PEREGON_IDX == 1; }));
  EXPECT_EQ(WithoutTimes(run.Told("Берёзовка")),
            (Texts{"Принимается поезд № 803", "Поезд № 803 прибыл", "Поезд № 803 отправился"}));
  EXPECT_EQ(run.Asked(),
            Texts{"ДСП ЗАР: Поезд № 803 к отправлению готов. \r\nОтправить с I пути?"});
  // Заречье's send; Берёзовка's receive and the transit's send, written in one step and
  // finished once their routes were set.
  const std::vector<TaskEvent> tasks = {
      {kZarechyeRight, true, false, true},  {kZarechyeRight, true, false, false},
      {kBerezovkaLeft, false, true, true},  {kBerezovkaRight, true, false, true},
      {kBerezovkaLeft, false, true, false}, {kBerezovkaRight, true, false, false}};
  EXPECT_EQ(run.Tasks, tasks);
  // The train stopped on the track its receive task chose, and left on the route set for it.
  EXPECT_EQ(run.Train(i).STOP_ADVICE_LP_CODE, run.Sim.AreaData.Puts[run.Demo.LP("Берёзовка")].Code);
  EXPECT_FALSE(run.AnyTaskActive());
  EXPECT_EQ(run.Demo.Faults(), Texts{});
}

// Заречье asks before it sends: declined, it asks again only after the repeat pause; the
// send task through its throat (side 0) then waits for the dispatcher's departure commit and
// consumes it when it orders the route; the commit lamp goes dark.
TEST(StationAutomation, AskingStationAsksBeforeItSendsAndTheSendWaitsForTheCommit) {
  DemoRun run;
  run.Commits = false;
  run.Demo.Console.DefaultAnswer = false;
  run.SetClock(1155);
  const int i = run.PutOut(803);
  const int lp = run.Demo.LP("Заречье");
  const int chain = FindBestRoute(run.Sim.AreaData, lp, run.Train(i).HEAD.SECT_IDX,
                                  run.Sim.AreaData.GorlStanzs[kZarechyeRight].EntrySection);
  ASSERT_GE(chain, 0);
  const Texts question = {"ДСП ЗАР: Поезд № 803 к отправлению готов. \r\nОтправить с I пути?"};
  // Nothing before the train is due within 5 minutes (it leaves at 12:15).
  ASSERT_TRUE(run.RunUntil(20, [&] { return !run.Asked().empty(); }));
  EXPECT_EQ(DecodeTime(run.Sim.State.ClockTime).Minute, 10);
  EXPECT_EQ(run.Asked(), question);
  run.RunUntil(2, [] { return false; });
  EXPECT_EQ(run.Asked(), question) << "asked again within the repeat pause";
  EXPECT_TRUE(run.Tasks.empty());

  run.Demo.Console.DefaultAnswer = true;
  ASSERT_TRUE(run.RunUntil(10, [&] { return run.AnyTaskActive(); }));
  EXPECT_EQ(run.Asked().size(), 2u);
  EXPECT_EQ(run.Tasks, (std::vector<TaskEvent>{{kZarechyeRight, true, false, true}}));
  // The station asks for the commit and waits.
  ASSERT_TRUE(run.RunUntil(3, [&] { return !run.Told("Заречье").empty(); }));
  EXPECT_EQ(run.Told("Заречье"), Texts{"Дайте разрешение на отправление поезду № 803"});
  run.RunUntil(1, [] { return false; });
  EXPECT_FALSE(ChainIsPending(run.Sim, lp, chain) || ChainIsSet(run.Sim, lp, chain));

  ToggleDepartCommit(run.Sim, lp, 1);
  const int lamp = run.Sim.AreaData.GraphFragms[lp].DepartCommitLamp[1];
  ASSERT_GT(lamp, 0);
  EXPECT_TRUE(run.Sim.State.Lamps[lamp].YELLOW);
  run.Step();
  EXPECT_TRUE(ChainIsPending(run.Sim, lp, chain));
  EXPECT_EQ(run.Sim.State.DepartCommits[lp].ODD, 0);
  EXPECT_FALSE(run.Sim.State.Lamps[lamp].YELLOW);
  ASSERT_TRUE(run.RunUntil(10, [&] { return run.Train(i).HEAD.PEREGON_IDX == 0; }));
  EXPECT_FALSE(run.AnyTaskActive());
  EXPECT_EQ(run.Demo.Faults(), Texts{});
}

// Freight train 2001 does not stop at Берёзовка: its receive task and the send task of the
// transit are written together; the send half waits until the receive half has ordered its
// route, and the train runs through on both routes.
TEST(StationAutomation, TransitRunsThroughOnRoutesOrderedOneAfterTheOther) {
  DemoRun run;
  run.SetClock(510);
  const int i = run.PutOut(2001);
  const int lp = run.Demo.LP("Берёзовка");
  const TAreaData& area = run.Sim.AreaData;
  int in = -1, out = -1;
  ASSERT_TRUE(run.RunUntil(30, [&] { return run.Sim.State.Gorls[kBerezovkaLeft].TASKED != 0; }));
  const int track = run.Sim.State.Gorls[kBerezovkaLeft].TRACK;
  const int s = area.Puts[lp].Tracks[track].Section;
  in = FindBestRoute(area, lp, area.GorlStanzs[kBerezovkaLeft].EntrySection, s);
  out = FindBestRoute(area, lp, s, area.GorlStanzs[kBerezovkaRight].EntrySection);
  // In this step the receive task has ordered its way in and released the send half.
  EXPECT_TRUE(run.Sim.State.Gorls[kBerezovkaLeft].TRANSIT);
  EXPECT_EQ(std::tuple(run.Sim.State.Gorls[kBerezovkaRight].TASKED != 0,
                       run.Sim.State.Gorls[kBerezovkaRight].TRANSIT,
                       run.Sim.State.Gorls[kBerezovkaRight].TRACK),
            std::tuple(true, false, track));
  EXPECT_TRUE(ChainIsPending(run.Sim, lp, in));
  EXPECT_FALSE(ChainIsPending(run.Sim, lp, out));
  ASSERT_TRUE(run.RunUntil(5, [&] { return ChainIsPending(run.Sim, lp, out); }));
  ASSERT_TRUE(run.RunUntil(30, [&] { return run.Train(i).HEAD.PEREGON_IDX == 1; }));
  EXPECT_EQ(WithoutTimes(run.Told("Берёзовка")),
            (Texts{"Принимается поезд № 2001", "Поезд № 2001 проследовал"}));
  EXPECT_FALSE(run.AnyTaskActive());
  EXPECT_EQ(run.Demo.Faults(), Texts{});
}

// Кедровая, made a station that acts by itself: it sends train 802 out over the parity flip
// (asking first, since the train ends at a station that asks) and takes train 801 in over it
// from Дубки, where it ends and is disbanded.
TEST(StationAutomation, StationBeyondAParityFlipSendsAndReceivesOverTheFlip) {
  {
    DemoRun run;
    run.Sim.AreaData.Puts[run.Demo.LP("Кедровая")].CodeFromStation = 0;
    run.SetClock(720);
    const int i = run.PutOut(802);
    ASSERT_TRUE(run.RunUntil(30, [&] { return run.Train(i).HEAD.PEREGON_IDX == 5; }));
    // Inside the flip station the train runs odd, so its directed name is 801.
    EXPECT_EQ(run.Asked(), Texts{"ДСП КЕД: Разрешается отправление поезда № 801?"});
    EXPECT_EQ(run.Tasks, (std::vector<TaskEvent>{{kKedrovaya, true, false, true},
                                                 {kKedrovaya, true, false, false}}));
    EXPECT_EQ(run.Train(i).HEAD.DIR, 0);
    EXPECT_EQ(run.Demo.Faults(), Texts{});
  }
  {
    DemoRun run;
    run.Sim.AreaData.Puts[run.Demo.LP("Кедровая")].CodeFromStation = 0;
    run.SetClock(630);  // the train stands at Дубки from 6:39 to 6:41
    run.PutOut(801, "Дубки");
    ASSERT_TRUE(run.RunUntil(40, [&] { return run.Sim.State.Trains.empty(); }));
    // Received while it still runs odd on the peregon; inside the station it runs even.
    EXPECT_EQ(WithoutTimes(run.Told("Кедровая")),
              (Texts{"Принимается поезд № 801", "Поезд № 802 прибыл"}));
    // Дубки's send, then Кедровая's receive (the train ends there: no transit).
    ASSERT_GE(run.Tasks.size(), 3u);
    EXPECT_EQ(run.Tasks[2], (TaskEvent{kKedrovaya, false, false, true}));
    EXPECT_FALSE(run.AnyTaskActive());
    EXPECT_EQ(run.Demo.Faults(), Texts{});
  }
}

// The dispatcher has told Берёзовка to receive train 803 on track 3, made a freight track
// here: the station asks whether to take the passenger train there anyway; declined, the
// task is cancelled (the task dialog hears of it) and the station takes the train in on its
// own.
// ---------------------------------------------------------------------------
// A dependant train and the tracks that only receive

// clang-format off
/// Two self-acting stations on a single line. 6001 runs from ЛЕС to ГОР, where 6002 is formed
/// from it and runs back:
///
///   ЛЕС (km 0)                                ГОР (km 6)
///       I ---.                            .--- I
///       3 ---+--- 6 km, 2 blocks ---------+--- 2
///                                         `--- ... (`tracks`)
///
/// ЛЕС's track I takes the trains made up there, 3 those that end there; `tracks` are ГОР's.
// clang-format on
struct DependantLine {
  ShippedDistrict Line;
  Simulation& Sim = Line.Sim;
  std::vector<std::string> Removed;  ///< "number station" of each train removed

  DependantLine(const std::string& tracks, unsigned seed)
      : Line(R"({"number": 42, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
          "outside_right": ["В1", "В2", "В3", "В4", "В5"],
          "stations": [
            {"name": "Лесная", "mnem": "ЛЕС", "km": 0, "self_acting": true,
             "tracks": [[1001, 3, 2], [3, 3, 3]]},
            {"name": "Горная", "mnem": "ГОР", "km": 6, "self_acting": true,
             "tracks": )" +
                 tracks + R"(}],
          "peregons": [{"length": 6000, "blocks": 2}],
          "trains": [
            {"number": 6001, "from": "Лесная", "to": "Горная", "depart": "10:00",
             "final_dwell": 15},
            {"number": 6002, "from": "Горная", "to": "Лесная", "depart": "10:25",
             "plan": {"parent": 6001, "lead": 15}}]})",
             seed) {
    Sim.OnTrainRemoving = [this](int i) {
      const TTrainData& t = Sim.State.Trains[i];
      Removed.push_back(std::to_string(t.NUMBER) + " " +
                        Sim.AreaData.Stations.at(t.HEAD.LP_CODE).Name);
    };
    Line.SetClock(940);
  }
  /// The track of ГОР the train stands on, named as the panel names it; empty when none.
  std::string TrackAtGor(int number) const {
    for (int i = 0; i < static_cast<int>(Sim.State.Trains.size()); ++i) {
      const TTrainData& t = Sim.State.Trains[i];
      int lp = -1;
      const int k = t.NUMBER == number && !IsMoving(Sim, i)
                        ? FindTrackOfSection(Sim.AreaData, lp, t.HEAD.SECT_IDX, false)
                        : -1;
      if (k >= 0 && lp == Line.LP("Горная"))
        return FormatTrackName(Sim.AreaData.Puts[lp].Tracks[k].Number);
    }
    return "";
  }
  /// Steps until done() holds; false when `minutes` pass first.
  template <class Done>
  bool RunUntil(int minutes, Done done) {
    for (int n = 0; n < minutes * 120; ++n)
      if (Line.Steps(1), done()) return true;
    return false;
  }
};

TEST(DependantTrainTracks, AParentIsTakenInOnATrackThatLetsItsDependantLeave) {
  // ГОР's tracks I and 2 only receive; 3 takes any train that was not made up there.
  for (unsigned seed = 1; seed <= 6; ++seed) {
    DependantLine line("[[1001, 3, 3], [2, 3, 3], [3, 3, 1]]", seed);
    std::string track;
    ASSERT_TRUE(line.RunUntil(40, [&] { return !(track = line.TrackAtGor(6001)).empty(); }))
        << "seed " << seed;
    EXPECT_EQ(track, "3") << "seed " << seed;
    ASSERT_TRUE(line.RunUntil(60, [&] { return line.Removed.size() == 2; })) << "seed " << seed;
    EXPECT_EQ(line.Removed, (std::vector<std::string>{"6001 Горная", "6002 Лесная"}));
    EXPECT_EQ(line.Line.Faults(), Texts{});
  }
}

TEST(DependantTrainTracks, TheDistrictsChoiceForAParentIsATrackThatLetsItsDependantLeave) {
  DependantLine line("[[1001, 3, 3], [2, 3, 3], [3, 3, 1]]", 1);
  ASSERT_TRUE(line.RunUntil(10, [&] { return !line.Sim.State.Trains.empty(); }));
  const TAreaData& area = line.Sim.AreaData;
  const int gor = line.Line.LP("Горная");
  int g = 0;
  while (area.GorlStanzs[g].Code != area.Puts[gor].Code) ++g;
  // Main track I is reached straight, so it is the best way in for any other train.
  EXPECT_EQ(ChooseReceptionTrack(line.Sim, gor, g, 0), 2);
  line.Sim.State.Trains[0].NUMBER = 6005;
  EXPECT_EQ(ChooseReceptionTrack(line.Sim, gor, g, 0), 0);
}

TEST(DependantTrainTracks, ADependantFormedOnATrackThatOnlyReceivesLeavesFromIt) {
  // ГОР has no other tracks: 6001 comes in on one of them, and 6002 formed there goes back.
  DependantLine line("[[1001, 3, 3], [2, 3, 3]]", 1);
  std::string track;
  ASSERT_TRUE(line.RunUntil(40, [&] { return !(track = line.TrackAtGor(6001)).empty(); }));
  ASSERT_TRUE(line.RunUntil(30, [&] { return line.TrackAtGor(6002) == track; }));
  ASSERT_TRUE(line.RunUntil(60, [&] { return line.Removed.size() == 2; }))
      << "6002 still stands on " << line.TrackAtGor(6002) << " at ГОР";
  EXPECT_EQ(line.Removed, (std::vector<std::string>{"6001 Горная", "6002 Лесная"}));
  EXPECT_EQ(line.Line.Faults(), Texts{});
}

TEST(ThroatTasks, ReceiveOnAnUnsuitableTrackIsAskedAndCancelledWhenDeclined) {
  DemoRun run;
  int changes = 0;
  run.Sim.OnTasksChanged = [&] { ++changes; };
  run.SetClock(1155);
  const int i = run.PutOut(803);
  run.Sim.AreaData.Puts[run.Demo.LP("Берёзовка")].Tracks[1].Kind = 1;
  run.Sim.State.Gorls[kBerezovkaLeft] = {run.Sim.State.ClockTime + 1.0 / 24, false, false, 1, ""};
  ASSERT_TRUE(run.RunUntil(30, [&] { return run.Train(i).HEAD.PEREGON_IDX == 0; }));
  run.Demo.Console.DefaultAnswer = false;
  ASSERT_TRUE(run.RunUntil(20, [&] { return run.Asked().size() == 2; }));
  EXPECT_EQ(run.Asked().back(),
            "ДСП БЕР: Путь 3 не подходит для поезда № 803. Все равно принять поезд?");
  EXPECT_EQ(run.Sim.State.Gorls[kBerezovkaLeft].TASKED, 0);
  EXPECT_EQ(changes, 2);  // Заречье's send finished, Берёзовка's receive cancelled
  ASSERT_TRUE(run.RunUntil(1, [&] { return run.Sim.State.Gorls[kBerezovkaLeft].TASKED != 0; }));
  EXPECT_NE(run.Sim.State.Gorls[kBerezovkaLeft].TRACK, 1);
  EXPECT_EQ(run.Told("Берёзовка"), Texts{"Принимается поезд № 803"});
}

// A send task is done once its chain is set, even when its train has already started (as it
// may on the first route of a longer chain): it must not hold the throat for good.
TEST(ThroatTasks, SendTaskIsDoneWhenItsChainIsSetWithoutItsTrain) {
  DemoRun run;
  int changes = 0;
  run.Sim.OnTasksChanged = [&] { ++changes; };
  const TAreaData& area = run.Sim.AreaData;
  const int lp = run.Demo.LP("Заречье");
  const int chain = FindBestRoute(area, lp, area.Puts[lp].Tracks[0].Section,
                                  area.GorlStanzs[kZarechyeRight].EntrySection);
  ASSERT_GE(chain, 0);
  run.Sim.State.Gorls[kZarechyeRight] = {run.Sim.State.ClockTime + 1.0 / 24, true, false, 0, ""};
  OrderChain(run.Sim, lp, chain);
  ASSERT_TRUE(run.RunUntil(1, [&] { return ChainIsSet(run.Sim, lp, chain); }));
  EXPECT_EQ(std::tuple(run.Sim.State.Gorls[kZarechyeRight].TASKED, changes), std::tuple(0.0, 1));
}

TEST(ThroatTasks, CancellingOneHalfOfATransitCancelsTheOther) {
  for (const int cancelled : {0, 1}) {
    TestLine line(std::string(kLine) + "throat 2 0 1 2 9\n");
    int changes = 0;
    line.Sim.OnTasksChanged = [&] { ++changes; };
    TGorlTasksData& tasks = line.Sim.State.Gorls;
    tasks[0] = {line.Sim.State.ClockTime, false, true, 0, ""};
    tasks[1] = {line.Sim.State.ClockTime, true, true, 0, ""};
    CancelTask(line.Sim, cancelled);
    EXPECT_EQ(std::tuple(tasks[0].TASKED, tasks[1].TASKED, changes), std::tuple(0.0, 0.0, 1));
    // A task that is no transit is cancelled alone.
    tasks[0] = {line.Sim.State.ClockTime, false, false, 0, ""};
    tasks[1] = {line.Sim.State.ClockTime, true, false, 0, ""};
    CancelTask(line.Sim, cancelled);
    EXPECT_EQ(tasks[cancelled ^ 1].TASKED, line.Sim.State.ClockTime);
  }
}

// ---------------------------------------------------------------------------
// Queries on the train tests' line: B's throat (entry section 6) takes even trains in from A;
// a second throat, added here, takes odd trains in from C at entry section 9, with the 4000 m
// section 11 beyond it.

TEST(ThroatQueries, ApproachingTrainCountsOnlyWithin4000Metres) {
  struct Case {
    int Section, Dir;
    double Pos;
    bool Counts;
  };
  // Entry 6 (1500 m), section 5 beyond it made 3000 m: 1500 + 3000 - pos from section 5.
  // Entry 9 (300 m), section 11 (4000 m) beyond it: 300 + pos.
  const Case cases[] = {{6, 0, 10, true},     {5, 0, 500, true},   {5, 0, 499, false},
                        {4, 0, 1400, false},  {9, 1, 290, true},   {11, 1, 3700, true},
                        {11, 1, 3701, false}, {5, 1, 2000, false}, {6, 1, 100, false}};
  for (const Case& c : cases) {
    TestLine line(std::string(kLine) + "throat 2 0 1 2 9\n");
    line.Sim.AreaData.SlSects[5].Length = 3000;
    line.Sim.AreaData.SlSects[11].Length = 4000;
    const int i = line.Add({.Number = c.Dir == 0 ? 2 : 3, .Dir = c.Dir});
    line.Drive(i, c.Section, c.Pos, 10);
    const bool even = c.Section == 6 || c.Section == 5 || c.Section == 4;
    EXPECT_EQ(ApproachingTrain(line.Sim, even ? 6 : 9, even ? 0 : 1), c.Counts ? i : -1)
        << c.Section << " at " << c.Pos;
  }
  // An occupancy that names a train beyond the train list is no train.
  TestLine line;
  line.Sim.State.Sects[6].TRN_EVEN = 3;
  EXPECT_EQ(ApproachingTrain(line.Sim, 6, 0), -1);
  EXPECT_TRUE(line.Console.Notes.empty());
}

TEST(ThroatQueries, RouteConflictsComparesRouteIndexesHalfByHalf) {
  // B's routes: 0 = 6-7-8 even, 1 = 8-9 even, and here 2 = 8-7-6 odd.
  struct Lock {
    int Section, Half, LP, Route;
  };
  struct Case {
    const char* What;
    std::vector<Lock> Locks;
    bool Conflicts;
  };
  const int B = 1, A = 0;
  const Case cases[] = {
      {"nothing locked", {}, false},
      {"own halves", {{6, 0, B, 0}, {7, 0, B, 0}, {7, 1, B, 0}, {8, 1, B, 0}}, false},
      {"first section, own half by another route", {{6, 0, B, 1}}, true},
      {"first section, other half by an opposing route", {{6, 1, B, 2}}, true},
      {"first section, other half by a route the same way", {{6, 1, B, 1}}, false},
      {"middle section, either half", {{7, 1, B, 2}}, true},
      {"middle section, another LP's route of the same index", {{7, 0, A, 0}}, false},
      {"last section, its half by another route", {{8, 1, B, 2}}, true},
      {"last section, other half by an opposing route", {{8, 0, B, 2}}, true},
      {"last section, other half by a route the same way", {{8, 0, B, 1}}, false},
  };
  for (const Case& c : cases) {
    TestLine line(std::string(kLine) + "route 2 1 8 7 6\n");
    for (const Lock& l : c.Locks) {
      TSectionSchuntData& x = line.Sim.State.Sects[l.Section];
      (l.Half ? x.ROUTE_ODD : x.ROUTE_EVEN) = l.Route;
      (l.Half ? x.LP_ODD : x.LP_EVEN) = l.LP;
    }
    EXPECT_EQ(RouteConflicts(line.Sim, B, 0), c.Conflicts) << c.What;
  }
}

// Train 2 runs A - B - C and ends at D here; B's throat towards C decides by the train's
// remaining stops (code range 0..0) or by a code range of its own.
TEST(ThroatQueries, LineAheadIsFreeUnlessAnAskingStationLiesAhead) {
  struct Case {
    const char* What;
    std::vector<int> Asking;  ///< LP codes that took their code from a station
    int Low, High;
    bool Free;
  };
  const Case cases[] = {
      {"no station asks", {}, 0, 0, true},
      {"the train ends at one that asks", {4}, 1, 1, false},
      {"a remaining stop asks", {2}, 0, 0, false},
      {"a stop behind the train asks", {1}, 0, 0, true},
      {"one in the throat's range asks", {1}, 1, 1, false},
      {"one outside the throat's range asks", {2}, 1, 1, true},
  };
  for (const Case& c : cases) {
    TestLine line;
    const int i = line.Add({.Number = 2, .Arrival = 4});
    line.Train(i).SCHEDULE_IDX = 1;
    for (int code : c.Asking) line.Sim.AreaData.Puts[line.LPIndex(code)].CodeFromStation = 1;
    line.Sim.AreaData.GorlStanzs[0].CodeLow = c.Low;
    line.Sim.AreaData.GorlStanzs[0].CodeHigh = c.High;
    EXPECT_EQ(LineAheadFree(line.Sim, 0, i), c.Free) << c.What;
  }
}

// B's track section 8, left in the even direction: a train standing on it, one on the set
// route 6-7-8 leading into it, one approaching the route's start; the walk back over set
// routes ends after as many routes as B has, even where two routes lead into each other.
TEST(ThroatQueries, TrainForTrackWalksBackOverSetRoutesOnly) {
  struct Case {
    const char* What;
    int Section;
    double Pos, Speed;
    bool Route, Loop;
    bool Found, Standing;
  };
  const Case cases[] = {
      {"standing on the track", 8, 900, 0, false, false, true, true},
      {"moving on the track, no route", 8, 900, 10, false, false, false, false},
      {"on the set route", 7, 200, 10, true, false, true, false},
      {"on the route, not set", 7, 200, 10, false, false, false, false},
      {"approaching the route's start", 5, 1000, 10, true, false, true, false},
      {"two sections before the route's start", 4, 100, 10, true, false, false, false},
      {"routes leading into each other", 4, 100, 10, true, true, false, false},
  };
  for (const Case& c : cases) {
    TestLine line(std::string(kLine) + "route 2 0 8 7 6\n");
    const int i = line.Add({});
    line.Drive(i, c.Section, c.Pos, c.Speed, c.Section < 7 ? 0 : -1);
    if (c.Loop) line.SetRoute(2, 2);
    if (c.Route) line.SetRoute(2, 0);
    bool standing = false;
    EXPECT_EQ(TrainForTrack(line.Sim, line.LPIndex(2), 8, 0, &standing), c.Found ? i : -1)
        << c.What;
    EXPECT_EQ(standing, c.Standing) << c.What;
  }
}

}  // namespace
}  // namespace traklin::test
