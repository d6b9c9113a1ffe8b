// Invariants every generated district must keep; each check returns the faults it found.
#pragma once

#include <string>
#include <vector>

#include "districtgen/district.h"

namespace traklin::districtgen::testing {

using Faults = std::vector<std::string>;

/// Links point back (or flip), switch and signal rules, lengths and limits, header counts.
Faults CheckSections(const District& d);
/// Peregon ends, throat parities and code ranges.
Faults CheckPeregonsAndThroats(const District& d);
/// File lamps inside their fragments, track lamp sets, set-up lamps below FirstLamp.
Faults CheckLamps(const District& d);
/// Every file lamp's line lies on drawn pixels of Pult.bmp.
Faults CheckPicture(const District& d);
/// Timetables list every LP in order; plans have timetable entries.
Faults CheckTimetables(const District& d);
/// File routes expand as the start-up check does, naming each switch exactly once.
Faults CheckFileRoutes(const District& d);

Faults CheckAll(const District& d);

}  // namespace traklin::districtgen::testing
