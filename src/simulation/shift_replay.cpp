// Replaying a recorded shift headless: from its start.sav, seed, settings and operations.
#include "simulation/shift_replay.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "area/date_time.h"
#include "area/district_catalogue.h"
#include "simulation/save_state.h"

namespace traklin {

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) throw ShiftError(file.string() + ": no such file");
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in && !in.eof()) throw ShiftError(file.string() + ": cannot read");
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = text.find('\n', from);
    if (end == std::string::npos) {
      lines.push_back(text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

}  // namespace

ShiftReplay::ShiftReplay(Simulation& sim, const fs::path& folder,
                         std::function<int(const std::string&)> textWidth)
    : sim_(sim), folder_(folder) {
  const fs::path textFile = folder / kShiftTextFile;
  const std::string text = ReadText(textFile);
  try {
    header_ = ParseShiftHeader(text);
  } catch (const ScenarioError& e) {
    throw ShiftError(textFile.string() + ": " + e.what());
  }
  if (header_.District.empty()) throw ShiftError(textFile.string() + ": no district line");
  if (!header_.Seed) throw ShiftError(textFile.string() + ": no seed line");

  RunOptions options;
  const auto number = ParseDistrictArgument(header_.District);
  options.District = number ? kDistrictRoot / std::to_string(*number) : fs::path(header_.District);
  // The header holds every setting the shift ran with; the machine's file has no say.
  options.SettingsFile.clear();
  options.Sets = header_.Settings;
  options.TextWidth = std::move(textWidth);
  district_ = options.District;
  sim.Random.Seed(*header_.Seed);
  try {
    PrepareRun(sim, options, nullptr);
  } catch (const std::exception& e) {
    throw ShiftError(textFile.string() + ": district " + header_.District + ": " + e.what());
  }
  const fs::path startFile = folder / kShiftStartFile;
  const SaveOutcome loaded = LoadStateFromFile(sim, startFile);
  if (!loaded.Ok) throw ShiftError(startFile.string() + ": not loaded: " + loaded.Describe());
  sim.LastSaveTime = sim.State.ClockTime;
  sim.Random.Seed(*header_.Seed);
  start_ = sim.State.ClockTime;
  try {
    steps_ = ParseScenario(text, sim.AreaData);
  } catch (const ScenarioError& e) {
    throw ShiftError(textFile.string() + ": " + e.what());
  }

  const fs::path eventsFile = folder / kShiftEventsFile;
  recordedText_ = ReadText(eventsFile);
  recorded_ = Lines(recordedText_);
  for (const std::string& line : recorded_) {
    if (line.find("\"event\":\"save\"") == std::string::npos) continue;
    const auto j = nlohmann::json::parse(line, nullptr, false);
    saves_.push_back(j.is_object() && j.contains("ok") && j["ok"].is_boolean() &&
                     j["ok"].get<bool>());
  }
  end_ = start_;
  if (header_.End) {
    end_ = *header_.End;
  } else if (!recorded_.empty()) {
    const auto j = nlohmann::json::parse(recorded_.back(), nullptr, false);
    std::optional<TDateTime> last;
    if (j.is_object() && j.contains("time") && j["time"].is_string())
      last = ParseEventTime(j["time"].get<std::string>());
    if (!last)
      throw ShiftError(eventsFile.string() + ": line " + std::to_string(recorded_.size()) +
                       ": no time");
    end_ = *last;
  }
  if (end_ < start_) throw ShiftError(textFile.string() + ": the shift ends before its start");
}

RunSummary ShiftReplay::Run(std::ostream* events, std::optional<TDateTime> until,
                            const StepHooks& hooks) {
  const TDateTime stop = until && *until < end_ ? *until : end_;
  EventLog log(sim_, events, true);
  if (!saves_.empty()) {
    // The saves happen as recorded, and write nothing.
    log.Save = [this, next = std::size_t{0}]() mutable {
      return next < saves_.size() && saves_[next++];
    };
  }
  ShiftConsole console(sim_, log);
  ScenarioPlayer player(std::move(steps_), sim_.State.ClockTime);
  console.Player = &player;
  player.SetAnswer = [&log](bool answer) { log.Answer = answer; };
  player.Save = [](const std::string&) { return std::string(); };
  player.SaveLast = [this] { sim_.ManualSave(); };
  player.Refused = Refused;
  StepHooks around;
  around.Before = [&] {
    player.PlayDue(sim_, sim_.State.ClockTime + kStepLength);
    if (hooks.Before) hooks.Before();
  };
  around.After = hooks.After;
  // Whole steps, counted on the grid of tenths the times are written on.
  const long steps = (TenthsOf(stop) - TenthsOf(sim_.State.ClockTime) + 2) / 5;
  return RunSimulation(sim_, log, steps > 0 ? steps * kStepLength : 0, {}, around);
}

std::optional<LogDifference> FirstDifference(const std::string& expected, const std::string& got) {
  if (expected == got) return std::nullopt;
  const std::vector<std::string> a = Lines(expected), b = Lines(got);
  LogDifference d;
  std::size_t k = 0;
  while (k < a.size() && k < b.size() && a[k] == b[k]) ++k;
  d.Line = static_cast<long>(k) + 1;
  if (k < a.size())
    d.Expected = a[k];
  else
    d.ExpectedEnded = true;
  if (k < b.size())
    d.Got = b[k];
  else
    d.GotEnded = true;
  // The same lines with only the last line break differing.
  if (d.ExpectedEnded && d.GotEnded) {
    d.Line = static_cast<long>(k);
    d.ExpectedEnded = d.GotEnded = false;
    d.Expected = expected.size() > got.size() ? "(a line break at the end)" : "(no line break)";
    d.Got = expected.size() > got.size() ? "(no line break)" : "(a line break at the end)";
  }
  return d;
}

}  // namespace traklin
