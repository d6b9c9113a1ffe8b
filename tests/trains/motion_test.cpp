// Train physics, the braking curve, passage over sections, route release and crashes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "trains/harness.h"
#include "trains/stops.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

TEST(TrainPhysics, AccelerationAndBrakingFollowLocomotiveWeightAndCars) {
  TestLine line;
  const int i = line.Add({});
  EXPECT_DOUBLE_EQ(Acceleration(line.Sim, i), static_cast<double>(300.0f / 1000.0f));
  EXPECT_DOUBLE_EQ(Deceleration(line.Sim, i), 11 * 30.0 / 1000);
  line.Sim.AreaData.Locos[2].AccelType = 1;  // multiple unit: traction × cars ÷ 2 ÷ weight
  EXPECT_DOUBLE_EQ(Acceleration(line.Sim, i), static_cast<double>(300.0f * 10 / 2 / 1000.0f));
  const int freight = line.Add({.Number = 1001, .Load = 5, .Cars = 50, .Len = 620, .Weight = 3120});
  EXPECT_DOUBLE_EQ(Deceleration(line.Sim, freight), 51 * 30.0 / 3120);
  // Without a locomotive, or weighing nothing, a train cannot start and brakes at 10 m/s².
  const int light = line.Add({.Number = 1003, .Cars = 0, .Len = 20, .Weight = 120, .Loco = 1});
  const int zero = line.Add({.Weight = 0});
  const int negative = line.Add({.Weight = -5});
  for (int k : {light, zero, negative}) {
    EXPECT_EQ(Acceleration(line.Sim, k), 0) << k;
    EXPECT_EQ(Deceleration(line.Sim, k), 10) << k;
  }
}

TEST(TrainPhysics, ZeroWeightTrainStaysPutAndBrakesWithoutNaN) {
  TestLine line;
  const int i = line.Add({.Weight = 0});
  line.Drive(i, 4, 700, 0, 0);
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

TEST(TrainPhysics, SpeedAndDistanceOfOneStepInEachCase) {
  struct Case {
    const char* What;
    double V, Target, Speed, Distance;
  };
  const Case cases[] = {{"steady", 10, 10, 10, 5},
                        {"accelerating", 10, 20, 10.15, 5.0375},
                        {"reaching target", 10, 10.1, 10.1,
                         (0.5 - 0.1 / 0.3) * 10.1 + (0.1 / 0.3) * (0.15 * 0.1 / 0.3 + 10)},
                        {"braking", 20, 0, 19.835, 0.5 * (20 - 0.33 * 0.25)},
                        {"stopping", 0.1, 0, 0, (0.1 / 0.33) * (-0.33 * (0.1 / 0.33) / 2 + 0.1)}};
  for (const Case& c : cases) {
    const Kinematics k = StepKinematics(c.V, c.Target, 0.5, 0.3, 0.33);
    EXPECT_NEAR(k.Speed, c.Speed, 1e-12) << c.What;
    EXPECT_NEAR(k.Distance, c.Distance, 1e-12) << c.What;
  }
  const Kinematics none = StepKinematics(0, 10, 0.5, 0, 0.33);  // no traction
  EXPECT_EQ(none.Speed, 0);
  EXPECT_EQ(none.Distance, 0);
}

TEST(LookAhead, ClosedSignalAt150And900And1500Metres) {
  // A 3000 m section that allows 120 km/h, so that the far restrictions show.
  TestLine line(std::string(kLine) + "section 40 3000 120 120\nsignal 40 0 1\n");
  const int i = line.Add({});
  struct Case {
    double X;
    int Permitted, Cap;
  };
  for (const Case c : {Case{150, 33, 10}, Case{900, 65, 60}, Case{1500, 84, 120}}) {
    line.Drive(i, 40, 3000 - c.X, 0);
    line.Train(i).SPEED_LIM = 120;
    EXPECT_EQ(LookAhead(line.Sim, i, 0), c.Permitted) << c.X;
    EXPECT_EQ(line.Train(i).SPEED_LIM, c.Cap) << c.X;
  }
}

TEST(LookAhead, SpareSectionSignalCountsOnlyWithin2000Metres) {
  TestLine line;
  line.Sim.AreaData.SlSects[6].Spare = 1;
  const int i = line.Add({});
  line.Drive(i, 6, 600, 0, 0);  // 900 m before the closed entry signal
  line.Train(i).SPEED_LIM = 80;
  EXPECT_LT(LookAhead(line.Sim, i, 0), 80);
  line.Sim.AreaData.SlSects[6].Length = 2500;  // 2500 m to the signal: not yet seen
  line.Drive(i, 6, 0, 0, 0);
  line.Train(i).TAIL.SECT_POS = 0;
  line.Train(i).SEMAPH_NEXT_IDX = -1;
  line.Train(i).SPEED_LIM = 80;
  EXPECT_EQ(std::tuple(LookAhead(line.Sim, i, 0), line.Train(i).SPEED_LIM), std::tuple(80, 80));
}

TEST(LookAhead, UnseenEntrySignalIsLoggedClosedWithWarning) {
  TestLine line;
  line.Sim.AreaData.SlSects[6].Spare = 1;
  line.Sim.AreaData.SlSects[6].Length = 3000;
  const int i = line.Add({});
  line.Drive(i, 6, 500, 0, 0);
  line.OpenSignal(6, 0);
  line.Steps(1);
  EXPECT_TRUE(line.Train(i).LOG.back().SEMAPH_CLOSED && line.Train(i).LOG.back().SEMAPH_WARNING);
  line.Train(i).HEAD.SECT_POS = 1500;
  line.Steps(1);
  EXPECT_FALSE(line.Train(i).LOG.back().SEMAPH_CLOSED || line.Train(i).LOG.back().SEMAPH_WARNING);
}

// E's line: [30]-[31]<flip>[32]-[33 E/I], 500 m each; an odd train on 31 runs even on 32.
TEST(LookAhead, SeesAStopBeyondAParityFlipAheadOfTheHeadSection) {
  TestLine line;
  // 3000 t over 11 axles brakes at 0.11 m/s²: the stop must be seen well before the flip.
  const int i = line.Add({.Number = 3, .Dir = 1, .LP = 5, .Arrival = 5, .Weight = 3000});
  line.Drive(i, 31, 100, 80 / 3.6);
  line.Train(i).STOP_SECT_IDX = 33;
  line.Train(i).SPEED_LIM = 80;
  // 100 + 500 + 500 m to the end of 33, less (500 - 300) / 2 to centre the train: at 1000 m
  // the train may still run √(2 · 0.11 · 980) · 3.6 = 53 km/h; beyond the flip the walk must
  // go on to 33, not back behind the train.
  EXPECT_EQ(LookAhead(line.Sim, i, 80), 53);
}

TEST(Motion, TrainAtLineSpeedStopsOnItsStopBeyondAParityFlip) {
  TestLine line;
  // Braking at 0.11 m/s² from 54 km/h takes some 1100 m: more than is left beyond the flip.
  const int i = line.Add({.Number = 3, .Dir = 1, .LP = 5, .Arrival = 5, .Weight = 3000});
  line.Drive(i, 31, 480, 15);
  line.Train(i).STOP_SECT_IDX = 33;
  line.Steps(1000);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(std::tuple(t.SPEED, t.HEAD.SECT_IDX, t.HEAD.DIR), std::tuple(0.0, 33, 0));
  // Centred (100 m from either end) less the 20 m margin of the braking curve.
  EXPECT_GT(t.HEAD.SECT_POS, 375);
  EXPECT_LE(t.HEAD.SECT_POS, 400);
  EXPECT_TRUE(line.Console.Notes.empty());
}

TEST(Motion, TrainStopsCentredOnItsStoppingSection) {
  TestLine line;
  const int i = line.Add({});
  line.SetRoute(2, 0);
  line.Drive(i, 5, 500, 15, 0);
  line.Train(i).STOP_SECT_IDX = 8;
  line.Train(i).SCHEDULE_IDX = 1;
  line.Steps(600);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(t.SPEED, 0);
  ASSERT_EQ(t.HEAD.SECT_IDX, 8);
  // The centred point is 450 m before the section's end; the train halts 20 m short of it.
  EXPECT_GT(t.HEAD.SECT_POS, 725);
  EXPECT_LE(t.HEAD.SECT_POS, 750);
  EXPECT_DOUBLE_EQ(t.LOCO_POS, 12000 + 600 - t.HEAD.SECT_POS);  // B at km 12
  EXPECT_NE(t.DEPARTURE_TIME, 0);
  EXPECT_EQ(t.HEAD.LP_CODE, 2);
}

TEST(Motion, RunThroughStationReleasesRouteBehindTailAndFreesIt) {
  TestLine line;
  const int i = line.Add({.Number = 4});
  line.Train(i).SCHEDULE_IDX = 1;  // passes B
  line.SetRoute(2, 0);
  line.SetRoute(2, 1);
  line.OpenSignal(8, 0);
  line.Drive(i, 5, 1000, 15, 0);
  const TStateData& st = line.Sim.State;
  bool sawHalfReleased = false;
  for (int k = 0; k < 400 && line.Train(i).TAIL.SECT_IDX != 9; ++k) {
    line.Steps(1);
    sawHalfReleased |= st.Sects[7].ROUTE_EVEN == 0 && st.Sects[7].ROUTE_ODD == -1;
  }
  ASSERT_EQ(line.Train(i).TAIL.SECT_IDX, 9);
  EXPECT_TRUE(sawHalfReleased);
  // The train passes B without stopping; the graph still gets B's key points where the head
  // leaves the peregon from A (end of 6) and enters the one to C (start of 11).
  std::vector<std::tuple<int, long>> keys;
  for (const TTrainPosLogEntry& e : st.PosLog)
    if (e.NUMBER == 4 && e.KEY_POINT) keys.emplace_back(e.SECT_IDX, std::lround(e.LOCO_POS));
  EXPECT_EQ(keys, (std::vector<std::tuple<int, long>>{{6, 1500}, {11, 0}}));
  const int B = line.LPIndex(2);
  EXPECT_FALSE(st.Routes[B][0].SCHUNTED || st.Routes[B][1].SCHUNTED || st.Routes[B][0].TASKED != 0);
  for (int s : {6, 7, 8})
    EXPECT_EQ(std::tuple(st.Sects[s].ROUTE_EVEN, st.Sects[s].ROUTE_ODD, st.Sects[s].TRN_EVEN),
              std::tuple(-1, -1, -1))
        << s;
  // The entry signal closed its route; the train occupies 9 and never passed a closed signal.
  EXPECT_EQ(std::tuple(st.Semaphores[1].SECT_NEXT, st.Semaphores[1].PREV_SECT_NEXT,
                       st.Sects[9].TRN_EVEN, line.Train(i).PASSED_CLOSED),
            std::tuple(0, 8, i, false));
  EXPECT_EQ(line.Console.Notes, std::vector<std::string>{});
}

TEST(Motion, ClosedSignalPassedGivesFiveKmhAndItsMessage) {
  TestLine line;
  const int i = line.Add({});
  line.SetRoute(2, 0);
  line.Sim.State.Semaphores[1].CLOSED = true;  // the entry signal falls back to danger
  line.Drive(i, 6, 1495, 20, 0);
  for (int k = 0; k < 10 && line.Train(i).HEAD.SECT_IDX == 6; ++k) line.Steps(1);
  ASSERT_EQ(line.Train(i).HEAD.SECT_IDX, 7);
  EXPECT_TRUE(line.Train(i).PASSED_CLOSED);
  EXPECT_EQ(line.Console.Notes,
            std::vector<std::string>{"Поезд № 2 проехал красный сигнал (перед секцией 06h)!"});
  line.Steps(1);
  EXPECT_EQ(line.Train(i).SPEED_LIM, 5);
}

TEST(Motion, PeregonDirectionLampsAndBothWaysMessage) {
  TestLine line;
  const int a = line.Add({.Number = 2});
  const int b = line.Add({.Number = 3, .Dir = 1});
  line.Drive(a, 4, 100, 0, 0);
  EXPECT_EQ(PeregonDirections(line.Sim, 0), (std::array<bool, 2>{true, false}));
  const auto& lamps = line.Sim.State.Lamps;
  EXPECT_TRUE(lamps[150].RED && lamps[151].RED && !lamps[152].RED);
  line.Drive(b, 6, 1400, 0, 0);
  EXPECT_EQ(PeregonDirections(line.Sim, 0), (std::array<bool, 2>{true, true}));
  EXPECT_EQ(line.Console.Notes,
            std::vector<std::string>{"Перегон занят поездами в обоих направлениях!"});
}

TEST(Motion, HeadAndTailDirectionsAcrossParityFlip) {
  TestLine line;
  const int i = line.Add({.Number = 3, .Dir = 1, .LP = 5, .Arrival = 5, .Cars = 0, .Len = 100});
  line.Drive(i, 31, 10, 5);
  line.Train(i).HEAD.LP_CODE = 0;
  line.Steps(4);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(std::tuple(t.HEAD.SECT_IDX, t.HEAD.DIR, t.TAIL.SECT_IDX, t.TAIL.DIR),
            std::tuple(32, 0, 31, 1));
  EXPECT_EQ(line.Sim.State.Sects[32].TRN_EVEN, i);
  line.Steps(60);
  EXPECT_EQ(std::tuple(t.TAIL.SECT_IDX, t.TAIL.DIR, line.Sim.State.Sects[31].TRN_ODD),
            std::tuple(32, 0, -1));
  EXPECT_TRUE(line.Console.Notes.empty());
}

struct CrashCase {
  int Section;
  double Pos;
  void (*Setup)(TestLine& line, int i);
  const char* Message;
};

// A 300 m train at 10 m/s on D's sections (D is controlled) or on the peregon of the line
// crashes with its message, ends where it stands and never moves again.
TEST(Crash, EachCaseGivesItsMessageAndStopsTheTrainForGood) {
  using L = TestLine&;
  const CrashCase cases[] = {
      {25, 395, [](L l, int) { l.Sim.State.Switches[2] = 1; },
       "Поезд сошел на стрелке набок на секции 01Ah"},
      {27, 395, [](L, int) {}, "Поезд сошел на стрелке прямо на секции 01Ah"},
      {29, 395, [](L, int) {}, "Поезд № 2 выехал за участок с секции 01Dh"},
      {4, 1495,
       [](L l, int) {
         const int b = l.Add({.Number = 4});
         l.Drive(b, 5, 800, 0, 0);
         l.Train(b).DEPARTURE_TIME = l.Sim.State.ClockTime + 1;  // standing
       },
       "Поезд № 2 столкнулся с поездом № 4 и сошел на секции 05h!"},
      {4, 1495, [](L l, int) { l.Sim.AreaData.SlSects[5].Straight[1] = 0; },  // 5 not back to 4
       "Поезд сошел на нестыкованной секции 05h"},
      {6, 1495,
       [](L l, int) {
         l.SetRoute(2, 0);
         l.Sim.State.Routes[l.LPIndex(2)][0].TASKED = l.Sim.State.ClockTime;  // being released
       },
       "Поезд на несобранном маршруте на секции 07h"},
      {4, 100,
       [](L l, int i) {
         l.Train(i).HEAD.LP_CODE = 99;
         l.Train(i).HEAD.ROUTE_IDX = 0;
         l.Sim.State.Sects[4].TRN_EVEN = -1;
         EXPECT_FALSE(CheckEntry(l.Sim, i, 3));
       },
       "Поезд на маршруте неизвестного ЛП на секции 04h"},
      {23, 200,
       [](L l, int i) {  // the head has passed switch 1 straight; the tail is still on it
         l.Train(i).TAIL.SECT_IDX = 20;
         l.Train(i).TAIL.SECT_POS = 300;
         l.Sim.State.Sects[20].TRN_EVEN = i;
         l.Sim.State.Switches[1] = 1;
       },
       "Поезд сошел на секции 018h(вероятно, из-за перевода стрелки под поездом)"}};
  for (const CrashCase& c : cases) {
    TestLine line;
    const int i = line.Add({.LP = 4});
    line.Drive(i, c.Section, c.Pos, 10, c.Section < 20 ? 0 : -1);
    c.Setup(line, i);
    line.Steps(30);
    ASSERT_FALSE(line.Console.Notes.empty()) << c.Message;
    EXPECT_EQ(line.Console.Notes.front(), c.Message);
    const TTrainData& t = line.Train(i);
    EXPECT_TRUE(t.SPEED == 0 && t.ARRIVAL_LP_CODE == t.HEAD.LP_CODE) << c.Message;
    const int sect = t.HEAD.SECT_IDX;
    const double where = t.HEAD.SECT_POS;
    // The graph ends the train's run where a crash in a step left it (the unknown-LP case
    // calls CheckEntry itself, outside a step).
    if (std::string(c.Message).find("неизвестного ЛП") == std::string::npos) {
      ASSERT_FALSE(line.Sim.State.PosLog.empty()) << c.Message;
      const TTrainPosLogEntry& last = line.Sim.State.PosLog.back();
      EXPECT_TRUE(last.NUMBER == t.NUMBER && last.SECT_IDX == sect && last.LOCO_POS == where)
          << c.Message;
    }
    line.Steps(200, true);
    EXPECT_TRUE(t.HEAD.SECT_IDX == sect && t.HEAD.SECT_POS == where) << c.Message;
  }
}

}  // namespace
}  // namespace traklin::test
