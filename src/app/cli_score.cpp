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
#include "simulation/shift_replay.h"

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

/// The folder must hold a shift's three files; the replay reads and checks them.
void CheckShiftFolder(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw NotAShift(folder.string() + ": no such folder");
  for (const char* name : {"shift.txt", "start.sav", "events.jsonl"})
    if (!fs::is_regular_file(folder / name, ec))
      throw NotAShift(folder.string() + ": not a shift (no " + name + ")");
}

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
  CheckShiftFolder(dir);
  Simulation sim;
  std::unique_ptr<ShiftReplay> replay;
  try {
    replay = std::make_unique<ShiftReplay>(sim, dir);
  } catch (const ShiftError& e) {
    throw NotAShift(e.what());
  }
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
  replay->Run(&events, std::nullopt, hooks);
  if (!scorer) scorer.emplace(sim);
  const std::string replayed = events.str();
  if (const long line = FirstDifferentLine(replay->RecordedText(), replayed))
    std::cerr << dir << ": the replay differs from events.jsonl from line " << line
              << "; the score is that of the replay\n";
  scorer->CountEventLog(replayed);
  scorer->CountShiftText(ReadFile(fs::path(dir) / "shift.txt"));
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
