// The main window's key table: the shortcuts of the whole program, taken by the key's place on
// the keyboard, and their routing from the other console windows.
#include <QKeyEvent>
#include <QPointer>
#include <QWheelEvent>
#include <optional>

#include "console/controller_window.h"
#include "console/main_window.h"
#include "console/physical_keys.h"
#include "trains/ui/picture_view.h"
#include "views/controller_desk.h"
#include "views/reports.h"

namespace traklin {

void TfmControlPanel::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(event);
  if (!event->isAccepted()) QMainWindow::keyPressEvent(event);
}

void TfmControlPanel::FormKeyDown(QKeyEvent* event) {
  const int key = PhysicalKey(*event);
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const bool alt = modifiers & Qt::AltModifier;
  const bool shift = modifiers & Qt::ShiftModifier;
  const bool ctrl = modifiers & Qt::ControlModifier;
  bool handled = false;
  if (alt && key == Qt::Key_F1) {
    ShowReport(static_cast<int>(ReportKind::Trains));
    handled = true;
  }
  if (alt && key == Qt::Key_F2) {
    ShowReport(static_cast<int>(ReportKind::Approaches));
    handled = true;
  }
  if (alt && key == Qt::Key_F3) {
    ShowReport(static_cast<int>(ReportKind::Timetable));
    handled = true;
  }
  if (key == Qt::Key_D && ctrl) {
    if (inspectionMode_) {
      inspectionMode_ = false;
      setWindowTitle(savedCaption_);
    } else {
      savedCaption_ = windowTitle();
      setWindowTitle(savedCaption_ + QStringLiteral(" - debug"));
      inspectionMode_ = true;
    }
    handled = true;
  }
  // The desk keys, Alt or Shift but not both. Qt's codes of the Latin letters are their
  // upper-case characters.
  if (alt != shift && key >= Qt::Key_A && key <= Qt::Key_Z) {
    if (const std::optional<DeskKeyCell> cell = DeskKeyGrid(static_cast<char>(key), alt)) {
      fmController->KeyRoutePress(alt, cell->Row, cell->Column);
      handled = true;
    }
  }
  if (key == Qt::Key_C && ctrl) {
    ConfigurationClick();
    handled = true;
  }
  if (key == Qt::Key_G) {
    GIDClick();
    handled = true;
  }
  if (key == Qt::Key_N) {
    NGDPClick();
    handled = true;
  }
  if (key == Qt::Key_T || key == Qt::Key_Backslash) {
    ToggleTrains();
    handled = true;
  }
  if (key == Qt::Key_S && ctrl) {
    SaveClick();
    handled = true;
  }
  if (key == Qt::Key_L) {
    LoadLastClick();
    handled = true;
  }
  if (key == Qt::Key_Minus) {
    SetTimeScale(sim_.TimeScaleLevel <= 1 ? 0 : 1);
    handled = true;
  }
  if (key == Qt::Key_Equal || key == Qt::Key_Plus) {
    TimeDoubleClick();
    handled = true;
  }
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    SetTimeScale(key - Qt::Key_0);
    handled = true;
  }
  if (key == Qt::Key_Menu && fmController->SelectedStation() >= 0) {
    const int lp = fmController->SelectedStation();
    ShowStationMenu(lp, NameLampOnScreen(lp));
    handled = true;
  }
  if (fmController->isVisible()) {
    if (key == Qt::Key_Comma) {
      fmController->ToggleCommit(kEven);
      handled = true;
    }
    if (key == Qt::Key_Period) {
      fmController->ToggleCommit(kOdd);
      handled = true;
    }
    if (key == Qt::Key_B) {
      fmController->ReleaseMode();
      handled = true;
    }
    if (key == Qt::Key_Delete) {
      fmController->ResetRouteInput();
      handled = true;
    }
  }
  event->setAccepted(handled);
}

void TfmControlPanel::RouteKeysOf(QWidget* window) {
  keyWindows_.emplace_back(window);
}

bool TfmControlPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel && watched == sbPult->viewport()) {
    ScrollPanel(static_cast<QWheelEvent*>(event));
    return true;
  }
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  // Only the console windows: a modal dialog (the set-time dialog, a message box) keeps its
  // own keys.
  const QWidget* window = static_cast<QWidget*>(watched)->window();
  bool routed = false;
  for (const QPointer<QWidget>& w : keyWindows_) routed = routed || w == window;
  if (!routed) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  FormKeyDown(key);
  if (key->isAccepted()) return true;
  // Not a shortcut: the widget with the focus handles the key as usual.
  key->accept();
  return false;
}

}  // namespace traklin
