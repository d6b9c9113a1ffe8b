// Geometry of the control panel as plain functions of the graph records.
#include "area/panel_geometry.h"

#include <algorithm>
#include <cmath>

namespace traklin {

int DecodeOffset(int v) {
  return v >= 1000 ? 1000 - v : v;
}

const TGraphVidData* ChoosePanelView(const TAreaData& area, int viewIndex) {
  if (area.GraphVids.empty()) return nullptr;
  if (viewIndex < 0 || viewIndex >= static_cast<int>(area.GraphVids.size())) viewIndex = 0;
  return &area.GraphVids[viewIndex];
}

FragmentPlacement PlaceFragment(const TAreaData& area, const TGraphVidData* view, int f) {
  FragmentPlacement p;
  const TGraphFragmData& fr = area.GraphFragms[f];
  p.X = fr.AnchorX;
  p.Y = fr.AnchorY;
  if (view != nullptr && f < static_cast<int>(view->Fragms.size())) {
    p.X = view->Fragms[f].X;
    p.Y = view->Fragms[f].Y;
    p.NameShift = DecodeOffset(view->Fragms[f].Value3);
  }
  p.DX = p.X - fr.AnchorX;
  p.DY = p.Y - fr.AnchorY;
  return p;
}

PanelPoint LampTranslation(const TAreaData& area, const TGraphVidData* view,
                           const TGraphLampData& lamp) {
  if (lamp.Station < 0 || lamp.Station >= static_cast<int>(area.GraphFragms.size())) return {};
  const FragmentPlacement p = PlaceFragment(area, view, lamp.Station);
  return {p.DX, p.DY};
}

bool LampDrawn(const TGraphLampData& lamp) {
  return lamp.X != 0 || lamp.Y != 0 || lamp.Width != 0 || lamp.Thickness != 0;
}

bool IsNameLamp(const TGraphLampData& lamp, int number) {
  return lamp.Station == number - 1;
}

LampEnds LampEndPoints(const TGraphLampData& l, PanelPoint t) {
  PanelPoint offset;
  switch (l.Shape) {
    case 0:
      offset = {l.Width - 1, 0};
      break;
    case 1:
      offset = {(l.Width * 6) / 35 + 1, l.Width - 1};
      break;
    case 3:
      offset = {1 - (l.Width * 6) / 35, l.Width - 1};
      break;
    default:
      offset = {1, l.Width - 1};
      break;
  }
  LampEnds e;
  e.P1 = {l.X + 1 + t.X, l.Y + 1 + t.Y};
  e.P2 = {l.X + t.X + offset.X, l.Y + 1 + t.Y + offset.Y};
  return e;
}

std::optional<int> LampHitDepth(const TGraphLampData& lamp, PanelPoint t, PanelPoint at) {
  const LampEnds e = LampEndPoints(lamp, t);
  // Both coordinates are ordered: a bar leaning left ends left of its start, and its box must
  // not come out empty.
  const int margin = lamp.Thickness + 1;
  const int left = std::min(e.P1.X, e.P2.X) - margin;
  const int right = std::max(e.P1.X, e.P2.X) + margin;
  const int top = std::min(e.P1.Y, e.P2.Y) - margin;
  const int bottom = std::max(e.P1.Y, e.P2.Y) + margin;
  if (at.X < left || at.X > right || at.Y < top || at.Y > bottom) return std::nullopt;
  return std::min({at.X - left, right - at.X, at.Y - top, bottom - at.Y});
}

int FindLampAt(const TAreaData& area, const TGraphVidData* view, PanelPoint at) {
  int best = -1;
  int bestDepth = -1;
  for (int i = 0; i < static_cast<int>(area.GraphLamps.size()); ++i) {
    const TGraphLampData& l = area.GraphLamps[i];
    if (l.Width < 1) continue;
    const auto depth = LampHitDepth(l, LampTranslation(area, view, l), at);
    if (depth && *depth >= bestDepth) {
      best = i;
      bestDepth = *depth;
    }
  }
  return best;
}

int FindFragmentAt(const TAreaData& area, const TGraphVidData* view, PanelPoint at) {
  for (int f = static_cast<int>(area.GraphFragms.size()) - 1; f >= 0; --f) {
    const TGraphFragmData& fr = area.GraphFragms[f];
    const FragmentPlacement p = PlaceFragment(area, view, f);
    if (p.X + fr.Left - fr.AnchorX <= at.X && at.X < p.X + fr.Right - fr.AnchorX &&
        p.Y + fr.Top - fr.AnchorY <= at.Y && at.Y < p.Y + fr.Bottom - fr.AnchorY)
      return f;
  }
  return -1;
}

PanelWindowSize PanelWindowSizeFor(int w, int h, int screenWidth, int screenHeight) {
  const bool wide = w + 40 > screenWidth;
  const bool tall = h + 100 > screenHeight;
  PanelWindowSize s;
  s.ClientWidth = wide ? screenWidth - 40 : (tall ? w + 20 : w);
  s.ClientHeight = tall ? screenHeight - 100 : (wide ? h + 16 + 20 : h + 16);
  s.MinWidth = wide ? 0 : (tall ? w + 40 : w);
  s.MaxWidth = w + 40;
  s.MinHeight = 200;
  s.MaxHeight = h + 16 + 100;
  return s;
}

std::optional<PeregonDrawing> DescribePeregon(const TAreaData& area, const TGraphVidData* view,
                                              int p) {
  if (p < 0 || p >= static_cast<int>(area.GraphPeregons.size())) return std::nullopt;
  const TGraphPeregonData& gp = area.GraphPeregons[p];
  const int fragms = static_cast<int>(area.GraphFragms.size());
  const int fa = gp.LP[0] - 1;
  const int fb = gp.LP[1] - 1;
  if (gp.Drawn == 0 || fa < 0 || fa >= fragms || fb < 0 || fb >= fragms) return std::nullopt;
  const FragmentPlacement pa = PlaceFragment(area, view, fa);
  const FragmentPlacement pb = PlaceFragment(area, view, fb);
  const int panelWidth = view != nullptr ? view->Values[0] : 0;

  PeregonDrawing d;
  d.XA = pa.X + gp.Offsets[0];
  d.YA = pa.Y + gp.Offsets[1];
  d.XB = pb.X + gp.Offsets[2];
  d.YB = pb.Y + gp.Offsets[3];
  const int l1 = gp.DirectionLamps[0];
  const int l2 = gp.DirectionLamps[1];
  if (d.YA != d.YB) {
    // The line leaves A at the right edge of the panel and comes back to B from the left edge.
    d.Bands = {{d.YA, d.XA, panelWidth}, {d.YB, 0, d.XB}};
    if (l1 > 0) d.Arrows.insert(d.Arrows.end(), {{l1, 0}, {l1 + 1, 0}});
    if (l2 > 0) d.Arrows.insert(d.Arrows.end(), {{l2, 1}, {l2 + 1, 1}});
  } else {
    d.Bands = {{d.YA, d.XA, d.XB}};
    if (l1 > 0) d.Arrows.push_back({l1, 0});
    if (l2 > 0) d.Arrows.push_back({l2, 1});
  }
  const int n = gp.BlockLamps[1] - gp.BlockLamps[0] + 1;
  if (n > 1) {
    const int na = n - n / 2;
    const int nb = n / 2;
    for (int i = 0; i < na; ++i) d.Joints.push_back({gp.BlockLamps[0] + i, 1});
    for (int i = 0; i < nb; ++i) d.Joints.push_back({gp.BlockLamps[1] - i, 0});
  }
  return d;
}

std::vector<PanelPoint> ArrowOutline(const TGraphLampData& l, PanelPoint t, int variant) {
  if (l.Width != 10 || l.Shape != 0) return {};
  const int s = variant == 0 ? -1 : 1;
  const int x0 = (variant == 0 ? l.X + l.Width + 3 : l.X - 3) + t.X;
  const int y0 = l.Y - 2 + t.Y;
  return {{x0, y0},
          {x0 + 14 * s, y0},
          {x0 + 14 * s, y0 - 2},
          {x0 + 15 * s, y0 - 2},
          {x0 + 20 * s, y0 + 3},
          {x0 + 15 * s, y0 + 8},
          {x0 + 14 * s, y0 + 8},
          {x0 + 14 * s, y0 + 6},
          {x0, y0 + 6},
          {x0, y0}};
}

std::optional<PanelPoint> JointMarkCentre(const TGraphLampData& l, PanelPoint t, bool after) {
  if (l.Width == 0) return std::nullopt;
  return PanelPoint{l.X - 4 + (after ? l.Width + 8 : 0) + t.X, l.Y + 1 + t.Y};
}

}  // namespace traklin
