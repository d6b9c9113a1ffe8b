// traklin-cli run: a district run without a display, with an event log and a summary.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/cli_commands.h"
#include "area/area_queries.h"
#include "dispatch/punctuality.h"
#include "dispatch/scenario.h"
#include "simulation/headless_run.h"
#include "simulation/save_state.h"
#include "simulation/shift_recorder.h"

namespace traklin::cli {

namespace {

struct RunCommandArguments : RunArguments {
  std::string Events;
  std::string Load;
  std::string Save;
  std::string Report;
  std::string Record;
  std::string Replay;
  bool Autosave = false;
  bool CheckIncremental = false;
};

/// The punctuality report: a table on standard output for "-", else CSV to the file with the
/// summary on standard output.
bool WritePunctuality(const Simulation& sim, const PunctualityRecorder& recorder,
                      const std::string& target) {
  const PunctualityReport report =
      BuildPunctualityReport(sim.AreaData, recorder.Runs(), sim.Settings.PunctualityToleranceMin);
  if (target == "-") {
    std::cout << "punctuality:\n" << FormatPunctualityTable(report);
    return true;
  }
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out << FormatPunctualityCsv(report);
  out.flush();
  if (!out) {
    std::cerr << "--report: cannot write " << target << "\n";
    return false;
  }
  std::cout << "punctuality:\n" << FormatPunctualitySummary(report.Summary);
  return true;
}

int Run(const RunCommandArguments& a) {
  if (!a.Replay.empty()) return ReplayShift(a.Replay, a.Events);
  if (a.District.empty()) {
    std::cerr << "DIR is required\nRun with --help for more information.\n";
    return kFailed;
  }
  const std::optional<RunOptions> parsed = ToRunOptions(a);
  if (!parsed) return kFailed;
  const RunOptions& options = *parsed;
  const std::uint64_t seed = SeedOf(a);

  Simulation sim;
  if (!SeedAndPrepare(sim, options, seed)) return kFailed;
  if (!a.Load.empty()) {
    const SaveOutcome loaded = LoadStateFromFile(sim, a.Load);
    if (!loaded.Ok) {
      std::cerr << a.Load << ": not loaded: " << loaded.Describe() << "\n";
      return kFailed;
    }
    sim.LastSaveTime = sim.State.ClockTime;
  }
  if (!SwitchAutomatic(sim, a)) return kFailed;

  // Every line is checked before anything runs.
  std::vector<ScenarioStep> script;
  if (!ReadScript(a, sim.AreaData, script)) return kFailed;

  // The shift starts from the state prepared so far, as loaded back from its start.sav.
  ShiftRecording recording;
  if (!a.Record.empty() && !recording.Begin(sim, a.Record, a.District, seed)) return kFailed;

  std::ofstream file;
  std::ostream* events = nullptr;
  if (a.Events == "-") {
    events = &std::cout;
  } else if (!a.Events.empty()) {
    file.open(a.Events, std::ios::binary | std::ios::trunc);
    if (!file) {
      std::cerr << "--events: cannot write " << a.Events << "\n";
      return kFailed;
    }
    events = &file;
  }
  EventLog log(sim, recording.Events(events), options.Answer);
  // Replies of a played shift answer first; every answer given is recorded.
  std::optional<ShiftConsole> shiftConsole;
  if (!a.Record.empty() || !a.Script.empty()) shiftConsole.emplace(sim, log);
  // Autosaves reach the district's saves only when asked for.
  std::string lastSaveFailure;
  if (a.Autosave) {
    log.Save = [&sim, &options, &lastSaveFailure] {
      const SaveOutcome saved = SaveLastState(sim, options.District);
      if (!saved.Ok) lastSaveFailure = saved.Reason;
      return saved.Ok;
    };
  }

  std::cout << "seed: " << seed << "\n";
  std::cout << "start: " << FormatEventTime(sim.State.ClockTime) << "\n";
  // A progress line only for a person watching a terminal.
  std::function<void(double)> progress;
  if (isatty(STDERR_FILENO) && events != &std::cout) {
    progress = [](double done) {
      std::fprintf(stderr, "\r%5.1f %%", done * 100.0);
      std::fflush(stderr);
    };
  }
  std::optional<PunctualityRecorder> recorder;
  StepHooks hooks;
  std::optional<ScenarioPlayer> player;
  if (!a.Script.empty()) {
    player.emplace(std::move(script), sim.State.ClockTime);
    player->DefaultAnswer = options.Answer;
    player->SetAnswer = [&log](bool answer) { log.Answer = answer; };
    player->Save = [&sim](const std::string& saveFile) { return SaveForScenario(sim, saveFile); };
    player->SaveLast = [&sim] { sim.ManualSave(); };
    shiftConsole->Player = &*player;
    player->Refused = [&a](int line, const std::string& reason) {
      std::cerr << a.Script << ": line " << line << " not done: " << reason << "\n";
    };
    hooks.Before = [&player, &sim] { player->PlayDue(sim, sim.State.ClockTime + kStepLength); };
  }
  if (!a.Report.empty()) {
    recorder.emplace(sim);
    recorder->Observe();
    hooks.After = [&recorder] { recorder->Observe(); };
  }
  sim.Changes.Check = a.CheckIncremental;
  RunSummary summary;
  try {
    summary = RunSimulation(sim, log, options.Span, progress, hooks);
  } catch (const CheckMismatch& e) {
    if (progress) std::fprintf(stderr, "\r        \r");
    std::cerr << "check: at " << FormatEventTime(sim.State.ClockTime) << ": " << e.what() << "\n";
    return kCheckFailed;
  }
  if (progress) std::fprintf(stderr, "\r        \r");
  if (!recording.End()) return kFailed;
  if (file.is_open()) {
    file.flush();
    if (!file) {
      std::cerr << "--events: writing " << a.Events << " failed\n";
      return kFailed;
    }
  }
  if (!a.Save.empty()) {
    // Through the event log, so that the final save is logged as the autosaves are.
    log.Save = [&sim, &a, &lastSaveFailure] {
      const SaveOutcome saved = SaveStateToFile(sim, a.Save);
      if (!saved.Ok) lastSaveFailure = saved.Reason;
      return saved.Ok;
    };
    const bool saved = log.SaveLastState(false);
    summary.Events = log.Counts();
    if (!saved) {
      std::cerr << "--save: " << lastSaveFailure << "\n";
      return kFailed;
    }
  }
  std::cout << "end: " << FormatEventTime(sim.State.ClockTime) << "\n";
  std::cout << FormatRunSummary(summary);
  if (!a.Save.empty()) std::cout << "saved: " << a.Save << "\n";
  if (!a.Record.empty()) std::cout << "recorded: " << a.Record << "\n";
  if (recorder && !WritePunctuality(sim, *recorder, a.Report)) return kFailed;
  return 0;
}

}  // namespace

void AddRunArguments(CLI::App* sub, RunArguments& a, const RunArgumentChoice& choice) {
  sub->add_option("DIR", a.District,
                  "A district directory holding Data.dat, or a district number N "
                  "(../district/N, relative to the working directory)")
      ->required(choice.DistrictRequired);
  sub->add_option("--start", a.Start,
                  "Simulated start \"YYYY-MM-DD HH:MM\" (default: as the console starts "
                  "without a save)");
  sub->add_option("--for", a.For, "Simulated span: a number with s, m, h or d")
      ->capture_default_str();
  if (choice.Seed)
    sub->add_option("--seed", a.Seed, "Seed of the simulation's generator (default: the clock)");
  sub->add_option("--answer", a.Answer, "The answer to every question a station asks")
      ->check(CLI::IsMember({"yes", "no"}))
      ->capture_default_str();
  sub->add_option("--settings", a.Settings,
                  "The configuration file (default ../config/Traklin.ini; missing: defaults)");
  sub->add_option("--set", a.Sets, "SECTION/KEY=VALUE over the configuration (repeatable)");
  sub->add_flag("--auto", a.Auto, "The automatic dispatcher works every station");
  sub->add_option("--auto-lp", a.AutoLps,
                  "The automatic dispatcher works the LP of this code (repeatable)");
  if (choice.Script)
    sub->add_option("--script", a.Script,
                    "Play an instructor scenario: timed lines \"HH:MM[:SS] action arguments\" "
                    "(see README); a bad line prints its number and the reason and exits 2 "
                    "before the run starts");
}

std::optional<RunOptions> ToRunOptions(const RunArguments& a) {
  RunOptions options;
  options.District = DistrictDirectory(a.District);
  if (!a.Start.empty()) {
    options.Start = ParseStartTime(a.Start);
    if (!options.Start) {
      std::cerr << "--start: not a time \"YYYY-MM-DD HH:MM\": " << a.Start << "\n";
      return std::nullopt;
    }
  }
  const auto span = ParseSpan(a.For);
  if (!span) {
    std::cerr << "--for: not a span (a number with s, m, h or d): " << a.For << "\n";
    return std::nullopt;
  }
  options.Span = *span;
  options.Answer = a.Answer == "yes";
  if (!a.Settings.empty()) options.SettingsFile = a.Settings;
  for (const std::string& s : a.Sets) {
    const auto assignment = ParseSettingAssignment(s);
    if (!assignment) {
      std::cerr << "--set: expected SECTION/KEY=VALUE: " << s << "\n";
      return std::nullopt;
    }
    options.Sets.push_back(*assignment);
  }
  return options;
}

std::uint64_t SeedOf(const RunArguments& a) {
  return a.Seed ? *a.Seed
                : static_cast<std::uint64_t>(
                      std::chrono::system_clock::now().time_since_epoch().count());
}

bool SeedAndPrepare(Simulation& sim, const RunOptions& options, std::uint64_t seed) {
  sim.Random.Seed(seed);
  std::vector<std::string> warnings;
  try {
    PrepareRun(sim, options, &warnings);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return false;
  }
  for (const std::string& w : warnings) std::cerr << w << "\n";
  return true;
}

bool ReadScript(const RunArguments& a, const TAreaData& area, std::vector<ScenarioStep>& steps) {
  steps.clear();
  if (a.Script.empty()) return true;
  try {
    steps = ReadScenarioFile(a.Script, area);
  } catch (const ScenarioError& e) {
    std::cerr << a.Script << ": " << e.what() << "\n";
    return false;
  }
  return true;
}

bool SwitchAutomatic(Simulation& sim, const RunArguments& a) {
  // Without --auto or --auto-lp a loaded save keeps the stations it had switched.
  if (!a.Auto && a.AutoLps.empty()) return true;
  const std::size_t count = sim.AreaData.Puts.size();
  sim.State.AutoLPs.assign(count, a.Auto);
  for (const int code : a.AutoLps) {
    const int lp = FindLPIndex(sim.AreaData, code);
    if (lp < 0 || lp >= static_cast<int>(count)) {
      std::cerr << "--auto-lp: no LP with code " << code << "\n";
      return false;
    }
    sim.State.AutoLPs[lp] = true;
  }
  return true;
}

Command AddRunCommand(CLI::App& app) {
  auto a = std::make_shared<RunCommandArguments>();
  CLI::App* run = app.add_subcommand(
      "run", "Run a district without a display for a simulated span and report what happened");
  AddRunArguments(run, *a, {.Seed = true, .Script = true});
  run->add_option("--events", a->Events,
                  "Write the event log (JSON Lines, UTF-8) to FILE, or to standard output "
                  "with -");
  CLI::Option* load = run->add_option(
      "--load", a->Load,
      "Start from a save file instead of a fresh state (its clock is the start); a file that "
      "cannot be loaded prints the reason and exits 2");
  load->excludes(run->get_option("--start"));
  run->add_option("--save", a->Save,
                  "Save the state to FILE at the end (written through FILE.tmp; an existing "
                  "FILE is replaced only by a complete save)");
  run->add_option("--report", a->Report,
                  "Write the punctuality report: CSV to FILE (the summary on standard output), "
                  "or a table to standard output with -");
  CLI::Option* record = run->add_option(
      "--record", a->Record,
      "Record the run as a shift in the folder DIR (created): start.sav, shift.txt (the header "
      "and every operation: the scenario's lines and the answers given) and events.jsonl");
  CLI::Option* replay = run->add_option(
      "--replay", a->Replay,
      "Replay the shift recorded in the folder DIR instead of a run of a district; exits 0 when "
      "its event log is the recorded one byte for byte, 3 (with the first line that differs) "
      "when it is not");
  run->get_option("DIR")->required(false);
  for (const char* other : {"DIR", "--start", "--for", "--seed", "--answer", "--settings", "--set",
                            "--auto", "--auto-lp", "--load", "--save", "--report", "--script"})
    replay->excludes(run->get_option(other));
  replay->excludes(record);
  run->add_flag("--autosave", a->Autosave,
                "Autosave every ten simulated minutes to the district's saves/last.sav, keeping "
                "the previous one as a numbered copy (without it a run never touches the "
                "district's saves)");
  run->footer(
      "Prints the seed and the start, then at the end the simulated span, the steps, the "
      "wall-clock seconds, steps per second, trains created and removed, trains still in the "
      "district and the number of events of each kind, and exits 0. A district that cannot "
      "be read or prepared prints the same text as `check` and exits 2; so does a bad "
      "argument or setting, and a shift that cannot be recorded or replayed (a damaged "
      "shift.txt names its line). --replay prints the same and then whether the replayed log is "
      "the recorded one. Check mode (--check-incremental) that finds a step different from a full "
      "one prints \"check: at TIME: \" and the difference, and exits 4.");
  replay->excludes(run->get_option("--autosave"));
  replay->excludes(run->add_flag(
      "--check-incremental", a->CheckIncremental,
      "Check mode: every step also recomputes what the step skips as unchanged, and the run "
      "stops at the first difference, naming it, with exit code 4"));
  return {run, [a] { return Run(*a); }};
}

}  // namespace traklin::cli
