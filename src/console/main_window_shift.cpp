// The main window's shift: recorded from the start and after each reload, replayed from a
// shift's folder ("Взять управление" goes on from the replay), and its score ("Итоги смены").
#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <ctime>
#include <iostream>

#include "area/district_catalogue.h"
#include "console/console_fonts.h"
#include "console/controller_window.h"
#include "console/fault_dialogs.h"
#include "console/graph_windows.h"
#include "console/main_window.h"
#include "console/op_task_dialog.h"
#include "console/score_window.h"
#include "console/shift_session.h"

namespace traklin {

namespace fs = std::filesystem;

void TfmControlPanel::SetUpShift() {
  shift_ = std::make_unique<ShiftSession>(sim_, *this);
  shift_->ScenarioAnswers = [this] { return scriptedAnswer_.has_value(); };
  shift_->AutoChanged = [this] { AutoLPsChanged(); };
  shift_->GridlockFound = [this](const Gridlock& g) { ReportGridlock(g); };
  fmShiftScore = new TfmShiftScore(this);
  fmShiftScore->hide();
  fmShiftScore->Build = [this] {
    const fs::path folder = shift_->Folder();
    const std::string title = !folder.empty()       ? folder.filename().string()
                              : shift_->Replaying() ? ReplayFolder.filename().string()
                                                    : std::string("смена");
    return FormatShiftScoreTable({{title, shift_->Score()}});
  };
  msgReplay = new QMessageBox(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle),
                              QString(), QMessageBox::Ok, this);
  msgReplay->setObjectName(QStringLiteral("msgReplay"));
  msgReplay->setWindowModality(Qt::NonModal);
}

std::string TfmControlPanel::ShiftDistrict() const {
  std::error_code ec;
  if (paths_.DistrictRoot == fs::path(kDistrictRoot) &&
      districtDir_.parent_path().lexically_normal() == fs::path(kDistrictRoot).lexically_normal())
    if (const auto number = ParseDistrictArgument(districtDir_.filename().string()))
      return std::to_string(*number);
  const fs::path absolute = fs::absolute(districtDir_, ec);
  return (ec ? districtDir_ : absolute).lexically_normal().string();
}

void TfmControlPanel::BeginShift() {
  const std::uint64_t seed = Seed ? *Seed + static_cast<std::uint64_t>(shifts_) : NewShiftSeed();
  ++shifts_;
  const fs::path root = ShiftsRoot.empty() ? districtDir_ / "shifts" : ShiftsRoot;
  try {
    shift_->End();
  } catch (const ShiftError& e) {
    std::cerr << "traklin: " << e.what() << "\n";
  }
  try {
    shift_->BeginRecording(root, ShiftDistrict(), seed, std::time(nullptr));
  } catch (const ShiftError& e) {
    std::cerr << "traklin: the shift is not recorded: " << e.what() << "\n";
  }
}

void TfmControlPanel::StartReplay() {
  const QFontMetrics tahoma(PanelNameFont());
  std::unique_ptr<ShiftReplay> replay;
  try {
    // Measured as the console measures, so that the panel comes out as it was recorded.
    replay = std::make_unique<ShiftReplay>(sim_, ReplayFolder, [tahoma](const std::string& text) {
      return tahoma.horizontalAdvance(QString::fromStdString(text));
    });
  } catch (const ShiftError& e) {
    FailStart(std::string("Смена не загружена:\r\n") + e.what());
    return;
  }
  districtDir_ = replay->District();
  if (!SaveState) SaveState = [this] { return traklin::SaveLastState(sim_, districtDir_).Ok; };
  if (!LoadState) LoadState = [this] { return LoadLastState(sim_, districtDir_); };
  inspectionMode_ = true;
  savedCaption_ = QStringLiteral("Траклин");
  setWindowTitle(savedCaption_);
  SetUpWindows();
  LoadPanelPicture();
  SetTimeScale(1);
  StartClock();
  shift_->BeginReplay(std::move(replay));
  ReplayModeChanged();
}

bool TfmControlPanel::Replaying() const {
  return shift_ && shift_->Replaying();
}

void TfmControlPanel::ReplayModeChanged() {
  const bool replaying = shift_->Replaying();
  for (QAction* item :
       {miSave, miAutoDistrict, miScenario, miFaults, miPermits, miAutoStation, miConfiguration})
    item->setEnabled(!replaying);
  fmFaults->setEnabled(!replaying);
  fmPermits->setEnabled(!replaying);
  miLoadLast->setEnabled(!replaying && static_cast<bool>(LoadState));
  miTakeControl->setVisible(replaying);
  fmController->setEnabled(!replaying);
  fmOpTask->setEnabled(!replaying);
  const QString replayed = QStringLiteral(" - повтор смены ");
  if (replaying)
    setWindowTitle(savedCaption_ + replayed + QString::fromStdString(ReplayFolder.string()));
  else
    setWindowTitle(savedCaption_);
}

void TfmControlPanel::CheckReplayEnd() {
  if (!shift_->ReplayOver() || sim_.TimeScaleLevel == 0) return;
  SetTimeScale(0);
  const std::optional<LogDifference> d = shift_->ReplayDifference();
  QString text = QStringLiteral("Повтор смены окончен.");
  if (d)
    text += QStringLiteral("\nЖурнал повтора расходится с записанным со строки %1.").arg(d->Line);
  else
    text += QStringLiteral("\nЖурнал повтора совпадает с записанным.");
  msgReplay->setText(text);
  msgReplay->show();
}

void TfmControlPanel::TakeControl() {
  if (!shift_->Replaying()) return;
  shift_->End();
  ReplayModeChanged();
  BeginShift();
  AfterStateLoaded();
}

void TfmControlPanel::AfterStateLoaded() {
  sim_.LastSaveTime = sim_.State.ClockTime;
  fmGID->Reset();
  fmOpTask->RefreshTasks();
  punctuality_->Reset();
  if (sim_.OnTrainListChanged) sim_.OnTrainListChanged();
  AutoLPsChanged();
  DrawClock();
}

void TfmControlPanel::ShowShiftScore() {
  fmShiftScore->ShowScore();
}

}  // namespace traklin
