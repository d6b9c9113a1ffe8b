// The instructor's faults dialog ("Неисправности...") and the dispatcher's permissions to pass a
// closed signal ("Разрешение на проследование...").
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "dispatch/dispatch_data.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace traklin {

/// One object a fault of some kind may be set on, as the faults dialog lists it.
struct FaultChoice {
  TFaultData Object;    ///< KIND, OBJECT and LP filled in
  std::string Caption;  ///< "Сосновка: стрелка № 9", "Перегон Заречье – Берёзовка: 1:2"
};
/// The objects of the district a fault of `kind` may be set on, station by station (the
/// trains: those in the district now, in train order).
std::vector<FaultChoice> FaultChoices(const SimulationData& sim, FaultKind kind);

/// The instructor's faults: the kind, the object, the span (km/h for a restriction) and
/// "Установить"; below, the faults in force with "Устранить". Not modal: faults come and go
/// while the clock runs. Every change goes through the fault operations, so a shift records it.
class TfmFaults : public QDialog {
  Q_OBJECT

 public:
  TfmFaults(DispatchData& sim, QWidget* parent = nullptr);

  /// The train list (for a breakdown) and the faults in force follow the state; the selections
  /// stay where they were.
  void Refresh();
  /// Sets the chosen fault for the span written; a refusal is shown under the buttons.
  void SetClicked();
  /// Ends the selected fault in force.
  void ClearClicked();

  QComboBox* cbKind;
  QComboBox* cbObject;
  QLineEdit* edSpan;  ///< as scenario spans ("20m", "1h"), "-" until cleared
  QSpinBox* seKmh;    ///< a restriction's speed
  QPushButton* btSet;
  QListWidget* lbActive;
  QPushButton* btClear;
  QLabel* lbResult;  ///< the reason of the last refusal, empty when done
  /// A fault was set or ended (the panel's lamps follow).
  std::function<void()> Changed;

 private:
  void KindChanged();
  void Done(const std::string& refusal);

  DispatchData& sim_;
  std::vector<FaultChoice> choices_;
  std::vector<TFaultData> active_;
};

/// The trains standing before closed signals, where each stands, and "Разрешить": the
/// permission to pass the signal, through the permit operation. Not modal.
class TfmPermits : public QDialog {
  Q_OBJECT

 public:
  TfmPermits(DispatchData& sim, QWidget* parent = nullptr);

  /// The list follows the trains standing now; the selection stays on its train.
  void Refresh();
  /// Asks the permission for the selected train; a refusal goes to Refused with its reason.
  void PermitClicked();

  QListWidget* lbTrains;
  QPushButton* btPermit;
  /// A permission was refused: the text to show the dispatcher.
  std::function<void(const std::string& text)> Refused;
  /// A permission was given.
  std::function<void()> Changed;

 private:
  DispatchData& sim_;
  std::vector<int> numbers_;
};

}  // namespace traklin
