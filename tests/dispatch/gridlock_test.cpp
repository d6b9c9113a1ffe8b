// The gridlock detector on small lines: locked states found once, moving lines never.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "dispatch/auto_line.h"
#include "dispatch/gridlock.h"

namespace traklin::test {
namespace {

// clang-format off
/// Two stations joined by one single line of three block sections, odd trains to the right:
///
///   ЛЕС (km 0)                                  ГОР (km 8)
///       I ---.                                  .--- I
///       2 ---+--- 8 km, single line, 3 blocks --+--- 2
///      (3) --'                                  `--- (3)
///
/// `left` and `right` are the stations' members after their names (tracks, kind); `trains`
/// the timetable, written as in line.json.
// clang-format on
std::string TwoStations(const std::string& left, const std::string& right,
                        const std::string& trains) {
  return R"({"number": 42, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0, )" +
         left + R"(},
      {"name": "Горная", "mnem": "ГОР", "km": 8, )" +
         right + R"(}
    ],
    "peregons": [{"length": 8000, "blocks": 3}],
    "trains": [)" +
         trains + "]}";
}

const std::string kTwoTracks = R"("tracks": [[1001, 3, 1], [2, 3, 1]])";
const std::string kThreeTracks = R"("tracks": [[1001, 3, 1], [2, 3, 1], [3, 3, 1]])";
const std::string kOneTrack = R"("tracks": [[1001, 3, 1]])";

std::string Train(int number, bool freight, const char* from, const char* to, const char* depart) {
  return fmt::format(R"({{"number": {}, "freight": {}, "from": "{}", "to": "{}", "depart": "{}"}})",
                     number, freight, from, to, depart);
}

/// Runs the line for `minutes`, a detector looking after every step; every gridlock it
/// reports, with the time it was reported ("10:11").
struct Watched {
  std::vector<std::pair<std::string, Gridlock>> Reports;
};
Watched Watch(AutoLine& line, GridlockDetector& detector, int minutes) {
  Watched w;
  for (int n = 0; n < minutes * 120; ++n) {
    line.Step();
    for (const Gridlock& g : detector.Check(line.Sim))
      w.Reports.emplace_back(FormatEventTime(line.Sim.State.ClockTime).substr(11, 5), g);
  }
  return w;
}

std::vector<int> Codes(const AutoLine& line, std::initializer_list<const char*> names) {
  std::vector<int> codes;
  for (const char* name : names) codes.push_back(LPCode(line.Sim.AreaData, line.LP(name)));
  std::sort(codes.begin(), codes.end());
  return codes;
}

TEST(GridlockTest, FullStationsFacingEachOtherAcrossASingleLineAreReportedOnce) {
  // Both tracks of each station hold a train for the other one; the automatic dispatcher
  // lets none of them out, and none could go anywhere if it did.
  AutoLine line(TwoStations(kTwoTracks, kTwoTracks,
                            Train(801, false, "Лесная", "Горная", "10:00") + "," +
                                Train(803, false, "Лесная", "Горная", "10:02") + "," +
                                Train(802, false, "Горная", "Лесная", "10:00") + "," +
                                Train(804, false, "Горная", "Лесная", "10:02")),
                950);
  line.PutOut(801, "ЛЕС", 0);
  line.PutOut(803, "ЛЕС", 1);
  line.PutOut(802, "ГОР", 0);
  line.PutOut(804, "ГОР", 1);
  GridlockDetector detector;
  const Watched w = Watch(line, detector, 90);
  ASSERT_EQ(w.Reports.size(), 1u);
  // Due at 10:00 and 10:02, standing since they were put out: counted as waiting from 10:02.
  EXPECT_EQ(w.Reports[0].first, "10:02");
  EXPECT_EQ(w.Reports[0].second.Trains, (std::vector<int>{801, 802, 803, 804}));
  EXPECT_EQ(w.Reports[0].second.Stations, Codes(line, {"ЛЕС", "ГОР"}));
  EXPECT_EQ(line.Line.Faults(), Texts{});
}

TEST(GridlockTest, TwoTrainsOnTheLineAndOneWaitingForItAreACycleOfThree) {
  // ЛЕС acts by itself and sends 2001 and 801 towards ГОР, whose only track holds 802, due
  // later, for ЛЕС: 2001 stops before ГОР, 801 behind it, and 802 cannot go against them.
  AutoLine line(TwoStations(kThreeTracks + R"(, "self_acting": true)", kOneTrack,
                            Train(2001, true, "Лесная", "Горная", "10:00") + "," +
                                Train(801, false, "Лесная", "Горная", "10:05") + "," +
                                Train(802, false, "Горная", "Лесная", "10:40")),
                950);
  line.Sim.State.AutoLPs.assign(line.Sim.AreaData.Puts.size(), false);
  line.PutOut(2001, "ЛЕС", 0);
  line.PutOut(801, "ЛЕС", 1);
  line.PutOut(802, "ГОР", 0);
  GridlockDetector detector;
  const Watched w = Watch(line, detector, 120);
  ASSERT_EQ(w.Reports.size(), 1u);
  EXPECT_EQ(w.Reports[0].second.Trains, (std::vector<int>{801, 802, 2001}));
  // The two on the line run into ГОР, where the third stands.
  EXPECT_EQ(w.Reports[0].second.Stations, Codes(line, {"ГОР"}));
  // Reported once 802 is due and has stood ten minutes since: not before 10:40.
  EXPECT_GE(w.Reports[0].first, "10:40");
  EXPECT_EQ(line.Where(2001), "");
  EXPECT_EQ(line.Where(801), "");
  EXPECT_EQ(line.Line.Faults(), Texts{});
}

TEST(GridlockTest, AGridlockIsReportedOnceWhileItLastsAndAgainWhenItFormsAnew) {
  AutoLine line(TwoStations(kOneTrack, kOneTrack,
                            Train(801, false, "Лесная", "Горная", "10:00") + "," +
                                Train(802, false, "Горная", "Лесная", "10:00")),
                950);
  line.PutOut(801, "ЛЕС", 0);
  line.PutOut(802, "ГОР", 0);
  line.RunFor(15);
  // From here on the state stands still and only the clock moves: the detector judges the
  // state alone.
  TStateData& state = line.Sim.State;
  GridlockDetector detector;
  const auto lookAt = [&](int minutes) {
    state.ClockTime = line.At(1005) + minutes * kMinute;
    return detector.Check(line.Sim).size();
  };
  EXPECT_EQ(lookAt(0), 0u) << "standing, but not yet for ten minutes";
  EXPECT_EQ(lookAt(9), 0u);
  EXPECT_EQ(lookAt(10), 1u);
  EXPECT_EQ(lookAt(11), 0u) << "the same gridlock";
  EXPECT_EQ(lookAt(30), 0u);
  // A train runs onto the line towards ЛЕС: while it moves, 801 could follow it and nothing
  // looks locked; but 801 and 802 never moved, and once it is gone it is the same gridlock.
  const int p = 0;
  const int towardsLes = line.Sim.AreaData.GraphPeregons[p].LP[0] == line.LP("ЛЕС") + 1 ? 0 : 1;
  TTrainData& runner = state.Trains.emplace_back();
  runner.NUMBER = 2999;
  runner.HEAD.SECT_IDX = runner.TAIL.SECT_IDX =
      line.Sim.AreaData.GraphPeregons[p].EndSection[towardsLes ^ 1];
  runner.HEAD.PEREGON_IDX = runner.TAIL.PEREGON_IDX = p;
  runner.HEAD.DIR = runner.TAIL.DIR = static_cast<std::uint8_t>(towardsLes);
  runner.SPEED = 10;
  runner.ARRIVAL_LP_CODE = LPCode(line.Sim.AreaData, line.LP("ЛЕС"));
  EXPECT_EQ(lookAt(31), 0u);
  EXPECT_TRUE(detector.Look(line.Sim).empty());
  state.Trains.pop_back();
  EXPECT_EQ(lookAt(32), 0u) << "the same gridlock";
  EXPECT_EQ(detector.Look(line.Sim).size(), 1u);
  // 801 moves: nothing is locked any longer, and the gridlock is over.
  TTrainData& t801 = state.Trains[line.Train(801)];
  t801.SPEED = 1;
  EXPECT_EQ(lookAt(33), 0u);
  EXPECT_TRUE(detector.Look(line.Sim).empty());
  // It stops again a little further on: a new gridlock once it has stood ten minutes.
  t801.SPEED = 0;
  t801.HEAD.SECT_POS += 1;
  EXPECT_EQ(lookAt(34), 0u);
  EXPECT_EQ(lookAt(43), 0u);
  EXPECT_EQ(lookAt(44), 1u);
  EXPECT_EQ(lookAt(45), 0u);
  // The console's reload starts another timeline: what was seen before is forgotten.
  detector.Reset();
  EXPECT_EQ(lookAt(46), 0u) << "the trains are new to a reset detector";
  EXPECT_EQ(lookAt(56), 1u);
}

TEST(GridlockTest, TrainWaitingAtARedSignalBehindAMovingTrainIsNoGridlock) {
  // ЛЕС sends the slow freight 2001 and then passenger 801, which catches it up on the line
  // and waits at the block signals behind it; ГОР's tracks hold 802, due later, and 2001 once
  // it arrives. Even counting every train at rest at once as waiting, nothing is locked while
  // the trains ahead move on.
  AutoLine line(TwoStations(kThreeTracks + R"(, "self_acting": true)",
                            kTwoTracks + R"(, "self_acting": true)",
                            Train(2001, true, "Лесная", "Горная", "09:35") + "," +
                                Train(801, false, "Лесная", "Горная", "09:45") + "," +
                                Train(802, false, "Горная", "Лесная", "11:30")),
                930);
  line.Sim.State.AutoLPs.assign(line.Sim.AreaData.Puts.size(), false);
  line.PutOut(2001, "ЛЕС", 0);
  line.PutOut(802, "ГОР", 0);
  GridlockDetector detector(kMinute, 0);
  bool stoodOnTheLine = false;
  const auto watch = [&] {
    EXPECT_TRUE(detector.Check(line.Sim).empty()) << FormatEventTime(line.Sim.State.ClockTime);
    const int t = line.Train(801);
    stoodOnTheLine = stoodOnTheLine || (t >= 0 && line.Sim.State.Trains[t].SPEED == 0 &&
                                        line.Sim.State.Trains[t].HEAD.PEREGON_IDX >= 0);
    return false;
  };
  // 801 is put out as soon as 2001 has left.
  ASSERT_TRUE(line.RunUntil(30, [&] { return line.Where(2001).empty() || watch(); }));
  line.PutOut(801, "ЛЕС", 1);
  line.RunUntil(90, watch);
  EXPECT_TRUE(stoodOnTheLine) << "801 never waited behind 2001";
  EXPECT_EQ(line.Removed, (Texts{"2001 ГОР", "801 ГОР"}));
  EXPECT_EQ(line.Line.Faults(), Texts{});
}

TEST(GridlockTest, BusyLineThatKeepsMovingIsNeverReported) {
  // Passenger trains each way every twelve minutes and freight trains between them, crossing
  // at the middle station, worked by the automatic dispatcher; a train counts as waiting after
  // a minute at rest, so that every crossing is looked at.
  std::string trains;
  const auto train = [&](int number, bool freight, bool odd, int minutes) {
    if (!trains.empty()) trains += ",";
    const std::string at = fmt::format("{:02}:{:02}", minutes / 60, minutes % 60);
    trains +=
        Train(number, freight, odd ? "Лесная" : "Горная", odd ? "Горная" : "Лесная", at.c_str());
  };
  for (int k = 0; k < 6; ++k) {
    train(801 + 2 * k, false, true, 600 + 12 * k);
    train(802 + 2 * k, false, false, 606 + 12 * k);
    if (k % 3 != 1) continue;
    train(2001 + 2 * k, true, true, 603 + 12 * k);
    train(2002 + 2 * k, true, false, 609 + 12 * k);
  }
  const std::string description = R"({"number": 43, "outside_left": ["З1", "З2", "З3", "З4", "З5"],
    "outside_right": ["В1", "В2", "В3", "В4", "В5"],
    "stations": [
      {"name": "Лесная", "mnem": "ЛЕС", "km": 0,
       "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3], [4, 3, 3]]},
      {"name": "Разъезд", "mnem": "РАЗ", "km": 7, "controlled": true,
       "tracks": [[1001, 3, 1], [3, 3, 1], [5, 3, 1]]},
      {"name": "Горная", "mnem": "ГОР", "km": 14,
       "tracks": [[1001, 3, 2], [2, 3, 3], [4, 3, 3], [6, 3, 1]]}],
    "peregons": [{"length": 6000, "blocks": 2}, {"length": 6000, "blocks": 2}],
    "trains": [)" + trains + "]}";
  AutoLine line(description, 930);
  GridlockDetector detector(kMinute, kMinute);
  const Watched w = Watch(line, detector, 360);
  EXPECT_TRUE(w.Reports.empty()) << w.Reports.front().first;
  EXPECT_EQ(line.Removed.size(), 16u);
  EXPECT_EQ(line.Line.Faults(), Texts{});
}

}  // namespace
}  // namespace traklin::test
