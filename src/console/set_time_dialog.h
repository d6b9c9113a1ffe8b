// The set-time dialog "Время суток": the date and the time of day the clock starts from.
#pragma once

#include <QDialog>

#include "area/area_data.h"

class QDateEdit;
class QPushButton;
class QSpinBox;

namespace traklin {

class TfmSetTime : public QDialog {
  Q_OBJECT

 public:
  explicit TfmSetTime(QWidget* parent = nullptr);

  /// Shows the dialog filled from t; returns the picked date and time (seconds zero), or t
  /// unchanged when the dialog is closed without OK.
  TDateTime Execute(TDateTime t);

  /// Fills the date picker and the spin edits from t.
  void Fill(TDateTime t);
  /// The picked date plus the picked hours and minutes.
  TDateTime Picked() const;

  QDateEdit* dpDate;
  QSpinBox* seHours;
  QSpinBox* seMinutes;
  QPushButton* btOK;
};

}  // namespace traklin
