// The start-up set-up in its fixed order, the reference checks and the set-up summary.
#include "area/district_setup.h"

#include <fmt/format.h>

#include "area/area_queries.h"
#include "area/setup_internal.h"

namespace traklin {

using namespace setup_detail;

void CheckDistrictReferences(TAreaData& area) {
  for (int s = 0; s < static_cast<int>(area.Sekzs.size()); ++s) {
    const int lamp = area.Sekzs[s];
    if (!IsLampRef(area, lamp)) Fail(fmt::format("Lamp {} of section {} out of bounds", lamp, s));
  }

  for (int f = 0; f < static_cast<int>(area.GraphFragms.size()); ++f) {
    for (int lamp : area.GraphFragms[f].DepartCommitLamp) {
      if (!IsLampRef(area, lamp))
        Fail(fmt::format("Departure commit lamp {} of station {} out of bounds", lamp, f));
    }
  }

  const int lpCount = static_cast<int>(area.Puts.size());
  const int fragmCount = static_cast<int>(area.GraphFragms.size());
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p) {
    const TGraphPeregonData& gp = area.GraphPeregons[p];
    for (int e = 0; e < 2; ++e) {
      if (gp.LP[e] < 0 || gp.LP[e] > lpCount)
        Fail(fmt::format("Graph peregon {} refers to unknown LP {}", p + 1, gp.LP[e]));
      if (gp.Drawn != 0 && (gp.LP[e] < 1 || gp.LP[e] > fragmCount))
        Fail(fmt::format("Graph peregon {} is drawn but has no station at end {}", p + 1, e));
    }
    if (!IsSection(area, gp.EndSection[0]))
      Fail(fmt::format("Graph peregon {} end section {} out of bounds", p + 1, gp.EndSection[0]));
    if (gp.BlockLamps[1] >= gp.BlockLamps[0] &&
        (!IsLampRef(area, gp.BlockLamps[0]) || !IsLampRef(area, gp.BlockLamps[1])))
      Fail(fmt::format("Block lamps {}..{} of graph peregon {} out of bounds", gp.BlockLamps[0],
                       gp.BlockLamps[1], p + 1));
    for (int lamp : gp.DirectionLamps) {
      if (!IsLampRef(area, lamp))
        Fail(fmt::format("Direction lamp {} of graph peregon {} out of bounds", lamp, p + 1));
    }
  }

  const int stationNames = static_cast<int>(area.Stations.size());
  for (int i = 0; i < lpCount; ++i) {
    const int code = area.Puts[i].Code;
    if (code < 0 || code >= stationNames)
      Fail(fmt::format("LP code {} of LP {} has no entry among the station names", code, i));
  }

  AddMissingRouteEntries(area);
}

int PrepareDistrict(TAreaData& area, const SetupOptions& options) {
  CheckDistrictReferences(area);
  CompletePeregons(area, options);
  SetNameLamps(area, options);
  CheckRoutes(area);
  const int ring = AssignRings(area, options.RingExists);
  BuildAreaIndex(area);
  return ring;
}

std::vector<std::string> DescribeSetup(const TAreaData& area) {
  std::vector<std::string> lines;
  for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp) {
    int routes = 0;
    int chains = 0;
    if (lp < static_cast<int>(area.TrainRoutes.size())) {
      routes = static_cast<int>(area.TrainRoutes[lp].Routes.size());
      chains = static_cast<int>(area.TrainRoutes[lp].Chains.size());
    }
    lines.push_back(fmt::format("LP {} (code {}) {}: {} routes, {} chains", lp, area.Puts[lp].Code,
                                LPName(area, lp), routes, chains));
  }
  int kinds[4] = {0, 0, 0, 0};
  int other = 0;
  for (const TSemaphoreData& s : area.Semaphores) {
    if (s.Kind < 4)
      ++kinds[s.Kind];
    else
      ++other;
  }
  std::string signals = fmt::format(
      "Signals: {} peregon end (kind 0), {} to throat (kind 1), "
      "{} block (kind 2), {} other station (kind 3)",
      kinds[0], kinds[1], kinds[2], kinds[3]);
  if (other > 0) signals += fmt::format(", {} of unknown kind", other);
  lines.push_back(signals);
  return lines;
}

}  // namespace traklin
