// Fuzz target: any bytes given to the district reader end in success or a ReadError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "area/area_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  traklin::TAreaData area;
  traklin::TReadDataError error;
  int maxSpeedLimit = 0;
  try {
    traklin::LoadAreaDataFromBytes(std::string_view(reinterpret_cast<const char*>(data), size),
                                   area, maxSpeedLimit, error);
  } catch (const traklin::ReadError&) {
    // A refused district is a normal outcome; anything else escapes and is a finding.
  }
  return 0;
}
