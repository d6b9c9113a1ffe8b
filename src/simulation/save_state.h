// SaveState and LoadState: the whole dynamic state in a save file, and last.sav with its copies.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "state/simulation_data.h"

namespace traklin {

/// The version every save is written in; files of versions kMinSaveVersion to this one load.
inline constexpr int kSaveVersion = 20;
inline constexpr int kMinSaveVersion = 2;

/// The outcome of a save or a load. On failure Reason says why (English, as the reader's
/// messages) and Line is the line of the file where reading stopped (0 when none applies).
struct SaveOutcome {
  bool Ok = false;
  std::string Reason;
  int Line = 0;
  /// "Reason" or "Reason (line N)".
  std::string Describe() const;
};

/// What a readable save holds: its STATE values and every later group with its record count
/// (trains, lamps, ..., position-log entries), in file order.
struct SaveSummary {
  int Version = 0;
  int Area = 0;
  TDateTime ClockTime = 0;
  TDateTime NextRandomFreightTime = 0;
  std::vector<std::pair<std::string, int>> Groups;
  int Routes = 0;  ///< route records over all LP route tables
};

/// The save text (version kSaveVersion, Windows-1251, CR LF) of the simulation's state.
std::string WriteStateText(const SimulationData& sim);

/// Reads a save text against the district into `out`, trusting nothing: every length must fit
/// the district, every index its table, every real must be finite and the clock inside the
/// calendar. `live` is the state being replaced (files before version 10 keep its random
/// plans). Throws ReadError with the reason and line on any fault; `out` is then unusable.
void ReadStateText(const TAreaData& area, std::string_view bytes, const TStateData& live,
                   TStateData& out, SaveSummary* summary = nullptr);

/// Loads a save text: reads it into a scratch state and takes that over only when all of it
/// was read. On failure the simulation's state is untouched.
SaveOutcome LoadStateFromText(SimulationData& sim, std::string_view bytes,
                              SaveSummary* summary = nullptr);
/// The same for a file; a missing file fails with "No save file".
SaveOutcome LoadStateFromFile(SimulationData& sim, const std::filesystem::path& file,
                              SaveSummary* summary = nullptr);

/// Writes the state to `file` safely: the text goes to file + ".tmp", which is flushed, closed
/// and read back; only then, with keepPrevious, an existing `file` is kept as the next
/// numbered copy in its directory (NextSaveCopy), and the temporary file replaces `file`. On
/// any failure `file` stays as it was and the temporary file is removed. The directory is
/// created when missing.
SaveOutcome SaveStateToFile(const SimulationData& sim, const std::filesystem::path& file,
                            bool keepPrevious = false);

/// A scenario's save step: SaveStateToFile without keeping a copy; empty when saved, else
/// "not saved: " and the reason.
std::string SaveForScenario(const SimulationData& sim, const std::string& file);

/// The save directory of a district directory (dir / "saves") and its last.sav.
std::filesystem::path SaveDirectory(const std::filesystem::path& districtDir);
std::filesystem::path LastSavePath(const std::filesystem::path& districtDir);

/// The name for the next kept copy in a save directory: N + 1 ".sav" where N is the largest
/// number among the regular files "<digits>.sav" whose digits fit 32 bits (0 when none), or
/// the first free name after it when a file or folder already has that name.
std::filesystem::path NextSaveCopy(const std::filesystem::path& saveDir);

/// The district's save: last.sav in its save directory, keeping the previous one as a copy.
SaveOutcome SaveLastState(const SimulationData& sim, const std::filesystem::path& districtDir);
/// Loads the district's last.sav.
SaveOutcome LoadLastState(SimulationData& sim, const std::filesystem::path& districtDir);

}  // namespace traklin
