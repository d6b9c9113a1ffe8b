// The user's preferences and the configuration file Traklin.ini.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "area/area_data.h"

namespace traklin {

/// The number of random freight trains per day between two points, both directions together.
struct TRandomFreightData {
  int From = 0;   ///< entry of Stations; the odd trains run from here
  int To = 0;     ///< entry of Stations
  int Count = 0;  ///< trains per day, not below 0

  bool operator==(const TRandomFreightData&) const = default;
};
using TRandomFreightsData = std::vector<TRandomFreightData>;

/// The settings record; every subsystem reads it directly. The comments name the INI key
/// (section / key) of each field.
struct TSettings {
  bool GidEnabled = false;               ///< GID / GIDENABLED
  bool ShowAllBlockSect = false;         ///< VIEW / SHOWALLBLOCKSECT; read at start only
  bool RestoreTimeScaleAtMsg = false;    ///< MESSAGES / RESTORETIMESCALEATMSG
  bool RestoreTimeScaleAtRings = false;  ///< MESSAGES / RESTORETIMESCALEATRINGS
  bool ScaleKmOnly = true;               ///< GID / SCALEKMONLY; read at start only
  /// VIEW / RESOLUTION: panel view index, read at start only. Not checked against the
  /// district's views: the panel must check it before use.
  std::int32_t Resolution = 0;
  std::int32_t ScalePercents = 40;     ///< GID / SCALEPERCENTS; read at start only
  bool CreateDependantTrains = false;  ///< LEVEL / CREATEDEPENDANTTRAINS
  /// LEVEL / PUNCTUALITYTOLERANCEMIN: a train this many minutes late or less is on time, >= 0.
  std::int32_t PunctualityToleranceMin = 5;
  bool RequestRings = true;                     ///< SOUND / REQUESTRINGS
  bool MessageRings = true;                     ///< SOUND / MESSAGERINGS
  bool TrainRefWithLog = false;                 ///< REFERENCE / TRAINREFWITHLOG
  std::int32_t ReapplyPutRequestPauseMin = 6;   ///< MESSAGES / REAPPLYPUTREQUESTPAUSEMIN
  std::int32_t ReapplySameRequestPauseMin = 6;  ///< MESSAGES / REAPPLYSAMEREQUESTPAUSEMIN
  bool NotifiesFromControlled = false;          ///< MESSAGES / NOTIFIESFROMCONTROLLED
  bool NotifiesFromPosts = false;               ///< MESSAGES / NOTIFIESFROMPOSTS
  bool NotifiesOfUnplannedStops = true;         ///< MESSAGES / NOTIFIESOFUNPLANNEDSTOPS
  TColor ColorLampLPOff = 0x707070;             ///< VIEW / COLORLAMPLPOFF (grey)
  TColor ColorLampLPLit = 0x00FFFF;             ///< VIEW / COLORLAMPLPLIT (yellow)
  TColor ColorLampLPOffText = 0;                ///< VIEW / COLORLAMPLPOFFTEXT (black)
  TColor ColorLampLPLitText = 0;                ///< VIEW / COLORLAMPLPLITTEXT (black)
  /// LEVEL / RANDOMFREIGHTSNUMBERDEVIATION: percent, 0..100.
  std::int32_t RandomFreightsNumberDeviation = 2;
  /// One record per point pair of the district's freight plans; LEVEL /
  /// RANDOMFREIGHTSFROM<from>TO<to> each. Filled by ReadDistrictSettings.
  TRandomFreightsData RandomFreights;
  std::int32_t RandomFreightsTotal = 0;  ///< sum of the counts; not stored
};

/// How a value that is not an integer is treated when reading.
enum class TSettingsReadMode {
  Lenient,  ///< at start-up: the key keeps its default and the problem is reported
  Strict,   ///< the first such value throws TSettingsError
};

/// A value in the configuration file is not a 32-bit integer (strict reading).
class TSettingsError : public std::runtime_error {
 public:
  TSettingsError(std::string section, std::string key, std::string value);
  std::string Section, Key, Value;
};

/// Problems met while reading leniently, one text each: "SECTION/KEY: value" for a value
/// that is not an integer, or the reason why the file could not be read.
using TSettingsProblems = std::vector<std::string>;

/// "../config/Traklin.ini", relative to the working directory.
std::filesystem::path DefaultSettingsPath();

/// "RANDOMFREIGHTSFROM" + from + "TO" + to, in decimal.
std::string RandomFreightKey(int from, int to);

/// Reads the general keys into `settings` and empties the random-freight records (total 0).
/// A missing file or key gives the key's default; the deviation is clamped to 0..100; any
/// non-zero boolean is true. Leniently, a file that exists but cannot be read gives all
/// defaults and one problem. Strictly, such a file throws IniError, a value that is not an
/// integer throws TSettingsError, and `settings` is left unchanged.
TSettingsProblems ReadGeneralSettings(const std::filesystem::path& path, TSettings& settings,
                                      TSettingsReadMode mode = TSettingsReadMode::Lenient);

class IniFile;
/// The same, from a text already read (the headless runner applies its overrides to it).
TSettingsProblems ReadGeneralSettings(const IniFile& ini, TSettings& settings,
                                      TSettingsReadMode mode = TSettingsReadMode::Lenient);

/// Builds the random-freight records of the district from its freight plans (plans with no
/// cars), in plan order: an odd train number gives (creation point, arrival point), an even
/// one the reverse; a pair already present in either order is skipped. Each count comes
/// from the LEVEL key of its pair (default 0, a negative count reads as 0), and the total
/// is their sum. Earlier records are replaced. Errors as for ReadGeneralSettings.
TSettingsProblems ReadDistrictSettings(const std::filesystem::path& path, const TAreaData& area,
                                       TSettings& settings,
                                       TSettingsReadMode mode = TSettingsReadMode::Lenient);

/// The same, from a text already read.
TSettingsProblems ReadDistrictSettings(const IniFile& ini, const TAreaData& area,
                                       TSettings& settings,
                                       TSettingsReadMode mode = TSettingsReadMode::Lenient);

/// Every key of the record as "SECTION/KEY" and its value, in the order WriteSettings writes
/// them (the random-freight counts of the district's pairs among them): what reads back, over
/// no file at all, to the same record.
std::vector<std::pair<std::string, std::string>> SettingsAssignments(const TSettings& settings);

/// Sets one key ("SECTION/KEY") of the record to an integer value, as if the configuration file
/// held it, with the district's rules (clamps, random-freight total). Returns the reason it
/// cannot be set (not a key of the record, not an integer), empty when it was set.
std::string ApplySetting(TSettings& settings, const TAreaData& area, const std::string& name,
                         const std::string& value);

/// Writes every key of the record, keeping all other keys, sections and comments of the
/// file (other districts' random-freight counts among them). The file is replaced
/// atomically and its directory created when missing. Throws IniError when the existing
/// file cannot be read (it is then left untouched) or the new one cannot be written.
void WriteSettings(const std::filesystem::path& path, const TSettings& settings);

}  // namespace traklin
