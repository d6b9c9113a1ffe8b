// The window "Журнал станций": the stations' reports and questions with their times and answers,
// newest last; it never takes the focus.
#include "console/journal_window.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace traklin {

TfmJournal::TfmJournal(const StationJournal& journal, QWidget* parent)
    : QWidget(parent, Qt::Window), journal_(journal) {
  setObjectName(QStringLiteral("fmJournal"));
  setWindowTitle(QStringLiteral("Журнал станций"));
  // Stations report while the dispatcher works elsewhere: the keys must stay there.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setMinimumSize(160, 80);
  resize(961, 300);
  mmJournal = new QPlainTextEdit(this);
  mmJournal->setObjectName(QStringLiteral("mmJournal"));
  mmJournal->setReadOnly(true);
  mmJournal->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The text drops its oldest lines as the journal does.
  mmJournal->setMaximumBlockCount(static_cast<int>(journal_.Capacity()));
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(16);
  mmJournal->setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(mmJournal);
}

void TfmJournal::ShowJournal() {
  QWidget* active = QApplication::activeWindow();
  if (active != nullptr && active != this) {
    giveBack_ = active;
    // A window system that activates shown windows does so at once; a later activation is
    // the dispatcher's click.
    QTimer::singleShot(250, this, [this] { giveBack_.clear(); });
  }
  show();
  raise();
  ScrollToNewest();
}

bool TfmJournal::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::WindowActivate && giveBack_) {
    QWidget* back = giveBack_;
    giveBack_.clear();
    back->activateWindow();
  }
  return handled;
}

void TfmJournal::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (stale_) Rebuild();
  Refresh();
  ScrollToNewest();
}

bool TfmJournal::FollowsNewest() const {
  const QScrollBar* bar = mmJournal->verticalScrollBar();
  return bar->value() >= bar->maximum();
}

void TfmJournal::ScrollToNewest() {
  QScrollBar* bar = mmJournal->verticalScrollBar();
  bar->setValue(bar->maximum());
}

void TfmJournal::Rebuild() {
  if (!isVisible()) {
    stale_ = true;
    return;
  }
  const bool follow = FollowsNewest();
  QString text;
  for (const std::string& line : journal_.Lines()) {
    if (!text.isEmpty()) text += '\n';
    text += QString::fromStdString(line);
  }
  mmJournal->setPlainText(text);
  shown_ = journal_.Added();
  stale_ = false;
  if (follow) ScrollToNewest();
}

void TfmJournal::Refresh() {
  // A hidden window catches up when it is shown.
  if (!isVisible() || stale_) return;
  const std::uint64_t added = journal_.Added() - shown_;
  if (added == 0) return;
  const auto& entries = journal_.Entries();
  if (added >= entries.size()) {
    // Every line shown has been pushed out (or the journal was cleared unseen).
    Rebuild();
    return;
  }
  const bool follow = FollowsNewest();
  for (auto it = entries.end() - static_cast<std::ptrdiff_t>(added); it != entries.end(); ++it)
    mmJournal->appendPlainText(QString::fromStdString(JournalLine(*it)));
  shown_ = journal_.Added();
  if (follow) ScrollToNewest();
}

}  // namespace traklin
