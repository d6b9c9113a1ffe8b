// The settings dialog "Настройки": preferences, difficulty and colours, written to Traklin.ini.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "settings/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QScrollArea;

namespace traklin {

/// A push button that shows a colour and lets the user pick another.
class ColorBox : public QPushButton {
 public:
  ColorBox(const QString& caption, QWidget* parent);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

 private:
  TColor color_ = 0;
};

/// The dialog edits a copy of the record in its controls; OK writes the file and, only when
/// that succeeded, the record; Cancel reloads the controls from the record.
class TfmSettings : public QDialog {
  Q_OBJECT

 public:
  TfmSettings(TSettings& settings, std::filesystem::path file, QWidget* parent = nullptr);

  /// After a district is loaded: one resolution item per panel view and one freight row per
  /// random-freight record of the settings (read by ReadDistrictSettings first).
  void SetDistrict(const TAreaData& area);

  /// Loads the controls from the record and shows the dialog modally; the result is
  /// QDialog::Accepted after a successful OK. The caller pauses the clock around it.
  int Execute();

  void ControlsFromRecord();
  /// The record as the controls give it; values whose control has no choice stay as stored.
  TSettings RecordFromControls() const;

  void btOKClick();
  void btCancelClick();
  void cbResolutionChange();

  /// Shows a failure to write the file; a message box unless replaced (tests).
  std::function<void(const QString& text)> ShowWriteError;

  QCheckBox* cbGidEnable;
  QCheckBox* cbShowAllBlockSect;
  QCheckBox* cbRestoreTimeScaleAfterMsgRequest;
  QCheckBox* cbRestoreTimeScaleAfterRingRequest;
  QCheckBox* cbScaleKMOnly;
  QComboBox* cbResolution;
  QLabel* lbResolution;
  QComboBox* cbGIDScale;
  QCheckBox* cbCreateDependantTrains;
  QCheckBox* cbReqRings;
  QCheckBox* cbMsgRings;
  QCheckBox* cbTrainReferenceWithLog;
  QComboBox* cbReapplyPutRequestPauseMin;
  QComboBox* cbReapplySameRequestPauseMin;
  QCheckBox* cbNotifiesFromControlled;
  QCheckBox* cbNotifiesFromPosts;
  QCheckBox* cbNotifiesOfUnplannedStops;
  ColorBox* cbLampLPOff;
  ColorBox* cbLampLPLit;
  ColorBox* cbLampLPOffText;
  ColorBox* cbLampLPLitText;
  QComboBox* cbRandomFreightTrainsNumberDeviation;
  QScrollArea* sbFreights;
  QPushButton* btOK;
  QPushButton* btCancel;

 private:
  QComboBox* FreightCombo(const TRandomFreightData& freight) const;

  TSettings& settings_;
  std::filesystem::path file_;
  std::vector<std::array<int, 2>> views_;  ///< width and height of each panel view
  QWidget* freightRows_;
};

}  // namespace traklin
