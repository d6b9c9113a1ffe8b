// The simulated clock: time-scale levels and their timer settings.
#include "state/clock.h"

#include <algorithm>

namespace traklin {

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

}  // namespace traklin
