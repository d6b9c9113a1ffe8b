// The main window's keys by physical position (Russian layout, Shift on digits), routed from
// the controller window through the application filter; clicks on the panel; the services and
// the exit item.
#include <gtest/gtest.h>

#include <QAction>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "area/panel_records.h"
#include "console/controller_window.h"
#include "console/graph_windows.h"
#include "console/panel_picture.h"
#include "console/physical_keys.h"
#include "console/reference_window.h"
#include "console/set_time_dialog.h"
#include "qt_test_support.h"
#include "settings/ui/settings_dialog.h"
#include "trains/ui/picture_view.h"
#include "trains/ui/trains_window.h"

namespace traklin {
namespace {

using namespace testing_support;

/// A key press as a keyboard with the Russian layout sends it: the Cyrillic (or shifted)
/// symbol, with the scan code of the physical key.
bool Press(QWidget& target, int usKey, int reported, Qt::KeyboardModifiers modifiers = {}) {
  QKeyEvent press(QEvent::KeyPress, reported, modifiers, ScanCodeOfKey(usKey), 0, 0);
  press.setAccepted(false);
  QApplication::sendEvent(&target, &press);
  return press.isAccepted();
}

class DeskKeysTest : public testing::Test {
 protected:
  DeskKeysTest() : window((App(), sim), std::nullopt, NoConfig()) { window.StartClock(); }
  Simulation sim;
  TestWindow window;
};

TEST(PhysicalKeys, ScanCodesGiveTheUsKeyAndEventsWithoutOneFallBackToTheReportedKey) {
  App();
  const auto key = [](int reported, quint32 scan, Qt::KeyboardModifiers m = {}) {
    return PhysicalKey(QKeyEvent(QEvent::KeyPress, reported, m, scan, 0, 0));
  };
  EXPECT_EQ(key(0x0412, ScanCodeOfKey(Qt::Key_D)), Qt::Key_D);          // В
  EXPECT_EQ(key(Qt::Key_Exclam, ScanCodeOfKey(Qt::Key_1)), Qt::Key_1);  // Shift+1
  EXPECT_EQ(key(0x0411, ScanCodeOfKey(Qt::Key_Comma)), Qt::Key_Comma);  // Б
  EXPECT_EQ(key(0x0419, 0), Qt::Key_Q);                                 // Й without a code
  EXPECT_EQ(key(0x042E, 0), Qt::Key_Period);                            // Ю
  EXPECT_EQ(key(Qt::Key_Percent, 0), Qt::Key_5);
  EXPECT_EQ(key(Qt::Key_Period, 0), Qt::Key_Period);
  EXPECT_EQ(key(Qt::Key_F5, 9999), Qt::Key_F5);  // a code the console does not know
  for (int k : {Qt::Key_0, Qt::Key_9, Qt::Key_Minus, Qt::Key_Equal, Qt::Key_Q, Qt::Key_V,
                Qt::Key_Backslash, Qt::Key_Delete, Qt::Key_F1})
    EXPECT_EQ(KeyOfScanCode(ScanCodeOfKey(k)), k) << k;
}

TEST_F(DeskKeysTest, TheKeyTableWorksWithTheRussianLayoutAndShiftOnDigits) {
  // Digits with Shift (the symbols above them) set the level.
  EXPECT_TRUE(Press(window, Qt::Key_5, Qt::Key_Percent, Qt::ShiftModifier));
  EXPECT_EQ(sim.TimeScaleLevel, 5);
  EXPECT_TRUE(Press(window, Qt::Key_3, 0x2116, Qt::ShiftModifier));  // "№" on the Russian layout
  EXPECT_EQ(sim.TimeScaleLevel, 3);
  EXPECT_TRUE(Press(window, Qt::Key_Equal, Qt::Key_Equal));
  EXPECT_EQ(sim.TimeScaleLevel, 4);
  EXPECT_TRUE(Press(window, Qt::Key_Minus, Qt::Key_Minus));
  EXPECT_EQ(sim.TimeScaleLevel, 1);
  EXPECT_TRUE(Press(window, Qt::Key_Minus, Qt::Key_Underscore, Qt::ShiftModifier));
  EXPECT_EQ(sim.TimeScaleLevel, 0);
  // Ctrl+D is Ctrl+В.
  const bool before = window.InspectionMode();
  EXPECT_TRUE(Press(window, Qt::Key_D, 0x0412, Qt::ControlModifier));
  EXPECT_NE(window.InspectionMode(), before);
  // L (Д) loads the last state even without a loader: the key is taken.
  EXPECT_TRUE(Press(window, Qt::Key_L, 0x0414));
  // The desk keys: Alt or Shift, not both; Й is Q.
  EXPECT_TRUE(Press(window, Qt::Key_Q, 0x0419, Qt::AltModifier));
  EXPECT_TRUE(Press(window, Qt::Key_V, 0x041C, Qt::ShiftModifier));
  EXPECT_FALSE(Press(window, Qt::Key_Q, 0x0419, Qt::AltModifier | Qt::ShiftModifier));
  EXPECT_FALSE(Press(window, Qt::Key_Q, 0x0419));
  // The commit, release and reset keys only while the desk is shown: Б is the comma.
  const int desk[][2] = {{Qt::Key_Comma, 0x0411},
                         {Qt::Key_Period, 0x042E},
                         {Qt::Key_B, 0x0418},
                         {Qt::Key_Delete, Qt::Key_Delete}};
  for (const auto& [us, reported] : desk) EXPECT_FALSE(Press(window, us, reported)) << us;
  window.fmController->show();
  for (const auto& [us, reported] : desk) EXPECT_TRUE(Press(window, us, reported)) << us;
  window.fmController->hide();
}

TEST_F(DeskKeysTest, TheControllerWindowsKeysReachTheMainWindowButADialogKeepsItsOwn) {
  window.fmController->show();
  window.SetTimeScale(1);
  EXPECT_TRUE(Press(*window.fmController, Qt::Key_7, 0x0037));
  EXPECT_EQ(sim.TimeScaleLevel, 7);
  EXPECT_TRUE(Press(*window.fmController, Qt::Key_Minus, Qt::Key_Minus));
  EXPECT_EQ(sim.TimeScaleLevel, 1);
  window.fmController->hide();
  Press(*window.fmSetTime, Qt::Key_5, Qt::Key_5);
  EXPECT_EQ(sim.TimeScaleLevel, 1);
}

TEST_F(DeskKeysTest, TheGraphWindowsKeysReachTheMainWindowAndGAndNOpenThem) {
  window.SetTimeScale(1);
  EXPECT_TRUE(Press(*window.fmGID, Qt::Key_7, Qt::Key_7));
  EXPECT_EQ(sim.TimeScaleLevel, 7);
  EXPECT_TRUE(Press(*window.fmNGDP, Qt::Key_2, Qt::Key_2));
  EXPECT_EQ(sim.TimeScaleLevel, 2);
  // ГИД (П on the Russian layout) shows nothing while the graph is disabled.
  sim.Settings.GidEnabled = false;
  EXPECT_TRUE(Press(window, Qt::Key_G, 0x041F));
  EXPECT_FALSE(window.fmGID->isVisible());
  // НГДП (Т) without a picture file: the error, and the window stays hidden.
  QString text;
  ModalAnswers answers({ClickBox(&text)});
  EXPECT_TRUE(Press(window, Qt::Key_N, 0x0422));
  EXPECT_TRUE(text.startsWith(QStringLiteral("Error reading NGDP.bmp"))) << text.toStdString();
  EXPECT_FALSE(window.fmNGDP->isVisible());
}

TEST_F(DeskKeysTest, ReportsTrainsAndSettingsOpenFromTheirKeysAndNoMenuItemWaitsForAWindow) {
  // Alt+F1..F3: the reports; T (Е) and the backslash key toggle the trains window.
  EXPECT_TRUE(Press(window, Qt::Key_F2, Qt::Key_F2, Qt::AltModifier));
  EXPECT_TRUE(window.fmReference->isVisible());
  EXPECT_TRUE(window.fmReference->windowTitle().contains(QStringLiteral("Справка")))
      << window.fmReference->windowTitle().toStdString();
  EXPECT_TRUE(Press(window, Qt::Key_T, 0x0415));
  EXPECT_TRUE(window.fmTrains->isVisible());
  EXPECT_TRUE(Press(*window.fmTrains, Qt::Key_Backslash, Qt::Key_Backslash));
  EXPECT_FALSE(window.fmTrains->isVisible());
  // Ctrl+C (С): the settings dialog, modal, with the clock paused while it is open.
  window.SetTimeScale(3);
  int levelWhileOpen = -1;
  ModalAnswers answers({[&](QWidget* modal) {
    levelWhileOpen = sim.TimeScaleLevel;
    EXPECT_EQ(modal, window.fmSettings);
    static_cast<QDialog*>(modal)->reject();
  }});
  EXPECT_TRUE(Press(window, Qt::Key_C, 0x0421, Qt::ControlModifier));
  EXPECT_EQ(levelWhileOpen, 0);
  EXPECT_EQ(sim.TimeScaleLevel, 3);
  for (QAction* item : {window.miRefTrains, window.miRefPassengerSchedule, window.miRefApproaches,
                        window.miRefTracks, window.miConfiguration, window.miGID, window.miNGDP})
    EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
}

// One station fragment on a 400 x 300 panel, moved by the view to (150, 100).
void InstallPanel(Simulation& sim) {
  TAreaData& area = sim.AreaData;
  area.StationCount = 2;
  area.GraphFragms = {test::Fragment(0, 0, 100, 80, 50, 40),
                      test::Fragment(200, 0, 300, 80, 250, 40)};
  area.GraphVids = {test::View(400, 300, 10, {{150, 100, 0, 0}, {300, 100, 0, 0}})};
  area.GraphLamps = {TGraphLampData{}, TGraphLampData{}, TGraphLampData{},
                     test::Lamp(60, 50, 20, 3, 0, 0)};
  area.FirstLamp = 4;
  sim.State.Lamps.resize(4);
}

void Click(TfmControlPanel& window, QPoint at, Qt::MouseButton button,
           Qt::KeyboardModifiers modifiers = {}) {
  QWidget* viewport = window.sbPult->viewport();
  const QPoint local = at - window.sbPult->Offset();
  QMouseEvent press(QEvent::MouseButtonPress, local, viewport->mapToGlobal(local), button, button,
                    modifiers);
  QApplication::sendEvent(viewport, &press);
}

TEST_F(DeskKeysTest, AClickOnAStationSelectsItOnTheDeskAndInspectionNamesTheLamp) {
  InstallPanel(sim);
  window.BuildPanel(QImage());
  window.resize(500, 450);
  // Fragment 0 covers x 100..199, y 60..139 on the screen; fragment 1 x 250..349.
  Click(window, {120, 70}, Qt::LeftButton);
  EXPECT_EQ(window.fmController->SelectedStation(), 0);
  Click(window, {300, 70}, Qt::RightButton);
  EXPECT_EQ(window.fmController->SelectedStation(), 1);
  Click(window, {220, 70}, Qt::LeftButton);  // between the stations: nothing changes
  EXPECT_EQ(window.fmController->SelectedStation(), 1);

  // In inspection mode the caption names the lamp under the point: lamp 3 at (161..180, 111).
  if (!window.InspectionMode()) PressKey(window, Qt::Key_D, Qt::ControlModifier);
  const QString caption = window.windowTitle().section(QStringLiteral(" - debug"), 0, 0);
  Click(window, {170, 111}, Qt::LeftButton);
  EXPECT_EQ(window.windowTitle(), caption + QStringLiteral(" - debug: lamp № 3"));
  EXPECT_EQ(window.fmController->SelectedStation(), 0);
}

TEST_F(DeskKeysTest, TheTickRefreshesTheLampsOfThePanel) {
  InstallPanel(sim);
  window.BuildPanel(QImage());
  const QColor grey(0x50, 0x50, 0x50);
  EXPECT_EQ(window.sbPult->Picture.pixelColor(170, 111), grey);
  sim.State.Lamps[3].RED = true;
  window.TimerTick();
  EXPECT_EQ(window.sbPult->Picture.pixelColor(170, 111), QColor(255, 0, 0));
  sim.State.Lamps[3].RED = false;
  sim.State.Lamps[3].GREEN = true;
  window.TimerTick();
  EXPECT_EQ(window.sbPult->Picture.pixelColor(170, 111), QColor(0, 255, 0));
}

TEST_F(DeskKeysTest, TheWheelScrollsThePanelByItsDeltaOnlyWhenItCanScroll) {
  InstallPanel(sim);
  sim.AreaData.GraphVids[0].Values[1] = 2000;
  window.BuildPanel(QImage());
  window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  window.resize(500, 400);
  window.show();
  QScrollBar* bar = window.sbPult->verticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  bar->setValue(300);
  QWheelEvent wheel(QPointF(20, 20), QPointF(20, 20), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(window.sbPult->viewport(), &wheel);
  EXPECT_EQ(bar->value(), 180);
  window.hide();
}

TEST_F(DeskKeysTest, AReportWhilePausedDoesNotStartTheClock) {
  window.SetTimeScale(0);
  QString text;
  ModalAnswers answers({ClickBox(&text), ClickBox(nullptr), ClickBox(nullptr)});
  window.NotifyDispatcher("Поезд прибыл");
  window.InformDispatcher("ДСП", "Поезд прибыл", 1);
  window.AskDispatcher("ДСП", "Принять?", 1);
  EXPECT_EQ(answers.Answered(), 3u);
  EXPECT_EQ(sim.TimeScaleLevel, 0);
  EXPECT_FALSE(window.Timer->isActive());
}

TEST_F(DeskKeysTest, ExitClosesTheWindow) {
  window.show();
  ASSERT_TRUE(window.isVisible());
  window.miExit->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(DeskKeysTest, HoveringOverTheClockDrawsNothingFromTheSimulationsGenerator) {
  sim.Random.Seed(42);
  RandomGenerator reference(42);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(window.imClock, &enter);
  for (int i = 0; i < 5; ++i) window.DrawDate();
  EXPECT_EQ(sim.Random.Draw(1000000), reference.Draw(1000000));
}

}  // namespace
}  // namespace traklin
