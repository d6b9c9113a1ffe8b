// A scrolling view of a large picture that paints only the part it shows (the panel, the
// graphs, the trains window); the lowest UI folder that uses it holds it.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <functional>

namespace traklin {

/// Shows a QImage (the panel, a graph) in a scroll area. Only the exposed part is drawn, so
/// pictures many thousands of pixels wide cost nothing while hidden. Overlays (a cursor, a
/// selection) are painted over the picture in window coordinates and never into it.
class PictureView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit PictureView(QWidget* parent = nullptr);

  /// The picture; change it in place and call PictureChanged (or Refresh for a region).
  QImage Picture;
  /// Colour of the area around a picture smaller than the view.
  QColor Background = Qt::black;
  /// Called after the picture is painted, with the painter in picture coordinates.
  std::function<void(QPainter& painter)> PaintOverlay;

  /// The picture's size changed: scroll bars follow, everything is repainted.
  void PictureChanged();
  /// Repaints the given rectangle of the picture (picture coordinates).
  void Refresh(const QRect& pictureRect);
  /// The picture point shown at the view's top-left corner.
  QPoint Offset() const;
  void ScrollTo(QPoint pictureTopLeft);
  /// Converts a point of the viewport to picture coordinates.
  QPoint ToPicture(QPoint viewportPoint) const;

 signals:
  /// A mouse button was pressed over the picture (picture coordinates).
  void pressed(QPoint picturePoint, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void released(QPoint picturePoint, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void moved(QPoint picturePoint, Qt::MouseButtons buttons);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void UpdateScrollBars();
};

}  // namespace traklin
