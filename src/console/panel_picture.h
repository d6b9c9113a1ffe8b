// The control panel picture: built once from Pult.bmp and the district, then only its lamps are
// redrawn, each when its colour changes.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <vector>

#include "area/area_data.h"
#include "area/panel_geometry.h"
#include "console/console_fonts.h"
#include "settings/settings.h"
#include "state/faults.h"
#include "state/state_data.h"

namespace traklin {

/// The one conversion of a 0x00BBGGRR colour value.
QColor ToQColor(TColor colour);

class PanelPicture {
 public:
  /// The district must have been prepared (lamps laid out) with the same view index.
  PanelPicture(const TAreaData& area, const TSettings& settings, int viewIndex);

  /// Builds the picture: the background from pult's bottom-left pixel, the fragments, LP codes,
  /// ЭЦ icons, separators, peregon bands with arrows and joint marks, the set-up's lamps in grey
  /// and the direction labels. A null pult (the file could not be read) draws everything but
  /// the fragments on windowColour.
  void Build(const QImage& pult, QColor windowColour);

  /// Draws lamp number lamp in colour, with a restriction's mark when `restricted`: a stripe
  /// along its middle, yellow (black on a yellow lamp), a third of its thickness; returns the
  /// rectangle that changed (empty when the lamp is not drawn).
  QRect DrawLamp(int lamp, TColor colour, bool restricted = false);

  /// The colour lamp number `lamp` shows: its state's colour, except that the name lamp of a
  /// station the automatic dispatcher works (autoLPs, by LP index) is green where it would be
  /// grey.
  TColor LampColourOf(const TLampControlsData& lamps, int lamp, TDateTime clock,
                      const std::vector<bool>& autoLPs) const;

  /// Redraws every lamp whose computed colour (LampColourOf) or restriction mark differs from
  /// what is drawn and stores the new colour; returns the changed rectangles. With `faults`,
  /// the lamps of falsely occupied sections, of failed switches' sections and of failed signals
  /// flash red (red in the first half of each simulated second, else their own colour, grey
  /// where that is red), and the lamps of restricted sections carry the restriction's mark.
  std::vector<QRect> RefreshLamps(TLampControlsData& lamps, TDateTime clock,
                                  const std::vector<bool>& autoLPs = {},
                                  const FaultLamps* faults = nullptr);

  /// Makes the next refresh redraw every lamp (after a load or a change of colour settings).
  static void RepaintAllLamps(TLampControlsData& lamps);

  const TGraphVidData* View() const { return view_; }
  QSize PanelSize() const;

  QImage Image;
  QColor Background;

 private:
  PanelPoint Translation(const TGraphLampData& lamp) const;
  void DrawFragments(const QImage& pult);
  void DrawPeregons();
  void DrawDirectionLabels();

  const TAreaData& area_;
  const TSettings& settings_;
  const TGraphVidData* view_;
  /// Per lamp, whether a restriction's mark is drawn on it.
  std::vector<bool> marked_;
};

}  // namespace traklin
