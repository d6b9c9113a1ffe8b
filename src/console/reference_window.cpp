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
  QString text = QString::fromStdString(JoinReport(BuildReport(sim_, kind_)));
  if (text.endsWith('\n')) text.chop(1);
  mmText->setPlainText(text);
}

void TfmReference::ShowReport(ReportKind kind) {
  kind_ = kind;
  Fill();
  show();
  raise();
  activateWindow();
}

void TfmReference::TrainListChanged() {
  if (isVisible() && ShowsTrainReport()) Fill();
}

}  // namespace traklin
