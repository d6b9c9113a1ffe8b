// Geometry of the control panel: fragment placement, lamp end points, hit tests, peregon bands
// and the window size, as plain functions of the district's graph records.
#pragma once

#include <optional>
#include <vector>

#include "area/area_data.h"

namespace traklin {

struct PanelPoint {
  int X = 0, Y = 0;
  friend bool operator==(const PanelPoint&, const PanelPoint&) = default;
};

/// Offsets and name-lamp shifts of 1000 and more stand for 1000 - value.
int DecodeOffset(int v);

/// The chosen panel view; view 0 when the index is out of range; nullptr when the district has
/// no view.
const TGraphVidData* ChoosePanelView(const TAreaData& area, int viewIndex);

/// Where fragment f's anchor lies on the screen. A fragment the view does not place (or with no
/// view) stays at its anchor.
struct FragmentPlacement {
  int X = 0, Y = 0;    ///< screen position of the anchor (vx, vy)
  int DX = 0, DY = 0;  ///< translation from Pult.bmp to the screen
  int NameShift = 0;   ///< vertical offset of the name lamp
};
/// f must be a fragment index.
FragmentPlacement PlaceFragment(const TAreaData& area, const TGraphVidData* view, int f);

/// Translation of a lamp's picture coordinates to the screen: its fragment's, or none for a lamp
/// without a (known) fragment.
PanelPoint LampTranslation(const TAreaData& area, const TGraphVidData* view,
                           const TGraphLampData& lamp);

/// A lamp whose x, y, width and thickness are all 0 is not drawn.
bool LampDrawn(const TGraphLampData& lamp);

/// Lamp number lamp is the name lamp of fragment lamp - 1 when it belongs to that fragment.
bool IsNameLamp(const TGraphLampData& lamp, int number);

/// The two end points of a lamp's bar on the screen: P1 = (x + 1, y + 1) and P2 = (x, y + 1)
/// plus the end offset of the lamp's kind, both translated.
struct LampEnds {
  PanelPoint P1, P2;
};
LampEnds LampEndPoints(const TGraphLampData& lamp, PanelPoint translation);

/// How deep (x, y) lies inside the lamp's box (the end points' box widened by thickness + 1 on
/// every side): the smallest distance to its four sides; nullopt outside.
std::optional<int> LampHitDepth(const TGraphLampData& lamp, PanelPoint translation, PanelPoint at);

/// The lamp under a screen point: among lamps with width >= 1 the deepest hit; a later lamp
/// wins a tie; -1 when none.
int FindLampAt(const TAreaData& area, const TGraphVidData* view, PanelPoint at);

/// The fragment under a screen point, tried from the last to the first; -1 when none.
int FindFragmentAt(const TAreaData& area, const TGraphVidData* view, PanelPoint at);

/// The main window's client size and its limits for a panel of W x H on a screen. A limit of 0
/// means none.
struct PanelWindowSize {
  int ClientWidth = 0, ClientHeight = 0;
  int MinWidth = 0, MaxWidth = 0;
  int MinHeight = 0, MaxHeight = 0;
  friend bool operator==(const PanelWindowSize&, const PanelWindowSize&) = default;
};
PanelWindowSize PanelWindowSizeFor(int panelWidth, int panelHeight, int screenWidth,
                                   int screenHeight);

/// One drawn peregon: its screen ends, the bands of five 1-pixel lines (centre y, from x1 to
/// x2), the arrows (lamp, variant 0 pointing left / 1 pointing right) and the joint marks
/// (lamp, after the lamp or before it).
struct PeregonDrawing {
  int XA = 0, YA = 0, XB = 0, YB = 0;
  struct Band {
    int Y = 0, X1 = 0, X2 = 0;
    friend bool operator==(const Band&, const Band&) = default;
  };
  struct Mark {
    int Lamp = 0;
    int Variant = 0;  ///< arrows: 0 left, 1 right; joint marks: 1 after the lamp, 0 before
    friend bool operator==(const Mark&, const Mark&) = default;
  };
  std::vector<Band> Bands;
  std::vector<Mark> Arrows;
  std::vector<Mark> Joints;
};
/// The drawing of graph peregon p; nullopt when it is not drawn or its fragments are unknown.
std::optional<PeregonDrawing> DescribePeregon(const TAreaData& area, const TGraphVidData* view,
                                              int p);

/// The closed outline of a direction arrow beside lamp (width 10, kind 0 only; else empty).
std::vector<PanelPoint> ArrowOutline(const TGraphLampData& lamp, PanelPoint translation,
                                     int variant);

/// Centre of the joint-mark cross after (or before) a lamp of non-zero width.
std::optional<PanelPoint> JointMarkCentre(const TGraphLampData& lamp, PanelPoint translation,
                                          bool after);

}  // namespace traklin
