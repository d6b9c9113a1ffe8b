// Recording a shift: its folder (start.sav, shift.txt, events.jsonl) and the console of a
// headless run that records or replays one.
#include "simulation/shift_recorder.h"

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <utility>
#include <vector>

#include "dispatch/operations.h"
#include "simulation/save_state.h"

namespace traklin {

namespace fs = std::filesystem;

std::string ShiftFolderName(std::time_t realStart) {
  std::tm local{};
  localtime_r(&realStart, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
  return text;
}

std::uint64_t NewShiftSeed() {
  return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

ShiftRecorder::~ShiftRecorder() {
  try {
    End();
  } catch (const std::exception&) {
    // Nothing is left to tell at this point.
  }
}

void ShiftRecorder::Begin(Simulation& sim, const fs::path& folder, const std::string& district,
                          std::uint64_t seed) {
  if (sim_) End();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw ShiftError("cannot create " + folder.string() + ": " + ec.message());
  const fs::path start = folder / kShiftStartFile;
  const SaveOutcome saved = SaveStateToFile(sim, start);
  if (!saved.Ok) throw ShiftError(start.string() + ": not saved: " + saved.Reason);
  // What is not saved (or not exactly) must not make the shift differ from its replay.
  const SaveOutcome loaded = LoadStateFromFile(sim, start);
  if (!loaded.Ok) throw ShiftError(start.string() + ": not loaded back: " + loaded.Describe());
  sim.LastSaveTime = sim.State.ClockTime;
  sim.Random.Seed(seed);
  sim.AutoMemo = AutoDispatchMemo();

  text_.open(folder / kShiftTextFile, std::ios::binary | std::ios::trunc);
  if (!text_) throw ShiftError("cannot write " + (folder / kShiftTextFile).string());
  events_.open(folder / kShiftEventsFile, std::ios::binary | std::ios::trunc);
  if (!events_) {
    text_.close();
    throw ShiftError("cannot write " + (folder / kShiftEventsFile).string());
  }
  text_ << FormatShiftHeader(district, seed, SettingsAssignments(sim.Settings),
                             sim.State.ClockTime);
  lines_ = ShiftLineWriter();
  sim_ = &sim;
  folder_ = folder;
  sim.OnOperation = [this](const std::string& line, const std::string& note) { Write(line, note); };

  // The holds still running go on as lines of the shift, given again as the replay gives them.
  const TDateTime due = DueAfter(sim.State.ClockTime);
  std::vector<std::pair<int, long long>> holds;
  for (const AutoHold& h : sim.AutoHolds)
    if (sim.State.ClockTime < h.Until)
      holds.emplace_back(h.Number, std::llround((h.Until - due) * 864000.0));
  sim.AutoHolds.clear();
  for (const auto& [number, tenths] : holds) {
    if (tenths <= 0) continue;
    const std::string span = tenths % 10 == 0 ? fmt::format("{}s", tenths / 10)
                                              : fmt::format("{}.{}s", tenths / 10, tenths % 10);
    OperateHold(sim, number, span, due);
  }
  text_.flush();
}

void ShiftRecorder::Write(const std::string& line, const std::string& note) {
  text_ << lines_.Line(sim_->State.ClockTime, line, note) << '\n';
  // Operations are few: each reaches the disk at once, so a shift cut short keeps them.
  text_.flush();
}

void ShiftRecorder::End() {
  if (!sim_) return;
  sim_->OnOperation = nullptr;
  text_ << "end " << FormatStamp(TenthsOf(sim_->State.ClockTime), true) << '\n';
  text_.flush();
  events_.flush();
  const bool ok = text_.good() && events_.good();
  text_.close();
  events_.close();
  sim_ = nullptr;
  if (!ok) throw ShiftError("writing the shift into " + folder_.string() + " failed");
}

ShiftConsole::ShiftConsole(Simulation& sim, EventLog& log) : sim_(sim), log_(log) {
  sim_.Console = this;
}

ShiftConsole::~ShiftConsole() {
  if (sim_.Console == this) sim_.Console = &log_;
}

void ShiftConsole::NotifyDispatcher(const std::string& text) {
  log_.NotifyDispatcher(text);
}

void ShiftConsole::InformDispatcher(const std::string& caption, const std::string& text, int ring) {
  log_.InformDispatcher(caption, text, ring);
}

bool ShiftConsole::AskDispatcher(const std::string& caption, const std::string& text, int ring) {
  const std::optional<bool> reply = Player ? Player->TakeReply() : std::nullopt;
  const bool standing = log_.Answer;
  if (reply) log_.Answer = *reply;
  const bool answer = log_.AskDispatcher(caption, text, ring);
  log_.Answer = standing;
  NoteReply(sim_, answer, text);
  return answer;
}

bool ShiftConsole::SaveLastState(bool reportFailure) {
  return log_.SaveLastState(reportFailure);
}

}  // namespace traklin
