// Section lamp sets, lamp modes, departure commits and occupancy queries.
#include <gtest/gtest.h>

#include "station_fixture.h"

namespace traklin::fixtures {
namespace {

using LampsTest = StationTest;

TEST_F(LampsTest, SectionLampSetFollowsTheFirstRuleThatApplies) {
  // Peregon 0 runs from section 1 (end 0) over block lamps 44..45.
  sim.AreaData.GraphPeregons.assign(1, TGraphPeregonData{});
  sim.AreaData.GraphPeregons[0].EndSection[0] = 1;
  sim.AreaData.GraphPeregons[0].BlockLamps[0] = 44;
  sim.AreaData.GraphPeregons[0].BlockLamps[1] = 45;
  sim.AreaData.Puts[0].Tracks[1].LampCount = 7;
  struct Case {
    int section;
    std::array<int, 5> lamps;
    bool onTrack;
  };
  const Case cases[] = {
      {5, {42, 0, 0, 0, 0}, false},     // own lamp
      {3, {30, 0, 31, 0, 0}, false},    // switch, plus position
      {4, {50, 51, 52, 0, 0}, true},    // track
      {7, {55, 56, 57, 58, 59}, true},  // a track of seven lamps shows on its first five
      {1, {44, 0, 0, 0, 0}, false},     // first block section of the peregon
      {8, {0, 0, 0, 0, 0}, false},      // nothing
      {0, {0, 0, 0, 0, 0}, false},     {99, {0, 0, 0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    const TLampSet set = SectionLampSet(sim, c.section);
    EXPECT_EQ(set.Lamps, c.lamps);
    EXPECT_EQ(set.OnTrack, c.onTrack);
  }
  sim.State.Switches[1] = 1;
  EXPECT_EQ(SectionLampSet(sim, 3).Lamps, (std::array<int, 5>{30, 0, 32, 0, 0}));
  sim.AreaData.Sekzs[2] = 0;
  EXPECT_EQ(SectionLampSet(sim, 2).Lamps, (std::array<int, 5>{45, 0, 0, 0, 0}));
}

TEST_F(LampsTest, DepartureCommitLightsItsLampAndExpiresAfterThreeMinutes) {
  ToggleDepartCommit(sim, 0, kOdd);
  EXPECT_DOUBLE_EQ(sim.State.DepartCommits[0].ODD, sim.State.ClockTime);
  EXPECT_TRUE(Lamp(61).YELLOW);
  EXPECT_FALSE(Lamp(60).YELLOW);
  Steps(sim, 359);
  EXPECT_NE(sim.State.DepartCommits[0].ODD, 0);
  EXPECT_TRUE(Lamp(61).YELLOW);
  Steps(sim, 2);
  EXPECT_EQ(sim.State.DepartCommits[0].ODD, 0);
  EXPECT_FALSE(Lamp(61).YELLOW);
}

TEST_F(LampsTest, DepartureCommitIsConsumedOnce) {
  EXPECT_FALSE(ConsumeDepartCommit(sim, 0, kEven));
  ToggleDepartCommit(sim, 0, kEven);
  EXPECT_TRUE(Lamp(60).YELLOW);
  EXPECT_TRUE(ConsumeDepartCommit(sim, 0, kEven));
  EXPECT_FALSE(Lamp(60).YELLOW);
  EXPECT_FALSE(ConsumeDepartCommit(sim, 0, kEven));
  ToggleDepartCommit(sim, 0, kEven);
  ToggleDepartCommit(sim, 0, kEven);  // toggled off again
  EXPECT_EQ(sim.State.DepartCommits[0].EVEN, 0);
  EXPECT_FALSE(Lamp(60).YELLOW);
  ToggleDepartCommit(sim, 7, kEven);  // no such LP: nothing happens
  EXPECT_FALSE(ConsumeDepartCommit(sim, -1, kOdd));
}

struct OccupancyCase {
  const char* name;
  int trainCount;
  int even, odd;
  int answer;
  const char* message;  // nullptr: none
};

TEST_F(LampsTest, OccupyingTrainReportsInconsistentOccupancy) {
  const OccupancyCase cases[] = {
      {"free", 2, -1, -1, -1, nullptr},
      {"even half", 2, 1, -1, 1, nullptr},
      {"odd half", 2, -1, 0, 0, nullptr},
      {"same train on both halves", 2, 1, 1, 1, nullptr},
      {"two trains", 2, 0, 1, 0, "Секция 04h занята двумя поездами сразу, 0 и 1"},
      {"nonexistent train", 2, -1, 5, 5,
       "Секция 04h занята несуществующим поездом, номер в списке был 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    console.notes.clear();
    sim.State.Trains.assign(c.trainCount, TTrainData{});
    sim.State.Sects[4].TRN_EVEN = c.even;
    sim.State.Sects[4].TRN_ODD = c.odd;
    EXPECT_EQ(OccupyingTrain(sim, 4), c.answer);
    if (c.message == nullptr) {
      EXPECT_TRUE(console.notes.empty());
    } else {
      ASSERT_EQ(console.notes.size(), 1u);
      EXPECT_EQ(console.notes[0], c.message);
    }
  }
  EXPECT_EQ(OccupyingTrain(sim, 0), -1);
  EXPECT_EQ(OccupyingTrain(sim, 1000), -1);
}

TEST_F(LampsTest, OccupyingTrainDirReportsANonexistentTrain) {
  sim.State.Trains.assign(1, TTrainData{});
  sim.State.Sects[4].TRN_ODD = 3;
  sim.State.Sects[4].TRN_EVEN = 0;
  EXPECT_EQ(OccupyingTrainDir(sim, 4, kEven), 0);
  EXPECT_TRUE(console.notes.empty());
  EXPECT_EQ(OccupyingTrainDir(sim, 4, kOdd), 3);
  ASSERT_EQ(console.notes.size(), 1u);
  EXPECT_EQ(console.notes[0], "Секция 04h занята несуществующим поездом № 3");
  EXPECT_EQ(OccupyingTrainDir(sim, 0, kOdd), -1);
}

}  // namespace
}  // namespace traklin::fixtures
