// Calendar conversions of TDateTime.
#include "area/date_time.h"

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <regex>
#include <stdexcept>
#include <string>

namespace traklin {
namespace {

using namespace std::chrono;

constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

}  // namespace

std::optional<TDateTime> TryEncodeDate(int y, int m, int d) {
  if (m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
  if (!ymd.ok()) return std::nullopt;
  return static_cast<TDateTime>((sys_days{ymd} - kEpoch).count());
}

TDateTime EncodeDate(int y, int m, int d) {
  auto t = TryEncodeDate(y, m, d);
  if (!t) throw std::invalid_argument("Invalid argument to date encode");
  return *t;
}

DateParts DecodeDate(TDateTime t) {
  const auto days = static_cast<int>(std::floor(t));
  const year_month_day ymd{kEpoch + std::chrono::days{days}};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

TimeParts DecodeTime(TDateTime t) {
  double frac = std::fabs(t - std::trunc(t));
  auto ms = static_cast<long long>(std::llround(frac * 86400000.0));
  if (ms >= 86400000LL) ms = 86399999LL;
  TimeParts p;
  p.Hour = static_cast<int>(ms / 3600000);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Millisecond = static_cast<int>(ms % 1000);
  return p;
}

int DayOfWeekIso(TDateTime t) {
  const auto days = static_cast<int>(std::floor(t));
  const weekday wd{kEpoch + std::chrono::days{days}};
  return static_cast<int>(wd.iso_encoding());
}

TDateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const TDateTime date = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return date + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

std::optional<TDateTime> ParseSpan(const std::string& text) {
  if (text.size() < 2) return std::nullopt;
  double unit = 0;
  switch (text.back()) {
    case 's':
      unit = kSecond;
      break;
    case 'm':
      unit = kMinute;
      break;
    case 'h':
      unit = 60 * kMinute;
      break;
    case 'd':
      unit = 1.0;
      break;
    default:
      return std::nullopt;
  }
  const std::string number = text.substr(0, text.size() - 1);
  if (number.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
  try {
    std::size_t used = 0;
    const double value = std::stod(number, &used);
    // Ten thousand days is far beyond any shift and keeps the clock inside the calendar.
    if (used != number.size() || !std::isfinite(value) || value < 0 || value * unit > 10000)
      return std::nullopt;
    return value * unit;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<TDateTime> ParseStartTime(const std::string& text) {
  static const std::regex kPattern(R"((\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2})(?::(\d{2}))?)");
  std::smatch m;
  if (!std::regex_match(text, m, kPattern)) return std::nullopt;
  const auto number = [&](int k) { return m[k].matched ? std::stoi(m[k].str()) : 0; };
  const int h = number(4), mi = number(5), s = number(6);
  if (h > 23 || mi > 59 || s > 59) return std::nullopt;
  const auto day = TryEncodeDate(number(1), number(2), number(3));
  if (!day || number(1) < 1) return std::nullopt;
  return *day + h / 24.0 + mi * kMinute + s * kSecond;
}

std::string FormatEventTime(TDateTime t) {
  // Whole tenths of a second, so that 23:59:59.96 becomes the next day's 00:00:00.0.
  const double tenths = std::round(t * 864000.0);
  const double days = std::floor(tenths / 864000.0);
  long rest = static_cast<long>(tenths - days * 864000.0);
  const DateParts date = DecodeDate(days);
  const long h = rest / 36000;
  rest %= 36000;
  const long m = rest / 600;
  rest %= 600;
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{}", date.Year, date.Month, date.Day, h,
                     m, rest / 10, rest % 10);
}

std::optional<TDateTime> ParseEventTime(const std::string& text) {
  // Checked by hand: the shift reader gives this any word of a hand-edited file.
  static constexpr char kForm[] = "dddd-dd-dd dd:dd:dd.d";
  if (text.size() != sizeof(kForm) - 1) return std::nullopt;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const bool digit = text[k] >= '0' && text[k] <= '9';
    if (kForm[k] == 'd' ? !digit : text[k] != kForm[k]) return std::nullopt;
  }
  const auto number = [&](std::size_t from, std::size_t n) {
    return std::stoi(text.substr(from, n));
  };
  const int h = number(11, 2), mi = number(14, 2), s = number(17, 2), tenth = number(20, 1);
  if (h > 23 || mi > 59 || s > 59) return std::nullopt;
  const auto day = TryEncodeDate(number(0, 4), number(5, 2), number(8, 2));
  if (!day || number(0, 4) < 1) return std::nullopt;
  return *day + (((h * 60 + mi) * 60 + s) * 10 + tenth) / 864000.0;
}

}  // namespace traklin
