// The segment clock and the calendar face drawn into pictures.
#include "console/clock_face.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "area/date_time.h"
#include "qt_test_support.h"

namespace traklin {
namespace {

using testing_support::App;

TDateTime At(int h, int m, int s, int ms) {
  return EncodeDate(2011, 3, 15) + (h * 3600 + m * 60 + s + ms / 1000.0) / 86400.0;
}

QImage SegmentClock(TDateTime t) {
  QImage image(kClockWidth, kClockHeight, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  DrawSegmentClock(painter, t, image.size());
  return image;
}

// The middle pixel of segment s of the character whose left edge is x.
QPoint SegmentMiddle(int s, int x) {
  static const QPoint middles[10] = {{8, 3}, {14, 7}, {14, 16}, {8, 21}, {3, 16},
                                     {3, 7}, {8, 12}, {3, 22},  {3, 7},  {3, 15}};
  return middles[s] + QPoint(x, 5);
}

// Seven segments a..g: 0 top, 1 upper right, 2 lower right, 3 bottom, 4 lower left,
// 5 upper left, 6 middle.
const char* const kDigitSegments[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                                        "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};

void ExpectDigit(const QImage& image, int x, char digit) {
  const std::string lit = digit == ' ' ? "" : kDigitSegments[digit - '0'];
  for (int s = 0; s < 7; ++s) {
    const bool on = lit.find(static_cast<char>('a' + s)) != std::string::npos;
    const QPoint p = SegmentMiddle(s, x);
    EXPECT_EQ(image.pixelColor(p), on ? kSegmentLitColor : kSegmentUnlitColor)
        << "character '" << digit << "' at x " << x << ", segment " << s;
  }
}

TEST(SegmentClockTest, TextHasBlankPaddedHourColonOrDotAndTwoDigitMinutes) {
  App();
  EXPECT_EQ(SegmentClockText(At(13, 47, 10, 200)), "13:47");
  EXPECT_EQ(SegmentClockText(At(13, 47, 10, 700)), "13.47");
  EXPECT_EQ(SegmentClockText(At(8, 5, 0, 0)), " 8:05");
  EXPECT_EQ(SegmentClockText(At(0, 0, 59, 999)), " 0.00");
}

TEST(SegmentClockTest, EveryDigitLightsItsSegments) {
  App();
  // " 8:19", "23:45", "16:07" together show every digit and the blank.
  const struct {
    TDateTime time;
    const char* text;
  } cases[] = {{At(8, 19, 0, 0), " 8:19"}, {At(23, 45, 0, 0), "23:45"}, {At(16, 7, 0, 0), "16:07"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const QImage image = SegmentClock(c.time);
    ExpectDigit(image, 2, c.text[0]);
    ExpectDigit(image, 19, c.text[1]);
    ExpectDigit(image, 42, c.text[3]);
    ExpectDigit(image, 59, c.text[4]);
  }
}

TEST(SegmentClockTest, ColonIsLitInTheFirstHalfSecondOnly) {
  App();
  for (int ms : {0, 499, 500, 999}) {
    SCOPED_TRACE(ms);
    const QImage image = SegmentClock(At(12, 30, 7, ms));
    const QColor expected = ms < 500 ? kSegmentLitColor : kSegmentUnlitColor;
    EXPECT_EQ(image.pixelColor(SegmentMiddle(8, 36)), expected);
    EXPECT_EQ(image.pixelColor(SegmentMiddle(9, 36)), expected);
    // The minutes still follow the narrow colon.
    ExpectDigit(image, 42, '3');
  }
}

TEST(SegmentClockTest, BackgroundIsBlackAndCoversThePicture) {
  App();
  const QImage image = SegmentClock(At(12, 30, 0, 0));
  for (QPoint p : {QPoint(0, 0), QPoint(79, 35), QPoint(40, 34), QPoint(36, 12)})
    EXPECT_EQ(image.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
}

int RedPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 0xA0 && c.green() < 0x40 && c.blue() < 0x40) ++count;
    }
  return count;
}

QImage CalendarFace(TDateTime t, bool digits = true) {
  QImage image(kClockWidth, kClockHeight, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  DrawCalendarFace(painter, t, image.size(), digits);
  return image;
}

TEST(CalendarFaceTest, WhiteSheetWithFrameAndBinding) {
  App();
  const QImage image = CalendarFace(EncodeDate(2024, 1, 8));  // Monday
  const QColor black(Qt::black), white(Qt::white);
  for (QPoint p : {QPoint(0, 0), QPoint(79, 0), QPoint(79, 35), QPoint(0, 35), QPoint(40, 35),
                   QPoint(0, 20), QPoint(79, 20)})
    EXPECT_EQ(image.pixelColor(p), black) << p.x() << "," << p.y();
  // Binding rings: (x, 0) - (x + 1, 1) - (x + 3, 1) - (x + 4, 0) for x = 3, 11, ...
  for (int x = 3; x < 75; x += 8) {
    EXPECT_EQ(image.pixelColor(x + 2, 1), black) << x;
    EXPECT_EQ(image.pixelColor(x + 6, 1), white) << x;
  }
  EXPECT_EQ(image.pixelColor(76, 32), white);
}

TEST(CalendarFaceTest, SundayIsWrittenInRedOtherDaysInBlack) {
  App();
  EXPECT_GT(RedPixels(CalendarFace(EncodeDate(2024, 1, 7))), 20);  // Sunday
  EXPECT_EQ(RedPixels(CalendarFace(EncodeDate(2024, 1, 6))), 0);   // Saturday
  EXPECT_EQ(RedPixels(CalendarFace(EncodeDate(2024, 1, 8))), 0);   // Monday
}

TEST(CalendarFaceTest, MonthAbbreviationDiffersFromTheDigits) {
  App();
  const TDateTime t = EncodeDate(2024, 5, 20);
  EXPECT_NE(CalendarFace(t, true), CalendarFace(t, false));
  EXPECT_EQ(CalendarFace(t, true), CalendarFace(t, true));
}

}  // namespace
}  // namespace traklin
