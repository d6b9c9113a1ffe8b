// Recording a shift: its folder (start.sav, shift.txt, events.jsonl) and the console of a
// headless run that records or replays one.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "dispatch/scenario.h"
#include "dispatch/shift_file.h"
#include "simulation/headless_run.h"

namespace traklin {

/// A shift cannot be recorded or replayed; what() says which file and why.
class ShiftError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The files of a shift's folder.
inline constexpr const char* kShiftStartFile = "start.sav";
inline constexpr const char* kShiftTextFile = "shift.txt";
inline constexpr const char* kShiftEventsFile = "events.jsonl";

/// The name of a shift's folder under the district's shifts/: its real start, local time,
/// "YYYY-MM-DD_HH-MM-SS".
std::string ShiftFolderName(std::time_t realStart);
/// A seed for a shift that was given none (from the computer's clock).
std::uint64_t NewShiftSeed();

/// Records one shift at a time into its folder. Begin starts it from the simulation's state,
/// every operation of the dispatcher told to the simulation's OnOperation is then written to
/// shift.txt stamped with the clock, the shift's event log goes to Events(), and End closes
/// it. A load of another state ends the shift; the next one begins from the loaded state.
class ShiftRecorder {
 public:
  ShiftRecorder() = default;
  /// Ends a shift still recording (without throwing).
  ~ShiftRecorder();
  ShiftRecorder(const ShiftRecorder&) = delete;
  ShiftRecorder& operator=(const ShiftRecorder&) = delete;

  /// Begins a shift in `folder` (created when missing): writes start.sav from the state and
  /// loads it back, so that the shift starts from exactly what its replay loads; seeds the
  /// generator with `seed`; writes shift.txt's header (the district as `district` names it,
  /// the seed, every key of the settings, the start) and opens events.jsonl. The instructor's
  /// holds still running are written as hold lines stamped with the start (they are not part
  /// of a save). Throws ShiftError when a file cannot be written or start.sav does not load
  /// back (the state is then as it was). The event log of the shift starts now: a console
  /// writes it with a fresh EventLog (or its equivalent) over Events().
  void Begin(Simulation& sim, const std::filesystem::path& folder, const std::string& district,
             std::uint64_t seed);
  /// Where the shift's event log is written while recording.
  std::ostream& Events() { return events_; }
  /// Writes the end line ("end" and the clock), closes the files and stops listening. Throws
  /// ShiftError when a file could not be written completely.
  void End();
  bool Recording() const { return sim_ != nullptr; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  void Write(const std::string& line, const std::string& note);

  Simulation* sim_ = nullptr;
  std::filesystem::path folder_;
  std::ofstream text_;
  std::ofstream events_;
  ShiftLineWriter lines_;
};

/// The console of a headless run that records or replays a shift, in front of its event log:
/// a question takes the reply the player holds for it (a replayed answer) before the log's own
/// answer, and every answer given is told as a reply operation (recorded with the question).
/// Installs itself as the simulation's console; the log does the rest.
class ShiftConsole : public ConsoleServices {
 public:
  ShiftConsole(Simulation& sim, EventLog& log);
  ~ShiftConsole() override;
  ShiftConsole(const ShiftConsole&) = delete;
  ShiftConsole& operator=(const ShiftConsole&) = delete;

  void NotifyDispatcher(const std::string& text) override;
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool AskDispatcher(const std::string& caption, const std::string& text, int ring) override;
  bool SaveLastState(bool reportFailure) override;

  /// The player whose replies answer first (may be null).
  ScenarioPlayer* Player = nullptr;

 private:
  Simulation& sim_;
  EventLog& log_;
};

}  // namespace traklin
