// The train graph windows: the executed graph "График исполненного движения" and the
// normative graph "Нормативный график движения".
#pragma once

#include <QWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "console/graph_pictures.h"
#include "trains/ui/picture_view.h"

class QAction;

namespace traklin {

/// What both graph windows share: the scrolling picture (dragged with the left button, the
/// wheel scrolling vertically or, with Shift, horizontally), a context menu that saves the
/// picture as PNG, and keys passed on to the main window.
class GraphWindow : public QWidget {
  Q_OBJECT

 public:
  explicit GraphWindow(QWidget* parent = nullptr);

  /// The main window's key handler; keys the picture does not use go there.
  std::function<void(QKeyEvent* event)> OnKeyDown;
  /// Shows an error text (a fit or file error); a message box unless replaced.
  std::function<void(const QString& text)> ReportError;
  /// Asks where to save the picture; empty = cancelled. A file dialog unless replaced.
  std::function<QString()> AskPngPath;

  /// Writes the picture shown as PNG; false (reported) when it cannot be written.
  bool SavePng(const QString& path);

  PictureView* View() const { return view_; }
  QAction* miSavePng;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  /// Makes the window no larger than the picture and a margin of 64 pixels.
  void FitToPicture();

  PictureView* view_;

 private:
  void SavePngClick();
  QPoint dragStart_;
  QPoint dragOffset_;
  bool dragging_ = false;
};

/// The executed graph window (`TfmGID`): created hidden, refreshed on every tick while the
/// graph is enabled, shown by the "ГИД" menu item and the G key; closing only hides it.
class TfmGID : public GraphWindow {
  Q_OBJECT

 public:
  /// Time a refresh may spend drawing the segments of new log entries per tick.
  static constexpr std::chrono::milliseconds kRefreshBudget{4};

  explicit TfmGID(Simulation& sim, QWidget* parent = nullptr);

  /// At start, from the settings' SCALEPERCENTS and SCALEKMONLY.
  void SetScales(int percents, bool kmOnly);
  /// Every tick while GIDENABLED is on: builds the picture the first time, draws new segments
  /// within the budget and moves the time cursor. A graph that does not fit is reported once
  /// ("Unable to match the GID scale (try lowering it in config file)") and then left alone.
  void Refresh(std::chrono::nanoseconds budget = kRefreshBudget);
  /// The "ГИД" menu item and the G key: refreshes once when nothing is drawn yet, shows the
  /// window and brings it to the front.
  void ShowGraph();
  /// Shows the window, or hides it when it is shown.
  void Toggle();
  /// After a state was loaded: the picture is thrown away and the next refresh draws the
  /// restored log from its start.
  void Reset();

  /// "Показать нормативный график" (the context menu): every train's planned run under the
  /// executed lines; the picture is drawn again.
  void ShowPlan(bool on);

  ExecutedGraph& Graph() { return graph_; }
  QAction* miShowPlan;
  /// The graph x of the time cursor, -1 before the first refresh.
  int CursorX() const { return cursor_; }

 private:
  void PaintCursor(QPainter& p) const;
  void MoveCursor();

  Simulation& sim_;
  ExecutedGraph graph_;
  int cursor_ = -1;
};

/// The normative graph window (`TfmNGDP`): shows NGDP.bmp, drawn at start when missing.
/// The picture is held only while the window is shown.
class TfmNGDP : public GraphWindow {
  Q_OBJECT

 public:
  explicit TfmNGDP(Simulation& sim, QWidget* parent = nullptr);

  /// At start, from the settings' SCALEPERCENTS and SCALEKMONLY.
  void SetScales(int percents, bool kmOnly);
  /// At start: the district directory's NGDP.bmp.
  void SetPicturePath(const std::filesystem::path& file);
  const std::filesystem::path& PicturePath() const { return path_; }
  /// At start, after SetPicturePath: when the file is missing, draws the normative graph,
  /// writes it and has the executed graph show the planned passenger trains. Returns the
  /// failure message, which must not stop the start.
  std::optional<std::string> EnsurePictureFile(ExecutedGraph* executed,
                                               const PictureWriter& write = {});
  /// The "НГДП" menu item and the N key: loads the file and shows it; a file that cannot be
  /// read is reported ("Error reading NGDP.bmp") and the window stays hidden.
  bool ShowGraph();
  /// Shows the window, or hides it when it is shown.
  void Toggle();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  Simulation& sim_;
  std::filesystem::path path_;
  int percents_ = 40;
  bool kmOnly_ = true;
};

}  // namespace traklin
