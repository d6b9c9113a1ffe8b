// The subcommands of traklin-cli: each adds itself to the application and says what runs.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/scenario.h"
#include "simulation/headless_run.h"

namespace traklin::cli {

/// A subcommand and what runs when it was given; Run returns the exit code.
struct Command {
  CLI::App* Sub = nullptr;
  std::function<int()> Run;
};

/// Exit code of every failure a subcommand reports (bad district, bad arguments, bad file).
inline constexpr int kFailed = 2;
/// Check mode found the incremental step different from a full one.
inline constexpr int kCheckFailed = 4;
/// Exit code of a replay whose event log differs from the recorded one.
inline constexpr int kReplayDiffers = 3;

/// The district directory that DIR|N names (a number means ../district/N).
std::string DistrictDirectory(const std::string& dirOrNumber);

/// The arguments of a run as given on the command line, shared by run, report, render and
/// study.
struct RunArguments {
  std::string District;
  std::string Start;
  std::string For = "24h";
  std::optional<std::uint64_t> Seed;
  std::string Answer = "yes";
  std::string Settings;
  std::vector<std::string> Sets;
  bool Auto = false;         ///< the automatic dispatcher works every station
  std::vector<int> AutoLps;  ///< LP codes it works
  std::string Script;        ///< an instructor scenario to play
};
/// Which of the shared arguments a subcommand takes besides the rest.
struct RunArgumentChoice {
  bool Seed = true;              ///< --seed (a study gives its seeds otherwise)
  bool Script = false;           ///< --script
  bool DistrictRequired = true;  ///< DIR must be given (a study's merge needs none)
};
/// Adds DIR, --start, --for, --seed, --answer, --settings, --set, --auto, --auto-lp and
/// --script (as chosen) to a subcommand.
void AddRunArguments(CLI::App* sub, RunArguments& a, const RunArgumentChoice& choice = {});
/// The run options the arguments ask for; a bad argument is told on standard error and gives
/// nullopt.
std::optional<RunOptions> ToRunOptions(const RunArguments& a);
/// The seed given, or one from the clock.
std::uint64_t SeedOf(const RunArguments& a);
/// Seeds sim and prepares the run, printing the settings warnings; prints the reason and
/// returns false when the district or a setting cannot be used.
bool SeedAndPrepare(Simulation& sim, const RunOptions& options, std::uint64_t seed);
/// Switches the stations that --auto and --auto-lp ask for to the automatic dispatcher;
/// prints the problem and returns false for an LP code the district does not have.
bool SwitchAutomatic(Simulation& sim, const RunArguments& a);
/// Reads the --script file against the district (none given: no steps); prints
/// "FILE: line N: reason" and returns false for a bad line.
bool ReadScript(const RunArguments& a, const TAreaData& area, std::vector<ScenarioStep>& steps);

/// What `run --record DIR` adds to a run: the shift begun in DIR from the prepared state, and
/// the run's event log copied into it.
class ShiftRecording {
 public:
  ShiftRecording();
  ~ShiftRecording();
  /// Begins the shift (see ShiftRecorder::Begin); the district as given on the command line.
  /// Prints the reason and returns false when it cannot.
  bool Begin(Simulation& sim, const std::string& folder, const std::string& district,
             std::uint64_t seed);
  /// The stream the run's event log goes to: `other` (may be null), and the shift's
  /// events.jsonl while recording.
  std::ostream* Events(std::ostream* other);
  /// Ends the shift; prints the reason and returns false when its files were not written.
  bool End();
  /// The shift's folder while recording, else null.
  const std::string* Folder() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

/// run --replay DIR: replays the shift recorded in DIR, its log also written to `eventsFile`
/// (none when empty). Returns 0 when the log is the recorded one byte for byte, kReplayDiffers
/// (printing the first line where they part) when it is not, kFailed when the shift cannot be
/// read.
int ReplayShift(const std::string& folder, const std::string& eventsFile);

Command AddCheckCommand(CLI::App& app);
Command AddRunCommand(CLI::App& app);
/// report KIND: a reference report after a run, as text.
Command AddReportCommand(CLI::App& app);
/// render panel|desk: the run's window painted offscreen as PNG (needs the console; without
/// it the command says so and fails).
Command AddRenderCommand(CLI::App& app);
Command AddSaveCheckCommand(CLI::App& app);
/// score DIR [DIR2]: recorded shifts replayed and scored, side by side.
Command AddScoreCommand(CLI::App& app);
/// study: one run per seed of a range, in threads, with a row of figures per seed and the
/// totals; or the merge of the CSV of a study's shards.
Command AddStudyCommand(CLI::App& app);

}  // namespace traklin::cli
