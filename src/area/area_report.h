// A short account of a district read from Data.dat: its header values and table sizes.
#pragma once

#include <string>
#include <vector>

#include "area/area_data.h"

namespace traklin {

/// One line per header value and per table of the district, "Name value", in the order of the
/// members of TAreaData (the header values first).
std::vector<std::string> DescribeAreaTables(const TAreaData& area);

/// The text with every "\r\n" (and any lone "\r") turned into "\n", for terminals and
/// message boxes.
std::string ToPlainLineBreaks(const std::string& text);

}  // namespace traklin
