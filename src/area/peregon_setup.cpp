// Peregon completion at start-up (signals, throats at parity flips, end sections) and the
// panel lamps laid out from the geometry: block-section, direction, departure-commit and name
// lamps.
#include <algorithm>

#include "area/area_queries.h"
#include "area/cp1251.h"
#include "area/district_setup.h"
#include "area/panel_geometry.h"
#include "area/setup_internal.h"

namespace traklin {

using namespace setup_detail;

namespace {

int DefaultTextWidth(const std::string& text) {
  return 6 * Utf8Length(text);
}

TGraphLampData LampOrBlank(const TAreaData& area, int lamp) {
  return IsLamp(area, lamp) ? area.GraphLamps[lamp] : TGraphLampData{};
}

// Peregon-end and block signals name their peregon by its number (index + 1), as peregons are
// referred to everywhere else: the opposing-route check treats 0 as "no peregon", so the first
// peregon of the file must not be 0.

/// Steps 2 and 3 of the completion at end e of peregon p, whose end section there is sec.
void CompletePeregonEnd(TAreaData& area, int p, int e, int sec) {
  const TGraphPeregonData& gp = area.GraphPeregons[p];
  TSlSectData& section = area.SlSects[sec];
  if (section.Flip[e] != 0) {
    const int throat = gp.LP[e] > 0 ? FindThroatOfLP(area, gp.LP[e] - 1, p) : -1;
    if (!IsThroat(area, throat)) Fail("Inlet expected at parity flip" + Hex4(sec) + "h");
    area.GorlStanzs[throat].Flip = 1;
    area.GorlStanzs[throat].EntrySection = sec;
    section.Throat[e] = throat;
  }
  const int sem = SectionSemaphore(area, sec, e);
  if (sem >= 0) {
    TSemaphoreData& signal = area.Semaphores[sem];
    signal.Kind = 0;
    signal.Next = p + 1;
    // The signal belongs to the station at this end: its LP index, -1 when the line leaves
    // the district here.
    signal.LP = gp.LP[e] - 1;
  }
}

/// Block signal for direction dir on a peregon section that has no signal of its own.
void AddBlockSignal(TAreaData& area, int p, int sec, int dir) {
  TSlSectData& section = area.SlSects[sec];
  if (section.SignalLamp[dir] != 0 || section.Semaphore[dir] >= 0) return;
  TSemaphoreData signal;
  signal.Kind = 2;
  signal.Direction = static_cast<std::uint8_t>(dir);
  signal.Lamp = 0;
  signal.Section = sec;
  signal.Next = p + 1;
  signal.LP = -1;
  area.Semaphores.push_back(signal);
  section.Semaphore[dir] = static_cast<int>(area.Semaphores.size()) - 1;
}

void CompletePeregon(TAreaData& area, int p) {
  TGraphPeregonData& gp = area.GraphPeregons[p];
  const int n = gp.BlockLamps[1] - gp.BlockLamps[0] + 1;
  const int first = gp.EndSection[0];

  if (n == 1 && area.SlSects[first].Length >= 4000) {
    gp.Flag = 1;
    area.SlSects[first].Spare = 1;
  }
  CompletePeregonEnd(area, p, 0, first);

  int s = first;
  const int maxSteps = static_cast<int>(area.SlSects.size());
  for (int step = 0; step < n - 1; ++step) {
    if (step >= maxSteps)
      Fail(fmt::format("Graph peregon {} has more block sections than the district has sections",
                       p + 1));
    AddBlockSignal(area, p, s, kOdd);
    const int next = area.SlSects[s].Straight[kOdd];
    if (!IsSection(area, next))
      Fail(
          fmt::format("Graph peregon {} breaks off after section {}h with {} of its {} block "
                      "sections left",
                      p + 1, Hex4(s), n - 1 - step, n));
    s = next;
    AddBlockSignal(area, p, s, kEven);
  }
  area.GraphPeregons[p].EndSection[1] = s;
  CompletePeregonEnd(area, p, 1, s);
}

/// Defines a direction lamp still undefined, at a screen position, in fragment f's picture
/// coordinates.
void SetDirectionLamp(TAreaData& area, const TGraphVidData* view, int p, int lamp, int f,
                      int screenX, int screenY) {
  if (lamp == 0) return;
  if (!IsLamp(area, lamp))
    Fail(fmt::format("Direction lamp {} of graph peregon {} out of bounds", lamp, p + 1));
  TGraphLampData& l = area.GraphLamps[lamp];
  if (l.Width != 0) return;
  const FragmentPlacement pl = PlaceFragment(area, view, f);
  l.X = screenX - pl.DX;
  l.Y = screenY - pl.DY;
  l.Width = 10;
  l.Thickness = 3;
  l.Shape = 0;
  l.Station = f;
}

/// A station's departure-commit lamp, when still undefined, becomes a copy of a direction
/// lamp moved along the row.
void CopyToDepartCommitLamp(TAreaData& area, int p, int f, int directionLamp, bool firstWhenPlain,
                            int shift) {
  if (directionLamp <= 0) return;
  const int throat = FindThroatOfLP(area, f, p);
  if (!IsThroat(area, throat)) return;
  const TGorlStanzData& t = area.GorlStanzs[throat];
  if (area.GraphFragms[f].ShownCode <= 0 || t.Side != 0) return;
  const bool first = firstWhenPlain ? t.Flip == 0 : t.Flip != 0;
  const int target = area.GraphFragms[f].DepartCommitLamp[first ? 0 : 1];
  if (target <= 0 || !IsLamp(area, target)) return;
  if (area.GraphLamps[target].Width != 0) return;
  area.GraphLamps[target] = area.GraphLamps[directionLamp];
  area.GraphLamps[target].X += shift;
}

void LayOutPeregonLamps(TAreaData& area, const SetupOptions& options, int p) {
  const TGraphPeregonData gp = area.GraphPeregons[p];
  const TGraphVidData* view = ChoosePanelView(area, options.ViewIndex);
  const int panelWidth = view != nullptr ? view->Values[0] : 0;
  const int fa = gp.LP[0] - 1;
  const int fb = gp.LP[1] - 1;
  const FragmentPlacement pa = PlaceFragment(area, view, fa);
  const FragmentPlacement pb = PlaceFragment(area, view, fb);
  const TGraphFragmData& fragA = area.GraphFragms[fa];
  const TGraphFragmData& fragB = area.GraphFragms[fb];
  const int xa = gp.Offsets[0], ya = gp.Offsets[1], xb = gp.Offsets[2], yb = gp.Offsets[3];
  const int XA = pa.X + xa, YA = pa.Y + ya;
  const int XB = pb.X + xb, YB = pb.Y + yb;

  const int n = gp.BlockLamps[1] - gp.BlockLamps[0] + 1;
  if (n >= 1) {
    int na = n - n / 2;
    int nb = n / 2;
    int room1 = 0;
    int room2 = 0;
    if (YA == YB) {
      const int length = XB - XA;
      int half = length / 2;
      half = na == nb ? half + 4 : half - 8;
      room1 = length + 8 - half;
      room2 = half;
    } else {
      room1 = panelWidth - XA - 1;
      room2 = XB;
    }
    int shift1 = 0;
    int shift2 = 0;
    if (!options.ShowAllBlockSect || room1 < 20 * na || room2 < 20 * nb + 4) {
      na = std::min(na, 2);
      nb = std::min(nb, 2);
    } else {
      shift1 = room1 - 20 * na;
      shift2 = room2 - (20 * nb + 4);
    }

    const int firstSec = gp.EndSection[0];
    const int lastSec = gp.EndSection[1];
    const int beforeA = area.SlSects[firstSec].Straight[kEven];
    TGraphLampData prev =
        LampOrBlank(area, IsSection(area, beforeA) ? SectionLamp(area, beforeA, firstSec) : 0);
    int runX = fragA.AnchorX + xa - 24 + shift1;
    for (int i = 0; i < na; ++i) {
      const int lamp = gp.BlockLamps[0] + i;
      if (lamp <= 0) continue;
      TGraphLampData& l = area.GraphLamps[lamp];
      if (l.Width == 0) {
        l.X = runX + prev.Width + 8;
        l.Y = fragA.AnchorY + ya - 1;
        l.Width = 12;
        l.Thickness = prev.Thickness;
        l.Shape = prev.Shape;
        l.Station = prev.Station;
      }
      runX = l.X;
      prev = l;
    }

    const int afterB = area.SlSects[lastSec].Straight[kOdd];
    prev = LampOrBlank(area, IsSection(area, afterB) ? SectionLamp(area, afterB, lastSec) : 0);
    runX = fragB.AnchorX + xb - shift2;
    for (int i = 0; i < nb; ++i) {
      const int lamp = gp.BlockLamps[1] - i;
      if (lamp <= 0) continue;
      TGraphLampData& l = area.GraphLamps[lamp];
      if (l.Width == 0) {
        l.Width = 12;
        l.X = runX - 12 - 8;
        l.Y = fragB.AnchorY + yb - 1;
        l.Thickness = prev.Thickness;
        l.Shape = prev.Shape;
        l.Station = prev.Station;
      }
      runX = l.X;
      prev = l;
    }
  }

  const int l1 = gp.DirectionLamps[0];
  const int l2 = gp.DirectionLamps[1];
  if (YA != YB) {
    SetDirectionLamp(area, view, p, l1, fb, 14, YB - 15);
    if (l1 > 0) SetDirectionLamp(area, view, p, l1 + 1, fa, panelWidth - 24, YA - 15);
    SetDirectionLamp(area, view, p, l2, fa, panelWidth - 24, YA + 13);
    if (l2 > 0) SetDirectionLamp(area, view, p, l2 + 1, fb, 14, YB + 13);
  } else {
    const int mid = (XA + XB) / 2 - 5;
    SetDirectionLamp(area, view, p, l1, fb, mid, YB - 15);
    SetDirectionLamp(area, view, p, l2, fa, mid, YA + 13);
  }

  CopyToDepartCommitLamp(area, p, fb, l1, true, 24);
  CopyToDepartCommitLamp(area, p, fa, l2, false, -24);
}

}  // namespace

void CompletePeregons(TAreaData& area, const SetupOptions& options) {
  for (int p = 0; p < static_cast<int>(area.GraphPeregons.size()); ++p) {
    CompletePeregon(area, p);
    if (area.GraphPeregons[p].Drawn != 0) LayOutPeregonLamps(area, options, p);
  }

  // Every parity flip must be entered through a throat, on one side or the other.
  for (int j = 1; j < static_cast<int>(area.SlSects.size()); ++j) {
    const TSlSectData& s = area.SlSects[j];
    for (int e = 0; e < 2; ++e) {
      if (s.Flip[e] == 0 || s.Throat[e] >= 0) continue;
      const int beyond = s.Straight[e];
      if (!IsSection(area, beyond) || area.SlSects[beyond].Throat[e] < 0)
        Fail("Inlet expected at parity flip at" + Hex4(j) + "h");
    }
  }
}

void SetNameLamps(TAreaData& area, const SetupOptions& options) {
  const TGraphVidData* view = ChoosePanelView(area, options.ViewIndex);
  const int fragms = static_cast<int>(area.GraphFragms.size());
  // Lamp f + 1 is the name lamp of fragment f: the table must reach that far.
  if (static_cast<int>(area.GraphLamps.size()) < fragms + 1) area.GraphLamps.resize(fragms + 1);
  constexpr int kFontSize = 8;
  constexpr int kThickness = kFontSize + 8;
  for (int f = 0; f < fragms; ++f) {
    const std::string name =
        f < static_cast<int>(area.LPMnemNames.size()) ? area.LPMnemNames[f] : std::string();
    const int textWidth = options.TextWidth ? options.TextWidth(name) : DefaultTextWidth(name);
    const FragmentPlacement pl = PlaceFragment(area, view, f);
    TGraphLampData lamp;
    lamp.Width = textWidth + kThickness;
    lamp.Thickness = kThickness;
    lamp.X = area.GraphFragms[f].AnchorX - lamp.Width / 2;
    lamp.Y = area.GraphFragms[f].AnchorY + pl.NameShift;
    lamp.Shape = 0;
    lamp.Station = f;
    area.GraphLamps[f + 1] = lamp;
  }
}

}  // namespace traklin
