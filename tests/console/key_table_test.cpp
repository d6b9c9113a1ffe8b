// The main window's key table: keys by physical position (Russian layout, Shift on digits), the
// desk keys through the desk's key grid, and the keys routed from the other console windows.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QWheelEvent>
#include <tuple>

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

class KeyTableTest : public testing::Test {
 protected:
  KeyTableTest() : window((App(), sim), std::nullopt, NoConfig()) { window.StartClock(); }
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

TEST_F(KeyTableTest, TheKeyTableWorksWithTheRussianLayoutAndShiftOnDigits) {
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

TEST_F(KeyTableTest, DeskKeysPressTheRouteButtonsTheDesksKeyGridGives) {
  // One controlled station with the narrow throat layout (columns 1 and 4 have three rows,
  // 2 and 3 five), selected, so that a desk key holds its button as the route's start.
  sim.AreaData.StationCount = 1;
  sim.AreaData.Stanzs.resize(1);
  sim.AreaData.Stanzs[0].Value2 = 0;
  sim.AreaData.ThroatLayout = 1;
  window.fmController->Setup();
  window.fmController->SelectStation(0, false);
  ASSERT_EQ(window.fmController->SelectedStation(), 0);
  // US key, the Cyrillic letter it sends, modifier -> the start button held (column, row);
  // column 0: the desk has no such button.
  for (const auto& [us, reported, modifier, column, row] : {
           std::tuple{Qt::Key_Q, 0x0419, Qt::AltModifier, 1, 1},  // Й: the Q row is row 1
           {Qt::Key_W, 0x0426, Qt::AltModifier, 2, 1},            // Ц
           {Qt::Key_S, 0x042B, Qt::AltModifier, 2, 3},            // Ы: row 2 reaches 3
           {Qt::Key_C, 0x0421, Qt::AltModifier, 3, 5},            // С: row 3 reaches 5
           {Qt::Key_Z, 0x042F, Qt::AltModifier, 0, 0},            // Я: column 1 has no row 5
           {Qt::Key_Z, 0x042F, Qt::ShiftModifier, 1, 1},          // the Z row is row 1 here
           {Qt::Key_X, 0x0427, Qt::ShiftModifier, 2, 1},          // Ч
           {Qt::Key_F, 0x0410, Qt::ShiftModifier, 4, 2},          // А: row 2 reaches 2
           {Qt::Key_E, 0x0423, Qt::ShiftModifier, 3, 4},          // У: row 3 reaches 4
           {Qt::Key_R, 0x041A, Qt::ShiftModifier, 0, 0},          // К: column 4 has no row 4
       }) {
    EXPECT_TRUE(Press(window, us, reported, modifier)) << us;
    EXPECT_EQ(window.fmController->Desk().Start(), (DeskButton{column, row})) << us;
    window.fmController->ResetRouteInput();
  }
  window.fmController->hide();
}

TEST_F(KeyTableTest, TheControllerWindowsKeysReachTheMainWindowButADialogKeepsItsOwn) {
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

TEST_F(KeyTableTest, TheGraphWindowsKeysReachTheMainWindowAndGAndNOpenThem) {
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

TEST_F(KeyTableTest, ReportsTrainsAndSettingsOpenFromTheirKeysAndNoMenuItemWaitsForAWindow) {
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

TEST_F(KeyTableTest, TheReferenceWindowKeepsItsOwnKeysAndCtrlCCopiesItsText) {
  window.fmReference->ShowReport(ReportKind::Approaches);
  QPlainTextEdit* text = window.fmReference->mmText;
  text->selectAll();
  QApplication::clipboard()->clear();
  window.SetTimeScale(3);
  int loads = 0;
  window.LoadState = [&loads] {
    ++loads;
    return SaveOutcome{};
  };
  // Any window opened by a key of the main window (the settings, a load's failure) is closed
  // and counted.
  ModalAnswers answers(
      {[](QWidget* modal) { modal->close(); }, [](QWidget* modal) { modal->close(); }});
  // With Ctrl held the keyboard reports the Latin key whatever the layout.
  Press(*text, Qt::Key_C, Qt::Key_C, Qt::ControlModifier);
  Press(*text, Qt::Key_7, Qt::Key_7);
  Press(*text, Qt::Key_L, 0x0414);  // Д
  Press(*text, Qt::Key_Q, 0x0419, Qt::AltModifier);
  QApplication::processEvents();
  EXPECT_EQ(answers.Answered(), 0u);
  EXPECT_EQ(std::pair(sim.TimeScaleLevel, loads), std::pair(3, 0));
  EXPECT_EQ(QApplication::clipboard()->text(), text->toPlainText());
  EXPECT_TRUE(
      QApplication::clipboard()->text().startsWith(QStringLiteral("   СПРАВКА О ПОДХОДАХ")));
  window.fmReference->hide();
}

}  // namespace
}  // namespace traklin
