// The automatic dispatcher and scenarios in the console: the station menu on a name lamp, the
// green name lamps, the district item, scenarios played through the ticks, their refusals, and
// the punctuality report in the reference window; the panel's lamps after the dispatcher's
// actions while paused.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>
#include <fstream>

#include "area/area_queries.h"
#include "area/date_time.h"
#include "area/district_text.h"
#include "console/controller_window.h"
#include "console/fault_dialogs.h"
#include "console/op_task_dialog.h"
#include "console/panel_picture.h"
#include "console/reference_window.h"
#include "console/set_time_dialog.h"
#include "qt_test_support.h"
#include "simulation/headless_run.h"
#include "simulation/save_state.h"
#include "state/faults.h"
#include "trains/ui/picture_view.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const QColor kGreen(0, 255, 0);

// The default test district (two stations, A = LP 0 with code 1 and B = LP 1 with code 2, one
// peregon), its view moving both fragments by (100, 50) so that the name lamps lie inside the
// panel, prepared as a run and shown in a started main window:
//
//   (100,50) A: |--[1]--o--[2]--o--[4]--| ====== peregon ====== (400,50) B: |--[6]--[7]--|
//                        \-[3]-/
//        ((АЛК)) name lamp 1 at y 80                     ((БРС)) name lamp 2 at y 80
//
// The window's own console is replaced by a quiet one for the ticks (the stations' messages
// would wait for a click); a test that asks the window itself calls its services.
class InstructorToolsTest : public testing::Test {
 protected:
  InstructorToolsTest() : window((App(), sim), std::nullopt, NoConfig()) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    test::DistrictText district;
    district.SetSection("Data_Graph_Vid", "1\n800,600,10\n100,50,30,0\n400,50,30,0");
    // The timetable's passenger train, renumbered 6002 (a passenger number), made at B at 09:55.
    district.SetSection("Data_Graf_Pass_Ch",
                        "6002,0,0,0, 1, 0,0\n2,0,1000,2\n4101,0,1005,0\n1,1030,1035,0\n65535");
    district.SetSection("Data_Plan_Form", "0955,6002,-,7,0,2,1,3,0,0,0\n65535");
    std::ofstream(dir / "Data.dat", std::ios::binary) << district.Bytes();
    QImage pult(800, 600, QImage::Format_RGB32);
    pult.fill(QColor(0xA0, 0xB0, 0xA0));
    pult.save(QString::fromStdString((dir / "Pult.bmp").string()), "BMP");
    RunOptions options;
    options.District = dir;
    options.SettingsFile = dir / "none.ini";
    options.Start = EncodeDate(2024, 12, 6) + 8.0 / 24;
    PrepareRun(sim, options, nullptr);
    window.AttachRun(dir);
    window.StartClock();
    window.SetTimeScale(0);  // the test runs the ticks itself
    sim.Console = &quiet;
  }
  ~InstructorToolsTest() override {
    for (QWidget* w :
         std::initializer_list<QWidget*>{window.pmStation, window.msgScenario, window.fmController,
                                         window.fmOpTask, window.fmReference})
      w->hide();
    fs::remove_all(dir);
  }

  /// The middle of the name lamp of LP lp in panel coordinates, left of its text.
  QPoint NameLamp(int lp) const {
    const TGraphLampData& lamp = sim.AreaData.GraphLamps[lp + 1];
    const LampEnds ends =
        LampEndPoints(lamp, LampTranslation(sim.AreaData, window.Panel()->View(), lamp));
    return {ends.P1.X + 1, ends.P1.Y};
  }
  QColor NameLampColour(int lp) const { return window.sbPult->Picture.pixelColor(NameLamp(lp)); }
  /// The colour in the middle of panel lamp number `lamp`.
  QColor LampColour(int lamp) const {
    const TGraphLampData& l = sim.AreaData.GraphLamps[lamp];
    const LampEnds ends =
        LampEndPoints(l, LampTranslation(sim.AreaData, window.Panel()->View(), l));
    return window.sbPult->Picture.pixelColor((ends.P1.X + ends.P2.X) / 2,
                                             (ends.P1.Y + ends.P2.Y) / 2);
  }
  fs::path WriteScenario(const std::string& text) const {
    const fs::path file = dir / "scenario.txt";
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) window.TimerTick();
  }
  void PickFirstItem(QMenu& menu) {
    ASSERT_TRUE(menu.isVisible());
    PressKey(menu, Qt::Key_Down);
    PressKey(menu, Qt::Key_Return);
  }

  const fs::path dir =
      fs::path(testing::TempDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
  Simulation sim;
  TestWindow window;
  EventLog quiet{sim, nullptr, true};
};

TEST_F(InstructorToolsTest, FaultsWindowStaysOpenBesideTheClockAndThePanelFlashesItsFault) {
  window.miFaults->trigger();
  ASSERT_TRUE(window.fmFaults->isVisible());
  EXPECT_FALSE(window.fmFaults->isModal());
  window.fmFaults->cbKind->setCurrentIndex(2);  // a false occupancy, on the first section
  window.fmFaults->btSet->click();
  ASSERT_EQ(sim.State.Faults.size(), 1u);
  const FaultLamps lamps = FaultLampsOf(sim);
  ASSERT_FALSE(lamps.FalseOccupancy.empty());
  const int lamp = lamps.FalseOccupancy.front();
  for (int step = 0; step < 2; ++step) {
    sim.SimulationStep(kStepLength);
    window.RefreshLamps();
    const QColor red(255, 0, 0);
    if (IsSecondHalf(sim.State.ClockTime))
      EXPECT_NE(LampColour(lamp), red) << step;
    else
      EXPECT_EQ(LampColour(lamp), red) << step;
  }
  window.fmFaults->lbActive->setCurrentRow(0);
  window.fmFaults->btClear->click();
  EXPECT_TRUE(sim.State.Faults.empty());
  window.miPermits->trigger();
  EXPECT_TRUE(window.fmPermits->isVisible());
  EXPECT_EQ(window.fmPermits->lbTrains->count(), 0);
  window.fmFaults->hide();
  window.fmPermits->hide();
}

TEST_F(InstructorToolsTest, StationMenuOnTheNameLampSwitchesTheStationAndItsLampTurnsGreen) {
  const QColor off = ToQColor(sim.Settings.ColorLampLPOff);
  ASSERT_EQ(NameLampColour(0), off);
  window.PanelClick(NameLamp(0), Qt::RightButton, {});
  ASSERT_TRUE(window.pmStation->isVisible());
  EXPECT_EQ(window.miAutoStation->text(), QStringLiteral("Автоматическое управление"));
  EXPECT_FALSE(window.miAutoStation->isChecked());
  EXPECT_EQ(window.fmController->SelectedStation(), -1);  // no selection, no task dialog
  PickFirstItem(*window.pmStation);
  EXPECT_FALSE(window.pmStation->isVisible());
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{true, false}));
  EXPECT_EQ(std::pair(NameLampColour(0), NameLampColour(1)), std::pair(kGreen, off));
  EXPECT_FALSE(window.miAutoDistrict->isChecked());  // one station of two

  // The menu shows the switch on; picked again it switches the station back.
  window.PanelClick(NameLamp(0), Qt::RightButton, {});
  EXPECT_TRUE(window.miAutoStation->isChecked());
  PickFirstItem(*window.pmStation);
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{false, false}));
  EXPECT_EQ(NameLampColour(0), off);
}

TEST_F(InstructorToolsTest, SelectedAutomatedStationStaysYellowAndTheMenuKeyOpensItsMenu) {
  window.SetAutomatic(1, true);
  window.fmController->SelectStation(1, false);
  window.RefreshLamps();
  EXPECT_EQ(NameLampColour(1), ToQColor(sim.Settings.ColorLampLPLit));
  PressKey(window, Qt::Key_Menu);
  ASSERT_TRUE(window.pmStation->isVisible());
  EXPECT_TRUE(window.miAutoStation->isChecked());
  PickFirstItem(*window.pmStation);
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{false, false}));
  // Deselected, the station shows the usual unlit name lamp again.
  window.fmController->SelectStation(-1, false);
  window.RefreshLamps();
  EXPECT_EQ(NameLampColour(1), ToQColor(sim.Settings.ColorLampLPOff));
}

TEST_F(InstructorToolsTest, WhilePausedTheDispatchersActionsShowOnThePanelAtOnce) {
  ASSERT_EQ(sim.TimeScaleLevel, 0);
  const TDateTime clock = sim.State.ClockTime;
  const QColor off = ToQColor(sim.Settings.ColorLampLPOff);
  // Selecting A lights its name lamp; no tick follows.
  window.fmController->SelectStation(0, false);
  EXPECT_EQ(NameLampColour(0), ToQColor(sim.Settings.ColorLampLPLit));
  // A's odd departure commit (the full stop key while the desk shows) lights its lamp.
  const int commitLamp = sim.AreaData.GraphFragms[0].DepartCommitLamp[1];
  ASSERT_GT(commitLamp, 0);
  ASSERT_NE(LampColour(commitLamp), QColor(255, 255, 0));
  PressKey(window, Qt::Key_Period);
  EXPECT_EQ(LampColour(commitLamp), QColor(255, 255, 0));
  // B handed to the automatic dispatcher turns green.
  window.SetAutomatic(1, true);
  EXPECT_EQ(NameLampColour(1), kGreen);
  // A second click on A ends the selection: its name lamp goes dark again.
  window.fmController->SelectStation(0, false);
  EXPECT_EQ(NameLampColour(0), off);
  // The simulation itself stood still.
  EXPECT_EQ(sim.State.ClockTime, clock);
}

TEST_F(InstructorToolsTest, RightClickElsewhereOnTheStationKeepsTheTaskClick) {
  // A point of A's picture away from its name lamp: the desk or the task dialog, no menu.
  window.PanelClick(QPoint(250, 140), Qt::RightButton, {});
  EXPECT_FALSE(window.pmStation->isVisible());
  EXPECT_TRUE(window.fmController->SelectedStation() == 0 || window.fmOpTask->isVisible());
}

TEST_F(InstructorToolsTest, DistrictItemSwitchesEveryStationAndIsCheckedWhenAllAre) {
  EXPECT_EQ(window.miDispatcher->title(), QStringLiteral("Диспетчер"));
  EXPECT_EQ(window.miAutoDistrict->text(), QStringLiteral("Автоматическое управление участком"));
  window.SetAutomatic(0, true);
  window.miAutoDistrict->trigger();
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{true, true}));
  EXPECT_TRUE(window.miAutoDistrict->isChecked());
  EXPECT_EQ(std::pair(NameLampColour(0), NameLampColour(1)), std::pair(kGreen, kGreen));
  window.miAutoDistrict->trigger();
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{false, false}));
  EXPECT_FALSE(window.miAutoDistrict->isChecked());
  EXPECT_NE(NameLampColour(1), kGreen);
}

TEST_F(InstructorToolsTest, ReloadBringsBackTheSavedStationsOnTheLampsAndTheMenu) {
  window.LoadState = [this] { return LoadLastState(sim, dir); };
  window.SetAutomatic(-1, true);
  ASSERT_TRUE(SaveLastState(sim, dir).Ok);
  window.SetAutomatic(-1, false);
  ASSERT_EQ(NameLampColour(1), ToQColor(sim.Settings.ColorLampLPOff));
  PressKey(window, Qt::Key_L);
  window.Timer->stop();
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{true, true}));
  EXPECT_TRUE(window.miAutoDistrict->isChecked());
  EXPECT_EQ(std::pair(NameLampColour(0), NameLampColour(1)), std::pair(kGreen, kGreen));
}

TEST_F(InstructorToolsTest, ScenarioPlaysItsLinesAtTheirTimesThroughTheTicks) {
  ASSERT_TRUE(
      window.LoadScenario(WriteScenario("# switch, speed up, then answer for the dispatcher\n"
                                        "08:00:01 auto all on\n"
                                        "08:00:02 scale 3\n"
                                        "08:00:03 answer no 1m\n")));
  window.SetTimeScale(1);
  Ticks(1);  // 08:00:00.5: nothing due yet
  EXPECT_TRUE(sim.State.AutoLPs.empty());
  Ticks(1);  // the step to 08:00:01
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{true, true}));
  EXPECT_TRUE(window.miAutoDistrict->isChecked());
  EXPECT_EQ(NameLampColour(0), kGreen);
  Ticks(2);
  EXPECT_EQ(std::tuple(sim.TimeScaleLevel, window.lbMultiplier->text(), window.Timer->interval()),
            std::tuple(3, QStringLiteral("x4"), 125));
  EXPECT_FALSE(window.ScriptedAnswer());
  Ticks(2);
  EXPECT_EQ(window.ScriptedAnswer(), std::optional<bool>(false));
  EXPECT_EQ(window.Scenario()->Pending(), 0u);
  // The station's question is answered without a box, a ring or a change of speed.
  {
    ModalAnswers answers({ClickBox(nullptr)});
    EXPECT_FALSE(window.AskDispatcher("ДСП", "Принять поезд 6002?", 3));
    QApplication::processEvents();
    EXPECT_EQ(answers.Answered(), 0u);
  }
  EXPECT_TRUE(window.rings.empty());
  EXPECT_EQ(sim.TimeScaleLevel, 3);
  // A minute later the dispatcher is asked again (the span ends with the step after it).
  Ticks(121);
  EXPECT_FALSE(window.ScriptedAnswer());
  window.Timer->stop();
}

TEST_F(InstructorToolsTest, ScenarioItemLoadsTheChosenFileWhileTheClockWaits) {
  const fs::path file = WriteScenario("09:00 scale 4\n");
  window.SetTimeScale(2);
  int levelWhileChoosing = -1;
  {
    ModalAnswers answers({[&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      levelWhileChoosing = sim.TimeScaleLevel;
      dialog->selectFile(QString::fromStdString(file.string()));
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it
    }});
    window.miScenario->trigger();
  }
  window.Timer->stop();
  EXPECT_EQ(std::pair(levelWhileChoosing, sim.TimeScaleLevel), std::pair(0, 2));
  ASSERT_NE(window.Scenario(), nullptr);
  EXPECT_EQ(window.Scenario()->Pending(), 1u);
}

TEST_F(InstructorToolsTest, BadScenarioIsShownAndChangesNothingALineThatFailsIsNoted) {
  ASSERT_TRUE(window.LoadScenario(WriteScenario("08:00:01 auto 2 on\n")));
  const ScenarioPlayer* playing = window.Scenario();
  QString text;
  {
    ModalAnswers answers({ClickBox(&text)});
    EXPECT_FALSE(window.LoadScenario(WriteScenario("08:00:01 auto all on\n08:00:02 fly away\n")));
  }
  EXPECT_EQ(text, QStringLiteral("Сценарий не загружен:\nline 2: unknown action: fly"));
  EXPECT_EQ(window.Scenario(), playing);  // the one playing goes on
  Ticks(2);
  EXPECT_EQ(sim.State.AutoLPs, (std::vector<bool>{false, true}));
  {
    ModalAnswers answers({ClickBox(&text)});
    EXPECT_FALSE(window.LoadScenario(dir / "missing.txt"));
  }
  EXPECT_TRUE(text.startsWith(QStringLiteral("Сценарий не загружен:\nline 0: cannot read ")));

  // A line that reads well but cannot be done when due: a note, and the clock goes on.
  const std::string track = FormatTrackName(sim.AreaData.Puts[0].Tracks[0].Number);
  ASSERT_TRUE(window.LoadScenario(
      WriteScenario("\n08:00:02 put 9999 1 " + track + "\n08:00:02 put 9998 1 " + track + "\n")));
  EXPECT_EQ(window.Scenario()->Pending(), 2u);
  Ticks(2);
  ASSERT_TRUE(window.msgScenario->isVisible());
  EXPECT_FALSE(window.msgScenario->isModal());
  EXPECT_EQ(window.msgScenario->text(),
            QStringLiteral("Сценарий, строка 2: no train 9999 is waiting\n"
                           "Сценарий, строка 3: no train 9998 is waiting"));
  Ticks(1);
  EXPECT_NEAR(sim.State.ClockTime, EncodeDate(2024, 12, 6) + 8.0 / 24 + 5 * kStepLength, 1e-9);
}

TEST_F(InstructorToolsTest, PunctualityItemFillsTheReferenceWindowAnewOnEachRequest) {
  EXPECT_EQ(window.miRefPunctuality->text(), QStringLiteral("по пунктуальности..."));
  window.miRefPunctuality->trigger();
  ASSERT_TRUE(window.fmReference->isVisible());
  const QString empty = window.fmReference->mmText->toPlainText();
  EXPECT_TRUE(empty.startsWith(QStringLiteral("summary\ntrains run: 0\n"))) << empty.toStdString();
  // Train 6002 of the timetable (made at B at 09:55 by the plan of the test, waiting for a
  // track the station cannot give it) is put out on B's track by a scenario.
  sim.State.ClockTime = EncodeDate(2024, 12, 6) + (9 * 60 + 54) * kMinute;
  const std::string track = FormatTrackName(sim.AreaData.Puts[1].Tracks[0].Number);
  ASSERT_TRUE(window.LoadScenario(WriteScenario("09:56 put 6002 2 " + track + "\n")));
  window.SetAutomatic(-1, true);
  window.SetTimeScale(9);
  window.Timer->stop();
  while (sim.State.ClockTime < EncodeDate(2024, 12, 6) + (10 * 60 + 45) * kMinute) Ticks(1);
  window.miRefPunctuality->trigger();
  const QString report = window.fmReference->mmText->toPlainText();
  EXPECT_TRUE(report.startsWith(QStringLiteral("№ 6002  created "))) << report.toStdString();
  EXPECT_TRUE(report.contains(QStringLiteral("\nsummary\ntrains run: 1\n")));
  EXPECT_FALSE(window.msgScenario->isVisible());  // the put was done
  EXPECT_FALSE(window.fmReference->ShowsTrainReport());
}

// The command line's scenario: read once the start-up has set the clock; a bad one is shown and
// the console starts without it.
TEST(ScriptAtStartTest, GoodScenarioPlaysFromTheStartABadOneIsShownAndLeftOut) {
  App();
  const fs::path root = fs::path(testing::TempDir()) / "ScriptAtStartTest";
  fs::remove_all(root);
  fs::create_directories(root / "district" / "1");
  std::ofstream(root / "district" / "1" / "Data.dat", std::ios::binary)
      << test::DistrictText().Bytes();
  std::ofstream(root / "good.txt") << "07:45 auto all on\n";
  std::ofstream(root / "bad.txt") << "07:45 auto all maybe\n";
  const ConsolePaths paths{root / "district", root / "Traklin.ini"};
  for (const char* file : {"good.txt", "bad.txt"}) {
    SCOPED_TRACE(file);
    Simulation sim;
    TestWindow window(sim, std::string("1"), paths);
    window.ScriptFile = root / file;
    QStringList texts;
    const auto answer = [&](QWidget* modal) {
      if (auto* d = qobject_cast<TfmSetTime*>(modal)) {  // no last.sav: the time is asked
        d->seHours->setValue(7), d->seMinutes->setValue(30), d->btOK->click();
        return;
      }
      texts << "";
      ClickBox (&texts.back())(modal);
    };
    {
      ModalAnswers answers(std::vector<std::function<void(QWidget*)>>(6, answer));
      window.StartSimulation();
    }
    window.Timer->stop();
    texts.removeIf([](const QString& t) { return t.startsWith("Error reading"); });
    EXPECT_TRUE(window.Started());
    if (std::string(file) == "good.txt") {
      EXPECT_TRUE(texts.isEmpty()) << texts.join("|").toStdString();
      ASSERT_NE(window.Scenario(), nullptr);
      EXPECT_EQ(window.Scenario()->Pending(), 1u);  // due at 07:45, a quarter hour on
    } else {
      EXPECT_EQ(texts, QStringList{"Сценарий не загружен:\nline 1: expected off or on: maybe"});
      EXPECT_EQ(window.Scenario(), nullptr);
    }
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace traklin
