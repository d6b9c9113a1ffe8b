// The console's fonts, by pixel size so that windows look alike on every screen.
#pragma once

#include <QFont>
#include <QString>

namespace traklin {

/// A font by pixel size: 8 pt = 11 px, 9 pt = 12 px, 18 pt = 24 px, 5 pt = 7 px. The family
/// falls back through fontconfig (DejaVu Sans for Tahoma, Liberation for Arial and Courier
/// New).
QFont PixelFont(const QString& family, int pixelSize, bool bold = false);
/// A font for the small texts of the panel and the desk: drawn without smoothing, so that each
/// pixel is the text's colour or the ground's. Smoothed glyphs of a few pixels turn grey and
/// blur ("РОЧ" read as "РО4").
QFont SharpPixelFont(const QString& family, int pixelSize);
/// "Tahoma" 8 pt, sharp: the name lamps' texts. The set-up measures name widths with it too.
QFont PanelNameFont();
/// "Arial" 8 pt, sharp: the LP codes above the name lamps.
QFont PanelCodeFont();
/// "Small Fonts" 5 pt, sharp: the "РОЧ"/"РОН" labels.
QFont PanelLabelFont();

}  // namespace traklin
