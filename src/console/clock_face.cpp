// The faces of the main window's clock: the segment clock and the calendar sheet.
#include "console/clock_face.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <array>

#include "area/date_time.h"

namespace traklin {
namespace {

struct Segment {
  int X1, Y1, X2, Y2;
};

constexpr std::array<Segment, 10> kSegments{{
    {6, 3, 11, 3},
    {14, 5, 14, 10},
    {14, 14, 14, 19},
    {6, 21, 11, 21},
    {3, 14, 3, 19},
    {3, 5, 3, 10},
    {6, 12, 11, 12},
    {3, 22, 3, 22},
    {3, 7, 3, 8},
    {3, 15, 3, 16},
}};

struct Glyph {
  int Advance;
  int FirstSegment, LastSegment;  ///< segments drawn
  unsigned Lit;                   ///< bit i: segment i lit
};

constexpr unsigned Bits(std::initializer_list<int> segments) {
  unsigned bits = 0;
  for (int s : segments) bits |= 1u << s;
  return bits;
}

constexpr Glyph kBlank{17, 0, 6, 0};
constexpr Glyph kColon{6, 8, 9, Bits({8, 9})};
constexpr Glyph kDot{6, 8, 9, 0};
constexpr std::array<Glyph, 10> kDigits{{
    {17, 0, 6, Bits({0, 1, 2, 3, 4, 5})},
    {17, 0, 6, Bits({1, 2})},
    {17, 0, 6, Bits({0, 1, 3, 4, 6})},
    {17, 0, 6, Bits({0, 1, 2, 3, 6})},
    {17, 0, 6, Bits({1, 2, 5, 6})},
    {17, 0, 6, Bits({0, 2, 3, 5, 6})},
    {17, 0, 6, Bits({0, 2, 3, 4, 5, 6})},
    {17, 0, 6, Bits({0, 1, 2})},
    {17, 0, 6, Bits({0, 1, 2, 3, 4, 5, 6})},
    {17, 0, 6, Bits({0, 1, 2, 3, 5, 6})},
}};

const Glyph& GlyphFor(QChar c) {
  if (c == u':') return kColon;
  if (c == u'.') return kDot;
  if (c >= u'0' && c <= u'9') return kDigits[c.unicode() - u'0'];
  return kBlank;
}

const QColor kSheetInk{0x08, 0x08, 0x08};
const QColor kSundayInk{0xE0, 0x00, 0x00};

const char* const kWeekdays[7] = {"ПН", "ВТ", "СР", "ЧТ", "ПТ", "СБ", "ВС"};
const char* const kMonths[12] = {"янв", "фев", "мар", "апр", "май", "июн",
                                 "июл", "авг", "сен", "окт", "ноя", "дек"};

// Text with its top-left corner at (x, y), as the calendar sheet places it.
void DrawTextAt(QPainter& painter, int x, int y, const QString& text) {
  painter.drawText(QRect(x, y, 200, 100), Qt::AlignLeft | Qt::AlignTop, text);
}

QFont SheetFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

}  // namespace

QString SegmentClockText(TDateTime time) {
  const TimeParts t = DecodeTime(time);
  QString text = QString::number(t.Hour).rightJustified(2, u' ');
  // The blank of the second half-second is drawn as the dark colon.
  text += t.Millisecond < 500 ? u':' : u'.';
  text += QString::number(t.Minute).rightJustified(2, u'0');
  return text;
}

void DrawSegmentClock(QPainter& painter, TDateTime time, QSize size) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::black);
  QPen lit(kSegmentLitColor, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  QPen unlit(kSegmentUnlitColor, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  int x = 2;
  const int y = 5;
  for (QChar c : SegmentClockText(time)) {
    const Glyph& g = GlyphFor(c);
    for (int s = g.FirstSegment; s <= g.LastSegment; ++s) {
      const Segment& seg = kSegments[s];
      painter.setPen((g.Lit >> s) & 1u ? lit : unlit);
      painter.drawLine(seg.X1 + x, seg.Y1 + y, seg.X2 + x, seg.Y2 + y);
    }
    x += g.Advance;
  }
  painter.restore();
}

void DrawCalendarFace(QPainter& painter, TDateTime time, QSize size, bool monthAsDigits) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);

  const DateParts date = DecodeDate(time);
  const int weekday = DayOfWeekIso(time);  // 1 = Monday
  const QColor ink = weekday == 7 ? kSundayInk : kSheetInk;

  painter.setPen(ink);
  painter.setFont(SheetFont(24, true));  // 18 pt
  DrawTextAt(painter, 7, 3, QString::number(date.Day));
  painter.setFont(SheetFont(9, true));  // 7 pt
  DrawTextAt(painter, 50, 2, QString::fromUtf8(kWeekdays[weekday - 1]));

  const QString month = monthAsDigits ? QString::number(date.Month).rightJustified(2, u'0')
                                      : QString::fromUtf8(kMonths[date.Month - 1]);
  painter.setPen(kSheetInk);
  DrawTextAt(painter, 59 - 4 * static_cast<int>(month.size()), 16, month);

  // The binding rings along the top edge and the frame.
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::NoBrush);
  for (int x = 3; x < size.width(); x += 8) {
    const QPoint ring[4] = {{x, 0}, {x + 1, 1}, {x + 3, 1}, {x + 4, 0}};
    painter.drawPolyline(ring, 4);
  }
  const int w = size.width() - 1, h = size.height() - 1;
  const QPoint frame[5] = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
  painter.drawPolyline(frame, 5);
  painter.restore();
}

}  // namespace traklin
