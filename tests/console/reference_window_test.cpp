// The reference window: a report shown in front, and the train list keeping only its own
// report fresh.
#include <QPlainTextEdit>

#include "console/qt_test_support.h"
#include "console/reference_window.h"

namespace traklin {
namespace {

TEST(ReferenceWindowTest, TrainChangesRebuildTheTrainReportButLeaveTheApproachesShown) {
  testing_support::App();
  SimulationData sim;
  sim.AreaData.Stations = {{"-", 0}, {"Ясная", 1}};
  TfmReference window(sim);
  EXPECT_EQ(window.windowTitle(), "Справка");
  window.ShowReport(ReportKind::Trains);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.ShowsTrainReport());
  EXPECT_TRUE(window.mmText->toPlainText().endsWith(" Всего на участке: 0"));

  TTrainData t;
  t.NUMBER = 2001;
  t.HEAD.SECT_IDX = 4;
  t.HEAD.DIR = 1;
  sim.State.Trains.push_back(t);
  window.TrainListChanged();
  EXPECT_TRUE(window.mmText->toPlainText().endsWith(" Всего на участке: 1"));

  window.ShowReport(ReportKind::Approaches);
  const QString approaches = window.mmText->toPlainText();
  EXPECT_TRUE(approaches.startsWith("   СПРАВКА О ПОДХОДАХ НА "));
  EXPECT_FALSE(window.ShowsTrainReport());
  sim.State.Trains.clear();
  window.TrainListChanged();
  EXPECT_EQ(window.mmText->toPlainText(), approaches);
  EXPECT_EQ(window.mmText->font().family(), "Courier New");
}

}  // namespace
}  // namespace traklin
