// The main window: caption, menu, header, time control, keys, the tick, saving, the set-time
// dialog, the start-up on an installed district, and the console services under each setting.
#include "console/control_panel.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDateEdit>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSpinBox>
#include <fstream>
#include <map>
#include <stdexcept>

#include "area/date_time.h"
#include "area/district_text.h"
#include "console/clock_face.h"
#include "console/set_time_dialog.h"
#include "qt_test_support.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using testing_support::App;
using testing_support::ClickBox;
using testing_support::ModalAnswers;
using testing_support::NoConfig;
using testing_support::PressKey;
using testing_support::RingRecordingWindow;

constexpr double kSecond = 1.0 / 86400;

class ControlPanelTest : public testing::Test {
 protected:
  ControlPanelTest() : window((App(), sim), std::nullopt, NoConfig()) {}

  Simulation sim;
  RingRecordingWindow window;
};

QStringList Captions(const QList<QAction*>& actions) {
  QStringList captions;
  for (const QAction* a : actions) captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return captions;
}

TEST_F(ControlPanelTest, CaptionComponentsMenuAndHeader) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин"));
  EXPECT_EQ(window.size(), QSize(651, 418));
  EXPECT_EQ(window.objectName(), QStringLiteral("fmControlPanel"));
  for (const char* name :
       {"mmOptions", "miTimeDouble", "pnHeader", "imClock", "lbMultiplier", "lbMsg", "sbPult"})
    EXPECT_NE(window.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
  std::map<QString, QStringList> menus;
  for (QAction* a : window.mmOptions->actions())
    if (a->menu()) menus[a->text()] = Captions(a->menu()->actions());
  EXPECT_EQ(Captions(window.mmOptions->actions()),
            (QStringList{"Файл", "ГИД", "ГИД (доп)", "НГДП", "Справки", "Время", "Настройки..."}));
  EXPECT_EQ(menus["Файл"], (QStringList{"Загрузить пред. (last.sav)", "Сохранить", "-", "Выход"}));
  EXPECT_EQ(menus["Справки"],
            (QStringList{"по составам...", "по расписанию (пасс.)", "по подходам...",
                         "по графикам курсирования...", "по путям..."}));
  EXPECT_EQ(menus["Время"], (QStringList{"Пауза", "Норма", "Ускорить "}));
  EXPECT_FALSE(window.N1->isEnabled() || window.N3->isEnabled());
  EXPECT_TRUE(window.miTime0->isEnabled() && window.miSave->isEnabled());
  // The header strip: clock at the top left, the labels 12 pixels right of it.
  EXPECT_EQ(window.pnHeader->height(), 50);
  EXPECT_EQ(window.imClock->geometry().size(), QSize(80, 36));
  EXPECT_EQ(window.imClock->y(), 4);
  EXPECT_EQ(window.lbMultiplier->pos(), QPoint(window.imClock->x() + 80 + 12, 8));
  EXPECT_EQ(window.lbMsg->pos(), QPoint(window.lbMultiplier->x(), 24));
  EXPECT_TRUE(window.lbMsg->text().isEmpty());
}

TEST(ControlPanelLayoutTest, NarrowPanelViewPutsTheLabelsLeftOfTheClock) {
  App();
  Simulation sim;
  sim.AreaData.GraphVids.resize(1);
  sim.AreaData.GraphVids[0].Values[0] = 380;  // view width
  sim.AreaData.GraphVids[0].Values[2] = 200;  // clock left: 200 + 80 + 200 >= 380
  TfmControlPanel window(sim, std::nullopt, NoConfig());
  EXPECT_EQ(window.imClock->x(), 200);
  EXPECT_EQ(window.lbMultiplier->geometry().right() + 1, 200 - 12);
  EXPECT_EQ(window.lbMsg->x(), window.lbMultiplier->x());
  EXPECT_TRUE(window.lbMultiplier->alignment().testFlag(Qt::AlignRight) &&
              window.lbMsg->alignment().testFlag(Qt::AlignRight));
}

TEST_F(ControlPanelTest, TimeScaleSetsLabelColourIntervalAndStepsAndTheTimerWaitsForTheStart) {
  window.SetTimeScale(3);
  EXPECT_FALSE(window.Timer->isActive());
  const struct {
    int level;
    const char* label;
    int interval, steps;
  } rows[] = {{0, "Пауза", 500, 1}, {1, "", 500, 1},    {2, "x2", 250, 1}, {3, "x4", 125, 1},
              {4, "x8", 62, 1},     {5, "x16", 62, 2},  {6, "x32", 62, 4}, {7, "x64", 62, 8},
              {8, "x128", 62, 16},  {9, "x256", 62, 32}};
  window.StartClock();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.level);
    window.SetTimeScale(r.level);
    EXPECT_EQ(window.lbMultiplier->text(), QString::fromUtf8(r.label));
    EXPECT_EQ(window.lbMultiplier->palette().color(QPalette::WindowText), QColor(0xD0, 0xC0, 0xE0));
    EXPECT_EQ(window.Timer->isActive(), r.level != 0);  // paused: no interval to check
    EXPECT_EQ(window.Timer->isActive() ? window.Timer->interval() : 500, r.interval);
    EXPECT_EQ(std::pair(sim.StepsPerTick, sim.TimeScaleLevel), std::pair(r.steps, r.level));
  }
}

TEST_F(ControlPanelTest, KeysAndTimeMenuItemsChangeTheTimeScale) {
  const struct {
    int from, key, to;
  } rows[] = {
      {5, Qt::Key_0, 0},     {1, Qt::Key_7, 7},
      {0, Qt::Key_9, 9},     {1, Qt::Key_Minus, 0},  // minus at normal speed pauses
      {0, Qt::Key_Minus, 0}, {6, Qt::Key_Minus, 1},  // above normal it returns to normal
      {3, Qt::Key_Equal, 4}, {0, Qt::Key_Plus, 1},
      {9, Qt::Key_Plus, 9},  {4, Qt::Key_K, 4},
  };
  for (const auto& r : rows) {
    window.SetTimeScale(r.from);
    PressKey(window, r.key);
    EXPECT_EQ(sim.TimeScaleLevel, r.to) << "key " << r.key << " at " << r.from;
  }
  window.SetTimeScale(4);
  window.miTime0->trigger();
  EXPECT_EQ(sim.TimeScaleLevel, 0);
  window.miTime1->trigger();
  EXPECT_EQ(sim.TimeScaleLevel, 1);
  window.SetTimeScale(8);
  window.miTimeDouble->trigger();
  window.miTimeDouble->trigger();
  EXPECT_EQ(sim.TimeScaleLevel, 9);
}

TEST_F(ControlPanelTest, CtrlDTogglesInspectionModeAndTheCaption) {
  PressKey(window, Qt::Key_D, Qt::ControlModifier);  // before the start the mode is off
  EXPECT_TRUE(window.InspectionMode());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин - debug"));
  PressKey(window, Qt::Key_D, Qt::ControlModifier);
  EXPECT_FALSE(window.InspectionMode());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин"));
}

TEST_F(ControlPanelTest, TickRunsStepsPerTickAndRedrawsTheClockOrTheCalendarWhenHovered) {
  const TDateTime start = EncodeDate(2024, 1, 8) + 13.0 / 24 + 47.0 / 1440;
  sim.State.ClockTime = start;
  window.StartClock();
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, start);
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, start + 0.5 * kSecond, 1e-9);
  window.SetTimeScale(9);
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, start + 16.5 * kSecond, 1e-9);
  QImage expected(kClockWidth, kClockHeight, QImage::Format_RGB32);
  QPainter painter(&expected);
  DrawSegmentClock(painter, sim.State.ClockTime, expected.size());
  painter.end();
  EXPECT_EQ(window.imClock->Image, expected);

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(window.imClock, &enter);
  window.TimerTick();
  EXPECT_EQ(window.imClock->Image.pixelColor(76, 32), QColor(Qt::white));  // the sheet
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(window.imClock, &leave);
  window.TimerTick();
  EXPECT_EQ(window.imClock->Image.pixelColor(76, 32), QColor(Qt::black));
}

TEST_F(ControlPanelTest, AskDispatcherShowsTitleAndTextWithOkAndCancel) {
  window.StartClock();
  for (auto [button, expected] : {std::pair{QMessageBox::Ok, true}, {QMessageBox::Cancel, false}}) {
    QString text, title;
    ModalAnswers answers({ClickBox(&text, &title, button)});
    EXPECT_EQ(window.AskDispatcher("ДСП Лесная", "Принять поезд 2001?\r\nПуть 3", 2), expected);
    EXPECT_EQ(title, QStringLiteral("ДСП Лесная"));
    EXPECT_EQ(text, QStringLiteral("Принять поезд 2001?\nПуть 3"));
  }
}

TEST_F(ControlPanelTest, FailedSaveIsReportedAndPostponesTheAutosaveASuccessfulOneMovesIt) {
  sim.State.ClockTime = 40000.25;
  window.StartClock();
  QString text, title;
  {
    ModalAnswers answers({ClickBox(&text, &title)});
    PressKey(window, Qt::Key_S, Qt::ControlModifier);
  }
  EXPECT_EQ(text, QStringLiteral("Сохранение не удалось."));
  EXPECT_EQ(title, QStringLiteral("Traklin"));
  EXPECT_NEAR(sim.LastSaveTime, 40000.25 + 150 * kSecond, 1e-9);
  EXPECT_TRUE(window.Timer->isActive());  // the timer runs again after the attempt
  int saves = 0;
  window.SaveState = [&saves] { return ++saves > 0; };
  sim.State.ClockTime = 40000.5;
  window.miSave->trigger();
  EXPECT_EQ(saves, 1);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, 40000.5);
}

// A window whose steps fail the first time.
class FailingStepWindow : public TfmControlPanel {
 public:
  using TfmControlPanel::TfmControlPanel;
  int runs = 0;

 protected:
  void RunSteps() override {
    if (++runs == 1) throw std::runtime_error("Маршрут не найден");
    TfmControlPanel::RunSteps();
  }
};

TEST(ControlPanelTickTest, ErrorInsideAStepPausesShowsItOnceAndTheTicksGoOn) {
  App();
  Simulation sim;
  FailingStepWindow window(sim, std::nullopt, NoConfig());
  sim.State.ClockTime = 40000.0;
  window.StartClock();
  window.SetTimeScale(4);
  QString text;
  ModalAnswers answers({ClickBox(&text), ClickBox(nullptr)});
  window.TimerTick();
  EXPECT_EQ(answers.Answered(), 1u);
  EXPECT_EQ(text, QStringLiteral("Маршрут не найден"));
  EXPECT_EQ(sim.TimeScaleLevel, 0);
  EXPECT_FALSE(window.Timer->isActive());
  EXPECT_EQ(window.lbMultiplier->text(), QStringLiteral("Пауза"));
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
  ModalAnswers answers({[](QWidget* modal) {
                          auto* d = qobject_cast<TfmSetTime*>(modal);
                          EXPECT_EQ(d->seHours->value(), 7);
                          EXPECT_EQ(d->seMinutes->value(), 5);
                          EXPECT_EQ(d->dpDate->date(), QDate(2011, 3, 15));
                          d->dpDate->setDate(QDate(2011, 4, 1));
                          d->seHours->setValue(23);
                          d->seMinutes->setValue(9);
                          d->btOK->click();
                        },
                        [](QWidget* modal) {
                          qobject_cast<TfmSetTime*>(modal)->seHours->setValue(1);
                          qobject_cast<TfmSetTime*>(modal)->reject();
                        }});
  EXPECT_DOUBLE_EQ(dialog.Execute(t), EncodeDate(2011, 4, 1) + 23.0 / 24 + 9.0 / 1440);
  EXPECT_EQ(dialog.Execute(t), t);
}

// ---------------------------------------------------------------------------
// Start-up

std::function<void(QWidget*)> SetTime(int hours, int minutes) {
  return [hours, minutes](QWidget* modal) {
    auto* dialog = qobject_cast<TfmSetTime*>(modal);
    ASSERT_NE(dialog, nullptr) << "expected the set-time dialog";
    dialog->seHours->setValue(hours);
    dialog->seMinutes->setValue(minutes);
    dialog->btOK->click();
  };
}

// District 1 installed under a scratch root, with an optional configuration file.
class StartUpTest : public testing::Test {
 protected:
  StartUpTest() {
    App();
    fs::remove_all(root_);
    paths_.DistrictRoot = root_ / "district";
    paths_.SettingsFile = root_ / "config" / "Traklin.ini";
    fs::create_directories(paths_.DistrictRoot / "1");
    fs::create_directories(root_ / "config");
  }
  ~StartUpTest() override { fs::remove_all(root_); }

  void Install() {
    std::ofstream(paths_.DistrictRoot / "1" / "Data.dat", std::ios::binary) << district.Bytes();
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(paths_.SettingsFile, std::ios::binary) << text;
  }

  const fs::path root_ =
      fs::path(testing::TempDir()) /
      ("console_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
  ConsolePaths paths_;
  Simulation sim;
  test::DistrictText district;
};

TEST_F(StartUpTest, UsableDistrictIsPreparedWithTheSettingsAndStartsAtTheChosenTime) {
  WriteSettings("[VIEW]\r\nRESOLUTION=1\r\n[SOUND]\r\nMESSAGERINGS=0\r\n");
  // Two panel views: view 0 800 wide with the clock at 10, view 1 640 wide with the clock at 300.
  district.SetSection("Data_Graph_Vid",
                      "2\n800,600,10\n640,480,300\n0,0,0,0\n0,0,0,0\n"
                      "300,0,0,1\n300,0,0,1");
  Install();
  RingRecordingWindow window(sim, std::string("1"), paths_);
  EXPECT_FALSE(sim.Settings.MessageRings);  // read when the window is made
  ModalAnswers answers({SetTime(7, 30)});
  window.StartSimulation();
  EXPECT_EQ(answers.Answered(), 1u);  // only the set-time dialog: no error box
  EXPECT_TRUE(window.Started());
  EXPECT_EQ(window.ExitCode(), 0);
  EXPECT_EQ(window.PanelView(), 1);
  EXPECT_EQ(window.imClock->geometry(), QRect(300, 4, 80, 36));
  // The set-up ran (kind 0 signal added at the peregon's end) and the state follows it.
  EXPECT_FALSE(sim.AreaData.TrainRoutes[0].Routes.empty());
  EXPECT_EQ(sim.State.Semaphores.size(), sim.AreaData.Semaphores.size());
  // StateInit starts at midnight of a day of the base year; the dialog sets the time of day.
  EXPECT_EQ(DecodeDate(sim.State.ClockTime).Year, 2024);
  EXPECT_NEAR(sim.State.ClockTime - static_cast<int>(sim.State.ClockTime), 7.5 / 24, 1e-9);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);
  EXPECT_EQ(sim.TimeScaleLevel, 1);
  EXPECT_EQ(window.Timer->isActive() ? window.Timer->interval() : 0, 500);
  EXPECT_EQ(sim.Console, &window);
}

TEST_F(StartUpTest, FailingSetUpShowsTheInitializingErrorAndTheClockStillRuns) {
  district.SetSection("Data_Sekz", "1,1\n2,2\n3,40\n4,4\n5,5\n6,6\n7,7\n65535");
  Install();
  TfmControlPanel window(sim, std::string("1"), paths_);
  QString error;
  ModalAnswers answers({ClickBox(&error), SetTime(12, 0)});
  window.StartSimulation();
  EXPECT_EQ(answers.Answered(), 2u);
  EXPECT_EQ(error,
            QStringLiteral("Error initializing data+\n\nLamp 40 of section 3 out of bounds"));
  EXPECT_TRUE(window.Started() && window.Timer->isActive());
  EXPECT_EQ(window.ExitCode(), 0);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);
  const TDateTime before = sim.State.ClockTime;  // the clock runs over the unprepared district
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, before + 0.5 * kSecond, 1e-9);
}

TEST_F(StartUpTest, BrokenDistrictFileShowsTheReadErrorAndEnds) {
  district.SetSection("Data_Sekz", "1,1\n2,x\n65535");
  Install();
  TfmControlPanel window(sim, std::string("1"), paths_);
  QString error;
  ModalAnswers answers({ClickBox(&error)});
  window.StartSimulation();
  EXPECT_EQ(answers.Answered(), 1u);
  EXPECT_TRUE(error.startsWith(QStringLiteral("Error reading Data.dat\nAt Line %1\n'2,x'\n\n")
                                   .arg(district.BodyLine("Data_Sekz", 2))))
      << error.toStdString();
  EXPECT_EQ(window.ExitCode(), 1);
  EXPECT_FALSE(window.Started() || window.Timer->isActive());
}

TEST_F(StartUpTest, NonNumericDistrictArgumentShowsUnknownDistrictAndEnds) {
  TfmControlPanel window(sim, std::string("abc"), paths_);
  QString text, title;
  ModalAnswers answers({ClickBox(&text, &title)});
  window.StartSimulation();
  EXPECT_EQ(text, QStringLiteral("Неизвестен участок симулятора\n"));
  EXPECT_EQ(title, QStringLiteral("Traklin"));
  EXPECT_EQ(window.ExitCode(), 1);
  EXPECT_FALSE(window.Started());
  EXPECT_TRUE(window.DistrictDir().empty());
  EXPECT_EQ(sim.Console, nullptr);
}

TEST_F(StartUpTest, MalformedSettingKeepsItsDefaultAndTheOtherKeysAreRead) {
  WriteSettings("[VIEW]\r\nRESOLUTION=wide\r\n[SOUND]\r\nREQUESTRINGS=0\r\n");
  TfmControlPanel window(sim, std::nullopt, paths_);
  EXPECT_EQ(sim.Settings.Resolution, 0);
  EXPECT_FALSE(sim.Settings.RequestRings);
}

// ---------------------------------------------------------------------------
// Console services: which ring, and the time scale while and after the dispatcher is told

enum class Service { Notify, Inform, Ask };

TEST(ConsoleServicesTest, TimeScaleAndRingFollowTheSettings) {
  App();
  // Every case starts at level 6. Columns: service, text, the LP's ring for Inform and Ask; the
  // settings restore at messages, restore at rings, message rings, request rings; box shown,
  // level while it is shown (or right after the call without one), level after; rings played
  // before the box (-1 the default ring).
  const struct {
    Service service;
    const char* text;
    int ring;
    bool restoreAtMsg, restoreAtRings, messageRings, requestRings, boxShown;
    int levelWhileShown, levelAfter;
    std::vector<int> rings;
  } cases[] = {
      // clang-format off
      {Service::Notify, "Сход", 3, false, false, true, true, true, 1, 1, {-1}},  // box at normal speed after the default ring
      {Service::Notify, "Сход", 3, false, false, false, true, true, 1, 1, {}},   // without message rings: silent
      {Service::Notify, "Сход", 3, true, false, true, true, true, 1, 6, {-1}},   // restore at messages
      {Service::Notify, "Сход", 3, false, true, true, true, true, 1, 1, {-1}},   // restore at rings: a text still slows down
      {Service::Notify, "", 3, true, false, false, false, false, 1, 1, {-1}},    // empty: rings anyway and slows down
      {Service::Notify, "", 3, false, true, false, false, false, 6, 6, {-1}},    // empty, restore at rings: only rings
      {Service::Inform, "Поезд прибыл", 3, false, false, true, false, true, 1, 1, {3}},  // the LP's ring
      {Service::Inform, "Поезд прибыл", -1, false, false, true, true, true, 1, 1, {-1}}, // no ring of its own
      {Service::Inform, "Поезд прибыл", 3, false, false, false, true, true, 1, 1, {}},   // follows message rings
      {Service::Inform, "Поезд прибыл", 3, true, false, true, true, true, 1, 6, {3}},    // restore at messages
      {Service::Inform, "", 3, false, true, false, false, true, 6, 6, {3}},  // empty: a box, speed kept
      {Service::Inform, "", 3, true, false, false, false, true, 1, 1, {3}},  // empty without restore at rings
      {Service::Ask, "Принять поезд?", 4, false, false, false, true, true, 1, 1, {4}},  // the LP's ring
      {Service::Ask, "Принять поезд?", 4, false, false, true, false, true, 1, 1, {}},   // follows request rings
      {Service::Ask, "Принять поезд?", 4, true, false, true, true, true, 1, 6, {4}},    // restore at messages
      {Service::Ask, "", 4, false, true, false, false, true, 6, 6, {4}},  // empty, restore at rings: speed kept
      {Service::Ask, "", 4, true, false, false, false, true, 1, 1, {4}},  // empty, restore at messages only
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    Simulation sim;
    RingRecordingWindow window(sim, std::nullopt, NoConfig());
    sim.Settings.RestoreTimeScaleAtMsg = c.restoreAtMsg;
    sim.Settings.RestoreTimeScaleAtRings = c.restoreAtRings;
    sim.Settings.MessageRings = c.messageRings;
    sim.Settings.RequestRings = c.requestRings;
    window.StartClock();
    window.SetTimeScale(6);
    QString text, title;
    int levelWhileShown = -1;
    std::vector<int> ringsBeforeBox;
    ModalAnswers answers({[&](QWidget* modal) {
      levelWhileShown = sim.TimeScaleLevel;
      ringsBeforeBox = window.rings;
      ClickBox(&text, &title)(modal);
    }});
    bool answered = true;  // Ask gives the Ok
    if (c.service == Service::Notify) window.NotifyDispatcher(c.text);
    if (c.service == Service::Inform) window.InformDispatcher("ДСП", c.text, c.ring);
    if (c.service == Service::Ask) answered = window.AskDispatcher("ДСП", c.text, c.ring);
    QApplication::processEvents();
    if (answers.Answered() == 0)
      levelWhileShown = sim.TimeScaleLevel, ringsBeforeBox = window.rings;
    EXPECT_EQ(answers.Answered(), c.boxShown ? 1u : 0u);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(!c.boxShown || c.service == Service::Notify ||
                (title == QStringLiteral("ДСП") && text == QString(c.text)));
    EXPECT_EQ(std::pair(levelWhileShown, sim.TimeScaleLevel),
              std::pair(c.levelWhileShown, c.levelAfter));
    EXPECT_EQ(window.Timer->isActive(), c.levelAfter != 0);
    EXPECT_EQ(ringsBeforeBox, c.rings);  // the ring comes before the box
    EXPECT_EQ(window.rings, c.rings);
  }
}

}  // namespace
}  // namespace traklin
