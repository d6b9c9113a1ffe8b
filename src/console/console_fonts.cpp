// The console's fonts by pixel size.
#include "console/console_fonts.h"

namespace traklin {

QFont PixelFont(const QString& family, int pixelSize, bool bold) {
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QFont SharpPixelFont(const QString& family, int pixelSize) {
  QFont font = PixelFont(family, pixelSize);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

QFont PanelNameFont() {
  return SharpPixelFont(QStringLiteral("Tahoma"), 11);
}
QFont PanelCodeFont() {
  return SharpPixelFont(QStringLiteral("Arial"), 11);
}
QFont PanelLabelFont() {
  return SharpPixelFont(QStringLiteral("Small Fonts"), 7);
}

}  // namespace traklin
