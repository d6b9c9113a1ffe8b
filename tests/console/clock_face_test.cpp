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

// The segment clock at t, or the calendar face (with the month's digits or its name).
QImage Face(TDateTime t, bool calendar = false, bool digits = true) {
  testing_support::App();
  QImage image(kClockWidth, kClockHeight, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  calendar ? DrawCalendarFace(painter, t, image.size(), digits)
           : DrawSegmentClock(painter, t, image.size());
  return image;
}

TEST(SegmentClockTest, TextHasBlankPaddedHourColonOrDotAndTwoDigitMinutes) {
  EXPECT_EQ(SegmentClockText(At(13, 47, 10, 200)), "13:47");
  EXPECT_EQ(SegmentClockText(At(13, 47, 10, 700)), "13.47");
  EXPECT_EQ(SegmentClockText(At(8, 5, 0, 0)), " 8:05");
  EXPECT_EQ(SegmentClockText(At(0, 0, 59, 999)), " 0.00");
}

TEST(SegmentClockTest, DigitsLightTheirSegmentsAndTheColonOnlyInTheFirstHalfSecond) {
  // Middle pixels of segments a (top), b, c (right), d (bottom), e, f (left), g (middle) of a
  // character at x = 0, then of the colon's two dots; the characters stand at x 2, 19, 42, 59.
  const QPoint middles[9] = {{8, 8},  {14, 12}, {14, 21}, {8, 26}, {3, 21},
                             {3, 12}, {8, 17},  {3, 12},  {3, 20}};
  const char* const segments[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                                    "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
  const int left[] = {2, 19, 36, 42, 59};
  // Together the times show every digit, the blank, and the colon lit and dark.
  for (const auto& [time, text] : {std::pair{At(8, 19, 0, 0), " 8:19"},
                                   {At(23, 45, 0, 499), "23:45"},
                                   {At(16, 7, 0, 500), "16.07"},
                                   {At(12, 30, 7, 999), "12.30"}}) {
    const QImage image = Face(time);
    for (int k = 0; k < 5; ++k) {
      const std::string lit = k == 2           ? (text[2] == ':' ? "hi" : "")
                              : text[k] == ' ' ? ""
                                               : segments[text[k] - '0'];
      for (int s = k == 2 ? 7 : 0; s < (k == 2 ? 9 : 7); ++s)
        EXPECT_EQ(
            image.pixelColor(middles[s] + QPoint(left[k], 0)),
            lit.find(char('a' + s)) != std::string::npos ? kSegmentLitColor : kSegmentUnlitColor)
            << text << ", character " << k << ", segment " << s;
    }
    for (QPoint p : {QPoint(0, 0), QPoint(79, 35), QPoint(40, 34), QPoint(36, 12)})
      EXPECT_EQ(image.pixelColor(p), QColor(Qt::black))
          << "background at " << p.x() << "," << p.y();
  }
}

TEST(CalendarFaceTest, FramedWhiteSheetWithBindingSundayInRedMonthNameDiffersFromItsDigits) {
  const QImage image = Face(EncodeDate(2024, 1, 8), true);  // Monday
  for (QPoint p : {QPoint(0, 0), QPoint(79, 0), QPoint(79, 35), QPoint(0, 35), QPoint(40, 35),
                   QPoint(0, 20), QPoint(79, 20)})
    EXPECT_EQ(image.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
  // Binding rings: (x, 0) - (x + 1, 1) - (x + 3, 1) - (x + 4, 0) for x = 3, 11, ...
  for (int x = 3; x < 75; x += 8)
    EXPECT_EQ(std::pair(image.pixelColor(x + 2, 1), image.pixelColor(x + 6, 1)),
              std::pair(QColor(Qt::black), QColor(Qt::white)))
        << x;
  EXPECT_EQ(image.pixelColor(76, 32), QColor(Qt::white));
  auto redPixels = [](const QImage& face) {
    int count = 0;
    for (int y = 0; y < face.height(); ++y)
      for (int x = 0; x < face.width(); ++x) {
        const QColor c = face.pixelColor(x, y);
        count += c.red() > 0xA0 && c.green() < 0x40 && c.blue() < 0x40;
      }
    return count;
  };
  EXPECT_GT(redPixels(Face(EncodeDate(2024, 1, 7), true)), 20);                    // Sunday
  EXPECT_EQ(redPixels(Face(EncodeDate(2024, 1, 6), true)) + redPixels(image), 0);  // Sat, Mon
  const TDateTime t = EncodeDate(2024, 5, 20);
  EXPECT_NE(Face(t, true, true), Face(t, true, false));
  EXPECT_EQ(Face(t, true, true), Face(t, true, true));
}

}  // namespace
}  // namespace traklin
