// Lookups by code or number: LPs, stations, creation plans and the timetable.
#include "area/area_queries.h"

namespace traklin {

int FindLPIndex(const TAreaData& area, int lpCode) {
  for (int i = static_cast<int>(area.Puts.size()) - 1; i >= 0; --i) {
    if (area.Puts[i].Code == lpCode) return i;
  }
  return -1;
}

int FindStationIndex(const TAreaData& area, int lpCode) {
  for (int i = static_cast<int>(area.Stanzs.size()) - 1; i >= 0; --i) {
    if (area.Stanzs[i].Code == lpCode) return i;
  }
  return -1;
}

int StationCoordinate(const TAreaData& area, int station) {
  if (station < 0 || station >= area.StationCount) return 0;
  if (station >= static_cast<int>(area.GraphFragms.size())) return 0;
  return area.GraphFragms[station].Coordinate;
}

int FindCreationPlan(const TAreaData& area, int trainNumber) {
  for (int i = static_cast<int>(area.CreationPlans.size()) - 1; i >= 0; --i) {
    if (area.CreationPlans[i].Number == trainNumber) return i;
  }
  return -1;
}

bool IsFreightTrainNumber(int number) {
  return number > 999 && !(number >= 6000 && number <= 7500);
}

const TGraphTrainsData& GetScheduleTrains(const TAreaData& area, int dir, bool freight) {
  // Only the parity counts, so a negative odd number still picks the odd list.
  const int d = dir & 1;
  return freight ? area.GruzTrains[d] : area.PassTrains[d];
}

int FindScheduleTrain(const TGraphTrainsData& trains, int number) {
  // Unused number slots hold 0, so 0 is no train number and must not match them.
  if (number == 0) return -1;
  for (int i = static_cast<int>(trains.size()) - 1; i >= 0; --i) {
    for (int n : trains[i].Numbers) {
      if (n == number) return i;
    }
  }
  return -1;
}

ScheduleTrainEnds GetScheduleTrainEnds(const TAreaData& area, bool freight, int number) {
  const TGraphTrainsData& trains = GetScheduleTrains(area, number & 1, freight);
  const int index = FindScheduleTrain(trains, number);
  if (index < 0) return {};
  const TGraphTrainData& train = trains[index];
  if (train.Stops.empty() || train.Stops.front().Section != 0) return {};
  return {train.Stops.front().LocoType, train.Stops.front().LPCode, train.LastLP};
}

namespace {

// Shared walk of the two stop searches: `isKind` picks the stops looked at, `matches` the one
// wanted. From a start above 0 the first stop of that kind must be the one.
template <typename IsKind, typename Matches>
int FindTrainStop(const TGraphTrainsData& trains, int train, int start, IsKind isKind,
                  Matches matches) {
  if (train < 0 || train >= static_cast<int>(trains.size())) return -1;
  const TStopsData& stops = trains[train].Stops;
  if (start < 0 || start >= static_cast<int>(stops.size())) return -1;
  for (int i = start; i < static_cast<int>(stops.size()); ++i) {
    if (!isKind(stops[i])) continue;
    if (matches(stops[i])) return i;
    if (start > 0) return -1;
  }
  return -1;
}

}  // namespace

int FindTrainStopBySection(const TGraphTrainsData& trains, int train, int section, int start) {
  return FindTrainStop(
      trains, train, start, [](const TStopData& s) { return s.Section != 0; },
      [section](const TStopData& s) { return s.Section == section; });
}

int FindTrainStopByLP(const TGraphTrainsData& trains, int train, int lpCode, int start) {
  return FindTrainStop(
      trains, train, start, [](const TStopData& s) { return s.Section == 0; },
      [lpCode](const TStopData& s) { return lpCode == 0 || s.LPCode == lpCode; });
}

}  // namespace traklin
