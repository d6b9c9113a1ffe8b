// The main window: caption, menu, header, time control, keys, the tick and the services.
#include "console/control_panel.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDateEdit>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <stdexcept>

#include "area/date_time.h"
#include "console/clock_face.h"
#include "console/set_time_dialog.h"
#include "qt_test_support.h"

namespace traklin {
namespace {

using testing_support::App;
using testing_support::PressKey;
using testing_support::WhenModal;

// No configuration file: the settings keep their defaults whatever the build tree holds.
ConsolePaths NoConfig() {
  ConsolePaths paths;
  paths.SettingsFile = std::filesystem::path(testing::TempDir()) / "no_config" / "Traklin.ini";
  return paths;
}

class ControlPanelTest : public testing::Test {
 protected:
  ControlPanelTest() : window((App(), sim), std::nullopt, NoConfig()) {}

  Simulation sim;
  TfmControlPanel window;
};

QStringList Captions(const QList<QAction*>& actions) {
  QStringList captions;
  for (const QAction* a : actions) captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return captions;
}

QMenu* Submenu(QMenuBar* bar, const QString& caption) {
  for (QAction* a : bar->actions())
    if (a->text() == caption) return a->menu();
  return nullptr;
}

TEST_F(ControlPanelTest, CaptionAndComponentNames) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин"));
  EXPECT_EQ(window.objectName(), QStringLiteral("fmControlPanel"));
  EXPECT_EQ(window.mmOptions->objectName(), QStringLiteral("mmOptions"));
  EXPECT_EQ(window.size(), QSize(651, 418));
  for (const char* name : {"pnHeader", "imClock", "lbMultiplier", "lbMsg", "sbPult"})
    EXPECT_NE(window.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST_F(ControlPanelTest, MenuItemsAndCaptionsInOrder) {
  EXPECT_EQ(Captions(window.mmOptions->actions()),
            (QStringList{"Файл", "ГИД", "ГИД (доп)", "НГДП", "Справки", "Время", "Настройки..."}));
  QMenu* file = Submenu(window.mmOptions, "Файл");
  QMenu* references = Submenu(window.mmOptions, "Справки");
  QMenu* time = Submenu(window.mmOptions, "Время");
  ASSERT_TRUE(file && references && time);
  EXPECT_EQ(Captions(file->actions()),
            (QStringList{"Загрузить пред. (last.sav)", "Сохранить", "-", "Выход"}));
  EXPECT_EQ(Captions(references->actions()),
            (QStringList{"по составам...", "по расписанию (пасс.)", "по подходам...",
                         "по графикам курсирования...", "по путям..."}));
  EXPECT_EQ(Captions(time->actions()), (QStringList{"Пауза", "Норма", "Ускорить "}));
  EXPECT_EQ(window.miTimeDouble->objectName(), QStringLiteral("miTimeDouble"));
  EXPECT_FALSE(window.N1->isEnabled());
  EXPECT_FALSE(window.N3->isEnabled());
  EXPECT_TRUE(window.miTime0->isEnabled());
  EXPECT_TRUE(window.miSave->isEnabled());
}

TEST_F(ControlPanelTest, HeaderStripHoldsClockAndLabels) {
  EXPECT_EQ(window.pnHeader->height(), 50);
  EXPECT_EQ(window.imClock->size(), QSize(80, 36));
  EXPECT_EQ(window.imClock->y(), 4);
  EXPECT_EQ(window.lbMultiplier->y(), 8);
  EXPECT_EQ(window.lbMsg->y(), 24);
  // Room on the right of the clock: the labels start 12 pixels after it.
  EXPECT_EQ(window.lbMultiplier->x(), window.imClock->x() + 80 + 12);
  EXPECT_EQ(window.lbMsg->x(), window.lbMultiplier->x());
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
  EXPECT_TRUE(window.lbMultiplier->alignment() & Qt::AlignRight);
  EXPECT_EQ(window.lbMsg->x(), window.lbMultiplier->x());
  EXPECT_TRUE(window.lbMsg->alignment() & Qt::AlignRight);
}

struct LevelRow {
  int level;
  const char* label;
  int interval;
  int steps;
};

TEST_F(ControlPanelTest, TimeScaleSetsLabelColourIntervalAndSteps) {
  const LevelRow rows[] = {{0, "Пауза", 500, 1}, {1, "", 500, 1},   {2, "x2", 250, 1},
                           {3, "x4", 125, 1},    {4, "x8", 62, 1},  {5, "x16", 62, 2},
                           {6, "x32", 62, 4},    {7, "x64", 62, 8}, {8, "x128", 62, 16},
                           {9, "x256", 62, 32}};
  window.StartClock();
  for (const LevelRow& r : rows) {
    SCOPED_TRACE(r.level);
    window.SetTimeScale(r.level);
    EXPECT_EQ(window.lbMultiplier->text(), QString::fromUtf8(r.label));
    EXPECT_EQ(window.lbMultiplier->palette().color(QPalette::WindowText), QColor(0xD0, 0xC0, 0xE0));
    EXPECT_EQ(window.Timer->isActive(), r.level != 0);
    if (r.level != 0) {
      EXPECT_EQ(window.Timer->interval(), r.interval);
    }
    EXPECT_EQ(sim.StepsPerTick, r.steps);
    EXPECT_EQ(sim.TimeScaleLevel, r.level);
  }
}

TEST_F(ControlPanelTest, TimerStaysOffUntilTheStartUpHasFinished) {
  window.SetTimeScale(3);
  EXPECT_FALSE(window.Timer->isActive());
  EXPECT_EQ(window.lbMultiplier->text(), QStringLiteral("x4"));
  window.StartClock();
  EXPECT_TRUE(window.Timer->isActive());
  EXPECT_EQ(window.Timer->interval(), 125);
}

struct KeyRow {
  const char* scenario;
  int startLevel;
  int key;
  int expectedLevel;
};

TEST_F(ControlPanelTest, KeysChangeTheTimeScale) {
  const KeyRow rows[] = {
      {"digit 0 pauses", 5, Qt::Key_0, 0},
      {"digit 7", 1, Qt::Key_7, 7},
      {"digit 9", 0, Qt::Key_9, 9},
      {"minus at 1 pauses", 1, Qt::Key_Minus, 0},
      {"minus at 0 stays paused", 0, Qt::Key_Minus, 0},
      {"minus above 1 returns to normal", 6, Qt::Key_Minus, 1},
      {"equals doubles", 3, Qt::Key_Equal, 4},
      {"plus doubles", 0, Qt::Key_Plus, 1},
      {"plus at 9 does nothing", 9, Qt::Key_Plus, 9},
      {"a letter does nothing", 4, Qt::Key_K, 4},
  };
  for (const KeyRow& r : rows) {
    SCOPED_TRACE(r.scenario);
    window.SetTimeScale(r.startLevel);
    PressKey(window, r.key);
    EXPECT_EQ(sim.TimeScaleLevel, r.expectedLevel);
  }
}

TEST_F(ControlPanelTest, TimeMenuItems) {
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
  // Before the start-up the mode is off: the first press saves the caption.
  PressKey(window, Qt::Key_D, Qt::ControlModifier);
  EXPECT_TRUE(window.InspectionMode());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин - debug"));
  PressKey(window, Qt::Key_D, Qt::ControlModifier);
  EXPECT_FALSE(window.InspectionMode());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Траклин"));
}

TEST_F(ControlPanelTest, TickRunsStepsPerTickAndRedrawsTheClock) {
  const TDateTime start = EncodeDate(2011, 3, 15) + 13.0 / 24 + 47.0 / 1440;
  sim.State.ClockTime = start;
  window.StartClock();
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, start);
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, start + 0.5 / 86400, 1e-9);
  window.SetTimeScale(9);
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, start + 16.5 / 86400, 1e-9);

  QImage expected(kClockWidth, kClockHeight, QImage::Format_RGB32);
  QPainter painter(&expected);
  DrawSegmentClock(painter, sim.State.ClockTime, expected.size());
  painter.end();
  EXPECT_EQ(window.imClock->Image, expected);
}

TEST_F(ControlPanelTest, HoveredClockShowsTheCalendarAfterTheTick) {
  sim.State.ClockTime = EncodeDate(2024, 1, 8) + 0.5;
  window.StartClock();
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(window.imClock, &enter);
  window.TimerTick();
  EXPECT_EQ(window.imClock->Image.pixelColor(76, 32), QColor(Qt::white));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(window.imClock, &leave);
  window.TimerTick();
  EXPECT_EQ(window.imClock->Image.pixelColor(76, 32), QColor(Qt::black));
}

TEST_F(ControlPanelTest, PausedClockDoesNotMove) {
  sim.State.ClockTime = 40000.5;
  window.StartClock();
  window.SetTimeScale(0);
  EXPECT_FALSE(window.Timer->isActive());
  EXPECT_EQ(sim.State.ClockTime, 40000.5);
}

QString AnswerBox(QWidget* modal, QMessageBox::StandardButton button, QString* title) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (box == nullptr) return QStringLiteral("<not a message box>");
  if (title) *title = box->windowTitle();
  const QString text = box->text();
  box->button(button)->click();
  return text;
}

TEST_F(ControlPanelTest, AskDispatcherShowsOkCancelAndDropsToNormalSpeed) {
  window.StartClock();
  for (auto [button, expected] : {std::pair{QMessageBox::Ok, true}, {QMessageBox::Cancel, false}}) {
    window.SetTimeScale(6);
    QString text, title;
    int levelWhileAsked = -1;
    auto answering = WhenModal([&, b = button](QWidget* modal) {
      levelWhileAsked = sim.TimeScaleLevel;
      text = AnswerBox(modal, b, &title);
    });
    EXPECT_EQ(window.AskDispatcher("ДСП Лесная", "Принять поезд 2001?\r\nПуть 3", 2), expected);
    EXPECT_EQ(title, QStringLiteral("ДСП Лесная"));
    EXPECT_EQ(text, QStringLiteral("Принять поезд 2001?\nПуть 3"));
    EXPECT_EQ(levelWhileAsked, 1);
    EXPECT_EQ(sim.TimeScaleLevel, 1);  // not restored without the setting
  }
}

TEST_F(ControlPanelTest, InformDispatcherRestoresTheLevelWhenTheSettingSaysSo) {
  sim.Settings.RestoreTimeScaleAtMsg = true;
  window.StartClock();
  window.SetTimeScale(5);
  QString text, title;
  auto answering =
      WhenModal([&](QWidget* modal) { text = AnswerBox(modal, QMessageBox::Ok, &title); });
  window.InformDispatcher("ДСП", "Поезд прибыл", -1);
  EXPECT_EQ(title, QStringLiteral("ДСП"));
  EXPECT_EQ(text, QStringLiteral("Поезд прибыл"));
  EXPECT_EQ(sim.TimeScaleLevel, 5);
}

TEST_F(ControlPanelTest, NotifyWithEmptyTextOnlyRingsAndKeepsTheLevel) {
  sim.Settings.RestoreTimeScaleAtRings = true;
  window.StartClock();
  window.SetTimeScale(7);
  bool boxShown = false;
  auto answering = WhenModal([&](QWidget* modal) {
    boxShown = true;
    modal->close();
  });
  window.NotifyDispatcher("");
  QApplication::processEvents();
  EXPECT_FALSE(boxShown);
  EXPECT_EQ(sim.TimeScaleLevel, 7);
}

TEST_F(ControlPanelTest, FailedManualSaveIsReportedAndPostponesTheAutosave) {
  sim.State.ClockTime = 40000.25;
  window.StartClock();
  QString text, title;
  auto answering =
      WhenModal([&](QWidget* modal) { text = AnswerBox(modal, QMessageBox::Ok, &title); });
  PressKey(window, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(text, QStringLiteral("Сохранение не удалось."));
  EXPECT_EQ(title, QStringLiteral("Traklin"));
  EXPECT_NEAR(sim.LastSaveTime, 40000.25 + 150.0 / 86400, 1e-9);
  EXPECT_TRUE(window.Timer->isActive());  // the timer runs again after the attempt
}

TEST_F(ControlPanelTest, SuccessfulSaveMovesTheLastSaveTime) {
  int saves = 0;
  window.SaveState = [&saves] { return ++saves > 0; };
  sim.State.ClockTime = 40000.0;
  window.StartClock();
  sim.State.ClockTime = 40000.1;
  window.miSave->trigger();
  EXPECT_EQ(saves, 1);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, 40000.1);
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
  int boxes = 0;
  QString text;
  auto answering = WhenModal([&](QWidget* modal) {
    ++boxes;
    text = AnswerBox(modal, QMessageBox::Ok, nullptr);
  });
  window.TimerTick();
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(text, QStringLiteral("Маршрут не найден"));
  EXPECT_EQ(sim.TimeScaleLevel, 0);
  EXPECT_FALSE(window.Timer->isActive());
  EXPECT_EQ(window.lbMultiplier->text(), QStringLiteral("Пауза"));

  // The handler is attached again: the next tick runs its steps.
  window.SetTimeScale(1);
  window.TimerTick();
  EXPECT_EQ(window.runs, 2);
  EXPECT_NEAR(sim.State.ClockTime, 40000.0 + 0.5 / 86400, 1e-9);
}

TEST(ControlPanelStartTest, NonNumericDistrictArgumentShowsUnknownDistrictAndEnds) {
  App();
  Simulation sim;
  TfmControlPanel window(sim, std::string("abc"), NoConfig());
  QString text, title;
  auto answering =
      WhenModal([&](QWidget* modal) { text = AnswerBox(modal, QMessageBox::Ok, &title); });
  window.StartSimulation();
  EXPECT_EQ(text, QStringLiteral("Неизвестен участок симулятора\n"));
  EXPECT_EQ(title, QStringLiteral("Traklin"));
  EXPECT_EQ(window.ExitCode(), 1);
  EXPECT_FALSE(window.Started());
  EXPECT_TRUE(window.DistrictDir().empty());
  EXPECT_EQ(sim.Console, nullptr);
}

TEST(SetTimeDialogTest, OkGivesThePickedDateAndTimeWithoutSeconds) {
  App();
  TfmSetTime dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Время суток"));
  const TDateTime t = EncodeDate(2011, 3, 15) + (7 * 3600 + 5 * 60 + 42) / 86400.0;
  auto answering = WhenModal([](QWidget* modal) {
    auto* d = qobject_cast<TfmSetTime*>(modal);
    EXPECT_EQ(d->seHours->value(), 7);
    EXPECT_EQ(d->seMinutes->value(), 5);
    EXPECT_EQ(d->dpDate->date(), QDate(2011, 3, 15));
    d->dpDate->setDate(QDate(2011, 4, 1));
    d->seHours->setValue(23);
    d->seMinutes->setValue(9);
    d->btOK->click();
  });
  EXPECT_DOUBLE_EQ(dialog.Execute(t), EncodeDate(2011, 4, 1) + 23.0 / 24 + 9.0 / 1440);
}

TEST(SetTimeDialogTest, ClosingWithoutOkKeepsTheTime) {
  App();
  TfmSetTime dialog;
  const TDateTime t = EncodeDate(2011, 3, 15) + 0.3;
  auto answering = WhenModal([](QWidget* modal) {
    auto* d = qobject_cast<TfmSetTime*>(modal);
    d->seHours->setValue(1);
    d->reject();
  });
  EXPECT_EQ(dialog.Execute(t), t);
}

}  // namespace
}  // namespace traklin
