// The main window's saves and loads: the reload from key L and the menu, the timer after a
// save, commands ignored while one runs, and the start-up restoring last.sav.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QSpinBox>
#include <filesystem>
#include <fstream>

#include "area/district_text.h"
#include "console/main_window.h"
#include "console/set_time_dialog.h"
#include "qt_test_support.h"
#include "simulation/save_state.h"
#include "state/clock.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

class SaveConsoleTest : public testing::Test {
 protected:
  SaveConsoleTest() : window((App(), sim), std::nullopt, NoConfig()) {
    fs::remove_all(dir);
    window.SaveState = [this] { return SaveLastState(sim, dir).Ok; };
    window.LoadState = [this] { return LoadLastState(sim, dir); };
    sim.State.ClockTime = 40000.25;
    window.StartClock();
  }
  ~SaveConsoleTest() override { fs::remove_all(dir); }

  const fs::path dir =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  Simulation sim;
  TestWindow window;
};

TEST_F(SaveConsoleTest, KeyLWithoutLastSavShowsTheReasonAndTheClockGoesOn) {
  sim.State.Trains.emplace_back().NUMBER = 2002;
  window.SetTimeScale(4);
  QString text;
  {
    ModalAnswers answers({ClickBox(&text)});
    PressKey(window, Qt::Key_L);
  }
  EXPECT_EQ(text, QStringLiteral("Загрузка не удалась.\n\nNo save file"));
  EXPECT_EQ(window.ExitCode(), 0);
  ASSERT_EQ(sim.State.Trains.size(), 1u);  // the state as it was
  EXPECT_EQ(std::pair(sim.TimeScaleLevel, window.Timer->isActive()), std::pair(1, true));
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, 40000.25 + kStepLength, 1e-9);
}

TEST_F(SaveConsoleTest, MenuReloadTakesOverTheSavedStateAndABrokenFileChangesNothing) {
  ASSERT_TRUE(SaveLastState(sim, dir).Ok);
  sim.State.ClockTime = 40001.0;
  sim.State.Trains.emplace_back().NUMBER = 2002;
  window.miLoadLast->trigger();
  EXPECT_EQ(sim.State.ClockTime, 40000.25);
  EXPECT_TRUE(sim.State.Trains.empty());
  EXPECT_EQ(sim.LastSaveTime, 40000.25);

  std::ofstream(LastSavePath(dir), std::ios::binary) << "[STATE]\r\nVERSION=21\r\n";
  sim.State.ClockTime = 40002.0;
  QString text;
  {
    ModalAnswers answers({ClickBox(&text)});
    window.miLoadLast->trigger();
  }
  EXPECT_EQ(text, QStringLiteral("Загрузка не удалась.\n\nSave file version 21 is not supported "
                                 "(2 to 20) (line 2)"));
  EXPECT_EQ(sim.State.ClockTime, 40002.0);
  EXPECT_TRUE(window.Timer->isActive());
}

TEST_F(SaveConsoleTest, SaveWhilePausedLeavesThePauseAndAPauseDuringTheSaveHolds) {
  window.SetTimeScale(0);
  window.miSave->trigger();
  EXPECT_TRUE(fs::is_regular_file(LastSavePath(dir)));
  EXPECT_EQ(std::tuple(sim.TimeScaleLevel, window.Timer->isActive(), window.lbMultiplier->text()),
            std::tuple(0, false, QStringLiteral("Пауза")));
  // Running at x4, the dispatcher pauses while the save waits for pending events.
  window.SetTimeScale(3);
  window.SaveState = [this] {
    window.SetTimeScale(0);
    return true;
  };
  window.miSave->trigger();
  EXPECT_EQ(std::tuple(sim.TimeScaleLevel, window.Timer->isActive(), window.lbMultiplier->text()),
            std::tuple(0, false, QStringLiteral("Пауза")));
  window.SaveState = [] { return true; };
  window.SetTimeScale(3);
  window.miSave->trigger();
  EXPECT_EQ(std::pair(window.Timer->isActive(), window.Timer->interval()), std::pair(true, 125));
}

TEST_F(SaveConsoleTest, SaveAndLoadCommandsAreIgnoredWhileOneRuns) {
  int saves = 0, loads = 0;
  window.LoadState = [&] {
    ++loads;
    PressKey(window, Qt::Key_S, Qt::ControlModifier);
    PressKey(window, Qt::Key_L);
    return SaveOutcome{true, "", 0};
  };
  window.SaveState = [&] {
    ++saves;
    PressKey(window, Qt::Key_S, Qt::ControlModifier);
    PressKey(window, Qt::Key_L);
    window.TimerTick();
    return true;
  };
  window.miSave->trigger();
  EXPECT_EQ(std::pair(saves, loads), std::pair(1, 0));
  EXPECT_EQ(sim.State.ClockTime, 40000.25);  // no tick inside the save
  PressKey(window, Qt::Key_L);
  EXPECT_EQ(std::pair(saves, loads), std::pair(1, 1));
}

// ---------------------------------------------------------------------------
// Start-up on an installed district

class RestoreTest : public testing::Test {
 protected:
  RestoreTest() {
    fs::remove_all(root);
    fs::create_directories(paths.DistrictRoot / "1");
    std::ofstream(paths.DistrictRoot / "1" / "Data.dat", std::ios::binary) << district.Bytes();
  }
  ~RestoreTest() override { fs::remove_all(root); }

  /// Starts a window; returns the boxes shown ("set time" for the set-time dialog at 7:30),
  /// leaving out the reports of the pictures this bare district does not have.
  QStringList Start(TfmControlPanel& window) {
    QStringList texts;
    const auto answer = [&](QWidget* modal) {
      auto* d = qobject_cast<TfmSetTime*>(modal);
      texts << (d ? "set time" : "");
      if (d == nullptr) return ClickBox(&texts.back())(modal);
      d->seHours->setValue(7), d->seMinutes->setValue(30), d->btOK->click();
    };
    ModalAnswers answers(std::vector<std::function<void(QWidget*)>>(6, answer));
    window.StartSimulation();
    texts.removeIf([](const QString& t) { return t.startsWith("Error reading"); });
    return texts;
  }

  const fs::path root =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  const ConsolePaths paths{root / "district", root / "config" / "Traklin.ini"};
  test::DistrictText district;
};

TEST_F(RestoreTest, StartUpRestoresLastSavAndFallsBackToTheSetTimeDialog) {
  TDateTime saved = 0;
  {
    Simulation sim;
    TestWindow window((App(), sim), std::string("1"), paths);
    EXPECT_EQ(Start(window), QStringList{"set time"});  // no last.sav yet
    window.TimerTick();
    window.miSave->trigger();
    saved = sim.State.ClockTime;
    EXPECT_EQ(sim.LastSaveTime, saved);
  }
  const fs::path last = LastSavePath(paths.DistrictRoot / "1");
  ASSERT_TRUE(fs::is_regular_file(last));
  {
    Simulation sim;
    TestWindow window((App(), sim), std::string("1"), paths);
    EXPECT_EQ(Start(window), QStringList{});
    EXPECT_EQ(std::pair(sim.State.ClockTime, sim.LastSaveTime), std::pair(saved, saved));
    EXPECT_TRUE(window.Timer->isActive());
  }
  // A save of another district: a fresh state and the dialog, the file left for the user.
  std::string bytes;
  {
    std::ifstream in(last, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::size_t area = bytes.find("AREA=");
  std::ofstream(last, std::ios::binary)
      << bytes.substr(0, area) << "AREA=77" << bytes.substr(bytes.find('\r', area));
  Simulation sim;
  TestWindow window((App(), sim), std::string("1"), paths);
  EXPECT_EQ(Start(window), QStringList{"set time"});
  EXPECT_NE(sim.State.ClockTime, saved);
  EXPECT_TRUE(fs::is_regular_file(last));
}

}  // namespace
}  // namespace traklin
