// The names of switches, sections, signals, peregons and tracks as an instructor writes them.
#include "area/object_names.h"

#include <algorithm>
#include <stdexcept>

#include "area/area_queries.h"

namespace traklin {

namespace {

bool ValidSect(const TAreaData& area, int s) {
  return s > 0 && s < static_cast<int>(area.SlSects.size());
}

/// The fragment (station) a lamp is drawn in, -1 when none.
int LampStation(const TAreaData& area, int lamp) {
  if (lamp <= 0 || lamp >= static_cast<int>(area.GraphLamps.size())) return -1;
  const int f = area.GraphLamps[lamp].Station;
  return f >= 0 && f < area.StationCount && f < static_cast<int>(area.Puts.size()) ? f : -1;
}

int SectionSwitchNumber(const TAreaData& area, int s) {
  if (!ValidSect(area, s)) return 0;
  const TSlSectData& d = area.SlSects[s];
  return d.Switch[1] > 0 ? d.Switch[1] : d.Switch[0];
}

int TrackIndexAt(const TAreaData& area, int lp, int s) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return -1;
  int holder = lp;
  return FindTrackOfSection(area, holder, s, true);
}

/// The station of every section (-1 none), with the block sections of the peregons left out.
std::vector<int> StationOfEverySection(const TAreaData& area) {
  const int count = static_cast<int>(area.SlSects.size());
  std::vector<char> onPeregon(std::max(count, 0), 0);
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p)
    for (const int s : PeregonSections(area, p)) onPeregon[s] = 1;
  std::vector<int> station(std::max(count, 0), -1);
  for (int s = 1; s < count; ++s) {
    if (onPeregon[s]) continue;
    int lp = -1;
    if (FindTrackOfSection(area, lp, s, false) >= 0) {
      station[s] = lp;
      continue;
    }
    if (const int w = SectionSwitchNumber(area, s); w > 0) {
      station[s] = SwitchStation(area, w);
      continue;
    }
    station[s] = LampStation(area, SectionLamp(area, s, 0));
  }
  return station;
}

}  // namespace

const char* SignalLetter(int direction) {
  return (direction & 1) ? "Н" : "Ч";
}

int SwitchStation(const TAreaData& area, int w) {
  if (w <= 0 || w >= static_cast<int>(area.Strels.size())) return -1;
  const TStrelData& sw = area.Strels[w];
  for (const int lamp : {sw.LampsA[0], sw.LampsA[1], sw.PlusLamps[0], sw.MinusLamps[0]})
    if (const int lp = LampStation(area, lamp); lp >= 0) return lp;
  for (int lp = 0; lp < static_cast<int>(area.TrainRoutes.size()); ++lp)
    for (const TTrainRouteData& route : area.TrainRoutes[lp].Routes)
      for (int k = 0; k < kMaxRouteSwitches; ++k)
        if (route.SwitchNumber[k] == w) return lp;
  return -1;
}

std::vector<int> StationSwitches(const TAreaData& area, int lp) {
  std::vector<int> list;
  if (lp < 0) return list;
  for (int w = 1; w < static_cast<int>(area.Strels.size()); ++w)
    if (area.Strels[w].Section > 0 && SwitchStation(area, w) == lp) list.push_back(w);
  return list;
}

std::vector<int> PeregonSections(const TAreaData& area, int p) {
  std::vector<int> list;
  if (p < 0 || p >= static_cast<int>(area.GraphPeregons.size())) return list;
  const TGraphPeregonData& per = area.GraphPeregons[p];
  const int lamps = per.BlockLamps[1] - per.BlockLamps[0] + 1;
  int s = per.EndSection[0];
  int dir = 1;
  for (int n = 0; ValidSect(area, s) && n < static_cast<int>(area.SlSects.size()); ++n) {
    list.push_back(s);
    // Without its far end (a district not set up) the block lamps tell the count.
    if (s == per.EndSection[1] ||
        (per.EndSection[1] <= 0 && static_cast<int>(list.size()) >= lamps))
      break;
    try {
      s = NextSection(area, dir, s, false);
    } catch (const std::runtime_error&) {
      break;
    }
  }
  return list;
}

std::optional<std::pair<int, int>> SectionPeregonBlock(const TAreaData& area, int s) {
  if (!ValidSect(area, s)) return std::nullopt;
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p) {
    const std::vector<int> sections = PeregonSections(area, p);
    const auto at = std::find(sections.begin(), sections.end(), s);
    if (at != sections.end()) return std::make_pair(p, static_cast<int>(at - sections.begin()) + 1);
  }
  return std::nullopt;
}

int PeregonBlockSection(const TAreaData& area, int p, int k) {
  const std::vector<int> sections = PeregonSections(area, p);
  return k >= 1 && k <= static_cast<int>(sections.size()) ? sections[k - 1] : 0;
}

int SectionStation(const TAreaData& area, int s) {
  if (!ValidSect(area, s)) return -1;
  return StationOfEverySection(area)[s];
}

std::string SectionName(const TAreaData& area, int s) {
  if (!ValidSect(area, s)) return {};
  if (const auto block = SectionPeregonBlock(area, s))
    return std::to_string(block->first + 1) + ":" + std::to_string(block->second);
  int lp = -1;
  const int track = FindTrackOfSection(area, lp, s, false);
  if (track >= 0) return FormatTrackName(area.Puts[lp].Tracks[track].Number);
  if (const int w = SectionSwitchNumber(area, s); w > 0) return std::to_string(w) + "СП";
  return FormatHexNumber(s);
}

std::vector<int> StationSections(const TAreaData& area, int lp) {
  std::vector<int> list;
  if (lp < 0) return list;
  const std::vector<int> station = StationOfEverySection(area);
  for (int s = 1; s < static_cast<int>(station.size()); ++s)
    if (station[s] == lp) list.push_back(s);
  return list;
}

int FindStationSection(const TAreaData& area, int lp, const std::string& name) {
  for (const int s : StationSections(area, lp))
    if (SectionName(area, s) == name || FormatHexNumber(s) == name) return s;
  return 0;
}

int FindBlockSection(const TAreaData& area, const std::string& name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= name.size() || colon > 6 ||
      name.size() - colon > 7)
    return 0;
  const std::string a = name.substr(0, colon), b = name.substr(colon + 1);
  const auto digits = [](const std::string& t) {
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(a) || !digits(b)) return 0;
  return PeregonBlockSection(area, std::stoi(a) - 1, std::stoi(b));
}

int SignalStation(const TAreaData& area, int g) {
  if (g < 0 || g >= static_cast<int>(area.Semaphores.size())) return -1;
  const TSemaphoreData& sem = area.Semaphores[g];
  if (sem.Kind == 2) return -1;
  if (sem.LP >= 0 && sem.LP < static_cast<int>(area.Puts.size())) return sem.LP;
  return sem.Kind == 0 ? -1 : SectionStation(area, sem.Section);
}

std::string SignalName(const TAreaData& area, int g) {
  if (g < 0 || g >= static_cast<int>(area.Semaphores.size())) return {};
  const TSemaphoreData& sem = area.Semaphores[g];
  const std::string letter = SignalLetter(sem.Direction);
  const int lp = SignalStation(area, g);
  if (lp < 0) return SectionName(area, sem.Section) + " " + letter;
  const int track = TrackIndexAt(area, lp, sem.Section);
  if (track >= 0) return letter + FormatTrackName(area.Puts[lp].Tracks[track].Number);
  if (sem.Kind == 0) {
    // An entrance signal; a station entered from several peregons in one direction tells
    // them apart by the peregon.
    for (int h = 0; h < static_cast<int>(area.Semaphores.size()); ++h) {
      const TSemaphoreData& other = area.Semaphores[h];
      if (h != g && other.Kind == 0 && other.LP == sem.LP && other.Direction == sem.Direction)
        return letter + ":" + std::to_string(sem.Next);
    }
    return letter;
  }
  return letter + FormatHexNumber(sem.Section);
}

std::string SignalDesignation(const TAreaData& area, int g) {
  const int lp = SignalStation(area, g);
  if (lp < 0) return SignalName(area, g);
  return std::to_string(area.Puts[lp].Code) + " " + SignalName(area, g);
}

std::vector<int> StationSignals(const TAreaData& area, int lp) {
  std::vector<int> list;
  if (lp < 0) return list;
  for (int g = 0; g < static_cast<int>(area.Semaphores.size()); ++g)
    if (SignalStation(area, g) == lp) list.push_back(g);
  return list;
}

int FindStationSignal(const TAreaData& area, int lp, const std::string& name) {
  for (const int g : StationSignals(area, lp))
    if (SignalName(area, g) == name) return g;
  return -1;
}

std::string StationTitle(const TAreaData& area, int lp) {
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return {};
  const std::string name = StationNamePart(area, area.Puts[lp].Code, 2);
  return name.empty() ? LPName(area, lp) : name;
}

std::string PeregonTitle(const TAreaData& area, int p) {
  if (p < 0 || p >= static_cast<int>(area.GraphPeregons.size())) return {};
  const TGraphPeregonData& per = area.GraphPeregons[p];
  return StationTitle(area, per.LP[0] - 1) + " – " + StationTitle(area, per.LP[1] - 1);
}

}  // namespace traklin
