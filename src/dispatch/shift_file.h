// The text of a recorded shift: its stamps of simulated time, its header and its stamped lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "area/area_data.h"

namespace traklin {

/// Whole tenths of a second since the calendar's day 0: the grid a shift's lines are stamped on.
using Tenths = long long;
inline constexpr Tenths kTenthsPerDay = 864000;

/// The clock (kept on whole milliseconds) cut down to its tenth of a second.
Tenths TenthsOf(TDateTime clock);
/// The time of a count of tenths: its day plus the tenths of that day over 864000. A time of day
/// built from whole seconds (day + s / 86400) is the same number, to the last bit.
TDateTime TimeOfTenths(Tenths t);
/// When an operation done between steps, the last of which brought the clock to `clock`, takes
/// effect: the start of the next step, half a second on (holds and answer spans count from it).
TDateTime DueAfter(TDateTime clock);
/// "HH:MM:SS.s", or "YYYY-MM-DD HH:MM:SS.s" with the date.
std::string FormatStamp(Tenths t, bool withDate);

/// The words of a scenario or shift line: the text before '#' or ';', split at blanks.
std::vector<std::string> ScenarioWords(const std::string& line);

/// What a shift's header says. Its lines are directives that a scenario's player ignores:
///   district NAME            the district (a number as `run` takes it, or a directory)
///   seed S                   the generator's seed at the start of the shift
///   setting SECTION/KEY=V    one key of the settings the shift ran with (all of them are
///                            written, so a replay does not depend on the machine's Traklin.ini)
///   start YYYY-MM-DD HH:MM:SS.s   the clock of start.sav
///   end YYYY-MM-DD HH:MM:SS.s     the clock when the shift ended (the last line of a shift
///                                 that ended in order)
struct ShiftHeader {
  std::string District;
  std::optional<std::uint64_t> Seed;
  std::vector<std::pair<std::string, std::string>> Settings;  ///< "SECTION/KEY", value
  std::optional<TDateTime> Start;
  std::optional<TDateTime> End;
};

/// Whether a line's first word makes it a header directive.
bool IsShiftDirective(const std::string& word);
/// Reads a directive's words (the first is the directive) into the header. Throws
/// ScenarioError with `line` for a malformed one or one given twice.
void ParseShiftDirective(const std::vector<std::string>& words, int line, ShiftHeader& header);
/// The header directives of a whole text; the other lines are not looked at.
ShiftHeader ParseShiftHeader(const std::string& text);

/// The header as written at the start of a shift (a comment line first).
std::string FormatShiftHeader(const std::string& district, std::uint64_t seed,
                              const std::vector<std::pair<std::string, std::string>>& settings,
                              TDateTime start);

/// Stamps the operation lines of one shift: with the date on the first line and on the first
/// line of every further day, with the time of day alone on the others.
class ShiftLineWriter {
 public:
  /// "STAMP TEXT" and, when there is a note, "  # NOTE" with its line breaks made blanks.
  std::string Line(TDateTime clock, const std::string& text, const std::string& note);

 private:
  Tenths day_ = -1;
};

}  // namespace traklin
