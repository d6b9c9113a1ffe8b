// Shifts of the demo district recorded headless and replayed: the round trip of every kind of
// operation, an edited shift that replays differently, and shifts that cannot be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "area/date_time.h"
#include "simulation/demo_run.h"
#include "simulation/save_state.h"
#include "simulation/shift_recorder.h"
#include "simulation/shift_replay.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;

// Every kind of operation on the demo (LP codes: 4 Заречье, 6 Сосновка worked from the desk,
// 7 Озёрная takes tasks, 9 Кедровая with a commit lamp for odd departures), and answers no
// for two spans and yes otherwise.
constexpr const char* kEveryOperation = R"(# every kind of operation
06:00 answer no 30m
06:01 route 6 1 1 2 1
06:01 invert 6 1 1 2 1
06:02 route 6 1 1 2 1
06:04 cancel 6 1 1 2 1
06:06 through 6 1 1 4 1
06:06 invertthrough 6 1 1 4 1
06:08 through 6 4 1 1 1
06:12 cancelthrough 6 4 1 1 1
06:13 commit 9 odd
06:14 commit 9 odd take
06:15 task 7 receive even I
06:16 canceltask 7 even
06:17 task 7 transit odd II
06:18 canceltask 7
07:00 answer no 30m
07:21 put 802 9 2
07:22 auto all on
07:30 hold 6001 20m
08:00 auto 6 off
08:10 set LEVEL/PUNCTUALITYTOLERANCEMIN=9
08:15 savelast
08:20 scale 3
08:30 answer no 20m
09:00 auto all off
)";

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

struct ShiftTest : ::testing::Test {
  fs::path dir;
  std::string refusals;

  void SetUp() override {
    dir = fs::path(testing::TempDir()) /
          (std::string("traklin_shift_") +
           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  /// Records the demo from 06:00 for `hours` with the scenario played, as `run --record` does;
  /// the run's own log (what it would write with --events) comes back.
  std::string Record(const fs::path& folder, const std::string& scenario, int hours) {
    Simulation sim;
    if (!test::PrepareDemoRun(sim, 7)) return {};
    ShiftRecorder recorder;
    recorder.Begin(sim, folder, "1", 7);
    std::ostringstream plain;
    TeeLog tee{plain, &recorder.Events()};
    EventLog log(sim, &tee.Out, true);
    ShiftConsole console(sim, log);
    ScenarioPlayer player(ParseScenario(scenario, sim.AreaData), sim.State.ClockTime);
    console.Player = &player;
    player.SetAnswer = [&log](bool answer) { log.Answer = answer; };
    player.SaveLast = [&sim] { sim.ManualSave(); };
    player.Refused = [this](int line, const std::string& reason) {
      refusals += std::to_string(line) + ": " + reason + "\n";
    };
    StepHooks hooks;
    hooks.Before = [&] { player.PlayDue(sim, sim.State.ClockTime + kStepLength); };
    RunSimulation(sim, log, hours / 24.0, {}, hooks);
    recorder.End();
    return plain.str();
  }
  /// The replayed log of a folder.
  std::string Replay(const fs::path& folder) {
    Simulation sim;
    ShiftReplay replay(sim, folder);
    std::ostringstream out;
    replay.Run(&out);
    return out.str();
  }

  /// Two streams written as one.
  struct TeeLog {
    struct Buffer : std::streambuf {
      std::ostream* A = nullptr;
      std::ostream* B = nullptr;
      int overflow(int c) override {
        A->put(static_cast<char>(c));
        if (B) B->put(static_cast<char>(c));
        return c;
      }
    };
    TeeLog(std::ostream& a, std::ostream* b) : Out(&buffer) {
      buffer.A = &a;
      buffer.B = b;
    }
    Buffer buffer;
    std::ostream Out;
  };
};

TEST_F(ShiftTest, EveryKindOfOperationRecordsAndReplaysToTheSameLog) {
  const std::string plain = Record(dir, kEveryOperation, 4);
  if (plain.empty()) GTEST_SKIP() << "the demo district is not installed in ../district/1";
  EXPECT_EQ(refusals, "");
  const std::string recorded = ReadFile(dir / kShiftEventsFile);
  // The recorded shift is the run itself: start.sav loads back to the state it was made from.
  EXPECT_EQ(recorded, plain);
  EXPECT_EQ(Replay(dir), recorded);

  const std::string text = ReadFile(dir / kShiftTextFile);
  for (const char* line : {"\ndistrict 1\n",
                           "\nseed 7\n",
                           "\nsetting LEVEL/PUNCTUALITYTOLERANCEMIN=5\n",
                           "\nstart 2024-03-15 06:00:00.0\n",
                           "\n2024-03-15 06:00:00.0 answer no 30m\n",
                           "\n06:00:59.5 route 6 1 1 2 1\n",
                           "\n06:00:59.5 invert 6 1 1 2 1\n",
                           "\n06:05:59.5 invertthrough 6 1 1 4 1\n",
                           "\n06:11:59.5 cancelthrough 6 4 1 1 1\n",
                           "\n06:12:59.5 commit 9 odd\n",
                           "\n06:16:59.5 task 7 transit odd II\n",
                           "\n06:17:59.5 canceltask 7\n",
                           "\n07:20:59.5 put 802 9 2\n",
                           "\n07:29:59.5 hold 6001 20m\n",
                           "\n08:09:59.5 set LEVEL/PUNCTUALITYTOLERANCEMIN=9\n",
                           "\n08:14:59.5 savelast\n",
                           "\n08:19:59.5 scale 3\n",
                           "\n08:59:59.5 auto all off\n",
                           "\n07:20:00.0 reply no  # Выставляю поезд № 801 на 2 путь?\n",
                           "\nend 2024-03-15 10:00:00.0\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_NE(text.find(" reply yes  # "), std::string::npos);
}

TEST_F(ShiftTest, AnEditedShiftReplaysToItsFirstDifference) {
  if (Record(dir, kEveryOperation, 2).empty()) GTEST_SKIP() << "no demo district";
  std::string text = ReadFile(dir / kShiftTextFile);
  const std::size_t reply = text.find("07:20:00.0 reply no");
  ASSERT_NE(reply, std::string::npos);
  text.replace(reply, 19, "07:20:00.0 reply yes");
  WriteFile(dir / kShiftTextFile, text);
  const std::string recorded = ReadFile(dir / kShiftEventsFile);
  const auto d = FirstDifference(recorded, Replay(dir));
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->Expected.starts_with(
      R"({"time":"2024-03-15 07:20:00.0","event":"ask","caption":"ДСП КЕД")"))
      << d->Expected;
  EXPECT_NE(d->Expected.find(R"("answer":false)"), std::string::npos);
  EXPECT_NE(d->Got.find(R"("answer":true)"), std::string::npos);
  // The lines before it are the recorded ones.
  std::istringstream lines(recorded);
  std::string line;
  long n = 0;
  while (std::getline(lines, line) && line != d->Expected) ++n;
  EXPECT_EQ(d->Line, n + 1);
}

TEST_F(ShiftTest, AShiftCutShortReplaysToItsLastEvent) {
  if (Record(dir, kEveryOperation, 2).empty()) GTEST_SKIP() << "no demo district";
  std::string text = ReadFile(dir / kShiftTextFile);
  text.erase(text.find("end 2024-03-15 08:00:00.0\n"));
  WriteFile(dir / kShiftTextFile, text);
  Simulation sim;
  ShiftReplay replay(sim, dir);
  EXPECT_EQ(FormatEventTime(replay.End()), replay.Recorded().back().substr(9, 21));
  std::ostringstream out;
  replay.Run(&out);
  EXPECT_EQ(out.str(), ReadFile(dir / kShiftEventsFile));
}

TEST_F(ShiftTest, DamagedShiftsAreRefusedWithTheFileAndTheLine) {
  const fs::path good = dir / "good";
  if (Record(good, "06:01 route 6 1 1 2 1\n", 2).empty()) GTEST_SKIP() << "no demo district";
  const std::string text = ReadFile(good / kShiftTextFile);
  const auto lines = [](const std::string& t) { return std::count(t.begin(), t.end(), '\n'); };
  const std::string events = std::to_string(lines(ReadFile(good / kShiftEventsFile)) + 1);
  const struct {
    const char* Name;
    std::function<void(const fs::path&)> Damage;
    std::string Message;  ///< after the folder
  } cases[] = {
      {"unknown action",
       [&](const fs::path& f) { WriteFile(f / kShiftTextFile, text + "07:00 fly 6\n"); },
       "/shift.txt: line " + std::to_string(lines(text) + 1) + ": unknown action: fly"},
      {"bad seed",
       [&](const fs::path& f) {
         std::string t = text;
         t.replace(t.find("seed 7"), 6, "seed x");
         WriteFile(f / kShiftTextFile, t);
       },
       "/shift.txt: line 4: seed: not a number from 0 to 18446744073709551615: x"},
      {"no seed",
       [&](const fs::path& f) {
         std::string t = text;
         t.erase(t.find("seed 7"), 7);
         WriteFile(f / kShiftTextFile, t);
       },
       "/shift.txt: no seed line"},
      {"no district",
       [&](const fs::path& f) {
         std::string t = text;
         t.erase(t.find("district 1"), 11);
         WriteFile(f / kShiftTextFile, t);
       },
       "/shift.txt: no district line"},
      {"no such district",
       [&](const fs::path& f) {
         std::string t = text;
         t.replace(t.find("district 1"), 10, "district 99");
         WriteFile(f / kShiftTextFile, t);
       },
       "/shift.txt: district 99: No district directory ../district/99"},
      {"no start.sav", [](const fs::path& f) { fs::remove(f / kShiftStartFile); },
       "/start.sav: not loaded: No save file"},
      {"broken start.sav",
       [](const fs::path& f) { WriteFile(f / kShiftStartFile, "[STATE]\r\nVERSION=99\r\n"); },
       "/start.sav: not loaded: Save file version 99 is not supported (2 to 20) (line 2)"},
      {"no shift.txt", [](const fs::path& f) { fs::remove(f / kShiftTextFile); },
       "/shift.txt: no such file"},
      {"no events.jsonl", [](const fs::path& f) { fs::remove(f / kShiftEventsFile); },
       "/events.jsonl: no such file"},
      {"cut short in a broken line",
       [&](const fs::path& f) {
         std::string t = text;
         t.erase(t.find("end "));
         WriteFile(f / kShiftTextFile, t);
         std::ofstream(f / kShiftEventsFile, std::ios::app) << "{\"time\":\"later";
       },
       "/events.jsonl: line " + events + ": no time"},
  };
  for (const auto& c : cases) {
    const fs::path folder = dir / c.Name;
    fs::copy(good, folder);
    c.Damage(folder);
    try {
      Simulation sim;
      ShiftReplay replay(sim, folder);
      ADD_FAILURE() << c.Name << " was read";
    } catch (const ShiftError& e) {
      EXPECT_EQ(std::string(e.what()), folder.string() + c.Message) << c.Name;
    }
  }
}

TEST(LogDifferenceTest, TheFirstLineThatDiffersOrTheEndOfOneLog) {
  EXPECT_FALSE(FirstDifference("a\nb\n", "a\nb\n"));
  const auto changed = FirstDifference("a\nb\nc\n", "a\nx\nc\n");
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->Line, 2);
  EXPECT_EQ(changed->Expected, "b");
  EXPECT_EQ(changed->Got, "x");
  const auto shorter = FirstDifference("a\nb\n", "a\n");
  ASSERT_TRUE(shorter);
  EXPECT_EQ(shorter->Line, 2);
  EXPECT_TRUE(shorter->GotEnded);
  EXPECT_FALSE(shorter->ExpectedEnded);
  const auto longer = FirstDifference("", "a\n");
  ASSERT_TRUE(longer);
  EXPECT_EQ(longer->Line, 1);
  EXPECT_TRUE(longer->ExpectedEnded);
  const auto lastBreak = FirstDifference("a\nb\n", "a\nb");
  ASSERT_TRUE(lastBreak);
  EXPECT_EQ(lastBreak->Line, 2);
}

TEST(ShiftFolderTest, AFolderIsNamedByItsRealStart) {
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 2;
  t.tm_mday = 15;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  t.tm_isdst = -1;
  EXPECT_EQ(ShiftFolderName(std::mktime(&t)), "2024-03-15_09-05-07");
}

}  // namespace
}  // namespace traklin
