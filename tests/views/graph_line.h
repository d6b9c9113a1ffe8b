// A small district for the train graph tests, built record by record.
#pragma once

#include <string>
#include <vector>

#include "area/area_data.h"

namespace traklin::graph_test {

// clang-format off
/// Stations as LPs that took their code from a station, each track on a section of its own,
/// and graph peregons of one section each. The default line (GraphScale 1000, so a metre is
/// a graph unit at 100 %):
///
///   row 0:  Аист (2 tracks) --1000 m-- Бор (1 track) --500 m-- Вяз (3 tracks)
///   row 1:  Гай (1 track)  --800 m--  Аист
///
///   code:  Аист 1, Бор 2, Вяз 3, Гай 4 (LP index = code - 1; Stations index = code)
///   track sections: Аист 1, 2; Бор 3; Вяз 4, 5, 6; Гай 7; peregon sections 8, 9, 10
// clang-format on
struct GraphLine {
  TAreaData Area;

  explicit GraphLine(bool withDefaultLine = true) {
    Area.GraphScale = 1000;
    Area.SlSects.resize(1);
    Area.Stations.push_back({"", 0});
    if (!withDefaultLine) return;
    for (auto [name, tracks] : {std::pair{"Аист", 2}, {"Бор", 1}, {"Вяз", 3}, {"Гай", 1}})
      Station(name, tracks);
    Peregon(0, 1, 1000);
    Peregon(1, 2, 500);
    Peregon(3, 0, 800);
  }

  /// A station LP with tracks numbered 1, 2, ...; returns its LP index.
  int Station(const std::string& name, int tracks) {
    const int lp = static_cast<int>(Area.Puts.size());
    TPutData& put = Area.Puts.emplace_back();
    put.CodeFromStation = 1;
    put.Code = lp + 1;
    put.TrackCount = tracks;
    for (int t = 0; t < tracks; ++t) {
      TTrackData& track = put.Tracks.emplace_back();
      track.Number = t + 1;
      track.Section = Section(1000);
      Area.SlSects[track.Section].TrackLP = lp;
      Area.SlSects[track.Section].Track = t;
    }
    Area.LPMnemNames.push_back(name);
    Area.Stations.push_back({name, lp + 1});
    Area.StationCount = lp + 1;
    Area.LPCount = lp + 1;
    return lp;
  }

  int Section(int length) {
    Area.SlSects.emplace_back().Length = length;
    Area.SectCount = static_cast<int>(Area.SlSects.size());
    return Area.SectCount - 1;
  }

  /// A graph peregon from LP a (its end 0) to LP b, one section long; returns its index.
  int Peregon(int a, int b, int metres) {
    TGraphPeregonData& p = Area.GraphPeregons.emplace_back();
    p.LP[0] = a + 1;
    p.LP[1] = b + 1;
    p.EndSection[0] = p.EndSection[1] = Section(metres);
    return static_cast<int>(Area.GraphPeregons.size()) - 1;
  }

  /// Section of track t of LP lp.
  int TrackSection(int lp, int t) const { return Area.Puts[lp].Tracks[t].Section; }
};

}  // namespace traklin::graph_test
