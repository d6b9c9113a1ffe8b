// The trains window "Поезда": one strip per train with its text, composition and speed chart.
#include "trains/ui/trains_window.h"

#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "trains/train_records.h"
#include "trains/ui/picture_view.h"

namespace traklin {
namespace {

QImage Transparent(QImage picture) {
  if (picture.isNull()) return picture;
  picture = picture.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = picture.pixel(0, picture.height() - 1);
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x)
      if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
  }
  return picture;
}

QRgb BandColor(const TTrainLogEntry& e) {
  if (e.SEMAPH_CLOSED && e.SEMAPH_WARNING) return kBandWhite;
  if (e.SEMAPH_CLOSED) return kBandRed;
  if (e.SEMAPH_WARNING) return kBandYellow;
  return kBandGreen;
}

void DrawComposition(QPainter& p, const TTrainData& train, const StockPictures& pictures, int x) {
  for (const CompositionItem& item : TrainComposition(train)) {
    if (!item.Text.empty()) {
      const QString text = QString::fromStdString(item.Text);
      x += 12;
      p.setPen(Qt::black);
      p.drawText(QRect(x, kCompositionTop, 200, kCompositionHeight), Qt::AlignVCenter, text);
      x += p.fontMetrics().horizontalAdvance(text) + 12;
      continue;
    }
    const QImage& image = pictures[item.Picture];
    if (image.isNull()) continue;
    p.drawImage(x, kCompositionTop + (kCompositionHeight - image.height()) / 2, image);
    x += image.width() - 1;
  }
}

}  // namespace

StockPictures StockPictures::Load(const std::filesystem::path& directory) {
  StockPictures result;
  for (std::size_t k = 0; k < result.Images.size(); ++k) {
    const auto file = directory / StockPictureFile(static_cast<StockPicture>(k));
    result.Images[k] = Transparent(QImage(QString::fromStdString(file.string())));
  }
  return result;
}

int StripWidth(int clientWidth) {
  return std::max(60, (clientWidth - 20) / 60 * 60);
}

QImage DrawTrainStrip(const SimulationData& sim, int i, int width, const StockPictures& pictures) {
  QImage strip(width, kStripHeight, QImage::Format_RGB32);
  strip.fill(kStripBackground);
  QPainter p(&strip);
  p.setPen(QColor::fromRgb(kGridColor));
  for (int x = width - 1; x >= 0; x -= 60) p.drawLine(x, 0, x, kStripBaseline);
  for (int y = kStripBaseline; y >= 0; y -= 10) p.drawLine(0, y, width - 1, y);
  if (!ValidTrain(sim, i)) return strip;
  const TTrainData& train = sim.State.Trains[i];
  const TDateTime clock = sim.State.ClockTime;

  // Newest entries first; an entry stamped after the clock is skipped.
  struct Point {
    int X, Speed, Limit;
    QRgb Band;
  };
  std::vector<Point> points;
  for (auto e = train.LOG.rbegin(); e != train.LOG.rend(); ++e) {
    if (e->TS > clock) continue;
    const int x = width - 1 - static_cast<int>(RoundHalfEven((clock - e->TS) * 86400.0));
    points.push_back({x, kStripBaseline - static_cast<int>(RoundHalfEven(e->SPEED * 3.6)),
                      kStripBaseline - e->SPEED_LIM, BandColor(*e)});
    if (x < 0) break;
  }
  // The band runs from each entry to the newer one (the newest to the right edge).
  for (std::size_t k = 0; k < points.size(); ++k) {
    const int right = k == 0 ? width - 1 : points[k - 1].X;
    const int left = std::max(0, points[k].X);
    if (right >= left)
      p.fillRect(QRect(left, kSignalBandY - 6, right - left + 1, 13),
                 QColor::fromRgb(points[k].Band));
  }
  p.setPen(QPen(QColor::fromRgb(kLimitColor), 1));
  for (std::size_t k = 0; k < points.size(); ++k) {
    const int right = k == 0 ? width - 1 : points[k - 1].X;
    p.drawLine(std::max(0, points[k].X), points[k].Limit, right, points[k].Limit);
    if (k > 0 && points[k - 1].Limit != points[k].Limit)
      p.drawLine(right, points[k].Limit, right, points[k - 1].Limit);
  }
  p.setPen(QPen(QColor::fromRgb(kSpeedColor), 1));
  for (std::size_t k = 1; k < points.size(); ++k)
    p.drawLine(points[k - 1].X, points[k - 1].Speed, points[k].X, points[k].Speed);
  if (points.size() == 1) p.drawPoint(points[0].X, points[0].Speed);

  p.setPen(Qt::black);
  const QString line1 = QString::fromStdString(TrainInfoText(sim, i, "nl"));
  p.drawText(4, kStripTextLine1 + p.fontMetrics().ascent(), line1);
  DrawComposition(p, train, pictures, 4 + p.fontMetrics().horizontalAdvance(line1) + 8);
  p.drawText(4, kStripTextLine2 + p.fontMetrics().ascent(),
             QString::fromStdString(TrainInfoText(sim, i, "pdt")));
  return strip;
}

QImage RenderTrainsWindow(const SimulationData& sim, const StockPictures& pictures,
                          int clientWidth) {
  const int width = StripWidth(clientWidth);
  const std::vector<int> trains = TrainsWithStrip(sim);
  QImage image(width, kStripHeight * std::max<int>(1, static_cast<int>(trains.size())),
               QImage::Format_RGB32);
  image.fill(kStripBackground);
  QPainter p(&image);
  for (std::size_t row = 0; row < trains.size(); ++row)
    p.drawImage(0, static_cast<int>(row) * kStripHeight,
                DrawTrainStrip(sim, trains[row], width, pictures));
  return image;
}

TfmTrains::TfmTrains(const SimulationData& sim, const std::filesystem::path& imageDirectory,
                     QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      sim_(sim),
      pictures_(StockPictures::Load(imageDirectory)) {
  setObjectName(QStringLiteral("fmTrains"));
  setWindowTitle(QStringLiteral("Поезда"));
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  setMinimumWidth(768);
  setMaximumWidth(1024);
  resize(1024, 338);
  view_ = new PictureView(this);
  view_->Background = QColor::fromRgb(kStripBackground);
  view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  lastRefresh_.start();
}

void TfmTrains::RefreshTrains() {
  if (lastRefresh_.isValid() && lastRefresh_.elapsed() < 1000) return;
  Redraw();
}

void TfmTrains::Redraw() {
  lastRefresh_.restart();
  view_->Picture = RenderTrainsWindow(sim_, pictures_, width());
  view_->PictureChanged();
}

void TfmTrains::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Redraw();
}

void TfmTrains::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (isVisible()) Redraw();
}

}  // namespace traklin
