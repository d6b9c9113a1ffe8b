// The reference window "Справка": one text report at a time in a monospaced font.
#include "console/reference_window.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace traklin {

TfmReference::TfmReference(const SimulationData& sim, QWidget* parent)
    : QWidget(parent, Qt::Window), sim_(sim) {
  setObjectName(QStringLiteral("fmReference"));
  setWindowTitle(QStringLiteral("Справка"));
  setMinimumSize(160, 80);
  resize(961, 533);
  mmText = new QPlainTextEdit(this);
  mmText->setObjectName(QStringLiteral("mmText"));
  mmText->setReadOnly(true);
  mmText->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(16);
  mmText->setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(mmText);
}

void TfmReference::Fill() {
  SetText(JoinReport(BuildReport(sim_, kind_)));
}

void TfmReference::SetText(const std::string& text) {
  QString lines = QString::fromStdString(text);
  if (lines.endsWith('\n')) lines.chop(1);
  mmText->setPlainText(lines);
}

void TfmReference::ShowInFront() {
  show();
  raise();
  activateWindow();
}

void TfmReference::ShowReport(ReportKind kind) {
  kind_ = kind;
  Fill();
  ShowInFront();
}

void TfmReference::ShowText(const std::string& text) {
  kind_ = ReportKind::None;
  SetText(text);
  ShowInFront();
}

void TfmReference::TrainListChanged() {
  if (isVisible() && ShowsTrainReport()) Fill();
}

}  // namespace traklin
