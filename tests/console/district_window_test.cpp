// The district window: its buttons, their geometry and the two ways to close it.
#include "console/district_window.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPushButton>

#include "qt_test_support.h"

namespace traklin {
namespace {

using testing_support::App;
using testing_support::WhenModal;

const DistrictCatalogue kThree{{1, "Западный"}, {2, "Кольцевой участок"}, {4, "Северный"}};

TEST(DistrictWindowTest, CaptionAndMinimumSize) {
  App();
  TfmDistrict window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Участок"));
  EXPECT_EQ(window.minimumSize(), QSize(320, 96));
}

TEST(DistrictWindowTest, OneButtonPerDistrictStackedAndCentred) {
  App();
  TfmDistrict window;
  window.BuildButtons(kThree);
  const QFontMetrics metrics(window.font());
  const int w = metrics.horizontalAdvance(QStringLiteral("Кольцевой участок")) + 32;
  ASSERT_LT(w, 288);
  EXPECT_EQ(window.size(), QSize(320, 3 * 33 + 24));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    auto* button = window.findChild<QPushButton*>(QStringLiteral("btDistrict%1").arg(i));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromStdString(kThree[i].Name));
    EXPECT_EQ(button->property("tag").toInt(), kThree[i].Number);
    EXPECT_EQ(button->geometry(), QRect((320 - w) / 2, 33 * i + 16, w, 25));
  }
  EXPECT_EQ(window.findChildren<QPushButton*>().size(), 3);
}

TEST(DistrictWindowTest, FewDistrictsKeepTheMinimumHeightAndRebuildingReplacesButtons) {
  App();
  TfmDistrict window;
  window.BuildButtons(kThree);
  window.BuildButtons({{1, "А"}, {2, "Б"}});
  EXPECT_EQ(window.findChildren<QPushButton*>().size(), 2);
  EXPECT_EQ(window.height(), 96);  // 2 * 33 + 24 is below the minimum
}

TEST(DistrictWindowTest, LongNameWidensTheWindowInsteadOfCuttingTheButton) {
  App();
  TfmDistrict window;
  const std::string name(60, 'W');
  window.BuildButtons({{1, name}, {2, "Б"}});
  auto* button = window.findChild<QPushButton*>(QStringLiteral("btDistrict0"));
  ASSERT_NE(button, nullptr);
  EXPECT_GE(button->x(), 0);
  EXPECT_LE(button->geometry().right(), window.width());
}

TEST(DistrictWindowTest, ClickingAButtonReturnsItsDistrict) {
  App();
  TfmDistrict window;
  auto answering = WhenModal([](QWidget* modal) {
    modal->findChild<QPushButton*>(QStringLiteral("btDistrict2"))->click();
  });
  EXPECT_EQ(window.Choose(kThree), std::optional<int>(4));
}

TEST(DistrictWindowTest, DoubleClickOnTheBackgroundCancels) {
  App();
  TfmDistrict window;
  auto answering = WhenModal([](QWidget* modal) {
    const QPointF at(3, 3);
    QMouseEvent click(QEvent::MouseButtonDblClick, at, modal->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(modal, &click);
  });
  EXPECT_EQ(window.Choose(kThree), std::nullopt);
  EXPECT_EQ(window.Selected(), -1);
}

}  // namespace
}  // namespace traklin
