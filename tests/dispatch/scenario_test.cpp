// Instructor scenarios: every action played against the demo district, and every kind of bad
// line refused with its number before anything runs.
#include "dispatch/scenario.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "simulation/save_state.h"
#include "trains/op_task.h"
#include "trains/shipped_district.h"

namespace traklin {
namespace {

using test::ShippedDistrict;

struct ScenarioFixture : ::testing::Test {
  ShippedDistrict d{1};
  int lp = d.LP("Сосновка");  // the controlled station
  int code = d.Sim.AreaData.Puts[lp].Code;
  std::vector<std::pair<int, std::string>> refused;
  std::vector<bool> answers;
  // Кедровая has a departure commit lamp for its odd departures.
  int commitLp = d.LP("Кедровая");
  std::string commit = fmt::format("commit {} odd", d.Sim.AreaData.Puts[commitLp].Code);

  ScenarioFixture() { d.SetClock(600); }

  /// Reads the text and plays it up to the clock `minutes` after 06:00.
  ScenarioPlayer Play(const std::string& text, int minutes = 0) {
    ScenarioPlayer player(ParseScenario(text, d.Sim.AreaData), d.Sim.State.ClockTime);
    player.Refused = [this](int line, const std::string& reason) {
      refused.emplace_back(line, reason);
    };
    player.SetAnswer = [this](bool a) { answers.push_back(a); };
    player.Save = [this](const std::string& file) { return SaveForScenario(d.Sim, file); };
    player.DefaultAnswer = true;
    player.PlayDue(d.Sim, d.Sim.State.ClockTime + minutes * kMinute);
    return player;
  }
  /// "C R C R" of route r of the station.
  std::string Buttons(int r) const {
    const TTrainRouteData& route = d.Sim.AreaData.TrainRoutes[lp].Routes[r];
    return fmt::format("{} {} {} {}", route.StartKind, route.StartPosition, route.EndKind,
                       route.EndPosition);
  }
  std::string TrackName(int track) const {
    return FormatTrackName(d.Sim.AreaData.Puts[lp].Tracks[track].Number);
  }
};

TEST_F(ScenarioFixture, RouteAndCancelWorkTheRouteOfTheDeskButtons) {
  ASSERT_FALSE(d.Sim.AreaData.TrainRoutes[lp].Routes.empty());
  const TTrainRouteData& first = d.Sim.AreaData.TrainRoutes[lp].Routes[0];
  const int r = FindRoute(d.Sim.AreaData, lp, first.StartKind, first.StartPosition, first.EndKind,
                          first.EndPosition);
  Play(fmt::format("06:00 route {} {}\n", code, Buttons(r)));
  const TRouteControlData& control = d.Sim.State.Routes[lp][r];
  EXPECT_TRUE(control.TASKED != 0 || control.SCHUNTED);
  EXPECT_TRUE(refused.empty());
  d.Steps(240);
  ASSERT_TRUE(control.SCHUNTED);
  Play(fmt::format("06:02 cancel {} {}\n", code, Buttons(r)));
  EXPECT_TRUE(control.TASKED != 0 || !control.SCHUNTED);
  // A second cancel of a route being released is refused when played, with its line.
  Play(fmt::format("# again\n06:02 cancel {} {}\n", code, Buttons(r)));
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].first, 2);
}

TEST_F(ScenarioFixture, CommitTogglesTheDepartureCommitOfTheDirection) {
  ASSERT_GT(d.Sim.AreaData.GraphFragms[commitLp].DepartCommitLamp[1], 0);
  Play("06:00 " + commit + "\n");
  EXPECT_NE(d.Sim.State.DepartCommits[commitLp].ODD, 0);
  EXPECT_EQ(d.Sim.State.DepartCommits[commitLp].EVEN, 0);
  Play("06:00 " + commit + "\n");
  EXPECT_EQ(d.Sim.State.DepartCommits[commitLp].ODD, 0);
}

TEST_F(ScenarioFixture, CommitGiveAndTakeAreRefusedWhenAlreadySo) {
  Play("06:00 " + commit + " take\n06:00 " + commit + " give\n06:00 " + commit + " give\n");
  EXPECT_NE(d.Sim.State.DepartCommits[commitLp].ODD, 0);
  const std::vector<std::pair<int, std::string>> expected = {{1, "there is no commit to take"},
                                                             {3, "the commit is already given"}};
  EXPECT_EQ(refused, expected);
  Play("06:00 " + commit + " take\n");
  EXPECT_EQ(d.Sim.State.DepartCommits[commitLp].ODD, 0);
  EXPECT_EQ(refused.size(), 2u);
}

TEST_F(ScenarioFixture, AutoSwitchesOneStationOrAllAndTellsTheConsole) {
  int told = 0;
  ScenarioPlayer player(ParseScenario(fmt::format("06:00 auto {} on\n06:01 auto all on\n"
                                                  "06:02 auto all off\n06:03 auto {} on\n",
                                                  code, code),
                                      d.Sim.AreaData),
                        d.Sim.State.ClockTime);
  player.AutoChanged = [&] { ++told; };
  const std::size_t count = d.Sim.AreaData.Puts.size();
  const auto automated = [&] {
    std::vector<int> on;
    for (std::size_t l = 0; l < d.Sim.State.AutoLPs.size(); ++l)
      if (d.Sim.State.AutoLPs[l]) on.push_back(static_cast<int>(l));
    return on;
  };
  player.PlayDue(d.Sim, d.Sim.State.ClockTime);
  ASSERT_EQ(d.Sim.State.AutoLPs.size(), count);
  EXPECT_EQ(automated(), std::vector<int>{lp});
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + kMinute);
  EXPECT_EQ(automated().size(), count);
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 2 * kMinute);
  EXPECT_TRUE(automated().empty());
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 3 * kMinute);
  EXPECT_EQ(automated(), std::vector<int>{lp});
  EXPECT_EQ(told, 4);
}

TEST_F(ScenarioFixture, HoldKeepsTheTrainFromTheDispatcherForItsSpanAndALaterHoldReplacesIt) {
  ScenarioPlayer player(ParseScenario("06:00 hold 2001 20m\n06:10 hold 2001 5m\n"
                                      "06:10 hold 3001 1h\n",
                                      d.Sim.AreaData),
                        d.Sim.State.ClockTime);
  const TDateTime start = d.Sim.State.ClockTime;
  player.PlayDue(d.Sim, start);
  ASSERT_EQ(d.Sim.AutoHolds.size(), 1u);
  EXPECT_TRUE(IsHeld(d.Sim.AutoHolds, 2001, start + 19 * kMinute));
  EXPECT_FALSE(IsHeld(d.Sim.AutoHolds, 2001, start + 20 * kMinute));
  EXPECT_FALSE(IsHeld(d.Sim.AutoHolds, 2002, start));
  player.PlayDue(d.Sim, start + 10 * kMinute);
  ASSERT_EQ(d.Sim.AutoHolds.size(), 2u);
  EXPECT_FALSE(IsHeld(d.Sim.AutoHolds, 2001, start + 15 * kMinute));
  EXPECT_TRUE(IsHeld(d.Sim.AutoHolds, 3001, start + 69 * kMinute));
}

TEST_F(ScenarioFixture, ScaleGoesToTheConsoleAndIsSkippedWithoutOne) {
  std::vector<int> levels;
  ScenarioPlayer player(ParseScenario("06:00 scale 0\n06:00 scale 9\n", d.Sim.AreaData),
                        d.Sim.State.ClockTime);
  player.Refused = [this](int line, const std::string& reason) {
    refused.emplace_back(line, reason);
  };
  player.PlayDue(d.Sim, d.Sim.State.ClockTime);  // a headless run has no time scale
  EXPECT_EQ(player.Pending(), 0u);
  EXPECT_TRUE(refused.empty());
  ScenarioPlayer console(ParseScenario("06:00 scale 0\n06:00 scale 9\n", d.Sim.AreaData),
                         d.Sim.State.ClockTime);
  console.SetScale = [&](int level) { levels.push_back(level); };
  console.PlayDue(d.Sim, d.Sim.State.ClockTime);
  EXPECT_EQ(levels, (std::vector<int>{0, 9}));
}

TEST_F(ScenarioFixture, TaskIsCheckedAndWrittenAndCancelTaskClearsIt) {
  // Tasks go to a station with a duty officer, at the first side that receives.
  lp = d.LP("Озёрная");
  code = d.Sim.AreaData.Puts[lp].Code;
  ASSERT_TRUE(StationTakesTasks(d.Sim.AreaData, lp));
  const TaskThroatSlots slots = ThroatSlotsOf(d.Sim.AreaData, lp);
  const int side = slots.At(0, 0, 0) >= 0 ? 0 : 1;
  const int g = slots.At(side, 0, 0);
  ASSERT_GE(g, 0);
  const std::string throat = side == 0 ? "even" : "odd";
  Play(fmt::format("06:00 task {} receive {} {}\n", code, throat, TrackName(0)));
  ASSERT_TRUE(refused.empty()) << refused[0].second;
  EXPECT_NE(d.Sim.State.Gorls[g].TASKED, 0);
  EXPECT_FALSE(d.Sim.State.Gorls[g].SEND);
  EXPECT_EQ(d.Sim.State.Gorls[g].TRACK, 0);
  // The throat is taken now: the check's own reason comes back.
  Play(fmt::format("06:00 task {} receive {} {}\n", code, throat, TrackName(0)));
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].second, "Горловина занята");
  Play(fmt::format("06:00 canceltask {} {}\n", code, throat));
  EXPECT_EQ(d.Sim.State.Gorls[g].TASKED, 0);
  Play(fmt::format("06:00 canceltask {} {}\n", code, throat));
  EXPECT_EQ(refused.back().second, "the throat has no task");
}

TEST_F(ScenarioFixture, PutPlacesAWaitingTrainOnTheTrack) {
  const int zar = d.LP("Заречье");
  const int i = test::CreateTimetableTrain(d.Sim, 801);
  ASSERT_EQ(d.Sim.State.Trains[i].HEAD.SECT_IDX, 0);
  const std::string track = FormatTrackName(d.Sim.AreaData.Puts[zar].Tracks[0].Number);
  Play(fmt::format("06:00 put 801 {} {}\n06:00 put 801 {} {}\n", d.Sim.AreaData.Puts[zar].Code,
                   track, d.Sim.AreaData.Puts[zar].Code, track));
  EXPECT_EQ(d.Sim.State.Trains[i].HEAD.SECT_IDX, d.Sim.AreaData.Puts[zar].Tracks[0].Section);
  // The second put finds the track taken.
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0], std::make_pair(2, std::string("the track is occupied")));
}

TEST_F(ScenarioFixture, AnswerHoldsForItsSpanAndSaveWritesTheFile) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / "traklin-scenario-test.sav";
  std::filesystem::remove(file);
  ScenarioPlayer player =
      Play("06:00 answer no 10m\n06:05 save " + file.string() + "\n06:30 answer no\n", 5);
  EXPECT_EQ(answers, std::vector<bool>{false});
  EXPECT_TRUE(std::filesystem::exists(file));
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 10 * kMinute);
  EXPECT_EQ(answers, (std::vector<bool>{false, true}));  // the span is over
  EXPECT_EQ(player.Pending(), 1u);
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 30 * kMinute);
  EXPECT_EQ(answers, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(player.Pending(), 0u);
  std::filesystem::remove(file);
}

TEST_F(ScenarioFixture, AnswerEndedReplacesTheDefaultAnswerWhenTheSpanIsOver) {
  ScenarioPlayer player(ParseScenario("06:00 answer no 10m\n", d.Sim.AreaData),
                        d.Sim.State.ClockTime);
  int ended = 0;
  player.SetAnswer = [this](bool a) { answers.push_back(a); };
  player.AnswerEnded = [&ended] { ++ended; };
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 9 * kMinute);
  EXPECT_EQ(std::pair(answers, ended), std::pair(std::vector<bool>{false}, 0));
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 10 * kMinute);
  EXPECT_EQ(std::pair(answers, ended), std::pair(std::vector<bool>{false}, 1));
}

TEST_F(ScenarioFixture, AnswerSpanEndsAtTheStepThatReachesItsEndAsTheClockSumsHalfSeconds) {
  ScenarioPlayer player = Play("06:00 answer no 10m\n");
  // The player is asked before every step with the clock that step reaches; the clock is a
  // sum of half seconds, which drifts from the exact end time.
  TDateTime clock = d.Sim.State.ClockTime;
  int step = 0;
  while (answers.size() < 2 && step < 2000) {
    ++step;
    player.PlayDue(d.Sim, clock + kStepLength);
    clock += kStepLength;
  }
  EXPECT_EQ(answers, (std::vector<bool>{false, true}));
  EXPECT_EQ(step, 1200);  // ten minutes of half-second steps
}

TEST_F(ScenarioFixture, LinesBeforeTheStartOrAnEarlierLineFallOnTheNextDay) {
  ScenarioPlayer player = Play("05:59 " + commit + "\n", 60);
  EXPECT_EQ(player.Pending(), 1u);
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 1 - 2 * kMinute);
  EXPECT_EQ(player.Pending(), 1u);
  player.PlayDue(d.Sim, d.Sim.State.ClockTime + 1 - kMinute);
  EXPECT_EQ(player.Pending(), 0u);
}

TEST_F(ScenarioFixture, BadLinesAreRefusedWithTheirNumberAndReason) {
  const std::string c = std::to_string(code);
  // Озёрная has a duty officer: it takes tasks, the desk orders no routes there.
  const int ozLp = d.LP("Озёрная");
  const std::string o = std::to_string(d.Sim.AreaData.Puts[ozLp].Code);
  const std::string ozTrack = FormatTrackName(d.Sim.AreaData.Puts[ozLp].Tracks[0].Number);
  const TaskThroatSlots ozSlots = ThroatSlotsOf(d.Sim.AreaData, ozLp);
  const std::string lone = ozSlots.At(0, 0, 1) < 0 ? "even:1" : "odd:1";
  ASSERT_LT(ozSlots.At(lone == "even:1" ? 0 : 1, 0, 1), 0);
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {
      {"6:00x " + commit, "not a time [YYYY-MM-DD] HH:MM[:SS[.s]]: 6:00x"},
      {"24:00 " + commit, "not a time [YYYY-MM-DD] HH:MM[:SS[.s]]: 24:00"},
      {"06:00", "no action"},
      {"06:00 fly " + c, "unknown action: fly"},
      {"06:00 commit " + c, "commit: expected 2 to 3 arguments, got 1"},
      {"06:00 commit 9999 even", "no LP with code 9999"},
      {"06:00 commit x even", "LP code is not a number: x"},
      {"06:00 commit " + c + " up", "expected even or odd: up"},
      {"06:00 commit " + c + " even",
       "LP " + c + " has no departure commit for the even direction"},
      {"06:00 route " + c + " 9 9 9 9", "no route from 9 9 to 9 9 at LP " + c},
      {"06:00 route " + o + " 1 1 2 1", "LP " + o + " is not worked from the desk"},
      {"06:00 task " + c + " receive even I", "LP " + c + " takes no tasks"},
      {"06:00 task " + o + " take even I", "expected receive, send or transit: take"},
      {"06:00 task " + o + " receive north I",
       "throat must be even or odd (with :1 for the second): north"},
      {"06:00 task " + o + " receive " + lone + " " + ozTrack,
       "no such throat at LP " + o + ": receive " + lone},
      {"06:00 task " + o + " receive even XX", "no track XX at LP " + o},
      {"06:00 put 0 " + c + " " + TrackName(0), "train number must be positive: 0"},
      {"06:00 answer maybe", "expected no or yes: maybe"},
      {"06:00 answer yes 5x", "not a span (a number with s, m, h or d): 5x"},
      {"06:00 save", "save: expected 1 arguments, got 0"},
      {"06:00 " + commit + " now", "expected take or give: now"},
      {"06:00 auto " + c, "auto: expected 2 arguments, got 1"},
      {"06:00 auto 9999 on", "no LP with code 9999"},
      {"06:00 auto all maybe", "expected off or on: maybe"},
      {"06:00 hold 2001", "hold: expected 2 arguments, got 1"},
      {"06:00 hold -5 10m", "train number must be positive: -5"},
      {"06:00 hold 2001 0m", "not a span (a number with s, m, h or d): 0m"},
      {"06:00 scale 10", "time-scale level must be 0 to 9: 10"},
      {"06:00 scale fast", "time-scale level is not a number: fast"},
  };
  for (const auto& k : cases) {
    // Two good lines and a comment before the bad one: it is line 4.
    const std::string text =
        "; shift\n06:00 " + commit + " # first\n\n" + k.text + "\n06:00 " + commit + "\n";
    try {
      ParseScenario(text, d.Sim.AreaData);
      ADD_FAILURE() << "accepted: " << k.text;
    } catch (const ScenarioError& e) {
      EXPECT_EQ(e.Line, 4) << k.text;
      EXPECT_EQ(e.Reason, k.reason) << k.text;
      EXPECT_EQ(std::string(e.what()), "line 4: " + k.reason);
    }
  }
  EXPECT_EQ(ParseScenario("# nothing\n  ; at all\n", d.Sim.AreaData).size(), 0u);
  try {
    ReadScenarioFile("no-such-scenario.txt", d.Sim.AreaData);
    ADD_FAILURE();
  } catch (const ScenarioError& e) {
    EXPECT_EQ(e.Line, 0);
  }
}

}  // namespace
}  // namespace traklin
