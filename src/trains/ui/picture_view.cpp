// A scrolling view of a large picture that paints only the part it shows.
#include "trains/ui/picture_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace traklin {

PictureView::PictureView(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setMouseTracking(true);
  horizontalScrollBar()->setSingleStep(20);
  verticalScrollBar()->setSingleStep(20);
}

void PictureView::PictureChanged() {
  UpdateScrollBars();
  viewport()->update();
}

void PictureView::Refresh(const QRect& pictureRect) {
  viewport()->update(pictureRect.translated(-Offset()));
}

QPoint PictureView::Offset() const {
  return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void PictureView::ScrollTo(QPoint pictureTopLeft) {
  horizontalScrollBar()->setValue(pictureTopLeft.x());
  verticalScrollBar()->setValue(pictureTopLeft.y());
}

QPoint PictureView::ToPicture(QPoint viewportPoint) const {
  return viewportPoint + Offset();
}

void PictureView::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  const QRect exposed = event->rect();
  p.fillRect(exposed, Background);
  const QPoint offset = Offset();
  const QRect source = exposed.translated(offset).intersected(Picture.rect());
  if (!source.isEmpty()) p.drawImage(source.translated(-offset), Picture, source);
  if (PaintOverlay) {
    p.translate(-offset);
    p.setClipRect(exposed.translated(offset));
    PaintOverlay(p);
  }
}

void PictureView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void PictureView::mousePressEvent(QMouseEvent* event) {
  emit pressed(ToPicture(event->position().toPoint()), event->button(), event->modifiers());
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
  emit released(ToPicture(event->position().toPoint()), event->button(), event->modifiers());
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  emit moved(ToPicture(event->position().toPoint()), event->buttons());
}

void PictureView::UpdateScrollBars() {
  const QSize view = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, Picture.width() - view.width()));
  horizontalScrollBar()->setPageStep(view.width());
  verticalScrollBar()->setRange(0, std::max(0, Picture.height() - view.height()));
  verticalScrollBar()->setPageStep(view.height());
}

}  // namespace traklin
