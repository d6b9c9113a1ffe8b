// The step's check mode: the signals, routes and plans it skips as unchanged are what a full
// step computes, over seeded days of the shipped districts and a generated line, with and
// without the automatic dispatcher; and a change made behind its back is named.
#include <gtest/gtest.h>

#include <map>

#include <string>
#include <utility>

#include "area/object_names.h"
#include "districtgen/description.h"
#include "districtgen/district.h"
#include "state/interlocking.h"
#include "trains/shipped_district.h"
#include "trains/throat_automation.h"
#include "trains/throat_queries.h"
#include "trains/train_records.h"

namespace traklin {
namespace {

using test::ShippedDistrict;

/// Runs the district in check mode for `hours`; the first difference fails the test with its
/// name and the clock.
void RunChecked(ShippedDistrict& d, bool automated, int hours) {
  if (automated) d.Sim.State.AutoLPs.assign(d.Sim.AreaData.Puts.size(), true);
  d.Sim.Changes.Check = true;
  int created = 0;
  d.Sim.OnTrainCreated = [&created](int, TrainSource) { ++created; };
  const int steps = hours * 7200;
  for (int n = 0; n < steps; ++n) {
    try {
      d.Sim.SimulationStep(kStepLength);
    } catch (const CheckMismatch& e) {
      FAIL() << FormatEventTime(d.Sim.State.ClockTime) << ": " << e.what();
    }
  }
  EXPECT_GT(created, 0) << "the day ran no trains";
}

/// The first open signal with a section right beyond it, and that section; -1, 0 when none.
std::pair<int, int> OpenSignal(const Simulation& sim) {
  const TAreaData& area = sim.AreaData;
  for (int i = 0; i < static_cast<int>(area.Semaphores.size()); ++i) {
    const int u =
        area.SlSects[area.Semaphores[i].Section].Straight[area.Semaphores[i].Direction & 1];
    if (u > 0 && !sim.State.Semaphores[i].CLOSED) return {i, u};
  }
  return {-1, 0};
}

struct DayCase {
  const char* Name;
  int District;  ///< shipped district, 0: the generated line
  bool Automated;
  unsigned Seed;
};

class StepCheckDayTest : public ::testing::TestWithParam<DayCase> {};

TEST_P(StepCheckDayTest, ADayInCheckModeFindsNoDifference) {
  const DayCase& c = GetParam();
  if (c.District > 0) {
    ShippedDistrict d(c.District, c.Seed);
    RunChecked(d, c.Automated, 24);
  } else {
    ShippedDistrict d(1, c.Seed);
    d.Start(districtgen::DataDatText(
                districtgen::BuildDistrict(districtgen::SyntheticLine(12, 40, c.Seed))),
            c.Seed);
    RunChecked(d, c.Automated, 24);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Districts, StepCheckDayTest,
    ::testing::Values(DayCase{"District1", 1, false, 1}, DayCase{"District1Auto", 1, true, 2},
                      DayCase{"District2", 2, false, 3}, DayCase{"District2Auto", 2, true, 4},
                      DayCase{"Generated", 0, false, 5}, DayCase{"GeneratedAuto", 0, true, 6}),
    [](const ::testing::TestParamInfo<DayCase>& param) { return std::string(param.param.Name); });

TEST(StepCheckTest, AnOccupancyChangedBehindTheStepsBackIsNamedInCheckMode) {
  ShippedDistrict d(1, 1);
  d.Sim.Changes.Check = true;
  d.SetClock(800);
  d.Steps(2);
  // An open signal with a section beyond it: occupy that section without telling the step.
  const auto [signal, beyond] = OpenSignal(d.Sim);
  ASSERT_GE(signal, 0) << "no open signal on the district";
  d.Sim.State.Trains.emplace_back();
  d.Sim.State.Sects[beyond].TRN_EVEN = 0;
  try {
    d.Sim.SimulationStep(kStepLength);
    FAIL() << "the change was not found";
  } catch (const CheckMismatch& e) {
    EXPECT_EQ(std::string(e.what()).rfind(
                  "incremental check: signal " + std::to_string(signal) + " (on section ", 0),
              0u)
        << e.what();
    EXPECT_NE(std::string(e.what()).find("CLOSED is 0/"), std::string::npos) << e.what();
  }
  // Told of it, the step closes the signal as a full one would.
  ForgetStepChanges(d.Sim);
  d.Sim.SimulationStep(kStepLength);
  EXPECT_TRUE(d.Sim.State.Semaphores[signal].CLOSED);
}

TEST(StepCheckTest, WithoutCheckModeAMarkedChangeIsSeenAndAnUnmarkedOneWaitsForTheNextFullPass) {
  ShippedDistrict d(1, 1);
  d.SetClock(800);
  d.Steps(2);
  const auto [signal, beyond] = OpenSignal(d.Sim);
  ASSERT_GE(signal, 0);
  d.Sim.State.Trains.emplace_back();
  d.Sim.State.Sects[beyond].TRN_EVEN = 0;
  d.Sim.SimulationStep(kStepLength);
  EXPECT_FALSE(d.Sim.State.Semaphores[signal].CLOSED) << "an unmarked change is not looked at";
  MarkSectionChanged(d.Sim, beyond);
  d.Sim.SimulationStep(kStepLength);
  EXPECT_TRUE(d.Sim.State.Semaphores[signal].CLOSED);
  d.Sim.State.Sects[beyond].TRN_EVEN = -1;
  MarkSectionChanged(d.Sim, beyond);
  d.Sim.SimulationStep(kStepLength);
  EXPECT_FALSE(d.Sim.State.Semaphores[signal].CLOSED);
}

TEST(StepCheckTest, ATrainPutOnAQuietThroatsTrackBehindTheStepsBackIsNamedInCheckMode) {
  ShippedDistrict d(1, 1);
  d.Sim.Changes.Check = true;
  d.SetClock(800);
  // A train not yet on the district: the throats look, and find nothing.
  d.Sim.State.Trains.emplace_back();
  d.Steps(2);
  // A quiet throat that may send, and a free track of its LP with no route set into it (its
  // signals stay closed, so only the station automation reads it).
  const TThroatChanges& w = d.Sim.Changes.Throats;
  int throat = -1, section = 0;
  for (int g = 0; g < static_cast<int>(w.Quiet.size()) && throat < 0; ++g) {
    if (!w.Quiet[g] || d.Sim.AreaData.GorlStanzs[g].Side < 0 || w.LP[g] < 0) continue;
    for (const TTrackData& track : d.Sim.AreaData.Puts[w.LP[g]].Tracks) {
      const TSectionSchuntData& x = d.Sim.State.Sects[track.Section];
      if (x.TRN_EVEN < 0 && x.TRN_ODD < 0 && x.ROUTE_EVEN < 0 && x.ROUTE_ODD < 0) {
        throat = g;
        section = track.Section;
        break;
      }
    }
  }
  ASSERT_GE(throat, 0) << "no quiet throat with a free track";
  const int parity = d.Sim.AreaData.GorlStanzs[throat].Parity & 1;
  (parity ? d.Sim.State.Sects[section].TRN_ODD : d.Sim.State.Sects[section].TRN_EVEN) = 0;
  try {
    d.Sim.SimulationStep(kStepLength);
    FAIL() << "the change was not found";
  } catch (const CheckMismatch& e) {
    EXPECT_EQ(std::string(e.what()), "incremental check: throat " + std::to_string(throat) +
                                         " has a train on a section it reads but was skipped "
                                         "as quiet");
  }
  // Told of it, the throat looks again and finds the train.
  MarkSectionChanged(d.Sim, section);
  EXPECT_FALSE(d.Sim.Changes.Throats.Quiet[throat]);
}

// The stations' pass keeps each throat's view with its watch tables: a throat record changed
// in place, which no district read does, is named in check mode; without it the kept view
// stands until the tables are made again.
TEST(StepCheckTest, AThroatRecordChangedInPlaceIsNamedInCheckMode) {
  ShippedDistrict d(1, 1);
  d.SetClock(800);
  d.Steps(2);
  const int g = 0;
  const ThroatView kept = ThroatViewOf(d.Sim, g);
  ASSERT_TRUE(kept.Valid);
  d.Sim.AreaData.GorlStanzs[g].Side = kept.Side == 0 ? 1 : 0;
  EXPECT_EQ(ThroatViewOf(d.Sim, g), kept);
  d.Sim.Changes.Check = true;
  try {
    ThroatViewOf(d.Sim, g);
    FAIL() << "the change was not found";
  } catch (const CheckMismatch& e) {
    EXPECT_EQ(std::string(e.what()),
              "incremental check: the kept view of throat 0 differs from the district's");
  }
}

// The stations' pass reads the routes' pass's list of signals that lead somewhere: a route
// given by hand behind the step's back is named in check mode, and once announced the list is
// no longer taken until the routes' pass has made it again.
TEST(StepCheckTest, ASignalGivenARouteBehindTheStepsBackIsNamedInCheckMode) {
  ShippedDistrict d(1, 1);
  d.SetClock(800);
  d.Steps(2);
  ASSERT_NE(KeptLeadingSignals(d.Sim), nullptr);
  int signal = -1;
  for (int j = 0; j < static_cast<int>(d.Sim.AreaData.Semaphores.size()) && signal < 0; ++j)
    if (d.Sim.AreaData.Semaphores[j].Kind != 2 && d.Sim.State.Semaphores[j].SECT_NEXT == 0)
      signal = j;
  ASSERT_GE(signal, 0);
  d.Sim.State.Semaphores[signal].SECT_NEXT = d.Sim.AreaData.Semaphores[signal].Section;
  d.Sim.Changes.Check = true;
  try {
    KeptLeadingSignals(d.Sim);
    FAIL() << "the change was not found";
  } catch (const CheckMismatch& e) {
    EXPECT_EQ(std::string(e.what()), "incremental check: signal " + std::to_string(signal) +
                                         " leads somewhere but is not in the kept list");
  }
  ForgetStepChanges(d.Sim);
  EXPECT_EQ(KeptLeadingSignals(d.Sim), nullptr);
}

/// District 1 at 12:11 with timetable trains 803 and 806 made (I and Other).
struct TwoTimetableTrains {
  ShippedDistrict D{1, 1};
  Simulation& Sim = D.Sim;
  int I = -1, Other = -1;
  TwoTimetableTrains() {
    D.SetClock(1211);
    I = test::CreateTimetableTrain(Sim, 803);
    Other = test::CreateTimetableTrain(Sim, 806);
  }
};

// The throat a train leaves a station by is found from its timetable stop there, which the
// step remembers per train: a train moved on in its timetable, or another train in its place
// in the list, is looked up afresh, and so is whether it leaves through a throat. Each answer
// is the one a state that remembers nothing gives, and check mode (which compares with a fresh
// search) finds no difference.
TEST(StepCheckTest, ATrainsWayOutIsFoundAfreshWhenItsTimetableStopChanges) {
  TwoTimetableTrains two;
  Simulation& sim = two.Sim;
  const int i = two.I, other = two.Other;
  ASSERT_TRUE(i >= 0 && other >= 0);
  sim.Changes.Check = true;
  const int throats = static_cast<int>(sim.AreaData.GorlStanzs.size());
  const int stops = static_cast<int>(ScheduleEntry(sim, i)->Stops.size());
  // Asked at one LP after another, the train moving on in its timetable between the asks
  // (and once swapped for the other train), as a waiting train is asked at every step.
  int found = 0;
  for (int lp = 0; lp < static_cast<int>(sim.AreaData.Puts.size()); ++lp) {
    for (int k = 0; k <= stops; ++k) {
      if (k < stops) {
        sim.State.Trains[i].SCHEDULE_IDX = k;
      } else {
        std::swap(sim.State.Trains[i], sim.State.Trains[other]);
      }
      Simulation fresh = sim;
      ForgetStepChanges(fresh);
      for (int g = 0; g < throats; ++g) {
        const int parity = sim.AreaData.GorlStanzs[g].Parity;
        int throat = g, dir = parity;
        int throat2 = g, dir2 = dir;
        bool remembered = false;
        ASSERT_NO_THROW(remembered = ThroatOfNextStop(sim, throat, dir, lp, i))
            << "LP " << lp << ", stop " << k << ", throat " << g;
        EXPECT_EQ(remembered, ThroatOfNextStop(fresh, throat2, dir2, lp, i))
            << "LP " << lp << ", stop " << k << ", throat " << g;
        found += remembered;
        // Whether it leaves through the throat, asked twice: found, then remembered.
        for (int ask = 0; ask < 2; ++ask) {
          bool leaves = false;
          ASSERT_NO_THROW(leaves = LeavesThroughThroat(sim, g, lp, parity, i))
              << "LP " << lp << ", stop " << k << ", throat " << g;
          EXPECT_EQ(leaves, remembered && dir2 == parity)
              << "LP " << lp << ", stop " << k << ", throat " << g << ", ask " << ask;
        }
      }
      if (k == stops) std::swap(sim.State.Trains[i], sim.State.Trains[other]);
    }
  }
  EXPECT_GT(found, 0) << "the train leaves by no throat anywhere";
}

// Whether a train leaves through a throat is remembered per throat: asked again with one thing
// it rests on changed (the LP, the direction, the train's place in its timetable, its
// timetable train, its load, the LP it runs to), the answer is the one found afresh, also
// where it differs from the last. Check mode is off, so a stale answer would be returned.
TEST(StepCheckTest, WhetherATrainLeavesThroughAThroatIsFoundAgainWhenWhatItRestsOnChanges) {
  TwoTimetableTrains two;
  Simulation& sim = two.Sim;
  const int i = two.I, other = two.Other;
  ASSERT_TRUE(i >= 0 && other >= 0);
  const TAreaData& area = sim.AreaData;
  const int throats = static_cast<int>(area.GorlStanzs.size());
  const int lps = static_cast<int>(area.Puts.size());
  const int stops = static_cast<int>(ScheduleEntry(sim, i)->Stops.size());
  TTrainData& t = sim.State.Trains[i];
  const TTrainData kept = t;
  const TTrainData& second = sim.State.Trains[other];
  // Per kind of change: how often it turned the fresh answer; and the answers that were wrong.
  std::map<std::string, int> turned;
  int wrong = 0;
  for (int g = 0; g < throats; ++g) {
    const int parity = area.GorlStanzs[g].Parity;
    for (int at = 0; at < lps; ++at)
      for (int to = 0; to < lps; ++to) {
        // The train at LP `at`, running to LP `to`. Asks once with each change made (the
        // first ask of a kind comes after another change).
        TTrainData base = kept;
        base.ARRIVAL_LP_CODE = area.Puts[to].Code;
        const auto series = [&](const std::string& what, int count, auto change) {
          bool last = false;
          for (int n = 0; n < count; ++n) {
            t = base;
            int lp = at, dir = parity;
            change(n, lp, dir);
            int throat = g, found = dir;
            const bool fresh = ThroatOfNextStop(sim, throat, found, lp, i) && found == dir;
            if (LeavesThroughThroat(sim, g, lp, dir, i) != fresh) ++wrong;
            if (n > 0 && fresh != last) ++turned[what];
            last = fresh;
          }
        };
        series("direction", 4, [](int n, int&, int& dir) { dir = n & 1; });
        series("timetable place", stops, [&](int n, int&, int&) { t.SCHEDULE_IDX = n; });
        series("timetable train", 4, [&](int n, int&, int&) {
          if (n & 1) t.SCHEDULE_NUMBER = second.SCHEDULE_NUMBER;
        });
        series("load", 4, [&](int n, int&, int&) {
          if (n & 1) t.LOAD_TYPE = t.LOAD_TYPE < 100 ? 100 : 0;
        });
        if (to == 0) {
          series("LP it runs to", lps,
                 [&](int n, int&, int&) { t.ARRIVAL_LP_CODE = area.Puts[n].Code; });
          if (at == 0) series("LP", lps, [](int n, int& lp, int&) { lp = n; });
        }
      }
  }
  t = kept;
  EXPECT_EQ(wrong, 0);
  for (const char* what :
       {"LP", "direction", "timetable place", "timetable train", "load", "LP it runs to"})
    EXPECT_GT(turned[what], 0) << "no change of " << what << " turned the answer";
}

TEST(StepCheckTest, ACopiedOrLoadedStateIsLookedAtWhole) {
  ShippedDistrict d(2, 7);
  d.Steps(7200);
  // A copy's buffers are its own: its first step passes over every signal, and check mode
  // agrees from then on.
  Simulation copy = d.Sim;
  copy.Changes.Check = true;
  for (int n = 0; n < 600; ++n) ASSERT_NO_THROW(copy.SimulationStep(kStepLength));
}

}  // namespace
}  // namespace traklin
