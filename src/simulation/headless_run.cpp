// A run without a display: the district prepared as the console prepares it, stepped for a
// simulated span, everything the stations say written as an event log.
#include "simulation/headless_run.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <exception>
#include <ostream>
#include <regex>
#include <string_view>

#include "area/area_reader.h"
#include "area/area_report.h"
#include "area/date_time.h"
#include "area/district_catalogue.h"
#include "area/district_setup.h"
#include "dispatch/gridlock.h"
#include "settings/ini_file.h"
#include "simulation/event_lines.h"
#include "state/interlocking.h"

namespace traklin {

std::optional<std::pair<std::string, std::string>> ParseSettingAssignment(const std::string& text) {
  const auto eq = text.find('=');
  if (eq == std::string::npos) return std::nullopt;
  const std::string name = text.substr(0, eq);
  const auto slash = name.find('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == name.size()) return std::nullopt;
  return std::make_pair(name, text.substr(eq + 1));
}

void PrepareRun(Simulation& sim, const RunOptions& options, std::vector<std::string>* warnings) {
  std::error_code ec;
  if (!std::filesystem::is_directory(options.District, ec))
    throw RunSetupError("No district directory " + options.District.string());
  try {
    LoadAreaData(DistrictDataFile(options.District), sim.AreaData, sim.MaxSpeedLimit,
                 sim.ReadDataError);
  } catch (const std::exception& e) {
    throw RunSetupError(ToPlainLineBreaks(FormatReadDataError(sim.ReadDataError, e.what())));
  }

  IniFile ini;
  try {
    ini = IniFile::Load(options.SettingsFile);
  } catch (const IniError& e) {
    if (warnings) warnings->push_back(e.what());
  }
  for (const auto& [name, value] : options.Sets) {
    const auto slash = name.find('/');
    const std::string section = name.substr(0, slash), key = name.substr(slash + 1);
    if (!ParseInt32(value)) throw TSettingsError(section, key, value);
    ini.SetString(section, key, value);
  }
  for (const std::string& p : ReadGeneralSettings(ini, sim.Settings)) {
    if (warnings) warnings->push_back("Illegal setting value " + p);
  }

  try {
    ReadDistrictSettings(ini, sim.AreaData, sim.Settings);
    SetupOptions setup;
    setup.ShowAllBlockSect = sim.Settings.ShowAllBlockSect;
    setup.ViewIndex = sim.Settings.Resolution;
    setup.TextWidth = options.TextWidth;
    PrepareDistrict(sim.AreaData, setup);
    StateInit(sim);
  } catch (const std::exception& e) {
    throw RunSetupError(
        ToPlainLineBreaks(std::string("Error initializing data+\r\n\r\n") + e.what()));
  }
  if (options.Start) sim.State.ClockTime = *options.Start;
  sim.LastSaveTime = sim.State.ClockTime;
}

EventLog::EventLog(Simulation& sim, std::ostream* out, bool answer)
    : Answer(answer), sim_(sim), out_(out) {
  sim_.Console = this;
  sim_.OnTrainCreated = [this](int i, TrainSource source) {
    ++created_;
    alive_.emplace(sim_.State.Trains[i].NUMBER, sim_.State.Trains[i].CREATE_TIME);
    Emit("created", [&] { return CreatedEventLine(sim_, i, source); });
  };
  sim_.OnFaultEvent = [this](const FaultEvent& e) {
    Emit(e.Event, [&] { return FaultEventLine(sim_, e); });
  };
  sim_.OnTrainRemoving = [this](int i) {
    if (alive_.erase({sim_.State.Trains[i].NUMBER, sim_.State.Trains[i].CREATE_TIME}) == 0) return;
    ++removed_;
    Emit("removed", [&] { return RemovedEventLine(sim_, i); });
  };
}

EventLog::~EventLog() {
  if (sim_.Console == this) sim_.Console = nullptr;
  sim_.OnTrainCreated = nullptr;
  sim_.OnTrainRemoving = nullptr;
  sim_.OnFaultEvent = nullptr;
}

void EventLog::NotifyDispatcher(const std::string& text) {
  Emit("notify", [&] { return NotifyEventLine(sim_.State.ClockTime, text); });
}

void EventLog::InformDispatcher(const std::string& caption, const std::string& text, int ring) {
  Emit("inform", [&] { return InformEventLine(sim_.State.ClockTime, caption, text, ring); });
}

bool EventLog::AskDispatcher(const std::string& caption, const std::string& text, int ring) {
  Emit("ask",
       [&] { return AskEventLine(sim_.State.ClockTime, caption, text, ring, Answer, AnswerBy); });
  return Answer;
}

void EventLog::StationAnswered(const std::string& caption, const std::string& text, int ring,
                               bool answer) {
  Emit("ask", [&] {
    return AskEventLine(sim_.State.ClockTime, caption, text, ring, answer, AnswerSource::Auto);
  });
}

bool EventLog::SaveLastState(bool) {
  if (!Save) return false;
  bool ok = false;
  try {
    ok = Save();
  } catch (const std::exception&) {
    ok = false;
  }
  Emit("save", [&] { return SaveEventLine(sim_.State.ClockTime, ok); });
  return ok;
}

void EventLog::Error(const std::string& text) {
  Emit("error", [&] { return ErrorEventLine(sim_.State.ClockTime, text); });
}

void EventLog::ReportGridlock(const std::vector<int>& trains, const std::vector<int>& stations) {
  Emit("gridlock", [&] { return GridlockEventLine(sim_.State.ClockTime, trains, stations); });
}

RunSummary RunSimulation(Simulation& sim, EventLog& log, TDateTime span,
                         const std::function<void(double)>& progress, const StepHooks& hooks) {
  using Clock = std::chrono::steady_clock;
  const auto wallStart = Clock::now();
  RunSummary summary;
  summary.Span = span;
  // Whole steps: the span is cut to the step below it, so "1h" runs exactly 7200 steps.
  const long steps = static_cast<long>(std::floor(span / kStepLength + 1e-6));
  const long report = std::max(1L, steps / 200);
  GridlockDetector gridlocks;
  for (long n = 0; n < steps; ++n) {
    try {
      if (hooks.Before) hooks.Before();
      sim.SimulationStep(kStepLength);
      if (hooks.After) hooks.After();
      for (const Gridlock& g : gridlocks.Check(sim)) log.ReportGridlock(g.Trains, g.Stations);
    } catch (const CheckMismatch&) {
      throw;
    } catch (const std::exception& e) {
      log.Error(e.what());
    } catch (...) {
      log.Error("Unknown error");
    }
    ++summary.Steps;
    if (progress && (n + 1) % report == 0) progress(static_cast<double>(n + 1) / steps);
  }
  summary.WallSeconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
  summary.Created = log.Created();
  summary.Removed = log.Removed();
  for (std::size_t i = 0; i < sim.State.Trains.size(); ++i)
    if (sim.State.Trains[i].HEAD.SECT_IDX != 0) ++summary.InDistrict;
  summary.Events = log.Counts();
  return summary;
}

std::string FormatRunSummary(const RunSummary& s) {
  std::string out;
  const double hours = s.Span * 24.0;
  out += fmt::format("simulated: {:.2f} h\n", hours);
  out += fmt::format("steps: {}\n", s.Steps);
  out += fmt::format("wall seconds: {:.3f}\n", s.WallSeconds);
  out += fmt::format("steps per second: {:.0f}\n",
                     s.WallSeconds > 0 ? static_cast<double>(s.Steps) / s.WallSeconds : 0.0);
  out += fmt::format("trains created: {}\n", s.Created);
  out += fmt::format("trains removed: {}\n", s.Removed);
  out += fmt::format("trains in the district: {}\n", s.InDistrict);
  static constexpr std::array<std::string_view, 7> kEveryRun = {
      "notify", "inform", "ask", "created", "removed", "error", "save"};
  for (const std::string_view kind : kEveryRun) {
    const auto it = s.Events.find(std::string(kind));
    out += fmt::format("events {}: {}\n", kind, it == s.Events.end() ? 0 : it->second);
  }
  for (const auto& [kind, count] : s.Events)
    if (std::find(kEveryRun.begin(), kEveryRun.end(), kind) == kEveryRun.end())
      out += fmt::format("events {}: {}\n", kind, count);
  return out;
}

}  // namespace traklin
