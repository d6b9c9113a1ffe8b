// Reading and writing the settings record in Traklin.ini.
#include "settings/settings.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "settings/ini_file.h"

namespace traklin {
namespace {

constexpr std::string_view kView = "VIEW";
constexpr std::string_view kGid = "GID";
constexpr std::string_view kLevel = "LEVEL";
constexpr std::string_view kReference = "REFERENCE";
constexpr std::string_view kSound = "SOUND";
constexpr std::string_view kMessages = "MESSAGES";

/// Reads values of one file, remembering (or throwing, when strict) what is not an integer.
class ValueReader {
 public:
  ValueReader(const IniFile& ini, TSettingsReadMode mode, TSettingsProblems& problems)
      : ini_(ini), mode_(mode), problems_(problems) {}

  std::int32_t Int(std::string_view section, std::string_view key, std::int32_t fallback) {
    const std::optional<std::string> text = ini_.GetString(section, key);
    if (!text) return fallback;
    if (const auto value = ParseInt32(*text)) return *value;
    if (mode_ == TSettingsReadMode::Strict) {
      throw TSettingsError(std::string(section), std::string(key), *text);
    }
    problems_.push_back(std::string(section) + "/" + std::string(key) + ": " + *text);
    return fallback;
  }
  bool Bool(std::string_view section, std::string_view key, bool fallback) {
    return Int(section, key, fallback ? 1 : 0) != 0;
  }
  // Colours are stored as signed 32-bit numbers; the bits are the colour.
  TColor Color(std::string_view section, std::string_view key, TColor fallback) {
    return static_cast<TColor>(Int(section, key, static_cast<std::int32_t>(fallback)));
  }

 private:
  const IniFile& ini_;
  TSettingsReadMode mode_;
  TSettingsProblems& problems_;
};

/// The file's text, or an empty one with a problem when it cannot be read leniently.
IniFile LoadForReading(const std::filesystem::path& path, TSettingsReadMode mode,
                       TSettingsProblems& problems) {
  try {
    return IniFile::Load(path);
  } catch (const IniError& e) {
    if (mode == TSettingsReadMode::Strict) throw;
    problems.push_back(e.what());
    return IniFile{};
  }
}

}  // namespace

TSettingsError::TSettingsError(std::string section, std::string key, std::string value)
    : std::runtime_error("Illegal setting value " + section + "/" + key + ": " + value),
      Section(std::move(section)),
      Key(std::move(key)),
      Value(std::move(value)) {}

std::filesystem::path DefaultSettingsPath() {
  return std::filesystem::path("..") / "config" / "Traklin.ini";
}

std::string RandomFreightKey(int from, int to) {
  return "RANDOMFREIGHTSFROM" + std::to_string(from) + "TO" + std::to_string(to);
}

TSettingsProblems ReadGeneralSettings(const std::filesystem::path& path, TSettings& settings,
                                      TSettingsReadMode mode) {
  TSettingsProblems problems;
  const IniFile ini = LoadForReading(path, mode, problems);
  for (std::string& p : ReadGeneralSettings(ini, settings, mode)) problems.push_back(std::move(p));
  return problems;
}

TSettingsProblems ReadGeneralSettings(const IniFile& ini, TSettings& settings,
                                      TSettingsReadMode mode) {
  TSettingsProblems problems;
  ValueReader r(ini, mode, problems);
  const TSettings def;
  // Filled in a copy so that a strict failure leaves the record as it was.
  TSettings s = settings;
  s.RandomFreights.clear();
  s.RandomFreightsTotal = 0;

  s.ShowAllBlockSect = r.Bool(kView, "SHOWALLBLOCKSECT", def.ShowAllBlockSect);
  s.Resolution = r.Int(kView, "RESOLUTION", def.Resolution);
  s.ColorLampLPOff = r.Color(kView, "COLORLAMPLPOFF", def.ColorLampLPOff);
  s.ColorLampLPLit = r.Color(kView, "COLORLAMPLPLIT", def.ColorLampLPLit);
  s.ColorLampLPOffText = r.Color(kView, "COLORLAMPLPOFFTEXT", def.ColorLampLPOffText);
  s.ColorLampLPLitText = r.Color(kView, "COLORLAMPLPLITTEXT", def.ColorLampLPLitText);

  s.GidEnabled = r.Bool(kGid, "GIDENABLED", def.GidEnabled);
  s.ScalePercents = r.Int(kGid, "SCALEPERCENTS", def.ScalePercents);
  s.ScaleKmOnly = r.Bool(kGid, "SCALEKMONLY", def.ScaleKmOnly);

  s.RandomFreightsNumberDeviation = std::clamp(
      r.Int(kLevel, "RANDOMFREIGHTSNUMBERDEVIATION", def.RandomFreightsNumberDeviation), 0, 100);
  s.CreateDependantTrains = r.Bool(kLevel, "CREATEDEPENDANTTRAINS", def.CreateDependantTrains);
  s.PunctualityToleranceMin =
      std::max(0, r.Int(kLevel, "PUNCTUALITYTOLERANCEMIN", def.PunctualityToleranceMin));

  s.TrainRefWithLog = r.Bool(kReference, "TRAINREFWITHLOG", def.TrainRefWithLog);

  s.RequestRings = r.Bool(kSound, "REQUESTRINGS", def.RequestRings);
  s.MessageRings = r.Bool(kSound, "MESSAGERINGS", def.MessageRings);

  s.RestoreTimeScaleAtMsg = r.Bool(kMessages, "RESTORETIMESCALEATMSG", def.RestoreTimeScaleAtMsg);
  s.RestoreTimeScaleAtRings =
      r.Bool(kMessages, "RESTORETIMESCALEATRINGS", def.RestoreTimeScaleAtRings);
  s.ReapplyPutRequestPauseMin =
      r.Int(kMessages, "REAPPLYPUTREQUESTPAUSEMIN", def.ReapplyPutRequestPauseMin);
  s.ReapplySameRequestPauseMin =
      r.Int(kMessages, "REAPPLYSAMEREQUESTPAUSEMIN", def.ReapplySameRequestPauseMin);
  s.NotifiesFromControlled =
      r.Bool(kMessages, "NOTIFIESFROMCONTROLLED", def.NotifiesFromControlled);
  s.NotifiesFromPosts = r.Bool(kMessages, "NOTIFIESFROMPOSTS", def.NotifiesFromPosts);
  s.NotifiesOfUnplannedStops =
      r.Bool(kMessages, "NOTIFIESOFUNPLANNEDSTOPS", def.NotifiesOfUnplannedStops);

  settings = std::move(s);
  return problems;
}

TSettingsProblems ReadDistrictSettings(const std::filesystem::path& path, const TAreaData& area,
                                       TSettings& settings, TSettingsReadMode mode) {
  TSettingsProblems problems;
  const IniFile ini = LoadForReading(path, mode, problems);
  for (std::string& p : ReadDistrictSettings(ini, area, settings, mode))
    problems.push_back(std::move(p));
  return problems;
}

TSettingsProblems ReadDistrictSettings(const IniFile& ini, const TAreaData& area,
                                       TSettings& settings, TSettingsReadMode mode) {
  TSettingsProblems problems;
  ValueReader r(ini, mode, problems);

  TRandomFreightsData freights;
  std::int32_t total = 0;
  for (const TCreationPlanData& plan : area.CreationPlans) {
    if (plan.Cars != 0) continue;
    const bool odd = plan.Number % 2 != 0;
    const int from = odd ? plan.CreationPoint : plan.ArrivalPoint;
    const int to = odd ? plan.ArrivalPoint : plan.CreationPoint;
    const bool known = std::any_of(freights.begin(), freights.end(), [&](const auto& f) {
      return (f.From == from && f.To == to) || (f.From == to && f.To == from);
    });
    if (known) continue;
    // A negative count would make the daily number of trains negative.
    const int count = std::max(0, r.Int(kLevel, RandomFreightKey(from, to), 0));
    freights.push_back({from, to, count});
    // Saturating: a hand-edited file must not overflow the total.
    total = static_cast<std::int32_t>(std::min<std::int64_t>(
        std::int64_t{total} + count, std::numeric_limits<std::int32_t>::max()));
  }
  settings.RandomFreights = std::move(freights);
  settings.RandomFreightsTotal = total;
  return problems;
}

std::vector<std::pair<std::string, std::string>> SettingsAssignments(const TSettings& s) {
  std::vector<std::pair<std::string, std::string>> out;
  const auto put = [&out](std::string_view section, const std::string& key, std::int32_t value) {
    out.emplace_back(std::string(section) + "/" + key, std::to_string(value));
  };
  const auto flag = [](bool b) { return b ? 1 : 0; };
  const auto color = [](TColor c) { return static_cast<std::int32_t>(c); };

  put(kView, "SHOWALLBLOCKSECT", flag(s.ShowAllBlockSect));
  put(kView, "RESOLUTION", s.Resolution);
  put(kView, "COLORLAMPLPOFF", color(s.ColorLampLPOff));
  put(kView, "COLORLAMPLPLIT", color(s.ColorLampLPLit));
  put(kView, "COLORLAMPLPOFFTEXT", color(s.ColorLampLPOffText));
  put(kView, "COLORLAMPLPLITTEXT", color(s.ColorLampLPLitText));

  put(kGid, "GIDENABLED", flag(s.GidEnabled));
  put(kGid, "SCALEPERCENTS", s.ScalePercents);
  put(kGid, "SCALEKMONLY", flag(s.ScaleKmOnly));

  for (const TRandomFreightData& f : s.RandomFreights) {
    put(kLevel, RandomFreightKey(f.From, f.To), f.Count);
  }
  put(kLevel, "RANDOMFREIGHTSNUMBERDEVIATION", s.RandomFreightsNumberDeviation);
  put(kLevel, "CREATEDEPENDANTTRAINS", flag(s.CreateDependantTrains));
  put(kLevel, "PUNCTUALITYTOLERANCEMIN", s.PunctualityToleranceMin);

  put(kMessages, "RESTORETIMESCALEATMSG", flag(s.RestoreTimeScaleAtMsg));
  put(kMessages, "RESTORETIMESCALEATRINGS", flag(s.RestoreTimeScaleAtRings));
  put(kMessages, "REAPPLYPUTREQUESTPAUSEMIN", s.ReapplyPutRequestPauseMin);
  put(kMessages, "REAPPLYSAMEREQUESTPAUSEMIN", s.ReapplySameRequestPauseMin);
  put(kMessages, "NOTIFIESFROMCONTROLLED", flag(s.NotifiesFromControlled));
  put(kMessages, "NOTIFIESFROMPOSTS", flag(s.NotifiesFromPosts));
  put(kMessages, "NOTIFIESOFUNPLANNEDSTOPS", flag(s.NotifiesOfUnplannedStops));

  put(kReference, "TRAINREFWITHLOG", flag(s.TrainRefWithLog));

  put(kSound, "REQUESTRINGS", flag(s.RequestRings));
  put(kSound, "MESSAGERINGS", flag(s.MessageRings));
  return out;
}

std::string ApplySetting(TSettings& settings, const TAreaData& area, const std::string& name,
                         const std::string& value) {
  const auto slash = name.find('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == name.size())
    return "expected SECTION/KEY=VALUE: " + name + "=" + value;
  if (!ParseInt32(value)) return "not an integer: " + name + "=" + value;
  IniFile ini;
  bool known = false;
  for (const auto& [key, current] : SettingsAssignments(settings)) {
    const auto at = key.find('/');
    ini.SetString(key.substr(0, at), key.substr(at + 1), current);
    known = known || key == name;
  }
  if (!known) return "no such setting: " + name;
  ini.SetString(name.substr(0, slash), name.substr(slash + 1), value);
  TSettings changed = settings;
  ReadGeneralSettings(ini, changed, TSettingsReadMode::Strict);
  ReadDistrictSettings(ini, area, changed, TSettingsReadMode::Strict);
  settings = std::move(changed);
  return {};
}

void WriteSettings(const std::filesystem::path& path, const TSettings& s) {
  IniFile ini = IniFile::Load(path);
  // In the order of the record, section by section.
  for (const auto& [name, value] : SettingsAssignments(s)) {
    const auto slash = name.find('/');
    ini.SetString(name.substr(0, slash), name.substr(slash + 1), value);
  }
  ini.Save(path);
}

}  // namespace traklin
