// Drawing of the train graphs on a layout: grid, labels, station bands, run lines, cursor.
#include "console/graph_painter.h"

#include <QFontMetrics>
#include <QTransform>
#include <cmath>
#include <numbers>

#include "area/area_queries.h"
#include "area/date_time.h"

namespace traklin {
namespace {

const QColor kGrey{0x80, 0x80, 0x80};
constexpr int kLabelMinLength = 100;
constexpr int kExecutedLabelHeight = 16;
constexpr int kNormativeLabelHeight = 18;

QPen LinePen(const QColor& color, int width, Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(color, width, style);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

QString Utf8(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

QColor GraphQColor(TColor c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

QRect DrawTextAt(QPainter& p, const QString& text, const QFont& font, const QColor& color,
                 QPoint topLeft) {
  const QFontMetrics fm(font);
  const QRect box(topLeft, QSize(fm.horizontalAdvance(text) + 1, fm.height()));
  p.setFont(font);
  p.setPen(color);
  p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
  return box;
}

QRect DrawTextCentred(QPainter& p, const QString& text, const QFont& font, const QColor& color,
                      QPointF centre, double angle) {
  const QFontMetrics fm(font);
  const double w = fm.horizontalAdvance(text) + 1, h = fm.height();
  const QRectF box(-w / 2, -h / 2, w, h);
  QTransform t;
  t.translate(centre.x(), centre.y());
  t.rotate(-angle);
  p.save();
  p.setTransform(t, true);
  p.setFont(font);
  p.setPen(color);
  p.drawText(box, Qt::AlignCenter | Qt::TextDontClip, text);
  p.restore();
  return t.mapRect(box).toAlignedRect().adjusted(-1, -1, 1, 1);
}

GraphPainter::GraphPainter(const TAreaData& area, const GraphLayout& layout,
                           const GraphScales& scales)
    : area_(area), layout_(layout), scales_(scales) {}

QPoint GraphPainter::Point(std::int64_t x, std::int64_t y) const {
  return {Px(x), Px(y)};
}

QFont GraphPainter::Font(int height, bool bold) const {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(std::max(1, Px(height)));
  font.setBold(bold);
  return font;
}

void GraphPainter::DrawBackground(QPainter& p) const {
  p.fillRect(
      QRect(0, 0, static_cast<int>(layout_.PixelWidth), static_cast<int>(layout_.PixelHeight)),
      GraphQColor(area_.GraphBackColor));
  for (const GraphRow& row : layout_.Rows)
    for (const GraphEntry& e : row) TimeGrid(p, e.Top, e.Bottom);
  for (const GraphRow& row : layout_.Rows) {
    const std::int64_t top = layout_.RowTop(area_, row), bottom = layout_.RowBottom(area_, row);
    p.setPen(LinePen(kGrey, Px(2)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(Point(kGraphDayStart, top), Point(kGraphDayEnd, bottom)));
    TimeGrid(p, top - 10, top);
    HourLabels(p, top - 26);
    MinuteLabels(p, top - 20);
    TimeGrid(p, bottom, bottom + 10);
    HourLabels(p, bottom + 10);
    MinuteLabels(p, bottom + 10);
    if (layout_.SingleLine)
      StationLine(p, row.front().A, top);
    else
      StationBand(p, row.front().A, top);
  }
  for (const GraphRow& row : layout_.Rows) {
    for (const GraphEntry& e : row) {
      if (layout_.SingleLine)
        StationLine(p, e.B, e.Bottom);
      else
        StationBand(p, e.B, e.Bottom);
    }
  }
}

void GraphPainter::TimeGrid(QPainter& p, std::int64_t y1, std::int64_t y2) const {
  const auto lines = [&](int step, int count) {
    for (int k = 1; k <= count; ++k) {
      const int x = kGraphDayStart + step * k;
      p.drawLine(Point(x, y1), Point(x, y2));
    }
  };
  p.setPen(LinePen(kGrey, Px(1), Qt::DotLine));
  lines(20, 143);  // every 10 minutes
  p.setPen(LinePen(kGrey, Px(1)));
  lines(60, 47);  // every half hour
  p.setPen(LinePen(kGrey, Px(2)));
  lines(120, 23);  // every hour
}

void GraphPainter::HourLabels(QPainter& p, std::int64_t y) const {
  const QFont font = Font(16);
  for (int h = 1; h <= 23; ++h)
    DrawTextAt(p, QString::number(h), font, Qt::black, Point(120 * h + 296, y));
}

void GraphPainter::MinuteLabels(QPainter& p, std::int64_t y) const {
  const QFont font = Font(10);
  for (int k = 1; k <= 143; ++k) {
    const int minute = 10 * k % 60;
    if (minute != 0)
      DrawTextAt(p, QString::number(minute), font, Qt::black, Point(20 * k + 295, y));
  }
}

void GraphPainter::StationBand(QPainter& p, int lp, std::int64_t y0) const {
  const TTracksData& tracks = area_.Puts[lp].Tracks;
  const QFont trackFont = Font(12);
  const QFontMetrics fm(trackFont);
  std::int64_t last = y0;
  for (int i = 0; i <= static_cast<int>(tracks.size()); ++i) {
    last = y0 + static_cast<std::int64_t>(kGraphTrackStep) * i;
    p.setPen(LinePen(kGrey, Px(1)));
    p.drawLine(Point(kGraphDayStart, last), Point(kGraphDayEnd, last));
    if (i == 0) continue;
    const QString name = Utf8(FormatTrackName(tracks[i - 1].Number));
    const int w = fm.horizontalAdvance(name);
    for (int h = 1; h <= 23; ++h) {
      const QPoint mark = Point(120 * h + kGraphDayStart, last);
      DrawTextAt(p, name, trackFont, kGrey, {mark.x() - w / 2, mark.y() - fm.height()});
    }
  }
  const QFont nameFont = Font(24);
  const QString name = Utf8(LPName(area_, lp));
  const std::int64_t top = (y0 + last) / 2 - 12;
  DrawTextAt(p, name, nameFont, Qt::black, Point(10, top));
  DrawTextAt(p, name, nameFont, Qt::black, Point(kGraphDayEnd + 10, top));
}

void GraphPainter::StationLine(QPainter& p, int lp, std::int64_t y) const {
  p.setPen(LinePen(kGrey, Px(1)));
  p.drawLine(Point(kGraphDayStart, y), Point(kGraphDayEnd, y));
  const QFont nameFont = Font(24);
  const QString name = Utf8(LPName(area_, lp));
  DrawTextAt(p, name, nameFont, Qt::black, Point(10, y - 12));
  DrawTextAt(p, name, nameFont, Qt::black, Point(kGraphDayEnd + 10, y - 12));
}

QRect GraphPainter::DrawRun(QPainter& p, int number, int x1, std::int64_t y1, int x2,
                            std::int64_t y2, int labelHeight) const {
  QRect touched;
  const QPen pen = p.pen();
  const int margin = pen.width() + 1;
  for (const GraphPart& part : GraphSegmentParts(x1, y1, x2, y2)) {
    p.setPen(pen);
    const QPoint a = Point(part.X1, part.Y1), b = Point(part.X2, part.Y2);
    p.drawLine(a, b);
    touched |= QRect(a, b).normalized().adjusted(-margin, -margin, margin, margin);
    if (labelHeight > 0 &&
        std::hypot(part.X2 - part.X1, static_cast<double>(part.Y2 - part.Y1)) >= kLabelMinLength)
      touched |= NumberLabel(p, number, part, labelHeight);
  }
  p.setPen(pen);
  return touched;
}

QRect GraphPainter::NumberLabel(QPainter& p, int number, const GraphPart& part,
                                int labelHeight) const {
  const double dx = part.X2 - part.X1, dy = static_cast<double>(part.Y2 - part.Y1);
  const double d = std::hypot(dx, dy) / (labelHeight / 2.0 + 2);
  // Half the text height and a little more from the line, on its lower side.
  const double cx = (part.X1 + part.X2) / 2.0 - dy / d;
  const double cy = static_cast<double>(part.Y1 + part.Y2) / 2.0 + dx / d;
  double angle = std::atan2(-dy, dx) * 180.0 / std::numbers::pi;
  if (angle > 90) angle -= 180;
  if (angle < -90) angle += 180;
  const double k = scales_.Time / 100.0;
  return DrawTextCentred(p, QString::number(number), Font(labelHeight, true),
                         GraphQColor(GraphTrainColor(number)), QPointF(cx * k, cy * k), angle);
}

QRect GraphPainter::MinuteDigit(QPainter& p, int number, int minute, int x, std::int64_t y) const {
  const QFont font = Font(13, true);
  const QFontMetrics fm(font);
  const QString text = QString::number(minute % 10);
  const double w = fm.horizontalAdvance(text), h = fm.height();
  const double shift = 1.5 * w + Px(5);
  const QPoint at = Point(x, y);
  const QPointF centre(at.x() + (number % 2 == 0 ? shift : -shift), at.y() + h / 3 + Px(1));
  return DrawTextCentred(p, text, font, GraphQColor(GraphTrainColor(number)), centre, 0);
}

QRect GraphPainter::DrawLogSegment(QPainter& p, const GraphLogSegment& s) const {
  const std::optional<GraphPoint> pp = LocateLogPoint(area_, s.P), pq = LocateLogPoint(area_, s.Q);
  if (!pp || !pq) return {};
  const int n = s.P.NUMBER;
  const int px = GraphTimeX(s.P.TS), qx = GraphTimeX(s.Q.TS);
  const int pMinute = DecodeTime(s.P.TS).Minute, qMinute = DecodeTime(s.Q.TS).Minute;
  QRect touched;
  for (const GraphJoin& join : FindGraphJoins(area_, layout_, pp->LP, pq->LP, false)) {
    const std::int64_t py = join.Y1 + kGraphTrackStep * (pp->Track + 1);
    const std::int64_t qy = join.Y2 + kGraphTrackStep * (pq->Track + 1);
    if (s.StartDigit) touched |= MinuteDigit(p, n, pMinute, px, py);
    p.setPen(LinePen(GraphQColor(GraphTrainColor(n)), Px(2)));
    touched |= DrawRun(p, n, px, py, qx, qy, kExecutedLabelHeight);
    touched |= MinuteDigit(p, n, qMinute, qx, qy);
  }
  return touched;
}

QRect GraphPainter::DrawTimetableSegment(QPainter& p, const TimetableSegment& s) const {
  const QColor color = GraphQColor(GraphTrainColor(s.Number));
  const int x1 = GraphHHMMX(s.T1), x2 = GraphHHMMX(s.T2);
  const bool odd = s.Number % 2 != 0;
  QRect touched;
  for (const GraphJoin& join : FindGraphJoins(area_, layout_, s.LP1, s.LP2, true)) {
    if (s.T1 % 10 != 0) {
      const QFont font = Font(13, true);
      const QFontMetrics fm(font);
      const QString text = QString::number(s.T1 % 10);
      const int w = fm.horizontalAdvance(text);
      const int dx = s.IsStop() ? 2 * w + Px(3) : w - Px(3);
      const int dy = s.IsStop() == odd ? -(fm.height() + Px(3)) : Px(3);
      touched |= DrawTextAt(p, text, font, color, Point(x1, join.Y1) + QPoint(dx, dy));
    }
    p.setPen(LinePen(color, Px(2)));
    touched |= DrawRun(p, s.Number, x1, join.Y1, x2, join.Y2, kNormativeLabelHeight);
  }
  return touched;
}

QRect GraphPainter::DrawPlannedSegment(QPainter& p, const TimetableSegment& s) const {
  if (GraphTrainColor(s.Number) != GraphTrainColor(1)) return {};
  return DrawPlanSegment(p, s);
}

QRect GraphPainter::DrawPlanSegment(QPainter& p, const TimetableSegment& s) const {
  if (s.IsStop()) return {};
  QRect touched;
  for (const GraphJoin& join : FindGraphJoins(area_, layout_, s.LP1, s.LP2, false)) {
    // The planned line runs between the band edges that face the peregon.
    const GraphEntry& e = *join.Entry;
    const std::int64_t y1 = e.A == s.LP1 ? e.Top : e.Bottom;
    const std::int64_t y2 = e.A == s.LP2 ? e.Top : e.Bottom;
    p.setPen(LinePen(GraphQColor(GraphTrainColor(s.Number)), Px(1), Qt::DashLine));
    touched |= DrawRun(p, s.Number, GraphHHMMX(s.T1), y1, GraphHHMMX(s.T2), y2, 0);
  }
  return touched;
}

void GraphPainter::DrawCursor(QPainter& p, int x) const {
  for (const GraphRow& row : layout_.Rows) {
    const QPoint a = Point(x, layout_.RowTop(area_, row));
    const QPoint b = Point(x, layout_.RowBottom(area_, row));
    p.setPen(LinePen(Qt::black, Px(1)));
    p.drawLine(a, b);
    p.setPen(LinePen(Qt::white, Px(1), Qt::DashDotLine));
    p.drawLine(a, b);
  }
}

QRect GraphPainter::CursorRect(int x) const {
  const int w = std::max(1, Px(1));
  return QRect(Px(x) - w - 1, 0, 2 * w + 3, static_cast<int>(layout_.PixelHeight));
}

}  // namespace traklin
