// Station resolution: every named station of the catalogue is tied to the LP code through
// which trains for it leave the district.
#include <set>

#include "area/area_queries.h"
#include "area/district_setup.h"
#include "area/setup_internal.h"

namespace traklin {

using namespace setup_detail;

namespace {

/// Among the throats with side 0 or +1 whose code range holds the code, the one with the
/// narrowest range (the first on equal width); -1 when none.
int ChooseThroat(const TAreaData& area, int code) {
  int best = -1;
  int bestWidth = 0;
  for (int t = 0; t < static_cast<int>(area.GorlStanzs.size()); ++t) {
    const TGorlStanzData& th = area.GorlStanzs[t];
    if (th.Side != 0 && th.Side != 1) continue;
    if (code < th.CodeLow || code > th.CodeHigh) continue;
    const int width = th.CodeHigh - th.CodeLow;
    if (best < 0 || width < bestWidth) {
      best = t;
      bestWidth = width;
    }
  }
  return best;
}

/// Walks outwards from the throat over the chain of peregons and returns the code of the
/// last LP reached. The walk stops at the end of the line, at a fork, at a peregon already
/// passed and at a throat without a peregon.
int WalkOutwards(const TAreaData& area, int throat) {
  const TGorlStanzData& th = area.GorlStanzs[throat];
  const int d = (th.Parity ^ th.Flip) & 1;
  const int peregonCount = static_cast<int>(area.GraphPeregons.size());
  int code = th.Code;
  int peregon = th.Peregon;  // 1-based, 0 = none
  std::set<int> passed;
  while (peregon >= 1 && peregon <= peregonCount && passed.insert(peregon).second) {
    const int lpRef = area.GraphPeregons[peregon - 1].LP[d];  // LP index + 1
    if (lpRef < 1 || lpRef > static_cast<int>(area.Puts.size())) break;
    code = area.Puts[lpRef - 1].Code;
    int next = 0;
    int found = 0;
    for (int q = 0; q < peregonCount; ++q) {
      if (area.GraphPeregons[q].LP[d ^ 1] == lpRef) {
        ++found;
        next = q + 1;
      }
    }
    if (found != 1) break;
    peregon = next;
  }
  return code;
}

}  // namespace

void ResolveStations(TAreaData& area) {
  for (int i = 1; i < static_cast<int>(area.Stations.size()); ++i) {
    TStationData& station = area.Stations[i];
    if (station.Name.empty()) continue;
    if (FindLPIndex(area, i) >= 0) {
      station.LPCode = i;
      continue;
    }
    const int throat = ChooseThroat(area, i);
    station.LPCode = throat >= 0 ? WalkOutwards(area, throat) : -1;
  }
}

}  // namespace traklin
