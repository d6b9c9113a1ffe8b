// Throat queries the train passes need: the throat towards the next stop and task cover.
#include "trains/throat_queries.h"

#include <algorithm>

#include "area/area_queries.h"
#include "trains/train_records.h"

namespace traklin {

bool ThroatOfNextStop(SimulationData& sim, int& throat, int& dir, int lp, int i) {
  const TAreaData& area = sim.AreaData;
  const int throatCount = static_cast<int>(area.GorlStanzs.size());
  if (!ValidTrain(sim, i) || lp < 0 || lp >= static_cast<int>(area.Puts.size())) return false;
  const TTrainData& t = sim.State.Trains[i];
  const int code = area.Puts[lp].Code;

  const TGraphTrainsData* list = nullptr;
  int index = -1;
  const TGraphTrainData* entry = ScheduleEntry(sim, i, &list, &index);
  int stop = -1;
  if (entry && t.SCHEDULE_IDX >= 0) {
    int start = t.SCHEDULE_IDX;
    if (start > 0 && start < static_cast<int>(entry->Stops.size()) &&
        entry->Stops[start].LPCode != code)
      ++start;
    stop = FindTrainStopByLP(*list, index, code, start);
    if (stop >= static_cast<int>(entry->Stops.size())) stop = -1;
  }
  int nextLP = 0;
  bool eitherDir = false;
  if (stop < 0) {
    nextLP = t.ARRIVAL_LP_CODE;
  } else {
    for (int k = stop + 1; k < static_cast<int>(entry->Stops.size()); ++k)
      if (entry->Stops[k].LPCode > 0) {
        nextLP = entry->Stops[k].LPCode;
        break;
      }
    if (nextLP <= 0) return false;
    eitherDir = entry->Stops[stop].LocoType > 1;
  }

  auto qualifies = [&](int g) {
    const TGorlStanzData& th = area.GorlStanzs[g];
    return th.Code == code && (th.Parity == dir || eitherDir) && th.Side >= 0 &&
           ThroatServes(area, g, 0, nextLP) && (stop < 0 || ThroatNeighbourLP(area, g) == nextLP);
  };

  bool found = false;
  if (throat >= 0) {
    found = throat < throatCount && qualifies(throat);
  } else if (throatCount > 0) {
    const int first = sim.Random.Draw(throatCount);
    for (int n = 0; n < throatCount; ++n) {
      const int g = (first - n + throatCount) % throatCount;
      if (qualifies(g)) {
        throat = g;
        found = true;
        break;
      }
    }
  }
  if (throat >= 0 && throat < throatCount) dir = area.GorlStanzs[throat].Parity;
  return found;
}

int ReceiveTaskOfTrack(const SimulationData& sim, int lp, int track) {
  const TAreaData& area = sim.AreaData;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return -1;
  const int code = area.Puts[lp].Code;
  const int n = static_cast<int>(std::min(area.GorlStanzs.size(), sim.State.Gorls.size()));
  for (int g = n - 1; g >= 0; --g) {
    const TGorlTaskData& task = sim.State.Gorls[g];
    if (area.GorlStanzs[g].Code == code && task.TASKED != 0 && !task.SEND && task.TRACK == track)
      return g;
  }
  return -1;
}

bool ThroatTaskCoversTrain(const SimulationData& sim, int i) {
  if (!ValidTrain(sim, i)) return false;
  const TAreaData& area = sim.AreaData;
  const TTrainData& t = sim.State.Trains[i];
  const int s = t.HEAD.SECT_IDX;
  if (!ValidSection(area, s)) return false;
  int lp = -1;
  const int track = FindTrackOfSection(area, lp, s, false);
  int dir = t.HEAD.DIR;
  const int ahead = NextSectionAhead(sim, dir, s);
  const int n = static_cast<int>(std::min(area.GorlStanzs.size(), sim.State.Gorls.size()));
  for (int g = 0; g < n; ++g) {
    const TGorlTaskData& task = sim.State.Gorls[g];
    if (task.TASKED == 0) continue;
    const TGorlStanzData& th = area.GorlStanzs[g];
    if (task.SEND) {
      if (track >= 0 && th.Code == LPCode(area, lp) && task.TRACK == track) return true;
    } else if (th.EntrySection > 0 && (th.EntrySection == s || th.EntrySection == ahead)) {
      return true;
    }
  }
  return false;
}

}  // namespace traklin
