// The trains window: the speed chart's pixels, the strips of a rendered window, the throttle.
#include <QImage>

#include "area/date_time.h"
#include "console/qt_test_support.h"
#include "trains/ui/picture_view.h"
#include "trains/ui/trains_window.h"

namespace traklin {
namespace {

using testing_support::App;

class TrainsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    sim.AreaData.Stations = {{"-", 0}, {"Ясная", 1}, {"Kalna", 2}};
    clock = EncodeDate(2024, 3, 15) + 0.5;
    sim.State.ClockTime = clock;
    TTrainData t;
    t.NUMBER = 2001;
    t.HEAD.SECT_IDX = 5;
    t.LOCO_IDX = 2;
    t.CARS = 60;
    t.PLAN_CREATION_LP_CODE = 1;
    t.PLAN_ARRIVAL_LP_CODE = 2;
    sim.State.Trains.push_back(t);
  }
  void Log(double secondsAgo, double kmh, int limit, bool closed, bool warning) {
    sim.State.Trains[0].LOG.push_back(
        {clock - secondsAgo * kSecond, kmh / 3.6, limit, closed, warning});
  }
  SimulationData sim;
  TDateTime clock = 0;
  StockPictures none;
};

TEST_F(TrainsWindowTest, TheStripChartsSpeedLimitAndSignalOnePixelPerSecondAndKmh) {
  Log(1200, 50, 50, false, false);  // 20 minutes old: beyond the left edge
  Log(600, 18, 40, false, false);   // 10 minutes old: 600 pixels from the right edge
  Log(100, 72, 80, false, false);
  Log(50, 36, 60, false, true);
  Log(10, 36, 60, true, true);
  Log(-30, 100, 100, true, false);  // stamped after the clock: skipped
  const int w = 900;
  const QImage strip = DrawTrainStrip(sim, 0, w, none);
  ASSERT_EQ(strip.size(), QSize(w, kStripHeight));
  const auto at = [&](int x, int y) { return strip.pixel(x, y); };
  // Baseline and grid (one line a minute from the right edge, one per 10 km/h).
  EXPECT_EQ(at(100, kStripBaseline), kGridColor);
  EXPECT_EQ(at(100, kStripBaseline - 10), kGridColor);
  EXPECT_EQ(at(w - 1 - 60 * 12, 140), kGridColor);
  EXPECT_EQ(at(100, kStripBaseline - 5), kStripBackground);
  // Speed: 72 km/h 100 s ago, 36 km/h from 50 s ago on, 18 km/h 600 s ago.
  EXPECT_EQ(at(w - 1 - 100, kStripBaseline - 72), kSpeedColor);
  EXPECT_EQ(at(w - 1 - 50, kStripBaseline - 36), kSpeedColor);
  EXPECT_EQ(at(w - 1 - 20, kStripBaseline - 36), kSpeedColor);
  EXPECT_EQ(at(w - 1 - 600, kStripBaseline - 18), kSpeedColor);
  // Nothing of the future entry.
  EXPECT_EQ(at(w - 2, kStripBaseline - 95), kStripBackground);
  // Limit: 80 from 100 s to 50 s ago, then 60, with a step between.
  EXPECT_EQ(at(w - 1 - 80, kStripBaseline - 80), kLimitColor);
  EXPECT_EQ(at(w - 1 - 30, kStripBaseline - 60), kLimitColor);
  EXPECT_EQ(at(w - 1 - 50, kStripBaseline - 70), kLimitColor);
  // The signal band: green, yellow (warning), white (not in sight) at the newest.
  EXPECT_EQ(at(w - 1 - 80, kSignalBandY), kBandGreen);
  EXPECT_EQ(at(w - 1 - 30, kSignalBandY), kBandYellow);
  EXPECT_EQ(at(w - 1 - 5, kSignalBandY), kBandWhite);
  EXPECT_EQ(at(w - 1, kSignalBandY + 6), kBandWhite);
  EXPECT_EQ(at(w - 1 - 5, kSignalBandY + 7), kStripBackground);
}

TEST_F(TrainsWindowTest, AClosedSignalAheadGivesARedBand) {
  Log(20, 0, 40, true, false);
  const QImage strip = DrawTrainStrip(sim, 0, 600, none);
  EXPECT_EQ(strip.pixel(590, kSignalBandY), kBandRed);
}

TEST_F(TrainsWindowTest, TheTwoTextLinesAre25PixelsApartAndAFastTrainsCurvesPassBelowThem) {
  // 90 km/h under a limit of 100 for the last two minutes: the curves lie at y 59 and 49.
  Log(120, 90, 100, false, false);
  Log(1, 90, 100, false, false);
  const int w = 600;
  const QImage strip = DrawTrainStrip(sim, 0, w, none);
  // Text pixels (dark, not a curve) in rows top..bottom of the strip's left part, where both
  // lines start.
  const auto ink = [&](int top, int bottom) {
    int n = 0;
    for (int y = top; y <= bottom; ++y)
      for (int x = 0; x < 100; ++x) {
        const QRgb p = strip.pixel(x, y);
        n += qGray(p) < 100 && p != kSpeedColor && p != kLimitColor;
      }
    return n;
  };
  EXPECT_GT(ink(kStripTextLine1, kStripTextLine1 + 12), 20);  // "№ 2002 Ясная -- Kalna"
  EXPECT_EQ(kStripTextLine2 - kStripTextLine1, 25);
  EXPECT_GT(ink(kStripTextLine2, kStripTextLine2 + 12), 20);  // " V=90.00 Km=0.0 LPd=0 ..."
  EXPECT_EQ(ink(kStripTextLine2 + 16, kStripBaseline - 1), 0);
  EXPECT_EQ(strip.pixel(w - 30, kStripBaseline - 90), kSpeedColor);
  EXPECT_EQ(strip.pixel(w - 30, kStripBaseline - 100), kLimitColor);
}

TEST_F(TrainsWindowTest, TheRenderedWindowHasAStripPerTrainAndTheRealPicturesDraw) {
  TTrainData second = sim.State.Trains[0];
  second.NUMBER = 904;
  sim.State.Trains.push_back(second);
  const StockPictures pictures = StockPictures::Load("../image");
  const QImage image = RenderTrainsWindow(sim, pictures, 1004);
  EXPECT_EQ(image.size(), QSize(960, 2 * kStripHeight));
  if (!pictures[StockPicture::Loco80].isNull()) {
    // Something other than the background and the grid in the composition band.
    int drawn = 0;
    for (int x = 0; x < 960; ++x)
      for (int y = kCompositionTop; y < kCompositionTop + kCompositionHeight; ++y)
        if (image.pixel(x, y) != kStripBackground && image.pixel(x, y) != kGridColor) ++drawn;
    EXPECT_GT(drawn, 200);
  }
}

TEST_F(TrainsWindowTest, RefreshWaitsASecondOfRealTimeButShowingRedrawsAtOnce) {
  TfmTrains window(sim, "../image");
  EXPECT_EQ(window.windowTitle(), "Поезда");
  window.show();
  const QSize shown = window.View()->Picture.size();
  EXPECT_EQ(shown.height(), kStripHeight);
  sim.State.Trains.push_back(sim.State.Trains[0]);
  window.RefreshTrains();  // within the second: nothing
  EXPECT_EQ(window.View()->Picture.height(), kStripHeight);
  window.Redraw();
  EXPECT_EQ(window.View()->Picture.height(), 2 * kStripHeight);
}

}  // namespace
}  // namespace traklin
