// Builders of small districts for the query tests: sections, switches, signals, LPs and routes.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "area/area_data.h"

namespace traklin::test {

/// A district with sections 1..sections and no links, lamps or LPs.
inline TAreaData MakeArea(int sections) {
  TAreaData area;
  area.SectCount = sections + 1;
  area.SlSects.resize(static_cast<std::size_t>(sections) + 2);
  area.Sekzs.assign(static_cast<std::size_t>(sections) + 2, 0);
  area.Strels.resize(1);
  area.SwitchPosBase = 10;
  return area;
}

/// `odd` follows `even` in the odd direction (a regular link).
inline void Link(TAreaData& area, int even, int odd) {
  area.SlSects[even].Straight[kOdd] = odd;
  area.SlSects[odd].Straight[kEven] = even;
}

/// Sections linked one after another in the odd direction.
inline void Line(TAreaData& area, std::initializer_list<int> sections) {
  const int* prev = nullptr;
  for (const int& s : sections) {
    if (prev != nullptr) Link(area, *prev, s);
    prev = &s;
  }
}

/// Parity flip: a and b meet with their ends `end`.
inline void LinkFlip(TAreaData& area, int a, int b, int end) {
  area.SlSects[a].Straight[end] = b;
  area.SlSects[b].Straight[end] = a;
  area.SlSects[a].Flip[end] = 1;
  area.SlSects[b].Flip[end] = 1;
  ++area.ParityFlipCount;
}

/// Switch `sw` at end `end` of `section`, its side branch leading to `side`.
inline void AddSwitch(TAreaData& area, int sw, int section, int end, int side) {
  if (static_cast<int>(area.Strels.size()) <= sw) area.Strels.resize(sw + 1);
  if (area.SwitchCount < sw) area.SwitchCount = sw;
  area.Strels[sw].Section = section;
  area.Strels[sw].OddEnd = static_cast<std::uint8_t>(end);
  area.SlSects[section].Switch[end] = sw;
  area.SlSects[section].Side[end] = side;
  area.SlSects[section].SideLength = 50;
  area.SlSects[side].Straight[1 - end] = section;
}

/// A signal for `dir` on `section`; returns its index.
inline int AddSignal(TAreaData& area, int section, int dir, int lamp = 0) {
  TSemaphoreData s;
  s.Kind = 1;
  s.Direction = static_cast<std::uint8_t>(dir);
  s.Lamp = lamp;
  s.Section = section;
  area.Semaphores.push_back(s);
  const int index = static_cast<int>(area.Semaphores.size()) - 1;
  area.SlSects[section].Semaphore[dir] = index;
  return index;
}

/// A track on `section`, lamps first..first+count-1.
inline TTrackData Track(int section, int firstLamp = 0, int lampCount = 0, int number = 1,
                        int kind = 0) {
  TTrackData t;
  t.Section = section;
  t.FirstLamp = firstLamp;
  t.LampCount = lampCount;
  t.Number = number;
  t.Kind = kind;
  return t;
}

/// Appends an LP with these tracks (kind-5 flags derived); returns its index.
inline int AddLP(TAreaData& area, int code, std::vector<TTrackData> tracks = {}) {
  TPutData put;
  put.Code = code;
  put.TrackCount = static_cast<int>(tracks.size());
  for (const TTrackData& t : tracks) {
    if (t.Kind == 5) put.Kind5[t.Number & 1] = 1;
  }
  put.Tracks = std::move(tracks);
  area.Puts.push_back(std::move(put));
  area.LPCount = static_cast<int>(area.Puts.size());
  TLPRoutesData routes;
  routes.Code = code;
  area.TrainRoutes.push_back(routes);
  return area.LPCount - 1;
}

/// A route record between two kinds with decoded switch pairs (number, minus).
inline TTrainRouteData Route(int startKind, int endKind, int lastSection,
                             std::initializer_list<std::pair<int, bool>> switches = {}) {
  TTrainRouteData r;
  r.StartKind = startKind;
  r.EndKind = endKind;
  r.LastSection = lastSection;
  int k = 0;
  for (const auto& [number, minus] : switches) {
    r.SwitchNumber[k] = number;
    r.SwitchMinus[k] = minus ? 1 : 0;
    r.Switches[k] = number + (minus ? 10 : 0);
    ++k;
  }
  return r;
}

/// A chain of the given route indexes.
inline TChainData Chain(int from, int to, std::initializer_list<int> routes) {
  TChainData c;
  c.StartSection = from;
  c.EndSection = to;
  int k = 0;
  for (int r : routes) c.Routes[k++] = r;
  return c;
}

}  // namespace traklin::test
