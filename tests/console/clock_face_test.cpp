// The segment clock and the calendar face drawn into pictures.
#include "console/clock_face.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "area/date_time.h"
#include "qt_test_support.h"

namespace traklin {
namespace {

TDateTime At(int h, int m, int s, int ms) {
  return EncodeDate(2011, 3, 15) + (h * 3600 + m * 60 + s + ms / 1000.0) / 86400.0;
}

QImage Face(TDateTime t, bool calendar, bool digits = true) {
  testing_support::App();
  QImage image(kClockWidth, kClockHeight, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  if (calendar) {
    DrawCalendarFace(painter, t, image.size(), digits);
  } else {
    DrawSegmentClock(painter, t, image.size());
  }
  return image;
}

TEST(SegmentClockTest, TextHasBlankPaddedHourColonOrDotAndTwoDigitMinutes) {
  EXPECT_EQ(SegmentClockText(At(13, 47, 10, 200)), "13:47");
  EXPECT_EQ(SegmentClockText(At(13, 47, 10, 700)), "13.47");
  EXPECT_EQ(SegmentClockText(At(8, 5, 0, 0)), " 8:05");
  EXPECT_EQ(SegmentClockText(At(0, 0, 59, 999)), " 0.00");
}

// Middle pixels of the segments of a character whose left edge is x: a top, b upper right,
// c lower right, d bottom, e lower left, f upper left, g middle; then the colon's two dots.
const QPoint kSegmentMiddles[9] = {{8, 8},  {14, 12}, {14, 21}, {8, 26}, {3, 21},
                                   {3, 12}, {8, 17},  {3, 12},  {3, 20}};
const char* const kDigitSegments[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                                        "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};

TEST(SegmentClockTest, DigitsLightTheirSegmentsAndTheColonOnlyInTheFirstHalfSecond) {
  // Together the times show every digit and the blank.
  const struct {
    TDateTime time;
    const char* text;
  } cases[] = {{At(8, 19, 0, 0), " 8:19"},
               {At(23, 45, 0, 499), "23:45"},
               {At(16, 7, 0, 500), "16.07"},
               {At(12, 30, 7, 999), "12.30"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const QImage image = Face(c.time, false);
    for (int k : {0, 1, 3, 4}) {  // the characters' left edges are 2, 19, 42 and 59
      const std::string lit = c.text[k] == ' ' ? "" : kDigitSegments[c.text[k] - '0'];
      for (int s = 0; s < 7; ++s)
        EXPECT_EQ(
            image.pixelColor(kSegmentMiddles[s] +
                             QPoint(k < 2 ? 2 + 17 * k : 42 + 17 * (k - 3), 0)),
            lit.find(char('a' + s)) != std::string::npos ? kSegmentLitColor : kSegmentUnlitColor)
            << "character " << k << ", segment " << s;
    }
    for (int s : {7, 8})
      EXPECT_EQ(image.pixelColor(kSegmentMiddles[s] + QPoint(36, 0)),
                c.text[2] == ':' ? kSegmentLitColor : kSegmentUnlitColor);
    for (QPoint p : {QPoint(0, 0), QPoint(79, 35), QPoint(40, 34), QPoint(36, 12)})
      EXPECT_EQ(image.pixelColor(p), QColor(Qt::black))
          << "background at " << p.x() << "," << p.y();
  }
}

TEST(CalendarFaceTest, WhiteSheetWithFrameAndBinding) {
  const QImage image = Face(EncodeDate(2024, 1, 8), true);  // Monday
  for (QPoint p : {QPoint(0, 0), QPoint(79, 0), QPoint(79, 35), QPoint(0, 35), QPoint(40, 35),
                   QPoint(0, 20), QPoint(79, 20)})
    EXPECT_EQ(image.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
  // Binding rings: (x, 0) - (x + 1, 1) - (x + 3, 1) - (x + 4, 0) for x = 3, 11, ...
  for (int x = 3; x < 75; x += 8) {
    EXPECT_EQ(image.pixelColor(x + 2, 1), QColor(Qt::black)) << x;
    EXPECT_EQ(image.pixelColor(x + 6, 1), QColor(Qt::white)) << x;
  }
  EXPECT_EQ(image.pixelColor(76, 32), QColor(Qt::white));
}

int RedPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      count += c.red() > 0xA0 && c.green() < 0x40 && c.blue() < 0x40;
    }
  return count;
}

TEST(CalendarFaceTest, SundayInRedOtherDaysInBlackAndTheMonthNameDiffersFromItsDigits) {
  EXPECT_GT(RedPixels(Face(EncodeDate(2024, 1, 7), true)), 20);  // Sunday
  EXPECT_EQ(RedPixels(Face(EncodeDate(2024, 1, 6), true)), 0);   // Saturday
  EXPECT_EQ(RedPixels(Face(EncodeDate(2024, 1, 8), true)), 0);   // Monday
  const TDateTime t = EncodeDate(2024, 5, 20);
  EXPECT_NE(Face(t, true, true), Face(t, true, false));
  EXPECT_EQ(Face(t, true, true), Face(t, true, true));
}

}  // namespace
}  // namespace traklin
