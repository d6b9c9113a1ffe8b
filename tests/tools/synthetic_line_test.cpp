// Synthetic lines: where their trains start and end, the tracks they are formed on, the traffic
// their longest single-line peregon takes, and a headless run that puts their trains out, runs
// them and disbands them at their destinations, with and without the automatic dispatcher; and
// the random lines kept in bench/lines, run on the seeds that once locked them up.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "area/date_time.h"
#include "districtgen/pictures.h"
#include "simulation/headless_run.h"

namespace traklin::districtgen {
namespace {

namespace fs = std::filesystem;

bool KindSuits(const TrackSpec& track, const TrainSpec& train) {
  return track.Kind == 3 || track.Kind == (train.Freight ? 1 : 2);
}

// A track on which the train may be formed at its first station (mode 2: trains created here)
// and one on which it may end at its last (mode 1: not created here, 3: ending here), both
// long enough for the longest train (60 cars of 12 m and a locomotive).
bool HasTrack(const StationSpec& station, const TrainSpec& train, std::set<int> modes) {
  return std::ranges::any_of(station.Tracks, [&](const TrackSpec& t) {
    return modes.count(t.Mode) && KindSuits(t, train) && t.Length >= 60 * 12 + 40;
  });
}

struct Asked {
  int Stations, Trains;
  unsigned Seed;
};
constexpr Asked kLines[] = {{2, 10, 1},    {3, 30, 2},   {5, 40, 3},   {8, 60, 4},   {12, 90, 5},
                            {24, 140, 11}, {30, 400, 6}, {45, 120, 7}, {60, 400, 8}, {9, 0, 9}};

TEST(SyntheticLine, TrainsStartOnAFormingTrackAndEndOnASuitableOneAtTheEndsOrLargerStations) {
  for (const Asked& a : kLines) {
    SCOPED_TRACE(fmt::format("{} stations, {} trains, seed {}", a.Stations, a.Trains, a.Seed));
    const LineSpec line = SyntheticLine(a.Stations, a.Trains, a.Seed);
    const int last = a.Stations - 1;
    std::set<int> terminals;
    for (const TrainSpec& t : line.Trains) {
      EXPECT_TRUE(HasTrack(line.Stations[t.From], t, {2})) << t.Number << " formed nowhere";
      EXPECT_TRUE(HasTrack(line.Stations[t.To], t, {1, 3})) << t.Number << " disbanded nowhere";
      terminals.insert({t.From, t.To});
    }
    // The larger stations: every one in between where trains start or end has the most
    // tracks there are, more than the two that every station has.
    std::size_t most = 0;
    for (int s = 1; s < last; ++s) most = std::max(most, line.Stations[s].Tracks.size());
    for (int s = 1; s < last; ++s)
      EXPECT_TRUE(!terminals.count(s) || (line.Stations[s].Tracks.size() == most && most > 2)) << s;
    if (line.Trains.size() >= 10) {
      EXPECT_TRUE(terminals.count(0) && terminals.count(last));
    }
    // Every station acts by itself and asks before it lets a train run through.
    for (const StationSpec& s : line.Stations)
      EXPECT_TRUE(s.SelfActing && !s.Controlled && s.SendWithoutAsking == 0) << s.Name;
  }
}

TEST(SyntheticLine, WritesWhatItsLongestSingleLinePeregonTakesAndSaysWhenThatIsLess) {
  // A pair needs twice a freight train's running time plus five minutes: 10 km take 13 min
  // (55 km/h and 2 min), so a pair 31 min and a day 46 pairs; 4 km take 7 min, a pair 19.
  LineSpec line = SyntheticLine(4, 0, 1);
  const struct {
    std::vector<int> lengths;
    bool doubled;
    int pair, capacity;
  } rules[] = {
      {{10000, 4000, 6000}, false, 31, 92},
      {{4000, 4000, 4000}, false, 19, 150},
      {{7000, 12000, 5000}, false, 2 * 16 + 5, 2 * (1440 / 37)},
      {{7000, 12000, 5000}, true, 0, INT_MAX},
  };
  for (const auto& r : rules) {
    SCOPED_TRACE(fmt::format("{} m longest{}", r.lengths[1], r.doubled ? ", double" : ""));
    for (int p = 0; p < 3; ++p) {
      line.Peregons[p].Length = r.lengths[p];
      line.Peregons[p].Double = r.doubled;
    }
    EXPECT_EQ(PairMinutes(line), r.pair);
    EXPECT_EQ(DailyCapacity(line), r.capacity);
  }
  for (const Asked& a : kLines) {
    SCOPED_TRACE(fmt::format("{} stations, {} trains, seed {}", a.Stations, a.Trains, a.Seed));
    const LineSpec synthetic = SyntheticLine(a.Stations, a.Trains, a.Seed);
    const int written = static_cast<int>(synthetic.Trains.size());
    EXPECT_EQ(written, std::min(a.Trains, DailyCapacity(synthetic)));
    EXPECT_EQ(CapacityNote(synthetic, a.Trains).empty(), written == a.Trains);
  }
  EXPECT_EQ(CapacityNote(SyntheticLine(24, 140, 11), 140),
            "note: the line takes about 92 trains a day (a pair needs 31 min on its longest "
            "single-line peregon, 10000 m); writing 92 of the 140 asked");
}

TEST(SyntheticLine, TheSameArgumentsGiveTheSameBytesAndAnotherSeedAnotherLine) {
  // (The full texts are not printed: they run to hundreds of kilobytes.)
  auto text = [](int trains, unsigned seed) {
    return DataDatText(BuildDistrict(SyntheticLine(24, trains, seed)));
  };
  const std::string once = text(140, 11);
  EXPECT_TRUE(text(140, 11) == once);
  EXPECT_TRUE(text(92, 11) == once) << "140 asked, 92 written";
  EXPECT_FALSE(text(140, 12) == once);
  EXPECT_FALSE(text(60, 11) == once);
}

// A run of a line written into a folder of the test's own, as traklin-cli runs it.
struct LineRun {
  long Created = 0, Removed = 0, AtDestination = 0, PutOut = 0, Gridlocks = 0;
  std::string Incidents;  // the texts of collisions, derailments and red signals passed
};

LineRun RunLine(const LineSpec& line, const std::string& name, unsigned seed, double hours,
                bool automatic) {
  const fs::path dir =
      fs::path(::testing::TempDir()) / fmt::format("districtgen-{}-{}-{}", name, seed, automatic);
  fs::remove_all(dir);
  WriteDistrict(BuildDistrict(line), dir / "district");
  RunOptions options;
  options.District = dir / "district";
  options.SettingsFile = dir / "Traklin.ini";  // missing: the defaults
  options.Start = ParseStartTime("2024-03-15 00:00");
  Simulation sim;
  sim.Random.Seed(seed);
  PrepareRun(sim, options, nullptr);
  sim.State.AutoLPs.assign(sim.AreaData.Puts.size(), automatic);
  std::ostringstream events;
  EventLog log(sim, &events, true);
  LineRun run;
  const auto logged = sim.OnTrainRemoving;
  sim.OnTrainRemoving = [&](int i) {
    const TTrainData& t = sim.State.Trains[i];
    run.AtDestination += t.HEAD.SECT_IDX != 0 && t.HEAD.LP_CODE == t.ARRIVAL_LP_CODE;
    logged(i);
  };
  RunSimulation(sim, log, hours / 24.0);
  run.Created = log.Created();
  run.Removed = log.Removed();
  std::istringstream lines(events.str());
  for (std::string text; std::getline(lines, text);) {
    run.PutOut += text.find(R"("text":"Выставляется поезд № )") != std::string::npos;
    run.Gridlocks += text.find(R"("event":"gridlock")") != std::string::npos;
    for (const char* incident : {"столкнулся", "сошел", "красный", "обоих направлениях"})
      if (text.find(incident) != std::string::npos) run.Incidents += text + "\n";
  }
  fs::remove_all(dir);
  return run;
}

TEST(SyntheticLineRun, PutsTrainsOutRunsThemAndDisbandsThemAtTheirDestinations) {
  const struct {
    Asked line;
    double hours;
    bool automatic;
  } cases[] = {
      {{8, 60, 4}, 10, false},
      {{8, 60, 4}, 10, true},
      {{16, 400, 5}, 8, false},
      {{16, 400, 5}, 8, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(fmt::format("{} stations, seed {}, {} h{}", c.line.Stations, c.line.Seed, c.hours,
                             c.automatic ? ", automatic" : ""));
    const Asked& a = c.line;
    const LineRun run =
        RunLine(SyntheticLine(a.Stations, a.Trains, a.Seed),
                fmt::format("synthetic-{}", a.Stations), a.Seed, c.hours, c.automatic);
    // Trains are formed from about 20 minutes before their departures, spread over the day.
    EXPECT_GT(run.Created, 0);
    EXPECT_GE(run.PutOut, run.Created * 9 / 10);
    EXPECT_GE(run.Removed, run.Created / 2);
    EXPECT_EQ(run.AtDestination, run.Removed);
    EXPECT_EQ(run.Incidents, "");
  }
}

TEST(KeptLinesRun, LinesThatOnceLockedUpRunTheirDaysWithoutAGridlock) {
  // Random lines with stations that take trains in by themselves next to double lines; the
  // automatic dispatcher once let a train go that locked each of them up on this seed.
  const struct {
    const char* file;
    unsigned seed;
    double days;
  } cases[] = {
      {"random-361.json", 4, 2}, {"random-23.json", 5, 3},  {"random-619.json", 1, 2},
      {"random-619.json", 4, 7}, {"random-628.json", 3, 2}, {"random-1049.json", 3, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(fmt::format("{}, seed {}", c.file, c.seed));
    std::ifstream in(fs::path(TRAKLIN_SOURCE_DIR) / "bench" / "lines" / c.file);
    ASSERT_TRUE(in) << "cannot read " << c.file;
    std::stringstream text;
    text << in.rdbuf();
    const LineRun run = RunLine(ParseLineSpec(text.str()), fs::path(c.file).stem().string(), c.seed,
                                c.days * 24, true);
    EXPECT_GT(run.Removed, run.Created * 9 / 10);
    EXPECT_EQ(run.Gridlocks, 0);
    EXPECT_EQ(run.Incidents, "");
  }
}

}  // namespace
}  // namespace traklin::districtgen
