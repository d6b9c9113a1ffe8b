// The main window's console services: message boxes, rings, the time-scale rules around reports
// and questions, and saving and loading last.sav.
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include "area/area_report.h"
#include "console/graph_windows.h"
#include "console/main_window.h"
#include "console/op_task_dialog.h"
#include "console/ring_player.h"

namespace traklin {
namespace {

QString Text(const std::string& utf8) {
  return QString::fromStdString(ToPlainLineBreaks(utf8));
}

}  // namespace

void TfmControlPanel::ShowMessage(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), Text(text), QMessageBox::Ok,
                  isVisible() ? this : nullptr);
  box.exec();
}

void TfmControlPanel::PlayRing(int n) {
  mpSound->Play(n);
}

void TfmControlPanel::NotifyDispatcher(const std::string& text) {
  // A ring alone calls the dispatcher to a train held at a station; while the automatic
  // dispatcher works every station, the call is its own.
  bool automated = text.empty() && !sim_.AreaData.Puts.empty();
  for (int lp = 0; automated && lp < static_cast<int>(sim_.AreaData.Puts.size()); ++lp)
    automated = Automatic(lp);
  if (automated) return;
  const int remembered = sim_.TimeScaleLevel;
  if (!text.empty() || !sim_.Settings.RestoreTimeScaleAtRings) DropToNormal();
  if (sim_.Settings.MessageRings || text.empty()) PlayRing(-1);
  if (!text.empty()) {
    JournalReport("", text);
    ShowMessage(kApplicationTitle, text);
    if (sim_.Settings.RestoreTimeScaleAtMsg) SetTimeScale(remembered);
  }
}

void TfmControlPanel::InformDispatcher(const std::string& caption, const std::string& text,
                                       int ring) {
  // An automated station reports to the automatic dispatcher: the journal keeps it.
  if (FromAutomatedStation(caption)) {
    if (!text.empty()) JournalReport(caption, text);
    return;
  }
  const int remembered = sim_.TimeScaleLevel;
  if (!text.empty() || !sim_.Settings.RestoreTimeScaleAtRings) DropToNormal();
  if (sim_.Settings.MessageRings || text.empty()) PlayRing(ring);
  if (!text.empty()) JournalReport(caption, text);
  ShowMessage(caption, text);
  if (!text.empty() && sim_.Settings.RestoreTimeScaleAtMsg) SetTimeScale(remembered);
}

bool TfmControlPanel::AskDispatcher(const std::string& caption, const std::string& text, int ring) {
  // A scenario that answers for the dispatcher neither rings nor slows the clock.
  if (scriptedAnswer_) {
    JournalQuestion(caption, text, *scriptedAnswer_, AnswerSource::Scenario);
    return *scriptedAnswer_;
  }
  // The automatic dispatcher refuses what is unsafe at its stations before they ask; what it
  // lets through, it agrees to.
  if (FromAutomatedStation(caption)) {
    JournalQuestion(caption, text, true, AnswerSource::Auto);
    return true;
  }
  const int remembered = sim_.TimeScaleLevel;
  if (!text.empty() || !sim_.Settings.RestoreTimeScaleAtRings) DropToNormal();
  if (sim_.Settings.RequestRings || text.empty()) PlayRing(ring);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), Text(text),
                  QMessageBox::Ok | QMessageBox::Cancel, isVisible() ? this : nullptr);
  const bool yes = box.exec() == QMessageBox::Ok;
  JournalQuestion(caption, text, yes, AnswerSource::Dispatcher);
  if (!text.empty() && sim_.Settings.RestoreTimeScaleAtMsg) SetTimeScale(remembered);
  return yes;
}

void TfmControlPanel::DropToNormal() {
  // A report or a question while paused must not start the clock.
  if (sim_.TimeScaleLevel != 0) SetTimeScale(1);
}

bool TfmControlPanel::Pause() {
  // Lets a running tick finish before the state is touched. Called from inside the tick (the
  // autosave of a step, or a command between two steps) there is no other tick to wait for:
  // this one goes on only after the caller returns, and 300 ms of waiting at every autosave
  // would cost the fast levels an eighth of their rate.
  if (!tickAttached_) return true;
  for (int i = 0; i < 30; ++i) {
    QThread::msleep(10);
    QCoreApplication::processEvents();
  }
  return true;
}

bool TfmControlPanel::SaveLastState(bool reportFailure) {
  // A key pressed while the pause lets events run must not start a second save or a load.
  if (busy_) return false;
  busy_ = true;
  Timer->stop();
  Pause();
  bool saved = false;
  try {
    saved = SaveState && SaveState();
  } catch (...) {
    saved = false;
  }
  if (!saved && reportFailure) ShowMessage(kApplicationTitle, "Сохранение не удалось.");
  busy_ = false;
  // The level may have changed during the pause (the dispatcher paused): it decides the timer.
  SetTimeScale(sim_.TimeScaleLevel);
  return saved;
}

void TfmControlPanel::SaveClick() {
  if (!started_ || busy_ || Replaying()) return;
  sim_.ManualSave();
}

void TfmControlPanel::LoadLastClick() {
  if (!started_ || !LoadState || busy_ || Replaying()) return;
  busy_ = true;
  SetTimeScale(1);
  Timer->stop();
  Pause();
  SaveOutcome loaded;
  try {
    loaded = LoadState();
  } catch (const std::exception& e) {
    loaded.Reason = e.what();
  }
  busy_ = false;
  if (loaded.Ok) {
    // A reload ends the shift and begins the next.
    BeginShift();
    sim_.LastSaveTime = sim_.State.ClockTime;
    // The executed graph of the abandoned timeline goes; the restored log is drawn anew.
    fmGID->Reset();
    fmOpTask->RefreshTasks();
    punctuality_->Reset();
    JournalRestart();
    if (sim_.OnTrainListChanged) sim_.OnTrainListChanged();
    AutoLPsChanged();
    DrawClock();
  } else {
    // The state is as it was: say why and go on.
    ShowMessage(kApplicationTitle, "Загрузка не удалась.\r\n\r\n" + loaded.Describe());
  }
  SetTimeScale(1);
}
}  // namespace traklin
