// Replaying a recorded shift headless: from its start.sav, seed, settings and operations.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/scenario.h"
#include "dispatch/shift_file.h"
#include "simulation/headless_run.h"
#include "simulation/shift_recorder.h"

namespace traklin {

/// A recorded shift read back for a replay. The simulation is prepared as the shift was: the
/// district its header names (a number is ../district/N), its settings (only those, never the
/// machine's Traklin.ini), the state of start.sav and the generator seeded with its seed.
class ShiftReplay {
 public:
  /// Reads the folder and prepares `sim` (text widths as `textWidth` gives them, for a run
  /// that is to be pictured). Throws ShiftError naming the file, and the line for shift.txt,
  /// when a file is missing or damaged or the district cannot be prepared.
  ShiftReplay(Simulation& sim, const std::filesystem::path& folder,
              std::function<int(const std::string&)> textWidth = {});

  const ShiftHeader& Header() const { return header_; }
  /// The district directory the header names.
  const std::filesystem::path& District() const { return district_; }
  /// The clock of start.sav.
  TDateTime Start() const { return start_; }
  /// Where the replay ends: the header's end, or the time of the last recorded event when the
  /// shift was cut short (the start when it has none).
  TDateTime End() const { return end_; }
  /// The recorded event log, one entry per line, and as it was read.
  const std::vector<std::string>& Recorded() const { return recorded_; }
  const std::string& RecordedText() const { return recordedText_; }

  /// Runs the shift from its start until `until` (End() when none; later is cut to it), with a
  /// fresh event log written to `events` (may be null): its lines played as a scenario, every
  /// question answered by its reply, and its saves taken to have the outcome the recorded log
  /// shows (nothing is written to disk). `hooks` run around every step, after the lines due.
  /// Call once.
  RunSummary Run(std::ostream* events, std::optional<TDateTime> until = std::nullopt,
                 const StepHooks& hooks = {});

  /// Told of every line that could not be done (as when it was recorded): its line, the reason.
  std::function<void(int line, const std::string& reason)> Refused;

 private:
  Simulation& sim_;
  std::filesystem::path folder_;
  std::filesystem::path district_;
  ShiftHeader header_;
  std::vector<ScenarioStep> steps_;
  std::vector<std::string> recorded_;
  std::string recordedText_;
  std::vector<bool> saves_;  ///< outcomes of the recorded saves, in order
  TDateTime start_ = 0;
  TDateTime end_ = 0;
};

/// Where two event logs part: the 1-based line and the two texts (empty with `Ended` set
/// when that log has no such line).
struct LogDifference {
  long Line = 0;
  std::string Expected;
  std::string Got;
  bool ExpectedEnded = false;
  bool GotEnded = false;
};
/// The first line where `got` differs from `expected` (both split at '\n'); nullopt when
/// they are the same byte for byte.
std::optional<LogDifference> FirstDifference(const std::string& expected, const std::string& got);

}  // namespace traklin
