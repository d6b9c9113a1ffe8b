// TDateTime: days since 1899-12-30, converted with the std::chrono calendar.
#pragma once

#include <optional>
#include <string>

#include "area/area_data.h"

namespace traklin {

struct DateParts {
  int Year = 1899, Month = 12, Day = 30;
};
struct TimeParts {
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

inline constexpr double kMinute = 1.0 / 1440.0;
inline constexpr double kSecond = 1.0 / 86400.0;

/// Midnight of a calendar date; nullopt when the date does not exist (30 February).
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
/// Midnight of a calendar date; throws std::invalid_argument for a date that does not exist.
TDateTime EncodeDate(int year, int month, int day);
/// The calendar date of t (its integer part).
DateParts DecodeDate(TDateTime t);
/// The time of day of t, milliseconds rounded to the nearest.
TimeParts DecodeTime(TDateTime t);
/// ISO day of the week of t: 1 = Monday ... 7 = Sunday.
int DayOfWeekIso(TDateTime t);
/// The computer's current local date and time.
TDateTime LocalNow();

/// Parses a simulated span: a non-negative number with s, m, h or d ("90m", "1.5h", "7d").
std::optional<TDateTime> ParseSpan(const std::string& text);
/// Parses "YYYY-MM-DD HH:MM" (seconds optional); nullopt for a date that does not exist.
std::optional<TDateTime> ParseStartTime(const std::string& text);
/// "YYYY-MM-DD HH:MM:SS.s", tenths rounded.
std::string FormatEventTime(TDateTime t);
/// Parses what FormatEventTime writes; nullopt for any other text or a date that does not
/// exist. The time is whole tenths of a second: day + tenths / 864000.
std::optional<TDateTime> ParseEventTime(const std::string& text);

}  // namespace traklin
