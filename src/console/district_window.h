// The district window: one button per installed district.
#pragma once

#include <QDialog>
#include <optional>

#include "area/district_catalogue.h"

class QPushButton;

namespace traklin {

/// The dialog "Участок" that lets the user pick a district when several are installed.
class TfmDistrict : public QDialog, public DistrictChooser {
  Q_OBJECT

 public:
  static constexpr int kButtonHeight = 25;
  static constexpr int kMinClientWidth = 320;
  static constexpr int kMinClientHeight = 96;

  explicit TfmDistrict(QWidget* parent = nullptr);

  /// Builds the buttons, shows the window modally and returns the picked district, or nullopt
  /// when the window was closed without a choice.
  std::optional<int> Choose(const DistrictCatalogue& catalogue) override;

  /// Lays out one button per district ("btDistrict" + i) and sizes the window; Choose calls it.
  void BuildButtons(const DistrictCatalogue& catalogue);

  /// The district number of the last click, -1 before one.
  int Selected() const { return selected_; }

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void btDistrictClick(QPushButton* button);
  void FormDblClick();

  int selected_ = -1;
};

}  // namespace traklin
