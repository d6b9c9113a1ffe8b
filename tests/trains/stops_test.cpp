// Dwell rules, locomotive changes, putting a train out, and departures.
#include <gtest/gtest.h>

#include <tuple>

#include "state/clock.h"
#include "trains/harness.h"
#include "trains/station_messages.h"
#include "trains/stops.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

constexpr double kDay0 = 45000.0;  // 13 March 2023
constexpr double kSec = 1.0 / 86400;

double At(int hh, int mm, int ss = 0) {
  return kDay0 + (hh * 3600 + mm * 60 + ss) * kSec;
}

// A train standing on B's track as if it had just come to rest at its planned stop.
int StandAtB(TestLine& line, int number, int load = 100, int loco = 2) {
  const int i = line.Add({.Number = number, .Load = load, .Loco = loco});
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
  double Clock, LateCreation;  ///< minutes the train was created after its plan
  double Departure;
  double Created = At(11, 50);
};

TEST(Dwell, DepartureTimeFollowsTheRules) {
  const DwellCase cases[] = {
      {"on time, 4-minute dwell", 10, At(12, 0), 0, At(12, 4)},
      {"5 minutes late, 4-minute dwell: 1 minute", 10, At(12, 5), 0, At(12, 6)},
      {"5 minutes late, 6-minute dwell: 2 minutes", 12, At(12, 5), 0, At(12, 7)},
      {"late at a service stop: 10 minutes", 14, At(12, 5), 0, At(12, 15)},
      {"late at a locomotive change: 12 minutes", 16, At(12, 5), 0, At(12, 17)},
      {"created 10 minutes late, timetable shifted", 10, At(12, 10), 10, At(12, 14)},
      {"late, but never before the scheduled departure", 12, At(12, 0, 20), 0, At(12, 6)},
      {"after midnight: anchored to the next day", 18, At(0, 5), 0, At(0, 10), At(23, 50) - 1}};
  for (const DwellCase& c : cases) {
    TestLine line;
    line.Sim.State.ClockTime = c.Created;
    const int i = StandAtB(line, c.Number);
    line.Train(i).PLAN_CREATE_TIME = line.Train(i).CREATE_TIME - c.LateCreation / 1440;
    line.Sim.State.ClockTime = c.Clock;
    TrainStopped(line.Sim, i, true);
    EXPECT_NEAR((line.Train(i).DEPARTURE_TIME - c.Departure) * 86400, 0, 1e-3) << c.What;
    EXPECT_TRUE(line.Train(i).DEPARTURE_SCHEDULED && line.Train(i).DEPARTURE_COMMISSION) << c.What;
  }
}

TEST(Dwell, FreightTrainWithoutTimetableStandsAnHourAtItsStartAndHalfAMinuteElsewhere) {
  for (const bool atStart : {true, false}) {
    TestLine line;
    const int i = StandAtB(line, 1001, 5);
    TTrainData& t = line.Train(i);
    t.SCHEDULE_IDX = -1;
    if (atStart)
      t.CREATION_LP_CODE = 2, t.ARRIVAL_NOTIFIED = false;
    else
      t.STOP_LP_CODE = t.STOP_ADVICE_LP_CODE = 0;
    TrainStopped(line.Sim, i, true);
    EXPECT_NEAR((t.DEPARTURE_TIME - line.Sim.State.ClockTime) * 86400, atStart ? 3600 : 30, 1e-3);
    if (!atStart) {
      EXPECT_FALSE(t.DEPARTURE_SCHEDULED);
    }
  }
}

TEST(LocoChange, AtItsPlannedStopTheTrainTakesTheNewLocomotiveAndItsWeight) {
  struct Case {
    int Number, Loco, NewLoco, Weight;
  };
  // 16 changes to type 3 (120 t for 100 t); a reversing train without one gets type 3, a
  // passenger train without one the type of its timetable stop (2).
  for (const Case c : {Case{16, 2, 3, 980}, Case{6002, 0, 3, 1100}, Case{10, 0, 2, 1120}}) {
    TestLine line;
    line.Sim.State.ClockTime = At(12, 0);
    const int i = StandAtB(line, c.Number, 100, c.Loco);
    TrainStopped(line.Sim, i, true);
    EXPECT_EQ(line.Train(i).LOCO_IDX, c.NewLoco) << c.Number;
    EXPECT_EQ(line.Train(i).WEIGHT, c.Weight) << c.Number;
  }
}

TEST(LocoChange, TurnaroundWhenTheNextStopLiesBehind) {
  TestLine line;
  line.Sim.State.ClockTime = At(12, 10);
  const int i = StandAtB(line, 20);
  const double head = line.Train(i).HEAD.SECT_POS, tail = line.Train(i).TAIL.SECT_POS;
  TrainStopped(line.Sim, i, true);
  const TTrainData& t = line.Train(i);
  const TSectionSchuntData& x = line.Sim.State.Sects[8];
  // Head and tail swap ends, both now odd; the odd signal on 8 and section 7 lie ahead.
  EXPECT_EQ(std::tuple(t.HEAD.DIR, t.TAIL.DIR, t.HEAD.SECT_POS, t.TAIL.SECT_POS),
            std::tuple(1, 1, tail, head));
  EXPECT_EQ(std::tuple(x.TRN_ODD, x.TRN_EVEN, t.SEMAPH_NEXT_IDX, t.SECT_NEXT_IDX, t.LOCO_IDX),
            std::tuple(i, -1, 3, 7, 3));
  EXPECT_TRUE(line.Console.Notes.empty());
}

TEST(LocoChange, TurnaroundWithoutSignalLeavesTrainAsItWas) {
  TestLine line;
  line.Sim.AreaData.SlSects[8].Semaphore[1] = -1;
  const int i = StandAtB(line, 20);
  LocoChange(line.Sim, i, 3);
  EXPECT_EQ(line.Console.Notes, std::vector<std::string>{"Поезд № 20 должен быть принят на путь "
                                                         "со светофором в обратном направлении."});
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(std::tuple(t.HEAD.DIR, t.LOCO_IDX, t.WEIGHT, line.Sim.State.Sects[8].TRN_EVEN),
            std::tuple(0, 2, 1000, i));
}

TEST(LocoChange, RefusedWhenTrainDoesNotFitOrIsOutsideAnLP) {
  TestLine line;
  const int i = StandAtB(line, 10);
  line.Train(i).TAIL.SECT_IDX = 7;
  LocoChange(line.Sim, i, 3);
  line.Train(i).TAIL.SECT_IDX = 8;
  line.Train(i).HEAD.LP_CODE = 0;
  LocoChange(line.Sim, i, 3);
  EXPECT_EQ(
      line.Console.Notes,
      (std::vector<std::string>{"Поезд № 10 не поместился на секции 08h пути для смены локомотива.",
                                "Поезд № 10 должен быть принят на путь для смены локомотива."}));
  EXPECT_EQ(line.Train(i).LOCO_IDX, 2);
}

TEST(PutOnTrack, TooShortTrackKeepsTrainWaitingAnExactFitIsCentred) {
  TestLine line;
  const int i = line.Add({.Len = 1199});
  EXPECT_FALSE(PutOnTrack(line.Sim, i, line.LPIndex(1), 0));
  EXPECT_EQ(line.Console.Notes,
            std::vector<std::string>{"Поезд № 2 не поместится на 1 пути Alfa."});
  EXPECT_EQ(line.Train(i).HEAD.SECT_IDX, 0);
  line.Train(i).LEN = 1198;  // exactly fits: margins of 1 m
  EXPECT_TRUE(PutOnTrack(line.Sim, i, line.LPIndex(1), 0));
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(std::tuple(t.HEAD.SECT_POS, t.TAIL.SECT_POS, t.LOCO_POS),
            std::tuple(1199, 1, 15000 + 600 - 1199));
  EXPECT_NEAR((line.Train(i).PLACE_TIME - line.Sim.State.ClockTime) * 1440, 5, 1e-6);
  EXPECT_TRUE(line.Sim.State.Lamps[2].RED && !line.Sim.State.Lamps[2].YELLOW_BLINK);
  ReleaseMadeUp(line.Sim, i);
  EXPECT_TRUE(line.Sim.State.Lamps[2].RED && !line.Sim.State.Lamps[2].YELLOW_BLINK);
}

TEST(PutOnTrack, TheCoordinateOnATrackOfOddLengthFollowsEachDirectionsFormula) {
  // A 1201 m track at km 15: its half length is 600 m in whole metres.
  TestLine line("station 1 Alfa 1 15; section 2 1201; track 1 2 1 3 0");
  struct Case {
    int Dir, Len;
    double Head, Tail, Coordinate;
  };
  const Case cases[] = {
      {0, 300, 1181, 881, 15000 - 600 + 20},  // margin 20 m
      {1, 300, 20, 320, 15000 + 600 - 20},
      {0, 1199, 1200, 1, 15000 - 600 + 1},  // margin 1 m
      {1, 1199, 1, 1200, 15000 + 600 - 1},
  };
  for (const Case& c : cases) {
    const int i = line.Add({.Dir = c.Dir, .Len = c.Len});
    ASSERT_TRUE(PutOnTrack(line.Sim, i, 0, 0));
    const TTrainData& t = line.Train(i);
    EXPECT_EQ(std::tuple(t.HEAD.SECT_POS, t.TAIL.SECT_POS, t.LOCO_POS),
              std::tuple(c.Head, c.Tail, c.Coordinate))
        << "direction " << c.Dir << ", " << c.Len << " m";
    RemoveTrain(line.Sim, i, true);
  }
}

// ---------------------------------------------------------------------------
// Departures

int ReadyAtA(TestLine& line) {
  const int i = line.Add({});
  EnterLP(line.Sim, i, 1);
  line.Place(i, 1, 0);
  return i;
}

// Calls of DepartTrains, one step apart, until the ready train at A starts; -1 if it never does.
int CallsUntilDeparture(unsigned seed, bool routeSet = true) {
  TestLine line(kLine, seed);
  const int i = ReadyAtA(line);
  if (routeSet) line.SetRoute(1, 0);
  for (int k = 1; k <= 2000; ++k) {
    line.Sim.State.ClockTime += kStepLength;
    DepartTrains(line.Sim);
    if (line.Train(i).DEPARTURE_TIME == 0) return k;
  }
  EXPECT_TRUE(line.Console.Notes.empty());  // a closed station signal (kind 1) rings nothing
  return -1;
}

TEST(DepartTrains, ReadyTrainStartsAtARandomMomentAfterItsDwellWhenItsSignalIsOpen) {
  const int k = CallsUntilDeparture(7);
  EXPECT_GT(k, 60);  // not before the 30 s dwell
  EXPECT_LT(k, 60 + 400);
  EXPECT_EQ(CallsUntilDeparture(7), k);  // the same seed repeats the run
  int total = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) total += CallsUntilDeparture(seed) - 60;
  EXPECT_GT(total / 20, 5);  // ten seconds (20 steps) on average
  EXPECT_LT(total / 20, 45);
  EXPECT_EQ(CallsUntilDeparture(7, false), -1);
}

TEST(DepartTrains, TrainHeldAtEntrySignalRingsOnceUntilTheRequestGoesStale) {
  TestLine line;
  const int i = line.Add({});
  TTrainData& t = line.Train(i);
  line.Drive(i, 6, 1490, 0, 0);
  t.DEPARTURE_TIME = line.Sim.State.ClockTime - kSec;
  for (int k = 0; k < 400; ++k) {
    line.Sim.State.ClockTime += kStepLength;
    DepartTrains(line.Sim);
  }
  EXPECT_EQ(line.Console.Notes, std::vector<std::string>{""});
  EXPECT_NE(line.Train(i).DEPARTURE_TIME, 0);
  // A task of the throat whose entry section holds the train deals with it: no further ring.
  line.Sim.State.Gorls[0].TASKED = line.Sim.State.ClockTime;
  line.Sim.State.ClockTime += 1;
  for (int k = 0; k < 400; ++k) DepartTrains(line.Sim);
  EXPECT_EQ(line.Console.Notes.size(), 1u);
}

TEST(DepartTrains, TrainAtItsDestinationIsDisbandedOnlyOnASuitableTrack) {
  for (const int mode : {0, 2}) {  // 2: only for trains created here
    TestLine line;
    line.Sim.AreaData.Puts[2].Tracks[0].Mode = mode;
    const int i = line.Add({.LP = 3});
    line.Place(i, 3, 0);
    line.Train(i).CREATION_LP_CODE = 1;
    line.Sim.State.ClockTime += 1.0 / 24;
    for (int k = 0; k < 400; ++k) DepartTrains(line.Sim);
    EXPECT_EQ(line.Sim.State.Trains.size(), mode == 0 ? 0u : 1u) << mode;
    EXPECT_EQ(line.Sim.State.Sects[12].TRN_EVEN, mode == 0 ? -1 : 0) << mode;
  }
}

}  // namespace
}  // namespace traklin::test
