// The main window: caption, menu, header, time control, keys, the tick, saving, the set-time
// dialog, the start-up on an installed district, clicks and the wheel on the panel.
#include "console/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDateEdit>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QWheelEvent>
#include <fstream>

#include "area/date_time.h"
#include "area/district_text.h"
#include "area/panel_records.h"
#include "console/controller_window.h"
#include "console/panel_picture.h"
#include "console/set_time_dialog.h"
#include "console/shift_session.h"
#include "qt_test_support.h"
#include "trains/ui/picture_view.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

constexpr double kSecond = 1.0 / 86400;

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() : window((App(), sim), std::nullopt, NoConfig()) {}
  Simulation sim;
  TestWindow window;
};

QStringList Captions(const QList<QAction*>& actions) {
  QStringList captions;
  for (const QAction* a : actions) captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return captions;
}

TEST_F(MainWindowTest, CaptionComponentsMenuAndHeader) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин"));
  EXPECT_EQ(window.objectName(), QStringLiteral("fmControlPanel"));
  EXPECT_EQ(window.size(), QSize(651, 418));
  for (const char* name :
       {"mmOptions", "miTimeDouble", "pnHeader", "imClock", "lbMultiplier", "lbMsg", "sbPult"})
    EXPECT_NE(window.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
  QStringList all = Captions(window.mmOptions->actions());
  for (QAction* a : window.mmOptions->actions())
    if (a->menu()) all << "|" << Captions(a->menu()->actions());
  EXPECT_EQ(all.join(";"),
            QStringLiteral("Файл;ГИД;ГИД (доп);НГДП;Справки;Время;Диспетчер;Настройки...;"
                           "Взять управление;|;"
                           "Загрузить пред. (last.sav);Сохранить;-;Выход;|;по составам...;по "
                           "расписанию (пасс.);по подходам...;по графикам курсирования...;по "
                           "путям...;по пунктуальности...;Итоги смены;Журнал станций;|;"
                           "Пауза;Норма;Ускорить ;|;"
                           "Автоматическое управление участком;Сценарий...;Неисправности...;"
                           "Разрешение на проследование..."));
  // "Взять управление" shows only while a shift is replayed.
  EXPECT_FALSE(window.miTakeControl->isVisible());
  EXPECT_FALSE(window.N1->isEnabled() || window.N3->isEnabled());
  EXPECT_TRUE(window.miTime0->isEnabled() && window.miSave->isEnabled());
  // The header strip: the clock at the top left, the labels 12 pixels right of it.
  EXPECT_EQ(window.pnHeader->height(), 50);
  EXPECT_EQ(window.imClock->geometry(), QRect(window.imClock->x(), 4, 80, 36));
  EXPECT_EQ(window.lbMultiplier->pos(), QPoint(window.imClock->x() + 80 + 12, 8));
  EXPECT_EQ(window.lbMsg->pos(), QPoint(window.lbMultiplier->x(), 24));
  EXPECT_TRUE(window.lbMsg->text().isEmpty());
}

// The table itself is the core's (its tests pin every level); the window shows the label in its
// colour and runs the timer at the level's interval once the start-up has finished.
TEST_F(MainWindowTest, TimeScaleSetsLabelColourAndTimerAndTheTimerWaitsForTheStart) {
  window.SetTimeScale(3);
  EXPECT_FALSE(window.Timer->isActive());
  window.StartClock();
  for (const auto& [level, label, interval] :
       {std::tuple{0, "Пауза", 0}, {1, "", 500}, {2, "x2", 250}, {9, "x256", 62}}) {
    window.SetTimeScale(level);
    EXPECT_EQ(
        std::tuple(window.lbMultiplier->text(),
                   window.lbMultiplier->palette().color(QPalette::WindowText),
                   window.Timer->isActive() ? window.Timer->interval() : 0, sim.TimeScaleLevel),
        std::tuple(QString::fromUtf8(label), QColor(0xD0, 0xC0, 0xE0), interval, level));
  }
}

TEST_F(MainWindowTest, KeysAndTimeMenuItemsChangeTheTimeScale) {
  // From level, key (-1, -2, -3: the menu items Pause, Normal, Faster), to level: digits set it,
  // minus pauses from normal speed and returns to it from above, plus and equals double up to 9.
  const int rows[][3] = {{5, Qt::Key_0, 0},
                         {1, Qt::Key_7, 7},
                         {0, Qt::Key_9, 9},
                         {1, Qt::Key_Minus, 0},
                         {0, Qt::Key_Minus, 0},
                         {6, Qt::Key_Minus, 1},
                         {3, Qt::Key_Equal, 4},
                         {0, Qt::Key_Plus, 1},
                         {9, Qt::Key_Plus, 9},
                         {4, Qt::Key_K, 4},
                         {4, -1, 0},
                         {4, -2, 1},
                         {3, -3, 4},
                         {9, -3, 9}};
  QAction* items[] = {window.miTime0, window.miTime1, window.miTimeDouble};
  for (const auto& [from, key, to] : rows) {
    window.SetTimeScale(from);
    key < 0 ? items[-key - 1]->trigger() : PressKey(window, key);
    EXPECT_EQ(sim.TimeScaleLevel, to) << "key " << key << " at " << from;
  }
}

TEST_F(MainWindowTest, CtrlDTogglesInspectionModeAndTheCaption) {
  PressKey(window, Qt::Key_D, Qt::ControlModifier);  // before the start the mode is off
  EXPECT_TRUE(window.InspectionMode());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин - debug"));
  PressKey(window, Qt::Key_D, Qt::ControlModifier);
  EXPECT_FALSE(window.InspectionMode());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин"));
}

TEST_F(MainWindowTest, TickRunsStepsPerTickAndShowsTheCalendarWhileHovered) {
  const TDateTime start = EncodeDate(2024, 1, 8) + 0.5;
  sim.State.ClockTime = start;
  window.StartClock();
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, start);
  window.TimerTick();
  window.SetTimeScale(9);
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, start + (1 + 32) * 0.5 * kSecond, 1e-9);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QEvent leave(QEvent::Leave);
  for (QEvent* event : {static_cast<QEvent*>(&enter), &leave}) {
    QApplication::sendEvent(window.imClock, event);
    window.TimerTick();  // the white sheet, then the black clock again
    EXPECT_EQ(window.imClock->Image.pixelColor(76, 32),
              QColor(event == &enter ? Qt::white : Qt::black));
  }
}

TEST_F(MainWindowTest, FailedSaveIsReportedAndPostponesTheAutosaveASuccessfulOneMovesIt) {
  sim.State.ClockTime = 40000.25;
  window.StartClock();
  QString text, title;
  {
    ModalAnswers answers({ClickBox(&text, &title)});
    PressKey(window, Qt::Key_S, Qt::ControlModifier);
  }
  EXPECT_EQ(std::pair(text, title),
            std::pair(QStringLiteral("Сохранение не удалось."), QStringLiteral("Traklin")));
  EXPECT_NEAR(sim.LastSaveTime, 40000.25 + 150 * kSecond, 1e-9);
  EXPECT_TRUE(window.Timer->isActive());  // the timer runs again after the attempt
  window.SaveState = [] { return true; };
  sim.State.ClockTime = 40000.5;
  window.miSave->trigger();
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, 40000.5);
}

TEST_F(MainWindowTest, ErrorInsideAStepPausesShowsItOnceAndTheTicksGoOn) {
  window.failingRuns = 1;
  sim.State.ClockTime = 40000.0;
  window.StartClock();
  window.SetTimeScale(4);
  QString text;
  ModalAnswers answers({ClickBox(&text), ClickBox(nullptr)});
  window.TimerTick();
  EXPECT_EQ(answers.Answered(), 1u);
  EXPECT_EQ(text, QStringLiteral("Маршрут не найден"));
  EXPECT_EQ(window.lbMultiplier->text(), QStringLiteral("Пауза"));
  EXPECT_FALSE(sim.TimeScaleLevel != 0 || window.Timer->isActive());
  window.SetTimeScale(1);  // the handler is attached again: the next tick runs its steps
  window.TimerTick();
  EXPECT_EQ(window.runs, 2);
  EXPECT_NEAR(sim.State.ClockTime, 40000.0 + 0.5 * kSecond, 1e-9);
}

TEST(SetTimeDialogTest, OkGivesThePickedDateAndTimeWithoutSecondsClosingKeepsTheTime) {
  App();
  TfmSetTime dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Время суток"));
  const TDateTime t = EncodeDate(2011, 3, 15) + (7 * 3600 + 5 * 60 + 42) * kSecond;
  ModalAnswers answers(
      {[](QWidget* modal) {
         auto* d = qobject_cast<TfmSetTime*>(modal);
         EXPECT_EQ(std::tuple(d->seHours->value(), d->seMinutes->value(), d->dpDate->date()),
                   std::tuple(7, 5, QDate(2011, 3, 15)));
         d->dpDate->setDate(QDate(2011, 4, 1)), d->seHours->setValue(23), d->seMinutes->setValue(9);
         d->btOK->click();
       },
       [](QWidget* modal) { qobject_cast<TfmSetTime*>(modal)->reject(); }});
  EXPECT_DOUBLE_EQ(dialog.Execute(t), EncodeDate(2011, 4, 1) + 23.0 / 24 + 9.0 / 1440);
  EXPECT_EQ(dialog.Execute(t), t);
}

// ---------------------------------------------------------------------------
// Start-up: district 1 installed under a scratch root, with an optional configuration file.

class StartUpTest : public testing::Test {
 protected:
  StartUpTest() {
    fs::remove_all(root);
    fs::create_directories(paths.DistrictRoot / "1");
    fs::create_directories(root / "config");
  }
  ~StartUpTest() override { fs::remove_all(root); }

  // Installs the district and starts, answering the boxes; returns their texts ("set time" for
  // the set-time dialog, which sets 7:30).
  QStringList Start(TfmControlPanel& window) {
    std::ofstream(paths.DistrictRoot / "1" / "Data.dat", std::ios::binary) << district.Bytes();
    if (withPult) {
      QImage pult(800, 600, QImage::Format_RGB32);
      pult.fill(QColor(0xC0, 0xC0, 0xC0));
      pult.save(QString::fromStdString((paths.DistrictRoot / "1" / "Pult.bmp").string()), "BMP");
    }
    QStringList texts;
    const auto answer = [&](QWidget* modal) {
      auto* d = qobject_cast<TfmSetTime*>(modal);
      texts << (d ? "set time" : "");
      if (d == nullptr) return ClickBox(&texts.back(), &title)(modal);
      d->seHours->setValue(7), d->seMinutes->setValue(30), d->btOK->click();
    };
    ModalAnswers answers(std::vector<std::function<void(QWidget*)>>(3, answer));
    window.StartSimulation();
    return texts;
  }

  const fs::path root =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  const ConsolePaths paths{root / "district", root / "config" / "Traklin.ini"};
  Simulation sim;
  test::DistrictText district;
  QString title;  // of the last box
  bool withPult = true;
};

TEST_F(StartUpTest, UsableDistrictIsPreparedWithTheSettingsAndStartsAtTheChosenTime) {
  std::ofstream(paths.SettingsFile) << "[VIEW]\r\nRESOLUTION=1\r\n[SOUND]\r\nMESSAGERINGS=0\r\n";
  // Two panel views: view 0 800 wide with the clock at 10, view 1 640 wide with the clock at 300.
  district.SetSection("Data_Graph_Vid",
                      "2\n800,600,10\n640,480,300\n0,0,0,0\n0,0,0,0\n"
                      "300,0,0,1\n300,0,0,1");
  TestWindow window((App(), sim), std::string("1"), paths);
  EXPECT_FALSE(sim.Settings.MessageRings);            // read when the window is made
  EXPECT_EQ(Start(window), QStringList{"set time"});  // no error box
  // The run's console is the shift's session in front of the window.
  EXPECT_TRUE(window.Started() && window.ExitCode() == 0 && window.Shift() != nullptr &&
              sim.Console == window.Shift());
  EXPECT_EQ(window.PanelView(), 1);
  EXPECT_EQ(window.imClock->geometry(), QRect(300, 4, 80, 36));
  // The set-up ran (kind 0 signal added at the peregon's end) and the state follows it.
  EXPECT_FALSE(sim.AreaData.TrainRoutes[0].Routes.empty());
  EXPECT_EQ(sim.State.Semaphores.size(), sim.AreaData.Semaphores.size());
  // StateInit starts at midnight of a day of the base year; the dialog sets the time of day.
  EXPECT_EQ(DecodeDate(sim.State.ClockTime).Year, 2024);
  EXPECT_NEAR(sim.State.ClockTime - static_cast<int>(sim.State.ClockTime), 7.5 / 24, 1e-9);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);
  EXPECT_EQ(std::pair(sim.TimeScaleLevel, window.Timer->isActive() ? window.Timer->interval() : 0),
            std::pair(1, 500));
  // The panel picture of view 1 on the background of Pult.bmp.
  ASSERT_NE(window.Panel(), nullptr);
  EXPECT_EQ(window.sbPult->Picture.size(), QSize(640, 480));
  EXPECT_EQ(window.Panel()->Background, QColor(0xC0, 0xC0, 0xC0));
  // The inspection mode is on; the first Ctrl+D leaves it with the window's caption.
  EXPECT_TRUE(window.InspectionMode());
  PressKey(window, Qt::Key_D, Qt::ControlModifier);
  EXPECT_FALSE(window.InspectionMode());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин"));
}

TEST_F(StartUpTest, FailingSetUpShowsTheInitializingErrorAndTheClockStillRuns) {
  district.SetSection("Data_Sekz", "1,1\n2,2\n3,40\n4,4\n5,5\n6,6\n7,7\n65535");
  TfmControlPanel window((App(), sim), std::string("1"), paths);
  EXPECT_EQ(
      Start(window),
      (QStringList{"Error initializing data+\n\nLamp 40 of section 3 out of bounds", "set time"}));
  EXPECT_TRUE(window.Started() && window.ExitCode() == 0 && window.Timer->isActive());
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);
  const TDateTime before = sim.State.ClockTime;  // the clock runs over the unprepared district
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, before + 0.5 * kSecond, 1e-9);
}

TEST_F(StartUpTest, MissingPultIsReportedAndThePanelIsDrawnOnTheWindowColour) {
  withPult = false;
  TfmControlPanel window((App(), sim), std::string("1"), paths);
  EXPECT_EQ(Start(window), (QStringList{"Error reading Pult.bmp\n", "set time"}));
  EXPECT_TRUE(window.Started() && window.Timer->isActive());
  ASSERT_NE(window.Panel(), nullptr);
  EXPECT_EQ(window.Panel()->Background, kWindowGreen);
  EXPECT_EQ(window.sbPult->Picture.size(), QSize(800, 600));
}

TEST_F(StartUpTest, BrokenDistrictFileShowsTheReadErrorAndEnds) {
  district.SetSection("Data_Sekz", "1,1\n2,x\n65535");
  TfmControlPanel window((App(), sim), std::string("1"), paths);
  const QStringList texts = Start(window);
  ASSERT_EQ(texts.size(), 1);
  EXPECT_TRUE(texts[0].startsWith(QStringLiteral("Error reading Data.dat\nAt Line %1\n'2,x'\n\n")
                                      .arg(district.BodyLine("Data_Sekz", 2))))
      << texts[0].toStdString();
  EXPECT_FALSE(window.Started() || window.Timer->isActive() || window.ExitCode() != 1);
}

TEST_F(StartUpTest, NonNumericDistrictArgumentShowsUnknownDistrictAndEnds) {
  TfmControlPanel window((App(), sim), std::string("abc"), paths);
  EXPECT_EQ(Start(window), QStringList{"Неизвестен участок симулятора\n"});
  EXPECT_EQ(title, QStringLiteral("Traklin"));
  EXPECT_FALSE(window.Started() || window.ExitCode() != 1 || !window.DistrictDir().empty());
  EXPECT_EQ(sim.Console, nullptr);
}

// ---------------------------------------------------------------------------
// The panel: clicks, lamps, the wheel; the exit item and the clock, in a started window

class StartedWindowTest : public MainWindowTest {
 protected:
  StartedWindowTest() { window.StartClock(); }
};

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

TEST_F(StartedWindowTest, AClickOnAStationSelectsItOnTheDeskAndInspectionNamesTheLamp) {
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

TEST_F(StartedWindowTest, TheTickRefreshesTheLampsOfThePanel) {
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

TEST_F(StartedWindowTest, TheWheelScrollsThePanelByItsDeltaOnlyWhenItCanScroll) {
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

TEST_F(StartedWindowTest, AHorizontalWheelAndShiftWithTheWheelScrollTheWidePanelSideways) {
  InstallPanel(sim);
  sim.AreaData.GraphVids[0].Values[0] = 1766;  // district 1's width
  sim.AreaData.GraphVids[0].Values[1] = 1000;
  window.BuildPanel(QImage());
  window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  window.resize(500, 400);
  window.show();
  QScrollBar* across = window.sbPult->horizontalScrollBar();
  QScrollBar* down = window.sbPult->verticalScrollBar();
  ASSERT_TRUE(across->isVisible() && down->isVisible());
  const auto wheel = [&](QPoint delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(QPointF(20, 20), QPointF(20, 20), QPoint(), delta, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.sbPult->viewport(), &event);
    return std::pair(across->value(), down->value());
  };
  across->setValue(600);
  down->setValue(300);
  // delta, modifiers -> horizontal and vertical positions after it
  EXPECT_EQ(wheel({120, 0}, {}), std::pair(480, 300));                 // tilted wheel left
  EXPECT_EQ(wheel({-240, 0}, {}), std::pair(720, 300));                // and right
  EXPECT_EQ(wheel({0, 120}, Qt::ShiftModifier), std::pair(600, 300));  // Shift: sideways
  EXPECT_EQ(wheel({0, -120}, Qt::ShiftModifier), std::pair(720, 300));
  EXPECT_EQ(wheel({0, 120}, {}), std::pair(720, 180));  // the plain wheel still scrolls down
  window.hide();
}

TEST_F(StartedWindowTest, ExitClosesTheWindow) {
  window.show();
  ASSERT_TRUE(window.isVisible());
  window.miExit->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(StartedWindowTest, HoveringOverTheClockDrawsNothingFromTheSimulationsGenerator) {
  sim.Random.Seed(42);
  RandomGenerator reference(42);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(window.imClock, &enter);
  for (int i = 0; i < 5; ++i) window.DrawDate();
  EXPECT_EQ(sim.Random.Draw(1000000), reference.Draw(1000000));
}

}  // namespace
}  // namespace traklin
