// Dwell rules, departures, locomotive changes and a whole trip through the district.
#include <gtest/gtest.h>

#include <cmath>

#include "state/clock.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/test_line.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

constexpr double kDay0 = 45000.0;  // 13 March 2023
constexpr double kSec = 1.0 / 86400;

double At(int hh, int mm, int ss = 0) {
  return kDay0 + (hh * 3600 + mm * 60 + ss) * kSec;
}

// Even direction runs to the right, kilometre marks fall that way.
//
//   A (1, km 15)             peregon 0              B (2, km 12)        peregon 1   C (3, km 9)
//   [1]-[2 A/I]>|-[3]-[4]--[5]--[6]>|-[7]-[8 B/I]>|-[9]-[11]>|-[12 C/I]-[13]
//                                           |<  (odd signal on 8)
const char* kTrip = R"(
station 1 Alfa 1 15
station 2 Beta 1 12
station 3 Gamma 1 9
section 1 500
section 2 1200
section 3 300
section 4 1500
section 5 1500
section 6 1500
section 7 300
section 8 1200
section 9 300
section 11 2000
section 12 1200
section 13 500
chain 1 2 3 4 5 6 7 8 9 11 12 13
track 1 2 1 3 0
track 2 8 1 3 0
track 3 12 1 3 0
signal 2 0 1
signal 6 0 0
signal 8 0 1
signal 8 1 1
signal 11 0 0
peregon 2 1 6 4 150 152
peregon 3 2 11 11 154 156
route 1 0 2 3
route 2 0 6 7 8
route 2 0 8 9
route 3 0 11 12
throat 2 1 1 1 7
pass 2 3
stop 0 1 0 1201 0
stop 0 2 1210 1212 0
stop 0 3 1220 1221 0
pass 10 3
stop 0 1 0 1150 0
stop 0 2 1200 1204 0
pass 12 3
stop 0 1 0 1150 0
stop 0 2 1200 1206 0
pass 14 3
stop 0 1 0 1150 0
stop 0 2 1200 1204 1
pass 16 3
stop 0 1 0 1150 0
stop 0 2 1200 1204 3
pass 18 3
stop 0 1 0 2350 0
stop 0 2 5 10 0
pass 20 1
stop 0 1 0 1200 0
stop 0 2 1210 1220 3
stop 0 1 1230 1231 0
)";

// A train standing on B's track as if it had just come to rest at its planned stop.
int StandAtB(TestLine& line, int number, int loadType = 100, int loco = 2) {
  const int i = line.AddTrain(number, loadType, 10, 300, 1000, loco, 0, 1, 3);
  TTrainData& t = line.Train(i);
  t.SCHEDULE_IDX = 1;
  t.STOP_LP_CODE = 2;
  EXPECT_TRUE(PutOnTrack(line.Sim, i, line.LPIndex(2), 0));
  t.PLACE_TIME = 0;
  MarkOccupied(line.Sim, i);
  t.HEAD.LP_CODE = t.TAIL.LP_CODE = 2;
  t.ARRIVAL_NOTIFIED = true;
  return i;
}

struct DwellCase {
  const char* What;
  int Number;
  double Clock;
  double LateCreation;  // minutes the train was created after its plan
  double Departure;
};

class DwellTest : public ::testing::TestWithParam<DwellCase> {};

TEST_P(DwellTest, DepartureTimeFollowsTheRules) {
  const DwellCase& c = GetParam();
  TestLine line(kTrip);
  line.Sim.State.ClockTime = At(11, 50);
  const int i = StandAtB(line, c.Number);
  line.Train(i).PLAN_CREATE_TIME = line.Train(i).CREATE_TIME - c.LateCreation / 1440;
  line.Sim.State.ClockTime = c.Clock;
  TrainStopped(line.Sim, i, true);
  EXPECT_NEAR((line.Train(i).DEPARTURE_TIME - kDay0) * 86400, (c.Departure - kDay0) * 86400, 1e-3)
      << c.What;
  EXPECT_TRUE(line.Train(i).DEPARTURE_SCHEDULED) << c.What;
  EXPECT_TRUE(line.Train(i).DEPARTURE_COMMISSION) << c.What;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DwellTest,
    ::testing::Values(
        DwellCase{"on time, 4-minute dwell", 10, At(12, 0), 0, At(12, 4)},
        DwellCase{"5 minutes late, 4-minute dwell: 1 minute", 10, At(12, 5), 0, At(12, 6)},
        DwellCase{"5 minutes late, 6-minute dwell: 2 minutes", 12, At(12, 5), 0, At(12, 7)},
        DwellCase{"late at a service stop: 10 minutes", 14, At(12, 5), 0, At(12, 15)},
        DwellCase{"late at a locomotive change: 12 minutes", 16, At(12, 5), 0, At(12, 17)},
        DwellCase{"created 10 minutes late, timetable shifted", 10, At(12, 10), 10, At(12, 14)},
        DwellCase{"late, but never before the scheduled departure", 12, At(12, 0, 20), 0,
                  At(12, 6)}));

TEST(Dwell, StopAfterMidnightIsAnchoredToTheNextDay) {
  TestLine line(kTrip);
  line.Sim.State.ClockTime = At(23, 50) - 1;  // the day before
  const int i = StandAtB(line, 18);
  line.Sim.State.ClockTime = At(0, 5);
  TrainStopped(line.Sim, i, true);
  EXPECT_NEAR((line.Train(i).DEPARTURE_TIME - At(0, 10)) * 86400, 0, 1e-3);
}

TEST(Dwell, FreightTrainAtItsStartStandsOneHour) {
  TestLine line(kTrip);
  const int i = StandAtB(line, 1001, 5);
  line.Train(i).CREATION_LP_CODE = 2;
  line.Train(i).ARRIVAL_NOTIFIED = false;
  line.Train(i).SCHEDULE_IDX = -1;
  TrainStopped(line.Sim, i, true);
  EXPECT_NEAR((line.Train(i).DEPARTURE_TIME - line.Sim.State.ClockTime) * 86400, 3600, 1e-3);
}

TEST(Dwell, FreightTrainWithoutTimetableStopStandsThirtySeconds) {
  TestLine line(kTrip);
  const int i = StandAtB(line, 1001, 5);
  line.Train(i).STOP_LP_CODE = line.Train(i).STOP_ADVICE_LP_CODE = 0;
  line.Train(i).SCHEDULE_IDX = -1;
  TrainStopped(line.Sim, i, true);
  EXPECT_NEAR((line.Train(i).DEPARTURE_TIME - line.Sim.State.ClockTime) * 86400, 30, 1e-3);
  EXPECT_FALSE(line.Train(i).DEPARTURE_SCHEDULED);
}

TEST(Dwell, LocomotiveChangeAddsTheNewLocomotiveWeight) {
  TestLine line(kTrip);
  line.Sim.State.ClockTime = At(12, 0);
  const int i = StandAtB(line, 16);
  TrainStopped(line.Sim, i, true);
  EXPECT_EQ(line.Train(i).LOCO_IDX, 3);
  EXPECT_EQ(line.Train(i).WEIGHT, 1000 - 120 + 100);
}

TEST(Dwell, TrainWithoutLocomotiveGetsOneAtItsPlannedStop) {
  TestLine line(kTrip);
  line.Sim.State.ClockTime = At(12, 0);
  const int reversing = StandAtB(line, 6002, 100, 0);
  TrainStopped(line.Sim, reversing, true);
  EXPECT_EQ(line.Train(reversing).LOCO_IDX, 3);
  EXPECT_EQ(line.Train(reversing).WEIGHT, 1100);
  RemoveTrain(line.Sim, reversing, true);
  const int other = StandAtB(line, 10, 100, 0);
  TrainStopped(line.Sim, other, true);
  EXPECT_EQ(line.Train(other).LOCO_IDX, 2);
}

TEST(LocoChange, TurnaroundWhenTheNextStopLiesBehind) {
  TestLine line(kTrip);
  line.Sim.State.ClockTime = At(12, 10);
  const int i = StandAtB(line, 20);
  const double head = line.Train(i).HEAD.SECT_POS;
  const double tail = line.Train(i).TAIL.SECT_POS;
  TrainStopped(line.Sim, i, true);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(t.HEAD.DIR, 1);
  EXPECT_EQ(t.TAIL.DIR, 1);
  EXPECT_DOUBLE_EQ(t.HEAD.SECT_POS, tail);
  EXPECT_DOUBLE_EQ(t.TAIL.SECT_POS, head);
  EXPECT_EQ(line.Sim.State.Sects[8].TRN_ODD, i);
  EXPECT_EQ(line.Sim.State.Sects[8].TRN_EVEN, -1);
  EXPECT_EQ(t.SEMAPH_NEXT_IDX, 3);
  EXPECT_EQ(t.SECT_NEXT_IDX, 7);
  EXPECT_EQ(t.LOCO_IDX, 3);
  EXPECT_TRUE(line.Console.Notes.empty());
}

TEST(LocoChange, TurnaroundWithoutSignalLeavesTrainAsItWas) {
  TestLine line(kTrip);
  line.Sim.AreaData.SlSects[8].Semaphore[1] = -1;
  const int i = StandAtB(line, 20);
  LocoChange(line.Sim, i, 3);
  ASSERT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_EQ(line.Console.Notes[0],
            "Поезд № 20 должен быть принят на путь со светофором в обратном направлении.");
  EXPECT_EQ(line.Train(i).HEAD.DIR, 0);
  EXPECT_EQ(line.Train(i).LOCO_IDX, 2);
  EXPECT_EQ(line.Train(i).WEIGHT, 1000);
  EXPECT_EQ(line.Sim.State.Sects[8].TRN_EVEN, i);
}

TEST(LocoChange, RefusedWhenTrainDoesNotFitOrIsOutsideAnLP) {
  TestLine line(kTrip);
  const int i = StandAtB(line, 10);
  line.Train(i).TAIL.SECT_IDX = 7;
  LocoChange(line.Sim, i, 3);
  line.Train(i).TAIL.SECT_IDX = 8;
  line.Train(i).HEAD.LP_CODE = 0;
  LocoChange(line.Sim, i, 3);
  ASSERT_EQ(line.Console.Notes.size(), 2u);
  EXPECT_EQ(line.Console.Notes[0],
            "Поезд № 10 не поместился на секции 08h пути для смены локомотива.");
  EXPECT_EQ(line.Console.Notes[1], "Поезд № 10 должен быть принят на путь для смены локомотива.");
  EXPECT_EQ(line.Train(i).LOCO_IDX, 2);
}

TEST(PutOnTrack, TooShortTrackKeepsTrainWaiting) {
  TestLine line(kTrip);
  const int i = line.AddTrain(2, 100, 10, 1199, 1000, 2, 0, 1, 3);
  EXPECT_FALSE(PutOnTrack(line.Sim, i, line.LPIndex(1), 0));
  ASSERT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_EQ(line.Console.Notes[0], "Поезд № 2 не поместится на 1 пути Alfa.");
  EXPECT_EQ(line.Train(i).HEAD.SECT_IDX, 0);
  line.Train(i).LEN = 1198;  // exactly fits: margins of 1 m
  EXPECT_TRUE(PutOnTrack(line.Sim, i, line.LPIndex(1), 0));
  EXPECT_DOUBLE_EQ(line.Train(i).HEAD.SECT_POS, 1199);
  EXPECT_DOUBLE_EQ(line.Train(i).TAIL.SECT_POS, 1);
  EXPECT_DOUBLE_EQ(line.Train(i).LOCO_POS, 15000 + 600 - 1199);
  EXPECT_NEAR((line.Train(i).PLACE_TIME - line.Sim.State.ClockTime) * 1440, 5, 1e-6);
  EXPECT_TRUE(line.Sim.State.Lamps[2].YELLOW_BLINK);
  ReleaseMadeUp(line.Sim, i);
  EXPECT_TRUE(line.Sim.State.Lamps[2].RED);
  EXPECT_FALSE(line.Sim.State.Lamps[2].YELLOW_BLINK);
}

// ---------------------------------------------------------------------------
// Departures

int ReadyAtA(TestLine& line, int number = 2) {
  const int i = line.AddTrain(number, 100, 10, 300, 1000, 2, 0, 1, 3);
  EnterLP(line.Sim, i, 1);
  line.Place(i, 1, 0);
  return i;
}

int CallsUntilDeparture(unsigned seed) {
  TestLine line(kTrip, seed);
  const int i = ReadyAtA(line);
  line.SetRoute(1, 0);
  for (int k = 1; k <= 2000; ++k) {
    line.Sim.State.ClockTime += kStepLength;
    DepartTrains(line.Sim);
    if (line.Train(i).DEPARTURE_TIME == 0) return k;
  }
  return -1;
}

TEST(DepartTrains, ReadyTrainStartsAtARandomMomentAfterItsDwell) {
  const int k = CallsUntilDeparture(7);
  EXPECT_GT(k, 60);  // not before the 30 s dwell
  EXPECT_LT(k, 60 + 400);
  EXPECT_EQ(CallsUntilDeparture(7), k);  // the same seed repeats the run
  int total = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) total += CallsUntilDeparture(seed) - 60;
  EXPECT_GT(total / 20, 5);  // ten seconds (20 steps) on average
  EXPECT_LT(total / 20, 45);
}

TEST(DepartTrains, DepartureClearsTheStopAndIsReported) {
  TestLine line(kTrip);
  const int i = ReadyAtA(line);
  line.SetRoute(1, 0);
  line.Sim.State.ClockTime = At(12, 7);
  for (int k = 0; k < 400 && line.Train(i).DEPARTURE_TIME != 0; ++k) DepartTrains(line.Sim);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(t.DEPARTURE_TIME, 0);
  EXPECT_EQ(t.STOP_SECT_IDX, 0);
  ASSERT_EQ(line.Console.Infos.size(), 1u);
  EXPECT_EQ(line.Console.Infos[0].Caption, "ДСП Alfa");
  EXPECT_EQ(line.Console.Infos[0].Text, "Поезд № 2 отправился в  7 мин.");
  EXPECT_TRUE(t.DEPARTURE_NOTIFIED);
}

TEST(DepartTrains, ClosedExitSignalHoldsTheTrain) {
  TestLine line(kTrip);
  const int i = ReadyAtA(line);
  line.Sim.State.ClockTime = At(12, 7);
  for (int k = 0; k < 400; ++k) DepartTrains(line.Sim);
  EXPECT_NE(line.Train(i).DEPARTURE_TIME, 0);
  EXPECT_TRUE(line.Console.Notes.empty());  // a station signal (kind 1) rings nothing
}

TEST(DepartTrains, TrainHeldAtEntrySignalRingsOnceUntilTheRequestGoesStale) {
  TestLine line(kTrip);
  const int i = line.AddTrain(2, 100, 10, 300, 1000, 2, 0, 1, 3);
  TTrainData& t = line.Train(i);
  t.HEAD.SECT_IDX = t.TAIL.SECT_IDX = 6;
  t.HEAD.SECT_POS = 1490;
  t.TAIL.SECT_POS = 1190;
  t.HEAD.LP_CODE = 0;
  t.HEAD.PEREGON_IDX = 0;
  t.SEMAPH_NEXT_IDX = 1;
  t.DEPARTURE_TIME = line.Sim.State.ClockTime - kSec;
  t.DEPARTURE_COMMISSION = true;
  for (int k = 0; k < 400; ++k) {
    line.Sim.State.ClockTime += kStepLength;
    DepartTrains(line.Sim);
  }
  ASSERT_EQ(line.Console.Notes.size(), 1u);
  EXPECT_EQ(line.Console.Notes[0], "");
  EXPECT_NE(line.Train(i).DEPARTURE_TIME, 0);

  // A receive task of the throat ahead already deals with the train: no further ring.
  line.Sim.AreaData.GorlStanzs[0].EntrySection = 7;
  line.Sim.State.Gorls[0].TASKED = line.Sim.State.ClockTime;
  line.Sim.State.ClockTime += 1;
  for (int k = 0; k < 400; ++k) DepartTrains(line.Sim);
  EXPECT_EQ(line.Console.Notes.size(), 1u);
}

TEST(DepartTrains, TrainAtItsDestinationOnASuitableTrackIsDisbanded) {
  TestLine line(kTrip);
  const int i = line.AddTrain(2, 100, 10, 300, 1000, 2, 0, 3, 3);
  line.Place(i, 3, 0);
  line.Sim.State.ClockTime += 1.0 / 24;
  for (int k = 0; k < 400 && !line.Sim.State.Trains.empty(); ++k) DepartTrains(line.Sim);
  EXPECT_TRUE(line.Sim.State.Trains.empty());
  EXPECT_EQ(line.Sim.State.Sects[12].TRN_EVEN, -1);
}

TEST(DepartTrains, UnsuitableTrackAtDestinationKeepsTheTrain) {
  TestLine line(kTrip);
  line.Sim.AreaData.Puts[2].Tracks[0].Mode = 2;  // only trains created here
  const int i = line.AddTrain(2, 100, 10, 300, 1000, 2, 0, 3, 3);
  line.Place(i, 3, 0);
  line.Train(i).CREATION_LP_CODE = 1;
  line.Sim.State.ClockTime += 1.0 / 24;
  for (int k = 0; k < 400; ++k) DepartTrains(line.Sim);
  EXPECT_EQ(line.Sim.State.Trains.size(), 1u);
  EXPECT_EQ(line.Sim.State.Sects[12].TRN_EVEN, 0);
}

// ---------------------------------------------------------------------------

TEST(Trip, PassengerTrainRunsStopsDwellsDepartsAndIsDisbanded) {
  TestLine line(kTrip);
  line.Sim.State.ClockTime = At(12, 0);
  const int i = ReadyAtA(line);
  EXPECT_EQ(line.Train(i).NEXT_LP_CODE, 2);
  line.SetRoute(1, 0);
  line.SetRoute(2, 0);
  line.SetRoute(2, 1);
  line.SetRoute(3, 0);
  line.Sim.State.PosLog.clear();

  double stoppedAtB = 0;
  double bPos = 0;
  double bLoco = 0;
  int steps = 0;
  while (!line.Sim.State.Trains.empty() && steps < 6000) {
    line.Steps(1, true);
    ++steps;
    if (line.Sim.State.Trains.empty()) break;
    const TTrainData& t = line.Train(i);
    if (stoppedAtB == 0 && t.HEAD.SECT_IDX == 8 && t.SPEED == 0) {
      stoppedAtB = line.Sim.State.ClockTime;
      bPos = t.HEAD.SECT_POS;
      bLoco = t.LOCO_POS;
    }
  }
  ASSERT_TRUE(line.Sim.State.Trains.empty()) << "still running after " << steps << " steps";
  EXPECT_TRUE(line.Console.Notes.empty()) << line.Console.Notes.front();

  // Stopped centred on B's track (450 m margin at each end, less the 20 m safety margin).
  ASSERT_NE(stoppedAtB, 0);
  EXPECT_GT(bPos, 725);
  EXPECT_LE(bPos, 750);
  EXPECT_DOUBLE_EQ(bLoco, 12000 + 600 - bPos);
  EXPECT_LT(stoppedAtB, At(12, 12));

  const auto& infos = line.Console.Infos;
  ASSERT_EQ(infos.size(), 4u);
  EXPECT_EQ(infos[0].Caption, "ДСП Alfa");
  EXPECT_EQ(infos[0].Text, "Поезд № 2 отправился в  0 мин.");
  EXPECT_EQ(infos[1].Caption, "ДСП Beta");
  EXPECT_EQ(infos[1].Text.rfind("Поезд № 2 прибыл в ", 0), 0u);
  EXPECT_EQ(infos[2].Text, "Поезд № 2 отправился в 12 мин.");
  EXPECT_EQ(infos[3].Caption, "ДСП Gamma");
  EXPECT_EQ(infos[3].Text.rfind("Поезд № 2 прибыл в ", 0), 0u);

  // Key points: departure from A, both peregon ends, the stop at B, ... and the removal.
  int keyPoints = 0;
  for (const auto& e : line.Sim.State.PosLog) keyPoints += e.KEY_POINT ? 1 : 0;
  EXPECT_GE(keyPoints, 4);
  EXPECT_EQ(line.Sim.State.PosLog.back().SECT_IDX, 12);
  for (int s = 1; s <= 13; ++s) {
    EXPECT_EQ(line.Sim.State.Sects[s].TRN_EVEN, -1) << s;
    EXPECT_EQ(line.Sim.State.Sects[s].ROUTE_EVEN, -1) << s;
    EXPECT_EQ(line.Sim.State.Sects[s].ROUTE_ODD, -1) << s;
  }
}

}  // namespace
}  // namespace traklin::test
