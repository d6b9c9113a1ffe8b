// The check of one district as `traklin-cli check` runs it: reading and the start-up set-up.
#pragma once

#include <filesystem>
#include <iosfwd>

namespace traklin {

/// Exit status of a failed check.
inline constexpr int kCheckFailed = 2;

/// Reads dir's Data.dat and runs the start-up set-up on it, as the console does at start with
/// the default settings (panel view 0, not all block sections shown), text widths of 6 pixels
/// per character and no ring files.
///
/// On success writes to `out` one line per table of the district as read ("Name count"),
/// then per LP its routes and chains and the number of signals of each kind, and returns 0.
/// On failure writes to `err` the text of the console's error box, with every "\r\n" as a
/// newline ("Error reading Data.dat ..." or "Error initializing data+" and the reason), and
/// returns kCheckFailed. A missing directory fails too.
int RunDistrictCheck(const std::filesystem::path& dir, std::ostream& out, std::ostream& err);

}  // namespace traklin
