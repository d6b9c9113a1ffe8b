// The controller window offscreen: button placement and sinking, clicks that order routes,
// lamps, hooks, the time-out and missing pictures.
#include "console/controller_window.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <filesystem>
#include <memory>

#include "qt_test_support.h"
#include "state/interlocking_fixture.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using testing_support::App;

constexpr TDateTime kSecond = 1.0 / 86400;
const fs::path kImages = "../image";

QImage Picture(const char* file) {
  return QImage(QString::fromStdString((kImages / file).generic_string()))
      .convertToFormat(QImage::Format_RGB32);
}

void Mouse(QWidget& w, QEvent::Type type, QPoint at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  QMouseEvent event(type, QPointF(at), QPointF(w.mapToGlobal(at)), Qt::LeftButton, held,
                    Qt::NoModifier);
  QApplication::sendEvent(&w, &event);
}

/// Dark pixels (all channels below 0x40) in a box of the image.
int Ink(const QImage& image, const QRect& box) {
  int n = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      n += c.red() < 0x40 && c.green() < 0x40 && c.blue() < 0x40;
    }
  return n;
}

QColor ColourOf(TColor c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The controlled station Цна: buttons 11 -> 21 make route 0; throat layout 1.
class ControllerWindowTest : public fixtures::InterlockingTest {
 protected:
  void SetUp() override {
    App();
    InterlockingTest::SetUp();
    window = std::make_unique<TfmController>(sim);
  }
  QImage Grab() { return window->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  void Click(const QString& name, QPoint releaseOffset = {9, 9}) {
    const QRect r = window->ButtonRect(name);
    ASSERT_FALSE(r.isEmpty()) << name.toStdString();
    Mouse(*window, QEvent::MouseButtonPress, r.topLeft() + QPoint(9, 9));
    Mouse(*window, QEvent::MouseButtonRelease, r.topLeft() + releaseOffset);
  }
  QColor LampColour(int k) {
    const DeskLampShape lamp = DeskLampGeometry(window->width(), k);
    return Grab().pixelColor(lamp.X + lamp.Width - 2, lamp.Y + (lamp.Big ? 4 : 1));
  }

  std::unique_ptr<TfmController> window;
};

TEST_F(ControllerWindowTest, ButtonsLieWhereTheLayoutPutsThem) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Пульт диспетчера"));
  EXPECT_TRUE(window->PictureError().isEmpty()) << window->PictureError().toStdString();
  EXPECT_EQ(window->size(), Picture("CtrlBack.bmp").size());
  const int w = window->width();
  const QImage shot = Grab();
  struct Probe {
    QString Name;
    DeskPoint Centre;
    const char* File;
  };
  const DeskPoint select = SelectButtonTopLeft(w, 18, 0);
  for (const Probe& p : {
           Probe{"imRoute11", RouteButtonCentre(w, 1, {1, 1}), "btYellow.bmp"},
           Probe{"imRoute24", RouteButtonCentre(w, 1, {2, 4}), "btWhite.bmp"},
           Probe{"imRoute35", RouteButtonCentre(w, 1, {3, 5}), "btWhite.bmp"},
           Probe{"imRoute43", RouteButtonCentre(w, 1, {4, 3}), "btWhite.bmp"},
           Probe{"imLeft0", CommandButtonCentre(false, 0), "btRed.bmp"},
           Probe{"imRight10", CommandButtonCentre(true, 10), "btYellow.bmp"},
           Probe{"imLeft5", CommandButtonCentre(false, 5), "btTeal.bmp"},
           Probe{"imSelectLP0", DeskPoint{select.X + 9, select.Y + 9}, "btBlack.bmp"},
       }) {
    const QImage picture = Picture(p.File);
    const QRect expected(p.Centre.X - picture.width() / 2, p.Centre.Y - picture.height() / 2,
                         picture.width(), picture.height());
    EXPECT_EQ(window->ButtonRect(p.Name), expected) << p.Name.toStdString();
    EXPECT_EQ(shot.copy(expected), picture) << p.Name.toStdString();
  }
  EXPECT_TRUE(window->ButtonRect("imRoute26").isEmpty());  // five rows with layout 1
  EXPECT_TRUE(window->ButtonRect("imRoute14").isEmpty());
  EXPECT_TRUE(window->ButtonRect("imSelectLP1").isEmpty());

  // Row numbers over the middle columns only, grey then black one pixel lower right.
  const QRect r22 = window->ButtonRect("imRoute22");
  const QRect r12 = window->ButtonRect("imRoute12");
  EXPECT_GT(Ink(shot, QRect(r22.left() + 6, r22.top() - 16, 10, 12)), 3);
  EXPECT_EQ(Ink(shot, QRect(r12.left() + 6, r12.top() - 16, 10, 12)), 0);
}

TEST_F(ControllerWindowTest, PressedButtonSinksByOnePixelAndActsOnlyWhenReleasedInside) {
  window->show();
  window->SelectStation(0, false);
  const QRect r = window->ButtonRect("imRoute11");
  const QImage up = Grab().copy(r);
  Mouse(*window, QEvent::MouseButtonPress, r.center());
  EXPECT_EQ(Grab().copy(r.translated(1, 1)), up);
  EXPECT_NE(Grab().copy(r), up);
  // Let go outside: it rises and does nothing.
  Mouse(*window, QEvent::MouseButtonRelease, r.topLeft() + QPoint(40, 0));
  EXPECT_EQ(Grab().copy(r), up);
  EXPECT_EQ(window->Desk().Start().Column, 0);
  Click("imRoute11");
  EXPECT_EQ(window->Desk().Start(), (DeskButton{1, 1}));
}

TEST_F(ControllerWindowTest, DeskClicksOrderAndReleaseARouteInTheCore) {
  window->show();
  window->SelectStation(0, false);
  EXPECT_EQ(LampColour(kLampTask), ColourOf(sim.Settings.ColorLampLPOff));
  Click("imRoute11");
  EXPECT_EQ(LampColour(kLampTask), ColourOf(sim.Settings.ColorLampLPLit));
  Click("imRoute21");
  EXPECT_EQ(sim.State.Routes[0][0].TASKED, sim.State.ClockTime);
  EXPECT_EQ(LampColour(kLampTask), ColourOf(sim.Settings.ColorLampLPOff));
  ASSERT_GT(StepsUntil([&] { return RouteIsSet(sim, 0, 0); }), 0);

  Click("imRight1");  // release mode
  EXPECT_EQ(LampColour(kLampRelease), ColourOf(sim.Settings.ColorLampLPLit));
  Click("imRoute11");
  Click("imRoute21");
  EXPECT_TRUE(RouteIsPending(sim, 0, 0) && sim.State.Routes[0][0].SCHUNTED);
  EXPECT_EQ(LampColour(kLampRelease), ColourOf(sim.Settings.ColorLampLPOff));

  // A press that leaves the end button before release orders nothing.
  ASSERT_GT(StepsUntil([&] { return !RouteIsPending(sim, 0, 0); }), 0);
  Click("imRoute11");
  Click("imRoute21", QPoint(30, 9));
  EXPECT_FALSE(RouteIsPending(sim, 0, 0));
  // The keys reach the same buttons: Shift+Z is button 11 (row at least 1), Alt+W button 21;
  // Delete drops a held start.
  window->KeyRoutePress(false, 1, 1);
  window->ResetRouteInput();
  window->KeyRoutePress(false, 1, 1);
  window->KeyRoutePress(true, 1, 2);
  EXPECT_TRUE(RouteIsPending(sim, 0, 0));
}

TEST_F(ControllerWindowTest, SelectionLampsHooksTimeOutAndClose) {
  int opened = -1, hidden = 0;
  bool dialogVisible = false;
  window->OpenTaskDialog = [&](int lp) { opened = lp; };
  window->HideTaskDialog = [&] { ++hidden; };
  window->TaskDialogVisible = [&] { return dialogVisible; };

  EXPECT_EQ(LampColour(kFirstStationLamp), ColourOf(sim.Settings.ColorLampLPOff));
  window->SelectStation(0, true);  // a controlled station: the desk, never the dialog
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(opened, -1);
  EXPECT_EQ(hidden, 1);
  EXPECT_EQ(LampColour(kFirstStationLamp), ColourOf(sim.Settings.ColorLampLPLit));
  EXPECT_TRUE(sim.State.Lamps[1].YELLOW);

  // The time-out counts the ticks' real intervals, not the simulated clock.
  sim.State.ClockTime += 3600 * kSecond;
  window->Tick(62);
  EXPECT_EQ(window->SelectedStation(), 0);
  dialogVisible = true;
  window->Tick(301000);
  EXPECT_EQ(window->SelectedStation(), 0);
  dialogVisible = false;
  window->Tick(0);
  EXPECT_EQ(window->SelectedStation(), -1);
  EXPECT_EQ(LampColour(kFirstStationLamp), ColourOf(sim.Settings.ColorLampLPOff));

  Click("imSelectLP0");
  EXPECT_EQ(window->SelectedStation(), 0);
  window->close();
  EXPECT_EQ(window->SelectedStation(), -1);

  sim.AreaData.Stanzs[0].Value2 = 1;  // now with a duty officer
  window->SelectStation(0, true);
  EXPECT_EQ(opened, 0);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(ControllerWindowTest, CommitButtonTogglesTheCommitWhereTheStationHasItsLamp) {
  sim.AreaData.GraphFragms[0].DepartCommitLamp[1] = 13;
  window->SelectStation(0, false);
  Click("imLeft10");
  EXPECT_EQ(sim.State.DepartCommits[0].EVEN, 0);
  Click("imRight10");
  EXPECT_EQ(sim.State.DepartCommits[0].ODD, sim.State.ClockTime);
  EXPECT_TRUE(sim.State.Lamps[13].YELLOW);
  window->ToggleCommit(1);
  EXPECT_FALSE(sim.State.Lamps[13].YELLOW);
}

TEST_F(ControllerWindowTest, ManyStationsMakeTheDeskTallerByRepeatingTheBandAboveTheLast) {
  const QImage back = Picture("CtrlBack.bmp");
  const int h = back.height();
  sim.AreaData.StationCount = 25;
  sim.AreaData.Stanzs.resize(25);
  window->Setup();
  EXPECT_EQ(window->size(), QSize(back.width(), h + 2 * 55));
  const QImage shot = Grab();
  for (int y = 0; y < 55; ++y) {
    // The left margin holds no button or lamp.
    EXPECT_EQ(shot.pixel(3, h + 110 - 55 + y), back.pixel(3, h - 55 + y)) << y;
    EXPECT_EQ(shot.pixel(3, h - 55 + y), back.pixel(3, h - 110 + y)) << y;
    EXPECT_EQ(shot.pixel(3, h + y), back.pixel(3, h - 110 + y)) << y;
  }
  EXPECT_FALSE(window->ButtonRect("imSelectLP24").isEmpty());
  EXPECT_LE(window->ButtonRect("imSelectLP24").bottom(), window->height());
}

TEST_F(ControllerWindowTest, LampLabelsAreSolidInkAndALongNameStaysWithinItsLamp) {
  ASSERT_GE(sim.AreaData.StationCount, 1);
  if (sim.AreaData.LPManipNames.empty()) sim.AreaData.LPManipNames.resize(1);
  sim.AreaData.LPManipNames[0] = "Сокольники";  // ten wide letters
  window->Setup();
  const QImage shot = Grab();
  const QImage back = Picture("CtrlBack.bmp");
  const QColor lamp = ColourOf(sim.Settings.ColorLampLPOff);
  const QColor text = ColourOf(sim.Settings.ColorLampLPOffText);
  // Station lamp 4 ("СОКОЛЬНИКИ") and the "Задание" lamp: in the label's box each pixel is the
  // lamp's, the text's or the desk's own (beyond the round end), never a blend; the text shows,
  // and no text pixel lies beyond the box.
  for (const int k : {kFirstStationLamp, kLampTask}) {
    const DeskLampShape shape = DeskLampGeometry(window->width(), k);
    const DeskRect b = DeskLampLabelBox(shape);
    const QRect box(b.X, b.Y, b.Width, b.Height);
    int ink = 0;
    for (int y = box.top() - 6; y <= box.bottom() + 6; ++y)
      for (int x = shape.X - 12; x <= shape.X + shape.Width + 24; ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (!box.contains(x, y)) {
          EXPECT_NE(c, text) << k << " outside the box at " << x << "," << y;
          continue;
        }
        ink += c == text;
        EXPECT_TRUE(c == lamp || c == text || c == back.pixelColor(x, y))
            << k << " at " << x << "," << y << ": " << c.name().toStdString();
      }
    EXPECT_GT(ink, 25) << k;
  }
}

TEST_F(ControllerWindowTest, MissingPicturesAreNamedOnceAndReplacedByPlainOnes) {
  const fs::path dir = fs::path(::testing::TempDir()) / "desk_images";
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* f : {"CtrlBack.bmp", "btWhite.bmp", "btYellow.bmp", "btTeal.bmp", "btGreen.bmp",
                        "btBlue.bmp", "btBlack.bmp"})
    fs::copy_file(kImages / f, dir / f);
  TfmController partial(sim, nullptr, dir);
  EXPECT_EQ(
      partial.PictureError(),
      QString::fromStdString("Error reading " + (dir / "btRed.bmp").generic_string() + "\r\n"));
  EXPECT_EQ(partial.ButtonRect("imLeft0").size(), QSize(18, 18));

  TfmController none(sim, nullptr, dir / "absent");
  EXPECT_TRUE(none.PictureError().contains("CtrlBack.bmp"));
  EXPECT_TRUE(none.PictureError().contains("btBlack.bmp"));
  EXPECT_EQ(none.PictureError().count("Error reading"), 1);
  EXPECT_EQ(none.size(), QSize(642, 456));
  none.SelectStation(0, false);
  EXPECT_FALSE(none.grab().isNull());
}

}  // namespace
}  // namespace traklin
