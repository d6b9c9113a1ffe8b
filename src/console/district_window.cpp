// The district window: one button per installed district.
#include "console/district_window.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "console/console_fonts.h"

namespace traklin {

TfmDistrict::TfmDistrict(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint) {
  setObjectName(QStringLiteral("fmDistrict"));
  setWindowTitle(QStringLiteral("Участок"));
  setFont(PixelFont(QStringLiteral("Tahoma"), 11));
  setMinimumSize(kMinClientWidth, kMinClientHeight);
  resize(kMinClientWidth, kMinClientHeight);
}

void TfmDistrict::BuildButtons(const DistrictCatalogue& catalogue) {
  for (QPushButton* old : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
    delete old;
  selected_ = -1;

  const QFontMetrics metrics(font());
  int widest = 0;
  for (const DistrictEntry& d : catalogue)
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(d.Name)));
  const int w = widest + 32;
  // A long name widens the window rather than pushing its button off the left edge.
  const int clientWidth = std::max(kMinClientWidth, w + 32);
  const int clientHeight =
      std::max(kMinClientHeight, static_cast<int>(catalogue.size()) * (kButtonHeight + 8) + 24);
  resize(clientWidth, clientHeight);

  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    auto* button = new QPushButton(QString::fromStdString(catalogue[i].Name), this);
    button->setObjectName(QStringLiteral("btDistrict%1").arg(i));
    button->setProperty("tag", catalogue[i].Number);
    button->setGeometry((clientWidth - w) / 2, (kButtonHeight + 8) * static_cast<int>(i) + 16, w,
                        kButtonHeight);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, button] { btDistrictClick(button); });
  }
}

std::optional<int> TfmDistrict::Choose(const DistrictCatalogue& catalogue) {
  BuildButtons(catalogue);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (exec() != QDialog::Accepted || selected_ < 0) return std::nullopt;
  return selected_;
}

void TfmDistrict::mouseDoubleClickEvent(QMouseEvent* event) {
  QDialog::mouseDoubleClickEvent(event);
  FormDblClick();
}

void TfmDistrict::btDistrictClick(QPushButton* button) {
  selected_ = button->property("tag").toInt();
  accept();
}

void TfmDistrict::FormDblClick() {
  selected_ = -1;
  reject();
}

}  // namespace traklin
