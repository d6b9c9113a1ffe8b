// Lookups by code or number: LPs, stations, creation plans and the timetable.
#include "area/area_queries.h"

#include <algorithm>
#include <climits>

namespace traklin {

int SearchLPIndex(const TAreaData& area, int lpCode) {
  for (int i = static_cast<int>(area.Puts.size()) - 1; i >= 0; --i) {
    if (area.Puts[i].Code == lpCode) return i;
  }
  return -1;
}

int ThroatLPIndex(const TAreaData& area, int g) {
  const int code = area.GorlStanzs[g].Code;
  const std::vector<int>& index = area.Index.ThroatLP;
  if (index.size() == area.GorlStanzs.size()) {
    const int lp = index[g];
    if (lp >= 0 && lp < static_cast<int>(area.Puts.size()) && area.Puts[lp].Code == code) return lp;
  }
  return FindLPIndex(area, code);
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

namespace {

int ScheduleListIndex(int dir, bool freight) {
  return (freight ? 2 : 0) + (dir & 1);
}

bool CarriesNumber(const TGraphTrainData& train, int number) {
  return std::find(std::begin(train.Numbers), std::end(train.Numbers), number) !=
         std::end(train.Numbers);
}

}  // namespace

int FindScheduleTrain(const TAreaData& area, int dir, bool freight, int number) {
  const TGraphTrainsData& trains = GetScheduleTrains(area, dir, freight);
  const int list = ScheduleListIndex(dir, freight);
  if (number != 0 && area.Index.ScheduleListSizes[list] == static_cast<int>(trains.size())) {
    const auto& numbers = area.Index.ScheduleNumbers[list];
    const auto it = std::lower_bound(numbers.begin(), numbers.end(), std::pair{number, INT_MIN});
    if (it == numbers.end() || it->first != number) return -1;
    if (it->second < static_cast<int>(trains.size()) && CarriesNumber(trains[it->second], number))
      return it->second;
  }
  return FindScheduleTrain(trains, number);
}

void BuildAreaIndex(TAreaData& area) {
  TAreaIndex& index = area.Index;
  // First, so that the lookups below read the codes as they are now, not a table of before.
  index.LPOfCode.clear();
  int maxCode = -1;
  bool indexable = true;
  for (const TPutData& put : area.Puts) {
    indexable = indexable && put.Code >= 0 && put.Code <= kMaxIndexedLPCode;
    maxCode = std::max(maxCode, put.Code);
  }
  if (indexable && maxCode >= 0) {
    index.LPOfCode.assign(static_cast<std::size_t>(maxCode) + 1, -1);
    for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp)
      index.LPOfCode[static_cast<std::size_t>(area.Puts[lp].Code)] = lp;
  }

  index.LPCount = area.Puts.size();
  index.ThroatLP.clear();
  for (const TGorlStanzData& throat : area.GorlStanzs)
    index.ThroatLP.push_back(FindLPIndex(area, throat.Code));

  for (int freight = 0; freight < 2; ++freight)
    for (int dir = 0; dir < 2; ++dir) {
      const TGraphTrainsData& trains = GetScheduleTrains(area, dir, freight != 0);
      auto& numbers = index.ScheduleNumbers[ScheduleListIndex(dir, freight != 0)];
      numbers.clear();
      for (int i = 0; i < static_cast<int>(trains.size()); ++i)
        for (int n : trains[i].Numbers)
          if (n != 0) numbers.emplace_back(n, i);
      // Sorted by number and then entry, so the last pair of a number has its last entry.
      std::sort(numbers.begin(), numbers.end());
      std::vector<std::pair<int, int>> last;
      for (std::size_t k = 0; k < numbers.size(); ++k)
        if (k + 1 == numbers.size() || numbers[k + 1].first != numbers[k].first)
          last.push_back(numbers[k]);
      numbers = std::move(last);
      index.ScheduleListSizes[ScheduleListIndex(dir, freight != 0)] =
          static_cast<int>(trains.size());
    }

  index.TrackOfSection.assign(area.SlSects.size(), {-1, -1});
  for (int lp = 0; lp < static_cast<int>(area.Puts.size()); ++lp) {
    const TTracksData& tracks = area.Puts[lp].Tracks;
    for (int t = 0; t < static_cast<int>(tracks.size()); ++t) {
      const int s = tracks[t].Section;
      if (s >= 0 && s < static_cast<int>(index.TrackOfSection.size()) &&
          index.TrackOfSection[s].first < 0)
        index.TrackOfSection[s] = {lp, t};
    }
  }

  index.ChainRatings.assign(area.TrainRoutes.size(), {});
  for (int lp = 0; lp < static_cast<int>(area.TrainRoutes.size()); ++lp)
    for (const TChainData& chain : area.TrainRoutes[lp].Chains) {
      RouteQuality q;
      TChainRatingData r;
      r.Valid = RateChain(area, lp, chain, q);
      r.Suitable = q.Suitable;
      r.Minus = q.Minus;
      r.Routes = q.Routes;
      r.Switches = q.Switches;
      index.ChainRatings[lp].push_back(r);
    }

  // Searched with the ratings above; the table is put in place once whole.
  index.BestChains.clear();
  std::vector<std::vector<TBestChainData>> best(area.TrainRoutes.size());
  for (int lp = 0; lp < static_cast<int>(area.TrainRoutes.size()); ++lp) {
    for (const TChainData& chain : area.TrainRoutes[lp].Chains)
      best[lp].push_back({chain.StartSection, chain.EndSection, -1});
    std::sort(best[lp].begin(), best[lp].end());
    best[lp].erase(std::unique(best[lp].begin(), best[lp].end(),
                               [](const TBestChainData& a, const TBestChainData& b) {
                                 return !(a < b) && !(b < a);
                               }),
                   best[lp].end());
    for (TBestChainData& b : best[lp]) b.Chain = FindBestRoute(area, lp, b.From, b.To);
  }
  index.BestChains = std::move(best);
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
