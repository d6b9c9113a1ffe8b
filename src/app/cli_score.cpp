// traklin-cli score: a recorded shift replayed with the scorer attached, one or two side by side.
#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "app/cli_commands.h"
#include "area/date_time.h"
#include "dispatch/scenario.h"
#include "dispatch/shift_score.h"
#include "simulation/headless_run.h"
#include "simulation/save_state.h"

namespace traklin::cli {

namespace {

namespace fs = std::filesystem;

struct ScoreArguments {
  std::string First;
  std::string Second;
  std::string Csv;
};

/// A folder that cannot be scored: what() names it and says why.
class NotAShift : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// ---------------------------------------------------------------------------
// The replay of a shift's folder: start.sav, shift.txt (a header of directives, then the
// operations as scenario lines) and events.jsonl. It prepares the run as the shift's header
// says (the district, the seed, only the settings written there) from start.sav, plays the
// operation lines as a scenario and runs to the header's end (or the last recorded event).
// Operation lines are read as the scenario player reads them; the answer to every question is
// yes, as a headless run's default.

struct ShiftFiles {
  std::string Text;      ///< shift.txt
  std::string Recorded;  ///< events.jsonl
};

bool IsDirective(const std::string& word) {
  return word == "district" || word == "seed" || word == "setting" || word == "start" ||
         word == "end";
}

/// "YYYY-MM-DD HH:MM:SS.s" (the tenths dropped) or without seconds.
std::optional<TDateTime> StampTime(const std::string& date, const std::string& time) {
  return ParseStartTime(date + " " + time.substr(0, time.find('.')));
}

/// The time of the last line of an event log.
std::optional<TDateTime> LastEventTime(const std::string& log) {
  const std::size_t key = log.rfind("{\"time\":\"");
  if (key == std::string::npos) return std::nullopt;
  const std::string stamp = log.substr(key + 9, 21);
  return StampTime(stamp.substr(0, 10), stamp.substr(11));
}

ShiftFiles ReplayShift(Simulation& sim, const fs::path& folder, std::ostream* events,
                       const StepHooks& hooks) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw NotAShift(folder.string() + ": no such folder");
  for (const char* name : {"shift.txt", "start.sav", "events.jsonl"})
    if (!fs::is_regular_file(folder / name, ec))
      throw NotAShift(folder.string() + ": not a shift (no " + name + ")");
  ShiftFiles files{ReadFile(folder / "shift.txt"), ReadFile(folder / "events.jsonl")};

  RunOptions options;
  // Only the settings the shift was recorded with: a file that is never there gives the
  // defaults under them.
  options.SettingsFile = folder / "no-settings-file";
  std::optional<std::uint64_t> seed;
  std::optional<TDateTime> end;
  std::string operations;
  std::istringstream lines(files.Text);
  int number = 0;
  for (std::string line; std::getline(lines, line); operations += "\n") {
    ++number;
    std::istringstream in(line.substr(0, line.find_first_of("#;")));
    std::string word, value, time;
    in >> word;
    if (!IsDirective(word)) {
      operations += line;
      continue;
    }
    in >> value >> time;
    const auto bad = [&] {
      return NotAShift(
          fmt::format("{}: line {}: bad {} line", (folder / "shift.txt").string(), number, word));
    };
    if (word == "district") {
      options.District = DistrictDirectory(value);
    } else if (word == "seed") {
      try {
        seed = std::stoull(value);
      } catch (const std::exception&) {
        throw bad();
      }
    } else if (word == "setting") {
      const auto assignment = ParseSettingAssignment(value);
      if (!assignment) throw bad();
      options.Sets.push_back(*assignment);
    } else if (word == "end") {
      end = StampTime(value, time);
      if (!end) throw bad();
    }
  }
  if (options.District.empty() || !seed)
    throw NotAShift((folder / "shift.txt").string() + ": not a shift (no district or seed line)");

  sim.Random.Seed(*seed);
  try {
    PrepareRun(sim, options, nullptr);
  } catch (const std::exception& e) {
    throw NotAShift(folder.string() + ": " + e.what());
  }
  const SaveOutcome loaded = LoadStateFromFile(sim, folder / "start.sav");
  if (!loaded.Ok)
    throw NotAShift((folder / "start.sav").string() + ": not loaded: " + loaded.Describe());
  sim.LastSaveTime = sim.State.ClockTime;
  std::vector<ScenarioStep> steps;
  try {
    steps = ParseScenario(operations, sim.AreaData);
  } catch (const ScenarioError& e) {
    throw NotAShift((folder / "shift.txt").string() + ": " + e.what());
  }

  const TDateTime start = sim.State.ClockTime;
  if (!end) end = LastEventTime(files.Recorded);
  EventLog log(sim, events, true);
  ScenarioPlayer player(std::move(steps), start);
  player.SetAnswer = [&log](bool answer) { log.Answer = answer; };
  StepHooks around;
  around.Before = [&] {
    player.PlayDue(sim, sim.State.ClockTime + kStepLength);
    if (hooks.Before) hooks.Before();
  };
  around.After = hooks.After;
  RunSimulation(sim, log, std::max<TDateTime>(0, end.value_or(start) - start), {}, around);
  return files;
}

// ---------------------------------------------------------------------------

/// The 1-based number of the first line where the two logs differ; 0 when they are the same.
long FirstDifferentLine(const std::string& a, const std::string& b) {
  if (a == b) return 0;
  long line = 1;
  for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
    if (a[i] == '\n') ++line;
  return line;
}

/// The folder's own name ("2024-03-15_06-00-00"), also when given with a trailing slash.
std::string FolderTitle(const std::string& dir) {
  fs::path path = fs::path(dir).lexically_normal();
  if (path.filename().empty()) path = path.parent_path();
  return path.filename().empty() ? dir : path.filename().string();
}

ScoredShift ScoreShift(const std::string& dir) {
  Simulation sim;
  std::ostringstream events;
  // The replay sets up its own event log, whose train hooks the scorer chains: it is made at
  // the first step, once the log is in place.
  std::optional<ShiftScorer> scorer;
  StepHooks hooks;
  hooks.Before = [&] {
    if (scorer) return;
    scorer.emplace(sim);
    scorer->Observe();
  };
  hooks.After = [&] { scorer->Observe(); };
  const ShiftFiles files = ReplayShift(sim, dir, &events, hooks);
  if (!scorer) scorer.emplace(sim);
  const std::string replayed = events.str();
  if (const long line = FirstDifferentLine(files.Recorded, replayed))
    std::cerr << dir << ": the replay differs from events.jsonl from line " << line
              << "; the score is that of the replay\n";
  scorer->CountEventLog(replayed);
  scorer->CountShiftText(files.Text);
  return {FolderTitle(dir), scorer->Score()};
}

int Score(const ScoreArguments& a) {
  std::vector<ScoredShift> shifts;
  for (const std::string& dir : {a.First, a.Second}) {
    if (dir.empty()) continue;
    try {
      shifts.push_back(ScoreShift(dir));
    } catch (const NotAShift& e) {
      std::cerr << e.what() << "\n";
      return kFailed;
    }
  }
  std::cout << FormatShiftScoreTable(shifts);
  if (!a.Csv.empty()) {
    std::ofstream out(a.Csv, std::ios::binary | std::ios::trunc);
    out << FormatShiftScoreCsv(shifts);
    out.flush();
    if (!out) {
      std::cerr << "--csv: cannot write " << a.Csv << "\n";
      return kFailed;
    }
  }
  return 0;
}

}  // namespace

Command AddScoreCommand(CLI::App& app) {
  auto a = std::make_shared<ScoreArguments>();
  CLI::App* score = app.add_subcommand(
      "score", "Replay a recorded shift and score it; two shifts side by side with the difference");
  score->add_option("DIR", a->First, "A shift's folder (start.sav, shift.txt, events.jsonl)")
      ->required();
  score->add_option("DIR2", a->Second, "A second shift's folder, scored beside the first");
  score->add_option("--csv", a->Csv, "Also write the figures as CSV to FILE, one row per shift");
  score->footer(
      "Replays each shift headless with the scorer attached and prints its figures: trains run, "
      "finished and on time, the delay at the last stop, the delay made in the district and the "
      "five trains and stations that made most, train-minutes standing at closed signals on "
      "the peregons, safety and the dispatcher's operations; with DIR2 a column for each and "
      "their difference (DIR2 minus DIR). Exits 0; a folder that is not a shift prints the "
      "reason and exits 2.");
  return {score, [a] { return Score(*a); }};
}

}  // namespace traklin::cli
