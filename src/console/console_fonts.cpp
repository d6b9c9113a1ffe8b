// The console's fonts by pixel size.
#include "console/console_fonts.h"

namespace traklin {

QFont PixelFont(const QString& family, int pixelSize, bool bold) {
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QFont PanelNameFont() {
  return PixelFont(QStringLiteral("Tahoma"), 11);
}
QFont PanelCodeFont() {
  return PixelFont(QStringLiteral("Arial"), 11);
}
QFont PanelLabelFont() {
  return PixelFont(QStringLiteral("Small Fonts"), 7);
}

}  // namespace traklin
