// A small line for the faults' tests: three stations on a single line, the middle one the
// dispatcher's, each peregon in two block sections.
#pragma once

#include <string>

namespace traklin::test {

// clang-format off
/// Three stations on a single line, odd trains to the right:
///
///   ЛЕС (Лесная, code 6)     РАЗ (Разъезд, code 7, no duty)    ГОР (Горная, code 8)
///       I ---.         peregon 1        .--- 3 ---.        peregon 2       .--- I
///       3 ---+--[1:1]---[1:2]--Н-- sw 4 +--- I ---+ sw 5 --[2:1]---[2:2]---+--- 2
///       2 ---+   block signal 1:1 Н                                        +--- 4
///       4 ---'   (odd) guards 1:2                                          `--- 6
///
/// Each peregon is 6 km in two block sections, "1:1" at ЛЕС, "1:2" at РАЗ. ЛЕС and ГОР form
/// their trains on I and 3 (ЛЕС) or I (ГОР).
// clang-format on
/// The line's description (as line.json) with `trains` as its timetable, a JSON array.
inline std::string FaultLineDescription(const std::string& trains) {
  return R"({"number": 42, "title": "Test", "base_year": 2024,
  "freight_numbers": [3001, 3998],
  "outside_left": ["З1", "З2", "З3", "З4", "З5"],
  "outside_right": ["В1", "В2", "В3", "В4", "В5"],
  "stations": [
    {"name": "Лесная", "mnem": "ЛЕС", "km": 0,
     "tracks": [[1001, 3, 2], [3, 3, 2], [2, 3, 3], [4, 3, 3]]},
    {"name": "Разъезд", "mnem": "РАЗ", "controlled": true, "km": 7,
     "tracks": [[1001, 3, 1], [3, 3, 1]]},
    {"name": "Горная", "mnem": "ГОР", "km": 14,
     "tracks": [[1001, 3, 2], [2, 3, 3], [4, 3, 3], [6, 3, 1]]}],
  "peregons": [{"length": 6000, "blocks": 2}, {"length": 6000, "blocks": 2}],
  "trains": )" +
         trains + "}";
}

/// Passenger 801 leaves ЛЕС for ГОР at 10:00 without stopping at РАЗ.
inline const char* const kPassenger801 =
    R"([{"number": 801, "from": "Лесная", "to": "Горная", "depart": "10:00"}])";

}  // namespace traklin::test
