// The district window: its buttons, their geometry and the two ways to close it.
#include "console/district_window.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPushButton>

#include "qt_test_support.h"

namespace traklin {
namespace {

using testing_support::ModalAnswers;

const DistrictCatalogue kThree{{1, "Западный"}, {2, "Кольцевой участок"}, {4, "Северный"}};

QPushButton* Button(QWidget* window, int i) {
  return window->findChild<QPushButton*>(QStringLiteral("btDistrict%1").arg(i));
}

TEST(DistrictWindowTest, OneCentredButtonPerDistrictUnderTheCaption) {
  testing_support::App();
  TfmDistrict window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Участок"));
  EXPECT_EQ(window.minimumSize(), QSize(320, 96));
  window.BuildButtons(kThree);
  const int w =
      QFontMetrics(window.font()).horizontalAdvance(QStringLiteral("Кольцевой участок")) + 32;
  ASSERT_LT(w, 288);
  EXPECT_EQ(window.size(), QSize(320, 3 * 33 + 24));
  EXPECT_EQ(window.findChildren<QPushButton*>().size(), 3);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(Button(&window, i), nullptr);
    EXPECT_EQ(std::tuple(Button(&window, i)->text(), Button(&window, i)->property("tag").toInt(),
                         Button(&window, i)->geometry()),
              std::tuple(QString::fromStdString(kThree[i].Name), kThree[i].Number,
                         QRect((320 - w) / 2, 33 * i + 16, w, 25)));
  }
  // Rebuilding replaces the buttons; two districts keep the minimum height (2 * 33 + 24 < 96),
  // and a long name widens the window instead of cutting its button.
  window.BuildButtons({{1, std::string(60, 'W')}, {2, "Б"}});
  EXPECT_EQ(window.findChildren<QPushButton*>().size(), 2);
  EXPECT_EQ(window.height(), 96);
  EXPECT_GE(Button(&window, 0)->x(), 0);
  EXPECT_LE(Button(&window, 0)->geometry().right(), window.width());
}

TEST(DistrictWindowTest, ClickingAButtonChoosesItsDistrictAndDoubleClickingTheBackgroundCancels) {
  testing_support::App();
  TfmDistrict window;
  {
    ModalAnswers answers({[](QWidget* modal) { Button(modal, 2)->click(); }});
    EXPECT_EQ(window.Choose(kThree), std::optional<int>(4));
  }
  ModalAnswers answers({[](QWidget* modal) {
    const QPointF at(3, 3);
    QMouseEvent click(QEvent::MouseButtonDblClick, at, modal->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(modal, &click);
  }});
  EXPECT_EQ(window.Choose(kThree), std::nullopt);
  EXPECT_EQ(window.Selected(), -1);
}

}  // namespace
}  // namespace traklin
