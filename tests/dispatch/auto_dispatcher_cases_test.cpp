// The automatic dispatcher on small lines: a crossing, an overtaking, a change of locomotive,
// a dependant train, a commit that must wait, priority and holds, each with the exact
// operations it issued; a refused departure asked again once the line is clear.
//
// The expected operations are what a run with seed 1 gives. When a change of the dispatcher
// alters them for the better, run the suite, check the new sequence in the failure message
// against the case's story, and copy it in.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dispatch/auto_line.h"

namespace traklin::test {
namespace {

using Ops = std::vector<std::string>;

// clang-format off
/// Three stations on a single line, odd trains to the right, every station automated:
///
///   ЛЕС (asks, km 0)           middle (km 7)               ГОР (asks, km 14)
///       I ---.                  .--- 3 ---.                  .--- I
///       3 ---+--- 6 km, ---------+--- I ---+--- 6 km, -------+--- 2
///       2 ---+    2 blocks       `--- 5 ---'    2 blocks     +--- 4
///       4 ---'                                               `--- 6
///
/// Tracks I and 3 of ЛЕС and I of ГОР take the trains formed there, 2 and 4 the trains that
/// end there, 6 of ГОР any other. `middle` gives the middle station's members (name, kind,
/// tracks: a loop 3 and a second loop 5, or fewer); without it ЛЕС and ГОР are joined by one
/// line. `trains` is the timetable, written as in line.json.
// clang-format on
std::string ThreeStations(const std::string& middle, const std::string& trains) {
  const std::string peregon = R"({"length": 6000, "blocks": 2})";
  return R"({"number": 41, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0,
       "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3], [4, 3, 3]]},)" +
         (middle.empty() ? "" : R"({"km": 7, )" + middle + "},") + R"(
      {"name": "Горная", "mnem": "ГОР", "km": 14,
       "tracks": [[1001, 3, 2], [2, 3, 3], [4, 3, 3], [6, 3, 1]]}
    ],
    "peregons": [)" +
         peregon + (middle.empty() ? "" : ", " + peregon) + R"(],
    "trains": [)" +
         trains + "]}";
}

/// A passing loop without duty officer: main track I and loop 3.
const std::string kLoop = R"("name": "Разъезд", "mnem": "РАЗ", "controlled": true,
  "tracks": [[1001, 3, 1], [3, 3, 1]])";
/// The same with a second loop, 5.
const std::string kTwoLoops = R"("name": "Разъезд", "mnem": "РАЗ", "controlled": true,
  "tracks": [[1001, 3, 1], [3, 3, 1], [5, 3, 1]])";
/// A station whose duty officer asks the dispatcher: tracks I, 3 and 5.
const std::string kAsking = R"("name": "Берёзово", "mnem": "БЕР",
  "tracks": [[1001, 3, 1], [3, 3, 1], [5, 3, 1]])";

/// One operation a line, for failure messages.
std::string Listing(const Ops& ops) {
  std::string text = "\n";
  for (const std::string& op : ops) text += "  \"" + op + "\",\n";
  return text;
}

/// Nothing unsafe happened: no fault told to the dispatcher, no route or commit towards a
/// train coming the other way.
void ExpectSafe(const AutoLine& line) {
  EXPECT_EQ(line.Line.Faults(), Texts{});
  EXPECT_EQ(line.Against, Ops{});
}

/// Runs the line on for `minutes`, then checks that nothing unsafe happened.
void RunSafely(AutoLine& line, int minutes) {
  line.RunFor(minutes);
  ExpectSafe(line);
}

/// The dispatcher issued exactly these operations; the actual ones are listed when not.
void ExpectOperations(const AutoLine& line, const Ops& expected) {
  EXPECT_EQ(line.Operations, expected) << Listing(line.Operations);
}

/// 801 from ЛЕС to ГОР and 802 back, both at 10:00.
const std::string kTowardsEachOther = R"(
  {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
  {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:00"})";
/// Freight 2001 from ЛЕС to ГОР at 10:00, changing its locomotive at РАЗ; passenger 801 three
/// minutes behind it.
const std::string kFreightThenPassenger = R"(
  {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00",
   "change": {"Разъезд": 5}},
  {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:03"})";

TEST(AutoDispatcherCasesTest, CrossingOnASingleLineOneTrainWaitsInTheLoopTheOtherPasses) {
  AutoLine line(ThreeStations(kTwoLoops, kTowardsEachOther), 930);
  RunSafely(line, 60);
  // Both ends let their train go at once; 802 comes first and is taken into loop 5, 801 runs
  // through on loop 3, and only once it has cleared the line to ЛЕС is 802 sent.
  ExpectOperations(line, {
                             "09:56:02.0 ЛЕС commit odd (801)",
                             "09:56:06.0 ГОР commit even (802)",
                             "10:02:11.0 РАЗ route ГОР -> 5 (802)",
                             "10:05:21.0 РАЗ route ЛЕС -> 3 (801)",
                             "10:05:51.0 РАЗ route 3 -> ГОР (801)",
                             "10:08:35.0 РАЗ route 5 -> ЛЕС (802)",
                             "10:10:40.0 ГОР receive РАЗ -> 6 (801)",
                             "10:11:22.0 ЛЕС receive РАЗ -> 4 (802)",
                         });
  EXPECT_EQ(line.Visits, (Ops{"801 ЛЕС", "802 ГОР", "802 РАЗ", "801 РАЗ", "801 ГОР", "802 ЛЕС"}));
  EXPECT_EQ(line.Removed, (Ops{"801 ГОР", "802 ЛЕС"}));
}

// A loop with its main track is the plain place for a crossing: both ends let their train go,
// 802 waits in the loop and 801 runs through.
TEST(AutoDispatcherCasesTest, CrossingAtALoopWithASingleSiding) {
  AutoLine line(ThreeStations(kLoop, kTowardsEachOther), 930);
  RunSafely(line, 60);
  EXPECT_EQ(line.Visits, (Ops{"801 ЛЕС", "802 ГОР", "802 РАЗ", "801 РАЗ", "801 ГОР", "802 ЛЕС"}))
      << Listing(line.Visits);
}

TEST(AutoDispatcherCasesTest, PassengerTrainOvertakesAFreightTrainStandingInALoop) {
  // Freight 2001 leaves ЛЕС first and changes its locomotive at РАЗ; passenger 801, three
  // minutes behind it, is taken in beside it and sent on first. Both end at ГОР.
  AutoLine line(ThreeStations(kTwoLoops, kFreightThenPassenger), 930);
  RunSafely(line, 60);
  // 2001 is taken into loop 5; 801 comes in on loop 3 and is sent on at once, and 2001
  // follows only when 801 has cleared the line.
  ExpectOperations(line, {
                             "09:56:18.0 ЛЕС commit odd (2001)",
                             "10:03:53.0 РАЗ route ЛЕС -> 5 (2001)",
                             "10:05:06.0 ЛЕС commit odd (801)",
                             "10:08:22.0 РАЗ route ЛЕС -> 3 (801)",
                             "10:08:26.0 РАЗ route 3 -> ГОР (801)",
                             "10:15:08.0 ГОР receive РАЗ -> 6 (801)",
                             "10:15:59.0 РАЗ route 5 -> ГОР (2001)",
                             "10:20:05.0 ГОР receive РАЗ -> 4 (2001)",
                         });
  EXPECT_EQ(line.Visits,
            (Ops{"2001 ЛЕС", "801 ЛЕС", "2001 РАЗ", "801 РАЗ", "801 ГОР", "2001 ГОР"}));
}

// Nothing comes the other way, so the passenger train follows the freight train at once and
// passes it at the station of two tracks, where the freight train changes its locomotive.
TEST(AutoDispatcherCasesTest, PassengerTrainOvertakesAFreightTrainAtAStationWithTwoTracks) {
  AutoLine line(ThreeStations(kLoop, kFreightThenPassenger), 930);
  RunSafely(line, 60);
  EXPECT_EQ(line.Visits, (Ops{"2001 ЛЕС", "801 ЛЕС", "2001 РАЗ", "801 РАЗ", "801 ГОР", "2001 ГОР"}))
      << Listing(line.Visits);
}

// The dispatcher keeps a track free at a station beyond the trains heading for it, so that
// trains can cross there; a station with a single track has none to keep, and a lone train
// must still get through it (it used to stand at ЛЕС for good, asking for its commit).
TEST(AutoDispatcherCasesTest, LoneTrainRunsThroughAStationWithASingleTrack) {
  const std::string middles[] = {
      R"("name": "Разъезд", "mnem": "РАЗ", "controlled": true, "tracks": [[1001, 3, 1]])",
      R"("name": "Берёзово", "mnem": "БЕР", "tracks": [[1001, 3, 1]])",
  };
  for (const std::string& middle : middles) {
    AutoLine line(ThreeStations(middle, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"})"),
                  930);
    RunSafely(line, 60);
    EXPECT_EQ(line.Removed, Ops{"801 ГОР"}) << middle;
  }
}

TEST(AutoDispatcherCasesTest, TrainChangingItsLocomotiveIsTakenInAndSentOnAfterItsStop) {
  // 801 changes to locomotive 5 at БЕР and stands there twelve minutes: it is taken in, not
  // passed through, and let out of БЕР only once its stop is nearly over.
  AutoLine line(ThreeStations(kAsking, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00",
       "change": {"Берёзово": 5}})"),
                930);
  // It leaves БЕР behind its new locomotive.
  ASSERT_TRUE(line.RunUntil(60, [&] { return line.Where(801) == "ГОР"; }));
  EXPECT_EQ(line.Sim.State.Trains[line.Train(801)].LOCO_IDX, 5);
  RunSafely(line, 30);
  ExpectOperations(line, {
                             "09:56:09.0 ЛЕС commit odd (801)",
                             "10:02:34.0 БЕР receive ЛЕС -> I (801)",
                             "10:14:47.0 БЕР commit odd (801)",
                             "10:20:52.0 ГОР receive БЕР -> 6 (801)",
                         });
  EXPECT_EQ(line.Removed, (Ops{"801 ГОР"}));
}

TEST(AutoDispatcherCasesTest, DependantTrainIsFormedFromItsParentAndSentBack) {
  // 6001 ends at БЕР; 6002 is formed there from its locomotive and cars and runs back to ЛЕС.
  AutoLine line(ThreeStations(kAsking, R"(
      {"number": 6001, "from": "Лесная", "to": "Берёзово", "depart": "10:00", "final_dwell": 15},
      {"number": 6002, "from": "Берёзово", "to": "Лесная", "depart": "10:25",
       "plan": {"parent": 6001, "lead": 15}})"),
                930);
  RunSafely(line, 80);
  ExpectOperations(line, {
                             "09:56:09.0 ЛЕС commit odd (6001)",
                             "10:02:34.0 БЕР receive ЛЕС -> I (6001)",
                             "10:21:03.0 БЕР commit even (6002)",
                             "10:27:05.0 ЛЕС receive БЕР -> 4 (6002)",
                         });
  EXPECT_EQ(line.Removed, (Ops{"6001 БЕР", "6002 ЛЕС"})) << Listing(line.Removed);
}

/// How many of the questions whether to send train `number` ("Поезд № … к отправлению
/// готов.") the dispatcher answered with `answer`; it answers them itself, and the console is
/// only told.
long DepartureAnswers(const AutoLine& line, int number, bool answer) {
  const std::string text = "Поезд № " + std::to_string(number) + " к отправлению готов.";
  const std::vector<RecordingConsole::Answered>& answers = line.Line.Console.Answers;
  return std::count_if(answers.begin(), answers.end(), [&](const RecordingConsole::Answered& a) {
    return a.Text.starts_with(text) && a.Answer == answer;
  });
}

/// The station's duty officer told the dispatcher `text`.
bool Reported(const AutoLine& line, const std::string& station, const std::string& text) {
  const std::vector<RecordingConsole::Box>& infos = line.Line.Console.Infos;
  return std::any_of(infos.begin(), infos.end(), [&](const RecordingConsole::Box& box) {
    return box.Caption == "ДСП " + station && box.Text == text;
  });
}

TEST(AutoDispatcherCasesTest, TrainWaitsForItsCommitWhileTheLineIsGivenToTheOtherEnd) {
  // ЛЕС and ГОР, one single line between them, both send a train at 10:00 and both ask.
  AutoLine line(ThreeStations("", kTowardsEachOther), 930);
  ASSERT_TRUE(line.RunUntil(60, [&] { return line.Where(801) == "ГОР"; }));
  // 802 was ready before 801 reached ГОР; ГОР may send it, so its question is answered yes
  // (the commit is judged on its own), but no commit for it was given while the line was ЛЕС's.
  EXPECT_GE(DepartureAnswers(line, 802, true), 1);
  EXPECT_EQ(DepartureAnswers(line, 802, false), 0);
  for (const std::string& op : line.Operations)
    EXPECT_EQ(op.find("ГОР commit"), std::string::npos) << op;
  // The dispatcher gives ГОР's throat to 801 as it comes in: a receive task takes the place of
  // 802's send task, which waits for its commit, in one pass (so neither shows among the
  // operations), and ГОР reports the train taken in.
  EXPECT_TRUE(Reported(line, "ГОР", "Принимается поезд № 801"));
  RunSafely(line, 30);
  // Both ask in the same step; ЛЕС, whose throat comes first, gets the line, and ГОР's send
  // task, which could only wait for a commit, is taken back. ГОР asks again while 801 runs and
  // gets its task, which 801's reception takes over; 802 asks once more and has its commit
  // once 801 is in.
  ExpectOperations(line, {
                             "09:56:02.0 ЛЕС commit odd (801)",
                             "09:56:02.0 ГОР cancel send I -> ЛЕС",
                             "10:07:35.0 ГОР commit even (802)",
                             "10:09:51.0 ЛЕС receive ГОР -> 4 (802)",
                         });
  EXPECT_EQ(line.Removed, (Ops{"801 ГОР", "802 ЛЕС"})) << Listing(line.Removed);
}

// A train that may not leave yet because the far end has no track for it keeps its send task:
// it leaves in the very step the track is let go, and the station does not ask again.
TEST(AutoDispatcherCasesTest, TrainWaitingForATrackAtTheFarEndKeepsItsTaskAndLeavesOnceItIsFree) {
  // РАЗ has its main track only, and freight 2001, which leaves ЛЕС before 801, changes its
  // locomotive there: the track is 2001's until 2001 is let go.
  const std::string oneTrack = R"("name": "Разъезд", "mnem": "РАЗ", "controlled": true,
    "tracks": [[1001, 3, 1]])";
  AutoLine line(ThreeStations(oneTrack, kFreightThenPassenger), 930);
  RunSafely(line, 60);
  // 801's commit comes with 2001's way out of РАЗ; its task was never taken back.
  ExpectOperations(line, {
                             "09:56:18.0 ЛЕС commit odd (2001)",
                             "10:03:53.0 РАЗ route ЛЕС -> I (2001)",
                             "10:08:41.0 РАЗ route I -> ГОР (2001)",
                             "10:08:41.0 ЛЕС commit odd (801)",
                             "10:11:52.0 РАЗ route ЛЕС -> I (801)",
                             "10:13:08.0 ГОР receive РАЗ -> 6 (2001)",
                             "10:14:19.0 РАЗ route I -> ГОР (801)",
                             "10:17:36.0 ГОР receive РАЗ -> 4 (801)",
                         });
  EXPECT_EQ(DepartureAnswers(line, 801, true), 1);
  EXPECT_EQ(DepartureAnswers(line, 801, false), 0);
  EXPECT_EQ(line.Visits, (Ops{"2001 ЛЕС", "801 ЛЕС", "2001 РАЗ", "801 РАЗ", "2001 ГОР", "801 ГОР"}))
      << Listing(line.Visits);
}

// The station chose a train that may not leave, while another one there could: the task is
// taken back, and the station sends the other first.
TEST(AutoDispatcherCasesTest, RefusedTrainGivesUpItsTaskToAnotherThatCouldLeave) {
  // 805 ends at РАЗ and stands on its main track; the loop 3 there takes freight trains only.
  // At ЛЕС passenger 801 and freight 2001 are both due: only 2001 finds a track at РАЗ.
  const std::string freightLoop = R"("name": "Разъезд", "mnem": "РАЗ", "controlled": true,
    "tracks": [[1001, 3, 1], [3, 1, 1]])";
  AutoLine line(ThreeStations(freightLoop, R"(
      {"number": 805, "from": "Лесная", "to": "Разъезд", "depart": "09:50", "final_dwell": 20},
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"},
      {"number": 2001, "freight": true, "from": "Лесная", "to": "Горная", "depart": "10:00"})"),
                920);
  RunSafely(line, 80);
  // 801, chosen first, is refused and its task taken back; 2001 goes at once and passes 805
  // on the loop. 801 has its commit once 805 is gone from РАЗ.
  ExpectOperations(line, {
                             "09:46:04.0 ЛЕС commit odd (805)",
                             "09:52:29.0 РАЗ route ЛЕС -> I (805)",
                             "10:04:24.0 ЛЕС cancel send 3 -> РАЗ",
                             "10:05:27.0 ЛЕС commit odd (2001)",
                             "10:09:18.0 РАЗ route ЛЕС -> 3 (2001)",
                             "10:09:21.0 РАЗ route 3 -> ГОР (2001)",
                             "10:16:07.0 ЛЕС commit odd (801)",
                             "10:17:15.0 ГОР receive РАЗ -> 6 (2001)",
                             "10:18:56.0 РАЗ route ЛЕС -> I (801)",
                             "10:18:59.0 РАЗ route I -> ГОР (801)",
                             "10:24:23.0 ГОР receive РАЗ -> 4 (801)",
                         });
  EXPECT_EQ(line.Removed, (Ops{"805 РАЗ", "801 ГОР"})) << Listing(line.Removed);
}

// A station that acts by itself gives a train stopping there its send task as the train comes
// in, and its commit only once the train is nearly due. A train at the other end of the line
// that may not leave meanwhile gives its task back rather than keep it: the two ends' tasks
// would wait for each other.
TEST(AutoDispatcherCasesTest, TrainThatMayNotLeaveGivesUpItsTaskWhileTheFarEndsTaskAwaitsACommit) {
  // ОЗЕ acts by itself and has its main track only. 801 stops there five minutes (10:06 to
  // 10:11): its send task on to ГОР stands from 10:02, its commit from 10:06. 802 is due at
  // ГОР at 10:09; while 801 holds ОЗЕ's track it may not leave.
  const std::string selfActing = R"("name": "Озёрная", "mnem": "ОЗЕ", "self_acting": true,
    "tracks": [[1001, 3, 1]])";
  AutoLine line(ThreeStations(selfActing, R"(
      {"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00",
       "stops": {"Озёрная": 5}},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "10:09"})"),
                930);
  RunSafely(line, 70);
  // 802's first task is taken back. The next one stands once ОЗЕ has let 801 go, and 801's
  // reception at ГОР takes its place in one pass; 802 has its commit once 801 is in.
  ExpectOperations(line, {
                             "09:56:08.0 ЛЕС commit odd (801)",
                             "10:05:02.0 ГОР cancel send I -> ОЗЕ",
                             "10:17:58.0 ГОР commit even (802)",
                             "10:24:54.0 ЛЕС receive ОЗЕ -> 4 (802)",
                         });
  EXPECT_EQ(line.Visits, (Ops{"801 ЛЕС", "802 ГОР", "801 ОЗЕ", "801 ГОР", "802 ОЗЕ", "802 ЛЕС"}))
      << Listing(line.Visits);
  EXPECT_EQ(line.Removed, (Ops{"801 ГОР", "802 ЛЕС"})) << Listing(line.Removed);
}

/// A train for the priority and hold cases: number, freight, departure from РАЗ.
struct Leaving {
  int Number;
  bool Freight;
  const char* Depart;
  std::string Json() const {
    return fmt::format(R"({{"number": {}, "freight": {}, "from": "Разъезд", "to": "Горная",
      "depart": "{}"}})",
                       Number, Freight, Depart);
  }
};

TEST(AutoDispatcherCasesTest, PriorityAtAStationWithoutDutyOfficerDecidesWhoLeavesFirst) {
  // Two trains stand at РАЗ, both due, both for the single line to ГОР.
  struct Case {
    Leaving A, B;
    int First;
    const char* Why;
  };
  const Case cases[] = {
      {{801, false, "10:03"}, {2001, true, "10:00"}, 801, "passenger before freight"},
      {{2003, true, "10:00"}, {2001, true, "10:02"}, 2003, "earlier time before lower number"},
      {{803, false, "10:01"}, {801, false, "10:02"}, 803, "earlier time before lower number"},
      {{803, false, "10:00"}, {801, false, "10:00"}, 801, "lower number at the same time"},
      {{2003, true, "10:00"}, {2001, true, "10:00"}, 2001, "lower number at the same time"},
  };
  for (const Case& c : cases)
    for (const bool swapped : {false, true}) {
      // Put out early enough to leave on time; the dispatcher looks at РАЗ only once both
      // are due.
      AutoLine line(ThreeStations(kTwoLoops, c.A.Json() + "," + c.B.Json()), 945);
      line.PutOut(c.A.Number, "РАЗ", swapped ? 2 : 1);
      line.PutOut(c.B.Number, "РАЗ", swapped ? 1 : 2);
      std::vector<bool>& automated = line.Sim.State.AutoLPs;
      automated[line.LP("РАЗ")] = false;
      line.RunFor(13);
      automated[line.LP("РАЗ")] = true;
      line.RunUntil(10, [&] { return !line.Operations.empty(); });
      ASSERT_FALSE(line.Operations.empty()) << c.Why;
      const std::string first = line.Operations.front();
      EXPECT_NE(first.find("-> ГОР (" + std::to_string(c.First) + ")"), std::string::npos)
          << c.Why << (swapped ? ", tracks swapped: " : ": ") << first;
      EXPECT_EQ(first.substr(0, 10), "09:58:01.0") << c.Why;
      // The other one follows once the line is clear.
      const int second = c.First == c.A.Number ? c.B.Number : c.A.Number;
      RunSafely(line, 30);
      EXPECT_EQ(std::count_if(line.Operations.begin(), line.Operations.end(),
                              [&](const std::string& op) {
                                return op.find("-> ГОР (" + std::to_string(second) + ")") !=
                                       std::string::npos;
                              }),
                1)
          << c.Why << Listing(line.Operations);
    }
}

TEST(AutoDispatcherCasesTest, HeldTrainGetsNoDepartureUntilItsHoldEndsThenLeaves) {
  // 801 is due at 10:00 and held until 10:10: at РАЗ (no duty officer) it gets no route, at
  // ЛЕС (asks) no send task or commit, until then.
  struct Case {
    const char* Train;
    const char* Station;
    const char* Expected;
  };
  const std::string fromLoop = Leaving{801, false, "10:00"}.Json();
  const std::string fromEnd =
      R"({"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"})";
  const Case cases[] = {
      {fromLoop.c_str(), "РАЗ", "10:10:00.0 РАЗ route 3 -> ГОР (801)"},
      // ЛЕС's question whether to send 801 is answered no while the hold lasts; it asks again
      // once its last question has gone stale.
      {fromEnd.c_str(), "ЛЕС", "10:14:15.0 ЛЕС commit odd (801)"},
  };
  for (const Case& c : cases) {
    AutoLine line(ThreeStations(kTwoLoops, c.Train), 930);
    line.Sim.AutoHolds.push_back({801, line.At(1010)});
    if (std::string(c.Station) == "РАЗ") {
      line.RunFor(15);
      line.PutOut(801, "РАЗ", 1);
    }
    line.RunUntil(60, [&] { return !line.Operations.empty(); });
    ASSERT_FALSE(line.Operations.empty()) << c.Station;
    EXPECT_EQ(line.Operations.front(), c.Expected) << c.Station;
    RunSafely(line, 30);
    EXPECT_EQ(line.Removed, Ops{"801 ГОР"}) << c.Station;
  }
}

TEST(AutoDispatcherCasesTest, BusyLineRunsEveryTrainThroughSafely) {
  // Eight passenger trains each way, every twelve minutes, and three freight trains each way
  // between them, over the middle station with two loops and over the asking one.
  std::string trains;
  const auto at = [](int minutes) {
    return fmt::format("{:02}:{:02}", minutes / 60, minutes % 60);
  };
  const auto train = [&](int number, bool freight, bool odd, int minutes) {
    if (!trains.empty()) trains += ",";
    trains += fmt::format(R"({{"number": {}, "freight": {}, "from": "{}", "to": "{}",
      "depart": "{}"}})",
                          number, freight, odd ? "Лесная" : "Горная", odd ? "Горная" : "Лесная",
                          at(minutes));
  };
  for (int k = 0; k < 8; ++k) {
    train(801 + 2 * k, false, true, 600 + 12 * k);
    train(802 + 2 * k, false, false, 606 + 12 * k);
    if (k % 3 != 1) continue;
    train(2001 + 2 * k, true, true, 603 + 12 * k);
    train(2002 + 2 * k, true, false, 609 + 12 * k);
  }
  for (const std::string* middle : {&kTwoLoops, &kAsking}) {
    AutoLine line(ThreeStations(*middle, trains), 930);
    // The freight trains go last, after the passenger trains each way: the line is clear by
    // 16:30.
    RunSafely(line, 420);
    EXPECT_EQ(line.Removed.size(), 22u) << Listing(line.Removed);
    EXPECT_TRUE(line.Sim.State.Trains.empty());
  }
}

/// An answer given for a station, and when.
struct TimedAnswer {
  TDateTime Time;
  std::string Text;
  bool Answer;
};

/// Runs the line on for `minutes`, noting each answer given for a station whose text starts
/// with `text`, and the time `number` first entered station `mnem` (0: never).
std::vector<TimedAnswer> RunNotingAnswers(AutoLine& line, int minutes, const std::string& text,
                                          int number, const std::string& mnem, TDateTime& entered) {
  std::vector<TimedAnswer> out;
  const std::vector<RecordingConsole::Answered>& answers = line.Line.Console.Answers;
  entered = 0;
  for (int n = 0; n < minutes * 120; ++n) {
    const std::size_t before = answers.size();
    line.Step();
    for (std::size_t k = before; k < answers.size(); ++k)
      if (answers[k].Text.starts_with(text))
        out.push_back({line.Sim.State.ClockTime, answers[k].Text, answers[k].Answer});
    if (entered == 0 && line.Where(number) == mnem) entered = line.Sim.State.ClockTime;
  }
  return out;
}

TEST(AutoDispatcherCasesTest, RefusedDepartureIsAskedAgainOnceTheLineIsClearNotAfterThePause) {
  // БЕР acts by itself and asks leave to send 811 towards ГОР, which holds its commit for 802
  // coming the other way: refused. 802 runs through БЕР on to ЛЕС; once it is in at БЕР the
  // line to ГОР is clear, and БЕР asks again at once instead of after its pause.
  const std::string acts = R"("name": "Берёзово", "mnem": "БЕР", "self_acting": true,
    "tracks": [[1001, 3, 1], [3, 3, 1], [5, 3, 1]])";
  AutoLine line(ThreeStations(acts, R"(
      {"number": 811, "from": "Берёзово", "to": "Горная", "depart": "09:52"},
      {"number": 802, "from": "Горная", "to": "Лесная", "depart": "09:50"})"),
                930);
  line.PutOut(811, "БЕР", 1);
  TDateTime entered = 0;
  const std::vector<TimedAnswer> answers =
      RunNotingAnswers(line, 50, "Разрешается отправление поезда № 811", 802, "БЕР", entered);
  ExpectSafe(line);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_FALSE(answers[0].Answer);
  EXPECT_TRUE(answers[1].Answer);
  const TDateTime pause = line.Sim.Settings.ReapplySameRequestPauseMin * kMinute;
  EXPECT_LT(answers[1].Time, answers[0].Time + pause);
  ASSERT_NE(entered, 0);
  EXPECT_GT(answers[1].Time, entered);
  EXPECT_LT(answers[1].Time, entered + kMinute) << FormatEventTime(entered);
  EXPECT_EQ(line.Removed, (Ops{"811 ГОР", "802 ЛЕС"})) << Listing(line.Removed);
}

}  // namespace
}  // namespace traklin::test
