// Calendar conversions of TDateTime.
#include "area/date_time.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <stdexcept>

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

}  // namespace traklin
