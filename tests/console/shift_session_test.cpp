// The console's shifts on a copy of the demo: a session driven through the desk, the task
// dialog and the question boxes, with a reload in the middle, recorded and replayed headless
// to the same log; the replay in the console, taking control from it, and "Итоги смены".
#include <gtest/gtest.h>

#include <QAction>
#include <QDate>
#include <QDateEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "console/controller_window.h"
#include "console/op_task_dialog.h"
#include "console/score_window.h"
#include "console/set_time_dialog.h"
#include "console/shift_session.h"
#include "dispatch/shift_score.h"
#include "qt_test_support.h"
#include "simulation/save_state.h"
#include "simulation/shift_replay.h"
#include "trains/op_task.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

/// The shift folders under root, in the order of their names (their real starts).
std::vector<fs::path> ShiftFolders(const fs::path& root) {
  std::vector<fs::path> folders;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root, ec))
    if (entry.is_directory()) folders.push_back(entry.path());
  std::sort(folders.begin(), folders.end());
  return folders;
}

/// Answers every modal window as a dispatcher would: the set-time dialog with 15 March 2024,
/// 06:00 (a fixed day: the traffic of a day depends on its date, and the test must not depend
/// on the day it runs), each
/// question (OK and Cancel) alternately yes and no, any other box with OK; keeps the texts.
class Dispatcher {
 public:
  Dispatcher() {
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start();
  }
  int Yes = 0, No = 0;
  QStringList Informed;

 private:
  void Answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    if (auto* d = qobject_cast<TfmSetTime*>(modal)) {
      d->dpDate->setDate(QDate(2024, 3, 15));
      d->seHours->setValue(6), d->seMinutes->setValue(0), d->btOK->click();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) return;
    if (box->button(QMessageBox::Cancel) != nullptr) {
      const bool yes = (Yes + No) % 2 == 0;
      ++(yes ? Yes : No);
      box->button(yes ? QMessageBox::Ok : QMessageBox::Cancel)->click();
      return;
    }
    Informed << box->text();
    box->button(QMessageBox::Ok)->click();
  }
  QTimer timer_;
};

// The demo (LP codes: 6 Сосновка worked from the desk, 7 Озёрная takes tasks, 9 Кедровая with
// a commit lamp for odd departures) copied with its panel into a district root of the test's
// own, so that its saves, NGDP.bmp and shifts stay there.
class ConsoleShiftTest : public testing::Test {
 protected:
  void SetUp() override {
    App();  // before the dispatcher's timer
    fs::remove_all(root);
    const fs::path demo = "../district/1";
    if (!fs::exists(demo / "Data.dat")) GTEST_SKIP() << "the demo district is not generated";
    fs::create_directories(district);
    for (const char* file : {"Data.dat", "Pult.bmp"}) fs::copy_file(demo / file, district / file);
  }
  void TearDown() override { fs::remove_all(root); }

  /// Steps the window's ticks at a time-scale level until the clock reaches hh:mm of the
  /// start's day (the timer itself stays off).
  static void RunUntil(TfmControlPanel& window, Simulation& sim, int level, int hh, int mm) {
    const TDateTime until = static_cast<int>(sim.State.ClockTime) + (hh * 60 + mm) / 1440.0;
    while (sim.State.ClockTime < until - 1e-9) {
      window.SetTimeScale(level);
      window.Timer->stop();
      window.TimerTick();
    }
  }
  static int Stanz(const Simulation& sim, int code) {
    const auto& stanzs = sim.AreaData.Stanzs;
    for (std::size_t i = 0; i < stanzs.size(); ++i)
      if (stanzs[i].Code == code) return static_cast<int>(i);
    return -1;
  }
  static void Press(TfmController& desk, const char* button) {
    const QRect r = desk.ButtonRect(QString::fromLatin1(button));
    ASSERT_FALSE(r.isEmpty()) << button;
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, r.topLeft() + QPoint(9, 9), desk.mapToGlobal(r.topLeft()),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&desk, &event);
    }
  }
  static void GiveTask(TfmControlPanel& window, Simulation& sim, int code, const char* deed) {
    window.fmOpTask->Open(FindLPIndex(sim.AreaData, code));
    window.fmOpTask->rbDeeds[TaskDeedIndex(deed)]->click();
    window.fmOpTask->btDo->click();
  }

  /// A session of the dispatcher on the demo from 06:00 with seed 7: the desk, the task
  /// dialog, the district's automatic control, a manual save at 06:50 and a reload of it at
  /// 07:10, then more of the desk until 07:40. Returns the score window's text at the end.
  QString Session() {
    Simulation sim;
    Dispatcher dispatcher;
    TestWindow window((App(), sim), std::string("1"), paths);
    window.Seed = 7;
    window.StartSimulation();
    EXPECT_TRUE(window.Started());
    EXPECT_EQ(sim.Console, window.Shift());
    TfmController& desk = *window.fmController;

    RunUntil(window, sim, 3, 6, 1);
    desk.SelectStation(Stanz(sim, 6), false);
    Press(desk, "imRoute11"), Press(desk, "imRoute21");  // route 6 1 1 2 1
    RunUntil(window, sim, 9, 6, 4);
    desk.ReleaseMode();
    Press(desk, "imRoute11"), Press(desk, "imRoute21");  // cancel 6 1 1 2 1
    desk.SelectStation(Stanz(sim, 9), false);
    desk.ToggleCommit(1);  // commit 9 odd give
    RunUntil(window, sim, 5, 6, 15);
    GiveTask(window, sim, 7, "rbReceiveEven");
    GiveTask(window, sim, 7, "rbReceiveEven");  // the throat is taken: the station refuses
    RunUntil(window, sim, 9, 6, 16);
    window.fmOpTask->btCancel->click();  // canceltask 7
    window.fmOpTask->hide();
    window.miAutoDistrict->trigger();  // auto all on
    RunUntil(window, sim, 7, 6, 40);
    window.miAutoDistrict->trigger();  // auto all off
    RunUntil(window, sim, 9, 6, 50);
    window.miSave->trigger();  // savelast
    RunUntil(window, sim, 4, 7, 10);
    window.miLoadLast->trigger();  // the reload: a new shift from the last save
    reloadedAt = sim.State.ClockTime;
    desk.SelectStation(Stanz(sim, 6), false);
    Press(desk, "imRoute11"), Press(desk, "imRoute41");  // through 6 1 1 4 1
    RunUntil(window, sim, 9, 7, 40);
    window.ShowShiftScore();
    const QString score = window.fmShiftScore->mmScore->toPlainText();
    window.fmShiftScore->hide();
    questions = dispatcher.Yes + dispatcher.No;
    informed = dispatcher.Informed;
    return score;
  }

  /// Replays the shift headless: the replayed log, and the score as `traklin-cli score` has it.
  static std::string ReplayHeadless(const fs::path& folder, std::string* score = nullptr) {
    Simulation sim;
    ShiftReplay replay(sim, folder);
    std::optional<ShiftScorer> scorer;
    StepHooks hooks;
    hooks.Before = [&] {
      if (scorer) return;
      scorer.emplace(sim);
      scorer->Observe();
    };
    hooks.After = [&] { scorer->Observe(); };
    std::ostringstream log;
    replay.Run(&log, std::nullopt, hooks);
    if (score) {
      scorer->CountEventLog(log.str());
      scorer->CountShiftText(ReadFile(folder / kShiftTextFile));
      *score = FormatShiftScoreTable({{folder.filename().string(), scorer->Score()}});
    }
    return log.str();
  }

  const fs::path root =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  const fs::path district = root / "district" / "1";
  const ConsolePaths paths{root / "district", root / "none.ini"};
  int questions = 0;
  TDateTime reloadedAt = 0;
  QStringList informed;
};

TEST_F(ConsoleShiftTest, SessionWithAReloadIsTwoShiftsThatReplayHeadlessToTheRecordedLogs) {
  const QString score = Session();
  const std::vector<fs::path> shifts = ShiftFolders(district / "shifts");
  ASSERT_EQ(shifts.size(), 2u);
  const std::string first = ReadFile(shifts[0] / kShiftTextFile);
  const std::string second = ReadFile(shifts[1] / kShiftTextFile);
  // The header names the district's directory (a root of its own), the seeds in turn, and the
  // rings the console gave its stations.
  EXPECT_NE(first.find("district " + fs::absolute(district).lexically_normal().string() + "\n"),
            std::string::npos);
  EXPECT_NE(first.find("\nseed 7\n"), std::string::npos);
  EXPECT_NE(second.find("\nseed 8\n"), std::string::npos);
  EXPECT_NE(first.find("\nrings "), std::string::npos);
  // The second began from the save the reload loaded (the manual one or an autosave after it).
  EXPECT_NE(second.find("\nstart " + FormatStamp(TenthsOf(reloadedAt), true) + "\n"),
            std::string::npos)
      << second;
  EXPECT_GE(reloadedAt, static_cast<int>(reloadedAt) + (6 * 60 + 50) / 1440.0 - 1e-9);
  for (const char* line : {" route 6 1 1 2 1\n", " cancel 6 1 1 2 1\n", " commit 9 odd give\n",
                           " task 7 receive even I dialog\n",
                           " task 7 receive even I dialog  # not done: ", " canceltask 7\n",
                           " auto all on\n", " auto all off\n", " savelast\n", "\nend "})
    EXPECT_NE(first.find(line), std::string::npos) << line << " missing in\n" << first;
  EXPECT_NE(second.find(" through 6 1 1 4 1\n"), std::string::npos) << second;
  // The station's refusal came as its box, and the questions as the dispatcher's boxes.
  ASSERT_FALSE(informed.isEmpty());
  EXPECT_TRUE(informed.front().startsWith(QStringLiteral("Задание невыполнимо")))
      << informed.front().toStdString();
  const std::string events =
      ReadFile(shifts[0] / kShiftEventsFile) + ReadFile(shifts[1] / kShiftEventsFile);
  EXPECT_NE(events.find("\"event\":\"inform\""), std::string::npos);
  EXPECT_NE(events.find("\"event\":\"save\""), std::string::npos);
  if (questions > 0) {
    EXPECT_NE(events.find("\"by\":\"dispatcher\""), std::string::npos);
    EXPECT_NE((first + second).find(" reply yes dispatcher  # "), std::string::npos);
  }

  for (const fs::path& shift : shifts) {
    std::string headlessScore;
    const std::string recorded = ReadFile(shift / kShiftEventsFile);
    const std::string replayed = ReplayHeadless(shift, &headlessScore);
    const auto d = FirstDifference(recorded, replayed);
    EXPECT_FALSE(d) << shift << ": line " << d->Line << "\nexpected: " << d->Expected
                    << "\ngot: " << d->Got;
    EXPECT_GE(std::count(recorded.begin(), recorded.end(), '\n'), 6) << shift;
    // "Итоги смены" at the end is the score of the same shift replayed.
    if (shift == shifts.back()) {
      EXPECT_EQ(score.toStdString() + "\n", headlessScore);
    }
  }
}

TEST_F(ConsoleShiftTest, ReplayInTheConsoleKeepsToTheLogAndTakingControlStartsAShift) {
  Session();
  const std::vector<fs::path> shifts = ShiftFolders(district / "shifts");
  ASSERT_EQ(shifts.size(), 2u);

  {
    // The whole first shift, at the fastest level, without a box.
    Simulation sim;
    Dispatcher dispatcher;
    TestWindow window((App(), sim), std::nullopt, paths);
    window.ReplayFolder = shifts[0];
    window.StartSimulation();
    ASSERT_TRUE(window.Started());
    ASSERT_TRUE(window.Shift()->Replaying());
    EXPECT_TRUE(window.miTakeControl->isVisible());
    EXPECT_FALSE(window.fmController->isEnabled() || window.miSave->isEnabled() ||
                 window.miAutoDistrict->isEnabled() || window.miConfiguration->isEnabled());
    for (int k = 0; k < 100000 && !window.Shift()->ReplayOver(); ++k) {
      window.SetTimeScale(9);
      window.Timer->stop();
      window.TimerTick();
    }
    EXPECT_TRUE(window.Shift()->ReplayOver());
    EXPECT_EQ(sim.TimeScaleLevel, 0);
    EXPECT_EQ(window.msgReplay->text(),
              QStringLiteral("Повтор смены окончен.\nЖурнал повтора совпадает с записанным."));
    EXPECT_EQ(dispatcher.Yes + dispatcher.No + dispatcher.Informed.size(), 0);
    window.msgReplay->hide();
  }

  // Half of the second shift, then the dispatcher takes control: a shift of its own begins
  // from that moment, recorded where the paths say.
  Simulation sim;
  Dispatcher dispatcher;
  TestWindow window((App(), sim), std::nullopt, paths);
  window.ShiftsRoot = root / "taken";
  window.ReplayFolder = shifts[1];
  window.Seed = 40;
  window.StartSimulation();
  RunUntil(window, sim, 9, 7, 15);
  const TDateTime taken = sim.State.ClockTime;
  window.miTakeControl->trigger();
  EXPECT_FALSE(window.Shift()->Replaying());
  EXPECT_FALSE(window.miTakeControl->isVisible());
  EXPECT_TRUE(window.fmController->isEnabled() && window.miSave->isEnabled());
  const std::vector<fs::path> takenShifts = ShiftFolders(root / "taken");
  ASSERT_EQ(takenShifts.size(), 1u);
  EXPECT_EQ(window.Shift()->Folder(), takenShifts[0]);
  const std::string text = ReadFile(takenShifts[0] / kShiftTextFile);
  EXPECT_NE(text.find("\nseed 40\n"), std::string::npos);
  EXPECT_NE(text.find("start " + FormatStamp(TenthsOf(taken), true) + "\n"), std::string::npos)
      << text;
  window.fmController->SelectStation(Stanz(sim, 6), false);
  Press(*window.fmController, "imRoute11"), Press(*window.fmController, "imRoute21");
  RunUntil(window, sim, 9, 7, 25);
  window.BeginShift();  // ends it, as a reload would
  // The through passage of the replayed shift still holds the route: refused, and recorded so.
  EXPECT_NE(ReadFile(takenShifts[0] / kShiftTextFile).find(" route 6 1 1 2 1  # not done: "),
            std::string::npos);
  EXPECT_EQ(ReadFile(takenShifts[0] / kShiftEventsFile), ReplayHeadless(takenShifts[0]));
}

}  // namespace
}  // namespace traklin
