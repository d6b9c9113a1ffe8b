// The operational task dialog: tasks to a station's duty officer for one throat.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "dispatch/dispatch_data.h"
#include "trains/op_task.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace traklin {

class TfmOpTask : public QDialog {
  Q_OBJECT

 public:
  explicit TfmOpTask(DispatchData& sim, QWidget* parent = nullptr);

  /// Shows the dialog for LP lp: its throats, the first deed it allows, its tracks.
  void Open(int lp);
  /// Rebuilds the list of the station's current tasks (also when the tasks change).
  void RefreshTasks();

  void rbSelectDeedClick();
  /// Gives the chosen task through the dispatcher's task operation (the station tells a
  /// refusal); hides after an order.
  void btDoClick();
  /// Cancels every current task of the station (the operation of the station's tasks); the
  /// dialog stays.
  void btCancelClick();
  void btCloseClick();

  /// The dialog's key presses go to the main window.
  std::function<void(QKeyEvent* event)> ForwardKey;

  int Station() const { return slots_.Lp; }
  const TaskThroatSlots& Slots() const { return slots_; }

  std::array<QRadioButton*, 6> rbDeeds;    ///< in the order of kTaskDeeds
  std::array<QRadioButton*, 26> rbTracks;  ///< slot k: rbTrack<k>, then rbTrack1<k - 13>
  std::array<QRadioButton*, 4> rbInlets;
  QPushButton* btDo;
  QPushButton* btCancel;
  QPushButton* btClose;
  QLabel* lbTask;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  DispatchData& sim_;
  TaskThroatSlots slots_;
  std::array<int, 26> slotTracks_{};  ///< track index of each slot, -1 hidden
};

}  // namespace traklin
