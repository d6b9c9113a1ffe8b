// The reference window "Справка": one text report at a time in a monospaced font.
#pragma once

#include <QWidget>

#include "views/reports.h"

class QPlainTextEdit;

namespace traklin {

class TfmReference : public QWidget {
  Q_OBJECT

 public:
  explicit TfmReference(const SimulationData& sim, QWidget* parent = nullptr);

  /// Builds the report anew, shows the window (not modally) and brings it to the front.
  void ShowReport(ReportKind kind);
  /// Whether the window shows the train report (the approaches report is another kind).
  bool ShowsTrainReport() const { return kind_ == ReportKind::Trains; }
  ReportKind Kind() const { return kind_; }
  /// Shows a report built elsewhere (the punctuality report), in front; the train list leaves
  /// it as it is.
  void ShowText(const std::string& text);
  /// Trains were placed or removed: the train report, when shown, is rebuilt in place.
  void TrainListChanged();

  QPlainTextEdit* mmText;

 private:
  void Fill();
  void SetText(const std::string& text);
  void ShowInFront();

  const SimulationData& sim_;
  ReportKind kind_ = ReportKind::None;
};

}  // namespace traklin
