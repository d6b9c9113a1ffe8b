// Reader of the district file Data.dat into TAreaData.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "area/area_data.h"

namespace traklin {

/// Where the district reader stopped. All texts are UTF-8.
struct TReadDataError {
  int LineNo = 0;        ///< 1-based number of the last line read; 0 before the first line
  std::string LineText;  ///< the last line read, as read (comment included)
  std::string Rest;      ///< unconsumed remainder of the current list line
};

/// A district or save text could not be read. what() is the reason, line() the 1-based
/// line at which reading stopped (0 when no line was read).
class ReadError : public std::runtime_error {
 public:
  ReadError(const std::string& message, int line) : std::runtime_error(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

/// Resets every member to zero or empty, except GraphBackColor = white and SwitchPosBase = 10;
/// sets maxSpeedLimit to 10.
void ClearAreaData(TAreaData& area, int& maxSpeedLimit);

/// Reads a district file. On failure throws ReadError with the reason; `error` then holds the
/// line at which reading stopped. A file that cannot be opened gives the system's error text
/// and line 0. `area` is left as far as it was filled.
void LoadAreaData(const std::filesystem::path& file, TAreaData& area, int& maxSpeedLimit,
                  TReadDataError& error);

/// The same for the file's bytes already in memory (Windows-1251, CR LF or LF line ends).
void LoadAreaDataFromBytes(std::string_view bytes, TAreaData& area, int& maxSpeedLimit,
                           TReadDataError& error);

/// The start-up box text: "Error reading Data.dat\r\nAt Line N\r\n'text'\r\n\r\n" + message,
/// with inner single quotes of the line doubled.
std::string FormatReadDataError(const TReadDataError& error, const std::string& message);

}  // namespace traklin
