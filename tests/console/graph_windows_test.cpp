// The train graphs: the painter probed pixel by pixel, the executed graph window (cursor,
// refresh budget, reset, fit error, mouse, PNG) and NGDP.bmp with the normative window.
#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>
#include <limits>

#include "area/area_reader.h"
#include "area/date_time.h"
#include "area/district_setup.h"
#include "console/graph_painter.h"
#include "console/graph_windows.h"
#include "qt_test_support.h"
#include "views/graph_line.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using graph_test::GraphLine;

constexpr TDateTime kDay = 45000.0;
const QRgb kWhite = qRgb(255, 255, 255), kGrey = qRgb(0x80, 0x80, 0x80), kRed = qRgb(255, 0, 0),
           kBlack = qRgb(0, 0, 0);

TDateTime At(int hours, int minutes) {
  return kDay + hours / 24.0 + minutes * kMinute;
}

/// The test line at 100 %: a graph unit is a pixel. Row 0 of the layout: Аист's band from
/// y 400 (tracks at 416 and 432), the peregon to Бор from 433 to 1433, Бор's band from 1433
/// (its track at 1449).
struct GraphFixture : ::testing::Test {
  GraphFixture() {
    testing_support::App();
    sim.AreaData = line.Area;
    sim.Settings.ScalePercents = 100;
    sim.Settings.ScaleKmOnly = false;
  }

  /// A key point of train `number` on track t of LP lp.
  void Log(TDateTime t, int number, int lp, int track) {
    TTrainPosLogEntry e;
    e.TS = t;
    e.NUMBER = number;
    e.SECT_IDX = line.TrackSection(lp, track);
    e.KEY_POINT = true;
    sim.State.PosLog.push_back(e);
  }

  QImage Render() {
    GraphRendering r = RenderExecutedGraph(sim);
    EXPECT_EQ(r.Error, "");
    return r.Picture;
  }

  GraphLine line;
  Simulation sim;
};

/// Pixels in the box for which the test holds.
template <typename Test>
int Pixels(const QImage& image, const QRect& box, Test test) {
  int n = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      if (test(image.pixel(x, y))) ++n;
  return n;
}
/// Pixels of exactly that colour.
int Count(const QImage& image, const QRect& box, QRgb color) {
  return Pixels(image, box, [&](QRgb c) { return c == color; });
}
/// Pixels that are not white: ink of text and lines.
int Ink(const QImage& image, const QRect& box) {
  return Pixels(image, box, [](QRgb c) { return c != kWhite; });
}
/// Pixels near pure red (text is smoothed).
int Reddish(const QImage& image, const QRect& box) {
  return Pixels(image, box,
                [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 100 && qBlue(c) < 100; });
}
/// Pixels much darker than the grid's grey.
int Dark(const QImage& image, const QRect& box) {
  return Pixels(image, box, [](QRgb c) { return qRed(c) < 80 && qGreen(c) < 80 && qBlue(c) < 80; });
}

TEST_F(GraphFixture, TheEmptyGraphHasGridBandsAndLabels) {
  const QImage g = Render();
  ASSERT_EQ(g.size(), QSize(3480, 3399));
  // Hours: solid and 2 pixels wide; half hours solid; ten minutes dotted.
  EXPECT_EQ(Count(g, QRect(419, 900, 2, 1), kGrey), 2);
  EXPECT_EQ(Count(g, QRect(360, 600, 1, 100), kGrey), 100);
  const int dots = Count(g, QRect(320, 600, 1, 100), kGrey);
  EXPECT_GT(dots, 20);
  EXPECT_LT(dots, 80);
  EXPECT_EQ(g.pixel(330, 900), kWhite);
  // Аист's three band lines and Бор's two; the frame of the row at 300.
  for (int y : {400, 416, 432, 1433, 1449}) EXPECT_EQ(g.pixel(1010, y), kGrey) << y;
  EXPECT_EQ(g.pixel(1010, 424), kWhite);
  EXPECT_EQ(Count(g, QRect(299, 900, 3, 1), kGrey), 2);
  // Names of the stations at both sides, hour labels above the row, track names in the band.
  EXPECT_GT(Ink(g, QRect(10, 400, 200, 30)), 40);
  EXPECT_GT(Ink(g, QRect(3190, 400, 200, 30)), 40);
  EXPECT_EQ(Ink(g, QRect(10, 700, 280, 400)), 0);
  EXPECT_GT(Ink(g, QRect(896, 374, 20, 16)), 5);  // "5"
  EXPECT_GT(Ink(g, QRect(950, 380, 30, 12)), 5);  // "30" minutes
  EXPECT_GT(Ink(g, QRect(530, 419, 20, 12)), 5);  // track 2 above its line at 2 o'clock
}

TEST_F(GraphFixture, SegmentsTakeTheColourOfTheirNumber) {
  Log(At(10, 0), 2, 0, 0);
  Log(At(12, 0), 999, 0, 1);
  Log(At(10, 30), 2, 1, 0);
  Log(At(12, 30), 999, 1, 0);
  const QImage g = Render();
  // Train 2 runs from (1500, 416) to (1560, 1449), train 999 from (1740, 432) to (1800, 1449).
  EXPECT_GT(Count(g, QRect(1527, 930, 6, 5), kRed), 0);
  EXPECT_EQ(Count(g, QRect(1527, 930, 6, 5), kBlack), 0);
  EXPECT_GT(Count(g, QRect(1767, 938, 6, 5), kBlack), 0);
  EXPECT_EQ(Count(g, QRect(1700, 600, 200, 700), kRed), 0);
  // Minute digits: right of the points of even 2, left of those of odd 999.
  EXPECT_GT(Reddish(g, QRect(1505, 405, 25, 25)), 5);
  EXPECT_GT(Reddish(g, QRect(1565, 1440, 25, 25)), 5);
  EXPECT_GT(Dark(g, QRect(1775, 1440, 24, 25)), 5);
  EXPECT_EQ(Dark(g, QRect(1802, 1452, 16, 20)), 0);
  // The number along the line, on its side.
  EXPECT_GT(Reddish(g, QRect(1505, 900, 20, 60)), 5);
}

TEST_F(GraphFixture, ARunPastMidnightWrapsAtTheRightEdgeAndNeverCrossesTheDay) {
  Log(At(23, 50), 4, 0, 0);
  Log(At(24, 10), 4, 1, 0);
  const QImage g = Render();
  // Out at (3180, 932) half way down, in again there at the left edge.
  for (const QRect& box : {QRect(3167, 670, 6, 8), QRect(3177, 928, 4, 8), QRect(300, 928, 4, 8),
                           QRect(307, 1186, 6, 8)})
    EXPECT_GT(Count(g, box, kRed), 0) << box.x() << ", " << box.y();
  EXPECT_EQ(Count(g, QRect(400, 300, 2700, 1300), kRed), 0);
}

TEST_F(GraphFixture, TheCursorShowsInTheWindowAndNeverInThePicture) {
  sim.State.ClockTime = At(12, 5);  // x 1750, off every grid line
  TfmGID gid(sim);
  gid.SetScales(100, false);
  gid.resize(600, 400);
  gid.Refresh();
  ASSERT_TRUE(gid.Graph().Built());
  EXPECT_EQ(gid.CursorX(), 1750);
  EXPECT_EQ(Ink(gid.View()->Picture, QRect(1750, 433, 1, 1000)), 0);
  gid.show();
  gid.View()->ScrollTo({1650, 500});
  gid.View()->viewport()->repaint();
  const QImage shot =
      gid.View()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect column(100, 0, 1, 200);
  EXPECT_GT(Count(shot, column, kBlack), 20);
  EXPECT_GT(Count(shot, column, kWhite), 20);
  EXPECT_EQ(Ink(shot, QRect(95, 0, 3, 200)), 0);
}

TEST_F(GraphFixture, ARefreshWithinItsBudgetCatchesUpWithALongLog) {
  for (int k = 0; k < 300; ++k) {
    Log(kDay + k * 4 * kMinute, 2 + 2 * (k % 5), 0, k % 2);
    Log(kDay + (k * 4 + 3) * kMinute, 2 + 2 * (k % 5), 1, 0);
  }
  const QImage whole = Render();
  ExecutedGraph graph(sim.AreaData);
  graph.SetScales(100, false);
  QImage picture;
  int ticks = 0;
  ExecutedGraph::Refreshed r;
  do {
    r = graph.Refresh(picture, sim.State.PosLog, std::chrono::nanoseconds(0));
    ++ticks;
  } while (r.Pending && ticks < 2000);
  EXPECT_FALSE(r.Pending);
  EXPECT_GT(ticks, 2);
  EXPECT_EQ(picture, whole);
}

TEST_F(GraphFixture, AResetThrowsThePictureAwayAndDrawsTheRestoredLog) {
  Log(At(10, 0), 2, 0, 0);
  Log(At(10, 30), 2, 1, 0);
  TfmGID gid(sim);
  gid.SetScales(100, false);
  gid.Refresh();
  ASSERT_GT(Count(gid.View()->Picture, QRect(1527, 930, 6, 5), kRed), 0);
  // The restored state ran differently: train 2 took the other track.
  sim.State.PosLog.clear();
  Log(At(10, 0), 2, 0, 1);
  Log(At(11, 30), 2, 1, 0);
  gid.Reset();
  EXPECT_TRUE(gid.View()->Picture.isNull());
  gid.Refresh();
  const QImage& g = gid.View()->Picture;
  EXPECT_EQ(Count(g, QRect(1527, 930, 6, 5), kRed), 0);
  EXPECT_GT(Count(g, QRect(1500, 432, 120, 1017), kRed), 0);
}

TEST_F(GraphFixture, AGraphThatDoesNotFitIsReportedOnceAndLeftAlone) {
  // A band far higher than a picture can be, whatever the scale of the peregons.
  sim.AreaData.Puts[0].Tracks.resize(2200);
  TfmGID gid(sim);
  std::vector<QString> errors;
  gid.ReportError = [&](const QString& text) { errors.push_back(text); };
  gid.SetScales(40, true);
  for (int k = 0; k < 3; ++k) gid.Refresh();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Unable to match the GID scale (try lowering it in config file)");
  EXPECT_TRUE(gid.Graph().Failed());
  EXPECT_TRUE(gid.View()->Picture.isNull());
}

TEST_F(GraphFixture, DraggingAndTheWheelScrollThePicture) {
  TfmGID gid(sim);
  gid.SetScales(100, false);
  gid.resize(500, 400);
  gid.ShowGraph();
  PictureView& view = *gid.View();
  view.ScrollTo({1000, 1000});
  QWidget* vp = view.viewport();
  const auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButton button,
                         Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, vp->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(vp, &e);
  };
  mouse(QEvent::MouseButtonPress, {200, 200}, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, {150, 170}, Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, {120, 140}, Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, {120, 140}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(view.Offset(), QPoint(1080, 1060));
  mouse(QEvent::MouseMove, {0, 0}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view.Offset(), QPoint(1080, 1060));

  const auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent e(QPointF(50, 50), vp->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(vp, &e);
  };
  wheel(-120, Qt::NoModifier);
  EXPECT_EQ(view.Offset(), QPoint(1080, 1180));
  wheel(120, Qt::ShiftModifier);
  EXPECT_EQ(view.Offset(), QPoint(960, 1180));
}

TEST_F(GraphFixture, KeysGoToTheMainWindowAndThePictureSavesAsPng) {
  TfmGID gid(sim);
  gid.SetScales(100, false);
  std::vector<int> keys;
  gid.OnKeyDown = [&](QKeyEvent* e) { keys.push_back(e->key()); };
  testing_support::PressKey(gid, Qt::Key_G);
  EXPECT_EQ(keys, std::vector<int>{Qt::Key_G});

  EXPECT_EQ(gid.miSavePng->text(), "Сохранить как PNG…");
  EXPECT_TRUE(gid.View()->actions().contains(gid.miSavePng));
  gid.Refresh();
  const QString path = QString::fromStdString(testing::TempDir()) + "gid_test.png";
  gid.AskPngPath = [&] { return path; };
  gid.miSavePng->trigger();
  EXPECT_EQ(QImage(path, "PNG").size(), QSize(3480, 3399));
}

// ---------------------------------------------------------------------------

struct NgdpFixture : GraphFixture {
  NgdpFixture() {
    // A folder per test: the cases of this suite may run side by side.
    dir = fs::path(testing::TempDir()) /
          (std::string("ngdp_") + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    file = dir / "NGDP.bmp";
    // Passenger 2 from Аист at 10:00 to Бор at 10:30 and on to Вяз.
    TAreaData& a = sim.AreaData;
    TGraphTrainData& t = a.PassTrains[0].emplace_back();
    t.Numbers[0] = 2;
    t.Stops = {{0, 1, 0, 1000, 2}, {0, 2, 1030, 1034, 0}, {0, 3, 1100, 1100, 0}};
    TCreationPlanData& p = a.CreationPlans.emplace_back();
    p.Number = 2;
    p.Time = 955;
    p.CreationPoint = 1;
  }
  fs::path dir, file;
};

TEST_F(NgdpFixture, MissingNgdpIsDrawnAndWrittenAndThePlannedTrainsGoIntoTheExecutedGraph) {
  ExecutedGraph executed(sim.AreaData);
  executed.SetScales(100, false);
  EXPECT_EQ(EnsureNormativeGraphFile(sim.AreaData, 100, false, file, &executed), std::nullopt);
  const QImage ngdp(QString::fromStdString(file.string()), "BMP");
  ASSERT_FALSE(ngdp.isNull());
  // Stations as single lines: Аист at 400, Бор at 1401, Вяз at 1902; Гай's row below.
  EXPECT_EQ(ngdp.size(), QSize(3480, 3303));
  EXPECT_EQ(ngdp.pixel(1010, 400), kGrey);
  EXPECT_GT(Count(ngdp, QRect(1525, 890, 10, 20), kRed), 0);  // the run Аист - Бор
  EXPECT_GT(Count(ngdp, QRect(1560, 1400, 8, 3), kRed), 0);   // the stop at Бор
  EXPECT_FALSE(fs::exists(dir / "NGDP.bmp.tmp"));

  // The executed graph shows the run thin and dashed between the band edges.
  QImage picture;
  executed.Refresh(picture, sim.State.PosLog, std::chrono::nanoseconds::max());
  const int dashes = Count(picture, QRect(1500, 433, 60, 1000), kRed);
  EXPECT_GT(dashes, 100);
  EXPECT_LT(dashes, 900);

  // Present: kept as it is, and the executed graph stays plain.
  std::ofstream(file, std::ios::binary) << "kept";
  ExecutedGraph plain(sim.AreaData);
  plain.SetScales(100, false);
  EXPECT_EQ(EnsureNormativeGraphFile(sim.AreaData, 100, false, file, &plain), std::nullopt);
  EXPECT_EQ(fs::file_size(file), 4u);
  plain.Refresh(picture, sim.State.PosLog, std::chrono::nanoseconds::max());
  EXPECT_EQ(Count(picture, QRect(1500, 433, 60, 1000), kRed), 0);
}

// "Показать нормативный график": every train's planned run, thin and dashed in its colour
// under the executed lines; the passengers' plan of a missing NGDP.bmp keeps to passengers.
TEST_F(NgdpFixture, ThePlanShowsEveryTrainsRunDashedOnlyWhenAskedAndTheMenuTogglesIt) {
  // Train 4002 (magenta) from Аист at 12:00 to Бор at 12:30.
  TGraphTrainData& t = sim.AreaData.PassTrains[0].emplace_back();
  t.Numbers[0] = 4002;
  t.Stops = {{0, 1, 0, 1200, 2}, {0, 2, 1230, 1230, 0}};
  TCreationPlanData& p = sim.AreaData.CreationPlans.emplace_back();
  p.Number = 4002;
  p.Time = 1155;
  p.CreationPoint = 1;
  const QRgb kMagenta = qRgb(255, 0, 255);
  const QRect run2(1500, 433, 60, 1000), run4002(1740, 433, 60, 1000);
  const auto dashed = [](int n) { return n > 100 && n < 900; };

  const QImage plain = Render();
  EXPECT_EQ(Count(plain, run2, kRed) + Count(plain, run4002, kMagenta), 0);
  const QImage plan = RenderExecutedGraph(sim, true).Picture;
  EXPECT_PRED1(dashed, Count(plan, run2, kRed));
  EXPECT_PRED1(dashed, Count(plan, run4002, kMagenta));
  // Nothing in the band of the stop or beside the runs.
  const QRect between(1620, 433, 100, 1000);
  EXPECT_EQ(Count(plan, between, kMagenta) + Count(plan, between, kRed), 0);
  ExecutedGraph passengers(sim.AreaData);
  passengers.SetScales(100, false);
  passengers.SetPlannedTrains(true);
  QImage picture;
  passengers.Refresh(picture, sim.State.PosLog, std::chrono::nanoseconds::max());
  EXPECT_PRED1(dashed, Count(picture, run2, kRed));
  EXPECT_EQ(Count(picture, run4002, kMagenta), 0);

  // The item of the window's context menu draws the picture again with or without the plan.
  TfmGID gid(sim);
  gid.SetScales(100, false);
  ASSERT_TRUE(gid.View()->actions().contains(gid.miShowPlan));
  EXPECT_EQ(gid.miShowPlan->text(), QStringLiteral("Показать нормативный график"));
  gid.Refresh();
  EXPECT_EQ(Count(gid.View()->Picture, run4002, kMagenta), 0);
  gid.miShowPlan->trigger();
  EXPECT_TRUE(gid.Graph().Plan());
  EXPECT_PRED1(dashed, Count(gid.View()->Picture, run4002, kMagenta));
  gid.miShowPlan->trigger();
  EXPECT_EQ(Count(gid.View()->Picture, run4002, kMagenta), 0);
}

TEST_F(NgdpFixture, AFailedWriteLeavesNoFileAndIsItsOwnMessage) {
  const PictureWriter halfWay = [](const QImage&, const QString& path) {
    std::ofstream(path.toStdString(), std::ios::binary) << "BM half a picture";
    return false;
  };
  const std::optional<std::string> error =
      EnsureNormativeGraphFile(sim.AreaData, 100, false, file, nullptr, halfWay);
  EXPECT_EQ(error, "Error writing NGDP.bmp\r\n" + file.string());
  EXPECT_TRUE(fs::is_empty(dir));
  // A graph that cannot be fitted is the scale message; nothing is written either.
  sim.AreaData.GraphScale = 65535;
  sim.AreaData.SlSects[sim.AreaData.GraphPeregons[0].EndSection[0]].Length = 2'000'000'000;
  EXPECT_EQ(EnsureNormativeGraphFile(sim.AreaData, 40, true, file, nullptr),
            "Unable to match the NGDP scale (try lowering it in config file)");
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(NgdpFixture, TheWindowShowsTheFileAndReleasesItWhenHidden) {
  TfmNGDP ngdp(sim);
  std::vector<QString> errors;
  ngdp.ReportError = [&](const QString& text) { errors.push_back(text); };
  ngdp.SetScales(100, false);
  ngdp.SetPicturePath(file);
  EXPECT_EQ(ngdp.windowTitle(), "Нормативный график движения");
  EXPECT_FALSE(ngdp.ShowGraph());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].startsWith("Error reading NGDP.bmp"));
  EXPECT_FALSE(ngdp.isVisible());

  EXPECT_EQ(ngdp.EnsurePictureFile(nullptr), std::nullopt);
  EXPECT_TRUE(ngdp.ShowGraph());
  EXPECT_TRUE(ngdp.isVisible());
  EXPECT_EQ(ngdp.View()->Picture.size(), QSize(3480, 3303));
  ngdp.Toggle();
  EXPECT_FALSE(ngdp.isVisible());
  EXPECT_TRUE(ngdp.View()->Picture.isNull());
}

// ---------------------------------------------------------------------------

/// District 1 as the build generates it, at the default scale (40 %, peregons only). Set
/// TRAKLIN_GRAPH_PICTURES to a directory to keep the two pictures for a look.
TEST(ShippedGraphTest, DistrictOneDrawsItsTimetableAndARun) {
  testing_support::App();
  Simulation sim;
  ASSERT_NO_THROW(
      LoadAreaData("../district/1/Data.dat", sim.AreaData, sim.MaxSpeedLimit, sim.ReadDataError));
  PrepareDistrict(sim.AreaData, {});

  const GraphRendering ngdp = RenderNormativeGraph(sim);
  ASSERT_EQ(ngdp.Error, "");
  EXPECT_EQ(ngdp.Picture.width(), 3306);
  EXPECT_GT(Reddish(ngdp.Picture, ngdp.Picture.rect()), 1000);  // passenger trains 801..806

  // Train 1 from the first track of the first station of the layout to the first track of
  // the next one, 08:00 to 08:20.
  GraphScales scales = GraphScales::FromSettings(40, true);
  const GraphLayout layout = BuildGraphLayout(sim.AreaData, scales, false).Layout;
  ASSERT_FALSE(layout.Rows.empty());
  const GraphEntry& e = layout.Rows[0][0];
  for (auto [lp, minute] : {std::pair{e.A, 0}, {e.B, 20}}) {
    TTrainPosLogEntry k;
    k.TS = At(8, minute);
    k.NUMBER = 1;
    k.SECT_IDX = sim.AreaData.Puts[lp].Tracks[0].Section;
    k.KEY_POINT = true;
    sim.State.PosLog.push_back(k);
  }
  const GraphRendering gid = RenderExecutedGraph(sim);
  ASSERT_EQ(gid.Error, "");
  const int y1 = scales.Px(e.Top - layout.BandHeight(sim.AreaData, e.A) + 16);
  const int y2 = scales.Px(e.Bottom + 16);
  const QRect run(scales.Px(1260) - 2, y1, scales.Px(40) + 4, y2 - y1);
  EXPECT_GT(Reddish(gid.Picture, run), y2 - y1);

  if (const char* dir = std::getenv("TRAKLIN_GRAPH_PICTURES")) {
    ngdp.Picture.save(QString(dir) + "/ngdp.png");
    gid.Picture.save(QString(dir) + "/gid.png");
  }
}

}  // namespace
}  // namespace traklin
