// Reader of the district file Data.dat (placeholder until the section readers land).
#include "area/area_reader.h"

namespace traklin {

void ClearAreaData(TAreaData& area, int& maxSpeedLimit) {
  area = TAreaData{};
  maxSpeedLimit = 10;
}

void LoadAreaData(const std::filesystem::path& file, TAreaData& area, int& maxSpeedLimit,
                  TReadDataError& error) {
  (void)file;
  ClearAreaData(area, maxSpeedLimit);
  error = TReadDataError{};
  throw ReadError("Unexpected EOF", 0);
}

void LoadAreaDataFromBytes(std::string_view bytes, TAreaData& area, int& maxSpeedLimit,
                           TReadDataError& error) {
  (void)bytes;
  ClearAreaData(area, maxSpeedLimit);
  error = TReadDataError{};
  throw ReadError("Unexpected EOF", 0);
}

std::string FormatReadDataError(const TReadDataError& error, const std::string& message) {
  std::string quoted = "'";
  for (char c : error.LineText) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  quoted += "'";
  return "Error reading Data.dat\r\nAt Line " + std::to_string(error.LineNo) + "\r\n" + quoted +
         "\r\n\r\n" + message;
}

}  // namespace traklin
