// The console's start-up (settings, district set-up, state, start time) and the time-scale and
// ring rules of the console services under each setting.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "area/date_time.h"
#include "area/district_text.h"
#include "console/control_panel.h"
#include "console/set_time_dialog.h"
#include "qt_test_support.h"

namespace traklin {
namespace {

namespace fs = std::filesystem;
using test::DistrictText;
using testing_support::App;
using testing_support::WhenModal;

fs::path ScratchDir() {
  const fs::path dir =
      fs::path(testing::TempDir()) /
      ("console_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// A main window that records its rings instead of playing them.
class RingRecordingWindow : public TfmControlPanel {
 public:
  using TfmControlPanel::TfmControlPanel;
  std::vector<int> rings;

 protected:
  void PlayRing(int n) override { rings.push_back(n); }
};

// Answers the modal windows one after the other as they appear; each answer must close its
// window. Stops polling when destroyed.
class ModalAnswers {
 public:
  explicit ModalAnswers(std::vector<std::function<void(QWidget*)>> answers)
      : answers_(std::move(answers)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible() || next_ >= answers_.size()) return;
      answers_[next_++](modal);
    });
    timer_.start();
  }
  std::size_t Answered() const { return next_; }

 private:
  std::vector<std::function<void(QWidget*)>> answers_;
  std::size_t next_ = 0;
  QTimer timer_;
};

std::function<void(QWidget*)> ClickOk(QString* text) {
  return [text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "expected a message box";
    *text = box->text();
    box->button(QMessageBox::Ok)->click();
  };
}

std::function<void(QWidget*)> SetTime(int hours, int minutes) {
  return [hours, minutes](QWidget* modal) {
    auto* dialog = qobject_cast<TfmSetTime*>(modal);
    ASSERT_NE(dialog, nullptr) << "expected the set-time dialog";
    dialog->seHours->setValue(hours);
    dialog->seMinutes->setValue(minutes);
    dialog->btOK->click();
  };
}

// ---------------------------------------------------------------------------
// Start-up on an installed district

// District 1 installed under a scratch root, with an optional configuration file.
class StartUpTest : public testing::Test {
 protected:
  StartUpTest() : root_((App(), ScratchDir())) {
    paths_.DistrictRoot = root_ / "district";
    paths_.SettingsFile = root_ / "config" / "Traklin.ini";
    fs::create_directories(paths_.DistrictRoot / "1");
    fs::create_directories(root_ / "config");
  }
  ~StartUpTest() override { fs::remove_all(root_); }

  void Install(const std::string& bytes) {
    std::ofstream(paths_.DistrictRoot / "1" / "Data.dat", std::ios::binary) << bytes;
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(paths_.SettingsFile, std::ios::binary) << text;
  }

  fs::path root_;
  ConsolePaths paths_;
  Simulation sim;
};

// Two panel views: view 0 800 wide with the clock at 10, view 1 640 wide with the clock at 300.
DistrictText TwoViewDistrict() {
  DistrictText district;
  district.SetSection("Data_Graph_Vid",
                      "2\n"
                      "800,600,10\n"
                      "640,480,300\n"
                      "0,0,0,0\n0,0,0,0\n"
                      "300,0,0,1\n300,0,0,1");
  return district;
}

TEST_F(StartUpTest, UsableDistrictIsPreparedWithTheSettingsAndStartsAtTheChosenTime) {
  WriteSettings("[VIEW]\r\nRESOLUTION=1\r\n[SOUND]\r\nMESSAGERINGS=0\r\n");
  Install(TwoViewDistrict().Bytes());
  RingRecordingWindow window(sim, std::string("1"), paths_);
  EXPECT_FALSE(sim.Settings.MessageRings);  // read when the window is made

  ModalAnswers answers({SetTime(7, 30)});
  window.StartSimulation();
  EXPECT_EQ(answers.Answered(), 1u);  // only the set-time dialog: no error box

  EXPECT_TRUE(window.Started());
  EXPECT_EQ(window.ExitCode(), 0);
  EXPECT_EQ(window.PanelView(), 1);
  EXPECT_EQ(window.imClock->x(), 300);
  EXPECT_EQ(window.imClock->size(), QSize(80, 36));
  // The set-up ran (kind 0 signal added at the peregon's end) and the state follows it.
  EXPECT_FALSE(sim.AreaData.TrainRoutes[0].Routes.empty());
  EXPECT_EQ(sim.State.Semaphores.size(), sim.AreaData.Semaphores.size());
  // StateInit starts at midnight of a day of the base year; the dialog sets the time of day.
  const DateParts date = DecodeDate(sim.State.ClockTime);
  EXPECT_EQ(date.Year, 2024);
  EXPECT_NEAR(sim.State.ClockTime - static_cast<int>(sim.State.ClockTime), 7.5 / 24, 1e-9);
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);
  EXPECT_EQ(sim.TimeScaleLevel, 1);
  EXPECT_TRUE(window.Timer->isActive());
  EXPECT_EQ(window.Timer->interval(), 500);
  EXPECT_EQ(sim.Console, &window);
}

TEST_F(StartUpTest, FailingSetUpShowsTheInitializingErrorAndTheClockStillStarts) {
  DistrictText district;
  district.SetSection("Data_Sekz", "1,1\n2,2\n3,40\n4,4\n5,5\n6,6\n7,7\n65535");
  Install(district.Bytes());
  TfmControlPanel window(sim, std::string("1"), paths_);
  QString error;
  ModalAnswers answers({ClickOk(&error), SetTime(12, 0)});
  window.StartSimulation();
  EXPECT_EQ(answers.Answered(), 2u);
  EXPECT_EQ(error,
            QStringLiteral("Error initializing data+\n\nLamp 40 of section 3 out of bounds"));
  EXPECT_TRUE(window.Started());
  EXPECT_EQ(window.ExitCode(), 0);
  EXPECT_TRUE(window.Timer->isActive());
  EXPECT_DOUBLE_EQ(sim.LastSaveTime, sim.State.ClockTime);

  // The clock runs over the unprepared district without touching what is not there.
  const TDateTime before = sim.State.ClockTime;
  window.TimerTick();
  EXPECT_NEAR(sim.State.ClockTime, before + 0.5 / 86400, 1e-9);
}

TEST_F(StartUpTest, BrokenDistrictFileShowsTheReadErrorAndEnds) {
  DistrictText district;
  district.SetSection("Data_Sekz", "1,1\n2,x\n65535");
  Install(district.Bytes());
  TfmControlPanel window(sim, std::string("1"), paths_);
  QString error;
  ModalAnswers answers({ClickOk(&error)});
  window.StartSimulation();
  EXPECT_EQ(answers.Answered(), 1u);
  EXPECT_TRUE(error.startsWith(QStringLiteral("Error reading Data.dat\nAt Line %1\n'2,x'\n\n")
                                   .arg(district.BodyLine("Data_Sekz", 2))))
      << error.toStdString();
  EXPECT_EQ(window.ExitCode(), 1);
  EXPECT_FALSE(window.Started());
  EXPECT_FALSE(window.Timer->isActive());
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

struct ServiceCase {
  const char* scenario;
  Service service;
  const char* text;
  int ring;  // the LP's ring given to Inform and Ask
  bool restoreAtMsg, restoreAtRings, messageRings, requestRings;
  bool boxShown;
  int levelWhileShown;  // the level during the box, or right after the call without one
  int levelAfter;
  std::vector<int> rings;  // rings played; -1 = the default ring
};

// Every case starts at level 6. Columns: service, text, LP ring; the settings restore at
// messages, restore at rings, message rings, request rings; box shown, level while shown,
// level after; rings played.
// clang-format off
const ServiceCase kServiceCases[] = {
    {"notify: box at normal speed after the default ring",
     Service::Notify, "Сход", 3,  false, false, true, true,   true, 1, 1, {-1}},
    {"notify without message rings: silent box",
     Service::Notify, "Сход", 3,  false, false, false, true,  true, 1, 1, {}},
    {"notify with restore at messages: the speed comes back",
     Service::Notify, "Сход", 3,  true, false, true, true,    true, 1, 6, {-1}},
    {"notify with restore at rings only: a text still slows down",
     Service::Notify, "Сход", 3,  false, true, true, true,    true, 1, 1, {-1}},
    {"notify empty: rings even without message rings and slows down",
     Service::Notify, "", 3,      true, false, false, false,  false, 1, 1, {-1}},
    {"notify empty with restore at rings: only rings",
     Service::Notify, "", 3,      false, true, false, false,  false, 6, 6, {-1}},
    {"inform: the LP's ring before the box",
     Service::Inform, "Поезд прибыл", 3,   false, false, true, false,  true, 1, 1, {3}},
    {"inform without a ring of its own: the default ring",
     Service::Inform, "Поезд прибыл", -1,  false, false, true, true,   true, 1, 1, {-1}},
    {"inform follows message rings, not request rings",
     Service::Inform, "Поезд прибыл", 3,   false, false, false, true,  true, 1, 1, {}},
    {"inform with restore at messages",
     Service::Inform, "Поезд прибыл", 3,   true, false, true, true,    true, 1, 6, {3}},
    {"inform empty: a box all the same, the speed kept with restore at rings",
     Service::Inform, "", 3,               false, true, false, false,  true, 6, 6, {3}},
    {"inform empty without restore at rings: normal speed, not restored",
     Service::Inform, "", 3,               true, false, false, false,  true, 1, 1, {3}},
    {"ask: the LP's ring before the box",
     Service::Ask, "Принять поезд?", 4,    false, false, false, true,  true, 1, 1, {4}},
    {"ask follows request rings, not message rings",
     Service::Ask, "Принять поезд?", 4,    false, false, true, false,  true, 1, 1, {}},
    {"ask with restore at messages",
     Service::Ask, "Принять поезд?", 4,    true, false, true, true,    true, 1, 6, {4}},
    {"ask empty with restore at rings: rings without request rings, speed kept",
     Service::Ask, "", 4,                  false, true, false, false,  true, 6, 6, {4}},
    {"ask empty with restore at messages only: normal speed, not restored",
     Service::Ask, "", 4,                  true, false, false, false,  true, 1, 1, {4}},
};
// clang-format on

TEST(ConsoleServicesTest, TimeScaleAndRingFollowTheSettings) {
  App();
  for (const ServiceCase& c : kServiceCases) {
    SCOPED_TRACE(c.scenario);
    Simulation sim;
    ConsolePaths paths;
    paths.SettingsFile = fs::path(testing::TempDir()) / "no_config" / "Traklin.ini";
    RingRecordingWindow window(sim, std::nullopt, paths);
    sim.Settings.RestoreTimeScaleAtMsg = c.restoreAtMsg;
    sim.Settings.RestoreTimeScaleAtRings = c.restoreAtRings;
    sim.Settings.MessageRings = c.messageRings;
    sim.Settings.RequestRings = c.requestRings;
    window.StartClock();
    window.SetTimeScale(6);

    int boxes = 0;
    int levelWhileShown = -1;
    std::vector<int> ringsBeforeBox;
    auto answering = WhenModal([&](QWidget* modal) {
      ++boxes;
      levelWhileShown = sim.TimeScaleLevel;
      ringsBeforeBox = window.rings;
      qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    switch (c.service) {
      case Service::Notify:
        window.NotifyDispatcher(c.text);
        break;
      case Service::Inform:
        window.InformDispatcher("ДСП", c.text, c.ring);
        break;
      case Service::Ask:
        EXPECT_TRUE(window.AskDispatcher("ДСП", c.text, c.ring));
        break;
    }
    if (boxes == 0) {
      levelWhileShown = sim.TimeScaleLevel;
      ringsBeforeBox = window.rings;
    }
    EXPECT_EQ(boxes, c.boxShown ? 1 : 0);
    EXPECT_EQ(levelWhileShown, c.levelWhileShown);
    EXPECT_EQ(sim.TimeScaleLevel, c.levelAfter);
    EXPECT_EQ(window.Timer->isActive(), c.levelAfter != 0);
    EXPECT_EQ(ringsBeforeBox, c.rings);  // the ring comes before the box
    EXPECT_EQ(window.rings, c.rings);
  }
}

}  // namespace
}  // namespace traklin
