// Builds small districts as records for the start-up set-up tests, linked the way the
// district reader links them.
#pragma once

#include <string>

#include "area/area_data.h"

namespace traklin::testing_setup {

/// Odd direction runs to the right in every sketch: Straight[1] is the right-hand neighbour.
class AreaBuilder {
 public:
  /// Sections 1..sectionCount-1, lamps 0..lampCount-1 (all undefined).
  AreaBuilder(int sectionCount, int lampCount) {
    a.SectCount = sectionCount;
    a.SlSects.resize(sectionCount + 1);
    a.Sekzs.assign(sectionCount + 1, 0);
    a.GraphLamps.resize(lampCount);
    a.FirstLamp = lampCount;
    a.Strels.resize(1);
    a.Stations.resize(1);
    for (int s = 1; s < sectionCount; ++s) a.SlSects[s].Length = 100;
  }

  /// i -> j to the right.
  void Odd(int i, int j) {
    a.SlSects[i].Straight[kOdd] = j;
    a.SlSects[j].Straight[kEven] = i;
  }

  /// A switch at the right (odd) end of i: straight to `straight`, side to `side`.
  void OddSwitch(int i, int sw, int straight, int side) {
    AddSwitch(i, sw, kOdd);
    a.SlSects[i].Straight[kOdd] = straight;
    a.SlSects[i].Side[kOdd] = side;
    a.SlSects[straight].Straight[kEven] = i;
    a.SlSects[side].Straight[kEven] = i;
  }

  /// A switch at the left (even) end of i: straight to `straight`, side to `side`.
  void EvenSwitch(int i, int sw, int straight, int side) {
    AddSwitch(i, sw, kEven);
    a.SlSects[i].Straight[kEven] = straight;
    a.SlSects[i].Side[kEven] = side;
    a.SlSects[straight].Straight[kOdd] = i;
    a.SlSects[side].Straight[kOdd] = i;
  }

  /// i and j both point to the right at each other: the parity flips between them.
  void OddFlip(int i, int j) {
    a.SlSects[i].Straight[kOdd] = j;
    a.SlSects[j].Straight[kOdd] = i;
    a.SlSects[i].Flip[kOdd] = 1;
    a.SlSects[j].Flip[kOdd] = 1;
    ++a.ParityFlipCount;
  }

  /// A station: LP, fragment, names. Returns its LP index.
  int AddStation(int code, const std::string& name, int anchorX = 0, int anchorY = 0) {
    TStanzData st;
    st.Code = code;
    a.Stanzs.push_back(st);
    TGraphFragmData f;
    f.AnchorX = anchorX;
    f.AnchorY = anchorY;
    f.Right = 10000;
    f.Bottom = 10000;
    f.ShownCode = code;
    a.GraphFragms.push_back(f);
    a.LPMnemNames.push_back(name);
    a.LPManipNames.push_back(name);
    ++a.StationCount;
    return AddLP(code, name);
  }

  /// A further LP (not a station). Returns its LP index.
  int AddLP(int code, const std::string& name) {
    TPutData put;
    put.Code = code;
    a.Puts.push_back(put);
    a.LPCount = static_cast<int>(a.Puts.size());
    Name(code, name);
    TLPRoutesData routes;
    routes.Code = code;
    a.TrainRoutes.push_back(routes);
    return a.LPCount - 1;
  }

  /// Entry `code` of the station-name catalogue.
  void Name(int code, const std::string& name) {
    if (static_cast<int>(a.Stations.size()) <= code) a.Stations.resize(code + 1);
    for (int i = 0; i < static_cast<int>(a.Stations.size()); ++i) a.Stations[i].LPCode = i;
    a.Stations[code].Name = name;
  }

  /// Mode 1: sign A +1, sign B 0; mode 2: A -1; mode 3: B -1.
  int AddTrack(int lp, int section, int number, int mode = 1, int firstLamp = 0,
               int lampCount = 0) {
    TTrackData t;
    t.Section = section;
    t.Number = number;
    t.Mode = mode;
    t.SignA = mode == 2 ? -1 : 1;
    t.SignB = mode == 3 ? -1 : (mode == 1 ? 0 : 1);
    t.FirstLamp = firstLamp;
    t.LampCount = lampCount;
    TPutData& put = a.Puts[lp];
    put.Tracks.push_back(t);
    put.TrackCount = static_cast<int>(put.Tracks.size());
    a.SlSects[section].TrackLP = lp;
    a.SlSects[section].Track = put.TrackCount - 1;
    return put.TrackCount - 1;
  }

  /// A throat decoded from the file's second value as the reader does.
  int AddThroat(int code, int value2, int peregon, int low = 0, int high = 0) {
    TGorlStanzData t;
    t.Code = code;
    t.Parity = static_cast<std::uint8_t>(value2 & 1);
    t.Number = value2 >= 4 ? value2 >> 3 : value2 >> 1;
    t.Side = value2 >= 4 ? ((value2 & 2) != 0 ? -1 : 1) : 0;
    t.Peregon = peregon;
    t.CodeLow = low;
    t.CodeHigh = high;
    a.GorlStanzs.push_back(t);
    return static_cast<int>(a.GorlStanzs.size()) - 1;
  }

  /// A graph peregon between LP indexes lpA (even end) and lpB (odd end); -1 = none.
  /// Returns its number (index + 1).
  int AddPeregon(int lpA, int lpB, int firstSection, int firstBlockLamp = 0, int lastBlockLamp = 0,
                 int drawn = 0) {
    TGraphPeregonData p;
    p.LP[0] = lpA + 1;
    p.LP[1] = lpB + 1;
    p.EndSection[0] = firstSection;
    p.BlockLamps[0] = firstBlockLamp;
    p.BlockLamps[1] = lastBlockLamp;
    p.Drawn = drawn;
    a.GraphPeregons.push_back(p);
    a.Peregons.emplace_back();
    return static_cast<int>(a.GraphPeregons.size());
  }

  /// A file signal as the reader appends it: kind 1 on a track section, else kind 3.
  int AddSignal(int section, int dir, int lamp) {
    TSemaphoreData s;
    s.Direction = static_cast<std::uint8_t>(dir);
    s.Lamp = lamp;
    s.Section = section;
    s.LP = a.SlSects[section].TrackLP;
    s.Kind = s.LP >= 0 ? 1 : 3;
    a.Semaphores.push_back(s);
    a.SlSects[section].SignalLamp[dir] = lamp;
    a.SlSects[section].Semaphore[dir] = static_cast<int>(a.Semaphores.size()) - 1;
    return static_cast<int>(a.Semaphores.size()) - 1;
  }

  TAreaData a;

 private:
  void AddSwitch(int i, int sw, int end) {
    if (static_cast<int>(a.Strels.size()) <= sw) a.Strels.resize(sw + 1);
    a.Strels[sw].Section = i;
    a.Strels[sw].OddEnd = static_cast<std::uint8_t>(end);
    a.SwitchCount = static_cast<int>(a.Strels.size()) - 1;
    a.SlSects[i].Switch[end] = sw;
    a.SlSects[i].SideLength = 100;
    a.SlSects[i].SideSpeedLimit = 40;
  }
};

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
  b.Odd(1, 2);
  b.OddSwitch(2, 12, 3, 4);
  b.EvenSwitch(5, 15, 3, 4);
  b.Odd(5, 6);
  b.a.SwitchCount = 15;
  b.a.Sekzs[1] = 20;
  b.a.Sekzs[6] = 21;
  b.a.Sekzs[2] = 22;
  b.a.Sekzs[5] = 23;
  b.AddTrack(s, 3, 1, 1, 30, 3);
  b.AddTrack(s, 4, 2, 1, 33, 1);
  const int p1 = b.AddPeregon(w, s, 1);
  const int p2 = b.AddPeregon(s, e, 6);
  b.AddThroat(10, 0, p1);
  b.AddThroat(10, 1, p2);
  return b;
}

}  // namespace traklin::testing_setup
