// Ring assignment at start-up: every LP gets the number of a ring sound file that exists.
#include <vector>

#include "area/district_setup.h"

namespace traklin {

int RingHash(int k, int n) {
  if (n <= 0) return 0;
  if (k < 0) return 29 % n;
  int x = 29;
  for (int i = 0; i <= k; ++i) x = ((x + 7) * 11) % 65536;
  return x % n;
}

int AssignRings(TAreaData& area, const std::function<bool(int)>& ringExists) {
  const auto exists = [&](int ring) { return ringExists && ringExists(ring); };
  const int lpCount = static_cast<int>(area.Puts.size());
  std::vector<int> available;
  for (int i = 0; i < lpCount; ++i) {
    if (exists(i + 1)) {
      area.Puts[i].Ring = i + 1;
      available.push_back(i + 1);
    }
  }
  const int listLength = static_cast<int>(available.size());
  const int stations = area.StationCount;
  int defaultRing = -1;
  if (exists(0))
    defaultRing = 0;
  else if (listLength > 0)
    defaultRing = available[RingHash(stations, listLength)];

  for (int i = 0; i < lpCount; ++i) {
    if (area.Puts[i].Ring >= 0) continue;
    int candidate = defaultRing;
    if (i < stations && listLength > 0) candidate = available[RingHash(i, listLength)];
    if (candidate >= 0 && exists(candidate)) area.Puts[i].Ring = candidate;
  }
  return defaultRing;
}

}  // namespace traklin
