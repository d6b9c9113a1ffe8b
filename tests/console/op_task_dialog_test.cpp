// The task dialog on the demo district: its layout for a station, an order, a refusal, a
// cancel.
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "area/area_queries.h"
#include "console/op_task_dialog.h"
#include "console/qt_test_support.h"
#include "simulation/headless_run.h"

namespace traklin {
namespace {

struct Told : ConsoleServices {
  struct Box {
    std::string Caption, Text;
    int Ring;
  };
  std::vector<Box> Infos;
  void NotifyDispatcher(const std::string&) override {}
  void InformDispatcher(const std::string& caption, const std::string& text, int ring) override {
    Infos.push_back({caption, text, ring});
  }
  bool AskDispatcher(const std::string&, const std::string&, int) override { return true; }
  bool SaveLastState(bool) override { return true; }
};

class OpTaskDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::App();
    if (!std::filesystem::exists("../district/1/Data.dat")) GTEST_SKIP() << "no demo district";
    RunOptions options;
    options.District = "../district/1";
    options.Start = ParseStartTime("2024-03-15 06:00");
    options.SettingsFile = "no-such-Traklin.ini";
    PrepareRun(sim, options, nullptr);
    sim.Console = &told;
  }
  Simulation sim;
  Told told;
};

// Озёрная (LP 3): throat 3 on the even side serves both kinds; on the odd side throat 4
// sends and throat 5 receives.
constexpr int kOzernaya = 3, kOzernayaEven = 3;

TEST_F(OpTaskDialogTest, OpeningShowsTheStationsDeedsAndTracksWithTheMainTrackChosen) {
  TfmOpTask dialog(sim);
  dialog.Open(kOzernaya);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.windowTitle(), "Озёрная");
  EXPECT_TRUE(dialog.btDo->isEnabled());
  EXPECT_EQ(dialog.rbDeeds[TaskDeedIndex("rbReceiveEven")]->text(), "Принять нечётный на");
  EXPECT_TRUE(dialog.rbDeeds[TaskDeedIndex("rbReceiveEven")]->isChecked());
  for (QRadioButton* deed : dialog.rbDeeds)
    EXPECT_TRUE(deed->isEnabled()) << deed->objectName().toStdString();
  QStringList captions;
  for (QRadioButton* slot : dialog.rbTracks)
    if (slot->isVisibleTo(&dialog)) captions << slot->text();
  EXPECT_EQ(captions, (QStringList{"I", "II", "3", "4"}));
  EXPECT_TRUE(dialog.rbTracks[0]->isChecked());
  EXPECT_EQ(dialog.rbTracks[13]->objectName(), "rbTrack100");
  for (QRadioButton* inlet : dialog.rbInlets) EXPECT_FALSE(inlet->isVisibleTo(&dialog));
}

TEST_F(OpTaskDialogTest, AnOrderIsWrittenAndListedARepeatIsRefusedAndCancelClearsIt) {
  TfmOpTask dialog(sim);
  dialog.Open(kOzernaya);
  dialog.rbTracks[1]->setChecked(true);  // track II
  dialog.btDo->click();
  EXPECT_FALSE(dialog.isVisible());
  const TGorlTaskData& task = sim.State.Gorls[kOzernayaEven];
  EXPECT_NE(task.TASKED, 0);
  EXPECT_FALSE(task.SEND);
  EXPECT_EQ(task.TRACK, 1);
  const std::string from =
      StationNamePart(sim.AreaData, ThroatNeighbourLP(sim.AreaData, kOzernayaEven), 5);
  EXPECT_EQ(dialog.lbTask->text().toStdString(), "Принять нечётный с " + from + " на путь II");

  dialog.Open(kOzernaya);
  dialog.btDo->click();
  ASSERT_EQ(told.Infos.size(), 1u);
  EXPECT_EQ(told.Infos[0].Caption, "Озёрная");
  EXPECT_EQ(told.Infos[0].Text, "Задание невыполнимо:\r\nГорловина занята");
  EXPECT_EQ(told.Infos[0].Ring, sim.AreaData.Puts[kOzernaya].Ring);
  EXPECT_TRUE(dialog.isVisible());

  dialog.btCancel->click();
  EXPECT_EQ(sim.State.Gorls[kOzernayaEven].TASKED, 0);
  EXPECT_EQ(dialog.lbTask->text(), "");
  EXPECT_TRUE(dialog.isVisible());
  dialog.btClose->click();
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(OpTaskDialogTest, AStationWithoutADutyOfficerCannotBeOrdered) {
  TfmOpTask dialog(sim);
  dialog.Open(1);  // Берёзовка acts by itself
  EXPECT_FALSE(dialog.btDo->isEnabled());
  EXPECT_FALSE(dialog.btCancel->isEnabled());
}

}  // namespace
}  // namespace traklin
