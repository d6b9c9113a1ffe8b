// The controller window "Пульт диспетчера": the dispatcher's push-button desk.
#pragma once

#include <QWidget>
#include <functional>

#include "simulation/simulation.h"

namespace traklin {

/// The push-button desk. Created hidden at start; Setup builds its buttons once the district
/// is read. The main window forwards station clicks on the panel and the desk keys here.
class TfmController : public QWidget {
  Q_OBJECT

 public:
  explicit TfmController(Simulation& sim, QWidget* parent = nullptr);
  ~TfmController() override;

  /// Builds the buttons, row numbers and lamps for the district (start-up).
  void Setup();
  /// Selects station lp (-1: none); with task, a station with a duty officer opens the task
  /// dialog instead of the desk. A second click on the selected station deselects it.
  void SelectStation(int lp, bool task);
  int SelectedStation() const;
  /// Every clock tick: the selection time-out and the lamps.
  void Tick();

  /// A desk key of the main window: the Alt variant (true) or the Shift variant, row 1..3,
  /// column 1..4.
  void KeyRoutePress(bool altVariant, int row, int column);
  /// The red button (Delete key): the route input starts again.
  void ResetRouteInput();
  /// The yellow buttons (comma: dir 0, full stop: dir 1): the selected station's commit.
  void ToggleCommit(int dir);
  /// The release mode button (B key).
  void ReleaseMode();

  /// The operational task dialog, once it exists: open for a station, hide, visible.
  std::function<void(int lp)> OpenTaskDialog;
  std::function<void()> HideTaskDialog;
  std::function<bool()> TaskDialogVisible;

 private:
  Simulation& sim_;
  int selected_ = -1;
};

}  // namespace traklin
