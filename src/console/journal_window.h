// The window "Журнал станций": the stations' reports and questions with their times and answers,
// newest last; it never takes the focus.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "views/station_journal.h"

class QPlainTextEdit;

namespace traklin {

/// Shows a StationJournal's lines (JournalLine). It is shown without being activated, and
/// the lines it adds never activate it, so the dispatcher's keys stay where they were (a
/// window system that activates it all the same right after the show has the activation
/// given back); once clicked into, it keeps its own keys (Ctrl+C copies). The view follows the
/// newest line unless the dispatcher has scrolled up to read an older one.
class TfmJournal : public QWidget {
  Q_OBJECT

 public:
  explicit TfmJournal(const StationJournal& journal, QWidget* parent = nullptr);

  /// Shows the window in front of the others without activating it, scrolled to the newest.
  void ShowJournal();
  /// Entries were added: a shown window adds their lines at the end.
  void Refresh();
  /// The journal was cleared or replaced: a shown window lists it anew.
  void Rebuild();
  /// Whether the view shows the newest line (it then follows the lines that come).
  bool FollowsNewest() const;

  QPlainTextEdit* mmJournal;

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void ScrollToNewest();

  const StationJournal& journal_;
  /// journal_.Added() when the text was last brought up to date.
  std::uint64_t shown_ = 0;
  bool stale_ = true;
  /// The window active when the journal was shown, while its activation may still come back
  /// from the window system.
  QPointer<QWidget> giveBack_;
};

}  // namespace traklin
