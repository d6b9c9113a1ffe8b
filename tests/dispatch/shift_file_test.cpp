// The text of a shift: stamps of simulated time, the header, stamped and dated lines, the new
// actions, and when the player does each line (replies within the step of their question).
#include "dispatch/shift_file.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "dispatch/scenario.h"
#include "trains/shipped_district.h"

namespace traklin {
namespace {

using test::ShippedDistrict;

TEST(ShiftStampTest, StampsCutTheClockToItsTenthAndMeetTheScenarioTimesToTheBit) {
  const TDateTime day = *ParseStartTime("2024-03-15 00:00");
  const struct {
    TDateTime Clock;
    std::string Stamp;
    std::string Due;
  } cases[] = {
      {day + 6.0 / 24, "2024-03-15 06:00:00.0", "2024-03-15 06:00:00.5"},
      {AdvanceClock(day + 6.0 / 24, 0.287 / 86400), "2024-03-15 06:00:00.2",
       "2024-03-15 06:00:00.7"},
      {AdvanceClock(day + 1, -0.5 / 86400), "2024-03-15 23:59:59.5", "2024-03-16 00:00:00.0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatStamp(TenthsOf(c.Clock), true), c.Stamp);
    EXPECT_EQ(FormatEventTime(DueAfter(c.Clock)), c.Due);
  }
  EXPECT_EQ(FormatStamp(TenthsOf(day + 6.5 / 24), false), "06:30:00.0");
  // A time built from whole seconds, as a scenario's line in HH:MM:SS is placed, is the same
  // number as the stamp half a second earlier moved on by DueAfter.
  for (int s = 0; s < 86400; s += 7) {
    const TDateTime old = day + s / 86400.0;
    const TDateTime stamped = TimeOfTenths(static_cast<Tenths>(day) * kTenthsPerDay + s * 10 - 5);
    ASSERT_EQ(DueAfter(AdvanceClock(stamped, 0)), old) << s;
  }
}

TEST(ShiftHeaderTest, TheHeaderReadsBackAndBadDirectivesNameTheirLine) {
  const TDateTime start = *ParseStartTime("2024-03-15 06:00");
  const std::string text =
      FormatShiftHeader("1", 18446744073709551615u, {{"LEVEL/CREATEDEPENDANTTRAINS", "1"}}, start) +
      "06:10:00.0 auto all on\nend 2024-03-15 07:00:00.0\n";
  const ShiftHeader h = ParseShiftHeader(text);
  EXPECT_EQ(h.District, "1");
  EXPECT_EQ(h.Seed, 18446744073709551615u);
  ASSERT_EQ(h.Settings.size(), 1u);
  EXPECT_EQ(h.Settings[0].first, "LEVEL/CREATEDEPENDANTTRAINS");
  EXPECT_EQ(h.Settings[0].second, "1");
  EXPECT_EQ(FormatEventTime(*h.Start), "2024-03-15 06:00:00.0");
  EXPECT_EQ(FormatEventTime(*h.End), "2024-03-15 07:00:00.0");

  const struct {
    std::string Line;
    std::string Reason;
  } bad[] = {
      {"district", "district: expected the district"},
      {"seed 12x", "seed: not a number from 0 to 18446744073709551615: 12x"},
      {"seed 18446744073709551616",
       "seed: not a number from 0 to 18446744073709551615: "
       "18446744073709551616"},
      {"seed 1 2", "seed: expected 1 arguments, got 2"},
      {"setting LEVEL=1", "setting: expected SECTION/KEY=VALUE: LEVEL=1"},
      {"setting LEVEL/X=yes", "setting: not an integer: LEVEL/X=yes"},
      {"start 2024-03-15 06:00", "start: not a time YYYY-MM-DD HH:MM:SS.s: 2024-03-15 06:00"},
      {"end 2024-02-30 06:00:00.0", "end: not a time YYYY-MM-DD HH:MM:SS.s: 2024-02-30 06:00:00.0"},
      {"district 2", "district: given twice"},
  };
  for (const auto& b : bad) {
    try {
      ParseShiftHeader("district 1\n# a comment\n" + b.Line + "\n");
      ADD_FAILURE() << b.Line;
    } catch (const ScenarioError& e) {
      EXPECT_EQ(e.Line, 3) << b.Line;
      EXPECT_EQ(e.Reason, b.Reason);
    }
  }
}

TEST(ShiftLineWriterTest, TheDateComesOnTheFirstLineAndOnEachNewDayAndNotesStayOnTheLine) {
  const TDateTime day = *ParseStartTime("2024-03-15 00:00");
  ShiftLineWriter w;
  EXPECT_EQ(w.Line(day + 0.5, "auto all on", ""), "2024-03-15 12:00:00.0 auto all on");
  EXPECT_EQ(w.Line(day + 0.75, "reply yes", "Поезд № 1 к отправлению готов. \r\nОтправить?"),
            "18:00:00.0 reply yes  # Поезд № 1 к отправлению готов.  Отправить?");
  EXPECT_EQ(w.Line(day + 1.25, "savelast", ""), "2024-03-16 06:00:00.0 savelast");
  EXPECT_EQ(w.Line(day + 1.5, "savelast", "not saved"), "12:00:00.0 savelast  # not saved");
}

struct ShiftLinesTest : ::testing::Test {
  ShippedDistrict d{1};
  int sos = d.LP("Сосновка");
  int oz = d.LP("Озёрная");
  std::string S = std::to_string(d.Sim.AreaData.Puts[sos].Code);
  std::string O = std::to_string(d.Sim.AreaData.Puts[oz].Code);
  std::vector<std::pair<int, std::string>> refused;
  std::vector<std::string> played;

  ShiftLinesTest() {
    d.SetClock(600);
    d.Sim.OnOperation = [this](const std::string& line, const std::string& note) {
      played.push_back(note.empty() ? line : line + " # " + note);
    };
  }
  ScenarioPlayer Player(const std::string& text) {
    ScenarioPlayer p(ParseScenario(text, d.Sim.AreaData), d.Sim.State.ClockTime);
    p.Refused = [this](int line, const std::string& reason) { refused.emplace_back(line, reason); };
    return p;
  }
  std::string Track(int lp, int k) const {
    return FormatTrackName(d.Sim.AreaData.Puts[lp].Tracks[k].Number);
  }
};

TEST_F(ShiftLinesTest, StampedAndDatedLinesAndTheNewActionsAreRead) {
  const std::string text = fmt::format(
      "district 1\nseed 5\nsetting GID/GIDENABLED=1\nstart 2024-03-15 06:00:00.0\n"
      "2025-03-15 06:09:59.5 invert {0} 1 1 2 1  # a comment\n"
      "06:10:00.0 reply no  # Выставляю поезд № 801 на I путь?\n"
      "06:10:00.5 through {0} 1 1 4 1\n06:11 cancelthrough {0} 4 1 1 1\n"
      "06:12 invertthrough {0} 1 1 4 1\n06:13 task {1} transit odd {2} dialog\n"
      "06:14 canceltask {1}\n06:15 savelast\n06:16 set LEVEL/PUNCTUALITYTOLERANCEMIN=9\n"
      "end 2025-03-15 07:00:00.0\n",
      S, O, Track(oz, 1));
  const std::vector<ScenarioStep> steps = ParseScenario(text, d.Sim.AreaData);
  ASSERT_EQ(steps.size(), 9u);
  EXPECT_EQ(steps[0].Action, ScenarioAction::Invert);
  EXPECT_TRUE(steps[0].Stamped);
  ASSERT_TRUE(steps[0].Day);
  EXPECT_EQ(*steps[0].Day, static_cast<int>(*ParseStartTime("2025-03-15 00:00")));
  EXPECT_EQ(steps[0].TenthOfDay, (6 * 3600 + 9 * 60 + 59) * 10 + 5);
  EXPECT_EQ(steps[0].Text, fmt::format("invert {} 1 1 2 1", S));
  EXPECT_EQ(steps[0].Line, 5);
  EXPECT_EQ(steps[1].Action, ScenarioAction::Reply);
  EXPECT_FALSE(steps[1].Answer);
  EXPECT_EQ(steps[2].Action, ScenarioAction::Through);
  EXPECT_EQ(steps[2].Mode, 0);
  EXPECT_EQ(steps[3].Mode, 1);
  EXPECT_EQ(steps[4].Mode, 2);
  // From the right the passage is made of the same routes' mirror images.
  EXPECT_NE(steps[3].Route, steps[2].Route);
  EXPECT_EQ(steps[5].Action, ScenarioAction::Task);
  EXPECT_TRUE(steps[5].Transit);
  EXPECT_TRUE(steps[5].Dialog);
  EXPECT_EQ(steps[5].Dir, 1);
  EXPECT_EQ(steps[6].Dir, -1);
  EXPECT_EQ(steps[7].Action, ScenarioAction::SaveLast);
  EXPECT_EQ(steps[8].File, "LEVEL/PUNCTUALITYTOLERANCEMIN");
  EXPECT_EQ(steps[8].Value, "9");
}

TEST_F(ShiftLinesTest, BadLinesOfTheNewFormsAreRefusedWithTheirNumberAndReason) {
  const struct {
    std::string Text;
    std::string Reason;
  } cases[] = {
      {"06:00:00.55 savelast", "not a time [YYYY-MM-DD] HH:MM[:SS[.s]]: 06:00:00.55"},
      {"06:00.5 savelast", "not a time [YYYY-MM-DD] HH:MM[:SS[.s]]: 06:00.5"},
      {"2024-02-30 06:00:00.0 savelast", "not a time [YYYY-MM-DD] HH:MM[:SS[.s]]: 2024-02-30"},
      {"06:00 savelast now", "savelast: expected 0 arguments, got 1"},
      {"06:00 reply maybe", "expected no or yes: maybe"},
      {"06:00 through " + S + " 1 1 3 1", "no through passage from 1 1 to 3 1 at LP " + S},
      {"06:00 through " + O + " 1 1 4 1", "LP " + O + " is not worked from the desk"},
      {"06:00 invert " + S + " 9 9 9 9", "no route from 9 9 to 9 9 at LP " + S},
      {"06:00 task " + O + " transit north I",
       "throat must be even or odd (with :N for the inlet): north"},
      {"06:00 task " + O + " transit odd:7 I", "inlet must be 0 to 3: odd:7"},
      {"06:00 task " + O + " transit odd:1 " + Track(oz, 1),
       "no inlet 1 at LP " + O + " for a transit odd:1"},
      {"06:00 task " + O + " receive even " + Track(oz, 0) + " later",
       "expected dialog after the track: later"},
      {"06:00 set LEVEL/NOSUCHKEY=1", "no such setting: LEVEL/NOSUCHKEY"},
      {"06:00 set GID/GIDENABLED=on", "not an integer: GID/GIDENABLED=on"},
      {"06:00 set GIDENABLED", "expected SECTION/KEY=VALUE: GIDENABLED"},
      {"seed one", "seed: not a number from 0 to 18446744073709551615: one"},
  };
  for (const auto& k : cases) {
    try {
      ParseScenario("06:00 savelast\n\n" + k.Text + "\n", d.Sim.AreaData);
      ADD_FAILURE() << "accepted: " << k.Text;
    } catch (const ScenarioError& e) {
      EXPECT_EQ(e.Line, 3) << k.Text;
      EXPECT_EQ(e.Reason, k.Reason) << k.Text;
    }
  }
}

TEST_F(ShiftLinesTest, AStampedLineIsDoneWithTheScenarioLineHalfASecondLater) {
  const TDateTime now = d.Sim.State.ClockTime;  // 06:00:00.0
  ScenarioPlayer p = Player("06:09:59.5 auto all on\n06:10 auto all off\n06:10:00.0 auto all on\n");
  p.PlayDue(d.Sim, now + 10 * kMinute - kStepLength);
  EXPECT_EQ(p.Pending(), 3u);
  p.PlayDue(d.Sim, now + 10 * kMinute);
  EXPECT_EQ(p.Pending(), 1u);
  EXPECT_FALSE(d.Sim.State.AutoLPs[sos]);
  p.PlayDue(d.Sim, now + 10 * kMinute + kStepLength);
  EXPECT_EQ(p.Pending(), 0u);
  EXPECT_TRUE(d.Sim.State.AutoLPs[sos]);
  // Every line is told as written, once, the operation it did not again.
  EXPECT_EQ(played, (std::vector<std::string>{"auto all on", "auto all off", "auto all on"}));
}

TEST_F(ShiftLinesTest, RepliesWaitForTheQuestionsOfTheirStepAndTheRestAreRefused) {
  const TDateTime now = d.Sim.State.ClockTime;
  // The operation of 06:00:00.5 comes first in the file, yet the reply of that stamp answers
  // within the step that reaches it, before the operation is done after it.
  ScenarioPlayer p = Player(
      "06:00:00.5 auto all on\n06:00:00.5 reply no\n06:00:00.5 reply yes\n06:00:01.0 reply no\n"
      "06:00:01.5 reply yes\n");
  p.PlayDue(d.Sim, now + kStepLength);
  EXPECT_EQ(p.Pending(), 3u);
  EXPECT_EQ(p.TakeReply(), false);
  EXPECT_EQ(p.TakeReply(), true);
  EXPECT_EQ(p.TakeReply(), std::nullopt);
  p.PlayDue(d.Sim, now + 2 * kStepLength);
  EXPECT_TRUE(d.Sim.State.AutoLPs[sos]);
  // Step 06:00:01.0 asks nothing: its reply is refused when the next step comes.
  p.PlayDue(d.Sim, now + 3 * kStepLength);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0], std::make_pair(4, std::string("no question was asked in its step")));
  // A reply whose step is already past when it is read is refused at once.
  ScenarioPlayer late = Player("06:00:00.5 reply yes\n");
  late.PlayDue(d.Sim, now + 10 * kMinute);
  EXPECT_EQ(refused.back(), std::make_pair(1, std::string("its step has passed")));
  // Replies are not told as lines: the console tells each answer when it gives it.
  EXPECT_EQ(played, std::vector<std::string>{"auto all on"});
}

TEST_F(ShiftLinesTest, ARefusedLineIsToldWithItsReason) {
  Player("06:00 canceltask " + O + "\n").PlayDue(d.Sim, d.Sim.State.ClockTime);
  EXPECT_EQ(played,
            std::vector<std::string>{"canceltask " + O + " # not done: the station has no task"});
  EXPECT_EQ(refused, (std::vector<std::pair<int, std::string>>{{1, "the station has no task"}}));
}

TEST_F(ShiftLinesTest, UndatedLinesFollowTheDatedOnesAcrossMidnight) {
  const TDateTime day = std::floor(d.Sim.State.ClockTime);
  const std::string date = FormatEventTime(day).substr(0, 10);
  ScenarioPlayer p = Player(date + " 23:59:59.5 auto all on\n00:00:00.5 auto all off\n");
  p.PlayDue(d.Sim, day + 1);
  EXPECT_EQ(p.Pending(), 1u);
  p.PlayDue(d.Sim, day + 1 + kStepLength);
  EXPECT_EQ(p.Pending(), 1u);
  p.PlayDue(d.Sim, day + 1 + 2 * kStepLength);
  EXPECT_EQ(p.Pending(), 0u);
}

}  // namespace
}  // namespace traklin
