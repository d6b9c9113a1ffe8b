// The dispatcher's desk: key mapping, geometry, station selection, route input and commits.
#include "views/controller_desk.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "state/interlocking_fixture.h"

namespace traklin {
namespace {

constexpr TDateTime kSecond = 1.0 / 86400;

TEST(DeskKeys, KeysReachTheButtonOfTheirVariantAndLayout) {
  using B = std::optional<DeskButton>;
  // variant, key row, key column, throat layout -> route button (column, row)
  for (const auto& [alt, row, column, layout, expected] : {
           std::tuple{true, 1, 1, 1, B(DeskButton{1, 1})},
           {true, 2, 2, 1, B(DeskButton{2, 3})},
           {true, 3, 3, 1, B(DeskButton{3, 5})},
           {true, 3, 1, 1, B()},                   // column 1 has three rows
           {false, 1, 1, 1, B(DeskButton{1, 1})},  // 2 x 1 - 2 = 0, at least 1
           {false, 2, 4, 1, B(DeskButton{4, 2})},
           {false, 3, 2, 1, B(DeskButton{2, 4})},
           {false, 3, 4, 1, B()},
           {true, 1, 2, 2, B(DeskButton{2, 1})},
           {true, 2, 1, 2, B()},  // columns 1 and 4 have two rows
           {true, 3, 3, 2, B(DeskButton{3, 5})},
           {false, 1, 1, 2, B(DeskButton{1, 2})},
           {false, 2, 3, 2, B(DeskButton{3, 4})},
           {false, 3, 2, 2, B(DeskButton{2, 6})},
           {false, 2, 4, 2, B()},
       }) {
    EXPECT_EQ(KeyRouteButton(alt, row, column, layout), expected)
        << alt << " " << row << " " << column << " R=" << layout;
  }
}

TEST(DeskKeys, TheGridGivesEveryLetterItsRowPerVariantAndOtherKeysNothing) {
  // The whole grid, row by row from the top of the keyboard: the Alt variant counts from there,
  // the Shift variant from the bottom row.
  const char* const rows[3] = {"QWER", "ASDF", "ZXCV"};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      const char letter = rows[r][c];
      const char lower = static_cast<char>(letter - 'A' + 'a');
      EXPECT_EQ(DeskKeyGrid(letter, true), (DeskKeyCell{r + 1, c + 1})) << letter;
      EXPECT_EQ(DeskKeyGrid(lower, false), (DeskKeyCell{3 - r, c + 1})) << letter;
    }
  }
  for (const char other : {'P', 'T', 'G', 'B', '1', ',', '\0'}) {
    EXPECT_EQ(DeskKeyGrid(other, true), std::nullopt) << other;
    EXPECT_EQ(DeskKeyGrid(other, false), std::nullopt) << other;
  }
}

TEST(DeskGeometry, ButtonsAndLampsLieWhereTheDeskRulesPutThem) {
  constexpr int w = 642;
  for (const auto& [layout, button, x, y, colour] : {
           std::tuple{1, DeskButton{1, 1}, 231, 181, DeskColour::Yellow},
           {1, DeskButton{2, 2}, 291, 141, DeskColour::White},
           {1, DeskButton{3, 5}, 351, 261, DeskColour::White},
           {1, DeskButton{4, 3}, 411, 221, DeskColour::White},
           {2, DeskButton{4, 2}, 411, 181, DeskColour::Yellow},
           {2, DeskButton{2, 6}, 291, 101, DeskColour::White},
           {2, DeskButton{3, 3}, 351, 261, DeskColour::White},
       }) {
    EXPECT_EQ(RouteButtonCentre(w, layout, button), (DeskPoint{x, y}))
        << button.Column << button.Row;
    EXPECT_EQ(RouteButtonColour(layout, button.Row), colour);
    EXPECT_TRUE(RouteButtonExists(layout, button));
  }
  EXPECT_FALSE(RouteButtonExists(2, {1, 3}));
  EXPECT_FALSE(RouteButtonExists(1, {5, 1}));
  EXPECT_FALSE(RouteButtonExists(1, {2, 0}));

  for (const auto& [right, i, x, y, colour] : {
           std::tuple{false, 0, 67, 301, DeskColour::Red},
           {false, 1, 113, 301, DeskColour::White},
           {true, 0, 575, 301, DeskColour::Red},
           {true, 1, 529, 301, DeskColour::White},
           {false, 10, 67, 101, DeskColour::Yellow},
           {true, 13, 529, 61, DeskColour::White},
           {false, 5, 113, 221, DeskColour::Teal},
           {true, 4, 575, 221, DeskColour::Green},
           {false, 7, 113, 181, DeskColour::Blue},
       }) {
    EXPECT_EQ(CommandButtonCentre(right, i), (DeskPoint{x, y})) << right << i;
    EXPECT_EQ(CommandButtonColour(i), colour) << i;
  }

  EXPECT_EQ(SelectButtonTopLeft(w, 18, 0), (DeskPoint{158, 372}));
  EXPECT_EQ(SelectButtonTopLeft(w, 18, 7), (DeskPoint{466, 372}));
  EXPECT_EQ(SelectButtonTopLeft(w, 18, 9), (DeskPoint{202, 427}));
  for (const auto& [stations, rows] :
       {std::pair{0, 0}, {16, 0}, {17, 1}, {24, 1}, {25, 2}, {33, 3}})
    EXPECT_EQ(ExtraStationRows(stations), rows) << stations;

  for (const auto& [k, x, y, width, pen] : {
           std::tuple{0, 158, 61, 29, 10},
           {1, 454, 61, 29, 10},
           {2, 140, 301, 18, 6},
           {3, 484, 301, 18, 6},
           {4, 152, 353, 29, 10},
           {4 + 9, 196, 408, 29, 10},
       }) {
    const DeskLampShape lamp = DeskLampGeometry(w, k);
    EXPECT_EQ(std::tuple(lamp.X, lamp.Y, lamp.Width, lamp.Pen, lamp.Big),
              std::tuple(x, y, width, pen, pen == 10))
        << k;
  }
}

// The controlled station Цна (text_districts.h): buttons 11 -> 21 is route 0, 11 -> 22 route
// 1, 31 -> 41 route 2, 41 -> 31 route 4, 21 -> 11 route 6. Throat layout 1.
class DeskTest : public fixtures::InterlockingTest {
 protected:
  void SetUp() override {
    InterlockingTest::SetUp();
    desk.Setup();
  }
  const TRouteControlData& Ctl(int r) const { return sim.State.Routes[0][r]; }
  RouteInput Press(int c1, int r1, int c2, int r2) {
    EXPECT_EQ(desk.RouteButton({c1, r1}), RouteInput::StartHeld);
    return desk.RouteButton({c2, r2});
  }
  bool Free(int r) const { return Ctl(r).TASKED == 0 && !Ctl(r).SCHUNTED; }
  bool InputClear() const {
    return desk.Start().Column == 0 && desk.Mode() == 0 && !desk.Lamps()[kLampTask] &&
           !desk.Lamps()[kLampInvert] && !desk.Lamps()[kLampRelease];
  }
  /// A second station, with a duty officer, behind the first.
  void AddDutyStation() {
    sim.AreaData.Stanzs.push_back({2, 1, 0, {}});
    sim.AreaData.StationCount = 2;
    desk.Setup();
  }

  ControllerDesk desk{sim};
};

TEST_F(DeskTest, ModeSetOrdersAFreeRouteAndRefusesASetOne) {
  EXPECT_EQ(desk.RouteButton({1, 1}), RouteInput::Ignored);  // nothing selected
  desk.SelectStation(0, false);
  EXPECT_EQ(desk.RouteButton({1, 1}), RouteInput::StartHeld);
  EXPECT_TRUE(desk.Lamps()[kLampTask]);
  EXPECT_EQ(desk.Start(), (DeskButton{1, 1}));
  EXPECT_EQ(desk.RouteButton({2, 1}), RouteInput::Changed);
  EXPECT_EQ(Ctl(0).TASKED, sim.State.ClockTime);
  EXPECT_TRUE(InputClear());
  ASSERT_GT(StepsUntil([&] { return RouteIsSet(sim, 0, 0); }), 0);

  EXPECT_EQ(Press(1, 1, 2, 1), RouteInput::Unchanged);
  EXPECT_TRUE(RouteIsSet(sim, 0, 0));
  // A pair of buttons without a route is dropped.
  EXPECT_EQ(Press(2, 1, 2, 2), RouteInput::NoRoute);
  EXPECT_TRUE(InputClear());
}

TEST_F(DeskTest, ModeReleaseCancelsASetRouteOnlyAndLightsItsLamp) {
  desk.SelectStation(0, false);
  ASSERT_GT(SetRoute(1), 0);
  EXPECT_TRUE(desk.SetMode(1));
  EXPECT_TRUE(desk.Lamps()[kLampRelease]);
  EXPECT_FALSE(desk.SetMode(2));  // a mode is already set
  EXPECT_EQ(Press(1, 1, 2, 2), RouteInput::Changed);
  EXPECT_TRUE(Ctl(1).SCHUNTED && Ctl(1).TASKED == sim.State.ClockTime);
  EXPECT_TRUE(InputClear());
  ASSERT_GT(StepsUntil([&] { return Free(1); }), 0);
  EXPECT_EQ(LockedHalves(), 0);

  // Releasing a free route is refused.
  EXPECT_TRUE(desk.SetMode(1));
  EXPECT_EQ(Press(1, 1, 2, 2), RouteInput::Unchanged);
  EXPECT_TRUE(Free(1));
}

TEST_F(DeskTest, ModeButtonsNeedNoHeldStartButStartWorksWithModeSet) {
  EXPECT_FALSE(desk.SetMode(1));  // nothing selected
  desk.SelectStation(0, false);
  EXPECT_EQ(desk.RouteButton({1, 1}), RouteInput::StartHeld);
  EXPECT_FALSE(desk.SetMode(1));  // "B" after a start button does nothing
  EXPECT_FALSE(desk.Lamps()[kLampRelease]);
  desk.ResetButton();
  EXPECT_TRUE(InputClear());
  EXPECT_TRUE(desk.SetMode(2));
  EXPECT_TRUE(desk.Lamps()[kLampInvert]);
  EXPECT_EQ(desk.RouteButton({1, 1}), RouteInput::StartHeld);
  EXPECT_EQ(desk.Mode(), 2);
}

// Inverting a settled route would leave it pending for ever when it conflicts, and hold up the
// station's other routes; mode 2 turns round only what is pending.
TEST_F(DeskTest, ModeInvertTurnsRoundPendingRoutesAndLeavesSettledOnes) {
  desk.SelectStation(0, false);
  desk.SetMode(2);
  EXPECT_EQ(Press(1, 1, 2, 1), RouteInput::Unchanged);
  EXPECT_TRUE(Free(0));

  ASSERT_GT(SetRoute(0), 0);
  desk.SetMode(2);
  EXPECT_EQ(Press(1, 1, 2, 1), RouteInput::Unchanged);
  EXPECT_TRUE(RouteIsSet(sim, 0, 0));

  // Route 1 conflicts with the set route 0: its order waits, and mode 2 withdraws it at once
  // (as a release it would wait behind the same conflict and hold up the station).
  ASSERT_TRUE(OrderRoute(sim, 0, 1));
  fixtures::Steps(sim, 3);
  ASSERT_TRUE(RouteIsPending(sim, 0, 1));
  desk.SetMode(2);
  EXPECT_EQ(Press(1, 1, 2, 2), RouteInput::Changed);
  EXPECT_TRUE(Free(1));
  EXPECT_TRUE(RouteIsSet(sim, 0, 0));
  EXPECT_EQ(LockedHalves(1), 0);

  // Halfway through an assembly the route is released again.
  ASSERT_GT(ReleaseRoute(0), 0);
  ASSERT_TRUE(OrderRoute(sim, 0, 0));
  fixtures::Steps(sim, 2);
  ASSERT_GT(LockedHalves(0), 0);
  desk.SetMode(2);
  EXPECT_EQ(Press(1, 1, 2, 1), RouteInput::Changed);
  ASSERT_GT(StepsUntil([&] { return Free(0); }), 0);
  EXPECT_EQ(LockedHalves(), 0);
}

TEST_F(DeskTest, ThroughPassageOrdersAndReleasesBothHalves) {
  desk.SelectStation(0, false);
  EXPECT_EQ(Press(1, 1, 4, 1), RouteInput::Changed);
  EXPECT_EQ(Ctl(0).TASKED, sim.State.ClockTime);
  EXPECT_EQ(Ctl(2).TASKED, sim.State.ClockTime);
  EXPECT_TRUE(InputClear());
  ASSERT_GT(StepsUntil([&] { return RouteIsSet(sim, 0, 0) && RouteIsSet(sim, 0, 2); }), 0);

  EXPECT_EQ(Press(1, 1, 4, 1), RouteInput::Unchanged);  // already set
  desk.SetMode(1);
  EXPECT_EQ(Press(1, 1, 4, 1), RouteInput::Changed);
  EXPECT_TRUE(RouteIsPending(sim, 0, 0) && RouteIsPending(sim, 0, 2));
  ASSERT_GT(StepsUntil([&] { return Free(0) && Free(2); }), 0);

  // From the right: 41 -> 31 and 21 -> 11.
  EXPECT_EQ(Press(4, 1, 1, 1), RouteInput::Changed);
  EXPECT_TRUE(RouteIsPending(sim, 0, 4) && RouteIsPending(sim, 0, 6));
  // Both halves pending: mode 2 turns both round (the half that has locked something is
  // released, the other withdrawn); one half settled: refused.
  fixtures::Steps(sim, 2);
  ASSERT_GT(LockedHalves(), 0);
  desk.SetMode(2);
  EXPECT_EQ(Press(4, 1, 1, 1), RouteInput::Changed);
  EXPECT_TRUE(RouteIsPending(sim, 0, 4) != RouteIsPending(sim, 0, 6));
  ASSERT_GT(StepsUntil([&] { return Free(4) && Free(6); }), 0);
  EXPECT_EQ(LockedHalves(), 0);
  ASSERT_TRUE(OrderRoute(sim, 0, 4));
  desk.SetMode(2);
  EXPECT_EQ(Press(4, 1, 1, 1), RouteInput::Unchanged);
  EXPECT_TRUE(Free(6));

  // Only in the rows up to the throat layout.
  EXPECT_EQ(Press(1, 2, 4, 2), RouteInput::NoRoute);
}

TEST_F(DeskTest, KeysPressRouteButtonsOfTheSelectedControlledStation) {
  desk.SelectStation(0, false);
  EXPECT_EQ(desk.KeyRoutePress(true, 1, 1), RouteInput::StartHeld);  // Alt+Q: 11
  EXPECT_EQ(desk.KeyRoutePress(false, 2, 2), RouteInput::Changed);   // Shift+S: 22
  EXPECT_TRUE(RouteIsPending(sim, 0, 1));
  EXPECT_EQ(desk.KeyRoutePress(true, 3, 1), RouteInput::Ignored);  // no button 15
  EXPECT_EQ(desk.Start().Column, 0);

  AddDutyStation();
  desk.SelectStation(1, false);
  EXPECT_EQ(desk.KeyRoutePress(true, 1, 1), RouteInput::Ignored);
  EXPECT_FALSE(desk.SetMode(1));
}

TEST_F(DeskTest, SelectionLampsDialogAndSecondClick) {
  AddDutyStation();
  SelectEffects e = desk.SelectStation(0, true);  // a controlled station only selects
  EXPECT_TRUE(e.ShowDesk && e.HideTaskDialog);
  EXPECT_EQ(e.OpenTaskDialog, -1);
  EXPECT_EQ(desk.Selected(), 0);
  EXPECT_TRUE(desk.Lamps()[kFirstStationLamp]);
  EXPECT_TRUE(Lamp(1).YELLOW);

  e = desk.SelectStation(1, true);  // the duty officer's station opens the task dialog
  EXPECT_EQ(e.OpenTaskDialog, 1);
  EXPECT_FALSE(e.ShowDesk || e.HideTaskDialog);
  EXPECT_FALSE(desk.Lamps()[kFirstStationLamp]);
  EXPECT_FALSE(Lamp(1).YELLOW);
  EXPECT_TRUE(desk.Lamps()[kFirstStationLamp + 1]);
  EXPECT_TRUE(Lamp(2).YELLOW);

  e = desk.SelectStation(1, false);  // second plain click deselects
  EXPECT_TRUE(e.HideTaskDialog);
  EXPECT_FALSE(e.ShowDesk);
  EXPECT_EQ(desk.Selected(), -1);
  EXPECT_FALSE(desk.Lamps()[kFirstStationLamp + 1] || Lamp(2).YELLOW);

  desk.SelectStation(0, false);
  desk.RouteButton({1, 1});
  desk.SelectStation(0, false);
  EXPECT_TRUE(InputClear());
  // Outside the stations: ignored.
  desk.SelectStation(5, false);
  desk.SelectStation(-3, false);
  EXPECT_EQ(desk.Selected(), -1);
}

TEST_F(DeskTest, SelectionEndsAfterThreeHundredSecondsOfRealTimeAtEveryScale) {
  // A tick's real interval and the simulated time it carries: x1, x16 and x256. The selection
  // holds through `kept` ticks (at most 300 real seconds) and ends at the next.
  for (const auto& [interval, simulated, kept] :
       {std::tuple{0.5, 0.5, 600}, {0.062, 1.0, 4838}, {0.062, 16.0, 4838}}) {
    SCOPED_TRACE(testing::Message() << interval << " s a tick carrying " << simulated << " s");
    desk.SelectStation(0, false);
    desk.SetMode(1);
    for (int k = 0; k < kept; ++k) {
      sim.State.ClockTime += simulated * kSecond;
      ASSERT_FALSE(desk.Tick(false, interval)) << k;
    }
    EXPECT_LE(desk.SelectionAge(), kSelectionTimeoutSeconds);
    EXPECT_EQ(desk.Selected(), 0);
    EXPECT_TRUE(desk.Tick(false, interval));
    EXPECT_EQ(desk.Selected(), -1);
    EXPECT_FALSE(desk.Lamps()[kFirstStationLamp] || Lamp(1).YELLOW);
    EXPECT_TRUE(InputClear());
    EXPECT_FALSE(desk.Tick(false, interval));
  }
}

TEST_F(DeskTest, TheOpenTaskDialogHoldsTheSelectionAndANewSelectionCountsAfresh) {
  AddDutyStation();
  desk.SelectStation(0, false);
  EXPECT_FALSE(desk.Tick(false, 299));
  EXPECT_FALSE(desk.Tick(true, 2));  // past the time-out, but the dialog is open
  EXPECT_EQ(desk.Selected(), 0);
  desk.SelectStation(1, false);  // another station: its own 300 seconds
  EXPECT_EQ(desk.SelectionAge(), 0);
  EXPECT_FALSE(desk.Tick(false, 299));
  EXPECT_EQ(desk.Selected(), 1);
  EXPECT_TRUE(desk.Tick(false, 2));
  EXPECT_EQ(desk.Selected(), -1);
}

TEST_F(DeskTest, CommitTogglesOnlyWhereTheFragmentHasItsLampAndTheLampFollows) {
  sim.AreaData.GraphFragms[0].DepartCommitLamp[0] = 13;
  EXPECT_FALSE(desk.ToggleCommit(0));  // nothing selected
  desk.SelectStation(0, false);
  sim.State.ClockTime += 5 * kSecond;
  EXPECT_TRUE(desk.ToggleCommit(0));
  EXPECT_EQ(sim.State.DepartCommits[0].EVEN, sim.State.ClockTime);
  EXPECT_TRUE(Lamp(13).YELLOW);
  EXPECT_TRUE(desk.ToggleCommit(0));
  EXPECT_EQ(sim.State.DepartCommits[0].EVEN, 0);
  EXPECT_FALSE(Lamp(13).YELLOW);
  EXPECT_FALSE(desk.ToggleCommit(1));  // no odd commit lamp
  EXPECT_EQ(sim.State.DepartCommits[0].ODD, 0);

  // A commit left unused goes out after three minutes, lamp and all.
  EXPECT_TRUE(desk.ToggleCommit(0));
  sim.State.ClockTime += 181 * kSecond;
  fixtures::Steps(sim, 1);
  EXPECT_EQ(sim.State.DepartCommits[0].EVEN, 0);
  EXPECT_FALSE(Lamp(13).YELLOW);
}

}  // namespace
}  // namespace traklin
