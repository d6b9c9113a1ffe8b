// Pictures of a run's windows without a display: the main window shows the whole panel under
// its header, lamps as the run left them; the desk comes out at its own size.
#include "console/window_render.h"

#include <gtest/gtest.h>

#include <QMenuBar>
#include <filesystem>
#include <fstream>

#include "area/date_time.h"
#include "area/district_text.h"
#include "area/panel_geometry.h"
#include "console/main_window.h"
#include "qt_test_support.h"
#include "simulation/headless_run.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;

class WindowRenderTest : public testing::Test {
 protected:
  WindowRenderTest() {
    testing_support::App();
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "Data.dat", std::ios::binary) << test::DistrictText().Bytes();
    options.District = dir;
    options.SettingsFile = dir / "none.ini";
    options.Start = EncodeDate(2024, 12, 6) + 8.0 / 24;
  }
  ~WindowRenderTest() override { fs::remove_all(dir); }
  void WritePult() {
    QImage pult(800, 600, QImage::Format_RGB32);
    pult.fill(QColor(0xA0, 0xB0, 0xA0));
    ASSERT_TRUE(pult.save(QString::fromStdString((dir / "Pult.bmp").string()), "BMP"));
  }

  // One directory per test: CTest runs the tests side by side.
  const fs::path dir =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  RunOptions options;
  Simulation sim;
  std::string warning;
};

TEST_F(WindowRenderTest, ThePanelWindowShowsTheWholePanelWithTheLampsOfTheRun) {
  WritePult();
  PrepareRun(sim, options, nullptr);
  // Section 3's lamp (lamp 3 at 60,60, 20 long, in fragment 0 which the view leaves in place)
  // shows red as a train stands there.
  sim.State.Lamps[3].RED = true;
  const QImage picture = RenderWindow(sim, dir, RenderedWindow::Panel, warning);
  EXPECT_TRUE(warning.empty());
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.width(), 800);
  // Under the menu and the 50-pixel header: the panel, on the colour of Pult.bmp.
  const int top = picture.height() - 600;
  EXPECT_GT(top, 50);
  EXPECT_EQ(picture.pixelColor(700, top + 590), QColor(0xA0, 0xB0, 0xA0));
  EXPECT_EQ(picture.pixelColor(70, top + 61), QColor(255, 0, 0));
  EXPECT_EQ(sim.Console, nullptr);  // the run's console is left as it was
}

TEST_F(WindowRenderTest, AutomatedStationsShowGreenNameLamps) {
  WritePult();
  PrepareRun(sim, options, nullptr);
  // B's name lamp (lamp 2) begins at (284, 1) on the panel; A's lies mostly left of it.
  const TGraphLampData& lamp = sim.AreaData.GraphLamps[2];
  const LampEnds ends =
      LampEndPoints(lamp, LampTranslation(sim.AreaData, ChoosePanelView(sim.AreaData, 0), lamp));
  const auto nameLampOfB = [&] {
    const QImage picture = RenderWindow(sim, dir, RenderedWindow::Panel, warning);
    return picture.pixelColor(ends.P1.X + 1, picture.height() - 600 + ends.P1.Y);
  };
  EXPECT_EQ(nameLampOfB(), QColor(0x70, 0x70, 0x70));  // unlit
  sim.State.AutoLPs = {false, true};
  EXPECT_EQ(nameLampOfB(), QColor(0, 255, 0));
}

TEST_F(WindowRenderTest, WithoutPultThePanelIsStillPaintedAndTheDeskHasItsOwnSize) {
  PrepareRun(sim, options, nullptr);
  const QImage panel = RenderWindow(sim, dir, RenderedWindow::Panel, warning);
  EXPECT_EQ(warning, "Error reading Pult.bmp");
  EXPECT_EQ(panel.pixelColor(700, panel.height() - 10), kWindowGreen);
  warning.clear();
  const QImage desk = RenderWindow(sim, dir, RenderedWindow::Desk, warning);
  ASSERT_FALSE(desk.isNull());
  EXPECT_GT(desk.width(), 100);
  EXPECT_GT(desk.height(), 100);
}

}  // namespace
}  // namespace traklin
