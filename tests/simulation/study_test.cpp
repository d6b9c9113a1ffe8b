// Studies: seed ranges and shards, delay figures and totals, the CSV and its merge, and runs in
// threads that give what they give alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "simulation/demo_run.h"
#include "simulation/study.h"

namespace traklin {
namespace {

using Seeds = std::vector<std::uint64_t>;

TEST(StudyArgumentsTest, SeedRangesAreTwoNumbersWithTheFirstNotAboveTheLast) {
  const auto range = [](const char* text) {
    const std::optional<SeedRange> r = ParseSeedRange(text);
    return r ? std::to_string(r->First) + "-" + std::to_string(r->Last) : "none";
  };
  EXPECT_EQ(range("1..8"), "1-8");
  EXPECT_EQ(range("5..5"), "5-5");
  EXPECT_EQ(range("0..18446744073709551615"), "0-18446744073709551615");
  for (const char* bad : {"5..3", "a..b", "1-8", "..", "1..", "..2", "+1..2", "1..2x", " 1..2",
                          "-1..2", "1...2", "18446744073709551616..1", ""})
    EXPECT_EQ(range(bad), "none") << bad;
}

TEST(StudyArgumentsTest, ShardsArePartsIOfNWithIBelowN) {
  const auto shard = [](const char* text) {
    const std::optional<StudyShard> s = ParseShard(text);
    return s ? std::to_string(s->Index) + "/" + std::to_string(s->Count) : "none";
  };
  EXPECT_EQ(shard("0/1"), "0/1");
  EXPECT_EQ(shard("2/3"), "2/3");
  for (const char* bad : {"3/2", "0/0", "1/1", "-1/2", "a/b", "1", "1/", "/2", "1/2/3", "1.0/2"})
    EXPECT_EQ(shard(bad), "none") << bad;
}

TEST(StudyArgumentsTest, ShardsTakeEveryNthSeedAndTogetherTheWholeRange) {
  const SeedRange range{1, 10};
  EXPECT_EQ(ShardSeeds(range, {0, 1}), (Seeds{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(ShardSeeds(range, {0, 3}), (Seeds{1, 4, 7, 10}));
  EXPECT_EQ(ShardSeeds(range, {1, 3}), (Seeds{2, 5, 8}));
  EXPECT_EQ(ShardSeeds(range, {2, 3}), (Seeds{3, 6, 9}));
  EXPECT_EQ(ShardSeeds(range, {11, 12}), Seeds{});
  // At the top of the seeds the walk must still stop.
  const std::uint64_t top = ~std::uint64_t{0};
  EXPECT_EQ(ShardSeeds({top - 1, top}, {0, 1}), (Seeds{top - 1, top}));
  EXPECT_EQ(ShardSeeds({top - 1, top}, {1, 2}), (Seeds{top}));
  EXPECT_EQ(ShardSeeds({top, top}, {0, 5}), (Seeds{top}));
}

TEST(StudyFiguresTest, DelaysGiveMeanMedianNinetiethPercentileAndWorst) {
  struct Case {
    std::map<int, long> Delays;
    double Mean, Median;
    int P90, Worst;
  };
  const Case cases[] = {
      {{{5, 1}}, 5, 5, 5, 5},
      {{{0, 9}, {30, 1}}, 3, 0, 0, 30},   // nine of ten on time: the 90th is on time
      {{{0, 8}, {30, 2}}, 6, 0, 30, 30},  // two late of ten: it is not
      {{{1, 1}, {2, 1}, {3, 1}, {4, 1}}, 2.5, 2.5, 4, 4},  // an even count: the middle two
      {{{-2, 1}, {10, 1}}, 4, 4, 10, 10},
      {{{-3, 3}}, -3, -3, -3, -3},
  };
  for (const Case& c : cases) {
    const DelayFigures f = FigureDelays(c.Delays);
    ASSERT_TRUE(f.Mean && f.Median && f.P90 && f.Worst);
    EXPECT_DOUBLE_EQ(*f.Mean, c.Mean);
    EXPECT_DOUBLE_EQ(*f.Median, c.Median);
    EXPECT_EQ(*f.P90, c.P90);
    EXPECT_EQ(*f.Worst, c.Worst);
  }
  // Eleven trains late 1..11 minutes: 90 % of them are at most 10 minutes late.
  std::map<int, long> eleven;
  for (int m = 1; m <= 11; ++m) eleven[m] = 1;
  EXPECT_EQ(*FigureDelays(eleven).P90, 10);
  EXPECT_EQ(*FigureDelays(eleven).Median, 6);
  const DelayFigures none = FigureDelays({});
  EXPECT_EQ(none.Trains, 0);
  EXPECT_FALSE(none.Mean || none.Median || none.P90 || none.Worst);
}

/// Rows as a study of two days might give them.
std::vector<StudyRow> SomeRows() {
  std::vector<StudyRow> rows;
  for (std::uint64_t seed = 1; seed <= 7; ++seed) {
    StudyRow r;
    r.Seed = seed;
    const long k = static_cast<long>(seed);
    r.Created = {100 + k, 40 + k};
    r.Removed = {50 + 2 * k, 40 - k};
    r.MeanInDistrictTenths = {200 + k, 387 - 3 * k};
    r.InDistrict = 3 * k;
    r.TimetableRun = 60;
    r.TimetableFinished = 50 - k;
    r.Delays = {{-1, 1}, {0, 20}, {static_cast<int>(k) * 7, 5}, {95, seed == 3 ? 1L : 0L}};
    if (r.Delays[95] == 0) r.Delays.erase(95);
    r.Gridlocks = seed == 4 ? 1 : 0;
    r.Errors = seed == 6 ? 2 : 0;
    if (seed == 5) {
      r.Crash = "Поезд, \"сошедший\" с рельсов";
      r.Crashed = 1;
    }
    r.WallSeconds = 10.25 + k / 1000.0;
    rows.push_back(r);
  }
  return rows;
}

TEST(StudyFiguresTest, TotalsSumTheRowsAndPoolTheDelays) {
  const std::vector<StudyRow> rows = SomeRows();
  const StudyRow total = StudyTotals(rows);
  EXPECT_EQ(total.Created, (std::vector<long>{728, 308}));
  EXPECT_EQ(total.Removed, (std::vector<long>{406, 252}));
  EXPECT_EQ(total.MeanInDistrictTenths, (std::vector<long>{1428, 2625}));
  EXPECT_EQ(total.InDistrict, 84);
  EXPECT_EQ(total.TimetableRun, 420);
  EXPECT_EQ(total.TimetableFinished, 322);
  EXPECT_EQ(total.Delays.at(0), 140);
  EXPECT_EQ(total.Delays.at(95), 1);
  EXPECT_EQ(total.Gridlocks, 1);
  EXPECT_EQ(total.Errors, 2);
  EXPECT_EQ(total.Crashed, 1);
  EXPECT_EQ(total.Crash, "1 seed crashed");
  EXPECT_DOUBLE_EQ(total.WallSeconds, 71.778);
  const DelayFigures f = FigureDelays(total.Delays);
  EXPECT_EQ(f.Trains, 7 * 26 + 1);
  EXPECT_DOUBLE_EQ(*f.Mean, 1068.0 / 183);
  EXPECT_EQ(*f.Median, 0);
  EXPECT_EQ(*f.P90, 28);
  EXPECT_EQ(*f.Worst, 95);
  EXPECT_EQ(FormatStudyTotals(total, 2),
            "all    728/308    406/252    142.8/262.5 84    322/420 76.7%    5.8    0.0    28    "
            "95    1         2      71.778   1 seed crashed\n");
}

/// A folder of the test's own, removed at the end.
class StudyFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("traklin_study_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return dir / name;
  }
  static std::string Csv(const std::vector<StudyRow>& rows, int days) {
    std::string text = StudyCsvHeader(days);
    for (const StudyRow& r : rows) text += StudyCsvRow(r, days);
    return text;
  }
  /// The message a bad file gives.
  static std::string Refusal(const std::vector<std::filesystem::path>& files) {
    try {
      MergeStudyCsv(files);
    } catch (const StudyCsvError& e) {
      return e.what();
    }
    return "accepted";
  }

  std::filesystem::path dir;
};

TEST_F(StudyFilesTest, TheCsvHasAHeaderRowAndReadsBackAsWritten) {
  const std::vector<StudyRow> rows = SomeRows();
  const std::string text = Csv(rows, 2);
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "seed,created_d1,created_d2,removed_d1,removed_d2,mean_in_district_d1,"
            "mean_in_district_d2,in_district_end,timetable_run,timetable_finished,"
            "finished_share,mean_delay_min,median_delay_min,p90_delay_min,worst_delay_min,"
            "gridlocks,errors,wall_seconds,delays,crash");
  std::istringstream lines(text);
  std::string line;
  for (int n = 0; n < 6; ++n) std::getline(lines, line);
  EXPECT_EQ(line,
            "5,105,45,60,35,20.5,37.2,15,60,45,0.750,6.69,0.0,35,35,0,0,10.255,"
            "-1:1 0:20 35:5,\"Поезд, \"\"сошедший\"\" с рельсов\"");
  const StudyCsv read = ReadStudyCsv(Write("all.csv", text));
  EXPECT_EQ(read.Days, 2);
  EXPECT_EQ(read.Rows, rows);
  EXPECT_EQ(read.Lines, (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(StudyFilesTest, ShardsMergedGiveTheRowsAndTotalsOfTheWhole) {
  const std::vector<StudyRow> rows = SomeRows();
  std::vector<std::filesystem::path> files;
  // Written as three shards would write them, in an order of their own.
  for (const int i : {2, 0, 1}) {
    std::vector<StudyRow> part;
    for (const std::uint64_t seed : ShardSeeds({1, 7}, {i, 3})) part.push_back(rows[seed - 1]);
    files.push_back(Write("shard" + std::to_string(i) + ".csv", Csv(part, 2)));
  }
  const StudyCsv merged = MergeStudyCsv(files);
  EXPECT_EQ(merged.Rows, rows);
  EXPECT_EQ(StudyTotals(merged.Rows), StudyTotals(rows));
  EXPECT_EQ(FormatStudyTotals(StudyTotals(merged.Rows), 2),
            FormatStudyTotals(StudyTotals(rows), 2));
}

TEST_F(StudyFilesTest, BadFilesAreRefusedWithTheFileLineAndReason) {
  const std::vector<StudyRow> rows = SomeRows();
  const std::string header = StudyCsvHeader(2);
  const std::string good = Csv({rows[0], rows[1]}, 2);
  const std::string row3 = StudyCsvRow(rows[2], 2);
  const auto replaced = [&](std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  };
  struct Case {
    std::string Text;
    std::string Message;
  };
  const Case cases[] = {
      {"", "line 1: empty, no header"},
      {"seed,runs\n1,2\n", "line 1: not the header of a study's CSV"},
      {replaced(header, "errors", "faults"), "line 1: not the header of a study's CSV"},
      {header + "1,2,3\n", "line 2: 3 fields where the header has 20"},
      {good + replaced(row3, "103,", "10x,"), "line 4: created_d1: not a count: \"10x\""},
      {good + replaced(row3, "20.3", "20.35"),
       "line 4: mean_in_district_d1: not a number with one decimal: \"20.35\""},
      {good + replaced(row3, "0:20", "0:twenty"),
       "line 4: delays: not \"MINUTES:TRAINS\" once per delay: \"0:twenty\""},
      {good + replaced(row3, "0:20", "0:20 0:1"),
       "line 4: delays: not \"MINUTES:TRAINS\" once per delay: \"0:1\""},
      {good + replaced(row3, "10.253", "soon"), "line 4: wall_seconds: not a number of seconds"},
      {good + replaced(row3, "\n", ",open\n"), "line 4: 21 fields where the header has 20"},
      {good + replaced(row3, ",\n", ",\"open\n"), "line 4: a quoted field is not closed"},
      {good + "x" + row3, "line 4: seed: not a seed: \"x3\""},
      {good + StudyCsvRow(rows[0], 2), "line 4: seed 1 is on line 2 as well"},
      {good + replaced(row3, "60,47", "60,61"),
       "line 4: more trains finished than run, or delays than finished trains"},
  };
  for (const Case& c : cases) {
    const std::filesystem::path file = Write("bad.csv", c.Text);
    const std::string message = Refusal({file});
    EXPECT_EQ(message.rfind(file.string() + ": " + c.Message, 0), 0u) << message;
  }
  EXPECT_EQ(Refusal({dir / "none.csv"}),
            (dir / "none.csv").string() + ": line 0: cannot read the file");
  // Shards of studies of another length, and a seed in two shards.
  const std::filesystem::path a = Write("a.csv", good);
  const std::filesystem::path b = Write("b.csv", Csv({rows[2]}, 3));
  EXPECT_EQ(Refusal({a, b}),
            b.string() + ": line 1: runs of 3 days, but " + a.string() + " has runs of 2");
  const std::filesystem::path c = Write("c.csv", Csv({rows[2], rows[1]}, 2));
  EXPECT_EQ(Refusal({a, c}),
            c.string() + ": line 3: seed 2 is on " + a.string() + ": line 3 as well");
}

/// The demo district for every seed, from 15 March 05:00 for an hour.
StudySetup DemoStudy() {
  StudySetup setup;
  setup.Options.District = "../district/1";
  setup.Options.Start = ParseStartTime("2024-03-15 05:00");
  setup.Options.Span = 60 * kMinute;
  setup.Options.SettingsFile = "no-such-Traklin.ini";
  return setup;
}

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(StudyFilesTest, RunsInThreadsGiveWhatTheyGiveOneAtATime) {
  Simulation probe;
  if (!test::PrepareDemoRun(probe, 1)) GTEST_SKIP() << "the demo district is not built";
  StudySetup setup = DemoStudy();
  setup.AutoLPs = std::vector<bool>(probe.AreaData.Puts.size(), true);
  const Seeds seeds{3, 1, 2, 4};
  std::vector<std::vector<StudyRow>> runs;
  for (const int jobs : {1, 3}) {
    setup.EventsDir = dir / ("jobs" + std::to_string(jobs));
    std::filesystem::create_directories(setup.EventsDir);
    Seeds told;
    runs.push_back(
        RunStudy(setup, seeds, jobs, [&](const StudyRow& r) { told.push_back(r.Seed); }));
    EXPECT_EQ(told, seeds) << "rows come in the order of the seeds";
    for (StudyRow& r : runs.back()) r.WallSeconds = 0;
  }
  EXPECT_EQ(runs[0], runs[1]);
  for (const StudyRow& r : runs[0]) {
    EXPECT_EQ(r.Crash, "");
    EXPECT_GT(r.Created.at(0), 0);
    const std::string name = "seed-" + std::to_string(r.Seed) + ".jsonl";
    EXPECT_EQ(FileText(dir / "jobs1" / name), FileText(dir / "jobs3" / name)) << name;
  }
  // A seed's log is the one of a run of that seed alone.
  Simulation sim;
  sim.Random.Seed(2);
  PrepareRun(sim, setup.Options, nullptr);
  sim.State.AutoLPs = *setup.AutoLPs;
  std::ostringstream alone;
  EventLog log(sim, &alone, true);
  RunSimulation(sim, log, setup.Options.Span);
  EXPECT_EQ(alone.str(), FileText(dir / "jobs3" / "seed-2.jsonl"));
  EXPECT_NE(alone.str(), FileText(dir / "jobs3" / "seed-1.jsonl"));
}

TEST_F(StudyFilesTest, ARunThatThrowsIsToldInItsRowAndTheOthersRun) {
  StudySetup setup = DemoStudy();
  setup.Options.District = dir / "vanished";
  const std::vector<StudyRow> rows = RunStudy(setup, {1, 2}, 2);
  ASSERT_EQ(rows.size(), 2u);
  for (const StudyRow& r : rows) {
    EXPECT_EQ(r.Crash, "No district directory " + (dir / "vanished").string());
    EXPECT_EQ(r.Crashed, 1);
  }
  EXPECT_EQ(StudyTotals(rows).Crash, "2 seeds crashed");
}

}  // namespace
}  // namespace traklin
