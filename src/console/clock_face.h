// The faces of the main window's clock: the segment clock and the calendar sheet.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>

#include "area/area_data.h"

class QPainter;

namespace traklin {

/// Size of the clock picture in pixels.
inline constexpr int kClockWidth = 80;
inline constexpr int kClockHeight = 36;

inline const QColor kSegmentLitColor{0x00, 0xF0, 0xE0};
inline const QColor kSegmentUnlitColor{0x30, 0x30, 0x30};

/// The five characters the segment clock shows: the hour with a leading blank below 10, ":" in
/// the first half of each second and "." in the second half, and the minutes in two digits.
QString SegmentClockText(TDateTime time);

/// Draws the time as seven-segment digits on black into a picture of the given size.
void DrawSegmentClock(QPainter& painter, TDateTime time, QSize size);

/// Draws the date as a tear-off calendar sheet. The month is written in two digits when
/// monthAsDigits, else as its abbreviation.
void DrawCalendarFace(QPainter& painter, TDateTime time, QSize size, bool monthAsDigits);

}  // namespace traklin
