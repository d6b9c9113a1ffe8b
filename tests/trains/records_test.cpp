// Train names, directions, number groups, the two logs and the removal of a train.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "area/date_time.h"
#include "trains/harness.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

struct NameCase {
  int Number;
  const char* Name;
  int Dir, Mode;
  const char* Expected;
};

TEST(FormatTrainNumber, GivesTheDisplayFormOfEachMode) {
  const NameCase cases[] = {{2001, "", 0, 0, "№ 2001"},
                            {2001, "", 0, 1, "№ 2002"},
                            {2002, "", 0, 1, "№ 2002"},
                            {2001, "", 1, 1, "№ 2001"},
                            {2002, "", 1, 1, "№ 2001"},
                            {2001, "2001", 0, 3, "№ 2002"},
                            {2001, "1234", 0, 3, "№ 2002 (1234)"},
                            {2001, "", 0, 2, "№ 2001"},
                            {2001, "Экспресс", 0, 2, "№ Экспресс"},
                            {2001, "2001", 1, 2, "№ 2001"},
                            {7, "x", 0, 9, "№ 7"},
                            {70001, "", 0, 1, "№ 70002"}};
  for (const NameCase& c : cases)
    EXPECT_EQ(FormatTrainNumber(c.Number, c.Name, c.Dir, c.Mode), c.Expected)
        << c.Number << " " << c.Name << " " << c.Dir << " " << c.Mode;
}

TEST(NumberGroups, HoldExactlyWithinTheirBounds) {
  TAreaData area;
  area.FreightNumbering[0] = 8001;
  area.FreightNumbering[1] = 8100;
  const auto group4000 = [](int n) { return IsGroup4000Number(n); };
  const auto reversing = [](int n) { return IsReversingNumber(n); };
  const auto freight = [&](int n) { return IsFreightNumber(area, n); };
  struct Range {
    std::function<bool(int)> Holds;
    int From, To;
  };
  for (const Range& r :
       {Range{group4000, 4001, 4998}, Range{reversing, 6001, 6998}, Range{reversing, 7001, 7628},
        Range{freight, 1001, 1998}, Range{freight, 2001, 3998}, Range{freight, 8001, 8100}}) {
    EXPECT_TRUE(r.Holds(r.From) && r.Holds(r.To)) << r.From << ".." << r.To;
    EXPECT_FALSE(r.Holds(r.From - 1) || r.Holds(r.To + 1)) << r.From << ".." << r.To;
  }
}

TEST(TrainRecords, DirectionKindsAndDeprecatedGeneralDirection) {
  TestLine line;
  const int i = line.Add({.Number = 2001});
  line.Train(i).TAIL.DIR = 1;
  EXPECT_EQ(
      std::tuple(TrainDir(line.Sim, i, 0), TrainDir(line.Sim, i, 1), TrainTailDir(line.Sim, i, 1)),
      std::tuple(1, 0, 1));
  EXPECT_EQ(TrainName(line.Sim, i, 1), "№ 2002");
  try {
    TrainDir(line.Sim, i, 2);
    FAIL() << "no error";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "General train direction is deprecated");
  }
}

TEST(TrainLogs, SpeedLogOfExactlyTwelveMinutesIsKeptOneStepMoreIsCutToSixMinutes) {
  TestLine line;
  const int i = line.Add({});
  const double start = 45000.0, step = 30.0 / 86400;  // half a minute
  for (int k = 0; k <= 26; ++k) {
    line.Sim.State.ClockTime = start + k * step;
    AppendTrainLog(line.Sim, i);
    // 25 entries span 12 minutes (not more): nothing is cut until the 27th comes.
    if (k == 25) {
      EXPECT_EQ(line.Train(i).LOG.size(), 26u);
    }
  }
  // 12.5 minutes: cut back to the entries within 6 minutes of the last one, then appended.
  const auto& log = line.Train(i).LOG;
  ASSERT_EQ(log.size(), 14u);
  EXPECT_DOUBLE_EQ(log.front().TS, start + 13 * step);
  EXPECT_DOUBLE_EQ(log.back().TS, start + 26 * step);
}

// A clock set back leaves the log out of order: the trim still drops only the entries before
// the first recent one, as it does in order. Times in minutes, never on a limit.
TEST(TrainLogs, SpeedLogAfterTheClockWasSetBackIsCutAtTheFirstRecentEntry) {
  TestLine line;
  const int i = line.Add({});
  const double start = 45000.0;
  const auto append = [&](const std::vector<double>& minutes, double from) {
    for (const double m : minutes) {
      line.Sim.State.ClockTime = from + m * kMinute;
      AppendTrainLog(line.Sim, i);
    }
  };
  const auto kept = [&](double from) {
    std::vector<double> m;
    for (const TTrainLogEntry& e : line.Train(i).LOG)
      m.push_back(std::round((e.TS - from) / kMinute * 2) / 2);
    return m;
  };
  append({0, 1, 2, 3, 4, 5, 6, 7}, start);
  append({0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5, 10.5, 11.5, 12.5, 13.5}, start);
  // At 13.5 the last entry (12.5) lay 12.5 minutes after the first: cut from the front to 7,
  // the first within 6 minutes of 12.5; the older ones after it stay.
  EXPECT_EQ(kept(start), (std::vector<double>{7, 0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5,
                                              10.5, 11.5, 12.5, 13.5}));

  // Emptied, the log is in order again and cut alike.
  line.Train(i).LOG.clear();
  append({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12.5, 13.5}, start + 1);
  EXPECT_EQ(kept(start + 1), (std::vector<double>{7, 8, 9, 10, 11, 12.5, 13.5}));
}

TEST(TrainLogs, PositionLogBeyondTwoDaysKeepsItsLength) {
  TestLine line;
  const int i = line.Add({});
  line.Place(i, 1, 0);
  line.Sim.State.PosLog.clear();
  for (double t : {45000.0, 45000.5, 45001.0, 45001.5, 45002.0, 45002.5}) {
    line.Sim.State.ClockTime = t;
    AppendPosLog(line.Sim, i, t < 45002.5);
  }
  EXPECT_EQ(line.Sim.State.PosLog.size(), 6u);  // the first five span exactly two days
  line.Sim.State.ClockTime = 45003.0;
  AppendPosLog(line.Sim, i, false);
  ASSERT_EQ(line.Sim.State.PosLog.size(), 6u);
  EXPECT_DOUBLE_EQ(line.Sim.State.PosLog.front().TS, 45000.5);
  const TTrainPosLogEntry& e = line.Sim.State.PosLog.back();
  // The head's place, 20 m short of the end of A's 1200 m track.
  EXPECT_EQ(std::tuple(e.NUMBER, e.SECT_IDX, e.LOCO_POS, e.KEY_POINT),
            std::tuple(2, 2, 1180, false));
  EXPECT_DOUBLE_EQ(line.Train(i).POS_LOG_TIME, 45003.0);
}

TEST(RemoveTrain, DeletingTrainThreeOfSixRenumbersOccupancy) {
  TestLine line;
  for (int k = 0; k < 6; ++k) line.Add({.Number = 2 * k + 2});
  int changes = 0;
  line.Sim.OnTrainListChanged = [&] { ++changes; };
  line.Train(3).HEAD.SECT_IDX = line.Train(3).TAIL.SECT_IDX = 2;
  TStateData& st = line.Sim.State;
  st.Sects[2].TRN_EVEN = 3;
  st.Sects[1].TRN_ODD = 5;
  st.Sects[3].TRN_EVEN = 4;
  st.Lamps[2].RED = true;
  RemoveTrain(line.Sim, 3, true);
  ASSERT_EQ(st.Trains.size(), 5u);
  EXPECT_EQ(std::tuple(line.Train(3).NUMBER, line.Train(4).NUMBER), std::tuple(10, 12));
  EXPECT_EQ(
      std::tuple(st.Sects[1].TRN_ODD, st.Sects[3].TRN_EVEN, st.Sects[2].TRN_EVEN, st.Lamps[2].RED),
      std::tuple(4, 3, -1, false));
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(line.Console.Notes.empty());
}

TEST(RemoveTrain, TrainAcrossTwoSectionsIsReportedAndReleased) {
  TestLine line;
  const int i = line.Add({});
  line.Train(i).HEAD.SECT_IDX = 3;
  line.Train(i).TAIL.SECT_IDX = 2;
  line.Sim.State.Sects[2].TRN_EVEN = line.Sim.State.Sects[3].TRN_EVEN = i;
  RemoveTrain(line.Sim, i, false);
  EXPECT_EQ(line.Console.Notes,
            std::vector<std::string>{"Поезд не поместился на секции расформирования 03h"});
  EXPECT_EQ(std::tuple(line.Sim.State.Sects[3].TRN_EVEN, line.Train(i).HEAD.SECT_IDX,
                       line.Sim.State.Trains.size()),
            std::tuple(-1, 0, 1u));
}

}  // namespace
}  // namespace traklin::test
