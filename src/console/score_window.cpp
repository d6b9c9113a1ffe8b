// The window "Итоги смены": the score of the console's current shift as a table.
#include "console/score_window.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace traklin {

TfmShiftScore::TfmShiftScore(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fmShiftScore"));
  setWindowTitle(QStringLiteral("Итоги смены"));
  resize(760, 640);
  mmScore = new QPlainTextEdit(this);
  mmScore->setObjectName(QStringLiteral("mmScore"));
  mmScore->setReadOnly(true);
  mmScore->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(15);
  mmScore->setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(mmScore);
}

void TfmShiftScore::ShowScore() {
  QString text = Build ? QString::fromStdString(Build()) : QString();
  if (text.endsWith('\n')) text.chop(1);
  mmScore->setPlainText(text);
  show();
  raise();
  activateWindow();
}

}  // namespace traklin
