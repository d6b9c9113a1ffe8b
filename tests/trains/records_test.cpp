// Train names, directions, number groups, the two logs and the removal of a train.
#include <gtest/gtest.h>

#include <stdexcept>

#include "trains/test_line.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

struct NameCase {
  int Number;
  const char* Name;
  int Dir;
  int Mode;
  const char* Expected;
};

class FormatTrainNumberTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FormatTrainNumberTest, GivesTheDisplayForm) {
  const NameCase& c = GetParam();
  EXPECT_EQ(FormatTrainNumber(c.Number, c.Name, c.Dir, c.Mode), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FormatTrainNumberTest,
    ::testing::Values(NameCase{2001, "", 0, 0, "№ 2001"}, NameCase{2001, "", 0, 1, "№ 2002"},
                      NameCase{2002, "", 0, 1, "№ 2002"}, NameCase{2001, "", 1, 1, "№ 2001"},
                      NameCase{2002, "", 1, 1, "№ 2001"}, NameCase{2001, "2001", 0, 3, "№ 2002"},
                      NameCase{2001, "1234", 0, 3, "№ 2002 (1234)"},
                      NameCase{2001, "", 0, 2, "№ 2001"},
                      NameCase{2001, "Экспресс", 0, 2, "№ Экспресс"},
                      NameCase{2001, "2001", 1, 2, "№ 2001"}, NameCase{7, "x", 0, 9, "№ 7"},
                      NameCase{70001, "", 0, 1, "№ 70002"}));

struct GroupCase {
  int Number;
  bool Group4000;
  bool Reversing;
  bool Freight;
};

class NumberGroupTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(NumberGroupTest, BoundsAreExact) {
  TAreaData area;
  area.FreightNumbering[0] = 8001;
  area.FreightNumbering[1] = 8100;
  const GroupCase& c = GetParam();
  EXPECT_EQ(IsGroup4000Number(c.Number), c.Group4000) << c.Number;
  EXPECT_EQ(IsReversingNumber(c.Number), c.Reversing) << c.Number;
  EXPECT_EQ(IsFreightNumber(area, c.Number), c.Freight) << c.Number;
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, NumberGroupTest,
    ::testing::Values(GroupCase{4000, false, false, false}, GroupCase{4001, true, false, false},
                      GroupCase{4998, true, false, false}, GroupCase{4999, false, false, false},
                      GroupCase{6000, false, false, false}, GroupCase{6001, false, true, false},
                      GroupCase{6998, false, true, false}, GroupCase{6999, false, false, false},
                      GroupCase{7001, false, true, false}, GroupCase{7628, false, true, false},
                      GroupCase{7629, false, false, false}, GroupCase{1000, false, false, false},
                      GroupCase{1001, false, false, true}, GroupCase{1998, false, false, true},
                      GroupCase{1999, false, false, false}, GroupCase{2001, false, false, true},
                      GroupCase{3998, false, false, true}, GroupCase{3999, false, false, false},
                      GroupCase{8001, false, false, true}, GroupCase{8100, false, false, true},
                      GroupCase{8101, false, false, false}));

// One LP, a three-section siding:   [1]-[2 track]-[3]
const char* kSiding = R"(
station 1 Alfa 1 10
section 1 500
section 2 1000
section 3 500
chain 1 2 3
track 1 2 1 3 0
)";

TEST(TrainRecords, DirectionKindsAndDeprecatedGeneralDirection) {
  TestLine line(kSiding);
  const int i = line.AddTrain(2001, 100, 10, 300, 1000, 2, 0, 1, 1);
  line.Train(i).TAIL.DIR = 1;
  EXPECT_EQ(TrainDir(line.Sim, i, 0), 1);
  EXPECT_EQ(TrainDir(line.Sim, i, 1), 0);
  EXPECT_EQ(TrainTailDir(line.Sim, i, 1), 1);
  EXPECT_EQ(TrainName(line.Sim, i, 1), "№ 2002");
  try {
    TrainDir(line.Sim, i, 2);
    FAIL() << "no error";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "General train direction is deprecated");
  }
}

TEST(TrainLogs, SpeedLogOfExactlyTwelveMinutesIsKeptOneStepMoreIsCutToSixMinutes) {
  TestLine line(kSiding);
  const int i = line.AddTrain(2, 100, 10, 300, 1000, 2, 0, 1, 1);
  const double start = 45000.0;
  const double step = 30.0 / 86400;  // half a minute
  for (int k = 0; k <= 24; ++k) {
    line.Sim.State.ClockTime = start + k * step;
    AppendTrainLog(line.Sim, i);
  }
  EXPECT_EQ(line.Train(i).LOG.size(), 25u);  // spans exactly 12 minutes
  line.Sim.State.ClockTime = start + 25 * step;
  AppendTrainLog(line.Sim, i);
  // The 25 entries spanned 12 minutes (not more): nothing cut yet.
  EXPECT_EQ(line.Train(i).LOG.size(), 26u);
  line.Sim.State.ClockTime = start + 26 * step;
  AppendTrainLog(line.Sim, i);
  // 12.5 minutes: cut back to the entries within 6 minutes of the last one, then append.
  const auto& log = line.Train(i).LOG;
  ASSERT_EQ(log.size(), 14u);
  EXPECT_DOUBLE_EQ(log.front().TS, start + 13 * step);
  EXPECT_DOUBLE_EQ(log.back().TS, start + 26 * step);
}

TEST(TrainLogs, PositionLogBeyondTwoDaysKeepsItsLength) {
  TestLine line(kSiding);
  const int i = line.AddTrain(2, 100, 10, 300, 1000, 2, 0, 1, 1);
  line.Place(i, 1, 0);
  line.Sim.State.PosLog.clear();
  for (int k = 0; k <= 4; ++k) {
    line.Sim.State.ClockTime = 45000.0 + k * 0.5;
    AppendPosLog(line.Sim, i, true);
  }
  EXPECT_EQ(line.Sim.State.PosLog.size(), 5u);  // spans exactly two days
  line.Sim.State.ClockTime = 45002.5;
  AppendPosLog(line.Sim, i, false);
  EXPECT_EQ(line.Sim.State.PosLog.size(), 6u);
  line.Sim.State.ClockTime = 45003.0;
  AppendPosLog(line.Sim, i, false);
  ASSERT_EQ(line.Sim.State.PosLog.size(), 6u);
  EXPECT_DOUBLE_EQ(line.Sim.State.PosLog.front().TS, 45000.5);
  const auto& e = line.Sim.State.PosLog.back();
  EXPECT_EQ(e.NUMBER, 2);
  EXPECT_EQ(e.SECT_IDX, 2);
  EXPECT_DOUBLE_EQ(e.LOCO_POS, 980);
  EXPECT_FALSE(e.KEY_POINT);
  EXPECT_DOUBLE_EQ(line.Train(i).POS_LOG_TIME, 45003.0);
}

TEST(RemoveTrain, DeletingTrainThreeOfSixRenumbersOccupancy) {
  TestLine line(kSiding);
  for (int k = 0; k < 6; ++k) line.AddTrain(2 * k + 2, 100, 10, 300, 1000, 2, 0, 1, 1);
  int changes = 0;
  line.Sim.OnTrainListChanged = [&] { ++changes; };
  line.Train(3).HEAD.SECT_IDX = line.Train(3).TAIL.SECT_IDX = 2;
  line.Sim.State.Sects[2].TRN_EVEN = 3;
  line.Sim.State.Sects[1].TRN_ODD = 5;
  line.Sim.State.Sects[3].TRN_EVEN = 4;
  line.Sim.State.Lamps[2].RED = true;
  RemoveTrain(line.Sim, 3, true);
  ASSERT_EQ(line.Sim.State.Trains.size(), 5u);
  EXPECT_EQ(line.Train(3).NUMBER, 10);
  EXPECT_EQ(line.Train(4).NUMBER, 12);
  EXPECT_EQ(line.Sim.State.Sects[1].TRN_ODD, 4);
  EXPECT_EQ(line.Sim.State.Sects[3].TRN_EVEN, 3);
  EXPECT_EQ(line.Sim.State.Sects[2].TRN_EVEN, -1);
  EXPECT_FALSE(line.Sim.State.Lamps[2].RED);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(line.Console.Notes.empty());
}

TEST(RemoveTrain, TrainAcrossTwoSectionsIsReportedAndReleased) {
  TestLine line(kSiding);
  const int i = line.AddTrain(2, 100, 10, 300, 1000, 2, 0, 1, 1);
  line.Train(i).HEAD.SECT_IDX = 3;
  line.Train(i).TAIL.SECT_IDX = 2;
  line.Sim.State.Sects[2].TRN_EVEN = i;
  line.Sim.State.Sects[3].TRN_EVEN = i;
  RemoveTrain(line.Sim, i, false);
  ASSERT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_EQ(line.Console.Notes[0], "Поезд не поместился на секции расформирования 03h");
  EXPECT_EQ(line.Sim.State.Sects[3].TRN_EVEN, -1);
  EXPECT_EQ(line.Train(i).HEAD.SECT_IDX, 0);
  EXPECT_EQ(line.Sim.State.Trains.size(), 1u);
}

}  // namespace
}  // namespace traklin::test
