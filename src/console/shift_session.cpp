// The console's shift: recorded into the district's shifts/ folder or replayed from one, its
// event log and its score as it goes.
#include "console/shift_session.h"

#include <system_error>

#include "dispatch/operations.h"
#include "simulation/event_lines.h"

namespace traklin {

namespace fs = std::filesystem;

ShiftSession::ShiftSession(Simulation& sim, ConsoleServices& window)
    : sim_(sim),
      window_(window),
      prevCreated_(sim.OnTrainCreated),
      prevRemoving_(sim.OnTrainRemoving) {
  sim_.OnTrainCreated = [this](int i, TrainSource source) {
    if (prevCreated_) prevCreated_(i, source);
    alive_.emplace(sim_.State.Trains[i].NUMBER, sim_.State.Trains[i].CREATE_TIME);
    Emit(CreatedEventLine(sim_, i, source));
  };
  sim_.OnTrainRemoving = [this](int i) {
    if (prevRemoving_) prevRemoving_(i);
    // A record that creation threw away again was never in the district.
    if (alive_.erase({sim_.State.Trains[i].NUMBER, sim_.State.Trains[i].CREATE_TIME}) == 0) return;
    Emit(RemovedEventLine(sim_, i));
  };
  // Made after the hooks above, as a replay's scorer is made after its log.
  scorer_.emplace(sim_);
}

ShiftSession::~ShiftSession() {
  try {
    End();
  } catch (const std::exception&) {
    // The recorder has said what it could; nothing is left to tell.
  }
  scorer_.reset();
  sim_.OnTrainCreated = prevCreated_;
  sim_.OnTrainRemoving = prevRemoving_;
  if (sim_.Console == this) sim_.Console = nullptr;
}

fs::path ShiftSession::BeginRecording(const fs::path& root, const std::string& district,
                                      std::uint64_t seed, std::time_t now) {
  End();
  const std::string name = ShiftFolderName(now);
  fs::path folder = root / name;
  std::error_code ec;
  // Two shifts begun within a second (a quick reload) keep apart.
  for (int k = 2; fs::exists(folder, ec); ++k) folder = root / (name + "-" + std::to_string(k));
  // As in a replay's fresh log: the trains of the start are not the shift's own.
  alive_.clear();
  gridlocks_ = GridlockDetector();
  try {
    recorder_.Begin(sim_, folder, district, seed);
  } catch (const ShiftError&) {
    sim_.Random.Seed(seed);
    StartScore();
    throw;
  }
  StartScore();
  return folder;
}

void ShiftSession::BeginReplay(std::unique_ptr<ShiftReplay> replay) {
  End();
  replay_ = std::move(replay);
  player_ = replay_->TakePlayer();
  player_->SetAnswer = [this](bool answer) { standingAnswer_ = answer; };
  player_->Save = [](const std::string&) { return std::string(); };
  player_->SaveLast = [this] { sim_.ManualSave(); };
  player_->AutoChanged = [this] {
    if (AutoChanged) AutoChanged();
  };
  standingAnswer_ = true;
  replayed_.str({});
  alive_.clear();
  gridlocks_ = GridlockDetector();
  StartScore();
}

void ShiftSession::StartScore() {
  scorer_->Reset();
  scorer_->Observe();
  // The recorder (when there is one) writes each operation; the scorer counts it too.
  auto write = std::move(sim_.OnOperation);
  sim_.OnOperation = [this, write](const std::string& line, const std::string& note) {
    if (write) write(line, note);
    scorer_->CountOperation(line, note);
  };
}

void ShiftSession::End() {
  player_.reset();
  replay_.reset();
  sim_.OnOperation = nullptr;
  recorder_.End();
}

fs::path ShiftSession::Folder() const {
  return recorder_.Recording() ? recorder_.Folder() : fs::path();
}

bool ShiftSession::ReplayOver() const {
  return replay_ && replay_->StepsLeft(sim_.State.ClockTime) <= 0;
}

std::optional<LogDifference> ShiftSession::ReplayDifference() const {
  if (!replay_) return std::nullopt;
  return FirstDifference(replay_->RecordedText(), replayed_.str());
}

void ShiftSession::BeforeStep() {
  if (player_) player_->PlayDue(sim_, sim_.State.ClockTime + kStepLength);
}

void ShiftSession::AfterStep() {
  scorer_->Observe();
  for (const Gridlock& g : gridlocks_.Check(sim_)) {
    Emit(GridlockEventLine(sim_.State.ClockTime, g.Trains, g.Stations));
    if (GridlockFound) GridlockFound(g);
  }
}

void ShiftSession::StepFailed(const std::string& text) {
  Emit(ErrorEventLine(sim_.State.ClockTime, text));
}

void ShiftSession::Emit(const std::string& line) {
  if (recorder_.Recording()) recorder_.Events() << line << '\n';
  if (replay_) replayed_ << line << '\n';
  scorer_->CountEventLine(line);
}

void ShiftSession::NotifyDispatcher(const std::string& text) {
  Emit(NotifyEventLine(sim_.State.ClockTime, text));
  if (!replay_) window_.NotifyDispatcher(text);
}

void ShiftSession::InformDispatcher(const std::string& caption, const std::string& text, int ring) {
  Emit(InformEventLine(sim_.State.ClockTime, caption, text, ring));
  if (!replay_) window_.InformDispatcher(caption, text, ring);
}

bool ShiftSession::AskDispatcher(const std::string& caption, const std::string& text, int ring) {
  AnswerSource by = AnswerSource::Dispatcher;
  bool answer = true;
  if (player_) {
    by = AnswerSource::Runner;
    answer = player_->TakeReply(&by).value_or(standingAnswer_);
  } else {
    if (ScenarioAnswers && ScenarioAnswers()) by = AnswerSource::Scenario;
    answer = window_.AskDispatcher(caption, text, ring);
  }
  Emit(AskEventLine(sim_.State.ClockTime, caption, text, ring, answer, by));
  NoteReply(sim_, answer, text, by);
  return answer;
}

bool ShiftSession::SaveLastState(bool reportFailure) {
  const bool ok = replay_ ? replay_->NextSaveOutcome() : window_.SaveLastState(reportFailure);
  Emit(SaveEventLine(sim_.State.ClockTime, ok));
  return ok;
}

void ShiftSession::StationAnswered(const std::string& caption, const std::string& text, int ring,
                                   bool answer) {
  Emit(AskEventLine(sim_.State.ClockTime, caption, text, ring, answer, AnswerSource::Auto));
  window_.StationAnswered(caption, text, ring, answer);
}

}  // namespace traklin
