// The colour a panel lamp shows for its state flags.
#pragma once

#include "area/area_queries.h"
#include "state/state_data.h"

namespace traklin {

/// Red when RED; else yellow when YELLOW; else, when YELLOW_BLINK, yellow in the first half of
/// each simulated second and the steady colour in the second; the steady colour is green when
/// GREEN and grey otherwise.
inline TColor LampColour(const TLampControlData& lamp, TDateTime clock) {
  if (lamp.RED) return kLampRed;
  if (lamp.YELLOW) return kLampYellow;
  const TColor steady = lamp.GREEN ? kLampGreen : kLampGrey;
  if (lamp.YELLOW_BLINK && !IsSecondHalf(clock)) return kLampYellow;
  return steady;
}

}  // namespace traklin
