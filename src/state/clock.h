// The simulated clock: time-scale levels and their timer settings.
#pragma once

#include <string>

#include "area/area_data.h"

namespace traklin {

inline constexpr TDateTime kStepLength = 0.5 / 86400.0;    ///< one simulation step
inline constexpr TDateTime kAutosavePeriod = 1.0 / 144.0;  ///< 10 simulated minutes
inline constexpr TDateTime kAutosaveRetry = 1.0 / 576.0;   ///< 2.5 simulated minutes
inline constexpr int kBaseTimerInterval = 500;             ///< ms
inline constexpr int kMaxTimeScale = 9;
inline constexpr TColor kMultiplierColor = 0xE0C0D0;

/// What a time-scale level means for the step timer and the multiplier label.
struct TimeScale {
  int Level = 1;
  bool TimerEnabled = true;
  int IntervalMs = kBaseTimerInterval;
  int StepsPerTick = 1;
  std::string Label;  ///< "Пауза", empty at level 1, else "x" + speed-up
};

/// The clock moved on by delta (days), kept on whole milliseconds. A plain sum of half seconds
/// drifts (about 25 ms a day at today's dates), so that a clock read as 08:00:00 would show 07:59
/// and plans would fire a step late; this never drifts.
TDateTime AdvanceClock(TDateTime clock, TDateTime delta);

/// The settings of level 0..9 (levels outside are clamped).
TimeScale TimeScaleFor(int level);

/// The clock's initial time: midnight of (Y, month, day) with Y = baseYear + 1 for a month
/// before June, else baseYear. 29 February falls back to 28 February in a year that has no
/// leap day. Throws std::invalid_argument when the date still does not exist (years outside
/// 1..9999).
TDateTime StartClockTime(int baseYear, int month, int day);

}  // namespace traklin
