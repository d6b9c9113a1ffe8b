// The main window's instructor tools: automatic control of stations and the station menu,
// scenario loading and playing, the punctuality report, the faults and the permissions.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

#include "area/panel_geometry.h"
#include "console/fault_dialogs.h"
#include "console/main_window.h"
#include "console/panel_picture.h"
#include "console/reference_window.h"
#include "dispatch/operations.h"
#include "trains/ui/picture_view.h"
#include "views/reports.h"

namespace traklin {

QPoint TfmControlPanel::NameLampOnScreen(int lp) const {
  const int lamp = lp + 1;
  if (!panel_ || lamp >= static_cast<int>(sim_.AreaData.GraphLamps.size()))
    return sbPult->viewport()->mapToGlobal(QPoint(0, 0));
  const TGraphLampData& l = sim_.AreaData.GraphLamps[lamp];
  const LampEnds ends = LampEndPoints(l, LampTranslation(sim_.AreaData, panel_->View(), l));
  const QPoint middle((ends.P1.X + ends.P2.X) / 2, (ends.P1.Y + ends.P2.Y) / 2);
  return sbPult->viewport()->mapToGlobal(middle - sbPult->Offset());
}

void TfmControlPanel::ShowStationMenu(int lp, QPoint globalAt) {
  if (lp < 0 || lp >= static_cast<int>(sim_.AreaData.Puts.size())) return;
  stationMenuLP_ = lp;
  miAutoStation->setChecked(Automatic(lp));
  // Not exec(): the clock goes on while the menu is open.
  pmStation->popup(globalAt);
}

bool TfmControlPanel::Automatic(int lp) const {
  const std::vector<bool>& automated = sim_.State.AutoLPs;
  return lp >= 0 && lp < static_cast<int>(automated.size()) && automated[lp];
}

void TfmControlPanel::SetAutomatic(int lp, bool on) {
  const int count = static_cast<int>(sim_.AreaData.Puts.size());
  if (lp >= count || lp < -1) return;
  OperateAuto(sim_, lp, on);
  AutoLPsChanged();
}

void TfmControlPanel::AutoLPsChanged() {
  const int count = static_cast<int>(sim_.AreaData.Puts.size());
  bool all = count > 0;
  for (int lp = 0; lp < count && all; ++lp) all = Automatic(lp);
  miAutoDistrict->setChecked(all);
  if (stationMenuLP_ >= 0) miAutoStation->setChecked(Automatic(stationMenuLP_));
  RefreshLamps();
}

bool TfmControlPanel::LoadScenario(const std::filesystem::path& file) {
  std::vector<ScenarioStep> steps;
  try {
    steps = ReadScenarioFile(file, sim_.AreaData);
  } catch (const std::exception& e) {
    ShowMessage(kApplicationTitle, std::string("Сценарий не загружен:\r\n") + e.what());
    return false;
  }
  // The answers of the scenario it replaces end with it.
  scriptedAnswer_.reset();
  scenario_ = std::make_unique<ScenarioPlayer>(std::move(steps), sim_.State.ClockTime);
  scenario_->SetAnswer = [this](bool answer) { scriptedAnswer_ = answer; };
  scenario_->AnswerEnded = [this] { scriptedAnswer_.reset(); };
  scenario_->SetScale = [this](int level) { SetTimeScale(level); };
  scenario_->Save = [this](const std::string& saveFile) { return SaveForScenario(sim_, saveFile); };
  scenario_->AutoChanged = [this] { AutoLPsChanged(); };
  scenario_->Refused = [this](int line, const std::string& reason) {
    ScenarioRefused(line, reason);
  };
  return true;
}

void TfmControlPanel::ScenarioClick() {
  if (!started_) return;
  const int level = sim_.TimeScaleLevel;
  SetTimeScale(0);
  const QString file = QFileDialog::getOpenFileName(
      this, QStringLiteral("Сценарий"), QString::fromStdString(districtDir_.string()),
      QStringLiteral("Сценарии (*.txt);;Все файлы (*)"));
  if (!file.isEmpty()) LoadScenario(std::filesystem::path(file.toStdString()));
  SetTimeScale(level);
}

void TfmControlPanel::ScenarioRefused(int line, const std::string& reason) {
  const QString note =
      QStringLiteral("Сценарий, строка %1: %2").arg(line).arg(QString::fromStdString(reason));
  // Notes that come while the box is open are added to it.
  msgScenario->setText(msgScenario->isVisible() ? msgScenario->text() + "\n" + note : note);
  msgScenario->show();
}

void TfmControlPanel::PlayScenario() {
  if (scenario_) scenario_->PlayDue(sim_, sim_.State.ClockTime + kStepLength);
}

void TfmControlPanel::ShowPunctualityReport() {
  const PunctualityReport report = BuildPunctualityReport(sim_.AreaData, punctuality_->Runs(),
                                                          sim_.Settings.PunctualityToleranceMin);
  fmReference->ShowText(FormatPunctualityTable(report));
}

void TfmControlPanel::ShowFaults() {
  if (!started_ || Replaying()) return;
  fmFaults->Refresh();
  fmFaults->show();
  fmFaults->raise();
}

void TfmControlPanel::ShowPermits() {
  if (!started_ || Replaying()) return;
  fmPermits->Refresh();
  fmPermits->show();
  fmPermits->raise();
}

}  // namespace traklin
