// The window "Итоги смены": the score of the console's current shift as a table.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QPlainTextEdit;

namespace traklin {

/// Shows the score table of the shift (built by `Build` each time it is opened), not modally,
/// in a monospaced font.
class TfmShiftScore : public QWidget {
  Q_OBJECT

 public:
  explicit TfmShiftScore(QWidget* parent = nullptr);

  /// The table text of the shift so far.
  std::function<std::string()> Build;
  /// Builds the table anew and shows the window in front.
  void ShowScore();

  QPlainTextEdit* mmScore;
};

}  // namespace traklin
