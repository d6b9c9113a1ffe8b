// The controller window "Пульт диспетчера": the dispatcher's push-button desk.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "simulation/simulation.h"
#include "views/controller_desk.h"

namespace traklin {

/// The push-button desk. Created hidden at start; Setup builds its buttons once the district
/// is read. The main window forwards station clicks on the panel and the desk keys here.
class TfmController : public QWidget {
  Q_OBJECT

 public:
  /// Loads the background and the seven button pictures from imageDir. A missing picture is
  /// replaced by a plain one and named in PictureError.
  explicit TfmController(Simulation& sim, QWidget* parent = nullptr,
                         std::filesystem::path imageDir = "../image");
  ~TfmController() override;

  /// Builds the buttons, row numbers and lamps for the district (start-up).
  void Setup();
  /// Selects station lp (-1: none); with task, a station with a duty officer opens the task
  /// dialog instead of the desk. A second click on the selected station deselects it.
  void SelectStation(int lp, bool task);
  int SelectedStation() const;
  /// Every clock tick, realMs milliseconds of real time after the one before (the timer's
  /// interval): the selection time-out and the lamps.
  void Tick(int realMs);

  /// A desk key of the main window: the Alt variant (true) or the Shift variant, row 1..3,
  /// column 1..4.
  void KeyRoutePress(bool altVariant, int row, int column);
  /// The red button (Delete key): the route input starts again.
  void ResetRouteInput();
  /// The yellow buttons (comma: dir 0, full stop: dir 1): the selected station's commit.
  void ToggleCommit(int dir);
  /// The release mode button (B key).
  void ReleaseMode();

  /// Empty when every picture was read; otherwise one message naming the missing files, for
  /// the main window to show once ("Error reading ../image/CtrlBack.bmp\r\n").
  QString PictureError() const { return pictureError_; }
  /// Every lamp is drawn again (after the lamp colours changed).
  void RedrawLamps();
  /// Where a button lies in the window while it is up: "imRoute" + column + row, "imLeft" + i,
  /// "imRight" + i, "imSelectLP" + i. An empty rectangle for an unknown name.
  QRect ButtonRect(const QString& name) const;
  const ControllerDesk& Desk() const { return desk_; }

  /// Called after each of the dispatcher's commands on the desk (a selection, a route button or
  /// key, a mode, a reset, a commit), paused or not, so that the panel shows the lamps the
  /// command itself changed at once.
  std::function<void()> Acted;

  /// The operational task dialog, once it exists: open for a station, hide, visible.
  std::function<void(int lp)> OpenTaskDialog;
  std::function<void()> HideTaskDialog;
  std::function<bool()> TaskDialogVisible;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Button {
    QString Name;
    QRect Rect;  ///< in the window, while up
    DeskColour Colour;
    std::function<void()> Action;
  };

  void LoadPictures(const std::filesystem::path& imageDir);
  void BuildBackground();
  void AddButton(const QString& name, QPoint centre, DeskColour colour,
                 std::function<void()> action);
  void DrawLamp(int k);
  void RefreshLamps();
  /// After a command: the desk's lamps, then the Acted hook.
  void AfterCommand();
  bool DialogVisible() const;
  int ButtonAt(QPoint p) const;

  Simulation& sim_;
  ControllerDesk desk_;
  QImage backPicture_;  ///< CtrlBack.bmp as read (or its placeholder)
  QImage deskImage_;    ///< the background as shown: grown for the stations, numbers, lamps
  std::array<QImage, 7> buttonPictures_;
  std::vector<Button> buttons_;
  std::vector<bool> drawnLamps_;
  int pressed_ = -1;
  QString pictureError_;
};

}  // namespace traklin
