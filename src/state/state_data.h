// TStateData: the whole changing state of a run.
#pragma once

#include "area/area_data.h"

namespace traklin {

/// The dynamic state. Its arrays run parallel to those of TAreaData.
struct TStateData {
  TDateTime ClockTime = 0;              ///< simulated date and time
  TDateTime NextRandomFreightTime = 0;  ///< time of the next random freight generation
};

}  // namespace traklin
