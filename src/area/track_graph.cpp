// Walks over the track graph, section lamps and station throats.
#include <stdexcept>

#include "area/area_queries.h"

namespace traklin {
namespace {

bool ValidSection(const TAreaData& area, int section) {
  return section >= 1 && section < static_cast<int>(area.SlSects.size());
}

bool ValidDirection(int dir) {
  return dir == 0 || dir == 1;
}

// Upper bound of any walk: a walk that visits more sections than exist runs in a circle.
int WalkLimit(const TAreaData& area) {
  return static_cast<int>(area.SlSects.size());
}

const TGraphPeregonData* GraphPeregon(const TAreaData& area, int index) {
  if (index < 0 || index >= static_cast<int>(area.GraphPeregons.size())) return nullptr;
  return &area.GraphPeregons[index];
}

// LP index of a graph peregon end (stored as index + 1), -1 when none or out of range.
int PeregonEndLP(const TAreaData& area, const TGraphPeregonData& peregon, int end) {
  const int lp = peregon.LP[end & 1] - 1;
  if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return -1;
  return lp;
}

const TStrelData* Switch(const TAreaData& area, int sw) {
  if (sw < 1 || sw >= static_cast<int>(area.Strels.size())) return nullptr;
  return &area.Strels[sw];
}

// The last non-zero of up to three lamps, the first one when all are zero.
int LastNonZero(const int (&lamps)[3]) {
  for (int i = 2; i > 0; --i) {
    if (lamps[i] != 0) return lamps[i];
  }
  return lamps[0];
}

// Rule 2 of SectionLamp: the lamp of the switch at end e of the section, 0 when none.
int SwitchEndLamp(const TAreaData& area, const TSlSectData& sect, int e, int prev) {
  const TStrelData* sw = Switch(area, sect.Switch[e]);
  if (sw == nullptr) return 0;
  int lamp = 0;
  if (prev == 0 || sect.Straight[e] == prev) lamp = LastNonZero(sw->PlusLamps);
  if (lamp == 0 && (prev == 0 || sect.Side[e] == prev)) lamp = LastNonZero(sw->MinusLamps);
  if (lamp == 0) {
    if (sect.Switch[1 - e] != 0) return 0;
    lamp = sw->LampsA[0];
  }
  return lamp;
}

}  // namespace

int NextSection(const TAreaData& area, int& dir, int section, bool side) {
  if (!ValidSection(area, section) || !ValidDirection(dir)) return 0;
  const TSlSectData& sect = area.SlSects[section];
  if (sect.Flip[dir] != 0) {
    if (side) throw std::runtime_error("Unexpected switch at parity flip");
  }
  const int next = side ? sect.Side[dir] : sect.Straight[dir];
  if (!ValidSection(area, next)) return 0;
  if (sect.Flip[dir] != 0) dir = 1 - dir;
  return next;
}

int FindTrackOfSection(const TAreaData& area, int& lp, int section, bool withinLP) {
  const auto searchLP = [&](int index) {
    const TTracksData& tracks = area.Puts[index].Tracks;
    for (int t = 0; t < static_cast<int>(tracks.size()); ++t) {
      if (tracks[t].Section == section) return t;
    }
    return -1;
  };
  // The set-up's index answers while the district has the sections and LPs it was made for;
  // a track it names is checked, so an index left from an edited district is not believed.
  const std::vector<std::pair<int, int>>& index = area.Index.TrackOfSection;
  std::pair<int, int> found{-2, -1};
  if (index.size() == area.SlSects.size() && area.Index.LPCount == area.Puts.size() &&
      section >= 0 && section < static_cast<int>(index.size())) {
    found = index[section];
    if (found.first >= 0 &&
        (found.first >= static_cast<int>(area.Puts.size()) ||
         found.second >= static_cast<int>(area.Puts[found.first].Tracks.size()) ||
         area.Puts[found.first].Tracks[found.second].Section != section))
      found = {-2, -1};
  }
  if (withinLP) {
    if (lp < 0 || lp >= static_cast<int>(area.Puts.size())) return -1;
    if (found.first == lp) return found.second;
    return searchLP(lp);
  }
  if (found.first >= -1) {
    lp = found.first;
    return found.second;
  }
  lp = -1;
  for (int i = 0; i < static_cast<int>(area.Puts.size()); ++i) {
    const int track = searchLP(i);
    if (track >= 0) {
      lp = i;
      return track;
    }
  }
  return -1;
}

int FindSemaphoreAhead(const TAreaData& area, int dir, int section) {
  if (!ValidDirection(dir)) return -1;
  int d = dir;
  for (int steps = 0; steps < WalkLimit(area) && ValidSection(area, section); ++steps) {
    const int signal = SectionSemaphore(area, section, d);
    if (signal >= 0) return signal;
    if (area.SlSects[section].Switch[d] != 0) return -1;
    section = NextSection(area, d, section, false);
  }
  return -1;
}

int GraphPeregonLength(const TAreaData& area, int peregon) {
  const TGraphPeregonData* p = GraphPeregon(area, peregon);
  if (p == nullptr) return 0;
  // Walking with NextSection follows a parity flip inside the peregon instead of turning
  // back at it.
  int dir = kEven;
  int section = p->EndSection[1];
  int length = 0;
  for (int steps = 0; steps < WalkLimit(area) && ValidSection(area, section); ++steps) {
    length += area.SlSects[section].Length;
    if (section == p->EndSection[0]) return length;
    section = NextSection(area, dir, section, false);
  }
  return 0;
}

int FindGraphPeregonByEnd(const TAreaData& area, int section, int end) {
  if (section < 1 || !ValidDirection(end)) return -1;
  for (int i = static_cast<int>(area.GraphPeregons.size()) - 1; i >= 0; --i) {
    if (area.GraphPeregons[i].EndSection[end] == section) return i;
  }
  return -1;
}

SectionPosition LocateSectionPosition(const TAreaData& area, int section, int offset) {
  SectionPosition pos;
  int lp = -1;
  const int track = FindTrackOfSection(area, lp, section, false);
  if (track >= 0) {
    pos.Track = pos.EdgeTrack = track;
    pos.LP = lp;
    return pos;
  }
  if (offset == 0) {
    if (const TGraphPeregonData* p = GraphPeregon(area, FindGraphPeregonByEnd(area, section, 1))) {
      pos.LP = PeregonEndLP(area, *p, 1);
      if (pos.LP >= 0) pos.EdgeTrack = -1;
    }
  } else if (ValidSection(area, section) && offset == area.SlSects[section].Length) {
    if (const TGraphPeregonData* p = GraphPeregon(area, FindGraphPeregonByEnd(area, section, 0))) {
      pos.LP = PeregonEndLP(area, *p, 0);
      if (pos.LP >= 0) pos.EdgeTrack = static_cast<int>(area.Puts[pos.LP].Tracks.size()) - 1;
    }
  }
  return pos;
}

int SectionLamp(const TAreaData& area, int section, int prev) {
  if (section < 1) return 0;
  if (section < static_cast<int>(area.Sekzs.size()) && area.Sekzs[section] > 0) {
    return area.Sekzs[section];
  }
  if (!ValidSection(area, section)) return 0;
  const TSlSectData& sect = area.SlSects[section];
  for (int e = 0; e < 2; ++e) {
    const int lamp = SwitchEndLamp(area, sect, e, prev);
    if (lamp > 0) return lamp;
  }
  for (const TPutData& put : area.Puts) {
    for (const TTrackData& track : put.Tracks) {
      if (track.Section != section || track.FirstLamp <= 0) continue;
      // A track with no lamp count still shows its first lamp.
      const int count = track.LampCount > 0 ? track.LampCount : 1;
      // No previous section is "elsewhere" even at a dead end, where Straight is 0 too.
      if (prev != 0 && prev == sect.Straight[0]) return track.FirstLamp;
      if (prev != 0 && prev == sect.Straight[1]) return track.FirstLamp + count - 1;
      return track.FirstLamp + (count - 1) / 2;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Throats

int FindThroatBySignal(const TAreaData& area, int lpCode, int signal) {
  if (signal < 0) return -1;
  for (int i = static_cast<int>(area.GorlStanzs.size()) - 1; i >= 0; --i) {
    const TGorlStanzData& throat = area.GorlStanzs[i];
    if (throat.Code != lpCode) continue;
    if (FindSemaphoreAhead(area, (throat.Parity ^ throat.Flip) & 1, throat.EntrySection) ==
        signal) {
      return i;
    }
  }
  return -1;
}

int FindThroatOfLP(const TAreaData& area, int lp, int n) {
  if (lp < 0 || n < 0 || lp >= static_cast<int>(area.Puts.size())) return -1;
  const int code = area.Puts[lp].Code;
  for (int i = static_cast<int>(area.GorlStanzs.size()) - 1; i >= 0; --i) {
    if (area.GorlStanzs[i].Code == code && area.GorlStanzs[i].Peregon == n + 1) return i;
  }
  return -1;
}

int ThroatNeighbourLP(const TAreaData& area, int throat) {
  if (throat < 0 || throat >= static_cast<int>(area.GorlStanzs.size())) return -1;
  const TGorlStanzData& t = area.GorlStanzs[throat];
  const TGraphPeregonData* p = GraphPeregon(area, t.Peregon - 1);
  if (p == nullptr) return -1;
  const int lp = PeregonEndLP(area, *p, (t.Parity ^ t.Flip) & 1);
  return lp < 0 ? -1 : area.Puts[lp].Code;
}

bool ThroatServes(const TAreaData& area, int throat, int code1, int code2) {
  if (throat < 0 || throat >= static_cast<int>(area.GorlStanzs.size())) return false;
  const TGorlStanzData& t = area.GorlStanzs[throat];
  const int c = code1 > 0 ? code1 : code2;
  if (c == t.Code) return false;
  if (t.CodeLow == 0 && t.CodeHigh == 0) return true;
  return t.CodeLow <= c && c <= t.CodeHigh;
}

}  // namespace traklin
