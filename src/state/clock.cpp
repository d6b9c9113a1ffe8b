// The simulated clock: time-scale levels and their timer settings.
#include "state/clock.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "area/date_time.h"

namespace traklin {

TDateTime AdvanceClock(TDateTime clock, TDateTime delta) {
  return std::round((clock + delta) * 86400000.0) / 86400000.0;
}

TimeScale TimeScaleFor(int level) {
  TimeScale s;
  s.Level = std::clamp(level, 0, kMaxTimeScale);
  s.TimerEnabled = s.Level != 0;
  int factor = s.Level == 0 ? 1 : 1 << (s.Level - 1);
  int steps = 1;
  while (factor > 10) {
    factor /= 2;
    steps *= 2;
  }
  s.IntervalMs = kBaseTimerInterval / factor;
  s.StepsPerTick = steps;
  if (!s.TimerEnabled)
    s.Label = "Пауза";
  else if (s.Level == 1)
    s.Label.clear();
  else
    s.Label = "x" + std::to_string(factor * steps);
  return s;
}

TDateTime StartClockTime(int baseYear, int month, int day) {
  const int year = month < 6 ? baseYear + 1 : baseYear;
  // The calendar of TDateTime covers the years 1 to 9999.
  if (year < 1 || year > 9999) throw std::invalid_argument("Invalid argument to date encode");
  if (month == 2 && day == 29 && !TryEncodeDate(year, 2, 29)) day = 28;
  return EncodeDate(year, month, day);
}

}  // namespace traklin
