// Graph records for panel tests, each written in one line: fragments, views and lamps.
#pragma once

#include <vector>

#include "area/area_data.h"

namespace traklin::test {

/// A fragment's picture rectangle in Pult.bmp and its anchor.
inline TGraphFragmData Fragment(int left, int top, int right, int bottom, int ax, int ay) {
  TGraphFragmData f;
  f.Left = left, f.Top = top, f.Right = right, f.Bottom = bottom, f.AnchorX = ax, f.AnchorY = ay;
  return f;
}

/// A view of width x height with the clock at clockLeft, placing each fragment.
inline TGraphVidData View(int width, int height, int clockLeft,
                          std::vector<TGraphVidFragmData> placements) {
  TGraphVidData view;
  view.Values[0] = width, view.Values[1] = height, view.Values[2] = clockLeft;
  view.Fragms = std::move(placements);
  return view;
}

inline TGraphLampData Lamp(int x, int y, int width, int thickness, int shape = 0,
                           int station = -1) {
  TGraphLampData l;
  l.X = x, l.Y = y, l.Width = width, l.Thickness = thickness, l.Shape = shape, l.Station = station;
  return l;
}

}  // namespace traklin::test
