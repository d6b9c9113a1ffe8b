// Train creation: plan calendars, timetable trains, freights, random plans, waiting trains.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "area/date_time.h"
#include "state/clock.h"
#include "state/interlocking.h"
#include "trains/harness.h"
#include "trains/train_creation.h"
#include "trains/train_motion.h"
#include "trains/train_records.h"

namespace traklin::test {
namespace {

constexpr double kDay0 = 45000.0;  // Wednesday, 15 March 2023
constexpr double kSec = 1.0 / 86400;

double At(int hh, int mm, int ss = 0) {
  return kDay0 + (hh * 3600 + mm * 60 + ss) * kSec;
}

// ---------------------------------------------------------------------------
// Calendars

TCreationPlanData Calendar(int kind, std::vector<int> days, int start = 0, int end = 0) {
  TCreationPlanData p;
  p.Periodicity = kind;
  p.Days = std::move(days);
  p.DayCount = static_cast<int>(p.Days.size());
  p.StartDate = start;
  p.EndDate = end;
  return p;
}

TEST(PlanRunsOn, CalendarTable) {
  struct Case {
    const char* What;
    TCreationPlanData Plan;
    int Month, Day;
    bool Runs;
  };
  const Case cases[] = {
      {"daily", Calendar(0, {}), 3, 13, true},
      {"unknown kind counts as daily", Calendar(9, {}), 3, 13, true},
      {"odd days on the 13th", Calendar(1, {}), 3, 13, true},
      {"odd days on the 14th", Calendar(1, {}), 3, 14, false},
      {"even days on the 13th", Calendar(2, {}), 3, 13, false},
      {"even days on the 14th", Calendar(2, {}), 3, 14, true},
      {"listed date", Calendar(3, {101, 313}), 3, 13, true},
      {"date not listed", Calendar(3, {314}), 3, 13, false},
      {"listed day of month", Calendar(4, {1, 13}), 3, 13, true},
      {"day of month not listed", Calendar(4, {12}), 3, 13, false},
      {"Monday listed", Calendar(5, {1}), 3, 13, true},
      {"Tuesday, Wednesday listed on a Monday", Calendar(5, {2, 3}), 3, 13, false},
      {"Sunday listed", Calendar(5, {7}), 3, 19, true},
      {"service starts tomorrow", Calendar(0, {}, 314, 1231), 3, 13, false},
      {"service starts today", Calendar(0, {}, 313, 1231), 3, 13, true},
      {"service ended yesterday", Calendar(0, {}, 101, 312), 3, 13, false},
      {"service ends today", Calendar(0, {}, 101, 313), 3, 13, true},
      {"starts 31 February: not on 28 February", Calendar(0, {}, 231, 1231), 2, 28, false},
      {"starts 31 February: runs on 1 March", Calendar(0, {}, 231, 1231), 3, 1, true},
      {"starts on day 0 of January", Calendar(0, {}, 100, 1231), 1, 1, true},
      {"only an end, on day 29 of month 0: never", Calendar(0, {}, 0, 29), 1, 1, false},
      {"listed 31 February never matches", Calendar(3, {231}), 3, 3, false},
      // A first date after the last runs over the New Year.
      {"December to January, in December", Calendar(0, {}, 1201, 131), 12, 15, true},
      {"December to January, in January", Calendar(0, {}, 1201, 131), 1, 15, true},
      {"December to January, in February", Calendar(0, {}, 1201, 131), 2, 1, false},
      {"December to January, in November", Calendar(0, {}, 1201, 131), 11, 30, false},
      {"30 December .. 2 January, on 29 December", Calendar(0, {}, 1230, 102), 12, 29, false},
      {"30 December .. 2 January, on 30 December", Calendar(0, {}, 1230, 102), 12, 30, true},
      {"30 December .. 2 January, on 31 December", Calendar(0, {}, 1230, 102), 12, 31, true},
      {"30 December .. 2 January, on 1 January", Calendar(0, {}, 1230, 102), 1, 1, true},
      {"30 December .. 2 January, on 2 January", Calendar(0, {}, 1230, 102), 1, 2, true},
      {"30 December .. 2 January, on 3 January", Calendar(0, {}, 1230, 102), 1, 3, false},
      {"over the New Year, odd days, on 31 December", Calendar(1, {}, 1230, 102), 12, 31, true},
      {"over the New Year, odd days, on 2 January", Calendar(1, {}, 1230, 102), 1, 2, false},
      // Only one of the two dates: no wrap.
      {"from 30 December only, on 31 December", Calendar(0, {}, 1230, 0), 12, 31, true},
      {"from 30 December only, on 1 January", Calendar(0, {}, 1230, 0), 1, 1, false},
      {"until 2 January only, on 1 January", Calendar(0, {}, 0, 102), 1, 1, true},
      {"until 2 January only, on 31 December", Calendar(0, {}, 0, 102), 12, 31, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PlanRunsOn(c.Plan, EncodeDate(2023, c.Month, c.Day) + 0.5), c.Runs) << c.What;
}

// ---------------------------------------------------------------------------
// A two-station line

// clang-format off
/// Even runs to the right, from A to B.
///
///   A (1, km 10)                                  B (2, km 5)
///   [1]-[2 A/1 600 m]-[3]>|------[4]------|<[5]-[6 B/1 600 m]-[7]
///        [8 A/2 100 m]-/  (routes lead from both A tracks to 3, from B's track to 5)
///
/// Timetable: 2 (A 12:05 -> B 12:20, locomotive 2), 3 (B 12:40 -> A 13:00), 4 (A with the
/// undefined locomotive 9), freight 1001 (B 13:00 -> A).
// clang-format on
const char* const kTwoStations = R"(
station 1 Alfa 1 10; station 2 Beta 1 5
sections 600 2 6; sections 300 1 3 5 7; section 4 3000; section 8 100
chain 1 2 3 4 5 6 7
track 1 2 1 3 0; track 1 8 2 3 0; track 2 6 1 3 0
peregon 2 1 4 4 150 152
route 1 0 2 3; route 1 0 8 3; route 2 1 6 5
throat 1 0 1 1 3; throat 2 1 1 1 5
pass 2 2; stop 0 1 0 1205 2; stop 0 2 1220 1221 0
pass 3 1; stop 0 2 0 1240 2; stop 0 1 1300 1301 0
pass 4 2; stop 0 1 0 1205 9; stop 0 2 1220 1221 0
)";

TCreationPlanData Plan(int hhmm, int number, int from, int to, int cars, int load = 0) {
  TCreationPlanData p;
  p.Time = hhmm;
  p.Number = number;
  p.CreationPoint = from;
  p.ArrivalPoint = to;
  p.Cars = cars;
  p.LoadType = load;
  return p;
}

struct Created {
  int Number;
  TrainSource Source;
};

// The two-station line with a chain for every route, the freight timetable and a log of
// the trains the creation passes report as created.
struct CreationLine : TestLine {
  std::vector<Created> Log;

  explicit CreationLine(unsigned seed = 1) : TestLine(kTwoStations, seed) {
    TAreaData& area = Sim.AreaData;
    for (TLPRoutesData& lp : area.TrainRoutes)
      for (int r = 0; r < static_cast<int>(lp.Routes.size()); ++r) {
        TChainData& c = lp.Chains.emplace_back();
        c.StartSection = lp.Routes[r].FirstSection;
        c.EndSection = lp.Routes[r].LastSection;
        c.Routes[0] = r;
      }
    TGraphTrainData freight;
    freight.Numbers[0] = 1001;
    freight.LastLP = 1;
    freight.Stops = {TStopData{0, 2, 0, 1300, 2}, TStopData{0, 1, 1320, 1321, 0}};
    area.GruzTrains[1].push_back(freight);
    area.FreightNumbering[0] = 1001;
    area.FreightNumbering[1] = 1040;
    area.Stations[50].Name = "Far";  // beyond the district, entering at A
    area.Stations[50].LPCode = 1;
    Sim.Settings.RandomFreightsNumberDeviation = 0;
    Sim.OnTrainCreated = [this](int i, TrainSource s) {
      Log.push_back({Sim.State.Trains.at(i).NUMBER, s});
    };
  }

  void AddPlan(const TCreationPlanData& p) { Sim.AreaData.CreationPlans.push_back(p); }

  void RunFrom(double clock, int n) {
    Sim.State.ClockTime = clock;
    Run(n);
  }
  // The three creation passes, n steps of half a second from the clock on.
  void Run(int n) {
    for (int k = 0; k < n; ++k) {
      CreateFreightTrains(Sim);
      CreatePlannedTrains(Sim);
      ServeWaitingTrains(Sim);
      Sim.State.ClockTime += kStepLength;
    }
  }
  int Find(int number) const {
    for (int i = 0; i < static_cast<int>(Sim.State.Trains.size()); ++i)
      if (Sim.State.Trains[i].NUMBER == number) return i;
    return -1;
  }
  int CountNotes(const std::string& text) const {
    return static_cast<int>(std::count(Console.Notes.begin(), Console.Notes.end(), text));
  }
  int CountInfos(const std::string& text) const {
    return static_cast<int>(std::count_if(Console.Infos.begin(), Console.Infos.end(),
                                          [&](const auto& b) { return b.Text == text; }));
  }
};

// Direction, end LPs and timetable position of a new train.
void ExpectNewTrain(const TTrainData& t, int dir, int from, int to, int scheduleIdx) {
  EXPECT_EQ(t.HEAD.DIR, dir);
  EXPECT_EQ(t.TAIL.DIR, dir);
  EXPECT_EQ(t.CREATION_LP_CODE, from);
  EXPECT_EQ(t.ARRIVAL_LP_CODE, to);
  EXPECT_EQ(t.HEAD.LP_CODE, from);
  EXPECT_EQ(t.SCHEDULE_IDX, scheduleIdx);
}

// ---------------------------------------------------------------------------
// Timetable trains

TEST(CreatePlannedTrains, TrainAtItsMinuteOnceThenPutOutAndReleased) {
  CreationLine line;
  line.AddPlan(Plan(1200, 2, 1, 2, 10));
  line.RunFrom(At(12, 0), 120);  // the whole minute

  ASSERT_EQ(line.Log.size(), 1u);
  EXPECT_EQ(line.Log[0].Number, 2);
  EXPECT_EQ(line.Log[0].Source, TrainSource::Timetable);
  ASSERT_EQ(line.Sim.State.Trains.size(), 1u);
  const TTrainData& t = line.Train(0);
  ExpectNewTrain(t, 0, 1, 2, 0);
  EXPECT_EQ(t.LOAD_TYPE, 100);
  EXPECT_GE(t.CARS, 10);
  EXPECT_LE(t.CARS, 12);
  EXPECT_EQ(t.LEN, 20 + 26 * t.CARS);
  EXPECT_EQ(t.WEIGHT, 120 + 60 * t.CARS);
  EXPECT_DOUBLE_EQ(t.CREATE_TIME, At(12, 0));
  EXPECT_DOUBLE_EQ(t.PLAN_CREATE_TIME, t.CREATE_TIME);
  // A self-acting LP puts it out on the only track it fits on, for five minutes.
  EXPECT_EQ(line.CountInfos("Выставляется поезд № 2"), 1);
  EXPECT_EQ(t.HEAD.SECT_IDX, 2);
  EXPECT_DOUBLE_EQ(t.PLACE_TIME, At(12, 5));
  line.Run(5 * 120 + 2);
  EXPECT_EQ(line.Train(0).PLACE_TIME, 0);
  EXPECT_EQ(OccupyingTrain(line.Sim, 2), 0);
  EXPECT_TRUE(line.Console.Notes.empty());
}

TEST(CreatePlannedTrains, PlanOfAnotherDayOrWithALivingNumberMakesNothing) {
  CreationLine line;
  TCreationPlanData sundays = Plan(1200, 2, 1, 2, 10);
  sundays.Periodicity = 5;
  sundays.Days = {7};
  line.AddPlan(sundays);
  line.RunFrom(At(12, 0), 4);
  EXPECT_TRUE(line.Sim.State.Trains.empty());

  CreationLine busy;
  busy.AddPlan(Plan(1200, 2, 1, 2, 10));
  busy.Add({.Number = 2});
  busy.RunFrom(At(12, 0), 4);
  EXPECT_EQ(busy.Sim.State.Trains.size(), 1u);
  EXPECT_TRUE(busy.Log.empty());
}

TEST(CreatePlannedTrains, UnknownLocomotiveReportedOnceInItsMinute) {
  CreationLine line;
  line.AddPlan(Plan(1200, 4, 1, 2, 10));  // the timetable names locomotive 9, never defined
  line.AddPlan(Plan(1200, 6, 1, 2, 10));  // no timetable at all: locomotive 0
  line.RunFrom(At(12, 0), 120);
  EXPECT_EQ(line.CountNotes("Неизвестный локомотив поезда № 4"), 1);
  EXPECT_EQ(line.CountNotes("Неизвестный локомотив поезда № 6"), 1);
  EXPECT_TRUE(line.Sim.State.Trains.empty());
  EXPECT_TRUE(line.Log.empty());
  // The next day it is tried again.
  line.RunFrom(At(12, 0) + 1, 2);
  EXPECT_EQ(line.CountNotes("Неизвестный локомотив поезда № 4"), 2);
}

// ---------------------------------------------------------------------------
// Freight trains

TEST(CreateFreightTrains, FixedPlanFollowsItsFreightTimetable) {
  CreationLine line;
  line.AddPlan(Plan(1300, 1001, 2, 1, 0, 5));
  line.RunFrom(At(13, 0), 120);
  ASSERT_EQ(line.Log.size(), 1u);
  EXPECT_EQ(line.Log[0].Source, TrainSource::Plan);
  const TTrainData& t = line.Train(line.Find(1001));
  ExpectNewTrain(t, 1, 2, 1, 0);
  EXPECT_EQ(t.LOAD_TYPE, 5);
  EXPECT_EQ(t.LOCO_IDX, 2);
  EXPECT_GE(t.CARS, 40);
  EXPECT_LE(t.CARS, 60);
  EXPECT_EQ(t.LEN, 12 * t.CARS + 20);
  EXPECT_EQ(t.WEIGHT, 60 * t.CARS + 120);
  EXPECT_EQ(line.CountInfos("Выставляется поезд № 1001"), 1);
}

TEST(CreateFreightTrains, LightLocomotiveAndTrainWithoutTimetable) {
  CreationLine line;
  line.AddPlan(Plan(1300, 1001, 2, 1, 0, 3));   // load type 3: a light locomotive
  line.AddPlan(Plan(1300, 1004, 50, 2, 0, 1));  // no timetable: from Far (entering at A) to B
  line.RunFrom(At(13, 0), 1);
  const TTrainData& light = line.Train(line.Find(1001));
  EXPECT_EQ(light.CARS, 0);
  EXPECT_EQ(light.LEN, 20);
  EXPECT_EQ(light.WEIGHT, 120);
  const TTrainData& free = line.Train(line.Find(1004));
  EXPECT_EQ(free.LOCO_IDX, 2);
  ExpectNewTrain(free, 0, 1, 2, -1);
  EXPECT_EQ(free.PLAN_CREATION_LP_CODE, 50);
  // Coming from beyond the district, it is received rather than put out.
  EXPECT_EQ(line.CountInfos("Принимается поезд № 1004"), 1);
}

TEST(CreateFreightTrains, PlanPointsOutsideTheStationListCountAsNoStation) {
  CreationLine line;
  line.AddPlan(Plan(1300, 1005, 500, 1, 0, 1));
  line.RunFrom(At(13, 0), 120);
  EXPECT_EQ(line.CountNotes("Недостаточно данных о станциях для формирования поезда № 1005"), 1);
  EXPECT_TRUE(line.Sim.State.Trains.empty());
}

TEST(CreateFreightTrains, UndefinedDefaultLocomotiveRemovesTheTrain) {
  CreationLine line;
  line.Sim.AreaData.Locos.resize(2);
  line.AddPlan(Plan(1300, 1003, 1, 2, 0, 1));
  line.RunFrom(At(13, 0), 120);
  EXPECT_EQ(line.CountNotes("Неизвестный локомотив поезда № 1003"), 1);
  EXPECT_TRUE(line.Sim.State.Trains.empty());
}

// ---------------------------------------------------------------------------
// Random freight plans

struct RandomDay {
  std::vector<TCreationPlanData> Plans;
  std::vector<std::string> Notes;
};

RandomDay GenerateDay(unsigned seed, int count, int total, int dev, int low = 1001,
                      int high = 1040) {
  CreationLine line(seed);
  line.AddPlan(Plan(1300, 1001, 2, 1, 0, 5));
  line.Sim.AreaData.FreightNumbering[0] = low;
  line.Sim.AreaData.FreightNumbering[1] = high;
  line.Sim.Settings.RandomFreights = {{2, 1, count}};
  line.Sim.Settings.RandomFreightsTotal = total;
  line.Sim.Settings.RandomFreightsNumberDeviation = dev;
  line.Sim.State.ClockTime = At(0, 0);
  CreateFreightTrains(line.Sim);
  EXPECT_DOUBLE_EQ(line.Sim.State.NextRandomFreightTime, kDay0 + 1);
  return {line.Sim.State.RandomPlans, line.Console.Notes};
}

TEST(RandomFreights, PairsRunInBothHalvesWithNumbersOfTheirDirection) {
  std::set<std::size_t> pairCounts;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    const RandomDay day = GenerateDay(seed, 10, 10, 20);
    EXPECT_TRUE(day.Notes.empty());
    ASSERT_EQ(day.Plans.size() % 2, 0u);
    pairCounts.insert(day.Plans.size() / 2);
    std::set<int> numbers;
    for (std::size_t j = 0; j < day.Plans.size(); ++j) {
      const TCreationPlanData& p = day.Plans[j];
      const bool outward = j % 2 == 0;
      EXPECT_EQ(p.Number & 1, outward ? 1 : 0) << "entry " << j;
      EXPECT_GE(p.Number, 1001);
      EXPECT_LE(p.Number, 1040);
      EXPECT_NE(p.Number, 1001) << "the fixed plan's number";
      EXPECT_TRUE(numbers.insert(p.Number).second) << "number used twice";
      EXPECT_EQ(p.CreationPoint, outward ? 2 : 1);
      EXPECT_EQ(p.ArrivalPoint, outward ? 1 : 2);
      EXPECT_EQ(p.Cars, 0);
      EXPECT_EQ(p.Parent, 0);
      // The outward trains borrow plan 1001's timetable; none runs the other way.
      EXPECT_EQ(p.Name, outward ? "1001" : "");
      if (outward) {
        EXPECT_EQ(p.LoadType, 5);
        const TCreationPlanData& back = day.Plans[j + 1];
        EXPECT_NE(p.Time < 1200, back.Time < 1200) << "both trains in one half of the day";
      } else {
        EXPECT_LE(p.LoadType, 13);
      }
    }
  }
  EXPECT_EQ(*pairCounts.begin(), 8u);
  EXPECT_EQ(*pairCounts.rbegin(), 12u);
}

TEST(RandomFreights, WithoutDeviationEveryRecordGivesItsPairs) {
  const RandomDay day = GenerateDay(3, 4, 4, 0);
  EXPECT_EQ(day.Plans.size(), 8u);
  EXPECT_TRUE(day.Notes.empty());
}

TEST(RandomFreights, InconsistentCountsGiveNoTrainsThatDay) {
  const char* bad = "Неправильное количество случайных грузовых";
  const RandomDay more = GenerateDay(1, 10, 5, 0);  // the records hold more than the total
  EXPECT_TRUE(more.Plans.empty());
  EXPECT_EQ(more.Notes, std::vector<std::string>{bad});
  const RandomDay fewer = GenerateDay(1, 1, 10, 10);  // the walk runs past the first record
  EXPECT_TRUE(fewer.Plans.empty());
  EXPECT_EQ(fewer.Notes, std::vector<std::string>{bad});
}

TEST(RandomFreights, NumberExhaustionIsReportedOnceAndTheEntrySkipped) {
  // One odd number and no even one in the range: only the first outward train gets one.
  const RandomDay day = GenerateDay(1, 3, 3, 0, 1003, 1003);
  ASSERT_EQ(day.Plans.size(), 1u);
  EXPECT_EQ(day.Plans[0].Number, 1003);
  EXPECT_EQ(day.Notes, std::vector<std::string>{"Неправильное количество случайных грузовых"});
}

TEST(RandomFreights, TrainsOfTheDayAreCreatedOnceEach) {
  CreationLine line(7);
  line.AddPlan(Plan(1300, 1001, 2, 1, 0, 5));
  line.Sim.Settings.RandomFreights = {{2, 1, 3}};
  line.Sim.Settings.RandomFreightsTotal = 3;
  line.Sim.State.ClockTime = At(0, 0);
  // Trains stay outside: only the creation passes run, over the whole day.
  for (int k = 0; k < 2 * 86400; ++k) {
    CreateFreightTrains(line.Sim);
    line.Sim.State.ClockTime += kStepLength;
  }
  const TCreationPlansData plans = line.Sim.State.RandomPlans;
  ASSERT_EQ(plans.size(), 6u);
  std::vector<int> random;
  for (const Created& c : line.Log)
    if (c.Source == TrainSource::Random) random.push_back(c.Number);
  ASSERT_EQ(random.size(), 6u);
  for (const TCreationPlanData& p : plans) {
    const TTrainData& t = line.Train(line.Find(p.Number));
    EXPECT_EQ(t.INDEXED_NAME, std::to_string(p.Number));
    const TimeParts at = DecodeTime(t.CREATE_TIME);
    EXPECT_EQ(std::floor(t.CREATE_TIME), kDay0);
    EXPECT_EQ(at.Hour * 100 + at.Minute, p.Time);
    if (p.Name == "1001") {  // borrowed timetable: its locomotive, LPs and planned time
      EXPECT_EQ(t.SCHEDULE_NUMBER, 1001);
      EXPECT_EQ(t.SCHEDULE_IDX, 0);
      EXPECT_NEAR(t.PLAN_CREATE_TIME, At(13, 0), 1e-9);
    } else {
      EXPECT_EQ(t.SCHEDULE_NUMBER, p.Number);
      EXPECT_EQ(t.SCHEDULE_IDX, -1);
      EXPECT_DOUBLE_EQ(t.PLAN_CREATE_TIME, t.CREATE_TIME);
    }
  }
  // The next midnight makes the next day's plans and runs none of yesterday's again.
  line.Sim.State.ClockTime = At(0, 0, 1) + 1;
  CreateFreightTrains(line.Sim);
  EXPECT_DOUBLE_EQ(line.Sim.State.NextRandomFreightTime, kDay0 + 2);
  EXPECT_EQ(line.Log.size(), 7u);  // the fixed plan's 1001
}

TEST(RandomFreights, YesterdaysMidnightPlanDoesNotRunAgain) {
  CreationLine line;
  line.Sim.State.RandomPlans = {Plan(0, 1011, 1, 2, 0, 1)};
  line.Sim.State.NextRandomFreightTime = kDay0 + 1;
  line.RunFrom(At(0, 0) + 1, 1);
  EXPECT_EQ(line.Find(1011), -1);
  EXPECT_DOUBLE_EQ(line.Sim.State.NextRandomFreightTime, kDay0 + 2);
}

TEST(RandomFreights, NameThatIsNoNumberUsesThePlansOwnNumber) {
  for (const char* name : {"", "abc", "12x"}) {
    CreationLine line;
    TCreationPlanData p = Plan(1400, 1011, 1, 2, 0, 1);
    p.Name = name;
    line.Sim.State.RandomPlans = {p};
    line.Sim.State.NextRandomFreightTime = kDay0 + 1;
    line.RunFrom(At(14, 0), 3);
    const int i = line.Find(1011);
    ASSERT_GE(i, 0) << name;
    EXPECT_EQ(line.Train(i).SCHEDULE_NUMBER, 1011) << name;
    EXPECT_EQ(line.Train(i).INDEXED_NAME, "1011") << name;
  }
}

// ---------------------------------------------------------------------------
// Waiting trains

TEST(ServeWaitingTrains, AskingLPPutsOutOnlyWithConsent) {
  for (const bool yes : {true, false}) {
    CreationLine line;
    line.Sim.AreaData.Puts[0].CodeFromStation = 1;
    line.Console.DefaultAnswer = yes;
    line.AddPlan(Plan(1200, 2, 1, 2, 10));
    line.RunFrom(At(12, 0), 20);
    ASSERT_EQ(line.Console.Questions.size(), 1u) << "asked again while fresh";
    EXPECT_EQ(line.Console.Questions[0].Text, "Выставляю поезд № 2 на 1 путь?");
    EXPECT_EQ(line.Train(0).HEAD.SECT_IDX, yes ? 2 : 0);
  }
}

TEST(ServeWaitingTrains, StationWithoutDutyOfficerWaitsForATrack) {
  CreationLine line;
  line.Sim.AreaData.Puts[0].CodeFromStation = 1;
  line.Sim.AreaData.Stanzs[0].Value2 = 0;
  line.AddPlan(Plan(1200, 2, 1, 2, 10));
  line.RunFrom(At(12, 0), 20);
  EXPECT_EQ(line.CountInfos("Жду освобождения пути,\r\nчтобы выставить поезд № 2"), 1);
  EXPECT_EQ(line.Train(0).HEAD.SECT_IDX, 0);
}

TEST(ServeWaitingTrains, TooShortTrackIsNoCandidate) {
  CreationLine line;
  const int standing = line.Add({.Number = 10, .LP = 1, .Arrival = 1, .Len = 300});
  line.Place(standing, 1, 0);  // the long track of A is taken, the short one is left
  line.AddPlan(Plan(1200, 2, 1, 2, 10));
  line.RunFrom(At(12, 0), 60);
  EXPECT_EQ(line.CountInfos("Жду освобождения пути,\r\nчтобы выставить поезд № 2"), 1);
  for (const std::string& n : line.Console.Notes)
    EXPECT_EQ(n.find("не поместится"), std::string::npos) << n;
  EXPECT_EQ(line.Train(line.Find(2)).HEAD.SECT_IDX, 0);
}

TEST(ServeWaitingTrains, OccupancyBeyondTheTrainListIsNoTrain) {
  CreationLine line;
  line.Sim.State.Sects[2].TRN_EVEN = 7;
  line.AddPlan(Plan(1200, 2, 1, 2, 10));
  line.RunFrom(At(12, 0), 1);
  EXPECT_EQ(line.Train(0).HEAD.SECT_IDX, 2);
}

TEST(ServeWaitingTrains, ReceivedTrainIsReportedArrivedWhenReleased) {
  CreationLine line;
  line.AddPlan(Plan(1200, 2, 50, 2, 10));  // from Far, beyond A
  line.Sim.State.ClockTime = At(12, 0);
  line.Run(5 * 120 + 4);
  EXPECT_EQ(line.CountInfos("Принимается поезд № 2"), 1);
  EXPECT_EQ(line.Train(0).PLACE_TIME, 0);
  EXPECT_EQ(std::count_if(line.Console.Infos.begin(), line.Console.Infos.end(),
                          [](const auto& b) { return b.Text.starts_with("Поезд № 2 прибыл в "); }),
            1);
}

// ---------------------------------------------------------------------------
// Dependant trains

// Train 2 has arrived at B; trains 10 (before it) and 20 (after it) stand at A and B.
struct DependantLine : CreationLine {
  DependantLine() {
    Sim.Settings.CreateDependantTrains = true;
    line10 = Add({.Number = 10, .LP = 1, .Arrival = 1, .Len = 300});
    Place(line10, 1, 0);
    parent = Add({.Number = 2, .LP = 2, .Arrival = 2, .Len = 300, .Weight = 900, .Loco = 3});
    Place(parent, 2, 0);
    line20 = Add({.Number = 20, .LP = 1, .Arrival = 2, .Len = 80});
    Place(line20, 1, 1);
    AddPlan(Plan(1230, 3, 2, 1, 10));
    Plans().back().Parent = 2;
    Sim.State.ClockTime = At(12, 30);
  }
  TCreationPlansData& Plans() { return Sim.AreaData.CreationPlans; }
  int line10 = 0, parent = 0, line20 = 0;
};

TEST(DependantTrains, FormedOnTheParentsTrackInItsPlace) {
  DependantLine line;
  line.Run(1);
  ASSERT_EQ(line.Sim.State.Trains.size(), 3u);
  const int i = line.Find(3);
  ASSERT_EQ(i, 2);
  EXPECT_EQ(line.Find(2), -1);
  const TTrainData& t = line.Train(i);
  EXPECT_EQ(t.LOCO_IDX, 3);
  EXPECT_EQ(t.LEN, 300);
  EXPECT_EQ(t.WEIGHT, 900);
  EXPECT_EQ(t.HEAD.SECT_IDX, 6);
  EXPECT_EQ(t.PLACE_TIME, 0);
  EXPECT_EQ(t.HEAD.DIR, 1);
  // The occupancy follows the renumbered trains.
  EXPECT_EQ(OccupyingTrain(line.Sim, 6), i);
  EXPECT_EQ(OccupyingTrain(line.Sim, 8), line.Find(20));
  EXPECT_EQ(OccupyingTrain(line.Sim, 2), line.Find(10));
  EXPECT_EQ(line.Sim.State.Sects[0].TRN_EVEN, -1);
  EXPECT_EQ(line.Sim.State.Sects[0].TRN_ODD, -1);
  ASSERT_EQ(line.Log.size(), 1u);
  EXPECT_EQ(line.Log[0].Number, 3);
  EXPECT_EQ(line.Log[0].Source, TrainSource::Dependant);
}

TEST(DependantTrains, WaitsWhileTheParentHasNotArrived) {
  DependantLine line;
  line.Train(line.parent).ARRIVAL_LP_CODE = 1;
  line.Run(10);
  EXPECT_GE(line.Find(2), 0);
  EXPECT_EQ(line.Train(line.Find(3)).HEAD.SECT_IDX, 0);
  EXPECT_TRUE(line.Log.empty());
}

TEST(DependantTrains, ParentGoneRemovesTheTrainWithItsMessage) {
  DependantLine line;
  line.Train(line.parent).ARRIVAL_LP_CODE = 1;
  line.Run(1);
  RemoveTrain(line.Sim, line.Find(2), true);
  line.Run(1);
  EXPECT_EQ(line.Find(3), -1);
  EXPECT_EQ(
      line.CountNotes("Поезд № 3 не может быть сформирован,\r\nтак как отсутствует поезд № 1"), 1);
}

TEST(DependantTrains, RefusedFitKeepsParentAndTrack) {
  DependantLine line;
  line.Train(line.parent).LEN = 599;  // one metre short of the spare on B's track
  line.Run(20);
  EXPECT_GE(line.Find(2), 0);
  const int i = line.Find(3);
  ASSERT_GE(i, 0);
  EXPECT_EQ(line.Train(i).HEAD.SECT_IDX, 0);
  EXPECT_EQ(line.Train(i).PLACE_TIME, 0);
  EXPECT_EQ(line.Sim.State.Sects[0].TRN_EVEN, -1);
  EXPECT_EQ(line.Sim.State.Sects[0].TRN_ODD, -1);
  EXPECT_EQ(line.CountNotes("Поезд № 3 не поместится на 1 пути Beta."), 1);
  EXPECT_TRUE(line.Log.empty());
}

TEST(DependantTrains, UndefinedTimetableLocomotiveKeepsTheTrainWithoutTimetable) {
  DependantLine line;
  line.Plans().back().Number = 4;  // timetable 4 names locomotive 9
  line.Run(1);
  EXPECT_EQ(line.CountNotes("Неизвестный локомотив поезда № 4"), 1);
  const int i = line.Find(4);
  ASSERT_GE(i, 0);
  EXPECT_EQ(line.Train(i).SCHEDULE_IDX, -1);
  EXPECT_EQ(line.Train(i).HEAD.SECT_IDX, 6);
}

TEST(DependantTrains, WithoutTheSettingAMissingParentMeansNoTrain) {
  DependantLine line;
  line.Sim.Settings.CreateDependantTrains = false;
  RemoveTrain(line.Sim, line.parent, true);
  line.Run(2);
  EXPECT_EQ(line.Find(3), -1);
  line.Sim.Settings.CreateDependantTrains = true;
  line.RunFrom(At(12, 30) + 1, 1);
  const int i = line.Find(3);  // made as an ordinary timetable train instead
  ASSERT_GE(i, 0);
  EXPECT_GT(line.Train(i).CARS, 0);
}

}  // namespace
}  // namespace traklin::test
