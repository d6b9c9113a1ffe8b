// Builds small districts as records, linked the way the district reader links them, for the
// query and start-up set-up tests.
#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "area/area_data.h"

namespace traklin::test {

/// The message of the runtime error a step throws, or "no error".
template <typename Step>
std::string ErrorOf(Step step) {
  try {
    step();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no error";
}

/// kind, direction, section, lamp, LP and next peregon of every signal, in table order.
inline std::vector<std::string> SignalList(const TAreaData& area) {
  std::vector<std::string> lines;
  for (const TSemaphoreData& s : area.Semaphores)
    lines.push_back(fmt::format("k{} d{} s{} lamp{} lp{} next{}", s.Kind, s.Direction, s.Section,
                                s.Lamp, s.LP, s.Next));
  return lines;
}

/// Odd direction runs to the right in every sketch: Straight[1] is the right-hand neighbour.
class AreaBuilder {
 public:
  /// Sections 1..sectionCount-1 of length 100, lamps 0..lampCount-1 (all undefined).
  explicit AreaBuilder(int sectionCount, int lampCount = 0) {
    a.SectCount = sectionCount;
    a.SlSects.resize(sectionCount + 1);
    a.Sekzs.assign(sectionCount + 1, 0);
    a.GraphLamps.resize(lampCount);
    a.FirstLamp = lampCount;
    a.Strels.resize(1);
    a.Stations.resize(1);
    for (int s = 1; s < sectionCount; ++s) a.SlSects[s].Length = 100;
  }

  /// Sections linked one after another to the right.
  AreaBuilder& Line(std::initializer_list<int> sections) {
    for (auto s = sections.begin(); s + 1 < sections.end(); ++s) {
      a.SlSects[s[0]].Straight[kOdd] = s[1];
      a.SlSects[s[1]].Straight[kEven] = s[0];
    }
    return *this;
  }

  /// i and j meet with their ends `end`: the parity flips between them.
  void Flip(int i, int j, int end = kOdd) {
    a.SlSects[i].Straight[end] = j;
    a.SlSects[j].Straight[end] = i;
    a.SlSects[i].Flip[end] = a.SlSects[j].Flip[end] = 1;
    ++a.ParityFlipCount;
  }

  /// Switch `sw` at end `end` of section i: side branch to `side`, straight to `straight`
  /// (0 leaves the straight link as it is).
  void Switch(int i, int end, int sw, int side, int straight = 0) {
    if (static_cast<int>(a.Strels.size()) <= sw) a.Strels.resize(sw + 1);
    a.SwitchCount = std::max(a.SwitchCount, sw);
    a.Strels[sw].Section = i;
    a.Strels[sw].OddEnd = static_cast<std::uint8_t>(end);
    TSlSectData& s = a.SlSects[i];
    s.Switch[end] = sw;
    s.Side[end] = side;
    s.SideLength = 100;
    s.SideSpeedLimit = 40;
    a.SlSects[side].Straight[1 - end] = i;
    if (straight != 0) {
      s.Straight[end] = straight;
      a.SlSects[straight].Straight[1 - end] = i;
    }
  }

  /// A station: LP, fragment, names. Returns its LP index.
  int AddStation(int code, const std::string& name, int anchorX = 0, int anchorY = 0) {
    a.Stanzs.emplace_back().Code = code;
    TGraphFragmData& f = a.GraphFragms.emplace_back();
    f.AnchorX = anchorX;
    f.AnchorY = anchorY;
    f.Right = f.Bottom = 10000;
    f.ShownCode = code;
    a.LPMnemNames.push_back(name);
    a.LPManipNames.push_back(name);
    ++a.StationCount;
    Name(code, name);
    return AddLP(code);
  }

  /// A further LP (not a station). Returns its LP index.
  int AddLP(int code, const std::string& name = "") {
    a.Puts.emplace_back().Code = code;
    a.LPCount = static_cast<int>(a.Puts.size());
    if (!name.empty()) Name(code, name);
    a.TrainRoutes.emplace_back().Code = code;
    return a.LPCount - 1;
  }

  /// Entry `code` of the station-name catalogue.
  void Name(int code, const std::string& name) {
    if (static_cast<int>(a.Stations.size()) <= code) a.Stations.resize(code + 1);
    for (int i = 0; i < static_cast<int>(a.Stations.size()); ++i) a.Stations[i].LPCode = i;
    a.Stations[code].Name = name;
  }

  /// Mode 1: sign A +1, sign B 0; mode 2: A -1; mode 3: B -1. Kind 5 sets the LP's flag.
  int AddTrack(int lp, int section, int number, int mode = 1, int firstLamp = 0, int lampCount = 0,
               int kind = 0) {
    TTrackData t;
    t.Section = section;
    t.Number = number;
    t.Mode = mode;
    t.Kind = kind;
    t.SignA = mode == 2 ? -1 : 1;
    t.SignB = mode == 3 ? -1 : (mode == 1 ? 0 : 1);
    t.FirstLamp = firstLamp;
    t.LampCount = lampCount;
    TPutData& put = a.Puts[lp];
    if (kind == 5) put.Kind5[number & 1] = 1;
    put.Tracks.push_back(t);
    put.TrackCount = static_cast<int>(put.Tracks.size());
    a.SlSects[section].TrackLP = lp;
    a.SlSects[section].Track = put.TrackCount - 1;
    return put.TrackCount - 1;
  }

  /// A throat decoded from the file's second value as the reader does.
  int AddThroat(int code, int value2, int peregon, int low = 0, int high = 0) {
    TGorlStanzData& t = a.GorlStanzs.emplace_back();
    t.Code = code;
    t.Parity = static_cast<std::uint8_t>(value2 & 1);
    t.Number = value2 >= 4 ? value2 >> 3 : value2 >> 1;
    t.Side = value2 >= 4 ? ((value2 & 2) != 0 ? -1 : 1) : 0;
    t.Peregon = peregon;
    t.CodeLow = low;
    t.CodeHigh = high;
    return static_cast<int>(a.GorlStanzs.size()) - 1;
  }

  /// A graph peregon between LP indexes lpA (even end) and lpB (odd end); -1 = none.
  /// Returns its number (index + 1).
  int AddPeregon(int lpA, int lpB, int firstSection, int firstBlockLamp = 0, int lastBlockLamp = 0,
                 int drawn = 0) {
    TGraphPeregonData& p = a.GraphPeregons.emplace_back();
    p.LP[0] = lpA + 1;
    p.LP[1] = lpB + 1;
    p.EndSection[0] = firstSection;
    p.BlockLamps[0] = firstBlockLamp;
    p.BlockLamps[1] = lastBlockLamp;
    p.Drawn = drawn;
    a.Peregons.emplace_back();
    return static_cast<int>(a.GraphPeregons.size());
  }

  /// A file signal as the reader appends it: kind 1 on a track section, else kind 3.
  int AddSignal(int section, int dir, int lamp = 0) {
    TSemaphoreData& s = a.Semaphores.emplace_back();
    s.Direction = static_cast<std::uint8_t>(dir);
    s.Lamp = lamp;
    s.Section = section;
    s.LP = a.SlSects[section].TrackLP;
    s.Kind = s.LP >= 0 ? 1 : 3;
    a.SlSects[section].SignalLamp[dir] = lamp;
    a.SlSects[section].Semaphore[dir] = static_cast<int>(a.Semaphores.size()) - 1;
    return static_cast<int>(a.Semaphores.size()) - 1;
  }

  TAreaData a;
};

/// A route record between two kinds with decoded switch pairs (number, minus), entries in base 10.
inline TTrainRouteData Route(int startKind, int endKind, int first, int last,
                             std::initializer_list<std::pair<int, bool>> switches = {}) {
  TTrainRouteData r;
  r.StartKind = startKind;
  r.EndKind = endKind;
  r.StartPosition = r.EndPosition = 1;
  r.FirstSection = first;
  r.LastSection = last;
  int k = 0;
  for (const auto& [number, minus] : switches) {
    r.SwitchNumber[k] = number;
    r.SwitchMinus[k] = minus ? 1 : 0;
    r.Switches[k++] = number + (minus ? 10 : 0);
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

// Station S (code 10) with two tracks and a throat on each side; switches 12 and 15, so that
// the encoded entries of the minus positions (22, 25) would read as other switches.
//
//   W ==P1== [1]--[2]=sw12=+--[3] track I --+=sw15=[5]--[6] ==P2== E
//                          \--[4] track II -/
//
// Throat t0: even (value 0) to P1; throat t1: odd (value 1) to P2.
inline AreaBuilder TwoTrackStation(int sectionCount = 7) {
  AreaBuilder b(sectionCount, 40);
  const int s = b.AddStation(10, "S");
  const int w = b.AddStation(11, "W");
  const int e = b.AddStation(12, "E");
  b.Line({1, 2});
  b.Switch(2, kOdd, 12, 4, 3);
  b.Switch(5, kEven, 15, 4, 3);
  b.Line({5, 6});
  b.a.SwitchCount = 15;
  b.a.Sekzs[1] = 20;
  b.a.Sekzs[6] = 21;
  b.a.Sekzs[2] = 22;
  b.a.Sekzs[5] = 23;
  b.AddTrack(s, 3, 1, 1, 30, 3);
  b.AddTrack(s, 4, 2, 1, 33, 1);
  b.AddThroat(10, 0, b.AddPeregon(w, s, 1));
  b.AddThroat(10, 1, b.AddPeregon(s, e, 6));
  return b;
}

}  // namespace traklin::test
