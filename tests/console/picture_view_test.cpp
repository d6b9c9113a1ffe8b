// The picture view: only the exposed part is drawn, scrolling shifts it, overlays stay out.
#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include "qt_test_support.h"
#include "trains/ui/picture_view.h"

namespace traklin {
namespace {

QImage Grab(PictureView& view) {
  view.viewport()->repaint();
  return view.viewport()->grab().toImage();
}

TEST(PictureViewTest, ShowsTheScrolledPartAndPaintsOverlaysOverIt) {
  testing_support::App();
  PictureView view;
  view.resize(120, 100);
  view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.Picture = QImage(400, 300, QImage::Format_RGB32);
  view.Picture.fill(Qt::white);
  view.Picture.setPixel(250, 150, qRgb(255, 0, 0));
  view.PictureChanged();
  view.show();

  view.ScrollTo({200, 100});
  EXPECT_EQ(view.ToPicture({50, 50}), QPoint(250, 150));
  EXPECT_EQ(Grab(view).pixel(50, 50), qRgb(255, 0, 0));

  view.PaintOverlay = [](QPainter& p) { p.fillRect(QRect(210, 110, 5, 5), Qt::blue); };
  const QImage shot = Grab(view);
  EXPECT_EQ(shot.pixel(12, 12), qRgb(0, 0, 255));
  // The overlay never reaches the picture itself.
  EXPECT_EQ(view.Picture.pixel(212, 112), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace traklin
