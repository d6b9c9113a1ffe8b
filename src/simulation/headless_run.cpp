// A run without a display: the district prepared as the console prepares it, stepped for a
// simulated span, everything the stations say written as an event log.
#include "simulation/headless_run.h"

#include <fmt/format.h>
#include <chrono>
#include <cmath>
#include <exception>
#include <nlohmann/json.hpp>
#include <ostream>
#include <regex>

#include "area/area_reader.h"
#include "area/area_report.h"
#include "area/date_time.h"
#include "area/district_catalogue.h"
#include "area/district_setup.h"
#include "area/object_names.h"
#include "settings/ini_file.h"
#include "state/faults.h"
#include "state/interlocking.h"
#include "trains/train_records.h"

namespace traklin {

namespace {

using Json = nlohmann::ordered_json;

const char* SourceName(TrainSource source) {
  switch (source) {
    case TrainSource::Timetable:
      return "timetable";
    case TrainSource::Plan:
      return "plan";
    case TrainSource::Random:
      return "random";
    case TrainSource::Dependant:
      return "dependant";
  }
  return "timetable";
}

Json EventObject(const Simulation& sim, const std::string& event) {
  Json j;
  j["time"] = FormatEventTime(sim.State.ClockTime);
  j["event"] = event;
  return j;
}

std::string Text(const Json& j) {
  // Texts that are not valid UTF-8 are replaced rather than aborting the run.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

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
    Json j = EventObject(sim_, "created");
    j["number"] = sim_.State.Trains[i].NUMBER;
    j["name"] = TrainName(sim_, i, 1);
    j["lp"] = sim_.State.Trains[i].CREATION_LP_CODE;
    j["source"] = SourceName(source);
    Emit("created", Text(j));
  };
  sim_.OnFaultEvent = [this](const FaultEvent& e) {
    Json j = EventObject(sim_, e.Event);
    if (e.Event == "permit") {
      j["number"] = e.Number;
      j["signal"] = e.Signal >= 0 ? SignalDesignation(sim_.AreaData, e.Signal) : "-";
      j["result"] = e.Result;
    } else {
      j["kind"] = FaultKindWord(static_cast<FaultKind>(e.Fault.KIND));
      j["object"] = FaultObjectText(sim_.AreaData, e.Fault);
      if (e.Fault.KIND == static_cast<std::uint8_t>(FaultKind::Limit)) j["kmh"] = e.Fault.KMH;
      j["until"] = e.Fault.UNTIL != 0 ? FormatEventTime(e.Fault.UNTIL) : "-";
    }
    Emit(e.Event, Text(j));
  };
  sim_.OnTrainRemoving = [this](int i) {
    if (alive_.erase({sim_.State.Trains[i].NUMBER, sim_.State.Trains[i].CREATE_TIME}) == 0) return;
    ++removed_;
    Json j = EventObject(sim_, "removed");
    j["number"] = sim_.State.Trains[i].NUMBER;
    j["name"] = TrainName(sim_, i, 1);
    Emit("removed", Text(j));
  };
}

EventLog::~EventLog() {
  if (sim_.Console == this) sim_.Console = nullptr;
  sim_.OnTrainCreated = nullptr;
  sim_.OnTrainRemoving = nullptr;
  sim_.OnFaultEvent = nullptr;
}

void EventLog::Emit(const std::string& event, const std::string& line) {
  ++counts_[event];
  if (out_) *out_ << line << '\n';
}

void EventLog::NotifyDispatcher(const std::string& text) {
  Json j = EventObject(sim_, "notify");
  j["text"] = text;
  Emit("notify", Text(j));
}

void EventLog::InformDispatcher(const std::string& caption, const std::string& text, int ring) {
  Json j = EventObject(sim_, "inform");
  j["caption"] = caption;
  j["text"] = text;
  j["ring"] = ring;
  Emit("inform", Text(j));
}

bool EventLog::AskDispatcher(const std::string& caption, const std::string& text, int ring) {
  Json j = EventObject(sim_, "ask");
  j["caption"] = caption;
  j["text"] = text;
  j["ring"] = ring;
  j["answer"] = Answer;
  Emit("ask", Text(j));
  return Answer;
}

bool EventLog::SaveLastState(bool) {
  if (!Save) return false;
  bool ok = false;
  try {
    ok = Save();
  } catch (const std::exception&) {
    ok = false;
  }
  Json j = EventObject(sim_, "save");
  j["ok"] = ok;
  Emit("save", Text(j));
  return ok;
}

void EventLog::Error(const std::string& text) {
  Json j = EventObject(sim_, "error");
  j["text"] = text;
  Emit("error", Text(j));
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
  for (long n = 0; n < steps; ++n) {
    try {
      if (hooks.Before) hooks.Before();
      sim.SimulationStep(kStepLength);
      if (hooks.After) hooks.After();
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
  for (const char* kind : {"notify", "inform", "ask", "created", "removed", "error", "save"}) {
    const auto it = s.Events.find(kind);
    out += fmt::format("events {}: {}\n", kind, it == s.Events.end() ? 0 : it->second);
  }
  // Only a run with faults has these.
  for (const char* kind : {"fault", "cleared", "permit"}) {
    const auto it = s.Events.find(kind);
    if (it != s.Events.end()) out += fmt::format("events {}: {}\n", kind, it->second);
  }
  return out;
}

}  // namespace traklin
