// Names and display forms: track numbers, station names, clock faces and dates.
#include <fmt/format.h>

#include <array>
#include <string_view>

#include "area/area_queries.h"
#include "area/date_time.h"

namespace traklin {
namespace {

// Track letters in their order; each is two bytes in UTF-8.
constexpr std::array<std::string_view, 9> kTrackLetters = {"А", "Б", "В", "Г", "Д",
                                                           "Е", "П", "И", "К"};

std::string Roman(int n) {
  std::string text;
  while (n > 10) {
    text += 'X';
    n -= 10;
  }
  if (n == 9 || n == 4) {
    text += 'I';
    ++n;
  }
  if (n == 10) {
    text += 'X';
    n = 0;
  } else if (n >= 5) {
    text += 'V';
    n -= 5;
  }
  text.append(static_cast<std::size_t>(n > 0 ? n : 0), 'I');
  return text;
}

}  // namespace

std::string FormatTrackName(int code) {
  const bool roman = code >= 1000;
  if (roman) code -= 1000;
  const int letter = code / 100;
  const int number = code % 100;
  std::string text = roman ? Roman(number) : std::to_string(number);
  if (letter >= 1 && letter <= static_cast<int>(kTrackLetters.size())) {
    text += kTrackLetters[letter - 1];
  }
  return text;
}

std::string StationNamePart(const TAreaData& area, int code, int part) {
  if (code < 0 || code >= static_cast<int>(area.Stations.size())) return {};
  static constexpr std::array<std::string_view, 5> kSeparators = {"(", "/", "/", "/", ")"};
  std::string_view rest = area.Stations[code].Name;
  std::string result;
  int position = 1;  // position in the cycle of the piece being cut: 1 = base, 2..5 = group
  std::size_t expected = 0;
  bool base = true;
  for (;;) {
    const std::size_t at = rest.find(kSeparators[expected]);
    const std::string_view piece = rest.substr(0, at);
    // Pieces between groups hold position 1 too, but part 1 is the base alone.
    if (base || (position == part && part != 1)) result += piece;
    base = false;
    if (at == std::string_view::npos) break;
    rest.remove_prefix(at + kSeparators[expected].size());
    position = static_cast<int>(expected + 1) % 5 + 1;
    expected = (expected + 1) % kSeparators.size();
  }
  return result;
}

std::string LPName(const TAreaData& area, int lp) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return {};
  if (lp < area.StationCount) {
    if (lp >= static_cast<int>(area.LPMnemNames.size())) return {};
    return area.LPMnemNames[lp];
  }
  return StationNamePart(area, area.Puts[lp].Code, 2);
}

std::string DSPName(const TAreaData& area, int lp) {
  return "ДСП " + LPName(area, lp);
}

std::string FormatHexNumber(int n) {
  if (n < 1) return "0h";
  return fmt::format("0{:X}h", n);
}

TDateTime TimeFromHHMM(int hhmm) {
  return (hhmm / 100) / 24.0 + (hhmm % 100) / 1440.0;
}

std::optional<TDateTime> TryDateFromYearMMDD(int year, int mmdd) {
  return TryEncodeDate(year, mmdd / 100, mmdd % 100);
}

TDateTime DateFromYearMMDD(int year, int mmdd) {
  return EncodeDate(year, mmdd / 100, mmdd % 100);
}

bool IsSecondHalf(TDateTime t) {
  return DecodeTime(t).Millisecond >= 500;
}

std::string FormatClock(bool minutesOnly, TDateTime t) {
  const TimeParts p = DecodeTime(t);
  if (minutesOnly) return fmt::format("{:>2} мин.", p.Minute);
  return fmt::format("{:>2}:{:02}", p.Hour, p.Minute);
}

std::string FormatDayMonth(TDateTime t) {
  const DateParts d = DecodeDate(t);
  return fmt::format("{:>2}.{:02}", d.Day, d.Month);
}

std::string FormatBlinkClock(TDateTime t) {
  const TimeParts p = DecodeTime(t);
  return fmt::format("{:>2}{}{:02}", p.Hour, IsSecondHalf(t) ? ' ' : ':', p.Minute);
}

}  // namespace traklin
