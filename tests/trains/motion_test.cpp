// Train physics, the braking curve, passage over sections, route release and crashes.
#include <gtest/gtest.h>

#include <cmath>

#include "trains/stops.h"
#include "trains/test_line.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

// Even direction runs to the right; positions grow that way.
//
//   A (1, km 10)                     peregon 0                      B (2, km 12)
//   [1]--[2 A/I]>|--[3]--[4]-------[5]-------[6]>|--[7]--[8 B/I]>|--[9]--[10]
//          exit, kind 1                 entry, kind 0      exit, kind 1
const char* kLine = R"(
station 1 Alfa 1 10
station 2 Beta 1 12
section 1 500
section 2 1200
section 3 300
section 4 1500
section 5 1500
section 6 1500
section 7 300
section 8 1200
section 9 300
section 10 500
chain 1 2 3 4 5 6 7 8 9 10
track 1 2 1 3 0
track 2 8 1 3 0
signal 2 0 1
signal 6 0 0
signal 8 0 1
peregon 2 1 6 4 150 152
route 1 0 2 3
route 2 0 6 7 8
route 2 0 8 9
pass 2 2
stop 0 1 0 1200 0
stop 0 2 1210 1212 0
pass 4 3
stop 0 1 0 1200 0
stop 0 2 0 0 0
)";

// A passenger train of 10 cars: 300 m, 1000 t, locomotive type 2 (traction 300).
int AddPassenger(TestLine& line, int number = 2, int lp = 1, int arrival = 2) {
  return line.AddTrain(number, 100, 10, 300, 1000, 2, number & 1, lp, arrival);
}

// Puts the train's head at pos of section s (tail in the same section) running at speed v.
void Drive(TestLine& line, int i, int s, double pos, double v, int peregon = -1) {
  TTrainData& t = line.Train(i);
  t.HEAD.SECT_IDX = t.TAIL.SECT_IDX = s;
  t.HEAD.SECT_POS = pos;
  t.TAIL.SECT_POS = t.HEAD.DIR == 0 ? pos - t.LEN : pos + t.LEN;
  t.HEAD.PEREGON_IDX = t.TAIL.PEREGON_IDX = peregon;
  if (peregon >= 0) t.HEAD.LP_CODE = t.TAIL.LP_CODE = 0;
  t.SPEED = v;
  t.DEPARTURE_TIME = 0;
  t.DEPARTURE_COMMISSION = true;
  t.STOP_SECT_IDX = 0;
  t.SEMAPH_NEXT_IDX = line.Sim.AreaData.SlSects[s].Semaphore[t.HEAD.DIR];
  int d = t.HEAD.DIR;
  t.SECT_NEXT_IDX = NextSectionAhead(line.Sim, d, s);
  MarkOccupied(line.Sim, i);
}

TEST(TrainPhysics, AccelerationAndBrakingFollowLocomotiveWeightAndCars) {
  TestLine line(kLine);
  const int i = AddPassenger(line);
  EXPECT_DOUBLE_EQ(Acceleration(line.Sim, i), static_cast<double>(300.0f / 1000.0f));
  EXPECT_DOUBLE_EQ(Deceleration(line.Sim, i), 11 * 30.0 / 1000);
  line.Sim.AreaData.Locos[2].AccelType = 1;  // multiple unit: traction × cars ÷ 2 ÷ weight
  EXPECT_DOUBLE_EQ(Acceleration(line.Sim, i), static_cast<double>(300.0f * 10 / 2 / 1000.0f));

  const int freight = line.AddTrain(1001, 5, 50, 620, 3120, 2, 1, 1, 2);
  EXPECT_DOUBLE_EQ(Deceleration(line.Sim, freight), 51 * 30.0 / 3120);

  const int light = line.AddTrain(1003, 5, 0, 20, 120, 1, 1, 1, 2);
  EXPECT_EQ(Acceleration(line.Sim, light), 0);
  EXPECT_EQ(Deceleration(line.Sim, light), 10);
}

TEST(TrainPhysics, ZeroWeightNeverStartsAndBrakesAtTen) {
  TestLine line(kLine);
  const int i = AddPassenger(line);
  line.Train(i).WEIGHT = 0;
  EXPECT_EQ(Acceleration(line.Sim, i), 0);
  EXPECT_EQ(Deceleration(line.Sim, i), 10);
  line.Train(i).WEIGHT = -5;
  EXPECT_EQ(Acceleration(line.Sim, i), 0);
  EXPECT_EQ(Deceleration(line.Sim, i), 10);

  // On the line, such a train stays where it stands and nothing turns into NaN.
  line.Train(i).WEIGHT = 0;
  Drive(line, i, 4, 700, 0, 0);
  line.Steps(10);
  EXPECT_EQ(line.Train(i).SPEED, 0);
  EXPECT_DOUBLE_EQ(line.Train(i).HEAD.SECT_POS, 700);
  line.Train(i).DEPARTURE_TIME = 0;
  line.Train(i).SPEED = 25;
  line.Steps(1);
  EXPECT_DOUBLE_EQ(line.Train(i).SPEED, 20);
  EXPECT_TRUE(std::isfinite(line.Train(i).HEAD.SECT_POS));
}

TEST(TrainPhysics, BrakingDistanceAndRestrictedSpeed) {
  EXPECT_EQ(BrakingDistance(72, 0.33), 726);  // 400/0.66 + 100 = 706.06, + 20
  EXPECT_EQ(BrakingDistance(0, 0.33), 20);
  EXPECT_EQ(RestrictedSpeed(0, 150, 0.33), 33);   // √(2·0.33·130)·3.6 = 33.35
  EXPECT_EQ(RestrictedSpeed(0, 15, 0.33), 0);     // inside the 20 m margin
  EXPECT_EQ(RestrictedSpeed(60, 500, 0.33), 84);  // margin 103 m
}

struct KinCase {
  const char* What;
  double V, Target, Up, Down;
  double Speed, Distance;
};

class StepKinematicsTest : public ::testing::TestWithParam<KinCase> {};

TEST_P(StepKinematicsTest, SpeedAndDistanceOfOneStep) {
  const KinCase& c = GetParam();
  const Kinematics k = StepKinematics(c.V, c.Target, 0.5, c.Up, c.Down);
  EXPECT_NEAR(k.Speed, c.Speed, 1e-12) << c.What;
  EXPECT_NEAR(k.Distance, c.Distance, 1e-12) << c.What;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StepKinematicsTest,
    ::testing::Values(KinCase{"steady", 10, 10, 0.3, 0.33, 10, 5},
                      KinCase{"accelerating", 10, 20, 0.3, 0.33, 10.15, 5.0375},
                      KinCase{"reaching target", 10, 10.1, 0.3, 0.33, 10.1,
                              (0.5 - 0.1 / 0.3) * 10.1 + (0.1 / 0.3) * (0.15 * 0.1 / 0.3 + 10)},
                      KinCase{"braking", 20, 0, 0.3, 0.33, 19.835, 0.5 * (20 - 0.33 * 0.25)},
                      KinCase{"stopping", 0.1, 0, 0.3, 0.33, 0,
                              (0.1 / 0.33) * (-0.33 * (0.1 / 0.33) / 2 + 0.1)},
                      KinCase{"no traction", 0, 10, 0, 0.33, 0, 0}));

TEST(LookAhead, ClosedSignalAt150And900And1500Metres) {
  // Sections allow 120 km/h here so that the far restrictions show.
  std::string text = kLine;
  text += "section 11 3000 120 120\nchain 10 11\nsignal 11 0 1\n";
  TestLine line(text);
  line.Sim.MaxSpeedLimit = 120;
  const int i = AddPassenger(line);
  struct Case {
    double X;
    int Permitted;
    int Cap;
  };
  for (const Case c : {Case{150, 33, 10}, Case{900, 65, 60}, Case{1500, 84, 120}}) {
    Drive(line, i, 11, 3000 - c.X, 0, -1);
    line.Train(i).SPEED_LIM = 120;
    EXPECT_EQ(LookAhead(line.Sim, i, 0), c.Permitted) << c.X;
    EXPECT_EQ(line.Train(i).SPEED_LIM, c.Cap) << c.X;
  }
}

TEST(LookAhead, SpareSectionSignalCountsOnlyWithin2000Metres) {
  TestLine line(kLine);
  line.Sim.AreaData.SlSects[6].Spare = 1;
  const int i = AddPassenger(line);
  Drive(line, i, 6, 600, 0, 0);  // 900 m before the closed entry signal, on a spare section
  line.Train(i).SPEED_LIM = 80;
  EXPECT_LT(LookAhead(line.Sim, i, 0), 80);
  Drive(line, i, 6, 0, 0, 0);
  line.Train(i).SPEED_LIM = 80;
  line.Train(i).HEAD.SECT_POS = 0;
  line.Train(i).TAIL.SECT_POS = 0;
  line.Train(i).SEMAPH_NEXT_IDX = -1;
  line.Sim.AreaData.SlSects[6].Length = 2500;  // 2500 m to the signal: not yet seen
  EXPECT_EQ(LookAhead(line.Sim, i, 0), 80);
  EXPECT_EQ(line.Train(i).SPEED_LIM, 80);
}

TEST(LookAhead, UnseenEntrySignalIsLoggedClosedWithWarning) {
  TestLine line(kLine);
  line.Sim.AreaData.SlSects[6].Spare = 1;
  line.Sim.AreaData.SlSects[6].Length = 3000;
  const int i = AddPassenger(line);
  Drive(line, i, 6, 500, 0, 0);
  line.OpenSignal(6, 0);
  line.Steps(1);
  EXPECT_TRUE(line.Train(i).LOG.back().SEMAPH_CLOSED);
  EXPECT_TRUE(line.Train(i).LOG.back().SEMAPH_WARNING);
  line.Train(i).HEAD.SECT_POS = 1500;
  line.Steps(1);
  EXPECT_FALSE(line.Train(i).LOG.back().SEMAPH_CLOSED);
  EXPECT_FALSE(line.Train(i).LOG.back().SEMAPH_WARNING);
}

TEST(Motion, TrainStopsCentredOnItsStoppingSection) {
  TestLine line(kLine);
  const int i = AddPassenger(line);
  line.SetRoute(2, 0);
  Drive(line, i, 5, 500, 15, 0);
  line.Train(i).STOP_SECT_IDX = 8;
  line.Train(i).SCHEDULE_IDX = 1;
  line.Steps(600);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(t.SPEED, 0);
  ASSERT_EQ(t.HEAD.SECT_IDX, 8);
  // The centred point is 450 m before the section's end; the train halts 20 m short of it.
  EXPECT_GT(t.HEAD.SECT_POS, 725);
  EXPECT_LE(t.HEAD.SECT_POS, 750);
  EXPECT_NE(t.DEPARTURE_TIME, 0);
  EXPECT_EQ(t.HEAD.LP_CODE, 2);
}

TEST(Motion, RunThroughStationReleasesRouteBehindTailAndFreesIt) {
  TestLine line(kLine);
  const int i = AddPassenger(line, 4, 1, 3);
  line.Train(i).SCHEDULE_IDX = 1;
  line.SetRoute(2, 0);
  line.SetRoute(2, 1);
  line.OpenSignal(8, 0);
  Drive(line, i, 5, 1000, 15, 0);
  const int B = line.LPIndex(2);
  bool sawHalfReleased = false;
  for (int k = 0; k < 400 && line.Train(i).TAIL.SECT_IDX != 9; ++k) {
    line.Steps(1);
    const auto& x7 = line.Sim.State.Sects[7];
    if (x7.ROUTE_EVEN == 0 && x7.ROUTE_ODD == -1) sawHalfReleased = true;
  }
  const auto& st = line.Sim.State;
  ASSERT_EQ(line.Train(i).TAIL.SECT_IDX, 9);
  EXPECT_TRUE(sawHalfReleased);
  EXPECT_FALSE(st.Routes[B][0].SCHUNTED);
  EXPECT_EQ(st.Routes[B][0].TASKED, 0);
  for (int s : {6, 7, 8}) {
    EXPECT_EQ(st.Sects[s].ROUTE_EVEN, -1) << s;
    EXPECT_EQ(st.Sects[s].ROUTE_ODD, -1) << s;
    EXPECT_EQ(st.Sects[s].TRN_EVEN, -1) << s;
  }
  EXPECT_FALSE(st.Routes[B][1].SCHUNTED);
  EXPECT_EQ(st.Semaphores[1].SECT_NEXT, 0);  // the entry signal closed its route
  EXPECT_EQ(st.Semaphores[1].PREV_SECT_NEXT, 8);
  EXPECT_EQ(st.Sects[9].TRN_EVEN, i);
  EXPECT_FALSE(line.Train(i).PASSED_CLOSED);
  EXPECT_TRUE(line.Console.Notes.empty()) << line.Console.Notes.front();
}

TEST(Motion, ClosedSignalPassedGivesFiveKmhAndItsMessage) {
  TestLine line(kLine);
  const int i = AddPassenger(line);
  line.SetRoute(2, 0);
  line.Sim.State.Semaphores[1].CLOSED = true;  // the entry signal falls back to danger
  Drive(line, i, 6, 1495, 20, 0);
  for (int k = 0; k < 10 && line.Train(i).HEAD.SECT_IDX == 6; ++k) line.Steps(1);
  ASSERT_EQ(line.Train(i).HEAD.SECT_IDX, 7);
  EXPECT_TRUE(line.Train(i).PASSED_CLOSED);
  ASSERT_FALSE(line.Console.Notes.empty());
  EXPECT_EQ(line.Console.Notes.back(), "Поезд № 2 проехал красный сигнал (перед секцией 06h)!");
  line.Steps(1);
  EXPECT_EQ(line.Train(i).SPEED_LIM, 5);
}

TEST(Motion, PeregonDirectionLampsAndBothWaysMessage) {
  TestLine line(kLine);
  const int a = AddPassenger(line, 2);
  const int b = AddPassenger(line, 3);
  Drive(line, a, 4, 100, 0, 0);
  auto dirs = PeregonDirections(line.Sim, 0);
  EXPECT_TRUE(dirs[0]);
  EXPECT_FALSE(dirs[1]);
  EXPECT_TRUE(line.Sim.State.Lamps[150].RED);
  EXPECT_TRUE(line.Sim.State.Lamps[151].RED);
  EXPECT_FALSE(line.Sim.State.Lamps[152].RED);
  Drive(line, b, 6, 1400, 0, 0);
  dirs = PeregonDirections(line.Sim, 0);
  EXPECT_TRUE(dirs[0] && dirs[1]);
  ASSERT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_EQ(line.Console.Notes[0], "Перегон занят поездами в обоих направлениях!");
}

// ---------------------------------------------------------------------------
// Crashes

// Sections 20..24 with switch 1 at the even end of 20 (straight to 23, diverging to 24),
// switch 2 at the odd end of 26 (straight from 25, diverging from 27); C is controlled.
//
//   C (3, controlled)     [21]--[20]==sw1==[23]--[28]        [25]--sw2==[26]--[29]
//                                   \==[24]                  [27]==/
const char* kSwitches = R"(
station 3 Gamma 0 5
section 20 400
section 21 400
section 23 400
section 24 400
section 25 400
section 26 400
section 27 400
section 28 400
section 29 400
chain 21 20 23 28
switch 1 20 0 24 420 40
chain 25 26 29
switch 2 26 1 27 420 40
track 3 28 1 3 0
)";

struct CrashCase {
  const char* What;
  int Section;
  double Pos;
  int Side1;  // position of switch 1
  int Side2;  // position of switch 2
  const char* Message;
};

class CrashTest : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashTest, TrainStopsForGoodWithItsMessage) {
  const CrashCase& c = GetParam();
  TestLine line(kSwitches);
  line.Sim.State.Switches[1] = static_cast<std::uint8_t>(c.Side1);
  line.Sim.State.Switches[2] = static_cast<std::uint8_t>(c.Side2);
  const int i = line.AddTrain(2, 100, 0, 20, 120, 2, 0, 3, 3);
  Drive(line, i, c.Section, c.Pos, 10, -1);
  line.Train(i).HEAD.LP_CODE = 3;
  line.Steps(20);
  ASSERT_FALSE(line.Console.Notes.empty()) << c.What;
  EXPECT_EQ(line.Console.Notes.front(), c.Message) << c.What;
  EXPECT_EQ(line.Train(i).SPEED, 0) << c.What;
  EXPECT_EQ(line.Train(i).ARRIVAL_LP_CODE, 3) << c.What;
  const double where = line.Train(i).HEAD.SECT_POS;
  const int sect = line.Train(i).HEAD.SECT_IDX;
  line.Steps(200, true);
  EXPECT_EQ(line.Train(i).HEAD.SECT_IDX, sect) << c.What;
  EXPECT_DOUBLE_EQ(line.Train(i).HEAD.SECT_POS, where) << c.What;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CrashTest,
    ::testing::Values(CrashCase{"trailing a diverging switch from the straight leg", 25, 395, 0, 1,
                                "Поезд сошел на стрелке набок на секции 01Ah"},
                      CrashCase{"trailing a straight switch from the diverging leg", 27, 395, 0, 0,
                                "Поезд сошел на стрелке прямо на секции 01Ah"},
                      CrashCase{"running off the end of the track", 29, 395, 0, 0,
                                "Поезд № 2 выехал за участок с секции 01Dh"}));

TEST(Crash, CollisionWithStandingTrain) {
  TestLine line(kLine);
  const int a = AddPassenger(line, 2);
  const int b = AddPassenger(line, 4);
  Drive(line, b, 5, 800, 0, 0);
  line.Train(b).DEPARTURE_TIME = line.Sim.State.ClockTime + 1;
  Drive(line, a, 4, 1495, 10, 0);
  line.Steps(2);
  ASSERT_FALSE(line.Console.Notes.empty());
  EXPECT_EQ(line.Console.Notes.front(),
            "Поезд № 2 столкнулся с поездом № 4 и сошел на секции 05h!");
  EXPECT_EQ(line.Train(a).SPEED, 0);
  EXPECT_EQ(line.Sim.State.Sects[5].TRN_EVEN, b);
}

TEST(Crash, UnjoinedSection) {
  TestLine line(kLine);
  line.Sim.AreaData.SlSects[5].Straight[1] = 0;  // 5 does not lead back to 4
  const int i = AddPassenger(line);
  Drive(line, i, 4, 1495, 10, 0);
  line.Steps(2);
  ASSERT_FALSE(line.Console.Notes.empty());
  EXPECT_EQ(line.Console.Notes.front(), "Поезд сошел на нестыкованной секции 05h");
  EXPECT_EQ(line.Train(i).SPEED, 0);
}

TEST(Crash, UnassembledRoute) {
  TestLine line(kLine);
  line.SetRoute(2, 0);
  line.Sim.State.Routes[line.LPIndex(2)][0].TASKED = line.Sim.State.ClockTime;  // releasing
  const int i = AddPassenger(line);
  Drive(line, i, 6, 1495, 10, 0);
  line.Steps(2);
  ASSERT_FALSE(line.Console.Notes.empty());
  EXPECT_EQ(line.Console.Notes.front(), "Поезд на несобранном маршруте на секции 07h");
  EXPECT_EQ(line.Train(i).SPEED, 0);
  EXPECT_EQ(line.Train(i).ARRIVAL_LP_CODE, 2);
}

TEST(Crash, RouteOfUnknownLP) {
  TestLine line(kLine);
  const int i = AddPassenger(line);
  Drive(line, i, 4, 100, 10, -1);
  line.Train(i).HEAD.LP_CODE = 99;
  line.Train(i).HEAD.ROUTE_IDX = 0;
  line.Sim.State.Sects[4].TRN_EVEN = -1;
  EXPECT_FALSE(CheckEntry(line.Sim, i, 3));
  ASSERT_FALSE(line.Console.Notes.empty());
  EXPECT_EQ(line.Console.Notes.front(), "Поезд на маршруте неизвестного ЛП на секции 04h");
}

TEST(Crash, SwitchThrownUnderTheTrain) {
  TestLine line(kSwitches);
  const int i = line.AddTrain(2, 100, 0, 300, 1000, 2, 0, 3, 3);
  // The head has passed switch 1 straight into 23; the tail is still on the switch section.
  Drive(line, i, 23, 200, 10, -1);
  line.Train(i).TAIL.SECT_IDX = 20;
  line.Train(i).TAIL.SECT_POS = 300;
  line.Sim.State.Sects[20].TRN_EVEN = i;
  line.Sim.State.Switches[1] = 1;  // thrown to the side under the train
  line.Steps(30);
  ASSERT_FALSE(line.Console.Notes.empty());
  EXPECT_EQ(line.Console.Notes.front(),
            "Поезд сошел на секции 018h(вероятно, из-за перевода стрелки под поездом)");
  EXPECT_EQ(line.Train(i).SPEED, 0);
}

// ---------------------------------------------------------------------------

// A flip joins the odd ends of 31 and 32: a train going odd in 31 goes even in 32.
//
//   [30]--[31]<>[32]--[33]
const char* kFlip = R"(
station 4 Delta 1 0
section 30 500
section 31 500
section 32 500
section 33 500
chain 31 30
chain 32 33
flip 31 32
track 4 33 1 3 0
)";

TEST(Motion, HeadAndTailDirectionsAcrossParityFlip) {
  TestLine line(kFlip);
  const int i = line.AddTrain(3, 100, 0, 100, 500, 2, 1, 4, 4);
  Drive(line, i, 31, 10, 5, -1);
  line.Train(i).HEAD.LP_CODE = 0;
  line.Steps(4);
  EXPECT_EQ(line.Train(i).HEAD.SECT_IDX, 32);
  EXPECT_EQ(line.Train(i).HEAD.DIR, 0);
  EXPECT_EQ(line.Train(i).TAIL.SECT_IDX, 31);
  EXPECT_EQ(line.Train(i).TAIL.DIR, 1);
  EXPECT_EQ(line.Sim.State.Sects[32].TRN_EVEN, i);
  line.Steps(60);
  EXPECT_EQ(line.Train(i).TAIL.SECT_IDX, 32);
  EXPECT_EQ(line.Train(i).TAIL.DIR, 0);
  EXPECT_EQ(line.Sim.State.Sects[31].TRN_ODD, -1);
  EXPECT_TRUE(line.Console.Notes.empty());
}

}  // namespace
}  // namespace traklin::test
