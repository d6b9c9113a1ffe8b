// The headless runner: its argument formats, its set-up errors and the event log's lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "area/date_time.h"
#include "simulation/event_lines.h"
#include "simulation/headless_run.h"
#include "state/text_districts.h"
#include "trains/harness.h"
#include "trains/station_messages.h"

namespace traklin {
namespace {

TEST(RunArgumentsTest, SpansTakeTheirUnitAndRefuseEverythingElse) {
  const struct {
    const char* text;
    std::optional<double> seconds;
  } cases[] = {
      {"90s", 90},
      {"15m", 900},
      {"1.5h", 5400},
      {"7d", 7 * 86400},
      {"0s", 0},
      {"24", std::nullopt},
      {"h", std::nullopt},
      {"-1h", std::nullopt},
      {"1e3s", std::nullopt},
      {"2x", std::nullopt},
      {"", std::nullopt},
      {"1..2h", std::nullopt},
      {"20000d", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto span = ParseSpan(c.text);
    ASSERT_EQ(span.has_value(), c.seconds.has_value()) << c.text;
    if (span) {
      EXPECT_NEAR(*span * 86400, *c.seconds, 1e-6) << c.text;
    }
  }
}

TEST(RunArgumentsTest, StartTimesAreCalendarTimesAndPrintBackToTheTenth) {
  const auto t = ParseStartTime("2024-03-15 06:00");
  ASSERT_TRUE(t);
  EXPECT_EQ(FormatEventTime(*t), "2024-03-15 06:00:00.0");
  EXPECT_EQ(FormatEventTime(*ParseStartTime("2024-02-29 23:59:30")), "2024-02-29 23:59:30.0");
  EXPECT_EQ(FormatEventTime(*t + 0.5 * kSecond), "2024-03-15 06:00:00.5");
  // Rounding to the tenth carries into the next day.
  EXPECT_EQ(FormatEventTime(*ParseStartTime("2024-03-15 23:59:59") + 0.97 * kSecond),
            "2024-03-16 00:00:00.0");
  for (const char* bad : {"2023-02-29 10:00", "2024-13-01 00:00", "2024-03-15", "2024-03-15 24:00",
                          "2024-03-15 10:60", "yesterday", "2024-03-15 10:00x"})
    EXPECT_FALSE(ParseStartTime(bad)) << bad;
}

TEST(RunArgumentsTest, SettingAssignmentsNeedASectionAKeyAndAnEqualsSign) {
  EXPECT_EQ(ParseSettingAssignment("LEVEL/CREATEDEPENDANTTRAINS=1"),
            std::make_pair(std::string("LEVEL/CREATEDEPENDANTTRAINS"), std::string("1")));
  EXPECT_EQ(ParseSettingAssignment("GID/SCALEPERCENTS="),
            std::make_pair(std::string("GID/SCALEPERCENTS"), std::string()));
  for (const char* bad : {"LEVEL=1", "/KEY=1", "LEVEL/=1", "LEVEL/KEY"})
    EXPECT_FALSE(ParseSettingAssignment(bad)) << bad;
}

class RunSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("traklin_run_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "district");
    const std::string bytes = text_districts::ControlledStation().Bytes();
    std::ofstream(dir / "district" / "Data.dat", std::ios::binary) << bytes;
    options.District = dir / "district";
    options.SettingsFile = dir / "Traklin.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::filesystem::path dir;
  RunOptions options;
  Simulation sim;
};

TEST_F(RunSetupTest, SettingsComeFromTheFileAndTheOverridesWinInOrder) {
  std::ofstream(options.SettingsFile) << "[LEVEL]\nCREATEDEPENDANTTRAINS=0\n[GID]\nGIDENABLED=1\n";
  options.Sets = {
      {"LEVEL/CREATEDEPENDANTTRAINS", "1"}, {"GID/GIDENABLED", "0"}, {"GID/GIDENABLED", "1"}};
  options.Start = ParseStartTime("2024-03-15 06:00");
  std::vector<std::string> warnings;
  PrepareRun(sim, options, &warnings);
  EXPECT_TRUE(sim.Settings.CreateDependantTrains);
  EXPECT_TRUE(sim.Settings.GidEnabled);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(FormatEventTime(sim.State.ClockTime), "2024-03-15 06:00:00.0");
  EXPECT_EQ(sim.LastSaveTime, sim.State.ClockTime);
}

TEST_F(RunSetupTest, AnOverrideThatIsNotANumberIsTheSettingsReadersError) {
  options.Sets = {{"LEVEL/RANDOMFREIGHTSNUMBERDEVIATION", "many"}};
  try {
    PrepareRun(sim, options, nullptr);
    FAIL();
  } catch (const TSettingsError& e) {
    EXPECT_STREQ(e.what(), "Illegal setting value LEVEL/RANDOMFREIGHTSNUMBERDEVIATION: many");
  }
}

TEST_F(RunSetupTest, ABadValueInTheFileIsOnlyAWarning) {
  std::ofstream(options.SettingsFile) << "[GID]\nSCALEPERCENTS=lots\n";
  std::vector<std::string> warnings;
  PrepareRun(sim, options, &warnings);
  EXPECT_EQ(warnings, std::vector<std::string>{"Illegal setting value GID/SCALEPERCENTS: lots"});
  EXPECT_EQ(sim.Settings.ScalePercents, TSettings{}.ScalePercents);
}

TEST_F(RunSetupTest, DistrictErrorsReadAsTheConsoleShowsThem) {
  options.District = dir / "nowhere";
  EXPECT_THROW(PrepareRun(sim, options, nullptr), RunSetupError);
  std::ofstream(dir / "district" / "Data.dat", std::ios::binary) << "garbage\r\n";
  options.District = dir / "district";
  try {
    PrepareRun(sim, options, nullptr);
    FAIL();
  } catch (const RunSetupError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error reading Data.dat\nAt Line 1\n'garbage'", 0), 0u)
        << e.what();
  }
}

TEST_F(RunSetupTest, EventLinesCarryTimeKindAndTextsWithTheirLineBreaks) {
  options.Start = ParseStartTime("2024-03-15 06:00");
  PrepareRun(sim, options, nullptr);
  std::ostringstream out;
  EventLog log(sim, &out, false);
  log.NotifyDispatcher("Поезд \"803\"\r\nстоит");
  log.InformDispatcher("ДСП", "прибыл", 3);
  EXPECT_FALSE(log.AskDispatcher("ДСП", "Разрешите?", -1));
  EXPECT_FALSE(log.SaveLastState(false));  // no save hook: nothing saved, nothing logged
  log.Save = [] { return true; };
  EXPECT_TRUE(log.SaveLastState(false));
  log.Error("Неверный порядок секций маршрута ");
  EXPECT_EQ(out.str(),
            "{\"time\":\"2024-03-15 06:00:00.0\",\"event\":\"notify\","
            "\"text\":\"Поезд \\\"803\\\"\\r\\nстоит\"}\n"
            "{\"time\":\"2024-03-15 06:00:00.0\",\"event\":\"inform\",\"caption\":\"ДСП\","
            "\"text\":\"прибыл\",\"ring\":3}\n"
            "{\"time\":\"2024-03-15 06:00:00.0\",\"event\":\"ask\",\"caption\":\"ДСП\","
            "\"text\":\"Разрешите?\",\"ring\":-1,\"answer\":false,\"by\":\"runner\"}\n"
            "{\"time\":\"2024-03-15 06:00:00.0\",\"event\":\"save\",\"ok\":true}\n"
            "{\"time\":\"2024-03-15 06:00:00.0\",\"event\":\"error\","
            "\"text\":\"Неверный порядок секций маршрута \"}\n");
  const RunSummary summary = RunSimulation(sim, log, 1.0 / 24);
  EXPECT_EQ(summary.Steps, 7200);
  EXPECT_EQ(FormatEventTime(sim.State.ClockTime), "2024-03-15 07:00:00.0");
  EXPECT_EQ(summary.Events.at("notify"), 1);
  EXPECT_NE(FormatRunSummary(summary).find("steps: 7200\n"), std::string::npos);
}

// Every question on record says who answered it: the run's own answer (--answer, or a
// scenario's answer line, which changes it) or the automatic dispatcher through its hook.
TEST(EventLogTest, AQuestionSaysWhoAnsweredIt) {
  test::TestLine line;
  line.Sim.State.ClockTime = *ParseStartTime("2024-03-15 06:00");
  const int lp = line.LPIndex(4);
  const int i = line.Add({.LP = 4, .Arrival = 9});
  std::ostringstream out;
  EventLog log(line.Sim, &out, true);
  std::optional<bool> hook;
  line.Sim.AnswerStation = [&hook](int, int, int, int) { return hook; };
  const auto ask = [&](std::optional<bool> hookAnswer) {
    hook = hookAnswer;
    return PostRequest(line.Sim, lp, i, 0, true, rqReceive);
  };
  EXPECT_TRUE(ask(std::nullopt));
  log.Answer = false;  // as a scenario's "answer no" sets it
  EXPECT_FALSE(ask(std::nullopt));
  EXPECT_TRUE(ask(true));
  EXPECT_FALSE(ask(false));
  const std::string head =
      "{\"time\":\"2024-03-15 06:00:00.0\",\"event\":\"ask\",\"caption\":\"ДСП Delta\","
      "\"text\":\"Принять поезд № 2 на 5Б путь?\",\"ring\":-1,";
  EXPECT_EQ(out.str(), head + "\"answer\":true,\"by\":\"runner\"}\n" + head +
                           "\"answer\":false,\"by\":\"runner\"}\n" + head +
                           "\"answer\":true,\"by\":\"auto\"}\n" + head +
                           "\"answer\":false,\"by\":\"auto\"}\n");
  EXPECT_EQ(log.Counts().at("ask"), 4);
}

// The lines a console's own log writes: a human's answer is "by" "dispatcher".
TEST(EventLogTest, LinesForAConsoleLog) {
  const TDateTime t = *ParseStartTime("2024-03-15 23:59") + 59.5 * kSecond;
  EXPECT_EQ(AskEventLine(t, "ДСП A", "Принять?", 2, true, AnswerSource::Dispatcher),
            "{\"time\":\"2024-03-15 23:59:59.5\",\"event\":\"ask\",\"caption\":\"ДСП A\","
            "\"text\":\"Принять?\",\"ring\":2,\"answer\":true,\"by\":\"dispatcher\"}");
  EXPECT_EQ(AskEventLine(t, "ДСП A", "Принять?", 2, false, AnswerSource::Scenario),
            "{\"time\":\"2024-03-15 23:59:59.5\",\"event\":\"ask\",\"caption\":\"ДСП A\","
            "\"text\":\"Принять?\",\"ring\":2,\"answer\":false,\"by\":\"scenario\"}");
  // Bytes that are not UTF-8 are replaced, not refused.
  EXPECT_EQ(NotifyEventLine(t, "a\xff"),
            "{\"time\":\"2024-03-15 23:59:59.5\",\"event\":\"notify\",\"text\":\"a\xef\xbf\xbd\"}");
}

TEST_F(RunSetupTest, GridlocksAreLoggedAndCountedOnlyByRunsThatHaveThem) {
  options.Start = ParseStartTime("2024-03-15 06:00");
  PrepareRun(sim, options, nullptr);
  std::ostringstream out;
  EventLog log(sim, &out, true);
  log.ReportGridlock({801, 2002}, {3, 7});
  EXPECT_EQ(out.str(),
            "{\"time\":\"2024-03-15 06:00:00.0\",\"event\":\"gridlock\",\"trains\":[801,2002],"
            "\"stations\":[3,7]}\n");
  RunSummary summary;
  summary.Events = {{"notify", 4}, {"save", 1}};
  const std::string plain = FormatRunSummary(summary);
  EXPECT_EQ(plain.substr(plain.find("events")),
            "events notify: 4\nevents inform: 0\nevents ask: 0\nevents created: 0\n"
            "events removed: 0\nevents error: 0\nevents save: 1\n");
  summary.Events = log.Counts();
  const std::string locked = FormatRunSummary(summary);
  EXPECT_EQ(locked.substr(locked.find("events save")), "events save: 0\nevents gridlock: 1\n");
}

}  // namespace
}  // namespace traklin
