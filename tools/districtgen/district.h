// The generated district: every table of Data.dat in file form, plus the panel geometry.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "districtgen/description.h"

namespace traklin::districtgen {

/// A lamp of Data_Graph_Lamp (file lamps) as the panel draws it.
struct Lamp {
  int X = 0, Y = 0;
  int Width = 0;
  int Shape = 0;  ///< 0 horizontal, 1 / 3 diagonals, 2 vertical
  int Station = -1;
  int Code() const { return Shape * 100 + Width; }
};

/// One record of Data_Sl_Sekz, indexed by direction (0 even, 1 odd).
struct Section {
  int Switch[2] = {0, 0};
  int Straight[2] = {0, 0};
  int Side[2] = {0, 0};
  int Length = 0;
  int SideLength = 0;
  int Signal[2] = {0, 0};
  int PassengerLimit = 0, FreightLimit = 0, SideLimit = 0;
  int OwnLamp = 0;   ///< Data_Sekz
  std::string Note;  ///< comment in Data.dat
};

struct Switch {
  int Section = 0;
  int LampA = 0, LampPlus = 0, LampMinus = 0;
};

struct Track {
  int Section = 0, FirstLamp = 0, LampCount = 0, Number = 0, Mode = 1, Kind = 3, Order = 0;
};

struct Throat {
  int Code = 0, Parity = 0, Side = 0, Number = 0, Peregon = 0, Low = 0, High = 0;
  int Value2() const {
    if (Side == 0) return Number * 2 + Parity;
    return Number * 8 + 4 + (Side < 0 ? 2 : 0) + Parity;
  }
};

struct Fragment {
  int Left = 0, Top = 0, Right = 0, Bottom = 0, AnchorX = 0, AnchorY = 0;
  int Code = 0, Km = 0, Commit[2] = {0, 0}, Icon = 0;
};

struct GraphPeregon {
  int LP[2] = {0, 0};
  int Offsets[4] = {0, 0, 0, 0};
  int Drawn = 1;
  int DirectionLamps[2] = {0, 0};
  int BlockLamps[2] = {0, 0};
  int EndSection = 0;
};

struct ViewPlace {
  int X = 0, Y = 0, NameOffset = 0, Separator = 0;
};
struct View {
  int Width = 0, Height = 0, ClockLeft = 0;
  std::vector<ViewPlace> Places;  ///< one per station
};

struct Route {
  int StartButton = 0, EndButton = 0, Lamp1 = 0, Lamp2 = 0, First = 0, Last = 0;
  std::vector<std::pair<int, bool>> Switches;  ///< switch number, minus
};
struct RouteGroup {
  int Code = 0;
  std::vector<Route> Routes;
};

struct Stop {
  int Code = 0, Arrival = 0, Departure = 0, Loco = 0;
};
struct TimetableTrain {
  int Number = 0;
  int LastLP = 0;
  std::vector<Stop> Stops;
};

struct Plan {
  int Time = 0, Number = 0;
  std::string Name;
  int Parent = 0, From = 0, To = 0, Q1 = 0, Q2 = 0, Q3 = 0, Q4 = 0;
  std::vector<int> Days;
};

/// A line drawn on Pult.bmp besides the lamps: connectors, stubs and signal masts.
struct Stroke {
  int X1, Y1, X2, Y2;
};
struct Label {
  int X, Y;
  std::string Text;
};

struct District {
  LineSpec Line;
  int SwitchCount = 0;
  int SectCount = 0;  ///< S = highest section + 1
  int GraphScale = 100;
  int FirstLamp = 0;
  int SwitchPosBase = 10;
  std::vector<Lamp> Lamps;                 ///< file lamps, Lamps[0] is lamp FirstLamp
  std::vector<Section> Sections;           ///< index = section number, [0] unused
  std::vector<Switch> Switches;            ///< index = switch number, [0] unused
  std::vector<std::vector<Track>> Tracks;  ///< per station
  std::vector<Throat> Throats;
  std::vector<Fragment> Fragments;
  std::vector<GraphPeregon> Peregons;               ///< graph peregons, number = index + 1
  std::vector<int> PeregonLengths;                  ///< metres, per graph peregon
  std::vector<std::array<int, 2>> PeregonStations;  ///< station index at end 0 and end 1
  std::vector<View> Views;
  std::vector<RouteGroup> RouteGroups;
  std::vector<TimetableTrain> Pass[2], Gruz[2];
  std::vector<Plan> Plans;
  std::vector<Stroke> Strokes;
  std::vector<Label> Labels;
  int PultWidth = 0, PultHeight = 0;
  /// Lamp number of a file lamp index.
  int LampNumber(int index) const { return FirstLamp + index; }
  const Lamp& LampAt(int number) const { return Lamps.at(number - FirstLamp); }
};

/// Derives the whole district from its description. Throws std::runtime_error when the
/// description cannot be laid out.
District BuildDistrict(const LineSpec& line);

/// The Data.dat text in Windows-1251 with CR LF line ends, ready to be written as it is.
std::string DataDatText(const District& district);

}  // namespace traklin::districtgen
